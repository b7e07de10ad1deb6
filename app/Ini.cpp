#include "Ini.h"

#include <cwchar>
#include <cwctype>

namespace {

constexpr DWORD kGrowStep = 512;
constexpr DWORD kShortValue = 64;
constexpr wchar_t kMissingMarker[] = L"{A0899F0E-4797-4b87-83E0-8D310A8D9713}";

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

bool HasLineBreak(const wchar_t* text)
{
    return std::wcspbrk(text, L"\r\n") != nullptr;
}

bool IsStorableName(const wchar_t* section, const wchar_t* key)
{
    if (HasLineBreak(section) || std::wcschr(section, L']'))
        return false;
    return !key || (!HasLineBreak(key) && !std::wcschr(key, L'='));
}

std::wstring FoldLineBreaks(const wchar_t* value)
{
    std::wstring folded;
    for (const wchar_t* p = value; *p; ++p) {
        if (*p == L'\r' && p[1] == L'\n')
            ++p;
        folded += (*p == L'\r' || *p == L'\n') ? L' ' : *p;
    }
    return folded;
}

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    return -1;
}

int EffectiveRadix(int radix)
{
    return (radix == 2 || radix == 8 || radix == 16) ? radix : 10;
}

std::wstring BinaryDigits(UINT value)
{
    std::wstring digits;
    do {
        digits.insert(digits.begin(), (value & 1) ? L'1' : L'0');
        value >>= 1;
    } while (value);
    return digits;
}

} // namespace

void CIni::SetPath(const wchar_t* path)
{
    path_ = path ? path : L"";
}

std::wstring CIni::GetString(const wchar_t* section, const wchar_t* key, const wchar_t* def) const
{
    if (!section || !key || path_.empty())
        return def ? def : L"";
    // The system reports a full buffer by returning its size minus one, so
    // grow until the value fits.
    std::wstring value(kGrowStep, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(value.size());
        const DWORD length = GetPrivateProfileStringW(section, key, def ? def : L"", value.data(), size,
                                                      path_.c_str());
        if (length + 1 < size) {
            value.resize(length);
            return value;
        }
        value.resize(size + kGrowStep);
    }
}

DWORD CIni::GetStringBuf(const wchar_t* section, const wchar_t* key, wchar_t* buffer, DWORD capacity,
                         const wchar_t* def) const
{
    const std::wstring value = GetString(section, key, def);
    const DWORD length = static_cast<DWORD>(value.size());
    if (!buffer)
        return length;
    const DWORD copied = length < capacity ? length : capacity;
    wmemcpy(buffer, value.data(), copied);
    buffer[copied] = L'\0';
    return copied;
}

bool CIni::WriteString(const wchar_t* section, const wchar_t* key, const wchar_t* value) const
{
    if (!section || !key || path_.empty() || !IsStorableName(section, key))
        return false;
    const std::wstring text = FoldLineBreaks(value ? value : L"");
    return WritePrivateProfileStringW(section, key, text.c_str(), path_.c_str()) != FALSE;
}

bool CIni::KeyExists(const wchar_t* section, const wchar_t* key) const
{
    return GetString(section, key, kMissingMarker) != kMissingMarker;
}

bool CIni::DeleteKey(const wchar_t* section, const wchar_t* key) const
{
    if (!section || !key || path_.empty())
        return false;
    return WritePrivateProfileStringW(section, key, nullptr, path_.c_str()) != FALSE;
}

bool CIni::DeleteSection(const wchar_t* section) const
{
    if (!section || path_.empty())
        return false;
    return WritePrivateProfileStringW(section, nullptr, nullptr, path_.c_str()) != FALSE;
}

std::wstring CIni::ReadShort(const wchar_t* section, const wchar_t* key) const
{
    if (!section || !key || path_.empty())
        return {};
    wchar_t text[kShortValue + 1] = {};
    GetPrivateProfileStringW(section, key, L"", text, ARRAYSIZE(text), path_.c_str());
    return text;
}

bool CIni::GetBool(const wchar_t* section, const wchar_t* key, bool def) const
{
    const std::wstring text = ReadShort(section, key);
    if (text.empty())
        return def;
    if (_wcsicmp(text.c_str(), L"true") == 0 || _wcsicmp(text.c_str(), L"yes") == 0)
        return true;
    return std::wcstol(text.c_str(), nullptr, 10) != 0;
}

bool CIni::WriteBool(const wchar_t* section, const wchar_t* key, bool value) const
{
    return WriteString(section, key, value ? L"1" : L"0");
}

bool CIni::ToggleBool(const wchar_t* section, const wchar_t* key) const
{
    return WriteBool(section, key, !GetBool(section, key, false));
}

UINT CIni::GetUInt(const wchar_t* section, const wchar_t* key, UINT def, int radix) const
{
    const std::wstring text = ReadShort(section, key);
    if (text.empty())
        return def;
    return static_cast<UINT>(std::wcstoul(text.c_str(), nullptr, EffectiveRadix(radix)));
}

int CIni::GetInt(const wchar_t* section, const wchar_t* key, int def, int radix) const
{
    return static_cast<int>(GetUInt(section, key, static_cast<UINT>(def), radix));
}

bool CIni::WriteInt(const wchar_t* section, const wchar_t* key, int value, int radix) const
{
    if (EffectiveRadix(radix) != 10)
        return WriteUInt(section, key, static_cast<UINT>(value), radix);
    return WriteString(section, key, std::to_wstring(value).c_str());
}

bool CIni::WriteUInt(const wchar_t* section, const wchar_t* key, UINT value, int radix) const
{
    wchar_t text[40] = {};
    switch (EffectiveRadix(radix)) {
    case 2:
        return WriteString(section, key, BinaryDigits(value).c_str());
    case 8:
        swprintf(text, ARRAYSIZE(text), L"%o", value);
        break;
    case 16:
        swprintf(text, ARRAYSIZE(text), L"%X", value);
        break;
    default:
        swprintf(text, ARRAYSIZE(text), L"%u", value);
        break;
    }
    return WriteString(section, key, text);
}

DWORD CIni::GetBinary(const wchar_t* section, const wchar_t* key, void* buffer, DWORD size, DWORD offset) const
{
    const std::wstring text = GetString(section, key);
    for (wchar_t c : text) {
        if (HexDigit(c) < 0)
            return 0;
    }
    const DWORD available = static_cast<DWORD>(text.size() / 2);
    if (offset >= available)
        return 0;
    if (!buffer)
        return available - offset;
    const DWORD count = (available - offset) < size ? (available - offset) : size;
    BYTE* out = static_cast<BYTE*>(buffer);
    for (DWORD i = 0; i < count; ++i) {
        const size_t at = 2 * (static_cast<size_t>(offset) + i);
        out[i] = static_cast<BYTE>(HexDigit(text[at]) << 4 | HexDigit(text[at + 1]));
    }
    return count;
}

std::vector<BYTE> CIni::GetBinary(const wchar_t* section, const wchar_t* key) const
{
    std::vector<BYTE> bytes(GetBinary(section, key, nullptr, 0));
    if (!bytes.empty())
        bytes.resize(GetBinary(section, key, bytes.data(), static_cast<DWORD>(bytes.size())));
    return bytes;
}

bool CIni::WriteBinary(const wchar_t* section, const wchar_t* key, const void* bytes, DWORD size) const
{
    if (!bytes)
        return false;
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    const BYTE* in = static_cast<const BYTE*>(bytes);
    std::wstring text;
    text.reserve(2 * static_cast<size_t>(size));
    for (DWORD i = 0; i < size; ++i) {
        text += kDigits[in[i] >> 4];
        text += kDigits[in[i] & 0x0F];
    }
    return WriteString(section, key, text.c_str());
}

std::wstring CIni::ReadList(const wchar_t* section, DWORD* fittedSize) const
{
    if (path_.empty())
        return {};
    // Both list functions report a list that did not fit by returning the
    // buffer size minus two.
    std::wstring list(kGrowStep, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(list.size());
        const DWORD length = section ? GetPrivateProfileSectionW(section, list.data(), size, path_.c_str())
                                     : GetPrivateProfileSectionNamesW(list.data(), size, path_.c_str());
        if (length + 2 < size) {
            if (fittedSize)
                *fittedSize = size;
            list.resize(length);
            return list;
        }
        list.resize(size + kGrowStep);
    }
}

namespace {

// Splits a zero-separated list into its entries.
std::vector<std::wstring> SplitList(const std::wstring& list)
{
    std::vector<std::wstring> entries;
    for (size_t start = 0; start < list.size();) {
        const size_t end = list.find(L'\0', start);
        const size_t stop = end == std::wstring::npos ? list.size() : end;
        if (stop > start)
            entries.emplace_back(list, start, stop - start);
        start = stop + 1;
    }
    return entries;
}

// Copies a zero-separated list into a caller's buffer, cutting what does not
// fit and always leaving it double-zero-terminated.
void CopyList(const std::vector<std::wstring>& entries, wchar_t* buffer, DWORD capacity)
{
    if (!buffer || capacity < 2) {
        if (buffer && capacity == 1)
            buffer[0] = L'\0';
        return;
    }
    DWORD at = 0;
    for (const std::wstring& entry : entries) {
        if (at + 2 >= capacity)
            break;
        const DWORD room = capacity - at - 2;
        const DWORD length = entry.size() < room ? static_cast<DWORD>(entry.size()) : room;
        wmemcpy(buffer + at, entry.data(), length);
        at += length;
        buffer[at++] = L'\0';
    }
    buffer[at] = L'\0';
    if (at == 0 && capacity > 1)
        buffer[1] = L'\0';
}

} // namespace

DWORD CIni::GetSectionNames(wchar_t* buffer, DWORD capacity) const
{
    if (!buffer) {
        DWORD fitted = kGrowStep;
        ReadList(nullptr, &fitted);
        return fitted;
    }
    if (path_.empty())
        return 0;
    return GetPrivateProfileSectionNamesW(buffer, capacity, path_.c_str());
}

DWORD CIni::GetSection(const wchar_t* section, wchar_t* buffer, DWORD capacity) const
{
    if (!section)
        return 0;
    if (!buffer) {
        DWORD fitted = kGrowStep;
        ReadList(section, &fitted);
        return fitted;
    }
    if (path_.empty())
        return 0;
    return GetPrivateProfileSectionW(section, buffer, capacity, path_.c_str());
}

std::vector<std::wstring> CIni::SectionNames() const
{
    return SplitList(ReadList(nullptr));
}

std::vector<std::wstring> CIni::KeyNames(const wchar_t* section) const
{
    std::vector<std::wstring> names;
    if (!section)
        return names;
    for (const std::wstring& line : SplitList(ReadList(section))) {
        const size_t equals = line.find(L'=');
        if (equals == std::wstring::npos || equals == 0)
            continue;
        size_t first = 0;
        size_t last = equals;
        while (first < last && IsBlank(line[first]))
            ++first;
        while (last > first && IsBlank(line[last - 1]))
            --last;
        names.emplace_back(line, first, last - first);
    }
    return names;
}

DWORD CIni::GetKeyNames(const wchar_t* section, wchar_t* buffer, DWORD capacity) const
{
    const std::vector<std::wstring> names = KeyNames(section);
    DWORD needed = 1;
    for (const std::wstring& name : names)
        needed += static_cast<DWORD>(name.size()) + 1;
    CopyList(names, buffer, capacity);
    return needed;
}

bool CIni::SectionExists(const wchar_t* section) const
{
    if (!section)
        return false;
    for (const std::wstring& name : SectionNames()) {
        if (_wcsicmp(name.c_str(), section) == 0)
            return true;
    }
    return false;
}

bool CIni::CopyKey(const wchar_t* fromSection, const wchar_t* fromKey, const wchar_t* toSection,
                   const wchar_t* toKey, bool noOverwrite) const
{
    if (!fromSection || !fromKey || !toSection || !toKey)
        return false;
    if (_wcsicmp(fromSection, toSection) == 0 && _wcsicmp(fromKey, toKey) == 0)
        return false;
    if (!KeyExists(fromSection, fromKey))
        return false;
    if (noOverwrite && KeyExists(toSection, toKey))
        return false;
    return WriteString(toSection, toKey, GetString(fromSection, fromKey).c_str());
}
