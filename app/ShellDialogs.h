// The system's file and folder choosers.
#pragma once

#include <windows.h>

// The open-file dialog for an existing file. `path` is the file name box on
// the way in and the chosen file's full path on the way out.
bool ChooseFile(HWND owner, const wchar_t* title, const wchar_t* filter, wchar_t (&path)[MAX_PATH]);

// The folder browser, starting at the folder in `path`; on OK `path` holds
// the chosen folder.
bool ChooseFolder(HWND owner, const wchar_t* title, wchar_t (&path)[MAX_PATH], UINT extraFlags = 0);
