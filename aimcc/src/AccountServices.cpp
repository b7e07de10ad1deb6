#include "AccountServices.h"

#include "Session.h"

#include <shlwapi.h>

namespace AIMCC {

// ---------------------------------------------------------------------------
// CAccClientInfo
// ---------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE CAccClientInfo::QueryInterface(REFIID riid, void** object)
{
    static const QITAB table[] = {AIMCC_QI_ENTRIES(CAccClientInfo, IAccClientInfo), {}};
    return QISearch(this, table, riid, object);
}

HRESULT CAccClientInfo::GetProperty(long id, VARIANT* value)
{
    if (id == AccClientInfoProp::Description)
        return CVariant::Text(description_).CopyTo(value);
    if (id >= AccClientInfoProp::VersionMajor && id <= AccClientInfoProp::VersionBuild)
        return CVariant::Int(version_[id - AccClientInfoProp::VersionMajor]).CopyTo(value);
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT CAccClientInfo::PutProperty(long id, const VARIANT& value)
{
    if (id == AccClientInfoProp::Description) {
        std::wstring text;
        if (!VariantToText(value, text))
            return DISP_E_TYPEMISMATCH;
        description_ = text;
        return S_OK;
    }
    if (id >= AccClientInfoProp::VersionMajor && id <= AccClientInfoProp::VersionBuild) {
        long number = 0;
        if (!VariantToLong(value, number))
            return DISP_E_TYPEMISMATCH;
        // Each part goes to the server as 16 bits.
        if (number < 0 || number > 0xFFFF)
            return E_INVALIDARG;
        version_[id - AccClientInfoProp::VersionMajor] = static_cast<unsigned short>(number);
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
}

// ---------------------------------------------------------------------------
// CAccSecurity
// ---------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE CAccSecurity::QueryInterface(REFIID riid, void** object)
{
    static const QITAB table[] = {AIMCC_QI_ENTRIES(CAccSecurity, IAccSecurity), {}};
    return QISearch(this, table, riid, object);
}

HRESULT STDMETHODCALLTYPE CAccSecurity::Initialize(long)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CAccSecurity::UseCertificate(long)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CAccSecurity::ImportCertificate(BSTR, BSTR)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CAccSecurity::RemoveCertificates()
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CAccSecurity::GetCertificateDescription(BSTR, BSTR* description)
{
    return CopyToBstr(L"", description);
}

HRESULT CAccSecurity::GetProperty(long, VARIANT*)
{
    return DISP_E_MEMBERNOTFOUND;
}

// ---------------------------------------------------------------------------
// CAccImStorage
// ---------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE CAccImStorage::QueryInterface(REFIID riid, void** object)
{
    static const QITAB table[] = {AIMCC_QI_ENTRIES(CAccImStorage, IAccImStorage), {}};
    return QISearch(this, table, riid, object);
}

HRESULT STDMETHODCALLTYPE CAccImStorage::RetrieveStored(VARIANT, long* requestId)
{
    if (!requestId)
        return E_POINTER;
    *requestId = 0;
    if (!session_)
        return E_UNEXPECTED;
    return ComBoundary([&]() -> HRESULT {
        long request = session_->NextRequestId();
        session_->Raise(AccEvent::RequestForget,
                        {CVariant::Object(session_->Dispatch()), CVariant::Int(request), CVariant::Int(S_OK)});
        *requestId = request;
        return S_OK;
    });
}

HRESULT CAccImStorage::GetProperty(long, VARIANT*)
{
    return DISP_E_MEMBERNOTFOUND;
}

} // namespace AIMCC
