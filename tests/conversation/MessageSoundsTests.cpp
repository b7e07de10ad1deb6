// The sounds a conversation window chooses for the messages it receives
// and sends, from the user's settings.
#include "MessageSounds.h"

#include "AppState.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct SoundCase {
    const char* name;
    // "Settings.SOUNDS" keys and values; the account's own section holds
    // the ones marked own.
    std::vector<std::pair<const wchar_t*, const wchar_t*>> global;
    std::vector<std::pair<const wchar_t*, const wchar_t*>> own;
    // The choices for three received messages in a new window, and for a
    // sent one before and after the window's first message.
    SoundSource received[3];
    SoundSource sentFirst;
    SoundSource sentLater;
};

TEST(MessageSoundsTest, ChoicesFollowTheSettings)
{
    using S = SoundSource;
    const SoundCase cases[] = {
        {"nothing set", {}, {}, {S::None, S::None, S::None}, S::None, S::None},
        {"own sounds", {{L"MSGFirstRecv", L"1"}, {L"MSGRecv", L"1"}, {L"MSGSend", L"1"}}, {},
         {S::MessageSound, S::MessageSound, S::MessageSound}, S::MessageSound, S::MessageSound},
        {"first differs", {{L"MSGFirstRecv", L"2"}, {L"MSGFirstRecvFile", L"C:\\a.wav"}, {L"MSGRecv", L"1"}}, {},
         {S::File, S::MessageSound, S::MessageSound}, S::None, S::None},
        // Without a received sound, not even the first message sounds.
        {"received off", {{L"MSGFirstRecv", L"1"}, {L"MSGRecv", L"0"}}, {}, {S::None, S::None, S::None}, S::None,
         S::None},
        {"once only", {{L"MSGOnceOnly", L"1"}, {L"MSGFirstRecv", L"1"}, {L"MSGRecv", L"1"}, {L"MSGSend", L"1"}}, {},
         {S::MessageSound, S::None, S::None}, S::MessageSound, S::None},
        {"disabled", {{L"Disable", L"1"}, {L"MSGFirstRecv", L"1"}, {L"MSGRecv", L"1"}, {L"MSGSend", L"1"}}, {},
         {S::None, S::None, S::None}, S::None, S::None},
        {"the account's own section wins", {{L"MSGRecv", L"1"}, {L"MSGFirstRecv", L"1"}}, {{L"Disable", L"1"}},
         {S::None, S::None, S::None}, S::None, S::None},
        // Unknown values are none; a file setting without a file is silent.
        {"bad values", {{L"MSGRecv", L"7"}, {L"MSGFirstRecv", L"1"}, {L"MSGSend", L"2"}}, {},
         {S::None, S::None, S::None}, S::None, S::None},
    };
    for (const SoundCase& c : cases) {
        TempFolder folder;
        Settings().SetPath(folder.File(L"Velmora.ini").c_str());
        for (const auto& [key, value] : c.global)
            Settings().WriteString(L"Settings.SOUNDS", key, value);
        for (const auto& [key, value] : c.own)
            Settings().WriteString(L"Settings.SOUNDS.AliceDemo", key, value);
        const MessageSoundSettings settings = MessageSoundSettings::Read(Settings(), L"Alice Demo");
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(c.received[i], ReceivedMessageSound(settings, i == 0).source) << c.name << " message " << i;
        EXPECT_EQ(c.sentFirst, SentMessageSound(settings, true).source) << c.name;
        EXPECT_EQ(c.sentLater, SentMessageSound(settings, false).source) << c.name;
        Settings().SetPath(nullptr);
    }
    // The file comes with its choice.
    MessageSoundSettings files;
    files.received = SoundSource::File;
    files.receivedFile = L"C:\\r.wav";
    EXPECT_EQ(L"C:\\r.wav", ReceivedMessageSound(files, false).file);
}

} // namespace
