// What the add-on and DrovanaMap.exe, the program that reads the simulator's
// scenery library, say to each other. Both sides are built from this header
// for the same processor, but every field has a fixed width and alignment so
// that the layout reads the same in the 32-bit and the 64-bit build and can be
// written down for a pilot's bug report.
//
// The add-on never waits on the map program from the simulator's main thread:
// a worker of the add-on sends the question with SendMessageTimeoutA and waits
// for the answer on a message-only window of its own. The map program answers
// every question it accepts, at once: "not read yet" while it still reads the
// library, the answer for the position once it has.
#ifndef DROVANA_SCENERY_MAP_PROTOCOL_H
#define DROVANA_SCENERY_MAP_PROTOCOL_H

#include <stdint.h>

// The map program's window, found like the player's by class and title.
#define MAP_WINDOW_CLASS "DrovanaMapRead"
#define MAP_WINDOW_TITLE "DROVANA Airport Map"
#define MAP_PROGRAM_NAME "DrovanaMap.exe"

// WM_COPYDATA dwData of each direction.
const uint32_t kMapQuestionTag = 0x4D515531;  // "1UQM": a question, add-on to map
const uint32_t kMapAnswerTag = 0x4D414E31;    // "1NAM": an answer, map to the asker

// The answer to WM_COPYDATA of a question: accepted (an answer will be sent to
// replyWindow) or refused (wrong size or tag; nothing will come).
const intptr_t kMapQuestionAccepted = 1;
const intptr_t kMapQuestionRefused = 0;

#pragma pack(push, 4)

struct MapQuestion {
    uint32_t size;         // sizeof(MapQuestion)
    uint32_t questionId;   // echoed in the answer; the asker drops older ones
    uint32_t replyWindow;  // HWND of the asker's window (window handles fit 32 bits)
    uint32_t reserved;
    double latitude;   // degrees, north positive
    double longitude;  // degrees, east positive
};

enum MapStatus : uint32_t {
    MAP_NOT_READ_YET = 0,  // the library is still being read, or no map program answered
    MAP_NO_AIRPORT = 1,    // read, and no airport's taxi network within reach of the position
    MAP_AIRPORT = 2,       // the airport below, with its stand and taxi paths
};

// Pushback side as the scenery's author set it on the parking spot: the side
// the tail goes to.
enum MapPushbackSide : uint32_t { MAP_PUSH_NONE = 0, MAP_PUSH_LEFT = 1, MAP_PUSH_RIGHT = 2, MAP_PUSH_BOTH = 3 };

// Taxi path types as the airport record numbers them.
enum MapPathType : uint32_t {
    MAP_PATH_TAXI = 1,
    MAP_PATH_RUNWAY = 2,
    MAP_PATH_PARKING = 3,
    MAP_PATH_PATH = 4,
    MAP_PATH_CLOSED = 5,
    MAP_PATH_VEHICLE = 6,
};

const uint32_t kMapMaxPaths = 1024;  // the nearest ones, when an airport has more within reach
const double kMapReachMetres = 300.0;
// The aircraft stands whose circles reach within kMapReachMetres: a planned
// push must keep out of them. A large apron holds a few dozen within reach.
const uint32_t kMapMaxStands = 256;

struct MapPath {
    uint32_t type;  // MapPathType
    char name[12];  // taxiway name (up to 8 characters), the runway number, or empty; NUL-terminated
    float width;    // metres
    uint32_t reserved;
    double startLatitude, startLongitude;  // degrees
    double endLatitude, endLongitude;      // degrees
};

// A parking spot for aircraft (vehicle spots are left out).
struct MapStand {
    double latitude, longitude;  // degrees
    float radius;                // metres
    float heading;               // degrees true
};

struct MapAnswerHeader {
    uint32_t size;  // of the whole answer: header, pathCount paths, standCount stands
    uint32_t questionId;
    uint32_t status;      // MapStatus; the rest is meaningful only for MAP_AIRPORT
    int32_t layer;        // the scenery area's Layer the airport came from
    char icao[8];         // NUL-terminated
    char file[260];       // the BGL file it came from, Windows path, NUL-terminated (cut if longer)
    uint32_t hasParking;  // 1: the position lies in this parking spot's circle
    uint32_t parkingNumber;
    char parkingName[16];                      // "GATE_A", "PARKING", "NONE" ... NUL-terminated
    float parkingHeading;                      // degrees true
    float parkingRadius;                       // metres
    uint32_t pushbackSide;                     // MapPushbackSide
    uint32_t pathCount;                        // taxi paths with a point within kMapReachMetres, at most kMapMaxPaths
    double parkingLatitude, parkingLongitude;  // degrees
    uint32_t standCount;  // aircraft stands reaching within kMapReachMetres, the nearest first, at most kMapMaxStands
    // MapPath paths[pathCount] follow, then MapStand stands[standCount].
};

#pragma pack(pop)

static_assert(sizeof(MapQuestion) == 32, "the question's layout is fixed");
static_assert(sizeof(MapPath) == 56, "a path's layout is fixed");
static_assert(sizeof(MapStand) == 24, "a stand's layout is fixed");
static_assert(sizeof(MapAnswerHeader) == 344, "the answer header's layout is fixed");

// The longest answer there is.
const uint32_t kMapMaxAnswerBytes =
    sizeof(MapAnswerHeader) + kMapMaxPaths * sizeof(MapPath) + kMapMaxStands * sizeof(MapStand);

#endif
