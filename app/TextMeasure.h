#pragma once

#include <windows.h>

// The size a text needs when drawn with DrawText and `flags` into the space
// given in `size` (width and height on the way in, what it needs on the way
// out). DT_SINGLELINE measures labels, DT_WORDBREAK wrapped texts.
void MeasureText(HDC dc, const wchar_t* text, int length, UINT flags, SIZE& size);
