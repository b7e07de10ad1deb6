#include "Ini.h"
#include "StringConv.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class IniTest : public ::testing::Test {
protected:
    void SetUp() override { ini.SetPath(file.c_str()); }

    // Lays down the file byte for byte, as a user or an older version left it.
    void WriteRaw(const std::string& text) { ASSERT_TRUE(WriteFileBytes(file, text)); }
    std::string Raw() const { return ReadFileBytes(file); }

    TempFolder folder;
    std::wstring file = folder.File(L"Velmora.ini");
    CIni ini;
};

TEST_F(IniTest, BooleansReadAsTheFileSpellsThem)
{
    WriteRaw("[G]\r\na=Yes\r\nb=2\r\nc=no\r\nd=abc\r\ne=\r\nf=TRUE\r\ng=0\r\nh=-3\r\n");
    struct Case {
        const wchar_t* key;
        bool whenDefaultFalse;
        bool whenDefaultTrue;
    } cases[] = {
        {L"a", true, true},   {L"b", true, true},   {L"c", false, false}, {L"d", false, false},
        {L"e", false, true},  {L"f", true, true},   {L"g", false, false}, {L"h", true, true},
        {L"missing", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.key));
        EXPECT_EQ(c.whenDefaultFalse, ini.GetBool(L"G", c.key, false));
        EXPECT_EQ(c.whenDefaultTrue, ini.GetBool(L"G", c.key, true));
    }
}

TEST_F(IniTest, WriteAndToggleBool)
{
    ini.WriteBool(L"G", L"k", true);
    EXPECT_EQ(L"1", ini.GetString(L"G", L"k"));
    ini.ToggleBool(L"G", L"k");
    EXPECT_EQ(L"0", ini.GetString(L"G", L"k"));
    ini.ToggleBool(L"G", L"absent");
    EXPECT_TRUE(ini.GetBool(L"G", L"absent", false));
}

TEST_F(IniTest, IntegersReadInTheirRadix)
{
    struct Case {
        const char* text;
        int radix;
        int expected;
    } cases[] = {
        {"ff", 16, 255}, {"12abc", 10, 12}, {"abc", 10, 0}, {"  42", 10, 42}, {"-1", 10, -1},
        {"101", 2, 5},   {"17", 8, 15},     {"17", 7, 17},  {"0x1F", 16, 31}, {"4294967295", 10, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        WriteRaw(std::string("[N]\r\nv=") + c.text + "\r\n");
        EXPECT_EQ(c.expected, ini.GetInt(L"N", L"v", 77, c.radix));
        EXPECT_EQ(static_cast<UINT>(c.expected), ini.GetUInt(L"N", L"v", 77, c.radix));
    }
    WriteRaw("[N]\r\nempty=\r\n");
    EXPECT_EQ(77, ini.GetInt(L"N", L"empty", 77));
    EXPECT_EQ(77, ini.GetInt(L"N", L"missing", 77));
}

TEST_F(IniTest, IntegersWriteInTheirRadix)
{
    struct Case {
        bool isSigned;
        int value;
        int radix;
        const wchar_t* text;
    } cases[] = {
        {true, -5, 10, L"-5"},         {true, -1, 16, L"FFFFFFFF"}, {false, 5, 2, L"101"},
        {false, 0, 2, L"0"},           {false, 8, 8, L"10"},        {false, 255, 16, L"FF"},
        {false, -1, 10, L"4294967295"}, {false, 9, 3, L"9"},
        {false, static_cast<int>(0x80000001u), 2, L"10000000000000000000000000000001"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.text));
        if (c.isSigned)
            ini.WriteInt(L"N", L"v", c.value, c.radix);
        else
            ini.WriteUInt(L"N", L"v", static_cast<UINT>(c.value), c.radix);
        EXPECT_EQ(c.text, ini.GetString(L"N", L"v"));
        EXPECT_EQ(static_cast<UINT>(c.value), ini.GetUInt(L"N", L"v", 0, c.radix));
    }
}

TEST_F(IniTest, BinaryValuesDecodeWholeOrNotAtAll)
{
    WriteRaw("[B]\r\nsix=0A0b0C\r\nstray=0A0G0C\r\nodd=0A0B0\r\n");
    BYTE bytes[8] = {};
    ASSERT_EQ(3u, ini.GetBinary(L"B", L"six", bytes, sizeof(bytes)));
    EXPECT_EQ(0x0A, bytes[0]);
    EXPECT_EQ(0x0B, bytes[1]);
    EXPECT_EQ(0x0C, bytes[2]);

    BYTE one = 0;
    EXPECT_EQ(1u, ini.GetBinary(L"B", L"six", &one, 1, 1));
    EXPECT_EQ(0x0B, one);

    EXPECT_EQ(0u, ini.GetBinary(L"B", L"stray", bytes, sizeof(bytes)));
    EXPECT_EQ(0u, ini.GetBinary(L"B", L"stray", nullptr, 0));
    EXPECT_EQ(2u, ini.GetBinary(L"B", L"odd", nullptr, 0));
    EXPECT_EQ(2u, ini.GetBinary(L"B", L"six", nullptr, 0, 1));
    EXPECT_EQ(0u, ini.GetBinary(L"B", L"six", nullptr, 0, 3));
    EXPECT_EQ(0u, ini.GetBinary(L"B", L"missing", nullptr, 0));
    EXPECT_FALSE(ini.WriteBinary(L"B", L"k", nullptr, 4));
}

TEST_F(IniTest, BinaryRoundTripsEveryByteInUppercase)
{
    std::vector<BYTE> all(256);
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<BYTE>(i);
    ASSERT_TRUE(ini.WriteBinary(L"B", L"all", all.data(), static_cast<DWORD>(all.size())));
    EXPECT_EQ(all, ini.GetBinary(L"B", L"all"));
    const std::wstring text = ini.GetString(L"B", L"all");
    EXPECT_EQ(512u, text.size());
    EXPECT_EQ(L"00010203", text.substr(0, 8));
    EXPECT_EQ(L"FCFDFEFF", text.substr(504));
}

TEST_F(IniTest, LongValuesComeBackWhole)
{
    std::wstring value;
    for (int i = 0; i < 1600; ++i)
        value += static_cast<wchar_t>(L'a' + i % 26);
    // Lengths around the 512-character growth steps are where a reader cuts.
    for (size_t length : {size_t(510), size_t(511), size_t(512), size_t(1023), size_t(1600)}) {
        SCOPED_TRACE(length);
        ini.WriteString(L"S", L"long", value.substr(0, length).c_str());
        EXPECT_EQ(value.substr(0, length), ini.GetString(L"S", L"long"));
        EXPECT_EQ(length, ini.GetStringBuf(L"S", L"long", nullptr, 0));
    }
}

TEST_F(IniTest, StringBufAlwaysTerminatesWithinCapacityPlusOne)
{
    ini.WriteString(L"S", L"k", L"abcdefgh");
    wchar_t buffer[6];
    wmemset(buffer, L'X', ARRAYSIZE(buffer));
    // Capacity 4 in a buffer of 4 + 1; the sixth character must stay untouched.
    EXPECT_EQ(4u, ini.GetStringBuf(L"S", L"k", buffer, 4));
    EXPECT_EQ(std::wstring(L"abcd"), buffer);
    EXPECT_EQ(L'X', buffer[5]);

    wchar_t exact[9];
    EXPECT_EQ(8u, ini.GetStringBuf(L"S", L"k", exact));
    EXPECT_EQ(std::wstring(L"abcdefgh"), exact);

    wchar_t fallback[16];
    EXPECT_EQ(3u, ini.GetStringBuf(L"S", L"none", fallback, L"def"));
    EXPECT_EQ(std::wstring(L"def"), fallback);
}

TEST_F(IniTest, LineBreaksCannotInjectLinesOrSections)
{
    ASSERT_TRUE(ini.WriteString(L"S", L"k", L"first\r\n[Evil]\r\nkey=value\nlast\rend"));
    EXPECT_EQ(L"first [Evil] key=value last end", ini.GetString(L"S", L"k"));
    EXPECT_FALSE(ini.SectionExists(L"Evil"));
    EXPECT_EQ(std::vector<std::wstring>{L"k"}, ini.KeyNames(L"S"));

    EXPECT_FALSE(ini.WriteString(L"S\r\n[Evil", L"k", L"v"));
    EXPECT_FALSE(ini.WriteString(L"S", L"k\nx", L"v"));
    EXPECT_FALSE(ini.WriteString(L"S]x", L"k", L"v"));
    EXPECT_FALSE(ini.WriteString(L"S", L"a=b", L"v"));
    EXPECT_FALSE(ini.SectionExists(L"Evil"));
}

TEST_F(IniTest, NullNamesReadTheDefaultAndWriteNothing)
{
    EXPECT_EQ(L"def", ini.GetString(nullptr, L"k", L"def"));
    EXPECT_EQ(L"", ini.GetString(L"S", nullptr));
    EXPECT_FALSE(ini.WriteString(nullptr, L"k", L"v"));
    EXPECT_FALSE(ini.WriteString(L"S", nullptr, L"v"));
    EXPECT_TRUE(ini.WriteString(L"S", L"k", nullptr));
    EXPECT_TRUE(ini.KeyExists(L"S", L"k"));
    EXPECT_EQ(L"", ini.GetString(L"S", L"k", L"def"));

    CIni nowhere;
    EXPECT_EQ(L"def", nowhere.GetString(L"S", L"k", L"def"));
    EXPECT_FALSE(nowhere.WriteString(L"S", L"k", L"v"));
}

TEST_F(IniTest, NamesIgnoreCaseAndDeletesRemove)
{
    ini.WriteString(L"General", L"AllowClones", L"1");
    ini.WriteString(L"General", L"Other", L"x");
    EXPECT_TRUE(ini.KeyExists(L"GENERAL", L"allowclones"));
    EXPECT_TRUE(ini.SectionExists(L"general"));
    EXPECT_FALSE(ini.SectionExists(L"Gen"));
    EXPECT_FALSE(ini.KeyExists(L"General", L"Missing"));

    ini.DeleteKey(L"general", L"ALLOWCLONES");
    EXPECT_FALSE(ini.KeyExists(L"General", L"AllowClones"));
    EXPECT_TRUE(ini.KeyExists(L"General", L"Other"));
    ini.DeleteSection(L"GENERAL");
    EXPECT_FALSE(ini.SectionExists(L"General"));
}

TEST_F(IniTest, KeyNamesAreTrimmedAndLinesWithoutNamesSkipped)
{
    WriteRaw("[S]\r\n  padded\t=1\r\nno equals here\r\n=nameless\r\nb=2\r\n");
    EXPECT_EQ((std::vector<std::wstring>{L"padded", L"b"}), ini.KeyNames(L"S"));

    wchar_t list[32];
    const DWORD needed = ini.GetKeyNames(L"S", list, ARRAYSIZE(list));
    EXPECT_EQ(10u, needed); // "padded\0b\0\0"
    EXPECT_EQ(0, wmemcmp(L"padded\0b\0", list, 10));

    // A buffer too small cuts the names and stays double-zero-terminated.
    wchar_t small[5];
    wmemset(small, L'X', ARRAYSIZE(small));
    EXPECT_EQ(needed, ini.GetKeyNames(L"S", small, ARRAYSIZE(small)));
    EXPECT_EQ(0, wmemcmp(L"pad\0", small, 4));
    EXPECT_EQ(L'\0', small[4]);
}

TEST_F(IniTest, SectionListsOfAnyLengthAreSized)
{
    for (int i = 0; i < 120; ++i)
        ini.WriteString((L"Settings.BL.Account" + std::to_wstring(i)).c_str(), L"k", L"v");
    const DWORD needed = ini.GetSectionNames(nullptr, 0);
    EXPECT_GT(needed, 512u);
    EXPECT_EQ(0u, needed % 512);
    std::vector<wchar_t> buffer(needed);
    const DWORD length = ini.GetSectionNames(buffer.data(), needed);
    EXPECT_LE(length + 2, needed);
    EXPECT_EQ(120u, ini.SectionNames().size());
    EXPECT_TRUE(ini.SectionExists(L"settings.bl.account119"));
}

TEST_F(IniTest, CopyKeyRefusesSameMissingAndProtectedTargets)
{
    ini.WriteString(L"A", L"k", L"value");
    ini.WriteString(L"B", L"taken", L"old");
    EXPECT_FALSE(ini.CopyKey(L"A", L"k", L"a", L"K", false));
    EXPECT_FALSE(ini.CopyKey(L"A", L"missing", L"B", L"k", false));
    EXPECT_FALSE(ini.KeyExists(L"B", L"k"));
    EXPECT_FALSE(ini.CopyKey(L"A", L"k", L"B", L"taken", true));
    EXPECT_EQ(L"old", ini.GetString(L"B", L"taken"));

    EXPECT_TRUE(ini.CopyKey(L"A", L"k", L"B", L"taken", false));
    EXPECT_EQ(L"value", ini.GetString(L"B", L"taken"));
    EXPECT_EQ(L"value", ini.GetString(L"A", L"k"));
}

TEST_F(IniTest, WritesAreSeenAtOnceByAnotherStore)
{
    CIni other(file.c_str());
    ini.WriteString(L"S", L"k", L"one");
    EXPECT_EQ(L"one", other.GetString(L"S", L"k"));
    other.WriteString(L"S", L"k", L"two");
    EXPECT_EQ(L"two", ini.GetString(L"S", L"k"));
    EXPECT_NE(std::string::npos, Raw().find("k=two"));
}

} // namespace
