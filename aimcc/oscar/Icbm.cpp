#include "Icbm.h"

namespace oscar::icbm {

namespace {

constexpr uint8_t kFragmentFeatures = 0x05;
constexpr uint8_t kFragmentText = 0x01;
constexpr uint8_t kFragmentVersion = 0x01;
constexpr uint32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The next code point of `s` from `i`; a malformed sequence gives U+FFFD and
// moves one byte on.
uint32_t NextUtf8(std::string_view s, size_t& i)
{
    auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
    uint8_t b = byte(i);
    size_t length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > s.size()) {
        ++i;
        return kReplacement;
    }
    uint32_t cp = length == 1 ? b : b & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        cp = cp << 6 | (byte(i + k) & 0x3F);
    }
    static const uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += length;
    return cp;
}

bool IsValidUtf8(const Bytes& bytes)
{
    std::string_view s(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    for (size_t i = 0; i < s.size();) {
        size_t before = i;
        uint32_t cp = NextUtf8(s, i);
        if (cp == kReplacement && i == before + 1 && static_cast<uint8_t>(s[before]) >= 0x80)
            return false;
    }
    return true;
}

std::string Latin1ToUtf8(const Bytes& bytes)
{
    std::string out;
    for (uint8_t b : bytes)
        AppendUtf8(out, b);
    return out;
}

void WriteHead(ByteWriter& w, uint64_t cookie, uint16_t channel, const std::string& name)
{
    w.U64(cookie);
    w.U16(channel);
    w.String08(name);
}

} // namespace

ImText ImText::FromUtf8(std::string_view utf8)
{
    ImText part;
    bool ascii = true;
    for (char c : utf8)
        if (static_cast<uint8_t>(c) >= 0x80)
            ascii = false;
    if (ascii) {
        part.charset = charset::kAscii;
        part.text.assign(utf8.begin(), utf8.end());
        return part;
    }
    part.charset = charset::kUcs2;
    auto put = [&](uint32_t unit) {
        part.text.push_back(static_cast<uint8_t>(unit >> 8));
        part.text.push_back(static_cast<uint8_t>(unit));
    };
    for (size_t i = 0; i < utf8.size();) {
        uint32_t cp = NextUtf8(utf8, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 | (cp >> 10));
            put(0xDC00 | (cp & 0x3FF));
        } else {
            put(cp);
        }
    }
    return part;
}

std::string ImText::ToUtf8() const
{
    switch (charset) {
    case charset::kUcs2: {
        std::string out;
        // A trailing odd byte cannot be half of anything; it is dropped.
        for (size_t i = 0; i + 1 < text.size(); i += 2) {
            uint32_t unit = uint32_t(text[i]) << 8 | text[i + 1];
            if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < text.size()) {
                uint32_t low = uint32_t(text[i + 2]) << 8 | text[i + 3];
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                    i += 2;
                    continue;
                }
            }
            AppendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit);
        }
        return out;
    }
    case charset::kLatin1:
        return Latin1ToUtf8(text);
    default:
        // Many clients put UTF-8 under the ASCII label; anything else that is
        // not ASCII is taken as Latin-1.
        if (IsValidUtf8(text))
            return std::string(text.begin(), text.end());
        return Latin1ToUtf8(text);
    }
}

InstantMessage InstantMessage::FromUtf8(std::string_view utf8)
{
    InstantMessage im;
    im.parts.push_back(ImText::FromUtf8(utf8));
    return im;
}

std::string InstantMessage::TextUtf8() const
{
    std::string out;
    for (const ImText& part : parts)
        out += part.ToUtf8();
    return out;
}

Bytes EncodeImData(const InstantMessage& im)
{
    ByteWriter w;
    w.U8(kFragmentFeatures);
    w.U8(kFragmentVersion);
    w.Block16(im.features);
    for (const ImText& part : im.parts) {
        ByteWriter payload;
        payload.U16(part.charset);
        payload.U16(part.language);
        payload.Append(part.text);
        w.U8(kFragmentText);
        w.U8(kFragmentVersion);
        w.Block16(payload.Data());
        if (!payload.Ok())
            w.Fail();
    }
    return w.Take();
}

bool DecodeImData(const Bytes& data, InstantMessage& im)
{
    ByteReader r(data);
    im.features.clear();
    im.parts.clear();
    bool sawFeatures = false;
    while (r.Ok() && !r.AtEnd()) {
        uint8_t id = r.U8();
        r.U8();                          // fragment version
        uint16_t length = r.U16();
        ByteReader payload = r.Sub(length);
        if (!r.Ok())
            return false;
        if (id == kFragmentFeatures && !sawFeatures) {
            im.features = payload.Rest();
            sawFeatures = true;
        } else if (id == kFragmentText) {
            ImText part;
            part.charset = payload.U16();
            part.language = payload.U16();
            part.text = payload.Rest();
            if (!payload.Ok())
                return false;
            im.parts.push_back(std::move(part));
        }
    }
    return r.Ok();
}

TlvList ImToTlvs(const InstantMessage& im)
{
    TlvList tlvs;
    tlvs.Add(tag::kImData, EncodeImData(im));
    if (im.requestHostAck)
        tlvs.AddEmpty(tag::kRequestHostAck);
    if (im.autoResponse)
        tlvs.AddEmpty(tag::kAutoResponse);
    if (im.storeOffline)
        tlvs.AddEmpty(tag::kStoreOffline);
    if (im.wantsTypingEvents)
        tlvs.AddEmpty(tag::kWantsTypingEvents);
    if (im.sendTime)
        tlvs.AddU32(tag::kSendTime, *im.sendTime);
    return tlvs;
}

bool ImFromTlvs(const TlvList& tlvs, InstantMessage& im)
{
    const Tlv* data = tlvs.Find(tag::kImData);
    if (!data || !DecodeImData(data->value, im))
        return false;
    im.requestHostAck = tlvs.Has(tag::kRequestHostAck);
    im.autoResponse = tlvs.Has(tag::kAutoResponse);
    im.storeOffline = tlvs.Has(tag::kStoreOffline);
    im.wantsTypingEvents = tlvs.Has(tag::kWantsTypingEvents);
    im.sendTime = tlvs.U32(tag::kSendTime);
    return true;
}

ChannelMsgToHost MakeImToHost(uint64_t cookie, std::string_view recipient, const InstantMessage& im)
{
    ChannelMsgToHost m;
    m.cookie = cookie;
    m.channel = channel::kIm;
    m.recipient.assign(recipient);
    m.tlvs = ImToTlvs(im);
    return m;
}

Bytes Encode(const Params& m)
{
    ByteWriter w;
    w.U16(m.channel);
    w.U32(m.flags);
    w.U16(m.maxMessageLength);
    w.U16(m.maxSenderWarning);
    w.U16(m.maxReceiverWarning);
    w.U32(m.minInterval);
    return w.Take();
}

bool Decode(const Bytes& body, Params& m)
{
    ByteReader r(body);
    m.channel = r.U16();
    m.flags = r.U32();
    m.maxMessageLength = r.U16();
    m.maxSenderWarning = r.U16();
    m.maxReceiverWarning = r.U16();
    m.minInterval = r.U32();
    return r.Ok();
}

Bytes Encode(const ChannelMsgToHost& m)
{
    ByteWriter w;
    WriteHead(w, m.cookie, m.channel, m.recipient);
    WriteTlvRest(w, m.tlvs);
    return w.Take();
}

bool Decode(const Bytes& body, ChannelMsgToHost& m)
{
    ByteReader r(body);
    m.cookie = r.U64();
    m.channel = r.U16();
    m.recipient = r.String08();
    m.tlvs = ReadTlvRest(r);
    return r.Ok() && !m.recipient.empty();
}

Bytes Encode(const ChannelMsgToClient& m)
{
    ByteWriter w;
    w.U64(m.cookie);
    w.U16(m.channel);
    WriteUserInfo(w, m.sender);
    WriteTlvRest(w, m.tlvs);
    return w.Take();
}

bool Decode(const Bytes& body, ChannelMsgToClient& m)
{
    ByteReader r(body);
    m.cookie = r.U64();
    m.channel = r.U16();
    m.sender = ReadUserInfo(r);
    m.tlvs = ReadTlvRest(r);
    return r.Ok() && !m.sender.screenName.empty();
}

Bytes Encode(const HostAck& m)
{
    ByteWriter w;
    WriteHead(w, m.cookie, m.channel, m.screenName);
    return w.Take();
}

bool Decode(const Bytes& body, HostAck& m)
{
    ByteReader r(body);
    m.cookie = r.U64();
    m.channel = r.U16();
    m.screenName = r.String08();
    return r.Ok();
}

Bytes Encode(const ClientError& m)
{
    ByteWriter w;
    WriteHead(w, m.cookie, m.channel, m.screenName);
    w.U16(m.reason);
    w.Append(m.data);
    return w.Take();
}

bool Decode(const Bytes& body, ClientError& m)
{
    ByteReader r(body);
    m.cookie = r.U64();
    m.channel = r.U16();
    m.screenName = r.String08();
    m.reason = r.U16();
    m.data = r.Rest();
    return r.Ok() && !m.screenName.empty();
}

Bytes Encode(const ClientEvent& m)
{
    ByteWriter w;
    WriteHead(w, m.cookie, m.channel, m.screenName);
    w.U16(m.event);
    return w.Take();
}

bool Decode(const Bytes& body, ClientEvent& m)
{
    ByteReader r(body);
    m.cookie = r.U64();
    m.channel = r.U16();
    m.screenName = r.String08();
    m.event = r.U16();
    return r.Ok() && !m.screenName.empty();
}

Bytes Encode(const EvilRequest& m)
{
    ByteWriter w;
    w.U16(m.anonymous);
    w.String08(m.screenName);
    return w.Take();
}

bool Decode(const Bytes& body, EvilRequest& m)
{
    ByteReader r(body);
    m.anonymous = r.U16();
    m.screenName = r.String08();
    return r.Ok() && !m.screenName.empty();
}

Bytes Encode(const EvilReply& m)
{
    ByteWriter w;
    w.U16(m.delta);
    w.U16(m.newLevel);
    return w.Take();
}

bool Decode(const Bytes& body, EvilReply& m)
{
    ByteReader r(body);
    m.delta = r.U16();
    m.newLevel = r.U16();
    return r.Ok();
}

} // namespace oscar::icbm
