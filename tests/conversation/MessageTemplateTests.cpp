// Which template a message of a conversation takes, and the template filled
// with its values, without a window.
#include "MessageTemplate.h"

#include "LangStrings.h"
#include "ScopedHandle.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

SYSTEMTIME At(WORD hour, WORD minute, WORD day = 11)
{
    SYSTEMTIME time = {};
    time.wYear = 2026;
    time.wMonth = 12;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    return time;
}

ChatMessage Message(MessageKind kind, const std::wstring& id = L"", const std::wstring& text = L"hi")
{
    ChatMessage message;
    message.kind = kind;
    message.id = id;
    message.text = text;
    message.body = text;
    message.time = At(10, 30);
    message.sender = {L"Bob Demo", L"Bobby", L""};
    return message;
}

class LangTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        lang_.reset(LoadLibraryExW((ExeFolder() + L"VLMLang.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(lang_.valid());
        SetLangModule(lang_.get());
    }
    void TearDown() override { SetLangModule(nullptr); }

private:
    ScopedModule lang_;
};

} // namespace

TEST(MessageSequenceTest, BlocksStartWithNewAndContinueWithNext)
{
    struct Step {
        MessageKind kind;
        const wchar_t* file;
        bool isNext;
    };
    const Step steps[] = {
        {MessageKind::Incoming, L"IncomingNew.htm", false},
        {MessageKind::Incoming, L"IncomingNext.htm", true},
        {MessageKind::Incoming, L"IncomingNext.htm", true},
        {MessageKind::Outgoing, L"OutgoingNew.htm", false},
        {MessageKind::Outgoing, L"OutgoingNext.htm", true},
        {MessageKind::Incoming, L"IncomingNew.htm", false},
        {MessageKind::Notification, L"Notification.htm", false},
        {MessageKind::Incoming, L"IncomingNew.htm", false},
        {MessageKind::Notification, L"Notification.htm", false},
        {MessageKind::Outgoing, L"OutgoingNew.htm", false},
    };
    CMessageSequence sequence;
    int n = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(n++);
        const TemplateChoice choice = sequence.Choose(Message(step.kind));
        ASSERT_TRUE(choice.show);
        EXPECT_STREQ(step.file, choice.file);
        EXPECT_EQ(step.isNext, choice.isNext);
        sequence.Shown(step.kind);
    }
}

TEST(MessageSequenceTest, TrackingMessagesAreNeverShown)
{
    CMessageSequence sequence;
    for (const wchar_t* text : {L"<trackbuddy>", L"<TrackBuddy>x", L"<TRACKBUDDY> anything"})
        EXPECT_FALSE(sequence.Choose(Message(MessageKind::Incoming, L"", text)).show) << text;
    EXPECT_TRUE(sequence.Choose(Message(MessageKind::Incoming, L"", L"hi <trackbuddy>")).show);
    // Only the buddy's side is filtered; our own text is ours to show.
    EXPECT_TRUE(sequence.Choose(Message(MessageKind::Outgoing, L"", L"<trackbuddy>")).show);
}

TEST(MessageSequenceTest, AnOutgoingMessageReportedTwiceIsShownOnce)
{
    CMessageSequence sequence;
    EXPECT_TRUE(sequence.Choose(Message(MessageKind::Outgoing, L"m1")).show);
    sequence.Shown(MessageKind::Outgoing);
    EXPECT_FALSE(sequence.Choose(Message(MessageKind::Outgoing, L"m1")).show);
    EXPECT_TRUE(sequence.Choose(Message(MessageKind::Outgoing, L"m2")).show);
    // Messages without an identifier are all different messages.
    EXPECT_TRUE(sequence.Choose(Message(MessageKind::Outgoing, L"")).show);
    EXPECT_TRUE(sequence.Choose(Message(MessageKind::Outgoing, L"")).show);
    // And an empty one does not forget the last real identifier.
    EXPECT_FALSE(sequence.Choose(Message(MessageKind::Outgoing, L"m2")).show);
}

TEST(FillPlaceholdersTest, OnePassOverTheTemplate)
{
    const std::vector<std::pair<std::wstring, std::wstring>> values = {
        {L"$message$", L"say $name$"}, {L"$name$", L"Bob"}, {L"$screenname$", L"bob1"}};
    struct Case {
        const wchar_t* templ;
        const wchar_t* filled;
    };
    const Case cases[] = {
        {L"$message$", L"say $name$"},
        {L"<p>$name$: $message$</p>", L"<p>Bob: say $name$</p>"},
        {L"$name$$name$", L"BobBob"},
        {L"$screenname$ / $name$", L"bob1 / Bob"},
        {L"costs $5 and $unknown$", L"costs $5 and $unknown$"},
        {L"$", L"$"},
        {L"$nam", L"$nam"},
        {L"", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.filled, FillPlaceholders(c.templ, values)) << c.templ;
}

TEST(EscapeHtmlTest, MarkupCharactersBecomeEntities)
{
    EXPECT_EQ(L"&lt;b onmouseover=&quot;x()&quot;&gt;Tom &amp; Jerry&#39;s&lt;/b&gt;",
              EscapeHtml(L"<b onmouseover=\"x()\">Tom & Jerry's</b>"));
    EXPECT_EQ(L"plain", EscapeHtml(L"plain"));
}

using FillTemplateTest = LangTest;

TEST_F(FillTemplateTest, EveryPlaceholderOfAMessage)
{
    const std::wstring templ =
        L"[$screenname$|$name$|$timestamp$|$buddyicon$|$message$|$plainmessage$|$remotenameclass$]";
    ChatMessage incoming = Message(MessageKind::Incoming, L"", L"<b>hi</b>");
    incoming.plainBody = L"hi";
    incoming.sender = {L"Bob<1>", L"Bob \"B\"", L"C:\\cache\\bob.png"};
    incoming.remoteNameIndex = 1;
    const std::wstring time = MessageTimeText(incoming.time);
    ASSERT_FALSE(time.empty());
    EXPECT_EQ(L"[Bob&lt;1&gt;|Bob &quot;B&quot;|" + time + L"|C:\\cache\\bob.png|<b>hi</b>|hi|remoteName1]",
              FillMessageTemplate(templ, incoming, At(11, 0)));

    ChatMessage outgoing = Message(MessageKind::Outgoing);
    outgoing.sender = {L"Alice", L"", L""};
    EXPECT_EQ(L"[Alice|Alice|" + time + L"|Images\\LocalUser.png|hi||$remotenameclass$]",
              FillMessageTemplate(templ, outgoing, At(11, 0)));

    incoming.sender.iconPath.clear();
    incoming.remoteNameIndex = -1;
    EXPECT_EQ(L"[Bob&lt;1&gt;|Bob &quot;B&quot;|" + time + L"|Images\\RemoteUser.png|<b>hi</b>|hi|$remotenameclass$]",
              FillMessageTemplate(templ, incoming, At(11, 0)));

    ChatMessage notice = Message(MessageKind::Notification, L"", L"Bob signed off");
    notice.remoteNameIndex = 2;
    EXPECT_EQ(L"[||" + time + L"||Bob signed off||$remotenameclass$]",
              FillMessageTemplate(templ, notice, At(11, 0)));
}

TEST_F(FillTemplateTest, OfflineAndAutomaticRepliesAreMarkedInTheName)
{
    const std::wstring offline = LoadLangString(255);
    const std::wstring automatic = LoadLangString(223);
    ASSERT_FALSE(offline.empty());
    ASSERT_FALSE(automatic.empty());
    struct Case {
        UINT flags;
        std::wstring name;
    };
    const Case cases[] = {
        {0, L"Bobby"},
        {kMessageAutoResponse, L"Bobby " + EscapeHtml(automatic)},
        {kMessageOffline, L"Bobby " + EscapeHtml(offline)},
        {kMessageOffline | kMessageAutoResponse, L"Bobby " + EscapeHtml(offline) + L" " + EscapeHtml(automatic)},
    };
    for (const Case& c : cases) {
        ChatMessage message = Message(MessageKind::Incoming);
        message.flags = c.flags;
        EXPECT_EQ(c.name, FillMessageTemplate(L"$name$", message, At(11, 0))) << c.flags;
    }
}

TEST_F(FillTemplateTest, AnOfflineMessageShowsItsAgeNeverANegativeOne)
{
    ChatMessage message = Message(MessageKind::Incoming);
    message.flags = kMessageOffline;
    message.time = At(9, 0);
    const std::wstring twoHours = FillMessageTemplate(L"$timestamp$", message, At(11, 0));
    EXPECT_NE(std::wstring::npos, twoHours.find(L"2")) << twoHours;
    EXPECT_EQ(EscapeHtml(OfflineAgeText(At(9, 0), At(11, 0))), twoHours);
    // A sender's clock ahead of ours: the message is as new as can be.
    EXPECT_EQ(OfflineAgeText(At(11, 0), At(11, 0)), OfflineAgeText(At(12, 0, 12), At(11, 0)));
    const std::wstring future = OfflineAgeText(At(12, 0, 12), At(11, 0));
    EXPECT_EQ(std::wstring::npos, future.find(L"-")) << future;
    EXPECT_NE(std::wstring::npos, future.find(L"1")) << future;
    // Outgoing messages always show the time they were sent.
    message.kind = MessageKind::Outgoing;
    EXPECT_EQ(MessageTimeText(message.time), FillMessageTemplate(L"$timestamp$", message, At(11, 0)));
}

TEST_F(FillTemplateTest, HeaderNamesBothSides)
{
    const ChatParty local = {L"Alice Demo", L"Alice", L""};
    const ChatParty remote = {L"Bob Demo", L"", L"C:\\icons\\b&b.png"};
    const std::wstring filled = FillHeaderTemplate(
        L"$screennamein$|$screennameout$|$namein$|$nameout$|$buddyiconin$|$buddyiconout$|$timestamp$", local, remote,
        At(10, 5));
    EXPECT_EQ(L"Bob Demo|Alice Demo|Bob Demo|Alice|C:\\icons\\b&amp;b.png|Images\\LocalUser.png|" +
                  MessageTimeText(At(10, 5)),
              filled);
}
