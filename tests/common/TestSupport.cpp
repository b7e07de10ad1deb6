#include "TestSupport.h"

#include "ScopedHandle.h"

#include <shellapi.h>

std::wstring ExeFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

TempFolder::TempFolder()
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(ARRAYSIZE(temp), temp);
    static LONG counter = 0;
    for (;;) {
        wchar_t name[64];
        swprintf(name, ARRAYSIZE(name), L"vlmtest-%lu-%ld\\", GetCurrentProcessId(), InterlockedIncrement(&counter));
        path_ = std::wstring(temp) + name;
        if (CreateDirectoryW(path_.c_str(), nullptr))
            return;
    }
}

TempFolder::~TempFolder()
{
    // SHFileOperation wants a double-zero-terminated list and no trailing slash.
    std::wstring from = path_.substr(0, path_.size() - 1);
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationW(&op);
}

bool WriteFileBytes(const std::wstring& path, std::string_view bytes)
{
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::string ReadFileBytes(const std::wstring& path)
{
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    if (!file)
        return bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file.get(), chunk, sizeof(chunk), &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    return bytes;
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void PumpPending()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            if (done())
                return true;
        }
        if (done())
            return true;
        const ULONGLONG elapsed = GetTickCount64() - start;
        if (elapsed >= timeoutMs)
            return false;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(timeoutMs - elapsed), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}
