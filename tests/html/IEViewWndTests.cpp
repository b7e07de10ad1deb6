#include "HtmlTestSupport.h"
#include "IEViewWnd.h"
#include "LangStrings.h"
#include "WindowKinds.h"

#include <commctrl.h>
#include <mshtmcid.h>

#include <string>
#include <vector>

namespace {

constexpr wchar_t kPage[] = L"res://VLMMedia.dll/About.htm";

class IEViewTest : public HtmlTest {
protected:
    void SetUp() override
    {
        HtmlTest::SetUp();
        ASSERT_TRUE(parent.Hwnd());
    }

    void TearDown() override
    {
        if (view.Hwnd())
            DestroyWindow(view.Hwnd());
        HtmlTest::TearDown();
    }

    void ShowPage()
    {
        ASSERT_TRUE(view.CreateView(parent.Hwnd(), L"Test view", 0));
        ASSERT_EQ(S_OK, view.Navigate(kPage, true));
    }

    TestWindow parent{400, 300};
    CIEViewWnd view;
};

TEST_F(IEViewTest, HostsTheControlInAChildWindowOfItsKind)
{
    ASSERT_TRUE(view.CreateView(parent.Hwnd(), L"Test view", DOCHOSTUIFLAG_SCROLL_NO));
    HWND hwnd = view.Hwnd();
    ASSERT_TRUE(IsWindow(hwnd));
    wchar_t className[64] = {};
    GetClassNameW(hwnd, className, ARRAYSIZE(className));
    EXPECT_STREQ(L"__oVLMoMAINoPANEoWNDo__", className);
    wchar_t title[64] = {};
    GetWindowTextW(hwnd, title, ARRAYSIZE(title));
    EXPECT_STREQ(L"Test view", title);
    EXPECT_EQ(parent.Hwnd(), GetParent(hwnd));
    const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
    EXPECT_EQ(WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, style & (WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN));
    EXPECT_EQ(static_cast<CSubclsWnd*>(&view), CSubclsWnd::FromHandle(hwnd));
    EXPECT_EQ(kKindHtmlView, view.Kind());

    FakeBrowser* fake = Fake();
    EXPECT_EQ(VARIANT_TRUE, fake->silent);
    EXPECT_EQ(VARIANT_TRUE, fake->offline);
    EXPECT_EQ(static_cast<DWORD>(DOCHOSTUIFLAG_SCROLL_NO), fake->hostFlags & DOCHOSTUIFLAG_SCROLL_NO);
    RECT client = {};
    GetClientRect(hwnd, &client);
    const RECT expected = {0, 1, client.right, client.bottom - 1};
    EXPECT_TRUE(EqualRect(&expected, &fake->objectRect));

    MoveWindow(hwnd, 0, 0, 200, 100, FALSE);
    const RECT resized = {0, 1, 200, 99};
    EXPECT_TRUE(EqualRect(&resized, &fake->objectRect));
    RECT embedding = {};
    GetWindowRect(fake->embeddingWindow, &embedding);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&embedding), 2);
    EXPECT_TRUE(EqualRect(&resized, &embedding));
}

TEST_F(IEViewTest, ShowViewCreatesOnFirstUseThenShows)
{
    ASSERT_TRUE(view.ShowView(parent.Hwnd(), L"Shown", 0));
    HWND first = view.Hwnd();
    EXPECT_TRUE(IsWindowVisible(first));
    ShowWindow(first, SW_HIDE);
    ASSERT_TRUE(view.ShowView(parent.Hwnd(), L"Shown", 0));
    EXPECT_EQ(first, view.Hwnd());
    EXPECT_TRUE(IsWindowVisible(first));
    EXPECT_EQ(1u, FakeBrowserRegistration::Created().size());
}

TEST_F(IEViewTest, PaintsAFrameLineAboveAndBelowTheControl)
{
    ASSERT_TRUE(view.CreateView(parent.Hwnd(), L"", 0));
    MoveWindow(view.Hwnd(), 0, 0, 60, 40, FALSE);
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    ASSERT_NE(shadow, face);

    HDC screen = GetDC(nullptr);
    HDC canvas = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, 60, 40);
    ReleaseDC(nullptr, screen);
    HGDIOBJ previous = SelectObject(canvas, picture);
    PatBlt(canvas, 0, 0, 60, 40, BLACKNESS);

    EXPECT_EQ(1, SendMessageW(view.Hwnd(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas), 0));
    EXPECT_EQ(shadow, GetPixel(canvas, 30, 0));
    EXPECT_EQ(shadow, GetPixel(canvas, 30, 39));
    EXPECT_EQ(shadow, GetPixel(canvas, 0, 20));
    EXPECT_EQ(face, GetPixel(canvas, 30, 20));

    SelectObject(canvas, previous);
    DeleteObject(picture);
    DeleteDC(canvas);
}

struct LinkCase {
    const wchar_t* url;
    bool cancelled;
    bool toShell;
    bool toClient;
};

// Clicks in a view of kPage.
const LinkCase kLinks[] = {
    {L"res://VLMMedia.dll/About.htm", false, false, false},
    {L"RES://vlmmedia.dll/ABOUT.HTM", false, false, false},
    {L"res://VLMMedia.dll/About.htm#credits", false, false, false},
    {L"about:blank", false, false, false},
    {L"http://example.com/", true, true, false},
    {L"https://example.com/page?x=1", true, true, false},
    {L"ftp://example.com/pub/", true, true, false},
    {L"mailto:someone@example.com", true, true, false},
    {L"aim:goim?screenname=Buddy", true, false, true},
    {L"vlm://settings", true, false, true},
    {L"res://VLMMedia.dll/About.htm?x=1", true, false, false},
    {L"res://VLMMedia.dll/About.htm.evil/", true, false, false},
    {L"http://evil.example/res://VLMMedia.dll/About.htm", true, true, false},
    {L"javascript:alert(1)", true, false, false},
    {L"vbscript:msgbox(1)", true, false, false},
    {L"file:///C:/Windows/notepad.exe", true, false, false},
    {L"\\\\server\\share\\setup.exe", true, false, false},
    {L"res://VLMMedia.dll/InfoTip.htm", true, false, false},
};

TEST_F(IEViewTest, ShowsOnlyItsOwnPageAndHandsOtherLinksOn)
{
    ShowPage();
    FakeBrowser* fake = Fake();
    for (const LinkCase& link : kLinks) {
        shellLinks.clear();
        clientLinks.clear();
        fake->locationUrl = L"unchanged";
        const int stops = fake->stops;

        EXPECT_EQ(link.cancelled, fake->ClickLink(link.url)) << link.url;
        EXPECT_EQ(link.cancelled ? stops + 1 : stops, fake->stops) << link.url;
        EXPECT_EQ(link.cancelled ? L"unchanged" : std::wstring(link.url), fake->locationUrl) << link.url;
        EXPECT_EQ(link.toShell ? std::vector<std::wstring>{link.url} : std::vector<std::wstring>{}, shellLinks)
            << link.url;
        EXPECT_EQ(link.toClient ? std::vector<std::wstring>{link.url} : std::vector<std::wstring>{}, clientLinks)
            << link.url;
    }
    EXPECT_EQ(kPage, view.PageUrl());
}

TEST_F(IEViewTest, ItsOwnPageCompletingSetsEditingOptionsAndFindsTheInnerWindow)
{
    ShowPage();
    FakeBrowser* fake = Fake();
    const std::vector<ExecCall>& execs = fake->Document()->execs;
    ASSERT_EQ(2u, execs.size());
    const DWORD commands[] = {IDM_KEEPSELECTION, IDM_AUTOURLDETECT_MODE};
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(IsEqualGUID(CGID_MSHTML, execs[i].group));
        EXPECT_EQ(commands[i], execs[i].id);
        EXPECT_EQ(static_cast<DWORD>(OLECMDEXECOPT_DONTPROMPTUSER), execs[i].option);
        EXPECT_EQ(VT_BOOL, execs[i].inputType);
        EXPECT_EQ(L"true", execs[i].input);
    }
    EXPECT_EQ(fake->serverWindow, view.ServerWindow());
    EXPECT_NE(nullptr, view.LinkTipWindow());

    // A frame's page is not the view's document.
    ComPtr<FakeDocument> frame;
    *frame.ReleaseAndGetAddressOf() = new FakeDocument(L"about:blank");
    fake->RaiseDocumentComplete(static_cast<IHTMLDocument2*>(frame.Get()), L"about:blank");
    EXPECT_EQ(2u, fake->Document()->execs.size());
}

std::wstring TipText(HWND tip, HWND tool)
{
    wchar_t text[512] = {};
    TOOLINFOW info = {};
    info.cbSize = sizeof(info);
    info.hwnd = tool;
    info.uId = 1;
    info.lpszText = text;
    SendMessageW(tip, TTM_GETTEXTW, ARRAYSIZE(text), reinterpret_cast<LPARAM>(&info));
    return text;
}

// The title the view gave the tooltip, seen on its way in: this Wine's
// tooltips do not answer TTM_GETTITLE.
struct TitleSpy {
    WNDPROC previous = nullptr;
    std::wstring title;
    WPARAM icon = 0;
    int calls = 0;
};

TitleSpy* g_titleSpy = nullptr;

LRESULT CALLBACK SpyOnTitles(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == TTM_SETTITLEW) {
        g_titleSpy->title = lParam ? reinterpret_cast<const wchar_t*>(lParam) : L"";
        g_titleSpy->icon = wParam;
        ++g_titleSpy->calls;
    }
    return CallWindowProcW(g_titleSpy->previous, hwnd, message, wParam, lParam);
}

struct HoverCase {
    const wchar_t* url;
    bool warns;
};

const HoverCase kHovers[] = {
    {L"http://example.com/files/setup.EXE", true},
    {L"http://example.com/page.html", false},
    {L"http://example.com/setup.exe?mirror=2", true},
    {L"http://example.com/page.html#part.exe", false},
    {L"file:///C:/Users/Public/readme.txt", true},
};

TEST_F(IEViewTest, HoveringALinkShowsItsAddressAndWarnsAboutPrograms)
{
    ShowPage();
    FakeBrowser* fake = Fake();
    HWND tip = view.LinkTipWindow();
    ASSERT_NE(nullptr, tip);
    const std::wstring warning = LoadLangString(519);
    ASSERT_FALSE(warning.empty());
    TitleSpy spy;
    g_titleSpy = &spy;
    spy.previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(tip, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SpyOnTitles)));

    for (const HoverCase& hover : kHovers) {
        const std::wstring text = hover.warns ? FormatLangString(520, {hover.url}) : std::wstring(hover.url);
        spy.calls = 0;
        fake->RaiseStatusTextChange(hover.url);
        ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(tip) && TipText(tip, view.ServerWindow()) == text; }))
            << hover.url;
        ASSERT_GT(spy.calls, 0) << hover.url;
        EXPECT_EQ(hover.warns ? warning : L"", spy.title) << hover.url;
        EXPECT_EQ(static_cast<WPARAM>(hover.warns ? TTI_WARNING : TTI_NONE), spy.icon) << hover.url;

        fake->RaiseStatusTextChange(L"");
        EXPECT_FALSE(IsWindowVisible(tip)) << hover.url;
    }
    SetWindowLongPtrW(tip, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(spy.previous));
    g_titleSpy = nullptr;
}

TEST_F(IEViewTest, StatusTextThatIsNoAddressCancelsAPendingTip)
{
    ShowPage();
    FakeBrowser* fake = Fake();
    fake->RaiseStatusTextChange(L"http://example.com/setup.exe");
    fake->RaiseStatusTextChange(L"Done");
    // The tip's timer is gone: there is nothing left to kill.
    EXPECT_FALSE(KillTimer(view.Hwnd(), CIEViewWnd::kLinkTipTimer));
    EXPECT_FALSE(IsWindowVisible(view.LinkTipWindow()));
}

TEST_F(IEViewTest, CtrlAAndCtrlCSelectAndCopy)
{
    ShowPage();
    FakeDocument* document = Fake()->Document();
    struct KeyCase {
        bool ctrl;
        LONG key;
        DWORD command; // 0: none
    };
    const KeyCase cases[] = {
        {true, 1, IDM_SELECTALL}, {true, 3, IDM_COPY}, {false, 1, 0}, {false, 3, 0},
        {true, 'a', 0},           {true, 22, 0},       {false, 'x', 0},
    };
    ComPtr<FakeEventObj> event;
    *event.ReleaseAndGetAddressOf() = new FakeEventObj();
    for (const KeyCase& item : cases) {
        document->execs.clear();
        event->ctrl = item.ctrl;
        event->keyCode = item.key;
        document->RaiseEvent(DISPID_KEYPRESS, event.Get());
        if (!item.command) {
            EXPECT_TRUE(document->execs.empty()) << item.key;
            continue;
        }
        ASSERT_EQ(1u, document->execs.size()) << item.key;
        EXPECT_EQ(item.command, document->execs[0].id);
        EXPECT_EQ(static_cast<DWORD>(OLECMDEXECOPT_PROMPTUSER), document->execs[0].option);
        EXPECT_TRUE(IsEqualGUID(CGID_MSHTML, document->execs[0].group));
    }
}

TEST_F(IEViewTest, TheContextMenuOffersCopySelectAllAndPrinting)
{
    ShowPage();
    ComPtr<IDocHostUIHandler> ui;
    ASSERT_TRUE(SUCCEEDED(Fake()->site.As(&ui)));
    FakeDocument* document = Fake()->Document();
    document->commandStates[IDM_COPY] = OLECMDF_SUPPORTED; // nothing selected
    document->execs.clear();

    MenuSeen seen;
    seen.keys = {VK_ESCAPE};
    WatchNextMenu(&seen);
    POINT at = {30, 30};
    EXPECT_EQ(S_OK, ui->ShowContextMenu(CONTEXT_MENU_DEFAULT, &at, nullptr, nullptr));
    WatchNextMenu(nullptr);

    ASSERT_TRUE(seen.open);
    EXPECT_EQ((std::vector<UINT>{IDM_COPY, 0, IDM_SELECTALL, 0, IDM_PRINT, IDM_PRINTPREVIEW}), seen.ids);
    EXPECT_EQ(LoadLangString(111), seen.labels[0]);
    EXPECT_EQ(LoadLangString(113), seen.labels[2]);
    EXPECT_EQ(LoadLangString(565), seen.labels[4]);
    EXPECT_EQ(LoadLangString(566), seen.labels[5]);
    EXPECT_TRUE(seen.states[0] & MF_GRAYED);
    EXPECT_TRUE(seen.states[1] & MF_SEPARATOR);
    EXPECT_FALSE(seen.states[2] & MF_GRAYED);
    EXPECT_TRUE(seen.states[3] & MF_SEPARATOR);
    EXPECT_FALSE(seen.states[4] & MF_GRAYED);
    EXPECT_FALSE(seen.states[5] & MF_GRAYED);
    // Closed without a choice: no command.
    EXPECT_TRUE(document->execs.empty());
}

TEST_F(IEViewTest, AChosenMenuCommandRunsWithTheUsersPrompt)
{
    ShowPage();
    ComPtr<IDocHostUIHandler> ui;
    ASSERT_TRUE(SUCCEEDED(Fake()->site.As(&ui)));
    FakeDocument* document = Fake()->Document();
    document->execs.clear();

    MenuSeen seen;
    seen.keys = {VK_DOWN, VK_DOWN, VK_RETURN}; // Copy, then Select All
    WatchNextMenu(&seen);
    POINT at = {30, 30};
    EXPECT_EQ(S_OK, ui->ShowContextMenu(CONTEXT_MENU_TEXTSELECT, &at, nullptr, nullptr));
    WatchNextMenu(nullptr);

    ASSERT_TRUE(seen.open);
    ASSERT_EQ(1u, document->execs.size());
    EXPECT_EQ(static_cast<DWORD>(IDM_SELECTALL), document->execs[0].id);
    EXPECT_EQ(static_cast<DWORD>(OLECMDEXECOPT_PROMPTUSER), document->execs[0].option);
}

TEST_F(IEViewTest, DestroyingTheWindowDestroysTheBrowser)
{
    ShowPage();
    FakeBrowser* fake = Fake();
    DestroyWindow(view.Hwnd());
    EXPECT_TRUE(fake->closed);
    EXPECT_EQ(nullptr, fake->site.Get());
    EXPECT_EQ(0u, fake->Events().SinkCount());
    EXPECT_EQ(nullptr, view.WebBrowser());
    EXPECT_EQ(nullptr, view.ServerWindow());
    EXPECT_EQ(nullptr, view.Hwnd());
}

TEST_F(IEViewTest, AWaitingNavigateSurvivesTheViewBeingDestroyed)
{
    FakeBrowserRegistration::SetConfigure([](FakeBrowser& fake) { fake.completeNavigations = false; });
    ASSERT_TRUE(view.CreateView(parent.Hwnd(), L"", 0));
    FakeBrowser* fake = Fake();
    HWND hwnd = view.Hwnd();
    fake->Post([hwnd] { DestroyWindow(hwnd); });
    EXPECT_EQ(E_ABORT, view.Navigate(kPage, true));
    EXPECT_TRUE(fake->closed);
}

TEST_F(IEViewTest, AWaitingNavigateSurvivesTheViewBeingDeleted)
{
    FakeBrowserRegistration::SetConfigure([](FakeBrowser& fake) { fake.completeNavigations = false; });
    auto* doomed = new CIEViewWnd();
    ASSERT_TRUE(doomed->CreateView(parent.Hwnd(), L"", 0));
    FakeBrowser* fake = Fake();
    HWND hwnd = doomed->Hwnd();
    fake->Post([doomed] { delete doomed; });
    EXPECT_EQ(E_ABORT, doomed->Navigate(kPage, true));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_TRUE(fake->closed);
}

} // namespace
