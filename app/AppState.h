// What the program holds once per process: created by start-up, released by
// shutdown in the reverse order. Everything here lives on the GUI thread.
#pragma once

#include <windows.h>

#include "FontSet.h"
#include "Ini.h"
#include "ScopedHandle.h"

#include <string>

struct AppState {
    HINSTANCE instance = nullptr;
    std::wstring programFolder;      // with a trailing backslash
    std::wstring settingsPath;       // the settings file in use
    CIni ini;                        // the settings store
    bool portable = false;           // settings beside the program
    int browserMajorVersion = 0;
    ULONG_PTR gdiplusToken = 0;
    ScopedHandle instanceMutex;
    ScopedModule langLibrary;
    ScopedModule mediaLibrary;
    bool canDock = false;
    FontSet uiFont;
    FontSet symbolFont;
};

AppState& App();
// The settings store of the program.
inline CIni& Settings() { return App().ini; }
// The data folder: the folder of the settings file in use, with a trailing
// backslash (themes, dictionaries and, by default, the logs live there);
// empty while no settings file is open.
std::wstring DataFolder();
// The same for the settings file at `settingsPath`.
std::wstring DataFolderOf(const std::wstring& settingsPath);
