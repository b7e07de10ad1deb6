// A session driven in-process over a scripted network: sign-on states and
// failures, preferences read afresh at each sign-on, the buddy list with its
// offline group, buddy-list edits, presence, and instant messages. Every
// report of the "server" reaches the session through its message loop, and
// every event reaches the sink on the creating thread.
#include "AccTestSupport.h"
#include "EventWindow.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace AIMCC;
using namespace acctest;

namespace {

UserInfo Online(const wchar_t* name, bool away = false)
{
    UserInfo info;
    info.screenName = name;
    info.away = away;
    info.signOnTime = 1700000000;
    info.userClass = 0x10;
    return info;
}

class SessionFlowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        network_.buddyList.groups = {
            {L"Buddies", {{L"Bob", L"Bobby", L""}, {L"Carol", L"", L"met at work"}}},
            {L"Family", {{L"Dave", L"", L""}}},
        };
        ASSERT_HRESULT_SUCCEEDED(CreateScriptedSession(network_, &session_));
        ASSERT_HRESULT_SUCCEEDED(sink_->Connect(session_.Get()));
        ASSERT_HRESULT_SUCCEEDED(session_->put_PrefsHook(hook_.Get()));
        ASSERT_HRESULT_SUCCEEDED(session_->put_Identity(CBstr(L"Alice")));
    }
    void TearDown() override
    {
        sink_->Disconnect();
        session_.Reset();
        PumpPending();
    }

    void SignOnAndWait()
    {
        ASSERT_HRESULT_SUCCEEDED(session_->SignOn(CBstr(L"secret")));
        ASSERT_TRUE(sink_->WaitFor(AccEvent::BuddyListReady));
    }
    ComPtr<IAccBuddyList> List()
    {
        ComPtr<IAccBuddyList> list;
        EXPECT_HRESULT_SUCCEEDED(session_->get_BuddyList(&list));
        return list;
    }
    ComPtr<IAccGroup> Group(long index)
    {
        ComPtr<IAccGroup> group;
        EXPECT_HRESULT_SUCCEEDED(List()->GetGroupByIndex(index, &group));
        return group;
    }
    std::vector<std::wstring> GroupNames()
    {
        std::vector<std::wstring> names;
        long count = 0;
        List()->get_GroupCount(&count);
        for (long i = 0; i < count; ++i)
            names.push_back(PropertyText(Group(i).Get(), AccGroupProp::Name));
        return names;
    }
    std::vector<std::wstring> Listed(IAccGroup* group)
    {
        std::vector<std::wstring> names;
        long count = 0;
        group->get_BuddyCount(&count);
        for (long i = 0; i < count; ++i) {
            ComPtr<IAccUser> user;
            group->GetBuddyByIndex(i, &user);
            names.push_back(PropertyText(user.Get(), AccUserProp::Name));
        }
        return names;
    }
    // Reports from the "server" arrive through the loop, like a socket's.
    void Report(std::function<void(ITransportEvents&)> report)
    {
        CFakeNetwork* network = &network_;
        network_.Loop()->Post([network, report] {
            if (network->Alive())
                report(*network->Events());
        });
    }

    CFakeNetwork network_;
    ComPtr<IAccSession> session_;
    ComPtr<CEventRecorder> sink_ = CEventRecorder::Make();
    ComPtr<CMapHook> hook_ = CMapHook::Make();
};

TEST_F(SessionFlowTest, SignOnGoesThroughEveryStateToOnline)
{
    SignOnAndWait();
    const std::vector<long> expected = {100, 150, 200, 300, 350, 400, 500};
    EXPECT_EQ(sink_->States(), expected);
    for (const RecordedEvent& event : sink_->Events()) {
        EXPECT_EQ(event.threadId, GetCurrentThreadId());
        if (event.id == AccEvent::StateChange) {
            ASSERT_EQ(event.args.size(), 3u);
            EXPECT_EQ(event.Long(2), S_OK);
        }
    }
    // The list comes before "online"; "ready" (5) follows it.
    size_t listAt = 0, onlineAt = 0, readyAt = 0;
    for (size_t i = 0; i < sink_->Events().size(); ++i) {
        const RecordedEvent& event = sink_->Events()[i];
        if (event.id == AccEvent::BuddyListChange)
            listAt = i;
        if (event.id == AccEvent::StateChange && event.Long(1) == AccState::Online)
            onlineAt = i;
        if (event.id == AccEvent::BuddyListReady) {
            readyAt = i;
            EXPECT_EQ(event.Long(2), AccBuddyListReadyValue);
        }
    }
    EXPECT_LT(listAt, onlineAt);
    EXPECT_LT(onlineAt, readyAt);
    long state = 0;
    ASSERT_HRESULT_SUCCEEDED(session_->get_State(&state));
    EXPECT_EQ(state, AccState::Online);
    EXPECT_EQ(network_.lastSignOn.screenName, L"Alice");
    EXPECT_EQ(network_.lastSignOn.password, L"secret");
    // A second sign-on while online is refused.
    EXPECT_EQ(session_->SignOn(CBstr(L"secret")), E_UNEXPECTED);
}

TEST_F(SessionFlowTest, AWrongPasswordEndsInStateZeroWithItsResultAndSigningOnAgainWorks)
{
    ASSERT_HRESULT_SUCCEEDED(session_->SignOn(CBstr(L"wrong")));
    auto ended = sink_->WaitFor(AccEvent::StateChange, [](const RecordedEvent& e) { return e.Long(1) == 0; });
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->Long(2), ACC_E_INVALID_LOGIN);
    const std::vector<long> failed = {100, 150, 200, 0};
    EXPECT_EQ(sink_->States(), failed);
    long state = -1;
    ASSERT_HRESULT_SUCCEEDED(session_->get_State(&state));
    EXPECT_EQ(state, AccState::Offline);

    sink_->Clear();
    SignOnAndWait();
    EXPECT_EQ(sink_->States().back(), AccState::Online);
    EXPECT_EQ(network_.signOns, 2);
}

TEST_F(SessionFlowTest, ASignOnTheTransportRefusesFailsAtOnce)
{
    network_.refuseSignOn = ACC_E_CONNECT_FAILED;
    EXPECT_EQ(session_->SignOn(CBstr(L"secret")), ACC_E_CONNECT_FAILED);
    PumpPending();
    EXPECT_TRUE(sink_->States().empty());
    network_.refuseSignOn = S_OK;
    SignOnAndWait();
}

struct HostCase {
    const wchar_t* address;    // null: not stored, the hook answers "not set"
    const wchar_t* port;
    const wchar_t* host;
    unsigned short expectedPort;
};

TEST_F(SessionFlowTest, ReadsTheServerFromThePreferencesAfreshAtEverySignOn)
{
    const HostCase cases[] = {
        {L"192.0.2.10", L"6000", L"192.0.2.10", 6000},
        {nullptr, nullptr, L"127.0.0.1", 5190},
        {L"aim.example.net", L"443", L"aim.example.net", 443},
        {L"aim.example.net", L"99999", L"aim.example.net", 5190},
        {nullptr, L"not a port", L"127.0.0.1", 5190},
    };
    int signOns = 0;
    for (const HostCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        // The settings window writes straight into the store between sign-ons.
        hook_->values.erase(L"aimcc.connect.host.address");
        hook_->values.erase(L"aimcc.connect.host.port");
        if (c.address)
            hook_->values[L"aimcc.connect.host.address"] = c.address;
        if (c.port)
            hook_->values[L"aimcc.connect.host.port"] = c.port;

        sink_->Clear();
        SignOnAndWait();
        ++signOns;
        EXPECT_EQ(network_.lastSignOn.host, c.host);
        EXPECT_EQ(network_.lastSignOn.port, c.expectedPort);
        EXPECT_EQ(hook_->reads[L"aimcc.connect.host.address"], signOns);
        EXPECT_EQ(hook_->reads[L"aimcc.connect.host.port"], signOns);

        ASSERT_HRESULT_SUCCEEDED(session_->SignOff());
        ASSERT_TRUE(sink_->WaitFor(AccEvent::StateChange, [](const RecordedEvent& e) { return e.Long(1) == 0; }));
    }
}

TEST_F(SessionFlowTest, SigningOffGoesThroughFiftyToZero)
{
    SignOnAndWait();
    sink_->Clear();
    ASSERT_HRESULT_SUCCEEDED(session_->SignOff());
    // Nothing is told before the call has returned.
    EXPECT_TRUE(sink_->Events().empty());
    ASSERT_TRUE(sink_->WaitFor(AccEvent::StateChange, [](const RecordedEvent& e) { return e.Long(1) == 0; }));
    const std::vector<long> expected = {50, 0};
    EXPECT_EQ(sink_->States(), expected);
    EXPECT_EQ(sink_->Of(AccEvent::StateChange).back().Long(2), S_OK);
    EXPECT_EQ(network_.CallsOf(L"SignOff").size(), 1u);
    // The transport is gone: its late reports change nothing.
    PumpPending();
    EXPECT_FALSE(network_.Alive());
}

TEST_F(SessionFlowTest, AConnectionTheServerEndsIsReportedWithItsResult)
{
    SignOnAndWait();
    Report([](ITransportEvents& events) { events.OnState(AccState::Offline, ACC_E_SIGNED_ON_ELSEWHERE); });
    auto ended = sink_->WaitFor(AccEvent::StateChange, [](const RecordedEvent& e) { return e.Long(1) == 0; });
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->Long(2), ACC_E_SIGNED_ON_ELSEWHERE);
    PumpPending();
    EXPECT_FALSE(network_.Alive());
    SignOnAndWait();
}

// Reports handed over by a worker thread (as a socket thread would) reach
// the sink on the thread that created the session, never on the worker.
TEST_F(SessionFlowTest, ReportsFromAnotherThreadArriveOnTheCreatingThread)
{
    SignOnAndWait();
    std::shared_ptr<CTaskPoster> poster = network_.Loop()->Poster();
    CFakeNetwork* network = &network_;
    std::atomic<DWORD> workerId{0};
    std::atomic<bool> posted{false};
    std::thread worker([&] {
        workerId = GetCurrentThreadId();
        posted = poster->Post([network] { network->Events()->OnUserArrived(Online(L"Bob")); });
    });
    worker.join();
    ASSERT_TRUE(posted);
    // Joined and posted, yet not delivered: delivery waits for this loop.
    EXPECT_EQ(sink_->Count(AccEvent::BuddyChange), 0u);

    auto change = sink_->WaitFor(AccEvent::BuddyChange);
    ASSERT_TRUE(change);
    EXPECT_EQ(change->threadId, GetCurrentThreadId());
    EXPECT_NE(change->threadId, workerId.load());
    EXPECT_EQ(change->Long(3), AccUserProp::Presence);
}

TEST(EventWindow, TasksFromManyThreadsRunOnTheWindowThreadInEachThreadsOrder)
{
    std::shared_ptr<CEventWindow> window = CEventWindow::Create();
    ASSERT_TRUE(window);
    const int kThreads = 4;
    const int kTasks = 200;
    std::vector<std::vector<int>> seen(kThreads);
    std::vector<DWORD> ranOn;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t, poster = window->Poster()] {
            for (int i = 0; i < kTasks; ++i)
                poster->Post([&, t, i] {
                    seen[t].push_back(i);
                    ranOn.push_back(GetCurrentThreadId());
                });
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    ASSERT_TRUE(PumpUntil([&] { return ranOn.size() == size_t(kThreads * kTasks); }));
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(seen[t].size(), size_t(kTasks));
        for (int i = 0; i < kTasks; ++i)
            EXPECT_EQ(seen[t][i], i);
    }
    for (DWORD id : ranOn)
        EXPECT_EQ(id, GetCurrentThreadId());
}

TEST(EventWindow, TasksLeftWhenTheWindowGoesAreDroppedAndLaterPostsRefused)
{
    std::shared_ptr<CEventWindow> window = CEventWindow::Create();
    ASSERT_TRUE(window);
    auto token = std::make_shared<int>(0);
    bool ran = false;
    ASSERT_TRUE(window->Post([&ran, token] { ran = true; }));
    std::shared_ptr<CTaskPoster> poster = window->Poster();
    EXPECT_EQ(token.use_count(), 2);
    window.reset();
    // The queued task was destroyed with what it held, and never ran.
    EXPECT_EQ(token.use_count(), 1);
    PumpPending();
    EXPECT_FALSE(ran);
    EXPECT_FALSE(poster->Post([&ran] { ran = true; }));
}

TEST_F(SessionFlowTest, TheBuddyListLoadsInOrderWithTheOfflineGroupLast)
{
    SignOnAndWait();
    const std::vector<std::wstring> groups = {L"Buddies", L"Family", L"Offline"};
    EXPECT_EQ(GroupNames(), groups);
    EXPECT_FALSE(PropertyBool(Group(0).Get(), AccGroupProp::IsOfflineGroup));
    EXPECT_TRUE(PropertyBool(Group(2).Get(), AccGroupProp::IsOfflineGroup));

    // Nobody is online yet: every buddy is in the offline group, in list order.
    EXPECT_TRUE(Listed(Group(0).Get()).empty());
    const std::vector<std::wstring> everyone = {L"Bob", L"Carol", L"Dave"};
    EXPECT_EQ(Listed(Group(2).Get()), everyone);

    ComPtr<IAccUser> carol;
    ASSERT_HRESULT_SUCCEEDED(session_->GetUser(CBstr(L"carol"), &carol));
    EXPECT_EQ(PropertyText(carol.Get(), AccUserProp::Note), L"met at work");
    EXPECT_EQ(PropertyLong(carol.Get(), AccUserProp::Presence), AccPresence::Offline);
    EXPECT_TRUE(PropertyBool(carol.Get(), AccUserProp::OnBuddyList));
    long groupsOfCarol = 0;
    ASSERT_HRESULT_SUCCEEDED(carol->get_GroupCount(&groupsOfCarol));
    EXPECT_EQ(groupsOfCarol, 1);
    VARIANT_BOOL holds = VARIANT_FALSE;
    ASSERT_HRESULT_SUCCEEDED(List()->HoldsBuddy(CBstr(L"DAVE"), &holds));
    EXPECT_EQ(holds, VARIANT_TRUE);
    ASSERT_HRESULT_SUCCEEDED(List()->HoldsBuddy(CBstr(L"Mallory"), &holds));
    EXPECT_EQ(holds, VARIANT_FALSE);
    ComPtr<IAccGroup> byName;
    EXPECT_EQ(List()->GetGroupByName(CBstr(L"family"), &byName), S_OK);
    EXPECT_EQ(List()->GetGroupByName(CBstr(L"Strangers"), &byName), S_FALSE);
}

TEST_F(SessionFlowTest, ArrivalsAndDeparturesMoveBuddiesAndCarryTheOldValues)
{
    SignOnAndWait();
    Report([](ITransportEvents& events) { events.OnUserArrived(Online(L"Bob")); });
    auto arrived = sink_->WaitFor(AccEvent::BuddyChange, [](const RecordedEvent& e) {
        return e.Long(3) == AccUserProp::Presence;
    });
    ASSERT_TRUE(arrived);
    ASSERT_EQ(arrived->args.size(), 5u);
    EXPECT_EQ(arrived->Long(4), S_OK);
    long before = 0, now = 0;
    VariantToLong(arrived->Property(1, AccUserProp::Presence).Get(), before);
    VariantToLong(arrived->Property(2, AccUserProp::Presence).Get(), now);
    EXPECT_EQ(before, AccPresence::Offline);
    EXPECT_EQ(now, AccPresence::Available);

    const std::vector<std::wstring> bob = {L"Bob"};
    const std::vector<std::wstring> rest = {L"Carol", L"Dave"};
    EXPECT_EQ(Listed(Group(0).Get()), bob);
    EXPECT_EQ(Listed(Group(2).Get()), rest);
    EXPECT_EQ(PropertyLong(Group(0).Get(), AccGroupProp::OnlineCount), 1);

    sink_->Clear();
    Report([](ITransportEvents& events) { events.OnUserArrived(Online(L"Bob", true)); });
    auto away = sink_->WaitFor(AccEvent::BuddyChange, [](const RecordedEvent& e) {
        long presence = 0;
        VariantToLong(e.Property(2, AccUserProp::Presence).Get(), presence);
        return e.Long(3) == AccUserProp::Presence && presence == AccPresence::Away;
    });
    ASSERT_TRUE(away);
    long wasPresence = 0;
    VariantToLong(away->Property(1, AccUserProp::Presence).Get(), wasPresence);
    EXPECT_EQ(wasPresence, AccPresence::Available);
    ComPtr<IAccUser> user;
    ASSERT_HRESULT_SUCCEEDED(session_->GetUser(CBstr(L"bob"), &user));
    EXPECT_EQ(PropertyLong(user.Get(), AccUserProp::Presence), AccPresence::Away);

    sink_->Clear();
    Report([](ITransportEvents& events) { events.OnUserDeparted(L"bob"); });
    auto left = sink_->WaitFor(AccEvent::BuddyChange, [](const RecordedEvent& e) {
        return e.Long(3) == AccUserProp::Presence;
    });
    ASSERT_TRUE(left);
    EXPECT_EQ(PropertyLong(user.Get(), AccUserProp::Presence), AccPresence::Offline);
    EXPECT_TRUE(Listed(Group(0).Get()).empty());
}

struct OfflineModeCase {
    const wchar_t* hideOfflineGroup;
    const wchar_t* hideOfflineBuddies;
    std::vector<std::wstring> groups;
    std::vector<std::wstring> buddiesListed;   // of "Buddies", with Bob online
};

TEST_F(SessionFlowTest, WhatTheGroupsListFollowsTheOfflinePreferences)
{
    SignOnAndWait();
    Report([](ITransportEvents& events) { events.OnUserArrived(Online(L"Bob")); });
    ASSERT_TRUE(sink_->WaitFor(AccEvent::BuddyChange));

    ComPtr<IAccPreferences> prefs;
    ASSERT_HRESULT_SUCCEEDED(session_->get_Prefs(&prefs));
    const OfflineModeCase cases[] = {
        {L"0", L"0", {L"Buddies", L"Family", L"Offline"}, {L"Bob"}},
        {L"-1", L"0", {L"Buddies", L"Family"}, {L"Bob", L"Carol"}},
        {L"-1", L"-1", {L"Buddies", L"Family"}, {L"Bob"}},
        {L"0", L"-1", {L"Buddies", L"Family", L"Offline"}, {L"Bob"}},
    };
    for (const OfflineModeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        sink_->Clear();
        ASSERT_HRESULT_SUCCEEDED(prefs->SetValue(CBstr(L"aimcc.buddyList.hideOfflineGroup"), CVariant::Text(c.hideOfflineGroup).Get()));
        ASSERT_HRESULT_SUCCEEDED(prefs->SetValue(CBstr(L"aimcc.buddyList.hideOfflineBuddies"), CVariant::Text(c.hideOfflineBuddies).Get()));
        ASSERT_TRUE(sink_->WaitFor(AccEvent::BuddyListChange));
        EXPECT_EQ(GroupNames(), c.groups);
        EXPECT_EQ(Listed(Group(0).Get()), c.buddiesListed);
    }
}

TEST_F(SessionFlowTest, BuddyEditsGoToTheServerAndComeBackAsEvents)
{
    SignOnAndWait();
    Report([](ITransportEvents& events) { events.OnUserArrived(Online(L"Erin")); });
    ASSERT_TRUE(sink_->WaitFor(AccEvent::BuddyChange));

    // Add: the user object comes back at once, the event once the server agrees.
    ComPtr<IAccUser> erin;
    ASSERT_HRESULT_SUCCEEDED(Group(0)->AddBuddy(CBstr(L"Erin"), 0, &erin));
    ASSERT_EQ(network_.CallsOf(L"AddBuddy").size(), 1u);
    EXPECT_EQ(network_.CallsOf(L"AddBuddy")[0].args[0], L"Buddies");
    auto added = sink_->WaitFor(AccEvent::BuddyAdded);
    ASSERT_TRUE(added);
    ASSERT_EQ(added->args.size(), 5u);
    EXPECT_EQ(added->Object(1), static_cast<IDispatch*>(Group(0).Get()));
    EXPECT_EQ(added->Object(2), static_cast<IDispatch*>(erin.Get()));
    EXPECT_EQ(added->Long(3), 0);
    EXPECT_EQ(added->Long(4), S_OK);
    const std::vector<std::wstring> withErin = {L"Erin"};
    EXPECT_EQ(Listed(Group(0).Get()), withErin);
    long index = -1;
    ASSERT_HRESULT_SUCCEEDED(Group(0)->GetBuddyIndex(CBstr(L"erin"), &index));
    EXPECT_EQ(index, 0);

    // Move Carol to Family, then remove Dave.
    ASSERT_HRESULT_SUCCEEDED(Group(0)->MoveBuddy(CBstr(L"Carol"), Group(1).Get(), -1));
    auto moved = sink_->WaitFor(AccEvent::BuddyMoved);
    ASSERT_TRUE(moved);
    ASSERT_EQ(moved->args.size(), 7u);
    EXPECT_EQ(moved->Property(1, AccGroupProp::Name).Get().bstrVal, std::wstring(L"Buddies"));
    EXPECT_EQ(moved->Property(3, AccGroupProp::Name).Get().bstrVal, std::wstring(L"Family"));
    EXPECT_EQ(moved->Long(6), S_OK);
    ComPtr<IAccUser> carol;
    ASSERT_HRESULT_SUCCEEDED(session_->GetUser(CBstr(L"Carol"), &carol));
    ComPtr<IAccGroup> carolsGroup;
    ASSERT_HRESULT_SUCCEEDED(carol->GetGroup(0, &carolsGroup));
    EXPECT_EQ(PropertyText(carolsGroup.Get(), AccGroupProp::Name), L"Family");

    ASSERT_HRESULT_SUCCEEDED(Group(1)->RemoveBuddy(CBstr(L"Dave")));
    auto removed = sink_->WaitFor(AccEvent::BuddyRemoved);
    ASSERT_TRUE(removed);
    ASSERT_EQ(removed->args.size(), 4u);
    EXPECT_EQ(removed->Long(3), S_OK);
    VARIANT_BOOL holds = VARIANT_TRUE;
    ASSERT_HRESULT_SUCCEEDED(List()->HoldsBuddy(CBstr(L"Dave"), &holds));
    EXPECT_EQ(holds, VARIANT_FALSE);

    // Removing a buddy the group does not hold, or editing the offline group, is refused here.
    EXPECT_EQ(Group(0)->RemoveBuddy(CBstr(L"Dave")), E_INVALIDARG);
    ComPtr<IAccUser> none;
    EXPECT_EQ(Group(2)->AddBuddy(CBstr(L"Zed"), -1, &none), E_ACCESSDENIED);
}

TEST_F(SessionFlowTest, GroupEditsGoToTheServerAndComeBackAsEvents)
{
    SignOnAndWait();
    ComPtr<IAccGroup> friends;
    ASSERT_HRESULT_SUCCEEDED(List()->InsertGroup(CBstr(L"Friends"), 1, &friends));
    auto added = sink_->WaitFor(AccEvent::GroupAdded);
    ASSERT_TRUE(added);
    ASSERT_EQ(added->args.size(), 5u);
    EXPECT_EQ(added->Long(3), 1);
    EXPECT_EQ(added->Long(4), S_OK);
    EXPECT_EQ(added->Object(2), static_cast<IDispatch*>(friends.Get()));
    const std::vector<std::wstring> inserted = {L"Buddies", L"Friends", L"Family", L"Offline"};
    EXPECT_EQ(GroupNames(), inserted);

    ASSERT_HRESULT_SUCCEEDED(List()->MoveGroup(friends.Get(), 0));
    auto moved = sink_->WaitFor(AccEvent::GroupChange);
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->Long(2), AccGroupChange::Moved);
    EXPECT_EQ(GroupNames()[0], L"Friends");

    sink_->Clear();
    ASSERT_HRESULT_SUCCEEDED(friends->put_Name(CBstr(L"Pals")));
    auto renamed = sink_->WaitFor(AccEvent::GroupChange);
    ASSERT_TRUE(renamed);
    EXPECT_EQ(renamed->Long(2), AccGroupChange::Appearance);
    EXPECT_EQ(PropertyText(friends.Get(), AccGroupProp::Name), L"Pals");

    ASSERT_HRESULT_SUCCEEDED(List()->RemoveGroup(friends.Get()));
    auto removed = sink_->WaitFor(AccEvent::GroupRemoved);
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->Long(2), S_OK);
    const std::vector<std::wstring> after = {L"Buddies", L"Family", L"Offline"};
    EXPECT_EQ(GroupNames(), after);
    EXPECT_EQ(List()->RemoveGroup(Group(2).Get()), E_ACCESSDENIED);
}

TEST_F(SessionFlowTest, AnEditTheServerRefusesIsReportedAndChangesNothing)
{
    SignOnAndWait();
    network_.editResult = ACC_E_NOT_PERMITTED;
    ComPtr<IAccUser> user;
    ASSERT_HRESULT_SUCCEEDED(Group(1)->AddBuddy(CBstr(L"Frank"), -1, &user));
    auto added = sink_->WaitFor(AccEvent::BuddyAdded);
    ASSERT_TRUE(added);
    EXPECT_EQ(added->Long(4), ACC_E_NOT_PERMITTED);
    VARIANT_BOOL holds = VARIANT_TRUE;
    ASSERT_HRESULT_SUCCEEDED(List()->HoldsBuddy(CBstr(L"Frank"), &holds));
    EXPECT_EQ(holds, VARIANT_FALSE);

    ComPtr<IAccGroup> group;
    ASSERT_HRESULT_SUCCEEDED(List()->InsertGroup(CBstr(L"Nope"), -1, &group));
    auto refused = sink_->WaitFor(AccEvent::GroupAdded);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->Long(4), ACC_E_NOT_PERMITTED);
    EXPECT_EQ(GroupNames().size(), 3u);
}

TEST_F(SessionFlowTest, EditsWhileSignedOffAreRefused)
{
    ComPtr<IAccGroup> group;
    EXPECT_EQ(List()->InsertGroup(CBstr(L"Friends"), -1, &group), ACC_E_NOT_CONNECTED);
    EXPECT_TRUE(network_.calls.empty());
}

TEST_F(SessionFlowTest, InstantMessagesGoBothWaysWithTypingNotices)
{
    SignOnAndWait();
    Report([](ITransportEvents& events) { events.OnImReceived(IncomingIm{L"Bob", L"<b>hi</b> Alice", false, false}); });
    auto offered = sink_->WaitFor(AccEvent::SecondarySessionOffered);
    ASSERT_TRUE(offered);
    EXPECT_EQ(offered->Long(2), AccSecondaryType::Im);
    auto received = sink_->WaitFor(AccEvent::MessageReceived);
    ASSERT_TRUE(received);
    ASSERT_EQ(received->args.size(), 4u);
    EXPECT_EQ(received->threadId, GetCurrentThreadId());
    std::wstring from;
    VariantToText(received->Property(2, AccUserProp::Name).Get(), from);
    EXPECT_EQ(from, L"Bob");
    ComPtr<IAccIm> message;
    ASSERT_HRESULT_SUCCEEDED(received->Object(3)->QueryInterface(IID_PPV_ARGS(&message)));
    BSTR plain = nullptr;
    ASSERT_HRESULT_SUCCEEDED(message->GetConvertedText(CBstr(L"text/plain"), &plain));
    EXPECT_STREQ(plain, L"hi Alice");
    SysFreeString(plain);

    // The offered session is the one the client gets for that name.
    ComPtr<IAccImSession> im;
    ASSERT_HRESULT_SUCCEEDED(session_->CreateImSession(CBstr(L"bob"), AccImMode::Im, &im));
    EXPECT_EQ(static_cast<IDispatch*>(im.Get()), offered->Object(1));
    EXPECT_EQ(PropertyLong(im.Get(), AccImSessionProp::State), AccSecondaryState::Ready);
    EXPECT_EQ(PropertyText(im.Get(), AccImSessionProp::RemoteName), L"Bob");

    // A second message raises no second offer.
    Report([](ITransportEvents& events) { events.OnImReceived(IncomingIm{L"Bob", L"again", false, false}); });
    ASSERT_TRUE(PumpUntil([&] { return sink_->Count(AccEvent::MessageReceived) == 2; }));
    PumpPending();
    EXPECT_EQ(sink_->Count(AccEvent::SecondarySessionOffered), 1u);
    EXPECT_EQ(sink_->Count(AccEvent::MessageReceived), 2u);

    // Typing, both ways.
    ASSERT_HRESULT_SUCCEEDED(im->SetTypingState(AccTyping::Typing));
    ASSERT_EQ(network_.CallsOf(L"SendTyping").size(), 1u);
    EXPECT_EQ(network_.CallsOf(L"SendTyping")[0].args[1], L"2");
    Report([](ITransportEvents& events) { events.OnTyping(L"bob", AccTyping::Typing); });
    auto typing = sink_->WaitFor(AccEvent::TypingChange);
    ASSERT_TRUE(typing);
    EXPECT_EQ(typing->Long(3), AccTyping::Typing);
    EXPECT_EQ(typing->Object(1), static_cast<IDispatch*>(im.Get()));

    // Sending: "sent" at once, the server's result after.
    ComPtr<IAccIm> reply;
    ASSERT_HRESULT_SUCCEEDED(im->CreateIm(CBstr(L"hello <Bob>"), CBstr(L"text/plain"), &reply));
    ASSERT_HRESULT_SUCCEEDED(im->SendIm(reply.Get()));
    ASSERT_EQ(network_.CallsOf(L"SendIm").size(), 1u);
    EXPECT_EQ(network_.CallsOf(L"SendIm")[0].args[0], L"Bob");
    EXPECT_EQ(network_.CallsOf(L"SendIm")[0].args[1], L"hello &lt;Bob&gt;");
    auto sent = sink_->WaitFor(AccEvent::MessageSent);
    ASSERT_TRUE(sent);
    std::wstring sender;
    VariantToText(sent->Property(2, AccUserProp::Name).Get(), sender);
    EXPECT_EQ(sender, L"Alice");
    auto result = sink_->WaitFor(AccEvent::SendResult);
    ASSERT_TRUE(result);
    ASSERT_EQ(result->args.size(), 5u);
    EXPECT_EQ(result->Long(4), S_OK);

    network_.sendResult = ACC_E_RECIPIENT_UNAVAILABLE;
    sink_->Clear();
    ASSERT_HRESULT_SUCCEEDED(im->SendIm(reply.Get()));
    result = sink_->WaitFor(AccEvent::SendResult);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->Long(4), ACC_E_RECIPIENT_UNAVAILABLE);

    // Closing ends the session (501, state 0); a new one can be made.
    ASSERT_HRESULT_SUCCEEDED(im->Close());
    auto closed = sink_->WaitFor(AccEvent::SecondarySessionState);
    ASSERT_TRUE(closed);
    EXPECT_EQ(closed->Long(2), AccSecondaryState::Closed);
    EXPECT_EQ(im->SendIm(reply.Get()), E_UNEXPECTED);
    ComPtr<IAccImSession> fresh;
    ASSERT_HRESULT_SUCCEEDED(session_->CreateImSession(CBstr(L"Bob"), AccImMode::Im, &fresh));
    EXPECT_NE(fresh.Get(), im.Get());
}

TEST_F(SessionFlowTest, SendingWhileSignedOffIsRefused)
{
    ComPtr<IAccImSession> im;
    ASSERT_HRESULT_SUCCEEDED(session_->CreateImSession(CBstr(L"Bob"), AccImMode::Im, &im));
    EXPECT_EQ(PropertyLong(im.Get(), AccImSessionProp::State), AccSecondaryState::Closed);
    ComPtr<IAccIm> message;
    ASSERT_HRESULT_SUCCEEDED(im->CreateIm(CBstr(L"hi"), CBstr(L"text/plain"), &message));
    EXPECT_EQ(im->SendIm(message.Get()), ACC_E_NOT_CONNECTED);
    EXPECT_EQ(im->SetTypingState(AccTyping::Typing), ACC_E_NOT_CONNECTED);
    ComPtr<IAccImSession> direct;
    EXPECT_EQ(session_->CreateImSession(CBstr(L"Bob"), AccImMode::DirectIm, &direct), E_NOTIMPL);
}

TEST_F(SessionFlowTest, WhileAwayIncomingMessagesGetTheAwayMessageAsAnAutomaticReply)
{
    SignOnAndWait();
    ASSERT_HRESULT_SUCCEEDED(session_->put_Property(AccSessionProp::AwayMessage, CVariant::Text(L"<i>out</i>").Get()));
    ASSERT_EQ(network_.CallsOf(L"SetAwayMessage").size(), 1u);
    EXPECT_EQ(network_.CallsOf(L"SetAwayMessage")[0].args[0], L"<i>out</i>");

    Report([](ITransportEvents& events) { events.OnImReceived(IncomingIm{L"Carol", L"there?", false, false}); });
    ASSERT_TRUE(sink_->WaitFor(AccEvent::MessageSent));
    ASSERT_EQ(network_.CallsOf(L"SendIm").size(), 1u);
    EXPECT_EQ(network_.CallsOf(L"SendIm")[0].args[0], L"Carol");
    EXPECT_EQ(network_.CallsOf(L"SendIm")[0].args[1], L"<i>out</i>");
    EXPECT_EQ(network_.CallsOf(L"SendIm")[0].args[2], L"1");

    // Another automatic reply is not answered, nor anything with the preference off.
    Report([](ITransportEvents& events) { events.OnImReceived(IncomingIm{L"Carol", L"auto", true, false}); });
    hook_->values[L"aimcc.away.autoRespond"] = L"0";
    Report([](ITransportEvents& events) { events.OnImReceived(IncomingIm{L"Dave", L"hey", false, false}); });
    ASSERT_TRUE(sink_->WaitFor(AccEvent::MessageReceived, [](const RecordedEvent& e) {
        std::wstring name;
        VariantToText(e.Property(2, AccUserProp::Name).Get(), name);
        return name == L"Dave";
    }));
    PumpPending();
    EXPECT_EQ(network_.CallsOf(L"SendIm").size(), 1u);

    // Coming back clears it on the server too.
    ASSERT_HRESULT_SUCCEEDED(session_->put_Property(AccSessionProp::AwayMessage, CVariant().Get()));
    ASSERT_EQ(network_.CallsOf(L"SetAwayMessage").size(), 2u);
    EXPECT_EQ(network_.CallsOf(L"SetAwayMessage")[1].args[0], L"");
}

TEST_F(SessionFlowTest, ProfilesAndAwayMessagesOfOthersAreFetchedOnRequest)
{
    SignOnAndWait();
    ComPtr<IAccUser> bob;
    ASSERT_HRESULT_SUCCEEDED(session_->GetUser(CBstr(L"Bob"), &bob));
    CVariant profile;
    EXPECT_EQ(bob->get_Property(AccUserProp::Profile, profile.Out()), ACC_E_PENDING);

    long request = 0;
    ASSERT_HRESULT_SUCCEEDED(bob->RequestProperty(AccUserProp::Profile, &request));
    EXPECT_GT(request, 0);
    auto answered = sink_->WaitFor(AccEvent::UserRequestDone);
    ASSERT_TRUE(answered);
    ASSERT_EQ(answered->args.size(), 6u);
    EXPECT_EQ(answered->Long(2), AccUserProp::Profile);
    EXPECT_EQ(answered->Long(3), request);
    EXPECT_EQ(answered->Long(4), S_OK);

    ASSERT_HRESULT_SUCCEEDED(bob->get_Property(AccUserProp::Profile, profile.Out()));
    ASSERT_EQ(profile.Type(), VT_DISPATCH);
    ComPtr<IAccIm> text;
    ASSERT_HRESULT_SUCCEEDED(profile.Get().pdispVal->QueryInterface(IID_PPV_ARGS(&text)));
    BSTR html = nullptr;
    ASSERT_HRESULT_SUCCEEDED(text->GetConvertedText(CBstr(L"text/html"), &html));
    EXPECT_STREQ(html, L"<b>text of Bob</b>");
    SysFreeString(html);

    EXPECT_EQ(bob->RequestProperty(AccUserProp::Name, &request), E_INVALIDARG);
}

TEST(AdditionalAccountSignOnTest, UsesTheStoredPasswordOnlyForAnAdditionalAccount)
{
    struct Case {
        bool additional;
        const wchar_t* stored;
        const wchar_t* given;
        HRESULT result;
        const wchar_t* sent;
    } cases[] = {
        {true, L"secret", L"", S_OK, L"secret"},
        {true, L"secret", L"typed", S_OK, L"typed"},
        {true, nullptr, L"", ACC_E_BAD_PASSWORD, nullptr},
        {false, L"secret", L"", ACC_E_BAD_PASSWORD, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        CFakeNetwork network;
        ComPtr<IAccSession> primary;
        ComPtr<IAccSession> session;
        ASSERT_HRESULT_SUCCEEDED(CreateScriptedSession(network, &primary));
        ASSERT_HRESULT_SUCCEEDED(CreateScriptedSession(network, &session));
        ComPtr<CMapHook> hook = CMapHook::Make();
        if (c.stored)
            hook->values[L"aimcc.accounts.password.bobsmith"] = c.stored;
        ASSERT_HRESULT_SUCCEEDED(session->put_PrefsHook(hook.Get()));
        ASSERT_HRESULT_SUCCEEDED(session->put_Identity(CBstr(L"Bob Smith")));
        if (c.additional) {
            ASSERT_HRESULT_SUCCEEDED(
                session->put_Property(AccSessionProp::PrimarySession, CVariant::Object(primary.Get()).Get()));
        }
        network.goodPassword = L"secret";
        EXPECT_EQ(session->SignOn(CBstr(c.given)), c.result);
        if (c.sent) {
            EXPECT_EQ(network.lastSignOn.password, c.sent);
            session->SignOff();
        }
        PumpPending();
    }
}

} // namespace

namespace {

// The last idle time the session reported to the network, or -1.
long LastReportedIdle(const CFakeNetwork& network)
{
    long seconds = -1;
    for (const TransportCall& call : network.calls) {
        if (call.what == L"SetIdle" && !call.args.empty())
            seconds = std::stol(call.args[0]);
    }
    return seconds;
}

} // namespace

TEST_F(SessionFlowTest, WithoutInputPastTheThresholdTheAccountIsReportedIdle)
{
    // Nobody touches this test machine's keyboard: with a one-second
    // threshold the layer's own clock finds the user idle.
    VARIANT threshold;
    threshold.vt = VT_I4;
    threshold.lVal = 1;
    ASSERT_HRESULT_SUCCEEDED(session_->put_Property(AccSessionProp::IdleThreshold, threshold));
    SignOnAndWait();
    ASSERT_TRUE(PumpUntil([&] { return LastReportedIdle(network_) > 0; }, 10000));

    // A threshold set by the client ends the reported idleness at once.
    threshold.lVal = 3600;
    ASSERT_HRESULT_SUCCEEDED(session_->put_Property(AccSessionProp::IdleThreshold, threshold));
    EXPECT_EQ(0, LastReportedIdle(network_));
}
