#include "BartItem.h"

#include "Session.h"

#include <shlwapi.h>

namespace AIMCC {

using Microsoft::WRL::ComPtr;

CAccBartItem::CAccBartItem(CAccSession* session, long type, std::wstring id, std::wstring content)
    : session_(session), type_(type), id_(std::move(id)), content_(std::move(content))
{
}

ComPtr<CAccBartItem> CAccBartItem::Make(CAccSession* session, long type, std::wstring id, std::wstring content)
{
    ComPtr<CAccBartItem> item;
    *item.ReleaseAndGetAddressOf() = new CAccBartItem(session, type, std::move(id), std::move(content));
    return item;
}

HRESULT STDMETHODCALLTYPE CAccBartItem::QueryInterface(REFIID riid, void** object)
{
    static const QITAB table[] = {AIMCC_QI_ENTRIES(CAccBartItem, IAccBartItem), {}};
    return QISearch(this, table, riid, object);
}

bool CAccBartItem::HasInlineContent() const
{
    return type_ == AccBartType::StatusText || type_ == AccBartType::StatusLink;
}

HRESULT STDMETHODCALLTYPE CAccBartItem::Load()
{
    return HasInlineContent() ? S_OK : E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CAccBartItem::get_ChildCount(long* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CAccBartItem::GetChild(long, IAccBartItem** child)
{
    if (!child)
        return E_POINTER;
    *child = nullptr;
    return E_INVALIDARG;
}

HRESULT CAccBartItem::GetProperty(long id, VARIANT* value)
{
    switch (id) {
    case AccBartProp::Type:
        return CVariant::Int(type_).CopyTo(value);
    case AccBartProp::Shown:
        return CVariant::Bool(!id_.empty()).CopyTo(value);
    case AccBartProp::Id:
        return CVariant::Text(id_).CopyTo(value);
    case AccBartProp::Data:
        return HasInlineContent() ? S_OK : ACC_E_PENDING;
    case AccBartProp::Content:
        return HasInlineContent() ? CVariant::Text(content_).CopyTo(value) : ACC_E_PENDING;
    case AccBartProp::Stream:
        return HasInlineContent() ? S_OK : ACC_E_PENDING;
    case AccBartProp::Path:
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT CAccBartItem::StartRequest(long id, long* requestId)
{
    if (!session_)
        return E_UNEXPECTED;
    if (id != AccBartProp::Data && id != AccBartProp::Content && id != AccBartProp::Stream)
        return E_INVALIDARG;
    // Inline values are there already; downloads are a later stage. Either
    // way the answer is an event, as the client expects.
    long request = session_->NextRequestId();
    HRESULT result = HasInlineContent() ? S_OK : E_NOTIMPL;
    CVariant owner = CVariant::Object(session_->Dispatch());
    session_->Raise(AccEvent::BartItemRequestDone,
                    {CVariant::Object(session_->Dispatch()), CVariant::Object(this), CVariant::Int(id),
                     CVariant::Int(request), CVariant::Int(result), owner});
    *requestId = request;
    return S_OK;
}

} // namespace AIMCC
