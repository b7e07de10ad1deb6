// The event source side of a session: CAccConnectionPoint, the one
// connection point (for DIID_DAccEvents) that a session's
// IConnectionPointContainer hands out, and the enumerators both interfaces
// promise. The connection point is part of the session object: its
// reference count is the session's.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <wrl/client.h>

#include <map>
#include <vector>

namespace AIMCC {

class CAccConnectionPoint : public IConnectionPoint {
public:
    CAccConnectionPoint(IConnectionPointContainer* owner, REFIID iid) : owner_(owner), iid_(iid) {}
    CAccConnectionPoint(const CAccConnectionPoint&) = delete;
    CAccConnectionPoint& operator=(const CAccConnectionPoint&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return owner_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return owner_->Release(); }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override;
    // The sink must answer the events IID; a sink that does not gets
    // CONNECT_E_CANNOTCONNECT.
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

    // The sinks in the order they were advised: a copy, so that a sink may
    // unadvise (or advise another) while an event is being delivered.
    std::vector<Microsoft::WRL::ComPtr<IDispatch>> Sinks() const;
    // Drops every sink (the session is going).
    void Clear() { sinks_.clear(); }

private:
    IConnectionPointContainer* owner_;
    IID iid_;
    std::map<DWORD, Microsoft::WRL::ComPtr<IDispatch>> sinks_;
    DWORD nextCookie_ = 1;
};

// IEnumConnectionPoints over a fixed list.
HRESULT CreateConnectionPointEnumerator(const std::vector<IConnectionPoint*>& points, IEnumConnectionPoints** out);

} // namespace AIMCC
