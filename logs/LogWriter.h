// CLogWriter: all writing of the conversation logs (one folder per buddy or
// room and per day, "Log.xml" header and "Sessions.xml" records) and of the
// buddy event logs ("Log.xml" header and "Events.xml" records per buddy),
// under the log root the AIM layer's preference names. The files are filled
// from the text templates of the media library and shown by a browser
// through the style sheets in "<root>\Common\".
//
// It works on plain values; LogConnection.h turns the layer's objects into
// them. Every name that reaches a file is escaped, and every name that
// becomes a folder is reduced to one safe path component first.
#pragma once

#include "BuddyEvent.h"
#include "LogText.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class CIni;

// Conversation kinds, as the layer's session mode gives them.
namespace LogConversationKind {
enum : int {
    Im = 0,
    DirectIm = 1,
    Chat = 2,
};
}

// The "Settings.LOGS" switches of one account.
struct LogSettings {
    bool logIms = false;
    bool logSentFiles = false;
    bool logReceivedFiles = false;
    bool logChatRooms = false;
    UINT buddies = 0;

    // "Buddies", plus conversations when "LogIMs" is on.
    UINT GlobalMask() const;
    static LogSettings Read(const CIni& ini, const std::wstring& account);
};

// The buddy's own mask from "Settings.LOGS.PB.<account>", or the global
// mask when it has none (or an unreadable one).
UINT BuddyLogMask(const CIni& ini, const LogSettings& settings, const std::wstring& account,
                  const std::wstring& buddy);
// Stores the buddy's own mask; `mask` empty removes it, so the global one
// applies again.
bool WriteBuddyLogMask(const CIni& ini, const std::wstring& account, const std::wstring& buddy,
                       std::optional<UINT> mask);

// One message as the conversation window shows it.
struct LoggedMessage {
    std::wstring accountName;
    std::wstring accountDisplayName;
    // The sender of a received message (chat members included); empty when
    // the conversation has none, and then the remote name stands for it.
    std::wstring senderName;
    std::wstring senderAlias;
    int kind = LogConversationKind::Im;
    std::wstring remoteName;
    std::wstring roomName;
    // The message as HTML, and the files of its direction.
    std::wstring html;
    long attachmentCount = 0;
    std::vector<std::wstring> files;
    UINT flags = 0;  // MessageLogFlags
    SYSTEMTIME local{};
};

// What a conversation window keeps between its logged messages.
struct LogSession {
    int id = 0;
    // The day folder the id belongs to: a conversation that goes on past
    // midnight takes a new id from the new day's header.
    std::wstring dayFolder;
};

// A buddy property change as the multi-account rule and the classifier see it.
struct BuddyChange {
    std::wstring account;
    std::wstring buddy;
    long property = 0;
    BuddyState before;
    BuddyState after;
    // The buddy is the account itself.
    bool isSelf = false;
    // Blocked and not reported as a buddy on the list.
    bool hidden = false;
    // For a personal message change: whether the new message has its text.
    bool messageReadable = true;
    // The client's accounts in order, and which one this is.
    std::vector<AccountListing> accounts;
    size_t self = 0;
};

class CLogWriter {
public:
    // The log root, or empty while no account is signed on or none is set.
    using RootSource = std::function<std::wstring()>;

    CLogWriter();
    explicit CLogWriter(RootSource source);

    // Forgets the root and asks for it again (when the preference changes).
    void ReadRootFolder();
    // The root without a trailing backslash; empty when unknown.
    std::wstring Root();

    // Whether the buddy's mask holds `event`. Conversations are logged only
    // while "LogIMs" is on, whatever the buddy's own mask says.
    bool IsEnabled(BuddyEvent event, const std::wstring& account, const std::wstring& buddy) const;
    // Whether a conversation of `kind` with `party` is logged at all.
    bool ShouldLogConversation(int kind, const std::wstring& account, const std::wstring& party) const;

    // Appends one message to its day's "Sessions.xml". `filesFolder`
    // receives the day's "Files\" folder when a direct IM's files are kept.
    bool LogMessage(const LoggedMessage& message, LogSession& session, std::wstring* filesFolder = nullptr);

    // Appends the event to the buddy's "Events.xml" (mask not checked).
    bool LogBuddyEvent(BuddyEvent event, const std::wstring& account, const std::wstring& buddy);
    bool LogBuddyEvent(BuddyEvent event, const std::wstring& account, const std::wstring& buddy,
                       const SYSTEMTIME& local);
    // Logs the change when it is an event the buddy's mask asks for; the
    // event logged, or None.
    BuddyEvent OnBuddyChanged(const BuddyChange& change);

    // Writes the missing style sheets and picture of "<root>\Common\";
    // existing ones are the user's and stay.
    void EnsureCommonFiles();

    // The buddy's folder of the current month, or "<root>\Logs" without an
    // account; true only when the folder exists.
    bool GetBuddyMonthFolder(const std::wstring& account, const std::wstring& buddy, std::wstring& path);

    // "<root>\Logs\<user>\IM\<buddy>\<day>\" or "...\Chat\<room>\<day>\".
    std::wstring DayFolder(int kind, const std::wstring& account, const std::wstring& party,
                           const std::wstring& room, const SYSTEMTIME& local);
    // "<root>\Logs\<user>\IM\<buddy>\".
    std::wstring BuddyFolder(const std::wstring& account, const std::wstring& buddy);

private:
    bool HaveRoot();
    bool WriteDayHeader(const std::wstring& folder, const LoggedMessage& message, const std::wstring& party);

    std::optional<std::wstring> root_;
    RootSource source_;
};

// The client's one writer, reading the root from the signed-on accounts.
CLogWriter& LogWriter();

// The text of a template of the media library ("XML", "XSL"); empty when
// missing.
std::wstring LoadLogTemplate(const wchar_t* name, const wchar_t* type);
