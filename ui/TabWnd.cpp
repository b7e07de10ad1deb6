#include "TabWnd.h"

#include "MediaLibrary.h"

#include <windowsx.h>

#include <cstdlib>
#include <vector>

const wchar_t kTabClassName[] = L"__oVLMoTABEXoWNDo__";

namespace {

constexpr int kImageSize = 16;
// The media-library icons of the tab pictures, in TabImage order.
constexpr int kTabIcons[] = {102, 101, 100, 120, 122, 121, 144};

// The tab the wheel moves the focus to, or -1 when the control should have
// the wheel itself. One notch is one tab: away from the user goes to the
// left, towards the user to the right, and both go round the ends.
int WheelTarget(int count, int selected, int delta)
{
    const int notches = std::abs(delta) / WHEEL_DELTA;
    if (notches == 0 || count < 2 || selected < 0 || selected >= count)
        return -1;
    const int step = delta > 0 ? -notches : notches;
    return ((selected + step) % count + count) % count;
}

// A see-through picture in place of a missing icon, so that the pictures
// after it keep their indexes.
bool AddBlankImage(HIMAGELIST images)
{
    const std::vector<BYTE> transparent(kImageSize * kImageSize / 8, 0xFF);
    const std::vector<DWORD> black(kImageSize * kImageSize, 0);
    ScopedGdiObject mask(CreateBitmap(kImageSize, kImageSize, 1, 1, transparent.data()));
    ScopedGdiObject color(CreateBitmap(kImageSize, kImageSize, 1, 32, black.data()));
    return mask && color &&
           ImageList_Add(images, static_cast<HBITMAP>(color.get()), static_cast<HBITMAP>(mask.get())) >= 0;
}

POINT PointOf(LPARAM lParam)
{
    return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

} // namespace

CTabWnd::~CTabWnd()
{
    // The window outlives us: it must not keep drawing from our image list.
    if (Hwnd() && IsWindow(Hwnd()))
        TabCtrl_SetImageList(Hwnd(), nullptr);
}

bool CTabWnd::Create(HWND parent, int id, DWORD style, DWORD exStyle, const RECT& rect, void* createValue)
{
    INITCOMMONCONTROLSEX init = {};
    init.dwSize = sizeof(init);
    init.dwICC = ICC_TAB_CLASSES;
    InitCommonControlsEx(&init);
    return CreateControl(kTabClassName, WC_TABCONTROLW, 0, parent, id, style, exStyle, rect, createValue);
}

void CTabWnd::LoadImages()
{
    images_.reset(ImageList_Create(kImageSize, kImageSize, ILC_COLOR32 | ILC_MASK, ARRAYSIZE(kTabIcons), 1));
    if (!images_)
        return;
    for (int id : kTabIcons) {
        ScopedIcon icon(LoadMediaIcon(id, kImageSize));
        if (!icon || ImageList_AddIcon(images_.get(), icon.get()) < 0)
            AddBlankImage(images_.get());
    }
}

LRESULT CTabWnd::OnCreate(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CSuperClassBase::WindowProc(hwnd, WM_CREATE, wParam, lParam);
    if (result != -1) {
        LoadImages();
        TabCtrl_SetImageList(hwnd, images_.get());
    }
    return result;
}

LRESULT CTabWnd::Notify(HWND hwnd, WORD code, UINT message, WPARAM wParam, LPARAM lParam)
{
    NotifyParent(hwnd, code);
    if (!StillBound(hwnd, this))
        return 0;
    return CSuperClassBase::WindowProc(hwnd, message, wParam, lParam);
}

LRESULT CTabWnd::OnLButtonDown(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (NotifyParent(hwnd, kNotifyLButtonDown) || !StillBound(hwnd, this))
        return 0;
    const LRESULT result = CSuperClassBase::WindowProc(hwnd, message, wParam, lParam);
    if (message == WM_LBUTTONDOWN)
        DragOnButtonDown(hwnd, PointOf(lParam));
    return result;
}

LRESULT CTabWnd::OnLButtonUp(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    if (DragOnButtonUp(hwnd, PointOf(lParam))) {
        // The drop may have taken the tab out and closed the whole strip.
        if (!StillBound(hwnd, this))
            return 0;
        return CSuperClassBase::WindowProc(hwnd, WM_LBUTTONUP, wParam, lParam);
    }
    return Notify(hwnd, kNotifyLButtonUp, WM_LBUTTONUP, wParam, lParam);
}

LRESULT CTabWnd::OnMouseMove(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    hover_.OnMouseMove(hwnd);
    if (DragOnMouseMove(hwnd, PointOf(lParam)))
        return 0;
    return Notify(hwnd, kNotifyMouseMove, WM_MOUSEMOVE, wParam, lParam);
}

LRESULT CTabWnd::OnMouseWheel(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    const int target = WheelTarget(TabCtrl_GetItemCount(hwnd), TabCtrl_GetCurSel(hwnd), GET_WHEEL_DELTA_WPARAM(wParam));
    if (target < 0)
        return CSuperClassBase::WindowProc(hwnd, WM_MOUSEWHEEL, wParam, lParam);
    TabCtrl_SetCurFocus(hwnd, target);
    return 0;
}

LRESULT CTabWnd::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(hwnd, wParam, lParam);
    case WM_MOUSEMOVE:
        return OnMouseMove(hwnd, wParam, lParam);
    case WM_MOUSEHOVER:
        return Notify(hwnd, kNotifyMouseHover, message, wParam, lParam);
    case WM_MOUSELEAVE:
        hover_.OnMouseLeave();
        return Notify(hwnd, kNotifyMouseLeave, message, wParam, lParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        return OnLButtonDown(hwnd, message, wParam, lParam);
    case WM_LBUTTONUP:
        return OnLButtonUp(hwnd, wParam, lParam);
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        return Notify(hwnd, kNotifyRButtonDown, message, wParam, lParam);
    case WM_RBUTTONUP:
        return Notify(hwnd, kNotifyRButtonUp, message, wParam, lParam);
    case WM_MBUTTONUP:
        return Notify(hwnd, kNotifyMButtonUp, message, wParam, lParam);
    case WM_KEYDOWN:
        if (DragOnKeyDown(static_cast<UINT>(wParam)))
            return 0;
        break;
    case WM_CAPTURECHANGED:
        DragOnCaptureChanged(hwnd, reinterpret_cast<HWND>(lParam));
        break;
    case WM_MOUSEWHEEL:
        return OnMouseWheel(hwnd, wParam, lParam);
    case WM_NCDESTROY: {
        EndDrag();
        const LRESULT result = CSuperClassBase::WindowProc(hwnd, message, wParam, lParam);
        images_.reset();
        return result;
    }
    default:
        break;
    }
    return CSuperClassBase::WindowProc(hwnd, message, wParam, lParam);
}
