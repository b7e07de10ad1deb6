#include "LogFile.h"
#include "LogWriter.h"

#include "AppState.h"
#include "Folders.h"
#include "Ini.h"
#include "LangStrings.h"
#include "MediaLibrary.h"
#include "ScopedHandle.h"
#include "StringConv.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <vector>

namespace {

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute)
{
    SYSTEMTIME time{};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    // The weekday is filled in from the date.
    FILETIME file;
    SystemTimeToFileTime(&time, &file);
    FileTimeToSystemTime(&file, &time);
    return time;
}

void ListFiles(const std::wstring& folder, std::vector<std::wstring>& files)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListFiles(folder + name + L"\\", files);
        else
            files.push_back(folder + name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

bool EndsWith(const std::wstring& text, const std::wstring& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Loads a file into `document`; false when it is not well-formed XML.
bool ParseFile(const std::wstring& path, tinyxml2::XMLDocument& document)
{
    const std::string bytes = ReadFileBytes(path);
    return !bytes.empty() && document.Parse(bytes.c_str(), bytes.size()) == tinyxml2::XML_SUCCESS;
}

int CountChildren(const tinyxml2::XMLElement* root, const char* name)
{
    int count = 0;
    for (const auto* child = root->FirstChildElement(name); child; child = child->NextSiblingElement(name))
        ++count;
    return count;
}

class LogWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        lang_.reset(LoadLibraryExW((ExeFolder() + L"VLMLang.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        media_.reset(LoadLibraryExW((ExeFolder() + L"VLMMedia.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(lang_ && media_);
        SetLangModule(lang_.get());
        SetMediaModule(media_.get());
        Settings().SetPath(folder_.File(L"Velmora.ini").c_str());
        Settings().WriteString(L"Settings.LOGS", L"LogIMs", L"1");
        Settings().WriteString(L"Settings.LOGS", L"LogChatRooms", L"1");
    }

    void TearDown() override
    {
        Settings().SetPath(nullptr);
        SetMediaModule(nullptr);
        SetLangModule(nullptr);
    }

    LoggedMessage Received(const std::wstring& buddy, const std::wstring& html, const SYSTEMTIME& time) const
    {
        LoggedMessage message;
        message.accountName = L"My Name";
        message.accountDisplayName = L"Me";
        message.senderName = buddy;
        message.senderAlias = L"Alias of " + buddy;
        message.remoteName = buddy;
        message.html = html;
        message.flags = MessageLogFlags::Received;
        message.local = time;
        return message;
    }

    std::wstring DayFolder(const LoggedMessage& message)
    {
        return writer_.DayFolder(message.kind, message.accountName, message.remoteName, message.roomName,
                                 message.local);
    }

    TempFolder folder_;
    const std::wstring root_ = folder_.File(L"root");
    CLogWriter writer_{[this] { return root_ + L"\\"; }};
    ScopedModule lang_;
    ScopedModule media_;
    const SYSTEMTIME day_ = At(2026, 3, 9, 14, 30);
};

TEST_F(LogWriterTest, HostileNamesAndBodiesLeaveWellFormedLogsInsideTheRoot)
{
    const struct {
        std::wstring account;
        std::wstring sender;
        std::wstring alias;
        int kind;
        std::wstring room;
        std::wstring html;
    } cases[] = {
        {L"Me <&>", L"Bud\"dy'<b>", L"<script>&amp;", LogConversationKind::Im, L"", L"<b>hi</b>"},
        {L"Me", L"..", L"\"quoted\"", LogConversationKind::Im, L"", L"<script>alert(1)</script>text"},
        {L"Me", L"..\\..\\evil", L"a&b", LogConversationKind::DirectIm, L"", L"<i>unterminated <u>tags"},
        {L"Me", L"member<1>", L"", LogConversationKind::Chat, L"..\\x", L"<img src=x onerror=alert(1)>&"},
        {L"Me", L"member", L"", LogConversationKind::Chat, L"Room: \"<A>\"", L"]]><![CDATA[ x"},
        {L"..", L"CON", L"nul", LogConversationKind::Im, L"", L"<div><font size=\"9\">big</font></div>"},
    };
    for (const auto& c : cases) {
        LoggedMessage message = Received(c.sender, c.html, day_);
        message.accountName = c.account;
        message.senderAlias = c.alias;
        message.kind = c.kind;
        message.roomName = c.room;
        LogSession session;
        EXPECT_TRUE(writer_.LogMessage(message, session)) << WideToUtf8(c.sender);
        EXPECT_TRUE(writer_.LogBuddyEvent(BuddyEvent::SignOn, c.account, c.sender, day_)) << WideToUtf8(c.sender);

        const std::wstring day = DayFolder(message);
        tinyxml2::XMLDocument header;
        ASSERT_TRUE(ParseFile(day + L"Log.xml", header)) << WideToUtf8(day);
        EXPECT_EQ(Utf8ToWide(header.RootElement()->Attribute("Account")), c.account);
        EXPECT_EQ(Utf8ToWide(header.RootElement()->Attribute("Party")), c.sender);
        tinyxml2::XMLDocument records;
        ASSERT_TRUE(ParseFile(day + L"Sessions.xml", records)) << WideToUtf8(day);
        const tinyxml2::XMLElement* sender = records.RootElement()->FirstChildElement("Message")->FirstChildElement(
            "Sender");
        EXPECT_EQ(Utf8ToWide(sender->Attribute("ScreenName")), c.sender);
        EXPECT_EQ(Utf8ToWide(sender->Attribute("Name")), c.alias.empty() ? c.sender : c.alias);
    }

    std::vector<std::wstring> files;
    ListFiles(folder_.Path(), files);
    int logs = 0;
    for (const std::wstring& file : files) {
        if (file == folder_.File(L"Velmora.ini"))
            continue;
        EXPECT_EQ(file.compare(0, root_.size() + 6, root_ + L"\\Logs\\"), 0) << WideToUtf8(file);
        tinyxml2::XMLDocument document;
        EXPECT_TRUE(ParseFile(file, document)) << WideToUtf8(file);
        ++logs;
    }
    // Both day files of every conversation, both buddy event files.
    EXPECT_GE(logs, 4 * 4);
}

TEST_F(LogWriterTest, SessionsOfADayAreNumberedByItsHeader)
{
    LogSession first;
    LogSession second;
    const LoggedMessage message = Received(L"Some Buddy", L"one", day_);
    ASSERT_TRUE(writer_.LogMessage(message, first));
    EXPECT_EQ(first.id, 1);
    const std::wstring day = DayFolder(message);
    EXPECT_TRUE(EndsWith(day, L"\\Logs\\MyName\\IM\\SomeBuddy\\" + DayFolderName(day_) + L"\\"));
    EXPECT_NE(ReadFileBytes(day + L"Log.xml").find("NextSessionID=\"2\""), std::string::npos);

    ASSERT_TRUE(writer_.LogMessage(message, second));
    EXPECT_EQ(second.id, 2);
    EXPECT_NE(ReadFileBytes(day + L"Log.xml").find("NextSessionID=\"3\""), std::string::npos);
    ASSERT_TRUE(writer_.LogMessage(message, first));
    EXPECT_EQ(first.id, 1);
    EXPECT_FALSE(FileExists(day + L"Log.xml.tmp"));

    // A header that says 0 gives the first session and then says 2.
    const SYSTEMTIME other = At(2026, 3, 10, 9, 0);
    const LoggedMessage later = Received(L"Some Buddy", L"two", other);
    const std::wstring otherDay = DayFolder(later);
    ASSERT_TRUE(CreateFolderPath(otherDay));
    ASSERT_TRUE(WriteFileBytes(otherDay + L"Log.xml", "<Log NextSessionID=\"0\" Records=\"Sessions.xml\"/>"));
    LogSession third;
    ASSERT_TRUE(writer_.LogMessage(later, third));
    EXPECT_EQ(third.id, 1);
    EXPECT_EQ(ReadFileBytes(otherDay + L"Log.xml"), "<Log NextSessionID=\"2\" Records=\"Sessions.xml\"/>");
}

TEST_F(LogWriterTest, AConversationPastMidnightTakesANumberOfTheNewDay)
{
    LogSession evening;
    ASSERT_TRUE(writer_.LogMessage(Received(L"buddy", L"late", At(2026, 3, 9, 23, 59)), evening));
    EXPECT_EQ(evening.id, 1);

    LogSession morning;
    const LoggedMessage nextDay = Received(L"buddy", L"early", At(2026, 3, 10, 0, 1));
    ASSERT_TRUE(writer_.LogMessage(nextDay, morning));
    EXPECT_EQ(morning.id, 1);
    ASSERT_TRUE(writer_.LogMessage(nextDay, evening));
    EXPECT_EQ(evening.id, 2);
    EXPECT_EQ(evening.dayFolder, DayFolder(nextDay));

    tinyxml2::XMLDocument records;
    ASSERT_TRUE(ParseFile(DayFolder(nextDay) + L"Sessions.xml", records));
    const tinyxml2::XMLElement* message = records.RootElement()->FirstChildElement("Message");
    EXPECT_STREQ(message->Attribute("Session"), "1");
    EXPECT_STREQ(message->NextSiblingElement("Message")->Attribute("Session"), "2");
}

TEST_F(LogWriterTest, SwitchesOffStopLogging)
{
    // A buddy's own mask asks for its conversations, but "LogIMs" is off.
    Settings().WriteString(L"Settings.LOGS", L"LogIMs", L"0");
    Settings().WriteString(L"Settings.LOGS", L"LogChatRooms", L"0");
    ASSERT_TRUE(WriteBuddyLogMask(Settings(), L"My Name", L"buddy", 0x400));
    EXPECT_FALSE(writer_.IsEnabled(BuddyEvent::LogConversations, L"My Name", L"buddy"));
    LogSession session;
    EXPECT_FALSE(writer_.LogMessage(Received(L"buddy", L"hello", day_), session));
    LoggedMessage chat = Received(L"member", L"hello", day_);
    chat.kind = LogConversationKind::Chat;
    chat.roomName = L"room";
    EXPECT_FALSE(writer_.LogMessage(chat, session));

    // With it on, a buddy's mask without the bit still keeps it out.
    Settings().WriteString(L"Settings.LOGS", L"LogIMs", L"1");
    ASSERT_TRUE(WriteBuddyLogMask(Settings(), L"My Name", L"buddy", 0x1));
    EXPECT_FALSE(writer_.LogMessage(Received(L"buddy", L"hello", day_), session));
    EXPECT_FALSE(FolderExists(root_));

    CLogWriter unrooted([] { return std::wstring(); });
    ASSERT_TRUE(WriteBuddyLogMask(Settings(), L"My Name", L"buddy", std::nullopt));
    EXPECT_FALSE(unrooted.LogMessage(Received(L"buddy", L"hello", day_), session));
    EXPECT_FALSE(unrooted.LogBuddyEvent(BuddyEvent::SignOn, L"My Name", L"buddy", day_));
    EXPECT_FALSE(FolderExists(root_));
}

TEST_F(LogWriterTest, RecordFilesAreWholeAfterEveryAppend)
{
    const wchar_t* bodies[] = {L"plain", L"<b>open", L"</div></div>", L"<script>x</script>", L"& < > \" '",
                               L"<p>para<p>graph", L"<!-- comment", L"<![CDATA[", L"\x01\x02"};
    LogSession session;
    const LoggedMessage base = Received(L"buddy", L"", day_);
    const std::wstring path = DayFolder(base) + L"Sessions.xml";
    int appended = 0;
    for (int round = 0; round < 5; ++round) {
        for (const wchar_t* body : bodies) {
            LoggedMessage message = base;
            message.html = body;
            ASSERT_TRUE(writer_.LogMessage(message, session));
            ++appended;
            // What a process killed right now would leave behind.
            tinyxml2::XMLDocument document;
            ASSERT_TRUE(ParseFile(path, document)) << appended;
            EXPECT_EQ(CountChildren(document.RootElement(), "Message"), appended);
        }
    }

    // A file cut short outside the program is kept aside and a new one begun.
    std::string bytes = ReadFileBytes(path);
    bytes.resize(bytes.size() - 5);
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    ASSERT_TRUE(writer_.LogMessage(base, session));
    tinyxml2::XMLDocument document;
    ASSERT_TRUE(ParseFile(path, document));
    EXPECT_EQ(CountChildren(document.RootElement(), "Message"), 1);
    EXPECT_EQ(ReadFileBytes(path + L".damaged"), bytes);
}

TEST_F(LogWriterTest, BuddyEventsFollowTheMasks)
{
    struct Case {
        const char* what;
        const wchar_t* buddies;        // "Buddies"
        std::optional<UINT> ownMask;   // the buddy's own record
        long property;
        BuddyState before;
        BuddyState after;
        BuddyEvent logged;
    } cases[] = {
        {"sign-on asked for", L"1", std::nullopt, 3, {0}, {1}, BuddyEvent::SignOn},
        {"sign-on not asked for", L"2", std::nullopt, 3, {0}, {1}, BuddyEvent::None},
        {"the buddy's own mask wins", L"0", 0x1, 3, {0}, {1}, BuddyEvent::SignOn},
        {"its own mask can turn events off", L"1023", 0x400, 3, {0}, {1}, BuddyEvent::None},
        {"away", L"4", std::nullopt, 3, {1}, {3}, BuddyEvent::Away},
        {"idle by time", L"64", std::nullopt, 8, {1, 0, 599}, {1, 0, 600}, BuddyEvent::Idle},
        {"active by time needs its own bit", L"64", std::nullopt, 8, {1, 0, 600}, {1, 0, 599}, BuddyEvent::None},
        {"active by time", L"128", std::nullopt, 8, {1, 0, 600}, {1, 0, 599}, BuddyEvent::Active},
        {"sign-off", L"2", std::nullopt, 3, {1}, {0}, BuddyEvent::SignOff},
        {"mobile off through the mobile-on bit", L"16", std::nullopt, 4, {1, 0x80}, {1, 0}, BuddyEvent::MobileOff},
        {"no presence known yet", L"1023", std::nullopt, 3, {-1}, {1}, BuddyEvent::None},
        {"an unreadable own mask means the global one", L"1", 0xFFFFFFFF, 3, {0}, {1}, BuddyEvent::SignOn},
        {"a mask in the plain section serves every account", L"0", 0xFFFFFFFE, 3, {1}, {3}, BuddyEvent::Away},
    };
    const std::wstring events = writer_.BuddyFolder(L"My Name", L"Some Buddy") + L"Events.xml";
    int written = 0;
    for (const Case& c : cases) {
        Settings().WriteString(L"Settings.LOGS", L"Buddies", c.buddies);
        ASSERT_TRUE(WriteBuddyLogMask(Settings(), L"My Name", L"Some Buddy", c.ownMask) || !c.ownMask);
        if (c.ownMask == 0xFFFFFFFF)
            Settings().WriteString(L"Settings.LOGS.PB.MyName", L"SomeBuddy", L"many");
        if (c.ownMask == 0xFFFFFFFE) {
            WriteBuddyLogMask(Settings(), L"My Name", L"Some Buddy", std::nullopt);
            Settings().WriteString(L"Settings.LOGS.PB", L"SomeBuddy", L"4");
        }
        BuddyChange change;
        change.account = L"My Name";
        change.buddy = L"Some Buddy";
        change.property = c.property;
        change.before = c.before;
        change.after = c.after;
        change.accounts = {{true, true}};
        EXPECT_EQ(writer_.OnBuddyChanged(change), c.logged) << c.what;
        if (c.logged == BuddyEvent::None)
            continue;
        ++written;
        tinyxml2::XMLDocument document;
        ASSERT_TRUE(ParseFile(events, document)) << c.what;
        const tinyxml2::XMLElement* last = document.RootElement()->LastChildElement("Event");
        ASSERT_NE(last, nullptr) << c.what;
        EXPECT_EQ(last->IntAttribute("Type"), static_cast<int>(c.logged)) << c.what;
        EXPECT_EQ(CountChildren(document.RootElement(), "Event"), written) << c.what;
    }
    tinyxml2::XMLDocument header;
    ASSERT_TRUE(ParseFile(writer_.BuddyFolder(L"My Name", L"Some Buddy") + L"Log.xml", header));
    EXPECT_STREQ(header.RootElement()->Attribute("Buddy"), "Some Buddy");
}

TEST_F(LogWriterTest, AnEventHeardByTwoAccountsIsLoggedOnce)
{
    Settings().WriteString(L"Settings.LOGS", L"Buddies", L"1");
    const wchar_t* accounts[] = {L"First", L"Second"};
    for (size_t self = 0; self < 2; ++self) {
        BuddyChange change;
        change.account = accounts[self];
        change.buddy = L"buddy";
        change.property = 3;
        change.before = {0};
        change.after = {1};
        change.accounts = {{true, true}, {true, true}};
        change.self = self;
        EXPECT_EQ(writer_.OnBuddyChanged(change), self == 0 ? BuddyEvent::SignOn : BuddyEvent::None);
    }
    EXPECT_TRUE(FileExists(writer_.BuddyFolder(L"First", L"buddy") + L"Events.xml"));
    EXPECT_FALSE(FolderExists(writer_.BuddyFolder(L"Second", L"buddy")));

    BuddyChange own;
    own.account = L"First";
    own.buddy = L"first";
    own.property = 3;
    own.before = {0};
    own.after = {1};
    own.accounts = {{true, true}};
    own.isSelf = true;
    EXPECT_EQ(writer_.OnBuddyChanged(own), BuddyEvent::None);
}

TEST_F(LogWriterTest, CommonFilesAreWrittenOnceAndKeptWhenEdited)
{
    writer_.EnsureCommonFiles();
    const std::wstring common = root_ + L"\\Common\\";
    for (const wchar_t* sheet : {L"LogStyle.xsl", L"EventLogStyle.xsl"}) {
        tinyxml2::XMLDocument document;
        ASSERT_TRUE(ParseFile(common + sheet, document)) << WideToUtf8(sheet);
        EXPECT_STREQ(document.RootElement()->Name(), "xsl:stylesheet");
    }
    const std::string style = ReadFileBytes(common + L"LogStyle.xsl");
    for (UINT id : {448u, 449u, 450u})
        EXPECT_NE(style.find("<th>" + WideToUtf8(LoadLangString(id)) + "</th>"), std::string::npos) << id;
    EXPECT_NE(style.find("<xsl:variable name=\"direction\">ltor</xsl:variable>"), std::string::npos);
    EXPECT_NE(ReadFileBytes(common + L"EventLogStyle.xsl").find("<th>" + WideToUtf8(LoadLangString(703)) + "</th>"),
              std::string::npos);
    EXPECT_EQ(ReadFileBytes(common + L"Attach.png").compare(0, 4, "\x89PNG"), 0);

    ASSERT_TRUE(WriteFileBytes(common + L"LogStyle.xsl", "edited"));
    ASSERT_TRUE(DeleteFileW((common + L"EventLogStyle.xsl").c_str()));
    writer_.EnsureCommonFiles();
    EXPECT_EQ(ReadFileBytes(common + L"LogStyle.xsl"), "edited");
    EXPECT_TRUE(FileExists(common + L"EventLogStyle.xsl"));
}

TEST_F(LogWriterTest, BuddyMonthFolderExistsOnceLogged)
{
    std::wstring path;
    EXPECT_FALSE(writer_.GetBuddyMonthFolder(L"My Name", L"buddy", path));
    EXPECT_FALSE(writer_.GetBuddyMonthFolder(L"", L"", path));
    SYSTEMTIME now;
    GetLocalTime(&now);
    LogSession session;
    ASSERT_TRUE(writer_.LogMessage(Received(L"buddy", L"now", now), session));
    ASSERT_TRUE(writer_.GetBuddyMonthFolder(L"My Name", L"buddy", path));
    EXPECT_EQ(path, root_ + L"\\Logs\\MyName\\IM\\buddy\\" + MonthFolderName(now) + L"\\");
    ASSERT_TRUE(writer_.GetBuddyMonthFolder(L"", L"", path));
    EXPECT_EQ(path, root_ + L"\\Logs");
}

TEST_F(LogWriterTest, DirectImFilesGetTheirFolderAndLinks)
{
    Settings().WriteString(L"Settings.LOGS", L"LogRecvDIMFiles", L"1");
    LoggedMessage message = Received(L"buddy", L"<img src=\"aoldim:/1\"><img src=\"aoldim:/2\">", day_);
    message.kind = LogConversationKind::DirectIm;
    message.attachmentCount = 2;
    message.files = {L"C:\\recv\\a.png", L"C:\\recv\\b.jpg"};
    LogSession session;
    std::wstring files;
    ASSERT_TRUE(writer_.LogMessage(message, session, &files));
    EXPECT_EQ(files, DayFolder(message) + L"Files\\");
    EXPECT_TRUE(FolderExists(files));
    tinyxml2::XMLDocument document;
    ASSERT_TRUE(ParseFile(DayFolder(message) + L"Sessions.xml", document));
    const tinyxml2::XMLElement* link =
        document.RootElement()->FirstChildElement("Message")->FirstChildElement("Body")->FirstChildElement("a");
    ASSERT_NE(link, nullptr);
    EXPECT_STREQ(link->Attribute("href"), "file:./Files/a.png");
    EXPECT_STREQ(link->NextSiblingElement("a")->Attribute("href"), "file:./Files/b.jpg");
}

}  // namespace
