#include "PaneWnd.h"
#include "SubclsWnd.h"
#include "WindowKinds.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Counts the messages that reach it, so a test sees whether it is in the chain.
class CountingWnd : public CSubclsWnd {
public:
    int seen = 0;

protected:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_USER + 7)
            ++seen;
        return CSubclsWnd::WindowProc(hwnd, message, wParam, lParam);
    }
};

HWND MakeWindow()
{
    return CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
}

// A procedure that subclasses a window on top of ours, as comctl32 does.
WNDPROC g_beforeOutsider = nullptr;
int g_outsiderSeen = 0;
LRESULT CALLBACK OutsiderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER + 7)
        ++g_outsiderSeen;
    return CallWindowProcW(g_beforeOutsider, hwnd, message, wParam, lParam);
}

TEST(SubclsWndTest, AttachFindsTheObjectAndKeepsTheFirst)
{
    HWND hwnd = MakeWindow();
    CountingWnd first;
    CountingWnd second;
    EXPECT_FALSE(first.Attach(nullptr, kKindChat));
    ASSERT_TRUE(first.Attach(hwnd, kKindChat));
    EXPECT_EQ(&first, CSubclsWnd::FromHandle(hwnd));
    EXPECT_TRUE(second.Attach(hwnd, kKindAboutBox));
    EXPECT_EQ(&first, CSubclsWnd::FromHandle(hwnd));
    EXPECT_EQ(kKindChat, first.Kind());

    SendMessageW(hwnd, WM_USER + 7, 0, 0);
    EXPECT_EQ(1, first.seen);
    DestroyWindow(hwnd);
    EXPECT_EQ(nullptr, first.Hwnd());
    EXPECT_EQ(0, first.Kind());
}

TEST(SubclsWndTest, DetachLeavesALaterSubclassWorking)
{
    HWND hwnd = MakeWindow();
    const WNDPROC original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
    {
        CountingWnd object;
        ASSERT_TRUE(object.Attach(hwnd, kKindChat));
        g_beforeOutsider = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OutsiderProc)));
        object.Detach();
        EXPECT_EQ(nullptr, CSubclsWnd::FromHandle(hwnd));
        EXPECT_EQ(reinterpret_cast<LONG_PTR>(&OutsiderProc), GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
    }
    // The object is gone; its place in the chain passes messages on.
    g_outsiderSeen = 0;
    SendMessageW(hwnd, WM_USER + 7, 0, 0);
    EXPECT_EQ(1, g_outsiderSeen);

    // A new object takes over that place instead of hooking in twice.
    CountingWnd again;
    EXPECT_TRUE(again.Attach(hwnd, kKindChat));
    SendMessageW(hwnd, WM_USER + 7, 0, 0);
    EXPECT_EQ(2, g_outsiderSeen);
    EXPECT_EQ(1, again.seen);
    DestroyWindow(hwnd);
    EXPECT_NE(nullptr, original);
}

TEST(SubclsWndTest, WindowsAreFoundAndClosedByKind)
{
    CountingWnd chat;
    CountingWnd main;
    CountingWnd about;
    chat.Attach(MakeWindow(), kKindChat);
    main.Attach(MakeWindow(), kKindMain);
    about.Attach(MakeWindow(), kKindAboutBox);

    const std::vector<HWND> chats = CSubclsWnd::WindowsOfKinds({kKindChat, kKindFileTransfer});
    EXPECT_EQ(std::vector<HWND>{chat.Hwnd()}, chats);
    const std::vector<HWND> others = CSubclsWnd::WindowsExceptKinds({kKindMain, kKindAboutBox});
    EXPECT_NE(others.end(), std::find(others.begin(), others.end(), chat.Hwnd()));
    EXPECT_EQ(others.end(), std::find(others.begin(), others.end(), main.Hwnd()));

    // STATIC windows destroy themselves on WM_CLOSE through DefWindowProc.
    EXPECT_EQ(1, CSubclsWnd::CloseWindowsExceptKinds({kKindMain, kKindAboutBox}, 0x10000));
    EXPECT_EQ(nullptr, chat.Hwnd());
    EXPECT_NE(nullptr, main.Hwnd());
    DestroyWindow(main.Hwnd());
    DestroyWindow(about.Hwnd());
}

class IdPane : public CPaneWnd {
public:
    explicit IdPane(int id) : id_(id) {}
    int PaneId() const override { return id_; }

private:
    int id_;
};

TEST(PaneWndTest, OnePaneIsCurrentAndVisible)
{
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 400, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    IdPane signOn(0x534B0008);
    IdPane list(0);
    ASSERT_TRUE(signOn.Create(parent, kKindSignOnPane, 2));
    ASSERT_TRUE(list.Create(parent, kKindBuddyListPane, 3));
    CPaneWnd::ShowPane(&signOn, false);
    EXPECT_EQ(&signOn, CPaneWnd::Current());
    EXPECT_TRUE(IsWindowVisible(signOn.Hwnd()));
    EXPECT_FALSE(IsWindowVisible(list.Hwnd()));
    RECT pane;
    RECT client;
    GetClientRect(signOn.Hwnd(), &pane);
    GetClientRect(parent, &client);
    EXPECT_EQ(client.right, pane.right);
    EXPECT_EQ(client.bottom, pane.bottom);

    CPaneWnd::ShowPane(&list, true);
    EXPECT_EQ(&list, CPaneWnd::Current());
    EXPECT_TRUE(IsWindowVisible(list.Hwnd()));
    EXPECT_FALSE(IsWindowVisible(signOn.Hwnd()));
    DestroyWindow(parent);
}

} // namespace
