// AccCore.h: the public face of acccore.dll, Velmora's AIM layer. The client
// includes this header (and AccHelpers.h) and nothing else of the layer; the
// wire protocol stays behind these interfaces.
//
// Shape of the layer
// - Every object is a COM object derived from IAccObject (itself IDispatch),
//   with numbered properties read and written as VARIANTs: get_Property,
//   put_Property, and RequestProperty for values that have to be fetched
//   from the network first. A read that answers ACC_E_PENDING means exactly
//   that: call RequestProperty, keep the request id, and wait for the event
//   that echoes it (121 for users, 120 for expression items).
// - The session object (one per account) is created by the DLL's ordinal 111
//   with CLSID_AccSession. It is the event source: connect an IDispatch sink
//   through IConnectionPointContainer for DIID_DAccEvents; the sink's
//   QueryInterface must answer DIID_DAccEvents.
// - Events are IDispatch::Invoke calls with the dispatch ids of AccEvent.
//   Following the COM convention, DISPPARAMS::rgvarg holds the arguments in
//   reverse order: rgvarg[cArgs - 1] is the first argument listed below.
//   Objects arrive as VT_DISPATCH, integers and results as VT_I4, texts as
//   VT_BSTR, booleans as VT_BOOL. An event always carries the full argument
//   count given here.
// - Threading: all objects of a session belong to the thread that created
//   the session, and are called on that thread only. Every event is
//   delivered on that thread from its message loop (the session keeps a
//   message-only window for it), never from inside a call into the layer and
//   never from another thread; a thread that creates a session must pump
//   messages. The network is driven from the same loop.
// - Preferences: the session reads every "aimcc." preference through the
//   client's hook (IAccPreferencesHook2, else IAccPreferencesHook), each time
//   it needs one and afresh at every sign-on; it keeps no copy. When the hook
//   answers ACC_E_PREFERENCE_NOT_SET the layer's default applies (listed
//   below). Without a hook the session keeps what is set through
//   IAccPreferences in memory, for the life of the session object.
//
// Strings are BSTRs. Screen names compare without regard to case or spaces
// (ordinal 144).
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <oleauto.h>

// ---------------------------------------------------------------------------
// Class and interface ids. Each id is an inline constant AIMCC::IID_<name>
// and, with mingw-w64, also known to __uuidof / IID_PPV_ARGS / ComPtr::As.
// ---------------------------------------------------------------------------

namespace AIMCC {
struct IAccObject;
struct IAccSession;
struct IAccPreferences;
struct IAccPreferencesHook;
struct IAccPreferencesHook2;
struct IAccClientInfo;
struct IAccSecurity;
struct IAccUser;
struct IAccBuddyList;
struct IAccGroup;
struct IAccImSession;
struct IAccIm;
struct IAccBartItem;
struct IAccStream;
struct IAccFileXfer;
struct IAccFile;
struct IAccFileShare;
struct IAccFileShareEntry;
struct IAccMail;
struct IAccImStorage;
struct IAccAccessControlHook;
struct DAccEvents;
} // namespace AIMCC

#ifndef __CRT_UUID_DECL
#define __CRT_UUID_DECL(type, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)
#endif

#define AIMCC_DECLARE_IID(type, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)                   \
    namespace AIMCC {                                                                          \
    inline constexpr IID IID_##type = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}};          \
    }                                                                                          \
    __CRT_UUID_DECL(AIMCC::type, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)

AIMCC_DECLARE_IID(IAccObject, 0xCA0C9E88, 0xE06C, 0x47F0, 0x85, 0x3C, 0x15, 0xEE, 0x4C, 0xEA, 0x54, 0x27)
AIMCC_DECLARE_IID(IAccSession, 0x6948847A, 0x2E85, 0x45CA, 0xA2, 0x84, 0x80, 0xD3, 0x52, 0x3C, 0xA0, 0x3F)
AIMCC_DECLARE_IID(IAccPreferences, 0x73AC9211, 0xD400, 0x4D00, 0x8A, 0x23, 0xDB, 0x67, 0x92, 0x0F, 0x44, 0x10)
AIMCC_DECLARE_IID(IAccPreferencesHook, 0x60313623, 0x6BAA, 0x474D, 0xA6, 0xC1, 0x41, 0xB2, 0xBF, 0x13, 0xB0, 0xD6)
AIMCC_DECLARE_IID(IAccPreferencesHook2, 0x82C27B9B, 0x4613, 0x497A, 0x98, 0x0D, 0x58, 0xAE, 0x83, 0x38, 0xA8, 0x1C)
AIMCC_DECLARE_IID(IAccClientInfo, 0x558F7DEB, 0xF0AA, 0x41AE, 0x8E, 0xC5, 0x44, 0x9A, 0xC1, 0x61, 0x59, 0xEA)
AIMCC_DECLARE_IID(IAccSecurity, 0x76285EA8, 0x280D, 0x4057, 0x8E, 0x41, 0xE9, 0x59, 0xE3, 0x65, 0xC2, 0xC3)
AIMCC_DECLARE_IID(IAccUser, 0x82047114, 0xBED0, 0x11D6, 0x91, 0x57, 0x00, 0x10, 0x83, 0x34, 0x1C, 0xF5)
AIMCC_DECLARE_IID(IAccBuddyList, 0x7BC05B2A, 0x55F4, 0x401D, 0xA9, 0xCF, 0xA7, 0x6E, 0x47, 0x04, 0xEC, 0x0C)
AIMCC_DECLARE_IID(IAccGroup, 0x13FB45FF, 0x69C9, 0x4319, 0xA5, 0x49, 0x39, 0xD0, 0x5B, 0x66, 0x10, 0x3F)
AIMCC_DECLARE_IID(IAccImSession, 0x9F0D876C, 0xA2CD, 0x48B3, 0x8B, 0x88, 0xCD, 0x24, 0xC4, 0x9E, 0x7B, 0x2F)
AIMCC_DECLARE_IID(IAccIm, 0xD56487C8, 0x6C90, 0x49DA, 0xA4, 0x31, 0x3E, 0xFC, 0x49, 0x3A, 0xB1, 0x59)
AIMCC_DECLARE_IID(IAccBartItem, 0xA7D6D0FB, 0x51E5, 0x4B30, 0xB7, 0x24, 0x20, 0x65, 0xE0, 0x3A, 0x87, 0x43)
AIMCC_DECLARE_IID(IAccStream, 0xE2AF515C, 0xE2F6, 0x44E0, 0x84, 0x64, 0x10, 0xF7, 0x58, 0x8D, 0x72, 0xAB)
AIMCC_DECLARE_IID(IAccFileXfer, 0x69BAFDA0, 0xF1F5, 0x42EF, 0xAA, 0x25, 0xDE, 0x0D, 0xD3, 0x4A, 0xAD, 0x39)
AIMCC_DECLARE_IID(IAccFile, 0xDE85B6D1, 0x9F8C, 0x447C, 0x9E, 0x9A, 0xC5, 0x48, 0x80, 0xA3, 0x58, 0xD0)
AIMCC_DECLARE_IID(IAccFileShare, 0xA2CAD582, 0x3C9B, 0x486A, 0xBE, 0x14, 0x25, 0x74, 0xE7, 0xA4, 0xC2, 0x62)
AIMCC_DECLARE_IID(IAccFileShareEntry, 0x9BF41308, 0xF135, 0x4D93, 0xA7, 0x6F, 0x54, 0xC3, 0x66, 0x8B, 0x08, 0xDF)
AIMCC_DECLARE_IID(IAccMail, 0xA99EFA3F, 0x23C5, 0x4A4B, 0xB2, 0xF8, 0x01, 0xEF, 0x66, 0x25, 0xFD, 0x48)
AIMCC_DECLARE_IID(IAccImStorage, 0x54E85D87, 0xF404, 0x49AB, 0x85, 0x88, 0xE0, 0x7B, 0xCF, 0x43, 0x4C, 0xBF)
AIMCC_DECLARE_IID(IAccAccessControlHook, 0x03D066B1, 0x3050, 0x4EBB, 0x84, 0xA5, 0xF3, 0x58, 0xDA, 0x4F, 0x1E, 0x92)
AIMCC_DECLARE_IID(DAccEvents, 0x0D476EFC, 0x40DB, 0x4D5F, 0xAF, 0x29, 0xC7, 0xD0, 0x8F, 0xB5, 0x6B, 0x8C)

namespace AIMCC {

// The session object: the only class ordinal 111 creates.
inline constexpr CLSID CLSID_AccSession = {0xE0B2AA40, 0x7BF5, 0x11D3, {0xA6, 0x55, 0x00, 0x60, 0xB0, 0x88, 0x3B, 0x25}};
// The events interface is a dispinterface: a sink is any IDispatch whose
// QueryInterface answers this id.
inline constexpr IID DIID_DAccEvents = IID_DAccEvents;

// ---------------------------------------------------------------------------
// Results. The numbers are fixed; the meanings are this layer's. Results of
// events travel as VT_I4 (the HRESULT's bits).
// ---------------------------------------------------------------------------

#define AIMCC_HR(value) static_cast<HRESULT>(value##UL)

// A hook answers this for a preference it does not hold; IAccPreferences
// answers it (with the layer's default in the out value) for the same reason.
inline constexpr HRESULT ACC_E_PREFERENCE_NOT_SET = AIMCC_HR(0x80040203);
// The property is not available in that form yet: request it.
inline constexpr HRESULT ACC_E_PENDING = AIMCC_HR(0x80040207);
// Not signed on (sign-on cannot start now; sending while offline).
inline constexpr HRESULT ACC_E_NOT_CONNECTED = AIMCC_HR(0x80040210);
// The server's rate limit was reached; try again later.
inline constexpr HRESULT ACC_E_RATE_LIMITED = AIMCC_HR(0x80040211);
// The server does not know this screen name or password.
inline constexpr HRESULT ACC_E_INVALID_LOGIN = AIMCC_HR(0x80040213);
// The account cannot be used: suspended, deleted, expired or invalid.
inline constexpr HRESULT ACC_E_ACCOUNT_SUSPENDED = AIMCC_HR(0x80040214);
inline constexpr HRESULT ACC_E_ACCOUNT_DELETED = AIMCC_HR(0x80040231);
inline constexpr HRESULT ACC_E_ACCOUNT_EXPIRED = AIMCC_HR(0x80040233);
inline constexpr HRESULT ACC_E_ACCOUNT_INVALID = AIMCC_HR(0x80040236);
// The service is temporarily unavailable.
inline constexpr HRESULT ACC_E_SERVICE_UNAVAILABLE = AIMCC_HR(0x80040215);
// No usable password was given (empty or not sendable); also a certificate's
// wrong password.
inline constexpr HRESULT ACC_E_BAD_PASSWORD = AIMCC_HR(0x80040222);
// The recipient is not available (offline and the message cannot be stored).
inline constexpr HRESULT ACC_E_RECIPIENT_UNAVAILABLE = AIMCC_HR(0x80040225);
// The message is too large for the server.
inline constexpr HRESULT ACC_E_MESSAGE_TOO_LARGE = AIMCC_HR(0x80040229);
// Signed on elsewhere: another sign-on of this account ended this one.
inline constexpr HRESULT ACC_E_SIGNED_ON_ELSEWHERE = AIMCC_HR(0x80040230);
// Signing on too often; wait before the next attempt.
inline constexpr HRESULT ACC_E_SIGN_ON_TOO_OFTEN = AIMCC_HR(0x80040232);
// Too many accounts signed on from this address.
inline constexpr HRESULT ACC_E_TOO_MANY_FROM_ADDRESS = AIMCC_HR(0x80040235);
// The account's warning level is too high to sign on.
inline constexpr HRESULT ACC_E_WARNING_LEVEL = AIMCC_HR(0x80040237);
// The connection was lost or closed. Reported as progress, not as an error.
inline constexpr HRESULT ACC_E_CONNECTION_LOST = AIMCC_HR(0x8004023F);
// The server's host name could not be resolved.
inline constexpr HRESULT ACC_E_HOST_NOT_FOUND = AIMCC_HR(0x80040240);
// The server could not be reached (connection refused or no route).
inline constexpr HRESULT ACC_E_CONNECT_FAILED = AIMCC_HR(0x80040241);
// The server did not answer in time.
inline constexpr HRESULT ACC_E_CONNECT_TIMEOUT = AIMCC_HR(0x80040242);
// The proxy refused or failed the connection.
inline constexpr HRESULT ACC_E_PROXY_FAILED = AIMCC_HR(0x80040243);
// The server sent something the layer cannot understand; the connection ends.
inline constexpr HRESULT ACC_E_PROTOCOL_ERROR = AIMCC_HR(0x80040244);
// The server closed the connection during sign-on.
inline constexpr HRESULT ACC_E_SERVER_CLOSED = AIMCC_HR(0x80040245);
// The chat room cannot be entered; the room is full.
inline constexpr HRESULT ACC_E_ROOM_UNAVAILABLE = AIMCC_HR(0x80040252);
inline constexpr HRESULT ACC_E_ROOM_FULL = AIMCC_HR(0x80040254);
// The recipient does not accept messages from this account.
inline constexpr HRESULT ACC_E_REFUSED_BY_RECIPIENT = AIMCC_HR(0x80040260);
// A direct connection to the other party could not be made.
inline constexpr HRESULT ACC_E_PEER_CONNECT_FAILED = AIMCC_HR(0x80040261);
// The recipient is offline; the message can be resent for storage (flag 0x2).
inline constexpr HRESULT ACC_E_RECIPIENT_OFFLINE = AIMCC_HR(0x80040262);
// Declined: the reason a client passes to Reject, and the answer it gets back.
inline constexpr HRESULT ACC_E_DECLINED = AIMCC_HR(0x80040270);
// The other party's program cannot do this.
inline constexpr HRESULT ACC_E_PEER_UNSUPPORTED = AIMCC_HR(0x80040271);
// Cancelled by the user.
inline constexpr HRESULT ACC_E_CANCELLED = AIMCC_HR(0x80040278);
// Refused by this account's own permission preferences.
inline constexpr HRESULT ACC_E_NOT_PERMITTED = AIMCC_HR(0x80040283);
// The server refuses this client version: upgrade required, upgrade
// recommended, client not accepted, client key not accepted.
inline constexpr HRESULT ACC_E_UPGRADE_REQUIRED = AIMCC_HR(0x80040410);
inline constexpr HRESULT ACC_E_UPGRADE_RECOMMENDED = AIMCC_HR(0x80040411);
inline constexpr HRESULT ACC_E_CLIENT_REFUSED = AIMCC_HR(0x80040412);
inline constexpr HRESULT ACC_E_CLIENT_KEY_REFUSED = AIMCC_HR(0x80040413);

#undef AIMCC_HR

// General results of property access, on every object:
// - an id the object does not have: DISP_E_MEMBERNOTFOUND;
// - writing a read-only property: E_ACCESSDENIED;
// - a value of a type the property cannot take: DISP_E_TYPEMISMATCH;
// - a property that exists but has no value: S_OK with VT_EMPTY;
// - a value still on the network: ACC_E_PENDING (then RequestProperty).
// Operations of later stages that this build does not have: E_NOTIMPL.

// ---------------------------------------------------------------------------
// Session states (event 100, IAccSession::get_State, session property 2).
// ---------------------------------------------------------------------------
namespace AccState {
enum : long {
    Offline = 0,            // signed off; also the end of a failed sign-on (with its result)
    SigningOff = 50,        // sign-off under way
    Connecting = 100,       // connecting to the login server
    Challenge = 150,        // asking the login server for the password key
    Authorizing = 200,      // the hashed password is being checked
    Verifying = 210,        // further verification asked by the server
    Verifying2 = 211,
    Redirecting = 300,      // login accepted; moving to the service host
    ConnectingService = 350, // connecting to the service host with the login ticket
    ServiceSetup = 400,     // service start-up: limits, buddy list, messaging parameters
    Online = 500,           // signed on
};
}

// ---------------------------------------------------------------------------
// Event dispatch ids, with each event's arguments in the order the client
// reads them. "result" is an HRESULT (VT_I4); where it is the last argument,
// a non-zero result means the change did not happen.
// Ids marked "not raised" exist so that a sink's table is complete; this
// build does not raise them.
// ---------------------------------------------------------------------------
namespace AccEvent {
enum : DISPID {
    StateChange = 100,              // (session, state, result)
    SessionPropertyChange = 101,    // (session, property id)
    SessionStatusChange = 102,      // (session, property id): follows 101 for 7, 9 and 16
    Reserved103 = 103,              // (session, value, value, result)              not raised
    WarnResult = 104,               // (session, user, kind, request id, result, value)  not raised
    Reserved105 = 105,              // (session, value, value, value, result)       not raised
    Reserved106 = 106,              // (session, value, value, result)              not raised
    Reserved107 = 107,              // (session, value, result)                     not raised
    ServerUrlReady = 108,           // (request id, result, url, session, path and query asked for, 0)
    RequestFailed = 109,            // (object asked, request id, flag: 0 = tell the user)
    NewMail = 110,                  // (session, mail)                              not raised
    BartItemRequestDone = 120,      // (session, item, property id, request id, result, owner user or session)
    UserRequestDone = 121,          // (session, user, property id, request id, result, value)
    BuddyListChange = 201,          // (session, buddy list, reason 0 = rebuilt, result)
    GroupRemoved = 202,             // (session, group, result)
    GroupAdded = 203,               // (session, buddy list, group, position, result)
    BuddyAdded = 204,               // (session, group, user, position, result)
    BuddyRemoved = 205,             // (session, group, user, result)
    BuddyMoved = 206,               // (session, old group, old position, new group, new position, user, result)
    BuddyListReady = 207,           // (session, buddy list, value): 5 = received and in use
    GroupChange = 208,              // (session, group, code: AccGroupChange)
    BuddyChange = 209,              // (session, user as it was, user now, property id, result)
    Reserved210 = 210,              // (session)                                    not raised
    Reserved211 = 211,              // (session)                                    not raised
    PreferenceChange = 300,         // (session, name, result)
    Reserved301 = 301,              // (session, value, value, value, result)       not raised
    Reserved302 = 302,              // (session, value, result)                     not raised
    Reserved400 = 400,              // (session, value, result)                     not raised
    SecondarySessionOffered = 500,  // (session, object, type: AccSecondaryType)
    SecondarySessionState = 501,    // (session, object, state: AccSecondaryState, result)
    ImSessionEvent = 502,           // (session, IM session, code)                  not raised
    ChatMemberJoined = 503,         // (session, chat, user)                        not raised
    ChatMemberLeft = 504,           // (session, chat, user, reason, message, result) not raised
    ChatEvent = 505,                // (session, chat, code, value, result)         not raised
    InviteResult = 506,             // (session, chat, request id, screen name, result) not raised
    ImSessionRequestDone = 507,     // (session, IM session, request id, value, result) not raised
    Reserved600 = 600,              // (session, IM session, value, result)         not raised
    MessageSent = 601,              // (session, IM session, local user, message)
    SendResult = 602,               // (session, IM session, recipient user, message, result)
    Reserved603 = 603,              // (session, IM session, value, result)         not raised
    MessageReceived = 604,          // (session, IM session, sender user, message)
    TypingChange = 605,             // (session, IM session, user, typing state: AccTyping)
    DirectItemData = 606,           // (session, IM session, message, item name, stream) not raised
    DirectItemProgress = 607,       // (session, IM session, message, item name, stream) not raised
    Notification = 608,             // (session, IM session, message)               not raised
    ImSessionNotice = 611,          // (session, IM session, notice 1..3)           not raised
    ReceivedItemsDone = 612,        // (session, IM session, message)               not raised
    SentItemsDone = 613,            // (session, IM session, message)               not raised
    FileXferAdded = 700,            // (session, transfer, incoming flag)           not raised
    FileXferProgress = 701,         // (session, transfer, file)                    not raised
    FileXferState = 702,            // (session, transfer, result)                  not raised
    FileXferCollision = 703,        // (session, transfer, file, default answer)    not raised
    FileXferDone = 704,             // (session, transfer, result)                  not raised
    FileShareAnswer = 800,          // (session, share, request id, entry, result)  not raised
    FileShareRequest = 801,         // (session, share, request id, entry, result)  not raised
    Reserved900 = 900,              // (session, value, value, value, value, result) not raised
    Reserved901 = 901,              // (session, value, value, result)              not raised
    Reserved902 = 902,              // (session, value, value, result)              not raised
    Reserved903 = 903,              // (session, value, value, result)              not raised
    Reserved1002 = 1002,            // (session, value, value, value, result)       not raised
    Reserved1004 = 1004,            // (session, value, value, result)              not raised
    Reserved1100 = 1100,            // (session, value, value, result)              not raised
    RequestForget = 1101,           // (session, request id, result): the request is finished
    Reserved1102 = 1102,            // (session, value, result)                     not raised
};
}

// Third argument of event 207.
inline constexpr long AccBuddyListReadyValue = 5;

// Code of event 208.
namespace AccGroupChange {
enum : long {
    Moved = 0,          // the group has a new position in the buddy list
    Appearance = 2,     // renamed, or its expanded state changed: redraw
};
}

// ---------------------------------------------------------------------------
// Property numbers, per object.
// ---------------------------------------------------------------------------

// Expression ("BART") items are properties 10000 + item type, on the session
// (own items) and on users.
inline constexpr long AccBartPropertyBase = 10000;

namespace AccBartType {
enum : long {
    BuddyIcon = 1,
    StatusText = 2,
    ArriveSound = 3,
    StatusLink = 9,
    DepartSound = 96,
    Wallpaper = 129,
    ImSound = 131,
    FlashWallpaper = 136,
    ImmersiveWallpaper = 137,
    SmileySet = 1024,
};
}

namespace AccSessionProp {
enum : long {
    Identity = 0,                // text: the screen name (also get_Identity)
    AdditionalAccounts = 1,      // array of texts: accounts to sign on after this one; writable (VT_EMPTY
                                 // erases) once the identity is set; kept as the list preference
                                 // "aimcc.accounts.additional.<normalised screen name>"
    State = 2,                   // integer, read-only: AccState (also get_State)
    Profile = 6,                 // content (IAccIm); write a content object or HTML text; kept in "aimcc.general.profile"
    AwayMessage = 7,             // content or VT_EMPTY; write a content object, HTML text, or VT_EMPTY to come back
    Invisible = 9,               // bool
    IdleThreshold = 12,          // integer seconds without input before the account shows as idle; 0 = idle now
    IdleTime = 13,               // integer seconds of idleness reported (set before 12)
    ImForwarding = 16,           // bool, read-only: messages forwarded to a mobile device (always false)
    ProfileLimit = 26,           // integer, read-only: profile length limit in characters
    AwayMessageLimit = 27,       // integer, read-only: away-message length limit in characters
    ChatRoomNameLimit = 28,      // integer, read-only (128)
    PrimarySession = 31,         // session: the primary account. A session that has one is an additional
                                 // account: SignOn with an empty password then uses the protected
                                 // preference "aimcc.accounts.password.<normalised screen name>", read
                                 // through IAccPreferencesHook2::ReadProtectedPreference
    PrivacyListLimit = 33,       // integer, read-only: permitted / denied list limit
    ImStorage = 38,              // IAccImStorage, read-only
    BuddyIcon = AccBartPropertyBase + AccBartType::BuddyIcon,
    StatusText = AccBartPropertyBase + AccBartType::StatusText,   // read: item (item p6 = text); write: text
    StatusLink = AccBartPropertyBase + AccBartType::StatusLink,   // read: item (item p6 = address); write: text
    Wallpaper = AccBartPropertyBase + AccBartType::Wallpaper,
    FlashWallpaper = AccBartPropertyBase + AccBartType::FlashWallpaper,
    ImmersiveWallpaper = AccBartPropertyBase + AccBartType::ImmersiveWallpaper,
    SmileySet = AccBartPropertyBase + AccBartType::SmileySet,
};
}

namespace AccClientInfoProp {
enum : long {
    Description = 0,    // text: client name and key, "Velmora (Key:...)"
    VersionMajor = 8,   // the four parts of the client's file version
    VersionMinor = 9,
    VersionPoint = 10,
    VersionBuild = 11,
};
}

// Presence, user property 3 (and IM-session property 3).
namespace AccPresence {
enum : long {
    Unknown = -1,
    Offline = 0,
    Available = 1,
    Idle = 2,
    Away = 3,
};
}

namespace AccUserProp {
enum : long {
    Session = -1,          // the owning session
    Name = 0,              // text: screen name as the network formats it
    Alias = 2,             // text, writable: the buddy-list alias
    Presence = 3,          // AccPresence
    UserClass = 4,         // unsigned flags as the server sends them (0x1280 = mobile)
    Blocked = 5,           // bool, writable
    OnlineTime = 7,        // integer seconds since the user signed on
    IdleTime = 8,          // integer seconds idle (0 = not idle)
    Note = 12,             // text, writable: the buddy-list note
    OnBuddyList = 14,      // bool: the user is on this account's buddy list
    Feed = 16,             // integer: feed indicator (always 0)
    FeedReadTime = 17,     // date, writable, kept locally
    Profile = 100,         // content, requested (event 121)
    AwayMessage = 101,     // content, requested (event 121)
    Capabilities = 102,    // array of capability GUID texts "{...}"
    SecurityInfo = 103,    // requested; answered at once with no value
    BuddyIcon = AccBartPropertyBase + AccBartType::BuddyIcon,
    StatusText = AccBartPropertyBase + AccBartType::StatusText,
    ArriveSound = AccBartPropertyBase + AccBartType::ArriveSound,
    StatusLink = AccBartPropertyBase + AccBartType::StatusLink,
    DepartSound = AccBartPropertyBase + AccBartType::DepartSound,
    Wallpaper = AccBartPropertyBase + AccBartType::Wallpaper,
    ImSound = AccBartPropertyBase + AccBartType::ImSound,
    FlashWallpaper = AccBartPropertyBase + AccBartType::FlashWallpaper,
    ImmersiveWallpaper = AccBartPropertyBase + AccBartType::ImmersiveWallpaper,
    SmileySet = AccBartPropertyBase + AccBartType::SmileySet,
    AliasLimit = 100000,   // integer: alias length limit
    NoteLimit = 100002,    // integer: note length limit
};
}

namespace AccBuddyListProp {
enum : long {
    Session = -1,
    GroupNameLimit = 2,    // integer: group name length limit
};
}

namespace AccGroupProp {
enum : long {
    Session = -1,
    Name = 0,              // text; writing it renames the group (also put_Name)
    OnlineCount = 1,       // integer: buddies of the group that are online
    Expanded = 2,          // bool, writable, kept in the preference "aimcc.buddyList.expanded.<name>"
    IsOfflineGroup = 9,    // bool: the group the layer makes up for offline buddies
};
}

// Type of a secondary session object (property 0; event 500's third argument).
namespace AccSecondaryType {
enum : long {
    Im = 1,                // IM, direct IM or chat (IAccImSession)
    FileXfer = 3,          // IAccFileXfer
    FileShare = 4,         // IAccFileShare
};
}

// State of a secondary session (IM session property 1; event 501).
namespace AccSecondaryState {
enum : long {
    Closed = 0,
    Offered = 50,          // waiting for Accept or Reject
    Ready = 500,
};
}

namespace AccImMode {
enum : long {
    Im = 0,
    DirectIm = 1,
    Chat = 2,
};
}

namespace AccTyping {
enum : long {
    None = 0,
    TextEntered = 1,       // stopped typing, text in the box
    Typing = 2,
};
}

namespace AccImSessionProp {
enum : long {
    Session = -1,
    Type = 0,              // AccSecondaryType::Im
    State = 1,             // AccSecondaryState; 500 = messages can be sent
    InviteText = 2,        // text of a chat invitation
    RemotePresence = 3,    // AccPresence of the other party (0 = offline: store the message)
    RemoteName = 4,        // text: the other party's screen name
    Members = 5,           // array of VT_DISPATCH users: [this account, the other party] for an IM
    Mode = 1000,           // AccImMode
    OfferedMode = 1001,    // AccImMode the other party asked for
    RoomName = 1003,       // text (chat)
    ItemsPending = 1006,   // bool: embedded items still moving (direct IM)
    RealTime = 1012,       // bool (always false)
    RealTimeText = 1013,   // bool (always false)
};
}

// Flags of a message (message property 1).
namespace AccImFlags {
enum : long {
    AutoResponse = 0x1,
    Offline = 0x2,         // stored for an offline recipient / delivered from storage
    RealTimeFragment = 0x4,
};
}

namespace AccImProp {
enum : long {
    Flags = 1,             // AccImFlags, writable
    Time = 2,              // VT_DATE, local time of sending or receipt
    Secure = 3,            // bool (always false)
    Id = 6,                // text, unique per message in this process
    ItemCount = 10,        // integer: attached items
    EmbeddedFlags = 15,    // flags: 0x7 = embedded content present
    Sound = AccBartPropertyBase + AccBartType::ImSound,
    MimeType = 100001,     // text: the type the text was given in
};
}

namespace AccBartProp {
enum : long {
    Type = 0,              // AccBartType
    Shown = 1,             // bool: a custom item that may be shown
    Id = 3,                // text: the item's hash in hex
    Data = 5,              // byte array (VT_ARRAY | VT_UI1); ACC_E_PENDING until requested
    Content = 6,           // text or content: status text, link address
    Stream = 7,            // IAccStream
    Path = 8,              // text: local file of the cached data
    SmileyPicture = 4,     // smiley of a set: picture file
    SmileyShortcuts = 5,   // smiley of a set: array of shortcut texts
};
}

namespace AccMailProp {
enum : long {
    Status = 0,            // 0 = good
    UnreadCount = 1001,
};
}

namespace AccFileXferProp {
enum : long {
    Session = -1,
    Type = 0,
    Remote = 4,
    LocalFolder = 1001,
    IsFolder = 1003,
    FilePath = 1004,
    Outgoing = 1005,
    Speed = 1006,          // bytes per second
    TotalSize = 1007,      // VT_CY (size × 10000)
    DoneSize = 1008,       // VT_CY
};
}

// ---------------------------------------------------------------------------
// Preferences the layer reads, with its defaults. Values pass through the
// hook as text: booleans as "-1"/"0", integers as decimal text. A name
// "a.b.c" is the key "c" of the section "a.b" in the client's store.
//
//   aimcc.connect.host.address        "127.0.0.1"  the login server
//   aimcc.connect.host.port           "5190"
//   aimcc.connect.autoReconnect       "-1"
//   aimcc.connect.autoReconnectTimeout "2147483647"
//   aimcc.connect.proxy.enabled       "0"  (.address "", .port "0", .protocol "0")
//   aimcc.buddyList.hideOfflineGroup  "0"  offline buddies are listed in the offline group
//   aimcc.buddyList.hideOfflineBuddies "0" with the offline group hidden, offline buddies
//                                         stay in their groups unless this is "-1"
//   aimcc.privacy.mode                "1"  (1 permit all, 2 deny all, 3 permit some,
//                                           4 deny some, 5 permit buddies only)
//   aimcc.away.autoRespond            "-1"
//   aimcc.im.showTimeStamps           "0"
//   aimcc.im.permissions.allowImStorage "0"
//   aimcc.general.profile             ""
//   aimcc.accounts.additional.<name>  (none)  list: session property 1 of the account <name>
//   aimcc.accounts.password.<name>    (none)  protected: an additional account's password
// Every default the layer has is readable through
// IAccPreferences::GetDefaultValue.
// ---------------------------------------------------------------------------

// ---------------------------------------------------------------------------
// Interfaces.
// ---------------------------------------------------------------------------

// Common to every object of the layer. IDispatch::Invoke also reaches the
// properties: DISPID_VALUE with one argument (the id) reads, with two
// (value, id in COM's reversed order) writes. There is no type library.
struct IAccObject : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Property(long id, VARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Property(long id, VARIANT value) = 0;
    // Starts fetching a property from the network; the answer is an event
    // carrying the request id (121 for users, 120 for items, 109 when the
    // request could not even be sent).
    virtual HRESULT STDMETHODCALLTYPE RequestProperty(long id, long* requestId) = 0;
};

struct IAccSession : public IAccObject {
    virtual HRESULT STDMETHODCALLTYPE get_Identity(BSTR* screenName) = 0;
    // Only while signed off.
    virtual HRESULT STDMETHODCALLTYPE put_Identity(BSTR screenName) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_State(long* state) = 0;
    // Starts signing on; progress and the outcome come as event 100. Fails at
    // once (E_INVALIDARG) without an identity, with ACC_E_BAD_PASSWORD for an
    // empty password (unless an additional account has one stored, see
    // property 31), E_UNEXPECTED unless signed off.
    virtual HRESULT STDMETHODCALLTYPE SignOn(BSTR password) = 0;
    // Raises 50 then 0. Harmless when already signed off.
    virtual HRESULT STDMETHODCALLTYPE SignOff() = 0;
    // The client's hook object (IAccPreferencesHook2 or IAccPreferencesHook);
    // null removes it.
    virtual HRESULT STDMETHODCALLTYPE get_PrefsHook(IUnknown** hook) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_PrefsHook(IUnknown* hook) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ClientInfo(IAccClientInfo** info) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Prefs(IAccPreferences** prefs) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Security(IAccSecurity** security) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BuddyList(IAccBuddyList** list) = 0;
    // The one user object for a screen name (made on first use).
    virtual HRESULT STDMETHODCALLTYPE GetUser(BSTR screenName, IAccUser** user) = 0;
    // A group of the buddy list by name; S_FALSE and null when there is none.
    virtual HRESULT STDMETHODCALLTYPE GetGroup(BSTR name, IAccGroup** group) = 0;
    // The IM session with a screen name: the open one, or a new one.
    virtual HRESULT STDMETHODCALLTYPE CreateImSession(BSTR screenName, long mode, IAccImSession** session) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateChatRoom(BSTR room, long exchange, long instance, IAccImSession** chat) = 0;
    // A message from text in a MIME type ("text/html" or "text/plain").
    virtual HRESULT STDMETHODCALLTYPE CreateIm(BSTR text, BSTR mimeType, IAccIm** im) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateFileStream(BSTR path, IAccStream** stream) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendFile(BSTR screenName, BSTR path, IAccFileXfer** transfer) = 0;
    virtual HRESULT STDMETHODCALLTYPE RequestFileShare(BSTR screenName, long* requestId) = 0;
    // Builds the address of a page on the configured server; event 108.
    virtual HRESULT STDMETHODCALLTYPE OpenServerUrl(BSTR pathAndQuery, long* requestId) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBartItem(long type, BSTR id, IAccBartItem** item) = 0;
    // Whether this account offers a capability ("{GUID}" text).
    virtual HRESULT STDMETHODCALLTYPE HasCapability(BSTR capability, VARIANT_BOOL* supported) = 0;
    // Plug-ins and their menu items: always empty lists here.
    virtual HRESULT STDMETHODCALLTYPE GetPlugins(VARIANT* list) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMenuItems(long location, VARIANT* items) = 0;
    virtual HRESULT STDMETHODCALLTYPE InvokeMenuItem(long location, long id, VARIANT selection) = 0;
    virtual HRESULT STDMETHODCALLTYPE MenuItemsDone(long location) = 0;
    virtual HRESULT STDMETHODCALLTYPE InvokeIdentityAction(long action) = 0;
};

// The session's preferences: each read goes to the hook.
struct IAccPreferences : public IAccObject {
    // S_OK with the stored value; ACC_E_PREFERENCE_NOT_SET with the layer's
    // default (VT_EMPTY when it has none) when nothing is stored.
    virtual HRESULT STDMETHODCALLTYPE GetValue(BSTR name, VARIANT* value) = 0;
    // Writes through the hook and raises event 300.
    virtual HRESULT STDMETHODCALLTYPE SetValue(BSTR name, VARIANT value) = 0;
    // The layer's default; ACC_E_PREFERENCE_NOT_SET when it has none.
    virtual HRESULT STDMETHODCALLTYPE GetDefaultValue(BSTR name, VARIANT* value) = 0;
    // Erases the stored value (the default applies again); raises event 300.
    virtual HRESULT STDMETHODCALLTYPE Reset(BSTR name) = 0;
};

// Implemented by the client. Called on the session's thread.
struct IAccPreferencesHook : public IUnknown {
    // VT_BSTR, or a list as VT_ARRAY | VT_VARIANT of texts;
    // ACC_E_PREFERENCE_NOT_SET when not stored.
    virtual HRESULT STDMETHODCALLTYPE ReadPreference(BSTR name, VARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReadPreferenceDefault(BSTR name, VARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE WritePreference(BSTR name, VARIANT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE ErasePreference(BSTR name) = 0;
    virtual HRESULT STDMETHODCALLTYPE ListPreferenceChildren(BSTR name, VARIANT* children) = 0;
};

struct IAccPreferencesHook2 : public IAccPreferencesHook {
    virtual HRESULT STDMETHODCALLTYPE ReadProtectedPreference(BSTR name, VARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteProtectedPreference(BSTR name, VARIANT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE EraseProtectedPreference(BSTR name) = 0;
};

// The client's description and version, sent at sign-on (AccClientInfoProp).
struct IAccClientInfo : public IAccObject {};

// Certificates for secure IM. Without that service: the two first operations
// succeed and do nothing, importing is not available.
struct IAccSecurity : public IAccObject {
    virtual HRESULT STDMETHODCALLTYPE Initialize(long flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE UseCertificate(long flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE ImportCertificate(BSTR path, BSTR password) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveCertificates() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCertificateDescription(BSTR preferenceName, BSTR* description) = 0;
};

// A user (buddy or anybody else), AccUserProp.
struct IAccUser : public IAccObject {
    // The buddy-list groups that hold this user, in buddy-list order.
    virtual HRESULT STDMETHODCALLTYPE get_GroupCount(long* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetGroup(long index, IAccGroup** group) = 0;
};

// The buddy list: groups in the server's order, then the offline group when
// it is shown. Changes are sent to the server; the events 201-208 report
// them when the server has them (with the server's result).
struct IAccBuddyList : public IAccObject {
    virtual HRESULT STDMETHODCALLTYPE get_GroupCount(long* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetGroupByIndex(long index, IAccGroup** group) = 0;
    // S_FALSE and null when there is no such group.
    virtual HRESULT STDMETHODCALLTYPE GetGroupByName(BSTR name, IAccGroup** group) = 0;
    // position -1 = at the end. The group object comes back at once; event
    // 203 follows.
    virtual HRESULT STDMETHODCALLTYPE InsertGroup(BSTR name, long position, IAccGroup** group) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveGroup(IAccGroup* group) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveGroup(IAccGroup* group, long position) = 0;
    virtual HRESULT STDMETHODCALLTYPE HoldsBuddy(BSTR screenName, VARIANT_BOOL* holds) = 0;
};

struct IAccGroup : public IAccObject {
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Name(BSTR name) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BuddyCount(long* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBuddyByIndex(long index, IAccUser** user) = 0;
    // -1 when the group does not list the buddy.
    virtual HRESULT STDMETHODCALLTYPE GetBuddyIndex(BSTR screenName, long* index) = 0;
    // position -1 = at the end; event 204 follows.
    virtual HRESULT STDMETHODCALLTYPE AddBuddy(BSTR screenName, long position, IAccUser** user) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveBuddy(BSTR screenName) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveBuddy(BSTR screenName, IAccGroup* target, long position) = 0;
};

// An IM, direct-IM or chat session (AccImSessionProp).
struct IAccImSession : public IAccObject {
    virtual HRESULT STDMETHODCALLTYPE SetTypingState(long state) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateIm(BSTR text, BSTR mimeType, IAccIm** im) = 0;
    // Raises 601 when handed to the network and 602 with the server's result.
    // ACC_E_NOT_CONNECTED while signed off.
    virtual HRESULT STDMETHODCALLTYPE SendIm(IAccIm* im) = 0;
    virtual HRESULT STDMETHODCALLTYPE UpgradeToDirect(VARIANT_BOOL realTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE Invite(BSTR screenName, BSTR message, long* requestId) = 0;
    virtual HRESULT STDMETHODCALLTYPE Accept() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reject(long reason) = 0;
    // State 0 (event 501); the session object is forgotten by the account.
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
    virtual HRESULT STDMETHODCALLTYPE CancelSendingItems() = 0;
    virtual HRESULT STDMETHODCALLTYPE CancelReceivingItems() = 0;
};

// A message or other content (AccImProp).
struct IAccIm : public IAccObject {
    // "text/html", "application/xhtml+xml", "text/plain" or "text/x-aolrtf".
    virtual HRESULT STDMETHODCALLTYPE GetConvertedText(BSTR mimeType, BSTR* text) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetText(BSTR text, BSTR mimeType) = 0;
    virtual HRESULT STDMETHODCALLTYPE AttachStream(BSTR name, IAccStream* stream) = 0;
};

// An expression item (icon, status text, sound, wallpaper, smiley set) or a
// smiley of a set (AccBartProp).
struct IAccBartItem : public IAccObject {
    virtual HRESULT STDMETHODCALLTYPE Load() = 0;
    // The smileys of a set.
    virtual HRESULT STDMETHODCALLTYPE get_ChildCount(long* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetChild(long index, IAccBartItem** child) = 0;
};

// Bytes of a file or of a direct-IM item.
struct IAccStream : public IAccObject {
    virtual HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) = 0;
    virtual HRESULT STDMETHODCALLTYPE Write(const void* buffer, ULONG size, ULONG* written) = 0;
    // origin: STREAM_SEEK_SET, _CUR or _END.
    virtual HRESULT STDMETHODCALLTYPE Seek(LONGLONG offset, DWORD origin, ULONGLONG* position) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Size(ULONGLONG* size) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Position(ULONGLONG* position) = 0;
    // Where a transfer started (a resumed transfer starts past 0).
    virtual HRESULT STDMETHODCALLTYPE get_StartPosition(ULONGLONG* position) = 0;
};

// Later stage: file transfer (AccFileXferProp) and its files.
struct IAccFileXfer : public IAccObject {
    virtual HRESULT STDMETHODCALLTYPE Accept() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reject(long reason) = 0;
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
    // 0 = save under newPath; 1..4 the other answers of the collision question.
    virtual HRESULT STDMETHODCALLTYPE AnswerCollision(long code, BSTR newPath) = 0;
};

struct IAccFile : public IAccObject {};

// Later stage: browsing a buddy's shared files.
struct IAccFileShare : public IAccObject {
    virtual HRESULT STDMETHODCALLTYPE get_EntryCount(long* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEntry(long index, IAccFileShareEntry** entry) = 0;
    virtual HRESULT STDMETHODCALLTYPE Download(IAccFileShareEntry* entry, BSTR localPath, long* requestId) = 0;
    virtual HRESULT STDMETHODCALLTYPE Accept() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reject(long reason) = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
};

struct IAccFileShareEntry : public IAccObject {
    virtual HRESULT STDMETHODCALLTYPE get_EntryCount(long* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEntry(long index, IAccFileShareEntry** entry) = 0;
};

// New-mail notices (AccMailProp); never raised here.
struct IAccMail : public IAccObject {};

// Messages stored by the server while the account was offline. Retrieving
// answers with event 1101 carrying the request id.
struct IAccImStorage : public IAccObject {
    virtual HRESULT STDMETHODCALLTYPE RetrieveStored(VARIANT options, long* requestId) = 0;
};

// Implemented by the client's file-share window: may this requester see the item?
struct IAccAccessControlHook : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CheckAccess(IAccSession* account, BSTR requester, VARIANT item,
                                                  VARIANT_BOOL* allowed) = 0;
};

// The events dispinterface: no methods beyond IDispatch (see AccEvent).
struct DAccEvents : public IDispatch {};

// ---------------------------------------------------------------------------
// Exports of acccore.dll, by ordinal. The client binds them with
// GetProcAddress(module, MAKEINTRESOURCEA(ordinal)) (AccHelpers.h does).
// All are WINAPI; strings are BSTRs.
// ---------------------------------------------------------------------------
namespace AccOrdinal {
enum : WORD {
    CreateObject = 111,      // HRESULT (REFCLSID, REFIID, void**): CLSID_AccSession only
    VariantChangeType = 130, // HRESULT (VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE): VariantChangeType
    StringAlloc = 140,       // HRESULT (const OLECHAR* text, BSTR* out): a new string; null text gives ""
    StringReAlloc = 141,     // HRESULT (BSTR* str, const OLECHAR* text): replaces *str, freeing the old one
    StringFree = 142,        // void (BSTR): null is fine
    StringLen = 143,         // UINT (BSTR): characters; 0 for null
    StringCompare = 144,     // int (BSTR str, const OLECHAR* text): 0 when equal ignoring case and spaces
                             //   (screen-name comparison); otherwise <0 / >0 by that normalised order;
                             //   null and "" are both the empty string
    VariantClear = 151,      // HRESULT (VARIANT*): VariantClear
    VariantCopy = 152,       // HRESULT (VARIANT* dest, const VARIANT* src): VariantCopy (dest is cleared first)
    StringAllocLen = 160,    // HRESULT (const OLECHAR* text, UINT length, BSTR* out): SysAllocStringLen
    StringFree2 = 161,       // void (BSTR): the same as 142
    VariantToString = 163,   // HRESULT (const VARIANT* value, BSTR* out): the value as text, booleans as
                             //   "-1"/"0" (the form preferences are stored in)
    VariantInit = 167,       // void (VARIANT*): VT_EMPTY
    VariantFromString = 168, // HRESULT (VARIANT* dest, const OLECHAR* text): clears dest, then VT_BSTR copy
    StringNormalize = 169,   // HRESULT (const OLECHAR* screenName, BSTR* out): lower case, spaces removed
};
}

using PfnAccCreateObject = HRESULT(WINAPI*)(REFCLSID clsid, REFIID iid, void** object);
using PfnAccVariantChangeType = HRESULT(WINAPI*)(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE type);
using PfnAccStringAlloc = HRESULT(WINAPI*)(const OLECHAR* text, BSTR* out);
using PfnAccStringReAlloc = HRESULT(WINAPI*)(BSTR* str, const OLECHAR* text);
using PfnAccStringFree = void(WINAPI*)(BSTR str);
using PfnAccStringLen = UINT(WINAPI*)(BSTR str);
using PfnAccStringCompare = int(WINAPI*)(BSTR str, const OLECHAR* text);
using PfnAccVariantClear = HRESULT(WINAPI*)(VARIANT* value);
using PfnAccVariantCopy = HRESULT(WINAPI*)(VARIANT* dest, const VARIANT* src);
using PfnAccStringAllocLen = HRESULT(WINAPI*)(const OLECHAR* text, UINT length, BSTR* out);
using PfnAccVariantToString = HRESULT(WINAPI*)(const VARIANT* value, BSTR* out);
using PfnAccVariantInit = void(WINAPI*)(VARIANT* value);
using PfnAccVariantFromString = HRESULT(WINAPI*)(VARIANT* dest, const OLECHAR* text);
using PfnAccStringNormalize = HRESULT(WINAPI*)(const OLECHAR* screenName, BSTR* out);

} // namespace AIMCC
