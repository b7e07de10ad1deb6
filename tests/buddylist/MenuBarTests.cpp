// The menu bar against a real top-level window that plays the main window:
// it records the popups it is asked to initialise and the commands it gets.
// Popups are modal loops, so a test drives one from inside: each time the loop
// goes idle (WM_ENTERIDLE) the next scripted step runs - it posts keys or mouse
// messages - and when the script is done the window ends the menu itself.
#include "BackgroundBitmap.h"
#include "MenuBarWnd.h"
#include "TestCanvas.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kParentClass[] = L"VlmMenuBarTestParent";
constexpr UINT_PTR kWatchdogTimer = 77;

// What the parent window saw while a test ran.
struct MenuLog {
    std::vector<HMENU> opened;                  // WM_INITMENUPOPUP, in order
    std::vector<UINT> commands;                 // WM_COMMAND from menus
    std::vector<std::function<void()>> steps;   // one per idle moment of a popup
    size_t nextStep = 0;
    bool endedByTest = false;                   // the script ran out and ended the menu
    bool timedOut = false;
};

MenuLog* g_log = nullptr;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_log) {
        switch (message) {
        case WM_INITMENUPOPUP:
            g_log->opened.push_back(reinterpret_cast<HMENU>(wParam));
            break;
        case WM_COMMAND:
            if (lParam == 0)
                g_log->commands.push_back(LOWORD(wParam));
            return 0;
        case WM_ENTERIDLE:
            if (wParam == MSGF_MENU) {
                if (g_log->nextStep < g_log->steps.size()) {
                    g_log->steps[g_log->nextStep++]();
                } else {
                    g_log->endedByTest = true;
                    EndMenu();
                }
            }
            return 0;
        case WM_TIMER:
            // A popup that no step can close would hang the suite: end it and
            // let the test fail instead.
            if (wParam == kWatchdogTimer) {
                g_log->timedOut = true;
                EndMenu();
                return 0;
            }
            break;
        default:
            break;
        }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void RegisterParentClass()
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &ParentProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kParentClass;
    RegisterClassExW(&wc);
}

// Runs everything that is waiting in the thread's queue, popups that posted
// messages open included.
void PumpPending()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

HMENU MenuOfTitles(const std::vector<std::wstring>& titles)
{
    HMENU menu = CreateMenu();
    UINT id = 1000;
    for (const std::wstring& title : titles) {
        HMENU popup = CreatePopupMenu();
        AppendMenuW(popup, MF_STRING, id++, L"Item");
        AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), title.c_str());
    }
    return menu;
}

std::wstring ButtonText(HWND toolbar, int index)
{
    TBBUTTON button = {};
    SendMessageW(toolbar, TB_GETBUTTON, index, reinterpret_cast<LPARAM>(&button));
    const LRESULT length = SendMessageW(toolbar, TB_GETBUTTONTEXTW, button.idCommand, 0);
    if (length < 0)
        return L"<none>";
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(toolbar, TB_GETBUTTONTEXTW, button.idCommand, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(length));
    return text;
}

class MenuBarTest : public ::testing::Test {
protected:
    // One shown parent for the whole suite: the mouse finds the titles only
    // on a shown window, and taking a shown top-level window down costs
    // seconds under Wine without a window manager.
    static void SetUpTestSuite()
    {
        RegisterParentClass();
        shownParent_ = CreateWindowExW(0, kParentClass, L"Menu bar",
                                       WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 40, 40, 520, 320, nullptr,
                                       nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    static void TearDownTestSuite()
    {
        DestroyWindow(shownParent_);
        shownParent_ = nullptr;
    }

    void SetUp() override
    {
        parent_ = shownParent_;
        ASSERT_NE(nullptr, parent_);
        // Far from the titles: a stray mouse move must not switch popups.
        SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);

        menu_ = CreateMenu();
        HMENU file = CreatePopupMenu();
        AppendMenuW(file, MF_STRING, 101, L"&New");
        AppendMenuW(file, MF_STRING, 110, L"E&xit");
        HMENU edit = CreatePopupMenu();
        AppendMenuW(edit, MF_STRING, 201, L"&Add");
        HMENU view = CreatePopupMenu();
        colours_ = CreatePopupMenu();
        AppendMenuW(colours_, MF_STRING, 17001, L"&Default");
        AppendMenuW(view, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(colours_), L"&Colour");
        AppendMenuW(view, MF_STRING, 302, L"&Toolbar");
        HMENU help = CreatePopupMenu();
        AppendMenuW(help, MF_STRING, 403, L"&About");
        AppendMenuW(menu_, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(file), L"&File");
        AppendMenuW(menu_, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(edit), L"&Edit");
        AppendMenuW(menu_, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(view), L"&View");
        // The first letter is not the mnemonic here.
        AppendMenuW(menu_, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(help), L"He&lp");

        ASSERT_TRUE(bar_.Create(parent_));
        ASSERT_TRUE(bar_.SetMenu(menu_));
        PlaceBar(0);
        g_log = &log_;
        SetTimer(parent_, kWatchdogTimer, 10000, nullptr);
    }

    void TearDown() override
    {
        g_log = nullptr;
        bar_.Destroy();
        if (parent_)
            KillTimer(parent_, kWatchdogTimer);
        if (menu_)
            DestroyMenu(menu_);
        PumpPending();
    }

    void PlaceBar(int top)
    {
        RECT client;
        GetClientRect(parent_, &client);
        SetWindowPos(bar_.Hwnd(), nullptr, 0, top, client.right, bar_.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
        UpdateWindow(parent_);
    }

    HMENU Popup(int index) const { return GetSubMenu(menu_, index); }

    // The popup at `index`; -1 stands for the View popup's colour submenu.
    HMENU Expected(int index) const { return index < 0 ? colours_ : Popup(index); }

    std::vector<HMENU> Expected(const std::vector<int>& indexes) const
    {
        std::vector<HMENU> menus;
        for (int index : indexes)
            menus.push_back(Expected(index));
        return menus;
    }

    POINT ButtonCentre(int index) const
    {
        RECT button = {};
        SendMessageW(bar_.ToolbarHwnd(), TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&button));
        return {(button.left + button.right) / 2, (button.top + button.bottom) / 2};
    }

    // A step that presses `keys` in order while a popup is open.
    std::function<void()> Keys(std::vector<WPARAM> keys) const
    {
        return [hwnd = parent_, keys] {
            for (WPARAM key : keys)
                PostMessageW(hwnd, WM_KEYDOWN, key, 1);
        };
    }

    // A step that moves the mouse onto title `index` or presses its button there.
    std::function<void()> Mouse(UINT message, int index) const
    {
        return [this, message, index] {
            const POINT client = ButtonCentre(index);
            POINT screen = client;
            ClientToScreen(bar_.ToolbarHwnd(), &screen);
            SetCursorPos(screen.x, screen.y);
            PostMessageW(bar_.ToolbarHwnd(), message, message == WM_MOUSEMOVE ? 0 : MK_LBUTTON,
                         MAKELPARAM(client.x, client.y));
        };
    }

    static HWND shownParent_;
    HWND parent_ = nullptr;
    HMENU menu_ = nullptr;
    HMENU colours_ = nullptr;
    CMenuBarWnd bar_;
    MenuLog log_;
};

HWND MenuBarTest::shownParent_ = nullptr;

TEST_F(MenuBarTest, ButtonsAreTheTitlesOfTheMenusPopups)
{
    HWND toolbar = bar_.ToolbarHwnd();
    ASSERT_NE(nullptr, toolbar);
    EXPECT_EQ(kMenuBarToolbarId, GetDlgCtrlID(toolbar));
    EXPECT_EQ(bar_.Hwnd(), GetParent(toolbar));
    EXPECT_EQ(parent_, GetParent(bar_.Hwnd()));

    const std::wstring longest(259, L'w');
    struct Case {
        std::vector<std::wstring> titles;
        std::vector<std::wstring> shown;
    };
    // One after the other on the same bar: each menu replaces the buttons of
    // the one before.
    const Case cases[] = {
        {{L"&File", L"&Edit", L"&View", L"He&lp"}, {L"&File", L"&Edit", L"&View", L"He&lp"}},
        {{L"&One", L"&Two"}, {L"&One", L"&Two"}},
        {{longest, longest + L"xyz"}, {longest, longest}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.titles.size() << " titles");
        HMENU menu = MenuOfTitles(c.titles);
        ASSERT_TRUE(bar_.SetMenu(menu));
        ASSERT_EQ(static_cast<LRESULT>(c.shown.size()), SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
        for (size_t i = 0; i < c.shown.size(); ++i)
            EXPECT_EQ(c.shown[i], ButtonText(toolbar, static_cast<int>(i)));
        bar_.SetMenu(nullptr);
        DestroyMenu(menu);
    }
}

TEST_F(MenuBarTest, HeightAndFullWidthHoldEveryTitle)
{
    HWND toolbar = bar_.ToolbarHwnd();
    RECT first = {};
    SendMessageW(toolbar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
    EXPECT_GT(first.bottom - first.top, 0);
    EXPECT_GE(bar_.Height(), first.bottom - first.top);

    // At exactly its full width the bar shows the last title whole.
    const int width = bar_.FullWidth();
    SetWindowPos(bar_.Hwnd(), nullptr, 0, 0, width, bar_.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
    int sum = 0;
    for (int i = 0; i < 4; ++i) {
        RECT button = {};
        SendMessageW(toolbar, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&button));
        sum += button.right - button.left;
    }
    EXPECT_GE(width, sum);
    RECT last = {};
    SendMessageW(toolbar, TB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&last));
    MapWindowPoints(toolbar, bar_.Hwnd(), reinterpret_cast<POINT*>(&last), 2);
    RECT shown = {};
    GetWindowRect(toolbar, &shown);
    MapWindowPoints(nullptr, bar_.Hwnd(), reinterpret_cast<POINT*>(&shown), 2);
    EXPECT_LE(last.right, width);
    EXPECT_LE(last.right, shown.right);
    EXPECT_LE(shown.bottom, bar_.Height());
}

TEST_F(MenuBarTest, ThemeFontResizesTheBar)
{
    const int width = bar_.FullWidth();
    const int height = bar_.Height();
    LOGFONTW description = {};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(description), &description);
    description.lfHeight = -36;
    HFONT large = CreateFontIndirectW(&description);

    bar_.SetColors(RGB(0, 0, 0), large, true);
    EXPECT_GT(bar_.FullWidth(), width);
    EXPECT_GT(bar_.Height(), height);

    // Unthemed, the bar goes back to the system's font whatever font it is given.
    bar_.SetColors(RGB(0, 0, 0), large, false);
    EXPECT_EQ(width, bar_.FullWidth());
    EXPECT_EQ(height, bar_.Height());
    bar_.Destroy();
    DeleteObject(large);
}

// Counts the strongly red pixels the toolbar paints over a white picture.
int RedPixels(HWND toolbar)
{
    RECT client;
    GetClientRect(toolbar, &client);
    TestCanvas canvas(client.right, client.bottom, RGB(255, 255, 255));
    SendMessageW(toolbar, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.Dc()), PRF_CLIENT);
    int red = 0;
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) {
            const COLORREF pixel = canvas.At(x, y);
            if (GetRValue(pixel) > 180 && GetGValue(pixel) < 90 && GetBValue(pixel) < 90)
                ++red;
        }
    }
    return red;
}

TEST_F(MenuBarTest, ThemedTitlesAreDrawnInTheThemeColour)
{
    bar_.SetColors(RGB(255, 0, 0), nullptr, true);
    EXPECT_GT(RedPixels(bar_.ToolbarHwnd()), 0);
    bar_.SetColors(RGB(255, 0, 0), nullptr, false);
    EXPECT_EQ(0, RedPixels(bar_.ToolbarHwnd()));
}

TEST_F(MenuBarTest, BarsStandOnTheMainBackground)
{
    // Every pixel of the picture says where it is, so a copy from the wrong
    // place shows.
    RECT client;
    GetClientRect(parent_, &client);
    auto pattern = [](int x, int y) { return RGB(x & 0xFF, y & 0xFF, 0x5A + (x >> 8)); };
    TestCanvas source(client.right, client.bottom, 0);
    for (int y = 0; y < client.bottom; ++y)
        for (int x = 0; x < client.right; ++x)
            source.Set(x, y, pattern(x, y));
    CBackgroundBitmap& background = MainBackground();
    ASSERT_TRUE(background.Resize(client.right, client.bottom));
    BitBlt(background.Dc(), 0, 0, client.right, client.bottom, source.Dc(), 0, 0, SRCCOPY);
    background.owner = parent_;
    PlaceBar(9);

    for (HWND window : {bar_.Hwnd(), bar_.ToolbarHwnd()}) {
        RECT area;
        GetClientRect(window, &area);
        POINT origin = {0, 0};
        MapWindowPoints(window, parent_, &origin, 1);
        TestCanvas canvas(area.right, area.bottom, RGB(255, 255, 255));
        SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.Dc()), 0);
        const POINT probes[] = {{0, 0}, {area.right - 1, area.bottom - 1}, {area.right / 2, area.bottom / 3}};
        for (const POINT& probe : probes) {
            SCOPED_TRACE(testing::Message() << "window " << window << " at " << probe.x << "," << probe.y);
            EXPECT_EQ(pattern(probe.x + origin.x, probe.y + origin.y), canvas.At(probe.x, probe.y));
        }
    }
    background.Release();
    background.owner = nullptr;
}

TEST(MenuMnemonicTest, FindsTheCharacterAfterASingleAmpersand)
{
    const struct {
        const wchar_t* title;
        wchar_t mnemonic;
    } cases[] = {
        {L"&File", L'F'},       {L"He&lp", L'l'},     {L"&&Tools", 0},     {L"Save && &Quit", L'Q'},
        {L"&&&Odd", L'O'},      {L"Trailing&", 0},    {L"", 0},            {L"No mnemonic", 0},
        {L"&1 Recent", L'1'},   {L"&&", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.mnemonic, MenuMnemonic(c.title)) << "title \"" << testing::PrintToString(std::wstring(c.title));
}

TEST_F(MenuBarTest, KeyMenuOpensThePopupOfTheMnemonic)
{
    const struct {
        wchar_t key;
        int popup;   // -1: nothing opens
    } cases[] = {
        {L'v', 2}, {L'V', 2}, {L'f', 0}, {L'l', 3},
        {L'h', -1},  // the first letter of "He&lp" is not its mnemonic
        {L'q', -1},
        {L' ', -1},
        {0, 0},      // Alt or F10 alone opens the first popup
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "key " << static_cast<int>(c.key));
        log_ = MenuLog();
        EXPECT_EQ(c.popup >= 0, bar_.OnKeyMenu(c.key));
        if (c.popup >= 0) {
            EXPECT_EQ(std::vector<HMENU>{Popup(c.popup)}, log_.opened);
            EXPECT_TRUE(log_.endedByTest);
        } else {
            EXPECT_TRUE(log_.opened.empty());
        }
        EXPECT_FALSE(log_.timedOut);
    }
}

struct NavigationCase {
    const char* name;
    wchar_t key;                              // opens the first popup
    std::vector<std::vector<WPARAM>> steps;   // keys pressed at each idle moment
    std::vector<int> opened;                  // popups initialised, -1: the submenu
    bool endedByTest;                         // false: the keys closed the menu
};

const NavigationCase kNavigation[] = {
    {"RightWrapsFromTheLastTitle", L'l', {{VK_RIGHT}}, {3, 0}, true},
    {"LeftWrapsFromTheFirstTitle", L'f', {{VK_LEFT}}, {0, 3}, true},
    {"RightWalksEveryTitle", L'f', {{VK_RIGHT}, {VK_RIGHT}, {VK_RIGHT}, {VK_RIGHT}}, {0, 1, 2, 3, 0}, true},
    {"LeftWalksBack", L'v', {{VK_LEFT}, {VK_LEFT}}, {2, 1, 0}, true},
    {"RightOnAPlainItemMovesOn", L'f', {{VK_DOWN, VK_RIGHT}}, {0, 1}, true},
    {"RightOnASubmenuItemOpensIt", L'v', {{VK_DOWN, VK_RIGHT}}, {2, -1}, true},
    {"LeftClosesTheSubmenuBeforeMovingOn", L'v', {{VK_DOWN, VK_RIGHT}, {VK_LEFT}, {VK_LEFT}}, {2, -1, 1}, true},
    {"EscapeClosesOnlyTheSubmenu", L'v', {{VK_DOWN, VK_RIGHT}, {VK_ESCAPE}, {VK_RIGHT}}, {2, -1, -1}, true},
    {"EscapeClosesThePopup", L'e', {{VK_ESCAPE}}, {1}, false},
};

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const NavigationCase& c, std::ostream* out)
{
    *out << c.name;
}

class MenuBarNavigationTest : public MenuBarTest, public ::testing::WithParamInterface<NavigationCase> {};

TEST_P(MenuBarNavigationTest, KeysMoveBetweenPopups)
{
    const NavigationCase& c = GetParam();
    for (const auto& keys : c.steps)
        log_.steps.push_back(Keys(keys));
    EXPECT_TRUE(bar_.OnKeyMenu(c.key));
    EXPECT_EQ(Expected(c.opened), log_.opened);
    EXPECT_EQ(c.endedByTest, log_.endedByTest);
    EXPECT_FALSE(log_.timedOut);
    EXPECT_TRUE(log_.commands.empty());
}

INSTANTIATE_TEST_SUITE_P(Keys, MenuBarNavigationTest, ::testing::ValuesIn(kNavigation),
                         [](const testing::TestParamInfo<NavigationCase>& info) { return info.param.name; });

TEST_F(MenuBarTest, DisabledTitlesAreSkipped)
{
    EnableMenuItem(menu_, 1, MF_BYPOSITION | MF_GRAYED);
    ASSERT_TRUE(bar_.SetMenu(menu_));
    EXPECT_FALSE(bar_.OnKeyMenu(L'e'));
    EXPECT_TRUE(log_.opened.empty());

    log_.steps = {Keys({VK_RIGHT}), Keys({VK_LEFT})};
    EXPECT_TRUE(bar_.OnKeyMenu(L'f'));
    EXPECT_EQ(Expected({0, 2, 0}), log_.opened);
}

TEST_F(MenuBarTest, ChosenCommandReachesTheMainWindow)
{
    log_.steps = {Keys({VK_DOWN, VK_DOWN})};
    log_.steps.push_back([hwnd = parent_] { PostMessageW(hwnd, WM_CHAR, L'\r', 1); });
    EXPECT_TRUE(bar_.OnKeyMenu(L'f'));
    PumpPending();
    EXPECT_EQ(std::vector<UINT>{110}, log_.commands);
    EXPECT_FALSE(log_.endedByTest);
}

TEST_F(MenuBarTest, MouseMovesBetweenTitlesAndAClickOnTheOpenOneCloses)
{
    log_.steps = {Mouse(WM_MOUSEMOVE, 2), Mouse(WM_MOUSEMOVE, 2), Mouse(WM_LBUTTONDOWN, 2)};
    EXPECT_TRUE(bar_.OnKeyMenu(L'f'));
    // Had the click gone on to the toolbar, it would have opened the popup
    // again once the menu closed.
    PumpPending();
    EXPECT_EQ(Expected({0, 2}), log_.opened);
    EXPECT_FALSE(log_.endedByTest);
    EXPECT_FALSE(log_.timedOut);
}

TEST_F(MenuBarTest, PressOnATitleOpensItsPopup)
{
    const POINT centre = ButtonCentre(1);
    POINT screen = centre;
    ClientToScreen(bar_.ToolbarHwnd(), &screen);
    SetCursorPos(screen.x, screen.y);
    PostMessageW(bar_.ToolbarHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(centre.x, centre.y));
    PostMessageW(bar_.ToolbarHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(centre.x, centre.y));
    PumpPending();
    EXPECT_EQ(std::vector<HMENU>{Popup(1)}, log_.opened);
    EXPECT_TRUE(log_.endedByTest);
    EXPECT_TRUE(log_.commands.empty());
}

TEST_F(MenuBarTest, TheBarNeverDestroysTheMenu)
{
    HWND rebar = bar_.Hwnd();
    HWND toolbar = bar_.ToolbarHwnd();
    bar_.Destroy();
    EXPECT_FALSE(IsWindow(rebar));
    EXPECT_FALSE(IsWindow(toolbar));
    EXPECT_EQ(nullptr, bar_.Hwnd());
    EXPECT_EQ(nullptr, bar_.ToolbarHwnd());
    EXPECT_TRUE(IsMenu(menu_));

    {
        CMenuBarWnd other;
        ASSERT_TRUE(other.Create(parent_));
        other.SetMenu(menu_);
        rebar = other.Hwnd();
    }
    EXPECT_FALSE(IsWindow(rebar));
    EXPECT_TRUE(IsMenu(menu_));
    EXPECT_NE(nullptr, GetSubMenu(menu_, 0));
}

TEST_F(MenuBarTest, ParentGoingFirstLeavesNoStaleHandles)
{
    HWND parent = CreateWindowExW(0, kParentClass, L"", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    CMenuBarWnd bar;
    ASSERT_TRUE(bar.Create(parent));
    ASSERT_TRUE(bar.SetMenu(menu_));
    DestroyWindow(parent);
    EXPECT_EQ(nullptr, bar.Hwnd());
    EXPECT_EQ(nullptr, bar.ToolbarHwnd());
    EXPECT_EQ(0, bar.Height());
    EXPECT_EQ(0, bar.FullWidth());
    EXPECT_FALSE(bar.OnKeyMenu(L'f'));
    EXPECT_FALSE(bar.SetMenu(menu_));
    EXPECT_TRUE(IsMenu(menu_));
}

} // namespace
