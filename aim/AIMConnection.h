// CAIMConnection: one AIM account of the running client. It owns the
// account's session object of the AIM layer (acccore.dll, loaded once from
// the program's folder), installs the preferences hook before the first
// sign-on, and is the session's event sink. Its handlers do little
// themselves: they find the window or manager an event concerns and hand it
// on (the buddy-list pane through the main window, the rest through
// ConnectionSeams.h).
//
// The connections live in one process-wide list; index 0 is the primary
// account, and only it drives the main window's panes, the notice bar and
// the notification icon.
#pragma once

#include "AccEventSink.h"
#include "RequestMap.h"

#include <wrl/client.h>

#include <string>
#include <vector>

class CUserPrefs;
class IBuddyListEvents;

class CAIMConnection : public AIMCC::CAccEventSink {
public:
    // Null when out of memory.
    static Microsoft::WRL::ComPtr<CAIMConnection> Create();

    // Makes the session, connects to its events, installs the preferences
    // hook and describes the client; nothing when the session exists. False
    // after the error box.
    bool CreateSession();
    // Sets the identity (only possible while signed off).
    bool SetIdentity(const std::wstring& screenName);
    // Starts signing on; the progress arrives as events. An additional
    // account passes no password: the layer uses the one stored for it.
    // False after the error box when it cannot even start.
    bool SignOnAccount(const std::wstring& screenName, const std::wstring& password, bool additional = false);
    void SignOffAccount();
    // Disconnects from the events and drops the session and the hook.
    void ReleaseSession();

    // Sending to a buddy from this account. Without a path the user picks
    // the file or folder first; cancelling sends nothing.
    void SendFilesTo(HWND owner, const std::wstring& buddy, const std::wstring& path);
    void SendFolderTo(HWND owner, const std::wstring& buddy, const std::wstring& path);

    std::wstring Identity() const;
    long State() const;
    AIMCC::IAccSession* Session() const { return session_.Get(); }

    // Set once the account's buddy list has arrived; cleared when it signs
    // off or starts over.
    bool IsBuddyListReady() const { return buddyListReady_; }
    void SetBuddyListReady(bool ready) { buddyListReady_ = ready; }

    // Requests started by a window, answered by events carrying the id.
    CRequestMap& Requests() { return requests_; }
    // Session objects the layer offered that nobody has taken up yet.
    size_t PendingSessionCount() const { return pending_.size(); }

protected:
    void OnStateChange(AIMCC::IAccSession*, long state, HRESULT result) override;
    void OnSessionPropertyChange(AIMCC::IAccSession*, long property) override;
    void OnSessionStatusChange(AIMCC::IAccSession*, long property) override;
    void OnWarnResult(AIMCC::IAccSession*, AIMCC::IAccUser*, long kind, long requestId, HRESULT,
                      const VARIANT&) override;
    void OnServerUrlReady(long requestId, HRESULT result, const std::wstring& url, AIMCC::IAccSession*,
                          const std::wstring& asked, const VARIANT&) override;
    void OnRequestFailed(AIMCC::IAccObject* object, long requestId, long flag) override;
    void OnNewMail(AIMCC::IAccSession*, AIMCC::IAccMail* mail) override;
    void OnBartItemRequestDone(AIMCC::IAccSession*, AIMCC::IAccBartItem* item, long property, long requestId,
                               HRESULT result, AIMCC::IAccObject* owner) override;
    void OnUserRequestDone(AIMCC::IAccSession*, AIMCC::IAccUser* user, long property, long requestId,
                           HRESULT result, const VARIANT& value) override;
    void OnBuddyListChange(AIMCC::IAccSession*, AIMCC::IAccBuddyList*, long reason, HRESULT result) override;
    void OnGroupRemoved(AIMCC::IAccSession*, AIMCC::IAccGroup* group, HRESULT result) override;
    void OnGroupAdded(AIMCC::IAccSession*, AIMCC::IAccBuddyList*, AIMCC::IAccGroup*, long, HRESULT result) override;
    void OnBuddyAdded(AIMCC::IAccSession*, AIMCC::IAccGroup* group, AIMCC::IAccUser* buddy, long,
                      HRESULT result) override;
    void OnBuddyRemoved(AIMCC::IAccSession*, AIMCC::IAccGroup* group, AIMCC::IAccUser* buddy,
                        HRESULT result) override;
    void OnBuddyMoved(AIMCC::IAccSession*, AIMCC::IAccGroup* from, long, AIMCC::IAccGroup* to, long,
                      AIMCC::IAccUser* buddy, HRESULT result) override;
    void OnBuddyListReady(AIMCC::IAccSession*, AIMCC::IAccBuddyList*, long value) override;
    void OnGroupChange(AIMCC::IAccSession*, AIMCC::IAccGroup* group, long code) override;
    void OnBuddyChange(AIMCC::IAccSession*, AIMCC::IAccUser* before, AIMCC::IAccUser* now, long property,
                       HRESULT result) override;
    void OnPreferenceChange(AIMCC::IAccSession*, const std::wstring& name, HRESULT result) override;
    void OnSecondarySessionOffered(AIMCC::IAccSession*, AIMCC::IAccObject* object, long type) override;
    void OnSecondarySessionState(AIMCC::IAccSession*, AIMCC::IAccObject* object, long state, HRESULT) override;
    void OnImSessionEvent(AIMCC::IAccSession*, AIMCC::IAccImSession* imSession, long code) override;
    void OnChatMemberJoined(AIMCC::IAccSession*, AIMCC::IAccImSession* chat, AIMCC::IAccUser* user) override;
    void OnChatMemberLeft(AIMCC::IAccSession*, AIMCC::IAccImSession* chat, AIMCC::IAccUser* user, long reason,
                          const std::wstring&, HRESULT result) override;
    void OnChatEvent(AIMCC::IAccSession*, AIMCC::IAccImSession* chat, long code, const VARIANT&,
                     HRESULT result) override;
    void OnInviteResult(AIMCC::IAccSession*, AIMCC::IAccImSession*, long requestId, const std::wstring&,
                        HRESULT result) override;
    void OnImSessionRequestDone(AIMCC::IAccSession*, AIMCC::IAccImSession*, long requestId, const VARIANT&,
                                HRESULT result) override;
    void OnMessageSent(AIMCC::IAccSession*, AIMCC::IAccImSession* imSession, AIMCC::IAccUser* user,
                       AIMCC::IAccIm* message) override;
    void OnSendResult(AIMCC::IAccSession*, AIMCC::IAccImSession* imSession, AIMCC::IAccUser* user,
                      AIMCC::IAccIm* message, HRESULT result) override;
    void OnMessageReceived(AIMCC::IAccSession*, AIMCC::IAccImSession* imSession, AIMCC::IAccUser* sender,
                           AIMCC::IAccIm* message) override;
    void OnTypingChange(AIMCC::IAccSession*, AIMCC::IAccImSession* imSession, AIMCC::IAccUser* user,
                        long state) override;
    void OnDirectItemData(AIMCC::IAccSession*, AIMCC::IAccImSession* imSession, AIMCC::IAccIm* message,
                          const std::wstring&, AIMCC::IAccStream*) override;
    void OnDirectItemProgress(AIMCC::IAccSession*, AIMCC::IAccImSession* imSession, AIMCC::IAccIm* message,
                              const std::wstring&, AIMCC::IAccStream*) override;
    void OnNotification(AIMCC::IAccSession*, AIMCC::IAccImSession* imSession, AIMCC::IAccIm* message) override;
    void OnImSessionNotice(AIMCC::IAccSession*, AIMCC::IAccImSession* imSession, long notice) override;
    void OnReceivedItemsDone(AIMCC::IAccSession*, AIMCC::IAccImSession* imSession, AIMCC::IAccIm* message) override;
    void OnSentItemsDone(AIMCC::IAccSession*, AIMCC::IAccImSession* imSession, AIMCC::IAccIm* message) override;
    void OnFileXferAdded(AIMCC::IAccSession*, AIMCC::IAccFileXfer* transfer, bool incoming) override;
    void OnFileXferProgress(AIMCC::IAccSession*, AIMCC::IAccFileXfer* transfer, AIMCC::IAccFile* file) override;
    void OnFileXferState(AIMCC::IAccSession*, AIMCC::IAccFileXfer* transfer, HRESULT result) override;
    void OnFileXferCollision(AIMCC::IAccSession*, AIMCC::IAccFileXfer* transfer, AIMCC::IAccFile* file,
                             long answer) override;
    void OnFileXferDone(AIMCC::IAccSession*, AIMCC::IAccFileXfer* transfer, HRESULT result) override;
    void OnFileShareAnswer(AIMCC::IAccSession*, AIMCC::IAccFileShare* share, long requestId,
                           AIMCC::IAccFileShareEntry*, HRESULT result) override;
    void OnFileShareRequest(AIMCC::IAccSession*, AIMCC::IAccFileShare* share, long requestId,
                            AIMCC::IAccFileShareEntry* entry, HRESULT result) override;
    void OnRequestForget(AIMCC::IAccSession*, long requestId, HRESULT) override;

private:
    CAIMConnection() = default;
    ~CAIMConnection() override;

    bool IsPrimary() const;
    bool DescribeClient();
    void AfterSignOnStarted();
    void ShowStateConsequences(long state, HRESULT result);
    void ApplySignOnOption(long state);
    void SignOnAdditionalAccounts();
    void RequestStoredMessages();
    void OnOwnPresenceChanged();
    bool IsAway() const;
    bool PropertyIsTrue(long property) const;
    HWND ImWindow(AIMCC::IAccImSession* imSession, bool create);

    bool buddyListReady_ = false;
    CRequestMap requests_;
    Microsoft::WRL::ComPtr<AIMCC::IAccSession> session_;
    Microsoft::WRL::ComPtr<CUserPrefs> prefs_;
    std::vector<Microsoft::WRL::ComPtr<AIMCC::IAccObject>> pending_;
    // Own wallpaper kind, when the layer reports it as a number.
    long ownWallpaper_ = 0;
};

// The accounts of the running client, the primary first.
std::vector<Microsoft::WRL::ComPtr<CAIMConnection>>& Connections();
// The connection that owns `session`; null when none does.
CAIMConnection* ConnectionOf(AIMCC::IAccSession* session);

// The language string that reports a session state and its result (0 when
// there is none), and whether it reports an error.
UINT SessionStateString(long state, HRESULT result, bool& error);
// The text an error string becomes: the screen name filled in where the
// string takes one, and the result code (in its field, or at the end).
std::wstring SessionErrorText(UINT stringId, HRESULT result, const std::wstring& screenName);
// The notification icon for the primary account: 139 messages forwarded to
// a mobile device, 138 away, 137 invisible, 136 available.
int PresenceIconId(bool forwarding, bool away, bool invisible);
// Only web addresses that the server hands back are opened.
bool IsOpenableServerAddress(const std::wstring& url);
// The additional accounts to sign on from the primary's list: each
// non-empty name once, none that is already signed on (compared ignoring
// case and spaces).
std::vector<std::wstring> AdditionalAccountsToSignOn(const std::vector<std::wstring>& listed,
                                                     const std::vector<std::wstring>& signedOn);
