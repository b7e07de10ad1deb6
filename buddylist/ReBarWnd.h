// CReBarWnd: the rebar that carries the menu bar's toolbar. It is subclassed
// for two reasons: it paints its background from the main window's picture,
// so the bar seems to stand on the same surface as the panes below it, and it
// sees the toolbar's notifications before the rebar passes them on to the
// main window, so the menu bar keeps its own business to itself.
#pragma once

#include "SubclsWnd.h"

class CMenuBarWnd;

class CReBarWnd : public CSubclsWnd {
public:
    // Posted to the rebar itself to open the popup of button wParam once the
    // toolbar has finished handling the click that asked for it.
    static constexpr UINT kOpenPopupMessage = WM_APP + 1;

    explicit CReBarWnd(CMenuBarWnd& bar) : bar_(bar) {}

    // A child of `parent` with no band yet.
    bool Create(HWND parent);

    // Makes `child` the one band (no gripper), `width` x `height` wide and high.
    bool SetBand(HWND child, int width, int height);

    int BarHeight() const;
    // The horizontal space the band takes beside its child.
    int BandOverhead() const;

protected:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnEraseBackground(HWND hwnd, HDC dc);

    CMenuBarWnd& bar_;
    HWND child_ = nullptr;
};

// Copies the main window's background picture under `window`'s client
// rectangle into `dc`. False when there is no picture to copy from.
bool PaintMainBackground(HWND window, HDC dc);
