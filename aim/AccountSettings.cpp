#include "AccountSettings.h"

#include "Ini.h"

namespace {

// A text no one writes on purpose, standing for "missing" in string reads.
constexpr wchar_t kMissingText[] = L"\x7FFF\x7FFD";

} // namespace

std::wstring CompactScreenName(const std::wstring& screenName)
{
    std::wstring compact;
    for (wchar_t c : screenName) {
        if (c != L' ')
            compact += c;
    }
    return compact;
}

std::wstring AccountSection(const std::wstring& group, const std::wstring& screenName)
{
    const std::wstring compact = CompactScreenName(screenName);
    return compact.empty() ? group : group + L"." + compact;
}

bool IsStorableScreenName(const std::wstring& screenName)
{
    if (!screenName.empty() && screenName.front() == L';')
        return false;
    return screenName.find_first_of(L"=[]\r\n") == std::wstring::npos;
}

UINT ReadAccountUInt(const CIni& ini, const std::wstring& group, const std::wstring& screenName,
                     const wchar_t* key, UINT def)
{
    const std::wstring section = AccountSection(group, screenName);
    const UINT value = ini.GetUInt(section.c_str(), key, kAccountSentinel);
    if (value != static_cast<UINT>(kAccountSentinel))
        return value;
    return ini.GetUInt(group.c_str(), key, def);
}

int ReadAccountInt(const CIni& ini, const std::wstring& group, const std::wstring& screenName, const wchar_t* key,
                   int def)
{
    return static_cast<int>(ReadAccountUInt(ini, group, screenName, key, static_cast<UINT>(def)));
}

bool ReadAccountBool(const CIni& ini, const std::wstring& group, const std::wstring& screenName,
                     const wchar_t* key, bool def)
{
    const std::wstring section = AccountSection(group, screenName);
    if (!ini.GetString(section.c_str(), key).empty())
        return ini.GetBool(section.c_str(), key, def);
    return ini.GetBool(group.c_str(), key, def);
}

std::wstring ReadAccountString(const CIni& ini, const std::wstring& group, const std::wstring& screenName,
                               const wchar_t* key, const wchar_t* def)
{
    const std::wstring section = AccountSection(group, screenName);
    const std::wstring value = ini.GetString(section.c_str(), key, kMissingText);
    if (value != kMissingText)
        return value;
    return ini.GetString(group.c_str(), key, def);
}
