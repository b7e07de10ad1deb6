#include "LinkPolicy.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct RouteCase {
    const wchar_t* url;
    LinkRoute route;
};

const RouteCase kRoutes[] = {
    {L"http://example.com/", LinkRoute::Shell},
    {L"HTTPS://Example.com/a?b=c#d", LinkRoute::Shell},
    {L"ftp://files.example.com/pub/", LinkRoute::Shell},
    {L"mailto:someone@example.com", LinkRoute::Shell},
    {L"  http://example.com/  ", LinkRoute::Shell},
    {L"aim:goim?screenname=Buddy", LinkRoute::Client},
    {L"AIM:GoChat?RoomName=x", LinkRoute::Client},
    {L"vlm://settings/privacy", LinkRoute::Client},
    {L"http://", LinkRoute::Drop},
    {L"http:example.com", LinkRoute::Drop},
    {L"javascript:alert(1)", LinkRoute::Drop},
    {L"JavaScript:alert(1)", LinkRoute::Drop},
    {L"vbscript:msgbox", LinkRoute::Drop},
    {L"data:text/html,<script>x</script>", LinkRoute::Drop},
    {L"file:///C:/Windows/notepad.exe", LinkRoute::Drop},
    {L"\\\\server\\share\\setup.exe", LinkRoute::Drop},
    {L"C:\\Windows\\notepad.exe", LinkRoute::Drop},
    {L"notepad.exe", LinkRoute::Drop},
    {L"res://VLMMedia.dll/About.htm", LinkRoute::Drop},
    {L"vlm:settings", LinkRoute::Drop},
    {L"http://example.com/\r\nX-Header: 1", LinkRoute::Drop},
    {L"", LinkRoute::Drop},
};

class LinkRouteTest : public ::testing::TestWithParam<RouteCase> {};

TEST_P(LinkRouteTest, SendsOnlyWebMailAndOwnLinksAnywhere)
{
    EXPECT_EQ(GetParam().route, RouteOfLink(GetParam().url)) << GetParam().url;
}

INSTANTIATE_TEST_SUITE_P(Addresses, LinkRouteTest, ::testing::ValuesIn(kRoutes));

struct DangerCase {
    const wchar_t* url;
    bool dangerous;
};

const DangerCase kDangers[] = {
    {L"http://example.com/setup.EXE", true},
    {L"http://example.com/files/setup.exe", true},
    {L"http://example.com/page.html", false},
    {L"http://example.com/", false},
    {L"http://example.com", false},
    {L"http://www.example.com", false},             // the host's ".com" is no file
    {L"http://example.com/setup.exe?x=1", true},     // query cut off first
    {L"http://example.com/setup.exe#start", true},   // fragment cut off first
    {L"http://example.com/page.html?file=setup.exe", false},
    {L"http://example.com/page.html#setup.exe", false},
    {L"http://example.com/get.cgi?name=a.vbs#b.c", false},
    {L"http://example.com/files.d/readme", false},   // a dot in a folder is no extension
    {L"http://example.com/setup%2Eexe", true},       // the server decodes it
    {L"http://example.com/setup.exe.", true},        // Windows drops the trailing dot
    {L"http://example.com/setup.exe/", false},
    {L"https://example.com/tool.msi", true},
    {L"ftp://example.com/pub/run.bat", true},
    {L"http://example.com/macro.vsmacros", true},
    {L"http://example.com/script.js", true},
    {L"http://example.com/picture.jpg", false},
    {L"http://example.com/archive.zip", false},
    {L"file:///C:/Users/Public/readme.txt", true},   // a local file, whatever it is
    {L"file:C:\\temp\\page.html", true},
    {L"file://localhost/C:/temp/a.txt", true},
    {L"file://server/share/readme.txt", false},
    {L"file://server/share/setup.exe", true},
    {L"\\\\server\\share\\setup.exe", true},
    {L"\\\\server\\share\\readme.txt", false},
    {L"C:\\temp\\setup.exe", true},
    {L"mailto:someone@example.com", false},          // no file, despite ".com"
    {L"aim:goim?screenname=a.exe", false},
};

class DangerousLinkTest : public ::testing::TestWithParam<DangerCase> {};

TEST_P(DangerousLinkTest, WarnsAboutFilesThatRun)
{
    EXPECT_EQ(GetParam().dangerous, IsDangerousLink(GetParam().url)) << GetParam().url;
}

INSTANTIATE_TEST_SUITE_P(Addresses, DangerousLinkTest, ::testing::ValuesIn(kDangers));

TEST(DangerousExtensionTest, KnowsEachListedExtensionInAnyCase)
{
    const wchar_t* const listed[] = {
        L"ade", L"adp", L"app", L"asp", L"bas", L"bat", L"cer", L"chm", L"cmd", L"com", L"cpl", L"crt",
        L"csh", L"exe", L"fxp", L"hlp", L"hta", L"inf", L"ins", L"isp", L"its", L"js", L"jse", L"ksh",
        L"lnk", L"mad", L"maf", L"mag", L"mam", L"maq", L"mar", L"mas", L"mat", L"mau", L"mav", L"maw",
        L"mda", L"mdb", L"mde", L"mdt", L"mdw", L"mdz", L"msc", L"msi", L"msp", L"mst", L"ops", L"pcd",
        L"pif", L"prf", L"prg", L"pst", L"reg", L"scf", L"scr", L"sct", L"shb", L"shs", L"tmp", L"url",
        L"vb", L"vbe", L"vbs", L"vsd", L"vsmacros", L"vss", L"vst", L"vsw", L"ws", L"wsc", L"wsf", L"wsh",
    };
    for (const wchar_t* extension : listed) {
        std::wstring upper = extension;
        for (wchar_t& c : upper)
            c = static_cast<wchar_t>(towupper(c));
        EXPECT_TRUE(IsDangerousExtension(extension)) << extension;
        EXPECT_TRUE(IsDangerousExtension(upper)) << upper;
    }
    for (const wchar_t* harmless : {L"htm", L"html", L"png", L"txt", L"zip", L"pdf", L"", L"ex", L"exe2", L"v"})
        EXPECT_FALSE(IsDangerousExtension(harmless)) << harmless;
}

struct PageCase {
    const wchar_t* url;
    const wchar_t* page;
    bool same;
};

const PageCase kPages[] = {
    {L"res://VLMMedia.dll/About.htm", L"res://VLMMedia.dll/About.htm", true},
    {L"RES://vlmmedia.dll/about.HTM", L"res://VLMMedia.dll/About.htm", true},
    {L"res://VLMMedia.dll/About.htm#credits", L"res://VLMMedia.dll/About.htm", true},
    {L"res://VLMMedia.dll/About.htm", L"res://VLMMedia.dll/About.htm#top", true},
    {L"res://VLMMedia.dll/About.htm?x=1", L"res://VLMMedia.dll/About.htm", false},
    {L"res://VLMMedia.dll/About.htm.evil/x", L"res://VLMMedia.dll/About.htm", false},
    {L"http://evil.example/?res://VLMMedia.dll/About.htm", L"res://VLMMedia.dll/About.htm", false},
    {L"res://VLMMedia.dll/InfoTip.htm", L"res://VLMMedia.dll/About.htm", false},
    {L"about:blank", L"", false},
    {L"", L"", false},
};

class SamePageTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(SamePageTest, ComparesWholeAddressesWithoutFragment)
{
    EXPECT_EQ(GetParam().same, IsSamePage(GetParam().url, GetParam().page)) << GetParam().url;
}

INSTANTIATE_TEST_SUITE_P(Addresses, SamePageTest, ::testing::ValuesIn(kPages));

TEST(LooksLikeUrlTest, TellsAddressesFromStatusMessages)
{
    for (const wchar_t* url : {L"http://example.com/", L"mailto:a@b.c", L"file:///C:/x.exe", L"aim:goim"})
        EXPECT_TRUE(LooksLikeUrl(url)) << url;
    for (const wchar_t* text : {L"Done", L"", L"Opening page http://x/...", L"C:\\x.exe", L"http:", L"a:b"})
        EXPECT_FALSE(LooksLikeUrl(text)) << text;
}

TEST(SchemeOfTest, ReadsTheSchemeInLowerCase)
{
    EXPECT_EQ(L"http", SchemeOf(L"HTTP://x"));
    EXPECT_EQ(L"vlm", SchemeOf(L"vlm://x"));
    EXPECT_EQ(L"ms-settings", SchemeOf(L"ms-settings:display"));
    EXPECT_EQ(L"", SchemeOf(L"C:\\x"));
    EXPECT_EQ(L"", SchemeOf(L"no scheme: here"));
    EXPECT_EQ(L"", SchemeOf(L"1http://x"));
}

} // namespace
