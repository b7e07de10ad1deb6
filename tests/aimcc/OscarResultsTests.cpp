// The server's error codes as the client's results: each row is a code a
// server sends and the catalogue entry whose message the client shows.
#include "OscarResults.h"

#include "AccCore.h"

#include <gtest/gtest.h>

using namespace AIMCC;

namespace {

struct CodeCase {
    uint16_t code;
    HRESULT result;
};

TEST(OscarResults, LoginErrors)
{
    const CodeCase cases[] = {
        {0x0001, ACC_E_INVALID_LOGIN},        // unknown name
        {0x0004, ACC_E_INVALID_LOGIN},
        {0x0005, ACC_E_INVALID_LOGIN},        // wrong password
        {0x0002, ACC_E_SERVICE_UNAVAILABLE},
        {0x0010, ACC_E_SERVICE_UNAVAILABLE},
        {0x0007, ACC_E_ACCOUNT_INVALID},
        {0x0008, ACC_E_ACCOUNT_DELETED},
        {0x0009, ACC_E_ACCOUNT_EXPIRED},
        {0x0011, ACC_E_ACCOUNT_SUSPENDED},
        {0x0022, ACC_E_ACCOUNT_SUSPENDED},
        {0x0016, ACC_E_TOO_MANY_FROM_ADDRESS},
        {0x0017, ACC_E_TOO_MANY_FROM_ADDRESS},
        {0x0018, ACC_E_SIGN_ON_TOO_OFTEN},
        {0x001D, ACC_E_SIGN_ON_TOO_OFTEN},
        {0x0019, ACC_E_WARNING_LEVEL},
        {0x001B, ACC_E_UPGRADE_REQUIRED},
        {0x001C, ACC_E_UPGRADE_RECOMMENDED},
        {0x0006, ACC_E_CLIENT_REFUSED},
        {0x0003, ACC_E_SERVICE_UNAVAILABLE},  // "other errors"
        {0x7777, ACC_E_SERVICE_UNAVAILABLE},  // a code nobody documented
    };
    for (const CodeCase& c : cases)
        EXPECT_EQ(LoginErrorResult(c.code), c.result) << std::hex << c.code;
}

TEST(OscarResults, MessageErrors)
{
    const CodeCase cases[] = {
        {0x0004, ACC_E_RECIPIENT_UNAVAILABLE},  // not logged on
        {0x0013, ACC_E_RECIPIENT_UNAVAILABLE},
        {0x0002, ACC_E_RATE_LIMITED},
        {0x0003, ACC_E_RATE_LIMITED},
        {0x0010, ACC_E_REFUSED_BY_RECIPIENT},   // blocked
        {0x000A, ACC_E_REFUSED_BY_RECIPIENT},
        {0x0011, ACC_E_WARNING_LEVEL},
        {0x0012, ACC_E_WARNING_LEVEL},
        {0x000E, ACC_E_MESSAGE_TOO_LARGE},
        {0x0005, ACC_E_SERVICE_UNAVAILABLE},
        {0x0001, E_FAIL},
    };
    for (const CodeCase& c : cases)
        EXPECT_EQ(MessageErrorResult(c.code), c.result) << std::hex << c.code;
}

TEST(OscarResults, BuddyListStatusesAndSignoffReasons)
{
    const CodeCase statuses[] = {
        {0x0000, S_OK},
        {0x0002, HRESULT_FROM_WIN32(ERROR_NOT_FOUND)},
        {0x0003, HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS)},
        {0x000C, ACC_E_NOT_PERMITTED},
        {0x000E, E_ACCESSDENIED},
        {0x000A, E_INVALIDARG},
    };
    for (const CodeCase& c : statuses)
        EXPECT_EQ(FeedbagStatusResult(c.code), c.result) << std::hex << c.code;

    const CodeCase reasons[] = {
        {0x0001, ACC_E_SIGNED_ON_ELSEWHERE},
        {0x0002, ACC_E_ACCOUNT_DELETED},
        {0x0000, ACC_E_CONNECTION_LOST},      // server shutting down
        {0x0042, ACC_E_CONNECTION_LOST},
    };
    for (const CodeCase& c : reasons)
        EXPECT_EQ(SignoffResult(c.code), c.result) << std::hex << c.code;
}

} // namespace
