#include "Foreground.h"

bool BringToForeground(HWND hwnd)
{
    ShowWindow(hwnd, IsIconic(hwnd) ? SW_RESTORE : SW_SHOW);
    const HWND foreground = GetForegroundWindow();
    if (foreground == hwnd)
        return true;
    const DWORD ownThread = GetWindowThreadProcessId(hwnd, nullptr);
    const DWORD foregroundThread = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    // Only the thread that owns the foreground may hand it on; joining its
    // input state for the call makes us that thread.
    if (foregroundThread && foregroundThread != ownThread) {
        AttachThreadInput(ownThread, foregroundThread, TRUE);
        SetForegroundWindow(hwnd);
        AttachThreadInput(ownThread, foregroundThread, FALSE);
    } else {
        SetForegroundWindow(hwnd);
    }
    return GetForegroundWindow() == hwnd;
}
