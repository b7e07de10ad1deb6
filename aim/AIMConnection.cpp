#include "AIMConnection.h"

#include "AccHelpers.h"
#include "AccValues.h"
#include "AccountSettings.h"
#include "AppState.h"
#include "BuddyListEvents.h"
#include "ConnectionSeams.h"
#include "LangStrings.h"
#include "MainPanes.h"
#include "Seams.h"
#include "ShellDialogs.h"
#include "SignOnPane.h"
#include "NotificationIcon.h"
#include "SysTrayIcon.h"
#include "UpdateCheck.h"
#include "UserPrefs.h"
#include "WindowKinds.h"

#include <shellapi.h>

#include <cwchar>
#include <cwctype>
#include <new>

using Microsoft::WRL::ComPtr;

namespace {

const wchar_t kClientDescription[] = L"Velmora (Key:Qm7TfR2xWp9LbZc4)";

// The notification icons of the primary account's state (media library).
constexpr int kIconAvailable = 136;
constexpr int kIconInvisible = 137;
constexpr int kIconAway = 138;
constexpr int kIconForwarding = 139;

// The layer stays loaded for the life of the process once a session was
// made: unloading it at exit would race objects still held somewhere.
HRESULT LoadAccLibrary()
{
    static AIMCC::CAccLibrary* library = nullptr;
    if (library && AIMCC::AccApi().Bound())
        return S_OK;
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    if (length == 0 || length >= ARRAYSIZE(path))
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    std::wstring dll(path, length);
    dll.resize(dll.find_last_of(L"\\/") + 1);
    dll += L"acccore.dll";
    if (!library)
        library = new (std::nothrow) AIMCC::CAccLibrary();
    if (!library)
        return E_OUTOFMEMORY;
    return library->Load(dll.c_str());
}

HWND MainOwner()
{
    IMainPanes* main = MainPanes();
    return main ? main->PanesWindow() : nullptr;
}

void ShowSystemError(HRESULT hr)
{
    ShowErrorBox(MainOwner(), SystemErrorText(static_cast<DWORD>(hr)), MB_ICONERROR);
}

// The variants and strings this file hands to the layer.
class ScopedVariant {
public:
    ScopedVariant() { VariantInit(&v_); }
    ~ScopedVariant() { VariantClear(&v_); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;
    VARIANT* operator&() { return &v_; }
    VARIANT& Get() { return v_; }

private:
    VARIANT v_;
};

class ScopedBstr {
public:
    explicit ScopedBstr(const std::wstring& text) : s_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
    {
    }
    ~ScopedBstr() { SysFreeString(s_); }
    ScopedBstr(const ScopedBstr&) = delete;
    ScopedBstr& operator=(const ScopedBstr&) = delete;
    BSTR Get() const { return s_; }

private:
    BSTR s_;
};

// "1, 2, 3, 4" or "1.2.3.4" as four numbers.
bool ParseVersionText(const wchar_t* text, WORD parts[4])
{
    for (int i = 0; i < 4; ++i) {
        while (*text == L' ')
            ++text;
        if (!iswdigit(*text))
            return false;
        wchar_t* end = nullptr;
        const unsigned long number = wcstoul(text, &end, 10);
        if (number > 0xFFFF)
            return false;
        parts[i] = static_cast<WORD>(number);
        text = end;
        while (*text == L' ')
            ++text;
        if (i < 3) {
            if (*text != L',' && *text != L'.')
                return false;
            ++text;
        }
    }
    return true;
}

// The four parts of this program's file version as its version resource
// states it. The text block is found through the resource's own language
// and code page, so a system in any language reads it; the binary block is
// the fallback.
bool ClientFileVersion(WORD parts[4])
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    if (length == 0 || length >= ARRAYSIZE(path))
        return false;
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (size == 0)
        return false;
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(path, 0, size, data.data()))
        return false;
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translations = nullptr;
    UINT translationSize = 0;
    if (VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                       &translationSize)
        && translations) {
        for (UINT i = 0; i < translationSize / sizeof(Translation); ++i) {
            wchar_t block[64];
            swprintf(block, ARRAYSIZE(block), L"\\StringFileInfo\\%04x%04x\\FileVersion", translations[i].language,
                     translations[i].codePage);
            wchar_t* text = nullptr;
            UINT textSize = 0;
            if (VerQueryValueW(data.data(), block, reinterpret_cast<void**>(&text), &textSize) && text
                && textSize > 0 && ParseVersionText(text, parts))
                return true;
        }
    }
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) || !info
        || infoSize < sizeof(VS_FIXEDFILEINFO))
        return false;
    parts[0] = HIWORD(info->dwFileVersionMS);
    parts[1] = LOWORD(info->dwFileVersionMS);
    parts[2] = HIWORD(info->dwFileVersionLS);
    parts[3] = LOWORD(info->dwFileVersionLS);
    return true;
}

// The main window, when it is there to show panes.
IMainPanes* LiveMainPanes()
{
    IMainPanes* main = MainPanes();
    return main && main->PanesWindow() ? main : nullptr;
}

IBuddyListEvents* BuddyListPane()
{
    IMainPanes* main = MainPanes();
    return main ? main->BuddyList() : nullptr;
}

void RedrawBuddyList()
{
    if (IBuddyListEvents* list = BuddyListPane())
        list->Redraw();
}

long CurrentPaneId(IMainPanes* main)
{
    return static_cast<long>(SendMessageW(main->PanesWindow(), WM_USER, 0, 0));
}

bool ShowPaneUnlessShown(IMainPanes* main, CPaneWnd* pane, bool animate)
{
    if (!pane || CurrentPaneId(main) == pane->PaneId())
        return false;
    CPaneWnd::ShowPane(pane, animate);
    return true;
}

// Expression settings are kept per account only.
bool ShowsWallpaper(const std::wstring& identity)
{
    return Settings().GetBool(AccountSection(L"Settings.XPRSN", identity).c_str(), L"ShowWallpaper", true);
}

void ShowTrayIcon(int id)
{
    ShowNotificationIcon(id);
}

bool SameScreenName(const std::wstring& a, const std::wstring& b)
{
    const std::wstring x = CompactScreenName(a);
    const std::wstring y = CompactScreenName(b);
    return CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(), static_cast<int>(y.size()), TRUE)
        == CSTR_EQUAL;
}

std::vector<std::wstring> TextsOf(const VARIANT& value)
{
    std::vector<std::wstring> texts;
    if (value.vt != (VT_ARRAY | VT_VARIANT) || !value.parray || SafeArrayGetDim(value.parray) != 1)
        return texts;
    LONG lower = 0;
    LONG upper = -1;
    SafeArrayGetLBound(value.parray, 1, &lower);
    SafeArrayGetUBound(value.parray, 1, &upper);
    for (LONG i = lower; i <= upper; ++i) {
        ScopedVariant element;
        ScopedVariant text;
        if (SUCCEEDED(SafeArrayGetElement(value.parray, &i, &element))
            && SUCCEEDED(VariantChangeType(&text, &element.Get(), 0, VT_BSTR)) && text.Get().bstrVal)
            texts.emplace_back(text.Get().bstrVal, SysStringLen(text.Get().bstrVal));
        else
            texts.emplace_back();
    }
    return texts;
}

bool SameObject(IUnknown* a, IUnknown* b)
{
    ComPtr<IUnknown> x;
    ComPtr<IUnknown> y;
    if (!a || !b || FAILED(a->QueryInterface(IID_PPV_ARGS(&x))) || FAILED(b->QueryInterface(IID_PPV_ARGS(&y))))
        return false;
    return x == y;
}

} // namespace

std::vector<ComPtr<CAIMConnection>>& Connections()
{
    static std::vector<ComPtr<CAIMConnection>> connections;
    return connections;
}

CAIMConnection* ConnectionOf(AIMCC::IAccSession* session)
{
    if (!session)
        return nullptr;
    for (const auto& connection : Connections()) {
        if (connection && connection->Session() == session)
            return connection.Get();
    }
    return nullptr;
}

UINT SessionStateString(long state, HRESULT result, bool& error)
{
    error = false;
    if (result == S_OK) {
        switch (state) {
        case AIMCC::AccState::SigningOff: return 8;
        case AIMCC::AccState::Connecting:
        case AIMCC::AccState::Challenge: return 9;
        case AIMCC::AccState::Authorizing: return 10;
        case AIMCC::AccState::Verifying:
        case AIMCC::AccState::Verifying2:
        case AIMCC::AccState::Redirecting: return 351;
        case AIMCC::AccState::ConnectingService:
        case AIMCC::AccState::ServiceSetup: return 11;
        case AIMCC::AccState::Online: return 12;
        default: return 0;
        }
    }
    const unsigned long code = static_cast<unsigned long>(result);
    // A lost connection is reported as progress: the layer reconnects.
    if (code == 0x8004023FUL)
        return 18;
    error = true;
    if (code >= 0x80040240UL && code <= 0x80040245UL)
        return static_cast<UINT>(19 + (code - 0x80040240UL));
    if (code >= 0x80040410UL && code <= 0x80040413UL)
        return static_cast<UINT>(29 + (code - 0x80040410UL));
    switch (code) {
    case 0x80040210UL: return 27;
    case 0x80040213UL: return 26;
    case 0x80040214UL:
    case 0x80040231UL:
    case 0x80040233UL:
    case 0x80040236UL: return 14;
    case 0x80040215UL: return 28;
    case 0x80040222UL: return 25;
    case 0x80040230UL: return 13;
    case 0x80040232UL: return 15;
    case 0x80040235UL: return 17;
    case 0x80040237UL: return 16;
    default: return 282;
    }
}

std::wstring SessionErrorText(UINT stringId, HRESULT result, const std::wstring& screenName)
{
    std::wstring text = stringId == 26 ? FormatLangString(26, {screenName}) : LoadLangString(stringId);
    wchar_t code[16];
    swprintf(code, ARRAYSIZE(code), L"%08X", static_cast<unsigned>(result));
    // String 282 carries a printf-style field for the code; every other
    // notice names it at the end, so the user can quote it.
    const size_t field = stringId == 282 ? text.find(L"%08X") : std::wstring::npos;
    if (field != std::wstring::npos)
        text.replace(field, 4, code);
    else
        text += std::wstring(L" (0x") + code + L")";
    return text;
}

int PresenceIconId(bool forwarding, bool away, bool invisible)
{
    if (forwarding)
        return kIconForwarding;
    if (away)
        return kIconAway;
    return invisible ? kIconInvisible : kIconAvailable;
}

bool IsOpenableServerAddress(const std::wstring& url)
{
    // The scheme and at least one character of host; nothing the shell
    // would run, open as a file or hand to another protocol handler.
    for (const wchar_t* scheme : {L"http://", L"https://"}) {
        const size_t length = wcslen(scheme);
        if (url.size() > length
            && CompareStringOrdinal(url.c_str(), static_cast<int>(length), scheme, static_cast<int>(length), TRUE)
                == CSTR_EQUAL) {
            for (wchar_t c : url) {
                if (c < 0x20 || c == 0x7F || c == L'"')
                    return false;
            }
            return url[length] != L'/' && url[length] != L'\\';
        }
    }
    return false;
}

std::vector<std::wstring> AdditionalAccountsToSignOn(const std::vector<std::wstring>& listed,
                                                     const std::vector<std::wstring>& signedOn)
{
    std::vector<std::wstring> names;
    for (const std::wstring& name : listed) {
        if (CompactScreenName(name).empty())
            continue;
        bool known = false;
        for (const std::wstring& other : signedOn)
            known = known || SameScreenName(name, other);
        for (const std::wstring& other : names)
            known = known || SameScreenName(name, other);
        if (!known)
            names.push_back(name);
    }
    return names;
}

ComPtr<CAIMConnection> CAIMConnection::Create()
{
    // Not ComPtr::Attach: mingw-w64's adds a reference the new object
    // already has.
    ComPtr<CAIMConnection> connection;
    *connection.GetAddressOf() = new (std::nothrow) CAIMConnection();
    return connection;
}

CAIMConnection::~CAIMConnection() = default;

bool CAIMConnection::IsPrimary() const
{
    const auto& connections = Connections();
    return !connections.empty() && connections.front().Get() == this;
}

bool CAIMConnection::CreateSession()
{
    if (session_)
        return true;
    HRESULT hr = LoadAccLibrary();
    ComPtr<AIMCC::IAccSession> session;
    if (SUCCEEDED(hr))
        hr = AIMCC::AccCreateSession(session.GetAddressOf());
    if (SUCCEEDED(hr))
        hr = Connect(session.Get());
    if (FAILED(hr)) {
        ShowSystemError(hr);
        return false;
    }
    session_ = session;

    // The hook goes in before anything asks the session for a preference.
    prefs_ = CUserPrefs::Create();
    hr = prefs_ ? session_->put_PrefsHook(prefs_.Get()) : E_OUTOFMEMORY;
    if (FAILED(hr)) {
        ShowSystemError(hr);
        ReleaseSession();
        return false;
    }
    if (!DescribeClient()) {
        ReleaseSession();
        return false;
    }
    return true;
}

bool CAIMConnection::DescribeClient()
{
    ComPtr<AIMCC::IAccClientInfo> info;
    HRESULT hr = session_->get_ClientInfo(&info);
    if (SUCCEEDED(hr))
        hr = PutText(info.Get(), AIMCC::AccClientInfoProp::Description, kClientDescription);
    if (FAILED(hr)) {
        ShowSystemError(hr);
        return false;
    }
    WORD parts[4];
    if (ClientFileVersion(parts)) {
        const long ids[4] = {AIMCC::AccClientInfoProp::VersionMajor, AIMCC::AccClientInfoProp::VersionMinor,
                             AIMCC::AccClientInfoProp::VersionPoint, AIMCC::AccClientInfoProp::VersionBuild};
        for (int i = 0; i < 4; ++i)
            PutLong(info.Get(), ids[i], parts[i]);
    }
    return true;
}

bool CAIMConnection::SetIdentity(const std::wstring& screenName)
{
    if (!CreateSession())
        return false;
    ScopedBstr name(screenName);
    const HRESULT hr = name.Get() ? session_->put_Identity(name.Get()) : E_OUTOFMEMORY;
    if (FAILED(hr)) {
        ShowSystemError(hr);
        return false;
    }
    return true;
}

bool CAIMConnection::SignOnAccount(const std::wstring& screenName, const std::wstring& password, bool additional)
{
    // A sign-on already under way (or done) is not started twice.
    if (State() != AIMCC::AccState::Offline)
        return false;
    if (!SetIdentity(screenName))
        return false;
    if (additional) {
        AIMCC::IAccSession* primary = Connections().empty() ? nullptr : Connections().front()->Session();
        VARIANT value;
        value.vt = VT_DISPATCH;
        value.pdispVal = primary;
        const HRESULT hr = primary ? session_->put_Property(AIMCC::AccSessionProp::PrimarySession, value) : E_UNEXPECTED;
        if (FAILED(hr)) {
            ShowSystemError(hr);
            return false;
        }
    }
    BSTR secret = SysAllocStringLen(password.data(), static_cast<UINT>(password.size()));
    const HRESULT hr = secret ? session_->SignOn(secret) : E_OUTOFMEMORY;
    if (secret) {
        SecureZeroMemory(secret, SysStringByteLen(secret));
        SysFreeString(secret);
    }
    if (FAILED(hr)) {
        session_->SignOff();
        ShowSystemError(hr);
        return false;
    }
    AfterSignOnStarted();
    return true;
}

void CAIMConnection::AfterSignOnStarted()
{
    ComPtr<AIMCC::IAccSecurity> security;
    HRESULT hr = session_->get_Security(&security);
    if (SUCCEEDED(hr))
        hr = security->Initialize(0);
    if (FAILED(hr))
        ShowSystemError(hr);
    ComPtr<AIMCC::IAccPreferences> prefs;
    if (FAILED(session_->get_Prefs(&prefs)))
        return;
    // Certificates are used only when the user has configured one.
    for (const wchar_t* name : {L"aimcc.security.encrCert", L"aimcc.security.signCert"}) {
        ScopedVariant value;
        ScopedBstr key(name);
        hr = key.Get() ? prefs->GetValue(key.Get(), &value) : E_OUTOFMEMORY;
        if (hr == S_OK && value.Get().vt == VT_BSTR && SysStringLen(value.Get().bstrVal) > 0) {
            hr = security ? security->UseCertificate(0) : E_UNEXPECTED;
            if (FAILED(hr))
                ShowSystemError(hr);
            break;
        }
    }
    // Devices for audio and video are always listed.
    ScopedBstr key(L"aimcc.av.enumDevices");
    if (!key.Get())
        return;
    ScopedVariant current;
    ScopedVariant asBool;
    const bool isTrue = SUCCEEDED(prefs->GetValue(key.Get(), &current))
        && SUCCEEDED(VariantChangeType(&asBool, &current.Get(), 0, VT_BOOL)) && asBool.Get().boolVal == VARIANT_TRUE;
    if (!isTrue) {
        VARIANT on;
        on.vt = VT_BOOL;
        on.boolVal = VARIANT_TRUE;
        prefs->SetValue(key.Get(), on);
    }
}

void CAIMConnection::SignOffAccount()
{
    if (session_)
        session_->SignOff();
}

void CAIMConnection::ReleaseSession()
{
    if (!session_)
        return;
    if (!IsPrimary()) {
        if (IBuddyListEvents* list = BuddyListPane())
            list->RemoveIdentity(this);
    }
    Disconnect(session_.Get());
    session_->put_PrefsHook(nullptr);
    pending_.clear();
    requests_.Clear();
    buddyListReady_ = false;
    // The session goes before the hook it may still call.
    session_.Reset();
    prefs_.Reset();
}

void CAIMConnection::SendFilesTo(HWND owner, const std::wstring& buddy, const std::wstring& path)
{
    if (!path.empty()) {
        StartOutgoingTransfer(this, buddy, path, false);
        return;
    }
    wchar_t chosen[MAX_PATH] = L"";
    const std::wstring title = LoadLangString(391);
    if (ChooseFile(owner, title.c_str(), L"All Files\0*.*\0", chosen))
        StartOutgoingTransfer(this, buddy, chosen, false);
}

void CAIMConnection::SendFolderTo(HWND owner, const std::wstring& buddy, const std::wstring& path)
{
    if (!path.empty()) {
        StartOutgoingTransfer(this, buddy, path, true);
        return;
    }
    wchar_t chosen[MAX_PATH] = L"";
    const std::wstring title = LoadLangString(293);
    if (ChooseFolder(owner, title.c_str(), chosen))
        StartOutgoingTransfer(this, buddy, chosen, true);
}

std::wstring CAIMConnection::Identity() const
{
    if (!session_)
        return {};
    BSTR name = nullptr;
    if (FAILED(session_->get_Identity(&name)) || !name)
        return {};
    std::wstring identity(name, SysStringLen(name));
    SysFreeString(name);
    return identity;
}

long CAIMConnection::State() const
{
    long state = AIMCC::AccState::Offline;
    if (!session_ || FAILED(session_->get_State(&state)))
        return AIMCC::AccState::Offline;
    return state;
}

bool CAIMConnection::IsAway() const
{
    ScopedVariant value;
    if (!session_ || FAILED(session_->get_Property(AIMCC::AccSessionProp::AwayMessage, &value)))
        return false;
    const VARIANT& v = value.Get();
    if (v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN)
        return v.punkVal != nullptr;
    return v.vt == VT_BSTR ? SysStringLen(v.bstrVal) > 0 : v.vt != VT_EMPTY && v.vt != VT_NULL;
}

bool CAIMConnection::PropertyIsTrue(long property) const
{
    long number = 0;
    return session_ && ReadLong(session_.Get(), property, number) && number != 0;
}

HWND CAIMConnection::ImWindow(AIMCC::IAccImSession* imSession, bool create)
{
    return imSession ? ConversationWindowFor(this, imSession, create) : nullptr;
}

// ---------------------------------------------------------------------------
// Session state
// ---------------------------------------------------------------------------

void CAIMConnection::OnStateChange(AIMCC::IAccSession*, long state, HRESULT result)
{
    const bool primary = IsPrimary();
    IMainPanes* main = primary ? LiveMainPanes() : nullptr;
    IBuddyListEvents* list = BuddyListPane();

    switch (state) {
    case AIMCC::AccState::Offline:
    case AIMCC::AccState::SigningOff:
        buddyListReady_ = false;
        if (!primary) {
            if (list)
                list->RemoveIdentity(this);
            break;
        }
        SetSignOnStartedByUser(false);
        ResetAutoHide();
        if (main) {
            CPaneWnd* pane = state == AIMCC::AccState::Offline ? static_cast<CPaneWnd*>(main->SignOnPane())
                                                                : main->SignOnProgressPane();
            if (ShowPaneUnlessShown(main, pane, false) && list)
                list->Reset();
        }
        ShowTrayIcon(kIconInvisible);
        UnloadSpellChecker();
        break;
    case AIMCC::AccState::Connecting:
        buddyListReady_ = false;
        if (primary) {
            ReleaseOtherSessions();
            ResetAutoHide();
            if (main)
                ShowPaneUnlessShown(main, main->SignOnProgressPane(), true);
        } else if (list) {
            list->RemoveIdentity(this);
        }
        if (SignOnStartedByUser())
            ApplySignOnOption(state);
        break;
    case AIMCC::AccState::Online:
        if (primary) {
            if (main) {
                main->ClearNotices();
                ShowPaneUnlessShown(main, main->BuddyListPane(), false);
            }
            ShowTrayIcon(kIconAvailable);
            if (SignOnStartedByUser())
                SignOnAdditionalAccounts();
            LoadSpellChecker();
        }
        if (SignOnStartedByUser())
            ApplySignOnOption(state);
        RequestStoredMessages();
        break;
    default:
        break;
    }
    ShowStateConsequences(state, result);
}

void CAIMConnection::ShowStateConsequences(long state, HRESULT result)
{
    bool error = false;
    const UINT stringId = SessionStateString(state, result, error);
    if (stringId == 0)
        return;
    IMainPanes* window = LiveMainPanes();
    if (!error) {
        if (window && IsPrimary() && CurrentPaneId(window) == kSignOnStatePaneKindId)
            window->SignOnProgressPane()->SetProgressText(stringId);
        return;
    }
    const unsigned long code = static_cast<unsigned long>(result);
    if (code >= 0x80040410UL && code <= 0x80040413UL) {
        // The server refuses this version: offer to look for a newer one,
        // and say so even when there is none.
        const int answer = ShowErrorBox(window ? window->PanesWindow() : nullptr, LoadLangString(stringId),
                                        MB_YESNO | MB_ICONINFORMATION | MB_SETFOREGROUND);
        INotificationIcon* icon = NotificationIcon();
        if (answer == IDYES && icon)
            StartUpdateCheck(true, icon->MessageWindow(), kAppMessage, kAppUpdateResult);
        return;
    }
    if (window)
        window->AddNotice(LoadIcon(nullptr, IDI_ERROR), SessionErrorText(stringId, result, Identity()));
}

void CAIMConnection::ApplySignOnOption(long state)
{
    if (!session_)
        return;
    const int option = SignOnOption();
    if (state == AIMCC::AccState::Connecting && option == 3) {
        if (IsAway())
            PutEmpty(session_.Get(), AIMCC::AccSessionProp::AwayMessage);
        if (!PropertyIsTrue(AIMCC::AccSessionProp::Invisible))
            PutBool(session_.Get(), AIMCC::AccSessionProp::Invisible, true);
    } else if (state == AIMCC::AccState::Online && option == 1) {
        if (PropertyIsTrue(AIMCC::AccSessionProp::Invisible))
            PutBool(session_.Get(), AIMCC::AccSessionProp::Invisible, false);
        if (IsAway())
            PutEmpty(session_.Get(), AIMCC::AccSessionProp::AwayMessage);
    } else if (state == AIMCC::AccState::Online && option == 2) {
        ScopedBstr text(LoadLangString(88));
        ScopedBstr type(L"text/plain");
        ComPtr<AIMCC::IAccIm> message;
        if (text.Get() && type.Get() && SUCCEEDED(session_->CreateIm(text.Get(), type.Get(), &message))) {
            VARIANT value;
            value.vt = VT_DISPATCH;
            value.pdispVal = message.Get();
            session_->put_Property(AIMCC::AccSessionProp::AwayMessage, value);
        }
    }
}

void CAIMConnection::SignOnAdditionalAccounts()
{
    ScopedVariant listed;
    if (!session_ || FAILED(session_->get_Property(AIMCC::AccSessionProp::AdditionalAccounts, &listed)))
        return;
    std::vector<std::wstring> signedOn;
    for (const auto& connection : Connections())
        signedOn.push_back(connection->Identity());
    for (const std::wstring& name : AdditionalAccountsToSignOn(TextsOf(listed.Get()), signedOn)) {
        if (!IsStorableScreenName(name))
            continue;
        ComPtr<CAIMConnection> connection = Create();
        if (!connection)
            return;
        Connections().push_back(connection);
        if (!connection->SignOnAccount(name, std::wstring(), true)) {
            // Nothing started: it leaves no entry behind.
            auto& connections = Connections();
            for (auto it = connections.begin(); it != connections.end(); ++it) {
                if (*it == connection) {
                    connections.erase(it);
                    break;
                }
            }
            connection->ReleaseSession();
        }
    }
}

void CAIMConnection::RequestStoredMessages()
{
    ComPtr<AIMCC::IAccPreferences> prefs;
    if (!session_ || FAILED(session_->get_Prefs(&prefs)))
        return;
    ScopedBstr name(L"aimcc.im.permissions.allowImStorage");
    ScopedVariant value;
    ScopedVariant asBool;
    if (!name.Get() || FAILED(prefs->GetValue(name.Get(), &value))
        || FAILED(VariantChangeType(&asBool, &value.Get(), 0, VT_BOOL)) || asBool.Get().boolVal != VARIANT_TRUE)
        return;
    ScopedVariant holder;
    if (FAILED(session_->get_Property(AIMCC::AccSessionProp::ImStorage, &holder)) || holder.Get().vt != VT_DISPATCH
        || !holder.Get().pdispVal)
        return;
    ComPtr<AIMCC::IAccImStorage> storage;
    if (FAILED(holder.Get().pdispVal->QueryInterface(IID_PPV_ARGS(&storage))))
        return;
    VARIANT none;
    VariantInit(&none);
    long requestId = 0;
    if (SUCCEEDED(storage->RetrieveStored(none, &requestId)))
        requests_.RecordWithoutWindow(requestId);
}

// ---------------------------------------------------------------------------
// Own properties
// ---------------------------------------------------------------------------

void CAIMConnection::OnSessionPropertyChange(AIMCC::IAccSession*, long property)
{
    switch (property) {
    case AIMCC::AccSessionProp::AwayMessage:
    case AIMCC::AccSessionProp::Invisible:
        if (IsPrimary())
            OnOwnPresenceChanged();
        RedrawBuddyList();
        break;
    case AIMCC::AccSessionProp::StatusText:
    case AIMCC::AccSessionProp::StatusLink:
        RedrawBuddyList();
        break;
    case AIMCC::AccSessionProp::Wallpaper:
        if (ShowsWallpaper(Identity()))
            TellConversationWindows(property);
        break;
    case AIMCC::AccSessionProp::FlashWallpaper:
    case AIMCC::AccSessionProp::ImmersiveWallpaper: {
        ScopedVariant item;
        if (!session_ || FAILED(session_->get_Property(property, &item)) || item.Get().vt != VT_DISPATCH
            || !item.Get().pdispVal)
            break;
        ComPtr<AIMCC::IAccObject> object;
        if (FAILED(item.Get().pdispVal->QueryInterface(IID_PPV_ARGS(&object))))
            break;
        ScopedVariant stream;
        const HRESULT hr = object->get_Property(AIMCC::AccBartProp::Stream, &stream);
        if (SUCCEEDED(hr)) {
            if (ShowsWallpaper(Identity()))
                TellConversationWindows(property);
        } else if (hr == AIMCC::ACC_E_PENDING) {
            long number = 0;
            if (ReadLong(object.Get(), AIMCC::AccBartProp::Stream, number))
                ownWallpaper_ = number;
        }
        break;
    }
    case AIMCC::AccSessionProp::SmileySet:
        RefreshActiveConversation();
        break;
    default:
        break;
    }
}

void CAIMConnection::OnOwnPresenceChanged()
{
    const bool away = IsAway();
    ShowTrayIcon(PresenceIconId(false, away, PropertyIsTrue(AIMCC::AccSessionProp::Invisible)));
    const CIni& ini = Settings();
    if (!IsAppLocked() && ini.GetBool(L"Status", L"HideIMsWhenAway", false))
        HideConversationWindows(away);
    if (ini.GetBool(L"Status", L"MuteWhenAway", false))
        SetSoundsMuted(away);
    else
        SetSoundsMuted(ReadAccountBool(ini, L"Settings.SOUNDS", Identity(), L"Disable", false));
    if (away && ini.GetBool(L"Status", L"NoNotifyWhenAway", false))
        CloseAllToasts();
}

void CAIMConnection::OnSessionStatusChange(AIMCC::IAccSession*, long)
{
    if (!IsPrimary())
        return;
    ShowTrayIcon(PresenceIconId(PropertyIsTrue(AIMCC::AccSessionProp::ImForwarding), IsAway(),
                                PropertyIsTrue(AIMCC::AccSessionProp::Invisible)));
}

// ---------------------------------------------------------------------------
// Answers to requests
// ---------------------------------------------------------------------------

void CAIMConnection::OnWarnResult(AIMCC::IAccSession*, AIMCC::IAccUser*, long kind, long requestId, HRESULT result,
                                  const VARIANT&)
{
    const CRequestMap::Entry entry = requests_.Take(requestId);
    if (entry.window)
        PassRequestResult(entry.window, AIMCC::AccEvent::WarnResult, requestId, kind, result);
}

void CAIMConnection::OnServerUrlReady(long requestId, HRESULT result, const std::wstring& url, AIMCC::IAccSession*,
                                      const std::wstring&, const VARIANT&)
{
    const CRequestMap::Entry entry = requests_.Take(requestId);
    // The address comes from the network: only a web page is opened, never
    // a program, a file or another protocol's handler.
    if (!entry.known || FAILED(result) || entry.hadWindow || !IsOpenableServerAddress(url))
        return;
    ShellExecuteW(MainOwner(), L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CAIMConnection::OnRequestFailed(AIMCC::IAccObject* object, long requestId, long flag)
{
    requests_.Take(requestId);
    if (flag != 0)
        return;
    ShowErrorBox(MainOwner(), FormatLangString(717, {ReadText(object, 0)}), MB_ICONINFORMATION);
}

void CAIMConnection::OnNewMail(AIMCC::IAccSession*, AIMCC::IAccMail* mail)
{
    if ((ReadAccountUInt(Settings(), L"Settings.NOTIFY", Identity(), L"Misc", 0) & 1) == 0)
        return;
    long status = -1;
    long unread = 0;
    if (ReadLong(mail, AIMCC::AccMailProp::Status, status) && status == 0
        && ReadLong(mail, AIMCC::AccMailProp::UnreadCount, unread) && unread > 0)
        ToastNewMail(this, mail);
}

void CAIMConnection::OnBartItemRequestDone(AIMCC::IAccSession*, AIMCC::IAccBartItem* item, long, long requestId,
                                           HRESULT result, AIMCC::IAccObject*)
{
    const CRequestMap::Entry entry = requests_.Take(requestId);
    long type = 0;
    ReadLong(item, AIMCC::AccBartProp::Type, type);
    if (!entry.window) {
        // Own wallpapers arrive without anyone having asked.
        if (SUCCEEDED(result)
            && (type == AIMCC::AccBartType::FlashWallpaper || type == AIMCC::AccBartType::ImmersiveWallpaper)
            && ShowsWallpaper(Identity()))
            TellConversationWindows(AIMCC::AccBartPropertyBase + type);
        return;
    }
    const bool statusItem = type == AIMCC::AccBartType::StatusText || type == AIMCC::AccBartType::StatusLink;
    switch (entry.kind) {
    case kKindBuddyListPane:
        RedrawBuddyList();
        break;
    case kKindBuddyInfo:
        ReloadBuddyInfo(entry.window);
        break;
    case kKindInfoTipManager:
        RefreshInfoTips(entry.window);
        break;
    case kKindNewSessionPrompt:
        UpdateNewSessionPrompt(entry.window);
        break;
    case kKindSoundManager:
        PlaySessionSound(entry.window, this);
        break;
    case kKindMessageEditorPane:
    case kKindChat:
        if (SUCCEEDED(result) && type == AIMCC::AccBartType::SmileySet)
            PassRequestResult(entry.window, AIMCC::AccEvent::BartItemRequestDone, requestId, type, result);
        break;
    case kKindNotificationsManager:
        if (SUCCEEDED(result) && statusItem)
            UpdateToast(entry.window);
        break;
    default:
        break;
    }
}

void CAIMConnection::OnUserRequestDone(AIMCC::IAccSession*, AIMCC::IAccUser* user, long property, long requestId,
                                       HRESULT result, const VARIANT&)
{
    const CRequestMap::Entry entry = requests_.Take(requestId);
    if (!entry.window)
        return;
    switch (property) {
    case AIMCC::AccUserProp::Profile:
        if (entry.kind == kKindBuddyInfo)
            ShowBuddyProfile(entry.window, user, FAILED(result));
        break;
    case AIMCC::AccUserProp::AwayMessage:
        if (entry.kind == kKindBuddyInfo && SUCCEEDED(result))
            ShowBuddyAwayMessage(entry.window, user);
        break;
    case AIMCC::AccUserProp::SecurityInfo:
        if (entry.kind == kKindChat && SUCCEEDED(result))
            PostMessageW(entry.window, WM_COMMAND, 100, 0);
        break;
    case AIMCC::AccUserProp::BuddyIcon:
        if (entry.kind == kKindBuddyListPane)
            RedrawBuddyList();
        else if (entry.kind == kKindBuddyInfo)
            ReloadBuddyInfo(entry.window);
        else if (entry.kind == kKindInfoTipManager)
            RefreshInfoTips(entry.window);
        break;
    case AIMCC::AccUserProp::StatusText:
    case AIMCC::AccUserProp::StatusLink:
        if (entry.kind == kKindBuddyInfo)
            ReloadBuddyInfo(entry.window);
        else if (entry.kind == kKindBuddyEventView)
            UpdateBuddyEventView(entry.window, this, user);
        break;
    default:
        break;
    }
}

void CAIMConnection::OnRequestForget(AIMCC::IAccSession*, long requestId, HRESULT)
{
    requests_.Take(requestId);
}

// ---------------------------------------------------------------------------
// Buddy list
// ---------------------------------------------------------------------------

void CAIMConnection::OnBuddyListChange(AIMCC::IAccSession*, AIMCC::IAccBuddyList*, long, HRESULT result)
{
    if (IBuddyListEvents* list = result == S_OK ? BuddyListPane() : nullptr)
        list->RebuildIdentity(this);
}

void CAIMConnection::OnGroupRemoved(AIMCC::IAccSession*, AIMCC::IAccGroup* group, HRESULT result)
{
    if (IBuddyListEvents* list = result == S_OK ? BuddyListPane() : nullptr)
        list->OnGroupRemoved(this, group);
}

void CAIMConnection::OnGroupAdded(AIMCC::IAccSession*, AIMCC::IAccBuddyList*, AIMCC::IAccGroup*, long,
                                  HRESULT result)
{
    if (IBuddyListEvents* list = result == S_OK ? BuddyListPane() : nullptr)
        list->RebuildIdentity(this);
}

void CAIMConnection::OnBuddyAdded(AIMCC::IAccSession*, AIMCC::IAccGroup* group, AIMCC::IAccUser* buddy, long,
                                  HRESULT result)
{
    if (IBuddyListEvents* list = result == S_OK ? BuddyListPane() : nullptr)
        list->OnBuddyAdded(this, group, buddy);
}

void CAIMConnection::OnBuddyRemoved(AIMCC::IAccSession*, AIMCC::IAccGroup* group, AIMCC::IAccUser* buddy,
                                    HRESULT result)
{
    if (IBuddyListEvents* list = result == S_OK ? BuddyListPane() : nullptr)
        list->OnBuddyRemoved(this, group, buddy);
}

void CAIMConnection::OnBuddyMoved(AIMCC::IAccSession*, AIMCC::IAccGroup* from, long, AIMCC::IAccGroup* to, long,
                                  AIMCC::IAccUser* buddy, HRESULT result)
{
    if (IBuddyListEvents* list = result == S_OK ? BuddyListPane() : nullptr)
        list->OnBuddyMoved(this, from, to, buddy);
}

void CAIMConnection::OnBuddyListReady(AIMCC::IAccSession*, AIMCC::IAccBuddyList*, long value)
{
    if (value != AIMCC::AccBuddyListReadyValue || buddyListReady_)
        return;
    // The flag is the account's: actions waiting for the list go ahead even
    // while no pane shows it.
    buddyListReady_ = true;
    if (IBuddyListEvents* list = BuddyListPane())
        list->AddIdentity(this);
}

void CAIMConnection::OnGroupChange(AIMCC::IAccSession*, AIMCC::IAccGroup* group, long code)
{
    if (code != AIMCC::AccGroupChange::Moved && code != AIMCC::AccGroupChange::Appearance)
        return;
    if (IBuddyListEvents* list = BuddyListPane())
        list->OnGroupChanged(this, group, code);
}

void CAIMConnection::OnBuddyChange(AIMCC::IAccSession*, AIMCC::IAccUser* before, AIMCC::IAccUser* now,
                                   long property, HRESULT result)
{
    if (result != S_OK)
        return;
    if (IBuddyListEvents* list = BuddyListPane())
        list->OnBuddyChanged(this, now, property);
    if (HWND conversation = ConversationWindowWithBuddy(this, now)) {
        PassBuddyChange(conversation, now, property);
        UpdateConversationTab(conversation);
    }
    const CIni& ini = Settings();
    const std::wstring identity = Identity();
    if (!ReadAccountBool(ini, L"Settings.NOTIFY", identity, L"DisableAll", false))
        ToastBuddyEvent(this, now, property);
    if (ReadAccountUInt(ini, L"Settings.LOGS", identity, L"Buddies", 0) != 0)
        LogBuddyEvent(this, before, now, property);
    if (HWND view = BuddyEventView())
        UpdateBuddyEventView(view, this, now);
}

void CAIMConnection::OnPreferenceChange(AIMCC::IAccSession*, const std::wstring& name, HRESULT result)
{
    if (result == S_OK
        && CompareStringOrdinal(name.c_str(), static_cast<int>(name.size()), L"aimcc.folders.logs", -1, TRUE)
            == CSTR_EQUAL)
        RereadLogFolder();
}

// ---------------------------------------------------------------------------
// Secondary sessions: IMs, chats, file transfers and shares
// ---------------------------------------------------------------------------

void CAIMConnection::OnSecondarySessionOffered(AIMCC::IAccSession*, AIMCC::IAccObject* object, long type)
{
    if (!object)
        return;
    if (type == AIMCC::AccSecondaryType::Im || type == AIMCC::AccSecondaryType::FileXfer
        || type == AIMCC::AccSecondaryType::FileShare)
        pending_.emplace_back(object);
}

void CAIMConnection::OnSecondarySessionState(AIMCC::IAccSession*, AIMCC::IAccObject* object, long state,
                                             HRESULT result)
{
    long type = 0;
    ReadLong(object, AIMCC::AccImSessionProp::Type, type);
    if (type == AIMCC::AccSecondaryType::Im) {
        long mode = -1;
        ReadLong(object, AIMCC::AccImSessionProp::Mode, mode);
        ComPtr<AIMCC::IAccImSession> imSession;
        if (object)
            object->QueryInterface(IID_PPV_ARGS(&imSession));
        if (mode >= AIMCC::AccImMode::Im && mode <= AIMCC::AccImMode::Chat && imSession) {
            if (state == AIMCC::AccSecondaryState::Offered) {
                long offered = -1;
                if (ReadLong(object, AIMCC::AccImSessionProp::OfferedMode, offered) && offered >= 0 && offered <= 2)
                    OpenNewSessionPrompt(this, object, offered);
            } else if (state == AIMCC::AccSecondaryState::Ready || state == AIMCC::AccSecondaryState::Closed) {
                const bool create = state == AIMCC::AccSecondaryState::Ready && mode != AIMCC::AccImMode::Im;
                if (HWND window = ImWindow(imSession.Get(), create))
                    PassImEvent(window, AIMCC::AccEvent::SecondarySessionState, nullptr, nullptr, state, result);
            }
        }
    } else if (type == AIMCC::AccSecondaryType::FileXfer) {
        if (result == S_OK && state == AIMCC::AccSecondaryState::Offered)
            OpenNewSessionPrompt(this, object, type);
        else
            PassFileTransferEvent(this, AIMCC::AccEvent::SecondarySessionState, object, nullptr, state);
    } else if (type == AIMCC::AccSecondaryType::FileShare) {
        if (result != S_OK) {
            if (!CloseNewSessionPromptFor(object))
                PassFileShareEvent(nullptr, this, AIMCC::AccEvent::SecondarySessionState, object, 0, result);
        } else if (state == AIMCC::AccSecondaryState::Offered) {
            OpenNewSessionPrompt(this, object, type);
        } else {
            PassFileShareEvent(nullptr, this, AIMCC::AccEvent::SecondarySessionState, object, 0, result);
        }
    }
    if (state == AIMCC::AccSecondaryState::Closed) {
        for (auto it = pending_.begin(); it != pending_.end(); ++it) {
            if (SameObject(it->Get(), object)) {
                pending_.erase(it);
                break;
            }
        }
    }
}

void CAIMConnection::OnImSessionEvent(AIMCC::IAccSession*, AIMCC::IAccImSession* imSession, long code)
{
    if (HWND window = ImWindow(imSession, false))
        PassImEvent(window, AIMCC::AccEvent::ImSessionEvent, nullptr, nullptr, code, S_OK);
}

void CAIMConnection::OnChatMemberJoined(AIMCC::IAccSession*, AIMCC::IAccImSession* chat, AIMCC::IAccUser* user)
{
    if (HWND window = ImWindow(chat, false))
        PassImEvent(window, AIMCC::AccEvent::ChatMemberJoined, user, nullptr, 0, S_OK);
}

void CAIMConnection::OnChatMemberLeft(AIMCC::IAccSession*, AIMCC::IAccImSession* chat, AIMCC::IAccUser* user,
                                      long reason, const std::wstring&, HRESULT result)
{
    if (HWND window = ImWindow(chat, false))
        PassImEvent(window, AIMCC::AccEvent::ChatMemberLeft, user, nullptr, reason, result);
}

void CAIMConnection::OnChatEvent(AIMCC::IAccSession*, AIMCC::IAccImSession* chat, long code, const VARIANT&,
                                 HRESULT result)
{
    if (HWND window = ImWindow(chat, false))
        PassImEvent(window, AIMCC::AccEvent::ChatEvent, nullptr, nullptr, code, result);
}

void CAIMConnection::OnInviteResult(AIMCC::IAccSession*, AIMCC::IAccImSession*, long requestId, const std::wstring&,
                                    HRESULT result)
{
    const CRequestMap::Entry entry = requests_.Take(requestId);
    if (entry.window && entry.kind == kKindChat)
        PassRequestResult(entry.window, AIMCC::AccEvent::InviteResult, requestId, 0, result);
}

void CAIMConnection::OnImSessionRequestDone(AIMCC::IAccSession*, AIMCC::IAccImSession*, long requestId,
                                            const VARIANT&, HRESULT result)
{
    const CRequestMap::Entry entry = requests_.Take(requestId);
    if (entry.window && entry.kind == kKindChat)
        PassRequestResult(entry.window, AIMCC::AccEvent::ImSessionRequestDone, requestId, 0, result);
}

void CAIMConnection::OnMessageSent(AIMCC::IAccSession*, AIMCC::IAccImSession* imSession, AIMCC::IAccUser* user,
                                   AIMCC::IAccIm* message)
{
    if (HWND window = ImWindow(imSession, false))
        PassImEvent(window, AIMCC::AccEvent::MessageSent, user, message, 0, S_OK);
    // Writing to someone while away means being back, unless the user wants
    // to stay away or this was the automatic reply.
    long flags = 0;
    ReadLong(message, AIMCC::AccImProp::Flags, flags);
    if (!session_ || Settings().GetBool(L"Status", L"AllowMsgWhenAway", false) || !IsAway()
        || (flags & AIMCC::AccImFlags::AutoResponse) != 0)
        return;
    PutEmpty(session_.Get(), AIMCC::AccSessionProp::AwayMessage);
    if (PropertyIsTrue(AIMCC::AccSessionProp::Invisible))
        PutBool(session_.Get(), AIMCC::AccSessionProp::Invisible, false);
}

void CAIMConnection::OnSendResult(AIMCC::IAccSession*, AIMCC::IAccImSession* imSession, AIMCC::IAccUser* user,
                                  AIMCC::IAccIm* message, HRESULT result)
{
    if (HWND window = ImWindow(imSession, false))
        PassImEvent(window, AIMCC::AccEvent::SendResult, user, message, 0, result);
}

void CAIMConnection::OnMessageReceived(AIMCC::IAccSession*, AIMCC::IAccImSession* imSession,
                                       AIMCC::IAccUser* sender, AIMCC::IAccIm* message)
{
    HWND window = ImWindow(imSession, true);
    if (window)
        PassImEvent(window, AIMCC::AccEvent::MessageReceived, sender, message, 0, S_OK);
    if (!window || !IsConversationInView(window))
        ToastMessage(this, imSession, sender, message);
}

void CAIMConnection::OnTypingChange(AIMCC::IAccSession*, AIMCC::IAccImSession* imSession, AIMCC::IAccUser* user,
                                    long state)
{
    if (HWND window = ImWindow(imSession, false))
        PassImEvent(window, AIMCC::AccEvent::TypingChange, user, nullptr, state, S_OK);
}

void CAIMConnection::OnDirectItemData(AIMCC::IAccSession*, AIMCC::IAccImSession* imSession, AIMCC::IAccIm* message,
                                      const std::wstring&, AIMCC::IAccStream*)
{
    if (HWND window = ImWindow(imSession, false))
        PassImEvent(window, AIMCC::AccEvent::DirectItemData, nullptr, message, 0, S_OK);
}

void CAIMConnection::OnDirectItemProgress(AIMCC::IAccSession*, AIMCC::IAccImSession* imSession,
                                          AIMCC::IAccIm* message, const std::wstring&, AIMCC::IAccStream*)
{
    if (HWND window = ImWindow(imSession, false))
        PassImEvent(window, AIMCC::AccEvent::DirectItemProgress, nullptr, message, 0, S_OK);
}

void CAIMConnection::OnNotification(AIMCC::IAccSession*, AIMCC::IAccImSession* imSession, AIMCC::IAccIm* message)
{
    if (HWND window = ImWindow(imSession, false))
        PassImEvent(window, AIMCC::AccEvent::Notification, nullptr, message, 0, S_OK);
}

void CAIMConnection::OnImSessionNotice(AIMCC::IAccSession*, AIMCC::IAccImSession* imSession, long notice)
{
    if (HWND window = ImWindow(imSession, false))
        PassImEvent(window, AIMCC::AccEvent::ImSessionNotice, nullptr, nullptr, notice, S_OK);
}

void CAIMConnection::OnReceivedItemsDone(AIMCC::IAccSession*, AIMCC::IAccImSession* imSession, AIMCC::IAccIm* message)
{
    if (HWND window = ImWindow(imSession, false))
        PassImEvent(window, AIMCC::AccEvent::ReceivedItemsDone, nullptr, message, 0, S_OK);
}

void CAIMConnection::OnSentItemsDone(AIMCC::IAccSession*, AIMCC::IAccImSession* imSession, AIMCC::IAccIm* message)
{
    if (HWND window = ImWindow(imSession, false))
        PassImEvent(window, AIMCC::AccEvent::SentItemsDone, nullptr, message, 0, S_OK);
}

void CAIMConnection::OnFileXferAdded(AIMCC::IAccSession*, AIMCC::IAccFileXfer* transfer, bool incoming)
{
    PassFileTransferEvent(this, AIMCC::AccEvent::FileXferAdded, transfer, nullptr, incoming ? 1 : 0);
}

void CAIMConnection::OnFileXferProgress(AIMCC::IAccSession*, AIMCC::IAccFileXfer* transfer, AIMCC::IAccFile* file)
{
    PassFileTransferEvent(this, AIMCC::AccEvent::FileXferProgress, transfer, file, 0);
}

void CAIMConnection::OnFileXferState(AIMCC::IAccSession*, AIMCC::IAccFileXfer* transfer, HRESULT result)
{
    PassFileTransferEvent(this, AIMCC::AccEvent::FileXferState, transfer, nullptr, result);
}

void CAIMConnection::OnFileXferCollision(AIMCC::IAccSession*, AIMCC::IAccFileXfer* transfer, AIMCC::IAccFile* file,
                                         long answer)
{
    PassFileTransferEvent(this, AIMCC::AccEvent::FileXferCollision, transfer, file, answer);
}

void CAIMConnection::OnFileXferDone(AIMCC::IAccSession*, AIMCC::IAccFileXfer* transfer, HRESULT result)
{
    PassFileTransferEvent(this, AIMCC::AccEvent::FileXferDone, transfer, nullptr, result);
}

void CAIMConnection::OnFileShareAnswer(AIMCC::IAccSession*, AIMCC::IAccFileShare* share, long requestId,
                                       AIMCC::IAccFileShareEntry*, HRESULT result)
{
    const CRequestMap::Entry entry = requests_.Take(requestId);
    if (entry.window && entry.kind == kKindFileShareBrowser)
        PassFileShareEvent(entry.window, this, AIMCC::AccEvent::FileShareAnswer, share, requestId, result);
}

void CAIMConnection::OnFileShareRequest(AIMCC::IAccSession*, AIMCC::IAccFileShare* share, long requestId,
                                        AIMCC::IAccFileShareEntry* entry, HRESULT result)
{
    // A request nobody here started is a buddy asking for one of our files.
    if (!requests_.Holds(requestId)) {
        PassFileShareRequestToTransfers(this, share, requestId, entry, result);
        return;
    }
    const CRequestMap::Entry owner = requests_.Take(requestId);
    if (owner.window && owner.kind == kKindFileShareBrowser)
        PassFileShareEvent(owner.window, this, AIMCC::AccEvent::FileShareRequest, share, requestId, result);
}

// The seams the panes, start-up and shutdown call.

namespace {

CAIMConnection* Primary()
{
    auto& connections = Connections();
    return connections.empty() ? nullptr : connections.front().Get();
}

CAIMConnection* PrimaryOrNew()
{
    auto& connections = Connections();
    if (connections.empty()) {
        ComPtr<CAIMConnection> connection = CAIMConnection::Create();
        if (!connection)
            return nullptr;
        connections.push_back(connection);
    }
    return connections.front().Get();
}

} // namespace

bool IsPrimaryOnline()
{
    CAIMConnection* primary = Primary();
    return primary && primary->State() == AIMCC::AccState::Online;
}

void SignOffAllSessions()
{
    // A copy: signing off may change the list.
    const auto connections = Connections();
    for (const auto& connection : connections)
        connection->SignOffAccount();
}

void ReleaseAllSessions()
{
    auto connections = std::move(Connections());
    Connections().clear();
    for (const auto& connection : connections)
        connection->ReleaseSession();
}

std::wstring PrimaryIdentity()
{
    CAIMConnection* primary = Primary();
    return primary ? primary->Identity() : std::wstring();
}

void PreparePrimarySession(const std::wstring& screenName)
{
    CAIMConnection* primary = PrimaryOrNew();
    // The identity can only change while signed off; the sign-on sets it
    // again anyway.
    if (primary && primary->State() == AIMCC::AccState::Offline)
        primary->SetIdentity(screenName);
}

void SignOnPrimary(const std::wstring& screenName, const std::wstring& password)
{
    if (CAIMConnection* primary = PrimaryOrNew())
        primary->SignOnAccount(screenName, password);
}

void SignOffPrimary()
{
    if (CAIMConnection* primary = Primary())
        primary->SignOffAccount();
}

void ReleaseOtherSessions()
{
    auto& connections = Connections();
    if (connections.size() <= 1)
        return;
    std::vector<ComPtr<CAIMConnection>> others(connections.begin() + 1, connections.end());
    connections.resize(1);
    for (const auto& connection : others) {
        connection->SignOffAccount();
        connection->ReleaseSession();
    }
}
