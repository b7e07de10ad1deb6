#include "ShellDialogs.h"

#include <commdlg.h>
#include <shlobj.h>

#ifndef BIF_UAHINT
#define BIF_UAHINT 0x100
#endif

namespace {

int CALLBACK SelectStartFolder(HWND dialog, UINT message, LPARAM, LPARAM startFolder)
{
    if (message == BFFM_INITIALIZED)
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, startFolder);
    return 0;
}

} // namespace

bool ChooseFile(HWND owner, const wchar_t* title, const wchar_t* filter, wchar_t (&path)[MAX_PATH])
{
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrTitle = title;
    ofn.lpstrFilter = filter;
    ofn.lpstrFile = path;
    ofn.nMaxFile = ARRAYSIZE(path);
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NONETWORKBUTTON | OFN_DONTADDTORECENT;
    return GetOpenFileNameW(&ofn) != FALSE;
}

bool ChooseFolder(HWND owner, const wchar_t* title, wchar_t (&path)[MAX_PATH], UINT extraFlags)
{
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_NEWDIALOGSTYLE | BIF_UAHINT | extraFlags;
    info.lpfn = SelectStartFolder;
    info.lParam = reinterpret_cast<LPARAM>(path);
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    if (!item)
        return false;
    wchar_t chosen[MAX_PATH] = {};
    const bool ok = SHGetPathFromIDListW(item, chosen) != FALSE;
    CoTaskMemFree(item);
    if (!ok)
        return false;
    lstrcpynW(path, chosen, ARRAYSIZE(path));
    return true;
}
