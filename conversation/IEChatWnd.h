// CIEChatWnd: the read-only view in the upper part of a conversation window.
// It loads the page of a message theme ("Base.htm") and shows each message
// by handing a filled template to the page's script function "AddMsg".
// Messages that arrive while the page is still loading wait in a queue and
// follow, in order, as soon as the page takes them.
//
// With IM expressions on, the view shows the expression theme instead, with
// the buddy's wallpaper and buddy icon.
//
// The view follows no link itself: its own page and the files of its theme
// load in it, everything else is cancelled and handed to the link policy.
// When its page has loaded, the view tells its parent with kDocumentReady
// (wParam = the view's control id), and the parent writes the header.
#pragma once

#include "IEBrowser.h"
#include "LinkTip.h"
#include "MessageTemplate.h"
#include "SubclsWnd.h"

#include <deque>
#include <string>

namespace AIMCC {
struct IAccUser;
}

class CIEChatWnd : public CSubclsWnd, public CIEBrowser {
public:
    static constexpr UINT kDocumentReady = 0x82C0;
    static constexpr UINT_PTR kPendingTimer = 2365;
    static constexpr UINT kPendingRetryMs = 100;
    // How often the first waiting message is offered before it is given up,
    // so that one the page keeps refusing cannot hold back the others.
    static constexpr int kMaxPendingAttempts = 50;

    // The theme and expression mode come from the settings of `screenName`
    // (the signed-on user), read now: a theme change affects new views.
    explicit CIEChatWnd(const std::wstring& screenName);
    ~CIEChatWnd() override;

    // Creates the view in `parent` on first use and loads the theme's page
    // (waiting for it), then shows the view. False when the window or the
    // browser cannot be made.
    bool ShowChatView(HWND parent, int controlId, bool showTimeStamps);

    // Hands one filled template to the page. True when the page took it;
    // otherwise, unless `noQueue`, it waits for the page.
    bool AddMessage(const std::wstring& html, bool isNext, bool noQueue);
    // The first block of a conversation, from the theme's "header.htm"; in
    // expression mode the buddy's wallpaper and icon instead (`remoteUser`
    // may then be null: nothing to show).
    void WriteHeader(const ChatParty& local, const ChatParty& remote, AIMCC::IAccUser* remoteUser);
    // Shows `message` with the template its place in the conversation calls
    // for; false when it is not shown. In a real-time session the buddy's
    // text in progress replaces the page's "rtim" block instead. When the
    // buddy's turn ends, a pending "rtim" block is frozen into an ordinary
    // block and its HTML handed out through `frozenRealTime` (for the log).
    bool ShowMessage(CMessageSequence& sequence, const ChatMessage& message, const SYSTEMTIME& now,
                     std::wstring* frozenRealTime = nullptr);
    // The page's "rtim" block: whether there is one, and replacing it.
    bool HasRealTimeBlock();
    void ShowRealTimeText(const std::wstring& html);
    // Gives the "rtim" block an ordinary id so it stays as it is, and
    // returns its HTML without line breaks; "" without a block.
    std::wstring FreezeRealTimeBlock();

    void SetMessageStyle(const std::wstring& href);
    void ShowTimeStamps(bool show);
    // Every open view of the process showing `themeFolder` (compared
    // without regard to case) switches to the style `href`.
    static void SetMessageStyleOfTheme(const std::wstring& themeFolder, const std::wstring& href);
    // Every open view shows or hides its time stamps.
    static void ShowTimeStampsEverywhere(bool show);
    bool TimeStampsShown() const { return timeStampsShown_; }
    // The page's background colour as "#RRGGBB" (or as the page gives it).
    bool GetViewBackgroundColor(std::wstring* color);

    // Expression mode.
    void RefreshExpression(AIMCC::IAccUser* user);
    void RefreshBuddyIcon(AIMCC::IAccUser* user);
    // A picture or, with `isFlash`, a movie that must be a file of the AIM
    // layer's cache (in `cacheFolder`); anything else shows no wallpaper.
    void SetWallpaper(const std::wstring& path, bool isFlash, bool showCloud, const std::wstring& cacheFolder = {});
    void SetBuddyIcon(const std::wstring& path);

    const std::wstring& ThemeFolder() const { return themeFolder_; }
    bool ExpressionMode() const { return expressionMode_; }
    const std::wstring& PageUrl() const { return pageUrl_; }
    size_t PendingCount() const { return pending_.size(); }
    void SetPendingAttemptLimit(int attempts) { pendingAttemptLimit_ = attempts; }
    HWND LinkTipWindow() const { return linkTip_.TipWindow(); }

    HRESULT Navigate(const wchar_t* url, bool wait) override;
    HRESULT GetDropTarget(IDropTarget* controlTarget, IDropTarget** outTarget) override;
    HRESULT OnBeforeNavigate2(IDispatch* disp, const wchar_t* url, VARIANT* flags, const wchar_t* targetFrame,
                              VARIANT* postData, VARIANT* headers, VARIANT_BOOL* cancel) override;
    HRESULT ShowContextMenu(DWORD menuId, POINT* point, IUnknown* commandTarget, IDispatch* object) override;
    HRESULT OnDocumentComplete(IDispatch* disp, const wchar_t* url, bool isTopLevel) override;
    HRESULT OnDocKeyPress(IHTMLEventObj* event) override;
    HRESULT OnStatusTextChange(const wchar_t* text) override;

protected:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    struct PendingMessage {
        std::wstring html;
        bool isNext = false;
        int attempts = 0;
    };

    bool CreateHost(HWND parent, int controlId);
    bool CallAddMsg(const std::wstring& html, bool isNext);
    void FlushPending();
    void SetLinkHrefs();
    bool IsOwnAddress(const std::wstring& url) const;
    void SaveLinkTarget(const std::wstring& href);
    void OnSize(int width, int height);
    void Paint(HDC dc);
    void OnDestroy();

    std::wstring screenName_;
    std::wstring themeFolder_;
    bool expressionMode_ = false;
    std::wstring pageUrl_;
    bool timeStampsShown_ = true;
    std::deque<PendingMessage> pending_;
    int pendingAttemptLimit_ = kMaxPendingAttempts;
    CLinkTip linkTip_;
};

// Whether `path` names an existing file directly inside `cacheFolder` (a
// local folder): what a wallpaper movie named by a buddy must be before the
// view loads it.
bool IsCachedLocalFile(const std::wstring& path, const std::wstring& cacheFolder);
