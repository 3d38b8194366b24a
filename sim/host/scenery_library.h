// The stand-in's scenery library: the scenario's `scenery FOLDER [LAYER]`
// lines and the Scenery.CFG the simulator keeps for them, which the add-on's
// map program reads.
#ifndef DROVANA_SIM_HOST_SCENERY_LIBRARY_H
#define DROVANA_SIM_HOST_SCENERY_LIBRARY_H

#include <string>
#include <vector>

struct SceneryArea {
    std::string folder;  // Windows path, absolute or relative to the installation folder
    int layer;
};

// `FOLDER [LAYER]`: a last word that is a whole number is the layer; without
// one the area gets the next layer after the ones before it, so later lines
// win. False with a message when the line names no folder.
bool ParseSceneryLine(const std::string &rest, std::vector<SceneryArea> *areas, std::string *error);

// Writes the simulator's %ProgramData%\<data>\Scenery.CFG (data: its folder,
// Microsoft\FSX for the boxed edition) with one active area a line, before
// the add-on loads, as the simulator keeps it. The trace gets a `scenery`
// record with the file and its areas.
void WriteSceneryLibrary(const std::vector<SceneryArea> &areas, const std::string &installFolder,
                         const std::string &data);

#endif
