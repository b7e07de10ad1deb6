// CScreenDock: the base of the main window that will dock it to a screen
// edge as an application bar. Docking itself is not built yet; the main
// window already asks it whether it is docked.
#pragma once

#include "SubclsWnd.h"

class CScreenDock : public CSubclsWnd {
public:
    bool IsDocked() const { return docked_; }

protected:
    bool docked_ = false;
};
