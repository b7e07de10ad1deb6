// Turning one message of a conversation into the HTML block the view shows:
// which template of the theme it takes (a block starts with a "New"
// template and continues with "Next" ones while the same side keeps
// talking), and the template with its placeholders filled.
//
// Everything here works on plain values, so the window hands over what it
// read from the AIM layer and nothing needs a session or a window. The
// message body arrives already made safe by the window; every other value
// (names, screen names, icon paths, times) is text and is escaped here.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

enum class MessageKind : int {
    Notification = 0,
    Outgoing = 1,
    Incoming = 2,
};

// Message flags as the AIM layer reports them.
constexpr UINT kMessageAutoResponse = 0x1;
constexpr UINT kMessageOffline = 0x2;
constexpr UINT kMessageRealTimeFragment = 0x4;

// One side of the conversation as the templates show it.
struct ChatParty {
    std::wstring screenName;
    std::wstring name;     // friendly name, or the screen name when there is none
    std::wstring iconPath; // the buddy icon's file, "" for none
};

struct ChatMessage {
    MessageKind kind = MessageKind::Incoming;
    std::wstring id;        // the layer's identifier of the message, may be ""
    std::wstring text;      // the message as it arrived, before any cleaning
    std::wstring body;      // safe HTML for "$message$"
    std::wstring plainBody; // the same without font formatting, for "$plainmessage$"
    SYSTEMTIME time = {};   // local time of sending or receipt
    UINT flags = 0;
    ChatParty sender;       // the buddy (incoming) or the local user (outgoing)
    // Expression mode only: the sender's place among the session's members,
    // for "$remotenameclass$"; negative leaves the placeholder alone.
    int remoteNameIndex = -1;
    // The session shows the buddy's typing as it happens (real-time IM).
    bool realTimeSession = false;
};

// What to do with a message: whether it is shown at all, and the template.
struct TemplateChoice {
    bool show = false;
    const wchar_t* file = nullptr;
    bool isNext = false;
};

// The per-conversation memory behind the choice of template: the direction
// of the last message shown, and the identifier of the last outgoing one
// (the layer reports a sent message once when it leaves and may report it
// again; it is shown once).
class CMessageSequence {
public:
    // Decides for one message. Remembers an outgoing identifier, so ask once
    // per message.
    TemplateChoice Choose(const ChatMessage& message);
    // The message was shown: the next one of the same side continues its block.
    void Shown(MessageKind kind) { lastShown_ = static_cast<int>(kind); }
    int LastShown() const { return lastShown_; }

private:
    int lastShown_ = 0;
    std::wstring lastOutgoingId_;
};

// Messages a buddy's client sends to track presence, never shown.
bool IsTrackingMessage(const std::wstring& text);

// "<" ">" "&" and both quotes as entities, so the text stays text in element
// content and in attribute values alike.
std::wstring EscapeHtml(const std::wstring& text);

// Replaces every placeholder of `values` (name with its dollar signs) in one
// pass over the template: text that a value brings in is never looked at
// again, so a message that contains "$name$" keeps it as typed.
std::wstring FillPlaceholders(const std::wstring& templateText,
                              const std::vector<std::pair<std::wstring, std::wstring>>& values);

// The time as the system shows times (default locale, default format).
std::wstring MessageTimeText(const SYSTEMTIME& time);
// "Sent 2 hours ago" for a message that waited on the server; a message
// dated now or in the future counts as sent a second ago.
std::wstring OfflineAgeText(const SYSTEMTIME& sent, const SYSTEMTIME& now);

// Whether the template shows the body without font formatting.
bool TemplateWantsPlainBody(const std::wstring& templateText);

// The template filled for `message`; `now` dates offline messages.
std::wstring FillMessageTemplate(const std::wstring& templateText, const ChatMessage& message,
                                 const SYSTEMTIME& now);

// The header of a new conversation; `now` is its time stamp.
std::wstring FillHeaderTemplate(const std::wstring& templateText, const ChatParty& local, const ChatParty& remote,
                                const SYSTEMTIME& now);

// The pictures a theme shows for a side without a buddy icon.
constexpr wchar_t kRemoteUserPicture[] = L"Images\\RemoteUser.png";
constexpr wchar_t kLocalUserPicture[] = L"Images\\LocalUser.png";
