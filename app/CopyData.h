// Texts that arrive in WM_COPYDATA records from other processes.
#pragma once

#include <string>

// Checks a record for a whole, terminated UTF-16 text and returns it. Another
// process is untrusted: the pointer, an even size of at least one character,
// the terminator inside it and the length rule ((length + 1) * 2 == size)
// are all checked before the text is used.
bool ReadCopyDataText(const void* data, unsigned long size, std::wstring& text);
