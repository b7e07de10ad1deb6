// A stand-in for the system's browser control, registered in the test
// process as the class behind "Shell.Explorer", so that the client's hosting
// code runs unchanged: it creates "the browser", talks to its site, navigates
// it and listens to its events, never knowing that it is this.
//
// The fake behaves as the control does where the client depends on it: it
// asks the site for its host information and window context, creates the
// control's window chain ("Shell Embedding" > "Shell DocObject View" >
// "Internet Explorer_Server") in the host window, raises BeforeNavigate2
// (honouring Cancel), then NavigateComplete2 and DocumentComplete with a new
// document for each page. Completing a navigation is posted to the thread's
// message queue, as a page load is, so a waiting Navigate must run messages
// to see it; a test may hold completions back and raise events itself.
#pragma once

#include "FakeDocument.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

class FakeBrowser final : public Stub_IWebBrowser2,
                          public Stub_IOleObject,
                          public Stub_IOleInPlaceObject,
                          public Stub_IOleInPlaceActiveObject,
                          public Stub_IPersistStreamInit,
                          public Stub_IConnectionPointContainer,
                          public FakeObject {
public:
    FakeBrowser();
    FAKE_REFCOUNT

    // IWebBrowser / IWebBrowserApp / IWebBrowser2
    HRESULT STDMETHODCALLTYPE Navigate(BSTR url, VARIANT* flags, VARIANT* frame, VARIANT* postData,
                                       VARIANT* headers) override;
    HRESULT STDMETHODCALLTYPE Navigate2(VARIANT* url, VARIANT* flags, VARIANT* frame, VARIANT* postData,
                                        VARIANT* headers) override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE get_Document(IDispatch** document) override;
    HRESULT STDMETHODCALLTYPE get_LocationURL(BSTR* url) override;
    HRESULT STDMETHODCALLTYPE put_Silent(VARIANT_BOOL silent) override;
    HRESULT STDMETHODCALLTYPE get_Silent(VARIANT_BOOL* silent) override;
    HRESULT STDMETHODCALLTYPE put_Offline(VARIANT_BOOL offline) override;
    HRESULT STDMETHODCALLTYPE get_Offline(VARIANT_BOOL* offline) override;

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
    HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG message, IOleClientSite* site, LONG index, HWND parent,
                                     LPCRECT position) override;

    // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT clip) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message) override;

    // IPersistStreamInit
    HRESULT STDMETHODCALLTYPE InitNew() override;

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

    // --- For the tests. ------------------------------------------------------

    // The DWebBrowserEvents2 point, for raising events by hand.
    FakeConnectionPoint& Events() { return *events_.Get(); }
    IDispatch* AsDispatch() { return static_cast<IWebBrowser2*>(this); }
    FakeDocument* Document() const { return document_.Get(); }

    // The events, built as the control builds them. BeforeNavigate2 answers
    // whether a sink cancelled.
    bool RaiseBeforeNavigate2(IDispatch* disp, const std::wstring& url);
    void RaiseNavigateComplete2(IDispatch* disp, const std::wstring& url);
    void RaiseDocumentComplete(IDispatch* disp, const std::wstring& url);
    void RaiseNavigateError(IDispatch* disp, const std::wstring& url);
    void RaiseStatusTextChange(const std::wstring& text);
    void RaiseTitleChange(const std::wstring& title);

    // Loads `url` now: a new document, NavigateComplete2, DocumentComplete.
    void CompleteNavigation(const std::wstring& url);
    // The user clicks a link in the page: BeforeNavigate2 and, unless it is
    // cancelled, the page is loaded. Answers whether it was cancelled.
    bool ClickLink(const std::wstring& url);
    // Runs `action` when the thread next dispatches messages, after the
    // actions posted before it.
    void Post(std::function<void()> action);

    // Whether navigations complete by themselves (posted) or wait for the
    // test to complete them.
    bool completeNavigations = true;
    // Like a browser without an HTML engine: every navigation ends in a
    // navigation error instead of a document.
    bool failNavigations = false;
    // Offered interfaces: without IWebBrowser2 it is an old control.
    bool offerWebBrowser2 = true;
    // What TranslateAccelerator answers.
    HRESULT acceleratorAnswer = S_FALSE;

    // What the client did.
    ComPtr<IOleClientSite> site;
    bool hadHostInfo = false;
    DWORD hostFlags = 0;
    bool initNew = false;
    std::vector<LONG> verbs;
    HWND siteWindow = nullptr;
    HRESULT siteWindowResult = E_FAIL;
    RECT contextPosition = {};
    RECT contextClip = {};
    OLEINPLACEFRAMEINFO frameInfo = {};
    bool contextHadFrame = false;
    RECT objectRect = {};
    int objectRectCalls = 0;
    bool closed = false;
    DWORD closeOption = 0;
    bool uiDeactivated = false;
    bool inPlaceDeactivated = false;
    VARIANT_BOOL silent = VARIANT_FALSE;
    VARIANT_BOOL offline = VARIANT_FALSE;
    int stops = 0;
    std::vector<std::wstring> navigateRequests;
    std::wstring locationUrl;
    std::vector<MSG> accelerators;

    // The control's windows while it is in-place active.
    HWND embeddingWindow = nullptr;
    HWND docViewWindow = nullptr;
    HWND serverWindow = nullptr;

private:
    ~FakeBrowser() override;
    void StartNavigation(const std::wstring& url);
    void CreateWindows(HWND parent, const RECT& position);
    void DestroyWindows();
    static LRESULT CALLBACK ActionProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    ComPtr<FakeConnectionPoint> events_;
    ComPtr<FakeDocument> document_;
    HWND actionWindow_ = nullptr;
    std::deque<std::function<void()>> actions_;
};

// Registers the fake as the class object of the browser control for the
// life of the object, and keeps every browser it made so that a test can
// look at one after the client has let go of it.
class FakeBrowserRegistration {
public:
    FakeBrowserRegistration();
    ~FakeBrowserRegistration();
    FakeBrowserRegistration(const FakeBrowserRegistration&) = delete;
    FakeBrowserRegistration& operator=(const FakeBrowserRegistration&) = delete;

    bool Registered() const { return cookie_ != 0; }
    // Called with each new browser before the client sees it, so a test can
    // make it behave otherwise (an old control, completions held back).
    static void SetConfigure(std::function<void(FakeBrowser&)> configure);
    // The browsers made so far, oldest first; the last one, or null.
    static const std::vector<ComPtr<FakeBrowser>>& Created();
    static FakeBrowser* Latest();

private:
    DWORD cookie_ = 0;
};
