// A minimal OSCAR client on the codec, for driving the server over loopback
// sockets: BUCP login, the BOS start-up a real client goes through, and
// "wait for the next SNAC of this kind" with a timeout instead of sleeps.
// Messages that arrive while a test waits for another kind are kept, in
// order, for a later Expect.
//
// Given a ServerCore instead, it talks to the core directly, with no sockets
// and no waiting: whatever the core has produced is all there is, so a test
// that drives the core's clock by hand sees exactly what each step sent.
#pragma once

#include "Net.h"
#include "Oscar.h"
#include "ServerCore.h"

#include <deque>
#include <string>
#include <vector>

constexpr int kTimeoutMs = 5000;

class TestClient {
public:
    TestClient() = default;
    explicit TestClient(oscar::server::ServerCore& core) : core_(&core) {}
    ~TestClient() { Close(); }
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    // Connects (on a core: opens a connection, whatever the port) and reads
    // the server's hello frame.
    bool Connect(uint16_t port);
    void Close();

    bool SendRaw(const oscar::Bytes& bytes);
    bool SendFrame(uint8_t channel, const oscar::Bytes& payload);
    bool SendSnac(const oscar::Snac& snac);
    // Each returns the request ID it used.
    template <class M>
    uint32_t Send(const M& message)
    {
        uint32_t id = nextRequest_++;
        SendSnac(oscar::MakeSnac(message, id));
        return id;
    }
    uint32_t SendEmpty(oscar::SnacId snacId);

    bool ReadFrame(oscar::FlapFrame& frame, int timeoutMs = kTimeoutMs);
    // The next SNAC with one of these IDs, kept ones first.
    bool Expect(oscar::SnacId id, oscar::Snac& snac, int timeoutMs = kTimeoutMs);
    bool ExpectAny(const std::vector<oscar::SnacId>& ids, oscar::Snac& snac, int timeoutMs = kTimeoutMs);
    template <class M>
    bool Expect(M& message, int timeoutMs = kTimeoutMs)
    {
        oscar::Snac snac;
        return Expect(M::kId, snac, timeoutMs) && Decode(snac.body, message);
    }
    // Sends 01,0E and waits for its 01,0F: whatever the server queued for
    // this connection before then has arrived.
    bool Sync();
    // Whether a SNAC of this kind has arrived and was not taken.
    bool Holds(oscar::SnacId id) const;
    // True when the server closes the connection within the timeout.
    bool WaitClosed(int timeoutMs = kTimeoutMs);

    // BUCP on `port` with the strong (or weak) hash. The connection stays
    // open, so a test can see the server close it.
    oscar::bucp::LoginResponse Login(uint16_t port, const std::string& name, const std::string& password,
                                     bool weakHash = false);
    // Connects to the BOS address with the cookie and goes through the
    // start-up up to "client online". The buddy list it loaded is in `feedbag`.
    bool SignOnBos(const oscar::bucp::LoginResponse& login);

    oscar::feedbag::Reply feedbag;
    std::vector<oscar::FlapFrame> signoffs;   // SIGNOFF frames the server sent

private:
    // More bytes from the server: false when none came within the time.
    bool Receive(int timeoutMs);

    oscar::server::ServerCore* core_ = nullptr;
    oscar::server::ConnId conn_ = 0;
    oscar::net::Socket socket_ = oscar::net::kInvalidSocket;
    oscar::FlapReader reader_;
    oscar::FlapSequence sequence_{0x1000};
    uint32_t nextRequest_ = 1;
    std::deque<oscar::Snac> kept_;
    bool closed_ = false;
};

// The text control channel, line by line.
class ControlClient {
public:
    ~ControlClient() { oscar::net::Close(socket_); }
    bool Connect(uint16_t port);
    // Sends one line and returns the answer up to and including its "ok" or
    // "error ..." line ("" on a timeout or a closed connection).
    std::string Command(const std::string& line);
    bool WaitClosed();

private:
    oscar::net::Socket socket_ = oscar::net::kInvalidSocket;
    std::string buffer_;
};
