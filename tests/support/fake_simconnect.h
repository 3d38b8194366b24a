// A SimConnect of the tests' own, linked in place of the import library: it
// records every call the add-on makes, and lets a test fail the open.
#ifndef DROVANA_TESTS_FAKE_SIMCONNECT_H
#define DROVANA_TESTS_FAKE_SIMCONNECT_H

#include <string>
#include <vector>

#include "SimConnect.h"

struct FakeCall {
    std::string function;  // "SimConnect_Text", ...
    std::string args;      // the arguments, comma separated, texts quoted
    std::string text;      // SimConnect_Text: the text up to its NUL
    DWORD size;            // SimConnect_Text: the size argument
    DWORD threadId;
};

namespace fake_simconnect {
extern HRESULT openResult;
extern DispatchProc dispatch;
std::vector<FakeCall> Calls();
std::vector<FakeCall> CallsOf(const std::string &function);
std::vector<std::string> Texts();
void Reset();
// The handle SimConnect_Open hands out; tests of code that runs on an open
// connection put it into PushbackState.simConnect.
HANDLE Connection();
// Hands a message to the dispatch callback the add-on registered.
void Deliver(SIMCONNECT_RECV *message, DWORD size);
}  // namespace fake_simconnect

#endif
