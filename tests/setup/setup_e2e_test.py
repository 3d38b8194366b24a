#!/usr/bin/env python3
"""DrovanaSetup.exe as a pilot runs it: from the unpacked package, silent,
into a fresh simulated folder that the registry names. The stand-in then runs
a sound-on Auto Right from that folder to "Good luck !", and /uninstall takes
DrovanaX out again, leaving Drovana.cfg. Then the boxed edition and the Steam
Edition side by side: both installed at once, each with its own dll.xml,
Drovana.cfg and Apps & features entry; and one of them failing while the
other succeeds. The voice cues' language: preselected from the locale Wine
takes from the host (LC_ALL, with locales compiled into the build tree),
swapped by /LANG=, and an unknown /LANG= refused.

The dll.xml it edits is the prefix's own (%APPDATA%\\Microsoft\\FSX\\dll.xml
inside the build tree's Wine prefix). In the x64 lane the package's three
programs are replaced by the 64-bit builds of the tree under test, since
32-bit code cannot run there.
"""
import hashlib
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(SOURCE / "sim"))
sys.path.insert(0, str(SOURCE / "tools"))
sys.path.insert(0, str(SOURCE / "tests" / "package"))
sys.path.insert(0, str(SOURCE / "tests" / "pushback_e2e"))
import e2e_support  # noqa: E402
import package  # noqa: E402
import package_test  # noqa: E402
import run_scenario  # noqa: E402
import voice_cues  # noqa: E402

BUILD = None    # the tree whose programs run here
SHIPPED = None  # the i686 tree whose files the package holds
SETUP_KEY = r"HKLM\SOFTWARE\Microsoft\microsoft games\flight simulator\10.0"
STEAM_KEY = r"HKLM\SOFTWARE\Dovetail Games\FSX\10.0"
STEAM_USER_KEY = r"HKCU\Software\Microsoft\Microsoft Games\Flight Simulator - Steam Edition\10.0"
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall"
# Another add-on's block: each dll.xml must come back byte for byte.
OTHER_DLL_XML = ('<?xml version="1.0" encoding="Windows-1252"?>\r\n<SimBase.Document Type="Launch" version="1,0">\r\n'
                 '  <Launch.Addon>\r\n    <Name>%s</Name>\r\n    <Path>%s.dll</Path>\r\n  </Launch.Addon>\r\n'
                 '</SimBase.Document>\r\n')
SIDE_BY_SIDE = """\
aircraft Liner
setuppath {boxed}
until simstart timeout 20
at 0.5 menu Auto Left
until pushback left timeout 60
end 0.5
"""
# The Steam Edition's folder: 10 m less the Liner's correction of 3 before the turn.
STEAM_CFG = b"[Data]\r\nDistance=10\r\nHead=6\r\n[PLANE_CORRECT]\r\nLiner=3.000000\r\n"
BOXED_CFG = b"[Data]\r\nDistance=45\r\nHead=6\r\n[PLANE_CORRECT]\r\nLiner=0.500000\r\n"


def digest(path):
    return hashlib.sha256(Path(path).read_bytes()).hexdigest()


def app_data(env):
    """The prefix's application-data folder, as a Linux path."""
    users = Path(env["WINEPREFIX"]) / "drive_c" / "users"
    found = [p for p in users.glob("*/AppData/Roaming") if p.parts[-3] != "Public"]
    if len(found) != 1:
        raise AssertionError("no single user application-data folder in %s: %s" % (users, found))
    return found[0]


class SetupEndToEnd(unittest.TestCase):
    def setUp(self):
        self.work = Path(tempfile.mkdtemp(prefix="setup-", dir=BUILD))
        self.unpacked = self.work / "unpacked"
        with zipfile.ZipFile(package.build_package(str(SHIPPED), str(self.work / "DrovanaX-test.zip"))) as z:
            z.extractall(self.unpacked)
        if SHIPPED != BUILD:
            for program in ("DrovanaSetup.exe", "DrovanaX.dll", "Kestrola.exe"):
                shutil.copy2(BUILD / program, self.unpacked / program)
        self.env = run_scenario.wine_env(BUILD)
        # Wine takes Windows' languages from the host's locale: English here.
        self.env["LC_ALL"] = "C.UTF-8"
        self.dll_xml = app_data(self.env) / "Microsoft" / "FSX" / "dll.xml"
        for path in (self.dll_xml, self.dll_xml.with_name("dll.xml.DrovanaX.bak")):
            path.unlink(missing_ok=True)

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)
        # The prefix outlives the test: an entry left behind would be taken
        # for the next test's own.
        for line in self.reg("query", UNINSTALL_KEY, check=False).splitlines():
            if "\\DrovanaX-" in line:
                self.reg("delete", line.strip(), "/f", check=False)

    def setup_exe(self, *switches, program="DrovanaSetup.exe", env=None):
        done = subprocess.run([run_scenario.WINE_RUN, program, "/S", *switches], cwd=self.unpacked,
                              env=env or self.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, timeout=120)
        self.output = done.stdout.decode("utf-8", "replace")
        return done.returncode

    def reg(self, *arguments, check=True):
        return subprocess.run([run_scenario.WINE_RUN, "reg", *arguments], env=self.env, stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, check=check).stdout

    def result_of(self, edition):
        """The result line of an edition and the lines under it, up to the next edition's."""
        parts = re.split(r"^(?=(?:boxed edition|Steam Edition), )", self.output, flags=re.M)
        return "".join(p for p in parts if p.startswith(edition + ", "))

    def entries(self):
        """DisplayName -> {value: data} of the Apps & features entries named DrovanaX."""
        found, current = {}, None
        for line in self.reg("query", UNINSTALL_KEY, "/s", check=False).splitlines():
            if line.startswith("HKEY_"):
                current = {} if "\\DrovanaX-" in line else None
            elif current is not None and line.strip():
                fields = line.strip().split(None, 2)
                current[fields[0]] = fields[2] if len(fields) > 2 else ""
                if fields[0] == "DisplayName":
                    found[current["DisplayName"]] = current
        return found

    def two_editions(self):
        """The boxed edition and the Steam Edition side by side, each with its
        folder, Drovana.cfg and dll.xml; returns (boxed, steam)."""
        folders = []
        for name, cfg in (("setup-boxed", BOXED_CFG), ("setup-steam", STEAM_CFG)):
            folder = run_scenario.lay_out(BUILD, name, SIDE_BY_SIDE, "none")
            (folder / "DrovanaX.dll").unlink()
            (folder / "Drovana.cfg").write_bytes(cfg)
            folders.append(folder)
        boxed, steam = folders
        self.reg("add", SETUP_KEY, "/v", "SetupPath", "/d", run_scenario.windows_path(boxed, self.env) + "\\", "/f")
        self.reg("add", STEAM_KEY, "/v", "Install_Path", "/d", run_scenario.windows_path(steam, self.env), "/f")
        self.reg("add", STEAM_USER_KEY, "/v", "AppPath", "/d", run_scenario.windows_path(steam, self.env) + "\\", "/f")
        self.addCleanup(self.reg, "delete", r"HKLM\SOFTWARE\Dovetail Games", "/f", check=False)
        self.addCleanup(self.reg, "delete", STEAM_USER_KEY, "/f", check=False)
        self.dll_xmls = {"boxed edition": self.dll_xml,
                         "Steam Edition": self.dll_xml.parent.parent / "FSX-SE" / "dll.xml"}
        for edition, path in self.dll_xmls.items():
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes((OTHER_DLL_XML % (edition, edition.split()[0])).encode())
            path.with_name("dll.xml.DrovanaX.bak").unlink(missing_ok=True)
        return boxed, steam

    def in_locale(self, name):
        """The environment with Wine in the host locale name (compiled once into the build tree)."""
        locales = BUILD / "locales"
        if not (locales / (name + ".UTF-8")).is_dir():
            locales.mkdir(exist_ok=True)
            subprocess.run(["localedef", "-c", "-i", name, "-f", "UTF-8", str(locales / (name + ".UTF-8"))],
                           capture_output=True)
        return dict(self.env, LOCPATH=str(locales), LC_ALL=name + ".UTF-8")

    def sim_folder(self, name):
        folder = self.work / name
        folder.mkdir()
        return folder, "/D=" + run_scenario.windows_path(folder, self.env)

    def assert_set(self, folder, code):
        for cue in voice_cues.FILES.values():
            self.assertEqual(digest(self.unpacked / "DrovanaX" / "Sounds" / code / cue),
                             digest(folder / "DrovanaX" / "Sounds" / cue), f"{cue} is not the {code} set's")

    def test_first_install_takes_the_windows_language_where_there_is_a_set(self):
        for locale, code in (("pt_PT", "pt-BR"), ("zh_TW", "zh"), ("de_DE", "de"), ("ja_JP", "en")):
            with self.subTest(locale=locale):
                folder, target = self.sim_folder(locale)
                self.assertEqual(0, self.setup_exe(target, env=self.in_locale(locale)))
                self.assert_set(folder, code)

    def test_another_language_swaps_the_set_and_nothing_of_the_pilots(self):
        folder, target = self.sim_folder("swap")
        mine = folder / "DrovanaX" / "Sounds" / "my_cue.wav"
        mine.parent.mkdir(parents=True)
        shutil.copy2(self.unpacked / "DrovanaX" / "Sounds" / "sv" / "good_luck.wav", mine)
        (folder / "Drovana.cfg").write_bytes(b"[Data]\r\nDistance=45\r\n[Sound5]\r\nNumber_Sound=1\r\n"
                                             b"1=DrovanaX\\Sounds\\my_cue.wav\r\n")
        pilots = {p: p.read_bytes() for p in (mine, folder / "Drovana.cfg")}

        self.assertEqual(0, self.setup_exe("/LANG=fr", target))
        self.assert_set(folder, "fr")
        self.assertEqual(0, self.setup_exe("/lang=DE", target))
        self.assert_set(folder, "de")
        # A later run offers the language installed, whatever Windows speaks.
        self.assertEqual(0, self.setup_exe(target, env=self.in_locale("fr_FR")))
        self.assert_set(folder, "de")
        for path, bytes_before in pilots.items():
            self.assertEqual(bytes_before, path.read_bytes(), f"{path.name} of the pilot's changed")

        before = {str(p): p.read_bytes() for p in folder.rglob("*") if p.is_file()}
        dll_xml = self.dll_xml.read_bytes()
        self.assertEqual(7, self.setup_exe("/LANG=xx", target), "an unknown language is a wrong command line")
        self.assertEqual(before, {str(p): p.read_bytes() for p in folder.rglob("*") if p.is_file()})
        self.assertEqual(dll_xml, self.dll_xml.read_bytes())

    def test_install_run_uninstall_with_sound(self):
        folder = run_scenario.lay_out(BUILD, "setup-run", package_test.SCENARIO, "none")
        (folder / "DrovanaX.dll").unlink()  # the simulator and SimConnect only
        subprocess.run([run_scenario.WINE_RUN, "reg", "add", SETUP_KEY, "/v", "SetupPath", "/d",
                        run_scenario.windows_path(folder, self.env) + "\\", "/f"],
                       env=self.env, stdin=subprocess.DEVNULL, capture_output=True, check=True)

        self.assertEqual(0, self.setup_exe(), "DrovanaSetup.exe /S did not install")
        for name in ("DrovanaX.dll", "Kestrola.exe", "Drovana.cfg"):
            self.assertEqual(digest(self.unpacked / name), digest(folder / name), name + " is not the package's")
        self.assert_set(folder, "en")
        self.assertEqual((self.unpacked / "dll.xml").read_bytes(), self.dll_xml.read_bytes(),
                         "with no dll.xml, the package's goes in")

        package_test.run_sound_on_auto_right(self, BUILD, folder, self.work)

        self.assertEqual(0, self.setup_exe("/uninstall"), "DrovanaSetup.exe /S /uninstall failed")
        left = sorted(str(p.relative_to(folder)) for p in folder.rglob("*")
                      if "DrovanaX" in str(p.relative_to(folder)) or p.name == "Kestrola.exe")
        self.assertEqual([], left, "the uninstall left DrovanaX's files behind")
        self.assertTrue((folder / "Drovana.cfg").exists(), "the uninstall took Drovana.cfg")
        self.assertFalse(self.dll_xml.exists(), "a dll.xml with nothing but DrovanaX in it stayed")


    def test_side_by_side(self):
        boxed, steam = self.two_editions()
        before = {edition: path.read_bytes() for edition, path in self.dll_xmls.items()}
        # The boxed edition lacks the SimConnect assembly; its SDK holds the installer.
        shutil.rmtree(boxed / run_scenario.ASSEMBLY)
        msi = boxed / "SDK" / "Core Utilities Kit" / "SimConnect SDK" / "lib" / "SimConnect.msi"
        msi.parent.mkdir(parents=True)
        msi.write_bytes(b"msi")

        self.assertEqual(0, self.setup_exe(), self.output)
        for edition, folder in (("boxed edition", boxed), ("Steam Edition", steam)):
            self.assertIn("DrovanaX installed", self.result_of(edition), self.output)
            self.assertEqual(digest(self.unpacked / "DrovanaX.dll"), digest(folder / "DrovanaX.dll"), edition)
            self.assertEqual(1, self.dll_xmls[edition].read_text().count("<Name>DrovanaX</Name>"), edition)
        self.assertIn("SimConnect 10.0.60905.0 is missing", self.result_of("boxed edition"))
        self.assertIn(run_scenario.windows_path(msi, self.env), self.result_of("boxed edition"))
        self.assertNotIn("SimConnect", self.result_of("Steam Edition"), "a present assembly was reported missing")
        entries = self.entries()
        self.assertEqual({"DrovanaX (FSX)", "DrovanaX (Steam Edition)"}, set(entries), self.output)
        steam_entry = entries["DrovanaX (Steam Edition)"]
        steam_windows = run_scenario.windows_path(steam, self.env) + "\\"
        self.assertEqual('"%sDrovanaX\\DrovanaSetup.exe" /uninstall /D=%s' % (steam_windows, steam_windows),
                         steam_entry["UninstallString"])
        self.assertEqual(("1.0.0.1", steam_windows, "0x1", "0x1"), (steam_entry["DisplayVersion"],
                         steam_entry["InstallLocation"], steam_entry["NoModify"], steam_entry["NoRepair"]))
        self.assertEqual(0, self.setup_exe(), "a second install: " + self.output)
        self.assertEqual(2, len(self.entries()), "a reinstall doubled an entry")

        # A pushback in the Steam Edition, with SetupPath naming the boxed folder.
        shutil.copy2(BUILD / "sim" / "KestrolaProbe.exe", steam / "Kestrola.exe")
        boxed_windows = run_scenario.windows_path(boxed, self.env) + "\\"
        (steam / "scenario.txt").write_text(SIDE_BY_SIDE.format(boxed=boxed_windows))
        trace_path = steam / "trace.jsonl"
        done = subprocess.run([run_scenario.WINE_RUN, "DrovanaSim.exe", "--scenario",
                               run_scenario.windows_path(steam / "scenario.txt", self.env), "--trace",
                               run_scenario.windows_path(trace_path, self.env)], cwd=steam, env=self.env,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=300)
        result = run_scenario.RunResult(done.returncode, run_scenario.read_trace(trace_path), steam)
        self.assertEqual(0, result.code, done.stdout[-2000:])
        pushes = result.of("pushback")
        pushed = e2e_support.distance_m(pushes[0], next(p for p in pushes if p["change"] == "turn_left"))
        one_tick = e2e_support.LINER_PUSH_SPEED * e2e_support.TICK_S + 0.4
        self.assertTrue(7 < pushed < 7 + one_tick, "pushed %.1f m, not the Steam folder's 10 m less 3" % pushed)
        self.assertEqual('"' + steam_windows + 'Kestrola.exe"', (steam / "kestrola-started.txt").read_text().strip())
        self.assertEqual(BOXED_CFG, (boxed / "Drovana.cfg").read_bytes(), "the boxed edition's Drovana.cfg changed")

        self.assertEqual(0, self.setup_exe("/uninstall"), self.output)
        for edition, path in self.dll_xmls.items():
            self.assertEqual(before[edition], path.read_bytes(), edition + ": dll.xml is not as before")
        self.assertEqual({}, self.entries(), "an uninstall left its Apps & features entry")
        for folder in (boxed, steam):
            self.assertFalse((folder / "DrovanaX").exists(), "the uninstall left DrovanaX\\ in %s" % folder)
            self.assertFalse((folder / "DrovanaX.dll").exists())

    def test_one_edition_failing(self):
        boxed, steam = self.two_editions()
        before = self.dll_xmls["Steam Edition"].read_bytes()
        # The Steam Edition runs: its simulator maps DrovanaX.dll.
        shutil.copy2(self.unpacked / "DrovanaX.dll", steam / "DrovanaX.dll")
        holder = subprocess.Popen([run_scenario.WINE_RUN, str(BUILD / "tests" / "hold_module.exe"),
                                   run_scenario.windows_path(steam / "DrovanaX.dll", self.env)], env=self.env,
                                  stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        try:
            self.assertEqual(b"held", holder.stdout.readline().strip(), "hold_module.exe did not map the DLL")
            self.assertEqual(5, self.setup_exe(), self.output)
        finally:
            holder.kill()
            holder.wait()
            holder.stdout.close()
        self.assertIn("DrovanaX installed", self.result_of("boxed edition"), self.output)
        self.assertIn("exit code 5", self.result_of("Steam Edition"), self.output)
        self.assertIn("close the simulator first", self.result_of("Steam Edition"))
        self.assertEqual(before, self.dll_xmls["Steam Edition"].read_bytes(), "the failed edition's dll.xml changed")
        self.assertEqual(sorted(["DrovanaSim.exe", "DrovanaX.dll", "Drovana.cfg", "SimObjects", "scenario.txt",
                                 run_scenario.ASSEMBLY]), sorted(p.name for p in steam.iterdir()),
                         "the failed edition changed")

        # Apps & features runs the copy kept in the folder; it hands over to a
        # temporary copy, so that the folder can go.
        entry = self.entries()["DrovanaX (FSX)"]
        kept = boxed / "DrovanaX" / "DrovanaSetup.exe"
        self.assertEqual(0, self.setup_exe("/uninstall", "/D=" + entry["InstallLocation"],
                                           program=run_scenario.windows_path(kept, self.env)), self.output)
        for _ in range(60):
            if not (boxed / "DrovanaX").exists():
                break
            time.sleep(0.5)
        self.assertFalse((boxed / "DrovanaX").exists(), "the kept copy's uninstall left DrovanaX\\")
        self.assertNotIn("DrovanaX (FSX)", self.entries())


def main():
    global BUILD, SHIPPED
    BUILD, SHIPPED, rest = package_test.trees_from_arguments()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
