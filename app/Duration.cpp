#include "Duration.h"

#include "LangStrings.h"

namespace {

struct DurationUnit {
    UINT longOne;
    UINT longMany;
    UINT shortForm;
};

// Years, months, weeks, days, hours, minutes, seconds.
constexpr DurationUnit kUnits[] = {
    {259, 260, 509}, {261, 262, 510}, {263, 264, 511}, {265, 266, 512},
    {267, 268, 513}, {269, 270, 514}, {271, 272, 515},
};

} // namespace

size_t FormatDuration(int seconds, std::wstring& text, bool longStyle, bool comma)
{
    if (seconds <= 0)
        return text.size();
    // Each part is computed on its own, so they do not add up to a calendar:
    // a month is 28 days but a year 365.
    const int days = seconds / 86400;
    const int parts[] = {
        days / 365, (days / 28) % 12, (days / 7) % 4, days % 7,
        (seconds / 3600) % 24, (seconds / 60) % 60, seconds % 60,
    };
    bool first = true;
    for (size_t i = 0; i < ARRAYSIZE(parts); ++i) {
        if (parts[i] == 0)
            continue;
        if (!first)
            text += comma ? L", " : L" ";
        first = false;
        const UINT id = !longStyle ? kUnits[i].shortForm : parts[i] == 1 ? kUnits[i].longOne : kUnits[i].longMany;
        text += FormatLangString(id, {std::to_wstring(parts[i])});
    }
    return text.size();
}
