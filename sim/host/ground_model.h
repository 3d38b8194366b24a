// The user aircraft on the ground and the simulator's pushback, driven only by
// the key-downs that reach the simulator's own window procedure and by the
// scenario's `set` commands. Position moves on a sphere on which one minute of
// arc is 1852 m, the same sphere the add-on measures distances on.
#ifndef DROVANA_SIM_GROUND_MODEL_H
#define DROVANA_SIM_GROUND_MODEL_H

#include <string>

#include "../simconnect/standin.h"
#include "profiles.h"

enum PushbackMode { PUSHBACK_OFF, PUSHBACK_STRAIGHT, PUSHBACK_LEFT, PUSHBACK_RIGHT };

class GroundModel {
public:
    GroundModel();

    void LoadAircraft(const char *name);
    const std::string &AircraftName() const { return aircraftName_; }
    const AircraftProfile &Profile() const { return profile_; }

    // What the key did to the pushback: "started", "stopped", "turn_left",
    // "turn_right", or "none".
    const char *OnKeyDown(unsigned vk, bool shift);
    void Step(double seconds);

    void SetOnGround(bool onGround);
    // The simulator ends its pushback by itself (the tug leaves, say), with
    // no key pressed.
    void EndPushbackBySimulator();
    void SetBrake(double position) { brake_ = position; }
    void SetEngine(int number, bool running);
    void SetHeading(double degrees);
    void SetPosition(double latitudeDegrees, double longitudeDegrees);

    StandInAircraft Snapshot() const;
    void TraceState(int dialogMode, bool playerWindow) const;

    PushbackMode Mode() const { return mode_; }
    bool Turning() const { return turning_; }
    static const char *ModeName(PushbackMode mode);

private:
    void Change(const char *change, const char *cause);
    void Start(const char *cause);
    void Stop(const char *cause);
    void Turn(PushbackMode direction, const char *cause);

    std::string aircraftName_;
    AircraftProfile profile_;
    double latitude_;   // radians
    double longitude_;  // radians
    double heading_;    // degrees true, [0, 360)
    double altitude_;   // feet
    bool onGround_;
    double brake_;
    bool engines_[4];

    PushbackMode mode_;
    bool turning_;         // the heading is changing
    double delayLeft_;     // metres still to roll before the heading changes
    double sinceTurnKey_;  // metres rolled since the turn key
    double lastStop_;      // run time of the last stop
    double gateLatitude_;
    double gateLongitude_;
    double path_;  // metres moved in all
};

// Great-circle distance in metres on the add-on's sphere.
double SphereDistance(double lat1, double lon1, double lat2, double lon2);

#endif
