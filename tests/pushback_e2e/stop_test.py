"""STOP only ever stops the simulator's pushback: picked before the start
step, in a manual run the pilot has steered, during an automatic run's turn,
during its roll-out and while its closing cue plays, it leaves the pushback
off, judged by the stand-in's own record of the pushback."""

import subprocess
import unittest

from e2e_support import build_dir, main, run, run_scenario

# The closing cue of case (a): long enough to hold the sequence well past the
# pick; 8 kHz silence keeps it small. The real player plays it into nothing.
CUE_SECONDS = 12
QUIET_ALSA = "</usr/share/alsa/alsa.conf>\npcm.!default { type null }\n"

SCENARIO = """\
aircraft Prop
config Data Distance 1
config Data Head 6
config Data WavFlag 1
config Sound5 Number_Sound 1
config Sound5 1 {cue}
until simstart timeout 20
# (e) a manual run, before its start step
at 0.5 menu Pushback
until text "Request Pushback" timeout 5
at 2.5 menu STOP !!
# (d) a manual run the pilot has turned
at 4 menu Pushback
until pushback straight timeout 15
at 1 key 1
until pushback left timeout 5
at 1.5 menu STOP !!
until pushback off timeout 5
# (b) an automatic run while it turns
at 1 menu Auto Left
until pushback left timeout 30
at 4.5 menu STOP !!
until pushback off timeout 5
# (c) an automatic run in its roll-out, straight again after the turn
at 3 menu Auto Right
until pushback right timeout 30
until pushback straight timeout 30
at 1.5 menu STOP !!
until pushback off timeout 5
# (a) an automatic run while its closing cue plays
at 3 menu Auto Left
until text "Good luck !" timeout 90
at 1.5 menu STOP !!
at 2.5 resources closing-cue
end 6
"""


class StopNeverStartsThePushback(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        work = build_dir() / "pushback_e2e"
        work.mkdir(parents=True, exist_ok=True)
        cue = work / "closing-cue.wav"
        subprocess.run(["sox", "-n", "-r", "8000", "-c", "1", "-b", "8", str(cue), "trim", "0", str(CUE_SECONDS)],
                       check=True)
        conf = work / "quiet-alsa.conf"
        conf.write_text(QUIET_ALSA)
        env = run_scenario.wine_env(build_dir())
        env["ALSA_CONFIG_PATH"] = str(conf)
        cls.result = run(SCENARIO.format(cue=run_scenario.windows_path(cue, env)), "push_stop_cases",
                         player="real", env=env)
        cls.stops = [r["t"] for r in cls.result.of("deliver", msg="EVENT") if r.get("label") == "STOP !!"]
        cls.picks = [r["t"] for r in cls.result.of("deliver", msg="EVENT") if r.get("label") != "STOP !!"]

    def test_every_case_ran(self):
        self.assertEqual(self.result.code, 0, self.result.output[-3000:])
        self.assertEqual(len(self.stops), 5)

    def test_no_pushback_starts_between_a_stop_and_the_next_pick(self):
        for case, t in zip("edbca", self.stops):
            following = [p for p in self.picks if p > t]
            until = following[0] if following else float("inf")
            starts = [r for r in self.result.of("pushback", change="started") if t < r["t"] < until]
            self.assertEqual(starts, [], "case (%s): STOP at %.2f s started the pushback" % (case, t))

    def test_each_stop_leaves_the_pushback_off(self):
        for case, t in zip("edbca", self.stops):
            after = [s["pushback"] for s in self.result.states() if t + 0.5 < s["t"] < t + 1.5]
            self.assertTrue(after, "case (%s): no aircraft state after the stop" % case)
            self.assertEqual(set(after), {"off"}, "case (%s): the pushback runs after STOP" % case)
        self.assertEqual(self.result.states()[-1]["pushback"], "off")

    def test_the_closing_cue_still_held_the_sequence_after_the_pick(self):
        # Without the cue, the run would have ended a second after "Good luck !",
        # before the pick; its timer still firing shows that STOP came inside.
        held = self.result.of("resources", label="closing-cue")
        self.assertEqual([r["thread_timers"] for r in held], [1])


if __name__ == "__main__":
    main()
