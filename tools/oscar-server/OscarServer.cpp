#include "OscarServer.h"

#include <algorithm>
#include <cstdio>

namespace oscar::server {

OscarServer::OscarServer(const std::vector<Account>& accounts, Options options)
    : options_(std::move(options)), core_(accounts)
{
    core_.SetDemo(options_.demo, options_.script);
    if (!options_.saveFile.empty())
        core_.SetListChangedHandler([this] { SaveAccounts(); });
}

OscarServer::~OscarServer()
{
    Stop();
    // Only now: RequestStop may poke it from another thread until the loop has ended.
    net::Close(wake_);
}

bool OscarServer::Start(std::string* error)
{
    if (!net::Startup()) {
        if (error)
            *error = "no sockets";
        return false;
    }
    wake_ = net::WakeSocket(&wakePort_);
    loginListener_ = net::Listen(options_.host, options_.loginPort, &loginPort_, error);
    if (wake_ == net::kInvalidSocket || loginListener_ == net::kInvalidSocket) {
        CloseAll();
        return false;
    }
    bosPort_ = loginPort_;
    if (options_.bosPort) {
        bosListener_ = net::Listen(options_.host, *options_.bosPort, &bosPort_, error);
        if (bosListener_ == net::kInvalidSocket) {
            CloseAll();
            return false;
        }
    }
    if (options_.controlPort) {
        controlListener_ = net::Listen(options_.host, *options_.controlPort, &controlPort_, error);
        if (controlListener_ == net::kInvalidSocket) {
            CloseAll();
            return false;
        }
    }
    core_.SetBosAddress(options_.advertisedHost + ":" + std::to_string(bosPort_));
    if (options_.demo)
        core_.StartScriptedAccounts();
    stopping_ = false;
    thread_ = std::thread([this] { Loop(); });
    return true;
}

void OscarServer::RequestStop()
{
    stopping_ = true;
    if (wake_ != net::kInvalidSocket)
        net::Poke(wake_, wakePort_);
}

void OscarServer::Stop()
{
    RequestStop();
    Wait();
}

void OscarServer::Wait()
{
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

void OscarServer::CloseAll()
{
    for (auto& [s, client] : clients_)
        net::Close(s);
    clients_.clear();
    for (auto& [s, control] : controls_)
        net::Close(s);
    controls_.clear();
    for (net::Socket* s : {&loginListener_, &bosListener_, &controlListener_}) {
        net::Close(*s);
        *s = net::kInvalidSocket;
    }
}

void OscarServer::Loop()
{
    std::vector<net::PollEntry> entries;
    while (!stopping_) {
        entries.clear();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (net::Socket s : {wake_, loginListener_, bosListener_, controlListener_}) {
                if (s != net::kInvalidSocket)
                    entries.push_back(net::PollEntry{s, false, false, false});
            }
            for (auto& [s, client] : clients_)
                entries.push_back(net::PollEntry{s, !client.pending.empty(), false, false});
            for (auto& [s, control] : controls_)
                entries.push_back(net::PollEntry{s, !control.pending.empty(), false, false});
        }
        if (!net::Poll(entries, MsUntilNextStep()))
            break;
        if (stopping_)
            break;
        Service(entries);
        inboxChanged_.notify_all();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [s, client] : clients_)
        core_.Closed(client.id);
    CloseAll();
    inboxChanged_.notify_all();
}

int OscarServer::MsUntilNextStep()
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::optional<ServerCore::Clock::time_point> due = core_.NextDue();
    if (!due)
        return -1;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(*due - ServerCore::Clock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, 60000));
}

void OscarServer::Service(const std::vector<net::PollEntry>& entries)
{
    std::lock_guard<std::mutex> lock(mutex_);
    core_.RunDue();
    for (const net::PollEntry& e : entries) {
        if (!e.readable)
            continue;
        if (e.socket == wake_) {
            net::Drain(wake_);
        } else if (e.socket == loginListener_ || e.socket == bosListener_) {
            AcceptFrom(e.socket);
        } else if (e.socket == controlListener_) {
            net::Socket s = net::Accept(controlListener_);
            if (s != net::kInvalidSocket)
                controls_[s] = ControlClient{};
        } else if (auto client = clients_.find(e.socket); client != clients_.end()) {
            ReadClient(e.socket, client->second);
        } else if (auto control = controls_.find(e.socket); control != controls_.end()) {
            ReadControl(e.socket, control->second);
        }
    }
    // Anything may have produced output for any connection: a message from
    // one client goes out to another, a control command to several.
    for (auto it = clients_.begin(); it != clients_.end();) {
        if (FlushClient(it->first, it->second)) {
            ++it;
        } else {
            core_.Closed(it->second.id);
            net::Close(it->first);
            it = clients_.erase(it);
        }
    }
    for (auto it = controls_.begin(); it != controls_.end();) {
        if (FlushControl(it->first, it->second)) {
            ++it;
        } else {
            net::Close(it->first);
            it = controls_.erase(it);
        }
    }
}

void OscarServer::AcceptFrom(net::Socket listener)
{
    for (;;) {
        net::Socket s = net::Accept(listener);
        if (s == net::kInvalidSocket)
            return;
        clients_[s] = Client{core_.Open(), {}};
    }
}

void OscarServer::ReadClient(net::Socket s, Client& client)
{
    uint8_t buffer[8192];
    for (;;) {
        long n = net::Recv(s, buffer, sizeof buffer);
        if (n == net::kWouldBlock)
            return;
        if (n <= 0) {
            // Closed or failed: the core lets go now, the socket at the flush.
            core_.Closed(client.id);
            return;
        }
        core_.Receive(client.id, buffer, static_cast<size_t>(n));
    }
}

bool OscarServer::FlushClient(net::Socket s, Client& client)
{
    Bytes out = core_.TakeOutput(client.id);
    client.pending.insert(client.pending.end(), out.begin(), out.end());
    while (!client.pending.empty()) {
        long n = net::Send(s, client.pending.data(), client.pending.size());
        if (n == net::kWouldBlock)
            break;
        if (n <= 0)
            return false;
        client.pending.erase(client.pending.begin(), client.pending.begin() + n);
    }
    return !(core_.ShouldClose(client.id) && client.pending.empty());
}

void OscarServer::ReadControl(net::Socket s, ControlClient& client)
{
    char buffer[4096];
    for (;;) {
        long n = net::Recv(s, reinterpret_cast<uint8_t*>(buffer), sizeof buffer);
        if (n == net::kWouldBlock)
            break;
        if (n <= 0) {
            client.quit = true;
            client.pending.clear();
            return;
        }
        client.input.append(buffer, static_cast<size_t>(n));
        // A control line is short; a flood without line breaks is not a client.
        if (client.input.size() > 65536) {
            client.quit = true;
            client.pending.clear();
            return;
        }
    }
    size_t end;
    while (!client.quit && (end = client.input.find('\n')) != std::string::npos) {
        std::string line = client.input.substr(0, end);
        client.input.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        ControlResult result = RunControlCommand(core_, line);
        client.pending += result.text;
        if (result.quit)
            client.quit = true;
        if (result.shutdown) {
            client.quit = true;
            FlushControl(s, client);
            stopping_ = true;
        }
    }
}

bool OscarServer::FlushControl(net::Socket s, ControlClient& client)
{
    while (!client.pending.empty()) {
        long n = net::Send(s, reinterpret_cast<const uint8_t*>(client.pending.data()), client.pending.size());
        if (n == net::kWouldBlock)
            break;
        if (n <= 0)
            return false;
        client.pending.erase(0, static_cast<size_t>(n));
    }
    return !(client.quit && client.pending.empty());
}

void OscarServer::SaveAccounts()
{
    if (!WriteAccountsFile(options_.saveFile, core_.ExportAccounts()))
        std::fprintf(stderr, "oscar-server: could not write %s\n", options_.saveFile.c_str());
}

bool OscarServer::SignOn(const std::string& name, std::string* error)
{
    std::string e;
    bool ok = Locked([&] { return core_.SignOn(name, &e); });
    if (error)
        *error = e;
    return ok;
}

bool OscarServer::SignOff(const std::string& name, std::string* error)
{
    std::string e;
    bool ok = Locked([&] { return core_.SignOff(name, &e); });
    if (error)
        *error = e;
    return ok;
}

bool OscarServer::SetAway(const std::string& name, const std::string& message, std::string* error)
{
    std::string e;
    bool ok = Locked([&] { return core_.SetAway(name, message, &e); });
    if (error)
        *error = e;
    return ok;
}

bool OscarServer::SetIdle(const std::string& name, uint32_t minutes, std::string* error)
{
    std::string e;
    bool ok = Locked([&] { return core_.SetIdle(name, minutes, &e); });
    if (error)
        *error = e;
    return ok;
}

bool OscarServer::SetProfile(const std::string& name, const std::string& html, std::string* error)
{
    std::string e;
    bool ok = Locked([&] { return core_.SetProfile(name, html, &e); });
    if (error)
        *error = e;
    return ok;
}

bool OscarServer::SendIm(const std::string& from, const std::string& to, const std::string& text,
                         bool autoResponse, std::string* error)
{
    std::string e;
    bool ok = Locked([&] { return core_.SendIm(from, to, text, autoResponse, &e); });
    if (error)
        *error = e;
    return ok;
}

bool OscarServer::SendTyping(const std::string& from, const std::string& to, uint16_t event, std::string* error)
{
    std::string e;
    bool ok = Locked([&] { return core_.SendTyping(from, to, event, &e); });
    if (error)
        *error = e;
    return ok;
}

bool OscarServer::AddBuddy(const std::string& owner, const std::string& group, const std::string& buddy,
                           std::string* error)
{
    std::string e;
    bool ok = Locked([&] { return core_.AddBuddy(owner, group, buddy, &e); });
    if (error)
        *error = e;
    return ok;
}

bool OscarServer::RemoveBuddy(const std::string& owner, const std::string& buddy, std::string* error)
{
    std::string e;
    bool ok = Locked([&] { return core_.RemoveBuddy(owner, buddy, &e); });
    if (error)
        *error = e;
    return ok;
}

bool OscarServer::IsOnline(const std::string& name)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return core_.IsOnline(name);
}

std::vector<std::string> OscarServer::ListOf(const std::string& name)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return core_.ListOf(name);
}

std::vector<Account> OscarServer::ExportAccounts()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return core_.ExportAccounts();
}

bool OscarServer::WaitForInbox(const std::string& name, std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return inboxChanged_.wait_for(lock, timeout, [&] { return !core_.InboxEmpty(name); });
}

std::vector<InboxEntry> OscarServer::TakeInbox(const std::string& name)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return core_.TakeInbox(name);
}

std::string OscarServer::Control(const std::string& line)
{
    ControlResult result = Locked([&] { return RunControlCommand(core_, line); });
    if (result.shutdown)
        RequestStop();
    return result.text;
}

} // namespace oscar::server
