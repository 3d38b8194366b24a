// The simulator's main window, class "FS98MAIN". Its procedure is the
// simulator's own: whatever the add-on's hook passes on ends here.
#ifndef DROVANA_SIM_SIM_WINDOW_H
#define DROVANA_SIM_SIM_WINDOW_H

#include <windows.h>

class GroundModel;

HWND CreateSimulatorWindow(HINSTANCE instance, GroundModel *model);

#endif
