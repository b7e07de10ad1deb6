#include "EventSink.h"

#include "IEBrowser.h"

#include <exdisp.h>
#include <exdispid.h>
#include <mshtml.h>
#include <olectl.h>

#include <iterator>
#include <utility>

using Microsoft::WRL::ComPtr;

namespace {

constexpr DISPID kOnSelectionChange = 1037; // HTMLDocumentEvents2::onselectionchange

// The arguments of one event in the order the event declares them.
// DISPPARAMS holds them last first; every reader checks the type it expects
// and unwraps the by-reference VARIANTs the control uses for most of them.
class EventArgs {
public:
    explicit EventArgs(const DISPPARAMS& params) : params_(params) {}

    UINT Count() const { return params_.cArgs; }

    VARIANT* Value(UINT index) const
    {
        VARIANT* value = &params_.rgvarg[params_.cArgs - 1 - index];
        if (value->vt == (VT_BYREF | VT_VARIANT) && value->pvarVal)
            return value->pvarVal;
        return value;
    }

    bool Text(UINT index, const wchar_t** text) const
    {
        const VARIANT* value = Value(index);
        if (value->vt == VT_BSTR)
            *text = value->bstrVal ? value->bstrVal : L"";
        else if (value->vt == (VT_BYREF | VT_BSTR) && value->pbstrVal)
            *text = *value->pbstrVal ? *value->pbstrVal : L"";
        else
            return false;
        return true;
    }

    // A frame name is a string or nothing at all.
    bool OptionalText(UINT index, const wchar_t** text) const
    {
        const VARIANT* value = Value(index);
        if (value->vt == VT_EMPTY || value->vt == VT_NULL) {
            *text = L"";
            return true;
        }
        return Text(index, text);
    }

    bool Dispatch(UINT index, IDispatch** dispatch) const
    {
        const VARIANT* value = Value(index);
        if (value->vt == VT_DISPATCH)
            *dispatch = value->pdispVal;
        else if (value->vt == (VT_BYREF | VT_DISPATCH) && value->ppdispVal)
            *dispatch = *value->ppdispVal;
        else
            return false;
        return true;
    }

    bool BoolRef(UINT index, VARIANT_BOOL** flag) const
    {
        const VARIANT* value = &params_.rgvarg[params_.cArgs - 1 - index];
        if (value->vt != (VT_BYREF | VT_BOOL) || !value->pboolVal)
            return false;
        *flag = value->pboolVal;
        return true;
    }

    ComPtr<IHTMLEventObj> EventObject(UINT index) const
    {
        IDispatch* dispatch = nullptr;
        ComPtr<IHTMLEventObj> event;
        if (Dispatch(index, &dispatch) && dispatch)
            dispatch->QueryInterface(IID_PPV_ARGS(&event));
        return event;
    }

private:
    const DISPPARAMS& params_;
};

using Deliver = void (*)(CIEBrowser& owner, const EventArgs& args);

void StatusTextChange(CIEBrowser& owner, const EventArgs& args)
{
    const wchar_t* text = nullptr;
    if (args.Text(0, &text))
        owner.OnStatusTextChange(text);
}

void DownloadComplete(CIEBrowser& owner, const EventArgs&)
{
    owner.OnDownloadComplete();
}

void TitleChange(CIEBrowser& owner, const EventArgs& args)
{
    const wchar_t* title = nullptr;
    if (args.Text(0, &title))
        owner.OnTitleChange(title);
}

void BeforeNavigate2(CIEBrowser& owner, const EventArgs& args)
{
    IDispatch* disp = nullptr;
    const wchar_t* url = nullptr;
    const wchar_t* frame = nullptr;
    VARIANT_BOOL* cancel = nullptr;
    if (!args.Dispatch(0, &disp) || !args.Text(1, &url) || !args.OptionalText(3, &frame) || !args.BoolRef(6, &cancel))
        return;
    owner.OnBeforeNavigate2(disp, url, args.Value(2), frame, args.Value(4), args.Value(5), cancel);
}

void NavigateComplete2(CIEBrowser& owner, const EventArgs& args)
{
    IDispatch* disp = nullptr;
    const wchar_t* url = nullptr;
    if (args.Dispatch(0, &disp) && args.Text(1, &url))
        owner.HandleNavigateComplete(disp, url);
}

void DocumentComplete(CIEBrowser& owner, const EventArgs& args)
{
    IDispatch* disp = nullptr;
    const wchar_t* url = nullptr;
    if (args.Dispatch(0, &disp) && args.Text(1, &url))
        owner.HandleDocumentComplete(disp, url);
}

void NavigateError(CIEBrowser& owner, const EventArgs& args)
{
    IDispatch* disp = nullptr;
    if (args.Dispatch(0, &disp))
        owner.HandleNavigateError(disp);
}

template <HRESULT (CIEBrowser::*Operation)(IHTMLEventObj*)>
void DocumentEvent(CIEBrowser& owner, const EventArgs& args)
{
    if (ComPtr<IHTMLEventObj> event = args.EventObject(0))
        (owner.*Operation)(event.Get());
}

struct EventRoute {
    DISPID id;
    UINT argumentCount;
    Deliver deliver;
};

// CommandStateChange, DownloadBegin and PropertyChange are not listed: no
// view cares about them.
const EventRoute kRoutes[] = {
    {DISPID_STATUSTEXTCHANGE, 1, StatusTextChange},
    {DISPID_DOWNLOADCOMPLETE, 0, DownloadComplete},
    {DISPID_TITLECHANGE, 1, TitleChange},
    {DISPID_BEFORENAVIGATE2, 7, BeforeNavigate2},
    {DISPID_NAVIGATECOMPLETE2, 2, NavigateComplete2},
    {DISPID_DOCUMENTCOMPLETE, 2, DocumentComplete},
    {DISPID_NAVIGATEERROR, 5, NavigateError},
    {kOnSelectionChange, 1, DocumentEvent<&CIEBrowser::OnSelectionChange>},
    {DISPID_CLICK, 1, DocumentEvent<&CIEBrowser::OnDocClick>},
    {DISPID_DBLCLICK, 1, DocumentEvent<&CIEBrowser::OnDocDblClick>},
    {DISPID_KEYDOWN, 1, DocumentEvent<&CIEBrowser::OnDocKeyDown>},
    {DISPID_KEYPRESS, 1, DocumentEvent<&CIEBrowser::OnDocKeyPress>},
    {DISPID_MOUSEDOWN, 1, DocumentEvent<&CIEBrowser::OnDocMouseDown>},
    {DISPID_MOUSEUP, 1, DocumentEvent<&CIEBrowser::OnDocMouseUp>},
};

} // namespace

CEventSink::CEventSink(CIEBrowser* owner) : owner_(owner) {}

HRESULT CEventSink::Advise(IUnknown* source, REFIID events)
{
    if (!source)
        return E_POINTER;
    Unadvise();
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = source->QueryInterface(IID_PPV_ARGS(&container));
    if (FAILED(hr))
        return hr;
    ComPtr<IConnectionPoint> point;
    hr = container->FindConnectionPoint(events, &point);
    if (FAILED(hr))
        return hr;
    if (!point)
        return E_UNEXPECTED;
    DWORD cookie = 0;
    hr = point->Advise(static_cast<IDispatch*>(this), &cookie);
    if (FAILED(hr))
        return hr;
    point_ = point;
    cookie_ = cookie;
    source->QueryInterface(IID_PPV_ARGS(&source_));
    return S_OK;
}

void CEventSink::Unadvise()
{
    // The connection point holds us and we hold it: drop our side first so
    // that whatever the point does on Unadvise finds us consistent.
    ComPtr<IConnectionPoint> point = std::move(point_);
    const DWORD cookie = cookie_;
    cookie_ = 0;
    source_.Reset();
    if (point && cookie)
        point->Unadvise(cookie);
}

bool CEventSink::IsAdvisedOn(IUnknown* source) const
{
    if (!source || !source_)
        return false;
    ComPtr<IUnknown> identity;
    if (FAILED(source->QueryInterface(IID_PPV_ARGS(&identity))))
        return false;
    return identity.Get() == source_.Get();
}

HRESULT CEventSink::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    // The document's connection point may ask for its own event interface.
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2 ||
        iid == DIID_HTMLDocumentEvents2) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG CEventSink::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG CEventSink::Release()
{
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

HRESULT CEventSink::GetTypeInfoCount(UINT* count)
{
    if (count)
        *count = 0;
    return E_NOTIMPL;
}

HRESULT CEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT CEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids)
{
    for (UINT i = 0; ids && i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT CEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*)
{
    if (!owner_)
        return S_OK;
    DISPPARAMS none = {};
    DISPPARAMS& args = params ? *params : none;
    if (args.cArgs > 0 && !args.rgvarg)
        return S_OK;
    // The owner may release this sink while it handles the event.
    ComPtr<CEventSink> keepAlive(this);
    try {
        Dispatch(id, args);
    } catch (...) {
        // A view's handler failed; the control must not see it.
    }
    return S_OK;
}

void CEventSink::Dispatch(DISPID id, DISPPARAMS& params)
{
    for (const EventRoute& route : kRoutes) {
        if (route.id != id)
            continue;
        // Named arguments and the wrong number of them mean a caller we do
        // not understand; reading by position would read the wrong values.
        if (params.cArgs != route.argumentCount || params.cNamedArgs != 0)
            return;
        route.deliver(*owner_, EventArgs(params));
        return;
    }
}
