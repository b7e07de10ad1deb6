#include "MessageSounds.h"

#include "AccountSettings.h"
#include "ComTypes.h"
#include "Ini.h"

#include <mmsystem.h>
#include <wrl/client.h>

namespace {

constexpr wchar_t kSoundsGroup[] = L"Settings.SOUNDS";

SoundSource ReadSource(const CIni& ini, const std::wstring& account, const wchar_t* key)
{
    const int value = ReadAccountInt(ini, kSoundsGroup, account, key, 0);
    return value == 1 || value == 2 ? static_cast<SoundSource>(value) : SoundSource::None;
}

SoundChoice Choice(SoundSource source, const std::wstring& file)
{
    if (source == SoundSource::File && file.empty())
        return {};
    return SoundChoice{source, source == SoundSource::File ? file : std::wstring()};
}

// The local file of the sound item a message carries, if any.
std::wstring MessageSoundPath(AIMCC::IAccIm* message)
{
    ScopedVariant item;
    if (!message || FAILED(message->get_Property(AIMCC::AccImProp::Sound, item.Receive()))
        || item.value().vt != VT_DISPATCH || !item.value().pdispVal)
        return {};
    Microsoft::WRL::ComPtr<AIMCC::IAccBartItem> sound;
    if (FAILED(item.value().pdispVal->QueryInterface(IID_PPV_ARGS(&sound))))
        return {};
    ScopedVariant path;
    if (FAILED(sound->get_Property(AIMCC::AccBartProp::Path, path.Receive())) || path.value().vt != VT_BSTR
        || !path.value().bstrVal)
        return {};
    return std::wstring(path.value().bstrVal, SysStringLen(path.value().bstrVal));
}

} // namespace

MessageSoundSettings MessageSoundSettings::Read(const CIni& ini, const std::wstring& account)
{
    MessageSoundSettings settings;
    settings.disabled = ReadAccountInt(ini, kSoundsGroup, account, L"Disable", 0) == 1;
    settings.onceOnly = ReadAccountInt(ini, kSoundsGroup, account, L"MSGOnceOnly", 0) == 1;
    settings.firstReceived = ReadSource(ini, account, L"MSGFirstRecv");
    settings.received = ReadSource(ini, account, L"MSGRecv");
    settings.sent = ReadSource(ini, account, L"MSGSend");
    settings.firstReceivedFile = ReadAccountString(ini, kSoundsGroup, account, L"MSGFirstRecvFile", L"");
    settings.receivedFile = ReadAccountString(ini, kSoundsGroup, account, L"MSGRecvFile", L"");
    settings.sentFile = ReadAccountString(ini, kSoundsGroup, account, L"MSGSendFile", L"");
    return settings;
}

SoundChoice ReceivedMessageSound(const MessageSoundSettings& settings, bool first)
{
    if (settings.disabled || settings.received == SoundSource::None)
        return {};
    if (first)
        return Choice(settings.firstReceived, settings.firstReceivedFile);
    if (settings.onceOnly)
        return {};
    return Choice(settings.received, settings.receivedFile);
}

SoundChoice SentMessageSound(const MessageSoundSettings& settings, bool first)
{
    if (settings.disabled || settings.sent == SoundSource::None || (settings.onceOnly && !first))
        return {};
    return Choice(settings.sent, settings.sentFile);
}

void PlayMessageSound(const SoundChoice& choice, AIMCC::IAccIm* message)
{
    const std::wstring path = choice.source == SoundSource::File           ? choice.file
                              : choice.source == SoundSource::MessageSound ? MessageSoundPath(message)
                                                                           : std::wstring();
    if (!path.empty())
        PlaySoundW(path.c_str(), nullptr, SND_ASYNC | SND_FILENAME | SND_NODEFAULT);
}
