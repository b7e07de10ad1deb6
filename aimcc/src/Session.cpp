#include "Session.h"

#include "AccountServices.h"
#include "BartItem.h"
#include "BuddyList.h"
#include "Im.h"
#include "ImSession.h"
#include "PreferenceDefaults.h"
#include "Preferences.h"
#include "ScreenNames.h"
#include "Stream.h"
#include "User.h"

#include <olectl.h>
#include <shlwapi.h>

#include <algorithm>
#include <new>

namespace AIMCC {

using Microsoft::WRL::ComPtr;

namespace {

// Limits the server enforces (the values common servers announce).
const long kProfileLimit = 1024;
const long kAwayMessageLimit = 1024;
const long kChatRoomNameLimit = 128;
const long kPrivacyListLimit = 220;

// The preference name as a BSTR for a hook call.
class CNameArg {
public:
    explicit CNameArg(std::wstring_view name) : bstr_(MakeBstr(name)) {}
    ~CNameArg() { SysFreeString(bstr_); }
    CNameArg(const CNameArg&) = delete;
    CNameArg& operator=(const CNameArg&) = delete;
    BSTR Get() const { return bstr_; }

private:
    BSTR bstr_;
};

std::wstring PreferenceKey(std::wstring_view name)
{
    std::wstring key(name);
    if (!key.empty())
        CharLowerBuffW(key.data(), static_cast<DWORD>(key.size()));
    return key;
}

bool IsOwnPresenceProperty(long id)
{
    return id == AccSessionProp::AwayMessage || id == AccSessionProp::Invisible || id == AccSessionProp::ImForwarding;
}

} // namespace

HRESULT CAccSession::Create(TransportFactory factory, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    auto* session = new (std::nothrow) CAccSession(std::move(factory));
    if (!session)
        return E_OUTOFMEMORY;
    HRESULT hr = ComBoundary([&] { return session->Initialize(); });
    if (SUCCEEDED(hr))
        hr = session->QueryInterface(iid, object);
    session->Release();
    return hr;
}

CAccSession::CAccSession(TransportFactory factory)
    : events_(static_cast<IConnectionPointContainer*>(this), IID_DAccEvents), factory_(std::move(factory))
{
}

HRESULT CAccSession::Initialize()
{
    window_ = CEventWindow::Create();
    if (!window_)
        return HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_CANNOT_MAKE);
    *prefs_.ReleaseAndGetAddressOf() = new CAccPreferences(this);
    *clientInfo_.ReleaseAndGetAddressOf() = new CAccClientInfo();
    *security_.ReleaseAndGetAddressOf() = new CAccSecurity();
    *buddyList_.ReleaseAndGetAddressOf() = new CAccBuddyList(this);
    *imStorage_.ReleaseAndGetAddressOf() = new CAccImStorage(this);
    return S_OK;
}

CAccSession::~CAccSession()
{
    if (transport_)
        transport_->SignOff();
    transport_.reset();
    retiring_.clear();
    events_.Clear();
    // Children the client still holds must not reach back into this object.
    for (auto& user : users_)
        user.second->Detach();
    for (auto& im : imSessions_)
        im.second->Detach();
    if (prefs_)
        prefs_->Detach();
    if (buddyList_)
        buddyList_->Detach();
    if (imStorage_)
        imStorage_->Detach();
    // Queued events are dropped with the window.
    window_.reset();
}

HRESULT STDMETHODCALLTYPE CAccSession::QueryInterface(REFIID riid, void** object)
{
    static const QITAB table[] = {
        AIMCC_QI_ENTRIES(CAccSession, IAccSession),
        QITABENT(CAccSession, IConnectionPointContainer),
        {},
    };
    return QISearch(this, table, riid, object);
}

// ---------------------------------------------------------------------------
// Events
// ---------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE CAccSession::EnumConnectionPoints(IEnumConnectionPoints** points)
{
    return ComBoundary([&] { return CreateConnectionPointEnumerator({&events_}, points); });
}

HRESULT STDMETHODCALLTYPE CAccSession::FindConnectionPoint(REFIID iid, IConnectionPoint** point)
{
    if (!point)
        return E_POINTER;
    *point = nullptr;
    if (!IsEqualIID(iid, IID_DAccEvents))
        return CONNECT_E_NOCONNECTION;
    *point = &events_;
    events_.AddRef();
    return S_OK;
}

void CAccSession::Raise(DISPID id, std::vector<CVariant> args)
{
    // Always through the queue, even on this thread: the client hears of a
    // change after the call that caused it has returned, in the order the
    // changes happened.
    window_->Post([this, id, args = std::move(args)]() { Fire(id, args); });
}

void CAccSession::Fire(DISPID id, const std::vector<CVariant>& args)
{
    for (const ComPtr<IDispatch>& sink : events_.Sinks()) {
        // Each sink gets its own copies, in COM's reversed order, so that
        // nothing one sink does to its arguments reaches the next.
        std::vector<CVariant> reversed(args.rbegin(), args.rend());
        std::vector<VARIANT> raw;
        raw.reserve(reversed.size());
        for (const CVariant& arg : reversed)
            raw.push_back(arg.Get());
        DISPPARAMS params = {};
        params.rgvarg = raw.empty() ? nullptr : raw.data();
        params.cArgs = static_cast<UINT>(raw.size());
        CVariant result;
        EXCEPINFO exception = {};
        UINT argError = 0;
        sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.Out(), &exception,
                     &argError);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
}

void CAccSession::SetState(long state, HRESULT result)
{
    state_ = state;
    Raise(AccEvent::StateChange, {CVariant::Object(Dispatch()), CVariant::Int(state), CVariant::Int(result)});
}

// ---------------------------------------------------------------------------
// Identity, state, sign-on
// ---------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE CAccSession::get_Identity(BSTR* screenName)
{
    return CopyToBstr(identity_, screenName);
}

HRESULT STDMETHODCALLTYPE CAccSession::put_Identity(BSTR screenName)
{
    return ComBoundary([&]() -> HRESULT {
        if (state_ != AccState::Offline)
            return E_UNEXPECTED;
        std::wstring_view name = BstrView(screenName);
        if (NormalizeScreenName(name).empty())
            return E_INVALIDARG;
        identity_.assign(name);
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE CAccSession::get_State(long* state)
{
    if (!state)
        return E_POINTER;
    *state = state_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CAccSession::SignOn(BSTR password)
{
    return ComBoundary([&]() -> HRESULT {
        if (state_ != AccState::Offline || transport_)
            return E_UNEXPECTED;
        if (NormalizeScreenName(identity_).empty())
            return E_INVALIDARG;
        // An additional account signs on with the password kept for it;
        // every other sign-on needs one given.
        std::wstring secret(BstrView(password));
        if (secret.empty() && primarySession_)
            secret = StoredPassword();
        if (secret.empty())
            return ACC_E_BAD_PASSWORD;

        // Read afresh at every sign-on: the settings window writes some of
        // these straight into the client's store.
        SignOnSettings settings;
        settings.host = PreferenceText(Pref::HostAddress);
        if (settings.host.empty())
            settings.host = kDefaultHostAddress;
        long port = PreferenceLong(Pref::HostPort, kDefaultHostPort);
        settings.port = port > 0 && port <= 0xFFFF ? static_cast<unsigned short>(port) : kDefaultHostPort;
        settings.screenName = identity_;
        settings.password = std::move(secret);
        settings.clientDescription = clientInfo_->Description();
        for (int i = 0; i < 4; ++i)
            settings.version[i] = clientInfo_->Version(i);
        settings.invisible = invisible_;
        if (awayMessage_)
            settings.awayMessage = awayMessage_->Html();
        settings.profile = PreferenceText(Pref::Profile);
        settings.statusText = statusText_;
        settings.idleSeconds = idleThreshold_ == 0 ? idleTime_ : 0;

        std::unique_ptr<ITransport> transport = factory_ ? factory_(window_, *this) : nullptr;
        if (!transport)
            return E_OUTOFMEMORY;
        HRESULT hr = transport->SignOn(settings);
        if (FAILED(hr))
            return hr;
        transport_ = std::move(transport);
        SetState(AccState::Connecting, S_OK);
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE CAccSession::SignOff()
{
    return ComBoundary([&]() -> HRESULT {
        if (state_ == AccState::Offline && !transport_)
            return S_FALSE;
        SetState(AccState::SigningOff, S_OK);
        if (transport_)
            transport_->SignOff();
        EndSession(S_OK);
        return S_OK;
    });
}

void CAccSession::RetireTransport()
{
    if (!transport_)
        return;
    // This may run inside one of the transport's own callbacks, so it is
    // destroyed from the queue once that callback has returned.
    retiring_.push_back(std::move(transport_));
    window_->Post([this]() { retiring_.clear(); });
}

// Idleness is measured from the last keyboard or mouse input, by this
// module's own tick count: a client that wants the account to look idle
// sooner can make that clock run ahead.
void CAccSession::StartIdleWatch()
{
    StopIdleWatch();
    inputIdle_ = false;
    const long threshold = std::max(idleThreshold_, 1L);
    const UINT interval = static_cast<UINT>(std::clamp(threshold * 250L, 1000L, 30000L));
    idleWatch_ = window_->StartTimer(interval, [this] { CheckInputIdle(); });
}

void CAccSession::StopIdleWatch()
{
    if (idleWatch_)
        window_->StopTimer(idleWatch_);
    idleWatch_ = 0;
    inputIdle_ = false;
}

void CAccSession::CheckInputIdle()
{
    // A threshold of 0 means the client reports idleness itself.
    if (!Online() || idleThreshold_ <= 0)
        return;
    LASTINPUTINFO input = {};
    input.cbSize = sizeof(input);
    if (!GetLastInputInfo(&input))
        return;
    const DWORD idleMs = GetTickCount() - input.dwTime;
    const bool idle = idleMs / 1000 >= static_cast<DWORD>(idleThreshold_);
    if (idle == inputIdle_)
        return;
    inputIdle_ = idle;
    transport_->SetIdle(idle ? static_cast<long>(idleMs / 1000) : 0);
}

void CAccSession::EndSession(HRESULT result)
{
    StopIdleWatch();
    RetireTransport();
    ResetPresence();
    buddyList_->Clear();
    pendingSends_.clear();
    pendingUserTexts_.clear();
    SetState(AccState::Offline, result);
}

void CAccSession::ResetPresence()
{
    for (auto& user : users_)
        user.second->SetOffline();
}

// ---------------------------------------------------------------------------
// Preferences
// ---------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE CAccSession::get_PrefsHook(IUnknown** hook)
{
    if (!hook)
        return E_POINTER;
    *hook = nullptr;
    if (!hook_)
        return S_FALSE;
    return hook_->QueryInterface(IID_PPV_ARGS(hook));
}

HRESULT STDMETHODCALLTYPE CAccSession::put_PrefsHook(IUnknown* hook)
{
    if (!hook) {
        hook_.Reset();
        return S_OK;
    }
    // A hook may answer only the second interface; it includes the first.
    ComPtr<IAccPreferencesHook2> hook2;
    if (SUCCEEDED(hook->QueryInterface(IID_PPV_ARGS(&hook2)))) {
        hook_ = hook2;
        return S_OK;
    }
    ComPtr<IAccPreferencesHook> hook1;
    HRESULT hr = hook->QueryInterface(IID_PPV_ARGS(&hook1));
    if (FAILED(hr))
        return E_NOINTERFACE;
    hook_ = hook1;
    return S_OK;
}

HRESULT CAccSession::ReadPreference(std::wstring_view name, CVariant& value)
{
    HRESULT hr = ACC_E_PREFERENCE_NOT_SET;
    if (hook_) {
        CNameArg arg(name);
        if (!arg.Get())
            return E_OUTOFMEMORY;
        hr = hook_->ReadPreference(arg.Get(), value.Out());
        if (hr != ACC_E_PREFERENCE_NOT_SET)
            return hr;
    } else {
        auto it = ownPreferences_.find(PreferenceKey(name));
        if (it != ownPreferences_.end()) {
            value = it->second;
            return S_OK;
        }
    }
    std::wstring fallback;
    if (FindPreferenceDefault(name, fallback))
        value = CVariant::Text(fallback);
    else
        value.Out();
    return ACC_E_PREFERENCE_NOT_SET;
}

HRESULT CAccSession::WritePreference(std::wstring_view name, const VARIANT& value)
{
    if (hook_) {
        CNameArg arg(name);
        if (!arg.Get())
            return E_OUTOFMEMORY;
        return hook_->WritePreference(arg.Get(), value);
    }
    ownPreferences_[PreferenceKey(name)] = CVariant(value);
    return S_OK;
}

HRESULT CAccSession::ErasePreference(std::wstring_view name)
{
    if (hook_) {
        CNameArg arg(name);
        if (!arg.Get())
            return E_OUTOFMEMORY;
        return hook_->ErasePreference(arg.Get());
    }
    return ownPreferences_.erase(PreferenceKey(name)) ? S_OK : E_FAIL;
}

std::wstring CAccSession::PreferenceText(std::wstring_view name)
{
    CVariant value;
    std::wstring text;
    HRESULT hr = ReadPreference(name, value);
    if ((SUCCEEDED(hr) || hr == ACC_E_PREFERENCE_NOT_SET) && VariantToText(value.Get(), text))
        return text;
    FindPreferenceDefault(name, text);
    return text;
}

bool CAccSession::PreferenceBool(std::wstring_view name, bool fallback)
{
    CVariant value;
    bool flag = fallback;
    HRESULT hr = ReadPreference(name, value);
    if ((SUCCEEDED(hr) || hr == ACC_E_PREFERENCE_NOT_SET) && !value.Empty() && VariantToBool(value.Get(), flag))
        return flag;
    return fallback;
}

long CAccSession::PreferenceLong(std::wstring_view name, long fallback)
{
    CVariant value;
    long number = fallback;
    HRESULT hr = ReadPreference(name, value);
    if ((SUCCEEDED(hr) || hr == ACC_E_PREFERENCE_NOT_SET) && !value.Empty() && VariantToLong(value.Get(), number))
        return number;
    return fallback;
}

void CAccSession::OnPreferenceChanged(std::wstring_view name, HRESULT result)
{
    Raise(AccEvent::PreferenceChange, {CVariant::Object(Dispatch()), CVariant::Text(name), CVariant::Int(result)});
    if (FAILED(result))
        return;
    bool listMode = CompareStringOrdinal(name.data(), static_cast<int>(name.size()), Pref::HideOfflineGroup, -1, TRUE)
            == CSTR_EQUAL
        || CompareStringOrdinal(name.data(), static_cast<int>(name.size()), Pref::HideOfflineBuddies, -1, TRUE)
            == CSTR_EQUAL;
    if (listMode) {
        buddyList_->ReadMode();
        Raise(AccEvent::BuddyListChange,
              {CVariant::Object(Dispatch()), CVariant::Object(buddyList_.Get()), CVariant::Int(0), CVariant::Int(S_OK)});
    }
}

// ---------------------------------------------------------------------------
// Objects of the account
// ---------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE CAccSession::get_ClientInfo(IAccClientInfo** info)
{
    if (!info)
        return E_POINTER;
    return clientInfo_->QueryInterface(IID_PPV_ARGS(info));
}

HRESULT STDMETHODCALLTYPE CAccSession::get_Prefs(IAccPreferences** prefs)
{
    if (!prefs)
        return E_POINTER;
    return prefs_->QueryInterface(IID_PPV_ARGS(prefs));
}

HRESULT STDMETHODCALLTYPE CAccSession::get_Security(IAccSecurity** security)
{
    if (!security)
        return E_POINTER;
    return security_->QueryInterface(IID_PPV_ARGS(security));
}

HRESULT STDMETHODCALLTYPE CAccSession::get_BuddyList(IAccBuddyList** list)
{
    if (!list)
        return E_POINTER;
    return buddyList_->QueryInterface(IID_PPV_ARGS(list));
}

ComPtr<CAccUser> CAccSession::User(std::wstring_view screenName)
{
    std::wstring key = NormalizeScreenName(screenName);
    auto it = users_.find(key);
    if (it != users_.end())
        return it->second;
    ComPtr<CAccUser> user;
    *user.ReleaseAndGetAddressOf() = new CAccUser(this, std::wstring(screenName));
    users_.emplace(key, user);
    return user;
}

ComPtr<CAccUser> CAccSession::LocalUser()
{
    if (NormalizeScreenName(identity_).empty())
        return nullptr;
    return User(identity_);
}

HRESULT STDMETHODCALLTYPE CAccSession::GetUser(BSTR screenName, IAccUser** user)
{
    if (!user)
        return E_POINTER;
    *user = nullptr;
    return ComBoundary([&]() -> HRESULT {
        std::wstring_view name = BstrView(screenName);
        if (NormalizeScreenName(name).empty())
            return E_INVALIDARG;
        return User(name)->QueryInterface(IID_PPV_ARGS(user));
    });
}

HRESULT STDMETHODCALLTYPE CAccSession::GetGroup(BSTR name, IAccGroup** group)
{
    return buddyList_->GetGroupByName(name, group);
}

ComPtr<CAccImSession> CAccSession::ImSessionWith(std::wstring_view screenName, bool create, bool* created)
{
    if (created)
        *created = false;
    std::wstring key = NormalizeScreenName(screenName);
    auto it = imSessions_.find(key);
    if (it != imSessions_.end())
        return it->second;
    if (!create)
        return nullptr;
    ComPtr<CAccImSession> session;
    *session.ReleaseAndGetAddressOf() = new CAccImSession(this, User(screenName));
    imSessions_.emplace(key, session);
    if (created)
        *created = true;
    return session;
}

HRESULT STDMETHODCALLTYPE CAccSession::CreateImSession(BSTR screenName, long mode, IAccImSession** session)
{
    if (!session)
        return E_POINTER;
    *session = nullptr;
    return ComBoundary([&]() -> HRESULT {
        if (mode == AccImMode::DirectIm || mode == AccImMode::Chat)
            return E_NOTIMPL;
        if (mode != AccImMode::Im)
            return E_INVALIDARG;
        std::wstring_view name = BstrView(screenName);
        if (NormalizeScreenName(name).empty())
            return E_INVALIDARG;
        return ImSessionWith(name, true, nullptr)->QueryInterface(IID_PPV_ARGS(session));
    });
}

void CAccSession::CloseImSession(CAccImSession* imSession)
{
    ComPtr<CAccImSession> keep(imSession);
    imSession->MarkClosed();
    imSessions_.erase(NormalizeScreenName(imSession->Remote()->Name()));
    Raise(AccEvent::SecondarySessionState, {CVariant::Object(Dispatch()), CVariant::Object(imSession),
                                            CVariant::Int(AccSecondaryState::Closed), CVariant::Int(S_OK)});
}

HRESULT STDMETHODCALLTYPE CAccSession::CreateChatRoom(BSTR, long, long, IAccImSession** chat)
{
    if (chat)
        *chat = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CAccSession::CreateIm(BSTR text, BSTR mimeType, IAccIm** im)
{
    if (!im)
        return E_POINTER;
    *im = nullptr;
    return ComBoundary([&]() -> HRESULT {
        std::wstring_view type = BstrView(mimeType);
        if (!type.empty() && !IsKnownMimeType(type))
            return E_INVALIDARG;
        ComPtr<CAccIm> made =
            CAccIm::Make(std::wstring(BstrView(text)), type.empty() ? L"text/html" : std::wstring(type));
        return made->QueryInterface(IID_PPV_ARGS(im));
    });
}

HRESULT STDMETHODCALLTYPE CAccSession::CreateFileStream(BSTR path, IAccStream** stream)
{
    return CAccStream::OpenFile(path, stream);
}

HRESULT STDMETHODCALLTYPE CAccSession::SendFile(BSTR, BSTR, IAccFileXfer** transfer)
{
    if (transfer)
        *transfer = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CAccSession::RequestFileShare(BSTR, long* requestId)
{
    if (requestId)
        *requestId = 0;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CAccSession::OpenServerUrl(BSTR pathAndQuery, long* requestId)
{
    if (!requestId)
        return E_POINTER;
    *requestId = 0;
    return ComBoundary([&]() -> HRESULT {
        std::wstring path(BstrView(pathAndQuery));
        if (path.empty())
            return E_INVALIDARG;
        std::wstring host = PreferenceText(Pref::HostAddress);
        if (host.empty())
            host = kDefaultHostAddress;
        std::wstring url = L"http://" + host + (path[0] == L'/' ? L"" : L"/") + path;
        long request = NextRequestId();
        Raise(AccEvent::ServerUrlReady, {CVariant::Int(request), CVariant::Int(S_OK), CVariant::Text(url),
                                         CVariant::Object(Dispatch()), CVariant::Text(path), CVariant::Int(0)});
        *requestId = request;
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE CAccSession::GetBartItem(long type, BSTR id, IAccBartItem** item)
{
    if (!item)
        return E_POINTER;
    *item = nullptr;
    return ComBoundary([&]() -> HRESULT {
        ComPtr<CAccBartItem> made = CAccBartItem::Make(this, type, std::wstring(BstrView(id)), L"");
        return made->QueryInterface(IID_PPV_ARGS(item));
    });
}

HRESULT STDMETHODCALLTYPE CAccSession::HasCapability(BSTR, VARIANT_BOOL* supported)
{
    if (!supported)
        return E_POINTER;
    // Direct connections (file sharing, secure IM) are a later stage.
    *supported = VARIANT_FALSE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CAccSession::GetPlugins(VARIANT* list)
{
    if (!list)
        return E_POINTER;
    VariantInit(list);
    return ComBoundary([&] { return CVariant::TextArray({}).CopyTo(list); });
}

HRESULT STDMETHODCALLTYPE CAccSession::GetMenuItems(long, VARIANT* items)
{
    if (!items)
        return E_POINTER;
    VariantInit(items);
    return ComBoundary([&] { return CVariant::TextArray({}).CopyTo(items); });
}

HRESULT STDMETHODCALLTYPE CAccSession::InvokeMenuItem(long, long, VARIANT)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CAccSession::MenuItemsDone(long)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CAccSession::InvokeIdentityAction(long)
{
    return E_NOTIMPL;
}

// ---------------------------------------------------------------------------
// Own properties
// ---------------------------------------------------------------------------

HRESULT CAccSession::GetProperty(long id, VARIANT* value)
{
    switch (id) {
    case AccSessionProp::Identity:
        return CVariant::Text(identity_).CopyTo(value);
    case AccSessionProp::AdditionalAccounts:
        return GetAdditionalAccounts(value);
    case AccSessionProp::State:
        return CVariant::Int(state_).CopyTo(value);
    case AccSessionProp::Profile:
        return CVariant::Object(CAccIm::Make(PreferenceText(Pref::Profile), L"text/html").Get()).CopyTo(value);
    case AccSessionProp::AwayMessage:
        return awayMessage_ ? CVariant::Object(awayMessage_.Get()).CopyTo(value) : S_OK;
    case AccSessionProp::Invisible:
        return CVariant::Bool(invisible_).CopyTo(value);
    case AccSessionProp::IdleThreshold:
        return CVariant::Int(idleThreshold_).CopyTo(value);
    case AccSessionProp::IdleTime:
        return CVariant::Int(idleTime_).CopyTo(value);
    case AccSessionProp::ImForwarding:
        return CVariant::Bool(false).CopyTo(value);
    case AccSessionProp::ProfileLimit:
        return CVariant::Int(kProfileLimit).CopyTo(value);
    case AccSessionProp::AwayMessageLimit:
        return CVariant::Int(kAwayMessageLimit).CopyTo(value);
    case AccSessionProp::ChatRoomNameLimit:
        return CVariant::Int(kChatRoomNameLimit).CopyTo(value);
    case AccSessionProp::PrimarySession:
        return CVariant::Object(primarySession_.Get()).CopyTo(value);
    case AccSessionProp::PrivacyListLimit:
        return CVariant::Int(kPrivacyListLimit).CopyTo(value);
    case AccSessionProp::ImStorage:
        return CVariant::Object(imStorage_.Get()).CopyTo(value);
    case AccSessionProp::StatusText:
        return CVariant::Object(CAccBartItem::Make(this, AccBartType::StatusText, L"", statusText_).Get())
            .CopyTo(value);
    case AccSessionProp::StatusLink:
        return CVariant::Object(CAccBartItem::Make(this, AccBartType::StatusLink, L"", statusLink_).Get())
            .CopyTo(value);
    case AccSessionProp::BuddyIcon:
    case AccSessionProp::Wallpaper:
    case AccSessionProp::FlashWallpaper:
    case AccSessionProp::ImmersiveWallpaper:
    case AccSessionProp::SmileySet:
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

void CAccSession::RaiseOwnPropertyChange(long id)
{
    Raise(AccEvent::SessionPropertyChange, {CVariant::Object(Dispatch()), CVariant::Int(id)});
    if (IsOwnPresenceProperty(id))
        Raise(AccEvent::SessionStatusChange, {CVariant::Object(Dispatch()), CVariant::Int(id)});
}

HRESULT CAccSession::PutAwayMessage(const VARIANT& value)
{
    std::wstring html;
    if (!ContentToHtml(value, html))
        return DISP_E_TYPEMISMATCH;
    if (static_cast<long>(html.size()) > kAwayMessageLimit)
        return E_INVALIDARG;
    if (Online()) {
        HRESULT hr = transport_->SetAwayMessage(html);
        if (FAILED(hr))
            return hr;
    }
    if (html.empty())
        awayMessage_.Reset();
    else
        awayMessage_ = CAccIm::Make(html, L"text/html");
    RaiseOwnPropertyChange(AccSessionProp::AwayMessage);
    return S_OK;
}

HRESULT CAccSession::PutProfile(const VARIANT& value)
{
    std::wstring html;
    if (!ContentToHtml(value, html))
        return DISP_E_TYPEMISMATCH;
    if (static_cast<long>(html.size()) > kProfileLimit)
        return E_INVALIDARG;
    // The profile lives in the client's store, where the profile window
    // also reads it.
    HRESULT hr = WritePreference(Pref::Profile, CVariant::Text(html).Get());
    if (FAILED(hr))
        return hr;
    if (Online())
        transport_->SetProfile(html);
    RaiseOwnPropertyChange(AccSessionProp::Profile);
    return S_OK;
}

HRESULT CAccSession::GetAdditionalAccounts(VARIANT* value)
{
    const std::wstring own = NormalizeScreenName(identity_);
    if (own.empty())
        return CVariant::TextArray({}).CopyTo(value);
    CVariant stored;
    HRESULT hr = ReadPreference(std::wstring(Pref::AdditionalAccountsPrefix) + own, stored);
    if (hr == S_OK && stored.Type() == (VT_ARRAY | VT_VARIANT))
        return stored.CopyTo(value);
    // A single name stored as plain text is a list of one.
    std::wstring single;
    if (hr == S_OK && VariantToText(stored.Get(), single) && !single.empty())
        return CVariant::TextArray({single}).CopyTo(value);
    return CVariant::TextArray({}).CopyTo(value);
}

HRESULT CAccSession::PutAdditionalAccounts(const VARIANT& value)
{
    const std::wstring own = NormalizeScreenName(identity_);
    if (own.empty())
        return E_UNEXPECTED;
    const std::wstring name = std::wstring(Pref::AdditionalAccountsPrefix) + own;
    if (value.vt == VT_EMPTY) {
        ErasePreference(name);
        RaiseOwnPropertyChange(AccSessionProp::AdditionalAccounts);
        return S_OK;
    }
    if (!(value.vt & VT_ARRAY))
        return DISP_E_TYPEMISMATCH;
    HRESULT hr = WritePreference(name, value);
    if (FAILED(hr))
        return hr;
    RaiseOwnPropertyChange(AccSessionProp::AdditionalAccounts);
    return S_OK;
}

std::wstring CAccSession::StoredPassword()
{
    ComPtr<IAccPreferencesHook2> hook;
    if (!hook_ || FAILED(hook_.As(&hook)))
        return {};
    CNameArg arg(std::wstring(Pref::StoredPasswordPrefix) + NormalizeScreenName(identity_));
    if (!arg.Get())
        return {};
    CVariant value;
    std::wstring text;
    if (hook->ReadProtectedPreference(arg.Get(), value.Out()) != S_OK || !VariantToText(value.Get(), text))
        return {};
    return text;
}

HRESULT CAccSession::PutProperty(long id, const VARIANT& value)
{
    switch (id) {
    case AccSessionProp::Identity: {
        std::wstring name;
        if (!VariantToText(value, name))
            return DISP_E_TYPEMISMATCH;
        BSTR text = MakeBstr(name);
        if (!text)
            return E_OUTOFMEMORY;
        HRESULT hr = put_Identity(text);
        SysFreeString(text);
        return hr;
    }
    case AccSessionProp::Profile:
        return PutProfile(value);
    case AccSessionProp::AwayMessage:
        return PutAwayMessage(value);
    case AccSessionProp::Invisible: {
        bool invisible = false;
        if (!VariantToBool(value, invisible))
            return DISP_E_TYPEMISMATCH;
        if (invisible == invisible_)
            return S_FALSE;
        if (Online()) {
            HRESULT hr = transport_->SetInvisible(invisible);
            if (FAILED(hr))
                return hr;
        }
        invisible_ = invisible;
        RaiseOwnPropertyChange(AccSessionProp::Invisible);
        return S_OK;
    }
    case AccSessionProp::IdleThreshold:
    case AccSessionProp::IdleTime: {
        long seconds = 0;
        if (!VariantToLong(value, seconds) || seconds < 0)
            return DISP_E_TYPEMISMATCH;
        (id == AccSessionProp::IdleThreshold ? idleThreshold_ : idleTime_) = seconds;
        // A threshold of 0 means "idle now", reported with the idle time
        // set just before it; any other threshold ends a reported idleness
        // and measures afresh against the new threshold.
        if (Online() && id == AccSessionProp::IdleThreshold) {
            transport_->SetIdle(seconds == 0 ? idleTime_ : 0);
            StartIdleWatch();
        }
        return S_OK;
    }
    case AccSessionProp::AdditionalAccounts:
        return PutAdditionalAccounts(value);
    case AccSessionProp::PrimarySession: {
        if (value.vt != VT_DISPATCH && value.vt != VT_EMPTY)
            return DISP_E_TYPEMISMATCH;
        primarySession_ = value.vt == VT_DISPATCH ? value.pdispVal : nullptr;
        return S_OK;
    }
    case AccSessionProp::StatusText:
    case AccSessionProp::StatusLink: {
        std::wstring text;
        if (!VariantToText(value, text))
            return DISP_E_TYPEMISMATCH;
        if (id == AccSessionProp::StatusText && Online()) {
            HRESULT hr = transport_->SetStatusText(text);
            if (FAILED(hr))
                return hr;
        }
        (id == AccSessionProp::StatusText ? statusText_ : statusLink_) = text;
        RaiseOwnPropertyChange(id);
        return S_OK;
    }
    default:
        return CAccObject::PutProperty(id, value);
    }
}

// ---------------------------------------------------------------------------
// Operations of the children
// ---------------------------------------------------------------------------

HRESULT CAccSession::SendIm(CAccImSession* imSession, CAccIm* im)
{
    if (!Online())
        return ACC_E_NOT_CONNECTED;
    uint32_t token = nextToken_++;
    ComPtr<CAccUser> recipient(imSession->Remote());
    HRESULT hr = transport_->SendIm(token, recipient->Name(), im->Html(), im->Flags());
    if (FAILED(hr))
        return hr;
    pendingSends_[token] = PendingSend{imSession, im, recipient};
    ComPtr<CAccUser> local = LocalUser();
    Raise(AccEvent::MessageSent, {CVariant::Object(Dispatch()), CVariant::Object(imSession),
                                  CVariant::Object(local.Get()), CVariant::Object(im)});
    return S_OK;
}

HRESULT CAccSession::SendTyping(const std::wstring& screenName, long state)
{
    if (!Online())
        return ACC_E_NOT_CONNECTED;
    return transport_->SendTyping(screenName, state);
}

HRESULT CAccSession::RequestUserText(CAccUser* user, long property, long* requestId)
{
    if (!Online())
        return ACC_E_NOT_CONNECTED;
    uint32_t token = nextToken_++;
    HRESULT hr = transport_->RequestUserText(token, user->Name(), static_cast<UserText>(property));
    if (FAILED(hr))
        return hr;
    long request = NextRequestId();
    pendingUserTexts_[token] = PendingUserText{user, property, request};
    *requestId = request;
    return S_OK;
}

// ---------------------------------------------------------------------------
// What the transport reports
// ---------------------------------------------------------------------------

void CAccSession::OnState(long state, HRESULT result)
{
    if (!transport_)
        return;
    if (state == AccState::Offline) {
        EndSession(result);
        return;
    }
    SetState(state, S_OK);
    if (state == AccState::Online) {
        StartIdleWatch();
        // The list arrived before this; the client takes it as ready now.
        Raise(AccEvent::BuddyListReady, {CVariant::Object(Dispatch()), CVariant::Object(buddyList_.Get()),
                                         CVariant::Int(AccBuddyListReadyValue)});
    }
}

void CAccSession::OnSelfInfo(const UserInfo& self)
{
    // The server's formatting of this account's name becomes the identity.
    if (!self.screenName.empty() && SameScreenName(self.screenName, identity_))
        identity_ = self.screenName;
    LocalUser()->ApplyInfo(self);
}

void CAccSession::OnBuddyList(const BuddyListContents& list)
{
    buddyList_->Load(list);
    Raise(AccEvent::BuddyListChange,
          {CVariant::Object(Dispatch()), CVariant::Object(buddyList_.Get()), CVariant::Int(0), CVariant::Int(S_OK)});
}

void CAccSession::OnGroupAdded(const std::wstring& name, long position, HRESULT result)
{
    ComPtr<CAccGroup> group = SUCCEEDED(result) ? buddyList_->AddGroup(name, position) : nullptr;
    if (SUCCEEDED(result) && !group)
        return;
    if (!group)
        group = buddyList_->PendingGroup(name);
    Raise(AccEvent::GroupAdded, {CVariant::Object(Dispatch()), CVariant::Object(buddyList_.Get()),
                                 CVariant::Object(group.Get()), CVariant::Int(position), CVariant::Int(result)});
}

void CAccSession::OnGroupRemoved(const std::wstring& name, HRESULT result)
{
    ComPtr<CAccGroup> group = SUCCEEDED(result) ? buddyList_->RemoveGroup(name) : buddyList_->StoredGroup(name);
    if (!group)
        return;
    Raise(AccEvent::GroupRemoved, {CVariant::Object(Dispatch()), CVariant::Object(group.Get()), CVariant::Int(result)});
    if (SUCCEEDED(result))
        group->Detach();
}

void CAccSession::OnGroupMoved(const std::wstring& name, long position, HRESULT result)
{
    if (FAILED(result))
        return;
    ComPtr<CAccGroup> group = buddyList_->MoveGroup(name, position);
    if (group)
        Raise(AccEvent::GroupChange,
              {CVariant::Object(Dispatch()), CVariant::Object(group.Get()), CVariant::Int(AccGroupChange::Moved)});
}

void CAccSession::OnGroupRenamed(const std::wstring& oldName, const std::wstring& newName, HRESULT result)
{
    if (FAILED(result))
        return;
    ComPtr<CAccGroup> group = buddyList_->RenameGroup(oldName, newName);
    if (group)
        Raise(AccEvent::GroupChange, {CVariant::Object(Dispatch()), CVariant::Object(group.Get()),
                                      CVariant::Int(AccGroupChange::Appearance)});
}

void CAccSession::OnBuddyAdded(const std::wstring& groupName, const BuddyEntry& buddy, long position, HRESULT result)
{
    ComPtr<CAccGroup> group = buddyList_->StoredGroup(groupName);
    if (!group)
        return;
    ComPtr<CAccUser> user = User(buddy.screenName);
    if (SUCCEEDED(result)) {
        if (group->HasMember(user.Get()))
            return;
        // The server's entry for a buddy this client just added carries no
        // alias or note yet; what the client set meanwhile stays.
        user->MergeBuddyDetails(buddy.alias, buddy.note);
        if (user->Presence() == AccPresence::Unknown)
            user->SetOffline();
        auto& members = group->Members();
        if (position < 0 || position > static_cast<long>(members.size()))
            position = static_cast<long>(members.size());
        members.insert(members.begin() + position, user);
    }
    // The client learns where it sees the buddy (which may be the offline group).
    ComPtr<CAccGroup> shownIn = group;
    long index = -1;
    if (SUCCEEDED(result) && !buddyList_->Placement(user.Get(), shownIn, index))
        shownIn = group;
    Raise(AccEvent::BuddyAdded, {CVariant::Object(Dispatch()), CVariant::Object(shownIn.Get()),
                                 CVariant::Object(user.Get()), CVariant::Int(index), CVariant::Int(result)});
}

void CAccSession::OnBuddyRemoved(const std::wstring& groupName, const std::wstring& screenName, HRESULT result)
{
    ComPtr<CAccGroup> group = buddyList_->StoredGroup(groupName);
    if (!group)
        return;
    ComPtr<CAccUser> user = User(screenName);
    if (!group->HasMember(user.Get()))
        return;
    // An offline buddy is seen in the offline group; it leaves that group
    // only with its last stored group.
    ComPtr<CAccGroup> shownIn = group;
    if (!user->Online() && buddyList_->ShowsOfflineGroup() && buddyList_->GroupsHolding(user.Get()).size() == 1)
        shownIn = buddyList_->OfflineGroup();
    if (SUCCEEDED(result)) {
        auto& members = group->Members();
        members.erase(std::remove(members.begin(), members.end(), user), members.end());
    }
    Raise(AccEvent::BuddyRemoved, {CVariant::Object(Dispatch()), CVariant::Object(shownIn.Get()),
                                   CVariant::Object(user.Get()), CVariant::Int(result)});
}

void CAccSession::OnBuddyMoved(const std::wstring& fromGroup, const std::wstring& screenName,
                               const std::wstring& toGroup, long position, HRESULT result)
{
    ComPtr<CAccGroup> from = buddyList_->StoredGroup(fromGroup);
    ComPtr<CAccGroup> to = buddyList_->StoredGroup(toGroup);
    if (!from || !to)
        return;
    ComPtr<CAccUser> user = User(screenName);
    if (!from->HasMember(user.Get()))
        return;
    long oldIndex = from->ListedIndex(user.Get());
    if (SUCCEEDED(result)) {
        auto& source = from->Members();
        source.erase(std::remove(source.begin(), source.end(), user), source.end());
        auto& target = to->Members();
        if (!to->HasMember(user.Get())) {
            if (position < 0 || position > static_cast<long>(target.size()))
                position = static_cast<long>(target.size());
            target.insert(target.begin() + position, user);
        }
    }
    long newIndex = SUCCEEDED(result) ? to->ListedIndex(user.Get()) : -1;
    Raise(AccEvent::BuddyMoved, {CVariant::Object(Dispatch()), CVariant::Object(from.Get()), CVariant::Int(oldIndex),
                                 CVariant::Object(to.Get()), CVariant::Int(newIndex), CVariant::Object(user.Get()),
                                 CVariant::Int(result)});
}

void CAccSession::OnUserArrived(const UserInfo& info)
{
    if (info.screenName.empty())
        return;
    ComPtr<CAccUser> user = User(info.screenName);
    ComPtr<CAccUser> before = user->Snapshot();
    for (long property : user->ApplyInfo(info)) {
        Raise(AccEvent::BuddyChange, {CVariant::Object(Dispatch()), CVariant::Object(before.Get()),
                                      CVariant::Object(user.Get()), CVariant::Int(property), CVariant::Int(S_OK)});
    }
}

void CAccSession::OnUserDeparted(const std::wstring& screenName)
{
    ComPtr<CAccUser> user = User(screenName);
    ComPtr<CAccUser> before = user->Snapshot();
    for (long property : user->SetOffline()) {
        Raise(AccEvent::BuddyChange, {CVariant::Object(Dispatch()), CVariant::Object(before.Get()),
                                      CVariant::Object(user.Get()), CVariant::Int(property), CVariant::Int(S_OK)});
    }
}

void CAccSession::OnImReceived(const IncomingIm& im)
{
    if (im.from.empty())
        return;
    bool created = false;
    ComPtr<CAccImSession> imSession = ImSessionWith(im.from, true, &created);
    ComPtr<CAccUser> sender = User(im.from);
    if (created) {
        Raise(AccEvent::SecondarySessionOffered,
              {CVariant::Object(Dispatch()), CVariant::Object(imSession.Get()), CVariant::Int(AccSecondaryType::Im)});
    }
    long flags = 0;
    if (im.autoResponse)
        flags |= AccImFlags::AutoResponse;
    if (im.offline)
        flags |= AccImFlags::Offline;
    ComPtr<CAccIm> message = CAccIm::Make(im.html, L"text/html", flags);
    Raise(AccEvent::MessageReceived, {CVariant::Object(Dispatch()), CVariant::Object(imSession.Get()),
                                      CVariant::Object(sender.Get()), CVariant::Object(message.Get())});

    // While away, a message from a person (not another automatic reply) is
    // answered with the away message, marked as automatic.
    if (awayMessage_ && !im.autoResponse && !im.offline && PreferenceBool(Pref::AutoRespond, true)) {
        ComPtr<CAccIm> reply = CAccIm::Make(awayMessage_->Html(), L"text/html", AccImFlags::AutoResponse);
        SendIm(imSession.Get(), reply.Get());
    }
}

void CAccSession::OnTyping(const std::wstring& from, long state)
{
    ComPtr<CAccImSession> imSession = ImSessionWith(from, false, nullptr);
    if (!imSession)
        return;
    Raise(AccEvent::TypingChange, {CVariant::Object(Dispatch()), CVariant::Object(imSession.Get()),
                                   CVariant::Object(imSession->Remote()), CVariant::Int(state)});
}

void CAccSession::OnSendResult(uint32_t token, HRESULT result)
{
    auto it = pendingSends_.find(token);
    if (it == pendingSends_.end())
        return;
    PendingSend send = it->second;
    pendingSends_.erase(it);
    Raise(AccEvent::SendResult, {CVariant::Object(Dispatch()), CVariant::Object(send.imSession.Get()),
                                 CVariant::Object(send.recipient.Get()), CVariant::Object(send.im.Get()),
                                 CVariant::Int(result)});
}

void CAccSession::OnUserText(uint32_t token, const std::wstring&, UserText, const std::wstring& html, HRESULT result)
{
    auto it = pendingUserTexts_.find(token);
    if (it == pendingUserTexts_.end())
        return;
    PendingUserText request = it->second;
    pendingUserTexts_.erase(it);
    CVariant value;
    if (SUCCEEDED(result)) {
        ComPtr<CAccIm> text = CAccIm::Make(html, L"text/html");
        request.user->SetText(request.property, text);
        value = CVariant::Object(text.Get());
    }
    Raise(AccEvent::UserRequestDone, {CVariant::Object(Dispatch()), CVariant::Object(request.user.Get()),
                                      CVariant::Int(request.property), CVariant::Int(request.requestId),
                                      CVariant::Int(result), value});
}

} // namespace AIMCC
