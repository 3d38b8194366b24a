"""Shared by the pushback scenarios: running one in the stand-in simulator,
and reading the ground track back out of its trace."""

import configparser
import math
import os
import sys
import unittest
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(SOURCE / "sim"))

import run_scenario  # noqa: E402

# The sphere both the add-on and the stand-in measure on: a minute of arc is
# one nautical mile.
EARTH_RADIUS_M = 1852.0 * 60.0 * 180.0 / math.pi
GATE_HEADING = 150.0
LINER_PUSH_SPEED = 0.9   # m/s
PROP_TURN_DELAY = 2.5    # m; the Prop's slow push keeps a measurement within a metre of it
TICK_S = 1.0             # the sequencer samples once a second


def build_dir():
    if "--build" in sys.argv:
        return Path(sys.argv[sys.argv.index("--build") + 1]).resolve()
    return Path(os.environ.get("DROVANA_BUILD_DIR", SOURCE / "build" / "release")).resolve()


def run(scenario, name, player="probe", env=None):
    """Runs the scenario text; a run that did not finish fails the caller."""
    return run_scenario.run(build_dir(), scenario, name=name, player=player, timeout=300, env=env)


def distance_m(a, b):
    """Metres between two trace records that carry lat_deg and lon_deg."""
    lat1, lon1, lat2, lon2 = map(math.radians, (a["lat_deg"], a["lon_deg"], b["lat_deg"], b["lon_deg"]))
    h = math.sin((lat2 - lat1) / 2) ** 2 + math.cos(lat1) * math.cos(lat2) * math.sin((lon2 - lon1) / 2) ** 2
    return 2 * EARTH_RADIUS_M * math.asin(math.sqrt(min(1.0, h)))


def angle_between(a, b):
    d = abs(a - b) % 360.0
    return 360.0 - d if d > 180.0 else d


def changes(result):
    """The stand-in's pushback changes, in order."""
    return [r["change"] for r in result.of("pushback")]


def downs_reaching_sim(result, key):
    """Key-downs of one key that reached the simulator's own procedure."""
    return [r for r in result.of("key") if r["key"] == key]


def stored_corrections(result):
    """[PLANE_CORRECT] of the run's Drovana.cfg, by aircraft key."""
    config = configparser.ConfigParser()
    config.optionxform = str
    config.read(Path(result.folder) / "Drovana.cfg")
    return dict(config.items("PLANE_CORRECT")) if config.has_section("PLANE_CORRECT") else {}


def time_of_scenario_line(result, fragment):
    for r in result.of("scenario"):
        if fragment in r["command"]:
            return r["t"]
    raise AssertionError("the scenario command %r never ran" % fragment)


def text_records(result):
    return result.of("text")


def main():
    argv = [a for i, a in enumerate(sys.argv) if a != "--build" and (i == 0 or sys.argv[i - 1] != "--build")]
    unittest.main(argv=argv, verbosity=2)
