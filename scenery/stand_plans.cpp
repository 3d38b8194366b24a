#include "stand_plans.h"

#include <windows.h>

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <memory>

#include "../addon/core/config_values.h"
#include "../addon/pushback/taxiway_plan.h"
#include "map_report.h"
#include "whole_file.h"

namespace {

const double kPi = 3.14159265358979323846;
const int kSides[2] = {TAXIWAY_TAIL_LEFT, TAXIWAY_TAIL_RIGHT};

// What the add-on holds of one answer: 63 KB, so one lives on the heap.
struct StandAnswer {
    MapAnswerHeader header;
    MapPath paths[kMapMaxPaths];
    MapStand stands[kMapMaxStands];
};

struct StandPlan {
    const BglParking *spot;
    int side;
    TaxiwayPlan plan;
    char text[256];
};

std::string StandName(const BglParking &spot) {
    char name[40];
    snprintf(name, sizeof name, "%s %u", ParkingNameText(ParkingNameCode(spot.flags)), ParkingNumber(spot.flags));
    return name;
}

// Both sides at every aircraft stand, the aircraft standing at its centre
// along its heading, planned over what the map answers there.
std::vector<StandPlan> PlanEveryStand(const AirportMap &map, const AirportMap::View &airport,
                                      const PlanAircraft &aircraft) {
    std::unique_ptr<StandAnswer> answer(new StandAnswer);
    std::vector<StandPlan> plans;
    for (const BglParking &spot : airport.parking) {
        if (IsVehicleParking(spot.flags)) continue;
        const double latitude = RawLatitude(spot.at.latRaw), longitude = RawLongitude(spot.at.lonRaw);
        memset(&answer->header, 0, sizeof answer->header);
        map.Answer(latitude, longitude, &answer->header, answer->paths, kMapMaxPaths, answer->stands, kMapMaxStands);
        for (const int side : kSides) {
            const TaxiwayAircraft standing = {latitude,
                                              longitude,
                                              spot.heading,
                                              aircraft.radius,
                                              TaxiwayTurnKeyLead(aircraft.correction, aircraft.radius),
                                              side};
            StandPlan plan;
            plan.spot = &spot;
            plan.side = side;
            PlanTaxiwayPush(answer->header, answer->paths, answer->stands, standing, &plan.plan);
            FormatTaxiwayText(plan.plan, side, plan.text);
            plans.push_back(plan);
        }
    }
    return plans;
}

const char *SideName(int side) { return side == TAXIWAY_TAIL_LEFT ? "Left" : "Right"; }

std::string PlansTsv(const std::vector<StandPlan> &plans) {
    std::string tsv =
        "stand\tlatitude\tlongitude\theading\tside\ttext\tpush_m\tturn_deg\tturn_latitude\tturn_longitude\t"
        "end_latitude\tend_longitude\tend_heading\n";
    for (const StandPlan &p : plans) {
        Append(&tsv, "%s\t%.7f\t%.7f\t%.2f\t%s\t%s", StandName(*p.spot).c_str(), RawLatitude(p.spot->at.latRaw),
               RawLongitude(p.spot->at.lonRaw), p.spot->heading, SideName(p.side), p.text);
        const TaxiwayPlan &plan = p.plan;
        if (plan.outcome == TAXIWAY_PLANNED)
            Append(&tsv, "\t%.2f\t%.2f\t%.7f\t%.7f\t%.7f\t%.7f\t%.3f\n", plan.pushMetres, plan.turnDegrees,
                   plan.turnLatitude, plan.turnLongitude, plan.endLatitude, plan.endLongitude, plan.targetHeading);
        else
            tsv += "\t\t\t\t\t\t\t\n";
    }
    return tsv;
}

// Each planned path as the aircraft's reference point goes: the straight
// push, the turn in 5-degree steps, the roll-out.
std::string PlansOverlay(const AirportMap::View &airport, const std::vector<StandPlan> &plans, double radius) {
    const PlanFrame frame(airport);
    std::string svg;
    for (const StandPlan &p : plans) {
        const TaxiwayPlan &plan = p.plan;
        if (plan.outcome != TAXIWAY_PLANNED) continue;
        double sx, sy, tx, ty;
        frame.Project(RawLatitude(p.spot->at.latRaw), RawLongitude(p.spot->at.lonRaw), &sx, &sy);
        frame.Project(plan.turnLatitude, plan.turnLongitude, &tx, &ty);
        const double sign = p.side == TAXIWAY_TAIL_LEFT ? 1.0 : -1.0;
        const double push = (p.spot->heading + 180.0) * kPi / 180.0;
        // The turn's centre, radius to the turning side of the push (y grows southwards).
        const double cx = tx + radius * sin(push + sign * kPi / 2), cy = ty - radius * cos(push + sign * kPi / 2);
        Append(&svg, "<polyline fill=\"none\" stroke=\"%s\" stroke-width=\"1.5\" points=\"%.1f,%.1f %.1f,%.1f",
               p.side == TAXIWAY_TAIL_LEFT ? "blue" : "darkorange", sx, sy, tx, ty);
        double x = tx, y = ty;
        for (double turned = 5.0; turned < plan.turnDegrees + 5.0; turned += 5.0) {
            const double a = push + sign * (fmin(turned, plan.turnDegrees) + 90.0) * kPi / 180.0;
            x = cx - radius * sin(a), y = cy + radius * cos(a);
            Append(&svg, " %.1f,%.1f", x, y);
        }
        const double out = push + sign * plan.turnDegrees * kPi / 180.0;
        Append(&svg, " %.1f,%.1f\"><title>%s %s: %s</title></polyline>\n", x + TAXIWAY_ROLL_OUT_METRES * sin(out),
               y - TAXIWAY_ROLL_OUT_METRES * cos(out), StandName(*p.spot).c_str(), SideName(p.side), p.text);
    }
    return svg;
}

bool ParseMetres(const std::string &text, bool (*inRange)(double), double *value) {
    return ParseDecimal(text.c_str(), value) && inRange(*value);
}

}  // namespace

std::vector<PlanAircraft> MeasuredAircraft(const char *configPath) {
    std::vector<PlanAircraft> aircraft;
    std::vector<char> section(64 * 1024);
    const DWORD length =
        GetPrivateProfileSectionA(kSectionPlaneRadius, section.data(), static_cast<DWORD>(section.size()), configPath);
    // "key=value" lines, each ended by a NUL, the last by two. A section too
    // long for the buffer comes cut, its last line perhaps in the middle of
    // a number: that line is left out.
    const bool cut = length + 2 >= section.size();
    for (DWORD at = 0; at < length && section[at] != '\0';) {
        const std::string line(section.data() + at);
        at += static_cast<DWORD>(line.size()) + 1;
        if (cut && at >= length) break;
        const size_t equals = line.find('=');
        PlanAircraft one;
        if (equals == std::string::npos || !ParseMetres(line.substr(equals + 1), IsRadiusInRange, &one.radius))
            continue;
        one.name = line.substr(0, equals);
        char correction[256];
        GetPrivateProfileStringA(kSectionPlaneCorrect, one.name.c_str(), "", correction, sizeof correction, configPath);
        // One that fills the buffer may be cut: no number, as the add-on reads it.
        if (strlen(correction) + 1 >= sizeof correction ||
            !ParseMetres(correction, IsCorrectionInRange, &one.correction))
            one.correction = 0.0;
        aircraft.push_back(one);
    }
    return aircraft;
}

std::string StandPlansReport(const AirportMap &map, const char *icao, const char *configPath) {
    AirportMap::View airport;
    if (!map.Find(icao, &airport)) return std::string();
    std::vector<PlanAircraft> aircraft = MeasuredAircraft(configPath);
    std::string text = "taxiway pushes from each stand, as DrovanaX plans them there (tail left, tail right):\r\n";
    if (aircraft.empty()) {
        Append(&text,
               "  no aircraft in %s has a turn radius yet (\"Correct Value\" measures it): the plans "
               "are for a radius of %.1f m and a correction of %.1f m\r\n",
               configPath, kDefaultPlanRadius, kDefaultPlanCorrection);
        aircraft.push_back(PlanAircraft{"the defaults", kDefaultPlanRadius, kDefaultPlanCorrection});
    }
    for (const PlanAircraft &one : aircraft) {
        Append(&text, "%s, radius %.1f m, correction %.1f m:\r\n", one.name.c_str(), one.radius, one.correction);
        for (const StandPlan &p : PlanEveryStand(map, airport, one))
            Append(&text, "  %-12s %-5s %s\r\n", p.side == TAXIWAY_TAIL_LEFT ? StandName(*p.spot).c_str() : "",
                   SideName(p.side), p.text);
    }
    return text;
}

int PlansOfFile(const std::vector<std::string> &args, void (*print)(const std::string &)) {
    PlanAircraft aircraft = {"plans", kDefaultPlanRadius, kDefaultPlanCorrection};
    std::string icaoText, folder;
    for (size_t i = 2; i < args.size(); ++i) {
        const bool valued = i + 1 < args.size();
        if (args[i] == "--out" && valued) {
            folder = args[++i];
        } else if (args[i] == "--radius" && valued) {
            if (!ParseMetres(args[++i], IsRadiusInRange, &aircraft.radius)) {
                print("DrovanaMap: --radius takes metres from 3 to 200\r\n");
                return 2;
            }
        } else if (args[i] == "--correction" && valued) {
            if (!ParseMetres(args[++i], IsCorrectionInRange, &aircraft.correction)) {
                print("DrovanaMap: --correction takes metres from -100 to 100\r\n");
                return 2;
            }
        } else {
            icaoText = args[i];
        }
    }
    char icao[8] = "";
    if (folder.empty() || (!icaoText.empty() && !IdentForFileName(icaoText.c_str(), icao, sizeof icao))) {
        print("use: DrovanaMap.exe --plans FILE.bgl [ICAO] [--radius R] [--correction C] --out FOLDER\r\n");
        return 2;
    }
    if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
    ReportNotes notes(icao[0] ? icao : nullptr);
    AirportMap map;
    ReadOneFile(args[1].c_str(), &map, &notes);
    std::string said;
    for (const std::string &line : notes.Lines()) said += line + "\r\n";
    bool found = false;
    for (const std::string &ident : map.Idents()) {
        AirportMap::View airport;
        if ((icao[0] && ident != icao) || !map.Find(ident.c_str(), &airport)) continue;
        found = true;
        const std::vector<StandPlan> plans = PlanEveryStand(map, airport, aircraft);
        const std::string tsv = folder + ident + "-plans.tsv", svg = folder + ident + "-plans.svg";
        const std::string table = PlansTsv(plans),
                          drawing = AirportPlanSvg(airport, PlansOverlay(airport, plans, aircraft.radius));
        const bool written = WriteWholeFile(tsv.c_str(), table.data(), table.size()) &&
                             WriteWholeFile(svg.c_str(), drawing.data(), drawing.size());
        said += (written ? "plans: " : "cannot write ") + tsv + "\r\n";
        if (!written) {
            print(said);
            return 1;
        }
    }
    if (!found) said += std::string(icao[0] ? icao : "the file") + ": no taxi network read\r\n";
    print(said);
    return found ? 0 : 1;
}
