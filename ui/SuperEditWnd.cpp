#include "SuperEditWnd.h"

const wchar_t kSuperEditClassName[] = L"__RZ_SUPER_EDIT_WND__";

bool CSuperEditWnd::Create(HWND parent, int id, DWORD style, DWORD exStyle, const RECT& rect, void* createValue)
{
    return CreateControl(kSuperEditClassName, L"EDIT", 0, parent, id, style, exStyle, rect, createValue);
}

LRESULT CSuperEditWnd::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_MOUSEMOVE:
        hover_.OnMouseMove(hwnd);
        break;
    case WM_MOUSEHOVER:
        NotifyParent(hwnd, kNotifyMouseHover);
        break;
    case WM_MOUSELEAVE:
        hover_.OnMouseLeave();
        NotifyParent(hwnd, kNotifyMouseLeave);
        break;
    default:
        break;
    }
    return CSuperClassBase::WindowProc(hwnd, message, wParam, lParam);
}
