// Presence as the whole client reads a buddy: the layer's state values and
// the status flags that mean a mobile device. The buddy list, the logs, the
// toasts and the event view all judge a buddy by these.
#pragma once

// The user-class flags that say the buddy is on a mobile device.
constexpr unsigned long kMobileFlags = 0x1280;

constexpr bool IsMobileClass(unsigned long userClass)
{
    return (userClass & kMobileFlags) != 0;
}
