#include "PaneWnd.h"

#include "BackgroundBitmap.h"
#include "LangStrings.h"

#include <algorithm>

const wchar_t kPaneClassName[] = L"__oVLMoMAINoPANEoWNDo__";

std::vector<CPaneWnd*> CPaneWnd::panes_;
CPaneWnd* CPaneWnd::current_ = nullptr;
CPaneWnd::AreaProvider CPaneWnd::areaProvider_ = nullptr;

bool RegisterPaneClass()
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, kPaneClassName, &existing))
        return true;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_PARENTDC | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    wc.lpszClassName = kPaneClassName;
    if (RegisterClassExW(&wc))
        return true;
    ShowErrorBox(nullptr, 0, MB_ICONERROR | MB_SETFOREGROUND);
    return false;
}

CPaneWnd::CPaneWnd()
{
    panes_.push_back(this);
}

CPaneWnd::~CPaneWnd()
{
    panes_.erase(std::remove(panes_.begin(), panes_.end(), this), panes_.end());
    if (current_ == this)
        current_ = nullptr;
}

bool CPaneWnd::Create(HWND parent, int kind, int controlId)
{
    if (!RegisterPaneClass())
        return false;
    HWND hwnd = CreateWindowExW(WS_EX_CONTROLPARENT, kPaneClassName, L"",
                                WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 5, 5, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), GetModuleHandleW(nullptr),
                                nullptr);
    if (!hwnd) {
        ShowErrorBox(nullptr, 0, MB_ICONERROR | MB_SETFOREGROUND);
        return false;
    }
    Attach(hwnd, kind);
    return true;
}

void CPaneWnd::ShowPane(CPaneWnd* pane, bool animate)
{
    if (!pane || !pane->Hwnd() || pane == current_)
        return;
    HWND parent = GetParent(pane->Hwnd());
    RECT area = {};
    if (areaProvider_)
        area = areaProvider_(parent);
    else
        GetClientRect(parent, &area);
    SetWindowPos(pane->Hwnd(), HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOACTIVATE);

    CPaneWnd* previous = current_;
    if (animate && previous && previous->Hwnd() && IsWindowVisible(parent)) {
        ShowWindow(pane->Hwnd(), SW_SHOWNA);
        AnimateWindow(previous->Hwnd(), 300, AW_HIDE | AW_SLIDE | AW_HOR_NEGATIVE);
        ShowWindow(previous->Hwnd(), SW_HIDE);
    } else {
        for (CPaneWnd* other : panes_) {
            if (other != pane && other->Hwnd() && GetParent(other->Hwnd()) == parent)
                ShowWindow(other->Hwnd(), SW_HIDE);
        }
        ShowWindow(pane->Hwnd(), SW_SHOW);
    }
    current_ = pane;
    SetWindowPos(pane->Hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(pane->Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    SetFocus(pane->Hwnd());
}

LRESULT CPaneWnd::OnEraseBackground(HWND hwnd, HDC dc)
{
    RECT client;
    GetClientRect(hwnd, &client);
    CBackgroundBitmap& background = MainBackground();
    if (!background.Dc())
        return CallPrevious(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    background.CopyTo(dc, background.owner ? background.owner : GetParent(hwnd), hwnd, client);
    return 1;
}

LRESULT CPaneWnd::OnCtlColorStatic(HWND hwnd, HDC dc, HWND control)
{
    CBackgroundBitmap& background = MainBackground();
    RECT rect;
    GetClientRect(control, &rect);
    if (background.Dc())
        background.CopyTo(dc, background.owner ? background.owner : GetParent(hwnd), control, rect);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, background.textColor);
    return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
}

LRESULT CPaneWnd::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return OnEraseBackground(hwnd, reinterpret_cast<HDC>(wParam));
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(hwnd, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    default:
        return CSubclsWnd::WindowProc(hwnd, message, wParam, lParam);
    }
}
