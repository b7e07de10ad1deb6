#include "BackgroundBitmap.h"

CBackgroundBitmap::~CBackgroundBitmap()
{
    Release();
}

void CBackgroundBitmap::Release()
{
    if (dc_) {
        SelectObject(dc_, originalBitmap_);
        DeleteDC(dc_);
        dc_ = nullptr;
    }
    bitmap_.reset();
    size_ = {0, 0};
}

bool CBackgroundBitmap::Resize(int width, int height)
{
    if (width <= 0 || height <= 0)
        return false;
    if (dc_ && size_.cx == width && size_.cy == height)
        return true;
    Release();
    ScopedWindowDC screen(nullptr);
    dc_ = CreateCompatibleDC(screen.get());
    if (!dc_)
        return false;
    bitmap_.reset(CreateCompatibleBitmap(screen.get(), width, height));
    if (!bitmap_) {
        Release();
        return false;
    }
    originalBitmap_ = SelectObject(dc_, bitmap_.get());
    size_ = {width, height};
    return true;
}

void CBackgroundBitmap::CopyTo(HDC target, HWND ownerWnd, HWND child, const RECT& rect) const
{
    if (!dc_)
        return;
    POINT origin = {rect.left, rect.top};
    MapWindowPoints(child, ownerWnd, &origin, 1);
    BitBlt(target, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, dc_, origin.x, origin.y,
           SRCCOPY);
}

CBackgroundBitmap& MainBackground()
{
    static CBackgroundBitmap background;
    return background;
}
