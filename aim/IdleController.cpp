#include "IdleController.h"

#include "AIMConnection.h"
#include "APIHooks.h"
#include "AppState.h"

#include <algorithm>

namespace {

// What the settings window lets the user choose.
constexpr int kMaxIdleMinutes = 90;
// The threshold the layer goes back to: ten minutes without input.
constexpr long kNormalIdleThreshold = 600;

CAIMConnection* SignedOnPrimary()
{
    auto& connections = Connections();
    if (connections.empty() || !connections.front())
        return nullptr;
    CAIMConnection* primary = connections.front().Get();
    return primary->State() == AIMCC::AccState::Online ? primary : nullptr;
}

void PutNumber(AIMCC::IAccSession* session, long property, long number)
{
    VARIANT value;
    value.vt = VT_I4;
    value.lVal = number;
    session->put_Property(property, value);
}

} // namespace

int IdleMinutesSetting()
{
    return std::clamp(Settings().GetInt(L"Status", L"IdleTime", 0), 0, kMaxIdleMinutes);
}

CIdleController::CIdleController()
{
    Kernel32Hook().Install(GetModuleHandleW(L"acccore.dll"));
    Kernel32QPCHook().Install(GetModuleHandleW(L"xprt6.dll"));
}

void CIdleController::SetAppearIdle(bool on)
{
    CAIMConnection* primary = SignedOnPrimary();
    if (!primary || !primary->Session())
        return;
    AIMCC::IAccSession* session = primary->Session();
    if (on && !mode_) {
        const int minutes = IdleMinutesSetting();
        ArmCounterReset(true);
        SetIdleOffset(static_cast<DWORD>(minutes) * 60000);
        PutNumber(session, AIMCC::AccSessionProp::IdleTime, minutes * 60L);
        PutNumber(session, AIMCC::AccSessionProp::IdleThreshold, 0);
    } else if (!on && mode_) {
        SetIdleOffset(0);
        ArmCounterReset(false);
        PutNumber(session, AIMCC::AccSessionProp::IdleTime, 0);
        PutNumber(session, AIMCC::AccSessionProp::IdleThreshold, kNormalIdleThreshold);
    }
    mode_ = on;
}

CIdleController& IdleController()
{
    static CIdleController controller;
    return controller;
}
