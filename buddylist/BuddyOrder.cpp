#include "BuddyOrder.h"

#include <windows.h>

int CompareDisplayKeys(const std::wstring& a, const std::wstring& b)
{
    const int result = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()),
                                      b.c_str(), static_cast<int>(b.size()));
    if (result == 0)
        return _wcsicmp(a.c_str(), b.c_str());
    return result - CSTR_EQUAL;
}

size_t BuddyInsertPosition(const std::vector<BuddySortKey>& rows, const BuddySortKey& added,
                           const BuddyOrderRules& rules)
{
    size_t begin = 0;
    size_t end = rows.size();
    if (rules.byStatus) {
        begin = end;
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].state >= added.state) {
                begin = i;
                break;
            }
        }
        end = begin;
        while (end < rows.size() && rows[end].state == added.state)
            ++end;
        if (!rules.byAlpha)
            return begin;
    }
    if (rules.byAlpha) {
        // Upper bound: after every row whose key is not greater.
        size_t low = begin;
        size_t high = end;
        while (low < high) {
            const size_t mid = low + (high - low) / 2;
            if (CompareDisplayKeys(rows[mid].key, added.key) <= 0)
                low = mid + 1;
            else
                high = mid;
        }
        return low;
    }
    if (rules.offlineGroup || added.sdkIndex < 0)
        return rows.size();
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].sdkIndex > added.sdkIndex)
            return i;
    }
    return rows.size();
}

bool IsMobile(unsigned long flags)
{
    return (flags & kMobileFlags) != 0;
}

bool ShowsOnline(long state, unsigned long flags, bool showMobileBuddies)
{
    if (state == kStateOffline || state == kStateUnknown)
        return false;
    return showMobileBuddies || !IsMobile(flags);
}
