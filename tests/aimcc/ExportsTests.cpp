// acccore.dll as the client sees it: loaded from beside the program, its
// exports bound by ordinal, and the string and variant helpers with the
// failures that the client-side wrappers turn into CAccException.
#include "AccHelpers.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <string>

using namespace AIMCC;
using Microsoft::WRL::ComPtr;

namespace {

class ExportsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_HRESULT_SUCCEEDED(library_.Load((ExeFolder() + L"acccore.dll").c_str())); }

    CAccLibrary library_;
};

std::wstring Text(const CAccString& s)
{
    return std::wstring(s.Text(), s.Length());
}

TEST_F(ExportsTest, EveryOrdinalIsExportedUnderItsNumber)
{
    const WORD ordinals[] = {111, 130, 140, 141, 142, 143, 144, 151, 152, 160, 161, 163, 167, 168, 169};
    for (WORD ordinal : ordinals)
        EXPECT_NE(GetProcAddress(library_.Module(), MAKEINTRESOURCEA(ordinal)), nullptr) << ordinal;
    // Nothing is exported by a number the header does not name.
    EXPECT_EQ(GetProcAddress(library_.Module(), MAKEINTRESOURCEA(112)), nullptr);
}

TEST_F(ExportsTest, CarriesAFileVersion)
{
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(library_.Module(), path, ARRAYSIZE(path)), 0u);
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &handle);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, block.data()));
    wchar_t* version = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\FileVersion",
                               reinterpret_cast<void**>(&version), &length));
    EXPECT_STREQ(version, L"0.1.0.0");
}

TEST_F(ExportsTest, MakesFillsMeasuresAndFreesStrings)
{
    CAccString made(L"Velmora");
    EXPECT_EQ(Text(made), L"Velmora");
    EXPECT_EQ(made.Length(), 7u);

    made.Assign(L"a longer text than before");
    EXPECT_EQ(Text(made), L"a longer text than before");
    made.Assign(nullptr);
    EXPECT_TRUE(made.Empty());

    CAccString fromNull(nullptr);
    ASSERT_NE(fromNull.Get(), nullptr);
    EXPECT_EQ(fromNull.Length(), 0u);

    // 141 on an empty slot makes a new string.
    BSTR slot = nullptr;
    AccFillString(&slot, L"fresh");
    EXPECT_STREQ(slot, L"fresh");
    AccApi().StringFree2(slot);

    // 160 keeps embedded zeros and counts them; 143 of null is 0.
    BSTR withZero = nullptr;
    ASSERT_HRESULT_SUCCEEDED(AccApi().StringAllocLen(L"a\0b", 3, &withZero));
    EXPECT_EQ(AccApi().StringLen(withZero), 3u);
    AccApi().StringFree(withZero);
    EXPECT_EQ(AccApi().StringLen(nullptr), 0u);
    AccApi().StringFree(nullptr);
}

struct CompareCase {
    const wchar_t* a;
    const wchar_t* b;
    int sign;     // -1, 0, 1
};

TEST_F(ExportsTest, ComparesScreenNamesIgnoringCaseAndSpaces)
{
    const CompareCase cases[] = {
        {L"Foo Bar", L"foobar", 0},
        {L"FOOBAR", L"foo bar", 0},
        {L" f o o ", L"FOO", 0},
        {L"Foo Bar Baz", L"foobarbaz", 0},
        {L"abc", L"abd", -1},
        {L"abd", L"abc", 1},
        {L"foo", L"foo1", -1},
        {L"a", L"", 1},
        {L"", nullptr, 0},
        {L"   ", L"", 0},
        {L"alice", L"Alice2", -1},
    };
    for (const CompareCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        CAccString a(c.a);
        int result = AccApi().StringCompare(a.Get(), c.b);
        int sign = result < 0 ? -1 : result > 0 ? 1 : 0;
        EXPECT_EQ(sign, c.sign);
        EXPECT_EQ(AccSameScreenName(a.Get(), c.b), c.sign == 0);
    }
    // A null string is the empty name.
    EXPECT_EQ(AccApi().StringCompare(nullptr, L""), 0);
    EXPECT_NE(AccApi().StringCompare(nullptr, L"x"), 0);
}

TEST_F(ExportsTest, NormalisesScreenNames)
{
    const struct {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {{L"Foo Bar", L"foobar"}, {L"ALICE", L"alice"}, {L"", L""}, {L"  x  y ", L"xy"}};
    for (const auto& c : cases) {
        CAccString out;
        ASSERT_HRESULT_SUCCEEDED(AccApi().StringNormalize(c.in, out.Out()));
        EXPECT_EQ(Text(out), c.out);
    }
}

TEST_F(ExportsTest, ClearsCopiesAndConvertsVariants)
{
    VARIANT text;
    AccApi().VariantInit(&text);
    EXPECT_EQ(text.vt, VT_EMPTY);
    ASSERT_HRESULT_SUCCEEDED(AccApi().VariantFromString(&text, L"-1"));
    ASSERT_EQ(text.vt, VT_BSTR);

    // A copy is deep: its own string with the same text.
    VARIANT copy;
    VariantInit(&copy);
    AccCopyVariant(&copy, &text);
    ASSERT_EQ(copy.vt, VT_BSTR);
    EXPECT_NE(copy.bstrVal, text.bstrVal);
    EXPECT_STREQ(copy.bstrVal, L"-1");

    // Text "-1" is the stored form of true.
    VARIANT flag;
    VariantInit(&flag);
    ASSERT_HRESULT_SUCCEEDED(AccApi().VariantChangeType(&flag, &text, 0, VT_BOOL));
    EXPECT_EQ(flag.vt, VT_BOOL);
    EXPECT_EQ(flag.boolVal, VARIANT_TRUE);

    // And back: booleans become "-1"/"0", numbers decimal text.
    CAccString asText;
    ASSERT_HRESULT_SUCCEEDED(AccApi().VariantToString(&flag, asText.Out()));
    EXPECT_EQ(Text(asText), L"-1");
    VARIANT number;
    VariantInit(&number);
    number.vt = VT_I4;
    number.lVal = 5190;
    ASSERT_HRESULT_SUCCEEDED(AccApi().VariantToString(&number, asText.Out()));
    EXPECT_EQ(Text(asText), L"5190");

    VARIANT word;
    VariantInit(&word);
    ASSERT_HRESULT_SUCCEEDED(AccApi().VariantFromString(&word, L"abc"));
    VARIANT notNumber;
    VariantInit(&notNumber);
    EXPECT_EQ(AccApi().VariantChangeType(&notNumber, &word, 0, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_HRESULT_SUCCEEDED(AccApi().VariantClear(&word));

    EXPECT_HRESULT_SUCCEEDED(AccApi().VariantClear(&copy));
    EXPECT_EQ(copy.vt, VT_EMPTY);
    EXPECT_HRESULT_SUCCEEDED(AccApi().VariantClear(&text));
    EXPECT_EQ(AccApi().VariantClear(nullptr), E_POINTER);
}

// The wrappers of 140, 141 and 152 throw what the DLL returned.
TEST_F(ExportsTest, WrappersThrowTheResultOfAFailedCall)
{
    try {
        AccFillString(nullptr, L"x");
        ADD_FAILURE() << "no exception";
    } catch (const CAccException& e) {
        EXPECT_EQ(e.Error(), E_POINTER);
    }

    VARIANT bad;
    VariantInit(&bad);
    bad.vt = 0x0FFF;   // not a type any variant can have
    VARIANT copy;
    VariantInit(&copy);
    try {
        AccCopyVariant(&copy, &bad);
        ADD_FAILURE() << "no exception";
    } catch (const CAccException& e) {
        EXPECT_EQ(e.Error(), DISP_E_BADVARTYPE);
    }
    EXPECT_EQ(copy.vt, VT_EMPTY);
}

TEST_F(ExportsTest, WrappersThrowWhenTheLayerIsNotLoaded)
{
    library_.Unload();
    EXPECT_FALSE(AccApi().Bound());
    try {
        AccMakeString(L"x");
        ADD_FAILURE() << "no exception";
    } catch (const CAccException& e) {
        EXPECT_EQ(e.Error(), CO_E_DLLNOTFOUND);
    }
    ComPtr<IAccSession> session;
    EXPECT_EQ(AccCreateSession(session.GetAddressOf()), CO_E_DLLNOTFOUND);
}

TEST(ExportsLoad, AMissingLibraryIsReportedNotThrown)
{
    CAccLibrary library;
    HRESULT hr = library.Load(L"Z:\\no\\such\\folder\\acccore.dll");
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(HRESULT_FACILITY(hr), FACILITY_WIN32);
    EXPECT_FALSE(AccApi().Bound());
}

} // namespace
