// Fuzz target for the server logic: a user is signed on through the real
// login and BOS start (so the fuzzer needs no cookie), another one is online
// to be talked to, and the input is then fed to the signed-on connection as
// if it came from its socket, in two pieces. The same bytes then go to the
// control channel as lines, and to a new connection at its very start, to
// exercise the login stage.
#include "ControlCommands.h"
#include "ServerCore.h"

#include <cstdlib>

using namespace oscar;
using namespace oscar::server;

namespace {

const char kAccounts[] =
    "account Alice\npassword alicepw\ngroup Buddies\nbuddy Bob\nbuddy Carol\n"
    "account Bob\npassword bobpw\ngroup Buddies\nbuddy Alice\n"
    "account Carol\npassword carolpw\n";

Bytes Frame(FlapSequence& sequence, uint8_t channel, const Bytes& payload)
{
    FlapFrame frame;
    frame.channel = channel;
    frame.sequence = sequence.Next();
    frame.payload = payload;
    Bytes out;
    EncodeFlap(frame, out);
    return out;
}

template <class M>
Bytes SnacFrame(FlapSequence& sequence, const M& message)
{
    return Frame(sequence, flap::kData, EncodeSnac(MakeSnac(message, 1)));
}

// The SNACs the server sent on `conn`, in order.
std::vector<Snac> Output(ServerCore& core, ConnId conn)
{
    FlapReader reader;
    reader.Append(core.TakeOutput(conn));
    std::vector<Snac> snacs;
    FlapFrame frame;
    while (reader.Next(frame) == FlapParse::Frame) {
        Snac snac;
        if (frame.channel == flap::kData && DecodeSnac(frame.payload, snac))
            snacs.push_back(snac);
    }
    return snacs;
}

void Feed(ServerCore& core, ConnId conn, const Bytes& bytes)
{
    core.Receive(conn, bytes.data(), bytes.size());
}

// Logs Alice in and brings her BOS connection to "client online".
ConnId SignOnAlice(ServerCore& core)
{
    FlapSequence seq;
    ConnId login = core.Open();
    Feed(core, login, Frame(seq, flap::kSignon, Encode(SignonFrame{})));
    Feed(core, login, SnacFrame(seq, bucp::ChallengeRequest{"Alice"}));
    bucp::ChallengeResponse challenge;
    for (const Snac& s : Output(core, login))
        if (s.Is(bucp::kChallengeResponse))
            Decode(s.body, challenge);
    bucp::LoginRequest request;
    request.screenName = "Alice";
    request.passwordHash = bucp::StrongPasswordHash(challenge.key, "alicepw");
    Feed(core, login, SnacFrame(seq, request));
    bucp::LoginResponse response;
    for (const Snac& s : Output(core, login))
        if (s.Is(bucp::kLoginResponse))
            Decode(s.body, response);
    core.Closed(login);
    if (!response.Succeeded())
        std::abort();

    ConnId bos = core.Open();
    SignonFrame signon;
    signon.tlvs.Add(signon::kTagCookie, response.cookie);
    Feed(core, bos, Frame(seq, flap::kSignon, Encode(signon)));
    Feed(core, bos, Frame(seq, flap::kData, EncodeSnac(MakeEmptySnac(oservice::kClientOnline, 2))));
    core.TakeOutput(bos);
    if (core.ShouldClose(bos))
        std::abort();
    return bos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static std::vector<Account> accounts = [] {
        std::vector<Account> parsed;
        std::string error;
        if (!ParseAccounts(kAccounts, parsed, &error))
            std::abort();
        return parsed;
    }();
    ServerCore core(accounts);
    core.SetDemo(size % 2 == 0);
    ServerCore::Clock::time_point now{};
    core.SetClock([&now] { return now; });
    std::string error;
    core.SignOn("Bob", &error);
    ConnId alice = SignOnAlice(core);

    // The fuzz bytes follow a valid sign-on, as anything a client sends later would.
    size_t split = size ? data[0] % (size + 1) : 0;
    core.Receive(alice, data, split);
    core.TakeOutput(alice);
    core.Receive(alice, data + split, size - split);
    core.TakeOutput(alice);
    // Whatever the demo buddies planned in answer is due an hour later.
    now += std::chrono::hours(1);
    core.RunDue();
    core.TakeOutput(alice);
    core.TakeInbox("Bob");
    core.ExportAccounts();
    core.Closed(alice);

    // The same bytes as lines of the control channel.
    std::string text(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    for (int lines = 0; lines < 16 && start < text.size(); ++lines) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        RunControlCommand(core, text.substr(start, end - start));
        start = end + 1;
    }

    ConnId fresh = core.Open();
    core.Receive(fresh, data, size);
    core.TakeOutput(fresh);
    core.Closed(fresh);
    return 0;
}
