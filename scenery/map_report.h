// What DrovanaX reads of an airport, as text a pilot can send with a report
// and as a plan a maintainer can look at.
#ifndef DROVANA_SCENERY_MAP_REPORT_H
#define DROVANA_SCENERY_MAP_REPORT_H

#include <string>
#include <vector>

#include "airport_map.h"

// Collects what the reading had to say, all of it or one airport's.
class ReportNotes : public MapNotes {
public:
    explicit ReportNotes(const char *icao) : icao_(icao ? icao : "") {}
    void Skipped(const char *file, const char *icao, const char *why) override;
    void Read(const char *file, const char *icao, const char *text) override;
    bool TakesRead() const override { return true; }
    void Library(const char *text) override;
    const std::vector<std::string> &Lines() const { return lines_; }

private:
    bool Wanted(const char *icao) const;
    std::string icao_;
    std::vector<std::string> lines_;
};

// Parking spots with number, heading and pushback side; taxi paths by type
// and name.
std::string AirportReport(const AirportMap::View &airport);

// Metres east and south of the airport's first point: the plan's SVG frame.
class PlanFrame {
public:
    explicit PlanFrame(const AirportMap::View &airport);
    void Project(double latitude, double longitude, double *x, double *y) const;

private:
    double latitude_, longitude_, eastPerDegree_;
};

// A plan of the taxi lines and stands, north up, in metres; overlay (SVG in
// the PlanFrame's metres) is drawn over them.
std::string AirportPlanSvg(const AirportMap::View &airport, const std::string &overlay = std::string());

// A line of the report, cut at 511 characters.
void Append(std::string *text, const char *format, ...) __attribute__((format(printf, 2, 3)));

// One airport file into the map, what it skipped into the notes.
void ReadOneFile(const char *file, AirportMap *map, MapNotes *notes);

// An airport ident from a command line, upper-cased, safe in a file name;
// false when it is empty, too long, or holds other than letters and digits.
bool IdentForFileName(const char *given, char *ident, size_t size);

#endif
