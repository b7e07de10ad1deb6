// Every encoder and its decoder: a message goes through SNAC and FLAP and a
// stream cut in two, and comes back with every field as it was sent.
#include "CodecTestSupport.h"

#include <gtest/gtest.h>

using namespace oscar;
using codectest::Hex;
using codectest::ThroughWire;

namespace {

UserInfo SampleUser()
{
    UserInfo user;
    user.screenName = "Bob Demo";
    user.warningLevel = 125;
    user.tlvs.AddU32(userinfo::kTagSignonTime, 0x65000000)
        .AddU16(userinfo::kTagFlags, userinfo::kFlagFree | userinfo::kFlagAway)
        .AddU32(userinfo::kTagStatus, userinfo::kStatusAway)
        .AddU16(userinfo::kTagIdleMinutes, 12)
        .AddU16(0x7777, 1);              // unknown tags travel too
    return user;
}

void ExpectSameUser(const UserInfo& a, const UserInfo& b)
{
    EXPECT_EQ(a.screenName, b.screenName);
    EXPECT_EQ(a.warningLevel, b.warningLevel);
    ASSERT_EQ(a.tlvs.Size(), b.tlvs.Size());
    for (size_t i = 0; i < a.tlvs.Size(); ++i) {
        EXPECT_EQ(a.tlvs.items[i].tag, b.tlvs.items[i].tag);
        EXPECT_EQ(a.tlvs.items[i].value, b.tlvs.items[i].value);
    }
}

void ExpectSameItems(const std::vector<feedbag::Item>& a, const std::vector<feedbag::Item>& b)
{
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].name, b[i].name);
        EXPECT_EQ(a[i].groupId, b[i].groupId);
        EXPECT_EQ(a[i].itemId, b[i].itemId);
        EXPECT_EQ(a[i].classId, b[i].classId);
        ASSERT_EQ(a[i].attributes.Size(), b[i].attributes.Size());
        for (size_t j = 0; j < a[i].attributes.Size(); ++j)
            EXPECT_EQ(a[i].attributes.items[j].value, b[i].attributes.items[j].value);
    }
}

TEST(CodecRoundTrip, Bucp)
{
    EXPECT_EQ("Alice Demo", ThroughWire(bucp::ChallengeRequest{"Alice Demo"}).screenName);
    EXPECT_EQ(std::string("\x00\xFFkey", 5), ThroughWire(bucp::ChallengeResponse{std::string("\x00\xFFkey", 5)}).key);

    bucp::LoginRequest login;
    login.screenName = "Alice Demo";
    login.passwordHash = bucp::StrongPasswordHash("key", "secret");
    login.clientName = "Velmora, 0.1";
    login.clientId = 1;
    login.majorVersion = 2;
    login.minorVersion = 3;
    login.pointVersion = 4;
    login.buildNumber = 5;
    login.distribution = 6;
    login.language = "de";
    login.country = "ch";
    login.multiConn = bucp::multiconn::kSingle;
    bucp::LoginRequest l = ThroughWire(login);
    EXPECT_EQ(login.screenName, l.screenName);
    EXPECT_EQ(login.passwordHash, l.passwordHash);
    EXPECT_EQ(login.clientName, l.clientName);
    EXPECT_EQ(1, l.clientId);
    EXPECT_EQ(2, l.majorVersion);
    EXPECT_EQ(3, l.minorVersion);
    EXPECT_EQ(4, l.pointVersion);
    EXPECT_EQ(5, l.buildNumber);
    EXPECT_EQ(6u, l.distribution);
    EXPECT_EQ("de", l.language);
    EXPECT_EQ("ch", l.country);
    EXPECT_EQ(bucp::multiconn::kSingle, l.multiConn);

    bucp::LoginResponse ok;
    ok.screenName = "Alice Demo";
    ok.bosAddress = "bos.example:5191";
    ok.cookie = Bytes(256, 0xC0);
    bucp::LoginResponse o = ThroughWire(ok);
    EXPECT_TRUE(o.Succeeded());
    EXPECT_EQ(ok.screenName, o.screenName);
    EXPECT_EQ(ok.bosAddress, o.bosAddress);
    EXPECT_EQ(ok.cookie, o.cookie);

    bucp::LoginResponse failed;
    failed.screenName = "alice";
    failed.errorCode = bucp::loginerror::kSuspendedAccount;
    failed.errorUrl = "http://example/why";
    bucp::LoginResponse f = ThroughWire(failed);
    EXPECT_FALSE(f.Succeeded());
    EXPECT_EQ(bucp::loginerror::kSuspendedAccount, f.errorCode);
    EXPECT_EQ(failed.errorUrl, f.errorUrl);
}

TEST(CodecRoundTrip, Oservice)
{
    EXPECT_EQ((std::vector<uint16_t>{1, 0x13, 0xFFFF}), ThroughWire(oservice::HostOnline{{1, 0x13, 0xFFFF}}).foodGroups);

    oservice::ClientVersions versions;
    versions.versions = {{1, 4}, {0x13, 5}};
    oservice::ClientVersions v = ThroughWire(versions);
    ASSERT_EQ(2u, v.versions.size());
    EXPECT_EQ(0x13, v.versions[1].foodGroup);
    EXPECT_EQ(5, v.versions[1].version);
    oservice::HostVersions host;
    host.versions = versions.versions;
    EXPECT_EQ(2u, ThroughWire(host).versions.size());

    oservice::Motd motd;
    motd.tlvs.AddString(0x000B, "Hello");
    oservice::Motd m = ThroughWire(motd);
    EXPECT_EQ(4, m.type);
    EXPECT_EQ("Hello", m.tlvs.String(0x000B).value_or(""));

    for (bool extended : {true, false}) {
        SCOPED_TRACE(extended);
        oservice::RateParamsReply rates;
        rates.extended = extended;
        for (uint16_t id = 1; id <= 3; ++id) {
            oservice::RateClass c;
            c.id = id;
            c.windowSize = 10u * id;
            c.clearLevel = 2000;
            c.alertLevel = 1900;
            c.limitLevel = 1800;
            c.disconnectLevel = 900;
            c.currentLevel = 5000;
            c.maxLevel = 6000;
            c.lastTime = extended ? 1234 : 0;
            c.droppingSnacs = extended ? 1 : 0;
            rates.classes.push_back(c);
        }
        rates.groups = {{1, {{1, 2}, {1, 3}}}, {2, {}}, {3, {{4, 6}}}};
        oservice::RateParamsReply r = ThroughWire(rates);
        EXPECT_EQ(extended, r.extended);
        ASSERT_EQ(3u, r.classes.size());
        EXPECT_EQ(30u, r.classes[2].windowSize);
        EXPECT_EQ(extended ? 1234u : 0u, r.classes[0].lastTime);
        ASSERT_EQ(3u, r.groups.size());
        EXPECT_EQ(2u, r.groups[0].members.size());
        EXPECT_TRUE(r.groups[0].members[1] == (SnacId{1, 3}));
        EXPECT_TRUE(r.groups[1].members.empty());
        EXPECT_TRUE(r.groups[2].members[0] == (SnacId{4, 6}));
    }

    EXPECT_EQ((std::vector<uint16_t>{1, 2, 3, 4, 5}), ThroughWire(oservice::RateParamsSubscribe{{1, 2, 3, 4, 5}}).classIds);

    oservice::RateParamChange change;
    change.code = oservice::ratecode::kLimited;
    change.extended = false;
    change.rateClass.id = 3;
    change.rateClass.currentLevel = 3999;
    oservice::RateParamChange c = ThroughWire(change);
    EXPECT_EQ(oservice::ratecode::kLimited, c.code);
    EXPECT_FALSE(c.extended);
    EXPECT_EQ(3999u, c.rateClass.currentLevel);

    oservice::ClientOnline ready{{{1, 4, 0x0110, 0x1234}, {0x13, 4, 0x0110, 0x1234}}};
    oservice::ClientOnline r = ThroughWire(ready);
    ASSERT_EQ(2u, r.entries.size());
    EXPECT_EQ(0x1234, r.entries[1].toolVersion);

    oservice::UserInfoUpdate self;
    self.users = {SampleUser(), SampleUser()};
    self.users[1].screenName = "Bob Demo 2";
    oservice::UserInfoUpdate s = ThroughWire(self);
    ASSERT_EQ(2u, s.users.size());
    ExpectSameUser(self.users[0], s.users[0]);
    ExpectSameUser(self.users[1], s.users[1]);

    oservice::EvilNotification anonymous;
    anonymous.newLevel = 30;
    EXPECT_FALSE(ThroughWire(anonymous).warner.has_value());
    oservice::EvilNotification named;
    named.newLevel = 100;
    named.warner = SampleUser();
    oservice::EvilNotification n = ThroughWire(named);
    EXPECT_EQ(100, n.newLevel);
    ASSERT_TRUE(n.warner.has_value());
    ExpectSameUser(*named.warner, *n.warner);

    EXPECT_EQ(600u, ThroughWire(oservice::IdleNotification{600}).idleSeconds);

    oservice::SetUserInfoFields fields;
    fields.status = userinfo::kStatusInvisible;
    fields.other.AddU16(0x0099, 7);
    oservice::SetUserInfoFields f = ThroughWire(fields);
    EXPECT_EQ(userinfo::kStatusInvisible, f.status.value_or(0));
    EXPECT_EQ(7, f.other.U16(0x0099).value_or(0));
    EXPECT_FALSE(ThroughWire(oservice::SetUserInfoFields{}).status.has_value());

    oservice::ServiceRequest request;
    request.foodGroup = foodgroup::kChatNav;
    request.tlvs.AddEmpty(0x008C);
    oservice::ServiceRequest q = ThroughWire(request);
    EXPECT_EQ(foodgroup::kChatNav, q.foodGroup);
    EXPECT_TRUE(q.tlvs.Has(0x008C));
    oservice::ServiceResponse response{foodgroup::kChatNav, "chat.example:5190", Bytes{1, 2, 3}};
    oservice::ServiceResponse p = ThroughWire(response);
    EXPECT_EQ(foodgroup::kChatNav, p.foodGroup);
    EXPECT_EQ(response.address, p.address);
    EXPECT_EQ(response.cookie, p.cookie);
}

TEST(CodecRoundTrip, Locate)
{
    locate::RightsReply rights{1024, 2, 3, 4, 5};
    locate::RightsReply r = ThroughWire(rights);
    EXPECT_EQ(1024, r.maxProfileLength);
    EXPECT_EQ(5, r.maxShortCapabilities);

    Capability chat;
    ASSERT_TRUE(ParseCapability("748F2420-6287-11D1-8222-444553540000", chat));
    locate::SetInfo info;
    info.profileMime = "text/html";
    info.profile = "<b>me</b>";
    info.awayMime = locate::kDefaultMime;
    info.awayMessage = "";               // clearing away is sent as an empty text
    info.capabilities = std::vector<Capability>{chat};
    locate::SetInfo i = ThroughWire(info);
    EXPECT_EQ(info.profileMime, i.profileMime);
    EXPECT_EQ(info.profile, i.profile);
    EXPECT_EQ(info.awayMime, i.awayMime);
    ASSERT_TRUE(i.awayMessage.has_value());
    EXPECT_EQ("", *i.awayMessage);
    ASSERT_TRUE(i.capabilities.has_value());
    EXPECT_EQ(chat, i.capabilities->at(0));
    locate::SetInfo onlyProfile;
    onlyProfile.profile = "x";
    locate::SetInfo o = ThroughWire(onlyProfile);
    EXPECT_FALSE(o.awayMessage.has_value());
    EXPECT_FALSE(o.capabilities.has_value());

    locate::UserInfoQuery query{locate::query::kProfile | locate::query::kAwayMessage, "Bob Demo"};
    locate::UserInfoQuery q = ThroughWire(query);
    EXPECT_EQ(3, q.type);
    EXPECT_EQ("Bob Demo", q.screenName);
    locate::UserInfoQuery2 query2{locate::query::kCapabilities, "bob"};
    EXPECT_EQ(locate::query::kCapabilities, ThroughWire(query2).flags);

    locate::UserInfoReply reply;
    reply.user = SampleUser();
    reply.profileMime = "text/html";
    reply.profile = "profile";
    reply.awayMime = locate::kDefaultMime;
    reply.awayMessage = "gone";
    locate::UserInfoReply p = ThroughWire(reply);
    ExpectSameUser(reply.user, p.user);
    EXPECT_EQ("profile", p.profile.value_or(""));
    EXPECT_EQ("gone", p.awayMessage.value_or(""));
    EXPECT_FALSE(p.capabilities.has_value());
}

TEST(CodecRoundTrip, Buddy)
{
    buddy::RightsReply rights{100, 200, 300, 400};
    buddy::RightsReply r = ThroughWire(rights);
    EXPECT_EQ(100, r.maxBuddies);
    EXPECT_EQ(400, r.maxTemporaryBuddies);

    ExpectSameUser(SampleUser(), ThroughWire(buddy::Arrived{SampleUser()}).user);
    ExpectSameUser(SampleUser(), ThroughWire(buddy::Departed{SampleUser()}).user);

    buddy::AddBuddies add;
    add.names = {"Bob Demo", "carol"};
    EXPECT_EQ(add.names, ThroughWire(add).names);
    buddy::DeleteBuddies del;
    del.names = {"x"};
    EXPECT_EQ(del.names, ThroughWire(del).names);
}

TEST(CodecRoundTrip, IcbmMessages)
{
    icbm::InstantMessage im;
    im.features = {0x01, 0x01, 0x02};
    im.parts.push_back(icbm::ImText::FromUtf8("<b>Gr\xC3\xBC\xC3\x9F" "e</b> "));
    im.parts.push_back(icbm::ImText::FromUtf8("and more"));
    im.autoResponse = true;
    im.requestHostAck = true;
    im.storeOffline = true;
    im.wantsTypingEvents = true;
    im.sendTime = 0x65000001;
    icbm::ChannelMsgToHost sent = ThroughWire(icbm::MakeImToHost(0xFEDCBA9876543210ull, "Bob Demo", im));
    EXPECT_EQ(0xFEDCBA9876543210ull, sent.cookie);
    EXPECT_EQ("Bob Demo", sent.recipient);
    icbm::InstantMessage back;
    ASSERT_TRUE(icbm::ImFromTlvs(sent.tlvs, back));
    EXPECT_EQ(im.features, back.features);
    ASSERT_EQ(2u, back.parts.size());
    EXPECT_EQ(icbm::charset::kUcs2, back.parts[0].charset);
    EXPECT_EQ(icbm::charset::kAscii, back.parts[1].charset);
    EXPECT_EQ("<b>Gr\xC3\xBC\xC3\x9F" "e</b> and more", back.TextUtf8());
    EXPECT_TRUE(back.autoResponse);
    EXPECT_TRUE(back.requestHostAck);
    EXPECT_TRUE(back.storeOffline);
    EXPECT_TRUE(back.wantsTypingEvents);
    EXPECT_EQ(0x65000001u, back.sendTime.value_or(0));

    icbm::ChannelMsgToClient received;
    received.cookie = 42;
    received.channel = icbm::channel::kRendezvous;
    received.sender = SampleUser();
    received.tlvs.Add(icbm::tag::kRendezvousData, Bytes{0, 0, 1, 2});
    icbm::ChannelMsgToClient r = ThroughWire(received);
    EXPECT_EQ(42u, r.cookie);
    EXPECT_EQ(icbm::channel::kRendezvous, r.channel);
    ExpectSameUser(received.sender, r.sender);
    EXPECT_EQ((Bytes{0, 0, 1, 2}), r.tlvs.Find(icbm::tag::kRendezvousData)->value);
}

TEST(CodecRoundTrip, IcbmSmallMessages)
{
    icbm::AddParams params;
    params.channel = 0;
    params.flags = icbm::paramflag::kMessagesAllowed | icbm::paramflag::kTypingNotifications;
    params.maxMessageLength = 8000;
    params.maxSenderWarning = 999;
    params.maxReceiverWarning = 998;
    params.minInterval = 1000;
    icbm::AddParams p = ThroughWire(params);
    EXPECT_EQ(params.flags, p.flags);
    EXPECT_EQ(8000, p.maxMessageLength);
    EXPECT_EQ(998, p.maxReceiverWarning);
    EXPECT_EQ(1000u, p.minInterval);
    icbm::ParamsReply reply;
    reply.channel = 100;
    EXPECT_EQ(100, ThroughWire(reply).channel);

    icbm::HostAck ack{9, 1, "Bob Demo"};
    icbm::HostAck a = ThroughWire(ack);
    EXPECT_EQ(9u, a.cookie);
    EXPECT_EQ("Bob Demo", a.screenName);

    icbm::ClientError error{9, 2, "bob", 3, Bytes{0, 1}};
    icbm::ClientError e = ThroughWire(error);
    EXPECT_EQ(2, e.channel);
    EXPECT_EQ(3, e.reason);
    EXPECT_EQ((Bytes{0, 1}), e.data);

    for (uint16_t event : {icbm::typing::kFinished, icbm::typing::kPaused, icbm::typing::kBegun}) {
        icbm::ClientEvent typing;
        typing.screenName = "Alice Demo";
        typing.event = event;
        icbm::ClientEvent t = ThroughWire(typing);
        EXPECT_EQ("Alice Demo", t.screenName);
        EXPECT_EQ(event, t.event);
    }

    icbm::EvilRequest warn{1, "bob"};
    EXPECT_EQ(1, ThroughWire(warn).anonymous);
    icbm::EvilReply warned{30, 130};
    EXPECT_EQ(130, ThroughWire(warned).newLevel);
}

TEST(CodecRoundTrip, ImTextCharsets)
{
    struct Case {
        const char* utf8;
        uint16_t charset;
        const char* wire;
    } cases[] = {
        {"hi", icbm::charset::kAscii, "68 69"},
        {"", icbm::charset::kAscii, ""},
        {"\xC3\xA9t\xC3\xA9", icbm::charset::kUcs2, "00 E9 00 74 00 E9"},
        {"\xE2\x82\xAC", icbm::charset::kUcs2, "20 AC"},
        {"\xF0\x9F\x98\x80", icbm::charset::kUcs2, "D8 3D DE 00"},        // outside the BMP: a surrogate pair
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        icbm::ImText text = icbm::ImText::FromUtf8(c.utf8);
        EXPECT_EQ(c.charset, text.charset);
        EXPECT_EQ(Hex(c.wire), text.text);
        EXPECT_EQ(c.utf8, text.ToUtf8());
    }

    struct Incoming {
        uint16_t charset;
        const char* wire;
        const char* utf8;
    } incoming[] = {
        {icbm::charset::kLatin1, "63 61 66 E9", "caf\xC3\xA9"},
        {icbm::charset::kAscii, "63 61 66 C3 A9", "caf\xC3\xA9"},          // UTF-8 under the ASCII label
        {icbm::charset::kAscii, "63 61 66 E9", "caf\xC3\xA9"},             // anything else under it: Latin-1
        {icbm::charset::kUcs2, "D8 3D 00 41", "\xEF\xBF\xBD" "A"},         // a lone surrogate
        {icbm::charset::kUcs2, "00 41 00", "A"},                           // an odd byte left over
    };
    for (const Incoming& c : incoming) {
        SCOPED_TRACE(c.wire);
        icbm::ImText text;
        text.charset = c.charset;
        text.text = Hex(c.wire);
        EXPECT_EQ(c.utf8, text.ToUtf8());
    }
    // Malformed UTF-8 from our own side still goes out as something.
    EXPECT_EQ(Hex("00 41 FF FD"), icbm::ImText::FromUtf8("A\xC3").text);
}

TEST(CodecRoundTrip, Feedbag)
{
    feedbag::RightsReply rights;
    rights.tlvs.Add(0x0004, Hex("00 3D 00 3D 00 64"));
    EXPECT_EQ((std::vector<uint16_t>{61, 61, 100}), ThroughWire(rights).MaxItemsPerClass());

    feedbag::QueryIfModified query{0x65000000, 12};
    feedbag::QueryIfModified q = ThroughWire(query);
    EXPECT_EQ(0x65000000u, q.lastModified);
    EXPECT_EQ(12, q.count);

    std::vector<feedbag::Item> items = {
        feedbag::Item::Root({2, 1}),
        feedbag::Item::Group("Friends", 1, {10, 11}),
        feedbag::Item::Group("Empty", 2, {}),
        feedbag::Item::Buddy("Bob Demo", 1, 10),
        feedbag::Item::Buddy("carol", 1, 11),
    };
    items[3].attributes.AddString(feedbag::attr::kAlias, "Bobby").AddString(feedbag::attr::kNote, "note");
    feedbag::Item prefs;
    prefs.classId = feedbag::itemclass::kBuddyPrefs;
    prefs.itemId = 20;
    prefs.attributes.AddU32(feedbag::attr::kBuddyPrefs, feedbag::buddypref::kDiscloseTyping);
    items.push_back(prefs);

    feedbag::Reply reply;
    reply.items = items;
    reply.lastModified = 77;
    feedbag::Reply r = ThroughWire(reply);
    ExpectSameItems(items, r.items);
    EXPECT_EQ(77u, r.lastModified.value_or(0));
    feedbag::Reply part;
    part.items = items;
    EXPECT_FALSE(ThroughWire(part).lastModified.has_value());

    feedbag::InsertItems insert;
    insert.items = items;
    ExpectSameItems(items, ThroughWire(insert).items);
    feedbag::UpdateItems update;
    update.items = {items[1]};
    ExpectSameItems(update.items, ThroughWire(update).items);
    feedbag::DeleteItems del;
    del.items = {items[4]};
    ExpectSameItems(del.items, ThroughWire(del).items);

    EXPECT_EQ((std::vector<uint16_t>{0, 2, 3, 0x0A}), ThroughWire(feedbag::Status{{0, 2, 3, 0x0A}}).codes);
    EXPECT_EQ(0x00010000u, ThroughWire(feedbag::StartCluster{0x00010000u}).flags.value_or(0));
    EXPECT_FALSE(ThroughWire(feedbag::StartCluster{}).flags.has_value());
}

TEST(CodecRoundTrip, ErrorsAndSignon)
{
    SnacError error;
    error.code = snacerror::kNotLoggedOn;
    error.tlvs.AddU16(snacerror::kTagSubcode, 0x000E);
    SnacError e;
    ASSERT_TRUE(Decode(Encode(error), e));
    EXPECT_EQ(snacerror::kNotLoggedOn, e.code);
    EXPECT_EQ(0x000E, e.Subcode().value_or(0));

    SignonFrame signon;
    signon.tlvs.Add(signon::kTagCookie, Bytes(256, 0xAB)).AddU8(signon::kTagMultiConn, 1);
    SignonFrame s;
    ASSERT_TRUE(Decode(Encode(signon), s));
    EXPECT_EQ(1u, s.version);
    EXPECT_EQ(Bytes(256, 0xAB), s.tlvs.Find(signon::kTagCookie)->value);
    EXPECT_EQ(1, s.tlvs.U8(signon::kTagMultiConn).value_or(0));
}

TEST(CodecRoundTrip, TlvBlocks)
{
    TlvList list;
    list.AddU8(1, 0xAB).AddU16(2, 0xABCD).AddU32(3, 0x01020304).AddString(4, "text").AddEmpty(5).AddU16(2, 0x1111);
    using Writer = void (*)(ByteWriter&, const TlvList&);
    using Reader = TlvList (*)(ByteReader&);
    struct Case {
        const char* what;
        Writer write;
        Reader read;
        const char* head;                // what comes before the TLVs
    } cases[] = {
        {"rest", WriteTlvRest, ReadTlvRest, ""},
        {"counted", WriteTlvCounted, ReadTlvCounted, "00 06"},
        {"sized", WriteTlvSized, ReadTlvSized, "00 25"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ByteWriter w;
        c.write(w, list);
        Bytes expected = Hex(std::string(c.head) +
                             "00 01 00 01 AB 00 02 00 02 AB CD 00 03 00 04 01 02 03 04 00 04 00 04 74 65 78 74"
                             "00 05 00 00 00 02 00 02 11 11");
        EXPECT_EQ(expected, w.Data());
        ByteReader r(w.Data());
        TlvList read = c.read(r);
        ASSERT_TRUE(r.Done());
        EXPECT_EQ(6u, read.Size());
        EXPECT_EQ(0xAB, read.U8(1).value_or(0));
        EXPECT_EQ(0xABCD, read.U16(2).value_or(0));          // the first of a repeated tag
        EXPECT_EQ(0x01020304u, read.U32(3).value_or(0));
        EXPECT_EQ("text", read.String(4).value_or(""));
        EXPECT_TRUE(read.Has(5));
        EXPECT_FALSE(read.U16(3).has_value());               // wrong width reads as absent
    }
    list.Set(2, U16Bytes(7));
    EXPECT_EQ(5u, list.Size());
    EXPECT_EQ(7, list.U16(2).value_or(0));
}

TEST(CodecRoundTrip, SplitHostPort)
{
    struct Case {
        const char* address;
        bool ok;
        const char* host;
        uint16_t port;
    } cases[] = {
        {"127.0.0.1:5190", true, "127.0.0.1", 5190},
        {"bos.example", true, "bos.example", 5190},
        {"bos.example:1", true, "bos.example", 1},
        {"bos.example:65536", false, "", 0},
        {"bos.example:0", false, "", 0},
        {"bos.example:", false, "", 0},
        {":5190", false, "", 0},
        {"", false, "", 0},
        {"host:12x", false, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        std::string host;
        uint16_t port = 0;
        ASSERT_EQ(c.ok, bucp::SplitHostPort(c.address, host, port));
        if (c.ok) {
            EXPECT_EQ(c.host, host);
            EXPECT_EQ(c.port, port);
        }
    }
}

TEST(CodecRoundTrip, ScreenNames)
{
    EXPECT_EQ("alicedemo", NormalizeScreenName("Alice Demo"));
    EXPECT_TRUE(SameScreenName("Alice Demo", "ALICEDEMO"));
    EXPECT_TRUE(SameScreenName("a l i c e", "alice"));
    EXPECT_FALSE(SameScreenName("alice1", "alice"));
    struct Case {
        const char* name;
        bool valid;
    } cases[] = {
        {"Alice Demo", true}, {"abc", true},     {"ab", false},  {"a b", false},
        {"1abc", false},      {"abc ", false},   {"ab_c", false}, {"abcdefghijklmnop", true},
        {"abcdefghijklmnopq", false},            {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.valid, IsValidAimScreenName(c.name));
    }
}

TEST(CodecRoundTrip, FeedbagListOrderAndIds)
{
    feedbag::FeedbagList list;
    list.items = {
        feedbag::Item::Root({3, 1}),
        feedbag::Item::Group("One", 1, {5, 4}),
        feedbag::Item::Group("Three", 3, {}),
        feedbag::Item::Group("Unlisted", 2, {}),
        feedbag::Item::Buddy("b4", 1, 4),
        feedbag::Item::Buddy("b5", 1, 5),
        feedbag::Item::Buddy("b6", 1, 6),          // not in the group's order
    };
    auto groups = list.Groups();
    ASSERT_EQ(3u, groups.size());
    EXPECT_EQ("Three", groups[0]->name);
    EXPECT_EQ("One", groups[1]->name);
    EXPECT_EQ("Unlisted", groups[2]->name);         // kept, after the ordered ones
    auto buddies = list.Buddies(1);
    ASSERT_EQ(3u, buddies.size());
    EXPECT_EQ("b5", buddies[0]->name);
    EXPECT_EQ("b4", buddies[1]->name);
    EXPECT_EQ("b6", buddies[2]->name);
    EXPECT_EQ(4, list.NewGroupId());
    EXPECT_EQ(1, list.NewItemId());                 // item IDs 0, 4, 5, 6 are taken
    EXPECT_NE(nullptr, list.FindBuddy("B 4"));
    EXPECT_FALSE(list.Insert(feedbag::Item::Buddy("again", 1, 4)));
    EXPECT_FALSE(list.Update(feedbag::Item::Buddy("nobody", 1, 99)));
    EXPECT_TRUE(list.Remove(1, 6));
    EXPECT_FALSE(list.Remove(1, 6));
}

} // namespace
