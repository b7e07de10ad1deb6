#include "ToolTip.h"
#include "UiTestWindows.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>

namespace {

TOOLINFOW Query(HWND tip, HWND window, UINT_PTR id, bool* found)
{
    TOOLINFOW info = {};
    info.cbSize = sizeof(info);
    info.hwnd = window;
    info.uId = id;
    *found = SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&info)) != FALSE;
    return info;
}

std::wstring TextOf(HWND tip, HWND window, UINT_PTR id)
{
    wchar_t text[1024] = {};
    TOOLINFOW info = {};
    info.cbSize = sizeof(info);
    info.hwnd = window;
    info.uId = id;
    info.lpszText = text;
    SendMessageW(tip, TTM_GETTEXTW, ARRAYSIZE(text), reinterpret_cast<LPARAM>(&info));
    return text;
}

int ToolCount(HWND tip)
{
    return static_cast<int>(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0));
}

TEST(ToolTipTest, AddsEachToolOnceWithTheFlagsOfItsKind)
{
    CTestParent owner;
    HWND button = CreateWindowExW(0, L"BUTTON", L"b", WS_CHILD | WS_VISIBLE, 10, 10, 80, 24, owner.Hwnd(), nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    CToolTip tip;
    ASSERT_TRUE(tip.Create(owner.Hwnd(), false));
    HWND tipWnd = tip.Hwnd();

    EXPECT_TRUE(tip.AddTool(owner.Hwnd(), 1, L"first", false));
    EXPECT_TRUE(tip.AddTool(owner.Hwnd(), 1, L"second text, same tool", false));
    EXPECT_EQ(1, ToolCount(tipWnd));
    EXPECT_EQ(L"first", TextOf(tipWnd, owner.Hwnd(), 1));

    EXPECT_TRUE(tip.AddTool(owner.Hwnd(), 2, L"another id", false));
    const auto buttonId = reinterpret_cast<UINT_PTR>(button);
    EXPECT_TRUE(tip.AddTool(button, buttonId, L"the button", true));
    EXPECT_TRUE(tip.AddTool(button, buttonId, L"the button again", true));
    EXPECT_EQ(3, ToolCount(tipWnd));

    bool found = false;
    const TOOLINFOW tracked = Query(tipWnd, owner.Hwnd(), 1, &found);
    ASSERT_TRUE(found);
    EXPECT_EQ(static_cast<UINT>(TTF_TRACK | TTF_ABSOLUTE), tracked.uFlags & (TTF_TRACK | TTF_ABSOLUTE | TTF_SUBCLASS));
    RECT client = {};
    GetClientRect(owner.Hwnd(), &client);
    EXPECT_TRUE(EqualRect(&client, &tracked.rect));

    const TOOLINFOW subclassed = Query(tipWnd, button, buttonId, &found);
    ASSERT_TRUE(found);
    EXPECT_EQ(static_cast<UINT>(TTF_IDISHWND | TTF_SUBCLASS),
              subclassed.uFlags & (TTF_TRACK | TTF_ABSOLUTE | TTF_IDISHWND | TTF_SUBCLASS));
    EXPECT_EQ(L"the button", TextOf(tipWnd, button, buttonId));
}

TEST(ToolTipTest, ChangesTheTextOfAKnownTool)
{
    CTestParent owner;
    CToolTip tip;
    ASSERT_TRUE(tip.Create(owner.Hwnd(), false));
    ASSERT_TRUE(tip.AddTool(owner.Hwnd(), 4, L"before", false));
    tip.SetToolText(owner.Hwnd(), 4, L"after");
    EXPECT_EQ(L"after", TextOf(tip.Hwnd(), owner.Hwnd(), 4));
    EXPECT_EQ(1, ToolCount(tip.Hwnd()));
}

class ToolTipStyleTest : public ::testing::TestWithParam<bool> {};

TEST_P(ToolTipStyleTest, OneTopmostWindowOwnedByTheWindowItServes)
{
    const bool balloon = GetParam();
    CTestParent owner;
    CToolTip tip;
    ASSERT_TRUE(tip.Create(owner.Hwnd(), balloon));
    HWND first = tip.Hwnd();
    ASSERT_TRUE(tip.Create(owner.Hwnd(), !balloon));
    EXPECT_EQ(first, tip.Hwnd());

    const LONG_PTR style = GetWindowLongPtrW(first, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_TRUE(style & TTS_NOPREFIX);
    EXPECT_TRUE(style & TTS_ALWAYSTIP);
    EXPECT_EQ(balloon, (style & TTS_BALLOON) != 0);
    EXPECT_TRUE(GetWindowLongPtrW(first, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(owner.Hwnd(), GetWindow(first, GW_OWNER));
    wchar_t className[64] = {};
    GetClassNameW(first, className, ARRAYSIZE(className));
    EXPECT_STREQ(L"tooltips_class32", className);
}

INSTANTIATE_TEST_SUITE_P(Styles, ToolTipStyleTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Balloon" : "Plain"; });

TEST(ToolTipTest, GoesWithItsObjectAndSurvivesItsOwnerGoingFirst)
{
    CTestParent owner;
    HWND tipWnd = nullptr;
    {
        CToolTip tip;
        ASSERT_TRUE(tip.Create(owner.Hwnd(), false));
        tip.AddTool(owner.Hwnd(), 1, L"tool", false);
        tipWnd = tip.Hwnd();
    }
    EXPECT_FALSE(IsWindow(tipWnd));

    CTestParent shortLived;
    CToolTip tip;
    ASSERT_TRUE(tip.Create(shortLived.Hwnd(), false));
    DestroyWindow(shortLived.Hwnd());
    tip.Destroy();
    EXPECT_EQ(nullptr, tip.Hwnd());
    // Made again for a new owner.
    ASSERT_TRUE(tip.Create(owner.Hwnd(), false));
    EXPECT_TRUE(IsWindow(tip.Hwnd()));
    EXPECT_EQ(0, ToolCount(tip.Hwnd()));
}

} // namespace
