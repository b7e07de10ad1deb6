#include "Container.h"

#include "IEBrowser.h"

using Microsoft::WRL::ComPtr;

// The owner's operations are the views' own code; whatever they throw stops
// here, before it could cross into the control.
template <typename Call>
HRESULT CContainer::Forward(HRESULT fallback, Call call)
{
    if (!owner_)
        return fallback;
    try {
        return call(*owner_);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

CContainer::CContainer(CIEBrowser* owner, HWND hostWindow) : hostWindow_(hostWindow), owner_(owner)
{
    if (hostWindow_)
        GetClientRect(hostWindow_, &rect_);
}

HRESULT CContainer::CreateControl(const wchar_t* progId)
{
    CLSID clsid = {};
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr))
        return hr;
    ComPtr<IOleObject> control;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&control));
    if (FAILED(hr))
        return hr;
    hr = control->SetClientSite(static_cast<IOleClientSite*>(this));
    if (FAILED(hr))
        return hr;
    control_ = control;
    ComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(control_.As(&persist)))
        persist->InitNew();
    return S_OK;
}

HRESULT CContainer::Activate(bool show)
{
    if (!control_)
        return E_UNEXPECTED;
    IOleClientSite* site = static_cast<IOleClientSite*>(this);
    if (!show)
        return control_->DoVerb(OLEIVERB_HIDE, nullptr, site, 0, hostWindow_, &rect_);
    const HRESULT hr = control_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0, hostWindow_, &rect_);
    if (FAILED(hr))
        return hr;
    return control_->DoVerb(OLEIVERB_SHOW, nullptr, site, 0, hostWindow_, &rect_);
}

HRESULT CContainer::UIActivate()
{
    if (!control_)
        return E_UNEXPECTED;
    return control_->DoVerb(OLEIVERB_UIACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0, hostWindow_,
                            &rect_);
}

HRESULT CContainer::SetObjectRects(const RECT& rect)
{
    rect_ = rect;
    if (!control_)
        return E_UNEXPECTED;
    ComPtr<IOleInPlaceObject> inPlace;
    const HRESULT hr = control_.As(&inPlace);
    if (FAILED(hr))
        return hr;
    return inPlace->SetObjectRects(&rect_, &rect_);
}

void CContainer::Close()
{
    owner_ = nullptr;
    ComPtr<IOleObject> control = std::move(control_);
    if (!control)
        return;
    control->Close(OLECLOSE_NOSAVE);
    control->SetClientSite(nullptr);
    ComPtr<IOleInPlaceObject> inPlace;
    if (SUCCEEDED(control.As(&inPlace))) {
        inPlace->UIDeactivate();
        inPlace->InPlaceDeactivate();
    }
}

// IUnknown

HRESULT CContainer::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDocHostUIHandler)
        *out = static_cast<IDocHostUIHandler*>(this);
    else if (iid == IID_IServiceProvider)
        *out = static_cast<IServiceProvider*>(this);
    else if (iid == IID_IOleClientSite)
        *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
        *out = static_cast<IOleInPlaceSite*>(this);
    else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame)
        *out = static_cast<IOleInPlaceFrame*>(this);
    else if (iid == IID_IOleControlSite)
        *out = static_cast<IOleControlSite*>(this);
    else if (iid == IID_IHTMLPainter)
        *out = static_cast<IHTMLPainter*>(this);
    else if (iid == IID_IElementBehavior)
        *out = static_cast<IElementBehavior*>(this);
    else if (iid == IID_IElementBehaviorFactory)
        *out = static_cast<IElementBehaviorFactory*>(this);
    else if (iid == IID_IHTMLEditDesigner)
        *out = static_cast<IHTMLEditDesigner*>(this);
    else if (iid == IID_IHTMLChangeSink)
        *out = static_cast<IHTMLChangeSink*>(this);
    else if (iid == IID_IDispatch)
        *out = static_cast<IDispatch*>(this);
    else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG CContainer::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG CContainer::Release()
{
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

// IDocHostUIHandler

HRESULT CContainer::ShowContextMenu(DWORD id, POINT* point, IUnknown* commandTarget, IDispatch* object)
{
    // Without an owner no menu at all rather than the control's own.
    return Forward(S_OK, [&](CIEBrowser& owner) { return owner.ShowContextMenu(id, point, commandTarget, object); });
}

HRESULT CContainer::GetHostInfo(DOCHOSTUIINFO* info)
{
    if (!info)
        return E_NOTIMPL;
    info->dwFlags |= DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_DIV_BLOCKDEFAULT | DOCHOSTUIFLAG_THEME;
    if (owner_)
        info->dwFlags |= owner_->ExtraHostFlags();
    return S_OK;
}

HRESULT CContainer::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                           IOleInPlaceUIWindow*)
{
    // We have no menus or toolbars for the control to merge into.
    return S_OK;
}

HRESULT CContainer::HideUI()
{
    return S_OK;
}

HRESULT CContainer::UpdateUI()
{
    return Forward(E_NOTIMPL, [&](CIEBrowser& owner) { return owner.UpdateUI(); });
}

HRESULT CContainer::EnableModeless(BOOL)
{
    return S_OK;
}

HRESULT CContainer::OnDocWindowActivate(BOOL)
{
    return S_OK;
}

HRESULT CContainer::OnFrameWindowActivate(BOOL)
{
    return S_OK;
}

HRESULT CContainer::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL)
{
    return S_OK;
}

HRESULT CContainer::TranslateAccelerator(LPMSG, const GUID*, DWORD)
{
    return S_FALSE; // not ours: the control handles the key
}

HRESULT CContainer::GetOptionKeyPath(LPOLESTR* key, DWORD)
{
    if (key)
        *key = nullptr;
    return E_NOTIMPL;
}

HRESULT CContainer::GetDropTarget(IDropTarget* controlTarget, IDropTarget** outTarget)
{
    if (!outTarget)
        return E_POINTER;
    *outTarget = nullptr;
    return Forward(E_NOTIMPL, [&](CIEBrowser& owner) { return owner.GetDropTarget(controlTarget, outTarget); });
}

HRESULT CContainer::GetExternal(IDispatch** external)
{
    if (external)
        *external = nullptr;
    return E_NOTIMPL;
}

HRESULT CContainer::TranslateUrl(DWORD, LPWSTR, LPWSTR* urlOut)
{
    if (urlOut)
        *urlOut = nullptr;
    return S_FALSE;
}

HRESULT CContainer::FilterDataObject(IDataObject*, IDataObject** out)
{
    if (out)
        *out = nullptr;
    return S_FALSE;
}

// IServiceProvider

HRESULT CContainer::QueryService(REFGUID service, REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    return Forward(E_NOTIMPL, [&](CIEBrowser& owner) { return owner.QueryService(service, iid, out); });
}

// IOleClientSite

HRESULT CContainer::SaveObject()
{
    return E_NOTIMPL;
}

HRESULT CContainer::GetMoniker(DWORD, DWORD, IMoniker** moniker)
{
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT CContainer::GetContainer(IOleContainer** container)
{
    if (container)
        *container = nullptr;
    return E_NOINTERFACE;
}

HRESULT CContainer::ShowObject()
{
    return S_OK;
}

HRESULT CContainer::OnShowWindow(BOOL)
{
    return S_OK;
}

HRESULT CContainer::RequestNewObjectLayout()
{
    return E_NOTIMPL;
}

// IOleWindow

HRESULT CContainer::GetWindow(HWND* window)
{
    if (!window)
        return E_POINTER;
    *window = hostWindow_;
    return IsWindow(hostWindow_) ? S_OK : S_FALSE;
}

HRESULT CContainer::ContextSensitiveHelp(BOOL)
{
    return E_NOTIMPL;
}

// IOleInPlaceSite

HRESULT CContainer::CanInPlaceActivate()
{
    return S_OK;
}

HRESULT CContainer::OnInPlaceActivate()
{
    return S_OK;
}

HRESULT CContainer::OnUIActivate()
{
    return S_OK;
}

HRESULT CContainer::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                     LPRECT clip, LPOLEINPLACEFRAMEINFO frameInfo)
{
    if (!frame || !document || !position || !clip || !frameInfo)
        return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *document = nullptr;
    RECT client = {};
    GetClientRect(hostWindow_, &client);
    // The control goes where the view last placed it (views leave a line
    // free above and below); it may draw only within the host window.
    *position = IsRectEmpty(&rect_) ? client : rect_;
    *clip = client;
    frameInfo->cb = sizeof(OLEINPLACEFRAMEINFO);
    frameInfo->fMDIApp = FALSE;
    frameInfo->hwndFrame = hostWindow_;
    frameInfo->haccel = nullptr;
    frameInfo->cAccelEntries = 0;
    return S_OK;
}

HRESULT CContainer::Scroll(SIZE)
{
    return E_NOTIMPL;
}

HRESULT CContainer::OnUIDeactivate(BOOL)
{
    return S_OK;
}

HRESULT CContainer::OnInPlaceDeactivate()
{
    return S_OK;
}

HRESULT CContainer::DiscardUndoState()
{
    return E_NOTIMPL;
}

HRESULT CContainer::DeactivateAndUndo()
{
    return E_NOTIMPL;
}

HRESULT CContainer::OnPosRectChange(LPCRECT)
{
    return S_OK;
}

// IOleInPlaceUIWindow and IOleInPlaceFrame

HRESULT CContainer::GetBorder(LPRECT)
{
    return INPLACE_E_NOTOOLSPACE;
}

HRESULT CContainer::RequestBorderSpace(LPCBORDERWIDTHS)
{
    return INPLACE_E_NOTOOLSPACE;
}

HRESULT CContainer::SetBorderSpace(LPCBORDERWIDTHS)
{
    return E_NOTIMPL;
}

HRESULT CContainer::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR)
{
    return S_OK;
}

HRESULT CContainer::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS)
{
    return E_NOTIMPL;
}

HRESULT CContainer::SetMenu(HMENU, HOLEMENU, HWND)
{
    return S_OK;
}

HRESULT CContainer::RemoveMenus(HMENU)
{
    return E_NOTIMPL;
}

HRESULT CContainer::SetStatusText(LPCOLESTR text)
{
    // The views take link texts from StatusTextChange; there is no status
    // bar to show this one in.
    return text ? S_OK : E_INVALIDARG;
}

HRESULT CContainer::TranslateAccelerator(LPMSG, WORD)
{
    return S_FALSE;
}

// IOleControlSite

HRESULT CContainer::OnControlInfoChanged()
{
    return S_OK;
}

HRESULT CContainer::LockInPlaceActive(BOOL)
{
    return S_OK;
}

HRESULT CContainer::GetExtendedControl(IDispatch** dispatch)
{
    if (!dispatch)
        return E_POINTER;
    *dispatch = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

HRESULT CContainer::TransformCoords(POINTL*, POINTF*, DWORD)
{
    return E_NOTIMPL;
}

HRESULT CContainer::TranslateAccelerator(MSG*, DWORD)
{
    return S_FALSE;
}

HRESULT CContainer::OnFocus(BOOL)
{
    return S_OK;
}

HRESULT CContainer::ShowPropertyFrame()
{
    return E_NOTIMPL;
}

// IHTMLPainter

HRESULT CContainer::Draw(RECT bounds, RECT update, LONG flags, HDC hdc, LPVOID drawObject)
{
    return Forward(E_NOTIMPL,
                   [&](CIEBrowser& owner) { return owner.PainterDraw(bounds, update, flags, hdc, drawObject); });
}

HRESULT CContainer::OnResize(SIZE size)
{
    return Forward(E_NOTIMPL, [&](CIEBrowser& owner) { return owner.PainterOnResize(size); });
}

HRESULT CContainer::GetPainterInfo(HTML_PAINTER_INFO* info)
{
    return Forward(E_NOTIMPL, [&](CIEBrowser& owner) { return owner.PainterGetInfo(info); });
}

HRESULT CContainer::HitTestPoint(POINT point, BOOL* hit, LONG* partId)
{
    return Forward(E_NOTIMPL, [&](CIEBrowser& owner) { return owner.PainterHitTestPoint(point, hit, partId); });
}

// IElementBehavior

HRESULT CContainer::Init(IElementBehaviorSite* site)
{
    return Forward(E_NOTIMPL, [&](CIEBrowser& owner) { return owner.BehaviorInit(site); });
}

HRESULT CContainer::Notify(LONG event, VARIANT* value)
{
    return Forward(E_NOTIMPL, [&](CIEBrowser& owner) { return owner.BehaviorNotify(event, value); });
}

HRESULT CContainer::Detach()
{
    return Forward(E_NOTIMPL, [&](CIEBrowser& owner) { return owner.BehaviorDetach(); });
}

// IElementBehaviorFactory

HRESULT CContainer::FindBehavior(BSTR name, BSTR url, IElementBehaviorSite* site, IElementBehavior** behavior)
{
    if (!behavior)
        return E_POINTER;
    *behavior = nullptr;
    return Forward(E_NOTIMPL, [&](CIEBrowser& owner) { return owner.FindBehavior(name, url, site, behavior); });
}

// IHTMLEditDesigner: S_FALSE lets the editor go on with its own handling.

HRESULT CContainer::PreHandleEvent(DISPID id, IHTMLEventObj* event)
{
    return Forward(S_FALSE, [&](CIEBrowser& owner) { return owner.DesignerPreHandleEvent(id, event); });
}

HRESULT CContainer::PostHandleEvent(DISPID id, IHTMLEventObj* event)
{
    return Forward(S_FALSE, [&](CIEBrowser& owner) { return owner.DesignerPostHandleEvent(id, event); });
}

HRESULT CContainer::TranslateAccelerator(DISPID id, IHTMLEventObj* event)
{
    return Forward(S_FALSE, [&](CIEBrowser& owner) { return owner.DesignerTranslateAccelerator(id, event); });
}

HRESULT CContainer::PostEditorEventNotify(DISPID id, IHTMLEventObj* event)
{
    return Forward(S_FALSE, [&](CIEBrowser& owner) { return owner.DesignerPostEditorEventNotify(id, event); });
}

// IHTMLChangeSink

HRESULT CContainer::Notify()
{
    return Forward(E_NOTIMPL, [&](CIEBrowser& owner) { return owner.OnMarkupChange(); });
}

// IDispatch

HRESULT CContainer::GetTypeInfoCount(UINT* count)
{
    if (count)
        *count = 0;
    return E_NOTIMPL;
}

HRESULT CContainer::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT CContainer::GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids)
{
    for (UINT i = 0; ids && i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT CContainer::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    return DISP_E_MEMBERNOTFOUND;
}
