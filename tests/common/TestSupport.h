// Helpers shared by the test suites: a temporary folder per test, files
// written byte for byte, and the folder the test program runs from.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

// The folder of the running test program, with a trailing backslash.
std::wstring ExeFolder();

// A fresh, empty folder under the system's temporary folder, removed with
// everything in it when the object goes away.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder with a trailing backslash, or a path inside it.
    const std::wstring& Path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + name; }

private:
    std::wstring path_;
};

// Handles this thread's messages until `done` holds (checked after every
// message, so a wait for one event stops right after it) or the time is up.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);
// Handles every message already waiting.
void PumpPending();

bool WriteFileBytes(const std::wstring& path, std::string_view bytes);
std::string ReadFileBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
