// The files of the logs. Record files ("Sessions.xml", "Events.xml") are
// whole XML documents after every append: the closing tag of the root stays
// at the end, and each append writes over it with the record and the tag
// again in one write, so a process killed between two messages leaves a
// well-formed file, and an append costs the same however long the file is.
#pragma once

#include <string>
#include <string_view>

// Appends `record` (UTF-8) inside the root element `root` of the file at
// `path`, creating the file with its declaration and root when it is new.
// A file whose end is not the root's closing tag (damaged outside the
// program) is kept beside it as "<name>.damaged" and a new one started.
bool AppendXmlRecord(const std::wstring& path, std::string_view root, std::string_view record);

// Replaces the whole file with `bytes` through a temporary file in the same
// folder, so the old content stays until the new is on disk.
bool ReplaceFileContents(const std::wstring& path, std::string_view bytes);

// Writes a file that does not exist yet; false (and the file untouched) when
// it does.
bool WriteNewFile(const std::wstring& path, std::string_view bytes);

// At most `limit` bytes of a file; false when it cannot be read or is longer.
bool ReadSmallFile(const std::wstring& path, size_t limit, std::string& bytes);

bool PathExists(const std::wstring& path);

// The number a new session of a day takes from the day's header
// "<dayFolder>Log.xml", which then names the next one. 1 when the header
// cannot be read or holds no number, and the header is left alone.
int AllocateSessionId(const std::wstring& dayFolder);
