// Where the connection objects hand AIM events to windows and managers that
// later features of the program provide. Until a feature lands, its
// functions here do nothing and answer "none" (ConnectionSeams.cpp); the
// feature then replaces their bodies. The connection decides whether and
// when to call them (settings, request map, window kinds), so that logic is
// in place and tested before its targets exist.
#pragma once

#include "AccCore.h"

#include <windows.h>

#include <string>

class CAIMConnection;

// Conversation windows, one per IM, direct-IM or chat session.
// The window holding `imSession`; with `create`, opened when there is none
// (null when it cannot be).
HWND ConversationWindowFor(CAIMConnection* connection, AIMCC::IAccImSession* imSession, bool create);
// The window of the one-to-one conversation with `buddy`, if open.
HWND ConversationWindowWithBuddy(CAIMConnection* connection, AIMCC::IAccUser* buddy);
// An event of the window's session (502-613), its arguments as received.
void PassImEvent(HWND conversation, DISPID event, AIMCC::IAccUser* user, AIMCC::IAccIm* message, long value,
                 HRESULT result);
// A request the window started was answered (104, 121 kind 103, 506, 507,
// 120 for the message editor).
void PassRequestResult(HWND window, DISPID event, long requestId, long value, HRESULT result);
// The buddy's state changed (209).
void PassBuddyChange(HWND conversation, AIMCC::IAccUser* buddy, long property);
// Own expression items changed: every conversation window hears `code`.
void TellConversationWindows(long code);
// The first conversation window (or the tabbed window's active one) redraws.
void RefreshActiveConversation();
// Away with "Status"/"HideIMsWhenAway": hide or show them all.
void HideConversationWindows(bool hide);
// Whether the user is looking at that conversation: it is the active window,
// or the visible tab of the active tabbed message window.
bool IsConversationInView(HWND conversation);

// The tabbed message window: the tab of a conversation follows its buddy.
void UpdateConversationTab(HWND conversation);

// Toasts.
void ToastBuddyEvent(CAIMConnection* connection, AIMCC::IAccUser* buddy, long property);
void ToastMessage(CAIMConnection* connection, AIMCC::IAccImSession* imSession, AIMCC::IAccUser* sender,
                  AIMCC::IAccIm* message);
void ToastNewMail(CAIMConnection* connection, AIMCC::IAccMail* mail);
void UpdateToast(HWND toastManager);
void CloseAllToasts();

// Sounds.
void SetSoundsMuted(bool muted);
void PlaySessionSound(HWND soundManager, CAIMConnection* connection);

// The log writer (BuddyEventLog.h).
void LogBuddyEvent(CAIMConnection* connection, AIMCC::IAccUser* before, AIMCC::IAccUser* now, long property);
void RereadLogFolder();

// Info tips.
void RefreshInfoTips(HWND tipManager);

// The buddy info window.
void ReloadBuddyInfo(HWND infoWindow);
void ShowBuddyProfile(HWND infoWindow, AIMCC::IAccUser* buddy, bool failed);
void ShowBuddyAwayMessage(HWND infoWindow, AIMCC::IAccUser* buddy);

// The buddy event view.
void UpdateBuddyEventView(HWND view, CAIMConnection* connection, AIMCC::IAccUser* buddy);
// The open buddy event view, if any.
HWND BuddyEventView();

// The new-session prompt for an offered IM, file transfer or file share.
void OpenNewSessionPrompt(CAIMConnection* connection, AIMCC::IAccObject* offered, long mode);
void UpdateNewSessionPrompt(HWND prompt);
// Closes the prompt open for `offered`; false when there is none.
bool CloseNewSessionPromptFor(AIMCC::IAccObject* offered);

// The file-transfer window.
void StartOutgoingTransfer(CAIMConnection* connection, const std::wstring& buddy, const std::wstring& path,
                           bool folder);
void PassFileTransferEvent(CAIMConnection* connection, DISPID event, AIMCC::IAccObject* transfer,
                           AIMCC::IAccObject* file, long value);
void PassFileShareRequestToTransfers(CAIMConnection* connection, AIMCC::IAccFileShare* share, long requestId,
                                     AIMCC::IAccFileShareEntry* entry, HRESULT result);

// The file-share browser.
void PassFileShareEvent(HWND browser, CAIMConnection* connection, DISPID event, AIMCC::IAccObject* share,
                        long requestId, HRESULT result);

// The spell checker's dictionaries: loaded while the primary account is on line.
void LoadSpellChecker();
void UnloadSpellChecker();

// The auto-hide manager: a main window docked with auto-hide starts over.
void ResetAutoHide();
