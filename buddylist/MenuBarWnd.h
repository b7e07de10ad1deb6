// CMenuBarWnd: the main window's menu bar. A rebar child holding one flat
// toolbar (control id 321) whose buttons are the titles of the main menu's
// popups; a click, a drop-down or Alt+letter opens that popup with the main
// window as its owner, so WM_INITMENUPOPUP and WM_COMMAND reach the main
// window as with a normal menu. While a popup is open, moving over another
// button switches to it, Left and Right cycle through the buttons (wrapping)
// and Escape closes.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "ReBarWnd.h"
#include "ScopedHandle.h"

#include <memory>
#include <string>
#include <vector>

// The toolbar's control id.
constexpr int kMenuBarToolbarId = 321;

// The mnemonic of a menu title: the character after the first single "&"
// ("&&" is a literal ampersand), or 0 when it has none.
wchar_t MenuMnemonic(const std::wstring& title);

class CMenuBarWnd {
public:
    CMenuBarWnd() = default;
    ~CMenuBarWnd();
    CMenuBarWnd(const CMenuBarWnd&) = delete;
    CMenuBarWnd& operator=(const CMenuBarWnd&) = delete;

    // Creates the rebar and its toolbar as children of `parent`.
    bool Create(HWND parent);
    void Destroy();

    // Shows the popups of `menu` as buttons. The bar does not own the menu.
    bool SetMenu(HMENU menu);

    HWND Hwnd() const;          // the rebar
    HWND ToolbarHwnd() const;   // the toolbar (id 321)
    int Height() const;         // the rebar's height
    int FullWidth() const;      // width needed to show every button

    // Keyboard access from the main window's WM_SYSCOMMAND SC_KEYMENU:
    // `key` is the character (0 for Alt or F10 alone). True when handled.
    // A letter opens the popup whose title has it as mnemonic; Alt or F10
    // alone opens the first popup. Returns once the popups are closed.
    bool OnKeyMenu(wchar_t key);

    // Draws the button texts in `text` with `font` when `themed` is set;
    // otherwise in the system's colours and font. A null `font` keeps the
    // system's font.
    void SetColors(COLORREF text, HFONT font, bool themed);

private:
    friend class CReBarWnd;

    // From the rebar: the toolbar's notifications, and the posted request
    // to open popup `index` (then every popup the user moves on to).
    bool OnToolbarNotify(const NMHDR& header, LRESULT& result);
    void TrackPopups(int index);
    // The rebar is being destroyed, with the toolbar (also when the main
    // window goes first).
    void OnRebarDestroyed();

    bool FillButtons();
    void ApplyFont();
    int ButtonCount() const;
    bool IsButtonEnabled(int index) const;
    int NextEnabledButton(int from, int step) const;
    int ButtonAtScreenPoint(POINT point) const;
    // Runs the modal loop of popup `index`; returns when it closes.
    void ShowPopup(int index);
    LRESULT OnCustomDraw(NMTBCUSTOMDRAW& draw);

    // While a popup is open: the thread's menu messages, before the menu
    // sees them. True when the message was used up.
    static LRESULT CALLBACK MenuFilterProc(int code, WPARAM wParam, LPARAM lParam);
    bool OnMenuMessage(const MSG& message);
    void SwitchTo(int index);

    CReBarWnd rebar_{*this};
    HWND toolbar_ = nullptr;
    HMENU menu_ = nullptr;
    std::vector<std::wstring> titles_;
    ScopedGdiObject systemFont_;
    HFONT themeFont_ = nullptr;
    COLORREF textColor_ = 0;
    bool themed_ = false;
    bool tracking_ = false;
    int openPopup_ = -1;
    int nextPopup_ = -1;
    // Cleared when the object dies; a popup loop that outlives it (a message
    // dispatched inside the menu loop may drop the bar) checks it on return.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
