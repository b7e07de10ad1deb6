#include "Net.h"

#ifdef _WIN32
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstring>
#include <mutex>

namespace oscar::net {

namespace {

#ifdef _WIN32
using PollFd = WSAPOLLFD;
int PollCall(PollFd* fds, size_t count, int timeoutMs) { return WSAPoll(fds, static_cast<ULONG>(count), timeoutMs); }
bool WouldBlock() { return WSAGetLastError() == WSAEWOULDBLOCK; }
bool SetNonBlocking(Socket s)
{
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0;
}
constexpr int kSendFlags = 0;
using SockLen = int;
#else
using PollFd = pollfd;
int PollCall(PollFd* fds, size_t count, int timeoutMs) { return poll(fds, count, timeoutMs); }
bool WouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK; }
bool SetNonBlocking(Socket s)
{
    int flags = fcntl(s, F_GETFL, 0);
    return flags >= 0 && fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0;
}
// A peer that has gone must not kill the process with SIGPIPE.
constexpr int kSendFlags = MSG_NOSIGNAL;
using SockLen = socklen_t;
#endif

bool MakeAddress(const std::string& host, uint16_t port, sockaddr_in& addr)
{
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    std::string numeric = host == "localhost" ? "127.0.0.1" : host;
    return inet_pton(AF_INET, numeric.c_str(), &addr.sin_addr) == 1;
}

void NoDelay(Socket s)
{
    // Small frames, request and reply: waiting to coalesce them only adds latency.
    int on = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

} // namespace

bool Startup()
{
#ifdef _WIN32
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] {
        WSADATA data;
        ok = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    });
    return ok;
#else
    return true;
#endif
}

Socket Listen(const std::string& host, uint16_t port, uint16_t* boundPort, std::string* error)
{
    auto fail = [&](const char* what) {
        if (error)
            *error = std::string(what) + " " + host + ":" + std::to_string(port);
        return kInvalidSocket;
    };
    sockaddr_in addr;
    if (!Startup() || !MakeAddress(host, port, addr))
        return fail("bad address");
    Socket s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == kInvalidSocket)
        return fail("no socket for");
#ifndef _WIN32
    // Lets a restarted server take its port back at once. (On Windows the
    // same option would let two servers share a port, so it stays off there.)
    int on = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
#endif
    if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        Close(s);
        return fail("cannot bind");
    }
    if (listen(s, 16) != 0 || !SetNonBlocking(s)) {
        Close(s);
        return fail("cannot listen on");
    }
    if (boundPort) {
        sockaddr_in bound;
        SockLen length = sizeof bound;
        getsockname(s, reinterpret_cast<sockaddr*>(&bound), &length);
        *boundPort = ntohs(bound.sin_port);
    }
    return s;
}

Socket Connect(const std::string& host, uint16_t port)
{
    sockaddr_in addr;
    if (!Startup() || !MakeAddress(host, port, addr))
        return kInvalidSocket;
    Socket s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == kInvalidSocket)
        return kInvalidSocket;
    if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        Close(s);
        return kInvalidSocket;
    }
    NoDelay(s);
    return s;
}

Socket Accept(Socket listener)
{
    Socket s = accept(listener, nullptr, nullptr);
    if (s == kInvalidSocket)
        return kInvalidSocket;
    // Sockets accepted from a non-blocking listener do not inherit the mode everywhere.
    if (!SetNonBlocking(s)) {
        Close(s);
        return kInvalidSocket;
    }
    NoDelay(s);
    return s;
}

Socket WakeSocket(uint16_t* boundPort)
{
    sockaddr_in addr;
    if (!Startup() || !MakeAddress("127.0.0.1", 0, addr))
        return kInvalidSocket;
    Socket s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == kInvalidSocket)
        return kInvalidSocket;
    if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || !SetNonBlocking(s)) {
        Close(s);
        return kInvalidSocket;
    }
    sockaddr_in bound;
    SockLen length = sizeof bound;
    getsockname(s, reinterpret_cast<sockaddr*>(&bound), &length);
    *boundPort = ntohs(bound.sin_port);
    return s;
}

void Poke(Socket wake, uint16_t port)
{
    sockaddr_in addr;
    MakeAddress("127.0.0.1", port, addr);
    char byte = 1;
    sendto(wake, &byte, 1, 0, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
}

void Drain(Socket wake)
{
    char buffer[64];
    while (recv(wake, buffer, sizeof buffer, 0) > 0) {
    }
}

long Send(Socket s, const uint8_t* data, size_t size)
{
    int chunk = size > 0x10000 ? 0x10000 : static_cast<int>(size);
    long n = send(s, reinterpret_cast<const char*>(data), chunk, kSendFlags);
    if (n < 0)
        return WouldBlock() ? kWouldBlock : kError;
    return n;
}

long Recv(Socket s, uint8_t* data, size_t size)
{
    int chunk = size > 0x10000 ? 0x10000 : static_cast<int>(size);
    long n = recv(s, reinterpret_cast<char*>(data), chunk, 0);
    if (n < 0)
        return WouldBlock() ? kWouldBlock : kError;
    return n;
}

bool SendAll(Socket s, const uint8_t* data, size_t size)
{
    while (size > 0) {
        long n = Send(s, data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void Close(Socket s)
{
    if (s == kInvalidSocket)
        return;
#ifdef _WIN32
    closesocket(s);
#else
    close(s);
#endif
}

int WaitReadable(Socket s, int timeoutMs)
{
    std::vector<PollEntry> entries(1);
    entries[0].socket = s;
    if (!Poll(entries, timeoutMs))
        return -1;
    return entries[0].readable ? 1 : 0;
}

bool Poll(std::vector<PollEntry>& entries, int timeoutMs)
{
    std::vector<PollFd> fds(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        fds[i].fd = entries[i].socket;
        fds[i].events = static_cast<short>(POLLIN | (entries[i].wantWrite ? POLLOUT : 0));
        fds[i].revents = 0;
    }
    int n = PollCall(fds.data(), fds.size(), timeoutMs);
    if (n < 0) {
#ifndef _WIN32
        if (errno == EINTR) {
            for (PollEntry& e : entries)
                e.readable = e.writable = false;
            return true;
        }
#endif
        return false;
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        // A closed or failed peer shows as readable: the read then reports it.
        entries[i].readable = (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
        entries[i].writable = (fds[i].revents & POLLOUT) != 0;
    }
    return true;
}

} // namespace oscar::net
