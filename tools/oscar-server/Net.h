// The thin socket layer under the server and the test clients: the few calls
// they make, the same on POSIX sockets and on Winsock, so the server runs
// natively here and in-process in a test under Wine. IPv4 only, which is all
// a loopback test or the local demo needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace oscar::net {

#ifdef _WIN32
using Socket = uintptr_t;
constexpr Socket kInvalidSocket = ~uintptr_t(0);
#else
using Socket = int;
constexpr Socket kInvalidSocket = -1;
#endif

// Winsock needs starting once per process; harmless elsewhere. Safe to call
// more than once.
bool Startup();

// A listening TCP socket on host:port (port 0 picks a free one, reported in
// *boundPort). Non-blocking. kInvalidSocket on failure, with the reason.
Socket Listen(const std::string& host, uint16_t port, uint16_t* boundPort, std::string* error);
// A blocking connection, or kInvalidSocket.
Socket Connect(const std::string& host, uint16_t port);
// A new connection from a listening socket, made non-blocking; kInvalidSocket when none is waiting.
Socket Accept(Socket listener);
// A UDP socket on the loopback that a thread can poke to wake the poll loop.
Socket WakeSocket(uint16_t* boundPort);
void Poke(Socket wake, uint16_t port);
void Drain(Socket wake);

// >0 bytes moved; 0 the peer closed (Recv only); kWouldBlock; kError.
constexpr long kWouldBlock = -2;
constexpr long kError = -1;
long Send(Socket s, const uint8_t* data, size_t size);
long Recv(Socket s, uint8_t* data, size_t size);
// Sends everything on a blocking socket.
bool SendAll(Socket s, const uint8_t* data, size_t size);
void Close(Socket s);

// Waits until `s` can be read or `timeoutMs` passes: 1 ready, 0 timed out, -1 error.
int WaitReadable(Socket s, int timeoutMs);

struct PollEntry {
    Socket socket = kInvalidSocket;
    bool wantWrite = false;
    bool readable = false;               // out: data, a new connection, or the peer gone
    bool writable = false;               // out
};
// Waits for any of the entries (or the timeout; -1 waits forever). False on an error.
bool Poll(std::vector<PollEntry>& entries, int timeoutMs);

} // namespace oscar::net
