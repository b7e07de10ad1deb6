// The buddy list's colours and fonts: one 336-byte record, stored as binary
// under "ColsFonts" in the account's "Settings.BL" section and overlaid in
// memory by a theme's colours and fonts. The field order is the stored
// layout, so the record is read and written as it stands.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#pragma pack(push, 1)
struct BLColsFonts {
    COLORREF listBackground;
    LOGFONTW buddyFont;          // all zero: the user-interface font
    COLORREF buddyText;
    COLORREF selectedBuddyText;
    COLORREF idleBuddyText;
    COLORREF statusText;
    COLORREF selectedBackground;
    COLORREF hyperlink;
    COLORREF hoverBackground;
    LOGFONTW groupFont;
    COLORREF groupText;
    COLORREF groupBackground;
    LOGFONTW panelFont;          // the identity header (control panel)
    COLORREF panelText;
    COLORREF panelStatusText;
    COLORREF panelBackground;
    COLORREF panelHyperlink;
    COLORREF dropShadow;         // kept when the rest is reset
};
#pragma pack(pop)

static_assert(sizeof(BLColsFonts) == 336, "the stored record is 336 bytes");
static_assert(offsetof(BLColsFonts, groupFont) == 124 && offsetof(BLColsFonts, panelFont) == 224
                  && offsetof(BLColsFonts, dropShadow) == 332,
              "fields sit at their stored offsets");

// Every field but the drop shadow set to its default (system colours, the
// zero fonts that mean the user-interface font).
void ResetColsFonts(BLColsFonts& record);

// Loads a stored value over the defaults. A value of 1 to 336 bytes replaces
// only the fields it covers completely (a font's face name is always
// terminated); an empty or longer value leaves the defaults.
void LoadColsFonts(const std::vector<BYTE>& stored, BLColsFonts& record);

// The font a stored LOGFONTW stands for: the user-interface font when the
// record is all zero. The caller owns the font.
HFONT CreateColsFont(const LOGFONTW& font);
