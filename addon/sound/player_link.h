// Starting the player, finding its window, and ending the player with the
// simulator.
#ifndef DROVANA_ADDON_SOUND_PLAYER_LINK_H
#define DROVANA_ADDON_SOUND_PLAYER_LINK_H

#include <windows.h>

// The player's window as found now by its class and title, or null when
// there is none.
HWND FindPlayerWindow();

// The window known while it still exists; otherwise FindPlayerWindow's.
HWND CurrentPlayerWindow(HWND known);

// Starts the player beside the simulator, hidden, and keeps its process id.
void StartPlayer();

// Tells the player to end: called as the simulator's main window goes.
void EndPlayer();

// Tells the player DLLStart started to end; a player of another simulator,
// or none started, is left alone.
void EndStartedPlayer();

#endif
