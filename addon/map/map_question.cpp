#include "map_question.h"

#include <stddef.h>
#include <string.h>

#include "../../common/window_owner.h"
#include "../core/state.h"
#include "map_program.h"

MapLinkTimings MapLinkTiming = kMapLinkTimings;


namespace {

const char kWorkerClass[] = "DrovanaMapAsk";
// Posted to the worker's window: a question waits to be sent.
const UINT kQuestionWaiting = WM_APP + 1;
// How often a question that waits for a starting program's window looks again.
const DWORD kWindowPollMs = 50;
// A map program that dies as it starts (a damaged install) is started again
// at most this often, however often the add-on asks.
const DWORD kRestartIntervalMs = 2000;

// What the main thread and the worker share. The lock is held only to copy a
// question in or an answer out, never across a call to another process, so
// the main thread's wait for it is at most one answer's memcpy.
struct MapLinkRecord {
    CRITICAL_SECTION lock;
    uint32_t pendingId;  // 0: no question waits to be sent
    double pendingLatitude, pendingLongitude;
    uint32_t answeredId;  // the question the answer below belongs to
    MapAnswer answer;
    HWND workerWindow;
    bool workerStarting;  // started, its window not made yet: a question then waits for it
    // Main thread only.
    bool running;
    HANDLE workerThread;
    HANDLE stopEvent;
};

MapLinkRecord MapLink;
volatile LONG LastQuestionId = 0;

// The lock exists before anyone can ask, whether or not the link was started.
struct MapLinkLockInit {
    MapLinkLockInit() { InitializeCriticalSection(&MapLink.lock); }
} MapLinkLockReady;

// What a worker gets at its start; it frees it as it ends.
struct WorkerStart {
    char folder[TEXT_SIZE];
    HANDLE stopEvent;  // the worker's own handle on the event
    HMODULE module;    // a reference that keeps the code loaded until the worker is gone
};

// The worker's own state; lives on its stack, reached from its window.
struct WorkerState {
    HWND window;
    MapProgram program;
    uint32_t inFlightId;  // sent, answer not in yet
    DWORD sentAt;
    DWORD lastStartAt;
    char folder[TEXT_SIZE];
};

// Ids only grow (modulo 2^32), so a late answer never replaces a newer one.
bool IsNewer(uint32_t id, uint32_t than) { return static_cast<int32_t>(id - than) > 0; }

void Terminate(char *text, size_t size) { text[size - 1] = '\0'; }

// The answer's parts, each as long as its count in the header says.
void CopyAnswer(const MapAnswerHeader &header, const MapPath *paths, const MapStand *stands, MapAnswer *to) {
    to->header = header;
    if (paths != nullptr && header.pathCount > 0) memcpy(to->paths, paths, header.pathCount * sizeof(MapPath));
    if (stands != nullptr && header.standCount > 0) memcpy(to->stands, stands, header.standCount * sizeof(MapStand));
}

// header, paths and stands are the answer as it will be kept: already checked.
void Publish(const MapAnswerHeader &header, const MapPath *paths, const MapStand *stands) {
    EnterCriticalSection(&MapLink.lock);
    if (MapLink.answeredId == 0 || IsNewer(header.questionId, MapLink.answeredId)) {
        CopyAnswer(header, paths, stands, &MapLink.answer);
        MapAnswerHeader &kept = MapLink.answer.header;
        Terminate(kept.icao, sizeof kept.icao);
        Terminate(kept.file, sizeof kept.file);
        Terminate(kept.parkingName, sizeof kept.parkingName);
        for (uint32_t i = 0; i < header.pathCount; ++i)
            Terminate(MapLink.answer.paths[i].name, sizeof MapLink.answer.paths[i].name);
        MapLink.answeredId = header.questionId;
    }
    LeaveCriticalSection(&MapLink.lock);
}

void PublishNotReadYet(uint32_t questionId) {
    MapAnswerHeader header;
    memset(&header, 0, sizeof header);
    header.size = sizeof header;
    header.questionId = questionId;
    header.status = MAP_NOT_READ_YET;
    Publish(header, nullptr, nullptr);
}

// Takes the waiting question if it is still the one given (a newer one may
// have replaced it meanwhile, which is then sent instead on the next step).
bool PeekQuestion(MapQuestion *question) {
    EnterCriticalSection(&MapLink.lock);
    const bool waiting = MapLink.pendingId != 0;
    if (waiting) {
        memset(question, 0, sizeof *question);
        question->size = sizeof *question;
        question->questionId = MapLink.pendingId;
        question->latitude = MapLink.pendingLatitude;
        question->longitude = MapLink.pendingLongitude;
    }
    LeaveCriticalSection(&MapLink.lock);
    return waiting;
}

void DropQuestion(uint32_t questionId) {
    EnterCriticalSection(&MapLink.lock);
    if (MapLink.pendingId == questionId) MapLink.pendingId = 0;
    LeaveCriticalSection(&MapLink.lock);
}

// An answer from another process: every size and count is checked against
// what arrived before anything is copied.
bool TakeAnswer(WorkerState *state, const COPYDATASTRUCT *data) {
    if (data == nullptr || data->dwData != kMapAnswerTag || data->lpData == nullptr) return false;
    if (data->cbData < sizeof(MapAnswerHeader)) return false;
    MapAnswerHeader header;
    memcpy(&header, data->lpData, sizeof header);
    if (header.size != data->cbData || header.pathCount > kMapMaxPaths || header.standCount > kMapMaxStands)
        return false;
    const size_t pathBytes = header.pathCount * sizeof(MapPath);
    if (header.size != sizeof header + pathBytes + header.standCount * sizeof(MapStand)) return false;
    if (header.status > MAP_AIRPORT) return false;
    if (state->inFlightId == 0 || header.questionId != state->inFlightId) return false;
    const char *body = static_cast<const char *>(data->lpData) + sizeof header;
    Publish(header, reinterpret_cast<const MapPath *>(body), reinterpret_cast<const MapStand *>(body + pathBytes));
    state->inFlightId = 0;
    return true;
}

LRESULT CALLBACK WorkerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WorkerState *state = WindowOwner<WorkerState>(window, message, lParam);
    if (message == WM_COPYDATA) {
        if (state == nullptr) return FALSE;
        return TakeAnswer(state, reinterpret_cast<const COPYDATASTRUCT *>(lParam)) ? TRUE : FALSE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The question in flight gets "not read yet" and its program, which did not
// answer in time, is ended: the next question starts a new one.
void GiveUpOnProgram(WorkerState *state) {
    if (state->inFlightId != 0) PublishNotReadYet(state->inFlightId);
    state->inFlightId = 0;
    EndMapProgram(&state->program, 0);
}

void SendQuestion(WorkerState *state, HWND map, MapQuestion *question) {
    DropQuestion(question->questionId);
    question->replyWindow = static_cast<uint32_t>(reinterpret_cast<UINT_PTR>(state->window));
    COPYDATASTRUCT data;
    data.dwData = kMapQuestionTag;
    data.cbData = sizeof *question;
    data.lpData = question;
    // In flight before the send: the answer may come while it is being sent.
    state->inFlightId = question->questionId;
    state->sentAt = GetTickCount();
    DWORD_PTR accepted = 0;
    if (!SendMessageTimeoutA(map, WM_COPYDATA, reinterpret_cast<WPARAM>(state->window),
                             reinterpret_cast<LPARAM>(&data), SMTO_NORMAL | SMTO_ABORTIFHUNG,
                             MapLinkTiming.answerMs, &accepted)) {
        GiveUpOnProgram(state);  // hung, or gone while it was asked
    } else if (accepted != static_cast<DWORD_PTR>(kMapQuestionAccepted) && state->inFlightId != 0) {
        PublishNotReadYet(state->inFlightId);
        state->inFlightId = 0;
    }
}

// One step of the worker; returns how long it may sleep before the next one.
DWORD Step(WorkerState *state) {
    const DWORD now = GetTickCount();
    if (state->inFlightId != 0) {
        if (!MapProgramRunning(&state->program)) {
            GiveUpOnProgram(state);
        } else {
            const DWORD waited = now - state->sentAt;
            if (waited < MapLinkTiming.answerMs) return MapLinkTiming.answerMs - waited;
            GiveUpOnProgram(state);
        }
    }

    MapQuestion question;
    if (!PeekQuestion(&question)) return INFINITE;
    if (!MapProgramRunning(&state->program)) {
        EndMapProgram(&state->program, 0);
        const bool tooSoon = GetTickCount() - state->lastStartAt < kRestartIntervalMs;
        if (!tooSoon) state->lastStartAt = GetTickCount();
        if (tooSoon || !StartMapProgram(state->folder, &state->program)) {
            DropQuestion(question.questionId);
            PublishNotReadYet(question.questionId);
            return INFINITE;
        }
    }
    const HWND map = FindMapProgramWindow(&state->program);
    if (map == nullptr) {
        if (GetTickCount() - state->program.startedAt < MapLinkTiming.windowMs) return kWindowPollMs;
        DropQuestion(question.questionId);
        PublishNotReadYet(question.questionId);
        EndMapProgram(&state->program, 0);  // stuck before its window: the next question starts another
        return INFINITE;
    }
    SendQuestion(state, map, &question);
    return 0;  // the next step waits for the answer, or sends a question that came meanwhile
}

void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

HWND CreateWorkerWindow(HMODULE module, WorkerState *state) {
    WNDCLASSEXA windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WorkerWindowProc;
    windowClass.hInstance = module;
    windowClass.lpszClassName = kWorkerClass;
    // Already registered by a worker that has not ended yet: the same class.
    if (!RegisterOwnedClass(windowClass)) return nullptr;
    return CreateWindowExA(0, kWorkerClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module, state);
}

// Answers questions until the stop event is set.
void ServeQuestions(HANDLE stopEvent, WorkerState *state) {
    DWORD wait = 0;
    for (;;) {
        HANDLE handles[2] = {stopEvent, state->program.process};
        // While a question is in flight, the program's end is news.
        const DWORD count = state->inFlightId != 0 && state->program.process != nullptr ? 2 : 1;
        const DWORD woken = MsgWaitForMultipleObjects(count, handles, FALSE, wait, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED) return;
        PumpMessages();
        wait = Step(state);
    }
}

void RunWorker(const WorkerStart *start) {
    WorkerState state;
    memset(&state, 0, sizeof state);
    lstrcpynA(state.folder, start->folder, sizeof state.folder);
    // Started at once: the library takes a while to read, and the first
    // question should not wait for that.
    state.lastStartAt = GetTickCount();
    StartMapProgram(state.folder, &state.program);
    state.window = CreateWorkerWindow(start->module, &state);
    EnterCriticalSection(&MapLink.lock);
    MapLink.workerWindow = state.window;
    MapLink.workerStarting = false;
    LeaveCriticalSection(&MapLink.lock);

    if (state.window != nullptr) {
        ServeQuestions(start->stopEvent, &state);
        EnterCriticalSection(&MapLink.lock);
        if (MapLink.workerWindow == state.window) MapLink.workerWindow = nullptr;
        LeaveCriticalSection(&MapLink.lock);
        DestroyWindow(state.window);
        // A class left registered would outlive the module's code if the
        // simulator unloads it.
        UnregisterClassA(kWorkerClass, start->module);
    } else {
        // No answer can come: what was asked meanwhile gets "not read yet"
        // now, and AskMap answers everything later so itself.
        MapQuestion question;
        if (PeekQuestion(&question)) {
            DropQuestion(question.questionId);
            PublishNotReadYet(question.questionId);
        }
    }
    EndMapProgram(&state.program, MapLinkTiming.closeMs);
}

DWORD WINAPI MapWorker(LPVOID context) {
    WorkerStart *start = static_cast<WorkerStart *>(context);
    RunWorker(start);
    const HMODULE module = start->module;
    CloseHandle(start->stopEvent);
    HeapFree(GetProcessHeap(), 0, start);
    if (module != nullptr) FreeLibraryAndExitThread(module, 0);
    return 0;
}

}  // namespace

uint32_t AskMap(double latitudeDegrees, double longitudeDegrees) {
    uint32_t id = static_cast<uint32_t>(InterlockedIncrement(&LastQuestionId));
    if (id == 0) id = static_cast<uint32_t>(InterlockedIncrement(&LastQuestionId));
    EnterCriticalSection(&MapLink.lock);
    MapLink.pendingId = id;
    MapLink.pendingLatitude = latitudeDegrees;
    MapLink.pendingLongitude = longitudeDegrees;
    const HWND worker = MapLink.workerWindow;
    const bool starting = MapLink.workerStarting;
    LeaveCriticalSection(&MapLink.lock);
    // A worker still starting finds the question itself; without a worker it
    // would never be answered.
    const bool posted = worker != nullptr && PostMessageA(worker, kQuestionWaiting, 0, 0);
    if (!MapLink.running || (!posted && !starting)) {
        DropQuestion(id);
        PublishNotReadYet(id);
    }
    return id;
}

bool TakeMapAnswer(uint32_t questionId, MapAnswer *answer) {
    if (questionId == 0 || answer == nullptr) return false;
    // The worker holds the lock only to copy an answer in; rather than wait
    // for it, the caller asks again on its next frame.
    if (!TryEnterCriticalSection(&MapLink.lock)) return false;
    const bool ready = MapLink.answeredId == questionId;
    if (ready) CopyAnswer(MapLink.answer.header, MapLink.answer.paths, MapLink.answer.stands, answer);
    LeaveCriticalSection(&MapLink.lock);
    return ready;
}

void StartMapLink() {
    if (MapLink.running) return;
    WorkerStart *start = static_cast<WorkerStart *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(WorkerStart)));
    if (start == nullptr) return;
    lstrcpynA(start->folder, PushbackState.setupPath, sizeof start->folder);
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE process = GetCurrentProcess();
    if (stop == nullptr || !DuplicateHandle(process, stop, process, &start->stopEvent, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        if (stop != nullptr) CloseHandle(stop);
        HeapFree(GetProcessHeap(), 0, start);
        return;
    }
    // The worker keeps the add-on's code loaded until it has left it.
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&MapWorker), &start->module);
    const HMODULE module = start->module;
    EnterCriticalSection(&MapLink.lock);
    MapLink.workerStarting = true;
    LeaveCriticalSection(&MapLink.lock);
    // The simulator's own default stack would be reserved otherwise (a
    // megabyte or more of a 32-bit address space pilots already fill); the
    // worker's deepest call is a window procedure taking one answer.
    const SIZE_T kWorkerStack = 256u << 10;
    HANDLE thread = CreateThread(nullptr, kWorkerStack, MapWorker, start, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr) {
        EnterCriticalSection(&MapLink.lock);
        MapLink.workerStarting = false;
        LeaveCriticalSection(&MapLink.lock);
        if (module != nullptr) FreeLibrary(module);
        CloseHandle(start->stopEvent);
        CloseHandle(stop);
        HeapFree(GetProcessHeap(), 0, start);
        return;
    }
    MapLink.workerThread = thread;
    MapLink.stopEvent = stop;
    MapLink.running = true;
}

void EndMapLink() {
    if (!MapLink.running) return;
    MapLink.running = false;
    SetEvent(MapLink.stopEvent);
    // Bounded: a worker still inside a send to a hung program ends on its own
    // afterwards, with the module reference it holds.
    WaitForSingleObject(MapLink.workerThread, MapLinkTiming.stopWaitMs);
    CloseHandle(MapLink.workerThread);
    CloseHandle(MapLink.stopEvent);
    MapLink.workerThread = nullptr;
    MapLink.stopEvent = nullptr;
}
