// Signing on from the main window's sign-on pane the whole way: the real
// acccore.dll loaded from beside this program, the local OSCAR server
// running in this process on loopback, and the settings file pointing the
// layer at it with the layout the settings window uses.
#include <winsock2.h>

#include "AIMConnection.h"
#include "AppState.h"
#include "LangStrings.h"
#include "MainWnd.h"
#include "PreferenceStore.h"
#include "ScopedHandle.h"
#include "Seams.h"
#include "TestSupport.h"
#include "UserPrefs.h"

#include "OscarServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

namespace {

const char kAccounts[] =
    "account Alice Demo\n"
    "password welcome1\n"
    "group Buddies\n"
    "buddy Bob Demo\n"
    "\n"
    "account Bob Demo\n"
    "password welcome2\n";

// Runs this thread's message loop until `done` or the timeout. The session's
// progress arrives as messages; the server's thread sends none here, so the
// wait is cut into short slices.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000)
{
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            if (done())
                return true;
        }
        if (done())
            return true;
        const ULONGLONG elapsed = GetTickCount64() - start;
        if (elapsed >= timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(timeoutMs - elapsed, 50)),
                                  QS_ALLINPUT);
    }
}

class SignOnFlowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ReleaseAllSessions();
        Settings().SetPath(folder.File(L"Velmora.ini").c_str());
        lang.reset(LoadLibraryExW((ExeFolder() + L"VLMLang.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(lang);
        SetLangModule(lang.get());

        std::vector<oscar::server::Account> accounts;
        std::string error;
        ASSERT_TRUE(oscar::server::ParseAccounts(kAccounts, accounts, &error)) << error;
        server = std::make_unique<oscar::server::OscarServer>(accounts, oscar::server::OscarServer::Options());
        ASSERT_TRUE(server->Start(&error)) << error;

        const CPreferenceStore store(Settings());
        ASSERT_TRUE(store.WriteValue(L"aimcc.connect.host.address", L"127.0.0.1"));
        ASSERT_TRUE(store.WriteValue(L"aimcc.connect.host.port", std::to_wstring(server->LoginPort())));

        ASSERT_TRUE(main.Create(nullptr));
        SetMainWindow(&main);
    }
    void TearDown() override
    {
        SignOffAllSessions();
        PumpUntil([] { return !IsPrimaryOnline(); }, 5000);
        ReleaseAllSessions();
        SetMainWindow(nullptr);
        if (main.Hwnd())
            DestroyWindow(main.Hwnd());
        if (server)
            server->Stop();
        Settings().SetPath(nullptr);
        SetLangModule(nullptr);
    }

    long CurrentPane() { return static_cast<long>(SendMessageW(main.Hwnd(), WM_USER, 0, 0)); }

    void SignOnAs(const wchar_t* name, const wchar_t* password)
    {
        SetWindowTextW(main.SignOnPane()->NameBox(), name);
        SetWindowTextW(main.SignOnPane()->PasswordBox(), password);
        main.SignOnPane()->SignOn();
    }

    TempFolder folder;
    ScopedModule lang;
    std::unique_ptr<oscar::server::OscarServer> server;
    CMainWnd main;
};

TEST_F(SignOnFlowTest, SignsOnThroughTheProgressPaneToTheBuddyList)
{
    ASSERT_EQ(kSignOnPaneId, CurrentPane());
    const int noticeFree = main.PaneArea().top;

    // The network's own formatting differs from what the user typed.
    SignOnAs(L"aLICE demo", L"welcome1");
    bool sawProgress = false;
    const bool online = PumpUntil([&] {
        sawProgress = sawProgress || CurrentPane() == kSignOnProgressPaneId;
        return CurrentPane() == main.BuddyListPane()->PaneId();
    });
    ASSERT_TRUE(online);
    EXPECT_TRUE(sawProgress);
    EXPECT_TRUE(IsPrimaryOnline());
    EXPECT_EQ(1u, Connections().size());
    EXPECT_EQ(noticeFree, main.PaneArea().top) << "no notice after a good sign-on";
    // The server marks the account on line once the last setup step reaches it.
    EXPECT_TRUE(PumpUntil([&] { return server->IsOnline("Alice Demo"); }));
    // The server's port came from the settings file through the hook, and
    // what the client sets after signing on went back there the same way.
    std::wstring devices;
    EXPECT_TRUE(CPreferenceStore(Settings()).ReadValue(L"aimcc.av.enumDevices", devices));
    EXPECT_EQ(L"-1", devices);

    SignOffPrimary();
    ASSERT_TRUE(PumpUntil([&] { return CurrentPane() == kSignOnPaneId; }));
    EXPECT_FALSE(IsPrimaryOnline());
    EXPECT_EQ(noticeFree, main.PaneArea().top) << "signing off is no error";
}

TEST_F(SignOnFlowTest, AWrongPasswordShowsANoticeAndReturnsToTheSignOnPane)
{
    const int noticeFree = main.PaneArea().top;
    SignOnAs(L"Alice Demo", L"not-the-password");
    bool sawProgress = false;
    const bool back = PumpUntil([&] {
        sawProgress = sawProgress || CurrentPane() == kSignOnProgressPaneId;
        return sawProgress && CurrentPane() == kSignOnPaneId && main.PaneArea().top > noticeFree;
    });
    ASSERT_TRUE(back);
    EXPECT_FALSE(IsPrimaryOnline());
    EXPECT_FALSE(server->IsOnline("Alice Demo"));

    // The next good attempt clears the notice once on line.
    SignOnAs(L"Alice Demo", L"welcome1");
    ASSERT_TRUE(PumpUntil([&] { return CurrentPane() == main.BuddyListPane()->PaneId(); }));
    EXPECT_EQ(noticeFree, main.PaneArea().top);
}

// Raises event 100 on a connection the way the layer does: the arguments
// (session, state, result) in COM's reversed order, so a short `count`
// leaves out the first ones.
void RaiseStateChange(CAIMConnection* connection, long state, unsigned long result, UINT count = 3)
{
    VARIANT args[3];
    args[0].vt = VT_I4;
    args[0].lVal = static_cast<LONG>(result);
    args[1].vt = VT_I4;
    args[1].lVal = state;
    args[2].vt = VT_EMPTY;
    DISPPARAMS params = {args, nullptr, count, 0};
    EXPECT_EQ(S_OK, connection->Invoke(AIMCC::AccEvent::StateChange, IID_NULL, 0, DISPATCH_METHOD, &params,
                                       nullptr, nullptr, nullptr));
}

TEST_F(SignOnFlowTest, StateEventsDriveThePanesOfThePrimarySession)
{
    Microsoft::WRL::ComPtr<CAIMConnection> primary = CAIMConnection::Create();
    ASSERT_TRUE(primary);
    Connections().push_back(primary);
    const int noticeFree = main.PaneArea().top;

    // Too few arguments: nothing happens.
    RaiseStateChange(primary.Get(), AIMCC::AccState::Connecting, 0, 2);
    EXPECT_EQ(kSignOnPaneId, CurrentPane());

    struct Step {
        long state;
        unsigned long result;
        long pane;
        UINT progressId;
    } steps[] = {
        {AIMCC::AccState::Connecting, 0, kSignOnProgressPaneId, 9},
        {AIMCC::AccState::Authorizing, 0, kSignOnProgressPaneId, 10},
        {AIMCC::AccState::Redirecting, 0, kSignOnProgressPaneId, 351},
        // A lost connection is progress, not an error.
        {AIMCC::AccState::Connecting, 0x8004023F, kSignOnProgressPaneId, 18},
        {AIMCC::AccState::ServiceSetup, 0, kSignOnProgressPaneId, 11},
    };
    for (const Step& step : steps) {
        RaiseStateChange(primary.Get(), step.state, step.result);
        EXPECT_EQ(step.pane, CurrentPane()) << step.state;
        EXPECT_EQ(LoadLangString(step.progressId), main.SignOnProgressPane()->ProgressText()) << step.state;
        EXPECT_EQ(noticeFree, main.PaneArea().top) << step.state;
    }

    RaiseStateChange(primary.Get(), AIMCC::AccState::Offline, 0x80040241);
    EXPECT_EQ(kSignOnPaneId, CurrentPane());
    EXPECT_GT(main.PaneArea().top, noticeFree);

    RaiseStateChange(primary.Get(), AIMCC::AccState::Online, 0);
    EXPECT_EQ(main.BuddyListPane()->PaneId(), CurrentPane());
    EXPECT_EQ(noticeFree, main.PaneArea().top) << "on line clears the notices";
}

TEST_F(SignOnFlowTest, AdditionalAccountsFollowThePrimaryAndGoWhenItStartsOver)
{
    // Alice's list names Bob after an empty entry; Bob's password is kept
    // protected for him.
    ASSERT_TRUE(CPreferenceStore(Settings()).WriteList(L"aimcc.accounts.additional.alicedemo", {L"", L"Bob Demo"}));
    Microsoft::WRL::ComPtr<CUserPrefs> prefs = CUserPrefs::Create();
    ASSERT_TRUE(prefs);
    VARIANT password;
    password.vt = VT_BSTR;
    password.bstrVal = SysAllocString(L"welcome2");
    BSTR name = SysAllocString(L"aimcc.accounts.password.bobdemo");
    ASSERT_EQ(S_OK, prefs->WriteProtectedPreference(name, password));
    SysFreeString(name);
    VariantClear(&password);

    SignOnAs(L"Alice Demo", L"welcome1");
    ASSERT_TRUE(PumpUntil([&] {
        const auto& connections = Connections();
        return connections.size() == 2 && connections[0]->State() == AIMCC::AccState::Online
            && connections[1]->State() == AIMCC::AccState::Online;
    }));
    EXPECT_EQ(L"Bob Demo", Connections()[1]->Identity());
    EXPECT_TRUE(PumpUntil([&] { return server->IsOnline("Bob Demo"); }));

    // The primary connecting again (as after a lost connection) signs the
    // others off and drops them.
    Microsoft::WRL::ComPtr<CAIMConnection> bob = Connections()[1];
    RaiseStateChange(Connections()[0].Get(), AIMCC::AccState::Connecting, 0);
    EXPECT_EQ(1u, Connections().size());
    EXPECT_EQ(nullptr, bob->Session());
    EXPECT_TRUE(PumpUntil([&] { return !server->IsOnline("Bob Demo"); }));
}

TEST(SessionStateStringTest, MapsStatesAndResults)
{
    struct Case {
        long state;
        unsigned long result;
        UINT stringId;
        bool error;
    } cases[] = {
        {50, 0, 8, false},
        {100, 0, 9, false},
        {150, 0, 9, false},
        {200, 0, 10, false},
        {210, 0, 351, false},
        {211, 0, 351, false},
        {300, 0, 351, false},
        {350, 0, 11, false},
        {400, 0, 11, false},
        {500, 0, 12, false},
        {0, 0, 0, false},
        {123, 0, 0, false},
        {0, 0x80040210, 27, true},
        {0, 0x80040213, 26, true},
        {0, 0x80040214, 14, true},
        {0, 0x80040231, 14, true},
        {0, 0x80040233, 14, true},
        {0, 0x80040236, 14, true},
        {0, 0x80040215, 28, true},
        {0, 0x80040222, 25, true},
        {0, 0x80040230, 13, true},
        {0, 0x80040232, 15, true},
        {0, 0x80040235, 17, true},
        {0, 0x80040237, 16, true},
        {100, 0x8004023F, 18, false},
        {0, 0x80040240, 19, true},
        {0, 0x80040245, 24, true},
        {0, 0x80040246, 282, true},
        {0, 0x80040410, 29, true},
        {0, 0x80040413, 32, true},
        {0, 0x80004005, 282, true},
    };
    for (const Case& c : cases) {
        bool error = !c.error;
        EXPECT_EQ(c.stringId, SessionStateString(c.state, static_cast<HRESULT>(c.result), error))
            << c.state << " 0x" << std::hex << c.result;
        EXPECT_EQ(c.error, error) << c.state << " 0x" << std::hex << c.result;
    }
}

TEST(SessionErrorTextTest, FillsTheScreenNameOrTheCode)
{
    ScopedModule lang(LoadLibraryExW((ExeFolder() + L"VLMLang.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(lang);
    SetLangModule(lang.get());
    const std::wstring invalid = SessionErrorText(26, static_cast<HRESULT>(0x80040213UL), L"Alice Demo");
    const std::wstring unknown = SessionErrorText(282, static_cast<HRESULT>(0x80004005UL), L"Alice Demo");
    const std::wstring password = SessionErrorText(25, static_cast<HRESULT>(0x80040222UL), L"Alice Demo");
    SetLangModule(nullptr);

    EXPECT_NE(std::wstring::npos, invalid.find(L"Alice Demo")) << invalid;
    EXPECT_EQ(std::wstring::npos, invalid.find(L"%1")) << invalid;
    EXPECT_NE(std::wstring::npos, unknown.find(L"80004005")) << unknown;
    EXPECT_EQ(std::wstring::npos, unknown.find(L'%')) << unknown;
    EXPECT_EQ(unknown.find(L"80004005"), unknown.rfind(L"80004005")) << "the code once: " << unknown;
    EXPECT_NE(std::wstring::npos, password.find(L"80040222")) << password;
    EXPECT_FALSE(password.empty());
    EXPECT_EQ(std::wstring::npos, password.find(L"Alice Demo"));
}

} // namespace
