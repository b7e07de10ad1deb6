// BUDDY (food group 3): presence. The server sends 03,0B when a buddy
// arrives or anything about them changes (treat it as "replace what you
// know"), and 03,0C when they leave; departures may carry the normalised
// name and almost no TLVs. Clients with a server-stored list need no 03,04;
// it remains for watching names that are not on the list.
#pragma once

#include "Snac.h"
#include "UserInfo.h"

#include <string>
#include <vector>

namespace oscar::buddy {

constexpr SnacId kError{foodgroup::kBuddy, 0x0001};
constexpr SnacId kRightsQuery{foodgroup::kBuddy, 0x0002};           // empty body (or TLVs)
constexpr SnacId kRightsReply{foodgroup::kBuddy, 0x0003};
constexpr SnacId kAddBuddies{foodgroup::kBuddy, 0x0004};
constexpr SnacId kDeleteBuddies{foodgroup::kBuddy, 0x0005};
constexpr SnacId kArrived{foodgroup::kBuddy, 0x000B};
constexpr SnacId kDeparted{foodgroup::kBuddy, 0x000C};

struct RightsReply {
    static constexpr SnacId kId = kRightsReply;
    uint16_t maxBuddies = 0;             // TLV 1
    uint16_t maxWatchers = 0;            // TLV 2
    uint16_t maxIcqBroadcast = 0;        // TLV 3
    uint16_t maxTemporaryBuddies = 0;    // TLV 4
};

struct Arrived {
    static constexpr SnacId kId = kArrived;
    UserInfo user;
};

struct Departed {
    static constexpr SnacId kId = kDeparted;
    UserInfo user;
};

// 03,04 / 03,05: string08 names to the end of the body.
struct NameList {
    std::vector<std::string> names;
};
struct AddBuddies : NameList {
    static constexpr SnacId kId = kAddBuddies;
};
struct DeleteBuddies : NameList {
    static constexpr SnacId kId = kDeleteBuddies;
};

Bytes Encode(const RightsReply& m);
bool Decode(const Bytes& body, RightsReply& m);
Bytes Encode(const Arrived& m);
bool Decode(const Bytes& body, Arrived& m);
Bytes Encode(const Departed& m);
bool Decode(const Bytes& body, Departed& m);
Bytes Encode(const NameList& m);
bool Decode(const Bytes& body, NameList& m);       // an empty name fails

} // namespace oscar::buddy
