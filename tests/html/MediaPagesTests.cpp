#include "HtmlTestSupport.h"
#include "IEViewWnd.h"
#include "TestSupport.h"

#include <string>
#include <vector>

namespace {

std::string PageBytes(HMODULE library, const wchar_t* name)
{
    HRSRC found = FindResourceW(library, name, MAKEINTRESOURCEW(23));
    if (!found)
        return std::string();
    HGLOBAL loaded = LoadResource(library, found);
    const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return data ? std::string(data, SizeofResource(library, found)) : std::string();
}

TEST(MediaLibraryTest, HoldsThePagesAsType23)
{
    ScopedModule library(LoadLibraryExW((ExeFolder() + L"VLMMedia.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(library.valid());
    // Resource names compare without regard to case, as res:// finds them.
    for (const wchar_t* name : {L"INPUT.HTM", L"Input.htm", L"About.htm", L"InfoTip.htm"}) {
        EXPECT_NE(nullptr, FindResourceW(library.get(), name, MAKEINTRESOURCEW(23))) << name;
        const std::string page = PageBytes(library.get(), name);
        EXPECT_NE(std::string::npos, page.find("</html>")) << name;
        // Self-contained: nothing is fetched from elsewhere.
        for (const char* outside : {"http:", "https:", "ftp:", "//", "@import", "url("})
            EXPECT_EQ(std::string::npos, page.find(outside)) << name << " refers to " << outside;
    }
}

struct PageCase {
    const wchar_t* page;
    std::vector<std::wstring> ids;
};

class MediaPageTest : public HtmlTest {};

TEST_F(MediaPageTest, EachPageHasTheElementsTheClientFills)
{
    const PageCase pages[] = {
        {L"res://VLMMedia.dll/About.htm", {L"vlmversion", L"aimccversion", L"credits", L"legal"}},
        {L"res://VLMMedia.dll/InfoTip.htm", {L"MainIcon", L"Name", L"Status", L"OnlineTime", L"IdleTime"}},
    };
    TestWindow parent;
    for (const PageCase& item : pages) {
        CIEViewWnd view;
        ASSERT_TRUE(view.CreateView(parent.Hwnd(), L"", 0));
        ASSERT_EQ(S_OK, view.Navigate(item.page, true));
        ComPtr<IHTMLDocument3> document;
        ASSERT_TRUE(SUCCEEDED(view.Document().As(&document)));
        for (const std::wstring& id : item.ids) {
            BSTR name = SysAllocString(id.c_str());
            ComPtr<IHTMLElement> element;
            EXPECT_EQ(S_OK, document->getElementById(name, &element));
            SysFreeString(name);
            EXPECT_NE(nullptr, element.Get()) << item.page << " lacks " << id;
        }
        DestroyWindow(view.Hwnd());
    }
    EXPECT_EQ(L"IMG", Fake()->Document()->ElementById(L"MainIcon")->tag);
}

TEST_F(MediaPageTest, TheEditorPageHasAnEditableBody)
{
    TestWindow parent;
    CIEViewWnd view;
    ASSERT_TRUE(view.CreateView(parent.Hwnd(), L"", 0));
    ASSERT_EQ(S_OK, view.Navigate(L"res://VLMMedia.dll/Input.htm", true));
    EXPECT_EQ(L"true", Fake()->Document()->Body()->Attribute(L"contenteditable"));
    DestroyWindow(view.Hwnd());
}

} // namespace
