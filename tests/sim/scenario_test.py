"""The scenario player: how T counts, and the exit codes tests rely on."""

import unittest

from sim_test_support import main, run


class Scenarios(unittest.TestCase):
    def test_until_that_times_out_ends_the_run_with_code_2(self):
        result = run("addon none\nuntil text \"never shown\" timeout 0.5\nat 0 key Shift+P\nend 5\n",
                     "scn_timeout", player="none")
        self.assertEqual(result.code, 2, result.output)
        untils = result.of("until")
        self.assertEqual([u["met"] for u in untils], [False])
        self.assertEqual(result.of("pushback"), [], "commands after a timed-out until still ran")
        self.assertLess(result.of("exit")[0]["t"], 3)

    def test_a_bad_line_is_refused_with_its_number(self):
        result = run("aircraft Liner\n# fine\nat 1 jump\nend 1\n", "scn_bad", player="none")
        self.assertEqual(result.code, 1)
        run_record = result.of("run")[0]
        self.assertFalse(run_record["parsed"])
        self.assertIn("line 3", run_record["error"])
        self.assertEqual(result.calls(), [], "the add-on was started for a scenario that does not parse")

    def test_times_count_from_the_last_until_met(self):
        result = run("addon none\naircraft Prop\n"
                     "at 0.5 key Shift+P\n"
                     "until pushback on timeout 5\n"
                     "at 1.5 key Shift+P\n"
                     "end 0.2\n", "scn_anchor", player="none")
        self.assertEqual(result.code, 0, result.output)
        started, stopped = result.of("pushback")
        self.assertAlmostEqual(stopped["t"] - started["t"], 1.5, delta=0.15)
        # `end 0.2` had passed when the key went out; the run waited for the key.
        self.assertGreater(result.of("exit")[0]["t"], stopped["t"])


if __name__ == "__main__":
    main()
