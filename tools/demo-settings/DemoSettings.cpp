// demo-settings: prepares a portable "Velmora.ini" that signs one account on
// to a given server by itself: the server address for the AIM layer, the
// account remembered with its password sealed as the sign-on pane seals it,
// preselected, with automatic sign-on. Other settings in the file are kept,
// so a run folder can be reused. Everything is written through the program's
// own code and read back before the tool reports success.
//
//   demo-settings <Velmora.ini> <host> <port> <screen name> <password>
#include "AccountSettings.h"
#include "Ini.h"
#include "PasswordProtection.h"
#include "PreferenceStore.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kHostAddress[] = L"aimcc.connect.host.address";
constexpr wchar_t kHostPort[] = L"aimcc.connect.host.port";

int Fail(const wchar_t* what)
{
    std::fwprintf(stderr, L"demo-settings: %ls\n", what);
    return 1;
}

bool IsPort(const std::wstring& text)
{
    if (text.empty() || text.size() > 5 || text.find_first_not_of(L"0123456789") != std::wstring::npos)
        return false;
    const unsigned long port = std::wcstoul(text.c_str(), nullptr, 10);
    return port >= 1 && port <= 65535;
}

bool SignOnSettingsRead(const CIni& ini, const std::wstring& compact, const std::wstring& password)
{
    std::wstring opened;
    return OpenSecret(ini.GetBinary(L"Users", compact.c_str()), opened) && opened == password &&
           ini.GetString(L"General", L"RecentUser") == compact &&
           ini.GetBool(L"AutoSignOn", compact.c_str(), false) && !ini.GetBool(L"General", L"UseAppData", true);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 6)
        return Fail(L"usage: demo-settings <Velmora.ini> <host> <port> <screen name> <password>");
    // The profile functions would take a relative name as one in the Windows folder.
    wchar_t full[MAX_PATH] = {};
    const DWORD fullLength = GetFullPathNameW(argv[1], MAX_PATH, full, nullptr);
    if (fullLength == 0 || fullLength >= MAX_PATH)
        return Fail(L"the settings file's path is too long");
    const std::wstring path = full;
    const std::wstring host = argv[2];
    const std::wstring port = argv[3];
    const std::wstring name = argv[4];
    const std::wstring password = argv[5];
    const std::wstring compact = CompactScreenName(name);
    if (host.empty() || host.find_first_of(L" \t\r\n") != std::wstring::npos)
        return Fail(L"the host must be one word");
    if (!IsPort(port))
        return Fail(L"the port must be a number from 1 to 65535");
    if (compact.empty() || !IsStorableScreenName(compact))
        return Fail(L"the screen name cannot be stored in the settings file");
    if (password.empty())
        return Fail(L"the password is empty");

    CIni ini(path.c_str());
    // Portable: the settings stay beside the program, not in the user's profile.
    ini.WriteBool(L"General", L"UseAppData", false);

    CPreferenceStore prefs(ini);
    std::wstring readHost;
    std::wstring readPort;
    if (!prefs.WriteValue(kHostAddress, host) || !prefs.WriteValue(kHostPort, port) ||
        !prefs.ReadValue(kHostAddress, readHost) || !prefs.ReadValue(kHostPort, readPort) || readHost != host ||
        readPort != port)
        return Fail(L"could not write the server address");

    const std::vector<BYTE> sealed = SealSecret(password);
    if (sealed.empty())
        return Fail(L"could not seal the password");
    ini.DeleteKey(L"Users", compact.c_str());
    ini.WriteBinary(L"Users", compact.c_str(), sealed.data(), static_cast<DWORD>(sealed.size()));
    ini.WriteString(L"General", L"RecentUser", compact.c_str());
    ini.WriteBool(L"AutoSignOn", compact.c_str(), true);
    if (!SignOnSettingsRead(ini, compact, password))
        return Fail(L"the remembered account did not read back as written");
    // The demo keeps its conversations: they land in "Logs\" of the run
    // folder, where a browser shows them.
    if (!ini.WriteString(L"Settings.LOGS", L"LogIMs", L"1"))
        return Fail(L"could not switch conversation logging on");

    std::wprintf(L"demo-settings: %ls signs on to %ls:%ls by itself (%ls)\n", name.c_str(), host.c_str(),
                 port.c_str(), path.c_str());
    return 0;
}
