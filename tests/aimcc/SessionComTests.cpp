// The session object made by ordinal 111 of the real acccore.dll: its
// interfaces, numbered properties, preferences, and events delivered on the
// creating thread through its message loop.
#include "AccHelpers.h"
#include "AccTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <olectl.h>

#include <string>

using namespace AIMCC;
using namespace acctest;

namespace {

class SessionComTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_HRESULT_SUCCEEDED(library_.Load((ExeFolder() + L"acccore.dll").c_str()));
        ASSERT_HRESULT_SUCCEEDED(AccCreateSession(session_.GetAddressOf()));
        ASSERT_HRESULT_SUCCEEDED(sink_->Connect(session_.Get()));
    }
    void TearDown() override
    {
        sink_->Disconnect();
        sink_.Reset();
        session_.Reset();
        // Events still queued die with the session's window.
        PumpPending();
    }

    CAccLibrary library_;
    ComPtr<IAccSession> session_;
    ComPtr<CEventRecorder> sink_ = CEventRecorder::Make();
};

TEST_F(SessionComTest, Ordinal111MakesOnlyTheSessionClass)
{
    ComPtr<IUnknown> other;
    const CLSID unknownClass = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_EQ(AccApi().CreateObject(unknownClass, IID_IUnknown, reinterpret_cast<void**>(other.GetAddressOf())),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(AccApi().CreateObject(CLSID_AccSession, IID_IUnknown, nullptr), E_POINTER);
    // Asking for an interface the session does not have fails cleanly.
    ComPtr<IAccUser> notASession;
    EXPECT_EQ(AccApi().CreateObject(CLSID_AccSession, IID_IAccUser,
                                    reinterpret_cast<void**>(notASession.GetAddressOf())),
              E_NOINTERFACE);
}

TEST_F(SessionComTest, AnswersItsInterfacesWithOneIdentity)
{
    ComPtr<IUnknown> identity;
    ASSERT_HRESULT_SUCCEEDED(session_.As(&identity));
    const IID answered[] = {IID_IAccSession, IID_IAccObject, IID_IDispatch, IID_IConnectionPointContainer};
    for (const IID& iid : answered) {
        ComPtr<IUnknown> piece;
        ASSERT_HRESULT_SUCCEEDED(session_->QueryInterface(iid, reinterpret_cast<void**>(piece.GetAddressOf())));
        ComPtr<IUnknown> back;
        ASSERT_HRESULT_SUCCEEDED(piece.As(&back));
        EXPECT_EQ(back.Get(), identity.Get());
    }
    const IID refused[] = {IID_IAccUser, IID_IAccGroup, IID_DAccEvents, IID_IConnectionPoint};
    for (const IID& iid : refused) {
        ComPtr<IUnknown> piece;
        EXPECT_EQ(session_->QueryInterface(iid, reinterpret_cast<void**>(piece.GetAddressOf())), E_NOINTERFACE);
    }
}

TEST_F(SessionComTest, HandsOutItsObjects)
{
    ComPtr<IAccClientInfo> info;
    ComPtr<IAccPreferences> prefs;
    ComPtr<IAccSecurity> security;
    ComPtr<IAccBuddyList> list;
    ASSERT_HRESULT_SUCCEEDED(session_->get_ClientInfo(&info));
    ASSERT_HRESULT_SUCCEEDED(session_->get_Prefs(&prefs));
    ASSERT_HRESULT_SUCCEEDED(session_->get_Security(&security));
    ASSERT_HRESULT_SUCCEEDED(session_->get_BuddyList(&list));
    EXPECT_HRESULT_SUCCEEDED(security->Initialize(0));
    EXPECT_HRESULT_SUCCEEDED(security->UseCertificate(0));
    EXPECT_EQ(security->ImportCertificate(CBstr(L"c:\\x.pfx"), CBstr(L"pw")), E_NOTIMPL);

    // Signed off, the buddy list holds only the (empty) offline group.
    long groups = -1;
    ASSERT_HRESULT_SUCCEEDED(list->get_GroupCount(&groups));
    EXPECT_EQ(groups, 1);   // the offline group
    ComPtr<IAccGroup> offline;
    ASSERT_HRESULT_SUCCEEDED(list->GetGroupByIndex(0, &offline));
    EXPECT_TRUE(PropertyBool(offline.Get(), AccGroupProp::IsOfflineGroup));

    // The same user object for every spelling of a name.
    ComPtr<IAccUser> a, b;
    ASSERT_HRESULT_SUCCEEDED(session_->GetUser(CBstr(L"Some Buddy"), &a));
    ASSERT_HRESULT_SUCCEEDED(session_->GetUser(CBstr(L"somebuddy"), &b));
    EXPECT_EQ(a.Get(), b.Get());
    EXPECT_EQ(PropertyText(a.Get(), AccUserProp::Name), L"Some Buddy");
    EXPECT_EQ(session_->GetUser(CBstr(L"  "), &b), E_INVALIDARG);
}

struct PropertyCase {
    long id;
    CVariant written;
    HRESULT putResult;
    const wchar_t* readBack;   // as text; null = not checked
};

TEST_F(SessionComTest, ReadsAndWritesNumberedProperties)
{
    const PropertyCase cases[] = {
        {AccSessionProp::Identity, CVariant::Text(L"Alice Smith"), S_OK, L"Alice Smith"},
        {AccSessionProp::Invisible, CVariant::Bool(true), S_OK, L"-1"},
        {AccSessionProp::Invisible, CVariant::Text(L"0"), S_OK, L"0"},
        {AccSessionProp::Invisible, CVariant::Text(L"maybe"), DISP_E_TYPEMISMATCH, L"0"},
        {AccSessionProp::IdleTime, CVariant::Int(0), S_OK, L"0"},
        {AccSessionProp::IdleThreshold, CVariant::Int(600), S_OK, L"600"},
        {AccSessionProp::State, CVariant::Int(500), E_ACCESSDENIED, L"0"},
        {AccSessionProp::ProfileLimit, CVariant::Int(1), E_ACCESSDENIED, L"1024"},
        {AccSessionProp::ChatRoomNameLimit, CVariant::Int(1), E_ACCESSDENIED, L"128"},
        {AccSessionProp::StatusText, CVariant::Text(L"at lunch"), S_OK, nullptr},
        {4242, CVariant::Int(1), DISP_E_MEMBERNOTFOUND, nullptr},
    };
    for (const PropertyCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "property " << c.id << " case " << (&c - cases));
        EXPECT_EQ(session_->put_Property(c.id, c.written.Get()), c.putResult);
        if (c.readBack) {
            EXPECT_EQ(PropertyText(session_.Get(), c.id), c.readBack);
        }
    }
    CVariant unknown;
    EXPECT_EQ(session_->get_Property(4242, unknown.Out()), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(session_->get_Property(AccSessionProp::State, nullptr), E_POINTER);

    // The status text reads back as an item whose property 6 holds it.
    CVariant item;
    ASSERT_HRESULT_SUCCEEDED(session_->get_Property(AccSessionProp::StatusText, item.Out()));
    ASSERT_EQ(item.Type(), VT_DISPATCH);
    ComPtr<IAccBartItem> bart;
    ASSERT_HRESULT_SUCCEEDED(item.Get().pdispVal->QueryInterface(IID_PPV_ARGS(&bart)));
    EXPECT_EQ(PropertyLong(bart.Get(), AccBartProp::Type), AccBartType::StatusText);
    EXPECT_EQ(PropertyText(bart.Get(), AccBartProp::Content), L"at lunch");

    BSTR identity = nullptr;
    ASSERT_HRESULT_SUCCEEDED(session_->get_Identity(&identity));
    EXPECT_STREQ(identity, L"Alice Smith");
    SysFreeString(identity);
}

TEST_F(SessionComTest, TakesAnAwayMessageAsContentOrTextAndClearsItWithEmpty)
{
    ComPtr<IAccIm> content;
    ASSERT_HRESULT_SUCCEEDED(session_->CreateIm(CBstr(L"gone <fishing>"), CBstr(L"text/plain"), &content));
    ASSERT_HRESULT_SUCCEEDED(session_->put_Property(AccSessionProp::AwayMessage, CVariant::Object(content.Get()).Get()));

    CVariant away;
    ASSERT_HRESULT_SUCCEEDED(session_->get_Property(AccSessionProp::AwayMessage, away.Out()));
    ASSERT_EQ(away.Type(), VT_DISPATCH);
    ComPtr<IAccIm> read;
    ASSERT_HRESULT_SUCCEEDED(away.Get().pdispVal->QueryInterface(IID_PPV_ARGS(&read)));
    BSTR html = nullptr;
    ASSERT_HRESULT_SUCCEEDED(read->GetConvertedText(CBstr(L"text/html"), &html));
    EXPECT_STREQ(html, L"gone &lt;fishing&gt;");
    SysFreeString(html);

    ASSERT_HRESULT_SUCCEEDED(session_->put_Property(AccSessionProp::AwayMessage, CVariant::Text(L"<b>out</b>").Get()));
    EXPECT_EQ(PropertyText(session_.Get(), AccSessionProp::AwayMessage), L"");   // an object, not text
    ASSERT_HRESULT_SUCCEEDED(session_->put_Property(AccSessionProp::AwayMessage, CVariant().Get()));
    ASSERT_HRESULT_SUCCEEDED(session_->get_Property(AccSessionProp::AwayMessage, away.Out()));
    EXPECT_EQ(away.Type(), VT_EMPTY);
    EXPECT_EQ(session_->put_Property(AccSessionProp::AwayMessage, CVariant::Int(3).Get()), DISP_E_TYPEMISMATCH);
}

TEST_F(SessionComTest, PropertiesAreReachableThroughIDispatch)
{
    ComPtr<IDispatch> dispatch;
    ASSERT_HRESULT_SUCCEEDED(session_.As(&dispatch));
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"Property");
    ASSERT_HRESULT_SUCCEEDED(dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(id, DISPID_VALUE);

    // Put: arguments reversed, the value first.
    VARIANT putArgs[2];
    putArgs[0] = CVariant::Text(L"Bob").Detach();
    putArgs[1] = CVariant::Int(AccSessionProp::Identity).Detach();
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put = {putArgs, &named, 2, 1};
    ASSERT_HRESULT_SUCCEEDED(dispatch->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &put,
                                              nullptr, nullptr, nullptr));
    VariantClear(&putArgs[0]);

    VARIANT getArg = CVariant::Int(AccSessionProp::Identity).Detach();
    DISPPARAMS get = {&getArg, nullptr, 1, 0};
    CVariant result;
    ASSERT_HRESULT_SUCCEEDED(dispatch->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &get,
                                              result.Out(), nullptr, nullptr));
    ASSERT_EQ(result.Type(), VT_BSTR);
    EXPECT_STREQ(result.Get().bstrVal, L"Bob");
    EXPECT_EQ(dispatch->Invoke(77, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &get, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
}

TEST_F(SessionComTest, ConnectionPointAcceptsOnlyEventSinks)
{
    ComPtr<IConnectionPointContainer> container;
    ASSERT_HRESULT_SUCCEEDED(session_.As(&container));
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, &point), CONNECT_E_NOCONNECTION);
    ASSERT_HRESULT_SUCCEEDED(container->FindConnectionPoint(DIID_DAccEvents, &point));
    IID iid = {};
    ASSERT_HRESULT_SUCCEEDED(point->GetConnectionInterface(&iid));
    EXPECT_TRUE(IsEqualIID(iid, DIID_DAccEvents));

    // An object that is not an events sink is turned away.
    ComPtr<IAccIm> notASink;
    ASSERT_HRESULT_SUCCEEDED(session_->CreateIm(CBstr(L"x"), CBstr(L"text/plain"), &notASink));
    DWORD cookie = 0;
    EXPECT_EQ(point->Advise(notASink.Get(), &cookie), CONNECT_E_CANNOTCONNECT);

    // The fixture's sink is listed, and a second one can join and leave.
    ComPtr<CEventRecorder> second = CEventRecorder::Make();
    ASSERT_HRESULT_SUCCEEDED(point->Advise(second.Get(), &cookie));
    ComPtr<IEnumConnections> connections;
    ASSERT_HRESULT_SUCCEEDED(point->EnumConnections(&connections));
    CONNECTDATA data[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(connections->Next(3, data, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 2u);
    for (ULONG i = 0; i < fetched; ++i)
        data[i].pUnk->Release();
    ASSERT_HRESULT_SUCCEEDED(point->Unadvise(cookie));
    EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);

    ComPtr<IEnumConnectionPoints> points;
    ASSERT_HRESULT_SUCCEEDED(container->EnumConnectionPoints(&points));
    ComPtr<IConnectionPoint> listed;
    ASSERT_EQ(points->Next(1, &listed, nullptr), S_OK);
    EXPECT_EQ(listed.Get(), point.Get());
}

// A change the client makes is reported after its call has returned, from
// the message loop, on this thread, with the arguments in the table's order.
TEST_F(SessionComTest, EventsArriveThroughTheMessageLoopOnTheCreatingThread)
{
    ASSERT_HRESULT_SUCCEEDED(session_->put_Property(AccSessionProp::Invisible, CVariant::Bool(true).Get()));
    EXPECT_TRUE(sink_->Events().empty());

    auto changed = sink_->WaitFor(AccEvent::SessionPropertyChange);
    ASSERT_TRUE(changed);
    ASSERT_EQ(changed->args.size(), 2u);
    EXPECT_EQ(changed->threadId, GetCurrentThreadId());
    EXPECT_EQ(changed->Long(1), AccSessionProp::Invisible);
    ComPtr<IUnknown> source, self;
    ASSERT_HRESULT_SUCCEEDED(changed->Object(0)->QueryInterface(IID_PPV_ARGS(&source)));
    ASSERT_HRESULT_SUCCEEDED(session_.As(&self));
    EXPECT_EQ(source.Get(), self.Get());

    auto status = sink_->WaitFor(AccEvent::SessionStatusChange);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->Long(1), AccSessionProp::Invisible);
    EXPECT_EQ(status->threadId, GetCurrentThreadId());
}

TEST_F(SessionComTest, SignOnRefusesWhatCannotWork)
{
    EXPECT_EQ(session_->SignOn(CBstr(L"secret")), E_INVALIDARG);   // no identity yet
    ASSERT_HRESULT_SUCCEEDED(session_->put_Identity(CBstr(L"alice")));
    EXPECT_EQ(session_->SignOn(CBstr(L"")), ACC_E_BAD_PASSWORD);
    EXPECT_EQ(session_->SignOn(nullptr), ACC_E_BAD_PASSWORD);
    EXPECT_EQ(session_->put_Identity(CBstr(L" ")), E_INVALIDARG);
    // Signing off while signed off is harmless and raises nothing.
    EXPECT_EQ(session_->SignOff(), S_FALSE);
    PumpPending();
    EXPECT_EQ(sink_->Count(AccEvent::StateChange), 0u);
    long state = -1;
    ASSERT_HRESULT_SUCCEEDED(session_->get_State(&state));
    EXPECT_EQ(state, AccState::Offline);
}

TEST_F(SessionComTest, KeepsTheAdditionalAccountsOfItsIdentity)
{
    const CVariant names = CVariant::TextArray({L"Bob", L"Carol"});
    // The list belongs to an account: none without an identity.
    EXPECT_EQ(session_->put_Property(AccSessionProp::AdditionalAccounts, names.Get()), E_UNEXPECTED);
    ASSERT_HRESULT_SUCCEEDED(session_->put_Identity(CBstr(L"Alice Smith")));
    EXPECT_EQ(session_->put_Property(AccSessionProp::AdditionalAccounts, CVariant::Text(L"Bob").Get()),
              DISP_E_TYPEMISMATCH);
    ASSERT_EQ(session_->put_Property(AccSessionProp::AdditionalAccounts, names.Get()), S_OK);

    CVariant read;
    ASSERT_EQ(session_->get_Property(AccSessionProp::AdditionalAccounts, read.Out()), S_OK);
    ASSERT_EQ(read.Type(), VT_ARRAY | VT_VARIANT);
    LONG upper = -1;
    ASSERT_HRESULT_SUCCEEDED(SafeArrayGetUBound(read.Get().parray, 1, &upper));
    ASSERT_EQ(upper, 1);
    for (LONG i = 0; i <= upper; ++i) {
        CVariant element;
        ASSERT_HRESULT_SUCCEEDED(SafeArrayGetElement(read.Get().parray, &i, element.Out()));
        EXPECT_EQ(std::wstring(BstrView(element.Get().bstrVal)), i == 0 ? L"Bob" : L"Carol");
    }

    // Another account has its own (empty) list; empty erases this one.
    ASSERT_HRESULT_SUCCEEDED(session_->put_Identity(CBstr(L"Dave")));
    ASSERT_EQ(session_->get_Property(AccSessionProp::AdditionalAccounts, read.Out()), S_OK);
    ASSERT_HRESULT_SUCCEEDED(SafeArrayGetUBound(read.Get().parray, 1, &upper));
    EXPECT_EQ(upper, -1);
    ASSERT_HRESULT_SUCCEEDED(session_->put_Identity(CBstr(L"alicesmith")));
    ASSERT_EQ(session_->put_Property(AccSessionProp::AdditionalAccounts, CVariant().Get()), S_OK);
    ASSERT_EQ(session_->get_Property(AccSessionProp::AdditionalAccounts, read.Out()), S_OK);
    ASSERT_HRESULT_SUCCEEDED(SafeArrayGetUBound(read.Get().parray, 1, &upper));
    EXPECT_EQ(upper, -1);
}

TEST_F(SessionComTest, PreferencesFallBackToTheLayersDefaultsWithoutAHook)
{
    ComPtr<IAccPreferences> prefs;
    ASSERT_HRESULT_SUCCEEDED(session_->get_Prefs(&prefs));
    const struct {
        const wchar_t* name;
        const wchar_t* value;
    } defaults[] = {
        {L"aimcc.connect.host.address", L"127.0.0.1"},
        {L"aimcc.connect.host.port", L"5190"},
        {L"aimcc.buddyList.hideOfflineGroup", L"0"},
        {L"aimcc.connect.autoReconnect", L"-1"},
    };
    for (const auto& d : defaults) {
        CVariant value;
        EXPECT_EQ(prefs->GetValue(CBstr(d.name), value.Out()), ACC_E_PREFERENCE_NOT_SET);
        ASSERT_EQ(value.Type(), VT_BSTR);
        EXPECT_STREQ(value.Get().bstrVal, d.value);
        CVariant fallback;
        EXPECT_HRESULT_SUCCEEDED(prefs->GetDefaultValue(CBstr(d.name), fallback.Out()));
        EXPECT_STREQ(fallback.Get().bstrVal, d.value);
    }
    CVariant none;
    EXPECT_EQ(prefs->GetValue(CBstr(L"aimcc.no.such.thing"), none.Out()), ACC_E_PREFERENCE_NOT_SET);
    EXPECT_EQ(none.Type(), VT_EMPTY);
    EXPECT_EQ(prefs->GetValue(CBstr(L"Settings.General"), none.Out()), E_INVALIDARG);

    // Set, read back, and the change is announced.
    ASSERT_HRESULT_SUCCEEDED(prefs->SetValue(CBstr(L"aimcc.connect.host.port"), CVariant::Int(443).Get()));
    CVariant port;
    EXPECT_EQ(prefs->GetValue(CBstr(L"aimcc.connect.host.port"), port.Out()), S_OK);
    long number = 0;
    ASSERT_TRUE(VariantToLong(port.Get(), number));
    EXPECT_EQ(number, 443);
    auto changed = sink_->WaitFor(AccEvent::PreferenceChange);
    ASSERT_TRUE(changed);
    EXPECT_EQ(changed->Text(1), L"aimcc.connect.host.port");
    EXPECT_EQ(changed->Long(2), S_OK);

    ASSERT_HRESULT_SUCCEEDED(prefs->Reset(CBstr(L"aimcc.connect.host.port")));
    EXPECT_EQ(prefs->GetValue(CBstr(L"aimcc.connect.host.port"), port.Out()), ACC_E_PREFERENCE_NOT_SET);
}

TEST_F(SessionComTest, ReadsEveryPreferenceThroughTheHookEachTime)
{
    ComPtr<CMapHook> hook = CMapHook::Make();
    hook->values[L"aimcc.connect.host.address"] = L"192.0.2.7";
    ASSERT_HRESULT_SUCCEEDED(session_->put_PrefsHook(hook.Get()));
    ComPtr<IUnknown> installed;
    ASSERT_HRESULT_SUCCEEDED(session_->get_PrefsHook(&installed));
    EXPECT_NE(installed, nullptr);

    ComPtr<IAccPreferences> prefs;
    ASSERT_HRESULT_SUCCEEDED(session_->get_Prefs(&prefs));
    for (int i = 1; i <= 3; ++i) {
        CVariant value;
        ASSERT_EQ(prefs->GetValue(CBstr(L"aimcc.connect.host.address"), value.Out()), S_OK);
        EXPECT_STREQ(value.Get().bstrVal, L"192.0.2.7");
        EXPECT_EQ(hook->reads[L"aimcc.connect.host.address"], i);
    }
    // A value changed behind the layer's back is seen at once.
    hook->values[L"aimcc.connect.host.address"] = L"192.0.2.8";
    CVariant value;
    ASSERT_EQ(prefs->GetValue(CBstr(L"aimcc.connect.host.address"), value.Out()), S_OK);
    EXPECT_STREQ(value.Get().bstrVal, L"192.0.2.8");

    // "Not set" from the hook gives the layer's default, flagged as such.
    ASSERT_EQ(prefs->GetValue(CBstr(L"aimcc.connect.host.port"), value.Out()), ACC_E_PREFERENCE_NOT_SET);
    EXPECT_STREQ(value.Get().bstrVal, L"5190");
    EXPECT_EQ(hook->reads[L"aimcc.connect.host.port"], 1);

    // Writes go to the hook.
    ASSERT_HRESULT_SUCCEEDED(prefs->SetValue(CBstr(L"aimcc.away.autoRespond"), CVariant::Bool(false).Get()));
    EXPECT_EQ(hook->values[L"aimcc.away.autoRespond"], L"0");

    // An object that is no hook is refused; null removes the hook.
    ComPtr<IAccIm> notAHook;
    ASSERT_HRESULT_SUCCEEDED(session_->CreateIm(CBstr(L"x"), CBstr(L"text/plain"), &notAHook));
    EXPECT_EQ(session_->put_PrefsHook(notAHook.Get()), E_NOINTERFACE);
    ASSERT_HRESULT_SUCCEEDED(session_->put_PrefsHook(nullptr));
    ASSERT_EQ(prefs->GetValue(CBstr(L"aimcc.connect.host.address"), value.Out()), ACC_E_PREFERENCE_NOT_SET);
    EXPECT_STREQ(value.Get().bstrVal, L"127.0.0.1");
}

TEST_F(SessionComTest, ClientInfoKeepsDescriptionAndVersionParts)
{
    ComPtr<IAccClientInfo> info;
    ASSERT_HRESULT_SUCCEEDED(session_->get_ClientInfo(&info));
    ASSERT_HRESULT_SUCCEEDED(
        info->put_Property(AccClientInfoProp::Description, CVariant::Text(L"Velmora (Key:Qm7TfR2xWp9LbZc4)").Get()));
    const long parts[] = {0, 1, 2, 345};
    for (long i = 0; i < 4; ++i)
        ASSERT_HRESULT_SUCCEEDED(info->put_Property(AccClientInfoProp::VersionMajor + i, CVariant::Int(parts[i]).Get()));
    EXPECT_EQ(PropertyText(info.Get(), AccClientInfoProp::Description), L"Velmora (Key:Qm7TfR2xWp9LbZc4)");
    for (long i = 0; i < 4; ++i)
        EXPECT_EQ(PropertyLong(info.Get(), AccClientInfoProp::VersionMajor + i), parts[i]);
    EXPECT_EQ(info->put_Property(AccClientInfoProp::VersionBuild, CVariant::Int(70000).Get()), E_INVALIDARG);
    EXPECT_EQ(info->put_Property(7, CVariant::Int(1).Get()), DISP_E_MEMBERNOTFOUND);
}

TEST_F(SessionComTest, MessagesConvertBetweenTextTypes)
{
    const struct {
        const wchar_t* text;
        const wchar_t* type;
        const wchar_t* asHtml;
        const wchar_t* asPlain;
    } cases[] = {
        {L"a < b & c", L"text/plain", L"a &lt; b &amp; c", L"a < b & c"},
        {L"line\r\nnext", L"text/plain", L"line<br>next", L"line\r\nnext"},
        {L"<b>bold</b> &amp; <i>it</i>", L"text/html", L"<b>bold</b> &amp; <i>it</i>", L"bold & it"},
        {L"one<br/>two&#65;&nbsp;", L"text/html", L"one<br/>two&#65;&nbsp;", L"one\r\ntwoA "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        ComPtr<IAccIm> im;
        ASSERT_HRESULT_SUCCEEDED(session_->CreateIm(CBstr(c.text), CBstr(c.type), &im));
        BSTR html = nullptr;
        BSTR plain = nullptr;
        ASSERT_HRESULT_SUCCEEDED(im->GetConvertedText(CBstr(L"text/html"), &html));
        ASSERT_HRESULT_SUCCEEDED(im->GetConvertedText(CBstr(L"text/plain"), &plain));
        EXPECT_STREQ(html, c.asHtml);
        EXPECT_STREQ(plain, c.asPlain);
        SysFreeString(html);
        SysFreeString(plain);
    }
    ComPtr<IAccIm> im;
    EXPECT_EQ(session_->CreateIm(CBstr(L"x"), CBstr(L"image/png"), &im), E_INVALIDARG);
    ASSERT_HRESULT_SUCCEEDED(session_->CreateIm(CBstr(L"x"), CBstr(L"text/plain"), &im));
    BSTR text = nullptr;
    EXPECT_EQ(im->GetConvertedText(CBstr(L"image/png"), &text), E_INVALIDARG);

    // Each message has its own identifier and a time.
    ComPtr<IAccIm> other;
    ASSERT_HRESULT_SUCCEEDED(session_->CreateIm(CBstr(L"x"), CBstr(L"text/plain"), &other));
    EXPECT_NE(PropertyText(im.Get(), AccImProp::Id), PropertyText(other.Get(), AccImProp::Id));
    CVariant time;
    ASSERT_HRESULT_SUCCEEDED(im->get_Property(AccImProp::Time, time.Out()));
    EXPECT_EQ(time.Type(), VT_DATE);
}

TEST_F(SessionComTest, OpensFilesAsStreams)
{
    TempFolder folder;
    ASSERT_TRUE(WriteFileBytes(folder.File(L"picture.bin"), "0123456789"));
    ComPtr<IAccStream> stream;
    ASSERT_HRESULT_SUCCEEDED(session_->CreateFileStream(CBstr(folder.File(L"picture.bin").c_str()), &stream));
    ULONGLONG size = 0;
    ASSERT_HRESULT_SUCCEEDED(stream->get_Size(&size));
    EXPECT_EQ(size, 10u);
    ULONGLONG position = 0;
    ASSERT_HRESULT_SUCCEEDED(stream->Seek(4, STREAM_SEEK_SET, &position));
    EXPECT_EQ(position, 4u);
    char bytes[8] = {};
    ULONG read = 0;
    ASSERT_HRESULT_SUCCEEDED(stream->Read(bytes, 3, &read));
    EXPECT_EQ(read, 3u);
    EXPECT_EQ(std::string(bytes, read), "456");
    ASSERT_HRESULT_SUCCEEDED(stream->get_Position(&position));
    EXPECT_EQ(position, 7u);
    ULONG written = 1;
    EXPECT_EQ(stream->Write("x", 1, &written), STG_E_ACCESSDENIED);
    EXPECT_EQ(written, 0u);

    ComPtr<IAccStream> missing;
    EXPECT_TRUE(FAILED(session_->CreateFileStream(CBstr(folder.File(L"none.bin").c_str()), &missing)));
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(session_->CreateFileStream(CBstr(L""), &missing), E_INVALIDARG);
}

// Requests that the layer can answer without the network still answer with
// an event carrying the request id, after the call has returned.
TEST_F(SessionComTest, RequestsAnsweredAtOnceStillComeAsEvents)
{
    long request = 0;
    ASSERT_HRESULT_SUCCEEDED(session_->OpenServerUrl(CBstr(L"/aim/getExpressionsPage?f=html"), &request));
    EXPECT_GT(request, 0);
    EXPECT_TRUE(sink_->Events().empty());
    auto url = sink_->WaitFor(AccEvent::ServerUrlReady);
    ASSERT_TRUE(url);
    ASSERT_EQ(url->args.size(), 6u);
    EXPECT_EQ(url->Long(0), request);
    EXPECT_EQ(url->Long(1), S_OK);
    EXPECT_EQ(url->Text(2), L"http://127.0.0.1/aim/getExpressionsPage?f=html");

    CVariant storage;
    ASSERT_HRESULT_SUCCEEDED(session_->get_Property(AccSessionProp::ImStorage, storage.Out()));
    ASSERT_EQ(storage.Type(), VT_DISPATCH);
    ComPtr<IAccImStorage> stored;
    ASSERT_HRESULT_SUCCEEDED(storage.Get().pdispVal->QueryInterface(IID_PPV_ARGS(&stored)));
    long storedRequest = 0;
    ASSERT_HRESULT_SUCCEEDED(stored->RetrieveStored(CVariant().Get(), &storedRequest));
    EXPECT_NE(storedRequest, request);
    auto forget = sink_->WaitFor(AccEvent::RequestForget);
    ASSERT_TRUE(forget);
    ASSERT_EQ(forget->args.size(), 3u);
    EXPECT_EQ(forget->Long(1), storedRequest);

    // Later-stage operations say so plainly.
    ComPtr<IAccImSession> chat;
    EXPECT_EQ(session_->CreateChatRoom(CBstr(L"room"), 0, 0, &chat), E_NOTIMPL);
    ComPtr<IAccFileXfer> transfer;
    EXPECT_EQ(session_->SendFile(CBstr(L"bob"), CBstr(L"c:\\x.txt"), &transfer), E_NOTIMPL);
    VARIANT_BOOL supported = VARIANT_TRUE;
    ASSERT_HRESULT_SUCCEEDED(session_->HasCapability(CBstr(L"{09461348-4C7F-11D1-8222-444553540000}"), &supported));
    EXPECT_EQ(supported, VARIANT_FALSE);
}

} // namespace
