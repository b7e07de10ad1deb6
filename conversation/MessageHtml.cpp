#include "MessageHtml.h"

#include "MessageTemplate.h"

#include <cwchar>
#include <cwctype>

namespace {

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix)
{
    const size_t length = wcslen(prefix);
    return text.size() >= length && _wcsnicmp(text.c_str(), prefix, length) == 0;
}

bool ContainsNoCase(const std::wstring& text, const wchar_t* part)
{
    const size_t length = wcslen(part);
    for (size_t at = 0; at + length <= text.size(); ++at) {
        if (_wcsnicmp(text.c_str() + at, part, length) == 0)
            return true;
    }
    return false;
}

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

// A value placed in a wrapper that is later filled in like a format.
std::wstring DoublePercents(const std::wstring& text)
{
    std::wstring out;
    for (wchar_t c : text) {
        out.push_back(c);
        if (c == L'%')
            out.push_back(L'%');
    }
    return out;
}

void InsertBeforeFirstClose(std::wstring& text, const std::wstring& attribute)
{
    const size_t close = text.find(L'>');
    if (close != std::wstring::npos)
        text.insert(close, attribute);
}

} // namespace

std::wstring ColorToHex(COLORREF color)
{
    wchar_t text[8] = {};
    swprintf(text, 8, L"#%02X%02X%02X", GetRValue(color), GetGValue(color), GetBValue(color));
    return text;
}

std::optional<COLORREF> ParseHexColor(const std::wstring& text)
{
    const std::wstring digits = !text.empty() && text[0] == L'#' ? text.substr(1) : text;
    if (digits.size() != 6)
        return std::nullopt;
    int parts[3] = {};
    for (int i = 0; i < 3; ++i) {
        const int high = HexDigit(digits[2 * i]);
        const int low = HexDigit(digits[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        parts[i] = high * 16 + low;
    }
    return RGB(parts[0], parts[1], parts[2]);
}

std::wstring ComposeSettings(const FontRecord& record)
{
    wchar_t numbers[96] = {};
    swprintf(numbers, 96, L"%d,%d,%d,%d,%d.%d.%d,%d.%d.%d,", record.bold ? 1 : 0, record.italic ? 1 : 0,
             record.underline ? 1 : 0, ClampFontSize(record.size), GetRValue(record.textColor),
             GetGValue(record.textColor), GetBValue(record.textColor), GetRValue(record.textBackground),
             GetGValue(record.textBackground), GetBValue(record.textBackground));
    // The face is appended, not formatted: it may hold any character.
    return numbers + record.face;
}

std::wstring SmileyHtml(const std::wstring& pictureFile, const std::wstring& shortcut)
{
    return L"<img src=\"" + EscapeHtml(pictureFile) + L"\" alt=\"" + EscapeHtml(shortcut) +
           L"\" unselectable=\"on\" contenteditable=\"false\" hSpace=\"5\" smiley=\"yes\" />";
}

bool IsAllowedLinkAddress(const std::wstring& href)
{
    // The control ignores leading blanks and control characters and any tab
    // or line break inside the scheme, so "java\tscript:" runs as well.
    std::wstring scheme;
    for (wchar_t c : href) {
        if (c <= L' ')
            continue;
        if (c == L':')
            break;
        scheme.push_back(static_cast<wchar_t>(std::towlower(c)));
    }
    return scheme != L"javascript" && scheme != L"vbscript";
}

std::optional<std::wstring> LinkHtml(const std::wstring& href, const std::wstring& text)
{
    if (href.empty() || !IsAllowedLinkAddress(href))
        return std::nullopt;
    return L"<A HREF=\"" + EscapeHtml(href) + L"\">" + EscapeHtml(text.empty() ? href : text) + L"</A>";
}

bool LooksLikeAddress(const std::wstring& word)
{
    if (word.size() < 4)
        return false;
    if (word.find(L"://") != std::wstring::npos || StartsWithNoCase(word, L"mailto:"))
        return true;
    if (StartsWithNoCase(word, L"www.") || StartsWithNoCase(word, L"ftp."))
        return word.size() > 4;
    const size_t at = word.find(L'@');
    return at != std::wstring::npos && at > 0 && word.find(L'.', at) != std::wstring::npos &&
           word.find(L':') == std::wstring::npos;
}

std::wstring AutoLinkHref(const std::wstring& word)
{
    const size_t at = word.find(L'@');
    if (at != std::wstring::npos && at > 0 && word.find(L':') == std::wstring::npos)
        return L"mailto:" + word;
    if (word.find(L"://") != std::wstring::npos)
        return word;
    if (ContainsNoCase(word, L"ftp."))
        return L"ftp://" + word;
    if (word.find(L':') != std::wstring::npos && StartsWithNoCase(word, L"mailto:"))
        return word;
    return L"http://" + word;
}

bool IsAimLinkWord(const std::wstring& word)
{
    return ContainsNoCase(word, L"aim:");
}

std::wstring WordBeforeCaret(const std::wstring& text, size_t caret)
{
    if (caret > text.size())
        caret = text.size();
    size_t start = caret;
    while (start > 0 && !std::iswspace(text[start - 1]) && text[start - 1] != 0xA0)
        --start;
    return text.substr(start, caret - start);
}

std::wstring UnescapeAnchorAmpersands(const std::wstring& html)
{
    std::wstring out;
    size_t at = 0;
    while (at < html.size()) {
        const size_t open = html.find(L'<', at);
        if (open == std::wstring::npos) {
            out.append(html, at, std::wstring::npos);
            break;
        }
        out.append(html, at, open - at);
        const bool anchor = open + 2 <= html.size() && (html[open + 1] == L'a' || html[open + 1] == L'A') &&
                            (open + 2 == html.size() || std::iswspace(html[open + 2]) || html[open + 2] == L'>');
        size_t close = html.find(L'>', open);
        if (close == std::wstring::npos)
            close = html.size() - 1;
        std::wstring tag = html.substr(open, close - open + 1);
        if (anchor) {
            for (size_t amp = tag.find(L"&amp;"); amp != std::wstring::npos; amp = tag.find(L"&amp;", amp + 1))
                tag.replace(amp, 5, L"&");
        }
        out += tag;
        at = close + 1;
    }
    return out;
}

std::wstring FontWrapper(const CurrentFormat& format)
{
    std::wstring wrapper = L"|";
    if (format.bold)
        wrapper = L"<b>" + wrapper + L"</b>";
    if (format.italic)
        wrapper = L"<i>" + wrapper + L"</i>";
    if (format.underline)
        wrapper = L"<u>" + wrapper + L"</u>";
    wrapper = L"<font>" + wrapper + L"</font>";
    if (format.face)
        wrapper.insert(5, L" face=\"" + DoublePercents(EscapeHtml(*format.face)) + L"\"");
    if (format.size)
        InsertBeforeFirstClose(wrapper, L" size=\"" + std::to_wstring(ClampFontSize(*format.size)) + L"\"");
    if (format.color)
        InsertBeforeFirstClose(wrapper, L" color=\"" + ColorToHex(*format.color) + L"\"");
    if (format.background)
        InsertBeforeFirstClose(wrapper, L" bgcolor=\"" + ColorToHex(*format.background) + L"\"");
    const size_t bar = wrapper.find(L'|');
    wrapper.replace(bar, 1, L"%s");
    return wrapper;
}

const wchar_t* FontSizeName(int size)
{
    switch (size) {
    case 1: return L"xx-small";
    case 2: return L"x-small";
    case 4: return L"medium";
    case 5: return L"large";
    case 6: return L"x-large";
    case 7: return L"xx-large";
    default: return L"small";
    }
}

std::wstring SpanWrapper(const CurrentFormat& format)
{
    std::wstring style;
    if (format.bold)
        style += L"font-weight: bold;";
    if (format.italic)
        style += L" font-style: italic;";
    if (format.underline)
        style += L" text-decoration: underline;";
    if (format.face)
        style += L" font-family: " + DoublePercents(EscapeHtml(*format.face)) + L";";
    if (format.size)
        style += std::wstring(L" font-size: ") + FontSizeName(*format.size) + L";";
    if (format.color)
        style += L" color: " + ColorToHex(*format.color) + L";";
    if (format.background)
        style += L" background-color: " + ColorToHex(*format.background) + L";";
    return L"<span style='" + style + L"'>%s</span>";
}

std::wstring FillWrapper(const std::wstring& wrapper, const std::wstring& content)
{
    std::wstring out;
    bool filled = false;
    for (size_t i = 0; i < wrapper.size(); ++i) {
        if (wrapper[i] == L'%' && i + 1 < wrapper.size()) {
            if (wrapper[i + 1] == L'%') {
                out.push_back(L'%');
                ++i;
                continue;
            }
            if (wrapper[i + 1] == L's' && !filled) {
                out += content;
                filled = true;
                ++i;
                continue;
            }
        }
        out.push_back(wrapper[i]);
    }
    return out;
}

UINT SmileyMenuLastId(size_t smileyCount)
{
    const size_t columns = (smileyCount + 3) / 4;
    return static_cast<UINT>(columns * 5);
}

bool IsSmileyMenuLabel(UINT id)
{
    return id > 0 && id % 5 == 0;
}

bool StartsSmileyMenuColumn(UINT id)
{
    return id > 0 && (id - 1) % 5 == 0;
}

std::optional<size_t> SmileyOfMenuId(UINT id, size_t smileyCount)
{
    if (id == 0 || IsSmileyMenuLabel(id) || id > SmileyMenuLastId(smileyCount))
        return std::nullopt;
    const size_t index = id - id / 5 - 1;
    if (index >= smileyCount)
        return std::nullopt;
    return index;
}

bool IsFormatButtonShown(DWORD mask, int button)
{
    if (mask == 0)
        return true;
    if (button < 1 || button > 15)
        return false;
    return (mask & (0x10u << (button - 1))) != 0;
}
