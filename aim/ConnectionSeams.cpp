#include "ConnectionSeams.h"

// Nothing receives these events yet.

HWND ConversationWindowFor(CAIMConnection*, AIMCC::IAccImSession*, bool) { return nullptr; }
HWND ConversationWindowWithBuddy(CAIMConnection*, AIMCC::IAccUser*) { return nullptr; }
void PassImEvent(HWND, DISPID, AIMCC::IAccUser*, AIMCC::IAccIm*, long, HRESULT) {}
void PassRequestResult(HWND, DISPID, long, long, HRESULT) {}
void PassBuddyChange(HWND, AIMCC::IAccUser*, long) {}
void TellConversationWindows(long) {}
void RefreshActiveConversation() {}
void HideConversationWindows(bool) {}
bool IsConversationInView(HWND) { return false; }
void UpdateConversationTab(HWND) {}
void ToastBuddyEvent(CAIMConnection*, AIMCC::IAccUser*, long) {}
void ToastMessage(CAIMConnection*, AIMCC::IAccImSession*, AIMCC::IAccUser*, AIMCC::IAccIm*) {}
void ToastNewMail(CAIMConnection*, AIMCC::IAccMail*) {}
void UpdateToast(HWND) {}
void CloseAllToasts() {}
void SetSoundsMuted(bool) {}
void PlaySessionSound(HWND, CAIMConnection*) {}
void LogBuddyEvent(CAIMConnection*, AIMCC::IAccUser*, long) {}
void RereadLogFolder() {}
void RefreshInfoTips(HWND) {}
void ReloadBuddyInfo(HWND) {}
void ShowBuddyProfile(HWND, AIMCC::IAccUser*, bool) {}
void ShowBuddyAwayMessage(HWND, AIMCC::IAccUser*) {}
void UpdateBuddyEventView(HWND, CAIMConnection*, AIMCC::IAccUser*) {}
HWND BuddyEventView() { return nullptr; }
void OpenNewSessionPrompt(CAIMConnection*, AIMCC::IAccObject*, long) {}
void UpdateNewSessionPrompt(HWND) {}
bool CloseNewSessionPromptFor(AIMCC::IAccObject*) { return false; }
void StartOutgoingTransfer(CAIMConnection*, const std::wstring&, const std::wstring&, bool) {}
void PassFileTransferEvent(CAIMConnection*, DISPID, AIMCC::IAccObject*, AIMCC::IAccObject*, long) {}
void PassFileShareRequestToTransfers(CAIMConnection*, AIMCC::IAccFileShare*, long, AIMCC::IAccFileShareEntry*, HRESULT) {}
void PassFileShareEvent(HWND, CAIMConnection*, DISPID, AIMCC::IAccObject*, long, HRESULT) {}
void LoadSpellChecker() {}
void UnloadSpellChecker() {}
void ResetAutoHide() {}
