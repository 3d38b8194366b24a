"""A cue far longer than the push, played while an automatic run pushes and
turns: with EngFlag=2 the engine check asks for engine 1 on every tick of
the pushback, and its cue must never stop the run watching its distance and
heading."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "sim"))
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "pushback_e2e"))

from e2e_support import angle_between, distance_m  # noqa: E402
from long_cue_test import LONG_CUE, long_cue  # noqa: E402
from sim_test_support import build_dir, main  # noqa: E402
from sound_stand_in import CUE_FOLDER, SoundRun  # noqa: E402


class ALongCueNeverHoldsTheSteering(unittest.TestCase):
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
