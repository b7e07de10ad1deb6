// Two accounts talking through the local OSCAR server, each with its own
// connection object and conversation windows, the views and editors being
// the fake browser control: what each side's view is handed, the typing
// notice, the automatic reply while away.
#include <winsock2.h>

#include "AIMConnection.h"
#include "AppState.h"
#include "ChatWnd.h"
#include "ComTypes.h"
#include "Folders.h"
#include "HtmlTestSupport.h"
#include "LangStrings.h"
#include "MediaLibrary.h"
#include "PreferenceStore.h"
#include "Seams.h"

#include "OscarServer.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

const char kAccounts[] =
    "account Alice Demo\n"
    "password welcome1\n"
    "group Buddies\n"
    "buddy Bob Demo\n"
    "buddy Carol Smith\n"
    "\n"
    "account Bob Demo\n"
    "password welcome2\n"
    "group Buddies\n"
    "buddy Alice Demo\n"
    "\n"
    "account Carol Smith\n"
    "password welcome3\n";

const char kBasePage[] =
    "<html><head><script>function AddMsg(html, isNext) {} function ShowTimeStamp(show) {}"
    " function SetMsgStyle(href) {} function UpdateView() {}</script></head>"
    "<body><div id=\"Chat\"></div></body></html>";

struct TemplateFile {
    const wchar_t* name;
    const char* text;
};
const TemplateFile kTemplates[] = {
    {L"IncomingNew.htm", "IncomingNew $name$: $message$"},
    {L"IncomingNext.htm", "IncomingNext $message$"},
    {L"OutgoingNew.htm", "OutgoingNew $name$: $message$"},
    {L"OutgoingNext.htm", "OutgoingNext $message$"},
    {L"Notification.htm", "Notification $message$"},
    {L"header.htm", "Header $namein$ $nameout$"},
};

FakeDocument* PageOf(CIEBrowser& browser)
{
    IWebBrowser2* control = browser.WebBrowser();
    for (const auto& fake : FakeBrowserRegistration::Created()) {
        if (control && static_cast<IWebBrowser2*>(fake.Get()) == control)
            return fake->Document();
    }
    return nullptr;
}

// The HTML of every block the view was handed, in order.
std::vector<std::wstring> Blocks(CChatWnd& window)
{
    std::vector<std::wstring> html;
    if (FakeDocument* page = PageOf(window.View())) {
        for (const ScriptCall& call : page->scriptCalls) {
            if (call.name == L"AddMsg")
                html.push_back(call.arguments.at(0));
        }
    }
    return html;
}

// The blocks of messages (not the header or notifications).
std::vector<std::wstring> Shown(CChatWnd& window)
{
    std::vector<std::wstring> html;
    for (const std::wstring& block : Blocks(window)) {
        if (block.rfind(L"Incoming", 0) == 0 || block.rfind(L"Outgoing", 0) == 0)
            html.push_back(block);
    }
    return html;
}

// The first word of each shown block: which template it took.
std::vector<std::wstring> Templates(CChatWnd& window)
{
    std::vector<std::wstring> names;
    for (const std::wstring& html : Shown(window))
        names.push_back(html.substr(0, html.find(L' ')));
    return names;
}

std::string Describe(CChatWnd& window)
{
    std::string text;
    for (const std::wstring& html : Blocks(window))
        text += std::string(html.begin(), html.end()) + " | ";
    return text;
}

// Every "Sessions.xml" under `root`, one after the other.
std::string SessionLogs(const std::wstring& root)
{
    std::string text;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root, error)) {
        if (entry.path().filename() == L"Sessions.xml") {
            std::ifstream file(entry.path(), std::ios::binary);
            text.append(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        }
    }
    return text;
}

class ConversationLiveTest : public HtmlTest {
protected:
    void SetUp() override
    {
        HtmlTest::SetUp();
        ReleaseAllSessions();
        Settings().SetPath(folder.File(L"Velmora.ini").c_str());
        media.reset(LoadLibraryExW((ExeFolder() + L"VLMMedia.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        SetMediaModule(media.get());
        const std::wstring theme = folder.Path() + L"Themes\\Msgs\\Default\\";
        ASSERT_TRUE(CreateFolderPath(theme));
        ASSERT_TRUE(WriteFileBytes(theme + L"Base.htm", kBasePage));
        for (const TemplateFile& file : kTemplates)
            ASSERT_TRUE(WriteFileBytes(theme + file.name, file.text));

        std::vector<oscar::server::Account> accounts;
        std::string error;
        ASSERT_TRUE(oscar::server::ParseAccounts(kAccounts, accounts, &error)) << error;
        server = std::make_unique<oscar::server::OscarServer>(accounts, oscar::server::OscarServer::Options());
        ASSERT_TRUE(server->Start(&error)) << error;
        const CPreferenceStore store(Settings());
        ASSERT_TRUE(store.WriteValue(L"aimcc.connect.host.address", L"127.0.0.1"));
        ASSERT_TRUE(store.WriteValue(L"aimcc.connect.host.port", std::to_wstring(server->LoginPort())));
        ASSERT_TRUE(store.WriteValue(L"aimcc.folders.logs", LogRoot()));
        ASSERT_TRUE(Settings().WriteInt(L"Settings.LOGS", L"LogIMs", 1));

        alice = SignOn(L"Alice Demo", L"welcome1");
        ASSERT_TRUE(alice);
        ASSERT_TRUE(PumpUntil([&] { return alice->State() == AIMCC::AccState::Online; }, 20000));
        bob = SignOn(L"Bob Demo", L"welcome2");
        ASSERT_TRUE(bob);
        ASSERT_TRUE(PumpUntil([&] {
            return alice->State() == AIMCC::AccState::Online && bob->State() == AIMCC::AccState::Online;
        }, 20000)) << alice->State() << " " << bob->State() << " " << server->IsOnline("Alice Demo") << " "
                    << server->IsOnline("Bob Demo");
        RegisterConversationWindows(true);
    }

    void TearDown() override
    {
        RegisterConversationWindows(false);
        SignOffAllSessions();
        PumpUntil([&] { return !alice || alice->State() == AIMCC::AccState::Offline; }, 5000);
        alice.Reset();
        bob.Reset();
        ReleaseAllSessions();
        if (server)
            server->Stop();
        Settings().SetPath(nullptr);
        SetMediaModule(nullptr);
        HtmlTest::TearDown();
    }

    ComPtr<CAIMConnection> SignOn(const wchar_t* name, const wchar_t* password)
    {
        ComPtr<CAIMConnection> connection = CAIMConnection::Create();
        if (!connection || !connection->CreateSession())
            return nullptr;
        Connections().push_back(connection);
        return connection->SignOnAccount(name, password) ? connection : nullptr;
    }

    // Types `text` into the window's editor, as far as the window can tell.
    static void Type(CChatWnd& window, const std::wstring& text)
    {
        FakeDocument* page = PageOf(window.Editor());
        ASSERT_TRUE(page);
        page->Body()->innerHtml = text;
        if (page->ElementsByTag(L"HTML").empty())
            page->AddElement(L"HTML", L"");
        page->ElementsByTag(L"HTML").front()->innerHtml = text;
        SendMessageW(window.Hwnd(), CIEInputWnd::kSelectionChanged, CChatWnd::kEditorId, 0);
    }

    std::wstring LogRoot() const { return folder.Path() + L"Logs"; }

    static void PressSend(CChatWnd& window)
    {
        SendMessageW(window.Hwnd(), CIEInputWnd::kSendBarCommand, CChatWnd::kEditorId, CIEInputWnd::kSendButton);
    }

    static CChatWnd* WindowOf(CAIMConnection* connection)
    {
        for (CChatWnd* window : CChatWnd::All()) {
            if (window->Connection() == connection)
                return window;
        }
        return nullptr;
    }

    TempFolder folder;
    ScopedModule media;
    std::unique_ptr<oscar::server::OscarServer> server;
    ComPtr<CAIMConnection> alice;
    ComPtr<CAIMConnection> bob;
};

TEST_F(ConversationLiveTest, TwoAccountsTalkInOneWindowEach)
{
    CChatWnd* a = OpenConversation(alice.Get(), L"Bob Demo");
    ASSERT_TRUE(a);
    EXPECT_EQ(a, OpenConversation(alice.Get(), L"bobdemo")) << "one window per buddy";

    // Nothing to send: nothing happens.
    PressSend(*a);
    PumpPending();
    EXPECT_TRUE(Shown(*a).empty());

    const wchar_t* lines[] = {L"one", L"two <b>three</b>", L"<script>alert(1)</script>four"};
    for (size_t i = 0; i < ARRAYSIZE(lines); ++i) {
        Type(*a, lines[i]);
        PressSend(*a);
        ASSERT_TRUE(PumpUntil([&] { return Shown(*a).size() == i + 1; })) << lines[i] << Describe(*a);
    }
    // The layer confirms each message twice; each is shown once.
    PumpPending();
    EXPECT_EQ((std::vector<std::wstring>{L"OutgoingNew", L"OutgoingNext", L"OutgoingNext"}), Templates(*a));

    CChatWnd* b = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (b = WindowOf(bob.Get())) && Shown(*b).size() == 3; }));
    EXPECT_EQ((std::vector<std::wstring>{L"IncomingNew", L"IncomingNext", L"IncomingNext"}), Templates(*b));
    EXPECT_EQ(2u, CChatWnd::All().size()) << "Bob's three messages arrive in one window";
    const std::vector<std::wstring> received = Shown(*b);
    EXPECT_NE(std::wstring::npos, received[0].find(L"one"));
    EXPECT_NE(std::wstring::npos, received[1].find(L"<b>three</b>")) << Describe(*b);
    EXPECT_EQ(std::wstring::npos, received[2].find(L"script")) << received[2];
    EXPECT_NE(std::wstring::npos, received[2].find(L"four"));

    // Bob starts typing: Alice's status line says so; then he answers.
    Type(*b, L"fine");
    const std::wstring typing = FormatLangString(563, {L"Bob Demo"});
    EXPECT_TRUE(PumpUntil([&] { return a->Editor().StatusText() == typing; })) << a->Editor().StatusText();
    PressSend(*b);
    ASSERT_TRUE(PumpUntil([&] { return Shown(*a).size() == 4; })) << Describe(*a) << "\n" << Describe(*b);
    EXPECT_EQ(L"IncomingNew", Templates(*a).back());
    EXPECT_NE(std::wstring::npos, Shown(*a).back().find(L"fine"));

    // Both sides wrote what they showed to the log, each message once.
    const std::string logs = SessionLogs(LogRoot());
    EXPECT_NE(std::string::npos, logs.find("fine")) << logs;
    const size_t first = logs.find(">one<");
    ASSERT_NE(std::string::npos, first) << logs;
    EXPECT_NE(std::string::npos, logs.find(">one<", first + 1)) << "sent by Alice, received by Bob";
    EXPECT_EQ(std::string::npos, logs.find("<script")) << logs;

    // Alice's side of the conversation closes; when Bob writes again the
    // same window takes the new session.
    a->Session()->Close();
    ASSERT_TRUE(PumpUntil([&] { return a->Session() == nullptr; }));
    Type(*b, L"still there?");
    PressSend(*b);
    ASSERT_TRUE(PumpUntil([&] { return Shown(*a).size() == 5; })) << Describe(*a);
    EXPECT_EQ(2u, CChatWnd::All().size());
    EXPECT_TRUE(a->Session());
}

TEST_F(ConversationLiveTest, AMessageToAnOfflineBuddyGoesAsAnOfflineMessage)
{
    CChatWnd* a = OpenConversation(alice.Get(), L"Carol Smith");
    ASSERT_TRUE(a);
    // Carol is on Alice's list, and the list says she is off line.
    ASSERT_TRUE(PumpUntil([&] {
        ScopedVariant value;
        return SUCCEEDED(a->Session()->get_Property(AIMCC::AccImSessionProp::RemotePresence, value.Receive()))
               && value.value().vt == VT_I4 && value.value().lVal == 0;
    }));
    Type(*a, L"call me");
    PressSend(*a);
    // This server stores nothing for later: the window says so and keeps
    // the text in the editor.
    const std::wstring notStored = FormatLangString(183, {L"Carol Smith"});
    EXPECT_TRUE(PumpUntil([&] {
        const std::vector<std::wstring> blocks = Blocks(*a);
        return std::any_of(blocks.begin(), blocks.end(),
                           [&](const std::wstring& b) { return b.find(notStored) != std::wstring::npos; });
    })) << Describe(*a);
    EXPECT_TRUE(Shown(*a).empty());
    EXPECT_EQ(7, a->Editor().GetTextLength());
}

std::wstring TitleOf(HWND hwnd)
{
    wchar_t title[256] = {};
    GetWindowTextW(hwnd, title, ARRAYSIZE(title));
    return title;
}

TEST_F(ConversationLiveTest, ANewImWindowTakesTheScreenNameTyped)
{
    // A name typed before, and an entry the window cannot read.
    const wchar_t kCarol[] = L"4300610072006F006C00200053006D00690074006800";
    ASSERT_TRUE(Settings().WriteString(L"IM History", L"0", kCarol));
    ASSERT_TRUE(Settings().WriteString(L"IM History", L"1", L"XYZ1"));

    CChatWnd* a = OpenConversation(alice.Get(), L"");
    ASSERT_TRUE(a);
    EXPECT_EQ(LoadLangString(171), TitleOf(a->Hwnd()));
    HWND nameBox = GetDlgItem(a->Hwnd(), CChatWnd::kNameBox);
    ASSERT_TRUE(nameBox);
    ASSERT_EQ(1, SendMessageW(nameBox, CB_GETCOUNT, 0, 0));
    wchar_t remembered[64] = {};
    SendMessageW(nameBox, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(remembered));
    EXPECT_STREQ(L"Carol Smith", remembered);
    // Both signed-on accounts to choose from, the window's own chosen.
    HWND accounts = GetDlgItem(a->Hwnd(), CChatWnd::kAccountBox);
    EXPECT_EQ(2, SendMessageW(accounts, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(L"Alice Demo", TitleOf(accounts));

    SetWindowTextW(nameBox, L"Bob Demo");
    Type(*a, L"hello");
    PressSend(*a);
    ASSERT_TRUE(PumpUntil([&] { return Shown(*a).size() == 1; })) << Describe(*a);
    EXPECT_EQ(nullptr, GetDlgItem(a->Hwnd(), CChatWnd::kNameBox));
    EXPECT_EQ(FormatLangString(170, {L"Bob Demo", L"Alice Demo"}), TitleOf(a->Hwnd()));
    // The name heads the remembered ones, as the hex of its UTF-16 bytes.
    EXPECT_EQ(L"42006F0062002000440065006D006F00", Settings().GetString(L"IM History", L"0", L""));
    EXPECT_EQ(kCarol, Settings().GetString(L"IM History", L"1", L""));
    EXPECT_EQ(a, CChatWnd::Find(alice.Get(), nullptr, L"BOBDEMO"));
}

TEST_F(ConversationLiveTest, AnAutomaticReplyIsMarked)
{
    ScopedVariant away(L"out to lunch");
    ASSERT_EQ(S_OK, bob->Session()->put_Property(AIMCC::AccSessionProp::AwayMessage, away.value()));

    CChatWnd* a = OpenConversation(alice.Get(), L"Bob Demo");
    ASSERT_TRUE(a);
    Type(*a, L"lunch?");
    // Shift+Enter puts a line break into the editor; Enter sends.
    FakeDocument* editorPage = PageOf(a->Editor());
    ASSERT_TRUE(editorPage);
    editorPage->rangeLog.clear();
    EditorKey shiftEnter = {VK_RETURN, FALSE, TRUE};
    EXPECT_EQ(1, SendMessageW(a->Hwnd(), CIEInputWnd::kUnhandledKey, CChatWnd::kEditorId,
                              reinterpret_cast<LPARAM>(&shiftEnter)));
    EXPECT_EQ(1, std::count(editorPage->rangeLog.begin(), editorPage->rangeLog.end(),
                            std::wstring(L"pasteHTML:<BR><SPAN></SPAN>")));
    PumpPending();
    EXPECT_TRUE(Shown(*a).empty());
    EditorKey enter = {VK_RETURN, FALSE, FALSE};
    EXPECT_EQ(1, SendMessageW(a->Hwnd(), CIEInputWnd::kUnhandledKey, CChatWnd::kEditorId,
                              reinterpret_cast<LPARAM>(&enter)));
    std::wstring reply;
    ASSERT_TRUE(PumpUntil([&] {
        for (const std::wstring& html : Shown(*a)) {
            if (html.rfind(L"IncomingNew", 0) == 0)
                reply = html;
        }
        return !reply.empty();
    })) << Describe(*a);
    EXPECT_NE(std::wstring::npos, reply.find(L"out to lunch")) << reply;
    EXPECT_NE(std::wstring::npos, reply.find(LoadLangString(223))) << reply;
}

} // namespace
