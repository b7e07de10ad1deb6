// The document side of the fake browser control: a document with a body and
// elements found by id or tag name, a selection with text ranges, the
// editing command target, the page's script functions called by name, and
// the HTMLDocumentEvents2 connection point. Every call the client makes is
// recorded in public fields for the tests to read; what the client should
// find (the selection, command states, whether the page's scripts answer)
// is set the same way.
//
// A page from a resource library ("res://VLMMedia.dll/About.htm") is read
// from the library beside the test program, and a local page (a drive path
// or a file: address) from the disk; each of its tags that has an id, and
// each BASE and LINK tag, becomes an element with that tag's attributes, so
// a test sees the elements our pages really contain.
#pragma once

#include "FakeCom.h"

#include <map>
#include <string>
#include <vector>

class FakeDocument;
class FakeStyle;

class FakeElement final : public Stub_IHTMLElement,
                          public Stub_IHTMLBodyElement,
                          public Stub_IHTMLAnchorElement,
                          public FakeObject {
public:
    FakeElement(FakeDocument* document, const std::wstring& tag, const std::wstring& id);
    FAKE_REFCOUNT

    // IHTMLElement
    HRESULT STDMETHODCALLTYPE setAttribute(BSTR name, VARIANT value, LONG flags) override;
    HRESULT STDMETHODCALLTYPE getAttribute(BSTR name, LONG flags, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE get_id(BSTR* id) override;
    HRESULT STDMETHODCALLTYPE get_tagName(BSTR* tag) override;
    HRESULT STDMETHODCALLTYPE get_parentElement(IHTMLElement** parent) override;
    HRESULT STDMETHODCALLTYPE get_style(IHTMLStyle** style) override;
    HRESULT STDMETHODCALLTYPE put_innerHTML(BSTR html) override;
    HRESULT STDMETHODCALLTYPE get_innerHTML(BSTR* html) override;
    HRESULT STDMETHODCALLTYPE put_innerText(BSTR text) override;
    HRESULT STDMETHODCALLTYPE get_innerText(BSTR* text) override;
    HRESULT STDMETHODCALLTYPE put_outerHTML(BSTR html) override;
    HRESULT STDMETHODCALLTYPE get_outerHTML(BSTR* html) override;
    HRESULT STDMETHODCALLTYPE insertAdjacentHTML(BSTR where, BSTR html) override;
    HRESULT STDMETHODCALLTYPE insertAdjacentText(BSTR where, BSTR text) override;

    // IHTMLBodyElement (answered for BODY only)
    HRESULT STDMETHODCALLTYPE createTextRange(IHTMLTxtRange** range) override;
    HRESULT STDMETHODCALLTYPE put_bgColor(VARIANT color) override;
    HRESULT STDMETHODCALLTYPE get_bgColor(VARIANT* color) override;

    // IHTMLAnchorElement (answered for A only)
    HRESULT STDMETHODCALLTYPE put_href(BSTR href) override;
    HRESULT STDMETHODCALLTYPE get_href(BSTR* href) override;

    std::wstring Attribute(const std::wstring& name) const;

    std::wstring tag;          // upper case
    std::wstring id;
    std::map<std::wstring, std::wstring> attributes; // names lower case
    std::wstring innerHtml;
    std::wstring outerHtmlSet; // the last outerHTML the client gave
    std::wstring bgColor;
    // insertAdjacentHTML/Text calls: "<where>|html|<text>" or "<where>|text|<text>".
    std::vector<std::wstring> insertions;
    FakeElement* parent = nullptr;
    ComPtr<FakeStyle> style;

private:
    ~FakeElement() override;
    FakeDocument* document_;
};

// An element's style: the properties the client set, by name.
class FakeStyle final : public Stub_IHTMLStyle, public FakeObject {
public:
    FakeStyle() = default;
    FAKE_REFCOUNT

    HRESULT STDMETHODCALLTYPE put_color(VARIANT value) override;
    HRESULT STDMETHODCALLTYPE get_color(VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE put_backgroundColor(VARIANT value) override;
    HRESULT STDMETHODCALLTYPE get_backgroundColor(VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE put_border(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_border(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_display(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_display(BSTR* value) override;

    std::wstring Get(const std::wstring& name) const;
    std::map<std::wstring, std::wstring> properties;

private:
    ~FakeStyle() override = default;
};

// One script call the page received: the function and its arguments, first
// argument first.
struct ScriptCall {
    std::wstring name;
    std::vector<std::wstring> arguments;
};

// One IOleCommandTarget::Exec the document received.
struct ExecCall {
    GUID group;
    DWORD id;
    DWORD option;
    bool hasInput;
    std::wstring input; // VariantText of the input
    VARTYPE inputType;
};

class FakeDocument final : public Stub_IHTMLDocument2,
                           public Stub_IHTMLDocument3,
                           public Stub_IOleCommandTarget,
                           public Stub_IConnectionPointContainer,
                           public FakeObject {
public:
    // A document for `url`; pages from resource libraries are loaded.
    explicit FakeDocument(const std::wstring& url);
    FAKE_REFCOUNT

    // IHTMLDocument (script) and IHTMLDocument2
    HRESULT STDMETHODCALLTYPE get_Script(IDispatch** script) override;
    HRESULT STDMETHODCALLTYPE get_body(IHTMLElement** body) override;
    HRESULT STDMETHODCALLTYPE get_selection(IHTMLSelectionObject** selection) override;
    HRESULT STDMETHODCALLTYPE get_designMode(BSTR* mode) override;
    HRESULT STDMETHODCALLTYPE put_designMode(BSTR mode) override;
    HRESULT STDMETHODCALLTYPE get_title(BSTR* title) override;
    HRESULT STDMETHODCALLTYPE put_title(BSTR title) override;
    HRESULT STDMETHODCALLTYPE get_URL(BSTR* url) override;
    HRESULT STDMETHODCALLTYPE write(SAFEARRAY* text) override;
    HRESULT STDMETHODCALLTYPE close() override;

    // IHTMLDocument3
    HRESULT STDMETHODCALLTYPE getElementById(BSTR id, IHTMLElement** element) override;
    HRESULT STDMETHODCALLTYPE getElementsByTagName(BSTR tag, IHTMLElementCollection** elements) override;

    // IOleCommandTarget
    HRESULT STDMETHODCALLTYPE QueryStatus(const GUID* group, ULONG count, OLECMD commands[],
                                          OLECMDTEXT* text) override;
    HRESULT STDMETHODCALLTYPE Exec(const GUID* group, DWORD id, DWORD option, VARIANT* in, VARIANT* out) override;

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

    // Adds an element under the body (or `parent`).
    FakeElement* AddElement(const std::wstring& tag, const std::wstring& id, FakeElement* parent = nullptr);
    FakeElement* ElementById(const std::wstring& id) const;
    // The elements of a tag (upper case), in document order.
    std::vector<FakeElement*> ElementsByTag(const std::wstring& tag) const;
    FakeElement* Body() const { return body_.Get(); }
    FakeConnectionPoint& Events() { return *events_.Get(); }

    // Raises one of HTMLDocumentEvents2 with an event object.
    void RaiseEvent(DISPID id, IDispatch* eventObject);

    std::wstring url;
    std::wstring title;
    std::wstring designMode = L"Inherit";
    std::vector<std::wstring> written;
    int closes = 0;

    // The selection the client finds: "None", "Text" or "Control"; the
    // selected text; the element around it.
    std::wstring selectionType = L"None";
    std::wstring selectionText;
    FakeElement* selectionParent = nullptr;
    // The text before the caret, which a range reaches by moving its start
    // back (the editor reads typed words and shortcuts this way).
    std::wstring textBeforeCaret;
    // What the client did with ranges and the selection, in order:
    // "clear", "pasteHTML:<html>", "createTextRange:<TAG>", "collapse:start"
    // or "collapse:end", "moveStart:<count>", "select".
    std::vector<std::wstring> rangeLog;

    std::vector<ExecCall> execs;
    // QueryStatus answers: OLECMDF_* per command; commands not listed are
    // supported and enabled.
    std::map<DWORD, DWORD> commandStates;
    // What an Exec asked for a value (no input, an output) answers: text
    // (a face name) or a number (a size, a COLORREF). A command without an
    // answer leaves the output empty.
    std::map<DWORD, std::wstring> commandTexts;
    std::map<DWORD, long> commandNumbers;

    // The page's scripts: with scriptReady false no function is known (a
    // page still loading); scriptFails makes every call fail.
    bool scriptReady = true;
    bool scriptFails = false;
    // Calls with an argument containing this text throw (a script that
    // chokes on one message).
    std::wstring scriptRefusesText;
    std::wstring scriptResult;
    std::vector<ScriptCall> scriptCalls;
    // The functions the loaded page defines; a page with none (or no page)
    // answers to any name.
    std::vector<std::wstring> definedFunctions;
    bool scriptDefinesFunctions = false;
    bool Defines(const std::wstring& name) const;

private:
    ~FakeDocument() override;
    void LoadResourcePage();
    void LoadFilePage();
    void AddElementsOf(const std::wstring& page);

    ComPtr<FakeElement> body_;
    std::vector<ComPtr<FakeElement>> elements_;
    ComPtr<FakeConnectionPoint> events_;
    ComPtr<IDispatch> script_;
};

// An event object of HTMLDocumentEvents2, as the document passes it.
class FakeEventObj final : public Stub_IHTMLEventObj, public FakeObject {
public:
    FakeEventObj() = default;
    FAKE_REFCOUNT

    HRESULT STDMETHODCALLTYPE get_keyCode(LONG* code) override;
    HRESULT STDMETHODCALLTYPE put_keyCode(LONG code) override;
    HRESULT STDMETHODCALLTYPE get_ctrlKey(VARIANT_BOOL* down) override;
    HRESULT STDMETHODCALLTYPE get_shiftKey(VARIANT_BOOL* down) override;
    HRESULT STDMETHODCALLTYPE get_altKey(VARIANT_BOOL* down) override;
    HRESULT STDMETHODCALLTYPE get_returnValue(VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE put_returnValue(VARIANT value) override;
    HRESULT STDMETHODCALLTYPE get_cancelBubble(VARIANT_BOOL* cancel) override;
    HRESULT STDMETHODCALLTYPE put_cancelBubble(VARIANT_BOOL cancel) override;
    HRESULT STDMETHODCALLTYPE get_type(BSTR* type) override;

    LONG keyCode = 0;
    bool ctrl = false;
    bool shift = false;
    bool alt = false;
    std::wstring type;
    std::wstring returnValue;
    bool cancelBubble = false;

private:
    ~FakeEventObj() override = default;
};
