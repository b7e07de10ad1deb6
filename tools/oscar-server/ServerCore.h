// The local OSCAR server's logic, with no sockets: a connection is an ID that
// bytes go into (Receive) and come out of (TakeOutput). OscarServer puts
// sockets and a thread around it; tests and the fuzz target can drive it
// directly. Not thread-safe: its owner serialises every call.
//
// One listener serves login and BOS alike, told apart by the first frame: a
// SIGNON frame with a cookie is a BOS connection, one without starts a BUCP
// login. Accounts and buddy lists come from the accounts file; a user is
// "online" to others from "client online" (01,02) until the connection ends.
//
// Scripted users are sessions without a connection, driven by the control
// calls (SignOn, SendIm, ...): what is sent to them lands in their inbox.
//
// In the demo they also act by themselves, some of it later: a buddy shows
// typing before it answers and steps away now and then. Those later steps
// wait in a queue on the core's clock; the owner asks NextDue when to call
// RunDue, so a test can drive the clock by hand.
#pragma once

#include "Accounts.h"
#include "Oscar.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace oscar::server {

using ConnId = uint32_t;

// Something a scripted user received.
struct InboxEntry {
    enum class Kind { Im, Typing };
    Kind kind = Kind::Im;
    std::string from;                    // the sender's screen name as displayed
    std::string text;                    // UTF-8, for an IM
    bool autoResponse = false;
    uint16_t typingEvent = 0;            // icbm::typing::...
};

// How the demo's scripted buddies behave ("script online" accounts; those
// marked "script away" only ever send their away message).
struct DemoScript {
    // From "typing begun" to the answer.
    std::chrono::milliseconds typingPause{1500};
    // How long a buddy stays available before it steps away by itself; zero
    // keeps it available unless someone asks it to step away.
    std::chrono::milliseconds awayEvery{0};
    // How long it stays away each time.
    std::chrono::milliseconds awayFor{std::chrono::seconds(30)};
    std::string awayMessage = "Stepped away for a moment, back soon.";
};

class ServerCore {
public:
    using Clock = std::chrono::steady_clock;

    explicit ServerCore(const std::vector<Account>& accounts);
    ~ServerCore();

    // "host:port" given to clients as their BOS server.
    void SetBosAddress(const std::string& address) { bosAddress_ = address; }
    // Scripted users answer IMs: an echo while available, their away message while away.
    void SetDemo(bool demo, DemoScript script = {})
    {
        demo_ = demo;
        script_ = std::move(script);
    }
    // Where the demo's later steps take the time from (the steady clock unless set).
    void SetClock(std::function<Clock::time_point()> clock) { clock_ = std::move(clock); }
    // When the next demo step is due, if one is waiting.
    std::optional<Clock::time_point> NextDue() const;
    // Runs every demo step that is due by the clock, in the order they were planned.
    void RunDue();
    // Called after every change to a stored buddy list.
    void SetListChangedHandler(std::function<void()> handler) { listChanged_ = std::move(handler); }
    // The accounts with their buddy lists as they are now.
    std::vector<Account> ExportAccounts() const;
    // Signs on the accounts marked "script" in the file (for --demo).
    void StartScriptedAccounts();

    // Connections.
    ConnId Open();
    void Receive(ConnId id, const uint8_t* data, size_t size);
    bool HasOutput(ConnId id) const;
    Bytes TakeOutput(ConnId id);
    // The server is done with the connection: close it once its output is written.
    bool ShouldClose(ConnId id) const;
    // The socket is gone (or closed after ShouldClose).
    void Closed(ConnId id);

    // Scripting. Names compare normalised. On failure the reason goes to *error.
    bool SignOn(const std::string& name, std::string* error);
    // Ends a scripted session, or disconnects a real client.
    bool SignOff(const std::string& name, std::string* error);
    // An empty message comes back from away.
    bool SetAway(const std::string& name, const std::string& message, std::string* error);
    bool SetIdle(const std::string& name, uint32_t minutes, std::string* error);
    bool SetProfile(const std::string& name, const std::string& html, std::string* error);
    bool SendIm(const std::string& from, const std::string& to, const std::string& text, bool autoResponse,
                std::string* error);
    bool SendTyping(const std::string& from, const std::string& to, uint16_t event, std::string* error);
    // Adds `buddy` to `owner`'s group (created at the end if new); a signed-on
    // owner sees the change as server-initiated feedbag edits.
    bool AddBuddy(const std::string& owner, const std::string& group, const std::string& buddy,
                  std::string* error);
    bool RemoveBuddy(const std::string& owner, const std::string& buddy, std::string* error);

    bool IsOnline(const std::string& name) const;
    // Display names of everyone online, with " (away)" where so.
    std::vector<std::string> OnlineUsers() const;
    // Groups and buddies of a stored list, in order: "group name" / "  buddy name".
    std::vector<std::string> ListOf(const std::string& name) const;
    bool HasAccount(const std::string& name) const;
    std::vector<InboxEntry> TakeInbox(const std::string& name);
    bool InboxEmpty(const std::string& name) const;

private:
    struct User;
    struct Session;
    struct Connection;

    // Plumbing.
    Connection* Find(ConnId id);
    const Connection* Find(ConnId id) const;
    User* FindUser(const std::string& name);
    const User* FindUser(const std::string& name) const;
    Session* FindSession(const std::string& name);
    const Session* FindSession(const std::string& name) const;
    void SendFrame(Connection& conn, uint8_t channel, const Bytes& payload);
    void SendSnac(Connection& conn, const Snac& snac);
    void SendToSession(Session& session, const Snac& snac);
    template <class M>
    void Reply(Connection& conn, const M& message, uint32_t requestId)
    {
        SendSnac(conn, MakeSnac(message, requestId));
    }
    void Error(Connection& conn, uint16_t group, uint32_t requestId, uint16_t code, uint16_t subcode = 0);
    void CloseConnection(Connection& conn);

    // Connection stages.
    void OnFrame(Connection& conn, const FlapFrame& frame);
    void OnSignon(Connection& conn, const FlapFrame& frame);
    void OnLoginSnac(Connection& conn, const Snac& snac);
    void OnBosSnac(Connection& conn, Session& session, const Snac& snac);
    void OnOservice(Connection& conn, Session& session, const Snac& snac);
    void OnLocate(Connection& conn, Session& session, const Snac& snac);
    void OnBuddy(Connection& conn, Session& session, const Snac& snac);
    void OnIcbm(Connection& conn, Session& session, const Snac& snac);
    void OnFeedbag(Connection& conn, Session& session, const Snac& snac);

    // Sessions and presence.
    Session& StartSession(User& user, ConnId conn);
    void EndSession(const std::string& key);
    void GoOnline(Session& session);
    UserInfo InfoOf(const Session& session) const;
    bool Visible(const Session& session) const;
    bool Watches(const Session& watcher, const std::string& targetKey) const;
    void AnnounceArrival(const Session& session);
    void AnnounceDeparture(const Session& session);
    void SendArrival(Session& to, const Session& about);
    void SendDeparture(Session& to, const std::string& aboutKey);
    void PresenceChanged(Session& session, bool wasVisible);

    // Messages.
    void Deliver(Session& from, Session& to, icbm::ChannelMsgToClient message);
    void ScriptedReceived(Session& to, const Session& from, const icbm::InstantMessage& im);
    void ScriptedReply(Session& from, Session& to, const std::string& text, bool autoResponse);
    void ScriptedTyping(Session& from, Session& to, uint16_t event);

    // The demo's later steps.
    struct Step {
        enum class Kind { Answer, StepAway, ComeBack };
        Kind kind = Kind::Answer;
        std::string user;                // the scripted user's key
        std::string to;                  // Answer: the key of whom it answers
        std::string text;                // Answer: the IM
        bool thenAway = false;           // Answer: step away after it
        bool cycle = false;              // StepAway/ComeBack: part of the regular round
    };
    void Plan(Clock::duration delay, Step step);
    void RunStep(const Step& step);
    void StepAway(Session& session, bool cycle);
    std::string DemoAnswer(const Session& buddy, const Session& person, const std::string& text,
                           bool* thenAway);

    // Buddy lists.
    uint16_t ApplyEdit(User& user, const Snac& snac, const feedbag::Item& item);
    void ListEdited(User& user, const std::set<std::string>& buddiesBefore);
    std::set<std::string> BuddyKeys(const User& user) const;

    Bytes RandomBytes(size_t count);
    uint32_t Now() const;

    std::map<std::string, std::unique_ptr<User>> users_;        // by normalised name
    std::vector<std::string> order_;                            // user keys in file order
    std::map<std::string, std::unique_ptr<Session>> sessions_;  // by normalised name
    std::map<ConnId, std::unique_ptr<Connection>> connections_;
    struct PendingCookie {
        std::string user;
        std::chrono::steady_clock::time_point expires;
    };
    std::map<Bytes, PendingCookie> cookies_;
    std::string bosAddress_ = "127.0.0.1:5190";
    bool demo_ = false;
    DemoScript script_;
    std::function<Clock::time_point()> clock_ = [] { return Clock::now(); };
    std::multimap<Clock::time_point, Step> steps_;               // equal times keep their order
    std::set<std::pair<std::string, std::string>> introduced_;  // (buddy, person) keys
    std::function<void()> listChanged_;
    ConnId nextConn_ = 1;
    std::mt19937_64 random_;
};

} // namespace oscar::server
