#include "Clipboard.h"

#include <windows.h>

#include <cwchar>

namespace {

class ClipboardSession {
public:
    ClipboardSession() : open_(OpenClipboard(nullptr) != FALSE) {}
    ~ClipboardSession()
    {
        if (open_)
            CloseClipboard();
    }
    ClipboardSession(const ClipboardSession&) = delete;
    ClipboardSession& operator=(const ClipboardSession&) = delete;
    bool open() const { return open_; }

private:
    bool open_;
};

} // namespace

bool CopyTextToClipboard(const std::wstring& text)
{
    ClipboardSession clipboard;
    if (!clipboard.open())
        return false;
    EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    if (!memory)
        return false;
    if (auto* target = static_cast<wchar_t*>(GlobalLock(memory))) {
        wmemcpy(target, text.c_str(), text.size() + 1);
        GlobalUnlock(memory);
    }
    // On success the clipboard owns the memory.
    if (!SetClipboardData(CF_UNICODETEXT, memory)) {
        GlobalFree(memory);
        return false;
    }
    return true;
}
