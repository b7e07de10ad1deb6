#include "ImSession.h"

#include "Im.h"
#include "Session.h"
#include "User.h"

#include <shlwapi.h>

namespace AIMCC {

using Microsoft::WRL::ComPtr;

CAccImSession::CAccImSession(CAccSession* session, ComPtr<CAccUser> remote)
    : session_(session), remote_(std::move(remote))
{
}

HRESULT STDMETHODCALLTYPE CAccImSession::QueryInterface(REFIID riid, void** object)
{
    static const QITAB table[] = {AIMCC_QI_ENTRIES(CAccImSession, IAccImSession), {}};
    return QISearch(this, table, riid, object);
}

HRESULT STDMETHODCALLTYPE CAccImSession::SetTypingState(long state)
{
    if (!session_ || closed_)
        return E_UNEXPECTED;
    if (state < AccTyping::None || state > AccTyping::Typing)
        return E_INVALIDARG;
    return ComBoundary([&] { return session_->SendTyping(remote_->Name(), state); });
}

HRESULT STDMETHODCALLTYPE CAccImSession::CreateIm(BSTR text, BSTR mimeType, IAccIm** im)
{
    if (!im)
        return E_POINTER;
    *im = nullptr;
    return ComBoundary([&]() -> HRESULT {
        std::wstring_view type = BstrView(mimeType);
        if (!type.empty() && !IsKnownMimeType(type))
            return E_INVALIDARG;
        ComPtr<CAccIm> made =
            CAccIm::Make(std::wstring(BstrView(text)), type.empty() ? L"text/html" : std::wstring(type));
        return made->QueryInterface(IID_PPV_ARGS(im));
    });
}

HRESULT STDMETHODCALLTYPE CAccImSession::SendIm(IAccIm* im)
{
    if (!im)
        return E_POINTER;
    if (!session_ || closed_)
        return E_UNEXPECTED;
    return ComBoundary([&]() -> HRESULT {
        // A message object made elsewhere is copied into one of ours.
        std::wstring html;
        CVariant content = CVariant::Object(im);
        if (!ContentToHtml(content.Get(), html))
            return E_INVALIDARG;
        CVariant flags;
        long flagBits = 0;
        if (SUCCEEDED(im->get_Property(AccImProp::Flags, flags.Out())))
            VariantToLong(flags.Get(), flagBits);
        ComPtr<CAccIm> message = CAccIm::Make(html, L"text/html", flagBits);
        return session_->SendIm(this, message.Get());
    });
}

HRESULT STDMETHODCALLTYPE CAccImSession::UpgradeToDirect(VARIANT_BOOL)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CAccImSession::Invite(BSTR, BSTR, long* requestId)
{
    if (requestId)
        *requestId = 0;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CAccImSession::Accept()
{
    // A plain IM session is ready from the start: nothing to accept.
    return closed_ ? E_UNEXPECTED : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CAccImSession::Reject(long)
{
    return Close();
}

HRESULT STDMETHODCALLTYPE CAccImSession::Close()
{
    if (!session_ || closed_)
        return S_FALSE;
    return ComBoundary([&]() -> HRESULT {
        session_->CloseImSession(this);
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE CAccImSession::CancelSendingItems()
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CAccImSession::CancelReceivingItems()
{
    return E_NOTIMPL;
}

HRESULT CAccImSession::GetProperty(long id, VARIANT* value)
{
    switch (id) {
    case AccImSessionProp::Session:
        return session_ ? CVariant::Object(session_->Dispatch()).CopyTo(value) : S_OK;
    case AccImSessionProp::Type:
        return CVariant::Int(AccSecondaryType::Im).CopyTo(value);
    case AccImSessionProp::State: {
        long state = !closed_ && session_ && session_->Online() ? AccSecondaryState::Ready : AccSecondaryState::Closed;
        return CVariant::Int(state).CopyTo(value);
    }
    case AccImSessionProp::InviteText:
    case AccImSessionProp::RoomName:
        return CVariant::Text(L"").CopyTo(value);
    case AccImSessionProp::RemotePresence:
        return CVariant::Int(remote_->Presence()).CopyTo(value);
    case AccImSessionProp::RemoteName:
        return CVariant::Text(remote_->Name()).CopyTo(value);
    case AccImSessionProp::Members: {
        ComPtr<CAccUser> local = session_ ? session_->LocalUser() : nullptr;
        std::vector<IDispatch*> members;
        if (local)
            members.push_back(local.Get());
        members.push_back(remote_.Get());
        return CVariant::ObjectArray(members).CopyTo(value);
    }
    case AccImSessionProp::Mode:
    case AccImSessionProp::OfferedMode:
        return CVariant::Int(AccImMode::Im).CopyTo(value);
    case AccImSessionProp::ItemsPending:
    case AccImSessionProp::RealTime:
    case AccImSessionProp::RealTimeText:
        return CVariant::Bool(false).CopyTo(value);
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

} // namespace AIMCC
