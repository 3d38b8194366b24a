#include "map_report.h"

#include <windows.h>

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>

#include "library_reader.h"

namespace {

const char *const kPathTypes[] = {"?", "taxi", "runway", "parking", "path", "closed", "vehicle"};
const char *const kPushSides[] = {"none", "left", "right", "both"};

std::string PathName(const AirportMap::View &a, const BglPath &path) {
    char text[16];
    if (path.type == MAP_PATH_RUNWAY) {
        RunwayName(path.name, path.designator, text, sizeof text);
        return text;
    }
    return path.name < a.names.size() ? a.names[path.name].text : "";
}

// Names and paths come from third-party files: only plain ASCII goes into
// the XML, markup characters as entities.
std::string Escaped(const std::string &text) {
    std::string out;
    for (const char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else
            out += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return out;
}

const BglPoint &PathEnd(const AirportMap::View &a, const BglPath &path) {
    return path.type == MAP_PATH_PARKING ? a.parking[path.end].at : a.points[path.end];
}

}  // namespace

void Append(std::string *text, const char *format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    *text += line;
}

bool ReportNotes::Wanted(const char *icao) const { return icao_.empty() || lstrcmpiA(icao_.c_str(), icao) == 0; }

void ReportNotes::Skipped(const char *file, const char *icao, const char *why) {
    if (icao[0] != '\0' && !Wanted(icao)) return;
    lines_.push_back(std::string("skipped ") + (icao[0] ? std::string("airport ") + icao + " in " : std::string()) +
                     file + ": " + why);
}

void ReportNotes::Read(const char *file, const char *icao, const char *text) {
    if (Wanted(icao)) lines_.push_back(std::string(icao) + " in " + file + ", " + text);
}

void ReportNotes::Library(const char *text) { lines_.push_back(text); }

std::string AirportReport(const AirportMap::View &a) {
    std::string text;
    Append(&text, "%s from %s (layer %d): %u taxi points, %u parking spots, %u taxi paths\r\n", a.icao, a.file, a.layer,
           static_cast<unsigned>(a.points.size()), static_cast<unsigned>(a.parking.size()),
           static_cast<unsigned>(a.paths.size()));
    Append(&text, "parking spots (pushback: the side the tail goes to):\r\n");
    for (const BglParking &spot : a.parking) {
        Append(&text, "  %-10s %4u  heading %5.1f  radius %5.1f m  pushback %-5s  at %.6f %.6f\r\n",
               ParkingNameText(ParkingNameCode(spot.flags)), ParkingNumber(spot.flags), spot.heading, spot.radius,
               kPushSides[ParkingPushSide(spot.flags)], RawLatitude(spot.at.latRaw), RawLongitude(spot.at.lonRaw));
    }
    // Grouped by type and name, which is how a chart names them.
    std::map<std::pair<int, std::string>, std::pair<unsigned, float>> groups;
    for (const BglPath &path : a.paths) {
        auto &group = groups[std::make_pair(static_cast<int>(path.type), PathName(a, path))];
        group.first += 1;
        group.second = std::max(group.second, path.width);
    }
    Append(&text, "taxi paths by type and name:\r\n");
    for (const auto &group : groups) {
        Append(&text, "  %-8s %-8s %4u paths, up to %.1f m wide\r\n", kPathTypes[group.first.first],
               group.first.second.empty() ? "(none)" : group.first.second.c_str(), group.second.first,
               group.second.second);
    }
    return text;
}

PlanFrame::PlanFrame(const AirportMap::View &a) {
    const BglPoint origin = !a.points.empty() ? a.points[0] : !a.parking.empty() ? a.parking[0].at : BglPoint{};
    latitude_ = RawLatitude(origin.latRaw);
    longitude_ = RawLongitude(origin.lonRaw);
    eastPerDegree_ = 1852.0 * 60.0 * cos(latitude_ * 3.14159265358979323846 / 180.0);
}

void PlanFrame::Project(double latitude, double longitude, double *x, double *y) const {
    *x = (longitude - longitude_) * eastPerDegree_;
    *y = -(latitude - latitude_) * 1852.0 * 60.0;
}

void ReadOneFile(const char *file, AirportMap *map, MapNotes *notes) {
    BglFileContents contents;
    char why[kBglWhySize];
    if (ReadBglFile(file, &contents, why, sizeof why))
        map->AddFile(file, 0, contents, notes);
    else
        notes->Skipped(file, "", why);
    map->Compact();
}

std::string AirportPlanSvg(const AirportMap::View &a, const std::string &overlay) {
    const PlanFrame frame(a);
    auto project = [&](const BglPoint &p, double *x, double *y) {
        frame.Project(RawLatitude(p.latRaw), RawLongitude(p.lonRaw), x, y);
    };
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    auto widen = [&](const BglPoint &p, double margin) {
        double x, y;
        project(p, &x, &y);
        minX = std::min(minX, x - margin), maxX = std::max(maxX, x + margin);
        minY = std::min(minY, y - margin), maxY = std::max(maxY, y + margin);
    };
    for (const BglPoint &p : a.points) widen(p, 20);
    for (const BglParking &p : a.parking) widen(p.at, p.radius + 20);
    std::string svg;
    Append(&svg, "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"%.1f %.1f %.1f %.1f\">\n", minX, minY,
           maxX - minX, maxY - minY);
    Append(&svg, "<title>%s taxi network (%s, layer %d)</title>\n", a.icao, Escaped(a.file).c_str(), a.layer);
    static const char *const kColours[] = {"grey", "gold", "dimgrey", "royalblue", "goldenrod", "red", "green"};
    for (const BglPath &path : a.paths) {
        double x1, y1, x2, y2;
        project(a.points[path.start], &x1, &y1);
        project(PathEnd(a, path), &x2, &y2);
        Append(&svg,
               "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"%s\" stroke-width=\"%.1f\" "
               "stroke-opacity=\"0.6\" stroke-linecap=\"round\"><title>%s %s</title></line>\n",
               x1, y1, x2, y2, kColours[path.type], std::max(1.0f, std::min(path.width, 100.0f)), kPathTypes[path.type],
               Escaped(PathName(a, path)).c_str());
    }
    for (const BglParking &spot : a.parking) {
        double x, y;
        project(spot.at, &x, &y);
        const double rad = spot.heading * 3.14159265358979323846 / 180.0;
        Append(&svg,
               "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\" fill=\"none\" stroke=\"black\"/>"
               "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"black\"/>"
               "<text x=\"%.1f\" y=\"%.1f\" font-size=\"6\">%s %u (%s)</text>\n",
               x, y, spot.radius, x, y, x + sin(rad) * spot.radius, y - cos(rad) * spot.radius, x + 2, y - 2,
               ParkingNameText(ParkingNameCode(spot.flags)), ParkingNumber(spot.flags),
               kPushSides[ParkingPushSide(spot.flags)]);
    }
    svg += overlay;
    svg += "</svg>\n";
    return svg;
}

bool IdentForFileName(const char *given, char *ident, size_t size) {
    size_t length = 0;
    for (; given[length] != '\0'; ++length) {
        const char c = given[length];
        const bool alnum = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (!alnum || length + 1 >= size) {
            ident[0] = '\0';
            return false;
        }
        ident[length] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    ident[length] = '\0';
    return length > 0;
}
