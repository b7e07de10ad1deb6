#include "AppMessages.h"

#include "AimLinks.h"
#include "CopyData.h"
#include "LangStrings.h"
#include "MainWnd.h"
#include "OtherWindows.h"
#include "Seams.h"
#include "Startup.h"
#include "SysTrayIcon.h"
#include "UpdateCheck.h"

#include <deque>
#include <mutex>

namespace {

enum TrayCommand : UINT {
    kTraySignOff = 7002,
    kTrayStatus = 7001,
    kTraySettings = 7003,
    kTrayShowList = 7004,
    kTrayLock = 7005,
    kTrayExit = 7006,
};

std::mutex g_linkLock;
std::deque<std::wstring> g_links;

void ShowMainWindow()
{
    if (IsAppLocked())
        return;
    if (CMainWnd* main = MainWindow())
        main->ShowInFront();
}

void RunInternalLinks()
{
    for (;;) {
        std::wstring link;
        {
            std::lock_guard<std::mutex> lock(g_linkLock);
            if (g_links.empty())
                return;
            link = std::move(g_links.front());
            g_links.pop_front();
        }
        ProcessInternalLink(link);
    }
}

void ShowUpdateFindings()
{
    UpdateResult result;
    while (TakeUpdateResult(result)) {
        std::wstring title;
        std::wstring text;
        if (result.finding == UpdateFinding::NewRelease || result.finding == UpdateFinding::NewTestVersion) {
            title = LoadLangString(242);
            text = FormatLangString(243, {LoadLangString(result.finding == UpdateFinding::NewRelease ? 245 : 244)});
        } else if (result.explicitRequest) {
            title = LoadLangString(507);
            text = LoadLangString(508);
        } else {
            continue;
        }
        TrayIcon().ShowBalloon(title.c_str(), text.c_str(), NIIF_INFO);
    }
}

void OnCopyData(const COPYDATASTRUCT* data)
{
    std::wstring url;
    if (data && data->dwData == kCopyDataAimUrl && ReadCopyDataText(data->lpData, data->cbData, url))
        ProcessAimUrl(url, false);
}

void ShowTrayMenu(HWND hwnd)
{
    const bool locked = IsAppLocked();
    const bool online = IsPrimaryOnline();
    HMENU menu = BuildTrayMenu(locked, online);
    POINT cursor;
    GetCursorPos(&cursor);
    // The menu only closes on a click elsewhere when its owner is in front.
    SetForegroundWindow(hwnd);
    const UINT command = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, cursor.x, cursor.y, 0, hwnd, nullptr);
    PostMessageW(hwnd, WM_NULL, 0, 0);
    DestroyMenu(menu);
    switch (command) {
    case kTraySignOff:
        SignOffFromTray();
        break;
    case kTraySettings:
        OpenSettingsWindow(200, !online);
        break;
    case kTrayShowList:
        ShowMainWindow();
        break;
    case kTrayLock:
        AppLockCommand();
        break;
    case kTrayExit:
        PostQuitMessage(0);
        break;
    default:
        // 1-2000 belong to the status submenu, which comes with the buddy
        // list's status menu.
        break;
    }
}

} // namespace

HMENU BuildTrayMenu(bool locked, bool online)
{
    auto grey = [](bool greyed) { return greyed ? MF_GRAYED : MF_ENABLED; };
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING | grey(locked || !online), kTraySignOff, LoadLangString(60).c_str());
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING | grey(locked || !online), kTrayStatus, LoadLangString(455).c_str());
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING | grey(locked), kTraySettings, LoadLangString(132).c_str());
    AppendMenuW(menu, MF_STRING | grey(locked), kTrayShowList, LoadLangString(59).c_str());
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kTrayLock, LoadLangString(locked ? 569 : 568).c_str());
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING | grey(locked), kTrayExit, LoadLangString(58).c_str());
    return menu;
}

void SignOffFromTray()
{
    if (OtherWindowsOpen()) {
        HWND owner = MainWindow() ? MainWindow()->Hwnd() : nullptr;
        if (ShowErrorBox(owner, 224, MB_ICONQUESTION | MB_YESNO | MB_SETFOREGROUND) != IDYES)
            return;
        CloseOtherWindows();
    }
    if (CMainWnd* main = MainWindow())
        main->SignOnPane()->ResetSignOnPane();
    SignOffAllSessions();
}

void PostInternalLink(HWND trayWindow, const std::wstring& link)
{
    {
        std::lock_guard<std::mutex> lock(g_linkLock);
        g_links.push_back(link);
    }
    PostMessageW(trayWindow, kAppMessage, 0, kAppInternalLink);
}

int AppMessageHandler(HWND hwnd, WPARAM wParam, LPARAM code)
{
    switch (code) {
    case kAppCopyData:
        OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(wParam));
        break;
    case WM_MOUSEMOVE:
        ShowAutoHiddenMainWindow();
        break;
    case WM_LBUTTONDBLCLK:
    case kAppShowMainWindow:
        ShowMainWindow();
        break;
    case WM_RBUTTONUP:
        ShowTrayMenu(hwnd);
        break;
    case kAppOpenSettings:
        OpenSettingsWindow(209, false);
        break;
    case kAppInternalLink:
        RunInternalLinks();
        break;
    case kAppUpdateResult:
        ShowUpdateFindings();
        break;
    default:
        break;
    }
    return 0;
}
