// The local server over real loopback sockets, driven by the test client:
// login outcomes, presence between two users, IMs and typing both ways,
// away messages, buddy-list edits, and a buddy scripted through the
// in-process API and through the text control channel.
#include "CodecTestSupport.h"
#include "OscarServer.h"
#include "TestClient.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>

using namespace oscar;
using namespace oscar::server;

namespace {

const char kAccounts[] =
    "account Alice Demo\npassword alicepw\ngroup Buddies\nbuddy Bob Demo\nbuddy Scripty\ngroup Work\nbuddy Carol\n"
    "account Bob Demo\npassword bobpw\ngroup Buddies\nbuddy Alice Demo\nbuddy Scripty\n"
    "account Carol\npassword carolpw\ngroup Buddies\nbuddy Alice Demo\n"
    "account Scripty\npassword scriptpw\nprofile <b>I am a script</b>\ngroup Buddies\nbuddy Alice Demo\n"
    "account Dave\npassword davepw\n"
    "account Busy Bee\npassword busypw\nscript away Gone fishing\n"
    "account Echo\npassword echopw\nscript online\n";

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(ParseAccounts(kAccounts, accounts, &error)) << error;
    }

    void StartServer(OscarServer::Options options = {})
    {
        options.controlPort = 0;
        server = std::make_unique<OscarServer>(accounts, options);
        std::string error;
        ASSERT_TRUE(server->Start(&error)) << error;
    }

    std::unique_ptr<TestClient> SignOn(const std::string& name, const std::string& password)
    {
        TestClient login;
        bucp::LoginResponse response = login.Login(server->LoginPort(), name, password);
        EXPECT_TRUE(response.Succeeded()) << name << ": error " << response.errorCode;
        auto client = std::make_unique<TestClient>();
        EXPECT_TRUE(client->SignOnBos(response)) << name;
        return client;
    }

    std::unique_ptr<TestClient> Alice() { return SignOn("Alice Demo", "alicepw"); }
    std::unique_ptr<TestClient> Bob() { return SignOn("Bob Demo", "bobpw"); }

    static UserInfo ExpectArrival(TestClient& client, const std::string& name)
    {
        buddy::Arrived arrived;
        while (client.Expect(arrived))
            if (arrived.user.screenName == name)
                return arrived.user;
        ADD_FAILURE() << "no arrival of " << name;
        return {};
    }

    static void ExpectDeparture(TestClient& client, const std::string& normalizedName)
    {
        buddy::Departed departed;
        while (client.Expect(departed))
            if (departed.user.screenName == normalizedName)
                return;
        ADD_FAILURE() << "no departure of " << normalizedName;
    }

    static uint32_t SendIm(TestClient& from, const std::string& to, const std::string& text, bool requestAck = true,
                           bool autoResponse = false, uint64_t cookie = 0x1122334455667788ull)
    {
        icbm::InstantMessage im = icbm::InstantMessage::FromUtf8(text);
        im.requestHostAck = requestAck;
        im.autoResponse = autoResponse;
        return from.Send(icbm::MakeImToHost(cookie, to, im));
    }

    static bool ExpectHostAck(TestClient& client)
    {
        icbm::HostAck ack;
        return client.Expect(ack);
    }

    static icbm::InstantMessage ExpectIm(TestClient& client, icbm::ChannelMsgToClient* message = nullptr)
    {
        icbm::ChannelMsgToClient received;
        icbm::InstantMessage im;
        EXPECT_TRUE(client.Expect(received));
        EXPECT_TRUE(icbm::ImFromTlvs(received.tlvs, im));
        if (message)
            *message = received;
        return im;
    }

    std::vector<Account> accounts;
    std::unique_ptr<OscarServer> server;
};

TEST_F(ServerTest, LoginOutcomes)
{
    StartServer();
    struct Case {
        const char* name;
        const char* password;
        bool weakHash;
        uint16_t error;                  // 0: success
        const char* formatted;
    } cases[] = {
        {"Alice Demo", "alicepw", false, 0, "Alice Demo"},
        {"ALICEDEMO", "alicepw", false, 0, "Alice Demo"},       // names compare without case and spaces
        {"Alice Demo", "alicepw", true, 0, "Alice Demo"},       // older clients' hash
        {"Alice Demo", "wrong", false, bucp::loginerror::kWrongPassword, "Alice Demo"},
        {"Alice Demo", "ALICEPW", false, bucp::loginerror::kWrongPassword, "Alice Demo"},
        {"Nobody Here", "x", false, bucp::loginerror::kInvalidNameOrPassword, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "/" + c.password);
        TestClient client;
        bucp::LoginResponse response = client.Login(server->LoginPort(), c.name, c.password, c.weakHash);
        EXPECT_EQ(c.error, response.errorCode);
        EXPECT_EQ(c.error == 0, response.Succeeded());
        EXPECT_EQ(c.formatted, response.screenName);
        if (c.error == 0) {
            EXPECT_EQ("127.0.0.1:" + std::to_string(server->BosPort()), response.bosAddress);
            EXPECT_FALSE(response.cookie.empty());
        }
        // Either way the login connection ends, after an empty signoff frame.
        EXPECT_TRUE(client.WaitClosed());
        ASSERT_EQ(1u, client.signoffs.size());
        EXPECT_TRUE(client.signoffs[0].payload.empty());
    }
}

TEST_F(ServerTest, CookiesAreCheckedAndGoodOnce)
{
    StartServer();
    TestClient login;
    bucp::LoginResponse response = login.Login(server->LoginPort(), "Alice Demo", "alicepw");
    ASSERT_TRUE(response.Succeeded());

    bucp::LoginResponse forged = response;
    forged.cookie[0] ^= 0xFF;
    TestClient bad;
    EXPECT_FALSE(bad.SignOnBos(forged));
    EXPECT_TRUE(bad.WaitClosed());
    EXPECT_FALSE(bad.Holds(oservice::kHostOnline));

    TestClient first;
    EXPECT_TRUE(first.SignOnBos(response));
    TestClient again;
    EXPECT_FALSE(again.SignOnBos(response));
    EXPECT_TRUE(again.WaitClosed());
}

TEST_F(ServerTest, BuddiesSeeEachOtherArriveAndLeave)
{
    StartServer();
    auto alice = Alice();
    auto bob = Bob();

    UserInfo bobSeen = ExpectArrival(*alice, "Bob Demo");
    EXPECT_TRUE(bobSeen.Flags() & userinfo::kFlagFree);
    EXPECT_FALSE(bobSeen.IsAway());
    EXPECT_TRUE(bobSeen.SignonTime().has_value());
    UserInfo aliceSeen = ExpectArrival(*bob, "Alice Demo");
    EXPECT_FALSE(aliceSeen.IsAway());

    bob->Close();
    // Departures carry the normalised name.
    ExpectDeparture(*alice, "bobdemo");

    // Carol and Scripty are on Alice's list but not signed on: no arrival for them.
    ASSERT_TRUE(alice->Sync());
    buddy::Arrived arrived;
    while (alice->Expect(arrived, 0))
        EXPECT_EQ("Bob Demo", arrived.user.screenName);
}

TEST_F(ServerTest, InvisibleLooksDepartedAndBackArrives)
{
    StartServer();
    auto alice = Alice();
    auto bob = Bob();
    ExpectArrival(*alice, "Bob Demo");

    oservice::SetUserInfoFields invisible;
    invisible.status = userinfo::kStatusInvisible;
    bob->Send(invisible);
    ExpectDeparture(*alice, "bobdemo");

    oservice::SetUserInfoFields visible;
    visible.status = userinfo::kStatusAvailable;
    bob->Send(visible);
    ExpectArrival(*alice, "Bob Demo");
}

TEST_F(ServerTest, ImBothWaysWithTyping)
{
    StartServer();
    auto alice = Alice();
    auto bob = Bob();

    icbm::ClientEvent typing;
    typing.screenName = "bobdemo";
    typing.event = icbm::typing::kBegun;
    uint32_t typingId = alice->Send(typing);
    icbm::ClientEvent seen;
    oscar::Snac seenSnac;
    ASSERT_TRUE(bob->Expect(icbm::kClientEvent, seenSnac));
    ASSERT_TRUE(Decode(seenSnac.body, seen));
    EXPECT_EQ("Alice Demo", seen.screenName);            // the sender, as displayed
    EXPECT_EQ(icbm::typing::kBegun, seen.event);
    EXPECT_EQ(typingId, seenSnac.requestId);              // relayed with the sender's request ID

    uint32_t imId = SendIm(*alice, "Bob Demo", "<HTML><BODY>Hello Bob</BODY></HTML>");
    oscar::Snac ackSnac;
    ASSERT_TRUE(alice->Expect(icbm::kHostAck, ackSnac));
    EXPECT_EQ(imId, ackSnac.requestId);
    icbm::HostAck ack;
    ASSERT_TRUE(Decode(ackSnac.body, ack));
    EXPECT_EQ(0x1122334455667788ull, ack.cookie);
    icbm::ChannelMsgToClient received;
    icbm::InstantMessage im = ExpectIm(*bob, &received);
    EXPECT_EQ("<HTML><BODY>Hello Bob</BODY></HTML>", im.TextUtf8());
    EXPECT_EQ("Alice Demo", received.sender.screenName);
    EXPECT_EQ(0x1122334455667788ull, received.cookie);
    EXPECT_FALSE(received.tlvs.Has(icbm::tag::kRequestHostAck));   // meant for the server only
    EXPECT_TRUE(im.wantsTypingEvents);                             // Alice announced typing support
    EXPECT_FALSE(im.autoResponse);

    typing.screenName = "Alice Demo";
    typing.event = icbm::typing::kPaused;
    bob->Send(typing);
    ASSERT_TRUE(alice->Expect(seen));
    EXPECT_EQ("Bob Demo", seen.screenName);
    EXPECT_EQ(icbm::typing::kPaused, seen.event);

    SendIm(*bob, "alicedemo", "Back at you \xE2\x98\xBA", false, true, 7);
    im = ExpectIm(*alice, &received);
    EXPECT_EQ("Back at you \xE2\x98\xBA", im.TextUtf8());
    EXPECT_TRUE(im.autoResponse);
    EXPECT_EQ(7u, received.cookie);
    EXPECT_EQ("Bob Demo", received.sender.screenName);
    ASSERT_TRUE(bob->Sync());
    EXPECT_FALSE(bob->Holds(icbm::kHostAck));                      // none asked for, none sent
}

TEST_F(ServerTest, TypingDoesNotReachSomeoneAwayOrIdle)
{
    struct Case {
        const char* what;
        bool away;
    } cases[] = {{"away", true}, {"idle", false}};
    StartServer();
    auto alice = Alice();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto bob = Bob();
        if (c.away) {
            locate::SetInfo info;
            info.awayMessage = "out";
            bob->Send(info);
        } else {
            bob->Send(oservice::IdleNotification{600});
        }
        ASSERT_TRUE(bob->Sync());
        icbm::ClientEvent typing;
        typing.screenName = "Bob Demo";
        typing.event = icbm::typing::kBegun;
        alice->Send(typing);
        SendIm(*alice, "Bob Demo", "still delivered");
        ASSERT_TRUE(ExpectHostAck(*alice));
        EXPECT_EQ("still delivered", ExpectIm(*bob).TextUtf8());
        EXPECT_FALSE(bob->Holds(icbm::kClientEvent));
    }
}

TEST_F(ServerTest, ImErrorsKeepTheRequestId)
{
    StartServer();
    auto alice = Alice();
    struct Case {
        const char* what;
        const char* recipient;
        bool busted;
        uint16_t code;
    } cases[] = {
        {"recipient offline", "Carol", false, snacerror::kNotLoggedOn},
        {"no such account", "Nobody", false, snacerror::kNotLoggedOn},
        {"message data unreadable", "Alice Demo", true, snacerror::kBustedPayload},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        uint32_t id;
        if (c.busted) {
            icbm::ChannelMsgToHost message;
            message.recipient = c.recipient;
            message.tlvs.Add(icbm::tag::kImData, Bytes{0x01, 0x01, 0x00, 0x09});
            id = alice->Send(message);
        } else {
            id = SendIm(*alice, c.recipient, "hello?");
        }
        Snac snac;
        ASSERT_TRUE(alice->Expect(icbm::kError, snac));
        EXPECT_EQ(id, snac.requestId);
        SnacError error;
        ASSERT_TRUE(Decode(snac.body, error));
        EXPECT_EQ(c.code, error.code);
    }
    // An error answers a request; the connection goes on.
    EXPECT_TRUE(alice->Sync());
}

TEST_F(ServerTest, AwayMessageAndProfileReachTheBuddy)
{
    StartServer();
    auto alice = Alice();
    auto bob = Bob();
    ExpectArrival(*alice, "Bob Demo");

    locate::SetInfo info;
    info.profileMime = "text/x-test";
    info.profile = "<b>Bob's profile</b>";
    info.awayMime = "text/plain; charset=\"us-ascii\"";
    info.awayMessage = "At lunch";
    bob->Send(info);
    EXPECT_TRUE(ExpectArrival(*alice, "Bob Demo").IsAway());

    locate::UserInfoQuery2 query{locate::query::kProfile | locate::query::kAwayMessage, "bob demo"};
    uint32_t id = alice->Send(query);
    Snac snac;
    ASSERT_TRUE(alice->Expect(locate::kUserInfoReply, snac));
    EXPECT_EQ(id, snac.requestId);
    locate::UserInfoReply reply;
    ASSERT_TRUE(Decode(snac.body, reply));
    EXPECT_EQ("Bob Demo", reply.user.screenName);
    EXPECT_TRUE(reply.user.IsAway());
    EXPECT_EQ("At lunch", reply.awayMessage.value_or(""));
    EXPECT_EQ(info.awayMime, reply.awayMime.value_or(""));
    EXPECT_EQ("<b>Bob's profile</b>", reply.profile.value_or(""));
    EXPECT_EQ("text/x-test", reply.profileMime.value_or(""));

    locate::SetInfo back;
    back.awayMessage = "";
    bob->Send(back);
    EXPECT_FALSE(ExpectArrival(*alice, "Bob Demo").IsAway());
    alice->Send(locate::UserInfoQuery{locate::query::kAwayMessage, "Bob Demo"});
    ASSERT_TRUE(alice->Expect(reply));
    EXPECT_FALSE(reply.awayMessage.has_value());       // sent only while away
    EXPECT_FALSE(reply.profile.has_value());           // not asked for

    alice->Send(locate::UserInfoQuery2{locate::query::kProfile, "Carol"});
    ASSERT_TRUE(alice->Expect(locate::kError, snac));
    SnacError error;
    ASSERT_TRUE(Decode(snac.body, error));
    EXPECT_EQ(snacerror::kNotLoggedOn, error.code);
}

TEST_F(ServerTest, FeedbagEditsPersist)
{
    StartServer();
    auto alice = Alice();
    feedbag::FeedbagList list{alice->feedbag.items};
    auto groups = list.Groups();
    ASSERT_EQ(2u, groups.size());
    const feedbag::Item buddies = *groups[0];
    const feedbag::Item work = *groups[1];
    const feedbag::Item scripty = *list.FindBuddy("Scripty");
    const feedbag::Item carol = *list.FindBuddy("Carol");
    ASSERT_EQ("Buddies", buddies.name);

    auto edit = [&](auto message, std::vector<uint16_t> expected) {
        uint32_t id = alice->Send(message);
        Snac snac;
        ASSERT_TRUE(alice->Expect(feedbag::kStatus, snac));
        EXPECT_EQ(id, snac.requestId);
        feedbag::Status status;
        ASSERT_TRUE(Decode(snac.body, status));
        EXPECT_EQ(expected, status.codes);
    };

    alice->Send(feedbag::StartCluster{});
    // A new group "Friends" at the end, then Scripty moved into it.
    uint16_t friendsId = list.NewGroupId();
    uint16_t movedId = list.NewItemId();
    feedbag::Item friends = feedbag::Item::Group("Friends", friendsId, {});
    feedbag::InsertItems insertGroup;
    insertGroup.items = {friends};
    edit(insertGroup, {feedbag::status::kSuccess});
    feedbag::UpdateItems root;
    root.items = {feedbag::Item::Root({buddies.groupId, work.groupId, friendsId})};
    edit(root, {feedbag::status::kSuccess});

    feedbag::DeleteItems removeScripty;
    removeScripty.items = {scripty};
    edit(removeScripty, {feedbag::status::kSuccess});
    feedbag::InsertItems insertScripty;
    insertScripty.items = {feedbag::Item::Buddy("Scripty", friendsId, movedId)};
    insertScripty.items[0].attributes.AddString(feedbag::attr::kAlias, "The Script");
    edit(insertScripty, {feedbag::status::kSuccess});
    feedbag::Item buddiesNow = buddies;
    std::vector<uint16_t> order = buddies.Order();
    order.erase(std::remove(order.begin(), order.end(), scripty.itemId), order.end());
    buddiesNow.SetOrder(order);
    friends.SetOrder({movedId});
    feedbag::UpdateItems groupsNow;
    groupsNow.items = {buddiesNow, friends};
    edit(groupsNow, {feedbag::status::kSuccess, feedbag::status::kSuccess});

    // Carol deleted from Work, and Work's order emptied.
    feedbag::DeleteItems removeCarol;
    removeCarol.items = {carol};
    feedbag::Item workNow = work;
    workNow.SetOrder({});
    edit(removeCarol, {feedbag::status::kSuccess});
    feedbag::UpdateItems workUpdate;
    workUpdate.items = {workNow};
    edit(workUpdate, {feedbag::status::kSuccess});
    alice->SendEmpty(feedbag::kEndCluster);

    // What the server refuses, item by item in one request.
    feedbag::InsertItems wrong;
    wrong.items = {
        feedbag::Item::Buddy("Twice", friendsId, movedId),          // key taken
        feedbag::Item::Buddy("Homeless", 999, 500),                 // no such group
        feedbag::Item::Buddy("Fine", friendsId, 501),
    };
    edit(wrong, {feedbag::status::kAlreadyExists, feedbag::status::kInvalid, feedbag::status::kSuccess});
    feedbag::DeleteItems gone;
    gone.items = {carol};
    edit(gone, {feedbag::status::kNotFound});
    feedbag::UpdateItems classChange;
    classChange.items = {feedbag::Item::Buddy("Work", work.groupId, 0)};
    edit(classChange, {feedbag::status::kInvalid});
    feedbag::DeleteItems fine;
    fine.items = {feedbag::Item::Buddy("Fine", friendsId, 501)};
    edit(fine, {feedbag::status::kSuccess});

    // A new session loads the list as edited.
    alice.reset();
    alice = Alice();
    feedbag::FeedbagList reloaded{alice->feedbag.items};
    auto names = [&](uint16_t groupId) {
        std::vector<std::string> out;
        for (const feedbag::Item* item : reloaded.Buddies(groupId))
            out.push_back(item->name);
        return out;
    };
    auto reloadedGroups = reloaded.Groups();
    ASSERT_EQ(3u, reloadedGroups.size());
    EXPECT_EQ("Buddies", reloadedGroups[0]->name);
    EXPECT_EQ("Work", reloadedGroups[1]->name);
    EXPECT_EQ("Friends", reloadedGroups[2]->name);
    EXPECT_EQ(std::vector<std::string>{"Bob Demo"}, names(buddies.groupId));
    EXPECT_TRUE(names(work.groupId).empty());
    EXPECT_EQ(std::vector<std::string>{"Scripty"}, names(friendsId));
    EXPECT_EQ("The Script", reloaded.FindBuddy("scripty")->Alias().value_or(""));
    EXPECT_EQ((std::vector<std::string>{"Buddies", "  Bob Demo", "Work", "Friends", "  Scripty"}),
              server->ListOf("alice demo"));
}

TEST_F(ServerTest, AddingAndRemovingAnOnlineBuddyShowsPresence)
{
    StartServer();
    auto bob = Bob();
    auto carol = SignOn("Carol", "carolpw");
    feedbag::FeedbagList list{bob->feedbag.items};
    const feedbag::Item* group = list.Groups()[0];
    feedbag::InsertItems insert;
    insert.items = {feedbag::Item::Buddy("Carol", group->groupId, list.NewItemId())};
    bob->Send(insert);
    ExpectArrival(*bob, "Carol");

    feedbag::DeleteItems del;
    del.items = insert.items;
    bob->Send(del);
    ExpectDeparture(*bob, "carol");
}

TEST_F(ServerTest, SecondSignOnReplacesTheFirst)
{
    StartServer();
    auto first = Alice();
    auto second = Alice();
    EXPECT_TRUE(first->WaitClosed());
    ASSERT_EQ(1u, first->signoffs.size());
    ByteReader r(first->signoffs[0].payload);
    TlvList tlvs = ReadTlvRest(r);
    EXPECT_EQ(signoff::kReasonSignedOnElsewhere, tlvs.U8OrU16(signoff::kTagReason).value_or(0));
    EXPECT_TRUE(second->Sync());
}

TEST_F(ServerTest, BrokenFramesEndTheConnection)
{
    StartServer();
    auto alice = Alice();
    struct Case {
        const char* what;
        const char* bytes;
    } cases[] = {
        {"wrong marker", "2B 02 00 01 00 00"},
        {"unknown channel", "2A 09 00 01 00 00"},
        {"DATA shorter than a SNAC header", "2A 02 00 01 00 03 00 01 00"},
        {"a second signon", "2A 01 00 01 00 04 00 00 00 01"},
        {"the client signs off", "2A 04 00 01 00 00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto bob = Bob();
        ExpectArrival(*alice, "Bob Demo");
        ASSERT_TRUE(bob->SendRaw(codectest::Hex(c.bytes)));
        EXPECT_TRUE(bob->WaitClosed());
        ExpectDeparture(*alice, "bobdemo");
    }
}

TEST_F(ServerTest, InProcessApiScriptsABuddy)
{
    StartServer();
    auto alice = Alice();
    std::string error;
    EXPECT_FALSE(server->SendIm("Scripty", "Alice Demo", "too early", false, &error));
    EXPECT_EQ("Scripty is not signed on", error);

    ASSERT_TRUE(server->SignOn("Scripty"));
    EXPECT_TRUE(server->IsOnline("scripty"));
    ExpectArrival(*alice, "Scripty");

    SendIm(*alice, "Scripty", "<HTML>Hi script</HTML>");
    ASSERT_TRUE(server->WaitForInbox("Scripty", std::chrono::milliseconds(kTimeoutMs)));
    auto inbox = server->TakeInbox("Scripty");
    ASSERT_EQ(1u, inbox.size());
    EXPECT_EQ(InboxEntry::Kind::Im, inbox[0].kind);
    EXPECT_EQ("Alice Demo", inbox[0].from);
    EXPECT_EQ("<HTML>Hi script</HTML>", inbox[0].text);

    icbm::ClientEvent typing;
    typing.screenName = "Scripty";
    typing.event = icbm::typing::kBegun;
    alice->Send(typing);
    ASSERT_TRUE(server->WaitForInbox("Scripty", std::chrono::milliseconds(kTimeoutMs)));
    inbox = server->TakeInbox("Scripty");
    ASSERT_EQ(1u, inbox.size());
    EXPECT_EQ(InboxEntry::Kind::Typing, inbox[0].kind);
    EXPECT_EQ(icbm::typing::kBegun, inbox[0].typingEvent);

    ASSERT_TRUE(server->SendTyping("Scripty", "Alice Demo", icbm::typing::kBegun));
    icbm::ClientEvent seen;
    ASSERT_TRUE(alice->Expect(seen));
    EXPECT_EQ("Scripty", seen.screenName);
    ASSERT_TRUE(server->SendIm("Scripty", "Alice Demo", "Hello from a script"));
    icbm::ChannelMsgToClient received;
    EXPECT_EQ("Hello from a script", ExpectIm(*alice, &received).TextUtf8());
    EXPECT_EQ("Scripty", received.sender.screenName);
    ASSERT_TRUE(server->SendIm("Scripty", "Alice Demo", "I am away", true));
    EXPECT_TRUE(ExpectIm(*alice).autoResponse);

    ASSERT_TRUE(server->SetIdle("Scripty", 5));
    EXPECT_EQ(5, ExpectArrival(*alice, "Scripty").IdleMinutes());
    ASSERT_TRUE(server->SetAway("Scripty", "Back soon"));
    EXPECT_TRUE(ExpectArrival(*alice, "Scripty").IsAway());

    ASSERT_TRUE(server->SignOff("Scripty"));
    ExpectDeparture(*alice, "scripty");
    EXPECT_FALSE(server->SignOff("Scripty", &error));
}

TEST_F(ServerTest, AddBuddyFromTheServerSideUpdatesTheClient)
{
    StartServer();
    auto alice = Alice();
    ASSERT_TRUE(server->SignOn("Dave"));
    ASSERT_TRUE(server->AddBuddy("Alice Demo", "Friends", "Dave"));

    // The client hears of it as edits from elsewhere: a cluster with the new
    // group and buddy, then the updated orders.
    Snac snac;
    ASSERT_TRUE(alice->Expect(feedbag::kStartCluster, snac));
    EXPECT_EQ(kServerRequestId, snac.requestId);
    feedbag::InsertItems inserted;
    ASSERT_TRUE(alice->Expect(inserted));
    ASSERT_EQ(2u, inserted.items.size());
    EXPECT_TRUE(inserted.items[0].IsGroup());
    EXPECT_EQ("Friends", inserted.items[0].name);
    EXPECT_EQ("Dave", inserted.items[1].name);
    feedbag::UpdateItems updated;
    ASSERT_TRUE(alice->Expect(updated));
    ASSERT_EQ(2u, updated.items.size());
    EXPECT_EQ(std::vector<uint16_t>{inserted.items[1].itemId}, updated.items[0].Order());
    EXPECT_TRUE(updated.items[1].IsRoot());
    EXPECT_EQ(inserted.items[0].groupId, updated.items[1].Order().back());
    ASSERT_TRUE(alice->Expect(feedbag::kEndCluster, snac));
    ExpectArrival(*alice, "Dave");

    std::string error;
    EXPECT_FALSE(server->AddBuddy("Alice Demo", "Friends", "dave", &error));
    ASSERT_TRUE(server->RemoveBuddy("Alice Demo", "Dave"));
    feedbag::DeleteItems deleted;
    ASSERT_TRUE(alice->Expect(deleted));
    ASSERT_EQ(1u, deleted.items.size());
    EXPECT_EQ("Dave", deleted.items[0].name);
    ExpectDeparture(*alice, "dave");
}

TEST_F(ServerTest, ControlChannelScriptsABuddy)
{
    StartServer();
    auto alice = Alice();
    ControlClient control;
    ASSERT_TRUE(control.Connect(server->ControlPort()));

    EXPECT_EQ("ok\n", control.Command("signon Scripty"));
    ExpectArrival(*alice, "Scripty");
    EXPECT_EQ("error Scripty is already signed on\n", control.Command("signon scripty"));

    EXPECT_EQ("ok\n", control.Command("away Scripty Out to lunch"));
    EXPECT_TRUE(ExpectArrival(*alice, "Scripty").IsAway());
    alice->Send(locate::UserInfoQuery2{locate::query::kAwayMessage, "Scripty"});
    locate::UserInfoReply reply;
    ASSERT_TRUE(alice->Expect(reply));
    EXPECT_EQ("Out to lunch", reply.awayMessage.value_or(""));
    EXPECT_EQ("ok\n", control.Command("back Scripty"));
    EXPECT_FALSE(ExpectArrival(*alice, "Scripty").IsAway());

    EXPECT_EQ("ok\n", control.Command("im Scripty \"Alice Demo\" Hello there, Alice"));
    icbm::ChannelMsgToClient received;
    EXPECT_EQ("Hello there, Alice", ExpectIm(*alice, &received).TextUtf8());
    EXPECT_EQ("Scripty", received.sender.screenName);

    EXPECT_EQ("ok\n", control.Command("typing Scripty alicedemo paused"));
    icbm::ClientEvent typing;
    ASSERT_TRUE(alice->Expect(typing));
    EXPECT_EQ(icbm::typing::kPaused, typing.event);

    icbm::ClientEvent aliceTyping;
    aliceTyping.screenName = "Scripty";
    aliceTyping.event = icbm::typing::kBegun;
    alice->Send(aliceTyping);
    SendIm(*alice, "Scripty", "Hi back");
    ASSERT_TRUE(ExpectHostAck(*alice));              // the server has it now
    EXPECT_EQ("typing \"Alice Demo\" begun\nim \"Alice Demo\" Hi back\nok\n", control.Command("inbox Scripty"));
    EXPECT_EQ("ok\n", control.Command("inbox Scripty"));

    EXPECT_EQ("ok\n", control.Command("signoff Scripty"));
    ExpectDeparture(*alice, "scripty");
    EXPECT_EQ("online Alice Demo\nok\n", control.Command("online"));

    EXPECT_EQ("ok\n", control.Command("addbuddy \"Alice Demo\" \"Night Shift\" Scripty"));
    feedbag::InsertItems inserted;
    ASSERT_TRUE(alice->Expect(inserted));
    EXPECT_EQ("Night Shift", inserted.items[0].name);
    EXPECT_EQ("group Buddies\nbuddy Bob Demo\nbuddy Scripty\ngroup Work\nbuddy Carol\n"
              "group Night Shift\nbuddy Scripty\nok\n",
              control.Command("list \"Alice Demo\""));
    EXPECT_EQ("ok\n", control.Command("delbuddy \"Alice Demo\" Scripty"));
    feedbag::DeleteItems deleted;
    ASSERT_TRUE(alice->Expect(deleted));
    EXPECT_EQ(2u, deleted.items.size());                 // from both groups
    EXPECT_EQ("group Buddies\nbuddy Bob Demo\ngroup Work\nbuddy Carol\ngroup Night Shift\nok\n",
              control.Command("list alicedemo"));

    struct Case {
        const char* line;
        const char* answer;
    } errors[] = {
        {"frobnicate", "error unknown command \"frobnicate\"; \"help\" lists them\n"},
        {"im Scripty", "error usage: im <from> <to> <text>\n"},
        {"im Scripty \"Alice Demo\" hi", "error Scripty is not signed on\n"},
        {"signon Nobody", "error no account Nobody\n"},
        {"typing Alice alice sideways", "error usage: typing <from> <to> begun|paused|finished\n"},
        {"idle Scripty soon", "error usage: idle <name> <minutes>\n"},
    };
    for (const Case& c : errors)
        EXPECT_EQ(c.answer, control.Command(c.line)) << c.line;

    EXPECT_NE(std::string::npos, control.Command("help").find("addbuddy <owner> <group> <buddy>"));
    EXPECT_EQ("ok\n", control.Command("quit"));
    EXPECT_TRUE(control.WaitClosed());
}

TEST_F(ServerTest, ControlChannelShutdownStopsTheServer)
{
    StartServer();
    auto alice = Alice();
    ControlClient control;
    ASSERT_TRUE(control.Connect(server->ControlPort()));
    EXPECT_EQ("ok\n", control.Command("shutdown"));
    server->Wait();
    EXPECT_TRUE(alice->WaitClosed());
    TestClient late;
    EXPECT_FALSE(late.Connect(server->LoginPort()));
}

TEST_F(ServerTest, DemoBuddiesAnswer)
{
    OscarServer::Options options;
    options.demo = true;
    // Long enough that the typing notice surely goes out first, short enough
    // to wait for: the server's loop must wake for the answer by itself.
    options.script.typingPause = std::chrono::milliseconds(100);
    StartServer(options);
    EXPECT_TRUE(server->IsOnline("Echo"));
    EXPECT_TRUE(server->IsOnline("Busy Bee"));
    EXPECT_FALSE(server->IsOnline("Scripty"));
    auto alice = Alice();

    SendIm(*alice, "Echo", "<HTML><BODY>Is anyone there?</BODY></HTML>", false);
    Snac first;
    ASSERT_TRUE(alice->ExpectAny({icbm::kClientEvent, icbm::kChannelMsgToClient}, first));
    icbm::ClientEvent typing;
    ASSERT_TRUE(first.Is(icbm::kClientEvent) && Decode(first.body, typing));
    EXPECT_EQ("Echo", typing.screenName);
    EXPECT_EQ(icbm::typing::kBegun, typing.event);
    icbm::ChannelMsgToClient received;
    icbm::InstantMessage echo = ExpectIm(*alice, &received);
    EXPECT_EQ("Echo", received.sender.screenName);
    EXPECT_EQ(0u, echo.TextUtf8().rfind("You said: Is anyone there?<br>", 0)) << echo.TextUtf8();
    EXPECT_FALSE(echo.autoResponse);

    SendIm(*alice, "Busy Bee", "Are you there?", false);
    icbm::InstantMessage away = ExpectIm(*alice, &received);
    EXPECT_EQ("Busy Bee", received.sender.screenName);
    EXPECT_EQ("Gone fishing", away.TextUtf8());
    EXPECT_TRUE(away.autoResponse);

    // An automatic reply is not answered, or two of them would talk forever.
    server->TakeInbox("Echo");
    SendIm(*alice, "Echo", "my auto reply", false, true);
    ASSERT_TRUE(server->WaitForInbox("Echo", std::chrono::milliseconds(kTimeoutMs)));
    ASSERT_TRUE(alice->Sync());
    EXPECT_FALSE(alice->Holds(icbm::kChannelMsgToClient));
}

TEST_F(ServerTest, EditsAreWrittenBackToTheAccountsFile)
{
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("oscar-server-test-" + std::to_string(std::random_device()()));
    std::filesystem::create_directories(dir);
    std::string path = (dir / "accounts.txt").string();
    ASSERT_TRUE(WriteAccountsFile(path, accounts));
    OscarServer::Options options;
    options.saveFile = path;
    StartServer(options);
    auto bob = Bob();
    feedbag::FeedbagList list{bob->feedbag.items};
    feedbag::InsertItems insert;
    insert.items = {feedbag::Item::Buddy("Carol", list.Groups()[0]->groupId, list.NewItemId())};
    bob->Send(insert);
    feedbag::Status status;
    ASSERT_TRUE(bob->Expect(status));

    std::vector<Account> saved;
    std::string error;
    ASSERT_TRUE(ReadAccountsFile(path, saved, &error)) << error;
    ASSERT_EQ(accounts.size(), saved.size());
    EXPECT_EQ("Bob Demo", saved[1].screenName);
    ASSERT_EQ(1u, saved[1].groups.size());
    EXPECT_EQ((std::vector<std::string>{"Alice Demo", "Scripty", "Carol"}), saved[1].groups[0].buddies);
    EXPECT_EQ("bobpw", saved[1].password);
    EXPECT_EQ(ScriptMode::Away, saved[5].script);
    EXPECT_EQ("Gone fishing", saved[5].scriptAway);
    server.reset();
    std::filesystem::remove_all(dir);
}

TEST_F(ServerTest, UnhandledSnacsGetAnErrorOfTheirFoodGroup)
{
    StartServer();
    auto alice = Alice();
    struct Case {
        SnacId id;
        uint16_t code;
    } cases[] = {
        {{foodgroup::kBart, 0x0002}, snacerror::kInvalidSnac},          // a food group BOS does not offer
        {{foodgroup::kOservice, 0x0099}, snacerror::kInvalidSnac},
        {{foodgroup::kBucp, 0x0006}, snacerror::kInvalidSnac},          // login SNACs belong to the login connection
        {{foodgroup::kOservice, 0x0004}, snacerror::kServiceUnavailable},  // no other services here
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id.group * 0x10000 + c.id.subgroup);
        uint32_t id = alice->SendEmpty(c.id);
        Snac snac;
        ASSERT_TRUE(alice->Expect(SnacId{c.id.group, kSubgroupError}, snac));
        EXPECT_EQ(id, snac.requestId);
        SnacError error;
        ASSERT_TRUE(Decode(snac.body, error));
        EXPECT_EQ(c.code, error.code);
    }
}

} // namespace
