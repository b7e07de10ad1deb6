// The exports of acccore.dll (ordinals in acccore.def and AccCore.h). They
// return results and never throw: the client's inline wrappers in
// AccHelpers.h turn failures into exceptions on the client's side of the
// boundary.
#include <winsock2.h>

#include "AccCore.h"
#include "ScreenNames.h"
#include "Session.h"
#include "Variant.h"

using namespace AIMCC;

namespace {

// Winsock is started once for the life of the DLL's first session and
// stays up: WSACleanup from DllMain is not allowed.
bool StartWinsock()
{
    static const bool started = [] {
        WSADATA data = {};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

} // namespace

extern "C" {

HRESULT WINAPI AccCreateObject(REFCLSID clsid, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_AccSession))
        return CLASS_E_CLASSNOTAVAILABLE;
    if (!StartWinsock())
        return HRESULT_FROM_WIN32(WSASYSNOTREADY);
    return ComBoundary([&] { return CAccSession::Create(DefaultTransportFactory(), iid, object); });
}

HRESULT WINAPI AccVariantChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE type)
{
    if (!dest || !src)
        return E_POINTER;
    return VariantChangeType(dest, const_cast<VARIANT*>(src), flags, type);
}

HRESULT WINAPI AccStringAlloc(const OLECHAR* text, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = SysAllocString(text ? text : L"");
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT WINAPI AccStringReAlloc(BSTR* str, const OLECHAR* text)
{
    if (!str)
        return E_POINTER;
    // SysReAllocString keeps the old string when it fails.
    if (!*str)
        return AccStringAlloc(text, str);
    return SysReAllocString(str, text ? text : L"") ? S_OK : E_OUTOFMEMORY;
}

void WINAPI AccStringFree(BSTR str)
{
    SysFreeString(str);
}

UINT WINAPI AccStringLen(BSTR str)
{
    return SysStringLen(str);
}

int WINAPI AccStringCompare(BSTR str, const OLECHAR* text)
{
    std::wstring_view b = text ? std::wstring_view(text) : std::wstring_view();
    int result = 0;
    HRESULT hr = ComBoundary([&] {
        result = CompareScreenNames(BstrView(str), b);
        return S_OK;
    });
    // Out of memory while normalising: an answer of "different" is the safe one.
    if (FAILED(hr))
        return 1;
    return result < 0 ? -1 : result > 0 ? 1 : 0;
}

HRESULT WINAPI AccVariantClear(VARIANT* value)
{
    if (!value)
        return E_POINTER;
    return VariantClear(value);
}

HRESULT WINAPI AccVariantCopy(VARIANT* dest, const VARIANT* src)
{
    if (!dest || !src)
        return E_POINTER;
    return VariantCopy(dest, const_cast<VARIANT*>(src));
}

HRESULT WINAPI AccStringAllocLen(const OLECHAR* text, UINT length, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = SysAllocStringLen(text, length);
    return *out ? S_OK : E_OUTOFMEMORY;
}

void WINAPI AccStringFree2(BSTR str)
{
    SysFreeString(str);
}

HRESULT WINAPI AccVariantToString(const VARIANT* value, BSTR* out)
{
    if (!value || !out)
        return E_POINTER;
    *out = nullptr;
    VARIANT text;
    VariantInit(&text);
    HRESULT hr = VariantChangeType(&text, const_cast<VARIANT*>(value), 0, VT_BSTR);
    if (FAILED(hr))
        return hr;
    *out = text.bstrVal;
    return S_OK;
}

void WINAPI AccVariantInit(VARIANT* value)
{
    if (value)
        VariantInit(value);
}

HRESULT WINAPI AccVariantFromString(VARIANT* dest, const OLECHAR* text)
{
    if (!dest)
        return E_POINTER;
    HRESULT hr = VariantClear(dest);
    if (FAILED(hr))
        return hr;
    BSTR copy = SysAllocString(text ? text : L"");
    if (!copy)
        return E_OUTOFMEMORY;
    dest->vt = VT_BSTR;
    dest->bstrVal = copy;
    return S_OK;
}

HRESULT WINAPI AccStringNormalize(const OLECHAR* screenName, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    return ComBoundary([&] {
        return CopyToBstr(NormalizeScreenName(screenName ? std::wstring_view(screenName) : std::wstring_view()), out);
    });
}

} // extern "C"
