#pragma once

#include <string>

// Creates every missing folder of a path, outermost first. The last element
// is taken to be a file name unless the path ends in a backslash. True when
// the folder exists afterwards.
bool CreateFolderPath(const std::wstring& path);
