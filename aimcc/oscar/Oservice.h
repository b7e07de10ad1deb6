// OSERVICE (food group 1): what every connection does to start and to stay
// up. After the cookie the server lists its food groups (01,03); the client
// trades versions (01,17/01,18), asks for and acknowledges the rate classes
// (01,06/01,07/01,08), sets its status, asks for its own info (01,0E/01,0F)
// and ends the start-up with "client online" (01,02).
#pragma once

#include "Snac.h"
#include "UserInfo.h"

#include <optional>
#include <string>
#include <vector>

namespace oscar::oservice {

constexpr SnacId kError{foodgroup::kOservice, 0x0001};
constexpr SnacId kClientOnline{foodgroup::kOservice, 0x0002};
constexpr SnacId kHostOnline{foodgroup::kOservice, 0x0003};
constexpr SnacId kServiceRequest{foodgroup::kOservice, 0x0004};
constexpr SnacId kServiceResponse{foodgroup::kOservice, 0x0005};
constexpr SnacId kRateParamsQuery{foodgroup::kOservice, 0x0006};    // empty body
constexpr SnacId kRateParamsReply{foodgroup::kOservice, 0x0007};
constexpr SnacId kRateParamsSubscribe{foodgroup::kOservice, 0x0008};
constexpr SnacId kRateParamChange{foodgroup::kOservice, 0x000A};
constexpr SnacId kUserInfoQuery{foodgroup::kOservice, 0x000E};      // empty body
constexpr SnacId kUserInfoUpdate{foodgroup::kOservice, 0x000F};
constexpr SnacId kEvilNotification{foodgroup::kOservice, 0x0010};
constexpr SnacId kIdleNotification{foodgroup::kOservice, 0x0011};
constexpr SnacId kMotd{foodgroup::kOservice, 0x0013};
constexpr SnacId kNoop{foodgroup::kOservice, 0x0016};               // empty body
constexpr SnacId kClientVersions{foodgroup::kOservice, 0x0017};
constexpr SnacId kHostVersions{foodgroup::kOservice, 0x0018};
constexpr SnacId kSetUserInfoFields{foodgroup::kOservice, 0x001E};

// 01,03: the food groups this connection serves.
struct HostOnline {
    static constexpr SnacId kId = kHostOnline;
    std::vector<uint16_t> foodGroups;
};

struct FoodGroupVersion {
    uint16_t foodGroup = 0;
    uint16_t version = 0;
};

// 01,17 and 01,18 share one layout: (food group, version) pairs.
struct Versions {
    std::vector<FoodGroupVersion> versions;
};
struct ClientVersions : Versions {
    static constexpr SnacId kId = kClientVersions;
};
struct HostVersions : Versions {
    static constexpr SnacId kId = kHostVersions;
};

// 01,13: message of the day.
struct Motd {
    static constexpr SnacId kId = kMotd;
    uint16_t type = 4;
    TlvList tlvs;                        // 0x000B: the text
};

struct RateClass {
    uint16_t id = 0;
    uint32_t windowSize = 0;
    uint32_t clearLevel = 0;
    uint32_t alertLevel = 0;
    uint32_t limitLevel = 0;
    uint32_t disconnectLevel = 0;
    uint32_t currentLevel = 0;
    uint32_t maxLevel = 0;
    // Only on the wire when `extended` is set on the message.
    uint32_t lastTime = 0;
    uint8_t droppingSnacs = 0;
};

struct RateGroup {
    uint16_t classId = 0;
    std::vector<SnacId> members;
};

// 01,07. Servers add the last two class fields when the client announced
// OSERVICE version 2 or later; the decoder tells the two forms apart by
// which one accounts for the whole body.
struct RateParamsReply {
    static constexpr SnacId kId = kRateParamsReply;
    bool extended = true;
    std::vector<RateClass> classes;
    std::vector<RateGroup> groups;     // the SNACs of each class, one entry per class
};

// 01,08: the classes the client wants change notices for.
struct RateParamsSubscribe {
    static constexpr SnacId kId = kRateParamsSubscribe;
    std::vector<uint16_t> classIds;
};

// 01,0A: one class has changed state.
namespace ratecode {
constexpr uint16_t kChanged = 1;
constexpr uint16_t kWarning = 2;
constexpr uint16_t kLimited = 3;
constexpr uint16_t kClear = 4;
} // namespace ratecode
struct RateParamChange {
    static constexpr SnacId kId = kRateParamChange;
    uint16_t code = 0;
    bool extended = true;
    RateClass rateClass;
};

struct ClientOnlineEntry {
    uint16_t foodGroup = 0;
    uint16_t version = 0;
    uint16_t toolId = 0;
    uint16_t toolVersion = 0;
};

// 01,02: ends the start-up; the server starts presence after it.
struct ClientOnline {
    static constexpr SnacId kId = kClientOnline;
    std::vector<ClientOnlineEntry> entries;
};

// 01,0F: one's own info; servers may send several blocks (one per session).
struct UserInfoUpdate {
    static constexpr SnacId kId = kUserInfoUpdate;
    std::vector<UserInfo> users;
};

// 01,10: someone warned us. The warner is absent for anonymous warnings.
struct EvilNotification {
    static constexpr SnacId kId = kEvilNotification;
    uint16_t newLevel = 0;
    std::optional<UserInfo> warner;
};

// 01,11: seconds idle; 0 = active again.
struct IdleNotification {
    static constexpr SnacId kId = kIdleNotification;
    uint32_t idleSeconds = 0;
};

// 01,1E: the status word (userinfo::kStatus...) and any other fields.
struct SetUserInfoFields {
    static constexpr SnacId kId = kSetUserInfoFields;
    std::optional<uint32_t> status;
    TlvList other;
};

// 01,04 / 01,05: a connection for another food group (chat, icons, ...).
struct ServiceRequest {
    static constexpr SnacId kId = kServiceRequest;
    uint16_t foodGroup = 0;
    TlvList tlvs;
};
struct ServiceResponse {
    static constexpr SnacId kId = kServiceResponse;
    uint16_t foodGroup = 0;              // TLV 0x000D
    std::string address;                 // TLV 0x0005
    Bytes cookie;                        // TLV 0x0006
};

Bytes Encode(const HostOnline& m);
bool Decode(const Bytes& body, HostOnline& m);
Bytes Encode(const Versions& m);
bool Decode(const Bytes& body, Versions& m);
Bytes Encode(const Motd& m);
bool Decode(const Bytes& body, Motd& m);
Bytes Encode(const RateParamsReply& m);
bool Decode(const Bytes& body, RateParamsReply& m);
Bytes Encode(const RateParamsSubscribe& m);
bool Decode(const Bytes& body, RateParamsSubscribe& m);
Bytes Encode(const RateParamChange& m);
bool Decode(const Bytes& body, RateParamChange& m);
Bytes Encode(const ClientOnline& m);
bool Decode(const Bytes& body, ClientOnline& m);
Bytes Encode(const UserInfoUpdate& m);
bool Decode(const Bytes& body, UserInfoUpdate& m);          // at least one block
Bytes Encode(const EvilNotification& m);
bool Decode(const Bytes& body, EvilNotification& m);
Bytes Encode(const IdleNotification& m);
bool Decode(const Bytes& body, IdleNotification& m);
Bytes Encode(const SetUserInfoFields& m);
bool Decode(const Bytes& body, SetUserInfoFields& m);
Bytes Encode(const ServiceRequest& m);
bool Decode(const Bytes& body, ServiceRequest& m);
Bytes Encode(const ServiceResponse& m);
bool Decode(const Bytes& body, ServiceResponse& m);         // needs address and cookie

} // namespace oscar::oservice
