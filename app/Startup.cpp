#include "Startup.h"

#include "AimLinks.h"
#include "AppMessages.h"
#include "AppState.h"
#include "BackgroundBitmap.h"
#include "ConversationOpening.h"
#include "LogConnection.h"
#include "Folders.h"
#include "LangStrings.h"
#include "MainWnd.h"
#include "MediaLibrary.h"
#include "Seams.h"
#include "SysTrayIcon.h"
#include "UpdateCheck.h"
#include "WindowPlacement.h"

#include <gdiplus.h>
#include <objbase.h>
#include <ole2.h>
#include <shlobj.h>

#include <cwctype>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kGeneral[] = L"General";
constexpr UINT kTrayIconId = 10;
constexpr int kTrayIconResource = 137;

// What this process set up, so that shutdown takes away only that.
struct SetUpState {
    bool ole = false;
    bool gdiplus = false;
    bool aimProtocolRegistered = false;
    bool soundManager = false;
    bool mediaListener = false;
};
SetUpState g_setUp;

CSysTrayIcon g_trayIcon;
CMainWnd* g_mainWnd = nullptr;

bool Fail()
{
    SetLastError(kErrorAppInitFailure);
    ShowErrorBox(nullptr, 0, MB_ICONERROR | MB_SETFOREGROUND);
    return false;
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int ReadBrowserMajorVersion()
{
    wchar_t version[64] = {};
    DWORD size = sizeof(version) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Internet Explorer", L"Version", RRF_RT_REG_SZ,
                     nullptr, version, &size) != ERROR_SUCCESS)
        return 0;
    int major = 0, minor = 0, build = 0, revision = 0;
    return swscanf(version, L"%d.%d.%d.%d", &major, &minor, &build, &revision) >= 1 ? major : 0;
}

// The program's folder, with a trailing backslash. A path the buffer cuts
// is as useless as none.
bool ReadProgramFolder(std::wstring& folder, std::wstring& program)
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return false;
        if (length < path.size()) {
            program.assign(path.data(), length);
            break;
        }
        if (path.size() >= 32768)
            return false;
        path.resize(path.size() * 2);
    }
    if (!FileExists(program))
        return false;
    const size_t slash = program.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return false;
    folder = program.substr(0, slash + 1);
    return true;
}

bool UseAppDataSettings(AppState& app)
{
    wchar_t appData[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, appData)))
        return false;
    const std::wstring path = std::wstring(appData) + L"\\Velmora\\Velmora.ini";
    if (!FileExists(path) && !CreateFolderPath(path))
        return false;
    app.settingsPath = path;
    app.ini.SetPath(path.c_str());
    return true;
}

void RepairPortableLogFolder(const CIni& ini, const std::wstring& settingsPath)
{
    const std::vector<BYTE> bytes = ini.GetBinary(L"aimcc.folders", L"logs");
    if (bytes.size() < sizeof(wchar_t))
        return;
    const std::wstring stored(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    const std::wstring repaired = RepairLogFolderDrive(stored, settingsPath);
    if (repaired != stored)
        ini.WriteBinary(L"aimcc.folders", L"logs", repaired.data(),
                        static_cast<DWORD>(repaired.size() * sizeof(wchar_t)));
}

// Names the mutex after the logon session, so that each user on a machine
// (and each session of one user) runs one client.
std::wstring InstanceMutexName()
{
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken))
        return {};
    ScopedHandle token(rawToken);
    TOKEN_STATISTICS statistics = {};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenStatistics, &statistics, sizeof(statistics), &size))
        return L"Velmora";
    wchar_t name[64];
    swprintf(name, ARRAYSIZE(name), L"Velmora-%08x%08x", static_cast<unsigned>(statistics.AuthenticationId.HighPart),
             static_cast<unsigned>(statistics.AuthenticationId.LowPart));
    return name;
}

// False when another client runs in this logon session; that one is woken.
bool ClaimSingleInstance(AppState& app)
{
    if (app.ini.GetBool(kGeneral, L"AllowClones", false))
        return true;
    const std::wstring name = InstanceMutexName();
    if (name.empty())
        return true;
    app.instanceMutex.reset(CreateMutexW(nullptr, FALSE, name.c_str()));
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED)
        return true;
    app.instanceMutex.reset();
    if (HWND running = FindWindowW(kSysTrayClassName, nullptr))
        PostMessageW(running, kAppMessage, 0, kAppShowMainWindow);
    return false;
}

bool LoadResourceLibraries(AppState& app)
{
    app.langLibrary.reset(
        LoadLibraryExW((app.programFolder + L"VLMLang.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!app.langLibrary)
        return false;
    SetLangModule(app.langLibrary.get());
    app.mediaLibrary.reset(
        LoadLibraryExW((app.programFolder + L"VLMMedia.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!app.mediaLibrary)
        return false;
    SetMediaModule(app.mediaLibrary.get());
    return true;
}

// Saved placements belong to the font size they were made with: when the
// system's font changed, they are all dropped.
void CheckPlacementFontHeight(AppState& app)
{
    const UINT saved = app.ini.GetUInt(kWndPosSection, L"AFH", 0);
    if (saved == static_cast<UINT>(app.uiFont.height))
        return;
    app.ini.DeleteSection(kWndPosSection);
    app.ini.WriteUInt(kWndPosSection, L"AFH", static_cast<UINT>(app.uiFont.height));
}

BOOL CALLBACK CloseThreadWindow(HWND hwnd, LPARAM)
{
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    return TRUE;
}

} // namespace

CSysTrayIcon& TrayIcon()
{
    return g_trayIcon;
}

std::wstring RepairLogFolderDrive(const std::wstring& logFolder, const std::wstring& settingsPath)
{
    auto isDrivePath = [](const std::wstring& path) {
        return path.size() >= 3 && iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\';
    };
    if (!isDrivePath(logFolder) || !isDrivePath(settingsPath))
        return logFolder;
    if (towupper(logFolder[0]) == towupper(settingsPath[0]))
        return logFolder;
    return settingsPath.substr(0, 2) + logFolder.substr(2);
}

bool Startup(HINSTANCE instance)
{
    AppState& app = App();
    app.instance = instance;

    g_setUp.ole = SUCCEEDED(OleInitialize(nullptr));
    Gdiplus::GdiplusStartupInput gdiplusInput;
    g_setUp.gdiplus = Gdiplus::GdiplusStartup(&app.gdiplusToken, &gdiplusInput, nullptr) == Gdiplus::Ok;
    app.browserMajorVersion = ReadBrowserMajorVersion();
    SystemParametersInfoW(SPI_SETLISTBOXSMOOTHSCROLLING, 0, FALSE, 0);

    std::wstring program;
    if (!ReadProgramFolder(app.programFolder, program))
        return Fail();
    // The file beside the program must exist even when it only says that
    // the settings live in the application-data folder.
    app.settingsPath = app.programFolder + L"Velmora.ini";
    if (!FileExists(app.settingsPath))
        return Fail();
    app.ini.SetPath(app.settingsPath.c_str());

    if (app.ini.GetBool(kGeneral, L"UseAppData", false)) {
        if (!UseAppDataSettings(app))
            return Fail();
    } else {
        app.portable = true;
        RepairPortableLogFolder(app.ini, app.settingsPath);
    }

    if (!ClaimSingleInstance(app))
        return false;

    if (!LoadResourceLibraries(app))
        return Fail();

    app.canDock = app.ini.GetBool(kGeneral, L"CanDock", false);
    if (app.ini.GetBool(kGeneral, L"ProcessAIMURLS", false)) {
        RegisterAimProtocol(true, program);
        g_setUp.aimProtocolRegistered = true;
    }

    if (!app.uiFont.Create(UiFontDescription(), true))
        return Fail();
    CheckPlacementFontHeight(app);
    if (!app.symbolFont.Create(SymbolFontDescription(), false))
        return Fail();

    LoadAppLockPassword();

    if (!g_trayIcon.Create(&AppMessageHandler))
        return false;
    g_trayIcon.AddIcon(LoadMediaIcon(kTrayIconResource, 16), kTrayIconId, kAppName);

    g_mainWnd = new CMainWnd;
    if (!g_mainWnd->Create(g_trayIcon.Hwnd()))
        return false;
    RegisterConversationWindows(true);
    RegisterBuddyEventLog(true);

    g_setUp.soundManager = CreateSoundManager();
    g_setUp.mediaListener = CreateMediaListener();
    StartUpdateCheck(false, g_trayIcon.Hwnd(), kAppMessage, kAppUpdateResult);
    g_mainWnd->SignOnPane()->StartAutoSignOn();
    return true;
}

int RunMessageLoop()
{
    MSG msg = {};
    for (;;) {
        const BOOL result = GetMessageW(&msg, nullptr, 0, 0);
        if (result == 0)
            return static_cast<int>(msg.wParam);
        if (result == -1) {
            // The message was not filled in, so it names no owner.
            ShowErrorBox(nullptr, 0, MB_ICONERROR | MB_SETFOREGROUND);
            return 0;
        }
        // There is no accelerator table; dialog keys (Tab, Enter) go to the
        // active window first.
        HWND active = GetActiveWindow();
        if (active && IsDialogMessageW(active, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void Shutdown()
{
    AppState& app = App();
    if (g_trayIcon.Hwnd())
        g_trayIcon.RemoveIcon();
    RegisterConversationWindows(false);
    RegisterBuddyEventLog(false);
    if (g_mainWnd) {
        if (g_mainWnd->Hwnd()) {
            SendMessageW(g_mainWnd->Hwnd(), WM_CLOSE, 0, 0);
            DestroyWindow(g_mainWnd->Hwnd());
        }
        delete g_mainWnd;
        g_mainWnd = nullptr;
    }
    if (g_setUp.soundManager)
        DestroySoundManager();
    if (g_setUp.mediaListener)
        DestroyMediaListener();
    StopInfoTips();
    DestroyToasts();
    ReleaseBuddyListResources();
    EnumThreadWindows(GetCurrentThreadId(), &CloseThreadWindow, 0);
    g_trayIcon.Destroy();
    ReleaseAllSessions();
    SetLangModule(nullptr);
    SetMediaModule(nullptr);
    app.langLibrary.reset();
    app.mediaLibrary.reset();
    MainBackground().Release();
    ReleaseThemePicture();
    app.instanceMutex.reset();
    if (g_setUp.gdiplus)
        Gdiplus::GdiplusShutdown(app.gdiplusToken);
    if (g_setUp.aimProtocolRegistered && app.portable && app.ini.GetBool(kGeneral, L"ProcessAIMURLS", false))
        RegisterAimProtocol(false, {});
    if (g_setUp.ole)
        OleUninitialize();
    g_setUp = {};
}
