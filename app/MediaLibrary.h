// The media library (VLMMedia.dll, loaded as a data file at start-up): icons,
// bitmaps and pages by id or name.
#pragma once

#include <windows.h>

void SetMediaModule(HMODULE module);
HMODULE MediaModule();

// The icon `id` of the media library at `size` x `size` pixels; the caller
// destroys it. Null when the library or the icon is missing.
HICON LoadMediaIcon(int id, int size);
