// The demo's scripted buddies on the core, with the core's clock driven by
// hand: typing first, the answer after the pause, "help" and "away", the
// regular round of stepping away and coming back, and people who leave
// before an answer is due. What Alice's client receives is written down as
// a transcript, one line per event, so each step is compared whole.
#include "ServerCore.h"
#include "TestClient.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace oscar;
using namespace oscar::server;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

namespace {

const char kAccounts[] =
    "account Alice\npassword alicepw\ngroup Buddies\nbuddy Echo Bot\nbuddy Busy Bee\n"
    "account Bob\npassword bobpw\ngroup Buddies\nbuddy Echo Bot\n"
    "account Echo Bot\npassword echopw\nscript online\n"
    "account Busy Bee\npassword busypw\nscript away Gone fishing\n";

const char kIntroduction[] =
    "<br>(I am a demo buddy: I say back what you send. Type <b>help</b> to see what else I do.)";
const char kHelp[] =
    "I am a demo buddy on this local server. What I can do:<br>"
    "- I say back whatever you send me, after showing that I am typing.<br>"
    "- <b>help</b> shows this list.<br>"
    "- <b>away</b> makes me step away for a while; messages then get my away message.";
const char kStepAwayAnswer[] = "OK, I am stepping away for a while. Anything you send now gets my away message.";

class DemoScriptTest : public ::testing::Test {
protected:
    void Start(DemoScript demo)
    {
        script = demo;
        alice.reset();                   // it talks to the old core
        std::vector<Account> accounts;
        std::string error;
        ASSERT_TRUE(ParseAccounts(kAccounts, accounts, &error)) << error;
        core = std::make_unique<ServerCore>(accounts);
        core->SetClock([this] { return now; });
        core->SetDemo(true, script);
        core->StartScriptedAccounts();
        alice = SignOn("Alice", "alicepw");
        EXPECT_EQ((Lines{"arrived Busy Bee (away)", "arrived Echo Bot"}), Transcript(*alice));
    }

    std::unique_ptr<TestClient> SignOn(const std::string& name, const std::string& password)
    {
        auto client = std::make_unique<TestClient>(*core);
        bucp::LoginResponse login = client->Login(0, name, password);
        EXPECT_TRUE(login.Succeeded()) << name;
        EXPECT_TRUE(client->SignOnBos(login)) << name;
        return client;
    }

    static void Say(TestClient& from, const std::string& to, const std::string& html)
    {
        from.Send(icbm::MakeImToHost(0x0102030405060708ull, to, icbm::InstantMessage::FromUtf8(html)));
    }

    void Advance(std::chrono::milliseconds by)
    {
        now += by;
        core->RunDue();
    }

    // Everything of interest the client has received since last asked, in order.
    static Lines Transcript(TestClient& client)
    {
        Lines lines;
        Snac snac;
        while (client.ExpectAny({icbm::kClientEvent, icbm::kChannelMsgToClient, buddy::kArrived, buddy::kDeparted},
                                snac, 0)) {
            if (icbm::ClientEvent typing; snac.Is(icbm::kClientEvent) && Decode(snac.body, typing)) {
                const char* events[] = {"finished", "paused", "begun"};
                lines.push_back("typing " + typing.screenName + " " +
                                (typing.event < 3 ? events[typing.event] : "?"));
            } else if (icbm::ChannelMsgToClient message; snac.Is(icbm::kChannelMsgToClient) &&
                                                         Decode(snac.body, message)) {
                icbm::InstantMessage im;
                EXPECT_TRUE(icbm::ImFromTlvs(message.tlvs, im));
                lines.push_back(std::string(im.autoResponse ? "auto " : "im ") + message.sender.screenName + ": " +
                                im.TextUtf8());
            } else if (buddy::Arrived arrived; snac.Is(buddy::kArrived) && Decode(snac.body, arrived)) {
                lines.push_back("arrived " + arrived.user.screenName + (arrived.user.IsAway() ? " (away)" : ""));
            } else if (buddy::Departed departed; snac.Is(buddy::kDeparted) && Decode(snac.body, departed)) {
                lines.push_back("departed " + departed.user.screenName);
            } else {
                lines.push_back("undecodable " + std::to_string(snac.subgroup));
            }
        }
        return lines;
    }

    DemoScript script;
    ServerCore::Clock::time_point now{std::chrono::hours(1)};
    std::unique_ptr<ServerCore> core;
    std::unique_ptr<TestClient> alice;
};

TEST_F(DemoScriptTest, ShowsTypingThenAnswersAfterThePause)
{
    DemoScript demo;
    demo.typingPause = 1500ms;
    Start(demo);
    EXPECT_FALSE(core->NextDue());

    Say(*alice, "Echo Bot", "<HTML><BODY>Is anyone there?</BODY></HTML>");
    EXPECT_EQ(Lines{"typing Echo Bot begun"}, Transcript(*alice));
    ASSERT_TRUE(core->NextDue());
    EXPECT_EQ(now + 1500ms, *core->NextDue());
    Advance(1499ms);
    EXPECT_EQ(Lines{}, Transcript(*alice));
    Advance(1ms);
    EXPECT_EQ(Lines{"im Echo Bot: You said: Is anyone there?" + std::string(kIntroduction)}, Transcript(*alice));
    EXPECT_FALSE(core->NextDue());

    // Said once per person: the next echo is the text alone, and Bob hears it on his first.
    Say(*alice, "echobot", "Second");
    Advance(1500ms);
    EXPECT_EQ((Lines{"typing Echo Bot begun", "im Echo Bot: You said: Second"}), Transcript(*alice));
    auto bob = SignOn("Bob", "bobpw");
    Transcript(*bob);
    Say(*bob, "Echo Bot", "Hi");
    Advance(1500ms);
    EXPECT_EQ((Lines{"typing Echo Bot begun", "im Echo Bot: You said: Hi" + std::string(kIntroduction)}),
              Transcript(*bob));

    // Two quick messages: two answers, in the order they were sent.
    Say(*alice, "Echo Bot", "one");
    Advance(500ms);
    Say(*alice, "Echo Bot", "two");
    Advance(1000ms);
    EXPECT_EQ((Lines{"typing Echo Bot begun", "typing Echo Bot begun", "im Echo Bot: You said: one"}),
              Transcript(*alice));
    Advance(500ms);
    EXPECT_EQ(Lines{"im Echo Bot: You said: two"}, Transcript(*alice));

    // Sent on Alice's behalf through the scripting calls, as `make test` does it.
    std::string error;
    ASSERT_TRUE(core->SendIm("Alice", "Echo Bot", "by proxy", false, &error)) << error;
    Advance(1500ms);
    EXPECT_EQ((Lines{"typing Echo Bot begun", "im Echo Bot: You said: by proxy"}), Transcript(*alice));
}

TEST_F(DemoScriptTest, AnswersByWhatWasSaid)
{
    struct Case {
        const char* said;
        std::string answer;
    } cases[] = {
        {"help", kHelp},
        {"<HTML><BODY><FONT SIZE=2> HeLP </FONT></BODY></HTML>", kHelp},
        {"helpful", "You said: helpful" + std::string(kIntroduction)},
        {"help me", "You said: help me" + std::string(kIntroduction)},
        {"<IMG SRC=\"smile.gif\">", "Your message had no text for me to say back."},
        {"Tom &amp; Jerry", "You said: Tom &amp; Jerry" + std::string(kIntroduction)},
        {"away", kStepAwayAnswer},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.said);
        DemoScript demo;
        demo.typingPause = 0ms;
        Start(demo);
        Say(*alice, "Echo Bot", c.said);
        Advance(0ms);
        Lines lines = Transcript(*alice);
        ASSERT_LE(2u, lines.size());
        EXPECT_EQ("typing Echo Bot begun", lines[0]);
        EXPECT_EQ("im Echo Bot: " + c.answer, lines[1]);
    }

    // With a regular round the list says so.
    DemoScript demo;
    demo.typingPause = 0ms;
    demo.awayEvery = 60s;
    Start(demo);
    Say(*alice, "Echo Bot", "help");
    Advance(0ms);
    EXPECT_EQ((Lines{"typing Echo Bot begun",
                     "im Echo Bot: " + std::string(kHelp) + "<br>- Now and then I step away by myself and come back."}),
              Transcript(*alice));
}

TEST_F(DemoScriptTest, StepsAwayWhenAskedAndComesBack)
{
    DemoScript demo;
    demo.typingPause = 1s;
    demo.awayFor = 20s;
    Start(demo);
    Say(*alice, "Echo Bot", "away");
    Advance(1s);
    EXPECT_EQ((Lines{"typing Echo Bot begun", "im Echo Bot: " + std::string(kStepAwayAnswer),
                     "arrived Echo Bot (away)"}),
              Transcript(*alice));
    EXPECT_TRUE(core->IsOnline("Echo Bot"));

    // Away: the away message comes back at once, without typing.
    Say(*alice, "Echo Bot", "still there?");
    EXPECT_EQ(Lines{"auto Echo Bot: " + demo.awayMessage}, Transcript(*alice));
    Advance(19s);
    EXPECT_EQ(Lines{}, Transcript(*alice));
    Advance(1s);
    EXPECT_EQ(Lines{"arrived Echo Bot"}, Transcript(*alice));
    // Without a regular round nothing else is planned.
    EXPECT_FALSE(core->NextDue());
}

TEST_F(DemoScriptTest, RegularRoundOfAwayAndBack)
{
    DemoScript demo;
    demo.awayEvery = 60s;
    demo.awayFor = 10s;
    Start(demo);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        Advance(59s);
        EXPECT_EQ(Lines{}, Transcript(*alice));
        Advance(1s);
        EXPECT_EQ(Lines{"arrived Echo Bot (away)"}, Transcript(*alice));   // Busy Bee keeps to its own
        Advance(10s);
        EXPECT_EQ(Lines{"arrived Echo Bot"}, Transcript(*alice));
    }

    // An away message set from outside is left alone: the round skips a turn
    // and goes on once the buddy is back.
    std::string error;
    ASSERT_TRUE(core->SetAway("Echo Bot", "At the dentist", &error));
    EXPECT_EQ(Lines{"arrived Echo Bot (away)"}, Transcript(*alice));
    Advance(60s);
    Advance(10s);
    EXPECT_EQ(Lines{}, Transcript(*alice));
    Say(*alice, "Echo Bot", "hello?");
    EXPECT_EQ(Lines{"auto Echo Bot: At the dentist"}, Transcript(*alice));
    ASSERT_TRUE(core->SetAway("Echo Bot", "", &error));
    EXPECT_EQ(Lines{"arrived Echo Bot"}, Transcript(*alice));
    Advance(50s);
    EXPECT_EQ(Lines{"arrived Echo Bot (away)"}, Transcript(*alice));
}

TEST_F(DemoScriptTest, NobodyLeftToAnswer)
{
    struct Case {
        const char* what;
        bool aliceLeaves;
    } cases[] = {
        {"the person signs off before the answer", true},
        {"the buddy is signed off before the answer", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DemoScript demo;
        demo.typingPause = 2s;
        Start(demo);
        auto bob = SignOn("Bob", "bobpw");
        Transcript(*bob);
        Say(*alice, "Echo Bot", "are you there?");
        EXPECT_EQ(Lines{"typing Echo Bot begun"}, Transcript(*alice));
        std::string error;
        if (c.aliceLeaves)
            alice->Close();
        else
            ASSERT_TRUE(core->SignOff("Echo Bot", &error)) << error;
        Advance(2s);
        EXPECT_FALSE(core->NextDue());
        EXPECT_EQ(c.aliceLeaves ? Lines{} : Lines{"departed echobot"}, Transcript(*bob));
        EXPECT_EQ(c.aliceLeaves, core->IsOnline("Echo Bot"));
        if (!c.aliceLeaves)
            EXPECT_EQ(Lines{"departed echobot"}, Transcript(*alice));
    }
}

} // namespace
