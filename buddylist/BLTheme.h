// Buddy list themes: a folder under "Themes\App\" with "config.xml" and
// optionally one picture. A theme can supply the list's colours, its three
// fonts and a picture from which backgrounds, presence icons and button
// pictures are cut; the three "UseTheme…" switches of "Settings.BL" decide
// which. Whatever the theme does not supply stays the user's own.
//
// The picture is one per process and lives on the GUI thread. A theme that
// is missing, broken or has no usable picture leaves no picture behind, so
// nothing keeps being drawn from a theme the user has left.
#pragma once

#include "ColsFonts.h"

#include <windows.h>

#include <string>
#include <vector>

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
constexpr int kThemePartCount = static_cast<int>(ThemePart::ButtonAway) + 1;

// How a background part fills its destination. Icons and buttons always
// stretch.
enum class ThemeMode { Stretch = 0, Tile = 1 };

// Reads the theme named by "Theme" in the account's "Settings.BL" section
// (`screenName` empty: the plain section) and lays its colours and fonts
// over `colsFonts` as the switches allow; loads or frees the theme picture;
// then rebuilds the main window's background and redraws it. A missing or
// broken theme changes no colour or font. The caller rebuilds its brushes
// and fonts from `colsFonts` afterwards.
void LoadBuddyListTheme(const std::wstring& screenName, BLColsFonts& colsFonts);

// Whether a theme picture is loaded (and "UseThemeImage" was on).
bool ThemePictureLoaded();

// Draws a part of the theme picture into `dest`: backgrounds stretched or
// tiled as the theme says (a tiled part starts its pattern at dest's top
// left corner), icons and buttons scaled. False when there is no picture or
// the part has no rectangle; the caller then draws its own.
bool DrawThemePart(HDC dc, ThemePart part, const RECT& dest);

// The part's rectangle in the picture and its mode; false when the loaded
// picture has no rectangle for it.
bool ThemePartRect(ThemePart part, RECT& rect);
ThemeMode ThemePartMode(ThemePart part);

// A 16 x 16 icon cut from the picture for a toolbar or panel button,
// transparent where the picture is; null when there is no such part. The
// caller owns the icon.
HICON CutThemeIcon(ThemePart part);

// Frees the picture (at shutdown, before GDI+ goes).
void ReleaseThemePicture();

// "Themes\App\" in the folder of the settings file, with a trailing
// backslash; empty when no settings file is in use.
std::wstring BuddyListThemesFolder();

// The names of the theme folders (sub-folders holding "config.xml"), sorted.
std::vector<std::wstring> ListBuddyListThemes();

// Whether a name can name a theme folder: a single folder name of at most
// 260 characters, never a path that leaves "Themes\App\".
bool IsThemeFolderName(const std::wstring& name);
