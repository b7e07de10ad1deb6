// CAccPreferences: the session's preferences as the client reads and sets
// them. Nothing is kept here; every call goes through the session to the
// client's hook (or, without a hook, to the session's own store).
#pragma once

#include "ComBase.h"

namespace AIMCC {

class CAccSession;

class CAccPreferences final : public CAccObject<IAccPreferences> {
public:
    explicit CAccPreferences(CAccSession* session) : session_(session) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE GetValue(BSTR name, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE SetValue(BSTR name, VARIANT value) override;
    HRESULT STDMETHODCALLTYPE GetDefaultValue(BSTR name, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE Reset(BSTR name) override;

    void Detach() { session_ = nullptr; }

private:
    ~CAccPreferences() override = default;
    HRESULT GetProperty(long id, VARIANT* value) override;

    CAccSession* session_;
};

} // namespace AIMCC
