#include "IEChatWnd.h"

#include "AccChatValues.h"
#include "AccCore.h"
#include "AccountSettings.h"
#include "AppState.h"
#include "BrowserHooks.h"
#include "ChatTheme.h"
#include "Clipboard.h"
#include "ComTypes.h"
#include "Container.h"
#include "DragDropTarget.h"
#include "LangStrings.h"
#include "LinkOpener.h"
#include "LinkPolicy.h"
#include "PaneWnd.h"
#include "ScopedHandle.h"
#include "StringConv.h"
#include "WindowKinds.h"

#include <commdlg.h>
#include <docobj.h>
#include <mshtmcid.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <tinyxml2.h>

#include <algorithm>
#include <cwchar>
#include <iterator>

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kExpressionSection[] = L"Settings.XPRSN";
// A wallpaper description is a few hundred bytes; stop well above that.
constexpr size_t kMaxWallpaperXml = 64 * 1024;

constexpr UINT kCopyLabel = 111;
constexpr UINT kSelectAllLabel = 113;
constexpr UINT kSaveTargetLabel = 314;
constexpr UINT kCopyLinkLabel = 399;
constexpr UINT kPrintLabel = 565;
constexpr UINT kPrintPreviewLabel = 566;
// Menu ids of our own items, clear of the editing command ids.
constexpr UINT kCopyLinkCommand = 0x7F01;
constexpr UINT kSaveTargetCommand = 0x7F02;

constexpr long kCtrlA = 1;
constexpr long kCtrlC = 3;

// The shade of the frame lines: the face colour made darker.
constexpr int kFrameLumaShift = -400;

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix)
{
    return !prefix.empty() && text.size() >= prefix.size() &&
           _wcsnicmp(text.c_str(), prefix.c_str(), prefix.size()) == 0;
}

std::wstring HexColor(COLORREF color)
{
    wchar_t text[8] = {};
    swprintf(text, ARRAYSIZE(text), L"#%02X%02X%02X", GetRValue(color), GetGValue(color), GetBValue(color));
    return text;
}

ComPtr<IHTMLElement> ElementById(IHTMLDocument2* document, const wchar_t* id)
{
    ComPtr<IHTMLDocument3> document3;
    ComPtr<IHTMLElement> element;
    if (document && SUCCEEDED(document->QueryInterface(IID_PPV_ARGS(&document3)))) {
        ScopedBstr name(id);
        document3->getElementById(name.get(), &element);
    }
    return element;
}

// Every element of a tag, last first.
std::vector<ComPtr<IHTMLElement>> ElementsByTagLastFirst(IHTMLDocument2* document, const wchar_t* tag)
{
    std::vector<ComPtr<IHTMLElement>> found;
    ComPtr<IHTMLDocument3> document3;
    ComPtr<IHTMLElementCollection> collection;
    ScopedBstr name(tag);
    if (!document || FAILED(document->QueryInterface(IID_PPV_ARGS(&document3))) ||
        FAILED(document3->getElementsByTagName(name.get(), &collection)) || !collection)
        return found;
    long count = 0;
    collection->get_length(&count);
    for (long i = count - 1; i >= 0; --i) {
        VARIANT index;
        VariantInit(&index);
        index.vt = VT_I4;
        index.lVal = i;
        ComPtr<IDispatch> item;
        ComPtr<IHTMLElement> element;
        if (SUCCEEDED(collection->item(index, index, &item)) && item && SUCCEEDED(item.As(&element)))
            found.push_back(element);
    }
    return found;
}

void SetInnerHtml(IHTMLDocument2* document, const wchar_t* id, const std::wstring& html)
{
    if (ComPtr<IHTMLElement> element = ElementById(document, id)) {
        ScopedBstr text(html);
        element->put_innerHTML(text.get());
    }
}

std::wstring AnchorHref(IDispatch* object)
{
    ComPtr<IHTMLElement> element;
    ComPtr<IHTMLAnchorElement> anchor;
    if (!object || FAILED(object->QueryInterface(IID_PPV_ARGS(&element))))
        return std::wstring();
    ScopedBstr tag;
    if (FAILED(element->get_tagName(tag.Receive())) || _wcsicmp(tag.Text().c_str(), L"A") != 0 ||
        FAILED(element.As(&anchor)))
        return std::wstring();
    ScopedBstr href;
    anchor->get_href(href.Receive());
    return href.Text();
}

// The movie a buddy's wallpaper description names ("flashwallpaper" >
// "background"), as the layer wrote it.
std::wstring FlashWallpaperOf(const std::string& xml)
{
    tinyxml2::XMLDocument document;
    if (xml.empty() || document.Parse(xml.data(), xml.size()) != tinyxml2::XML_SUCCESS)
        return std::wstring();
    const tinyxml2::XMLElement* root = document.FirstChildElement("flashwallpaper");
    const tinyxml2::XMLElement* background = root ? root->FirstChildElement("background") : nullptr;
    const char* text = background ? background->GetText() : nullptr;
    return text ? Utf8ToWide(text) : std::wstring();
}

std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

} // namespace

bool IsCachedLocalFile(const std::wstring& path, const std::wstring& cacheFolder)
{
    std::wstring file = path;
    if (StartsWithNoCase(file, L"file:")) {
        wchar_t local[MAX_PATH] = {};
        DWORD size = ARRAYSIZE(local);
        if (FAILED(PathCreateFromUrlW(file.c_str(), local, &size, 0)))
            return false;
        file = local;
    }
    // A drive path only: no UNC share, no device, no way back up.
    const bool drivePath = file.size() > 3 && iswalpha(file[0]) && file[1] == L':' && file[2] == L'\\';
    if (!drivePath || file.find(L"..") != std::wstring::npos || file.find(L'/') != std::wstring::npos ||
        cacheFolder.empty())
        return false;
    std::wstring folder = cacheFolder;
    if (folder.back() != L'\\')
        folder += L'\\';
    if (_wcsicmp(FolderOf(file).c_str(), folder.c_str()) != 0)
        return false;
    const DWORD attributes = GetFileAttributesW(file.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

CIEChatWnd::CIEChatWnd(const std::wstring& screenName) : screenName_(screenName)
{
    const CIni& ini = Settings();
    expressionMode_ = ReadAccountBool(ini, kExpressionSection, screenName, L"Enable", false);
    themeFolder_ = ChooseThemeFolder(ini, DataFolderOf(ini.Path()), screenName, expressionMode_);
}

CIEChatWnd::~CIEChatWnd()
{
    if (HWND hwnd = Hwnd(); hwnd && IsWindow(hwnd))
        DestroyWindow(hwnd);
}

bool CIEChatWnd::CreateHost(HWND parent, int controlId)
{
    if (!RegisterPaneClass())
        return false;
    RECT area = {};
    GetClientRect(parent, &area);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND hwnd = CreateWindowExW(0, kPaneClassName, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                                area.right, area.bottom, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), instance, nullptr);
    if (!hwnd) {
        ShowErrorBox(parent, 0, MB_ICONERROR | MB_SETFOREGROUND);
        return false;
    }
    Attach(hwnd, kKindConversationViewPane);
    if (!CreateBrowser(instance, hwnd, 0)) {
        DestroyWindow(hwnd);
        return false;
    }
    // Script errors and offers to go on line would be dialogs over a view of
    // local pages.
    if (IWebBrowser2* browser = WebBrowser()) {
        browser->put_Silent(VARIANT_TRUE);
        browser->put_Offline(VARIANT_TRUE);
    }
    RECT client = {};
    GetClientRect(hwnd, &client);
    OnSize(client.right, client.bottom);
    return true;
}

bool CIEChatWnd::ShowChatView(HWND parent, int controlId, bool showTimeStamps)
{
    if (!Hwnd() || !IsWindow(Hwnd())) {
        if (!CreateHost(parent, controlId))
            return false;
        const std::wstring page = themeFolder_ + L"Base.htm";
        Navigate(page.c_str(), true);
        // The load may have ended with the view (its parent closed meanwhile).
        if (!Hwnd() || !IsWindow(Hwnd()))
            return false;
        ShowTimeStamps(showTimeStamps);
        if (!linkTip_.Attached())
            linkTip_.Attach(Hwnd());
    }
    ShowWindow(Hwnd(), SW_SHOWNORMAL);
    UpdateWindow(Hwnd());
    return true;
}

// --- Messages -----------------------------------------------------------------------

bool CIEChatWnd::CallAddMsg(const std::wstring& html, bool isNext)
{
    ScopedVariant text(html.c_str());
    ScopedVariant next(isNext);
    return SUCCEEDED(CallScript(L"AddMsg", {text.value(), next.value()}, nullptr));
}

bool CIEChatWnd::AddMessage(const std::wstring& html, bool isNext, bool noQueue)
{
    // Older messages still waiting go first: a message must not overtake them.
    if (noQueue || pending_.empty()) {
        if (CallAddMsg(html, isNext))
            return true;
        if (noQueue)
            return false;
    }
    pending_.push_back({html, isNext, 0});
    if (Hwnd())
        SetTimer(Hwnd(), kPendingTimer, kPendingRetryMs, nullptr);
    return false;
}

void CIEChatWnd::FlushPending()
{
    while (!pending_.empty()) {
        PendingMessage& first = pending_.front();
        if (!CallAddMsg(first.html, first.isNext)) {
            if (++first.attempts < pendingAttemptLimit_)
                return;
            // The page has refused this one long enough; the rest may fare better.
        }
        pending_.pop_front();
    }
    KillTimer(Hwnd(), kPendingTimer);
}

bool CIEChatWnd::ShowMessage(CMessageSequence& sequence, const ChatMessage& message, const SYSTEMTIME& now,
                             std::wstring* frozenRealTime)
{
    const TemplateChoice choice = sequence.Choose(message);
    if (!choice.show)
        return false;
    const bool incoming = message.kind == MessageKind::Incoming;
    const bool fragment = incoming && (message.flags & kMessageRealTimeFragment);
    if (incoming && message.realTimeSession && HasRealTimeBlock()) {
        ShowRealTimeText(message.body);
        sequence.Shown(message.kind);
        return true;
    }
    const std::wstring templateText = ReadTemplateFile(themeFolder_ + choice.file);
    if (templateText.empty())
        return false;
    AddMessage(FillMessageTemplate(templateText, message, now), choice.isNext, false);
    if (sequence.LastShown() == static_cast<int>(MessageKind::Incoming) && !fragment) {
        const std::wstring frozen = FreezeRealTimeBlock();
        if (frozenRealTime)
            *frozenRealTime = frozen;
    }
    sequence.Shown(message.kind);
    return true;
}

bool CIEChatWnd::HasRealTimeBlock()
{
    ComPtr<IHTMLDocument2> document = Document();
    return ElementById(document.Get(), L"rtim") != nullptr;
}

void CIEChatWnd::ShowRealTimeText(const std::wstring& html)
{
    ComPtr<IHTMLDocument2> document = Document();
    if (ComPtr<IHTMLElement> block = ElementById(document.Get(), L"rtim")) {
        ScopedBstr text(html);
        block->put_outerHTML(text.get());
    }
}

std::wstring CIEChatWnd::FreezeRealTimeBlock()
{
    ComPtr<IHTMLDocument2> document = Document();
    ComPtr<IHTMLElement> block = ElementById(document.Get(), L"rtim");
    if (!block)
        return std::wstring();
    wchar_t id[16] = {};
    swprintf(id, ARRAYSIZE(id), L"%X", static_cast<unsigned>(GetTickCount()));
    ScopedBstr name(L"id");
    ScopedVariant value(id);
    block->setAttribute(name.get(), value.value(), 0);
    ScopedBstr outer;
    if (FAILED(block->get_outerHTML(outer.Receive())))
        return std::wstring();
    std::wstring html = outer.Text();
    html.erase(std::remove_if(html.begin(), html.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; }),
               html.end());
    return html;
}

void CIEChatWnd::WriteHeader(const ChatParty& local, const ChatParty& remote, AIMCC::IAccUser* remoteUser)
{
    if (expressionMode_) {
        const CIni& ini = Settings();
        if (ReadAccountBool(ini, kExpressionSection, screenName_, L"ShowWallpaper", true))
            RefreshExpression(remoteUser);
        if (ReadAccountInt(ini, kExpressionSection, screenName_, L"ShowBuddyIcons", 3) != 0)
            RefreshBuddyIcon(remoteUser);
        return;
    }
    const std::wstring templateText = ReadTemplateFile(themeFolder_ + L"header.htm");
    if (templateText.empty())
        return;
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    AddMessage(FillHeaderTemplate(templateText, local, remote, now), false, false);
}

void CIEChatWnd::SetMessageStyle(const std::wstring& href)
{
    ScopedVariant value(href.c_str());
    CallScript(L"SetMsgStyle", {value.value()}, nullptr);
}

void CIEChatWnd::ShowTimeStamps(bool show)
{
    ScopedVariant value(show);
    if (SUCCEEDED(CallScript(L"ShowTimeStamp", {value.value()}, nullptr)))
        timeStampsShown_ = show;
}

void CIEChatWnd::SetMessageStyleOfTheme(const std::wstring& themeFolder, const std::wstring& href)
{
    for (HWND hwnd : CSubclsWnd::WindowsOfKinds({kKindConversationViewPane})) {
        auto* view = dynamic_cast<CIEChatWnd*>(CSubclsWnd::FromHandle(hwnd));
        if (view && _wcsicmp(view->ThemeFolder().c_str(), themeFolder.c_str()) == 0)
            view->SetMessageStyle(href);
    }
}

void CIEChatWnd::ShowTimeStampsEverywhere(bool show)
{
    for (HWND hwnd : CSubclsWnd::WindowsOfKinds({kKindConversationViewPane})) {
        if (auto* view = dynamic_cast<CIEChatWnd*>(CSubclsWnd::FromHandle(hwnd)))
            view->ShowTimeStamps(show);
    }
}

bool CIEChatWnd::GetViewBackgroundColor(std::wstring* color)
{
    if (!color)
        return false;
    ComPtr<IHTMLElement> body = Body();
    ComPtr<IHTMLBodyElement> bodyElement;
    if (body && SUCCEEDED(body.As(&bodyElement))) {
        ScopedVariant value;
        if (SUCCEEDED(bodyElement->get_bgColor(value.Receive())) && value.value().vt == VT_BSTR &&
            SysStringLen(value.value().bstrVal) > 0) {
            *color = value.value().bstrVal;
            return true;
        }
    }
    ComPtr<IHTMLStyle> style;
    if (body && SUCCEEDED(body->get_style(&style)) && style) {
        ScopedVariant value;
        if (SUCCEEDED(style->get_backgroundColor(value.Receive())) && value.value().vt == VT_BSTR &&
            SysStringLen(value.value().bstrVal) > 0) {
            *color = value.value().bstrVal;
            return true;
        }
    }
    *color = HexColor(GetSysColor(COLOR_WINDOW));
    return true;
}

// --- Expression mode -----------------------------------------------------------------

void CIEChatWnd::SetWallpaper(const std::wstring& path, bool isFlash, bool showCloud, const std::wstring& cacheFolder)
{
    ComPtr<IHTMLDocument2> document = Document();
    if (!document)
        return;
    std::wstring html;
    if (!path.empty() && !isFlash) {
        html = L"<div style=\"width:100%; height:100%; background-image: url(" + EscapeHtml(FileUrlOfPath(path)) +
               L");\"></div>";
    } else if (!path.empty() && IsCachedLocalFile(path, cacheFolder)) {
        std::wstring file = path;
        if (StartsWithNoCase(file, L"file:")) {
            wchar_t local[MAX_PATH] = {};
            DWORD size = ARRAYSIZE(local);
            if (SUCCEEDED(PathCreateFromUrlW(path.c_str(), local, &size, 0)))
                file = local;
        }
        const std::wstring movie = EscapeHtml(FileUrlOfPath(file));
        html = L"<object classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\" id=\"FlashWallpaper\" "
               L"width=\"100%\" height=\"100%\">"
               L"<param name=\"movie\" value=\"" + movie + L"\" />"
               L"<param name=\"quality\" value=\"high\" />"
               L"<param name=\"wmode\" value=\"transparent\" /></object>";
    }
    SetInnerHtml(document.Get(), L"Wallpaper", html);
    if (ComPtr<IHTMLElement> cloud = ElementById(document.Get(), L"Cloud")) {
        ComPtr<IHTMLStyle> style;
        if (SUCCEEDED(cloud->get_style(&style)) && style) {
            ScopedBstr display(showCloud ? L"inline" : L"none");
            style->put_display(display.get());
        }
    }
}

void CIEChatWnd::SetBuddyIcon(const std::wstring& path)
{
    ComPtr<IHTMLDocument2> document = Document();
    if (!document)
        return;
    const std::wstring html =
        path.empty() ? std::wstring() : L"<img alt=\"\" src=\"" + EscapeHtml(FileUrlOfPath(path)) + L"\" />";
    SetInnerHtml(document.Get(), L"BuddyIcon", html);
    CallScript(L"UpdateView", {}, nullptr);
}

void CIEChatWnd::RefreshExpression(AIMCC::IAccUser* user)
{
    using namespace AIMCC;
    // The first wallpaper item the buddy has wins: a picture, a movie named
    // by a description, or an immersive picture.
    for (long property : {AccUserProp::Wallpaper, AccUserProp::FlashWallpaper, AccUserProp::ImmersiveWallpaper}) {
        ComPtr<IAccBartItem> item = ExpressionItemOf(user, property);
        if (!item)
            continue;
        const std::wstring file = ItemText(item.Get(), AccBartProp::Path);
        if (property != AccUserProp::FlashWallpaper) {
            SetWallpaper(file, false, file.empty());
            return;
        }
        // The movie must be a file the layer fetched, beside the description.
        const std::wstring movie = FlashWallpaperOf(ReadItemStream(item.Get(), kMaxWallpaperXml));
        SetWallpaper(movie, true, movie.empty(), FolderOf(file));
        return;
    }
    SetWallpaper(std::wstring(), false, true);
}

void CIEChatWnd::RefreshBuddyIcon(AIMCC::IAccUser* user)
{
    using namespace AIMCC;
    int mode = ReadAccountInt(Settings(), kExpressionSection, screenName_, L"ShowBuddyIcons", 3);
    if (mode < 0 || mode > 3)
        mode = 3;
    if (mode == 0)
        return;
    ComPtr<IAccBartItem> icon = ExpressionItemOf(user, AccUserProp::BuddyIcon);
    const bool show = icon && (mode != 1 || ItemFlag(icon.Get(), AccBartProp::Shown));
    SetBuddyIcon(show ? ItemText(icon.Get(), AccBartProp::Path) : std::wstring());
}

// --- The control's callbacks -----------------------------------------------------------

HRESULT CIEChatWnd::Navigate(const wchar_t* url, bool wait)
{
    if (!url)
        return E_INVALIDARG;
    pageUrl_ = url;
    return CIEBrowser::Navigate(url, wait);
}

HRESULT CIEChatWnd::GetDropTarget(IDropTarget*, IDropTarget** outTarget)
{
    if (!outTarget)
        return E_POINTER;
    *outTarget = nullptr;
    // Files dropped on the view go to the conversation around it.
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

bool CIEChatWnd::IsOwnAddress(const std::wstring& url) const
{
    if (IsSamePage(url, pageUrl_) || IsSamePage(url, L"about:blank"))
        return true;
    // The theme's own files (pictures, previews), but nothing that climbs
    // out of its folder.
    if (url.find(L"..") != std::wstring::npos)
        return false;
    return StartsWithNoCase(url, themeFolder_) || StartsWithNoCase(url, FileUrlOfPath(themeFolder_));
}

HRESULT CIEChatWnd::OnBeforeNavigate2(IDispatch*, const wchar_t* url, VARIANT*, const wchar_t*, VARIANT*, VARIANT*,
                                      VARIANT_BOOL* cancel)
{
    EnsureBrowserHooks();
    const std::wstring target = url ? url : L"";
    if (IsOwnAddress(target))
        return S_OK;
    if (cancel)
        *cancel = VARIANT_TRUE;
    if (IWebBrowser* browser = Browser())
        browser->Stop();
    FollowLink(Hwnd(), target);
    return S_OK;
}

HRESULT CIEChatWnd::ShowContextMenu(DWORD, POINT* point, IUnknown*, IDispatch* object)
{
    ComPtr<IHTMLDocument2> document = Document();
    ComPtr<IOleCommandTarget> target;
    if (!document || FAILED(document.As(&target)))
        return S_OK;
    OLECMD commands[] = {{IDM_COPY, 0}, {IDM_SELECTALL, 0}, {IDM_PRINT, 0}, {IDM_PRINTPREVIEW, 0}};
    target->QueryStatus(&CGID_MSHTML, static_cast<ULONG>(std::size(commands)), commands, nullptr);
    auto state = [&](size_t i) { return (commands[i].cmdf & OLECMDF_ENABLED) ? MF_ENABLED : MF_GRAYED; };

    ScopedMenu menu(CreatePopupMenu());
    if (!menu.get())
        return S_OK;
    const std::wstring href = AnchorHref(object);
    AppendMenuW(menu.get(), MF_STRING | state(0), IDM_COPY, LoadLangString(kCopyLabel).c_str());
    if (!href.empty()) {
        AppendMenuW(menu.get(), MF_STRING, kCopyLinkCommand, LoadLangString(kCopyLinkLabel).c_str());
        if (StartsWithNoCase(href, L"file:"))
            AppendMenuW(menu.get(), MF_STRING, kSaveTargetCommand, LoadLangString(kSaveTargetLabel).c_str());
    }
    AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu.get(), MF_STRING | state(1), IDM_SELECTALL, LoadLangString(kSelectAllLabel).c_str());
    AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu.get(), MF_STRING | state(2), IDM_PRINT, LoadLangString(kPrintLabel).c_str());
    AppendMenuW(menu.get(), MF_STRING | state(3), IDM_PRINTPREVIEW, LoadLangString(kPrintPreviewLabel).c_str());

    POINT at = {};
    if (point)
        at = *point;
    else
        GetCursorPos(&at);
    const UINT chosen = static_cast<UINT>(TrackPopupMenu(
        menu.get(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, Hwnd(), nullptr));
    if (chosen == kCopyLinkCommand)
        CopyTextToClipboard(href);
    else if (chosen == kSaveTargetCommand)
        SaveLinkTarget(href);
    else if (chosen)
        ExecCommand(chosen, OLECMDEXECOPT_PROMPTUSER, nullptr, nullptr);
    return S_OK;
}

void CIEChatWnd::SaveLinkTarget(const std::wstring& href)
{
    wchar_t source[MAX_PATH] = {};
    DWORD size = ARRAYSIZE(source);
    if (FAILED(PathCreateFromUrlW(href.c_str(), source, &size, 0)) || !PathFileExistsW(source))
        return;
    wchar_t target[MAX_PATH] = {};
    lstrcpynW(target, PathFindFileNameW(source), ARRAYSIZE(target));
    static const wchar_t kFilter[] = L"*.*\0*.*\0";
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = Hwnd();
    dialog.lpstrFilter = kFilter;
    dialog.lpstrFile = target;
    dialog.nMaxFile = ARRAYSIZE(target);
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&dialog))
        return;
    // Both lists end in two NULs.
    std::wstring from = std::wstring(source) + L'\0';
    std::wstring to = std::wstring(target) + L'\0';
    SHFILEOPSTRUCTW operation = {};
    operation.hwnd = Hwnd();
    operation.wFunc = FO_COPY;
    operation.pFrom = from.c_str();
    operation.pTo = to.c_str();
    operation.fFlags = FOF_SIMPLEPROGRESS;
    SHFileOperationW(&operation);
}

HRESULT CIEChatWnd::OnDocumentComplete(IDispatch*, const wchar_t*, bool isTopLevel)
{
    if (!isTopLevel)
        return S_OK;
    ScopedVariant on(true);
    ExecCommand(IDM_KEEPSELECTION, OLECMDEXECOPT_DONTPROMPTUSER, on.get(), nullptr);
    ExecCommand(IDM_AUTOURLDETECT_MODE, OLECMDEXECOPT_DONTPROMPTUSER, on.get(), nullptr);
    SetLinkHrefs();
    if (!linkTip_.Attached())
        linkTip_.Attach(Hwnd());
    if (HWND parent = GetParent(Hwnd()))
        SendMessageW(parent, kDocumentReady, static_cast<WPARAM>(GetDlgCtrlID(Hwnd())), 0);
    return S_OK;
}

void CIEChatWnd::SetLinkHrefs()
{
    ComPtr<IHTMLDocument2> document = Document();
    if (!document)
        return;
    // Relative addresses of the page (pictures, style sheets) resolve in the
    // theme's folder, and the chosen style sheet is the active one.
    ScopedVariant base(FileUrlOfPath(themeFolder_).c_str());
    ScopedBstr href(L"href");
    for (const ComPtr<IHTMLElement>& element : ElementsByTagLastFirst(document.Get(), L"BASE"))
        element->setAttribute(href.get(), base.value(), 0);
    const std::wstring sheet = ChooseStyleSheet(Settings(), screenName_, expressionMode_);
    ScopedVariant style(sheet.c_str());
    for (const ComPtr<IHTMLElement>& element : ElementsByTagLastFirst(document.Get(), L"LINK"))
        element->setAttribute(href.get(), style.value(), 0);
}

HRESULT CIEChatWnd::OnDocKeyPress(IHTMLEventObj* event)
{
    if (!event)
        return S_OK;
    VARIANT_BOOL ctrl = VARIANT_FALSE;
    long key = 0;
    if (FAILED(event->get_ctrlKey(&ctrl)) || ctrl == VARIANT_FALSE || FAILED(event->get_keyCode(&key)))
        return S_OK;
    if (key == kCtrlA)
        ExecCommand(IDM_SELECTALL, OLECMDEXECOPT_PROMPTUSER, nullptr, nullptr);
    else if (key == kCtrlC)
        ExecCommand(IDM_COPY, OLECMDEXECOPT_PROMPTUSER, nullptr, nullptr);
    return S_OK;
}

HRESULT CIEChatWnd::OnStatusTextChange(const wchar_t* text)
{
    linkTip_.OnStatusText(Hwnd(), text);
    return S_OK;
}

// --- The host window ----------------------------------------------------------------------

LRESULT CIEChatWnd::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        OnSize(LOWORD(lParam), HIWORD(lParam));
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
    case WM_TIMER:
        if (wParam == kPendingTimer) {
            FlushPending();
            return 0;
        }
        if (wParam == CLinkTip::kTimer) {
            linkTip_.OnTimer(hwnd);
            return 0;
        }
        break;
    case WM_DESTROY:
        OnDestroy();
        break;
    }
    return CSubclsWnd::WindowProc(hwnd, message, wParam, lParam);
}

void CIEChatWnd::OnSize(int width, int height)
{
    if (CContainer* container = Container()) {
        const RECT place = {0, 1, width, std::max(1, height - 1)};
        container->SetObjectRects(place);
    }
}

void CIEChatWnd::Paint(HDC dc)
{
    RECT client = {};
    GetClientRect(Hwnd(), &client);
    if (!dc || IsRectEmpty(&client))
        return;
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    ScopedGdiObject brush(CreateSolidBrush(face));
    if (brush)
        FillRect(dc, &client, static_cast<HBRUSH>(brush.get()));
    // A line along the top and the bottom edge that darkens towards the
    // middle and fades back to the face colour.
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
    for (LONG y : {client.top, client.bottom - 1}) {
        TRIVERTEX points[] = {vertex(0, y, face), vertex(middle, y + 1, shade), vertex(middle, y, shade),
                              vertex(client.right, y + 1, face)};
        GRADIENT_RECT halves[] = {{0, 1}, {2, 3}};
        GradientFill(dc, points, 4, halves, 2, GRADIENT_FILL_RECT_H);
    }
}

void CIEChatWnd::OnDestroy()
{
    KillTimer(Hwnd(), kPendingTimer);
    pending_.clear();
    linkTip_.Destroy(Hwnd());
    DestroyBrowser();
}
