#include "LogText.h"

#include "HtmlSanitizer.h"
#include "StringConv.h"

#include <tinyxml2.h>

#include <algorithm>
#include <cwctype>

namespace {

// Stands for an embedded picture while the rest of the message goes
// through the sanitiser; a private-use character, removed from the input
// first so a sender cannot forge one.
constexpr wchar_t kPictureMarker = L'\xE000';
// Longer names are cut: the whole path must stay within what the file
// functions take, and no screen name or room name comes near this.
constexpr size_t kMaxComponent = 120;

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Appends the characters of `text` XML can hold, through `put`.
template <typename Put>
void ForEachXmlChar(std::wstring_view text, Put put)
{
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (IsHighSurrogate(c)) {
            if (i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
                put(c);
                put(text[++i]);
            }
            continue;
        }
        if (IsLowSurrogate(c) || c == 0xFFFE || c == 0xFFFF)
            continue;
        if (c < 0x20 && c != L'\t' && c != L'\n' && c != L'\r')
            continue;
        put(c);
    }
}

std::wstring XmlChars(std::wstring_view text)
{
    std::wstring out;
    out.reserve(text.size());
    ForEachXmlChar(text, [&](wchar_t c) { out += c; });
    return out;
}

wchar_t Lower(wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); }

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (Lower(text[i]) != Lower(prefix[i]))
            return false;
    }
    return true;
}

bool IsReservedDeviceName(std::wstring_view name)
{
    const std::wstring_view base = name.substr(0, name.find(L'.'));
    std::wstring upper(base);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](wchar_t c) { return std::towupper(c); });
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
        if (upper == device)
            return true;
    }
    return upper.size() == 4 && (upper.compare(0, 3, L"COM") == 0 || upper.compare(0, 3, L"LPT") == 0)
        && upper[3] >= L'1' && upper[3] <= L'9';
}

void TrimTrailingDotsAndSpaces(std::wstring& name)
{
    while (!name.empty() && (name.back() == L'.' || name.back() == L' '))
        name.pop_back();
}

// The end of the tag that starts at `start` ('<'): the index of its '>',
// quotes respected; npos when the text ends first.
size_t TagEnd(std::wstring_view text, size_t start)
{
    wchar_t quote = 0;
    for (size_t i = start + 1; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == L'"' || c == L'\'') {
            quote = c;
        } else if (c == L'>') {
            return i;
        }
    }
    return std::wstring_view::npos;
}

bool IsTagNameEnd(wchar_t c) { return c == L'>' || c == L'/' || std::iswspace(c); }

// The value of the src attribute of an image tag's text ("<img ...>").
std::wstring SourceOf(std::wstring_view tag)
{
    for (size_t at = 4; at + 3 <= tag.size(); ++at) {
        if (!StartsWithNoCase(tag.substr(at), L"src") || !(std::iswspace(tag[at - 1]) || tag[at - 1] == L'/'))
            continue;
        size_t i = at + 3;
        while (i < tag.size() && std::iswspace(tag[i]))
            ++i;
        if (i >= tag.size() || tag[i] != L'=')
            continue;
        ++i;
        while (i < tag.size() && std::iswspace(tag[i]))
            ++i;
        if (i >= tag.size())
            return {};
        if (tag[i] == L'"' || tag[i] == L'\'') {
            const size_t close = tag.find(tag[i], i + 1);
            return std::wstring(tag.substr(i + 1, close == std::wstring_view::npos ? std::wstring_view::npos
                                                                                     : close - i - 1));
        }
        size_t end = i;
        while (end < tag.size() && !std::iswspace(tag[end]) && tag[end] != L'>')
            ++end;
        return std::wstring(tag.substr(i, end - i));
    }
    return {};
}

bool IsEmbeddedPictureSource(std::wstring_view source)
{
    size_t i = 0;
    while (i < source.size() && std::iswspace(source[i]))
        ++i;
    return StartsWithNoCase(source.substr(i), L"aoldim:/");
}

// Replaces every image tag of an embedded picture by the marker; returns
// how many there were.
size_t MarkEmbeddedPictures(std::wstring& html)
{
    size_t count = 0;
    std::wstring out;
    out.reserve(html.size());
    size_t pos = 0;
    while (pos < html.size()) {
        const size_t open = html.find(L'<', pos);
        if (open == std::wstring::npos)
            break;
        const std::wstring_view rest(html.c_str() + open, html.size() - open);
        if (!(rest.size() > 4 && StartsWithNoCase(rest, L"<img") && IsTagNameEnd(rest[4]))) {
            out.append(html, pos, open + 1 - pos);
            pos = open + 1;
            continue;
        }
        const size_t close = TagEnd(html, open);
        if (close == std::wstring::npos)
            break;
        out.append(html, pos, open - pos);
        const std::wstring_view tag(html.c_str() + open, close + 1 - open);
        if (IsEmbeddedPictureSource(SourceOf(tag))) {
            out += kPictureMarker;
            ++count;
        } else {
            out.append(tag);
        }
        pos = close + 1;
    }
    out.append(html, std::min(pos, html.size()), std::wstring::npos);
    html.swap(out);
    return count;
}

std::wstring TagName(std::wstring_view tag)
{
    size_t i = 1;
    if (i < tag.size() && tag[i] == L'/')
        ++i;
    size_t end = i;
    while (end < tag.size() && !IsTagNameEnd(tag[end]))
        ++end;
    std::wstring name(tag.substr(i, end - i));
    std::transform(name.begin(), name.end(), name.begin(), Lower);
    return name;
}

// Over the sanitiser's output, which is well-formed HTML with every
// attribute quoted and escaped: formatting tags go (the log shows the words,
// not the sender's fonts), and the two empty elements are written the XML
// way.
std::wstring DropFormattingTags(const std::wstring& html)
{
    std::wstring out;
    out.reserve(html.size());
    size_t pos = 0;
    while (pos < html.size()) {
        const size_t open = html.find(L'<', pos);
        if (open == std::wstring::npos)
            break;
        const size_t close = TagEnd(html, open);
        if (close == std::wstring::npos)
            break;
        out.append(html, pos, open - pos);
        std::wstring tag = html.substr(open, close + 1 - open);
        const std::wstring name = TagName(tag);
        if (name == L"font" || name == L"div" || name == L"b" || name == L"i" || name == L"u") {
            // dropped with its partner, keeping what lies between
        } else if ((name == L"br" || name == L"hr") && tag.size() >= 2 && tag[tag.size() - 2] != L'/') {
            tag.insert(tag.size() - 1, L"/");
            out += tag;
        } else {
            out += tag;
        }
        pos = close + 1;
    }
    out.append(html, std::min(pos, html.size()), std::wstring::npos);
    return out;
}

std::wstring FileNameOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// A file name as a relative address: every byte outside the unreserved set
// percent-encoded, so spaces, "#" and "%" in names cannot change the link.
std::wstring AddressPart(const std::wstring& name)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::wstring out;
    for (unsigned char c : WideToUtf8(name)) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
            || c == '_' || c == '~') {
            out += static_cast<wchar_t>(c);
        } else {
            out += L'%';
            out += static_cast<wchar_t>(kHex[c >> 4]);
            out += static_cast<wchar_t>(kHex[c & 15]);
        }
    }
    return out;
}

std::wstring PictureText(long index, const EmbeddedFiles& files)
{
    // The pictures are matched to the files from the attachment count
    // downward; more pictures than attachments leave the first ones without
    // a file, never with a negative index.
    if (index < 0 || static_cast<size_t>(index) >= files.paths.size())
        return {};
    const std::wstring name = FileNameOf(files.paths[index]);
    if (name.empty())
        return {};
    if (!files.link)
        return XmlEscape(name);
    return L"<a href=\"file:./Files/" + AddressPart(name) + L"\">" + XmlEscape(name) + L"</a>";
}

std::wstring ReplacePictureMarkers(const std::wstring& html, size_t pictures, const EmbeddedFiles& files)
{
    std::wstring out;
    long index = files.count - static_cast<long>(pictures);
    for (wchar_t c : html) {
        if (c == kPictureMarker)
            out += PictureText(index++, files);
        else
            out += c;
    }
    return out;
}

std::wstring DateText(const SYSTEMTIME& local, DWORD flags, const wchar_t* picture)
{
    wchar_t buffer[128];
    const int length = GetDateFormatW(LOCALE_SYSTEM_DEFAULT, flags, &local, picture, buffer, ARRAYSIZE(buffer));
    return length > 0 ? std::wstring(buffer, length - 1) : std::wstring();
}

}  // namespace

std::wstring XmlEscape(std::wstring_view text)
{
    std::wstring out;
    out.reserve(text.size());
    ForEachXmlChar(text, [&](wchar_t c) {
        switch (c) {
        case L'&': out += L"&amp;"; break;
        case L'<': out += L"&lt;"; break;
        case L'>': out += L"&gt;"; break;
        case L'"': out += L"&quot;"; break;
        case L'\'': out += L"&apos;"; break;
        default: out += c; break;
        }
    });
    return out;
}

std::wstring SafePathComponent(std::wstring_view name)
{
    std::wstring safe;
    safe.reserve(name.size());
    for (wchar_t c : name.substr(0, kMaxComponent)) {
        if (c < 0x20 || wcschr(L"<>:\"/\\|?*", c))
            safe += L'_';
        else
            safe += c;
    }
    TrimTrailingDotsAndSpaces(safe);
    if (safe.empty() || IsReservedDeviceName(safe))
        safe.insert(safe.begin(), L'_');
    return safe;
}

std::wstring FillInserts(std::wstring_view pattern, const std::vector<std::wstring>& values)
{
    std::wstring out;
    out.reserve(pattern.size());
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != L'%' || i + 1 == pattern.size()) {
            out += pattern[i];
            continue;
        }
        const wchar_t next = pattern[++i];
        if (next >= L'1' && next <= L'9') {
            size_t number = next - L'0';
            if (i + 1 < pattern.size() && pattern[i + 1] >= L'0' && pattern[i + 1] <= L'9')
                number = number * 10 + (pattern[++i] - L'0');
            if (i + 1 < pattern.size() && pattern[i + 1] == L'!') {
                const size_t close = pattern.find(L'!', i + 2);
                if (close != std::wstring_view::npos)
                    i = close;
            }
            if (number <= values.size())
                out += values[number - 1];
            continue;
        }
        switch (next) {
        case L'0': return out;
        case L'n': out += L"\r\n"; break;
        case L'r': out += L'\r'; break;
        case L't': out += L'\t'; break;
        default: out += next; break;
        }
    }
    return out;
}

std::wstring WithoutSpaces(std::wstring_view name)
{
    std::wstring out;
    for (wchar_t c : name) {
        if (c != L' ')
            out += c;
    }
    return out;
}

std::wstring UtcStamp(const SYSTEMTIME& local)
{
    FILETIME localFile;
    FILETIME utcFile;
    SYSTEMTIME utc;
    if (!SystemTimeToFileTime(&local, &localFile) || !LocalFileTimeToFileTime(&localFile, &utcFile)
        || !FileTimeToSystemTime(&utcFile, &utc))
        return {};
    wchar_t buffer[40];
    swprintf(buffer, ARRAYSIZE(buffer), L"%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.wYear, utc.wMonth, utc.wDay,
             utc.wHour, utc.wMinute, utc.wSecond, utc.wMilliseconds);
    return buffer;
}

std::wstring ShortDateText(const SYSTEMTIME& local) { return DateText(local, DATE_SHORTDATE, nullptr); }

std::wstring LongDateText(const SYSTEMTIME& local) { return DateText(local, DATE_LONGDATE, nullptr); }

std::wstring TimeText(const SYSTEMTIME& local)
{
    wchar_t buffer[64];
    const int length = GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, 0, &local, nullptr, buffer, ARRAYSIZE(buffer));
    return length > 0 ? std::wstring(buffer, length - 1) : std::wstring();
}

std::wstring DayFolderName(const SYSTEMTIME& local)
{
    return DateText(local, 0, L"yyyy'\\'MMMM'\\'dd' ('dddd')'");
}

std::wstring MonthFolderName(const SYSTEMTIME& local) { return DateText(local, 0, L"yyyy'\\'MMMM"); }

bool TakeNextSessionId(std::string& header, int& session)
{
    static const std::string kAttribute = "NextSessionID=\"";
    size_t start = header.find(kAttribute);
    if (start == std::string::npos)
        return false;
    start += kAttribute.size();
    const size_t end = header.find('"', start);
    if (end == std::string::npos || end == start)
        return false;
    const std::string digits = header.substr(start, end - start);
    int next = 0;
    if (digits.size() <= 9 && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        next = std::stoi(digits);
    if (next <= 0)
        next = 1;
    header.replace(start, end - start, std::to_string(next + 1));
    session = next;
    return true;
}

std::wstring SenderKind(UINT flags)
{
    if (flags & MessageLogFlags::System)
        return L"SYSTEM";
    std::wstring kind = L"USER";
    if (flags & MessageLogFlags::Offline)
        kind += L",OFFLINE";
    if (flags & MessageLogFlags::AutoResponse)
        kind += L",AUTORESPONSE";
    return kind;
}

std::wstring BodyContent(const std::wstring& text)
{
    const size_t open = text.find(L"<body>");
    if (open == std::wstring::npos)
        return text;
    const size_t start = open + 6;
    const size_t close = text.find(L"</body>", start);
    if (close == std::wstring::npos)
        return text;
    return text.substr(start, close - start);
}

bool IsWellFormedFragment(const std::wstring& fragment)
{
    tinyxml2::XMLDocument document;
    const std::string wrapped = "<f>" + WideToUtf8(fragment) + "</f>";
    return document.Parse(wrapped.c_str(), wrapped.size()) == tinyxml2::XML_SUCCESS;
}

std::wstring CleanMessageBody(const std::wstring& html, const EmbeddedFiles& files)
{
    std::wstring text = html;
    text.erase(std::remove(text.begin(), text.end(), kPictureMarker), text.end());
    const size_t pictures = MarkEmbeddedPictures(text);
    std::wstring body = DropFormattingTags(SanitizeMessageHtml(text));
    body = XmlChars(ReplacePictureMarkers(body, pictures, files));
    if (IsWellFormedFragment(body))
        return body;
    return XmlEscape(html);
}
