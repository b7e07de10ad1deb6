#include "CopyData.h"

#include <cwchar>

bool ReadCopyDataText(const void* data, unsigned long size, std::wstring& text)
{
    if (!data || size < sizeof(wchar_t) || size % sizeof(wchar_t) != 0)
        return false;
    const auto* chars = static_cast<const wchar_t*>(data);
    const size_t capacity = size / sizeof(wchar_t);
    const size_t length = wcsnlen(chars, capacity);
    if (length == capacity || (length + 1) * sizeof(wchar_t) != size)
        return false;
    text.assign(chars, length);
    return true;
}
