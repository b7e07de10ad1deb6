#include "ToolTip.h"

#include "LangStrings.h"

#include <commctrl.h>

namespace {

// The whole structure as the headers define it: the tooltips of the common
// controls we ship with know every field of it.
TOOLINFOW ToolInfo(HWND window, UINT_PTR id)
{
    TOOLINFOW info = {};
    info.cbSize = sizeof(info);
    info.hwnd = window;
    info.uId = id;
    return info;
}

} // namespace

CToolTip::~CToolTip()
{
    Destroy();
}

bool CToolTip::Create(HWND owner, bool balloon)
{
    if (hwnd_ && IsWindow(hwnd_))
        return true;
    INITCOMMONCONTROLSEX init = {};
    init.dwSize = sizeof(init);
    init.dwICC = ICC_BAR_CLASSES;
    InitCommonControlsEx(&init);
    const DWORD style = WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP | (balloon ? TTS_BALLOON : 0);
    hwnd_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, style, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!hwnd_) {
        ShowErrorBox(owner, 0, MB_ICONERROR | MB_SETFOREGROUND);
        return false;
    }
    SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return true;
}

bool CToolTip::AddTool(HWND window, UINT_PTR id, const std::wstring& text, bool subclass)
{
    if (!hwnd_)
        return false;
    TOOLINFOW known = ToolInfo(window, id);
    if (SendMessageW(hwnd_, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&known)))
        return true;
    TOOLINFOW info = ToolInfo(window, id);
    info.uFlags = subclass ? TTF_IDISHWND | TTF_SUBCLASS : TTF_TRACK | TTF_ABSOLUTE;
    info.hinst = GetModuleHandleW(nullptr);
    // The tooltip copies the text; it never writes to it.
    info.lpszText = const_cast<wchar_t*>(text.c_str());
    RECT size = {};
    GetClientRect(window, &size);
    info.rect = size;
    return SendMessageW(hwnd_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)) != FALSE;
}

void CToolTip::SetToolText(HWND window, UINT_PTR id, const std::wstring& text)
{
    if (!hwnd_)
        return;
    TOOLINFOW info = ToolInfo(window, id);
    info.hinst = GetModuleHandleW(nullptr);
    info.lpszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(hwnd_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

void CToolTip::Destroy()
{
    HWND hwnd = hwnd_;
    hwnd_ = nullptr;
    // Destroying the owner has taken the tooltip with it already.
    if (!hwnd || !IsWindow(hwnd))
        return;
    // Always the first tool, as deleting moves the others up; counted, so a
    // tool that refuses to go cannot keep us here.
    for (LRESULT left = SendMessageW(hwnd, TTM_GETTOOLCOUNT, 0, 0); left > 0; --left) {
        TOOLINFOW info = ToolInfo(nullptr, 0);
        if (!SendMessageW(hwnd, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&info)))
            break;
        SendMessageW(hwnd, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
    DestroyWindow(hwnd);
}
