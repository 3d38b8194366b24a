"""Automatic pushbacks in the stand-in simulator, read from the trace: the
straight push, the turn key, the turn to the target heading (also across
north), the roll-out and the stop; and the correction measurement feeding the
next automatic run."""

import shutil
import unittest

from e2e_support import (GATE_HEADING, LINER_PUSH_SPEED, PROP_TURN_DELAY, TICK_S, angle_between, build_dir, changes,
                         distance_m, main, run, run_scenario, stored_corrections)

DISTANCE = 4
HEAD = 12
# A tick's push past a threshold, and some room for a tick that comes late on
# a loaded machine.
ONE_TICK_M = LINER_PUSH_SPEED * TICK_S + 0.4

AUTO_RUN_CHANGES = ["started",            # step 7
                    "stopped", "started",  # the restart before the turn key
                    None,                 # the turn key
                    "turning",            # the tug has rolled its delay
                    "stopped", "started",  # straight again at the target
                    "stopped"]            # after the roll-out


def scenario(command, start_heading=None, distance=DISTANCE, head=HEAD):
    lines = ["aircraft Liner", "config Data Distance %d" % distance, "config Data Head %d" % head]
    lines.append("until simstart timeout 20")
    if start_heading is not None:
        lines.append("at 0.1 set heading %g" % start_heading)
    lines += ["at 0.5 menu %s" % command, 'until text "Good luck !" timeout 90', "end 1"]
    return "\n".join(lines) + "\n"


class AutomaticRun:
    """One automatic pushback; subclasses say which and from where."""
    command = "Auto Left"
    start_heading = None
    name = None

    @classmethod
    def setUpClass(cls):
        cls.result = run(scenario(cls.command, cls.start_heading), cls.name)
        cls.pushbacks = cls.result.of("pushback")

    @property
    def turn_change(self):
        return "turn_left" if self.command == "Auto Left" else "turn_right"

    @property
    def target(self):
        start = GATE_HEADING if self.start_heading is None else self.start_heading
        turned = start + HEAD if self.command == "Auto Left" else start - HEAD
        return turned % 360.0

    def test_run_completes_with_good_luck(self):
        self.assertEqual(self.result.code, 0, self.result.output)
        texts = self.result.texts()
        self.assertEqual(texts[0], "Request Pushback ! Your aircraft is Liner")
        self.assertEqual(texts[-1], "Good luck !")

    def test_simulator_sees_push_turn_straighten_and_stop(self):
        expected = [c if c is not None else self.turn_change for c in AUTO_RUN_CHANGES]
        self.assertEqual(changes(self.result), expected)
        self.assertEqual(sum(1 for r in self.result.of("key") if r["key"] in "12"), 1,
                         "the turn key reached the simulator more than once")

    def test_turn_key_comes_just_past_the_push_distance(self):
        start = self.pushbacks[0]
        turn = next(p for p in self.pushbacks if p["change"] == self.turn_change)
        pushed = distance_m(start, turn)
        self.assertGreater(pushed, DISTANCE, "turned before the configured distance")
        self.assertLess(pushed, DISTANCE + ONE_TICK_M, "turned more than a tick late")

    def test_turn_ends_within_a_degree_of_the_target(self):
        straightened = self.pushbacks[5]
        self.assertLess(angle_between(straightened["heading_deg"], self.target), 1.1,
                        "turn ended at %.2f for a target of %.2f" % (straightened["heading_deg"], self.target))
        final = self.result.states()[-1]
        self.assertLess(angle_between(final["heading_deg"], self.target), 1.1)
        self.assertEqual(final["pushback"], "off")

    def test_roll_out_is_just_over_five_metres(self):
        rolled = distance_m(self.pushbacks[6], self.pushbacks[7])
        self.assertGreater(rolled, 5.0)
        self.assertLess(rolled, 5.0 + ONE_TICK_M)


class AutoLeft(AutomaticRun, unittest.TestCase):
    name = "push_auto_left"


class AutoRight(AutomaticRun, unittest.TestCase):
    command = "Auto Right"
    name = "push_auto_right"


class AutoLeftAcrossNorth(AutomaticRun, unittest.TestCase):
    start_heading = 355.0  # target 7
    name = "push_auto_left_wrap"

    def test_heading_crossed_north(self):
        self.assertLess(self.result.states()[-1]["heading_deg"], 10.0)


class AutoRightAcrossNorth(AutomaticRun, unittest.TestCase):
    command = "Auto Right"
    start_heading = 5.0  # target 353
    name = "push_auto_right_wrap"

    def test_heading_crossed_north(self):
        self.assertGreater(self.result.states()[-1]["heading_deg"], 350.0)


class CorrectionMeasurement(unittest.TestCase):
    """"Correct Value", then an automatic run that turns that much earlier."""
    DISTANCE = 12

    @classmethod
    def setUpClass(cls):
        cls.result = run("\n".join([
            "aircraft Prop",
            "config Data Distance %d" % cls.DISTANCE,
            "config Data Head 6",
            "until simstart timeout 20",
            "at 0.5 menu Correct Value",
            "until pushback on timeout 5",
            "until pushback off timeout 30",
            "at 1 menu Auto Left",
            'until text "Good luck !" timeout 90',
            "end 1",
        ]) + "\n", "push_correct_value")
        cls.stored = stored_corrections(cls.result).get("Prop")

    def test_stored_value_is_within_a_metre_of_the_turn_delay(self):
        self.assertEqual(self.result.code, 0, self.result.output)
        self.assertIsNotNone(self.stored, "nothing stored under [PLANE_CORRECT]")
        self.assertRegex(self.stored, r"^\d+\.\d{6}$")
        self.assertLess(abs(float(self.stored) - PROP_TURN_DELAY), 1.0)

    def test_stored_value_is_the_last_measurement_message(self):
        measured = [t for t in self.result.texts() if t.startswith("Request mesurement ! Your aircraft is Prop")]
        self.assertTrue(measured)
        self.assertEqual(measured[-1], "Request mesurement ! Your aircraft is Prop Distance = " + self.stored)

    def test_measurement_starts_turns_and_stops_the_pushback(self):
        self.assertEqual(changes(self.result)[:4], ["started", "turn_left", "turning", "stopped"])

    def test_next_automatic_run_sends_its_turn_key_whole_metres_earlier(self):
        whole = int(float(self.stored) + 0.5)
        pushes = self.result.of("pushback")[4:]
        self.assertEqual(pushes[0]["change"], "started")
        turn = next(p for p in pushes if p["change"] == "turn_left")
        pushed = distance_m(pushes[0], turn)
        self.assertGreater(pushed, self.DISTANCE - whole)
        self.assertLess(pushed, self.DISTANCE - whole + ONE_TICK_M,
                        "the turn key came %.2f m out, not %d m earlier than %d" % (pushed, whole, self.DISTANCE))


class AnotherSimulatorsSetupPath(unittest.TestCase):
    """SetupPath names another simulator's folder (the boxed edition beside the
    Steam Edition): the add-on reads its own simulator's settings and starts
    its own player."""

    @classmethod
    def setUpClass(cls):
        other = build_dir() / "simroot" / "push_other_setup_path-boxed"
        shutil.rmtree(other, ignore_errors=True)
        other.mkdir(parents=True)
        (other / "Drovana.cfg").write_text("[Data]\r\nDistance=45\r\n")
        shutil.copy2(build_dir() / "sim" / "KestrolaProbe.exe", other / "Kestrola.exe")
        cls.result = run("setuppath %s\\\naircraft Liner\nconfig Data Distance 8\nconfig Data Head 6\n"
                         "until simstart timeout 20\nat 0.5 menu Auto Left\nuntil pushback left timeout 60\nend 0.5\n"
                         % run_scenario.windows_path(other, run_scenario.wine_env(build_dir())),
                         "push_other_setup_path")

    def test_pushes_its_own_distance_and_starts_its_own_player(self):
        self.assertEqual(self.result.code, 0, self.result.output)
        pushes = self.result.of("pushback")
        pushed = distance_m(pushes[0], next(p for p in pushes if p["change"] == "turn_left"))
        self.assertTrue(8 < pushed < 8 + ONE_TICK_M, "pushed %.1f m, not 8: another folder's Distance" % pushed)
        marker = self.result.folder / "kestrola-started.txt"
        self.assertEqual(marker.read_text().strip(), '"%sKestrola.exe"' % self.result.of("run")[0]["folder"])


if __name__ == "__main__":
    main()
