"""Sound cues end to end: the stand-in simulator with the real DrovanaX.dll
and the real Kestrola, which plays the cues into an ALSA capture file."""

import os
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "sim"))

from sim_test_support import build_dir, main, run  # noqa: E402
from sound_stand_in import SoundRun, cue_path  # noqa: E402

PUSHBACK = """\
aircraft Prop
config Data Distance 10
config Data Head 20
config Data WavFlag 1
config Sound0 Number_Sound 2
config Sound0 1 {first}
config Sound0 2 {second}
until simstart timeout 20
at 0.5 menu Auto Left
until text "Request Pushback" timeout 10
until text "Good luck !" timeout 300
end 2
"""

# Each file handed over holds the sequence for at least this long.
AFTER_FILE_S = 3.0


class SoundListPlaysInOrderAndHoldsTheSequence(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.first, cls.second = cue_path("Sound0"), cue_path("Sound3")
        cls.result = SoundRun(build_dir(), "sound_e2e_order").run(
            PUSHBACK.format(first=cls.first, second=cls.second))

    def test_the_pushback_completes(self):
        self.assertEqual(self.result.code, 0, self.result.output[-3000:])
        self.assertIn("Good luck !", self.result.texts())

    def test_the_add_on_talked_to_the_player_through_the_tap(self):
        starts = [r for r in self.result.tap if r["ev"] == "start"]
        self.assertTrue(starts and starts[0]["real_player"], "the tap did not find the real player: %s"
                        % self.result.tap[:3])
        windows = [r for r in self.result.tap if r["ev"] == "window"]
        self.assertTrue(windows and windows[0]["found_first"], "a look-up would find the real player first")

    def test_every_cue_is_handed_over_in_the_order_of_the_sequence(self):
        files = [r["path"] for r in self.result.tap if r["ev"] == "file"]
        expected = [self.first, self.second] + [cue_path(s) for s in ("Sound1", "Sound2", "Sound3", "Sound4",
                                                                       "Sound5")]
        self.assertEqual(files, expected)
        for r in self.result.tap:
            if r["ev"] == "file":
                self.assertEqual(r["cbData"], len(r["path"]) + 1)
                self.assertEqual(r["dwData"], 0)

    def test_the_player_really_played(self):
        self.assertTrue(self.result.capture_heard, "nothing but silence reached the ALSA capture")

    def test_the_cues_before_the_pushback_hold_it(self):
        requested = [r["t"] for r in self.result.of("text") if "Request Pushback" in r["text"]]
        started = [r["t"] for r in self.result.of("pushback", change="started")]
        self.assertTrue(requested and started, "no pushback request or start in the trace")
        # Sound0 (two files), Sound1, Sound2 and Sound3 play before Shift+P.
        held = started[0] - requested[0]
        self.assertGreaterEqual(held, 5 * AFTER_FILE_S,
                                "the pushback started %.1f s after the request: the cues did not hold it" % held)


class EveryCueOfAChecklistPushbackIsPlayed(unittest.TestCase):
    """The run of ./drovana demo --sound: the prompts start their own cues."""

    def test_every_cue_plays_in_the_order_of_the_checklist(self):
        sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
        from sound_demo import SCENARIO
        result = SoundRun(build_dir(), "sound_e2e_checklist").run(SCENARIO)
        self.assertEqual(result.code, 0, result.output[-3000:])
        files = [r["path"] for r in result.tap if r["ev"] == "file"]
        expected = [cue_path(s) for s in ("Sound0", "PBSound0", "Sound1", "EngSound0", "EngSound1", "EngSound4",
                                          "Sound2", "PBSound1", "Sound3", "Sound4", "PBSound2", "Sound5")]
        self.assertEqual(files, expected)
        self.assertTrue(result.capture_heard, "nothing but silence reached the ALSA capture")


class SoundsOnWithNoPlayerStillComplete(unittest.TestCase):
    def test_the_pushback_completes_without_sound(self):
        result = SoundRun(build_dir(), "sound_e2e_no_player", player="none").run(
            PUSHBACK.format(first=cue_path("Sound0"), second=cue_path("Sound5")))
        self.assertEqual(result.code, 0, "the run did not complete:\n" + result.output[-3000:])
        self.assertIn("Good luck !", result.texts())
        states = result.states()
        self.assertFalse(any(s.get("player_window") for s in states), "a player window existed after all")


class ThePlayerEndsWithTheSimulator(unittest.TestCase):
    def test_a_player_whose_window_came_up_after_open_is_ended(self):
        # OPEN at once: the add-on looks for the player before it has a window.
        result = run("opendelay 0\nuntil simstart timeout 20\nend 5\n", "sound_e2e_player_after_open")
        self.assertEqual(result.code, 0, result.output[-3000:])
        self.assertTrue(any(s.get("player_window") for s in result.states()),
                        "the player's window never came up, so the case was not tried")
        players = result.of("player")
        self.assertEqual(len(players), 1, "no player record at the end of the run")
        self.assertFalse(players[0]["window_after_exit"], "the player outlived the simulator")


if __name__ == "__main__":
    main()
