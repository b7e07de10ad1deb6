// The log writer as the connection objects see it. The writer lives above
// this layer (logs/), so the program registers it at start-up; until then
// buddy events and log-folder changes go nowhere.
#pragma once

#include "AccCore.h"

class CAIMConnection;

class IBuddyEventLog {
public:
    // A buddy's property changed (event 209): `before` is the buddy as it
    // was, `now` as it is.
    virtual void OnBuddyChanged(CAIMConnection* connection, AIMCC::IAccUser* before, AIMCC::IAccUser* now,
                                long property) = 0;
    // The log folder preference changed.
    virtual void RereadLogFolder() = 0;

protected:
    ~IBuddyEventLog() = default;
};

// Null until registered, and again after the writer is gone.
void SetBuddyEventLog(IBuddyEventLog* log);
IBuddyEventLog* BuddyEventLog();
