#include "FakeBrowser.h"

#include <exdisp.h>
#include <exdispid.h>
#include <mshtmhst.h>

namespace {

constexpr wchar_t kActionClass[] = L"VlmFakeBrowserActions";
constexpr UINT kRunAction = WM_APP + 1;

void RegisterClassOnce(const wchar_t* name, WNDPROC procedure)
{
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &existing))
        return;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
}

std::vector<ComPtr<FakeBrowser>>& CreatedBrowsers()
{
    static std::vector<ComPtr<FakeBrowser>> created;
    return created;
}

std::function<void(FakeBrowser&)>& ConfigureBrowser()
{
    static std::function<void(FakeBrowser&)> configure;
    return configure;
}

// The events' arguments, in the order DISPPARAMS wants them: last first.
class EventArguments {
public:
    void Add(const VARIANT& value) { values_.insert(values_.begin(), value); }
    void AddDispatch(IDispatch* disp)
    {
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_DISPATCH;
        value.pdispVal = disp;
        Add(value);
    }
    void AddByRef(VARIANT* target)
    {
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_BYREF | VT_VARIANT;
        value.pvarVal = target;
        Add(value);
    }
    DISPPARAMS* Params()
    {
        params_.cArgs = static_cast<UINT>(values_.size());
        params_.rgvarg = values_.empty() ? nullptr : values_.data();
        return &params_;
    }

private:
    std::vector<VARIANT> values_;
    DISPPARAMS params_ = {};
};

class ScopedText {
public:
    explicit ScopedText(const std::wstring& text)
    {
        VariantInit(&value_);
        value_.vt = VT_BSTR;
        value_.bstrVal = NewBstr(text);
    }
    ~ScopedText() { VariantClear(&value_); }
    ScopedText(const ScopedText&) = delete;
    ScopedText& operator=(const ScopedText&) = delete;
    VARIANT* get() { return &value_; }

private:
    VARIANT value_;
};

class FakeBrowserFactory final : public Stub_IClassFactory, public FakeObject {
public:
    FAKE_REFCOUNT

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        ComPtr<FakeBrowser> browser;
        *browser.ReleaseAndGetAddressOf() = new FakeBrowser();
        if (ConfigureBrowser())
            ConfigureBrowser()(*browser.Get());
        const HRESULT hr = browser->QueryInterface(iid, out);
        if (SUCCEEDED(hr))
            CreatedBrowsers().push_back(browser);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

HRESULT FakeBrowserFactory::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory)
        return FakeAnswer(static_cast<IClassFactory*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
}

} // namespace

FakeBrowser::FakeBrowser() : events_(new FakeConnectionPoint(DIID_DWebBrowserEvents2))
{
    events_->Release(); // the ComPtr holds the one reference
    RegisterClassOnce(kActionClass, ActionProc);
    actionWindow_ = CreateWindowExW(0, kActionClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(actionWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

FakeBrowser::~FakeBrowser()
{
    DestroyWindows();
    if (actionWindow_)
        DestroyWindow(actionWindow_);
}

HRESULT FakeBrowser::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IWebBrowser || iid == IID_IWebBrowserApp)
        return FakeAnswer(static_cast<IWebBrowser2*>(this), out);
    if (iid == IID_IWebBrowser2)
        return offerWebBrowser2 ? FakeAnswer(static_cast<IWebBrowser2*>(this), out) : E_NOINTERFACE;
    if (iid == IID_IOleObject)
        return FakeAnswer(static_cast<IOleObject*>(this), out);
    if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject)
        return FakeAnswer(static_cast<IOleInPlaceObject*>(this), out);
    if (iid == IID_IOleInPlaceActiveObject)
        return FakeAnswer(static_cast<IOleInPlaceActiveObject*>(this), out);
    if (iid == IID_IPersist || iid == IID_IPersistStreamInit)
        return FakeAnswer(static_cast<IPersistStreamInit*>(this), out);
    if (iid == IID_IConnectionPointContainer)
        return FakeAnswer(static_cast<IConnectionPointContainer*>(this), out);
    return E_NOINTERFACE;
}

// --- IWebBrowser2 ----------------------------------------------------------------

HRESULT FakeBrowser::Navigate(BSTR url, VARIANT*, VARIANT*, VARIANT*, VARIANT*)
{
    if (!url)
        return E_INVALIDARG;
    StartNavigation(std::wstring(url, SysStringLen(url)));
    return S_OK;
}

HRESULT FakeBrowser::Navigate2(VARIANT* url, VARIANT*, VARIANT*, VARIANT*, VARIANT*)
{
    if (!url)
        return E_INVALIDARG;
    StartNavigation(VariantText(*url));
    return S_OK;
}

HRESULT FakeBrowser::Stop()
{
    ++stops;
    return S_OK;
}

HRESULT FakeBrowser::get_Document(IDispatch** document)
{
    if (!document)
        return E_POINTER;
    *document = nullptr;
    if (!document_)
        return S_FALSE;
    return document_->QueryInterface(IID_PPV_ARGS(document));
}

HRESULT FakeBrowser::get_LocationURL(BSTR* url)
{
    if (!url)
        return E_POINTER;
    *url = NewBstr(locationUrl);
    return S_OK;
}

HRESULT FakeBrowser::put_Silent(VARIANT_BOOL value)
{
    silent = value;
    return S_OK;
}

HRESULT FakeBrowser::get_Silent(VARIANT_BOOL* value)
{
    if (!value)
        return E_POINTER;
    *value = silent;
    return S_OK;
}

HRESULT FakeBrowser::put_Offline(VARIANT_BOOL value)
{
    offline = value;
    return S_OK;
}

HRESULT FakeBrowser::get_Offline(VARIANT_BOOL* value)
{
    if (!value)
        return E_POINTER;
    *value = offline;
    return S_OK;
}

// --- IOleObject --------------------------------------------------------------------

HRESULT FakeBrowser::SetClientSite(IOleClientSite* newSite)
{
    site = newSite;
    if (!site)
        return S_OK;
    // The control asks its host how to look as soon as it has a site.
    ComPtr<IDocHostUIHandler> host;
    if (SUCCEEDED(site.As(&host))) {
        DOCHOSTUIINFO info = {};
        info.cbSize = sizeof(info);
        hadHostInfo = SUCCEEDED(host->GetHostInfo(&info));
        hostFlags = info.dwFlags;
    }
    return S_OK;
}

HRESULT FakeBrowser::GetClientSite(IOleClientSite** out)
{
    if (!out)
        return E_POINTER;
    *out = site.Get();
    if (*out)
        (*out)->AddRef();
    return S_OK;
}

HRESULT FakeBrowser::Close(DWORD saveOption)
{
    closed = true;
    closeOption = saveOption;
    return S_OK;
}

HRESULT FakeBrowser::DoVerb(LONG verb, LPMSG, IOleClientSite* verbSite, LONG, HWND parent, LPCRECT)
{
    verbs.push_back(verb);
    ComPtr<IOleInPlaceSite> inPlace;
    if (verbSite)
        verbSite->QueryInterface(IID_PPV_ARGS(&inPlace));
    switch (verb) {
    case OLEIVERB_INPLACEACTIVATE: {
        if (!inPlace || inPlace->CanInPlaceActivate() != S_OK)
            return E_FAIL;
        inPlace->OnInPlaceActivate();
        siteWindowResult = inPlace->GetWindow(&siteWindow);
        ComPtr<IOleInPlaceFrame> frame;
        ComPtr<IOleInPlaceUIWindow> document;
        frameInfo = {};
        frameInfo.cb = sizeof(frameInfo);
        if (FAILED(inPlace->GetWindowContext(&frame, &document, &contextPosition, &contextClip, &frameInfo)))
            return E_FAIL;
        contextHadFrame = frame != nullptr;
        if (!embeddingWindow)
            CreateWindows(parent, contextPosition);
        return S_OK;
    }
    case OLEIVERB_SHOW:
        if (embeddingWindow)
            ShowWindow(embeddingWindow, SW_SHOW);
        return S_OK;
    case OLEIVERB_HIDE:
        if (embeddingWindow)
            ShowWindow(embeddingWindow, SW_HIDE);
        return S_OK;
    case OLEIVERB_UIACTIVATE:
        if (inPlace)
            inPlace->OnUIActivate();
        return S_OK;
    default:
        return OLEOBJ_S_INVALIDVERB;
    }
}

// --- In-place object -----------------------------------------------------------

HRESULT FakeBrowser::GetWindow(HWND* window)
{
    if (!window)
        return E_POINTER;
    *window = embeddingWindow;
    return embeddingWindow ? S_OK : E_FAIL;
}

HRESULT FakeBrowser::InPlaceDeactivate()
{
    inPlaceDeactivated = true;
    DestroyWindows();
    return S_OK;
}

HRESULT FakeBrowser::UIDeactivate()
{
    uiDeactivated = true;
    return S_OK;
}

HRESULT FakeBrowser::SetObjectRects(LPCRECT position, LPCRECT)
{
    if (!position)
        return E_POINTER;
    objectRect = *position;
    ++objectRectCalls;
    if (embeddingWindow)
        MoveWindow(embeddingWindow, position->left, position->top, position->right - position->left,
                   position->bottom - position->top, TRUE);
    return S_OK;
}

HRESULT FakeBrowser::TranslateAccelerator(LPMSG message)
{
    if (!message)
        return E_POINTER;
    accelerators.push_back(*message);
    return acceleratorAnswer;
}

HRESULT FakeBrowser::InitNew()
{
    initNew = true;
    return S_OK;
}

HRESULT FakeBrowser::FindConnectionPoint(REFIID iid, IConnectionPoint** point)
{
    if (!point)
        return E_POINTER;
    *point = nullptr;
    if (iid != DIID_DWebBrowserEvents2)
        return CONNECT_E_NOCONNECTION;
    return events_->QueryInterface(IID_PPV_ARGS(point));
}

// --- Navigation and events -------------------------------------------------------

void FakeBrowser::StartNavigation(const std::wstring& url)
{
    navigateRequests.push_back(url);
    if (RaiseBeforeNavigate2(AsDispatch(), url))
        return;
    if (failNavigations) {
        Post([this, url] { RaiseNavigateError(AsDispatch(), url); });
        return;
    }
    if (!completeNavigations)
        return;
    // Actions live and run in this object's own window, so they never
    // outlive it.
    Post([this, url] { CompleteNavigation(url); });
}

void FakeBrowser::CompleteNavigation(const std::wstring& url)
{
    *document_.ReleaseAndGetAddressOf() = new FakeDocument(url);
    locationUrl = url;
    RaiseNavigateComplete2(AsDispatch(), url);
    RaiseDocumentComplete(AsDispatch(), url);
}

bool FakeBrowser::ClickLink(const std::wstring& url)
{
    if (RaiseBeforeNavigate2(AsDispatch(), url))
        return true;
    CompleteNavigation(url);
    return false;
}

bool FakeBrowser::RaiseBeforeNavigate2(IDispatch* disp, const std::wstring& url)
{
    ScopedText address(url);
    VARIANT flags;
    VariantInit(&flags);
    flags.vt = VT_I4;
    flags.lVal = 0;
    ScopedText frame(L"");
    VARIANT postData;
    VariantInit(&postData);
    VARIANT headers;
    VariantInit(&headers);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT cancelArgument;
    VariantInit(&cancelArgument);
    cancelArgument.vt = VT_BYREF | VT_BOOL;
    cancelArgument.pboolVal = &cancel;

    EventArguments args;
    args.AddDispatch(disp);
    args.AddByRef(address.get());
    args.AddByRef(&flags);
    args.AddByRef(frame.get());
    args.AddByRef(&postData);
    args.AddByRef(&headers);
    args.Add(cancelArgument);
    events_->Raise(DISPID_BEFORENAVIGATE2, args.Params());
    return cancel != VARIANT_FALSE;
}

void FakeBrowser::RaiseNavigateComplete2(IDispatch* disp, const std::wstring& url)
{
    ScopedText address(url);
    EventArguments args;
    args.AddDispatch(disp);
    args.AddByRef(address.get());
    events_->Raise(DISPID_NAVIGATECOMPLETE2, args.Params());
}

void FakeBrowser::RaiseDocumentComplete(IDispatch* disp, const std::wstring& url)
{
    ScopedText address(url);
    EventArguments args;
    args.AddDispatch(disp);
    args.AddByRef(address.get());
    events_->Raise(DISPID_DOCUMENTCOMPLETE, args.Params());
}

void FakeBrowser::RaiseNavigateError(IDispatch* disp, const std::wstring& url)
{
    ScopedText address(url);
    ScopedText frame(L"");
    VARIANT status;
    VariantInit(&status);
    status.vt = VT_I4;
    status.lVal = static_cast<LONG>(REGDB_E_CLASSNOTREG);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT cancelArgument;
    VariantInit(&cancelArgument);
    cancelArgument.vt = VT_BYREF | VT_BOOL;
    cancelArgument.pboolVal = &cancel;
    EventArguments args;
    args.AddDispatch(disp);
    args.AddByRef(address.get());
    args.AddByRef(frame.get());
    args.AddByRef(&status);
    args.Add(cancelArgument);
    events_->Raise(DISPID_NAVIGATEERROR, args.Params());
}

void FakeBrowser::RaiseStatusTextChange(const std::wstring& text)
{
    ScopedText value(text);
    EventArguments args;
    args.Add(*value.get());
    events_->Raise(DISPID_STATUSTEXTCHANGE, args.Params());
}

void FakeBrowser::RaiseTitleChange(const std::wstring& title)
{
    ScopedText value(title);
    EventArguments args;
    args.Add(*value.get());
    events_->Raise(DISPID_TITLECHANGE, args.Params());
}

void FakeBrowser::Post(std::function<void()> action)
{
    actions_.push_back(std::move(action));
    PostMessageW(actionWindow_, kRunAction, 0, 0);
}

LRESULT CALLBACK FakeBrowser::ActionProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<FakeBrowser*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message != kRunAction || !self || self->actions_.empty())
        return DefWindowProcW(hwnd, message, wParam, lParam);
    std::function<void()> action = std::move(self->actions_.front());
    self->actions_.pop_front();
    action();
    return 0;
}

// --- The control's windows -----------------------------------------------------

void FakeBrowser::CreateWindows(HWND parent, const RECT& position)
{
    for (const wchar_t* name : {L"Shell Embedding", L"Shell DocObject View", L"Internet Explorer_Server"})
        RegisterClassOnce(name, DefWindowProcW);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const DWORD child = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    embeddingWindow = CreateWindowExW(0, L"Shell Embedding", L"", child, position.left, position.top,
                                      position.right - position.left, position.bottom - position.top, parent,
                                      nullptr, instance, nullptr);
    docViewWindow = CreateWindowExW(0, L"Shell DocObject View", L"", child | WS_VISIBLE, 0, 0,
                                    position.right - position.left, position.bottom - position.top, embeddingWindow,
                                    nullptr, instance, nullptr);
    serverWindow = CreateWindowExW(0, L"Internet Explorer_Server", L"", child | WS_VISIBLE, 0, 0,
                                   position.right - position.left, position.bottom - position.top, docViewWindow,
                                   nullptr, instance, nullptr);
}

void FakeBrowser::DestroyWindows()
{
    if (embeddingWindow && IsWindow(embeddingWindow))
        DestroyWindow(embeddingWindow);
    embeddingWindow = nullptr;
    docViewWindow = nullptr;
    serverWindow = nullptr;
}

// --- Registration --------------------------------------------------------------

FakeBrowserRegistration::FakeBrowserRegistration()
{
    CreatedBrowsers().clear();
    ComPtr<FakeBrowserFactory> factory;
    *factory.ReleaseAndGetAddressOf() = new FakeBrowserFactory();
    CoRegisterClassObject(CLSID_WebBrowser, static_cast<IClassFactory*>(factory.Get()), CLSCTX_INPROC_SERVER,
                          REGCLS_MULTIPLEUSE, &cookie_);
}

FakeBrowserRegistration::~FakeBrowserRegistration()
{
    if (cookie_)
        CoRevokeClassObject(cookie_);
    CreatedBrowsers().clear();
    ConfigureBrowser() = nullptr;
}

void FakeBrowserRegistration::SetConfigure(std::function<void(FakeBrowser&)> configure)
{
    ConfigureBrowser() = std::move(configure);
}

const std::vector<ComPtr<FakeBrowser>>& FakeBrowserRegistration::Created()
{
    return CreatedBrowsers();
}

FakeBrowser* FakeBrowserRegistration::Latest()
{
    return CreatedBrowsers().empty() ? nullptr : CreatedBrowsers().back().Get();
}
