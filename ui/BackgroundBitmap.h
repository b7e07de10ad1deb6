// The main window's background: an off-screen picture of its client area that
// the main window paints (colour and gradient, or a theme picture) and that
// the menu bar, the panes and their static children copy from, so they all
// seem to stand on one surface.
#pragma once

#include <windows.h>

#include "ScopedHandle.h"

class CBackgroundBitmap {
public:
    CBackgroundBitmap() = default;
    ~CBackgroundBitmap();
    CBackgroundBitmap(const CBackgroundBitmap&) = delete;
    CBackgroundBitmap& operator=(const CBackgroundBitmap&) = delete;

    // Makes the picture `width` x `height` (contents undefined until drawn).
    bool Resize(int width, int height);
    void Release();

    HDC Dc() const { return dc_; }
    HBITMAP Bitmap() const { return static_cast<HBITMAP>(bitmap_.get()); }
    SIZE Size() const { return size_; }

    // Copies the part under `child`'s rectangle `rect` (child coordinates)
    // into `target`. `owner` is the window the picture belongs to.
    void CopyTo(HDC target, HWND owner, HWND child, const RECT& rect) const;

    // The window the picture belongs to, and its text colour.
    HWND owner = nullptr;
    COLORREF textColor = RGB(0, 0, 0);

private:
    HDC dc_ = nullptr;
    ScopedGdiObject bitmap_;
    HGDIOBJ originalBitmap_ = nullptr;
    SIZE size_ = {0, 0};
};

// The one background of the process (the main window's).
CBackgroundBitmap& MainBackground();
