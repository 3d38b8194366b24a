// Kestrola: the hidden sound player the add-on starts. One thread, one
// window; everything it does happens in the window procedure.
#include <windows.h>

#include "player_window.h"
#include "sound_device.h"

namespace {

// Started by the add-on with SW_HIDE in its start-up record, the window stays
// hidden; started by hand it shows.
int StartupShowState() {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (!RegisterPlayerClass(instance)) {
        MessageBoxA(nullptr, "Call to RegisterClassEx failed!", "WIN32Guided Tour", MB_OK);
        return 1;
    }
    playerState.mainWindow = CreatePlayerWindow(instance);
    if (playerState.mainWindow == nullptr) {
        MessageBoxA(nullptr, "Call to CreateWindow failed!", "WIN32 Guided Tour", MB_OK);
        return 1;
    }

    // Without a sound device the player still runs: every load then fails
    // and every status query answers idle.
    static CSoundDevice soundDevice;
    soundDevice.OpenDevice(playerState.mainWindow);
    playerState.soundDevice = &soundDevice;

    ShowWindow(playerState.mainWindow, StartupShowState());
    UpdateWindow(playerState.mainWindow);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }

    delete playerState.currentSound;
    playerState.currentSound = nullptr;
    return static_cast<int>(message.wParam);
}
