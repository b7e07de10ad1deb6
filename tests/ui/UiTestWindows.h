// Helpers for the window framework tests: a visible parent window that
// records what its controls tell it and answers as a test says, a message
// pump that waits for a condition, and the media library loaded for a test.
#pragma once

#include "TestSupport.h"

#include <windows.h>

#include "ScopedHandle.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

struct RecordedCommand {
    WORD id;
    WORD code;
    LPARAM lParam;
    // The point lParam pointed to, for the drag move and drop codes.
    POINT point;
};

class CTestParent {
public:
    CTestParent();
    ~CTestParent();
    CTestParent(const CTestParent&) = delete;
    CTestParent& operator=(const CTestParent&) = delete;

    HWND Hwnd() const { return hwnd_; }

    // WM_COMMAND codes recorded so far, in order; those in [low, high] only.
    std::vector<WORD> Codes() const;
    std::vector<WORD> CodesBetween(WORD low, WORD high) const;
    const RecordedCommand* Last(WORD code) const;

    // The answer to WM_COMMAND with a code (0 when not given).
    std::map<WORD, LRESULT> answers;
    // Called for every WM_COMMAND after it is recorded.
    std::function<void(const RecordedCommand&)> onCommand;
    std::vector<RecordedCommand> commands;

    int wheelMessages = 0;

    // File drops from a list box: the answer to kMsgAcceptFileDrop, the
    // points asked about, and what WM_DROPFILES brought.
    LRESULT acceptFiles = 0;
    std::vector<POINT> fileAsks;
    std::vector<std::wstring> droppedFiles;
    POINT dropPoint = {-1, -1};
    int dropMessages = 0;

    // For owner-drawn list boxes: row height, and the brush returned for
    // WM_CTLCOLORLISTBOX (null: the default handling).
    UINT itemHeight = 16;
    HBRUSH listBrush = nullptr;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnCommand(WPARAM wParam, LPARAM lParam);
    void OnDropFiles(HDROP drop);

    HWND hwnd_ = nullptr;
};


// Loads VLMMedia.dll from the test's folder as the media library for the
// life of the object (or none, to test without it).
class CMediaLibraryScope {
public:
    explicit CMediaLibraryScope(bool load);
    ~CMediaLibraryScope();
    CMediaLibraryScope(const CMediaLibraryScope&) = delete;
    CMediaLibraryScope& operator=(const CMediaLibraryScope&) = delete;

    bool Loaded() const { return module_.valid(); }

private:
    ScopedModule module_;
};
