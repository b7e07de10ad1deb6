#include "ScopedImageList.h"
#include "TabWnd.h"
#include "UiTestWindows.h"

#include "MediaLibrary.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

const RECT kStripRect = {10, 10, 390, 60};

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

struct WheelCase {
    const char* name;
    int count;
    int selected; // -1: no tab selected
    int delta;
    int focused; // -1: the wheel is the control's own
};

const WheelCase kWheelCases[] = {
    {"OneNotchTowardsTheUserOnTheLastTabGoesToTheFirst", 3, 2, -120, 0},
    {"OneNotchAwayOnTheFirstTabGoesToTheLast", 3, 0, 120, 2},
    {"OneNotchTowardsTheUserGoesRight", 4, 1, -120, 2},
    {"OneNotchAwayGoesLeft", 4, 1, 120, 0},
    {"ThreeNotchesTowardsTheUser", 5, 1, -360, 4},
    {"ThreeNotchesAwayWrapsRoundTheFirst", 5, 1, 360, 3},
    {"TwoNotchesTowardsTheUserWrapRoundTheLast", 4, 3, -240, 1},
    {"MoreNotchesThanTabsTowardsTheUser", 3, 2, -480, 0},
    {"MoreNotchesThanTabsAway", 4, 0, 600, 3},
    {"AWholeTurnRoundComesBackToTheSameTab", 3, 0, 720, 0},
    {"HalfANotchAwayIsTheControlsOwn", 4, 2, 119, -1},
    {"HalfANotchTowardsTheUserIsTheControlsOwn", 4, 2, -119, -1},
    {"NoDeltaIsTheControlsOwn", 4, 2, 0, -1},
    {"OneTabIsTheControlsOwn", 1, 0, -120, -1},
    {"NoTabsIsTheControlsOwn", 0, -1, 120, -1},
    {"NoSelectedTabIsTheControlsOwn", 4, -1, -120, -1},
};

class TabWheelTest : public ::testing::TestWithParam<WheelCase> {};

TEST_P(TabWheelTest, MovesTheFocusOrLeavesTheWheelToTheControl)
{
    const WheelCase& c = GetParam();
    CTestParent parent;
    CTabWnd tab;
    ASSERT_TRUE(tab.Create(parent.Hwnd(), 100, WS_VISIBLE | WS_CLIPSIBLINGS, 0, kStripRect));
    AddTabs(tab.Hwnd(), c.count);
    TabCtrl_SetCurSel(tab.Hwnd(), c.selected);
    ASSERT_EQ(c.selected, TabCtrl_GetCurSel(tab.Hwnd()));

    POINT screen = {50, 20};
    ClientToScreen(tab.Hwnd(), &screen);
    SendMessageW(tab.Hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(c.delta))),
                 MAKELPARAM(screen.x, screen.y));

    if (c.focused < 0) {
        // The tab control leaves the wheel to the default handling, which
        // hands it to the parent.
        EXPECT_EQ(1, parent.wheelMessages);
        EXPECT_EQ(c.selected, TabCtrl_GetCurSel(tab.Hwnd()));
    } else {
        EXPECT_EQ(0, parent.wheelMessages);
        EXPECT_EQ(c.focused, TabCtrl_GetCurFocus(tab.Hwnd()));
        EXPECT_EQ(c.focused, TabCtrl_GetCurSel(tab.Hwnd()));
    }
    DestroyWindow(tab.Hwnd());
}

INSTANTIATE_TEST_SUITE_P(Cases, TabWheelTest, ::testing::ValuesIn(kWheelCases),
                         [](const ::testing::TestParamInfo<WheelCase>& info) { return info.param.name; });

// The pixels of one 16x16 picture drawn on white.
std::vector<DWORD> Draw(const std::function<void(HDC)>& paint)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 16;
    info.bmiHeader.biHeight = -16;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    ScopedGdiObject bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap.get());
    RECT all = {0, 0, 16, 16};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    paint(dc);
    GdiFlush();
    std::vector<DWORD> pixels(static_cast<const DWORD*>(bits), static_cast<const DWORD*>(bits) + 16 * 16);
    SelectObject(dc, previous);
    DeleteDC(dc);
    for (DWORD& pixel : pixels)
        pixel &= 0x00FFFFFF;
    return pixels;
}

bool AllWhite(const std::vector<DWORD>& pixels)
{
    for (DWORD pixel : pixels) {
        if (pixel != 0x00FFFFFF)
            return false;
    }
    return true;
}

// Tab pictures by index, as the tabbed message window uses them.
const int kIconOfImage[] = {102, 101, 100, 120, 122, 121, 144};

TEST(TabImagesTest, SevenPicturesInTheirOrder)
{
    CMediaLibraryScope media(true);
    ASSERT_TRUE(media.Loaded());
    CTestParent parent;
    CTabWnd tab;
    ASSERT_TRUE(tab.Create(parent.Hwnd(), 100, WS_VISIBLE, 0, kStripRect));
    HIMAGELIST images = TabCtrl_GetImageList(tab.Hwnd());
    ASSERT_NE(nullptr, images);
    EXPECT_EQ(tab.Images(), images);
    ASSERT_EQ(7, ImageList_GetImageCount(images));
    int cx = 0;
    int cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    EXPECT_EQ(16, cx);
    EXPECT_EQ(16, cy);

    // Each picture is the media icon of its index, drawn through the same
    // list so the comparison is like for like.
    for (int index = 0; index < 7; ++index) {
        ScopedIcon icon(LoadMediaIcon(kIconOfImage[index], 16));
        ASSERT_TRUE(icon) << "icon " << kIconOfImage[index];
        ScopedImageList reference(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 0));
        ImageList_AddIcon(reference.get(), icon.get());
        const auto expected = Draw([&](HDC dc) { ImageList_Draw(reference.get(), 0, dc, 0, 0, ILD_NORMAL); });
        const auto drawn = Draw([&](HDC dc) { ImageList_Draw(images, index, dc, 0, 0, ILD_NORMAL); });
        EXPECT_FALSE(AllWhite(drawn)) << "picture " << index;
        EXPECT_EQ(expected, drawn) << "picture " << index << " is not icon " << kIconOfImage[index];
    }
    DestroyWindow(tab.Hwnd());
}

TEST(TabImagesTest, MissingIconsLeaveSeeThroughPicturesAndAWorkingStrip)
{
    CMediaLibraryScope noMedia(false);
    CTestParent parent;
    CTabWnd tab;
    ASSERT_TRUE(tab.Create(parent.Hwnd(), 100, WS_VISIBLE, 0, kStripRect));
    HIMAGELIST images = TabCtrl_GetImageList(tab.Hwnd());
    ASSERT_NE(nullptr, images);
    ASSERT_EQ(7, ImageList_GetImageCount(images));
    for (int index = 0; index < 7; ++index)
        EXPECT_TRUE(AllWhite(Draw([&](HDC dc) { ImageList_Draw(images, index, dc, 0, 0, ILD_NORMAL); })))
            << "picture " << index;

    wchar_t text[] = L"chat";
    TCITEMW item = {};
    item.mask = TCIF_TEXT | TCIF_IMAGE;
    item.pszText = text;
    item.iImage = kTabImageChatRoom;
    EXPECT_EQ(0, TabCtrl_InsertItem(tab.Hwnd(), 0, &item));
    UpdateWindow(tab.Hwnd());
    EXPECT_EQ(1, TabCtrl_GetItemCount(tab.Hwnd()));
    DestroyWindow(tab.Hwnd());
}

} // namespace
