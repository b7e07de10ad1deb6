#include "ServerCore.h"

#include <algorithm>
#include <cctype>
#include <ctime>

namespace oscar::server {

namespace {

constexpr uint16_t kServerFirstSequence = 100;
constexpr size_t kCookieSize = 32;
constexpr auto kCookieLifetime = std::chrono::seconds(60);
// A login connection has no business sending more frames than this.
constexpr int kMaxLoginFrames = 10;
constexpr char kMotd[] = "Welcome to the Velmora test server";

// What a BOS connection offers (01,03): the food groups handled below.
const std::vector<uint16_t> kBosFoodGroups = {
    foodgroup::kOservice, foodgroup::kLocate, foodgroup::kBuddy,
    foodgroup::kIcbm,     foodgroup::kPd,     foodgroup::kFeedbag,
};

// The rate classes servers of the network have always sent. No limit is
// enforced here; clients only need the classes to exist and to cover every
// SNAC they use, or some of them stay silent.
oservice::RateParamsReply DefaultRates(bool extended, uint32_t now)
{
    struct Level {
        uint16_t id;
        uint32_t window, clear, alert, limit, disconnect, max;
    };
    static const Level levels[] = {
        {1, 80, 2500, 2000, 1500, 800, 6000}, {2, 80, 3000, 2000, 1500, 1000, 6000},
        {3, 20, 5100, 5000, 4000, 3000, 6000}, {4, 20, 5500, 5300, 4200, 3000, 8000},
        {5, 10, 5500, 5300, 4200, 3000, 8000},
    };
    oservice::RateParamsReply reply;
    reply.extended = extended;
    for (const Level& l : levels) {
        oservice::RateClass c;
        c.id = l.id;
        c.windowSize = l.window;
        c.clearLevel = l.clear;
        c.alertLevel = l.alert;
        c.limitLevel = l.limit;
        c.disconnectLevel = l.disconnect;
        c.currentLevel = l.max;
        c.maxLevel = l.max;
        c.lastTime = now;
        reply.classes.push_back(c);
        reply.groups.push_back(oservice::RateGroup{l.id, {}});
    }
    auto classOf = [](SnacId id) -> uint16_t {
        if (id == icbm::kChannelMsgToHost || id == locate::kUserInfoQuery)
            return 3;
        if (id == buddy::kAddBuddies || id == buddy::kDeleteBuddies)
            return 2;
        return 1;
    };
    struct Range {
        uint16_t group, last;
    };
    static const Range ranges[] = {
        {foodgroup::kOservice, 0x1E}, {foodgroup::kLocate, 0x15}, {foodgroup::kBuddy, 0x0C},
        {foodgroup::kIcbm, 0x17},     {foodgroup::kPd, 0x0B},     {foodgroup::kFeedbag, 0x12},
    };
    for (const Range& r : ranges) {
        for (uint16_t sub = 1; sub <= r.last; ++sub) {
            SnacId id{r.group, sub};
            reply.groups[classOf(id) - 1].members.push_back(id);
        }
    }
    return reply;
}

// The text of an HTML message without its tags, for the demo's echo.
std::string WithoutTags(const std::string& html)
{
    std::string out;
    bool inTag = false;
    for (char c : html) {
        if (c == '<')
            inTag = true;
        else if (c == '>')
            inTag = false;
        else if (!inTag)
            out += c;
    }
    return out;
}

// A command typed to a demo buddy: the text alone, trimmed, in lower case.
std::string CommandWord(const std::string& text)
{
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    std::string word = text.substr(first, text.find_last_not_of(blanks) - first + 1);
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return word;
}

// Values written to the accounts file are single lines.
std::string OneLine(std::string s)
{
    std::replace(s.begin(), s.end(), '\r', ' ');
    std::replace(s.begin(), s.end(), '\n', ' ');
    return s;
}

} // namespace

struct ServerCore::User {
    std::string key;                     // normalised screen name
    Account account;                     // name, password, script; the list lives in `feedbag`
    feedbag::FeedbagList feedbag;
    uint32_t feedbagModified = 0;
    std::string profileMime = locate::kDefaultMime;
    std::deque<InboxEntry> inbox;
};

struct ServerCore::Session {
    std::string key;
    User* user = nullptr;
    ConnId conn = 0;                     // 0: a scripted user
    bool online = false;                 // from "client online" on
    uint32_t signonTime = 0;
    std::string awayMime = locate::kDefaultMime;
    std::string awayMessage;
    uint32_t status = userinfo::kStatusAvailable;
    uint32_t idleSince = 0;              // 0: active
    std::vector<Capability> caps;
    uint32_t icbmFlags = 0;
    uint16_t warningLevel = 0;
    uint16_t oserviceVersion = 0;
    std::set<std::string> watched;       // names added with 03,04, normalised

    bool Scripted() const { return conn == 0; }
    bool Away() const { return !awayMessage.empty() || (status & userinfo::kStatusAway); }
};

struct ServerCore::Connection {
    enum class Stage { Hello, Login, Bos };
    ConnId id = 0;
    Stage stage = Stage::Hello;
    FlapReader reader;
    FlapSequence sequence{kServerFirstSequence};
    Bytes output;
    bool closing = false;
    int loginFrames = 0;
    std::map<std::string, std::string> keys;    // login: normalised name → challenge key
    std::string user;                           // BOS: the session's key
};

ServerCore::ServerCore(const std::vector<Account>& accounts)
{
    std::random_device seed;
    random_.seed((uint64_t(seed()) << 32) ^ seed() ^ uint64_t(std::time(nullptr)));
    for (const Account& account : accounts) {
        auto user = std::make_unique<User>();
        user->key = NormalizeScreenName(account.screenName);
        user->account = account;
        user->account.groups.clear();
        // IDs in file order: groups 1, 2, ...; buddies numbered across the
        // whole list so that each stays unique when moved between groups.
        feedbag::FeedbagList& list = user->feedbag;
        std::vector<uint16_t> groupIds;
        uint16_t nextItem = 1;
        for (size_t g = 0; g < account.groups.size(); ++g) {
            uint16_t groupId = static_cast<uint16_t>(g + 1);
            std::vector<uint16_t> members;
            for (const std::string& buddy : account.groups[g].buddies) {
                list.items.push_back(feedbag::Item::Buddy(buddy, groupId, nextItem));
                members.push_back(nextItem++);
            }
            list.items.push_back(feedbag::Item::Group(account.groups[g].name, groupId, members));
            groupIds.push_back(groupId);
        }
        if (!groupIds.empty())
            list.items.insert(list.items.begin(), feedbag::Item::Root(groupIds));
        user->feedbagModified = Now();
        users_[user->key] = std::move(user);
        order_.push_back(NormalizeScreenName(account.screenName));
    }
}

ServerCore::~ServerCore() = default;

std::vector<Account> ServerCore::ExportAccounts() const
{
    std::vector<Account> accounts;
    for (const std::string& key : order_) {
        const User& user = *users_.at(key);
        Account account = user.account;
        account.profile = OneLine(account.profile);
        for (const feedbag::Item* group : user.feedbag.Groups()) {
            AccountGroup g{OneLine(group->name), {}};
            for (const feedbag::Item* buddy : user.feedbag.Buddies(group->groupId))
                g.buddies.push_back(OneLine(buddy->name));
            account.groups.push_back(std::move(g));
        }
        accounts.push_back(std::move(account));
    }
    return accounts;
}

void ServerCore::StartScriptedAccounts()
{
    for (const std::string& key : order_) {
        User& user = *users_[key];
        if (user.account.script == ScriptMode::None || FindSession(key))
            continue;
        Session& session = StartSession(user, 0);
        if (user.account.script == ScriptMode::Away)
            session.awayMessage = user.account.scriptAway;
        GoOnline(session);
        if (demo_ && user.account.script == ScriptMode::Online && script_.awayEvery.count() > 0)
            Plan(script_.awayEvery, Step{Step::Kind::StepAway, key, {}, {}, false, true});
    }
}

// ---- plumbing ----

ServerCore::Connection* ServerCore::Find(ConnId id)
{
    auto it = connections_.find(id);
    return it == connections_.end() ? nullptr : it->second.get();
}

const ServerCore::Connection* ServerCore::Find(ConnId id) const
{
    auto it = connections_.find(id);
    return it == connections_.end() ? nullptr : it->second.get();
}

ServerCore::User* ServerCore::FindUser(const std::string& name)
{
    auto it = users_.find(NormalizeScreenName(name));
    return it == users_.end() ? nullptr : it->second.get();
}

const ServerCore::User* ServerCore::FindUser(const std::string& name) const
{
    auto it = users_.find(NormalizeScreenName(name));
    return it == users_.end() ? nullptr : it->second.get();
}

ServerCore::Session* ServerCore::FindSession(const std::string& name)
{
    auto it = sessions_.find(NormalizeScreenName(name));
    return it == sessions_.end() ? nullptr : it->second.get();
}

const ServerCore::Session* ServerCore::FindSession(const std::string& name) const
{
    auto it = sessions_.find(NormalizeScreenName(name));
    return it == sessions_.end() ? nullptr : it->second.get();
}

void ServerCore::SendFrame(Connection& conn, uint8_t channel, const Bytes& payload)
{
    if (conn.closing)
        return;
    FlapFrame frame;
    frame.channel = channel;
    frame.sequence = conn.sequence.Next();
    frame.payload = payload;
    Bytes bytes;
    if (EncodeFlap(frame, bytes))
        conn.output.insert(conn.output.end(), bytes.begin(), bytes.end());
}

void ServerCore::SendSnac(Connection& conn, const Snac& snac)
{
    SendFrame(conn, flap::kData, EncodeSnac(snac));
}

void ServerCore::SendToSession(Session& session, const Snac& snac)
{
    if (Connection* conn = Find(session.conn))
        SendSnac(*conn, snac);
}

void ServerCore::Error(Connection& conn, uint16_t group, uint32_t requestId, uint16_t code, uint16_t subcode)
{
    SendSnac(conn, MakeErrorSnac(group, requestId, code, subcode));
}

void ServerCore::CloseConnection(Connection& conn)
{
    if (conn.closing)
        return;
    conn.closing = true;
    if (conn.stage == Connection::Stage::Bos) {
        Session* session = FindSession(conn.user);
        if (session && session->conn == conn.id)
            EndSession(session->key);
    }
}

uint32_t ServerCore::Now() const
{
    return static_cast<uint32_t>(std::time(nullptr));
}

Bytes ServerCore::RandomBytes(size_t count)
{
    Bytes out;
    while (out.size() < count) {
        uint64_t v = random_();
        for (int i = 0; i < 8 && out.size() < count; ++i)
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    return out;
}

// ---- connections ----

ConnId ServerCore::Open()
{
    auto conn = std::make_unique<Connection>();
    conn->id = nextConn_++;
    Connection& c = *conn;
    connections_[c.id] = std::move(conn);
    SignonFrame hello;
    SendFrame(c, flap::kSignon, Encode(hello));
    return c.id;
}

void ServerCore::Receive(ConnId id, const uint8_t* data, size_t size)
{
    Connection* conn = Find(id);
    if (!conn || conn->closing)
        return;
    conn->reader.Append(data, size);
    FlapFrame frame;
    while (!conn->closing) {
        FlapParse result = conn->reader.Next(frame);
        if (result == FlapParse::NeedMore)
            break;
        if (result == FlapParse::Malformed) {
            CloseConnection(*conn);
            break;
        }
        OnFrame(*conn, frame);
    }
}

bool ServerCore::HasOutput(ConnId id) const
{
    const Connection* conn = Find(id);
    return conn && !conn->output.empty();
}

Bytes ServerCore::TakeOutput(ConnId id)
{
    Connection* conn = Find(id);
    if (!conn)
        return {};
    Bytes out;
    out.swap(conn->output);
    return out;
}

bool ServerCore::ShouldClose(ConnId id) const
{
    const Connection* conn = Find(id);
    return !conn || conn->closing;
}

void ServerCore::Closed(ConnId id)
{
    Connection* conn = Find(id);
    if (!conn)
        return;
    CloseConnection(*conn);
    connections_.erase(id);
}

void ServerCore::OnFrame(Connection& conn, const FlapFrame& frame)
{
    if (conn.stage == Connection::Stage::Hello) {
        OnSignon(conn, frame);
        return;
    }
    if (conn.stage == Connection::Stage::Login && ++conn.loginFrames > kMaxLoginFrames) {
        CloseConnection(conn);
        return;
    }
    switch (frame.channel) {
    case flap::kData: {
        Snac snac;
        if (!DecodeSnac(frame.payload, snac)) {
            CloseConnection(conn);
            return;
        }
        if (conn.stage == Connection::Stage::Login) {
            OnLoginSnac(conn, snac);
        } else if (Session* session = FindSession(conn.user); session && session->conn == conn.id) {
            OnBosSnac(conn, *session, snac);
        } else {
            CloseConnection(conn);
        }
        return;
    }
    case flap::kKeepAlive:
        return;
    default:
        // A second SIGNON, an ERROR frame or the client's SIGNOFF all end the connection.
        CloseConnection(conn);
        return;
    }
}

void ServerCore::OnSignon(Connection& conn, const FlapFrame& frame)
{
    SignonFrame signon;
    if (frame.channel != flap::kSignon || !Decode(frame.payload, signon) || signon.version != 1) {
        CloseConnection(conn);
        return;
    }
    if (const Tlv* cookie = signon.tlvs.Find(signon::kTagCookie)) {
        auto it = cookies_.find(cookie->value);
        User* user = it == cookies_.end() ? nullptr : FindUser(it->second.user);
        bool fresh = it != cookies_.end() && std::chrono::steady_clock::now() < it->second.expires;
        if (it != cookies_.end())
            cookies_.erase(it);          // a cookie is good for one connection
        if (!user || !fresh) {
            CloseConnection(conn);
            return;
        }
        conn.stage = Connection::Stage::Bos;
        conn.user = user->key;
        StartSession(*user, conn.id);
        Reply(conn, oservice::HostOnline{kBosFoodGroups}, kServerRequestId);
        return;
    }
    if (signon.tlvs.Has(signon::kTagScreenName)) {
        // The old roasted-password login; nothing we support needs it.
        CloseConnection(conn);
        return;
    }
    conn.stage = Connection::Stage::Login;
}

void ServerCore::OnLoginSnac(Connection& conn, const Snac& snac)
{
    auto finish = [&](const bucp::LoginResponse& response) {
        Reply(conn, response, snac.requestId);
        SendFrame(conn, flap::kSignoff, {});
        CloseConnection(conn);
    };

    if (snac.Is(bucp::kChallengeRequest)) {
        bucp::ChallengeRequest request;
        if (!Decode(snac.body, request)) {
            Error(conn, foodgroup::kBucp, snac.requestId, snacerror::kBustedPayload);
            return;
        }
        if (!FindUser(request.screenName)) {
            bucp::LoginResponse response;
            response.errorCode = bucp::loginerror::kInvalidNameOrPassword;
            finish(response);
            return;
        }
        std::string key;
        for (uint8_t b : RandomBytes(10))
            key += static_cast<char>('0' + b % 10);
        conn.keys[NormalizeScreenName(request.screenName)] = key;
        Reply(conn, bucp::ChallengeResponse{key}, snac.requestId);
        return;
    }

    if (snac.Is(bucp::kLoginRequest)) {
        bucp::LoginRequest request;
        bucp::LoginResponse response;
        if (!Decode(snac.body, request)) {
            response.errorCode = bucp::loginerror::kBadInput;
            finish(response);
            return;
        }
        User* user = FindUser(request.screenName);
        auto key = conn.keys.find(NormalizeScreenName(request.screenName));
        response.screenName = request.screenName;
        if (!user || key == conn.keys.end()) {
            response.errorCode = bucp::loginerror::kInvalidNameOrPassword;
            finish(response);
            return;
        }
        const std::string& password = user->account.password;
        if (request.passwordHash != bucp::StrongPasswordHash(key->second, password) &&
            request.passwordHash != bucp::WeakPasswordHash(key->second, password)) {
            response.errorCode = bucp::loginerror::kWrongPassword;
            finish(response);
            return;
        }
        auto now = std::chrono::steady_clock::now();
        for (auto it = cookies_.begin(); it != cookies_.end();)
            it = it->second.expires <= now ? cookies_.erase(it) : std::next(it);
        Bytes cookie = RandomBytes(kCookieSize);
        cookies_[cookie] = PendingCookie{user->key, now + kCookieLifetime};
        response.screenName = user->account.screenName;
        response.bosAddress = bosAddress_;
        response.cookie = cookie;
        finish(response);
        return;
    }

    Error(conn, snac.group, snac.requestId, snacerror::kInvalidSnac);
}

void ServerCore::OnBosSnac(Connection& conn, Session& session, const Snac& snac)
{
    switch (snac.group) {
    case foodgroup::kOservice:
        OnOservice(conn, session, snac);
        return;
    case foodgroup::kLocate:
        OnLocate(conn, session, snac);
        return;
    case foodgroup::kBuddy:
        OnBuddy(conn, session, snac);
        return;
    case foodgroup::kIcbm:
        OnIcbm(conn, session, snac);
        return;
    case foodgroup::kFeedbag:
        OnFeedbag(conn, session, snac);
        return;
    case foodgroup::kPd:
        if (snac.subgroup == 0x0002) {
            TlvList limits;
            limits.AddU16(1, 100).AddU16(2, 100).AddU16(3, 100);
            Snac reply = MakeEmptySnac(SnacId{foodgroup::kPd, 0x0003}, snac.requestId);
            ByteWriter w;
            WriteTlvRest(w, limits);
            reply.body = w.Take();
            SendSnac(conn, reply);
            return;
        }
        break;
    default:
        break;
    }
    Error(conn, snac.group, snac.requestId, snacerror::kInvalidSnac);
}

// ---- OSERVICE ----

void ServerCore::OnOservice(Connection& conn, Session& session, const Snac& snac)
{
    const uint32_t id = snac.requestId;
    if (snac.Is(oservice::kClientVersions)) {
        oservice::ClientVersions versions;
        if (!Decode(snac.body, versions)) {
            Error(conn, snac.group, id, snacerror::kBustedPayload);
            return;
        }
        for (const oservice::FoodGroupVersion& v : versions.versions)
            if (v.foodGroup == foodgroup::kOservice)
                session.oserviceVersion = v.version;
        oservice::HostVersions reply;
        reply.versions = versions.versions;
        Reply(conn, reply, id);
        oservice::Motd motd;
        motd.tlvs.AddString(0x000B, kMotd);
        Reply(conn, motd, kServerRequestId);
    } else if (snac.Is(oservice::kRateParamsQuery)) {
        Reply(conn, DefaultRates(session.oserviceVersion >= 2, Now()), id);
    } else if (snac.Is(oservice::kRateParamsSubscribe) || snac.Is(oservice::kNoop) ||
               snac.Is(SnacId{foodgroup::kOservice, 0x0014})) {
        // Accepted; nothing to answer.
    } else if (snac.Is(oservice::kUserInfoQuery)) {
        Reply(conn, oservice::UserInfoUpdate{{InfoOf(session)}}, id);
    } else if (snac.Is(oservice::kSetUserInfoFields)) {
        oservice::SetUserInfoFields fields;
        if (!Decode(snac.body, fields)) {
            Error(conn, snac.group, id, snacerror::kBustedPayload);
            return;
        }
        bool wasVisible = Visible(session);
        if (fields.status)
            session.status = *fields.status;
        PresenceChanged(session, wasVisible);
        Reply(conn, oservice::UserInfoUpdate{{InfoOf(session)}}, id);
    } else if (snac.Is(oservice::kIdleNotification)) {
        oservice::IdleNotification idle;
        if (!Decode(snac.body, idle)) {
            Error(conn, snac.group, id, snacerror::kBustedPayload);
            return;
        }
        bool wasVisible = Visible(session);
        uint32_t now = Now();
        session.idleSince = idle.idleSeconds == 0 ? 0 : now - std::min(idle.idleSeconds, now - 1);
        PresenceChanged(session, wasVisible);
    } else if (snac.Is(oservice::kClientOnline)) {
        if (!session.online)
            GoOnline(session);
    } else if (snac.Is(oservice::kServiceRequest)) {
        Error(conn, snac.group, id, snacerror::kServiceUnavailable);
    } else {
        Error(conn, snac.group, id, snacerror::kInvalidSnac);
    }
}

// ---- LOCATE ----

void ServerCore::OnLocate(Connection& conn, Session& session, const Snac& snac)
{
    const uint32_t id = snac.requestId;
    if (snac.Is(locate::kRightsQuery)) {
        locate::RightsReply rights;
        rights.maxProfileLength = 4096;
        rights.maxCapabilities = 1000;
        rights.maxFindByEmailList = 1000;
        rights.maxCertificateLength = 1000;
        rights.maxShortCapabilities = 1000;
        Reply(conn, rights, id);
        return;
    }
    if (snac.Is(locate::kSetInfo)) {
        locate::SetInfo info;
        if (!Decode(snac.body, info)) {
            Error(conn, snac.group, id, snacerror::kBustedPayload);
            return;
        }
        bool wasVisible = Visible(session);
        bool changed = false;
        if (info.profile) {
            session.user->account.profile = *info.profile;
            session.user->profileMime = info.profileMime.value_or(locate::kDefaultMime);
            if (listChanged_)
                listChanged_();
        }
        if (info.awayMessage) {
            session.awayMessage = *info.awayMessage;
            session.awayMime = info.awayMime.value_or(locate::kDefaultMime);
            changed = true;
        }
        if (info.capabilities) {
            session.caps = *info.capabilities;
            changed = true;
        }
        if (changed)
            PresenceChanged(session, wasVisible);
        return;
    }
    if (snac.Is(locate::kUserInfoQuery) || snac.Is(locate::kUserInfoQuery2)) {
        std::string name;
        uint32_t flags = 0;
        bool ok;
        if (snac.Is(locate::kUserInfoQuery)) {
            locate::UserInfoQuery query;
            ok = Decode(snac.body, query);
            name = query.screenName;
            flags = query.type;
        } else {
            locate::UserInfoQuery2 query;
            ok = Decode(snac.body, query);
            name = query.screenName;
            flags = query.flags;
        }
        if (!ok) {
            Error(conn, snac.group, id, snacerror::kBustedPayload);
            return;
        }
        Session* target = FindSession(name);
        if (!target || (target != &session && !Visible(*target))) {
            Error(conn, snac.group, id, snacerror::kNotLoggedOn);
            return;
        }
        locate::UserInfoReply reply;
        reply.user = InfoOf(*target);
        if (flags & locate::query::kProfile) {
            reply.profileMime = target->user->profileMime;
            reply.profile = target->user->account.profile;
        }
        if ((flags & locate::query::kAwayMessage) && target->Away()) {
            reply.awayMime = target->awayMime;
            reply.awayMessage = target->awayMessage;
        }
        if (flags & locate::query::kCapabilities)
            reply.capabilities = target->caps;
        Reply(conn, reply, id);
        return;
    }
    Error(conn, snac.group, id, snacerror::kInvalidSnac);
}

// ---- BUDDY ----

void ServerCore::OnBuddy(Connection& conn, Session& session, const Snac& snac)
{
    const uint32_t id = snac.requestId;
    if (snac.Is(buddy::kRightsQuery)) {
        buddy::RightsReply rights;
        rights.maxBuddies = 100;
        rights.maxWatchers = 100;
        rights.maxIcqBroadcast = 100;
        rights.maxTemporaryBuddies = 100;
        Reply(conn, rights, id);
        return;
    }
    if (snac.Is(buddy::kAddBuddies) || snac.Is(buddy::kDeleteBuddies)) {
        buddy::NameList list;
        if (!Decode(snac.body, list)) {
            Error(conn, snac.group, id, snacerror::kBustedPayload);
            return;
        }
        bool add = snac.Is(buddy::kAddBuddies);
        for (const std::string& name : list.names) {
            std::string key = NormalizeScreenName(name);
            if (!add) {
                session.watched.erase(key);
                continue;
            }
            session.watched.insert(key);
            const Session* target = FindSession(key);
            if (session.online && target && Visible(*target))
                SendArrival(session, *target);
        }
        return;
    }
    Error(conn, snac.group, id, snacerror::kInvalidSnac);
}

// ---- ICBM ----

void ServerCore::OnIcbm(Connection& conn, Session& session, const Snac& snac)
{
    const uint32_t id = snac.requestId;
    if (snac.Is(icbm::kAddParams)) {
        icbm::AddParams params;
        if (!Decode(snac.body, params)) {
            Error(conn, snac.group, id, snacerror::kBustedPayload);
            return;
        }
        if (params.channel == 0 || params.channel == icbm::channel::kIm)
            session.icbmFlags = params.flags;
        return;
    }
    if (snac.Is(icbm::kParamsQuery)) {
        icbm::ParamsReply params;
        params.channel = 100;            // in the reply: the number of slots
        params.flags = icbm::paramflag::kMessagesAllowed | icbm::paramflag::kMissedCalls;
        params.maxMessageLength = 8000;
        params.maxSenderWarning = 999;
        params.maxReceiverWarning = 999;
        params.minInterval = 0;
        Reply(conn, params, id);
        return;
    }
    if (snac.Is(icbm::kChannelMsgToHost)) {
        icbm::ChannelMsgToHost message;
        icbm::InstantMessage im;
        if (!Decode(snac.body, message) ||
            (message.channel == icbm::channel::kIm && !icbm::ImFromTlvs(message.tlvs, im))) {
            Error(conn, snac.group, id, snacerror::kBustedPayload);
            return;
        }
        Session* target = FindSession(message.recipient);
        if (!target || !target->online) {
            Error(conn, snac.group, id, snacerror::kNotLoggedOn);
            return;
        }
        icbm::ChannelMsgToClient out;
        out.cookie = message.cookie;
        out.channel = message.channel;
        out.sender = InfoOf(session);
        out.tlvs = message.tlvs;
        // Meant for the server, not the recipient.
        out.tlvs.Remove(icbm::tag::kRequestHostAck);
        out.tlvs.Remove(icbm::tag::kStoreOffline);
        // Tell the recipient the sender takes typing events: from the ICBM
        // parameters, or from the buddy-prefs item as other servers read it.
        bool typing = (session.icbmFlags & icbm::paramflag::kTypingNotifications) != 0;
        for (const feedbag::Item& item : session.user->feedbag.items)
            if (item.classId == feedbag::itemclass::kBuddyPrefs &&
                (item.attributes.U32(feedbag::attr::kBuddyPrefs).value_or(0) & feedbag::buddypref::kDiscloseTyping))
                typing = true;
        if (typing && (message.channel == icbm::channel::kIm || message.channel == 3) &&
            !out.tlvs.Has(icbm::tag::kWantsTypingEvents))
            out.tlvs.AddEmpty(icbm::tag::kWantsTypingEvents);
        if (message.tlvs.Has(icbm::tag::kRequestHostAck))
            Reply(conn, icbm::HostAck{message.cookie, message.channel, message.recipient}, id);
        Deliver(session, *target, std::move(out));
        return;
    }
    if (snac.Is(icbm::kClientEvent)) {
        icbm::ClientEvent event;
        if (!Decode(snac.body, event)) {
            Error(conn, snac.group, id, snacerror::kBustedPayload);
            return;
        }
        Session* target = FindSession(event.screenName);
        // Typing reaches only someone who is there: not away, not idle.
        if (!target || !target->online || target->Away() || target->idleSince)
            return;
        if (target->Scripted()) {
            InboxEntry entry;
            entry.kind = InboxEntry::Kind::Typing;
            entry.from = session.user->account.screenName;
            entry.typingEvent = event.event;
            target->user->inbox.push_back(entry);
            return;
        }
        event.screenName = session.user->account.screenName;
        SendToSession(*target, MakeSnac(event, id));
        return;
    }
    if (snac.Is(icbm::kClientError)) {
        icbm::ClientError error;
        if (!Decode(snac.body, error)) {
            Error(conn, snac.group, id, snacerror::kBustedPayload);
            return;
        }
        Session* target = FindSession(error.screenName);
        if (target && target->online) {
            error.screenName = session.user->account.screenName;
            SendToSession(*target, MakeSnac(error, id));
        }
        return;
    }
    if (snac.Is(icbm::kEvilRequest)) {
        icbm::EvilRequest request;
        if (!Decode(snac.body, request)) {
            Error(conn, snac.group, id, snacerror::kBustedPayload);
            return;
        }
        Session* target = FindSession(request.screenName);
        if (target == &session) {
            Error(conn, snac.group, id, snacerror::kNotSupportedByHost);
            return;
        }
        if (!target || !target->online) {
            Error(conn, snac.group, id, snacerror::kNotLoggedOn);
            return;
        }
        uint16_t delta = request.anonymous ? 30 : 100;
        bool wasVisible = Visible(*target);
        target->warningLevel = static_cast<uint16_t>(std::min(1000, target->warningLevel + delta));
        Reply(conn, icbm::EvilReply{delta, target->warningLevel}, id);
        oservice::EvilNotification notice;
        notice.newLevel = target->warningLevel;
        if (!request.anonymous) {
            UserInfo warner;
            warner.screenName = session.user->account.screenName;
            warner.warningLevel = session.warningLevel;
            notice.warner = warner;
        }
        SendToSession(*target, MakeSnac(notice, kServerRequestId));
        PresenceChanged(*target, wasVisible);
        return;
    }
    if (snac.Is(icbm::kOfflineRetrieve)) {
        // Nothing is stored for later here; say so at once.
        SendSnac(conn, MakeEmptySnac(icbm::kOfflineRetrieveDone, id));
        return;
    }
    Error(conn, snac.group, id, snacerror::kInvalidSnac);
}

// ---- FEEDBAG ----

void ServerCore::OnFeedbag(Connection& conn, Session& session, const Snac& snac)
{
    const uint32_t id = snac.requestId;
    User& user = *session.user;
    if (snac.Is(feedbag::kRightsQuery)) {
        feedbag::RightsReply rights;
        ByteWriter perClass;
        static const uint16_t limits[] = {61, 61, 100, 100, 1, 1, 50, 0, 0, 3, 0, 0, 0, 128,
                                          255, 20, 200, 1, 0, 1, 200};
        for (uint16_t limit : limits)
            perClass.U16(limit);
        rights.tlvs.AddU16(0x0003, 200).Add(0x0004, perClass.Take()).AddU16(0x0005, 200).AddU16(0x0006, 200);
        rights.tlvs.AddU16(0x000C, 200);
        Reply(conn, rights, id);
        return;
    }
    if (snac.Is(feedbag::kQuery) || snac.Is(feedbag::kQueryIfModified)) {
        feedbag::Reply reply;
        reply.items = user.feedbag.items;
        reply.lastModified = user.feedbagModified;
        Reply(conn, reply, id);
        return;
    }
    if (snac.Is(feedbag::kUse) || snac.Is(feedbag::kStartCluster) || snac.Is(feedbag::kEndCluster))
        return;
    if (snac.Is(feedbag::kInsertItems) || snac.Is(feedbag::kUpdateItems) || snac.Is(feedbag::kDeleteItems)) {
        feedbag::ItemList list;
        if (!Decode(snac.body, list)) {
            Error(conn, snac.group, id, snacerror::kBustedPayload);
            return;
        }
        std::set<std::string> before = BuddyKeys(user);
        feedbag::Status status;
        bool changed = false;
        for (const feedbag::Item& item : list.items) {
            uint16_t code = ApplyEdit(user, snac, item);
            changed |= code == feedbag::status::kSuccess;
            status.codes.push_back(code);
        }
        Reply(conn, status, id);
        if (changed) {
            user.feedbagModified = Now();
            ListEdited(user, before);
        }
        return;
    }
    Error(conn, snac.group, id, snacerror::kInvalidSnac);
}

uint16_t ServerCore::ApplyEdit(User& user, const Snac& snac, const feedbag::Item& item)
{
    feedbag::FeedbagList& list = user.feedbag;
    if (snac.Is(feedbag::kDeleteItems))
        return list.Remove(item.groupId, item.itemId) ? feedbag::status::kSuccess : feedbag::status::kNotFound;
    if (snac.Is(feedbag::kUpdateItems)) {
        const feedbag::Item* existing = list.Find(item.groupId, item.itemId);
        if (!existing)
            return feedbag::status::kNotFound;
        if (existing->classId != item.classId)
            return feedbag::status::kInvalid;
        list.Update(item);
        return feedbag::status::kSuccess;
    }
    if (list.Find(item.groupId, item.itemId))
        return feedbag::status::kAlreadyExists;
    // Stricter than servers need to be, so that a client's mistake shows up
    // here rather than as a list that loads wrong next time.
    if (item.classId == feedbag::itemclass::kBuddy) {
        const feedbag::Item* group = list.Find(item.groupId, 0);
        if (item.groupId == 0 || item.itemId == 0 || item.name.empty() || !group || !group->IsGroup())
            return feedbag::status::kInvalid;
    } else if (item.classId == feedbag::itemclass::kGroup) {
        if (item.itemId != 0 || (item.groupId == 0) != item.name.empty())
            return feedbag::status::kInvalid;
    }
    list.Insert(item);
    return feedbag::status::kSuccess;
}

std::set<std::string> ServerCore::BuddyKeys(const User& user) const
{
    std::set<std::string> keys;
    for (const feedbag::Item& item : user.feedbag.items)
        if (item.IsBuddy())
            keys.insert(NormalizeScreenName(item.name));
    return keys;
}

void ServerCore::ListEdited(User& user, const std::set<std::string>& before)
{
    std::set<std::string> after = BuddyKeys(user);
    Session* session = FindSession(user.key);
    if (session && session->online) {
        for (const std::string& key : after) {
            const Session* target = FindSession(key);
            if (!before.count(key) && target && Visible(*target))
                SendArrival(*session, *target);
        }
        for (const std::string& key : before) {
            const Session* target = FindSession(key);
            if (!after.count(key) && !session->watched.count(key) && target && Visible(*target))
                SendDeparture(*session, key);
        }
    }
    if (listChanged_)
        listChanged_();
}

// ---- sessions and presence ----

ServerCore::Session& ServerCore::StartSession(User& user, ConnId conn)
{
    if (Session* old = FindSession(user.key)) {
        // One session per account: the newer sign-on wins.
        Connection* oldConn = Find(old->conn);
        if (oldConn) {
            TlvList reason;
            reason.AddU16(signoff::kTagReason, signoff::kReasonSignedOnElsewhere);
            ByteWriter w;
            WriteTlvRest(w, reason);
            SendFrame(*oldConn, flap::kSignoff, w.Data());
            CloseConnection(*oldConn);
        } else {
            EndSession(user.key);
        }
    }
    auto session = std::make_unique<Session>();
    session->key = user.key;
    session->user = &user;
    session->conn = conn;
    session->signonTime = Now();
    Session& s = *session;
    sessions_[user.key] = std::move(session);
    return s;
}

void ServerCore::EndSession(const std::string& key)
{
    auto it = sessions_.find(key);
    if (it == sessions_.end())
        return;
    std::unique_ptr<Session> session = std::move(it->second);
    sessions_.erase(it);
    if (session->online && Visible(*session))
        AnnounceDeparture(*session);
}

void ServerCore::GoOnline(Session& session)
{
    session.online = true;
    AnnounceArrival(session);
    for (auto& [key, other] : sessions_)
        if (other.get() != &session && Visible(*other) && Watches(session, key))
            SendArrival(session, *other);
}

bool ServerCore::Visible(const Session& session) const
{
    return session.online && !(session.status & userinfo::kStatusInvisible);
}

bool ServerCore::Watches(const Session& watcher, const std::string& targetKey) const
{
    return watcher.watched.count(targetKey) || watcher.user->feedbag.FindBuddy(targetKey);
}

UserInfo ServerCore::InfoOf(const Session& session) const
{
    UserInfo info;
    info.screenName = session.user->account.screenName;
    info.warningLevel = session.warningLevel;
    uint16_t flags = userinfo::kFlagFree;
    if (session.Away())
        flags |= userinfo::kFlagAway;
    info.tlvs.AddU32(userinfo::kTagSignonTime, session.signonTime);
    info.tlvs.AddU16(userinfo::kTagFlags, flags);
    info.tlvs.AddU32(userinfo::kTagStatus, session.status);
    if (session.idleSince) {
        uint32_t minutes = (Now() - session.idleSince) / 60;
        info.tlvs.AddU16(userinfo::kTagIdleMinutes, static_cast<uint16_t>(std::min<uint32_t>(minutes, 0xFFFF)));
    }
    if (!session.caps.empty())
        info.tlvs.Add(userinfo::kTagCapabilities, EncodeCapabilities(session.caps));
    info.tlvs.AddU32(0x001E, 0);
    return info;
}

void ServerCore::AnnounceArrival(const Session& session)
{
    if (!Visible(session))
        return;
    for (auto& [key, watcher] : sessions_)
        if (watcher.get() != &session && watcher->online && Watches(*watcher, session.key))
            SendArrival(*watcher, session);
}

void ServerCore::AnnounceDeparture(const Session& session)
{
    for (auto& [key, watcher] : sessions_)
        if (watcher.get() != &session && watcher->online && Watches(*watcher, session.key))
            SendDeparture(*watcher, session.key);
}

void ServerCore::SendArrival(Session& to, const Session& about)
{
    SendToSession(to, MakeSnac(buddy::Arrived{InfoOf(about)}, kServerRequestId));
}

void ServerCore::SendDeparture(Session& to, const std::string& aboutKey)
{
    // Departures name the user in normalised form with a nearly empty block,
    // as the network's servers send them.
    buddy::Departed departed;
    departed.user.screenName = aboutKey;
    departed.user.tlvs.AddU16(userinfo::kTagFlags, 0);
    SendToSession(to, MakeSnac(departed, kServerRequestId));
}

void ServerCore::PresenceChanged(Session& session, bool wasVisible)
{
    if (!session.online)
        return;
    if (Visible(session))
        AnnounceArrival(session);
    else if (wasVisible)
        AnnounceDeparture(session);
}

// ---- messages ----

void ServerCore::Deliver(Session& from, Session& to, icbm::ChannelMsgToClient message)
{
    if (!to.Scripted()) {
        SendToSession(to, MakeSnac(message, kServerRequestId));
        return;
    }
    icbm::InstantMessage im;
    if (message.channel == icbm::channel::kIm && icbm::ImFromTlvs(message.tlvs, im))
        ScriptedReceived(to, from, im);
}

void ServerCore::ScriptedReceived(Session& to, const Session& from, const icbm::InstantMessage& im)
{
    InboxEntry entry;
    entry.kind = InboxEntry::Kind::Im;
    entry.from = from.user->account.screenName;
    entry.text = im.TextUtf8();
    entry.autoResponse = im.autoResponse;
    to.user->inbox.push_back(entry);
    // The demo's buddies answer people, never each other (two of them would
    // answer forever) and never an automatic reply.
    if (!demo_ || from.Scripted() || im.autoResponse)
        return;
    Session* sender = FindSession(from.key);
    if (!sender)
        return;
    if (to.Away()) {
        ScriptedReply(to, *sender, to.awayMessage, true);
        return;
    }
    // Like a person: typing shows at once, the answer follows a moment later.
    ScriptedTyping(to, *sender, icbm::typing::kBegun);
    Step answer{Step::Kind::Answer, to.key, sender->key, {}, false, false};
    answer.text = DemoAnswer(to, *sender, WithoutTags(entry.text), &answer.thenAway);
    Plan(script_.typingPause, std::move(answer));
}

std::string ServerCore::DemoAnswer(const Session& buddy, const Session& person, const std::string& text,
                                   bool* thenAway)
{
    const std::string word = CommandWord(text);
    if (word == "help") {
        std::string help =
            "I am a demo buddy on this local server. What I can do:<br>"
            "- I say back whatever you send me, after showing that I am typing.<br>"
            "- <b>help</b> shows this list.<br>"
            "- <b>away</b> makes me step away for a while; messages then get my away message.";
        if (script_.awayEvery.count() > 0)
            help += "<br>- Now and then I step away by myself and come back.";
        return help;
    }
    if (word == "away") {
        *thenAway = true;
        return "OK, I am stepping away for a while. Anything you send now gets my away message.";
    }
    if (word.empty())
        return "Your message had no text for me to say back.";
    std::string answer = "You said: " + text;
    // The first echo to someone says what this buddy is, once.
    if (introduced_.insert({buddy.key, person.key}).second)
        answer += "<br>(I am a demo buddy: I say back what you send. Type <b>help</b> to see what else I do.)";
    return answer;
}

void ServerCore::ScriptedReply(Session& from, Session& to, const std::string& text, bool autoResponse)
{
    icbm::InstantMessage im = icbm::InstantMessage::FromUtf8(text);
    im.autoResponse = autoResponse;
    icbm::ChannelMsgToClient message;
    message.cookie = random_();
    message.sender = InfoOf(from);
    message.tlvs = icbm::ImToTlvs(im);
    Deliver(from, to, std::move(message));
}

void ServerCore::ScriptedTyping(Session& from, Session& to, uint16_t event)
{
    if (to.Scripted()) {
        InboxEntry entry;
        entry.kind = InboxEntry::Kind::Typing;
        entry.from = from.user->account.screenName;
        entry.typingEvent = event;
        to.user->inbox.push_back(entry);
        return;
    }
    icbm::ClientEvent notice;
    notice.screenName = from.user->account.screenName;
    notice.event = event;
    SendToSession(to, MakeSnac(notice, kServerRequestId));
}

// ---- the demo's later steps ----

void ServerCore::Plan(Clock::duration delay, Step step)
{
    steps_.emplace(clock_() + delay, std::move(step));
}

std::optional<ServerCore::Clock::time_point> ServerCore::NextDue() const
{
    if (steps_.empty())
        return std::nullopt;
    return steps_.begin()->first;
}

void ServerCore::RunDue()
{
    const Clock::time_point now = clock_();
    while (!steps_.empty() && steps_.begin()->first <= now) {
        Step step = std::move(steps_.begin()->second);
        steps_.erase(steps_.begin());
        RunStep(step);
    }
}

void ServerCore::RunStep(const Step& step)
{
    Session* buddy = FindSession(step.user);
    const bool buddyOnline = buddy && buddy->online && buddy->Scripted();
    switch (step.kind) {
    case Step::Kind::Answer:
        // Whoever signed off in the meantime misses the answer.
        if (Session* person = FindSession(step.to); buddyOnline && person && person->online)
            ScriptedReply(*buddy, *person, step.text, false);
        if (step.thenAway && buddyOnline)
            StepAway(*buddy, false);
        break;
    case Step::Kind::StepAway:
        // Already away (asked to, or set through the control channel): skip this round.
        if (buddyOnline && !buddy->Away())
            StepAway(*buddy, step.cycle);
        else if (step.cycle)
            Plan(script_.awayEvery, step);
        break;
    case Step::Kind::ComeBack:
        // Only from the away this script set; an away message set through the
        // control channel stays.
        if (buddyOnline && buddy->awayMessage == script_.awayMessage) {
            std::string ignored;
            SetAway(buddy->key, std::string(), &ignored);
        }
        if (step.cycle)
            Plan(script_.awayEvery, Step{Step::Kind::StepAway, step.user, {}, {}, false, true});
        break;
    }
}

void ServerCore::StepAway(Session& session, bool cycle)
{
    std::string ignored;
    SetAway(session.key, script_.awayMessage, &ignored);
    Plan(script_.awayFor, Step{Step::Kind::ComeBack, session.key, {}, {}, false, cycle});
}

// ---- scripting ----

bool ServerCore::SignOn(const std::string& name, std::string* error)
{
    User* user = FindUser(name);
    if (!user) {
        *error = "no account " + name;
        return false;
    }
    if (FindSession(name)) {
        *error = user->account.screenName + " is already signed on";
        return false;
    }
    GoOnline(StartSession(*user, 0));
    return true;
}

bool ServerCore::SignOff(const std::string& name, std::string* error)
{
    Session* session = FindSession(name);
    if (!session) {
        *error = name + " is not signed on";
        return false;
    }
    if (Connection* conn = Find(session->conn)) {
        SendFrame(*conn, flap::kSignoff, {});
        CloseConnection(*conn);
    } else {
        EndSession(session->key);
    }
    return true;
}

bool ServerCore::SetAway(const std::string& name, const std::string& message, std::string* error)
{
    Session* session = FindSession(name);
    if (!session) {
        *error = name + " is not signed on";
        return false;
    }
    bool wasVisible = Visible(*session);
    session->awayMessage = message;
    session->awayMime = locate::kDefaultMime;
    PresenceChanged(*session, wasVisible);
    return true;
}

bool ServerCore::SetIdle(const std::string& name, uint32_t minutes, std::string* error)
{
    Session* session = FindSession(name);
    if (!session) {
        *error = name + " is not signed on";
        return false;
    }
    bool wasVisible = Visible(*session);
    uint32_t now = Now();
    session->idleSince = minutes == 0 ? 0 : now - std::min<uint32_t>(minutes * 60, now - 1);
    PresenceChanged(*session, wasVisible);
    return true;
}

bool ServerCore::SetProfile(const std::string& name, const std::string& html, std::string* error)
{
    User* user = FindUser(name);
    if (!user) {
        *error = "no account " + name;
        return false;
    }
    user->account.profile = html;
    user->profileMime = locate::kDefaultMime;
    if (listChanged_)
        listChanged_();
    return true;
}

bool ServerCore::SendIm(const std::string& from, const std::string& to, const std::string& text,
                        bool autoResponse, std::string* error)
{
    Session* sender = FindSession(from);
    Session* target = FindSession(to);
    if (!sender || !sender->online) {
        *error = from + " is not signed on";
        return false;
    }
    if (!target || !target->online) {
        *error = to + " is not signed on";
        return false;
    }
    ScriptedReply(*sender, *target, text, autoResponse);
    return true;
}

bool ServerCore::SendTyping(const std::string& from, const std::string& to, uint16_t event, std::string* error)
{
    Session* sender = FindSession(from);
    Session* target = FindSession(to);
    if (!sender || !sender->online) {
        *error = from + " is not signed on";
        return false;
    }
    if (!target || !target->online) {
        *error = to + " is not signed on";
        return false;
    }
    ScriptedTyping(*sender, *target, event);
    return true;
}

bool ServerCore::AddBuddy(const std::string& owner, const std::string& group, const std::string& buddy,
                          std::string* error)
{
    User* user = FindUser(owner);
    if (!user) {
        *error = "no account " + owner;
        return false;
    }
    if (group.empty() || buddy.empty()) {
        *error = "a group and a buddy are needed";
        return false;
    }
    feedbag::FeedbagList& list = user->feedbag;
    std::set<std::string> before = BuddyKeys(*user);
    std::vector<feedbag::Item> inserted;
    std::vector<feedbag::Item> updated;

    const feedbag::Item* existing = list.FindGroup(group);
    uint16_t groupId = existing ? existing->groupId : list.NewGroupId();
    if (existing && list.FindBuddy(buddy, groupId)) {
        *error = buddy + " is already in " + group;
        return false;
    }
    uint16_t itemId = list.NewItemId();
    if (groupId == 0 || itemId == 0) {
        *error = "the list is full";
        return false;
    }
    if (!existing) {
        list.Insert(feedbag::Item::Group(group, groupId, {}));
        inserted.push_back(*list.Find(groupId, 0));
        if (feedbag::Item* root = list.Find(0, 0)) {
            std::vector<uint16_t> order = root->Order();
            order.push_back(groupId);
            root->SetOrder(order);
            updated.push_back(*root);
        } else {
            list.Insert(feedbag::Item::Root({groupId}));
            inserted.insert(inserted.begin(), *list.Find(0, 0));
        }
    }
    list.Insert(feedbag::Item::Buddy(buddy, groupId, itemId));
    inserted.push_back(*list.Find(groupId, itemId));
    feedbag::Item* groupItem = list.Find(groupId, 0);
    std::vector<uint16_t> members = groupItem->Order();
    members.push_back(itemId);
    groupItem->SetOrder(members);
    updated.insert(updated.begin(), *groupItem);
    user->feedbagModified = Now();

    // The owner's client learns of the change as it would from another of
    // its own sessions: inserts, then the updated orders, in one cluster.
    if (Session* session = FindSession(user->key); session && !session->Scripted()) {
        SendToSession(*session, MakeSnac(feedbag::StartCluster{}, kServerRequestId));
        feedbag::InsertItems insert;
        insert.items = inserted;
        SendToSession(*session, MakeSnac(insert, kServerRequestId));
        feedbag::UpdateItems update;
        update.items = updated;
        SendToSession(*session, MakeSnac(update, kServerRequestId));
        SendToSession(*session, MakeEmptySnac(feedbag::kEndCluster, kServerRequestId));
    }
    ListEdited(*user, before);
    return true;
}

bool ServerCore::RemoveBuddy(const std::string& owner, const std::string& buddy, std::string* error)
{
    User* user = FindUser(owner);
    if (!user) {
        *error = "no account " + owner;
        return false;
    }
    feedbag::FeedbagList& list = user->feedbag;
    std::set<std::string> before = BuddyKeys(*user);
    std::vector<feedbag::Item> removed;
    while (const feedbag::Item* item = list.FindBuddy(buddy)) {
        removed.push_back(*item);
        list.Remove(item->groupId, item->itemId);
    }
    if (removed.empty()) {
        *error = buddy + " is not on the list of " + owner;
        return false;
    }
    std::vector<feedbag::Item> updated;
    for (const feedbag::Item& item : removed) {
        feedbag::Item* group = list.Find(item.groupId, 0);
        if (!group)
            continue;
        std::vector<uint16_t> members = group->Order();
        members.erase(std::remove(members.begin(), members.end(), item.itemId), members.end());
        group->SetOrder(members);
        updated.push_back(*group);
    }
    user->feedbagModified = Now();
    if (Session* session = FindSession(user->key); session && !session->Scripted()) {
        SendToSession(*session, MakeSnac(feedbag::StartCluster{}, kServerRequestId));
        feedbag::DeleteItems del;
        del.items = removed;
        SendToSession(*session, MakeSnac(del, kServerRequestId));
        if (!updated.empty()) {
            feedbag::UpdateItems update;
            update.items = updated;
            SendToSession(*session, MakeSnac(update, kServerRequestId));
        }
        SendToSession(*session, MakeEmptySnac(feedbag::kEndCluster, kServerRequestId));
    }
    ListEdited(*user, before);
    return true;
}

bool ServerCore::IsOnline(const std::string& name) const
{
    const Session* session = FindSession(name);
    return session && session->online;
}

std::vector<std::string> ServerCore::OnlineUsers() const
{
    std::vector<std::string> names;
    for (const auto& [key, session] : sessions_)
        if (session->online)
            names.push_back(session->user->account.screenName + (session->Away() ? " (away)" : ""));
    return names;
}

std::vector<std::string> ServerCore::ListOf(const std::string& name) const
{
    std::vector<std::string> lines;
    const User* user = FindUser(name);
    if (!user)
        return lines;
    for (const feedbag::Item* group : user->feedbag.Groups()) {
        lines.push_back(group->name);
        for (const feedbag::Item* buddy : user->feedbag.Buddies(group->groupId))
            lines.push_back("  " + buddy->name);
    }
    return lines;
}

bool ServerCore::HasAccount(const std::string& name) const
{
    return FindUser(name) != nullptr;
}

std::vector<InboxEntry> ServerCore::TakeInbox(const std::string& name)
{
    std::vector<InboxEntry> entries;
    if (User* user = FindUser(name)) {
        entries.assign(user->inbox.begin(), user->inbox.end());
        user->inbox.clear();
    }
    return entries;
}

bool ServerCore::InboxEmpty(const std::string& name) const
{
    const User* user = FindUser(name);
    return !user || user->inbox.empty();
}

} // namespace oscar::server
