// What the rest of the program needs of the conversation windows: opening
// one, and making them reachable from the connection objects.
#pragma once

#include <string>

class CAIMConnection;
class CChatWnd;

// Opens (or brings up) the one-to-one conversation of `connection` with
// `screenName`; an empty name opens a new, empty IM window.
CChatWnd* OpenConversation(CAIMConnection* connection, const std::wstring& screenName, bool activate = true);

// Makes the conversation windows reachable from the connection objects;
// false unregisters them and closes every conversation (at shut-down).
void RegisterConversationWindows(bool registered);
