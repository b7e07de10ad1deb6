#include "LinkTip.h"

#include "LangStrings.h"
#include "LinkPolicy.h"

#include <commctrl.h>

namespace {

// The tooltip's one tool: the control's inner window, placed by us.
constexpr UINT_PTR kLinkTool = 1;
// Long addresses wrap instead of running off the screen, and the warning's
// line break is honoured.
constexpr int kMaxWidth = 420;

constexpr UINT kUnsafeLinkTitle = 519;
constexpr UINT kUnsafeLinkText = 520;

TOOLINFOW LinkTool(HWND server)
{
    TOOLINFOW info = {};
    info.cbSize = sizeof(info);
    info.hwnd = server;
    info.uId = kLinkTool;
    return info;
}

} // namespace

HWND FindBrowserServerWindow(HWND host)
{
    HWND embedding = FindWindowExW(host, nullptr, L"Shell Embedding", nullptr);
    HWND docView = embedding ? FindWindowExW(embedding, nullptr, L"Shell DocObject View", nullptr) : nullptr;
    return docView ? FindWindowExW(docView, nullptr, L"Internet Explorer_Server", nullptr) : nullptr;
}

bool CLinkTip::Attach(HWND host)
{
    HWND server = FindBrowserServerWindow(host);
    if (!server || !tooltip_.Create(host, false))
        return false;
    server_ = server;
    tooltip_.AddTool(server, kLinkTool, L"", false);
    SendMessageW(tooltip_.Hwnd(), TTM_SETMAXTIPWIDTH, 0, kMaxWidth);
    return true;
}

void CLinkTip::OnStatusText(HWND host, const wchar_t* text)
{
    // The control reports the address under the mouse as status text; any
    // other text means the mouse has left the link.
    if (text && LooksLikeUrl(text)) {
        hoveredLink_ = text;
        SetTimer(host, kTimer, kDelayMs, nullptr);
        return;
    }
    KillTimer(host, kTimer);
    hoveredLink_.clear();
    Hide();
}

void CLinkTip::OnTimer(HWND host)
{
    KillTimer(host, kTimer);
    HWND tip = tooltip_.Hwnd();
    if (!tip || !server_ || hoveredLink_.empty())
        return;
    const bool unsafe = IsDangerousLink(hoveredLink_);
    const std::wstring title = unsafe ? LoadLangString(kUnsafeLinkTitle) : std::wstring();
    const std::wstring text = unsafe ? FormatLangString(kUnsafeLinkText, {hoveredLink_}) : hoveredLink_;
    SendMessageW(tip, TTM_SETTITLEW, unsafe ? TTI_WARNING : TTI_NONE, reinterpret_cast<LPARAM>(title.c_str()));
    tooltip_.SetToolText(server_, kLinkTool, text);
    POINT cursor = {};
    GetCursorPos(&cursor);
    // Just below the pointer, which would otherwise cover the text.
    const int below = GetSystemMetrics(SM_CYCURSOR) / 2;
    SendMessageW(tip, TTM_TRACKPOSITION, 0, MAKELPARAM(cursor.x, cursor.y + below));
    TOOLINFOW tool = LinkTool(server_);
    SendMessageW(tip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
}

void CLinkTip::Destroy(HWND host)
{
    if (host)
        KillTimer(host, kTimer);
    tooltip_.Destroy();
    server_ = nullptr;
    hoveredLink_.clear();
}

void CLinkTip::Hide()
{
    HWND tip = tooltip_.Hwnd();
    if (!tip || !server_)
        return;
    TOOLINFOW tool = LinkTool(server_);
    SendMessageW(tip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}
