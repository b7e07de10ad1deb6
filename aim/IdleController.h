// Appearing idle on purpose (a status menu choice): the AIM layer's clock is
// made to run ahead, so it reports the account idle, and the primary
// account's idle properties are set to match.
#pragma once

class CIdleController {
public:
    // Hooks the layer's tick count in the modules already loaded.
    CIdleController();

    // On: "Status"/"IdleTime" minutes ahead. Without a signed-on primary
    // account nothing changes.
    void SetAppearIdle(bool on);
    bool AppearingIdle() const { return mode_; }

private:
    bool mode_ = false;
};

CIdleController& IdleController();

// The idle minutes a stored "IdleTime" stands for: within what the settings
// window offers, whatever the file says.
int IdleMinutesSetting();
