// AIMCC::CAccEventSink: an IDispatch that the AIM layer's event sources call.
// Connect and Disconnect advise and unadvise it on a source's connection
// point for the events interface; Invoke turns each event into a call of one
// virtual handler with typed arguments. Handlers do nothing here: a derived
// class overrides those it cares about.
//
// Delivery rules: an event with fewer arguments than its handler takes is
// dropped, as is an unknown dispatch id. An argument that does not convert
// to the handler's type arrives as null, 0 or an empty text. Invoke always
// answers S_OK and lets no C++ exception travel back into the layer.
#pragma once

#include "AccCore.h"
#include "AccObject.h"

#include <wrl/client.h>

#include <string>
#include <vector>

namespace AIMCC {

class CAccEventArgs;

class CAccEventSink : public CAccObject<IDispatch> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) override;

    // E_UNEXPECTED when `source` is connected already.
    HRESULT Connect(IUnknown* source);
    // 1 (and nothing done) when `source` is not connected.
    HRESULT Disconnect(IUnknown* source);
    bool IsConnected(IUnknown* source) const;

    // How many arguments the handler of an event takes; -1 for an id that
    // has none.
    static int ArgumentCount(DISPID id);

protected:
    CAccEventSink() = default;
    ~CAccEventSink() override;

    // Session (100-121).
    virtual void OnStateChange(IAccSession*, long /*state*/, HRESULT) {}
    virtual void OnSessionPropertyChange(IAccSession*, long /*property*/) {}
    virtual void OnSessionStatusChange(IAccSession*, long /*property*/) {}
    virtual void OnEvent103(IAccSession*, const VARIANT&, const VARIANT&, HRESULT) {}
    virtual void OnWarnResult(IAccSession*, IAccUser*, long /*kind*/, long /*requestId*/, HRESULT, const VARIANT&) {}
    virtual void OnEvent105(IAccSession*, const VARIANT&, const VARIANT&, const VARIANT&, HRESULT) {}
    virtual void OnEvent106(IAccSession*, const VARIANT&, const VARIANT&, HRESULT) {}
    virtual void OnEvent107(IAccSession*, const VARIANT&, HRESULT) {}
    virtual void OnServerUrlReady(long /*requestId*/, HRESULT, const std::wstring& /*url*/, IAccSession*,
                                  const std::wstring& /*asked*/, const VARIANT&) {}
    virtual void OnRequestFailed(IAccObject*, long /*requestId*/, long /*flag*/) {}
    virtual void OnNewMail(IAccSession*, IAccMail*) {}
    virtual void OnBartItemRequestDone(IAccSession*, IAccBartItem*, long /*property*/, long /*requestId*/, HRESULT,
                                       IAccObject* /*owner*/) {}
    virtual void OnUserRequestDone(IAccSession*, IAccUser*, long /*property*/, long /*requestId*/, HRESULT,
                                   const VARIANT&) {}
    // Buddy list (201-211).
    virtual void OnBuddyListChange(IAccSession*, IAccBuddyList*, long /*reason*/, HRESULT) {}
    virtual void OnGroupRemoved(IAccSession*, IAccGroup*, HRESULT) {}
    virtual void OnGroupAdded(IAccSession*, IAccBuddyList*, IAccGroup*, long /*position*/, HRESULT) {}
    virtual void OnBuddyAdded(IAccSession*, IAccGroup*, IAccUser*, long /*position*/, HRESULT) {}
    virtual void OnBuddyRemoved(IAccSession*, IAccGroup*, IAccUser*, HRESULT) {}
    virtual void OnBuddyMoved(IAccSession*, IAccGroup* /*from*/, long, IAccGroup* /*to*/, long, IAccUser*, HRESULT) {}
    virtual void OnBuddyListReady(IAccSession*, IAccBuddyList*, long /*value*/) {}
    virtual void OnGroupChange(IAccSession*, IAccGroup*, long /*code*/) {}
    virtual void OnBuddyChange(IAccSession*, IAccUser* /*before*/, IAccUser* /*now*/, long /*property*/, HRESULT) {}
    virtual void OnEvent210(IAccSession*) {}
    virtual void OnEvent211(IAccSession*) {}
    // Preferences and reserved (300-400).
    virtual void OnPreferenceChange(IAccSession*, const std::wstring& /*name*/, HRESULT) {}
    virtual void OnEvent301(IAccSession*, const VARIANT&, const VARIANT&, const VARIANT&, HRESULT) {}
    virtual void OnEvent302(IAccSession*, const VARIANT&, HRESULT) {}
    virtual void OnEvent400(IAccSession*, const VARIANT&, HRESULT) {}
    // Secondary sessions (500-507).
    virtual void OnSecondarySessionOffered(IAccSession*, IAccObject*, long /*type*/) {}
    virtual void OnSecondarySessionState(IAccSession*, IAccObject*, long /*state*/, HRESULT) {}
    virtual void OnImSessionEvent(IAccSession*, IAccImSession*, long /*code*/) {}
    virtual void OnChatMemberJoined(IAccSession*, IAccImSession*, IAccUser*) {}
    virtual void OnChatMemberLeft(IAccSession*, IAccImSession*, IAccUser*, long /*reason*/,
                                  const std::wstring& /*message*/, HRESULT) {}
    virtual void OnChatEvent(IAccSession*, IAccImSession*, long /*code*/, const VARIANT&, HRESULT) {}
    virtual void OnInviteResult(IAccSession*, IAccImSession*, long /*requestId*/, const std::wstring&, HRESULT) {}
    virtual void OnImSessionRequestDone(IAccSession*, IAccImSession*, long /*requestId*/, const VARIANT&, HRESULT) {}
    // IM (600-613).
    virtual void OnEvent600(IAccSession*, IAccImSession*, const VARIANT&, HRESULT) {}
    virtual void OnMessageSent(IAccSession*, IAccImSession*, IAccUser*, IAccIm*) {}
    virtual void OnSendResult(IAccSession*, IAccImSession*, IAccUser*, IAccIm*, HRESULT) {}
    virtual void OnEvent603(IAccSession*, IAccImSession*, const VARIANT&, HRESULT) {}
    virtual void OnMessageReceived(IAccSession*, IAccImSession*, IAccUser*, IAccIm*) {}
    virtual void OnTypingChange(IAccSession*, IAccImSession*, IAccUser*, long /*state*/) {}
    virtual void OnDirectItemData(IAccSession*, IAccImSession*, IAccIm*, const std::wstring&, IAccStream*) {}
    virtual void OnDirectItemProgress(IAccSession*, IAccImSession*, IAccIm*, const std::wstring&, IAccStream*) {}
    virtual void OnNotification(IAccSession*, IAccImSession*, IAccIm*) {}
    virtual void OnImSessionNotice(IAccSession*, IAccImSession*, long /*notice*/) {}
    virtual void OnReceivedItemsDone(IAccSession*, IAccImSession*, IAccIm*) {}
    virtual void OnSentItemsDone(IAccSession*, IAccImSession*, IAccIm*) {}
    // File transfer and sharing (700-801).
    virtual void OnFileXferAdded(IAccSession*, IAccFileXfer*, bool /*incoming*/) {}
    virtual void OnFileXferProgress(IAccSession*, IAccFileXfer*, IAccFile*) {}
    virtual void OnFileXferState(IAccSession*, IAccFileXfer*, HRESULT) {}
    virtual void OnFileXferCollision(IAccSession*, IAccFileXfer*, IAccFile*, long /*answer*/) {}
    virtual void OnFileXferDone(IAccSession*, IAccFileXfer*, HRESULT) {}
    virtual void OnFileShareAnswer(IAccSession*, IAccFileShare*, long /*requestId*/, IAccFileShareEntry*, HRESULT) {}
    virtual void OnFileShareRequest(IAccSession*, IAccFileShare*, long /*requestId*/, IAccFileShareEntry*, HRESULT) {}
    // Reserved (900-1102).
    virtual void OnEvent900(IAccSession*, const VARIANT&, const VARIANT&, const VARIANT&, const VARIANT&, HRESULT) {}
    virtual void OnEvent901(IAccSession*, const VARIANT&, const VARIANT&, HRESULT) {}
    virtual void OnEvent902(IAccSession*, const VARIANT&, const VARIANT&, HRESULT) {}
    virtual void OnEvent903(IAccSession*, const VARIANT&, const VARIANT&, HRESULT) {}
    virtual void OnEvent1002(IAccSession*, const VARIANT&, const VARIANT&, const VARIANT&, HRESULT) {}
    virtual void OnEvent1004(IAccSession*, const VARIANT&, const VARIANT&, HRESULT) {}
    virtual void OnEvent1100(IAccSession*, const VARIANT&, const VARIANT&, HRESULT) {}
    virtual void OnRequestForget(IAccSession*, long /*requestId*/, HRESULT) {}
    virtual void OnEvent1102(IAccSession*, const VARIANT&, HRESULT) {}

private:
    void Dispatch(DISPID id, CAccEventArgs& args);

    struct Connection {
        Microsoft::WRL::ComPtr<IUnknown> source;
        Microsoft::WRL::ComPtr<IConnectionPoint> point;
        DWORD cookie = 0;
    };
    std::vector<Connection> connections_;
};

} // namespace AIMCC
