#include "LangStrings.h"
#include "ScopedHandle.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

// Strings compiled into this test program (AppTestStrings.rc), which is the
// resource module until a language library is set.
constexpr UINT kLongString = 4000;
constexpr UINT kTemplate = 4001;
constexpr UINT kBlockEdgeLast = 4015;
constexpr UINT kBlockEdgeFirst = 4016;

class LangStringsTest : public ::testing::Test {
protected:
    void SetUp() override { SetLangModule(nullptr); }
    void TearDown() override { SetLangModule(nullptr); }
};

TEST_F(LangStringsTest, StringsOfAnyLengthLoadWhole)
{
    const std::wstring text = LoadLangString(kLongString);
    ASSERT_EQ(2000u, text.size());
    EXPECT_EQ(L"0123456789", text.substr(0, 10));
    EXPECT_EQ(L"0123456789", text.substr(1990));
    EXPECT_EQ(L"last of its block", LoadLangString(kBlockEdgeLast));
    EXPECT_EQ(L"first of the next", LoadLangString(kBlockEdgeFirst));
    EXPECT_EQ(L"", LoadLangString(4002));
    EXPECT_EQ(L"", LoadLangString(60000));
}

TEST_F(LangStringsTest, InsertsAreFilledInOrder)
{
    EXPECT_EQ(L"bob sent 3 files to alice", FormatLangString(kTemplate, {L"bob", L"3", L"alice"}));
    // A template asking for more values than given must not read past them.
    EXPECT_EQ(L"bob sent  files to ", FormatLangString(kTemplate, {L"bob"}));
    EXPECT_EQ(L"100% of a", FormatTemplate(L"100%% of %1", {L"a"}));
    EXPECT_EQ(L"", FormatTemplate(L"", {L"a"}));
}

TEST_F(LangStringsTest, UnknownSystemErrorsSaySo)
{
    EXPECT_EQ(L"Unknown error (0xDEADBEEF)", SystemErrorText(0xDEADBEEF));
    const std::wstring denied = SystemErrorText(ERROR_ACCESS_DENIED);
    EXPECT_GT(denied.size(), 6u);
    EXPECT_EQ(L" (0x5)", denied.substr(denied.size() - 6));
    EXPECT_NE(L'\n', denied[denied.size() - 7]);
}

// Reads the caption and text of the message box once its dialog has set them
// up, then closes it.
struct SeenBox {
    std::wstring caption;
    std::wstring text;
};
SeenBox g_seen;
HHOOK g_hook = nullptr;

LRESULT CALLBACK CloseMessageBox(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_INITDIALOG) {
        wchar_t buffer[512] = {};
        GetWindowTextW(call->hwnd, buffer, ARRAYSIZE(buffer));
        g_seen.caption = buffer;
        GetDlgItemTextW(call->hwnd, 0xFFFF, buffer, ARRAYSIZE(buffer));
        g_seen.text = buffer;
        PostMessageW(call->hwnd, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

SeenBox ShowAndCapture(UINT textId)
{
    g_seen = {};
    g_hook = SetWindowsHookExW(WH_CALLWNDPROCRET, CloseMessageBox, nullptr, GetCurrentThreadId());
    EXPECT_EQ(IDOK, ShowErrorBox(nullptr, textId, MB_ICONERROR | MB_OK));
    UnhookWindowsHookEx(g_hook);
    return g_seen;
}

TEST_F(LangStringsTest, ErrorBoxShowsLastErrorOrLanguageString)
{
    SetLastError(kErrorAppInitFailure);
    SeenBox box = ShowAndCapture(0);
    EXPECT_EQ(L"Velmora", box.caption);
    EXPECT_EQ(SystemErrorText(kErrorAppInitFailure), box.text);

    box = ShowAndCapture(kBlockEdgeLast);
    EXPECT_EQ(L"Velmora", box.caption);
    EXPECT_EQ(L"last of its block", box.text);
}

// The resource libraries, loaded as data files the way the program loads them:
// the copies built beside this program, and the 32-bit ones that ship in dist.
class ResourceLibraryTest : public ::testing::TestWithParam<std::wstring> {
protected:
    void TearDown() override { SetLangModule(nullptr); }
};

TEST_P(ResourceLibraryTest, LanguageStringsLoadWithInsertsFilled)
{
    ScopedModule lang(LoadLibraryExW((GetParam() + L"VLMLang.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(lang) << GetLastError();
    SetLangModule(lang.get());
    EXPECT_FALSE(LoadLangString(58).empty());
    const std::wstring template260 = LoadLangString(260);
    ASSERT_NE(std::wstring::npos, template260.find(L"%1"));
    const std::wstring filled = FormatLangString(260, {L"17"});
    EXPECT_NE(std::wstring::npos, filled.find(L"17"));
    EXPECT_EQ(std::wstring::npos, filled.find(L"%1"));
}

TEST_P(ResourceLibraryTest, TrayIconLoadsAtSixteenPixels)
{
    ScopedModule media(LoadLibraryExW((GetParam() + L"VLMMedia.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(media) << GetLastError();
    for (int id : {101, 136, 137, 138, 139}) {
        SCOPED_TRACE(id);
        ScopedIcon icon(static_cast<HICON>(LoadImageW(media.get(), MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0)));
        ASSERT_TRUE(icon);
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon.get(), &info));
        ScopedGdiObject color(info.hbmColor);
        ScopedGdiObject mask(info.hbmMask);
        BITMAP bitmap = {};
        GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
        EXPECT_EQ(16, bitmap.bmWidth);
        EXPECT_EQ(16, bitmap.bmHeight);
    }
}

INSTANTIATE_TEST_SUITE_P(Libraries, ResourceLibraryTest, ::testing::Values(ExeFolder(), std::wstring(VLM_SHIPPED_DIST)));

} // namespace
