// Placing windows on the monitor they belong to.
#pragma once

#include <windows.h>

// Moves the rectangle to the middle of the monitor nearest to it, keeping
// its size.
void CenterOnMonitor(RECT& rect);

// The work area (without task bar and application bars) and the whole area
// of the monitor nearest to the window.
bool GetMonitorWorkArea(HWND hwnd, RECT& area);
bool GetMonitorArea(HWND hwnd, RECT& area);
