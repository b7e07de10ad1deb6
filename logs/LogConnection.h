// The log writer as the connection objects and the conversation windows
// call it: the layer's accounts, buddies and messages turned into the plain
// values CLogWriter takes.
#pragma once

#include "AccCore.h"
#include "LogWriter.h"

class CAIMConnection;

// A buddy's property changed (event 209): logs it when it is an event the
// buddy's mask asks for, once however many accounts list the buddy.
// `before` is the buddy as it was, `now` as it is.
BuddyEvent LogBuddyChange(CAIMConnection* connection, AIMCC::IAccUser* before, AIMCC::IAccUser* now,
                          long property);

// The log folder preference changed.
void RereadLogRoot();

// The log root from the preference "aimcc.folders.logs", while at least one
// account is signed on; empty otherwise.
std::wstring SignedOnLogRoot();
