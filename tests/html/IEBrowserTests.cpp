#include "Container.h"
#include "HtmlTestSupport.h"

#include <exdispid.h>
#include <mshtmcid.h>
#include <mshtmdid.h>
#include <olectl.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kPage[] = L"res://VLMMedia.dll/Input.htm";
constexpr wchar_t kOtherPage[] = L"res://VLMMedia.dll/About.htm";

class IEBrowserTest : public HtmlTest {
protected:
    void SetUp() override
    {
        HtmlTest::SetUp();
        ASSERT_TRUE(host.Hwnd());
    }

    void TearDown() override
    {
        browser.DestroyBrowser();
        HtmlTest::TearDown();
    }

    // A browser in `host` that has shown a page, so that it has a document.
    void CreateWithPage(RecordingBrowser& target)
    {
        ASSERT_TRUE(target.CreateBrowser(GetModuleHandleW(nullptr), host.Hwnd(), 0));
        ASSERT_EQ(S_OK, target.Navigate(kPage, true));
        ASSERT_NE(nullptr, Fake()->Document());
    }

    TestWindow host;
    RecordingBrowser browser;
};

// --- Creation and the site -----------------------------------------------------

TEST_F(IEBrowserTest, CreatesAndActivatesTheControlInTheHostWindow)
{
    ASSERT_TRUE(browser.CreateBrowser(GetModuleHandleW(nullptr), host.Hwnd(), DOCHOSTUIFLAG_SCROLL_NO));
    FakeBrowser* fake = Fake();
    ASSERT_NE(nullptr, fake);

    EXPECT_NE(nullptr, fake->site.Get());
    EXPECT_TRUE(fake->initNew);
    EXPECT_EQ((std::vector<LONG>{OLEIVERB_INPLACEACTIVATE, OLEIVERB_SHOW}), fake->verbs);
    ASSERT_TRUE(fake->hadHostInfo);
    const DWORD wanted =
        DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_DIV_BLOCKDEFAULT | DOCHOSTUIFLAG_THEME | DOCHOSTUIFLAG_SCROLL_NO;
    EXPECT_EQ(wanted, fake->hostFlags & wanted);
    EXPECT_EQ(static_cast<DWORD>(DOCHOSTUIFLAG_SCROLL_NO), browser.ExtraHostFlags());

    EXPECT_EQ(S_OK, fake->siteWindowResult);
    EXPECT_EQ(host.Hwnd(), fake->siteWindow);
    RECT client = {};
    GetClientRect(host.Hwnd(), &client);
    EXPECT_TRUE(EqualRect(&client, &fake->contextPosition));
    EXPECT_TRUE(EqualRect(&client, &fake->contextClip));
    EXPECT_TRUE(fake->contextHadFrame);
    EXPECT_EQ(sizeof(OLEINPLACEFRAMEINFO), fake->frameInfo.cb);
    EXPECT_FALSE(fake->frameInfo.fMDIApp);
    EXPECT_EQ(host.Hwnd(), fake->frameInfo.hwndFrame);
    EXPECT_EQ(nullptr, fake->frameInfo.haccel);
    EXPECT_EQ(0u, fake->frameInfo.cAccelEntries);
    EXPECT_EQ(host.Hwnd(), GetParent(fake->embeddingWindow));

    EXPECT_EQ(1u, fake->Events().SinkCount());
    EXPECT_NE(nullptr, browser.WebBrowser());
    EXPECT_FALSE(browser.IsLegacyBrowser());
    EXPECT_EQ(host.Hwnd(), browser.HostWindow());
}

TEST_F(IEBrowserTest, UsesAnOldControlThroughIWebBrowser)
{
    FakeBrowserRegistration::SetConfigure([](FakeBrowser& fake) { fake.offerWebBrowser2 = false; });
    ASSERT_TRUE(browser.CreateBrowser(GetModuleHandleW(nullptr), host.Hwnd(), 0));
    EXPECT_TRUE(browser.IsLegacyBrowser());
    EXPECT_EQ(nullptr, browser.WebBrowser());
    EXPECT_EQ(S_OK, browser.Navigate(kPage, true));
    EXPECT_EQ(kPage, Fake()->locationUrl);
}

TEST_F(IEBrowserTest, DestroyingLetsGoOfTheControlAndItsDocument)
{
    CreateWithPage(browser);
    FakeBrowser* fake = Fake();
    FakeDocument* document = fake->Document();
    ASSERT_EQ(1u, document->Events().SinkCount());
    ComPtr<IDocHostUIHandler> site;
    ASSERT_TRUE(SUCCEEDED(fake->site.As(&site)));

    browser.DestroyBrowser();

    EXPECT_TRUE(fake->closed);
    EXPECT_EQ(static_cast<DWORD>(OLECLOSE_NOSAVE), fake->closeOption);
    EXPECT_EQ(nullptr, fake->site.Get());
    EXPECT_TRUE(fake->uiDeactivated);
    EXPECT_TRUE(fake->inPlaceDeactivated);
    EXPECT_EQ(0u, fake->Events().SinkCount());
    EXPECT_EQ(0u, document->Events().SinkCount());
    // Only the test's own list still holds the control (and whatever COM
    // itself keeps of an object it created).
    EXPECT_EQ(ReferencesKeptByCom() + 1, fake->RefCount());
    EXPECT_EQ(nullptr, browser.WebBrowser());
    EXPECT_EQ(nullptr, browser.Container());

    // The control may still call its old site: it answers without an owner.
    POINT point = {1, 1};
    EXPECT_EQ(S_OK, site->ShowContextMenu(CONTEXT_MENU_IMAGE, &point, nullptr, nullptr));
    EXPECT_EQ(E_NOTIMPL, site->UpdateUI());
}

TEST_F(IEBrowserTest, WithoutABrowserTheDocumentOperationsDoNothing)
{
    std::wstring text = L"unchanged";
    std::wstring href = L"unchanged";
    EXPECT_FALSE(browser.GetSelectedText(&text));
    EXPECT_FALSE(browser.IsSelectionInLink());
    EXPECT_FALSE(browser.GetSelectionLink(&href, &text));
    EXPECT_EQ(L"unchanged", text);
    EXPECT_EQ(L"unchanged", href);
    EXPECT_TRUE(FAILED(browser.ExecCommand(IDM_COPY, OLECMDEXECOPT_DONTPROMPTUSER, nullptr, nullptr)));
    EXPECT_TRUE(FAILED(browser.ForwardKey(WM_KEYDOWN, VK_BACK, 0)));
    EXPECT_TRUE(FAILED(browser.Navigate(kPage, true)));
    browser.SetDesignMode(true);
    browser.WriteDocument(L"<p>x</p>", true);
    browser.AppendHtml(L"<p>x</p>");
    browser.PasteHtml(L"<p>x</p>");
    browser.MoveCaretToEnd();
    browser.SetBorder(1, RGB(1, 2, 3));
    EXPECT_EQ(nullptr, browser.Document().Get());
    EXPECT_TRUE(FakeBrowserRegistration::Created().empty());
}

struct InterfaceCase {
    const char* name;
    IID iid;
};

TEST_F(IEBrowserTest, TheSiteAnswersEveryHostInterfaceAsOneObject)
{
    ASSERT_TRUE(browser.CreateBrowser(GetModuleHandleW(nullptr), host.Hwnd(), 0));
    ComPtr<IUnknown> identity;
    ASSERT_TRUE(SUCCEEDED(Fake()->site.As(&identity)));
    const InterfaceCase cases[] = {
        {"IDocHostUIHandler", IID_IDocHostUIHandler},
        {"IServiceProvider", IID_IServiceProvider},
        {"IOleClientSite", IID_IOleClientSite},
        {"IOleWindow", IID_IOleWindow},
        {"IOleInPlaceSite", IID_IOleInPlaceSite},
        {"IOleInPlaceUIWindow", IID_IOleInPlaceUIWindow},
        {"IOleInPlaceFrame", IID_IOleInPlaceFrame},
        {"IOleControlSite", IID_IOleControlSite},
        {"IHTMLPainter", IID_IHTMLPainter},
        {"IElementBehavior", IID_IElementBehavior},
        {"IElementBehaviorFactory", IID_IElementBehaviorFactory},
        {"IHTMLEditDesigner", IID_IHTMLEditDesigner},
        {"IHTMLChangeSink", IID_IHTMLChangeSink},
        {"IDispatch", IID_IDispatch},
    };
    for (const InterfaceCase& item : cases) {
        ComPtr<IUnknown> answer;
        ASSERT_EQ(S_OK, identity->QueryInterface(item.iid, reinterpret_cast<void**>(answer.GetAddressOf())))
            << item.name;
        ComPtr<IUnknown> again;
        ASSERT_TRUE(SUCCEEDED(answer.As(&again)));
        EXPECT_EQ(identity.Get(), again.Get()) << item.name;
    }
    ComPtr<IUnknown> none;
    EXPECT_EQ(E_NOINTERFACE, identity->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(none.GetAddressOf())));
}

TEST_F(IEBrowserTest, TheSiteGivesTheNeutralAnswers)
{
    ASSERT_TRUE(browser.CreateBrowser(GetModuleHandleW(nullptr), host.Hwnd(), 0));
    ComPtr<IOleClientSite> client = Fake()->site;
    ComPtr<IDocHostUIHandler> ui;
    ComPtr<IOleInPlaceSite> inPlace;
    ComPtr<IOleInPlaceFrame> frame;
    ComPtr<IOleControlSite> control;
    ASSERT_TRUE(SUCCEEDED(client.As(&ui)) && SUCCEEDED(client.As(&inPlace)) && SUCCEEDED(client.As(&frame)) &&
                SUCCEEDED(client.As(&control)));

    EXPECT_EQ(E_NOTIMPL, ui->GetHostInfo(nullptr));
    IOleContainer* container = reinterpret_cast<IOleContainer*>(1);
    EXPECT_EQ(E_NOINTERFACE, client->GetContainer(&container));
    EXPECT_EQ(nullptr, container);
    EXPECT_EQ(S_OK, client->ShowObject());
    EXPECT_EQ(S_OK, client->OnShowWindow(TRUE));
    EXPECT_EQ(S_OK, inPlace->CanInPlaceActivate());
    EXPECT_EQ(S_OK, inPlace->OnInPlaceActivate());
    EXPECT_EQ(S_OK, inPlace->OnUIActivate());
    EXPECT_EQ(S_OK, inPlace->OnInPlaceDeactivate());
    RECT somewhere = {0, 0, 10, 10};
    EXPECT_EQ(S_OK, inPlace->OnPosRectChange(&somewhere));
    EXPECT_EQ(S_OK, frame->SetStatusText(L"Done"));
    HWND window = nullptr;
    EXPECT_EQ(S_OK, frame->GetWindow(&window));
    EXPECT_EQ(host.Hwnd(), window);

    ComPtr<IDispatch> extended;
    ASSERT_EQ(S_OK, control->GetExtendedControl(&extended));
    ComPtr<IDispatch> ambient;
    ASSERT_TRUE(SUCCEEDED(client.As(&ambient)));
    EXPECT_EQ(ambient.Get(), extended.Get());
    DISPPARAMS none = {};
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, extended->Invoke(DISPID_AMBIENT_DLCONTROL, IID_NULL, LOCALE_USER_DEFAULT,
                                                      DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr));

    host.Destroy();
    EXPECT_EQ(S_FALSE, inPlace->GetWindow(&window));
}

TEST_F(IEBrowserTest, APlainBrowserLeavesPictureAndSelectionMenusToTheControl)
{
    ASSERT_TRUE(browser.CreateBrowser(GetModuleHandleW(nullptr), host.Hwnd(), 0));
    ComPtr<IDocHostUIHandler> ui;
    ASSERT_TRUE(SUCCEEDED(Fake()->site.As(&ui)));
    struct MenuCase {
        DWORD id;
        HRESULT answer;
    };
    const MenuCase cases[] = {
        {CONTEXT_MENU_DEFAULT, S_OK},    {CONTEXT_MENU_IMAGE, E_NOTIMPL},      {CONTEXT_MENU_CONTROL, S_OK},
        {CONTEXT_MENU_TABLE, S_OK},      {CONTEXT_MENU_TEXTSELECT, E_NOTIMPL}, {CONTEXT_MENU_ANCHOR, S_OK},
        {CONTEXT_MENU_UNKNOWN, S_OK},
    };
    POINT point = {10, 10};
    for (const MenuCase& item : cases)
        EXPECT_EQ(item.answer, ui->ShowContextMenu(item.id, &point, nullptr, nullptr)) << item.id;
}

// A browser that answers each forwarded site call with its own code, to see
// that the site reaches the right operation.
class AnsweringBrowser : public CIEBrowser {
public:
    HRESULT UpdateUI() override { return 0x10; }
    HRESULT GetDropTarget(IDropTarget*, IDropTarget**) override { return 0x11; }
    HRESULT QueryService(REFGUID, REFIID, void**) override { return 0x12; }
    HRESULT PainterOnResize(SIZE) override { return 0x13; }
    HRESULT BehaviorDetach() override { return 0x14; }
    HRESULT OnMarkupChange() override { return 0x15; }
    HRESULT DesignerPreHandleEvent(DISPID, IHTMLEventObj*) override { return 0x16; }
    HRESULT DesignerPostHandleEvent(DISPID, IHTMLEventObj*) override { return 0x17; }
    HRESULT DesignerTranslateAccelerator(DISPID, IHTMLEventObj*) override { return 0x18; }
    HRESULT DesignerPostEditorEventNotify(DISPID, IHTMLEventObj*) override { return 0x19; }
    HRESULT FindBehavior(BSTR, BSTR, IElementBehaviorSite*, IElementBehavior**) override { return 0x1A; }
};

TEST_F(IEBrowserTest, TheSiteForwardsToTheOwnersOperations)
{
    AnsweringBrowser answering;
    ASSERT_TRUE(answering.CreateBrowser(GetModuleHandleW(nullptr), host.Hwnd(), 0));
    ComPtr<IOleClientSite> site = Fake()->site;
    ComPtr<IDocHostUIHandler> ui;
    ComPtr<IServiceProvider> services;
    ComPtr<IHTMLPainter> painter;
    ComPtr<IElementBehavior> behavior;
    ComPtr<IElementBehaviorFactory> factory;
    ComPtr<IHTMLChangeSink> changes;
    ComPtr<IHTMLEditDesigner> designer;
    ASSERT_TRUE(SUCCEEDED(site.As(&ui)) && SUCCEEDED(site.As(&services)) && SUCCEEDED(site.As(&painter)) &&
                SUCCEEDED(site.As(&behavior)) && SUCCEEDED(site.As(&factory)) && SUCCEEDED(site.As(&changes)) &&
                SUCCEEDED(site.As(&designer)));

    EXPECT_EQ(0x10, ui->UpdateUI());
    IDropTarget* target = nullptr;
    EXPECT_EQ(0x11, ui->GetDropTarget(nullptr, &target));
    void* service = nullptr;
    EXPECT_EQ(0x12, services->QueryService(IID_IUnknown, IID_IUnknown, &service));
    EXPECT_EQ(0x13, painter->OnResize(SIZE{1, 1}));
    EXPECT_EQ(0x14, behavior->Detach());
    EXPECT_EQ(0x15, changes->Notify());
    EXPECT_EQ(0x16, designer->PreHandleEvent(DISPID_KEYDOWN, nullptr));
    EXPECT_EQ(0x17, designer->PostHandleEvent(DISPID_KEYDOWN, nullptr));
    EXPECT_EQ(0x18, designer->TranslateAccelerator(DISPID_KEYDOWN, nullptr));
    EXPECT_EQ(0x19, designer->PostEditorEventNotify(DISPID_KEYDOWN, nullptr));
    IElementBehavior* found = nullptr;
    EXPECT_EQ(0x1A, factory->FindBehavior(nullptr, nullptr, nullptr, &found));
}

TEST_F(IEBrowserTest, TheDefaultAnswersLetTheEditorAndPainterCarryOn)
{
    ASSERT_TRUE(browser.CreateBrowser(GetModuleHandleW(nullptr), host.Hwnd(), 0));
    ComPtr<IHTMLEditDesigner> designer;
    ComPtr<IHTMLPainter> painter;
    ComPtr<IServiceProvider> services;
    ASSERT_TRUE(SUCCEEDED(Fake()->site.As(&designer)) && SUCCEEDED(Fake()->site.As(&painter)) &&
                SUCCEEDED(Fake()->site.As(&services)));
    EXPECT_EQ(S_FALSE, designer->PreHandleEvent(DISPID_KEYDOWN, nullptr));
    EXPECT_EQ(S_FALSE, designer->PostHandleEvent(DISPID_KEYDOWN, nullptr));
    EXPECT_EQ(S_FALSE, designer->TranslateAccelerator(DISPID_KEYDOWN, nullptr));
    EXPECT_EQ(S_FALSE, designer->PostEditorEventNotify(DISPID_KEYDOWN, nullptr));
    EXPECT_EQ(E_NOTIMPL, painter->OnResize(SIZE{1, 1}));
    void* service = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOTIMPL, services->QueryService(IID_IUnknown, IID_IUnknown, &service));
    EXPECT_EQ(nullptr, service);
}

// --- Navigation and the waiting loop ----------------------------------------

TEST_F(IEBrowserTest, NavigatingRaisesTheOperationsInOrder)
{
    ASSERT_TRUE(browser.CreateBrowser(GetModuleHandleW(nullptr), host.Hwnd(), 0));
    ASSERT_EQ(S_OK, browser.Navigate(kPage, false));
    ASSERT_TRUE(PumpUntil([&] { return !browser.log.empty() && browser.log.back().rfind(L"complete:", 0) == 0; }));
    const std::wstring page = kPage;
    EXPECT_EQ((std::vector<std::wstring>{L"before:" + page, L"navigated:" + page, L"complete:" + page + L":top"}),
              browser.log);
}

TEST_F(IEBrowserTest, AWaitingNavigateReturnsWhenItsPageHasCompleted)
{
    ASSERT_TRUE(browser.CreateBrowser(GetModuleHandleW(nullptr), host.Hwnd(), 0));
    EXPECT_EQ(S_OK, browser.Navigate(kPage, true));
    EXPECT_TRUE(browser.Contains(std::wstring(L"complete:") + kPage + L":top:waiting"));
}

TEST_F(IEBrowserTest, AFrameCompletingDoesNotEndTheWait)
{
    FakeBrowserRegistration::SetConfigure([](FakeBrowser& fake) { fake.completeNavigations = false; });
    ASSERT_TRUE(browser.CreateBrowser(GetModuleHandleW(nullptr), host.Hwnd(), 0));
    FakeBrowser* fake = Fake();
    ComPtr<FakeDocument> frame;
    *frame.ReleaseAndGetAddressOf() = new FakeDocument(L"about:blank");
    fake->Post([&] { fake->RaiseDocumentComplete(static_cast<IHTMLDocument2*>(frame.Get()), L"frame.htm"); });
    // Runs only while the wait goes on: a wait ended by the frame would
    // never get here.
    fake->Post([&] { fake->CompleteNavigation(kPage); });

    EXPECT_EQ(S_OK, browser.Navigate(kPage, true));
    const std::wstring page = kPage;
    EXPECT_EQ((std::vector<std::wstring>{L"before:" + page, L"complete:frame.htm:frame:waiting", L"navigated:" + page,
                                         L"complete:" + page + L":top:waiting"}),
              browser.log);
}

TEST_F(IEBrowserTest, ANavigationErrorEndsTheWaitAtOnce)
{
    // What a browser control without an HTML engine does with every page.
    FakeBrowserRegistration::SetConfigure([](FakeBrowser& fake) { fake.failNavigations = true; });
    ASSERT_TRUE(browser.CreateBrowser(GetModuleHandleW(nullptr), host.Hwnd(), 0));
    browser.SetNavigateWaitLimit(60000);
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(E_ABORT, browser.Navigate(kPage, true));
    EXPECT_LT(GetTickCount64() - start, 5000u) << "no waiting for the limit";
}

TEST_F(IEBrowserTest, AStrayNullMessageDoesNotEndTheWait)
{
    FakeBrowserRegistration::SetConfigure([](FakeBrowser& fake) { fake.completeNavigations = false; });
    ASSERT_TRUE(browser.CreateBrowser(GetModuleHandleW(nullptr), host.Hwnd(), 0));
    FakeBrowser* fake = Fake();
    const HWND window = host.Hwnd();
    fake->Post([window] {
        PostMessageW(window, WM_NULL, 0, 0);
        PostMessageW(nullptr, WM_NULL, 0, 0);
    });
    fake->Post([&] { fake->CompleteNavigation(kPage); });
    EXPECT_EQ(S_OK, browser.Navigate(kPage, true));
    EXPECT_TRUE(browser.Contains(std::wstring(L"complete:") + kPage + L":top:waiting"));
}

TEST_F(IEBrowserTest, QuitDuringTheWaitEndsItAndStillQuits)
{
    FakeBrowserRegistration::SetConfigure([](FakeBrowser& fake) { fake.completeNavigations = false; });
    ASSERT_TRUE(browser.CreateBrowser(GetModuleHandleW(nullptr), host.Hwnd(), 0));
    Fake()->Post([] { PostQuitMessage(7); });

    EXPECT_EQ(E_ABORT, browser.Navigate(kPage, true));
    MSG quit = {};
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(7u, quit.wParam);
}

TEST_F(IEBrowserTest, TheWaitGivesUpAfterItsLimit)
{
    FakeBrowserRegistration::SetConfigure([](FakeBrowser& fake) { fake.completeNavigations = false; });
    ASSERT_TRUE(browser.CreateBrowser(GetModuleHandleW(nullptr), host.Hwnd(), 0));
    browser.SetNavigateWaitLimit(200);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_TIMEOUT), browser.Navigate(kPage, true));

    // The page arriving late is an ordinary completion.
    Fake()->CompleteNavigation(kPage);
    EXPECT_TRUE(browser.Contains(std::wstring(L"complete:") + kPage + L":top"));
}

TEST_F(IEBrowserTest, TheWaitEndsWhenTheHostWindowIsDestroyed)
{
    FakeBrowserRegistration::SetConfigure([](FakeBrowser& fake) { fake.completeNavigations = false; });
    ASSERT_TRUE(browser.CreateBrowser(GetModuleHandleW(nullptr), host.Hwnd(), 0));
    Fake()->Post([&] { host.Destroy(); });
    EXPECT_EQ(E_ABORT, browser.Navigate(kPage, true));
}

TEST_F(IEBrowserTest, ANewerWaitingNavigateTakesOverTheWait)
{
    FakeBrowserRegistration::SetConfigure([](FakeBrowser& fake) { fake.completeNavigations = false; });
    ASSERT_TRUE(browser.CreateBrowser(GetModuleHandleW(nullptr), host.Hwnd(), 0));
    FakeBrowser* fake = Fake();
    HRESULT inner = E_FAIL;
    fake->Post([&] { inner = browser.Navigate(kOtherPage, true); });
    fake->Post([&] { fake->CompleteNavigation(kOtherPage); });

    EXPECT_EQ(E_ABORT, browser.Navigate(kPage, true));
    EXPECT_EQ(S_OK, inner);
}

// --- Events -----------------------------------------------------------------------

TEST_F(IEBrowserTest, TheDocumentSinkFollowsEachNewTopLevelDocument)
{
    CreateWithPage(browser);
    FakeBrowser* fake = Fake();
    ComPtr<FakeDocument> first = fake->Document();
    ComPtr<FakeEventObj> event;
    *event.ReleaseAndGetAddressOf() = new FakeEventObj();

    first->RaiseEvent(DISPID_CLICK, event.Get());
    EXPECT_EQ(1, std::count(browser.log.begin(), browser.log.end(), L"click"));

    // A frame's navigation leaves the sink where it is.
    ComPtr<FakeDocument> frame;
    *frame.ReleaseAndGetAddressOf() = new FakeDocument(L"about:blank");
    fake->RaiseNavigateComplete2(static_cast<IHTMLDocument2*>(frame.Get()), L"frame.htm");
    EXPECT_EQ(1u, first->Events().SinkCount());

    ASSERT_EQ(S_OK, browser.Navigate(kOtherPage, true));
    ComPtr<FakeDocument> second = fake->Document();
    ASSERT_NE(first.Get(), second.Get());
    EXPECT_EQ(0u, first->Events().SinkCount());
    EXPECT_EQ(1u, second->Events().SinkCount());

    second->RaiseEvent(DISPID_CLICK, event.Get());
    first->RaiseEvent(DISPID_CLICK, event.Get());
    EXPECT_EQ(2, std::count(browser.log.begin(), browser.log.end(), L"click"));
}

TEST_F(IEBrowserTest, DocumentEventsReachTheirOperations)
{
    CreateWithPage(browser);
    FakeDocument* document = Fake()->Document();
    ComPtr<FakeEventObj> event;
    *event.ReleaseAndGetAddressOf() = new FakeEventObj();
    struct EventCase {
        DISPID id;
        const wchar_t* operation;
    };
    const EventCase cases[] = {
        {DISPID_CLICK, L"click"},         {DISPID_DBLCLICK, L"dblclick"},   {DISPID_KEYDOWN, L"keydown"},
        {DISPID_KEYPRESS, L"keypress"},   {DISPID_MOUSEDOWN, L"mousedown"}, {DISPID_MOUSEUP, L"mouseup"},
        {1037, L"selectionchange"},
    };
    for (const EventCase& item : cases) {
        browser.log.clear();
        document->RaiseEvent(item.id, event.Get());
        EXPECT_EQ(std::vector<std::wstring>{item.operation}, browser.log) << item.id;
    }
    browser.log.clear();
    document->RaiseEvent(DISPID_MOUSEMOVE, event.Get());
    EXPECT_TRUE(browser.log.empty());
}

TEST_F(IEBrowserTest, BrowserEventsReachTheirOperations)
{
    ASSERT_TRUE(browser.CreateBrowser(GetModuleHandleW(nullptr), host.Hwnd(), 0));
    FakeBrowser* fake = Fake();
    fake->RaiseStatusTextChange(L"http://example.com/");
    fake->RaiseTitleChange(L"A title");
    DISPPARAMS none = {};
    fake->Events().Raise(DISPID_DOWNLOADCOMPLETE, &none);
    fake->Events().Raise(DISPID_DOWNLOADBEGIN, &none);
    fake->Events().Raise(DISPID_COMMANDSTATECHANGE, &none);
    EXPECT_EQ((std::vector<std::wstring>{L"status:http://example.com/", L"title:A title", L"download"}), browser.log);
}

TEST_F(IEBrowserTest, ACancelledNavigationIsNotLoaded)
{
    ASSERT_TRUE(browser.CreateBrowser(GetModuleHandleW(nullptr), host.Hwnd(), 0));
    browser.cancelContaining = L"About";
    ASSERT_EQ(S_OK, browser.Navigate(kOtherPage, false));
    PumpPending();
    EXPECT_EQ(std::vector<std::wstring>{std::wstring(L"before:") + kOtherPage}, browser.log);
    EXPECT_EQ(nullptr, Fake()->Document());
}

// Events whose arguments do not have the count and types the event
// declares are dropped, not read.
TEST_F(IEBrowserTest, EventsWithWrongArgumentsAreIgnored)
{
    CreateWithPage(browser);
    FakeBrowser* fake = Fake();
    browser.log.clear();

    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(L"http://example.com/");
    VARIANT number;
    VariantInit(&number);
    number.vt = VT_I4;
    number.lVal = 5;
    VARIANT dispatch;
    VariantInit(&dispatch);
    dispatch.vt = VT_DISPATCH;
    dispatch.pdispVal = fake->AsDispatch();
    VARIANT_BOOL cancelFlag = VARIANT_FALSE;
    VARIANT cancelByValue;
    VariantInit(&cancelByValue);
    cancelByValue.vt = VT_BOOL;
    cancelByValue.boolVal = VARIANT_FALSE;
    VARIANT cancel;
    VariantInit(&cancel);
    cancel.vt = VT_BYREF | VT_BOOL;
    cancel.pboolVal = &cancelFlag;
    VARIANT empty;
    VariantInit(&empty);

    struct BadEvent {
        const char* what;
        DISPID id;
        std::vector<VARIANT> lastFirst;
        UINT named;
    };
    const std::vector<BadEvent> cases = {
        {"BeforeNavigate2 with two arguments", DISPID_BEFORENAVIGATE2, {text, dispatch}, 0},
        {"BeforeNavigate2 with Cancel by value", DISPID_BEFORENAVIGATE2,
         {cancelByValue, empty, empty, empty, empty, text, dispatch}, 0},
        {"BeforeNavigate2 with a number for the address", DISPID_BEFORENAVIGATE2,
         {cancel, empty, empty, empty, empty, number, dispatch}, 0},
        {"BeforeNavigate2 with the arguments reversed", DISPID_BEFORENAVIGATE2,
         {dispatch, text, empty, empty, empty, empty, cancel}, 0},
        {"DocumentComplete without arguments", DISPID_DOCUMENTCOMPLETE, {}, 0},
        {"DocumentComplete with the arguments swapped", DISPID_DOCUMENTCOMPLETE, {dispatch, text}, 0},
        {"NavigateComplete2 with three arguments", DISPID_NAVIGATECOMPLETE2, {text, text, dispatch}, 0},
        {"StatusTextChange with a number", DISPID_STATUSTEXTCHANGE, {number}, 0},
        {"TitleChange without arguments", DISPID_TITLECHANGE, {}, 0},
        {"StatusTextChange with a named argument", DISPID_STATUSTEXTCHANGE, {text}, 1},
    };
    for (BadEvent item : cases) {
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params = {};
        params.cArgs = static_cast<UINT>(item.lastFirst.size());
        params.rgvarg = item.lastFirst.empty() ? nullptr : item.lastFirst.data();
        params.cNamedArgs = item.named;
        params.rgdispidNamedArgs = item.named ? &named : nullptr;
        EXPECT_EQ(std::vector<HRESULT>{S_OK}, fake->Events().Raise(item.id, &params)) << item.what;
        EXPECT_TRUE(browser.log.empty()) << item.what;
        EXPECT_EQ(VARIANT_FALSE, cancelFlag) << item.what;
    }
    EXPECT_EQ(std::vector<HRESULT>{S_OK}, fake->Events().Raise(DISPID_STATUSTEXTCHANGE, nullptr));

    FakeDocument* document = fake->Document();
    std::vector<VARIANT> notAnEvent = {text};
    DISPPARAMS params = {};
    params.cArgs = 1;
    params.rgvarg = notAnEvent.data();
    document->Events().Raise(DISPID_CLICK, &params);
    params.rgvarg = nullptr;
    document->Events().Raise(DISPID_CLICK, &params);
    EXPECT_TRUE(browser.log.empty());

    // The same event well formed is delivered.
    std::vector<VARIANT> good = {text};
    params.rgvarg = good.data();
    fake->Events().Raise(DISPID_STATUSTEXTCHANGE, &params);
    EXPECT_EQ(std::vector<std::wstring>{L"status:http://example.com/"}, browser.log);
    VariantClear(&text);
}

// --- The document operations ---------------------------------------------------

TEST_F(IEBrowserTest, DesignModeWriteAndAppendGoToTheDocument)
{
    CreateWithPage(browser);
    FakeDocument* document = Fake()->Document();

    browser.SetDesignMode(true);
    EXPECT_EQ(L"On", document->designMode);
    browser.SetDesignMode(false);
    EXPECT_EQ(L"Off", document->designMode);

    browser.WriteDocument(L"<p>first</p>", false);
    EXPECT_EQ(0, document->closes);
    browser.WriteDocument(L"<p>second</p>", true);
    EXPECT_EQ((std::vector<std::wstring>{L"<p>first</p>", L"<p>second</p>"}), document->written);
    EXPECT_EQ(1, document->closes);

    browser.AppendHtml(L"<b>bold</b>");
    browser.AppendText(L"a < b");
    EXPECT_EQ((std::vector<std::wstring>{L"beforeEnd|html|<b>bold</b>", L"beforeEnd|text|a < b"}),
              document->Body()->insertions);
}

TEST_F(IEBrowserTest, PastingReplacesTheSelectionAndClearsASelectedPictureFirst)
{
    CreateWithPage(browser);
    FakeDocument* document = Fake()->Document();

    document->selectionType = L"Text";
    browser.PasteHtml(L"<i>one</i>");
    EXPECT_EQ(std::vector<std::wstring>{L"pasteHTML:<i>one</i>"}, document->rangeLog);

    document->rangeLog.clear();
    document->selectionType = L"Control";
    browser.PasteHtml(L"<i>two</i>");
    EXPECT_EQ((std::vector<std::wstring>{L"clear", L"pasteHTML:<i>two</i>"}), document->rangeLog);
}

TEST_F(IEBrowserTest, SelectedTextOnlyForATextSelection)
{
    CreateWithPage(browser);
    FakeDocument* document = Fake()->Document();
    document->selectionText = L"picked words";
    struct SelectionCase {
        const wchar_t* type;
        bool answers;
    };
    for (const SelectionCase& item : {SelectionCase{L"Text", true}, SelectionCase{L"None", false},
                                      SelectionCase{L"Control", false}}) {
        document->selectionType = item.type;
        std::wstring text;
        EXPECT_EQ(item.answers, browser.GetSelectedText(&text)) << item.type;
        EXPECT_EQ(item.answers ? L"picked words" : L"", text) << item.type;
    }
}

TEST_F(IEBrowserTest, TheLinkAroundTheSelection)
{
    CreateWithPage(browser);
    FakeDocument* document = Fake()->Document();
    document->selectionType = L"Text";

    FakeElement* link = document->AddElement(L"a", L"");
    link->attributes[L"href"] = L"http://example.com/";
    link->innerHtml = L"the <b>site</b>";
    document->selectionParent = link;
    std::wstring href;
    std::wstring text;
    EXPECT_TRUE(browser.IsSelectionInLink());
    ASSERT_TRUE(browser.GetSelectionLink(&href, &text));
    EXPECT_EQ(L"http://example.com/", href);
    EXPECT_EQ(L"the site", text);

    browser.SetSelectionParentHtml(L"<A HREF=\"http://example.org/\">new</A>");
    EXPECT_EQ(L"<A HREF=\"http://example.org/\">new</A>", link->outerHtmlSet);

    FakeElement* span = document->AddElement(L"span", L"");
    span->innerHtml = L"plain";
    document->selectionParent = span;
    EXPECT_FALSE(browser.IsSelectionInLink());
    ASSERT_TRUE(browser.GetSelectionLink(&href, &text));
    EXPECT_EQ(L"", href);
    EXPECT_EQ(L"plain", text);

    document->selectionParent = nullptr;
    EXPECT_FALSE(browser.GetSelectionLink(&href, &text));
}

TEST_F(IEBrowserTest, TheCaretGoesToTheEndOfTheBody)
{
    CreateWithPage(browser);
    browser.MoveCaretToEnd();
    EXPECT_EQ((std::vector<std::wstring>{L"createTextRange:BODY", L"collapse:end", L"select"}),
              Fake()->Document()->rangeLog);
}

TEST_F(IEBrowserTest, CommandsGoToTheDocumentInTheEditingGroup)
{
    CreateWithPage(browser);
    VARIANT in;
    VariantInit(&in);
    in.vt = VT_BSTR;
    in.bstrVal = SysAllocString(L"Arial");
    EXPECT_EQ(S_OK, browser.ExecCommand(IDM_FONTNAME, OLECMDEXECOPT_DONTPROMPTUSER, &in, nullptr));
    VariantClear(&in);
    const std::vector<ExecCall>& execs = Fake()->Document()->execs;
    ASSERT_EQ(1u, execs.size());
    EXPECT_TRUE(IsEqualGUID(CGID_MSHTML, execs[0].group));
    EXPECT_EQ(static_cast<DWORD>(IDM_FONTNAME), execs[0].id);
    EXPECT_EQ(static_cast<DWORD>(OLECMDEXECOPT_DONTPROMPTUSER), execs[0].option);
    EXPECT_EQ(L"Arial", execs[0].input);
}

TEST_F(IEBrowserTest, ScriptFunctionsAreCalledByNameWithTheirArgumentsInOrder)
{
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(L"<b>hi</b>");
    VARIANT flag;
    VariantInit(&flag);
    flag.vt = VT_BOOL;
    flag.boolVal = VARIANT_TRUE;
    EXPECT_FALSE(SUCCEEDED(browser.CallScript(L"AddMsg", {text, flag}, nullptr)));

    CreateWithPage(browser);
    FakeDocument* document = Fake()->Document();
    document->scriptResult = L"done";
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(S_OK, browser.CallScript(L"AddMsg", {text, flag}, &result));
    EXPECT_EQ(L"done", VariantText(result));
    VariantClear(&result);
    EXPECT_EQ(S_OK, browser.CallScript(L"UpdateView", {}, nullptr));
    ASSERT_EQ(2u, document->scriptCalls.size());
    EXPECT_EQ(L"AddMsg", document->scriptCalls[0].name);
    EXPECT_EQ((std::vector<std::wstring>{L"<b>hi</b>", L"true"}), document->scriptCalls[0].arguments);
    EXPECT_TRUE(document->scriptCalls[1].arguments.empty());

    // A page still loading, and a script that throws.
    document->scriptReady = false;
    EXPECT_FALSE(SUCCEEDED(browser.CallScript(L"AddMsg", {text, flag}, nullptr)));
    document->scriptReady = true;
    document->scriptFails = true;
    EXPECT_FALSE(SUCCEEDED(browser.CallScript(L"AddMsg", {text, flag}, nullptr)));
    VariantClear(&text);
}

TEST_F(IEBrowserTest, ColoursAndBorderAreWrittenAsHexOnTheBody)
{
    CreateWithPage(browser);
    FakeElement* body = Fake()->Document()->Body();

    browser.SetTextColor(RGB(0x12, 0x34, 0xAB));
    EXPECT_EQ(L"#1234AB", body->style->Get(L"color"));

    browser.SetBackgroundColor(RGB(0xFF, 0x00, 0x0F));
    EXPECT_EQ(L"#FF000F", body->bgColor);
    EXPECT_EQ(L"#FF000F", body->style->Get(L"backgroundColor"));

    browser.SetBorder(2, RGB(1, 2, 3));
    EXPECT_EQ(L"2px solid #010203", body->style->Get(L"border"));

    const COLORREF window = GetSysColor(COLOR_WINDOW);
    wchar_t expected[32] = {};
    swprintf(expected, ARRAYSIZE(expected), L"1px solid #%02X%02X%02X", GetRValue(window), GetGValue(window),
             GetBValue(window));
    browser.SetBorder(1, 0);
    EXPECT_EQ(expected, body->style->Get(L"border"));
}

TEST_F(IEBrowserTest, AForwardedKeyReachesTheControlAsAMessageOfTheHostWindow)
{
    ASSERT_TRUE(browser.CreateBrowser(GetModuleHandleW(nullptr), host.Hwnd(), 0));
    Fake()->acceleratorAnswer = S_OK;
    EXPECT_EQ(S_OK, browser.ForwardKey(WM_KEYDOWN, VK_DELETE, 0x01530001));
    const std::vector<MSG>& keys = Fake()->accelerators;
    ASSERT_EQ(1u, keys.size());
    EXPECT_EQ(host.Hwnd(), keys[0].hwnd);
    EXPECT_EQ(static_cast<UINT>(WM_KEYDOWN), keys[0].message);
    EXPECT_EQ(static_cast<WPARAM>(VK_DELETE), keys[0].wParam);
    EXPECT_EQ(0x01530001, keys[0].lParam);
}

} // namespace
