// The run's trace file (one JSON object a line) and its console, shared by the
// host and the stand-in SimConnect.dll, from any thread.
#ifndef DROVANA_SIM_TRACE_H
#define DROVANA_SIM_TRACE_H

#include "../common/json_line.h"

bool OpenTrace(const char *path);
void CloseTrace();
void WriteTraceLine(const char *jsonLine);
void PrintConsoleLine(const char *line);
// Seconds since the clock was started.
void StartRunClock();
double RunSeconds();

// A record with the time in it; Emit writes it.
JsonLine Record(const char *event);
void Emit(JsonLine &record);

#endif
