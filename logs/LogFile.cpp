#include "LogFile.h"

#include "LogText.h"
#include "ScopedHandle.h"

#include <windows.h>

#include <algorithm>

namespace {

// A day header is a few hundred bytes; anything much larger is not one.
constexpr size_t kMaxHeaderBytes = 64 * 1024;

bool WriteAll(HANDLE file, std::string_view bytes)
{
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1 << 30));
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0)
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

std::string Declaration(std::string_view root)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<";
    text += root;
    text += ">\r\n";
    return text;
}

std::string ClosingTag(std::string_view root)
{
    std::string text = "</";
    text += root;
    text += ">\r\n";
    return text;
}

// The offset of the closing tag at the end of the open file, or -1.
LONGLONG ClosingTagOffset(HANDLE file, LONGLONG size, const std::string& closing)
{
    if (size < static_cast<LONGLONG>(closing.size()))
        return -1;
    LARGE_INTEGER at;
    at.QuadPart = size - static_cast<LONGLONG>(closing.size());
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN))
        return -1;
    std::string tail(closing.size(), '\0');
    DWORD read = 0;
    if (!ReadFile(file, tail.data(), static_cast<DWORD>(tail.size()), &read, nullptr) || read != tail.size())
        return -1;
    return tail == closing ? at.QuadPart : -1;
}

ScopedHandle OpenForAppend(const std::wstring& path)
{
    return ScopedHandle(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

bool PathExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool AppendXmlRecord(const std::wstring& path, std::string_view root, std::string_view record)
{
    ScopedHandle file = OpenForAppend(path);
    if (!file)
        return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size))
        return false;
    const std::string closing = ClosingTag(root);
    std::string bytes;
    LONGLONG at = 0;
    if (size.QuadPart > 0) {
        at = ClosingTagOffset(file.get(), size.QuadPart, closing);
        if (at < 0) {
            file.reset();
            if (!MoveFileExW(path.c_str(), (path + L".damaged").c_str(), MOVEFILE_REPLACE_EXISTING))
                return false;
            file = OpenForAppend(path);
            if (!file)
                return false;
            at = 0;
        }
    }
    if (at == 0)
        bytes = Declaration(root);
    bytes.append(record);
    bytes += closing;
    LARGE_INTEGER position;
    position.QuadPart = at;
    // One write carries the record and the closing tag, so the file is never
    // seen without its end.
    return SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN) && WriteAll(file.get(), bytes)
        && SetEndOfFile(file.get());
}

bool ReplaceFileContents(const std::wstring& path, std::string_view bytes)
{
    const std::wstring temporary = path + L".tmp";
    {
        ScopedHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
        if (!file)
            return false;
        if (!WriteAll(file.get(), bytes) || !FlushFileBuffers(file.get())) {
            file.reset();
            DeleteFileW(temporary.c_str());
            return false;
        }
    }
    if (MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileW(temporary.c_str());
    return false;
}

bool WriteNewFile(const std::wstring& path, std::string_view bytes)
{
    ScopedHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    if (WriteAll(file.get(), bytes))
        return true;
    file.reset();
    DeleteFileW(path.c_str());
    return false;
}

bool ReadSmallFile(const std::wstring& path, size_t limit, std::string& bytes)
{
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > static_cast<LONGLONG>(limit))
        return false;
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)
                           || read != bytes.size()))
        return false;
    return true;
}

int AllocateSessionId(const std::wstring& dayFolder)
{
    const std::wstring path = dayFolder + L"Log.xml";
    std::string header;
    int session = 1;
    if (!ReadSmallFile(path, kMaxHeaderBytes, header) || !TakeNextSessionId(header, session))
        return 1;
    // Written beside and moved over the old header, so a crash leaves either
    // header whole, never a truncated one.
    ReplaceFileContents(path, header);
    return session;
}
