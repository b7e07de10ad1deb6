// Texts that arrive in WM_COPYDATA records from other processes.
#pragma once

#include <windows.h>

#include <string>

// The kinds of WM_COPYDATA record between instances of the program: an aim:
// link for the notification window; open an IM, open the settings and exit
// for the main window.
constexpr ULONG_PTR kCopyDataAimUrl = 25;
constexpr ULONG_PTR kCopyDataOpenIm = 26;
constexpr ULONG_PTR kCopyDataSettings = 27;
constexpr ULONG_PTR kCopyDataExit = 28;

// Checks a record for a whole, terminated UTF-16 text and returns it. Another
// process is untrusted: the pointer, an even size of at least one character,
// the terminator inside it and the length rule ((length + 1) * 2 == size)
// are all checked before the text is used.
bool ReadCopyDataText(const void* data, unsigned long size, std::wstring& text);
