// The body of one message as the conversation view shows it: the text from
// the network made safe, wrapped in a block that carries the message's
// identifier and, when the buddy chose one, its background colour. Plain
// text work, so every rule can be checked without a window or a session.
#pragma once

#include <optional>
#include <string>

// The outgoing HTML of the editor without its paragraph and block tags
// ("<div ...>", "</div>", "<p ...>", "</p>", any case): a message is one
// run of text whose lines are "<br>".
std::wstring StripParagraphTags(const std::wstring& html);

// The colour a message asks for as its background, when it is one the view
// may put into a style: "#RRGGBB" or a colour name (letters only).
bool IsAcceptableBackgroundColor(const std::wstring& color);

// The "bgcolor" attribute of the message's "<body>" tag, if it has one.
std::optional<std::wstring> BodyBackgroundColor(const std::wstring& html);

// Well-formed HTML without its "<font>" tags, their content kept.
std::wstring RemoveFontTags(const std::wstring& html);

// Each "<img>" whose tag names an "aolbart:/1024" address becomes the text
// its address carries (hex byte pairs after the last "/"), as escaped text.
// Other pictures are left as they are.
std::wstring SmileyPicturesAsText(const std::wstring& html);

struct MessageBodyInput {
    std::wstring html;            // the message's text as it arrived
    std::wstring id;              // the message identifier; "rtim" for a real-time fragment
    std::wstring viewBackground;  // the view's own background colour, "" when unknown
    bool smileysAsText = false;   // incoming and notification messages with "ShowSmiliesAsTxt"
};

struct MessageBody {
    std::wstring body;       // for "$message$"
    std::wstring plainBody;  // for "$plainmessage$"
};

// Both variants of the block for one message.
MessageBody BuildMessageBody(const MessageBodyInput& input);
