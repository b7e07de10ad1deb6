// CContainer: the OLE site of one browser control. It is the one object the
// control talks to about its host: window and position, UI flags, context
// menus, drop targets, services, and, in the editor, the edit designer and
// the change sink. What only the host window needs (window, rectangles) it
// answers itself; everything a view may want to decide it forwards to its
// owning CIEBrowser's virtual operations.
//
// The control may keep the site alive after the view is gone (it releases
// references lazily), so Close() cuts the link to the owner and every later
// call gets the neutral answer.
#pragma once

#include <windows.h>

#include <mshtmhst.h>
#include <mshtml.h>
#include <ocidl.h>
#include <oleidl.h>
#include <servprov.h>
#include <wrl/client.h>

class CIEBrowser;

class CContainer final : public IDocHostUIHandler,
                         public IServiceProvider,
                         public IOleClientSite,
                         public IOleInPlaceSite,
                         public IOleInPlaceFrame,
                         public IOleControlSite,
                         public IHTMLPainter,
                         public IElementBehavior,
                         public IElementBehaviorFactory,
                         public IHTMLEditDesigner,
                         public IHTMLChangeSink,
                         public IDispatch {
public:
    CContainer(CIEBrowser* owner, HWND hostWindow);

    // Creates the control in-process from its ProgID, gives it this site and
    // starts it with an empty state.
    HRESULT CreateControl(const wchar_t* progId);
    // In-place activates and shows the control over the host window (true),
    // or hides it (false).
    HRESULT Activate(bool show);
    HRESULT UIActivate();
    // Where the control sits in the host window's client area.
    HRESULT SetObjectRects(const RECT& rect);
    // Closes the control without saving, takes the site back and deactivates
    // it; the control is released and the owner forgotten.
    void Close();
    // The control, with a reference for the caller; null before creation or
    // after Close.
    Microsoft::WRL::ComPtr<IOleObject> GetControl() const { return control_; }

    HWND HostWindow() const { return hostWindow_; }
    const RECT& ObjectRect() const { return rect_; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDocHostUIHandler
    HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD id, POINT* point, IUnknown* commandTarget,
                                              IDispatch* object) override;
    HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* info) override;
    HRESULT STDMETHODCALLTYPE ShowUI(DWORD id, IOleInPlaceActiveObject* activeObject, IOleCommandTarget* commandTarget,
                                     IOleInPlaceFrame* frame, IOleInPlaceUIWindow* document) override;
    HRESULT STDMETHODCALLTYPE HideUI() override;
    HRESULT STDMETHODCALLTYPE UpdateUI() override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message, const GUID* group, DWORD commandId) override;
    HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* key, DWORD reserved) override;
    HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget* controlTarget, IDropTarget** outTarget) override;
    HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** external) override;
    HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD translate, LPWSTR urlIn, LPWSTR* urlOut) override;
    HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject* in, IDataObject** out) override;

    // IServiceProvider
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** out) override;

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override;
    HRESULT STDMETHODCALLTYPE ShowObject() override;
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL show) override;
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override;

    // IOleWindow (site and frame)
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enterMode) override;

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnUIActivate() override;
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                               LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO frameInfo) override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE extent) override;
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL undoable) override;
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override;
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT position) override;

    // IOleInPlaceUIWindow and IOleInPlaceFrame
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT border) override;
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS widths) override;
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS widths) override;
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* activeObject, LPCOLESTR name) override;
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU shared, LPOLEMENUGROUPWIDTHS widths) override;
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU shared, HOLEMENU oleMenu, HWND activeObject) override;
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU shared) override;
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR text) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message, WORD id) override;

    // IOleControlSite
    HRESULT STDMETHODCALLTYPE OnControlInfoChanged() override;
    HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL lock) override;
    HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** dispatch) override;
    HRESULT STDMETHODCALLTYPE TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* message, DWORD modifiers) override;
    HRESULT STDMETHODCALLTYPE OnFocus(BOOL gotFocus) override;
    HRESULT STDMETHODCALLTYPE ShowPropertyFrame() override;

    // IHTMLPainter
    HRESULT STDMETHODCALLTYPE Draw(RECT bounds, RECT update, LONG flags, HDC hdc, LPVOID drawObject) override;
    HRESULT STDMETHODCALLTYPE OnResize(SIZE size) override;
    HRESULT STDMETHODCALLTYPE GetPainterInfo(HTML_PAINTER_INFO* info) override;
    HRESULT STDMETHODCALLTYPE HitTestPoint(POINT point, BOOL* hit, LONG* partId) override;

    // IElementBehavior
    HRESULT STDMETHODCALLTYPE Init(IElementBehaviorSite* site) override;
    HRESULT STDMETHODCALLTYPE Notify(LONG event, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE Detach() override;

    // IElementBehaviorFactory
    HRESULT STDMETHODCALLTYPE FindBehavior(BSTR name, BSTR url, IElementBehaviorSite* site,
                                           IElementBehavior** behavior) override;

    // IHTMLEditDesigner
    HRESULT STDMETHODCALLTYPE PreHandleEvent(DISPID id, IHTMLEventObj* event) override;
    HRESULT STDMETHODCALLTYPE PostHandleEvent(DISPID id, IHTMLEventObj* event) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(DISPID id, IHTMLEventObj* event) override;
    HRESULT STDMETHODCALLTYPE PostEditorEventNotify(DISPID id, IHTMLEventObj* event) override;

    // IHTMLChangeSink
    HRESULT STDMETHODCALLTYPE Notify() override;

    // IDispatch: the control asks it for ambient properties; it has none, so
    // the control uses its defaults.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

private:
    ~CContainer() = default;
    // Calls the owner, or answers `fallback` once the container is closed.
    template <typename Call>
    HRESULT Forward(HRESULT fallback, Call call);

    LONG refs_ = 1;
    HWND hostWindow_ = nullptr;
    Microsoft::WRL::ComPtr<IOleObject> control_;
    RECT rect_ = {};
    CIEBrowser* owner_ = nullptr;
};
