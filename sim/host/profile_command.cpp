#include "profile_command.h"

#include <stdio.h>
#include <stdlib.h>

namespace {

TugBehaviour g_behaviour;

struct Range {
    const char *what;
    double minimum, maximum;
};

const Range kRanges[3] = {{"SPEED (m/s)", 0.2, 3.0}, {"RATE (deg/s)", 0.3, 3.0}, {"DELAY (m)", 0.0, 30.0}};

}  // namespace

bool ParseProfileCommand(const std::string &arguments, TugBehaviour *behaviour, std::string *error) {
    double values[3];
    const char *p = arguments.c_str();
    for (int i = 0; i < 3; ++i) {
        char *end = nullptr;
        values[i] = strtod(p, &end);
        const bool isNumber = end != p && (*end == '\0' || *end == ' ' || *end == '\t');
        if (!isNumber || !(values[i] >= kRanges[i].minimum && values[i] <= kRanges[i].maximum)) {
            char message[128];
            snprintf(message, sizeof message, "profile needs SPEED RATE DELAY: %s must lie in %g to %g",
                     kRanges[i].what, kRanges[i].minimum, kRanges[i].maximum);
            *error = message;
            return false;
        }
        p = end;
    }
    while (*p == ' ' || *p == '\t') ++p;
    if (*p != '\0') {
        *error = "profile takes three numbers: SPEED RATE DELAY";
        return false;
    }
    behaviour->given = true;
    behaviour->pushSpeed = values[0];
    behaviour->turnRate = values[1];
    behaviour->turnDelay = values[2];
    return true;
}

void UseTugBehaviour(const TugBehaviour &behaviour) { g_behaviour = behaviour; }

void ApplyTugBehaviour(AircraftProfile *profile) {
    if (!g_behaviour.given) return;
    profile->pushSpeed = g_behaviour.pushSpeed;
    profile->turnRate = g_behaviour.turnRate;
    profile->turnDelay = g_behaviour.turnDelay;
}
