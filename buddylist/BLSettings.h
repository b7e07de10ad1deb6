// The buddy list's settings: the switches and values of "Settings.BL", read
// from the account's own section and, for keys it lacks, from the plain
// section; stored values out of range are corrected in memory only.
#pragma once

#include "ColsFonts.h"

#include <windows.h>

#include <string>
#include <vector>

// "AutoAdjustHeight": whether the main window follows the list's height,
// which edge stays put (0 top, 1 bottom) and how tall it may grow, in
// percent of the monitor's work area.
struct BLAutoHeight {
    bool enabled = false;
    int anchor = 0;
    int maxPercent = 100;
};

// A stored record of three 32-bit integers as the window may use it: any
// other length means off; a percentage below the smallest useful window or
// above the work area is pulled back into range, an unknown anchor is the
// top edge.
BLAutoHeight ParseAutoHeight(const std::vector<BYTE>& stored);
constexpr int kAutoHeightMinPercent = 20;

struct BLSettings {
    bool sortAlpha = false;
    bool sortStatus = false;
    bool showAlias = false;
    bool showPMsg = false;
    bool showBuddyIcons = false;
    bool showMyBuddyIcon = false;
    bool showFeedIndicator = false;
    bool showMobileBuddies = false;
    bool textDropShadow = false;
    bool useThemeCols = false;
    bool useThemeFonts = false;
    bool useThemeImage = false;
    bool snapToScreen = false;
    bool onTop = false;
    bool hideTaskbarBtn = false;
    int buddyIconSize = 16;
    int buddyIconPos = 0;   // 0 left, 1 right
    int idPanelStyle = 0;   // 0 header rows, 1 panel above, 2 below
    int tbarPos = 0;        // 0 none, 1 above, 2 below
    int autoHide = 0;       // 0-3
    std::wstring theme;
    BLAutoHeight autoHeight;
};

// Buddy icons are drawn between these edges.
constexpr int kMinBuddyIconSize = 8;
constexpr int kMaxBuddyIconSize = 96;

extern const wchar_t kBuddyListSettings[]; // "Settings.BL"

// Reads every value for the account (`screenName` empty: the plain section).
BLSettings ReadBLSettings(const std::wstring& screenName);
// The account's stored "ColsFonts" over the defaults.
void ReadColsFonts(const std::wstring& screenName, BLColsFonts& record);
// A binary value from the account's section when it is there, else from the
// plain section.
std::vector<BYTE> ReadAccountBinary(const std::wstring& screenName, const wchar_t* key);

// Which offline buddies the list shows, for the whole process: set when the
// first account comes on line from its layer's preferences.
enum class HideMode { None = 0, OfflineGroup = 1, OfflineBuddies = 2 };
struct BLHideState {
    HideMode mode = HideMode::None;
    bool offlineShown = false;
};
// The state the two preferences of the layer give: offline buddies listed in
// the offline group, or else kept in their groups, or neither.
BLHideState HideStateFromPreferences(bool hideOfflineGroup, bool hideOfflineBuddies);
BLHideState& HideState();
