#include "LogConnection.h"

#include "AccObject.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

// The layer's objects as far as the log reads them: numbered properties.
template <typename Interface>
class FakeObject : public AIMCC::CAccObject<Interface> {
public:
    FakeObject() = default;

    void Set(long id, const wchar_t* text)
    {
        VARIANT& value = properties_[id];
        VariantClear(&value);
        value.vt = VT_BSTR;
        value.bstrVal = SysAllocString(text);
    }
    void Set(long id, long number)
    {
        VARIANT& value = properties_[id];
        VariantClear(&value);
        value.vt = VT_I4;
        value.lVal = number;
    }
    void SetDate(long id, double date)
    {
        VARIANT& value = properties_[id];
        VariantClear(&value);
        value.vt = VT_DATE;
        value.date = date;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_Property(long id, VARIANT* value) override
    {
        VariantInit(value);
        const auto found = properties_.find(id);
        if (found == properties_.end())
            return DISP_E_MEMBERNOTFOUND;
        return VariantCopy(value, &found->second);
    }
    HRESULT STDMETHODCALLTYPE put_Property(long, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RequestProperty(long, long*) override { return E_NOTIMPL; }

protected:
    ~FakeObject() override
    {
        for (auto& entry : properties_)
            VariantClear(&entry.second);
    }

private:
    std::map<long, VARIANT> properties_;
};

class FakeUser : public FakeObject<AIMCC::IAccUser> {
public:
    HRESULT STDMETHODCALLTYPE get_GroupCount(long*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetGroup(long, AIMCC::IAccGroup**) override { return E_NOTIMPL; }
};

class FakeConversation : public FakeObject<AIMCC::IAccImSession> {
public:
    HRESULT STDMETHODCALLTYPE SetTypingState(long) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateIm(BSTR, BSTR, AIMCC::IAccIm**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SendIm(AIMCC::IAccIm*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UpgradeToDirect(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invite(BSTR, BSTR, long*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Accept() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reject(long) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Close() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CancelSendingItems() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CancelReceivingItems() override { return E_NOTIMPL; }
};

// Answers only "text/html", as the layer does for a message that arrived so.
class FakeMessage : public FakeObject<AIMCC::IAccIm> {
public:
    explicit FakeMessage(const wchar_t* html) : html_(html) {}
    HRESULT STDMETHODCALLTYPE GetConvertedText(BSTR type, BSTR* text) override
    {
        *text = nullptr;
        if (wcscmp(type, L"text/html") != 0)
            return E_NOTIMPL;
        *text = SysAllocString(html_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetText(BSTR, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AttachStream(BSTR, AIMCC::IAccStream*) override { return E_NOTIMPL; }

private:
    const wchar_t* html_;
};

template <typename T>
struct Released {
    void operator()(T* object) const { object->Release(); }
};
template <typename T>
using Owned = std::unique_ptr<T, Released<T>>;

TEST(LogConnectionTest, MessagesAreDescribedFromTheLayersObjects)
{
    Owned<FakeConversation> chat(new FakeConversation);
    chat->Set(AIMCC::AccImSessionProp::Mode, 2L);
    chat->Set(AIMCC::AccImSessionProp::RemoteName, L"remote");
    chat->Set(AIMCC::AccImSessionProp::RoomName, L"Room Name");
    Owned<FakeUser> member(new FakeUser);
    member->Set(AIMCC::AccUserProp::Name, L"Some Member");
    member->Set(AIMCC::AccUserProp::Alias, L"Sam");
    Owned<FakeMessage> message(new FakeMessage(L"<b>hi</b>"));
    message->Set(AIMCC::AccImProp::ItemCount, 2L);
    // 2026-03-09 14:30 as an automation date.
    message->SetDate(AIMCC::AccImProp::Time, 46090.0 + 14.5 / 24.0);

    const LoggedMessage logged = DescribeMessage(L"My Name", chat.get(), message.get(), member.get(),
                                                 MessageLogFlags::Received, {L"C:\\a.png"});
    EXPECT_EQ(logged.accountName, L"My Name");
    EXPECT_EQ(logged.senderName, L"Some Member");
    EXPECT_EQ(logged.senderAlias, L"Sam");
    EXPECT_EQ(logged.kind, LogConversationKind::Chat);
    EXPECT_EQ(logged.remoteName, L"remote");
    EXPECT_EQ(logged.roomName, L"Room Name");
    EXPECT_EQ(logged.html, L"<b>hi</b>");
    EXPECT_EQ(logged.attachmentCount, 2);
    EXPECT_EQ(logged.files, std::vector<std::wstring>{L"C:\\a.png"});
    EXPECT_EQ(logged.flags, static_cast<UINT>(MessageLogFlags::Received));
    EXPECT_EQ(logged.local.wYear, 2026);
    EXPECT_EQ(logged.local.wMonth, 3);
    EXPECT_EQ(logged.local.wDay, 9);
    EXPECT_EQ(logged.local.wHour, 14);
    EXPECT_EQ(logged.local.wMinute, 30);

    // An IM without a sender object: the remote name stands for the sender.
    Owned<FakeConversation> im(new FakeConversation);
    im->Set(AIMCC::AccImSessionProp::RemoteName, L"buddy");
    const LoggedMessage sent = DescribeMessage(L"Me", im.get(), message.get(), nullptr, MessageLogFlags::Sent, {});
    EXPECT_EQ(sent.kind, LogConversationKind::Im);
    EXPECT_TRUE(sent.senderName.empty());
    EXPECT_EQ(sent.remoteName, L"buddy");
}

}  // namespace
