// CChatWnd: one conversation (an IM, a direct IM or a chat room) in a window
// of its own: the conversation view above the message editor, a menu bar,
// and for chat rooms the member list. The connection objects find the
// window for each event of its session and hand the event over; the window
// sends what the user typed, shows both sides through the view's templates
// and writes each shown message to the log.
#pragma once

#include "AccCore.h"
#include "ConversationOpening.h"
#include "DragDropTarget.h"
#include "IEChatWnd.h"
#include "IEInputWnd.h"
#include "LogWriter.h"
#include "MessageTemplate.h"
#include "ScopedHandle.h"
#include "SubclsWnd.h"

#include <windows.h>
#include <wrl/client.h>

#include <deque>
#include <string>
#include <vector>

class CAIMConnection;

class CChatWnd : public CSubclsWnd, public CDragDropTarget {
public:
    static constexpr int kViewId = 1001;
    static constexpr int kEditorId = 1002;
    static constexpr int kAccountLabel = 1;
    static constexpr int kAccountBox = 2;
    static constexpr int kNameLabel = 3;
    static constexpr int kNameBox = 4;
    static constexpr int kMemberList = 5;
    static constexpr UINT_PTR kTypingTimer = 100;
    static constexpr UINT kTypingPauseMs = 3000;
    static constexpr int kDefaultEditorHeight = 80;

    enum Kind : int { kIm = 0, kDirectIm = 1, kChatRoom = 2 };

    // A window for `connection`, remembering the session (none for a new,
    // empty IM window); its window is made by Open.
    CChatWnd(CAIMConnection* connection, AIMCC::IAccImSession* session, const std::wstring& screenName = {});
    ~CChatWnd() override;

    // Creates the window on first use, optionally replaces the editor's text
    // by `initialText`, and shows it.
    bool Open(bool activate, bool show, const std::wstring& initialText = {});

    // The window of `connection` holding `session`, or the one-to-one window
    // with `screenName` (compared without case and spaces).
    static CChatWnd* Find(CAIMConnection* connection, AIMCC::IAccImSession* session, const std::wstring& screenName);
    // Every open conversation window of the process.
    static std::vector<CChatWnd*> All();

    // The session the window's events now come from (a window opened before
    // its conversation had one, or whose session was closed).
    void AdoptSession(AIMCC::IAccImSession* session);

    void SendCurrentMessage(bool isRealTime);
    void SetStatus(const std::wstring& text);
    void SetStatusCode(int code);
    void ShowNotification(const std::wstring& text);

    // An event of the window's session, as the connection object received it.
    void OnImEvent(DISPID event, AIMCC::IAccUser* user, AIMCC::IAccIm* message, long value, HRESULT result);
    void OnBuddyStateChanged(AIMCC::IAccUser* buddy, long property);

    CAIMConnection* Connection() const { return connection_.Get(); }
    AIMCC::IAccImSession* Session() const { return session_.Get(); }
    const std::wstring& RemoteName() const { return remoteName_; }
    int ConversationKind() const { return kind_; }
    int UnreadCount() const { return unread_; }
    bool PendingSend() const { return pendingSend_; }
    CIEChatWnd& View() { return view_; }
    CIEInputWnd& Editor() { return editor_; }
    HWND MemberList() const { return memberList_; }

    // Drops on the window, the view or the editor: files for the conversation.
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

protected:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool CreateFrame(bool newImMode);
    HMENU BuildMenuBar();
    void CreateNewImControls();
    void DestroyNewImControls();
    bool EnsureView();
    void CreateEditorControl();
    void Layout();
    void UpdateTitle();
    int EditorHeight() const;

    void AttachSession(AIMCC::IAccImSession* session);
    bool EnsureSession();
    std::wstring BuddyName() const;
    ChatParty LocalParty() const;
    ChatParty RemoteParty(AIMCC::IAccUser* user) const;

    void HandleImEvent(DISPID event, AIMCC::IAccUser* user, AIMCC::IAccIm* message, long value, HRESULT result);
    void OnSessionState(long state, HRESULT result);
    void OnMessageSent(AIMCC::IAccIm* message);
    void OnSendResult(AIMCC::IAccIm* message, HRESULT result);
    void OnMessageReceived(AIMCC::IAccUser* sender, AIMCC::IAccIm* message, bool notification);
    void OnTypingChanged(long state);
    void OnSessionNotice(long notice);
    void OnMemberJoined(AIMCC::IAccUser* user);
    void OnMemberLeft(AIMCC::IAccUser* user);
    void OnMemberDoubleClick();
    bool ShowMessage(MessageKind kind, AIMCC::IAccIm* message, AIMCC::IAccUser* sender);
    void ShowStopButtonForItems(AIMCC::IAccIm* message);
    void ShowStatusIcon(int iconId);
    bool OnMeasureItem(MEASUREITEMSTRUCT* item);
    bool OnDrawItem(const DRAWITEMSTRUCT* item);
    RECT SplitterRect() const;
    bool OnSplitterButton(POINT point);
    void OnSplitterMove(POINT point);
    void EndSplitterDrag();
    void LogMessage(AIMCC::IAccIm* message, AIMCC::IAccUser* sender, UINT logFlags);
    void Notify(const std::wstring& text);

    void OnSelectionChanged();
    bool OnEditorKey(const EditorKey& key);
    void OnTypingTimer();
    void OnCommand(UINT id);
    void ToggleBar(UINT item, const wchar_t* key, int control);
    void ToggleTimeStamps();
    void ChooseStyle(UINT item);
    void OnClose();
    void OnDestroy();
    void FlashIfNotForeground();
    bool IsForeground() const;
    bool MsgSetting(const wchar_t* key, bool def) const;
    int MsgSettingInt(const wchar_t* key, int def) const;

    Microsoft::WRL::ComPtr<CAIMConnection> connection_;
    Microsoft::WRL::ComPtr<AIMCC::IAccImSession> session_;
    Microsoft::WRL::ComPtr<AIMCC::IAccUser> buddy_;
    std::wstring ownName_;
    std::wstring remoteName_;
    std::wstring roomName_;
    int kind_ = kIm;
    bool newImMode_ = false;
    bool firstMessage_ = true;
    bool pendingSend_ = false;
    bool receivedAny_ = false;
    int typedLength_ = 0;
    int unread_ = 0;
    long buddyPresence_ = -1;
    std::wstring statusText_;
    CMessageSequence sequence_;
    CIEChatWnd view_;
    CIEInputWnd editor_;
    bool viewShown_ = false;
    HMENU menuBar_ = nullptr;
    int statusIcon_ = 0;
    ScopedIcon statusIconImage_;
    ScopedIcon bigIcon_;
    ScopedIcon smallIcon_;
    bool dragging_ = false;
    int editorHeight_ = 0;
    HMENU styleMenu_ = nullptr;
    std::vector<std::wstring> styleNames_;
    HWND memberList_ = nullptr;
    bool dropRegistered_ = false;
    LogSession logSession_;

    // Events that arrived while the view's page was loading.
    struct DeferredEvent {
        DISPID event;
        Microsoft::WRL::ComPtr<AIMCC::IAccUser> user;
        Microsoft::WRL::ComPtr<AIMCC::IAccIm> message;
        long value;
        HRESULT result;
    };
    bool creatingView_ = false;
    std::vector<DeferredEvent> deferred_;
    // The layer confirms a message twice, and other messages may be
    // confirmed in between: the identifiers of the last ones shown.
    static constexpr size_t kRememberedOutgoing = 64;
    std::deque<std::wstring> shownOutgoing_;
};

