"""Pushbacks the user steers, STOP, and the checklist, in the stand-in
simulator, read from the trace."""

import unittest

from e2e_support import changes, downs_reaching_sim, main, run, time_of_scenario_line


class ManualRunSteeredByTheUser(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.result = run("\n".join([
            "aircraft Liner",
            "until simstart timeout 20",
            "at 0.5 menu Pushback",
            "until pushback straight timeout 20",
            "at 1 key 1",
            "until pushback left timeout 5",
            "at 3 key 2",
            "until pushback right timeout 5",
            "at 3 key Shift+P",
            'until text "Good luck !" timeout 20',
            "end 2",
        ]) + "\n", "push_manual_steered")

    def test_run_completes(self):
        self.assertEqual(self.result.code, 0, self.result.output)

    def test_each_turn_restarts_the_pushback_before_its_key(self):
        self.assertEqual(changes(self.result), ["started",
                                                "stopped", "started", "turn_left",
                                                "stopped", "started", "turn_right",
                                                "stopped"])
        stop = self.result.of("pushback")[-1]
        self.assertGreater(stop["t"], time_of_scenario_line(self.result, "key Shift+P"))

    def test_users_turn_keys_reach_the_simulator_only_as_the_addons(self):
        # Each key the user pressed is swallowed and sent again after the
        # restart, so each reaches the simulator once.
        self.assertEqual(len(downs_reaching_sim(self.result, "1")), 1)
        self.assertEqual(len(downs_reaching_sim(self.result, "2")), 1)

    def test_texts_follow_the_users_keys(self):
        texts = self.result.texts()
        self.assertEqual([t for t in texts if t in ("TURN LEFT", "TURN RIGHT", "PUSHBACK END", "Good luck !")],
                         ["TURN LEFT", "TURN RIGHT", "PUSHBACK END", "Good luck !"])
        sizes = {r["text"]: r["size"] for r in self.result.of("text")}
        self.assertEqual((sizes["TURN LEFT"], sizes["TURN RIGHT"], sizes["PUSHBACK END"]), (10, 11, 13))

    def test_no_pushback_after_the_users_stop(self):
        last = self.result.of("pushback")[-1]["t"]
        after = [s["pushback"] for s in self.result.states() if s["t"] > last + 0.1]
        # The run goes on for seconds after the stop, with four state records a second.
        self.assertGreaterEqual(len(after), 4, "too few aircraft states after the stop to tell anything")
        self.assertEqual(set(after), {"off"})


class StopInAManualRun(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.result = run("\n".join([
            "aircraft Liner",
            "until simstart timeout 20",
            "at 0.5 menu Pushback",
            "until pushback straight timeout 20",
            "at 2 menu STOP !!",
            "end 8",
        ]) + "\n", "push_stop_manual")

    def test_stop_ends_the_pushback_and_the_run_at_once(self):
        self.assertEqual(self.result.code, 0, self.result.output)
        self.assertEqual(changes(self.result), ["started", "stopped"])
        self.assertGreater(self.result.of("pushback")[1]["t"], time_of_scenario_line(self.result, "STOP"))
        self.assertNotIn("Good luck !", self.result.texts(), "a manual STOP skips the closing steps")


class StopInAnAutomaticRun(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.result = run("\n".join([
            "aircraft Liner",
            "config Data Distance 30",
            "until simstart timeout 20",
            "at 0.5 menu Auto Left",
            "until pushback straight timeout 20",
            "at 2 menu STOP !!",
            # (The times count from the last until.) The run has ended through
            # step 13, so a new one may start; STOP before its start step
            # sends nothing, and nothing starts later.
            "at 4 menu Pushback",
            "at 6 menu STOP !!",
            "end 15",  # past the tick that would have started the pushback
        ]) + "\n", "push_stop_auto")

    def test_stop_ends_the_pushback_and_skips_the_closing_steps(self):
        self.assertEqual(self.result.code, 0, self.result.output)
        pushes = self.result.of("pushback")
        self.assertEqual(changes(self.result), ["started", "stopped"], "STOP before a start step toggled")
        self.assertEqual(pushes[1]["cause"], "Shift+P")
        texts = self.result.texts()
        self.assertNotIn("Good luck !", texts)
        self.assertNotIn("Heading", " ".join(texts))

    def test_run_ended_so_the_menu_starts_again(self):
        requests = [t for t in self.result.texts() if t.startswith("Request Pushback !")]
        self.assertEqual(len(requests), 2)


class UsersOwnPushbackWithNoRun(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.result = run("\n".join([
            "aircraft Liner",
            "until simstart timeout 20",
            "at 0.5 key Shift+P",
            "until pushback straight timeout 5",
            "at 2 key 1",
            "until pushback left timeout 5",
            "at 2 key Shift+P",
            "until pushback off timeout 5",
            "end 3",
        ]) + "\n", "push_users_own")

    def test_shift_p_starts_and_ends_it_and_1_turns_it(self):
        self.assertEqual(self.result.code, 0, self.result.output)
        self.assertEqual(changes(self.result), ["started", "stopped", "started", "turn_left", "stopped"])

    def test_only_the_hooks_texts_are_shown(self):
        shown = [(r["text"], r["size"]) for r in self.result.of("text")]
        self.assertEqual(shown, [("PUSHBACK", 9), ("TURN LEFT", 10), ("PUSHBACK END", 13)])


class ChecklistRun(unittest.TestCase):
    """Brake set, both engines, brake released, the pushback, brake set."""

    @classmethod
    def setUpClass(cls):
        cls.result = run("\n".join([
            "aircraft Liner",
            "config Parking Check1 1",
            "config Parking Check2 1",
            "config Parking Check3 1",
            "config Data EngFlag 1",
            "config Data Distance 3",
            "config Data Head 6",
            "until simstart timeout 20",
            "at 0.5 menu Auto Left",
            'until text "Set Parking Brake!" timeout 10',
            "at 3 set brake 1",
            'until text "Start Engine No.  1" timeout 10',
            "at 3 set engine 1 1",
            'until text "Start Engine No.  2" timeout 10',
            "at 3 set engine 2 1",
            'until text "Release Parking Brake!" timeout 10',
            "at 3 set brake 0",
            'until text "Set Parking Brake!" timeout 90',
            "at 3 set brake 1",
            'until text "Good luck !" timeout 20',
            "end 1",
        ]) + "\n", "push_checklist")
        cls.texts = cls.result.of("text")

    def texts_between(self, start, end):
        return [r["text"] for r in self.texts if start < r["t"] < end]

    def test_run_completes(self):
        self.assertEqual(self.result.code, 0, self.result.output)
        self.assertEqual(self.texts[-1]["text"], "Good luck !")

    def test_each_prompt_holds_the_sequence_until_the_scenario_acts(self):
        t = lambda fragment: time_of_scenario_line(self.result, fragment)  # noqa: E731
        picked, set_brake = t("menu Auto Left"), t("set brake 1")
        engine1, engine2, release = t("set engine 1"), t("set engine 2"), t("set brake 0")
        self.assertEqual(set(self.texts_between(picked + 0.01, set_brake)), {"Set Parking Brake!"})
        self.assertEqual(set(self.texts_between(set_brake + 1.1, engine1)), {"Start Engine No.  1"})
        self.assertEqual(set(self.texts_between(engine1 + 1.1, engine2)), {"Start Engine No.  2"})
        self.assertEqual(self.texts_between(engine2 + 1.1, release), ["Release Parking Brake!"])
        self.assertGreater(self.result.of("pushback")[0]["t"], release, "pushed back with the brake set")

    def test_brake_is_asked_for_again_after_the_pushback(self):
        final_stop = self.result.of("pushback")[-1]
        self.assertEqual(final_stop["change"], "stopped")
        after = [r for r in self.texts if r["t"] > final_stop["t"]]
        self.assertEqual(after[0]["text"], "Set Parking Brake!")
        last_set = [r["t"] for r in self.result.of("scenario") if "set brake 1" in r["command"]][-1]
        good_luck = after[-1]
        self.assertGreater(good_luck["t"], last_set, "Good luck before the brake was set")
        self.assertNotIn("Good luck !", [r["text"] for r in after if r["t"] < last_set])

    def test_pushback_ran_its_course(self):
        self.assertEqual(changes(self.result), ["started", "stopped", "started", "turn_left", "turning",
                                                "stopped", "started", "stopped"])


if __name__ == "__main__":
    main()
