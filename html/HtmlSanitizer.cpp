#include "HtmlSanitizer.h"

#include "StringConv.h"

#include <gumbo.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

namespace {

// Messages are short; anything longer is cut before parsing rather than
// letting a hostile peer make the parser chew on megabytes.
constexpr size_t kMaxInputBytes = 64 * 1024;
// The parser's time grows with the square of the nesting depth (it searches
// the open elements for every tag), so a body of ten thousand nested tags
// would hold the GUI thread for seconds. No real message has this many; one
// that has is shown as text, markup and all.
constexpr size_t kMaxTags = 2048;
// Deeper elements still give their text, but no more tags are written.
constexpr size_t kMaxTagDepth = 64;

enum class Treatment { Keep, Unwrap, Drop };

Treatment TreatmentOf(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_A:
    case GUMBO_TAG_B:
    case GUMBO_TAG_BIG:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_BR:
    case GUMBO_TAG_CENTER:
    case GUMBO_TAG_CODE:
    case GUMBO_TAG_DEL:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_EM:
    case GUMBO_TAG_FONT:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_I:
    case GUMBO_TAG_INS:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_P:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_S:
    case GUMBO_TAG_SMALL:
    case GUMBO_TAG_SPAN:
    case GUMBO_TAG_STRIKE:
    case GUMBO_TAG_STRONG:
    case GUMBO_TAG_SUB:
    case GUMBO_TAG_SUP:
    case GUMBO_TAG_TT:
    case GUMBO_TAG_U:
    case GUMBO_TAG_UL:
        return Treatment::Keep;
    // Active content, things that load or submit, and text that is not
    // meant to be read: gone with everything inside.
    case GUMBO_TAG_APPLET:
    case GUMBO_TAG_AUDIO:
    case GUMBO_TAG_BASE:
    case GUMBO_TAG_BUTTON:
    case GUMBO_TAG_CANVAS:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_FRAME:
    case GUMBO_TAG_FRAMESET:
    case GUMBO_TAG_HEAD:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_LINK:
    case GUMBO_TAG_MATH:
    case GUMBO_TAG_META:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_OPTION:
    case GUMBO_TAG_PARAM:
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_SELECT:
    case GUMBO_TAG_SOURCE:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_SVG:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_TITLE:
    case GUMBO_TAG_TRACK:
    case GUMBO_TAG_VIDEO:
    case GUMBO_TAG_XMP:
        return Treatment::Drop;
    default:
        return Treatment::Unwrap;
    }
}

bool IsVoid(GumboTag tag)
{
    return tag == GUMBO_TAG_BR || tag == GUMBO_TAG_HR;
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool AllOf(std::string_view text, const char* allowedPunctuation)
{
    return std::all_of(text.begin(), text.end(), [&](unsigned char c) {
        return std::isalnum(c) || (c != 0 && std::strchr(allowedPunctuation, c));
    });
}

bool IsColour(std::string_view value)
{
    if (value.empty() || value.size() > 20)
        return false;
    if (value[0] == '#')
        return value.size() >= 4 && value.size() <= 9
            && std::all_of(value.begin() + 1, value.end(), [](unsigned char c) { return std::isxdigit(c); });
    return std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isalpha(c); });
}

bool IsFontSize(std::string_view value)
{
    if (value.size() == 2 && (value[0] == '+' || value[0] == '-'))
        value.remove_prefix(1);
    return value.size() == 1 && value[0] >= '0' && value[0] <= '7';
}

bool IsSmallNumber(std::string_view value)
{
    return !value.empty() && value.size() <= 3
        && std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isdigit(c); });
}

// Only addresses the client knows how to open safely: the system browser's
// schemes, mail, and the client's own aim: links. Anything else, relative
// addresses included, loses its link but keeps its text.
bool IsAllowedLink(std::string_view href)
{
    // Browsers ignore control characters and spaces inside a scheme
    // ("java\tscript:"): judge the address the way they will read it.
    std::string compact;
    for (unsigned char c : href) {
        if (c > ' ')
            compact += static_cast<char>(std::tolower(c));
    }
    for (const char* scheme : {"http://", "https://", "ftp://", "mailto:", "aim:"}) {
        if (compact.compare(0, std::strlen(scheme), scheme) == 0)
            return compact.size() > std::strlen(scheme);
    }
    return false;
}

// A style attribute keeps only plain colour, font and text declarations
// whose values cannot call anything: no parentheses, escapes, comments or
// further declarations hidden inside.
std::string FilterStyle(std::string_view style)
{
    static const char* const kProperties[] = {
        "color", "background-color", "font-family", "font-size", "font-weight", "font-style", "text-decoration",
        "text-align",
    };
    std::string kept;
    size_t start = 0;
    while (start <= style.size()) {
        size_t end = style.find(';', start);
        if (end == std::string_view::npos)
            end = style.size();
        const std::string_view declaration = style.substr(start, end - start);
        start = end + 1;
        const size_t colon = declaration.find(':');
        if (colon == std::string_view::npos)
            continue;
        auto trim = [](std::string_view text) {
            while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
                text.remove_prefix(1);
            while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
                text.remove_suffix(1);
            return text;
        };
        const std::string property = Lower(trim(declaration.substr(0, colon)));
        const std::string_view value = trim(declaration.substr(colon + 1));
        const bool known = std::any_of(std::begin(kProperties), std::end(kProperties),
                                       [&](const char* name) { return property == name; });
        if (!known || value.empty() || value.size() > 64 || !AllOf(value, "#%., '\"-"))
            continue;
        kept += property;
        kept += ": ";
        kept += value;
        kept += "; ";
    }
    if (!kept.empty())
        kept.resize(kept.size() - 2);
    return kept;
}

// The attribute's value as it may be written, or nothing when it may not.
bool FilterAttribute(GumboTag tag, const std::string& name, std::string_view value, std::string& out)
{
    if (name == "dir") {
        const std::string lower = Lower(value);
        if (lower != "ltr" && lower != "rtl")
            return false;
        out = lower;
        return true;
    }
    switch (tag) {
    case GUMBO_TAG_A:
        if (name == "href" && IsAllowedLink(value)) {
            out = value;
            return true;
        }
        if (name == "title" && value.size() <= 256) {
            out = value;
            return true;
        }
        return false;
    case GUMBO_TAG_FONT:
        if ((name == "color" || name == "back") && IsColour(value)) {
            out = value;
            return true;
        }
        if (name == "face" && value.size() <= 64 && AllOf(value, " ,-_'")) {
            out = value;
            return true;
        }
        if (name == "size" && IsFontSize(value)) {
            out = value;
            return true;
        }
        if ((name == "ptsize" || name == "absz") && IsSmallNumber(value)) {
            out = value;
            return true;
        }
        return false;
    case GUMBO_TAG_P:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_SPAN:
        if (name == "align" && tag != GUMBO_TAG_SPAN) {
            const std::string lower = Lower(value);
            if (lower != "left" && lower != "right" && lower != "center" && lower != "justify")
                return false;
            out = lower;
            return true;
        }
        if (name == "style") {
            out = FilterStyle(value);
            return !out.empty();
        }
        return false;
    default:
        return false;
    }
}

void AppendEscaped(std::string& out, std::string_view text, bool attribute)
{
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"':
            if (attribute)
                out += "&quot;";
            else
                out += c;
            break;
        case '\0': break;
        default: out += c; break;
        }
    }
}

// Writes the start tag; false for an anchor that has no address left, which
// is then unwrapped instead.
bool AppendStartTag(std::string& out, const GumboElement& element)
{
    const char* name = gumbo_normalized_tagname(element.tag);
    std::string attributes;
    bool hasHref = false;
    for (unsigned i = 0; i < element.attributes.length; ++i) {
        const auto* attribute = static_cast<const GumboAttribute*>(element.attributes.data[i]);
        const std::string attributeName = Lower(attribute->name);
        std::string value;
        if (!FilterAttribute(element.tag, attributeName, attribute->value, value))
            continue;
        hasHref = hasHref || attributeName == "href";
        attributes += ' ';
        attributes += attributeName;
        attributes += "=\"";
        AppendEscaped(attributes, value, true);
        attributes += '"';
    }
    if (element.tag == GUMBO_TAG_A && !hasHref)
        return false;
    out += '<';
    out += name;
    out += attributes;
    out += '>';
    return true;
}

const GumboNode* FindBody(const GumboNode* document)
{
    for (const GumboNode* parent = document; parent;) {
        const GumboVector& children =
            parent->type == GUMBO_NODE_DOCUMENT ? parent->v.document.children : parent->v.element.children;
        const GumboNode* next = nullptr;
        for (unsigned i = 0; i < children.length; ++i) {
            const auto* child = static_cast<const GumboNode*>(children.data[i]);
            if (child->type != GUMBO_NODE_ELEMENT)
                continue;
            if (child->v.element.tag == GUMBO_TAG_BODY)
                return child;
            if (child->v.element.tag == GUMBO_TAG_HTML)
                next = child;
        }
        parent = next;
    }
    return nullptr;
}

// Walks the body with a stack of its own, so a message of ten thousand
// nested tags cannot exhaust the thread's stack.
std::string Serialize(const GumboNode* body)
{
    struct Frame {
        const GumboVector* children;
        unsigned next;
        const char* closeTag;
    };
    std::string out;
    std::vector<Frame> stack{{&body->v.element.children, 0, nullptr}};
    size_t openTags = 0;
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next >= frame.children->length) {
            if (frame.closeTag) {
                out += "</";
                out += frame.closeTag;
                out += '>';
                --openTags;
            }
            stack.pop_back();
            continue;
        }
        const auto* node = static_cast<const GumboNode*>(frame.children->data[frame.next++]);
        switch (node->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA:
            AppendEscaped(out, node->v.text.text, false);
            break;
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE: {
            const GumboElement& element = node->v.element;
            const Treatment treatment = TreatmentOf(element.tag);
            if (treatment == Treatment::Drop)
                break;
            const char* closeTag = nullptr;
            if (treatment == Treatment::Keep && openTags < kMaxTagDepth && AppendStartTag(out, element)) {
                if (IsVoid(element.tag))
                    break;
                closeTag = gumbo_normalized_tagname(element.tag);
                ++openTags;
            }
            stack.push_back({&element.children, 0, closeTag});
            break;
        }
        default:
            break;
        }
    }
    return out;
}

} // namespace

std::string SanitizeMessageHtml(std::string_view html)
{
    if (html.size() > kMaxInputBytes)
        html = html.substr(0, kMaxInputBytes);
    if (static_cast<size_t>(std::count(html.begin(), html.end(), '<')) > kMaxTags) {
        std::string text;
        AppendEscaped(text, html, false);
        return text;
    }
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size());
    if (!output)
        return {};
    const GumboNode* body = FindBody(output->document);
    std::string clean = body ? Serialize(body) : std::string();
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    return clean;
}

std::wstring SanitizeMessageHtml(std::wstring_view html)
{
    return Utf8ToWide(SanitizeMessageHtml(WideToUtf8(html)));
}
