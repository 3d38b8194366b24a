"""Orders of keys and picks a pilot may try, in the stand-in simulator: the
add-on's idea of the pushback follows every Shift+P that reached the
simulator, an early turn key does not hang an automatic run, and a pushback
start during "Correct Value" neither spoils the stored correction nor leaves a
pushback nobody steers."""

import unittest

from e2e_support import (GATE_HEADING, PROP_TURN_DELAY, angle_between, changes, downs_reaching_sim, main, run,
                         stored_corrections)


class PilotRestartsThePushbackDuringTheClosingSteps(unittest.TestCase):
    """Shift+P stops a manual run's pushback, Shift+P starts it again while
    the run closes; the run ends with the pilot's pushback still moving."""

    @classmethod
    def setUpClass(cls):
        cls.result = run("\n".join([
            "aircraft Prop",
            "until simstart timeout 20",
            "at 0.5 menu Pushback",
            "until pushback straight timeout 15",
            "at 1 key Shift+P",
            "until pushback off timeout 5",
            "at 1 key Shift+P",
            'until text "Good luck !" timeout 15',
            "at 2 key Shift+P",
            "until pushback off timeout 5",
            "at 1 menu Pushback",
            'until text "Request Pushback" timeout 3',
            "at 1 menu STOP !!",
            "end 1",
        ]) + "\n", "push_restart_in_closing_steps")

    def test_every_shift_p_shows_what_it_did_to_the_pushback(self):
        self.assertEqual(self.result.code, 0, self.result.output[-2000:])
        self.assertEqual(changes(self.result), ["started", "stopped", "started", "stopped"])
        shown = [t for t in self.result.texts() if t in ("PUSHBACK", "PUSHBACK END")]
        self.assertEqual(shown, ["PUSHBACK END", "PUSHBACK", "PUSHBACK END"])

    def test_the_menu_starts_a_run_again_once_the_pushback_is_off(self):
        requests = [t for t in self.result.texts() if t.startswith("Request Pushback !")]
        self.assertEqual(len(requests), 2, "the second Pushback pick was refused")
        self.assertEqual(self.result.states()[-1]["pushback"], "off")


class TurnKeysBeforeThePushbackExists(unittest.TestCase):
    """The pilot's 1 and "Turn Right" during an automatic run's checklist."""

    @classmethod
    def setUpClass(cls):
        cls.result = run("\n".join([
            "aircraft Prop",
            "config Data Distance 2",
            "config Data Head 6",
            "until simstart timeout 20",
            "at 0.5 menu Auto Left",
            'until text "Request Pushback" timeout 5',
            "at 2 key 1",
            "at 3 menu Turn Right",
            'until text "Good luck !" timeout 60',
            "end 1",
        ]) + "\n", "push_early_turn_keys")

    def test_the_run_turns_to_its_target_and_ends(self):
        self.assertEqual(self.result.code, 0, self.result.output[-2000:])
        self.assertEqual(changes(self.result), ["started", "stopped", "started", "turn_left", "turning",
                                                "stopped", "started", "stopped"])
        self.assertLess(angle_between(self.result.states()[-1]["heading_deg"], GATE_HEADING + 6), 1.1)

    def test_the_early_keys_never_reached_the_simulator(self):
        start = self.result.of("pushback")[0]["t"]
        early = [r for r in downs_reaching_sim(self.result, "1") + downs_reaching_sim(self.result, "2")
                 if r["t"] < start]
        self.assertEqual(early, [])


class AutomaticStartDuringCorrectValue(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.result = run("\n".join([
            "aircraft Prop",
            "config PLANE_CORRECT Prop 3.000000",
            "until simstart timeout 20",
            "at 0.5 menu Correct Value",
            "until pushback on timeout 5",
            "at 0.1 menu Auto Left",
            "until pushback off timeout 20",
            "end 3",
        ]) + "\n", "push_auto_during_measurement")
        cls.stored = stored_corrections(cls.result).get("Prop")

    def test_the_start_is_refused(self):
        self.assertEqual(self.result.code, 0, self.result.output[-2000:])
        self.assertFalse([t for t in self.result.texts() if t.startswith("Request Pushback")])

    def test_the_measurement_stores_its_own_value(self):
        measured = [t for t in self.result.texts() if t.startswith("Request mesurement ! Your aircraft is Prop")]
        self.assertEqual(measured[-1], "Request mesurement ! Your aircraft is Prop Distance = " + self.stored)
        self.assertLess(abs(float(self.stored) - PROP_TURN_DELAY), 1.0)

    def test_no_pushback_moves_after_the_measurement(self):
        self.assertEqual(changes(self.result), ["started", "turn_left", "turning", "stopped"])
        stop = self.result.of("pushback")[-1]["t"]
        after = [s["pushback"] for s in self.result.states() if s["t"] > stop + 0.1]
        self.assertGreaterEqual(len(after), 4)
        self.assertEqual(set(after), {"off"})


if __name__ == "__main__":
    main()
