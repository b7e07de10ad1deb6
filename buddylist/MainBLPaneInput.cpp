// What the pane does with the mouse and the keyboard: clicks on the parts of
// a row, tips, context menus, dragging rows, and the in-place status editor.
#include "MainBLPane.h"

#include "AccountSettings.h"
#include "AppState.h"
#include "BLAccess.h"
#include "BackgroundBitmap.h"
#include "BuddyListSeams.h"
#include "LangStrings.h"
#include "Seams.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>

using Microsoft::WRL::ComPtr;
using namespace AIMCC;

namespace {

constexpr UINT_PTR kTimerLightRefresh = 32;
constexpr int kStatusEditId = 4;
constexpr UINT_PTR kTipId = 1;
constexpr wchar_t kShareCapability[] = L"{09461348-4C7F-11D1-8222-444553540000}";
constexpr long kPrivacyPermitBuddies = 5;

// Web pages: where they live is a setting of "General", the paths are fixed.
constexpr wchar_t kGeneral[] = L"General";
constexpr wchar_t kDefaultWebSite[] = L"https://www.aim.com";
constexpr wchar_t kDefaultPagesSite[] = L"https://aimpages.aim.com";
constexpr wchar_t kDefaultPasswordSite[] = L"https://account.aim.com";

int DefaultMessageBox(HWND owner, UINT textId, UINT flags)
{
    return ShowErrorBox(owner, textId, flags);
}

PaneMessageBox g_messageBox = &DefaultMessageBox;

std::wstring SiteAddress(const wchar_t* key, const wchar_t* def)
{
    std::wstring base = Settings().GetString(kGeneral, key, def);
    if (!IsWebAddress(base))
        base = def;
    while (!base.empty() && base.back() == L'/')
        base.pop_back();
    return base;
}

POINT CursorIn(HWND hwnd)
{
    POINT point;
    GetCursorPos(&point);
    ScreenToClient(hwnd, &point);
    return point;
}

bool HasCapability(IAccSession* session, const wchar_t* capability)
{
    VARIANT_BOOL supported = VARIANT_FALSE;
    bl::CBstr text(capability);
    return session && SUCCEEDED(session->HasCapability(text.Get(), &supported)) && supported != VARIANT_FALSE;
}

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return _wcsicmp(CompactScreenName(a).c_str(), CompactScreenName(b).c_str()) == 0;
}

void AppendItem(HMENU menu, UINT id, UINT textId, bool enabled = true)
{
    AppendMenuW(menu, MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), id, LoadLangString(textId).c_str());
}

void AppendSeparator(HMENU menu)
{
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
}

int TrackMenu(HMENU menu, HWND owner, POINT screen)
{
    return static_cast<int>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, screen.x, screen.y, 0, owner, nullptr));
}

// Copies alias and note of a buddy onto its copy in another account.
void CopyBuddyDetails(IAccUser* from, IAccUser* to)
{
    if (!from || !to)
        return;
    const std::wstring alias = bl::ReadText(from, AccUserProp::Alias);
    const std::wstring note = bl::ReadText(from, AccUserProp::Note);
    if (!alias.empty())
        bl::WriteText(to, AccUserProp::Alias, alias);
    if (!note.empty())
        bl::WriteText(to, AccUserProp::Note, note);
}

} // namespace

void SetPaneMessageBox(PaneMessageBox box)
{
    g_messageBox = box ? box : &DefaultMessageBox;
}

int AskPane(HWND owner, UINT textId, UINT flags)
{
    return g_messageBox(owner, textId, flags);
}

bool IsWebAddress(const std::wstring& address)
{
    auto startsWith = [&](const wchar_t* prefix) {
        const size_t length = wcslen(prefix);
        return address.size() > length && _wcsnicmp(address.c_str(), prefix, length) == 0;
    };
    if (!startsWith(L"http://") && !startsWith(L"https://"))
        return false;
    return std::none_of(address.begin(), address.end(), [](wchar_t c) { return c <= L' ' || c == 0x7F; });
}

bool OpenWebAddress(HWND owner, const std::wstring& address)
{
    if (address.size() > 4 && _wcsnicmp(address.c_str(), L"aim:", 4) == 0) {
        ProcessAimUrlLocally(address);
        return true;
    }
    if (!IsWebAddress(address))
        return false;
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(owner, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

std::wstring ScreenNameForUrl(const std::wstring& screenName)
{
    std::wstring lower = CompactScreenName(screenName);
    if (!lower.empty())
        CharLowerBuffW(&lower[0], static_cast<DWORD>(lower.size()));
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, lower.c_str(), static_cast<int>(lower.size()), nullptr, 0,
                                          nullptr, nullptr);
    std::string utf8(static_cast<size_t>(std::max(bytes, 0)), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, lower.c_str(), static_cast<int>(lower.size()), &utf8[0], bytes, nullptr,
                            nullptr);
    static const wchar_t hex[] = L"0123456789ABCDEF";
    std::wstring encoded;
    for (unsigned char c : utf8) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            encoded += static_cast<wchar_t>(c);
        } else {
            encoded += L'%';
            encoded += hex[c >> 4];
            encoded += hex[c & 0xF];
        }
    }
    return encoded;
}

LRESULT CStatusEditWnd::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS | CSuperEditWnd::WindowProc(hwnd, message, wParam, lParam);
    case WM_KEYDOWN:
        if (wParam == VK_RETURN || wParam == VK_ESCAPE) {
            const WORD code = wParam == VK_RETURN ? kCommit : kCancel;
            SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code),
                         reinterpret_cast<LPARAM>(hwnd));
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == L'\r' || wParam == 0x1B)
            return 0;
        break;
    case WM_KILLFOCUS:
        SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), kCancel),
                     reinterpret_cast<LPARAM>(hwnd));
        break;
    default:
        break;
    }
    return CSuperEditWnd::WindowProc(hwnd, message, wParam, lParam);
}

// --- Window procedure -----------------------------------------------------------

LRESULT CMainBLPane::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        Layout();
        break;
    case WM_SETFOCUS:
        if (list_.Hwnd())
            SetFocus(list_.Hwnd());
        return 0;
    case WM_MEASUREITEM:
        if (wParam == kBuddyListControlId) {
            OnMeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
            return TRUE;
        }
        break;
    case WM_DRAWITEM:
        if (wParam == kBuddyListControlId) {
            OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        }
        break;
    case WM_CTLCOLORLISTBOX:
        return reinterpret_cast<LRESULT>(OnCtlColorListBox());
    case WM_COMMAND:
        if (LOWORD(wParam) == kBuddyListControlId && list_.Hwnd())
            return OnListCommand(HIWORD(wParam), lParam);
        if (LOWORD(wParam) == kStatusEditId) {
            if (HIWORD(wParam) == CStatusEditWnd::kCommit || HIWORD(wParam) == CStatusEditWnd::kCancel)
                EndStatusEdit(HIWORD(wParam) == CStatusEditWnd::kCommit);
            return 0;
        }
        break;
    case WM_VKEYTOITEM:
        if (LOWORD(wParam) == VK_RETURN) {
            OnDoubleClickOrEnter(ListBox_GetCaretIndex(list_.Hwnd()), kBuddyPartNone);
            return -2;
        }
        return -1;
    case WM_TIMER:
        if (wParam == kTimerLightRefresh) {
            KillTimer(hwnd, kTimerLightRefresh);
            Redraw();
            return 0;
        }
        break;
    case kMsgAcceptFileDrop:
        // Files go to a buddy once file transfer exists.
        return 0;
    case WM_DROPFILES:
        DragFinish(reinterpret_cast<HDROP>(wParam));
        return 0;
    default:
        break;
    }
    return CPaneWnd::WindowProc(hwnd, message, wParam, lParam);
}

HBRUSH CMainBLPane::OnCtlColorListBox()
{
    // With a theme picture the list shows the main window's background.
    CBackgroundBitmap& background = MainBackground();
    if (settings_.useThemeImage && ThemePictureLoaded() && background.Bitmap()) {
        // A pattern brush keeps a copy of the picture as it was, and the
        // main window repaints its picture in place: made afresh each time.
        patternBrush_.reset(CreatePatternBrush(background.Bitmap()));
        if (patternBrush_)
            return static_cast<HBRUSH>(patternBrush_.get());
    }
    return ListBrush();
}

LRESULT CMainBLPane::OnListCommand(WORD code, LPARAM lParam)
{
    HWND list = list_.Hwnd();
    switch (code) {
    case LBN_DBLCLK: {
        int part = 0;
        const int row = HitTest(CursorIn(list), &part);
        OnDoubleClickOrEnter(row, part);
        return 0;
    }
    case kNotifyLButtonUp:
        OnClick(CursorIn(list));
        return 0;
    case kNotifyMouseMove:
        OnMouseMove(CursorIn(list));
        return 0;
    case kNotifyMouseLeave:
        OnMouseLeave();
        return 0;
    case kNotifyRButtonDown: {
        const int row = HitTest(CursorIn(list), nullptr);
        if (row >= 0 && ListBox_GetSel(list, row) <= 0) {
            ListBox_SetSel(list, FALSE, -1);
            ListBox_SetSel(list, TRUE, row);
        }
        if (row >= 0)
            ListBox_SetCaretIndex(list, row);
        return 0;
    }
    case kNotifyRButtonUp:
        OnContextMenu(CursorIn(list));
        return 0;
    case kNotifyDragStart:
        return OnDragStart() ? 1 : 0;
    case kNotifyDragMove:
        return lParam && OnDragMove(*reinterpret_cast<const POINT*>(lParam)) ? 1 : 0;
    case kNotifyDragCancel:
        OnDragCancel();
        return 0;
    case kNotifyDrop:
        if (lParam)
            OnDrop(*reinterpret_cast<const POINT*>(lParam));
        return 0;
    case kNotifyStringInserted:
    case kNotifyStringDeleted:
    case kNotifyItemHeightSet:
        OnListChanged();
        return 0;
    default:
        break;
    }
    return 0;
}

// --- Hit testing --------------------------------------------------------------------

int CMainBLPane::HitTest(POINT client, int* part) const
{
    if (part)
        *part = 0;
    HWND list = list_.Hwnd();
    const LRESULT hit = SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(client.x, client.y));
    if (HIWORD(hit))
        return -1;
    const int row = LOWORD(hit);
    RECT rect;
    if (row >= RowCount() || ListBox_GetItemRect(list, row, &rect) == LB_ERR || !PtInRect(&rect, client))
        return -1;
    if (!part)
        return row;
    const POINT local = {client.x - rect.left, client.y - rect.top};
    const int width = rect.right - rect.left;
    if (RowKind(row) == BLRowKind::Buddy) {
        const int normal = BuddyHeight(false);
        const BuddyRowLayout layout = LayoutBuddyRow(width, normal, buddyLine_, settings_);
        const bool messageShown = rect.bottom - rect.top > normal;
        if (settings_.showBuddyIcons && PtInRect(&layout.icon, local))
            *part = kBuddyPartIcon;
        else if (settings_.showFeedIndicator && PtInRect(&layout.feed, local))
            *part = kBuddyPartFeed;
        else if (PtInRect(&layout.presence, local))
            *part = kBuddyPartPresence;
        else if (messageShown && local.y >= layout.message.top && local.y < layout.message.bottom &&
                 local.x >= layout.message.left && local.x < layout.message.right)
            *part = kBuddyPartMessage;
        else if (local.y < layout.name.bottom + 3)
            *part = kBuddyPartName;
    } else if (RowKind(row) == BLRowKind::Header) {
        const bool switcher = settings_.idPanelStyle != 0 && sessions_.size() > 1;
        const HeaderRowLayout layout =
            LayoutHeaderRow(width, rect.bottom - rect.top, panelLine_, settings_.showMyBuddyIcon, switcher);
        if (settings_.showMyBuddyIcon && PtInRect(&layout.ownIcon, local))
            *part = kHeaderPartOwnIcon;
        else if (PtInRect(&layout.status, local))
            *part = kHeaderPartStatus;
        else if (PtInRect(&layout.actions, local))
            *part = kHeaderPartActions;
        else if (switcher && PtInRect(&layout.switcher, local))
            *part = kHeaderPartSwitcher;
        else if (PtInRect(&layout.name, local))
            *part = kHeaderPartName;
        else if (local.y >= layout.message.top && local.x >= layout.message.left && local.x < layout.message.right)
            *part = kHeaderPartMessage; // the message line and the margin below it
    }
    return row;
}

// --- Clicks and keys -------------------------------------------------------------

void CMainBLPane::OnDoubleClickOrEnter(int row, int part)
{
    switch (RowKind(row)) {
    case BLRowKind::Buddy:
        OpenConversation(SessionOfRow(row), RowText(row));
        break;
    case BLRowKind::Group:
        ToggleGroup(row);
        break;
    case BLRowKind::Header:
        if (part == kHeaderPartNone || part == kHeaderPartName)
            ToggleIdentity(row);
        break;
    default:
        break;
    }
}

bool CMainBLPane::OnClick(POINT client)
{
    int part = 0;
    const int row = HitTest(client, &part);
    IAccSession* session = SessionOfRow(row);
    POINT screen = client;
    ClientToScreen(list_.Hwnd(), &screen);
    switch (RowKind(row)) {
    case BLRowKind::Buddy: {
        ComPtr<IAccUser> buddy = BuddyOfRow(row);
        if (part == kBuddyPartFeed && bl::ReadLong(buddy.Get(), AccUserProp::Feed, 0) > 0) {
            OpenBuddyInfo(session, RowText(row));
            Refresh();
            return true;
        }
        if (part == kBuddyPartMessage) {
            const std::wstring link = StatusLinkOf(buddy.Get());
            if (!link.empty())
                return OpenWebAddress(Hwnd(), link);
        }
        return false;
    }
    case BLRowKind::Header:
        switch (part) {
        case kHeaderPartOwnIcon:
            ChooseOwnBuddyIcon(Hwnd(), session);
            return true;
        case kHeaderPartStatus:
            ShowStatusMenu(Hwnd(), session, screen);
            return true;
        case kHeaderPartActions:
            ShowActionsMenu(row, screen);
            return true;
        case kHeaderPartMessage:
            StartStatusEdit(row);
            return true;
        default:
            return false;
        }
    default:
        return false;
    }
}

// --- Hover and tips ---------------------------------------------------------------

void CMainBLPane::ShowRowTip(const std::wstring& text, POINT screen)
{
    // Made when first needed: a topmost tooltip owned by the main window
    // from the start keeps Wine from making the main window topmost.
    if (!text.empty())
        tip_.Create(Hwnd(), false);
    HWND tip = tip_.Hwnd();
    if (!tip || text.empty()) {
        HideRowTip();
        return;
    }
    // The tooltip keeps its own copy of the text however long it is; we
    // keep ours for as long as the tip shows it.
    tipText_ = text;
    tip_.AddTool(list_.Hwnd(), kTipId, tipText_, false);
    tip_.SetToolText(list_.Hwnd(), kTipId, tipText_);
    SendMessageW(tip, TTM_SETMAXTIPWIDTH, 0, 300);
    SendMessageW(tip, TTM_TRACKPOSITION, 0, MAKELPARAM(screen.x + 12, screen.y + 16));
    TOOLINFOW info = {};
    info.cbSize = sizeof(info);
    info.hwnd = list_.Hwnd();
    info.uId = kTipId;
    SendMessageW(tip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&info));
}

void CMainBLPane::HideRowTip()
{
    tipRow_ = -1;
    tipPart_ = 0;
    if (!tip_.Hwnd())
        return;
    TOOLINFOW info = {};
    info.cbSize = sizeof(info);
    info.hwnd = list_.Hwnd();
    info.uId = kTipId;
    SendMessageW(tip_.Hwnd(), TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&info));
    tipText_.clear();
}

void CMainBLPane::OnMouseMove(POINT client)
{
    if (dragKind_ != DragKind::None)
        return;
    int part = 0;
    const int row = HitTest(client, &part);
    const int hover = RowKind(row) == BLRowKind::Buddy ? row : -1;
    if (hover != hoverRow_) {
        const int old = hoverRow_;
        hoverRow_ = hover;
        RedrawRow(old);
        RedrawRow(hover);
    }
    if (row == tipRow_ && part == tipPart_)
        return;
    tipRow_ = row;
    tipPart_ = part;
    POINT screen = client;
    ClientToScreen(list_.Hwnd(), &screen);
    IAccSession* session = SessionOfRow(row);
    switch (RowKind(row)) {
    case BLRowKind::Buddy:
        if (part == kBuddyPartMessage) {
            HideBuddyInfoTip();
            ComPtr<IAccUser> buddy = BuddyOfRow(row);
            std::wstring text = StatusMessageOf(buddy.Get());
            if (!StatusLinkOf(buddy.Get()).empty())
                text = FormatLangString(344, {text});
            ShowRowTip(text, screen);
        } else {
            const int keepRow = tipRow_;
            const int keepPart = tipPart_;
            HideRowTip();
            tipRow_ = keepRow;
            tipPart_ = keepPart;
            ShowBuddyInfoTip(session, RowText(row), screen);
        }
        break;
    case BLRowKind::Header: {
        UINT textId = 0;
        switch (part) {
        case kHeaderPartOwnIcon:
            textId = 347;
            break;
        case kHeaderPartStatus:
            textId = 348;
            break;
        case kHeaderPartActions:
            textId = 350;
            break;
        case kHeaderPartMessage:
            textId = 349;
            break;
        default:
            break;
        }
        HideBuddyInfoTip();
        const int keepRow = tipRow_;
        const int keepPart = tipPart_;
        if (textId)
            ShowRowTip(LoadLangString(textId), screen);
        else
            HideRowTip();
        tipRow_ = keepRow;
        tipPart_ = keepPart;
        break;
    }
    default:
        HideBuddyInfoTip();
        HideRowTip();
        break;
    }
}

void CMainBLPane::OnMouseLeave()
{
    HideBuddyInfoTip();
    HideRowTip();
    const int old = hoverRow_;
    hoverRow_ = -1;
    RedrawRow(old);
}

// --- Menus ------------------------------------------------------------------------

std::vector<int> CMainBLPane::SelectedBuddyRows() const
{
    std::vector<int> rows;
    const int count = RowCount();
    for (int i = 0; i < count; ++i) {
        if (RowKind(i) == BLRowKind::Buddy && ListBox_GetSel(list_.Hwnd(), i) > 0)
            rows.push_back(i);
    }
    return rows;
}

void CMainBLPane::OnContextMenu(POINT client)
{
    int part = 0;
    const int row = HitTest(client, &part);
    if (row < 0)
        return;
    POINT screen = client;
    ClientToScreen(list_.Hwnd(), &screen);
    HideRowTip();
    HideBuddyInfoTip();
    if (ListBox_GetSelCount(list_.Hwnd()) > 1 && SelectedBuddyRows().size() > 1) {
        ShowSelectionMenu(screen);
        return;
    }
    switch (RowKind(row)) {
    case BLRowKind::Buddy: {
        ComPtr<IAccUser> buddy = BuddyOfRow(row);
        if (part == kBuddyPartFeed && bl::ReadLong(buddy.Get(), AccUserProp::Feed, 0) > 0) {
            // Acknowledging the feed: read now.
            SYSTEMTIME now;
            GetLocalTime(&now);
            double date = 0;
            SystemTimeToVariantTime(&now, &date);
            bl::WriteDate(buddy.Get(), AccUserProp::FeedReadTime, date);
            Refresh();
            return;
        }
        ShowBuddyMenu(row, screen);
        break;
    }
    case BLRowKind::Group:
        ShowGroupMenu(row, screen);
        break;
    case BLRowKind::Header:
        ShowActionsMenu(row, screen);
        break;
    default:
        break;
    }
}

void CMainBLPane::ShowBuddyMenu(int row, POINT screen)
{
    IAccSession* session = SessionOfRow(row);
    ComPtr<IAccUser> buddy = BuddyOfRow(row);
    const std::wstring name = RowText(row);
    const bool self = SameName(name, bl::SessionIdentity(session));
    bool shares = false;
    for (const std::wstring& capability : bl::ReadTextArray(buddy.Get(), AccUserProp::Capabilities))
        shares = shares || _wcsicmp(capability.c_str(), kShareCapability) == 0;

    HMENU menu = CreatePopupMenu();
    AppendItem(menu, 1, 65);
    AppendItem(menu, 2, 150);
    AppendItem(menu, 3, 169);
    AppendSeparator(menu);
    AppendItem(menu, 5, 425);
    AppendItem(menu, 6, 585, shares && !self);
    AppendSeparator(menu);
    AppendItem(menu, 7, 325);
    AppendItem(menu, 8, 326);
    AppendSeparator(menu);
    AppendItem(menu, 10, 451);
    AppendItem(menu, 9, 67);
    AppendSeparator(menu);
    if (!self) {
        if (bl::ReadBool(buddy.Get(), AccUserProp::Blocked, false))
            AppendItem(menu, 12, 149);
        else
            AppendItem(menu, 11, 148);
    }
    AppendItem(menu, 13, 137);
    const int command = TrackMenu(menu, Hwnd(), screen);
    DestroyMenu(menu);
    if (command)
        OnBuddyCommand(row, command);
}

void CMainBLPane::OnBuddyCommand(int row, int command)
{
    IAccSession* session = SessionOfRow(row);
    const std::wstring name = RowText(row);
    switch (command) {
    case 1:
        OpenBuddyInfo(session, name);
        break;
    case 2:
        OpenWebAddress(Hwnd(), SiteAddress(L"PagesSiteUrl", kDefaultPagesSite) + L"/" + ScreenNameForUrl(name) +
                                   L"/profile.html");
        break;
    case 3:
        OpenConversation(session, name);
        break;
    case 5: {
        std::wstring names;
        for (int selected : SelectedBuddyRows()) {
            if (!names.empty())
                names += L",";
            names += RowText(selected);
        }
        OpenChatInvitation(session, names.empty() ? name : names);
        break;
    }
    case 6:
        BrowseSharedFiles(session, name);
        break;
    case 7:
        SendFileTo(Hwnd(), session, name);
        break;
    case 8:
        SendFolderTo(Hwnd(), session, name);
        break;
    case 9:
        OpenBuddyPanel(session, name, RowText(GroupRowOf(row)));
        break;
    case 10:
        OpenBuddyLogs(session, name);
        break;
    case 11:
    case 12:
        BlockBuddy(row, command == 11);
        break;
    case 13:
        RemoveBuddy(row);
        break;
    default:
        break;
    }
}

void CMainBLPane::ShowSelectionMenu(POINT screen)
{
    const std::vector<int> rows = SelectedBuddyRows();
    if (rows.empty())
        return;
    HMENU menu = CreatePopupMenu();
    AppendItem(menu, 5, 425);
    AppendItem(menu, 14, 579);
    const int command = TrackMenu(menu, Hwnd(), screen);
    DestroyMenu(menu);
    IAccSession* session = SessionOfRow(rows.front());
    std::vector<std::wstring> names;
    for (int row : rows) {
        if (SessionOfRow(row) == session)
            names.push_back(RowText(row));
    }
    if (command == 5) {
        std::wstring joined;
        for (const std::wstring& name : names)
            joined += (joined.empty() ? L"" : L",") + name;
        OpenChatInvitation(session, joined);
    } else if (command == 14) {
        OpenBroadcastMessage(session, names);
    }
}

void CMainBLPane::ShowGroupMenu(int row, POINT screen)
{
    ComPtr<IAccGroup> group = GroupOfRow(row);
    if (!group || bl::ReadBool(group.Get(), AccGroupProp::IsOfflineGroup, false))
        return;
    IAccSession* session = SessionOfRow(row);
    HMENU menu = CreatePopupMenu();
    AppendItem(menu, 1, 131);
    AppendItem(menu, 2, 141);
    AppendSeparator(menu);
    AppendItem(menu, 3, 139);
    AppendItem(menu, 4, 140);
    AppendSeparator(menu);
    AppendItem(menu, 5, 579);
    AppendItem(menu, 6, 723, HasCapability(session, kShareCapability));
    const int command = TrackMenu(menu, Hwnd(), screen);
    DestroyMenu(menu);
    if (command)
        OnGroupCommand(row, command);
}

void CMainBLPane::OnGroupCommand(int row, int command)
{
    IAccSession* session = SessionOfRow(row);
    const std::wstring name = RowText(row);
    switch (command) {
    case 1:
        OpenBuddyPanel(session, L"", name);
        break;
    case 2:
        OpenGroupEditor(session, name);
        break;
    case 3:
        OpenGroupEditor(session, L"");
        break;
    case 4:
        if (g_messageBox(Hwnd(), 147, MB_YESNO | MB_ICONQUESTION) == IDYES) {
            ComPtr<IAccGroup> group = GroupOfRow(row);
            ComPtr<IAccBuddyList> list = bl::BuddyListOf(session);
            if (group && list)
                list->RemoveGroup(group.Get());
        }
        break;
    case 5: {
        std::vector<std::wstring> names;
        ComPtr<IAccGroup> group = GroupOfRow(row);
        long count = 0;
        if (group && SUCCEEDED(group->get_BuddyCount(&count))) {
            for (long i = 0; i < count; ++i) {
                ComPtr<IAccUser> buddy;
                if (SUCCEEDED(group->GetBuddyByIndex(i, buddy.GetAddressOf())) && buddy)
                    names.push_back(CompactScreenName(bl::ReadText(buddy.Get(), AccUserProp::Name)));
            }
        }
        OpenBroadcastMessage(session, names);
        break;
    }
    case 6:
        OpenSharingPermissions(session);
        break;
    default:
        break;
    }
}

void CMainBLPane::ShowActionsMenu(int row, POINT screen)
{
    HMENU menu = CreatePopupMenu();
    AppendItem(menu, 1, 1100);
    AppendItem(menu, 2, 1101);
    AppendItem(menu, 3, 1102);
    AppendSeparator(menu);
    AppendItem(menu, 4, 65);
    AppendItem(menu, 5, 132);
    AppendSeparator(menu);
    AppendItem(menu, 6, 1103);
    const int command = TrackMenu(menu, Hwnd(), screen);
    DestroyMenu(menu);
    if (command)
        OnActionsCommand(row, command);
}

void CMainBLPane::OnActionsCommand(int row, int command)
{
    IAccSession* session = SessionOfRow(row);
    const std::wstring web = SiteAddress(L"WebSiteUrl", kDefaultWebSite);
    switch (command) {
    case 1:
        if (session)
            session->InvokeIdentityAction(1);
        break;
    case 2:
        OpenWebAddress(Hwnd(), web + L"/redirects/inclient/linkingsn.adp");
        break;
    case 3:
        OpenWebAddress(Hwnd(), web + L"/redirects/inclient/imforwarding.adp");
        break;
    case 4:
        OpenProfileEditor(session);
        break;
    case 5:
        OpenSettingsWindow(200, false);
        break;
    case 6:
        OpenWebAddress(Hwnd(), SiteAddress(L"PasswordSiteUrl", kDefaultPasswordSite) +
                                   L"/redirects/password/change_password.adp?ScreenName=" +
                                   ScreenNameForUrl(bl::SessionIdentity(session)) + L"&ccode=US&lang=en");
        break;
    default:
        break;
    }
}

void CMainBLPane::BlockBuddy(int row, bool block)
{
    IAccSession* session = SessionOfRow(row);
    ComPtr<IAccUser> buddy = BuddyOfRow(row);
    if (!buddy)
        return;
    if (block && bl::ReadPreferenceLong(session, L"aimcc.privacy.mode", 1) == kPrivacyPermitBuddies) {
        // Only buddies may talk to us: blocking means leaving the list.
        if (g_messageBox(Hwnd(), 168, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
        ComPtr<IAccGroup> group = GroupOfRow(row);
        if (group) {
            bl::CBstr name(RowText(row));
            group->RemoveBuddy(name.Get());
        }
        return;
    }
    bl::WriteBool(buddy.Get(), AccUserProp::Blocked, block);
    RedrawRow(row);
}

void CMainBLPane::RemoveBuddy(int row)
{
    if (g_messageBox(Hwnd(), 138, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    ComPtr<IAccGroup> group = GroupOfRow(row);
    if (!group)
        return;
    bl::CBstr name(RowText(row));
    group->RemoveBuddy(name.Get());
}

// --- Dragging rows ------------------------------------------------------------------

bool CMainBLPane::CanDragRow(int row) const
{
    const BLRowKind kind = RowKind(row);
    if (kind != BLRowKind::Buddy && kind != BLRowKind::Group)
        return false;
    ComPtr<IAccGroup> group = GroupOfRow(row);
    // The offline group is the layer's own making: nothing moves in or out.
    return group && !bl::ReadBool(group.Get(), AccGroupProp::IsOfflineGroup, false);
}

bool CMainBLPane::IsValidDropTarget(int source, int target) const
{
    if (!CanDragRow(source) || target < 0 || target == source)
        return false;
    const BLRowKind targetKind = RowKind(target);
    if (targetKind != BLRowKind::Buddy && targetKind != BLRowKind::Group)
        return false;
    ComPtr<IAccGroup> targetGroup = GroupOfRow(target);
    if (!targetGroup || bl::ReadBool(targetGroup.Get(), AccGroupProp::IsOfflineGroup, false))
        return false;
    const int targetGroupRow = targetKind == BLRowKind::Group ? target : GroupRowOf(target);
    if (RowKind(source) == BLRowKind::Buddy)
        return targetKind == BLRowKind::Buddy || targetGroupRow != GroupRowOf(source);
    return targetGroupRow != source;
}

void CMainBLPane::DropRow(int source, int target)
{
    if (!IsValidDropTarget(source, target))
        return;
    IAccSession* from = SessionOfRow(source);
    IAccSession* to = SessionOfRow(target);
    const BLRowKind targetKind = RowKind(target);
    ComPtr<IAccGroup> targetGroup = GroupOfRow(target);
    ComPtr<IAccGroup> sourceGroup = GroupOfRow(source);
    if (!targetGroup || !sourceGroup || !from || !to)
        return;
    const std::wstring sourceName = RowText(source);

    if (from == to) {
        if (RowKind(source) == BLRowKind::Buddy) {
            const bool sameGroup = GroupRowOf(source) == (targetKind == BLRowKind::Group ? target : GroupRowOf(target));
            if (sameGroup && (settings_.sortAlpha || settings_.sortStatus)) {
                g_messageBox(Hwnd(), 188, MB_OK | MB_ICONINFORMATION);
                return;
            }
            const long index = targetKind == BLRowKind::Buddy ? bl::BuddyIndex(targetGroup.Get(), RowText(target)) : -1;
            bl::CBstr name(sourceName);
            sourceGroup->MoveBuddy(name.Get(), targetGroup.Get(), index);
        } else {
            const std::wstring targetName = bl::GroupName(targetGroup.Get());
            long index = 0;
            for (const ComPtr<IAccGroup>& group : bl::GroupsOf(from)) {
                if (bl::GroupName(group.Get()) == targetName)
                    break;
                ++index;
            }
            ComPtr<IAccBuddyList> list = bl::BuddyListOf(from);
            if (list)
                list->MoveGroup(sourceGroup.Get(), index);
        }
        return;
    }

    // Onto another account: copies, with alias and note.
    auto copyBuddy = [&](IAccGroup* into, const std::wstring& screenName) {
        ComPtr<IAccUser> original = bl::UserByName(from, screenName);
        ComPtr<IAccUser> copy;
        bl::CBstr name(screenName);
        if (SUCCEEDED(into->AddBuddy(name.Get(), -1, copy.GetAddressOf())))
            CopyBuddyDetails(original.Get(), copy.Get());
    };
    if (RowKind(source) == BLRowKind::Buddy) {
        copyBuddy(targetGroup.Get(), sourceName);
        return;
    }
    ComPtr<IAccBuddyList> list = bl::BuddyListOf(to);
    if (!list)
        return;
    ComPtr<IAccGroup> into = bl::GroupByName(to, sourceName);
    if (!into) {
        bl::CBstr name(sourceName);
        if (FAILED(list->InsertGroup(name.Get(), -1, into.GetAddressOf())) || !into)
            return;
    }
    long count = 0;
    if (FAILED(sourceGroup->get_BuddyCount(&count)))
        return;
    for (long i = 0; i < count; ++i) {
        ComPtr<IAccUser> buddy;
        if (SUCCEEDED(sourceGroup->GetBuddyByIndex(i, buddy.GetAddressOf())) && buddy)
            copyBuddy(into.Get(), bl::ReadText(buddy.Get(), AccUserProp::Name));
    }
}

int CMainBLPane::RowAtScreen(POINT screen) const
{
    POINT client = screen;
    ScreenToClient(list_.Hwnd(), &client);
    return HitTest(client, nullptr);
}

bool CMainBLPane::OnDragStart()
{
    const int row = HitTest(list_.PressPoint(), nullptr);
    if (!CanDragRow(row))
        return false;
    HideRowTip();
    HideBuddyInfoTip();
    dragKind_ = RowKind(row) == BLRowKind::Buddy ? DragKind::Buddy : DragKind::Group;
    dragSource_ = row;
    dragTarget_ = -1;
    return true;
}

void CMainBLPane::SetInsertMark(int target)
{
    if (target == dragTarget_)
        return;
    const int old = dragTarget_;
    dragTarget_ = target;
    SetRectEmpty(&insertMark_);
    RECT rect;
    if (target >= 0 && ListBox_GetItemRect(list_.Hwnd(), target, &rect) != LB_ERR) {
        int y = rect.top;
        if (dragKind_ == DragKind::Buddy && RowKind(target) == BLRowKind::Group)
            y = (rect.top + rect.bottom) / 2;
        else if (dragKind_ == DragKind::Group && target > dragSource_)
            y = rect.bottom - 2;
        insertMark_ = {rect.left, y, rect.right, y + 2};
    }
    RedrawRow(old);
    RedrawRow(target);
}

bool CMainBLPane::OnDragMove(POINT screen)
{
    if (dragKind_ == DragKind::None)
        return false;
    const int target = RowAtScreen(screen);
    const bool valid = IsValidDropTarget(dragSource_, target);
    SetCursor(LoadCursorW(nullptr, valid ? IDC_ARROW : IDC_NO));
    SetInsertMark(valid ? target : -1);
    return true;
}

void CMainBLPane::OnDragCancel()
{
    SetInsertMark(-1);
    dragKind_ = DragKind::None;
    dragSource_ = -1;
}

void CMainBLPane::OnDrop(POINT screen)
{
    const int source = dragSource_;
    const int target = RowAtScreen(screen);
    OnDragCancel();
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    DropRow(source, target);
}

// --- Status editor --------------------------------------------------------------------

void CMainBLPane::StartStatusEdit(int headerRow)
{
    IAccSession* session = SessionOfRow(headerRow);
    RECT rect;
    if (!session || ListBox_GetItemRect(list_.Hwnd(), headerRow, &rect) == LB_ERR)
        return;
    const HeaderRowLayout layout = LayoutHeaderRow(rect.right - rect.left, rect.bottom - rect.top, panelLine_,
                                                   settings_.showMyBuddyIcon,
                                                   settings_.idPanelStyle != 0 && sessions_.size() > 1);
    RECT place = layout.message;
    OffsetRect(&place, rect.left, rect.top);
    InflateRect(&place, 1, 2);
    MapWindowPoints(list_.Hwnd(), Hwnd(), reinterpret_cast<POINT*>(&place), 2);
    editSession_ = session;
    ComPtr<IAccBartItem> status = bl::ReadObject<IAccBartItem>(session, AccSessionProp::StatusText);
    const std::wstring text = status ? bl::ReadText(status.Get(), AccBartProp::Content) : std::wstring();
    SetWindowTextW(statusEdit_.Hwnd(), text.c_str());
    SetWindowPos(statusEdit_.Hwnd(), HWND_TOP, place.left, place.top, place.right - place.left,
                 place.bottom - place.top, SWP_SHOWWINDOW);
    SetFocus(statusEdit_.Hwnd());
    SendMessageW(statusEdit_.Hwnd(), EM_SETSEL, 0, -1);
}

void CMainBLPane::EndStatusEdit(bool commit)
{
    if (!editSession_)
        return;
    ComPtr<IAccSession> session = std::move(editSession_);
    editSession_.Reset();
    if (commit) {
        const int length = GetWindowTextLengthW(statusEdit_.Hwnd());
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        GetWindowTextW(statusEdit_.Hwnd(), &text[0], length + 1);
        text.resize(static_cast<size_t>(length));
        bl::WriteText(session.Get(), AccSessionProp::StatusText, text);
    }
    ShowWindow(statusEdit_.Hwnd(), SW_HIDE);
    if (list_.Hwnd() && GetFocus() != list_.Hwnd())
        SetFocus(list_.Hwnd());
    RedrawRow(HeaderRow(session.Get()));
}
