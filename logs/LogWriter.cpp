#include "LogWriter.h"

#include "AccountSettings.h"
#include "AppState.h"
#include "Folders.h"
#include "Ini.h"
#include "LangStrings.h"
#include "LogFile.h"
#include "MediaLibrary.h"
#include "StringConv.h"

#include <cwchar>

namespace {

const wchar_t kLogsGroup[] = L"Settings.LOGS";
const wchar_t kBuddyMaskGroup[] = L"Settings.LOGS.PB";

std::wstring WithoutTrailingBackslash(std::wstring path)
{
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/'))
        path.pop_back();
    return path;
}

// Fills a template with escaped values and gives the UTF-8 bytes of the
// file; empty when the template is missing.
std::string FillLogTemplate(const wchar_t* name, const wchar_t* type, std::initializer_list<std::wstring> inserts)
{
    const std::wstring pattern = LoadLogTemplate(name, type);
    if (pattern.empty())
        return {};
    return WideToUtf8(FillInserts(pattern, inserts));
}

std::wstring TextDirection() { return LoadLangString(1) == L"0" ? L"ltor" : L"rtol"; }

std::wstring EscapedLangString(UINT id) { return XmlEscape(LoadLangString(id)); }

bool WriteCommonTemplate(const std::wstring& path, const wchar_t* name, std::initializer_list<UINT> labels)
{
    if (PathExists(path))
        return true;
    std::vector<std::wstring> values;
    for (UINT id : labels)
        values.push_back(EscapedLangString(id));
    const std::string bytes =
        FillLogTemplate(name, L"XSL", {values.at(0), values.at(1), values.at(2), TextDirection()});
    return !bytes.empty() && WriteNewFile(path, bytes);
}

bool CopyMediaResource(const std::wstring& path, const wchar_t* name, const wchar_t* type)
{
    if (PathExists(path))
        return true;
    HMODULE module = MediaModule();
    HRSRC resource = module ? FindResourceW(module, name, type) : nullptr;
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = resource ? SizeofResource(module, resource) : 0;
    if (!data || size == 0)
        return false;
    return WriteNewFile(path, std::string_view(static_cast<const char*>(data), size));
}

}  // namespace

UINT LogSettings::GlobalMask() const
{
    return (buddies & kAllBuddyEventsMask) | (logIms ? BuddyEventBit(BuddyEvent::LogConversations) : 0);
}

LogSettings LogSettings::Read(const CIni& ini, const std::wstring& account)
{
    LogSettings settings;
    settings.logIms = ReadAccountUInt(ini, kLogsGroup, account, L"LogIMs", 0) == 1;
    settings.logSentFiles = ReadAccountUInt(ini, kLogsGroup, account, L"LogSentDIMFiles", 0) == 1;
    settings.logReceivedFiles = ReadAccountUInt(ini, kLogsGroup, account, L"LogRecvDIMFiles", 0) == 1;
    settings.logChatRooms = ReadAccountUInt(ini, kLogsGroup, account, L"LogChatRooms", 0) == 1;
    settings.buddies = ReadAccountUInt(ini, kLogsGroup, account, L"Buddies", 0);
    return settings;
}

UINT BuddyLogMask(const CIni& ini, const LogSettings& settings, const std::wstring& account,
                  const std::wstring& buddy)
{
    const std::wstring section = AccountSection(kBuddyMaskGroup, account);
    const std::wstring key = WithoutSpaces(buddy);
    if (key.empty())
        return settings.GlobalMask();
    // Like every account setting, a buddy's mask falls back to the plain
    // section when the account's own has none.
    std::wstring value = ini.GetString(section.c_str(), key.c_str(), L"");
    if (value.empty())
        value = ini.GetString(kBuddyMaskGroup, key.c_str(), L"");
    if (value.empty() || value.size() > 10 || value.find_first_not_of(L"0123456789") != std::wstring::npos)
        return settings.GlobalMask();
    const unsigned long long mask = std::wcstoull(value.c_str(), nullptr, 10);
    return mask > 0xFFFFFFFFull ? settings.GlobalMask() : static_cast<UINT>(mask);
}

bool WriteBuddyLogMask(const CIni& ini, const std::wstring& account, const std::wstring& buddy,
                       std::optional<UINT> mask)
{
    const std::wstring section = AccountSection(kBuddyMaskGroup, account);
    const std::wstring key = WithoutSpaces(buddy);
    if (key.empty())
        return false;
    if (!mask)
        return ini.DeleteKey(section.c_str(), key.c_str());
    return ini.WriteUInt(section.c_str(), key.c_str(), *mask);
}

std::wstring LoadLogTemplate(const wchar_t* name, const wchar_t* type)
{
    HMODULE module = MediaModule();
    HRSRC resource = module ? FindResourceW(module, name, type) : nullptr;
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const auto* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    const DWORD size = resource ? SizeofResource(module, resource) : 0;
    if (!data || size == 0)
        return {};
    // Templates may be kept as UTF-16 (with its byte order mark) or UTF-8.
    if (size >= 2 && static_cast<unsigned char>(data[0]) == 0xFF && static_cast<unsigned char>(data[1]) == 0xFE)
        return std::wstring(reinterpret_cast<const wchar_t*>(data + 2), (size - 2) / sizeof(wchar_t));
    std::string_view text(data, size);
    if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.remove_prefix(3);
    return Utf8ToWide(text);
}

CLogWriter::CLogWriter(RootSource source) : source_(std::move(source)) {}

void CLogWriter::ReadRootFolder()
{
    root_.reset();
    std::wstring root = source_ ? WithoutTrailingBackslash(source_()) : std::wstring();
    if (!root.empty())
        root_ = std::move(root);
}

std::wstring CLogWriter::Root()
{
    return HaveRoot() ? *root_ : std::wstring();
}

bool CLogWriter::HaveRoot()
{
    if (!root_)
        ReadRootFolder();
    return root_.has_value();
}

namespace {

bool IsEnabledBy(const LogSettings& settings, BuddyEvent event, const std::wstring& account,
                 const std::wstring& buddy)
{
    const UINT mask = BuddyLogMask(Settings(), settings, account, buddy);
    if (event == BuddyEvent::LogConversations)
        return settings.logIms && (mask & BuddyEventBit(event)) != 0;
    return IsBuddyEventEnabled(mask, event);
}

bool ConversationLoggedBy(const LogSettings& settings, int kind, const std::wstring& account,
                          const std::wstring& party)
{
    if (kind == LogConversationKind::Chat)
        return settings.logChatRooms;
    return IsEnabledBy(settings, BuddyEvent::LogConversations, account, party);
}

}  // namespace

bool CLogWriter::IsEnabled(BuddyEvent event, const std::wstring& account, const std::wstring& buddy) const
{
    return IsEnabledBy(LogSettings::Read(Settings(), account), event, account, buddy);
}

bool CLogWriter::ShouldLogConversation(int kind, const std::wstring& account, const std::wstring& party) const
{
    return ConversationLoggedBy(LogSettings::Read(Settings(), account), kind, account, party);
}

std::wstring CLogWriter::DayFolder(int kind, const std::wstring& account, const std::wstring& party,
                                   const std::wstring& room, const SYSTEMTIME& local)
{
    if (!HaveRoot())
        return {};
    const std::wstring user = SafePathComponent(WithoutSpaces(account));
    const std::wstring day = DayFolderName(local);
    // Without its date the day's header would land in the buddy's folder,
    // where the event log's header lives.
    if (day.empty())
        return {};
    if (kind == LogConversationKind::Chat)
        return *root_ + L"\\Logs\\" + user + L"\\Chat\\" + SafePathComponent(room) + L"\\" + day + L"\\";
    return *root_ + L"\\Logs\\" + user + L"\\IM\\" + SafePathComponent(WithoutSpaces(party)) + L"\\" + day + L"\\";
}

std::wstring CLogWriter::BuddyFolder(const std::wstring& account, const std::wstring& buddy)
{
    if (!HaveRoot())
        return {};
    return *root_ + L"\\Logs\\" + SafePathComponent(WithoutSpaces(account)) + L"\\IM\\"
        + SafePathComponent(WithoutSpaces(buddy)) + L"\\";
}

bool CLogWriter::WriteDayHeader(const std::wstring& folder, const LoggedMessage& message, const std::wstring& party)
{
    const std::string header = FillLogTemplate(
        L"Log.xml", L"XML",
        {XmlEscape(message.accountName), XmlEscape(party), XmlEscape(ShortDateText(message.local))});
    return !header.empty() && ReplaceFileContents(folder + L"Log.xml", header);
}

bool CLogWriter::LogMessage(const LoggedMessage& message, LogSession& session, std::wstring* filesFolder)
{
    if (!HaveRoot())
        return false;
    const bool fromSender = !message.senderName.empty();
    // The folder is named after the other party; a sent message's sender is
    // the account itself.
    const bool received = (message.flags & MessageLogFlags::Received) != 0;
    const std::wstring party = received && fromSender ? message.senderName : message.remoteName;
    const LogSettings settings = LogSettings::Read(Settings(), message.accountName);
    if (!ConversationLoggedBy(settings, message.kind, message.accountName, party))
        return false;
    const std::wstring folder = DayFolder(message.kind, message.accountName, party, message.roomName, message.local);
    if (folder.empty())
        return false;
    if (!PathExists(folder + L"Log.xml")) {
        CreateFolderPath(folder);
        if (!WriteDayHeader(folder, message, party))
            return false;
        session = {1, folder};
    } else if (session.id == 0 || session.dayFolder != folder) {
        session = {AllocateSessionId(folder), folder};
    }

    if (message.kind == LogConversationKind::DirectIm && (settings.logSentFiles || settings.logReceivedFiles)) {
        const std::wstring files = folder + L"Files\\";
        CreateFolderPath(files);
        if (filesFolder)
            *filesFolder = files;
    }

    EmbeddedFiles embedded;
    embedded.count = message.attachmentCount;
    embedded.paths = message.files;
    embedded.link = (received && settings.logReceivedFiles)
        || ((message.flags & MessageLogFlags::Sent) && settings.logSentFiles);
    const std::wstring body = CleanMessageBody(message.html, embedded);

    std::wstring senderName;
    std::wstring senderDisplay;
    if (message.flags & MessageLogFlags::System) {
        // a notice of the program: nobody sent it
    } else if (message.flags & MessageLogFlags::Sent) {
        senderName = message.accountName;
        senderDisplay = message.accountDisplayName.empty() ? message.accountName : message.accountDisplayName;
    } else {
        senderName = fromSender ? message.senderName : message.remoteName;
        senderDisplay = fromSender && !message.senderAlias.empty() ? message.senderAlias : senderName;
    }
    const std::string record = FillLogTemplate(
        L"Sessions.xml", L"XML",
        {std::to_wstring(session.id), XmlEscape(TimeText(message.local)), UtcStamp(message.local),
         SenderKind(message.flags), XmlEscape(senderName), XmlEscape(senderDisplay), body});
    return !record.empty() && AppendXmlRecord(folder + L"Sessions.xml", "Sessions", record);
}

bool CLogWriter::LogBuddyEvent(BuddyEvent event, const std::wstring& account, const std::wstring& buddy)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return LogBuddyEvent(event, account, buddy, now);
}

bool CLogWriter::LogBuddyEvent(BuddyEvent event, const std::wstring& account, const std::wstring& buddy,
                               const SYSTEMTIME& local)
{
    if (event == BuddyEvent::None || event == BuddyEvent::LogConversations || !HaveRoot())
        return false;
    const std::wstring folder = BuddyFolder(account, buddy);
    CreateFolderPath(folder);
    if (!PathExists(folder + L"Log.xml")) {
        const std::string header = FillLogTemplate(L"EventLog.xml", L"XML", {XmlEscape(account), XmlEscape(buddy)});
        if (header.empty() || !ReplaceFileContents(folder + L"Log.xml", header))
            return false;
    }
    const std::string record =
        FillLogTemplate(L"Events.xml", L"XML",
                        {XmlEscape(TimeText(local)), XmlEscape(ShortDateText(local)), UtcStamp(local),
                         std::to_wstring(static_cast<int>(event))});
    return !record.empty() && AppendXmlRecord(folder + L"Events.xml", "Events", record);
}

BuddyEvent CLogWriter::OnBuddyChanged(const BuddyChange& change)
{
    if (change.isSelf || change.hidden || change.before.presence == -1)
        return BuddyEvent::None;
    if (!IsRecordingAccount(change.accounts, change.self))
        return BuddyEvent::None;
    const BuddyEvent event = ClassifyBuddyChange(change.property, change.before, change.after);
    if (event == BuddyEvent::None || (event == BuddyEvent::PersonalMessage && !change.messageReadable))
        return BuddyEvent::None;
    if (!IsEnabled(event, change.account, change.buddy))
        return BuddyEvent::None;
    return LogBuddyEvent(event, change.account, change.buddy) ? event : BuddyEvent::None;
}

void CLogWriter::EnsureCommonFiles()
{
    if (!HaveRoot())
        return;
    const std::wstring common = *root_ + L"\\Common\\";
    CreateFolderPath(common);
    WriteCommonTemplate(common + L"LogStyle.xsl", L"LogStyle.xsl", {448, 449, 450});
    WriteCommonTemplate(common + L"EventLogStyle.xsl", L"EventLogStyle.xsl", {703, 448, 702});
    CopyMediaResource(common + L"Attach.png", L"Attach.png", L"PNG");
}

bool CLogWriter::GetBuddyMonthFolder(const std::wstring& account, const std::wstring& buddy, std::wstring& path)
{
    if (!HaveRoot())
        return false;
    std::wstring folder;
    if (account.empty() || buddy.empty()) {
        folder = *root_ + L"\\Logs";
    } else {
        SYSTEMTIME now;
        GetLocalTime(&now);
        const std::wstring month = MonthFolderName(now);
        if (month.empty())
            return false;
        folder = BuddyFolder(account, buddy) + month + L"\\";
    }
    if (folder.size() >= MAX_PATH || !PathExists(folder))
        return false;
    path = folder;
    return true;
}
