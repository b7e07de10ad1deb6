#include "Bucp.h"

#include <algorithm>

namespace oscar::bucp {

namespace {

// Part of the login hash on both sides; fixed by the protocol.
const char kHashConstant[] = "AOL Instant Messenger (SM)";

std::optional<uint16_t> NumberFromString(std::string_view text)
{
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    uint32_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + uint32_t(c - '0');
    }
    if (v == 0 || v > 0xFFFF)
        return std::nullopt;
    return static_cast<uint16_t>(v);
}

} // namespace

Md5Digest StrongPasswordHash(std::string_view key, std::string_view password)
{
    Md5Digest inner = Md5::Of(password);
    Md5 md5;
    md5.Update(key);
    md5.Update(inner.data(), inner.size());
    md5.Update(kHashConstant);
    return md5.Final();
}

Md5Digest WeakPasswordHash(std::string_view key, std::string_view password)
{
    Md5 md5;
    md5.Update(key);
    md5.Update(password);
    md5.Update(kHashConstant);
    return md5.Final();
}

Bytes Encode(const ChallengeRequest& m)
{
    ByteWriter w;
    TlvList tlvs;
    tlvs.AddString(tag::kScreenName, m.screenName);
    WriteTlvRest(w, tlvs);
    return w.Take();
}

bool Decode(const Bytes& body, ChallengeRequest& m)
{
    ByteReader r(body);
    TlvList tlvs = ReadTlvRest(r);
    auto name = tlvs.String(tag::kScreenName);
    if (!r.Ok() || !name || name->empty())
        return false;
    m.screenName = *name;
    return true;
}

Bytes Encode(const ChallengeResponse& m)
{
    ByteWriter w;
    w.String16(m.key);
    return w.Take();
}

bool Decode(const Bytes& body, ChallengeResponse& m)
{
    ByteReader r(body);
    m.key = r.String16();
    return r.Ok();
}

Bytes Encode(const LoginRequest& m)
{
    TlvList tlvs;
    tlvs.AddString(tag::kScreenName, m.screenName);
    if (!m.clientName.empty())
        tlvs.AddString(tag::kClientName, m.clientName);
    tlvs.Add(tag::kPasswordHash, Bytes(m.passwordHash.begin(), m.passwordHash.end()));
    tlvs.AddU16(tag::kClientId, m.clientId);
    tlvs.AddU16(tag::kMajorVersion, m.majorVersion);
    tlvs.AddU16(tag::kMinorVersion, m.minorVersion);
    tlvs.AddU16(tag::kPointVersion, m.pointVersion);
    tlvs.AddU16(tag::kBuildNumber, m.buildNumber);
    tlvs.AddU32(tag::kDistribution, m.distribution);
    tlvs.AddString(tag::kLanguage, m.language);
    tlvs.AddString(tag::kCountry, m.country);
    tlvs.AddU8(tag::kMultiConn, m.multiConn);
    ByteWriter w;
    WriteTlvRest(w, tlvs);
    return w.Take();
}

bool Decode(const Bytes& body, LoginRequest& m)
{
    ByteReader r(body);
    TlvList tlvs = ReadTlvRest(r);
    auto name = tlvs.String(tag::kScreenName);
    const Tlv* hash = tlvs.Find(tag::kPasswordHash);
    if (!r.Ok() || !name || name->empty() || !hash || hash->value.size() != m.passwordHash.size())
        return false;
    m = LoginRequest{};
    m.screenName = *name;
    std::copy(hash->value.begin(), hash->value.end(), m.passwordHash.begin());
    m.clientName = tlvs.String(tag::kClientName).value_or("");
    m.clientId = tlvs.U16(tag::kClientId).value_or(0);
    m.majorVersion = tlvs.U16(tag::kMajorVersion).value_or(0);
    m.minorVersion = tlvs.U16(tag::kMinorVersion).value_or(0);
    m.pointVersion = tlvs.U16(tag::kPointVersion).value_or(0);
    m.buildNumber = tlvs.U16(tag::kBuildNumber).value_or(0);
    m.distribution = tlvs.U32(tag::kDistribution).value_or(0);
    m.language = tlvs.String(tag::kLanguage).value_or("");
    m.country = tlvs.String(tag::kCountry).value_or("");
    // Without the TLV the client is an old one that knows nothing of sessions.
    m.multiConn = tlvs.U8(tag::kMultiConn).value_or(multiconn::kOldClient);
    return true;
}

Bytes Encode(const LoginResponse& m)
{
    TlvList tlvs;
    if (m.errorCode == 0) {
        tlvs.AddString(tag::kScreenName, m.screenName);
        tlvs.AddString(tag::kBosAddress, m.bosAddress);
        tlvs.Add(tag::kCookie, m.cookie);
        tlvs.AddU8(tag::kSslState, 0);
    } else {
        if (!m.screenName.empty())
            tlvs.AddString(tag::kScreenName, m.screenName);
        tlvs.AddU16(tag::kErrorCode, m.errorCode);
        if (!m.errorUrl.empty())
            tlvs.AddString(tag::kErrorUrl, m.errorUrl);
    }
    ByteWriter w;
    WriteTlvRest(w, tlvs);
    return w.Take();
}

bool Decode(const Bytes& body, LoginResponse& m)
{
    ByteReader r(body);
    TlvList tlvs = ReadTlvRest(r);
    if (!r.Ok())
        return false;
    m = LoginResponse{};
    m.screenName = tlvs.String(tag::kScreenName).value_or("");
    m.errorUrl = tlvs.String(tag::kErrorUrl).value_or("");
    if (tlvs.Has(tag::kErrorCode)) {
        auto code = tlvs.U8OrU16(tag::kErrorCode);
        // An error TLV of the wrong size is still an error, just an unknown one.
        m.errorCode = code && *code ? *code : loginerror::kOtherError;
        return true;
    }
    auto address = tlvs.String(tag::kBosAddress);
    const Tlv* cookie = tlvs.Find(tag::kCookie);
    if (!address || address->empty() || !cookie || cookie->value.empty())
        return false;
    m.bosAddress = *address;
    m.cookie = cookie->value;
    return true;
}

bool SplitHostPort(std::string_view address, std::string& host, uint16_t& port)
{
    size_t colon = address.rfind(':');
    std::string_view hostPart = address;
    uint16_t portValue = kDefaultPort;
    if (colon != std::string_view::npos) {
        auto parsed = NumberFromString(address.substr(colon + 1));
        if (!parsed)
            return false;
        portValue = *parsed;
        hostPart = address.substr(0, colon);
    }
    if (hostPart.empty())
        return false;
    host.assign(hostPart);
    port = portValue;
    return true;
}

} // namespace oscar::bucp
