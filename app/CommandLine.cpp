#include "CommandLine.h"

#include "AimLinks.h"
#include "CopyData.h"
#include "StartMenuIcons.h"

#include <shellapi.h>

#include <cwchar>
#include <cwctype>

namespace {

constexpr size_t kHandoffTextLimit = 126;

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix)
{
    const size_t length = wcslen(prefix);
    return text.size() >= length && _wcsnicmp(text.c_str(), prefix, length) == 0;
}

void SendHandoff(HWND window, ULONG_PTR kind, const std::wstring* text)
{
    if (!IsWindow(window))
        return;
    COPYDATASTRUCT data = {};
    data.dwData = kind;
    if (text) {
        data.cbData = static_cast<DWORD>((text->size() + 1) * sizeof(wchar_t));
        data.lpData = const_cast<wchar_t*>(text->c_str());
    }
    SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

// Runs the command one argument asks for. `ends` tells whether the process
// must end; the result whether the argument was a command at all.
bool RunArgument(const std::wstring& argument, bool& ends)
{
    ends = true;
    if (_wcsicmp(argument.c_str(), L"/reinstallcmd") == 0)
        return true;
    if (_wcsicmp(argument.c_str(), L"/hideiconscmd") == 0) {
        SetStartMenuIcons(false);
        return true;
    }
    if (_wcsicmp(argument.c_str(), L"/showiconscmd") == 0) {
        SetStartMenuIcons(true);
        return true;
    }
    if (StartsWithNoCase(argument, L"aim:")) {
        ends = ProcessAimUrl(argument, true);
        return true;
    }
    HWND window = nullptr;
    std::wstring text;
    if (StartsWithNoCase(argument, L"IM|")) {
        if (ParseWindowHandoff(argument, true, window, text))
            SendHandoff(window, kCopyDataOpenIm, &text);
        return true;
    }
    if (StartsWithNoCase(argument, L"SG|")) {
        if (ParseWindowHandoff(argument, false, window, text))
            SendHandoff(window, kCopyDataSettings, nullptr);
        return true;
    }
    if (StartsWithNoCase(argument, L"EX|")) {
        if (ParseWindowHandoff(argument, false, window, text))
            SendHandoff(window, kCopyDataExit, nullptr);
        return true;
    }
    ends = false;
    return false;
}

} // namespace

bool ParseWindowHandoff(const std::wstring& argument, bool withText, HWND& window, std::wstring& text)
{
    if (argument.size() < 4)
        return false;
    const wchar_t* handle = argument.c_str() + 3;
    if (!iswxdigit(*handle))
        return false;
    wchar_t* end = nullptr;
    const unsigned long long value = wcstoull(handle, &end, 16);
    window = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(value));
    text.clear();
    if (!withText)
        return *end == L'\0';
    if (*end != L'|')
        return false;
    for (const wchar_t* p = end + 1; *p && !iswspace(*p) && text.size() < kHandoffTextLimit; ++p)
        text += *p;
    return !text.empty();
}

bool HandleCommandLine(const wchar_t* commandLine)
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(commandLine, &count);
    if (!arguments)
        return false;
    bool ends = false;
    for (int i = 1; i < count; ++i) {
        // The first argument that is a command ends the scan.
        if (RunArgument(arguments[i], ends))
            break;
    }
    LocalFree(arguments);
    return ends;
}
