#include "LogText.h"

#include "StringConv.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

namespace {

// The text an attribute holding `escaped` reads back as, through a real parser.
bool ReadBackAttribute(const std::wstring& escaped, std::wstring& value)
{
    const std::string xml = "<a v=\"" + WideToUtf8(escaped) + "\" w='" + WideToUtf8(escaped) + "'>"
        + WideToUtf8(escaped) + "</a>";
    tinyxml2::XMLDocument document;
    if (document.Parse(xml.c_str(), xml.size()) != tinyxml2::XML_SUCCESS)
        return false;
    const tinyxml2::XMLElement* root = document.RootElement();
    const char* text = root->GetText();
    const std::wstring v = Utf8ToWide(root->Attribute("v"));
    if (Utf8ToWide(root->Attribute("w")) != v || Utf8ToWide(text ? text : "") != v)
        return false;
    value = v;
    return true;
}

TEST(LogTextTest, EscapedNamesReadBackWhole)
{
    const struct {
        std::wstring name;
        std::wstring readBack;
    } cases[] = {
        {L"Plain Name", L"Plain Name"},
        {L"<script>alert(1)</script>", L"<script>alert(1)</script>"},
        {L"Tom & \"Jerry\" 'n' co", L"Tom & \"Jerry\" 'n' co"},
        {L"&amp; already", L"&amp; already"},
        {L"]]> end", L"]]> end"},
        {L"bell\a and nul\x01 go", L"bell and nul go"},
        {L"lone \xD800 surrogate", L"lone  surrogate"},
        {L"pair \xD83D\xDE00 stays", L"pair \xD83D\xDE00 stays"},
        {L"\xFFFE\xFFFF", L""},
    };
    for (const auto& c : cases) {
        std::wstring value;
        ASSERT_TRUE(ReadBackAttribute(XmlEscape(c.name), value)) << WideToUtf8(c.name);
        EXPECT_EQ(value, c.readBack) << WideToUtf8(c.name);
    }
}

TEST(LogTextTest, TemplatesAreFilledLikeFormatMessage)
{
    const std::vector<std::wstring> values = {L"one", L"%2 stays", L"", L"4", L"5", L"6", L"7", L"8", L"9", L"ten",
                                              L"eleven"};
    const struct {
        const wchar_t* pattern;
        const wchar_t* filled;
    } cases[] = {
        {L"<a x=\"%1\">%2</a>", L"<a x=\"one\">%2 stays</a>"},
        {L"%10|%11|%1", L"ten|eleven|one"},
        {L"%1!s! and %3.", L"one and ."},
        {L"100%% width", L"100% width"},
        {L"a%nb%tc%rd", L"a\r\nb\tc\rd"},
        {L"cut%0 here", L"cut"},
        {L"%12 beyond the values", L" beyond the values"},
        {L"%. %! % trailing %", L". !  trailing %"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FillInserts(c.pattern, values), c.filled) << WideToUtf8(c.pattern);

    const std::wstring longBody(300000, L'x');
    EXPECT_EQ(FillInserts(L"<b>%1</b>", {longBody}), L"<b>" + longBody + L"</b>");
}

TEST(LogTextTest, NetworkNamesBecomeOnePathComponent)
{
    const struct {
        std::wstring name;
        std::wstring safe;
    } cases[] = {
        {L"Chat Room 7", L"Chat Room 7"},
        {L"buddy_name-1", L"buddy_name-1"},
        {L"..", L"_"},
        {L".", L"_"},
        {L"", L"_"},
        {L"..\\x", L".._x"},
        {L"../../etc", L".._.._etc"},
        {L"C:\\Windows", L"C__Windows"},
        {L"a<b>c:d\"e|f?g*h", L"a_b_c_d_e_f_g_h"},
        {L"trailing. . ", L"trailing"},
        {L"tab\there", L"tab_here"},
        {L"CON", L"_CON"},
        {L"con.txt", L"_con.txt"},
        {L"LPT1", L"_LPT1"},
        {L"COM10", L"COM10"},
        {L"Console", L"Console"},
        {std::wstring(300, L'a'), std::wstring(120, L'a')},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SafePathComponent(c.name), c.safe) << WideToUtf8(c.name);
}

TEST(LogTextTest, NextSessionIdIsTakenFromTheHeader)
{
    const struct {
        std::string header;
        bool found;
        int session;
        std::string after;
    } cases[] = {
        {"<Log NextSessionID=\"2\" A=\"x\"/>", true, 2, "<Log NextSessionID=\"3\" A=\"x\"/>"},
        {"<Log NextSessionID=\"0\"/>", true, 1, "<Log NextSessionID=\"2\"/>"},
        {"<Log NextSessionID=\"abc\"/>", true, 1, "<Log NextSessionID=\"2\"/>"},
        {"<Log NextSessionID=\"99999999999\"/>", true, 1, "<Log NextSessionID=\"2\"/>"},
        {"<Log NextSessionID=\"41\"/><X NextSessionID=\"7\"/>", true, 41,
         "<Log NextSessionID=\"42\"/><X NextSessionID=\"7\"/>"},
        {"<Log NextSessionID=\"\"/>", false, 0, "<Log NextSessionID=\"\"/>"},
        {"<Log NextSessionID=\"5", false, 0, "<Log NextSessionID=\"5"},
        {"<Log/>", false, 0, "<Log/>"},
    };
    for (const auto& c : cases) {
        std::string header = c.header;
        int session = 0;
        EXPECT_EQ(TakeNextSessionId(header, session), c.found) << c.header;
        EXPECT_EQ(session, c.session) << c.header;
        EXPECT_EQ(header, c.after) << c.header;
    }
}

TEST(LogTextTest, SenderKindFollowsTheFlags)
{
    using namespace MessageLogFlags;
    const struct {
        UINT flags;
        const wchar_t* kind;
    } cases[] = {
        {System, L"SYSTEM"},
        {System | Offline, L"SYSTEM"},
        {Sent, L"USER"},
        {Received, L"USER"},
        {Received | Offline, L"USER,OFFLINE"},
        {Received | AutoResponse, L"USER,AUTORESPONSE"},
        {Received | AutoResponse | Offline, L"USER,OFFLINE,AUTORESPONSE"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SenderKind(c.flags), c.kind) << c.flags;
}

TEST(LogTextTest, BodyContentIsWhatTheBodyHolds)
{
    EXPECT_EQ(BodyContent(L"<html><body>hi <b>x</b></body></html>"), L"hi <b>x</b>");
    EXPECT_EQ(BodyContent(L"<html><body>no end"), L"<html><body>no end");
    EXPECT_EQ(BodyContent(L"plain"), L"plain");
}

TEST(LogTextTest, MessageBodiesAreCleanWellFormedFragments)
{
    const EmbeddedFiles none;
    const struct {
        std::wstring html;
        std::wstring body;
    } cases[] = {
        {L"<FONT face=\"Arial\"><B><I><U>hello</U></I></B></FONT>", L"hello"},
        {L"<DIV><font color=\"#ff0000\">red</font> <b>and</b> plain</DIV>", L"red and plain"},
        {L"one<br>two<BR>three", L"one<br/>two<br/>three"},
        {L"<script>alert(1)</script>safe", L"safe"},
        {L"<b>unterminated <i>tags", L"unterminated tags"},
        {L"a < b && c > d", L"a &lt; b &amp;&amp; c &gt; d"},
        {L"<a href=\"javascript:alert(1)\">x</a>", L"x"},
        {L"<img src=\"http://example.com/x.png\" onerror=\"alert(1)\">pic", L"pic"},
        {L"<span style=\"color:red\">&nbsp;</span>", L"<span style=\"color: red\">\xA0</span>"},
        {L"ctl\x01\x02 chars", L"ctl\xFFFD\xFFFD chars"},
        {L"a\xE000 forged marker", L"a forged marker"},
    };
    for (const auto& c : cases) {
        const std::wstring body = CleanMessageBody(c.html, none);
        EXPECT_EQ(body, c.body) << WideToUtf8(c.html);
        EXPECT_TRUE(IsWellFormedFragment(body)) << WideToUtf8(c.html);
    }
}

TEST(LogTextTest, EmbeddedPicturesBecomeTheirFiles)
{
    const std::wstring html = L"<IMG SRC=\"aoldim:/1\" ID=\"a\">first <img src='AOLDIM:/2'> second "
                              L"<img src=\"http://x/y.png\">";
    EmbeddedFiles files;
    files.count = 3;
    files.paths = {L"C:\\in\\zero.png", L"C:\\in\\one & two.png", L"C:\\in\\two.gif"};
    files.link = true;
    // The last picture takes the last attachment, the one before it the one before.
    EXPECT_EQ(CleanMessageBody(html, files),
              L"<a href=\"file:./Files/one%20%26%20two.png\">one &amp; two.png</a>first "
              L"<a href=\"file:./Files/two.gif\">two.gif</a> second ");
    files.link = false;
    EXPECT_EQ(CleanMessageBody(html, files), L"one &amp; two.pngfirst two.gif second ");
    // More pictures than attachments: the extra ones get no file rather
    // than an index below zero.
    files.count = 1;
    EXPECT_EQ(CleanMessageBody(html, files), L"first zero.png second ");
    files.count = 0;
    EXPECT_EQ(CleanMessageBody(html, files), L"first  second ");
}

}  // namespace
