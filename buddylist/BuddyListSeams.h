// Where the buddy list hands over to windows and features that are built
// later. Each function is the one place its feature will fill; until then
// it does nothing (and answers "no" where it answers), so the menus and
// commands that lead here can exist with their real conditions already.
#pragma once

#include "AccCore.h"

#include <windows.h>

#include <string>
#include <vector>

// Conversation windows: open or bring forward the IM with a buddy (through
// the account's connection).
void OpenConversation(AIMCC::IAccSession* session, const std::wstring& screenName);

// Chat invitations to the given buddies, names joined with ",".
void OpenChatInvitation(AIMCC::IAccSession* session, const std::wstring& names);
// The broadcast message window for the selected buddies.
void OpenBroadcastMessage(AIMCC::IAccSession* session, const std::vector<std::wstring>& screenNames);

// Info tips: the tip for a buddy near a screen point, and hiding it.
void ShowBuddyInfoTip(AIMCC::IAccSession* session, const std::wstring& screenName, POINT screen);
void HideBuddyInfoTip();

// The buddy info window, and the buddy panel (alias, note, group) for an
// existing buddy or, with an empty name, a new one in `group`.
void OpenBuddyInfo(AIMCC::IAccSession* session, const std::wstring& screenName);
void OpenBuddyPanel(AIMCC::IAccSession* session, const std::wstring& screenName, const std::wstring& group);
// The group editor: rename `group`, or make a new group when it is empty.
void OpenGroupEditor(AIMCC::IAccSession* session, const std::wstring& group);

// File transfer: send a file or a folder to a buddy (a dialog asks which;
// the account's connection takes it from there).
void SendFileTo(HWND owner, AIMCC::IAccSession* session, const std::wstring& screenName);
void SendFolderTo(HWND owner, AIMCC::IAccSession* session, const std::wstring& screenName);
// File sharing: browse a buddy's shared files; the sharing permissions.
void BrowseSharedFiles(AIMCC::IAccSession* session, const std::wstring& screenName);
void OpenSharingPermissions(AIMCC::IAccSession* session);

// The log manager on one buddy's logs.
void OpenBuddyLogs(AIMCC::IAccSession* session, const std::wstring& screenName);

// Status: the status menu of an account's header (available, away messages,
// invisible) at a screen point.
void ShowStatusMenu(HWND owner, AIMCC::IAccSession* session, POINT screen);
// The profile editor and the own-icon picker of an account.
void OpenProfileEditor(AIMCC::IAccSession* session);
void ChooseOwnBuddyIcon(HWND owner, AIMCC::IAccSession* session);

// The buddy list toolbar and the identity panel of the pane: their heights
// while shown (0 while they do not exist).
int BuddyListToolbarHeight();
int IdentityPanelHeight();

// Auto-hide of the main window ("AutoHide" 1-3).
void StartAutoHide(int mode);
