#include "BLTheme.h"

// The theme reader is being written; until it lands no theme is ever loaded,
// so the list draws with the user's own colours and fonts.

void LoadBuddyListTheme(const std::wstring&, BLColsFonts&) {}

bool ThemePictureLoaded()
{
    return false;
}

bool DrawThemePart(HDC, ThemePart, const RECT&)
{
    return false;
}
