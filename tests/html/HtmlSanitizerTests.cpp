// Message bodies from the network: whatever a peer sends, what comes out can
// run nothing, load nothing and open nothing but the addresses the client
// opens itself, and ordinary formatting survives.
#include "HtmlSanitizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

struct HostileCase {
    const char* input;
    const char* mustNotContain;
};

TEST(HtmlSanitizerTest, HostileBodiesComeOutInert)
{
    const HostileCase cases[] = {
        {"<script>alert(1)</script>hi", "script"},
        {"<SCRIPT SRC=http://x/y.js></SCRIPT>hi", "script"},
        {"<img src=x onerror=alert(1)>", "onerror"},
        {"<b onmouseover=\"alert(1)\">x</b>", "onmouseover"},
        {"<a href=\"javascript:alert(1)\">x</a>", "javascript"},
        {"<a href=\"java\tscript:alert(1)\">x</a>", "script:"},
        {"<a href=\" JaVaScRiPt:alert(1)\">x</a>", "script:"},
        {"<a href=\"vbscript:msgbox\">x</a>", "vbscript"},
        {"<a href=\"file:///c:/windows/system32/calc.exe\">x</a>", "file:"},
        {"<a href=\"\\\\server\\share\\run.exe\">x</a>", "server"},
        {"<a href='x' \"onclick=alert(1)\">x</a>", "onclick"},
        {"<font face=\"a\" onmouseover=\"x\"\">y</font>", "onmouseover"},
        {"<span style=\"width: expression(alert(1))\">x</span>", "expression"},
        {"<span style=\"background: url(javascript:alert(1))\">x</span>", "url("},
        {"<span style=\"color: red; behavior: url(x.htc)\">x</span>", "behavior"},
        {"<div style=\"color:\\72 ed\">x</div>", "\\"},
        {"<iframe src=\"http://evil/\"></iframe>after", "iframe"},
        {"<object data=x></object><embed src=y>", "embed"},
        {"<style>body{background:url(x)}</style>text", "background"},
        {"<meta http-equiv=refresh content=\"0;url=http://x\">", "refresh"},
        {"<form action=http://x><input type=submit></form>", "input"},
        {"<svg><script>alert(1)</script></svg>", "alert"},
        {"<b>unterminated <i>tags <script>alert(1)", "alert"},
        {"<a href=\"http://ok/\" <script>alert(1)</script>>x</a>", "<script"},
        {"<<script>script>alert(1)<</script>/script>", "<script"},
        {"<!-- <script>alert(1)</script> -->text", "alert"},
        {"<![CDATA[<script>alert(1)</script>]]>", "<script"},
        {"<font color=\"#ff0000\" face=\"Arial&quot; onload=&quot;x\">x</font>", "onload"},
    };
    for (const auto& c : cases) {
        const std::string clean = Lower(SanitizeMessageHtml(std::string_view(c.input)));
        EXPECT_EQ(std::string::npos, clean.find(c.mustNotContain)) << c.input << " -> " << clean;
        EXPECT_EQ(std::string::npos, clean.find("<script")) << c.input;
        EXPECT_EQ(std::string::npos, clean.find(" on")) << c.input << " -> " << clean;
    }
}

TEST(HtmlSanitizerTest, BenignFormattingSurvives)
{
    const struct {
        const char* input;
        const char* expected;
    } cases[] = {
        {"<HTML><BODY BGCOLOR=\"#ffffff\"><FONT FACE=\"Arial\" SIZE=2 COLOR=\"#000080\">Hello <B>there</B></FONT>"
         "</BODY></HTML>",
         "<font face=\"Arial\" size=\"2\" color=\"#000080\">Hello <b>there</b></font>"},
        {"a<br>b<BR/>c", "a<br>b<br>c"},
        {"<i>x</i><u>y</u><s>z</s><sub>1</sub><sup>2</sup>", "<i>x</i><u>y</u><s>z</s><sub>1</sub><sup>2</sup>"},
        {"<a href=\"http://example.com/?a=1&amp;b=2\">link</a>",
         "<a href=\"http://example.com/?a=1&amp;b=2\">link</a>"},
        {"<a href=\"aim:goim?screenname=bob\">im</a>", "<a href=\"aim:goim?screenname=bob\">im</a>"},
        {"<span style=\"color: red; font-weight: bold\">x</span>",
         "<span style=\"color: red; font-weight: bold\">x</span>"},
        {"1 &lt; 2 &amp;&amp; 3 &gt; 2", "1 &lt; 2 &amp;&amp; 3 &gt; 2"},
        {"<font back=\"#ffff00\">marked</font>", "<font back=\"#ffff00\">marked</font>"},
        // Tags the list does not know give up their markup, not their text.
        {"<table><tr><td>cell</td></tr></table>", "cell"},
        {"<blink>still here</blink>", "still here"},
        // A link whose address is not allowed keeps its text.
        {"<a href=\"javascript:x()\">text</a>", "text"},
        {"<img src=\"http://x/y.gif\" alt=\"pic\">after", "after"},
        // Unclosed tags are closed, so the view's document stays whole.
        {"<b>bold <i>both", "<b>bold <i>both</i></b>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, SanitizeMessageHtml(std::string_view(c.input))) << c.input;
}

size_t Occurrences(const std::string& text, const char* what)
{
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

TEST(HtmlSanitizerTest, DeepNestingAndHugeInputAreBounded)
{
    // Deep, but within what a message may hold: parsed, and only so many
    // tags written, each closed again.
    std::string deep;
    for (int i = 0; i < 1500; ++i)
        deep += "<span>";
    deep += "core";
    std::string clean = SanitizeMessageHtml(std::string_view(deep));
    EXPECT_NE(std::string::npos, clean.find("core"));
    EXPECT_EQ(Occurrences(clean, "<span"), Occurrences(clean, "</span>"));
    EXPECT_LE(Occurrences(clean, "<span"), 64u);

    // Far more tags than any message has: shown as inert text, at once.
    deep.clear();
    for (int i = 0; i < 20000; ++i)
        deep += "<span><script>";
    clean = SanitizeMessageHtml(std::string_view(deep));
    EXPECT_EQ(std::string::npos, clean.find('<'));
    EXPECT_NE(std::string::npos, clean.find("&lt;script&gt;"));

    const std::string huge(4 * 1024 * 1024, 'x');
    EXPECT_EQ(64u * 1024u, SanitizeMessageHtml(std::string_view(huge)).size());
}

TEST(HtmlSanitizerTest, WideTextRoundTripsThroughUtf8)
{
    EXPECT_EQ(L"<b>gr\u00fc\u00dfe \u263a</b>", SanitizeMessageHtml(std::wstring_view(L"<b>gr\u00fc\u00dfe \u263a</b>")));
    EXPECT_EQ(L"", SanitizeMessageHtml(std::wstring_view(L"")));
}

} // namespace
