// The notification-area icon as the connection objects see it. The icon's
// window lives above this layer (app/SysTrayIcon), so it registers itself
// here when it is created; the primary account's state picks the picture.
#pragma once

#include <windows.h>

class INotificationIcon {
public:
    // Shows the media library's icon `id`.
    virtual void ShowAccountIcon(int id) = 0;
    // The window that takes the program's own messages (kAppMessage).
    virtual HWND MessageWindow() const = 0;

protected:
    ~INotificationIcon() = default;
};

// Null until the icon's window exists, and again after it is gone.
void SetNotificationIcon(INotificationIcon* icon);
INotificationIcon* NotificationIcon();

// Shows the icon `id` when there is an icon, and remembers it either way.
void ShowNotificationIcon(int id);
// The icon last asked for (0 before any).
int NotificationIconId();
