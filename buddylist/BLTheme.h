// Buddy list themes: a folder under "Themes\App\" with "config.xml" and
// optionally one picture. A theme can supply the list's colours, its three
// fonts and a picture from which backgrounds, presence icons and button
// pictures are cut; the three "UseTheme…" switches of "Settings.BL" decide
// which. Whatever the theme does not supply stays the user's own.
#pragma once

#include "ColsFonts.h"

#include <windows.h>

#include <string>

// The parts of the theme picture.
enum class ThemePart {
    WindowBackground,
    PanelBackground,
    GroupBackground,
    BuddyBackground,
    BuddyHover,
    BuddySelected,
    StatusAvailable,
    StatusAway,
    StatusIdle,
    StatusBlocked,
    StatusMobile,
    StatusOffline,
    ButtonSettings,
    ButtonLinkedSn,
    ButtonActions,
    ButtonSounds,
    ButtonMuteSounds,
    ButtonAutoHide,
    ButtonMenu,
    ButtonAway,
};

// Reads the theme named by "Theme" in the account's "Settings.BL" section
// (`screenName` empty: the plain section) and lays its colours and fonts
// over `colsFonts` as the switches allow; loads or frees the theme picture;
// then rebuilds the main window's background and redraws it. A missing or
// broken theme changes nothing.
void LoadBuddyListTheme(const std::wstring& screenName, BLColsFonts& colsFonts);

// Whether a theme picture is loaded (and "UseThemeImage" was on).
bool ThemePictureLoaded();

// Draws a part of the theme picture into `dest`: backgrounds stretched or
// tiled as the theme says, icons and buttons scaled. False when there is no
// picture or the part has no rectangle; the caller then draws its own.
bool DrawThemePart(HDC dc, ThemePart part, const RECT& dest);
