// The editor's plain parts: the stored font record, and the HTML it builds
// for smileys, links, automatic links, wrappers and the smiley menu.
#include "FontRecord.h"
#include "MessageHtml.h"
#include "SmileySet.h"

#include "Ini.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<BYTE> Bytes(const FontRecord& record)
{
    return SerializeFontRecord(record);
}

FontRecord Record(bool bold, bool italic, bool underline, int size, COLORREF text, COLORREF background,
                  COLORREF page, const std::wstring& face)
{
    FontRecord record;
    record.bold = bold;
    record.italic = italic;
    record.underline = underline;
    record.size = size;
    record.textColor = text;
    record.textBackground = background;
    record.pageColor = page;
    record.face = face;
    return record;
}

} // namespace

TEST(FontRecordTest, StoredBytesSitWhereTheRecordSaysAndRoundTrip)
{
    const FontRecord record = Record(true, false, true, 5, RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9), L"Tahoma");
    const std::vector<BYTE> bytes = Bytes(record);
    ASSERT_EQ(88u, bytes.size());
    EXPECT_EQ(1, bytes[0]);
    EXPECT_EQ(0, bytes[1]);
    EXPECT_EQ(1, bytes[2]);
    EXPECT_EQ(5, bytes[4]);
    EXPECT_EQ(1, bytes[8]);   // text colour: red byte first
    EXPECT_EQ(6, bytes[14]);  // background: blue byte
    EXPECT_EQ(9, bytes[18]);  // page colour: blue byte
    EXPECT_EQ(L'T', bytes[20]);
    EXPECT_EQ(0, bytes[21]);
    EXPECT_EQ(0, bytes[20 + 2 * 6]); // the face ends in a NUL

    const FontRecord cases[] = {
        record,
        Record(false, true, false, 1, 0, 0, 0, L""),
        Record(true, true, true, 7, 0xFFFFFF, 0x10000, 0xABCDEF, std::wstring(32, L'W')),
        Record(false, false, false, 3, 0, 0, 0, L"50% \"Sans\" <x>"),
    };
    for (const FontRecord& c : cases) {
        const std::optional<FontRecord> back = ParseFontRecord(Bytes(c));
        ASSERT_TRUE(back) << c.face.c_str();
        EXPECT_TRUE(*back == c) << c.face.c_str();
    }
}

TEST(FontRecordTest, OnlyAWholeTerminatedRecordIsTakenAndTheSizeIsClamped)
{
    const std::vector<BYTE> good = Bytes(Record(true, false, false, 3, 0, 0, 0, L"Arial"));
    std::vector<BYTE> shorter(good.begin(), good.end() - 1);
    std::vector<BYTE> longer = good;
    longer.push_back(0);
    std::vector<BYTE> unterminated = good;
    for (size_t i = 0; i < FontRecord::kFaceUnits; ++i)
        unterminated[20 + 2 * i] = 'A';
    const std::vector<BYTE> rejected[] = {{}, shorter, longer, unterminated};
    for (const std::vector<BYTE>& bytes : rejected)
        EXPECT_FALSE(ParseFontRecord(bytes)) << bytes.size();

    const struct {
        DWORD stored;
        int read;
    } sizes[] = {{0, 1}, {1, 1}, {7, 7}, {8, 7}, {0xFFFFFFFF, 1}, {0x7FFFFFFF, 7}};
    for (const auto& c : sizes) {
        std::vector<BYTE> bytes = good;
        for (int i = 0; i < 4; ++i)
            bytes[4 + i] = static_cast<BYTE>(c.stored >> (8 * i));
        const std::optional<FontRecord> record = ParseFontRecord(bytes);
        ASSERT_TRUE(record);
        EXPECT_EQ(c.read, record->size) << c.stored;
    }

    // A face longer than the record holds is cut, still terminated.
    const std::optional<FontRecord> cut = ParseFontRecord(Bytes(Record(0, 0, 0, 2, 0, 0, 0, std::wstring(40, L'x'))));
    ASSERT_TRUE(cut);
    EXPECT_EQ(std::wstring(32, L'x'), cut->face);
}

TEST(FontRecordTest, TheUsersRecordComesFirstAndADamagedOneFallsBack)
{
    TempFolder folder;
    CIni ini(folder.File(L"Velmora.ini").c_str());
    EXPECT_FALSE(ReadFontRecord(ini, L"Alice Demo"));

    const FontRecord common = Record(false, true, false, 2, 0, 0, 0, L"Common");
    const FontRecord own = Record(true, false, false, 4, 0, 0, 0, L"Own");
    ASSERT_TRUE(WriteFontRecord(ini, L"", common));
    ASSERT_TRUE(WriteFontRecord(ini, L"Alice Demo", own));
    EXPECT_EQ(L"Own", ReadFontRecord(ini, L"Alice Demo")->face);
    EXPECT_EQ(L"Common", ReadFontRecord(ini, L"Bob")->face);

    const BYTE damaged[10] = {};
    ASSERT_TRUE(ini.WriteBinary(L"Settings.MSG.AliceDemo", L"Font", damaged, sizeof(damaged)));
    EXPECT_EQ(L"Common", ReadFontRecord(ini, L"Alice Demo")->face);
}

TEST(MessageHtmlTest, ColoursAreWrittenAndReadAsRedGreenBlue)
{
    EXPECT_EQ(L"#FF0000", ColorToHex(RGB(255, 0, 0)));
    EXPECT_EQ(L"#0A0B0C", ColorToHex(RGB(10, 11, 12)));
    const struct {
        const wchar_t* text;
        std::optional<COLORREF> color;
    } cases[] = {
        {L"#ff0000", RGB(255, 0, 0)}, {L"#0A0B0C", RGB(10, 11, 12)}, {L"00ff00", RGB(0, 255, 0)},
        {L"", std::nullopt},          {L"red", std::nullopt},        {L"#12345", std::nullopt},
        {L"#GG0000", std::nullopt},   {L"#1234567", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.color, ParseHexColor(c.text)) << c.text;
}

TEST(MessageHtmlTest, ComposeSettingsCarryTheFaceAsItIs)
{
    EXPECT_EQ(L"1,0,1,4,1.2.3,4.5.6,Tahoma",
              ComposeSettings(Record(true, false, true, 4, RGB(1, 2, 3), RGB(4, 5, 6), 0, L"Tahoma")));
    EXPECT_EQ(L"0,0,0,7,0.0.0,255.255.255,%s %d",
              ComposeSettings(Record(false, false, false, 12, 0, RGB(255, 255, 255), 0, L"%s %d")));
}

TEST(MessageHtmlTest, AddressesTypedWithoutASchemeGetOne)
{
    const struct {
        const wchar_t* word;
        bool address;
        const wchar_t* href;
    } cases[] = {
        {L"www.example.com", true, L"http://www.example.com"},
        {L"ftp.example.com", true, L"ftp://ftp.example.com"},
        {L"bob@example.com", true, L"mailto:bob@example.com"},
        {L"http://a.example/?x=1&y=2", true, L"http://a.example/?x=1&y=2"},
        {L"https://example.com", true, L"https://example.com"},
        {L"mailto:bob@example.com", true, L"mailto:bob@example.com"},
        {L"@bob", false, nullptr},
        {L"hello", false, nullptr},
        {L"www.", false, nullptr},
        {L"bob@home", false, nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.address, LooksLikeAddress(c.word)) << c.word;
        if (c.href)
            EXPECT_EQ(c.href, AutoLinkHref(c.word)) << c.word;
    }
    EXPECT_TRUE(IsAimLinkWord(L"aim:goim?screenname=bob"));
    EXPECT_TRUE(IsAimLinkWord(L"AIM:addbuddy"));
    EXPECT_FALSE(IsAimLinkWord(L"aimless"));

    EXPECT_EQ(L"www.x.com", WordBeforeCaret(L"see www.x.com", 13));
    EXPECT_EQ(L"", WordBeforeCaret(L"see ", 4));
    EXPECT_EQ(L"see", WordBeforeCaret(L"see", 99));
}

TEST(MessageHtmlTest, LinksAreEscapedAndScriptAddressesRefused)
{
    EXPECT_EQ(L"<A HREF=\"http://x.example/?a=1&amp;b=&quot;2&quot;\">a &lt;b&gt;</A>",
              *LinkHtml(L"http://x.example/?a=1&b=\"2\"", L"a <b>"));
    EXPECT_EQ(L"<A HREF=\"aim:goim\">aim:goim</A>", *LinkHtml(L"aim:goim", L""));
    const wchar_t* refused[] = {L"javascript:alert(1)", L"JavaScript:alert(1)", L"  javascript:x",
                                L"java\tscript:x",      L"vbscript:msgbox", L""};
    for (const wchar_t* href : refused)
        EXPECT_FALSE(LinkHtml(href, L"text")) << href;

    EXPECT_EQ(L"<img src=\"file:///C:/s/a&quot;b.gif\" alt=\"&lt;:-)&gt;\" unselectable=\"on\" "
              L"contenteditable=\"false\" hSpace=\"5\" smiley=\"yes\" />",
              SmileyHtml(L"file:///C:/s/a\"b.gif", L"<:-)>"));
}

TEST(MessageHtmlTest, AmpersandsAreUnescapedInLinkStartTagsOnly)
{
    const struct {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {L"<A href=\"http://x/?a=1&amp;b=2\">1&amp;2</A>", L"<A href=\"http://x/?a=1&b=2\">1&amp;2</A>"},
        {L"<a\nhref=\"?a&amp;b&amp;c\">x</a>", L"<a\nhref=\"?a&b&c\">x</a>"},
        {L"<ABBR title=\"&amp;\">x</ABBR>", L"<ABBR title=\"&amp;\">x</ABBR>"},
        {L"<IMG src=\"a&amp;b\">", L"<IMG src=\"a&amp;b\">"},
        {L"plain &amp; text", L"plain &amp; text"},
        {L"<A href=\"&amp;", L"<A href=\"&"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.out, UnescapeAnchorAmpersands(c.in)) << c.in;
}

TEST(MessageHtmlTest, WrappersPutTheKnownFormattingAroundOnePlace)
{
    CurrentFormat all;
    all.bold = all.italic = all.underline = true;
    all.face = L"Arial";
    all.size = 4;
    all.color = RGB(0x12, 0x34, 0x56);
    all.background = RGB(0xFF, 0xFF, 0xFF);
    EXPECT_EQ(L"<font face=\"Arial\" size=\"4\" color=\"#123456\" bgcolor=\"#FFFFFF\"><u><i><b>%s</b></i></u></font>",
              FontWrapper(all));
    EXPECT_EQ(L"<span style='font-weight: bold; font-style: italic; text-decoration: underline; font-family: Arial;"
              L" font-size: medium; color: #123456; background-color: #FFFFFF;'>%s</span>",
              SpanWrapper(all));

    CurrentFormat plain;
    EXPECT_EQ(L"<font>%s</font>", FontWrapper(plain));
    plain.italic = true;
    plain.size = 3;
    EXPECT_EQ(L"<font size=\"3\"><i>%s</i></font>", FontWrapper(plain));
    EXPECT_EQ(L"<span style=' font-style: italic; font-size: small;'>%s</span>", SpanWrapper(plain));

    // A face with "%" and quotes stays one attribute, and filling the
    // wrapper puts the content in its one place.
    CurrentFormat odd;
    odd.face = L"50%s \"Sans\"";
    const std::wstring font = FontWrapper(odd);
    EXPECT_EQ(L"<font face=\"50%%s &quot;Sans&quot;\">%s</font>", font);
    EXPECT_EQ(L"<font face=\"50%s &quot;Sans&quot;\">hi %s</font>", FillWrapper(font, L"hi %s"));
    EXPECT_EQ(L"<span style=' font-family: 50%s &quot;Sans&quot;;'>x</span>", FillWrapper(SpanWrapper(odd), L"x"));

    const int sizes[] = {1, 2, 3, 4, 5, 6, 7, 0};
    const wchar_t* names[] = {L"xx-small", L"x-small", L"small", L"medium", L"large", L"x-large", L"xx-large",
                              L"small"};
    for (size_t i = 0; i < std::size(sizes); ++i)
        EXPECT_STREQ(names[i], FontSizeName(sizes[i]));
}

TEST(MessageHtmlTest, SmileyMenuIdsFollowTheRealCount)
{
    const struct {
        size_t count;
        UINT lastId;
    } lasts[] = {{0, 0}, {1, 5}, {4, 5}, {5, 10}, {10, 15}, {16, 20}, {17, 25}};
    for (const auto& c : lasts)
        EXPECT_EQ(c.lastId, SmileyMenuLastId(c.count)) << c.count;

    const struct {
        size_t count;
        UINT id;
        std::optional<size_t> smiley;
    } ids[] = {
        {16, 1, 0},  {16, 4, 3},  {16, 5, std::nullopt}, {16, 6, 4},  {16, 19, 15}, {16, 20, std::nullopt},
        {16, 21, std::nullopt},   {10, 12, 9},           {10, 13, std::nullopt},     {10, 14, std::nullopt},
        {17, 21, 16}, {17, 22, std::nullopt},            {0, 1, std::nullopt},       {16, 0, std::nullopt},
    };
    for (const auto& c : ids)
        EXPECT_EQ(c.smiley, SmileyOfMenuId(c.id, c.count)) << c.count << "/" << c.id;
    EXPECT_TRUE(StartsSmileyMenuColumn(1));
    EXPECT_TRUE(StartsSmileyMenuColumn(6));
    EXPECT_FALSE(StartsSmileyMenuColumn(5));
    EXPECT_TRUE(IsSmileyMenuLabel(10));
}

TEST(MessageHtmlTest, TheButtonMaskKeepsOnlyItsButtons)
{
    for (int button = 1; button <= 15; ++button) {
        EXPECT_TRUE(IsFormatButtonShown(0, button));
        EXPECT_EQ(button <= 2, IsFormatButtonShown(0x10 | 0x20, button)) << button;
    }
    EXPECT_TRUE(IsFormatButtonShown(0x10u << 14, 15));
}

TEST(MessageHtmlTest, ATypedCharacterCompletesTheFirstMatchingShortcut)
{
    SmileySet set;
    set.smileys = {{L"Smile", L"s.gif", {L":-)", L":)"}}, {L"Wink", L"w.gif", {L";)"}}, {L"Bang", L"b.gif", {L"!"}}};
    const struct {
        wchar_t typed;
        const wchar_t* before;
        std::optional<size_t> smiley;
        size_t charactersBefore;
    } cases[] = {
        {L')', L":-", 0, 2}, {L')', L":", 0, 1},  {L')', L";", 1, 1}, {L')', L"x", std::nullopt, 0},
        {L'!', L"", 2, 0},   {L'x', L":-", std::nullopt, 0},
    };
    for (const auto& c : cases) {
        const std::wstring before = c.before;
        const auto match = FindInlineSmiley(set, c.typed, [&](size_t n) {
            return before.size() >= n ? before.substr(before.size() - n) : before;
        });
        ASSERT_EQ(c.smiley.has_value(), match.has_value()) << c.before << c.typed;
        if (match) {
            EXPECT_EQ(*c.smiley, match->smiley);
            EXPECT_EQ(c.charactersBefore, match->charactersBefore);
        }
    }
}
