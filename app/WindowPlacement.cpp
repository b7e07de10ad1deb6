#include "WindowPlacement.h"

#include "Ini.h"

const wchar_t kWndPosSection[] = L"WndPos";

namespace {

// The record is written with the 32-bit layout: every field is a 32-bit
// integer, so 64-bit and 32-bit builds read each other's values.
constexpr DWORD kRecordSize = 44;
static_assert(sizeof(WINDOWPLACEMENT) == kRecordSize, "WINDOWPLACEMENT is eleven 32-bit fields");

bool IsRestorableShowCmd(UINT showCmd)
{
    // SW_HIDE would bring the window back invisible; numbers past SW_MAX are
    // no show state at all.
    return showCmd != SW_HIDE && showCmd <= SW_MAX;
}

UINT ShowCmdOnRestore(UINT showCmd)
{
    switch (showCmd) {
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
    case SW_FORCEMINIMIZE:
        return SW_SHOWNORMAL;
    default:
        return showCmd;
    }
}

} // namespace

bool SaveWindowPlacement(const CIni& ini, HWND hwnd, const wchar_t* key)
{
    WINDOWPLACEMENT placement = {};
    placement.length = kRecordSize;
    if (!GetWindowPlacement(hwnd, &placement))
        return false;
    return ini.WriteBinary(kWndPosSection, key, &placement, kRecordSize);
}

bool ReadWindowPlacement(const CIni& ini, const wchar_t* key, WINDOWPLACEMENT& placement)
{
    placement = {};
    // A short or long value is someone else's data, not a placement: all 44
    // bytes must be there, not just a length field that happens to read 44.
    if (ini.GetBinary(kWndPosSection, key, nullptr, 0) != kRecordSize)
        return false;
    if (ini.GetBinary(kWndPosSection, key, &placement, kRecordSize) != kRecordSize)
        return false;
    const RECT& normal = placement.rcNormalPosition;
    return placement.length == kRecordSize && IsRestorableShowCmd(placement.showCmd) &&
           normal.right > normal.left && normal.bottom > normal.top;
}

bool RestoreWindowPlacement(const CIni& ini, HWND hwnd, const wchar_t* key)
{
    WINDOWPLACEMENT placement;
    if (!ReadWindowPlacement(ini, key, placement))
        return false;
    placement.showCmd = ShowCmdOnRestore(placement.showCmd);
    return SetWindowPlacement(hwnd, &placement) != FALSE;
}
