// The simulator's main window, class "FS98MAIN" (Prepar3D's as FSX's). Its
// procedure is the simulator's own: whatever the add-on's hook passes on ends
// here.
#ifndef DROVANA_SIM_SIM_WINDOW_H
#define DROVANA_SIM_SIM_WINDOW_H

#include <windows.h>

class GroundModel;

// title: the simulator's own (simulator_kind.h).
HWND CreateSimulatorWindow(HINSTANCE instance, GroundModel *model, const char *title);

#endif
