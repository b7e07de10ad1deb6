#include <winsock2.h>

#include "AppState.h"
#include "PasswordProtection.h"
#include "TestSupport.h"
#include "UpdateCheck.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

TEST(PasswordProtectionTest, ProtectTextRoundTripsAndChangesTheText)
{
    const std::wstring texts[] = {L"secret", L"p", L"Pässwörd with spaces", std::wstring(2500, L'x'), L""};
    for (const std::wstring& plain : texts) {
        std::wstring text = plain;
        ASSERT_TRUE(ProtectText(text, true));
        EXPECT_EQ(plain.size(), text.size());
        if (!plain.empty()) {
            EXPECT_NE(plain, text);
        }
        ASSERT_TRUE(ProtectText(text, false));
        EXPECT_EQ(plain, text);
    }
}

// A password whose ciphertext holds a zero code unit: cut at that zero, as
// the older stored form was, it could not come back. The key is fixed, so
// the key stream is too: a text that repeats the key stream's third unit in
// its third place encrypts to a zero there.
std::wstring PasswordWithZeroInCiphertext()
{
    std::wstring keyStream(3, L'\0');
    ProtectText(keyStream, true);
    std::wstring password = L"ab";
    password += keyStream[2];
    password += L"cd";
    std::wstring cipher = password;
    ProtectText(cipher, true);
    return cipher[2] == L'\0' ? password : std::wstring();
}

TEST(PasswordProtectionTest, SealedSecretsAlwaysComeBackAndCorruptOnesAreRefused)
{
    const std::wstring zeroCase = PasswordWithZeroInCiphertext();
    ASSERT_FALSE(zeroCase.empty());
    for (const std::wstring& plain : {zeroCase, std::wstring(L"hunter2"), std::wstring(L"")}) {
        std::wstring back;
        ASSERT_TRUE(OpenSecret(SealSecret(plain), back)) << std::string(plain.begin(), plain.end());
        EXPECT_EQ(plain, back);
    }

    std::vector<BYTE> sealed = SealSecret(L"hunter2");
    sealed[6] ^= 0x40;
    std::wstring back;
    EXPECT_FALSE(OpenSecret(sealed, back));
    EXPECT_FALSE(OpenSecret(std::vector<BYTE>(sealed.begin(), sealed.begin() + 5), back));
    EXPECT_FALSE(OpenSecret({1, 2, 3}, back));
}

TEST(PasswordProtectionTest, OlderStoredFormStillOpens)
{
    std::wstring cipher = L"oldpass";
    ASSERT_TRUE(ProtectText(cipher, true));
    const BYTE* bytes = reinterpret_cast<const BYTE*>(cipher.data());
    std::wstring back;
    ASSERT_TRUE(OpenSecret(std::vector<BYTE>(bytes, bytes + cipher.size() * 2), back));
    EXPECT_EQ(L"oldpass", back);
}

TEST(PasswordProtectionTest, HashIsThirtyOneLowercaseHexDigits)
{
    std::wstring first;
    std::wstring second;
    ASSERT_TRUE(HashTextHex(L"C:\\Shared\\Music", first));
    ASSERT_TRUE(HashTextHex(L"C:\\Shared\\Music2", second));
    EXPECT_EQ(31u, first.size());
    EXPECT_EQ(std::wstring::npos, first.find_first_not_of(L"0123456789abcdef"));
    EXPECT_NE(first, second);
    // MD5 of the UTF-16 bytes of "a" (61 00) is 4144e195f46de78a3623da7364d04f11.
    std::wstring known;
    ASSERT_TRUE(HashTextHex(L"a", known));
    EXPECT_EQ(L"4144e195f46de78a3623da7364d04f1", known);
}

TEST(UpdateDecisionTest, RepliesAndVersionsDecideTheBalloon)
{
    struct Case {
        const char* reply;
        VersionQuad own;
        unsigned setting;
        bool parses;
        UpdateFinding finding;
    } cases[] = {
        {"0.9.0.3637|0.9.1.1", {0, 9, 0, 3637}, 1, true, UpdateFinding::None},
        {"0.9.0.3637|0.9.1.1", {0, 9, 0, 3637}, 2, true, UpdateFinding::NewTestVersion},
        {"1.0.0.0|0.0.0.0", {0, 9, 0, 3637}, 1, true, UpdateFinding::NewRelease},
        {"1.0.0.0|0.0.0.0", {0, 9, 0, 3637}, 3, true, UpdateFinding::NewRelease},
        {"0.9.0.3636|0.9.0.3636", {0, 9, 0, 3637}, 2, true, UpdateFinding::None},
        {"0.10.0.0|0.0.0.0", {0, 9, 99, 99}, 1, true, UpdateFinding::NewRelease},
        {"garbage", {0, 9, 0, 0}, 1, false, UpdateFinding::None},
        {"1.0.0.0", {0, 9, 0, 0}, 1, false, UpdateFinding::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        VersionQuad release = {};
        VersionQuad test = {};
        ASSERT_EQ(c.parses, ParseUpdateReply(c.reply, release, test));
        if (c.parses) {
            EXPECT_EQ(c.finding, DecideUpdate(c.own, release, test, c.setting));
        }
    }
}

// A loopback HTTP server that answers every request with one body.
class ReplyServer {
public:
    explicit ReplyServer(std::string body) : body_(std::move(body))
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        int length = sizeof(address);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        listen(listener_, 4);
        thread_ = std::thread([this] { Serve(); });
    }
    ~ReplyServer()
    {
        closesocket(listener_);
        thread_.join();
        WSACleanup();
    }
    int port() const { return port_; }
    int requests() const { return requests_; }

private:
    void Serve()
    {
        for (;;) {
            SOCKET client = accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET)
                return;
            // Read the whole request head before answering; closing with
            // unread data would reset the connection.
            std::string request;
            char chunk[1024];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const int got = recv(client, chunk, sizeof(chunk), 0);
                if (got <= 0)
                    break;
                request.append(chunk, got);
            }
            ++requests_;
            const std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nCache-Control: no-cache\r\n"
                                      "Connection: close\r\nContent-Length: " +
                                      std::to_string(body_.size()) + "\r\n\r\n" + body_;
            send(client, reply.data(), static_cast<int>(reply.size()), 0);
            shutdown(client, SD_SEND);
            while (recv(client, chunk, sizeof(chunk), 0) > 0) {
            }
            closesocket(client);
        }
    }

    std::string body_;
    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::atomic<int> requests_{0};
    std::thread thread_;
};

constexpr UINT kResultMessage = WM_APP + 40;

bool WaitForPosted(HWND window, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < timeoutMs) {
        if (PeekMessageW(&msg, window, kResultMessage, kResultMessage, PM_REMOVE))
            return true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_POSTMESSAGE);
    }
    return false;
}

TEST(UpdateCheckTest, ChecksTheServerOnceWithinFifteenMinutes)
{
    TempFolder folder;
    Settings().SetPath(folder.File(L"Velmora.ini").c_str());
    // This test program has no version resource: it is version 0.0.0.0.
    ReplyServer server("0.0.0.1|0.0.0.0");
    Settings().WriteString(L"Update", L"Server", (L"http://127.0.0.1:" + std::to_wstring(server.port()) + L"/").c_str());
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);

    EXPECT_FALSE(StartUpdateCheck(false, window, kResultMessage, 1)) << "switched off by default";
    Settings().WriteUInt(L"General", L"UpdateCheck", 1);
    ASSERT_TRUE(StartUpdateCheck(false, window, kResultMessage, 1));
    ASSERT_TRUE(WaitForPosted(window, 20000));
    UpdateResult result;
    ASSERT_TRUE(TakeUpdateResult(result));
    EXPECT_EQ(UpdateFinding::NewRelease, result.finding);
    EXPECT_FALSE(result.explicitRequest);
    EXPECT_EQ(1, server.requests());

    EXPECT_FALSE(StartUpdateCheck(false, window, kResultMessage, 1)) << "a second start within 15 minutes";
    ASSERT_TRUE(StartUpdateCheck(true, window, kResultMessage, 1)) << "the user may always ask";
    ASSERT_TRUE(WaitForPosted(window, 20000));
    ASSERT_TRUE(TakeUpdateResult(result));
    EXPECT_TRUE(result.explicitRequest);
    EXPECT_EQ(2, server.requests());

    DestroyWindow(window);
    Settings().SetPath(nullptr);
}

} // namespace
