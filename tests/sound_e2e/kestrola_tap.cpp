// Sits between the add-on and the real player in a stand-in run: it starts
// KestrolaReal.exe beside itself, answers the add-on under the player's class
// and title, passes every request on to the real player, and writes each one,
// with the real player's answer, into kestrola-tap.jsonl in its current
// folder. The add-on cannot tell it from the player; the test learns which
// files were handed over, in which order, and when.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "../../player/player_protocol.h"

namespace {

HWND RealPlayer = nullptr;
FILE *Log = nullptr;

double Seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void WriteJsonText(const char *text, size_t length) {
    fputc('"', Log);
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\')
            fprintf(Log, "\\%c", c);
        else if (c < 0x20 || c > 0x7E)
            fprintf(Log, "\\u%04x", c);
        else
            fputc(c, Log);
    }
    fputc('"', Log);
}

LRESULT CALLBACK TapProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kPlayerStatusQuery: {
        const LRESULT answer = SendMessageA(RealPlayer, kPlayerStatusQuery, 0, 0);
        fprintf(Log, "{\"ev\": \"query\", \"t\": %.3f, \"answer\": %ld}\n", Seconds(), static_cast<long>(answer));
        fflush(Log);
        return answer;
    }
    case WM_COPYDATA: {
        const COPYDATASTRUCT *request = reinterpret_cast<const COPYDATASTRUCT *>(lParam);
        const char *path = static_cast<const char *>(request->lpData);
        const size_t length = path ? strnlen(path, request->cbData) : 0;
        const double before = Seconds();
        SendMessageA(RealPlayer, WM_COPYDATA, wParam, lParam);
        fprintf(Log, "{\"ev\": \"file\", \"t\": %.3f, \"loaded_t\": %.3f, \"cbData\": %lu, \"dwData\": %lu, \"path\": ",
                before, Seconds(), static_cast<unsigned long>(request->cbData),
                static_cast<unsigned long>(request->dwData));
        WriteJsonText(path ? path : "", length);
        fputs("}\n", Log);
        fflush(Log);
        return 0;
    }
    case WM_DESTROY:
        PostMessageA(RealPlayer, WM_DESTROY, 0, 0);
        fprintf(Log, "{\"ev\": \"destroy\", \"t\": %.3f}\n", Seconds());
        fflush(Log);
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

// The player's window that is not this program's own.
BOOL CALLBACK FindRealPlayer(HWND window, LPARAM) {
    char name[64];
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() || !GetClassNameA(window, name, sizeof name) ||
        strcmp(name, kPlayerWindowClass) != 0 || !GetWindowTextA(window, name, sizeof name) ||
        strcmp(name, kPlayerWindowTitle) != 0)
        return TRUE;
    RealPlayer = window;
    return FALSE;
}

bool StartRealPlayer() {
    char commandLine[] = "KestrolaReal.exe";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int i = 0; i < 500 && RealPlayer == nullptr; ++i) {
        EnumWindows(FindRealPlayer, 0);
        if (RealPlayer == nullptr) Sleep(10);
    }
    return RealPlayer != nullptr;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    Log = fopen("kestrola-tap.jsonl", "a");
    if (Log == nullptr) return 1;

    // The tap's window exists before the real player's: on a loaded machine
    // the add-on may look for the player before the real one has finished
    // starting, and must never find the real one alone.
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = TapProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kPlayerWindowClass;
    if (!RegisterClassA(&windowClass)) return 1;
    HWND tap = CreateWindowExA(0, kPlayerWindowClass, kPlayerWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                               CW_USEDEFAULT, 300, 100, nullptr, nullptr, instance, nullptr);
    if (tap == nullptr) return 1;

    const bool started = StartRealPlayer();
    fprintf(Log, "{\"ev\": \"start\", \"t\": %.3f, \"real_player\": %s}\n", Seconds(), started ? "true" : "false");
    fflush(Log);
    if (!started) return 1;
    // A look-up by class and title finds the topmost of the two.
    SetWindowPos(tap, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    fprintf(Log, "{\"ev\": \"window\", \"t\": %.3f, \"found_first\": %s}\n", Seconds(),
            FindWindowExA(nullptr, nullptr, kPlayerWindowClass, kPlayerWindowTitle) == tap ? "true" : "false");
    fflush(Log);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    fclose(Log);
    return 0;
}
