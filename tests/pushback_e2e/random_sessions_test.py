"""A few seeded random pilot sessions (random_sessions.py); many more run in
`./drovana soak --sessions N`. Seeds that once broke the add-on stay here."""

import unittest

import random_sessions
from e2e_support import build_dir, main


class RandomSessions(unittest.TestCase):
    def assertSessionHolds(self, seed, seconds):
        result = random_sessions.run(build_dir(), seed, seconds, name="random_session_%d" % seed)
        problems = random_sessions.check(result)
        self.assertEqual(problems, [], "seed %d (%g s): trace %s" % (seed, seconds, result.trace_path))

    def test_seed_1(self):
        self.assertSessionHolds(1, 15)

    def test_seed_2(self):
        self.assertSessionHolds(2, 15)

    def test_seed_10_measurement_across_an_aircraft_change(self):
        # "Correct Value" on the Liner, then the Prop loaded before the turn:
        # the Liner's distance was stored as the Prop's correction.
        self.assertSessionHolds(10, 30)


if __name__ == "__main__":
    main()
