// The message editor under Wine, against the fake browser control: its page
// and bars, the editing commands behind formatting, the outgoing HTML, keys
// and the messages it sends its parent.
#include "HtmlTestSupport.h"
#include "IEInputWnd.h"

#include "AppState.h"
#include "DragDropTarget.h"
#include "LangStrings.h"
#include "MediaLibrary.h"
#include "SubclsWnd.h"
#include "WindowKinds.h"

#include <commctrl.h>
#include <mshtmcid.h>
#include <mshtmdid.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

constexpr int kEditorId = 88;
const wchar_t kPage[] = L"res://VLMMedia.dll/Input.htm";

// The conversation window as far as the editor can tell: it writes down
// every message the editor sends and answers keys and wheels as told.
class ParentRecorder : public CSubclsWnd, public CDragDropTarget {
public:
    struct Received {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Received> received;
    std::vector<EditorKey> keys;
    std::vector<EditorWheel> wheels;
    std::vector<WPARAM> commands;
    LRESULT keyAnswer = 0;
    LRESULT wheelAnswer = 0;

    std::vector<UINT> Messages() const
    {
        std::vector<UINT> messages;
        for (const Received& r : received)
            messages.push_back(r.message);
        return messages;
    }

protected:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case CIEInputWnd::kSelectionChanged:
        case CIEInputWnd::kCleared:
        case CIEInputWnd::kSendBarCommand:
            received.push_back({message, wParam, lParam});
            return 0;
        case CIEInputWnd::kUnhandledKey:
            received.push_back({message, wParam, lParam});
            keys.push_back(*reinterpret_cast<EditorKey*>(lParam));
            return keyAnswer;
        case CIEInputWnd::kWheel:
            received.push_back({message, wParam, lParam});
            wheels.push_back(*reinterpret_cast<EditorWheel*>(lParam));
            return wheelAnswer;
        case WM_COMMAND:
            commands.push_back(wParam);
            return 0;
        }
        return CSubclsWnd::WindowProc(hwnd, message, wParam, lParam);
    }
};

// Holds Ctrl and Shift down for this thread's key state while it lives.
class HeldKeys {
public:
    HeldKeys(bool ctrl, bool shift)
    {
        GetKeyboardState(saved_);
        BYTE state[256] = {};
        memcpy(state, saved_, sizeof(state));
        state[VK_CONTROL] = ctrl ? 0x80 : 0;
        state[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(state);
    }
    ~HeldKeys() { SetKeyboardState(saved_); }

private:
    BYTE saved_[256] = {};
};

std::vector<DWORD> Ids(const std::vector<ExecCall>& calls)
{
    std::vector<DWORD> ids;
    for (const ExecCall& call : calls)
        ids.push_back(call.id);
    return ids;
}

const ExecCall* Find(const std::vector<ExecCall>& calls, DWORD id)
{
    for (const ExecCall& call : calls) {
        if (call.id == id)
            return &call;
    }
    return nullptr;
}

class EditorTest : public HtmlTest {
protected:
    void SetUp() override
    {
        HtmlTest::SetUp();
        media_.reset(LoadLibraryExW((ExeFolder() + L"VLMMedia.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        SetMediaModule(media_.get());
        Settings().SetPath(folder.File(L"Velmora.ini").c_str());
        ASSERT_TRUE(parent.Attach(window.Hwnd(), kKindChat));
        SmileySet set;
        set.name = L"Default";
        set.smileys = {{L"Smile", L"C:\\s\\smile.gif", {L":-)", L":)"}}, {L"Wink", L"C:\\s\\wink.gif", {L";-)"}}};
        CIEInputWnd::SetSmileySet(std::make_shared<SmileySet>(set));
    }

    void TearDown() override
    {
        editor.reset();
        window.Destroy();
        CIEInputWnd::SetSmileySet(nullptr);
        Settings().SetPath(nullptr);
        SetMediaModule(nullptr);
        HtmlTest::TearDown();
    }

    CIEInputWnd& Create(DWORD options = 0, DWORD mask = 0)
    {
        editor = std::make_unique<CIEInputWnd>(L"Alice Demo");
        EXPECT_TRUE(editor->CreateEditor(window.Hwnd(), kPage, &partner, kEditorId, options, mask));
        return *editor;
    }

    static FakeDocument* Page() { return Fake() ? Fake()->Document() : nullptr; }

    // The commands the page received since the last call.
    std::vector<ExecCall> NewExecs()
    {
        FakeDocument* page = Page();
        if (!page)
            return {};
        std::vector<ExecCall> calls(page->execs.begin() + static_cast<ptrdiff_t>(seenExecs_), page->execs.end());
        seenExecs_ = page->execs.size();
        return calls;
    }

    void SetEditorSetting(const wchar_t* key, bool on) { Settings().WriteBool(L"Settings.MSG", key, on); }

    TempFolder folder;
    TestWindow window{400, 300};
    ParentRecorder parent;
    int partner = 0;
    std::unique_ptr<CIEInputWnd> editor;

private:
    ScopedModule media_;
    size_t seenExecs_ = 0;
};

} // namespace

TEST_F(EditorTest, OpensItsPageInDesignModeWithItsBars)
{
    CIEInputWnd& input = Create();
    ASSERT_TRUE(Fake());
    EXPECT_EQ(std::vector<std::wstring>{kPage}, Fake()->navigateRequests);
    EXPECT_EQ(VARIANT_TRUE, Fake()->silent);
    EXPECT_EQ(VARIANT_TRUE, Fake()->offline);
    wchar_t className[64] = {};
    GetClassNameW(input.Hwnd(), className, ARRAYSIZE(className));
    EXPECT_STREQ(L"__oVLMoMAINoPANEoWNDo__", className);
    EXPECT_EQ(kEditorId, GetDlgCtrlID(input.Hwnd()));
    EXPECT_TRUE(GetWindowLongW(input.Hwnd(), GWL_STYLE) & WS_TABSTOP);
    EXPECT_EQ(&partner, input.Partner());
    EXPECT_EQ(Fake()->serverWindow, input.ServerWindow());

    ASSERT_TRUE(Page());
    EXPECT_EQ(L"On", Page()->designMode);
    for (DWORD id : {2410u, 2400u, 2404u, 2405u}) {
        const ExecCall* call = Find(Page()->execs, id);
        ASSERT_TRUE(call) << id;
        EXPECT_EQ(L"true", call->input) << id;
    }

    const struct {
        int id;
        const wchar_t* className;
    } bars[] = {{100, L"ToolbarWindow32"}, {101, L"Static"}, {102, L"ToolbarWindow32"}};
    for (const auto& bar : bars) {
        HWND hwnd = GetDlgItem(input.Hwnd(), bar.id);
        ASSERT_TRUE(hwnd) << bar.id;
        GetClassNameW(hwnd, className, ARRAYSIZE(className));
        EXPECT_STREQ(bar.className, className);
        EXPECT_TRUE(IsWindowVisible(hwnd)) << bar.id;
    }
    EXPECT_EQ(15, SendMessageW(input.FormatBar(), TB_BUTTONCOUNT, 0, 0));
    // Send shows, stop waits for the owner.
    EXPECT_FALSE(SendMessageW(input.SendBar(), TB_ISBUTTONHIDDEN, CIEInputWnd::kSendButton, 0));
    EXPECT_TRUE(SendMessageW(input.SendBar(), TB_ISBUTTONHIDDEN, CIEInputWnd::kStopButton, 0));

    // The bars can be switched off and on.
    input.SetBarVisible(CIEInputWnd::kStatusLine, false);
    EXPECT_FALSE(IsWindowVisible(input.StatusLine()));
    input.SetBarVisible(CIEInputWnd::kStatusLine, true);
    EXPECT_TRUE(IsWindowVisible(input.StatusLine()));
}

TEST_F(EditorTest, SimpleModeHasNoBottomRowAndAppliesFormattingToAllText)
{
    CIEInputWnd& input = Create(CIEInputWnd::kSimpleMode);
    EXPECT_TRUE(input.IsSimpleMode());
    EXPECT_FALSE(GetDlgItem(input.Hwnd(), 101));
    EXPECT_FALSE(GetDlgItem(input.Hwnd(), 102));

    // A size chosen from the menu: the second item.
    MenuSeen seen;
    seen.keys = {VK_DOWN, VK_DOWN, VK_RETURN};
    NewExecs();
    WatchNextMenu(&seen);
    input.RunFormatButton(CIEInputWnd::kSizeButton);
    WatchNextMenu(nullptr);
    ASSERT_TRUE(seen.open);
    EXPECT_EQ((std::vector<UINT>{1, 2, 3, 4, 5, 6, 7}), seen.ids);
    const std::vector<ExecCall> calls = NewExecs();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(DWORD{IDM_SELECTALL}, calls[0].id);
    EXPECT_EQ(DWORD{IDM_FONTSIZE}, calls[1].id);
    EXPECT_EQ(L"2", calls[1].input);

    // Colours too; a black chosen in the picker goes as near-black.
    input.SetColorPicker([](HWND, int, COLORREF* color) {
        *color = 0;
        return true;
    });
    input.RunFormatButton(CIEInputWnd::kTextColorButton);
    const std::vector<ExecCall> colour = NewExecs();
    ASSERT_EQ(2u, colour.size());
    EXPECT_EQ(DWORD{IDM_SELECTALL}, colour[0].id);
    EXPECT_EQ(DWORD{IDM_FORECOLOR}, colour[1].id);
    EXPECT_EQ(std::to_wstring(0x10000), colour[1].input);
}

TEST_F(EditorTest, TheButtonMaskHidesTheOtherButtons)
{
    CIEInputWnd& input = Create(0, 0x10 | 0x20);
    for (int button = 1; button <= 15; ++button)
        EXPECT_EQ(button > 2, SendMessageW(input.FormatBar(), TB_ISBUTTONHIDDEN, button, 0) != 0) << button;
}

TEST_F(EditorTest, ApplyFormatIssuesTheCommandsAndSetsThePageColour)
{
    CIEInputWnd& input = Create();
    FontRecord record;
    record.bold = true;
    record.underline = true;
    record.size = 5;
    record.textColor = RGB(0x11, 0x22, 0x33);
    record.textBackground = RGB(0xFF, 0xFF, 0xFF);
    record.pageColor = RGB(0xA0, 0xB0, 0xC0);
    record.face = L"Comic %s Sans";

    NewExecs();
    input.ApplyFormat(record, true);
    std::vector<ExecCall> calls = NewExecs();
    ASSERT_EQ((std::vector<DWORD>{IDM_HTMLEDITMODE, IDM_COMPOSESETTINGS}), Ids(calls));
    EXPECT_EQ(L"true", calls[0].input);
    EXPECT_EQ(L"1,0,1,5,17.34.51,255.255.255,Comic %s Sans", calls[1].input);
    EXPECT_EQ(L"#A0B0C0", Page()->Body()->bgColor);

    record.pageColor = RGB(1, 2, 3);
    input.ApplyFormat(record, false);
    calls = NewExecs();
    ASSERT_EQ((std::vector<DWORD>{IDM_SELECTALL, IDM_BOLD, IDM_UNDERLINE, IDM_FONTNAME, IDM_FONTSIZE, IDM_FORECOLOR,
                                  IDM_BACKCOLOR, IDM_CLEARSELECTION}),
              Ids(calls));
    EXPECT_EQ(L"Comic %s Sans", calls[3].input);
    EXPECT_EQ(L"5", calls[4].input);
    EXPECT_EQ(std::to_wstring(RGB(0x11, 0x22, 0x33)), calls[5].input);
    EXPECT_EQ(std::to_wstring(RGB(0xFF, 0xFF, 0xFF)), calls[6].input);
    EXPECT_EQ(L"#010203", Page()->Body()->bgColor);
}

TEST_F(EditorTest, ReadFormatTakesWhatTheCommandsReportAndRoundTripsTheRecord)
{
    CIEInputWnd& input = Create();
    FakeDocument* page = Page();
    ASSERT_TRUE(page);
    page->commandStates[IDM_BOLD] = OLECMDF_SUPPORTED | OLECMDF_ENABLED | OLECMDF_LATCHED;
    page->commandStates[IDM_ITALIC] = OLECMDF_SUPPORTED | OLECMDF_ENABLED | OLECMDF_LATCHED;
    page->commandTexts[IDM_FONTNAME] = std::wstring(L"Verdana") + std::wstring(40, L'x');
    page->commandNumbers[IDM_FONTSIZE] = 9;
    page->commandNumbers[IDM_FORECOLOR] = static_cast<long>(RGB(0, 0, 0xFF));
    page->commandNumbers[IDM_BACKCOLOR] = static_cast<long>(RGB(0xEE, 0xEE, 0xEE));
    input.SetBackgroundColor(RGB(0x10, 0x20, 0x30));

    NewExecs();
    FontRecord record;
    ASSERT_TRUE(input.ReadFormat(&record));
    const std::vector<DWORD> ids = Ids(NewExecs());
    ASSERT_FALSE(ids.empty());
    EXPECT_EQ(DWORD{IDM_SELECTALL}, ids.front());
    EXPECT_EQ(DWORD{IDM_CLEARSELECTION}, ids.back());
    EXPECT_TRUE(record.bold);
    EXPECT_TRUE(record.italic);
    EXPECT_FALSE(record.underline);
    EXPECT_EQ((L"Verdana" + std::wstring(25, L'x')), record.face);
    EXPECT_EQ(7, record.size);
    EXPECT_EQ(RGB(0, 0, 0xFF), record.textColor);
    EXPECT_EQ(RGB(0xEE, 0xEE, 0xEE), record.textBackground);
    EXPECT_EQ(RGB(0x10, 0x20, 0x30), record.pageColor);

    // An unreadable page colour is the window colour.
    page->Body()->bgColor = L"papayawhip";
    ASSERT_TRUE(input.ReadFormat(&record));
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), record.pageColor);

    // Stored, it is what the next editor starts new text with.
    ASSERT_TRUE(WriteFontRecord(Settings(), L"Alice Demo", record));
    editor.reset();
    Create();
    ASSERT_TRUE(Page());
    const ExecCall* compose = Find(Page()->execs, IDM_COMPOSESETTINGS);
    ASSERT_TRUE(compose);
    EXPECT_EQ(ComposeSettings(record), compose->input);
    EXPECT_EQ(ColorToHex(GetSysColor(COLOR_WINDOW)), Page()->Body()->bgColor);
}

TEST_F(EditorTest, TheOutgoingHtmlLinksTheAddressAtTheCaret)
{
    CIEInputWnd& input = Create();
    FakeDocument* page = Page();
    ASSERT_TRUE(page);
    std::wstring html;
    EXPECT_FALSE(input.GetMessageHtml(&html)); // no HTML element yet

    FakeElement* root = page->AddElement(L"HTML", L"");
    const struct {
        const wchar_t* body;
        const wchar_t* typed;
        const wchar_t* pasted; // "" when nothing becomes a link
        const wchar_t* sent;
    } cases[] = {
        {L"hi", L"hi", L"", L"<HTML>hi</HTML>"},
        {L"see www.example.com", L"see www.example.com",
         L"<A HREF=\"http://www.example.com\">www.example.com</A>", L"<HTML>see www.example.com</HTML>"},
        {L"x", L"get ftp.example.org", L"<A HREF=\"ftp://ftp.example.org\">ftp.example.org</A>", L"<HTML>x</HTML>"},
        {L"x", L"mail bob@example.com", L"<A HREF=\"mailto:bob@example.com\">bob@example.com</A>", L"<HTML>x</HTML>"},
        {L"x", L"aim:goim?screenname=bob", L"<A HREF=\"aim:goim?screenname=bob\">aim:goim?screenname=bob</A>",
         L"<HTML>x</HTML>"},
        {L"<A href=\"http://x/?a=1&amp;b=2\">t&amp;u</A>", L"t&u ", L"",
         L"<HTML><A href=\"http://x/?a=1&b=2\">t&amp;u</A></HTML>"},
    };
    for (const auto& c : cases) {
        root->innerHtml = c.body;
        page->textBeforeCaret = c.typed;
        page->rangeLog.clear();
        ASSERT_TRUE(input.GetMessageHtml(&html)) << c.typed;
        EXPECT_EQ(c.sent, html) << c.typed;
        std::wstring pasted;
        for (const std::wstring& entry : page->rangeLog) {
            if (entry.rfind(L"pasteHTML:", 0) == 0)
                pasted = entry.substr(10);
        }
        EXPECT_EQ(c.pasted, pasted) << c.typed;
    }

    // Inside a link already, nothing is linked again.
    FakeElement* anchor = page->AddElement(L"A", L"");
    page->selectionParent = anchor;
    page->textBeforeCaret = L"www.example.com";
    page->rangeLog.clear();
    ASSERT_TRUE(input.GetMessageHtml(&html));
    for (const std::wstring& entry : page->rangeLog)
        EXPECT_NE(0u, entry.rfind(L"pasteHTML:", 0)) << entry;
}

TEST_F(EditorTest, KeysGoToTheControlTheCommandsOrTheParent)
{
    CIEInputWnd& input = Create();
    FakeDocument* page = Page();
    ASSERT_TRUE(page);
    HWND server = input.ServerWindow();
    ASSERT_TRUE(server);

    // Ctrl shortcuts run commands and reach nobody else.
    const struct {
        WPARAM key;
        DWORD command;
    } shortcuts[] = {{'A', IDM_SELECTALL}, {'B', IDM_BOLD}, {'C', IDM_COPY}, {'I', IDM_ITALIC}, {'U', IDM_UNDERLINE},
                     {'V', IDM_PASTE},     {'X', IDM_CUT},  {'Y', IDM_REDO}, {'Z', IDM_UNDO}};
    for (const auto& s : shortcuts) {
        HeldKeys held(true, false);
        NewExecs();
        SendMessageW(server, WM_KEYDOWN, s.key, 0);
        const std::vector<DWORD> ids = Ids(NewExecs());
        ASSERT_FALSE(ids.empty()) << static_cast<char>(s.key);
        EXPECT_EQ(s.command, ids.front()) << static_cast<char>(s.key);
    }
    EXPECT_TRUE(parent.keys.empty());

    // Ctrl+1 and Ctrl+2 insert the set's smileys; past the set's end nothing
    // happens (the set has two).
    const struct {
        WPARAM key;
        bool shift;
        const wchar_t* picture;
    } smileys[] = {{'1', false, L"smile.gif"}, {'2', false, L"wink.gif"}, {'3', false, nullptr},
                   {'8', true, nullptr},       {'1', true, nullptr}};
    for (const auto& s : smileys) {
        HeldKeys held(true, s.shift);
        page->rangeLog.clear();
        SendMessageW(server, WM_KEYDOWN, s.key, 0);
        std::wstring pasted;
        for (const std::wstring& entry : page->rangeLog) {
            if (entry.rfind(L"pasteHTML:", 0) == 0)
                pasted = entry;
        }
        if (s.picture)
            EXPECT_NE(std::wstring::npos, pasted.find(s.picture)) << pasted;
        else
            EXPECT_EQ(L"", pasted) << static_cast<char>(s.key) << s.shift;
    }
    EXPECT_TRUE(parent.keys.empty());

    // Any other key is offered to the parent first.
    {
        HeldKeys held(false, true);
        parent.keyAnswer = 1;
        SendMessageW(server, WM_KEYDOWN, 'Q', 0);
    }
    ASSERT_EQ(1u, parent.keys.size());
    EXPECT_EQ(UINT{'Q'}, parent.keys[0].key);
    EXPECT_FALSE(parent.keys[0].ctrl);
    EXPECT_TRUE(parent.keys[0].shift);
    EXPECT_EQ(WPARAM{kEditorId}, parent.received.back().wParam);

    // Key-up of an ordinary key reports a selection change.
    parent.received.clear();
    SendMessageW(server, WM_KEYUP, 'Q', 0);
    EXPECT_EQ(std::vector<UINT>{CIEInputWnd::kSelectionChanged}, parent.Messages());

    // Enter: its key-up reaches the control only when it inserts a line.
    EXPECT_TRUE(input.OnServerKeyUp(VK_RETURN, 0));
    SetEditorSetting(L"EnterInsertsReturn", true);
    EXPECT_FALSE(input.OnServerKeyUp(VK_RETURN, 0));

    // The wheel is offered to the parent.
    parent.wheelAnswer = 1;
    SendMessageW(server, WM_MOUSEWHEEL, MAKEWPARAM(MK_SHIFT, static_cast<WORD>(-120)), MAKELPARAM(40, 50));
    ASSERT_EQ(1u, parent.wheels.size());
    EXPECT_EQ(40, parent.wheels[0].x);
    EXPECT_EQ(50, parent.wheels[0].y);
    EXPECT_EQ(-120, parent.wheels[0].delta);
    EXPECT_EQ(UINT{MK_SHIFT}, parent.wheels[0].keys);
}

TEST_F(EditorTest, TypedEnterIsCancelledAndShortcutsTurnIntoSmileys)
{
    CIEInputWnd& input = Create();
    FakeDocument* page = Page();
    ASSERT_TRUE(page);
    auto press = [&](wchar_t c) {
        ComPtr<FakeEventObj> event;
        *event.ReleaseAndGetAddressOf() = new FakeEventObj();
        event->keyCode = c;
        input.OnDocKeyPress(event.Get());
        return event;
    };
    ComPtr<FakeEventObj> enter = press(L'\r');
    EXPECT_EQ(0, enter->keyCode);
    EXPECT_TRUE(enter->cancelBubble);

    const struct {
        bool inlineOn;
        bool asText;
        const wchar_t* before;
        wchar_t typed;
        bool replaced;
    } cases[] = {
        {true, false, L"hello :-", L')', true},  {true, false, L"hello ;-", L')', true},
        {true, false, L"hello", L')', false},    {false, false, L"hello :-", L')', false},
        {true, true, L"hello :-", L')', false},
    };
    for (const auto& c : cases) {
        SetEditorSetting(L"InlineSmilies", c.inlineOn);
        SetEditorSetting(L"ShowSmiliesAsTxt", c.asText);
        page->textBeforeCaret = c.before;
        page->rangeLog.clear();
        ComPtr<FakeEventObj> event = press(c.typed);
        EXPECT_EQ(c.replaced, event->cancelBubble) << c.before;
        bool pasted = false;
        for (const std::wstring& entry : page->rangeLog)
            pasted = pasted || entry.find(L"smiley=\"yes\"") != std::wstring::npos;
        EXPECT_EQ(c.replaced, pasted) << c.before;
        if (c.replaced) {
            // The typed part of the shortcut was selected to be replaced.
            EXPECT_NE(page->rangeLog.end(), std::find(page->rangeLog.begin(), page->rangeLog.end(), L"select"));
        }
    }
}

TEST_F(EditorTest, ClearingTheSendBarAndTheConversationButtonsReachTheParent)
{
    CIEInputWnd& input = Create();
    NewExecs();
    input.ClearMessage();
    EXPECT_EQ((std::vector<DWORD>{IDM_SELECTALL, IDM_DELETE}), Ids(NewExecs()));
    EXPECT_EQ(std::vector<UINT>{CIEInputWnd::kCleared}, parent.Messages());
    EXPECT_EQ(WPARAM{kEditorId}, parent.received.back().wParam);

    parent.received.clear();
    SendMessageW(input.Hwnd(), WM_COMMAND, MAKEWPARAM(CIEInputWnd::kSendButton, BN_CLICKED),
                 reinterpret_cast<LPARAM>(input.SendBar()));
    ASSERT_EQ(std::vector<UINT>{CIEInputWnd::kSendBarCommand}, parent.Messages());
    EXPECT_EQ(LPARAM{CIEInputWnd::kSendButton}, parent.received[0].lParam);

    for (int button : {CIEInputWnd::kBuddyInfoButton, CIEInputWnd::kWarnButton}) {
        parent.commands.clear();
        SendMessageW(input.Hwnd(), WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(input.FormatBar()));
        EXPECT_EQ(std::vector<WPARAM>{MAKEWPARAM(button, 0)}, parent.commands);
    }
}

TEST_F(EditorTest, LinksAndPicturesComeFromTheirDialogs)
{
    CIEInputWnd& input = Create();
    FakeDocument* page = Page();
    ASSERT_TRUE(page);
    const struct {
        const wchar_t* href;
        const wchar_t* text;
        const wchar_t* pasted;
    } cases[] = {
        {L"http://example.com/?a=\"1\"", L"<b>",
         L"pasteHTML:<A HREF=\"http://example.com/?a=&quot;1&quot;\">&lt;b&gt;</A>"},
        {L"javascript:alert(1)", L"x", nullptr},
        {L" VBScript:msgbox", L"x", nullptr},
    };
    for (const auto& c : cases) {
        input.SetLinkDialog([&](HWND, std::wstring* href, std::wstring* text) {
            *href = c.href;
            *text = c.text;
            return true;
        });
        page->rangeLog.clear();
        input.InsertLink();
        if (c.pasted)
            EXPECT_EQ(std::vector<std::wstring>{c.pasted}, page->rangeLog);
        else
            EXPECT_TRUE(page->rangeLog.empty()) << c.href;
    }

    // Editing a link replaces the link around the selection.
    FakeElement* anchor = page->AddElement(L"A", L"");
    anchor->attributes[L"href"] = L"http://old.example/";
    page->selectionParent = anchor;
    std::wstring offeredHref;
    input.SetLinkDialog([&](HWND, std::wstring* href, std::wstring* text) {
        offeredHref = *href;
        *href = L"http://new.example/";
        *text = L"new";
        return true;
    });
    input.InsertLink();
    EXPECT_EQ(L"<A HREF=\"http://new.example/\">new</A>", anchor->outerHtmlSet);

    input.SetPictureDialog([](HWND, std::wstring* path) {
        *path = L"C:\\pics\\cat.png";
        return true;
    });
    NewExecs();
    input.InsertPicture();
    const std::vector<ExecCall> calls = NewExecs();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(DWORD{IDM_IMAGE}, calls[0].id);
    EXPECT_EQ(L"C:\\pics\\cat.png", calls[0].input);
}

TEST_F(EditorTest, WrappersDescribeTheFormattingAtTheCaret)
{
    CIEInputWnd& input = Create();
    FakeDocument* page = Page();
    ASSERT_TRUE(page);
    page->commandStates[IDM_BOLD] = OLECMDF_SUPPORTED | OLECMDF_ENABLED | OLECMDF_LATCHED;
    page->commandTexts[IDM_FONTNAME] = L"100% Mono";
    page->commandNumbers[IDM_FONTSIZE] = 2;
    page->commandNumbers[IDM_FORECOLOR] = static_cast<long>(RGB(0xFF, 0, 0));
    std::wstring font;
    std::wstring span;
    ASSERT_TRUE(input.GetCurrentFontWrapper(&font));
    ASSERT_TRUE(input.GetCurrentSpanWrapper(&span));
    EXPECT_EQ(L"<font face=\"100%% Mono\" size=\"2\" color=\"#FF0000\"><b>%s</b></font>", font);
    EXPECT_EQ(L"<font face=\"100% Mono\" size=\"2\" color=\"#FF0000\"><b>hi</b></font>", FillWrapper(font, L"hi"));
    EXPECT_EQ(L"<span style='font-weight: bold; font-family: 100%% Mono; font-size: x-small;"
              L" color: #FF0000;'>%s</span>",
              span);
}

TEST_F(EditorTest, TheTextLengthCountsPictures)
{
    CIEInputWnd& input = Create();
    FakeDocument* page = Page();
    ASSERT_TRUE(page);
    page->Body()->innerHtml = L"hello";
    page->AddElement(L"IMG", L"");
    page->AddElement(L"IMG", L"");
    EXPECT_EQ(7, input.GetTextLength());
}

TEST_F(EditorTest, ForeignNavigationIsCancelledAndFollowsTheLinkPolicy)
{
    CIEInputWnd& input = Create();
    const struct {
        const wchar_t* url;
        bool cancelled;
        const wchar_t* shell;
    } cases[] = {
        {kPage, false, nullptr},
        {L"http://example.com/", true, L"http://example.com/"},
        {L"file:///C:/windows/notepad.exe", true, nullptr},
    };
    for (const auto& c : cases) {
        shellLinks.clear();
        VARIANT_BOOL cancel = VARIANT_FALSE;
        input.OnBeforeNavigate2(nullptr, c.url, nullptr, nullptr, nullptr, nullptr, &cancel);
        EXPECT_EQ(c.cancelled, cancel == VARIANT_TRUE) << c.url;
        if (c.shell)
            EXPECT_EQ(std::vector<std::wstring>{c.shell}, shellLinks);
        else
            EXPECT_TRUE(shellLinks.empty()) << c.url;
    }
}

namespace {

// Spell checking as the editor sees it: what it was told, and menu items
// it adds when asked.
class RecordingSpellCheck : public IEditorSpellCheck {
public:
    explicit RecordingSpellCheck(std::vector<std::wstring>* log) : log_(log) {}
    void Attach(CIEInputWnd* editor) override { log_->push_back(editor ? L"attach" : L"attach:null"); }
    void Detach() override { log_->push_back(L"detach"); }
    void OnKeyTyped(wchar_t character) override { log_->push_back(std::wstring(L"key:") + character); }
    bool AddMenuItems(HMENU menu, POINT) override
    {
        AppendMenuW(menu, MF_STRING, 1, L"teh");
        return true;
    }
    bool AddDictionaryItems(HMENU menu) override
    {
        AppendMenuW(menu, MF_STRING, CIEInputWnd::kFirstSpellCommand + 21, L"dictionaries");
        return true;
    }
    void OnMenuCommand(UINT id) override { log_->push_back(L"command:" + std::to_wstring(id)); }

private:
    std::vector<std::wstring>* log_;
};

std::vector<std::wstring> Labels(std::initializer_list<UINT> ids)
{
    std::vector<std::wstring> labels;
    for (UINT id : ids)
        labels.push_back(id ? LoadLangString(id) : L"");
    return labels;
}

} // namespace

TEST_F(EditorTest, TheContextMenuOffersEditingAndTheSpellCheckersItems)
{
    CIEInputWnd& input = Create();
    FakeDocument* page = Page();
    ASSERT_TRUE(page);
    page->commandStates[IDM_PASTE] = OLECMDF_SUPPORTED;

    MenuSeen seen;
    seen.keys = {VK_UP, VK_RETURN}; // the last item: select all
    WatchNextMenu(&seen);
    POINT at = {20, 20};
    NewExecs();
    EXPECT_EQ(S_OK, input.ShowContextMenu(CONTEXT_MENU_DEFAULT, &at, nullptr, nullptr));
    WatchNextMenu(nullptr);
    ASSERT_TRUE(seen.open);
    EXPECT_EQ(Labels({108, 109, 0, 110, 111, 112, 0, 113}), seen.labels);
    ASSERT_EQ(8u, seen.states.size());
    EXPECT_TRUE(seen.states[5] & MF_GRAYED);  // paste: nothing to paste
    EXPECT_FALSE(seen.states[4] & MF_GRAYED); // copy
    const std::vector<ExecCall> calls = NewExecs();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(DWORD{IDM_SELECTALL}, calls[0].id);
    EXPECT_EQ(DWORD{OLECMDEXECOPT_PROMPTUSER}, calls[0].option);

    // With inline spell checking the checker's items come first and last,
    // and their commands go back to it.
    std::vector<std::wstring> log;
    CIEInputWnd::SetSpellCheckFactory([&] { return std::make_unique<RecordingSpellCheck>(&log); });
    SetEditorSetting(L"InlineSpellCheck", true);
    editor.reset();
    Create();
    EXPECT_EQ(std::vector<std::wstring>{L"attach"}, log);
    ComPtr<FakeEventObj> event;
    *event.ReleaseAndGetAddressOf() = new FakeEventObj();
    event->keyCode = L'q';
    editor->OnDocKeyPress(event.Get());
    EXPECT_EQ(L"key:q", log.back());

    MenuSeen spelled;
    spelled.keys = {VK_DOWN, VK_RETURN}; // the first item: the suggestion
    WatchNextMenu(&spelled);
    editor->ShowContextMenu(CONTEXT_MENU_DEFAULT, &at, nullptr, nullptr);
    WatchNextMenu(nullptr);
    ASSERT_TRUE(spelled.open);
    ASSERT_EQ(12u, spelled.labels.size()); // suggestion, separator, the eight, separator, dictionaries
    EXPECT_EQ(L"teh", spelled.labels.front());
    EXPECT_EQ(L"dictionaries", spelled.labels.back());
    EXPECT_EQ(L"command:1", log.back());

    editor.reset();
    EXPECT_EQ(L"detach", log.back());
    CIEInputWnd::SetSpellCheckFactory(nullptr);
}

TEST_F(EditorTest, TheToolbarShowsItsTipsAndTheLatchedStyles)
{
    CIEInputWnd& input = Create();
    HWND tips = reinterpret_cast<HWND>(SendMessageW(input.FormatBar(), TB_GETTOOLTIPS, 0, 0));
    ASSERT_TRUE(tips);
    const struct {
        int button;
        UINT text;
    } cases[] = {{1, 90}, {2, 91}, {4, 501}, {6, 94}, {13, 187}, {14, 505}, {15, 675}};
    for (const auto& c : cases) {
        NMTTDISPINFOW info = {};
        info.hdr.hwndFrom = tips;
        info.hdr.idFrom = static_cast<UINT_PTR>(c.button);
        info.hdr.code = TTN_GETDISPINFOW;
        SendMessageW(input.Hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
        ASSERT_TRUE(info.lpszText) << c.button;
        EXPECT_EQ(LoadLangString(c.text), info.lpszText) << c.button;
    }

    FakeDocument* page = Page();
    ASSERT_TRUE(page);
    page->commandStates[IDM_BOLD] = OLECMDF_SUPPORTED | OLECMDF_ENABLED | OLECMDF_LATCHED;
    page->commandStates[IDM_UNDERLINE] = OLECMDF_SUPPORTED | OLECMDF_ENABLED | OLECMDF_LATCHED;
    input.UpdateUI();
    EXPECT_TRUE(SendMessageW(input.FormatBar(), TB_ISBUTTONCHECKED, CIEInputWnd::kBoldButton, 0));
    EXPECT_FALSE(SendMessageW(input.FormatBar(), TB_ISBUTTONCHECKED, CIEInputWnd::kItalicButton, 0));
    EXPECT_TRUE(SendMessageW(input.FormatBar(), TB_ISBUTTONCHECKED, CIEInputWnd::kUnderlineButton, 0));
}

TEST_F(EditorTest, TheControlSitsBetweenTheBarsAndDropsGoToTheConversation)
{
    CIEInputWnd& input = Create();
    ASSERT_TRUE(Fake() && Fake()->embeddingWindow);
    auto placeOf = [&](HWND hwnd) {
        RECT rect = {};
        GetWindowRect(hwnd, &rect);
        MapWindowPoints(nullptr, input.Hwnd(), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    };
    const RECT control = placeOf(Fake()->embeddingWindow);
    const RECT format = placeOf(input.FormatBar());
    const RECT send = placeOf(input.SendBar());
    const RECT status = placeOf(input.StatusLine());
    EXPECT_EQ(1, format.top);
    EXPECT_GT(format.bottom, format.top);
    EXPECT_LE(format.bottom, control.top);
    EXPECT_LE(control.bottom, send.top);
    EXPECT_GT(control.bottom, control.top);
    EXPECT_EQ(send.top, status.top);
    EXPECT_EQ(send.bottom, status.bottom);
    EXPECT_LE(status.right, send.left);

    // Without the bottom row the control takes its place.
    input.SetBarVisible(CIEInputWnd::kSendBar, false);
    input.SetBarVisible(CIEInputWnd::kStatusLine, false);
    RECT client = {};
    GetClientRect(input.Hwnd(), &client);
    EXPECT_GE(placeOf(Fake()->embeddingWindow).bottom, client.bottom - 1);

    IDropTarget* target = nullptr;
    ASSERT_EQ(S_OK, input.GetDropTarget(nullptr, &target));
    EXPECT_EQ(static_cast<IDropTarget*>(&parent), target);
    target->Release();
}

TEST_F(EditorTest, TabLeavesForTheSendBar)
{
    CIEInputWnd& input = Create();
    HeldKeys held(false, false);
    SetFocus(input.ServerWindow());
    SendMessageW(input.ServerWindow(), WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(input.SendBar(), GetFocus());
    EXPECT_TRUE(parent.keys.empty());
}

TEST_F(EditorTest, TheSmileyMenuHasACellForEachSmileyOfTheSet)
{
    CIEInputWnd& input = Create();
    FakeDocument* page = Page();
    ASSERT_TRUE(page);
    MenuSeen seen;
    seen.keys = {VK_DOWN, VK_DOWN, VK_RETURN}; // the second smiley
    WatchNextMenu(&seen);
    input.RunFormatButton(CIEInputWnd::kSmileyButton);
    WatchNextMenu(nullptr);
    ASSERT_TRUE(seen.open);
    // Two smileys: one column of four cells and its label.
    EXPECT_EQ((std::vector<UINT>{1, 2, 3, 4, 5}), seen.ids);
    ASSERT_EQ(5u, seen.states.size());
    EXPECT_FALSE(seen.states[0] & MF_DISABLED);
    EXPECT_FALSE(seen.states[1] & MF_DISABLED);
    for (size_t i = 2; i < 5; ++i)
        EXPECT_TRUE(seen.states[i] & MF_DISABLED) << i;
    ASSERT_FALSE(page->rangeLog.empty());
    EXPECT_NE(std::wstring::npos, page->rangeLog.back().find(L"wink.gif")) << page->rangeLog.back();
    // Text instead of pictures: the shortcut, escaped.
    SetEditorSetting(L"ShowSmiliesAsTxt", true);
    input.InsertSmiley(0);
    EXPECT_EQ(L"pasteHTML::-)", page->rangeLog.back());
}
