#include "UserPrefs.h"

#include "AppState.h"
#include "PasswordProtection.h"
#include "PreferenceStore.h"

#include <new>
#include <string>
#include <vector>

namespace {

std::wstring NameOf(BSTR name)
{
    return name ? std::wstring(name, SysStringLen(name)) : std::wstring();
}

// The layer hands over names and values; a thrown allocation failure must
// not travel back into it, so every method runs its body through this.
template <typename F>
HRESULT Guarded(F body)
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

class ScopedVariant {
public:
    ScopedVariant() { VariantInit(&v_); }
    ~ScopedVariant() { VariantClear(&v_); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;
    VARIANT* operator&() { return &v_; }
    VARIANT& Get() { return v_; }

private:
    VARIANT v_;
};

// The value as the text it is stored as. Booleans come out as "-1" / "0":
// without VARIANT_ALPHABOOL that is what the conversion gives, and it is the
// form the layer reads back.
bool ToText(const VARIANT& value, std::wstring& text)
{
    ScopedVariant converted;
    // The API takes the source as non-const but does not change it.
    if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, VT_BSTR))
        || converted.Get().vt != VT_BSTR)
        return false;
    text = NameOf(converted.Get().bstrVal);
    return true;
}

HRESULT MakeText(const std::wstring& text, VARIANT* out)
{
    BSTR str = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!str)
        return E_OUTOFMEMORY;
    out->vt = VT_BSTR;
    out->bstrVal = str;
    return S_OK;
}

// A VT_ARRAY | VT_VARIANT of texts, the form the layer takes lists in.
HRESULT MakeTextArray(const std::vector<std::wstring>& items, VARIANT* out)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(items.size()));
    if (!array)
        return E_OUTOFMEMORY;
    for (LONG i = 0; i < static_cast<LONG>(items.size()); ++i) {
        ScopedVariant element;
        HRESULT hr = MakeText(items[i], &element);
        if (SUCCEEDED(hr))
            hr = SafeArrayPutElement(array, &i, &element);
        if (FAILED(hr)) {
            SafeArrayDestroy(array);
            return E_FAIL;
        }
    }
    out->vt = VT_ARRAY | VT_VARIANT;
    out->parray = array;
    return S_OK;
}

// Element `index` of a one-dimensional array as a VARIANT of its own.
HRESULT ArrayElement(SAFEARRAY* array, VARTYPE type, LONG index, VARIANT* element)
{
    if (type == VT_VARIANT)
        return SafeArrayGetElement(array, &index, element);
    if (type == VT_DECIMAL) {
        // A DECIMAL covers the whole VARIANT, its type field included.
        HRESULT hr = SafeArrayGetElement(array, &index, &element->decVal);
        element->vt = VT_DECIMAL;
        return hr;
    }
    if (type == VT_RECORD || type == VT_EMPTY)
        return DISP_E_TYPEMISMATCH;
    HRESULT hr = SafeArrayGetElement(array, &index, &element->llVal);
    if (SUCCEEDED(hr))
        element->vt = type;
    return hr;
}

// Every element as text, or E_INVALIDARG at the first that is none.
HRESULT ArrayTexts(SAFEARRAY* array, std::vector<std::wstring>& items)
{
    if (!array || SafeArrayGetDim(array) != 1)
        return E_FAIL;
    VARTYPE type = VT_EMPTY;
    if (FAILED(SafeArrayGetVartype(array, &type)))
        return E_FAIL;
    LONG lower = 0;
    LONG upper = -1;
    if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper)))
        return E_FAIL;
    for (LONG i = lower; i <= upper; ++i) {
        ScopedVariant element;
        std::wstring text;
        if (FAILED(ArrayElement(array, type, i, &element)) || !ToText(element.Get(), text))
            return E_INVALIDARG;
        items.push_back(std::move(text));
    }
    return S_OK;
}

} // namespace

Microsoft::WRL::ComPtr<CUserPrefs> CUserPrefs::Create()
{
    // The new object's one reference goes to the pointer as it is: mingw-w64's
    // ComPtr::Attach adds a reference of its own, which would leak it.
    Microsoft::WRL::ComPtr<CUserPrefs> prefs;
    *prefs.GetAddressOf() = new (std::nothrow) CUserPrefs();
    return prefs;
}

HRESULT STDMETHODCALLTYPE CUserPrefs::QueryInterface(REFIID riid, void** object)
{
    if (object && IsEqualIID(riid, AIMCC::IID_IAccPreferencesHook)) {
        *object = static_cast<AIMCC::IAccPreferencesHook2*>(this);
        AddRef();
        return S_OK;
    }
    return CAccObject::QueryInterface(riid, object);
}

HRESULT STDMETHODCALLTYPE CUserPrefs::ReadPreference(BSTR name, VARIANT* value)
{
    if (!value)
        return E_POINTER;
    VariantInit(value);
    return Guarded([&]() -> HRESULT {
        const CPreferenceStore store(Settings());
        const std::wstring key = NameOf(name);
        std::vector<std::wstring> items;
        if (store.ReadList(key, items))
            return MakeTextArray(items, value);
        std::wstring text;
        if (!store.ReadValue(key, text))
            return AIMCC::ACC_E_PREFERENCE_NOT_SET;
        return MakeText(text, value);
    });
}

HRESULT STDMETHODCALLTYPE CUserPrefs::ReadPreferenceDefault(BSTR, VARIANT* value)
{
    // The layer's own defaults are the only ones there are.
    if (value)
        VariantInit(value);
    return AIMCC::ACC_E_PREFERENCE_NOT_SET;
}

HRESULT STDMETHODCALLTYPE CUserPrefs::WritePreference(BSTR name, VARIANT value)
{
    return Guarded([&]() -> HRESULT {
        const CPreferenceStore store(Settings());
        const std::wstring key = NameOf(name);
        std::wstring text;
        if (ToText(value, text))
            return store.WriteValue(key, text) ? S_OK : E_FAIL;
        if (!(value.vt & VT_ARRAY))
            return E_FAIL;
        SAFEARRAY* array = (value.vt & VT_BYREF) ? (value.pparray ? *value.pparray : nullptr) : value.parray;
        // All elements are converted before anything is erased, so a list
        // with one bad element leaves the stored list as it was.
        std::vector<std::wstring> items;
        const HRESULT hr = ArrayTexts(array, items);
        if (FAILED(hr))
            return hr;
        return store.WriteList(key, items) ? S_OK : E_FAIL;
    });
}

HRESULT STDMETHODCALLTYPE CUserPrefs::ErasePreference(BSTR name)
{
    return Guarded([&]() -> HRESULT {
        return CPreferenceStore(Settings()).Erase(NameOf(name)) ? S_OK : E_FAIL;
    });
}

HRESULT STDMETHODCALLTYPE CUserPrefs::ListPreferenceChildren(BSTR name, VARIANT* children)
{
    if (!children)
        return E_POINTER;
    VariantInit(children);
    return Guarded([&]() -> HRESULT {
        std::vector<std::wstring> names;
        if (!CPreferenceStore(Settings()).Children(NameOf(name), names))
            return E_FAIL;
        return MakeTextArray(names, children);
    });
}

HRESULT STDMETHODCALLTYPE CUserPrefs::ReadProtectedPreference(BSTR name, VARIANT* value)
{
    if (!value)
        return E_POINTER;
    VariantInit(value);
    return Guarded([&]() -> HRESULT {
        const CPreferenceStore store(Settings());
        const std::wstring key = NameOf(name);
        // A secret is one text; a list under its name is nothing we wrote.
        if (store.IsList(key))
            return E_FAIL;
        std::wstring text;
        if (!store.ReadValue(key, text))
            return AIMCC::ACC_E_PREFERENCE_NOT_SET;
        if (!ProtectText(text, false))
            return E_FAIL;
        return MakeText(text, value);
    });
}

HRESULT STDMETHODCALLTYPE CUserPrefs::WriteProtectedPreference(BSTR name, VARIANT value)
{
    return Guarded([&]() -> HRESULT {
        std::wstring text;
        if (!ToText(value, text) || !ProtectText(text, true))
            return E_FAIL;
        return CPreferenceStore(Settings()).WriteValue(NameOf(name), text) ? S_OK : E_FAIL;
    });
}

HRESULT STDMETHODCALLTYPE CUserPrefs::EraseProtectedPreference(BSTR name)
{
    return ErasePreference(name);
}
