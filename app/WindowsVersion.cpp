#include "WindowsVersion.h"

#include <windows.h>

namespace {

bool VersionAtLeast(DWORD major, DWORD minor)
{
    OSVERSIONINFOEXW wanted = {};
    wanted.dwOSVersionInfoSize = sizeof(wanted);
    wanted.dwMajorVersion = major;
    wanted.dwMinorVersion = minor;
    DWORDLONG condition = 0;
    condition = VerSetConditionMask(condition, VER_MAJORVERSION, VER_GREATER_EQUAL);
    condition = VerSetConditionMask(condition, VER_MINORVERSION, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&wanted, VER_MAJORVERSION | VER_MINORVERSION, condition) != FALSE;
}

const bool g_xpOrLater = VersionAtLeast(5, 1);
const bool g_vistaOrLater = VersionAtLeast(6, 0);

} // namespace

bool IsXPOrLater()
{
    return g_xpOrLater;
}

bool IsVistaOrLater()
{
    return g_vistaOrLater;
}
