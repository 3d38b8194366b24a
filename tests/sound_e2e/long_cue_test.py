"""A cue over a minute long, end to end: in a list of two, the long file and
the short one after it both reach the real player, in order, and the sequence
goes on to its next cue only once both have played.

Wine's null audio device drains about 3.6 times faster than real time, so the
long file holds five and a half minutes of audio to keep the player busy for
about a minute and a half. It plays into nothing (no capture): a player alive
that long would fill a capture file with silence.
"""

import subprocess
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "sim"))

from sim_test_support import build_dir, main  # noqa: E402
from sound_stand_in import CUE_FOLDER, SoundRun, cue_path  # noqa: E402

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "pushback_e2e"))
from e2e_support import angle_between, distance_m  # noqa: E402

LONG_CUE = "long_announcement.wav"
LONG_CUE_AUDIO_S = 330

SCENARIO = """\
aircraft Prop
config Sound0 Number_Sound 2
config Sound0 1 {long}
config Sound0 2 {short}
until simstart timeout 20
at 0.5 menu Auto Left
until text "Request Pushback" timeout 10
until pushback on timeout 500
end 1
"""

# The request thread's old give-up, which dropped the rest of the list.
OLD_GIVE_UP_S = 60
AFTER_FILE_S = 3.0


def long_cue(folder):
    """A quiet 4 kHz 8-bit tone, about 1.3 MB."""
    path = Path(folder) / LONG_CUE
    if not path.exists():
        path.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["sox", "-n", "-r", "4000", "-c", "1", "-b", "8", "-e", "unsigned-integer", str(path),
                        "synth", str(LONG_CUE_AUDIO_S), "sine", "300", "vol", "0.05"], check=True)
    return path


class ALongCueHoldsItsListAndTheSequence(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        build = build_dir()
        cls.long, cls.short = CUE_FOLDER + LONG_CUE, cue_path("Sound0")
        run = SoundRun(build, "sound_e2e_long_cue", extra_sounds=[long_cue(build / "sound_e2e")], listen=False)
        cls.result = run.run(SCENARIO.format(long=cls.long, short=cls.short))
        cls.files = [r for r in cls.result.tap if r["ev"] == "file"]

    def test_the_pushback_starts_after_the_cues(self):
        self.assertEqual(self.result.code, 0, self.result.output[-3000:])

    def test_both_files_reach_the_player_in_order_then_the_next_cue(self):
        paths = [r["path"] for r in self.files]
        self.assertEqual(paths[:3], [self.long, self.short, cue_path("Sound1")],
                         "the list was cut short, or the sequence went on before it ended")

    def test_the_player_was_busy_with_the_long_cue_for_over_a_minute(self):
        self.assertGreaterEqual(len(self.files), 2)
        start, end = self.files[0]["loaded_t"], self.files[1]["t"]
        busy = [r["t"] for r in self.result.tap if r["ev"] == "query" and r["answer"] == 0 and start <= r["t"] < end]
        self.assertTrue(busy, "the player never answered busy while the long cue played")
        self.assertGreater(busy[-1] - start, OLD_GIVE_UP_S,
                           "the player played the long cue for only %.0f s: no cue over a minute was tried"
                           % (busy[-1] - start))

    def test_the_next_cue_waits_until_the_short_file_has_played(self):
        self.assertGreaterEqual(len(self.files), 3)
        short, following = self.files[1], self.files[2]
        self.assertGreaterEqual(following["t"] - short["loaded_t"], AFTER_FILE_S)
        idle = [r for r in self.result.tap
                if r["ev"] == "query" and r["answer"] == 1 and short["loaded_t"] < r["t"] < following["t"]]
        self.assertTrue(idle, "the next cue went out without the player reporting the short file played")


class ALongCueNeverHoldsTheSteering(unittest.TestCase):
    # The engine check of EngFlag=2 asks for engine 1 on every pushback tick;
    # its cue, far longer than the push, must not stop the run watching its
    # distance and heading.
    SCENARIO = """\
aircraft Prop
config Data EngFlag 2
config Data Distance 12
config Data Head 30
config EngSound0 Number_Sound 1
config EngSound0 1 {long}
until simstart timeout 20
at 0.5 menu Auto Left
until text "Request Pushback" timeout 10
until pushback left timeout 200
until pushback off timeout 200
end 1
"""

    def test_the_push_out_and_the_turn_end_where_they_should(self):
        build = build_dir()
        run = SoundRun(build, "sound_e2e_long_cue_steering", extra_sounds=[long_cue(build / "sound_e2e")],
                       listen=False)
        result = run.run(self.SCENARIO.format(long=CUE_FOLDER + LONG_CUE))
        self.assertEqual(result.code, 0, result.output[-3000:])
        started = result.of("pushback", change="started")[0]
        turn = result.of("pushback", change="turn_left")[0]
        self.assertLess(distance_m(started, turn), 12 + 2.5, "the straight push ran on under the cue")
        stopped = result.of("pushback", change="stopped")[-1]
        self.assertLess(angle_between(stopped["heading_deg"], 150.0 + 30.0), 3.0, "the turn ran on under the cue")


if __name__ == "__main__":
    main()
