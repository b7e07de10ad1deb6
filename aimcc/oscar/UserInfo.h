// The user-info block: a screen name, a warning level and a counted TLV block.
// It describes a user in presence notices, message senders, profile replies
// and one's own info. The TLVs are kept as received (tags can repeat, any
// subset can be there); the accessors read the first of each.
#pragma once

#include "ByteStream.h"
#include "Tlv.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace oscar {

// A capability UUID, 16 bytes in the printed order of the GUID.
using Capability = std::array<uint8_t, 16>;

// "09461343-4C7F-11D1-8222-444553540000" (dashes optional). False on anything else.
bool ParseCapability(std::string_view text, Capability& out);
std::string FormatCapability(const Capability& cap);

// A list of capabilities packed back to back; false when the size is not a
// multiple of 16.
bool DecodeCapabilities(const Bytes& bytes, std::vector<Capability>& out);
Bytes EncodeCapabilities(const std::vector<Capability>& caps);

namespace userinfo {
constexpr uint16_t kTagFlags = 0x0001;          // u16 user class
constexpr uint16_t kTagCreateTime = 0x0002;
constexpr uint16_t kTagSignonTime = 0x0003;     // u32 time_t
constexpr uint16_t kTagIdleMinutes = 0x0004;    // u16
constexpr uint16_t kTagMemberSince = 0x0005;
constexpr uint16_t kTagStatus = 0x0006;         // u32
constexpr uint16_t kTagCapabilities = 0x000D;   // n x 16 bytes
constexpr uint16_t kTagOnlineSeconds = 0x000F;
constexpr uint16_t kTagBartIds = 0x001D;
constexpr uint16_t kTagFlags2 = 0x001F;         // upper half of the user class

constexpr uint32_t kFlagUnconfirmed = 0x0001;
constexpr uint32_t kFlagAdministrator = 0x0002;
constexpr uint32_t kFlagAol = 0x0004;
constexpr uint32_t kFlagCommercial = 0x0008;
constexpr uint32_t kFlagFree = 0x0010;          // an ordinary AIM account
constexpr uint32_t kFlagAway = 0x0020;
constexpr uint32_t kFlagIcq = 0x0040;
constexpr uint32_t kFlagWireless = 0x0080;
constexpr uint32_t kFlagBot = 0x0400;

constexpr uint32_t kStatusAvailable = 0x00000000;
constexpr uint32_t kStatusAway = 0x00000001;
constexpr uint32_t kStatusInvisible = 0x00000100;
} // namespace userinfo

struct UserInfo {
    std::string screenName;
    uint16_t warningLevel = 0;          // tenths of a percent
    TlvList tlvs;

    // TLV 0x0001 with TLV 0x001F shifted into the upper half; 0 when absent.
    uint32_t Flags() const;
    bool IsAway() const { return (Flags() & userinfo::kFlagAway) != 0; }
    std::optional<uint32_t> SignonTime() const { return tlvs.U32(userinfo::kTagSignonTime); }
    uint16_t IdleMinutes() const { return tlvs.U16(userinfo::kTagIdleMinutes).value_or(0); }
    std::optional<uint32_t> Status() const { return tlvs.U32(userinfo::kTagStatus); }
    // Empty when absent or malformed.
    std::vector<Capability> Capabilities() const;
};

void WriteUserInfo(ByteWriter& w, const UserInfo& info);
UserInfo ReadUserInfo(ByteReader& r);

} // namespace oscar
