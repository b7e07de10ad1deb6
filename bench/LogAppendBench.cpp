// How long one message takes to reach a day's conversation log as the file
// grows: 100,000 messages appended to one day's "Sessions.xml" through the
// log writer, in a temporary folder. Prints the time per append over the
// first and the last thousand and at every tenth of the way; an append must
// cost the same at the end as at the start.
#include "AppState.h"
#include "Ini.h"
#include "LogWriter.h"
#include "MediaLibrary.h"
#include "ScopedHandle.h"
#include "TestSupport.h"

#include <cstdio>
#include <string>

namespace {

constexpr int kMessages = 100000;
constexpr int kWindow = 1000;

double Microseconds(LONGLONG ticks)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1e6 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

}  // namespace

int main()
{
    ScopedModule media(LoadLibraryExW((ExeFolder() + L"VLMMedia.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!media) {
        std::printf("VLMMedia.dll not found beside the program\n");
        return 1;
    }
    SetMediaModule(media.get());
    TempFolder folder;
    Settings().SetPath(folder.File(L"Velmora.ini").c_str());
    Settings().WriteString(L"Settings.LOGS", L"LogIMs", L"1");
    const std::wstring root = folder.File(L"root");
    CLogWriter writer([&] { return root; });

    LoggedMessage message;
    message.accountName = L"Bench Account";
    message.accountDisplayName = L"Bench";
    message.senderName = L"Some Buddy";
    message.remoteName = L"Some Buddy";
    message.flags = MessageLogFlags::Received;
    GetLocalTime(&message.local);
    LogSession session;

    LONGLONG windowStart = Now();
    double first = 0;
    double last = 0;
    for (int i = 1; i <= kMessages; ++i) {
        message.html = L"<font color=\"#336699\"><b>Message " + std::to_wstring(i)
            + L"</b> with some <i>formatting</i> &amp; a link <a href=\"http://example.com/\">here</a></font>";
        if (!writer.LogMessage(message, session)) {
            std::printf("append %d failed\n", i);
            return 1;
        }
        if (i % kWindow == 0) {
            const LONGLONG now = Now();
            const double perAppend = Microseconds(now - windowStart) / kWindow;
            if (i == kWindow)
                first = perAppend;
            last = perAppend;
            if (i % (kMessages / 10) == 0)
                std::printf("after %6d messages: %8.1f us per append\n", i, perAppend);
            windowStart = Now();
        }
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW((writer.DayFolder(0, message.accountName, message.remoteName, L"", message.local)
                          + L"Sessions.xml").c_str(),
                         GetFileExInfoStandard, &data);
    const double megabytes = (static_cast<double>(data.nFileSizeHigh) * 4294967296.0 + data.nFileSizeLow) / 1048576.0;
    std::printf("first %d appends: %.1f us each; last %d: %.1f us each; file %.1f MB\n", kWindow, first, kWindow,
                last, megabytes);
    Settings().SetPath(nullptr);
    SetMediaModule(nullptr);
    return 0;
}
