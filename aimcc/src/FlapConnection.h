// CFlapConnection: one TCP connection to an OSCAR server, cut into FLAP
// frames. The socket is non-blocking and selected onto the session's event
// window (WSAAsyncSelect), so connecting, reading and writing all happen on
// the session's thread from its message loop; only a host name that needs
// looking up goes to a short-lived worker thread, which posts the answer
// back through the same loop.
//
// The owner hears of three things: the connection is up, a frame arrived,
// the connection ended (with the reason as a result). After Close, or after
// the end has been reported, nothing more is reported. A handler may call
// Close on this connection; it must not destroy it (the owner destroys
// connections from a posted task).
#pragma once

#include "EventWindow.h"

#include "Flap.h"
#include "Snac.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace AIMCC {

class CFlapConnection {
public:
    struct Handlers {
        std::function<void()> connected;
        std::function<void(oscar::FlapFrame&)> frame;
        // ACC_E_HOST_NOT_FOUND, ACC_E_CONNECT_FAILED, ACC_E_PROTOCOL_ERROR
        // (a frame that cannot be read), ACC_E_CONNECTION_LOST (closed).
        std::function<void(HRESULT)> ended;
    };

    explicit CFlapConnection(std::shared_ptr<CEventWindow> loop);
    ~CFlapConnection();
    CFlapConnection(const CFlapConnection&) = delete;
    CFlapConnection& operator=(const CFlapConnection&) = delete;

    // Starts connecting; the outcome comes through the handlers. Fails at
    // once only when no socket can be made.
    HRESULT Connect(const std::string& host, uint16_t port, Handlers handlers);
    // Queues a frame; it goes out as the socket takes it.
    void Send(uint8_t channel, const oscar::Bytes& payload);
    void SendSnac(const oscar::Snac& snac) { Send(oscar::flap::kData, oscar::EncodeSnac(snac)); }
    // Sends what is queued if the socket takes it now, then closes. Nothing
    // is reported afterwards.
    void Close();
    bool Open() const { return socket_ != kNoSocket && !ended_; }

private:
    static constexpr SocketHandle kNoSocket = ~SocketHandle(0);

    void ConnectTo(unsigned long address, uint16_t port);
    void OnSocket(WORD event, WORD error);
    void ReadAll();
    void Flush();
    void End(HRESULT result);
    void CloseSocket();

    std::shared_ptr<CEventWindow> loop_;
    Handlers handlers_;
    SocketHandle socket_ = kNoSocket;
    bool connected_ = false;
    bool ended_ = false;
    oscar::FlapReader reader_;
    oscar::FlapSequence sequence_;
    oscar::Bytes outgoing_;
    // Tells a pending host lookup that this object is gone.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace AIMCC
