#include "User.h"

#include "BartItem.h"
#include "BuddyList.h"
#include "Session.h"

#include <shlwapi.h>

#include <ctime>

namespace AIMCC {

using Microsoft::WRL::ComPtr;

namespace {

// Limits of the server's stored buddy attributes.
const long kAliasLimit = 64;
const long kNoteLimit = 128;

int64_t UnixNow()
{
    return static_cast<int64_t>(std::time(nullptr));
}

} // namespace

CAccUser::CAccUser(CAccSession* session, std::wstring screenName) : session_(session), name_(std::move(screenName)) {}

HRESULT STDMETHODCALLTYPE CAccUser::QueryInterface(REFIID riid, void** object)
{
    static const QITAB table[] = {AIMCC_QI_ENTRIES(CAccUser, IAccUser), {}};
    return QISearch(this, table, riid, object);
}

HRESULT STDMETHODCALLTYPE CAccUser::get_GroupCount(long* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    if (!session_ || !session_->BuddyList())
        return S_OK;
    return ComBoundary([&]() -> HRESULT {
        *count = static_cast<long>(session_->BuddyList()->GroupsHolding(this).size());
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE CAccUser::GetGroup(long index, IAccGroup** group)
{
    if (!group)
        return E_POINTER;
    *group = nullptr;
    if (!session_ || !session_->BuddyList())
        return E_INVALIDARG;
    return ComBoundary([&]() -> HRESULT {
        std::vector<CAccGroup*> groups = session_->BuddyList()->GroupsHolding(this);
        if (index < 0 || index >= static_cast<long>(groups.size()))
            return E_INVALIDARG;
        return groups[static_cast<size_t>(index)]->QueryInterface(IID_PPV_ARGS(group));
    });
}

ComPtr<CAccUser> CAccUser::Snapshot() const
{
    ComPtr<CAccUser> copy;
    *copy.ReleaseAndGetAddressOf() = new CAccUser(nullptr, name_);
    copy->presence_ = presence_;
    copy->userClass_ = userClass_;
    copy->idleMinutes_ = idleMinutes_;
    copy->idleSince_ = idleSince_;
    copy->signOnTime_ = signOnTime_;
    copy->capabilities_ = capabilities_;
    copy->hasStatusText_ = hasStatusText_;
    copy->statusText_ = statusText_;
    copy->alias_ = alias_;
    copy->note_ = note_;
    copy->blocked_ = blocked_;
    copy->feedReadTime_ = feedReadTime_;
    copy->profile_ = profile_;
    copy->awayMessage_ = awayMessage_;
    return copy;
}

std::vector<long> CAccUser::ApplyInfo(const UserInfo& info)
{
    std::vector<long> changed;
    if (!info.screenName.empty())
        name_ = info.screenName;
    long presence = info.away ? AccPresence::Away : info.idleMinutes > 0 ? AccPresence::Idle : AccPresence::Available;
    if (presence != presence_) {
        // An away message fetched earlier may no longer be the one set.
        if (presence_ == AccPresence::Away || presence == AccPresence::Away)
            awayMessage_.Reset();
        presence_ = presence;
        changed.push_back(AccUserProp::Presence);
    }
    if (info.userClass != userClass_) {
        userClass_ = info.userClass;
        changed.push_back(AccUserProp::UserClass);
    }
    if (info.signOnTime != signOnTime_) {
        signOnTime_ = info.signOnTime;
        changed.push_back(AccUserProp::OnlineTime);
    }
    if (info.idleMinutes != idleMinutes_) {
        idleMinutes_ = info.idleMinutes;
        idleSince_ = GetTickCount64();
        changed.push_back(AccUserProp::IdleTime);
    }
    if (info.capabilities != capabilities_) {
        capabilities_ = info.capabilities;
        changed.push_back(AccUserProp::Capabilities);
    }
    if (info.hasStatusText != hasStatusText_ || info.statusText != statusText_) {
        hasStatusText_ = info.hasStatusText;
        statusText_ = info.statusText;
        changed.push_back(AccUserProp::StatusText);
    }
    return changed;
}

std::vector<long> CAccUser::SetOffline()
{
    std::vector<long> changed;
    if (presence_ != AccPresence::Offline) {
        presence_ = AccPresence::Offline;
        changed.push_back(AccUserProp::Presence);
    }
    if (idleMinutes_ != 0) {
        idleMinutes_ = 0;
        changed.push_back(AccUserProp::IdleTime);
    }
    if (hasStatusText_) {
        hasStatusText_ = false;
        statusText_.clear();
        changed.push_back(AccUserProp::StatusText);
    }
    signOnTime_ = 0;
    userClass_ = 0;
    capabilities_.clear();
    awayMessage_.Reset();
    return changed;
}

void CAccUser::SetBuddyDetails(const std::wstring& alias, const std::wstring& note)
{
    alias_ = alias;
    note_ = note;
}

void CAccUser::MergeBuddyDetails(const std::wstring& alias, const std::wstring& note)
{
    if (!alias.empty())
        alias_ = alias;
    if (!note.empty())
        note_ = note;
}

void CAccUser::SetText(long property, ComPtr<IAccIm> text)
{
    if (property == AccUserProp::Profile)
        profile_ = std::move(text);
    else if (property == AccUserProp::AwayMessage)
        awayMessage_ = std::move(text);
}

HRESULT CAccUser::GetProperty(long id, VARIANT* value)
{
    switch (id) {
    case AccUserProp::Session:
        return session_ ? CVariant::Object(session_->Dispatch()).CopyTo(value) : S_OK;
    case AccUserProp::Name:
        return CVariant::Text(name_).CopyTo(value);
    case AccUserProp::Alias:
        return CVariant::Text(alias_).CopyTo(value);
    case AccUserProp::Presence:
        return CVariant::Int(presence_).CopyTo(value);
    case AccUserProp::UserClass:
        return CVariant::Int(static_cast<long>(userClass_)).CopyTo(value);
    case AccUserProp::Blocked:
        return CVariant::Bool(blocked_).CopyTo(value);
    case AccUserProp::OnlineTime: {
        int64_t seconds = signOnTime_ > 0 && Online() ? UnixNow() - signOnTime_ : 0;
        return CVariant::Int(static_cast<long>(seconds > 0 ? seconds : 0)).CopyTo(value);
    }
    case AccUserProp::IdleTime: {
        // The server reports whole minutes when the idle time starts or
        // changes; in between it grows with the clock.
        long seconds = 0;
        if (idleMinutes_ > 0)
            seconds = idleMinutes_ * 60 + static_cast<long>((GetTickCount64() - idleSince_) / 1000);
        return CVariant::Int(seconds).CopyTo(value);
    }
    case AccUserProp::Note:
        return CVariant::Text(note_).CopyTo(value);
    case AccUserProp::OnBuddyList:
        return CVariant::Bool(session_ && session_->BuddyList() && session_->BuddyList()->Holds(name_)).CopyTo(value);
    case AccUserProp::Feed:
        return CVariant::Int(0).CopyTo(value);
    case AccUserProp::FeedReadTime:
        return feedReadTime_.CopyTo(value);
    case AccUserProp::Profile:
        if (!profile_)
            return ACC_E_PENDING;
        return CVariant::Object(profile_.Get()).CopyTo(value);
    case AccUserProp::AwayMessage:
        if (presence_ != AccPresence::Away)
            return S_OK;
        if (!awayMessage_)
            return ACC_E_PENDING;
        return CVariant::Object(awayMessage_.Get()).CopyTo(value);
    case AccUserProp::Capabilities:
        return CVariant::TextArray(capabilities_).CopyTo(value);
    case AccUserProp::SecurityInfo:
        return ACC_E_PENDING;
    case AccUserProp::StatusText:
        if (!hasStatusText_)
            return S_OK;
        return CVariant::Object(CAccBartItem::Make(session_, AccBartType::StatusText, L"", statusText_).Get())
            .CopyTo(value);
    case AccUserProp::BuddyIcon:
    case AccUserProp::ArriveSound:
    case AccUserProp::StatusLink:
    case AccUserProp::DepartSound:
    case AccUserProp::Wallpaper:
    case AccUserProp::ImSound:
    case AccUserProp::FlashWallpaper:
    case AccUserProp::ImmersiveWallpaper:
    case AccUserProp::SmileySet:
        return S_OK;
    case AccUserProp::AliasLimit:
        return CVariant::Int(kAliasLimit).CopyTo(value);
    case AccUserProp::NoteLimit:
        return CVariant::Int(kNoteLimit).CopyTo(value);
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT CAccUser::PutProperty(long id, const VARIANT& value)
{
    switch (id) {
    case AccUserProp::Alias:
    case AccUserProp::Note: {
        std::wstring text;
        if (!VariantToText(value, text))
            return DISP_E_TYPEMISMATCH;
        long limit = id == AccUserProp::Alias ? kAliasLimit : kNoteLimit;
        if (static_cast<long>(text.size()) > limit)
            return E_INVALIDARG;
        (id == AccUserProp::Alias ? alias_ : note_) = text;
        return S_OK;
    }
    case AccUserProp::Blocked: {
        bool flag = false;
        if (!VariantToBool(value, flag))
            return DISP_E_TYPEMISMATCH;
        blocked_ = flag;
        return S_OK;
    }
    case AccUserProp::FeedReadTime: {
        CVariant date;
        if (FAILED(VariantChangeType(date.Out(), const_cast<VARIANT*>(&value), 0, VT_DATE)))
            return DISP_E_TYPEMISMATCH;
        feedReadTime_ = date;
        return S_OK;
    }
    default:
        return CAccObject::PutProperty(id, value);
    }
}

HRESULT CAccUser::StartRequest(long id, long* requestId)
{
    if (!session_)
        return E_UNEXPECTED;
    switch (id) {
    case AccUserProp::Profile:
    case AccUserProp::AwayMessage:
        return session_->RequestUserText(this, id, requestId);
    case AccUserProp::SecurityInfo:
    case AccUserProp::StatusText:
    case AccUserProp::StatusLink:
    case AccUserProp::BuddyIcon: {
        // Status text and link come inline with presence, so their answer
        // is immediate; security information and icon downloads are not
        // offered, which the answer's result says.
        long request = session_->NextRequestId();
        HRESULT result = id == AccUserProp::StatusText || id == AccUserProp::StatusLink ? S_OK : E_NOTIMPL;
        CVariant answer;
        if (SUCCEEDED(result))
            GetProperty(id, answer.Out());
        session_->Raise(AccEvent::UserRequestDone, {CVariant::Object(session_->Dispatch()), CVariant::Object(this),
                                                    CVariant::Int(id), CVariant::Int(request), CVariant::Int(result),
                                                    answer});
        *requestId = request;
        return S_OK;
    }
    default:
        return E_INVALIDARG;
    }
}

} // namespace AIMCC
