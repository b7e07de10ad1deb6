#pragma once

#include <windows.h>

// Shows the window (restoring it when minimized) and makes it the foreground
// window, borrowing the input state of the current foreground thread when
// the system would otherwise refuse. True when it is in front afterwards.
bool BringToForeground(HWND hwnd);
