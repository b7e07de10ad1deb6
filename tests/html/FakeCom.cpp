#include "FakeCom.h"

std::wstring VariantText(const VARIANT& value)
{
    const VARIANT* v = &value;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal)
        v = v->pvarVal;
    switch (v->vt) {
    case VT_EMPTY:
    case VT_NULL:
        return std::wstring();
    case VT_BSTR:
        return v->bstrVal ? std::wstring(v->bstrVal, SysStringLen(v->bstrVal)) : std::wstring();
    case VT_BOOL:
        return v->boolVal ? L"true" : L"false";
    default:
        break;
    }
    VARIANT text;
    VariantInit(&text);
    std::wstring result = L"?";
    if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(v), 0, VT_BSTR)) && text.bstrVal)
        result.assign(text.bstrVal, SysStringLen(text.bstrVal));
    VariantClear(&text);
    return result;
}

BSTR NewBstr(const std::wstring& text)
{
    return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

HRESULT FakeConnectionPoint::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IConnectionPoint)
        return FakeAnswer(static_cast<IConnectionPoint*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT FakeConnectionPoint::GetConnectionInterface(IID* iid)
{
    if (!iid)
        return E_POINTER;
    *iid = events_;
    return S_OK;
}

HRESULT FakeConnectionPoint::Advise(IUnknown* sink, DWORD* cookie)
{
    if (!sink || !cookie)
        return E_POINTER;
    ComPtr<IDispatch> events;
    if (FAILED(sink->QueryInterface(events_, reinterpret_cast<void**>(events.GetAddressOf()))) || !events)
        return CONNECT_E_CANNOTCONNECT;
    *cookie = nextCookie_++;
    sinks_[*cookie] = events;
    ++advises;
    return S_OK;
}

HRESULT FakeConnectionPoint::Unadvise(DWORD cookie)
{
    auto found = sinks_.find(cookie);
    if (found == sinks_.end())
        return CONNECT_E_NOCONNECTION;
    // Released after the map no longer holds it: the sink may go away now.
    ComPtr<IDispatch> sink = std::move(found->second);
    sinks_.erase(found);
    ++unadvises;
    return S_OK;
}

std::vector<HRESULT> FakeConnectionPoint::Raise(DISPID id, DISPPARAMS* params)
{
    std::vector<ComPtr<IDispatch>> sinks;
    for (const auto& entry : sinks_)
        sinks.push_back(entry.second);
    // Kept alive across the calls, which may unadvise or release us.
    ComPtr<FakeConnectionPoint> self(this);
    std::vector<HRESULT> results;
    for (const ComPtr<IDispatch>& sink : sinks)
        results.push_back(sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, params, nullptr, nullptr,
                                       nullptr));
    return results;
}
