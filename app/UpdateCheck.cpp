#include "UpdateCheck.h"

#include "AppState.h"
#include "ScopedHandle.h"

#include <urlmon.h>

#include <cstdio>
#include <ctime>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr wchar_t kDefaultServer[] = L"http://update.velmora.invalid";
constexpr unsigned kMinimumSecondsBetweenChecks = 900;
constexpr DWORD kLargestReply = 4096;

struct CheckJob {
    bool explicitRequest;
    unsigned setting;
    std::wstring url;
    VersionQuad own;
    HWND notify;
    UINT message;
    LPARAM code;
};

// Findings on their way to the GUI thread. Never destroyed: a check still
// running while the process exits must not find it gone.
struct Mailbox {
    std::mutex lock;
    std::deque<UpdateResult> results;
};
Mailbox& Results()
{
    static Mailbox* mailbox = new Mailbox;
    return *mailbox;
}

bool ReadSmallFile(const wchar_t* path, std::string& contents)
{
    ScopedHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > kLargestReply)
        return false;
    contents.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return ReadFile(file.get(), contents.data(), static_cast<DWORD>(contents.size()), &read, nullptr) &&
           read == contents.size();
}

// Through the system's URL cache, as a browser would fetch it. Wine's cache
// cannot name an entry for an address whose path ends in a query, so a
// private temporary file serves when the cache refuses.
bool DownloadSmallFile(const std::wstring& url, std::string& contents)
{
    wchar_t cached[MAX_PATH] = {};
    if (SUCCEEDED(URLDownloadToCacheFileW(nullptr, url.c_str(), cached, ARRAYSIZE(cached), 0, nullptr)))
        return ReadSmallFile(cached, contents);
    wchar_t folder[MAX_PATH] = {};
    wchar_t temp[MAX_PATH] = {};
    if (!GetTempPathW(ARRAYSIZE(folder), folder) || !GetTempFileNameW(folder, L"vlu", 0, temp))
        return false;
    const bool ok = SUCCEEDED(URLDownloadToFileW(nullptr, url.c_str(), temp, 0, nullptr)) &&
                    ReadSmallFile(temp, contents);
    DeleteFileW(temp);
    return ok;
}

void RunCheck(const CheckJob& job)
{
    UpdateResult result;
    result.explicitRequest = job.explicitRequest;
    // The tick count in the query keeps caches from answering for the server.
    wchar_t query[40];
    swprintf(query, ARRAYSIZE(query), L"/update/?%lu", GetTickCount());
    std::string reply;
    VersionQuad release = {};
    VersionQuad test = {};
    if (DownloadSmallFile(job.url + query, reply) && ParseUpdateReply(reply, release, test))
        result.finding = DecideUpdate(job.own, release, test, job.setting);
    else
        result.finding = UpdateFinding::CheckFailed;
    // The automatic check has nothing to say when there is nothing new.
    if (!job.explicitRequest && result.finding != UpdateFinding::NewRelease &&
        result.finding != UpdateFinding::NewTestVersion)
        return;
    {
        Mailbox& mailbox = Results();
        std::lock_guard<std::mutex> lock(mailbox.lock);
        mailbox.results.push_back(result);
    }
    PostMessageW(job.notify, job.message, 0, job.code);
}

} // namespace

bool ParseUpdateReply(const std::string& reply, VersionQuad& release, VersionQuad& test)
{
    const std::string text(reply.c_str()); // up to a stray zero byte
    return sscanf(text.c_str(), "%d.%d.%d.%d|%d.%d.%d.%d", &release[0], &release[1], &release[2], &release[3],
                  &test[0], &test[1], &test[2], &test[3]) == 8;
}

int CompareVersions(const VersionQuad& a, const VersionQuad& b)
{
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

UpdateFinding DecideUpdate(const VersionQuad& own, const VersionQuad& release, const VersionQuad& test,
                           unsigned setting)
{
    if (CompareVersions(release, own) > 0)
        return UpdateFinding::NewRelease;
    if (setting >= 2 && CompareVersions(test, own) > 0)
        return UpdateFinding::NewTestVersion;
    return UpdateFinding::None;
}

VersionQuad ProgramVersion()
{
    VersionQuad version = {};
    wchar_t path[MAX_PATH] = {};
    if (!GetModuleFileNameW(nullptr, path, ARRAYSIZE(path)))
        return version;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (!size)
        return version;
    std::vector<BYTE> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(path, 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || length < sizeof(*info))
        return version;
    version = {static_cast<int>(HIWORD(info->dwFileVersionMS)), static_cast<int>(LOWORD(info->dwFileVersionMS)),
               static_cast<int>(HIWORD(info->dwFileVersionLS)), static_cast<int>(LOWORD(info->dwFileVersionLS))};
    return version;
}

std::wstring UpdateServerAddress()
{
    std::wstring server = Settings().GetString(L"Update", L"Server", kDefaultServer);
    while (!server.empty() && server.back() == L'/')
        server.pop_back();
    return server.empty() ? std::wstring(kDefaultServer) : server;
}

bool StartUpdateCheck(bool explicitRequest, HWND notify, UINT message, LPARAM code)
{
    CIni& ini = Settings();
    const unsigned setting = ini.GetUInt(L"General", L"UpdateCheck", 0);
    if (setting == 0 && !explicitRequest)
        return false;
    const unsigned now = static_cast<unsigned>(time(nullptr));
    const unsigned last = ini.GetUInt(L"Update", L"Check", 0);
    if (!explicitRequest && now >= last && now - last < kMinimumSecondsBetweenChecks)
        return false;
    ini.WriteUInt(L"Update", L"Check", now);

    CheckJob job{explicitRequest, setting, UpdateServerAddress(), ProgramVersion(), notify, message, code};
    try {
        std::thread([job]() {
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            RunCheck(job);
            CoUninitialize();
        }).detach();
    } catch (...) {
        return false;
    }
    return true;
}

bool TakeUpdateResult(UpdateResult& result)
{
    Mailbox& mailbox = Results();
    std::lock_guard<std::mutex> lock(mailbox.lock);
    if (mailbox.results.empty())
        return false;
    result = mailbox.results.front();
    mailbox.results.pop_front();
    return true;
}
