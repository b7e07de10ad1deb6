// The pane's rows: which rows an account has, how they follow the layer's
// events, their heights, the settings they follow, and the main window's
// automatic height.
#include "MainBLPane.h"

#include "AIMConnection.h"
#include "AccountSettings.h"
#include "AppState.h"
#include "BLAccess.h"
#include "BuddyListSeams.h"
#include "LangStrings.h"
#include "Monitors.h"
#include "WindowKinds.h"

#include <windowsx.h>

#include <algorithm>

using Microsoft::WRL::ComPtr;
using namespace AIMCC;

namespace {

constexpr wchar_t kViewIdentity[] = L"ViewIdentity";
constexpr UINT_PTR kTimerLightRefresh = 32;
constexpr UINT kOwnIconDelayMs = 200;

CMainBLPane* g_pane = nullptr;

int LineHeight(HFONT font)
{
    ScopedWindowDC screen(nullptr);
    HGDIOBJ old = SelectObject(screen.get(), font ? font : GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW metrics = {};
    GetTextMetricsW(screen.get(), &metrics);
    SelectObject(screen.get(), old);
    return metrics.tmHeight > 0 ? metrics.tmHeight : 13;
}

IAccSession* SessionOf(CAIMConnection* connection)
{
    return connection ? connection->Session() : nullptr;
}

bool IsPrimaryConnection(CAIMConnection* connection)
{
    auto& all = Connections();
    return !all.empty() && all.front().Get() == connection;
}

} // namespace

CMainBLPane* BuddyListPaneObject()
{
    return g_pane;
}

// --- Pure layout ------------------------------------------------------------

BuddyRowLayout LayoutBuddyRow(int width, int normalHeight, int lineHeight, const BLSettings& settings)
{
    BuddyRowLayout layout;
    int left = 0;
    int right = width;
    if (settings.showBuddyIcons) {
        const int size = settings.buddyIconSize;
        const int top = (normalHeight - size) / 2;
        if (settings.buddyIconPos == 1) {
            layout.icon = {width - 3 - size, top, width - 3, top + size};
            right = layout.icon.left;
        } else {
            layout.icon = {3, top, size + 3, top + size};
            left = layout.icon.right;
        }
    }
    layout.presence = {left + 3, 3, left + 19, 19};
    if (settings.showFeedIndicator)
        layout.feed = {right - 19, 3, right - 3, 19};
    const int textLeft = layout.presence.right + 3;
    const int textRight = settings.showFeedIndicator ? layout.feed.left - 3 : right - 3;
    layout.name = {textLeft, 3, std::max(textLeft, textRight), 3 + lineHeight};
    if (settings.showPMsg)
        layout.message = {textLeft, layout.name.bottom + 3, layout.name.right, layout.name.bottom + 3 + lineHeight};
    return layout;
}

HeaderRowLayout LayoutHeaderRow(int width, int height, int lineHeight, bool ownIcon, bool switcher)
{
    HeaderRowLayout layout;
    int left = 4;
    if (ownIcon) {
        const int size = std::min(48, height - 8);
        layout.ownIcon = {4, (height - size) / 2, 4 + size, (height - size) / 2 + size};
        left = layout.ownIcon.right + 4;
    }
    layout.actions = {width - 20, 4, width - 4, 20};
    int right = layout.actions.left - 4;
    if (switcher) {
        layout.switcher = {right - 16, 4, right, 20};
        right = layout.switcher.left - 4;
    }
    layout.status = {left, 4, left + 16, 20};
    const int textLeft = layout.status.right + 4;
    layout.name = {textLeft, 3, std::max(textLeft, right), 3 + lineHeight};
    layout.message = {left, layout.name.bottom + 3, std::max(left, width - 4), layout.name.bottom + 3 + lineHeight};
    return layout;
}

PaneLayout LayoutPane(int width, int height, int toolbarHeight, int tbarPos, int panelHeight, int idPanelStyle)
{
    PaneLayout layout;
    int top = 0;
    int bottom = height;
    auto takeTop = [&](RECT& rect, int h) {
        rect = {0, top, width, std::min(bottom, top + h)};
        top = rect.bottom;
    };
    auto takeBottom = [&](RECT& rect, int h) {
        rect = {0, std::max(top, bottom - h), width, bottom};
        bottom = rect.top;
    };
    if (idPanelStyle == 1 && panelHeight > 0)
        takeTop(layout.panel, panelHeight);
    if (tbarPos == 1 && toolbarHeight > 0)
        takeTop(layout.toolbar, toolbarHeight);
    if (idPanelStyle == 2 && panelHeight > 0)
        takeBottom(layout.panel, panelHeight);
    if (tbarPos == 2 && toolbarHeight > 0)
        takeBottom(layout.toolbar, toolbarHeight);
    layout.list = {0, top, width, bottom};
    return layout;
}

RECT AutoHeightRect(const RECT& window, int rowsHeight, int listHeight, const RECT& work,
                    const BLAutoHeight& autoHeight)
{
    RECT result = window;
    const int slack = listHeight - rowsHeight;
    const int maximum = static_cast<int>((static_cast<long long>(work.bottom - work.top) * autoHeight.maxPercent) / 100);
    if (autoHeight.anchor == 1) {
        result.top = window.top + slack;
        if (result.bottom - result.top > maximum)
            result.top = result.bottom - maximum;
    } else {
        result.bottom = window.bottom - slack;
        if (result.bottom - result.top > maximum)
            result.bottom = result.top + maximum;
    }
    // Never upside down, and inside the work area.
    if (result.bottom < result.top)
        result.bottom = result.top;
    if (result.top < work.top) {
        const LONG shift = work.top - result.top;
        result.top += shift;
        if (autoHeight.anchor == 0)
            result.bottom = std::min<LONG>(result.bottom + shift, work.bottom);
    }
    if (result.bottom > work.bottom) {
        const LONG shift = result.bottom - work.bottom;
        result.bottom -= shift;
        if (autoHeight.anchor == 1)
            result.top = std::max<LONG>(result.top - shift, work.top);
    }
    return result;
}

// --- Construction -------------------------------------------------------------

CMainBLPane::CMainBLPane()
{
    ResetColsFonts(colsFonts_);
}

CMainBLPane::~CMainBLPane()
{
    if (g_pane == this)
        g_pane = nullptr;
}

bool CMainBLPane::Create(HWND parent)
{
    if (!CPaneWnd::Create(parent, kKindBuddyListPane, kBuddyListPaneControlId))
        return false;
    g_pane = this;
    CreateDrawingObjects();
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS |
                        LBS_NOTIFY | LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT | LBS_WANTKEYBOARDINPUT;
    RECT rect = {0, 0, 5, 5};
    if (!list_.Create(Hwnd(), kBuddyListControlId, style, 0, rect)) {
        DestroyWindow(Hwnd());
        return false;
    }
    list_.SetDragIcon(102, 8, 8);
    if (!statusEdit_.Create(Hwnd(), 4, WS_CHILD | WS_BORDER | ES_AUTOHSCROLL, 0, rect)) {
        DestroyWindow(Hwnd());
        return false;
    }
    Layout();
    return true;
}

void CMainBLPane::CreateDrawingObjects()
{
    buddyFont_.reset(CreateColsFont(colsFonts_.buddyFont));
    groupFont_.reset(CreateColsFont(colsFonts_.groupFont));
    panelFont_.reset(CreateColsFont(colsFonts_.panelFont));
    LOGFONTW bold = {};
    GetObjectW(panelFont_.get(), sizeof(bold), &bold);
    bold.lfWeight = FW_BOLD;
    panelBoldFont_.reset(CreateFontIndirectW(&bold));
    buddyLine_ = LineHeight(static_cast<HFONT>(buddyFont_.get()));
    groupLine_ = LineHeight(static_cast<HFONT>(groupFont_.get()));
    panelLine_ = std::max(LineHeight(static_cast<HFONT>(panelFont_.get())),
                          LineHeight(static_cast<HFONT>(panelBoldFont_.get())));
    // With a theme picture the main window makes the list's brush from its
    // background; otherwise it is the list colour.
    listBrush_.reset(CreateSolidBrush(colsFonts_.listBackground));
    if (list_.Hwnd())
        SendMessageW(list_.Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(buddyFont_.get()), FALSE);
    if (statusEdit_.Hwnd())
        SendMessageW(statusEdit_.Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(panelFont_.get()), FALSE);
}

void CMainBLPane::SetSettingsFromPrimary()
{
    settings_ = ReadBLSettings(primaryName_);
    ReadColsFonts(primaryName_, colsFonts_);
    LoadBuddyListTheme(primaryName_, colsFonts_);
    CreateDrawingObjects();
}

void CMainBLPane::ReloadSettings()
{
    SetSettingsFromPrimary();
    Layout();
    Refresh();
}

void CMainBLPane::Layout()
{
    if (!Hwnd())
        return;
    RECT client;
    GetClientRect(Hwnd(), &client);
    const PaneLayout layout = LayoutPane(client.right, client.bottom, BuddyListToolbarHeight(), settings_.tbarPos,
                                         IdentityPanelHeight(), settings_.idPanelStyle);
    if (list_.Hwnd())
        SetWindowPos(list_.Hwnd(), nullptr, layout.list.left, layout.list.top, layout.list.right - layout.list.left,
                     layout.list.bottom - layout.list.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// --- Heights ------------------------------------------------------------------

int CMainBLPane::HeaderHeight() const
{
    int height = std::max(41, 2 * panelLine_ + 9);
    if (settings_.showMyBuddyIcon)
        height = std::max(height, 54);
    return height;
}

int CMainBLPane::GroupHeight() const
{
    return std::max(19, groupLine_ + 6);
}

int CMainBLPane::BuddyHeight(bool withMessage) const
{
    int height = std::max(22, buddyLine_ + 6);
    if (settings_.showPMsg && withMessage)
        height = std::max(height, 2 * buddyLine_ + 9);
    if (settings_.showBuddyIcons)
        height = std::max(height, settings_.buddyIconSize + 6);
    return height;
}

// --- Rows ---------------------------------------------------------------------

int CMainBLPane::RowCount() const
{
    return list_.Hwnd() ? ListBox_GetCount(list_.Hwnd()) : 0;
}

BLRowKind CMainBLPane::RowKind(int row) const
{
    if (row < 0 || row >= RowCount())
        return BLRowKind::None;
    const LRESULT value = SendMessageW(list_.Hwnd(), LB_GETITEMDATA, row, 0);
    if (value == kGroupRowValue)
        return BLRowKind::Group;
    if (value == kBuddyRowValue)
        return BLRowKind::Buddy;
    if (value == 0 || value == LB_ERR)
        return BLRowKind::None;
    return BLRowKind::Header;
}

std::wstring CMainBLPane::RowText(int row) const
{
    const LRESULT length = SendMessageW(list_.Hwnd(), LB_GETTEXTLEN, row, 0);
    if (length == LB_ERR || length < 0)
        return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(list_.Hwnd(), LB_GETTEXT, row, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(copied == LB_ERR ? 0 : static_cast<size_t>(copied));
    return text;
}

int CMainBLPane::RowHeight(int row) const
{
    const LRESULT height = SendMessageW(list_.Hwnd(), LB_GETITEMHEIGHT, row, 0);
    return height == LB_ERR ? 0 : static_cast<int>(height);
}

int CMainBLPane::HeaderRowOf(int row) const
{
    if (row < 0 || row >= RowCount())
        return -1;
    // The accounts' headers are found by their text; walking up from the
    // row would cost a message per row in between.
    if (!sessions_.empty()) {
        int best = -1;
        for (const ComPtr<IAccSession>& session : sessions_) {
            const int header = HeaderRow(session.Get());
            if (header <= row && header > best)
                best = header;
        }
        if (best >= 0)
            return best;
    }
    for (int i = row; i >= 0; --i) {
        if (RowKind(i) == BLRowKind::Header)
            return i;
    }
    return -1;
}

IAccSession* CMainBLPane::SessionOfRow(int row) const
{
    const int header = HeaderRowOf(row);
    if (header < 0)
        return nullptr;
    return reinterpret_cast<IAccSession*>(SendMessageW(list_.Hwnd(), LB_GETITEMDATA, header, 0));
}

int CMainBLPane::GroupRowOf(int row) const
{
    for (int i = std::min(row, RowCount() - 1); i >= 0; --i) {
        const BLRowKind kind = RowKind(i);
        if (kind == BLRowKind::Group)
            return i;
        if (kind == BLRowKind::Header)
            return -1;
    }
    return -1;
}

std::vector<int> CMainBLPane::RowsWithText(const std::wstring& text) const
{
    // The list box finds exact texts (ignoring case) in one message each,
    // where walking the rows would cost several per row.
    std::vector<int> rows;
    HWND list = list_.Hwnd();
    int from = -1;
    for (;;) {
        const LRESULT found = SendMessageW(list, LB_FINDSTRINGEXACT, from, reinterpret_cast<LPARAM>(text.c_str()));
        if (found == LB_ERR || found <= from)
            break;
        rows.push_back(static_cast<int>(found));
        from = static_cast<int>(found);
    }
    return rows;
}

int CMainBLPane::HeaderRow(IAccSession* session) const
{
    if (!session)
        return -1;
    const std::wstring name = CompactScreenName(bl::SessionIdentity(session));
    if (!name.empty()) {
        for (int row : RowsWithText(name)) {
            if (RowKind(row) == BLRowKind::Header &&
                reinterpret_cast<IAccSession*>(SendMessageW(list_.Hwnd(), LB_GETITEMDATA, row, 0)) == session)
                return row;
        }
    }
    // A session whose name changed since: look at every row.
    const int count = RowCount();
    for (int i = 0; i < count; ++i) {
        if (RowKind(i) == BLRowKind::Header &&
            reinterpret_cast<IAccSession*>(SendMessageW(list_.Hwnd(), LB_GETITEMDATA, i, 0)) == session)
            return i;
    }
    return -1;
}

int CMainBLPane::IdentityEnd(int headerRow) const
{
    // The next account's header, found through the accounts rather than by
    // walking every row in between.
    int end = RowCount();
    for (const ComPtr<IAccSession>& session : sessions_) {
        const int other = HeaderRow(session.Get());
        if (other > headerRow && other < end)
            end = other;
    }
    return end;
}

int CMainBLPane::GroupEnd(int groupRow) const
{
    const int count = RowCount();
    int i = groupRow + 1;
    while (i < count && RowKind(i) == BLRowKind::Buddy)
        ++i;
    return i;
}

int CMainBLPane::FindRow(IAccSession* session, BLRowKind kind, const std::wstring& text, int groupRow) const
{
    const int header = HeaderRow(session);
    if (header < 0 || text.empty())
        return -1;
    const int begin = groupRow >= 0 ? groupRow + 1 : header + 1;
    const int end = groupRow >= 0 ? GroupEnd(groupRow) : IdentityEnd(header);
    for (int row : RowsWithText(text)) {
        if (row < begin || row >= end || RowKind(row) != kind)
            continue;
        // Group names keep their case; screen names do not.
        if (kind == BLRowKind::Buddy || RowText(row) == text)
            return row;
    }
    return -1;
}

std::vector<int> CMainBLPane::BuddyRowsOf(IAccSession* session, const std::wstring& screenName) const
{
    std::vector<int> rows;
    const int header = HeaderRow(session);
    if (header < 0)
        return rows;
    const std::wstring compact = CompactScreenName(screenName);
    if (compact.empty())
        return rows;
    const int end = IdentityEnd(header);
    for (int row : RowsWithText(compact)) {
        if (row > header && row < end && RowKind(row) == BLRowKind::Buddy)
            rows.push_back(row);
    }
    return rows;
}

ComPtr<IAccGroup> CMainBLPane::GroupOfRow(int row) const
{
    const int groupRow = RowKind(row) == BLRowKind::Group ? row : GroupRowOf(row);
    if (groupRow < 0)
        return nullptr;
    return bl::GroupByName(SessionOfRow(groupRow), RowText(groupRow));
}

ComPtr<IAccUser> CMainBLPane::BuddyOfRow(int row) const
{
    if (RowKind(row) != BLRowKind::Buddy)
        return nullptr;
    return bl::UserByName(SessionOfRow(row), RowText(row));
}

int CMainBLPane::InsertRow(int index, const std::wstring& text, LPARAM value, int height)
{
    pendingHeight_ = height;
    const LRESULT row = SendMessageW(list_.Hwnd(), LB_INSERTSTRING, index, reinterpret_cast<LPARAM>(text.c_str()));
    pendingHeight_ = 0;
    if (row == LB_ERR || row == LB_ERRSPACE)
        return -1;
    // The height came with WM_MEASUREITEM.
    SendMessageW(list_.Hwnd(), LB_SETITEMDATA, row, value);
    return static_cast<int>(row);
}

void CMainBLPane::DeleteRow(int row)
{
    if (row == hoverRow_)
        hoverRow_ = -1;
    else if (row < hoverRow_)
        --hoverRow_;
    if (row == tipRow_)
        HideRowTip();
    SendMessageW(list_.Hwnd(), LB_DELETESTRING, row, 0);
}

void CMainBLPane::DeleteBelow(int row, BLRowKind stopAt)
{
    int end = row + 1;
    const int count = RowCount();
    while (end < count) {
        const BLRowKind kind = RowKind(end);
        if (kind == BLRowKind::Header || (stopAt == BLRowKind::Group && kind == BLRowKind::Group))
            break;
        ++end;
    }
    if (end == row + 1)
        return;
    if (row == 0 && end == count && RowKind(0) == BLRowKind::Header) {
        // Everything but the one header: emptying the list and putting the
        // header back is one message instead of one per row, which counts
        // with a thousand buddies.
        const std::wstring text = RowText(0);
        const LRESULT value = SendMessageW(list_.Hwnd(), LB_GETITEMDATA, 0, 0);
        const int height = RowHeight(0);
        const bool selected = ListBox_GetSel(list_.Hwnd(), 0) > 0;
        HideRowTip();
        hoverRow_ = -1;
        ++heightSuspended_;
        SendMessageW(list_.Hwnd(), LB_RESETCONTENT, 0, 0);
        InsertRow(0, text, value, height);
        if (selected)
            ListBox_SetSel(list_.Hwnd(), TRUE, 0);
        --heightSuspended_;
        return;
    }
    // From the last row up, so the list moves nothing it is about to drop,
    // and without drawing in between.
    ++heightSuspended_;
    SendMessageW(list_.Hwnd(), WM_SETREDRAW, FALSE, 0);
    for (int i = end - 1; i > row; --i)
        DeleteRow(i);
    SendMessageW(list_.Hwnd(), WM_SETREDRAW, TRUE, 0);
    --heightSuspended_;
    InvalidateRect(list_.Hwnd(), nullptr, TRUE);
}

long CMainBLPane::SortState(long state, unsigned long flags) const
{
    if (IsMobile(flags) && !settings_.showMobileBuddies)
        return kStateOffline;
    return state;
}

CMainBLPane::BuddyFacts CMainBLPane::ReadBuddy(IAccUser* buddy, IAccGroup* group) const
{
    BuddyFacts facts;
    const std::wstring display = bl::ReadText(buddy, AccUserProp::Name);
    facts.screenName = CompactScreenName(display);
    facts.state = bl::ReadLong(buddy, AccUserProp::Presence, kStateOffline);
    facts.flags = static_cast<unsigned long>(bl::ReadLong(buddy, AccUserProp::UserClass, 0));
    // A buddy that shows as off line (mobile ones too, while those are not
    // shown) is listed only while offline buddies are.
    const bool online = ShowsOnline(facts.state, facts.flags, settings_.showMobileBuddies);
    facts.listed = !facts.screenName.empty() && (online || HideState().mode != HideMode::None);
    facts.sortKey.state = SortState(facts.state, facts.flags);
    std::wstring alias;
    if (settings_.showAlias)
        alias = bl::ReadText(buddy, AccUserProp::Alias);
    facts.sortKey.key = alias.empty() ? display : alias;
    facts.sortKey.sdkIndex = group ? bl::BuddyIndex(group, facts.screenName) : -1;
    return facts;
}

std::wstring CMainBLPane::StatusMessageOf(IAccUser* buddy, bool* pending) const
{
    HRESULT hr = S_OK;
    ComPtr<IAccBartItem> item = bl::ReadObject<IAccBartItem>(buddy, AccUserProp::StatusText, &hr);
    if (pending)
        *pending = hr == ACC_E_PENDING;
    if (!item)
        return {};
    HRESULT textResult = S_OK;
    bl::CVariant text;
    textResult = bl::ReadProperty(item.Get(), AccBartProp::Content, text);
    if (textResult == ACC_E_PENDING && pending)
        *pending = true;
    if (FAILED(textResult) || text.Get().vt != VT_BSTR || !text.Get().bstrVal)
        return {};
    return std::wstring(text.Get().bstrVal, SysStringLen(text.Get().bstrVal));
}

std::wstring CMainBLPane::StatusLinkOf(IAccUser* buddy) const
{
    ComPtr<IAccBartItem> item = bl::ReadObject<IAccBartItem>(buddy, AccUserProp::StatusLink);
    return item ? bl::ReadText(item.Get(), AccBartProp::Content) : std::wstring();
}

bool CMainBLPane::BuddyHasMessage(IAccUser* buddy) const
{
    if (!settings_.showPMsg)
        return false;
    const long state = bl::ReadLong(buddy, AccUserProp::Presence, kStateOffline);
    if (state == kStateOffline || state == kStateUnknown)
        return false;
    return !StatusMessageOf(buddy).empty();
}

int CMainBLPane::InsertBuddy(IAccSession* session, IAccGroup* group, int groupRow, IAccUser* buddy, bool filtered)
{
    const BuddyFacts facts = ReadBuddy(buddy, group);
    if (facts.screenName.empty() || (filtered && !facts.listed))
        return -1;
    if (FindRow(session, BLRowKind::Buddy, facts.screenName, groupRow) >= 0)
        return -1;
    const bool offlineGroup = bl::ReadBool(group, AccGroupProp::IsOfflineGroup, false);
    std::vector<BuddySortKey> rows;
    const int end = GroupEnd(groupRow);
    for (int i = groupRow + 1; i < end; ++i) {
        ComPtr<IAccUser> other = bl::UserByName(session, RowText(i));
        rows.push_back(ReadBuddy(other.Get(), group).sortKey);
    }
    const BuddyOrderRules rules{settings_.sortStatus, settings_.sortAlpha, offlineGroup};
    const size_t position = BuddyInsertPosition(rows, facts.sortKey, rules);
    const bool withMessage = !offlineGroup && BuddyHasMessage(buddy);
    return InsertRow(groupRow + 1 + static_cast<int>(position), facts.screenName, kBuddyRowValue,
                     BuddyHeight(withMessage));
}

void CMainBLPane::InsertBuddiesOf(IAccSession*, IAccGroup* group, int groupRow)
{
    long count = 0;
    if (!group || FAILED(group->get_BuddyCount(&count)))
        return;
    const bool offlineGroup = bl::ReadBool(group, AccGroupProp::IsOfflineGroup, false);
    const BuddyOrderRules rules{settings_.sortStatus, settings_.sortAlpha, offlineGroup};
    // The group's rows are known while they are made, so the order is found
    // without reading them back from the layer.
    std::vector<BuddySortKey> rows;
    std::vector<std::wstring> names;
    for (long i = 0; i < count; ++i) {
        ComPtr<IAccUser> buddy;
        if (FAILED(group->GetBuddyByIndex(i, buddy.GetAddressOf())) || !buddy)
            continue;
        BuddyFacts facts = ReadBuddy(buddy.Get(), nullptr);
        facts.sortKey.sdkIndex = i;
        if (!facts.listed)
            continue;
        if (std::find_if(names.begin(), names.end(), [&](const std::wstring& name) {
                return _wcsicmp(name.c_str(), facts.screenName.c_str()) == 0;
            }) != names.end())
            continue;
        const size_t position = BuddyInsertPosition(rows, facts.sortKey, rules);
        const bool withMessage = !offlineGroup && BuddyHasMessage(buddy.Get());
        if (InsertRow(groupRow + 1 + static_cast<int>(position), facts.screenName, kBuddyRowValue,
                      BuddyHeight(withMessage)) < 0)
            continue;
        rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(position), facts.sortKey);
        names.insert(names.begin() + static_cast<std::ptrdiff_t>(position), facts.screenName);
    }
}

int CMainBLPane::InsertGroupRows(IAccSession* session, IAccGroup* group, int at)
{
    const std::wstring name = bl::GroupName(group);
    // A group without a name cannot be found again by its row.
    if (name.empty())
        return at;
    const int row = InsertRow(at, name, kGroupRowValue, GroupHeight());
    if (row < 0)
        return at;
    if (bl::ReadBool(group, AccGroupProp::Expanded, true))
        InsertBuddiesOf(session, group, row);
    return GroupEnd(row);
}

void CMainBLPane::FillIdentity(IAccSession* session, int headerRow)
{
    ++heightSuspended_;
    SendMessageW(list_.Hwnd(), WM_SETREDRAW, FALSE, 0);
    int at = headerRow + 1;
    for (const ComPtr<IAccGroup>& group : bl::GroupsOf(session))
        at = InsertGroupRows(session, group.Get(), at);
    SendMessageW(list_.Hwnd(), WM_SETREDRAW, TRUE, 0);
    --heightSuspended_;
    InvalidateRect(list_.Hwnd(), nullptr, TRUE);
    AdjustMainWindowHeight();
}

// --- Accounts -------------------------------------------------------------------

void CMainBLPane::AddSession(IAccSession* session, bool primary)
{
    if (!session || !list_.Hwnd() || HeaderRow(session) >= 0)
        return;
    sessions_.emplace_back(session);
    const std::wstring name = CompactScreenName(bl::SessionIdentity(session));
    if (primary) {
        primaryName_ = name;
        HideState() = HideStateFromPreferences(
            bl::ReadPreferenceBool(session, L"aimcc.buddyList.hideOfflineGroup", false),
            bl::ReadPreferenceBool(session, L"aimcc.buddyList.hideOfflineBuddies", false));
        SetSettingsFromPrimary();
        ApplyTaskbarButtonStyle();
        Layout();
        if (settings_.autoHide)
            StartAutoHide(settings_.autoHide);
    }
    const int row = InsertRow(RowCount(), name, reinterpret_cast<LPARAM>(session), HeaderHeight());
    if (row < 0) {
        ShowErrorBox(Hwnd(), 0, MB_ICONERROR);
        return;
    }
    if (row == 0)
        ListBox_SetSel(list_.Hwnd(), TRUE, 0);
    if (Settings().GetInt(kViewIdentity, name.c_str(), 1) != 0)
        FillIdentity(session, row);
    else
        AdjustMainWindowHeight();
}

void CMainBLPane::RemoveSession(IAccSession* session)
{
    const int header = HeaderRow(session);
    if (header < 0)
        return;
    if (editSession_.Get() == session)
        EndStatusEdit(false);
    ++heightSuspended_;
    DeleteBelow(header, BLRowKind::Header);
    DeleteRow(header);
    --heightSuspended_;
    sessions_.erase(std::remove_if(sessions_.begin(), sessions_.end(),
                                   [&](const ComPtr<IAccSession>& s) { return s.Get() == session; }),
                    sessions_.end());
    AdjustMainWindowHeight();
}

void CMainBLPane::RebuildSession(IAccSession* session)
{
    const int header = HeaderRow(session);
    if (header < 0)
        return;
    ++heightSuspended_;
    SendMessageW(list_.Hwnd(), WM_SETREDRAW, FALSE, 0);
    DeleteBelow(header, BLRowKind::Header);
    SendMessageW(list_.Hwnd(), WM_SETREDRAW, TRUE, 0);
    --heightSuspended_;
    if (Settings().GetInt(kViewIdentity, RowText(header).c_str(), 1) != 0)
        FillIdentity(session, header);
    else
        AdjustMainWindowHeight();
}

void CMainBLPane::ToggleIdentity(int headerRow)
{
    if (RowKind(headerRow) != BLRowKind::Header)
        return;
    IAccSession* session = SessionOfRow(headerRow);
    const std::wstring name = RowText(headerRow);
    const bool expanded = Settings().GetInt(kViewIdentity, name.c_str(), 1) != 0;
    Settings().WriteInt(kViewIdentity, name.c_str(), expanded ? 0 : 1);
    if (expanded) {
        ++heightSuspended_;
        DeleteBelow(headerRow, BLRowKind::Header);
        --heightSuspended_;
        AdjustMainWindowHeight();
    } else {
        FillIdentity(session, headerRow);
    }
}

void CMainBLPane::ToggleGroup(int groupRow)
{
    if (RowKind(groupRow) != BLRowKind::Group)
        return;
    IAccSession* session = SessionOfRow(groupRow);
    ComPtr<IAccGroup> group = GroupOfRow(groupRow);
    if (!group)
        return;
    const bool expanded = bl::ReadBool(group.Get(), AccGroupProp::Expanded, true);
    bl::WriteBool(group.Get(), AccGroupProp::Expanded, !expanded);
    ++heightSuspended_;
    if (expanded)
        DeleteBelow(groupRow, BLRowKind::Group);
    else
        InsertBuddiesOf(session, group.Get(), groupRow);
    --heightSuspended_;
    RedrawRow(groupRow);
    AdjustMainWindowHeight();
}

// --- Events ---------------------------------------------------------------------

void CMainBLPane::AddIdentity(CAIMConnection* connection)
{
    AddSession(SessionOf(connection), IsPrimaryConnection(connection));
}

void CMainBLPane::RemoveIdentity(CAIMConnection* connection)
{
    RemoveSession(SessionOf(connection));
}

void CMainBLPane::Reset()
{
    EndStatusEdit(false);
    HideRowTip();
    hoverRow_ = -1;
    if (list_.Hwnd())
        SendMessageW(list_.Hwnd(), LB_RESETCONTENT, 0, 0);
    sessions_.clear();
}

void CMainBLPane::RebuildIdentity(CAIMConnection* connection)
{
    RebuildSession(SessionOf(connection));
}

void CMainBLPane::OnGroupRemoved(CAIMConnection* connection, IAccGroup* group)
{
    GroupRemoved(SessionOf(connection), group);
}

void CMainBLPane::OnBuddyAdded(CAIMConnection* connection, IAccGroup* group, IAccUser* buddy)
{
    BuddyAdded(SessionOf(connection), group, buddy);
}

void CMainBLPane::OnBuddyRemoved(CAIMConnection* connection, IAccGroup* group, IAccUser* buddy)
{
    BuddyRemoved(SessionOf(connection), group, buddy);
}

void CMainBLPane::OnBuddyMoved(CAIMConnection* connection, IAccGroup* from, IAccGroup* to, IAccUser* buddy)
{
    BuddyMoved(SessionOf(connection), from, to, buddy);
}

void CMainBLPane::OnGroupChanged(CAIMConnection* connection, IAccGroup* group, long code)
{
    GroupChanged(SessionOf(connection), group, code);
}

void CMainBLPane::OnBuddyChanged(CAIMConnection* connection, IAccUser* buddy, long property)
{
    BuddyChanged(SessionOf(connection), buddy, property);
}

void CMainBLPane::Redraw()
{
    if (list_.Hwnd())
        InvalidateRect(list_.Hwnd(), nullptr, TRUE);
}

void CMainBLPane::GroupRemoved(IAccSession* session, IAccGroup* group)
{
    const int row = FindRow(session, BLRowKind::Group, bl::GroupName(group));
    if (row < 0)
        return;
    ++heightSuspended_;
    DeleteBelow(row, BLRowKind::Group);
    DeleteRow(row);
    --heightSuspended_;
    AdjustMainWindowHeight();
}

void CMainBLPane::BuddyAdded(IAccSession* session, IAccGroup* group, IAccUser* buddy)
{
    const int groupRow = FindRow(session, BLRowKind::Group, bl::GroupName(group));
    if (groupRow < 0)
        return;
    if (bl::ReadBool(group, AccGroupProp::Expanded, true))
        InsertBuddy(session, group, groupRow, buddy, true);
    RedrawRow(groupRow);
}

void CMainBLPane::BuddyRemoved(IAccSession* session, IAccGroup* group, IAccUser* buddy)
{
    const int groupRow = FindRow(session, BLRowKind::Group, bl::GroupName(group));
    if (groupRow < 0)
        return;
    const int row =
        FindRow(session, BLRowKind::Buddy, CompactScreenName(bl::ReadText(buddy, AccUserProp::Name)), groupRow);
    if (row >= 0)
        DeleteRow(row);
    RedrawRow(groupRow);
}

void CMainBLPane::BuddyMoved(IAccSession* session, IAccGroup* from, IAccGroup* to, IAccUser* buddy)
{
    BuddyRemoved(session, from, buddy);
    BuddyAdded(session, to, buddy);
}

void CMainBLPane::GroupChanged(IAccSession* session, IAccGroup* group, long code)
{
    const std::wstring name = bl::GroupName(group);
    const int row = FindRow(session, BLRowKind::Group, name);
    if (code != AccGroupChange::Moved) {
        if (row >= 0)
            RedrawRow(row);
        return;
    }
    const int header = HeaderRow(session);
    if (header < 0)
        return;
    // Take the group's rows out and put them back before the first group
    // that follows it in the layer's order.
    ++heightSuspended_;
    if (row >= 0) {
        DeleteBelow(row, BLRowKind::Group);
        DeleteRow(row);
    }
    const auto groups = bl::GroupsOf(session);
    int at = IdentityEnd(header);
    bool after = false;
    for (const ComPtr<IAccGroup>& other : groups) {
        if (after) {
            const int otherRow = FindRow(session, BLRowKind::Group, bl::GroupName(other.Get()));
            if (otherRow >= 0) {
                at = otherRow;
                break;
            }
        } else if (bl::GroupName(other.Get()) == name) {
            after = true;
        }
    }
    if (after)
        InsertGroupRows(session, group, at);
    --heightSuspended_;
    AdjustMainWindowHeight();
}

void CMainBLPane::BuddyChanged(IAccSession* session, IAccUser* buddy, long property)
{
    if (!session || !buddy || HeaderRow(session) < 0)
        return;
    const std::wstring name = CompactScreenName(bl::ReadText(buddy, AccUserProp::Name));
    std::vector<int> rows = BuddyRowsOf(session, name);
    auto redrawAll = [&] {
        for (int row : rows)
            RedrawRow(row);
    };
    switch (property) {
    case AccUserProp::BuddyIcon:
        if (_wcsicmp(name.c_str(), CompactScreenName(bl::SessionIdentity(session)).c_str()) == 0)
            SetTimer(Hwnd(), kTimerLightRefresh, kOwnIconDelayMs, nullptr);
        else if (settings_.showBuddyIcons)
            redrawAll();
        return;
    case AccUserProp::Name:
    case AccUserProp::Blocked:
        redrawAll();
        return;
    case AccUserProp::Feed:
        if (settings_.showFeedIndicator)
            redrawAll();
        return;
    case AccUserProp::Alias:
        if (settings_.showAlias)
            redrawAll();
        return;
    case AccUserProp::StatusText:
    case AccUserProp::StatusLink:
        if (settings_.showPMsg) {
            for (int row : rows) {
                ComPtr<IAccGroup> group = GroupOfRow(row);
                const bool offlineGroup = bl::ReadBool(group.Get(), AccGroupProp::IsOfflineGroup, false);
                SendMessageW(list_.Hwnd(), LB_SETITEMHEIGHT, row, BuddyHeight(!offlineGroup && BuddyHasMessage(buddy)));
            }
            InvalidateRect(list_.Hwnd(), nullptr, TRUE);
        }
        return;
    case AccUserProp::Presence:
    case AccUserProp::UserClass:
        break;
    default:
        return;
    }

    // Presence or mobile flags: the buddy may have to appear, go, or move
    // within its groups.
    long groupCount = 0;
    if (FAILED(buddy->get_GroupCount(&groupCount)))
        groupCount = 0;
    std::vector<ComPtr<IAccGroup>> groups;
    for (long i = 0; i < groupCount; ++i) {
        ComPtr<IAccGroup> group;
        if (SUCCEEDED(buddy->GetGroup(i, group.GetAddressOf())) && group)
            groups.push_back(group);
    }
    for (const ComPtr<IAccGroup>& group : groups) {
        const int groupRow = FindRow(session, BLRowKind::Group, bl::GroupName(group.Get()));
        if (groupRow < 0)
            continue;
        RedrawRow(groupRow);
        if (!bl::ReadBool(group.Get(), AccGroupProp::Expanded, true))
            continue;
        const BuddyFacts facts = ReadBuddy(buddy, group.Get());
        const int row = FindRow(session, BLRowKind::Buddy, name, groupRow);
        if (row >= 0) {
            bool inPlace = facts.listed;
            if (inPlace && settings_.sortStatus) {
                const int end = GroupEnd(groupRow);
                if (row > groupRow + 1) {
                    ComPtr<IAccUser> before = bl::UserByName(session, RowText(row - 1));
                    inPlace = ReadBuddy(before.Get(), nullptr).sortKey.state <= facts.sortKey.state;
                }
                if (inPlace && row + 1 < end) {
                    ComPtr<IAccUser> after = bl::UserByName(session, RowText(row + 1));
                    inPlace = ReadBuddy(after.Get(), nullptr).sortKey.state >= facts.sortKey.state;
                }
            }
            if (inPlace) {
                RedrawRow(row);
                continue;
            }
            const bool selected = ListBox_GetSel(list_.Hwnd(), row) > 0;
            DeleteRow(row);
            const int inserted = InsertBuddy(session, group.Get(), groupRow, buddy, true);
            if (selected && inserted >= 0)
                ListBox_SetSel(list_.Hwnd(), TRUE, inserted);
        } else {
            InsertBuddy(session, group.Get(), groupRow, buddy, true);
        }
    }
    // Groups the buddy left (the offline group, say) are told by their own
    // events; the rows still listed under a group the buddy is no longer in
    // go here.
    for (int row : BuddyRowsOf(session, name)) {
        ComPtr<IAccGroup> group = GroupOfRow(row);
        if (group && bl::BuddyIndex(group.Get(), name) < 0) {
            const int groupRow = GroupRowOf(row);
            DeleteRow(row);
            RedrawRow(groupRow);
        }
    }
}

// --- Refreshing -----------------------------------------------------------------

void CMainBLPane::RedrawRow(int row)
{
    RECT rect;
    if (row >= 0 && ListBox_GetItemRect(list_.Hwnd(), row, &rect) != LB_ERR)
        InvalidateRect(list_.Hwnd(), &rect, TRUE);
}

void CMainBLPane::Refresh()
{
    if (!list_.Hwnd())
        return;
    ++heightSuspended_;
    const int count = RowCount();
    for (int i = 0; i < count; ++i) {
        int height = 0;
        switch (RowKind(i)) {
        case BLRowKind::Header:
            height = HeaderHeight();
            break;
        case BLRowKind::Group:
            height = GroupHeight();
            break;
        case BLRowKind::Buddy: {
            ComPtr<IAccUser> buddy = BuddyOfRow(i);
            height = BuddyHeight(BuddyHasMessage(buddy.Get()));
            break;
        }
        default:
            continue;
        }
        if (RowHeight(i) != height)
            SendMessageW(list_.Hwnd(), LB_SETITEMHEIGHT, i, height);
    }
    --heightSuspended_;
    Layout();
    InvalidateRect(list_.Hwnd(), nullptr, TRUE);
    AdjustMainWindowHeight();
}

bool CMainBLPane::FindBuddy(const std::wstring& screenName)
{
    const std::wstring compact = CompactScreenName(screenName);
    for (const ComPtr<IAccSession>& session : sessions_) {
        std::vector<int> rows = BuddyRowsOf(session.Get(), compact);
        if (rows.empty()) {
            // Perhaps in a collapsed group: open the first that lists it.
            const int header = HeaderRow(session.Get());
            const int end = IdentityEnd(header);
            for (int i = header + 1; i >= 0 && i < end; ++i) {
                if (RowKind(i) != BLRowKind::Group)
                    continue;
                ComPtr<IAccGroup> group = GroupOfRow(i);
                if (group && bl::BuddyIndex(group.Get(), compact) >= 0 &&
                    !bl::ReadBool(group.Get(), AccGroupProp::Expanded, true)) {
                    ToggleGroup(i);
                    break;
                }
            }
            rows = BuddyRowsOf(session.Get(), compact);
        }
        if (!rows.empty()) {
            ListBox_SetSel(list_.Hwnd(), FALSE, -1);
            ListBox_SetSel(list_.Hwnd(), TRUE, rows.front());
            ListBox_SetCaretIndex(list_.Hwnd(), rows.front());
            return true;
        }
    }
    return false;
}

void CMainBLPane::ToggleOfflineBuddies()
{
    BLHideState& state = HideState();
    if (state.mode == HideMode::None)
        return;
    state.offlineShown = !state.offlineShown;
    const wchar_t* name = state.mode == HideMode::OfflineGroup ? L"aimcc.buddyList.hideOfflineGroup"
                                                                 : L"aimcc.buddyList.hideOfflineBuddies";
    for (const ComPtr<IAccSession>& session : sessions_)
        bl::WritePreferenceBool(session.Get(), name, !state.offlineShown);
}

// --- Main menu commands -------------------------------------------------------------

IAccSession* CMainBLPane::SelectedSession() const
{
    const int row = SelectedRow();
    return row < 0 ? nullptr : SessionOfRow(row);
}

int CMainBLPane::SelectedRow() const
{
    if (!list_.Hwnd())
        return -1;
    const int caret = ListBox_GetCaretIndex(list_.Hwnd());
    if (caret >= 0 && ListBox_GetSel(list_.Hwnd(), caret) > 0)
        return caret;
    const int count = RowCount();
    for (int i = 0; i < count; ++i) {
        if (ListBox_GetSel(list_.Hwnd(), i) > 0)
            return i;
    }
    return -1;
}

BLRowKind CMainBLPane::SelectedRowKind() const
{
    return RowKind(SelectedRow());
}

void CMainBLPane::EditSelectedRow()
{
    const int row = SelectedRow();
    switch (RowKind(row)) {
    case BLRowKind::Group:
        OpenGroupEditor(SessionOfRow(row), RowText(row));
        break;
    case BLRowKind::Buddy:
        OpenBuddyPanel(SessionOfRow(row), RowText(row), RowText(GroupRowOf(row)));
        break;
    default:
        break;
    }
}

void CMainBLPane::DeleteSelectedRow()
{
    const int row = SelectedRow();
    switch (RowKind(row)) {
    case BLRowKind::Group:
        OnGroupCommand(row, 4);
        break;
    case BLRowKind::Buddy:
        RemoveBuddy(row);
        break;
    default:
        break;
    }
}

void CMainBLPane::ResetColoursAndFonts()
{
    if (AskPane(Hwnd(), 634, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    BLColsFonts record;
    ReadColsFonts(primaryName_, record);
    ResetColsFonts(record);
    const std::wstring section = AccountSection(kBuddyListSettings, primaryName_);
    Settings().WriteBinary(section.c_str(), L"ColsFonts", &record, sizeof(record));
    ReloadSettings();
}

void CMainBLPane::ApplyTaskbarButtonStyle()
{
    HWND main = GetParent(Hwnd());
    if (!main)
        return;
    const LONG_PTR exStyle = GetWindowLongPtrW(main, GWL_EXSTYLE);
    const LONG_PTR wanted = settings_.hideTaskbarBtn ? (exStyle & ~WS_EX_APPWINDOW) : (exStyle | WS_EX_APPWINDOW);
    if (wanted == exStyle)
        return;
    // The shell reads the style only when the window is shown.
    const bool visible = IsWindowVisible(main) != FALSE;
    if (visible)
        ShowWindow(main, SW_HIDE);
    SetWindowLongPtrW(main, GWL_EXSTYLE, wanted);
    if (visible)
        ShowWindow(main, SW_SHOWNA);
}

// --- Automatic height -------------------------------------------------------------

void CMainBLPane::OnListChanged()
{
    if (!heightSuspended_)
        AdjustMainWindowHeight();
}

void CMainBLPane::AdjustMainWindowHeight()
{
    if (heightSuspended_ || !settings_.autoHeight.enabled || sessions_.empty() || !list_.Hwnd())
        return;
    HWND main = GetParent(Hwnd());
    if (!main || IsIconic(main))
        return;
    int total = 0;
    const int count = RowCount();
    for (int i = 0; i < count; ++i)
        total += RowHeight(i);
    RECT listClient;
    GetClientRect(list_.Hwnd(), &listClient);
    RECT window;
    GetWindowRect(main, &window);
    RECT work;
    if (!GetMonitorWorkArea(main, work))
        return;
    const RECT wanted = AutoHeightRect(window, total, listClient.bottom, work, settings_.autoHeight);
    if (EqualRect(&wanted, &window))
        return;
    SetWindowPos(main, nullptr, wanted.left, wanted.top, wanted.right - wanted.left, wanted.bottom - wanted.top,
                 SWP_NOACTIVATE | SWP_NOZORDER);
}
