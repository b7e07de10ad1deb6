#include "FakeDocument.h"

#include "StringConv.h"
#include "TestSupport.h"

#include <mshtmdid.h>
#include <shlwapi.h>

#include <algorithm>
#include <cwctype>

namespace {

std::wstring Upper(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

std::wstring BstrText(BSTR text)
{
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

HRESULT ReturnText(const std::wstring& text, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = NewBstr(text);
    return S_OK;
}

HRESULT ReturnVariantText(const std::wstring& text, VARIANT* out)
{
    if (!out)
        return E_POINTER;
    VariantInit(out);
    out->vt = VT_BSTR;
    out->bstrVal = NewBstr(text);
    return S_OK;
}

std::wstring EscapedText(const std::wstring& text)
{
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'<')
            out += L"&lt;";
        else if (c == L'>')
            out += L"&gt;";
        else if (c == L'&')
            out += L"&amp;";
        else
            out.push_back(c);
    }
    return out;
}

// A control range: what createRange gives while a picture is selected. It
// is no text range, so pasting into it fails as it does in the real control.
class FakeControlRange final : public Stub_IDispatch, public FakeObject {
public:
    FAKE_REFCOUNT
};

HRESULT FakeControlRange::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch)
        return FakeAnswer(static_cast<IDispatch*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
}

class FakeTextRange final : public Stub_IHTMLTxtRange, public FakeObject {
public:
    FakeTextRange(FakeDocument* document, FakeElement* parent, const std::wstring& text)
        : document_(document), parent_(parent), text_(text)
    {
        document_->AddRef();
    }
    FAKE_REFCOUNT

    HRESULT STDMETHODCALLTYPE get_text(BSTR* text) override { return ReturnText(text_, text); }
    HRESULT STDMETHODCALLTYPE put_text(BSTR text) override
    {
        text_ = BstrText(text);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE parentElement(IHTMLElement** parent) override
    {
        if (!parent)
            return E_POINTER;
        *parent = nullptr;
        if (!parent_)
            return S_OK;
        return parent_->QueryInterface(IID_PPV_ARGS(parent));
    }
    HRESULT STDMETHODCALLTYPE pasteHTML(BSTR html) override
    {
        document_->rangeLog.push_back(L"pasteHTML:" + BstrText(html));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE collapse(VARIANT_BOOL start) override
    {
        document_->rangeLog.push_back(start ? L"collapse:start" : L"collapse:end");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE select() override
    {
        document_->rangeLog.push_back(L"select");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE moveStart(BSTR unit, LONG count, LONG* actual) override
    {
        document_->rangeLog.push_back(L"moveStart:" + std::to_wstring(count));
        LONG moved = 0;
        if (Lower(BstrText(unit)) == L"character" && count < 0) {
            const std::wstring& before = document_->textBeforeCaret;
            const size_t wanted = static_cast<size_t>(-static_cast<long long>(count));
            const size_t taken = std::min(wanted, before.size());
            text_ = before.substr(before.size() - taken) + text_;
            moved = -static_cast<LONG>(taken);
        }
        if (actual)
            *actual = moved;
        return S_OK;
    }

private:
    ~FakeTextRange() override { document_->Release(); }

    FakeDocument* document_;
    FakeElement* parent_;
    std::wstring text_;
};

HRESULT FakeTextRange::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLTxtRange)
        return FakeAnswer(static_cast<IHTMLTxtRange*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
}

class FakeSelection final : public Stub_IHTMLSelectionObject, public FakeObject {
public:
    explicit FakeSelection(FakeDocument* document) : document_(document) { document_->AddRef(); }
    FAKE_REFCOUNT

    HRESULT STDMETHODCALLTYPE get_type(BSTR* type) override { return ReturnText(document_->selectionType, type); }
    HRESULT STDMETHODCALLTYPE clear() override
    {
        document_->rangeLog.push_back(L"clear");
        document_->selectionType = L"None";
        document_->selectionText.clear();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE empty() override
    {
        document_->selectionType = L"None";
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE createRange(IDispatch** range) override
    {
        if (!range)
            return E_POINTER;
        if (document_->selectionType == L"Control") {
            *range = new FakeControlRange();
            return S_OK;
        }
        *range = static_cast<IHTMLTxtRange*>(
            new FakeTextRange(document_, document_->selectionParent, document_->selectionText));
        return S_OK;
    }

private:
    ~FakeSelection() override { document_->Release(); }
    FakeDocument* document_;
};

HRESULT FakeSelection::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLSelectionObject)
        return FakeAnswer(static_cast<IHTMLSelectionObject*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
}

class FakeElementCollection final : public Stub_IHTMLElementCollection, public FakeObject {
public:
    explicit FakeElementCollection(std::vector<ComPtr<FakeElement>> elements) : elements_(std::move(elements)) {}
    FAKE_REFCOUNT

    HRESULT STDMETHODCALLTYPE get_length(LONG* length) override
    {
        if (!length)
            return E_POINTER;
        *length = static_cast<LONG>(elements_.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE item(VARIANT name, VARIANT index, IDispatch** element) override
    {
        if (!element)
            return E_POINTER;
        *element = nullptr;
        VARIANT number;
        VariantInit(&number);
        VARIANT& which = name.vt == VT_EMPTY || name.vt == VT_ERROR ? index : name;
        if (FAILED(VariantChangeType(&number, &which, 0, VT_I4)))
            return E_INVALIDARG;
        if (number.lVal < 0 || static_cast<size_t>(number.lVal) >= elements_.size())
            return S_OK;
        return elements_[number.lVal]->QueryInterface(IID_PPV_ARGS(element));
    }

private:
    ~FakeElementCollection() override = default;
    std::vector<ComPtr<FakeElement>> elements_;
};

HRESULT FakeElementCollection::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLElementCollection)
        return FakeAnswer(static_cast<IHTMLElementCollection*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
}

// The page's script functions, reached by name as document.Script does.
class FakeScript final : public Stub_IDispatch, public FakeObject {
public:
    explicit FakeScript(FakeDocument* document) : document_(document) {}
    FAKE_REFCOUNT

    // The document outlives nothing here; it clears this when it goes.
    void Forget() { document_ = nullptr; }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        if (!names || !ids)
            return E_POINTER;
        bool allKnown = true;
        for (UINT i = 0; i < count; ++i) {
            if (!document_ || !document_->scriptReady || !names[i] || !document_->Defines(names[i])) {
                ids[i] = DISPID_UNKNOWN;
                allKnown = false;
                continue;
            }
            const std::wstring name = names[i];
            auto found = std::find(names_.begin(), names_.end(), name);
            if (found == names_.end())
                found = names_.insert(names_.end(), name);
            ids[i] = static_cast<DISPID>(found - names_.begin()) + 1;
        }
        return allKnown ? S_OK : DISP_E_UNKNOWNNAME;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                                     UINT*) override
    {
        if (!document_ || id < 1 || static_cast<size_t>(id) > names_.size())
            return DISP_E_MEMBERNOTFOUND;
        ScriptCall call;
        call.name = names_[id - 1];
        if (params) {
            for (UINT i = params->cArgs; i > 0; --i)
                call.arguments.push_back(VariantText(params->rgvarg[i - 1]));
        }
        document_->scriptCalls.push_back(call);
        if (document_->scriptFails)
            return DISP_E_EXCEPTION;
        const std::wstring& refused = document_->scriptRefusesText;
        if (!refused.empty() && std::any_of(call.arguments.begin(), call.arguments.end(), [&](const std::wstring& a) {
                return a.find(refused) != std::wstring::npos;
            }))
            return DISP_E_EXCEPTION;
        if (result)
            ReturnVariantText(document_->scriptResult, result);
        return S_OK;
    }

private:
    ~FakeScript() override = default;
    FakeDocument* document_;
    std::vector<std::wstring> names_;
};

HRESULT FakeScript::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch)
        return FakeAnswer(static_cast<IDispatch*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
}

// The attributes of one start tag, from just after its name to its ">".
std::map<std::wstring, std::wstring> ParseAttributes(const std::wstring& tag)
{
    std::map<std::wstring, std::wstring> attributes;
    size_t i = 0;
    while (i < tag.size()) {
        while (i < tag.size() && (std::iswspace(tag[i]) || tag[i] == L'/'))
            ++i;
        const size_t nameStart = i;
        while (i < tag.size() && !std::iswspace(tag[i]) && tag[i] != L'=' && tag[i] != L'/')
            ++i;
        if (i == nameStart)
            break;
        const std::wstring name = Lower(tag.substr(nameStart, i - nameStart));
        while (i < tag.size() && std::iswspace(tag[i]))
            ++i;
        std::wstring value;
        if (i < tag.size() && tag[i] == L'=') {
            ++i;
            while (i < tag.size() && std::iswspace(tag[i]))
                ++i;
            if (i < tag.size() && (tag[i] == L'"' || tag[i] == L'\'')) {
                const wchar_t quote = tag[i++];
                const size_t end = tag.find(quote, i);
                value = tag.substr(i, end == std::wstring::npos ? std::wstring::npos : end - i);
                i = end == std::wstring::npos ? tag.size() : end + 1;
            } else {
                const size_t valueStart = i;
                while (i < tag.size() && !std::iswspace(tag[i]))
                    ++i;
                value = tag.substr(valueStart, i - valueStart);
            }
        }
        attributes[name] = value;
    }
    return attributes;
}

} // namespace

// --- FakeElement -----------------------------------------------------------------

FakeElement::FakeElement(FakeDocument* document, const std::wstring& tagName, const std::wstring& elementId)
    : tag(Upper(tagName)), id(elementId), style(new FakeStyle()), document_(document)
{
    style->Release(); // the ComPtr holds the one reference
    if (!id.empty())
        attributes[L"id"] = id;
}

FakeElement::~FakeElement() = default;

HRESULT FakeElement::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLElement)
        return FakeAnswer(static_cast<IHTMLElement*>(this), out);
    if (iid == IID_IHTMLBodyElement && tag == L"BODY")
        return FakeAnswer(static_cast<IHTMLBodyElement*>(this), out);
    if (iid == IID_IHTMLAnchorElement && tag == L"A")
        return FakeAnswer(static_cast<IHTMLAnchorElement*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
}

std::wstring FakeElement::Attribute(const std::wstring& name) const
{
    const auto found = attributes.find(Lower(name));
    return found != attributes.end() ? found->second : std::wstring();
}

HRESULT FakeElement::setAttribute(BSTR name, VARIANT value, LONG)
{
    const std::wstring key = Lower(BstrText(name));
    attributes[key] = VariantText(value);
    // The id attribute is the element's id, as in a real document.
    if (key == L"id")
        id = attributes[key];
    return S_OK;
}

HRESULT FakeElement::getAttribute(BSTR name, LONG, VARIANT* value)
{
    if (!value)
        return E_POINTER;
    const auto found = attributes.find(Lower(BstrText(name)));
    if (found == attributes.end()) {
        VariantInit(value);
        value->vt = VT_NULL;
        return S_OK;
    }
    return ReturnVariantText(found->second, value);
}

HRESULT FakeElement::get_id(BSTR* out)
{
    return ReturnText(id, out);
}

HRESULT FakeElement::get_tagName(BSTR* out)
{
    return ReturnText(tag, out);
}

HRESULT FakeElement::get_parentElement(IHTMLElement** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    return parent ? parent->QueryInterface(IID_PPV_ARGS(out)) : S_OK;
}

HRESULT FakeElement::get_style(IHTMLStyle** out)
{
    if (!out)
        return E_POINTER;
    return style->QueryInterface(IID_PPV_ARGS(out));
}

HRESULT FakeElement::put_innerHTML(BSTR html)
{
    innerHtml = BstrText(html);
    return S_OK;
}

HRESULT FakeElement::get_innerHTML(BSTR* html)
{
    return ReturnText(innerHtml, html);
}

HRESULT FakeElement::put_innerText(BSTR text)
{
    innerHtml = EscapedText(BstrText(text));
    return S_OK;
}

HRESULT FakeElement::get_innerText(BSTR* text)
{
    // Good enough for the fake: the markup without its tags.
    std::wstring plain;
    bool inTag = false;
    for (wchar_t c : innerHtml) {
        if (c == L'<')
            inTag = true;
        else if (c == L'>')
            inTag = false;
        else if (!inTag)
            plain.push_back(c);
    }
    return ReturnText(plain, text);
}

HRESULT FakeElement::put_outerHTML(BSTR html)
{
    outerHtmlSet = BstrText(html);
    return S_OK;
}

HRESULT FakeElement::get_outerHTML(BSTR* html)
{
    std::wstring open = L"<" + tag;
    for (const auto& attribute : attributes)
        open += L" " + attribute.first + L"=\"" + attribute.second + L"\"";
    return ReturnText(open + L">" + innerHtml + L"</" + tag + L">", html);
}

HRESULT FakeElement::insertAdjacentHTML(BSTR where, BSTR html)
{
    insertions.push_back(BstrText(where) + L"|html|" + BstrText(html));
    if (Lower(BstrText(where)) == L"beforeend")
        innerHtml += BstrText(html);
    return S_OK;
}

HRESULT FakeElement::insertAdjacentText(BSTR where, BSTR text)
{
    insertions.push_back(BstrText(where) + L"|text|" + BstrText(text));
    if (Lower(BstrText(where)) == L"beforeend")
        innerHtml += EscapedText(BstrText(text));
    return S_OK;
}

HRESULT FakeElement::createTextRange(IHTMLTxtRange** range)
{
    if (!range)
        return E_POINTER;
    document_->rangeLog.push_back(L"createTextRange:" + tag);
    *range = new FakeTextRange(document_, this, std::wstring());
    return S_OK;
}

HRESULT FakeElement::put_bgColor(VARIANT color)
{
    bgColor = VariantText(color);
    return S_OK;
}

HRESULT FakeElement::get_bgColor(VARIANT* color)
{
    return ReturnVariantText(bgColor, color);
}

HRESULT FakeElement::put_href(BSTR href)
{
    attributes[L"href"] = BstrText(href);
    return S_OK;
}

HRESULT FakeElement::get_href(BSTR* href)
{
    return ReturnText(Attribute(L"href"), href);
}

// --- FakeStyle ---------------------------------------------------------------------

HRESULT FakeStyle::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLStyle)
        return FakeAnswer(static_cast<IHTMLStyle*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
}

std::wstring FakeStyle::Get(const std::wstring& name) const
{
    const auto found = properties.find(name);
    return found != properties.end() ? found->second : std::wstring();
}

HRESULT FakeStyle::put_color(VARIANT value)
{
    properties[L"color"] = VariantText(value);
    return S_OK;
}

HRESULT FakeStyle::get_color(VARIANT* value)
{
    return ReturnVariantText(Get(L"color"), value);
}

HRESULT FakeStyle::put_backgroundColor(VARIANT value)
{
    properties[L"backgroundColor"] = VariantText(value);
    return S_OK;
}

HRESULT FakeStyle::get_backgroundColor(VARIANT* value)
{
    return ReturnVariantText(Get(L"backgroundColor"), value);
}

HRESULT FakeStyle::put_border(BSTR value)
{
    properties[L"border"] = BstrText(value);
    return S_OK;
}

HRESULT FakeStyle::get_border(BSTR* value)
{
    return ReturnText(Get(L"border"), value);
}

HRESULT FakeStyle::put_display(BSTR value)
{
    properties[L"display"] = BstrText(value);
    return S_OK;
}

HRESULT FakeStyle::get_display(BSTR* value)
{
    return ReturnText(Get(L"display"), value);
}

// --- FakeDocument ----------------------------------------------------------------

FakeDocument::FakeDocument(const std::wstring& address)
    : url(address), events_(new FakeConnectionPoint(DIID_HTMLDocumentEvents2))
{
    events_->Release(); // the ComPtr holds the one reference
    FakeScript* script = new FakeScript(this);
    *script_.ReleaseAndGetAddressOf() = script;
    *body_.ReleaseAndGetAddressOf() = new FakeElement(this, L"BODY", L"");
    elements_.push_back(body_);
    if (url.compare(0, 6, L"res://") == 0)
        LoadResourcePage();
    else
        LoadFilePage();
}

FakeDocument::~FakeDocument()
{
    static_cast<FakeScript*>(script_.Get())->Forget();
}

HRESULT FakeDocument::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLDocument || iid == IID_IHTMLDocument2)
        return FakeAnswer(static_cast<IHTMLDocument2*>(this), out);
    if (iid == IID_IHTMLDocument3)
        return FakeAnswer(static_cast<IHTMLDocument3*>(this), out);
    if (iid == IID_IOleCommandTarget)
        return FakeAnswer(static_cast<IOleCommandTarget*>(this), out);
    if (iid == IID_IConnectionPointContainer)
        return FakeAnswer(static_cast<IConnectionPointContainer*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
}

void FakeDocument::LoadResourcePage()
{
    // "res://<library>/<name>": the library is looked for beside the test
    // program, where the build puts its copies.
    const std::wstring rest = url.substr(6);
    const size_t slash = rest.find(L'/');
    if (slash == std::wstring::npos)
        return;
    const std::wstring library = rest.substr(0, slash);
    std::wstring name = rest.substr(rest.rfind(L'/') + 1);
    name = name.substr(0, name.find_first_of(L"?#"));
    HMODULE module = LoadLibraryExW((ExeFolder() + library).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return;
    std::string bytes;
    if (HRSRC found = FindResourceW(module, name.c_str(), MAKEINTRESOURCEW(23))) {
        if (HGLOBAL loaded = LoadResource(module, found)) {
            const char* data = static_cast<const char*>(LockResource(loaded));
            bytes.assign(data, SizeofResource(module, found));
        }
    }
    FreeLibrary(module);
    AddElementsOf(Utf8ToWide(bytes));
}

void FakeDocument::LoadFilePage()
{
    // A local page: a drive path, or a file: address of one.
    std::wstring path = url;
    if (_wcsnicmp(path.c_str(), L"file:", 5) == 0) {
        wchar_t local[MAX_PATH] = {};
        DWORD size = ARRAYSIZE(local);
        if (FAILED(PathCreateFromUrlW(url.c_str(), local, &size, 0)))
            return;
        path = local;
    }
    if (path.size() < 3 || path[1] != L':')
        return;
    const std::string bytes = ReadFileBytes(path);
    if (bytes.empty())
        return;
    AddElementsOf(Utf8ToWide(bytes));
}

bool FakeDocument::Defines(const std::wstring& name) const
{
    return !scriptDefinesFunctions ||
           std::find(definedFunctions.begin(), definedFunctions.end(), name) != definedFunctions.end();
}

void FakeDocument::AddElementsOf(const std::wstring& page)
{
    // A page with scripts knows the functions it defines, and only those.
    for (size_t at = page.find(L"function "); at != std::wstring::npos; at = page.find(L"function ", at + 1)) {
        size_t start = at + 9;
        size_t end = start;
        while (end < page.size() && (std::iswalnum(page[end]) || page[end] == L'_'))
            ++end;
        if (end > start) {
            definedFunctions.push_back(page.substr(start, end - start));
            scriptDefinesFunctions = true;
        }
    }

    for (size_t open = page.find(L'<'); open != std::wstring::npos; open = page.find(L'<', open + 1)) {
        size_t nameEnd = open + 1;
        while (nameEnd < page.size() && std::iswalnum(page[nameEnd]))
            ++nameEnd;
        if (nameEnd == open + 1)
            continue;
        const size_t close = page.find(L'>', nameEnd);
        if (close == std::wstring::npos)
            break;
        const std::wstring tag = Upper(page.substr(open + 1, nameEnd - open - 1));
        const auto attributes = ParseAttributes(page.substr(nameEnd, close - nameEnd));
        if (tag == L"TITLE") {
            const size_t end = page.find(L"</", close);
            title = page.substr(close + 1, end == std::wstring::npos ? 0 : end - close - 1);
        }
        if (tag == L"BODY") {
            body_->attributes.insert(attributes.begin(), attributes.end());
            const auto id = attributes.find(L"id");
            if (id != attributes.end())
                body_->id = id->second;
            continue;
        }
        // Elements a client finds by id, and those it finds by tag name.
        const auto id = attributes.find(L"id");
        const bool byTag = tag == L"BASE" || tag == L"LINK";
        if (id == attributes.end() && !byTag)
            continue;
        FakeElement* element = AddElement(tag, id != attributes.end() ? id->second : std::wstring());
        element->attributes.insert(attributes.begin(), attributes.end());
    }
}

FakeElement* FakeDocument::AddElement(const std::wstring& tag, const std::wstring& id, FakeElement* parent)
{
    ComPtr<FakeElement> element;
    *element.ReleaseAndGetAddressOf() = new FakeElement(this, tag, id);
    element->parent = parent ? parent : body_.Get();
    elements_.push_back(element);
    return element.Get();
}

FakeElement* FakeDocument::ElementById(const std::wstring& id) const
{
    for (const ComPtr<FakeElement>& element : elements_) {
        if (!id.empty() && element->id == id)
            return element.Get();
    }
    return nullptr;
}

std::vector<FakeElement*> FakeDocument::ElementsByTag(const std::wstring& tag) const
{
    std::vector<FakeElement*> found;
    for (const ComPtr<FakeElement>& element : elements_) {
        if (element->tag == Upper(tag))
            found.push_back(element.Get());
    }
    return found;
}

void FakeDocument::RaiseEvent(DISPID id, IDispatch* eventObject)
{
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_DISPATCH;
    argument.pdispVal = eventObject;
    DISPPARAMS params = {};
    params.cArgs = 1;
    params.rgvarg = &argument;
    events_->Raise(id, &params);
}

HRESULT FakeDocument::get_Script(IDispatch** script)
{
    if (!script)
        return E_POINTER;
    return script_->QueryInterface(IID_PPV_ARGS(script));
}

HRESULT FakeDocument::get_body(IHTMLElement** body)
{
    if (!body)
        return E_POINTER;
    return body_->QueryInterface(IID_PPV_ARGS(body));
}

HRESULT FakeDocument::get_selection(IHTMLSelectionObject** selection)
{
    if (!selection)
        return E_POINTER;
    *selection = new FakeSelection(this);
    return S_OK;
}

HRESULT FakeDocument::get_designMode(BSTR* mode)
{
    return ReturnText(designMode, mode);
}

HRESULT FakeDocument::put_designMode(BSTR mode)
{
    designMode = BstrText(mode);
    return S_OK;
}

HRESULT FakeDocument::get_title(BSTR* text)
{
    return ReturnText(title, text);
}

HRESULT FakeDocument::put_title(BSTR text)
{
    title = BstrText(text);
    return S_OK;
}

HRESULT FakeDocument::get_URL(BSTR* text)
{
    return ReturnText(url, text);
}

HRESULT FakeDocument::write(SAFEARRAY* text)
{
    if (!text)
        return E_INVALIDARG;
    VARTYPE type = VT_EMPTY;
    if (FAILED(SafeArrayGetVartype(text, &type)) || type != VT_VARIANT || SafeArrayGetDim(text) != 1)
        return E_INVALIDARG;
    LONG low = 0;
    LONG high = -1;
    SafeArrayGetLBound(text, 1, &low);
    SafeArrayGetUBound(text, 1, &high);
    for (LONG i = low; i <= high; ++i) {
        VARIANT item;
        VariantInit(&item);
        if (SUCCEEDED(SafeArrayGetElement(text, &i, &item)))
            written.push_back(VariantText(item));
        VariantClear(&item);
    }
    return S_OK;
}

HRESULT FakeDocument::close()
{
    ++closes;
    return S_OK;
}

HRESULT FakeDocument::getElementById(BSTR id, IHTMLElement** element)
{
    if (!element)
        return E_POINTER;
    *element = nullptr;
    FakeElement* found = ElementById(BstrText(id));
    return found ? found->QueryInterface(IID_PPV_ARGS(element)) : S_OK;
}

HRESULT FakeDocument::getElementsByTagName(BSTR tag, IHTMLElementCollection** elements)
{
    if (!elements)
        return E_POINTER;
    const std::wstring wanted = Upper(BstrText(tag));
    std::vector<ComPtr<FakeElement>> matching;
    for (const ComPtr<FakeElement>& element : elements_) {
        if (wanted == L"*" || element->tag == wanted)
            matching.push_back(element);
    }
    *elements = new FakeElementCollection(std::move(matching));
    return S_OK;
}

HRESULT FakeDocument::QueryStatus(const GUID*, ULONG count, OLECMD commands[], OLECMDTEXT*)
{
    if (!commands)
        return E_POINTER;
    for (ULONG i = 0; i < count; ++i) {
        const auto state = commandStates.find(commands[i].cmdID);
        commands[i].cmdf = state != commandStates.end() ? state->second : (OLECMDF_SUPPORTED | OLECMDF_ENABLED);
    }
    return S_OK;
}

HRESULT FakeDocument::Exec(const GUID* group, DWORD id, DWORD option, VARIANT* in, VARIANT* out)
{
    if (out && (!in || in->vt == VT_EMPTY)) {
        VariantInit(out);
        if (const auto text = commandTexts.find(id); text != commandTexts.end()) {
            out->vt = VT_BSTR;
            out->bstrVal = NewBstr(text->second);
        } else if (const auto number = commandNumbers.find(id); number != commandNumbers.end()) {
            out->vt = VT_I4;
            out->lVal = number->second;
        }
    }
    ExecCall call = {};
    call.group = group ? *group : GUID_NULL;
    call.id = id;
    call.option = option;
    call.hasInput = in != nullptr;
    call.inputType = in ? in->vt : static_cast<VARTYPE>(VT_EMPTY);
    if (in)
        call.input = VariantText(*in);
    execs.push_back(call);
    return S_OK;
}

HRESULT FakeDocument::FindConnectionPoint(REFIID iid, IConnectionPoint** point)
{
    if (!point)
        return E_POINTER;
    *point = nullptr;
    if (iid != DIID_HTMLDocumentEvents2)
        return CONNECT_E_NOCONNECTION;
    return events_->QueryInterface(IID_PPV_ARGS(point));
}

// --- FakeEventObj -----------------------------------------------------------------

HRESULT FakeEventObj::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLEventObj)
        return FakeAnswer(static_cast<IHTMLEventObj*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT FakeEventObj::get_keyCode(LONG* code)
{
    if (!code)
        return E_POINTER;
    *code = keyCode;
    return S_OK;
}

HRESULT FakeEventObj::put_keyCode(LONG code)
{
    keyCode = code;
    return S_OK;
}

HRESULT FakeEventObj::get_ctrlKey(VARIANT_BOOL* down)
{
    if (!down)
        return E_POINTER;
    *down = ctrl ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT FakeEventObj::get_shiftKey(VARIANT_BOOL* down)
{
    if (!down)
        return E_POINTER;
    *down = shift ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT FakeEventObj::get_altKey(VARIANT_BOOL* down)
{
    if (!down)
        return E_POINTER;
    *down = alt ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT FakeEventObj::get_returnValue(VARIANT* value)
{
    return ReturnVariantText(returnValue, value);
}

HRESULT FakeEventObj::put_returnValue(VARIANT value)
{
    returnValue = VariantText(value);
    return S_OK;
}

HRESULT FakeEventObj::get_cancelBubble(VARIANT_BOOL* cancel)
{
    if (!cancel)
        return E_POINTER;
    *cancel = cancelBubble ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT FakeEventObj::put_cancelBubble(VARIANT_BOOL cancel)
{
    cancelBubble = cancel != VARIANT_FALSE;
    return S_OK;
}

HRESULT FakeEventObj::get_type(BSTR* text)
{
    return ReturnText(type, text);
}
