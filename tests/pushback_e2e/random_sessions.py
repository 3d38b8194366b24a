"""Random pilot sessions in the stand-in simulator: menu picks, Shift+P, 1 and 2
at random times, an aircraft change, the settings dialog opened and closed,
all drawn from a seed. After the random part a fixed ending picks STOP, waits
until the add-on runs no timer, closes the dialog and picks "Pushback".

What a session must never show, read from the trace and Drovana.cfg:
  - a STOP pick that starts the simulator's pushback;
  - the simulator's pushback still moving once STOP has been picked and no
    run or measurement is left;
  - a "Pushback" pick refused with the pushback off and nothing in progress;
  - a stored correction that no completed measurement of that aircraft gave.

    python3 random_sessions.py --build BUILD --seed N [--seconds S]
prints a seed's scenario and, after running it, what it broke.
"""

import argparse
import random
import re
import sys
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(SOURCE / "sim"))
sys.path.insert(0, str(Path(__file__).resolve().parent))

import run_scenario  # noqa: E402
from e2e_support import stored_corrections  # noqa: E402

# Corrections a session starts with; a measurement of the aircraft gives a
# value near its turn delay (sim/PROFILES.md): the delay, plus the roll while
# the heading moves its first degree, plus up to a late 300 ms sample or two.
STORED = {"Liner": "6.700000", "Prop": "3.000000"}
MEASURED_RANGE = {"Liner": (6.0, 7.9), "Prop": (2.5, 4.2)}

PICKS = [("menu Auto Left", 3), ("menu Auto Right", 3), ("menu Pushback", 4), ("menu Turn Left", 2),
         ("menu Turn Right", 2), ("menu STOP !!", 4), ("menu Correct Value", 2), ("menu Setting", 1.5),
         ("key Shift+P", 5), ("key 1", 2.5), ("key 2", 2.5), ("aircraft", 1), ("dialog", 1.5)]

# An add-on key burst and the pushback changes it causes come within a frame
# or two of the pick that sent it.
STOP_WINDOW_S = 0.35

ENDING = """\
at {stop} menu STOP !!
until idle timeout 60
at 0.3 dialog cancel
until pushback off timeout 3
at 0.5 menu Pushback
until text "Request Pushback" timeout 3
at 0.5 menu STOP !!
end 1.5
"""

# What a timed-out `until` of the ending means.
BROKEN_UNTIL = {
    "until idle": "the add-on still ran a timer a minute after STOP",
    "until pushback off": "the simulator's pushback kept moving after STOP with no run or measurement left",
    'until text "Request Pushback"': "a Pushback pick was refused with the pushback off and nothing in progress",
}


def session(seed, seconds=30.0):
    """The scenario text of one session."""
    rng = random.Random(seed)
    aircraft = rng.choice(sorted(STORED))
    lines = ["aircraft " + aircraft,
             "config Data Distance %d" % rng.randint(5, 12),
             "config Data Head %d" % rng.randint(4, 12)]
    lines += ["config PLANE_CORRECT %s %s" % item for item in sorted(STORED.items())]
    lines.append("until simstart timeout 20")
    actions, weights = zip(*PICKS)
    t = 0.5
    while t < seconds:
        action = rng.choices(actions, weights)[0]
        if action == "aircraft":
            # A new flight: the aircraft, then the SimStart that makes the
            # add-on ask which one it is.
            lines.append("at %.2f aircraft %s" % (t, rng.choice(sorted(STORED))))
            lines.append("at %.2f simstart" % t)
        elif action == "dialog":
            lines.append("at %.2f dialog %s" % (t, rng.choice(["ok", "cancel", "close"])))
        else:
            lines.append("at %.2f %s" % (t, action))
        gap = rng.random()
        t += rng.uniform(0.2, 1.5) if gap < 0.6 else rng.uniform(1.5, 5.0) if gap < 0.9 else rng.uniform(5.0, 14.0)
    lines.append(ENDING.format(stop="%.2f" % (t + 0.5)))
    return "\n".join(lines)


def run(build, seed, seconds=30.0, env=None, name=None):
    return run_scenario.run(build, session(seed, seconds), name=name or "random_%d" % seed, player="probe",
                            timeout=300, env=env)


def pushback_causes(result):
    """Each pushback change with whether the add-on's own keys caused it: the
    key record that follows a change tells whether Shift was held for real."""
    changes = []
    pending = None
    for r in result.trace:
        if r.get("ev") == "pushback":
            pending = dict(r)
            pending["by_addon"] = None
            changes.append(pending)
        elif r.get("ev") == "key" and pending is not None:
            pending["by_addon"] = not r["async_shift"] if r["key"] == "P" else False
            pending = None
    return changes


def stop_started_pushbacks(result):
    """Times of STOP picks after which the add-on's own keys started the pushback."""
    stops = [r["t"] for r in result.of("deliver", msg="EVENT") if r.get("label") == "STOP !!"]
    others = sorted(r["t"] for r in result.trace
                    if (r.get("ev") == "deliver" and r.get("msg") == "EVENT" and r.get("label") != "STOP !!")
                    or r.get("ev") == "input")
    changes = pushback_causes(result)
    found = []
    for t in stops:
        # Up to the next thing the pilot did, which may start a pushback of its own.
        until = min([t + STOP_WINDOW_S] + [o for o in others if o > t])
        caused = [c for c in changes if t < c["t"] <= until and c["by_addon"] and c.get("cause") == "Shift+P"]
        if caused and caused[0]["change"] == "started":
            found.append(t)
    return found


def broken_corrections(result):
    stored = stored_corrections(result)
    problems = []
    for key, value in stored.items():
        if STORED.get(key) == value:
            continue
        measured = [m.group(1) for t in result.texts()
                    for m in [re.fullmatch(r"Request mesurement ! Your aircraft is %s Distance = (\S+)"
                                           % re.escape(key), t)] if m]
        low, high = MEASURED_RANGE.get(key, (float("inf"), float("-inf")))
        try:
            plausible = low <= float(value) <= high
        except ValueError:
            plausible = False
        if value not in measured or not plausible:
            problems.append("the correction of %s became %r, which no completed measurement of it gave"
                            % (key, value))
    return problems


def check(result):
    """What the session broke, as messages; empty when nothing."""
    problems = []
    if result.code != 0:
        failed = [u["command"] for u in result.of("until") if not u["met"]]
        meaning = [m for prefix, m in BROKEN_UNTIL.items() for c in failed if c.startswith(prefix)]
        problems.append(meaning[0] if meaning else "the run ended with code %d: %s" % (result.code, failed))
    for t in stop_started_pushbacks(result):
        problems.append("STOP picked at %.2f s started the simulator's pushback" % t)
    problems += broken_corrections(result)
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True)
    parser.add_argument("--seed", type=int, required=True)
    parser.add_argument("--seconds", type=float, default=30.0)
    args = parser.parse_args()
    print(session(args.seed, args.seconds))
    result = run(args.build, args.seed, args.seconds)
    problems = check(result)
    print("trace: %s" % result.trace_path)
    for p in problems:
        print("BROKEN: " + p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
