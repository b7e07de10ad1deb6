#include "LinkOpener.h"

#include "LinkPolicy.h"
#include "Seams.h"

#include <shellapi.h>

#include <utility>

namespace {

// The verb "open" on a web or mail address starts the user's default
// browser or mail program.
void OpenWithShell(HWND owner, const std::wstring& url)
{
    ShellExecuteW(owner, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void OpenInClient(HWND, const std::wstring& url)
{
    if (SchemeOf(url) == L"aim")
        ProcessAimUrlLocally(url);
    else
        ProcessInternalLink(url);
}

LinkHandler& ShellHandler()
{
    static LinkHandler handler = OpenWithShell;
    return handler;
}

LinkHandler& ClientHandler()
{
    static LinkHandler handler = OpenInClient;
    return handler;
}

LinkHandler Replace(LinkHandler& slot, LinkHandler handler, void (*fallback)(HWND, const std::wstring&))
{
    LinkHandler previous = std::move(slot);
    slot = handler ? std::move(handler) : LinkHandler(fallback);
    return previous;
}

} // namespace

LinkRoute FollowLink(HWND owner, const std::wstring& url)
{
    const LinkRoute route = RouteOfLink(url);
    if (route == LinkRoute::Shell)
        ShellHandler()(owner, url);
    else if (route == LinkRoute::Client)
        ClientHandler()(owner, url);
    return route;
}

LinkHandler SetShellLinkHandler(LinkHandler handler)
{
    return Replace(ShellHandler(), std::move(handler), OpenWithShell);
}

LinkHandler SetClientLinkHandler(LinkHandler handler)
{
    return Replace(ClientHandler(), std::move(handler), OpenInClient);
}
