#include "ControlNotifications.h"
#include "DragDropItem.h"
#include "DragDropTarget.h"
#include "SuperListBoxWnd.h"
#include "TabWnd.h"
#include "UiTestWindows.h"

#include <gtest/gtest.h>

#include <shlobj.h>
#include <windowsx.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

namespace {

enum ControlKind { kTab, kList };

enum Step {
    kPress,
    kNudge,       // to the edge of the drag distance, not beyond
    kMoveOut,     // one pixel beyond it
    kMoveFurther,
    kEscape,
    kRelease,
    kLoseCapture, // another window takes the mouse
};

struct DragCase {
    const char* name;
    LRESULT startAnswer;
    std::vector<Step> steps;
    std::vector<WORD> codes; // the drag notifications, in order
};

const DragCase kDragCases[] = {
    {"EscapeCancelsAndNothingIsDropped", 1, {kPress, kMoveOut, kMoveFurther, kEscape, kRelease},
     {kNotifyDragStart, kNotifyDragMove, kNotifyDragCancel}},
    {"ReleaseDrops", 1, {kPress, kMoveOut, kMoveFurther, kRelease},
     {kNotifyDragStart, kNotifyDragMove, kNotifyDrop}},
    {"ReleaseRightAfterTheStartDrops", 1, {kPress, kMoveOut, kRelease}, {kNotifyDragStart, kNotifyDrop}},
    {"MovingWithinTheDragDistanceIsNoDrag", 1, {kPress, kNudge, kRelease}, {}},
    {"ARefusedStartEndsThePress", 0, {kPress, kMoveOut, kMoveFurther, kRelease}, {kNotifyDragStart}},
    {"LosingTheCaptureEndsTheDragSilently", 1, {kPress, kMoveOut, kLoseCapture, kMoveFurther, kEscape, kRelease},
     {kNotifyDragStart}},
    {"EscapeBeforeTheDragEndsThePressSilently", 1, {kPress, kEscape, kMoveOut, kRelease}, {}},
    {"ASecondDragAfterADrop", 1, {kPress, kMoveOut, kRelease, kPress, kMoveOut, kEscape},
     {kNotifyDragStart, kNotifyDrop, kNotifyDragStart, kNotifyDragCancel}},
};

class DragTest : public ::testing::TestWithParam<std::tuple<DragCase, ControlKind>> {
protected:
    void SetUp() override
    {
        const ControlKind kind = std::get<1>(GetParam());
        parent_.answers[kNotifyDragStart] = std::get<0>(GetParam()).startAnswer;
        parent_.answers[kNotifyDragMove] = 1;
        RECT target = {};
        if (kind == kTab) {
            ASSERT_TRUE(tab_.Create(parent_.Hwnd(), 100, WS_VISIBLE, 0, {10, 10, 390, 50}));
            control_ = tab_.Hwnd();
            item_ = &tab_;
            for (int i = 0; i < 3; ++i) {
                wchar_t text[] = L"tab";
                TCITEMW tabItem = {};
                tabItem.mask = TCIF_TEXT;
                tabItem.pszText = text;
                TabCtrl_InsertItem(control_, i, &tabItem);
            }
            TabCtrl_GetItemRect(control_, 0, &target);
        } else {
            ASSERT_TRUE(list_.Create(parent_.Hwnd(), 101, WS_VISIBLE, 0, {10, 10, 200, 200}));
            control_ = list_.Hwnd();
            item_ = &list_;
            for (int i = 0; i < 3; ++i)
                ListBox_AddString(control_, L"row");
            ListBox_GetItemRect(control_, 0, &target);
        }
        item_->SetDragIcon(102, 8, 8);
        press_ = {(target.left + target.right) / 2, (target.top + target.bottom) / 2};
        thief_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, GetModuleHandleW(nullptr),
                                 nullptr);
    }

    void TearDown() override
    {
        ReleaseCapture();
        DestroyWindow(thief_);
        if (IsWindow(control_))
            DestroyWindow(control_);
    }

    void Move(POINT to)
    {
        at_ = to;
        SendMessageW(control_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(at_.x, at_.y));
    }

    void Run(Step step)
    {
        const SIZE distance = {GetSystemMetrics(SM_CXDRAG), GetSystemMetrics(SM_CYDRAG)};
        switch (step) {
        case kPress:
            at_ = press_;
            SendMessageW(control_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at_.x, at_.y));
            EXPECT_EQ(control_, GetCapture());
            EXPECT_EQ(CDragDropItem::kDragPressed, item_->DragState());
            break;
        case kNudge:
            Move({press_.x + distance.cx, press_.y + distance.cy});
            break;
        case kMoveOut:
            Move({press_.x + distance.cx + 1, press_.y});
            break;
        case kMoveFurther:
            Move({press_.x + distance.cx + 30, press_.y + 40});
            break;
        case kEscape:
            SendMessageW(control_, WM_KEYDOWN, VK_ESCAPE, 1);
            EXPECT_NE(control_, GetCapture()) << "Escape ends the press";
            break;
        case kRelease:
            SendMessageW(control_, WM_LBUTTONUP, 0, MAKELPARAM(at_.x, at_.y));
            break;
        case kLoseCapture:
            SetCapture(thief_);
            break;
        }
    }

    CMediaLibraryScope media_{true};
    CTestParent parent_;
    CTabWnd tab_;
    CSuperListBoxWnd list_;
    HWND control_ = nullptr;
    CDragDropItem* item_ = nullptr;
    HWND thief_ = nullptr;
    POINT press_ = {};
    POINT at_ = {};
};

TEST_P(DragTest, TheParentHearsWhatTheMouseAndKeysDid)
{
    const DragCase& c = std::get<0>(GetParam());
    for (Step step : c.steps) {
        Run(step);
        if (step == kMoveOut && item_->DragState() == CDragDropItem::kDragDragging) {
            EXPECT_EQ(control_, GetCapture()) << "the drag holds the mouse";
            EXPECT_NE(nullptr, ImageList_GetDragImage(nullptr, nullptr)) << "the drag icon follows the mouse";
        }
    }

    EXPECT_EQ(c.codes, parent_.CodesBetween(kNotifyDragStart, kNotifyDrop));
    EXPECT_EQ(CDragDropItem::kDragIdle, item_->DragState());
    EXPECT_NE(control_, GetCapture());
    EXPECT_EQ(nullptr, ImageList_GetDragImage(nullptr, nullptr));
    for (const RecordedCommand& command : parent_.commands) {
        if (command.code >= kNotifyDragStart && command.code <= kNotifyDrop) {
            EXPECT_EQ(GetDlgCtrlID(control_), command.id);
        }
    }
    if (const RecordedCommand* drop = parent_.Last(kNotifyDrop)) {
        POINT screen = at_;
        ClientToScreen(control_, &screen);
        EXPECT_EQ(screen.x, drop->point.x);
        EXPECT_EQ(screen.y, drop->point.y);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, DragTest,
                         ::testing::Combine(::testing::ValuesIn(kDragCases), ::testing::Values(kTab, kList)),
                         [](const ::testing::TestParamInfo<std::tuple<DragCase, ControlKind>>& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) == kTab ? "_Tab" : "_ListBox");
                         });

class BareTarget : public CDragDropTarget {};

TEST(DragDropTargetTest, AnswersForItsOwnInterfacesOnlyAndLeavesTheWorkToControls)
{
    BareTarget target;
    IDropTarget* self = &target;
    void* found = nullptr;
    ASSERT_EQ(S_OK, target.QueryInterface(IID_IUnknown, &found));
    EXPECT_EQ(static_cast<void*>(self), found);
    EXPECT_EQ(1u, static_cast<IUnknown*>(found)->Release());
    ASSERT_EQ(S_OK, target.QueryInterface(IID_IDropTarget, &found));
    EXPECT_EQ(static_cast<void*>(self), found);
    EXPECT_EQ(1u, static_cast<IUnknown*>(found)->Release());
    for (const IID& other : {IID_IDataObject, IID_IDropSource, IID_IMarshal, IID_IDropTargetHelper}) {
        found = &target;
        EXPECT_EQ(E_NOINTERFACE, target.QueryInterface(other, &found));
        EXPECT_EQ(nullptr, found);
    }
    EXPECT_EQ(E_POINTER, target.QueryInterface(IID_IUnknown, nullptr));

    DWORD effect = DROPEFFECT_COPY;
    const POINTL point = {0, 0};
    EXPECT_EQ(E_UNEXPECTED, self->DragEnter(nullptr, 0, point, &effect));
    EXPECT_EQ(E_UNEXPECTED, self->DragOver(0, point, &effect));
    EXPECT_EQ(E_UNEXPECTED, self->DragLeave());
    EXPECT_EQ(E_UNEXPECTED, self->Drop(nullptr, 0, point, &effect));
    EXPECT_EQ(2u, self->AddRef());
    EXPECT_EQ(1u, self->Release());
}

// Files as the shell offers them in a drag: CF_HDROP in global memory.
class FakeFileData : public IDataObject {
public:
    FakeFileData(std::vector<std::wstring> files, bool offersFiles) : files_(std::move(files)), offers_(offersFiles) {}
    virtual ~FakeFileData() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
            *object = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (QueryGetData(format) != S_OK)
            return DV_E_FORMATETC;
        std::wstring names;
        for (const std::wstring& file : files_)
            names += file + L'\0';
        names += L'\0';
        const SIZE_T size = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
        auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        std::memcpy(drop + 1, names.data(), names.size() * sizeof(wchar_t));
        GlobalUnlock(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override
    {
        return offers_ && format && format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL) ? S_OK
                                                                                                   : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override
    {
        if (out)
            out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override
    {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    std::vector<std::wstring> files_;
    bool offers_;
    ULONG refs_ = 1;
};

struct FileDropCase {
    const char* name;
    bool offersFiles;
    LRESULT parentAnswer;
    size_t asks;
    DWORD effect;
    bool dropped;
};

const FileDropCase kFileDropCases[] = {
    {"AcceptedFilesAreDropped", true, 1, 2, DROPEFFECT_COPY, true},
    {"RefusedFilesAreNotDropped", true, 0, 2, DROPEFFECT_NONE, false},
    {"OtherDataIsNotOfferedToTheParent", false, 1, 0, DROPEFFECT_NONE, false},
};

class FileDropTest : public ::testing::TestWithParam<FileDropCase> {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
    void TearDown() override { OleUninitialize(); }

    static POINTL ScreenPoint(HWND hwnd, POINT client)
    {
        ClientToScreen(hwnd, &client);
        return {client.x, client.y};
    }
};

TEST_P(FileDropTest, TheParentDecidesAndGetsTheFilesAtTheDropPoint)
{
    const FileDropCase& c = GetParam();
    CTestParent parent;
    parent.acceptFiles = c.parentAnswer;
    CSuperListBoxWnd list;
    ASSERT_TRUE(list.Create(parent.Hwnd(), 9, WS_VISIBLE, 0, {10, 10, 200, 200}));
    const std::vector<std::wstring> files = {L"C:\\incoming\\one.txt", L"C:\\incoming\\two.png"};
    FakeFileData data(files, c.offersFiles);
    IDropTarget* target = &list;
    const DWORD allowed = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;

    DWORD effect = allowed;
    ASSERT_EQ(S_OK, target->DragEnter(&data, MK_LBUTTON, ScreenPoint(list.Hwnd(), {30, 25}), &effect));
    EXPECT_EQ(c.effect, effect);
    effect = allowed;
    ASSERT_EQ(S_OK, target->DragOver(MK_LBUTTON, ScreenPoint(list.Hwnd(), {40, 35}), &effect));
    EXPECT_EQ(c.effect, effect);
    effect = allowed;
    ASSERT_EQ(S_OK, target->Drop(&data, 0, ScreenPoint(list.Hwnd(), {40, 35}), &effect));
    EXPECT_EQ(c.effect, effect);

    const std::vector<POINT> expectedAsks = {{30, 25}, {40, 35}};
    ASSERT_EQ(c.asks, parent.fileAsks.size());
    for (size_t i = 0; i < c.asks; ++i) {
        EXPECT_EQ(expectedAsks[i].x, parent.fileAsks[i].x);
        EXPECT_EQ(expectedAsks[i].y, parent.fileAsks[i].y);
    }
    EXPECT_EQ(c.dropped ? 1 : 0, parent.dropMessages);
    if (c.dropped) {
        EXPECT_EQ(files, parent.droppedFiles);
        EXPECT_EQ(40, parent.dropPoint.x);
        EXPECT_EQ(35, parent.dropPoint.y);
    }
    DestroyWindow(list.Hwnd());
}

INSTANTIATE_TEST_SUITE_P(Cases, FileDropTest, ::testing::ValuesIn(kFileDropCases),
                         [](const ::testing::TestParamInfo<FileDropCase>& info) { return info.param.name; });

TEST(FileDropRegistrationTest, TheListBoxTakesDropsWhileItLivesAndGivesBackEveryReference)
{
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    {
        CTestParent parent;
        CSuperListBoxWnd list;
        ASSERT_TRUE(list.Create(parent.Hwnd(), 9, WS_VISIBLE, 0, {10, 10, 200, 200}));
        BareTarget other;
        EXPECT_EQ(DRAGDROP_E_ALREADYREGISTERED, RegisterDragDrop(list.Hwnd(), &other));
        EXPECT_LT(2u, list.AddRef()) << "OLE holds the list box while it takes drops";
        list.Release();

        DestroyWindow(list.Hwnd());
        EXPECT_EQ(2u, list.AddRef()) << "only the owner's reference is left";
        EXPECT_EQ(1u, list.Release());
    }
    OleUninitialize();
}

} // namespace
