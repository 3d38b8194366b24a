// Synthesised keystrokes into the simulator's main window: the simulator's own
// pushback commands (Shift+P toggles, 1 and 2 turn the tail). Every event goes
// through the input queue, so it comes back through SimWindowHook first.
#ifndef DROVANA_ADDON_PUSHBACK_KEY_INJECTION_H
#define DROVANA_ADDON_PUSHBACK_KEY_INJECTION_H

#include <windows.h>

// Brings simWindow to the front, presses the key and, unless pressOnly is
// non-zero, releases it.
void SendKey(WORD key, int pressOnly);

// Shift+P: the simulator starts or stops its pushback.
void TogglePushback();

// Shift+P twice: the running pushback stops and starts again, straight.
void RestartPushback();

// Restarts the pushback, sets pushMode from turnKey and sends the turn key.
void StartTurn();

#endif
