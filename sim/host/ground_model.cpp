#include "ground_model.h"

#include <math.h>
#include <string.h>

#include "profile_command.h"
#include "trace.h"

namespace {

const double kPi = 3.14159265358979323846;
// One minute of arc of a great circle is one nautical mile.
const double kSphereRadius = 1852.0 * 60.0 * 180.0 / kPi;

// A gate at Seattle-Tacoma, the simulator's default airport.
const double kGateLatitude = 47.4433;
const double kGateLongitude = -122.3025;
const double kGateHeading = 150.0;
const double kGateAltitude = 433.0;

const double kRestartWindow = 1.0;  // a start this soon after a stop is a restart

double Radians(double degrees) { return degrees * kPi / 180.0; }
double Degrees(double radians) { return radians * 180.0 / kPi; }

double WrapDegrees(double degrees) {
    degrees = fmod(degrees, 360.0);
    if (degrees < 0.0) degrees += 360.0;
    if (degrees >= 360.0) degrees -= 360.0;
    return degrees;
}

}  // namespace

double SphereDistance(double lat1, double lon1, double lat2, double lon2) {
    // Haversine: exact on the sphere and well behaved for short distances.
    const double dLat = lat2 - lat1;
    const double dLon = lon2 - lon1;
    const double a = sin(dLat / 2) * sin(dLat / 2) + cos(lat1) * cos(lat2) * sin(dLon / 2) * sin(dLon / 2);
    return 2.0 * kSphereRadius * asin(sqrt(a < 1.0 ? a : 1.0));
}

GroundModel::GroundModel()
    : profile_(DefaultProfile()),
      latitude_(Radians(kGateLatitude)),
      longitude_(Radians(kGateLongitude)),
      heading_(kGateHeading),
      altitude_(kGateAltitude),
      onGround_(true),
      brake_(0.0),
      engines_{false, false, false, false},
      mode_(PUSHBACK_OFF),
      turning_(false),
      delayLeft_(0.0),
      sinceTurnKey_(0.0),
      lastStop_(-1e9),
      gateLatitude_(latitude_),
      gateLongitude_(longitude_),
      path_(0.0) {
    aircraftName_ = profile_.name;
}

void GroundModel::LoadAircraft(const char *name) {
    const AircraftProfile *profile = FindProfile(name);
    // An aircraft without a profile of its own is pushed like the default.
    profile_ = profile != nullptr ? *profile : DefaultProfile();
    ApplyTugBehaviour(&profile_);
    aircraftName_ = name;
    for (int i = 0; i < 4; ++i) engines_[i] = false;
}

const char *GroundModel::ModeName(PushbackMode mode) {
    switch (mode) {
    case PUSHBACK_STRAIGHT:
        return "straight";
    case PUSHBACK_LEFT:
        return "left";
    case PUSHBACK_RIGHT:
        return "right";
    default:
        return "off";
    }
}

void GroundModel::Change(const char *change, const char *cause) {
    JsonLine record = Record("pushback");
    record.Str("change", change).Str("state", ModeName(mode_)).Bool("turning", turning_).Str("cause", cause);
    record.Num("heading_deg", heading_).Num("lat_deg", Degrees(latitude_)).Num("lon_deg", Degrees(longitude_));
    if (!strcmp(change, "started")) record.Bool("restart", RunSeconds() - lastStop_ < kRestartWindow);
    if (!strcmp(change, "turning") || !strcmp(change, "stopped")) record.Num("since_turn_key_m", sinceTurnKey_);
    if (!strcmp(change, "turn_left") || !strcmp(change, "turn_right")) record.Num("delay_m", profile_.turnDelay);
    Emit(record);
}

void GroundModel::Start(const char *cause) {
    mode_ = PUSHBACK_STRAIGHT;
    turning_ = false;
    delayLeft_ = 0.0;
    sinceTurnKey_ = 0.0;
    Change("started", cause);
}

void GroundModel::Stop(const char *cause) {
    mode_ = PUSHBACK_OFF;
    turning_ = false;
    Change("stopped", cause);
    lastStop_ = RunSeconds();
}

void GroundModel::Turn(PushbackMode direction, const char *cause) {
    mode_ = direction;
    turning_ = false;
    delayLeft_ = profile_.turnDelay;
    sinceTurnKey_ = 0.0;
    Change(direction == PUSHBACK_LEFT ? "turn_left" : "turn_right", cause);
}

const char *GroundModel::OnKeyDown(unsigned vk, bool shift) {
    if (vk == 'P' && shift) {
        if (mode_ != PUSHBACK_OFF) {
            Stop("Shift+P");
            return "stopped";
        }
        if (!onGround_) return "none";
        Start("Shift+P");
        return "started";
    }
    if ((vk == '1' || vk == '2') && mode_ != PUSHBACK_OFF) {
        const PushbackMode direction = vk == '1' ? PUSHBACK_LEFT : PUSHBACK_RIGHT;
        if (direction == mode_) return "none";
        Turn(direction, vk == '1' ? "1" : "2");
        return direction == PUSHBACK_LEFT ? "turn_left" : "turn_right";
    }
    return "none";
}

void GroundModel::Step(double seconds) {
    if (mode_ == PUSHBACK_OFF || seconds <= 0.0) return;
    double distance = profile_.pushSpeed * seconds;
    double turnSeconds = 0.0;
    if (mode_ == PUSHBACK_LEFT || mode_ == PUSHBACK_RIGHT) {
        sinceTurnKey_ += distance;
        if (turning_) {
            turnSeconds = seconds;
        } else {
            delayLeft_ -= distance;
            if (delayLeft_ <= 0.0) {
                turning_ = true;
                // Only the part of the frame past the delay turns.
                turnSeconds = -delayLeft_ / profile_.pushSpeed;
                Change("turning", "delay rolled");
            }
        }
    }
    // The tail leads: the aircraft moves opposite to its heading.
    const double bearing = Radians(heading_ + 180.0);
    const double angle = distance / kSphereRadius;
    const double lat2 = asin(sin(latitude_) * cos(angle) + cos(latitude_) * sin(angle) * cos(bearing));
    const double lon2 =
        longitude_ + atan2(sin(bearing) * sin(angle) * cos(latitude_), cos(angle) - sin(latitude_) * sin(lat2));
    latitude_ = lat2;
    longitude_ = lon2;
    path_ += distance;
    // Tail left swings the nose right: the heading increases.
    if (turnSeconds > 0.0) {
        const double sign = mode_ == PUSHBACK_LEFT ? 1.0 : -1.0;
        heading_ = WrapDegrees(heading_ + sign * profile_.turnRate * turnSeconds);
    }
}

void GroundModel::SetOnGround(bool onGround) {
    onGround_ = onGround;
    if (!onGround_ && mode_ != PUSHBACK_OFF) Stop("airborne");
}

void GroundModel::EndPushbackBySimulator() {
    if (mode_ != PUSHBACK_OFF) Stop("simulator");
}

void GroundModel::SetEngine(int number, bool running) {
    if (number >= 1 && number <= 4) engines_[number - 1] = running;
}

void GroundModel::SetHeading(double degrees) { heading_ = WrapDegrees(degrees); }

void GroundModel::SetPosition(double latitudeDegrees, double longitudeDegrees) {
    latitude_ = Radians(latitudeDegrees);
    longitude_ = Radians(longitudeDegrees);
    gateLatitude_ = latitude_;
    gateLongitude_ = longitude_;
}

StandInAircraft GroundModel::Snapshot() const {
    StandInAircraft a;
    a.latitude = latitude_;
    a.longitude = longitude_;
    a.altitude = altitude_;
    a.heading = Radians(heading_);
    a.onGround = onGround_ ? 1.0 : 0.0;
    a.engineCount = profile_.engines;
    for (int i = 0; i < 4; ++i) a.combustion[i] = engines_[i] ? 1.0 : 0.0;
    a.parkingBrake = brake_;
    a.groundSpeed = mode_ != PUSHBACK_OFF ? profile_.pushSpeed : 0.0;
    switch (mode_) {
    case PUSHBACK_STRAIGHT:
        a.pushbackState = 0;
        break;
    case PUSHBACK_LEFT:
        a.pushbackState = 1;
        break;
    case PUSHBACK_RIGHT:
        a.pushbackState = 2;
        break;
    default:
        a.pushbackState = 3;
        break;
    }
    return a;
}

void GroundModel::TraceState(int dialogMode, bool playerWindow) const {
    JsonLine record = Record("state");
    record.Num("lat_deg", Degrees(latitude_)).Num("lon_deg", Degrees(longitude_));
    record.Num("lat_rad", latitude_).Num("lon_rad", longitude_).Num("heading_deg", heading_);
    record.Num("alt_ft", altitude_).Str("pushback", ModeName(mode_)).Bool("turning", turning_);
    record.Int("on_ground", onGround_ ? 1 : 0).Num("brake", brake_);
    const double engines[4] = {engines_[0] ? 1.0 : 0.0, engines_[1] ? 1.0 : 0.0, engines_[2] ? 1.0 : 0.0,
                               engines_[3] ? 1.0 : 0.0};
    record.Nums("engines", engines, 4).Int("engine_count", profile_.engines);
    record.Str("aircraft", aircraftName_.c_str());
    record.Num("speed_mps", mode_ != PUSHBACK_OFF ? profile_.pushSpeed : 0.0);
    record.Num("gate_m", SphereDistance(gateLatitude_, gateLongitude_, latitude_, longitude_));
    record.Num("path_m", path_).Int("dialog_mode", dialogMode).Bool("player_window", playerWindow);
    Emit(record);
}
