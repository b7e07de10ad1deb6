#include "OscarResults.h"

#include "AccCore.h"

#include "Bucp.h"
#include "Feedbag.h"
#include "Flap.h"
#include "Snac.h"

namespace AIMCC {

HRESULT LoginErrorResult(uint16_t code)
{
    namespace e = oscar::bucp::loginerror;
    switch (code) {
    case e::kInvalidNameOrPassword:
    case e::kIncorrectNameOrPassword:
    case e::kWrongPassword:
        return ACC_E_INVALID_LOGIN;
    case e::kServiceUnavailable:
    case e::kServiceOffline:
        return ACC_E_SERVICE_UNAVAILABLE;
    case e::kSuspendedAccount:
    case 0x0022:                        // suspended because of age
        return ACC_E_ACCOUNT_SUSPENDED;
    case e::kDeletedAccount:
        return ACC_E_ACCOUNT_DELETED;
    case e::kExpiredAccount:
        return ACC_E_ACCOUNT_EXPIRED;
    case e::kInvalidAccount:
        return ACC_E_ACCOUNT_INVALID;
    case e::kTooManyFromIp:
    case 0x0017:
        return ACC_E_TOO_MANY_FROM_ADDRESS;
    case e::kReservationRateLimit:
    case e::kRateLimitExceeded:
        return ACC_E_SIGN_ON_TOO_OFTEN;
    case e::kTooHeavilyWarned:
        return ACC_E_WARNING_LEVEL;
    case e::kUpgradeRequired:
        return ACC_E_UPGRADE_REQUIRED;
    case 0x001C:                        // upgrade recommended
        return ACC_E_UPGRADE_RECOMMENDED;
    case e::kBadInput:
        return ACC_E_CLIENT_REFUSED;
    default:
        return ACC_E_SERVICE_UNAVAILABLE;
    }
}

HRESULT MessageErrorResult(uint16_t code)
{
    namespace e = oscar::snacerror;
    switch (code) {
    case e::kNotLoggedOn:
    case e::kUserUnavailable:
        return ACC_E_RECIPIENT_UNAVAILABLE;
    case e::kRateToHost:
    case e::kRateToClient:
        return ACC_E_RATE_LIMITED;
    case e::kInLocalPermitDeny:
    case e::kRefusedByClient:
        return ACC_E_REFUSED_BY_RECIPIENT;
    case e::kSenderTooEvil:
    case e::kReceiverTooEvil:
        return ACC_E_WARNING_LEVEL;
    case e::kBustedPayload:
        return ACC_E_MESSAGE_TOO_LARGE;
    case e::kServiceUnavailable:
        return ACC_E_SERVICE_UNAVAILABLE;
    default:
        return E_FAIL;
    }
}

HRESULT FeedbagStatusResult(uint16_t code)
{
    namespace s = oscar::feedbag::status;
    switch (code) {
    case s::kSuccess:
        return S_OK;
    case s::kNotFound:
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    case s::kAlreadyExists:
        return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
    case s::kLimitExceeded:
        return ACC_E_NOT_PERMITTED;
    case s::kNeedsAuthorization:
        return E_ACCESSDENIED;
    default:
        return E_INVALIDARG;
    }
}

HRESULT SignoffResult(uint16_t reason)
{
    switch (reason) {
    case oscar::signoff::kReasonSignedOnElsewhere:
        return ACC_E_SIGNED_ON_ELSEWHERE;
    case oscar::signoff::kReasonAccountDeleted:
        return ACC_E_ACCOUNT_DELETED;
    default:
        return ACC_E_CONNECTION_LOST;
    }
}

} // namespace AIMCC
