// BUCP, the MD5 login on the login connection:
//   client: SIGNON frame (version 1, no TLVs), then 17,06 with its name;
//   server: 17,07 with a key;
//   client: 17,02 with MD5(key + MD5(password) + constant) and its identity;
//   server: 17,03 with the BOS address and a cookie, or an error code.
// The client then connects to BOS and presents the cookie (Flap.h, SignonFrame).
#pragma once

#include "Md5.h"
#include "Snac.h"

#include <string>
#include <string_view>

namespace oscar::bucp {

constexpr SnacId kError{foodgroup::kBucp, 0x0001};
constexpr SnacId kLoginRequest{foodgroup::kBucp, 0x0002};
constexpr SnacId kLoginResponse{foodgroup::kBucp, 0x0003};
constexpr SnacId kChallengeRequest{foodgroup::kBucp, 0x0006};
constexpr SnacId kChallengeResponse{foodgroup::kBucp, 0x0007};

constexpr uint16_t kDefaultPort = 5190;

namespace tag {
constexpr uint16_t kScreenName = 0x0001;
constexpr uint16_t kClientName = 0x0003;
constexpr uint16_t kErrorUrl = 0x0004;
constexpr uint16_t kBosAddress = 0x0005;
constexpr uint16_t kCookie = 0x0006;
constexpr uint16_t kErrorCode = 0x0008;
constexpr uint16_t kCountry = 0x000E;
constexpr uint16_t kLanguage = 0x000F;
constexpr uint16_t kDistribution = 0x0014;
constexpr uint16_t kClientId = 0x0016;
constexpr uint16_t kMajorVersion = 0x0017;
constexpr uint16_t kMinorVersion = 0x0018;
constexpr uint16_t kPointVersion = 0x0019;
constexpr uint16_t kBuildNumber = 0x001A;
constexpr uint16_t kPasswordHash = 0x0025;
constexpr uint16_t kMultiConn = 0x004A;
constexpr uint16_t kSslState = 0x008E;
} // namespace tag

// TLV 0x0008 of a failed login (and of a BOS-stage signoff).
namespace loginerror {
constexpr uint16_t kInvalidNameOrPassword = 0x0001;   // also: unknown screen name
constexpr uint16_t kServiceUnavailable = 0x0002;
constexpr uint16_t kOtherError = 0x0003;
constexpr uint16_t kIncorrectNameOrPassword = 0x0004;
constexpr uint16_t kWrongPassword = 0x0005;
constexpr uint16_t kBadInput = 0x0006;
constexpr uint16_t kInvalidAccount = 0x0007;
constexpr uint16_t kDeletedAccount = 0x0008;
constexpr uint16_t kExpiredAccount = 0x0009;
constexpr uint16_t kServiceOffline = 0x0010;
constexpr uint16_t kSuspendedAccount = 0x0011;
constexpr uint16_t kTooManyFromIp = 0x0016;
constexpr uint16_t kReservationRateLimit = 0x0018;
constexpr uint16_t kTooHeavilyWarned = 0x0019;
constexpr uint16_t kUpgradeRequired = 0x001B;
constexpr uint16_t kRateLimitExceeded = 0x001D;        // also: too many sessions
} // namespace loginerror

// TLV 0x004A: how the client copes with more than one session of the account.
namespace multiconn {
constexpr uint8_t kOldClient = 0x00;
constexpr uint8_t kMultiple = 0x01;
constexpr uint8_t kSingle = 0x03;
} // namespace multiconn

// MD5(key + MD5(password) + "AOL Instant Messenger (SM)"), what a client sends.
Md5Digest StrongPasswordHash(std::string_view key, std::string_view password);
// MD5(key + password + constant), what older clients send; servers accept both.
Md5Digest WeakPasswordHash(std::string_view key, std::string_view password);

struct ChallengeRequest {
    static constexpr SnacId kId = kChallengeRequest;
    std::string screenName;
};

struct ChallengeResponse {
    static constexpr SnacId kId = kChallengeResponse;
    std::string key;                     // opaque bytes
};

struct LoginRequest {
    static constexpr SnacId kId = kLoginRequest;
    std::string screenName;
    Md5Digest passwordHash{};
    std::string clientName;              // "name, version"; left out when empty
    uint16_t clientId = 0;
    uint16_t majorVersion = 0;
    uint16_t minorVersion = 0;
    uint16_t pointVersion = 0;
    uint16_t buildNumber = 0;
    uint32_t distribution = 0;
    std::string language = "en";
    std::string country = "us";
    uint8_t multiConn = multiconn::kSingle;
};

struct LoginResponse {
    static constexpr SnacId kId = kLoginResponse;
    std::string screenName;              // as the server formats it
    std::string bosAddress;              // "host" or "host:port"
    Bytes cookie;
    uint16_t errorCode = 0;              // loginerror::..., 0 on success
    std::string errorUrl;

    bool Succeeded() const { return errorCode == 0 && !bosAddress.empty() && !cookie.empty(); }
};

Bytes Encode(const ChallengeRequest& m);
bool Decode(const Bytes& body, ChallengeRequest& m);      // needs a non-empty TLV 0x0001
Bytes Encode(const ChallengeResponse& m);
bool Decode(const Bytes& body, ChallengeResponse& m);
Bytes Encode(const LoginRequest& m);
bool Decode(const Bytes& body, LoginRequest& m);          // needs the name and a 16-byte hash
// Success writes name, address, cookie and SSL state 0; failure writes the
// name (when known), the error code and the URL (when set).
Bytes Encode(const LoginResponse& m);
// Needs either an error code or both address and cookie.
bool Decode(const Bytes& body, LoginResponse& m);

// Splits "host:port"; a missing port gives the default. False on an empty
// host or a port that is not a number in 1..65535.
bool SplitHostPort(std::string_view address, std::string& host, uint16_t& port);

} // namespace oscar::bucp
