#include "IEInputWnd.h"

#include "AccountSettings.h"
#include "AppState.h"
#include "BrowserHooks.h"
#include "ComTypes.h"
#include "Container.h"
#include "DragDropTarget.h"
#include "LangStrings.h"
#include "LinkOpener.h"
#include "LinkPolicy.h"
#include "MediaLibrary.h"
#include "MessageTemplate.h"
#include "PaneWnd.h"
#include "ScopedHandle.h"
#include "ScopedImageList.h"
#include "WindowKinds.h"

#include <commctrl.h>
#include <commdlg.h>
#include <docobj.h>
#include <gdiplus.h>
#include <mshtmcid.h>
#include <shlwapi.h>

#include <algorithm>
#include <iterator>

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kSettingsGroup[] = L"Settings.MSG";

// Tooltips of the format toolbar, by button.
constexpr UINT kFormatTips[CIEInputWnd::kFormatButtonCount] = {90, 91, 92, 501, 93, 94, 95,
                                                               96, 97, 98, 99, 100, 187, 505, 675};
// Icons of the media library for the two toolbars.
constexpr int kFirstFormatIcon = 700;
constexpr int kSendIcon = 720;
constexpr int kStopIcon = 721;
constexpr int kIconSize = 16;

// Context menu labels and ids.
constexpr UINT kUndoLabel = 108;
constexpr UINT kRedoLabel = 109;
constexpr UINT kCutLabel = 110;
constexpr UINT kCopyLabel = 111;
constexpr UINT kPasteLabel = 112;
constexpr UINT kSelectAllLabel = 113;
constexpr UINT kUndoItem = 10;
constexpr UINT kRedoItem = 11;

// A colour of 0 would read as "no colour" to the control: near-black
// stands in for black.
constexpr COLORREF kBlackStandIn = 0x10000;
constexpr int kFrameLumaShift = -400;
constexpr int kStatusInset = 2;
constexpr size_t kMaxFaceRead = 32;
// How far back the word at the caret is looked for.
constexpr long kMaxWordBeforeCaret = 256;
constexpr UINT kSmileyCellSize = 24;
constexpr UINT kSmileyLabelWidth = 3 * kSmileyCellSize;

const wchar_t kSpaces[] = L"&nbsp;&nbsp;";

struct SharedImages {
    ScopedImageList format;
    ScopedImageList send;
    int liveEditors = 0;
};

SharedImages& Images()
{
    static SharedImages images;
    return images;
}

std::shared_ptr<const SmileySet>& SharedSmileys()
{
    static std::shared_ptr<const SmileySet> set;
    return set;
}

std::function<std::unique_ptr<IEditorSpellCheck>()>& SpellCheckFactory()
{
    static std::function<std::unique_ptr<IEditorSpellCheck>()> factory;
    return factory;
}

HIMAGELIST MakeImageList(int firstIcon, int count, const int* icons = nullptr)
{
    HIMAGELIST list = ImageList_Create(kIconSize, kIconSize, ILC_COLOR32 | ILC_MASK, count, 0);
    if (!list)
        return nullptr;
    for (int i = 0; i < count; ++i) {
        ScopedIcon icon(LoadMediaIcon(icons ? icons[i] : firstIcon + i, kIconSize));
        if (!icon || ImageList_AddIcon(list, icon.get()) < 0) {
            ImageList_Destroy(list);
            return nullptr;
        }
    }
    return list;
}

bool LoadSharedImages()
{
    SharedImages& images = Images();
    if (!images.format)
        images.format.reset(MakeImageList(kFirstFormatIcon, CIEInputWnd::kFormatButtonCount));
    if (!images.send) {
        const int icons[] = {kSendIcon, kStopIcon};
        images.send.reset(MakeImageList(0, 2, icons));
    }
    return images.format && images.send;
}

// A number needs no clearing, so a plain VARIANT carries it.
VARIANT NumberVariant(long number)
{
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = number;
    return value;
}

bool DefaultPictureDialog(HWND owner, std::wstring* path)
{
    wchar_t file[MAX_PATH] = {};
    static const wchar_t kFilter[] = L"*.gif;*.jpg;*.jpeg;*.png;*.bmp\0*.gif;*.jpg;*.jpeg;*.png;*.bmp\0";
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = kFilter;
    dialog.lpstrFile = file;
    dialog.nMaxFile = ARRAYSIZE(file);
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&dialog))
        return false;
    *path = file;
    return true;
}

bool DefaultColorPicker(HWND owner, int, COLORREF* color)
{
    static COLORREF custom[16] = {};
    CHOOSECOLORW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.rgbResult = *color;
    dialog.lpCustColors = custom;
    dialog.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (!ChooseColorW(&dialog))
        return false;
    *color = dialog.rgbResult;
    return true;
}

} // namespace

// --- CIEServer ------------------------------------------------------------------------

LRESULT CIEServer::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN:
        if (editor_->OnServerKeyDown(wParam, lParam))
            return 0;
        break;
    case WM_KEYUP:
        if (editor_->OnServerKeyUp(wParam, lParam))
            return 0;
        break;
    case WM_MOUSEWHEEL:
        if (editor_->OnServerWheel(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)),
                                   GET_WHEEL_DELTA_WPARAM(wParam), GET_KEYSTATE_WPARAM(wParam)))
            return 0;
        break;
    }
    return CSubclsWnd::WindowProc(hwnd, message, wParam, lParam);
}

// --- Creating -------------------------------------------------------------------------

CIEInputWnd::CIEInputWnd(const std::wstring& screenName) : screenName_(screenName), server_(this)
{
    linkDialog_ = [](HWND, std::wstring*, std::wstring*) { return false; };
    pictureDialog_ = DefaultPictureDialog;
    colorPicker_ = DefaultColorPicker;
}

CIEInputWnd::~CIEInputWnd()
{
    if (Hwnd() && IsWindow(Hwnd()))
        DestroyWindow(Hwnd());
    if (countedLive_ && --Images().liveEditors == 0) {
        Images().format.reset();
        Images().send.reset();
    }
}

void CIEInputWnd::SetSmileySet(std::shared_ptr<const SmileySet> set)
{
    SharedSmileys() = std::move(set);
}

std::shared_ptr<const SmileySet> CIEInputWnd::CurrentSmileySet()
{
    return SharedSmileys();
}

bool CIEInputWnd::EnsureSmileySet(AIMCC::IAccUser* self, AIMCC::IAccSession* session)
{
    if (!SharedSmileys())
        SharedSmileys() = LoadSmileySet(self, session);
    return SharedSmileys() != nullptr;
}

void CIEInputWnd::SetSpellCheckFactory(std::function<std::unique_ptr<IEditorSpellCheck>()> factory)
{
    SpellCheckFactory() = std::move(factory);
}

bool CIEInputWnd::EditorSetting(const wchar_t* key, bool def) const
{
    return ReadAccountBool(Settings(), kSettingsGroup, screenName_, key, def);
}

bool CIEInputWnd::CreateEditor(HWND parent, const wchar_t* pageUrl, void* partner, int controlId, DWORD options,
                               DWORD buttonMask)
{
    if (!parent || !pageUrl)
        return false;
    if (!LoadSharedImages()) {
        ShowErrorBox(parent, 0, MB_ICONERROR | MB_SETFOREGROUND);
        return false;
    }
    if (!countedLive_) {
        ++Images().liveEditors;
        countedLive_ = true;
    }
    simpleMode_ = (options & kSimpleMode) != 0;
    showFormatBar_ = EditorSetting(L"ShowFmtTBar", true);
    showStatusLine_ = !simpleMode_ && EditorSetting(L"ShowStatusBar", true);
    showSendBar_ = !simpleMode_ && EditorSetting(L"ShowSendBtn", true);

    if (!RegisterPaneClass())
        return false;
    RECT area = {};
    GetClientRect(parent, &area);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND hwnd = CreateWindowExW(0, kPaneClassName, L"",
                                WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_GROUP | WS_TABSTOP, 0, 0,
                                area.right, area.bottom, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), instance, nullptr);
    if (!hwnd) {
        ShowErrorBox(parent, 0, MB_ICONERROR | MB_SETFOREGROUND);
        return false;
    }
    Attach(hwnd, kKindMessageEditorPane);
    if (!CreateBars(instance, buttonMask) || !CreateBrowser(instance, hwnd, 0)) {
        DestroyWindow(hwnd);
        return false;
    }
    // Script errors and offers to go on line would be dialogs over a page
    // of our own.
    if (IWebBrowser2* browser = WebBrowser()) {
        browser->put_Silent(VARIANT_TRUE);
        browser->put_Offline(VARIANT_TRUE);
    }
    Layout();
    Navigate(pageUrl, true);
    // The load may have ended with the editor (its parent closed meanwhile).
    if (!Hwnd() || !IsWindow(Hwnd()))
        return false;
    AttachServer();
    if (std::optional<FontRecord> record = ReadFontRecord(Settings(), screenName_))
        ApplyFormat(*record, true);
    partner_ = partner;
    ShowWindow(Hwnd(), SW_SHOWNORMAL);
    UpdateWindow(Hwnd());
    return true;
}

bool CIEInputWnd::CreateBars(HINSTANCE instance, DWORD buttonMask)
{
    const DWORD toolbarStyle = WS_CHILD | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | TBSTYLE_LIST | CCS_NOPARENTALIGN |
                               CCS_NORESIZE | CCS_NODIVIDER;
    formatBar_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"", toolbarStyle | (showFormatBar_ ? WS_VISIBLE : 0), 0, 0,
                                 0, 0, Hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFormatBar)), instance,
                                 nullptr);
    if (!formatBar_)
        return false;
    SendMessageW(formatBar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(formatBar_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    SendMessageW(formatBar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(Images().format.get()));
    TBBUTTON buttons[kFormatButtonCount] = {};
    for (int i = 0; i < kFormatButtonCount; ++i) {
        const int id = i + 1;
        BYTE style = BTNS_BUTTON;
        switch (id) {
        case kTextColorButton:
        case kTextBackgroundButton:
        case kPageColorButton:
        case kSizeButton:
        case kSmileyButton:
            style = BTNS_WHOLEDROPDOWN;
            break;
        case kBoldButton:
        case kItalicButton:
        case kUnderlineButton:
            style = BTNS_CHECK;
            break;
        case kDirectImButton:
            style = BTNS_CHECK | BTNS_DROPDOWN;
            break;
        }
        buttons[i].iBitmap = i;
        buttons[i].idCommand = id;
        const BYTE hidden = IsFormatButtonShown(buttonMask, id) ? 0 : TBSTATE_HIDDEN;
        buttons[i].fsState = static_cast<BYTE>(TBSTATE_ENABLED | hidden);
        buttons[i].fsStyle = style;
        buttons[i].iString = -1;
    }
    SendMessageW(formatBar_, TB_ADDBUTTONSW, kFormatButtonCount, reinterpret_cast<LPARAM>(buttons));
    toolTip_ = reinterpret_cast<HWND>(SendMessageW(formatBar_, TB_GETTOOLTIPS, 0, 0));
    if (simpleMode_)
        return true;

    statusLine_ = CreateWindowExW(0, L"Static", L"", WS_CHILD | SS_OWNERDRAW | (showStatusLine_ ? WS_VISIBLE : 0), 0,
                                  0, 0, 0, Hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusLine)),
                                  instance, nullptr);
    sendBar_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"",
                               toolbarStyle | WS_TABSTOP | (showSendBar_ ? WS_VISIBLE : 0), 0, 0, 0, 0, Hwnd(),
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kSendBar)), instance, nullptr);
    if (!statusLine_ || !sendBar_)
        return false;
    SendMessageW(sendBar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(sendBar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(Images().send.get()));
    const std::wstring sendLabel = LoadLangString(kSendButton);
    const std::wstring stopLabel = LoadLangString(kStopButton);
    TBBUTTON sendButtons[2] = {};
    sendButtons[0] = {0, static_cast<int>(kSendButton), TBSTATE_ENABLED, BTNS_BUTTON | BTNS_AUTOSIZE, {}, 0,
                      reinterpret_cast<INT_PTR>(sendLabel.c_str())};
    // The owner shows the second button while there is something to stop.
    sendButtons[1] = {1, static_cast<int>(kStopButton), TBSTATE_ENABLED | TBSTATE_HIDDEN,
                      BTNS_BUTTON | BTNS_AUTOSIZE, {}, 0, reinterpret_cast<INT_PTR>(stopLabel.c_str())};
    SendMessageW(sendBar_, TB_ADDBUTTONSW, 2, reinterpret_cast<LPARAM>(sendButtons));
    SendMessageW(sendBar_, TB_AUTOSIZE, 0, 0);
    return true;
}

void CIEInputWnd::AttachServer()
{
    HWND embedding = FindWindowExW(Hwnd(), nullptr, L"Shell Embedding", nullptr);
    HWND view = embedding ? FindWindowExW(embedding, nullptr, L"Shell DocObject View", nullptr) : nullptr;
    HWND server = view ? FindWindowExW(view, nullptr, L"Internet Explorer_Server", nullptr) : nullptr;
    if (server && server_.Hwnd() != server) {
        server_.Detach();
        server_.Attach(server, kKindNone);
    }
}

// --- The message ------------------------------------------------------------------------

void CIEInputWnd::NotifyParent(UINT message, LPARAM lParam)
{
    if (HWND parent = Hwnd() ? GetParent(Hwnd()) : nullptr)
        SendMessageW(parent, message, static_cast<WPARAM>(GetDlgCtrlID(Hwnd())), lParam);
}

bool CIEInputWnd::GetMessageHtml(std::wstring* html)
{
    if (!html)
        return false;
    MakeLinkAtCaret();
    ComPtr<IHTMLDocument2> document = Document();
    ComPtr<IHTMLDocument3> document3;
    ComPtr<IHTMLElementCollection> collection;
    ScopedBstr tag(L"HTML");
    if (!document || FAILED(document.As(&document3)) ||
        FAILED(document3->getElementsByTagName(tag.get(), &collection)) || !collection)
        return false;
    VARIANT index = NumberVariant(0);
    ComPtr<IDispatch> item;
    ComPtr<IHTMLElement> root;
    if (FAILED(collection->item(index, index, &item)) || !item || FAILED(item.As(&root)))
        return false;
    ScopedBstr outer;
    if (FAILED(root->get_outerHTML(outer.Receive())))
        return false;
    *html = UnescapeAnchorAmpersands(outer.Text());
    return true;
}

int CIEInputWnd::GetTextLength()
{
    int length = 0;
    if (ComPtr<IHTMLElement> body = Body()) {
        ScopedBstr text;
        if (SUCCEEDED(body->get_innerText(text.Receive())))
            length = static_cast<int>(text.Text().size());
    }
    ComPtr<IHTMLDocument2> document = Document();
    ComPtr<IHTMLDocument3> document3;
    ComPtr<IHTMLElementCollection> images;
    ScopedBstr tag(L"IMG");
    if (document && SUCCEEDED(document.As(&document3)) &&
        SUCCEEDED(document3->getElementsByTagName(tag.get(), &images)) && images) {
        long count = 0;
        images->get_length(&count);
        length += static_cast<int>(count);
    }
    return length;
}

void CIEInputWnd::ClearMessage()
{
    RunCommand(IDM_SELECTALL);
    RunCommand(IDM_DELETE);
    NotifyParent(kCleared, 0);
}

void CIEInputWnd::RunCommand(DWORD command, VARIANT* value)
{
    ExecCommand(command, OLECMDEXECOPT_DONTPROMPTUSER, value, nullptr);
}

bool CIEInputWnd::IsCommandLatched(DWORD command)
{
    ComPtr<IHTMLDocument2> document = Document();
    ComPtr<IOleCommandTarget> target;
    if (!document || FAILED(document.As(&target)))
        return false;
    OLECMD query = {command, 0};
    if (FAILED(target->QueryStatus(&CGID_MSHTML, 1, &query, nullptr)))
        return false;
    return (query.cmdf & OLECMDF_LATCHED) != 0;
}

std::optional<long> CIEInputWnd::CommandNumber(DWORD command)
{
    ScopedVariant out;
    if (FAILED(ExecCommand(command, OLECMDEXECOPT_DONTPROMPTUSER, nullptr, out.get())))
        return std::nullopt;
    ScopedVariant number;
    if (out.value().vt == VT_EMPTY || out.value().vt == VT_NULL ||
        FAILED(VariantChangeType(number.get(), out.get(), 0, VT_I4)))
        return std::nullopt;
    return number.value().lVal;
}

std::optional<std::wstring> CIEInputWnd::CommandText(DWORD command)
{
    ScopedVariant out;
    if (FAILED(ExecCommand(command, OLECMDEXECOPT_DONTPROMPTUSER, nullptr, out.get())) ||
        out.value().vt != VT_BSTR || !out.value().bstrVal)
        return std::nullopt;
    return std::wstring(out.value().bstrVal, SysStringLen(out.value().bstrVal));
}

bool CIEInputWnd::ReadFormat(FontRecord* record)
{
    if (!record || !Document())
        return false;
    RunCommand(IDM_SELECTALL);
    FontRecord read;
    read.bold = IsCommandLatched(IDM_BOLD);
    read.italic = IsCommandLatched(IDM_ITALIC);
    read.underline = IsCommandLatched(IDM_UNDERLINE);
    if (std::optional<std::wstring> face = CommandText(IDM_FONTNAME))
        read.face = face->substr(0, kMaxFaceRead);
    if (std::optional<long> size = CommandNumber(IDM_FONTSIZE))
        read.size = ClampFontSize(*size);
    if (std::optional<long> color = CommandNumber(IDM_FORECOLOR))
        read.textColor = static_cast<COLORREF>(*color);
    if (std::optional<long> color = CommandNumber(IDM_BACKCOLOR))
        read.textBackground = static_cast<COLORREF>(*color);
    // A page colour that is unset or not "#rrggbb" is the window colour.
    read.pageColor = GetSysColor(COLOR_WINDOW);
    ComPtr<IHTMLBodyElement> body;
    if (ComPtr<IHTMLElement> element = Body(); element && SUCCEEDED(element.As(&body))) {
        ScopedVariant color;
        if (SUCCEEDED(body->get_bgColor(color.Receive())) && color.value().vt == VT_BSTR && color.value().bstrVal) {
            if (std::optional<COLORREF> parsed = ParseHexColor(color.value().bstrVal))
                read.pageColor = *parsed;
        }
    }
    RunCommand(IDM_CLEARSELECTION);
    *record = read;
    return true;
}

void CIEInputWnd::ApplyFormat(const FontRecord& record, bool asDefault)
{
    if (asDefault) {
        ScopedVariant on(true);
        RunCommand(IDM_HTMLEDITMODE, on.get());
        ScopedVariant settings(ComposeSettings(record).c_str());
        RunCommand(IDM_COMPOSESETTINGS, settings.get());
    } else {
        RunCommand(IDM_SELECTALL);
        if (record.bold)
            RunCommand(IDM_BOLD);
        if (record.italic)
            RunCommand(IDM_ITALIC);
        if (record.underline)
            RunCommand(IDM_UNDERLINE);
        ScopedVariant face(record.face.c_str());
        RunCommand(IDM_FONTNAME, face.get());
        VARIANT size = NumberVariant(ClampFontSize(record.size));
        RunCommand(IDM_FONTSIZE, &size);
        VARIANT color = NumberVariant(static_cast<long>(record.textColor));
        RunCommand(IDM_FORECOLOR, &color);
        VARIANT background = NumberVariant(static_cast<long>(record.textBackground));
        RunCommand(IDM_BACKCOLOR, &background);
        RunCommand(IDM_CLEARSELECTION);
    }
    SetBackgroundColor(record.pageColor);
}

CurrentFormat CIEInputWnd::ReadCurrentFormat()
{
    CurrentFormat format;
    format.bold = IsCommandLatched(IDM_BOLD);
    format.italic = IsCommandLatched(IDM_ITALIC);
    format.underline = IsCommandLatched(IDM_UNDERLINE);
    if (std::optional<std::wstring> face = CommandText(IDM_FONTNAME); face && !face->empty())
        format.face = face->substr(0, kMaxFaceRead);
    if (std::optional<long> size = CommandNumber(IDM_FONTSIZE))
        format.size = ClampFontSize(*size);
    if (std::optional<long> color = CommandNumber(IDM_FORECOLOR))
        format.color = static_cast<COLORREF>(*color);
    if (std::optional<long> color = CommandNumber(IDM_BACKCOLOR))
        format.background = static_cast<COLORREF>(*color);
    return format;
}

bool CIEInputWnd::GetCurrentFontWrapper(std::wstring* wrapper)
{
    if (!wrapper || !Document())
        return false;
    *wrapper = FontWrapper(ReadCurrentFormat());
    return true;
}

bool CIEInputWnd::GetCurrentSpanWrapper(std::wstring* wrapper)
{
    if (!wrapper || !Document())
        return false;
    *wrapper = SpanWrapper(ReadCurrentFormat());
    return true;
}

// --- Smileys, links and pictures ---------------------------------------------------

void CIEInputWnd::InsertSmiley(size_t index)
{
    std::shared_ptr<const SmileySet> set = SharedSmileys();
    if (!set || index >= set->smileys.size())
        return;
    const Smiley& smiley = set->smileys[index];
    if (EditorSetting(L"ShowSmiliesAsTxt", false))
        PasteHtml(EscapeHtml(smiley.FirstShortcut()));
    else
        PasteHtml(SmileyHtml(smiley.pictureFile, smiley.FirstShortcut()));
    OnSelectionChange(nullptr);
}

void CIEInputWnd::InsertLink()
{
    std::wstring href;
    std::wstring text;
    const bool inLink = IsSelectionInLink();
    if (inLink)
        GetSelectionLink(&href, &text);
    else
        GetSelectedText(&text);
    if (!linkDialog_ || !linkDialog_(Hwnd(), &href, &text))
        return;
    const std::optional<std::wstring> html = LinkHtml(href, text);
    if (!html)
        return;
    if (inLink)
        SetSelectionParentHtml(*html);
    else
        PasteHtml(*html);
}

void CIEInputWnd::InsertPicture()
{
    std::wstring path;
    if (!pictureDialog_ || !pictureDialog_(Hwnd(), &path) || path.empty())
        return;
    ScopedVariant file(path.c_str());
    RunCommand(IDM_IMAGE, file.get());
    MoveCaretToEnd();
}

std::wstring CIEInputWnd::TextBeforeCaret(size_t characters)
{
    ComPtr<IHTMLDocument2> document = Document();
    ComPtr<IHTMLSelectionObject> selection;
    ComPtr<IDispatch> dispatch;
    ComPtr<IHTMLTxtRange> range;
    if (!document || FAILED(document->get_selection(&selection)) || !selection ||
        FAILED(selection->createRange(&dispatch)) || !dispatch || FAILED(dispatch.As(&range)))
        return std::wstring();
    range->collapse(VARIANT_TRUE);
    ScopedBstr unit(L"character");
    long moved = 0;
    range->moveStart(unit.get(), -static_cast<long>(characters), &moved);
    ScopedBstr text;
    range->get_text(text.Receive());
    return text.Text();
}

bool CIEInputWnd::TryInlineSmiley(wchar_t typed)
{
    std::shared_ptr<const SmileySet> set = SharedSmileys();
    if (!set || set->smileys.empty())
        return false;
    const auto match = FindInlineSmiley(*set, typed, [this](size_t n) { return TextBeforeCaret(n); });
    if (!match)
        return false;
    // Select what was typed of the shortcut so the smiley replaces it.
    ComPtr<IHTMLDocument2> document = Document();
    ComPtr<IHTMLSelectionObject> selection;
    ComPtr<IDispatch> dispatch;
    ComPtr<IHTMLTxtRange> range;
    if (match->charactersBefore > 0 && document && SUCCEEDED(document->get_selection(&selection)) && selection &&
        SUCCEEDED(selection->createRange(&dispatch)) && dispatch && SUCCEEDED(dispatch.As(&range))) {
        range->collapse(VARIANT_TRUE);
        ScopedBstr unit(L"character");
        long moved = 0;
        range->moveStart(unit.get(), -static_cast<long>(match->charactersBefore), &moved);
        range->select();
    }
    InsertSmiley(match->smiley);
    return true;
}

void CIEInputWnd::MakeLinkAtCaret()
{
    ComPtr<IHTMLDocument2> document = Document();
    if (!document || IsSelectionInLink())
        return;
    const std::wstring before = TextBeforeCaret(kMaxWordBeforeCaret);
    const std::wstring word = WordBeforeCaret(before, before.size());
    if (word.empty())
        return;
    std::wstring href;
    if (LooksLikeAddress(word))
        href = AutoLinkHref(word);
    else if (IsAimLinkWord(word))
        href = word;
    else
        return;
    const std::optional<std::wstring> html = LinkHtml(href, word);
    if (!html)
        return;
    ComPtr<IHTMLSelectionObject> selection;
    ComPtr<IDispatch> dispatch;
    ComPtr<IHTMLTxtRange> range;
    if (FAILED(document->get_selection(&selection)) || !selection || FAILED(selection->createRange(&dispatch)) ||
        !dispatch || FAILED(dispatch.As(&range)))
        return;
    range->collapse(VARIANT_TRUE);
    ScopedBstr unit(L"character");
    long moved = 0;
    range->moveStart(unit.get(), -static_cast<long>(word.size()), &moved);
    ScopedBstr text(*html);
    range->pasteHTML(text.get());
}

// --- Toolbars -------------------------------------------------------------------------

void CIEInputWnd::SelectAllIfSimple()
{
    if (simpleMode_)
        RunCommand(IDM_SELECTALL);
}

void CIEInputWnd::ChooseColor(int button)
{
    COLORREF color = 0;
    if (!colorPicker_ || !colorPicker_(Hwnd(), button, &color))
        return;
    if (button == kPageColorButton) {
        SetBackgroundColor(color);
        return;
    }
    SelectAllIfSimple();
    VARIANT value = NumberVariant(static_cast<long>(color == 0 ? kBlackStandIn : color));
    RunCommand(button == kTextColorButton ? IDM_FORECOLOR : IDM_BACKCOLOR, &value);
}

void CIEInputWnd::ChooseSize()
{
    ScopedMenu menu(CreatePopupMenu());
    if (!menu.get())
        return;
    for (UINT size = 1; size <= 7; ++size)
        AppendMenuW(menu.get(), MF_STRING, size, std::to_wstring(size).c_str());
    RECT button = {};
    SendMessageW(formatBar_, TB_GETRECT, kSizeButton, reinterpret_cast<LPARAM>(&button));
    MapWindowPoints(formatBar_, nullptr, reinterpret_cast<POINT*>(&button), 2);
    const UINT chosen = static_cast<UINT>(TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN,
                                                         button.left, button.bottom, 0, Hwnd(), nullptr));
    if (chosen < 1 || chosen > 7)
        return;
    SelectAllIfSimple();
    VARIANT value = NumberVariant(static_cast<long>(chosen));
    RunCommand(IDM_FONTSIZE, &value);
}

void CIEInputWnd::ShowSmileyMenu()
{
    std::shared_ptr<const SmileySet> set = SharedSmileys();
    if (!set || set->smileys.empty())
        return;
    ScopedMenu menu(CreatePopupMenu());
    if (!menu.get())
        return;
    const size_t count = set->smileys.size();
    const UINT last = SmileyMenuLastId(count);
    for (UINT id = 1; id <= last; ++id) {
        UINT flags = MF_OWNERDRAW;
        if (id > 1 && StartsSmileyMenuColumn(id))
            flags |= MF_MENUBREAK;
        if (IsSmileyMenuLabel(id) || !SmileyOfMenuId(id, count))
            flags |= MF_DISABLED;
        AppendMenuW(menu.get(), flags, id, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(id)));
    }
    RECT button = {};
    SendMessageW(formatBar_, TB_GETRECT, kSmileyButton, reinterpret_cast<LPARAM>(&button));
    MapWindowPoints(formatBar_, nullptr, reinterpret_cast<POINT*>(&button), 2);
    menuSmileys_ = set;
    highlightedSmiley_.reset();
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_LEFTALIGN, button.left, button.bottom, 0, Hwnd(), nullptr));
    menuSmileys_.reset();
    highlightedSmiley_.reset();
    if (const std::optional<size_t> index = SmileyOfMenuId(chosen, count))
        InsertSmiley(*index);
}

void CIEInputWnd::RunFormatButton(int button)
{
    switch (button) {
    case kFontDialogButton:
        SelectAllIfSimple();
        ExecCommand(IDM_FONT, OLECMDEXECOPT_PROMPTUSER, nullptr, nullptr);
        break;
    case kTextColorButton:
    case kTextBackgroundButton:
    case kPageColorButton:
        ChooseColor(button);
        break;
    case kSizeButton:
        ChooseSize();
        break;
    case kBoldButton:
        RunCommand(IDM_BOLD);
        break;
    case kItalicButton:
        RunCommand(IDM_ITALIC);
        break;
    case kUnderlineButton:
        RunCommand(IDM_UNDERLINE);
        break;
    case kLinkButton:
        InsertLink();
        break;
    case kSmileyButton:
        ShowSmileyMenu();
        break;
    case kDirectImButton:
    case kBuddyInfoButton:
    case kWarnButton:
        // The conversation acts on these.
        if (HWND parent = GetParent(Hwnd()))
            SendMessageW(parent, WM_COMMAND, MAKEWPARAM(button, 0), reinterpret_cast<LPARAM>(formatBar_));
        break;
    case kPictureButton:
        InsertPicture();
        break;
    case kSpacesButton:
        PasteHtml(kSpaces);
        break;
    }
    UpdateUI();
}

void CIEInputWnd::OnFormatBarDropDown(int button)
{
    if (button == kDirectImButton) {
        // The direct-IM menu belongs to the conversation.
        if (HWND parent = GetParent(Hwnd()))
            SendMessageW(parent, WM_COMMAND, MAKEWPARAM(button, 1), reinterpret_cast<LPARAM>(formatBar_));
        return;
    }
    RunFormatButton(button);
}

void CIEInputWnd::OnToolbarCommand(HWND toolbar, int id)
{
    if (toolbar && toolbar == sendBar_) {
        NotifyParent(kSendBarCommand, id);
        return;
    }
    if (toolbar && toolbar == formatBar_)
        RunFormatButton(id);
}

void CIEInputWnd::SetStatusText(const std::wstring& text)
{
    statusText_ = text;
    if (statusLine_)
        InvalidateRect(statusLine_, nullptr, TRUE);
}

void CIEInputWnd::SetBarVisible(int controlId, bool visible)
{
    HWND bar = nullptr;
    switch (controlId) {
    case kFormatBar:
        showFormatBar_ = visible;
        bar = formatBar_;
        break;
    case kStatusLine:
        showStatusLine_ = visible;
        bar = statusLine_;
        break;
    case kSendBar:
        showSendBar_ = visible;
        bar = sendBar_;
        break;
    default:
        return;
    }
    if (bar)
        ShowWindow(bar, visible ? SW_SHOWNA : SW_HIDE);
    Layout();
    if (Hwnd())
        InvalidateRect(Hwnd(), nullptr, TRUE);
}

void CIEInputWnd::SetSendButtonVisible(UINT button, bool visible)
{
    if (!sendBar_)
        return;
    SendMessageW(sendBar_, TB_HIDEBUTTON, button, MAKELPARAM(visible ? FALSE : TRUE, 0));
    SendMessageW(sendBar_, TB_AUTOSIZE, 0, 0);
    Layout();
}

// --- Keys and the wheel ---------------------------------------------------------------

bool CIEInputWnd::OnServerKeyDown(WPARAM key, LPARAM data)
{
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    if (key == VK_BACK || key == VK_DELETE) {
        ForwardKey(WM_KEYDOWN, key, data);
        return true;
    }
    if (key == VK_TAB && !ctrl) {
        HWND target = nullptr;
        if (!simpleMode_ && sendBar_ && IsWindowVisible(sendBar_))
            target = sendBar_;
        else if (HWND top = GetAncestor(Hwnd(), GA_ROOT))
            target = GetNextDlgTabItem(top, Hwnd(), shift ? TRUE : FALSE);
        if (target)
            SetFocus(target);
        return true;
    }
    if (ctrl) {
        if (key >= '1' && key <= '8') {
            InsertSmiley(static_cast<size_t>(key - '1') + (shift ? 8 : 0));
            return true;
        }
        static const struct {
            WPARAM key;
            DWORD command;
        } kShortcuts[] = {{'A', IDM_SELECTALL}, {'B', IDM_BOLD}, {'C', IDM_COPY},   {'I', IDM_ITALIC},
                          {'U', IDM_UNDERLINE}, {'V', IDM_PASTE}, {'X', IDM_CUT},   {'Y', IDM_REDO},
                          {'Z', IDM_UNDO}};
        for (const auto& shortcut : kShortcuts) {
            if (shortcut.key == key) {
                ExecCommand(shortcut.command, OLECMDEXECOPT_DONTPROMPTUSER, nullptr, nullptr);
                UpdateUI();
                return true;
            }
        }
    }
    EditorKey info = {static_cast<UINT>(key), ctrl ? TRUE : FALSE, shift ? TRUE : FALSE};
    HWND parent = Hwnd() ? GetParent(Hwnd()) : nullptr;
    return parent && SendMessageW(parent, kUnhandledKey, static_cast<WPARAM>(GetDlgCtrlID(Hwnd())),
                                  reinterpret_cast<LPARAM>(&info)) != 0;
}

bool CIEInputWnd::OnServerKeyUp(WPARAM key, LPARAM data)
{
    if (key == VK_BACK || key == VK_DELETE) {
        ForwardKey(WM_KEYUP, key, data);
        return true;
    }
    if (key == VK_RETURN)
        return !EditorSetting(L"EnterInsertsReturn", false);
    OnSelectionChange(nullptr);
    return false;
}

bool CIEInputWnd::OnServerWheel(int x, int y, int delta, UINT keys)
{
    EditorWheel wheel = {x, y, delta, keys};
    HWND parent = Hwnd() ? GetParent(Hwnd()) : nullptr;
    return parent && SendMessageW(parent, kWheel, static_cast<WPARAM>(GetDlgCtrlID(Hwnd())),
                                  reinterpret_cast<LPARAM>(&wheel)) != 0;
}

// --- The control's callbacks ------------------------------------------------------------

HRESULT CIEInputWnd::Navigate(const wchar_t* url, bool wait)
{
    if (!url)
        return E_INVALIDARG;
    pageUrl_ = url;
    return CIEBrowser::Navigate(url, wait);
}

HRESULT CIEInputWnd::GetDropTarget(IDropTarget*, IDropTarget** outTarget)
{
    if (!outTarget)
        return E_POINTER;
    *outTarget = nullptr;
    HWND parent = Hwnd() ? GetParent(Hwnd()) : nullptr;
    CSubclsWnd* owner = parent ? CSubclsWnd::FromHandle(parent) : nullptr;
    if (!owner || owner->Kind() != kKindChat)
        return E_NOTIMPL;
    auto* target = dynamic_cast<CDragDropTarget*>(owner);
    if (!target)
        return E_NOTIMPL;
    target->AddRef();
    *outTarget = target;
    return S_OK;
}

HRESULT CIEInputWnd::OnBeforeNavigate2(IDispatch*, const wchar_t* url, VARIANT*, const wchar_t*, VARIANT*, VARIANT*,
                                       VARIANT_BOOL* cancel)
{
    EnsureBrowserHooks();
    const std::wstring target = url ? url : L"";
    if (IsSamePage(target, pageUrl_))
        return S_OK;
    // A link clicked or dropped into the editor leaves the editor as it is;
    // where the address goes is the link policy's choice.
    if (cancel)
        *cancel = VARIANT_TRUE;
    if (IWebBrowser* browser = Browser())
        browser->Stop();
    FollowLink(Hwnd(), target);
    return S_OK;
}

HRESULT CIEInputWnd::ShowContextMenu(DWORD, POINT* point, IUnknown*, IDispatch*)
{
    ComPtr<IHTMLDocument2> document = Document();
    ComPtr<IOleCommandTarget> target;
    if (!document || FAILED(document.As(&target)))
        return S_OK;
    OLECMD commands[] = {{IDM_UNDO, 0}, {IDM_REDO, 0}, {IDM_CUT, 0}, {IDM_COPY, 0}, {IDM_PASTE, 0}};
    target->QueryStatus(&CGID_MSHTML, static_cast<ULONG>(std::size(commands)), commands, nullptr);
    auto state = [&](size_t i) { return (commands[i].cmdf & OLECMDF_ENABLED) ? MF_ENABLED : MF_GRAYED; };

    ScopedMenu menu(CreatePopupMenu());
    if (!menu.get())
        return S_OK;
    POINT at = {};
    if (point)
        at = *point;
    else
        GetCursorPos(&at);
    IEditorSpellCheck* spelling = EditorSetting(L"InlineSpellCheck", false) ? spellCheck_.get() : nullptr;
    if (spelling && spelling->AddMenuItems(menu.get(), at))
        AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu.get(), MF_STRING | state(0), kUndoItem, LoadLangString(kUndoLabel).c_str());
    AppendMenuW(menu.get(), MF_STRING | state(1), kRedoItem, LoadLangString(kRedoLabel).c_str());
    AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu.get(), MF_STRING | state(2), IDM_CUT, LoadLangString(kCutLabel).c_str());
    AppendMenuW(menu.get(), MF_STRING | state(3), IDM_COPY, LoadLangString(kCopyLabel).c_str());
    AppendMenuW(menu.get(), MF_STRING | state(4), IDM_PASTE, LoadLangString(kPasteLabel).c_str());
    AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu.get(), MF_STRING, IDM_SELECTALL, LoadLangString(kSelectAllLabel).c_str());
    if (spelling) {
        // The separator goes only where the checker adds something after it.
        const int count = GetMenuItemCount(menu.get());
        AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
        if (!spelling->AddDictionaryItems(menu.get()))
            DeleteMenu(menu.get(), static_cast<UINT>(count), MF_BYPOSITION);
    }

    const UINT chosen = static_cast<UINT>(TrackPopupMenu(
        menu.get(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, Hwnd(), nullptr));
    switch (chosen) {
    case 0:
        break;
    case kUndoItem:
        ExecCommand(IDM_UNDO, OLECMDEXECOPT_PROMPTUSER, nullptr, nullptr);
        break;
    case kRedoItem:
        ExecCommand(IDM_REDO, OLECMDEXECOPT_PROMPTUSER, nullptr, nullptr);
        break;
    case IDM_CUT:
    case IDM_COPY:
    case IDM_PASTE:
    case IDM_SELECTALL:
        ExecCommand(chosen, OLECMDEXECOPT_PROMPTUSER, nullptr, nullptr);
        break;
    default:
        if (spelling && (chosen < kFirstEditCommand || chosen >= kFirstSpellCommand))
            spelling->OnMenuCommand(chosen);
        break;
    }
    return S_OK;
}

HRESULT CIEInputWnd::OnDocumentComplete(IDispatch*, const wchar_t*, bool isTopLevel)
{
    if (!isTopLevel)
        return S_OK;
    SetDesignMode(true);
    ScopedVariant on(true);
    for (DWORD command : {static_cast<DWORD>(IDM_KEEPSELECTION), static_cast<DWORD>(IDM_AUTOURLDETECT_MODE),
                          static_cast<DWORD>(IDM_DISABLE_EDITFOCUS_UI),
                          static_cast<DWORD>(IDM_RESPECTVISIBILITY_INDESIGN)})
        RunCommand(command, on.get());
    if (spellCheck_) {
        spellCheck_->Detach();
        spellCheck_.reset();
    }
    if (EditorSetting(L"InlineSpellCheck", false) && SpellCheckFactory()) {
        spellCheck_ = SpellCheckFactory()();
        if (spellCheck_)
            spellCheck_->Attach(this);
    }
    return S_OK;
}

HRESULT CIEInputWnd::OnDocKeyPress(IHTMLEventObj* event)
{
    if (!event)
        return S_OK;
    long key = 0;
    if (FAILED(event->get_keyCode(&key)))
        return S_OK;
    auto cancel = [event] {
        event->put_keyCode(0);
        event->put_cancelBubble(VARIANT_TRUE);
        ScopedVariant no(false);
        event->put_returnValue(no.value());
    };
    // Enter sends or, with "EnterInsertsReturn", is inserted on its key-up.
    if (key == VK_RETURN) {
        cancel();
        return S_OK;
    }
    const wchar_t typed = static_cast<wchar_t>(key);
    if (spellCheck_)
        spellCheck_->OnKeyTyped(typed);
    if (EditorSetting(L"InlineSmilies", false) && !EditorSetting(L"ShowSmiliesAsTxt", false) &&
        TryInlineSmiley(typed))
        cancel();
    return S_OK;
}

HRESULT CIEInputWnd::OnDocClick(IHTMLEventObj* event)
{
    return OnSelectionChange(event);
}

HRESULT CIEInputWnd::OnSelectionChange(IHTMLEventObj* event)
{
    NotifyParent(kSelectionChanged, reinterpret_cast<LPARAM>(event));
    UpdateUI();
    return S_OK;
}

HRESULT CIEInputWnd::UpdateUI()
{
    if (!formatBar_)
        return S_OK;
    const struct {
        int button;
        DWORD command;
    } kChecks[] = {{kBoldButton, IDM_BOLD}, {kItalicButton, IDM_ITALIC}, {kUnderlineButton, IDM_UNDERLINE}};
    for (const auto& check : kChecks)
        SendMessageW(formatBar_, TB_CHECKBUTTON, check.button, MAKELPARAM(IsCommandLatched(check.command), 0));
    return S_OK;
}

// --- The host window ------------------------------------------------------------------

LRESULT CIEInputWnd::OnNotify(NMHDR* header)
{
    if (!header)
        return 0;
    if (header->code == TTN_GETDISPINFOW && header->hwndFrom == toolTip_) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
        const UINT_PTR id = info->hdr.idFrom;
        if (id >= 1 && id <= static_cast<UINT_PTR>(kFormatButtonCount)) {
            static std::wstring tip;
            tip = LoadLangString(kFormatTips[id - 1]);
            info->lpszText = const_cast<wchar_t*>(tip.c_str());
        }
        return 0;
    }
    if (header->code == TBN_DROPDOWN && header->hwndFrom == formatBar_) {
        OnFormatBarDropDown(reinterpret_cast<NMTOOLBARW*>(header)->iItem);
        return TBDDRET_DEFAULT;
    }
    return 0;
}

LRESULT CIEInputWnd::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        Layout();
        return 0;
    case WM_ERASEBKGND:
        Paint(reinterpret_cast<HDC>(wParam));
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps = {};
        if (HDC dc = BeginPaint(hwnd, &ps)) {
            Paint(dc);
            EndPaint(hwnd, &ps);
        }
        return 0;
    }
    case WM_COMMAND:
        if (lParam) {
            OnToolbarCommand(reinterpret_cast<HWND>(lParam), LOWORD(wParam));
            return 0;
        }
        break;
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_DRAWITEM: {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (item && item->CtlType == ODT_MENU) {
            DrawSmileyItem(item);
            return TRUE;
        }
        if (item && item->hwndItem == statusLine_) {
            DrawStatusLine(item);
            return TRUE;
        }
        break;
    }
    case WM_MEASUREITEM: {
        auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (item && item->CtlType == ODT_MENU) {
            MeasureSmileyItem(item);
            return TRUE;
        }
        break;
    }
    case WM_MENUSELECT:
        if (menuSmileys_) {
            highlightedSmiley_ = SmileyOfMenuId(LOWORD(wParam), menuSmileys_->smileys.size());
            // The label cells show the highlighted smiley: draw them again.
            if (HWND menuWindow = FindWindowW(L"#32768", nullptr))
                InvalidateRect(menuWindow, nullptr, FALSE);
            return 0;
        }
        break;
    case WM_DESTROY:
        OnDestroy();
        break;
    }
    return CSubclsWnd::WindowProc(hwnd, message, wParam, lParam);
}

void CIEInputWnd::Layout()
{
    if (!Hwnd())
        return;
    RECT client = {};
    GetClientRect(Hwnd(), &client);
    int top = 1;
    if (formatBar_ && showFormatBar_) {
        SendMessageW(formatBar_, TB_AUTOSIZE, 0, 0);
        RECT bar = {};
        GetWindowRect(formatBar_, &bar);
        const DWORD size = static_cast<DWORD>(SendMessageW(formatBar_, TB_GETBUTTONSIZE, 0, 0));
        const int height = std::max(static_cast<int>(HIWORD(size)), static_cast<int>(bar.bottom - bar.top));
        MoveWindow(formatBar_, 1, 1, std::max(0, static_cast<int>(client.right) - 2), height, TRUE);
        top = 1 + height + 1;
    }
    int bottom = client.bottom - 1;
    const bool bottomRow = !simpleMode_ && ((sendBar_ && showSendBar_) || (statusLine_ && showStatusLine_));
    if (bottomRow && sendBar_) {
        SIZE size = {};
        SendMessageW(sendBar_, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&size));
        const DWORD buttons = static_cast<DWORD>(SendMessageW(sendBar_, TB_GETBUTTONSIZE, 0, 0));
        const int height = std::max(static_cast<int>(HIWORD(buttons)), static_cast<int>(size.cy));
        const int width = showSendBar_ ? static_cast<int>(size.cx) : 0;
        bottom = std::max(top, static_cast<int>(client.bottom) - height - 1);
        if (showSendBar_)
            MoveWindow(sendBar_, client.right - width - 1, bottom + 1, width, height, TRUE);
        if (statusLine_ && showStatusLine_)
            MoveWindow(statusLine_, 1, bottom + 1, std::max(0, static_cast<int>(client.right) - width - 2), height,
                       TRUE);
    }
    if (CContainer* container = Container()) {
        const RECT place = {0, top, client.right, std::max(top, bottom)};
        container->SetObjectRects(place);
    }
}

void CIEInputWnd::Paint(HDC dc)
{
    RECT client = {};
    GetClientRect(Hwnd(), &client);
    if (!dc || IsRectEmpty(&client))
        return;
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    ScopedGdiObject brush(CreateSolidBrush(face));
    if (brush)
        FillRect(dc, &client, static_cast<HBRUSH>(brush.get()));
    const COLORREF shade = ColorAdjustLuma(face, kFrameLumaShift, TRUE);
    const LONG middle = client.right / 2;
    auto vertex = [](LONG x, LONG y, COLORREF color) {
        TRIVERTEX v = {};
        v.x = x;
        v.y = y;
        v.Red = static_cast<COLOR16>(GetRValue(color) << 8);
        v.Green = static_cast<COLOR16>(GetGValue(color) << 8);
        v.Blue = static_cast<COLOR16>(GetBValue(color) << 8);
        return v;
    };
    std::vector<LONG> lines = {client.top};
    if (formatBar_ && showFormatBar_) {
        RECT bar = {};
        GetWindowRect(formatBar_, &bar);
        MapWindowPoints(nullptr, Hwnd(), reinterpret_cast<POINT*>(&bar), 2);
        lines.push_back(bar.bottom);
    }
    if (sendBar_ && showSendBar_) {
        RECT bar = {};
        GetWindowRect(sendBar_, &bar);
        MapWindowPoints(nullptr, Hwnd(), reinterpret_cast<POINT*>(&bar), 2);
        lines.push_back(bar.top - 1);
    }
    for (LONG y : lines) {
        TRIVERTEX points[] = {vertex(0, y, face), vertex(middle, y + 1, shade), vertex(middle, y, shade),
                              vertex(client.right, y + 1, face)};
        GRADIENT_RECT halves[] = {{0, 1}, {2, 3}};
        GradientFill(dc, points, 4, halves, 2, GRADIENT_FILL_RECT_H);
    }
}

void CIEInputWnd::DrawStatusLine(const DRAWITEMSTRUCT* item)
{
    RECT area = item->rcItem;
    ScopedGdiObject brush(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
    if (brush)
        FillRect(item->hDC, &area, static_cast<HBRUSH>(brush.get()));
    InflateRect(&area, -kStatusInset, -kStatusInset);
    const HGDIOBJ oldFont = SelectObject(item->hDC, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(item->hDC, TRANSPARENT);
    ::SetTextColor(item->hDC, GetSysColor(COLOR_WINDOWTEXT));
    DrawTextW(item->hDC, statusText_.c_str(), static_cast<int>(statusText_.size()), &area,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    SelectObject(item->hDC, oldFont);
}

void CIEInputWnd::MeasureSmileyItem(MEASUREITEMSTRUCT* item)
{
    // A label shares its column with four smileys, so the column is as
    // wide as a short name needs.
    item->itemWidth = IsSmileyMenuLabel(item->itemID) ? kSmileyLabelWidth : kSmileyCellSize;
    item->itemHeight = kSmileyCellSize;
}

void CIEInputWnd::DrawSmileyItem(const DRAWITEMSTRUCT* item)
{
    const bool selected = (item->itemState & ODS_SELECTED) != 0;
    const COLORREF back = GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_MENU);
    ScopedGdiObject brush(CreateSolidBrush(back));
    if (brush)
        FillRect(item->hDC, &item->rcItem, static_cast<HBRUSH>(brush.get()));
    if (!menuSmileys_)
        return;
    const size_t count = menuSmileys_->smileys.size();
    if (IsSmileyMenuLabel(item->itemID)) {
        // The set's name, or the highlighted smiley's name and shortcut.
        std::wstring label = menuSmileys_->name;
        if (highlightedSmiley_ && *highlightedSmiley_ < count) {
            const Smiley& smiley = menuSmileys_->smileys[*highlightedSmiley_];
            label = smiley.name.empty() ? smiley.FirstShortcut() : smiley.name + L" " + smiley.FirstShortcut();
        }
        RECT area = item->rcItem;
        SetBkMode(item->hDC, TRANSPARENT);
        ::SetTextColor(item->hDC, GetSysColor(COLOR_MENUTEXT));
        DrawTextW(item->hDC, label.c_str(), static_cast<int>(label.size()), &area,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
        return;
    }
    const std::optional<size_t> index = SmileyOfMenuId(item->itemID, count);
    if (!index)
        return;
    const Smiley& smiley = menuSmileys_->smileys[*index];
    Gdiplus::Bitmap picture(smiley.pictureFile.c_str());
    if (picture.GetLastStatus() == Gdiplus::Ok) {
        Gdiplus::Graphics graphics(item->hDC);
        graphics.DrawImage(&picture, static_cast<INT>(item->rcItem.left + 2), static_cast<INT>(item->rcItem.top + 2));
        return;
    }
    // Without the picture, the shortcut says which smiley it is.
    RECT area = item->rcItem;
    OffsetRect(&area, 2, 2);
    SetBkMode(item->hDC, TRANSPARENT);
    const std::wstring text = smiley.FirstShortcut();
    DrawTextW(item->hDC, text.c_str(), static_cast<int>(text.size()), &area,
              DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
}

void CIEInputWnd::OnDestroy()
{
    if (spellCheck_) {
        spellCheck_->Detach();
        spellCheck_.reset();
    }
    server_.Detach();
    DestroyBrowser();
}
