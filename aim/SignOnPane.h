// The two panes of the main window while no account is on line:
// CMainSignOnPane, where the user picks or types a screen name, enters the
// password, chooses how to appear and signs on; and CMainSignOnStatePane,
// which shows the progress of a sign-on and offers to cancel it. The sign-on
// pane also keeps the remembered screen names ("Users") and their saved
// passwords.
#pragma once

#include "AccountSettings.h"
#include "PaneWnd.h"
#include "ScopedImageList.h"
#include "SuperComboBoxWnd.h"
#include "SuperEditWnd.h"

#include <commctrl.h>

#include <string>

constexpr int kSignOnPaneKindId = 0x534B0008;
constexpr int kSignOnStatePaneKindId = 0x534B0002;

// How to appear once on line: 1 available, 2 away, 3 invisible.
int SignOnOption();
void SetSignOnOption(int option);
// Whether the current sign-on was started from the sign-on pane; the
// connection applies the sign-on option only then.
bool SignOnStartedByUser();
void SetSignOnStartedByUser(bool started);

class CMainSignOnPane : public CPaneWnd {
public:
    // Control ids.
    enum : int {
        kNameLabel = 1, kNameBox = 2, kPasswordLabel = 3, kPasswordBox = 4,
        kRememberName = 5, kRememberPassword = 6, kAutoSignOn = 7, kSignOnBar = 8,
    };
    static constexpr UINT_PTR kAutoSignOnTimer = 135;
    static constexpr UINT kAutoSignOnDelay = 400;

    bool Create(HWND parent);
    int PaneId() const override { return kSignOnPaneKindId; }

    // Clears the password unless it is to be remembered (after signing off).
    void ResetSignOnPane();
    // Signs on by itself 400 ms from now when all three boxes say so.
    void StartAutoSignOn();
    // What the sign-on button does.
    void SignOn();

    HWND NameBox() const { return nameBox_.Hwnd(); }
    HWND PasswordBox() const { return passwordBox_.Hwnd(); }

protected:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool CreateControls(HWND hwnd);
    void LoadRememberedUsers();
    void OnSelectUser();
    LRESULT OnCommand(HWND hwnd, int id, int code, HWND control);
    LRESULT OnNotify(HWND hwnd, NMHDR* header);
    bool ForgetSelectedName();
    void ShowOptionMenu();
    void Layout(int width);
    bool IsChecked(int id) const;
    void Check(int id, bool checked);
    std::wstring TypedName() const;
    std::wstring SelectedName() const;

    CSuperComboBoxWnd nameBox_;
    CSuperEditWnd passwordBox_;
    HWND toolbar_ = nullptr;
    ScopedImageList images_;
};

class CMainSignOnStatePane : public CPaneWnd {
public:
    enum : int { kProgressText = 1, kCancelBar = 2 };

    bool Create(HWND parent);
    int PaneId() const override { return kSignOnStatePaneKindId; }

    // A language string id (up to 0xFFFF) or a text.
    void SetProgressText(UINT stringId);
    void SetProgressText(const std::wstring& text);
    std::wstring ProgressText() const;

protected:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Layout(int width);
    void DrawProgress(const DRAWITEMSTRUCT* item);

    HWND text_ = nullptr;
    HWND toolbar_ = nullptr;
    int textHeight_ = 0;
};
