#include "MessageTemplate.h"

#include "Duration.h"
#include "LangStrings.h"

#include <algorithm>
#include <climits>
#include <cwchar>

namespace {

constexpr UINT kAutoResponseSuffix = 223;
constexpr UINT kOfflineSuffix = 255;
constexpr UINT kOfflineAge = 273;

constexpr wchar_t kTrackingPrefix[] = L"<trackbuddy>";

// A name as a block shows it: with the note that the message was an
// automatic reply or waited on the server.
std::wstring DecoratedName(const std::wstring& value, UINT flags)
{
    std::wstring text = value;
    if (flags & kMessageOffline)
        text += L" " + LoadLangString(kOfflineSuffix);
    if (flags & kMessageAutoResponse)
        text += L" " + LoadLangString(kAutoResponseSuffix);
    return text;
}

bool ToTicks(const SYSTEMTIME& time, ULONGLONG* ticks)
{
    FILETIME file = {};
    if (!SystemTimeToFileTime(&time, &file))
        return false;
    *ticks = (static_cast<ULONGLONG>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
    return true;
}

} // namespace

TemplateChoice CMessageSequence::Choose(const ChatMessage& message)
{
    TemplateChoice choice;
    switch (message.kind) {
    case MessageKind::Outgoing:
        // Only a real identifier can say two reports are the same message.
        if (!message.id.empty() && message.id == lastOutgoingId_)
            return choice;
        if (!message.id.empty())
            lastOutgoingId_ = message.id;
        choice.isNext = lastShown_ == static_cast<int>(MessageKind::Outgoing);
        choice.file = choice.isNext ? L"OutgoingNext.htm" : L"OutgoingNew.htm";
        break;
    case MessageKind::Incoming:
        if (IsTrackingMessage(message.text))
            return choice;
        choice.isNext = lastShown_ == static_cast<int>(MessageKind::Incoming);
        choice.file = choice.isNext ? L"IncomingNext.htm" : L"IncomingNew.htm";
        break;
    case MessageKind::Notification:
        choice.file = L"Notification.htm";
        break;
    }
    choice.show = true;
    return choice;
}

bool IsTrackingMessage(const std::wstring& text)
{
    const size_t length = wcslen(kTrackingPrefix);
    return text.size() >= length && _wcsnicmp(text.c_str(), kTrackingPrefix, length) == 0;
}

std::wstring EscapeHtml(const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        switch (c) {
        case L'<':
            out += L"&lt;";
            break;
        case L'>':
            out += L"&gt;";
            break;
        case L'&':
            out += L"&amp;";
            break;
        case L'"':
            out += L"&quot;";
            break;
        case L'\'':
            out += L"&#39;";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

std::wstring FillPlaceholders(const std::wstring& templateText,
                              const std::vector<std::pair<std::wstring, std::wstring>>& values)
{
    std::wstring out;
    out.reserve(templateText.size());
    size_t i = 0;
    while (i < templateText.size()) {
        const size_t dollar = templateText.find(L'$', i);
        if (dollar == std::wstring::npos) {
            out.append(templateText, i, std::wstring::npos);
            break;
        }
        out.append(templateText, i, dollar - i);
        const auto match = std::find_if(values.begin(), values.end(), [&](const auto& value) {
            return templateText.compare(dollar, value.first.size(), value.first) == 0;
        });
        if (match == values.end()) {
            out.push_back(L'$');
            i = dollar + 1;
        } else {
            out += match->second;
            i = dollar + match->first.size();
        }
    }
    return out;
}

std::wstring MessageTimeText(const SYSTEMTIME& time)
{
    wchar_t text[80] = {};
    if (!GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, 0, &time, nullptr, text, ARRAYSIZE(text)))
        return std::wstring();
    return text;
}

std::wstring OfflineAgeText(const SYSTEMTIME& sent, const SYSTEMTIME& now)
{
    ULONGLONG sentTicks = 0;
    ULONGLONG nowTicks = 0;
    // At least a second: a sender's clock ahead of ours gives no negative
    // age, and the sentence never lacks its duration.
    ULONGLONG seconds = 1;
    if (ToTicks(sent, &sentTicks) && ToTicks(now, &nowTicks) && nowTicks > sentTicks)
        seconds = std::max<ULONGLONG>(1, (nowTicks - sentTicks) / 10000000ULL);
    std::wstring age;
    FormatDuration(static_cast<int>(std::min<ULONGLONG>(seconds, INT_MAX)), age, true, true);
    return FormatLangString(kOfflineAge, {age});
}

bool TemplateWantsPlainBody(const std::wstring& templateText)
{
    return templateText.find(L"$plainmessage$") != std::wstring::npos;
}

std::wstring FillMessageTemplate(const std::wstring& templateText, const ChatMessage& message,
                                 const SYSTEMTIME& now)
{
    std::vector<std::pair<std::wstring, std::wstring>> values;
    values.emplace_back(L"$message$", message.body);
    values.emplace_back(L"$plainmessage$", message.plainBody);

    const bool incoming = message.kind == MessageKind::Incoming;
    const bool offlineIncoming = incoming && (message.flags & kMessageOffline);
    values.emplace_back(L"$timestamp$",
                        EscapeHtml(offlineIncoming ? OfflineAgeText(message.time, now) : MessageTimeText(message.time)));

    if (message.kind == MessageKind::Notification) {
        for (const wchar_t* name : {L"$screenname$", L"$name$", L"$buddyicon$"})
            values.emplace_back(name, std::wstring());
    } else {
        const ChatParty& sender = message.sender;
        const std::wstring& name = sender.name.empty() ? sender.screenName : sender.name;
        values.emplace_back(L"$screenname$", EscapeHtml(DecoratedName(sender.screenName, message.flags)));
        values.emplace_back(L"$name$", EscapeHtml(DecoratedName(name, message.flags)));
        const wchar_t* fallback = incoming ? kRemoteUserPicture : kLocalUserPicture;
        values.emplace_back(L"$buddyicon$", EscapeHtml(sender.iconPath.empty() ? fallback : sender.iconPath));
        if (incoming && message.remoteNameIndex >= 0)
            values.emplace_back(L"$remotenameclass$", L"remoteName" + std::to_wstring(message.remoteNameIndex));
    }
    return FillPlaceholders(templateText, values);
}

std::wstring FillHeaderTemplate(const std::wstring& templateText, const ChatParty& local, const ChatParty& remote,
                                const SYSTEMTIME& now)
{
    auto nameOf = [](const ChatParty& party) { return party.name.empty() ? party.screenName : party.name; };
    return FillPlaceholders(
        templateText,
        {
            {L"$screennamein$", EscapeHtml(remote.screenName)},
            {L"$screennameout$", EscapeHtml(local.screenName)},
            {L"$namein$", EscapeHtml(nameOf(remote))},
            {L"$nameout$", EscapeHtml(nameOf(local))},
            {L"$timestamp$", EscapeHtml(MessageTimeText(now))},
            {L"$buddyiconin$", EscapeHtml(remote.iconPath.empty() ? kRemoteUserPicture : remote.iconPath)},
            {L"$buddyiconout$", EscapeHtml(local.iconPath.empty() ? kLocalUserPicture : local.iconPath)},
        });
}
