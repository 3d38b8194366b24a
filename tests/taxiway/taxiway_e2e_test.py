"""The taxiway push end to end in the stand-in, over one table of airport
geometries (tests/taxiway/geometries, writer descriptions) and tug profiles.

A planned case first runs "Correct Value" (which must store both the
correction and the radius), puts the aircraft back on its stand, picks
Taxiway Left or Right, and checks the plan's text and where the run ends: within
2 m of the chosen line's centre-line and within 2 degrees of its direction of
travel, having turned the plan's turn in all (the heading's rotation summed
sample by sample, so a loop or a turn the wrong way fails however the end
heading reads). Each case prints the end error it got. A refused case checks
the refusal's text and that nothing moved. A jump case sets the heading past
the line's direction during the turn: the run must end its turn there. An
engine-cue case runs with sound and EngFlag=2, its engine cues 60-second
tones, which play from the first second of the push: no cue may hold the
run's steering.

  taxiway_e2e_test.py --build DIR --case NAME   one case (CTest runs the core four)
  taxiway_e2e_test.py --build DIR --all         the whole table, side by side in the
                                                prefixes DROVANA_TAXIWAY_PREFIXES names
"""

import argparse
import configparser
import math
import os
import re
import sys
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(SOURCE / "sim"))

import run_scenario  # noqa: E402

sys.path.insert(0, str(SOURCE / "tests" / "pushback_e2e"))
import random_sessions  # noqa: E402

GEOMETRIES = Path(__file__).resolve().parent / "geometries"
# Every geometry's reference is the stand-in's start position.
REF_LAT, REF_LON = 47.4433, -122.3025
METRES_PER_DEGREE = 1852.0 * 60.0
END_METRES = 2.0
END_DEGREES = 2.0

# Tug behaviours: the stand-in's profiles (sim/PROFILES.md) and test-defined ones.
PROFILES = {"Liner": (0.9, 1.5, 6.0), "Prop": (0.7, 1.6, 2.5), "Heavy": (0.6, 1.0, 11.0)}


class Case:
    def __init__(self, name, geometry, aircraft, side, line=None, turn=None, refused=None, profile=None,
                 first=None, core=False, jump=None, heading=0.0, engine_cues=False):
        self.name, self.geometry, self.aircraft, self.side = name, geometry, aircraft, side
        self.line, self.turn, self.refused, self.profile = line, turn, refused, profile
        self.first = first  # (side, refusal) picked before the case's own pick
        self.core = core
        self.jump = jump  # degrees past the line's direction the heading is set to, 3 s into the turn
        self.heading = heading  # at the pick
        self.engine_cues = engine_cues

    @property
    def behaviour(self):
        return self.profile or PROFILES[self.aircraft]

    @property
    def radius(self):
        speed, rate, _ = self.behaviour
        return speed / math.radians(rate)

    @property
    def sign(self):
        """Tail left turns the heading up."""
        return 1.0 if self.side == "Left" else -1.0

    @property
    def measures(self):
        return self.refused is None and self.jump is None and not self.engine_cues


CASES = [
    # The core four, in ./drovana test: the Liner, and a fast aircraft the
    # test defines, which keeps the suite's time down.
    Case("square_liner_left", "square", "Liner", "Left", line="T", turn=90, core=True),
    Case("sixty_fast_left", "sixty", "Fast", "Left", line="S", turn=60, profile=(2.5, 3.0, 2.0), core=True),
    Case("too_close_custom_left", "too_close", "Fast", "Left", line="F", turn=90, profile=(2.5, 3.0, 2.0),
         core=True),
    Case("one_side_fast", "one_side", "Fast", "Left", line="T", turn=90, profile=(2.5, 3.0, 2.0), core=True,
         first=("Right", "Taxiway: this stand allows pushback to the left only")),
    # The rest of the table.
    Case("sixty_prop_right", "sixty", "Prop", "Right", line="S", turn=120),
    Case("one_side_heavy", "one_side", "Heavy", "Left", line="T", turn=90,
         first=("Right", "Taxiway: this stand allows pushback to the left only")),
    Case("square_liner_right", "square", "Liner", "Right", line="T", turn=90),
    Case("square_prop_left", "square", "Prop", "Left", line="T", turn=90),
    Case("square_heavy_right", "square", "Heavy", "Right", line="T", turn=90),
    Case("square_custom_right", "square", "Nimble", "Right", line="T", turn=90, profile=(1.2, 2.5, 4.0)),
    Case("sixty_liner_left", "sixty", "Liner", "Left", line="S", turn=60),
    Case("sixty_heavy_right", "sixty", "Heavy", "Right", line="S", turn=120),
    Case("curve_liner_left", "curve", "Liner", "Left", line="K", turn=82),
    Case("two_lines_liner_right", "two_lines", "Liner", "Right", line="N", turn=90),
    Case("two_lines_fast_left", "two_lines", "Fast", "Left", line="N", turn=90, profile=(2.5, 3.0, 2.0)),
    Case("one_side_liner_right", "one_side", "Liner", "Right",
         refused="Taxiway: this stand allows pushback to the left only"),
    Case("bend_liner_left", "bend", "Liner", "Left",
         refused="Taxiway: the straight push to the left would cross a taxi line"),
    Case("nothing_behind", "nothing", "Liner", "Left",
         refused="Taxiway: no taxi line behind on the left within 300 m"),
    Case("too_close_wide_left", "too_close", "Wide", "Left", profile=(1.0, 0.3, 5.0),
         refused="Taxiway: the taxi line behind on the left is too close for this aircraft's turn"),
    Case("runway_between", "runway_between", "Liner", "Left",
         refused="Taxiway: the push to the left would cross a runway"),
    Case("no_radius", "square", "Liner", "Right", refused='Taxiway: run "Correct Value" first for Liner'),
    # The heading 25 degrees past the line's direction: read modulo 360, the
    # turn went on round for 335 degrees more.
    Case("jump_past_the_line", "sixty", "Fast", "Left", line="S", turn=60, profile=(2.5, 3.0, 2.0), jump=25),
    # A cue held the run's own timer: the push went on some 15 m past its
    # turn point and the turn ended off the line.
    Case("engine_cues_lead_out", "lead_out", "Liner", "Left", line="L", turn=15, heading=150.0, engine_cues=True),
]


def local_metres(lat, lon):
    """East and north of the reference, as the BGL writer places points."""
    return ((lon - REF_LON) * METRES_PER_DEGREE * math.cos(math.radians(REF_LAT)),
            (lat - REF_LAT) * METRES_PER_DEGREE)


def line_segments(geometry, line):
    """The taxi or path segments named `line` in the geometry's description."""
    points, segments = {}, []
    for raw in (GEOMETRIES / geometry / "airport.txt").read_text().splitlines():
        words = raw.split("#")[0].split()
        if words[:1] == ["point"]:
            points[words[1]] = (float(words[2]), float(words[3]))
        elif words[:1] == ["path"] and words[1] in ("taxi", "path") and words[4] == line:
            segments.append((points[words[2]], points[words[3]]))
    return segments


def angle_between(a, b):
    """Degrees between two headings, 0 to 180."""
    return abs((a - b + 180.0) % 360.0 - 180.0)


def end_error(segments, east, north, heading, travel):
    """Metres off the nearest segment's centre-line and degrees off its
    direction the way the plan travels along it (the segment's bearing or its
    reverse, whichever is nearer the heading `travel` the plan turns to)."""
    best = None
    for (x0, y0), (x1, y1) in segments:
        dx, dy = x1 - x0, y1 - y0
        length = math.hypot(dx, dy)
        t = max(0.0, min(1.0, ((east - x0) * dx + (north - y0) * dy) / length ** 2))
        off = math.hypot(east - (x0 + t * dx), north - (y0 + t * dy))
        bearing = math.degrees(math.atan2(dx, dy))
        if angle_between(bearing, travel) > 90.0:
            bearing += 180.0
        if best is None or off < best[0]:
            best = (off, angle_between(heading, bearing))
    return best


def rotation(states, sign):
    """Degrees the heading turned the plan's way over the states, summed step
    by step (a quarter of a second apart, far less than half a circle)."""
    turned = 0.0
    for before, after in zip(states, states[1:]):
        turned += sign * ((after["heading_deg"] - before["heading_deg"] + 180.0) % 360.0 - 180.0)
    return turned


def scenario(case):
    lines = ["aircraft %s" % case.aircraft, "scenery %s" % (GEOMETRIES / case.geometry)]
    if case.profile:
        lines.append("profile %g %g %g" % case.profile)
    if case.engine_cues:
        lines.append("config Data EngFlag 2")
    measure = case.measures
    if not measure and case.name != "no_radius":
        # Refusals and jumps need a stored radius but no accuracy: the measurement's values, given.
        lines += ["config PLANE_RADIUS %s %f" % (case.aircraft, case.radius),
                  "config PLANE_CORRECT %s %f" % (case.aircraft, case.behaviour[2] + 0.5)]
    lines += ["until simstart timeout 30", "at 0.1 set heading %g" % case.heading]
    if measure:
        lines += ["at 0.5 menu Correct Value", "until pushback left timeout 30", "until pushback off timeout 150",
                  "at 0.3 set position %s %s" % (REF_LAT, REF_LON), "at 0.3 set heading %g" % case.heading]
    else:
        lines.append("at 4 set heading %g" % case.heading)  # the map program has read the library by then
    if case.first:
        lines += ["at 1 menu Taxiway %s" % case.first[0], 'until text "Taxiway:" timeout 30']
    lines.append("at 1 menu Taxiway %s" % case.side)
    if case.jump:
        lines += ["until pushback %s timeout 60" % case.side.lower(),
                  "at 3 set heading %g" % ((case.sign * (case.turn + case.jump)) % 360.0)]
    if case.refused is None:
        lines.append('until text "Good luck !" or "Taxiway:" timeout 500')
    else:
        lines.append('until text "Taxiway:" timeout 30')
    lines.append("end 2")
    return "\n".join(lines) + "\n"


def check(case, result):
    """The case's failures (empty when it held) and the line it reports."""
    failures = []
    if result.code != 0:
        return ["the run ended with code %s:\n%s" % (result.code, result.output[-2000:])], "did not finish"
    texts = [t for t in result.texts() if t.startswith("Taxiway")]
    if case.first and case.first[1] not in texts:
        failures.append("no %r after Taxiway %s; texts: %s" % (case.first[1], case.first[0], texts))
    if case.refused is not None:
        if texts[-1:] != [case.refused]:
            failures.append("expected %r, got %s" % (case.refused, texts))
        if result.of("pushback", change="started"):
            failures.append("a refused pick moved the aircraft")
        return failures, "refused: %s" % (texts[-1] if texts else "nothing")

    if case.measures:
        config = configparser.ConfigParser(strict=False)
        config.optionxform = str
        config.read(result.folder / "Drovana.cfg")
        stored = config.get("PLANE_RADIUS", case.aircraft, fallback=None)
        if stored is None or not config.has_option("PLANE_CORRECT", case.aircraft):
            failures.append("Correct Value did not store both values: %s" % dict(config.items()))
        elif abs(float(stored) - case.radius) > 0.03 * case.radius:
            failures.append("stored radius %s for a turn of %.2f m" % (stored, case.radius))

    plan_texts = [(r["t"], re.fullmatch(r"Taxiway (\S+): push (\d+) m, turn (\d+) deg", r["text"]))
                  for r in result.of("text")]
    plan_texts = [(t, m) for t, m in plan_texts if m]
    planned = plan_texts[-1][1] if plan_texts else None
    if not planned or planned.group(1) != case.line or abs(int(planned.group(3)) - case.turn) > 1:
        failures.append("expected a plan onto %s turning %d deg, texts: %s" % (case.line, case.turn, texts))
        return failures, "no plan"
    planned_at, plan = plan_texts[-1]
    # The simulator shows one text at a time: the push's own greeting must not
    # replace the plan the moment it appears.
    shown = result.texts()
    after_plan = shown[len(shown) - shown[::-1].index(plan.group(0)):][:1]
    if after_plan and after_plan[0].startswith("Request Pushback"):
        failures.append("the plan's text was replaced at once by %r" % after_plan[0])
    if result.texts()[-1] != "Good luck !":
        failures.append("the run did not end with Good luck !: %s" % result.texts()[-5:])
    states = result.states()
    run = [s for s in states if s["t"] >= planned_at]
    start = ([s for s in states if s["t"] < planned_at] or run)[-1]
    turn = int(plan.group(3)) + (case.jump or 0)
    turned = rotation([start] + run, case.sign)
    final = states[-1]
    travel = start["heading_deg"] + case.sign * turn
    if case.jump:
        # Set past the line's direction, the run ends its turn at the next
        # sample: the aircraft turns no further than where it was set.
        report = "%s; turned %.1f deg, heading set %d deg past the line" % (plan.group(0), turned, case.jump)
        if turned > turn + END_DEGREES or angle_between(final["heading_deg"], travel) > END_DEGREES:
            failures.append("turned %.1f deg in all to %.1f, for a turn set to end at %.0f"
                            % (turned, final["heading_deg"], travel % 360.0))
        return failures, report
    prompts = [r for r in result.of("text") if r["t"] > planned_at and r["text"].startswith("Start Engine No.")]
    if case.engine_cues and not prompts:
        failures.append("no engine cue was asked for during the run")
    east, north = local_metres(final["lat_deg"], final["lon_deg"])
    off, angle = end_error(line_segments(case.geometry, case.line), east, north, final["heading_deg"], travel)
    report = "%s; end %.2f m off the centre-line, %.2f deg off its direction, turned %.1f deg" % (
        plan.group(0), off, angle, turned)
    if off > END_METRES or angle > END_DEGREES:
        failures.append("ended %.2f m and %.2f deg off line %s" % (off, angle, case.line))
    # The text gives the turn in whole degrees.
    if abs(turned - turn) > END_DEGREES + 0.5:
        failures.append("turned %.1f deg in all for a plan of %d" % (turned, turn))
    return failures, report


def run_case(case, env=None):
    if case.engine_cues:
        result = random_sessions.run_text(build_dir(), scenario(case), "taxiway_" + case.name, env, sound=True,
                                          engine_cue_s=60)
    else:
        result = run_scenario.run(build_dir(), scenario(case), name="taxiway_" + case.name, player="none",
                                  timeout=900, env=env)
    return check(case, result)


def build_dir():
    return Path(ARGS.build).resolve()


def run_all(names):
    env = run_scenario.wine_env(build_dir())
    prefixes = os.environ.get("DROVANA_TAXIWAY_PREFIXES", env["WINEPREFIX"]).split()
    work = [c for c in CASES if c.name in names] if names else list(CASES)
    outcomes = {}

    def done(case, outcome):
        outcomes[case.name] = outcome
        print("%-24s %s %s" % (case.name, "FAIL" if outcome[0] else "ok  ", outcome[1]), flush=True)

    run_scenario.run_in_prefixes(work, prefixes, env, lambda case, mine, _: run_case(case, mine), done)
    failed = {name: f for name, (f, _) in outcomes.items() if f}
    for name, failures in failed.items():
        print("\n%s:\n  %s" % (name, "\n  ".join(failures)))
    print("\n%d cases, %d failed" % (len(outcomes), len(failed)))
    return 1 if failed else 0


def main():
    if ARGS.all or ARGS.cases:
        return run_all(ARGS.cases)
    case = next(c for c in CASES if c.name == ARGS.case)
    failures, report = run_case(case)
    print("%s: %s" % (case.name, report))
    for failure in failures:
        print("FAIL: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--case", choices=[c.name for c in CASES])
    parser.add_argument("--all", action="store_true")
    parser.add_argument("cases", nargs="*", help="names of cases to run side by side (default with --all: every case)")
    ARGS = parser.parse_args()
    sys.exit(main())
