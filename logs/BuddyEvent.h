// What a change of one buddy property means to the user: signed on, went
// away, came back and so on. One classifier serves the event logs, the toasts
// and the buddy event view, so all three agree on what happened.
#pragma once

#include "BuddyPresence.h"

#include <windows.h>

#include <cstddef>
#include <vector>

// Bit n-1 of a mask stands for event n.
enum class BuddyEvent : int {
    None = 0,
    SignOn = 1,
    SignOff = 2,
    Away = 3,
    Back = 4,
    MobileOn = 5,
    MobileOff = 6,
    Idle = 7,
    Active = 8,
    PersonalMessage = 9,
    Feed = 10,
    // Not an event: conversations with the buddy are logged.
    LogConversations = 11,
};

constexpr UINT BuddyEventBit(BuddyEvent event)
{
    return event == BuddyEvent::None ? 0u : 1u << (static_cast<int>(event) - 1);
}

// Events 1-10.
constexpr UINT kAllBuddyEventsMask = 0x3FF;
// Seconds of idle time from which a buddy counts as idle.
constexpr long kIdleThreshold = 600;

// The buddy properties the classifier looks at, as the layer reports them.
struct BuddyState {
    long presence = -1;  // -1 while the layer has not told it yet
    long flags = 0;
    long idleSeconds = 0;
};

// Layer property numbers the classifier understands.
namespace BuddyProperty {
enum : long {
    Presence = 3,
    Flags = 4,
    IdleTime = 8,
    Feed = 16,
    StatusText = 10002,
    PresenceMessage = 10009,
};
}

// The event a change of `property` from `before` to `after` is, or None.
// Presence changes are tested as sign-on, sign-off, away, back, idle, active,
// and the first that matches is the event. Property 10002/10009 and 16 always
// make PersonalMessage and Feed; whether the new message is readable is for
// the caller to check.
BuddyEvent ClassifyBuddyChange(long property, const BuddyState& before, const BuddyState& after);

// Whether `mask` lets `event` through. Mobile changes pass in either
// direction when either mobile bit is set: the two are one switch to users.
bool IsBuddyEventEnabled(UINT mask, BuddyEvent event);

// One account of the client as the multi-account rule sees it.
struct AccountListing {
    bool signedOn = false;
    bool listsBuddy = false;
};

// Every signed-on account hears a buddy's changes, but the buddy's event is
// recorded once: by the first signed-on account (in the client's order)
// whose buddy list holds the buddy. When no account lists the buddy, the
// first signed-on account records it. True when `self` is that account.
bool IsRecordingAccount(const std::vector<AccountListing>& accounts, size_t self);
