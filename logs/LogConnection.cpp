#include "LogConnection.h"

#include "AIMConnection.h"
#include "AccValues.h"
#include "AppState.h"
#include "BuddyEventLog.h"
#include "PreferenceStore.h"

#include <oleauto.h>

namespace {

// The variants and strings this file hands to the layer.
class ScopedVariant {
public:
    ScopedVariant() { VariantInit(&v_); }
    ~ScopedVariant() { VariantClear(&v_); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;
    VARIANT* operator&() { return &v_; }
    VARIANT& Get() { return v_; }

private:
    VARIANT v_;
};

BuddyState StateOf(AIMCC::IAccUser* user)
{
    BuddyState state;
    state.presence = LongOr(user, AIMCC::AccUserProp::Presence, -1);
    state.flags = LongOr(user, AIMCC::AccUserProp::UserClass, 0);
    state.idleSeconds = LongOr(user, AIMCC::AccUserProp::IdleTime, 0);
    return state;
}

// Whether the presence message object the property holds yields its text:
// the status text must be a non-empty string, the other object readable.
bool MessageReadable(AIMCC::IAccUser* user, long property)
{
    ScopedVariant value;
    if (!user || user->get_Property(property, &value) != S_OK)
        return false;
    const VARIANT& v = value.Get();
    if (v.vt != VT_DISPATCH && v.vt != VT_UNKNOWN)
        return false;
    AIMCC::IAccObject* object = nullptr;
    if (!v.punkVal || FAILED(v.punkVal->QueryInterface(__uuidof(AIMCC::IAccObject), reinterpret_cast<void**>(&object)))
        || !object)
        return false;
    ScopedVariant text;
    const bool readable = object->get_Property(AIMCC::AccBartProp::Content, &text) == S_OK
        && (property != AIMCC::AccUserProp::StatusText
            || (text.Get().vt == VT_BSTR && SysStringLen(text.Get().bstrVal) > 0));
    object->Release();
    return readable;
}

bool ListsBuddy(CAIMConnection* connection, const std::wstring& buddy)
{
    AIMCC::IAccSession* session = connection->Session();
    AIMCC::IAccBuddyList* list = nullptr;
    if (!session || FAILED(session->get_BuddyList(&list)) || !list)
        return false;
    BSTR name = SysAllocStringLen(buddy.data(), static_cast<UINT>(buddy.size()));
    VARIANT_BOOL holds = VARIANT_FALSE;
    const bool found = name && SUCCEEDED(list->HoldsBuddy(name, &holds)) && holds == VARIANT_TRUE;
    SysFreeString(name);
    list->Release();
    return found;
}

// The message's HTML; the layer converts from whatever type it arrived in.
std::wstring MessageHtml(AIMCC::IAccIm* message)
{
    for (const wchar_t* type : {L"text/html", L"application/xhtml+xml"}) {
        BSTR mime = SysAllocString(type);
        BSTR text = nullptr;
        const HRESULT hr = mime ? message->GetConvertedText(mime, &text) : E_OUTOFMEMORY;
        SysFreeString(mime);
        if (SUCCEEDED(hr) && text) {
            std::wstring html(text, SysStringLen(text));
            SysFreeString(text);
            return html;
        }
        SysFreeString(text);
    }
    return {};
}

SYSTEMTIME MessageTime(AIMCC::IAccIm* message)
{
    SYSTEMTIME time;
    ScopedVariant value;
    if (message->get_Property(AIMCC::AccImProp::Time, &value) == S_OK && value.Get().vt == VT_DATE
        && VariantTimeToSystemTime(value.Get().date, &time))
        return time;
    GetLocalTime(&time);
    return time;
}

bool SameScreenName(const std::wstring& a, const std::wstring& b)
{
    const std::wstring x = WithoutSpaces(a);
    const std::wstring y = WithoutSpaces(b);
    return CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(), static_cast<int>(y.size()), TRUE)
        == CSTR_EQUAL;
}

}  // namespace

std::wstring SignedOnLogRoot()
{
    for (const auto& connection : Connections()) {
        if (connection && connection->State() == AIMCC::AccState::Online) {
            // Until the user chooses a folder the logs go to the data
            // folder, beside the settings they belong to.
            std::wstring root;
            if (!CPreferenceStore(Settings()).ReadValue(L"aimcc.folders.logs", root) || root.empty())
                root = DataFolder();
            return root;
        }
    }
    return {};
}

CLogWriter::CLogWriter() : CLogWriter(SignedOnLogRoot) {}

CLogWriter& LogWriter()
{
    static CLogWriter writer;
    return writer;
}

LoggedMessage DescribeMessage(const std::wstring& account, AIMCC::IAccImSession* conversation,
                              AIMCC::IAccIm* message, AIMCC::IAccUser* sender, UINT flags,
                              const std::vector<std::wstring>& files)
{
    LoggedMessage logged;
    logged.accountName = account;
    logged.accountDisplayName = account;
    if (sender) {
        logged.senderName = ReadText(sender, AIMCC::AccUserProp::Name);
        logged.senderAlias = ReadText(sender, AIMCC::AccUserProp::Alias);
    }
    logged.kind = static_cast<int>(LongOr(conversation, AIMCC::AccImSessionProp::Mode, LogConversationKind::Im));
    logged.remoteName = ReadText(conversation, AIMCC::AccImSessionProp::RemoteName);
    logged.roomName = ReadText(conversation, AIMCC::AccImSessionProp::RoomName);
    logged.files = files;
    logged.flags = flags;
    if (!message) {
        GetLocalTime(&logged.local);
        return logged;
    }
    logged.html = MessageHtml(message);
    logged.attachmentCount = LongOr(message, AIMCC::AccImProp::ItemCount, 0);
    logged.local = MessageTime(message);
    return logged;
}

bool LogConversationMessage(const std::wstring& account, AIMCC::IAccImSession* conversation,
                            AIMCC::IAccIm* message, AIMCC::IAccUser* sender, UINT flags,
                            const std::vector<std::wstring>& files, LogSession& session, std::wstring* filesFolder)
{
    if (!conversation || !message)
        return false;
    return LogWriter().LogMessage(DescribeMessage(account, conversation, message, sender, flags, files), session,
                                  filesFolder);
}

void RereadLogRoot()
{
    LogWriter().ReadRootFolder();
}

BuddyEvent LogBuddyChange(CAIMConnection* connection, AIMCC::IAccUser* before, AIMCC::IAccUser* now,
                          long property)
{
    if (!connection || !now)
        return BuddyEvent::None;
    BuddyChange change;
    change.account = connection->Identity();
    change.buddy = ReadText(now, AIMCC::AccUserProp::Name);
    change.property = property;
    change.before = StateOf(before);
    change.after = StateOf(now);
    change.isSelf = SameScreenName(change.account, change.buddy);
    change.hidden = LongOr(now, AIMCC::AccUserProp::Blocked, 0) != 0 && (change.after.flags & 0x400) == 0;
    if (property == AIMCC::AccUserProp::StatusText || property == BuddyProperty::PresenceMessage)
        change.messageReadable = MessageReadable(now, property);
    const auto& connections = Connections();
    bool found = false;
    for (size_t i = 0; i < connections.size(); ++i) {
        CAIMConnection* account = connections[i].Get();
        AccountListing listing;
        listing.signedOn = account && account->State() == AIMCC::AccState::Online;
        listing.listsBuddy = listing.signedOn && ListsBuddy(account, change.buddy);
        if (account == connection) {
            change.self = i;
            found = true;
        }
        change.accounts.push_back(listing);
    }
    if (!found)
        change.accounts = {AccountListing{true, true}};
    return LogWriter().OnBuddyChanged(change);
}

namespace {

class CConnectionLog : public IBuddyEventLog {
public:
    void OnBuddyChanged(CAIMConnection* connection, AIMCC::IAccUser* before, AIMCC::IAccUser* now,
                        long property) override
    {
        LogBuddyChange(connection, before, now, property);
    }
    void RereadLogFolder() override { RereadLogRoot(); }
};

CConnectionLog g_connectionLog;

} // namespace

void RegisterBuddyEventLog(bool registered)
{
    SetBuddyEventLog(registered ? &g_connectionLog : nullptr);
}
