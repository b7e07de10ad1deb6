#include "OscarClient.h"

#include "AccCore.h"
#include "OscarResults.h"
#include "StringConv.h"

#include "Bucp.h"
#include "Buddy.h"
#include "Icbm.h"
#include "Locate.h"
#include "Oservice.h"
#include "ScreenName.h"

#include <algorithm>

namespace AIMCC {

namespace fb = oscar::feedbag;

namespace {

// A sign-on that has not reached "online" by then has failed.
const UINT kSignOnTimeoutMs = 30000;

// The food groups and versions this client speaks.
const oscar::oservice::FoodGroupVersion kVersions[] = {
    {oscar::foodgroup::kOservice, 4}, {oscar::foodgroup::kLocate, 1}, {oscar::foodgroup::kBuddy, 1},
    {oscar::foodgroup::kIcbm, 1},     {oscar::foodgroup::kFeedbag, 4},
};

// Profile and away texts go out as UTF-8.
const char kTextMime[] = "text/aolrtf; charset=\"utf-8\"";

std::wstring Wide(const std::string& utf8)
{
    return Utf8ToWide(utf8);
}

std::string Narrow(const std::wstring& wide)
{
    return WideToUtf8(wide);
}

// Profile and away texts arrive in the charset their MIME type names.
std::wstring DecodeText(const std::optional<std::string>& mime, const std::string& bytes)
{
    std::string type = mime.value_or("");
    std::transform(type.begin(), type.end(), type.begin(), [](char c) { return static_cast<char>(tolower(c)); });
    if (type.find("unicode-2-0") != std::string::npos) {
        std::wstring out;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            out += static_cast<wchar_t>((static_cast<uint8_t>(bytes[i]) << 8) | static_cast<uint8_t>(bytes[i + 1]));
        return out;
    }
    if (type.find("iso-8859-1") != std::string::npos) {
        std::wstring out;
        for (char c : bytes)
            out += static_cast<wchar_t>(static_cast<uint8_t>(c));
        return out;
    }
    return Wide(bytes);
}

UserInfo ToUserInfo(const oscar::UserInfo& info)
{
    UserInfo out;
    out.screenName = Wide(info.screenName);
    out.userClass = info.Flags();
    out.away = info.IsAway() || (info.Status().value_or(0) & oscar::userinfo::kStatusAway);
    out.idleMinutes = info.IdleMinutes();
    out.signOnTime = info.SignonTime().value_or(0);
    for (const oscar::Capability& cap : info.Capabilities())
        out.capabilities.push_back(L"{" + Wide(oscar::FormatCapability(cap)) + L"}");
    return out;
}

long TypingState(uint16_t event)
{
    switch (event) {
    case oscar::icbm::typing::kBegun:
        return AccTyping::Typing;
    case oscar::icbm::typing::kPaused:
        return AccTyping::TextEntered;
    default:
        return AccTyping::None;
    }
}

uint16_t TypingEvent(long state)
{
    switch (state) {
    case AccTyping::Typing:
        return oscar::icbm::typing::kBegun;
    case AccTyping::TextEntered:
        return oscar::icbm::typing::kPaused;
    default:
        return oscar::icbm::typing::kFinished;
    }
}

std::vector<uint16_t> InsertAt(std::vector<uint16_t> order, uint16_t id, long position)
{
    order.erase(std::remove(order.begin(), order.end(), id), order.end());
    if (position < 0 || position > static_cast<long>(order.size()))
        position = static_cast<long>(order.size());
    order.insert(order.begin() + position, id);
    return order;
}

std::vector<uint16_t> Without(std::vector<uint16_t> order, uint16_t id)
{
    order.erase(std::remove(order.begin(), order.end(), id), order.end());
    return order;
}

} // namespace

COscarClient::COscarClient(std::shared_ptr<CEventWindow> loop, ITransportEvents& events)
    : loop_(std::move(loop)), events_(events)
{
    // Message cookies only need to differ between this client's messages.
    nextCookie_ = (static_cast<uint64_t>(GetTickCount()) << 32) | GetCurrentProcessId();
}

COscarClient::~COscarClient()
{
    *alive_ = false;
    if (timeout_)
        loop_->StopTimer(timeout_);
}

// ---------------------------------------------------------------------------
// Sign-on
// ---------------------------------------------------------------------------

HRESULT COscarClient::SignOn(const SignOnSettings& settings)
{
    if (phase_ != Phase::Idle)
        return E_UNEXPECTED;
    settings_ = settings;
    login_ = std::make_unique<CFlapConnection>(loop_);
    CFlapConnection::Handlers handlers;
    handlers.frame = [this](oscar::FlapFrame& frame) { OnLoginFrame(frame); };
    handlers.ended = [this](HRESULT result) {
        // Connecting to the login host is the first step; anything else
        // ending the login connection early is the server's doing.
        Fail(result == ACC_E_CONNECTION_LOST ? ACC_E_SERVER_CLOSED : result);
    };
    HRESULT hr = login_->Connect(Narrow(settings.host), settings.port, std::move(handlers));
    if (FAILED(hr))
        return hr;
    phase_ = Phase::Login;
    std::weak_ptr<bool> alive = alive_;
    timeout_ = loop_->StartTimer(kSignOnTimeoutMs, [this, alive] {
        auto live = alive.lock();
        if (live && *live && phase_ != Phase::Online)
            Fail(ACC_E_CONNECT_TIMEOUT);
    });
    return S_OK;
}

void COscarClient::SignOff()
{
    phase_ = Phase::Ended;
    if (timeout_) {
        loop_->StopTimer(timeout_);
        timeout_ = 0;
    }
    if (service_) {
        service_->Send(oscar::flap::kSignoff, {});
        service_->Close();
    }
    if (login_)
        login_->Close();
}

void COscarClient::Fail(HRESULT result)
{
    if (phase_ == Phase::Ended)
        return;
    phase_ = Phase::Ended;
    if (timeout_) {
        loop_->StopTimer(timeout_);
        timeout_ = 0;
    }
    if (login_)
        login_->Close();
    if (service_)
        service_->Close();
    events_.OnState(AccState::Offline, result);
}

void COscarClient::Retire(std::unique_ptr<CFlapConnection> connection)
{
    if (!connection)
        return;
    connection->Close();
    // It may be the connection whose callback is running now.
    retired_.push_back(std::move(connection));
    std::weak_ptr<bool> alive = alive_;
    loop_->Post([this, alive] {
        auto live = alive.lock();
        if (live && *live)
            retired_.clear();
    });
}

void COscarClient::OnLoginFrame(oscar::FlapFrame& frame)
{
    if (frame.channel == oscar::flap::kSignon) {
        // The server's hello: answer with ours (no TLVs: BUCP follows), then
        // ask for the key for this name.
        login_->Send(oscar::flap::kSignon, oscar::Encode(oscar::SignonFrame{}));
        oscar::bucp::ChallengeRequest request;
        request.screenName = Narrow(settings_.screenName);
        login_->SendSnac(oscar::MakeSnac(request, nextRequest_++));
        events_.OnState(AccState::Challenge, S_OK);
        return;
    }
    if (frame.channel == oscar::flap::kSignoff) {
        // Some servers refuse a login with the error inside a signoff frame.
        oscar::ByteReader reader(frame.payload);
        oscar::TlvList tlvs = oscar::ReadTlvRest(reader);
        auto code = tlvs.U8OrU16(oscar::signoff::kTagErrorCode);
        Fail(code ? LoginErrorResult(*code) : ACC_E_SERVER_CLOSED);
        return;
    }
    if (frame.channel != oscar::flap::kData)
        return;
    oscar::Snac snac;
    if (!oscar::DecodeSnac(frame.payload, snac)) {
        Fail(ACC_E_PROTOCOL_ERROR);
        return;
    }
    OnLoginSnac(snac);
}

void COscarClient::OnLoginSnac(const oscar::Snac& snac)
{
    if (snac.Is(oscar::bucp::kChallengeResponse)) {
        oscar::bucp::ChallengeResponse challenge;
        if (!oscar::bucp::Decode(snac.body, challenge)) {
            Fail(ACC_E_PROTOCOL_ERROR);
            return;
        }
        oscar::bucp::LoginRequest request;
        request.screenName = Narrow(settings_.screenName);
        request.passwordHash = oscar::bucp::StrongPasswordHash(challenge.key, Narrow(settings_.password));
        request.clientName = Narrow(settings_.clientDescription);
        request.majorVersion = settings_.version[0];
        request.minorVersion = settings_.version[1];
        request.pointVersion = settings_.version[2];
        request.buildNumber = settings_.version[3];
        login_->SendSnac(oscar::MakeSnac(request, nextRequest_++));
        events_.OnState(AccState::Authorizing, S_OK);
        return;
    }
    if (snac.Is(oscar::bucp::kLoginResponse)) {
        OnLoginResponse(snac);
        return;
    }
    if (snac.Is(oscar::bucp::kError))
        Fail(ACC_E_SERVICE_UNAVAILABLE);
}

void COscarClient::OnLoginResponse(const oscar::Snac& snac)
{
    oscar::bucp::LoginResponse response;
    if (!oscar::bucp::Decode(snac.body, response)) {
        Fail(ACC_E_PROTOCOL_ERROR);
        return;
    }
    if (!response.Succeeded()) {
        Fail(response.errorCode ? LoginErrorResult(response.errorCode) : ACC_E_PROTOCOL_ERROR);
        return;
    }
    events_.OnState(AccState::Redirecting, S_OK);
    if (phase_ == Phase::Ended)
        return;
    Retire(std::move(login_));
    ConnectService(response.bosAddress, response.cookie);
}

void COscarClient::ConnectService(const std::string& address, const oscar::Bytes& cookie)
{
    std::string host;
    uint16_t port = 0;
    if (!oscar::bucp::SplitHostPort(address, host, port)) {
        Fail(ACC_E_PROTOCOL_ERROR);
        return;
    }
    phase_ = Phase::Service;
    service_ = std::make_unique<CFlapConnection>(loop_);
    CFlapConnection::Handlers handlers;
    handlers.frame = [this, cookie](oscar::FlapFrame& frame) {
        if (frame.channel == oscar::flap::kSignon) {
            oscar::SignonFrame signon;
            signon.tlvs.Add(oscar::signon::kTagCookie, cookie);
            service_->Send(oscar::flap::kSignon, oscar::Encode(signon));
            return;
        }
        OnServiceFrame(frame);
    };
    handlers.ended = [this](HRESULT result) {
        if (phase_ == Phase::Online)
            Fail(result);
        else
            Fail(result == ACC_E_CONNECTION_LOST ? ACC_E_SERVER_CLOSED : result);
    };
    HRESULT hr = service_->Connect(host, port, std::move(handlers));
    if (FAILED(hr)) {
        Fail(hr);
        return;
    }
    events_.OnState(AccState::ConnectingService, S_OK);
}

uint32_t COscarClient::Send(oscar::Snac snac)
{
    uint32_t id = nextRequest_++;
    // Our request ids stay below the range servers use for their own.
    if (nextRequest_ >= oscar::kServerRequestId)
        nextRequest_ = 1;
    snac.requestId = id;
    if (service_)
        service_->SendSnac(snac);
    return id;
}

void COscarClient::OnServiceFrame(oscar::FlapFrame& frame)
{
    if (frame.channel == oscar::flap::kSignoff) {
        oscar::ByteReader reader(frame.payload);
        oscar::TlvList tlvs = oscar::ReadTlvRest(reader);
        if (auto code = tlvs.U8OrU16(oscar::signoff::kTagErrorCode); code && phase_ != Phase::Online)
            Fail(LoginErrorResult(*code));
        else
            Fail(SignoffResult(tlvs.U8OrU16(oscar::signoff::kTagReason).value_or(0)));
        return;
    }
    if (frame.channel != oscar::flap::kData)
        return;
    oscar::Snac snac;
    if (!oscar::DecodeSnac(frame.payload, snac)) {
        Fail(ACC_E_PROTOCOL_ERROR);
        return;
    }
    OnServiceSnac(snac);
}

void COscarClient::OnServiceSnac(const oscar::Snac& snac)
{
    if (snac.subgroup == oscar::kSubgroupError) {
        OnError(snac);
        return;
    }
    switch (snac.group) {
    case oscar::foodgroup::kOservice:
        OnOservice(snac);
        return;
    case oscar::foodgroup::kBuddy:
        if (snac.Is(oscar::buddy::kArrived)) {
            oscar::buddy::Arrived arrived;
            if (oscar::buddy::Decode(snac.body, arrived))
                events_.OnUserArrived(ToUserInfo(arrived.user));
        } else if (snac.Is(oscar::buddy::kDeparted)) {
            oscar::buddy::Departed departed;
            if (oscar::buddy::Decode(snac.body, departed))
                events_.OnUserDeparted(Wide(departed.user.screenName));
        }
        return;
    case oscar::foodgroup::kIcbm:
        OnMessage(snac);
        return;
    case oscar::foodgroup::kLocate:
        if (snac.Is(oscar::locate::kUserInfoReply))
            OnUserInfoReply(snac);
        return;
    case oscar::foodgroup::kFeedbag:
        if (snac.Is(fb::kReply))
            OnBuddyListPart(snac);
        else if (snac.Is(fb::kStatus))
            OnEditStatus(snac);
        return;
    default:
        return;
    }
}

void COscarClient::OnOservice(const oscar::Snac& snac)
{
    namespace os = oscar::oservice;
    if (snac.Is(os::kHostOnline)) {
        os::HostOnline online;
        if (!os::Decode(snac.body, online)) {
            Fail(ACC_E_PROTOCOL_ERROR);
            return;
        }
        foodGroups_ = online.foodGroups;
        events_.OnState(AccState::ServiceSetup, S_OK);
        if (phase_ == Phase::Ended)
            return;
        os::ClientVersions versions;
        for (const os::FoodGroupVersion& version : kVersions) {
            if (std::find(foodGroups_.begin(), foodGroups_.end(), version.foodGroup) != foodGroups_.end())
                versions.versions.push_back(version);
        }
        Request(versions);
        return;
    }
    if (snac.Is(os::kHostVersions)) {
        Send(oscar::MakeEmptySnac(os::kRateParamsQuery, 0));
        return;
    }
    if (snac.Is(os::kRateParamsReply)) {
        OnRatesKnown(snac);
        return;
    }
    if (snac.Is(os::kUserInfoUpdate)) {
        os::UserInfoUpdate update;
        if (os::Decode(snac.body, update) && !update.users.empty())
            events_.OnSelfInfo(ToUserInfo(update.users.front()));
        return;
    }
    // Message of the day, rate changes, warnings: nothing the client shows.
}

void COscarClient::OnRatesKnown(const oscar::Snac& snac)
{
    namespace os = oscar::oservice;
    os::RateParamsReply rates;
    if (!os::Decode(snac.body, rates)) {
        Fail(ACC_E_PROTOCOL_ERROR);
        return;
    }
    os::RateParamsSubscribe subscribe;
    for (const os::RateClass& rateClass : rates.classes)
        subscribe.classIds.push_back(rateClass.id);
    Request(subscribe);

    // The rest of the start-up; the answers come in any order.
    Send(oscar::MakeEmptySnac(os::kUserInfoQuery, 0));
    Send(oscar::MakeEmptySnac(oscar::locate::kRightsQuery, 0));
    oscar::locate::SetInfo info;
    info.profileMime = kTextMime;
    info.profile = Narrow(settings_.profile);
    if (!settings_.awayMessage.empty()) {
        info.awayMime = kTextMime;
        info.awayMessage = Narrow(settings_.awayMessage);
    }
    info.capabilities = std::vector<oscar::Capability>();
    Request(info);
    Send(oscar::MakeEmptySnac(oscar::buddy::kRightsQuery, 0));
    Send(oscar::MakeEmptySnac(oscar::icbm::kParamsQuery, 0));
    oscar::icbm::AddParams params;
    params.channel = 0;
    params.flags = oscar::icbm::paramflag::kMessagesAllowed | oscar::icbm::paramflag::kMissedCalls
        | oscar::icbm::paramflag::kTypingNotifications;
    params.maxMessageLength = 8000;
    params.maxSenderWarning = 999;
    params.maxReceiverWarning = 999;
    Request(params);
    Send(oscar::MakeEmptySnac(fb::kRightsQuery, 0));
    list_ = fb::FeedbagList();
    listLoaded_ = false;
    Send(oscar::MakeEmptySnac(fb::kQuery, 0));
}

void COscarClient::OnBuddyListPart(const oscar::Snac& snac)
{
    if (listLoaded_)
        return;
    fb::Reply reply;
    if (!fb::Decode(snac.body, reply)) {
        Fail(ACC_E_PROTOCOL_ERROR);
        return;
    }
    list_.items.insert(list_.items.end(), reply.items.begin(), reply.items.end());
    // A list split over several answers says so in the flags of all but the last.
    if (snac.flags & oscar::snacflag::kMoreReplies)
        return;
    listLoaded_ = true;
    FinishStartUp();
}

void COscarClient::FinishStartUp()
{
    namespace os = oscar::oservice;
    events_.OnBuddyList(Contents());
    if (phase_ == Phase::Ended)
        return;
    Send(oscar::MakeEmptySnac(fb::kUse, 0));
    os::SetUserInfoFields status;
    status.status = settings_.invisible ? oscar::userinfo::kStatusInvisible : oscar::userinfo::kStatusAvailable;
    Request(status);
    if (settings_.idleSeconds > 0)
        Request(os::IdleNotification{static_cast<uint32_t>(settings_.idleSeconds)});
    os::ClientOnline online;
    for (const os::FoodGroupVersion& version : kVersions)
        online.entries.push_back(os::ClientOnlineEntry{version.foodGroup, version.version, 0x0110, 0x164F});
    Request(online);
    phase_ = Phase::Online;
    if (timeout_) {
        loop_->StopTimer(timeout_);
        timeout_ = 0;
    }
    events_.OnState(AccState::Online, S_OK);
}

BuddyListContents COscarClient::Contents() const
{
    BuddyListContents contents;
    for (const fb::Item* group : list_.Groups()) {
        BuddyGroupEntry entry;
        entry.name = Wide(group->name);
        for (const fb::Item* buddy : list_.Buddies(group->groupId)) {
            BuddyEntry b;
            b.screenName = Wide(buddy->name);
            b.alias = Wide(buddy->Alias().value_or(""));
            b.note = Wide(buddy->attributes.String(fb::attr::kNote).value_or(""));
            entry.buddies.push_back(b);
        }
        contents.groups.push_back(entry);
    }
    return contents;
}

// ---------------------------------------------------------------------------
// Messages
// ---------------------------------------------------------------------------

HRESULT COscarClient::SendIm(uint32_t token, const std::wstring& to, const std::wstring& html, long flags)
{
    if (!Online())
        return ACC_E_NOT_CONNECTED;
    oscar::icbm::InstantMessage im = oscar::icbm::InstantMessage::FromUtf8(Narrow(html));
    im.autoResponse = (flags & AccImFlags::AutoResponse) != 0;
    im.storeOffline = (flags & AccImFlags::Offline) != 0;
    // The server acknowledges a message it takes; its error otherwise.
    im.requestHostAck = !im.autoResponse;
    uint64_t cookie = ++nextCookie_;
    uint32_t request = Request(oscar::icbm::MakeImToHost(cookie, Narrow(to), im));
    sendsByRequest_[request] = token;
    if (im.requestHostAck) {
        sendsByCookie_[cookie] = token;
    } else {
        // Nothing will come back for an automatic reply that went out.
        std::weak_ptr<bool> alive = alive_;
        loop_->Post([this, alive, token, request] {
            auto live = alive.lock();
            if (live && *live && sendsByRequest_.erase(request))
                events_.OnSendResult(token, S_OK);
        });
    }
    return S_OK;
}

HRESULT COscarClient::SendTyping(const std::wstring& to, long state)
{
    if (!Online())
        return ACC_E_NOT_CONNECTED;
    oscar::icbm::ClientEvent event;
    event.channel = oscar::icbm::channel::kIm;
    event.screenName = Narrow(to);
    event.event = TypingEvent(state);
    Request(event);
    return S_OK;
}

void COscarClient::OnMessage(const oscar::Snac& snac)
{
    namespace im = oscar::icbm;
    if (snac.Is(im::kChannelMsgToClient)) {
        im::ChannelMsgToClient message;
        if (!im::Decode(snac.body, message) || message.channel != im::channel::kIm)
            return;
        im::InstantMessage text;
        if (!im::ImFromTlvs(message.tlvs, text))
            return;
        IncomingIm incoming;
        incoming.from = Wide(message.sender.screenName);
        incoming.html = Wide(text.TextUtf8());
        incoming.autoResponse = text.autoResponse;
        incoming.offline = text.sendTime.has_value();
        events_.OnImReceived(incoming);
        return;
    }
    if (snac.Is(im::kClientEvent)) {
        im::ClientEvent event;
        if (im::Decode(snac.body, event))
            events_.OnTyping(Wide(event.screenName), TypingState(event.event));
        return;
    }
    if (snac.Is(im::kHostAck)) {
        im::HostAck ack;
        if (!im::Decode(snac.body, ack))
            return;
        auto it = sendsByCookie_.find(ack.cookie);
        if (it == sendsByCookie_.end())
            return;
        uint32_t token = it->second;
        sendsByCookie_.erase(it);
        sendsByRequest_.erase(snac.requestId);
        events_.OnSendResult(token, S_OK);
    }
}

// ---------------------------------------------------------------------------
// Texts of other users, own status
// ---------------------------------------------------------------------------

HRESULT COscarClient::RequestUserText(uint32_t token, const std::wstring& screenName, UserText kind)
{
    if (!Online())
        return ACC_E_NOT_CONNECTED;
    oscar::locate::UserInfoQuery2 query;
    query.flags = kind == UserText::AwayMessage ? oscar::locate::query::kAwayMessage : oscar::locate::query::kProfile;
    query.screenName = Narrow(screenName);
    uint32_t request = Request(query);
    textRequests_[request] = TextRequest{token, screenName, kind};
    return S_OK;
}

void COscarClient::OnUserInfoReply(const oscar::Snac& snac)
{
    auto it = textRequests_.find(snac.requestId);
    if (it == textRequests_.end())
        return;
    TextRequest request = it->second;
    textRequests_.erase(it);
    oscar::locate::UserInfoReply reply;
    if (!oscar::locate::Decode(snac.body, reply)) {
        events_.OnUserText(request.token, request.screenName, request.kind, L"", ACC_E_PROTOCOL_ERROR);
        return;
    }
    std::wstring html = request.kind == UserText::AwayMessage
        ? DecodeText(reply.awayMime, reply.awayMessage.value_or(""))
        : DecodeText(reply.profileMime, reply.profile.value_or(""));
    events_.OnUserText(request.token, request.screenName, request.kind, html, S_OK);
}

HRESULT COscarClient::SetAwayMessage(const std::wstring& html)
{
    if (!Online())
        return ACC_E_NOT_CONNECTED;
    oscar::locate::SetInfo info;
    info.awayMime = kTextMime;
    info.awayMessage = Narrow(html);
    Request(info);
    return S_OK;
}

HRESULT COscarClient::SetProfile(const std::wstring& html)
{
    if (!Online())
        return ACC_E_NOT_CONNECTED;
    oscar::locate::SetInfo info;
    info.profileMime = kTextMime;
    info.profile = Narrow(html);
    Request(info);
    return S_OK;
}

HRESULT COscarClient::SetInvisible(bool invisible)
{
    if (!Online())
        return ACC_E_NOT_CONNECTED;
    oscar::oservice::SetUserInfoFields status;
    status.status = invisible ? oscar::userinfo::kStatusInvisible : oscar::userinfo::kStatusAvailable;
    Request(status);
    return S_OK;
}

HRESULT COscarClient::SetIdle(long seconds)
{
    if (!Online())
        return ACC_E_NOT_CONNECTED;
    Request(oscar::oservice::IdleNotification{static_cast<uint32_t>(seconds > 0 ? seconds : 0)});
    return S_OK;
}

HRESULT COscarClient::SetStatusText(const std::wstring&)
{
    // The status text travels as an expression item, which this build does
    // not upload; the session keeps it locally.
    return Online() ? S_OK : ACC_E_NOT_CONNECTED;
}

void COscarClient::OnError(const oscar::Snac& snac)
{
    oscar::SnacError error;
    uint16_t code = oscar::snacerror::kGeneralFailure;
    if (oscar::Decode(snac.body, error))
        code = error.code;
    if (auto send = sendsByRequest_.find(snac.requestId); send != sendsByRequest_.end()) {
        uint32_t token = send->second;
        sendsByRequest_.erase(send);
        for (auto it = sendsByCookie_.begin(); it != sendsByCookie_.end(); ++it) {
            if (it->second == token) {
                sendsByCookie_.erase(it);
                break;
            }
        }
        events_.OnSendResult(token, MessageErrorResult(code));
        return;
    }
    if (auto text = textRequests_.find(snac.requestId); text != textRequests_.end()) {
        TextRequest request = text->second;
        textRequests_.erase(text);
        events_.OnUserText(request.token, request.screenName, request.kind, L"", MessageErrorResult(code));
        return;
    }
    if (auto edit = edits_.find(snac.requestId); edit != edits_.end()) {
        PendingEdit pending = std::move(edit->second);
        edits_.erase(edit);
        list_ = pending.before;
        if (pending.done)
            pending.done(E_FAIL);
    }
}

// ---------------------------------------------------------------------------
// Buddy-list edits
// ---------------------------------------------------------------------------

const fb::Item* COscarClient::Group(const std::wstring& name) const
{
    return list_.FindGroup(Narrow(name));
}

std::vector<uint16_t> COscarClient::BuddyOrder(uint16_t groupId) const
{
    std::vector<uint16_t> order;
    for (const fb::Item* buddy : list_.Buddies(groupId))
        order.push_back(buddy->itemId);
    return order;
}

std::vector<uint16_t> COscarClient::GroupOrder() const
{
    std::vector<uint16_t> order;
    for (const fb::Item* group : list_.Groups())
        order.push_back(group->groupId);
    return order;
}

COscarClient::EditStep COscarClient::RootUpdate(std::vector<uint16_t> order) const
{
    const fb::Item* root = list_.Root();
    fb::Item item = root ? *root : fb::Item::Root({});
    item.SetOrder(order);
    return EditStep{root ? fb::kUpdateItems : fb::kInsertItems, {item}};
}

COscarClient::EditStep COscarClient::GroupUpdate(const fb::Item& group, std::vector<uint16_t> order) const
{
    fb::Item item = group;
    item.SetOrder(order);
    return EditStep{fb::kUpdateItems, {item}};
}

void COscarClient::ApplyLocally(const EditStep& step)
{
    for (const fb::Item& item : step.items) {
        if (step.kind == fb::kInsertItems)
            list_.Insert(item);
        else if (step.kind == fb::kUpdateItems)
            list_.Update(item);
        else
            list_.Remove(item.groupId, item.itemId);
    }
}

HRESULT COscarClient::SendEdit(std::vector<EditStep> steps, std::function<void(HRESULT)> done)
{
    fb::FeedbagList before = list_;
    Request(fb::StartCluster{});
    bool first = true;
    for (EditStep& step : steps) {
        fb::ItemList list;
        list.items = step.items;
        oscar::Snac snac;
        snac.group = step.kind.group;
        snac.subgroup = step.kind.subgroup;
        snac.body = fb::Encode(list);
        uint32_t request = Send(snac);
        ApplyLocally(step);
        edits_[request] = PendingEdit{step, first ? std::move(done) : nullptr, before};
        first = false;
    }
    Send(oscar::MakeEmptySnac(fb::kEndCluster, 0));
    return S_OK;
}

void COscarClient::OnEditStatus(const oscar::Snac& snac)
{
    auto it = edits_.find(snac.requestId);
    if (it == edits_.end())
        return;
    PendingEdit pending = std::move(it->second);
    edits_.erase(it);
    fb::Status status;
    HRESULT result = S_OK;
    if (!fb::Decode(snac.body, status) || status.codes.size() != pending.step.items.size()) {
        result = ACC_E_PROTOCOL_ERROR;
    } else {
        for (uint16_t code : status.codes) {
            if (code != fb::status::kSuccess) {
                result = FeedbagStatusResult(code);
                break;
            }
        }
    }
    if (FAILED(result))
        list_ = pending.before;
    if (pending.done)
        pending.done(result);
}

HRESULT COscarClient::AddGroup(const std::wstring& name, long position)
{
    if (!Online())
        return ACC_E_NOT_CONNECTED;
    if (Group(name))
        return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
    uint16_t id = list_.NewGroupId();
    if (!id)
        return ACC_E_NOT_PERMITTED;
    fb::Item group = fb::Item::Group(Narrow(name), id, {});
    std::vector<EditStep> steps = {EditStep{fb::kInsertItems, {group}}, RootUpdate(InsertAt(GroupOrder(), id, position))};
    return SendEdit(std::move(steps),
                    [this, name, position](HRESULT result) { events_.OnGroupAdded(name, position, result); });
}

HRESULT COscarClient::RemoveGroup(const std::wstring& name)
{
    if (!Online())
        return ACC_E_NOT_CONNECTED;
    const fb::Item* group = Group(name);
    if (!group)
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    EditStep removal{fb::kDeleteItems, {}};
    for (const fb::Item* buddy : list_.Buddies(group->groupId))
        removal.items.push_back(*buddy);
    removal.items.push_back(*group);
    std::vector<EditStep> steps = {removal, RootUpdate(Without(GroupOrder(), group->groupId))};
    return SendEdit(std::move(steps), [this, name](HRESULT result) { events_.OnGroupRemoved(name, result); });
}

HRESULT COscarClient::MoveGroup(const std::wstring& name, long position)
{
    if (!Online())
        return ACC_E_NOT_CONNECTED;
    const fb::Item* group = Group(name);
    if (!group)
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    std::vector<EditStep> steps = {RootUpdate(InsertAt(GroupOrder(), group->groupId, position))};
    return SendEdit(std::move(steps),
                    [this, name, position](HRESULT result) { events_.OnGroupMoved(name, position, result); });
}

HRESULT COscarClient::RenameGroup(const std::wstring& oldName, const std::wstring& newName)
{
    if (!Online())
        return ACC_E_NOT_CONNECTED;
    const fb::Item* group = Group(oldName);
    if (!group)
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    if (Group(newName) && Group(newName) != group)
        return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
    fb::Item renamed = *group;
    renamed.name = Narrow(newName);
    std::vector<EditStep> steps = {EditStep{fb::kUpdateItems, {renamed}}};
    return SendEdit(std::move(steps), [this, oldName, newName](HRESULT result) {
        events_.OnGroupRenamed(oldName, newName, result);
    });
}

HRESULT COscarClient::AddBuddy(const std::wstring& groupName, const std::wstring& screenName, long position)
{
    if (!Online())
        return ACC_E_NOT_CONNECTED;
    const fb::Item* group = Group(groupName);
    if (!group)
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    if (list_.FindBuddy(Narrow(screenName), group->groupId))
        return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
    uint16_t id = list_.NewItemId();
    if (!id)
        return ACC_E_NOT_PERMITTED;
    fb::Item buddy = fb::Item::Buddy(Narrow(screenName), group->groupId, id);
    std::vector<EditStep> steps = {EditStep{fb::kInsertItems, {buddy}},
                                   GroupUpdate(*group, InsertAt(BuddyOrder(group->groupId), id, position))};
    return SendEdit(std::move(steps), [this, groupName, screenName, position](HRESULT result) {
        events_.OnBuddyAdded(groupName, BuddyEntry{screenName, L"", L""}, position, result);
    });
}

HRESULT COscarClient::RemoveBuddy(const std::wstring& groupName, const std::wstring& screenName)
{
    if (!Online())
        return ACC_E_NOT_CONNECTED;
    const fb::Item* group = Group(groupName);
    const fb::Item* buddy = group ? list_.FindBuddy(Narrow(screenName), group->groupId) : nullptr;
    if (!buddy)
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    std::vector<EditStep> steps = {EditStep{fb::kDeleteItems, {*buddy}},
                                   GroupUpdate(*group, Without(BuddyOrder(group->groupId), buddy->itemId))};
    return SendEdit(std::move(steps), [this, groupName, screenName](HRESULT result) {
        events_.OnBuddyRemoved(groupName, screenName, result);
    });
}

HRESULT COscarClient::MoveBuddy(const std::wstring& fromGroup, const std::wstring& screenName,
                                const std::wstring& toGroup, long position)
{
    if (!Online())
        return ACC_E_NOT_CONNECTED;
    const fb::Item* from = Group(fromGroup);
    const fb::Item* to = Group(toGroup);
    const fb::Item* buddy = from ? list_.FindBuddy(Narrow(screenName), from->groupId) : nullptr;
    if (!buddy || !to)
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    if (from == to)
        return S_FALSE;
    uint16_t id = list_.NewItemId();
    if (!id)
        return ACC_E_NOT_PERMITTED;
    // A buddy item belongs to its group: moving is a new item in the target
    // (keeping alias and note) and the old one deleted.
    fb::Item moved = *buddy;
    moved.groupId = to->groupId;
    moved.itemId = id;
    std::vector<EditStep> steps = {
        EditStep{fb::kInsertItems, {moved}},
        EditStep{fb::kDeleteItems, {*buddy}},
        GroupUpdate(*from, Without(BuddyOrder(from->groupId), buddy->itemId)),
        GroupUpdate(*to, InsertAt(BuddyOrder(to->groupId), id, position)),
    };
    return SendEdit(std::move(steps), [this, fromGroup, screenName, toGroup, position](HRESULT result) {
        events_.OnBuddyMoved(fromGroup, screenName, toGroup, position, result);
    });
}

TransportFactory DefaultTransportFactory()
{
    return [](const std::shared_ptr<CEventWindow>& loop, ITransportEvents& events) -> std::unique_ptr<ITransport> {
        return std::make_unique<COscarClient>(loop, events);
    };
}

} // namespace AIMCC
