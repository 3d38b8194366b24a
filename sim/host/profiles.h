// The aircraft the stand-in can load, each with the behaviour of the tug that
// pushes it (documented in sim/PROFILES.md).
#ifndef DROVANA_SIM_PROFILES_H
#define DROVANA_SIM_PROFILES_H

struct AircraftProfile {
    const char *name;
    int engines;
    double pushSpeed;  // metres per second, straight and turning
    double turnRate;   // degrees per second once the turn has begun
    double turnDelay;  // metres rolled after a turn key before the heading changes
};

// Case-insensitive; nullptr for a name no profile has.
const AircraftProfile *FindProfile(const char *name);
const AircraftProfile &DefaultProfile();

#endif
