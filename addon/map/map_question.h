// Asking DrovanaMap.exe, the program that reads the simulator's scenery
// library, what lies under a position. The simulator's main thread only hands
// the position over and later picks the answer up; a worker thread of the
// add-on does the talking, so a slow, hung or vanished map program never makes
// a frame wait.
#ifndef DROVANA_ADDON_MAP_MAP_QUESTION_H
#define DROVANA_ADDON_MAP_MAP_QUESTION_H

#include <windows.h>

#include "../../scenery/map_protocol.h"

struct MapAnswer {
    MapAnswerHeader header;
    MapPath paths[kMapMaxPaths];
    MapStand stands[kMapMaxStands];
};

// Main thread; never blocks: hands the position to the map worker and returns
// the question's id (never 0). A newer question replaces one not yet sent.
uint32_t AskMap(double latitudeDegrees, double longitudeDegrees);

// True once the answer to that question is in (copied into *answer). A map
// program that is gone, hung or too slow (no answer within a few seconds)
// gives MAP_NOT_READ_YET, and the next AskMap starts a new map program if its
// window is gone.
bool TakeMapAnswer(uint32_t questionId, MapAnswer *answer);

// Called from DLLStart and DLLStop: start the map program and the worker; end
// both within a bounded wait.
void StartMapLink();
void EndMapLink();

// How long the worker waits. The product runs with these; only tests shorten
// them, so that giving up on a stuck map program need not take their time.
struct MapLinkTimings {
    DWORD answerMs;    // a sent question's answer; longer means the program is stuck
    DWORD windowMs;    // a started program's window; longer means it is stuck starting
    DWORD closeMs;     // a program told to close, before it is ended by force
    DWORD stopWaitMs;  // EndMapLink, for the worker (it holds the module, so it may outlive this)
};
static const MapLinkTimings kMapLinkTimings = {4000, 10000, 2000, 500};
extern MapLinkTimings MapLinkTiming;

#endif
