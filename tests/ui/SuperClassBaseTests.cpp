#include "SuperClassBase.h"
#include "SuperComboBoxWnd.h"
#include "SuperEditWnd.h"
#include "SuperListBoxWnd.h"
#include "TabWnd.h"
#include "UiTestWindows.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace {

const RECT kControlRect = {10, 10, 210, 110};

// Notes what the control's object saw of its creation.
template <typename Control>
class Recording : public Control {
public:
    void* valueAtNcCreate = nullptr;
    void* valueAtCreate = nullptr;
    bool boundAtNcCreate = false;
    bool boundAtCreate = false;

protected:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_NCCREATE || message == WM_CREATE) {
            void* value = reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams;
            const bool bound = CSuperClassBase::FromHandle(hwnd) == this;
            (message == WM_NCCREATE ? valueAtNcCreate : valueAtCreate) = value;
            (message == WM_NCCREATE ? boundAtNcCreate : boundAtCreate) = bound;
        }
        return Control::WindowProc(hwnd, message, wParam, lParam);
    }
};

const wchar_t* ClassNameOf(CSuperEditWnd*) { return L"__RZ_SUPER_EDIT_WND__"; }
const wchar_t* ClassNameOf(CSuperListBoxWnd*) { return L"__RZ_SUPER_LISTBOX_WND__"; }
const wchar_t* ClassNameOf(CSuperComboBoxWnd*) { return L"__RZ_SUPER_CMBOBOX_WND__"; }
const wchar_t* ClassNameOf(CTabWnd*) { return L"__oVLMoTABEXoWNDo__"; }

std::wstring TextOf(HWND hwnd)
{
    wchar_t text[256] = {};
    GetWindowTextW(hwnd, text, ARRAYSIZE(text));
    return text;
}

bool ClassExists(const wchar_t* name)
{
    WNDCLASSEXW info = {};
    info.cbSize = sizeof(info);
    return GetClassInfoExW(GetModuleHandleW(nullptr), name, &info) != FALSE;
}

template <typename Control>
class SuperControlTest : public ::testing::Test {
protected:
    CTestParent parent_;
};

using SuperControls = ::testing::Types<CSuperEditWnd, CSuperListBoxWnd, CSuperComboBoxWnd, CTabWnd>;
TYPED_TEST_SUITE(SuperControlTest, SuperControls);

TYPED_TEST(SuperControlTest, ObjectIsBoundFromTheFirstMessageAndTheCreationValueGetsThrough)
{
    int creationValue = 0;
    Recording<TypeParam> control;
    ASSERT_TRUE(control.Create(this->parent_.Hwnd(), 7, WS_VISIBLE, 0, kControlRect, &creationValue));
    HWND hwnd = control.Hwnd();

    EXPECT_TRUE(control.boundAtNcCreate);
    EXPECT_TRUE(control.boundAtCreate);
    EXPECT_EQ(&creationValue, control.valueAtNcCreate);
    EXPECT_EQ(&creationValue, control.valueAtCreate);

    wchar_t className[64] = {};
    GetClassNameW(hwnd, className, ARRAYSIZE(className));
    EXPECT_STREQ(ClassNameOf(static_cast<TypeParam*>(nullptr)), className);
    EXPECT_EQ(static_cast<CSuperClassBase*>(&control), GetPropW(hwnd, L"_CSuperWnd_"));
    EXPECT_EQ(7, GetDlgCtrlID(hwnd));

    DestroyWindow(hwnd);
    EXPECT_EQ(nullptr, control.Hwnd());
}

TEST(SuperClassBaseTest, TheClassGoesWithTheLastObjectThatRegisteredIt)
{
    CTestParent parent;
    auto first = std::make_unique<CSuperEditWnd>();
    auto second = std::make_unique<CSuperEditWnd>();
    ASSERT_TRUE(first->Create(parent.Hwnd(), 1, WS_VISIBLE, 0, kControlRect));
    ASSERT_TRUE(second->Create(parent.Hwnd(), 2, WS_VISIBLE, 0, kControlRect));
    DestroyWindow(first->Hwnd());
    DestroyWindow(second->Hwnd());

    first.reset();
    EXPECT_TRUE(ClassExists(kSuperEditClassName));
    second.reset();
    EXPECT_FALSE(ClassExists(kSuperEditClassName));
}

TEST(SuperClassBaseTest, AWindowOutlivingItsObjectStaysAWorkingControl)
{
    CTestParent parent;
    auto object = std::make_unique<CSuperEditWnd>();
    ASSERT_TRUE(object->Create(parent.Hwnd(), 1, WS_VISIBLE, 0, kControlRect));
    HWND orphan = object->Hwnd();
    object.reset();

    EXPECT_EQ(nullptr, CSuperClassBase::FromHandle(orphan));
    SetWindowTextW(orphan, L"still an edit");
    EXPECT_EQ(L"still an edit", TextOf(orphan));
    // Windows keeps a class that has windows; a new object uses it as it is.
    EXPECT_TRUE(ClassExists(kSuperEditClassName));
    auto again = std::make_unique<CSuperEditWnd>();
    ASSERT_TRUE(again->Create(parent.Hwnd(), 2, WS_VISIBLE, 0, kControlRect));
    SetWindowTextW(again->Hwnd(), L"new");
    EXPECT_EQ(L"new", TextOf(again->Hwnd()));

    DestroyWindow(orphan);
    DestroyWindow(again->Hwnd());
    again.reset();
    EXPECT_FALSE(ClassExists(kSuperEditClassName));
}

constexpr UINT kThrowingMessage = WM_APP + 17;

class ThrowingEdit : public CSuperEditWnd {
protected:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == kThrowingMessage)
            throw std::runtime_error("handler failed");
        return CSuperEditWnd::WindowProc(hwnd, message, wParam, lParam);
    }
};

TEST(SuperClassBaseTest, AnExceptionStopsAtTheWindowProcedure)
{
    CTestParent parent;
    ThrowingEdit edit;
    ASSERT_TRUE(edit.Create(parent.Hwnd(), 1, WS_VISIBLE, 0, kControlRect));
    EXPECT_EQ(0, SendMessageW(edit.Hwnd(), kThrowingMessage, 0, 0));
    SetWindowTextW(edit.Hwnd(), L"after");
    EXPECT_EQ(L"after", TextOf(edit.Hwnd()));
    EXPECT_EQ(static_cast<CSuperClassBase*>(&edit), CSuperClassBase::FromHandle(edit.Hwnd()));
    DestroyWindow(edit.Hwnd());
}

} // namespace
