// The browser control's version and the process-wide API hooks that every
// HTML view relies on. The hooks are put in once per process; when that
// fails the next browser creation or view navigation tries again.
#pragma once

struct BrowserVersion {
    int major = 0;
    int minor = 0;
    int build = 0;
    int revision = 0;
};

// HKLM "SOFTWARE\Microsoft\Internet Explorer" value "Version", read once;
// all zero when the key or the value is missing.
const BrowserVersion& InstalledBrowserVersion();

// Installs the hooks unless that has succeeded already; returns whether
// they are in place.
bool EnsureBrowserHooks();

// Installs the hooks that suit the control's major version (the sound hook
// of APIHooks.h).
bool InstallBrowserApiHooks(int majorVersion);
