// CEventSink: the IDispatch that receives the control's DWebBrowserEvents2
// and the loaded document's HTMLDocumentEvents2 and turns each event it
// knows into one of its owner's operations. One class serves both
// connection points: the event ids do not overlap.
//
// The sink keeps the connection it was advised on, so that it can always
// unadvise from the same document, even after the control has moved on to
// another one. Detach() cuts the owner off for events the control may still
// deliver while it lets go of us.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <wrl/client.h>

class CIEBrowser;

class CEventSink final : public IDispatch {
public:
    explicit CEventSink(CIEBrowser* owner);

    // Connects to `source`'s connection point for `events`.
    HRESULT Advise(IUnknown* source, REFIID events);
    void Unadvise();
    // Whether this sink is connected to the object `source` (compared as
    // IUnknown, the only reliable identity in COM).
    bool IsAdvisedOn(IUnknown* source) const;
    void Detach() { owner_ = nullptr; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    // Always S_OK: an event we ignore or cannot read is still delivered.
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

private:
    ~CEventSink() = default;
    void Dispatch(DISPID id, DISPPARAMS& params);

    LONG refs_ = 1;
    CIEBrowser* owner_ = nullptr;
    DWORD cookie_ = 0;
    Microsoft::WRL::ComPtr<IConnectionPoint> point_;
    Microsoft::WRL::ComPtr<IUnknown> source_;
};
