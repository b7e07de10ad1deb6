// The buddy list pane over a fake buddy list: which rows it makes, in which
// order, how it follows the list's events, and what it asks the list to do.
#include "AppState.h"
#include "FakeAccList.h"
#include "LangStrings.h"
#include "MainBLPane.h"
#include "MediaLibrary.h"
#include "TestCanvas.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace AIMCC;

namespace {

std::vector<UINT> g_asked;

int RecordQuestion(HWND, UINT textId, UINT)
{
    g_asked.push_back(textId);
    return IDYES;
}

class BLPaneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings().SetPath(folder.File(L"Velmora.ini").c_str());
        lang_.reset(LoadLibraryExW((ExeFolder() + L"VLMLang.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        media_.reset(LoadLibraryExW((ExeFolder() + L"VLMMedia.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        SetLangModule(lang_.get());
        SetMediaModule(media_.get());
        g_asked.clear();
        SetPaneMessageBox(&RecordQuestion);
        HideState() = BLHideState();
        parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 220, 500, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(pane.Create(parent));
        SetWindowPos(pane.Hwnd(), nullptr, 0, 0, 220, 500, SWP_NOZORDER | SWP_SHOWWINDOW);
        *session.ReleaseAndGetAddressOf() = new fake::Session(L"Alice Demo");
    }
    void TearDown() override
    {
        pane.Reset();
        DestroyWindow(parent);
        SetPaneMessageBox(nullptr);
        SetMediaModule(nullptr);
        SetLangModule(nullptr);
        Settings().SetPath(nullptr);
    }

    void SetSwitch(const wchar_t* key, bool on) { Settings().WriteBool(L"Settings.BL", key, on); }

    // The rows as "H:name", "G:name", "B:name".
    std::vector<std::wstring> Rows() const
    {
        std::vector<std::wstring> rows;
        for (int i = 0; i < pane.RowCount(); ++i) {
            const wchar_t* kind = pane.RowKind(i) == BLRowKind::Header  ? L"H:"
                                  : pane.RowKind(i) == BLRowKind::Group ? L"G:"
                                                                        : L"B:";
            rows.push_back(kind + pane.RowText(i));
        }
        return rows;
    }

    int Row(const std::wstring& described) const
    {
        const auto rows = Rows();
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows[i] == described)
                return static_cast<int>(i);
        }
        return -1;
    }

    // Buddies: Bob available, Amy away, Zoe available, Carl idle; an empty
    // "Family"; the layer's offline group with Olga.
    void MakeList()
    {
        buddies = session->AddGroup(L"Buddies");
        session->AddBuddy(buddies, L"Bob", AccPresence::Available);
        session->AddBuddy(buddies, L"Amy", AccPresence::Away);
        session->AddBuddy(buddies, L"Zoe", AccPresence::Available);
        session->AddBuddy(buddies, L"Carl", AccPresence::Idle);
        family = session->AddGroup(L"Family");
        offline = session->AddGroup(L"Offline", true);
        session->AddBuddy(offline, L"Olga", AccPresence::Offline);
    }

    TempFolder folder;
    ScopedModule lang_;
    ScopedModule media_;
    HWND parent = nullptr;
    CMainBLPane pane;
    Microsoft::WRL::ComPtr<fake::Session> session;
    fake::Group* buddies = nullptr;
    fake::Group* family = nullptr;
    fake::Group* offline = nullptr;
};

using RowList = std::vector<std::wstring>;

TEST(BuddyOrderTest, InsertPositionFollowsTheRules)
{
    const std::vector<BuddySortKey> byState = {{1, L"amy", 0}, {1, L"zed", 1}, {3, L"bob", 2}};
    const std::vector<BuddySortKey> byKey = {{1, L"Amy", 0}, {1, L"bob", 1}, {1, L"Zed", 2}};
    const std::vector<BuddySortKey> byIndex = {{1, L"a", 0}, {1, L"b", 2}, {1, L"c", 5}};
    struct Case {
        const char* what;
        const std::vector<BuddySortKey>* rows;
        BuddySortKey added;
        BuddyOrderRules rules;
        size_t want;
    } cases[] = {
        {"state then name: inside its state", &byState, {1, L"Kim", 9}, {true, true, false}, 1},
        {"state then name: last of its state", &byState, {3, L"cat", 9}, {true, true, false}, 3},
        {"state then name: a state of its own", &byState, {2, L"x", 9}, {true, true, false}, 2},
        {"state then name: lowest state first", &byState, {0, L"q", 9}, {true, true, false}, 0},
        {"state only: first among its state", &byState, {1, L"zzz", 9}, {true, false, false}, 0},
        {"state only: first among the away", &byState, {3, L"aaa", 9}, {true, false, false}, 2},
        {"state only: above every row", &byState, {4, L"a", 9}, {true, false, false}, 3},
        {"name only: after an equal name", &byKey, {1, L"BOB", 9}, {false, true, false}, 2},
        {"name only: ignores case", &byKey, {1, L"carl", 9}, {false, true, false}, 2},
        {"name only: first", &byKey, {1, L"aaron", 9}, {false, true, false}, 0},
        {"list order: before the next index", &byIndex, {1, L"z", 3}, {false, false, false}, 2},
        {"list order: offline group at the end", &byIndex, {1, L"z", 1}, {false, false, true}, 3},
        {"list order: unknown index at the end", &byIndex, {1, L"z", -1}, {false, false, false}, 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.want, BuddyInsertPosition(*c.rows, c.added, c.rules)) << c.what;
}

TEST_F(BLPaneTest, AnAccountListsItsGroupsInListOrder)
{
    MakeList();
    pane.AddSession(session.Get(), true);
    EXPECT_EQ((RowList{L"H:AliceDemo", L"G:Buddies", L"B:Bob", L"B:Amy", L"B:Zoe", L"B:Carl", L"G:Family",
                    L"G:Offline", L"B:Olga"}),
              Rows());
    EXPECT_EQ(session.Get(), pane.SessionOfRow(8));
    EXPECT_EQ(1, pane.GroupRowOf(3));
}

TEST_F(BLPaneTest, SortingByStateThenName)
{
    MakeList();
    SetSwitch(L"SortStatus", true);
    SetSwitch(L"SortAlpha", true);
    pane.AddSession(session.Get(), true);
    EXPECT_EQ((RowList{L"H:AliceDemo", L"G:Buddies", L"B:Bob", L"B:Zoe", L"B:Carl", L"B:Amy", L"G:Family",
                    L"G:Offline", L"B:Olga"}),
              Rows());
}

TEST_F(BLPaneTest, WithStateOnlyAChangedBuddyGoesFirstAmongItsState)
{
    MakeList();
    SetSwitch(L"SortStatus", true);
    pane.AddSession(session.Get(), true);
    // One by one in list order, each first among its state.
    EXPECT_EQ((RowList{L"H:AliceDemo", L"G:Buddies", L"B:Zoe", L"B:Bob", L"B:Carl", L"B:Amy", L"G:Family",
                    L"G:Offline", L"B:Olga"}),
              Rows());
    fake::User* amy = session->FindUser(L"Amy");
    amy->SetLong(AccUserProp::Presence, AccPresence::Available);
    pane.BuddyChanged(session.Get(), amy, AccUserProp::Presence);
    EXPECT_EQ(L"B:Amy", Rows()[2]);
    // A change that keeps the state keeps the place.
    fake::User* bob = session->FindUser(L"Bob");
    pane.BuddyChanged(session.Get(), bob, AccUserProp::UserClass);
    EXPECT_EQ(L"B:Bob", Rows()[4]);
}

TEST_F(BLPaneTest, FollowsBuddyAndGroupEvents)
{
    MakeList();
    SetSwitch(L"SortAlpha", true);
    pane.AddSession(session.Get(), true);
    ASSERT_EQ((RowList{L"H:AliceDemo", L"G:Buddies", L"B:Amy", L"B:Bob", L"B:Carl", L"B:Zoe", L"G:Family",
                    L"G:Offline", L"B:Olga"}),
              Rows());

    fake::User* ben = session->AddBuddy(buddies, L"Ben", AccPresence::Available);
    pane.BuddyAdded(session.Get(), buddies, ben);
    EXPECT_EQ(L"B:Ben", Rows()[3]) << "inserted in name order";
    pane.BuddyAdded(session.Get(), buddies, ben);
    EXPECT_EQ(10, pane.RowCount()) << "a listed buddy is not listed twice";

    fake::User* bob = session->FindUser(L"Bob");
    buddies->Remove(bob);
    pane.BuddyRemoved(session.Get(), buddies, bob);
    EXPECT_EQ(-1, Row(L"B:Bob"));

    fake::User* zoe = session->FindUser(L"Zoe");
    buddies->Remove(zoe);
    family->Add(zoe);
    pane.BuddyMoved(session.Get(), buddies, family, zoe);
    EXPECT_EQ(Row(L"G:Family") + 1, Row(L"B:Zoe"));

    pane.GroupRemoved(session.Get(), family);
    EXPECT_EQ((RowList{L"H:AliceDemo", L"G:Buddies", L"B:Amy", L"B:Ben", L"B:Carl", L"G:Offline", L"B:Olga"}), Rows());

    // The layer moved "Offline" before "Buddies".
    std::swap(session->list->groups[0], session->list->groups[2]);
    pane.GroupChanged(session.Get(), offline, AccGroupChange::Moved);
    EXPECT_EQ((RowList{L"H:AliceDemo", L"G:Offline", L"B:Olga", L"G:Buddies", L"B:Amy", L"B:Ben", L"B:Carl"}), Rows());

    session->AddBuddy(family, L"Dan", AccPresence::Available);
    pane.RebuildSession(session.Get());
    EXPECT_EQ((RowList{L"H:AliceDemo", L"G:Offline", L"B:Olga", L"G:Family", L"B:Dan", L"B:Zoe", L"G:Buddies",
                    L"B:Amy", L"B:Ben", L"B:Carl"}),
              Rows());
}

TEST_F(BLPaneTest, WithoutAHideModeOfflineBuddiesComeAndGo)
{
    session->prefs->values[L"aimcc.buddyList.hideOfflineGroup"] = L"-1";
    session->prefs->values[L"aimcc.buddyList.hideOfflineBuddies"] = L"-1";
    MakeList();
    session->AddBuddy(buddies, L"Gone", AccPresence::Offline);
    pane.AddSession(session.Get(), true);
    EXPECT_EQ(HideMode::None, HideState().mode);
    EXPECT_EQ(-1, Row(L"B:Gone"));
    fake::User* gone = session->FindUser(L"Gone");
    gone->SetLong(AccUserProp::Presence, AccPresence::Available);
    pane.BuddyChanged(session.Get(), gone, AccUserProp::Presence);
    EXPECT_NE(-1, Row(L"B:Gone"));
    gone->SetLong(AccUserProp::Presence, -1);
    pane.BuddyChanged(session.Get(), gone, AccUserProp::Presence);
    EXPECT_EQ(-1, Row(L"B:Gone"));
}

TEST_F(BLPaneTest, MobileBuddiesShowOfflineUnlessAskedFor)
{
    MakeList();
    fake::User* max = session->AddBuddy(buddies, L"Max", AccPresence::Available, 0x0080);
    pane.AddSession(session.Get(), true);
    const CMainBLPane::PresenceIcons hidden = pane.PresenceOf(session.Get(), max);
    EXPECT_EQ(101, hidden.icon);
    EXPECT_EQ(0, hidden.overlay);
    // Bob, Zoe and Carl on line; Amy away counts; Max does not.
    EXPECT_EQ(L"Buddies (4/5)", pane.GroupCaption(session.Get(), buddies));

    SetSwitch(L"ShowMobileBuddies", true);
    pane.ReloadSettings();
    const CMainBLPane::PresenceIcons shown = pane.PresenceOf(session.Get(), max);
    EXPECT_EQ(102, shown.icon);
    EXPECT_EQ(131, shown.overlay);
    EXPECT_EQ(L"Buddies (5/5)", pane.GroupCaption(session.Get(), buddies));
    // The offline group counts its own and everybody else's buddies.
    EXPECT_EQ(L"Offline (1/5)", pane.GroupCaption(session.Get(), offline));
}

TEST_F(BLPaneTest, PresenceIconsAndIdleText)
{
    MakeList();
    fake::User* pat = session->AddBuddy(buddies, L"Pat", AccPresence::Away);
    fake::User* own = session->AddBuddy(buddies, L"AliceDemo", AccPresence::Available);
    pane.AddSession(session.Get(), true);
    struct Case {
        long state;
        long idle;
        bool blocked;
        fake::User* who;
        int icon;
        bool idleText;
    } cases[] = {
        {AccPresence::Available, 0, false, pat, 102, false}, {AccPresence::Idle, 0, false, pat, 103, true},
        {AccPresence::Away, 599, false, pat, 100, false},     {AccPresence::Away, 600, false, pat, 100, true},
        {AccPresence::Offline, 0, false, pat, 101, false},    {AccPresence::Available, 0, true, pat, 118, false},
        {AccPresence::Available, 0, true, own, 102, false},
    };
    for (const Case& c : cases) {
        c.who->SetLong(AccUserProp::Presence, c.state);
        c.who->SetLong(AccUserProp::IdleTime, c.idle);
        c.who->SetBool(AccUserProp::Blocked, c.blocked);
        const CMainBLPane::PresenceIcons icons = pane.PresenceOf(session.Get(), c.who);
        EXPECT_EQ(c.icon, icons.icon) << c.state << " " << c.idle << " " << c.blocked;
        EXPECT_EQ(c.idleText, icons.idleText) << c.state << " " << c.idle;
    }
}

TEST_F(BLPaneTest, TheNetworksDefaultIconIsNeverFetched)
{
    SetSwitch(L"ShowBuddyIcons", true);
    MakeList();
    pane.AddSession(session.Get(), true);
    struct Case {
        const wchar_t* hash;
        bool fetched;
    } cases[] = {{L"0201D20472", false}, {L"0201d20472", false}, {L"8A3F00C1", true}};
    for (const Case& c : cases) {
        Microsoft::WRL::ComPtr<fake::Item> icon;
        *icon.ReleaseAndGetAddressOf() = new fake::Item();
        icon->SetText(AccBartProp::Id, c.hash);
        icon->pending[AccBartProp::Data] = true;
        session->FindUser(L"Bob")->SetObject(AccUserProp::BuddyIcon, icon.Get());

        const int row = Row(L"B:Bob");
        TestCanvas canvas(220, pane.RowHeight(row), RGB(1, 2, 3));
        DRAWITEMSTRUCT item = {};
        item.CtlType = ODT_LISTBOX;
        item.CtlID = kBuddyListControlId;
        item.itemID = static_cast<UINT>(row);
        item.itemAction = ODA_DRAWENTIRE;
        item.hwndItem = pane.ListHwnd();
        item.hDC = canvas.Dc();
        item.rcItem = {0, 0, 220, pane.RowHeight(row)};
        SendMessageW(pane.Hwnd(), WM_DRAWITEM, kBuddyListControlId, reinterpret_cast<LPARAM>(&item));
        EXPECT_EQ(c.fetched, !icon->requests.empty()) << c.hash;
        EXPECT_NE(RGB(1, 2, 3), canvas.At(2, 2)) << "the row was painted";
    }
}

TEST_F(BLPaneTest, RowHeightsFollowFontsAndSwitches)
{
    MakeList();
    session->FindUser(L"Bob")->SetStatusMessage(L"out to lunch");
    pane.AddSession(session.Get(), true);
    const int bob = Row(L"B:Bob");
    EXPECT_EQ(pane.HeaderHeight(), pane.RowHeight(0));
    EXPECT_GE(pane.RowHeight(0), 41);
    EXPECT_GE(pane.RowHeight(1), 19);
    EXPECT_EQ(pane.BuddyHeight(false), pane.RowHeight(bob));
    EXPECT_GE(pane.RowHeight(bob), 22);

    SetSwitch(L"ShowPMsg", true);
    SetSwitch(L"ShowMyBuddyIcon", true);
    pane.ReloadSettings();
    EXPECT_GT(pane.RowHeight(bob), pane.RowHeight(Row(L"B:Zoe"))) << "a status message gets its line";
    EXPECT_GE(pane.RowHeight(0), 54);

    Settings().WriteInt(L"Settings.BL", L"BuddyIconSize", 40);
    SetSwitch(L"ShowBuddyIcons", true);
    SetSwitch(L"ShowPMsg", false);
    pane.ReloadSettings();
    EXPECT_EQ(46, pane.RowHeight(bob));
}

TEST_F(BLPaneTest, SettingsOfTheAccountComeFirst)
{
    Settings().WriteBool(L"Settings.BL", L"SortAlpha", true);
    Settings().WriteBool(L"Settings.BL.AliceDemo", L"SortAlpha", false);
    Settings().WriteBool(L"Settings.BL", L"ShowAlias", true);
    Settings().WriteInt(L"Settings.BL", L"BuddyIconPos", 7);
    Settings().WriteInt(L"Settings.BL", L"TBarPos", -1);
    const BLSettings s = ReadBLSettings(L"AliceDemo");
    EXPECT_FALSE(s.sortAlpha);
    EXPECT_TRUE(s.showAlias);
    EXPECT_EQ(0, s.buddyIconPos);
    EXPECT_EQ(0, s.tbarPos);
}

TEST_F(BLPaneTest, StoredColoursAndFontsOfAWrongLengthReset)
{
    BLColsFonts defaults;
    ResetColsFonts(defaults);
    struct Case {
        size_t length;
        bool firstColourTaken;
    } cases[] = {{0, false}, {337, false}, {4, true}, {336, true}};
    for (const Case& c : cases) {
        std::vector<BYTE> stored(c.length, 0x11);
        if (c.length)
            Settings().WriteBinary(L"Settings.BL.AliceDemo", L"ColsFonts", stored.data(), static_cast<DWORD>(c.length));
        else
            Settings().WriteString(L"Settings.BL.AliceDemo", L"ColsFonts", L"");
        BLColsFonts read;
        ReadColsFonts(L"AliceDemo", read);
        EXPECT_EQ(c.firstColourTaken ? 0x11111111u : defaults.listBackground, read.listBackground) << c.length;
        if (!c.firstColourTaken)
            EXPECT_EQ(defaults.groupBackground, read.groupBackground) << c.length;
    }
}

TEST_F(BLPaneTest, CollapsingPersists)
{
    MakeList();
    pane.AddSession(session.Get(), true);
    pane.ToggleGroup(Row(L"G:Buddies"));
    EXPECT_FALSE(buddies->GetBool(AccGroupProp::Expanded, true)) << "kept by the layer";
    EXPECT_EQ((RowList{L"H:AliceDemo", L"G:Buddies", L"G:Family", L"G:Offline", L"B:Olga"}), Rows());
    pane.RebuildSession(session.Get());
    EXPECT_EQ(-1, Row(L"B:Bob")) << "still collapsed after a rebuild";
    pane.ToggleGroup(Row(L"G:Buddies"));
    EXPECT_NE(-1, Row(L"B:Bob"));

    pane.ToggleIdentity(0);
    EXPECT_EQ(0, Settings().GetInt(L"ViewIdentity", L"AliceDemo", 1));
    EXPECT_EQ(RowList{L"H:AliceDemo"}, Rows());
    pane.RemoveSession(session.Get());
    pane.AddSession(session.Get(), true);
    EXPECT_EQ(RowList{L"H:AliceDemo"}, Rows()) << "an account collapsed stays so when it comes back";
    pane.ToggleIdentity(0);
    EXPECT_EQ(9, pane.RowCount());
}

TEST_F(BLPaneTest, EnterTogglesGroupsAndAccounts)
{
    MakeList();
    pane.AddSession(session.Get(), true);
    auto pressEnterOn = [&](int row) {
        SendMessageW(pane.ListHwnd(), LB_SETSEL, FALSE, -1);
        SendMessageW(pane.ListHwnd(), LB_SETSEL, TRUE, row);
        SendMessageW(pane.ListHwnd(), LB_SETCARETINDEX, row, FALSE);
        SendMessageW(pane.ListHwnd(), WM_KEYDOWN, VK_RETURN, 0);
    };
    pressEnterOn(Row(L"G:Buddies"));
    EXPECT_EQ(-1, Row(L"B:Bob"));
    pressEnterOn(Row(L"G:Buddies"));
    EXPECT_NE(-1, Row(L"B:Bob"));
    pressEnterOn(0);
    EXPECT_EQ(1, pane.RowCount());
}

TEST_F(BLPaneTest, TheStatusMessageIsEditedInPlace)
{
    MakeList();
    pane.AddSession(session.Get(), true);
    ShowWindow(parent, SW_SHOWNA);
    HWND edit = GetDlgItem(pane.Hwnd(), 4);
    ASSERT_NE(nullptr, edit);
    struct Case {
        UINT key;
        const wchar_t* typed;
        bool written;
    } cases[] = {{VK_ESCAPE, L"not this", false}, {VK_RETURN, L"reading a book", true}};
    for (const Case& c : cases) {
        RECT header;
        SendMessageW(pane.ListHwnd(), LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&header));
        POINT point = {header.left + 60, header.bottom - 6};
        ClientToScreen(pane.ListHwnd(), &point);
        SetCursorPos(point.x, point.y);
        ScreenToClient(pane.ListHwnd(), &point);
        SendMessageW(pane.ListHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(point.x, point.y));
        SendMessageW(pane.ListHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(point.x, point.y));
        ASSERT_TRUE(IsWindowVisible(edit)) << c.typed;
        SetWindowTextW(edit, c.typed);
        SendMessageW(edit, WM_KEYDOWN, c.key, 0);
        EXPECT_FALSE(IsWindowVisible(edit)) << c.typed;
        const bool written = session->props.count(AccSessionProp::StatusText) &&
                             session->props[AccSessionProp::StatusText].v.vt == VT_BSTR &&
                             std::wstring(session->props[AccSessionProp::StatusText].v.bstrVal) == c.typed;
        EXPECT_EQ(c.written, written) << c.typed;
    }
}

TEST_F(BLPaneTest, FindingABuddyOpensItsGroup)
{
    MakeList();
    pane.AddSession(session.Get(), true);
    pane.ToggleGroup(Row(L"G:Buddies"));
    ASSERT_TRUE(pane.FindBuddy(L"car l"));
    const int carl = Row(L"B:Carl");
    ASSERT_NE(-1, carl);
    EXPECT_GT(SendMessageW(pane.ListHwnd(), LB_GETSEL, carl, 0), 0);
    EXPECT_FALSE(pane.FindBuddy(L"nobody"));
}

TEST_F(BLPaneTest, DroppingRows)
{
    MakeList();
    fake::User* ann = session->AddBuddy(family, L"Ann", AccPresence::Available);
    (void)ann;
    pane.AddSession(session.Get(), true);
    struct Case {
        const char* what;
        bool sorted;
        const wchar_t* source;
        const wchar_t* target;
        fake::Group* movedIn;   // where MoveBuddy was asked, or null
        long position;
        bool refused;           // the sorted-list notice
    } cases[] = {
        {"within its group, unsorted", false, L"B:Carl", L"B:Amy", nullptr, 1, false},
        {"within its group, sorted", true, L"B:Carl", L"B:Amy", nullptr, 0, true},
        {"onto another group's buddy", true, L"B:Carl", L"B:Ann", nullptr, 0, false},
        {"onto another group", false, L"B:Bob", L"G:Family", nullptr, -1, false},
        {"onto its own group", false, L"B:Bob", L"G:Buddies", nullptr, 0, false},
        {"into the offline group", false, L"B:Bob", L"B:Olga", nullptr, 0, false},
    };
    cases[0].movedIn = buddies;
    cases[2].movedIn = buddies;
    cases[3].movedIn = buddies;
    for (const Case& c : cases) {
        SetSwitch(L"SortAlpha", c.sorted);
        pane.ReloadSettings();
        buddies->moves.clear();
        family->moves.clear();
        g_asked.clear();
        pane.DropRow(Row(c.source), Row(c.target));
        if (c.movedIn) {
            ASSERT_EQ(1u, c.movedIn->moves.size()) << c.what;
            const fake::MoveCall& move = c.movedIn->moves.front();
            EXPECT_EQ(c.position, move.position) << c.what;
            const std::wstring target = c.target;
            fake::Group* into = target == L"B:Amy" ? buddies : family;
            EXPECT_EQ(static_cast<IAccGroup*>(into), move.target) << c.what;
        } else {
            EXPECT_TRUE(buddies->moves.empty() && family->moves.empty()) << c.what;
        }
        EXPECT_EQ(c.refused, g_asked == std::vector<UINT>{188}) << c.what;
    }
}

TEST_F(BLPaneTest, DroppingAGroupMovesItAndCopiesToAnotherAccount)
{
    MakeList();
    pane.AddSession(session.Get(), true);
    pane.DropRow(Row(L"G:Family"), Row(L"G:Buddies"));
    ASSERT_EQ(1u, session->list->groupMoves.size());
    EXPECT_EQ(L"Family", session->list->groupMoves[0].first);
    EXPECT_EQ(0, session->list->groupMoves[0].second);
    EXPECT_FALSE(pane.IsValidDropTarget(Row(L"G:Offline"), Row(L"G:Buddies"))) << "the offline group stays put";

    Microsoft::WRL::ComPtr<fake::Session> other;
    *other.ReleaseAndGetAddressOf() = new fake::Session(L"Bob Demo");
    fake::Group* friends = other->AddGroup(L"Friends");
    pane.AddSession(other.Get(), false);
    fake::User* amy = session->FindUser(L"Amy");
    amy->SetText(AccUserProp::Alias, L"Amy from work");
    amy->SetText(AccUserProp::Note, L"met at the fair");
    pane.DropRow(Row(L"B:Amy"), Row(L"G:Friends"));
    ASSERT_EQ(std::vector<std::wstring>{L"Amy"}, friends->added);
    fake::User* copy = other->FindUser(L"Amy");
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(1u, copy->props.count(AccUserProp::Alias));
    EXPECT_EQ(1u, copy->props.count(AccUserProp::Note));

    pane.DropRow(Row(L"G:Buddies"), Row(L"G:Friends"));
    fake::Group* made = nullptr;
    for (auto& group : other->list->groups) {
        if (group->name == L"Buddies")
            made = group.Get();
    }
    ASSERT_NE(nullptr, made) << "the group is made in the other account";
    EXPECT_EQ((std::vector<std::wstring>{L"Bob", L"Amy", L"Zoe", L"Carl"}), made->added);
    pane.RemoveSession(other.Get());
}

TEST_F(BLPaneTest, TwoAccountsEachHaveTheirHeader)
{
    MakeList();
    Microsoft::WRL::ComPtr<fake::Session> other;
    *other.ReleaseAndGetAddressOf() = new fake::Session(L"Bob Demo");
    other->AddBuddy(other->AddGroup(L"Friends"), L"Alice Demo", AccPresence::Available);
    pane.AddSession(session.Get(), true);
    pane.AddSession(other.Get(), false);
    const RowList all = Rows();
    ASSERT_EQ(12u, all.size());
    EXPECT_EQ(L"H:BobDemo", all[9]);
    EXPECT_EQ((RowList{L"G:Friends", L"B:AliceDemo"}), RowList(all.begin() + 10, all.end()));
    pane.RemoveSession(session.Get());
    EXPECT_EQ((RowList{L"H:BobDemo", L"G:Friends", L"B:AliceDemo"}), Rows());
    pane.RemoveSession(other.Get());
}

TEST_F(BLPaneTest, HittingTheParts)
{
    SetSwitch(L"ShowPMsg", true);
    MakeList();
    session->FindUser(L"Bob")->SetStatusMessage(L"brb", L"https://example.com/");
    pane.AddSession(session.Get(), true);
    RECT bob;
    SendMessageW(pane.ListHwnd(), LB_GETITEMRECT, Row(L"B:Bob"), reinterpret_cast<LPARAM>(&bob));
    RECT header;
    SendMessageW(pane.ListHwnd(), LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&header));
    struct Case {
        POINT point;
        int row;
        int part;
    } cases[] = {
        {{bob.left + 8, bob.top + 8}, Row(L"B:Bob"), kBuddyPartPresence},
        {{bob.left + 60, bob.top + 8}, Row(L"B:Bob"), kBuddyPartName},
        {{bob.left + 60, bob.bottom - 4}, Row(L"B:Bob"), kBuddyPartMessage},
        {{header.left + 10, header.top + 10}, 0, kHeaderPartStatus},
        {{header.right - 10, header.top + 10}, 0, kHeaderPartActions},
        {{header.left + 60, header.bottom - 6}, 0, kHeaderPartMessage},
    };
    for (const Case& c : cases) {
        int part = -1;
        EXPECT_EQ(c.row, pane.HitTest(c.point, &part)) << c.point.x << "," << c.point.y;
        EXPECT_EQ(c.part, part) << c.point.x << "," << c.point.y;
    }
}

TEST_F(BLPaneTest, TheWindowFollowsTheRowsHeight)
{
    const INT32 autoHeight[3] = {1, 0, 100};
    Settings().WriteBinary(L"Settings.BL", L"AutoAdjustHeight", autoHeight, sizeof(autoHeight));
    MakeList();
    pane.AddSession(session.Get(), true);
    auto rowsHeight = [&] {
        int total = 0;
        for (int i = 0; i < pane.RowCount(); ++i)
            total += pane.RowHeight(i);
        return total;
    };
    auto windowHeight = [&] {
        RECT rect;
        GetWindowRect(parent, &rect);
        return static_cast<int>(rect.bottom - rect.top);
    };
    // The pane fills the test's window, so the window is as tall as the rows.
    SetWindowPos(pane.Hwnd(), nullptr, 0, 0, 220, windowHeight(), SWP_NOZORDER);
    pane.AdjustMainWindowHeight();
    SetWindowPos(pane.Hwnd(), nullptr, 0, 0, 220, windowHeight(), SWP_NOZORDER);
    EXPECT_EQ(rowsHeight(), windowHeight());

    fake::User* ben = session->AddBuddy(buddies, L"Ben", AccPresence::Available);
    pane.BuddyAdded(session.Get(), buddies, ben);
    SetWindowPos(pane.Hwnd(), nullptr, 0, 0, 220, windowHeight(), SWP_NOZORDER);
    pane.AdjustMainWindowHeight();
    EXPECT_EQ(rowsHeight(), windowHeight()) << "grows with a new row";
}

TEST_F(BLPaneTest, MenuCommandsOnTheSelectedRow)
{
    MakeList();
    pane.AddSession(session.Get(), true);
    struct Case {
        const wchar_t* row;
        BLRowKind kind;
        UINT asked;
    } cases[] = {
        {L"H:AliceDemo", BLRowKind::Header, 0},
        {L"G:Family", BLRowKind::Group, 147},
        {L"B:Amy", BLRowKind::Buddy, 138},
    };
    for (const Case& c : cases) {
        SendMessageW(pane.ListHwnd(), LB_SETSEL, FALSE, -1);
        SendMessageW(pane.ListHwnd(), LB_SETSEL, TRUE, Row(c.row));
        SendMessageW(pane.ListHwnd(), LB_SETCARETINDEX, Row(c.row), FALSE);
        EXPECT_EQ(c.kind, pane.SelectedRowKind()) << c.row;
        g_asked.clear();
        pane.DeleteSelectedRow();
        EXPECT_EQ(c.asked ? std::vector<UINT>{c.asked} : std::vector<UINT>{}, g_asked) << c.row;
    }
    EXPECT_EQ(std::vector<std::wstring>{L"Amy"}, buddies->removed);

    Settings().WriteString(L"Settings.BL.AliceDemo", L"ColsFonts", L"11111111");
    pane.ReloadSettings();
    ASSERT_EQ(0x11111111u, pane.ColsFonts().listBackground);
    pane.ResetColoursAndFonts();
    BLColsFonts defaults;
    ResetColsFonts(defaults);
    EXPECT_EQ(defaults.listBackground, pane.ColsFonts().listBackground);
    EXPECT_EQ(sizeof(BLColsFonts), Settings().GetBinary(L"Settings.BL.AliceDemo", L"ColsFonts").size());
}

TEST_F(BLPaneTest, HoverShowsTheWholeStatusMessage)
{
    SetSwitch(L"ShowPMsg", true);
    MakeList();
    const std::wstring message(300, L'm');
    session->FindUser(L"Bob")->SetStatusMessage(message + L"!", L"https://example.com/");
    session->FindUser(L"Zoe")->SetStatusMessage(L"plain");
    pane.AddSession(session.Get(), true);
    struct Case {
        const wchar_t* row;
        int yFromBottom;
        std::wstring tip;
        int hover;
    } cases[] = {
        {L"B:Bob", 4, FormatLangString(344, {message + L"!"}), Row(L"B:Bob")},
        {L"B:Zoe", 4, L"plain", Row(L"B:Zoe")},
        {L"G:Family", 4, L"", -1},
    };
    for (const Case& c : cases) {
        RECT rect;
        SendMessageW(pane.ListHwnd(), LB_GETITEMRECT, Row(c.row), reinterpret_cast<LPARAM>(&rect));
        POINT point = {rect.left + 60, rect.bottom - c.yFromBottom};
        ClientToScreen(pane.ListHwnd(), &point);
        SetCursorPos(point.x, point.y);
        ScreenToClient(pane.ListHwnd(), &point);
        SendMessageW(pane.ListHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(point.x, point.y));
        EXPECT_EQ(c.tip, pane.TipText()) << c.row;
        EXPECT_EQ(c.hover, pane.HoverRow()) << c.row;
    }
    SendMessageW(pane.ListHwnd(), WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(L"", pane.TipText());
    EXPECT_EQ(-1, pane.HoverRow());
}

TEST(BuddyListLayoutTest, AutomaticHeightStaysSane)
{
    struct Case {
        const char* what;
        std::vector<INT32> stored;
        bool enabled;
        int anchor;
        int percent;
    } cases[] = {
        {"absent", {}, false, 0, 100},
        {"plain", {1, 1, 60}, true, 1, 60},
        {"zero percent", {1, 0, 0}, true, 0, kAutoHeightMinPercent},
        {"over the work area", {1, 0, 5000}, true, 0, 100},
        {"unknown anchor", {1, 7, 50}, true, 0, 50},
        {"short record", {1, 1}, false, 0, 100},
    };
    for (const Case& c : cases) {
        std::vector<BYTE> bytes(c.stored.size() * sizeof(INT32));
        if (!bytes.empty())
            std::memcpy(bytes.data(), c.stored.data(), bytes.size());
        const BLAutoHeight parsed = ParseAutoHeight(bytes);
        EXPECT_EQ(c.enabled, parsed.enabled) << c.what;
        EXPECT_EQ(c.anchor, parsed.anchor) << c.what;
        EXPECT_EQ(c.percent, parsed.maxPercent) << c.what;
    }

    const RECT work = {0, 0, 1000, 800};
    const RECT window = {100, 100, 300, 500};
    struct Fit {
        const char* what;
        int rows, list, anchor, percent;
        RECT want;
    } fits[] = {
        {"top fixed, rows shorter", 200, 300, 0, 100, {100, 100, 300, 400}},
        {"top fixed, rows taller, capped", 900, 300, 0, 50, {100, 100, 300, 500}},
        {"bottom fixed, rows shorter", 200, 300, 1, 100, {100, 200, 300, 500}},
        {"bottom fixed, up to the work area", 1000, 300, 1, 100, {100, 0, 300, 500}},
        {"top fixed, held in the work area", 900, 300, 0, 100, {100, 100, 300, 800}},
    };
    for (const Fit& f : fits) {
        BLAutoHeight autoHeight;
        autoHeight.enabled = true;
        autoHeight.anchor = f.anchor;
        autoHeight.maxPercent = f.percent;
        const RECT got = AutoHeightRect(window, f.rows, f.list, work, autoHeight);
        EXPECT_TRUE(EqualRect(&got, &f.want)) << f.what << ": " << got.left << "," << got.top << "," << got.right
                                              << "," << got.bottom;
    }
}

TEST(BuddyListLayoutTest, PaneLeavesRoomForToolbarAndPanel)
{
    struct Case {
        int tbarPos, panelStyle;
        RECT list, toolbar, panel;
    } cases[] = {
        {0, 0, {0, 0, 200, 400}, {}, {}},
        {1, 0, {0, 22, 200, 400}, {0, 0, 200, 22}, {}},
        {2, 0, {0, 0, 200, 378}, {0, 378, 200, 400}, {}},
        {1, 1, {0, 72, 200, 400}, {0, 50, 200, 72}, {0, 0, 200, 50}},
        {2, 2, {0, 0, 200, 328}, {0, 328, 200, 350}, {0, 350, 200, 400}},
    };
    for (const Case& c : cases) {
        const PaneLayout layout = LayoutPane(200, 400, 22, c.tbarPos, 50, c.panelStyle);
        EXPECT_TRUE(EqualRect(&layout.list, &c.list)) << c.tbarPos << "/" << c.panelStyle;
        EXPECT_TRUE(EqualRect(&layout.toolbar, &c.toolbar)) << c.tbarPos << "/" << c.panelStyle;
        EXPECT_TRUE(EqualRect(&layout.panel, &c.panel)) << c.tbarPos << "/" << c.panelStyle;
    }
}

TEST(BuddyListLinksTest, OnlyWebAddressesOpen)
{
    struct Case {
        const wchar_t* address;
        bool web;
    } cases[] = {
        {L"http://example.com/", true},        {L"HTTPS://example.com/a?b=c", true},
        {L"file:///C:/Windows/notepad.exe", false}, {L"\\\\server\\share\\x.exe", false},
        {L"C:\\Windows\\system32\\calc.exe", false}, {L"javascript:alert(1)", false},
        {L"https://", false},                   {L"https://example.com/ x", false},
        {L"http://exa\nmple.com", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.web, IsWebAddress(c.address)) << c.address;
    EXPECT_FALSE(OpenWebAddress(nullptr, L"file:///C:/Windows/notepad.exe"));

    EXPECT_EQ(L"johnsmith", ScreenNameForUrl(L"John Smith"));
    EXPECT_EQ(L"a%2Fb%3F%26c", ScreenNameForUrl(L"a/b?&c"));
    EXPECT_EQ(L"%C3%A9", ScreenNameForUrl(L"\u00C9"));
}

} // namespace
