// What DrovanaX adds to every visual frame of the simulator: its dispatch of
// the frame's four SIMOBJECT_DATA messages and its window hook on the stream
// of non-key messages the main window gets. Both are measured against the
// same work with an empty dispatch callback and the window's own procedure,
// in the same run, in the stand-in simulator with the real DrovanaX.dll.
// Then the taxiway run's own 50 ms timer: one tick's work, on a copy of the
// add-on's code linked in (the loaded DLL exports only its entry points).
#include <windows.h>

#include <algorithm>
#include <math.h>
#include <stdio.h>
#include <string.h>
#include <vector>

#include "SimConnect.h"
#include "../sim/simconnect/standin.h"
#include "core/state.h"
#include "pushback/taxiway_plan.h"
#include "pushback/taxiway_run.h"

namespace {

const int kFrames = 200000;
const int kWarmUpFrames = 2000;
const UINT kNonKeyMessages[] = {WM_MOUSEMOVE, WM_NCHITTEST, WM_SETCURSOR, WM_TIMER, WM_NULL, WM_MOUSEMOVE};

LRESULT CALLBACK SimulatorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOUSEMOVE:
    case WM_NCHITTEST:
    case WM_SETCURSOR:
    case WM_TIMER:
    case WM_NULL:
        return 0;  // the simulator's own work is not what is measured
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void CALLBACK EmptyDispatch(SIMCONNECT_RECV *, DWORD, void *) {}

void QuietTrace(const char *) {}
double NoTime() { return 0.0; }

// One frame's four replies, laid out as the simulator sends them.
struct FrameMessages {
    std::vector<unsigned char> bytes[4];

    FrameMessages() {
        // The position block ends with the simulator's pushback state (3: none):
        // a block of four would be too short and skip the copy being measured.
        const double values[4][5] = {{0.8, 0.04, 30.0, 1.5, 3.0}, {1.0, 0, 0, 0, 0}, {2.0, 1.0, 1.0, 0, 0}, {1.0, 0, 0, 0, 0}};
        const int counts[4] = {5, 1, 5, 1};
        for (int i = 0; i < 4; ++i) {
            const DWORD size = SIMCONNECT_SIMOBJECT_DATA_BLOCK_OFFSET + counts[i] * sizeof(double);
            bytes[i].assign(size, 0);
            SIMCONNECT_RECV_SIMOBJECT_DATA header;
            memset(&header, 0, sizeof header);
            header.dwSize = size;
            header.dwID = SIMCONNECT_RECV_ID_SIMOBJECT_DATA;
            header.dwRequestID = header.dwDefineID = i + 1;
            header.dwentrynumber = header.dwoutof = 1;
            header.dwDefineCount = counts[i];
            memcpy(bytes[i].data(), &header, SIMCONNECT_SIMOBJECT_DATA_BLOCK_OFFSET);
            memcpy(bytes[i].data() + SIMCONNECT_SIMOBJECT_DATA_BLOCK_OFFSET, values[i], counts[i] * sizeof(double));
        }
    }
    SIMCONNECT_RECV *Message(int i) { return reinterpret_cast<SIMCONNECT_RECV *>(bytes[i].data()); }
    DWORD Size(int i) const { return static_cast<DWORD>(bytes[i].size()); }
};

struct Timing {
    std::vector<double> nanoseconds;
    double Mean() const {
        double sum = 0;
        for (double v : nanoseconds) sum += v;
        return sum / nanoseconds.size();
    }
    double Percentile(double p) {
        std::vector<double> sorted = nanoseconds;
        std::sort(sorted.begin(), sorted.end());
        return sorted[static_cast<size_t>(p * (sorted.size() - 1))];
    }
};

template <typename T>
T Entry(HMODULE module, const char *name) {
    return reinterpret_cast<T>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

double Nanoseconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
    return (to.QuadPart - from.QuadPart) * 1.0e9 / frequency.QuadPart;
}

// One frame: the four replies through `dispatch`, the non-key messages
// through `procedure`.
void Frame(FrameMessages &frame, DispatchProc dispatch, WNDPROC procedure, HWND window) {
    for (int i = 0; i < 4; ++i) dispatch(frame.Message(i), frame.Size(i), nullptr);
    for (UINT message : kNonKeyMessages) CallWindowProcA(procedure, window, message, 0, 0);
}

Timing Measure(FrameMessages &frame, DispatchProc dispatch, WNDPROC procedure, HWND window,
               LARGE_INTEGER frequency, int frames) {
    Timing timing;
    timing.nanoseconds.reserve(frames);
    for (int i = 0; i < kWarmUpFrames; ++i) Frame(frame, dispatch, procedure, window);
    for (int i = 0; i < frames; ++i) {
        LARGE_INTEGER from, to;
        QueryPerformanceCounter(&from);
        Frame(frame, dispatch, procedure, window);
        QueryPerformanceCounter(&to);
        timing.nanoseconds.push_back(Nanoseconds(from, to, frequency));
    }
    return timing;
}

// The cost of reading the clock around an empty frame, taken off both sides.
double ClockCost(LARGE_INTEGER frequency) {
    Timing timing;
    for (int i = 0; i < 100000; ++i) {
        LARGE_INTEGER from, to;
        QueryPerformanceCounter(&from);
        QueryPerformanceCounter(&to);
        timing.nanoseconds.push_back(Nanoseconds(from, to, frequency));
    }
    return timing.Percentile(0.5);
}

// One taxiway tick in each phase that runs for long: pushing out towards a
// distance not yet reached, and turning towards a heading not yet reached.
// The snapshot stands still, so every tick does the whole work and shows no
// text (no connection either: only the add-on's own work is timed).
void MeasureTaxiwayTick(LARGE_INTEGER frequency, double clock, int ticks) {
    const int phases[2] = {PHASE_PUSH_OUT, PHASE_TURNING};
    const char *names[2] = {"pushing out", "turning"};
    for (int p = 0; p < 2; ++p) {
        ResetAddonState();
        SimSnapshot.latitude = 0.828;
        SimSnapshot.longitude = -2.134;
        SimSnapshot.heading = 2.6;
        SimSnapshot.onGround = 1.0;
        PushbackState.refLatitude = 0.82799;
        PushbackState.refLongitude = -2.134;
        PushbackState.sequenceTimer = 1;  // a run whose sequencer ticks
        PushbackState.taxiwayRun = 1;
        PushbackState.sequenceStep = SEQUENCE_PUSHBACK;
        PushbackState.pushActive = 1;
        PushbackState.runKind = RUN_AUTO;
        PushbackState.autoPhase = phases[p];
        PushbackState.turnKey = '1';
        PushbackState.taxiwayPushMetres = 1.0e6;
        PushbackState.targetHeading = 240.0;
        Timing timing;
        timing.nanoseconds.reserve(ticks);
        for (int i = 0; i < ticks; ++i) {
            LARGE_INTEGER from, to;
            QueryPerformanceCounter(&from);
            TaxiwayTimerProc(nullptr, WM_TIMER, 0, 0);
            QueryPerformanceCounter(&to);
            timing.nanoseconds.push_back(Nanoseconds(from, to, frequency));
        }
        const double mean = timing.Mean() - clock;
        const double perSecond = mean * (1000.0 / TAXIWAY_PERIOD_MS);
        printf("  taxiway timer, %-12s %8.1f ns/tick (p99 %8.1f ns), every %u ms: %.5f %% of the main thread\n",
               names[p], mean, timing.Percentile(0.99) - clock, TAXIWAY_PERIOD_MS, perSecond / 1.0e9 * 100.0);
    }
    ResetAddonState();
}

// The plan runs once, on the frame that takes the map's answer: over the most
// paths and stands an answer holds, 1024 taxilanes, most of which reach the
// aircraft's turn (parallel lines behind it, each cut into joined pieces),
// runway paths to check each plan against, and the aircraft's own stand in a
// row of 256 along the terminal, 40 m apart.
void MeasureTaxiwayPlan(LARGE_INTEGER frequency) {
    static MapPath paths[kMapMaxPaths];
    static MapStand stands[kMapMaxStands];
    MapAnswerHeader header;
    memset(&header, 0, sizeof header);
    header.status = MAP_AIRPORT;
    header.pathCount = kMapMaxPaths;
    header.standCount = kMapMaxStands;
    const double lat = 47.0, lon = 8.0, perEast = 1852.0 * 60.0 * cos(lat * 3.14159265358979 / 180.0);
    for (uint32_t i = 0; i < kMapMaxPaths; ++i) {
        MapPath &p = paths[i];
        memset(&p, 0, sizeof p);
        const bool runway = i % 16 == 15;
        p.type = runway ? MAP_PATH_RUNWAY : MAP_PATH_TAXI;
        p.width = runway ? 45.0f : 20.0f;
        const double north = runway ? 280.0 : -40.0 - static_cast<double>(i % 64) * 4.0;
        const double west = -250.0 + static_cast<double>(i / 64) * 31.25;
        p.startLatitude = p.endLatitude = lat + north / (1852.0 * 60.0);
        p.startLongitude = lon + west / perEast;
        p.endLongitude = lon + (west + 31.25) / perEast;
    }
    for (uint32_t k = 0; k < kMapMaxStands; ++k) {
        const double east = (static_cast<double>(k % 2 == 0 ? k : -static_cast<double>(k + 1))) * 20.0;
        stands[k] = MapStand{lat, lon + east / perEast, 18.0f, 0.0f};
    }
    header.hasParking = 1;
    header.parkingLatitude = lat, header.parkingLongitude = lon, header.parkingRadius = 18.0f;
    const TaxiwayAircraft aircraft = {lat, lon, 0.0, 34.4, 6.7, TAXIWAY_TAIL_LEFT};
    Timing timing;
    TaxiwayPlan plan;
    for (int i = 0; i < 20; ++i) {
        LARGE_INTEGER from, to;
        QueryPerformanceCounter(&from);
        PlanTaxiwayPush(header, paths, stands, aircraft, &plan);
        QueryPerformanceCounter(&to);
        timing.nanoseconds.push_back(Nanoseconds(from, to, frequency));
    }
    printf("  taxiway plan over %u paths: %.2f ms (slowest of 20: %.2f ms), outcome %d, once per pick\n",
           kMapMaxPaths, timing.Percentile(0.5) / 1.0e6, timing.Percentile(1.0) / 1.0e6, plan.outcome);
}

}  // namespace

int main(int argc, char **argv) {
    const int frames = argc > 1 ? atoi(argv[1]) : kFrames;
    if (frames < 1) return 2;

    WNDCLASSA windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = SimulatorWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "FS98MAIN";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "FS98MAIN", "frame cost", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    if (window == nullptr) {
        fprintf(stderr, "frame_cost: no simulator window\n");
        return 1;
    }

    // The add-on binds SimConnect through its side-by-side manifest; the
    // stand-in's SimConnect.dll and assembly folder lie beside this program.
    HMODULE addon = LoadLibraryA("DrovanaX.dll");
    HMODULE simconnect = GetModuleHandleA("SimConnect.dll");
    if (addon == nullptr || simconnect == nullptr) {
        fprintf(stderr, "frame_cost: DrovanaX.dll did not load (error %lu)\n", GetLastError());
        return 1;
    }
    StandInHost host = {QuietTrace, QuietTrace, NoTime, QuietTrace};
    Entry<StandInAttachFn>(simconnect, "StandIn_Attach")(&host);
    StandInSetOpenDelayFn setOpenDelay =
        Entry<StandInSetOpenDelayFn>(simconnect, "StandIn_SetOpenDelay");
    if (setOpenDelay) setOpenDelay(0.0);
    StandInPumpFn pump = Entry<StandInPumpFn>(simconnect, "StandIn_Pump");
    typedef DispatchProc (*DispatchOfFn)();
    DispatchOfFn dispatchOf = Entry<DispatchOfFn>(simconnect, "StandIn_RegisteredDispatch");
    typedef int(__stdcall * StartFn)();
    StartFn start = Entry<StartFn>(addon, "DLLStart");
    if (pump == nullptr || dispatchOf == nullptr || start == nullptr) {
        fprintf(stderr, "frame_cost: the stand-in or the add-on lacks an entry point\n");
        return 1;
    }
    start();
    // Let OPEN and SimStart through, so the add-on has hooked the window and
    // runs its four periodic requests, as in a flight.
    StandInAircraft aircraft;
    memset(&aircraft, 0, sizeof aircraft);
    aircraft.onGround = 1.0;
    aircraft.engineCount = 2.0;
    for (int i = 0; i < 30; ++i) {
        pump(&aircraft);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        Sleep(10);
    }
    DispatchProc addonDispatch = dispatchOf();
    WNDPROC hooked = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
    if (addonDispatch == nullptr || hooked == SimulatorWindowProc) {
        fprintf(stderr, "frame_cost: the add-on did not register its dispatch or hook the window\n");
        return 1;
    }

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    FrameMessages frame;
    const double clock = ClockCost(frequency);
    // Interleaved halves, so a change of machine load falls on both sides.
    Timing baseline, withAddon;
    for (int half = 0; half < 2; ++half) {
        Timing b = Measure(frame, EmptyDispatch, SimulatorWindowProc, window, frequency, frames / 2);
        Timing a = Measure(frame, addonDispatch, hooked, window, frequency, frames / 2);
        baseline.nanoseconds.insert(baseline.nanoseconds.end(), b.nanoseconds.begin(), b.nanoseconds.end());
        withAddon.nanoseconds.insert(withAddon.nanoseconds.end(), a.nanoseconds.begin(), a.nanoseconds.end());
    }

    const double baseMean = baseline.Mean() - clock, addonMean = withAddon.Mean() - clock;
    const double added = addonMean - baseMean;
    const double added99 = withAddon.Percentile(0.99) - baseline.Percentile(0.99);
    printf("frame_cost: %d frames, each 4 SIMOBJECT_DATA dispatches + %u non-key window messages\n", frames,
           static_cast<unsigned>(sizeof kNonKeyMessages / sizeof kNonKeyMessages[0]));
    printf("  empty callback + own window procedure: %8.1f ns/frame (p99 %8.1f ns)\n", baseMean,
           baseline.Percentile(0.99) - clock);
    printf("  DrovanaX dispatch + window hook:      %8.1f ns/frame (p99 %8.1f ns)\n", addonMean,
           withAddon.Percentile(0.99) - clock);
    printf("  added by DrovanaX:                    %8.1f ns/frame (p99 %8.1f ns), ratio %.2f\n", added, added99,
           baseMean > 0 ? addonMean / baseMean : 0.0);
    printf("  share of a 16.7 ms frame: %.5f %%  goal under 1000 ns: %s\n", added / 16.7e6 * 100.0,
           added < 1000.0 ? "met" : "MISSED");
    MeasureTaxiwayTick(frequency, clock, frames);
    MeasureTaxiwayPlan(frequency);
    DestroyWindow(window);
    return 0;
}
