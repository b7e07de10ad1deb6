// CPaneWnd: one page of the main window's client area (sign-on, sign-on
// progress, buddy list). Exactly one pane is current and visible; the others
// wait hidden. Panes draw over the main window's background picture.
#pragma once

#include "SubclsWnd.h"

#include <vector>

class CPaneWnd : public CSubclsWnd {
public:
    CPaneWnd();
    ~CPaneWnd() override;

    // A 5x5 child of `parent`, attached with `kind`, hidden until shown.
    bool Create(HWND parent, int kind, int controlId);

    // Identifies the pane to outsiders (the main window answers WM_USER
    // with the current pane's id). 0 unless a pane says otherwise.
    virtual int PaneId() const { return 0; }

    // Makes `pane` the current pane, placed over the area the main window
    // gives it; with `animate` the previous pane slides out.
    static void ShowPane(CPaneWnd* pane, bool animate);
    static CPaneWnd* Current() { return current_; }
    static const std::vector<CPaneWnd*>& All() { return panes_; }

    // Where panes go in their parent's client area (below the menu bar and
    // the notice bar); the main window sets this.
    using AreaProvider = RECT (*)(HWND parent);
    static void SetAreaProvider(AreaProvider provider) { areaProvider_ = provider; }

protected:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnEraseBackground(HWND hwnd, HDC dc);
    LRESULT OnCtlColorStatic(HWND hwnd, HDC dc, HWND control);

    static std::vector<CPaneWnd*> panes_;
    static CPaneWnd* current_;
    static AreaProvider areaProvider_;
};

extern const wchar_t kPaneClassName[]; // "__oVLMoMAINoPANEoWNDo__"
bool RegisterPaneClass();
