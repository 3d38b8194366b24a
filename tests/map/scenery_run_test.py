"""The stand-in's scenery end to end: `scenery` lines become areas of the run's
folder and of the prefix's Scenery.CFG, which the map program the add-on
starts reads; a run without them gets the default airport alone. And the map
program where a simulator crashes or its DrovanaX folder cannot be written.
Then the five simulators' own libraries side by side, and the Steam Edition
alone, each read by the map program for its own folder."""

import configparser
import getpass
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "sim"))
from sim_test_support import SOURCE, build_dir, main, run, run_scenario  # noqa: E402

sys.path.insert(0, str(SOURCE / "tools"))
import bgl_writer  # noqa: E402

SMALL_AIRPORT = """airport KBFI 47.53 -122.30
point P1 0 0
point P2 100 0
path taxi P1 P2 A 20
"""


# Each simulator's registry value naming its folder, the folder of its
# Scenery.CFG under ProgramData (the Steam Edition's beside the boxed one) and
# an airport of its own; then the keys these runs add, deleted after them.
SIMULATORS = {
    "boxed edition": (r"SOFTWARE\Microsoft\microsoft games\flight simulator\10.0", "SetupPath", "Microsoft/FSX",
                      "KBFI"),
    "Steam Edition": (r"SOFTWARE\Dovetail Games\FSX\10.0", "Install_Path", "Microsoft/FSX-SE", "KPAE"),
    "Prepar3D v1": (r"SOFTWARE\LockheedMartin\Prepar3D", "SetupPath", "Lockheed Martin/Prepar3D", "KRNT"),
    "Prepar3D v2": (r"SOFTWARE\Lockheed Martin\Prepar3D v2", "SetupPath", "Lockheed Martin/Prepar3D v2", "KTIW"),
    "Prepar3D v3": (r"SOFTWARE\Lockheed Martin\Prepar3D v3", "SetupPath", "Lockheed Martin/Prepar3D v3", "KOLM"),
}
ADDED_KEYS = (r"HKLM\SOFTWARE\Dovetail Games", r"HKLM\SOFTWARE\LockheedMartin", r"HKLM\SOFTWARE\Lockheed Martin")


def scenery_cfg():
    path = Path(os.environ["WINEPREFIX"]) / "drive_c" / "ProgramData" / "Microsoft" / "FSX" / "Scenery.CFG"
    parser = configparser.ConfigParser(interpolation=None)
    parser.optionxform = str
    parser.read_string(path.read_text(encoding="latin-1"))
    return {s: dict(parser[s]) for s in parser.sections() if s.startswith("Area.")}


def processes_of(folder, program):
    """(pid, command line) of each running process whose command line names the run's program."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            line = Path("/proc", pid, "cmdline").read_bytes().replace(b"\0", b" ").decode("latin-1")
        except OSError:
            continue
        if program in line and folder.name in line:
            found.append((int(pid), line))
    return found


def map_programs_of(folder):
    return [line for _, line in processes_of(folder, "DrovanaMap.exe")]


def wait_until(condition, seconds):
    deadline = time.time() + seconds
    while not condition() and time.time() < deadline:
        time.sleep(0.2)
    return condition()


class SceneryLines(unittest.TestCase):
    """Two areas: a description relative to the scenario file with layer 5,
    a BGL file by its absolute folder with the next layer."""

    @classmethod
    def setUpClass(cls):
        cls.temp = tempfile.TemporaryDirectory()
        base = Path(cls.temp.name)
        (base / "one").mkdir()
        (base / "one" / "field.txt").write_text(SMALL_AIRPORT)
        (base / "two").mkdir()
        cls.bgl = bgl_writer.write(SMALL_AIRPORT.replace("KBFI", "KPAE"))
        (base / "two" / "Other.BGL").write_bytes(cls.bgl)
        (base / "two" / "notes.doc").write_bytes(b"not scenery")
        scenario = base / "scenery_lines.txt"
        scenario.write_text("scenery one 5\nscenery %s\nuntil simstart timeout 30\nat 0.5 resources mapped\nend 1\n"
                            % (base / "two"))
        cls.result = run(scenario, "map_scenery_lines", player="none")
        cls.areas = scenery_cfg()

    @classmethod
    def tearDownClass(cls):
        cls.temp.cleanup()

    def test_files_become_areas_of_the_run_folder(self):
        self.assertEqual(self.result.code, 0, self.result.output)
        folder = self.result.folder
        self.assertEqual((folder / "Scenery/Area1/scenery/field.bgl").read_bytes(), bgl_writer.write(SMALL_AIRPORT))
        self.assertEqual((folder / "Scenery/Area2/scenery/Other.BGL").read_bytes(), self.bgl)
        self.assertFalse((folder / "Scenery/Area2/scenery/notes.doc").exists(), "only BGL files are scenery")
        self.assertEqual([(a["local"], a["layer"], a["exists"]) for a in self.result.of("scenery_area")],
                         [("Scenery\\Area1", 5, True), ("Scenery\\Area2", 6, True)])

    def test_scenery_cfg_lists_them_active_before_the_addon_loads(self):
        self.assertEqual({k: (v["Local"], v["Layer"], v["Active"]) for k, v in self.areas.items()},
                         {"Area.001": ("Scenery\\Area1", "5", "TRUE"), "Area.002": ("Scenery\\Area2", "6", "TRUE")})
        events = [r["ev"] for r in self.result.trace]
        self.assertLess(events.index("scenery"), events.index("dllstart"))

    def test_resources_record_the_address_space_the_addon_shares(self):
        # The add-on, its map worker and the stand-in in one 32-bit process:
        # some megabytes committed, all of it within what is reserved.
        mapped = [r for r in self.result.of("resources") if r.get("label") == "mapped"]
        self.assertEqual(len(mapped), 1, self.result.output)
        self.assertGreater(mapped[0]["private_bytes"], 1 << 20)
        self.assertGreaterEqual(mapped[0]["virtual_bytes"], mapped[0]["private_bytes"])
        self.assertLess(mapped[0]["virtual_bytes"], 4 << 30)

    def test_map_program_read_that_library_and_ended_with_the_run(self):
        log = (self.result.folder / "DrovanaX" / "DrovanaMap.log").read_text(encoding="latin-1")
        self.assertIn("ProgramData\\Microsoft\\FSX\\Scenery.CFG", log)
        wait_until(lambda: not map_programs_of(self.result.folder), 10)
        self.assertEqual(map_programs_of(self.result.folder), [], "DrovanaMap.exe outlived DLLStop")


def kill(pids):
    for pid in pids:
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass


class SimulatorKilled(unittest.TestCase):
    """A simulator that crashes calls no DLLStop: the map program it started
    must end by itself, or it holds its log and files until the next start."""

    def test_map_program_ends_with_a_simulator_killed_outright(self):
        process, folder, _ = run_scenario.start(build_dir(), "until simstart timeout 30\nend 120\n",
                                                name="map_simulator_killed", player="none",
                                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        log = folder / "DrovanaX" / "DrovanaMap.log"
        try:
            self.assertTrue(wait_until(lambda: log.exists() and map_programs_of(folder), 60), "no map program")
            kill([pid for pid, _ in processes_of(folder, "DrovanaSim.exe")] + [process.pid])
            self.assertTrue(wait_until(lambda: not map_programs_of(folder), 10),
                            "DrovanaMap.exe outlived the simulator by 10 s: %s" % map_programs_of(folder))
            self.assertIn("which started the map, has ended: so does the map", log.read_text("latin-1"))
        finally:
            kill([pid for pid, _ in processes_of(folder, "DrovanaMap.exe")] + [process.pid])
            process.wait(30)


class UnwritableDrovanaFolder(unittest.TestCase):
    """A simulator folder's DrovanaX\\ that the pilot may not write (under Program
    Files without the installer's grant; `chattr +i` here, as Wine run as root
    writes through permissions): the report and the log go to the pilot's own
    DrovanaX folder, and each names the file refused and why."""

    def test_report_and_log_go_to_the_pilots_folder_and_say_which_file_was_refused(self):
        env = run_scenario.wine_env(build_dir())
        program = str(build_dir() / "DrovanaMap.exe")
        own = Path(env["WINEPREFIX"], "drive_c", "users", getpass.getuser(), "AppData", "Local", "DrovanaX")
        for name in ("DrovanaMap.log", "DrovanaMap-KTST.txt"):  # an earlier run's
            (own / name).unlink(missing_ok=True)
        with tempfile.TemporaryDirectory() as temp:
            drovana = Path(temp) / "sim" / "DrovanaX"
            drovana.mkdir(parents=True)
            folder = run_scenario.windows_path(drovana.parent, env) + "\\"
            subprocess.run(["chattr", "+i", str(drovana)], check=True)
            serving = None
            try:
                report = subprocess.run([run_scenario.WINE_RUN, program, folder, "KTST"], env=env, timeout=120,
                                        capture_output=True, text=True).stdout
                self.assertIn(folder + "DrovanaX\\DrovanaMap-KTST.txt could not be written (error 5)", report)
                self.assertIn("written to C:\\users\\%s\\AppData\\Local\\DrovanaX\\DrovanaMap-KTST.txt" % getpass.getuser(),
                              report)
                self.assertIn("KTST: no taxi network read", (own / "DrovanaMap-KTST.txt").read_text())
                log = own / "DrovanaMap.log"
                serving = subprocess.Popen([run_scenario.WINE_RUN, program, folder], env=env,
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                self.assertTrue(wait_until(lambda: log.exists() and "Scenery.CFG" in log.read_text("latin-1"), 60))
                self.assertEqual(log.read_text("latin-1").splitlines()[0], folder + "DrovanaX\\DrovanaMap.log could "
                                 "not be written (error 5): this log is written here instead")
            finally:
                kill([pid for pid, _ in processes_of(Path(temp), "DrovanaMap.exe")])
                if serving is not None:
                    serving.wait(30)
                subprocess.run(["chattr", "-i", str(drovana)], check=True)


class DefaultAirport(unittest.TestCase):
    def test_a_run_without_scenery_lines_gets_the_default_airport_alone(self):
        result = run("until simstart timeout 30\nend 0.5\n", "map_default_airport", player="none", map_program="none")
        self.assertEqual(result.code, 0, result.output)
        self.assertEqual(list(scenery_cfg().values()),
                         [{"Title": "Stand-in area 1", "Local": "Scenery\\DefaultAirport", "Layer": "1",
                           "Active": "TRUE", "Required": "FALSE"}])
        written = result.folder / "Scenery/DefaultAirport/scenery/default_airport.bgl"
        self.assertEqual(written.read_bytes(),
                         bgl_writer.write((SOURCE / "sim/scenery/default_airport.txt").read_text()))


class EachSimulatorsLibrary(unittest.TestCase):
    """The five side by side, each with an airport of its own in its own
    Scenery.CFG (Prepar3D v1's only in the pilot's application data): the map
    program of each folder reads that one. Then the Steam Edition alone, which
    reads the boxed edition's place."""

    @classmethod
    def setUpClass(cls):
        cls.temp = tempfile.TemporaryDirectory(dir=build_dir())
        cls.env = run_scenario.wine_env(build_dir())
        cls.folders, lines = {}, []
        for name, (key, value, data, icao) in SIMULATORS.items():
            folder = cls.folders[name] = Path(cls.temp.name) / data.replace("/", "-")
            (folder / "Area" / "scenery").mkdir(parents=True)
            (folder / "Area" / "scenery" / "a.bgl").write_bytes(bgl_writer.write(SMALL_AIRPORT.replace("KBFI", icao)))
            windows = run_scenario.windows_path(folder, cls.env)
            lines += ["[HKLM\\%s]" % key, run_scenario.reg_value(value, windows + "\\")]
            library = cls.library(name)
            library.parent.mkdir(parents=True, exist_ok=True)
            library.write_text("[Area.001]\r\nLocal=%s\\Area\r\nActive=TRUE\r\n" % windows, encoding="latin-1")
        run_scenario.reg_import(build_dir(), cls.env, lines)

    @classmethod
    def library(cls, name):
        where = (run_scenario.app_data(cls.env) if name == "Prepar3D v1"
                 else Path(cls.env["WINEPREFIX"]) / "drive_c" / "ProgramData")
        return where / SIMULATORS[name][2] / "Scenery.CFG"

    @classmethod
    def tearDownClass(cls):
        run_scenario.reg_import(build_dir(), cls.env, ["[-%s]" % key for key in ADDED_KEYS])
        for name in SIMULATORS:
            cls.library(name).unlink(missing_ok=True)
        cls.temp.cleanup()

    def report(self, name, icao):
        """DrovanaMap.exe FOLDER ICAO: its exit code (0: the airport was read) and what it printed."""
        done = subprocess.run([run_scenario.WINE_RUN, str(build_dir() / "DrovanaMap.exe"),
                               run_scenario.windows_path(self.folders[name], self.env) + "\\", icao], env=self.env,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        return done.returncode, done.stdout.decode("latin-1")

    def test_each_reads_its_own_side_by_side_then_the_steam_edition_alone(self):
        for name, (_, _, data, icao) in SIMULATORS.items():
            code, text = self.report(name, icao)
            self.assertEqual(0, code, text)
            self.assertIn("simulator: %s (its registry values name this folder)" % name, text)
            self.assertIn("\\%s\\Scenery.CFG%s" % (data.replace("/", "\\"), (" (the edition's own is missing)"
                                                                              if name == "Prepar3D v1" else "")), text)
        run_scenario.reg_import(build_dir(), self.env, ["[-HKLM\\%s]" % SIMULATORS["boxed edition"][0]])
        code, text = self.report("Steam Edition", "KBFI")
        self.assertEqual(0, code, "alone, the Steam Edition keeps its library where the boxed edition does:\n" + text)


if __name__ == "__main__":
    main()
