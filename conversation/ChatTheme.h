// Where a conversation view finds its page and templates: the message theme
// the user chose (per account, then for everybody), or the expression theme,
// and which of the theme's style sheets is active.
//
// Theme and style names come from the settings file, which anybody may have
// edited: a name that would lead out of the themes folder, a path too long
// for the system, or a theme that is not there falls back to "Default".
#pragma once

#include <windows.h>

#include <string>

class CIni;

// The longest theme folder path kept, in characters, with its backslash:
// room is left for the longest file name of a theme ("Styles\Default.css"),
// so that every file of the theme stays within MAX_PATH.
constexpr size_t kMaxThemePath = MAX_PATH - 1 - 18;

// The theme folder, ending in a backslash: "<data>Themes\Expression\" in
// expression mode, else "<data>Themes\Msgs\<Theme>\" from "Settings.MSG"
// "Theme" of the account (then the global section); "Default" when the name
// is empty, unusable, or names no theme with a "Base.htm".
std::wstring ChooseThemeFolder(const CIni& ini, const std::wstring& dataFolder, const std::wstring& screenName,
                               bool expressionMode);

// The href the page's style links get: "Base.css" in expression mode, else
// "Styles/<Style>.css" from "Settings.MSG" "Style" (account, then global),
// URL-escaped; "Styles/Default.css" when the name is empty or unusable.
std::wstring ChooseStyleSheet(const CIni& ini, const std::wstring& screenName, bool expressionMode);

// Whether a theme or style name stays inside its folder: not empty, no path
// separators, no drive or stream colon, not "." or "..".
bool IsPlainFileName(const std::wstring& name);

// Percent-escapes everything but letters, digits and "-_.~" (as UTF-8).
std::wstring UrlEscape(const std::wstring& text);

// "file:///C:/Themes/Msgs/Default/" for a local folder path.
std::wstring FileUrlOfPath(const std::wstring& path);

// A template file, UTF-8 with or without a byte-order mark, as text; ""
// when it cannot be read.
std::wstring ReadTemplateFile(const std::wstring& path);
