#include "SignOnPane.h"

#include "AppState.h"
#include "BackgroundBitmap.h"
#include "ControlNotifications.h"
#include "Ini.h"
#include "LangStrings.h"
#include "MediaLibrary.h"
#include "OtherWindows.h"
#include "PasswordProtection.h"
#include "AccountSettings.h"
#include "Seams.h"
#include "WindowKinds.h"
#include "WindowsVersion.h"

#include <uxtheme.h>

#include <algorithm>
#include <cwctype>

namespace {

constexpr wchar_t kUsers[] = L"Users";
constexpr wchar_t kAutoSignOnSection[] = L"AutoSignOn";
constexpr int kNameLimit = 128;
constexpr int kPasswordLimit = 64;
constexpr int kMargin = 16;

int g_signOnOption = 1;
bool g_startedByUser = false;

std::wstring Trim(const std::wstring& text)
{
    size_t first = 0;
    size_t last = text.size();
    while (first < last && iswspace(text[first]))
        ++first;
    while (last > first && iswspace(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

std::wstring WindowText(HWND hwnd, int limit)
{
    std::wstring text(limit + 1, L'\0');
    text.resize(GetWindowTextW(hwnd, text.data(), limit + 1));
    return text;
}

HWND MakeControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int id)
{
    HWND hwnd = CreateWindowExW(0, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(App().uiFont.Normal()), FALSE);
    return hwnd;
}

// A flat toolbar with one button showing its text; the sign-on pane's has a
// drop-down arrow and a picture, the progress pane's only text.
HWND MakeButtonBar(HWND parent, int barId, int command, UINT textId, bool dropDown, HIMAGELIST images, int image)
{
    DWORD style = TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TOOLTIPS | CCS_NODIVIDER | CCS_NOPARENTALIGN | CCS_NORESIZE;
    HWND bar = MakeControl(parent, TOOLBARCLASSNAMEW, L"", style, barId);
    SendMessageW(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(bar, TB_SETEXTENDEDSTYLE, 0, dropDown ? TBSTYLE_EX_DRAWDDARROWS | TBSTYLE_EX_MIXEDBUTTONS
                                                       : TBSTYLE_EX_MIXEDBUTTONS);
    if (images)
        SendMessageW(bar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    // Before Vista the toolbars look best without visual styles.
    if (!IsVistaOrLater())
        SetWindowTheme(bar, L"", L"");
    const std::wstring text = LoadLangString(textId);
    TBBUTTON button = {};
    button.iBitmap = images ? image : I_IMAGENONE;
    button.idCommand = command;
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = BTNS_AUTOSIZE | BTNS_SHOWTEXT | (dropDown ? BTNS_DROPDOWN : BTNS_BUTTON);
    button.iString = reinterpret_cast<INT_PTR>(text.c_str());
    SendMessageW(bar, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
    SendMessageW(bar, TB_AUTOSIZE, 0, 0);
    return bar;
}

SIZE BarSize(HWND bar)
{
    SIZE size = {};
    SendMessageW(bar, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&size));
    return size;
}

} // namespace

int SignOnOption()
{
    return g_signOnOption;
}

void SetSignOnOption(int option)
{
    g_signOnOption = (option >= 1 && option <= 3) ? option : 1;
}

bool SignOnStartedByUser()
{
    return g_startedByUser;
}

void SetSignOnStartedByUser(bool started)
{
    g_startedByUser = started;
}

bool CMainSignOnPane::Create(HWND parent)
{
    if (!CPaneWnd::Create(parent, kKindSignOnPane, 2))
        return false;
    return CreateControls(Hwnd());
}

bool CMainSignOnPane::CreateControls(HWND hwnd)
{
    MakeControl(hwnd, L"STATIC", LoadLangString(3), SS_LEFT, kNameLabel);
    RECT none = {0, 0, 10, 150};
    if (!nameBox_.Create(hwnd, kNameBox, WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 0,
                         none))
        return false;
    SendMessageW(nameBox_.Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(App().uiFont.Normal()), FALSE);
    SendMessageW(nameBox_.Hwnd(), CB_LIMITTEXT, kNameLimit, 0);
    MakeControl(hwnd, L"STATIC", LoadLangString(4), SS_LEFT, kPasswordLabel);
    RECT edit = {0, 0, 10, 10};
    if (!passwordBox_.Create(hwnd, kPasswordBox, WS_VISIBLE | WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL,
                             WS_EX_CLIENTEDGE, edit))
        return false;
    SendMessageW(passwordBox_.Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(App().uiFont.Normal()), FALSE);
    SendMessageW(passwordBox_.Hwnd(), EM_LIMITTEXT, kPasswordLimit, 0);
    MakeControl(hwnd, L"BUTTON", LoadLangString(35), BS_AUTOCHECKBOX | WS_TABSTOP, kRememberName);
    MakeControl(hwnd, L"BUTTON", LoadLangString(36), BS_AUTOCHECKBOX | WS_TABSTOP, kRememberPassword);
    MakeControl(hwnd, L"BUTTON", LoadLangString(564), BS_AUTOCHECKBOX | WS_TABSTOP, kAutoSignOn);

    images_.reset(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 3, 0));
    for (int id : {102, 100, 101}) {
        ScopedIcon icon(LoadMediaIcon(id, 16));
        ImageList_AddIcon(images_.get(), icon.get());
    }
    SetSignOnOption(static_cast<int>(Settings().GetUInt(L"Status", L"SignOn", 1)));
    toolbar_ = MakeButtonBar(hwnd, kSignOnBar, kSignOnBar, 6, true, images_.get(), SignOnOption() - 1);
    LoadRememberedUsers();
    return true;
}

void CMainSignOnPane::Layout(int width)
{
    const int inner = std::max(40, width - 2 * kMargin);
    const int line = App().uiFont.height > 0 ? App().uiFont.height : 14;
    const int boxHeight = line + 10;
    int y = 20;
    auto place = [&](int id, int height) {
        SetWindowPos(GetDlgItem(Hwnd(), id), nullptr, kMargin, y, inner, height, SWP_NOZORDER | SWP_NOACTIVATE);
        y += height;
    };
    place(kNameLabel, line + 2);
    SetWindowPos(nameBox_.Hwnd(), nullptr, kMargin, y, inner, 150, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT combo;
    GetWindowRect(nameBox_.Hwnd(), &combo);
    y += (combo.bottom - combo.top) + 10;
    place(kPasswordLabel, line + 2);
    place(kPasswordBox, boxHeight);
    y += 10;
    for (int id : {kRememberName, kRememberPassword, kAutoSignOn}) {
        place(id, line + 6);
        y += 2;
    }
    const SIZE bar = BarSize(toolbar_);
    SetWindowPos(toolbar_, nullptr, (width - bar.cx) / 2, y + 14, bar.cx, bar.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CMainSignOnPane::IsChecked(int id) const
{
    return IsDlgButtonChecked(Hwnd(), id) == BST_CHECKED;
}

void CMainSignOnPane::Check(int id, bool checked)
{
    CheckDlgButton(Hwnd(), id, checked ? BST_CHECKED : BST_UNCHECKED);
}

std::wstring CMainSignOnPane::TypedName() const
{
    return Trim(WindowText(nameBox_.Hwnd(), kNameLimit));
}

std::wstring CMainSignOnPane::SelectedName() const
{
    const LRESULT index = SendMessageW(nameBox_.Hwnd(), CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return {};
    const LRESULT length = SendMessageW(nameBox_.Hwnd(), CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR)
        return {};
    std::wstring text(length + 1, L'\0');
    text.resize(SendMessageW(nameBox_.Hwnd(), CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data())));
    return CompactScreenName(text);
}

void CMainSignOnPane::LoadRememberedUsers()
{
    CIni& ini = Settings();
    const std::wstring recent = ini.GetString(L"General", L"RecentUser").substr(0, kNameLimit);
    for (const std::wstring& name : ini.KeyNames(kUsers)) {
        const LRESULT index = SendMessageW(nameBox_.Hwnd(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        if (!recent.empty() && _wcsicmp(name.c_str(), recent.c_str()) == 0) {
            SendMessageW(nameBox_.Hwnd(), CB_SETCURSEL, index, 0);
            OnSelectUser();
        }
    }
}

void CMainSignOnPane::OnSelectUser()
{
    CIni& ini = Settings();
    const std::wstring name = SelectedName();
    if (!name.empty() && ini.KeyExists(kUsers, name.c_str())) {
        PreparePrimarySession(name);
        Check(kRememberName, true);
        const std::vector<BYTE> stored = ini.GetBinary(kUsers, name.c_str());
        std::wstring password;
        if (stored.empty()) {
            SetWindowTextW(passwordBox_.Hwnd(), L"");
            Check(kRememberPassword, false);
        } else if (OpenSecret(stored, password)) {
            SetWindowTextW(passwordBox_.Hwnd(), password.c_str());
            Check(kRememberPassword, true);
        }
        // A value that does not open leaves the field and the box as they are.
    } else {
        Check(kRememberName, false);
        Check(kRememberPassword, false);
    }
    Check(kAutoSignOn, !name.empty() && ini.GetBool(kAutoSignOnSection, name.c_str(), false));
}

bool CMainSignOnPane::ForgetSelectedName()
{
    HWND edit = nameBox_.EditHwnd();
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(nameBox_.Hwnd(), CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const int length = edit ? GetWindowTextLengthW(edit) : 0;
    if (length == 0 || start != 0 || end != static_cast<DWORD>(length))
        return false;
    CIni& ini = Settings();
    const std::wstring name = CompactScreenName(TypedName());
    if (name.empty() || !ini.KeyExists(kUsers, name.c_str()))
        return false;
    if (ShowErrorBox(Hwnd(), 352, MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) != IDYES)
        return true;
    ini.DeleteKey(kUsers, name.c_str());
    ini.DeleteKey(kAutoSignOnSection, name.c_str());
    const LRESULT index = SendMessageW(nameBox_.Hwnd(), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(name.c_str()));
    if (index != CB_ERR)
        SendMessageW(nameBox_.Hwnd(), CB_DELETESTRING, index, 0);
    SetWindowTextW(nameBox_.Hwnd(), L"");
    SetWindowTextW(passwordBox_.Hwnd(), L"");
    return true;
}

void CMainSignOnPane::ResetSignOnPane()
{
    if (!IsChecked(kRememberPassword))
        SetWindowTextW(passwordBox_.Hwnd(), L"");
}

void CMainSignOnPane::StartAutoSignOn()
{
    if (IsChecked(kRememberName) && IsChecked(kRememberPassword) && IsChecked(kAutoSignOn))
        SetTimer(Hwnd(), kAutoSignOnTimer, kAutoSignOnDelay, nullptr);
}

void CMainSignOnPane::SignOn()
{
    const std::wstring name = TypedName();
    const std::wstring current = PrimaryIdentity();
    if (!current.empty() && _wcsicmp(CompactScreenName(current).c_str(), CompactScreenName(name).c_str()) != 0) {
        if (!OtherWindowsOpen() || ShowErrorBox(Hwnd(), 225, MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES) {
            CloseOtherWindows();
            ReleaseOtherSessions();
        }
    }
    if (name.empty()) {
        ShowErrorBox(Hwnd(), 33, MB_ICONWARNING | MB_SETFOREGROUND);
        return;
    }
    const std::wstring compact = CompactScreenName(name);
    if (!IsStorableScreenName(compact)) {
        ShowErrorBox(Hwnd(), FormatLangString(1000, {name}), MB_ICONWARNING | MB_SETFOREGROUND);
        return;
    }
    const std::wstring password = Trim(WindowText(passwordBox_.Hwnd(), kPasswordLimit));
    if (password.empty()) {
        ShowErrorBox(Hwnd(), 34, MB_ICONWARNING | MB_SETFOREGROUND);
        return;
    }
    CIni& ini = Settings();
    if (IsChecked(kRememberName)) {
        const std::vector<BYTE> stored = IsChecked(kRememberPassword) ? SealSecret(password) : std::vector<BYTE>();
        ini.WriteString(L"General", L"RecentUser", compact.c_str());
        ini.DeleteKey(kUsers, compact.c_str());
        static const BYTE kNothing = 0;
        ini.WriteBinary(kUsers, compact.c_str(), stored.empty() ? &kNothing : stored.data(),
                        static_cast<DWORD>(stored.size()));
    } else if (!IsChecked(kRememberPassword)) {
        ini.DeleteKey(kUsers, compact.c_str());
        ini.WriteString(kUsers, compact.c_str(), L"");
    }
    SetSignOnStartedByUser(true);
    SignOnPrimary(name, password);
}

void CMainSignOnPane::ShowOptionMenu()
{
    HMENU menu = CreatePopupMenu();
    for (int option = 1; option <= 3; ++option) {
        const UINT flags = MF_STRING | (option == SignOnOption() ? MF_CHECKED : MF_UNCHECKED);
        AppendMenuW(menu, flags, option, LoadLangString(80 + option).c_str());
    }
    RECT button = {};
    SendMessageW(toolbar_, TB_GETRECT, kSignOnBar, reinterpret_cast<LPARAM>(&button));
    MapWindowPoints(toolbar_, nullptr, reinterpret_cast<POINT*>(&button), 2);
    TPMPARAMS exclude = {};
    exclude.cbSize = sizeof(exclude);
    exclude.rcExclude = button;
    const int chosen = TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_VERTICAL | TPM_LEFTALIGN, button.left,
                                        button.bottom, Hwnd(), &exclude);
    DestroyMenu(menu);
    if (chosen < 1 || chosen > 3)
        return;
    SetSignOnOption(chosen);
    Settings().WriteUInt(L"Status", L"SignOn", static_cast<UINT>(chosen));
    SendMessageW(toolbar_, TB_CHANGEBITMAP, kSignOnBar, chosen - 1);
}

LRESULT CMainSignOnPane::OnCommand(HWND hwnd, int id, int code, HWND control)
{
    switch (id) {
    case kNameBox:
        if (code == CBN_SELCHANGE)
            OnSelectUser();
        else if (code == kNotifyComboDeleteKey)
            return ForgetSelectedName() ? 1 : 0;
        return 0;
    case kRememberName:
        if (code == BN_CLICKED && !IsChecked(kRememberName))
            Check(kRememberPassword, false);
        return 0;
    case kRememberPassword:
        // Remembering a password means remembering its name too.
        if (code == BN_CLICKED && IsChecked(kRememberPassword) && !IsChecked(kRememberName)) {
            Check(kRememberName, true);
            SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(kRememberName, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(hwnd, kRememberName)));
        }
        return 0;
    case kAutoSignOn:
        if (code == BN_CLICKED) {
            const std::wstring name = SelectedName();
            if (!name.empty())
                Settings().WriteBool(kAutoSignOnSection, name.c_str(), IsChecked(kAutoSignOn));
        }
        return 0;
    case kSignOnBar:
        SignOn();
        return 0;
    default:
        return CPaneWnd::WindowProc(hwnd, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
    }
}

LRESULT CMainSignOnPane::OnNotify(HWND hwnd, NMHDR* header)
{
    if (header->hwndFrom == toolbar_ && header->code == TBN_DROPDOWN) {
        ShowOptionMenu();
        return TBDDRET_DEFAULT;
    }
    if (header->code == TTN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
        static std::wstring tip;
        tip = LoadLangString(193);
        info->lpszText = const_cast<wchar_t*>(tip.c_str());
        return 0;
    }
    return CPaneWnd::WindowProc(hwnd, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
}

LRESULT CMainSignOnPane::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        return OnCommand(hwnd, LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_NOTIFY:
        return OnNotify(hwnd, reinterpret_cast<NMHDR*>(lParam));
    case WM_SIZE:
        Layout(LOWORD(lParam));
        return 0;
    case WM_TIMER:
        if (wParam == kAutoSignOnTimer) {
            KillTimer(hwnd, kAutoSignOnTimer);
            PostMessageW(hwnd, WM_COMMAND, kSignOnBar, 0);
            return 0;
        }
        break;
    case WM_SETFOCUS:
        SetFocus(nameBox_.Hwnd());
        return 0;
    default:
        break;
    }
    return CPaneWnd::WindowProc(hwnd, message, wParam, lParam);
}

bool CMainSignOnStatePane::Create(HWND parent)
{
    if (!CPaneWnd::Create(parent, kKindSignOnProgressPane, 21))
        return false;
    textHeight_ = 4 * (App().uiFont.height > 0 ? App().uiFont.height : 14);
    text_ = MakeControl(Hwnd(), L"STATIC", LoadLangString(5), SS_OWNERDRAW, kProgressText);
    toolbar_ = MakeButtonBar(Hwnd(), kCancelBar, kCancelBar, 7, false, nullptr, 0);
    return text_ && toolbar_;
}

void CMainSignOnStatePane::SetProgressText(UINT stringId)
{
    SetProgressText(LoadLangString(stringId));
}

void CMainSignOnStatePane::SetProgressText(const std::wstring& text)
{
    SetWindowTextW(text_, text.c_str());
    InvalidateRect(text_, nullptr, TRUE);
}

std::wstring CMainSignOnStatePane::ProgressText() const
{
    return WindowText(text_, 1024);
}

void CMainSignOnStatePane::Layout(int width)
{
    SetWindowPos(text_, nullptr, 20, 20, std::max(0, width - 40), textHeight_, SWP_NOZORDER | SWP_NOACTIVATE);
    const SIZE bar = BarSize(toolbar_);
    SetWindowPos(toolbar_, nullptr, (width - bar.cx) / 2, 20 + textHeight_ + 30, bar.cx, bar.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void CMainSignOnStatePane::DrawProgress(const DRAWITEMSTRUCT* item)
{
    RECT rect = item->rcItem;
    CBackgroundBitmap& background = MainBackground();
    if (background.Dc() && background.owner)
        background.CopyTo(item->hDC, background.owner, item->hwndItem, rect);
    else
        FillRect(item->hDC, &rect, GetSysColorBrush(COLOR_BTNFACE));
    const std::wstring text = WindowText(item->hwndItem, 1024);
    ScopedSelectObject font(item->hDC, App().uiFont.Normal() ? App().uiFont.Normal() : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(item->hDC, TRANSPARENT);
    ::SetTextColor(item->hDC, background.textColor);
    DrawTextW(item->hDC, text.c_str(), -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
}

LRESULT CMainSignOnStatePane::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == kCancelBar) {
            SignOffPrimary();
            return 0;
        }
        break;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlID == kProgressText) {
            DrawProgress(item);
            return TRUE;
        }
        break;
    }
    case WM_SIZE:
        Layout(LOWORD(lParam));
        return 0;
    default:
        break;
    }
    return CPaneWnd::WindowProc(hwnd, message, wParam, lParam);
}
