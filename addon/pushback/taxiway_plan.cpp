#include "taxiway_plan.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "measurement.h"

namespace {

const double kPi = 3.14159265358979323846;
// The sphere the add-on measures ground distance on: a minute of arc is 1852 m.
const double kMetresPerDegree = 60.0 * 1852.0;
// A turn smaller than this is no turn: the line runs along the push.
const double kLeastTurnDegrees = 0.5;
// How farEnd the end may lie past a segment's end and still be on it (rounding of
// the map's coordinates).
const double kOnSegmentMetres = 0.05;
// Segments of one straight line meet end to end: how close their ends lie and
// how little their directions differ.
const double kJoinMetres = 0.5;
const double kJoinDegrees = 2.0;
const int kMostJoins = 16;
// The planned arc is checked against runways in steps of this angle.
const double kArcStepDegrees = 2.0;

struct Vec {
    double x;  // east
    double y;  // north
};

Vec Add(Vec a, Vec b) { return Vec{a.x + b.x, a.y + b.y}; }
Vec Sub(Vec a, Vec b) { return Vec{a.x - b.x, a.y - b.y}; }
Vec Scale(Vec a, double k) { return Vec{a.x * k, a.y * k}; }
double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
double Cross(Vec a, Vec b) { return a.x * b.y - a.y * b.x; }
double Length(Vec a) { return sqrt(Dot(a, a)); }

// The unit vector of a bearing in degrees (clockwise from north).
Vec Bearing(double degrees) {
    const double r = degrees * kPi / 180.0;
    return Vec{sin(r), cos(r)};
}

double BearingOf(Vec a) { return atan2(a.x, a.y) * 180.0 / kPi; }

double Normalised(double degrees) {
    double d = fmod(degrees, 360.0);
    if (d < 0.0) d += 360.0;
    return d;
}

// Metres east and north of the aircraft, on the add-on's sphere.
struct LocalFrame {
    double latitude;
    double longitude;
    double eastPerDegree;

    Vec ToLocal(double lat, double lon) const {
        double dLon = lon - longitude;
        if (dLon > 180.0) dLon -= 360.0;
        if (dLon < -180.0) dLon += 360.0;
        return Vec{dLon * eastPerDegree, (lat - latitude) * kMetresPerDegree};
    }
    void ToDegrees(Vec p, double *lat, double *lon) const {
        *lat = latitude + p.y / kMetresPerDegree;
        *lon = longitude + (eastPerDegree > 0.0 ? p.x / eastPerDegree : 0.0);
    }
};

double PointSegmentDistance(Vec p, Vec a, Vec b) {
    const Vec ab = Sub(b, a);
    const double lengthSquared = Dot(ab, ab);
    double t = lengthSquared > 0.0 ? Dot(Sub(p, a), ab) / lengthSquared : 0.0;
    if (t < 0.0) t = 0.0;
    if (t > 1.0) t = 1.0;
    return Length(Sub(p, Add(a, Scale(ab, t))));
}

double SegmentDistance(Vec a, Vec b, Vec c, Vec d) {
    const Vec ab = Sub(b, a);
    const Vec cd = Sub(d, c);
    const double d1 = Cross(ab, Sub(c, a));
    const double d2 = Cross(ab, Sub(d, a));
    const double d3 = Cross(cd, Sub(a, c));
    const double d4 = Cross(cd, Sub(b, c));
    if (((d1 > 0.0 && d2 < 0.0) || (d1 < 0.0 && d2 > 0.0)) && ((d3 > 0.0 && d4 < 0.0) || (d3 < 0.0 && d4 > 0.0)))
        return 0.0;
    double best = PointSegmentDistance(a, c, d);
    const double others[3] = {PointSegmentDistance(b, c, d), PointSegmentDistance(c, a, b),
                              PointSegmentDistance(d, a, b)};
    for (int i = 0; i < 3; ++i)
        if (others[i] < best) best = others[i];
    return best;
}

bool IsLineType(uint32_t type) { return type == MAP_PATH_TAXI || type == MAP_PATH_PATH; }

// One candidate: a path's segment taken in one direction of travel.
struct Candidate {
    double push;
    double turn;
    double endBearing;  // the aircraft's motion (tail first) at the end
    Vec turnStart;
    Vec end;
};

class Planner {
public:
    Planner(const MapPath *paths, uint32_t count, const TaxiwayAircraft &aircraft)
        : paths_(paths), count_(count), aircraft_(aircraft) {
        frame_.latitude = aircraft.latitude;
        frame_.longitude = aircraft.longitude;
        frame_.eastPerDegree = kMetresPerDegree * cos(aircraft.latitude * kPi / 180.0);
        sign_ = aircraft.side == TAXIWAY_TAIL_LEFT ? 1.0 : -1.0;
        pushBearing_ = aircraft.heading + 180.0;
        // Every path is looked at again for each candidate's roll-out and
        // runway check: its ends are turned into metres once.
        for (uint32_t i = 0; i < count_; ++i) {
            local_[i][0] = frame_.ToLocal(paths_[i].startLatitude, paths_[i].startLongitude);
            local_[i][1] = frame_.ToLocal(paths_[i].endLatitude, paths_[i].endLongitude);
        }
    }

    // The shortest valid push over the paths of one type; false with the most
    // specific failure folded into *failure when none is valid.
    bool Best(uint32_t type, Candidate *best, const MapPath **bestPath, int *failure) const {
        bool found = false;
        for (uint32_t i = 0; i < count_; ++i) {
            if (paths_[i].type != type) continue;
            for (int reverse = 0; reverse < 2; ++reverse) {
                Candidate candidate;
                const int outcome = Try(i, reverse != 0, found ? best->push : HUGE_VAL, &candidate);
                if (outcome == kNotShorter) continue;
                if (outcome == TAXIWAY_PLANNED) {
                    if (!found || candidate.push < best->push) {
                        *best = candidate;
                        *bestPath = &paths_[i];
                    }
                    found = true;
                } else if (outcome < *failure) {
                    *failure = outcome;
                }
            }
        }
        return found;
    }

    const LocalFrame &Frame() const { return frame_; }

private:
    // A plan no shorter than the best one so farEnd: it cannot win, and its
    // runway check is not worth its time.
    static const int kNotShorter = -1;

    // TAXIWAY_PLANNED, a failure's outcome, TAXIWAY_NO_LINE when the line is
    // not reached at all, or kNotShorter.
    int Try(uint32_t index, bool reverse, double shortest, Candidate *out) const {
        const Vec q0 = local_[index][reverse ? 1 : 0];
        const Vec q1 = local_[index][reverse ? 0 : 1];
        const double segmentLength = Length(Sub(q1, q0));
        if (!(segmentLength > kOnSegmentMetres)) return TAXIWAY_NO_LINE;  // NaN too

        const double endBearing = BearingOf(Sub(q1, q0));
        const Vec d = Bearing(endBearing);
        const double turn = Normalised(sign_ * (endBearing - pushBearing_));
        if (turn < kLeastTurnDegrees || turn > 360.0 - kLeastTurnDegrees) return TAXIWAY_NO_LINE;

        // The turn's centre lies R to the turning side of the straight push;
        // after the turn the aircraft lies R from it the other way of its new
        // motion. The end on the line fixes the straight push.
        const double radius = aircraft_.radius;
        const Vec u = Bearing(pushBearing_);
        const Vec n = Bearing(pushBearing_ + sign_ * 90.0);
        const Vec nEnd = Bearing(endBearing + sign_ * 90.0);
        const Vec m = Bearing(endBearing + 90.0);
        const double across = Dot(u, m);
        if (fabs(across) < 1e-6) return TAXIWAY_NO_LINE;
        const double push = (Dot(q0, m) - radius * Dot(Sub(n, nEnd), m)) / across;
        if (push != push) return TAXIWAY_NO_LINE;

        const Vec turnStart = Scale(u, push);
        const Vec centre = Add(turnStart, Scale(n, radius));
        const Vec end = Sub(centre, Scale(nEnd, radius));
        const double along = Dot(Sub(end, q0), d);
        if (!(along >= -kOnSegmentMetres && along <= segmentLength + kOnSegmentMetres)) return TAXIWAY_NO_LINE;
        double room = segmentLength - along;
        if (!(room >= TAXIWAY_ROLL_OUT_METRES)) room += Continuation(q1, endBearing, TAXIWAY_ROLL_OUT_METRES - room);
        if (!(room >= TAXIWAY_ROLL_OUT_METRES)) return TAXIWAY_NO_LINE;

        // A turn that would have to begin before the turn key can act: the
        // line behind is too close; one whose end lies ahead is no line behind.
        if (push < aircraft_.correction || push < 0.0) return Dot(end, u) > 0.0 ? TAXIWAY_TOO_CLOSE : TAXIWAY_NO_LINE;
        // A loop of more than half a circle: the line is there, but not for
        // a pushback.
        if (turn > 180.0) return TAXIWAY_TURN_TOO_BIG;
        if (!(push < shortest)) return kNotShorter;
        if (CrossesRunway(turnStart, centre, turn, end, d)) return TAXIWAY_CROSSES_RUNWAY;

        out->push = push;
        out->turn = turn;
        out->endBearing = endBearing;
        out->turnStart = turnStart;
        out->end = end;
        return TAXIWAY_PLANNED;
    }

    // Metres the line goes on straight past its end at `from`, over joined
    // segments of a line type, counted until `needed` is reached.
    double Continuation(Vec from, double bearing, double needed) const {
        double metres = 0.0;
        for (int joins = 0; joins < kMostJoins && metres < needed; ++joins) {
            bool joined = false;
            for (uint32_t i = 0; i < count_ && !joined; ++i) {
                for (int reverse = 0; reverse < 2 && !joined; ++reverse) {
                    const Vec nearEnd = local_[i][reverse];
                    const Vec gap = Sub(nearEnd, from);
                    if (!(Dot(gap, gap) <= kJoinMetres * kJoinMetres) || !IsLineType(paths_[i].type)) continue;
                    const Vec farEnd = local_[i][1 - reverse];
                    const double length = Length(Sub(farEnd, nearEnd));
                    const double bend = fabs(Normalised(BearingOf(Sub(farEnd, nearEnd)) - bearing + 180.0) - 180.0);
                    if (!(length > kJoinMetres) || !(bend <= kJoinDegrees)) continue;
                    metres += length;
                    from = farEnd;
                    joined = true;
                }
            }
            if (!joined) break;
        }
        return metres;
    }

    bool CrossesRunway(Vec turnStart, Vec centre, double turn, Vec end, Vec d) const {
        const int capacity = 4 + static_cast<int>(180.0 / kArcStepDegrees) + 1;
        Vec points[capacity];
        int count = 0;
        points[count++] = Vec{0.0, 0.0};
        points[count++] = turnStart;
        for (double a = kArcStepDegrees; a < turn && count < capacity - 2; a += kArcStepDegrees)
            points[count++] = Sub(centre, Scale(Bearing(pushBearing_ + sign_ * (a + 90.0)), aircraft_.radius));
        points[count++] = end;
        points[count++] = Add(end, Scale(d, TAXIWAY_ROLL_OUT_METRES));

        for (uint32_t i = 0; i < count_; ++i) {
            if (paths_[i].type != MAP_PATH_RUNWAY) continue;
            const Vec a = local_[i][0];
            const Vec b = local_[i][1];
            const double halfWidth = paths_[i].width > 0.0f ? paths_[i].width * 0.5 : 0.0;
            for (int k = 0; k + 1 < count; ++k)
                if (SegmentDistance(points[k], points[k + 1], a, b) <= halfWidth) return true;
        }
        return false;
    }

    const MapPath *paths_;
    uint32_t count_;
    TaxiwayAircraft aircraft_;
    LocalFrame frame_;
    double sign_;
    double pushBearing_;
    Vec local_[kMapMaxPaths][2];  // each path's start and end, metres east and north of the aircraft
};

// The map's name cut to what the plan holds; what is no printable character
// never reaches the screen.
void CopyName(const char (&source)[12], char (&name)[12]) {
    size_t length = 0;
    while (length < sizeof name - 1 && source[length] != '\0') {
        const unsigned char c = static_cast<unsigned char>(source[length]);
        name[length] = c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
        ++length;
    }
    name[length] = '\0';
    if (length == 0) {
        name[0] = '-';
        name[1] = '\0';
    }
}

}  // namespace

double TaxiwayTurnKeyLead(double storedCorrection, double radius) {
    const double lead = storedCorrection - radius * MEASURE_TURN_DEGREES * kPi / 180.0;
    return lead > 0.0 ? lead : 0.0;
}

void PlanTaxiwayPush(const MapAnswerHeader &header, const MapPath *paths, const MapStand *,
                     const TaxiwayAircraft &aircraft, TaxiwayPlan *plan) {
    memset(plan, 0, sizeof *plan);
    plan->name[0] = '-';
    if (header.status == MAP_NO_AIRPORT) {
        plan->outcome = TAXIWAY_NO_AIRPORT;
        return;
    }
    if (header.status != MAP_AIRPORT) {
        plan->outcome = TAXIWAY_MAP_NOT_READ;
        return;
    }
    // "none" and "both" (and a value the map does not define) accept either.
    if (header.hasParking == 1) {
        const int allowed = header.pushbackSide == MAP_PUSH_LEFT    ? TAXIWAY_TAIL_LEFT
                            : header.pushbackSide == MAP_PUSH_RIGHT ? TAXIWAY_TAIL_RIGHT
                                                                    : 0;
        if (allowed != 0 && allowed != aircraft.side) {
            plan->outcome = TAXIWAY_STAND_OTHER_SIDE;
            plan->allowedSide = allowed;
            return;
        }
    }

    const uint32_t count = header.pathCount < kMapMaxPaths ? header.pathCount : kMapMaxPaths;
    const Planner planner(paths, paths != NULL ? count : 0, aircraft);
    Candidate best;
    const MapPath *bestPath = NULL;
    int failure = TAXIWAY_NO_LINE;
    // Paths of type "path" only where no taxi path gives a plan.
    if (!planner.Best(MAP_PATH_TAXI, &best, &bestPath, &failure) &&
        !planner.Best(MAP_PATH_PATH, &best, &bestPath, &failure)) {
        plan->outcome = failure;
        return;
    }

    plan->outcome = TAXIWAY_PLANNED;
    plan->pushMetres = best.push;
    plan->turnDegrees = best.turn;
    plan->targetHeading = Normalised(best.endBearing + 180.0);
    CopyName(bestPath->name, plan->name);
    planner.Frame().ToDegrees(best.turnStart, &plan->turnLatitude, &plan->turnLongitude);
    planner.Frame().ToDegrees(best.end, &plan->endLatitude, &plan->endLongitude);
}

void FormatTaxiwayText(const TaxiwayPlan &plan, int side, char (&text)[256]) {
    const char *sideName = side == TAXIWAY_TAIL_LEFT ? "left" : "right";
    switch (plan.outcome) {
    case TAXIWAY_PLANNED:
        snprintf(text, sizeof text, "Taxiway %s: push %d m, turn %d deg", plan.name,
                 static_cast<int>(floor(plan.pushMetres + 0.5)), static_cast<int>(floor(plan.turnDegrees + 0.5)));
        break;
    case TAXIWAY_MAP_NOT_READ:
        snprintf(text, sizeof text, "Taxiway: the airport map is not read yet, try again in a moment");
        break;
    case TAXIWAY_NO_AIRPORT:
        snprintf(text, sizeof text, "Taxiway: no airport here");
        break;
    case TAXIWAY_STAND_OTHER_SIDE:
        snprintf(text, sizeof text, "Taxiway: this stand allows pushback to the %s only",
                 plan.allowedSide == TAXIWAY_TAIL_LEFT ? "left" : "right");
        break;
    case TAXIWAY_CROSSES_RUNWAY:
        snprintf(text, sizeof text, "Taxiway: the push to the %s would cross a runway", sideName);
        break;
    case TAXIWAY_TURN_TOO_BIG:
        snprintf(text, sizeof text, "Taxiway: the push to the %s needs a turn of more than 180 deg", sideName);
        break;
    case TAXIWAY_TOO_CLOSE:
        snprintf(text, sizeof text, "Taxiway: the taxi line behind on the %s is too close for this aircraft's turn",
                 sideName);
        break;
    default:
        snprintf(text, sizeof text, "Taxiway: no taxi line behind on the %s within 300 m", sideName);
        break;
    }
}
