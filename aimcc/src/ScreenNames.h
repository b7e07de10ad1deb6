// Screen names compare without regard to case or spaces: "Foo Bar" and
// "foobar" are one account. The layer keys its users and IM sessions by the
// normalised form and ordinal 144 compares through it.
#pragma once

#include <string>
#include <string_view>

namespace AIMCC {

// Lower case, spaces removed.
std::wstring NormalizeScreenName(std::wstring_view name);
// <0, 0, >0 by the normalised forms.
int CompareScreenNames(std::wstring_view a, std::wstring_view b);
inline bool SameScreenName(std::wstring_view a, std::wstring_view b)
{
    return CompareScreenNames(a, b) == 0;
}

} // namespace AIMCC
