// CSuperEditWnd: the edit control as a superclass, so that its object sees
// every message from the first. It tells its parent when the mouse has rested
// on it (kNotifyMouseHover) and when it has left (kNotifyMouseLeave).
#pragma once

#include "ControlNotifications.h"
#include "SuperClassBase.h"

extern const wchar_t kSuperEditClassName[]; // "__RZ_SUPER_EDIT_WND__"

class CSuperEditWnd : public CSuperClassBase {
public:
    // A child edit control `id` of `parent`; `createValue` reaches the
    // control as lpCreateParams. Failure shows the error box.
    bool Create(HWND parent, int id, DWORD style, DWORD exStyle, const RECT& rect, void* createValue = nullptr);

protected:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    CHoverTracker hover_;
};
