#include "Buddy.h"

namespace oscar::buddy {

namespace {

Bytes EncodeUser(const UserInfo& user)
{
    ByteWriter w;
    WriteUserInfo(w, user);
    return w.Take();
}

bool DecodeUser(const Bytes& body, UserInfo& user)
{
    ByteReader r(body);
    user = ReadUserInfo(r);
    return r.Ok() && !user.screenName.empty();
}

} // namespace

Bytes Encode(const RightsReply& m)
{
    TlvList tlvs;
    tlvs.AddU16(1, m.maxBuddies);
    tlvs.AddU16(2, m.maxWatchers);
    tlvs.AddU16(3, m.maxIcqBroadcast);
    tlvs.AddU16(4, m.maxTemporaryBuddies);
    ByteWriter w;
    WriteTlvRest(w, tlvs);
    return w.Take();
}

bool Decode(const Bytes& body, RightsReply& m)
{
    ByteReader r(body);
    TlvList tlvs = ReadTlvRest(r);
    m.maxBuddies = tlvs.U16(1).value_or(0);
    m.maxWatchers = tlvs.U16(2).value_or(0);
    m.maxIcqBroadcast = tlvs.U16(3).value_or(0);
    m.maxTemporaryBuddies = tlvs.U16(4).value_or(0);
    return r.Ok();
}

Bytes Encode(const Arrived& m) { return EncodeUser(m.user); }
bool Decode(const Bytes& body, Arrived& m) { return DecodeUser(body, m.user); }
Bytes Encode(const Departed& m) { return EncodeUser(m.user); }
bool Decode(const Bytes& body, Departed& m) { return DecodeUser(body, m.user); }

Bytes Encode(const NameList& m)
{
    ByteWriter w;
    for (const std::string& name : m.names)
        w.String08(name);
    return w.Take();
}

bool Decode(const Bytes& body, NameList& m)
{
    ByteReader r(body);
    m.names.clear();
    while (r.Ok() && !r.AtEnd()) {
        std::string name = r.String08();
        if (name.empty())
            return false;
        m.names.push_back(std::move(name));
    }
    return r.Ok();
}

} // namespace oscar::buddy
