// KestrolaSend: plays one file through Kestrola the way the add-on does.
// Starts the player hidden, finds its window by class and title, hands it the
// path by WM_COPYDATA, polls WM_APP until it is idle again and ends it with a
// posted WM_DESTROY. Prints one line per step for tools/play.py.
//   KestrolaSend.exe PLAYER_EXE FILE [TIMEOUT_SECONDS]
// Exit code: 0 played, 3 nothing played, 4 not a format this machine can
// decode, 2 a wrong command line, 1 anything else.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "player_launch.h"
#include "player_protocol.h"

namespace {

LRESULT QueryStatus(HWND window) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(window, kPlayerStatusQuery, 0, 0, SMTO_NORMAL, 10000, &answer)) return -1;
    return static_cast<LRESULT>(answer);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: KestrolaSend.exe PLAYER_EXE FILE [TIMEOUT_SECONDS]\n");
        return 2;
    }
    const char *player = argv[1];
    const char *path = argv[2];
    DWORD timeoutMs = argc > 3 ? static_cast<DWORD>(atoi(argv[3])) * 1000 : 60000;
    if (strlen(path) > 255) {
        printf("path longer than 255 characters: the add-on never sends one\n");
        return 2;
    }

    char commandLine[MAX_PATH + 3];
    snprintf(commandLine, sizeof(commandLine), "\"%s\"", player);
    PROCESS_INFORMATION process;
    if (!StartPlayerHidden(commandLine, &process)) {
        printf("could not start %s (error %lu)\n", player, GetLastError());
        return 1;
    }
    CloseHandle(process.hThread);

    int result = 0;
    HWND window = FindPlayerWindowOf(process.dwProcessId, 10000);
    if (window == nullptr) {
        printf("player window not found\n");
        TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hProcess);
        return 1;
    }
    printf("player started, window found\n");
    printf("status before: %s\n", QueryStatus(window) == kPlayerIdle ? "idle" : "busy");

    COPYDATASTRUCT data = {};
    data.dwData = 0;
    data.cbData = static_cast<DWORD>(strlen(path) + 1);
    data.lpData = const_cast<char *>(path);
    DWORD sent = GetTickCount();
    const LRESULT answer = SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    printf("file handed over in %lu ms\n", GetTickCount() - sent);
    const bool undecodable = answer == kHandOverUndecodable;

    bool wasPlaying = false;
    LRESULT status = QueryStatus(window);
    while (status == kPlayerPlaying && GetTickCount() - sent < timeoutMs) {
        wasPlaying = true;
        Sleep(20);
        status = QueryStatus(window);
    }
    if (status == kPlayerIdle && undecodable) {
        printf("not a format this machine can decode\n");
        result = 4;
    } else if (status == kPlayerIdle) {
        printf(wasPlaying ? "played, now idle after %lu ms\n" : "nothing played (idle at once after %lu ms)\n",
               GetTickCount() - sent);
        if (!wasPlaying) result = 3;
    } else {
        printf("still busy after %lu s\n", timeoutMs / 1000);
        result = 1;
    }

    PostMessageA(window, WM_DESTROY, 0, 0);
    DWORD exitCode = 1;
    if (WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &exitCode);
        printf("player ended with exit code %lu\n", exitCode);
    } else {
        printf("player did not end; terminated\n");
        TerminateProcess(process.hProcess, 1);
        result = 1;
    }
    CloseHandle(process.hProcess);
    return result;
}
