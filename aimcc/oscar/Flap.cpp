#include "Flap.h"

namespace oscar {

FlapParse ParseFlap(const uint8_t* data, size_t size, FlapFrame& frame, size_t& consumed)
{
    consumed = 0;
    // The marker and channel are checked as soon as they are here, so a
    // stream of garbage is refused at once instead of waiting for six bytes.
    if (size >= 1 && data[0] != kFlapMarker)
        return FlapParse::Malformed;
    if (size >= 2 && (data[1] < flap::kSignon || data[1] > flap::kKeepAlive))
        return FlapParse::Malformed;
    if (size < kFlapHeaderSize)
        return FlapParse::NeedMore;
    ByteReader r(data, size);
    r.Skip(1);
    uint8_t channel = r.U8();
    uint16_t sequence = r.U16();
    uint16_t length = r.U16();
    if (r.Remaining() < length)
        return FlapParse::NeedMore;
    frame.channel = channel;
    frame.sequence = sequence;
    frame.payload = r.Take(length);
    consumed = kFlapHeaderSize + length;
    return FlapParse::Frame;
}

bool EncodeFlap(const FlapFrame& frame, Bytes& out)
{
    if (frame.payload.size() > kFlapMaxPayload)
        return false;
    ByteWriter w;
    w.U8(kFlapMarker);
    w.U8(frame.channel);
    w.U16(frame.sequence);
    w.U16(static_cast<uint16_t>(frame.payload.size()));
    w.Append(frame.payload);
    out = w.Take();
    return true;
}

void FlapReader::Append(const uint8_t* data, size_t size)
{
    if (broken_)
        return;
    // Drop what has been handed out before growing, so a long-lived
    // connection's buffer stays the size of one frame.
    if (start_ > 0 && start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    } else if (start_ > 4096) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
    buffer_.insert(buffer_.end(), data, data + size);
}

FlapParse FlapReader::Next(FlapFrame& frame)
{
    if (broken_)
        return FlapParse::Malformed;
    size_t consumed = 0;
    FlapParse result = ParseFlap(buffer_.data() + start_, buffer_.size() - start_, frame, consumed);
    if (result == FlapParse::Frame)
        start_ += consumed;
    else if (result == FlapParse::Malformed)
        broken_ = true;
    return result;
}

uint16_t FlapSequence::Next()
{
    uint16_t current = next_;
    next_ = static_cast<uint16_t>((next_ + 1) & 0x7FFF);
    return current;
}

Bytes Encode(const SignonFrame& frame)
{
    ByteWriter w;
    w.U32(frame.version);
    WriteTlvRest(w, frame.tlvs);
    return w.Take();
}

bool Decode(const Bytes& payload, SignonFrame& frame)
{
    ByteReader r(payload);
    frame.version = r.U32();
    frame.tlvs = ReadTlvRest(r);
    return r.Ok();
}

} // namespace oscar
