// The small objects of an account: the client information sent at sign-on,
// the security object (certificates; without that service its first two
// operations succeed and do nothing), and the stored-IM object.
#pragma once

#include "ComBase.h"

#include <string>

namespace AIMCC {

class CAccSession;

class CAccClientInfo final : public CAccObject<IAccClientInfo> {
public:
    CAccClientInfo() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;

    const std::wstring& Description() const { return description_; }
    unsigned short Version(int part) const { return version_[part]; }

private:
    ~CAccClientInfo() override = default;
    HRESULT GetProperty(long id, VARIANT* value) override;
    HRESULT PutProperty(long id, const VARIANT& value) override;

    std::wstring description_ = L"Velmora";
    unsigned short version_[4] = {};
};

class CAccSecurity final : public CAccObject<IAccSecurity> {
public:
    CAccSecurity() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE Initialize(long flags) override;
    HRESULT STDMETHODCALLTYPE UseCertificate(long flags) override;
    HRESULT STDMETHODCALLTYPE ImportCertificate(BSTR path, BSTR password) override;
    HRESULT STDMETHODCALLTYPE RemoveCertificates() override;
    HRESULT STDMETHODCALLTYPE GetCertificateDescription(BSTR preferenceName, BSTR* description) override;

private:
    ~CAccSecurity() override = default;
    HRESULT GetProperty(long id, VARIANT* value) override;
};

// The server's storage of messages sent while the account was offline.
// Retrieving is answered by event 1101; this build asks the server for
// nothing, so the answer comes at once.
class CAccImStorage final : public CAccObject<IAccImStorage> {
public:
    explicit CAccImStorage(CAccSession* session) : session_(session) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE RetrieveStored(VARIANT options, long* requestId) override;
    void Detach() { session_ = nullptr; }

private:
    ~CAccImStorage() override = default;
    HRESULT GetProperty(long id, VARIANT* value) override;

    CAccSession* session_;
};

} // namespace AIMCC
