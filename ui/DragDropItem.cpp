#include "DragDropItem.h"

#include "ControlNotifications.h"
#include "MediaLibrary.h"

#include <cstdlib>

namespace {

// How far the pointer may wander from the press point before it is a drag.
// The setting is read once; a change needs a restart of the program.
const SIZE& DragDistance()
{
    static const SIZE distance = {GetSystemMetrics(SM_CXDRAG), GetSystemMetrics(SM_CYDRAG)};
    return distance;
}

POINT ToScreen(HWND hwnd, POINT client)
{
    ClientToScreen(hwnd, &client);
    return client;
}

} // namespace

CDragDropItem::~CDragDropItem()
{
    EndDrag();
}

void CDragDropItem::SetDragIcon(int iconId, int hotspotX, int hotspotY)
{
    iconId_ = iconId;
    hotspot_ = {hotspotX, hotspotY};
}

void CDragDropItem::DragOnButtonDown(HWND hwnd, POINT client)
{
    EndDrag();
    press_ = client;
    control_ = hwnd;
    state_ = kDragPressed;
    SetCapture(hwnd);
}

bool CDragDropItem::DragOnMouseMove(HWND hwnd, POINT client)
{
    if (state_ == kDragDragging) {
        POINT screen = ToScreen(hwnd, client);
        if (NotifyParent(hwnd, kNotifyDragMove, reinterpret_cast<LPARAM>(&screen)) && imageShown_)
            ImageList_DragMove(screen.x, screen.y);
        return true;
    }
    if (state_ != kDragPressed)
        return false;
    const SIZE& distance = DragDistance();
    if (std::abs(client.x - press_.x) <= distance.cx && std::abs(client.y - press_.y) <= distance.cy)
        return false;
    const bool wanted = NotifyParent(hwnd, kNotifyDragStart) != 0;
    // The parent's answer may have cost us the capture, and with it the press.
    if (state_ != kDragPressed)
        return false;
    if (!wanted) {
        EndDrag();
        return false;
    }
    state_ = kDragDragging;
    ShowDragImage(ToScreen(hwnd, client));
    return true;
}

bool CDragDropItem::DragOnButtonUp(HWND hwnd, POINT client)
{
    const bool dragging = state_ == kDragDragging;
    EndDrag();
    if (!dragging)
        return false;
    POINT screen = ToScreen(hwnd, client);
    NotifyParent(hwnd, kNotifyDrop, reinterpret_cast<LPARAM>(&screen));
    return true;
}

bool CDragDropItem::DragOnKeyDown(UINT key)
{
    if (key != VK_ESCAPE || state_ == kDragIdle)
        return false;
    const bool dragging = state_ == kDragDragging;
    HWND control = control_;
    EndDrag();
    if (!dragging)
        return false;
    NotifyParent(control, kNotifyDragCancel);
    return true;
}

void CDragDropItem::DragOnCaptureChanged(HWND hwnd, HWND newCapture)
{
    if (state_ != kDragIdle && newCapture != hwnd)
        EndDrag();
}

void CDragDropItem::EndDrag()
{
    // Idle first: releasing the capture below comes back as WM_CAPTURECHANGED.
    state_ = kDragIdle;
    HWND control = control_;
    control_ = nullptr;
    if (imageShown_) {
        ImageList_DragLeave(GetDesktopWindow());
        ImageList_EndDrag();
        imageShown_ = false;
    }
    dragImages_.reset();
    if (control && GetCapture() == control)
        ReleaseCapture();
}

void CDragDropItem::ShowDragImage(POINT screen)
{
    if (!iconId_)
        return;
    const int size = GetSystemMetrics(SM_CXICON);
    ScopedIcon icon(LoadMediaIcon(iconId_, size));
    if (!icon)
        return;
    dragImages_.reset(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 1, 0));
    if (!dragImages_ || ImageList_AddIcon(dragImages_.get(), icon.get()) < 0 ||
        !ImageList_BeginDrag(dragImages_.get(), 0, hotspot_.x, hotspot_.y)) {
        dragImages_.reset();
        return;
    }
    // On the desktop window, so the image can follow the pointer anywhere.
    imageShown_ = true;
    ImageList_DragEnter(GetDesktopWindow(), screen.x, screen.y);
}
