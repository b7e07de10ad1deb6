// FEEDBAG (food group 0x13): the buddy list the server keeps. It is a flat
// set of items, each keyed by (group ID, item ID). The root group (0, 0)
// lists the group IDs in display order in its attribute 0x00C8; each group
// (its own ID, item 0) lists its buddies' item IDs in order the same way;
// buddies are class-0 items inside their group. Edits are item lists
// (insert 13,08, update 13,09, delete 13,0A) answered by one status code per
// item (13,0E), usually bracketed by 13,11 / 13,12.
//
// FeedbagList holds a copy of the items and answers the questions both a
// client and our server ask of it: groups in order, a group's buddies in
// order, free IDs.
#pragma once

#include "Snac.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace oscar::feedbag {

constexpr SnacId kError{foodgroup::kFeedbag, 0x0001};
constexpr SnacId kRightsQuery{foodgroup::kFeedbag, 0x0002};         // empty body (or TLVs)
constexpr SnacId kRightsReply{foodgroup::kFeedbag, 0x0003};
constexpr SnacId kQuery{foodgroup::kFeedbag, 0x0004};               // empty body
constexpr SnacId kQueryIfModified{foodgroup::kFeedbag, 0x0005};
constexpr SnacId kReply{foodgroup::kFeedbag, 0x0006};
constexpr SnacId kUse{foodgroup::kFeedbag, 0x0007};                 // empty body
constexpr SnacId kInsertItems{foodgroup::kFeedbag, 0x0008};
constexpr SnacId kUpdateItems{foodgroup::kFeedbag, 0x0009};
constexpr SnacId kDeleteItems{foodgroup::kFeedbag, 0x000A};
constexpr SnacId kStatus{foodgroup::kFeedbag, 0x000E};
constexpr SnacId kReplyNotModified{foodgroup::kFeedbag, 0x000F};
constexpr SnacId kStartCluster{foodgroup::kFeedbag, 0x0011};
constexpr SnacId kEndCluster{foodgroup::kFeedbag, 0x0012};          // empty body

namespace itemclass {
constexpr uint16_t kBuddy = 0x0000;
constexpr uint16_t kGroup = 0x0001;
constexpr uint16_t kPermit = 0x0002;
constexpr uint16_t kDeny = 0x0003;
constexpr uint16_t kPdInfo = 0x0004;
constexpr uint16_t kBuddyPrefs = 0x0005;
constexpr uint16_t kNonBuddy = 0x0006;
constexpr uint16_t kClientPrefs = 0x0009;
constexpr uint16_t kBart = 0x0014;
} // namespace itemclass

namespace attr {
constexpr uint16_t kPending = 0x0066;
constexpr uint16_t kOrder = 0x00C8;              // u16 list
constexpr uint16_t kBuddyPrefs = 0x00C9;         // u32
constexpr uint16_t kPdMode = 0x00CA;             // u8
constexpr uint16_t kPdMask = 0x00CB;             // u32
constexpr uint16_t kPdFlags = 0x00CC;            // u32
constexpr uint16_t kBartInfo = 0x00D5;
constexpr uint16_t kBuddyPrefsValid = 0x00D6;
constexpr uint16_t kAlias = 0x0131;
constexpr uint16_t kEmail = 0x0137;
constexpr uint16_t kSms = 0x013A;
constexpr uint16_t kNote = 0x013C;
constexpr uint16_t kAlertPrefs = 0x013D;
constexpr uint16_t kAlertSound = 0x013E;
} // namespace attr

// Buddy-prefs bits (class 5, attribute 0x00C9).
namespace buddypref {
constexpr uint32_t kShowLogins = 0x00000001;
constexpr uint32_t kDiscloseIdle = 0x00000400;
constexpr uint32_t kDiscloseTyping = 0x00400000;
} // namespace buddypref

// PD modes (class 4, attribute 0x00CA).
namespace pdmode {
constexpr uint8_t kPermitAll = 1;
constexpr uint8_t kDenyAll = 2;
constexpr uint8_t kPermitSome = 3;
constexpr uint8_t kDenySome = 4;
constexpr uint8_t kPermitOnList = 5;
} // namespace pdmode

// One code per item in 13,0E.
namespace status {
constexpr uint16_t kSuccess = 0x0000;
constexpr uint16_t kNotFound = 0x0002;
constexpr uint16_t kAlreadyExists = 0x0003;
constexpr uint16_t kInvalid = 0x000A;
constexpr uint16_t kLimitExceeded = 0x000C;
constexpr uint16_t kIcqNotAllowed = 0x000D;
constexpr uint16_t kNeedsAuthorization = 0x000E;
} // namespace status

struct Item {
    std::string name;
    uint16_t groupId = 0;
    uint16_t itemId = 0;
    uint16_t classId = itemclass::kBuddy;
    TlvList attributes;

    bool IsRoot() const { return classId == itemclass::kGroup && groupId == 0 && itemId == 0; }
    bool IsGroup() const { return classId == itemclass::kGroup && groupId != 0 && itemId == 0; }
    bool IsBuddy() const { return classId == itemclass::kBuddy; }
    bool SameKey(const Item& other) const { return groupId == other.groupId && itemId == other.itemId; }

    // Attribute 0x00C8. An odd-sized value reads as its whole u16s.
    std::vector<uint16_t> Order() const;
    // An empty order removes the attribute, as an empty group has none.
    void SetOrder(const std::vector<uint16_t>& ids);
    std::optional<std::string> Alias() const { return attributes.String(attr::kAlias); }

    static Item Root(const std::vector<uint16_t>& groupOrder);
    static Item Group(std::string_view name, uint16_t groupId, const std::vector<uint16_t>& buddyOrder);
    static Item Buddy(std::string_view screenName, uint16_t groupId, uint16_t itemId);
};

void WriteItem(ByteWriter& w, const Item& item);
Item ReadItem(ByteReader& r);

struct RightsReply {
    static constexpr SnacId kId = kRightsReply;
    TlvList tlvs;
    // TLV 0x0004, indexed by class ID.
    std::vector<uint16_t> MaxItemsPerClass() const;
};

// 13,05: the client's copy is from `lastModified` and holds `count` items.
// The count goes out as a u16; a one-byte count is accepted too.
struct QueryIfModified {
    static constexpr SnacId kId = kQueryIfModified;
    uint32_t lastModified = 0;
    uint16_t count = 0;
};

// 13,06. A list split over several SNACs has the lastModified only in the last part.
struct Reply {
    static constexpr SnacId kId = kReply;
    uint8_t version = 0;
    std::vector<Item> items;
    std::optional<uint32_t> lastModified;
};

// 13,08 / 13,09 / 13,0A: items back to back, at least one.
struct ItemList {
    std::vector<Item> items;
};
struct InsertItems : ItemList {
    static constexpr SnacId kId = kInsertItems;
};
struct UpdateItems : ItemList {
    static constexpr SnacId kId = kUpdateItems;
};
struct DeleteItems : ItemList {
    static constexpr SnacId kId = kDeleteItems;
};

struct Status {
    static constexpr SnacId kId = kStatus;
    std::vector<uint16_t> codes;
};

// 13,11: the optional u32 is 0x00010000 for an import.
struct StartCluster {
    static constexpr SnacId kId = kStartCluster;
    std::optional<uint32_t> flags;
};

Bytes Encode(const RightsReply& m);
bool Decode(const Bytes& body, RightsReply& m);
Bytes Encode(const QueryIfModified& m);
bool Decode(const Bytes& body, QueryIfModified& m);
Bytes Encode(const Reply& m);
bool Decode(const Bytes& body, Reply& m);
Bytes Encode(const ItemList& m);
bool Decode(const Bytes& body, ItemList& m);
Bytes Encode(const Status& m);
bool Decode(const Bytes& body, Status& m);
Bytes Encode(const StartCluster& m);
bool Decode(const Bytes& body, StartCluster& m);

// A copy of a feedbag with the lookups a buddy list needs.
class FeedbagList {
public:
    std::vector<Item> items;

    const Item* Find(uint16_t groupId, uint16_t itemId) const;
    Item* Find(uint16_t groupId, uint16_t itemId);
    const Item* Root() const { return Find(0, 0); }
    const Item* FindGroup(std::string_view name) const;
    // The first buddy item with this screen name (compared normalised), in any group.
    const Item* FindBuddy(std::string_view screenName) const;
    const Item* FindBuddy(std::string_view screenName, uint16_t groupId) const;

    // The groups in the root's order; groups the root does not list follow
    // in stored order, so nothing the server holds goes missing.
    std::vector<const Item*> Groups() const;
    // A group's buddies in its order, then any it does not list.
    std::vector<const Item*> Buddies(uint16_t groupId) const;

    // The lowest unused group ID, and the lowest item ID unused in the whole
    // list (so it stays unique even if an item moves); 0 when none is left.
    uint16_t NewGroupId() const;
    uint16_t NewItemId() const;

    // Insert fails on an existing key, update and remove on a missing one.
    bool Insert(const Item& item);
    bool Update(const Item& item);
    bool Remove(uint16_t groupId, uint16_t itemId);
};

} // namespace oscar::feedbag
