#include "MediaLibrary.h"

namespace {

HMODULE g_mediaModule = nullptr;

} // namespace

void SetMediaModule(HMODULE module)
{
    g_mediaModule = module;
}

HMODULE MediaModule()
{
    return g_mediaModule;
}

HICON LoadMediaIcon(int id, int size)
{
    if (!g_mediaModule)
        return nullptr;
    return static_cast<HICON>(LoadImageW(g_mediaModule, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
}
