// The connection objects as the AIM layer's events reach them: the argument
// rule of the event sink, advising a session, the request map, the routing
// of buddy-list events to the pane, the notification icon and the notices a
// session state leaves. The main window is a small stand-in here that
// records what it is told; the sign-on flow tests drive the real one.
#include "AIMConnection.h"
#include "AccEventSink.h"
#include "AppState.h"
#include "BuddyListEvents.h"
#include "LangStrings.h"
#include "MainPanes.h"
#include "NotificationIcon.h"
#include "RequestMap.h"
#include "ScopedHandle.h"
#include "Seams.h"
#include "SignOnPane.h"
#include "SubclsWnd.h"
#include "TestSupport.h"
#include "UserPrefs.h"
#include "WindowKinds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <stdexcept>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

VARIANT Long(long value)
{
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT Result(unsigned long value)
{
    return Long(static_cast<long>(value));
}

VARIANT None()
{
    VARIANT v;
    VariantInit(&v);
    return v;
}

// Raises an event the way the layer does: the arguments in COM's reversed
// order, so keeping only `count` of them leaves out the first ones.
void Raise(IDispatch* sink, DISPID id, std::vector<VARIANT> args, UINT count = UINT_MAX)
{
    std::reverse(args.begin(), args.end());
    DISPPARAMS params = {args.data(), nullptr, std::min<UINT>(count, static_cast<UINT>(args.size())), 0};
    EXPECT_EQ(S_OK, sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr)) << id;
}

// A sink that writes down the numbers its handlers receive.
class CRecordingSink : public AIMCC::CAccEventSink {
public:
    static ComPtr<CRecordingSink> Make()
    {
        ComPtr<CRecordingSink> sink;
        *sink.GetAddressOf() = new CRecordingSink();
        return sink;
    }

    struct Call {
        DISPID id;
        std::vector<long> values;
    };
    std::vector<Call> calls;
    bool throwFromHandler = false;

protected:
    void OnStateChange(AIMCC::IAccSession*, long state, HRESULT result) override
    {
        if (throwFromHandler)
            throw std::runtime_error("handler failed");
        calls.push_back({100, {state, result}});
    }
    void OnBuddyMoved(AIMCC::IAccSession*, AIMCC::IAccGroup*, long from, AIMCC::IAccGroup*, long to,
                      AIMCC::IAccUser*, HRESULT result) override
    {
        calls.push_back({206, {from, to, result}});
    }
    void OnServerUrlReady(long requestId, HRESULT result, const std::wstring& url, AIMCC::IAccSession*,
                          const std::wstring&, const VARIANT&) override
    {
        calls.push_back({108, {requestId, result, static_cast<long>(url.size())}});
    }
    void OnEvent210(AIMCC::IAccSession*) override { calls.push_back({210, {}}); }
    void OnRequestForget(AIMCC::IAccSession*, long requestId, HRESULT result) override
    {
        calls.push_back({1101, {requestId, result}});
    }
};

TEST(AccEventSinkTest, DeliversOnlyEventsWithAllTheirArguments)
{
    BSTR url = SysAllocString(L"http://a.example/");
    VARIANT text;
    text.vt = VT_BSTR;
    text.bstrVal = url;
    struct Case {
        DISPID id;
        std::vector<VARIANT> args;
        std::vector<long> values;
    } cases[] = {
        {100, {None(), Long(500), Result(0x80040213)}, {500, static_cast<long>(0x80040213)}},
        {206, {None(), None(), Long(2), None(), Long(4), None(), Long(0)}, {2, 4, 0}},
        {108, {Long(9), Long(0), text, None(), None(), Long(0)}, {9, 0, 17}},
        {210, {None()}, {}},
        {1101, {None(), Long(12), Long(0)}, {12, 0}},
    };
    for (const Case& c : cases) {
        ComPtr<CRecordingSink> sink = CRecordingSink::Make();
        Raise(sink.Get(), c.id, c.args, static_cast<UINT>(c.args.size() - 1));
        EXPECT_TRUE(sink->calls.empty()) << c.id << ": one argument short";
        Raise(sink.Get(), c.id, c.args);
        ASSERT_EQ(1u, sink->calls.size()) << c.id;
        EXPECT_EQ(c.id, sink->calls[0].id);
        EXPECT_EQ(c.values, sink->calls[0].values) << c.id;
    }
    SysFreeString(url);

    ComPtr<CRecordingSink> sink = CRecordingSink::Make();
    Raise(sink.Get(), 4242, {None(), None(), None()});
    EXPECT_TRUE(sink->calls.empty()) << "unknown ids are ignored";
    sink->throwFromHandler = true;
    Raise(sink.Get(), 100, {None(), Long(0), Long(0)});
    EXPECT_TRUE(sink->calls.empty());
}

// The main window as far as the connections see it.
class CFakeMainPanes : public IMainPanes {
public:
    HWND window = nullptr;
    IBuddyListEvents* list = nullptr;
    std::vector<std::wstring> notices;
    int cleared = 0;

    HWND PanesWindow() const override { return window; }
    CMainSignOnPane* SignOnPane() override { return nullptr; }
    CMainSignOnStatePane* SignOnProgressPane() override { return nullptr; }
    CPaneWnd* BuddyListPane() override { return nullptr; }
    IBuddyListEvents* BuddyList() override { return list; }
    void AddNotice(HICON, const std::wstring& text) override { notices.push_back(text); }
    void ClearNotices() override { ++cleared; }
};

class CRecordingBuddyList : public IBuddyListEvents {
public:
    std::vector<std::string> calls;
    CAIMConnection* connection = nullptr;

    void AddIdentity(CAIMConnection* c) override { Note("AddIdentity", c); }
    void RemoveIdentity(CAIMConnection* c) override { Note("RemoveIdentity", c); }
    void Reset() override { Note("Reset", nullptr); }
    void RebuildIdentity(CAIMConnection* c) override { Note("RebuildIdentity", c); }
    void OnGroupRemoved(CAIMConnection* c, AIMCC::IAccGroup*) override { Note("GroupRemoved", c); }
    void OnBuddyAdded(CAIMConnection* c, AIMCC::IAccGroup*, AIMCC::IAccUser*) override { Note("BuddyAdded", c); }
    void OnBuddyRemoved(CAIMConnection* c, AIMCC::IAccGroup*, AIMCC::IAccUser*) override
    {
        Note("BuddyRemoved", c);
    }
    void OnBuddyMoved(CAIMConnection* c, AIMCC::IAccGroup*, AIMCC::IAccGroup*, AIMCC::IAccUser*) override
    {
        Note("BuddyMoved", c);
    }
    void OnGroupChanged(CAIMConnection* c, AIMCC::IAccGroup*, long) override { Note("GroupChanged", c); }
    void OnBuddyChanged(CAIMConnection* c, AIMCC::IAccUser*, long) override { Note("BuddyChanged", c); }
    void Redraw() override { Note("Redraw", nullptr); }

private:
    void Note(const char* what, CAIMConnection* c)
    {
        calls.push_back(what);
        connection = c;
    }
};

class ConnectionEventTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ReleaseAllSessions();
        SetSignOnStartedByUser(false);
        Settings().SetPath(folder.File(L"Velmora.ini").c_str());
        lang.reset(LoadLibraryExW((ExeFolder() + L"VLMLang.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(lang);
        SetLangModule(lang.get());
        panes.window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_TRUE(panes.window);
        panes.list = &list;
        SetMainPanes(&panes);
        primary = CAIMConnection::Create();
        other = CAIMConnection::Create();
        ASSERT_TRUE(primary && other);
        Connections().push_back(primary);
        Connections().push_back(other);
    }
    void TearDown() override
    {
        ReleaseAllSessions();
        PumpPending();
        SetMainPanes(nullptr);
        DestroyWindow(panes.window);
        Settings().SetPath(nullptr);
        SetLangModule(nullptr);
    }

    TempFolder folder;
    ScopedModule lang;
    CFakeMainPanes panes;
    CRecordingBuddyList list;
    ComPtr<CAIMConnection> primary;
    ComPtr<CAIMConnection> other;
};

TEST_F(ConnectionEventTest, BuddyListEventsReachThePaneUnlessTheServerRefused)
{
    const unsigned long refused = 0x80040283;
    struct Case {
        DISPID id;
        std::vector<VARIANT> args;
        const char* call; // null: the pane hears nothing
    } cases[] = {
        {201, {None(), None(), Long(0), Long(0)}, "RebuildIdentity"},
        {201, {None(), None(), Long(0), Result(refused)}, nullptr},
        {202, {None(), None(), Long(0)}, "GroupRemoved"},
        {203, {None(), None(), None(), Long(1), Long(0)}, "RebuildIdentity"},
        {204, {None(), None(), None(), Long(0), Long(0)}, "BuddyAdded"},
        {204, {None(), None(), None(), Long(0), Result(refused)}, nullptr},
        {205, {None(), None(), None(), Long(0)}, "BuddyRemoved"},
        {206, {None(), None(), Long(0), None(), Long(1), None(), Long(0)}, "BuddyMoved"},
        {206, {None(), None(), Long(0), None(), Long(1), None(), Result(refused)}, nullptr},
        {208, {None(), None(), Long(2)}, "GroupChanged"},
        {208, {None(), None(), Long(0)}, "GroupChanged"},
        {208, {None(), None(), Long(1)}, nullptr},
        {209, {None(), None(), None(), Long(3), Long(0)}, "BuddyChanged"},
        {209, {None(), None(), None(), Long(3), Result(refused)}, nullptr},
    };
    for (const Case& c : cases) {
        list.calls.clear();
        list.connection = nullptr;
        Raise(other.Get(), c.id, c.args);
        if (!c.call) {
            EXPECT_TRUE(list.calls.empty()) << c.id;
            continue;
        }
        ASSERT_EQ(1u, list.calls.size()) << c.id;
        EXPECT_EQ(c.call, list.calls[0]) << c.id;
        EXPECT_EQ(other.Get(), list.connection) << c.id;
    }
}

TEST_F(ConnectionEventTest, TheBuddyListIsAddedOnceWhenReadyAndRemovedWhenTheAccountGoes)
{
    Raise(other.Get(), 207, {None(), None(), Long(4)});
    EXPECT_TRUE(list.calls.empty());
    EXPECT_FALSE(other->IsBuddyListReady());

    Raise(other.Get(), 207, {None(), None(), Long(5)});
    Raise(other.Get(), 207, {None(), None(), Long(5)});
    EXPECT_EQ(std::vector<std::string>{"AddIdentity"}, list.calls);
    EXPECT_EQ(other.Get(), list.connection);
    EXPECT_TRUE(other->IsBuddyListReady());

    // Signing off takes the account's rows away and waits for a new list.
    list.calls.clear();
    Raise(other.Get(), 100, {None(), Long(0), Long(0)});
    EXPECT_EQ(std::vector<std::string>{"RemoveIdentity"}, list.calls);
    EXPECT_FALSE(other->IsBuddyListReady());
    list.calls.clear();
    Raise(other.Get(), 207, {None(), None(), Long(5)});
    EXPECT_EQ(std::vector<std::string>{"AddIdentity"}, list.calls);
}

// A window of ours with a kind, without a visible top-level window.
class CKindWindow : public CSubclsWnd {
public:
    bool Create(int kind)
    {
        HWND hwnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        return hwnd && Attach(hwnd, kind);
    }
};

TEST(RequestMapTest, ResolvesOnlyALiveWindowOfTheRecordedKind)
{
    enum Change { Kept, Destroyed, OtherKind, NoObject };
    struct Case {
        Change change;
        bool resolves;
        bool hadWindow;
    } cases[] = {
        {Kept, true, true},
        {Destroyed, false, true},
        {OtherKind, false, true},
        {NoObject, false, false},
    };
    for (const Case& c : cases) {
        CKindWindow window;
        ASSERT_TRUE(window.Create(kKindBuddyInfo));
        HWND hwnd = window.Hwnd();
        CRequestMap map;
        if (c.change == NoObject)
            window.Detach();
        map.Record(41, hwnd);
        if (c.change == Destroyed)
            DestroyWindow(hwnd);
        if (c.change == OtherKind) {
            window.Detach();
            ASSERT_TRUE(window.Attach(hwnd, kKindBuddyListPane));
        }
        const CRequestMap::Entry entry = map.Take(41);
        EXPECT_TRUE(entry.known) << c.change;
        EXPECT_EQ(c.hadWindow, entry.hadWindow) << c.change;
        EXPECT_EQ(c.resolves ? hwnd : nullptr, entry.window) << c.change;
        EXPECT_FALSE(map.Holds(41)) << "the answer forgets the request";
        EXPECT_FALSE(map.Take(41).known);
        if (IsWindow(hwnd))
            DestroyWindow(hwnd);
    }
}

TEST_F(ConnectionEventTest, AnAnswerForAClosedWindowIsDropped)
{
    CKindWindow pane;
    ASSERT_TRUE(pane.Create(kKindBuddyListPane));
    const auto answer = [&](long requestId) {
        Raise(primary.Get(), 121,
              {None(), None(), Long(AIMCC::AccUserProp::BuddyIcon), Long(requestId), Long(0), None()});
    };

    primary->Requests().Record(7, pane.Hwnd());
    answer(7);
    EXPECT_EQ(std::vector<std::string>{"Redraw"}, list.calls);
    EXPECT_FALSE(primary->Requests().Holds(7));

    list.calls.clear();
    primary->Requests().Record(8, pane.Hwnd());
    DestroyWindow(pane.Hwnd());
    answer(8);
    answer(9); // never asked
    EXPECT_TRUE(list.calls.empty());
    EXPECT_FALSE(primary->Requests().Holds(8));
}

TEST_F(ConnectionEventTest, SessionStatesLeaveNoticesAndTheIcon)
{
    ASSERT_TRUE(primary->SetIdentity(L"Alice Demo"));
    struct Step {
        long state;
        unsigned long result;
        UINT noticeId; // 0: no notice
        int icon;
    } steps[] = {
        {100, 0, 0, 0},
        // A lost connection is progress, not an error.
        {100, 0x8004023F, 0, 0},
        {500, 0, 0, 136},
        {0, 0x80040213, 26, 137},
        {0, 0x80040241, 20, 137},
        {0, 0x80040299, 282, 137},
    };
    for (const Step& step : steps) {
        panes.notices.clear();
        ShowNotificationIcon(0);
        Raise(primary.Get(), 100, {None(), Long(step.state), Result(step.result)});
        if (step.noticeId) {
            ASSERT_EQ(1u, panes.notices.size()) << step.state << " " << std::hex << step.result;
            EXPECT_EQ(SessionErrorText(step.noticeId, static_cast<HRESULT>(step.result), L"Alice Demo"),
                      panes.notices[0]);
            wchar_t code[16];
            swprintf(code, ARRAYSIZE(code), L"%08X", static_cast<unsigned>(step.result));
            EXPECT_NE(std::wstring::npos, panes.notices[0].find(code)) << "the notice names the result code";
        } else {
            EXPECT_TRUE(panes.notices.empty()) << step.state << " " << std::hex << step.result;
        }
        EXPECT_EQ(step.icon, NotificationIconId()) << step.state;
    }
    // String 26 names the account.
    EXPECT_NE(std::wstring::npos, SessionErrorText(26, 0, L"Alice Demo").find(L"Alice Demo"));

    // Another account's state leaves the icon alone.
    ShowNotificationIcon(0);
    Raise(other.Get(), 100, {None(), Long(500), Long(0)});
    EXPECT_EQ(0, NotificationIconId());
}

TEST_F(ConnectionEventTest, TheIconFollowsThePrimaryAccountsOwnStatus)
{
    ASSERT_TRUE(primary->CreateSession());
    AIMCC::IAccSession* session = primary->Session();
    VARIANT on;
    on.vt = VT_BOOL;
    on.boolVal = VARIANT_TRUE;
    VARIANT off = on;
    off.boolVal = VARIANT_FALSE;
    VARIANT away;
    away.vt = VT_BSTR;
    away.bstrVal = SysAllocString(L"Out for lunch");

    ShowNotificationIcon(0);
    ASSERT_HRESULT_SUCCEEDED(session->put_Property(AIMCC::AccSessionProp::Invisible, on));
    EXPECT_TRUE(PumpUntil([] { return NotificationIconId() == 137; }));
    ASSERT_HRESULT_SUCCEEDED(session->put_Property(AIMCC::AccSessionProp::AwayMessage, away));
    EXPECT_TRUE(PumpUntil([] { return NotificationIconId() == 138; }));
    ASSERT_HRESULT_SUCCEEDED(session->put_Property(AIMCC::AccSessionProp::AwayMessage, None()));
    EXPECT_TRUE(PumpUntil([] { return NotificationIconId() == 137; }));
    ASSERT_HRESULT_SUCCEEDED(session->put_Property(AIMCC::AccSessionProp::Invisible, off));
    EXPECT_TRUE(PumpUntil([] { return NotificationIconId() == 136; }));
    VariantClear(&away);
    EXPECT_TRUE(std::find(list.calls.begin(), list.calls.end(), "Redraw") != list.calls.end());
}

TEST_F(ConnectionEventTest, ConnectsToASessionOnce)
{
    ASSERT_TRUE(primary->CreateSession());
    ComPtr<AIMCC::IAccSession> held(primary->Session());
    AIMCC::IAccSession* session = held.Get();
    EXPECT_TRUE(primary->IsConnected(session));
    EXPECT_EQ(E_UNEXPECTED, primary->Connect(session));

    ComPtr<CRecordingSink> sink = CRecordingSink::Make();
    EXPECT_EQ(1, sink->Disconnect(session)) << "not connected yet";
    ASSERT_EQ(S_OK, sink->Connect(session));
    EXPECT_EQ(E_UNEXPECTED, sink->Connect(session));
    EXPECT_EQ(S_OK, sink->Disconnect(session));
    EXPECT_EQ(1, sink->Disconnect(session));

    primary->ReleaseSession();
    EXPECT_FALSE(primary->IsConnected(session));
}

bool PropertyIsSet(AIMCC::IAccSession* session, long property)
{
    VARIANT value;
    VariantInit(&value);
    bool set = false;
    if (SUCCEEDED(session->get_Property(property, &value))) {
        if (value.vt == VT_BOOL)
            set = value.boolVal != VARIANT_FALSE;
        else if (value.vt == VT_DISPATCH)
            set = value.pdispVal != nullptr;
    }
    VariantClear(&value);
    return set;
}

TEST_F(ConnectionEventTest, TheSignOnOptionAppliesOnlyToASignOnTheUserStarted)
{
    ASSERT_TRUE(primary->CreateSession());
    AIMCC::IAccSession* session = primary->Session();
    struct Step {
        bool byUser;
        int option;
        long state;
        bool invisible;
        bool away;
    } steps[] = {
        {false, 3, 100, false, false},
        {true, 3, 100, true, false},
        {true, 2, 500, true, true},
        {false, 1, 500, true, true},
        {true, 1, 500, false, false},
    };
    for (const Step& step : steps) {
        SetSignOnStartedByUser(step.byUser);
        SetSignOnOption(step.option);
        Raise(primary.Get(), 100, {None(), Long(step.state), Long(0)});
        const int index = static_cast<int>(&step - steps);
        EXPECT_EQ(step.invisible, PropertyIsSet(session, AIMCC::AccSessionProp::Invisible)) << index;
        EXPECT_EQ(step.away, PropertyIsSet(session, AIMCC::AccSessionProp::AwayMessage)) << index;
    }
    SetSignOnStartedByUser(false);
    SetSignOnOption(1);
}

TEST_F(ConnectionEventTest, OfferedSessionObjectsWaitUntilTheyClose)
{
    // Any object of the layer stands in for an offered IM session here.
    ASSERT_TRUE(other->CreateSession());
    IDispatch* offered = other->Session();
    VARIANT object;
    object.vt = VT_DISPATCH;
    object.pdispVal = offered;

    Raise(primary.Get(), 500, {None(), object, Long(2)});
    EXPECT_EQ(0u, primary->PendingSessionCount()) << "kind 2 is not kept";
    Raise(primary.Get(), 500, {None(), object, Long(AIMCC::AccSecondaryType::Im)});
    EXPECT_EQ(1u, primary->PendingSessionCount());
    Raise(primary.Get(), 501, {None(), object, Long(AIMCC::AccSecondaryState::Ready), Long(0)});
    EXPECT_EQ(1u, primary->PendingSessionCount());
    Raise(primary.Get(), 501, {None(), object, Long(AIMCC::AccSecondaryState::Closed), Long(0)});
    EXPECT_EQ(0u, primary->PendingSessionCount());
}

TEST(AccObjectTest, AnswersItsInterfacesOnly)
{
    ComPtr<CAIMConnection> connection = CAIMConnection::Create();
    ComPtr<CUserPrefs> prefs = CUserPrefs::Create();
    ASSERT_TRUE(connection && prefs);
    struct Case {
        IUnknown* object;
        IID iid;
        bool answered;
    } cases[] = {
        {static_cast<IDispatch*>(connection.Get()), IID_IUnknown, true},
        {static_cast<IDispatch*>(connection.Get()), IID_IDispatch, true},
        {static_cast<IDispatch*>(connection.Get()), AIMCC::DIID_DAccEvents, true},
        {static_cast<IDispatch*>(connection.Get()), AIMCC::IID_IAccPreferencesHook, false},
        {prefs.Get(), IID_IUnknown, true},
        {prefs.Get(), AIMCC::IID_IAccPreferencesHook, true},
        {prefs.Get(), AIMCC::IID_IAccPreferencesHook2, true},
        {prefs.Get(), IID_IDispatch, false},
    };
    for (const Case& c : cases) {
        void* answer = reinterpret_cast<void*>(1);
        const HRESULT hr = c.object->QueryInterface(c.iid, &answer);
        EXPECT_EQ(c.answered ? S_OK : E_NOINTERFACE, hr) << (&c - cases);
        EXPECT_EQ(c.answered, answer != nullptr) << (&c - cases);
        if (answer && c.answered)
            static_cast<IUnknown*>(answer)->Release();
    }
    // Every answer counted one reference, and gave it back.
    IUnknown* raw = prefs.Get();
    raw->AddRef();
    EXPECT_EQ(1u, raw->Release());
}

TEST(PresenceIconTest, ForwardingThenAwayThenInvisible)
{
    struct Case {
        bool forwarding, away, invisible;
        int icon;
    } cases[] = {
        {false, false, false, 136}, {false, false, true, 137}, {false, true, false, 138},
        {false, true, true, 138},   {true, true, true, 139},   {true, false, false, 139},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.icon, PresenceIconId(c.forwarding, c.away, c.invisible))
            << c.forwarding << c.away << c.invisible;
}

TEST(ServerAddressTest, OnlyWebPagesAreOpened)
{
    struct Case {
        const wchar_t* url;
        bool opened;
    } cases[] = {
        {L"http://aim.example/profile?id=1", true},
        {L"HTTPS://aim.example/", true},
        {L"https://", false},
        {L"http:///etc", false},
        {L"file:///C:/Windows/system32/calc.exe", false},
        {L"C:\\Windows\\system32\\calc.exe", false},
        {L"calc.exe", false},
        {L"javascript:alert(1)", false},
        {L"ms-settings:", false},
        {L"http://aim.example/\" --flag", false},
        {L"http://aim.example/\r\nx", false},
        {L"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.opened, IsOpenableServerAddress(c.url)) << std::string(c.url, c.url + wcslen(c.url));
}

TEST(AdditionalAccountsTest, EachNonEmptyNameOnceAndNoneSignedOnAlready)
{
    struct Case {
        std::vector<std::wstring> listed;
        std::vector<std::wstring> signedOn;
        std::vector<std::wstring> expected;
    } cases[] = {
        // An empty entry first no longer shifts the ones after it.
        {{L"", L"Bob Demo"}, {L"Alice Demo"}, {L"Bob Demo"}},
        {{L"Bob Demo", L"  ", L"Carol"}, {L"Alice Demo"}, {L"Bob Demo", L"Carol"}},
        {{L"bobdemo", L"Bob Demo", L"BOB DEMO"}, {L"Alice Demo"}, {L"bobdemo"}},
        {{L"alicedemo", L"Bob Demo"}, {L"Alice Demo", L"Bob Demo"}, {}},
        {{}, {L"Alice Demo"}, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, AdditionalAccountsToSignOn(c.listed, c.signedOn)) << (&c - cases);
}

} // namespace
