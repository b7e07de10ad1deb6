#include "TextMeasure.h"

void MeasureText(HDC dc, const wchar_t* text, int length, UINT flags, SIZE& size)
{
    RECT rect = {0, 0, size.cx, size.cy};
    DrawTextW(dc, text, length, &rect, flags | DT_CALCRECT);
    size.cx = rect.right;
    size.cy = rect.bottom;
}
