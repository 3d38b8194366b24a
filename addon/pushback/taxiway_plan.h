// The taxiway push, planned from the airport's own taxi lines: a straight push
// back, then one turn of the aircraft's measured radius to the picked side,
// ending on a taxi line's centre-line facing along it with the roll-out still
// on the line. Pure geometry over the map's answer: no state, no Windows.
#ifndef DROVANA_ADDON_PUSHBACK_TAXIWAY_PLAN_H
#define DROVANA_ADDON_PUSHBACK_TAXIWAY_PLAN_H

#include <stdint.h>

#include "../../scenery/map_protocol.h"

// Why a pick starts nothing, or that it has a plan. Listed from the most to the
// least specific reason the lines gave, which is also the order in which a
// refusal names them when several lines fail for different reasons.
enum TaxiwayOutcome {
    TAXIWAY_PLANNED = 0,
    TAXIWAY_MAP_NOT_READ,
    TAXIWAY_NO_AIRPORT,
    TAXIWAY_STAND_OTHER_SIDE,
    TAXIWAY_CROSSES_RUNWAY,
    TAXIWAY_TOO_CLOSE,
    TAXIWAY_THROUGH_STAND,
    TAXIWAY_CROSSES_LINE,
    TAXIWAY_TURN_TOO_BIG,
    TAXIWAY_NO_LINE,
};

// The tail's side, as for the Auto items: tail left turns the heading up.
enum TaxiwaySide { TAXIWAY_TAIL_LEFT = 1, TAXIWAY_TAIL_RIGHT = 2 };

// The metres the aircraft rolls on along the line after its turn.
static const double TAXIWAY_ROLL_OUT_METRES = 5.0;

struct TaxiwayAircraft {
    double latitude;    // degrees
    double longitude;   // degrees
    double heading;     // degrees true, the nose
    double radius;      // metres, the turn as "Correct Value" measured it
    double correction;  // metres rolled after the turn key before the heading moves
    int side;           // TaxiwaySide
};

struct TaxiwayPlan {
    int outcome;           // TaxiwayOutcome
    int allowedSide;       // TAXIWAY_STAND_OTHER_SIDE: the side the stand allows
    double pushMetres;     // straight push from the stand to where the turn begins
    double turnDegrees;    // (0, 180]
    double targetHeading;  // degrees true in [0, 360), the line's direction, at full precision
    char name[12];         // the taxiway's name, or "-"
    // Where the turn begins and where it ends on the centre-line (degrees), and
    // the end's motion direction: the demo draws the planned path from them.
    double turnLatitude, turnLongitude;
    double endLatitude, endLongitude;
};

// Plans the push over the map's answer. A header other than MAP_AIRPORT, a
// stand that allows the other side only, and lines that all fail give the
// refusal's outcome; paths beyond pathCount or kMapMaxPaths, and stands beyond
// standCount or kMapMaxStands, are never read.
void PlanTaxiwayPush(const MapAnswerHeader &header, const MapPath *paths, const MapStand *stands,
                     const TaxiwayAircraft &aircraft, TaxiwayPlan *plan);

// The metres before the planned turn point at which the turn key goes, from
// the correction "Correct Value" stored: it was measured up to the first
// sample a degree into the turn, so it holds that degree of arc too.
double TaxiwayTurnKeyLead(double storedCorrection, double radius);

// The text shown for the outcome: "Taxiway NAME: push D m, turn A deg" for a
// plan (D and A whole numbers), else the refusal, which names the side.
void FormatTaxiwayText(const TaxiwayPlan &plan, int side, char (&text)[256]);

#endif
