"""The stand-in simulator with the real DrovanaX.dll: what the add-on asks of
SimConnect when it starts, read from the trace of real runs."""

import unittest

from sim_test_support import main, run

MENU = [
    ("Setting", 108), ("---------", 102), ("Auto Right", 100), ("Auto Left", 101),
    ("Taxiway Right", 109), ("Taxiway Left", 110), ("---------", 102), ("Pushback", 103), ("Turn Right", 104), ("Turn Left", 105),
    ("---------", 102), ("STOP !!", 106), ("---------", 102), ("Correct Value", 107),
]
DATA = [
    (1, "Plane Latitude", "radians"), (1, "Plane Longitude", "radians"), (1, "Plane Altitude", "feet"),
    (1, "Plane Heading Degrees True", "radians"), (1, "PUSHBACK STATE", "enum"), (2, "Sim On Ground", "bool"),
    (3, "NUMBER OF ENGINES", "number"), (3, "ENG COMBUSTION:1", "bool"), (3, "ENG COMBUSTION:2", "bool"),
    (3, "ENG COMBUSTION:3", "bool"), (3, "ENG COMBUSTION:4", "bool"), (4, "BRAKE PARKING POSITION", "position"),
]


class StartedAddOn(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.result = run("aircraft Liner\nuntil simstart timeout 10\nend 0.5\n", "e2e_core", player="probe")

    def test_run_completes_with_the_addon_bound_to_the_stand_in(self):
        self.assertEqual(self.result.code, 0, self.result.output)
        loads = self.result.of("load")
        self.assertTrue(loads[0]["ok"], "DrovanaX.dll did not load: %s" % loads[0])
        self.assertTrue(loads[1]["same_module"],
                        "the add-on did not bind the side-by-side SimConnect.dll: %s" % loads[1])

    def test_connection_opened_as_drovanax_and_dispatch_registered_once(self):
        opens = self.result.calls("SimConnect_Open")
        self.assertEqual(len(opens), 1)
        o = opens[0]
        self.assertEqual((o["name"], o["hwnd_null"], o["user_event"], o["event_handle_null"], o["config_index"]),
                         ("DrovanaX", True, 0, True, 0))
        dispatches = self.result.calls("SimConnect_CallDispatch")
        self.assertEqual(len(dispatches), 1, "CallDispatch must be called exactly once")
        self.assertFalse(dispatches[0]["dispatch_null"])
        self.assertTrue(dispatches[0]["context_null"])

    def test_menu_root_then_twelve_items_in_order(self):
        roots = self.result.calls("SimConnect_MenuAddItem")
        self.assertEqual([(r["caption"], r["id"], r["data"]) for r in roots], [("Drovana...", 10, 0)])
        items = self.result.calls("SimConnect_MenuAddSubItem")
        self.assertEqual([(i["caption"], i["id"]) for i in items], MENU)
        self.assertTrue(all(i["parent"] == 10 and i["data"] == 0 and i["result"] == 0 for i in items),
                        "every item goes under event 10 with data 0")

    def test_twelve_float64_data_items_in_registration_order(self):
        defs = self.result.calls("SimConnect_AddToDataDefinition")
        self.assertEqual([(d["definition"], d["variable"], d["units"]) for d in defs], DATA)
        for d in defs:
            self.assertEqual((d["datatype"], d["epsilon"], d["datum_id"]), (4, 0, 0xFFFFFFFF), d)

    def test_two_subscriptions(self):
        subs = self.result.calls("SimConnect_SubscribeToSystemEvent")
        self.assertEqual([(s["event"], s["name"]) for s in subs], [(0, "AircraftLoaded"), (1, "SimStart")])

    def test_four_periodic_requests_every_visual_frame(self):
        reqs = self.result.calls("SimConnect_RequestDataOnSimObject")
        got = [(r["request"], r["definition"], r["object"], r["period"], r["flags"], r["origin"], r["interval"],
                r["limit"]) for r in reqs]
        self.assertEqual(got, [(n, n, 0, 2, 0, 0, 0, 0) for n in (1, 2, 3, 4)])
        # The snapshot then receives the gate's values.
        first = {d["request"]: d["values"] for d in self.result.of("data")}
        self.assertEqual(first[1][4], 3, "the gate's pushback state is none (3)")
        self.assertEqual(first[2], [1])

    def test_setup_is_built_after_open_is_delivered(self):
        trace = self.result.trace
        open_at = next(i for i, r in enumerate(trace) if r.get("ev") == "deliver" and r.get("msg") == "OPEN")
        menu_at = next(i for i, r in enumerate(trace) if r.get("fn") == "SimConnect_MenuAddItem")
        self.assertLess(open_at, menu_at, "the menu was built before the OPEN message")

    def test_aircraft_key_asked_on_simstart_and_answered_on_main_thread(self):
        trace = self.result.trace
        start = next(i for i, r in enumerate(trace)
                     if r.get("ev") == "deliver" and r.get("msg") == "EVENT" and r.get("label") == "SimStart")
        asks = [r for r in trace[start:] if r.get("fn") == "SimConnect_RequestSystemState"]
        self.assertTrue(asks, "no RequestSystemState after SimStart")
        self.assertEqual((asks[0]["request"], asks[0]["state"]), (6, "AircraftLoaded"))
        replies = [r for r in trace if r.get("ev") == "deliver" and r.get("msg") == "SYSTEM_STATE"]
        self.assertEqual(len(replies), 1)
        self.assertEqual(replies[0]["request"], 6)
        self.assertTrue(replies[0]["string"].endswith("\\SimObjects\\Airplanes\\Liner\\Liner.air"), replies[0])
        self.assertEqual(replies[0]["thread"], "main")

    def test_every_call_on_main_thread_with_the_connection_handle(self):
        calls = self.result.calls()
        self.assertTrue(all(c["thread"] == "main" for c in calls))
        self.assertTrue(all(c.get("handle_ok", True) for c in calls), [c for c in calls if not c.get("handle_ok", True)])

    def test_player_started_from_the_simulators_own_folder(self):
        marker = self.result.folder / "kestrola-started.txt"
        self.assertTrue(marker.exists(), "Kestrola.exe was not started")
        folder = self.result.of("run")[0]["folder"]
        self.assertEqual(marker.read_text().strip(), '"%sKestrola.exe"' % folder)

    def test_connection_closed_at_stop(self):
        self.assertEqual(len(self.result.calls("SimConnect_Close")), 1)


class AircraftChange(unittest.TestCase):
    """An "AircraftLoaded" notification alone leaves the key; the next SimStart
    refreshes it."""

    @classmethod
    def setUpClass(cls):
        cls.result = run("aircraft Liner\nuntil simstart timeout 10\n"
                         "at 0.3 aircraft Jet.Cargo\nat 0.6 menu Pushback\nat 1.2 menu STOP !!\n"
                         "at 1.5 simstart\nat 2 menu Pushback\nend 2.5\n", "e2e_aircraft_change", player="none")

    def test_key_follows_simstart_not_the_notification(self):
        self.assertEqual(self.result.code, 0, self.result.output)
        files = [r["file"] for r in self.result.of("deliver", msg="EVENT_FILENAME")]
        self.assertEqual(len(files), 2)
        self.assertTrue(files[1].endswith("\\Jet.Cargo\\Jet.Cargo.air"), files[1])
        starts = [t for t in self.result.texts() if t.startswith("Request Pushback")]
        self.assertEqual(starts, ["Request Pushback ! Your aircraft is Liner",
                                  "Request Pushback ! Your aircraft is Jet.Cargo"])


class DialogMode(unittest.TestCase):
    """"Setting" asks for dialog mode; the reply carries the value last set and
    reaches the add-on on the main thread; the dialog thread gives it back."""

    @classmethod
    def setUpClass(cls):
        cls.result = run("aircraft Liner\nuntil simstart timeout 10\nat 0.5 menu Setting\n"
                         "at 2 dialog cancel\nend 3\n", "e2e_dialog_mode", player="none")

    def test_set_then_asked_then_given_back_from_the_dialog_thread(self):
        self.assertEqual(self.result.code, 0, self.result.output)
        sets = self.result.calls("SimConnect_SetSystemState")
        self.assertEqual([(c["state"], c["integer"], c["string"], c["thread"]) for c in sets],
                         [("DialogMode", 1, None, "main"), ("DialogMode", 0, None, "other")])
        asks = [c for c in self.result.calls("SimConnect_RequestSystemState") if c["request"] == 7]
        self.assertEqual([(c["state"], c["thread"]) for c in asks], [("DialogMode", "main")])

    def test_reply_carries_the_mode_set_and_arrives_on_the_main_thread(self):
        replies = [r for r in self.result.of("deliver", msg="SYSTEM_STATE") if r["request"] == 7]
        self.assertEqual([(r["integer"], r["thread"]) for r in replies], [(1, "main")])
        modes = [s["dialog_mode"] for s in self.result.states()]
        self.assertIn(1, modes)
        self.assertEqual(modes[-1], 0, "dialog mode was not given back")


class FailedOpen(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.result = run("open fail\nat 0.5 menu Auto Left\nend 1.5\n", "e2e_open_fail", player="probe")

    def test_add_on_stays_inert(self):
        self.assertEqual(self.result.code, 0, self.result.output)
        calls = [c["fn"] for c in self.result.calls()]
        self.assertEqual(calls, ["SimConnect_Open"], "nothing but the failed open may reach SimConnect")
        self.assertLess(self.result.calls("SimConnect_Open")[0]["result"], 0)
        self.assertEqual(self.result.of("menu_pick")[0]["found"], False, "a menu exists without a connection")
        self.assertEqual(self.result.texts(), [])

    def test_no_player_started(self):
        self.assertFalse((self.result.folder / "kestrola-started.txt").exists(), "the player was started")


if __name__ == "__main__":
    main()
