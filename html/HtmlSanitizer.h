// Message HTML from the network, reduced to the formatting a message may
// carry before any view, log or notification shows it.
//
// The text is parsed with a real HTML5 parser (gumbo), so unclosed tags,
// stray quotes and mis-nested elements end up as a browser would see them,
// and the tree is written out again through an allow-list: known formatting
// elements keep only checked attributes, scripts, styles, frames, objects and
// forms go with their content, every other element gives up its tag but
// keeps its text. Links keep only addresses of schemes the client opens.
// The result is always well-formed: every element it opens, it closes.
#pragma once

#include <string>
#include <string_view>

// UTF-8 in, UTF-8 out.
std::string SanitizeMessageHtml(std::string_view html);
std::wstring SanitizeMessageHtml(std::wstring_view html);
