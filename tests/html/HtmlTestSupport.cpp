#include "HtmlTestSupport.h"

#include "LangStrings.h"
#include "LinkOpener.h"
#include "TestSupport.h"

#include <algorithm>

namespace {

constexpr wchar_t kTestWindowClass[] = L"VlmHtmlTestWindow";

bool RegisterTestWindowClass()
{
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(GetModuleHandleW(nullptr), kTestWindowClass, &existing))
        return true;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kTestWindowClass;
    return RegisterClassExW(&wc) != 0;
}

std::wstring EventEntry(const wchar_t* name, const std::wstring& detail, bool waiting)
{
    return std::wstring(name) + detail + (waiting ? L":waiting" : L"");
}

} // namespace



LONG ReferencesKeptByCom()
{
    ComPtr<IOleObject> control;
    if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&control))))
        return -1;
    FakeBrowser* probe = FakeBrowserRegistration::Latest();
    control.Reset();
    // Less the reference of the registration's own list.
    return probe->RefCount() - 1;
}

namespace {

// Destroying a top-level window costs seconds under this display server, so
// every test window is a child of one top-level window that lives as long
// as the test program.
HWND SharedTopWindow()
{
    static HWND top = nullptr;
    if (!top || !IsWindow(top)) {
        RegisterTestWindowClass();
        top = CreateWindowExW(0, kTestWindowClass, L"", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 20, 20, 640, 480,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    return top;
}

} // namespace

TestWindow::TestWindow(int width, int height)
{
    hwnd_ = CreateWindowExW(0, kTestWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, width, height,
                            SharedTopWindow(), nullptr, GetModuleHandleW(nullptr), nullptr);
}

TestWindow::~TestWindow()
{
    Destroy();
}

void TestWindow::Destroy()
{
    if (hwnd_ && IsWindow(hwnd_))
        DestroyWindow(hwnd_);
    hwnd_ = nullptr;
}

void HtmlTest::SetUp()
{
    oleInitialized_ = SUCCEEDED(OleInitialize(nullptr));
    registration_ = std::make_unique<FakeBrowserRegistration>();
    ASSERT_TRUE(registration_->Registered());
    lang_.reset(LoadLibraryExW((ExeFolder() + L"VLMLang.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    SetLangModule(lang_.get());
    SetShellLinkHandler([this](HWND, const std::wstring& url) { shellLinks.push_back(url); });
    SetClientLinkHandler([this](HWND, const std::wstring& url) { clientLinks.push_back(url); });
}

void HtmlTest::TearDown()
{
    PumpPending();
    SetShellLinkHandler(nullptr);
    SetClientLinkHandler(nullptr);
    SetLangModule(nullptr);
    registration_.reset();
    if (oleInitialized_)
        OleUninitialize();
}

HRESULT RecordingBrowser::Navigate(const wchar_t* url, bool wait)
{
    waiting = wait;
    const HRESULT hr = CIEBrowser::Navigate(url, wait);
    waiting = false;
    return hr;
}

HRESULT RecordingBrowser::OnBeforeNavigate2(IDispatch*, const wchar_t* url, VARIANT*, const wchar_t*, VARIANT*,
                                            VARIANT*, VARIANT_BOOL* cancel)
{
    const std::wstring address = url;
    log.push_back(L"before:" + address);
    if (!cancelContaining.empty() && address.find(cancelContaining) != std::wstring::npos)
        *cancel = VARIANT_TRUE;
    return S_OK;
}

HRESULT RecordingBrowser::OnNavigateComplete2(IDispatch*, const wchar_t* url)
{
    log.push_back(std::wstring(L"navigated:") + url);
    return S_OK;
}

HRESULT RecordingBrowser::OnDocumentComplete(IDispatch*, const wchar_t* url, bool isTopLevel)
{
    log.push_back(EventEntry(L"complete:", std::wstring(url) + (isTopLevel ? L":top" : L":frame"), waiting));
    return S_OK;
}

HRESULT RecordingBrowser::OnStatusTextChange(const wchar_t* text)
{
    log.push_back(std::wstring(L"status:") + text);
    return S_OK;
}

HRESULT RecordingBrowser::OnTitleChange(const wchar_t* title)
{
    log.push_back(std::wstring(L"title:") + title);
    return S_OK;
}

HRESULT RecordingBrowser::OnDownloadComplete()
{
    log.push_back(L"download");
    return S_OK;
}

HRESULT RecordingBrowser::OnDocClick(IHTMLEventObj*)
{
    log.push_back(L"click");
    return S_OK;
}

HRESULT RecordingBrowser::OnDocDblClick(IHTMLEventObj*)
{
    log.push_back(L"dblclick");
    return S_OK;
}

HRESULT RecordingBrowser::OnDocKeyDown(IHTMLEventObj*)
{
    log.push_back(L"keydown");
    return S_OK;
}

HRESULT RecordingBrowser::OnDocKeyPress(IHTMLEventObj*)
{
    log.push_back(L"keypress");
    return S_OK;
}

HRESULT RecordingBrowser::OnDocMouseDown(IHTMLEventObj*)
{
    log.push_back(L"mousedown");
    return S_OK;
}

HRESULT RecordingBrowser::OnDocMouseUp(IHTMLEventObj*)
{
    log.push_back(L"mouseup");
    return S_OK;
}

HRESULT RecordingBrowser::OnSelectionChange(IHTMLEventObj*)
{
    log.push_back(L"selectionchange");
    return S_OK;
}

bool RecordingBrowser::Contains(const std::wstring& entry) const
{
    return std::find(log.begin(), log.end(), entry) != log.end();
}

namespace {

MenuSeen* g_menuSeen = nullptr;

void CALLBACK InspectMenu(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND menuWindow = FindWindowW(L"#32768", nullptr);
    if (!g_menuSeen) {
        KillTimer(nullptr, timer);
        return;
    }
    if (!menuWindow || !IsWindowVisible(menuWindow))
        return;
    KillTimer(nullptr, timer);
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
    g_menuSeen->open = menu != nullptr;
    for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
        wchar_t label[64] = {};
        GetMenuStringW(menu, i, label, ARRAYSIZE(label), MF_BYPOSITION);
        g_menuSeen->ids.push_back(GetMenuItemID(menu, i));
        g_menuSeen->states.push_back(GetMenuState(menu, i, MF_BYPOSITION));
        g_menuSeen->labels.push_back(label);
    }
    for (WPARAM key : g_menuSeen->keys) {
        PostMessageW(menuWindow, WM_KEYDOWN, key, 0);
        PostMessageW(menuWindow, WM_KEYUP, key, 0);
    }
}

} // namespace

void WatchNextMenu(MenuSeen* seen)
{
    g_menuSeen = seen;
    if (seen)
        SetTimer(nullptr, 0, 10, InspectMenu);
}
