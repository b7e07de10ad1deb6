// What the connection objects tell the buddy-list pane. The pane lives above
// this layer (buddylist/), so the main window hands it out through
// IMainPanes::BuddyList(); until the pane exists that answers null and the
// events go nowhere.
//
// Every call names the connection whose account the event concerns; the pane
// finds that account's rows by the connection's session object.
#pragma once

#include "AccCore.h"

class CAIMConnection;

class IBuddyListEvents {
public:
    // The account's buddy list arrived (event 207 with the value 5): add its
    // header, groups and buddies.
    virtual void AddIdentity(CAIMConnection* connection) = 0;
    // The account went away: its header and every row below it go.
    virtual void RemoveIdentity(CAIMConnection* connection) = 0;
    // The primary account signed off: no rows at all.
    virtual void Reset() = 0;

    // Events 201 and 203: the account's list changed as a whole.
    virtual void RebuildIdentity(CAIMConnection* connection) = 0;
    // Event 202.
    virtual void OnGroupRemoved(CAIMConnection* connection, AIMCC::IAccGroup* group) = 0;
    // Event 204.
    virtual void OnBuddyAdded(CAIMConnection* connection, AIMCC::IAccGroup* group, AIMCC::IAccUser* buddy) = 0;
    // Event 205.
    virtual void OnBuddyRemoved(CAIMConnection* connection, AIMCC::IAccGroup* group, AIMCC::IAccUser* buddy) = 0;
    // Event 206.
    virtual void OnBuddyMoved(CAIMConnection* connection, AIMCC::IAccGroup* from, AIMCC::IAccGroup* to,
                              AIMCC::IAccUser* buddy) = 0;
    // Event 208 with its change code (AIMCC::AccGroupChange).
    virtual void OnGroupChanged(CAIMConnection* connection, AIMCC::IAccGroup* group, long code) = 0;
    // Event 209: one property of a buddy (AIMCC::AccUserProp) changed.
    virtual void OnBuddyChanged(CAIMConnection* connection, AIMCC::IAccUser* buddy, long property) = 0;

    // Draw again without recomputing rows (own status, requested data).
    virtual void Redraw() = 0;

protected:
    ~IBuddyListEvents() = default;
};
