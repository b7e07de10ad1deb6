#include "ConnectionSeams.h"

#include "BuddyEventLog.h"
#include "ConversationWindows.h"

// The conversation windows, once their owner has registered.

HWND ConversationWindowFor(CAIMConnection* connection, AIMCC::IAccImSession* imSession, bool create)
{
    IConversationWindows* windows = ConversationWindows();
    return windows ? windows->WindowFor(connection, imSession, create) : nullptr;
}

HWND ConversationWindowWithBuddy(CAIMConnection* connection, AIMCC::IAccUser* buddy)
{
    IConversationWindows* windows = ConversationWindows();
    return windows ? windows->WindowWithBuddy(connection, buddy) : nullptr;
}

void PassImEvent(HWND conversation, DISPID event, AIMCC::IAccUser* user, AIMCC::IAccIm* message, long value,
                 HRESULT result)
{
    if (IConversationWindows* windows = ConversationWindows())
        windows->PassImEvent(conversation, event, user, message, value, result);
}

void PassRequestResult(HWND window, DISPID event, long requestId, long value, HRESULT result)
{
    if (IConversationWindows* windows = ConversationWindows())
        windows->PassRequestResult(window, event, requestId, value, result);
}

void PassBuddyChange(HWND conversation, AIMCC::IAccUser* buddy, long property)
{
    if (IConversationWindows* windows = ConversationWindows())
        windows->PassBuddyChange(conversation, buddy, property);
}

void TellConversationWindows(long code)
{
    if (IConversationWindows* windows = ConversationWindows())
        windows->TellAll(code);
}

void RefreshActiveConversation()
{
    if (IConversationWindows* windows = ConversationWindows())
        windows->RefreshActive();
}

void HideConversationWindows(bool hide)
{
    if (IConversationWindows* windows = ConversationWindows())
        windows->HideAll(hide);
}

bool IsConversationInView(HWND conversation)
{
    IConversationWindows* windows = ConversationWindows();
    return windows && windows->IsInView(conversation);
}

// Nothing receives these events yet.

void UpdateConversationTab(HWND) {}
void ToastBuddyEvent(CAIMConnection*, AIMCC::IAccUser*, long) {}
void ToastMessage(CAIMConnection*, AIMCC::IAccImSession*, AIMCC::IAccUser*, AIMCC::IAccIm*) {}
void ToastNewMail(CAIMConnection*, AIMCC::IAccMail*) {}
void UpdateToast(HWND) {}
void CloseAllToasts() {}
void SetSoundsMuted(bool) {}
void PlaySessionSound(HWND, CAIMConnection*) {}
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

// The log writer, once the program has registered it.

void LogBuddyEvent(CAIMConnection* connection, AIMCC::IAccUser* before, AIMCC::IAccUser* now, long property)
{
    if (IBuddyEventLog* log = BuddyEventLog())
        log->OnBuddyChanged(connection, before, now, property);
}

void RereadLogFolder()
{
    if (IBuddyEventLog* log = BuddyEventLog())
        log->RereadLogFolder();
}
