// The map program's window: it takes questions by WM_COPYDATA (see
// map_protocol.h) and answers each at once, from the map the reading thread
// has published or with "not read yet" while there is none. The window
// procedure never reads a file: the library is read on a thread of its own.
#ifndef DROVANA_SCENERY_MAP_SERVER_H
#define DROVANA_SCENERY_MAP_SERVER_H

#include <windows.h>

#include <vector>

#include "airport_map.h"
#include "map_protocol.h"

class MapServer {
public:
    // Builds the map that the server then answers from; runs on the reading
    // thread. stop is set when the program ends.
    typedef AirportMap *(*ReadMap)(void *context, volatile LONG *stop);
    // Runs on the reading thread once the map answers: work the first
    // answer need not wait for.
    typedef void (*AfterPublish)(void *context, volatile LONG *stop);

    MapServer();
    ~MapServer();
    MapServer(const MapServer &) = delete;
    MapServer &operator=(const MapServer &) = delete;

    // The hidden window of MAP_WINDOW_CLASS and MAP_WINDOW_TITLE.
    bool CreateMapWindow(HINSTANCE instance);
    HWND Window() const { return window_; }
    // Starts the reading thread.
    bool StartReading(ReadMap read, void *context, AfterPublish after = nullptr);
    // Asks the reading thread to end and waits for it, at most waitMs; false
    // when it still runs.
    bool StopReading(DWORD waitMs);

    // The answer a question gets now: its bytes, header and paths.
    void AnswerFor(const MapQuestion &question, std::vector<uint8_t> *answer) const;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static DWORD WINAPI ReadingThread(void *self);
    LRESULT Accept(const COPYDATASTRUCT *data);
    void AnswerWaiting();

    static const int kQueueSize = 16;
    HWND window_;
    HANDLE thread_;
    ReadMap read_;
    AfterPublish after_;
    void *readContext_;
    volatile LONG stop_;
    AirportMap *Published() const;
    void *volatile map_;  // the AirportMap, published once by the reading thread
    MapQuestion queue_[kQueueSize];
    int queued_;
    std::vector<uint8_t> answer_;
};

#endif
