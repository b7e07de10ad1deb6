// LOCATE (food group 2): one's profile, away message and capabilities
// (02,04), and asking for another user's (02,05 or 02,15 → 02,06). An away
// message is "set" while its text is non-empty; sending an empty text clears
// it. Profile and away text travel with a MIME type such as
// `text/aolrtf; charset="us-ascii"`.
#pragma once

#include "Snac.h"
#include "UserInfo.h"

#include <optional>
#include <string>
#include <vector>

namespace oscar::locate {

constexpr SnacId kError{foodgroup::kLocate, 0x0001};
constexpr SnacId kRightsQuery{foodgroup::kLocate, 0x0002};          // empty body
constexpr SnacId kRightsReply{foodgroup::kLocate, 0x0003};
constexpr SnacId kSetInfo{foodgroup::kLocate, 0x0004};
constexpr SnacId kUserInfoQuery{foodgroup::kLocate, 0x0005};
constexpr SnacId kUserInfoReply{foodgroup::kLocate, 0x0006};
constexpr SnacId kUserInfoQuery2{foodgroup::kLocate, 0x0015};

namespace tag {
constexpr uint16_t kProfileMime = 0x0001;
constexpr uint16_t kProfile = 0x0002;
constexpr uint16_t kAwayMime = 0x0003;
constexpr uint16_t kAwayMessage = 0x0004;
constexpr uint16_t kCapabilities = 0x0005;
} // namespace tag

// Bits of the 02,05 type and of the 02,15 flags: what to send back.
namespace query {
constexpr uint32_t kProfile = 0x0001;
constexpr uint32_t kAwayMessage = 0x0002;
constexpr uint32_t kCapabilities = 0x0004;
} // namespace query

// The MIME type servers use when they have no other.
constexpr char kDefaultMime[] = "text/aolrtf; charset=\"us-ascii\"";

struct RightsReply {
    static constexpr SnacId kId = kRightsReply;
    uint16_t maxProfileLength = 0;       // TLV 1
    uint16_t maxCapabilities = 0;        // TLV 2
    uint16_t maxFindByEmailList = 0;     // TLV 3
    uint16_t maxCertificateLength = 0;   // TLV 4
    uint16_t maxShortCapabilities = 0;   // TLV 5
};

// The profile, away and capability fields of 02,04 and 02,06. Only the
// fields that are set go on the wire.
struct InfoFields {
    std::optional<std::string> profileMime;
    std::optional<std::string> profile;
    std::optional<std::string> awayMime;
    std::optional<std::string> awayMessage;    // "" in 02,04 clears the away state
    std::optional<std::vector<Capability>> capabilities;
};

// 02,04: sets what it holds, leaves the rest as it was.
struct SetInfo : InfoFields {
    static constexpr SnacId kId = kSetInfo;
};

// 02,05: `type` holds query:: bits.
struct UserInfoQuery {
    static constexpr SnacId kId = kUserInfoQuery;
    uint16_t type = query::kProfile;
    std::string screenName;
};

// 02,15: the newer form with 32 bits of query:: flags.
struct UserInfoQuery2 {
    static constexpr SnacId kId = kUserInfoQuery2;
    uint32_t flags = query::kProfile;
    std::string screenName;
};

// 02,06: the user's block, then what was asked for (the away text only while away).
struct UserInfoReply : InfoFields {
    static constexpr SnacId kId = kUserInfoReply;
    UserInfo user;
};

Bytes Encode(const RightsReply& m);
bool Decode(const Bytes& body, RightsReply& m);
Bytes Encode(const SetInfo& m);
bool Decode(const Bytes& body, SetInfo& m);       // a capability list not of whole UUIDs fails
Bytes Encode(const UserInfoQuery& m);
bool Decode(const Bytes& body, UserInfoQuery& m);
Bytes Encode(const UserInfoQuery2& m);
bool Decode(const Bytes& body, UserInfoQuery2& m);
Bytes Encode(const UserInfoReply& m);
bool Decode(const Bytes& body, UserInfoReply& m);

} // namespace oscar::locate
