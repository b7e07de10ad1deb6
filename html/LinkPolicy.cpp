#include "LinkPolicy.h"

#include <algorithm>
#include <cwctype>
#include <iterator>

namespace {

// Program, script and document types that Windows opens with something that
// can run code. Sorted, for the binary search.
const wchar_t* const kDangerousExtensions[] = {
    L"ade", L"adp", L"app", L"asp", L"bas", L"bat", L"cer", L"chm", L"cmd", L"com", L"cpl", L"crt",
    L"csh", L"exe", L"fxp", L"hlp", L"hta", L"inf", L"ins", L"isp", L"its", L"js", L"jse", L"ksh",
    L"lnk", L"mad", L"maf", L"mag", L"mam", L"maq", L"mar", L"mas", L"mat", L"mau", L"mav", L"maw",
    L"mda", L"mdb", L"mde", L"mdt", L"mdw", L"mdz", L"msc", L"msi", L"msp", L"mst", L"ops", L"pcd",
    L"pif", L"prf", L"prg", L"pst", L"reg", L"scf", L"scr", L"sct", L"shb", L"shs", L"tmp", L"url",
    L"vb", L"vbe", L"vbs", L"vsd", L"vsmacros", L"vss", L"vst", L"vsw", L"ws", L"wsc", L"wsf", L"wsh",
};
static_assert(std::size(kDangerousExtensions) == 72, "the list of dangerous extensions");

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix)
{
    size_t i = 0;
    for (; prefix[i]; ++i) {
        if (i >= text.size() || std::towlower(text[i]) != std::towlower(prefix[i]))
            return false;
    }
    return true;
}

std::wstring Trimmed(const std::wstring& text)
{
    const auto blank = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; };
    size_t first = 0;
    size_t last = text.size();
    while (first < last && blank(text[first]))
        ++first;
    while (last > first && blank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

std::wstring WithoutFragment(const std::wstring& url)
{
    return url.substr(0, url.find(L'#'));
}

int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

// Decodes %XX escapes of single bytes, so "setup%2Eexe" is seen as the
// "setup.exe" the server will send.
std::wstring PercentDecoded(const std::wstring& text)
{
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<wchar_t>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

bool IsSlash(wchar_t c)
{
    return c == L'/' || c == L'\\';
}

// The text after the host of "scheme://host/path", or after the "\\server"
// of a UNC path: from the first slash after the host on, "" when none.
std::wstring PathAfterHost(const std::wstring& url, size_t hostStart)
{
    for (size_t i = hostStart; i < url.size(); ++i) {
        if (IsSlash(url[i]))
            return url.substr(i);
    }
    return std::wstring();
}

} // namespace

std::wstring SchemeOf(const std::wstring& url)
{
    const size_t colon = url.find(L':');
    if (colon == std::wstring::npos || colon < 2)
        return std::wstring();
    if (!std::iswalpha(url[0]) || url[0] > 0x7F)
        return std::wstring();
    for (size_t i = 1; i < colon; ++i) {
        const wchar_t c = url[i];
        const bool allowed = (c < 0x80 && std::iswalnum(c)) || c == L'+' || c == L'-' || c == L'.';
        if (!allowed)
            return std::wstring();
    }
    return Lower(url.substr(0, colon));
}

LinkRoute RouteOfLink(const std::wstring& url)
{
    const std::wstring link = Trimmed(url);
    // A control character inside an address is never a real link; it is how
    // a crafted one smuggles a second command line or header past a check.
    for (wchar_t c : link) {
        if (c < 0x20 || c == 0x7F)
            return LinkRoute::Drop;
    }
    for (const wchar_t* web : {L"http://", L"https://", L"ftp://"}) {
        if (StartsWithNoCase(link, web) && link.size() > wcslen(web))
            return LinkRoute::Shell;
    }
    if (StartsWithNoCase(link, L"mailto:"))
        return LinkRoute::Shell;
    if (StartsWithNoCase(link, L"aim:") || StartsWithNoCase(link, L"vlm://"))
        return LinkRoute::Client;
    return LinkRoute::Drop;
}

bool LooksLikeUrl(const std::wstring& text)
{
    const std::wstring scheme = SchemeOf(text);
    return !scheme.empty() && text.size() > scheme.size() + 1;
}

bool IsSamePage(const std::wstring& url, const std::wstring& page)
{
    if (page.empty())
        return false;
    return Lower(WithoutFragment(url)) == Lower(WithoutFragment(page));
}

bool IsDangerousExtension(const std::wstring& extension)
{
    const std::wstring wanted = Lower(extension);
    return std::binary_search(std::begin(kDangerousExtensions), std::end(kDangerousExtensions), wanted,
                              [](const std::wstring& a, const std::wstring& b) { return a < b; });
}

bool IsDangerousLink(const std::wstring& url)
{
    std::wstring link = Trimmed(url);
    link = link.substr(0, link.find(L'#'));
    link = link.substr(0, link.find(L'?'));

    std::wstring path;
    const std::wstring scheme = SchemeOf(link);
    if (scheme == L"file") {
        const std::wstring rest = link.substr(5);
        if (rest.size() < 2 || !IsSlash(rest[0]) || !IsSlash(rest[1]))
            return true; // "file:C:/..." names a local file
        const size_t hostStart = 2;
        size_t hostEnd = hostStart;
        while (hostEnd < rest.size() && !IsSlash(rest[hostEnd]))
            ++hostEnd;
        const std::wstring host = Lower(rest.substr(hostStart, hostEnd - hostStart));
        if (host.empty() || host == L"localhost")
            return true;
        path = rest.substr(hostEnd);
    } else if (link.size() >= 2 && std::iswalpha(link[0]) && link[1] == L':') {
        return true; // a drive path
    } else if (link.size() >= 2 && IsSlash(link[0]) && IsSlash(link[1])) {
        path = PathAfterHost(link, 2); // a UNC path: the server is the host
    } else if (!scheme.empty()) {
        const size_t afterColon = scheme.size() + 1;
        // "mailto:", "aim:" and the like name no file to download.
        if (link.size() < afterColon + 2 || !IsSlash(link[afterColon]) || !IsSlash(link[afterColon + 1]))
            return false;
        path = PathAfterHost(link, afterColon + 2);
    } else {
        path = link; // a relative address
    }

    size_t segmentStart = path.size();
    while (segmentStart > 0 && !IsSlash(path[segmentStart - 1]))
        --segmentStart;
    std::wstring segment = PercentDecoded(path.substr(segmentStart));
    // Windows drops trailing dots and blanks from a file name, so
    // "setup.exe." is saved, and run, as "setup.exe".
    while (!segment.empty() && (segment.back() == L'.' || segment.back() == L' '))
        segment.pop_back();
    const size_t dot = segment.rfind(L'.');
    if (dot == std::wstring::npos)
        return false;
    return IsDangerousExtension(segment.substr(dot + 1));
}
