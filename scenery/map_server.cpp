#include "map_server.h"

#include <string.h>

#include "../common/window_owner.h"

namespace {

const UINT WM_ANSWER_WAITING = WM_APP + 1;
// An asker that does not take its answer within this is given up: the
// add-on's side asks again.
const UINT kAnswerSendMs = 2000;

}  // namespace

MapServer::MapServer()
    : window_(nullptr),
      thread_(nullptr),
      read_(nullptr),
      after_(nullptr),
      readContext_(nullptr),
      stop_(0),
      map_(nullptr),
      queued_(0) {}

MapServer::~MapServer() {
    StopReading(INFINITE);
    if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
    delete Published();
}

bool MapServer::CreateMapWindow(HINSTANCE instance) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = MAP_WINDOW_CLASS;
    if (!RegisterOwnedClass(windowClass)) return false;
    // A top-level window (not message-only) so that FindWindow finds it; it
    // is never shown.
    window_ = CreateWindowExA(0, MAP_WINDOW_CLASS, MAP_WINDOW_TITLE, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                              300, 100, nullptr, nullptr, instance, this);
    return window_ != nullptr;
}

bool MapServer::StartReading(ReadMap read, void *context, AfterPublish after) {
    read_ = read;
    after_ = after;
    readContext_ = context;
    thread_ = CreateThread(nullptr, 0, ReadingThread, this, 0, nullptr);
    return thread_ != nullptr;
}

bool MapServer::StopReading(DWORD waitMs) {
    if (thread_ == nullptr) return true;
    InterlockedExchange(&stop_, 1);
    if (WaitForSingleObject(thread_, waitMs) != WAIT_OBJECT_0) return false;
    CloseHandle(thread_);
    thread_ = nullptr;
    return true;
}

AirportMap *MapServer::Published() const {
    return static_cast<AirportMap *>(
        InterlockedCompareExchangePointer(const_cast<void *volatile *>(&map_), nullptr, nullptr));
}

DWORD WINAPI MapServer::ReadingThread(void *self) {
    MapServer *server = static_cast<MapServer *>(self);
    AirportMap *map = server->read_(server->readContext_, &server->stop_);
    if (map == nullptr) map = new AirportMap();  // nothing read: every answer is "no airport"
    InterlockedExchangePointer(&server->map_, map);
    if (server->after_ != nullptr) server->after_(server->readContext_, &server->stop_);
    return 0;
}

void MapServer::AnswerFor(const MapQuestion &question, std::vector<uint8_t> *answer) const {
    answer->assign(kMapMaxAnswerBytes, 0);
    MapAnswerHeader header = {};
    header.questionId = question.questionId;
    header.size = sizeof header;
    header.status = MAP_NOT_READ_YET;
    const AirportMap *map = Published();
    if (map != nullptr) {
        MapStand stands[kMapMaxStands];
        map->Answer(question.latitude, question.longitude, &header,
                    reinterpret_cast<MapPath *>(answer->data() + sizeof header), kMapMaxPaths, stands, kMapMaxStands);
        memcpy(answer->data() + sizeof header + header.pathCount * sizeof(MapPath), stands,
               header.standCount * sizeof(MapStand));
    }
    memcpy(answer->data(), &header, sizeof header);
    answer->resize(header.size);
}

LRESULT MapServer::Accept(const COPYDATASTRUCT *data) {
    if (data == nullptr || data->dwData != kMapQuestionTag || data->cbData != sizeof(MapQuestion) ||
        data->lpData == nullptr)
        return kMapQuestionRefused;
    MapQuestion question;
    memcpy(&question, data->lpData, sizeof question);
    if (question.size != sizeof question || queued_ >= kQueueSize) return kMapQuestionRefused;
    queue_[queued_++] = question;
    // Answered after this returns: the asker may be waiting in its send.
    PostMessageA(window_, WM_ANSWER_WAITING, 0, 0);
    return kMapQuestionAccepted;
}

void MapServer::AnswerWaiting() {
    while (queued_ > 0) {
        const MapQuestion question = queue_[0];
        memmove(queue_, queue_ + 1, (queued_ - 1) * sizeof queue_[0]);
        --queued_;
        HWND reply = reinterpret_cast<HWND>(static_cast<uintptr_t>(question.replyWindow));
        if (!IsWindow(reply)) continue;
        AnswerFor(question, &answer_);
        COPYDATASTRUCT data;
        data.dwData = kMapAnswerTag;
        data.cbData = static_cast<DWORD>(answer_.size());
        data.lpData = answer_.data();
        DWORD_PTR result = 0;
        // Not blocking: questions of other askers are taken meanwhile (they
        // only join the queue, which this loop has already moved past).
        SendMessageTimeoutA(reply, WM_COPYDATA, reinterpret_cast<WPARAM>(window_), reinterpret_cast<LPARAM>(&data),
                            SMTO_ABORTIFHUNG | SMTO_NORMAL, kAnswerSendMs, &result);
    }
}

LRESULT CALLBACK MapServer::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MapServer *server = WindowOwner<MapServer>(window, message, lParam);
    if (server == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_COPYDATA:
        return server->Accept(reinterpret_cast<const COPYDATASTRUCT *>(lParam));
    case WM_ANSWER_WAITING:
        server->AnswerWaiting();
        return 0;
    case WM_DESTROY:
        server->window_ = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
