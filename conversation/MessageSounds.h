// Which sound a conversation window plays for a message it receives or
// sends, from the user's sound settings ("Settings.SOUNDS", the account's
// own section first), and playing it.
#pragma once

#include "AccCore.h"

#include <string>

class CIni;

enum class SoundSource : int {
    None = 0,
    MessageSound = 1,  // the sound the message carries from the network
    File = 2,          // the user's own file
};

struct MessageSoundSettings {
    bool disabled = false;
    bool onceOnly = false;
    SoundSource firstReceived = SoundSource::None;
    SoundSource received = SoundSource::None;
    SoundSource sent = SoundSource::None;
    std::wstring firstReceivedFile;
    std::wstring receivedFile;
    std::wstring sentFile;

    static MessageSoundSettings Read(const CIni& ini, const std::wstring& account);
};

struct SoundChoice {
    SoundSource source = SoundSource::None;
    std::wstring file;  // for SoundSource::File
};

// A received message; `first` while the window's first-message mark is set.
SoundChoice ReceivedMessageSound(const MessageSoundSettings& settings, bool first);
// A sent message confirmed; `first` while the window's first-message mark is set.
SoundChoice SentMessageSound(const MessageSoundSettings& settings, bool first);

// Plays the choice: the file, or the sound item `message` carries.
void PlayMessageSound(const SoundChoice& choice, AIMCC::IAccIm* message);
