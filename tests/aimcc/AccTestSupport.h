// Pieces the AIM-layer tests share: waiting on the message loop, an event
// sink that records what arrives (and on which thread), a preferences hook
// backed by a map, and a scripted transport that stands in for the network
// when a test drives a session in-process.
#pragma once

#include "TestSupport.h"

#include "AccCore.h"
#include "Transport.h"
#include "Variant.h"

#include <wrl/client.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace acctest {

using Microsoft::WRL::ComPtr;


struct RecordedEvent {
    DISPID id = 0;
    std::vector<AIMCC::CVariant> args;    // in the table's order (rgvarg reversed back)
    DWORD threadId = 0;

    long Long(size_t i) const;
    std::wstring Text(size_t i) const;
    IDispatch* Object(size_t i) const;
    // Property `property` of the object argument `i`.
    AIMCC::CVariant Property(size_t i, long property) const;
};

// An event sink: IDispatch whose QueryInterface answers the events IID.
class CEventRecorder : public IDispatch {
public:
    static ComPtr<CEventRecorder> Make();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) override;

    // Advise / Unadvise on a session.
    HRESULT Connect(IUnknown* source);
    void Disconnect();

    const std::vector<RecordedEvent>& Events() const { return events_; }
    std::vector<RecordedEvent> Of(DISPID id) const;
    size_t Count(DISPID id) const { return Of(id).size(); }
    // Pumps until an event with this id (and matching `match`) has arrived;
    // nothing when it does not come in time.
    std::optional<RecordedEvent> WaitFor(DISPID id, const std::function<bool(const RecordedEvent&)>& match = nullptr,
                                         DWORD timeoutMs = 10000);
    // The states of the 100 events so far, in order.
    std::vector<long> States() const;
    void Clear() { events_.clear(); }

private:
    CEventRecorder() = default;
    virtual ~CEventRecorder() = default;

    LONG refs_ = 1;
    std::vector<RecordedEvent> events_;
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

// A preferences hook over a map, counting the reads of each name. Like the
// client's, its QueryInterface answers only IUnknown and the second hook
// interface.
class CMapHook : public AIMCC::IAccPreferencesHook2 {
public:
    static ComPtr<CMapHook> Make();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE ReadPreference(BSTR name, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE ReadPreferenceDefault(BSTR name, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE WritePreference(BSTR name, VARIANT value) override;
    HRESULT STDMETHODCALLTYPE ErasePreference(BSTR name) override;
    HRESULT STDMETHODCALLTYPE ListPreferenceChildren(BSTR name, VARIANT* children) override;
    HRESULT STDMETHODCALLTYPE ReadProtectedPreference(BSTR name, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE WriteProtectedPreference(BSTR name, VARIANT value) override;
    HRESULT STDMETHODCALLTYPE EraseProtectedPreference(BSTR name) override;

    std::map<std::wstring, std::wstring> values;
    std::map<std::wstring, int> reads;

private:
    CMapHook() = default;
    virtual ~CMapHook() = default;
    LONG refs_ = 1;
};

// What a scripted transport was asked to do.
struct TransportCall {
    std::wstring what;               // "SignOn", "SendIm", "AddBuddy", ...
    std::vector<std::wstring> args;
};

// The network as a test scripts it. A session made with Factory() gets a
// transport that records every call here; the test then reports what the
// "server" says through Events(). Sign-on runs by itself: each step is a
// task on the session's loop, so it arrives through the message loop.
class CFakeNetwork {
public:
    CFakeNetwork();
    AIMCC::TransportFactory Factory();

    // Sign-on script.
    std::wstring goodPassword = L"secret";
    HRESULT signOnFailure = AIMCC::ACC_E_INVALID_LOGIN;   // for a wrong password
    HRESULT refuseSignOn = S_OK;                          // SignOn itself fails with this
    AIMCC::BuddyListContents buddyList;
    // Results the transport answers edits with (S_OK: the server agrees).
    HRESULT editResult = S_OK;
    HRESULT sendResult = S_OK;

    // The last sign-on's settings and every call, in order.
    AIMCC::SignOnSettings lastSignOn;
    int signOns = 0;
    std::vector<TransportCall> calls;
    std::vector<TransportCall> CallsOf(const std::wstring& what) const;

    // The live transport's reports (valid while a transport is alive).
    AIMCC::ITransportEvents* Events() const { return events_; }
    const std::shared_ptr<AIMCC::CEventWindow>& Loop() const { return loop_; }
    bool Alive() const { return alive_; }

private:
    friend class CScriptedTransport;
    AIMCC::ITransportEvents* events_ = nullptr;
    std::shared_ptr<AIMCC::CEventWindow> loop_;
    bool alive_ = false;
};

// Makes an in-process session over a fake network.
HRESULT CreateScriptedSession(CFakeNetwork& network, AIMCC::IAccSession** session);

class CBstr {
public:
    explicit CBstr(const wchar_t* text) : s_(SysAllocString(text)) {}
    ~CBstr() { SysFreeString(s_); }
    CBstr(const CBstr&) = delete;
    CBstr& operator=(const CBstr&) = delete;
    operator BSTR() const { return s_; }

private:
    BSTR s_;
};

std::wstring PropertyText(AIMCC::IAccObject* object, long property);
long PropertyLong(AIMCC::IAccObject* object, long property);
bool PropertyBool(AIMCC::IAccObject* object, long property);

} // namespace acctest
