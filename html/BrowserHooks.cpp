#include "BrowserHooks.h"

#include "APIHooks.h"
#include "ScopedHandle.h"

#include <windows.h>

#include <cwchar>
#include <mutex>

namespace {

BrowserVersion ReadBrowserVersion()
{
    BrowserVersion version;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Internet Explorer", 0, KEY_READ, &opened) !=
        ERROR_SUCCESS)
        return version;
    ScopedRegKey key(opened);
    // The value is short ("11.0.19041.1"); 100 bytes hold any real one and
    // the extra character keeps the copy terminated whatever the registry says.
    wchar_t text[51] = {};
    DWORD type = 0;
    DWORD size = sizeof(text) - sizeof(wchar_t);
    if (RegQueryValueExW(key.get(), L"Version", nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return version;
    text[ARRAYSIZE(text) - 1] = L'\0';
    swscanf(text, L"%d.%d.%d.%d", &version.major, &version.minor, &version.build, &version.revision);
    return version;
}

// Views on the info-tip thread create browsers too.
std::mutex g_hookLock;
bool g_hooksInstalled = false;

} // namespace

const BrowserVersion& InstalledBrowserVersion()
{
    static const BrowserVersion version = ReadBrowserVersion();
    return version;
}

bool EnsureBrowserHooks()
{
    std::lock_guard<std::mutex> lock(g_hookLock);
    if (!g_hooksInstalled)
        g_hooksInstalled = InstallBrowserApiHooks(InstalledBrowserVersion().major);
    return g_hooksInstalled;
}

bool InstallBrowserApiHooks(int majorVersion)
{
    return InstallBrowserSoundHook(majorVersion);
}
