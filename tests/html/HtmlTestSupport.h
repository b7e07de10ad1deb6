// What the HTML host tests share: the fixture that puts the fake browser
// control in place (and the language library, and link handlers that only
// record), a plain host window, a message pump that waits for a condition,
// and a browser that writes down which of its operations the control
// reached.
#pragma once

#include "TestSupport.h"

#include "FakeBrowser.h"
#include "IEBrowser.h"
#include "ScopedHandle.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>


// How many references to a fake browser CoCreateInstance leaves behind when
// its caller has released everything (Wine keeps one): the baseline for
// tests that check the client let go of the control.
LONG ReferencesKeptByCom();

// A visible window to host a browser or a view: a child of one shared
// top-level window, since top-level windows are slow to destroy here.
class TestWindow {
public:
    explicit TestWindow(int width = 320, int height = 240);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND Hwnd() const { return hwnd_; }
    void Destroy();

private:
    HWND hwnd_ = nullptr;
};

class HtmlTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The browser the client created last.
    static FakeBrowser* Fake() { return FakeBrowserRegistration::Latest(); }

    // Where links went: the shell and the client's own link handling.
    std::vector<std::wstring> shellLinks;
    std::vector<std::wstring> clientLinks;

private:
    bool oleInitialized_ = false;
    std::unique_ptr<FakeBrowserRegistration> registration_;
    ScopedModule lang_;
};

// A browser whose operations write to `log`: "before:<url>",
// "navigated:<url>", "complete:<url>:top" or "complete:<url>:frame" (with
// ":waiting" while a Navigate of this browser is still waiting), "status:",
// "title:", "download", and the document events by name ("click", ...).
class RecordingBrowser : public CIEBrowser {
public:
    RecordingBrowser() = default;
    ~RecordingBrowser() = default;

    HRESULT Navigate(const wchar_t* url, bool wait) override;
    HRESULT OnBeforeNavigate2(IDispatch* disp, const wchar_t* url, VARIANT* flags, const wchar_t* targetFrame,
                              VARIANT* postData, VARIANT* headers, VARIANT_BOOL* cancel) override;
    HRESULT OnNavigateComplete2(IDispatch* disp, const wchar_t* url) override;
    HRESULT OnDocumentComplete(IDispatch* disp, const wchar_t* url, bool isTopLevel) override;
    HRESULT OnStatusTextChange(const wchar_t* text) override;
    HRESULT OnTitleChange(const wchar_t* title) override;
    HRESULT OnDownloadComplete() override;
    HRESULT OnDocClick(IHTMLEventObj* event) override;
    HRESULT OnDocDblClick(IHTMLEventObj* event) override;
    HRESULT OnDocKeyDown(IHTMLEventObj* event) override;
    HRESULT OnDocKeyPress(IHTMLEventObj* event) override;
    HRESULT OnDocMouseDown(IHTMLEventObj* event) override;
    HRESULT OnDocMouseUp(IHTMLEventObj* event) override;
    HRESULT OnSelectionChange(IHTMLEventObj* event) override;

    bool Contains(const std::wstring& entry) const;

    std::vector<std::wstring> log;
    // Cancel every navigation whose address contains this text.
    std::wstring cancelContaining;
    bool waiting = false;
};

// What a popup menu looked like while it was open, and the key presses that
// close it.
struct MenuSeen {
    bool open = false;
    std::vector<UINT> ids;
    std::vector<UINT> states;
    std::vector<std::wstring> labels;
    std::vector<WPARAM> keys;
};

// The next popup menu this thread opens is written into `seen` and then
// given its keys; null stops watching.
void WatchNextMenu(MenuSeen* seen);
