// The conversation view under Wine, against the fake browser control: its
// page, the messages it hands to the page's script, the queue of messages
// the page is not ready for, and where links go.
#include "ChatTheme.h"
#include "FakeExpressionUser.h"
#include "HtmlTestSupport.h"
#include "IEChatWnd.h"

#include "AppState.h"
#include "DragDropTarget.h"
#include "Folders.h"
#include "LangStrings.h"
#include "StringConv.h"
#include "SubclsWnd.h"
#include "WindowKinds.h"

#include <commctrl.h>
#include <mshtmcid.h>
#include <mshtmdid.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr int kViewId = 77;

// The parent of the view: a conversation window as far as the view can
// tell, writing down that the view's page is ready.
class ParentRecorder : public CSubclsWnd, public CDragDropTarget {
public:
    std::vector<WPARAM> ready;

protected:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == CIEChatWnd::kDocumentReady)
            ready.push_back(wParam);
        return CSubclsWnd::WindowProc(hwnd, message, wParam, lParam);
    }
};

// A theme whose templates say which one they are.
const char kBasePage[] =
    "<html><head><base href=\"\"><link rel=\"stylesheet\" href=\"Styles/Default.css\">"
    "<script>function AddMsg(html, isNext) {} function ShowTimeStamp(show) {}"
    " function SetMsgStyle(href) {} function UpdateView() {}</script></head>"
    "<body><div id=\"Chat\"></div><div id=\"Wallpaper\"></div><div id=\"Cloud\"></div>"
    "<div id=\"BuddyIcon\"></div></body></html>";

struct TemplateFile {
    const wchar_t* name;
    const char* text;
};
const TemplateFile kTemplates[] = {
    {L"IncomingNew.htm", "IN-NEW $name$: $message$"},
    {L"IncomingNext.htm", "IN-NEXT $message$"},
    {L"OutgoingNew.htm", "OUT-NEW $name$: $message$"},
    {L"OutgoingNext.htm", "OUT-NEXT $message$"},
    {L"Notification.htm", "NOTE $message$"},
    {L"header.htm", "HEADER $namein$ and $nameout$"},
};

ChatMessage Message(MessageKind kind, const std::wstring& text, const std::wstring& id = L"")
{
    ChatMessage message;
    message.kind = kind;
    message.id = id;
    message.text = text;
    message.body = text;
    GetLocalTime(&message.time);
    message.sender = kind == MessageKind::Outgoing ? ChatParty{L"Alice Demo", L"Alice", L""}
                                                   : ChatParty{L"Bob Demo", L"Bob", L""};
    return message;
}

class ChatViewTest : public HtmlTest {
protected:
    void SetUp() override
    {
        HtmlTest::SetUp();
        Settings().SetPath(folder.File(L"Velmora.ini").c_str());
        WriteTheme(folder.Path() + L"Themes\\Msgs\\Default\\");
        ASSERT_TRUE(parent.Attach(window.Hwnd(), kKindChat));
    }

    void TearDown() override
    {
        view.reset();
        window.Destroy();
        Settings().SetPath(nullptr);
        HtmlTest::TearDown();
    }

    static void WriteTheme(const std::wstring& theme)
    {
        ASSERT_TRUE(CreateFolderPath(theme));
        ASSERT_TRUE(WriteFileBytes(theme + L"Base.htm", kBasePage));
        for (const TemplateFile& file : kTemplates)
            ASSERT_TRUE(WriteFileBytes(theme + file.name, file.text));
    }

    CIEChatWnd& Show(bool timeStamps = true)
    {
        view = std::make_unique<CIEChatWnd>(L"Alice Demo");
        EXPECT_TRUE(view->ShowChatView(window.Hwnd(), kViewId, timeStamps));
        return *view;
    }

    static FakeDocument* Page() { return Fake() ? Fake()->Document() : nullptr; }

    // The script calls of one name the page received.
    static std::vector<ScriptCall> Calls(const std::wstring& name)
    {
        std::vector<ScriptCall> calls;
        if (FakeDocument* page = Page()) {
            std::copy_if(page->scriptCalls.begin(), page->scriptCalls.end(), std::back_inserter(calls),
                         [&](const ScriptCall& call) { return call.name == name; });
        }
        return calls;
    }

    // The first argument of every "AddMsg" call, in order.
    static std::vector<std::wstring> Shown()
    {
        std::vector<std::wstring> html;
        for (const ScriptCall& call : Calls(L"AddMsg"))
            html.push_back(call.arguments.at(0));
        return html;
    }

    TempFolder folder;
    TestWindow window{400, 300};
    ParentRecorder parent;
    std::unique_ptr<CIEChatWnd> view;
};

} // namespace

TEST_F(ChatViewTest, LoadsTheThemePageAndTellsTheParent)
{
    CIEChatWnd& chat = Show(false);
    const std::wstring theme = folder.Path() + L"Themes\\Msgs\\Default\\";
    EXPECT_EQ(theme, chat.ThemeFolder());
    ASSERT_TRUE(Fake());
    EXPECT_EQ(std::vector<std::wstring>{theme + L"Base.htm"}, Fake()->navigateRequests);
    EXPECT_EQ(VARIANT_TRUE, Fake()->silent);
    EXPECT_EQ(VARIANT_TRUE, Fake()->offline);

    wchar_t className[64] = {};
    GetClassNameW(chat.Hwnd(), className, ARRAYSIZE(className));
    EXPECT_STREQ(L"__oVLMoMAINoPANEoWNDo__", className);
    EXPECT_EQ(kViewId, GetDlgCtrlID(chat.Hwnd()));
    EXPECT_TRUE(IsWindowVisible(chat.Hwnd()));
    EXPECT_EQ(std::vector<WPARAM>{kViewId}, parent.ready);

    // Relative addresses resolve in the theme, and the style is the default.
    FakeDocument* page = Page();
    ASSERT_TRUE(page);
    const std::vector<FakeElement*> bases = page->ElementsByTag(L"BASE");
    const std::vector<FakeElement*> links = page->ElementsByTag(L"LINK");
    ASSERT_EQ(1u, bases.size());
    ASSERT_EQ(1u, links.size());
    EXPECT_EQ(FileUrlOfPath(theme), bases[0]->Attribute(L"href"));
    EXPECT_EQ(L"Styles/Default.css", links[0]->Attribute(L"href"));

    // The page was told to hide time stamps, and the view knows.
    const std::vector<ScriptCall> stamps = Calls(L"ShowTimeStamp");
    ASSERT_EQ(1u, stamps.size());
    EXPECT_EQ(std::vector<std::wstring>{L"false"}, stamps[0].arguments);
    EXPECT_FALSE(chat.TimeStampsShown());
}

TEST_F(ChatViewTest, EachSideTalksInBlocksOfNewThenNext)
{
    CIEChatWnd& chat = Show();
    CMessageSequence sequence;
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    const ChatMessage messages[] = {
        Message(MessageKind::Incoming, L"one"),       Message(MessageKind::Incoming, L"two"),
        Message(MessageKind::Incoming, L"three"),     Message(MessageKind::Outgoing, L"four", L"m4"),
        Message(MessageKind::Outgoing, L"five", L"m5"), Message(MessageKind::Outgoing, L"five", L"m5"),
        Message(MessageKind::Notification, L"Bob is away"), Message(MessageKind::Incoming, L"<TrackBuddy>ping"),
        Message(MessageKind::Incoming, L"six"),
    };
    for (const ChatMessage& message : messages)
        chat.ShowMessage(sequence, message, now);

    const std::vector<std::wstring> expected = {
        L"IN-NEW Bob: one", L"IN-NEXT two",  L"IN-NEXT three",    L"OUT-NEW Alice: four",
        L"OUT-NEXT five",   L"NOTE Bob is away", L"IN-NEW Bob: six",
    };
    EXPECT_EQ(expected, Shown());
    const std::vector<ScriptCall> calls = Calls(L"AddMsg");
    ASSERT_EQ(expected.size(), calls.size());
    const bool isNext[] = {false, true, true, false, true, false, false};
    for (size_t i = 0; i < calls.size(); ++i)
        EXPECT_EQ(isNext[i] ? L"true" : L"false", calls[i].arguments.at(1)) << i;
}

TEST_F(ChatViewTest, AMissingTemplateSkipsTheMessage)
{
    CIEChatWnd& chat = Show();
    DeleteFileW((chat.ThemeFolder() + L"Notification.htm").c_str());
    CMessageSequence sequence;
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    EXPECT_FALSE(chat.ShowMessage(sequence, Message(MessageKind::Notification, L"gone"), now));
    EXPECT_TRUE(chat.ShowMessage(sequence, Message(MessageKind::Incoming, L"hi"), now));
    EXPECT_EQ(std::vector<std::wstring>{L"IN-NEW Bob: hi"}, Shown());
}

TEST_F(ChatViewTest, MessagesBeforeThePageIsReadyFollowInOrder)
{
    FakeBrowserRegistration::SetConfigure([](FakeBrowser& browser) { browser.completeNavigations = false; });
    view = std::make_unique<CIEChatWnd>(L"Alice Demo");
    view->SetNavigateWaitLimit(50);
    ASSERT_TRUE(view->ShowChatView(window.Hwnd(), kViewId, true));
    ASSERT_EQ(nullptr, Page());

    EXPECT_FALSE(view->AddMessage(L"first", false, false));
    EXPECT_FALSE(view->AddMessage(L"second", true, false));
    EXPECT_EQ(2u, view->PendingCount());
    // Not queued when the caller says so.
    EXPECT_FALSE(view->AddMessage(L"dropped", false, true));
    EXPECT_EQ(2u, view->PendingCount());

    Fake()->CompleteNavigation(view->PageUrl());
    ASSERT_TRUE(Page());
    // The page is ready now, but older messages still wait: this one must
    // not overtake them.
    EXPECT_FALSE(view->AddMessage(L"third", false, false));
    ASSERT_TRUE(PumpUntil([&] { return view->PendingCount() == 0; }));
    EXPECT_EQ((std::vector<std::wstring>{L"first", L"second", L"third"}), Shown());
    EXPECT_EQ(L"true", Calls(L"AddMsg").at(1).arguments.at(1));

    // With the queue empty a message goes straight in.
    EXPECT_TRUE(view->AddMessage(L"fourth", false, false));
    EXPECT_EQ(L"fourth", Shown().back());
}

TEST_F(ChatViewTest, AMessageThePageKeepsRefusingDoesNotHoldUpTheRest)
{
    CIEChatWnd& chat = Show();
    chat.SetPendingAttemptLimit(3);
    Page()->scriptRefusesText = L"choke";
    EXPECT_FALSE(chat.AddMessage(L"choke on this", false, false));
    EXPECT_FALSE(chat.AddMessage(L"fine", false, false));
    ASSERT_TRUE(PumpUntil([&] { return chat.PendingCount() == 0; }));
    const std::vector<std::wstring> shown = Shown();
    // Offered once at once and three times from the queue, then given up.
    EXPECT_EQ(4, std::count(shown.begin(), shown.end(), L"choke on this"));
    EXPECT_EQ(L"fine", shown.back());
    EXPECT_EQ(1, std::count(shown.begin(), shown.end(), L"fine"));
}

TEST_F(ChatViewTest, DestroyingTheViewDropsWaitingMessages)
{
    CIEChatWnd& chat = Show();
    Page()->scriptReady = false;
    chat.AddMessage(L"late", false, false);
    ASSERT_EQ(1u, chat.PendingCount());
    HWND hwnd = chat.Hwnd();
    ASSERT_TRUE(KillTimer(hwnd, CIEChatWnd::kPendingTimer));
    chat.AddMessage(L"later", false, false);
    DestroyWindow(hwnd);
    EXPECT_EQ(0u, chat.PendingCount());
    // A message for a view without a page waits for nothing.
    EXPECT_FALSE(chat.AddMessage(L"after", false, true));
}

TEST_F(ChatViewTest, HeaderFromTheTheme)
{
    CIEChatWnd& chat = Show();
    chat.WriteHeader({L"Alice Demo", L"Alice <A>", L""}, {L"Bob Demo", L"", L""}, nullptr);
    EXPECT_EQ(std::vector<std::wstring>{L"HEADER Bob Demo and Alice &lt;A&gt;"}, Shown());

    DeleteFileW((chat.ThemeFolder() + L"header.htm").c_str());
    chat.WriteHeader({L"Alice Demo", L"", L""}, {L"Bob Demo", L"", L""}, nullptr);
    EXPECT_EQ(1u, Shown().size());
}

TEST_F(ChatViewTest, StylesTimeStampsAndBackground)
{
    CIEChatWnd& chat = Show();
    chat.SetMessageStyle(L"Styles/Night.css");
    ASSERT_EQ(1u, Calls(L"SetMsgStyle").size());
    EXPECT_EQ(std::vector<std::wstring>{L"Styles/Night.css"}, Calls(L"SetMsgStyle")[0].arguments);

    chat.ShowTimeStamps(false);
    EXPECT_FALSE(chat.TimeStampsShown());
    // A page that does not answer leaves the state as it was.
    Page()->scriptFails = true;
    chat.ShowTimeStamps(true);
    EXPECT_FALSE(chat.TimeStampsShown());

    std::wstring color;
    ASSERT_TRUE(chat.GetViewBackgroundColor(&color));
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    wchar_t hex[8] = {};
    swprintf(hex, ARRAYSIZE(hex), L"#%02X%02X%02X", GetRValue(window), GetGValue(window), GetBValue(window));
    EXPECT_EQ(hex, color);
    Page()->Body()->style->properties[L"backgroundColor"] = L"#102030";
    ASSERT_TRUE(chat.GetViewBackgroundColor(&color));
    EXPECT_EQ(L"#102030", color);
    Page()->Body()->bgColor = L"#abcdef";
    ASSERT_TRUE(chat.GetViewBackgroundColor(&color));
    EXPECT_EQ(L"#abcdef", color);
}

TEST_F(ChatViewTest, OnlyTheThemeLoadsInTheView)
{
    CIEChatWnd& chat = Show();
    const std::wstring themeUrl = FileUrlOfPath(chat.ThemeFolder());
    struct Case {
        std::wstring url;
        bool cancelled;
        int toShell;
        int toClient;
    };
    const Case cases[] = {
        {chat.PageUrl(), false, 0, 0},
        {L"about:blank", false, 0, 0},
        {themeUrl + L"Images/RemoteUser.png", false, 0, 0},
        {chat.ThemeFolder() + L"Images\\LocalUser.png", false, 0, 0},
        {themeUrl + L"../../../evil.htm", true, 0, 0},
        {L"http://example.com/", true, 1, 0},
        {L"mailto:bob@example.com", true, 1, 0},
        {L"aim:goim?screenname=bob", true, 0, 1},
        {L"javascript:alert(1)", true, 0, 0},
        {L"file:///C:/Windows/notepad.exe", true, 0, 0},
    };
    for (const Case& c : cases) {
        shellLinks.clear();
        clientLinks.clear();
        EXPECT_EQ(c.cancelled, Fake()->RaiseBeforeNavigate2(Fake()->AsDispatch(), c.url)) << c.url;
        EXPECT_EQ(c.toShell, static_cast<int>(shellLinks.size())) << c.url;
        EXPECT_EQ(c.toClient, static_cast<int>(clientLinks.size())) << c.url;
    }
}

TEST_F(ChatViewTest, HoveringALinkShowsItsAddress)
{
    CIEChatWnd& chat = Show();
    HWND tip = chat.LinkTipWindow();
    ASSERT_TRUE(tip);
    auto tipText = [&] {
        wchar_t text[256] = {};
        TOOLINFOW info = {};
        info.cbSize = sizeof(info);
        info.hwnd = Fake()->serverWindow;
        info.uId = 1;
        info.lpszText = text;
        SendMessageW(tip, TTM_GETTEXTW, ARRAYSIZE(text), reinterpret_cast<LPARAM>(&info));
        return std::wstring(text);
    };
    Fake()->RaiseStatusTextChange(L"http://example.com/page.html");
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(tip) && tipText() == L"http://example.com/page.html"; }));
    Fake()->RaiseStatusTextChange(L"Done");
    EXPECT_FALSE(IsWindowVisible(tip));
}

TEST_F(ChatViewTest, CtrlAAndCtrlCSelectAndCopy)
{
    Show();
    ComPtr<FakeEventObj> key;
    *key.ReleaseAndGetAddressOf() = new FakeEventObj();
    key->ctrl = true;
    key->keyCode = 1;
    Page()->RaiseEvent(DISPID_KEYPRESS, key.Get());
    key->keyCode = 3;
    Page()->RaiseEvent(DISPID_KEYPRESS, key.Get());
    std::vector<DWORD> commands;
    for (const ExecCall& call : Page()->execs)
        commands.push_back(call.id);
    EXPECT_NE(commands.end(), std::find(commands.begin(), commands.end(), static_cast<DWORD>(IDM_SELECTALL)));
    EXPECT_NE(commands.end(), std::find(commands.begin(), commands.end(), static_cast<DWORD>(IDM_COPY)));
    // Setting up the page kept the selection and turned on address detection.
    EXPECT_NE(commands.end(), std::find(commands.begin(), commands.end(), static_cast<DWORD>(IDM_KEEPSELECTION)));
    EXPECT_NE(commands.end(),
              std::find(commands.begin(), commands.end(), static_cast<DWORD>(IDM_AUTOURLDETECT_MODE)));
}

TEST_F(ChatViewTest, ExpressionWallpaperAndBuddyIcon)
{
    const std::wstring expression = folder.Path() + L"Themes\\Expression\\";
    WriteTheme(expression);
    Settings().WriteString(L"Settings.XPRSN", L"Enable", L"1");
    CIEChatWnd& chat = Show();
    EXPECT_TRUE(chat.ExpressionMode());
    EXPECT_EQ(expression, chat.ThemeFolder());
    EXPECT_EQ(L"Base.css", Page()->ElementsByTag(L"LINK").at(0)->Attribute(L"href"));

    FakeElement* wallpaper = Page()->ElementById(L"Wallpaper");
    FakeElement* cloud = Page()->ElementById(L"Cloud");
    ASSERT_TRUE(wallpaper && cloud);
    chat.SetWallpaper(L"C:\\cache\\sky \"blue\".jpg", false, false);
    EXPECT_NE(std::wstring::npos, wallpaper->innerHtml.find(L"url(file:///C:/cache/sky%20%22blue%22.jpg)"))
        << wallpaper->innerHtml;
    EXPECT_EQ(L"none", cloud->style->Get(L"display"));

    // A movie only from the layer's cache.
    const std::wstring cache = folder.Path() + L"cache\\";
    ASSERT_TRUE(CreateFolderPath(cache));
    ASSERT_TRUE(WriteFileBytes(cache + L"m.swf", "FWS"));
    chat.SetWallpaper(L"http://evil.example/m.swf", true, true, cache);
    EXPECT_EQ(L"", wallpaper->innerHtml);
    EXPECT_EQ(L"inline", cloud->style->Get(L"display"));
    chat.SetWallpaper(cache + L"m.swf", true, false, cache);
    EXPECT_NE(std::wstring::npos, wallpaper->innerHtml.find(L"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000"));
    EXPECT_NE(std::wstring::npos, wallpaper->innerHtml.find(L"value=\"" + FileUrlOfPath(cache + L"m.swf") + L"\""));

    chat.SetBuddyIcon(L"C:\\cache\\bob.png");
    EXPECT_EQ(L"<img alt=\"\" src=\"file:///C:/cache/bob.png\" />", Page()->ElementById(L"BuddyIcon")->innerHtml);
    EXPECT_EQ(1u, Calls(L"UpdateView").size());

    // No header in expression mode.
    chat.WriteHeader({L"Alice Demo", L"", L""}, {L"Bob Demo", L"", L""}, nullptr);
    EXPECT_TRUE(Shown().empty());
}

TEST_F(ChatViewTest, AThemeThatIsNotThereFallsBackToDefault)
{
    Settings().WriteString(L"Settings.MSG", L"Theme", L"Vanished");
    CIEChatWnd& chat = Show();
    EXPECT_EQ(folder.Path() + L"Themes\\Msgs\\Default\\", chat.ThemeFolder());
}

TEST(ShippedThemesTest, DefaultAndExpressionHaveWhatTheViewNeeds)
{
    const std::wstring themes = ExeFolder() + L"..\\bin\\Themes\\";
    struct Theme {
        std::wstring folder;
        std::vector<std::wstring> files;
    };
    const Theme shipped[] = {
        {themes + L"Msgs\\Default\\",
         {L"header.htm", L"Styles\\Default.css", L"Images\\RemoteUser.png", L"Images\\LocalUser.png"}},
        {themes + L"Expression\\", {L"Base.css", L"Images\\RemoteUser.png", L"Images\\LocalUser.png"}},
    };
    for (const Theme& theme : shipped) {
        const std::wstring page = ReadTemplateFile(theme.folder + L"Base.htm");
        ASSERT_FALSE(page.empty()) << theme.folder;
        for (const wchar_t* function :
             {L"function AddMsg(", L"function ShowTimeStamp(", L"function SetMsgStyle(", L"function UpdateView(",
              L"function ScrollToBottomEx(", L"<base ", L"<link "})
            EXPECT_NE(std::wstring::npos, page.find(function)) << theme.folder << function;
        for (const wchar_t* name :
             {L"IncomingNew.htm", L"IncomingNext.htm", L"OutgoingNew.htm", L"OutgoingNext.htm", L"Notification.htm"})
            EXPECT_NE(std::wstring::npos, ReadTemplateFile(theme.folder + name).find(L"$message$"))
                << theme.folder << name;
        for (const std::wstring& file : theme.files)
            EXPECT_TRUE(FileExists(theme.folder + file)) << theme.folder << file;
    }
    const std::wstring expression = ReadTemplateFile(themes + L"Expression\\Base.htm");
    for (const wchar_t* id : {L"id=\"Wallpaper\"", L"id=\"Cloud\"", L"id=\"BuddyIcon\""})
        EXPECT_NE(std::wstring::npos, expression.find(id)) << id;
    // At least one style besides the default.
    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW((themes + L"Msgs\\Default\\Styles\\*.css").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    int styles = 0;
    do
        ++styles;
    while (FindNextFileW(search, &found));
    FindClose(search);
    EXPECT_GE(styles, 2);
}

TEST_F(ChatViewTest, RealTimeTextFillsItsBlockUntilTheBuddysTurnEnds)
{
    CIEChatWnd& chat = Show();
    CMessageSequence sequence;
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    std::wstring frozen;
    // No "rtim" block yet: an ordinary message.
    ChatMessage typing = Message(MessageKind::Incoming, L"<div id=\"rtim\">hel</div>");
    typing.realTimeSession = true;
    typing.flags = kMessageRealTimeFragment;
    ASSERT_TRUE(chat.ShowMessage(sequence, typing, now, &frozen));
    EXPECT_EQ(1u, Shown().size());
    EXPECT_EQ(L"", frozen);

    // The page now has the block: the text in progress replaces it.
    FakeElement* block = Page()->AddElement(L"DIV", L"rtim");
    block->innerHtml = L"hel";
    typing.body = L"<div id=\"rtim\">hello</div>";
    ASSERT_TRUE(chat.ShowMessage(sequence, typing, now, &frozen));
    EXPECT_EQ(L"<div id=\"rtim\">hello</div>", block->outerHtmlSet);
    EXPECT_EQ(1u, Shown().size());

    // Our reply ends the buddy's turn: the block stays as an ordinary one.
    ChatMessage reply = Message(MessageKind::Outgoing, L"hi back", L"r1");
    ASSERT_TRUE(chat.ShowMessage(sequence, reply, now, &frozen));
    EXPECT_NE(L"rtim", block->id);
    EXPECT_FALSE(block->id.empty());
    EXPECT_EQ(std::wstring::npos, frozen.find(L"rtim"));
    EXPECT_NE(std::wstring::npos, frozen.find(L"hel"));
    EXPECT_FALSE(chat.HasRealTimeBlock());
}

TEST_F(ChatViewTest, StyleChangesReachEveryViewOfTheTheme)
{
    CIEChatWnd& first = Show();
    FakeDocument* firstPage = Page();
    TestWindow otherWindow{200, 100};
    CIEChatWnd second(L"Alice Demo");
    ASSERT_TRUE(second.ShowChatView(otherWindow.Hwnd(), 2, true));
    FakeDocument* secondPage = Page();
    ASSERT_NE(firstPage, secondPage);

    CIEChatWnd::SetMessageStyleOfTheme(first.ThemeFolder(), L"Styles/Night.css");
    CIEChatWnd::SetMessageStyleOfTheme(folder.Path() + L"Themes\\Msgs\\Other\\", L"Styles/Other.css");
    for (FakeDocument* page : {firstPage, secondPage}) {
        std::vector<std::wstring> styles;
        for (const ScriptCall& call : page->scriptCalls) {
            if (call.name == L"SetMsgStyle")
                styles.push_back(call.arguments.at(0));
        }
        EXPECT_EQ(std::vector<std::wstring>{L"Styles/Night.css"}, styles);
    }
    CIEChatWnd::ShowTimeStampsEverywhere(false);
    EXPECT_FALSE(first.TimeStampsShown());
    EXPECT_FALSE(second.TimeStampsShown());
}

TEST_F(ChatViewTest, FilesDroppedOnTheViewGoToTheConversation)
{
    Show();
    ComPtr<IDocHostUIHandler> host;
    ASSERT_EQ(S_OK, Fake()->site.As(&host));
    ComPtr<IDropTarget> target;
    ASSERT_EQ(S_OK, host->GetDropTarget(nullptr, &target));
    EXPECT_EQ(static_cast<IDropTarget*>(&parent), target.Get());
}

class ExpressionViewTest : public ChatViewTest {
protected:
    void SetUp() override
    {
        ChatViewTest::SetUp();
        WriteTheme(folder.Path() + L"Themes\\Expression\\");
        Settings().WriteString(L"Settings.XPRSN", L"Enable", L"1");
        *buddy.ReleaseAndGetAddressOf() = new expression_fake::User();
        cache = folder.Path() + L"cache\\";
        ASSERT_TRUE(CreateFolderPath(cache));
    }

    std::wstring Wallpaper() { return Page()->ElementById(L"Wallpaper")->innerHtml; }
    std::wstring Cloud() { return Page()->ElementById(L"Cloud")->style->Get(L"display"); }
    std::wstring Icon() { return Page()->ElementById(L"BuddyIcon")->innerHtml; }

    ComPtr<expression_fake::User> buddy;
    std::wstring cache;
};

TEST_F(ExpressionViewTest, WallpaperOfTheBuddy)
{
    CIEChatWnd& chat = Show();
    using namespace AIMCC;
    // Nothing to show: the plain page with its cloud.
    chat.RefreshExpression(buddy.Get());
    EXPECT_EQ(L"", Wallpaper());
    EXPECT_EQ(L"inline", Cloud());

    // The layer's placeholder item is no wallpaper.
    buddy->AddItem(AccUserProp::Wallpaper, L"C:\\cache\\none.jpg", L"0201D20472");
    chat.RefreshExpression(buddy.Get());
    EXPECT_EQ(L"", Wallpaper());

    // A movie named by the buddy's description, fetched into the cache.
    ASSERT_TRUE(WriteFileBytes(cache + L"sea.swf", "FWS"));
    expression_fake::Item* flash = buddy->AddItem(AccUserProp::FlashWallpaper, cache + L"sea.xml");
    auto describe = [&](const std::string& movie) {
        ComPtr<expression_fake::Stream> stream;
        *stream.ReleaseAndGetAddressOf() =
            new expression_fake::Stream("<flashwallpaper><background>" + movie + "</background></flashwallpaper>");
        flash->objects[AccBartProp::Stream] = stream;
    };
    describe(WideToUtf8(cache) + "sea.swf");
    chat.RefreshExpression(buddy.Get());
    EXPECT_NE(std::wstring::npos, Wallpaper().find(FileUrlOfPath(cache + L"sea.swf"))) << Wallpaper();
    EXPECT_EQ(L"none", Cloud());
    for (const char* hostile : {"http://evil.example/x.swf", "javascript:alert(1)", "\\\\server\\x.swf",
                                "\" onload=\"alert(1)"}) {
        describe(hostile);
        chat.RefreshExpression(buddy.Get());
        EXPECT_EQ(L"", Wallpaper()) << hostile;
    }

    // A picture wallpaper comes first.
    buddy->AddItem(AccUserProp::Wallpaper, L"C:\\cache\\sky.jpg");
    chat.RefreshExpression(buddy.Get());
    EXPECT_NE(std::wstring::npos, Wallpaper().find(L"url(file:///C:/cache/sky.jpg)"));
}

TEST_F(ExpressionViewTest, BuddyIconByTheSetting)
{
    using namespace AIMCC;
    expression_fake::Item* icon = buddy->AddItem(AccUserProp::BuddyIcon, L"C:\\cache\\bob.png");
    const std::wstring shown = L"<img alt=\"\" src=\"file:///C:/cache/bob.png\" />";
    struct Case {
        const wchar_t* setting; // null: not set
        bool customShown;
        std::wstring html;
        bool updated;
    };
    const Case cases[] = {
        {nullptr, false, shown, true},
        {L"3", false, shown, true},
        {L"2", false, shown, true},
        {L"1", true, shown, true},
        {L"1", false, L"", true},
        {L"0", true, L"", false},
        {L"9", false, shown, true},
    };
    CIEChatWnd& chat = Show();
    for (const Case& c : cases) {
        if (c.setting)
            Settings().WriteString(L"Settings.XPRSN", L"ShowBuddyIcons", c.setting);
        icon->flags[AccBartProp::Shown] = c.customShown;
        Page()->ElementById(L"BuddyIcon")->innerHtml = L"before";
        const size_t updates = Calls(L"UpdateView").size();
        chat.RefreshBuddyIcon(buddy.Get());
        EXPECT_EQ(c.updated ? c.html : L"before", Icon()) << (c.setting ? c.setting : L"-");
        EXPECT_EQ(updates + (c.updated ? 1 : 0), Calls(L"UpdateView").size());
    }
}

TEST_F(ChatViewTest, TheShippedDefaultThemeShowsAConversation)
{
    // The themes beside the program, read only: the settings file named here
    // does not exist, so every setting has its default.
    const std::wstring programFolder = ExeFolder() + L"..\\bin\\";
    Settings().SetPath((programFolder + L"NoSuchSettings.ini").c_str());
    CIEChatWnd& chat = Show();
    const std::wstring theme = programFolder + L"Themes\\Msgs\\Default\\";
    ASSERT_EQ(theme, chat.ThemeFolder());
    ASSERT_EQ(1u, Page()->ElementsByTag(L"LINK").size());
    EXPECT_EQ(L"Styles/Default.css", Page()->ElementsByTag(L"LINK")[0]->Attribute(L"href"));
    EXPECT_EQ(FileUrlOfPath(theme), Page()->ElementsByTag(L"BASE").at(0)->Attribute(L"href"));

    CMessageSequence sequence;
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    const ChatMessage messages[] = {Message(MessageKind::Incoming, L"one"), Message(MessageKind::Incoming, L"two"),
                                    Message(MessageKind::Incoming, L"three"),
                                    Message(MessageKind::Outgoing, L"four")};
    const wchar_t* templates[] = {L"IncomingNew.htm", L"IncomingNext.htm", L"IncomingNext.htm", L"OutgoingNew.htm"};
    std::vector<std::wstring> expected;
    for (size_t i = 0; i < std::size(messages); ++i) {
        ASSERT_TRUE(chat.ShowMessage(sequence, messages[i], now));
        expected.push_back(FillMessageTemplate(ReadTemplateFile(theme + templates[i]), messages[i], now));
    }
    // The page defines AddMsg, so the fake's script took every call.
    EXPECT_EQ(expected, Shown());
    const std::vector<ScriptCall> calls = Calls(L"AddMsg");
    ASSERT_EQ(4u, calls.size());
    EXPECT_EQ(L"false", calls[0].arguments.at(1));
    EXPECT_EQ(L"true", calls[1].arguments.at(1));
    EXPECT_EQ(L"true", calls[2].arguments.at(1));
    EXPECT_EQ(L"false", calls[3].arguments.at(1));
}

TEST_F(ChatViewTest, TheContextMenuOffersTheLinkUnderTheMouse)
{
    Show();
    ComPtr<IDocHostUIHandler> ui;
    ASSERT_EQ(S_OK, Fake()->site.As(&ui));
    FakeElement* web = Page()->AddElement(L"A", L"web");
    web->attributes[L"href"] = L"http://example.com/";
    FakeElement* file = Page()->AddElement(L"A", L"file");
    file->attributes[L"href"] = L"file:///C:/cache/photo.png";
    FakeElement* text = Page()->AddElement(L"SPAN", L"text");
    struct Case {
        FakeElement* under;
        std::vector<UINT> labels; // 0: separator
    };
    const Case cases[] = {
        {nullptr, {111, 0, 113, 0, 565, 566}},
        {text, {111, 0, 113, 0, 565, 566}},
        {web, {111, 399, 0, 113, 0, 565, 566}},
        {file, {111, 399, 314, 0, 113, 0, 565, 566}},
    };
    for (const Case& c : cases) {
        MenuSeen seen;
        seen.keys = {VK_ESCAPE};
        WatchNextMenu(&seen);
        POINT at = {30, 30};
        ComPtr<IDispatch> object;
        if (c.under)
            c.under->QueryInterface(IID_PPV_ARGS(&object));
        EXPECT_EQ(S_OK, ui->ShowContextMenu(CONTEXT_MENU_DEFAULT, &at, nullptr, object.Get()));
        WatchNextMenu(nullptr);
        ASSERT_TRUE(seen.open);
        std::vector<std::wstring> expected;
        for (UINT label : c.labels)
            expected.push_back(label ? LoadLangString(label) : L"");
        EXPECT_EQ(expected, seen.labels) << (c.under ? c.under->id : L"-");
    }

    // Copy Link puts the address on the clipboard.
    MenuSeen seen;
    seen.keys = {VK_DOWN, VK_DOWN, VK_RETURN};
    WatchNextMenu(&seen);
    POINT at = {30, 30};
    ComPtr<IDispatch> object;
    web->QueryInterface(IID_PPV_ARGS(&object));
    EXPECT_EQ(S_OK, ui->ShowContextMenu(CONTEXT_MENU_DEFAULT, &at, nullptr, object.Get()));
    WatchNextMenu(nullptr);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const std::wstring copied = data ? static_cast<const wchar_t*>(GlobalLock(data)) : L"";
    if (data)
        GlobalUnlock(data);
    CloseClipboard();
    EXPECT_EQ(L"http://example.com/", copied);
}
