// CIEViewWnd: a read-only HTML view (the about box, info tips, toasts, the
// picture-verification page). It shows one page of ours and nothing else:
// a link to any other address is cancelled in the view and handed on by the
// link policy (web and mail to the user's browser, our own links to the
// client, the rest dropped). Hovering a link shows its address in a tooltip,
// with a warning when the link leads to a file that would run as a program.
//
// The object is the host child window (kind kKindHtmlView); the control
// sits in it with a one-pixel line free above and below, drawn in the
// button-shadow colour as a frame.
#pragma once

#include "IEBrowser.h"
#include "SubclsWnd.h"
#include "LinkTip.h"

#include <string>

class CIEViewWnd : public CSubclsWnd, public CIEBrowser {
public:
    static constexpr UINT_PTR kLinkTipTimer = CLinkTip::kTimer;
    static constexpr UINT kLinkTipDelayMs = CLinkTip::kDelayMs;

    CIEViewWnd() = default;
    ~CIEViewWnd() override;

    // Creates the host window as a child of `parent` filling its client
    // area, and the browser in it. A window that cannot be created is
    // reported with the error box.
    bool CreateView(HWND parent, const wchar_t* windowTitle, DWORD extraHostFlags);
    // Creates the view on first use, then shows it.
    bool ShowView(HWND parent, const wchar_t* windowTitle, DWORD extraHostFlags);

    // The page the view shows: set by Navigate, the one address it follows.
    const std::wstring& PageUrl() const { return pageUrl_; }
    // The control's inner window once the first page has completed.
    HWND ServerWindow() const { return linkTip_.ServerWindow(); }
    HWND LinkTipWindow() const { return linkTip_.TipWindow(); }

    HRESULT Navigate(const wchar_t* url, bool wait) override;
    HRESULT OnBeforeNavigate2(IDispatch* disp, const wchar_t* url, VARIANT* flags, const wchar_t* targetFrame,
                              VARIANT* postData, VARIANT* headers, VARIANT_BOOL* cancel) override;
    HRESULT ShowContextMenu(DWORD menuId, POINT* point, IUnknown* commandTarget, IDispatch* object) override;
    HRESULT OnDocumentComplete(IDispatch* disp, const wchar_t* url, bool isTopLevel) override;
    HRESULT OnDocKeyPress(IHTMLEventObj* event) override;
    HRESULT OnStatusTextChange(const wchar_t* text) override;

protected:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnSize(int width, int height);
    void Paint(HDC dc);
    void OnDestroy();

    std::wstring pageUrl_;
    CLinkTip linkTip_;
};
