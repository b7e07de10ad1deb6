// The layer's own defaults for its "aimcc." preferences: what applies when
// the client's hook holds no value. AccCore.h lists the ones a user is most
// likely to meet; this table is the complete list.
#pragma once

#include <string>
#include <string_view>

namespace AIMCC {

// The default text of a preference; false when the layer has none.
bool FindPreferenceDefault(std::wstring_view name, std::wstring& value);

// Names of the preferences the session reads.
namespace Pref {
inline constexpr wchar_t HostAddress[] = L"aimcc.connect.host.address";
inline constexpr wchar_t HostPort[] = L"aimcc.connect.host.port";
inline constexpr wchar_t HideOfflineGroup[] = L"aimcc.buddyList.hideOfflineGroup";
inline constexpr wchar_t HideOfflineBuddies[] = L"aimcc.buddyList.hideOfflineBuddies";
inline constexpr wchar_t GroupExpandedPrefix[] = L"aimcc.buddyList.expanded.";
inline constexpr wchar_t Profile[] = L"aimcc.general.profile";
inline constexpr wchar_t AutoRespond[] = L"aimcc.away.autoRespond";
// Followed by the account's normalised screen name: the accounts signed on
// after this one (a list), and the password an additional account signs on
// with (a protected preference).
inline constexpr wchar_t AdditionalAccountsPrefix[] = L"aimcc.accounts.additional.";
inline constexpr wchar_t StoredPasswordPrefix[] = L"aimcc.accounts.password.";
} // namespace Pref

inline constexpr wchar_t kDefaultHostAddress[] = L"127.0.0.1";
inline constexpr unsigned short kDefaultHostPort = 5190;

} // namespace AIMCC
