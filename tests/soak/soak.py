#!/usr/bin/env python3
"""The soak run: many automatic pushbacks in one simulator run, and the
settings dialog opened and closed many times, with the add-on's process
watched for handles, window-system objects, threads and timers that pile up.

    ./drovana soak [--runs 30] [--dialogs 20]

Half of the pushbacks play their cues through the real Kestrola (behind the
tap that records what the add-on hands it). Each run must end in
"Good luck !" and leave the add-on idle: no thread timer still firing, and
the next pick accepted. The counts of the 5th run and of the last must match.

    ./drovana soak --sessions N [--first-seed 1] [--seconds 30] [--prefixes P]

runs N random pilot sessions instead (tests/pushback_e2e/random_sessions.py,
with the faults they draw), seeds first-seed to first-seed + N - 1, each in a
simulator run of its own, P at a time, each in a Wine prefix of its own (1 to
8, made as needed; the default is the count measured best on a 2-core
machine, see docs/figures.md). A session that breaks a rule keeps its trace as
build/.../soak/session-SEED.jsonl.
"""
import argparse
import shutil
import subprocess
import sys
import time
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(SOURCE / "tests" / "sound_e2e"))
sys.path.insert(0, str(SOURCE / "tests" / "pushback_e2e"))
import random_sessions  # noqa: E402
import sound_stand_in  # noqa: E402
from run_scenario import run_in_prefixes, wine_env  # noqa: E402

QUIET_ALSA = "</usr/share/alsa/alsa.conf>\npcm.!default { type null }\n"
# Seconds after "Good luck !" until the run is idle: one tick later without
# sound, after the closing cue has been heard with it.
SETTLE = {0: 3.5, 1: 9.0}
# Sessions at a time: the most a 2-core machine held without a session failing
# from load, and the fastest (docs/figures.md has the measurements).
DEFAULT_PREFIXES = 8
MOST_PREFIXES = 8


def scenario(runs, dialogs):
    lines = ["aircraft Prop", "config Data Distance 3", "config Data Head 8",
             "until simstart timeout 20", "at 1 resources start"]
    for run in range(1, runs + 1):
        side = "Left" if run % 2 else "Right"
        sound = 1 if run % 2 == 0 else 0
        lines += [f"at 0.5 config Data WavFlag {sound}",
                  f"at 1 menu Auto {side}",
                  'until text "Request Pushback" timeout 10',
                  'until text "Good luck !" timeout 240',
                  f"at {SETTLE[sound]} resources run{run}"]
    t = SETTLE[1]
    lines.append(f"at {t} resources dialogs-before")
    for dialog in range(1, dialogs + 1):
        lines += [f"at {t + 1.0} menu Setting", f"at {t + 2.0} resources dialog{dialog}-open",
                  f"at {t + 2.5} dialog ok", f"at {t + 3.5} resources dialog{dialog}"]
        t += 3.5
    lines.append(f"end {t + 1.0}")
    return "\n".join(lines) + "\n"


def random_sessions_soak(build, count, first_seed, seconds, parallel):
    """Runs the sessions in the tree's Wine prefixes, one at a time in each;
    returns the exit code."""
    build = Path(build).resolve()
    count_prefixes = max(1, min(parallel, MOST_PREFIXES))
    subprocess.run([str(SOURCE / "tools" / "wine_prefix.sh"), str(build), str(count_prefixes)], check=True)
    random_sessions.prepare_sound(build)  # once, before the sessions share it
    keep = build / "soak"
    keep.mkdir(parents=True, exist_ok=True)
    seeds = list(range(first_seed, first_seed + count))
    broken = {}
    started = time.monotonic()
    # How far the sessions' taxiway runs got: the soak is what reaches their
    # own timer with a pilot and faults around them.
    taxiway = {"planned": 0, "pushed out": 0, "turned": 0, "pushed with engine cues": 0}

    def run(seed, env, slot):
        try:
            result = random_sessions.run(build, seed, seconds, env=env, name="soak_session_%d" % slot)
            return random_sessions.check(result), result
        except Exception as error:  # one session's trouble must not end the others'
            return None, error  # no problems list: the session never ran

    def done(seed, outcome):
        problems, result = outcome
        if problems is None:
            broken[seed] = ["the session could not run: %r" % result]
            print("session %d: could not run: %r" % (seed, result), flush=True)
            return
        for planned in random_sessions.taxiway_runs(result):
            taxiway["planned"] += 1
            if planned["pushed"] > 1.0:
                taxiway["pushed out"] += 1
                taxiway["pushed with engine cues"] += "EngFlag 2" in result.session.drawn
            taxiway["turned"] += any(turned > 1.0 for _, _, turned in
                                     random_sessions.turns(result, planned["t"], planned["end"]))
        if problems:
            drawn = result.session.drawn
            broken[seed] = problems + ["faults drawn: %s%s" % (", ".join(drawn) or "none",
                                                                ", sound on" if result.session.sound else "")]
            if result.trace_path and Path(result.trace_path).exists():
                shutil.copy2(result.trace_path, keep / ("session-%d.jsonl" % seed))
        print("session %d: %s (%.0f s)" % (seed, "; ".join(problems) or "held", time.monotonic() - started),
              flush=True)

    names = ["prefix"] + ["prefix-" + letter for letter in "bcdefgh"]
    prefixes = [build / "wine" / name for name in names[:count_prefixes]]
    run_in_prefixes(seeds, prefixes, wine_env(build), run, done)
    elapsed = time.monotonic() - started
    print("soak: %d random sessions of %g s (seeds %d to %d) in %d min %02d s over %d prefix(es): %d broken"
          % (count, seconds, first_seed, first_seed + count - 1, elapsed // 60, elapsed % 60, len(prefixes),
             len(broken)))
    print("taxiway runs: %s" % ", ".join("%d %s" % (n, what) for what, n in taxiway.items()))
    for seed in sorted(broken):
        print("FAIL: seed %d: %s" % (seed, "; ".join(broken[seed])))
    return 1 if broken else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True)
    parser.add_argument("--runs", type=int, default=30)
    parser.add_argument("--dialogs", type=int, default=20)
    parser.add_argument("--sessions", type=int, default=0, help="run this many random pilot sessions instead")
    parser.add_argument("--first-seed", type=int, default=1)
    parser.add_argument("--seconds", type=float, default=30.0, help="the random part of each session")
    parser.add_argument("--prefixes", type=int, default=DEFAULT_PREFIXES,
                        help="sessions at a time, one Wine prefix each (1 to %d)" % MOST_PREFIXES)
    args = parser.parse_args()
    if args.sessions > 0:
        return random_sessions_soak(args.build, args.sessions, args.first_seed, args.seconds, args.prefixes)
    runs, dialogs = max(args.runs, 6), max(args.dialogs, 2)

    run = sound_stand_in.SoundRun(args.build, "soak", player="tap")
    run.conf.write_text(QUIET_ALSA)  # a long run would fill a capture file with silence
    result = run.run(scenario(runs, dialogs), timeout=runs * 240 + dialogs * 10 + 120)
    counts = {r["label"]: r for r in result.of("resources")}
    texts = result.texts()
    failures = []
    if result.code != 0:
        failures.append(f"the run ended with code {result.code}:\n{result.output[-2000:]}")
    good_lucks = sum(1 for t in texts if t == "Good luck !")
    if good_lucks < runs:
        failures.append(f"{good_lucks} of {runs} pushbacks reached \"Good luck !\"")
    for n in range(1, runs + 1):
        r = counts.get(f"run{n}")
        if r is None:
            failures.append(f"run {n}: no resource count")
        elif r["thread_timers"] != 0:
            failures.append(f"run {n}: {r['thread_timers']} thread timer(s) still firing after the run ended")
    fifth, last = counts.get("run5"), counts.get(f"run{runs}")
    if fifth and last:
        for field in ("handles", "windows", "user_objects", "gdi_objects", "threads"):
            if last[field] > fifth[field]:
                failures.append(f"{field} grew from {fifth[field]} (run 5) to {last[field]} (run {runs})")
    before, after = counts.get("dialogs-before"), counts.get(f"dialog{dialogs}")
    if before and after:
        if after["threads"] > before["threads"]:
            failures.append(f"threads grew from {before['threads']} to {after['threads']} over {dialogs} dialogs")
        for field in ("handles", "windows"):
            if after[field] > before[field]:
                failures.append(f"{field} grew from {before[field]} to {after[field]} over {dialogs} dialogs")
        opened = counts.get("dialog1-open")
        if opened and (opened["threads"] <= before["threads"] or opened["windows"] <= before["windows"]):
            failures.append("the counts did not see the open dialog's thread and windows: they measure nothing")
    else:
        failures.append("no resource counts around the dialogs")
    cues = sum(1 for r in result.tap if r.get("ev") == "file")
    # Every sound-on run hands over the six cues of the sequence, one file each.
    if cues < 6 * (runs // 2):
        failures.append(f"{cues} cue files reached the player, fewer than six for each of the {runs // 2} sound runs")

    print(f"soak: {runs} pushbacks ({runs // 2} with sound, {cues} cue files handed to the player), "
          f"{dialogs} dialogs")
    print(f"{'':>16} {'handles':>8} {'windows':>8} {'user':>6} {'gdi':>6} {'threads':>8} {'timers':>7}")
    for label in ["start", "run1", "run5", f"run{runs}", "dialogs-before", "dialog1-open", f"dialog{dialogs}"]:
        r = counts.get(label)
        if r:
            print(f"{label:>16} {r['handles']:>8} {r['windows']:>8} {r['user_objects']:>6} {r['gdi_objects']:>6} "
                  f"{r['threads']:>8} {r['thread_timers']:>7}")
    print(f"trace: {result.trace_path}")
    for f in failures:
        print("FAIL: " + f)
    print("soak: " + ("passed" if not failures else "FAILED"))
    return 0 if not failures else 1


if __name__ == "__main__":
    sys.exit(main())
