// The buddy list pane live: the main window signs an account on to the local
// OSCAR server in this process through the real acccore.dll, and scripted
// buddies coming, going away, going idle and leaving change their rows.
#include <winsock2.h>

#include "AIMConnection.h"
#include "AppState.h"
#include "LangStrings.h"
#include "MainWnd.h"
#include "MediaLibrary.h"
#include "PreferenceStore.h"
#include "Seams.h"
#include "TestSupport.h"

#include "Accounts.h"
#include "OscarServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

const char kAccounts[] =
    "account Alice Demo\n"
    "password welcome1\n"
    "group Buddies\n"
    "buddy Bob Demo\n"
    "buddy Carol Smith\n"
    "group Co-Workers\n"
    "buddy Dave Jones\n"
    "\n"
    "account Bob Demo\n"
    "password welcome2\n"
    "\n"
    "account Carol Smith\n"
    "password welcome3\n"
    "\n"
    "account Dave Jones\n"
    "password welcome4\n";

class BLPaneLiveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ReleaseAllSessions();
        Settings().SetPath(folder.File(L"Velmora.ini").c_str());
        lang.reset(LoadLibraryExW((ExeFolder() + L"VLMLang.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        media.reset(LoadLibraryExW((ExeFolder() + L"VLMMedia.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        SetLangModule(lang.get());
        SetMediaModule(media.get());

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
        SetMediaModule(nullptr);
        SetLangModule(nullptr);
        Settings().SetPath(nullptr);
    }

    CMainBLPane& Pane() { return *static_cast<CMainBLPane*>(main.BuddyList()); }

    int Row(BLRowKind kind, const std::wstring& text)
    {
        for (int i = 0; i < Pane().RowCount(); ++i) {
            if (Pane().RowKind(i) == kind && Pane().RowText(i) == text)
                return i;
        }
        return -1;
    }

    // The group row a buddy's row stands under, by name ("" when unlisted).
    std::wstring GroupOf(const std::wstring& buddy)
    {
        const int row = Row(BLRowKind::Buddy, buddy);
        return row < 0 ? std::wstring() : Pane().RowText(Pane().GroupRowOf(row));
    }

    int IconOf(const std::wstring& buddy)
    {
        AIMCC::IAccSession* session = Pane().SessionOfRow(0);
        Microsoft::WRL::ComPtr<AIMCC::IAccUser> user;
        BSTR name = SysAllocString(buddy.c_str());
        session->GetUser(name, user.GetAddressOf());
        SysFreeString(name);
        return user ? Pane().PresenceOf(session, user.Get()).icon : 0;
    }

    std::vector<std::wstring> Rows()
    {
        std::vector<std::wstring> rows;
        for (int i = 0; i < Pane().RowCount(); ++i)
            rows.push_back(Pane().RowText(i));
        return rows;
    }

    std::string ServerListOf(const std::string& name)
    {
        for (const oscar::server::Account& account : server->ExportAccounts()) {
            if (account.screenName == name)
                return oscar::server::FormatAccounts({account});
        }
        return std::string();
    }

    bool SignOnAlice()
    {
        SetWindowTextW(main.SignOnPane()->NameBox(), L"Alice Demo");
        SetWindowTextW(main.SignOnPane()->PasswordBox(), L"welcome1");
        main.SignOnPane()->SignOn();
        return PumpUntil([&] { return Row(BLRowKind::Group, L"Co-Workers") > 0; }, 20000);
    }

    TempFolder folder;
    ScopedModule lang;
    ScopedModule media;
    std::unique_ptr<oscar::server::OscarServer> server;
    CMainWnd main;
};

TEST_F(BLPaneLiveTest, BuddiesComeGoAwayIdleAndLeave)
{
    ASSERT_TRUE(SignOnAlice());
    EXPECT_EQ(BLRowKind::Header, Pane().RowKind(0));
    EXPECT_EQ(L"AliceDemo", Pane().RowText(0));
    EXPECT_LT(Row(BLRowKind::Group, L"Buddies"), Row(BLRowKind::Group, L"Co-Workers")) << "the server's order";

    ASSERT_TRUE(server->SignOn("Bob Demo"));
    ASSERT_TRUE(PumpUntil([&] { return GroupOf(L"BobDemo") == L"Buddies" && IconOf(L"BobDemo") == 102; }))
        << "signed on: " << Row(BLRowKind::Buddy, L"BobDemo");
    ASSERT_TRUE(server->SetAway("Bob Demo", "out to lunch"));
    EXPECT_TRUE(PumpUntil([&] { return IconOf(L"BobDemo") == 100; })) << "away";

    ASSERT_TRUE(server->SignOn("Carol Smith"));
    ASSERT_TRUE(server->SetIdle("Carol Smith", 15));
    EXPECT_TRUE(PumpUntil([&] { return GroupOf(L"CarolSmith") == L"Buddies" && IconOf(L"CarolSmith") == 103; }))
        << "idle";

    ASSERT_TRUE(server->SignOff("Bob Demo"));
    EXPECT_TRUE(PumpUntil([&] { return GroupOf(L"BobDemo") != L"Buddies" && IconOf(L"BobDemo") == 101; }))
        << "signed off: now under " << testing::PrintToString(GroupOf(L"BobDemo"));
}

TEST_F(BLPaneLiveTest, GroupsCollapseForGoodAndBuddiesMoveOnTheServer)
{
    ASSERT_TRUE(SignOnAlice());
    ASSERT_TRUE(server->SignOn("Carol Smith"));
    ASSERT_TRUE(PumpUntil([&] { return GroupOf(L"CarolSmith") == L"Buddies"; }));
    const std::vector<std::wstring> rows = Rows();
    EXPECT_EQ(1, std::count(rows.begin(), rows.end(), L"CarolSmith")) << "on line, no longer under the offline group";

    Pane().ToggleGroup(Row(BLRowKind::Group, L"Buddies"));
    EXPECT_EQ(L"", GroupOf(L"CarolSmith")) << "collapsed";
    std::wstring kept;
    EXPECT_TRUE(PumpUntil([&] {
        return CPreferenceStore(Settings()).ReadValue(L"aimcc.buddyList.expanded.alicedemo.Buddies", kept) && kept == L"0";
    })) << "the expanded state is kept in the settings file";
    Pane().ToggleGroup(Row(BLRowKind::Group, L"Buddies"));
    ASSERT_EQ(L"Buddies", GroupOf(L"CarolSmith"));

    Pane().DropRow(Row(BLRowKind::Buddy, L"CarolSmith"), Row(BLRowKind::Group, L"Co-Workers"));
    EXPECT_TRUE(PumpUntil([&] { return GroupOf(L"CarolSmith") == L"Co-Workers"; })) << "the pane follows";
    EXPECT_TRUE(PumpUntil([&] {
        return ServerListOf("Alice Demo").find("group Co-Workers\nbuddy Dave Jones\nbuddy Carol Smith\n") !=
               std::string::npos;
    })) << ServerListOf("Alice Demo");

    // A group dropped on another takes its place on the server, where the
    // next sign-on reads it from.
    Pane().DropRow(Row(BLRowKind::Group, L"Co-Workers"), Row(BLRowKind::Group, L"Buddies"));
    EXPECT_TRUE(PumpUntil([&] {
        const std::string list = ServerListOf("Alice Demo");
        return list.find("group Co-Workers") < list.find("group Buddies");
    })) << ServerListOf("Alice Demo");
    EXPECT_TRUE(PumpUntil([&] { return Row(BLRowKind::Group, L"Co-Workers") < Row(BLRowKind::Group, L"Buddies"); }))
        << "the pane follows";

    // Signed off and on again, as after a restart: the order comes back from
    // the server.
    SignOffPrimary();
    ASSERT_TRUE(PumpUntil([&] { return !IsPrimaryOnline() && Pane().RowCount() == 0; }));
    ASSERT_TRUE(SignOnAlice());
    EXPECT_LT(Row(BLRowKind::Group, L"Co-Workers"), Row(BLRowKind::Group, L"Buddies"));
}

TEST_F(BLPaneLiveTest, TwoAccountsShowTwoHeadersEachWithItsGroups)
{
    ASSERT_TRUE(SignOnAlice());
    auto bob = CAIMConnection::Create();
    ASSERT_TRUE(bob);
    Connections().push_back(bob);
    ASSERT_TRUE(bob->SignOnAccount(L"Bob Demo", L"welcome2"));
    ASSERT_TRUE(PumpUntil([&] { return Row(BLRowKind::Header, L"BobDemo") > 0; }));

    // Alice's rows, then Bob's: each header followed by that account's
    // groups in the server's order.
    const int alice = Row(BLRowKind::Header, L"AliceDemo");
    const int bobHeader = Row(BLRowKind::Header, L"BobDemo");
    EXPECT_EQ(0, alice);
    EXPECT_LT(Row(BLRowKind::Group, L"Co-Workers"), bobHeader);
    EXPECT_EQ(Pane().SessionOfRow(bobHeader), bob->Session());
    EXPECT_EQ(Pane().SessionOfRow(Pane().RowCount() - 1), bob->Session()) << "Bob's rows come last";

    // Bob signing off takes only his rows away.
    bob->SignOffAccount();
    EXPECT_TRUE(PumpUntil([&] { return Row(BLRowKind::Header, L"BobDemo") < 0; }));
    EXPECT_EQ(0, Row(BLRowKind::Header, L"AliceDemo"));
    EXPECT_GT(Row(BLRowKind::Group, L"Co-Workers"), 0);
}

} // namespace
