#include "Monitors.h"

namespace {

bool MonitorRect(HMONITOR monitor, RECT& area, bool workArea)
{
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (!monitor || !GetMonitorInfoW(monitor, &info))
        return false;
    area = workArea ? info.rcWork : info.rcMonitor;
    return true;
}

} // namespace

void CenterOnMonitor(RECT& rect)
{
    RECT area;
    if (!MonitorRect(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), area, false))
        return;
    const LONG width = rect.right - rect.left;
    const LONG height = rect.bottom - rect.top;
    rect.left = area.left + (area.right - area.left - width) / 2;
    rect.top = area.top + (area.bottom - area.top - height) / 2;
    rect.right = rect.left + width;
    rect.bottom = rect.top + height;
}

bool GetMonitorWorkArea(HWND hwnd, RECT& area)
{
    return MonitorRect(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), area, true);
}

bool GetMonitorArea(HWND hwnd, RECT& area)
{
    return MonitorRect(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), area, false);
}
