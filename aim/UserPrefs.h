// CUserPrefs: the preferences hook the client installs on every AIM session
// before it signs on. The layer then keeps none of its "aimcc." preferences
// itself; they all live in the settings file with CPreferenceStore's layout,
// so the settings window, which writes some of them directly, and the layer
// see one set of values.
#pragma once

#include "AccCore.h"
#include "AccObject.h"

#include <wrl/client.h>

class CUserPrefs : public AIMCC::CAccObject<AIMCC::IAccPreferencesHook2> {
public:
    // Null when out of memory.
    static Microsoft::WRL::ComPtr<CUserPrefs> Create();

    // Also answers the first hook interface, which the second extends.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;

    HRESULT STDMETHODCALLTYPE ReadPreference(BSTR name, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE ReadPreferenceDefault(BSTR name, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE WritePreference(BSTR name, VARIANT value) override;
    HRESULT STDMETHODCALLTYPE ErasePreference(BSTR name) override;
    HRESULT STDMETHODCALLTYPE ListPreferenceChildren(BSTR name, VARIANT* children) override;
    HRESULT STDMETHODCALLTYPE ReadProtectedPreference(BSTR name, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE WriteProtectedPreference(BSTR name, VARIANT value) override;
    HRESULT STDMETHODCALLTYPE EraseProtectedPreference(BSTR name) override;

private:
    CUserPrefs() = default;
    ~CUserPrefs() override = default;
};
