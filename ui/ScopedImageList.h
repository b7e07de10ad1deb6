// An image list owned by one object and destroyed with it, in the manner of
// the handle owners of ScopedHandle.h.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "ScopedHandle.h"

struct ImageListTraits {
    using Handle = HIMAGELIST;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ImageList_Destroy(h); }
};

using ScopedImageList = ScopedResource<ImageListTraits>;
