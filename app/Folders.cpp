#include "Folders.h"

#include <windows.h>

bool CreateFolderPath(const std::wstring& path)
{
    const size_t lastSlash = path.find_last_of(L'\\');
    if (lastSlash == std::wstring::npos)
        return false;
    const std::wstring folder = path.substr(0, lastSlash + 1);
    // Creating a drive or a folder that exists fails; only the end result counts.
    for (size_t slash = folder.find(L'\\'); slash != std::wstring::npos; slash = folder.find(L'\\', slash + 1)) {
        if (slash > 0)
            CreateDirectoryW(folder.substr(0, slash).c_str(), nullptr);
    }
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
