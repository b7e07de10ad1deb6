// A 32-bit top-down picture with a memory DC, for tests that let a window
// paint into it (WM_PRINTCLIENT, WM_ERASEBKGND) and then read its pixels.
#pragma once

#include <windows.h>

#include <cstdint>

class TestCanvas {
public:
    TestCanvas(int width, int height, COLORREF fill) : width_(width), height_(height)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<uint32_t*>(bits);
        original_ = SelectObject(dc_, bitmap_);
        Fill(fill);
    }
    ~TestCanvas()
    {
        SelectObject(dc_, original_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    TestCanvas(const TestCanvas&) = delete;
    TestCanvas& operator=(const TestCanvas&) = delete;

    HDC Dc() const { return dc_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

    void Fill(COLORREF color)
    {
        GdiFlush();
        for (int i = 0; i < width_ * height_; ++i)
            bits_[i] = ToPixel(color);
    }
    void Set(int x, int y, COLORREF color)
    {
        GdiFlush();
        bits_[y * width_ + x] = ToPixel(color);
    }
    COLORREF At(int x, int y) const
    {
        GdiFlush();
        const uint32_t pixel = bits_[y * width_ + x];
        return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }

private:
    static uint32_t ToPixel(COLORREF color)
    {
        return (static_cast<uint32_t>(GetRValue(color)) << 16) | (static_cast<uint32_t>(GetGValue(color)) << 8) |
               GetBValue(color);
    }

    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ original_ = nullptr;
    uint32_t* bits_ = nullptr;
};
