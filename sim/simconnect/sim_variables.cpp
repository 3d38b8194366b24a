#include "sim_variables.h"

#include <ctype.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

namespace {

enum Source {
    SRC_LATITUDE,
    SRC_LONGITUDE,
    SRC_ALTITUDE,
    SRC_HEADING,
    SRC_ON_GROUND,
    SRC_ENGINE_COUNT,
    SRC_COMBUSTION1,  // .. SRC_COMBUSTION1 + 3
    SRC_BRAKE = SRC_COMBUSTION1 + 4,
    SRC_GROUND_SPEED,
    SRC_PUSHBACK_STATE
};

enum Quantity { Q_ANGLE, Q_LENGTH, Q_SPEED, Q_PLAIN, Q_FRACTION };

// Upper case, surrounding blanks dropped, bounded.
void Normalise(const char *in, char (&out)[128]) {
    size_t n = 0;
    if (in != nullptr) {
        while (*in == ' ') ++in;
        while (*in != '\0' && n < sizeof out - 1)
            out[n++] = static_cast<char>(toupper(static_cast<unsigned char>(*in++)));
    }
    while (n > 0 && out[n - 1] == ' ') --n;
    out[n] = '\0';
}

bool UnitScale(Quantity quantity, const char *units, double *scale) {
    char u[128];
    Normalise(units, u);
    const double pi = acos(-1.0);
    switch (quantity) {
    case Q_ANGLE:
        if (!strcmp(u, "RADIANS") || !strcmp(u, "RADIAN")) {
            *scale = 1.0;
            return true;
        }
        if (!strcmp(u, "DEGREES") || !strcmp(u, "DEGREE")) {
            *scale = 180.0 / pi;
            return true;
        }
        return false;
    case Q_LENGTH:
        if (!strcmp(u, "FEET") || !strcmp(u, "FOOT") || !strcmp(u, "FT")) {
            *scale = 1.0;
            return true;
        }
        if (!strcmp(u, "METERS") || !strcmp(u, "METRES") || !strcmp(u, "METER") || !strcmp(u, "M")) {
            *scale = 0.3048;
            return true;
        }
        return false;
    case Q_SPEED:
        if (!strcmp(u, "METERS PER SECOND") || !strcmp(u, "M/S")) {
            *scale = 1.0;
            return true;
        }
        if (!strcmp(u, "KNOTS") || !strcmp(u, "KNOT")) {
            *scale = 3600.0 / 1852.0;
            return true;
        }
        if (!strcmp(u, "FEET PER SECOND")) {
            *scale = 1.0 / 0.3048;
            return true;
        }
        return false;
    case Q_PLAIN:
        if (!strcmp(u, "BOOL") || !strcmp(u, "NUMBER") || !strcmp(u, "ENUM") || !strcmp(u, "")) {
            *scale = 1.0;
            return true;
        }
        return false;
    case Q_FRACTION:
        if (!strcmp(u, "POSITION") || !strcmp(u, "PERCENT OVER 100") || !strcmp(u, "BOOL")) {
            *scale = 1.0;
            return true;
        }
        if (!strcmp(u, "PERCENT")) {
            *scale = 100.0;
            return true;
        }
        if (!strcmp(u, "POSITION 16K")) {
            *scale = 16384.0;
            return true;
        }
        if (!strcmp(u, "POSITION 32K")) {
            *scale = 32767.0;
            return true;
        }
        return false;
    }
    return false;
}

}  // namespace

VariableBinding BindVariable(const char *variable, const char *units) {
    char v[128];
    Normalise(variable, v);
    int index = 0;
    char *colon = strchr(v, ':');
    if (colon != nullptr) {
        index = atoi(colon + 1);
        *colon = '\0';
    }
    struct Entry {
        const char *name;
        int source;
        Quantity quantity;
    };
    static const Entry kTable[] = {
        {"PLANE LATITUDE", SRC_LATITUDE, Q_ANGLE},         {"PLANE LONGITUDE", SRC_LONGITUDE, Q_ANGLE},
        {"PLANE ALTITUDE", SRC_ALTITUDE, Q_LENGTH},        {"PLANE HEADING DEGREES TRUE", SRC_HEADING, Q_ANGLE},
        {"SIM ON GROUND", SRC_ON_GROUND, Q_PLAIN},         {"NUMBER OF ENGINES", SRC_ENGINE_COUNT, Q_PLAIN},
        {"ENG COMBUSTION", SRC_COMBUSTION1, Q_PLAIN},      {"GENERAL ENG COMBUSTION", SRC_COMBUSTION1, Q_PLAIN},
        {"BRAKE PARKING POSITION", SRC_BRAKE, Q_FRACTION}, {"GROUND VELOCITY", SRC_GROUND_SPEED, Q_SPEED},
        {"PUSHBACK STATE", SRC_PUSHBACK_STATE, Q_PLAIN},
    };
    VariableBinding binding = {-1, 1.0, false};
    for (const Entry &entry : kTable) {
        if (strcmp(v, entry.name) != 0) continue;
        if (entry.source == SRC_COMBUSTION1) {
            if (index < 1 || index > 4) return binding;
            binding.source = SRC_COMBUSTION1 + index - 1;
        } else {
            binding.source = entry.source;
        }
        binding.unitsKnown = UnitScale(entry.quantity, units, &binding.scale);
        if (!binding.unitsKnown) binding.scale = 1.0;
        return binding;
    }
    return binding;
}

double ReadVariable(const VariableBinding &binding, const StandInAircraft &a) {
    double value = 0.0;
    switch (binding.source) {
    case SRC_LATITUDE:
        value = a.latitude;
        break;
    case SRC_LONGITUDE:
        value = a.longitude;
        break;
    case SRC_ALTITUDE:
        value = a.altitude;
        break;
    case SRC_HEADING:
        value = a.heading;
        break;
    case SRC_ON_GROUND:
        value = a.onGround;
        break;
    case SRC_ENGINE_COUNT:
        value = a.engineCount;
        break;
    case SRC_COMBUSTION1:
    case SRC_COMBUSTION1 + 1:
    case SRC_COMBUSTION1 + 2:
    case SRC_COMBUSTION1 + 3:
        value = a.combustion[binding.source - SRC_COMBUSTION1];
        break;
    case SRC_BRAKE:
        value = a.parkingBrake;
        break;
    case SRC_GROUND_SPEED:
        value = a.groundSpeed;
        break;
    case SRC_PUSHBACK_STATE:
        value = a.pushbackState;
        break;
    default:
        return 0.0;
    }
    return value * binding.scale;
}
