// The pieces of start-up that take plain data: command-line hand-offs, the
// text check for WM_COPYDATA records, the portable log-folder repair, the
// tray menu's states and the main window's colour and placement rules.
#include "AppMessages.h"
#include "CommandLine.h"
#include "CopyData.h"
#include "MainWnd.h"
#include "Startup.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CommandLineTest, WindowHandoffsAreParsedAndBounded)
{
    struct Case {
        const wchar_t* argument;
        bool withText;
        bool ok;
        ULONG_PTR window;
        std::wstring text;
    } cases[] = {
        {L"IM|1A2B|alice", true, true, 0x1A2B, L"alice"},
        {L"im|ff|bob smith", true, true, 0xFF, L"bob"},
        {L"IM|1A2B", true, false, 0x1A2B, L""},
        {L"IM|1A2B|", true, false, 0x1A2B, L""},
        {L"IM|zz|alice", true, false, 0, L""},
        {L"IM|", true, false, 0, L""},
        {L"SG|BEEF", false, true, 0xBEEF, L""},
        {L"EX|12x", false, false, 0x12, L""},
        {L"IM|10|", true, false, 0x10, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.argument)));
        HWND window = nullptr;
        std::wstring text;
        EXPECT_EQ(c.ok, ParseWindowHandoff(c.argument, c.withText, window, text));
        if (c.ok) {
            EXPECT_EQ(c.window, reinterpret_cast<ULONG_PTR>(window));
            EXPECT_EQ(c.text, text);
        }
    }
    // A name longer than the hand-off can carry is cut, not overrun.
    HWND window = nullptr;
    std::wstring text;
    ASSERT_TRUE(ParseWindowHandoff(L"IM|1|" + std::wstring(300, L'n'), true, window, text));
    EXPECT_EQ(126u, text.size());
}

TEST(CopyDataTest, OnlyWholeTerminatedTextsAreRead)
{
    const wchar_t good[] = L"aim:goim?screenname=bob";
    const wchar_t unterminated[4] = {L'a', L'b', L'c', L'd'};
    const wchar_t early[] = L"ab\0cd";
    struct Case {
        const char* name;
        const void* data;
        unsigned long size;
        bool ok;
    } cases[] = {
        {"whole text", good, sizeof(good), true},
        {"null pointer", nullptr, 8, false},
        {"empty", good, 0, false},
        {"odd size", good, 7, false},
        {"no terminator", unterminated, sizeof(unterminated), false},
        {"terminator before the end", early, sizeof(early), false},
        {"size short of the text", good, 6, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring text;
        EXPECT_EQ(c.ok, ReadCopyDataText(c.data, c.size, text));
        if (c.ok) {
            EXPECT_EQ(good, text);
        }
    }
}

TEST(StartupTest, PortableLogFolderFollowsTheDrive)
{
    struct Case {
        const wchar_t* stored;
        const wchar_t* settings;
        const wchar_t* expected;
    } cases[] = {
        {L"E:\\Velmora\\Logs", L"F:\\Velmora\\Velmora.ini", L"F:\\Velmora\\Logs"},
        {L"f:\\Velmora\\Logs", L"F:\\Velmora\\Velmora.ini", L"f:\\Velmora\\Logs"},
        {L"\\\\server\\share\\Logs", L"F:\\Velmora\\Velmora.ini", L"\\\\server\\share\\Logs"},
        {L"E:\\Logs", L"\\\\server\\Velmora\\Velmora.ini", L"E:\\Logs"},
        {L"E:", L"F:\\Velmora.ini", L"E:"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, RepairLogFolderDrive(c.stored, c.settings)) << testing::PrintToString(std::wstring(c.stored));
}

TEST(TrayMenuTest, ItemsGreyWhenLockedOrOffline)
{
    struct Case {
        bool locked;
        bool online;
        bool signOff, status, settings, show, lock, exit;
    } cases[] = {
        {false, false, false, false, true, true, true, true},
        {false, true, true, true, true, true, true, true},
        {true, true, false, false, false, false, true, false},
    };
    for (const Case& c : cases) {
        HMENU menu = BuildTrayMenu(c.locked, c.online);
        auto enabled = [&](UINT id) { return !(GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED); };
        EXPECT_EQ(c.signOff, enabled(7002));
        EXPECT_EQ(c.status, enabled(7001));
        EXPECT_EQ(c.settings, enabled(7003));
        EXPECT_EQ(c.show, enabled(7004));
        EXPECT_EQ(c.lock, enabled(7005));
        EXPECT_EQ(c.exit, enabled(7006));
        EXPECT_EQ(10, GetMenuItemCount(menu));
        DestroyMenu(menu);
    }
}

TEST(MainWindowRulesTest, GradientLightensDarkAndDarkensLight)
{
    // 0x808080 counts as dark, 0x808081 as light.
    const COLORREF dark = 0x808080;
    const COLORREF light = 0x808081;
    EXPECT_GT(GetRValue(GradientFor(dark)), GetRValue(dark));
    EXPECT_LT(GetRValue(GradientFor(light)), GetRValue(light));
    EXPECT_LT(GetRValue(GradientFor(0xF9F6EC)), 0xEC);
}

TEST(MainWindowRulesTest, PlacementOffEveryMonitorComesBack)
{
    const RECT onScreen = {100, 100, 300, 470};
    const RECT got = KeepOnScreen(onScreen);
    EXPECT_EQ(onScreen.left, got.left);
    EXPECT_EQ(onScreen.top, got.top);

    const RECT gone = {3000, 2000, 3200, 2370};
    const RECT back = KeepOnScreen(gone);
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_GE(back.left, work.left);
    EXPECT_LE(back.right, work.right);
    EXPECT_LE(back.bottom, work.bottom);
    EXPECT_EQ(200, back.right - back.left);
    EXPECT_EQ(370, back.bottom - back.top);
}

} // namespace
