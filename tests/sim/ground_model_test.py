"""The stand-in's pushback, driven by real key-downs reaching the simulator's
window procedure (no add-on loaded, so nothing intercepts them)."""

import math
import unittest

from sim_test_support import main, run

# One minute of arc of a great circle is 1852 m: the add-on's sphere.
RADIUS = 1852.0 * 60.0 * 180.0 / math.pi


def distance_m(a, b):
    """The add-on's own rule: spherical law of cosines on the trace's radians."""
    lat1, lon1, lat2, lon2 = a["lat_rad"], a["lon_rad"], b["lat_rad"], b["lon_rad"]
    u = math.sin(lat1) * math.sin(lat2) + math.cos(lat1) * math.cos(lat2) * math.cos(lon2 - lon1)
    return math.degrees(math.acos(max(-1.0, min(1.0, u)))) * 60 * 1852


def angle_diff(a, b):
    return (a - b + 180.0) % 360.0 - 180.0


def pushback_changes(result):
    return [(r["change"], r["state"]) for r in result.of("pushback")]


class StraightPush(unittest.TestCase):
    SPEED = 0.9  # Liner

    @classmethod
    def setUpClass(cls):
        cls.result = run("addon none\naircraft Liner\n"
                         "at 0.5 key Shift+P\n"
                         "at 4.5 set onground 0\n"
                         "at 5 key Shift+P\n"
                         "end 5.6\n", "gm_straight", player="none")

    def test_shift_p_starts_and_leaving_the_ground_stops(self):
        self.assertEqual(self.result.code, 0, self.result.output)
        self.assertEqual(pushback_changes(self.result), [("started", "straight"), ("stopped", "off")])
        self.assertEqual(self.result.of("pushback")[1]["cause"], "airborne")
        # Shift+P while airborne starts nothing.
        last_p = [k for k in self.result.of("key") if k["key"] == "P"][-1]
        self.assertEqual((last_p["shift"], last_p["effect"]), (True, "none"))

    def test_distance_on_the_sphere_is_speed_times_time(self):
        start, stop = self.result.of("pushback")
        states = self.result.states()
        at_start = [s for s in states if s["t"] <= start["t"]][-1]
        at_stop = [s for s in states if s["t"] >= stop["t"]][0]
        travelled = distance_m(at_start, at_stop)
        expected = self.SPEED * (stop["t"] - start["t"])
        self.assertAlmostEqual(travelled, expected, delta=0.05 + 0.03 * expected,
                               msg="pushed %.3f m in %.2f s" % (travelled, stop["t"] - start["t"]))
        self.assertAlmostEqual(at_stop["gate_m"], travelled, delta=0.01)

    def test_tail_first_with_a_constant_heading(self):
        states = self.result.states()
        first, last = states[0], states[-1]
        self.assertTrue(all(s["heading_deg"] == first["heading_deg"] for s in states), "heading drifted")
        north = (last["lat_rad"] - first["lat_rad"]) * RADIUS
        east = (last["lon_rad"] - first["lon_rad"]) * RADIUS * math.cos(first["lat_rad"])
        bearing = math.degrees(math.atan2(east, north)) % 360
        self.assertAlmostEqual(angle_diff(bearing, first["heading_deg"] + 180), 0, delta=0.5,
                               msg="moved towards %.1f with heading %.1f" % (bearing, first["heading_deg"]))
        self.assertEqual(last["speed_mps"], 0)


class Turns(unittest.TestCase):
    DELAY = 2.5  # Prop

    @classmethod
    def setUpClass(cls):
        cls.result = run("addon none\naircraft Prop\n"
                         "at 0 set heading 358\n"
                         "at 0.3 key Shift+P\n"
                         "at 0.8 key 1\n"
                         "at 7 inject Shift+P Shift+P\n"
                         "at 7.5 key P\n"
                         "at 8.7 key 2\n"
                         "at 15 key Shift+P\n"
                         "at 15.5 key 1\n"
                         "end 16.2\n", "gm_turns", player="none")

    def records_between(self, t0, t1, ev="state"):
        return [r for r in self.result.of(ev) if t0 <= r["t"] <= t1]

    def test_changes_in_order(self):
        self.assertEqual(self.result.code, 0, self.result.output)
        self.assertEqual(pushback_changes(self.result), [
            ("started", "straight"), ("turn_left", "left"), ("turning", "left"),
            ("stopped", "off"), ("started", "straight"),
            ("turn_right", "right"), ("turning", "right"), ("stopped", "off")])
        self.assertTrue(self.result.of("pushback", change="started")[1]["restart"])

    def test_turn_begins_after_the_profile_delay(self):
        for change in ("turn_left", "turn_right"):
            key = self.result.of("pushback", change=change)[0]
            turning = [r for r in self.result.of("pushback", change="turning") if r["t"] > key["t"]][0]
            # Overshot by at most one frame's roll (frames are capped at 0.1 s).
            self.assertGreaterEqual(turning["since_turn_key_m"], self.DELAY - 1e-9)
            self.assertLess(turning["since_turn_key_m"], self.DELAY + 0.1)
            during_delay = self.records_between(key["t"], turning["t"])
            self.assertTrue(during_delay)
            self.assertTrue(all(s["heading_deg"] == key["heading_deg"] for s in during_delay),
                            "the heading changed during the turn delay after %s" % change)

    def test_key_1_increases_the_heading_and_2_decreases_it(self):
        left, right = self.result.of("pushback", change="turning")
        stops = self.result.of("pushback", change="stopped")
        after_left = self.records_between(left["t"], stops[0]["t"])
        after_right = self.records_between(right["t"], stops[1]["t"])
        self.assertGreater(angle_diff(after_left[-1]["heading_deg"], left["heading_deg"]), 1.5)
        self.assertLess(angle_diff(after_right[-1]["heading_deg"], right["heading_deg"]), -1.5)
        # 358 turned left passes north and wraps; turned back right it wraps again.
        headings = [s["heading_deg"] for s in self.result.states()]
        self.assertTrue(all(0 <= h < 360 for h in headings))
        self.assertTrue(any(h < 10 for h in headings) and headings[-1] > 350, headings[-1])

    def test_injected_shift_p_twice_restarts_straight(self):
        restart = self.result.of("pushback", change="started")[1]
        turn_right = self.result.of("pushback", change="turn_right")[0]
        straight = self.records_between(restart["t"] + 0.05, turn_right["t"])
        self.assertTrue(all(abs(s["heading_deg"] - restart["heading_deg"]) < 1e-9 for s in straight),
                        "heading changed after the restart")
        # Shift was released by the time the burst's P key-downs were handled,
        # as with the add-on's own keys; the simulator still saw Shift+P.
        burst = [k for k in self.result.of("key") if k["key"] == "P" and restart["t"] - 0.5 < k["t"] <= restart["t"] + 0.01]
        self.assertEqual([(k["shift"], k["async_shift"]) for k in burst], [(True, False), (True, False)])

    def test_keys_without_effect(self):
        plain_p = [k for k in self.result.of("key") if k["key"] == "P" and not k["shift"]]
        self.assertEqual([k["effect"] for k in plain_p], ["none"])
        late_1 = [k for k in self.result.of("key") if k["key"] == "1"][-1]
        self.assertEqual(late_1["effect"], "none", "1 turned a pushback that was off")
        stop = self.result.of("pushback", change="stopped")[1]
        after = [s for s in self.result.states() if s["t"] > stop["t"]]
        self.assertTrue(after)
        self.assertEqual((after[0]["lat_rad"], after[0]["lon_rad"]), (after[-1]["lat_rad"], after[-1]["lon_rad"]),
                         "the aircraft moved after the stop")


class SetCommandsReachTheAddOn(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.result = run("aircraft Heavy\n"
                         "at 0.5 set engine 3 1\n"
                         "at 0.5 set brake 0.5\n"
                         "at 0.5 set heading 90\n"
                         "end 2.2\n", "gm_set", player="none")

    def test_values_delivered_in_registration_order(self):
        self.assertEqual(self.result.code, 0, self.result.output)
        data = {}
        for d in self.result.of("data"):
            data[d["request"]] = d["values"]
        self.assertEqual(data[3], [4, 0, 0, 1, 0], "engines: count, then combustion 1 to 4")
        self.assertEqual(data[4], [0.5])
        self.assertAlmostEqual(data[1][3], math.pi / 2, places=9)
        self.assertEqual(data[1][2], 433)


class ProfileCommand(unittest.TestCase):
    """`profile 2.5 3 1.2` pushes every aircraft of the run, a Heavy too, at
    2.5 m/s, turns it at 3 deg/s and rolls 1.2 m before the heading moves."""

    @classmethod
    def setUpClass(cls):
        cls.result = run("addon none\naircraft Heavy\nprofile 2.5 3 1.2\n"
                         "at 0.3 key Shift+P\n"
                         "at 1.0 key 1\n"
                         "end 4\n", "gm_profile", player="none")

    def test_speed_rate_and_delay_are_the_commands(self):
        self.assertEqual(self.result.code, 0, self.result.output)
        self.assertTrue(all(s["speed_mps"] in (0, 2.5) for s in self.result.states()))
        turning = self.result.of("pushback", change="turning")[0]
        self.assertGreaterEqual(turning["since_turn_key_m"], 1.2 - 1e-9)
        self.assertLess(turning["since_turn_key_m"], 1.2 + 0.25, "overshot by more than a frame's roll")
        later = [s for s in self.result.states() if s["t"] > turning["t"] + 1.0][0]
        rate = angle_diff(later["heading_deg"], turning["heading_deg"]) / (later["t"] - turning["t"])
        self.assertAlmostEqual(rate, 3.0, delta=0.15)

    def test_values_out_of_range_are_a_bad_line(self):
        for line in ("profile 0.1 1 1", "profile 1 3.5 1", "profile 1 1 31", "profile 1 1", "profile 1 x 1"):
            result = run("aircraft Liner\n%s\nend 1\n" % line, "gm_profile_bad", player="none")
            self.assertEqual(result.code, 1, line)
            self.assertIn("line 2", result.of("run")[0]["error"], line)


if __name__ == "__main__":
    main()
