#include "fake_player.h"

#include "../../player/player_protocol.h"

namespace {

const char kPrivateClass[] = "DrovanaSoundTestPlayer";
const char kPrivateTitle[] = "Sound test player";

void RegisterClassOnce(const char *name) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = name;
    RegisterClassA(&windowClass);  // fails harmlessly once it exists
}

void RegisterPlayerClasses() {
    static bool registered = false;
    if (registered) return;
    RegisterClassOnce(kPlayerWindowClass);
    RegisterClassOnce(kPrivateClass);
    registered = true;
}

}  // namespace

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

FakePlayer::FakePlayer(const PlayerScript &script, Visibility visibility)
    : script_(script), visibility_(visibility), busyLeft_(script.busyAtStart), window_(nullptr), thread_(nullptr),
      ready_(nullptr) {
    InitializeCriticalSection(&lock_);
    RegisterPlayerClasses();
    ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    WaitForSingleObject(ready_, 10000);
}

FakePlayer::~FakePlayer() {
    if (window_ != nullptr) PostMessageA(window_, WM_CLOSE, 0, 0);
    WaitForSingleObject(thread_, 10000);
    CloseHandle(thread_);
    CloseHandle(ready_);
    DeleteCriticalSection(&lock_);
}

DWORD WINAPI FakePlayer::Run(LPVOID self) {
    FakePlayer *player = static_cast<FakePlayer *>(self);
    const bool findable = player->visibility_ == FINDABLE;
    HWND window = CreateWindowExA(0, findable ? kPlayerWindowClass : kPrivateClass,
                                  findable ? kPlayerWindowTitle : kPrivateTitle,
                                  WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 300, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    if (window != nullptr) {
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(player));
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WindowProc));
    }
    player->window_ = window;
    SetEvent(player->ready_);
    if (window == nullptr) return 1;

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

LRESULT CALLBACK FakePlayer::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    FakePlayer *player = reinterpret_cast<FakePlayer *>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case kPlayerStatusQuery: {
        PlayerEvent event = {PlayerEvent::STATUS_QUERY, NowMs(), player->Answer(), std::string(), 0, 0};
        player->Record(event);
        return event.answer;
    }
    case WM_COPYDATA: {
        const COPYDATASTRUCT *request = reinterpret_cast<const COPYDATASTRUCT *>(lParam);
        PlayerEvent event = {PlayerEvent::FILE_REQUEST, NowMs(), 0, std::string(), request->cbData,
                             request->dwData};
        // Read no further than the sender said it sent.
        const char *text = static_cast<const char *>(request->lpData);
        for (DWORD i = 0; text != nullptr && i < request->cbData && text[i] != '\0'; ++i) event.path += text[i];
        player->Record(event);
        player->busyLeft_ = player->script_.busyAfterFile;
        return 0;
    }
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT FakePlayer::Answer() {
    if (script_.alwaysBusy) return kPlayerPlaying;
    if (busyLeft_ > 0) {
        --busyLeft_;
        return kPlayerPlaying;
    }
    return kPlayerIdle;
}

void FakePlayer::Record(const PlayerEvent &event) {
    EnterCriticalSection(&lock_);
    events_.push_back(event);
    LeaveCriticalSection(&lock_);
}

std::vector<PlayerEvent> FakePlayer::Events() const {
    EnterCriticalSection(&lock_);
    std::vector<PlayerEvent> copy = events_;
    LeaveCriticalSection(&lock_);
    return copy;
}

std::vector<PlayerEvent> FakePlayer::Files() const {
    std::vector<PlayerEvent> files;
    for (const PlayerEvent &event : Events())
        if (event.kind == PlayerEvent::FILE_REQUEST) files.push_back(event);
    return files;
}

std::vector<PlayerEvent> FakePlayer::Queries() const {
    std::vector<PlayerEvent> queries;
    for (const PlayerEvent &event : Events())
        if (event.kind == PlayerEvent::STATUS_QUERY) queries.push_back(event);
    return queries;
}

HWND DestroyedPlayerWindow() {
    RegisterPlayerClasses();
    HWND window = CreateWindowExA(0, kPlayerWindowClass, kPlayerWindowTitle, WS_OVERLAPPEDWINDOW, 0, 0, 300, 100, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    DestroyWindow(window);
    return window;
}
