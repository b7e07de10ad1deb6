// OscarServer: ServerCore behind real sockets, on a thread of its own, so a
// test can run it in-process on loopback (natively or under Wine) and the
// oscar-server executable can run it on its own.
//
// The thread owns every socket and waits on all of them at once; the
// scripting calls below may come from any thread: they take the lock, change
// the core, and poke the thread to send what the change produced.
#pragma once

#include "Accounts.h"
#include "ControlCommands.h"
#include "Net.h"
#include "ServerCore.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace oscar::server {

class OscarServer {
public:
    struct Options {
        std::string host = "127.0.0.1";          // where to listen
        uint16_t loginPort = 0;                  // 0: a free port, see LoginPort()
        // A second listener given to clients as their BOS address; without
        // one the login port serves both, as the network's own servers do.
        std::optional<uint16_t> bosPort;
        std::optional<uint16_t> controlPort;     // the text control channel
        std::string advertisedHost = "127.0.0.1";
        bool demo = false;                       // sign on the scripted accounts; they answer IMs
        DemoScript script;                       // how they do it
        std::string saveFile;                    // write list and profile changes back here
    };

    OscarServer(const std::vector<Account>& accounts, Options options);
    ~OscarServer();
    OscarServer(const OscarServer&) = delete;
    OscarServer& operator=(const OscarServer&) = delete;

    bool Start(std::string* error);
    void Stop();
    // Returns when the server has stopped (Stop, "shutdown", or a signal).
    void Wait();
    // Safe inside a signal handler: asks the thread to stop.
    void RequestStop();

    uint16_t LoginPort() const { return loginPort_; }
    uint16_t BosPort() const { return bosPort_; }
    uint16_t ControlPort() const { return controlPort_; }

    // Scripting; see ServerCore for what each does.
    bool SignOn(const std::string& name, std::string* error = nullptr);
    bool SignOff(const std::string& name, std::string* error = nullptr);
    bool SetAway(const std::string& name, const std::string& message, std::string* error = nullptr);
    bool SetIdle(const std::string& name, uint32_t minutes, std::string* error = nullptr);
    bool SetProfile(const std::string& name, const std::string& html, std::string* error = nullptr);
    bool SendIm(const std::string& from, const std::string& to, const std::string& text, bool autoResponse = false,
                std::string* error = nullptr);
    bool SendTyping(const std::string& from, const std::string& to, uint16_t event, std::string* error = nullptr);
    bool AddBuddy(const std::string& owner, const std::string& group, const std::string& buddy,
                  std::string* error = nullptr);
    bool RemoveBuddy(const std::string& owner, const std::string& buddy, std::string* error = nullptr);
    bool IsOnline(const std::string& name);
    std::vector<std::string> ListOf(const std::string& name);
    std::vector<Account> ExportAccounts();
    // Waits until the scripted user has received something, or the timeout passes.
    bool WaitForInbox(const std::string& name, std::chrono::milliseconds timeout);
    std::vector<InboxEntry> TakeInbox(const std::string& name);
    // Runs one line of the control channel.
    std::string Control(const std::string& line);

private:
    struct Client {
        ConnId id = 0;
        Bytes pending;                   // written to the socket as it takes it
    };
    struct ControlClient {
        std::string input;
        std::string pending;
        bool quit = false;
    };

    template <class F>
    auto Locked(F f)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto result = f();
        net::Poke(wake_, wakePort_);
        return result;
    }

    void Loop();
    // How long the loop may wait for sockets before a demo step is due (-1: no step waits).
    int MsUntilNextStep();
    void Service(const std::vector<net::PollEntry>& entries);
    void AcceptFrom(net::Socket listener);
    void ReadClient(net::Socket s, Client& client);
    bool FlushClient(net::Socket s, Client& client);     // false: close it
    void ReadControl(net::Socket s, ControlClient& client);
    bool FlushControl(net::Socket s, ControlClient& client);
    void SaveAccounts();
    void CloseAll();

    Options options_;
    std::mutex mutex_;
    std::condition_variable inboxChanged_;
    ServerCore core_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    net::Socket wake_ = net::kInvalidSocket;
    uint16_t wakePort_ = 0;
    net::Socket loginListener_ = net::kInvalidSocket;
    net::Socket bosListener_ = net::kInvalidSocket;
    net::Socket controlListener_ = net::kInvalidSocket;
    uint16_t loginPort_ = 0;
    uint16_t bosPort_ = 0;
    uint16_t controlPort_ = 0;
    std::map<net::Socket, Client> clients_;
    std::map<net::Socket, ControlClient> controls_;
};

} // namespace oscar::server
