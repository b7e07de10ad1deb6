// SNAC, the message layer: a 10-byte header (food group, subgroup, flags,
// request ID) and a body, carried one per DATA frame.
//
// Every message with a body has a struct in its food group's header
// (oscar::icbm::Typing, oscar::feedbag::Reply, ...) that names its SNAC in a
// static kId, and a pair of free functions beside it:
//     Bytes Encode(const T&);            the body
//     bool Decode(const Bytes&, T&);     false on anything malformed
// Decoders check every length before they use it. Fields of a fixed layout
// must all be there; bytes after them are ignored (newer peers append).
// Lists and TLV blocks that run to the end of the body must end exactly there.
// MakeSnac wraps a message into a Snac ready for a DATA frame.
#pragma once

#include "ByteStream.h"
#include "Tlv.h"

#include <cstdint>
#include <optional>

namespace oscar {

struct SnacId {
    uint16_t group = 0;
    uint16_t subgroup = 0;
};
constexpr bool operator==(SnacId a, SnacId b) { return a.group == b.group && a.subgroup == b.subgroup; }
constexpr bool operator!=(SnacId a, SnacId b) { return !(a == b); }

namespace foodgroup {
constexpr uint16_t kOservice = 0x0001;
constexpr uint16_t kLocate = 0x0002;
constexpr uint16_t kBuddy = 0x0003;
constexpr uint16_t kIcbm = 0x0004;
constexpr uint16_t kPd = 0x0009;
constexpr uint16_t kStats = 0x000B;
constexpr uint16_t kChatNav = 0x000D;
constexpr uint16_t kChat = 0x000E;
constexpr uint16_t kBart = 0x0010;
constexpr uint16_t kFeedbag = 0x0013;
constexpr uint16_t kBucp = 0x0017;
} // namespace foodgroup

// Subgroup 1 of every food group is its error message.
constexpr uint16_t kSubgroupError = 0x0001;

namespace snacflag {
constexpr uint16_t kMoreReplies = 0x0001;   // another SNAC with this request ID follows
constexpr uint16_t kExtraBlock = 0x8000;    // the body starts with a u16-sized block
} // namespace snacflag

// Requests from a client use IDs below this; servers mark their own messages with it.
constexpr uint32_t kServerRequestId = 0x80000000;

struct Snac {
    uint16_t group = 0;
    uint16_t subgroup = 0;
    uint16_t flags = 0;
    uint32_t requestId = 0;
    Bytes extra;                         // the kExtraBlock block, without its size
    Bytes body;

    SnacId Id() const { return SnacId{group, subgroup}; }
    bool Is(SnacId id) const { return Id() == id; }
};

constexpr size_t kSnacHeaderSize = 10;

// The payload of a DATA frame. Fails on fewer than ten bytes or an extra
// block that runs past the end.
bool DecodeSnac(const Bytes& payload, Snac& snac);
// Writes the extra block when the flag asks for it.
Bytes EncodeSnac(const Snac& snac);

template <class Message>
Snac MakeSnac(const Message& message, uint32_t requestId)
{
    Snac snac;
    snac.group = Message::kId.group;
    snac.subgroup = Message::kId.subgroup;
    snac.requestId = requestId;
    snac.body = Encode(message);
    return snac;
}

inline Snac MakeEmptySnac(SnacId id, uint32_t requestId)
{
    Snac snac;
    snac.group = id.group;
    snac.subgroup = id.subgroup;
    snac.requestId = requestId;
    return snac;
}

// The error message (subgroup 1) of any food group: a code, then optional
// TLVs of which 0x0008 is a food-group-specific subcode.
namespace snacerror {
constexpr uint16_t kInvalidSnac = 0x0001;
constexpr uint16_t kRateToHost = 0x0002;
constexpr uint16_t kRateToClient = 0x0003;
constexpr uint16_t kNotLoggedOn = 0x0004;
constexpr uint16_t kServiceUnavailable = 0x0005;
constexpr uint16_t kServiceNotDefined = 0x0006;
constexpr uint16_t kObsoleteSnac = 0x0007;
constexpr uint16_t kNotSupportedByHost = 0x0008;
constexpr uint16_t kNotSupportedByClient = 0x0009;
constexpr uint16_t kRefusedByClient = 0x000A;
constexpr uint16_t kRequestDenied = 0x000D;
constexpr uint16_t kBustedPayload = 0x000E;
constexpr uint16_t kInsufficientRights = 0x000F;
constexpr uint16_t kInLocalPermitDeny = 0x0010;
constexpr uint16_t kSenderTooEvil = 0x0011;
constexpr uint16_t kReceiverTooEvil = 0x0012;
constexpr uint16_t kUserUnavailable = 0x0013;
constexpr uint16_t kNoMatch = 0x0014;
constexpr uint16_t kListOverflow = 0x0015;
constexpr uint16_t kGeneralFailure = 0x001C;
constexpr uint16_t kTagUrl = 0x0004;
constexpr uint16_t kTagSubcode = 0x0008;
constexpr uint16_t kTagText = 0x001B;
} // namespace snacerror

struct SnacError {
    uint16_t code = 0;
    TlvList tlvs;

    std::optional<uint16_t> Subcode() const { return tlvs.U16(snacerror::kTagSubcode); }
};

Bytes Encode(const SnacError& error);
bool Decode(const Bytes& body, SnacError& error);
// SNAC(group,01) answering `requestId`; a zero subcode is left out.
Snac MakeErrorSnac(uint16_t group, uint32_t requestId, uint16_t code, uint16_t subcode = 0);

} // namespace oscar
