#include "AccTestSupport.h"

#include "EventWindow.h"
#include "Session.h"

#include <olectl.h>
#include <algorithm>
#include <shlwapi.h>

namespace acctest {

using namespace AIMCC;



// ---------------------------------------------------------------------------
// RecordedEvent
// ---------------------------------------------------------------------------

long RecordedEvent::Long(size_t i) const
{
    long value = 0;
    if (i < args.size())
        VariantToLong(args[i].Get(), value);
    return value;
}

std::wstring RecordedEvent::Text(size_t i) const
{
    std::wstring value;
    if (i < args.size())
        VariantToText(args[i].Get(), value);
    return value;
}

IDispatch* RecordedEvent::Object(size_t i) const
{
    if (i >= args.size() || args[i].Type() != VT_DISPATCH)
        return nullptr;
    return args[i].Get().pdispVal;
}

CVariant RecordedEvent::Property(size_t i, long property) const
{
    CVariant value;
    ComPtr<IAccObject> object;
    if (Object(i) && SUCCEEDED(Object(i)->QueryInterface(IID_PPV_ARGS(&object))))
        object->get_Property(property, value.Out());
    return value;
}

// ---------------------------------------------------------------------------
// CEventRecorder
// ---------------------------------------------------------------------------

ComPtr<CEventRecorder> CEventRecorder::Make()
{
    ComPtr<CEventRecorder> sink;
    *sink.ReleaseAndGetAddressOf() = new CEventRecorder();
    return sink;
}

HRESULT STDMETHODCALLTYPE CEventRecorder::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, DIID_DAccEvents)) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CEventRecorder::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG STDMETHODCALLTYPE CEventRecorder::Release()
{
    LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0)
        delete this;
    return static_cast<ULONG>(refs);
}

HRESULT STDMETHODCALLTYPE CEventRecorder::GetTypeInfoCount(UINT* count)
{
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CEventRecorder::GetTypeInfo(UINT, LCID, ITypeInfo**)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CEventRecorder::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CEventRecorder::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                                 EXCEPINFO*, UINT*)
{
    RecordedEvent event;
    event.id = id;
    event.threadId = GetCurrentThreadId();
    // COM's order is reversed: the first argument of the table is last.
    for (UINT i = params->cArgs; i > 0; --i)
        event.args.emplace_back(params->rgvarg[i - 1]);
    events_.push_back(std::move(event));
    return S_OK;
}

HRESULT CEventRecorder::Connect(IUnknown* source)
{
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = source->QueryInterface(IID_PPV_ARGS(&container));
    if (FAILED(hr))
        return hr;
    hr = container->FindConnectionPoint(DIID_DAccEvents, &point_);
    if (FAILED(hr))
        return hr;
    return point_->Advise(static_cast<IDispatch*>(this), &cookie_);
}

void CEventRecorder::Disconnect()
{
    if (point_)
        point_->Unadvise(cookie_);
    point_.Reset();
}

std::vector<RecordedEvent> CEventRecorder::Of(DISPID id) const
{
    std::vector<RecordedEvent> found;
    for (const RecordedEvent& event : events_) {
        if (event.id == id)
            found.push_back(event);
    }
    return found;
}

std::optional<RecordedEvent> CEventRecorder::WaitFor(DISPID id,
                                                     const std::function<bool(const RecordedEvent&)>& match,
                                                     DWORD timeoutMs)
{
    std::optional<RecordedEvent> found;
    auto look = [&] {
        for (const RecordedEvent& event : events_) {
            if (event.id == id && (!match || match(event))) {
                found = event;
                return true;
            }
        }
        return false;
    };
    PumpUntil(look, timeoutMs);
    return found;
}

std::vector<long> CEventRecorder::States() const
{
    std::vector<long> states;
    for (const RecordedEvent& event : events_) {
        if (event.id == AccEvent::StateChange)
            states.push_back(event.Long(1));
    }
    return states;
}

// ---------------------------------------------------------------------------
// CMapHook
// ---------------------------------------------------------------------------

ComPtr<CMapHook> CMapHook::Make()
{
    ComPtr<CMapHook> hook;
    *hook.ReleaseAndGetAddressOf() = new CMapHook();
    return hook;
}

HRESULT STDMETHODCALLTYPE CMapHook::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IAccPreferencesHook2)) {
        *object = static_cast<IAccPreferencesHook2*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CMapHook::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG STDMETHODCALLTYPE CMapHook::Release()
{
    LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0)
        delete this;
    return static_cast<ULONG>(refs);
}

HRESULT STDMETHODCALLTYPE CMapHook::ReadPreference(BSTR name, VARIANT* value)
{
    VariantInit(value);
    std::wstring key(BstrView(name));
    ++reads[key];
    auto it = values.find(key);
    if (it == values.end() || it->second.empty())
        return ACC_E_PREFERENCE_NOT_SET;
    value->vt = VT_BSTR;
    value->bstrVal = SysAllocString(it->second.c_str());
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CMapHook::ReadPreferenceDefault(BSTR, VARIANT* value)
{
    VariantInit(value);
    return ACC_E_PREFERENCE_NOT_SET;
}

HRESULT STDMETHODCALLTYPE CMapHook::WritePreference(BSTR name, VARIANT value)
{
    std::wstring text;
    if (!VariantToText(value, text))
        return E_FAIL;
    values[std::wstring(BstrView(name))] = text;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CMapHook::ErasePreference(BSTR name)
{
    return values.erase(std::wstring(BstrView(name))) ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE CMapHook::ListPreferenceChildren(BSTR, VARIANT* children)
{
    VariantInit(children);
    return E_FAIL;
}

HRESULT STDMETHODCALLTYPE CMapHook::ReadProtectedPreference(BSTR name, VARIANT* value)
{
    return ReadPreference(name, value);
}

HRESULT STDMETHODCALLTYPE CMapHook::WriteProtectedPreference(BSTR name, VARIANT value)
{
    return WritePreference(name, value);
}

HRESULT STDMETHODCALLTYPE CMapHook::EraseProtectedPreference(BSTR name)
{
    return ErasePreference(name);
}

// ---------------------------------------------------------------------------
// The scripted transport
// ---------------------------------------------------------------------------

class CScriptedTransport : public ITransport {
public:
    CScriptedTransport(CFakeNetwork& network, std::shared_ptr<CEventWindow> loop, ITransportEvents& events)
        : network_(network), loop_(std::move(loop)), events_(events), life_(std::make_shared<bool>(true))
    {
        network_.events_ = &events_;
        network_.loop_ = loop_;
        network_.alive_ = true;
    }
    ~CScriptedTransport() override
    {
        *life_ = false;
        if (network_.events_ == &events_)
            network_.alive_ = false;
    }

    HRESULT SignOn(const SignOnSettings& settings) override
    {
        Record(L"SignOn", {settings.screenName, settings.host, std::to_wstring(settings.port)});
        network_.lastSignOn = settings;
        ++network_.signOns;
        if (FAILED(network_.refuseSignOn))
            return network_.refuseSignOn;
        bool good = settings.password == network_.goodPassword;
        Later([this] { events_.OnState(AccState::Challenge, S_OK); });
        Later([this] { events_.OnState(AccState::Authorizing, S_OK); });
        if (!good) {
            Later([this] { events_.OnState(AccState::Offline, network_.signOnFailure); });
            return S_OK;
        }
        Later([this] { events_.OnState(AccState::Redirecting, S_OK); });
        Later([this] { events_.OnState(AccState::ConnectingService, S_OK); });
        Later([this] { events_.OnState(AccState::ServiceSetup, S_OK); });
        Later([this] { events_.OnBuddyList(network_.buddyList); });
        Later([this] { events_.OnState(AccState::Online, S_OK); });
        return S_OK;
    }
    void SignOff() override { Record(L"SignOff", {}); }
    HRESULT SendIm(uint32_t token, const std::wstring& to, const std::wstring& html, long flags) override
    {
        Record(L"SendIm", {to, html, std::to_wstring(flags)});
        HRESULT result = network_.sendResult;
        Later([this, token, result] { events_.OnSendResult(token, result); });
        return S_OK;
    }
    HRESULT SendTyping(const std::wstring& to, long state) override
    {
        Record(L"SendTyping", {to, std::to_wstring(state)});
        return S_OK;
    }
    HRESULT RequestUserText(uint32_t token, const std::wstring& screenName, UserText kind) override
    {
        Record(L"RequestUserText", {screenName, std::to_wstring(static_cast<long>(kind))});
        std::wstring name = screenName;
        Later([this, token, name, kind] {
            events_.OnUserText(token, name, kind, L"<b>text of " + name + L"</b>", S_OK);
        });
        return S_OK;
    }
    HRESULT SetAwayMessage(const std::wstring& html) override { return Simple(L"SetAwayMessage", html); }
    HRESULT SetProfile(const std::wstring& html) override { return Simple(L"SetProfile", html); }
    HRESULT SetInvisible(bool invisible) override { return Simple(L"SetInvisible", invisible ? L"1" : L"0"); }
    HRESULT SetIdle(long seconds) override { return Simple(L"SetIdle", std::to_wstring(seconds)); }
    HRESULT SetStatusText(const std::wstring& text) override { return Simple(L"SetStatusText", text); }

    HRESULT AddGroup(const std::wstring& name, long position) override
    {
        Record(L"AddGroup", {name, std::to_wstring(position)});
        HRESULT result = network_.editResult;
        Later([this, name, position, result] { events_.OnGroupAdded(name, position, result); });
        return S_OK;
    }
    HRESULT RemoveGroup(const std::wstring& name) override
    {
        Record(L"RemoveGroup", {name});
        HRESULT result = network_.editResult;
        Later([this, name, result] { events_.OnGroupRemoved(name, result); });
        return S_OK;
    }
    HRESULT MoveGroup(const std::wstring& name, long position) override
    {
        Record(L"MoveGroup", {name, std::to_wstring(position)});
        HRESULT result = network_.editResult;
        Later([this, name, position, result] { events_.OnGroupMoved(name, position, result); });
        return S_OK;
    }
    HRESULT RenameGroup(const std::wstring& oldName, const std::wstring& newName) override
    {
        Record(L"RenameGroup", {oldName, newName});
        HRESULT result = network_.editResult;
        Later([this, oldName, newName, result] { events_.OnGroupRenamed(oldName, newName, result); });
        return S_OK;
    }
    HRESULT AddBuddy(const std::wstring& group, const std::wstring& screenName, long position) override
    {
        Record(L"AddBuddy", {group, screenName, std::to_wstring(position)});
        HRESULT result = network_.editResult;
        Later([this, group, screenName, position, result] {
            events_.OnBuddyAdded(group, BuddyEntry{screenName, L"", L""}, position, result);
        });
        return S_OK;
    }
    HRESULT RemoveBuddy(const std::wstring& group, const std::wstring& screenName) override
    {
        Record(L"RemoveBuddy", {group, screenName});
        HRESULT result = network_.editResult;
        Later([this, group, screenName, result] { events_.OnBuddyRemoved(group, screenName, result); });
        return S_OK;
    }
    HRESULT MoveBuddy(const std::wstring& fromGroup, const std::wstring& screenName, const std::wstring& toGroup,
                      long position) override
    {
        Record(L"MoveBuddy", {fromGroup, screenName, toGroup, std::to_wstring(position)});
        HRESULT result = network_.editResult;
        Later([this, fromGroup, screenName, toGroup, position, result] {
            events_.OnBuddyMoved(fromGroup, screenName, toGroup, position, result);
        });
        return S_OK;
    }

private:
    void Record(const wchar_t* what, std::vector<std::wstring> args)
    {
        network_.calls.push_back(TransportCall{what, std::move(args)});
    }
    HRESULT Simple(const wchar_t* what, const std::wstring& arg)
    {
        Record(what, {arg});
        return S_OK;
    }
    // Reports go through the loop, as a real transport's would, and stop
    // once this transport is gone.
    void Later(std::function<void()> report)
    {
        std::weak_ptr<bool> life = life_;
        loop_->Post([life, report = std::move(report)] {
            auto alive = life.lock();
            if (alive && *alive)
                report();
        });
    }

    CFakeNetwork& network_;
    std::shared_ptr<CEventWindow> loop_;
    ITransportEvents& events_;
    std::shared_ptr<bool> life_;
};

CFakeNetwork::CFakeNetwork() = default;

TransportFactory CFakeNetwork::Factory()
{
    return [this](const std::shared_ptr<CEventWindow>& loop, ITransportEvents& events) -> std::unique_ptr<ITransport> {
        return std::make_unique<CScriptedTransport>(*this, loop, events);
    };
}

std::vector<TransportCall> CFakeNetwork::CallsOf(const std::wstring& what) const
{
    std::vector<TransportCall> found;
    for (const TransportCall& call : calls) {
        if (call.what == what)
            found.push_back(call);
    }
    return found;
}

HRESULT CreateScriptedSession(CFakeNetwork& network, IAccSession** session)
{
    return CAccSession::Create(network.Factory(), IID_IAccSession, reinterpret_cast<void**>(session));
}

std::wstring PropertyText(IAccObject* object, long property)
{
    CVariant value;
    std::wstring text;
    if (SUCCEEDED(object->get_Property(property, value.Out())))
        VariantToText(value.Get(), text);
    return text;
}

long PropertyLong(IAccObject* object, long property)
{
    CVariant value;
    long number = -12345;
    if (SUCCEEDED(object->get_Property(property, value.Out())))
        VariantToLong(value.Get(), number);
    return number;
}

bool PropertyBool(IAccObject* object, long property)
{
    CVariant value;
    bool flag = false;
    if (SUCCEEDED(object->get_Property(property, value.Out())))
        VariantToBool(value.Get(), flag);
    return flag;
}

} // namespace acctest
