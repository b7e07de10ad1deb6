#include "AppState.h"
#include "LangStrings.h"
#include "PasswordProtection.h"
#include "ScopedHandle.h"
#include "Seams.h"
#include "SignOnPane.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Answers every message box of this thread with a chosen button and keeps
// its text, so the pane's questions and warnings can be checked.
struct BoxAnswers {
    int answer = IDYES;
    std::vector<std::wstring> texts;
};
BoxAnswers g_boxes;
HHOOK g_hook = nullptr;

LRESULT CALLBACK AnswerBoxes(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_INITDIALOG) {
        wchar_t text[512] = {};
        GetDlgItemTextW(call->hwnd, 0xFFFF, text, ARRAYSIZE(text));
        g_boxes.texts.push_back(text);
        PostMessageW(call->hwnd, WM_COMMAND, g_boxes.answer, 0);
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

class SignOnPaneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings().SetPath(folder.File(L"Velmora.ini").c_str());
        lang.reset(LoadLibraryExW((ExeFolder() + L"VLMLang.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(lang);
        SetLangModule(lang.get());
        g_boxes = {};
        g_hook = SetWindowsHookExW(WH_CALLWNDPROCRET, AnswerBoxes, nullptr, GetCurrentThreadId());
        parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 220, 400, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        SetSignOnStartedByUser(false);
    }
    void TearDown() override
    {
        // Signing on from the pane starts a real session; none outlives its test.
        ReleaseAllSessions();
        DestroyWindow(parent);
        UnhookWindowsHookEx(g_hook);
        Settings().SetPath(nullptr);
        SetLangModule(nullptr);
    }

    void Remember(const wchar_t* name, const std::wstring& password)
    {
        const std::vector<BYTE> sealed = password.empty() ? std::vector<BYTE>() : SealSecret(password);
        static const BYTE nothing = 0;
        Settings().WriteBinary(L"Users", name, sealed.empty() ? &nothing : sealed.data(),
                               static_cast<DWORD>(sealed.size()));
    }
    bool Checked(CMainSignOnPane& pane, int id) { return IsDlgButtonChecked(pane.Hwnd(), id) == BST_CHECKED; }
    void Click(CMainSignOnPane& pane, int id)
    {
        SendDlgItemMessageW(pane.Hwnd(), id, BM_CLICK, 0, 0);
    }
    std::wstring Text(HWND hwnd)
    {
        wchar_t text[256] = {};
        GetWindowTextW(hwnd, text, ARRAYSIZE(text));
        return text;
    }

    TempFolder folder;
    ScopedModule lang;
    HWND parent = nullptr;
};

TEST_F(SignOnPaneTest, RecentUserIsSelectedWithItsSavedPassword)
{
    Remember(L"alice", L"wonder land");
    Remember(L"joeblow", L"");
    Settings().WriteString(L"General", L"RecentUser", L"ALICE");
    Settings().WriteBool(L"AutoSignOn", L"alice", true);
    CMainSignOnPane pane;
    ASSERT_TRUE(pane.Create(parent));
    EXPECT_EQ(2, SendMessageW(pane.NameBox(), CB_GETCOUNT, 0, 0));
    EXPECT_EQ(L"alice", Text(pane.NameBox()));
    EXPECT_EQ(L"wonder land", Text(pane.PasswordBox()));
    EXPECT_TRUE(Checked(pane, CMainSignOnPane::kRememberName));
    EXPECT_TRUE(Checked(pane, CMainSignOnPane::kRememberPassword));
    EXPECT_TRUE(Checked(pane, CMainSignOnPane::kAutoSignOn));

    // Choosing the name without a saved password empties the field.
    SendMessageW(pane.NameBox(), CB_SETCURSEL, 1, 0);
    SendMessageW(pane.Hwnd(), WM_COMMAND, MAKEWPARAM(CMainSignOnPane::kNameBox, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(pane.NameBox()));
    EXPECT_EQ(L"", Text(pane.PasswordBox()));
    EXPECT_TRUE(Checked(pane, CMainSignOnPane::kRememberName));
    EXPECT_FALSE(Checked(pane, CMainSignOnPane::kRememberPassword));
    EXPECT_FALSE(Checked(pane, CMainSignOnPane::kAutoSignOn));
}

TEST_F(SignOnPaneTest, ACorruptSavedPasswordIsNotPutIntoTheField)
{
    Settings().WriteString(L"Users", L"mallory", L"564C4D31DEADBEEFDEADBEEF");
    Settings().WriteString(L"General", L"RecentUser", L"mallory");
    CMainSignOnPane pane;
    ASSERT_TRUE(pane.Create(parent));
    EXPECT_EQ(L"", Text(pane.PasswordBox()));
    EXPECT_FALSE(Checked(pane, CMainSignOnPane::kRememberPassword));
}

TEST_F(SignOnPaneTest, SigningOnRemembersTheNameWithoutSpacesAndThePassword)
{
    CMainSignOnPane pane;
    ASSERT_TRUE(pane.Create(parent));
    SetWindowTextW(pane.NameBox(), L"  joe blow ");
    SetWindowTextW(pane.PasswordBox(), L"secret");
    Click(pane, CMainSignOnPane::kRememberPassword);
    EXPECT_TRUE(Checked(pane, CMainSignOnPane::kRememberName)) << "remembering a password remembers the name";
    pane.SignOn();
    EXPECT_TRUE(g_boxes.texts.empty());
    EXPECT_TRUE(SignOnStartedByUser());
    EXPECT_EQ(L"joeblow", Settings().GetString(L"General", L"RecentUser"));
    std::wstring stored;
    ASSERT_TRUE(OpenSecret(Settings().GetBinary(L"Users", L"joeblow"), stored));
    EXPECT_EQ(L"secret", stored);
    EXPECT_EQ(L"secret", Text(pane.PasswordBox())) << "the field keeps the plain password";

    // Both boxes off: the name stays, the password goes.
    Click(pane, CMainSignOnPane::kRememberName);
    EXPECT_FALSE(Checked(pane, CMainSignOnPane::kRememberPassword));
    pane.SignOn();
    EXPECT_TRUE(Settings().KeyExists(L"Users", L"joeblow"));
    EXPECT_EQ(L"", Settings().GetString(L"Users", L"joeblow"));
}

TEST_F(SignOnPaneTest, MissingOrUnstorableInputIsRefusedWithAWarning)
{
    CMainSignOnPane pane;
    ASSERT_TRUE(pane.Create(parent));
    struct Case {
        const wchar_t* name;
        const wchar_t* password;
        UINT stringId;
    } cases[] = {
        {L"", L"pw", 33},
        {L"bob", L"   ", 34},
        {L"bad=name", L"pw", 0},
    };
    for (const Case& c : cases) {
        g_boxes.texts.clear();
        SetWindowTextW(pane.NameBox(), c.name);
        SetWindowTextW(pane.PasswordBox(), c.password);
        pane.SignOn();
        ASSERT_EQ(1u, g_boxes.texts.size()) << c.stringId;
        const std::wstring expected = c.stringId ? LoadLangString(c.stringId) : FormatLangString(1000, {c.name});
        EXPECT_FALSE(expected.empty());
        EXPECT_EQ(expected, g_boxes.texts[0]);
        EXPECT_FALSE(SignOnStartedByUser());
        EXPECT_TRUE(Settings().KeyNames(L"Users").empty());
    }
}

TEST_F(SignOnPaneTest, DeleteForgetsTheWholeSelectedNameOnly)
{
    Remember(L"alice", L"pw");
    Settings().WriteBool(L"AutoSignOn", L"alice", true);
    Settings().WriteString(L"General", L"RecentUser", L"alice");
    CMainSignOnPane pane;
    ASSERT_TRUE(pane.Create(parent));
    auto pressDelete = [&](DWORD start, DWORD end) {
        SendMessageW(pane.NameBox(), CB_SETEDITSEL, 0, MAKELPARAM(start, end));
        return SendMessageW(pane.Hwnd(), WM_COMMAND, MAKEWPARAM(CMainSignOnPane::kNameBox, 0x2718),
                            reinterpret_cast<LPARAM>(pane.NameBox()));
    };
    EXPECT_EQ(0, pressDelete(1, 3)) << "part of the name: an ordinary Delete";
    EXPECT_TRUE(Settings().KeyExists(L"Users", L"alice"));

    g_boxes.answer = IDNO;
    EXPECT_EQ(1, pressDelete(0, 5));
    EXPECT_TRUE(Settings().KeyExists(L"Users", L"alice"));

    g_boxes.answer = IDYES;
    EXPECT_EQ(1, pressDelete(0, 5));
    EXPECT_FALSE(Settings().KeyExists(L"Users", L"alice"));
    EXPECT_FALSE(Settings().KeyExists(L"AutoSignOn", L"alice"));
    EXPECT_EQ(0, SendMessageW(pane.NameBox(), CB_GETCOUNT, 0, 0));
    EXPECT_EQ(L"", Text(pane.PasswordBox()));
}

TEST_F(SignOnPaneTest, AutomaticSignOnWaitsForAllThreeBoxes)
{
    Remember(L"alice", L"pw");
    Settings().WriteString(L"General", L"RecentUser", L"alice");
    CMainSignOnPane pane;
    ASSERT_TRUE(pane.Create(parent));
    pane.StartAutoSignOn();
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, pane.Hwnd(), WM_TIMER, WM_TIMER, PM_NOREMOVE) &&
                 msg.wParam == CMainSignOnPane::kAutoSignOnTimer);

    Click(pane, CMainSignOnPane::kAutoSignOn);
    EXPECT_TRUE(Settings().GetBool(L"AutoSignOn", L"alice", false));
    pane.StartAutoSignOn();
    // The timer fires once and posts the sign-on command.
    while (!SignOnStartedByUser() && GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    EXPECT_TRUE(SignOnStartedByUser());
}

TEST_F(SignOnPaneTest, ProgressPaneShowsTextsById)
{
    CMainSignOnStatePane pane;
    ASSERT_TRUE(pane.Create(parent));
    EXPECT_EQ(LoadLangString(5), pane.ProgressText());
    pane.SetProgressText(10);
    EXPECT_EQ(LoadLangString(10), pane.ProgressText());
    pane.SetProgressText(L"Connecting to 127.0.0.1...");
    EXPECT_EQ(L"Connecting to 127.0.0.1...", pane.ProgressText());
    EXPECT_EQ(kSignOnStatePaneKindId, pane.PaneId());
}

} // namespace
