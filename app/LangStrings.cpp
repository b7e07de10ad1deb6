#include "LangStrings.h"

#include "ScopedHandle.h"

#include <array>
#include <vector>

const wchar_t kAppName[] = L"Velmora";

namespace {

HMODULE g_langModule = nullptr;

// FormatMessage takes insert numbers up to 99.
constexpr size_t kMaxInserts = 99;

} // namespace

void SetLangModule(HMODULE module)
{
    g_langModule = module;
}

HMODULE LangModule()
{
    return g_langModule ? g_langModule : GetModuleHandleW(nullptr);
}

std::wstring LoadLangString(UINT id)
{
    // Strings live in blocks of sixteen, each a length-prefixed UTF-16 text;
    // reading the block directly gives a string of any length whole.
    const HMODULE module = LangModule();
    HRSRC block = FindResourceW(module, MAKEINTRESOURCEW(id / 16 + 1), MAKEINTRESOURCEW(6)); // RT_STRING
    if (!block)
        return {};
    HGLOBAL loaded = LoadResource(module, block);
    const auto* data = static_cast<const WCHAR*>(loaded ? LockResource(loaded) : nullptr);
    if (!data)
        return {};
    const DWORD blockChars = SizeofResource(module, block) / sizeof(WCHAR);
    DWORD at = 0;
    for (UINT index = 0; index < id % 16; ++index) {
        if (at >= blockChars)
            return {};
        at += 1 + data[at];
    }
    if (at >= blockChars)
        return {};
    const DWORD length = data[at];
    if (at + 1 + length > blockChars)
        return {};
    return std::wstring(data + at + 1, length);
}

std::wstring FormatTemplate(const std::wstring& pattern, std::initializer_list<std::wstring> values)
{
    if (pattern.empty())
        return pattern;
    // FormatMessage reads as many arguments as the template names; pad the
    // array so a template with more inserts than values cannot read past it.
    std::array<DWORD_PTR, kMaxInserts> arguments;
    arguments.fill(reinterpret_cast<DWORD_PTR>(L""));
    size_t index = 0;
    for (const std::wstring& value : values) {
        if (index == kMaxInserts)
            break;
        arguments[index++] = reinterpret_cast<DWORD_PTR>(value.c_str());
    }
    wchar_t* formatted = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY,
        pattern.c_str(), 0, 0, reinterpret_cast<LPWSTR>(&formatted), 0,
        reinterpret_cast<va_list*>(arguments.data()));
    ScopedLocalMemory owner(formatted);
    if (!length || !formatted)
        return pattern;
    return std::wstring(formatted, length);
}

std::wstring FormatLangString(UINT id, std::initializer_list<std::wstring> values)
{
    return FormatTemplate(LoadLangString(id), values);
}

std::wstring SystemErrorText(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    ScopedLocalMemory owner(text);
    wchar_t code[16];
    swprintf(code, ARRAYSIZE(code), L"0x%X", static_cast<unsigned>(error));
    if (!length || !text)
        return L"Unknown error (" + std::wstring(code) + L")";
    std::wstring message(text, length);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return message + L" (" + code + L")";
}

int ShowErrorBox(HWND owner, const std::wstring& text, UINT flags)
{
    return MessageBoxW(owner, text.c_str(), kAppName, flags);
}

int ShowErrorBox(HWND owner, UINT textId, UINT flags)
{
    // Read the last error before anything else can change it.
    const DWORD error = GetLastError();
    const std::wstring text = textId == 0 ? SystemErrorText(error) : LoadLangString(textId);
    return ShowErrorBox(owner, text, flags);
}
