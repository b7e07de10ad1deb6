#include "Snac.h"

namespace oscar {

bool DecodeSnac(const Bytes& payload, Snac& snac)
{
    ByteReader r(payload);
    snac.group = r.U16();
    snac.subgroup = r.U16();
    snac.flags = r.U16();
    snac.requestId = r.U32();
    snac.extra.clear();
    if (r.Ok() && (snac.flags & snacflag::kExtraBlock)) {
        uint16_t size = r.U16();
        snac.extra = r.Take(size);
    }
    snac.body = r.Rest();
    return r.Ok();
}

Bytes EncodeSnac(const Snac& snac)
{
    ByteWriter w;
    w.U16(snac.group);
    w.U16(snac.subgroup);
    w.U16(snac.flags);
    w.U32(snac.requestId);
    if (snac.flags & snacflag::kExtraBlock)
        w.Block16(snac.extra);
    w.Append(snac.body);
    return w.Take();
}

Bytes Encode(const SnacError& error)
{
    ByteWriter w;
    w.U16(error.code);
    WriteTlvRest(w, error.tlvs);
    return w.Take();
}

bool Decode(const Bytes& body, SnacError& error)
{
    ByteReader r(body);
    error.code = r.U16();
    error.tlvs = ReadTlvRest(r);
    return r.Ok();
}

Snac MakeErrorSnac(uint16_t group, uint32_t requestId, uint16_t code, uint16_t subcode)
{
    SnacError error;
    error.code = code;
    if (subcode)
        error.tlvs.AddU16(snacerror::kTagSubcode, subcode);
    Snac snac = MakeEmptySnac(SnacId{group, kSubgroupError}, requestId);
    snac.body = Encode(error);
    return snac;
}

} // namespace oscar
