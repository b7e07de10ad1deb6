// CAccUser: one user as this account knows them: the server's presence
// information, the buddy-list alias and note, and texts fetched on request
// (profile, away message). There is one object per screen name per session;
// event 209 carries a detached snapshot of the old values beside it.
#pragma once

#include "ComBase.h"
#include "Transport.h"

#include <wrl/client.h>

#include <string>
#include <vector>

namespace AIMCC {

class CAccSession;

class CAccUser final : public CAccObject<IAccUser> {
public:
    CAccUser(CAccSession* session, std::wstring screenName);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE get_GroupCount(long* count) override;
    HRESULT STDMETHODCALLTYPE GetGroup(long index, IAccGroup** group) override;

    const std::wstring& Name() const { return name_; }
    void SetName(const std::wstring& formatted) { name_ = formatted; }
    long Presence() const { return presence_; }
    bool Online() const { return presence_ > AccPresence::Offline; }

    // A copy of the values as they are now, attached to no session.
    Microsoft::WRL::ComPtr<CAccUser> Snapshot() const;
    // Takes the server's information; returns the ids of the properties
    // whose values changed.
    std::vector<long> ApplyInfo(const UserInfo& info);
    // Offline and nothing known; returns the changed ids.
    std::vector<long> SetOffline();
    void SetBuddyDetails(const std::wstring& alias, const std::wstring& note);
    // The same, keeping a value where the new one is empty.
    void MergeBuddyDetails(const std::wstring& alias, const std::wstring& note);
    // Profile or away message, as fetched.
    void SetText(long property, Microsoft::WRL::ComPtr<IAccIm> text);
    void Detach() { session_ = nullptr; }

private:
    ~CAccUser() override = default;
    HRESULT GetProperty(long id, VARIANT* value) override;
    HRESULT PutProperty(long id, const VARIANT& value) override;
    HRESULT StartRequest(long id, long* requestId) override;

    CAccSession* session_;
    std::wstring name_;
    long presence_ = AccPresence::Unknown;
    unsigned long userClass_ = 0;
    long idleMinutes_ = 0;
    ULONGLONG idleSince_ = 0;          // GetTickCount64 when the idle time was reported
    int64_t signOnTime_ = 0;
    std::vector<std::wstring> capabilities_;
    bool hasStatusText_ = false;
    std::wstring statusText_;
    std::wstring alias_;
    std::wstring note_;
    bool blocked_ = false;
    CVariant feedReadTime_;
    Microsoft::WRL::ComPtr<IAccIm> profile_;
    Microsoft::WRL::ComPtr<IAccIm> awayMessage_;
};

} // namespace AIMCC
