// DrovanaSim: the stand-in for the flight simulator. It runs from the
// simulated installation folder, loads DrovanaX.dll from there (which binds the
// stand-in SimConnect.dll through the side-by-side assembly folder), drives
// visual frames at about 60 per second, plays a scenario and writes the trace.
//   DrovanaSim.exe --scenario FILE --trace FILE
// Exit codes: 0 done, 1 bad arguments or scenario, 2 an `until` timed out,
// 3 the add-on or the stand-in SimConnect could not be loaded, 4 something of
// the add-on ran after it was unloaded.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "../../player/player_protocol.h"
#include "../common/process_memory.h"
#include "../simconnect/standin.h"
#include "faults.h"
#include "ground_model.h"
#include "scenario.h"
#include "scenery_library.h"
#include "sim_window.h"
#include "simulator_kind.h"
#include "trace.h"
#include "unload_watch.h"
#include "user_keys.h"

namespace {

const double kFrameSeconds = 1.0 / 60.0;
const double kStateTraceSeconds = 0.25;
const double kStarvedSeconds = 1.0;  // a frame this late means the process got no processor

struct StandInLink {
    HMODULE module = nullptr;
    StandInAttachFn attach = nullptr;
    StandInFailOpenFn failOpen = nullptr;
    StandInSetAircraftPathFn setAircraftPath = nullptr;
    StandInSendSimStartFn sendSimStart = nullptr;
    StandInPickMenuFn pickMenu = nullptr;
    StandInPumpFn pump = nullptr;
    StandInDialogModeFn dialogMode = nullptr;
    StandInSetOpenDelayFn setOpenDelay = nullptr;
    StandInSimStartsSentFn simStartsSent = nullptr;
    StandInOddRecords odd = {nullptr, nullptr, nullptr};
};

std::string installFolder;  // with its trailing backslash
CRITICAL_SECTION textLock;
std::vector<std::string> shownTexts;

void OnTextShown(const char *text) {
    EnterCriticalSection(&textLock);
    shownTexts.push_back(text);
    LeaveCriticalSection(&textLock);
}

std::string AircraftFilePath(const std::string &name) {
    return installFolder + "SimObjects\\Airplanes\\" + name + "\\" + name + ".air";
}

// The simulator's aircraft folders exist before it reports one.
void EnsureAircraftFile(const std::string &name) {
    std::string folder = installFolder + "SimObjects";
    CreateDirectoryA(folder.c_str(), nullptr);
    folder += "\\Airplanes";
    CreateDirectoryA(folder.c_str(), nullptr);
    folder += "\\" + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    HANDLE file = CreateFileA(AircraftFilePath(name).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

void WriteConfigEntry(const ConfigEntry &e) {
    const std::string path = installFolder + "Drovana.cfg";
    WritePrivateProfileStringA(e.section.c_str(), e.key.c_str(), e.value.c_str(), path.c_str());
    JsonLine record = Record("config");
    record.Str("section", e.section.c_str()).Str("key", e.key.c_str()).Str("value", e.value.c_str());
    Emit(record);
}

void WriteConfig(const Scenario &scenario) {
    for (const ConfigEntry &e : scenario.config) WriteConfigEntry(e);
}

// Thread timers without a window post WM_TIMER with no window to the main
// thread; the ids seen lately tell whether the add-on's timers still run.
struct TimerSighting {
    UINT_PTR id;
    double seen;
};
std::vector<TimerSighting> timerSightings;
const double kTimerMemorySeconds = 1.6;

void NoteThreadTimer(const MSG &message) {
    if (message.hwnd != nullptr || message.message != WM_TIMER) return;
    const double now = RunSeconds();
    for (TimerSighting &s : timerSightings) {
        if (s.id == message.wParam) {
            s.seen = now;
            return;
        }
    }
    timerSightings.push_back(TimerSighting{message.wParam, now});
}

int ActiveThreadTimers() {
    const double now = RunSeconds();
    int active = 0;
    for (const TimerSighting &s : timerSightings)
        if (now - s.seen <= kTimerMemorySeconds) ++active;
    return active;
}

int ThreadsOfThisProcess() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    CloseHandle(snapshot);
    return count;
}

// Wine answers GetProcessHandleCount with 0; the handles are counted by
// asking each possible handle value whether it is open instead.
DWORD OpenHandles() {
    DWORD reported = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &reported) && reported != 0) return reported;
    DWORD open = 0, flags = 0;
    for (UINT_PTR value = 4; value < 0x10000; value += 4)
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++open;
    return open;
}

BOOL CALLBACK CountWindow(HWND window, LPARAM count) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) ++*reinterpret_cast<int *>(count);
    return TRUE;
}

// The process's top-level windows with their children: the USER objects a
// leak of dialogs would leave, where GetGuiResources has no answer.
int WindowsOfThisProcess() {
    int count = 0;
    EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&count));
    HWND top = nullptr;
    while ((top = FindWindowExA(nullptr, top, nullptr, nullptr)) != nullptr) {
        DWORD process = 0;
        GetWindowThreadProcessId(top, &process);
        if (process == GetCurrentProcessId()) EnumChildWindows(top, CountWindow, reinterpret_cast<LPARAM>(&count));
    }
    return count;
}

// The process's address space, so a run can hold the add-on's growth to a
// bound: FSX is a 32-bit process pilots already fill.
void AddMemory(JsonLine *record) {
    const ProcessMemory memory = MemoryOfThisProcess();
    record->Int("virtual_bytes", static_cast<long long>(memory.virtualBytes));
    record->Int("private_bytes", static_cast<long long>(memory.privateBytes));
}

// What a long run must not pile up: handles, window-system objects, threads.
void TraceResources(const std::string &label) {
    JsonLine record = Record("resources");
    // The timers are judged at the record's own moment: the handle count asks
    // the wineserver about every handle value, which takes more than the
    // timers' memory on a loaded machine, and no message is pumped meanwhile.
    const int threadTimers = ActiveThreadTimers();
    record.Str("label", label.c_str()).Int("handles", OpenHandles()).Int("windows", WindowsOfThisProcess());
    record.Int("user_objects", GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
    record.Int("gdi_objects", GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    record.Int("threads", ThreadsOfThisProcess()).Int("thread_timers", threadTimers);
    AddMemory(&record);
    Emit(record);
}

template <typename T>
bool Resolve(HMODULE module, const char *name, T *function) {
    *function = reinterpret_cast<T>(reinterpret_cast<void *>(GetProcAddress(module, name)));
    return *function != nullptr;
}

bool LinkStandIn(HMODULE module, StandInLink *link) {
    link->module = module;
    return Resolve(module, "StandIn_Attach", &link->attach) && Resolve(module, "StandIn_FailOpen", &link->failOpen) &&
           Resolve(module, "StandIn_SetAircraftPath", &link->setAircraftPath) &&
           Resolve(module, "StandIn_SendSimStart", &link->sendSimStart) &&
           Resolve(module, "StandIn_PickMenu", &link->pickMenu) && Resolve(module, "StandIn_Pump", &link->pump) &&
           Resolve(module, "StandIn_DialogMode", &link->dialogMode) &&
           Resolve(module, "StandIn_SetOpenDelay", &link->setOpenDelay) &&
           Resolve(module, "StandIn_SimStartsSent", &link->simStartsSent) &&
           Resolve(module, "StandIn_SendException", &link->odd.sendException) &&
           Resolve(module, "StandIn_SendForeignData", &link->odd.sendForeignData) &&
           Resolve(module, "StandIn_SendQuit", &link->odd.sendQuit);
}

std::string ModulePath(HMODULE module) {
    char path[MAX_PATH] = "";
    if (module != nullptr) GetModuleFileNameA(module, path, sizeof path);
    return path;
}

// Other programs may share the wineserver (tests running beside this run, with
// a player window or a settings dialog of their own); only windows of this
// run count: the add-on's dialog in this process, the player started from
// this installation folder.
bool WindowOfThisRun(HWND window, bool inThisProcess) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (inThisProcess) return process == GetCurrentProcessId();
    HANDLE handle = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process);
    if (handle == nullptr) return false;
    char image[MAX_PATH] = "";
    const DWORD length = GetModuleFileNameExA(handle, nullptr, image, sizeof image);
    CloseHandle(handle);
    return length >= installFolder.size() && _strnicmp(image, installFolder.c_str(), installFolder.size()) == 0;
}

HWND FindRunWindow(const char *windowClass, const char *title, bool inThisProcess) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, windowClass, title)) != nullptr)
        if (WindowOfThisRun(window, inThisProcess)) return window;
    return nullptr;
}

HWND FindPlayerWindow() { return FindRunWindow(kPlayerWindowClass, kPlayerWindowTitle, false); }

BOOL CALLBACK DismissBoxOwnedBy(HWND window, LPARAM owner) {
    char windowClass[16] = "";
    GetClassNameA(window, windowClass, sizeof windowClass);
    if (GetWindow(window, GW_OWNER) == reinterpret_cast<HWND>(owner) && strcmp(windowClass, "#32770") == 0)
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return TRUE;
}

class HostActions : public ScenarioActions {
public:
    HostActions(GroundModel &model, StandInLink &link, HWND window, SessionFaults &faults)
        : model_(model), link_(link), window_(window), faults_(faults) {}

    bool PickMenu(const std::string &caption) override { return link_.pickMenu(caption.c_str()) >= 0; }
    bool PressKeys(const std::string &keys) override { return QueueUserKeys(keys.c_str()); }
    bool InjectKeys(const std::string &keys) override { return SendKeyBurst(window_, keys.c_str()); }
    bool SendSimStart(const std::string &) override {
        link_.sendSimStart();
        return true;
    }
    bool LoadAircraft(const std::string &name) override {
        if (name.empty()) return false;
        model_.LoadAircraft(name.c_str());
        EnsureAircraftFile(name);
        link_.setAircraftPath(AircraftFilePath(name).c_str(), 1);
        return true;
    }
    bool WriteResources(const std::string &label) override {
        TraceResources(label);
        return true;
    }
    bool KillPlayer(const std::string &how) override { return faults_.KillPlayer(how); }
    bool DamageConfig(const std::string &how) override { return faults_.DamageConfig(how); }
    bool SendOddRecord(const std::string &record) override { return faults_.SendOdd(record); }
    bool Pause(const std::string &seconds) override { return faults_.Pause(seconds); }
    bool LoseFocus(const std::string &argument) override { return faults_.LoseFocus(argument); }

    size_t TextCount() override {
        EnterCriticalSection(&textLock);
        const size_t count = shownTexts.size();
        LeaveCriticalSection(&textLock);
        return count;
    }
    std::string TextAt(size_t index) override {
        EnterCriticalSection(&textLock);
        std::string text = index < shownTexts.size() ? shownTexts[index] : std::string();
        LeaveCriticalSection(&textLock);
        return text;
    }
    std::string PushbackState() override { return GroundModel::ModeName(model_.Mode()); }
    int SimStartsSent() override { return link_.simStartsSent(); }
    int ActiveTimers() override { return ActiveThreadTimers(); }

    // The add-on's settings dialog runs on a thread of its own; the answer is
    // posted to it as its buttons would send it.
    bool AnswerDialog(const std::string &answer) override {
        HWND dialog = FindRunWindow(nullptr, "DrovanaX setting", true);
        if (dialog == nullptr) return false;
        // A message box the dialog put up (a refused value) is answered
        // first, as the pilot must before the dialog takes a click again.
        EnumThreadWindows(GetWindowThreadProcessId(dialog, nullptr), DismissBoxOwnedBy,
                          reinterpret_cast<LPARAM>(dialog));
        if (answer == "ok") return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0) != 0;
        if (answer == "cancel") return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0) != 0;
        if (answer == "close") return PostMessageA(dialog, WM_CLOSE, 0, 0) != 0;
        return false;
    }

    // A hand edit of Drovana.cfg while the simulator runs.
    bool EditConfig(const std::string &argument) override {
        char section[64] = "", key[64] = "";
        int consumed = 0;
        if (sscanf(argument.c_str(), "%63s %63s %n", section, key, &consumed) < 2) return false;
        ConfigEntry entry;
        entry.section = section;
        entry.key = key;
        entry.value = argument.substr(consumed);
        WriteConfigEntry(entry);
        return true;
    }

    bool Set(const std::string &argument) override {
        char what[32] = "";
        double a = 0.0, b = 0.0;
        char extra[8] = "";
        const int n = sscanf(argument.c_str(), "%31s %lf %lf %7s", what, &a, &b, extra);
        const std::string w = what;
        if (w == "onground" && n == 2) {
            model_.SetOnGround(a != 0.0);
            return true;
        }
        if (w == "brake" && n == 2) {
            model_.SetBrake(a);
            return true;
        }
        if (w == "heading" && n == 2) {
            model_.SetHeading(a);
            return true;
        }
        if (w == "engine" && n == 3 && a >= 1 && a <= 4) {
            model_.SetEngine(static_cast<int>(a), b != 0.0);
            return true;
        }
        if (argument == "pushback off") {
            model_.EndPushbackBySimulator();
            return true;
        }
        if (w == "position" && n == 3) {
            model_.SetPosition(a, b);
            return true;
        }
        return false;
    }

private:
    GroundModel &model_;
    StandInLink &link_;
    HWND window_;
    SessionFaults &faults_;
};

void PumpWindowMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        NoteThreadTimer(message);
        if (!MayDispatchAfterUnload(message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Lets queued messages (the add-on's WM_DESTROY to the player, timers) run
// for a while without frames.
void DrainMessages(double seconds) {
    const double until = RunSeconds() + seconds;
    while (RunSeconds() < until) {
        PumpWindowMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// The player is the add-on's to end (it posts WM_DESTROY when the simulator's
// window goes); the trace says whether it did, and a player left behind is
// ended here so that it does not outlive the run.
void CheckPlayerLeftBehind() {
    HWND player = FindPlayerWindow();
    for (int i = 0; i < 50 && player != nullptr; ++i) {
        DrainMessages(0.02);
        player = FindPlayerWindow();
    }
    JsonLine record = Record("player");
    record.Bool("window_after_exit", player != nullptr);
    Emit(record);
    if (player != nullptr) PostMessageA(player, WM_DESTROY, 0, 0);
}

// A run that ends without its trace says why on the console, which
// run_scenario passes on: an exception before the trace is written (or
// while it is) would otherwise end the process with nothing said at all.
LONG WINAPI SayWhyOnCrash(EXCEPTION_POINTERS *exception) {
    fprintf(stderr, "DrovanaSim: ended by exception 0x%08lx at %p\n",
            static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode),
            exception->ExceptionRecord->ExceptionAddress);
    fflush(stderr);
    return EXCEPTION_CONTINUE_SEARCH;
}

// A simulator goes on after it unloads an add-on: two more seconds of
// frames and messages show whether anything of the add-on still runs.
const double kAfterUnloadSeconds = 2.0;

void KeepRunningAfterUnload(GroundModel &model, StandInLink &link) {
    const double until = RunSeconds() + kAfterUnloadSeconds;
    double last = RunSeconds();
    while (RunSeconds() < until) {
        PumpWindowMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(kFrameSeconds * 1000.0), QS_ALLINPUT);
        const double now = RunSeconds();
        model.Step(now - last < 0.1 ? now - last : 0.1);
        last = now;
        const StandInAircraft aircraft = model.Snapshot();
        link.pump(&aircraft);
    }
}

int Usage() {
    fprintf(stderr, "usage: DrovanaSim.exe --scenario FILE --trace FILE\n");
    return 1;
}

}  // namespace

int main(int argc, char **argv) {
    const char *scenarioPath = nullptr;
    const char *tracePath = nullptr;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--scenario"))
            scenarioPath = argv[i + 1];
        else if (!strcmp(argv[i], "--trace"))
            tracePath = argv[i + 1];
        else
            return Usage();
    }
    if (scenarioPath == nullptr || tracePath == nullptr || argc % 2 != 1) return Usage();

    SetUnhandledExceptionFilter(SayWhyOnCrash);
    InitializeCriticalSection(&textLock);
    StartRunClock();
    if (!OpenTrace(tracePath)) {
        fprintf(stderr, "DrovanaSim: cannot write the trace %s (error %lu)\n", tracePath, GetLastError());
        return 1;
    }
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof folder, folder);
    installFolder = folder;
    if (installFolder.empty() || installFolder.back() != '\\') installFolder += '\\';

    Scenario scenario;
    std::string error;
    const bool parsed = ParseScenario(scenarioPath, &scenario, &error);
    {
        JsonLine record = Record("run");
        record.Str("scenario", scenarioPath).Str("folder", installFolder.c_str()).Bool("parsed", parsed);
        if (!parsed) record.Str("error", error.c_str());
        record.Str("aircraft", scenario.aircraft.c_str()).Bool("addon", scenario.loadAddon);
        record.Bool("open_fails", scenario.failOpen).Num("open_delay", scenario.openDelay);
        Emit(record);
    }
    if (!parsed) {
        fprintf(stderr, "DrovanaSim: %s: %s\n", scenarioPath, error.c_str());
        CloseTrace();
        return 1;
    }

    GroundModel model;
    UseTugBehaviour(scenario.tug);
    model.LoadAircraft(scenario.aircraft.c_str());
    EnsureAircraftFile(scenario.aircraft);
    WriteConfig(scenario);
    const SimulatorKind &kind =
        scenario.simulator.empty() ? DefaultSimulator() : *FindSimulatorKind(scenario.simulator);
    WriteSimulatorRegistry(kind, installFolder, scenario.setupPathGiven && !scenario.setupPathNone, scenario.setupPath,
                           scenario.setupPathNone);
    const std::string data = SimulatorDataFolder(kind, installFolder);
    {
        JsonLine record = Record("simulator");
        record.Str("code", kind.code).Str("data", data.c_str()).Str("title", kind.title);
        Emit(record);
    }
    WriteSceneryLibrary(scenario.scenery, installFolder, data);

    HWND window = CreateSimulatorWindow(GetModuleHandleA(nullptr), &model, kind.title);
    if (window == nullptr) {
        fprintf(stderr, "DrovanaSim: cannot create the FS98MAIN window\n");
        CloseTrace();
        return 3;
    }

    // The add-on first, as the simulator loads it: its manifest binds
    // SimConnect.dll to the assembly folder beside this program. Loading that
    // same file by its full path then yields the module the add-on uses.
    HMODULE addon = nullptr;
    // Named by the simulator's dll.xml as the real one reads it; the runs of
    // no particular simulator load it from the folder.
    const std::string addonPath = scenario.simulator.empty()
                                      ? installFolder + "DrovanaX.dll"
                                      : AddonFromDllXml(SimulatorDllXml(data), "DrovanaX", installFolder);
    const std::string standInPath = installFolder + "Microsoft.FlightSimulator.SimConnect\\SimConnect.dll";
    if (scenario.loadAddon && addonPath.empty()) {
        fprintf(stderr, "DrovanaSim: no DrovanaX entry in the %s dll.xml\n", kind.code);
        CloseTrace();
        return 3;
    }
    if (scenario.loadAddon) {
        addon = LoadLibraryA(addonPath.c_str());
        JsonLine record = Record("load");
        record.Str("module", addonPath.c_str()).Bool("ok", addon != nullptr);
        if (addon == nullptr) record.Int("error", GetLastError());
        Emit(record);
        if (addon == nullptr) {
            fprintf(stderr, "DrovanaSim: cannot load %s (error %lu)\n", addonPath.c_str(), GetLastError());
            CloseTrace();
            return 3;
        }
    }
    HMODULE boundByAddon = GetModuleHandleA("SimConnect.dll");
    StandInLink link;
    HMODULE standIn = LoadLibraryA(standInPath.c_str());
    {
        JsonLine record = Record("load");
        record.Str("module", standInPath.c_str()).Bool("ok", standIn != nullptr);
        record.Str("bound_by_addon", ModulePath(boundByAddon).c_str());
        record.Bool("same_module", boundByAddon == standIn);
        Emit(record);
    }
    if (standIn == nullptr || !LinkStandIn(standIn, &link)) {
        fprintf(stderr, "DrovanaSim: cannot load the stand-in %s\n", standInPath.c_str());
        CloseTrace();
        return 3;
    }

    StandInHost host;
    host.writeTrace = WriteTraceLine;
    host.printLine = PrintConsoleLine;
    host.now = RunSeconds;
    host.textShown = OnTextShown;
    link.attach(&host);
    link.failOpen(scenario.failOpen ? 1 : 0);
    link.setOpenDelay(scenario.openDelay);
    link.setAircraftPath(AircraftFilePath(scenario.aircraft).c_str(), 0);

    typedef int(__stdcall * StartFn)();
    typedef void(__stdcall * StopFn)();
    StartFn dllStart = nullptr;
    StopFn dllStop = nullptr;
    if (addon != nullptr) {
        Resolve(addon, "DLLStart", &dllStart);
        Resolve(addon, "DLLStop", &dllStop);
        JsonLine record = Record("dllstart");
        record.Bool("found", dllStart != nullptr);
        if (dllStart != nullptr) record.Int("result", dllStart());
        Emit(record);
    }

    SessionFaults faults(window, installFolder + "Drovana.cfg", FindPlayerWindow, link.odd);
    HostActions actions(model, link, window, faults);
    ScenarioRunner runner(scenario);
    ScenarioRunner::Status status = ScenarioRunner::RUNNING;
    double lastFrame = RunSeconds();
    double nextFrame = lastFrame;
    double nextState = lastFrame;
    // A finished scenario still lets the keys it pressed go out and arrive.
    double finishAt = -1.0;
    for (;;) {
        if (status != ScenarioRunner::RUNNING && finishAt < 0.0 && !UserKeysPending()) finishAt = RunSeconds() + 0.1;
        if (finishAt >= 0.0 && RunSeconds() >= finishAt) break;
        PumpWindowMessages();
        const double now = RunSeconds();
        if (now < nextFrame) {
            const DWORD wait = static_cast<DWORD>((nextFrame - now) * 1000.0) + 1;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
            continue;
        }
        // A stalled frame (the add-on blocking the main thread) is not made up for.
        nextFrame = now - nextFrame > 0.1 ? now + kFrameSeconds : nextFrame + kFrameSeconds;
        // Nor, when the whole process was starved of the processor, are the
        // pilot's commands of that time all sent at once in one frame: the
        // scenario's clock stands still with the simulator's.
        if (now - lastFrame > kStarvedSeconds) runner.Stall(now - lastFrame - kFrameSeconds);
        if (status == ScenarioRunner::RUNNING) status = runner.Step(now, actions);
        StepUserKeys(window);
        faults.Frame(now);
        const double step = now - lastFrame;
        if (!faults.Paused()) model.Step(step < 0.1 ? step : 0.1);
        lastFrame = now;
        const StandInAircraft aircraft = model.Snapshot();
        link.pump(&aircraft);
        if (now >= nextState) {
            model.TraceState(link.dialogMode(), FindPlayerWindow() != nullptr);
            nextState = now + kStateTraceSeconds;
        }
    }
    model.TraceState(link.dialogMode(), FindPlayerWindow() != nullptr);

    if (dllStop != nullptr) {
        dllStop();
        JsonLine record = Record("dllstop");
        Emit(record);
    }
    bool nothingRanAfterUnload = true;
    if (addon != nullptr) {
        UnloadAndWatch(addon);
        KeepRunningAfterUnload(model, link);
        CheckWindowAfterUnload(window);
        nothingRanAfterUnload = ReportAfterUnload();
        model.TraceState(link.dialogMode(), FindPlayerWindow() != nullptr);
    }
    DestroyWindow(window);
    DrainMessages(0.2);
    CheckPlayerLeftBehind();

    int code = status == ScenarioRunner::TIMED_OUT ? 2 : 0;
    if (code == 0 && !nothingRanAfterUnload) code = 4;
    JsonLine record = Record("exit");
    record.Int("code", code);
    Emit(record);
    CloseTrace();
    return code;
}
