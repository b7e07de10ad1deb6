// CAccImSession: a conversation with one other user. This build has plain
// server-relayed IM (mode 0); direct IM and chat rooms are a later stage and
// their operations answer E_NOTIMPL.
#pragma once

#include "ComBase.h"

#include <wrl/client.h>

#include <string>

namespace AIMCC {

class CAccSession;
class CAccUser;

class CAccImSession final : public CAccObject<IAccImSession> {
public:
    CAccImSession(CAccSession* session, Microsoft::WRL::ComPtr<CAccUser> remote);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE SetTypingState(long state) override;
    HRESULT STDMETHODCALLTYPE CreateIm(BSTR text, BSTR mimeType, IAccIm** im) override;
    HRESULT STDMETHODCALLTYPE SendIm(IAccIm* im) override;
    HRESULT STDMETHODCALLTYPE UpgradeToDirect(VARIANT_BOOL realTime) override;
    HRESULT STDMETHODCALLTYPE Invite(BSTR screenName, BSTR message, long* requestId) override;
    HRESULT STDMETHODCALLTYPE Accept() override;
    HRESULT STDMETHODCALLTYPE Reject(long reason) override;
    HRESULT STDMETHODCALLTYPE Close() override;
    HRESULT STDMETHODCALLTYPE CancelSendingItems() override;
    HRESULT STDMETHODCALLTYPE CancelReceivingItems() override;

    CAccUser* Remote() const { return remote_.Get(); }
    bool Closed() const { return closed_; }
    void MarkClosed() { closed_ = true; }
    void Detach() { session_ = nullptr; }

private:
    ~CAccImSession() override = default;
    HRESULT GetProperty(long id, VARIANT* value) override;

    CAccSession* session_;
    Microsoft::WRL::ComPtr<CAccUser> remote_;
    bool closed_ = false;
};

} // namespace AIMCC
