// The text work of the log writer, on plain strings: escaping names for XML,
// turning names from the network into folder names, dates and times as the
// files show them, the session counter of a day header, and message bodies
// made into XHTML fragments.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

// Text for XML element content and attribute values in either quote style.
// Characters XML cannot hold at all (most control characters, lone
// surrogates, U+FFFE/U+FFFF) are left out.
std::wstring XmlEscape(std::wstring_view text);

// A name from the network (screen name, room, file) as one component of a
// path: separators, reserved characters and control characters become "_",
// trailing dots and spaces go, and names Windows keeps for devices or that
// mean "this" or "the parent" folder get a leading "_". A name that is
// already a valid, ordinary file name comes back unchanged, so folders
// written before stay found.
std::wstring SafePathComponent(std::wstring_view name);

// The screen name without spaces, as folder and key names hold it.
std::wstring WithoutSpaces(std::wstring_view name);

// A template filled the way FormatMessage fills a string: %1 to %99 take
// the values (an insert's "!format!" is ignored, the value is a string), %%
// is "%", %n a line break, %r a carriage return, %t a tab, %0 ends the text,
// and % before any other character stands for that character. Values are
// not scanned for inserts. Unlike FormatMessage itself, there is no limit
// on the size of the result, so a long message is never logged without its
// text.
std::wstring FillInserts(std::wstring_view pattern, const std::vector<std::wstring>& values);

// "2026-12-11T16:05:09.123Z" for a local time.
std::wstring UtcStamp(const SYSTEMTIME& local);
// The local date and time in the system default formats.
std::wstring ShortDateText(const SYSTEMTIME& local);
std::wstring LongDateText(const SYSTEMTIME& local);
std::wstring TimeText(const SYSTEMTIME& local);
// "yyyy\MMMM\dd (dddd)" and "yyyy\MMMM" in the system default locale: the
// year, month and day folder levels of a day's log.
std::wstring DayFolderName(const SYSTEMTIME& local);
std::wstring MonthFolderName(const SYSTEMTIME& local);

// The next free session number of a day header (UTF-8 text). Takes it and
// writes the number after it into the text; a number that is 0 or does not
// parse counts as 1. False when the header has no NextSessionID value.
bool TakeNextSessionId(std::string& header, int& session);

// Flags of a logged message: who it is from, and how it came.
namespace MessageLogFlags {
enum : UINT {
    System = 0x1,
    Sent = 0x2,
    Received = 0x4,
    Offline = 0x8,
    AutoResponse = 0x10,
};
}

// "SYSTEM", or "USER" followed by ",OFFLINE" and ",AUTORESPONSE" as they apply.
std::wstring SenderKind(UINT flags);

// What lies between the first "<body>" and the first "</body>" after it; the
// whole text when there is no such pair.
std::wstring BodyContent(const std::wstring& text);

// The files a message carries, for the pictures it embeds.
struct EmbeddedFiles {
    // The message's attachment count.
    long count = 0;
    // The local paths of the conversation's files of that direction, by index.
    std::vector<std::wstring> paths;
    // Pictures become links to "./Files/<name>" (the files are copied
    // there); otherwise just the file's name.
    bool link = false;
};

// A message body as it is logged: the message's HTML through the message
// sanitiser, font, division and bold/italic/underline tags removed with
// their text kept, embedded pictures ("aoldim:/" sources) replaced by their
// file names, and the result checked to be a well-formed XML fragment. When
// it cannot be made one, the message's text is logged escaped instead.
std::wstring CleanMessageBody(const std::wstring& html, const EmbeddedFiles& files);

// Whether `fragment` is well-formed XML content (elements balanced, only
// XML's own entities).
bool IsWellFormedFragment(const std::wstring& fragment);
