// Settings that belong to one account live in the section of their group
// followed by "." and the account's screen name without spaces
// ("Settings.BL.JohnSmith"); readers fall back to the group's plain section
// for whatever the account section does not hold.
#pragma once

#include <windows.h>

#include <string>

class CIni;

// The marker default that tells "not in the account section".
constexpr int kAccountSentinel = 0x7FFFFFFD;

// A screen name as sections, keys and remembered names hold it: without
// spaces.
std::wstring CompactScreenName(const std::wstring& screenName);

// G + "." + the screen name without spaces, or G alone without a name.
std::wstring AccountSection(const std::wstring& group, const std::wstring& screenName);

// Whether a screen name can name sections and keys of the settings file:
// no "=", "[", "]", line breaks or leading ";".
bool IsStorableScreenName(const std::wstring& screenName);

UINT ReadAccountUInt(const CIni& ini, const std::wstring& group, const std::wstring& screenName,
                     const wchar_t* key, UINT def);
int ReadAccountInt(const CIni& ini, const std::wstring& group, const std::wstring& screenName, const wchar_t* key,
                   int def);
bool ReadAccountBool(const CIni& ini, const std::wstring& group, const std::wstring& screenName,
                     const wchar_t* key, bool def);
std::wstring ReadAccountString(const CIni& ini, const std::wstring& group, const std::wstring& screenName,
                               const wchar_t* key, const wchar_t* def);
