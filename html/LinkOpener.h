// Following a link that a view will not show itself: the route comes from
// the link policy; the shell and the client's own link handling are reached
// through replaceable handlers, so that a test can watch where a link goes
// without a browser starting or a conversation opening.
#pragma once

#include <windows.h>

#include "LinkPolicy.h"

#include <functional>
#include <string>

using LinkHandler = std::function<void(HWND owner, const std::wstring& url)>;

// Hands the link to the shell, to the client, or to nobody (see RouteOfLink).
// Returns the route taken.
LinkRoute FollowLink(HWND owner, const std::wstring& url);

// Replace the handler; an empty one restores the default. The previous
// handler is returned so that a test can put it back.
LinkHandler SetShellLinkHandler(LinkHandler handler);
LinkHandler SetClientLinkHandler(LinkHandler handler);
