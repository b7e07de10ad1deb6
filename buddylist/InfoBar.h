// CInfoBar: the notice bar of the main window, between the menu bar and the
// current pane. It holds a list of notices (an icon and a text each, the text
// wrapped to the bar's width) and exists only while it has notices: the main
// window creates it for the first notice and destroys it when cleared.
#pragma once

#include "ScopedHandle.h"
#include "SubclsWnd.h"

#include <string>
#include <vector>

class CInfoBar : public CSubclsWnd {
public:
    CInfoBar() = default;
    // Destroys the window when it is still there.
    ~CInfoBar() override;

    // A child of `parent` (class "__oVLMoMAINoPANEoWNDo__", kind 37).
    bool Create(HWND parent);

    // Adds a notice; `icon` is a system or media icon the bar does not own.
    void AddNotice(HICON icon, const std::wstring& text);
    void Clear();
    bool HasNotices() const;

    // The height the bar needs to show every notice at `width` pixels.
    int HeightForWidth(int width) const;

protected:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    struct Notice {
        HICON icon;
        std::wstring text;
    };
    // Where one notice goes at a given width.
    struct Placement {
        RECT icon;
        RECT text;
    };

    // Lays the notices out at `width` with `dc` (its font selected); returns
    // the bar's height. Painting and measuring share it so they agree.
    int Arrange(HDC dc, int width, std::vector<Placement>* placements) const;
    HFONT Font() const;
    void Paint(HDC dc, const RECT& client) const;
    void OnPaint(HWND hwnd);

    std::vector<Notice> notices_;
    mutable ScopedGdiObject font_;
};
