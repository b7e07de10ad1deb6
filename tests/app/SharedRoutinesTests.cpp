#include "Clipboard.h"
#include "Duration.h"
#include "Folders.h"
#include "Foreground.h"
#include "LangStrings.h"
#include "Monitors.h"
#include "PictureSize.h"
#include "ScopedHandle.h"
#include "TestSupport.h"
#include "TextMeasure.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class DurationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        lang_.reset(LoadLibraryExW((ExeFolder() + L"VLMLang.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(lang_);
        SetLangModule(lang_.get());
    }
    void TearDown() override { SetLangModule(nullptr); }

    static std::wstring Piece(UINT id, int value) { return FormatLangString(id, {std::to_wstring(value)}); }

    ScopedModule lang_;
};

TEST_F(DurationTest, PiecesFollowTheirTemplates)
{
    const int day = 86400;
    struct Case {
        int seconds;
        bool longStyle;
        bool comma;
        std::wstring expected;
    } cases[] = {
        {3661, true, true, Piece(267, 1) + L", " + Piece(269, 1) + L", " + Piece(271, 1)},
        {120, true, true, Piece(270, 2)},
        {day + 3600, false, false, Piece(512, 1) + L" " + Piece(513, 1)},
        {400 * day, true, false, Piece(259, 1) + L" " + Piece(262, 2) + L" " + Piece(263, 1) + L" " + Piece(265, 1)},
        {365 * day, true, true, Piece(259, 1) + L", " + Piece(261, 1) + L", " + Piece(265, 1)},
        {2 * 365 * day, false, true, Piece(509, 2) + L", " + Piece(510, 2) + L", " + Piece(512, 2)},
        {30 * day + 61, false, false, Piece(510, 1) + L" " + Piece(512, 2) + L" " + Piece(514, 1) + L" " + Piece(515, 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        std::wstring text;
        EXPECT_EQ(c.expected.size(), FormatDuration(c.seconds, text, c.longStyle, c.comma));
        EXPECT_EQ(c.expected, text);
    }
}

TEST_F(DurationTest, AppendsToWhatIsThereAndAddsNothingForNoTime)
{
    std::wstring text = L"Idle: ";
    EXPECT_EQ(6u, FormatDuration(0, text, true, true));
    EXPECT_EQ(6u, FormatDuration(-30, text, true, true));
    EXPECT_EQ(L"Idle: ", text);
    FormatDuration(59, text, true, true);
    EXPECT_EQ(L"Idle: " + Piece(272, 59), text);
    EXPECT_EQ(std::wstring::npos, text.find(L"%"));
}

TEST(MonitorsTest, CentersOnTheMonitor)
{
    // The test display is 1024 x 768 with the monitor at the origin.
    RECT rect = {5, 7, 305, 208};
    CenterOnMonitor(rect);
    EXPECT_EQ(362, rect.left);
    EXPECT_EQ(283, rect.top);
    EXPECT_EQ(662, rect.right);
    EXPECT_EQ(484, rect.bottom);

    RECT area = {};
    ASSERT_TRUE(GetMonitorArea(GetDesktopWindow(), area));
    EXPECT_EQ(1024, area.right - area.left);
    RECT work = {};
    ASSERT_TRUE(GetMonitorWorkArea(GetDesktopWindow(), work));
    EXPECT_LE(work.bottom - work.top, area.bottom - area.top);
}

TEST(FoldersTest, CreatesEveryMissingFolderButNotTheFile)
{
    TempFolder temp;
    EXPECT_TRUE(CreateFolderPath(temp.File(L"Logs\\alice\\2026\\Sessions.xml")));
    EXPECT_TRUE(FolderExists(temp.File(L"Logs\\alice\\2026")));
    EXPECT_FALSE(FolderExists(temp.File(L"Logs\\alice\\2026\\Sessions.xml")));

    EXPECT_TRUE(CreateFolderPath(temp.File(L"Dicts\\User\\")));
    EXPECT_TRUE(FolderExists(temp.File(L"Dicts\\User")));
    // Existing folders are fine; a path that cannot be a folder is not.
    EXPECT_TRUE(CreateFolderPath(temp.File(L"Logs\\x.txt")));
    ASSERT_TRUE(WriteFileBytes(temp.File(L"plain"), "x"));
    EXPECT_FALSE(CreateFolderPath(temp.File(L"plain\\sub\\file.txt")));
    EXPECT_FALSE(CreateFolderPath(L"no-folder-at-all.txt"));
}

TEST(ClipboardTest, TextArrivesAsUnicode)
{
    const std::wstring text = L"Velmora \u00e9\u4e2d";
    ASSERT_TRUE(CopyTextToClipboard(text));
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    std::wstring got;
    if (auto* p = static_cast<const wchar_t*>(data ? GlobalLock(data) : nullptr)) {
        got = p;
        GlobalUnlock(data);
    }
    CloseClipboard();
    EXPECT_EQ(text, got);
}

TEST(TextMeasureTest, WrappingNeedsMoreHeightThanOneLine)
{
    ScopedWindowDC dc(nullptr);
    ScopedSelectObject font(dc.get(), GetStockObject(DEFAULT_GUI_FONT));
    const wchar_t text[] = L"a message long enough to need several lines";
    SIZE line = {1000, 1000};
    MeasureText(dc.get(), text, -1, DT_SINGLELINE, line);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc.get(), &metrics);
    EXPECT_EQ(metrics.tmHeight, line.cy);
    EXPECT_GT(line.cx, 0);

    SIZE wrapped = {line.cx / 3, 1000};
    MeasureText(dc.get(), text, -1, DT_WORDBREAK, wrapped);
    EXPECT_LE(wrapped.cx, line.cx / 3);
    EXPECT_GE(wrapped.cy, 3 * line.cy);
}

TEST(ForegroundTest, BringsAHiddenWindowToTheFront)
{
    HWND hwnd = CreateWindowExW(0, L"STATIC", L"front", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(hwnd);
    ShowWindow(hwnd, SW_MINIMIZE);
    EXPECT_TRUE(BringToForeground(hwnd));
    EXPECT_FALSE(IsIconic(hwnd));
    EXPECT_EQ(hwnd, GetForegroundWindow());
    DestroyWindow(hwnd);
}

// Picture headers written byte for byte.
std::string Bytes(std::initializer_list<int> values)
{
    std::string bytes;
    for (int v : values)
        bytes.push_back(static_cast<char>(v));
    return bytes;
}

std::string PngHeader(int width, int height)
{
    std::string png = Bytes({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'});
    for (int v : {width, height})
        png += Bytes({(v >> 24) & 0xFF, (v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF});
    return png + Bytes({8, 6, 0, 0, 0});
}

// A start-of-frame segment for a picture of width x height.
std::string JpegFrame(int marker, int width, int height)
{
    return Bytes({0xFF, marker, 0, 17, 8, height >> 8, height & 0xFF, width >> 8, width & 0xFF, 3}) +
           std::string(9, '\0');
}

std::string JpegSegment(int marker, int length) { return Bytes({0xFF, marker, length >> 8, length & 0xFF}); }

TEST(PictureSizeTest, HeadersAndSegmentChains)
{
    const std::string soi = Bytes({0xFF, 0xD8});
    const std::string app0 = JpegSegment(0xE0, 16) + std::string(14, 'J');
    struct Case {
        const char* name;
        std::string bytes;
        bool found;
        PictureType type;
        int width;
        int height;
    } cases[] = {
        {"png", PngHeader(640, 480), true, PictureType::Png, 640, 480},
        {"gif", std::string("GIF89a") + Bytes({0x20, 0x03, 0x58, 0x02}) + std::string(10, '\0'), true,
         PictureType::Gif, 800, 600},
        {"bmp", std::string("BM") + std::string(16, '\0') + Bytes({100, 0, 0, 0, 0x9C, 0xFF, 0xFF, 0xFF}) +
                    std::string(20, '\0'),
         true, PictureType::Bmp, 100, -100},
        {"text starting BM", std::string("BMW owners club: minutes of the meeting"), true, PictureType::Bmp,
         0x74756E69, 0x6F207365},
        {"jpeg", soi + app0 + JpegFrame(0xC0, 1024, 768), true, PictureType::Jpeg, 1024, 768},
        {"progressive jpeg", soi + app0 + JpegFrame(0xC2, 33, 44), true, PictureType::Jpeg, 33, 44},
        {"tables before frame", soi + JpegSegment(0xC4, 4) + "xx" + JpegSegment(0xCC, 4) + "yy" +
                                    JpegFrame(0xC0, 5, 6),
         true, PictureType::Jpeg, 5, 6},
        {"fill bytes and restart markers", soi + Bytes({0xFF, 0xFF, 0xD0}) + Bytes({0xFF, 0xFF}) + app0 +
                                               JpegFrame(0xC1, 7, 8),
         true, PictureType::Jpeg, 7, 8},
        {"segment length zero", soi + JpegSegment(0xE0, 0) + JpegFrame(0xC0, 1, 1), false, PictureType::None, 0, 0},
        {"segment length one", soi + JpegSegment(0xE1, 1) + JpegFrame(0xC0, 1, 1), false, PictureType::None, 0, 0},
        {"chain past the end", soi + app0 + JpegSegment(0xE1, 60000), false, PictureType::None, 0, 0},
        {"scan before any frame", soi + app0 + JpegSegment(0xDA, 8) + std::string(6, '\0') + JpegFrame(0xC0, 9, 9),
         false, PictureType::None, 0, 0},
        {"garbage after start", soi + "not a marker", false, PictureType::None, 0, 0},
        {"truncated frame", soi + app0 + Bytes({0xFF, 0xC0, 0, 17, 8}), false, PictureType::None, 0, 0},
        {"unknown", std::string("just some text"), false, PictureType::None, 0, 0},
        {"empty", std::string(), false, PictureType::None, 0, 0},
    };
    TempFolder temp;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PictureInfo picture;
        picture.path = temp.File(L"picture");
        ASSERT_TRUE(WriteFileBytes(picture.path, c.bytes));
        EXPECT_EQ(c.found, ReadPictureSize(picture));
        EXPECT_EQ(c.type, picture.type);
        if (c.found) {
            EXPECT_EQ(c.width, picture.width);
            EXPECT_EQ(c.height, picture.height);
        }
    }
    PictureInfo missing;
    missing.path = temp.File(L"does-not-exist.png");
    EXPECT_FALSE(ReadPictureSize(missing));
}

} // namespace
