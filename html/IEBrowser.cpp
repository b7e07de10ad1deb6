#include "IEBrowser.h"

#include "BrowserHooks.h"
#include "ComTypes.h"
#include "Container.h"
#include "EventSink.h"

#include <docobj.h>
#include <mshtmcid.h>

#include <cwchar>
#include <new>

using Microsoft::WRL::ComPtr;

// One waiting Navigate. The browser marks it done when its top-level
// document completes, or abandoned when it is destroyed or a newer
// navigation waits instead; the loop only ever looks at this record, never at
// the browser, because the browser may be gone when the loop looks.
struct CIEBrowser::NavigateWait {
    enum class State { Waiting, Completed, Abandoned };
    State state = State::Waiting;
};

namespace {

bool EqualsNoCase(const std::wstring& a, const wchar_t* b)
{
    return _wcsicmp(a.c_str(), b) == 0;
}

std::wstring HexColor(COLORREF color)
{
    wchar_t text[8] = {};
    swprintf(text, ARRAYSIZE(text), L"#%02X%02X%02X", GetRValue(color), GetGValue(color), GetBValue(color));
    return text;
}

ComPtr<IHTMLTxtRange> SelectionRange(IHTMLDocument2* document, std::wstring* selectionType)
{
    ComPtr<IHTMLSelectionObject> selection;
    if (FAILED(document->get_selection(&selection)) || !selection)
        return nullptr;
    if (selectionType) {
        ScopedBstr type;
        selection->get_type(type.Receive());
        *selectionType = type.Text();
    }
    ComPtr<IDispatch> range;
    if (FAILED(selection->createRange(&range)) || !range)
        return nullptr;
    ComPtr<IHTMLTxtRange> textRange;
    range.As(&textRange);
    return textRange;
}

ComPtr<IHTMLElement> SelectionParent(IHTMLDocument2* document)
{
    ComPtr<IHTMLTxtRange> range = SelectionRange(document, nullptr);
    ComPtr<IHTMLElement> parent;
    if (range)
        range->parentElement(&parent);
    return parent;
}

bool IsAnchor(IHTMLElement* element)
{
    ScopedBstr tag;
    return element && SUCCEEDED(element->get_tagName(tag.Receive())) && EqualsNoCase(tag.Text(), L"A");
}

ComPtr<IHTMLStyle> StyleOf(IHTMLElement* element)
{
    ComPtr<IHTMLStyle> style;
    if (element)
        element->get_style(&style);
    return style;
}

} // namespace

CIEBrowser::CIEBrowser() = default;

CIEBrowser::~CIEBrowser()
{
    if (wait_)
        wait_->state = NavigateWait::State::Abandoned;
    DestroyBrowser();
}

// --- The 32 operations: the answers of a plain host. ------------------------

HRESULT CIEBrowser::Navigate(const wchar_t* url, bool wait)
{
    IWebBrowser* browser = Browser();
    if (!browser || !url)
        return E_UNEXPECTED;
    // Made before navigating: the control may complete a simple page inside
    // the Navigate call itself.
    std::shared_ptr<NavigateWait> pending;
    if (wait) {
        if (wait_)
            wait_->state = NavigateWait::State::Abandoned;
        pending = std::make_shared<NavigateWait>();
        wait_ = pending;
    }
    ScopedBstr address(url);
    ScopedVariant none;
    HRESULT hr = browser->Navigate(address.get(), none.get(), none.get(), none.get(), none.get());
    if (FAILED(hr) || !wait) {
        if (pending && wait_ == pending)
            wait_.reset();
        return hr;
    }
    // Nothing of this object is touched after the wait: a handler that ran
    // during it may have deleted it. A wait that ended without its document
    // stays recorded until the next one replaces it, which does no harm.
    return WaitForDocument(pending, hostWindow_, navigateWaitLimitMs_);
}

HRESULT CIEBrowser::WaitForDocument(const std::shared_ptr<NavigateWait>& wait, HWND window, DWORD limitMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (wait->state == NavigateWait::State::Waiting && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // The program is ending: stop waiting, and let the main loop
                // see the quit as well.
                PostQuitMessage(static_cast<int>(msg.wParam));
                return E_ABORT;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (wait->state == NavigateWait::State::Completed)
            return S_OK;
        if (wait->state == NavigateWait::State::Abandoned || !IsWindow(window))
            return E_ABORT;
        const DWORD spent = GetTickCount() - start;
        if (spent >= limitMs)
            return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
        MsgWaitForMultipleObjectsEx(0, nullptr, limitMs - spent, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

HRESULT CIEBrowser::GetDropTarget(IDropTarget*, IDropTarget** outTarget)
{
    if (outTarget)
        *outTarget = nullptr;
    return E_NOTIMPL;
}

HRESULT CIEBrowser::OnBeforeNavigate2(IDispatch*, const wchar_t*, VARIANT*, const wchar_t*, VARIANT*, VARIANT*,
                                      VARIANT_BOOL*)
{
    return E_NOTIMPL;
}

HRESULT CIEBrowser::ShowContextMenu(DWORD menuId, POINT*, IUnknown*, IDispatch*)
{
    // Pictures and selected text keep the control's menu (copy, save
    // picture); everywhere else a plain view shows none.
    if (menuId == CONTEXT_MENU_IMAGE || menuId == CONTEXT_MENU_TEXTSELECT)
        return E_NOTIMPL;
    return S_OK;
}

HRESULT CIEBrowser::OnDocClick(IHTMLEventObj*)
{
    return E_NOTIMPL;
}

HRESULT CIEBrowser::OnDocDblClick(IHTMLEventObj*)
{
    return E_NOTIMPL;
}

HRESULT CIEBrowser::OnDocumentComplete(IDispatch*, const wchar_t*, bool)
{
    return E_NOTIMPL;
}

HRESULT CIEBrowser::OnDocKeyDown(IHTMLEventObj*)
{
    return E_NOTIMPL;
}

HRESULT CIEBrowser::OnDocKeyPress(IHTMLEventObj*)
{
    return E_NOTIMPL;
}

HRESULT CIEBrowser::OnDocMouseDown(IHTMLEventObj*)
{
    return E_NOTIMPL;
}

HRESULT CIEBrowser::OnDocMouseUp(IHTMLEventObj*)
{
    return E_NOTIMPL;
}

HRESULT CIEBrowser::OnSelectionChange(IHTMLEventObj*)
{
    return E_NOTIMPL;
}

HRESULT CIEBrowser::OnTitleChange(const wchar_t*)
{
    return E_NOTIMPL;
}

HRESULT CIEBrowser::OnDownloadComplete()
{
    return E_NOTIMPL;
}

HRESULT CIEBrowser::OnMouseWheel(int, int, int, UINT)
{
    return E_NOTIMPL;
}

HRESULT CIEBrowser::OnNavigateComplete2(IDispatch*, const wchar_t*)
{
    return E_NOTIMPL;
}

HRESULT CIEBrowser::OnStatusTextChange(const wchar_t*)
{
    return E_NOTIMPL;
}

HRESULT CIEBrowser::UpdateUI()
{
    return E_NOTIMPL;
}

HRESULT CIEBrowser::QueryService(REFGUID, REFIID, void** out)
{
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

HRESULT CIEBrowser::PainterDraw(RECT, RECT, LONG, HDC, void*)
{
    return E_NOTIMPL;
}

HRESULT CIEBrowser::PainterOnResize(SIZE)
{
    return E_NOTIMPL;
}

HRESULT CIEBrowser::PainterGetInfo(HTML_PAINTER_INFO*)
{
    return E_NOTIMPL;
}

HRESULT CIEBrowser::PainterHitTestPoint(POINT, BOOL*, LONG*)
{
    return E_NOTIMPL;
}

HRESULT CIEBrowser::BehaviorInit(IElementBehaviorSite*)
{
    return E_NOTIMPL;
}

HRESULT CIEBrowser::OnMarkupChange()
{
    return E_NOTIMPL;
}

HRESULT CIEBrowser::BehaviorNotify(LONG, VARIANT*)
{
    return E_NOTIMPL;
}

HRESULT CIEBrowser::BehaviorDetach()
{
    return E_NOTIMPL;
}

HRESULT CIEBrowser::FindBehavior(BSTR, BSTR, IElementBehaviorSite*, IElementBehavior** out)
{
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

// S_FALSE: the editor carries on with its default handling of the event.

HRESULT CIEBrowser::DesignerPostEditorEventNotify(DISPID, IHTMLEventObj*)
{
    return S_FALSE;
}

HRESULT CIEBrowser::DesignerPostHandleEvent(DISPID, IHTMLEventObj*)
{
    return S_FALSE;
}

HRESULT CIEBrowser::DesignerPreHandleEvent(DISPID, IHTMLEventObj*)
{
    return S_FALSE;
}

HRESULT CIEBrowser::DesignerTranslateAccelerator(DISPID, IHTMLEventObj*)
{
    return S_FALSE;
}

// --- Hosting. -----------------------------------------------------------------

bool CIEBrowser::CreateBrowser(HINSTANCE, HWND hostWindow, DWORD extraHostFlags)
{
    DestroyBrowser();
    extraHostFlags_ = extraHostFlags;
    *container_.ReleaseAndGetAddressOf() = new (std::nothrow) CContainer(this, hostWindow);
    if (!container_)
        return false;
    hostWindow_ = hostWindow;

    HRESULT hr = container_->CreateControl(L"Shell.Explorer");
    if (SUCCEEDED(hr))
        hr = container_->Activate(true);
    ComPtr<IOleObject> control = container_->GetControl();
    if (SUCCEEDED(hr) && control) {
        if (FAILED(control.As(&webBrowser_))) {
            legacyBrowser_ = SUCCEEDED(control.As(&legacyWebBrowser_));
            if (!legacyBrowser_)
                hr = E_NOINTERFACE;
        }
    }
    if (FAILED(hr) || !control) {
        DestroyBrowser();
        return false;
    }

    EnsureBrowserHooks();
    const BrowserVersion& version = InstalledBrowserVersion();
    ieVersion_[0] = version.major;
    ieVersion_[1] = version.minor;
    ieVersion_[2] = version.build;
    ieVersion_[3] = version.revision;

    *browserSink_.ReleaseAndGetAddressOf() = new (std::nothrow) CEventSink(this);
    if (!browserSink_ || FAILED(browserSink_->Advise(control.Get(), DIID_DWebBrowserEvents2))) {
        DestroyBrowser();
        return false;
    }
    return true;
}

void CIEBrowser::DestroyBrowser()
{
    if (documentSink_) {
        documentSink_->Detach();
        documentSink_->Unadvise();
        documentSink_.Reset();
    }
    if (browserSink_) {
        browserSink_->Detach();
        browserSink_->Unadvise();
        browserSink_.Reset();
    }
    webBrowser_.Reset();
    legacyWebBrowser_.Reset();
    legacyBrowser_ = false;
    if (container_) {
        container_->Close();
        container_.Reset();
    }
}

IWebBrowser* CIEBrowser::Browser() const
{
    if (webBrowser_)
        return webBrowser_.Get();
    return legacyWebBrowser_.Get();
}

bool CIEBrowser::IsTopLevel(IDispatch* disp) const
{
    IWebBrowser* browser = Browser();
    if (!disp || !browser)
        return false;
    ComPtr<IUnknown> event;
    ComPtr<IUnknown> control;
    if (FAILED(disp->QueryInterface(IID_PPV_ARGS(&event))) || FAILED(browser->QueryInterface(IID_PPV_ARGS(&control))))
        return false;
    return event.Get() == control.Get();
}

void CIEBrowser::ConnectDocumentSink()
{
    ComPtr<IHTMLDocument2> document = Document();
    if (!document)
        return;
    ComPtr<IUnknown> identity;
    if (FAILED(document.As(&identity)))
        return;
    // Every new page is a new document object; a sink left on the old one
    // would hear nothing of the page on screen.
    if (documentSink_ && documentSink_->IsAdvisedOn(identity.Get()))
        return;
    if (documentSink_) {
        documentSink_->Detach();
        documentSink_->Unadvise();
        documentSink_.Reset();
    }
    ComPtr<CEventSink> sink;
    *sink.ReleaseAndGetAddressOf() = new (std::nothrow) CEventSink(this);
    if (sink && SUCCEEDED(sink->Advise(identity.Get(), DIID_HTMLDocumentEvents2)))
        documentSink_ = sink;
    else if (sink)
        sink->Detach();
}

void CIEBrowser::HandleNavigateComplete(IDispatch* disp, const wchar_t* url)
{
    if (IsTopLevel(disp))
        ConnectDocumentSink();
    OnNavigateComplete2(disp, url);
}

void CIEBrowser::HandleDocumentComplete(IDispatch* disp, const wchar_t* url)
{
    const bool topLevel = IsTopLevel(disp);
    if (topLevel) {
        ConnectDocumentSink();
        // Ended before the view's own handling, which may destroy the view;
        // the waiting loop sees it when the event has been handled.
        if (wait_) {
            wait_->state = NavigateWait::State::Completed;
            wait_.reset();
        }
        PostMessageW(hostWindow_, WM_NULL, 0, 0);
    }
    OnDocumentComplete(disp, url, topLevel);
}

void CIEBrowser::HandleNavigateError(IDispatch* disp)
{
    if (!IsTopLevel(disp) || !wait_)
        return;
    wait_->state = NavigateWait::State::Abandoned;
    wait_.reset();
    PostMessageW(hostWindow_, WM_NULL, 0, 0);
}

// --- The document. --------------------------------------------------------------

ComPtr<IHTMLDocument2> CIEBrowser::Document() const
{
    IWebBrowser* browser = Browser();
    if (!browser)
        return nullptr;
    ComPtr<IDispatch> dispatch;
    if (FAILED(browser->get_Document(&dispatch)) || !dispatch)
        return nullptr;
    ComPtr<IHTMLDocument2> document;
    dispatch.As(&document);
    return document;
}

ComPtr<IHTMLElement> CIEBrowser::Body() const
{
    ComPtr<IHTMLDocument2> document = Document();
    ComPtr<IHTMLElement> body;
    if (document)
        document->get_body(&body);
    return body;
}

void CIEBrowser::SetDesignMode(bool on)
{
    if (ComPtr<IHTMLDocument2> document = Document()) {
        ScopedBstr mode(on ? L"On" : L"Off");
        document->put_designMode(mode.get());
    }
}

void CIEBrowser::WriteDocument(const std::wstring& html, bool close)
{
    ComPtr<IHTMLDocument2> document = Document();
    if (!document)
        return;
    SAFEARRAY* lines = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    if (!lines)
        return;
    VARIANT* line = nullptr;
    if (SUCCEEDED(SafeArrayAccessData(lines, reinterpret_cast<void**>(&line)))) {
        line->vt = VT_BSTR;
        line->bstrVal = SysAllocStringLen(html.data(), static_cast<UINT>(html.size()));
        SafeArrayUnaccessData(lines);
        document->write(lines);
        if (close)
            document->close();
    }
    // Destroying the array clears the VARIANT and frees its string.
    SafeArrayDestroy(lines);
}

void CIEBrowser::AppendHtml(const std::wstring& html)
{
    if (ComPtr<IHTMLElement> body = Body()) {
        ScopedBstr where(L"beforeEnd");
        ScopedBstr text(html);
        body->insertAdjacentHTML(where.get(), text.get());
    }
}

void CIEBrowser::AppendText(const std::wstring& text)
{
    if (ComPtr<IHTMLElement> body = Body()) {
        ScopedBstr where(L"beforeEnd");
        ScopedBstr content(text);
        body->insertAdjacentText(where.get(), content.get());
    }
}

void CIEBrowser::PasteHtml(const std::wstring& html)
{
    ComPtr<IHTMLDocument2> document = Document();
    if (!document)
        return;
    ComPtr<IHTMLSelectionObject> selection;
    if (FAILED(document->get_selection(&selection)) || !selection)
        return;
    ScopedBstr type;
    selection->get_type(type.Receive());
    // A selected picture or control has no text range to paste into.
    if (EqualsNoCase(type.Text(), L"Control"))
        selection->clear();
    ComPtr<IHTMLTxtRange> range = SelectionRange(document.Get(), nullptr);
    if (range) {
        ScopedBstr text(html);
        range->pasteHTML(text.get());
    }
}

bool CIEBrowser::GetSelectedText(std::wstring* text)
{
    ComPtr<IHTMLDocument2> document = Document();
    if (!document || !text)
        return false;
    std::wstring type;
    ComPtr<IHTMLTxtRange> range = SelectionRange(document.Get(), &type);
    if (!range || !EqualsNoCase(type, L"Text"))
        return false;
    ScopedBstr selected;
    if (FAILED(range->get_text(selected.Receive())))
        return false;
    *text = selected.Text();
    return true;
}

bool CIEBrowser::IsSelectionInLink()
{
    ComPtr<IHTMLDocument2> document = Document();
    return document && IsAnchor(SelectionParent(document.Get()).Get());
}

bool CIEBrowser::GetSelectionLink(std::wstring* href, std::wstring* text)
{
    ComPtr<IHTMLDocument2> document = Document();
    if (!document)
        return false;
    ComPtr<IHTMLElement> parent = SelectionParent(document.Get());
    if (!parent)
        return false;
    if (text) {
        ScopedBstr inner;
        parent->get_innerText(inner.Receive());
        *text = inner.Text();
    }
    if (href) {
        href->clear();
        ComPtr<IHTMLAnchorElement> anchor;
        if (IsAnchor(parent.Get()) && SUCCEEDED(parent.As(&anchor))) {
            ScopedBstr address;
            anchor->get_href(address.Receive());
            *href = address.Text();
        }
    }
    return true;
}

void CIEBrowser::SetSelectionParentHtml(const std::wstring& html)
{
    ComPtr<IHTMLDocument2> document = Document();
    if (!document)
        return;
    if (ComPtr<IHTMLElement> parent = SelectionParent(document.Get())) {
        ScopedBstr text(html);
        parent->put_outerHTML(text.get());
    }
}

void CIEBrowser::MoveCaretToEnd()
{
    ComPtr<IHTMLElement> body = Body();
    ComPtr<IHTMLBodyElement> bodyElement;
    if (!body || FAILED(body.As(&bodyElement)))
        return;
    ComPtr<IHTMLTxtRange> range;
    if (FAILED(bodyElement->createTextRange(&range)) || !range)
        return;
    range->collapse(VARIANT_FALSE);
    range->select();
}

HRESULT CIEBrowser::ExecCommand(DWORD commandId, DWORD option, VARIANT* in, VARIANT* out)
{
    ComPtr<IHTMLDocument2> document = Document();
    if (!document)
        return E_UNEXPECTED;
    ComPtr<IOleCommandTarget> target;
    const HRESULT hr = document.As(&target);
    if (FAILED(hr))
        return hr;
    return target->Exec(&CGID_MSHTML, commandId, option, in, out);
}

HRESULT CIEBrowser::CallScript(const wchar_t* name, const std::vector<VARIANT>& arguments, VARIANT* result)
{
    ComPtr<IHTMLDocument2> document = Document();
    if (!document || !name)
        return E_UNEXPECTED;
    ComPtr<IDispatch> script;
    HRESULT hr = document->get_Script(&script);
    if (FAILED(hr) || !script)
        return FAILED(hr) ? hr : E_UNEXPECTED;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    hr = script->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id);
    if (FAILED(hr))
        return hr;
    // Automation passes arguments last first.
    std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
    DISPPARAMS params = {};
    params.cArgs = static_cast<UINT>(reversed.size());
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    ScopedVariant ignored;
    EXCEPINFO exception = {};
    UINT badArgument = 0;
    hr = script->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &params,
                        result ? result : ignored.Receive(), &exception, &badArgument);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
}

void CIEBrowser::SetTextColor(COLORREF color)
{
    if (ComPtr<IHTMLStyle> style = StyleOf(Body().Get())) {
        ScopedVariant value(HexColor(color).c_str());
        style->put_color(*value.get());
    }
}

void CIEBrowser::SetBackgroundColor(COLORREF color)
{
    ComPtr<IHTMLElement> body = Body();
    if (!body)
        return;
    const std::wstring hex = HexColor(color);
    ComPtr<IHTMLBodyElement> bodyElement;
    if (SUCCEEDED(body.As(&bodyElement))) {
        ScopedVariant value(hex.c_str());
        bodyElement->put_bgColor(*value.get());
    }
    if (ComPtr<IHTMLStyle> style = StyleOf(body.Get())) {
        ScopedVariant value(hex.c_str());
        style->put_backgroundColor(*value.get());
    }
}

void CIEBrowser::SetBorder(int width, COLORREF color)
{
    if (color == 0)
        color = GetSysColor(COLOR_WINDOW);
    if (ComPtr<IHTMLStyle> style = StyleOf(Body().Get())) {
        wchar_t border[48] = {};
        swprintf(border, ARRAYSIZE(border), L"%dpx solid %ls", width, HexColor(color).c_str());
        ScopedBstr value(border);
        style->put_border(value.get());
    }
}

HRESULT CIEBrowser::ForwardKey(UINT message, WPARAM key, LPARAM keyData)
{
    IWebBrowser* browser = Browser();
    if (!browser)
        return E_UNEXPECTED;
    ComPtr<IOleInPlaceActiveObject> active;
    const HRESULT hr = browser->QueryInterface(IID_PPV_ARGS(&active));
    if (FAILED(hr))
        return hr;
    MSG msg = {};
    msg.hwnd = hostWindow_;
    msg.message = message;
    msg.wParam = key;
    msg.lParam = keyData;
    msg.time = GetMessageTime();
    const DWORD where = GetMessagePos();
    msg.pt.x = static_cast<short>(LOWORD(where));
    msg.pt.y = static_cast<short>(HIWORD(where));
    return active->TranslateAccelerator(&msg);
}
