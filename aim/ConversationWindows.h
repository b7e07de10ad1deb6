// The conversation windows as the connection objects see them. The windows
// live above this layer, so their owner registers itself here at start-up;
// until then every conversation event goes nowhere.
#pragma once

#include "AccCore.h"

#include <windows.h>

class CAIMConnection;

class IConversationWindows {
public:
    // The window holding `imSession`; with `create`, made when there is none.
    virtual HWND WindowFor(CAIMConnection* connection, AIMCC::IAccImSession* imSession, bool create) = 0;
    // The one-to-one conversation with `buddy`, if open.
    virtual HWND WindowWithBuddy(CAIMConnection* connection, AIMCC::IAccUser* buddy) = 0;
    virtual void PassImEvent(HWND window, DISPID event, AIMCC::IAccUser* user, AIMCC::IAccIm* message, long value,
                             HRESULT result) = 0;
    virtual void PassRequestResult(HWND window, DISPID event, long requestId, long value, HRESULT result) = 0;
    virtual void PassBuddyChange(HWND window, AIMCC::IAccUser* buddy, long property) = 0;
    virtual void TellAll(long code) = 0;
    virtual void RefreshActive() = 0;
    virtual void HideAll(bool hide) = 0;
    virtual bool IsInView(HWND window) = 0;

protected:
    ~IConversationWindows() = default;
};

// Null until registered, and again after the owner is gone.
void SetConversationWindows(IConversationWindows* windows);
IConversationWindows* ConversationWindows();
