#include "AccEventSink.h"

#include <utility>

using Microsoft::WRL::ComPtr;

namespace AIMCC {

namespace {

struct EventArity {
    DISPID id;
    int count;
};

// Every event the layer can raise, with the number of arguments its handler
// takes.
constexpr EventArity kArities[] = {
    {100, 3}, {101, 2}, {102, 2}, {103, 4}, {104, 6}, {105, 5}, {106, 4}, {107, 3}, {108, 6}, {109, 3},
    {110, 2}, {120, 6}, {121, 6}, {201, 4}, {202, 3}, {203, 5}, {204, 5}, {205, 4}, {206, 7}, {207, 3},
    {208, 3}, {209, 5}, {210, 1}, {211, 1}, {300, 3}, {301, 5}, {302, 3}, {400, 3}, {500, 3}, {501, 4},
    {502, 3}, {503, 3}, {504, 6}, {505, 5}, {506, 5}, {507, 5}, {600, 4}, {601, 4}, {602, 5}, {603, 4},
    {604, 4}, {605, 4}, {606, 5}, {607, 5}, {608, 3}, {611, 3}, {612, 3}, {613, 3}, {700, 3}, {701, 3},
    {702, 3}, {703, 4}, {704, 3}, {800, 5}, {801, 5}, {900, 6}, {901, 4}, {902, 4}, {903, 4}, {1002, 5},
    {1004, 4}, {1100, 4}, {1101, 3}, {1102, 3},
};

// The same object whatever interface it was reached through.
ComPtr<IUnknown> Identity(IUnknown* object)
{
    ComPtr<IUnknown> identity;
    if (object)
        object->QueryInterface(IID_PPV_ARGS(&identity));
    return identity;
}

} // namespace

// The arguments of one event in the order the handler lists them (COM hands
// them over reversed). Objects are held here for the length of the call.
class CAccEventArgs {
public:
    explicit CAccEventArgs(const DISPPARAMS* params) : params_(params) { VariantInit(&empty_); }

    UINT Count() const { return params_ && (params_->cArgs == 0 || params_->rgvarg) ? params_->cArgs : 0; }

    const VARIANT& Variant(UINT index) const
    {
        if (index >= Count())
            return empty_;
        return params_->rgvarg[params_->cArgs - 1 - index];
    }

    long Long(UINT index) const
    {
        VARIANT converted;
        VariantInit(&converted);
        long number = 0;
        if (SUCCEEDED(VariantChangeType(&converted, const_cast<VARIANT*>(&Variant(index)), 0, VT_I4)))
            number = converted.lVal;
        VariantClear(&converted);
        return number;
    }

    HRESULT Result(UINT index) const { return static_cast<HRESULT>(Long(index)); }

    bool Bool(UINT index) const { return Long(index) != 0; }

    std::wstring Text(UINT index) const
    {
        VARIANT converted;
        VariantInit(&converted);
        std::wstring text;
        if (SUCCEEDED(VariantChangeType(&converted, const_cast<VARIANT*>(&Variant(index)), 0, VT_BSTR))
            && converted.bstrVal)
            text.assign(converted.bstrVal, SysStringLen(converted.bstrVal));
        VariantClear(&converted);
        return text;
    }

    template <typename T>
    T* Object(UINT index)
    {
        const VARIANT& value = Variant(index);
        IUnknown* object = nullptr;
        if (value.vt == VT_DISPATCH || value.vt == VT_UNKNOWN)
            object = value.punkVal;
        else if (value.vt == (VT_DISPATCH | VT_BYREF) || value.vt == (VT_UNKNOWN | VT_BYREF))
            object = value.ppunkVal ? *value.ppunkVal : nullptr;
        ComPtr<T> typed;
        if (!object || FAILED(object->QueryInterface(__uuidof(T), reinterpret_cast<void**>(typed.GetAddressOf()))))
            return nullptr;
        T* raw = typed.Get();
        held_.emplace_back(std::move(typed));
        return raw;
    }

private:
    const DISPPARAMS* params_;
    VARIANT empty_;
    std::vector<ComPtr<IUnknown>> held_;
};

CAccEventSink::~CAccEventSink()
{
    // A sink that goes while still advised would leave the sources calling
    // freed memory; normally every connection is gone by now.
    for (Connection& connection : connections_)
        connection.point->Unadvise(connection.cookie);
}

HRESULT STDMETHODCALLTYPE CAccEventSink::QueryInterface(REFIID riid, void** object)
{
    if (object && IsEqualIID(riid, DIID_DAccEvents)) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return CAccObject<IDispatch>::QueryInterface(riid, object);
}

HRESULT STDMETHODCALLTYPE CAccEventSink::GetTypeInfoCount(UINT* count)
{
    if (count)
        *count = 0;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CAccEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CAccEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

int CAccEventSink::ArgumentCount(DISPID id)
{
    for (const EventArity& arity : kArities) {
        if (arity.id == id)
            return arity.count;
    }
    return -1;
}

bool CAccEventSink::IsConnected(IUnknown* source) const
{
    const ComPtr<IUnknown> identity = Identity(source);
    for (const Connection& connection : connections_) {
        if (connection.source == identity)
            return true;
    }
    return false;
}

HRESULT CAccEventSink::Connect(IUnknown* source)
{
    if (!source)
        return E_POINTER;
    if (IsConnected(source))
        return E_UNEXPECTED;
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = source->QueryInterface(IID_PPV_ARGS(&container));
    ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(hr))
        hr = container->FindConnectionPoint(DIID_DAccEvents, &point);
    DWORD cookie = 0;
    if (SUCCEEDED(hr))
        hr = point->Advise(static_cast<IDispatch*>(this), &cookie);
    if (FAILED(hr))
        return hr;
    connections_.push_back({Identity(source), point, cookie});
    return S_OK;
}

HRESULT CAccEventSink::Disconnect(IUnknown* source)
{
    const ComPtr<IUnknown> identity = Identity(source);
    for (auto it = connections_.begin(); it != connections_.end(); ++it) {
        if (it->source != identity)
            continue;
        // Off the list first: unadvising may release the last reference
        // someone else held to this sink.
        const Connection connection = std::move(*it);
        connections_.erase(it);
        return connection.point->Unadvise(connection.cookie);
    }
    return 1;
}

HRESULT STDMETHODCALLTYPE CAccEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                                EXCEPINFO*, UINT*)
{
    // A handler may drop the last other reference to this sink.
    ComPtr<IDispatch> self(this);
    try {
        CAccEventArgs args(params);
        const int needed = ArgumentCount(id);
        if (needed >= 0 && args.Count() >= static_cast<UINT>(needed))
            Dispatch(id, args);
    } catch (...) {
        // The layer called us; nothing may travel back into it.
    }
    return S_OK;
}

void CAccEventSink::Dispatch(DISPID id, CAccEventArgs& a)
{
    switch (id) {
    case 100: OnStateChange(a.Object<IAccSession>(0), a.Long(1), a.Result(2)); break;
    case 101: OnSessionPropertyChange(a.Object<IAccSession>(0), a.Long(1)); break;
    case 102: OnSessionStatusChange(a.Object<IAccSession>(0), a.Long(1)); break;
    case 103: OnEvent103(a.Object<IAccSession>(0), a.Variant(1), a.Variant(2), a.Result(3)); break;
    case 104:
        OnWarnResult(a.Object<IAccSession>(0), a.Object<IAccUser>(1), a.Long(2), a.Long(3), a.Result(4), a.Variant(5));
        break;
    case 105: OnEvent105(a.Object<IAccSession>(0), a.Variant(1), a.Variant(2), a.Variant(3), a.Result(4)); break;
    case 106: OnEvent106(a.Object<IAccSession>(0), a.Variant(1), a.Variant(2), a.Result(3)); break;
    case 107: OnEvent107(a.Object<IAccSession>(0), a.Variant(1), a.Result(2)); break;
    case 108:
        OnServerUrlReady(a.Long(0), a.Result(1), a.Text(2), a.Object<IAccSession>(3), a.Text(4), a.Variant(5));
        break;
    case 109: OnRequestFailed(a.Object<IAccObject>(0), a.Long(1), a.Long(2)); break;
    case 110: OnNewMail(a.Object<IAccSession>(0), a.Object<IAccMail>(1)); break;
    case 120:
        OnBartItemRequestDone(a.Object<IAccSession>(0), a.Object<IAccBartItem>(1), a.Long(2), a.Long(3), a.Result(4),
                              a.Object<IAccObject>(5));
        break;
    case 121:
        OnUserRequestDone(a.Object<IAccSession>(0), a.Object<IAccUser>(1), a.Long(2), a.Long(3), a.Result(4),
                          a.Variant(5));
        break;
    case 201: OnBuddyListChange(a.Object<IAccSession>(0), a.Object<IAccBuddyList>(1), a.Long(2), a.Result(3)); break;
    case 202: OnGroupRemoved(a.Object<IAccSession>(0), a.Object<IAccGroup>(1), a.Result(2)); break;
    case 203:
        OnGroupAdded(a.Object<IAccSession>(0), a.Object<IAccBuddyList>(1), a.Object<IAccGroup>(2), a.Long(3),
                     a.Result(4));
        break;
    case 204:
        OnBuddyAdded(a.Object<IAccSession>(0), a.Object<IAccGroup>(1), a.Object<IAccUser>(2), a.Long(3), a.Result(4));
        break;
    case 205: OnBuddyRemoved(a.Object<IAccSession>(0), a.Object<IAccGroup>(1), a.Object<IAccUser>(2), a.Result(3)); break;
    case 206:
        OnBuddyMoved(a.Object<IAccSession>(0), a.Object<IAccGroup>(1), a.Long(2), a.Object<IAccGroup>(3), a.Long(4),
                     a.Object<IAccUser>(5), a.Result(6));
        break;
    case 207: OnBuddyListReady(a.Object<IAccSession>(0), a.Object<IAccBuddyList>(1), a.Long(2)); break;
    case 208: OnGroupChange(a.Object<IAccSession>(0), a.Object<IAccGroup>(1), a.Long(2)); break;
    case 209:
        OnBuddyChange(a.Object<IAccSession>(0), a.Object<IAccUser>(1), a.Object<IAccUser>(2), a.Long(3), a.Result(4));
        break;
    case 210: OnEvent210(a.Object<IAccSession>(0)); break;
    case 211: OnEvent211(a.Object<IAccSession>(0)); break;
    case 300: OnPreferenceChange(a.Object<IAccSession>(0), a.Text(1), a.Result(2)); break;
    case 301: OnEvent301(a.Object<IAccSession>(0), a.Variant(1), a.Variant(2), a.Variant(3), a.Result(4)); break;
    case 302: OnEvent302(a.Object<IAccSession>(0), a.Variant(1), a.Result(2)); break;
    case 400: OnEvent400(a.Object<IAccSession>(0), a.Variant(1), a.Result(2)); break;
    case 500: OnSecondarySessionOffered(a.Object<IAccSession>(0), a.Object<IAccObject>(1), a.Long(2)); break;
    case 501: OnSecondarySessionState(a.Object<IAccSession>(0), a.Object<IAccObject>(1), a.Long(2), a.Result(3)); break;
    case 502: OnImSessionEvent(a.Object<IAccSession>(0), a.Object<IAccImSession>(1), a.Long(2)); break;
    case 503: OnChatMemberJoined(a.Object<IAccSession>(0), a.Object<IAccImSession>(1), a.Object<IAccUser>(2)); break;
    case 504:
        OnChatMemberLeft(a.Object<IAccSession>(0), a.Object<IAccImSession>(1), a.Object<IAccUser>(2), a.Long(3),
                         a.Text(4), a.Result(5));
        break;
    case 505:
        OnChatEvent(a.Object<IAccSession>(0), a.Object<IAccImSession>(1), a.Long(2), a.Variant(3), a.Result(4));
        break;
    case 506:
        OnInviteResult(a.Object<IAccSession>(0), a.Object<IAccImSession>(1), a.Long(2), a.Text(3), a.Result(4));
        break;
    case 507:
        OnImSessionRequestDone(a.Object<IAccSession>(0), a.Object<IAccImSession>(1), a.Long(2), a.Variant(3),
                               a.Result(4));
        break;
    case 600: OnEvent600(a.Object<IAccSession>(0), a.Object<IAccImSession>(1), a.Variant(2), a.Result(3)); break;
    case 601:
        OnMessageSent(a.Object<IAccSession>(0), a.Object<IAccImSession>(1), a.Object<IAccUser>(2),
                      a.Object<IAccIm>(3));
        break;
    case 602:
        OnSendResult(a.Object<IAccSession>(0), a.Object<IAccImSession>(1), a.Object<IAccUser>(2), a.Object<IAccIm>(3),
                     a.Result(4));
        break;
    case 603: OnEvent603(a.Object<IAccSession>(0), a.Object<IAccImSession>(1), a.Variant(2), a.Result(3)); break;
    case 604:
        OnMessageReceived(a.Object<IAccSession>(0), a.Object<IAccImSession>(1), a.Object<IAccUser>(2),
                          a.Object<IAccIm>(3));
        break;
    case 605:
        OnTypingChange(a.Object<IAccSession>(0), a.Object<IAccImSession>(1), a.Object<IAccUser>(2), a.Long(3));
        break;
    case 606:
        OnDirectItemData(a.Object<IAccSession>(0), a.Object<IAccImSession>(1), a.Object<IAccIm>(2), a.Text(3),
                         a.Object<IAccStream>(4));
        break;
    case 607:
        OnDirectItemProgress(a.Object<IAccSession>(0), a.Object<IAccImSession>(1), a.Object<IAccIm>(2), a.Text(3),
                             a.Object<IAccStream>(4));
        break;
    case 608: OnNotification(a.Object<IAccSession>(0), a.Object<IAccImSession>(1), a.Object<IAccIm>(2)); break;
    case 611: OnImSessionNotice(a.Object<IAccSession>(0), a.Object<IAccImSession>(1), a.Long(2)); break;
    case 612: OnReceivedItemsDone(a.Object<IAccSession>(0), a.Object<IAccImSession>(1), a.Object<IAccIm>(2)); break;
    case 613: OnSentItemsDone(a.Object<IAccSession>(0), a.Object<IAccImSession>(1), a.Object<IAccIm>(2)); break;
    case 700: OnFileXferAdded(a.Object<IAccSession>(0), a.Object<IAccFileXfer>(1), a.Bool(2)); break;
    case 701: OnFileXferProgress(a.Object<IAccSession>(0), a.Object<IAccFileXfer>(1), a.Object<IAccFile>(2)); break;
    case 702: OnFileXferState(a.Object<IAccSession>(0), a.Object<IAccFileXfer>(1), a.Result(2)); break;
    case 703:
        OnFileXferCollision(a.Object<IAccSession>(0), a.Object<IAccFileXfer>(1), a.Object<IAccFile>(2), a.Long(3));
        break;
    case 704: OnFileXferDone(a.Object<IAccSession>(0), a.Object<IAccFileXfer>(1), a.Result(2)); break;
    case 800:
        OnFileShareAnswer(a.Object<IAccSession>(0), a.Object<IAccFileShare>(1), a.Long(2),
                          a.Object<IAccFileShareEntry>(3), a.Result(4));
        break;
    case 801:
        OnFileShareRequest(a.Object<IAccSession>(0), a.Object<IAccFileShare>(1), a.Long(2),
                           a.Object<IAccFileShareEntry>(3), a.Result(4));
        break;
    case 900:
        OnEvent900(a.Object<IAccSession>(0), a.Variant(1), a.Variant(2), a.Variant(3), a.Variant(4), a.Result(5));
        break;
    case 901: OnEvent901(a.Object<IAccSession>(0), a.Variant(1), a.Variant(2), a.Result(3)); break;
    case 902: OnEvent902(a.Object<IAccSession>(0), a.Variant(1), a.Variant(2), a.Result(3)); break;
    case 903: OnEvent903(a.Object<IAccSession>(0), a.Variant(1), a.Variant(2), a.Result(3)); break;
    case 1002: OnEvent1002(a.Object<IAccSession>(0), a.Variant(1), a.Variant(2), a.Variant(3), a.Result(4)); break;
    case 1004: OnEvent1004(a.Object<IAccSession>(0), a.Variant(1), a.Variant(2), a.Result(3)); break;
    case 1100: OnEvent1100(a.Object<IAccSession>(0), a.Variant(1), a.Variant(2), a.Result(3)); break;
    case 1101: OnRequestForget(a.Object<IAccSession>(0), a.Long(1), a.Result(2)); break;
    case 1102: OnEvent1102(a.Object<IAccSession>(0), a.Variant(1), a.Result(2)); break;
    default: break;
    }
}

} // namespace AIMCC
