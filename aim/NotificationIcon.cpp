#include "NotificationIcon.h"

namespace {

INotificationIcon* g_icon = nullptr;
int g_iconId = 0;

} // namespace

void SetNotificationIcon(INotificationIcon* icon)
{
    g_icon = icon;
}

INotificationIcon* NotificationIcon()
{
    return g_icon;
}

void ShowNotificationIcon(int id)
{
    g_iconId = id;
    if (g_icon)
        g_icon->ShowAccountIcon(id);
}

int NotificationIconId()
{
    return g_iconId;
}
