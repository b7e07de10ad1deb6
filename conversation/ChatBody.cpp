#include "ChatBody.h"

#include "HtmlSanitizer.h"
#include "MessageTemplate.h"

#include <cwctype>
#include <initializer_list>

namespace {

// A decoded smiley text longer than this is no shortcut.
constexpr size_t kMaxSmileyText = 64;

wchar_t Lower(wchar_t c)
{
    return static_cast<wchar_t>(towlower(c));
}

bool StartsWithNoCase(const std::wstring& text, size_t at, const wchar_t* prefix)
{
    for (size_t i = 0; prefix[i]; ++i) {
        if (at + i >= text.size() || Lower(text[at + i]) != Lower(prefix[i]))
            return false;
    }
    return true;
}

size_t FindNoCase(const std::wstring& text, const wchar_t* what, size_t from, size_t end)
{
    for (size_t at = from; at < end && at < text.size(); ++at) {
        if (StartsWithNoCase(text, at, what))
            return at;
    }
    return std::wstring::npos;
}

// The ">" that ends the tag opened at `open`, skipping quoted values.
size_t TagEnd(const std::wstring& text, size_t open)
{
    wchar_t quote = 0;
    for (size_t at = open + 1; at < text.size(); ++at) {
        const wchar_t c = text[at];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == L'"' || c == L'\'') {
            quote = c;
        } else if (c == L'>') {
            return at;
        }
    }
    return std::wstring::npos;
}

// The element name of the tag at `open` ("<name" or "</name"), lower case.
std::wstring TagName(const std::wstring& text, size_t open, bool* closing)
{
    size_t at = open + 1;
    *closing = at < text.size() && text[at] == L'/';
    if (*closing)
        ++at;
    std::wstring name;
    while (at < text.size() && iswalnum(text[at]))
        name += Lower(text[at++]);
    return name;
}

// Drops every start and end tag of the named elements, keeping what lies
// between them.
std::wstring RemoveTags(const std::wstring& html, std::initializer_list<const wchar_t*> names)
{
    std::wstring out;
    out.reserve(html.size());
    size_t at = 0;
    while (at < html.size()) {
        const size_t open = html.find(L'<', at);
        if (open == std::wstring::npos) {
            out.append(html, at, std::wstring::npos);
            break;
        }
        out.append(html, at, open - at);
        bool closing = false;
        const std::wstring name = TagName(html, open, &closing);
        const size_t end = TagEnd(html, open);
        bool drop = false;
        for (const wchar_t* candidate : names)
            drop = drop || name == candidate;
        if (drop && end != std::wstring::npos) {
            at = end + 1;
        } else {
            out += L'<';
            at = open + 1;
        }
    }
    return out;
}

// The value of attribute `name` inside the tag text [open, end).
std::optional<std::wstring> AttributeValue(const std::wstring& text, size_t open, size_t end, const wchar_t* name)
{
    const std::wstring needle = std::wstring(name) + L"=";
    for (size_t at = FindNoCase(text, needle.c_str(), open, end); at != std::wstring::npos;
         at = FindNoCase(text, needle.c_str(), at + 1, end)) {
        // Only a whole attribute name: "xbgcolor=" is not "bgcolor=".
        if (at > open && !iswspace(text[at - 1]))
            continue;
        size_t valueStart = at + needle.size();
        if (valueStart >= end)
            return std::wstring();
        const wchar_t quote = text[valueStart];
        if (quote == L'"' || quote == L'\'') {
            const size_t close = text.find(quote, valueStart + 1);
            if (close == std::wstring::npos || close > end)
                return std::nullopt;
            return text.substr(valueStart + 1, close - valueStart - 1);
        }
        size_t valueEnd = valueStart;
        while (valueEnd < end && !iswspace(text[valueEnd]) && text[valueEnd] != L'>')
            ++valueEnd;
        return text.substr(valueStart, valueEnd - valueStart);
    }
    return std::nullopt;
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

// The characters hex byte pairs spell; an odd leading digit is a byte alone.
std::optional<std::wstring> DecodeHexText(const std::wstring& hex)
{
    if (hex.empty() || hex.size() > 2 * kMaxSmileyText)
        return std::nullopt;
    std::wstring text;
    size_t at = 0;
    if (hex.size() % 2 == 1) {
        const int digit = HexDigit(hex[0]);
        if (digit < 0)
            return std::nullopt;
        text += static_cast<wchar_t>(digit);
        at = 1;
    }
    for (; at + 1 < hex.size(); at += 2) {
        const int high = HexDigit(hex[at]);
        const int low = HexDigit(hex[at + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        text += static_cast<wchar_t>(high * 16 + low);
    }
    return text;
}

std::optional<std::wstring> SmileyTextOfAddress(std::wstring address)
{
    if (FindNoCase(address, L"aolbart:/1024", 0, address.size()) == std::wstring::npos)
        return std::nullopt;
    while (!address.empty() && address.back() == L'/')
        address.pop_back();
    const size_t slash = address.rfind(L'/');
    if (slash == std::wstring::npos)
        return std::nullopt;
    return DecodeHexText(address.substr(slash + 1));
}

bool EqualNoCase(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

} // namespace

std::wstring StripParagraphTags(const std::wstring& html)
{
    return RemoveTags(html, {L"div", L"p"});
}

bool IsAcceptableBackgroundColor(const std::wstring& color)
{
    if (color.size() == 7 && color[0] == L'#') {
        for (size_t i = 1; i < color.size(); ++i) {
            if (HexDigit(color[i]) < 0)
                return false;
        }
        return true;
    }
    if (color.empty() || color.size() > 32)
        return false;
    for (wchar_t c : color) {
        if (!((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z')))
            return false;
    }
    return true;
}

std::optional<std::wstring> BodyBackgroundColor(const std::wstring& html)
{
    for (size_t open = FindNoCase(html, L"<body", 0, html.size()); open != std::wstring::npos;
         open = FindNoCase(html, L"<body", open + 1, html.size())) {
        const size_t afterName = open + 5;
        if (afterName < html.size() && iswalnum(html[afterName]))
            continue;
        const size_t end = TagEnd(html, open);
        if (end == std::wstring::npos)
            return std::nullopt;
        return AttributeValue(html, open, end, L"bgcolor");
    }
    return std::nullopt;
}

std::wstring RemoveFontTags(const std::wstring& html)
{
    return RemoveTags(html, {L"font"});
}

std::wstring SmileyPicturesAsText(const std::wstring& html)
{
    std::wstring out;
    size_t at = 0;
    for (;;) {
        const size_t open = FindNoCase(html, L"<img", at, html.size());
        if (open == std::wstring::npos)
            break;
        const size_t end = TagEnd(html, open);
        if (end == std::wstring::npos)
            break;
        out.append(html, at, open - at);
        const std::optional<std::wstring> src = AttributeValue(html, open, end, L"src");
        const std::optional<std::wstring> text = src ? SmileyTextOfAddress(*src) : std::nullopt;
        if (text)
            out += EscapeHtml(*text);
        else
            out.append(html, open, end + 1 - open);
        at = end + 1;
    }
    out.append(html, at, std::wstring::npos);
    return out;
}

MessageBody BuildMessageBody(const MessageBodyInput& input)
{
    std::optional<std::wstring> background = BodyBackgroundColor(input.html);
    if (background && !IsAcceptableBackgroundColor(*background))
        background.reset();
    const std::wstring raw = input.smileysAsText ? SmileyPicturesAsText(input.html) : input.html;
    const std::wstring clean = SanitizeMessageHtml(raw);
    const std::wstring id = EscapeHtml(input.id);

    MessageBody result;
    result.plainBody = L"<div id=\"" + id + L"\">" + RemoveFontTags(clean) + L"</div>";
    if (background) {
        const std::wstring shown = EqualNoCase(*background, input.viewBackground) ? L"transparent" : *background;
        result.body = L"<div id=\"" + id + L"\" style=\"background-color: " + shown + L"\">" + clean + L"</div>";
    } else {
        result.body = L"<div id=\"" + id + L"\">" + clean + L"</div>";
    }
    return result;
}
