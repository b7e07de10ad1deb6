#include "ColsFonts.h"

#include "FontSet.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsZeroFont(const LOGFONTW& font)
{
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&font);
    return std::all_of(bytes, bytes + sizeof(font), [](BYTE b) { return b == 0; });
}

// The end offsets of the record's fields, in order: a stored value is cut
// back to the last one it holds whole.
size_t WholeFieldsLength(size_t stored)
{
    static const size_t kFieldEnds[] = {
        4, 96, 100, 104, 108, 112, 116, 120, 124, 216, 220, 224, 316, 320, 324, 328, 332, 336,
    };
    size_t whole = 0;
    for (size_t end : kFieldEnds) {
        if (end > stored)
            break;
        whole = end;
    }
    return whole;
}

void TerminateFace(LOGFONTW& font)
{
    font.lfFaceName[LF_FACESIZE - 1] = L'\0';
}

} // namespace

void ResetColsFonts(BLColsFonts& record)
{
    const COLORREF shadow = record.dropShadow;
    std::memset(&record, 0, sizeof(record));
    record.dropShadow = shadow;
    record.listBackground = GetSysColor(COLOR_WINDOW);
    record.buddyText = GetSysColor(COLOR_WINDOWTEXT);
    record.selectedBuddyText = GetSysColor(COLOR_WINDOWTEXT);
    record.idleBuddyText = GetSysColor(COLOR_GRAYTEXT);
    record.statusText = GetSysColor(COLOR_GRAYTEXT);
    record.selectedBackground = 0xFCFAF3;
    record.hyperlink = 0xFF0000;
    record.hoverBackground = 0xF8F1E4;
    record.groupText = GetSysColor(COLOR_WINDOWTEXT);
    record.groupBackground = 0xFAF6ED;
    record.panelText = GetSysColor(COLOR_WINDOWTEXT);
    record.panelStatusText = GetSysColor(COLOR_3DDKSHADOW);
    record.panelBackground = 0xF8F1E4;
    record.panelHyperlink = 0xFF0000;
}

void LoadColsFonts(const std::vector<BYTE>& stored, BLColsFonts& record)
{
    ResetColsFonts(record);
    if (stored.empty() || stored.size() > sizeof(record))
        return;
    std::memcpy(&record, stored.data(), WholeFieldsLength(stored.size()));
    TerminateFace(record.buddyFont);
    TerminateFace(record.groupFont);
    TerminateFace(record.panelFont);
}

HFONT CreateColsFont(const LOGFONTW& font)
{
    if (IsZeroFont(font)) {
        const LOGFONTW ui = UiFontDescription();
        return CreateFontIndirectW(&ui);
    }
    LOGFONTW copy = font;
    TerminateFace(copy);
    return CreateFontIndirectW(&copy);
}
