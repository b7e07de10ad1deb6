// FLAP, the frame layer under everything: a 6-byte header (0x2A marker,
// channel, sequence number, payload length) and the payload. A TCP stream is
// cut into frames by FlapReader, which is fed whatever bytes arrived and
// tells "here is a frame", "need more bytes" and "this stream is broken"
// apart; once broken it stays broken, because nothing after a bad header can
// be trusted to start a frame.
#pragma once

#include "ByteStream.h"
#include "Tlv.h"

#include <cstddef>
#include <cstdint>

namespace oscar {

constexpr uint8_t kFlapMarker = 0x2A;
constexpr size_t kFlapHeaderSize = 6;
constexpr size_t kFlapMaxPayload = 0xFFFF;

namespace flap {
constexpr uint8_t kSignon = 0x01;        // connection start: u32 version 1, then TLVs
constexpr uint8_t kData = 0x02;          // exactly one SNAC
constexpr uint8_t kError = 0x03;
constexpr uint8_t kSignoff = 0x04;       // connection end: TLVs, possibly none
constexpr uint8_t kKeepAlive = 0x05;     // empty
} // namespace flap

struct FlapFrame {
    uint8_t channel = flap::kData;
    uint16_t sequence = 0;
    Bytes payload;
};

enum class FlapParse { Frame, NeedMore, Malformed };

// One frame from the start of `data`. On Frame, `consumed` is its whole size.
// Malformed: a wrong marker or a channel outside 1..5.
FlapParse ParseFlap(const uint8_t* data, size_t size, FlapFrame& frame, size_t& consumed);

// False (and `out` untouched) when the payload is longer than a FLAP can carry.
bool EncodeFlap(const FlapFrame& frame, Bytes& out);

// The stream side of ParseFlap.
class FlapReader {
public:
    void Append(const uint8_t* data, size_t size);
    void Append(const Bytes& bytes) { Append(bytes.data(), bytes.size()); }
    FlapParse Next(FlapFrame& frame);
    size_t Buffered() const { return buffer_.size() - start_; }

private:
    Bytes buffer_;
    size_t start_ = 0;
    bool broken_ = false;
};

// The outgoing sequence number of one connection: each frame takes the next
// one. Numbers stay within 0..0x7FFF (some servers read them as signed).
class FlapSequence {
public:
    explicit FlapSequence(uint16_t start = 0) : next_(start & 0x7FFF) {}
    uint16_t Next();

private:
    uint16_t next_;
};

// The payload of a SIGNON frame.
struct SignonFrame {
    uint32_t version = 1;
    TlvList tlvs;                      // 0x0006 cookie when connecting with one
};

namespace signon {
constexpr uint16_t kTagScreenName = 0x0001;   // legacy login only
constexpr uint16_t kTagCookie = 0x0006;
constexpr uint16_t kTagMultiConn = 0x004A;
} // namespace signon

Bytes Encode(const SignonFrame& frame);
// Needs the four version bytes; the TLVs must be whole.
bool Decode(const Bytes& payload, SignonFrame& frame);

// The payload of a SIGNOFF frame from the server: a reason (TLV 0x0009, sent
// one or two bytes wide) and a URL (0x000B), or the login error TLV 0x0008.
namespace signoff {
constexpr uint16_t kTagErrorCode = 0x0008;
constexpr uint16_t kTagReason = 0x0009;
constexpr uint16_t kTagUrl = 0x000B;
constexpr uint16_t kReasonSignedOnElsewhere = 0x0001;
constexpr uint16_t kReasonAccountDeleted = 0x0002;
} // namespace signoff

} // namespace oscar
