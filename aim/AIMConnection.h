// CAIMConnection: one AIM account of the running client. It owns the
// account's session object of the AIM layer (acccore.dll, loaded once from
// the program's folder), installs the preferences hook before the first
// sign-on, and is the session's event sink. Its handlers do little
// themselves: they find the window an event concerns and hand it on.
//
// The connections live in one process-wide list; index 0 is the primary
// account, and only it drives the main window's panes and notice bar.
#pragma once

#include "AccCore.h"

#include <wrl/client.h>

#include <string>
#include <vector>

class CUserPrefs;

class CAIMConnection : public IDispatch {
public:
    // Null when out of memory.
    static Microsoft::WRL::ComPtr<CAIMConnection> Create();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) override;

    // Makes the session, connects to its events, installs the preferences
    // hook and describes the client; nothing when the session exists. False
    // after the error box.
    bool CreateSession();
    // Sets the identity (only possible while signed off).
    bool SetIdentity(const std::wstring& screenName);
    // Starts signing on; the progress arrives as events. False after the
    // error box when it cannot even start.
    bool SignOnAccount(const std::wstring& screenName, const std::wstring& password);
    void SignOffAccount();
    // Disconnects from the events and drops the session and the hook.
    void ReleaseSession();

    std::wstring Identity() const;
    long State() const;
    AIMCC::IAccSession* Session() const { return session_.Get(); }

private:
    CAIMConnection() = default;
    virtual ~CAIMConnection();

    bool IsPrimary() const;
    bool DescribeClient();
    void AfterSignOnStarted();
    void OnStateChange(long state, HRESULT result);

    LONG refs_ = 1;
    Microsoft::WRL::ComPtr<AIMCC::IAccSession> session_;
    Microsoft::WRL::ComPtr<CUserPrefs> prefs_;
    Microsoft::WRL::ComPtr<IConnectionPoint> eventPoint_;
    DWORD eventCookie_ = 0;
};

// The accounts of the running client, the primary first.
std::vector<Microsoft::WRL::ComPtr<CAIMConnection>>& Connections();

// The language string that reports a session state and its result (0 when
// there is none), and whether it reports an error.
UINT SessionStateString(long state, HRESULT result, bool& error);
// The text an error string becomes: the screen name or the result code
// filled in where the string takes one.
std::wstring SessionErrorText(UINT stringId, HRESULT result, const std::wstring& screenName);
