// Screen names: the network compares them without regard to case or spaces
// ("Foo Bar" is "foobar"), and servers send the normalised form in some places
// (departures, stored buddy-list names) and the display form in others, so
// every comparison goes through these functions.
#pragma once

#include <string>
#include <string_view>

namespace oscar {

// Lower-case ASCII with the spaces removed.
std::string NormalizeScreenName(std::string_view name);
bool SameScreenName(std::string_view a, std::string_view b);

// An AIM name as the network accepts it: 3 to 16 characters including
// spaces, letters, digits and spaces only, starting with a letter, no
// trailing space. (All-digit ICQ numbers are not accepted here.)
bool IsValidAimScreenName(std::string_view name);

} // namespace oscar
