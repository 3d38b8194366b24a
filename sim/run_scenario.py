#!/usr/bin/env python3
"""Runs one scenario in the stand-in simulator with the add-on loaded.

    python3 sim/run_scenario.py --build BUILD_DIR FILE [--trace FILE] [--name NAME]
                                [--player real|probe|none] [--map real|none]

Lays out a simulated installation folder inside the build tree,
BUILD_DIR/simroot/NAME/ (the host program, DrovanaX.dll, the player, the
side-by-side folder Microsoft.FlightSimulator.SimConnect with the stand-in
SimConnect.dll, SimObjects/Airplanes/<NAME>/<NAME>.air), runs DrovanaSim.exe
there under Wine, in the tree's lane, and exits with its code (2: an `until` timed out). The host
writes the registry value SetupPath (this folder, with a trailing backslash)
and the scenery library's Scenery.CFG into the prefix before it loads the
add-on. Each `scenery FOLDER [LAYER]` line names a host folder (absolute, or
relative to the scenario file); its BGL files and text descriptions (made into
BGL files by tools/bgl_writer.py) become an area of the folder,
Scenery/AreaN/scenery/, and the line handed to the host names that area. A
scenario without `scenery` lines gets the default airport
(sim/scenery/default_airport.txt) alone.

As a module: run(build, scenario_text_or_path, ...) returns a RunResult whose
.trace is the list of trace records (dicts); see sim/TRACE.md.
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
from dataclasses import dataclass, field
from pathlib import Path

SIM_DIR = Path(__file__).resolve().parent
# Runs a Windows program in the lane of the tree named by DROVANA_BUILD_DIR.
WINE_RUN = str(SIM_DIR.parent / "tools" / "wine_run")
PROFILES = ("Liner", "Prop", "Heavy")
ASSEMBLY = "Microsoft.FlightSimulator.SimConnect"
DEFAULT_AIRPORT = SIM_DIR / "scenery" / "default_airport.txt"
SCENERY_LINE = re.compile(r"^(\s*)scenery\s+(.+?)\s*$")

sys.path.insert(0, str(SIM_DIR.parent / "tools"))
import bgl_writer  # noqa: E402


@dataclass
class RunResult:
    code: int
    trace: list
    folder: Path
    output: str = ""
    trace_path: Path = None

    def of(self, ev, **match):
        """Records of one kind whose fields equal the given values."""
        return [r for r in self.trace if r.get("ev") == ev and all(r.get(k) == v for k, v in match.items())]

    def calls(self, fn=None):
        return [r for r in self.trace if r.get("ev") == "call" and (fn is None or r.get("fn") == fn)]

    def texts(self):
        return [r["text"] for r in self.trace if r.get("ev") == "text"]

    def states(self):
        return self.of("state")


def wine_env(build):
    """The environment in which the tree's programs run: its lane's Wine and
    prefix (a WINEPREFIX the caller set is kept)."""
    env = dict(os.environ)
    env["DROVANA_BUILD_DIR"] = str(Path(build).resolve())
    lane = subprocess.run([WINE_RUN, "--env"], env=env, capture_output=True, text=True, check=True).stdout
    env.update(line.split("=", 1) for line in lane.splitlines() if "=" in line)
    # Without a capture set up by the caller, a player started by the add-on
    # finds no sound device rather than a missing default one.
    none = Path(build).resolve() / "wine" / "alsa-none.conf"
    if none.exists():
        env.setdefault("ALSA_CONFIG_PATH", str(none))
    return env


def windows_path(path, env):
    """The Windows name of a Linux path: through drive Z: when it maps the root."""
    path = Path(path).resolve()
    z = Path(env["WINEPREFIX"]) / "dosdevices" / "z:"
    if z.is_symlink() and os.path.realpath(z) == "/":
        return "Z:" + str(path).replace("/", "\\")
    out = subprocess.run([WINE_RUN, "winepath", "-w", str(path)], env=env, capture_output=True, text=True,
                         check=True)
    return out.stdout.strip()


def app_data(env):
    """The prefix's application-data folder, as a Linux path."""
    users = Path(env["WINEPREFIX"]) / "drive_c" / "users"
    found = [p for p in users.glob("*/AppData/Roaming") if p.parts[-3] != "Public"]
    if len(found) != 1:
        raise AssertionError("no single user application-data folder in %s: %s" % (users, found))
    return found[0]


def reg_import(build, env, lines):
    """Lines of a .reg file ("[HKLM\\KEY]" or "[HKCU\\KEY]", reg_value(...), "[-HKLM\\KEY]" to delete a
    key) into the prefix's registry in one run of reg, as the simulators' installers leave them."""
    roots = {"HKLM\\": "HKEY_LOCAL_MACHINE\\", "HKCU\\": "HKEY_CURRENT_USER\\"}
    lines = [re.sub(r"^\[(-?)(HKLM\\|HKCU\\)", lambda m: "[" + m.group(1) + roots[m.group(2)], line) for line in lines]
    folder = Path(tempfile.mkdtemp(prefix="reg-", dir=build))
    path = folder / "values.reg"
    path.write_text("\r\n".join(["Windows Registry Editor Version 5.00", ""] + lines + [""]), encoding="utf-16")
    subprocess.run([WINE_RUN, "reg", "import", windows_path(path, env)], env=env, stdin=subprocess.DEVNULL,
                   capture_output=True, check=True)
    shutil.rmtree(folder)


def reg_value(name, text):
    """A value line of a .reg file."""
    quote = lambda t: '"%s"' % t.replace("\\", "\\\\").replace('"', '\\"')  # noqa: E731
    return "%s=%s" % (quote(name), quote(text))


def aircraft_names(scenario_text):
    names = set(PROFILES)
    for line in scenario_text.splitlines():
        m = re.match(r"\s*(?:at\s+\S+\s+)?aircraft\s+(.+?)\s*$", line)
        if m:
            names.add(m.group(1))
    return names


def split_scenery_line(rest):
    """FOLDER [LAYER], as the host reads it: a last word that is a whole number is the layer."""
    words = rest.rsplit(None, 1)
    if len(words) == 2 and re.fullmatch(r"-?\d{1,6}", words[1]):
        return words[0], words[1]
    return rest, None


def copy_area(source, area):
    """The BGL files of a host folder, and its descriptions made into BGL files, into an area's
    scenery folder (not recursive: the simulator reads no deeper either)."""
    if not source.is_dir():
        raise SystemExit("run_scenario: scenery folder %s does not exist" % source)
    files = area / "scenery"
    files.mkdir(parents=True)
    for item in sorted(source.iterdir()):
        if not item.is_file():
            continue
        if item.suffix.lower() == ".bgl":
            shutil.copy2(item, files / item.name)
        elif item.suffix.lower() == ".txt":
            try:
                bgl_writer.write_file(str(item), str(files / (item.stem + ".bgl")))
            except Exception as error:  # the writer's own message says which line
                raise SystemExit("run_scenario: %s: %s" % (item, error))


def lay_out_scenery(folder, scenario_text, base):
    """Copies each `scenery` line's files into the run's folder as an area and names that area
    in the line the host reads; without such lines, the default airport alone."""
    lines = scenario_text.splitlines()
    areas = 0
    for i, line in enumerate(lines):
        m = SCENERY_LINE.match(line)
        if not m:
            continue
        given, layer = split_scenery_line(m.group(2))
        source = Path(given) if Path(given).is_absolute() else Path(base) / given
        areas += 1
        local = "Scenery\\Area%d" % areas
        copy_area(source.resolve(), folder / "Scenery" / ("Area%d" % areas))
        lines[i] = "%sscenery %s%s" % (m.group(1), local, " " + layer if layer else "")
    if areas == 0:
        area = folder / "Scenery" / "DefaultAirport" / "scenery"
        area.mkdir(parents=True)
        bgl_writer.write_file(str(DEFAULT_AIRPORT), str(area / "default_airport.bgl"))
        lines.append("scenery Scenery\\DefaultAirport")
    return "\n".join(lines) + "\n"


def lay_out(build, name, scenario_text, player):
    build = Path(build).resolve()
    sim = build / "sim"
    for needed in ("DrovanaSim.exe", "SimConnect.dll", ASSEMBLY + ".manifest"):
        if not (sim / needed).exists():
            raise SystemExit("run_scenario: %s is missing; build first (./drovana build)" % (sim / needed))
    root = build / "simroot"
    folder = root / name
    if folder.exists():
        try:
            shutil.rmtree(folder)
        except PermissionError:
            # A run that made Drovana.cfg immutable (`cfgfile unwritable`) and
            # did not live to undo it.
            subprocess.run(["chattr", "-R", "-i", str(folder)], capture_output=True)
            shutil.rmtree(folder)
    (folder / ASSEMBLY).mkdir(parents=True)
    shutil.copy2(sim / "DrovanaSim.exe", folder)
    addon = build / "DrovanaX.dll"
    if addon.exists():
        shutil.copy2(addon, folder)
    shutil.copy2(sim / "SimConnect.dll", folder / ASSEMBLY / "SimConnect.dll")
    shutil.copy2(sim / (ASSEMBLY + ".manifest"), folder / ASSEMBLY / (ASSEMBLY + ".manifest"))
    if player == "real" and (build / "Kestrola.exe").exists():
        shutil.copy2(build / "Kestrola.exe", folder)
    elif player == "probe":
        shutil.copy2(sim / "KestrolaProbe.exe", folder / "Kestrola.exe")
    for aircraft in aircraft_names(scenario_text):
        if "/" in aircraft or "\\" in aircraft or aircraft in (".", ".."):
            continue
        (folder / "SimObjects" / "Airplanes" / aircraft).mkdir(parents=True, exist_ok=True)
        (folder / "SimObjects" / "Airplanes" / aircraft / (aircraft + ".air")).write_bytes(b"")
    (folder / "scenario.txt").write_text(scenario_text)
    return folder


def lay_out_map(build, folder, scenario_text, base, map_program):
    """What a run adds to the simulator's folder for the airport map: the map program
    (map_program "real": the built one, if there is one) and the scenery areas, named in the
    scenario the host reads."""
    build = Path(build).resolve()
    if map_program == "real" and (build / "DrovanaMap.exe").exists():
        shutil.copy2(build / "DrovanaMap.exe", folder)
    (folder / "scenario.txt").write_text(lay_out_scenery(folder, scenario_text, base))


def run_in_prefixes(items, prefixes, env, run, done):
    """Runs many sessions side by side, one at a time in each Wine prefix: a
    prefix has one foreground window and one keyboard. run(item, env, slot)
    gets env with that prefix and the prefix's place in the list (for a run
    folder of its own); done(item, outcome) is called under one lock as each
    item ends."""
    work = list(items)
    lock = threading.Lock()

    def worker(slot, prefix):
        mine = dict(env, WINEPREFIX=str(prefix))
        while True:
            with lock:
                if not work:
                    return
                item = work.pop(0)
            outcome = run(item, mine, slot)
            with lock:
                done(item, outcome)

    threads = [threading.Thread(target=worker, args=(slot, p)) for slot, p in enumerate(prefixes)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()


def read_trace(path):
    records = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if line:
                records.append(json.loads(line))
    return records


def _scenario_text(scenario, name):
    """The text, the run's name and the folder its relative scenery folders start from."""
    if isinstance(scenario, Path) or (("\n" not in scenario) and Path(scenario).is_file()):
        path = Path(scenario)
        return path.read_text(), name or path.stem, path.resolve().parent
    return scenario, name or "scenario", Path.cwd()


def start(build, scenario, trace=None, name=None, player="real", env=None, prepare=None, map_program="real",
          **popen):
    """Starts a run without waiting for it: returns (process, folder, trace path).
    prepare(folder), when given, adds to the laid-out folder before the host starts.
    map_program: "real" puts the built DrovanaMap.exe in the folder, "none" leaves it out."""
    text, name, base = _scenario_text(scenario, name)
    env = env or wine_env(build)
    folder = lay_out(build, name, text, player)
    lay_out_map(build, folder, text, base, map_program)
    if prepare is not None:
        prepare(folder)
    trace_path = Path(trace).resolve() if trace else folder / "trace.jsonl"
    trace_path.parent.mkdir(parents=True, exist_ok=True)
    if trace_path.exists():
        trace_path.unlink()
    command = [WINE_RUN, "DrovanaSim.exe", "--scenario", windows_path(folder / "scenario.txt", env),
               "--trace", windows_path(trace_path, env)]
    process = subprocess.Popen(command, cwd=folder, env=env, stdin=subprocess.DEVNULL, **popen)
    return process, folder, trace_path


def run(build, scenario, trace=None, name=None, player="real", timeout=900, echo=False, env=None, prepare=None,
        map_program="real"):
    """Runs a scenario, given as text or as a file path; returns a RunResult."""
    popen = {} if echo else {"stdout": subprocess.PIPE, "stderr": subprocess.STDOUT}
    process, folder, trace_path = start(build, scenario, trace, name, player, env, prepare, map_program, **popen)
    try:
        out, _ = process.communicate(timeout=timeout)
        code = process.returncode
        output = (out or b"").decode("utf-8", "replace")
    except subprocess.TimeoutExpired:
        process.kill()
        out, _ = process.communicate()
        code = -9
        output = (out or b"").decode("utf-8", "replace") + "\n(run killed after %d s)" % timeout
    records = read_trace(trace_path) if trace_path.exists() else []
    if not trace_path.exists() and not echo:
        output += "\n" + why_no_trace(code, output, trace_path)
    return RunResult(code=code, trace=records, folder=folder, output=output, trace_path=trace_path)


def why_no_trace(code, output, trace_path):
    """What a run that ended without its trace file tells about why; output
    None: it went to the console, not here."""
    said = output is None or output.strip()
    if code == 1 and not said:
        # What Wine gives every process of a prefix whose wineserver is ended
        # (wineserver -k) while it runs or starts: exit code 1, not a word.
        return ("run_scenario: no trace %s: the stand-in ended with exit code 1 before its first line and said "
                "nothing, which is how Wine ends the processes of a prefix whose wineserver was ended under them "
                "(wineserver -k of this prefix by another script or test)" % trace_path)
    if code < 0:
        return "run_scenario: no trace %s: the stand-in was killed by signal %d" % (trace_path, -code)
    if code == 125:
        return "run_scenario: no trace %s: tools/wine_run could not run it (see above)" % trace_path
    return ("run_scenario: no trace %s: the stand-in ended with exit code %d before writing it%s"
            % (trace_path, code, "; what it said is above" if said else ", and said nothing"))


def main():
    parser = argparse.ArgumentParser(description="Run one scenario in the stand-in simulator.")
    parser.add_argument("--build", required=True, help="the build directory")
    parser.add_argument("scenario", help="the scenario file")
    parser.add_argument("--trace", help="where to write the trace (default: in the run's folder)")
    parser.add_argument("--name", help="the run's folder under BUILD/simroot (default: the file's name)")
    parser.add_argument("--player", choices=("real", "probe", "none"), default="real",
                        help="Kestrola.exe in the folder: the built player, a probe that only "
                             "records that it was started, or none")
    parser.add_argument("--map", choices=("real", "none"), default="real",
                        help="DrovanaMap.exe in the folder: the built map program, or none")
    args = parser.parse_args()
    result = run(args.build, Path(args.scenario), trace=args.trace, name=args.name, player=args.player, echo=True,
                 map_program=args.map)
    if result.trace_path.exists():
        print("trace: %s" % result.trace_path)
    else:
        print(why_no_trace(result.code, None, result.trace_path), file=sys.stderr)
    if result.code == 2:
        print("a scenario `until` timed out", file=sys.stderr)
    return result.code


if __name__ == "__main__":
    sys.exit(main())
