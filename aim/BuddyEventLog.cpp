#include "BuddyEventLog.h"

namespace {

IBuddyEventLog* g_log = nullptr;

} // namespace

void SetBuddyEventLog(IBuddyEventLog* log)
{
    g_log = log;
}

IBuddyEventLog* BuddyEventLog()
{
    return g_log;
}
