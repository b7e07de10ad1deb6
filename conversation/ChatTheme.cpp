#include "ChatTheme.h"

#include "AccountSettings.h"
#include "Ini.h"
#include "ScopedHandle.h"
#include "StringConv.h"

#include <windows.h>

namespace {

constexpr wchar_t kSection[] = L"Settings.MSG";
constexpr wchar_t kDefaultTheme[] = L"Default";
constexpr wchar_t kDefaultStyle[] = L"Styles/Default.css";

// Templates are small; anything larger is not a template.
constexpr DWORD kMaxTemplateBytes = 1024 * 1024;

bool FileExistsAt(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring MessageThemeFolder(const std::wstring& dataFolder, const std::wstring& name)
{
    return dataFolder + L"Themes\\Msgs\\" + name + L"\\";
}

// The account's value, or the global one when the account has none or an
// empty one.
std::wstring ReadMessageSetting(const CIni& ini, const std::wstring& screenName, const wchar_t* key)
{
    const std::wstring value = ini.GetString(AccountSection(kSection, screenName).c_str(), key, L"");
    return value.empty() ? ini.GetString(kSection, key, L"") : value;
}

} // namespace

bool IsPlainFileName(const std::wstring& name)
{
    if (name.empty() || name == L"." || name == L"..")
        return false;
    return name.find_first_of(L"\\/:*?\"<>|") == std::wstring::npos;
}

std::wstring ChooseThemeFolder(const CIni& ini, const std::wstring& dataFolder, const std::wstring& screenName,
                               bool expressionMode)
{
    if (expressionMode)
        return dataFolder + L"Themes\\Expression\\";
    const std::wstring name = ReadMessageSetting(ini, screenName, L"Theme");
    if (IsPlainFileName(name)) {
        const std::wstring folder = MessageThemeFolder(dataFolder, name);
        if (folder.size() <= kMaxThemePath && FileExistsAt(folder + L"Base.htm"))
            return folder;
    }
    return MessageThemeFolder(dataFolder, kDefaultTheme);
}

std::wstring ChooseStyleSheet(const CIni& ini, const std::wstring& screenName, bool expressionMode)
{
    if (expressionMode)
        return L"Base.css";
    const std::wstring name = ReadMessageSetting(ini, screenName, L"Style");
    if (!IsPlainFileName(name) || name.size() > kMaxThemePath)
        return kDefaultStyle;
    return L"Styles/" + UrlEscape(name) + L".css";
}

std::wstring UrlEscape(const std::wstring& text)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::wstring out;
    for (unsigned char byte : WideToUtf8(text)) {
        const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                           (byte >= '0' && byte <= '9') || byte == '-' || byte == '_' || byte == '.' || byte == '~';
        if (plain) {
            out.push_back(static_cast<wchar_t>(byte));
        } else {
            out.push_back(L'%');
            out.push_back(static_cast<wchar_t>(kHex[byte >> 4]));
            out.push_back(static_cast<wchar_t>(kHex[byte & 0xF]));
        }
    }
    return out;
}

std::wstring FileUrlOfPath(const std::wstring& path)
{
    std::wstring url = L"file:///";
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = path.find_first_of(L"\\/", start);
        const std::wstring part = path.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        // The drive ("C:") keeps its colon.
        url += (start == 0 && part.size() == 2 && part[1] == L':') ? part : UrlEscape(part);
        if (end == std::wstring::npos)
            break;
        url += L'/';
        start = end + 1;
    }
    return url;
}

std::wstring ReadTemplateFile(const std::wstring& path)
{
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return std::wstring();
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > kMaxTemplateBytes)
        return std::wstring();
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        return std::wstring();
    bytes.resize(read);
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        bytes.erase(0, 3);
    return Utf8ToWide(bytes);
}
