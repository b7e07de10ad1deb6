// The text of a time span ("1 hour, 2 minutes") from language templates.
#pragma once

#include <string>

// Appends the pieces for `seconds` to `text` (nothing for 0 or a negative
// span) and returns the text's length afterwards. Long style spells units
// out; the comma flag separates pieces with ", " instead of a space.
size_t FormatDuration(int seconds, std::wstring& text, bool longStyle, bool comma);
