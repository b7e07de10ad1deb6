#include "TestClient.h"

#include <chrono>

using namespace oscar;

namespace {

int RemainingMs(std::chrono::steady_clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

} // namespace

bool TestClient::Connect(uint16_t port)
{
    Close();
    if (core_) {
        conn_ = core_->Open();
    } else {
        socket_ = net::Connect("127.0.0.1", port);
        if (socket_ == net::kInvalidSocket)
            return false;
    }
    closed_ = false;
    reader_ = FlapReader();
    FlapFrame hello;
    SignonFrame signon;
    return ReadFrame(hello) && hello.channel == flap::kSignon && Decode(hello.payload, signon) &&
           signon.version == 1;
}

void TestClient::Close()
{
    if (core_ && conn_) {
        core_->Closed(conn_);
        conn_ = 0;
    }
    net::Close(socket_);
    socket_ = net::kInvalidSocket;
}

bool TestClient::SendRaw(const Bytes& bytes)
{
    if (core_) {
        if (!conn_ || core_->ShouldClose(conn_))
            return false;
        core_->Receive(conn_, bytes.data(), bytes.size());
        return true;
    }
    return net::SendAll(socket_, bytes.data(), bytes.size());
}

bool TestClient::Receive(int timeoutMs)
{
    if (core_) {
        Bytes out = core_->TakeOutput(conn_);
        if (out.empty()) {
            closed_ = core_->ShouldClose(conn_);
            return closed_;              // a closed connection still ends the wait
        }
        reader_.Append(out.data(), out.size());
        return true;
    }
    if (net::WaitReadable(socket_, timeoutMs) != 1)
        return false;
    uint8_t buffer[8192];
    long n = net::Recv(socket_, buffer, sizeof buffer);
    if (n <= 0)
        closed_ = true;                  // frames already buffered still count
    else
        reader_.Append(buffer, static_cast<size_t>(n));
    return true;
}

bool TestClient::SendFrame(uint8_t channel, const Bytes& payload)
{
    FlapFrame frame;
    frame.channel = channel;
    frame.sequence = sequence_.Next();
    frame.payload = payload;
    Bytes bytes;
    return EncodeFlap(frame, bytes) && SendRaw(bytes);
}

bool TestClient::SendSnac(const Snac& snac)
{
    return SendFrame(flap::kData, EncodeSnac(snac));
}

uint32_t TestClient::SendEmpty(SnacId snacId)
{
    uint32_t id = nextRequest_++;
    SendSnac(MakeEmptySnac(snacId, id));
    return id;
}

bool TestClient::ReadFrame(FlapFrame& frame, int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        FlapParse result = reader_.Next(frame);
        if (result == FlapParse::Frame)
            return true;
        if (result == FlapParse::Malformed || closed_)
            return false;
        if (!Receive(RemainingMs(deadline)))
            return false;
    }
}

bool TestClient::ExpectAny(const std::vector<SnacId>& ids, Snac& snac, int timeoutMs)
{
    auto wanted = [&](const Snac& s) {
        for (SnacId id : ids)
            if (s.Is(id))
                return true;
        return false;
    };
    for (auto it = kept_.begin(); it != kept_.end(); ++it) {
        if (wanted(*it)) {
            snac = *it;
            kept_.erase(it);
            return true;
        }
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    FlapFrame frame;
    while (ReadFrame(frame, RemainingMs(deadline))) {
        if (frame.channel == flap::kSignoff) {
            signoffs.push_back(frame);
            continue;
        }
        Snac read;
        if (frame.channel != flap::kData || !DecodeSnac(frame.payload, read))
            continue;
        if (wanted(read)) {
            snac = read;
            return true;
        }
        kept_.push_back(read);
    }
    return false;
}

bool TestClient::Expect(SnacId id, Snac& snac, int timeoutMs)
{
    return ExpectAny({id}, snac, timeoutMs);
}

bool TestClient::Sync()
{
    uint32_t id = SendEmpty(oservice::kUserInfoQuery);
    Snac snac;
    while (Expect(oservice::kUserInfoUpdate, snac)) {
        if (snac.requestId == id)
            return true;
    }
    return false;
}

bool TestClient::Holds(SnacId id) const
{
    for (const Snac& snac : kept_)
        if (snac.Is(id))
            return true;
    return false;
}

bool TestClient::WaitClosed(int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    FlapFrame frame;
    for (;;) {
        if (!ReadFrame(frame, RemainingMs(deadline)))
            return closed_;
        if (frame.channel == flap::kSignoff) {
            signoffs.push_back(frame);
        } else {
            Snac snac;
            if (frame.channel == flap::kData && DecodeSnac(frame.payload, snac))
                kept_.push_back(snac);
        }
    }
}

bucp::LoginResponse TestClient::Login(uint16_t port, const std::string& name, const std::string& password,
                                      bool weakHash)
{
    bucp::LoginResponse response;
    response.errorCode = 0xFFFF;         // "no answer" unless the server gives one
    if (!Connect(port) || !SendFrame(flap::kSignon, Encode(SignonFrame{})))
        return response;
    Send(bucp::ChallengeRequest{name});
    Snac snac;
    if (!ExpectAny({bucp::kChallengeResponse, bucp::kLoginResponse}, snac))
        return response;
    if (snac.Is(bucp::kLoginResponse)) {
        Decode(snac.body, response);
        return response;
    }
    bucp::ChallengeResponse challenge;
    if (!Decode(snac.body, challenge))
        return response;
    bucp::LoginRequest request;
    request.screenName = name;
    request.clientName = "Velmora test client";
    request.passwordHash = weakHash ? bucp::WeakPasswordHash(challenge.key, password)
                                    : bucp::StrongPasswordHash(challenge.key, password);
    request.multiConn = bucp::multiconn::kSingle;
    Send(request);
    Expect(response);
    return response;
}

bool TestClient::SignOnBos(const bucp::LoginResponse& login)
{
    std::string host;
    uint16_t port = 0;
    if (!login.Succeeded() || !bucp::SplitHostPort(login.bosAddress, host, port) || !Connect(port))
        return false;
    SignonFrame signon;
    signon.tlvs.Add(signon::kTagCookie, login.cookie);
    SendFrame(flap::kSignon, Encode(signon));
    oservice::HostOnline online;
    if (!Expect(online))
        return false;

    oservice::ClientVersions versions;
    versions.versions = {{1, 4}, {2, 1}, {3, 1}, {4, 1}, {9, 1}, {0x13, 5}};
    Send(versions);
    oservice::HostVersions hostVersions;
    oservice::RateParamsReply rates;
    if (!Expect(hostVersions))
        return false;
    SendEmpty(oservice::kRateParamsQuery);
    if (!Expect(rates))
        return false;
    oservice::RateParamsSubscribe subscribe;
    for (const oservice::RateClass& c : rates.classes)
        subscribe.classIds.push_back(c.id);
    Send(subscribe);

    SendEmpty(feedbag::kRightsQuery);
    feedbag::RightsReply feedbagRights;
    SendEmpty(feedbag::kQuery);
    SendEmpty(locate::kRightsQuery);
    locate::RightsReply locateRights;
    SendEmpty(buddy::kRightsQuery);
    buddy::RightsReply buddyRights;
    SendEmpty(icbm::kParamsQuery);
    icbm::ParamsReply params;
    if (!Expect(feedbagRights) || !Expect(feedbag) || !Expect(locateRights) || !Expect(buddyRights) ||
        !Expect(params))
        return false;
    icbm::AddParams wanted;
    wanted.flags = icbm::paramflag::kMessagesAllowed | icbm::paramflag::kTypingNotifications;
    wanted.maxMessageLength = params.maxMessageLength;
    wanted.maxSenderWarning = 999;
    wanted.maxReceiverWarning = 999;
    Send(wanted);
    SendEmpty(feedbag::kUse);

    oservice::ClientOnline ready;
    for (uint16_t group : online.foodGroups)
        ready.entries.push_back({group, 1, 0x0110, 0x1234});
    Send(ready);
    return Sync();
}

bool ControlClient::Connect(uint16_t port)
{
    socket_ = net::Connect("127.0.0.1", port);
    return socket_ != net::kInvalidSocket;
}

std::string ControlClient::Command(const std::string& line)
{
    std::string sent = line + "\n";
    if (!net::SendAll(socket_, reinterpret_cast<const uint8_t*>(sent.data()), sent.size()))
        return {};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
    for (;;) {
        // An answer ends with its "ok" or "error" line.
        size_t start = 0;
        for (size_t end; (end = buffer_.find('\n', start)) != std::string::npos; start = end + 1) {
            std::string_view last(buffer_.data() + start, end - start);
            if (last == "ok" || last.rfind("error", 0) == 0) {
                std::string answer = buffer_.substr(0, end + 1);
                buffer_.erase(0, end + 1);
                return answer;
            }
        }
        if (net::WaitReadable(socket_, RemainingMs(deadline)) != 1)
            return {};
        char chunk[4096];
        long n = net::Recv(socket_, reinterpret_cast<uint8_t*>(chunk), sizeof chunk);
        if (n <= 0)
            return {};
        buffer_.append(chunk, static_cast<size_t>(n));
    }
}

bool ControlClient::WaitClosed()
{
    if (net::WaitReadable(socket_, kTimeoutMs) != 1)
        return false;
    uint8_t byte;
    return net::Recv(socket_, &byte, 1) == 0;
}
