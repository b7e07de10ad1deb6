#include "SuperListBoxWnd.h"

#include "BackgroundBitmap.h"

#include <shlobj.h>
#include <windowsx.h>

#include <cstring>

const wchar_t kSuperListBoxClassName[] = L"__RZ_SUPER_LISTBOX_WND__";

namespace {

FORMATETC FileDropFormat()
{
    FORMATETC format = {};
    format.cfFormat = CF_HDROP;
    format.dwAspect = DVASPECT_CONTENT;
    format.lindex = -1;
    format.tymed = TYMED_HGLOBAL;
    return format;
}

// A copy of the dropped file list whose point is `client`: the data object
// keeps its own, and the receiver of WM_DROPFILES frees what it gets.
HGLOBAL CopyDropFiles(HGLOBAL source, POINT client)
{
    const SIZE_T size = GlobalSize(source);
    if (size < sizeof(DROPFILES))
        return nullptr;
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!copy)
        return nullptr;
    const void* from = GlobalLock(source);
    void* to = GlobalLock(copy);
    if (from && to) {
        std::memcpy(to, from, size);
        auto* files = static_cast<DROPFILES*>(to);
        files->pt = client;
        files->fNC = FALSE;
    }
    if (from)
        GlobalUnlock(source);
    if (to)
        GlobalUnlock(copy);
    if (!from || !to) {
        GlobalFree(copy);
        return nullptr;
    }
    return copy;
}

POINT PointOf(LPARAM lParam)
{
    return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

} // namespace

CSuperListBoxWnd::~CSuperListBoxWnd()
{
    // The window outlives us: the system must not call into a dead object.
    if (Hwnd() && IsWindow(Hwnd()))
        RevokeDropTarget(Hwnd());
}

bool CSuperListBoxWnd::Create(HWND parent, int id, DWORD style, DWORD exStyle, const RECT& rect,
                              void* createValue)
{
    return CreateControl(kSuperListBoxClassName, L"LISTBOX", CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS, parent, id, style,
                         exStyle, rect, createValue);
}

void CSuperListBoxWnd::RegisterDropTarget(HWND hwnd)
{
    IDropTarget* target = this;
    // The lock keeps OLE's stub alive for as long as the window takes drops.
    lockedForDrops_ = SUCCEEDED(CoLockObjectExternal(target, TRUE, FALSE));
    dropRegistered_ = SUCCEEDED(RegisterDragDrop(hwnd, target));
}

void CSuperListBoxWnd::RevokeDropTarget(HWND hwnd)
{
    if (dropRegistered_)
        RevokeDragDrop(hwnd);
    if (lockedForDrops_)
        CoLockObjectExternal(static_cast<IDropTarget*>(this), FALSE, TRUE);
    dropRegistered_ = false;
    lockedForDrops_ = false;
}

LRESULT CSuperListBoxWnd::OnCreate(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CSuperClassBase::WindowProc(hwnd, WM_CREATE, wParam, lParam);
    if (result == -1)
        return result;
    // A new list is empty and has no scroll bar to speak of, although its
    // style may say WS_VSCROLL until the list box first sizes the bar. Only
    // LBS_DISABLENOSCROLL keeps the bar from the start.
    lastStyle_ = GetWindowLongPtrW(hwnd, GWL_STYLE);
    if (!(lastStyle_ & LBS_DISABLENOSCROLL))
        lastStyle_ &= ~static_cast<LONG_PTR>(WS_VSCROLL);
    lastTopIndex_ = ListBox_GetTopIndex(hwnd);
    RegisterDropTarget(hwnd);
    return result;
}

void CSuperListBoxWnd::OnDestroy(HWND hwnd)
{
    EndDrag();
    RevokeDropTarget(hwnd);
}

void CSuperListBoxWnd::FillBelowItems(HWND hwnd, HDC dc)
{
    RECT below;
    GetClientRect(hwnd, &below);
    const int count = ListBox_GetCount(hwnd);
    if (count > 0) {
        RECT last = {};
        if (ListBox_GetItemRect(hwnd, count - 1, &last) == LB_ERR)
            return;
        below.top = last.bottom;
    }
    if (below.top >= below.bottom)
        return;
    HWND parent = GetParent(hwnd);
    const auto brush =
        reinterpret_cast<HBRUSH>(SendMessageW(parent, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dc),
                                              reinterpret_cast<LPARAM>(hwnd)));
    if (!brush)
        return;
    HWND anchor = MainBackground().owner ? MainBackground().owner : parent;
    POINT offset = {0, 0};
    MapWindowPoints(hwnd, anchor, &offset, 1);
    POINT previous = {};
    SetBrushOrgEx(dc, -offset.x, -offset.y, &previous);
    FillRect(dc, &below, brush);
    SetBrushOrgEx(dc, previous.x, previous.y, nullptr);
}

void CSuperListBoxWnd::CheckTopIndex(HWND hwnd)
{
    const int top = ListBox_GetTopIndex(hwnd);
    if (top == lastTopIndex_)
        return;
    lastTopIndex_ = top;
    PostNotifyParent(hwnd, kNotifyTopIndexChanged);
}

void CSuperListBoxWnd::CheckScrollBar(HWND hwnd)
{
    const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
    const bool changed = ((style ^ lastStyle_) & WS_VSCROLL) != 0;
    lastStyle_ = style;
    if (changed)
        NotifyParent(hwnd, (style & WS_VSCROLL) ? kNotifyScrollBarShown : kNotifyScrollBarHidden);
}

LRESULT CSuperListBoxWnd::OnPaint(HWND hwnd, HDC given)
{
    if (given) {
        CSuperClassBase::WindowProc(hwnd, WM_PAINT, reinterpret_cast<WPARAM>(given), 0);
        FillBelowItems(hwnd, given);
    } else {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        CSuperClassBase::WindowProc(hwnd, WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
        FillBelowItems(hwnd, dc);
        EndPaint(hwnd, &paint);
    }
    CheckTopIndex(hwnd);
    CheckScrollBar(hwnd);
    return 0;
}

LRESULT CSuperListBoxWnd::Notify(HWND hwnd, WORD code, UINT message, WPARAM wParam, LPARAM lParam)
{
    NotifyParent(hwnd, code);
    if (!StillBound(hwnd, this))
        return 0;
    return CSuperClassBase::WindowProc(hwnd, message, wParam, lParam);
}

LRESULT CSuperListBoxWnd::OnMouseMove(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    hover_.OnMouseMove(hwnd);
    if (DragOnMouseMove(hwnd, PointOf(lParam)))
        return 0;
    return Notify(hwnd, kNotifyMouseMove, WM_MOUSEMOVE, wParam, lParam);
}

LRESULT CSuperListBoxWnd::OnLButtonDown(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (NotifyParent(hwnd, kNotifyLButtonDown) || !StillBound(hwnd, this))
        return 0;
    const LRESULT result = CSuperClassBase::WindowProc(hwnd, message, wParam, lParam);
    if (message == WM_LBUTTONDOWN)
        DragOnButtonDown(hwnd, PointOf(lParam));
    return result;
}

LRESULT CSuperListBoxWnd::OnLButtonUp(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    if (DragOnButtonUp(hwnd, PointOf(lParam))) {
        if (!StillBound(hwnd, this))
            return 0;
        // The list box still thinks it is tracking a click; let it finish.
        return CSuperClassBase::WindowProc(hwnd, WM_LBUTTONUP, wParam, lParam);
    }
    return Notify(hwnd, kNotifyLButtonUp, WM_LBUTTONUP, wParam, lParam);
}

LRESULT CSuperListBoxWnd::OnListChanged(HWND hwnd, WORD code, UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CSuperClassBase::WindowProc(hwnd, message, wParam, lParam);
    if (result == LB_ERR || result == LB_ERRSPACE)
        return result;
    NotifyParent(hwnd, code);
    if (StillBound(hwnd, this))
        CheckScrollBar(hwnd);
    return result;
}

LRESULT CSuperListBoxWnd::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(hwnd, wParam, lParam);
    case WM_DESTROY:
        OnDestroy(hwnd);
        break;
    case WM_PAINT:
        return OnPaint(hwnd, reinterpret_cast<HDC>(wParam));
    case WM_SIZE: {
        const LRESULT result = CSuperClassBase::WindowProc(hwnd, message, wParam, lParam);
        CheckScrollBar(hwnd);
        return result;
    }
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
        return Notify(hwnd, kNotifyRButtonDown, message, wParam, lParam);
    case WM_RBUTTONUP:
        return Notify(hwnd, kNotifyRButtonUp, message, wParam, lParam);
    case WM_KEYDOWN:
        if (DragOnKeyDown(static_cast<UINT>(wParam)))
            return 0;
        break;
    case WM_CAPTURECHANGED:
        DragOnCaptureChanged(hwnd, reinterpret_cast<HWND>(lParam));
        break;
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
        return OnListChanged(hwnd, kNotifyStringInserted, message, wParam, lParam);
    case LB_DELETESTRING:
        return OnListChanged(hwnd, kNotifyStringDeleted, message, wParam, lParam);
    case LB_SETITEMHEIGHT:
        return OnListChanged(hwnd, kNotifyItemHeightSet, message, wParam, lParam);
    default:
        break;
    }
    return CSuperClassBase::WindowProc(hwnd, message, wParam, lParam);
}

DWORD CSuperListBoxWnd::DropEffect(DWORD allowed) const
{
    return accept_ && (allowed & DROPEFFECT_COPY) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

bool CSuperListBoxWnd::AskParentToAccept(POINTL point)
{
    HWND hwnd = Hwnd();
    POINT client = {point.x, point.y};
    ScreenToClient(hwnd, &client);
    return SendMessageW(GetParent(hwnd), kMsgAcceptFileDrop, reinterpret_cast<WPARAM>(hwnd),
                        MAKELPARAM(client.x, client.y)) != 0;
}

HRESULT STDMETHODCALLTYPE CSuperListBoxWnd::DragEnter(IDataObject* data, DWORD, POINTL point, DWORD* effect)
{
    if (!effect)
        return E_INVALIDARG;
    if (!Hwnd())
        return E_UNEXPECTED;
    FORMATETC format = FileDropFormat();
    dragHasFiles_ = data && data->QueryGetData(&format) == S_OK;
    accept_ = dragHasFiles_ && AskParentToAccept(point);
    *effect = DropEffect(*effect);
    if (IDropTargetHelper* helper = DropHelper()) {
        POINT screen = {point.x, point.y};
        helper->DragEnter(Hwnd(), data, &screen, *effect);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CSuperListBoxWnd::DragOver(DWORD, POINTL point, DWORD* effect)
{
    if (!effect)
        return E_INVALIDARG;
    if (!Hwnd())
        return E_UNEXPECTED;
    // The answer may depend on the row under the pointer.
    if (dragHasFiles_)
        accept_ = AskParentToAccept(point);
    *effect = DropEffect(*effect);
    if (IDropTargetHelper* helper = DropHelper()) {
        POINT screen = {point.x, point.y};
        helper->DragOver(&screen, *effect);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CSuperListBoxWnd::DragLeave()
{
    accept_ = false;
    dragHasFiles_ = false;
    if (IDropTargetHelper* helper = DropHelper())
        helper->DragLeave();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CSuperListBoxWnd::Drop(IDataObject* data, DWORD, POINTL point, DWORD* effect)
{
    if (!effect)
        return E_INVALIDARG;
    HWND hwnd = Hwnd();
    if (!hwnd)
        return E_UNEXPECTED;
    *effect = DropEffect(*effect);
    POINT client = {point.x, point.y};
    if (IDropTargetHelper* helper = DropHelper())
        helper->Drop(data, &client, *effect);
    const bool deliver = data && *effect != DROPEFFECT_NONE;
    accept_ = false;
    dragHasFiles_ = false;
    if (!deliver)
        return S_OK;

    FORMATETC format = FileDropFormat();
    STGMEDIUM medium = {};
    if (FAILED(data->GetData(&format, &medium))) {
        *effect = DROPEFFECT_NONE;
        return S_OK;
    }
    ScreenToClient(hwnd, &client);
    HGLOBAL files = medium.tymed == TYMED_HGLOBAL ? CopyDropFiles(medium.hGlobal, client) : nullptr;
    ReleaseStgMedium(&medium);
    if (!files) {
        *effect = DROPEFFECT_NONE;
        return S_OK;
    }
    SendMessageW(GetParent(hwnd), WM_DROPFILES, reinterpret_cast<WPARAM>(files), 0);
    return S_OK;
}
