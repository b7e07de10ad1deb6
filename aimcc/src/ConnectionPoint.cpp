#include "ConnectionPoint.h"

#include <olectl.h>
#include <shlwapi.h>

#include <new>

namespace AIMCC {

using Microsoft::WRL::ComPtr;

namespace {

// A snapshot enumerator of COM items: CONNECTDATA (whose pUnk it holds) or
// an interface pointer. Items handed out carry their own reference.
template <class IEnum, class Item>
class CEnumSnapshot final : public IEnum {
public:
    explicit CEnumSnapshot(std::vector<Item> items, size_t position = 0) : items_(std::move(items)), position_(position)
    {
        for (Item& item : items_)
            Unknown(item)->AddRef();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        static const QITAB table[] = {QITABENT(CEnumSnapshot, IEnum), {}};
        return QISearch(this, table, riid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG refs = InterlockedDecrement(&refs_);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, Item* out, ULONG* fetched) override
    {
        if (!out || (count > 1 && !fetched))
            return E_POINTER;
        ULONG n = 0;
        while (n < count && position_ < items_.size()) {
            out[n] = items_[position_++];
            Unknown(out[n])->AddRef();
            ++n;
        }
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        size_t left = items_.size() - position_;
        if (count > left) {
            position_ = items_.size();
            return S_FALSE;
        }
        position_ += count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnum** out) override
    {
        if (!out)
            return E_POINTER;
        *out = new (std::nothrow) CEnumSnapshot(items_, position_);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

private:
    ~CEnumSnapshot()
    {
        for (Item& item : items_)
            Unknown(item)->Release();
    }
    static IUnknown* Unknown(const CONNECTDATA& data) { return data.pUnk; }
    static IUnknown* Unknown(IConnectionPoint* point) { return point; }

    LONG refs_ = 1;
    std::vector<Item> items_;
    size_t position_;
};

} // namespace

HRESULT STDMETHODCALLTYPE CAccConnectionPoint::QueryInterface(REFIID riid, void** object)
{
    static const QITAB table[] = {QITABENT(CAccConnectionPoint, IConnectionPoint), {}};
    return QISearch(this, table, riid, object);
}

HRESULT STDMETHODCALLTYPE CAccConnectionPoint::GetConnectionInterface(IID* iid)
{
    if (!iid)
        return E_POINTER;
    *iid = iid_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CAccConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container)
{
    if (!container)
        return E_POINTER;
    *container = owner_;
    owner_->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CAccConnectionPoint::Advise(IUnknown* sink, DWORD* cookie)
{
    if (!cookie)
        return E_POINTER;
    *cookie = 0;
    if (!sink)
        return E_POINTER;
    ComPtr<IUnknown> events;
    if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(events.GetAddressOf()))))
        return CONNECT_E_CANNOTCONNECT;
    // The events are IDispatch calls, whatever interface answered the id.
    ComPtr<IDispatch> dispatch;
    if (FAILED(events.As(&dispatch)))
        return CONNECT_E_CANNOTCONNECT;
    try {
        DWORD id = nextCookie_++;
        sinks_[id] = dispatch;
        *cookie = id;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CAccConnectionPoint::Unadvise(DWORD cookie)
{
    return sinks_.erase(cookie) ? S_OK : CONNECT_E_NOCONNECTION;
}

HRESULT STDMETHODCALLTYPE CAccConnectionPoint::EnumConnections(IEnumConnections** connections)
{
    if (!connections)
        return E_POINTER;
    *connections = nullptr;
    try {
        std::vector<CONNECTDATA> items;
        for (const auto& sink : sinks_) {
            CONNECTDATA data = {};
            data.pUnk = sink.second.Get();
            data.dwCookie = sink.first;
            items.push_back(data);
        }
        *connections = new CEnumSnapshot<IEnumConnections, CONNECTDATA>(std::move(items));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

std::vector<ComPtr<IDispatch>> CAccConnectionPoint::Sinks() const
{
    std::vector<ComPtr<IDispatch>> sinks;
    for (const auto& sink : sinks_)
        sinks.push_back(sink.second);
    return sinks;
}

HRESULT CreateConnectionPointEnumerator(const std::vector<IConnectionPoint*>& points, IEnumConnectionPoints** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    try {
        *out = new CEnumSnapshot<IEnumConnectionPoints, IConnectionPoint*>(points);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

} // namespace AIMCC
