#!/usr/bin/env python3
"""Runs one scenario in the stand-in simulator with the add-on loaded.

    python3 sim/run_scenario.py --build BUILD_DIR FILE [--trace FILE] [--name NAME]
                                [--player real|probe|none]

Lays out a simulated installation folder inside the build tree,
BUILD_DIR/simroot/NAME/ (the host program, DrovanaX.dll, the player, the
side-by-side folder Microsoft.FlightSimulator.SimConnect with the stand-in
SimConnect.dll, SimObjects/Airplanes/<NAME>/<NAME>.air), runs DrovanaSim.exe
there under Wine, in the tree's lane, and exits with its code (2: an `until` timed out). The host
writes the registry value SetupPath (this folder, with a trailing backslash)
into the prefix before it loads the add-on.

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
from dataclasses import dataclass, field
from pathlib import Path

SIM_DIR = Path(__file__).resolve().parent
# Runs a Windows program in the lane of the tree named by DROVANA_BUILD_DIR.
WINE_RUN = str(SIM_DIR.parent / "tools" / "wine_run")
PROFILES = ("Liner", "Prop", "Heavy")
ASSEMBLY = "Microsoft.FlightSimulator.SimConnect"


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


def aircraft_names(scenario_text):
    names = set(PROFILES)
    for line in scenario_text.splitlines():
        m = re.match(r"\s*(?:at\s+\S+\s+)?aircraft\s+(.+?)\s*$", line)
        if m:
            names.add(m.group(1))
    return names


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


def read_trace(path):
    records = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if line:
                records.append(json.loads(line))
    return records


def _scenario_text(scenario, name):
    if isinstance(scenario, Path) or (("\n" not in scenario) and Path(scenario).is_file()):
        path = Path(scenario)
        return path.read_text(), name or path.stem
    return scenario, name or "scenario"


def start(build, scenario, trace=None, name=None, player="real", env=None, prepare=None, **popen):
    """Starts a run without waiting for it: returns (process, folder, trace path).
    prepare(folder), when given, adds to the laid-out folder before the host starts."""
    text, name = _scenario_text(scenario, name)
    env = env or wine_env(build)
    folder = lay_out(build, name, text, player)
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


def run(build, scenario, trace=None, name=None, player="real", timeout=900, echo=False, env=None, prepare=None):
    """Runs a scenario, given as text or as a file path; returns a RunResult."""
    popen = {} if echo else {"stdout": subprocess.PIPE, "stderr": subprocess.STDOUT}
    process, folder, trace_path = start(build, scenario, trace, name, player, env, prepare, **popen)
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
    args = parser.parse_args()
    result = run(args.build, Path(args.scenario), trace=args.trace, name=args.name, player=args.player, echo=True)
    if result.trace_path.exists():
        print("trace: %s" % result.trace_path)
    else:
        print(why_no_trace(result.code, None, result.trace_path), file=sys.stderr)
    if result.code == 2:
        print("a scenario `until` timed out", file=sys.stderr)
    return result.code


if __name__ == "__main__":
    sys.exit(main())
