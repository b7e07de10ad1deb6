#include "FontSet.h"

#include <cwchar>

bool FontSet::Create(const LOGFONTW& base, bool variants)
{
    Release();
    if (base.lfFaceName[0] == L'\0')
        return false;
    normal.reset(CreateFontIndirectW(&base));
    if (!normal)
        return false;
    if (variants) {
        LOGFONTW face = base;
        face.lfWeight = base.lfWeight >= FW_BOLD ? FW_HEAVY : FW_BOLD;
        bold.reset(CreateFontIndirectW(&face));
        face = base;
        face.lfItalic = TRUE;
        italic.reset(CreateFontIndirectW(&face));
        face = base;
        face.lfUnderline = TRUE;
        underline.reset(CreateFontIndirectW(&face));
    }
    // The height of a line as it is drawn on the display.
    ScopedWindowDC screen(nullptr);
    ScopedSelectObject select(screen.get(), normal.get());
    SIZE size = {};
    GetTextExtentPoint32W(screen.get(), L"A_", 2, &size);
    height = size.cy;
    return true;
}

void FontSet::Release()
{
    normal.reset();
    bold.reset();
    italic.reset();
    underline.reset();
    height = 0;
}

namespace {

LOGFONTW StockGuiFont()
{
    LOGFONTW font = {};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
    return font;
}

} // namespace

LOGFONTW UiFontDescription()
{
    // The 500-byte structure is the one every Windows version since 2000
    // accepts (without the Vista padding field).
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = 500;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 500, &metrics, 0))
        return metrics.lfMessageFont;
    return StockGuiFont();
}

LOGFONTW SymbolFontDescription()
{
    LOGFONTW font = StockGuiFont();
    wcsncpy(font.lfFaceName, L"Marlett", LF_FACESIZE - 1);
    font.lfFaceName[LF_FACESIZE - 1] = L'\0';
    font.lfCharSet = DEFAULT_CHARSET;
    return font;
}
