#include "AimLinks.h"
#include "CopyData.h"

#include "Seams.h"
#include "SysTrayIcon.h"

#include <windows.h>


void RegisterAimProtocol(bool registerHandler, const std::wstring& programPath)
{
    if (!registerHandler) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L"aim");
        RegDeleteKeyW(HKEY_CLASSES_ROOT, L"aim");
        return;
    }
    HKEY raw = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, L"aim", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr) !=
        ERROR_SUCCESS)
        return;
    ScopedRegKey key(raw);
    auto setString = [](HKEY k, const wchar_t* name, const std::wstring& value) {
        RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    };
    setString(key.get(), nullptr, L"URL: AOL Instant Messenger Protocol");
    setString(key.get(), L"URL Protocol", L"");
    HKEY rawCommand = nullptr;
    if (RegCreateKeyExW(key.get(), L"shell\\open\\command", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &rawCommand,
                        nullptr) != ERROR_SUCCESS)
        return;
    ScopedRegKey command(rawCommand);
    setString(command.get(), nullptr, L"\"" + programPath + L"\" %1");
}

bool ProcessAimUrl(const std::wstring& url, bool fromCommandLine)
{
    if (fromCommandLine) {
        if (HWND running = FindWindowW(kSysTrayClassName, nullptr)) {
            COPYDATASTRUCT data = {};
            data.dwData = kCopyDataAimUrl;
            data.cbData = static_cast<DWORD>((url.size() + 1) * sizeof(wchar_t));
            data.lpData = const_cast<wchar_t*>(url.c_str());
            SendMessageW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
            return true;
        }
    }
    ProcessAimUrlLocally(url);
    return false;
}
