// CIEInputWnd: the message editor. A browser control shows an editable page
// ("Input.htm") framed by a format toolbar above it and, in the full
// variant, a status line and a send toolbar below it. Formatting goes
// through the control's editing commands; the finished message is the HTML
// the control serialises. The conversation window uses the full variant,
// the other text editors of the client the simple one, where every
// formatting command applies to the whole text.
//
// The editor talks to its parent only by messages (wParam = its control
// id): kSelectionChanged, kUnhandledKey (lParam = EditorKey*), kWheel
// (lParam = EditorWheel*), kCleared and kSendBar (wParam = the button).
// Toolbar buttons that act on the conversation (direct IM, buddy info,
// warn) reach the parent as WM_COMMAND with the button id and the format
// toolbar as lParam.
#pragma once

#include "FontRecord.h"
#include "IEBrowser.h"
#include "MessageHtml.h"
#include "SmileySet.h"
#include "SubclsWnd.h"

#include <functional>
#include <memory>
#include <string>

class CIEInputWnd;

// The editor's key and wheel messages, as the control's own window sees them.
class CIEServer : public CSubclsWnd {
public:
    explicit CIEServer(CIEInputWnd* editor) : editor_(editor) {}

protected:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    CIEInputWnd* editor_;
};

// What inline spell checking needs from the editor: to know when the page
// is ready and when it goes, to watch typing, and to add to the context
// menu. The editor works without one.
class IEditorSpellCheck {
public:
    virtual ~IEditorSpellCheck() = default;
    virtual void Attach(CIEInputWnd* editor) = 0;
    virtual void Detach() = 0;
    virtual void OnKeyTyped(wchar_t character) = 0;
    // Adds suggestion items (ids below kFirstEditCommand, or from
    // kFirstSpellCommand on) before the editing items; true when it added any.
    virtual bool AddMenuItems(HMENU menu, POINT at) = 0;
    // Adds the dictionary choice after them; true when it added it.
    virtual bool AddDictionaryItems(HMENU menu) = 0;
    virtual void OnMenuCommand(UINT id) = 0;
};

struct EditorKey {
    UINT key;
    BOOL ctrl;
    BOOL shift;
};

struct EditorWheel {
    int x;
    int y;
    int delta;
    UINT keys;
};

class CIEInputWnd : public CSubclsWnd, public CIEBrowser {
public:
    static constexpr UINT kSelectionChanged = 0x82BD;
    static constexpr UINT kUnhandledKey = 0x82BE;
    static constexpr UINT kWheel = 0x82BF;
    static constexpr UINT kCleared = 0x82C1;
    static constexpr UINT kSendBarCommand = 0x83E8;

    static constexpr int kFormatBar = 100;
    static constexpr int kStatusLine = 101;
    static constexpr int kSendBar = 102;
    // The send toolbar's buttons.
    static constexpr UINT kSendButton = 211;
    static constexpr UINT kStopButton = 415;

    // Format toolbar buttons.
    enum FormatButton : int {
        kFontDialogButton = 1,
        kTextColorButton,
        kTextBackgroundButton,
        kPageColorButton,
        kSizeButton,
        kBoldButton,
        kItalicButton,
        kUnderlineButton,
        kLinkButton,
        kDirectImButton,
        kSmileyButton,
        kBuddyInfoButton,
        kWarnButton,
        kPictureButton,
        kSpacesButton,
    };
    static constexpr int kFormatButtonCount = 15;

    static constexpr DWORD kSimpleMode = 0x1;
    // Context menu ids: suggestions end below kFirstEditCommand; the spell
    // checker's other items (adding a word, dictionaries) start at
    // kFirstSpellCommand, clear of the editing commands.
    static constexpr UINT kFirstEditCommand = 10;
    static constexpr UINT kFirstSpellCommand = 0x7000;

    // `screenName` is the signed-on user whose editor settings apply.
    explicit CIEInputWnd(const std::wstring& screenName);
    ~CIEInputWnd() override;

    bool CreateEditor(HWND parent, const wchar_t* pageUrl, void* partner, int controlId, DWORD options,
                      DWORD buttonMask);

    // The outgoing HTML, after the word at the caret became a link if it is
    // an address. False without a document or its HTML element.
    bool GetMessageHtml(std::wstring* html);
    // Characters of the text plus one per picture.
    int GetTextLength();
    void ClearMessage();
    bool ReadFormat(FontRecord* record);
    void ApplyFormat(const FontRecord& record, bool asDefault);
    void SetStatusText(const std::wstring& text);
    const std::wstring& StatusText() const { return statusText_; }
    void SetBarVisible(int controlId, bool visible);
    void SetSendButtonVisible(UINT button, bool visible);
    void InsertSmiley(size_t index);
    void InsertLink();
    void InsertPicture();
    bool GetCurrentFontWrapper(std::wstring* wrapper);
    bool GetCurrentSpanWrapper(std::wstring* wrapper);
    // The formatting at the caret as the editing commands report it.
    CurrentFormat ReadCurrentFormat();
    // Runs a format-toolbar button as if it was clicked.
    void RunFormatButton(int button);

    // The smiley set every editor of the process offers.
    static void SetSmileySet(std::shared_ptr<const SmileySet> set);
    static std::shared_ptr<const SmileySet> CurrentSmileySet();
    // Loads the set from the AIM layer for the signed-on user `self`, unless
    // one is loaded already; true when there is one now.
    static bool EnsureSmileySet(AIMCC::IAccUser* self, AIMCC::IAccSession* session);
    // Makes the spell-check hooks of each new editor's page.
    static void SetSpellCheckFactory(std::function<std::unique_ptr<IEditorSpellCheck>()> factory);

    // Where the dialogs of links, pictures and colours come from; each
    // answers false when the user cancelled.
    using LinkDialog = std::function<bool(HWND owner, std::wstring* href, std::wstring* text)>;
    using PictureDialog = std::function<bool(HWND owner, std::wstring* path)>;
    using ColorPicker = std::function<bool(HWND owner, int button, COLORREF* color)>;
    void SetLinkDialog(LinkDialog dialog) { linkDialog_ = std::move(dialog); }
    void SetPictureDialog(PictureDialog dialog) { pictureDialog_ = std::move(dialog); }
    void SetColorPicker(ColorPicker picker) { colorPicker_ = std::move(picker); }

    HWND FormatBar() const { return formatBar_; }
    HWND StatusLine() const { return statusLine_; }
    HWND SendBar() const { return sendBar_; }
    HWND ServerWindow() const { return server_.Hwnd(); }
    bool IsSimpleMode() const { return simpleMode_; }
    void* Partner() const { return partner_; }
    const std::wstring& PageUrl() const { return pageUrl_; }

    // From the control's window: true when the editor used the message.
    bool OnServerKeyDown(WPARAM key, LPARAM data);
    bool OnServerKeyUp(WPARAM key, LPARAM data);
    bool OnServerWheel(int x, int y, int delta, UINT keys);

    HRESULT Navigate(const wchar_t* url, bool wait) override;
    HRESULT GetDropTarget(IDropTarget* controlTarget, IDropTarget** outTarget) override;
    HRESULT OnBeforeNavigate2(IDispatch* disp, const wchar_t* url, VARIANT* flags, const wchar_t* targetFrame,
                              VARIANT* postData, VARIANT* headers, VARIANT_BOOL* cancel) override;
    HRESULT ShowContextMenu(DWORD menuId, POINT* point, IUnknown* commandTarget, IDispatch* object) override;
    HRESULT OnDocumentComplete(IDispatch* disp, const wchar_t* url, bool isTopLevel) override;
    HRESULT OnDocKeyPress(IHTMLEventObj* event) override;
    HRESULT OnDocClick(IHTMLEventObj* event) override;
    HRESULT OnSelectionChange(IHTMLEventObj* event) override;
    HRESULT UpdateUI() override;

protected:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool CreateBars(HINSTANCE instance, DWORD buttonMask);
    void AttachServer();
    bool EditorSetting(const wchar_t* key, bool def) const;
    void NotifyParent(UINT message, LPARAM lParam);
    bool IsCommandLatched(DWORD command);
    std::optional<long> CommandNumber(DWORD command);
    std::optional<std::wstring> CommandText(DWORD command);
    void RunCommand(DWORD command, VARIANT* value = nullptr);
    void SelectAllIfSimple();
    void ChooseColor(int button);
    void ChooseSize();
    void ShowSmileyMenu();
    bool TryInlineSmiley(wchar_t typed);
    void MakeLinkAtCaret();
    std::wstring TextBeforeCaret(size_t characters);
    void OnFormatBarDropDown(int button);
    void OnToolbarCommand(HWND toolbar, int id);
    LRESULT OnNotify(NMHDR* header);
    void Layout();
    void Paint(HDC dc);
    void DrawStatusLine(const DRAWITEMSTRUCT* item);
    void MeasureSmileyItem(MEASUREITEMSTRUCT* item);
    void DrawSmileyItem(const DRAWITEMSTRUCT* item);
    void OnDestroy();

    std::wstring screenName_;
    std::wstring pageUrl_;
    HWND formatBar_ = nullptr;
    HWND statusLine_ = nullptr;
    HWND sendBar_ = nullptr;
    HWND toolTip_ = nullptr;
    bool simpleMode_ = false;
    bool showFormatBar_ = true;
    bool showStatusLine_ = true;
    bool showSendBar_ = true;
    std::wstring statusText_;
    void* partner_ = nullptr;
    CIEServer server_;
    std::unique_ptr<IEditorSpellCheck> spellCheck_;
    // While the smiley menu is open: the highlighted smiley, for its label.
    std::optional<size_t> highlightedSmiley_;
    std::shared_ptr<const SmileySet> menuSmileys_;
    bool countedLive_ = false;

    LinkDialog linkDialog_;
    PictureDialog pictureDialog_;
    ColorPicker colorPicker_;
};
