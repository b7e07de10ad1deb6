#include "SuperComboBoxWnd.h"

#include "ControlNotifications.h"
#include "WindowKinds.h"

const wchar_t kSuperComboBoxClassName[] = L"__RZ_SUPER_CMBOBOX_WND__";

LRESULT CSuperComboBoxEditWnd::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN && wParam == VK_DELETE) {
        HWND combo = GetParent(hwnd);
        if (combo && NotifyParent(combo, kNotifyComboDeleteKey) == 1)
            return 0;
    }
    return CSubclsWnd::WindowProc(hwnd, message, wParam, lParam);
}

bool CSuperComboBoxWnd::Create(HWND parent, int id, DWORD style, DWORD exStyle, const RECT& rect,
                               void* createValue)
{
    return CreateControl(kSuperComboBoxClassName, L"COMBOBOX", 0, parent, id, style, exStyle, rect, createValue);
}

LRESULT CSuperComboBoxWnd::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PARENTNOTIFY:
        // The edit field is made inside the combo box's own WM_CREATE.
        if (LOWORD(wParam) == WM_CREATE && HIWORD(wParam) == kComboEditId)
            edit_.Attach(reinterpret_cast<HWND>(lParam), kKindNone);
        break;
    case WM_CREATE: {
        const LRESULT result = CSuperClassBase::WindowProc(hwnd, message, wParam, lParam);
        // In case the field was made without telling its parent.
        if (result != -1 && !edit_.Hwnd()) {
            if (HWND edit = GetDlgItem(hwnd, kComboEditId))
                edit_.Attach(edit, kKindNone);
        }
        return result;
    }
    default:
        break;
    }
    return CSuperClassBase::WindowProc(hwnd, message, wParam, lParam);
}
