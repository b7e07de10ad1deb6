// Buddy list files: the text as written, damaged and hostile files read, and
// an export and import between two accounts through the real acccore.dll
// signed on to the local OSCAR server running in this process.
#include <winsock2.h>

#include "AccHelpers.h"
#include "BuddyListFile.h"
#include "StringConv.h"
#include "TestSupport.h"

#include "OscarServer.h"

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

// A list in one line: groups as name[buddies], a buddy as name=alias#note
// with the note's line breaks as "|".
std::wstring Describe(const BltList& list)
{
    std::wstring out;
    for (const BltGroup& group : list.groups) {
        if (!out.empty())
            out += L" ";
        out += group.name + L"[";
        for (size_t i = 0; i < group.buddies.size(); ++i) {
            const BltBuddy& buddy = group.buddies[i];
            out += (i ? L"," : L"") + buddy.name;
            if (!buddy.alias.empty())
                out += L"=" + buddy.alias;
            if (!buddy.note.empty()) {
                std::wstring note = buddy.note;
                for (size_t at = note.find(L"\r\n"); at != std::wstring::npos; at = note.find(L"\r\n", at))
                    note.replace(at, 2, L"|");
                out += L"#" + note;
            }
        }
        out += L"]";
    }
    return out;
}

std::vector<BltProblem::Kind> Kinds(const std::vector<BltProblem>& problems)
{
    std::vector<BltProblem::Kind> kinds;
    for (const BltProblem& problem : problems)
        kinds.push_back(problem.kind);
    return kinds;
}

std::wstring Replaced(std::wstring text, const std::wstring& from, const std::wstring& to)
{
    for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

BltList SampleList()
{
    BltList list;
    list.screenName = L"Alice Demo";
    list.groups = {
        {L"Buddies", {{L"Bob Demo", L"Bobby", L"a\r\nb"}, {L"Echo Bot", L"", L""}}},
        {L"Empty", {}},
    };
    return list;
}

const wchar_t kSampleText[] =
    L"Config {\r\n version 2 \r\n}\r\n"
    L"User {\r\n screenName Alice Demo \r\n}\r\n"
    L"Buddy {\r\n list {\r\n"
    L"  \"Buddies\" {\r\n"
    L"   \"Bob Demo\" {\r\n    Note=a\r\nb\r\n    FriendlyName=Bobby\r\n   }\r\n"
    L"   \"Echo Bot\" {\r\n   }\r\n"
    L"  }\r\n"
    L"  \"Empty\" {\r\n  }\r\n"
    L" }\r\n}\r\n";

TEST(BuddyListFileText, ExportWritesTheLayoutLineByLine)
{
    EXPECT_EQ(kSampleText, ComposeBuddyListFile(SampleList()));
    BltList anonymous = SampleList();
    anonymous.screenName.clear();
    EXPECT_EQ(std::wstring::npos, ComposeBuddyListFile(anonymous).find(L"User {")) << "no name, no User section";
}

// Notes whose lines look like the file's own structure come back as they were.
TEST(BuddyListFileText, NotesAndAliasesSurviveExportAndImport)
{
    const std::wstring notes[] = {
        L"one\r\ntwo\r\nthree",
        L"a\r\n}\r\nb",
        L"x\r\n    FriendlyName=evil\r\ny",
        L"FriendlyName=first line",
        L"a\r\n\r\n\r\nb",
        L"\\leading\r\n\\also\\",
        L"line\r\n\"quoted\" } {",
        L"ends with a break\r\n",
        L"\r\nstarts with one",
        L"}",
    };
    for (const std::wstring& note : notes) {
        SCOPED_TRACE(testing::PrintToString(note));
        BltList list;
        list.groups = {{L"G", {{L"bob", L"Bob the Builder", note}, {L"after", L"", L""}}}, {L"H", {{L"x", L"", L""}}}};
        std::vector<BltProblem> problems;
        const BltList read = ParseBuddyListFile(ComposeBuddyListFile(list), problems);
        EXPECT_EQ(Describe(list), Describe(read));
        EXPECT_TRUE(problems.empty());
    }
}

struct ReadCase {
    const char* what;
    std::wstring text;
    std::wstring expected;
    std::vector<BltProblem::Kind> problems;
};

TEST(BuddyListFileText, DamagedAndHostileFilesGiveWhatIsValid)
{
    const std::wstring body = L"Buddy {\r\n list {\r\n";
    const std::wstring end = L" }\r\n}\r\n";
    const std::wstring longName(300, L'a');
    const ReadCase cases[] = {
        {"the exported layout", kSampleText, L"Buddies[Bob Demo=Bobby#a|b,Echo Bot] Empty[]", {}},
        {"CR CR LF line ends", Replaced(kSampleText, L"\r\n", L"\r\r\n"), L"Buddies[Bob Demo=Bobby#a|b,Echo Bot] Empty[]",
         {}},
        {"LF line ends", Replaced(kSampleText, L"\r\n", L"\n"), L"Buddies[Bob Demo=Bobby#a|b,Echo Bot] Empty[]", {}},
        {"a compact line", body + L"  \"Friends\" alice \"bob smith\"\r\n" + end, L"Friends[alice,bob smith]", {}},
        {"truncated inside a note",
         body + L"  \"G\" {\r\n   \"bob\" {\r\n    Note=first\r\nsecond", L"G[bob#first|second]",
         {BltProblem::Unfinished}},
        {"truncated inside a group", body + L"  \"G\" {\r\n   carol\r\n   \"da", L"G[carol]", {BltProblem::Unfinished}},
        {"unknown sections and tags",
         L"Prefs {\r\n a { b }\r\n}\r\nBuddy {\r\n Other { \"x\" { y } }\r\n list {\r\n  \"G\" {\r\n"
         L"   bob {\r\n    Color=red\r\n    Size { 3 }\r\n   }\r\n  }\r\n" + end,
         L"G[bob]", {}},
        {"very long names",
         body + L"  \"G\" {\r\n   \"" + longName + L"\"\r\n   bob\r\n  }\r\n  \"" + std::wstring(1000, L'g') +
             L"\" {\r\n   lost\r\n  }\r\n  \"H\" {\r\n   carol\r\n  }\r\n" + end,
         L"G[bob] H[carol]", {BltProblem::BadBuddyName, BltProblem::BadGroupName}},
        {"names with markup",
         body + L"  \"<i>Pals</i>\" {\r\n   \"<b>bob</b>\"\r\n   \"a&amp;b\"\r\n   carol\r\n  }\r\n" + end,
         L"<i>Pals</i>[carol]", {BltProblem::BadBuddyName, BltProblem::BadBuddyName}},
        {"braces that close nothing",
         L"}\r\n}\r\nBuddy { list { G { bob } } }\r\n}", L"G[bob]",
         {BltProblem::StrayBrace, BltProblem::StrayBrace, BltProblem::StrayBrace}},
        {"an empty group name", body + L"  \"\" {\r\n   bob\r\n  }\r\n  \"  \" x y\r\n  \"G\" {\r\n   carol\r\n  }\r\n" + end,
         L"G[carol]", {BltProblem::BadGroupName, BltProblem::BadGroupName}},
        {"a note ended by another writer's alias line",
         body + L"  G {\r\n   bob {\r\n    Note=hello\r\nworld\r\n    FriendlyName=Al\r\n   }\r\n  }\r\n" + end,
         L"G[bob=Al#hello|world]", {}},
        {"a note ended by the buddy's brace",
         body + L"  G {\r\n   bob {\r\n    Note=a\r\n   }\r\n   carol\r\n  }\r\n" + end, L"G[bob#a,carol]", {}},
        {"a long note is cut at 259",
         body + L"  G {\r\n   bob {\r\n    Note=" + std::wstring(300, L'n') + L"\r\n   }\r\n  }\r\n" + end,
         L"G[bob#" + std::wstring(259, L'n') + L"]", {}},
        {"names given twice are merged",
         body + L"  G {\r\n   bob\r\n  }\r\n  \"g\" {\r\n   \"B o b\" {\r\n    FriendlyName=Al\r\n   }\r\n  }\r\n" + end,
         L"G[bob=Al]", {}},
        {"an unclosed quote ends the line", body + L"  \"G\" {\r\n   \"bob\r\n   carol\r\n  }\r\n" + end,
         L"G[carol]", {}},
        {"nothing but noise", L"\xFEFF\r\n\r\n  garbage \"\r\n{{{ ]] {", L"", {BltProblem::Unfinished}},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<BltProblem> problems;
        const BltList read = ParseBuddyListFile(c.text, problems);
        EXPECT_EQ(c.expected, Describe(read));
        EXPECT_EQ(c.problems, Kinds(problems));
    }
}

// Files made of the format's own pieces in random order: whatever is read
// has no nameless entry and no overlong note, and writes back to a file that
// reads the same (quotes in group names, which the format cannot carry,
// become apostrophes).
TEST(BuddyListFileText, WhatIsReadWritesBackTheSame)
{
    const std::vector<std::wstring> pieces = {
        L"{", L"}", L"\"", L"\r\n", L"\r", L"\n", L" ", L"Buddy", L"list", L"Note=", L"FriendlyName=", L"\\",
        L"\"G\"", L"bob", L"User", L"screenName", L"    Note=hi\r\n", L"  }\r\n", L"   carol {\r\n",
        L"\r\n\\}\r\n", L"FriendlyName=Al\r\n", L"\"H\" x y\r\n", L"\"\" {", L"\"I\" {\r\n", L"<b>", L"a=b",
    };
    std::mt19937 random(20261211);
    for (int round = 0; round < 3000; ++round) {
        std::wstring text = round % 3 ? L"Buddy {\r\n list {\r\n  \"G\" {\r\n   bob {\r\n" : L"";
        for (int i = static_cast<int>(random() % 120); i > 0; --i)
            text += pieces[random() % pieces.size()];
        SCOPED_TRACE(testing::PrintToString(text));
        std::vector<BltProblem> problems;
        const BltList read = ParseBuddyListFile(text, problems);
        for (const BltGroup& group : read.groups) {
            ASSERT_FALSE(group.name.empty());
            for (const BltBuddy& buddy : group.buddies) {
                ASSERT_FALSE(buddy.name.empty());
                ASSERT_LE(buddy.note.size(), kBltMaxNote);
            }
        }
        std::vector<BltProblem> none;
        const std::wstring again = Describe(ParseBuddyListFile(ComposeBuddyListFile(read), none));
        BltList expected = read;
        for (BltGroup& group : expected.groups)
            std::replace(group.name.begin(), group.name.end(), L'"', L'\'');
        ASSERT_EQ(Describe(expected), again);
        ASSERT_TRUE(none.empty());
    }
}

TEST(BuddyListFileText, ByteOrderMarkDecidesTheEncoding)
{
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"UTF-8", "Gr\xC3\xBC\xC3\x9F" "e"},
        {"UTF-8 with BOM", "\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F" "e"},
        {"UTF-16 LE", std::string("\xFF\xFEG\0r\0\xFC\0\xDF\0e\0", 12)},
        {"UTF-16 BE", std::string("\xFE\xFF\0G\0r\0\xFC\0\xDF\0e", 12)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(L"Gr\u00FC\u00DFe", DecodeBuddyListFile(c.bytes)) << c.what;
}

TEST(BuddyListFileText, AFileIsReplacedOnlyWhenWrittenWhole)
{
    TempFolder folder;
    const std::wstring target = folder.File(L"list.blt");
    ASSERT_TRUE(WriteFileBytes(target, "old contents"));
    ASSERT_HRESULT_SUCCEEDED(WriteFileReplacing(target, "new"));
    EXPECT_EQ("new", ReadFileBytes(target));

    EXPECT_HRESULT_FAILED(WriteFileReplacing(folder.File(L"missing\\list.blt"), "x"));
    // A target that cannot be replaced (a folder of that name) keeps
    // everything as it was and leaves no temporary file behind.
    ASSERT_TRUE(CreateDirectoryW(folder.File(L"taken.blt").c_str(), nullptr));
    EXPECT_HRESULT_FAILED(WriteFileReplacing(folder.File(L"taken.blt"), "x"));
    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW(folder.File(L"*").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    std::vector<std::wstring> names;
    do {
        if (wcscmp(found.cFileName, L".") && wcscmp(found.cFileName, L".."))
            names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::wstring>{L"list.blt", L"taken.blt"}), names);
}

// ---------------------------------------------------------------------------
// Against the AIM layer.

const char kAccounts[] =
    "account Alice Demo\n"
    "password welcome1\n"
    "group Buddies\n"
    "buddy Dave Jones\n"
    "buddy Echo Bot\n"
    "group Co-Workers\n"
    "buddy Carol Smith\n"
    "group Empty\n"
    "\n"
    "account Bob Demo\n"
    "password welcome2\n"
    "group Buddies\n"
    "buddy Alice Demo\n";

HRESULT SetPreference(AIMCC::IAccSession* session, const wchar_t* name, const std::wstring& value)
{
    ComPtr<AIMCC::IAccPreferences> prefs;
    HRESULT hr = session->get_Prefs(&prefs);
    if (FAILED(hr))
        return hr;
    AIMCC::CAccString text(value.c_str());
    VARIANT variant;
    VariantInit(&variant);
    variant.vt = VT_BSTR;
    variant.bstrVal = text.Get();
    return prefs->SetValue(AIMCC::CAccString(name).Get(), variant);
}

HRESULT SetText(AIMCC::IAccObject* object, long id, const wchar_t* value)
{
    AIMCC::CAccString text(value);
    VARIANT variant;
    VariantInit(&variant);
    variant.vt = VT_BSTR;
    variant.bstrVal = text.Get();
    return object->put_Property(id, variant);
}

long GroupCount(AIMCC::IAccSession* session)
{
    ComPtr<AIMCC::IAccBuddyList> list;
    long count = 0;
    if (SUCCEEDED(session->get_BuddyList(&list)) && list)
        list->get_GroupCount(&count);
    return count;
}

class BuddyListFileSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::vector<oscar::server::Account> accounts;
        std::string error;
        ASSERT_TRUE(oscar::server::ParseAccounts(kAccounts, accounts, &error)) << error;
        server = std::make_unique<oscar::server::OscarServer>(accounts, oscar::server::OscarServer::Options());
        ASSERT_TRUE(server->Start(&error)) << error;
        ASSERT_HRESULT_SUCCEEDED(library.Load((ExeFolder() + L"acccore.dll").c_str()));
    }
    void TearDown() override
    {
        for (ComPtr<AIMCC::IAccSession>& session : sessions)
            session->SignOff();
        sessions.clear();
        library.Unload();
        if (server)
            server->Stop();
    }

    // A session signed on with its buddy list in.
    AIMCC::IAccSession* SignOn(const wchar_t* name, const wchar_t* password, long groups)
    {
        ComPtr<AIMCC::IAccSession> session;
        if (FAILED(AIMCC::AccCreateSession(session.GetAddressOf())) ||
            FAILED(SetPreference(session.Get(), L"aimcc.connect.host.address", L"127.0.0.1")) ||
            FAILED(SetPreference(session.Get(), L"aimcc.connect.host.port", std::to_wstring(server->LoginPort()))) ||
            FAILED(session->put_Identity(AIMCC::CAccString(name).Get())) ||
            FAILED(session->SignOn(AIMCC::CAccString(password).Get())))
            return nullptr;
        sessions.push_back(session);
        const bool online = PumpUntil([&] {
            long state = 0;
            session->get_State(&state);
            return state == AIMCC::AccState::Online && GroupCount(session.Get()) >= groups;
        }, 20000);
        return online ? session.Get() : nullptr;
    }

    std::string ServerListOf(const std::string& name)
    {
        for (const oscar::server::Account& account : server->ExportAccounts()) {
            if (account.screenName == name) {
                const std::string text = oscar::server::FormatAccounts({account});
                return text.substr(std::min(text.size(), text.find("account ")));
            }
        }
        return std::string();
    }

    std::unique_ptr<oscar::server::OscarServer> server;
    AIMCC::CAccLibrary library;
    std::vector<ComPtr<AIMCC::IAccSession>> sessions;
};

TEST_F(BuddyListFileSessionTest, ExportedListImportsIntoAnotherAccount)
{
    AIMCC::IAccSession* alice = SignOn(L"Alice Demo", L"welcome1", 3);
    ASSERT_NE(nullptr, alice);
    ComPtr<AIMCC::IAccUser> dave;
    ComPtr<AIMCC::IAccUser> carol;
    ASSERT_HRESULT_SUCCEEDED(alice->GetUser(AIMCC::CAccString(L"Dave Jones").Get(), &dave));
    ASSERT_HRESULT_SUCCEEDED(alice->GetUser(AIMCC::CAccString(L"Carol Smith").Get(), &carol));
    ASSERT_HRESULT_SUCCEEDED(SetText(dave.Get(), AIMCC::AccUserProp::Alias, L"Davy"));
    ASSERT_HRESULT_SUCCEEDED(SetText(dave.Get(), AIMCC::AccUserProp::Note, L"met at work\r\n}\r\nlikes tea"));
    ASSERT_HRESULT_SUCCEEDED(SetText(carol.Get(), AIMCC::AccUserProp::Note, L"FriendlyName=not an alias"));

    // Everyone on Alice's list is off line, so the layer lists them all in
    // its offline group; the file still has them in their own groups and
    // has no offline group.
    BltList exported;
    ASSERT_HRESULT_SUCCEEDED(ReadBuddyList(alice, exported));
    const std::wstring text = ComposeBuddyListFile(exported);
    EXPECT_EQ(std::wstring(L"Config {\r\n version 2 \r\n}\r\n"
                           L"User {\r\n screenName Alice Demo \r\n}\r\n"
                           L"Buddy {\r\n list {\r\n"
                           L"  \"Buddies\" {\r\n"
                           L"   \"Dave Jones\" {\r\n    Note=met at work\r\n\\}\r\nlikes tea\r\n"
                           L"    FriendlyName=Davy\r\n   }\r\n"
                           L"   \"Echo Bot\" {\r\n   }\r\n"
                           L"  }\r\n"
                           L"  \"Co-Workers\" {\r\n"
                           L"   \"Carol Smith\" {\r\n    Note=FriendlyName=not an alias\r\n   }\r\n"
                           L"  }\r\n"
                           L"  \"Empty\" {\r\n  }\r\n"
                           L" }\r\n}\r\n"),
              text);

    AIMCC::IAccSession* bobSession = SignOn(L"Bob Demo", L"welcome2", 1);
    ASSERT_NE(nullptr, bobSession);
    std::vector<BltProblem> problems;
    const BltList parsed = ParseBuddyListFile(DecodeBuddyListFile(WideToUtf8(text)), problems);
    EXPECT_TRUE(problems.empty());
    BltImportReport report;
    ASSERT_HRESULT_SUCCEEDED(ImportBuddyList(bobSession, parsed, report));
    EXPECT_TRUE(report.problems.empty());
    EXPECT_EQ(2, report.groupsAdded);
    EXPECT_EQ(3, report.buddiesAdded);
    const std::wstring expectedList = L"Buddies[Alice Demo,Dave Jones=Davy#met at work|}|likes tea,Echo Bot] "
                                      L"Co-Workers[Carol Smith#FriendlyName=not an alias] Empty[]";

    const std::string expectedOnServer =
        "account Bob Demo\n"
        "password welcome2\n"
        "group Buddies\n"
        "buddy Alice Demo\n"
        "buddy Dave Jones\n"
        "buddy Echo Bot\n"
        "group Co-Workers\n"
        "buddy Carol Smith\n"
        "group Empty\n";
    ASSERT_TRUE(PumpUntil([&] { return ServerListOf("Bob Demo") == expectedOnServer; }, 10000))
        << ServerListOf("Bob Demo");
    BltList imported;
    EXPECT_TRUE(PumpUntil([&] { return SUCCEEDED(ReadBuddyList(bobSession, imported)) &&
                                       Describe(imported) == expectedList; }, 10000))
        << testing::PrintToString(Describe(imported));

    // A second import of the same file adds nothing.
    BltImportReport again;
    ASSERT_HRESULT_SUCCEEDED(ImportBuddyList(bobSession, parsed, again));
    EXPECT_EQ(0, again.groupsAdded);
    EXPECT_EQ(0, again.buddiesAdded);
    EXPECT_TRUE(again.problems.empty());
    PumpPending();
    EXPECT_EQ(expectedOnServer, ServerListOf("Bob Demo"));
}

TEST_F(BuddyListFileSessionTest, WhatTheLayerRefusesIsReportedAndSkipped)
{
    AIMCC::IAccSession* bob = SignOn(L"Bob Demo", L"welcome2", 1);
    ASSERT_NE(nullptr, bob);
    BltList list;
    list.groups = {
        {std::wstring(60, L'G'), {{L"carol", L"", L""}}},
        {L"Pals", {{L"dave", std::wstring(200, L'a'), std::wstring(259, L'n')}}},
    };
    BltImportReport report;
    ASSERT_HRESULT_SUCCEEDED(ImportBuddyList(bob, list, report));
    ASSERT_EQ(1u, report.problems.size());
    EXPECT_EQ(BltProblem::GroupFailed, report.problems[0].kind);
    EXPECT_EQ(1, report.groupsAdded);
    EXPECT_EQ(1, report.buddiesAdded);

    // Alias and note are cut to what the layer holds, not dropped.
    ComPtr<AIMCC::IAccUser> dave;
    ASSERT_HRESULT_SUCCEEDED(bob->GetUser(AIMCC::CAccString(L"dave").Get(), &dave));
    VARIANT limit;
    VariantInit(&limit);
    ASSERT_HRESULT_SUCCEEDED(dave->get_Property(AIMCC::AccUserProp::AliasLimit, &limit));
    const long aliasLimit = limit.lVal;
    BltList read;
    ASSERT_TRUE(PumpUntil([&] {
        return SUCCEEDED(ReadBuddyList(bob, read)) && read.groups.size() == 2 && read.groups[1].buddies.size() == 1;
    }, 10000)) << testing::PrintToString(Describe(read));
    EXPECT_EQ(std::wstring(static_cast<size_t>(aliasLimit), L'a'), read.groups[1].buddies[0].alias);
    EXPECT_FALSE(read.groups[1].buddies[0].note.empty());
    EXPECT_LT(read.groups[1].buddies[0].note.size(), 259u);
}

} // namespace
