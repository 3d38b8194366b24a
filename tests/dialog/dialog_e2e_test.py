"""The settings dialog in the stand-in simulator with the real DrovanaX.dll:
"Setting" puts the simulator in dialog mode, the reply opens the dialog from
the add-on's own resources, and dialog mode stays on while it is open."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "sim"))

from sim_test_support import main, run  # noqa: E402

SCENARIO = """\
aircraft Liner
until simstart timeout 20
at 0.5 menu Setting
at 1.5 menu Setting
end 6
"""


class SettingOpensTheDialogInDialogMode(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.result = run(SCENARIO, "dialog_e2e_setting", player="none")

    def test_run_completes(self):
        self.assertEqual(self.result.code, 0, self.result.output[-3000:])

    def test_each_pick_asks_for_dialog_mode_on_the_main_thread(self):
        sets = self.result.calls("SimConnect_SetSystemState")
        ons = [c for c in sets if c["integer"] == 1]
        self.assertEqual(len(ons), 2, sets)
        for call in ons:
            self.assertEqual((call["state"], call["thread"]), ("DialogMode", "main"))
        asks = [c for c in self.result.calls("SimConnect_RequestSystemState") if c["state"] == "DialogMode"]
        self.assertEqual([c["request"] for c in asks], [7, 7])

    def test_dialog_mode_is_not_given_back_while_the_dialog_is_open(self):
        # A dialog that could not be created would give dialog mode back at
        # once; the one left open is closed by DLLStop, which gives it back.
        calls = self.result.of("call")
        offs = [i for i, c in enumerate(calls) if c.get("fn") == "SimConnect_SetSystemState" and c["integer"] == 0]
        self.assertEqual(len(offs), 1, "dialog mode given back %d times, not once by DLLStop" % len(offs))
        self.assertEqual(calls[offs[0] + 1].get("fn"), "SimConnect_Close",
                         "dialog mode was given back before DLLStop: the dialog did not stay open")
        stop = calls[offs[0]]["t"]
        replies = [r for r in self.result.of("deliver", msg="SYSTEM_STATE") if r["request"] == 7]
        self.assertTrue(replies, "no dialog-mode reply reached the add-on")
        later = [s for s in self.result.states() if replies[0]["t"] + 0.5 < s["t"] < stop]
        self.assertTrue(later and all(s["dialog_mode"] == 1 for s in later))


if __name__ == "__main__":
    main()
