// The menu bar is a toolbar rather than a window menu so that it can stand on
// the main window's background picture and take the theme's colours. The price
// is that the system no longer runs a menu-bar loop for us: each popup is a
// TrackPopupMenuEx of its own, and a message filter hook (MSGF_MENU) watches
// the popup's modal loop for what a menu bar would do there - moving to
// another title with the mouse or with Left and Right. To move on, the filter
// ends the current popup (EndMenu) and leaves the index of the next one; the
// loop in TrackPopups then opens that one.
#include "MenuBarWnd.h"

#include <cstddef>

namespace {

// Button command ids; a button's index is its id minus this.
constexpr int kFirstButtonId = 1;

// The bar whose popup is open on this thread: the filter hook has no other
// way to find it.
thread_local CMenuBarWnd* t_trackingBar = nullptr;

wchar_t UpperCase(wchar_t ch)
{
    wchar_t text[2] = {ch, 0};
    CharUpperBuffW(text, 1);
    return text[0];
}

BOOL CALLBACK CountMenuWindow(HWND hwnd, LPARAM lParam)
{
    // "#32768" is the system's class of popup menu windows.
    wchar_t className[16] = {};
    if (IsWindowVisible(hwnd) && GetClassNameW(hwnd, className, ARRAYSIZE(className)) &&
        lstrcmpW(className, L"#32768") == 0)
        ++*reinterpret_cast<int*>(lParam);
    return TRUE;
}

// How many popup menus the thread shows: more than one while a submenu is open.
int OpenMenuWindows()
{
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), &CountMenuWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

// Whether Right in `popup` opens a submenu: its selected item has an enabled one.
bool RightOpensSubmenu(HMENU popup)
{
    const int count = popup ? GetMenuItemCount(popup) : 0;
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW item = {};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_STATE | MIIM_SUBMENU;
        if (!GetMenuItemInfoW(popup, i, TRUE, &item) || !(item.fState & MFS_HILITE))
            continue;
        return item.hSubMenu && !(item.fState & MFS_DISABLED);
    }
    return false;
}

// The system's menu font. The structure is passed without the padding field
// that Vista added, the size every version since 2000 accepts.
HFONT CreateSystemMenuFont()
{
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0))
        return nullptr;
    return CreateFontIndirectW(&metrics.lfMenuFont);
}

} // namespace

wchar_t MenuMnemonic(const std::wstring& title)
{
    for (size_t i = 0; i + 1 < title.size(); ++i) {
        if (title[i] != L'&')
            continue;
        if (title[i + 1] != L'&')
            return title[i + 1];
        ++i;
    }
    return 0;
}

CMenuBarWnd::~CMenuBarWnd()
{
    *alive_ = false;
    Destroy();
}

bool CMenuBarWnd::Create(HWND parent)
{
    if (rebar_.Hwnd())
        return true;
    if (!rebar_.Create(parent))
        return false;
    // Flat and transparent so that only the hot and the open title get a
    // frame; the custom erase lets the main window's picture show through.
    toolbar_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                               WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_LIST |
                                   TBSTYLE_TRANSPARENT | TBSTYLE_CUSTOMERASE | CCS_NODIVIDER | CCS_NOPARENTALIGN |
                                   CCS_NORESIZE,
                               0, 0, 0, 0, rebar_.Hwnd(),
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kMenuBarToolbarId)),
                               GetModuleHandleW(nullptr), nullptr);
    if (!toolbar_) {
        Destroy();
        return false;
    }
    SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    // Text only: no room for pictures.
    SendMessageW(toolbar_, TB_SETBITMAPSIZE, 0, MAKELPARAM(0, 0));
    systemFont_.reset(CreateSystemMenuFont());
    ApplyFont();
    return true;
}

void CMenuBarWnd::Destroy()
{
    if (t_trackingBar == this) {
        // The filter hook stays installed until the popup's loop returns;
        // from here on it must not reach this object.
        t_trackingBar = nullptr;
        nextPopup_ = -1;
        EndMenu();
    }
    if (HWND rebar = rebar_.Hwnd())
        DestroyWindow(rebar);
    OnRebarDestroyed();
}

void CMenuBarWnd::OnRebarDestroyed()
{
    toolbar_ = nullptr;
    titles_.clear();
    menu_ = nullptr;
}

bool CMenuBarWnd::SetMenu(HMENU menu)
{
    if (!toolbar_)
        return false;
    menu_ = menu;
    return FillButtons();
}

HWND CMenuBarWnd::Hwnd() const
{
    return rebar_.Hwnd();
}

HWND CMenuBarWnd::ToolbarHwnd() const
{
    return toolbar_;
}

int CMenuBarWnd::Height() const
{
    return rebar_.BarHeight();
}

int CMenuBarWnd::FullWidth() const
{
    HWND toolbar = toolbar_;
    if (!toolbar)
        return 0;
    // The right edge of the last button rather than a sum of widths, so that
    // an indent before the first button counts too.
    int right = 0;
    for (int i = 0; i < ButtonCount(); ++i) {
        RECT button = {};
        if (SendMessageW(toolbar, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&button)) && button.right > right)
            right = button.right;
    }
    return right + rebar_.BandOverhead();
}

bool CMenuBarWnd::OnKeyMenu(wchar_t key)
{
    if (!toolbar_ || tracking_ || ButtonCount() == 0)
        return false;
    if (key == 0) {
        const int first = NextEnabledButton(ButtonCount() - 1, 1);
        if (!IsButtonEnabled(first))
            return false;
        TrackPopups(first);
        return true;
    }
    const wchar_t wanted = UpperCase(key);
    for (int i = 0; i < static_cast<int>(titles_.size()); ++i) {
        const wchar_t mnemonic = MenuMnemonic(titles_[i]);
        if (mnemonic && UpperCase(mnemonic) == wanted && IsButtonEnabled(i)) {
            TrackPopups(i);
            return true;
        }
    }
    return false;
}

void CMenuBarWnd::SetColors(COLORREF text, HFONT font, bool themed)
{
    textColor_ = text;
    themeFont_ = font;
    themed_ = themed;
    ApplyFont();
}

void CMenuBarWnd::ApplyFont()
{
    if (!toolbar_)
        return;
    HFONT font = themed_ ? themeFont_ : nullptr;
    if (!font && systemFont_)
        font = static_cast<HFONT>(systemFont_.get());
    if (!font)
        font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageW(toolbar_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // The buttons size themselves to their texts when they are added, so a
    // new font means new buttons.
    FillButtons();
}

bool CMenuBarWnd::FillButtons()
{
    if (!toolbar_)
        return false;
    SendMessageW(toolbar_, WM_SETREDRAW, FALSE, 0);
    while (SendMessageW(toolbar_, TB_BUTTONCOUNT, 0, 0) > 0)
        SendMessageW(toolbar_, TB_DELETEBUTTON, 0, 0);

    titles_.clear();
    const int count = menu_ ? GetMenuItemCount(menu_) : 0;
    for (int i = 0; i < count; ++i) {
        wchar_t title[260] = {};
        GetMenuStringW(menu_, i, title, ARRAYSIZE(title), MF_BYPOSITION);
        titles_.emplace_back(title);
    }
    // Drop-down buttons without the arrow style: the whole button asks for
    // its popup (TBN_DROPDOWN) on the press, as a menu title does.
    std::vector<TBBUTTON> buttons(titles_.size());
    for (size_t i = 0; i < buttons.size(); ++i) {
        const UINT state = GetMenuState(menu_, static_cast<UINT>(i), MF_BYPOSITION);
        buttons[i].iBitmap = I_IMAGENONE;
        buttons[i].idCommand = kFirstButtonId + static_cast<int>(i);
        buttons[i].fsState = (state & (MF_GRAYED | MF_DISABLED)) ? 0 : TBSTATE_ENABLED;
        buttons[i].fsStyle = BTNS_AUTOSIZE | BTNS_DROPDOWN;
        buttons[i].iString = reinterpret_cast<INT_PTR>(titles_[i].c_str());
    }
    bool added = true;
    if (!buttons.empty())
        added = SendMessageW(toolbar_, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data())) != 0;
    SendMessageW(toolbar_, WM_SETREDRAW, TRUE, 0);

    int width = 0;
    int height = HIWORD(SendMessageW(toolbar_, TB_GETBUTTONSIZE, 0, 0));
    for (int i = 0; i < ButtonCount(); ++i) {
        RECT button = {};
        SendMessageW(toolbar_, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&button));
        width = button.right > width ? button.right : width;
        height = button.bottom - button.top > height ? button.bottom - button.top : height;
    }
    const bool banded = rebar_.SetBand(toolbar_, width, height);
    InvalidateRect(rebar_.Hwnd(), nullptr, TRUE);
    RedrawWindow(toolbar_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
    return added && banded;
}

int CMenuBarWnd::ButtonCount() const
{
    return toolbar_ ? static_cast<int>(SendMessageW(toolbar_, TB_BUTTONCOUNT, 0, 0)) : 0;
}

bool CMenuBarWnd::IsButtonEnabled(int index) const
{
    return toolbar_ && index >= 0 && index < ButtonCount() &&
           SendMessageW(toolbar_, TB_ISBUTTONENABLED, kFirstButtonId + index, 0) != 0;
}

int CMenuBarWnd::NextEnabledButton(int from, int step) const
{
    const int count = ButtonCount();
    for (int k = 1; k <= count; ++k) {
        const int index = ((from + step * k) % count + count) % count;
        if (IsButtonEnabled(index))
            return index;
    }
    return from;
}

int CMenuBarWnd::ButtonAtScreenPoint(POINT point) const
{
    // Only where the toolbar itself is under the point: an open popup may
    // hang over the titles.
    if (!toolbar_ || WindowFromPoint(point) != toolbar_)
        return -1;
    ScreenToClient(toolbar_, &point);
    const int index = static_cast<int>(SendMessageW(toolbar_, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&point)));
    return index < ButtonCount() ? index : -1;
}

bool CMenuBarWnd::OnToolbarNotify(const NMHDR& header, LRESULT& result)
{
    if (!toolbar_ || header.hwndFrom != toolbar_)
        return false;
    switch (header.code) {
    case TBN_DROPDOWN: {
        // The toolbar is in the middle of its button press; the popup's modal
        // loop starts once that is over.
        const auto& notice = reinterpret_cast<const NMTOOLBARW&>(header);
        const LRESULT index = SendMessageW(toolbar_, TB_COMMANDTOINDEX, notice.iItem, 0);
        if (index >= 0)
            PostMessageW(rebar_.Hwnd(), CReBarWnd::kOpenPopupMessage, static_cast<WPARAM>(index), 0);
        result = TBDDRET_DEFAULT;
        return true;
    }
    case NM_CUSTOMDRAW:
        result = OnCustomDraw(*reinterpret_cast<NMTBCUSTOMDRAW*>(const_cast<NMHDR*>(&header)));
        return true;
    default:
        return false;
    }
}

LRESULT CMenuBarWnd::OnCustomDraw(NMTBCUSTOMDRAW& draw)
{
    switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREERASE:
        return PaintMainBackground(toolbar_, draw.nmcd.hdc) ? CDRF_SKIPDEFAULT : CDRF_DODEFAULT;
    case CDDS_PREPAINT:
        return themed_ ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
    case CDDS_ITEMPREPAINT:
        draw.clrText = textColor_;
        draw.clrTextHighlight = textColor_;
        return CDRF_DODEFAULT;
    default:
        return CDRF_DODEFAULT;
    }
}

void CMenuBarWnd::TrackPopups(int index)
{
    if (tracking_ || !toolbar_)
        return;
    const std::shared_ptr<bool> alive = alive_;
    tracking_ = true;
    t_trackingBar = this;
    HHOOK hook = SetWindowsHookExW(WH_MSGFILTER, &CMenuBarWnd::MenuFilterProc, nullptr, GetCurrentThreadId());
    for (int next = index; next >= 0 && next < ButtonCount();) {
        openPopup_ = next;
        nextPopup_ = -1;
        ShowPopup(next);
        // Anything may have happened while the popup was open.
        if (!*alive)
            break;
        if (toolbar_)
            SendMessageW(toolbar_, TB_PRESSBUTTON, kFirstButtonId + next, FALSE);
        next = nextPopup_;
    }
    if (hook)
        UnhookWindowsHookEx(hook);
    if (t_trackingBar == this)
        t_trackingBar = nullptr;
    if (!*alive)
        return;
    openPopup_ = -1;
    tracking_ = false;
}

void CMenuBarWnd::ShowPopup(int index)
{
    HWND owner = GetParent(rebar_.Hwnd());
    HMENU popup = menu_ ? GetSubMenu(menu_, index) : nullptr;
    if (!popup) {
        // A title without a popup is a command of its own.
        if (menu_)
            PostMessageW(owner, WM_COMMAND, GetMenuItemID(menu_, index), 0);
        return;
    }
    RECT button = {};
    SendMessageW(toolbar_, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&button));
    MapWindowPoints(toolbar_, nullptr, reinterpret_cast<POINT*>(&button), 2);
    SendMessageW(toolbar_, TB_PRESSBUTTON, kFirstButtonId + index, TRUE);

    // Below the title, or above it when there is no room below; never over it,
    // so that the other titles stay reachable with the mouse.
    TPMPARAMS params = {};
    params.cbSize = sizeof(params);
    params.rcExclude = button;
    // The main window owns the popup, so its WM_INITMENUPOPUP, WM_MEASUREITEM,
    // WM_DRAWITEM and WM_COMMAND handling serve the bar as a window menu's.
    TrackPopupMenuEx(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_VERTICAL | TPM_LEFTBUTTON, button.left,
                     button.bottom, owner, &params);
}

LRESULT CALLBACK CMenuBarWnd::MenuFilterProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == MSGF_MENU && t_trackingBar && lParam &&
        t_trackingBar->OnMenuMessage(*reinterpret_cast<const MSG*>(lParam)))
        return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool CMenuBarWnd::OnMenuMessage(const MSG& message)
{
    switch (message.message) {
    case WM_KEYDOWN:
        // Inside a submenu Left closes the submenu and Right on a submenu's
        // item opens it, as always; only at the popup's own level do they
        // move to the neighbouring title.
        if (message.wParam == VK_LEFT && OpenMenuWindows() == 1) {
            SwitchTo(NextEnabledButton(openPopup_, -1));
            return true;
        }
        if (message.wParam == VK_RIGHT && OpenMenuWindows() == 1 &&
            !RightOpensSubmenu(GetSubMenu(menu_, openPopup_))) {
            SwitchTo(NextEnabledButton(openPopup_, 1));
            return true;
        }
        return false;
    case WM_MOUSEMOVE: {
        const int index = ButtonAtScreenPoint(message.pt);
        if (index < 0 || index == openPopup_ || !IsButtonEnabled(index))
            return false;
        SwitchTo(index);
        return true;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        // A click on the open title closes its popup. Left to the menu, the
        // click would close it and then reach the toolbar, which would open
        // the popup again.
        if (openPopup_ < 0 || ButtonAtScreenPoint(message.pt) != openPopup_)
            return false;
        nextPopup_ = -1;
        EndMenu();
        return true;
    default:
        return false;
    }
}

void CMenuBarWnd::SwitchTo(int index)
{
    if (index == openPopup_)
        return;
    nextPopup_ = index;
    EndMenu();
}
