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

// The conversation window's call for each message it shows, with
// MessageLogFlags: logs the message when logging is on for the conversation
// (the buddy's mask and "LogIMs" for IMs and direct IMs, "LogChatRooms" for
// chats). `sender` is the user a received message came from, or null;
// `files` the local paths of the conversation's files in the message's
// direction. `filesFolder` receives the day's "Files\" folder when a direct
// IM's files are to be copied there.
bool LogConversationMessage(const std::wstring& account, AIMCC::IAccImSession* conversation,
                            AIMCC::IAccIm* message, AIMCC::IAccUser* sender, UINT flags,
                            const std::vector<std::wstring>& files, LogSession& session,
                            std::wstring* filesFolder = nullptr);

// The message as the log writer takes it.
LoggedMessage DescribeMessage(const std::wstring& account, AIMCC::IAccImSession* conversation,
                              AIMCC::IAccIm* message, AIMCC::IAccUser* sender, UINT flags,
                              const std::vector<std::wstring>& files);

// The log folder preference changed.
void RereadLogRoot();

// The log root from the preference "aimcc.folders.logs" (the data folder
// while it is not set), while at least one account is signed on; empty
// otherwise.
std::wstring SignedOnLogRoot();

// Registers the writer with the connection objects (buddy events, the log
// folder preference), or takes it back.
void RegisterBuddyEventLog(bool registered);
