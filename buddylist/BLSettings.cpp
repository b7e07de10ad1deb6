#include "BLSettings.h"

#include "AccountSettings.h"
#include "AppState.h"

#include <algorithm>
#include <cstring>

const wchar_t kBuddyListSettings[] = L"Settings.BL";

namespace {

bool Switch(const std::wstring& name, const wchar_t* key)
{
    return ReadAccountBool(Settings(), kBuddyListSettings, name, key, false);
}

int Value(const std::wstring& name, const wchar_t* key, int def)
{
    return ReadAccountInt(Settings(), kBuddyListSettings, name, key, def);
}

// Values outside [low, high] become `fallback`.
int InRangeOr(int value, int low, int high, int fallback)
{
    return value < low || value > high ? fallback : value;
}

} // namespace

BLAutoHeight ParseAutoHeight(const std::vector<BYTE>& stored)
{
    BLAutoHeight result;
    INT32 record[3] = {};
    if (stored.size() != sizeof(record))
        return result;
    std::memcpy(record, stored.data(), sizeof(record));
    result.enabled = record[0] != 0;
    result.anchor = record[1] == 1 ? 1 : 0;
    result.maxPercent = std::clamp<int>(record[2], kAutoHeightMinPercent, 100);
    return result;
}

std::vector<BYTE> ReadAccountBinary(const std::wstring& screenName, const wchar_t* key)
{
    if (!screenName.empty()) {
        const std::wstring section = AccountSection(kBuddyListSettings, screenName);
        if (Settings().KeyExists(section.c_str(), key))
            return Settings().GetBinary(section.c_str(), key);
    }
    return Settings().GetBinary(kBuddyListSettings, key);
}

BLSettings ReadBLSettings(const std::wstring& name)
{
    BLSettings s;
    s.sortAlpha = Switch(name, L"SortAlpha");
    s.sortStatus = Switch(name, L"SortStatus");
    s.showAlias = Switch(name, L"ShowAlias");
    s.showPMsg = Switch(name, L"ShowPMsg");
    s.showBuddyIcons = Switch(name, L"ShowBuddyIcons");
    s.showMyBuddyIcon = Switch(name, L"ShowMyBuddyIcon");
    s.showFeedIndicator = Switch(name, L"ShowFeedIndicator");
    s.showMobileBuddies = Switch(name, L"ShowMobileBuddies");
    s.textDropShadow = Switch(name, L"TextDropShadow");
    s.useThemeCols = Switch(name, L"UseThemeCols");
    s.useThemeFonts = Switch(name, L"UseThemeFonts");
    s.useThemeImage = Switch(name, L"UseThemeImage");
    s.snapToScreen = Switch(name, L"SnapToScreen");
    s.onTop = Switch(name, L"OnTop");
    s.hideTaskbarBtn = Switch(name, L"HideTaskbarBtn");
    s.buddyIconSize = std::clamp(Value(name, L"BuddyIconSize", 16), kMinBuddyIconSize, kMaxBuddyIconSize);
    s.buddyIconPos = InRangeOr(Value(name, L"BuddyIconPos", 0), 0, 1, 0);
    s.idPanelStyle = InRangeOr(Value(name, L"IDPanelStyle", 0), 0, 2, 0);
    s.tbarPos = InRangeOr(Value(name, L"TBarPos", 0), 0, 2, 0);
    s.autoHide = InRangeOr(Value(name, L"AutoHide", 0), 0, 3, 0);
    s.theme = ReadAccountString(Settings(), kBuddyListSettings, name, L"Theme", L"");
    if (s.theme.size() > MAX_PATH)
        s.theme.clear();
    s.autoHeight = ParseAutoHeight(ReadAccountBinary(name, L"AutoAdjustHeight"));
    return s;
}

void ReadColsFonts(const std::wstring& screenName, BLColsFonts& record)
{
    LoadColsFonts(ReadAccountBinary(screenName, L"ColsFonts"), record);
}

BLHideState HideStateFromPreferences(bool hideOfflineGroup, bool hideOfflineBuddies)
{
    BLHideState state;
    if (!hideOfflineGroup) {
        state.mode = HideMode::OfflineGroup;
        state.offlineShown = true;
    } else if (!hideOfflineBuddies) {
        state.mode = HideMode::OfflineBuddies;
        state.offlineShown = true;
    }
    return state;
}

BLHideState& HideState()
{
    static BLHideState state;
    return state;
}
