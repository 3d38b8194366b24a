"""A few seeded random pilot sessions (random_sessions.py); many more run in
`./drovana soak --sessions N`. Seeds that once broke the add-on stay here,
and seeds whose sessions between them draw every fault. The sessions run at
the same time, one in each Wine prefix the test is given (its own and
DROVANA_MORE_PREFIXES): they mostly wait for the add-on's ticks."""

import os
import re
import unittest
from pathlib import Path

import random_sessions
import run_scenario
from e2e_support import build_dir, main

# seed: seconds of its random part
PILOT_ONLY = {1: 15, 2: 15, 10: 30}
WITH_FAULTS = [4, 31, 55, 64, 271, 351, 2767]

# The two faults whose moment matters, at that moment: Kestrola killed while
# the first cue of an automatic run plays, then QUIT during the next run.
KILL_AND_QUIT = """\
aircraft Prop
config Data Distance 3
config Data Head 8
until simstart timeout 20
at 0.5 menu Auto Left
at 0.6 player kill playing
until text "Good luck !" timeout 150
at 1.5 menu Auto Right
until text "Request Pushback" timeout 3
at 3.0 simconnect quit
at 10.5 resources after quit
until pushback off timeout 3
end 1.0
"""

results = {}


def fault_kinds(session):
    """The faults a session draws, by kind: the command without its numbers
    or aircraft."""
    return {d if d.startswith("config") else re.sub(r" ([\d.]+|Liner|Prop)$", "", d) for d in session.drawn}


def run_all():
    build = build_dir()
    random_sessions.prepare_sound(build)
    env = run_scenario.wine_env(build)
    prefixes = [env["WINEPREFIX"]] + os.environ.get("DROVANA_MORE_PREFIXES", "").split()
    work = [("kill and quit", 0, False)]
    work += [(seed, seconds, False) for seed, seconds in PILOT_ONLY.items()]
    work += [(seed, 30, True) for seed in WITH_FAULTS]

    def run(item, mine, _):
        seed, seconds, faults = item
        try:
            if seed == "kill and quit":
                return [], random_sessions.run_text(build, KILL_AND_QUIT, "session_kill_and_quit", mine, True)
            result = random_sessions.run(build, seed, seconds, env=mine, name="random_session_%d" % seed,
                                         faults=faults)
            return random_sessions.check(result), result
        except Exception as error:  # reported by the seed's own test
            return ["the session could not run: %r" % error], None

    def done(item, outcome):
        results[item[0]] = outcome

    run_scenario.run_in_prefixes(work, [p for p in prefixes if Path(p).is_dir()], env, run, done)


class RandomSessions(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        run_all()

    def assertSessionHolds(self, seed):
        problems, result = results[seed]
        where = result.trace_path if result else "no trace"
        self.assertEqual(problems, [], "seed %d: trace %s" % (seed, where))
        return result

    def test_seed_1(self):
        self.assertSessionHolds(1)

    def test_seed_2(self):
        self.assertSessionHolds(2)

    def test_seed_10_measurement_across_an_aircraft_change(self):
        # "Correct Value" on the Liner, then the Prop loaded before the turn:
        # the Liner's distance was stored as the Prop's correction.
        self.assertSessionHolds(10)

    def test_the_fault_seeds_draw_every_fault(self):
        drawn = set()
        for seed in WITH_FAULTS:
            drawn |= fault_kinds(random_sessions.Session(seed))
        every = {"player kill", "player kill playing", "cfgfile garbage", "cfgfile empty", "cfgfile delete",
                 "cfgfile unwritable", "cfgfile longline", "cfgfile nobracket", "config Data Distance -40",
                 "config Data Distance 99999999999", "config PLANE_CORRECT Liner nan",
                 "config PLANE_CORRECT Liner -1e308", "simconnect exception", "simconnect data", "simstart",
                 "aircraft", "pause", "simconnect quit", "focus away", "stop away", "quit away", "other turn",
                 "stop in pick frame", "simulator ends", "EngFlag", "abrupt end", "taxiway left", "taxiway right",
                 "radii stored"}
        self.assertEqual(every - drawn, set())

    def test_a_run_goes_on_without_its_killed_player_and_quit_ends_the_next(self):
        _, result = results["kill and quit"]
        self.assertIsNotNone(result)
        self.assertEqual(result.code, 0, "trace %s" % result.trace_path)
        kills = result.of("fault", kind="player")
        self.assertEqual([k.get("playing") for k in kills], [True], "not killed mid-cue")
        # Before QUIT ended runs, the second run ticked on for good.
        self.assertEqual([r["thread_timers"] for r in result.of("resources", label="after quit")], [0])

    def test_seed_4_exception_and_quit(self):
        # QUIT while a run still ticked left its timer running.
        self.assertSessionHolds(4)

    def test_seed_55_measurement_across_an_aircraft_loaded_notice(self):
        # "Correct Value" on the Liner, then the Prop loaded with no SimStart:
        # the key stayed Liner, and the Prop's roll was stored as its correction.
        self.assertSessionHolds(55)

    def test_seed_64_file_deleted_and_quit(self):
        self.assertSessionHolds(64)

    def test_seed_271_file_emptied_long_line_and_focus_lost(self):
        self.assertSessionHolds(271)

    def test_seed_351_pushback_started_and_ended_by_the_pilot_before_the_start_step(self):
        # Shift+P twice during a manual run's checklist; the start step then
        # started a pushback that STOP no longer stopped.
        self.assertSessionHolds(351)

    def test_seed_31_engine_cues_during_the_push_and_an_abrupt_end(self):
        # EngFlag=2 with sound, ended (and the add-on unloaded) mid-session.
        self.assertSessionHolds(31)

    def test_seed_2767_player_killed_file_replaced_and_unwritable(self):
        self.assertSessionHolds(2767)


if __name__ == "__main__":
    main()
