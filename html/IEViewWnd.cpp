#include "IEViewWnd.h"

#include "BrowserHooks.h"
#include "ComTypes.h"
#include "Container.h"
#include "LangStrings.h"
#include "LinkOpener.h"
#include "LinkPolicy.h"
#include "PaneWnd.h"
#include "ScopedHandle.h"
#include "WindowKinds.h"

#include <docobj.h>
#include <mshtmcid.h>

#include <algorithm>
#include <iterator>

using Microsoft::WRL::ComPtr;

namespace {

constexpr UINT kCopyLabel = 111;
constexpr UINT kSelectAllLabel = 113;
constexpr UINT kPrintLabel = 565;
constexpr UINT kPrintPreviewLabel = 566;

// Ctrl+A and Ctrl+C arrive at keypress as control characters.
constexpr long kCtrlA = 1;
constexpr long kCtrlC = 3;

class ScopedMemoryDC {
public:
    explicit ScopedMemoryDC(HDC like) : dc_(CreateCompatibleDC(like)) {}
    ~ScopedMemoryDC()
    {
        if (dc_)
            DeleteDC(dc_);
    }
    ScopedMemoryDC(const ScopedMemoryDC&) = delete;
    ScopedMemoryDC& operator=(const ScopedMemoryDC&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

} // namespace

CIEViewWnd::~CIEViewWnd()
{
    // Normally the parent takes the view with it; a view that goes first
    // must not leave a window without its object behind.
    if (HWND hwnd = Hwnd(); hwnd && IsWindow(hwnd))
        DestroyWindow(hwnd);
}

bool CIEViewWnd::CreateView(HWND parent, const wchar_t* windowTitle, DWORD extraHostFlags)
{
    if (!RegisterPaneClass())
        return false;
    RECT area = {};
    GetClientRect(parent, &area);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND hwnd = CreateWindowExW(0, kPaneClassName, windowTitle ? windowTitle : L"",
                                WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, area.right, area.bottom, parent,
                                nullptr, instance, nullptr);
    if (!hwnd) {
        ShowErrorBox(parent, 0, MB_ICONERROR | MB_SETFOREGROUND);
        return false;
    }
    Attach(hwnd, kKindHtmlView);
    if (!CreateBrowser(instance, hwnd, extraHostFlags)) {
        DestroyWindow(hwnd);
        return false;
    }
    // Script errors and offers to go on line would be dialogs over a view
    // that only shows our own pages.
    if (IWebBrowser2* browser = WebBrowser()) {
        browser->put_Silent(VARIANT_TRUE);
        browser->put_Offline(VARIANT_TRUE);
    }
    RECT client = {};
    GetClientRect(hwnd, &client);
    OnSize(client.right, client.bottom);
    return true;
}

bool CIEViewWnd::ShowView(HWND parent, const wchar_t* windowTitle, DWORD extraHostFlags)
{
    if (!Hwnd() || !IsWindow(Hwnd())) {
        if (!CreateView(parent, windowTitle, extraHostFlags))
            return false;
    }
    ShowWindow(Hwnd(), SW_SHOWNORMAL);
    UpdateWindow(Hwnd());
    return true;
}

HRESULT CIEViewWnd::Navigate(const wchar_t* url, bool wait)
{
    if (!url)
        return E_INVALIDARG;
    pageUrl_ = url;
    return CIEBrowser::Navigate(url, wait);
}

HRESULT CIEViewWnd::OnBeforeNavigate2(IDispatch*, const wchar_t* url, VARIANT*, const wchar_t*, VARIANT*, VARIANT*,
                                      VARIANT_BOOL* cancel)
{
    EnsureBrowserHooks();
    const std::wstring target = url ? url : L"";
    if (IsSamePage(target, pageUrl_) || IsSamePage(target, L"about:blank"))
        return S_OK;
    *cancel = VARIANT_TRUE;
    if (IWebBrowser2* browser = WebBrowser())
        browser->Stop();
    else if (IWebBrowser* legacy = Browser())
        legacy->Stop();
    FollowLink(Hwnd(), target);
    return S_OK;
}

HRESULT CIEViewWnd::ShowContextMenu(DWORD, POINT* point, IUnknown*, IDispatch*)
{
    ComPtr<IHTMLDocument2> document = Document();
    ComPtr<IOleCommandTarget> target;
    if (!document || FAILED(document.As(&target)))
        return S_OK;
    OLECMD commands[] = {{IDM_COPY, 0}, {IDM_SELECTALL, 0}, {IDM_PRINT, 0}, {IDM_PRINTPREVIEW, 0}};
    const UINT labels[] = {kCopyLabel, kSelectAllLabel, kPrintLabel, kPrintPreviewLabel};
    static_assert(std::size(commands) == std::size(labels), "a label per command");
    target->QueryStatus(&CGID_MSHTML, static_cast<ULONG>(std::size(commands)), commands, nullptr);

    ScopedMenu menu(CreatePopupMenu());
    if (!menu.get())
        return S_OK;
    for (size_t i = 0; i < std::size(commands); ++i) {
        const UINT state = (commands[i].cmdf & OLECMDF_ENABLED) ? MF_ENABLED : MF_GRAYED;
        AppendMenuW(menu.get(), MF_STRING | state, commands[i].cmdID, LoadLangString(labels[i]).c_str());
        // Copy | Select all | Print, Print preview
        if (i < 2)
            AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    }
    POINT at = {};
    if (point)
        at = *point;
    else
        GetCursorPos(&at);
    const UINT chosen = static_cast<UINT>(TrackPopupMenu(
        menu.get(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, Hwnd(), nullptr));
    if (chosen)
        ExecCommand(chosen, OLECMDEXECOPT_PROMPTUSER, nullptr, nullptr);
    return S_OK;
}

HRESULT CIEViewWnd::OnDocumentComplete(IDispatch*, const wchar_t*, bool isTopLevel)
{
    if (!isTopLevel)
        return S_OK;
    // A selection survives clicks elsewhere, and typed-looking addresses in
    // the page become links.
    ScopedVariant on(true);
    ExecCommand(IDM_KEEPSELECTION, OLECMDEXECOPT_DONTPROMPTUSER, on.get(), nullptr);
    ExecCommand(IDM_AUTOURLDETECT_MODE, OLECMDEXECOPT_DONTPROMPTUSER, on.get(), nullptr);
    if (!linkTip_.Attached())
        linkTip_.Attach(Hwnd());
    return S_OK;
}

HRESULT CIEViewWnd::OnDocKeyPress(IHTMLEventObj* event)
{
    if (!event)
        return S_OK;
    VARIANT_BOOL ctrl = VARIANT_FALSE;
    long key = 0;
    if (FAILED(event->get_ctrlKey(&ctrl)) || ctrl == VARIANT_FALSE || FAILED(event->get_keyCode(&key)))
        return S_OK;
    if (key == kCtrlA)
        ExecCommand(IDM_SELECTALL, OLECMDEXECOPT_PROMPTUSER, nullptr, nullptr);
    else if (key == kCtrlC)
        ExecCommand(IDM_COPY, OLECMDEXECOPT_PROMPTUSER, nullptr, nullptr);
    return S_OK;
}

HRESULT CIEViewWnd::OnStatusTextChange(const wchar_t* text)
{
    linkTip_.OnStatusText(Hwnd(), text);
    return S_OK;
}

LRESULT CIEViewWnd::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        OnSize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_ERASEBKGND:
        Paint(reinterpret_cast<HDC>(wParam));
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps = {};
        if (HDC dc = BeginPaint(hwnd, &ps)) {
            Paint(dc);
            EndPaint(hwnd, &ps);
        }
        return 0;
    }
    case WM_TIMER:
        if (wParam != kLinkTipTimer)
            break;
        linkTip_.OnTimer(hwnd);
        return 0;
    case WM_DESTROY:
        OnDestroy();
        break;
    }
    return CSubclsWnd::WindowProc(hwnd, message, wParam, lParam);
}

void CIEViewWnd::OnSize(int width, int height)
{
    if (CContainer* container = Container()) {
        // One line free at the top and at the bottom, where Paint draws the
        // frame colour.
        const RECT place = {0, 1, width, std::max(1, height - 1)};
        container->SetObjectRects(place);
    }
}

void CIEViewWnd::Paint(HDC dc)
{
    RECT client = {};
    GetClientRect(Hwnd(), &client);
    if (!dc || IsRectEmpty(&client))
        return;
    // Drawn off-screen and copied in one go, so a resize does not flicker.
    ScopedMemoryDC memory(dc);
    ScopedGdiObject picture(CreateCompatibleBitmap(dc, client.right, client.bottom));
    ScopedGdiObject pen(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW)));
    ScopedGdiObject brush(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
    if (!memory.get() || !picture || !pen || !brush)
        return;
    ScopedSelectObject selectPicture(memory.get(), picture.get());
    ScopedSelectObject selectPen(memory.get(), pen.get());
    ScopedSelectObject selectBrush(memory.get(), brush.get());
    Rectangle(memory.get(), 0, 0, client.right, client.bottom);
    BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
}

void CIEViewWnd::OnDestroy()
{
    linkTip_.Destroy(Hwnd());
    DestroyBrowser();
}
