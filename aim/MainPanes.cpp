#include "MainPanes.h"

namespace {

IMainPanes* g_mainPanes = nullptr;

} // namespace

void SetMainPanes(IMainPanes* panes)
{
    g_mainPanes = panes;
}

IMainPanes* MainPanes()
{
    return g_mainPanes;
}
