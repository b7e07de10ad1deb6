#include "UserInfo.h"

namespace oscar {

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool ParseCapability(std::string_view text, Capability& out)
{
    size_t n = 0;
    int high = -1;
    for (char c : text) {
        if (c == '-')
            continue;
        int v = HexValue(c);
        if (v < 0 || n == out.size())
            return false;
        if (high < 0) {
            high = v;
        } else {
            out[n++] = static_cast<uint8_t>(high << 4 | v);
            high = -1;
        }
    }
    return n == out.size() && high < 0;
}

std::string FormatCapability(const Capability& cap)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < cap.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            out += '-';
        out += digits[cap[i] >> 4];
        out += digits[cap[i] & 0xF];
    }
    return out;
}

bool DecodeCapabilities(const Bytes& bytes, std::vector<Capability>& out)
{
    out.clear();
    if (bytes.size() % 16 != 0)
        return false;
    for (size_t i = 0; i < bytes.size(); i += 16) {
        Capability cap;
        for (size_t j = 0; j < 16; ++j)
            cap[j] = bytes[i + j];
        out.push_back(cap);
    }
    return true;
}

Bytes EncodeCapabilities(const std::vector<Capability>& caps)
{
    Bytes out;
    for (const Capability& cap : caps)
        out.insert(out.end(), cap.begin(), cap.end());
    return out;
}

uint32_t UserInfo::Flags() const
{
    uint32_t flags = 0;
    if (const Tlv* t = tlvs.Find(userinfo::kTagFlags)) {
        // Always a u16 from servers seen so far; a single byte is taken as the value.
        for (size_t i = 0; i < t->value.size() && i < 2; ++i)
            flags = flags << 8 | t->value[i];
    }
    if (const Tlv* t = tlvs.Find(userinfo::kTagFlags2)) {
        uint32_t upper = 0;
        for (size_t i = 0; i < t->value.size() && i < 4; ++i)
            upper = upper << 8 | t->value[i];
        flags |= upper << 16;
    }
    return flags;
}

std::vector<Capability> UserInfo::Capabilities() const
{
    std::vector<Capability> caps;
    if (const Tlv* t = tlvs.Find(userinfo::kTagCapabilities))
        DecodeCapabilities(t->value, caps);
    return caps;
}

void WriteUserInfo(ByteWriter& w, const UserInfo& info)
{
    w.String08(info.screenName);
    w.U16(info.warningLevel);
    WriteTlvCounted(w, info.tlvs);
}

UserInfo ReadUserInfo(ByteReader& r)
{
    UserInfo info;
    info.screenName = r.String08();
    info.warningLevel = r.U16();
    info.tlvs = ReadTlvCounted(r);
    return info;
}

} // namespace oscar
