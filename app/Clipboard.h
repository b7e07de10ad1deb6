#pragma once

#include <string>

// Puts the text on the clipboard as Unicode text. False when the clipboard
// is busy or memory is short.
bool CopyTextToClipboard(const std::wstring& text);
