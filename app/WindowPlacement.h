// Window placements under "WndPos": one key per window, the 44-byte
// WINDOWPLACEMENT record stored as a binary value. A window saves its
// placement when it closes and restores it when it is first shown.
#pragma once

#include <windows.h>

class CIni;

extern const wchar_t kWndPosSection[]; // "WndPos"

bool SaveWindowPlacement(const CIni& ini, HWND hwnd, const wchar_t* key);

// Applies the saved placement and returns true, or leaves the window alone
// and returns false when there is none or it is unusable (then the window
// takes its default position). A window saved minimized comes back normal.
bool RestoreWindowPlacement(const CIni& ini, HWND hwnd, const wchar_t* key);

// The stored record when it is a complete, sensible placement.
bool ReadWindowPlacement(const CIni& ini, const wchar_t* key, WINDOWPLACEMENT& placement);
