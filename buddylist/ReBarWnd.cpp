#include "ReBarWnd.h"

#include "BackgroundBitmap.h"
#include "MenuBarWnd.h"

#include <commctrl.h>

bool PaintMainBackground(HWND window, HDC dc)
{
    const CBackgroundBitmap& background = MainBackground();
    if (!background.Dc())
        return false;
    RECT client;
    GetClientRect(window, &client);
    // Before the main window has named itself the owner, the picture is that
    // of the top-level window the bar lives in.
    HWND owner = background.owner ? background.owner : GetAncestor(window, GA_ROOT);
    background.CopyTo(dc, owner, window, client);
    return true;
}

bool CReBarWnd::Create(HWND parent)
{
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_BAR_CLASSES | ICC_COOL_CLASSES;
    InitCommonControlsEx(&controls);

    // The main window places the bar itself, at the height the bar asks for,
    // hence no alignment to the parent and no resizing of its own.
    HWND hwnd = CreateWindowExW(0, REBARCLASSNAMEW, nullptr,
                                WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | RBS_VARHEIGHT |
                                    CCS_NODIVIDER | CCS_NOPARENTALIGN | CCS_NORESIZE,
                                0, 0, 0, 0, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!hwnd)
        return false;
    if (!Attach(hwnd, 0)) {
        DestroyWindow(hwnd);
        return false;
    }
    return true;
}

bool CReBarWnd::SetBand(HWND child, int width, int height)
{
    // The XP-sized structure: the chevron fields of later versions are unused
    // and older comctl32 versions reject the larger size.
    REBARBANDINFOW band = {};
    band.cbSize = REBARBANDINFOW_V6_SIZE;
    band.fMask = RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_IDEALSIZE;
    band.fStyle = RBBS_NOGRIPPER;
    band.hwndChild = child;
    band.cxMinChild = 0;
    band.cyMinChild = height;
    band.cyChild = height;
    band.cyMaxChild = height;
    band.cx = width;
    band.cxIdeal = width;
    HWND hwnd = Hwnd();
    child_ = child;
    if (SendMessageW(hwnd, RB_GETBANDCOUNT, 0, 0) == 0)
        return SendMessageW(hwnd, RB_INSERTBANDW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&band)) != 0;
    return SendMessageW(hwnd, RB_SETBANDINFOW, 0, reinterpret_cast<LPARAM>(&band)) != 0;
}

int CReBarWnd::BarHeight() const
{
    return Hwnd() ? static_cast<int>(SendMessageW(Hwnd(), RB_GETBARHEIGHT, 0, 0)) : 0;
}

int CReBarWnd::BandOverhead() const
{
    HWND hwnd = Hwnd();
    if (!hwnd || SendMessageW(hwnd, RB_GETBANDCOUNT, 0, 0) == 0)
        return 0;
    RECT borders = {};
    SendMessageW(hwnd, RB_GETBANDBORDERS, 0, reinterpret_cast<LPARAM>(&borders));
    int overhead = borders.left + borders.right;
    // Some rebars also keep a few pixels after the child that the borders do
    // not count; once the band is laid out, what it leaves its child tells.
    RECT band = {};
    RECT child = {};
    if (child_ && IsWindow(child_) && SendMessageW(hwnd, RB_GETRECT, 0, reinterpret_cast<LPARAM>(&band)) &&
        GetWindowRect(child_, &child) && child.right > child.left) {
        const int measured = (band.right - band.left) - (child.right - child.left);
        if (measured > overhead)
            overhead = measured;
    }
    return overhead;
}

LRESULT CReBarWnd::OnEraseBackground(HWND hwnd, HDC dc)
{
    if (PaintMainBackground(hwnd, dc))
        return 1;
    return CallPrevious(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
}

LRESULT CReBarWnd::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return OnEraseBackground(hwnd, reinterpret_cast<HDC>(wParam));
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (bar_.OnToolbarNotify(*reinterpret_cast<NMHDR*>(lParam), result))
            return result;
        return CSubclsWnd::WindowProc(hwnd, message, wParam, lParam);
    }
    case WM_COMMAND:
        // The toolbar's buttons are menu titles, not commands: nothing of
        // theirs may reach the main window as a command.
        if (reinterpret_cast<HWND>(lParam) == bar_.ToolbarHwnd())
            return 0;
        return CSubclsWnd::WindowProc(hwnd, message, wParam, lParam);
    case WM_DESTROY:
        bar_.OnRebarDestroyed();
        return CSubclsWnd::WindowProc(hwnd, message, wParam, lParam);
    case kOpenPopupMessage:
        bar_.TrackPopups(static_cast<int>(wParam));
        return 0;
    default:
        return CSubclsWnd::WindowProc(hwnd, message, wParam, lParam);
    }
}
