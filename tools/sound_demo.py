#!/usr/bin/env python3
"""./drovana demo --sound: a checklist pushback with spoken cues.

The stand-in simulator runs an automatic left pushback of the twin-engine
Liner with every checklist item on (parking brake set before, released
before, set after; engine start before) and sound cues on. The simulated
installation folder holds the voice cues generated with espeak-ng and a
Drovana.cfg whose sound lists name them; the real Kestrola plays them into an
ALSA capture file, behind a tap that records every request the add-on hands
it. Afterwards the timeline shows each WM_COPYDATA path, when its list ended
and when the sequence went on, and whether the capture holds sound.
"""

import argparse
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "sound_e2e"))

from sound_stand_in import SoundRun  # noqa: E402

sys.path.insert(0, str(ROOT / "tools"))
import voice_cues  # noqa: E402

SCENARIO = """\
# A checklist pushback: the pilot answers each prompt four seconds after it.
aircraft Liner
config Data Distance 15
config Data Head 30
config Data WavFlag 1
config Data EngFlag 1
config Parking Check1 1
config Parking Check2 1
config Parking Check3 1
until simstart timeout 20
at 1 menu Auto Left
until text "Set Parking Brake!" timeout 30
at 4 set brake 1
until text "Start Engine No.  1" timeout 60
at 4 set engine 1 1
until text "Start Engine No.  2" timeout 60
at 4 set engine 2 1
until text "Release Parking Brake!" timeout 60
at 4 set brake 0
until text "Set Parking Brake!" timeout 400
at 4 set brake 1
until text "Good luck !" timeout 120
end 6
"""

RED, BOLD, DIM, GREEN, RESET = "\x1b[31m", "\x1b[1m", "\x1b[2m", "\x1b[32m", "\x1b[0m"


def clock_offset(result):
    """Trace time minus tap time: the tap starts just as the real player's
    window appears, which the trace's state records (four a second) show."""
    starts = [r["t"] for r in result.tap if r["ev"] == "start"]
    seen = [r["t"] for r in result.states() if r.get("player_window")]
    if not starts or not seen:
        return None
    return seen[0] - 0.125 - starts[0]


def timeline(result, offset):
    events = []
    for r in result.trace:
        ev = r.get("ev")
        if ev == "text":
            # The running distance and heading are on the console already.
            if not r["text"].startswith(("Distance = ", "Heading = ")):
                events.append((r["t"], "text", r["text"]))
        elif ev == "pushback" and r.get("change") in ("started", "stopped", "turning"):
            events.append((r["t"], "pushback", r["change"]))
        elif ev == "scenario" and " set " in " " + r.get("command", ""):
            events.append((r["t"], "pilot", r["command"].split(" ", 2)[-1]))
    tap = result.tap
    for i, r in enumerate(tap):
        if r["ev"] == "file":
            events.append((r["t"] + offset, "file", r["path"]))
        elif r["ev"] == "query" and r["answer"] == 1:
            following = tap[i + 1] if i + 1 < len(tap) else None
            if following is None or following["ev"] != "file":
                events.append((r["t"] + offset, "cue_end", ""))
    events.sort(key=lambda e: e[0])
    return events


def show(result):
    offset = clock_offset(result)
    if offset is None:
        print("the tap recorded nothing: the add-on never reached the player")
        return []
    print("\n%sTimeline%s (seconds of the stand-in's run; the player's side is placed within about "
          "0.25 s)\n" % (BOLD, RESET))
    events = timeline(result, offset)
    waiting = None
    for t, kind, what in events:
        if kind == "file":
            print("%8.2f  %s♪ WM_COPYDATA %s%s" % (t, GREEN, what, RESET))
        elif kind == "cue_end":
            print("%8.2f  %s  player idle again, the list is done: soundBusy cleared%s" % (t, DIM, RESET))
            waiting = t
        elif kind == "text":
            resumed = ""
            if waiting is not None:
                resumed = "   %s(sequence resumed %.1f s after the cue)%s" % (DIM, t - waiting, RESET)
                waiting = None
            print("%8.2f  %s%s%s%s" % (t, RED, what, RESET, resumed))
        elif kind == "pushback":
            resumed = ""
            if waiting is not None:
                resumed = "   %s(sequence resumed %.1f s after the cue)%s" % (DIM, t - waiting, RESET)
                waiting = None
            print("%8.2f  pushback %s%s" % (t, what, resumed))
        elif kind == "pilot":
            print("%8.2f  %s(pilot) %s%s" % (t, DIM, what, RESET))
    return [what for _, kind, what in events if kind == "file"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True)
    parser.add_argument("--sound", action="store_true", help="accepted for ./drovana demo --sound")
    parser.add_argument("--lang", default=voice_cues.DEFAULT,
                        help="the voice cues' language: " + ", ".join(e[0] for e in voice_cues.LANGUAGES))
    args = parser.parse_args()
    code, name, _voice, _phrases = voice_cues.language(args.lang)

    print("%sDrovanaX checklist pushback with voice cues%s: Liner, Auto Left, 15 m, 30 deg, "
          "every checklist item on, cues in %s\n" % (BOLD, RESET, name), flush=True)
    result = SoundRun(args.build, "demo_sound", language=code).run(SCENARIO, echo=True)
    files = show(result)
    print()
    print("cues handed to Kestrola: %d" % len(files))
    print("the ALSA capture %s" % ("holds the played cues" if result.capture_heard else "holds only silence"))
    print("trace: %s" % result.trace_path)
    ok = result.code == 0 and "Good luck !" in result.texts() and files and result.capture_heard
    if not ok:
        print("the demo did not complete (exit code %s)" % result.code, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
