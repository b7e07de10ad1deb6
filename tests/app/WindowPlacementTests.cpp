#include "Ini.h"
#include "TestSupport.h"
#include "WindowPlacement.h"

#include <gtest/gtest.h>

namespace {

class TestWindow {
public:
    TestWindow()
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VlmPlacementTestWnd";
        RegisterClassW(&wc);
        hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"placement", WS_OVERLAPPEDWINDOW, 100, 100, 300, 200,
                                nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~TestWindow() { DestroyWindow(hwnd_); }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    HWND hwnd() const { return hwnd_; }

private:
    HWND hwnd_ = nullptr;
};

RECT NormalRect(HWND hwnd)
{
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    GetWindowPlacement(hwnd, &placement);
    return placement.rcNormalPosition;
}

class WindowPlacementTest : public ::testing::Test {
protected:
    TempFolder folder;
    std::wstring file = folder.File(L"Velmora.ini");
    CIni ini{file.c_str()};
};

TEST_F(WindowPlacementTest, SavedPlacementComesBackOnAnotherWindow)
{
    TestWindow saved;
    ASSERT_TRUE(saved.hwnd());
    SetWindowPos(saved.hwnd(), nullptr, 150, 120, 420, 310, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(saved.hwnd(), SW_SHOWNORMAL);
    ASSERT_TRUE(SaveWindowPlacement(ini, saved.hwnd(), L"Chat"));
    EXPECT_EQ(88u, ini.GetString(kWndPosSection, L"Chat").size());

    TestWindow restored;
    ASSERT_TRUE(RestoreWindowPlacement(ini, restored.hwnd(), L"Chat"));
    const RECT want = NormalRect(saved.hwnd());
    const RECT got = NormalRect(restored.hwnd());
    EXPECT_EQ(want.left, got.left);
    EXPECT_EQ(want.top, got.top);
    EXPECT_EQ(want.right, got.right);
    EXPECT_EQ(want.bottom, got.bottom);
    EXPECT_TRUE(IsWindowVisible(restored.hwnd()));
}

TEST_F(WindowPlacementTest, MinimizedWindowComesBackNormal)
{
    TestWindow saved;
    ShowWindow(saved.hwnd(), SW_SHOWNORMAL);
    ShowWindow(saved.hwnd(), SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(saved.hwnd()));
    ASSERT_TRUE(SaveWindowPlacement(ini, saved.hwnd(), L"Main"));
    WINDOWPLACEMENT stored;
    ASSERT_TRUE(ReadWindowPlacement(ini, L"Main", stored));
    EXPECT_EQ(static_cast<UINT>(SW_SHOWMINIMIZED), stored.showCmd);

    TestWindow restored;
    ASSERT_TRUE(RestoreWindowPlacement(ini, restored.hwnd(), L"Main"));
    EXPECT_FALSE(IsIconic(restored.hwnd()));
    EXPECT_TRUE(IsWindowVisible(restored.hwnd()));
}

TEST_F(WindowPlacementTest, IncompleteOrNonsenseRecordsAreNotApplied)
{
    WINDOWPLACEMENT good = {};
    good.length = 44;
    good.showCmd = SW_SHOWNORMAL;
    good.rcNormalPosition = {10, 20, 310, 220};

    WINDOWPLACEMENT hidden = good;
    hidden.showCmd = SW_HIDE;
    WINDOWPLACEMENT bogusShow = good;
    bogusShow.showCmd = 4711;
    WINDOWPLACEMENT emptyRect = good;
    emptyRect.rcNormalPosition = {0, 0, 0, 0};
    WINDOWPLACEMENT wrongLength = good;
    wrongLength.length = 40;

    struct Case {
        const char* name;
        const void* bytes;
        DWORD size;
        bool usable;
    } cases[] = {
        {"complete", &good, 44, true},
        {"length field only", &good, 4, false},
        {"one byte short", &good, 43, false},
        {"hidden", &hidden, 44, false},
        {"unknown show state", &bogusShow, 44, false},
        {"empty rectangle", &emptyRect, 44, false},
        {"wrong length field", &wrongLength, 44, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ini.WriteBinary(kWndPosSection, L"Prefs", c.bytes, c.size);
        WINDOWPLACEMENT read;
        EXPECT_EQ(c.usable, ReadWindowPlacement(ini, L"Prefs", read));
    }

    ini.WriteString(kWndPosSection, L"Prefs", L"2C000000");
    TestWindow window;
    const RECT before = NormalRect(window.hwnd());
    EXPECT_FALSE(RestoreWindowPlacement(ini, window.hwnd(), L"Prefs"));
    EXPECT_EQ(before.left, NormalRect(window.hwnd()).left);
    EXPECT_FALSE(IsWindowVisible(window.hwnd()));
}

} // namespace
