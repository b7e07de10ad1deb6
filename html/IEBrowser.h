// CIEBrowser: the base of every HTML surface of the client (conversation
// view, message editor, info tips, toasts, log manager, about box). It hosts
// the system's browser control in a window of the derived class, owns the
// control's site (CContainer) and two event sinks, and turns every callback
// of the control into one of the 32 virtual operations below. A surface
// overrides the few it cares about; the defaults answer as a plain host.
//
// The operations are declared in a fixed order and the class declares no
// other virtual function (its destructor is protected and not virtual), so
// the table of operations is exactly these 32 slots. Objects are deleted
// through their derived class, which also derives from CSubclsWnd.
//
// Everything here runs on the thread that created the browser; the control
// calls back on it. Operations that need a browser or a document do nothing
// without one, and those that answer say false.
#pragma once

#include <windows.h>

#include <exdisp.h>
#include <mshtml.h>
#include <mshtmhst.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <vector>

class CContainer;
class CEventSink;

class CIEBrowser {
public:
    CIEBrowser(const CIEBrowser&) = delete;
    CIEBrowser& operator=(const CIEBrowser&) = delete;

    // --- The 32 operations, in slot order. -----------------------------

    // Navigates to `url`. With `wait`, runs the messages of this thread until
    // the top-level document of this browser has completed, and answers
    // S_OK; E_ABORT when WM_QUIT arrived (it is posted again), the host
    // window was destroyed or a newer navigation took over; and
    // HRESULT_FROM_WIN32(ERROR_TIMEOUT) after the wait limit. Other handlers
    // run during the wait, and may even delete this object.
    virtual HRESULT Navigate(const wchar_t* url, bool wait);
    virtual HRESULT GetDropTarget(IDropTarget* controlTarget, IDropTarget** outTarget);
    // Setting *cancel to VARIANT_TRUE stops the navigation.
    virtual HRESULT OnBeforeNavigate2(IDispatch* disp, const wchar_t* url, VARIANT* flags, const wchar_t* targetFrame,
                                      VARIANT* postData, VARIANT* headers, VARIANT_BOOL* cancel);
    // E_NOTIMPL lets the control show its own menu; S_OK means "handled".
    virtual HRESULT ShowContextMenu(DWORD menuId, POINT* point, IUnknown* commandTarget, IDispatch* object);
    virtual HRESULT OnDocClick(IHTMLEventObj* event);
    virtual HRESULT OnDocDblClick(IHTMLEventObj* event);
    virtual HRESULT OnDocumentComplete(IDispatch* disp, const wchar_t* url, bool isTopLevel);
    virtual HRESULT OnDocKeyDown(IHTMLEventObj* event);
    virtual HRESULT OnDocKeyPress(IHTMLEventObj* event);
    virtual HRESULT OnDocMouseDown(IHTMLEventObj* event);
    virtual HRESULT OnDocMouseUp(IHTMLEventObj* event);
    virtual HRESULT OnSelectionChange(IHTMLEventObj* event);
    virtual HRESULT OnTitleChange(const wchar_t* title);
    virtual HRESULT OnDownloadComplete();
    virtual HRESULT OnMouseWheel(int x, int y, int delta, UINT keys);
    virtual HRESULT OnNavigateComplete2(IDispatch* disp, const wchar_t* url);
    virtual HRESULT OnStatusTextChange(const wchar_t* text);
    virtual HRESULT UpdateUI();
    virtual HRESULT QueryService(REFGUID service, REFIID iid, void** out);
    virtual HRESULT PainterDraw(RECT bounds, RECT update, LONG flags, HDC hdc, void* drawObject);
    virtual HRESULT PainterOnResize(SIZE size);
    virtual HRESULT PainterGetInfo(HTML_PAINTER_INFO* info);
    virtual HRESULT PainterHitTestPoint(POINT point, BOOL* hit, LONG* partId);
    virtual HRESULT BehaviorInit(IElementBehaviorSite* site);
    virtual HRESULT OnMarkupChange();
    virtual HRESULT BehaviorNotify(LONG event, VARIANT* value);
    virtual HRESULT BehaviorDetach();
    virtual HRESULT FindBehavior(BSTR name, BSTR url, IElementBehaviorSite* site, IElementBehavior** out);
    virtual HRESULT DesignerPostEditorEventNotify(DISPID dispid, IHTMLEventObj* event);
    virtual HRESULT DesignerPostHandleEvent(DISPID dispid, IHTMLEventObj* event);
    virtual HRESULT DesignerPreHandleEvent(DISPID dispid, IHTMLEventObj* event);
    virtual HRESULT DesignerTranslateAccelerator(DISPID dispid, IHTMLEventObj* event);

    // --- Hosting. --------------------------------------------------------

    // Creates the control over `hostWindow` (which must exist), activates it
    // and connects the browser events. False when the site cannot be made,
    // the control cannot be created or its events cannot be connected; the
    // browser is then left destroyed.
    bool CreateBrowser(HINSTANCE instance, HWND hostWindow, DWORD extraHostFlags);
    // Disconnects both sinks, releases the control and closes the site.
    void DestroyBrowser();

    // --- The document. ---------------------------------------------------

    void SetDesignMode(bool on);
    // document.write of `html`, then document.close when `close` is set.
    void WriteDocument(const std::wstring& html, bool close);
    // Inserted at the end of the body.
    void AppendHtml(const std::wstring& html);
    void AppendText(const std::wstring& text);
    // Replaces the selection with `html`; a selected control (a picture) is
    // removed first.
    void PasteHtml(const std::wstring& html);
    // The selected text, when text (not a control) is selected.
    bool GetSelectedText(std::wstring* text);
    bool IsSelectionInLink();
    // The text of the element around the selection and, when that is a
    // link, its address ("" otherwise). False when there is no element.
    bool GetSelectionLink(std::wstring* href, std::wstring* text);
    // Replaces the element around the selection, tags included.
    void SetSelectionParentHtml(const std::wstring& html);
    void MoveCaretToEnd();
    // An editing command of the MSHTML command group (IDM_*) on the document.
    HRESULT ExecCommand(DWORD commandId, DWORD option, VARIANT* in, VARIANT* out);
    // Calls a script function of the page by name, as a method, arguments
    // in the order the function lists them. Fails (DISP_E_UNKNOWNNAME) while
    // the page has not defined the function yet, and with the script's own
    // error when it throws. `result` may be null.
    HRESULT CallScript(const wchar_t* name, const std::vector<VARIANT>& arguments, VARIANT* result);
    void SetTextColor(COLORREF color);
    void SetBackgroundColor(COLORREF color);
    // A colour of 0 stands for the system's window colour.
    void SetBorder(int width, COLORREF color);
    // Lets the control handle a key message it would otherwise not see
    // (S_OK when it did).
    HRESULT ForwardKey(UINT message, WPARAM key, LPARAM keyData);

    // --- State. ----------------------------------------------------------

    HWND HostWindow() const { return hostWindow_; }
    CContainer* Container() const { return container_.Get(); }
    // Null with a control that only offers IWebBrowser.
    IWebBrowser2* WebBrowser() const { return webBrowser_.Get(); }
    bool IsLegacyBrowser() const { return legacyBrowser_; }
    const int* BrowserVersionParts() const { return ieVersion_; }
    DWORD ExtraHostFlags() const { return extraHostFlags_; }
    Microsoft::WRL::ComPtr<IHTMLDocument2> Document() const;
    Microsoft::WRL::ComPtr<IHTMLElement> Body() const;
    // Whether `disp` is the control itself (and not one of its frames).
    bool IsTopLevel(IDispatch* disp) const;

    // How long a waiting Navigate lets the page load.
    void SetNavigateWaitLimit(DWORD milliseconds) { navigateWaitLimitMs_ = milliseconds; }
    static constexpr DWORD kDefaultNavigateWaitMs = 15000;

    // --- Entry points of the browser event sink. -------------------------

    // NavigateComplete2: connects the document sink to a new top-level
    // document, then OnNavigateComplete2.
    void HandleNavigateComplete(IDispatch* disp, const wchar_t* url);
    // DocumentComplete: for the top level, connects the document sink and
    // ends a waiting Navigate; then OnDocumentComplete.
    void HandleDocumentComplete(IDispatch* disp, const wchar_t* url);
    // A page could not be loaded (no such page, or no HTML engine at all):
    // a wait for the top-level document ends at once instead of running out.
    void HandleNavigateError(IDispatch* disp);

protected:
    CIEBrowser();
    ~CIEBrowser();

    // The control's common part, whichever interface it offered.
    IWebBrowser* Browser() const;

private:
    struct NavigateWait;

    void ConnectDocumentSink();
    static HRESULT WaitForDocument(const std::shared_ptr<NavigateWait>& wait, HWND window, DWORD limitMs);

    Microsoft::WRL::ComPtr<CEventSink> browserSink_;
    Microsoft::WRL::ComPtr<CEventSink> documentSink_;
    bool legacyBrowser_ = false;
    int ieVersion_[4] = {};
    DWORD extraHostFlags_ = 0;
    Microsoft::WRL::ComPtr<CContainer> container_;
    Microsoft::WRL::ComPtr<IWebBrowser2> webBrowser_;
    Microsoft::WRL::ComPtr<IWebBrowser> legacyWebBrowser_;

    HWND hostWindow_ = nullptr;
    DWORD navigateWaitLimitMs_ = kDefaultNavigateWaitMs;
    // The waiting Navigate, if any. The wait keeps its own reference, so it
    // learns from it that this object is gone.
    std::shared_ptr<NavigateWait> wait_;
};
