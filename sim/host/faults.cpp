#include "faults.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "../../player/player_protocol.h"
#include "trace.h"

namespace {

const char kOtherProgramClass[] = "DrovanaSimOtherProgram";
const double kLongestStall = 600.0;  // seconds a pause or a focus loss may last
const size_t kLongLine = 10000;      // characters of the long-line damage
const double kWaitForCue = 20.0;     // seconds `player kill playing` waits for a cue to play

// The window Wine must not activate while another program keeps the front:
// Windows refuses SetForegroundWindow then, and Wine asks the thread's CBT
// hook before it activates a window, so a hook that says no does the same.
HWND refusedWindow = nullptr;
LRESULT CALLBACK RefuseActivation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && reinterpret_cast<HWND>(wParam) == refusedWindow) return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool ParseStall(const std::string &text, double *seconds) {
    char *end = nullptr;
    const double value = strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(value > 0.0) || value > kLongestStall) return false;
    *seconds = value;
    return true;
}

bool WriteWholeFile(const std::string &path, const void *bytes, DWORD size, bool append) {
    HANDLE file = CreateFileA(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = size == 0 || (WriteFile(file, bytes, size, &written, nullptr) && written == size);
    CloseHandle(file);
    return ok;
}

// Bytes that are no INI file: an executable's start and then noise, the same
// noise every time.
std::string Garbage() {
    std::string bytes("MZ\x90\x00\x03\x00\x00\x00", 8);
    unsigned state = 17;
    for (int i = 0; i < 600; ++i) {
        state = state * 1103515245u + 12345u;
        bytes += static_cast<char>((state >> 16) & 0xFF);
    }
    return bytes;
}

bool Writable(const std::string &path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// Wine, run as root, writes through a file's read-only bits; the immutable
// attribute stops root too. chattr is a Linux program, which Wine starts
// like any other.
bool Chattr(const std::string &windowsPath, const char *flag) {
    typedef char *(__cdecl * UnixNameFn)(LPCWSTR);
    UnixNameFn unixName = reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (unixName == nullptr) return false;
    WCHAR wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH) == 0) return false;
    char *name = unixName(wide);
    if (name == nullptr) return false;
    char commandLine[MAX_PATH * 2];
    snprintf(commandLine, sizeof commandLine, "/usr/bin/chattr %s \"%s\"", flag, name);
    HeapFree(GetProcessHeap(), 0, name);

    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    memset(&process, 0, sizeof process);
    if (!CreateProcessA("Z:\\usr\\bin\\chattr", commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    // Wine hands back no handle on a Linux process: the file itself tells
    // when the attribute has changed.
    if (process.hThread != nullptr) CloseHandle(process.hThread);
    if (process.hProcess != nullptr) CloseHandle(process.hProcess);
    const bool wantWritable = flag[0] == '-';
    for (int i = 0; i < 100; ++i) {
        if (Writable(windowsPath) == wantWritable) return true;
        Sleep(50);
    }
    return false;
}

// The player's own answer tells whether a cue is playing.
bool PlayerPlaying(HWND player, UINT waitMs) {
    DWORD_PTR answer = kPlayerIdle;
    const UINT flags = SMTO_ABORTIFHUNG | SMTO_BLOCK;
    if (!SendMessageTimeoutA(player, kPlayerStatusQuery, 0, 0, flags, waitMs, &answer)) return false;
    return answer == static_cast<DWORD_PTR>(kPlayerPlaying);
}

}  // namespace

SessionFaults::SessionFaults(HWND simWindow, const std::string &configPath, HWND (*findPlayer)(),
                             const StandInOddRecords &odd)
    : simWindow_(simWindow), configPath_(configPath), findPlayer_(findPlayer), odd_(odd) {}

SessionFaults::~SessionFaults() { RegainFocus(); }

void SessionFaults::Frame(double now) {
    if (killWhenPlayingUntil_ > 0.0) {
        HWND player = findPlayer_();
        if (player == nullptr || now >= killWhenPlayingUntil_) {
            KillPlayerNow(player, false);
        } else if (PlayerPlaying(player, 200)) {
            KillPlayerNow(player, true);
        }
    }
    if (pausedUntil_ > 0.0 && now >= pausedUntil_) {
        pausedUntil_ = 0.0;
        JsonLine record = Record("fault");
        record.Str("kind", "pause").Str("what", "resumed");
        Emit(record);
    }
    if (focusBackAt_ > 0.0 && now >= focusBackAt_) {
        RegainFocus();
        JsonLine record = Record("fault");
        record.Str("kind", "focus").Str("what", "back").Bool("in_front", GetForegroundWindow() == simWindow_);
        Emit(record);
    }
}

bool SessionFaults::KillPlayer(const std::string &argument) {
    if (argument == "kill playing") {
        killWhenPlayingUntil_ = RunSeconds() + kWaitForCue;
        return true;
    }
    if (argument != "kill") return false;
    HWND player = findPlayer_();
    KillPlayerNow(player, player != nullptr && PlayerPlaying(player, 2000));
    return true;
}

void SessionFaults::KillPlayerNow(HWND player, bool playing) {
    killWhenPlayingUntil_ = 0.0;
    JsonLine record = Record("fault");
    record.Str("kind", "player").Str("what", "kill").Bool("found", player != nullptr);
    if (player != nullptr) {
        record.Bool("playing", playing);
        DWORD processId = 0;
        GetWindowThreadProcessId(player, &processId);
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
        bool killed = false;
        if (process != nullptr) {
            killed = TerminateProcess(process, 9) != 0 && WaitForSingleObject(process, 5000) == WAIT_OBJECT_0;
            CloseHandle(process);
        }
        record.Bool("killed", killed);
    }
    Emit(record);
}

bool SessionFaults::DamageConfig(const std::string &how) {
    bool ok = false;
    if (how == "garbage") {
        const std::string bytes = Garbage();
        ok = WriteWholeFile(configPath_, bytes.data(), static_cast<DWORD>(bytes.size()), false);
    } else if (how == "empty") {
        ok = WriteWholeFile(configPath_, "", 0, false);
    } else if (how == "delete") {
        ok = DeleteFileA(configPath_.c_str()) != 0;
    } else if (how == "unwritable") {
        ok = Chattr(configPath_, "+i");
    } else if (how == "writable") {
        ok = Chattr(configPath_, "-i");
    } else if (how == "longline") {
        // "Head=" and its value make one line of 10,000 characters.
        const std::string value(kLongLine - 5, '9');
        ok = WritePrivateProfileStringA("Data", "Head", value.c_str(), configPath_.c_str()) != 0;
    } else if (how == "nobracket") {
        const char text[] = "\r\n[Parking\r\nCheck3=1\r\n";
        ok = WriteWholeFile(configPath_, text, sizeof text - 1, true);
    } else {
        return false;
    }
    JsonLine record = Record("fault");
    record.Str("kind", "cfgfile").Str("what", how.c_str()).Bool("ok", ok);
    Emit(record);
    return ok;
}

bool SessionFaults::SendOdd(const std::string &argument) {
    char what[16] = "";
    unsigned long value = 0;
    const int n = sscanf(argument.c_str(), "%15s %lu", what, &value);
    const std::string w = what;
    if (w == "exception" && n == 2)
        odd_.sendException(static_cast<DWORD>(value));
    else if (w == "data" && n == 2)
        odd_.sendForeignData(static_cast<DWORD>(value));
    else if (w == "quit" && n == 1)
        odd_.sendQuit();
    else
        return false;
    return true;
}

bool SessionFaults::Pause(const std::string &argument) {
    double seconds = 0.0;
    if (!ParseStall(argument, &seconds)) return false;
    pausedUntil_ = RunSeconds() + seconds;
    JsonLine record = Record("fault");
    record.Str("kind", "pause").Str("what", "paused").Num("seconds", seconds);
    Emit(record);
    return true;
}

bool SessionFaults::LoseFocus(const std::string &argument) {
    std::string rest = argument;
    if (rest.compare(0, 5, "away ") != 0) return false;
    double seconds = 0.0;
    if (!ParseStall(rest.substr(5), &seconds)) return false;
    if (otherProgram_ == nullptr) {
        WNDCLASSA windowClass;
        memset(&windowClass, 0, sizeof windowClass);
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kOtherProgramClass;
        RegisterClassA(&windowClass);  // fails harmlessly the second time
        otherProgram_ = CreateWindowExA(0, kOtherProgramClass, "Another program", WS_OVERLAPPEDWINDOW, 0, 0, 300,
                                        200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        if (otherProgram_ == nullptr) return false;
        ShowWindow(otherProgram_, SW_SHOW);
        SetForegroundWindow(otherProgram_);
        refusedWindow = simWindow_;
        refuseActivation_ = SetWindowsHookExA(WH_CBT, RefuseActivation, nullptr, GetCurrentThreadId());
    }
    focusBackAt_ = RunSeconds() + seconds;
    JsonLine record = Record("fault");
    record.Str("kind", "focus").Str("what", "away").Num("seconds", seconds);
    record.Bool("other_in_front", GetForegroundWindow() == otherProgram_);
    Emit(record);
    return true;
}

void SessionFaults::RegainFocus() {
    focusBackAt_ = 0.0;
    if (refuseActivation_ != nullptr) UnhookWindowsHookEx(refuseActivation_);
    refuseActivation_ = nullptr;
    refusedWindow = nullptr;
    if (otherProgram_ != nullptr) {
        DestroyWindow(otherProgram_);
        otherProgram_ = nullptr;
        // The pilot clicks the simulator's window again.
        SetForegroundWindow(simWindow_);
    }
}
