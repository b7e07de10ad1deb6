#include "SysTrayIcon.h"

#include "LangStrings.h"
#include "MediaLibrary.h"
#include "WindowKinds.h"

#include <strsafe.h>

const wchar_t kSysTrayClassName[] = L"__oVLMoSYSTRAYoWNDo__";

namespace {

bool RegisterSysTrayClass(HINSTANCE instance)
{
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, kSysTrayClassName, &existing))
        return true;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(101), IMAGE_ICON, 32, 32, LR_SHARED));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(101), IMAGE_ICON, 16, 16, LR_SHARED));
    wc.lpszClassName = kSysTrayClassName;
    return RegisterClassExW(&wc) != 0;
}

} // namespace

CSysTrayIcon::CSysTrayIcon() : data_{}
{
}

CSysTrayIcon::~CSysTrayIcon()
{
    Destroy();
}

bool CSysTrayIcon::Create(Handler handler)
{
    if (Hwnd() && IsWindow(Hwnd()))
        return true;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterSysTrayClass(instance)) {
        ShowErrorBox(nullptr, 0, MB_ICONERROR | MB_SETFOREGROUND);
        return false;
    }
    // A hidden popup without owner, so that a second instance finds it with
    // FindWindow (a message-only window would not be found).
    HWND hwnd = CreateWindowExW(0, kSysTrayClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance,
                                nullptr);
    if (!hwnd) {
        ShowErrorBox(nullptr, 0, MB_ICONERROR | MB_SETFOREGROUND);
        return false;
    }
    Attach(hwnd, kKindSysTray);
    handler_ = handler;
    SetNotificationIcon(this);
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    // The structure the shell of Windows XP knows; newer shells accept it too.
    data_ = {};
    data_.cbSize = NOTIFYICONDATAW_V3_SIZE;
    data_.hWnd = hwnd;
    data_.uCallbackMessage = kAppMessage;
    return true;
}

void CSysTrayIcon::Destroy()
{
    if (NotificationIcon() == this)
        SetNotificationIcon(nullptr);
    RemoveIcon();
    if (Hwnd() && IsWindow(Hwnd()))
        DestroyWindow(Hwnd());
    icon_.reset();
}

bool CSysTrayIcon::Notify(DWORD action)
{
    return data_.hWnd && Shell_NotifyIconW(action, &data_) != FALSE;
}

bool CSysTrayIcon::AddIcon(HICON icon, UINT id, const wchar_t* tip)
{
    icon_.reset(icon);
    data_.hIcon = icon;
    data_.uID = id;
    data_.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    StringCchCopyW(data_.szTip, ARRAYSIZE(data_.szTip), tip ? tip : L"");
    if (!Notify(NIM_ADD))
        return false;
    added_ = true;
    data_.uVersion = NOTIFYICON_VERSION;
    Notify(NIM_SETVERSION);
    return true;
}

bool CSysTrayIcon::ChangeIcon(HICON icon)
{
    icon_.reset(icon);
    data_.hIcon = icon;
    data_.uFlags = NIF_ICON;
    return Notify(NIM_MODIFY);
}

void CSysTrayIcon::ShowAccountIcon(int id)
{
    if (!added_)
        return;
    if (HICON icon = LoadMediaIcon(id, GetSystemMetrics(SM_CXSMICON)))
        ChangeIcon(icon);
}

bool CSysTrayIcon::ShowBalloon(const wchar_t* title, const wchar_t* text, DWORD infoFlags)
{
    // The shell's fields hold 63 and 255 characters plus the terminator.
    StringCchCopyW(data_.szInfoTitle, ARRAYSIZE(data_.szInfoTitle), title ? title : L"");
    StringCchCopyW(data_.szInfo, ARRAYSIZE(data_.szInfo), text ? text : L"");
    data_.dwInfoFlags = infoFlags;
    data_.uTimeout = 30000;
    data_.uFlags = NIF_INFO | NIF_MESSAGE;
    return Notify(NIM_MODIFY);
}

bool CSysTrayIcon::RemoveIcon()
{
    if (!added_)
        return false;
    added_ = false;
    data_.uFlags = 0;
    return Notify(NIM_DELETE);
}

void CSysTrayIcon::OnTaskbarCreated()
{
    if (!data_.uCallbackMessage || !data_.hIcon || !data_.uID)
        return;
    data_.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    if (Notify(NIM_ADD)) {
        added_ = true;
        data_.uVersion = NOTIFYICON_VERSION;
        Notify(NIM_SETVERSION);
    }
}

LRESULT CSysTrayIcon::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kAppMessage) {
        if (handler_ && handler_(hwnd, wParam, lParam))
            Notify(NIM_SETFOCUS);
        return 0;
    }
    if (message == WM_COPYDATA) {
        return handler_ ? handler_(hwnd, static_cast<WPARAM>(lParam), kAppCopyData) : 0;
    }
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        OnTaskbarCreated();
        return 0;
    }
    return CSubclsWnd::WindowProc(hwnd, message, wParam, lParam);
}
