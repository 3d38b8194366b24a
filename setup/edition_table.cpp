// The five simulators' facts, apart from the code that reads the registry
// and the disk with them: the add-on needs the table alone.
#include "editions.h"

namespace {

const char kBoxedKey[] = "Software\\Microsoft\\Microsoft Games\\Flight Simulator\\10.0";
const char kFsxSdk[] = "SDK\\";
const char kFsxSdkSource[] = "The simulator's SDK installs it";
// Prepar3D ships the FSX SimConnect clients among its redistributables; the
// last FSX one binds for the first (its publisher policy redirects).
const char kP3dRedist[] = "redist\\Interface\\FSX-SP2-XPACK\\";
const char kP3dRedistSource[] = "Prepar3D installs it with the FSX SimConnect client of its redistributables";

}  // namespace

// The sources of each value are in docs/maintainers.md, "Public facts and their sources".
// clang-format off
const Edition kEditions[] = {
    {"FSX", "boxed edition", "DrovanaX (FSX)",
     {{true, kBoxedKey, "SetupPath"}, {false, kBoxedKey, "AppPath"}},
     "Microsoft\\FSX", "Microsoft\\FSX", SCENERY_CFG_OF_THE_OTHER_FSX, "fsx.exe", 0, kFsxSdk, kFsxSdkSource},
    {"FSX-SE", "Steam Edition", "DrovanaX (Steam Edition)",
     {{true, "SOFTWARE\\Dovetail Games\\FSX\\10.0", "Install_Path"},
      {false, "Software\\Microsoft\\Microsoft Games\\Flight Simulator - Steam Edition\\10.0", "AppPath"}},
     "Microsoft\\FSX", "Microsoft\\FSX-SE", SCENERY_CFG_OF_THE_OTHER_FSX, "fsx.exe", 0, kFsxSdk, kFsxSdkSource},
    // Version 1 spells the company without its blank in the registry.
    {"P3Dv1", "Prepar3D v1", "DrovanaX (Prepar3D v1)",
     {{true, "SOFTWARE\\LockheedMartin\\Prepar3D", "SetupPath"},
      {false, "Software\\LockheedMartin\\Prepar3D", "AppPath"}},
     "Lockheed Martin\\Prepar3D", "Lockheed Martin\\Prepar3D", SCENERY_CFG_IN_APPDATA_TOO, "Prepar3D.exe", 1,
     kP3dRedist, kP3dRedistSource},
    {"P3Dv2", "Prepar3D v2", "DrovanaX (Prepar3D v2)",
     {{true, "SOFTWARE\\Lockheed Martin\\Prepar3D v2", "SetupPath"},
      {false, "Software\\Lockheed Martin\\Prepar3D v2", "AppPath"}},
     "Lockheed Martin\\Prepar3D v2", "Lockheed Martin\\Prepar3D v2", SCENERY_CFG_IN_APPDATA_TOO, "Prepar3D.exe", 2,
     kP3dRedist, kP3dRedistSource},
    {"P3Dv3", "Prepar3D v3", "DrovanaX (Prepar3D v3)",
     {{true, "SOFTWARE\\Lockheed Martin\\Prepar3D v3", "SetupPath"},
      {false, "Software\\Lockheed Martin\\Prepar3D v3", "AppPath"}},
     "Lockheed Martin\\Prepar3D v3", "Lockheed Martin\\Prepar3D v3", SCENERY_CFG_IN_APPDATA_TOO, "Prepar3D.exe", 3,
     kP3dRedist, kP3dRedistSource},
};
// clang-format on
const int kEditionCount = sizeof(kEditions) / sizeof(kEditions[0]);
const Edition &kBoxedEdition = kEditions[0];

const Edition *EditionByCode(const char *code) {
    for (int e = 0; code != nullptr && e < kEditionCount; ++e)
        if (lstrcmpiA(kEditions[e].code, code) == 0) return &kEditions[e];
    return nullptr;
}
