// What the codec does with bytes that are wrong: truncated frames, lengths
// that point past the end, zero lengths where a value is required. Every
// case must come back as an error (and, run under the fuzz target's
// sanitizers, without reading a byte too far).
#include "CodecTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

using namespace oscar;
using codectest::Hex;

namespace {

using Decoder = std::function<bool(const Bytes&)>;

template <class M>
bool DecodeAs(const Bytes& bytes)
{
    M message;
    return Decode(bytes, message);
}

bool DecodeSnacPayload(const Bytes& bytes)
{
    Snac snac;
    return DecodeSnac(bytes, snac);
}

bool DecodeImTlvs(const Bytes& bytes)
{
    ByteReader r(bytes);
    TlvList tlvs = ReadTlvRest(r);
    icbm::InstantMessage im;
    return r.Ok() && icbm::ImFromTlvs(tlvs, im);
}

bool DecodeUserInfoBlock(const Bytes& bytes)
{
    ByteReader r(bytes);
    ReadUserInfo(r);
    return r.Ok();
}

TEST(CodecMalformed, FlapHeaders)
{
    struct Case {
        const char* bytes;
        FlapParse result;
    } cases[] = {
        {"", FlapParse::NeedMore},
        {"2A", FlapParse::NeedMore},
        {"2A 02 00", FlapParse::NeedMore},
        {"2A 02 00 01 00 04 00 00", FlapParse::NeedMore},      // two of four payload bytes
        {"2B", FlapParse::Malformed},                          // not the marker
        {"00 02 00 01 00 00", FlapParse::Malformed},
        {"2A 00", FlapParse::Malformed},                       // no channel 0
        {"2A 06 00 01 00 00", FlapParse::Malformed},           // nor 6
        {"2A 05 00 01 00 00", FlapParse::Frame},               // an empty keep-alive is whole
        {"2A 02 00 01 00 00", FlapParse::Frame},               // an empty DATA frame is a frame; its SNAC is not
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        Bytes bytes = Hex(c.bytes);
        FlapFrame frame;
        size_t consumed = 99;
        EXPECT_EQ(c.result, ParseFlap(bytes.data(), bytes.size(), frame, consumed));
        EXPECT_EQ(c.result == FlapParse::Frame ? bytes.size() : 0u, consumed);
    }
}

TEST(CodecMalformed, FlapReaderStaysBrokenAfterGarbage)
{
    FlapReader reader;
    FlapFrame frame;
    reader.Append(Hex("2A 05 00 01 00 00  FF"));
    EXPECT_EQ(FlapParse::Frame, reader.Next(frame));
    EXPECT_EQ(FlapParse::Malformed, reader.Next(frame));
    // Nothing after a bad header can be trusted to start a frame.
    reader.Append(Hex("2A 05 00 02 00 00"));
    EXPECT_EQ(FlapParse::Malformed, reader.Next(frame));
}

TEST(CodecMalformed, FlapReaderByteByByte)
{
    Bytes stream = Hex("2A 02 00 07 00 02 AB CD  2A 05 00 08 00 00  2A 04 00 09 00 00");
    FlapReader reader;
    std::vector<FlapFrame> frames;
    FlapFrame frame;
    for (uint8_t b : stream) {
        reader.Append(&b, 1);
        while (reader.Next(frame) == FlapParse::Frame)
            frames.push_back(frame);
    }
    ASSERT_EQ(3u, frames.size());
    EXPECT_EQ(Hex("AB CD"), frames[0].payload);
    EXPECT_EQ(flap::kKeepAlive, frames[1].channel);
    EXPECT_EQ(9, frames[2].sequence);
    EXPECT_EQ(0u, reader.Buffered());
}

TEST(CodecMalformed, DecodersRefuse)
{
    struct Case {
        const char* what;
        const char* bytes;
        Decoder decode;
    } cases[] = {
        {"SNAC shorter than its header", "00 17 00 06 00 00 00 00 00", DecodeSnacPayload},
        {"SNAC extra block past the end", "00 13 00 06 80 00 00 00 00 01 00 10 00 01", DecodeSnacPayload},
        {"signon without its version", "00 00 01", DecodeAs<SignonFrame>},
        {"signon TLV past the end", "00 00 00 01 00 06 01 00 AA", DecodeAs<SignonFrame>},
        {"TLV value past the end", "00 01 00 06 61 6C 69 63 65", DecodeAs<bucp::ChallengeRequest>},
        {"TLV header cut short", "00 01 00", DecodeAs<bucp::ChallengeRequest>},
        {"zero-length screen name", "00 01 00 00", DecodeAs<bucp::ChallengeRequest>},
        {"challenge without a name", "00 4B 00 00 00 5A 00 00", DecodeAs<bucp::ChallengeRequest>},
        {"key length past the end", "00 0A 31 32", DecodeAs<bucp::ChallengeResponse>},
        {"empty challenge reply", "", DecodeAs<bucp::ChallengeResponse>},
        {"login hash of 15 bytes", "00 01 00 01 61 00 25 00 0F 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
         DecodeAs<bucp::LoginRequest>},
        {"login without a hash", "00 01 00 01 61 00 4A 00 01 01", DecodeAs<bucp::LoginRequest>},
        {"login reply without a cookie", "00 05 00 01 41", DecodeAs<bucp::LoginResponse>},
        {"login reply with nothing", "", DecodeAs<bucp::LoginResponse>},
        {"odd food group list", "00 01 00", DecodeAs<oservice::HostOnline>},
        {"version pair cut short", "00 01 00 03 00 13", DecodeAs<oservice::ClientVersions>},
        {"client online entry cut short", "00 01 00 03", DecodeAs<oservice::ClientOnline>},
        {"rate class count past the end", "00 02 00 01 00 00 00 50", DecodeAs<oservice::RateParamsReply>},
        {"rate pairs past the end",
         "00 01 00 01 00 00 00 50 00 00 09 C4 00 00 07 D0 00 00 05 DC 00 00 03 20 00 00 17 70 00 00 17 70"
         "00 01 00 09 00 01 00 02",
         DecodeAs<oservice::RateParamsReply>},
        {"rate change of the wrong size", "00 02 00 01 00 00", DecodeAs<oservice::RateParamChange>},
        {"own info with no block", "", DecodeAs<oservice::UserInfoUpdate>},
        {"status of three bytes", "00 06 00 03 00 00 00", DecodeAs<oservice::SetUserInfoFields>},
        {"idle without its seconds", "00 00 01", DecodeAs<oservice::IdleNotification>},
        {"TLV count past the end", "03 62 6F 62 00 00 00 02 00 01 00 02 00 10", DecodeUserInfoBlock},
        {"hostile TLV count", "03 62 6F 62 00 00 FF FF 00 01 00 00", DecodeUserInfoBlock},
        {"name length past the end", "09 62 6F 62 00 00 00 00", DecodeUserInfoBlock},
        {"capabilities not whole UUIDs", "00 05 00 11 09 46 13 43 4C 7F 11 D1 82 22 44 45 53 54 00 00 00",
         DecodeAs<locate::SetInfo>},
        {"profile query with an empty name", "00 01 00", DecodeAs<locate::UserInfoQuery>},
        {"profile query name past the end", "00 00 00 01 05 62", DecodeAs<locate::UserInfoQuery2>},
        {"profile reply cut inside the block", "03 62 6F 62 00 00 00 01 00 01", DecodeAs<locate::UserInfoReply>},
        {"buddy name past the end", "03 62 6F", DecodeAs<buddy::AddBuddies>},
        {"zero-length buddy name", "03 62 6F 62 00", DecodeAs<buddy::AddBuddies>},
        {"arrival with an empty name", "00 00 00 00 00", DecodeAs<buddy::Arrived>},
        {"ICBM cookie cut short", "01 02 03", DecodeAs<icbm::ChannelMsgToHost>},
        {"ICBM with no recipient", "01 02 03 04 05 06 07 08 00 01 00", DecodeAs<icbm::ChannelMsgToHost>},
        {"ICBM TLV past the end", "01 02 03 04 05 06 07 08 00 01 03 62 6F 62 00 02 00 20 05 01",
         DecodeAs<icbm::ChannelMsgToHost>},
        {"ICBM sender block past the end", "01 02 03 04 05 06 07 08 00 01 05 61 6C 69 63 65 00 00 00 01",
         DecodeAs<icbm::ChannelMsgToClient>},
        {"IM without message data", "00 03 00 00", DecodeImTlvs},
        {"text fragment shorter than charset and language", "00 02 00 06 01 01 00 02 00 00", DecodeImTlvs},
        {"fragment past the end of the data", "00 02 00 05 05 01 00 05 01", DecodeImTlvs},
        {"typing event without the event", "00 00 00 00 00 00 00 00 00 01 03 62 6F 62 00",
         DecodeAs<icbm::ClientEvent>},
        {"typing event for nobody", "00 00 00 00 00 00 00 00 00 01 00 00 02", DecodeAs<icbm::ClientEvent>},
        {"ICBM parameters of 15 bytes", "00 00 00 00 00 0B 1F 40 03 E7 03 E7 00 00 00", DecodeAs<icbm::Params>},
        {"warning an empty name", "00 00 00", DecodeAs<icbm::EvilRequest>},
        {"feedbag count past the items", "00 00 01", DecodeAs<feedbag::Reply>},
        {"feedbag hostile count", "00 FF FF 00 00 00 00 00 00 00 01 00 00", DecodeAs<feedbag::Reply>},
        {"feedbag last-modified cut short", "00 00 00 00 00", DecodeAs<feedbag::Reply>},
        {"feedbag item attributes past the end", "00 01 41 00 01 00 02 00 00 00 08 01 31 00 01 41",
         DecodeAs<feedbag::InsertItems>},
        {"feedbag item name past the end", "00 09 41 42", DecodeAs<feedbag::UpdateItems>},
        {"feedbag edit with no items", "", DecodeAs<feedbag::DeleteItems>},
        {"feedbag status of odd size", "00 00 00", DecodeAs<feedbag::Status>},
        {"error without its code", "00", DecodeAs<SnacError>},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(c.decode(Hex(c.bytes)));
    }
}

// Every prefix of a valid body is cut inside some field, and must be refused,
// except where a prefix happens to end a complete message of its own.
TEST(CodecMalformed, EveryTruncationFails)
{
    struct Case {
        const char* what;
        const char* bytes;
        Decoder decode;
        std::set<size_t> validPrefixes;
    } cases[] = {
        {"ICBM parameters", "00 00 00 00 00 0B 1F 40 03 E7 03 E7 00 00 03 E8", DecodeAs<icbm::Params>, {}},
        {"typing event", "00 00 00 00 00 00 00 00 00 01 03 62 6F 62 00 02", DecodeAs<icbm::ClientEvent>, {}},
        {"profile query", "00 00 00 02 03 62 6F 62", DecodeAs<locate::UserInfoQuery2>, {}},
        {"challenge", "00 01 00 05 61 6C 69 63 65", DecodeAs<bucp::ChallengeRequest>, {}},
        {"feedbag group item", "00 07 47 65 6E 65 72 61 6C 1D CA 00 00 00 01 00 06 00 C8 00 02 1F 11",
         DecodeAs<feedbag::InsertItems>, {}},
        {"feedbag reply",
         "00 00 02  00 00 00 00 00 00 00 01 00 06 00 C8 00 02 00 01"
         "00 03 62 6F 62 00 01 00 05 00 00 00 00  65 00 00 00",
         DecodeAs<feedbag::Reply>, {32}},                  // the last part of a split reply has no time
        {"IM to host",
         "01 02 03 04 05 06 07 08 00 01 03 62 6F 62"
         "00 02 00 0F 05 01 00 01 01 01 01 00 06 00 00 00 00 68 69  00 03 00 00",
         DecodeAs<icbm::ChannelMsgToHost>, {14, 33}},      // TLV boundaries after the recipient
        {"IM to client",
         "01 02 03 04 05 06 07 08 00 01 05 61 6C 69 63 65 00 00 00 03"
         "00 01 00 02 00 10 00 06 00 04 00 00 00 00 00 03 00 04 65 00 00 00"
         "00 02 00 0F 05 01 00 01 01 01 01 00 06 00 00 00 00 68 69",
         DecodeAs<icbm::ChannelMsgToClient>, {42}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes full = Hex(c.bytes);
        ASSERT_TRUE(c.decode(full));
        for (size_t n = 0; n < full.size(); ++n) {
            SCOPED_TRACE(n);
            EXPECT_EQ(c.validPrefixes.count(n) == 1, c.decode(Bytes(full.begin(), full.begin() + n)));
        }
    }
}

TEST(CodecMalformed, ReaderFailureIsSticky)
{
    Bytes bytes = Hex("00 05 41 42");
    ByteReader r(bytes);
    EXPECT_EQ("", r.String16());         // says 5 bytes, has 2
    EXPECT_FALSE(r.Ok());
    EXPECT_EQ(0, r.U8());                // nothing more comes out, though bytes remain
    EXPECT_EQ(0u, r.Remaining());
    EXPECT_FALSE(r.Sub(1).Ok());

    ByteReader whole(bytes);
    ByteReader sub = whole.Sub(3);
    EXPECT_EQ(5, sub.U16());
    EXPECT_EQ(0x41, sub.U8());
    EXPECT_TRUE(sub.Done());
    sub.U8();
    EXPECT_FALSE(sub.Ok());
    EXPECT_TRUE(whole.Ok());             // the sub-reader's overrun stays its own
    EXPECT_EQ(0x42, whole.U8());
}

TEST(CodecMalformed, WriterNeverWritesALengthItCannotHold)
{
    ByteWriter w;
    w.String08(std::string(300, 'x'));
    EXPECT_FALSE(w.Ok());
    ASSERT_EQ(256u, w.Size());
    EXPECT_EQ(0xFF, w.Data()[0]);

    FlapFrame frame;
    frame.payload.resize(0x10000);
    Bytes out{1, 2, 3};
    EXPECT_FALSE(EncodeFlap(frame, out));
    EXPECT_EQ((Bytes{1, 2, 3}), out);
}

} // namespace
