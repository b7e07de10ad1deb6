// CSysTrayIcon: the notification-area icon and its hidden window, which is
// also the program's message hub. A second start of the program finds the
// window by its class "__oVLMoSYSTRAYoWNDo__" and talks to it; the shell's
// "TaskbarCreated" broadcast (Explorer restarted) makes it add the icon again.
#pragma once

#include "NotificationIcon.h"
#include "ScopedHandle.h"
#include "SubclsWnd.h"

#include <shellapi.h>

extern const wchar_t kSysTrayClassName[]; // "__oVLMoSYSTRAYoWNDo__"
constexpr UINT kAppMessage = WM_APP + 1;   // 0x8001: the icon's callbacks and the codes below
constexpr LPARAM kAppOpenSettings = 0x8002;
constexpr LPARAM kAppInternalLink = 0x8003;
constexpr LPARAM kAppShowMainWindow = 0x8004;
// The update check has a finding waiting (see TakeUpdateResult).
constexpr LPARAM kAppUpdateResult = 0x8005;
// The code the handler receives for WM_COPYDATA (wParam: the COPYDATASTRUCT).
constexpr LPARAM kAppCopyData = WM_COPYDATA;

class CSysTrayIcon : public CSubclsWnd, public INotificationIcon {
public:
    // Receives the icon's callbacks (code = the mouse message or one of the
    // codes above) and WM_COPYDATA. A non-zero answer hands the keyboard
    // focus back to the notification area.
    using Handler = int (*)(HWND hwnd, WPARAM wParam, LPARAM code);

    CSysTrayIcon();
    ~CSysTrayIcon() override;

    // Creates the hidden window (nothing when it exists). Shows the error box
    // itself when the class or the window cannot be made.
    bool Create(Handler handler);
    void Destroy();

    // The icon takes ownership of `icon`.
    bool AddIcon(HICON icon, UINT id, const wchar_t* tip);
    bool ChangeIcon(HICON icon);
    // The primary account's state: the media library's icon `id`. Nothing
    // while the shell shows no icon.
    void ShowAccountIcon(int id) override;
    HWND MessageWindow() const override { return Hwnd(); }
    bool ShowBalloon(const wchar_t* title, const wchar_t* text, DWORD infoFlags);
    bool RemoveIcon();
    bool HasIcon() const { return added_; }

protected:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool Notify(DWORD action);
    void OnTaskbarCreated();

    NOTIFYICONDATAW data_;
    ScopedIcon icon_;
    Handler handler_ = nullptr;
    UINT taskbarCreated_ = 0;
    bool added_ = false;
};
