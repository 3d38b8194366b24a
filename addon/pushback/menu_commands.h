// What the "Drovana..." menu's picks and the SimStart event do.
#ifndef DROVANA_ADDON_PUSHBACK_MENU_COMMANDS_H
#define DROVANA_ADDON_PUSHBACK_MENU_COMMANDS_H

#include "SimConnect.h"

void OnSimEvent(const SIMCONNECT_RECV_EVENT *event);

// The simulator is going away: a running sequence or measurement ends, its
// pushback is stopped and its timer stops, as STOP would do it.
void OnSimulatorQuit();

// A new flight or aircraft: with no run or measurement going, the pilot's
// pushback is the one the simulator reports now, if any.
void TakeSimulatorStateAsFound();

// The module stops: timers killed, every run and measurement over, and the
// pushback they drive stopped if its key can be sent now.
void EndRunsForUnload();

// Prepares a run after a command has set pushMode and runKind.
void StartPushback();

#endif
