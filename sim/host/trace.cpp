#include "trace.h"

#include <windows.h>

#include <stdio.h>

namespace {

CRITICAL_SECTION traceLock;
bool lockReady = false;
FILE *traceFile = nullptr;
LARGE_INTEGER clockStart;
LARGE_INTEGER clockFrequency;

void EnsureLock() {
    if (!lockReady) {
        InitializeCriticalSection(&traceLock);
        lockReady = true;
    }
}

}  // namespace

bool OpenTrace(const char *path) {
    EnsureLock();
    traceFile = fopen(path, "wb");
    return traceFile != nullptr;
}

void CloseTrace() {
    EnterCriticalSection(&traceLock);
    if (traceFile != nullptr) fclose(traceFile);
    traceFile = nullptr;
    LeaveCriticalSection(&traceLock);
}

void WriteTraceLine(const char *jsonLine) {
    EnsureLock();
    EnterCriticalSection(&traceLock);
    if (traceFile != nullptr) {
        fputs(jsonLine, traceFile);
        fputc('\n', traceFile);
        // Flushed line by line: a crash of the add-on must not lose what led to it.
        fflush(traceFile);
    }
    LeaveCriticalSection(&traceLock);
}

void PrintConsoleLine(const char *line) {
    EnsureLock();
    EnterCriticalSection(&traceLock);
    fputs(line, stdout);
    fputc('\n', stdout);
    fflush(stdout);
    LeaveCriticalSection(&traceLock);
}

void StartRunClock() {
    QueryPerformanceFrequency(&clockFrequency);
    QueryPerformanceCounter(&clockStart);
}

double RunSeconds() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    if (clockFrequency.QuadPart == 0) return 0.0;
    return static_cast<double>(now.QuadPart - clockStart.QuadPart) / static_cast<double>(clockFrequency.QuadPart);
}

JsonLine Record(const char *event) {
    JsonLine record(event);
    record.Num("t", RunSeconds());
    return record;
}

void Emit(JsonLine &record) { WriteTraceLine(record.Finish()); }
