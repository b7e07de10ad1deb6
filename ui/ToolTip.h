// CToolTip: the one tooltip window of a window that shows tooltips (a pane,
// the identity panel, an HTML view). The object owns the tooltip window and
// destroys it with itself.
//
// A tool is a window and an id. With `subclass` the tooltip watches the
// mouse over the tool window by itself (TTF_IDISHWND|TTF_SUBCLASS: the id
// must then be that window's handle); without it the owner places and shows
// the tip (TTF_TRACK|TTF_ABSOLUTE with TTM_TRACKPOSITION/TTM_TRACKACTIVATE).
#pragma once

#include <windows.h>

#include <string>

class CToolTip {
public:
    CToolTip() = default;
    ~CToolTip();
    CToolTip(const CToolTip&) = delete;
    CToolTip& operator=(const CToolTip&) = delete;

    // Makes the topmost tooltip window owned by `owner`, once; later calls
    // keep the first window. Failure shows the error box.
    bool Create(HWND owner, bool balloon);
    // Adds the tool unless the tooltip knows it already.
    bool AddTool(HWND window, UINT_PTR id, const std::wstring& text, bool subclass);
    void SetToolText(HWND window, UINT_PTR id, const std::wstring& text);
    // Deletes every tool and destroys the window.
    void Destroy();

    HWND Hwnd() const { return hwnd_; }

private:
    HWND hwnd_ = nullptr;
};
