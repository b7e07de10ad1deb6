// The real Velmora.exe, started as a process from a copy in a temporary
// folder with its own settings file, and driven from outside the way the
// shell and a second instance drive it.
#include "Ini.h"
#include "LangStrings.h"
#include "ScopedHandle.h"
#include "TestSupport.h"
#include "WindowPlacement.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kTrayClass[] = L"__oVLMoSYSTRAYoWNDo__";
constexpr wchar_t kMainClass[] = L"__oVLMoMAINoWNDo__";
constexpr DWORD kStartTimeout = 30000;

// Waits for a condition that another process brings about, handling this
// thread's messages meanwhile (that process may be sending us some).
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = kStartTimeout)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

// Waits for a process to end while serving this thread's messages.
bool WaitForExit(HANDLE process, DWORD timeoutMs = kStartTimeout)
{
    return WaitUntil([&] { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }, timeoutMs);
}

std::vector<HWND> TopWindowsOfClass(const wchar_t* className, DWORD processId = 0)
{
    struct Search {
        const wchar_t* className;
        DWORD processId;
        std::vector<HWND> found;
    } search = {className, processId, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            wchar_t name[64] = {};
            GetClassNameW(hwnd, name, ARRAYSIZE(name));
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            if (wcscmp(name, s->className) == 0 && (!s->processId || owner == s->processId))
                s->found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class ClientProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const wchar_t* file : {L"Velmora.exe", L"VLMLang.dll", L"VLMMedia.dll"})
            ASSERT_TRUE(CopyFileW((ExeFolder() + file).c_str(), folder.File(file).c_str(), FALSE)) << file;
        WriteSettings("[General]\r\nShowMainMenu=1\r\n");
    }

    void TearDown() override
    {
        for (ScopedHandle& process : processes) {
            if (WaitForSingleObject(process.get(), 0) != WAIT_OBJECT_0) {
                TerminateProcess(process.get(), 1);
                WaitForSingleObject(process.get(), 5000);
            }
        }
    }

    void WriteSettings(const std::string& text) { ASSERT_TRUE(WriteFileBytes(ini(), text)); }
    std::wstring ini() const { return folder.File(L"Velmora.ini"); }

    // Starts the program with `arguments` and returns its process handle.
    HANDLE Start(const std::wstring& arguments = L"")
    {
        std::wstring commandLine = L"\"" + folder.File(L"Velmora.exe") + L"\"";
        if (!arguments.empty())
            commandLine += L" " + arguments;
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.Path().c_str(),
                            &startup, &info)) {
            ADD_FAILURE() << "CreateProcess failed: " << GetLastError();
            return nullptr;
        }
        CloseHandle(info.hThread);
        processes.emplace_back(info.hProcess);
        return info.hProcess;
    }

    // Starts the client and waits until its windows are up.
    HANDLE StartClient()
    {
        HANDLE process = Start();
        if (process && !WaitUntil([&] { return !TopWindowsOfClass(kMainClass, GetProcessId(process)).empty(); }))
            ADD_FAILURE() << "the client did not show its main window";
        WaitForInputIdle(process, kStartTimeout);
        return process;
    }

    HWND MainOf(HANDLE process) const
    {
        const std::vector<HWND> found = TopWindowsOfClass(kMainClass, GetProcessId(process));
        return found.empty() ? nullptr : found.front();
    }
    HWND TrayOf(HANDLE process) const
    {
        const std::vector<HWND> found = TopWindowsOfClass(kTrayClass, GetProcessId(process));
        return found.empty() ? nullptr : found.front();
    }

    // Ends a client the way the "EX|" hand-off does.
    void Quit(HANDLE process)
    {
        PostMessageW(MainOf(process), WM_COMMAND, 110, 0);
        ASSERT_TRUE(WaitForExit(process));
    }

    TempFolder folder;
    std::vector<ScopedHandle> processes;
};

TEST_F(ClientProcessTest, StartsWithTrayWindowAndMainWindowOnTheSignOnPane)
{
    HANDLE client = StartClient();
    HWND tray = TrayOf(client);
    HWND main = MainOf(client);
    ASSERT_TRUE(tray);
    ASSERT_TRUE(main);
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_EQ(0x534B0008, SendMessageW(main, WM_USER, 0, 0));
    wchar_t title[32] = {};
    GetWindowTextW(main, title, ARRAYSIZE(title));
    EXPECT_STREQ(L"Velmora", title);

    // Closing only hides; the tray's show code brings it back.
    SendMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(main));
    SendMessageW(tray, 0x8001, 0, 0x8004);
    EXPECT_TRUE(IsWindowVisible(main));

    // Explorer restarting broadcasts TaskbarCreated; the icon window stays
    // and keeps answering.
    SendMessageW(tray, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    SendMessageW(main, WM_CLOSE, 0, 0);
    SendMessageW(tray, 0x8001, 0, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindow(tray));
    EXPECT_TRUE(IsWindowVisible(main));
    Quit(client);
}

TEST_F(ClientProcessTest, SecondStartWakesTheFirstAndEndsSilently)
{
    HANDLE first = StartClient();
    HWND main = MainOf(first);
    SendMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_FALSE(IsWindowVisible(main));

    HANDLE second = Start();
    ASSERT_TRUE(WaitForExit(second));
    DWORD code = 1;
    GetExitCodeProcess(second, &code);
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(TopWindowsOfClass(kMainClass, GetProcessId(second)).empty());
    EXPECT_TRUE(TopWindowsOfClass(L"#32770", GetProcessId(second)).empty());
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(main) != FALSE; }));
    EXPECT_EQ(1u, TopWindowsOfClass(kTrayClass).size());
    Quit(first);
}

// A window of this test that records the WM_COPYDATA records it receives.
struct Received {
    ULONG_PTR kind;
    std::wstring text;
    DWORD size;
};
std::vector<Received> g_received;

LRESULT CALLBACK RecorderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        std::wstring text;
        if (data->lpData && data->cbData >= sizeof(wchar_t))
            text.assign(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t) - 1);
        g_received.push_back({data->dwData, text, data->cbData});
        return 1;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(ClientProcessTest, HandoffsReachTheNamedWindow)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = RecorderProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VlmHandoffRecorder";
    RegisterClassW(&wc);
    HWND recorder = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance,
                                    nullptr);
    ASSERT_TRUE(recorder);
    wchar_t hex[32];
    swprintf(hex, ARRAYSIZE(hex), L"%llX", static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(recorder)));
    const std::wstring handle = hex;

    struct Case {
        std::wstring arguments;
        std::vector<ULONG_PTR> kinds;
        std::wstring text;
    } cases[] = {
        {L"IM|" + handle + L"|alice", {26}, L"alice"},
        {L"bogus /nothing IM|" + handle + L"|bob", {26}, L"bob"},
        {L"IM|" + handle + L"|first IM|" + handle + L"|second", {26}, L"first"},
        {L"SG|" + handle, {27}, L""},
        {L"EX|" + handle, {28}, L""},
        {L"IM|" + handle + L"|" + std::wstring(200, L'z'), {26}, std::wstring(126, L'z')},
        {L"/reinstallcmd IM|" + handle + L"|carol", {}, L""},
        {L"IM|1|nobody", {}, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments.substr(0, 40)));
        g_received.clear();
        HANDLE process = Start(c.arguments);
        ASSERT_TRUE(WaitForExit(process));
        ASSERT_EQ(c.kinds.size(), g_received.size());
        if (!c.kinds.empty()) {
            EXPECT_EQ(c.kinds[0], g_received[0].kind);
            EXPECT_EQ(c.text, g_received[0].text);
            if (!c.text.empty()) {
                EXPECT_EQ((c.text.size() + 1) * sizeof(wchar_t), g_received[0].size);
            }
        }
        // A hand-off never starts a client.
        EXPECT_TRUE(TopWindowsOfClass(kTrayClass).empty());
    }
    DestroyWindow(recorder);
}

TEST_F(ClientProcessTest, ExitHandoffEndsTheRunningClient)
{
    HANDLE client = StartClient();
    wchar_t arguments[64];
    swprintf(arguments, ARRAYSIZE(arguments), L"EX|%llX",
             static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(MainOf(client))));
    HANDLE handoff = Start(arguments);
    ASSERT_TRUE(WaitForExit(handoff));
    ASSERT_TRUE(WaitForExit(client));
    DWORD code = 1;
    GetExitCodeProcess(client, &code);
    EXPECT_EQ(0u, code);
}

TEST_F(ClientProcessTest, MissingSettingsFileShowsOneErrorBox)
{
    ASSERT_TRUE(DeleteFileW(ini().c_str()));
    HANDLE client = Start();
    std::vector<HWND> boxes;
    ASSERT_TRUE(WaitUntil([&] {
        boxes = TopWindowsOfClass(L"#32770", GetProcessId(client));
        return !boxes.empty() && IsWindowVisible(boxes.front());
    }));
    ASSERT_EQ(1u, boxes.size());
    wchar_t caption[64] = {};
    GetWindowTextW(boxes.front(), caption, ARRAYSIZE(caption));
    EXPECT_STREQ(L"Velmora", caption);
    wchar_t text[512] = {};
    GetDlgItemTextW(boxes.front(), 0xFFFF, text, ARRAYSIZE(text));
    EXPECT_EQ(SystemErrorText(kErrorAppInitFailure), text);
    EXPECT_TRUE(TopWindowsOfClass(kTrayClass, GetProcessId(client)).empty());

    PostMessageW(boxes.front(), WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitForExit(client));
    DWORD code = 1;
    GetExitCodeProcess(client, &code);
    EXPECT_EQ(0u, code);
}

TEST_F(ClientProcessTest, ChangedFontHeightDropsSavedPlacements)
{
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    placement.showCmd = SW_SHOWNORMAL;
    placement.rcNormalPosition = {40, 50, 300, 480};
    CIni settings(ini().c_str());
    settings.WriteUInt(L"WndPos", L"AFH", 9999);
    settings.WriteBinary(L"WndPos", L"Main", &placement, sizeof(placement));
    settings.WriteBinary(L"WndPos", L"Chat", &placement, sizeof(placement));

    HANDLE client = StartClient();
    EXPECT_FALSE(settings.KeyExists(L"WndPos", L"Chat"));
    EXPECT_FALSE(settings.KeyExists(L"WndPos", L"Main"));
    const UINT height = settings.GetUInt(L"WndPos", L"AFH", 9999);
    EXPECT_NE(9999u, height);
    EXPECT_GT(height, 0u);
    Quit(client);

    // The same height next time keeps what was saved.
    settings.WriteBinary(L"WndPos", L"Chat", &placement, sizeof(placement));
    client = StartClient();
    EXPECT_TRUE(settings.KeyExists(L"WndPos", L"Chat"));
    Quit(client);
}

TEST_F(ClientProcessTest, UseAppDataMovesTheSettingsIntoTheProfile)
{
    wchar_t appData[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData)));
    const std::wstring profileFolder = std::wstring(appData) + L"\\Velmora";
    const std::wstring profileIni = profileFolder + L"\\Velmora.ini";
    DeleteFileW(profileIni.c_str());
    RemoveDirectoryW(profileFolder.c_str());
    ASSERT_FALSE(FolderExists(profileFolder));
    WriteSettings("[General]\r\nUseAppData=1\r\n");

    HANDLE client = StartClient();
    EXPECT_TRUE(FolderExists(profileFolder));
    CIni profile(profileIni.c_str());
    CIni local(ini().c_str());
    EXPECT_TRUE(profile.KeyExists(L"WndPos", L"AFH"));
    EXPECT_FALSE(local.KeyExists(L"WndPos", L"AFH"));
    Quit(client);
    DeleteFileW(profileIni.c_str());
    RemoveDirectoryW(profileFolder.c_str());
}

TEST_F(ClientProcessTest, MainPlacementSurvivesARestartAndComesBackNormal)
{
    HANDLE client = StartClient();
    HWND main = MainOf(client);
    SetWindowPos(main, nullptr, 210, 160, 260, 420, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT placed;
    GetWindowRect(main, &placed);
    ShowWindow(main, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(main));
    SendMessageW(main, WM_CLOSE, 0, 0);
    Quit(client);

    WINDOWPLACEMENT saved;
    CIni settings(ini().c_str());
    ASSERT_TRUE(ReadWindowPlacement(settings, L"Main", saved));
    EXPECT_EQ(static_cast<UINT>(SW_SHOWMINIMIZED), saved.showCmd);

    client = StartClient();
    main = MainOf(client);
    EXPECT_FALSE(IsIconic(main));
    EXPECT_TRUE(IsWindowVisible(main));
    RECT restored;
    GetWindowRect(main, &restored);
    EXPECT_EQ(placed.left, restored.left);
    EXPECT_EQ(placed.top, restored.top);
    EXPECT_EQ(placed.right - placed.left, restored.right - restored.left);
    EXPECT_EQ(placed.bottom - placed.top, restored.bottom - restored.top);
    Quit(client);
}

} // namespace
