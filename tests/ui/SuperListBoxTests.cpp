#include "ControlNotifications.h"
#include "SuperListBoxWnd.h"
#include "UiTestWindows.h"

#include <gtest/gtest.h>

#include <windowsx.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr int kListId = 5;

void AddRows(HWND list, int count)
{
    for (int i = 0; i < count; ++i)
        ListBox_AddString(list, (L"row " + std::to_wstring(i)).c_str());
}

struct ChangeCase {
    const char* name;
    UINT message;
    WPARAM wParam;
    const wchar_t* text; // lParam for the string messages
    LPARAM lParam;
    WORD code; // 0: nothing is reported
    int countAfter;
};

// The list holds three rows before each case.
const ChangeCase kChangeCases[] = {
    {"AddingIsInserting", LB_ADDSTRING, 0, L"new", 0, kNotifyStringInserted, 4},
    {"InsertingAtTheTop", LB_INSERTSTRING, 0, L"new", 0, kNotifyStringInserted, 4},
    {"InsertingAtTheEnd", LB_INSERTSTRING, static_cast<WPARAM>(-1), L"new", 0, kNotifyStringInserted, 4},
    {"InsertingPastTheEndFails", LB_INSERTSTRING, 9, L"new", 0, 0, 3},
    {"Deleting", LB_DELETESTRING, 1, nullptr, 0, kNotifyStringDeleted, 2},
    {"DeletingANonexistentRowFails", LB_DELETESTRING, 3, nullptr, 0, 0, 3},
    {"SettingTheItemHeight", LB_SETITEMHEIGHT, 0, nullptr, 24, kNotifyItemHeightSet, 3},
    {"AnItemHeightBeyond255Fails", LB_SETITEMHEIGHT, 0, nullptr, 256, 0, 3},
    {"SelectingChangesNothing", LB_SETCURSEL, 1, nullptr, 0, 0, 3},
};

class ListChangeTest : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(ListChangeTest, TheParentHearsAfterTheListChanged)
{
    const ChangeCase& c = GetParam();
    CTestParent parent;
    CSuperListBoxWnd list;
    ASSERT_TRUE(list.Create(parent.Hwnd(), kListId, WS_VISIBLE, 0, {10, 10, 200, 150}));
    AddRows(list.Hwnd(), 3);
    std::vector<int> countWhenTold;
    parent.onCommand = [&](const RecordedCommand&) { countWhenTold.push_back(ListBox_GetCount(list.Hwnd())); };
    parent.commands.clear();

    const LPARAM lParam = c.text ? reinterpret_cast<LPARAM>(c.text) : c.lParam;
    SendMessageW(list.Hwnd(), c.message, c.wParam, lParam);

    const std::vector<WORD> changes = parent.CodesBetween(kNotifyStringInserted, kNotifyItemHeightSet);
    if (c.code) {
        ASSERT_EQ(std::vector<WORD>{c.code}, changes);
        const RecordedCommand* told = parent.Last(c.code);
        EXPECT_EQ(kListId, told->id);
        EXPECT_EQ(reinterpret_cast<LPARAM>(list.Hwnd()), told->lParam);
        EXPECT_EQ(c.countAfter, countWhenTold.back());
    } else {
        EXPECT_TRUE(changes.empty());
    }
    EXPECT_EQ(c.countAfter, ListBox_GetCount(list.Hwnd()));
    DestroyWindow(list.Hwnd());
}

INSTANTIATE_TEST_SUITE_P(Cases, ListChangeTest, ::testing::ValuesIn(kChangeCases),
                         [](const ::testing::TestParamInfo<ChangeCase>& info) { return info.param.name; });

TEST(SuperListBoxTest, ReportsTheScrollBarComingAndGoing)
{
    CTestParent parent;
    parent.itemHeight = 16;
    CSuperListBoxWnd list;
    ASSERT_TRUE(list.Create(parent.Hwnd(), kListId, WS_VISIBLE | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT,
                            0, {10, 10, 200, 74}));
    const auto scrollCodes = [&] { return parent.CodesBetween(kNotifyScrollBarShown, kNotifyScrollBarHidden); };

    AddRows(list.Hwnd(), 3);
    EXPECT_TRUE(scrollCodes().empty());
    AddRows(list.Hwnd(), 7);
    EXPECT_EQ(std::vector<WORD>{kNotifyScrollBarShown}, scrollCodes());
    EXPECT_TRUE(GetWindowLongPtrW(list.Hwnd(), GWL_STYLE) & WS_VSCROLL);

    while (ListBox_GetCount(list.Hwnd()) > 2)
        ListBox_DeleteString(list.Hwnd(), 0);
    EXPECT_EQ((std::vector<WORD>{kNotifyScrollBarShown, kNotifyScrollBarHidden}), scrollCodes());
    DestroyWindow(list.Hwnd());
}

TEST(SuperListBoxTest, ReportsANewFirstVisibleRowByPostingAfterPaint)
{
    CTestParent parent;
    CSuperListBoxWnd list;
    ASSERT_TRUE(list.Create(parent.Hwnd(), kListId, WS_VISIBLE | WS_VSCROLL, 0, {10, 10, 200, 110}));
    AddRows(list.Hwnd(), 30);
    UpdateWindow(list.Hwnd());
    PumpPending();
    parent.commands.clear();

    ListBox_SetTopIndex(list.Hwnd(), 12);
    UpdateWindow(list.Hwnd());
    const auto topCodes = [&] { return parent.CodesBetween(kNotifyTopIndexChanged, kNotifyTopIndexChanged); };
    // Posted from the paint, not sent: it arrives through the queue.
    EXPECT_TRUE(topCodes().empty());
    EXPECT_TRUE(PumpUntil([&] { return !topCodes().empty(); }));
    EXPECT_EQ(1u, topCodes().size());

    // A paint without scrolling reports nothing new.
    InvalidateRect(list.Hwnd(), nullptr, TRUE);
    UpdateWindow(list.Hwnd());
    PumpPending();
    EXPECT_EQ(1u, topCodes().size());
    DestroyWindow(list.Hwnd());
}

// Paints the list box into a 32-bit picture of its client area, first
// filled with green so that unpainted pixels show.
std::vector<DWORD> PaintInto(HWND list, SIZE size)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    ScopedGdiObject bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap.get());
    RECT all = {0, 0, size.cx, size.cy};
    ScopedGdiObject green(CreateSolidBrush(RGB(0, 255, 0)));
    FillRect(dc, &all, static_cast<HBRUSH>(green.get()));
    SendMessageW(list, WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    GdiFlush();
    const auto* first = static_cast<const DWORD*>(bits);
    std::vector<DWORD> pixels(first, first + size.cx * size.cy);
    SelectObject(dc, previous);
    DeleteDC(dc);
    for (DWORD& pixel : pixels)
        pixel &= 0x00FFFFFF;
    return pixels;
}

constexpr DWORD kRed = 0x00FF0000; // as 32-bit DIB pixels: 0x00RRGGBB
constexpr DWORD kBlue = 0x000000FF;
constexpr DWORD kWhite = 0x00FFFFFF;

TEST(SuperListBoxTest, FillsBelowTheLastRowWithTheParentsBrushAlignedToTheBackground)
{
    // An 8x8 pattern with one red pixel at its origin: where the red pixels
    // land shows where the brush's origin is.
    std::vector<DWORD> pattern(64, kBlue);
    pattern[0] = kRed;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 8;
    info.bmiHeader.biHeight = -8;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    ScopedGdiObject patternBitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    std::copy(pattern.begin(), pattern.end(), static_cast<DWORD*>(bits));
    ScopedGdiObject brush(CreatePatternBrush(static_cast<HBITMAP>(patternBitmap.get())));

    CTestParent parent;
    parent.itemHeight = 20;
    parent.listBrush = static_cast<HBRUSH>(brush.get());
    CSuperListBoxWnd list;
    // At (13, 21) in the parent, so the pattern's origin falls at (3, 3)
    // modulo 8 in the list box.
    ASSERT_TRUE(list.Create(parent.Hwnd(), kListId, WS_VISIBLE | LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT, 0,
                            {13, 21, 113, 121}));
    AddRows(list.Hwnd(), 2);
    const SIZE size = {100, 100};
    const std::vector<DWORD> pixels = PaintInto(list.Hwnd(), size);
    const auto at = [&](int x, int y) { return pixels[y * size.cx + x]; };

    EXPECT_EQ(kWhite, at(50, 10)) << "a row, drawn by the parent";
    EXPECT_EQ(kWhite, at(50, 30)) << "a row, drawn by the parent";
    EXPECT_EQ(kRed, at(3, 43));
    EXPECT_EQ(kRed, at(11, 51));
    EXPECT_EQ(kRed, at(91, 99));
    EXPECT_EQ(kBlue, at(4, 43));
    EXPECT_EQ(kBlue, at(3, 44));
    EXPECT_EQ(kBlue, at(0, 40));
    DestroyWindow(list.Hwnd());
}

} // namespace
