// Appearing idle: the AIM layer's own tick count runs ahead by the chosen
// minutes while the primary account is signed on, and nothing moves while
// it is not.
#include <winsock2.h>

#include "AIMConnection.h"
#include "APIHooks.h"
#include "AppState.h"
#include "IdleController.h"
#include "PreferenceStore.h"
#include "Seams.h"
#include "TestSupport.h"

#include "OscarServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using TickFunction = DWORD(WINAPI*)();

// What acccore.dll gets when it asks for the tick count.
DWORD LayerTickCount()
{
    void* imported = ImportedFunction(GetModuleHandleW(L"acccore.dll"), "kernel32.dll", "GetTickCount");
    return imported ? reinterpret_cast<TickFunction>(imported)() : 0;
}

class IdleControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ReleaseAllSessions();
        Settings().SetPath(folder.File(L"Velmora.ini").c_str());
        std::vector<oscar::server::Account> accounts;
        std::string error;
        ASSERT_TRUE(oscar::server::ParseAccounts("account Alice Demo\npassword welcome1\n", accounts, &error));
        server = std::make_unique<oscar::server::OscarServer>(accounts, oscar::server::OscarServer::Options());
        ASSERT_TRUE(server->Start(&error)) << error;
        const CPreferenceStore store(Settings());
        ASSERT_TRUE(store.WriteValue(L"aimcc.connect.host.address", L"127.0.0.1"));
        ASSERT_TRUE(store.WriteValue(L"aimcc.connect.host.port", std::to_wstring(server->LoginPort())));
        Settings().WriteInt(L"Status", L"IdleTime", 10);
    }
    void TearDown() override
    {
        IdleController().SetAppearIdle(false);
        SignOffAllSessions();
        PumpUntil([] { return !IsPrimaryOnline(); }, 5000);
        ReleaseAllSessions();
        server->Stop();
        Settings().SetPath(nullptr);
    }

    TempFolder folder;
    std::unique_ptr<oscar::server::OscarServer> server;
};

TEST_F(IdleControllerTest, TheLayersClockRunsAheadOnlyWhileAppearingIdle)
{
    // Signed off: the choice changes nothing.
    IdleController().SetAppearIdle(true);
    EXPECT_FALSE(IdleController().AppearingIdle());

    SignOnPrimary(L"Alice Demo", L"welcome1");
    ASSERT_TRUE(PumpUntil([] { return IsPrimaryOnline(); }));
    // The controller's hooks go into the layer loaded by the sign-on.
    ASSERT_TRUE(Kernel32Hook().Install(GetModuleHandleW(L"acccore.dll")) || Kernel32Hook().Previous());
    EXPECT_LE(LayerTickCount() - GetTickCount(), 1000u);

    IdleController().SetAppearIdle(true);
    EXPECT_TRUE(IdleController().AppearingIdle());
    const DWORD ahead = LayerTickCount() - GetTickCount();
    EXPECT_GE(ahead, 599000u);
    EXPECT_LE(ahead, 601000u);

    IdleController().SetAppearIdle(false);
    EXPECT_LE(LayerTickCount() - GetTickCount(), 1000u);
}

TEST(IdleMinutesTest, StoredValuesAreKeptWithinTheOfferedRange)
{
    TempFolder folder;
    Settings().SetPath(folder.File(L"Velmora.ini").c_str());
    const struct {
        const wchar_t* stored;
        int minutes;
    } cases[] = {{L"10", 10}, {L"-5", 0}, {L"90", 90}, {L"2000000000", 90}, {L"junk", 0}};
    for (const auto& c : cases) {
        Settings().WriteString(L"Status", L"IdleTime", c.stored);
        EXPECT_EQ(c.minutes, IdleMinutesSetting()) << c.stored;
    }
    Settings().SetPath(nullptr);
}

} // namespace
