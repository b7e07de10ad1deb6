// The preferences hook on a settings file of its own, called the way the AIM
// layer calls it: through the hook interfaces with BSTRs and VARIANTs.
#include "AppState.h"
#include "PreferenceStore.h"
#include "TestSupport.h"
#include "UserPrefs.h"

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

class Bstr {
public:
    explicit Bstr(const wchar_t* text) : s_(SysAllocString(text)) {}
    ~Bstr() { SysFreeString(s_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    operator BSTR() const { return s_; }

private:
    BSTR s_;
};

struct Variant {
    Variant() { VariantInit(&v); }
    ~Variant() { VariantClear(&v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT v;
};

// An object that is nothing but IUnknown: no text can be made of it.
class PlainObject : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (IsEqualIID(riid, IID_IUnknown)) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    ULONG refs = 1;
};

// A VT_ARRAY | VT_VARIANT list; the elements are copied in.
void MakeList(VARIANT& out, const std::vector<const VARIANT*>& elements)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(elements.size()));
    for (LONG i = 0; i < static_cast<LONG>(elements.size()); ++i)
        SafeArrayPutElement(array, &i, const_cast<VARIANT*>(elements[i]));
    out.vt = VT_ARRAY | VT_VARIANT;
    out.parray = array;
}

void MakeTextList(VARIANT& out, const std::vector<std::wstring>& texts)
{
    std::vector<VARIANT> elements(texts.size());
    std::vector<const VARIANT*> pointers;
    for (size_t i = 0; i < texts.size(); ++i) {
        elements[i].vt = VT_BSTR;
        elements[i].bstrVal = SysAllocString(texts[i].c_str());
        pointers.push_back(&elements[i]);
    }
    MakeList(out, pointers);
    for (VARIANT& element : elements)
        VariantClear(&element);
}

// The texts of a VT_ARRAY | VT_VARIANT list, or {"<not a list>"}.
std::vector<std::wstring> ListTexts(const VARIANT& value)
{
    if (value.vt != (VT_ARRAY | VT_VARIANT))
        return {L"<not a list>"};
    LONG lower = 0;
    LONG upper = -1;
    SafeArrayGetLBound(value.parray, 1, &lower);
    SafeArrayGetUBound(value.parray, 1, &upper);
    std::vector<std::wstring> texts;
    for (LONG i = lower; i <= upper; ++i) {
        Variant element;
        SafeArrayGetElement(value.parray, &i, &element.v);
        texts.push_back(element.v.vt == VT_BSTR ? std::wstring(element.v.bstrVal) : L"<not a text>");
    }
    return texts;
}

class UserPrefsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings().SetPath(folder.File(L"Velmora.ini").c_str());
        prefs = CUserPrefs::Create();
        ASSERT_TRUE(prefs);
    }
    void TearDown() override
    {
        prefs.Reset();
        Settings().SetPath(nullptr);
    }

    HRESULT Read(const wchar_t* name, Variant& out) { return prefs->ReadPreference(Bstr(name), &out.v); }
    std::vector<std::wstring> ReadList(const wchar_t* name)
    {
        Variant value;
        EXPECT_EQ(S_OK, Read(name, value)) << name;
        return ListTexts(value.v);
    }
    std::wstring ReadText(const wchar_t* name)
    {
        Variant value;
        EXPECT_EQ(S_OK, Read(name, value)) << name;
        return value.v.vt == VT_BSTR ? std::wstring(value.v.bstrVal) : L"<not a text>";
    }
    HRESULT WriteTextList(const wchar_t* name, const std::vector<std::wstring>& texts)
    {
        Variant list;
        MakeTextList(list.v, texts);
        return prefs->WritePreference(Bstr(name), list.v);
    }

    TempFolder folder;
    ComPtr<CUserPrefs> prefs;
};

TEST_F(UserPrefsTest, AnswersOnlyTheHookInterfaces)
{
    ComPtr<IUnknown> unknown;
    ComPtr<AIMCC::IAccPreferencesHook> hook;
    ComPtr<AIMCC::IAccPreferencesHook2> hook2;
    ASSERT_EQ(S_OK, prefs.As(&unknown));
    ASSERT_EQ(S_OK, prefs.As(&hook));
    ASSERT_EQ(S_OK, prefs.As(&hook2));
    EXPECT_EQ(static_cast<AIMCC::IAccPreferencesHook*>(hook2.Get()), hook.Get());
    ComPtr<IDispatch> dispatch;
    EXPECT_EQ(E_NOINTERFACE, prefs.As(&dispatch));
    EXPECT_EQ(nullptr, dispatch.Get());
    // The fixture's reference and one for each interface answered.
    EXPECT_EQ(5u, prefs->AddRef());
    EXPECT_EQ(4u, prefs->Release());
    unknown.Reset();
    hook.Reset();
    hook2.Reset();
    EXPECT_EQ(2u, prefs->AddRef());
    EXPECT_EQ(1u, prefs->Release());
}

TEST_F(UserPrefsTest, AListReplacesTheWholeSectionWithNumberedKeys)
{
    const wchar_t kName[] = L"aimcc.privacy.deniedUsers";
    ASSERT_EQ(S_OK, WriteTextList(kName, {L"x", L"y", L"z"}));
    ASSERT_EQ(S_OK, WriteTextList(kName, {L"a", L"b"}));

    EXPECT_EQ((std::vector<std::wstring>{L"0", L"1"}), Settings().KeyNames(kName));
    EXPECT_EQ(L"6100", Settings().GetString(kName, L"0"));
    EXPECT_EQ(L"6200", Settings().GetString(kName, L"1"));
    EXPECT_FALSE(Settings().KeyExists(L"aimcc.privacy", L"deniedUsers"));
}

TEST_F(UserPrefsTest, AListWinsOverASingleValueOfTheSameName)
{
    ASSERT_EQ(S_OK, WriteTextList(L"aimcc.privacy.deniedUsers", {L"a", L"b"}));
    const std::wstring single = L"single";
    Settings().WriteBinary(L"aimcc.privacy", L"deniedUsers", single.data(),
                           static_cast<DWORD>(single.size() * sizeof(wchar_t)));

    EXPECT_EQ((std::vector<std::wstring>{L"a", L"b"}), ReadList(L"aimcc.privacy.deniedUsers"));

    Variant children;
    ASSERT_EQ(S_OK, prefs->ListPreferenceChildren(Bstr(L"aimcc.privacy.deniedUsers"), &children.v));
    EXPECT_EQ((std::vector<std::wstring>{L"aimcc.privacy.deniedUsers.0", L"aimcc.privacy.deniedUsers.1"}),
              ListTexts(children.v));

    // Erasing takes the list; the single value shows again.
    EXPECT_EQ(S_OK, prefs->ErasePreference(Bstr(L"aimcc.privacy.deniedUsers")));
    EXPECT_EQ(single, ReadText(L"aimcc.privacy.deniedUsers"));
}

TEST_F(UserPrefsTest, WhatWasNeverWrittenIsNotSet)
{
    const std::wstring empty;
    Settings().WriteBinary(L"aimcc.connect", L"proxy", empty.data(), 0);
    Settings().WriteString(L"aimcc.folders", L"logs", L"not hex");
    for (const wchar_t* name : {L"aimcc.im.showTimeStamps", L"aimcc.connect.proxy", L"aimcc.folders.logs",
                                L"nodots"}) {
        Variant value;
        EXPECT_EQ(AIMCC::ACC_E_PREFERENCE_NOT_SET, Read(name, value)) << name;
        EXPECT_EQ(VT_EMPTY, value.v.vt) << name;
        Variant fallback;
        EXPECT_EQ(AIMCC::ACC_E_PREFERENCE_NOT_SET, prefs->ReadPreferenceDefault(Bstr(name), &fallback.v)) << name;
        Variant children;
        EXPECT_EQ(E_FAIL, prefs->ListPreferenceChildren(Bstr(name), &children.v)) << name;
    }
    EXPECT_EQ(E_FAIL, prefs->ErasePreference(Bstr(L"aimcc.im.showTimeStamps")));
}

TEST_F(UserPrefsTest, SingleValuesAreStoredAsTheirText)
{
    struct Case {
        VARTYPE type;
        LONG number;
        const wchar_t* text;
        const wchar_t* stored;
    } cases[] = {
        {VT_BOOL, VARIANT_TRUE, nullptr, L"-1"},
        {VT_BOOL, VARIANT_FALSE, nullptr, L"0"},
        {VT_I4, 5190, nullptr, L"5190"},
        {VT_I4, -7, nullptr, L"-7"},
        {VT_BSTR, 0, L"C:\\Logs\\J\u00f6rg", L"C:\\Logs\\J\u00f6rg"},
    };
    for (const Case& c : cases) {
        Variant value;
        value.v.vt = c.type;
        if (c.type == VT_BOOL)
            value.v.boolVal = static_cast<VARIANT_BOOL>(c.number);
        else if (c.type == VT_I4)
            value.v.lVal = c.number;
        else
            value.v.bstrVal = SysAllocString(c.text);
        ASSERT_EQ(S_OK, prefs->WritePreference(Bstr(L"aimcc.test.value"), value.v)) << c.stored;
        EXPECT_EQ(c.stored, ReadText(L"aimcc.test.value"));
        std::wstring raw;
        ASSERT_TRUE(CPreferenceStore(Settings()).ReadValue(L"aimcc.test.value", raw));
        EXPECT_EQ(c.stored, raw);
    }
}

TEST_F(UserPrefsTest, AListWithAnUnconvertibleElementLeavesTheStoredList)
{
    ASSERT_EQ(S_OK, WriteTextList(L"aimcc.privacy.permittedUsers", {L"x", L"y"}));

    PlainObject object;
    VARIANT text;
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(L"z");
    VARIANT unknown;
    unknown.vt = VT_UNKNOWN;
    unknown.punkVal = &object;
    Variant list;
    MakeList(list.v, {&text, &unknown});
    VariantClear(&text);

    EXPECT_EQ(E_INVALIDARG, prefs->WritePreference(Bstr(L"aimcc.privacy.permittedUsers"), list.v));
    EXPECT_EQ((std::vector<std::wstring>{L"x", L"y"}), ReadList(L"aimcc.privacy.permittedUsers"));

    // Neither a text nor a list.
    EXPECT_EQ(E_FAIL, prefs->WritePreference(Bstr(L"aimcc.privacy.permittedUsers"), unknown));
    EXPECT_EQ((std::vector<std::wstring>{L"x", L"y"}), ReadList(L"aimcc.privacy.permittedUsers"));
}

TEST_F(UserPrefsTest, ProtectedValuesRoundTripAndAreNotStoredPlain)
{
    const wchar_t kName[] = L"aimcc.security.certPassword";
    for (const wchar_t* secret : {L"welcome1", L"p\u00e4ss w\u00f6rd!", L"x"}) {
        Variant value;
        value.v.vt = VT_BSTR;
        value.v.bstrVal = SysAllocString(secret);
        ASSERT_EQ(S_OK, prefs->WriteProtectedPreference(Bstr(kName), value.v)) << secret;

        std::wstring stored;
        ASSERT_TRUE(CPreferenceStore(Settings()).ReadValue(kName, stored));
        EXPECT_NE(std::wstring(secret), stored);
        Variant plain;
        ASSERT_EQ(S_OK, prefs->ReadProtectedPreference(Bstr(kName), &plain.v)) << secret;
        ASSERT_EQ(VT_BSTR, plain.v.vt);
        EXPECT_EQ(std::wstring(secret), std::wstring(plain.v.bstrVal, SysStringLen(plain.v.bstrVal)));
    }
    EXPECT_EQ(S_OK, prefs->EraseProtectedPreference(Bstr(kName)));
    Variant gone;
    EXPECT_EQ(AIMCC::ACC_E_PREFERENCE_NOT_SET, prefs->ReadProtectedPreference(Bstr(kName), &gone.v));

    // A secret is one text: a list under the name is an error.
    ASSERT_EQ(S_OK, WriteTextList(kName, {L"a"}));
    Variant list;
    EXPECT_EQ(E_FAIL, prefs->ReadProtectedPreference(Bstr(kName), &list.v));
}

} // namespace
