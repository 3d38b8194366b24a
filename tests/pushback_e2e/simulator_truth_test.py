"""The add-on follows the simulator's own pushback state, not its keystrokes,
and leaves nothing running when the stand-in unloads it after DLLStop: the
pilot's ways of leaving an aircraft moving with nothing steering it, each in
the stand-in."""

import shutil

from e2e_support import GATE_HEADING, angle_between, build_dir, changes, distance_m, main, run

import unittest


# A taxiway pick of the Prop at gate A1 of the stand-in's default airport,
# with what "Correct Value" would have stored; its map program has read the
# library by the pick.
TAXIWAY_PROP = "aircraft Prop\nconfig PLANE_RADIUS Prop 25.066\nconfig PLANE_CORRECT Prop 3.0\n"


def nothing_ran_after_unload(test, result):
    test.assertEqual(result.code, 0, result.output[-3000:])
    after = result.of("after_unload")
    test.assertEqual(len(after), 1, "the stand-in did not unload the add-on")
    test.assertEqual((after[0]["calls"], after[0]["faults"], after[0]["still_loaded"]), (0, 0, False),
                     "something of the add-on ran after FreeLibrary: %s" % result.of("after_unload_call"))
    test.assertEqual(result.states()[-1]["pushback"], "off", "the pushback moved on after DLLStop")


class UnloadLeavesNothingRunning(unittest.TestCase):
    # Each ends while something of the add-on runs: the dialog open and an
    # automatic run pushing; the dialog's box refusing an out-of-range
    # Distance, still up; a measurement; a taxiway run pushing out on its own
    # timer; a connection that never opened.
    CASES = {
        "dialog_refusing": "config Data Distance 99999999999\nuntil simstart timeout 20\nat 0.5 menu Setting\n"
                           "at 1.5 dialog ok\nend 1\n",
        "dialog_and_run": "until simstart timeout 20\nat 0.5 menu Setting\nat 1.5 menu Auto Left\n"
                          "until pushback on timeout 30\nend 2\n",
        "measurement": "aircraft Prop\nuntil simstart timeout 20\nat 0.5 menu Correct Value\n"
                       "until pushback on timeout 10\nend 0.5\n",
        "taxiway_run": TAXIWAY_PROP + "until simstart timeout 20\nat 4 menu Taxiway Left\n"
                                      "until pushback on timeout 30\nend 1\n",
        "never_opened": "open fail\nend 2\n",
    }

    def test_each_ending(self):
        for name, scenario in self.CASES.items():
            with self.subTest(name):
                nothing_ran_after_unload(self, run(scenario, "truth_unload_" + name))


class StopInTheFrameOfAPick(unittest.TestCase):
    # Both picks reach the add-on in one frame: Correct Value's keys still
    # queued; a taxiway pick's question still before the map program, whose
    # answer started the run after the STOP.
    SCENARIOS = {
        "correct": "aircraft Prop\nuntil simstart timeout 20\nat 0.5 menu Correct Value\nat 0.5 menu STOP !!\nend 8\n",
        "taxiway": TAXIWAY_PROP + "until simstart timeout 20\nat 4 menu Taxiway Left\nat 4 menu STOP !!\nend 4\n",
    }

    def test_no_pushback_starts(self):
        for name, scenario in self.SCENARIOS.items():
            with self.subTest(name):
                result = run(scenario, "truth_stop_" + name)
                nothing_ran_after_unload(self, result)
                self.assertNotIn("started", changes(result), "a pushback started after STOP")
                self.assertFalse([t for t in result.texts() if t.startswith(("Request Pushback", "Taxiway"))],
                                 "a run was planned or started after STOP")
                states = result.states()
                self.assertLess(distance_m(states[0], states[-1]), 0.5)


class ManualStopWithAnotherProgramInFront(unittest.TestCase):
    SCENARIO = ("until simstart timeout 20\nat 0.5 menu Pushback\nuntil pushback on timeout 30\n"
                "at 2 focus away 4\nat 3 menu STOP !!\nuntil pushback off timeout 15\nend 3\n")

    def test_the_stop_goes_out_when_the_simulator_is_back(self):
        result = run(self.SCENARIO, "truth_stop_focus")
        nothing_ran_after_unload(self, result)
        self.assertTrue(any("waiting for the simulator's window" in t for t in result.texts()), result.texts())
        back = [r for r in result.of("fault", kind="focus") if r["what"] == "back"][0]["t"]
        stops = [r for r in result.of("pushback", change="stopped") if r["t"] > back]
        self.assertTrue(stops and stops[0]["t"] - back < 2.0, "the pushback ran on after the window came back")
        self.assertEqual(result.states()[-1]["pushback"], "off")


class SimulatorEndsItsPushbackByItself(unittest.TestCase):
    SCENARIO = ("until simstart timeout 20\nat 0.5 menu Auto Left\nuntil pushback on timeout 30\n"
                "at 3 set pushback off\nuntil text \"Good luck !\" timeout 30\nend 4\n")

    def test_the_run_ends_and_starts_nothing_again(self):
        result = run(self.SCENARIO, "truth_sim_ends")
        nothing_ran_after_unload(self, result)
        self.assertEqual(changes(result).count("started"), 1, changes(result))
        self.assertEqual(result.states()[-1]["pushback"], "off")


class TheOtherTurnKeyDuringAnAutomaticPushOut(unittest.TestCase):
    SCENARIO = ("config Data Distance 8\nconfig Data Head 30\nuntil simstart timeout 20\nat 0.5 menu Auto Right\n"
                "until pushback on timeout 30\nat 2 key 1\nat 3 menu Turn Left\n"
                "until text \"Good luck !\" timeout 120\nend 1\n")

    def test_only_the_runs_own_turn_reaches_the_simulator(self):
        result = run(self.SCENARIO, "truth_other_turn")
        nothing_ran_after_unload(self, result)
        self.assertNotIn("turn_left", changes(result))
        target = (GATE_HEADING - 30.0) % 360.0
        self.assertLess(angle_between(result.states()[-1]["heading_deg"], target), 3.0)


class PlayerInAFolderWithABlank(unittest.TestCase):
    # A program named by the path's first part would start instead of the
    # player if its path were not quoted.
    NAME = "truth quoted"

    def test_the_player_itself_starts(self):
        def prepare(folder):
            shutil.copy2(build_dir() / "sim" / "DrovanaSim.exe", folder.parent / "truth.exe")
        result = run_in(self.NAME, prepare)
        marker = result.folder / "kestrola-started.txt"
        self.assertTrue(marker.exists(), "the player was not started from a folder with a blank")
        self.assertEqual(marker.read_text().strip(), '"%sKestrola.exe"' % result.of("run")[0]["folder"])


def run_in(name, prepare):
    import run_scenario
    return run_scenario.run(build_dir(), "until simstart timeout 20\nend 2\n", name=name, player="probe",
                            timeout=300, prepare=prepare)


if __name__ == "__main__":
    main()
