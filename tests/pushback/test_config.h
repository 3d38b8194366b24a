// A Drovana.cfg of the test's own in the temporary folder, removed afterwards.
#ifndef DROVANA_TESTS_PUSHBACK_TEST_CONFIG_H
#define DROVANA_TESTS_PUSHBACK_TEST_CONFIG_H

#include <windows.h>
#include <stdio.h>

#include <string>

#include <math.h>

#include "core/state.h"
#include "pushback/ground_distance.h"

class TestConfig {
public:
    TestConfig() {
        char folder[MAX_PATH];
        GetTempPathA(sizeof folder, folder);
        snprintf(PushbackState.configPath, sizeof PushbackState.configPath, "%sdrovana_push_%lu.cfg", folder,
                 GetCurrentProcessId());
        path_ = PushbackState.configPath;
        DeleteFileA(path_.c_str());
    }
    ~TestConfig() { DeleteFileA(path_.c_str()); }
    void Set(const char *section, const char *key, const char *value) {
        WritePrivateProfileStringA(section, key, value, path_.c_str());
    }
    std::string Get(const char *section, const char *key) {
        char value[256] = {};
        GetPrivateProfileStringA(section, key, "<missing>", value, sizeof value, path_.c_str());
        return value;
    }
    // ResetAddonState empties configPath; the fixture puts it back.
    void Use() { lstrcpynA(PushbackState.configPath, path_.c_str(), sizeof PushbackState.configPath); }

private:
    std::string path_;
};

// Radians that the add-on reads back as exactly this many degrees, so the
// boundary cases are tested at the boundary and not next to it.
inline double RadiansFor(double degrees) {
    double radians = degrees / 180.0 * acos(-1.0);
    for (int i = 0; i < 8 && HeadingDegrees(radians) != degrees; ++i)
        radians = nextafter(radians, HeadingDegrees(radians) < degrees ? 10.0 : -10.0);
    return radians;
}

#endif
