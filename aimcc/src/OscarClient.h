// COscarClient: the transport of the shipping DLL. It speaks OSCAR through
// the codec in aimcc/oscar/:
// - login connection: BUCP (challenge, MD5 login), which yields the service
//   host and a cookie (states 150, 200, 300);
// - service (BOS) connection: the cookie, then the start-up of every food
//   group the client uses (versions, rate classes, own info, locate, buddy,
//   ICBM and buddy-list rights, the stored buddy list), then "client online"
//   (states 350, 400, 500);
// - online: presence (03,0B / 03,0C), messages and typing (04,06 / 04,07 /
//   04,14 with host acks and errors), profile and away texts (02,04, 02,15),
//   status (01,1E, 01,11) and buddy-list edits (13,08-13,0A in clusters,
//   answered by 13,0E).
//
// Everything runs on the session's thread: the sockets are selected onto
// the session's event window. Buddy-list edits are applied to the local copy
// when they are sent (so that edits in quick succession build on each
// other) and undone if the server refuses them.
#pragma once

#include "FlapConnection.h"
#include "Transport.h"

#include "Feedbag.h"
#include "Snac.h"
#include "UserInfo.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace AIMCC {

class COscarClient final : public ITransport {
public:
    COscarClient(std::shared_ptr<CEventWindow> loop, ITransportEvents& events);
    ~COscarClient() override;

    HRESULT SignOn(const SignOnSettings& settings) override;
    void SignOff() override;
    HRESULT SendIm(uint32_t token, const std::wstring& to, const std::wstring& html, long flags) override;
    HRESULT SendTyping(const std::wstring& to, long state) override;
    HRESULT RequestUserText(uint32_t token, const std::wstring& screenName, UserText kind) override;
    HRESULT SetAwayMessage(const std::wstring& html) override;
    HRESULT SetProfile(const std::wstring& html) override;
    HRESULT SetInvisible(bool invisible) override;
    HRESULT SetIdle(long seconds) override;
    HRESULT SetStatusText(const std::wstring& text) override;
    HRESULT AddGroup(const std::wstring& name, long position) override;
    HRESULT RemoveGroup(const std::wstring& name) override;
    HRESULT MoveGroup(const std::wstring& name, long position) override;
    HRESULT RenameGroup(const std::wstring& oldName, const std::wstring& newName) override;
    HRESULT AddBuddy(const std::wstring& group, const std::wstring& screenName, long position) override;
    HRESULT RemoveBuddy(const std::wstring& group, const std::wstring& screenName) override;
    HRESULT MoveBuddy(const std::wstring& fromGroup, const std::wstring& screenName, const std::wstring& toGroup,
                      long position) override;

private:
    enum class Phase { Idle, Login, Service, Online, Ended };

    // Login connection
    void OnLoginFrame(oscar::FlapFrame& frame);
    void OnLoginSnac(const oscar::Snac& snac);
    void OnLoginResponse(const oscar::Snac& snac);
    // Service connection
    void ConnectService(const std::string& address, const oscar::Bytes& cookie);
    void OnServiceFrame(oscar::FlapFrame& frame);
    void OnServiceSnac(const oscar::Snac& snac);
    void OnOservice(const oscar::Snac& snac);
    void OnRatesKnown(const oscar::Snac& snac);
    void OnBuddyListPart(const oscar::Snac& snac);
    void FinishStartUp();
    void OnMessage(const oscar::Snac& snac);
    void OnUserInfoReply(const oscar::Snac& snac);
    void OnEditStatus(const oscar::Snac& snac);
    void OnError(const oscar::Snac& snac);

    void Fail(HRESULT result);
    void Retire(std::unique_ptr<CFlapConnection> connection);
    uint32_t Send(oscar::Snac snac);
    template <class Message>
    uint32_t Request(const Message& message)
    {
        return Send(oscar::MakeSnac(message, 0));
    }
    bool Online() const { return phase_ == Phase::Online && service_; }
    BuddyListContents Contents() const;

    // Buddy-list edits: one cluster of item lists; `done` hears the result of
    // the first list (the one the edit is about).
    struct EditStep {
        oscar::SnacId kind;
        std::vector<oscar::feedbag::Item> items;
    };
    HRESULT SendEdit(std::vector<EditStep> steps, std::function<void(HRESULT)> done);
    void ApplyLocally(const EditStep& step);
    const oscar::feedbag::Item* Group(const std::wstring& name) const;
    std::vector<uint16_t> BuddyOrder(uint16_t groupId) const;
    std::vector<uint16_t> GroupOrder() const;
    EditStep RootUpdate(std::vector<uint16_t> order) const;
    EditStep GroupUpdate(const oscar::feedbag::Item& group, std::vector<uint16_t> order) const;

    std::shared_ptr<CEventWindow> loop_;
    ITransportEvents& events_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    Phase phase_ = Phase::Idle;
    SignOnSettings settings_;
    std::unique_ptr<CFlapConnection> login_;
    std::unique_ptr<CFlapConnection> service_;
    std::vector<std::unique_ptr<CFlapConnection>> retired_;
    UINT_PTR timeout_ = 0;
    uint32_t nextRequest_ = 1;
    uint64_t nextCookie_ = 0;

    std::vector<uint16_t> foodGroups_;
    oscar::feedbag::FeedbagList list_;
    bool listLoaded_ = false;

    std::map<uint32_t, uint32_t> sendsByRequest_;     // request id -> token
    std::map<uint64_t, uint32_t> sendsByCookie_;      // message cookie -> token
    struct TextRequest {
        uint32_t token;
        std::wstring screenName;
        UserText kind;
    };
    std::map<uint32_t, TextRequest> textRequests_;
    struct PendingEdit {
        EditStep step;
        std::function<void(HRESULT)> done;
        oscar::feedbag::FeedbagList before;   // restored when the server refuses
    };
    std::map<uint32_t, PendingEdit> edits_;
};

} // namespace AIMCC
