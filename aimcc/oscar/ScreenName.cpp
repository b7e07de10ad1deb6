#include "ScreenName.h"

namespace oscar {

namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

std::string NormalizeScreenName(std::string_view name)
{
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        if (c == ' ')
            continue;
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        out += c;
    }
    return out;
}

bool SameScreenName(std::string_view a, std::string_view b)
{
    return NormalizeScreenName(a) == NormalizeScreenName(b);
}

bool IsValidAimScreenName(std::string_view name)
{
    if (name.size() > 16 || name.empty() || !IsAsciiLetter(name.front()) || name.back() == ' ')
        return false;
    int letters = 0;
    for (char c : name) {
        if (IsAsciiLetter(c) || IsAsciiDigit(c))
            ++letters;
        else if (c != ' ')
            return false;
    }
    return letters >= 3;
}

} // namespace oscar
