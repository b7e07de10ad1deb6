#include "BuddyEvent.h"

namespace {

BuddyEvent ClassifyPresence(long before, long after)
{
    // Presence values: 0 offline, 1 online, 2 idle, 3 away.
    if (before == 0 && after >= 1)
        return BuddyEvent::SignOn;
    if (before >= 1 && after == 0)
        return BuddyEvent::SignOff;
    if (after == 3 && before != 3)
        return BuddyEvent::Away;
    if (before == 3 && after != 3)
        return BuddyEvent::Back;
    if (after == 2 && before != 2)
        return BuddyEvent::Idle;
    if (before == 2 && after != 2)
        return BuddyEvent::Active;
    return BuddyEvent::None;
}

BuddyEvent ClassifyIdleTime(long before, long after)
{
    if (before < kIdleThreshold && after >= kIdleThreshold)
        return BuddyEvent::Idle;
    if (before >= kIdleThreshold && after < kIdleThreshold)
        return BuddyEvent::Active;
    return BuddyEvent::None;
}

BuddyEvent ClassifyFlags(long before, long after)
{
    const bool wasMobile = (before & kMobileFlags) != 0;
    const bool isMobile = (after & kMobileFlags) != 0;
    if (isMobile && !wasMobile)
        return BuddyEvent::MobileOn;
    // Moving between mobile bits is no change to the user.
    if (wasMobile && !isMobile)
        return BuddyEvent::MobileOff;
    return BuddyEvent::None;
}

}  // namespace

BuddyEvent ClassifyBuddyChange(long property, const BuddyState& before, const BuddyState& after)
{
    switch (property) {
    case BuddyProperty::Presence:
        return ClassifyPresence(before.presence, after.presence);
    case BuddyProperty::Flags:
        return ClassifyFlags(before.flags, after.flags);
    case BuddyProperty::IdleTime:
        return ClassifyIdleTime(before.idleSeconds, after.idleSeconds);
    case BuddyProperty::StatusText:
    case BuddyProperty::PresenceMessage:
        return BuddyEvent::PersonalMessage;
    case BuddyProperty::Feed:
        return BuddyEvent::Feed;
    default:
        return BuddyEvent::None;
    }
}

bool IsBuddyEventEnabled(UINT mask, BuddyEvent event)
{
    if (event == BuddyEvent::MobileOn || event == BuddyEvent::MobileOff)
        return (mask & (BuddyEventBit(BuddyEvent::MobileOn) | BuddyEventBit(BuddyEvent::MobileOff))) != 0;
    return (mask & BuddyEventBit(event)) != 0;
}

bool IsRecordingAccount(const std::vector<AccountListing>& accounts, size_t self)
{
    if (self >= accounts.size() || !accounts[self].signedOn)
        return false;
    size_t firstSignedOn = accounts.size();
    for (size_t i = 0; i < accounts.size(); ++i) {
        if (!accounts[i].signedOn)
            continue;
        if (accounts[i].listsBuddy)
            return i == self;
        if (firstSignedOn == accounts.size())
            firstSignedOn = i;
    }
    return firstSignedOn == self;
}
