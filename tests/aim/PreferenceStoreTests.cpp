#include "AccountSettings.h"
#include "Ini.h"
#include "PreferenceStore.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

class PreferenceStoreTest : public ::testing::Test {
protected:
    TempFolder folder;
    CIni ini{folder.File(L"Velmora.ini").c_str()};
    CPreferenceStore store{ini};
};

TEST_F(PreferenceStoreTest, SingleValuesAreUtf16HexAtTheSplitName)
{
    ASSERT_TRUE(store.WriteValue(L"aimcc.folders.logs", L"C:\\Logs"));
    EXPECT_EQ(L"43003A005C004C006F0067007300", ini.GetString(L"aimcc.folders", L"logs"));
    std::wstring value;
    ASSERT_TRUE(store.ReadValue(L"aimcc.folders.logs", value));
    EXPECT_EQ(L"C:\\Logs", value);

    EXPECT_FALSE(store.ReadValue(L"aimcc.never.written", value));
    ini.WriteString(L"aimcc.connect", L"port", L"12G4");
    EXPECT_FALSE(store.ReadValue(L"aimcc.connect.port", value)) << "a stray character reads as missing";
    ASSERT_TRUE(store.WriteValue(L"nodot", L"x"));
    EXPECT_EQ(L"7800", ini.GetString(L"nodot", L"nodot"));
}

TEST_F(PreferenceStoreTest, ListsAreSectionsAndWinOverSingleValues)
{
    ini.WriteString(L"aimcc.privacy.deniedUsers", L"5", L"7A00");
    ASSERT_TRUE(store.WriteList(L"aimcc.privacy.deniedUsers", {L"a", L"b"}));
    EXPECT_EQ(L"6100", ini.GetString(L"aimcc.privacy.deniedUsers", L"0"));
    EXPECT_EQ(L"6200", ini.GetString(L"aimcc.privacy.deniedUsers", L"1"));
    EXPECT_FALSE(ini.KeyExists(L"aimcc.privacy.deniedUsers", L"5"));

    ini.WriteString(L"aimcc.privacy", L"deniedUsers", L"6300");
    std::vector<std::wstring> items;
    ASSERT_TRUE(store.ReadList(L"aimcc.privacy.deniedUsers", items));
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"b"}), items);

    std::vector<std::wstring> children;
    ASSERT_TRUE(store.Children(L"aimcc.privacy.deniedUsers", children));
    EXPECT_EQ((std::vector<std::wstring>{L"aimcc.privacy.deniedUsers.0", L"aimcc.privacy.deniedUsers.1"}), children);
    EXPECT_FALSE(store.Children(L"aimcc.privacy.permittedUsers", children));
}

TEST_F(PreferenceStoreTest, WritingAValueRemovesTheListThatWouldHideIt)
{
    ASSERT_TRUE(store.WriteList(L"aimcc.general.profile", {L"old", L"list"}));
    ASSERT_TRUE(store.WriteValue(L"aimcc.general.profile", L"<b>hi</b>"));
    EXPECT_FALSE(store.IsList(L"aimcc.general.profile"));
    std::wstring value;
    ASSERT_TRUE(store.ReadValue(L"aimcc.general.profile", value));
    EXPECT_EQ(L"<b>hi</b>", value);
}

TEST_F(PreferenceStoreTest, EraseTakesTheListOrTheValue)
{
    store.WriteList(L"aimcc.a.list", {L"x"});
    store.WriteValue(L"aimcc.a.value", L"y");
    EXPECT_TRUE(store.Erase(L"aimcc.a.list"));
    EXPECT_FALSE(store.IsList(L"aimcc.a.list"));
    EXPECT_TRUE(store.Erase(L"aimcc.a.value"));
    std::wstring value;
    EXPECT_FALSE(store.ReadValue(L"aimcc.a.value", value));
    EXPECT_FALSE(store.Erase(L"aimcc.a.value"));
}

TEST(AccountSettingsTest, SectionsAreNamedAfterTheScreenNameWithoutSpaces)
{
    EXPECT_EQ(L"Settings.BL.JohnSmith", AccountSection(L"Settings.BL", L"John Smith"));
    EXPECT_EQ(L"Settings.BL", AccountSection(L"Settings.BL", L""));
    EXPECT_EQ(L"Settings.BL", AccountSection(L"Settings.BL", L"   "));

    struct Case {
        const wchar_t* name;
        bool storable;
    } cases[] = {
        {L"John Smith", true}, {L"alice@example.com", true}, {L"a=b", false}, {L"[x", false},
        {L"x]", false},        {L";comment", false},         {L"a;b", true},  {L"line\nbreak", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.storable, IsStorableScreenName(c.name)) << testing::PrintToString(std::wstring(c.name));
}

TEST(AccountSettingsTest, AccountValuesFallBackToThePlainSection)
{
    TempFolder folder;
    CIni ini(folder.File(L"Velmora.ini").c_str());
    ini.WriteUInt(L"Settings.BL", L"SortAlpha", 1);
    ini.WriteUInt(L"Settings.BL.JohnSmith", L"ShowAlias", 0);
    ini.WriteString(L"Settings.MSG", L"Theme", L"Dusk");
    EXPECT_EQ(1u, ReadAccountUInt(ini, L"Settings.BL", L"John Smith", L"SortAlpha", 7));
    EXPECT_EQ(0u, ReadAccountUInt(ini, L"Settings.BL", L"John Smith", L"ShowAlias", 7));
    EXPECT_EQ(7u, ReadAccountUInt(ini, L"Settings.BL", L"John Smith", L"Missing", 7));
    EXPECT_FALSE(ReadAccountBool(ini, L"Settings.BL", L"John Smith", L"ShowAlias", true));
    EXPECT_TRUE(ReadAccountBool(ini, L"Settings.BL", L"Alice", L"SortAlpha", false));
    EXPECT_EQ(L"Dusk", ReadAccountString(ini, L"Settings.MSG", L"Alice", L"Theme", L"Default"));
    ini.WriteString(L"Settings.MSG.Alice", L"Theme", L"");
    EXPECT_EQ(L"", ReadAccountString(ini, L"Settings.MSG", L"Alice", L"Theme", L"Default"));
}

} // namespace
