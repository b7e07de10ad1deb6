#include "Oservice.h"

namespace oscar::oservice {

namespace {

// Lists of fixed-size records that fill the body: the size must divide evenly.
bool FitsRecords(const ByteReader& r, size_t recordSize)
{
    return r.Ok() && r.Remaining() % recordSize == 0;
}

constexpr size_t kRateClassSize = 30;
constexpr size_t kRateClassExtendedSize = 35;

void WriteRateClass(ByteWriter& w, const RateClass& c, bool extended)
{
    w.U16(c.id);
    w.U32(c.windowSize);
    w.U32(c.clearLevel);
    w.U32(c.alertLevel);
    w.U32(c.limitLevel);
    w.U32(c.disconnectLevel);
    w.U32(c.currentLevel);
    w.U32(c.maxLevel);
    if (extended) {
        w.U32(c.lastTime);
        w.U8(c.droppingSnacs);
    }
}

RateClass ReadRateClass(ByteReader& r, bool extended)
{
    RateClass c;
    c.id = r.U16();
    c.windowSize = r.U32();
    c.clearLevel = r.U32();
    c.alertLevel = r.U32();
    c.limitLevel = r.U32();
    c.disconnectLevel = r.U32();
    c.currentLevel = r.U32();
    c.maxLevel = r.U32();
    if (extended) {
        c.lastTime = r.U32();
        c.droppingSnacs = r.U8();
    }
    return c;
}

bool DecodeRates(const Bytes& body, bool extended, RateParamsReply& m)
{
    ByteReader r(body);
    uint16_t classCount = r.U16();
    size_t classSize = extended ? kRateClassExtendedSize : kRateClassSize;
    if (!r.Ok() || classCount > r.Remaining() / classSize)
        return false;
    m.extended = extended;
    m.classes.clear();
    m.groups.clear();
    for (uint16_t i = 0; i < classCount; ++i)
        m.classes.push_back(ReadRateClass(r, extended));
    for (uint16_t i = 0; i < classCount && r.Ok(); ++i) {
        RateGroup g;
        g.classId = r.U16();
        uint16_t pairCount = r.U16();
        if (!r.Ok() || pairCount > r.Remaining() / 4)
            return false;
        for (uint16_t j = 0; j < pairCount; ++j) {
            uint16_t group = r.U16();
            uint16_t subgroup = r.U16();
            g.members.push_back(SnacId{group, subgroup});
        }
        m.groups.push_back(std::move(g));
    }
    return r.Done();
}

} // namespace

Bytes Encode(const HostOnline& m)
{
    ByteWriter w;
    for (uint16_t g : m.foodGroups)
        w.U16(g);
    return w.Take();
}

bool Decode(const Bytes& body, HostOnline& m)
{
    ByteReader r(body);
    if (!FitsRecords(r, 2))
        return false;
    m.foodGroups.clear();
    while (!r.AtEnd())
        m.foodGroups.push_back(r.U16());
    return r.Ok();
}

Bytes Encode(const Versions& m)
{
    ByteWriter w;
    for (const FoodGroupVersion& v : m.versions) {
        w.U16(v.foodGroup);
        w.U16(v.version);
    }
    return w.Take();
}

bool Decode(const Bytes& body, Versions& m)
{
    ByteReader r(body);
    if (!FitsRecords(r, 4))
        return false;
    m.versions.clear();
    while (!r.AtEnd()) {
        FoodGroupVersion v;
        v.foodGroup = r.U16();
        v.version = r.U16();
        m.versions.push_back(v);
    }
    return r.Ok();
}

Bytes Encode(const Motd& m)
{
    ByteWriter w;
    w.U16(m.type);
    WriteTlvRest(w, m.tlvs);
    return w.Take();
}

bool Decode(const Bytes& body, Motd& m)
{
    ByteReader r(body);
    m.type = r.U16();
    m.tlvs = ReadTlvRest(r);
    return r.Ok();
}

Bytes Encode(const RateParamsReply& m)
{
    ByteWriter w;
    w.U16(static_cast<uint16_t>(m.classes.size()));
    for (const RateClass& c : m.classes)
        WriteRateClass(w, c, m.extended);
    // The wire has exactly one member list per class, in the order of the
    // classes; a class without a group in `groups` gets an empty list.
    for (const RateClass& c : m.classes) {
        const RateGroup* group = nullptr;
        for (const RateGroup& g : m.groups)
            if (g.classId == c.id)
                group = &g;
        w.U16(c.id);
        w.U16(group ? static_cast<uint16_t>(group->members.size()) : 0);
        if (group) {
            for (SnacId id : group->members) {
                w.U16(id.group);
                w.U16(id.subgroup);
            }
        }
    }
    return w.Take();
}

bool Decode(const Bytes& body, RateParamsReply& m)
{
    return DecodeRates(body, true, m) || DecodeRates(body, false, m);
}

Bytes Encode(const RateParamsSubscribe& m)
{
    ByteWriter w;
    for (uint16_t id : m.classIds)
        w.U16(id);
    return w.Take();
}

bool Decode(const Bytes& body, RateParamsSubscribe& m)
{
    ByteReader r(body);
    if (!FitsRecords(r, 2))
        return false;
    m.classIds.clear();
    while (!r.AtEnd())
        m.classIds.push_back(r.U16());
    return r.Ok();
}

Bytes Encode(const RateParamChange& m)
{
    ByteWriter w;
    w.U16(m.code);
    WriteRateClass(w, m.rateClass, m.extended);
    return w.Take();
}

bool Decode(const Bytes& body, RateParamChange& m)
{
    ByteReader r(body);
    m.code = r.U16();
    if (r.Remaining() != kRateClassSize && r.Remaining() != kRateClassExtendedSize)
        return false;
    m.extended = r.Remaining() == kRateClassExtendedSize;
    m.rateClass = ReadRateClass(r, m.extended);
    return r.Done();
}

Bytes Encode(const ClientOnline& m)
{
    ByteWriter w;
    for (const ClientOnlineEntry& e : m.entries) {
        w.U16(e.foodGroup);
        w.U16(e.version);
        w.U16(e.toolId);
        w.U16(e.toolVersion);
    }
    return w.Take();
}

bool Decode(const Bytes& body, ClientOnline& m)
{
    ByteReader r(body);
    if (!FitsRecords(r, 8))
        return false;
    m.entries.clear();
    while (!r.AtEnd()) {
        ClientOnlineEntry e;
        e.foodGroup = r.U16();
        e.version = r.U16();
        e.toolId = r.U16();
        e.toolVersion = r.U16();
        m.entries.push_back(e);
    }
    return r.Ok();
}

Bytes Encode(const UserInfoUpdate& m)
{
    ByteWriter w;
    for (const UserInfo& u : m.users)
        WriteUserInfo(w, u);
    return w.Take();
}

bool Decode(const Bytes& body, UserInfoUpdate& m)
{
    ByteReader r(body);
    m.users.clear();
    do {
        UserInfo u = ReadUserInfo(r);
        if (!r.Ok())
            return false;
        m.users.push_back(std::move(u));
    } while (!r.AtEnd());
    return true;
}

Bytes Encode(const EvilNotification& m)
{
    ByteWriter w;
    w.U16(m.newLevel);
    if (m.warner)
        WriteUserInfo(w, *m.warner);
    return w.Take();
}

bool Decode(const Bytes& body, EvilNotification& m)
{
    ByteReader r(body);
    m.newLevel = r.U16();
    m.warner.reset();
    if (r.Ok() && !r.AtEnd())
        m.warner = ReadUserInfo(r);
    return r.Ok();
}

Bytes Encode(const IdleNotification& m)
{
    ByteWriter w;
    w.U32(m.idleSeconds);
    return w.Take();
}

bool Decode(const Bytes& body, IdleNotification& m)
{
    ByteReader r(body);
    m.idleSeconds = r.U32();
    return r.Ok();
}

Bytes Encode(const SetUserInfoFields& m)
{
    TlvList tlvs;
    if (m.status)
        tlvs.AddU32(userinfo::kTagStatus, *m.status);
    tlvs.items.insert(tlvs.items.end(), m.other.items.begin(), m.other.items.end());
    ByteWriter w;
    WriteTlvRest(w, tlvs);
    return w.Take();
}

bool Decode(const Bytes& body, SetUserInfoFields& m)
{
    ByteReader r(body);
    TlvList tlvs = ReadTlvRest(r);
    if (!r.Ok())
        return false;
    m.status.reset();
    if (tlvs.Has(userinfo::kTagStatus)) {
        m.status = tlvs.U32(userinfo::kTagStatus);
        if (!m.status)
            return false;
    }
    tlvs.Remove(userinfo::kTagStatus);
    m.other = std::move(tlvs);
    return true;
}

Bytes Encode(const ServiceRequest& m)
{
    ByteWriter w;
    w.U16(m.foodGroup);
    WriteTlvRest(w, m.tlvs);
    return w.Take();
}

bool Decode(const Bytes& body, ServiceRequest& m)
{
    ByteReader r(body);
    m.foodGroup = r.U16();
    m.tlvs = ReadTlvRest(r);
    return r.Ok();
}

Bytes Encode(const ServiceResponse& m)
{
    TlvList tlvs;
    tlvs.AddU16(0x000D, m.foodGroup);
    tlvs.AddString(0x0005, m.address);
    tlvs.Add(0x0006, m.cookie);
    ByteWriter w;
    WriteTlvRest(w, tlvs);
    return w.Take();
}

bool Decode(const Bytes& body, ServiceResponse& m)
{
    ByteReader r(body);
    TlvList tlvs = ReadTlvRest(r);
    auto address = tlvs.String(0x0005);
    const Tlv* cookie = tlvs.Find(0x0006);
    if (!r.Ok() || !address || address->empty() || !cookie)
        return false;
    m.foodGroup = tlvs.U16(0x000D).value_or(0);
    m.address = *address;
    m.cookie = cookie->value;
    return true;
}

} // namespace oscar::oservice
