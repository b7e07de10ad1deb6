// Buddy events end to end: two accounts signed on to the local OSCAR server
// in this process through the real acccore.dll both list Carol; her comings
// and goings reach the registered log writer through the connection
// objects and are written once, under the first account.
#include <winsock2.h>

#include "AIMConnection.h"
#include "AppState.h"
#include "LogConnection.h"
#include "MediaLibrary.h"
#include "PreferenceStore.h"
#include "ScopedHandle.h"
#include "Seams.h"
#include "StringConv.h"
#include "TestSupport.h"

#include "OscarServer.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const char kAccounts[] =
    "account Alice Demo\npassword welcome1\ngroup Buddies\nbuddy Carol Smith\n\n"
    "account Bob Demo\npassword welcome2\ngroup Friends\nbuddy Carol Smith\n\n"
    "account Carol Smith\npassword welcome3\n";

// The Type attributes of a buddy's Events.xml, in order; empty when the
// file is missing. The file must parse whole.
std::vector<std::string> EventTypes(const std::wstring& path)
{
    std::vector<std::string> types;
    tinyxml2::XMLDocument document;
    if (document.LoadFile(WideToUtf8(path).c_str()) != tinyxml2::XML_SUCCESS)
        return types;
    for (auto* event = document.RootElement()->FirstChildElement("Event"); event;
         event = event->NextSiblingElement("Event"))
        types.push_back(event->Attribute("Type") ? event->Attribute("Type") : "");
    return types;
}

class BuddyEventLogLiveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ReleaseAllSessions();
        // The log templates come from the media library.
        media.reset(LoadLibraryExW((ExeFolder() + L"VLMMedia.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(media);
        SetMediaModule(media.get());
        Settings().SetPath(folder.File(L"Velmora.ini").c_str());
        std::vector<oscar::server::Account> accounts;
        std::string error;
        ASSERT_TRUE(oscar::server::ParseAccounts(kAccounts, accounts, &error)) << error;
        server = std::make_unique<oscar::server::OscarServer>(accounts, oscar::server::OscarServer::Options());
        ASSERT_TRUE(server->Start(&error)) << error;
        const CPreferenceStore store(Settings());
        ASSERT_TRUE(store.WriteValue(L"aimcc.connect.host.address", L"127.0.0.1"));
        ASSERT_TRUE(store.WriteValue(L"aimcc.connect.host.port", std::to_wstring(server->LoginPort())));
        // Every buddy event of every buddy.
        Settings().WriteString(L"Settings.LOGS", L"Buddies", L"1");
        Settings().WriteString(L"Settings.LOGS.PB", L"CarolSmith", L"1023");
        RegisterBuddyEventLog(true);
        LogWriter().ReadRootFolder();
    }
    void TearDown() override
    {
        RegisterBuddyEventLog(false);
        SignOffAllSessions();
        PumpUntil([] { return !IsPrimaryOnline(); }, 5000);
        ReleaseAllSessions();
        server->Stop();
        Settings().SetPath(nullptr);
        SetMediaModule(nullptr);
    }

    bool SignOn(const wchar_t* name, const wchar_t* password)
    {
        auto connection = CAIMConnection::Create();
        Connections().push_back(connection);
        return connection->SignOnAccount(name, password)
            && PumpUntil([&] { return connection->State() == AIMCC::AccState::Online; });
    }

    TempFolder folder;
    ScopedModule media;
    std::unique_ptr<oscar::server::OscarServer> server;
};

TEST_F(BuddyEventLogLiveTest, ABuddysEventsAreWrittenOnceUnderTheFirstAccount)
{
    ASSERT_TRUE(SignOn(L"Alice Demo", L"welcome1"));
    ASSERT_TRUE(SignOn(L"Bob Demo", L"welcome2"));
    const std::wstring alices = folder.File(L"Logs\\AliceDemo\\IM\\CarolSmith\\Events.xml");
    const std::wstring bobs = folder.File(L"Logs\\BobDemo\\IM\\CarolSmith\\Events.xml");

    ASSERT_TRUE(server->SignOn("Carol Smith"));
    ASSERT_TRUE(PumpUntil([&] { return EventTypes(alices).size() == 1; }));
    ASSERT_TRUE(server->SetAway("Carol Smith", "lunch"));
    ASSERT_TRUE(PumpUntil([&] { return EventTypes(alices).size() == 2; }));
    ASSERT_TRUE(server->SetIdle("Carol Smith", 15));
    ASSERT_TRUE(PumpUntil([&] { return EventTypes(alices).size() == 3; }));
    ASSERT_TRUE(server->SignOff("Carol Smith"));
    ASSERT_TRUE(PumpUntil([&] { return EventTypes(alices).size() >= 4; }));

    const std::vector<std::string> types = EventTypes(alices);
    EXPECT_EQ("1", types.front()) << "signed on first";
    EXPECT_EQ("3", types[1]) << "then away";
    EXPECT_EQ("7", types[2]) << "then idle";
    EXPECT_EQ("2", types.back()) << "signed off last";
    EXPECT_EQ(GetFileAttributesW(bobs.c_str()), INVALID_FILE_ATTRIBUTES) << "logged once, under Alice only";
}

} // namespace
