// CMainWnd: the program's one application window. It carries the menu bar,
// the notice bar and one visible pane at a time (sign-on, sign-on progress,
// buddy list), paints the background the bars and panes stand on, keeps its
// placement under "WndPos"/"Main", snaps to screen edges, and only hides when
// closed: the program lives on in the notification area.
#pragma once

#include "InfoBar.h"
#include "MainPanes.h"
#include "MainBLPane.h"
#include "MenuBarWnd.h"
#include "PaneWnd.h"
#include "ScreenDock.h"
#include "ScopedHandle.h"
#include "SignOnPane.h"

#include <memory>

extern const wchar_t kMainClassName[]; // "__oVLMoMAINoWNDo__"

// Identifies the pane kinds to outsiders (WM_USER to the main window).
constexpr int kSignOnPaneId = kSignOnPaneKindId;
constexpr int kSignOnProgressPaneId = kSignOnStatePaneKindId;

// A pane that only says which one it is, until its feature fills it.
class CIdentifiedPane : public CPaneWnd {
public:
    explicit CIdentifiedPane(int paneId) : paneId_(paneId) {}
    int PaneId() const override { return paneId_; }

private:
    int paneId_;
};

class CMainWnd : public CScreenDock, public IMainPanes {
public:
    CMainWnd();
    ~CMainWnd() override;

    // Registers the class, creates the window owned by `owner` (the
    // notification-area window), its bars and panes, restores the placement
    // and shows it. Shows the error box and returns false on failure.
    bool Create(HWND owner);

    void SetBackgroundColor(COLORREF color);
    void SetTextColor(COLORREF color);
    // 1 shows, 0 hides, -1 follows "General"/"ShowMainMenu".
    void ShowMenuBar(int show);

    // Shows the window in front (tray icon double-click, second start).
    void ShowInFront();

    // Paints the background again (a theme came or went) and redraws the
    // window with all its children.
    void RefreshBackground();

    // Notices above the pane (sign-on errors and the like).
    void AddNotice(HICON icon, const std::wstring& text) override;
    void ClearNotices() override;

    HWND PanesWindow() const override { return Hwnd(); }
    CMainSignOnPane* SignOnPane() override { return &signOnPane_; }
    CMainSignOnStatePane* SignOnProgressPane() override { return &progressPane_; }
    CPaneWnd* BuddyListPane() override { return &buddyListPane_; }
    IBuddyListEvents* BuddyList() override { return &buddyListPane_; }
    COLORREF BackgroundColor() const { return background_; }
    COLORREF GradientColor() const { return gradient_; }
    COLORREF TextColor() const { return text_; }
    const CMenuBarWnd* MenuBar() const { return menuBar_.get(); }

    // The area of the client that panes cover: below the menu bar and the
    // notice bar.
    RECT PaneArea() const;

protected:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool RegisterClass();
    void RebuildBackground();
    void Layout();
    void RestorePlacement();
    HMENU BuildMenu();
    // The account the list's selection belongs to, else the primary one:
    // what the main menu's account commands act on.
    AIMCC::IAccSession* SelectedOrPrimarySession() const;

    void OnCommand(int id);
    void ToggleViewSwitch(const wchar_t* key);
    int PopupPosition(HMENU popup) const;
    void OnInitMenuPopup(HMENU popup, int position);
    LRESULT OnCopyData(const COPYDATASTRUCT* data);
    void OnGetMinMaxInfo(MINMAXINFO* info);
    void OnWindowPosChanging(WINDOWPOS* pos);
    void OnClose();
    LRESULT OnSysCommand(HWND hwnd, WPARAM command, LPARAM lParam);
    void OnPaint(HWND hwnd);

    std::unique_ptr<CMenuBarWnd> menuBar_;
    HMENU menu_ = nullptr;
    COLORREF background_ = 0xF9F6EC;
    COLORREF text_ = 0;
    COLORREF gradient_ = 0;
    bool inMenuLoop_ = false;
    CMainSignOnPane signOnPane_;
    CMainSignOnStatePane progressPane_;
    CMainBLPane buddyListPane_;
    std::unique_ptr<CInfoBar> infoBar_;
};

// The program's main window (null before start-up created it).
CMainWnd* MainWindow();
void SetMainWindow(CMainWnd* window);

// The gradient colour that goes with a background colour: lighter for a
// dark background, darker for a light one.
COLORREF GradientFor(COLORREF background);

// The position a window may take on a monitor: a rectangle that is on no
// monitor's work area any more is moved into the nearest one.
RECT KeepOnScreen(const RECT& rect);
