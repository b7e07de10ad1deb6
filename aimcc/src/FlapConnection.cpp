#include <winsock2.h>
#include <ws2tcpip.h>

#include "FlapConnection.h"

#include "AccCore.h"

#include <algorithm>
#include <thread>

namespace AIMCC {

namespace {

// A random start for the outgoing sequence numbers, as servers expect.
uint16_t FirstSequence()
{
    return static_cast<uint16_t>((GetTickCount() * 2654435761u) >> 17);
}

} // namespace

CFlapConnection::CFlapConnection(std::shared_ptr<CEventWindow> loop)
    : loop_(std::move(loop)), sequence_(FirstSequence())
{
}

CFlapConnection::~CFlapConnection()
{
    *alive_ = false;
    CloseSocket();
}

HRESULT CFlapConnection::Connect(const std::string& host, uint16_t port, Handlers handlers)
{
    handlers_ = std::move(handlers);
    in_addr numeric = {};
    if (inet_pton(AF_INET, host.c_str(), &numeric) == 1) {
        // Still reported from the loop, never from inside this call.
        unsigned long address = numeric.s_addr;
        std::weak_ptr<bool> alive = alive_;
        loop_->Post([this, alive, address, port] {
            auto live = alive.lock();
            if (live && *live && !ended_)
                ConnectTo(address, port);
        });
        return S_OK;
    }
    // getaddrinfo blocks; a worker does it and posts the answer back.
    std::weak_ptr<bool> alive = alive_;
    std::shared_ptr<CTaskPoster> poster = loop_->Poster();
    std::thread([this, alive, poster, host, port] {
        addrinfo hints = {};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        unsigned long address = INADDR_NONE;
        if (getaddrinfo(host.c_str(), nullptr, &hints, &found) == 0 && found) {
            address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
            freeaddrinfo(found);
        }
        poster->Post([this, alive, address, port] {
            auto live = alive.lock();
            if (!live || !*live || ended_)
                return;
            if (address == INADDR_NONE)
                End(ACC_E_HOST_NOT_FOUND);
            else
                ConnectTo(address, port);
        });
    }).detach();
    return S_OK;
}

void CFlapConnection::ConnectTo(unsigned long address, uint16_t port)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        End(ACC_E_CONNECT_FAILED);
        return;
    }
    socket_ = s;
    // WSAAsyncSelect makes the socket non-blocking.
    int error = loop_->SelectSocket(s, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE,
                                    [this](WORD event, WORD code) { OnSocket(event, code); });
    if (error) {
        End(ACC_E_CONNECT_FAILED);
        return;
    }
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = address;
    if (connect(s, reinterpret_cast<sockaddr*>(&to), sizeof(to)) == SOCKET_ERROR
        && WSAGetLastError() != WSAEWOULDBLOCK)
        End(ACC_E_CONNECT_FAILED);
}

void CFlapConnection::OnSocket(WORD event, WORD error)
{
    if (ended_)
        return;
    switch (event) {
    case FD_CONNECT:
        if (error) {
            End(ACC_E_CONNECT_FAILED);
            return;
        }
        connected_ = true;
        if (handlers_.connected)
            handlers_.connected();
        if (!ended_)
            Flush();
        break;
    case FD_READ:
        ReadAll();
        break;
    case FD_WRITE:
        Flush();
        break;
    case FD_CLOSE:
        // Whatever the server said last is still worth reading.
        ReadAll();
        if (!ended_)
            End(ACC_E_CONNECTION_LOST);
        break;
    default:
        break;
    }
}

void CFlapConnection::ReadAll()
{
    uint8_t buffer[8192];
    for (;;) {
        if (ended_)
            return;
        int got = recv(socket_, reinterpret_cast<char*>(buffer), sizeof(buffer), 0);
        if (got == 0)
            break;
        if (got == SOCKET_ERROR) {
            int error = WSAGetLastError();
            if (error == WSAEWOULDBLOCK)
                break;
            End(ACC_E_CONNECTION_LOST);
            return;
        }
        reader_.Append(buffer, static_cast<size_t>(got));
        oscar::FlapFrame frame;
        for (;;) {
            oscar::FlapParse parse = reader_.Next(frame);
            if (parse == oscar::FlapParse::NeedMore)
                break;
            if (parse == oscar::FlapParse::Malformed) {
                End(ACC_E_PROTOCOL_ERROR);
                return;
            }
            if (handlers_.frame)
                handlers_.frame(frame);
            if (ended_)
                return;
        }
    }
}

void CFlapConnection::Send(uint8_t channel, const oscar::Bytes& payload)
{
    if (ended_)
        return;
    oscar::FlapFrame frame;
    frame.channel = channel;
    frame.sequence = sequence_.Next();
    frame.payload = payload;
    if (!oscar::EncodeFlap(frame, outgoing_))
        return;
    if (connected_)
        Flush();
}

void CFlapConnection::Flush()
{
    while (!outgoing_.empty() && socket_ != kNoSocket) {
        int sent = send(socket_, reinterpret_cast<const char*>(outgoing_.data()),
                        static_cast<int>(std::min<size_t>(outgoing_.size(), 0x10000)), 0);
        if (sent == SOCKET_ERROR) {
            if (WSAGetLastError() != WSAEWOULDBLOCK)
                End(ACC_E_CONNECTION_LOST);
            // FD_WRITE says when the socket takes more.
            return;
        }
        outgoing_.erase(outgoing_.begin(), outgoing_.begin() + sent);
    }
}

void CFlapConnection::End(HRESULT result)
{
    if (ended_)
        return;
    ended_ = true;
    CloseSocket();
    if (handlers_.ended)
        handlers_.ended(result);
}

void CFlapConnection::Close()
{
    if (ended_)
        return;
    ended_ = true;
    if (connected_)
        Flush();
    CloseSocket();
}

void CFlapConnection::CloseSocket()
{
    if (socket_ == kNoSocket)
        return;
    loop_->ForgetSocket(socket_);
    closesocket(socket_);
    socket_ = kNoSocket;
}

} // namespace AIMCC
