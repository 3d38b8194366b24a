#include <gtest/gtest.h>
#include <math.h>
#include <string.h>

#include <string>
#include <vector>

#include "pushback/taxiway_plan.h"

namespace {

const double kPi = acos(-1.0);
const double kLatitude = 47.0;
const double kLongitude = 8.0;
const double kRadius = 30.0;
const double kCorrection = 5.0;

// A path given in metres east and north of the aircraft, as the map would
// answer it in degrees.
struct Line {
    uint32_t type;
    const char *name;
    double x0, y0, x1, y1;
    float width;
};

const uint32_t TAXI = MAP_PATH_TAXI;
const uint32_t RUNWAY = MAP_PATH_RUNWAY;
const uint32_t PATH = MAP_PATH_PATH;

double Lat(double north) { return kLatitude + north / (1852.0 * 60.0); }
double Lon(double east) { return kLongitude + east / (1852.0 * 60.0 * cos(kLatitude * kPi / 180.0)); }

struct Answer {
    MapAnswerHeader header;
    std::vector<MapPath> paths;
    std::vector<MapStand> stands;
};

// A stand in metres east and north of the aircraft.
struct Stand {
    double x, y;
    float radius;
};

// The aircraft stands in its own stand (radius 20 m, nose north); other
// stands as given.
Answer AirportWith(const std::vector<Line> &lines, uint32_t side = MAP_PUSH_BOTH,
                   const std::vector<Stand> &stands = {}) {
    Answer answer;
    memset(&answer.header, 0, sizeof answer.header);
    answer.header.status = MAP_AIRPORT;
    answer.header.hasParking = 1;
    answer.header.pushbackSide = side;
    answer.header.parkingLatitude = kLatitude;
    answer.header.parkingLongitude = kLongitude;
    answer.header.parkingRadius = 20.0f;
    for (const Stand &stand : stands) answer.stands.push_back(MapStand{Lat(stand.y), Lon(stand.x), stand.radius, 0.0f});
    answer.header.standCount = static_cast<uint32_t>(answer.stands.size());
    for (const Line &line : lines) {
        MapPath path;
        memset(&path, 0, sizeof path);
        path.type = line.type;
        strncpy(path.name, line.name, sizeof path.name - 1);
        path.width = line.width;
        path.startLatitude = Lat(line.y0);
        path.startLongitude = Lon(line.x0);
        path.endLatitude = Lat(line.y1);
        path.endLongitude = Lon(line.x1);
        answer.paths.push_back(path);
    }
    answer.header.pathCount = static_cast<uint32_t>(answer.paths.size());
    return answer;
}

TaxiwayPlan Plan(const Answer &answer, int side, double heading = 0.0, double radius = kRadius) {
    const TaxiwayAircraft aircraft = {kLatitude, kLongitude, heading, radius, kCorrection, side};
    TaxiwayPlan plan;
    PlanTaxiwayPush(answer.header, answer.paths.empty() ? nullptr : answer.paths.data(),
                    answer.stands.empty() ? nullptr : answer.stands.data(), aircraft, &plan);
    return plan;
}

// Drives the plan as the tug would, in centimetre steps: straight back, then
// the turn at the radius until the heading has turned. Returns the end east
// and north of the start, and the final heading.
void Drive(const TaxiwayPlan &plan, int side, double heading, double radius, double *east, double *north,
           double *endHeading) {
    const double step = 0.01;
    double x = 0.0, y = 0.0, h = heading;
    for (double s = 0.0; s + step <= plan.pushMetres; s += step) {
        x += step * sin((h + 180.0) * kPi / 180.0);
        y += step * cos((h + 180.0) * kPi / 180.0);
    }
    const double sign = side == TAXIWAY_TAIL_LEFT ? 1.0 : -1.0;
    const double turnStep = step / radius * 180.0 / kPi;
    for (double turned = 0.0; turned + turnStep <= plan.turnDegrees; turned += turnStep) {
        h += sign * turnStep;
        x += step * sin((h + 180.0) * kPi / 180.0);
        y += step * cos((h + 180.0) * kPi / 180.0);
    }
    *east = x;
    *north = y;
    *endHeading = fmod(h + 720.0, 360.0);
}

double DistanceToLine(double x, double y, const Line &line) {
    const double dx = line.x1 - line.x0, dy = line.y1 - line.y0;
    return fabs((x - line.x0) * dy - (y - line.y0) * dx) / sqrt(dx * dx + dy * dy);
}

const char *Side(int side) { return side == TAXIWAY_TAIL_LEFT ? "tail left" : "tail right"; }

// Geometries that give a plan: the push and turn worked out by hand, and the
// end, driven independently of the planner, on the chosen line facing along it.
TEST(TaxiwayPlan, EndsOnTheChosenLineFacingAlongIt) {
    const Line square = {TAXI, "A", -150, -40, 150, -40, 20};
    const Line squareFar = {TAXI, "B", -150, -70, 150, -70, 20};
    const Line sixty = {TAXI, "C", -100 * sin(kPi / 3), -100 - 100 * cos(kPi / 3), 100 * sin(kPi / 3),
                        -100 + 100 * cos(kPi / 3), 20};
    const Line pathType = {PATH, "P", -150, -40, 150, -40, 20};
    const Line pathWest = {PATH, "P", -150, -40, -5, -40, 20};
    const Line alongEast = {TAXI, "E", -40, -150, -40, 150, 20};
    struct Case {
        const char *what;
        std::vector<Line> lines;
        int side;
        double heading;
        size_t chosen;  // index into lines
        double push, turn, target;
    } cases[] = {
        // A line L behind, square: the turn begins at L - R.
        {"square, left", {square}, TAXIWAY_TAIL_LEFT, 0.0, 0, 10.0, 90.0, 90.0},
        {"square, right", {square}, TAXIWAY_TAIL_RIGHT, 0.0, 0, 10.0, 90.0, 270.0},
        {"square, facing east", {alongEast}, TAXIWAY_TAIL_LEFT, 90.0, 0, 10.0, 90.0, 180.0},
        {"square across north", {square}, TAXIWAY_TAIL_RIGHT, 359.9999, 0, 10.0, 90.0, 270.0},
        // At 60 degrees the tail-left turn is 60 degrees and ends R/2 west
        // of the push; the other one is 120 degrees and ends 1.5 R east.
        {"sixty, left", {sixty}, TAXIWAY_TAIL_LEFT, 0.0, 0, 100 + 15 / tan(kPi / 3) - 30 * sin(kPi / 3), 60.0, 60.0},
        {"sixty, right", {sixty}, TAXIWAY_TAIL_RIGHT, 0.0, 0, 100 - 45 / tan(kPi / 3) - 30 * sin(kPi / 3), 120.0,
         240.0},
        {"the nearer of two", {squareFar, square}, TAXIWAY_TAIL_LEFT, 0.0, 1, 10.0, 90.0, 90.0},
        // A path 40 m back that the push does not cross, beside a taxi line 70 m back.
        {"taxi before path", {pathWest, squareFar}, TAXIWAY_TAIL_LEFT, 0.0, 1, 40.0, 90.0, 90.0},
        {"path where no taxi line", {pathType}, TAXIWAY_TAIL_LEFT, 0.0, 0, 10.0, 90.0, 90.0},
        // A taxi line 140 m back lies beyond the 100 m of the lane behind; a path there comes first.
        {"a near path before a far taxi line", {{TAXI, "F", -150, -140, 150, -140, 20}, pathType}, TAXIWAY_TAIL_LEFT,
         0.0, 1, 10.0, 90.0, 90.0},
    };
    for (const Case &c : cases) {
        const TaxiwayPlan plan = Plan(AirportWith(c.lines), c.side, c.heading);
        ASSERT_EQ(TAXIWAY_PLANNED, plan.outcome) << c.what;
        const Line &line = c.lines[c.chosen];
        EXPECT_STREQ(line.name, plan.name) << c.what << ": the line chosen";
        if (c.push >= 0) {
            EXPECT_NEAR(c.push, plan.pushMetres, 1e-3) << c.what;
        }
        EXPECT_NEAR(c.turn, plan.turnDegrees, 1e-3) << c.what;
        EXPECT_NEAR(c.target, plan.targetHeading, 1e-6) << c.what << ": the line's direction at full precision";
        double east, north, heading;
        Drive(plan, c.side, c.heading, kRadius, &east, &north, &heading);
        EXPECT_LT(DistanceToLine(east, north, line), 0.05) << c.what << " (" << Side(c.side) << ") ends off the line";
        EXPECT_LT(fabs(heading - plan.targetHeading), 0.05) << c.what << ": end heading " << heading;
    }
}

TEST(TaxiwayPlan, RefusesWithTheReason) {
    const Line square = {TAXI, "A", -150, -40, 150, -40, 20};
    const Line far = {TAXI, "F", -150, -70, 150, -70, 20};
    struct Case {
        const char *what;
        Answer answer;
        int side;
        int outcome;
    } cases[] = {
        {"line ahead only", AirportWith({{TAXI, "A", -150, 40, 150, 40, 20}}), TAXIWAY_TAIL_LEFT, TAXIWAY_NO_LINE},
        {"no paths", AirportWith({}), TAXIWAY_TAIL_RIGHT, TAXIWAY_NO_LINE},
        {"runway, closed, vehicle, parking paths are no line",
         AirportWith({{RUNWAY, "09", -150, -40, 150, -40, 0},
                      {MAP_PATH_CLOSED, "A", -150, -40, 150, -40, 20},
                      {MAP_PATH_VEHICLE, "", -150, -40, 150, -40, 20},
                      {MAP_PATH_PARKING, "", -150, -40, 150, -40, 20}}),
         TAXIWAY_TAIL_LEFT, TAXIWAY_NO_LINE},
        // With R = 30 a line 20 m behind needs the turn to begin before the stand.
        {"too close", AirportWith({{TAXI, "N", -150, -20, 150, -20, 20}}), TAXIWAY_TAIL_LEFT, TAXIWAY_TOO_CLOSE},
        // Push 2 m, less than the 5 m correction.
        {"closer than the correction", AirportWith({{TAXI, "N", -150, -32, 150, -32, 20}}), TAXIWAY_TAIL_LEFT,
         TAXIWAY_TOO_CLOSE},
        {"runway between", AirportWith({square, {RUNWAY, "09", -300, -25, 300, -25, 45}}), TAXIWAY_TAIL_LEFT,
         TAXIWAY_CROSSES_RUNWAY},
        // The line 70 m back lies across the one too close: the push never crosses it.
        {"too close, and beyond it", AirportWith({{TAXI, "N", -150, -20, 150, -20, 20}, far}), TAXIWAY_TAIL_LEFT,
         TAXIWAY_TOO_CLOSE},
        // 40 m back a line ends 3 m past where a tail-left turn would end on it.
        {"a line to cross first", AirportWith({{TAXI, "C", 150, -40, -33, -40, 20}, far}), TAXIWAY_TAIL_LEFT,
         TAXIWAY_CROSSES_LINE},
        {"a line to cross where its segments meet",
         AirportWith({{TAXI, "C", -34, -40, 0, -40, 20}, {TAXI, "C", 0, -40, 150, -40, 20}, far}), TAXIWAY_TAIL_LEFT,
         TAXIWAY_CROSSES_LINE},
        {"a junction of three taxi paths to pass",
         AirportWith({{TAXI, "J", 0, -40, -20, -40, 20}, {TAXI, "J", 0, -40, -3, -30, 20},
                      {TAXI, "J", 0, -40, -3, -45, 20}, far}),
         TAXIWAY_TAIL_LEFT, TAXIWAY_CROSSES_LINE},
        {"a stand on the straight push", AirportWith({far}, MAP_PUSH_BOTH, {{0, -45, 15}}), TAXIWAY_TAIL_LEFT,
         TAXIWAY_THROUGH_STAND},
        // The tail-left turn onto the line 70 m back sweeps round (-30, -40)
        // from (0, -40) to (-30, -70), passing (-8.8, -61.2); the roll-out
        // ends at (-35, -70).
        {"a stand on the turn", AirportWith({far}, MAP_PUSH_BOTH, {{-8.8, -61.2, 6}}), TAXIWAY_TAIL_LEFT,
         TAXIWAY_THROUGH_STAND},
        {"a stand on the roll-out", AirportWith({far}, MAP_PUSH_BOTH, {{-38, -74, 6}}), TAXIWAY_TAIL_LEFT,
         TAXIWAY_THROUGH_STAND},
        // West of the end 4 m only: the 90-degree turn has no roll-out; the
        // line eastwards is reached by turning 270 degrees.
        {"only a turn past 180", AirportWith({{TAXI, "A", -34, -40, 150, -40, 20}}), TAXIWAY_TAIL_LEFT,
         TAXIWAY_TURN_TOO_BIG},
        {"stand allows left only", AirportWith({square}, MAP_PUSH_LEFT), TAXIWAY_TAIL_RIGHT,
         TAXIWAY_STAND_OTHER_SIDE},
        {"stand allows right only", AirportWith({square}, MAP_PUSH_RIGHT), TAXIWAY_TAIL_LEFT,
         TAXIWAY_STAND_OTHER_SIDE},
        {"NaN coordinates", AirportWith({{TAXI, "A", NAN, -40, 150, NAN, 20}}), TAXIWAY_TAIL_LEFT, TAXIWAY_NO_LINE},
        // Every path end at one point: more meeting ends than are kept.
        {"1024 paths of no length", AirportWith(std::vector<Line>(kMapMaxPaths, Line{TAXI, "Z", 0, -40, 0, -40, 20})),
         TAXIWAY_TAIL_LEFT, TAXIWAY_NO_LINE},
    };
    for (const Case &c : cases) {
        const TaxiwayPlan plan = Plan(c.answer, c.side);
        EXPECT_EQ(c.outcome, plan.outcome) << c.what << " (" << Side(c.side) << ")";
    }

    Answer notRead = AirportWith({square});
    notRead.header.status = MAP_NOT_READ_YET;
    EXPECT_EQ(TAXIWAY_MAP_NOT_READ, Plan(notRead, TAXIWAY_TAIL_LEFT).outcome);
    Answer hostile = AirportWith({square});
    hostile.header.status = 77;
    EXPECT_EQ(TAXIWAY_MAP_NOT_READ, Plan(hostile, TAXIWAY_TAIL_LEFT).outcome) << "an unknown status plans nothing";
    Answer none = AirportWith({square});
    none.header.status = MAP_NO_AIRPORT;
    EXPECT_EQ(TAXIWAY_NO_AIRPORT, Plan(none, TAXIWAY_TAIL_LEFT).outcome);
}

TEST(TaxiwayPlan, StandSideNoneOrBothOrOutsideTheCircleAcceptsEither) {
    const Line square = {TAXI, "A", -150, -40, 150, -40, 20};
    for (uint32_t side : {uint32_t(MAP_PUSH_NONE), uint32_t(MAP_PUSH_BOTH), 9u}) {
        EXPECT_EQ(TAXIWAY_PLANNED, Plan(AirportWith({square}, side), TAXIWAY_TAIL_LEFT).outcome) << side;
        EXPECT_EQ(TAXIWAY_PLANNED, Plan(AirportWith({square}, side), TAXIWAY_TAIL_RIGHT).outcome) << side;
    }
    Answer away = AirportWith({square}, MAP_PUSH_LEFT);
    away.header.hasParking = 0;
    EXPECT_EQ(TAXIWAY_PLANNED, Plan(away, TAXIWAY_TAIL_RIGHT).outcome) << "no stand holds the aircraft";
}

// The roll-out needs 5 m of line past the end: a line cut 3 m past it is no
// target unless the line goes on, straight or across a bend it keeps to (the
// 2.8 degrees of a real apron taxilane; 20 degrees, which the 5 m straight
// roll-out leaves by 0.7 m); one that turns away by 56 degrees is another line.
TEST(TaxiwayPlan, RollOutStaysOnTheLine) {
    const Line cut = {TAXI, "A", 150, -40, -33, -40, 20};
    const Line onward = {TAXI, "A", -33, -40, -90, -40.5, 20};
    const double kink = 2.8 * kPi / 180.0, twenty = 20.0 * kPi / 180.0;
    const Line kinked = {TAXI, "A", -33, -40, -33 - 30 * cos(kink), -40 - 30 * sin(kink), 20};
    const Line bent = {TAXI, "A", -33, -40, -33 - 30 * cos(twenty), -40 - 30 * sin(twenty), 20};
    const Line away = {TAXI, "A", -33, -40, -60, -80, 20};
    struct Case {
        const char *what;
        std::vector<Line> lines;
        bool planned;
    } cases[] = {
        {"cut", {cut}, false},
        {"straight on", {cut, onward}, true},
        {"across a 2.8 degree kink", {cut, kinked}, true},
        {"across a 20 degree bend", {cut, bent}, true},
        {"turning away by 56 degrees", {cut, away}, false},
    };
    for (const Case &c : cases) {
        const TaxiwayPlan plan = Plan(AirportWith(c.lines), TAXIWAY_TAIL_LEFT);
        EXPECT_EQ(c.planned, plan.outcome == TAXIWAY_PLANNED) << c.what << ": outcome " << plan.outcome;
        if (c.planned) {
            EXPECT_NEAR(90.0, plan.targetHeading, 3.0) << c.what << ": the turn ends along the line";
        }
    }
}

// An apron taxilane drawn as a curve: 20 m segments that bend by 4 degrees
// each, the way real airports draw them. The turn may end on any of them
// and faces along the one it ends on.
TEST(TaxiwayPlan, ACurveOfShortSegmentsIsOneLine) {
    std::vector<Line> curve;
    double x = 150, y = -60, bearing = 270;  // westwards, bending south
    for (int i = 0; i < 12; ++i, bearing -= 4.0) {
        const double x1 = x + 20 * sin(bearing * kPi / 180), y1 = y + 20 * cos(bearing * kPi / 180);
        curve.push_back({TAXI, "K", x, y, x1, y1, 20});
        x = x1, y = y1;
    }
    for (const int side : {TAXIWAY_TAIL_LEFT, TAXIWAY_TAIL_RIGHT}) {
        const TaxiwayPlan plan = Plan(AirportWith(curve), side);
        ASSERT_EQ(TAXIWAY_PLANNED, plan.outcome) << Side(side);
        double east, north, heading;
        Drive(plan, side, 0.0, kRadius, &east, &north, &heading);
        double nearest = 1e9, along = 0;
        for (const Line &segment : curve) {
            const double dx = segment.x1 - segment.x0, dy = segment.y1 - segment.y0;
            const double t = ((east - segment.x0) * dx + (north - segment.y0) * dy) / (dx * dx + dy * dy);
            if (t < -0.01 || t > 1.01 || DistanceToLine(east, north, segment) >= nearest) continue;
            nearest = DistanceToLine(east, north, segment);
            along = atan2(dx, dy) * 180 / kPi;
        }
        EXPECT_LT(nearest, 0.05) << Side(side) << " ends off the curve";
        const double apart = fmod(heading - along + 720.0, 180.0);
        EXPECT_LT(fmin(apart, 180.0 - apart), 0.05) << Side(side) << ": heading " << heading << ", line " << along;
    }
}

// The stand's own lead-in, a line from inside its circle along its axis
// (here 5 m behind, 0.5 m aside, 5 degrees off), is no lane: the taxilane
// 60 m back is. The aircraft's own stand, and one drawn over it, are no
// obstacle; a stand beside the path is none either.
TEST(TaxiwayPlan, TheLaneBehindNotTheLeadInNorTheOwnStand) {
    const double off = 5.0 * kPi / 180.0;
    const Line leadIn = {TAXI, "LEAD", 0.5, -5, 0.5 + 55 * sin(off), -5 - 55 * cos(off), 20};
    const Line lane = {TAXI, "T", -150, -60, 150, -60, 20};
    const std::vector<Stand> around = {{0, 0, 20}, {5, 3, 30}, {40, -20, 15}, {-45, 0, 20}};
    for (const int side : {TAXIWAY_TAIL_LEFT, TAXIWAY_TAIL_RIGHT}) {
        const TaxiwayPlan plan = Plan(AirportWith({leadIn, lane}, MAP_PUSH_BOTH, around), side);
        ASSERT_EQ(TAXIWAY_PLANNED, plan.outcome) << Side(side);
        EXPECT_STREQ("T", plan.name) << Side(side);
        EXPECT_NEAR(30.0, plan.pushMetres, 1e-3) << Side(side);
    }
}

TEST(TaxiwayPlan, TextHasItsFixedForm) {
    char text[256];
    TaxiwayPlan plan = Plan(AirportWith({{TAXI, "A12", -150, -40.6, 150, -40.6, 20}}), TAXIWAY_TAIL_LEFT);
    FormatTaxiwayText(plan, TAXIWAY_TAIL_LEFT, text);
    EXPECT_STREQ("Taxiway A12: push 11 m, turn 90 deg", text) << "push 10.6 m rounds to 11";

    plan = Plan(AirportWith({{TAXI, "\x01\x7f", -150, -40, 150, -40, 20}}), TAXIWAY_TAIL_LEFT);
    FormatTaxiwayText(plan, TAXIWAY_TAIL_LEFT, text);
    EXPECT_STREQ("Taxiway ??: push 10 m, turn 90 deg", text) << "unprintable names never reach the screen";
    plan = Plan(AirportWith({{TAXI, "", -150, -40, 150, -40, 20}}), TAXIWAY_TAIL_LEFT);
    FormatTaxiwayText(plan, TAXIWAY_TAIL_LEFT, text);
    EXPECT_STREQ("Taxiway -: push 10 m, turn 90 deg", text);

    plan = Plan(AirportWith({{TAXI, "A", -150, -40, 150, -40, 20}}, MAP_PUSH_LEFT), TAXIWAY_TAIL_RIGHT);
    FormatTaxiwayText(plan, TAXIWAY_TAIL_RIGHT, text);
    EXPECT_STREQ("Taxiway: this stand allows pushback to the left only", text);

    plan.outcome = TAXIWAY_THROUGH_STAND;
    FormatTaxiwayText(plan, TAXIWAY_TAIL_LEFT, text);
    EXPECT_STREQ("Taxiway: every taxi line behind on the left takes the push through another stand", text);
    plan.outcome = TAXIWAY_CROSSES_LINE;
    FormatTaxiwayText(plan, TAXIWAY_TAIL_RIGHT, text);
    EXPECT_STREQ("Taxiway: the straight push to the right would cross a taxi line", text);
}

}  // namespace
