// The main window as the connection objects see it: which pane shows, the
// progress text, the notices. The main window lives above this layer, so it
// registers itself here when it is created.
#pragma once

#include <windows.h>

#include <string>

class CPaneWnd;
class IBuddyListEvents;
class CMainSignOnPane;
class CMainSignOnStatePane;

class IMainPanes {
public:
    virtual HWND PanesWindow() const = 0;
    virtual CMainSignOnPane* SignOnPane() = 0;
    virtual CMainSignOnStatePane* SignOnProgressPane() = 0;
    virtual CPaneWnd* BuddyListPane() = 0;
    // The buddy-list pane as the connection events reach it; null while
    // there is none.
    virtual IBuddyListEvents* BuddyList() = 0;
    virtual void AddNotice(HICON icon, const std::wstring& text) = 0;
    virtual void ClearNotices() = 0;

protected:
    ~IMainPanes() = default;
};

// Null until the main window exists, and again after it is gone.
void SetMainPanes(IMainPanes* panes);
IMainPanes* MainPanes();
