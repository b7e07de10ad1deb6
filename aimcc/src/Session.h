// CAccSession: one AIM account. The object the client creates with ordinal
// 111; owner of every other object of the account (preferences, buddy list,
// users, IM sessions) and the source of all events.
//
// How it works:
// - It owns a CEventWindow on the creating thread. Every event is posted
//   there as a task and delivered by Fire to each advised sink from the
//   message loop, so the client always hears of things on its own thread
//   and never re-entered from inside a call it made.
// - Signing on makes a fresh transport (TransportFactory) with settings read
//   afresh from the preferences; the transport reports progress and
//   everything the server says through ITransportEvents, which this class
//   implements. A transport that has ended is destroyed from a posted task,
//   never inside its own callback.
// - Child objects hold a plain pointer back to the session; the session
//   clears it (Detach) before it goes, so a child the client still holds
//   answers E_UNEXPECTED instead of touching freed memory.
#pragma once

#include "ComBase.h"
#include "ConnectionPoint.h"
#include "EventWindow.h"
#include "Transport.h"

#include <wrl/client.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace AIMCC {

class CAccBuddyList;
class CAccClientInfo;
class CAccGroup;
class CAccIm;
class CAccImSession;
class CAccImStorage;
class CAccPreferences;
class CAccSecurity;
class CAccUser;

class CAccSession final : public CAccObject<IAccSession>, public IConnectionPointContainer, private ITransportEvents {
public:
    // Makes a session on the calling thread; its transports come from `factory`.
    static HRESULT Create(TransportFactory factory, REFIID iid, void** object);

    // IUnknown (both bases share one count)
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return CAccObject<IAccSession>::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return CAccObject<IAccSession>::Release(); }

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

    // IAccSession
    HRESULT STDMETHODCALLTYPE get_Identity(BSTR* screenName) override;
    HRESULT STDMETHODCALLTYPE put_Identity(BSTR screenName) override;
    HRESULT STDMETHODCALLTYPE get_State(long* state) override;
    HRESULT STDMETHODCALLTYPE SignOn(BSTR password) override;
    HRESULT STDMETHODCALLTYPE SignOff() override;
    HRESULT STDMETHODCALLTYPE get_PrefsHook(IUnknown** hook) override;
    HRESULT STDMETHODCALLTYPE put_PrefsHook(IUnknown* hook) override;
    HRESULT STDMETHODCALLTYPE get_ClientInfo(IAccClientInfo** info) override;
    HRESULT STDMETHODCALLTYPE get_Prefs(IAccPreferences** prefs) override;
    HRESULT STDMETHODCALLTYPE get_Security(IAccSecurity** security) override;
    HRESULT STDMETHODCALLTYPE get_BuddyList(IAccBuddyList** list) override;
    HRESULT STDMETHODCALLTYPE GetUser(BSTR screenName, IAccUser** user) override;
    HRESULT STDMETHODCALLTYPE GetGroup(BSTR name, IAccGroup** group) override;
    HRESULT STDMETHODCALLTYPE CreateImSession(BSTR screenName, long mode, IAccImSession** session) override;
    HRESULT STDMETHODCALLTYPE CreateChatRoom(BSTR room, long exchange, long instance, IAccImSession** chat) override;
    HRESULT STDMETHODCALLTYPE CreateIm(BSTR text, BSTR mimeType, IAccIm** im) override;
    HRESULT STDMETHODCALLTYPE CreateFileStream(BSTR path, IAccStream** stream) override;
    HRESULT STDMETHODCALLTYPE SendFile(BSTR screenName, BSTR path, IAccFileXfer** transfer) override;
    HRESULT STDMETHODCALLTYPE RequestFileShare(BSTR screenName, long* requestId) override;
    HRESULT STDMETHODCALLTYPE OpenServerUrl(BSTR pathAndQuery, long* requestId) override;
    HRESULT STDMETHODCALLTYPE GetBartItem(long type, BSTR id, IAccBartItem** item) override;
    HRESULT STDMETHODCALLTYPE HasCapability(BSTR capability, VARIANT_BOOL* supported) override;
    HRESULT STDMETHODCALLTYPE GetPlugins(VARIANT* list) override;
    HRESULT STDMETHODCALLTYPE GetMenuItems(long location, VARIANT* items) override;
    HRESULT STDMETHODCALLTYPE InvokeMenuItem(long location, long id, VARIANT selection) override;
    HRESULT STDMETHODCALLTYPE MenuItemsDone(long location) override;
    HRESULT STDMETHODCALLTYPE InvokeIdentityAction(long action) override;

    // ---- for the session's own objects (same thread) ----

    IDispatch* Dispatch() { return static_cast<IAccSession*>(this); }
    const std::shared_ptr<CEventWindow>& Loop() const { return window_; }
    bool Online() const { return state_ == AccState::Online && transport_ != nullptr; }
    long NextRequestId() { return nextRequestId_++; }

    // Queues an event; arguments in the order the client reads them.
    void Raise(DISPID id, std::vector<CVariant> args);

    // A preference through the hook (or the session's own store when no
    // hook is installed), falling back to the default with
    // ACC_E_PREFERENCE_NOT_SET. Never cached.
    HRESULT ReadPreference(std::wstring_view name, CVariant& value);
    HRESULT WritePreference(std::wstring_view name, const VARIANT& value);
    HRESULT ErasePreference(std::wstring_view name);
    // The value as text / boolean / number, the default on any failure.
    std::wstring PreferenceText(std::wstring_view name);
    bool PreferenceBool(std::wstring_view name, bool fallback);
    long PreferenceLong(std::wstring_view name, long fallback);
    // After the client changed a preference through IAccPreferences.
    void OnPreferenceChanged(std::wstring_view name, HRESULT result);

    // The one user object for a screen name.
    Microsoft::WRL::ComPtr<CAccUser> User(std::wstring_view screenName);
    CAccBuddyList* BuddyList() { return buddyList_.Get(); }
    // The user standing for this account.
    Microsoft::WRL::ComPtr<CAccUser> LocalUser();

    // Operations of the children, sent to the transport.
    HRESULT SendIm(CAccImSession* imSession, CAccIm* im);
    HRESULT SendTyping(const std::wstring& screenName, long state);
    HRESULT RequestUserText(CAccUser* user, long property, long* requestId);
    void CloseImSession(CAccImSession* imSession);
    ITransport* Transport() { return Online() ? transport_.get() : nullptr; }

private:
    explicit CAccSession(TransportFactory factory);
    ~CAccSession() override;
    HRESULT Initialize();

    HRESULT GetProperty(long id, VARIANT* value) override;
    HRESULT PutProperty(long id, const VARIANT& value) override;

    void Fire(DISPID id, const std::vector<CVariant>& args);
    void SetState(long state, HRESULT result);
    // Back to state 0 with `result`; the transport is dropped.
    void StartIdleWatch();
    void StopIdleWatch();
    void CheckInputIdle();
    void EndSession(HRESULT result);
    void RetireTransport();
    void ResetPresence();
    void RaiseOwnPropertyChange(long id);
    HRESULT PutAwayMessage(const VARIANT& value);
    HRESULT PutProfile(const VARIANT& value);
    HRESULT GetAdditionalAccounts(VARIANT* value);
    HRESULT PutAdditionalAccounts(const VARIANT& value);
    // The password kept for this account as a protected preference; empty
    // when there is none or the hook cannot read protected values.
    std::wstring StoredPassword();
    Microsoft::WRL::ComPtr<CAccImSession> ImSessionWith(std::wstring_view screenName, bool create, bool* created);

    // ITransportEvents
    void OnState(long state, HRESULT result) override;
    void OnSelfInfo(const UserInfo& self) override;
    void OnBuddyList(const BuddyListContents& list) override;
    void OnGroupAdded(const std::wstring& name, long position, HRESULT result) override;
    void OnGroupRemoved(const std::wstring& name, HRESULT result) override;
    void OnGroupMoved(const std::wstring& name, long position, HRESULT result) override;
    void OnGroupRenamed(const std::wstring& oldName, const std::wstring& newName, HRESULT result) override;
    void OnBuddyAdded(const std::wstring& group, const BuddyEntry& buddy, long position, HRESULT result) override;
    void OnBuddyRemoved(const std::wstring& group, const std::wstring& screenName, HRESULT result) override;
    void OnBuddyMoved(const std::wstring& fromGroup, const std::wstring& screenName, const std::wstring& toGroup,
                      long position, HRESULT result) override;
    void OnUserArrived(const UserInfo& info) override;
    void OnUserDeparted(const std::wstring& screenName) override;
    void OnImReceived(const IncomingIm& im) override;
    void OnTyping(const std::wstring& from, long state) override;
    void OnSendResult(uint32_t token, HRESULT result) override;
    void OnUserText(uint32_t token, const std::wstring& screenName, UserText kind, const std::wstring& html,
                    HRESULT result) override;

    std::shared_ptr<CEventWindow> window_;
    CAccConnectionPoint events_;
    TransportFactory factory_;
    std::unique_ptr<ITransport> transport_;
    std::vector<std::unique_ptr<ITransport>> retiring_;

    long state_ = AccState::Offline;
    std::wstring identity_;
    Microsoft::WRL::ComPtr<IAccPreferencesHook> hook_;
    std::map<std::wstring, CVariant> ownPreferences_;   // only while no hook is installed

    Microsoft::WRL::ComPtr<CAccPreferences> prefs_;
    Microsoft::WRL::ComPtr<CAccClientInfo> clientInfo_;
    Microsoft::WRL::ComPtr<CAccSecurity> security_;
    Microsoft::WRL::ComPtr<CAccBuddyList> buddyList_;
    Microsoft::WRL::ComPtr<CAccImStorage> imStorage_;
    std::map<std::wstring, Microsoft::WRL::ComPtr<CAccUser>> users_;             // by normalised name
    std::map<std::wstring, Microsoft::WRL::ComPtr<CAccImSession>> imSessions_;   // by normalised name

    // Own state, applied at sign-on and sent when it changes while online.
    Microsoft::WRL::ComPtr<CAccIm> awayMessage_;
    bool invisible_ = false;
    long idleThreshold_ = 600;
    long idleTime_ = 0;
    // The layer's own measure of the user's idleness while online.
    UINT_PTR idleWatch_ = 0;
    bool inputIdle_ = false;
    std::wstring statusText_;
    std::wstring statusLink_;
    Microsoft::WRL::ComPtr<IDispatch> primarySession_;

    long nextRequestId_ = 1;
    uint32_t nextToken_ = 1;
    struct PendingSend {
        Microsoft::WRL::ComPtr<CAccImSession> imSession;
        Microsoft::WRL::ComPtr<CAccIm> im;
        Microsoft::WRL::ComPtr<CAccUser> recipient;
    };
    std::map<uint32_t, PendingSend> pendingSends_;
    struct PendingUserText {
        Microsoft::WRL::ComPtr<CAccUser> user;
        long property;
        long requestId;
    };
    std::map<uint32_t, PendingUserText> pendingUserTexts_;
};

} // namespace AIMCC
