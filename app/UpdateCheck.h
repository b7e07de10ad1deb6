// The check for a newer version of the program. It runs once per start (and
// once more when the user asks for it) on a thread of its own: that thread
// gets copies of everything it needs, touches no shared object, and hands
// its finding back to the GUI thread through a queue inside the process and
// a posted signal, so nothing of it outlives shutdown.
#pragma once

#include <windows.h>

#include <array>
#include <string>

using VersionQuad = std::array<int, 4>;

enum class UpdateFinding { None, NewRelease, NewTestVersion, CheckFailed };

struct UpdateResult {
    bool explicitRequest = false;
    UpdateFinding finding = UpdateFinding::None;
};

// "%d.%d.%d.%d|%d.%d.%d.%d": the newest release, then the newest test version.
bool ParseUpdateReply(const std::string& reply, VersionQuad& release, VersionQuad& test);
int CompareVersions(const VersionQuad& a, const VersionQuad& b);
// What the reply means for a program of version `own` with "UpdateCheck"
// set to `setting` (test versions count from 2 on).
UpdateFinding DecideUpdate(const VersionQuad& own, const VersionQuad& release, const VersionQuad& test,
                           unsigned setting);

// The program's own file version.
VersionQuad ProgramVersion();

// Reads "General"/"UpdateCheck" and "Update"/"Check", applies the 15-minute
// rule, records the time and starts the thread. When it has a result it
// posts `code` as lParam of `message` to `notify`. False when no check was
// started.
bool StartUpdateCheck(bool explicitRequest, HWND notify, UINT message, LPARAM code);

// The next finding waiting for the GUI thread, if any.
bool TakeUpdateResult(UpdateResult& result);

// Where the program asks: "Update"/"Server", or the built-in address.
std::wstring UpdateServerAddress();
