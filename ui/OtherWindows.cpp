#include "OtherWindows.h"

#include "SubclsWnd.h"
#include "WindowKinds.h"

bool OtherWindowsOpen()
{
    for (HWND hwnd : CSubclsWnd::WindowsExceptKinds({kKindMain, kKindSysTray, kKindInfoTip, kKindAboutBox,
                                                     kKindInfoTipManager, kKindNotificationsManager})) {
        if (IsWindow(hwnd) && !(GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD))
            return true;
    }
    return false;
}

void CloseOtherWindows()
{
    CSubclsWnd::CloseWindowsExceptKinds(
        {kKindMain, kKindSysTray, kKindInfoTip, kKindAboutBox, kKindInfoTipManager, kKindNotificationsManager},
        0x10000);
}
