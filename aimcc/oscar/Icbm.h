// ICBM (food group 4): messages between users. A message goes to the server
// as 04,06 naming the recipient and comes out at the other end as 04,07 with
// the sender's user-info block in its place; the TLVs travel along (minus the
// ones meant for the server). Channel 1 is the plain IM, whose text sits in
// TLV 0x0002 as a list of fragments (features, then text parts with their
// charset). Typing notifications (04,14), host acks (04,0C) and client
// errors (04,0B) share the cookie/channel/name head.
#pragma once

#include "Snac.h"
#include "UserInfo.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace oscar::icbm {

constexpr SnacId kError{foodgroup::kIcbm, 0x0001};
constexpr SnacId kAddParams{foodgroup::kIcbm, 0x0002};
constexpr SnacId kParamsQuery{foodgroup::kIcbm, 0x0004};            // empty body
constexpr SnacId kParamsReply{foodgroup::kIcbm, 0x0005};
constexpr SnacId kChannelMsgToHost{foodgroup::kIcbm, 0x0006};
constexpr SnacId kChannelMsgToClient{foodgroup::kIcbm, 0x0007};
constexpr SnacId kEvilRequest{foodgroup::kIcbm, 0x0008};
constexpr SnacId kEvilReply{foodgroup::kIcbm, 0x0009};
constexpr SnacId kClientError{foodgroup::kIcbm, 0x000B};
constexpr SnacId kHostAck{foodgroup::kIcbm, 0x000C};
constexpr SnacId kOfflineRetrieve{foodgroup::kIcbm, 0x0010};        // empty body
constexpr SnacId kClientEvent{foodgroup::kIcbm, 0x0014};
constexpr SnacId kOfflineRetrieveDone{foodgroup::kIcbm, 0x0017};    // empty body

namespace channel {
constexpr uint16_t kIm = 1;
constexpr uint16_t kRendezvous = 2;
} // namespace channel

namespace tag {
constexpr uint16_t kImData = 0x0002;
constexpr uint16_t kRequestHostAck = 0x0003;     // to the server only
constexpr uint16_t kAutoResponse = 0x0004;
constexpr uint16_t kRendezvousData = 0x0005;
constexpr uint16_t kStoreOffline = 0x0006;       // to the server only
constexpr uint16_t kWantsTypingEvents = 0x000B;  // added by the server
constexpr uint16_t kSendTime = 0x0016;           // on messages stored offline
} // namespace tag

namespace charset {
constexpr uint16_t kAscii = 0x0000;
constexpr uint16_t kUcs2 = 0x0002;               // UCS-2 (UTF-16) big-endian
constexpr uint16_t kLatin1 = 0x0003;
} // namespace charset

// 04,14 events.
namespace typing {
constexpr uint16_t kFinished = 0x0000;
constexpr uint16_t kPaused = 0x0001;             // text typed, then a pause
constexpr uint16_t kBegun = 0x0002;
} // namespace typing

// Bits of Params::flags.
namespace paramflag {
constexpr uint32_t kMessagesAllowed = 0x00000001;
constexpr uint32_t kMissedCalls = 0x00000002;
constexpr uint32_t kTypingNotifications = 0x00000008;
} // namespace paramflag

// 04,02 (the client's wishes, `channel` 0 = all channels) and 04,05 (the
// server's limits, where the first field is the maximum number of slots).
struct Params {
    uint16_t channel = 0;
    uint32_t flags = 0;
    uint16_t maxMessageLength = 0;
    uint16_t maxSenderWarning = 0;
    uint16_t maxReceiverWarning = 0;
    uint32_t minInterval = 0;            // milliseconds
};
struct AddParams : Params {
    static constexpr SnacId kId = kAddParams;
};
struct ParamsReply : Params {
    static constexpr SnacId kId = kParamsReply;
};

struct ChannelMsgToHost {
    static constexpr SnacId kId = kChannelMsgToHost;
    uint64_t cookie = 0;
    uint16_t channel = channel::kIm;
    std::string recipient;
    TlvList tlvs;
};

struct ChannelMsgToClient {
    static constexpr SnacId kId = kChannelMsgToClient;
    uint64_t cookie = 0;
    uint16_t channel = channel::kIm;
    UserInfo sender;
    TlvList tlvs;
};

// One text fragment of a channel-1 message.
struct ImText {
    uint16_t charset = charset::kAscii;
    uint16_t language = 0;
    Bytes text;

    // ASCII when it is, UCS-2BE otherwise; malformed UTF-8 becomes U+FFFD.
    static ImText FromUtf8(std::string_view utf8);
    std::string ToUtf8() const;
};

// What a channel-1 message says, and its flags.
struct InstantMessage {
    Bytes features{0x01};                // fragment 5
    std::vector<ImText> parts;           // fragment 1, one or more
    bool autoResponse = false;           // TLV 0x0004: an away reply
    bool requestHostAck = false;         // TLV 0x0003
    bool storeOffline = false;           // TLV 0x0006
    bool wantsTypingEvents = false;      // TLV 0x000B
    std::optional<uint32_t> sendTime;    // TLV 0x0016

    static InstantMessage FromUtf8(std::string_view utf8);
    // The parts joined, as UTF-8.
    std::string TextUtf8() const;
};

// The value of TLV 0x0002 and back. Unknown fragments are skipped; a text
// fragment shorter than its charset and language fields fails.
Bytes EncodeImData(const InstantMessage& im);
bool DecodeImData(const Bytes& data, InstantMessage& im);
// The TLVs of a channel-1 message and back; the latter needs TLV 0x0002.
TlvList ImToTlvs(const InstantMessage& im);
bool ImFromTlvs(const TlvList& tlvs, InstantMessage& im);

ChannelMsgToHost MakeImToHost(uint64_t cookie, std::string_view recipient, const InstantMessage& im);

// 04,0C: the server took the message for delivery.
struct HostAck {
    static constexpr SnacId kId = kHostAck;
    uint64_t cookie = 0;
    uint16_t channel = channel::kIm;
    std::string screenName;
};

// 04,0B: a client could not handle a message (reason 1 channel, 2 payload, 3 channel-specific).
struct ClientError {
    static constexpr SnacId kId = kClientError;
    uint64_t cookie = 0;
    uint16_t channel = channel::kIm;
    std::string screenName;
    uint16_t reason = 0;
    Bytes data;
};

// 04,14: a typing notification; the name is the recipient when sent and the
// sender when received.
struct ClientEvent {
    static constexpr SnacId kId = kClientEvent;
    uint64_t cookie = 0;
    uint16_t channel = channel::kIm;
    std::string screenName;
    uint16_t event = typing::kFinished;
};

// 04,08 / 04,09: warning a user.
struct EvilRequest {
    static constexpr SnacId kId = kEvilRequest;
    uint16_t anonymous = 0;
    std::string screenName;
};
struct EvilReply {
    static constexpr SnacId kId = kEvilReply;
    uint16_t delta = 0;
    uint16_t newLevel = 0;
};

Bytes Encode(const Params& m);
bool Decode(const Bytes& body, Params& m);
Bytes Encode(const ChannelMsgToHost& m);
bool Decode(const Bytes& body, ChannelMsgToHost& m);       // needs a recipient
Bytes Encode(const ChannelMsgToClient& m);
bool Decode(const Bytes& body, ChannelMsgToClient& m);
Bytes Encode(const HostAck& m);
bool Decode(const Bytes& body, HostAck& m);
Bytes Encode(const ClientError& m);
bool Decode(const Bytes& body, ClientError& m);
Bytes Encode(const ClientEvent& m);
bool Decode(const Bytes& body, ClientEvent& m);            // needs a name
Bytes Encode(const EvilRequest& m);
bool Decode(const Bytes& body, EvilRequest& m);
Bytes Encode(const EvilReply& m);
bool Decode(const Bytes& body, EvilReply& m);

} // namespace oscar::icbm
