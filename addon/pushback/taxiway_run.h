// "Taxiway Right" and "Taxiway Left": ask the airport's map, plan the push
// onto a taxi line, and hand the plan to the sequencer as an automatic run
// whose push, turn and roll-out are steered on a timer of its own.
#ifndef DROVANA_ADDON_PUSHBACK_TAXIWAY_RUN_H
#define DROVANA_ADDON_PUSHBACK_TAXIWAY_RUN_H

#include <windows.h>

// Fine enough that a push at 3 m/s and a turn at 3 deg/s end within a
// fraction of a metre and of a degree of the plan.
static const UINT TAXIWAY_PERIOD_MS = 50;
// The map link answers every question within its own waits (a stuck map
// program is given up and a new one started); past this, no worker is left
// to answer (the add-on is being stopped) and the pick is refused as unread.
static const int TAXIWAY_ANSWER_TICKS = 20000 / TAXIWAY_PERIOD_MS;

// A menu pick, while no run and no measurement goes on; side is a TaxiwaySide.
void PickTaxiway(int side);

// The sequencer ends a run: a taxiway run's timer goes with it.
void EndTaxiwayRun();

// STOP and the simulator's QUIT: a pick still waiting for the map's answer
// is dropped, so no run starts after them.
void CancelTaxiwayPick();

// DLLStop: a question waiting for its answer and a run's timer end now.
void EndTaxiwayForUnload();

// Thread-timer procedure; its arguments are not used.
void CALLBACK TaxiwayTimerProc(HWND window, UINT message, UINT_PTR timer, DWORD time);

#endif
