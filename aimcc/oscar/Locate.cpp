#include "Locate.h"

namespace oscar::locate {

namespace {

void WriteFields(ByteWriter& w, const InfoFields& f)
{
    TlvList tlvs;
    if (f.profileMime)
        tlvs.AddString(tag::kProfileMime, *f.profileMime);
    if (f.profile)
        tlvs.AddString(tag::kProfile, *f.profile);
    if (f.awayMime)
        tlvs.AddString(tag::kAwayMime, *f.awayMime);
    if (f.awayMessage)
        tlvs.AddString(tag::kAwayMessage, *f.awayMessage);
    if (f.capabilities)
        tlvs.Add(tag::kCapabilities, EncodeCapabilities(*f.capabilities));
    WriteTlvRest(w, tlvs);
}

bool ReadFields(ByteReader& r, InfoFields& f)
{
    TlvList tlvs = ReadTlvRest(r);
    if (!r.Ok())
        return false;
    f.profileMime = tlvs.String(tag::kProfileMime);
    f.profile = tlvs.String(tag::kProfile);
    f.awayMime = tlvs.String(tag::kAwayMime);
    f.awayMessage = tlvs.String(tag::kAwayMessage);
    f.capabilities.reset();
    if (const Tlv* caps = tlvs.Find(tag::kCapabilities)) {
        std::vector<Capability> list;
        if (!DecodeCapabilities(caps->value, list))
            return false;
        f.capabilities = std::move(list);
    }
    return true;
}

} // namespace

Bytes Encode(const RightsReply& m)
{
    TlvList tlvs;
    tlvs.AddU16(1, m.maxProfileLength);
    tlvs.AddU16(2, m.maxCapabilities);
    tlvs.AddU16(3, m.maxFindByEmailList);
    tlvs.AddU16(4, m.maxCertificateLength);
    tlvs.AddU16(5, m.maxShortCapabilities);
    ByteWriter w;
    WriteTlvRest(w, tlvs);
    return w.Take();
}

bool Decode(const Bytes& body, RightsReply& m)
{
    ByteReader r(body);
    TlvList tlvs = ReadTlvRest(r);
    m.maxProfileLength = tlvs.U16(1).value_or(0);
    m.maxCapabilities = tlvs.U16(2).value_or(0);
    m.maxFindByEmailList = tlvs.U16(3).value_or(0);
    m.maxCertificateLength = tlvs.U16(4).value_or(0);
    m.maxShortCapabilities = tlvs.U16(5).value_or(0);
    return r.Ok();
}

Bytes Encode(const SetInfo& m)
{
    ByteWriter w;
    WriteFields(w, m);
    return w.Take();
}

bool Decode(const Bytes& body, SetInfo& m)
{
    ByteReader r(body);
    return ReadFields(r, m);
}

Bytes Encode(const UserInfoQuery& m)
{
    ByteWriter w;
    w.U16(m.type);
    w.String08(m.screenName);
    return w.Take();
}

bool Decode(const Bytes& body, UserInfoQuery& m)
{
    ByteReader r(body);
    m.type = r.U16();
    m.screenName = r.String08();
    return r.Ok() && !m.screenName.empty();
}

Bytes Encode(const UserInfoQuery2& m)
{
    ByteWriter w;
    w.U32(m.flags);
    w.String08(m.screenName);
    return w.Take();
}

bool Decode(const Bytes& body, UserInfoQuery2& m)
{
    ByteReader r(body);
    m.flags = r.U32();
    m.screenName = r.String08();
    return r.Ok() && !m.screenName.empty();
}

Bytes Encode(const UserInfoReply& m)
{
    ByteWriter w;
    WriteUserInfo(w, m.user);
    WriteFields(w, m);
    return w.Take();
}

bool Decode(const Bytes& body, UserInfoReply& m)
{
    ByteReader r(body);
    m.user = ReadUserInfo(r);
    return r.Ok() && ReadFields(r, m);
}

} // namespace oscar::locate
