// ServerCore without sockets: what it says first and how it treats the
// first frames of a connection.
#include "CodecTestSupport.h"
#include "ServerCore.h"

#include <gtest/gtest.h>

using namespace oscar;
using namespace oscar::server;
using codectest::Hex;

namespace {

std::vector<Account> TwoAccounts()
{
    std::vector<Account> accounts;
    std::string error;
    EXPECT_TRUE(ParseAccounts("account Alice\npassword alicepw\naccount Bob\npassword bobpw\n", accounts, &error));
    return accounts;
}

TEST(ServerCore, GreetsEveryConnection)
{
    ServerCore core(TwoAccounts());
    ConnId first = core.Open();
    ConnId second = core.Open();
    EXPECT_NE(first, second);
    // The hello of the reference: signon frame, sequence 100, version 1.
    EXPECT_EQ(Hex("2A 01 00 64 00 04 00 00 00 01"), core.TakeOutput(first));
    EXPECT_EQ(Hex("2A 01 00 64 00 04 00 00 00 01"), core.TakeOutput(second));
    EXPECT_FALSE(core.ShouldClose(first));
}

TEST(ServerCore, FirstFrameMustBeAPlainSignon)
{
    struct Case {
        const char* what;
        const char* bytes;
        bool closes;
    } cases[] = {
        {"BUCP start", "2A 01 00 01 00 04 00 00 00 01", false},
        {"BUCP start in pieces is the same", "2A 01 00 01 00 04 00 00 00", false},
        {"DATA before signon", "2A 02 00 01 00 0A 00 17 00 06 00 00 00 00 00 01", true},
        {"keep-alive before signon", "2A 05 00 01 00 00", true},
        {"FLAP version 2", "2A 01 00 01 00 04 00 00 00 02", true},
        {"the old roasted-password login", "2A 01 00 01 00 0D 00 00 00 01 00 01 00 05 61 6C 69 63 65", true},
        {"a cookie nobody issued", "2A 01 00 01 00 0C 00 00 00 01 00 06 00 04 01 02 03 04", true},
        {"garbage", "47 45 54 20 2F", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ServerCore core(TwoAccounts());
        ConnId conn = core.Open();
        core.TakeOutput(conn);
        Bytes bytes = Hex(c.bytes);
        core.Receive(conn, bytes.data(), bytes.size());
        EXPECT_EQ(c.closes, core.ShouldClose(conn));
    }
}

TEST(ServerCore, LoginConnectionEndsAfterTenFrames)
{
    ServerCore core(TwoAccounts());
    ConnId conn = core.Open();
    Bytes signon = Hex("2A 01 00 01 00 04 00 00 00 01");
    core.Receive(conn, signon.data(), signon.size());
    Bytes keepAlive = Hex("2A 05 00 02 00 00");
    for (int i = 0; i < 10; ++i)
        core.Receive(conn, keepAlive.data(), keepAlive.size());
    EXPECT_FALSE(core.ShouldClose(conn));
    core.Receive(conn, keepAlive.data(), keepAlive.size());
    EXPECT_TRUE(core.ShouldClose(conn));
}

TEST(ServerCore, UnknownNameEndsTheLoginWithErrorOne)
{
    ServerCore core(TwoAccounts());
    ConnId conn = core.Open();
    core.TakeOutput(conn);
    Bytes in = Hex("2A 01 00 01 00 04 00 00 00 01"
                   "2A 02 00 02 00 13 00 17 00 06 00 00 00 00 00 2A 00 01 00 05 63 61 72 6F 6C");   // "carol"
    core.Receive(conn, in.data(), in.size());
    // 17,03 with only TLV 8 = 1, echoing request ID 0x2A; then an empty signoff.
    EXPECT_EQ(Hex("2A 02 00 65 00 10 00 17 00 03 00 00 00 00 00 2A 00 08 00 02 00 01"
                  "2A 04 00 66 00 00"),
              core.TakeOutput(conn));
    EXPECT_TRUE(core.ShouldClose(conn));
}

TEST(ServerCore, ClosedConnectionsAreForgotten)
{
    ServerCore core(TwoAccounts());
    ConnId conn = core.Open();
    core.Closed(conn);
    EXPECT_TRUE(core.ShouldClose(conn));
    EXPECT_FALSE(core.HasOutput(conn));
    Bytes bytes = Hex("2A 01 00 01 00 04 00 00 00 01");
    core.Receive(conn, bytes.data(), bytes.size());       // ignored, not a crash
    EXPECT_TRUE(core.TakeOutput(conn).empty());
}

} // namespace
