// The body of a message as the conversation view gets it: what the buddy
// sent, made safe, in a block that carries the message's identifier and
// the colour the buddy chose, and the outgoing HTML of the editor.
#include "ChatBody.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ChatBodyTest, BodiesFromTheNetworkAreSanitisedAndWrapped)
{
    struct Case {
        const wchar_t* html;
        const wchar_t* id;
        const wchar_t* viewBackground;
        const wchar_t* body;
        const wchar_t* plainBody;
    } cases[] = {
        {L"<b>hi</b><script>alert(1)</script>", L"7", L"", L"<div id=\"7\"><b>hi</b></div>",
         L"<div id=\"7\"><b>hi</b></div>"},
        // Unterminated markup is closed inside the block.
        {L"<b>bold <i>both", L"7", L"", L"<div id=\"7\"><b>bold <i>both</i></b></div>",
         L"<div id=\"7\"><b>bold <i>both</i></b></div>"},
        // The identifier is text in an attribute.
        {L"x", L"a\"><script>", L"", L"<div id=\"a&quot;&gt;&lt;script&gt;\">x</div>",
         L"<div id=\"a&quot;&gt;&lt;script&gt;\">x</div>"},
        // Font formatting stays in the formatted variant only.
        {L"<font color=\"#ff0000\">red</font>", L"1", L"", L"<div id=\"1\"><font color=\"#ff0000\">red</font></div>",
         L"<div id=\"1\">red</div>"},
        // The buddy's background colour, unless it is the view's own.
        {L"<html><body bgcolor=\"#FFEE00\">t</body></html>", L"2", L"#ffffff",
         L"<div id=\"2\" style=\"background-color: #FFEE00\">t</div>", L"<div id=\"2\">t</div>"},
        {L"<html><body bgcolor=\"#FFEE00\">t</body></html>", L"2", L"#ffee00",
         L"<div id=\"2\" style=\"background-color: transparent\">t</div>", L"<div id=\"2\">t</div>"},
        {L"<BODY BGCOLOR=navy>t", L"3", L"", L"<div id=\"3\" style=\"background-color: navy\">t</div>",
         L"<div id=\"3\">t</div>"},
        // Anything else a colour attribute carries never reaches the style.
        {L"<body bgcolor=\"red;background:url(http://x/)\">t", L"4", L"", L"<div id=\"4\">t</div>",
         L"<div id=\"4\">t</div>"},
        {L"<body bgcolor=\"expression(alert(1))\">t", L"4", L"", L"<div id=\"4\">t</div>", L"<div id=\"4\">t</div>"},
        {L"<body bgcolor=\"#12345\">t", L"4", L"", L"<div id=\"4\">t</div>", L"<div id=\"4\">t</div>"},
    };
    for (const Case& c : cases) {
        MessageBodyInput input;
        input.html = c.html;
        input.id = c.id;
        input.viewBackground = c.viewBackground;
        const MessageBody body = BuildMessageBody(input);
        EXPECT_EQ(c.body, body.body) << c.html;
        EXPECT_EQ(c.plainBody, body.plainBody) << c.html;
    }
}

TEST(ChatBodyTest, SmileyPicturesOfType1024BecomeTheirText)
{
    struct Case {
        const wchar_t* html;
        const wchar_t* expected;
    } cases[] = {
        {L"a<img src=\"aolbart:/1024/3a29/\">b<IMG SRC='aolbart:/1024/3b2d29'>c", L"a:)b;-)c"},
        // An ordinary picture is not a smiley.
        {L"<img src=\"http://x/y.gif\">", L"<img src=\"http://x/y.gif\">"},
        // The text is text, whatever it spells.
        {L"<img src=\"aolbart:/1024/3c623e\">", L"&lt;b&gt;"},
        // An odd leading digit is a byte of its own.
        {L"<img src=\"aolbart:/1024/93a29\">", L"\t:)"},
        // Not hex, or a tag that never ends: left as it is.
        {L"<img src=\"aolbart:/1024/zz\">", L"<img src=\"aolbart:/1024/zz\">"},
        {L"x<img src=\"aolbart:/1024/3a29\"", L"x<img src=\"aolbart:/1024/3a29\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, SmileyPicturesAsText(c.html)) << c.html;

    MessageBodyInput input;
    input.html = L"<img src=\"aolbart:/1024/3a29\"> and <img src=\"aolbart:/1024/3a28\">";
    input.id = L"9";
    input.smileysAsText = true;
    EXPECT_EQ(L"<div id=\"9\">:) and :(</div>", BuildMessageBody(input).body);
}

TEST(ChatBodyTest, ParagraphTagsLeaveTheOutgoingHtmlWhole)
{
    struct Case {
        const wchar_t* html;
        const wchar_t* expected;
    } cases[] = {
        {L"<DIV>a</DIV><P>b</P>", L"ab"},
        {L"<div class=\"x\">a</div><p style='margin:0'>b</p>", L"ab"},
        {L"<b>x</b><br><span>y</span>", L"<b>x</b><br><span>y</span>"},
        // Only those elements: "<dir>" and "<pre>" are others.
        {L"<dir>a</dir><pre>b</pre>", L"<dir>a</dir><pre>b</pre>"},
        {L"1 < 2 <p", L"1 < 2 <p"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, StripParagraphTags(c.html)) << c.html;
}

TEST(ChatBodyTest, BackgroundColoursAcceptedAsHexOrName)
{
    struct Case {
        const wchar_t* color;
        bool accepted;
    } cases[] = {
        {L"#A0b1C2", true}, {L"white", true}, {L"LightGoldenrodYellow", true}, {L"#A0B1C", false},
        {L"#A0B1C2;", false}, {L"", false}, {L"red blue", false}, {L"url(x)", false}, {L"#GGGGGG", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.accepted, IsAcceptableBackgroundColor(c.color)) << c.color;
}

} // namespace
