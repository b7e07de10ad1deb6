// What every object of the fake browser control shares: a reference count
// that tests can read (to see that the client let go of everything), and
// small conversions between VARIANTs and strings for recording calls.
#pragma once

#include "FakeStubs.h"

#include <wrl/client.h>

#include <map>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

class FakeObject {
public:
    LONG RefCount() const { return refs_; }

protected:
    FakeObject() = default;
    virtual ~FakeObject() = default;
    FakeObject(const FakeObject&) = delete;
    FakeObject& operator=(const FakeObject&) = delete;

    ULONG AddRefObject() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG ReleaseObject()
    {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

private:
    LONG refs_ = 1;
};

// The IUnknown reference counting of a fake class; its QueryInterface is
// its own.
#define FAKE_REFCOUNT                                                      \
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefObject(); }   \
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseObject(); } \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;

// Answers a QueryInterface with `object` (already cast to the interface).
template <typename Interface>
HRESULT FakeAnswer(Interface* object, void** out)
{
    *out = object;
    object->AddRef();
    return S_OK;
}

// The text of a VARIANT as a test wants to compare it: strings as they are,
// booleans as "true"/"false", empty as "", anything else converted by
// VariantChangeType; a by-reference VARIANT is followed.
std::wstring VariantText(const VARIANT& value);
BSTR NewBstr(const std::wstring& text);

// One connection point: the sinks advised on it, by cookie. Advise asks the
// sink for the point's own event interface, as the real control does.
class FakeConnectionPoint final : public Stub_IConnectionPoint, public FakeObject {
public:
    explicit FakeConnectionPoint(REFIID events) : events_(events) {}
    FAKE_REFCOUNT

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;

    const IID& Events() const { return events_; }
    size_t SinkCount() const { return sinks_.size(); }
    // Calls Invoke on every sink advised now, the way the control raises
    // an event; returns what each answered.
    std::vector<HRESULT> Raise(DISPID id, DISPPARAMS* params);

    int advises = 0;
    int unadvises = 0;

private:
    IID events_;
    std::map<DWORD, ComPtr<IDispatch>> sinks_;
    DWORD nextCookie_ = 1;
};
