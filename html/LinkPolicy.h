// What the HTML views do with an address: which page they may show
// themselves, where a link to anything else goes, and whether a link is one
// to warn about before the user clicks it. Addresses in these views come
// from buddies, profiles and messages, so nothing is followed because it
// merely looks harmless: only the web and mail schemes go to the shell, our
// own aim: and vlm:// links to the client, and everything else nowhere.
//
// Plain functions of strings, so they are tested without a window.
#pragma once

#include <string>

enum class LinkRoute {
    Shell,  // http, https, ftp, mailto: the user's default program
    Client, // aim: and vlm://: the client's own link handling
    Drop,   // file:, UNC paths, script schemes, programs, anything unknown
};

LinkRoute RouteOfLink(const std::wstring& url);

// The lower-case scheme before the first ":" ("http", "aim"), or "" when the
// text does not start with one. A single letter is a drive, not a scheme.
std::wstring SchemeOf(const std::wstring& url);

// Whether the text is an address rather than a status message: a scheme of
// two or more characters, a colon and something after it.
bool LooksLikeUrl(const std::wstring& text);

// The view's own page: equal without regard to case, with any #fragment
// ignored on both sides ("About.htm#credits" is still About.htm). An empty
// page matches nothing.
bool IsSamePage(const std::wstring& url, const std::wstring& page);

// A link whose file would run or open as a program when downloaded: the
// extension of the last path segment, after query and fragment are cut off
// and %-escapes are decoded, is one of the dangerous ones. A local file
// (file: without a host, or a drive path) is always dangerous: it is on the
// disk already and opening it runs whatever it is.
bool IsDangerousLink(const std::wstring& url);

// The extensions IsDangerousLink knows, lower case, without the dot.
bool IsDangerousExtension(const std::wstring& extension);
