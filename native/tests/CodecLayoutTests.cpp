// The codec against bytes written down by hand from the protocol reference
// (its worked examples and layout tables), not against our own encoder: a
// mistake made in both encoder and decoder would pass a round trip, not these.
#include "CodecTestSupport.h"

#include <gtest/gtest.h>

using namespace oscar;
using codectest::Hex;

namespace {

Bytes DataFrame(uint16_t sequence, const Snac& snac)
{
    FlapFrame frame;
    frame.channel = flap::kData;
    frame.sequence = sequence;
    frame.payload = EncodeSnac(snac);
    Bytes out;
    EXPECT_TRUE(EncodeFlap(frame, out));
    return out;
}

// Parses exactly one whole frame and its SNAC.
Snac ParseDataFrame(const Bytes& bytes, uint16_t expectedSequence)
{
    FlapFrame frame;
    size_t consumed = 0;
    EXPECT_EQ(FlapParse::Frame, ParseFlap(bytes.data(), bytes.size(), frame, consumed));
    EXPECT_EQ(bytes.size(), consumed);
    EXPECT_EQ(flap::kData, frame.channel);
    EXPECT_EQ(expectedSequence, frame.sequence);
    Snac snac;
    EXPECT_TRUE(DecodeSnac(frame.payload, snac));
    return snac;
}

const char kChallengeRequestFrame[] =
    "2A 02 12 34 00 13  00 17 00 06 00 00 00 00 00 01  00 01 00 05 61 6C 69 63 65";

TEST(CodecLayout, ChallengeRequestFrame)
{
    EXPECT_EQ(Hex(kChallengeRequestFrame), DataFrame(0x1234, MakeSnac(bucp::ChallengeRequest{"alice"}, 1)));

    Snac snac = ParseDataFrame(Hex(kChallengeRequestFrame), 0x1234);
    EXPECT_TRUE(snac.Is(bucp::kChallengeRequest));
    EXPECT_EQ(0u, snac.flags);
    EXPECT_EQ(1u, snac.requestId);
    bucp::ChallengeRequest request;
    ASSERT_TRUE(Decode(snac.body, request));
    EXPECT_EQ("alice", request.screenName);
}

TEST(CodecLayout, ChallengeResponseFrame)
{
    const char bytes[] = "2A 02 00 65 00 16  00 17 00 07 00 00 00 00 00 01  00 0A 31 32 33 34 35 36 37 38 39 30";
    EXPECT_EQ(Hex(bytes), DataFrame(101, MakeSnac(bucp::ChallengeResponse{"1234567890"}, 1)));

    bucp::ChallengeResponse response;
    ASSERT_TRUE(Decode(ParseDataFrame(Hex(bytes), 101).body, response));
    EXPECT_EQ("1234567890", response.key);
}

TEST(CodecLayout, ServerHelloAndCookieSignon)
{
    FlapFrame hello;
    hello.channel = flap::kSignon;
    hello.sequence = 100;
    hello.payload = Encode(SignonFrame{});
    Bytes out;
    ASSERT_TRUE(EncodeFlap(hello, out));
    EXPECT_EQ(Hex("2A 01 00 64 00 04 00 00 00 01"), out);

    // The reference gives the head of a signon with a 256-byte cookie.
    Bytes cookie(256);
    for (size_t i = 0; i < cookie.size(); ++i)
        cookie[i] = static_cast<uint8_t>(i * 7);
    SignonFrame signon;
    signon.tlvs.Add(signon::kTagCookie, cookie);
    FlapFrame frame;
    frame.channel = flap::kSignon;
    frame.sequence = 0x0042;
    frame.payload = Encode(signon);
    ASSERT_TRUE(EncodeFlap(frame, out));
    Bytes expected = Hex("2A 01 00 42 01 08 00 00 00 01 00 06 01 00");
    expected.insert(expected.end(), cookie.begin(), cookie.end());
    EXPECT_EQ(expected, out);

    SignonFrame read;
    ASSERT_TRUE(Decode(Bytes(expected.begin() + 6, expected.end()), read));
    EXPECT_EQ(1u, read.version);
    ASSERT_NE(nullptr, read.tlvs.Find(signon::kTagCookie));
    EXPECT_EQ(cookie, read.tlvs.Find(signon::kTagCookie)->value);
}

TEST(CodecLayout, LoginRequestTlvs)
{
    bucp::LoginRequest request;
    request.screenName = "alice";
    request.clientName = "Velmora, 1.0";
    request.passwordHash = bucp::StrongPasswordHash("1234567890", "welcome1");
    request.clientId = 0x0109;
    request.majorVersion = 1;
    request.buildNumber = 3000;
    request.distribution = 0xD2;
    request.multiConn = bucp::multiconn::kMultiple;
    const char body[] =
        "00 01 00 05 61 6C 69 63 65"                                       // screen name
        "00 03 00 0C 56 65 6C 6D 6F 72 61 2C 20 31 2E 30"                  // client name
        "00 25 00 10 B0 13 5E 68 72 D9 7D 72 05 C6 31 4A 4C DC CF 05"      // strong hash
        "00 16 00 02 01 09  00 17 00 02 00 01  00 18 00 02 00 00"          // id, major, minor
        "00 19 00 02 00 00  00 1A 00 02 0B B8"                             // point, build
        "00 14 00 04 00 00 00 D2"                                          // distribution
        "00 0F 00 02 65 6E  00 0E 00 02 75 73"                             // language, country
        "00 4A 00 01 01";                                                  // multi-connection
    EXPECT_EQ(Hex(body), Encode(request));

    bucp::LoginRequest read;
    ASSERT_TRUE(Decode(Hex(body), read));
    EXPECT_EQ("alice", read.screenName);
    EXPECT_EQ("Velmora, 1.0", read.clientName);
    EXPECT_EQ(request.passwordHash, read.passwordHash);
    EXPECT_EQ(0x0109, read.clientId);
    EXPECT_EQ(3000, read.buildNumber);
    EXPECT_EQ(0xD2u, read.distribution);
    EXPECT_EQ("en", read.language);
    EXPECT_EQ("us", read.country);
    EXPECT_EQ(bucp::multiconn::kMultiple, read.multiConn);
}

TEST(CodecLayout, LoginResponses)
{
    const char success[] =
        "00 01 00 05 61 6C 69 63 65"
        "00 05 00 0E 31 32 37 2E 30 2E 30 2E 31 3A 35 31 39 30"            // 127.0.0.1:5190
        "00 06 00 04 01 02 03 04"
        "00 8E 00 01 00";
    bucp::LoginResponse response;
    ASSERT_TRUE(Decode(Hex(success), response));
    EXPECT_TRUE(response.Succeeded());
    EXPECT_EQ("alice", response.screenName);
    EXPECT_EQ("127.0.0.1:5190", response.bosAddress);
    EXPECT_EQ(Hex("01 02 03 04"), response.cookie);
    EXPECT_EQ(Hex(success), Encode(response));

    struct Case {
        const char* bytes;
        uint16_t code;
    } failures[] = {
        {"00 01 00 05 61 6C 69 63 65 00 08 00 02 00 05", bucp::loginerror::kWrongPassword},
        {"00 08 00 02 00 01", bucp::loginerror::kInvalidNameOrPassword},      // unknown name: no TLV 1
        {"00 08 00 01 18", bucp::loginerror::kReservationRateLimit},         // sent one byte wide
    };
    for (const Case& c : failures) {
        SCOPED_TRACE(c.bytes);
        bucp::LoginResponse failed;
        ASSERT_TRUE(Decode(Hex(c.bytes), failed));
        EXPECT_FALSE(failed.Succeeded());
        EXPECT_EQ(c.code, failed.errorCode);
    }
    bucp::LoginResponse wrong;
    wrong.screenName = "alice";
    wrong.errorCode = bucp::loginerror::kWrongPassword;
    EXPECT_EQ(Hex(failures[0].bytes), Encode(wrong));
}

const char kSendImFrame[] =
    "2A 02 12 35 00 2F"
    "00 04 00 06 00 00 00 00 00 02"
    "01 02 03 04 05 06 07 08"
    "00 01"
    "03 62 6F 62"
    "00 02 00 0F"
    "05 01 00 01 01"
    "01 01 00 06 00 00 00 00 68 69"
    "00 03 00 00";

TEST(CodecLayout, SendImFrame)
{
    icbm::InstantMessage im = icbm::InstantMessage::FromUtf8("hi");
    im.requestHostAck = true;
    auto message = icbm::MakeImToHost(0x0102030405060708ull, "bob", im);
    EXPECT_EQ(Hex(kSendImFrame), DataFrame(0x1235, MakeSnac(message, 2)));

    Snac snac = ParseDataFrame(Hex(kSendImFrame), 0x1235);
    ASSERT_TRUE(snac.Is(icbm::kChannelMsgToHost));
    EXPECT_EQ(2u, snac.requestId);
    icbm::ChannelMsgToHost read;
    ASSERT_TRUE(Decode(snac.body, read));
    EXPECT_EQ(0x0102030405060708ull, read.cookie);
    EXPECT_EQ(icbm::channel::kIm, read.channel);
    EXPECT_EQ("bob", read.recipient);
    icbm::InstantMessage readIm;
    ASSERT_TRUE(icbm::ImFromTlvs(read.tlvs, readIm));
    EXPECT_EQ(Bytes{0x01}, readIm.features);
    ASSERT_EQ(1u, readIm.parts.size());
    EXPECT_EQ(icbm::charset::kAscii, readIm.parts[0].charset);
    EXPECT_EQ("hi", readIm.TextUtf8());
    EXPECT_TRUE(readIm.requestHostAck);
    EXPECT_FALSE(readIm.autoResponse);
}

const char kReceiveImFrame[] =
    "2A 02 00 66 00 47"
    "00 04 00 07 00 00 80 00 00 00"
    "01 02 03 04 05 06 07 08  00 01"
    "05 61 6C 69 63 65  00 00  00 03"
    "00 01 00 02 00 10"
    "00 06 00 04 00 00 00 00"
    "00 03 00 04 65 00 00 00"
    "00 02 00 0F 05 01 00 01 01 01 01 00 06 00 00 00 00 68 69";

TEST(CodecLayout, ReceiveImFrame)
{
    Snac snac = ParseDataFrame(Hex(kReceiveImFrame), 0x0066);
    ASSERT_TRUE(snac.Is(icbm::kChannelMsgToClient));
    EXPECT_EQ(kServerRequestId, snac.requestId);
    icbm::ChannelMsgToClient read;
    ASSERT_TRUE(Decode(snac.body, read));
    EXPECT_EQ(0x0102030405060708ull, read.cookie);
    EXPECT_EQ("alice", read.sender.screenName);
    EXPECT_EQ(0, read.sender.warningLevel);
    EXPECT_EQ(userinfo::kFlagFree, read.sender.Flags());
    EXPECT_FALSE(read.sender.IsAway());
    EXPECT_EQ(0u, read.sender.Status().value_or(99));
    EXPECT_EQ(0x65000000u, read.sender.SignonTime().value_or(0));
    icbm::InstantMessage im;
    ASSERT_TRUE(icbm::ImFromTlvs(read.tlvs, im));
    EXPECT_EQ("hi", im.TextUtf8());

    icbm::ChannelMsgToClient message;
    message.cookie = 0x0102030405060708ull;
    message.sender.screenName = "alice";
    message.sender.tlvs.AddU16(userinfo::kTagFlags, 0x0010).AddU32(userinfo::kTagStatus, 0);
    message.sender.tlvs.AddU32(userinfo::kTagSignonTime, 0x65000000);
    message.tlvs = icbm::ImToTlvs(icbm::InstantMessage::FromUtf8("hi"));
    EXPECT_EQ(Hex(kReceiveImFrame), DataFrame(0x0066, MakeSnac(message, kServerRequestId)));
}

TEST(CodecLayout, UserInfoBlocks)
{
    struct Case {
        const char* bytes;
        const char* name;
        uint16_t warning;
        uint32_t flags;
        uint16_t idle;
        size_t tlvCount;
    } cases[] = {
        // A departure as servers send it: normalised name, flags 0.
        {"07 62 6F 62 64 65 6D 6F 00 00 00 01 00 01 00 02 00 00", "bobdemo", 0, 0, 0, 1},
        // Away, 12.5 % warned, idle 3 minutes, upper flags from TLV 0x1F.
        {"03 42 6F 62 00 7D 00 03 00 01 00 02 00 30 00 04 00 02 00 03 00 1F 00 02 00 01", "Bob", 125,
         0x00010030, 3, 3},
        // No TLVs at all (system messages).
        {"0D 53 79 73 74 65 6D 20 4E 6F 74 69 63 65 00 00 00 00", "System Notice", 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        Bytes bytes = Hex(c.bytes);
        ByteReader r(bytes);
        UserInfo info = ReadUserInfo(r);
        ASSERT_TRUE(r.Done());
        EXPECT_EQ(c.name, info.screenName);
        EXPECT_EQ(c.warning, info.warningLevel);
        EXPECT_EQ(c.flags, info.Flags());
        EXPECT_EQ(c.idle, info.IdleMinutes());
        EXPECT_EQ(c.tlvCount, info.tlvs.Size());
        ByteWriter w;
        WriteUserInfo(w, info);
        EXPECT_EQ(Hex(c.bytes), w.Data());
    }
}

TEST(CodecLayout, CapabilitiesInPrintedOrder)
{
    Capability cap;
    ASSERT_TRUE(ParseCapability("09461343-4C7F-11D1-8222-444553540000", cap));
    Bytes expected = Hex("09 46 13 43 4C 7F 11 D1 82 22 44 45 53 54 00 00");
    EXPECT_EQ(expected, Bytes(cap.begin(), cap.end()));
    EXPECT_EQ("09461343-4C7F-11D1-8222-444553540000", FormatCapability(cap));

    Bytes block = Hex("03 62 6F 62 00 00 00 01 00 0D 00 10 09 46 13 43 4C 7F 11 D1 82 22 44 45 53 54 00 00");
    ByteReader r(block);
    UserInfo info = ReadUserInfo(r);
    ASSERT_TRUE(r.Done());
    ASSERT_EQ(1u, info.Capabilities().size());
    EXPECT_EQ(cap, info.Capabilities()[0]);
}

TEST(CodecLayout, FeedbagGroupItem)
{
    const char bytes[] = "00 07 47 65 6E 65 72 61 6C 1D CA 00 00 00 01 00 06 00 C8 00 02 1F 11";
    Bytes itemBytes = Hex(bytes);
    ByteReader r(itemBytes);
    feedbag::Item item = feedbag::ReadItem(r);
    ASSERT_TRUE(r.Done());
    EXPECT_EQ("General", item.name);
    EXPECT_EQ(0x1DCA, item.groupId);
    EXPECT_EQ(0, item.itemId);
    EXPECT_TRUE(item.IsGroup());
    EXPECT_EQ(std::vector<uint16_t>{0x1F11}, item.Order());

    ByteWriter w;
    feedbag::WriteItem(w, feedbag::Item::Group("General", 0x1DCA, {0x1F11}));
    EXPECT_EQ(Hex(bytes), w.Data());
}

TEST(CodecLayout, FeedbagReplyWithRootGroupAndBuddy)
{
    const char body[] =
        "00 00 03"                                                          // version, 3 items
        "00 00 00 00 00 00 00 01 00 06 00 C8 00 02 00 01"                   // root: groups {1}
        "00 07 42 75 64 64 69 65 73 00 01 00 00 00 01 00 06 00 C8 00 02 00 05"  // "Buddies": {5}
        "00 03 62 6F 62 00 01 00 05 00 00 00 07 01 31 00 03 42 6F 62"       // bob, alias "Bob"
        "65 00 00 00";                                                      // last modified
    feedbag::Reply reply;
    ASSERT_TRUE(Decode(Hex(body), reply));
    EXPECT_EQ(0x65000000u, reply.lastModified.value_or(0));
    feedbag::FeedbagList list{reply.items};
    ASSERT_NE(nullptr, list.Root());
    auto groups = list.Groups();
    ASSERT_EQ(1u, groups.size());
    EXPECT_EQ("Buddies", groups[0]->name);
    auto buddies = list.Buddies(1);
    ASSERT_EQ(1u, buddies.size());
    EXPECT_EQ("bob", buddies[0]->name);
    EXPECT_EQ("Bob", buddies[0]->Alias().value_or(""));

    feedbag::Reply built;
    built.items.push_back(feedbag::Item::Root({1}));
    built.items.push_back(feedbag::Item::Group("Buddies", 1, {5}));
    built.items.push_back(feedbag::Item::Buddy("bob", 1, 5));
    built.items.back().attributes.AddString(feedbag::attr::kAlias, "Bob");
    built.lastModified = 0x65000000;
    EXPECT_EQ(Hex(body), Encode(built));
}

TEST(CodecLayout, SnacWithExtraBlock)
{
    // A feedbag reply whose flags carry 0x8000: a sized block (TLV 1 = version 4) comes first.
    const char payload[] = "00 13 00 06 80 00 00 00 00 05  00 06 00 01 00 02 00 04  00 00 00 00 00 00 00";
    Snac snac;
    ASSERT_TRUE(DecodeSnac(Hex(payload), snac));
    EXPECT_TRUE(snac.Is(feedbag::kReply));
    EXPECT_EQ(snacflag::kExtraBlock, snac.flags);
    EXPECT_EQ(5u, snac.requestId);
    EXPECT_EQ(Hex("00 01 00 02 00 04"), snac.extra);
    feedbag::Reply reply;
    ASSERT_TRUE(Decode(snac.body, reply));
    EXPECT_TRUE(reply.items.empty());
    EXPECT_EQ(0u, reply.lastModified.value_or(99));
    EXPECT_EQ(Hex(payload), EncodeSnac(snac));
}

TEST(CodecLayout, RateParamsBothForms)
{
    const char head[] =
        "00 01  00 01 00 00 00 50 00 00 09 C4 00 00 07 D0 00 00 05 DC 00 00 03 20 00 00 17 70 00 00 17 70";
    const char tail[] = "00 01 00 02 00 01 00 02 00 04 00 06";
    struct Case {
        std::string bytes;
        bool extended;
    } cases[] = {
        {std::string(head) + tail, false},
        {std::string(head) + "65 00 00 00 01" + tail, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extended);
        oservice::RateParamsReply reply;
        ASSERT_TRUE(Decode(Hex(c.bytes), reply));
        EXPECT_EQ(c.extended, reply.extended);
        ASSERT_EQ(1u, reply.classes.size());
        const oservice::RateClass& rc = reply.classes[0];
        EXPECT_EQ(1, rc.id);
        EXPECT_EQ(80u, rc.windowSize);
        EXPECT_EQ(2500u, rc.clearLevel);
        EXPECT_EQ(2000u, rc.alertLevel);
        EXPECT_EQ(1500u, rc.limitLevel);
        EXPECT_EQ(800u, rc.disconnectLevel);
        EXPECT_EQ(6000u, rc.currentLevel);
        EXPECT_EQ(6000u, rc.maxLevel);
        EXPECT_EQ(c.extended ? 0x65000000u : 0u, rc.lastTime);
        EXPECT_EQ(c.extended ? 1 : 0, rc.droppingSnacs);
        ASSERT_EQ(1u, reply.groups.size());
        ASSERT_EQ(2u, reply.groups[0].members.size());
        EXPECT_TRUE(reply.groups[0].members[1] == (SnacId{4, 6}));
        EXPECT_EQ(Hex(c.bytes), Encode(reply));
    }
}

TEST(CodecLayout, SmallBodies)
{
    // Bodies whose layout the reference spells out field by field.
    oservice::HostOnline online{{1, 2, 3, 4, 9, 0x13}};
    EXPECT_EQ(Hex("00 01 00 02 00 03 00 04 00 09 00 13"), Encode(online));

    oservice::ClientOnline ready{{{1, 3, 0x0110, 0x08E5}}};
    EXPECT_EQ(Hex("00 01 00 03 01 10 08 E5"), Encode(ready));

    icbm::ClientEvent typing;
    typing.screenName = "bob";
    typing.event = icbm::typing::kBegun;
    EXPECT_EQ(Hex("00 00 00 00 00 00 00 00 00 01 03 62 6F 62 00 02"), Encode(typing));

    icbm::ParamsReply params;
    params.channel = 100;
    params.flags = 3;
    params.maxMessageLength = 512;
    params.maxSenderWarning = 999;
    params.maxReceiverWarning = 999;
    EXPECT_EQ(Hex("00 64 00 00 00 03 02 00 03 E7 03 E7 00 00 00 00"), Encode(params));

    locate::UserInfoQuery2 query;
    query.flags = locate::query::kAwayMessage;
    query.screenName = "bob";
    EXPECT_EQ(Hex("00 00 00 02 03 62 6F 62"), Encode(query));

    locate::SetInfo away;
    away.awayMime = locate::kDefaultMime;
    away.awayMessage = "Lunch";
    EXPECT_EQ(Hex("00 03 00 1F 74 65 78 74 2F 61 6F 6C 72 74 66 3B 20 63 68 61 72 73 65 74 3D 22 75 73 2D 61 73 63 "
                  "69 69 22 00 04 00 05 4C 75 6E 63 68"),
              Encode(away));

    icbm::HostAck ack{0x0102030405060708ull, 1, "bob"};
    EXPECT_EQ(Hex("01 02 03 04 05 06 07 08 00 01 03 62 6F 62"), Encode(ack));

    SnacError error;
    ASSERT_TRUE(Decode(Hex("00 04 00 08 00 02 00 0F"), error));
    EXPECT_EQ(snacerror::kNotLoggedOn, error.code);
    EXPECT_EQ(0x000F, error.Subcode().value_or(0));
    EXPECT_EQ(Hex("00 04 00 01 00 00 00 00 00 09  00 04 00 08 00 02 00 0F"),
              EncodeSnac(MakeErrorSnac(foodgroup::kIcbm, 9, snacerror::kNotLoggedOn, 0x0F)));

    feedbag::Status status{{0, 2, 3}};
    EXPECT_EQ(Hex("00 00 00 02 00 03"), Encode(status));
}

TEST(CodecLayout, LoginHashVectors)
{
    // Vectors of the reference: key 1234567890, password welcome1.
    Md5Digest weak = bucp::WeakPasswordHash("1234567890", "welcome1");
    Md5Digest strong = bucp::StrongPasswordHash("1234567890", "welcome1");
    EXPECT_EQ(Hex("6667a0339b021d92842b0a69220813ca"), Bytes(weak.begin(), weak.end()));
    EXPECT_EQ(Hex("b0135e6872d97d7205c6314a4cdccf05"), Bytes(strong.begin(), strong.end()));
}

} // namespace
