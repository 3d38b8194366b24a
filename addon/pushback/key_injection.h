// Synthesised keystrokes into the simulator's main window: the simulator's own
// pushback commands (Shift+P toggles, 1 and 2 turn the tail). Every event goes
// through the input queue, so it comes back through SimWindowHook first.
//
// Keys go only to the simulator: when its window cannot be brought to the
// front (the pilot works in another program), nothing is sent and the
// operation answers false, so that the caller can try again later.
#ifndef DROVANA_ADDON_PUSHBACK_KEY_INJECTION_H
#define DROVANA_ADDON_PUSHBACK_KEY_INJECTION_H

#include <windows.h>

// Brings simWindow to the front, presses the key and, unless pressOnly is
// non-zero, releases it.
bool SendKey(WORD key, int pressOnly);

// Shift+P: the simulator starts or stops its pushback.
bool TogglePushback();

// Shift+P twice: the running pushback stops and starts again, straight.
bool RestartPushback();

// Restarts the pushback, sets pushMode from turnKey and sends the turn key.
bool StartTurn();

// A Shift+P only when the simulator reports its pushback off, or only when it
// reports one: true when the pushback is already as asked or the toggle was
// sent; false when the keys could not be sent or the simulator has not yet
// answered the last Shift+P (the caller tries again later).
bool StartSimulatorPushback();
bool StopSimulatorPushback();

// The run or measurement that sent the keys still queued has ended: those
// keys are dropped by the window hook when they arrive. Keys sent afterwards
// (a STOP's own Shift+P) go through.
void RetireQueuedKeys();

// The message being handled is a key the add-on sent for a run or
// measurement that has ended since (extraInfo: GetMessageExtraInfo()).
bool IsRetiredOwnKey(LPARAM extraInfo);

#endif
