#include "taxiway_plan.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "measurement.h"

namespace {

const double kPi = 3.14159265358979323846;
// The sphere the add-on measures ground distance on: a minute of arc is 1852 m.
const double kMetresPerDegree = 60.0 * 1852.0;
// A turn smaller than this is no turn: the line runs along the push.
const double kLeastTurnDegrees = 0.5;
// How far the end may lie past a segment's end and still be on it (rounding of
// the map's coordinates).
const double kOnSegmentMetres = 0.05;
// Segments of one line meet end to end, at a point the map gives once.
const double kJoinMetres = 0.5;
// A line goes on across a bend of up to this many degrees: apron taxilanes
// curve in segments of a few tens of metres that bend by up to 35 degrees
// each (88 % of the 6,782 points where just two taxi paths of 25 real
// airports meet; a fifth bend by 2 degrees or less), while corners and the
// side arms of junctions bend by 60 degrees and more.
const double kChainBendDegrees = 35.0;
const int kMostJoins = 16;
// Where the turn's end falls just past a segment's end, onto the kink before
// the next one, it may lie this far off that next segment.
const double kEndOffLineMetres = 0.5;
// The straight roll-out may leave a bending line by this much.
const double kRollOutOffLineMetres = 1.0;
// A line leaving the aircraft's own stand within this many degrees of the
// stand's axis is its lead-in, not a lane to push onto.
const double kLeadInDegrees = 30.0;
// Crossings this close to the aircraft are its own stand's lines.
const double kStandClearMetres = 1.0;
// How near a junction's point the push passes through the junction.
const double kJunctionMetres = 0.5;
// The planned arc is checked against runways in steps of this angle.
const double kArcStepDegrees = 2.0;
// A push this long is a long pushback already: the lane behind lies nearer,
// an apron path (type "path") there before a taxi line further back.
const double kNearLaneMetres = 100.0;

// Path ends are joined through a hash of this many buckets; a network with
// more meeting ends than kMostJoinsKept (a thousand paths meet at far fewer)
// has the rest left unjoined.
const uint32_t kJoinBuckets = 4096;
const uint32_t kMostJoinsKept = 8192;

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

// Degrees between two directions, 0 to 180.
double Bend(double from, double to) { return fabs(Normalised(to - from + 180.0) - 180.0); }

// Degrees between two directions taken as lines, 0 to 90.
double LineAngle(double a, double b) {
    const double bend = Bend(a, b);
    return bend > 90.0 ? 180.0 - bend : bend;
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

// The turn that ends on a segment of a line, taken in one direction of travel.
struct Candidate {
    double push;
    double turn;
    double endBearing;  // the aircraft's motion (tail first) at the end
    Vec turnStart;
    Vec centre;
    Vec end;
    uint32_t path;
};

// A candidate as it waits for the checks: enough to solve it again.
struct Solved {
    double push;
    uint32_t path;
    bool reverse;
};

// What one plan works on. The plan runs on one thread at a time (the
// simulator's main thread, or the map program's own), and these 160 KB need
// not be on the simulator's stack.
struct PlanScratch {
    Vec ends[kMapMaxPaths][2];  // each path's start and end, metres east and north of the aircraft
    // The line's continuation where a path, travelled towards end e, ends:
    // 2 j + f when it goes on along path j from j's end f, else -1.
    int next[2 * kMapMaxPaths];
    // Taxi paths with an end at that path end's point: three or more make a junction.
    uint16_t taxiPathsMeeting[2 * kMapMaxPaths];
    double bend[2 * kMapMaxPaths];  // the continuation's bend, while the lines are joined
    // Path ends that meet, found through a hash of the kJoinMetres cells they lie in.
    int bucketHead[kJoinBuckets];
    int bucketNext[2 * kMapMaxPaths];
    uint16_t joins[kMostJoinsKept][2];
    bool leadIn[kMapMaxPaths];
    Solved solved[2 * kMapMaxPaths];
    Vec standAt[kMapMaxStands];
    double standRadius[kMapMaxStands];
    bool standInTheWay[kMapMaxStands];  // not the aircraft's own, nor one drawn over it
};

PlanScratch Scratch;

int ByPush(const void *a, const void *b) {
    const double x = static_cast<const Solved *>(a)->push, y = static_cast<const Solved *>(b)->push;
    return x < y ? -1 : x > y ? 1 : 0;
}

class Planner {
public:
    Planner(const MapAnswerHeader &header, const MapPath *paths, uint32_t count, const MapStand *stands,
            uint32_t standCount, const TaxiwayAircraft &aircraft)
        : paths_(paths), count_(count), standCount_(standCount), aircraft_(aircraft), s_(Scratch) {
        frame_.latitude = aircraft.latitude;
        frame_.longitude = aircraft.longitude;
        frame_.eastPerDegree = kMetresPerDegree * cos(aircraft.latitude * kPi / 180.0);
        sign_ = aircraft.side == TAXIWAY_TAIL_LEFT ? 1.0 : -1.0;
        pushBearing_ = aircraft.heading + 180.0;
        push_ = Bearing(pushBearing_);
        // Every path is looked at again for each candidate: its ends are
        // turned into metres once.
        for (uint32_t i = 0; i < count_; ++i) {
            s_.ends[i][0] = frame_.ToLocal(paths_[i].startLatitude, paths_[i].startLongitude);
            s_.ends[i][1] = frame_.ToLocal(paths_[i].endLatitude, paths_[i].endLongitude);
        }
        JoinLines();
        FindLeadIn(header);
        FindStandsInTheWay(header, stands);
        firstRunway_ = FirstRunwayOnPush();
        firstCrossing_ = FirstCrossingOnPush();
        firstStand_ = FirstStandOnPush();
    }

    // The shortest valid push, no longer than longest, onto lines of one
    // type; false with the most specific failure folded into *failure when
    // none is valid.
    bool Best(uint32_t type, double longest, Candidate *best, int *failure) const {
        uint32_t solved = 0;
        for (uint32_t i = 0; i < count_; ++i) {
            if (paths_[i].type != type || s_.leadIn[i]) continue;
            for (int reverse = 0; reverse < 2; ++reverse) {
                Candidate candidate;
                const int outcome = Solve(i, reverse != 0, &candidate);
                if (outcome == TAXIWAY_PLANNED) {
                    if (candidate.push <= longest) s_.solved[solved++] = Solved{candidate.push, i, reverse != 0};
                } else if (outcome < *failure) {
                    *failure = outcome;
                }
            }
        }
        // The shortest push first: the checks that look at every runway and
        // stand run only until one plan passes them.
        qsort(s_.solved, solved, sizeof s_.solved[0], ByPush);
        for (uint32_t n = 0; n < solved; ++n) {
            Solve(s_.solved[n].path, s_.solved[n].reverse, best);
            const int outcome = Check(*best);
            if (outcome == TAXIWAY_PLANNED) return true;
            if (outcome < *failure) *failure = outcome;
        }
        return false;
    }

    const LocalFrame &Frame() const { return frame_; }
    const MapPath &Path(uint32_t i) const { return paths_[i]; }

private:
    Vec End(uint32_t pathEnd) const { return s_.ends[pathEnd / 2][pathEnd % 2]; }
    double PathBearing(uint32_t i, int from) const { return BearingOf(Sub(s_.ends[i][1 - from], s_.ends[i][from])); }
    double PathLength(uint32_t i) const { return Length(Sub(s_.ends[i][1], s_.ends[i][0])); }

    // The kJoinMetres cell a coordinate lies in; false for one no map gives.
    static bool Cell(double metres, long *cell) {
        if (!(fabs(metres) < 1.0e7)) return false;  // NaN too
        *cell = static_cast<long>(floor(metres / kJoinMetres));
        return true;
    }
    static uint32_t Bucket(long x, long y) {
        return (static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u) & (kJoinBuckets - 1);
    }

    // Which path ends meet, and for each end the path its line goes on along:
    // the one that bends least, if it bends no more than kChainBendDegrees.
    void JoinLines() {
        const uint32_t ends = 2 * count_;
        for (uint32_t h = 0; h < kJoinBuckets; ++h) s_.bucketHead[h] = -1;
        for (uint32_t k = 0; k < ends; ++k) {
            s_.next[k] = -1;
            s_.bend[k] = kChainBendDegrees;
            s_.taxiPathsMeeting[k] = paths_[k / 2].type == MAP_PATH_TAXI ? 1 : 0;
            long x, y;
            if (!Cell(End(k).x, &x) || !Cell(End(k).y, &y)) continue;
            const uint32_t h = Bucket(x, y);
            s_.bucketNext[k] = s_.bucketHead[h];
            s_.bucketHead[h] = static_cast<int>(k);
        }
        joins_ = 0;
        for (uint32_t k = 0; k < ends; ++k) {
            const Vec p = End(k);
            long x, y;
            if (!Cell(p.x, &x) || !Cell(p.y, &y)) continue;
            for (long cx = x - 1; cx <= x + 1; ++cx) {
                for (long cy = y - 1; cy <= y + 1; ++cy) {
                    for (int m = s_.bucketHead[Bucket(cx, cy)]; m >= 0; m = s_.bucketNext[m]) {
                        const uint32_t other = static_cast<uint32_t>(m);
                        long mx, my;
                        // Each pair once, and a bucket two cells share looked at for its own cell only.
                        if (joins_ >= kMostJoinsKept) return;
                        if (other <= k || other / 2 == k / 2 || !Cell(End(other).x, &mx) || !Cell(End(other).y, &my) ||
                            mx != cx || my != cy || !(Length(Sub(End(other), p)) <= kJoinMetres))
                            continue;
                        s_.joins[joins_][0] = static_cast<uint16_t>(k);
                        s_.joins[joins_][1] = static_cast<uint16_t>(other);
                        ++joins_;
                        if (paths_[other / 2].type == MAP_PATH_TAXI) ++s_.taxiPathsMeeting[k];
                        if (paths_[k / 2].type == MAP_PATH_TAXI) ++s_.taxiPathsMeeting[other];
                        Continue(k, other);
                        Continue(other, k);
                    }
                }
            }
        }
    }

    // Path end k's line may go on along the path of end m, leaving from m.
    void Continue(uint32_t k, uint32_t m) {
        const uint32_t i = k / 2, j = m / 2;
        if (!IsLineType(paths_[i].type) || !IsLineType(paths_[j].type)) return;
        if (!(PathLength(i) > kJoinMetres) || !(PathLength(j) > kJoinMetres)) return;
        const double bend = Bend(PathBearing(i, 1 - static_cast<int>(k % 2)), PathBearing(j, static_cast<int>(m % 2)));
        if (bend <= s_.bend[k]) {
            s_.bend[k] = bend;
            s_.next[k] = static_cast<int>(m);
        }
    }

    // Where path i's line goes on beyond its end e: the end of the next path
    // by which it leaves that path, or -1.
    int Onward(uint32_t i, int e) const {
        const int m = s_.next[2 * i + static_cast<uint32_t>(e)];
        return m < 0 ? -1 : (m & ~1) + (1 - (m & 1));
    }

    // The aircraft's own stand's lead-in: the lines that leave its circle
    // along the stand's axis.
    void FindLeadIn(const MapAnswerHeader &header) {
        for (uint32_t i = 0; i < count_; ++i) s_.leadIn[i] = false;
        if (header.hasParking != 1) return;
        const Vec stand = frame_.ToLocal(header.parkingLatitude, header.parkingLongitude);
        const double radius = header.parkingRadius > 0.0f ? header.parkingRadius : 0.0;
        const double axis = header.parkingHeading;
        for (uint32_t i = 0; i < count_; ++i) {
            if (!IsLineType(paths_[i].type) || !(LineAngle(PathBearing(i, 0), axis) <= kLeadInDegrees)) continue;
            for (int e = 0; e < 2 && !s_.leadIn[i]; ++e)
                if (Length(Sub(s_.ends[i][e], stand)) <= radius) MarkLeadIn(i, e, axis);
        }
    }

    // Path i and its line onwards from its end e, while it keeps to the axis.
    void MarkLeadIn(uint32_t i, int e, double axis) {
        for (int joins = 0; joins < kMostJoins; ++joins) {
            s_.leadIn[i] = true;
            const int onward = Onward(i, 1 - e);
            if (onward < 0 || s_.leadIn[onward / 2] ||
                !(LineAngle(PathBearing(static_cast<uint32_t>(onward / 2), 0), axis) <= kLeadInDegrees))
                return;
            i = static_cast<uint32_t>(onward / 2);
            e = 1 - (onward & 1);
        }
    }

    // Stands a push must keep out of: all but one whose circle holds the
    // aircraft and, where it stands in a stand, one drawn over that stand
    // (either circle holding the other's centre).
    void FindStandsInTheWay(const MapAnswerHeader &header, const MapStand *stands) {
        const bool own = header.hasParking == 1;
        const Vec ownAt = frame_.ToLocal(header.parkingLatitude, header.parkingLongitude);
        const double ownRadius = header.parkingRadius;
        for (uint32_t k = 0; k < standCount_; ++k) {
            s_.standAt[k] = frame_.ToLocal(stands[k].latitude, stands[k].longitude);
            s_.standRadius[k] = stands[k].radius > 0.0f ? stands[k].radius : 0.0;
            const double apart = own ? Length(Sub(s_.standAt[k], ownAt)) : HUGE_VAL;
            // NaN positions are in nobody's way.
            s_.standInTheWay[k] = Length(s_.standAt[k]) >= s_.standRadius[k] && !(apart < ownRadius) &&
                                  !(apart < s_.standRadius[k]);
        }
    }

    // Metres along the straight push at which it first comes within
    // half a runway's width of a runway's centre-line.
    double FirstRunwayOnPush() const {
        double first = HUGE_VAL;
        const double reach = 2.0 * kMapReachMetres;
        for (uint32_t i = 0; i < count_; ++i) {
            if (paths_[i].type != MAP_PATH_RUNWAY) continue;
            const double halfWidth = paths_[i].width > 0.0f ? paths_[i].width * 0.5 : 0.0;
            if (!(SegmentDistance(Vec{0.0, 0.0}, Scale(push_, reach), s_.ends[i][0], s_.ends[i][1]) <= halfWidth))
                continue;
            // Bisected: the first distance along the push that comes that near.
            double low = 0.0, high = reach;
            for (int step = 0; step < 30; ++step) {
                const double mid = 0.5 * (low + high);
                if (SegmentDistance(Vec{0.0, 0.0}, Scale(push_, mid), s_.ends[i][0], s_.ends[i][1]) <= halfWidth)
                    high = mid;
                else
                    low = mid;
            }
            if (high < first) first = high;
        }
        return first;
    }

    // Metres along the straight push (beyond the stand's own lines) at which
    // it first crosses a line: through a segment, through a point where a
    // line's segments meet from either side of the push, or through a
    // junction of taxi paths.
    double FirstCrossingOnPush() const {
        double first = HUGE_VAL;
        for (uint32_t i = 0; i < count_; ++i) {
            if (!IsCrossable(i)) continue;
            const Vec a = s_.ends[i][0], b = s_.ends[i][1];
            const Vec ab = Sub(b, a);
            const double across = Cross(push_, ab);
            if (fabs(across) > 1e-9) {
                // Where the push's line meets the path's: t along the push, u along the path.
                const double t = Cross(a, ab) / across;
                const double u = Cross(a, push_) / across;
                if (u > 0.0 && u < 1.0 && t > kStandClearMetres && t < first) first = t;
            }
        }
        for (uint32_t k = 0; k < 2 * count_; ++k) {
            const Vec p = End(k);
            const double t = Dot(p, push_);
            if (paths_[k / 2].type == MAP_PATH_TAXI && s_.taxiPathsMeeting[k] >= 3 && IsCrossable(k / 2) &&
                t > kStandClearMetres && t < first && fabs(Cross(push_, p)) <= kJunctionMetres)
                first = t;
        }
        for (uint32_t n = 0; n < joins_; ++n) {
            const uint32_t k = s_.joins[n][0], m = s_.joins[n][1];
            const Vec p = End(k);
            const double t = Dot(p, push_);
            if (IsCrossable(k / 2) && IsCrossable(m / 2) && t > kStandClearMetres && t < first &&
                fabs(Cross(push_, p)) <= kJunctionMetres && Cross(push_, End(k ^ 1u)) * Cross(push_, End(m ^ 1u)) < 0.0)
                first = t;
        }
        return first;
    }

    // Lines the straight push must not cross: every taxi line and path but the
    // stand's own lead-in.
    bool IsCrossable(uint32_t i) const { return IsLineType(paths_[i].type) && !s_.leadIn[i]; }

    // Metres along the straight push at which it enters a stand in the way.
    double FirstStandOnPush() const {
        double first = HUGE_VAL;
        for (uint32_t k = 0; k < standCount_; ++k) {
            if (!s_.standInTheWay[k]) continue;
            const double along = Dot(s_.standAt[k], push_);
            const double aside = Cross(push_, s_.standAt[k]);
            const double r = s_.standRadius[k];
            if (!(fabs(aside) < r)) continue;
            const double enters = along - sqrt(r * r - aside * aside);
            if (enters > 0.0 && enters < first) first = enters;
        }
        return first;
    }

    // The turn of the aircraft's radius from a straight push that ends on
    // path i travelled the given way: TAXIWAY_PLANNED when it ends on the
    // line with its roll-out, else why not.
    int Solve(uint32_t index, bool reverse, Candidate *out) const {
        const int from = reverse ? 1 : 0;
        const Vec q0 = s_.ends[index][from];
        const Vec q1 = s_.ends[index][1 - from];
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
        const Vec n = Bearing(pushBearing_ + sign_ * 90.0);
        const Vec nEnd = Bearing(endBearing + sign_ * 90.0);
        const Vec m = Bearing(endBearing + 90.0);
        const double across = Dot(push_, m);
        if (fabs(across) < 1e-6) return TAXIWAY_NO_LINE;
        const double push = (Dot(q0, m) - radius * Dot(Sub(n, nEnd), m)) / across;
        if (push != push) return TAXIWAY_NO_LINE;

        const Vec turnStart = Scale(push_, push);
        const Vec centre = Add(turnStart, Scale(n, radius));
        const Vec end = Sub(centre, Scale(nEnd, radius));
        const double along = Dot(Sub(end, q0), d);
        if (!OnLine(index, from, end, along, segmentLength)) return TAXIWAY_NO_LINE;
        if (!RollsOut(index, from, end, d, segmentLength - along)) return TAXIWAY_NO_LINE;

        // A turn that would have to begin before the turn key can act: the
        // line behind is too close; one whose end lies ahead is no line behind.
        if (push < aircraft_.correction || push < 0.0) return Dot(end, push_) > 0.0 ? TAXIWAY_TOO_CLOSE : TAXIWAY_NO_LINE;
        // A loop of more than half a circle: the line is there, but not for
        // a pushback.
        if (turn > 180.0) return TAXIWAY_TURN_TOO_BIG;

        out->push = push;
        out->turn = turn;
        out->endBearing = endBearing;
        out->turnStart = turnStart;
        out->centre = centre;
        out->end = end;
        out->path = index;
        return TAXIWAY_PLANNED;
    }

    // Whether the end lies on path i (travelled from its end `from`) or, just
    // past either end, on the kink into the line's next path.
    bool OnLine(uint32_t i, int from, Vec end, double along, double length) const {
        if (along >= -kOnSegmentMetres && along <= length + kOnSegmentMetres) return true;
        if (!(along == along)) return false;
        const int onward = along < 0.0 ? Onward(i, from) : Onward(i, 1 - from);
        if (onward < 0) return false;
        const uint32_t j = static_cast<uint32_t>(onward / 2);
        return PointSegmentDistance(end, s_.ends[j][0], s_.ends[j][1]) <= kEndOffLineMetres;
    }

    // Whether the line goes on for the roll-out past the end, following its
    // bends, and the straight roll-out stays on it.
    bool RollsOut(uint32_t i, int from, Vec end, Vec d, double room) const {
        const Vec rolled = Add(end, Scale(d, TAXIWAY_ROLL_OUT_METRES));
        double offLine = PointSegmentDistance(rolled, end, s_.ends[i][1 - from]);
        uint32_t path = i;
        int leaving = 1 - from;
        for (int joins = 0; joins < kMostJoins && room < TAXIWAY_ROLL_OUT_METRES; ++joins) {
            const int onward = Onward(path, leaving);
            if (onward < 0) return false;
            path = static_cast<uint32_t>(onward / 2);
            leaving = onward & 1;
            room += PathLength(path);
            const double distance = PointSegmentDistance(rolled, s_.ends[path][0], s_.ends[path][1]);
            if (distance < offLine) offLine = distance;
        }
        return room >= TAXIWAY_ROLL_OUT_METRES && offLine <= kRollOutOffLineMetres;
    }

    // The checks that need more than the candidate itself, cheapest first.
    int Check(const Candidate &c) const {
        if (!(c.push < firstRunway_)) return TAXIWAY_CROSSES_RUNWAY;
        if (!(c.push < firstCrossing_)) return TAXIWAY_CROSSES_LINE;
        if (!(c.push < firstStand_)) return TAXIWAY_THROUGH_STAND;
        if (TurnCrossesRunway(c)) return TAXIWAY_CROSSES_RUNWAY;
        if (TurnEntersStand(c)) return TAXIWAY_THROUGH_STAND;
        return TAXIWAY_PLANNED;
    }

    bool TurnCrossesRunway(const Candidate &c) const {
        const int capacity = 3 + static_cast<int>(180.0 / kArcStepDegrees) + 1;
        Vec points[capacity];
        int count = 0;
        points[count++] = c.turnStart;
        for (double a = kArcStepDegrees; a < c.turn && count < capacity - 2; a += kArcStepDegrees)
            points[count++] = Sub(c.centre, Scale(Bearing(pushBearing_ + sign_ * (a + 90.0)), aircraft_.radius));
        points[count++] = c.end;
        points[count++] = Add(c.end, Scale(Bearing(c.endBearing), TAXIWAY_ROLL_OUT_METRES));

        for (uint32_t i = 0; i < count_; ++i) {
            if (paths_[i].type != MAP_PATH_RUNWAY) continue;
            const Vec a = s_.ends[i][0];
            const Vec b = s_.ends[i][1];
            const double halfWidth = paths_[i].width > 0.0f ? paths_[i].width * 0.5 : 0.0;
            for (int k = 0; k + 1 < count; ++k)
                if (SegmentDistance(points[k], points[k + 1], a, b) <= halfWidth) return true;
        }
        return false;
    }

    // Whether the turn's arc or the roll-out comes within a stand's radius of
    // its centre.
    bool TurnEntersStand(const Candidate &c) const {
        const double radius = aircraft_.radius;
        const Vec rolled = Add(c.end, Scale(Bearing(c.endBearing), TAXIWAY_ROLL_OUT_METRES));
        const double reach = sqrt(radius * radius + TAXIWAY_ROLL_OUT_METRES * TAXIWAY_ROLL_OUT_METRES);
        for (uint32_t k = 0; k < standCount_; ++k) {
            if (!s_.standInTheWay[k]) continue;
            const Vec p = s_.standAt[k];
            const double r = s_.standRadius[k];
            const Vec fromCentre = Sub(p, c.centre);
            if (!(Length(fromCentre) - r < reach)) continue;
            // The arc's points lie at bearing push + 180 + sign (a + 90) from
            // the centre for a from 0 to the turn.
            const double a = Normalised(sign_ * (BearingOf(fromCentre) - pushBearing_ - 180.0) - 90.0);
            const double toArc = a <= c.turn ? fabs(Length(fromCentre) - radius)
                                             : fmin(Length(Sub(p, c.turnStart)), Length(Sub(p, c.end)));
            if (toArc < r || PointSegmentDistance(p, c.end, rolled) < r) return true;
        }
        return false;
    }

    const MapPath *paths_;
    uint32_t count_;
    uint32_t standCount_;
    TaxiwayAircraft aircraft_;
    PlanScratch &s_;
    LocalFrame frame_;
    double sign_;
    double pushBearing_;
    Vec push_;  // unit vector of the straight push
    uint32_t joins_;  // meeting path ends in s_.joins
    double firstRunway_, firstCrossing_, firstStand_;
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

void PlanTaxiwayPush(const MapAnswerHeader &header, const MapPath *paths, const MapStand *stands,
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
    const uint32_t standCount = header.standCount < kMapMaxStands ? header.standCount : kMapMaxStands;
    const Planner planner(header, paths, paths != nullptr ? count : 0, stands, stands != nullptr ? standCount : 0,
                          aircraft);
    Candidate best;
    int failure = TAXIWAY_NO_LINE;
    // A taxi line within kNearLaneMetres, else a path there, else either further back.
    if (!planner.Best(MAP_PATH_TAXI, kNearLaneMetres, &best, &failure) &&
        !planner.Best(MAP_PATH_PATH, kNearLaneMetres, &best, &failure) &&
        !planner.Best(MAP_PATH_TAXI, HUGE_VAL, &best, &failure) &&
        !planner.Best(MAP_PATH_PATH, HUGE_VAL, &best, &failure)) {
        plan->outcome = failure;
        return;
    }

    plan->outcome = TAXIWAY_PLANNED;
    plan->pushMetres = best.push;
    plan->turnDegrees = best.turn;
    plan->targetHeading = Normalised(best.endBearing + 180.0);
    CopyName(planner.Path(best.path).name, plan->name);
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
    case TAXIWAY_THROUGH_STAND:
        snprintf(text, sizeof text, "Taxiway: every taxi line behind on the %s takes the push through another stand",
                 sideName);
        break;
    case TAXIWAY_CROSSES_LINE:
        snprintf(text, sizeof text, "Taxiway: the straight push to the %s would cross a taxi line", sideName);
        break;
    default:
        snprintf(text, sizeof text, "Taxiway: no taxi line behind on the %s within 300 m", sideName);
        break;
    }
}
