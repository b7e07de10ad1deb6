// The main window in this process, on a settings file of its own.
#include "AppState.h"
#include "MainWnd.h"
#include "TestSupport.h"
#include "WindowPlacement.h"

#include <gtest/gtest.h>

namespace {

// Lets a test put the window into the docked state that docking will set.
class TestMainWnd : public CMainWnd {
public:
    void SetDocked(bool docked) { docked_ = docked; }
};

class MainWndTest : public ::testing::Test {
protected:
    void SetUp() override { Settings().SetPath(folder.File(L"Velmora.ini").c_str()); }
    void TearDown() override
    {
        if (main.Hwnd())
            DestroyWindow(main.Hwnd());
        Settings().SetPath(nullptr);
    }

    TempFolder folder;
    TestMainWnd main;
};

TEST_F(MainWndTest, StartsOnTheSignOnPaneWithItsMenuBar)
{
    ASSERT_TRUE(main.Create(nullptr));
    EXPECT_EQ(kSignOnPaneId, SendMessageW(main.Hwnd(), WM_USER, 0, 0));
    ASSERT_NE(nullptr, main.MenuBar());
    EXPECT_EQ(4, static_cast<int>(SendMessageW(main.MenuBar()->ToolbarHwnd(), TB_BUTTONCOUNT, 0, 0)));
    // The pane fills what the menu bar leaves.
    RECT pane;
    GetWindowRect(main.SignOnPane()->Hwnd(), &pane);
    MapWindowPoints(nullptr, main.Hwnd(), reinterpret_cast<POINT*>(&pane), 2);
    EXPECT_EQ(main.MenuBar()->Height(), pane.top);

    CPaneWnd::ShowPane(main.BuddyListPane(), false);
    EXPECT_EQ(0, SendMessageW(main.Hwnd(), WM_USER, 0, 0));
    CPaneWnd::ShowPane(main.SignOnProgressPane(), false);
    EXPECT_EQ(kSignOnProgressPaneId, SendMessageW(main.Hwnd(), WM_USER, 0, 0));
}

TEST_F(MainWndTest, MenuBarFollowsTheSetting)
{
    Settings().WriteBool(L"General", L"ShowMainMenu", false);
    ASSERT_TRUE(main.Create(nullptr));
    EXPECT_EQ(nullptr, main.MenuBar());
    EXPECT_EQ(0, main.PaneArea().top);
    main.ShowMenuBar(1);
    ASSERT_NE(nullptr, main.MenuBar());
    EXPECT_EQ(main.MenuBar()->Height(), main.PaneArea().top);
}

TEST_F(MainWndTest, ColoursAreKeptAndWritten)
{
    Settings().WriteUInt(L"General", L"WndBGCol", 0x102030);
    ASSERT_TRUE(main.Create(nullptr));
    EXPECT_EQ(0x102030u, main.BackgroundColor());
    main.SetBackgroundColor(0x808080);
    EXPECT_EQ(0x808080u, Settings().GetUInt(L"General", L"WndBGCol", 0));
    EXPECT_EQ(GradientFor(0x808080), main.GradientColor());
    main.SetTextColor(0x0000FF);
    EXPECT_EQ(0x0000FFu, Settings().GetUInt(L"General", L"WndTextCol", 0));
}

TEST_F(MainWndTest, ClosingHidesAndSavesUnlessDocked)
{
    ASSERT_TRUE(main.Create(nullptr));
    ASSERT_TRUE(IsWindowVisible(main.Hwnd()));
    SendMessageW(main.Hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(main.Hwnd()));
    EXPECT_TRUE(IsWindow(main.Hwnd()));
    WINDOWPLACEMENT saved;
    ASSERT_TRUE(ReadWindowPlacement(Settings(), L"Main", saved));

    Settings().DeleteKey(L"WndPos", L"Main");
    main.SetDocked(true);
    ShowWindow(main.Hwnd(), SW_SHOWNORMAL);
    SendMessageW(main.Hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(Settings().KeyExists(L"WndPos", L"Main"));
}

TEST_F(MainWndTest, ViewSwitchesFlipTheirSettings)
{
    ASSERT_TRUE(main.Create(nullptr));
    SendMessageW(main.Hwnd(), WM_COMMAND, 310, 0);
    EXPECT_TRUE(Settings().GetBool(L"Settings.BL", L"SortAlpha", false));
    SendMessageW(main.Hwnd(), WM_COMMAND, 310, 0);
    EXPECT_FALSE(Settings().GetBool(L"Settings.BL", L"SortAlpha", true));

    SendMessageW(main.Hwnd(), WM_COMMAND, 312, 0);
    EXPECT_TRUE(GetWindowLongPtrW(main.Hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    SendMessageW(main.Hwnd(), WM_COMMAND, 301, 0);
    EXPECT_FALSE(GetWindowLongPtrW(main.Hwnd(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_TRUE(IsWindowVisible(main.Hwnd()));
    SendMessageW(main.Hwnd(), WM_COMMAND, 301, 0);
    EXPECT_TRUE(GetWindowLongPtrW(main.Hwnd(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
}

TEST_F(MainWndTest, ClosingWithAutomaticHeightKeepsTheSavedPlacement)
{
    const INT32 autoHeight[3] = {1, 0, 80};
    Settings().WriteBinary(L"Settings.BL", L"AutoAdjustHeight", autoHeight, sizeof(autoHeight));
    ASSERT_TRUE(main.Create(nullptr));
    SendMessageW(main.Hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(Settings().KeyExists(L"WndPos", L"Main"));
}

TEST_F(MainWndTest, SnapsToTheWorkAreaEdges)
{
    ASSERT_TRUE(main.Create(nullptr));
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT rect;
    GetWindowRect(main.Hwnd(), &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;

    SetWindowPos(main.Hwnd(), nullptr, work.left + 10, work.top + 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    GetWindowRect(main.Hwnd(), &rect);
    EXPECT_EQ(work.left + 10, rect.left) << "no snapping while the setting is off";

    Settings().WriteBool(L"Settings.BL", L"SnapToScreen", true);
    struct Case {
        int x, y;
        int wantX, wantY;
    } cases[] = {
        {work.left + 10, work.top + 100, work.left, work.top + 100},
        {work.right - width - 12, work.top + 5, work.right - width, work.top},
        {work.left + 40, work.bottom - height - 7, work.left + 40, work.bottom - height},
        {work.left + 40, work.top + 13, work.left + 40, work.top + 13},
    };
    for (const Case& c : cases) {
        SetWindowPos(main.Hwnd(), nullptr, c.x, c.y, width, height, SWP_NOZORDER);
        GetWindowRect(main.Hwnd(), &rect);
        EXPECT_EQ(c.wantX, rect.left) << c.x << "," << c.y;
        EXPECT_EQ(c.wantY, rect.top) << c.x << "," << c.y;
    }
}

TEST_F(MainWndTest, NoticesOpenAndCloseTheNoticeBar)
{
    ASSERT_TRUE(main.Create(nullptr));
    const int before = main.PaneArea().top;
    main.AddNotice(LoadIconW(nullptr, IDI_ERROR), L"Sign-on failed: the server did not answer in time. (0x80040213)");
    EXPECT_GT(main.PaneArea().top, before);
    main.ClearNotices();
    EXPECT_EQ(before, main.PaneArea().top);
}

TEST_F(MainWndTest, ShortLivedInstancesReachItThroughCopyData)
{
    ASSERT_TRUE(main.Create(nullptr));
    COPYDATASTRUCT exit = {};
    exit.dwData = 28;
    SendMessageW(main.Hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&exit));
    MSG msg;
    bool quit = false;
    // The record posts the exit command, which posts the quit message.
    while (!quit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            quit = true;
        else
            DispatchMessageW(&msg);
    }
    EXPECT_TRUE(quit);
}

} // namespace
