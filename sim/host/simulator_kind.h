// Which simulator the stand-in plays (`simulator CODE`): the boxed FSX, its
// Steam Edition, or Prepar3D v1, v2 or v3. Each keeps its registry values,
// its dll.xml and its Scenery.CFG where the real one does, and names its main
// window as the real one; the add-on and DrovanaSetup must find each there.
// These are the stand-in's own statement of those places, not the editions
// table's, so that a wrong entry there shows up here.
#ifndef DROVANA_SIM_HOST_SIMULATOR_KIND_H
#define DROVANA_SIM_HOST_SIMULATOR_KIND_H

#include <string>

struct SimulatorKind {
    const char *code;          // as in the scenario (any case)
    const char *machineKey;    // HKLM, the value naming its folder
    const char *machineValue;
    const char *userKey;       // HKCU, the same for the pilot; null: none written
    const char *userValue;
    const char *dataAlone;     // under %APPDATA% (dll.xml) and %ProgramData% (Scenery.CFG)
    const char *dataBeside;    // ... beside the boxed edition
    const char *title;         // of its main window, class FS98MAIN
};

// The boxed edition as every run played it before there were others: its
// SetupPath alone, no HKCU value, the add-on loaded without a dll.xml.
const SimulatorKind &DefaultSimulator();
// null for a code no simulator has.
const SimulatorKind *FindSimulatorKind(const std::string &code);

// The folder the simulator keeps its dll.xml and Scenery.CFG in, relative to
// the application-data folders: the Steam Edition's is its own only beside a
// boxed edition whose SetupPath names another existing folder.
std::string SimulatorDataFolder(const SimulatorKind &kind, const std::string &installFolder);

// %APPDATA%\<data>\dll.xml, where the simulator reads its in-process add-ons.
std::string SimulatorDllXml(const std::string &data);

// Writes its registry values naming the folder (machineValueText replaces
// the machine one's text; deleteMachineValue removes it), before the add-on
// loads; the trace gets a `registry` record.
void WriteSimulatorRegistry(const SimulatorKind &kind, const std::string &installFolder, bool useGivenMachineValue,
                            const std::string &machineValueText, bool deleteMachineValue);

// The path of the add-on named name in the simulator's dll.xml (a relative
// Path is the simulator folder's), as the simulator reads it at start: every
// <Launch.Addon> block, the first of that name that is not Disabled. Empty
// when there is none. The trace gets a `dll_xml` record.
std::string AddonFromDllXml(const std::string &dllXml, const std::string &name, const std::string &installFolder);

#endif
