// The player's window and its side of the message protocol
// (player_protocol.h): a WM_COPYDATA hands over a path to play, the status
// query asks whether the player is idle and a posted WM_DESTROY ends it.
#ifndef KESTROLA_PLAYER_WINDOW_H
#define KESTROLA_PLAYER_WINDOW_H

#include <windows.h>

#include "sound.h"
#include "sound_device.h"

static const int PLAYER_PATH_SIZE = 256;  // 255 characters and the NUL

struct PlayerState {
    HWND mainWindow;
    CSoundDevice *soundDevice;  // owned, lives as long as the process
    CSound *currentSound;       // owned; the sound of the last accepted path
    char currentPath[PLAYER_PATH_SIZE];
};

extern PlayerState playerState;

ATOM RegisterPlayerClass(HINSTANCE instance);
HWND CreatePlayerWindow(HINSTANCE instance);
LRESULT CALLBACK PlayerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Copies the path a WM_COPYDATA carries into path (pathSize bytes, always
// terminated), reading no byte beyond cbData. No data is an empty path.
// Returns false when the path did not fit.
bool CopyReceivedPath(const COPYDATASTRUCT *data, char *path, size_t pathSize);

// The answer to a status query: idle, or playing while the current sound plays.
LRESULT PlayerStatus();

#endif
