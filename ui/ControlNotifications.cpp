#include "ControlNotifications.h"

namespace {

constexpr DWORD kHoverTimeMs = 500;

WPARAM CommandParam(HWND control, WORD code)
{
    return MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(control)), code);
}

} // namespace

LRESULT NotifyParent(HWND control, WORD code, LPARAM lParam)
{
    HWND parent = GetParent(control);
    return parent ? SendMessageW(parent, WM_COMMAND, CommandParam(control, code), lParam) : 0;
}

LRESULT NotifyParent(HWND control, WORD code)
{
    return NotifyParent(control, code, reinterpret_cast<LPARAM>(control));
}

bool PostNotifyParent(HWND control, WORD code)
{
    HWND parent = GetParent(control);
    return parent &&
           PostMessageW(parent, WM_COMMAND, CommandParam(control, code), reinterpret_cast<LPARAM>(control));
}

void CHoverTracker::OnMouseMove(HWND hwnd)
{
    if (armed_)
        return;
    TRACKMOUSEEVENT track = {};
    track.cbSize = sizeof(track);
    track.dwFlags = TME_HOVER | TME_LEAVE;
    track.hwndTrack = hwnd;
    track.dwHoverTime = kHoverTimeMs;
    armed_ = TrackMouseEvent(&track) != FALSE;
}
