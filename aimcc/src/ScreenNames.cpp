#include "ScreenNames.h"

#include <windows.h>

namespace AIMCC {

std::wstring NormalizeScreenName(std::wstring_view name)
{
    std::wstring out;
    out.reserve(name.size());
    for (wchar_t c : name) {
        if (c != L' ')
            out.push_back(c);
    }
    // The invariant case mapping, not the user's locale: the same name must
    // compare the same on every machine.
    if (!out.empty()) {
        int size = static_cast<int>(out.size());
        std::wstring lower(out.size(), L'\0');
        if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, out.data(), size, lower.data(), size, nullptr,
                          nullptr, 0) == size)
            return lower;
    }
    return out;
}

int CompareScreenNames(std::wstring_view a, std::wstring_view b)
{
    return NormalizeScreenName(a).compare(NormalizeScreenName(b));
}

} // namespace AIMCC
