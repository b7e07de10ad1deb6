#include "ControlNotifications.h"
#include "SubclsWnd.h"
#include "SuperComboBoxWnd.h"
#include "SuperEditWnd.h"
#include "SuperListBoxWnd.h"
#include "TabWnd.h"
#include "UiTestWindows.h"

#include <gtest/gtest.h>

#include <windowsx.h>

#include <string>
#include <vector>

namespace {

constexpr int kTabId = 100;
constexpr int kListId = 101;
constexpr int kEditId = 102;
constexpr int kComboId = 2;

void AddTabs(HWND tab, int count)
{
    for (int i = 0; i < count; ++i) {
        std::wstring text = L"tab " + std::to_wstring(i);
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = &text[0];
        TabCtrl_InsertItem(tab, i, &item);
    }
}

void AddRows(HWND list, int count)
{
    for (int i = 0; i < count; ++i)
        ListBox_AddString(list, (L"row " + std::to_wstring(i)).c_str());
}

POINT Center(const RECT& rect)
{
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

LPARAM At(POINT point)
{
    return MAKELPARAM(point.x, point.y);
}

// The first mouse notification (codes 0x6 to 0xE) the parent got, 0 if none.
WORD FirstMouseCode(const CTestParent& parent, HWND control)
{
    for (const RecordedCommand& command : parent.commands) {
        if (command.code >= kNotifyMouseHover && command.code <= kNotifyScrollBarHidden) {
            EXPECT_EQ(GetDlgCtrlID(control), command.id);
            EXPECT_EQ(reinterpret_cast<LPARAM>(control), command.lParam);
            return command.code;
        }
    }
    return 0;
}

struct MouseCase {
    const char* name;
    UINT message;
    WORD tabCode;
    WORD listCode;
    WORD editCode;
    // Right and middle buttons would open the edit control's context menu.
    bool sendToEdit;
};

const MouseCase kMouseCases[] = {
    {"Hover", WM_MOUSEHOVER, 0x6, 0x6, 0x6, true},
    {"Leave", WM_MOUSELEAVE, 0x7, 0x7, 0x7, true},
    {"Move", WM_MOUSEMOVE, 0x8, 0x8, 0, true},
    {"LeftDown", WM_LBUTTONDOWN, 0x9, 0x9, 0, true},
    {"LeftDoubleClick", WM_LBUTTONDBLCLK, 0x9, 0x9, 0, true},
    {"LeftUp", WM_LBUTTONUP, 0xA, 0xA, 0, true},
    {"RightDown", WM_RBUTTONDOWN, 0xB, 0xB, 0, false},
    {"RightDoubleClick", WM_RBUTTONDBLCLK, 0xB, 0, 0, false},
    {"RightUp", WM_RBUTTONUP, 0xC, 0xC, 0, false},
    {"MiddleUp", WM_MBUTTONUP, 0xD, 0, 0, false},
};

class MouseNotificationTest : public ::testing::TestWithParam<MouseCase> {
protected:
    WORD CodeFor(HWND control)
    {
        parent_.commands.clear();
        SendMessageW(control, GetParam().message, 0, MAKELPARAM(8, 8));
        ReleaseCapture();
        return FirstMouseCode(parent_, control);
    }

    CTestParent parent_;
};

TEST_P(MouseNotificationTest, EachControlTellsItsParent)
{
    const MouseCase& c = GetParam();
    CTabWnd tab;
    CSuperListBoxWnd list;
    CSuperEditWnd edit;
    ASSERT_TRUE(tab.Create(parent_.Hwnd(), kTabId, WS_VISIBLE, 0, {10, 10, 300, 50}));
    ASSERT_TRUE(list.Create(parent_.Hwnd(), kListId, WS_VISIBLE | LBS_NOTIFY, 0, {10, 60, 200, 160}));
    ASSERT_TRUE(edit.Create(parent_.Hwnd(), kEditId, WS_VISIBLE, 0, {10, 170, 200, 190}));
    AddTabs(tab.Hwnd(), 2);
    AddRows(list.Hwnd(), 2);

    EXPECT_EQ(c.tabCode, CodeFor(tab.Hwnd()));
    EXPECT_EQ(c.listCode, CodeFor(list.Hwnd()));
    if (c.sendToEdit) {
        EXPECT_EQ(c.editCode, CodeFor(edit.Hwnd()));
    }
    DestroyWindow(tab.Hwnd());
    DestroyWindow(list.Hwnd());
    DestroyWindow(edit.Hwnd());
}

INSTANTIATE_TEST_SUITE_P(Cases, MouseNotificationTest, ::testing::ValuesIn(kMouseCases),
                         [](const ::testing::TestParamInfo<MouseCase>& info) { return info.param.name; });

enum ControlKind { kTab, kList };

struct PressCase {
    ControlKind kind;
    LRESULT answer;
    bool selects;
};

const PressCase kPressCases[] = {
    {kTab, 0, true},
    {kTab, 1, false},
    {kList, 0, true},
    {kList, 1, false},
};

class LeftPressTest : public ::testing::TestWithParam<PressCase> {};

// The parent sees the press before the control and can keep it from
// selecting what was clicked.
TEST_P(LeftPressTest, ANonZeroAnswerKeepsTheControlFromHandlingIt)
{
    const PressCase& c = GetParam();
    CTestParent parent;
    parent.answers[kNotifyLButtonDown] = c.answer;
    CTabWnd tab;
    CSuperListBoxWnd list;
    HWND control = nullptr;
    RECT target = {};
    int before = 0;
    if (c.kind == kTab) {
        ASSERT_TRUE(tab.Create(parent.Hwnd(), kTabId, WS_VISIBLE, 0, {10, 10, 390, 50}));
        control = tab.Hwnd();
        AddTabs(control, 3);
        TabCtrl_GetItemRect(control, 2, &target);
        before = TabCtrl_GetCurSel(control);
    } else {
        ASSERT_TRUE(list.Create(parent.Hwnd(), kListId, WS_VISIBLE, 0, {10, 10, 200, 150}));
        control = list.Hwnd();
        AddRows(control, 3);
        ListBox_GetItemRect(control, 2, &target);
        before = ListBox_GetCurSel(control);
    }
    ASSERT_NE(2, before);
    parent.commands.clear();

    SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, At(Center(target)));
    SendMessageW(control, WM_LBUTTONUP, 0, At(Center(target)));
    ReleaseCapture();

    const int after = c.kind == kTab ? TabCtrl_GetCurSel(control) : ListBox_GetCurSel(control);
    EXPECT_EQ(c.selects ? 2 : before, after);
    ASSERT_FALSE(parent.commands.empty());
    EXPECT_EQ(kNotifyLButtonDown, parent.commands.front().code);
    DestroyWindow(control);
}

INSTANTIATE_TEST_SUITE_P(Cases, LeftPressTest, ::testing::ValuesIn(kPressCases),
                         [](const ::testing::TestParamInfo<PressCase>& info) {
                             return std::string(info.param.kind == kTab ? "Tab" : "ListBox") +
                                    (info.param.answer ? "Refused" : "Allowed");
                         });

struct ComboKeyCase {
    const char* name;
    UINT key;
    LRESULT answer;
    bool asks;
    const wchar_t* textAfter;
};

const ComboKeyCase kComboKeyCases[] = {
    {"DeleteAnsweredOneIsSwallowed", VK_DELETE, 1, true, L"joe blow"},
    {"DeleteAnsweredZeroDeletes", VK_DELETE, 0, true, L""},
    {"DeleteAnsweredTwoDeletes", VK_DELETE, 2, true, L""},
    {"OtherKeysAreNotAskedAbout", VK_LEFT, 1, false, L"joe blow"},
};

class ComboEditKeyTest : public ::testing::TestWithParam<ComboKeyCase> {};

TEST_P(ComboEditKeyTest, TheParentMayClaimTheDeleteKey)
{
    const ComboKeyCase& c = GetParam();
    CTestParent parent;
    parent.answers[kNotifyComboDeleteKey] = c.answer;
    CSuperComboBoxWnd combo;
    ASSERT_TRUE(combo.Create(parent.Hwnd(), kComboId, WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 0,
                             {10, 10, 200, 160}));
    HWND edit = GetDlgItem(combo.Hwnd(), kComboEditId);
    ASSERT_NE(nullptr, edit);
    EXPECT_EQ(edit, combo.EditHwnd());
    EXPECT_NE(nullptr, CSubclsWnd::FromHandle(edit));

    SetWindowTextW(combo.Hwnd(), L"joe blow");
    SendMessageW(edit, EM_SETSEL, 0, -1);
    parent.commands.clear();
    SendMessageW(edit, WM_KEYDOWN, c.key, 1);

    wchar_t text[64] = {};
    GetWindowTextW(edit, text, ARRAYSIZE(text));
    EXPECT_STREQ(c.textAfter, text);
    const RecordedCommand* asked = parent.Last(kNotifyComboDeleteKey);
    ASSERT_EQ(c.asks, asked != nullptr);
    if (asked) {
        EXPECT_EQ(kComboId, asked->id);
        EXPECT_EQ(reinterpret_cast<LPARAM>(combo.Hwnd()), asked->lParam);
    }
    DestroyWindow(combo.Hwnd());
    EXPECT_EQ(nullptr, combo.EditHwnd());
}

INSTANTIATE_TEST_SUITE_P(Cases, ComboEditKeyTest, ::testing::ValuesIn(kComboKeyCases),
                         [](const ::testing::TestParamInfo<ComboKeyCase>& info) { return info.param.name; });

} // namespace
