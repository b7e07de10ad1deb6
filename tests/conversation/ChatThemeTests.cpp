// Which theme folder and style sheet a conversation view uses, from
// settings anybody may have edited.
#include "ChatTheme.h"
#include "IEChatWnd.h"

#include "AppState.h"
#include "Folders.h"
#include "Ini.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class ChatThemeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ini.SetPath(folder.File(L"Velmora.ini").c_str());
        for (const wchar_t* theme : {L"Default", L"Blue", L"Green"})
            AddTheme(theme);
    }

    void AddTheme(const std::wstring& name)
    {
        const std::wstring theme = ThemeFolder(name);
        ASSERT_TRUE(CreateFolderPath(theme));
        ASSERT_TRUE(WriteFileBytes(theme + L"Base.htm", "<html></html>"));
    }

    std::wstring ThemeFolder(const std::wstring& name) const { return folder.Path() + L"Themes\\Msgs\\" + name + L"\\"; }

    TempFolder folder;
    CIni ini;
};

} // namespace

TEST_F(ChatThemeTest, AccountThenGlobalThenDefault)
{
    struct Case {
        const wchar_t* global;  // null: no key
        const wchar_t* account; // null: no key
        const wchar_t* theme;
    };
    const std::wstring tooLong(300, L'x');
    const Case cases[] = {
        {nullptr, nullptr, L"Default"},
        {L"", L"", L"Default"},
        {L"Blue", nullptr, L"Blue"},
        {L"Blue", L"Green", L"Green"},
        {nullptr, L"Green", L"Green"},
        {L"Blue", L"", L"Blue"},
        // Not there, or not a plain name inside the themes folder.
        {L"Missing", nullptr, L"Default"},
        {L"..\\..\\Windows", nullptr, L"Default"},
        {L"Blue\\..\\..", nullptr, L"Default"},
        {L"C:\\Themes\\Blue", nullptr, L"Default"},
        {L"..", nullptr, L"Default"},
        {tooLong.c_str(), nullptr, L"Default"},
    };
    const std::wstring data = folder.Path();
    for (const Case& c : cases) {
        ini.DeleteSection(L"Settings.MSG");
        ini.DeleteSection(L"Settings.MSG.AliceDemo");
        if (c.global)
            ini.WriteString(L"Settings.MSG", L"Theme", c.global);
        if (c.account)
            ini.WriteString(L"Settings.MSG.AliceDemo", L"Theme", c.account);
        EXPECT_EQ(ThemeFolder(c.theme), ChooseThemeFolder(ini, data, L"Alice Demo", false))
            << (c.global ? c.global : L"-") << " / " << (c.account ? c.account : L"-");
    }
    ini.WriteString(L"Settings.MSG", L"Theme", L"Blue");
    EXPECT_EQ(data + L"Themes\\Expression\\", ChooseThemeFolder(ini, data, L"Alice Demo", true));
}

TEST_F(ChatThemeTest, StyleSheetHref)
{
    struct Case {
        const wchar_t* global;
        const wchar_t* account;
        const wchar_t* href;
    };
    const Case cases[] = {
        {nullptr, nullptr, L"Styles/Default.css"},
        {L"", L"", L"Styles/Default.css"},
        {L"Night", nullptr, L"Styles/Night.css"},
        {L"Night", L"Compact", L"Styles/Compact.css"},
        {L"My Style", nullptr, L"Styles/My%20Style.css"},
        {L"50%#1", nullptr, L"Styles/50%25%231.css"},
        {L"\x00E9t\x00E9", nullptr, L"Styles/%C3%A9t%C3%A9.css"},
        {L"../../x", nullptr, L"Styles/Default.css"},
        {L"a\\b", nullptr, L"Styles/Default.css"},
    };
    for (const Case& c : cases) {
        ini.DeleteSection(L"Settings.MSG");
        ini.DeleteSection(L"Settings.MSG.AliceDemo");
        if (c.global)
            ini.WriteString(L"Settings.MSG", L"Style", c.global);
        if (c.account)
            ini.WriteString(L"Settings.MSG.AliceDemo", L"Style", c.account);
        EXPECT_EQ(c.href, ChooseStyleSheet(ini, L"Alice Demo", false)) << (c.global ? c.global : L"-");
    }
    EXPECT_EQ(L"Base.css", ChooseStyleSheet(ini, L"Alice Demo", true));
}

TEST(ChatThemeFilesTest, FileUrlsOfLocalPaths)
{
    EXPECT_EQ(L"file:///C:/Program%20Files/Velmora/Themes/Msgs/Default/",
              FileUrlOfPath(L"C:\\Program Files\\Velmora\\Themes\\Msgs\\Default\\"));
    EXPECT_EQ(L"file:///D:/a%23b/c%27d%28e%29.png", FileUrlOfPath(L"D:\\a#b\\c'd(e).png"));
    EXPECT_EQ(L"C:\\data\\", DataFolderOf(L"C:\\data\\Velmora.ini"));
}

TEST(ChatThemeFilesTest, TemplatesAreUtf8WithOrWithoutMark)
{
    TempFolder folder;
    struct Case {
        const char* bytes;
        const wchar_t* text;
    };
    const Case cases[] = {
        {"\xEF\xBB\xBF<p>caf\xC3\xA9</p>", L"<p>caf\x00E9</p>"},
        {"<p>$message$</p>", L"<p>$message$</p>"},
        {"", L""},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteFileBytes(folder.File(L"t.htm"), c.bytes));
        EXPECT_EQ(c.text, ReadTemplateFile(folder.File(L"t.htm")));
    }
    EXPECT_EQ(L"", ReadTemplateFile(folder.File(L"missing.htm")));
}

TEST(ChatThemeFilesTest, WallpaperMoviesOnlyFromTheCache)
{
    TempFolder folder;
    const std::wstring cache = folder.Path() + L"cache\\";
    ASSERT_TRUE(CreateFolderPath(cache));
    ASSERT_TRUE(WriteFileBytes(cache + L"movie.swf", "FWS"));
    ASSERT_TRUE(WriteFileBytes(folder.File(L"elsewhere.swf"), "FWS"));
    struct Case {
        std::wstring path;
        bool accepted;
    };
    const Case cases[] = {
        {cache + L"movie.swf", true},
        {FileUrlOfPath(cache + L"movie.swf"), true},
        {cache + L"missing.swf", false},
        {folder.File(L"elsewhere.swf"), false},
        {cache + L"..\\elsewhere.swf", false},
        {cache, false},
        {L"http://example.com/movie.swf", false},
        {L"\\\\server\\share\\movie.swf", false},
        {L"javascript:alert(1)", false},
        {L"movie.swf", false},
        {L"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.accepted, IsCachedLocalFile(c.path, cache)) << c.path;
    EXPECT_FALSE(IsCachedLocalFile(cache + L"movie.swf", L""));
}
