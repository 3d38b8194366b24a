// Every stand's two taxiway pushes, planned by the add-on's own planner over
// the very answer the add-on would get standing there: for the pilot's report,
// and for `./drovana plans`, which measures the planner at real airports.
#ifndef DROVANA_SCENERY_STAND_PLANS_H
#define DROVANA_SCENERY_STAND_PLANS_H

#include <string>
#include <vector>

#include "airport_map.h"

struct PlanAircraft {
    std::string name;   // the aircraft's key in Drovana.cfg
    double radius;      // metres, as [PLANE_RADIUS] holds it
    double correction;  // metres, as [PLANE_CORRECT] holds it
};

// What `./drovana plans` assumes without --radius and --correction, and the
// report without a measured aircraft: an airliner's tug turn.
const double kDefaultPlanRadius = 34.4;
const double kDefaultPlanCorrection = 3.0;

// The aircraft of Drovana.cfg with a radius in range, each with its
// correction (0 when it has none in range), in the file's order.
std::vector<PlanAircraft> MeasuredAircraft(const char *configPath);

// The pilot's report: each stand of the airport with its two plans for every
// measured aircraft of Drovana.cfg, or for the defaults, said so.
std::string StandPlansReport(const AirportMap &map, const char *icao, const char *configPath);

// DrovanaMap.exe --plans FILE.bgl [ICAO] [--radius R] [--correction C] --out FOLDER:
// <ICAO>-plans.tsv and <ICAO>-plans.svg of every airport of the file (or the
// one named); returns the exit code, says what it wrote through print.
int PlansOfFile(const std::vector<std::string> &args, void (*print)(const std::string &));

#endif
