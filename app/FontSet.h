// A font in its four faces (normal, bold, italic, underline) with the pixel
// height of a line of it. The program keeps two: the user-interface font
// (the system's message font) and the symbol font ("Marlett") for glyphs.
#pragma once

#include <windows.h>

#include "ScopedHandle.h"

struct FontSet {
    ScopedGdiObject normal;
    ScopedGdiObject bold;
    ScopedGdiObject italic;
    ScopedGdiObject underline;
    int height = 0;

    // Builds the faces from `base`; without `variants` only the normal one.
    // A face name that is empty gives no fonts (false).
    bool Create(const LOGFONTW& base, bool variants);
    void Release();

    HFONT Normal() const { return static_cast<HFONT>(normal.get()); }
    HFONT Bold() const { return static_cast<HFONT>(bold.get()); }
};

// The system's message font, or the stock GUI font when it cannot be read.
LOGFONTW UiFontDescription();
// The stock GUI font with the face "Marlett".
LOGFONTW SymbolFontDescription();
