#include "PreferenceDefaults.h"

#include <windows.h>

namespace AIMCC {

namespace {

struct DefaultEntry {
    const wchar_t* name;    // a name ending in "." covers every name it begins
    const wchar_t* value;
};

// Booleans are "-1"/"0" and numbers decimal text, as the hook stores them.
const DefaultEntry kDefaults[] = {
    {L"aimcc.connect.host.address", kDefaultHostAddress},
    {L"aimcc.connect.host.port", L"5190"},
    {L"aimcc.connect.autoReconnect", L"-1"},
    {L"aimcc.connect.autoReconnectTimeout", L"2147483647"},
    {L"aimcc.connect.proxy.enabled", L"0"},
    {L"aimcc.connect.proxy.address", L""},
    {L"aimcc.connect.proxy.port", L"0"},
    {L"aimcc.connect.proxy.protocol", L"0"},
    {L"aimcc.connect.proxy.username", L""},
    {L"aimcc.connect.proxy.password", L""},
    {L"aimcc.buddyList.hideOfflineGroup", L"0"},
    {L"aimcc.buddyList.hideOfflineBuddies", L"0"},
    {L"aimcc.buddyList.expanded.", L"-1"},
    {L"aimcc.privacy.mode", L"1"},
    {L"aimcc.privacy.discloseIdleTime", L"-1"},
    {L"aimcc.privacy.discloseTypingStatus", L"-1"},
    {L"aimcc.privacy.discloseWireless", L"-1"},
    {L"aimcc.privacy.discloseBuddyFeed", L"0"},
    {L"aimcc.privacy.disclosePluginsToBuddyFeed", L"0"},
    {L"aimcc.away.autoRespond", L"-1"},
    {L"aimcc.im.showTimeStamps", L"0"},
    {L"aimcc.im.permissions.allowImStorage", L"0"},
    {L"aimcc.im.standard.storedImAware", L"0"},
    {L"aimcc.im.direct.receiveRtim", L"0"},
    // 0 accept, 1 ask, 2 refuse.
    {L"aimcc.im.standard.permissions.buddies", L"0"},
    {L"aimcc.im.standard.permissions.nonBuddies", L"0"},
    {L"aimcc.im.direct.permissions.buddies", L"1"},
    {L"aimcc.im.direct.permissions.nonBuddies", L"1"},
    {L"aimcc.im.chat.permissions.buddies", L"1"},
    {L"aimcc.im.chat.permissions.nonBuddies", L"1"},
    {L"aimcc.fileXfer.permissions.buddies", L"1"},
    {L"aimcc.fileXfer.permissions.nonBuddies", L"1"},
    {L"aimcc.fileSharing.permissions.buddies", L"1"},
    {L"aimcc.fileSharing.permissions.nonBuddies", L"2"},
    {L"aimcc.buddyIcons.enabled", L"-1"},
    {L"aimcc.buddyIcons.permissions.acceptCustomFromBuddies", L"-1"},
    {L"aimcc.av.enumDevices", L"0"},
    {L"aimcc.general.profile", L""},
    {L"aimcc.general.screenNameFormat", L""},
    {L"aimcc.security.encrCert", L""},
    {L"aimcc.security.signCert", L""},
    {L"aimcc.folders.logs", L""},
    {L"aimcc.folders.downloads", L""},
};

bool SameName(std::wstring_view a, std::wstring_view b)
{
    return a.size() == b.size()
        && CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE)
        == CSTR_EQUAL;
}

} // namespace

bool FindPreferenceDefault(std::wstring_view name, std::wstring& value)
{
    for (const DefaultEntry& entry : kDefaults) {
        std::wstring_view key = entry.name;
        bool prefix = !key.empty() && key.back() == L'.';
        bool match = prefix ? name.size() > key.size() && SameName(name.substr(0, key.size()), key)
                            : SameName(name, key);
        if (match) {
            value = entry.value;
            return true;
        }
    }
    return false;
}

} // namespace AIMCC
