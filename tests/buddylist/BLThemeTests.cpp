// Buddy list themes read from real theme folders in a temporary data folder:
// colours and fonts laid over the user's own, the picture decoded by GDI+
// and drawn into real DCs, and the main window's background following it.
#include "AppState.h"
#include "BLTheme.h"
#include "BackgroundBitmap.h"
#include "Folders.h"
#include "FontSet.h"
#include "MainWnd.h"
#include "ScopedHandle.h"
#include "TestCanvas.h"
#include "TestSupport.h"

#include <gdiplus.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// A 24-bit BMP file of `pixels` given row by row from the top.
std::string BmpFile(int width, int height, const std::vector<COLORREF>& pixels)
{
    const int stride = (width * 3 + 3) & ~3;
    const DWORD imageSize = static_cast<DWORD>(stride * height);
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + imageSize;
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = imageSize;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
    bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
    for (int y = height - 1; y >= 0; --y) {
        std::string row(static_cast<size_t>(stride), '\0');
        for (int x = 0; x < width; ++x) {
            const COLORREF c = pixels[static_cast<size_t>(y * width + x)];
            row[static_cast<size_t>(x * 3)] = static_cast<char>(GetBValue(c));
            row[static_cast<size_t>(x * 3 + 1)] = static_cast<char>(GetGValue(c));
            row[static_cast<size_t>(x * 3 + 2)] = static_cast<char>(GetRValue(c));
        }
        bytes += row;
    }
    return bytes;
}

// 4 x 2: red blue green white / white green blue red.
std::string TestPicture()
{
    return BmpFile(4, 2, {kRed, kBlue, kGreen, kWhite, kWhite, kGreen, kBlue, kRed});
}

std::string Theme(const std::string& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<theme>" + body + "</theme>";
}

std::string PictureTheme(const std::string& map)
{
    return Theme("<image><name>pic.bmp</name><map><buddylist>" + map + "</buddylist></map></image>");
}

// A record whose every colour is a value no theme below uses.
BLColsFonts Baseline()
{
    BLColsFonts record;
    std::memset(&record, 0, sizeof(record));
    ResetColsFonts(record);
    record.dropShadow = RGB(1, 2, 3);
    return record;
}

bool SameRecord(const BLColsFonts& a, const BLColsFonts& b)
{
    return std::memcmp(&a, &b, sizeof(a)) == 0;
}

bool Reddish(COLORREF c)
{
    return GetRValue(c) > 200 && GetBValue(c) < 60;
}

bool Blueish(COLORREF c)
{
    return GetBValue(c) > 200 && GetRValue(c) < 60;
}

class BLThemeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::Ok, Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr));
    }
    static void TearDownTestSuite()
    {
        ReleaseThemePicture();
        Gdiplus::GdiplusShutdown(gdiplusToken);
    }
    void SetUp() override { Settings().SetPath(folder.File(L"Velmora.ini").c_str()); }
    void TearDown() override
    {
        ReleaseThemePicture();
        Settings().SetPath(nullptr);
    }

    void WriteTheme(const std::wstring& name, const std::string& config, bool withPicture = false)
    {
        const std::wstring themeFolder = folder.File(L"Themes\\App\\" + name + L"\\");
        ASSERT_TRUE(CreateFolderPath(themeFolder));
        ASSERT_TRUE(WriteFileBytes(themeFolder + L"config.xml", config));
        if (withPicture) {
            ASSERT_TRUE(WriteFileBytes(themeFolder + L"pic.bmp", TestPicture()));
        }
    }
    void Use(const std::wstring& theme, bool colours, bool fonts, bool image)
    {
        Settings().WriteString(L"Settings.BL", L"Theme", theme.c_str());
        Settings().WriteBool(L"Settings.BL", L"UseThemeCols", colours);
        Settings().WriteBool(L"Settings.BL", L"UseThemeFonts", fonts);
        Settings().WriteBool(L"Settings.BL", L"UseThemeImage", image);
    }
    BLColsFonts Load()
    {
        BLColsFonts record = Baseline();
        LoadBuddyListTheme(L"", record);
        return record;
    }
    // Loads a picture theme with this map and returns whether it loaded.
    bool LoadPictureTheme(const std::string& map)
    {
        WriteTheme(L"Pic", PictureTheme(map), true);
        Use(L"Pic", false, false, true);
        Load();
        return ThemePictureLoaded();
    }

    static ULONG_PTR gdiplusToken;
    TempFolder folder;
};

ULONG_PTR BLThemeTest::gdiplusToken = 0;

struct ColourCase {
    const char* what;
    std::string colors;               // inside <colors><buddylist>
    bool useColours;
    COLORREF BLColsFonts::*field;     // the one field that changes, or null
    COLORREF expected;
};

TEST_F(BLThemeTest, ThemeColoursReplaceOnlyWhatTheyName)
{
    const ColourCase cases[] = {
        {"only the group text", "<group><text><normal>10,20,30</normal></text></group>", true,
         &BLColsFonts::groupText, RGB(10, 20, 30)},
        {"components held to 0-255", "<buddy><text><idle>300,-5,7</idle></text></buddy>", true,
         &BLColsFonts::idleBuddyText, RGB(255, 0, 7)},
        {"blanks around numbers", "<dropshadow> 1 , 2 ,40 </dropshadow>", true, &BLColsFonts::dropShadow,
         RGB(1, 2, 40)},
        {"the first of two elements", "<background><normal>5,5,5</normal><normal>9,9,9</normal></background>",
         true, &BLColsFonts::listBackground, RGB(5, 5, 5)},
        {"control panel hyperlink", "<controlpanel><text><hyperlink>0,128,255</hyperlink></text></controlpanel>",
         true, &BLColsFonts::panelHyperlink, RGB(0, 128, 255)},
        {"two numbers are no colour", "<group><text><normal>12,34</normal></text></group>", true, nullptr, 0},
        {"words are no colour", "<group><text><normal>red</normal></text></group>", true, nullptr, 0},
        {"colours switched off", "<group><text><normal>10,20,30</normal></text></group>", false, nullptr, 0},
    };
    for (const ColourCase& c : cases) {
        SCOPED_TRACE(c.what);
        WriteTheme(L"Colours", Theme("<colors><buddylist>" + c.colors + "</buddylist></colors>"));
        Use(L"Colours", c.useColours, true, true);
        BLColsFonts expected = Baseline();
        if (c.field)
            expected.*c.field = c.expected;
        const BLColsFonts loaded = Load();
        EXPECT_TRUE(SameRecord(expected, loaded));
        if (c.field) {
            EXPECT_EQ(c.expected, loaded.*c.field);
        }
    }
}

struct FontCase {
    const char* what;
    std::string font;        // inside <fonts><buddylist><group>
    bool changes;
    int points;
    const wchar_t* face;     // null: the message font's face
};

TEST_F(BLThemeTest, ThemeFontsNeedNameAndSensibleSize)
{
    ScopedWindowDC screen(nullptr);
    const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
    const LOGFONTW message = UiFontDescription();
    const FontCase cases[] = {
        {"name and size", "<name>Tahoma</name><size>10</size>", true, 10, L"Tahoma"},
        {"default keeps the message font's face", "<name>DEFAULT</name><size>12</size>", true, 12, nullptr},
        {"a face is cut to 31 characters", "<name>" + std::string(40, 'F') + "</name><size>9</size>", true, 9,
         L"FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"},
        {"a name without size", "<name>Tahoma</name>", false, 0, nullptr},
        {"a size without name", "<size>10</size>", false, 0, nullptr},
        {"size zero", "<name>Tahoma</name><size>0</size>", false, 0, nullptr},
        {"an absurd size", "<name>Tahoma</name><size>5000</size>", false, 0, nullptr},
    };
    for (const FontCase& c : cases) {
        SCOPED_TRACE(c.what);
        WriteTheme(L"Fonts", Theme("<fonts><buddylist><group>" + c.font + "</group></buddylist></fonts>"));
        Use(L"Fonts", true, true, false);
        const BLColsFonts loaded = Load();
        BLColsFonts others = loaded;
        others.groupFont = Baseline().groupFont;
        EXPECT_TRUE(SameRecord(Baseline(), others)) << "only the group font may change";
        if (!c.changes) {
            EXPECT_TRUE(SameRecord(Baseline(), loaded));
            continue;
        }
        EXPECT_EQ(-MulDiv(c.points, dpi, 72), loaded.groupFont.lfHeight);
        EXPECT_EQ(DEFAULT_CHARSET, loaded.groupFont.lfCharSet);
        EXPECT_STREQ(c.face ? c.face : message.lfFaceName, loaded.groupFont.lfFaceName);
    }
}

struct ModeCase {
    const char* mode;
    bool tiles;
};

TEST_F(BLThemeTest, BackgroundPartsTileOrStretchAsTheModeSays)
{
    const ModeCase cases[] = {
        {"tile", true}, {"TILE", true}, {"Stretch", false}, {"diagonal", false}, {"", false},
    };
    for (const ModeCase& c : cases) {
        SCOPED_TRACE(c.mode);
        ASSERT_TRUE(LoadPictureTheme(std::string("<buddy><background><mode>") + c.mode +
                                     "</mode><rect>0,0,2,1</rect></background></buddy>"));
        EXPECT_EQ(c.tiles ? ThemeMode::Tile : ThemeMode::Stretch, ThemePartMode(ThemePart::BuddyBackground));
        TestCanvas canvas(8, 1, kGreen);
        const RECT dest = {0, 0, 8, 1};
        ASSERT_TRUE(DrawThemePart(canvas.Dc(), ThemePart::BuddyBackground, dest));
        // Tiled, the red-blue pair repeats; stretched, red fills the left
        // half and blue the right.
        EXPECT_TRUE(Reddish(canvas.At(0, 0)));
        EXPECT_TRUE(Blueish(canvas.At(7, 0)));
        if (c.tiles) {
            EXPECT_EQ(kBlue, canvas.At(1, 0));
            EXPECT_EQ(kRed, canvas.At(6, 0));
        } else {
            EXPECT_GT(GetRValue(canvas.At(1, 0)), GetBValue(canvas.At(1, 0)));
            EXPECT_GT(GetBValue(canvas.At(6, 0)), GetRValue(canvas.At(6, 0)));
        }
    }
}

struct RectCase {
    const char* rect;
    bool kept;
    RECT expected;
};

TEST_F(BLThemeTest, RectanglesOutsideThePictureAreClippedOrDropped)
{
    const RectCase cases[] = {
        {"1,0,2,2", true, {1, 0, 3, 2}},
        {"2,1,10,10", true, {2, 1, 4, 2}},
        {"-3,-3,4,4", true, {0, 0, 1, 1}},
        {"0,0,0,1", false, {}},
        {"0,0,2,-1", false, {}},
        {"4,0,2,2", false, {}},
        {"100,100,5,5", false, {}},
        {"1,2,3", false, {}},
    };
    for (const RectCase& c : cases) {
        SCOPED_TRACE(c.rect);
        ASSERT_TRUE(LoadPictureTheme(std::string("<status><away><rect>") + c.rect + "</rect></away></status>"));
        RECT rect = {};
        EXPECT_EQ(c.kept, ThemePartRect(ThemePart::StatusAway, rect));
        TestCanvas canvas(16, 16, kGreen);
        EXPECT_EQ(c.kept, DrawThemePart(canvas.Dc(), ThemePart::StatusAway, RECT{0, 0, 16, 16}));
        if (c.kept) {
            EXPECT_TRUE(EqualRect(&c.expected, &rect));
        }
    }
}

TEST_F(BLThemeTest, PresenceIconsAndButtonsAreCutFromThePicture)
{
    ASSERT_TRUE(LoadPictureTheme("<status><available><rect>2,0,1,1</rect></available></status>"
                                 "<buttons><menu><rect>1,0,1,1</rect></menu></buttons>"));
    TestCanvas canvas(16, 16, kWhite);
    ASSERT_TRUE(DrawThemePart(canvas.Dc(), ThemePart::StatusAvailable, RECT{0, 0, 16, 16}));
    EXPECT_EQ(kGreen, canvas.At(8, 8));
    EXPECT_FALSE(DrawThemePart(canvas.Dc(), ThemePart::StatusOffline, RECT{0, 0, 16, 16})) << "not in the map";

    ScopedIcon icon(CutThemeIcon(ThemePart::ButtonMenu));
    ASSERT_TRUE(icon);
    canvas.Fill(kWhite);
    DrawIconEx(canvas.Dc(), 0, 0, icon.get(), 16, 16, 0, nullptr, DI_NORMAL);
    EXPECT_EQ(kBlue, canvas.At(8, 8));
    EXPECT_EQ(nullptr, CutThemeIcon(ThemePart::ButtonAway));
}

TEST_F(BLThemeTest, NoPictureIsKeptFromAThemeThatGivesNone)
{
    const std::string map = "<background><rect>0,0,2,1</rect></background>";
    struct Case {
        const char* what;
        std::function<void()> change;
    } cases[] = {
        {"the picture switched off", [&] { Use(L"Pic", true, true, false); }},
        {"no theme", [&] { Use(L"", true, true, true); }},
        {"a theme without picture",
         [&] {
             WriteTheme(L"Plain", Theme("<colors/>"));
             Use(L"Plain", true, true, true);
         }},
        {"a picture that does not decode",
         [&] {
             WriteTheme(L"Bad", PictureTheme(map));
             WriteFileBytes(folder.File(L"Themes\\App\\Bad\\pic.bmp"), "BM not really a picture");
             Use(L"Bad", true, true, true);
         }},
        {"a picture name that leaves the theme",
         [&] {
             WriteTheme(L"Climb", Theme("<image><name>..\\Pic\\pic.bmp</name></image>"));
             Use(L"Climb", true, true, true);
         }},
        {"a broken config.xml",
         [&] {
             WriteTheme(L"Broken", "<theme><colors><buddylist>");
             Use(L"Broken", true, true, true);
         }},
        {"a theme that is gone", [&] { Use(L"Gone", true, true, true); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(LoadPictureTheme(map));
        c.change();
        EXPECT_TRUE(SameRecord(Baseline(), Load()));
        EXPECT_FALSE(ThemePictureLoaded());
        TestCanvas canvas(4, 4, kGreen);
        EXPECT_FALSE(DrawThemePart(canvas.Dc(), ThemePart::WindowBackground, RECT{0, 0, 4, 4}));
        EXPECT_EQ(kGreen, canvas.At(0, 0));
    }
}

TEST_F(BLThemeTest, BrokenOrEscapingThemesChangeNoColour)
{
    const std::string colours = "<colors><buddylist><group><text><normal>10,20,30</normal></text></group>"
                                "</buddylist></colors>";
    // A config.xml outside "Themes\App\" that a climbing name would reach.
    ASSERT_TRUE(CreateFolderPath(folder.File(L"Themes\\Outside\\")));
    ASSERT_TRUE(WriteFileBytes(folder.File(L"Themes\\Outside\\config.xml"), Theme(colours)));
    WriteTheme(L"Broken", "<theme>" + colours);
    WriteTheme(L"WrongRoot", "<skin>" + colours + "</skin>");
    const wchar_t* names[] = {L"Broken", L"WrongRoot", L"..\\Outside", L"..", L"Missing"};
    for (const wchar_t* name : names) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        Use(name, true, true, true);
        EXPECT_TRUE(SameRecord(Baseline(), Load()));
    }
}

TEST_F(BLThemeTest, ThemeFoldersAreListedByTheirConfig)
{
    WriteTheme(L"Zeta", Theme(""));
    WriteTheme(L"alpha", Theme(""));
    ASSERT_TRUE(CreateFolderPath(folder.File(L"Themes\\App\\NoConfig\\")));
    ASSERT_TRUE(WriteFileBytes(folder.File(L"Themes\\App\\loose.xml"), Theme("")));
    EXPECT_EQ((std::vector<std::wstring>{L"alpha", L"Zeta"}), ListBuddyListThemes());
    EXPECT_EQ(folder.File(L"Themes\\App\\"), BuddyListThemesFolder());

    struct NameCase {
        std::wstring name;
        bool valid;
    } names[] = {
        {L"Ocean", true}, {L"Night Sky 2", true}, {L"", false}, {L".", false}, {L"..", false},
        {L"a\\b", false}, {L"a/b", false}, {L"C:x", false}, {std::wstring(260, L'x'), true},
        {std::wstring(261, L'x'), false}, {L"tab\there", false},
    };
    for (const NameCase& c : names)
        EXPECT_EQ(c.valid, IsThemeFolderName(c.name)) << testing::PrintToString(c.name);
}

// The themes that ship, as the build copies them beside the program (the
// 64-bit build's bin\ beside tests\, the 32-bit one's dist\ at the top).
std::wstring ShippedThemesFolder()
{
    for (const wchar_t* relative : {L"..\\bin\\Themes\\App\\", L"..\\..\\..\\dist\\Themes\\App\\"}) {
        const std::wstring folder = ExeFolder() + relative;
        if (FolderExists(folder))
            return folder;
    }
    return std::wstring();
}

TEST_F(BLThemeTest, ShippedThemesSupplyEveryPart)
{
    const std::wstring shipped = ShippedThemesFolder();
    ASSERT_FALSE(shipped.empty());
    for (const wchar_t* name : {L"Harbour", L"Dusk"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        const std::wstring target = folder.File(L"Themes\\App\\") + name + L"\\";
        ASSERT_TRUE(CreateFolderPath(target));
        for (const wchar_t* file : {L"config.xml", L"picture.png"})
            ASSERT_TRUE(CopyFileW((shipped + name + L"\\" + file).c_str(), (target + file).c_str(), FALSE));
        Use(name, true, true, true);
        const BLColsFonts loaded = Load();
        EXPECT_NE(Baseline().listBackground, loaded.listBackground);
        EXPECT_NE(Baseline().groupFont.lfHeight, loaded.groupFont.lfHeight);
        ASSERT_TRUE(ThemePictureLoaded());
        for (int part = 0; part < kThemePartCount; ++part) {
            RECT rect = {};
            EXPECT_TRUE(ThemePartRect(static_cast<ThemePart>(part), rect)) << "part " << part;
        }
    }
    EXPECT_EQ((std::vector<std::wstring>{L"Dusk", L"Harbour"}), ListBuddyListThemes());
}

// The main window paints the theme's window background and goes back to its
// own colour when the theme is cleared.
TEST_F(BLThemeTest, MainWindowBackgroundFollowsTheTheme)
{
    CMainWnd main;
    ASSERT_TRUE(main.Create(nullptr));
    ASSERT_TRUE(LoadPictureTheme("<background><mode>tile</mode><rect>0,0,2,1</rect></background>"));
    HDC background = MainBackground().Dc();
    ASSERT_NE(nullptr, background);
    EXPECT_EQ(kRed, GetPixel(background, 0, 100));
    EXPECT_EQ(kBlue, GetPixel(background, 1, 100));
    EXPECT_EQ(kRed, GetPixel(background, 2, 100));

    Use(L"", false, false, true);
    Load();
    EXPECT_FALSE(ThemePictureLoaded());
    EXPECT_EQ(main.BackgroundColor(), GetPixel(MainBackground().Dc(), 0, 100));
    EXPECT_EQ(main.BackgroundColor(), GetPixel(MainBackground().Dc(), 1, 100));
    DestroyWindow(main.Hwnd());
    SetMainWindow(nullptr);
}

} // namespace
