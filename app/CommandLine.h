// The command line of a new process: shell-integration commands and messages
// for an already running client end the process before anything is set up.
#pragma once

#include <windows.h>

#include <string>

// True when the process must end at once.
bool HandleCommandLine(const wchar_t* commandLine);

// "IM|<hex window>|<screen name>" and friends: the window and the text after
// the prefix. The text ends at the first blank and holds at most 126
// characters. False when the handle part is not a hex number followed by
// "|" (for "IM|") or the end (for "SG|" and "EX|").
bool ParseWindowHandoff(const std::wstring& argument, bool withText, HWND& window, std::wstring& text);
