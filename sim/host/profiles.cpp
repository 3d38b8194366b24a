#include "profiles.h"

#include <windows.h>

namespace {

// Turn rates stay well below 2 degrees per second: the add-on samples the
// heading once a second and ends a turn inside a 2-degree window, so a faster
// turn could step over it. Push speeds are low enough that the correction
// measurement (first 300 ms sample 1 degree into the turn) lands within a
// metre of the turn delay.
const AircraftProfile kProfiles[] = {
    {"Liner", 2, 0.9, 1.5, 6.0},
    {"Prop", 1, 0.7, 1.6, 2.5},
    {"Heavy", 4, 0.6, 1.0, 11.0},
};

}  // namespace

const AircraftProfile *FindProfile(const char *name) {
    for (const AircraftProfile &p : kProfiles)
        if (lstrcmpiA(p.name, name) == 0) return &p;
    return nullptr;
}

const AircraftProfile &DefaultProfile() { return kProfiles[0]; }
