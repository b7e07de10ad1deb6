// Where a buddy's row goes among the rows of its group, and which buddies
// the list shows at all. Kept apart from the window so the rules can be
// checked on plain values.
#pragma once

#include "BuddyPresence.h"

#include <string>
#include <vector>

// What the order of a buddy row depends on.
struct BuddySortKey {
    long state = 0;           // presence as the list sorts it
    std::wstring key;         // alias or display name
    long sdkIndex = -1;       // index in its group of the AIM layer
};

struct BuddyOrderRules {
    bool byStatus = false;
    bool byAlpha = false;
    bool offlineGroup = false; // the group the layer makes up for offline buddies
};

// The index among `rows` (the group's buddy rows in list order) before which
// `added` goes; rows.size() for the end of the group.
//  - By status: the run of rows with the buddy's state, found at the first
//    row whose state is not below it; without alphabetical order the buddy
//    goes first in that run.
//  - Alphabetically: by key, ignoring case, after equal keys, within that run
//    (or the whole group).
//  - Neither: the layer's order; always last in the offline group.
size_t BuddyInsertPosition(const std::vector<BuddySortKey>& rows, const BuddySortKey& added,
                           const BuddyOrderRules& rules);

// Presence as the list reads it: mobile buddies count as offline unless they
// are to be shown as on line.
constexpr long kStateOffline = 0;
constexpr long kStateUnknown = -1;
constexpr long kStateAvailable = 1;
constexpr long kStateIdle = 2;
constexpr long kStateAway = 3;

bool IsMobile(unsigned long flags);
// Whether the buddy shows as on line: a state other than offline or unknown,
// and not a mobile buddy while mobile buddies are not shown.
bool ShowsOnline(long state, unsigned long flags, bool showMobileBuddies);

// Case-insensitive comparison of display keys (<0, 0, >0).
int CompareDisplayKeys(const std::wstring& a, const std::wstring& b);
