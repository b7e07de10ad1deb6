#include "FontSet.h"
#include "InfoBar.h"
#include "PaneWnd.h"
#include "TestCanvas.h"
#include "WindowKinds.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const wchar_t kLongText[] =
    L"The server did not accept the sign-on: the screen name or the password is not right, "
    L"or the account is held for a while after too many attempts. Try again in a few minutes.";

class InfoBarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Hidden: the bar paints on request, and a shown top-level window
        // costs seconds to take down under Wine without a window manager.
        parent_ = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 30, 30, 640,
                                  400, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, parent_);
        ASSERT_TRUE(bar_.Create(parent_));
    }
    void TearDown() override { DestroyWindow(parent_); }

    HICON Icon() const { return LoadIconW(nullptr, IDI_INFORMATION); }

    HWND parent_ = nullptr;
    CInfoBar bar_;
};

TEST_F(InfoBarTest, IsAPaneClassChildOfItsOwnKind)
{
    wchar_t className[64] = {};
    GetClassNameW(bar_.Hwnd(), className, ARRAYSIZE(className));
    EXPECT_STREQ(kPaneClassName, className);
    EXPECT_EQ(parent_, GetParent(bar_.Hwnd()));
    EXPECT_EQ(&bar_, CSubclsWnd::FromHandle(bar_.Hwnd()));
    EXPECT_EQ(kKindInfoBar, bar_.Kind());
    EXPECT_EQ(std::vector<HWND>{bar_.Hwnd()}, CSubclsWnd::WindowsOfKinds({kKindInfoBar}));
}

TEST_F(InfoBarTest, HeightGrowsAsTheWidthShrinks)
{
    EXPECT_FALSE(bar_.HasNotices());
    EXPECT_EQ(0, bar_.HeightForWidth(400));
    bar_.AddNotice(Icon(), kLongText);
    EXPECT_TRUE(bar_.HasNotices());

    // From one line to many: every step narrower needs more lines.
    const int widths[] = {2000, 500, 250, 120};
    int previous = 0;
    for (int width : widths) {
        const int height = bar_.HeightForWidth(width);
        EXPECT_GT(height, previous) << "width " << width;
        previous = height;
    }
    // A bar too narrow for any text still wraps rather than failing.
    EXPECT_GE(bar_.HeightForWidth(0), bar_.HeightForWidth(120));
}

TEST_F(InfoBarTest, EachNoticeAddsARow)
{
    const struct {
        HICON icon;
        const wchar_t* text;
    } notices[] = {
        {LoadIconW(nullptr, IDI_ERROR), L"Short"},
        {nullptr, L""},
        {LoadIconW(nullptr, IDI_WARNING), kLongText},
        {LoadIconW(nullptr, IDI_INFORMATION), L"R&D && more"},
    };
    int previous = bar_.HeightForWidth(300);
    for (const auto& notice : notices) {
        bar_.AddNotice(notice.icon, notice.text);
        const int height = bar_.HeightForWidth(300);
        // At least the icon's 16 pixels, also for an empty text.
        EXPECT_GE(height - previous, 16) << testing::PrintToString(std::wstring(notice.text));
        previous = height;
    }
}

// Paints the bar at `width` and its own measured height into a picture.
void Render(CInfoBar& bar, TestCanvas& canvas)
{
    SetWindowPos(bar.Hwnd(), nullptr, 0, 0, canvas.Width(), canvas.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(bar.Hwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.Dc()), PRF_CLIENT);
}

TEST_F(InfoBarTest, PaintingFillsTheMeasuredHeightAndStaysInsideTheWidth)
{
    bar_.AddNotice(Icon(), kLongText);
    const int width = 220;
    const int height = bar_.HeightForWidth(width);
    TestCanvas canvas(width, height, RGB(1, 2, 3));
    Render(bar_, canvas);

    const COLORREF background = GetSysColor(COLOR_INFOBK);
    const COLORREF border = GetSysColor(COLOR_3DSHADOW);
    for (int x = 0; x < width; ++x)
        ASSERT_EQ(border, canvas.At(x, height - 1)) << "bottom line at " << x;

    // The text column: right of the icon.
    int lowestInk = -1;
    int rightmostInk = -1;
    for (int y = 0; y < height - 1; ++y) {
        for (int x = 24; x < width; ++x) {
            const COLORREF pixel = canvas.At(x, y);
            ASSERT_NE(RGB(1, 2, 3), pixel) << "unpainted at " << x << "," << y;
            if (pixel != background) {
                lowestInk = y;
                rightmostInk = x > rightmostInk ? x : rightmostInk;
            }
        }
    }
    // Measured with what is painted: the last line of text reaches down to
    // the bottom margin, and the wrapped lines keep clear of the right edge.
    HFONT font = nullptr;
    {
        const LOGFONTW description = UiFontDescription();
        font = CreateFontIndirectW(&description);
    }
    TEXTMETRICW metrics = {};
    HGDIOBJ previous = SelectObject(canvas.Dc(), font);
    GetTextMetricsW(canvas.Dc(), &metrics);
    SelectObject(canvas.Dc(), previous);
    DeleteObject(font);
    EXPECT_GT(lowestInk, height - 1 - metrics.tmHeight - 8);
    EXPECT_LT(rightmostInk, width - 2);

    // The icon is drawn in the top left corner.
    bool iconInk = false;
    for (int y = 0; y < 24 && !iconInk; ++y)
        for (int x = 0; x < 24 && !iconInk; ++x)
            iconInk = canvas.At(x, y) != background;
    EXPECT_TRUE(iconInk);
}

TEST_F(InfoBarTest, ClearDestroysTheWindow)
{
    bar_.AddNotice(Icon(), L"One");
    bar_.AddNotice(Icon(), L"Two");
    HWND hwnd = bar_.Hwnd();
    bar_.Clear();
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(nullptr, bar_.Hwnd());
    EXPECT_FALSE(bar_.HasNotices());
    EXPECT_EQ(0, bar_.HeightForWidth(300));

    // Created again for the next notice, with only that notice.
    ASSERT_TRUE(bar_.Create(parent_));
    bar_.AddNotice(Icon(), L"Three");
    CInfoBar single;
    single.AddNotice(Icon(), L"Three");
    EXPECT_EQ(single.HeightForWidth(300), bar_.HeightForWidth(300));

    {
        CInfoBar gone;
        ASSERT_TRUE(gone.Create(parent_));
        hwnd = gone.Hwnd();
    }
    EXPECT_FALSE(IsWindow(hwnd));
}

} // namespace
