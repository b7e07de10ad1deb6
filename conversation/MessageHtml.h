// The pieces of HTML the message editor builds: smileys, links, the
// automatic links of a message about to be sent, the current formatting as
// a wrapper around other content, and the compose settings the control
// starts new text with. Everything here is plain text work, apart from the
// window, so that every rule can be checked on its own.
#pragma once

#include "FontRecord.h"

#include <windows.h>

#include <optional>
#include <string>

// The formatting at the caret as the editing commands report it; a value
// the control did not report stays empty.
struct CurrentFormat {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    std::optional<std::wstring> face;
    std::optional<int> size;
    std::optional<COLORREF> color;
    std::optional<COLORREF> background;
};

// "#RRGGBB" of a COLORREF (whose low byte is red).
std::wstring ColorToHex(COLORREF color);
// "#rrggbb" or "rrggbb" (either case); nothing for anything else.
std::optional<COLORREF> ParseHexColor(const std::wstring& text);

// What the control is told to start new text with: bold, italic,
// underline, size, the text colour and the background as red.green.blue,
// and the face.
std::wstring ComposeSettings(const FontRecord& record);

// A smiley picture that stands for `shortcut`.
std::wstring SmileyHtml(const std::wstring& pictureFile, const std::wstring& shortcut);

// Whether a link to `href` may go into a message: addresses that run
// script do not.
bool IsAllowedLinkAddress(const std::wstring& href);
// A link; nothing when the address is not allowed. An empty text shows the
// address.
std::optional<std::wstring> LinkHtml(const std::wstring& href, const std::wstring& text);

// Whether a word typed just before sending reads as an address: a scheme,
// "www." or "ftp." at its start, or a mail address.
bool LooksLikeAddress(const std::wstring& word);
// The address such a word links to: "mailto:" before a mail address, and
// "ftp://" or "http://" before a host name without a scheme.
std::wstring AutoLinkHref(const std::wstring& word);
// A word that links to itself as it is ("aim:goim?..." and the like).
bool IsAimLinkWord(const std::wstring& word);
// The word that ends at `caret` in `text`, back to the white space before it.
std::wstring WordBeforeCaret(const std::wstring& text, size_t caret);

// The control writes "&" in attribute values as "&amp;"; inside link start
// tags the message carries the plain "&" the address was typed with.
std::wstring UnescapeAnchorAmpersands(const std::wstring& html);

// The current formatting around "%s": font start tag with face, size,
// color and bgcolor (each only when known), then u, i and b (b innermost).
// A "%" of the face is written "%%" so that only the one "%s" remains.
std::wstring FontWrapper(const CurrentFormat& format);
// The same as a span with a style attribute.
std::wstring SpanWrapper(const CurrentFormat& format);
// Puts `content` where a wrapper has its "%s" and turns "%%" back into "%".
std::wstring FillWrapper(const std::wstring& wrapper, const std::wstring& content);
// The CSS name of an HTML font size.
const wchar_t* FontSizeName(int size);

// The smiley menu: columns of four smileys and a label cell below them.
// Ids run from 1 to SmileyMenuLastId; every fifth id is a label.
UINT SmileyMenuLastId(size_t smileyCount);
bool IsSmileyMenuLabel(UINT id);
bool StartsSmileyMenuColumn(UINT id);
// The smiley an id inserts; nothing for labels and ids past the set.
std::optional<size_t> SmileyOfMenuId(UINT id, size_t smileyCount);

// Whether format-toolbar button `button` (1-15) is shown under `mask`
// (0 shows all).
bool IsFormatButtonShown(DWORD mask, int button);
