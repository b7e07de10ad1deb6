// The real thing end to end: sessions made by ordinal 111 of acccore.dll,
// talking OSCAR over loopback to the local server running in this process,
// and only the layer's COM interfaces in between. Every event must arrive on
// this thread through its message loop.
#include <winsock2.h>

#include "AccHelpers.h"
#include "AccTestSupport.h"
#include "TestSupport.h"

#include "OscarServer.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace AIMCC;
using namespace acctest;

namespace {

const char kAccounts[] =
    "account Alice Demo\n"
    "password welcome1\n"
    "profile <HTML><BODY>Hi, I am Alice.</BODY></HTML>\n"
    "group Buddies\n"
    "buddy Bob Demo\n"
    "buddy Echo Bot\n"
    "group Co-Workers\n"
    "buddy Carol Smith\n"
    "\n"
    "account Bob Demo\n"
    "password welcome2\n"
    "group Buddies\n"
    "buddy Alice Demo\n"
    "\n"
    "account Carol Smith\n"
    "password welcome3\n"
    "group Buddies\n"
    "buddy Alice Demo\n";

// One account of the client: a session from the DLL, its sink and its hook.
struct Account {
    ComPtr<IAccSession> session;
    ComPtr<CEventRecorder> sink = CEventRecorder::Make();
    ComPtr<CMapHook> hook = CMapHook::Make();

    HRESULT Create(const wchar_t* name, uint16_t port)
    {
        HRESULT hr = AccCreateSession(session.GetAddressOf());
        if (FAILED(hr))
            return hr;
        hook->values[L"aimcc.connect.host.address"] = L"127.0.0.1";
        hook->values[L"aimcc.connect.host.port"] = std::to_wstring(port);
        if (FAILED(hr = session->put_PrefsHook(hook.Get())) || FAILED(hr = sink->Connect(session.Get())))
            return hr;
        ComPtr<IAccClientInfo> info;
        if (FAILED(hr = session->get_ClientInfo(&info)))
            return hr;
        info->put_Property(AccClientInfoProp::Description, CVariant::Text(L"Velmora (Key:Qm7TfR2xWp9LbZc4)").Get());
        return session->put_Identity(CBstr(name));
    }
    // Signs on and waits for the end of it: 500, or 0 with the result.
    long SignOn(const wchar_t* password, HRESULT* result = nullptr)
    {
        sink->Clear();
        if (FAILED(session->SignOn(CBstr(password))))
            return -1;
        auto end = sink->WaitFor(AccEvent::StateChange, [](const RecordedEvent& e) {
            return e.Long(1) == AccState::Online || e.Long(1) == AccState::Offline;
        }, 20000);
        if (!end)
            return -2;
        if (result)
            *result = end->Long(2);
        if (end->Long(1) == AccState::Online && !sink->WaitFor(AccEvent::BuddyListReady))
            return -3;
        return end->Long(1);
    }
    ComPtr<IAccGroup> Group(const wchar_t* name)
    {
        ComPtr<IAccGroup> group;
        GetGroup(name, group);
        return group;
    }
    void GetGroup(const wchar_t* name, ComPtr<IAccGroup>& group) { session->GetGroup(CBstr(name), &group); }
    ComPtr<IAccUser> User(const wchar_t* name)
    {
        ComPtr<IAccUser> user;
        session->GetUser(CBstr(name), &user);
        return user;
    }
    void Close()
    {
        if (session)
            session->SignOff();
        sink->Disconnect();
        session.Reset();
    }
};

bool IsArrivalOf(const RecordedEvent& e, const wchar_t* name)
{
    long presence = 0;
    VariantToLong(e.Property(2, AccUserProp::Presence).Get(), presence);
    std::wstring who;
    VariantToText(e.Property(2, AccUserProp::Name).Get(), who);
    return e.Long(3) == AccUserProp::Presence && presence > 0 && who == name;
}

std::wstring MessageText(const RecordedEvent& e)
{
    ComPtr<IAccIm> im;
    if (!e.Object(3) || FAILED(e.Object(3)->QueryInterface(IID_PPV_ARGS(&im))))
        return L"";
    BSTR text = nullptr;
    im->GetConvertedText(CBstr(L"text/plain"), &text);
    std::wstring out = text ? text : L"";
    SysFreeString(text);
    return out;
}

class OscarSignOnTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::vector<oscar::server::Account> accounts;
        std::string error;
        ASSERT_TRUE(oscar::server::ParseAccounts(kAccounts, accounts, &error)) << error;
        oscar::server::OscarServer::Options options;
        server_ = std::make_unique<oscar::server::OscarServer>(accounts, options);
        ASSERT_TRUE(server_->Start(&error)) << error;
        ASSERT_HRESULT_SUCCEEDED(library_.Load((ExeFolder() + L"acccore.dll").c_str()));
        ASSERT_HRESULT_SUCCEEDED(alice_.Create(L"Alice Demo", server_->LoginPort()));
        ASSERT_HRESULT_SUCCEEDED(bob_.Create(L"Bob Demo", server_->LoginPort()));
    }
    void TearDown() override
    {
        alice_.Close();
        bob_.Close();
        PumpPending();
        if (server_)
            server_->Stop();
    }
    void ExpectAllOnThisThread(const Account& account)
    {
        for (const RecordedEvent& event : account.sink->Events())
            EXPECT_EQ(event.threadId, GetCurrentThreadId()) << "event " << event.id;
    }

    CAccLibrary library_;
    std::unique_ptr<oscar::server::OscarServer> server_;
    Account alice_;
    Account bob_;
};

TEST_F(OscarSignOnTest, TwoAccountsSignOnSeeEachOtherAndTalkBothWays)
{
    ASSERT_EQ(alice_.SignOn(L"welcome1"), AccState::Online);
    const std::vector<long> states = {100, 150, 200, 300, 350, 400, 500};
    EXPECT_EQ(alice_.sink->States(), states);
    // "Client online" is the last thing sent before 500; the server takes it in its own time.
    EXPECT_TRUE(PumpUntil([&] { return server_->IsOnline("Alice Demo"); }));

    ASSERT_EQ(bob_.SignOn(L"welcome2"), AccState::Online);
    // Each hears of the other: Bob of Alice at his sign-on, Alice of Bob's arrival.
    ASSERT_TRUE(bob_.sink->WaitFor(AccEvent::BuddyChange, [](const RecordedEvent& e) { return IsArrivalOf(e, L"Alice Demo"); }));
    ASSERT_TRUE(alice_.sink->WaitFor(AccEvent::BuddyChange, [](const RecordedEvent& e) { return IsArrivalOf(e, L"Bob Demo"); }));
    EXPECT_EQ(PropertyLong(alice_.User(L"Bob Demo").Get(), AccUserProp::Presence), AccPresence::Available);

    // Alice writes; the server acknowledges; Bob receives.
    ComPtr<IAccImSession> aliceIm;
    ASSERT_HRESULT_SUCCEEDED(alice_.session->CreateImSession(CBstr(L"Bob Demo"), AccImMode::Im, &aliceIm));
    ComPtr<IAccIm> hello;
    ASSERT_HRESULT_SUCCEEDED(aliceIm->CreateIm(CBstr(L"Hello Bob, <3 from Alice"), CBstr(L"text/plain"), &hello));
    ASSERT_HRESULT_SUCCEEDED(aliceIm->SendIm(hello.Get()));
    ASSERT_TRUE(alice_.sink->WaitFor(AccEvent::MessageSent));
    auto sent = alice_.sink->WaitFor(AccEvent::SendResult);
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->Long(4), S_OK);
    auto received = bob_.sink->WaitFor(AccEvent::MessageReceived);
    ASSERT_TRUE(received);
    EXPECT_EQ(MessageText(*received), L"Hello Bob, <3 from Alice");
    std::wstring from;
    VariantToText(received->Property(2, AccUserProp::Name).Get(), from);
    EXPECT_EQ(from, L"Alice Demo");
    ASSERT_TRUE(bob_.sink->WaitFor(AccEvent::SecondarySessionOffered));

    // Bob answers on the session he was offered.
    ComPtr<IAccImSession> bobIm;
    ASSERT_HRESULT_SUCCEEDED(received->Object(1)->QueryInterface(IID_PPV_ARGS(&bobIm)));
    ComPtr<IAccIm> reply;
    ASSERT_HRESULT_SUCCEEDED(bobIm->CreateIm(CBstr(L"Hi Alice \u00e9\u4e2d"), CBstr(L"text/plain"), &reply));
    ASSERT_HRESULT_SUCCEEDED(bobIm->SendIm(reply.Get()));
    auto answer = alice_.sink->WaitFor(AccEvent::MessageReceived);
    ASSERT_TRUE(answer);
    EXPECT_EQ(MessageText(*answer), L"Hi Alice \u00e9\u4e2d");
    EXPECT_EQ(answer->Object(1), static_cast<IDispatch*>(aliceIm.Get()));

    // Typing notices both ways.
    ASSERT_HRESULT_SUCCEEDED(aliceIm->SetTypingState(AccTyping::Typing));
    auto typing = bob_.sink->WaitFor(AccEvent::TypingChange);
    ASSERT_TRUE(typing);
    EXPECT_EQ(typing->Long(3), AccTyping::Typing);
    ASSERT_HRESULT_SUCCEEDED(bobIm->SetTypingState(AccTyping::TextEntered));
    typing = alice_.sink->WaitFor(AccEvent::TypingChange);
    ASSERT_TRUE(typing);
    EXPECT_EQ(typing->Long(3), AccTyping::TextEntered);

    ExpectAllOnThisThread(alice_);
    ExpectAllOnThisThread(bob_);
}

TEST_F(OscarSignOnTest, TheBuddyListLoadsInTheServersOrder)
{
    ASSERT_EQ(alice_.SignOn(L"welcome1"), AccState::Online);
    ComPtr<IAccBuddyList> list;
    ASSERT_HRESULT_SUCCEEDED(alice_.session->get_BuddyList(&list));
    long count = 0;
    ASSERT_HRESULT_SUCCEEDED(list->get_GroupCount(&count));
    ASSERT_EQ(count, 3);
    const wchar_t* names[] = {L"Buddies", L"Co-Workers", L"Offline"};
    for (long i = 0; i < count; ++i) {
        ComPtr<IAccGroup> group;
        ASSERT_HRESULT_SUCCEEDED(list->GetGroupByIndex(i, &group));
        EXPECT_EQ(PropertyText(group.Get(), AccGroupProp::Name), names[i]);
    }
    // Nobody else is on: the offline group lists every buddy in list order.
    ComPtr<IAccGroup> offline;
    ASSERT_HRESULT_SUCCEEDED(list->GetGroupByIndex(2, &offline));
    long buddies = 0;
    ASSERT_HRESULT_SUCCEEDED(offline->get_BuddyCount(&buddies));
    ASSERT_EQ(buddies, 3);
    const wchar_t* order[] = {L"Bob Demo", L"Echo Bot", L"Carol Smith"};
    for (long i = 0; i < buddies; ++i) {
        ComPtr<IAccUser> user;
        ASSERT_HRESULT_SUCCEEDED(offline->GetBuddyByIndex(i, &user));
        EXPECT_EQ(PropertyText(user.Get(), AccUserProp::Name), order[i]);
    }
}

TEST_F(OscarSignOnTest, AWrongPasswordEndsInStateZeroAndTheRightOneWorksAfterwards)
{
    HRESULT result = S_OK;
    EXPECT_EQ(alice_.SignOn(L"not-it", &result), AccState::Offline);
    EXPECT_EQ(result, ACC_E_INVALID_LOGIN);
    const std::vector<long> failed = {100, 150, 200, 0};
    EXPECT_EQ(alice_.sink->States(), failed);

    // An unknown name is refused the same way.
    Account stranger;
    ASSERT_HRESULT_SUCCEEDED(stranger.Create(L"Nobody Here", server_->LoginPort()));
    EXPECT_EQ(stranger.SignOn(L"whatever", &result), AccState::Offline);
    EXPECT_EQ(result, ACC_E_INVALID_LOGIN);
    stranger.Close();

    EXPECT_EQ(alice_.SignOn(L"welcome1"), AccState::Online);
}

TEST_F(OscarSignOnTest, AnUnreachableServerEndsInStateZeroAndReconnectingWorks)
{
    // A port nobody listens on: bound, read, and closed again.
    SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(probe, INVALID_SOCKET);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    int size = sizeof(address);
    ASSERT_EQ(getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size), 0);
    closesocket(probe);
    alice_.hook->values[L"aimcc.connect.host.port"] = std::to_wstring(ntohs(address.sin_port));

    HRESULT result = S_OK;
    EXPECT_EQ(alice_.SignOn(L"welcome1", &result), AccState::Offline);
    EXPECT_EQ(result, ACC_E_CONNECT_FAILED);
    const std::vector<long> failed = {100, 0};
    EXPECT_EQ(alice_.sink->States(), failed);

    // The settings window points at the right port; the next sign-on reads it.
    alice_.hook->values[L"aimcc.connect.host.port"] = std::to_wstring(server_->LoginPort());
    EXPECT_EQ(alice_.SignOn(L"welcome1"), AccState::Online);
}

TEST_F(OscarSignOnTest, BuddyListEditsChangeTheServersCopy)
{
    ASSERT_EQ(alice_.SignOn(L"welcome1"), AccState::Online);
    ComPtr<IAccBuddyList> list;
    ASSERT_HRESULT_SUCCEEDED(alice_.session->get_BuddyList(&list));

    // A new group between the two.
    ComPtr<IAccGroup> friends;
    ASSERT_HRESULT_SUCCEEDED(list->InsertGroup(CBstr(L"Friends"), 1, &friends));
    auto groupAdded = alice_.sink->WaitFor(AccEvent::GroupAdded);
    ASSERT_TRUE(groupAdded);
    EXPECT_EQ(groupAdded->Long(4), S_OK);

    // A buddy added, one moved into the new group, one removed.
    ComPtr<IAccUser> dave;
    ASSERT_HRESULT_SUCCEEDED(alice_.Group(L"Buddies")->AddBuddy(CBstr(L"Dave New"), -1, &dave));
    auto added = alice_.sink->WaitFor(AccEvent::BuddyAdded);
    ASSERT_TRUE(added);
    EXPECT_EQ(added->Long(4), S_OK);
    ASSERT_HRESULT_SUCCEEDED(alice_.Group(L"Co-Workers")->MoveBuddy(CBstr(L"Carol Smith"), friends.Get(), 0));
    auto moved = alice_.sink->WaitFor(AccEvent::BuddyMoved);
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->Long(6), S_OK);
    ASSERT_HRESULT_SUCCEEDED(alice_.Group(L"Buddies")->RemoveBuddy(CBstr(L"Echo Bot")));
    auto removed = alice_.sink->WaitFor(AccEvent::BuddyRemoved);
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->Long(3), S_OK);

    const std::vector<std::string> expected = {"Buddies", "  Bob Demo", "  Dave New", "Friends", "  Carol Smith",
                                               "Co-Workers"};
    EXPECT_EQ(server_->ListOf("Alice Demo"), expected);

    // The group goes too, and moving a group reorders the server's list.
    ASSERT_HRESULT_SUCCEEDED(list->MoveGroup(alice_.Group(L"Co-Workers").Get(), 0));
    ASSERT_TRUE(alice_.sink->WaitFor(AccEvent::GroupChange));
    ASSERT_HRESULT_SUCCEEDED(list->RemoveGroup(friends.Get()));
    auto groupRemoved = alice_.sink->WaitFor(AccEvent::GroupRemoved);
    ASSERT_TRUE(groupRemoved);
    EXPECT_EQ(groupRemoved->Long(2), S_OK);
    const std::vector<std::string> after = {"Co-Workers", "Buddies", "  Bob Demo", "  Dave New"};
    EXPECT_EQ(server_->ListOf("Alice Demo"), after);

    // The next sign-on loads what the server now holds.
    alice_.session->SignOff();
    ASSERT_TRUE(alice_.sink->WaitFor(AccEvent::StateChange, [](const RecordedEvent& e) { return e.Long(1) == 0; }));
    ASSERT_EQ(alice_.SignOn(L"welcome1"), AccState::Online);
    long count = 0;
    ASSERT_HRESULT_SUCCEEDED(list->get_GroupCount(&count));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(PropertyText(alice_.Group(L"Co-Workers").Get(), AccGroupProp::Name), L"Co-Workers");
    ComPtr<IAccGroup> first;
    ASSERT_HRESULT_SUCCEEDED(list->GetGroupByIndex(0, &first));
    EXPECT_EQ(PropertyText(first.Get(), AccGroupProp::Name), L"Co-Workers");
}

TEST_F(OscarSignOnTest, AScriptedBuddyArrivesWritesGoesAwayAndLeaves)
{
    ASSERT_EQ(alice_.SignOn(L"welcome1"), AccState::Online);
    ASSERT_TRUE(server_->SignOn("Carol Smith"));
    ASSERT_TRUE(alice_.sink->WaitFor(AccEvent::BuddyChange, [](const RecordedEvent& e) { return IsArrivalOf(e, L"Carol Smith"); }));

    ASSERT_TRUE(server_->SendIm("Carol Smith", "Alice Demo", "<b>ping</b>"));
    auto received = alice_.sink->WaitFor(AccEvent::MessageReceived);
    ASSERT_TRUE(received);
    EXPECT_EQ(MessageText(*received), L"ping");

    ASSERT_TRUE(server_->SetAway("Carol Smith", "out for lunch"));
    ASSERT_TRUE(alice_.sink->WaitFor(AccEvent::BuddyChange, [](const RecordedEvent& e) {
        long presence = 0;
        VariantToLong(e.Property(2, AccUserProp::Presence).Get(), presence);
        return presence == AccPresence::Away;
    }));
    // Her away message is fetched on request.
    ComPtr<IAccUser> carol = alice_.User(L"Carol Smith");
    CVariant away;
    EXPECT_EQ(carol->get_Property(AccUserProp::AwayMessage, away.Out()), ACC_E_PENDING);
    long request = 0;
    ASSERT_HRESULT_SUCCEEDED(carol->RequestProperty(AccUserProp::AwayMessage, &request));
    auto answer = alice_.sink->WaitFor(AccEvent::UserRequestDone);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->Long(3), request);
    EXPECT_EQ(answer->Long(4), S_OK);
    ASSERT_HRESULT_SUCCEEDED(carol->get_Property(AccUserProp::AwayMessage, away.Out()));
    ComPtr<IAccIm> text;
    ASSERT_HRESULT_SUCCEEDED(away.Get().pdispVal->QueryInterface(IID_PPV_ARGS(&text)));
    BSTR plain = nullptr;
    ASSERT_HRESULT_SUCCEEDED(text->GetConvertedText(CBstr(L"text/plain"), &plain));
    EXPECT_STREQ(plain, L"out for lunch");
    SysFreeString(plain);

    ASSERT_TRUE(server_->SignOff("Carol Smith"));
    ASSERT_TRUE(alice_.sink->WaitFor(AccEvent::BuddyChange, [](const RecordedEvent& e) {
        long presence = -1;
        VariantToLong(e.Property(2, AccUserProp::Presence).Get(), presence);
        return e.Long(3) == AccUserProp::Presence && presence == AccPresence::Offline;
    }));
    ExpectAllOnThisThread(alice_);
}

TEST_F(OscarSignOnTest, SendingToSomeoneOfflineReportsTheServersRefusal)
{
    ASSERT_EQ(alice_.SignOn(L"welcome1"), AccState::Online);
    ComPtr<IAccImSession> im;
    ASSERT_HRESULT_SUCCEEDED(alice_.session->CreateImSession(CBstr(L"Carol Smith"), AccImMode::Im, &im));
    ComPtr<IAccIm> message;
    ASSERT_HRESULT_SUCCEEDED(im->CreateIm(CBstr(L"are you there?"), CBstr(L"text/plain"), &message));
    ASSERT_HRESULT_SUCCEEDED(im->SendIm(message.Get()));
    auto result = alice_.sink->WaitFor(AccEvent::SendResult);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->Long(4), ACC_E_RECIPIENT_UNAVAILABLE);
}

TEST_F(OscarSignOnTest, ASecondSignOnElsewhereEndsTheFirstWithItsResult)
{
    ASSERT_EQ(alice_.SignOn(L"welcome1"), AccState::Online);
    Account again;
    ASSERT_HRESULT_SUCCEEDED(again.Create(L"Alice Demo", server_->LoginPort()));
    EXPECT_EQ(again.SignOn(L"welcome1"), AccState::Online);
    auto ended = alice_.sink->WaitFor(AccEvent::StateChange, [](const RecordedEvent& e) { return e.Long(1) == 0; });
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->Long(2), ACC_E_SIGNED_ON_ELSEWHERE);
    again.Close();
}

} // namespace
