// The fake control itself, where later surfaces rely on it: script calls
// by name through the document's script object, and a page that is not
// ready for them.
#include "HtmlTestSupport.h"

#include <string>
#include <vector>

namespace {

class FakeScriptTest : public HtmlTest {
protected:
    // Calls the page's function `name` the way a surface does: id by name
    // from document.Script, then Invoke with the arguments last first.
    HRESULT CallScript(IHTMLDocument2* document, const wchar_t* name, std::vector<std::wstring> arguments)
    {
        ComPtr<IDispatch> script;
        HRESULT hr = document->get_Script(&script);
        if (FAILED(hr))
            return hr;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = DISPID_UNKNOWN;
        hr = script->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(hr))
            return hr;
        std::vector<VARIANT> values(arguments.size());
        for (size_t i = 0; i < arguments.size(); ++i) {
            VARIANT& value = values[arguments.size() - 1 - i];
            VariantInit(&value);
            value.vt = VT_BSTR;
            value.bstrVal = SysAllocString(arguments[i].c_str());
        }
        DISPPARAMS params = {};
        params.cArgs = static_cast<UINT>(values.size());
        params.rgvarg = values.empty() ? nullptr : values.data();
        VARIANT result;
        VariantInit(&result);
        hr = script->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
        VariantClear(&result);
        for (VARIANT& value : values)
            VariantClear(&value);
        return hr;
    }
};

TEST_F(FakeScriptTest, RecordsCallsByNameAndFailsWhereThePageWould)
{
    TestWindow host;
    RecordingBrowser browser;
    ASSERT_TRUE(browser.CreateBrowser(GetModuleHandleW(nullptr), host.Hwnd(), 0));
    ASSERT_EQ(S_OK, browser.Navigate(L"res://VLMMedia.dll/Input.htm", true));
    ComPtr<IHTMLDocument2> document = browser.Document();
    FakeDocument* fake = Fake()->Document();

    EXPECT_EQ(S_OK, CallScript(document.Get(), L"AddMsg", {L"<b>hi</b>", L"IncomingNew.htm"}));
    ASSERT_EQ(1u, fake->scriptCalls.size());
    EXPECT_EQ(L"AddMsg", fake->scriptCalls[0].name);
    EXPECT_EQ((std::vector<std::wstring>{L"<b>hi</b>", L"IncomingNew.htm"}), fake->scriptCalls[0].arguments);

    fake->scriptFails = true;
    EXPECT_EQ(DISP_E_EXCEPTION, CallScript(document.Get(), L"AddMsg", {L"x"}));
    EXPECT_EQ(2u, fake->scriptCalls.size());

    fake->scriptReady = false;
    EXPECT_EQ(DISP_E_UNKNOWNNAME, CallScript(document.Get(), L"VerifyImg", {L"C:\\a.png"}));
    EXPECT_EQ(2u, fake->scriptCalls.size());
    browser.DestroyBrowser();
}

} // namespace
