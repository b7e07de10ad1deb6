// Texts of the user interface. Every visible text comes by numeric id from the
// language library (VLMLang.dll, loaded as a data file); a text that takes
// values is a FormatMessage template whose inserts %1, %2, ... are filled
// with texts in the order the caller gives them.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

// The module strings are loaded from: the language library once start-up
// has loaded it, the program itself before that (null).
void SetLangModule(HMODULE module);
HMODULE LangModule();

// The whole string, however long; "" when the id has no string.
std::wstring LoadLangString(UINT id);

// The string with its inserts filled. Inserts the caller gives no value for
// come out empty rather than reading past the values.
std::wstring FormatLangString(UINT id, std::initializer_list<std::wstring> values);
std::wstring FormatTemplate(const std::wstring& pattern, std::initializer_list<std::wstring> values);

// The system's text for an error code, "<text> (0x<code>)", or
// "Unknown error (0x<code>)" when the system has none.
std::wstring SystemErrorText(DWORD error);

// The program's one message box, captioned "Velmora". textId 0 shows the
// system's text for the calling thread's last error; any other id a
// language string.
int ShowErrorBox(HWND owner, UINT textId, UINT flags);
int ShowErrorBox(HWND owner, const std::wstring& text, UINT flags);

extern const wchar_t kAppName[]; // "Velmora"

// ERROR_APP_INIT_FAILURE, which mingw-w64's headers lack: the code every
// failed start-up step reports.
constexpr DWORD kErrorAppInitFailure = 575;
