// The application message handler behind the notification-area window: the
// icon's mouse callbacks, the codes other parts of the program post to it,
// and aim: links handed over by a second instance.
#pragma once

#include <windows.h>

#include <string>

int AppMessageHandler(HWND hwnd, WPARAM wParam, LPARAM code);

// Hands a "vlm://" link from any thread of this process to the GUI thread.
// The link waits in a queue inside the process and the posted message only
// signals, so no pointer ever travels in a message another process could
// forge.
void PostInternalLink(HWND trayWindow, const std::wstring& link);

// The icon's context menu: its items with their grey states for the given
// situation (exposed for tests; the menu is the caller's to destroy).
HMENU BuildTrayMenu(bool locked, bool online);

// Signs every session off, first asking to close the other open windows.
void SignOffFromTray();
