// Start-up and shutdown of the program. Start-up runs its steps in a fixed
// order; a step that fails shows the one error box and ends start-up.
// Shutdown undoes, in its own fixed order, only what this process set up: a
// second instance that ended early must not take anything away from the
// client that is running.
#pragma once

#include <windows.h>

#include <string>

class CSysTrayIcon;

bool Startup(HINSTANCE instance);
void Shutdown();

// The notification-area icon of the running program.
CSysTrayIcon& TrayIcon();

// The GUI message loop; returns the exit code (the quit message's wParam).
int RunMessageLoop();

// The log folder rewritten onto the drive of the settings file, for a
// portable installation that moved to another drive; the text unchanged
// when it is on that drive already or not a drive path at all.
std::wstring RepairLogFolderDrive(const std::wstring& logFolder, const std::wstring& settingsPath);
