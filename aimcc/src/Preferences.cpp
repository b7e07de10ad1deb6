#include "Preferences.h"

#include "PreferenceDefaults.h"
#include "Session.h"

#include <shlwapi.h>

namespace AIMCC {

namespace {

// Every preference of the layer is named "aimcc.<something>".
bool IsLayerPreference(std::wstring_view name)
{
    const std::wstring_view prefix = L"aimcc.";
    return name.size() > prefix.size()
        && CompareStringOrdinal(name.data(), static_cast<int>(prefix.size()), prefix.data(),
                                static_cast<int>(prefix.size()), TRUE)
        == CSTR_EQUAL;
}

} // namespace

HRESULT STDMETHODCALLTYPE CAccPreferences::QueryInterface(REFIID riid, void** object)
{
    static const QITAB table[] = {AIMCC_QI_ENTRIES(CAccPreferences, IAccPreferences), {}};
    return QISearch(this, table, riid, object);
}

HRESULT STDMETHODCALLTYPE CAccPreferences::GetValue(BSTR name, VARIANT* value)
{
    if (!value)
        return E_POINTER;
    VariantInit(value);
    if (!session_)
        return E_UNEXPECTED;
    return ComBoundary([&]() -> HRESULT {
        std::wstring_view key = BstrView(name);
        if (!IsLayerPreference(key))
            return E_INVALIDARG;
        CVariant read;
        HRESULT hr = session_->ReadPreference(key, read);
        *value = read.Detach();
        return hr;
    });
}

HRESULT STDMETHODCALLTYPE CAccPreferences::SetValue(BSTR name, VARIANT value)
{
    if (!session_)
        return E_UNEXPECTED;
    return ComBoundary([&]() -> HRESULT {
        std::wstring_view key = BstrView(name);
        if (!IsLayerPreference(key))
            return E_INVALIDARG;
        HRESULT hr = session_->WritePreference(key, value);
        session_->OnPreferenceChanged(key, hr);
        return hr;
    });
}

HRESULT STDMETHODCALLTYPE CAccPreferences::GetDefaultValue(BSTR name, VARIANT* value)
{
    if (!value)
        return E_POINTER;
    VariantInit(value);
    return ComBoundary([&]() -> HRESULT {
        std::wstring text;
        if (!FindPreferenceDefault(BstrView(name), text))
            return ACC_E_PREFERENCE_NOT_SET;
        *value = CVariant::Text(text).Detach();
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE CAccPreferences::Reset(BSTR name)
{
    if (!session_)
        return E_UNEXPECTED;
    return ComBoundary([&]() -> HRESULT {
        std::wstring_view key = BstrView(name);
        if (!IsLayerPreference(key))
            return E_INVALIDARG;
        HRESULT hr = session_->ErasePreference(key);
        session_->OnPreferenceChanged(key, hr);
        return hr;
    });
}

HRESULT CAccPreferences::GetProperty(long, VARIANT*)
{
    return DISP_E_MEMBERNOTFOUND;
}

} // namespace AIMCC
