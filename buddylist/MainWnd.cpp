#include "MainWnd.h"

#include "AIMConnection.h"
#include "AccountSettings.h"
#include "AppState.h"
#include "BackgroundBitmap.h"
#include "BLTheme.h"
#include "BuddyListFile.h"
#include "BuddyListSeams.h"
#include "CopyData.h"
#include "LangStrings.h"
#include "Monitors.h"
#include "Seams.h"
#include "WindowKinds.h"
#include "WindowPlacement.h"

#include <shlwapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdlib>

const wchar_t kMainClassName[] = L"__oVLMoMAINoWNDo__";

namespace {

constexpr int kClientWidth = 190;
constexpr int kClientHeight = 370;
constexpr int kGradientHeight = 20;
constexpr int kSnapDistance = 12;
constexpr COLORREF kDefaultBackground = 0xF9F6EC;
constexpr UINT kShowAutoHidden = WM_APP + 26;

constexpr wchar_t kGeneral[] = L"General";
constexpr wchar_t kBuddyListSection[] = L"Settings.BL";
constexpr wchar_t kMainPlacementKey[] = L"Main";

AIMCC::IAccSession* PrimaryAccSession()
{
    return Connections().empty() || !Connections()[0] ? nullptr : Connections()[0]->Session();
}

// Commands of the main menu.
enum MainCommand : int {
    kCmdNewIm = 101, kCmdNewChat = 102, kCmdHide = 103, kCmdLogManager = 104, kCmdFileTransfers = 105,
    kCmdBuddyEvents = 106, kCmdImportList = 107, kCmdExportList = 108, kCmdSignOff = 109, kCmdExit = 110,
    kCmdAddBuddy = 201, kCmdAddGroup = 202, kCmdEditRow = 203, kCmdDeleteRow = 204, kCmdEditProfile = 205,
    kCmdAwayMessages = 206, kCmdFormatName = 207, kCmdExpressions = 208, kCmdSharing = 209, kCmdSettings = 210,
    kCmdHideTaskbarBtn = 301, kCmdHideOffline = 308, kCmdOnTop = 312, kCmdColors = 315,
    kCmdResetColours = 316,
    kCmdHelp = 401, kCmdAbout = 403,
    kCmdFirstSdkItem = 450, kCmdLastSdkItem = 499,
};

struct MenuEntry {
    int id;        // 0 for a popup's title row
    UINT textId;
    bool separatorAfter;
};

// The four popups and their items in order; a popup starts with its title.
constexpr MenuEntry kMenu[] = {
    {100, 463, false},
    {101, 195, false}, {102, 425, true}, {104, 697, true}, {103, 473, false}, {105, 644, false},
    {106, 741, true}, {107, 661, false}, {108, 662, true}, {109, 60, false}, {110, 58, false},
    {200, 464, false},
    {201, 131, false}, {202, 139, false}, {203, 474, false}, {204, 475, true}, {205, 65, false},
    {206, 86, false}, {207, 476, true}, {208, 643, false}, {209, 723, true}, {210, 132, false},
    {300, 465, false},
    {301, 487, false}, {302, 482, true}, {303, 488, false}, {304, 489, false}, {305, 485, false},
    {306, 486, false}, {307, 490, true}, {308, 491, false}, {309, 492, false}, {310, 493, false},
    {311, 494, true}, {313, 727, false}, {314, 730, true}, {315, 2, false}, {316, 633, true},
    {312, 484, false},
    {400, 466, false},
    {401, 559, false}, {403, 467, false},
};

bool IsPopupTitle(int id)
{
    return id % 100 == 0;
}

// The View menu's switches: each flips a key of the first account's
// "Settings.BL" section.
struct ViewSwitch {
    int id;
    const wchar_t* key;
    bool checkedWhenOff; // the item is checked while the setting is off
};
constexpr ViewSwitch kViewSwitches[] = {
    {301, L"HideTaskbarBtn", true}, {303, L"ShowMyBuddyIcon", false}, {304, L"ShowBuddyIcons", false},
    {305, L"ShowAlias", false},     {306, L"ShowPMsg", false},        {307, L"ShowFeedIndicator", false},
    {309, L"ShowMobileBuddies", false}, {310, L"SortAlpha", false},   {311, L"SortStatus", false},
    {312, L"OnTop", false},
};

const ViewSwitch* FindViewSwitch(int id)
{
    for (const ViewSwitch& entry : kViewSwitches) {
        if (entry.id == id)
            return &entry;
    }
    return nullptr;
}

bool ReadBuddyListSwitch(const wchar_t* key)
{
    return ReadAccountBool(Settings(), kBuddyListSection, PrimaryIdentity(), key, false);
}

// "AutoAdjustHeight" holds three 32-bit integers; the first says whether the
// window follows the buddy list's height.
bool AutoHeightEnabled()
{
    const std::wstring section = AccountSection(kBuddyListSection, PrimaryIdentity());
    INT32 record[3] = {};
    const wchar_t* from = Settings().GetBinary(section.c_str(), L"AutoAdjustHeight", nullptr, 0) == sizeof(record)
                              ? section.c_str()
                              : kBuddyListSection;
    if (Settings().GetBinary(from, L"AutoAdjustHeight", record, sizeof(record)) != sizeof(record))
        return false;
    return record[0] != 0;
}

CMainWnd* g_mainWindow = nullptr;

RECT MainPaneArea(HWND)
{
    return g_mainWindow ? g_mainWindow->PaneArea() : RECT{};
}

} // namespace

CMainWnd* MainWindow()
{
    return g_mainWindow;
}

void SetMainWindow(CMainWnd* window)
{
    g_mainWindow = window;
}

COLORREF GradientFor(COLORREF background)
{
    // Luminance moves by a fifth of itself. Done here rather than with
    // ColorAdjustLuma, whose scaled mode Wine does not implement.
    WORD hue = 0, luminance = 0, saturation = 0;
    ColorRGBToHLS(background, &hue, &luminance, &saturation);
    const int change = luminance * 200 / 1000;
    const int adjusted = background < 0x808081 ? luminance + change : luminance - change;
    return ColorHLSToRGB(hue, static_cast<WORD>(std::clamp(adjusted, 0, 240)), saturation);
}

RECT KeepOnScreen(const RECT& rect)
{
    if (MonitorFromRect(&rect, MONITOR_DEFAULTTONULL))
        return rect;
    HMONITOR nearest = MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(nearest, &info))
        return rect;
    const RECT& work = info.rcWork;
    const LONG width = std::min(rect.right - rect.left, work.right - work.left);
    const LONG height = std::min(rect.bottom - rect.top, work.bottom - work.top);
    RECT moved;
    moved.left = std::max(work.left, std::min(rect.left, work.right - width));
    moved.top = std::max(work.top, std::min(rect.top, work.bottom - height));
    moved.right = moved.left + width;
    moved.bottom = moved.top + height;
    return moved;
}

CMainWnd::CMainWnd() = default;

CMainWnd::~CMainWnd()
{
    if (g_mainWindow == this)
        g_mainWindow = nullptr;
    if (MainPanes() == this)
        SetMainPanes(nullptr);
    if (menu_)
        DestroyMenu(menu_);
}

bool CMainWnd::RegisterClass()
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, kMainClassName, &existing))
        return true;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(101), IMAGE_ICON, 48, 48, LR_SHARED));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(101), IMAGE_ICON, 16, 16, LR_SHARED));
    wc.lpszClassName = kMainClassName;
    return RegisterClassExW(&wc) != 0;
}

bool CMainWnd::Create(HWND owner)
{
    if (!RegisterClass()) {
        ShowErrorBox(nullptr, 0, MB_ICONERROR | MB_SETFOREGROUND);
        return false;
    }
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    const DWORD exStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
    RECT outer = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    HWND hwnd = CreateWindowExW(exStyle, kMainClassName, kAppName, style, CW_USEDEFAULT, CW_USEDEFAULT,
                                outer.right - outer.left, outer.bottom - outer.top, owner, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    if (!hwnd) {
        ShowErrorBox(nullptr, 0, MB_ICONERROR | MB_SETFOREGROUND);
        return false;
    }
    Attach(hwnd, kKindMain);
    g_mainWindow = this;
    SetMainPanes(this);
    MainBackground().owner = hwnd;
    CPaneWnd::SetAreaProvider(&MainPaneArea);

    CIni& ini = Settings();
    SetBackgroundColor(static_cast<COLORREF>(ini.GetUInt(kGeneral, L"WndBGCol", kDefaultBackground)));
    SetTextColor(static_cast<COLORREF>(ini.GetUInt(kGeneral, L"WndTextCol", GetSysColor(COLOR_WINDOWTEXT))));
    ShowMenuBar(-1);
    if (!signOnPane_.Create(hwnd) || !progressPane_.Create(hwnd) ||
        !buddyListPane_.Create(hwnd)) {
        DestroyWindow(hwnd);
        return false;
    }
    CPaneWnd::ShowPane(&signOnPane_, false);
    RestorePlacement();
    return true;
}

void CMainWnd::RestorePlacement()
{
    WINDOWPLACEMENT placement;
    if (ReadWindowPlacement(Settings(), kMainPlacementKey, placement)) {
        if (placement.showCmd == SW_SHOWMINIMIZED || placement.showCmd == SW_MINIMIZE ||
            placement.showCmd == SW_SHOWMINNOACTIVE)
            placement.showCmd = SW_SHOWNORMAL;
        // A monitor that was unplugged must not leave the window nowhere.
        placement.rcNormalPosition = KeepOnScreen(placement.rcNormalPosition);
        SetWindowPlacement(Hwnd(), &placement);
        return;
    }
    MainBackground().Resize(kClientWidth, kClientHeight);
    RebuildBackground();
    ShowWindow(Hwnd(), SW_SHOW);
}

void CMainWnd::SetBackgroundColor(COLORREF color)
{
    background_ = color;
    gradient_ = GradientFor(color);
    RebuildBackground();
    Settings().WriteUInt(kGeneral, L"WndBGCol", color);
    if (Hwnd())
        RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

void CMainWnd::RefreshBackground()
{
    RebuildBackground();
    if (Hwnd())
        RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

void CMainWnd::SetTextColor(COLORREF color)
{
    text_ = color;
    MainBackground().textColor = color;
    Settings().WriteUInt(kGeneral, L"WndTextCol", color);
    if (menuBar_)
        menuBar_->SetColors(color, nullptr, false);
    if (Hwnd())
        RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CMainWnd::RebuildBackground()
{
    CBackgroundBitmap& background = MainBackground();
    if (Hwnd()) {
        RECT client;
        GetClientRect(Hwnd(), &client);
        if (client.right > 0 && client.bottom > 0)
            background.Resize(client.right, client.bottom);
    }
    HDC dc = background.Dc();
    if (!dc)
        return;
    const SIZE size = background.Size();
    RECT all = {0, 0, size.cx, size.cy};
    ScopedGdiObject fill(CreateSolidBrush(background_));
    FillRect(dc, &all, static_cast<HBRUSH>(fill.get()));
    // A theme picture replaces colour and strip; a theme without a window
    // background part leaves them.
    if (ThemePictureLoaded() && DrawThemePart(dc, ThemePart::WindowBackground, all))
        return;
    // A soft strip at the top, from the gradient colour into the background.
    TRIVERTEX vertices[2] = {};
    vertices[0].x = 0;
    vertices[0].y = 0;
    vertices[0].Red = static_cast<COLOR16>(GetRValue(gradient_) << 8);
    vertices[0].Green = static_cast<COLOR16>(GetGValue(gradient_) << 8);
    vertices[0].Blue = static_cast<COLOR16>(GetBValue(gradient_) << 8);
    vertices[1].x = size.cx;
    vertices[1].y = std::min<LONG>(size.cy, kGradientHeight);
    vertices[1].Red = static_cast<COLOR16>(GetRValue(background_) << 8);
    vertices[1].Green = static_cast<COLOR16>(GetGValue(background_) << 8);
    vertices[1].Blue = static_cast<COLOR16>(GetBValue(background_) << 8);
    GRADIENT_RECT strip = {0, 1};
    GradientFill(dc, vertices, 2, &strip, 1, GRADIENT_FILL_RECT_V);
}

void CMainWnd::ShowMenuBar(int show)
{
    const bool wanted = show < 0 ? Settings().GetBool(kGeneral, L"ShowMainMenu", true) : show != 0;
    if (wanted) {
        if (!menuBar_) {
            menuBar_ = std::make_unique<CMenuBarWnd>();
            if (!menuBar_->Create(Hwnd())) {
                menuBar_.reset();
                return;
            }
        }
        if (!menu_)
            menu_ = BuildMenu();
        menuBar_->SetMenu(menu_);
        menuBar_->SetColors(text_, nullptr, false);
    } else {
        menuBar_.reset();
        if (menu_) {
            DestroyMenu(menu_);
            menu_ = nullptr;
        }
    }
    if (Hwnd()) {
        SetWindowPos(Hwnd(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
        Layout();
    }
}

HMENU CMainWnd::BuildMenu()
{
    HMENU bar = CreateMenu();
    HMENU popup = nullptr;
    for (const MenuEntry& entry : kMenu) {
        const std::wstring text = LoadLangString(entry.textId);
        if (IsPopupTitle(entry.id)) {
            popup = CreatePopupMenu();
            AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), text.c_str());
            continue;
        }
        if (entry.id == kCmdColors) {
            // The colour picker comes with its own menu later; an empty
            // submenu keeps the place.
            AppendMenuW(popup, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(CreatePopupMenu()), text.c_str());
        } else {
            AppendMenuW(popup, MF_STRING, entry.id, text.c_str());
        }
        if (entry.separatorAfter)
            AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
    }
    return bar;
}

RECT CMainWnd::PaneArea() const
{
    RECT area = {};
    if (!Hwnd())
        return area;
    GetClientRect(Hwnd(), &area);
    if (menuBar_ && menuBar_->Hwnd())
        area.top += menuBar_->Height();
    if (infoBar_ && infoBar_->Hwnd())
        area.top += infoBar_->HeightForWidth(area.right - area.left);
    if (area.top > area.bottom)
        area.top = area.bottom;
    return area;
}

void CMainWnd::Layout()
{
    if (!Hwnd() || IsIconic(Hwnd()))
        return;
    RECT client;
    GetClientRect(Hwnd(), &client);
    const SIZE size = MainBackground().Size();
    if (size.cx != client.right || size.cy != client.bottom)
        RebuildBackground();

    HDWP batch = BeginDeferWindowPos(3);
    int top = 0;
    const int width = client.right;
    if (menuBar_ && menuBar_->Hwnd()) {
        const int height = menuBar_->Height();
        batch = DeferWindowPos(batch, menuBar_->Hwnd(), nullptr, 0, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        top += height;
    }
    if (infoBar_ && infoBar_->Hwnd()) {
        const int height = infoBar_->HeightForWidth(width);
        batch = DeferWindowPos(batch, infoBar_->Hwnd(), nullptr, 0, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        top += height;
    }
    if (CPaneWnd* pane = CPaneWnd::Current(); pane && pane->Hwnd() && GetParent(pane->Hwnd()) == Hwnd()) {
        batch = DeferWindowPos(batch, pane->Hwnd(), nullptr, 0, top, width, std::max(0L, client.bottom - top),
                               SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (batch)
        EndDeferWindowPos(batch);
}

void CMainWnd::ShowInFront()
{
    if (!IsWindowVisible(Hwnd()))
        ShowWindow(Hwnd(), SW_SHOW);
    ShowWindow(Hwnd(), SW_SHOWNORMAL);
    SetForegroundWindow(Hwnd());
}

void CMainWnd::AddNotice(HICON icon, const std::wstring& text)
{
    if (!infoBar_) {
        infoBar_ = std::make_unique<CInfoBar>();
        if (!infoBar_->Create(Hwnd())) {
            infoBar_.reset();
            return;
        }
    }
    infoBar_->AddNotice(icon, text);
    Layout();
}

void CMainWnd::ClearNotices()
{
    if (!infoBar_)
        return;
    infoBar_->Clear();
    infoBar_.reset();
    Layout();
}

void CMainWnd::ToggleViewSwitch(const wchar_t* key)
{
    const bool on = !ReadBuddyListSwitch(key);
    const std::wstring section = AccountSection(kBuddyListSection, PrimaryIdentity());
    Settings().WriteBool(section.c_str(), key, on);
    if (wcscmp(key, L"OnTop") != 0 && wcscmp(key, L"HideTaskbarBtn") != 0)
        buddyListPane_.ReloadSettings();
    if (wcscmp(key, L"OnTop") == 0) {
        SetWindowPos(Hwnd(), on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    } else if (wcscmp(key, L"HideTaskbarBtn") == 0) {
        // The shell reads the taskbar style only when a window is shown.
        const bool visible = IsWindowVisible(Hwnd()) != FALSE;
        if (visible)
            ShowWindow(Hwnd(), SW_HIDE);
        const LONG_PTR exStyle = GetWindowLongPtrW(Hwnd(), GWL_EXSTYLE);
        SetWindowLongPtrW(Hwnd(), GWL_EXSTYLE, on ? (exStyle & ~WS_EX_APPWINDOW) : (exStyle | WS_EX_APPWINDOW));
        if (visible)
            ShowWindow(Hwnd(), SW_SHOW);
    }
}

AIMCC::IAccSession* CMainWnd::SelectedOrPrimarySession() const
{
    if (AIMCC::IAccSession* selected = buddyListPane_.SelectedSession())
        return selected;
    return PrimaryAccSession();
}

void CMainWnd::OnCommand(int id)
{
    if (const ViewSwitch* entry = FindViewSwitch(id)) {
        ToggleViewSwitch(entry->key);
        return;
    }
    switch (id) {
    case kCmdHide:
        SendMessageW(Hwnd(), WM_CLOSE, 0, 0);
        break;
    case kCmdExit:
        PostQuitMessage(0);
        break;
    case kCmdHelp: {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
        std::wstring help = path;
        help = help.substr(0, help.find_last_of(L'\\') + 1) + L"VLMHelp.chm";
        if (GetFileAttributesW(help.c_str()) != INVALID_FILE_ATTRIBUTES)
            ShellExecuteW(Hwnd(), L"open", help.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        break;
    }
    case kCmdSignOff:
        SignOffAllSessions();
        break;
    case kCmdHideOffline:
        buddyListPane_.ToggleOfflineBuddies();
        break;
    case kCmdResetColours:
        buddyListPane_.ResetColoursAndFonts();
        break;
    case kCmdAddBuddy:
        OpenBuddyPanel(SelectedOrPrimarySession(), L"", L"");
        break;
    case kCmdAddGroup:
        OpenGroupEditor(SelectedOrPrimarySession(), L"");
        break;
    case kCmdEditRow:
        buddyListPane_.EditSelectedRow();
        break;
    case kCmdDeleteRow:
        buddyListPane_.DeleteSelectedRow();
        break;
    case kCmdSettings:
        OpenSettingsWindow(200, !IsPrimaryOnline());
        break;
    case kCmdImportList:
        ImportBuddyListCommand(Hwnd(), SelectedOrPrimarySession());
        break;
    case kCmdExportList:
        ExportBuddyListCommand(Hwnd(), SelectedOrPrimarySession());
        break;
    default:
        // The windows behind the other commands (logs, transfers, buddy
        // management, about box) are not built yet.
        break;
    }
}

int CMainWnd::PopupPosition(HMENU popup) const
{
    // The menu bar opens each popup on its own, so the message's position
    // field is always 0; the popup's place in the main menu says which it is.
    const int count = menu_ ? GetMenuItemCount(menu_) : 0;
    for (int i = 0; i < count; ++i) {
        if (GetSubMenu(menu_, i) == popup)
            return i;
    }
    return -1;
}

void CMainWnd::OnInitMenuPopup(HMENU popup, int position)
{
    const bool online = IsPrimaryOnline();
    const int count = GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        const UINT id = GetMenuItemID(popup, i);
        const int itemId = id == static_cast<UINT>(-1) ? kCmdColors : static_cast<int>(id);
        bool enabled = true;
        switch (position) {
        case 0:
            enabled = online || itemId == kCmdExit;
            break;
        case 1:
            enabled = online;
            if (itemId == kCmdEditRow || itemId == kCmdDeleteRow) {
                const BLRowKind kind = buddyListPane_.SelectedRowKind();
                enabled = enabled && (kind == BLRowKind::Group || kind == BLRowKind::Buddy);
            }
            break;
        case 2:
            enabled = online && itemId != 313 && itemId != 314 &&
                      (itemId != kCmdHideOffline || HideState().mode != HideMode::None);
            break;
        default:
            break;
        }
        EnableMenuItem(popup, i, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
        if (itemId == kCmdHideOffline)
            CheckMenuItem(popup, i, MF_BYPOSITION | (HideState().offlineShown ? MF_UNCHECKED : MF_CHECKED));
        if (const ViewSwitch* entry = FindViewSwitch(itemId)) {
            const bool checked = ReadBuddyListSwitch(entry->key) != entry->checkedWhenOff;
            CheckMenuItem(popup, i, MF_BYPOSITION | (checked ? MF_CHECKED : MF_UNCHECKED));
        }
    }
}

LRESULT CMainWnd::OnCopyData(const COPYDATASTRUCT* data)
{
    if (!data)
        return 0;
    switch (data->dwData) {
    case kCopyDataOpenIm: {
        std::wstring name;
        if (ReadCopyDataText(data->lpData, data->cbData, name))
            QueueOpenIm(name);
        return 1;
    }
    case kCopyDataSettings:
        PostMessageW(Hwnd(), WM_COMMAND, kCmdSettings, 0);
        return 1;
    case kCopyDataExit:
        PostMessageW(Hwnd(), WM_COMMAND, kCmdExit, 0);
        return 1;
    default:
        return 0;
    }
}

void CMainWnd::OnGetMinMaxInfo(MINMAXINFO* info)
{
    const int frameX = GetSystemMetrics(SM_CXFRAME);
    const int frameY = GetSystemMetrics(SM_CYFRAME);
    const int borderX = GetSystemMetrics(SM_CXBORDER);
    const int borderY = GetSystemMetrics(SM_CYBORDER);
    int width = 2 * frameX + 2 * borderX;
    int height = 2 * frameY + 2 * borderY + GetSystemMetrics(SM_CYCAPTION);
    if (menuBar_ && menuBar_->Hwnd()) {
        width += menuBar_->FullWidth();
        height += menuBar_->Height();
    }
    if (infoBar_ && infoBar_->Hwnd()) {
        RECT client;
        GetClientRect(Hwnd(), &client);
        height += infoBar_->HeightForWidth(client.right);
    }
    info->ptMinTrackSize.x = width;
    info->ptMinTrackSize.y = height;
}

void CMainWnd::OnWindowPosChanging(WINDOWPOS* pos)
{
    if ((pos->flags & SWP_NOMOVE) || !ReadBuddyListSwitch(L"SnapToScreen"))
        return;
    RECT work;
    if (!GetMonitorWorkArea(Hwnd(), work))
        return;
    if (std::abs(pos->x - work.left) <= kSnapDistance)
        pos->x = work.left;
    else if (!(pos->flags & SWP_NOSIZE) && std::abs(pos->x + pos->cx - work.right) <= kSnapDistance)
        pos->x = work.right - pos->cx;
    if (std::abs(pos->y - work.top) <= kSnapDistance)
        pos->y = work.top;
    else if (!(pos->flags & SWP_NOSIZE) && std::abs(pos->y + pos->cy - work.bottom) <= kSnapDistance)
        pos->y = work.bottom - pos->cy;
}

void CMainWnd::OnClose()
{
    if (!IsDocked() && !AutoHeightEnabled())
        SaveWindowPlacement(Settings(), Hwnd(), kMainPlacementKey);
    ShowWindow(Hwnd(), SW_MINIMIZE);
    ShowWindow(Hwnd(), SW_HIDE);
}

LRESULT CMainWnd::OnSysCommand(HWND hwnd, WPARAM command, LPARAM lParam)
{
    if ((command & 0xFFF0) == SC_KEYMENU && lParam != L' ') {
        if (menuBar_)
            menuBar_->OnKeyMenu(static_cast<wchar_t>(lParam));
        if (CPaneWnd* pane = CPaneWnd::Current())
            RedrawWindow(pane->Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
        return 0;
    }
    const LRESULT result = CScreenDock::WindowProc(hwnd, WM_SYSCOMMAND, command, lParam);
    if ((command & 0xFFF0) == SC_MINIMIZE && ReadBuddyListSwitch(L"HideTaskbarBtn"))
        ShowWindow(hwnd, SW_HIDE);
    return result;
}

void CMainWnd::OnPaint(HWND hwnd)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    MainBackground().CopyTo(dc, hwnd, hwnd, paint.rcPaint);
    EndPaint(hwnd, &paint);
}

LRESULT CMainWnd::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_USER:
        return CPaneWnd::Current() ? CPaneWnd::Current()->PaneId() : 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return 0;
    case WM_INITMENUPOPUP:
        if (!HIWORD(lParam))
            OnInitMenuPopup(reinterpret_cast<HMENU>(wParam), PopupPosition(reinterpret_cast<HMENU>(wParam)));
        return 0;
    case WM_ENTERMENULOOP:
        inMenuLoop_ = true;
        break;
    case WM_EXITMENULOOP:
        inMenuLoop_ = false;
        break;
    case WM_COPYDATA:
        return OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_GETMINMAXINFO:
        OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
        return 0;
    case WM_WINDOWPOSCHANGING:
        OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam));
        break;
    case WM_WINDOWPOSCHANGED:
        Layout();
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        OnPaint(hwnd);
        return 0;
    case WM_PRINTCLIENT: {
        RECT client;
        GetClientRect(hwnd, &client);
        MainBackground().CopyTo(reinterpret_cast<HDC>(wParam), hwnd, hwnd, client);
        return 0;
    }
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_SIZING:
        // While the rows decide the height, only the width can be dragged.
        if (buddyListPane_.AutoHeightActive() && wParam != WMSZ_LEFT && wParam != WMSZ_RIGHT) {
            GetWindowRect(hwnd, reinterpret_cast<RECT*>(lParam));
            return TRUE;
        }
        break;
    case WM_SYSCOMMAND:
        return OnSysCommand(hwnd, wParam, lParam);
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && !IsIconic(hwnd) && CPaneWnd::Current())
            SetFocus(CPaneWnd::Current()->Hwnd());
        return 0;
    case kShowAutoHidden:
        ShowAutoHiddenMainWindow();
        return 0;
    case WM_DESTROY:
        menuBar_.reset();
        if (menu_) {
            DestroyMenu(menu_);
            menu_ = nullptr;
        }
        infoBar_.reset();
        break;
    default:
        break;
    }
    return CScreenDock::WindowProc(hwnd, message, wParam, lParam);
}
