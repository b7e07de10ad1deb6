// The windows that signing off or switching accounts must close first: every
// own top-level window except the main window, the notification window, info
// tips and their manager, the toast manager and the about box.
#pragma once

#include <windows.h>

bool OtherWindowsOpen();
// Sends each of them WM_CLOSE with wParam 0x10000.
void CloseOtherWindows();
