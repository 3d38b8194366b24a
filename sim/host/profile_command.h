// The scenario's `profile SPEED RATE DELAY`: one tug behaviour for every
// aircraft of the run, whatever its name, so a test can define aircraft the
// three profiles do not cover. Engines stay those of the aircraft's profile.
#ifndef DROVANA_SIM_PROFILE_COMMAND_H
#define DROVANA_SIM_PROFILE_COMMAND_H

#include <string>

#include "profiles.h"

struct TugBehaviour {
    bool given = false;
    double pushSpeed = 0.0;  // metres per second, 0.2 to 3
    double turnRate = 0.0;   // degrees per second, 0.3 to 3
    double turnDelay = 0.0;  // metres, 0 to 30
};

// Parses the command's three numbers; false with a message when one is
// missing, no number, or out of its range.
bool ParseProfileCommand(const std::string &arguments, TugBehaviour *behaviour, std::string *error);

// From now on every aircraft loaded gets this behaviour (a behaviour not
// given leaves the profiles as they are).
void UseTugBehaviour(const TugBehaviour &behaviour);
void ApplyTugBehaviour(AircraftProfile *profile);

#endif
