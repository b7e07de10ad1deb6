#include "ChatWnd.h"

#include "AIMConnection.h"
#include "AccountSettings.h"
#include "AppState.h"
#include "ChatBody.h"
#include "ChatTheme.h"
#include "ComTypes.h"
#include "ConversationWindows.h"
#include "Folders.h"
#include "LangStrings.h"
#include "LogConnection.h"
#include "MediaLibrary.h"
#include "MessageSounds.h"
#include "WindowKinds.h"
#include "WindowPlacement.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cwctype>
#include <memory>

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kWindowClass[] = L"__oVLMoMAINoWNDo__";
constexpr wchar_t kMsgSection[] = L"Settings.MSG";
constexpr wchar_t kPlacementSection[] = L"WndPos";

// Language strings.
constexpr UINT kTitleString = 170;
constexpr UINT kNewImTitle = 171;
constexpr UINT kRoomTitle = 429;
constexpr UINT kEnterScreenName = 136;
constexpr UINT kLastReceived = 215;
constexpr UINT kIsTyping = 563;
constexpr UINT kStatusChanged = 218;
constexpr UINT kOfflineNotStored = 183;
constexpr UINT kNotDelivered = 257;
constexpr UINT kNotAccepting = 258;
constexpr UINT kRefused = 453;
constexpr UINT kConfirmOffline = 256;
constexpr UINT kRecipientGone = 210;
constexpr UINT kTooFast = 274;
constexpr UINT kEmbedNeedsDirect = 413;
constexpr UINT kDirectOpened = 409;
constexpr UINT kDirectClosed = 410;
constexpr UINT kFirstNotice = 637;
constexpr UINT kMemberJoined = 431;
constexpr UINT kMemberLeft = 432;

// The layer's results of a send.
constexpr HRESULT kResultRecipientGone = static_cast<HRESULT>(0x80040210);
constexpr HRESULT kResultTooFast = static_cast<HRESULT>(0x80040211);
constexpr HRESULT kResultNotDelivered = static_cast<HRESULT>(0x80040225);
constexpr HRESULT kResultNotAccepting = static_cast<HRESULT>(0x80040229);
constexpr HRESULT kResultRefused = static_cast<HRESULT>(0x80040260);
constexpr HRESULT kResultRecipientOffline = static_cast<HRESULT>(0x80040262);

// Menu items.
enum : UINT {
    kFileMenu = 200,
    kSendFilesItem = 201,
    kSendFolderItem = 202,
    kCloseItem = 203,
    kViewMenu = 300,
    kStatusBarItem = 301,
    kSendButtonItem = 302,
    kFormatBarItem = 303,
    kTimeStampsItem = 304,
    kStyleMenu = 305,
    kDefaultStyleItem = 350,
    kBuddyMenu = 400,
    kLogsItem = 401,
    kInviteItem = 402,
};

constexpr long kReadyState = AIMCC::AccSecondaryState::Ready;

// Icons of the media library: the window's, and the status icon at the
// left of the menu bar (a secure and an ordinary conversation).
constexpr int kWindowIcon = 153;
constexpr int kSecureIcon = 161;
constexpr int kPlainIcon = 163;
constexpr UINT kStatusIconItem = 100;
constexpr int kSplitterHeight = 4;
constexpr int kMinimumPaneHeight = 20;

std::vector<std::unique_ptr<CChatWnd>>& ChatWindows()
{
    static std::vector<std::unique_ptr<CChatWnd>> windows;
    return windows;
}

bool ReadLongProperty(AIMCC::IAccObject* object, long property, long& number)
{
    ScopedVariant value;
    if (!object || FAILED(object->get_Property(property, value.Receive())))
        return false;
    VARIANT converted;
    VariantInit(&converted);
    if (FAILED(VariantChangeType(&converted, value.get(), 0, VT_I4)))
        return false;
    number = converted.lVal;
    return true;
}

std::wstring ReadTextProperty(AIMCC::IAccObject* object, long property)
{
    ScopedVariant value;
    if (!object || FAILED(object->get_Property(property, value.Receive())) || value.value().vt != VT_BSTR)
        return {};
    const BSTR text = value.value().bstrVal;
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

SYSTEMTIME MessageTime(AIMCC::IAccIm* message)
{
    SYSTEMTIME time = {};
    ScopedVariant value;
    if (message && SUCCEEDED(message->get_Property(AIMCC::AccImProp::Time, value.Receive()))
        && value.value().vt == VT_DATE && VariantTimeToSystemTime(value.value().date, &time))
        return time;
    GetLocalTime(&time);
    return time;
}

std::wstring FriendlyName(AIMCC::IAccUser* user)
{
    std::wstring name = ReadTextProperty(user, AIMCC::AccUserProp::Alias);
    return name.empty() ? ReadTextProperty(user, AIMCC::AccUserProp::Name) : name;
}

bool SameScreenName(const std::wstring& a, const std::wstring& b)
{
    const std::wstring x = CompactScreenName(a);
    const std::wstring y = CompactScreenName(b);
    return x.size() == y.size()
        && std::equal(x.begin(), x.end(), y.begin(), [](wchar_t l, wchar_t r) { return towlower(l) == towlower(r); });
}

bool IsExistingFile(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool RegisterWindowClass()
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, kWindowClass, &existing))
        return true;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    return RegisterClassExW(&wc) != 0;
}

std::wstring WindowText(HWND hwnd)
{
    const int length = hwnd ? GetWindowTextLengthW(hwnd) : 0;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    if (length > 0)
        GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

// A remembered screen name is kept as the hex of its UTF-16 bytes, low
// byte first.
std::wstring EncodeHistoryName(const std::wstring& name)
{
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring hex;
    for (wchar_t c : name) {
        for (unsigned byte : {static_cast<unsigned>(c) & 0xFF, (static_cast<unsigned>(c) >> 8) & 0xFF}) {
            hex += kDigits[byte >> 4];
            hex += kDigits[byte & 0xF];
        }
    }
    return hex;
}

// "" for a value that is not whole UTF-16 units of hex: a damaged entry is
// left out rather than shown as junk.
std::wstring DecodeHistoryName(const std::wstring& hex)
{
    if (hex.size() % 4 != 0 || hex.find_first_not_of(L"0123456789abcdefABCDEF") != std::wstring::npos)
        return {};
    std::wstring name;
    for (size_t at = 0; at < hex.size(); at += 4) {
        const unsigned low = static_cast<unsigned>(wcstoul(hex.substr(at, 2).c_str(), nullptr, 16));
        const unsigned high = static_cast<unsigned>(wcstoul(hex.substr(at + 2, 2).c_str(), nullptr, 16));
        name += static_cast<wchar_t>(low | (high << 8));
    }
    return name;
}

void AppendMenuString(HMENU menu, UINT id, UINT stringId, bool checked = false)
{
    AppendMenuW(menu, MF_STRING | (checked ? MF_CHECKED : 0), id, LoadLangString(stringId).c_str());
}

} // namespace

// --- Finding and opening --------------------------------------------------------------------

CChatWnd::CChatWnd(CAIMConnection* connection, AIMCC::IAccImSession* session, const std::wstring& screenName)
    : connection_(connection)
    , ownName_(connection ? connection->Identity() : std::wstring())
    , remoteName_(screenName)
    , view_(ownName_)
    , editor_(ownName_)
{
    if (session)
        AttachSession(session);
}

void CChatWnd::AdoptSession(AIMCC::IAccImSession* session)
{
    if (!session)
        return;
    AttachSession(session);
    UpdateTitle();
}

CChatWnd::~CChatWnd()
{
    if (HWND hwnd = Hwnd(); hwnd && IsWindow(hwnd))
        DestroyWindow(hwnd);
    if (menuBar_ && !Hwnd())
        DestroyMenu(menuBar_);
}

std::vector<CChatWnd*> CChatWnd::All()
{
    std::vector<CChatWnd*> all;
    for (const auto& window : ChatWindows())
        all.push_back(window.get());
    return all;
}

CChatWnd* CChatWnd::Find(CAIMConnection* connection, AIMCC::IAccImSession* session, const std::wstring& screenName)
{
    std::wstring name = screenName;
    if (session && name.empty()) {
        long mode = AIMCC::AccImMode::Im;
        ReadLongProperty(session, AIMCC::AccImSessionProp::Mode, mode);
        if (mode != AIMCC::AccImMode::Chat)
            name = ReadTextProperty(session, AIMCC::AccImSessionProp::RemoteName);
    }
    for (CChatWnd* window : All()) {
        if (window->connection_.Get() != connection)
            continue;
        if (session && window->session_.Get() == session)
            return window;
        if (name.empty() || window->kind_ == kChatRoom)
            continue;
        const std::wstring held = window->session_ || !window->newImMode_
                                      ? window->remoteName_
                                      : WindowText(GetDlgItem(window->Hwnd(), kNameBox));
        if (!held.empty() && SameScreenName(held, name))
            return window;
    }
    return nullptr;
}

bool CChatWnd::Open(bool activate, bool show, const std::wstring& initialText)
{
    const bool created = !Hwnd();
    if (created && !CreateFrame(activate && !session_ && remoteName_.empty()))
        return false;
    if (!initialText.empty()) {
        editor_.ClearMessage();
        if (ComPtr<IHTMLDocument2> document = editor_.Document()) {
            ComPtr<IHTMLElement> body;
            if (SUCCEEDED(document->get_body(&body)) && body) {
                ScopedBstr text(initialText);
                body->put_innerText(text.get());
            }
        }
    }
    int command = SW_SHOW;
    const int focus = MsgSettingInt(L"MsgWndFocus", 0);
    if (!show)
        command = SW_HIDE;
    else if (!activate)
        command = focus == 1 ? SW_SHOWNOACTIVATE : focus == 2 ? SW_SHOWMINNOACTIVE : SW_SHOW;
    if (created && show) {
        WINDOWPLACEMENT placement = {};
        if (ReadWindowPlacement(Settings(), L"Chat", placement)) {
            placement.showCmd = command;
            SetWindowPlacement(Hwnd(), &placement);
        }
    }
    ShowWindow(Hwnd(), command);
    if (show && (activate || focus == 0 || focus > 2))
        SetForegroundWindow(Hwnd());
    return true;
}

CChatWnd* OpenConversation(CAIMConnection* connection, const std::wstring& screenName, bool activate)
{
    if (!connection)
        return nullptr;
    CChatWnd* window = screenName.empty() ? nullptr : CChatWnd::Find(connection, nullptr, screenName);
    if (!window) {
        ComPtr<AIMCC::IAccImSession> session;
        if (!screenName.empty() && connection->Session()) {
            ScopedBstr name(screenName);
            connection->Session()->CreateImSession(name.get(), AIMCC::AccImMode::Im, &session);
        }
        ChatWindows().push_back(std::make_unique<CChatWnd>(connection, session.Get(), screenName));
        window = ChatWindows().back().get();
    }
    if (!window->Open(activate, true)) {
        auto& all = ChatWindows();
        all.erase(std::remove_if(all.begin(), all.end(), [&](const auto& w) { return w.get() == window; }),
                  all.end());
        return nullptr;
    }
    return window;
}

// --- Creating the window --------------------------------------------------------------------

bool CChatWnd::CreateFrame(bool newImMode)
{
    newImMode_ = newImMode;
    if (!RegisterWindowClass())
        return false;
    menuBar_ = BuildMenuBar();
    HWND hwnd = CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                CW_USEDEFAULT, CW_USEDEFAULT, 300, 250, nullptr, menuBar_, GetModuleHandleW(nullptr),
                                nullptr);
    if (!hwnd) {
        ShowErrorBox(nullptr, 0, MB_ICONERROR | MB_SETFOREGROUND);
        return false;
    }
    Attach(hwnd, kKindChat);
    bigIcon_.reset(LoadMediaIcon(kWindowIcon, 32));
    smallIcon_.reset(LoadMediaIcon(kWindowIcon, 16));
    if (bigIcon_)
        SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    if (smallIcon_)
        SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
    UpdateTitle();
    if (newImMode_)
        CreateNewImControls();
    else
        EnsureView();
    CreateEditorControl();
    if (kind_ == kChatRoom && !memberList_) {
        memberList_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTBOXW, L"",
                                      WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 0, 0,
                                      0, 0, hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kMemberList)),
                                      GetModuleHandleW(nullptr), nullptr);
    }
    dropRegistered_ = SUCCEEDED(RegisterDragDrop(hwnd, this));
    Layout();
    return true;
}

HMENU CChatWnd::BuildMenuBar()
{
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    AppendMenuString(file, kSendFilesItem, 325);
    AppendMenuString(file, kSendFolderItem, 326);
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuString(file, kCloseItem, 208);
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), LoadLangString(206).c_str());

    HMENU view = CreatePopupMenu();
    AppendMenuString(view, kStatusBarItem, 212, MsgSetting(L"ShowStatusBar", true));
    AppendMenuString(view, kSendButtonItem, 213, MsgSetting(L"ShowSendBtn", true));
    AppendMenuString(view, kFormatBarItem, 209, MsgSetting(L"ShowFmtTBar", true));
    AppendMenuString(view, kTimeStampsItem, 343, view_.TimeStampsShown());
    if (App().browserMajorVersion > 6) {
        styleMenu_ = CreatePopupMenu();
        AppendMenuString(styleMenu_, kDefaultStyleItem, 231);
        const std::wstring defaultName = LoadLangString(231);
        WIN32_FIND_DATAW found = {};
        HANDLE search = FindFirstFileW((view_.ThemeFolder() + L"Styles\\*.css").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = found.cFileName;
                name.resize(name.size() - 4);
                if (_wcsicmp(name.c_str(), defaultName.c_str()) == 0)
                    continue;
                styleNames_.push_back(name);
                AppendMenuW(styleMenu_, MF_STRING, kDefaultStyleItem + styleNames_.size(), name.c_str());
            } while (styleNames_.size() < 40 && FindNextFileW(search, &found));
            FindClose(search);
        }
        AppendMenuW(view, MF_POPUP, reinterpret_cast<UINT_PTR>(styleMenu_), LoadLangString(216).c_str());
    }
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(view), LoadLangString(207).c_str());

    HMENU buddy = CreatePopupMenu();
    // The log manager and chat invitations are not part of this window;
    // their items stay grey until those features are there.
    AppendMenuW(buddy, MF_STRING | MF_GRAYED, kLogsItem, LoadLangString(451).c_str());
    AppendMenuW(buddy, MF_STRING | MF_GRAYED, kInviteItem, LoadLangString(425).c_str());
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(buddy), LoadLangString(452).c_str());
    return bar;
}

void CChatWnd::CreateNewImControls()
{
    HWND hwnd = Hwnd();
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    auto make = [&](const wchar_t* cls, const std::wstring& text, DWORD style, int id) {
        HWND control = CreateWindowExW(0, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, hwnd,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
        return control;
    };
    make(WC_STATICW, LoadLangString(650), 0, kAccountLabel);
    HWND accounts = make(WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_TABSTOP | WS_VSCROLL, kAccountBox);
    for (const auto& connection : Connections()) {
        if (connection && connection->State() == AIMCC::AccState::Online) {
            const LRESULT index = SendMessageW(accounts, CB_ADDSTRING, 0,
                                               reinterpret_cast<LPARAM>(connection->Identity().c_str()));
            if (connection.Get() == connection_.Get())
                SendMessageW(accounts, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        }
    }
    make(WC_STATICW, LoadLangString(649), 0, kNameLabel);
    HWND names = make(WC_COMBOBOXW, remoteName_, CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_TABSTOP | WS_VSCROLL, kNameBox);
    for (int i = 0; i < 10; ++i) {
        const std::wstring name =
            DecodeHistoryName(Settings().GetString(L"IM History", std::to_wstring(i).c_str(), L""));
        if (!name.empty())
            SendMessageW(names, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
}

void CChatWnd::DestroyNewImControls()
{
    HWND names = GetDlgItem(Hwnd(), kNameBox);
    if (names && !remoteName_.empty()) {
        // The name goes to the top of the remembered ten.
        std::vector<std::wstring> history{remoteName_};
        const LRESULT count = SendMessageW(names, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count && history.size() < 10; ++i) {
            const LRESULT length = SendMessageW(names, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
            std::wstring item(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
            SendMessageW(names, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
            item.resize(static_cast<size_t>(std::max<LRESULT>(length, 0)));
            if (!SameScreenName(item, remoteName_))
                history.push_back(item);
        }
        for (size_t i = 0; i < history.size(); ++i) {
            Settings().WriteString(L"IM History", std::to_wstring(i).c_str(), EncodeHistoryName(history[i]).c_str());
        }
    }
    for (int id : {kAccountLabel, kAccountBox, kNameLabel, kNameBox}) {
        if (HWND control = GetDlgItem(Hwnd(), id))
            DestroyWindow(control);
    }
    newImMode_ = false;
}

bool CChatWnd::EnsureView()
{
    if (viewShown_)
        return true;
    if (!Hwnd())
        return false;
    bool stamps = true;
    if (connection_ && connection_->Session()) {
        ComPtr<AIMCC::IAccPreferences> prefs;
        ScopedVariant value;
        ScopedBstr name(L"aimcc.im.showTimeStamps");
        if (SUCCEEDED(connection_->Session()->get_Prefs(&prefs)) && prefs
            && SUCCEEDED(prefs->GetValue(name.get(), value.Receive())) && value.value().vt == VT_BOOL)
            stamps = value.value().boolVal != VARIANT_FALSE;
    }
    if (creatingView_)
        return false;
    creatingView_ = true;
    const bool shown = view_.ShowChatView(Hwnd(), kViewId, stamps);
    creatingView_ = false;
    if (!shown)
        return false;
    viewShown_ = true;
    if (kind_ != kChatRoom)
        view_.WriteHeader(LocalParty(), RemoteParty(buddy_.Get()), buddy_.Get());
    Layout();
    return true;
}

void CChatWnd::CreateEditorControl()
{
    const std::wstring themePage = view_.ThemeFolder() + L"Input.htm";
    const std::wstring page = IsExistingFile(themePage) ? themePage : L"res://VLMMedia.dll/Input.htm";
    DWORD mask = newImMode_ ? 0xFFF0 : 0x1FFF0;
    if (kind_ == kChatRoom)
        mask &= ~((1u << (CIEInputWnd::kDirectImButton + 3)) | (1u << (CIEInputWnd::kBuddyInfoButton + 3))
                  | (1u << (CIEInputWnd::kWarnButton + 3)));
    editor_.CreateEditor(Hwnd(), page.c_str(), this, kEditorId, 0, mask);
    editor_.SetBarVisible(CIEInputWnd::kStatusLine, MsgSetting(L"ShowStatusBar", true));
    editor_.SetBarVisible(CIEInputWnd::kSendBar, MsgSetting(L"ShowSendBtn", true));
    editor_.SetBarVisible(CIEInputWnd::kFormatBar, MsgSetting(L"ShowFmtTBar", true));
}

int CChatWnd::EditorHeight() const
{
    if (editorHeight_ > 0)
        return editorHeight_;
    const int height = Settings().GetInt(kPlacementSection, L"ChatInput", kDefaultEditorHeight);
    return height > 20 && height < 2000 ? height : kDefaultEditorHeight;
}

void CChatWnd::Layout()
{
    if (!Hwnd())
        return;
    RECT client = {};
    GetClientRect(Hwnd(), &client);
    const int width = client.right;
    const int editorHeight = std::min<int>(EditorHeight(), std::max<int>(client.bottom - 40, 20));
    const int splitter = kSplitterHeight;
    const int top = newImMode_ ? 56 : 0;
    if (newImMode_) {
        const int label = 90;
        for (int row = 0; row < 2; ++row) {
            if (HWND text = GetDlgItem(Hwnd(), row ? kNameLabel : kAccountLabel))
                MoveWindow(text, 4, 6 + row * 26, label, 20, TRUE);
            if (HWND box = GetDlgItem(Hwnd(), row ? kNameBox : kAccountBox))
                MoveWindow(box, label + 8, 2 + row * 26, std::max(width - label - 12, 20), 200, TRUE);
        }
    }
    const int viewHeight = std::max<int>(client.bottom - editorHeight - splitter - top, 0);
    const int members = memberList_ ? std::min(120, width / 3) : 0;
    if (view_.Hwnd())
        MoveWindow(view_.Hwnd(), 0, top, width - members, viewHeight, TRUE);
    if (memberList_)
        MoveWindow(memberList_, width - members, top, members, viewHeight, TRUE);
    if (editor_.Hwnd())
        MoveWindow(editor_.Hwnd(), 0, client.bottom - editorHeight, width, editorHeight, TRUE);
}

void CChatWnd::UpdateTitle()
{
    std::wstring title;
    if (kind_ == kChatRoom)
        title = FormatLangString(kRoomTitle, {roomName_});
    else if (newImMode_ || remoteName_.empty())
        title = LoadLangString(kNewImTitle);
    else
        title = FormatLangString(kTitleString, {BuddyName(), ownName_});
    if (Hwnd())
        SetWindowTextW(Hwnd(), title.c_str());
}

// --- The session ----------------------------------------------------------------------------

void CChatWnd::AttachSession(AIMCC::IAccImSession* session)
{
    session_ = session;
    long mode = AIMCC::AccImMode::Im;
    ReadLongProperty(session, AIMCC::AccImSessionProp::Mode, mode);
    kind_ = mode == AIMCC::AccImMode::DirectIm ? kDirectIm : mode == AIMCC::AccImMode::Chat ? kChatRoom : kIm;
    if (kind_ == kChatRoom) {
        roomName_ = ReadTextProperty(session, AIMCC::AccImSessionProp::RoomName);
        return;
    }
    remoteName_ = ReadTextProperty(session, AIMCC::AccImSessionProp::RemoteName);
    if (connection_ && connection_->Session() && !remoteName_.empty()) {
        ScopedBstr name(remoteName_);
        buddy_.Reset();
        connection_->Session()->GetUser(name.get(), &buddy_);
        ReadLongProperty(buddy_.Get(), AIMCC::AccUserProp::Presence, buddyPresence_);
    }
}

bool CChatWnd::EnsureSession()
{
    if (session_)
        return true;
    std::wstring name = newImMode_ ? WindowText(GetDlgItem(Hwnd(), kNameBox)) : remoteName_;
    if (CompactScreenName(name).empty()) {
        MessageBoxW(Hwnd(), LoadLangString(kEnterScreenName).c_str(), kAppName, MB_ICONINFORMATION);
        SetFocus(GetDlgItem(Hwnd(), kNameBox));
        return false;
    }
    ComPtr<AIMCC::IAccImSession> session;
    ScopedBstr text(name);
    HRESULT hr = connection_ && connection_->Session()
                     ? connection_->Session()->CreateImSession(text.get(), AIMCC::AccImMode::Im, &session)
                     : E_UNEXPECTED;
    if (FAILED(hr) || !session) {
        ShowErrorBox(Hwnd(), 0, MB_ICONERROR);
        return false;
    }
    AttachSession(session.Get());
    if (newImMode_) {
        DestroyNewImControls();
        EnsureView();
        UpdateTitle();
        Layout();
    }
    return true;
}

std::wstring CChatWnd::BuddyName() const
{
    const std::wstring name = FriendlyName(buddy_.Get());
    return name.empty() ? remoteName_ : name;
}

ChatParty CChatWnd::LocalParty() const
{
    ComPtr<AIMCC::IAccUser> self;
    if (connection_ && connection_->Session()) {
        ScopedBstr name(ownName_);
        connection_->Session()->GetUser(name.get(), &self);
    }
    const std::wstring friendly = FriendlyName(self.Get());
    return ChatParty{ownName_, friendly.empty() ? ownName_ : friendly, L""};
}

ChatParty CChatWnd::RemoteParty(AIMCC::IAccUser* user) const
{
    std::wstring screenName = ReadTextProperty(user, AIMCC::AccUserProp::Name);
    if (screenName.empty())
        screenName = remoteName_;
    const std::wstring friendly = FriendlyName(user);
    return ChatParty{screenName, friendly.empty() ? screenName : friendly, L""};
}

// --- Sending --------------------------------------------------------------------------------

void CChatWnd::SendCurrentMessage(bool isRealTime)
{
    typedLength_ = editor_.GetTextLength();
    if (typedLength_ == 0 && !isRealTime)
        return;
    if (kind_ != kChatRoom && !EnsureSession())
        return;
    if (!session_)
        return;
    bool offline = false;
    if (kind_ != kChatRoom) {
        long presence = -1;
        offline = ReadLongProperty(session_.Get(), AIMCC::AccImSessionProp::RemotePresence, presence) && presence == 0;
        if (offline && !isRealTime && MsgSetting(L"ConfirmOIMSend", false)
            && MessageBoxW(Hwnd(), FormatLangString(kConfirmOffline, {BuddyName()}).c_str(), kAppName,
                           MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
            return;
    }
    long state = 0;
    if (!ReadLongProperty(session_.Get(), AIMCC::AccImSessionProp::State, state) || state != kReadyState) {
        pendingSend_ = true;
        return;
    }
    std::wstring html;
    if (!editor_.GetMessageHtml(&html))
        return;
    html = StripParagraphTags(html);
    if (html.find(L"name=\"dimembed\">") != std::wstring::npos && kind_ != kDirectIm) {
        MessageBoxW(Hwnd(), LoadLangString(kEmbedNeedsDirect).c_str(), kAppName, MB_ICONINFORMATION);
        return;
    }
    ComPtr<AIMCC::IAccIm> message;
    ScopedBstr text(html);
    ScopedBstr mime(L"text/html");
    if (!connection_ || !connection_->Session()
        || FAILED(connection_->Session()->CreateIm(text.get(), mime.get(), &message)) || !message)
        return;
    KillTimer(Hwnd(), kTypingTimer);
    session_->SetTypingState(AIMCC::AccTyping::None);
    long flags = 0;
    if (isRealTime)
        flags = AIMCC::AccImFlags::RealTimeFragment;
    else if (offline)
        flags = AIMCC::AccImFlags::Offline;
    if (flags) {
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_I4;
        value.lVal = flags;
        message->put_Property(AIMCC::AccImProp::Flags, value);
    }
    const HRESULT hr = session_->SendIm(message.Get());
    if (hr == kResultRecipientGone)
        MessageBoxW(Hwnd(), LoadLangString(kRecipientGone).c_str(), kAppName, MB_ICONERROR);
    else if (hr == kResultTooFast)
        MessageBoxW(Hwnd(), LoadLangString(kTooFast).c_str(), kAppName, MB_ICONINFORMATION);
}

void CChatWnd::OnMessageSent(AIMCC::IAccIm* message)
{
    if (kind_ == kChatRoom) {
        if (!message)
            return;
        const SoundChoice sound = SentMessageSound(MessageSoundSettings::Read(Settings(), ownName_), firstMessage_);
        if (ShowMessage(MessageKind::Outgoing, message, nullptr)) {
            editor_.ClearMessage();
            LogMessage(message, nullptr, MessageLogFlags::Sent);
            PlayMessageSound(sound, message);
        }
        return;
    }
    long flags = 0;
    ReadLongProperty(message, AIMCC::AccImProp::Flags, flags);
    // An offline message is confirmed only when the server stored it.
    if (message && (kind_ == kDirectIm || !(flags & AIMCC::AccImFlags::Offline)))
        OnSendResult(message, S_OK);
}

void CChatWnd::OnSendResult(AIMCC::IAccIm* message, HRESULT result)
{
    long flags = 0;
    ReadLongProperty(message, AIMCC::AccImProp::Flags, flags);
    if (kind_ == kChatRoom || !message || (flags & AIMCC::AccImFlags::RealTimeFragment))
        return;
    const bool offline = (flags & AIMCC::AccImFlags::Offline) != 0;
    if (result == S_OK) {
        const std::wstring id = ReadTextProperty(message, AIMCC::AccImProp::Id);
        if (!id.empty()) {
            if (std::find(shownOutgoing_.begin(), shownOutgoing_.end(), id) != shownOutgoing_.end())
                return;
            shownOutgoing_.push_back(id);
            if (shownOutgoing_.size() > kRememberedOutgoing)
                shownOutgoing_.pop_front();
        }
        const SoundChoice sound = SentMessageSound(MessageSoundSettings::Read(Settings(), ownName_), firstMessage_);
        firstMessage_ = false;
        // The layer confirms a message when it leaves and again with the
        // server's answer: the first confirmation shows it and empties the
        // editor, the second finds it shown and leaves alone what the user
        // has typed since.
        if (ShowMessage(MessageKind::Outgoing, message, nullptr)) {
            editor_.ClearMessage();
            ShowStopButtonForItems(message);
            const UINT logFlags = offline ? MessageLogFlags::Sent | MessageLogFlags::Offline : MessageLogFlags::Sent;
            LogMessage(message, nullptr, logFlags);
            PlayMessageSound(sound, message);
        }
        return;
    }
    if (result == kResultNotDelivered)
        Notify(FormatLangString(offline ? kOfflineNotStored : kNotDelivered, {BuddyName()}));
    else if (result == kResultNotAccepting)
        Notify(FormatLangString(kNotAccepting, {BuddyName()}));
    else if (result == kResultRefused)
        Notify(FormatLangString(kRefused, {BuddyName()}));
    else if (result == kResultRecipientOffline) {
        if (offline) {
            Notify(FormatLangString(kOfflineNotStored, {BuddyName()}));
            return;
        }
        if (MsgSetting(L"ConfirmOIMSend", false)
            && MessageBoxW(Hwnd(), FormatLangString(kConfirmOffline, {BuddyName()}).c_str(), kAppName,
                           MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) {
            firstMessage_ = true;
            return;
        }
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_I4;
        value.lVal = flags | AIMCC::AccImFlags::Offline;
        message->put_Property(AIMCC::AccImProp::Flags, value);
        if (session_)
            session_->SendIm(message);
    }
}

// --- Receiving ------------------------------------------------------------------------------

bool CChatWnd::ShowMessage(MessageKind kind, AIMCC::IAccIm* message, AIMCC::IAccUser* sender)
{
    if (!message || !EnsureView())
        return false;
    ChatMessage shown;
    shown.kind = kind;
    shown.id = ReadTextProperty(message, AIMCC::AccImProp::Id);
    ScopedBstr text;
    ScopedBstr mime(L"text/html");
    if (FAILED(message->GetConvertedText(mime.get(), text.Receive())))
        return false;
    shown.text = text.Text();
    long flags = 0;
    ReadLongProperty(message, AIMCC::AccImProp::Flags, flags);
    shown.flags = static_cast<UINT>(flags);
    std::wstring background;
    view_.GetViewBackgroundColor(&background);
    MessageBodyInput input;
    input.html = shown.text;
    input.id = (flags & AIMCC::AccImFlags::RealTimeFragment) ? L"rtim" : shown.id;
    input.viewBackground = background;
    input.smileysAsText = kind != MessageKind::Outgoing && MsgSetting(L"ShowSmiliesAsTxt", false);
    const MessageBody body = BuildMessageBody(input);
    shown.body = body.body;
    shown.plainBody = body.plainBody;
    shown.time = MessageTime(message);
    shown.sender = kind == MessageKind::Outgoing ? LocalParty() : RemoteParty(sender ? sender : buddy_.Get());
    long realTime = 0;
    shown.realTimeSession = session_
                            && ReadLongProperty(session_.Get(), AIMCC::AccImSessionProp::RealTimeText, realTime)
                            && realTime != 0;
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    return view_.ShowMessage(sequence_, shown, now);
}

void CChatWnd::OnMessageReceived(AIMCC::IAccUser* sender, AIMCC::IAccIm* message, bool notification)
{
    const SoundChoice sound = ReceivedMessageSound(MessageSoundSettings::Read(Settings(), ownName_), firstMessage_);
    firstMessage_ = false;
    if (!viewShown_)
        OnSessionState(kReadyState, S_OK);
    const MessageKind kind = notification ? MessageKind::Notification : MessageKind::Incoming;
    if (!notification) {
        long known = 0;
        long secure = 0;
        if (ReadLongProperty(session_.Get(), AIMCC::AccImSessionProp::RemotePresence, known) && known > 0) {
            ReadLongProperty(message, AIMCC::AccImProp::Secure, secure);
            ShowStatusIcon(secure ? kSecureIcon : kPlainIcon);
        }
    }
    const bool shown = ShowMessage(kind, message, sender);
    // A message the view cannot show (no page, no browser) is still kept in
    // the log, so it is never lost.
    if (!notification) {
        long flags = 0;
        ReadLongProperty(message, AIMCC::AccImProp::Flags, flags);
        UINT logFlags = MessageLogFlags::Received;
        if (flags & AIMCC::AccImFlags::AutoResponse)
            logFlags |= MessageLogFlags::AutoResponse;
        if (flags & AIMCC::AccImFlags::Offline)
            logFlags |= MessageLogFlags::Offline;
        LogMessage(message, sender, logFlags);
    }
    if (!shown)
        return;
    receivedAny_ = true;
    ShowStopButtonForItems(message);
    if (!IsForeground())
        ++unread_;
    SetStatusCode(100);
    FlashIfNotForeground();
    PlayMessageSound(sound, message);
}

void CChatWnd::ShowStatusIcon(int iconId)
{
    if (!menuBar_ || statusIcon_ == iconId)
        return;
    if (!statusIcon_)
        InsertMenuW(menuBar_, 0, MF_BYPOSITION | MF_OWNERDRAW, kStatusIconItem, nullptr);
    statusIcon_ = iconId;
    statusIconImage_.reset(LoadMediaIcon(iconId, 16));
    DrawMenuBar(Hwnd());
}

bool CChatWnd::OnMeasureItem(MEASUREITEMSTRUCT* item)
{
    if (!item || item->CtlType != ODT_MENU || item->itemID != kStatusIconItem)
        return false;
    item->itemWidth = 16;
    item->itemHeight = 16;
    return true;
}

bool CChatWnd::OnDrawItem(const DRAWITEMSTRUCT* item)
{
    if (!item || item->CtlType != ODT_MENU || item->itemID != kStatusIconItem)
        return false;
    FillRect(item->hDC, &item->rcItem, GetSysColorBrush(COLOR_MENUBAR));
    if (statusIconImage_) {
        const int x = item->rcItem.left + (item->rcItem.right - item->rcItem.left - 16) / 2;
        const int y = item->rcItem.top + (item->rcItem.bottom - item->rcItem.top - 16) / 2;
        DrawIconEx(item->hDC, x, y, statusIconImage_.get(), 16, 16, 0, nullptr, DI_NORMAL);
    }
    return true;
}

// The strip between the view and the editor.
RECT CChatWnd::SplitterRect() const
{
    RECT client = {};
    GetClientRect(Hwnd(), &client);
    RECT editor = {};
    if (editor_.Hwnd()) {
        GetWindowRect(editor_.Hwnd(), &editor);
        MapWindowPoints(nullptr, Hwnd(), reinterpret_cast<POINT*>(&editor), 2);
    }
    return RECT{0, editor.top - kSplitterHeight, client.right, editor.top};
}

bool CChatWnd::OnSplitterButton(POINT point)
{
    const RECT strip = SplitterRect();
    if (!editor_.Hwnd() || !PtInRect(&strip, point))
        return false;
    dragging_ = true;
    SetCapture(Hwnd());
    RECT client = {};
    GetClientRect(Hwnd(), &client);
    MapWindowPoints(Hwnd(), nullptr, reinterpret_cast<POINT*>(&client), 2);
    ClipCursor(&client);
    return true;
}

void CChatWnd::OnSplitterMove(POINT point)
{
    if (!dragging_)
        return;
    RECT client = {};
    GetClientRect(Hwnd(), &client);
    const int height = client.bottom - point.y;
    editorHeight_ = std::clamp(height, kMinimumPaneHeight,
                               std::max<int>(kMinimumPaneHeight, client.bottom - kMinimumPaneHeight - kSplitterHeight));
    Layout();
}

void CChatWnd::EndSplitterDrag()
{
    if (!dragging_)
        return;
    dragging_ = false;
    ClipCursor(nullptr);
    if (GetCapture() == Hwnd())
        ReleaseCapture();
    if (editorHeight_ > 0)
        Settings().WriteInt(kPlacementSection, L"ChatInput", editorHeight_);
}

void CChatWnd::ShowStopButtonForItems(AIMCC::IAccIm* message)
{
    long embedded = 0;
    long pending = 0;
    if (ReadLongProperty(message, AIMCC::AccImProp::EmbeddedFlags, embedded) && (embedded & 0x7)
        && ReadLongProperty(session_.Get(), AIMCC::AccImSessionProp::ItemsPending, pending) && pending)
        editor_.SetSendButtonVisible(CIEInputWnd::kStopButton, true);
}

void CChatWnd::OnTypingChanged(long state)
{
    if (state == AIMCC::AccTyping::Typing)
        editor_.SetStatusText(FormatLangString(kIsTyping, {BuddyName()}));
    else
        editor_.SetStatusText(statusText_);
}

void CChatWnd::OnSessionState(long state, HRESULT result)
{
    if (result != S_OK)
        return;
    if (state == AIMCC::AccSecondaryState::Closed) {
        session_.Reset();
        kind_ = kIm;
        return;
    }
    if (state != kReadyState)
        return;
    const int before = kind_;
    if (session_)
        AttachSession(session_.Get());
    if (newImMode_) {
        DestroyNewImControls();
        UpdateTitle();
    }
    EnsureView();
    if (kind_ == kIm && before == kDirectIm) {
        Notify(LoadLangString(kDirectClosed));
    } else if (kind_ == kDirectIm && before != kDirectIm) {
        firstMessage_ = false;
        Notify(LoadLangString(kDirectOpened));
    } else if (kind_ == kChatRoom) {
        firstMessage_ = false;
    }
    if (pendingSend_) {
        pendingSend_ = false;
        SendCurrentMessage(false);
    }
}

void CChatWnd::OnSessionNotice(long notice)
{
    if (notice >= 1 && notice <= 3)
        Notify(LoadLangString(kFirstNotice + static_cast<UINT>(notice) - 1));
}

void CChatWnd::OnMemberJoined(AIMCC::IAccUser* user)
{
    if (!memberList_ || !user)
        return;
    std::wstring name = FriendlyName(user);
    const std::wstring key = CompactScreenName(ReadTextProperty(user, AIMCC::AccUserProp::Name));
    const int count = static_cast<int>(SendMessageW(memberList_, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        auto* held = reinterpret_cast<AIMCC::IAccUser*>(SendMessageW(memberList_, LB_GETITEMDATA, i, 0));
        if (held && SameScreenName(ReadTextProperty(held, AIMCC::AccUserProp::Name), key))
            return;
    }
    const LRESULT index = SendMessageW(memberList_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (index >= 0) {
        user->AddRef();
        SendMessageW(memberList_, LB_SETITEMDATA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(user));
    }
    if (viewShown_)
        Notify(FormatLangString(kMemberJoined, {name}));
}

void CChatWnd::OnMemberLeft(AIMCC::IAccUser* user)
{
    if (!memberList_ || !user)
        return;
    const std::wstring key = ReadTextProperty(user, AIMCC::AccUserProp::Name);
    const int count = static_cast<int>(SendMessageW(memberList_, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        auto* held = reinterpret_cast<AIMCC::IAccUser*>(SendMessageW(memberList_, LB_GETITEMDATA, i, 0));
        if (held && SameScreenName(ReadTextProperty(held, AIMCC::AccUserProp::Name), key)) {
            SendMessageW(memberList_, LB_DELETESTRING, static_cast<WPARAM>(i), 0);
            const std::wstring name = FriendlyName(held);
            held->Release();
            Notify(FormatLangString(kMemberLeft, {name}));
            return;
        }
    }
}

void CChatWnd::OnMemberDoubleClick()
{
    const LRESULT index = SendMessageW(memberList_, LB_GETCURSEL, 0, 0);
    if (index < 0)
        return;
    auto* member = reinterpret_cast<AIMCC::IAccUser*>(SendMessageW(memberList_, LB_GETITEMDATA, index, 0));
    const std::wstring name = ReadTextProperty(member, AIMCC::AccUserProp::Name);
    if (!name.empty() && !SameScreenName(name, ownName_))
        OpenConversation(connection_.Get(), name, true);
}

void CChatWnd::OnBuddyStateChanged(AIMCC::IAccUser* buddy, long property)
{
    if (!viewShown_ || !buddy)
        return;
    // The buddy's expression items show only in a one-to-one conversation
    // drawn in expression mode.
    if (kind_ == kIm && view_.ExpressionMode()) {
        if (property == AIMCC::AccUserProp::BuddyIcon) {
            view_.RefreshBuddyIcon(buddy);
            return;
        }
        if (property == AIMCC::AccUserProp::Wallpaper || property == AIMCC::AccUserProp::FlashWallpaper
            || property == AIMCC::AccUserProp::ImmersiveWallpaper) {
            view_.RefreshExpression(buddy);
            return;
        }
    }
    if (property != AIMCC::AccUserProp::Presence || !session_)
        return;
    long presence = 0;
    if (!ReadLongProperty(buddy, AIMCC::AccUserProp::Presence, presence))
        return;
    static const UINT kStateTexts[] = {221, 219, 222, 220};
    // The layer reports the property again with the same value; only a
    // change is news.
    if (presence < 0 || presence > 3 || presence == buddyPresence_)
        return;
    buddyPresence_ = presence;
    Notify(FormatLangString(kStatusChanged, {BuddyName(), LoadLangString(kStateTexts[presence])}));
}

void CChatWnd::OnImEvent(DISPID event, AIMCC::IAccUser* user, AIMCC::IAccIm* message, long value, HRESULT result)
{
    // Loading the view's page runs the message loop, and the session's
    // next events may arrive meanwhile: they wait and follow in order.
    if (creatingView_) {
        deferred_.push_back({event, user, message, value, result});
        return;
    }
    HandleImEvent(event, user, message, value, result);
    while (!creatingView_ && !deferred_.empty()) {
        const DeferredEvent next = deferred_.front();
        deferred_.erase(deferred_.begin());
        HandleImEvent(next.event, next.user.Get(), next.message.Get(), next.value, next.result);
    }
}

void CChatWnd::HandleImEvent(DISPID event, AIMCC::IAccUser* user, AIMCC::IAccIm* message, long value,
                             HRESULT result)
{
    switch (event) {
    case AIMCC::AccEvent::SecondarySessionState:
        OnSessionState(value, result);
        break;
    case AIMCC::AccEvent::MessageSent:
        OnMessageSent(message);
        break;
    case AIMCC::AccEvent::SendResult:
        OnSendResult(message, result);
        break;
    case AIMCC::AccEvent::MessageReceived:
        OnMessageReceived(user, message, false);
        break;
    case AIMCC::AccEvent::Notification:
        OnMessageReceived(nullptr, message, true);
        break;
    case AIMCC::AccEvent::TypingChange:
        OnTypingChanged(value);
        break;
    case AIMCC::AccEvent::ImSessionNotice:
        OnSessionNotice(value);
        break;
    case AIMCC::AccEvent::ChatMemberJoined:
        OnMemberJoined(user);
        break;
    case AIMCC::AccEvent::ChatMemberLeft:
        OnMemberLeft(user);
        break;
    default:
        break;
    }
}

void CChatWnd::LogMessage(AIMCC::IAccIm* message, AIMCC::IAccUser* sender, UINT logFlags)
{
    if (session_)
        LogConversationMessage(ownName_, session_.Get(), message, sender, logFlags, {}, logSession_);
}

void CChatWnd::Notify(const std::wstring& text)
{
    if (!viewShown_) {
        MessageBoxW(Hwnd(), text.c_str(), kAppName, MB_ICONINFORMATION);
        return;
    }
    ChatMessage note;
    note.kind = MessageKind::Notification;
    note.text = text;
    note.body = L"<div>" + EscapeHtml(text) + L"</div>";
    note.plainBody = note.body;
    GetLocalTime(&note.time);
    note.sender = RemoteParty(buddy_.Get());
    view_.ShowMessage(sequence_, note, note.time);
}

void CChatWnd::ShowNotification(const std::wstring& text)
{
    Notify(text);
}

void CChatWnd::SetStatus(const std::wstring& text)
{
    statusText_ = text;
    editor_.SetStatusText(text);
}

void CChatWnd::SetStatusCode(int code)
{
    if (code == 100) {
        SYSTEMTIME now = {};
        GetLocalTime(&now);
        wchar_t time[64] = {};
        wchar_t date[64] = {};
        GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, 64);
        GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 64);
        SetStatus(FormatLangString(kLastReceived, {time, date}));
    } else if (code == 0) {
        editor_.SetStatusText(statusText_);
    }
}

// --- The user -------------------------------------------------------------------------------

void CChatWnd::OnSelectionChanged()
{
    if (!session_)
        return;
    const int length = editor_.GetTextLength();
    const long state = length == 0 ? AIMCC::AccTyping::None : AIMCC::AccTyping::Typing;
    session_->SetTypingState(state);
    if (state == AIMCC::AccTyping::Typing)
        SetTimer(Hwnd(), kTypingTimer, kTypingPauseMs, nullptr);
    const bool changed = length != typedLength_;
    typedLength_ = length;
    long realTime = 0;
    if (changed && ReadLongProperty(session_.Get(), AIMCC::AccImSessionProp::RealTimeText, realTime) && realTime)
        SendCurrentMessage(true);
}

void CChatWnd::OnTypingTimer()
{
    KillTimer(Hwnd(), kTypingTimer);
    if (session_ && editor_.GetTextLength() > 0)
        session_->SetTypingState(AIMCC::AccTyping::TextEntered);
}

bool CChatWnd::OnEditorKey(const EditorKey& key)
{
    if (key.key == VK_RETURN) {
        const bool modified = key.ctrl || key.shift;
        if (modified == MsgSetting(L"EnterInsertsReturn", false))
            SendCurrentMessage(false);
        else
            editor_.PasteHtml(L"<BR><SPAN></SPAN>");
        return true;
    }
    if (key.key == VK_ESCAPE || (key.ctrl && key.key == 'W')) {
        PostMessageW(Hwnd(), WM_CLOSE, 0, 0);
        return true;
    }
    if (key.ctrl && key.key == 'T') {
        CAIMConnection* primary = Connections().empty() ? nullptr : Connections().front().Get();
        OpenConversation(primary ? primary : connection_.Get(), L"", true);
        return true;
    }
    return false;
}

bool CChatWnd::MsgSetting(const wchar_t* key, bool def) const
{
    return ReadAccountBool(Settings(), kMsgSection, ownName_, key, def);
}

int CChatWnd::MsgSettingInt(const wchar_t* key, int def) const
{
    return ReadAccountInt(Settings(), kMsgSection, ownName_, key, def);
}

void CChatWnd::ToggleBar(UINT item, const wchar_t* key, int control)
{
    const bool show = !MsgSetting(key, true);
    Settings().WriteInt(AccountSection(kMsgSection, ownName_).c_str(), key, show ? 1 : 0);
    for (CChatWnd* window : All()) {
        window->editor_.SetBarVisible(control, show);
        if (window->menuBar_)
            CheckMenuItem(window->menuBar_, item, MF_BYCOMMAND | (show ? MF_CHECKED : MF_UNCHECKED));
    }
}

void CChatWnd::ToggleTimeStamps()
{
    const bool show = !view_.TimeStampsShown();
    CIEChatWnd::ShowTimeStampsEverywhere(show);
    for (CChatWnd* window : All()) {
        if (window->menuBar_)
            CheckMenuItem(window->menuBar_, kTimeStampsItem, MF_BYCOMMAND | (show ? MF_CHECKED : MF_UNCHECKED));
    }
    ComPtr<AIMCC::IAccPreferences> prefs;
    ScopedBstr name(L"aimcc.im.showTimeStamps");
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BOOL;
    value.boolVal = show ? VARIANT_TRUE : VARIANT_FALSE;
    if (!connection_ || !connection_->Session() || FAILED(connection_->Session()->get_Prefs(&prefs)) || !prefs
        || FAILED(prefs->SetValue(name.get(), value)))
        ShowErrorBox(Hwnd(), 0, MB_ICONERROR);
}

void CChatWnd::ChooseStyle(UINT item)
{
    const std::wstring name =
        item == kDefaultStyleItem ? LoadLangString(231) : styleNames_.at(item - kDefaultStyleItem - 1);
    Settings().WriteString(AccountSection(kMsgSection, ownName_).c_str(), L"Style", name.c_str());
    CIEChatWnd::SetMessageStyleOfTheme(view_.ThemeFolder(), L"Styles/" + UrlEscape(name) + L".css");
}

void CChatWnd::OnCommand(UINT id)
{
    switch (id) {
    case kCloseItem:
        PostMessageW(Hwnd(), WM_CLOSE, 0, 0);
        break;
    case kSendFilesItem:
    case kSendFolderItem: {
        const std::wstring name = newImMode_ ? WindowText(GetDlgItem(Hwnd(), kNameBox)) : remoteName_;
        if (CompactScreenName(name).empty()) {
            MessageBoxW(Hwnd(), LoadLangString(kEnterScreenName).c_str(), kAppName, MB_ICONINFORMATION);
            SetFocus(GetDlgItem(Hwnd(), kNameBox));
        } else if (connection_ && id == kSendFilesItem) {
            connection_->SendFilesTo(Hwnd(), name, L"");
        } else if (connection_) {
            connection_->SendFolderTo(Hwnd(), name, L"");
        }
        break;
    }
    case kStatusIconItem:
        if (buddy_) {
            long requestId = 0;
            buddy_->RequestProperty(AIMCC::AccUserProp::SecurityInfo, &requestId);
        }
        break;
    case kStatusBarItem:
        ToggleBar(id, L"ShowStatusBar", CIEInputWnd::kStatusLine);
        break;
    case kSendButtonItem:
        ToggleBar(id, L"ShowSendBtn", CIEInputWnd::kSendBar);
        break;
    case kFormatBarItem:
        ToggleBar(id, L"ShowFmtTBar", CIEInputWnd::kFormatBar);
        break;
    case kTimeStampsItem:
        ToggleTimeStamps();
        break;
    default:
        if (id >= kDefaultStyleItem && id <= kDefaultStyleItem + styleNames_.size())
            ChooseStyle(id);
        break;
    }
}

bool CChatWnd::IsForeground() const
{
    return GetForegroundWindow() == Hwnd();
}

void CChatWnd::FlashIfNotForeground()
{
    if (IsForeground() || !MsgSetting(kind_ == kChatRoom ? L"FlashChatMsgWnd" : L"FlashMsgWnd", false))
        return;
    FLASHWINFO flash = {sizeof(flash), Hwnd(), FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
    FlashWindowEx(&flash);
}

HRESULT STDMETHODCALLTYPE CChatWnd::Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect)
{
    CDragDropTarget::Drop(data, keyState, point, effect);
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (!data || FAILED(data->GetData(&format, &medium)))
        return S_OK;
    auto drop = static_cast<HDROP>(GlobalLock(medium.hGlobal));
    if (drop && connection_ && !remoteName_.empty()) {
        const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            wchar_t path[MAX_PATH] = {};
            if (DragQueryFileW(drop, i, path, MAX_PATH))
                connection_->SendFilesTo(Hwnd(), remoteName_, path);
        }
    }
    if (drop)
        GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    return S_OK;
}

// --- Closing --------------------------------------------------------------------------------

void CChatWnd::OnClose()
{
    SaveWindowPlacement(Settings(), Hwnd(), L"Chat");
    KillTimer(Hwnd(), kTypingTimer);
    DestroyWindow(Hwnd());
}

void CChatWnd::OnDestroy()
{
    if (dropRegistered_)
        RevokeDragDrop(Hwnd());
    dropRegistered_ = false;
    if (memberList_) {
        const int count = static_cast<int>(SendMessageW(memberList_, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            if (auto* held = reinterpret_cast<AIMCC::IAccUser*>(SendMessageW(memberList_, LB_GETITEMDATA, i, 0)))
                held->Release();
        }
        SendMessageW(memberList_, LB_RESETCONTENT, 0, 0);
    }
    if (session_)
        session_->Close();
    session_.Reset();
}

LRESULT CChatWnd::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        Layout();
        return 0;
    case WM_MEASUREITEM:
        if (OnMeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)))
            return TRUE;
        break;
    case WM_DRAWITEM:
        if (OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)))
            return TRUE;
        break;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            POINT point = {};
            GetCursorPos(&point);
            ScreenToClient(hwnd, &point);
            const RECT strip = SplitterRect();
            if (dragging_ || PtInRect(&strip, point)) {
                SetCursor(LoadCursorW(nullptr, IDC_SIZENS));
                return TRUE;
            }
        }
        break;
    case WM_LBUTTONDOWN:
        if (OnSplitterButton(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}))
            return 0;
        break;
    case WM_MOUSEMOVE:
        OnSplitterMove(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        break;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
        EndSplitterDrag();
        break;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_DESTROY:
        OnDestroy();
        break;
    case WM_SETFOCUS:
        unread_ = 0;
        if (newImMode_ && WindowText(GetDlgItem(hwnd, kNameBox)).empty())
            SetFocus(GetDlgItem(hwnd, kNameBox));
        else if (editor_.Hwnd())
            SetFocus(editor_.Hwnd());
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE)
            unread_ = 0;
        break;
    case WM_TIMER:
        if (wParam == kTypingTimer) {
            OnTypingTimer();
            return 0;
        }
        break;
    case WM_COMMAND:
        if (lParam == 0) {
            OnCommand(LOWORD(wParam));
            return 0;
        }
        if (LOWORD(wParam) == kMemberList && HIWORD(wParam) == LBN_DBLCLK) {
            OnMemberDoubleClick();
            return 0;
        }
        break;
    case CIEInputWnd::kSelectionChanged:
        OnSelectionChanged();
        return 0;
    case CIEInputWnd::kUnhandledKey:
        return lParam && OnEditorKey(*reinterpret_cast<const EditorKey*>(lParam)) ? 1 : 0;
    case CIEInputWnd::kWheel:
        if (lParam && view_.Hwnd()) {
            const auto* wheel = reinterpret_cast<const EditorWheel*>(lParam);
            SendMessageW(view_.Hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(wheel->keys, wheel->delta),
                         MAKELPARAM(wheel->x, wheel->y));
        }
        return 1;
    case CIEChatWnd::kDocumentReady:
        return 0;
    case CIEInputWnd::kCleared:
        typedLength_ = 0;
        return 0;
    case CIEInputWnd::kSendBarCommand:
        if (static_cast<UINT>(lParam) == CIEInputWnd::kSendButton)
            SendCurrentMessage(false);
        else if (static_cast<UINT>(lParam) == CIEInputWnd::kStopButton && session_)
            session_->CancelReceivingItems();
        return 0;
    case WM_NCDESTROY: {
        const LRESULT result = CSubclsWnd::WindowProc(hwnd, message, wParam, lParam);
        menuBar_ = nullptr;
        auto& all = ChatWindows();
        auto it = std::find_if(all.begin(), all.end(), [&](const auto& w) { return w.get() == this; });
        if (it != all.end()) {
            std::unique_ptr<CChatWnd> self = std::move(*it);
            all.erase(it);
        }
        return result;
    }
    default:
        break;
    }
    return CSubclsWnd::WindowProc(hwnd, message, wParam, lParam);
}

// --- The windows as the connection objects reach them ----------------------------------------

namespace {

CChatWnd* FromWindow(HWND hwnd)
{
    for (CChatWnd* window : CChatWnd::All()) {
        if (window->Hwnd() == hwnd)
            return window;
    }
    return nullptr;
}

class CConversationWindowsOfProcess : public IConversationWindows {
public:
    HWND WindowFor(CAIMConnection* connection, AIMCC::IAccImSession* imSession, bool create) override
    {
        if (CChatWnd* window = CChatWnd::Find(connection, imSession, L"")) {
            // The window with this buddy that has no session yet, or an
            // older one, takes the session the events now come from.
            if (imSession && window->Session() != imSession)
                window->AdoptSession(imSession);
            return window->Hwnd();
        }
        if (!create || !connection)
            return nullptr;
        ChatWindows().push_back(std::make_unique<CChatWnd>(connection, imSession));
        CChatWnd* window = ChatWindows().back().get();
        if (!window->Open(false, true)) {
            ChatWindows().pop_back();
            return nullptr;
        }
        return window->Hwnd();
    }

    HWND WindowWithBuddy(CAIMConnection* connection, AIMCC::IAccUser* buddy) override
    {
        const std::wstring name = ReadTextProperty(buddy, AIMCC::AccUserProp::Name);
        CChatWnd* window = name.empty() ? nullptr : CChatWnd::Find(connection, nullptr, name);
        return window ? window->Hwnd() : nullptr;
    }

    void PassImEvent(HWND hwnd, DISPID event, AIMCC::IAccUser* user, AIMCC::IAccIm* message, long value,
                     HRESULT result) override
    {
        if (CChatWnd* window = FromWindow(hwnd))
            window->OnImEvent(event, user, message, value, result);
    }

    void PassRequestResult(HWND, DISPID, long, long, HRESULT) override {}

    void PassBuddyChange(HWND hwnd, AIMCC::IAccUser* buddy, long property) override
    {
        if (CChatWnd* window = FromWindow(hwnd))
            window->OnBuddyStateChanged(buddy, property);
    }

    void TellAll(long) override {}

    void RefreshActive() override {}

    void HideAll(bool hide) override
    {
        for (CChatWnd* window : CChatWnd::All())
            ShowWindow(window->Hwnd(), hide ? SW_HIDE : SW_SHOWNOACTIVATE);
    }

    bool IsInView(HWND hwnd) override { return hwnd && GetForegroundWindow() == hwnd; }
};

CConversationWindowsOfProcess g_processWindows;

} // namespace

void RegisterConversationWindows(bool registered)
{
    SetConversationWindows(registered ? &g_processWindows : nullptr);
    if (registered)
        return;
    // Each window takes its object with it when it is destroyed.
    for (CChatWnd* window : CChatWnd::All()) {
        if (window->Hwnd())
            DestroyWindow(window->Hwnd());
    }
    ChatWindows().clear();
}
