// The boundary between a session and the network. The session (Session.cpp)
// speaks in screen names, group names, positions and HTML; an ITransport
// turns that into a protocol, and reports back through ITransportEvents.
// OscarClient is the transport of the shipping DLL; the tests drive the
// session through a scripted transport of their own.
//
// Threading contract, which keeps the session free of locks:
// - Every call in either direction happens on the session's thread.
// - A transport never calls ITransportEvents from inside one of its own
//   methods. It reports later, from the session's message loop: a socket
//   notification, a timer, or a task posted with CEventWindow::Post (which is
//   also how a worker thread of a transport would hand over its results).
// - After SignOff, or after reporting state 0, a transport reports nothing
//   more. The session destroys it later, never inside one of its callbacks.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace AIMCC {

class CEventWindow;

struct SignOnSettings {
    std::wstring host;              // address or host name of the login server
    unsigned short port = 0;
    std::wstring screenName;
    std::wstring password;
    std::wstring clientDescription; // the client-info object's description
    unsigned short version[4] = {}; // the client-info object's version parts
    bool invisible = false;
    std::wstring awayMessage;       // HTML; empty = available
    std::wstring profile;           // HTML
    std::wstring statusText;
    long idleSeconds = 0;
};

// What the server tells about one user (another, or this account itself).
struct UserInfo {
    std::wstring screenName;        // as the server formats it
    bool away = false;
    unsigned long userClass = 0;
    long idleMinutes = 0;           // 0 = not idle
    int64_t signOnTime = 0;         // seconds since 1970 (UTC); 0 = unknown
    std::vector<std::wstring> capabilities;  // "{GUID}" texts
    bool hasStatusText = false;
    std::wstring statusText;
};

struct BuddyEntry {
    std::wstring screenName;
    std::wstring alias;
    std::wstring note;
};

struct BuddyGroupEntry {
    std::wstring name;
    std::vector<BuddyEntry> buddies;   // in the server's order
};

struct BuddyListContents {
    std::vector<BuddyGroupEntry> groups;   // in the server's order
};

struct IncomingIm {
    std::wstring from;
    std::wstring html;
    bool autoResponse = false;
    bool offline = false;           // delivered from the server's storage
};

// Which text a user-information request asks for (the user property ids).
enum class UserText : long { Profile = 100, AwayMessage = 101 };

class ITransportEvents {
public:
    // Sign-on progress (150 ... 500) with S_OK, or the end: state 0 with the
    // result (ACC_E_...; S_OK or ACC_E_CONNECTION_LOST for a sign-off the
    // server made).
    virtual void OnState(long state, HRESULT result) = 0;
    virtual void OnSelfInfo(const UserInfo& self) = 0;
    // The whole stored buddy list, once per sign-on, before state 500.
    virtual void OnBuddyList(const BuddyListContents& list) = 0;
    // Results of edits (ours or another sign-on's): S_OK when the server's
    // copy changed, otherwise the server's refusal and nothing changed.
    virtual void OnGroupAdded(const std::wstring& name, long position, HRESULT result) = 0;
    virtual void OnGroupRemoved(const std::wstring& name, HRESULT result) = 0;
    virtual void OnGroupMoved(const std::wstring& name, long position, HRESULT result) = 0;
    virtual void OnGroupRenamed(const std::wstring& oldName, const std::wstring& newName, HRESULT result) = 0;
    virtual void OnBuddyAdded(const std::wstring& group, const BuddyEntry& buddy, long position, HRESULT result) = 0;
    virtual void OnBuddyRemoved(const std::wstring& group, const std::wstring& screenName, HRESULT result) = 0;
    virtual void OnBuddyMoved(const std::wstring& fromGroup, const std::wstring& screenName,
                              const std::wstring& toGroup, long position, HRESULT result) = 0;
    // A user came online or changed what the server tells about them.
    virtual void OnUserArrived(const UserInfo& info) = 0;
    virtual void OnUserDeparted(const std::wstring& screenName) = 0;
    virtual void OnImReceived(const IncomingIm& im) = 0;
    virtual void OnTyping(const std::wstring& from, long state) = 0;
    virtual void OnSendResult(uint32_t token, HRESULT result) = 0;
    virtual void OnUserText(uint32_t token, const std::wstring& screenName, UserText kind, const std::wstring& html,
                            HRESULT result) = 0;

protected:
    ~ITransportEvents() = default;
};

class ITransport {
public:
    virtual ~ITransport() = default;

    // Starts signing on (state 100 is the session's; the transport reports
    // from 150 on). A failure here is returned at once and nothing follows.
    virtual HRESULT SignOn(const SignOnSettings& settings) = 0;
    // Ends the connection at once; nothing is reported afterwards.
    virtual void SignOff() = 0;

    // Messages: the result comes as OnSendResult with the token.
    virtual HRESULT SendIm(uint32_t token, const std::wstring& to, const std::wstring& html, long flags) = 0;
    virtual HRESULT SendTyping(const std::wstring& to, long state) = 0;
    virtual HRESULT RequestUserText(uint32_t token, const std::wstring& screenName, UserText kind) = 0;

    // This account's own state.
    virtual HRESULT SetAwayMessage(const std::wstring& html) = 0;   // empty = back
    virtual HRESULT SetProfile(const std::wstring& html) = 0;
    virtual HRESULT SetInvisible(bool invisible) = 0;
    virtual HRESULT SetIdle(long seconds) = 0;
    virtual HRESULT SetStatusText(const std::wstring& text) = 0;

    // Buddy-list edits; each is answered by the matching On... event.
    virtual HRESULT AddGroup(const std::wstring& name, long position) = 0;
    virtual HRESULT RemoveGroup(const std::wstring& name) = 0;
    virtual HRESULT MoveGroup(const std::wstring& name, long position) = 0;
    virtual HRESULT RenameGroup(const std::wstring& oldName, const std::wstring& newName) = 0;
    virtual HRESULT AddBuddy(const std::wstring& group, const std::wstring& screenName, long position) = 0;
    virtual HRESULT RemoveBuddy(const std::wstring& group, const std::wstring& screenName) = 0;
    virtual HRESULT MoveBuddy(const std::wstring& fromGroup, const std::wstring& screenName,
                              const std::wstring& toGroup, long position) = 0;
};

// Makes the transport for one sign-on. `loop` is the session's event window
// (tasks, sockets and timers on the session's thread).
using TransportFactory =
    std::function<std::unique_ptr<ITransport>(const std::shared_ptr<CEventWindow>& loop, ITransportEvents& events)>;

// The DLL's transport: the OSCAR client.
TransportFactory DefaultTransportFactory();

} // namespace AIMCC
