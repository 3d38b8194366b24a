"""Random pilot sessions in the stand-in simulator: menu picks, Shift+P, 1 and 2
at random times, an aircraft change, the settings dialog opened and closed,
all drawn from a seed. Beside what the pilot does, a session draws, from a
second stream of the same seed, what a real session throws at the add-on
(FAULTS below, with what the add-on does about each). Some sessions run with
sound on and the real Kestrola. Sessions with faults also pick Taxiway Left
and Right from a stream of their own, at an airport of their own in the
simulator's scenery library (the aircraft starting on its gate A1), with the
aircraft's turn radius stored beforehand or not. After the random part a
fixed ending picks STOP, waits until the add-on runs no timer, closes the
dialog, then picks "Auto Left" and STOP.

What a session must never show, read from the trace and Drovana.cfg:
  - a STOP pick that starts the simulator's pushback;
  - the simulator's pushback still moving once STOP has been picked and no
    run or measurement is left; a timer still running;
  - a final "Auto Left" neither started ("Request Pushback !") nor refused
    for the ground, or not ended by STOP; a host that did not live to the end;
  - a stored correction other than what it was or what a completed,
    undisturbed measurement of that aircraft gave; a correction lost (unless
    the session itself replaced or deleted the file);
  - an automatic run pushing straight past the farthest Distance the file
    ever gave it (unsteered);
  - a taxiway run whose turn key goes more than 3 m past where its plan puts
    it, or that turns more than 3 degrees past its plan's turn;
  - an automatic turn going round more than 3 degrees past the widest Head;
  - the simulator's pushback still moving 3 s after a STOP (the simulator's
    window in front, nothing else picked meanwhile), or after the session's
    end when the add-on had started it;
  - a timer still running some seconds after the simulator's QUIT;
  - handles, threads or windows piling up beyond RESOURCE_GROWTH.

    python3 random_sessions.py --build BUILD --seed N [--seconds S] [--no-faults]
prints a seed's scenario and, after running it, what it broke.
"""

import argparse
import math
import random
import re
import shutil
import subprocess
import sys
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(SOURCE / "sim"))
sys.path.insert(0, str(SOURCE / "tools"))
sys.path.insert(0, str(Path(__file__).resolve().parent))

import run_scenario  # noqa: E402
import sample_config  # noqa: E402
import voice_cues  # noqa: E402
from e2e_support import distance_m  # noqa: E402

# Corrections a session starts with; a measurement of the aircraft gives a
# value near its turn delay (sim/PROFILES.md): the delay, plus the roll while
# the heading moves its first degree, plus up to a late 300 ms sample or two.
STORED = {"Liner": "6.700000", "Prop": "3.000000"}
MEASURED_RANGE = {"Liner": (6.0, 7.9), "Prop": (2.5, 4.2)}
DEFAULT_DISTANCE = 50   # what the add-on pushes when the file gives no usable Distance
FASTEST_PUSH = 0.9      # m/s (Liner)
# One sequencer tick of pushing past the distance, and the rounding of the
# shown whole metres.
STRAIGHT_SLACK_M = 2.0

PICKS = [("menu Auto Left", 3), ("menu Auto Right", 3), ("menu Pushback", 4), ("menu Turn Left", 2),
         ("menu Turn Right", 2), ("menu STOP !!", 4), ("menu Correct Value", 2), ("menu Setting", 1.5),
         ("key Shift+P", 5), ("key 1", 2.5), ("key 2", 2.5), ("aircraft", 1), ("dialog", 1.5)]

# What a session may meet besides the pilot, and what the add-on does.
#  player kill [playing]  Kestrola ended by force (at once, or as soon as a cue
#      plays). The sound thread finds no player window at its next look, or its
#      status query or hand-over goes unanswered, and ends its list within its
#      bounded waits: the sequence goes on without sound, the next cue finds no
#      player and is skipped. Only in sessions with sound.
#  cfgfile garbage|empty|delete  Drovana.cfg replaced by bytes that are no INI
#      file, emptied, deleted: every read gives its default (Wine keeps a
#      deleted file's last contents in its profile cache, so there the add-on
#      reads on with the old values until a write makes the file again).
#      A store writes a new file; the other corrections are gone with the old.
#  cfgfile unwritable|writable  the immutable attribute on or off: a dialog OK
#      or a measurement stores nothing and says so (the dialog stays open
#      until a later answer), and the pushback goes on.
#  cfgfile longline  "Head=" and a 10,000-character number: read as far as the
#      add-on's buffer goes, and out of any range.
#  cfgfile nobracket  "[Parking" with no closing bracket, and a key after it:
#      the lines count as keys of the section before them.
#  config ...  Distance=-40, Distance=99999999999, Liner=nan, Liner=-1e308:
#      values out of their range read as missing, the default.
#  simconnect exception N  an EXCEPTION about the add-on's latest call: ignored.
#  simconnect data N  data for a request id the add-on never made: ignored.
#  simstart / aircraft NAME alone  the key is renewed on SimStart; the
#      AircraftLoaded notice alone leaves it, and a measurement running across
#      it stores nothing.
#  pause S  position frozen, frames and data still coming: the run waits at
#      its distance or heading, a measurement waits for its heading.
#  simconnect quit  the running sequence or measurement ends, its pushback is
#      stopped, its timers stop.
#  focus away S  another program in front: no key goes there; the steps that
#      start, turn or stop the pushback try again each tick until the
#      simulator is back in front. The pilot does nothing meanwhile.
FAULTS = [("player", 3), ("cfgfile garbage", 1), ("cfgfile empty", 1), ("cfgfile delete", 1),
          ("cfgfile unwritable", 2), ("cfgfile longline", 1), ("cfgfile nobracket", 1),
          ("config Data Distance -40", 1), ("config Data Distance 99999999999", 1),
          ("config PLANE_CORRECT Liner nan", 1), ("config PLANE_CORRECT Liner -1e308", 1),
          ("simconnect exception", 2), ("simconnect data", 2), ("simstart", 1.5), ("aircraft alone", 1.5),
          ("pause", 2), ("simconnect quit", 1.5), ("focus away", 2)]
REPLACING = ("cfgfile garbage", "cfgfile empty", "cfgfile delete")

# Drawn from a stream of their own, so older seeds keep their pilot and faults:
#  stop away / quit away  STOP or QUIT while another program is in front: the
#      stop key goes out once the simulator is back; STOP says meanwhile that
#      it waits for the simulator's window.
#  other turn  the other turn key (the pilot's, or the menu's) during an
#      automatic push-out: kept from the simulator, the run turns its own way.
#  stop in pick frame  Correct Value and STOP in one frame, their keys still
#      queued: the keys are dropped, no pushback starts.
#  simulator ends  the simulator ends its pushback by itself: the run goes on
#      to its closing steps and starts nothing again.
#  EngFlag 2  (sessions with sound) engine cues during the push, whose
#      30-second tones (about 9 s at the silent device's pace, every 12 s)
#      never hold the steering.
#  abrupt end  the session ends at a random moment, whatever runs (so the
#      add-on is stopped and unloaded mid-run).
RUN_STATE_FAULTS = [("stop away", 2), ("quit away", 1), ("other turn", 2), ("stop in pick frame", 1.5),
                    ("simulator ends", 2)]
ENGINE_CUES_SHARE = 0.5  # of sessions with sound
ENGINE_CUE_S = 30

# Drawn from a stream of their own too: Taxiway Left and Right at random
# times at the sessions' airport (whose short lead-outs a run from gate A1
# reaches, turns onto and leaves within a session), and, in half the
# sessions, the radii "Correct Value" gives the two aircraft stored
# beforehand (otherwise a pick is refused until a Correct Value of the
# session stores one).
SESSION_AIRPORT = SOURCE / "tests" / "taxiway" / "geometries" / "lead_out"
RADII = {"Liner": "34.377468", "Prop": "25.066479"}
RADII_SHARE = 0.5
# Some of the sessions with the radii stored (more of those whose engine cues
# play during the push) open with a run the pilot watches from the gate: the
# pick once the map program has read the library, and the pilot's stream and
# the run-state faults (the pilot's STOPs and picks) held back until the run
# has pushed out and turned, the checklist's cues taking that much longer with
# sound. The other faults come as drawn, so the run meets them.
WATCHED_SHARE = {False: 0.1, True: 0.5}  # by engine cues
WATCHED_PICK_AT = 3.0
WATCHED_S = {False: 40.0, True: 50.0}  # by sound
WATCH_HOLDS = (0, 2)  # the streams held back
TAXIWAY_PRIORITY = 3  # merged after the pilot's and the faults' lines of the same moment
ABRUPT_END_SHARE = 0.2
SOUND_SHARE = 0.3        # of sessions with faults: sound on, the real player
QUIT_QUIET_S = 8.0       # the pilot and the faults leave the add-on alone this long after QUIT
QUIT_IDLE_AT_S = 7.5     # by then no timer has fired for 1.6 s (a closing cue may hold a tick)

# An add-on key burst and the pushback changes it causes come within a frame
# or two of the pick that sent it.
STOP_WINDOW_S = 0.35

# Across one session, counted after the ending from just after the start: the
# dialog's and the sound thread's lazily made objects, and Wine's own.
RESOURCE_GROWTH = {"handles": 24, "threads": 2, "windows": 1}

ENDING = """\
at {stop} menu STOP !!
until idle timeout 60
at 0.3 dialog cancel
until pushback off timeout 3
at 0.5 resources end
at 0.6 menu Auto Left
until text "Request Pushback !" or "Check On Ground !" timeout 3
at 0.5 menu STOP !!
until idle timeout 10
until pushback off timeout 3
end 1.0
"""

# What a timed-out `until` of the ending means.
BROKEN_UNTIL = {
    "until idle timeout 60": "the add-on still ran a timer a minute after STOP",
    "until pushback off": "the simulator's pushback kept moving after STOP with no run or measurement left",
    'until text "Request Pushback !"': "a final Auto Left was neither started nor refused for the ground",
    "until idle timeout 10": "the final Auto Left was not ended by STOP",
    "until simstart": "the add-on never connected",
}
# What the stand-in's own exit codes mean.
BROKEN_EXIT = {4: "something of the add-on ran after FreeLibrary"}

CUE_FOLDER = "DrovanaX\\Sounds\\"
SILENT_ALSA = "</usr/share/alsa/alsa.conf>\npcm.!default { type null }\n"


class Session:
    """One drawn session: its scenario text and what the checks need to know."""

    def __init__(self, seed, seconds=30.0, faults=True):
        rng = random.Random(seed)
        faults_rng = random.Random(seed * 7919 + 104729)
        self.seed = seed
        self.sound = faults and faults_rng.random() < SOUND_SHARE
        self.drawn = []          # the fault lines, as drawn
        self.replaces_file = False
        self.written = {}        # corrections the session writes itself: key -> set of texts
        self.distances = set()   # every Distance the file gives, usable or not
        self.focus_away_s = 0.0
        self.quits = []          # scenario-relative times of QUIT records

        aircraft = rng.choice(sorted(STORED))
        distance, head = rng.randint(5, 12), rng.randint(4, 12)
        self.distances.add(distance)
        setup = ["aircraft " + aircraft, "config Data Distance %d" % distance, "config Data Head %d" % head]
        setup += ["config PLANE_CORRECT %s %s" % item for item in sorted(STORED.items())]
        run_state_rng = random.Random(seed * 104723 + 7907)
        if self.sound:
            setup.append("config Data WavFlag 1")
            if faults and run_state_rng.random() < ENGINE_CUES_SHARE:
                setup.append("config Data EngFlag 2")
                self.drawn.append("EngFlag 2")
        taxiway_rng = random.Random(seed * 15485867 + 49979693)
        if faults:
            setup.append("scenery %s" % SESSION_AIRPORT)
        radii = faults and taxiway_rng.random() < RADII_SHARE
        if radii:
            setup += ["config PLANE_RADIUS %s %s" % item for item in sorted(RADII.items())]
            self.drawn.append("radii stored")
        watched = radii and taxiway_rng.random() < WATCHED_SHARE["EngFlag 2" in self.drawn]
        setup += ["until simstart timeout 20", "at 0.2 resources start"]

        pilot = self._pilot(rng, seconds)
        events = [(t, 0, lines, 0.0) for t, lines in pilot]
        self.abrupt = faults and run_state_rng.random() < ABRUPT_END_SHARE
        if faults:
            events += [(t, 1, lines, blackout) for t, lines, blackout in self._faults(faults_rng, seconds, pilot)]
            events += [(t, 2, lines, blackout) for t, lines, blackout in self._run_state_faults(run_state_rng, seconds)]
        watching = WATCHED_S[self.sound] if watched else 0.0
        if faults:
            events += [(t, TAXIWAY_PRIORITY, lines, 0.0)
                       for t, lines in self._taxiway_picks(taxiway_rng, seconds, watching)]
        # Merged in time; a fault that keeps the pilot away (another program in
        # front, a QUIT) moves everything after it on by that long.
        events.sort(key=lambda e: (e[0], e[1]))
        timed, shift, end = [], 0.0, 0.5
        for t, priority, lines, blackout in events:
            # The kill mid-cue belongs to the pilot's Auto pick it follows.
            held = priority in WATCH_HOLDS or lines == ["at {t} player kill playing"]
            at = t + shift + (watching if held else 0.0)
            timed.append((at, priority, lines))
            shift += blackout
            # The taxiway picks came after the other streams: the session's
            # end is where it was for the seeds drawn before them.
            if priority != TAXIWAY_PRIORITY:
                end = max(end, at + blackout)
        timed.sort(key=lambda e: (e[0], e[1]))
        stop = max(end, (pilot[-1][0] if pilot else 0.0) + shift + watching) + 0.5
        body = []
        for at, priority, lines in timed:
            if priority == TAXIWAY_PRIORITY and at > stop - 0.5:
                continue
            for line in lines:
                # {t+S}: S seconds more than {t+} (a QUIT's stop that waits for
                # the simulator's window waits that much longer).
                line = re.sub(r"\{t\+([\d.]+)\}", lambda m: "%.2f" % (at + QUIT_IDLE_AT_S + float(m.group(1))), line)
                body.append(line.replace("{t}", "%.2f" % at).replace("{t+}", "%.2f" % (at + QUIT_IDLE_AT_S)))
                if "simconnect quit" in line:
                    self.quits.append(at)
        if self.abrupt:
            # Whatever runs then: DLLStop and the unload come in its midst.
            ending = "end %.2f\n" % run_state_rng.uniform(0.5, stop)
            self.drawn.append("abrupt end")
        else:
            ending = ENDING.format(stop="%.2f" % stop)
        self.text = "\n".join(setup + body) + "\n" + ending

    def _run_state_faults(self, rng, seconds):
        kinds, weights = zip(*RUN_STATE_FAULTS)
        out = []
        t = rng.uniform(2.0, 10.0)
        while t < seconds:
            kind = rng.choices(kinds, weights)[0]
            away = round(rng.uniform(2.0, 5.0), 1)
            if kind == "stop away":
                lines, blackout = ["at {t} focus away %.1f" % away, "at {t} menu STOP !!"], away
            elif kind == "quit away":
                # The stop goes out when the simulator is back in front.
                lines = ["at {t} focus away %.1f" % away, "at {t} simconnect quit",
                         "at {t+%.1f} resources after quit" % away]
                blackout = away + QUIT_QUIET_S
            elif kind == "other turn":
                direction = rng.choice(["Left", "Right"])
                other = {"Left": ("2", "Right"), "Right": ("1", "Left")}[direction]
                lines = ["at {t} menu Auto %s" % direction, "at {t} key %s" % other[0], "at {t} menu Turn %s" % other[1]]
                blackout = 0.0
            elif kind == "stop in pick frame":
                lines, blackout = ["at {t} menu Correct Value", "at {t} menu STOP !!"], 0.0
            else:
                lines, blackout = ["at {t} set pushback off"], 0.0
            out.append((t, lines, blackout))
            self.drawn.append(kind)
            t += blackout + rng.uniform(4.0, 12.0)
        return out

    def _taxiway_picks(self, rng, seconds, watching):
        """The taxiway picks, the watched run's first; the others from when
        the pilot is back."""
        out = []
        if watching:
            out.append((WATCHED_PICK_AT, ["at {t} menu Taxiway %s" % rng.choice(["Left", "Right"])]))
            self.drawn.append("taxiway watched")
        t = watching + rng.uniform(0.5, 4.0)
        while t < seconds + watching:
            side = rng.choice(["Left", "Right"])
            out.append((t, ["at {t} menu Taxiway %s" % side]))
            self.drawn.append("taxiway " + side.lower())
            t += rng.uniform(3.0, 10.0)
        return out

    @staticmethod
    def _pilot(rng, seconds):
        """What the pilot does: (time, scenario lines). The stream is the one
        sessions drew before faults existed, so old seeds keep their pilot."""
        actions, weights = zip(*PICKS)
        out = []
        t = 0.5
        while t < seconds:
            action = rng.choices(actions, weights)[0]
            if action == "aircraft":
                # A new flight: the aircraft, then the SimStart that makes the
                # add-on ask which one it is.
                name = rng.choice(sorted(STORED))
                out.append((t, ["at {t} aircraft %s" % name, "at {t} simstart"]))
            elif action == "dialog":
                out.append((t, ["at {t} dialog %s" % rng.choice(["ok", "cancel", "close"])]))
            else:
                out.append((t, ["at {t} %s" % action]))
            gap = rng.random()
            t += rng.uniform(0.2, 1.5) if gap < 0.6 else rng.uniform(1.5, 5.0) if gap < 0.9 else rng.uniform(5.0, 14.0)
        return out

    def _faults(self, rng, seconds, pilot):
        """(time, scenario lines, seconds the pilot stays away) for each fault."""
        kinds, weights = zip(*FAULTS)
        autos = [t for t, lines in pilot if any("menu Auto" in line for line in lines)]
        out = []
        if self.sound and autos:
            # Kestrola dies while the opening cue of a run plays.
            out.append((rng.choice(autos) + 0.2, ["at {t} player kill playing"], 0.0))
            self.drawn.append("player kill playing")
        t = rng.uniform(1.0, 6.0)
        while t < seconds:
            kind = rng.choices(kinds, weights)[0]
            lines, blackout = self._fault_lines(rng, kind)
            if lines:
                out.append((t, lines, blackout))
                self.drawn.append(lines[0].split(" ", 2)[2])
            t += blackout + rng.uniform(2.0, 9.0)
        return out

    def _fault_lines(self, rng, kind):
        if kind == "player":
            return (["at {t} player kill"], 0.0) if self.sound else ([], 0.0)
        if kind in REPLACING:
            self.replaces_file = True
        if kind.startswith("config Data Distance"):
            self.distances.add(int(kind.split()[-1]))
        if kind.startswith("config PLANE_CORRECT"):
            _, _, key, value = kind.split()
            self.written.setdefault(key, set()).add(value)
        if kind.startswith(("cfgfile", "config")):
            return ["at {t} %s" % kind], 0.0
        if kind == "simconnect exception":
            # Unrecognized id, name unrecognized, data error: what the
            # simulator answers calls it could not take.
            return ["at {t} simconnect exception %d" % rng.choice([3, 7, 20])], 0.0
        if kind == "simconnect data":
            return ["at {t} simconnect data %d" % rng.choice([0, 5, 9, 77, 4294967295])], 0.0
        if kind == "simstart":
            return ["at {t} simstart"], 0.0
        if kind == "aircraft alone":
            return ["at {t} aircraft %s" % rng.choice(sorted(STORED))], 0.0
        if kind == "pause":
            return ["at {t} pause %.1f" % rng.uniform(1.0, 6.0)], 0.0
        if kind == "simconnect quit":
            return ["at {t} simconnect quit", "at {t+} resources after quit"], QUIT_QUIET_S
        if kind == "focus away":
            away = round(rng.uniform(1.0, 6.0), 1)
            self.focus_away_s += away
            return ["at {t} focus away %.1f" % away], away
        raise ValueError(kind)

    def straight_bound(self):
        """The farthest an automatic run may push straight before its turn:
        the farthest Distance in force (the default when the file gives none
        it can use), a tick of pushing on, and what the focus losses cost."""
        usable = [d for d in self.distances if 0 <= d <= 500]
        farthest = max(usable + ([DEFAULT_DISTANCE] if self.falls_back() else []))
        return farthest + STRAIGHT_SLACK_M + FASTEST_PUSH * self.focus_away_s

    def falls_back(self):
        """Whether the add-on may read Distance's default at some point."""
        return any(not 0 <= d <= 500 for d in self.distances) or self.replaces_file


def session(seed, seconds=30.0, faults=True):
    """The scenario text of one session."""
    return Session(seed, seconds, faults).text


def tone(build, name, seconds):
    """A quiet sine of that length in the build tree, made once."""
    path = Path(build).resolve() / "voice_cues" / name
    if not path.exists():
        path.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["sox", "-n", "-r", "22050", "-c", "1", "-b", "16", str(path), "synth", str(seconds), "sine",
                        "440", "vol", "0.1"], check=True)
    return path


def prepare_sound(build, engine_cue_s=ENGINE_CUE_S):
    """The cues and a silent ALSA set-up, once, before sessions run. Every
    cue is one 8-second tone: the silent device plays several times faster
    than real time, and a spoken cue would be over before a kill could find
    it playing; the sound thread waits 3 s after each file all the same.
    The engine-start cues are longer, so that a cue holding the steering
    would show."""
    build = Path(build).resolve()
    cues = {section: tone(build, "session_cue.wav", 8) for section in voice_cues.FILES}
    engine = tone(build, "engine_cue_%d.wav" % engine_cue_s, engine_cue_s)
    cues.update({section: engine for section in cues if section.startswith("EngSound")})
    conf = build / "wine" / "alsa-silent.conf"
    conf.parent.mkdir(parents=True, exist_ok=True)
    if not conf.exists():
        conf.write_text(SILENT_ALSA)
    return cues, conf


def run_text(build, text, name, env=None, sound=False, engine_cue_s=ENGINE_CUE_S):
    """Runs a scenario text as a session runs: with sound, the real player,
    the cues and a Drovana.cfg that names them."""
    prepare = None
    env = dict(env or run_scenario.wine_env(build))
    if sound:
        cues, conf = prepare_sound(build, engine_cue_s)
        env["ALSA_CONFIG_PATH"] = str(conf)

        def prepare(folder):
            sounds = folder / "DrovanaX" / "Sounds"
            sounds.mkdir(parents=True, exist_ok=True)
            for section, file_name in voice_cues.FILES.items():
                shutil.copy2(cues[section], sounds / file_name)
            # The host adds the scenario's config lines to this file.
            (folder / "Drovana.cfg").write_text(sample_config.render(CUE_FOLDER, wav_flag=1), newline="")
    try:
        return run_scenario.run(build, text, name=name, player="real" if sound else "probe", timeout=300, env=env,
                                prepare=prepare)
    finally:
        # An immutable file would outlive the run and its folder.
        folder = Path(build).resolve() / "simroot" / name
        if "cfgfile unwritable" in text and (folder / "Drovana.cfg").exists():
            subprocess.run(["chattr", "-i", str(folder / "Drovana.cfg")], capture_output=True)


def run(build, seed, seconds=30.0, env=None, name=None, faults=True):
    drawn = Session(seed, seconds, faults)
    result = run_text(build, drawn.text, name or "random_%d" % seed, env, drawn.sound)
    result.session = drawn
    return result


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


def read_profile(path):
    """An INI file read the way the profile functions read it: a line that
    starts with "[" and holds "]" opens a section, any other line with "=" is
    a key (the first of a name counts); names are compared without case."""
    sections = {}
    if not Path(path).exists():
        return sections
    current = None
    for raw in Path(path).read_bytes().split(b"\n"):
        line = raw.strip(b"\r \t")
        if line.startswith(b"[") and b"]" in line:
            current = sections.setdefault(line[1:line.index(b"]")].strip().decode("latin-1").lower(), {})
        elif current is not None and b"=" in line:
            key, value = line.split(b"=", 1)
            current.setdefault(key.strip().decode("latin-1").lower(), value.strip().decode("latin-1"))
    return sections


def measured_values(result, key):
    """Distances that a completed measurement of the aircraft showed last,
    with no aircraft loaded before it showed it. The correction is stored at
    the sample where the heading first moves, the last distance shown; the
    measurement then follows the turn for the radius, silently, and an
    aircraft loaded in that part leaves the stored correction as it was."""
    values = []
    start, last, disturbed = None, None, False
    for r in result.trace:
        if r.get("ev") == "text":
            if r["text"] == key:
                start, last, disturbed = r["t"], None, False
            m = re.fullmatch(r"Request mesurement ! Your aircraft is %s Distance = (\S+)" % re.escape(key), r["text"])
            if m and start is not None:
                last = None if disturbed else m.group(1)
        elif r.get("ev") == "deliver" and r.get("msg") == "EVENT_FILENAME" and start is not None:
            disturbed = True
        elif r.get("ev") == "pushback" and r.get("change") == "stopped" and last is not None:
            # The measurement's stop: its last distance is what it stored.
            values.append(last)
            start, last = None, None
    return values


def broken_corrections(result, drawn):
    stored = read_profile(Path(result.folder) / "Drovana.cfg").get("plane_correct", {})
    problems = []
    for key in sorted(set(STORED) | set(drawn.written)):
        value = stored.get(key.lower())
        if value is None:
            if not drawn.replaces_file and key in STORED:
                problems.append("the correction of %s was lost" % key)
            continue
        if STORED.get(key) == value or value in drawn.written.get(key, ()):
            continue
        low, high = MEASURED_RANGE.get(key, (math.inf, -math.inf))
        try:
            plausible = low <= float(value) <= high
        except ValueError:
            plausible = False
        if value not in measured_values(result, key) or not plausible:
            problems.append("the correction of %s became %r, which no completed, undisturbed measurement of it gave"
                            % (key, value))
    return problems


def unsteered_pushes(result, drawn):
    """An automatic run shows its straight distance each tick until it turns:
    a distance past every Distance in force is a run that does not turn."""
    bound = drawn.straight_bound()
    shown = [int(m.group(1)) for t in result.texts() for m in [re.fullmatch(r"Distance = (-?\d+)", t)] if m]
    if shown and max(shown) > bound:
        return ["an automatic run pushed %d m without its turn (no Distance in force was over %.0f m)"
                % (max(shown), bound - STRAIGHT_SLACK_M - FASTEST_PUSH * drawn.focus_away_s)]
    return []


# An automatic run's turn is as wide as Head, which is the session's or, in a
# damaged file, the default 90; 3 degrees more is a turn that ran past its
# target (the other turn key's, or one a cue left unwatched). A taxiway run's
# turn is its plan's (shown in whole degrees), and its push its plan's push.
DEFAULT_HEAD = 90
TURN_SLACK_DEG = 3.0
PUSH_SLACK_M = 3.0
PLAN_TEXT = re.compile(r"Taxiway \S+: push (\d+) m, turn (\d+) deg")
# A restart is a stop and a start within this long (the stand-in marks it).
RESTART_S = 1.0


def turns(result, start, end):
    """(start, stop, degrees) of each turn of the simulator's pushback that
    began in [start, end): the heading's steps summed the shorter way round,
    up to the pushback's stop, the next turn, or `end`."""
    out = []
    turn = None
    for r in result.trace:
        is_change = r.get("ev") == "pushback"
        if turn is not None and (r["t"] >= end or (is_change and r["change"] in ("stopped", "turning"))):
            out.append((turn[0], r["t"], turn[1]))
            turn = None
        if is_change and r["change"] == "turning" and start <= r["t"] < end:
            turn, last = [r["t"], 0.0], r["heading_deg"]
        elif r.get("ev") == "state" and turn is not None:
            step = abs(r["heading_deg"] - last) % 360.0
            turn[1] += min(step, 360.0 - step)
            last = r["heading_deg"]
    if turn is not None:
        out.append((turn[0], result.trace[-1]["t"], turn[1]))
    return out


def taxiway_runs(result):
    """Each planned taxiway run: its plan's push and turn, its aircraft, when
    it was shown, how far it pushed straight before its turn key (or any stop,
    STOP, QUIT, the end) and when its steering ended."""
    texts = result.of("text")
    states = result.states()
    changes = result.of("pushback")
    endings = sorted([r["t"] for r in result.of("deliver") if r.get("label") == "STOP !!" or r["msg"] == "QUIT"]
                     + [r["t"] for r in result.of("scenario") if "Shift+P" in r["command"]]
                     + [r["t"] for r in texts if r["text"] in ("Good luck !",) or r["text"].startswith("Request")]
                     + [r["t"] for r in result.of("dllstop")] + [result.trace[-1]["t"]])
    runs = []
    # A planned run shows the push's greeting, then its plan.
    for greeting, r in zip(texts, texts[1:]):
        plan = PLAN_TEXT.fullmatch(r["text"])
        if not plan or not greeting["text"].startswith("Request Pushback !"):
            continue
        t0 = r["t"]
        ending = min(t for t in endings if t > t0)
        key_or_stop = [c for c in changes if c["t"] >= t0 and c["change"] in ("turn_left", "turn_right", "stopped")]
        push_end = min([ending] + [c["t"] for c in key_or_stop[:1]])
        # The roll-out's stop, or the simulator's own: a stop no restart follows.
        final = [c["t"] for c in changes if c["t"] >= t0 and c["change"] == "stopped" and
                 not any(d["change"] == "started" and d.get("restart") and 0 <= d["t"] - c["t"] < RESTART_S
                         for d in changes)]
        start = ([s for s in states if s["t"] <= t0] or states)[-1]
        pushed = [s for s in states if t0 <= s["t"] <= push_end] + [c for c in key_or_stop[:1] if c["t"] <= push_end]
        runs.append({"t": t0, "push": int(plan.group(1)), "turn": int(plan.group(2)), "push_end": push_end,
                     "start": start,
                     "aircraft": greeting["text"][len("Request Pushback ! Your aircraft is "):],
                     "pushed": max([distance_m(start, s) for s in pushed] + [0.0]), "end": min([ending] + final)})
    return runs


def least_lead(drawn, aircraft):
    """The least the turn key may go ahead of the plan's turn point: the
    correction less the first degree of arc, the least a measurement gives,
    or none where the session may have left the aircraft no correction."""
    if drawn.replaces_file or aircraft in drawn.written or aircraft not in MEASURED_RANGE:
        return 0.0
    return MEASURED_RANGE[aircraft][0] - 1.03 * float(RADII[aircraft]) * math.pi / 180.0


def taxiway_runs_off_plan(result, drawn):
    """Taxiway runs whose turn key went more than 3 m past where it was
    planned, or that turned past their plan's turn (a timer a cue held, a
    loop)."""
    problems = []
    for run in taxiway_runs(result):
        # A turn key due while another program kept the front goes once the
        # simulator is back.
        def pushed_at(t):
            return distance_m(run["start"], state_at(result, t) or result.states()[-1])
        reach = run["push"] + 0.5 - least_lead(drawn, run["aircraft"])
        for left, back in away_windows(result):
            if run["t"] <= left <= run["push_end"] and pushed_at(left) <= reach:
                reach = max(reach, pushed_at(back))
        bound = reach + PUSH_SLACK_M
        if run["pushed"] > bound:
            problems.append("the taxiway run planned at %.1f s pushed %.1f m straight before its turn key, for a "
                            "push of %d m" % (run["t"], run["pushed"], run["push"]))
        def rotated(t):
            return sum(degrees for _, _, degrees in turns(result, run["t"], min(t, run["end"])))
        turned = rotated(run["end"])
        # Likewise the restart that ends the turn, due while another program
        # kept the front.
        limit = run["turn"] + 0.5
        for left, back in away_windows(result):
            if run["t"] <= left <= run["end"] and rotated(left) <= limit:
                limit = max(limit, rotated(back))
        if turned > limit + TURN_SLACK_DEG:
            problems.append("the taxiway run planned at %.1f s turned %.0f degrees for a turn of %d"
                            % (run["t"], turned, run["turn"]))
    return problems


def runaway_turns(result):
    """Turns of an automatic run (the add-on shows their heading each tick)
    that went round further than any target; a taxiway run's are its plan's."""
    problems = []
    texts = [(r["t"], r["text"]) for r in result.of("text")]
    taxiway = [(run["t"], run["end"]) for run in taxiway_runs(result)]
    for turning_from, stopped, rotated in turns(result, 0.0, math.inf):
        if any(start <= turning_from <= end for start, end in taxiway):
            continue
        watched = any(turning_from <= t <= stopped and text.startswith("Heading = ") for t, text in texts)
        if watched and rotated > DEFAULT_HEAD + TURN_SLACK_DEG:
            problems.append("a turn from %.1f s went round %.0f degrees, past any target" % (turning_from, rotated))
    return problems


# STOP's key goes out at once, or at the run's next tick when the simulator
# has not yet answered the run's last Shift+P.
STOP_SETTLE_S = 3.0


def away_windows(result):
    """(away, back) of each time another program kept the front."""
    focus = result.of("fault", kind="focus")
    return [(away, min([r["t"] for r in focus if r["what"] == "back" and r["t"] >= away] + [math.inf]))
            for away in [r["t"] for r in focus if r["what"] == "away"]]


def focus_back(result, t):
    """When the simulator's window is back in front, for a moment another
    program kept it (None when it was in front)."""
    return next((back for away, back in away_windows(result) if away <= t <= back), None)


def state_at(result, t):
    return next((s for s in result.states() if s["t"] >= t), None)


def pushbacks_left_moving(result):
    """STOPs and session ends after which the simulator's pushback moved on."""
    problems = []
    commands = [r["t"] for r in result.of("scenario") if not r["command"].startswith(("resources", "menu STOP"))]
    for stop in [r["t"] for r in result.of("deliver") if r.get("label") == "STOP !!"]:
        deadline = (focus_back(result, stop) or stop) + STOP_SETTLE_S
        # Anything else the session did meanwhile may start a pushback again.
        if any(stop - 0.2 <= t <= deadline for t in commands):
            continue
        after = state_at(result, deadline)
        if after is not None and after["pushback"] != "off":
            problems.append("the pushback still moved %.0f s after STOP at %.1f s" % (deadline - stop, stop))
    # At the end only the add-on's own pushback is its to stop (a pilot's
    # Shift+P alone, with no run, stays the pilot's), when its key can go.
    # The restart a turn key needs (the pilot's on the pilot's own pushback)
    # leaves the pushback whose it was.
    stops = result.of("dllstop")
    addons = False
    for c in pushback_causes(result):
        if c["change"] == "started" and stops and c["t"] < stops[0]["t"] and not c.get("restart"):
            addons = c["by_addon"]
    final = result.states()[-1] if result.states() else None
    if (stops and final is not None and final["pushback"] != "off" and addons
            and focus_back(result, stops[0]["t"]) is None):
        problems.append("the add-on's pushback moved on after the session ended")
    return problems


def timers_after_quit(result):
    problems = []
    for r in result.of("resources", label="after quit"):
        if r["thread_timers"] != 0:
            problems.append("a timer still ran %.1f s after the simulator's QUIT" % QUIT_IDLE_AT_S)
    return problems


def resource_growth(result):
    counts = {r["label"]: r for r in result.of("resources")}
    start, end = counts.get("start"), counts.get("end")
    if start is None or end is None:
        return []
    return ["%s grew from %d to %d over the session (at most %d allowed)" % (k, start[k], end[k], bound)
            for k, bound in RESOURCE_GROWTH.items() if end[k] - start[k] > bound]


def check(result):
    """What the session broke, as messages; empty when nothing."""
    drawn = result.session
    problems = []
    if result.code != 0:
        failed = [u["command"] for u in result.of("until") if not u["met"]]
        meaning = [m for prefix, m in BROKEN_UNTIL.items() for c in failed if c.startswith(prefix)]
        meaning = meaning or [BROKEN_EXIT[result.code]] if result.code in BROKEN_EXIT else meaning
        problems.append(meaning[0] if meaning else "the run ended with code %d: %s" % (result.code, failed))
    elif not result.of("exit"):
        problems.append("the host did not live to the end of the session")
    for t in stop_started_pushbacks(result):
        problems.append("STOP picked at %.2f s started the simulator's pushback" % t)
    problems += broken_corrections(result, drawn)
    problems += unsteered_pushes(result, drawn)
    problems += taxiway_runs_off_plan(result, drawn)
    problems += runaway_turns(result)
    problems += pushbacks_left_moving(result)
    problems += timers_after_quit(result)
    problems += resource_growth(result)
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True)
    parser.add_argument("--seed", type=int, required=True)
    parser.add_argument("--seconds", type=float, default=30.0)
    parser.add_argument("--no-faults", action="store_true", help="the pilot alone, as sessions were first drawn")
    args = parser.parse_args()
    print(session(args.seed, args.seconds, not args.no_faults))
    result = run(args.build, args.seed, args.seconds, faults=not args.no_faults)
    problems = check(result)
    print("trace: %s" % result.trace_path)
    for p in problems:
        print("BROKEN: " + p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
