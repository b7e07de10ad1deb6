#include "AIMConnection.h"

#include "AccHelpers.h"
#include "LangStrings.h"
#include "MainPanes.h"
#include "Seams.h"
#include "SignOnPane.h"
#include "UserPrefs.h"

#include <cwchar>
#include <new>

using Microsoft::WRL::ComPtr;

namespace {

const wchar_t kClientDescription[] = L"Velmora (Key:Qm7TfR2xWp9LbZc4)";

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

void ShowSystemError(HRESULT hr)
{
    IMainPanes* main = MainPanes();
    ShowErrorBox(main ? main->PanesWindow() : nullptr, SystemErrorText(static_cast<DWORD>(hr)), MB_ICONERROR);
}

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

HRESULT PutText(AIMCC::IAccObject* object, long property, const wchar_t* text)
{
    VARIANT value;
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(text);
    if (!value.bstrVal)
        return E_OUTOFMEMORY;
    const HRESULT hr = object->put_Property(property, value);
    VariantClear(&value);
    return hr;
}

HRESULT PutLong(AIMCC::IAccObject* object, long property, long number)
{
    VARIANT value;
    value.vt = VT_I4;
    value.lVal = number;
    return object->put_Property(property, value);
}

// The four parts of this program's file version; false when it has none.
bool ProgramVersion(WORD parts[4])
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

// Event arguments come in COM's reversed order: the first is the last.
bool ArgumentLong(const DISPPARAMS* params, UINT index, long& number)
{
    ScopedVariant converted;
    const VARIANT& arg = params->rgvarg[params->cArgs - 1 - index];
    if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(&arg), 0, VT_I4)))
        return false;
    number = converted.Get().lVal;
    return true;
}

long CurrentPaneId(IMainPanes* main)
{
    return static_cast<long>(SendMessageW(main->PanesWindow(), WM_USER, 0, 0));
}

void ShowPaneUnlessShown(IMainPanes* main, CPaneWnd* pane)
{
    if (CurrentPaneId(main) != pane->PaneId())
        CPaneWnd::ShowPane(pane, false);
}

} // namespace

std::vector<ComPtr<CAIMConnection>>& Connections()
{
    static std::vector<ComPtr<CAIMConnection>> connections;
    return connections;
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
    if (stringId == 26)
        return FormatLangString(26, {screenName});
    std::wstring text = LoadLangString(stringId);
    if (stringId == 282) {
        // This one string carries a printf-style field for the code.
        wchar_t code[16];
        swprintf(code, ARRAYSIZE(code), L"%08X", static_cast<unsigned>(result));
        const size_t field = text.find(L"%08X");
        if (field != std::wstring::npos)
            text.replace(field, 4, code);
    }
    return text;
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

HRESULT STDMETHODCALLTYPE CAIMConnection::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)
        || IsEqualIID(riid, AIMCC::DIID_DAccEvents)) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CAIMConnection::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG STDMETHODCALLTYPE CAIMConnection::Release()
{
    const LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0)
        delete this;
    return static_cast<ULONG>(refs);
}

HRESULT STDMETHODCALLTYPE CAIMConnection::GetTypeInfoCount(UINT* count)
{
    if (count)
        *count = 0;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CAIMConnection::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CAIMConnection::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CAIMConnection::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                                 EXCEPINFO*, UINT*)
{
    // A handler may drop this connection from the list; it has to live
    // until the handler returns.
    ComPtr<CAIMConnection> self(this);
    try {
        if (!params || (params->cArgs > 0 && !params->rgvarg))
            return S_OK;
        switch (id) {
        case AIMCC::AccEvent::StateChange: {
            long state = 0;
            long result = 0;
            if (params->cArgs < 3 || !ArgumentLong(params, 1, state) || !ArgumentLong(params, 2, result))
                break;
            OnStateChange(state, static_cast<HRESULT>(result));
            break;
        }
        default:
            break;
        }
    } catch (...) {
        // The layer called us; nothing may travel back into it.
    }
    return S_OK;
}

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
    ComPtr<IConnectionPointContainer> container;
    if (SUCCEEDED(hr))
        hr = session.As(&container);
    ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(hr))
        hr = container->FindConnectionPoint(AIMCC::DIID_DAccEvents, &point);
    DWORD cookie = 0;
    if (SUCCEEDED(hr))
        hr = point->Advise(static_cast<IDispatch*>(this), &cookie);
    if (FAILED(hr)) {
        ShowSystemError(hr);
        return false;
    }
    session_ = session;
    eventPoint_ = point;
    eventCookie_ = cookie;

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
    if (ProgramVersion(parts)) {
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
    BSTR name = SysAllocStringLen(screenName.data(), static_cast<UINT>(screenName.size()));
    HRESULT hr = name ? session_->put_Identity(name) : E_OUTOFMEMORY;
    SysFreeString(name);
    if (FAILED(hr)) {
        ShowSystemError(hr);
        return false;
    }
    return true;
}

bool CAIMConnection::SignOnAccount(const std::wstring& screenName, const std::wstring& password)
{
    // A sign-on already under way (or done) is not started twice.
    if (State() != AIMCC::AccState::Offline)
        return false;
    if (!SetIdentity(screenName))
        return false;
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
    if (SUCCEEDED(session_->get_Security(&security)))
        security->Initialize(0);
    ComPtr<AIMCC::IAccPreferences> prefs;
    if (FAILED(session_->get_Prefs(&prefs)))
        return;
    // Certificates are used only when the user has configured one.
    for (const wchar_t* name : {L"aimcc.security.encrCert", L"aimcc.security.signCert"}) {
        ScopedVariant value;
        BSTR key = SysAllocString(name);
        const HRESULT hr = key ? prefs->GetValue(key, &value) : E_OUTOFMEMORY;
        SysFreeString(key);
        if (hr == S_OK && value.Get().vt == VT_BSTR && SysStringLen(value.Get().bstrVal) > 0) {
            if (security)
                security->UseCertificate(0);
            break;
        }
    }
    // Devices for audio and video are always listed.
    BSTR key = SysAllocString(L"aimcc.av.enumDevices");
    if (!key)
        return;
    ScopedVariant current;
    ScopedVariant asBool;
    const bool isTrue = SUCCEEDED(prefs->GetValue(key, &current))
        && SUCCEEDED(VariantChangeType(&asBool, &current.Get(), 0, VT_BOOL)) && asBool.Get().boolVal == VARIANT_TRUE;
    if (!isTrue) {
        VARIANT on;
        on.vt = VT_BOOL;
        on.boolVal = VARIANT_TRUE;
        prefs->SetValue(key, on);
    }
    SysFreeString(key);
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
    if (eventPoint_)
        eventPoint_->Unadvise(eventCookie_);
    eventPoint_.Reset();
    eventCookie_ = 0;
    session_->put_PrefsHook(nullptr);
    // The session goes before the hook it may still call.
    session_.Reset();
    prefs_.Reset();
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

void CAIMConnection::OnStateChange(long state, HRESULT result)
{
    const bool primary = IsPrimary();
    IMainPanes* main = primary ? MainPanes() : nullptr;
    if (main && !main->PanesWindow())
        main = nullptr;

    switch (state) {
    case AIMCC::AccState::Offline:
        SetSignOnStartedByUser(false);
        if (main)
            ShowPaneUnlessShown(main, main->SignOnPane());
        break;
    case AIMCC::AccState::SigningOff:
        SetSignOnStartedByUser(false);
        if (main)
            ShowPaneUnlessShown(main, main->SignOnProgressPane());
        break;
    case AIMCC::AccState::Connecting:
        if (primary)
            ReleaseOtherSessions();
        if (main)
            ShowPaneUnlessShown(main, main->SignOnProgressPane());
        break;
    case AIMCC::AccState::Online:
        if (main) {
            main->ClearNotices();
            ShowPaneUnlessShown(main, main->BuddyListPane());
        }
        break;
    default:
        break;
    }

    bool error = false;
    const UINT stringId = SessionStateString(state, result, error);
    if (stringId == 0)
        return;
    IMainPanes* window = MainPanes();
    if (!window || !window->PanesWindow())
        return;
    if (error) {
        window->AddNotice(LoadIcon(nullptr, IDI_ERROR), SessionErrorText(stringId, result, Identity()));
    } else if (main && CurrentPaneId(main) == kSignOnStatePaneKindId) {
        main->SignOnProgressPane()->SetProgressText(stringId);
    }
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
    for (const auto& connection : others)
        connection->ReleaseSession();
}
