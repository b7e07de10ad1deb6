// Features that start-up, shutdown, the notification-area menu and the main
// window call, declared here at the bottom of the program so every layer can
// reach them. The session functions are implemented by the connection
// objects (aim/AIMConnection.cpp); the others are features built later, and
// until then their stubs in Seams.cpp do nothing (and say "no" where they
// answer).
#pragma once

#include <windows.h>

#include <string>

// Sound manager: its message-only window, MCI playback, "Sounds\Temp\".
bool CreateSoundManager();
void DestroySoundManager();

// The now-playing receiver window of the media-player plug-ins.
bool CreateMediaListener();
void DestroyMediaListener();

// Application lock.
void LoadAppLockPassword();
bool IsAppLocked();
void AppLockCommand();

// Sessions: whether the primary session is on line, and signing all off.
bool IsPrimaryOnline();
void SignOffAllSessions();
void ReleaseAllSessions();

// The primary session as the sign-on pane drives it: its identity ("" when
// it has no AIM session yet), preparing it for a screen name, signing it on
// and off, and letting go of every other session.
std::wstring PrimaryIdentity();
void PreparePrimarySession(const std::wstring& screenName);
void SignOnPrimary(const std::wstring& screenName, const std::wstring& password);
void SignOffPrimary();
void ReleaseOtherSessions();

// The settings window on `page`; `singlePage` while no session is on line.
void OpenSettingsWindow(int page, bool singlePage);

// aim: links parsed here in the running client, and "vlm://" links.
void ProcessAimUrlLocally(const std::wstring& url);
void ProcessInternalLink(const std::wstring& link);
// Queues "open an IM with screenName" until a session's buddy list is ready.
void QueueOpenIm(const std::wstring& screenName);

// Info tips, toasts and the buddy-list pane's shared drawing objects, torn
// down at shutdown. The theme picture is freed by buddylist/BLTheme.cpp.
void StopInfoTips();
void DestroyToasts();
void ReleaseBuddyListResources();
void ReleaseThemePicture();

// The auto-hide manager: slide a hidden main window in (tray mouse move).
void ShowAutoHiddenMainWindow();
