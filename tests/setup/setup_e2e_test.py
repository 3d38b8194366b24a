#!/usr/bin/env python3
"""DrovanaSetup.exe as a pilot runs it: from the unpacked package, silent,
into a fresh simulated folder that the registry names. The stand-in then runs
a sound-on Auto Right from that folder to "Good luck !", and /uninstall takes
DrovanaX out again, leaving Drovana.cfg. Then the five simulators side by side
(the boxed edition, the Steam Edition, Prepar3D v1, v2 and v3): all installed
at once, each with its own dll.xml, Drovana.cfg and Apps & features entry, the
stand-in playing Prepar3D v2 and loading DrovanaX from that simulator's
dll.xml; each of the four others alone, in a folder nothing else names, named
with /SIM= or known by its program; and one of two editions failing while the other succeeds. The
voice cues' language: preselected from the locale Wine takes from the host
(LC_ALL, with locales compiled into the build tree), swapped by /LANG=, and
an unknown /LANG= refused.

The dll.xml it edits is the prefix's own (%APPDATA%\\Microsoft\\FSX\\dll.xml
inside the build tree's Wine prefix). In the x64 lane the package's three
programs are replaced by the 64-bit builds of the tree under test, since
32-bit code cannot run there.
"""
import contextlib
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
# Each simulator as the pilot's machine has it: the code /SIM= takes, its
# registry values naming its folder (machine, then user), its dll.xml folder
# under %APPDATA% (alone; the Steam Edition's beside the boxed one is FSX-SE).
SIMULATORS = {
    "boxed edition": ("FSX", SETUP_KEY, "SetupPath", r"HKCU\Software\Microsoft\Microsoft Games\Flight Simulator\10.0",
                      "AppPath", "Microsoft/FSX"),
    "Steam Edition": ("FSX-SE", STEAM_KEY, "Install_Path", STEAM_USER_KEY, "AppPath", "Microsoft/FSX"),
    "Prepar3D v1": ("P3Dv1", r"HKLM\SOFTWARE\LockheedMartin\Prepar3D", "SetupPath",
                    r"HKCU\Software\LockheedMartin\Prepar3D", "AppPath", "Lockheed Martin/Prepar3D"),
    "Prepar3D v2": ("P3Dv2", r"HKLM\SOFTWARE\Lockheed Martin\Prepar3D v2", "SetupPath",
                    r"HKCU\Software\Lockheed Martin\Prepar3D v2", "AppPath", "Lockheed Martin/Prepar3D v2"),
    "Prepar3D v3": ("P3Dv3", r"HKLM\SOFTWARE\Lockheed Martin\Prepar3D v3", "SetupPath",
                    r"HKCU\Software\Lockheed Martin\Prepar3D v3", "AppPath", "Lockheed Martin/Prepar3D v3"),
}
# What the tests add beyond the boxed edition's SetupPath, deleted after each.
ADDED_KEYS = (SIMULATORS["boxed edition"][3], r"HKLM\SOFTWARE\Dovetail Games", STEAM_USER_KEY,
              r"HKLM\SOFTWARE\LockheedMartin", r"HKLM\SOFTWARE\Lockheed Martin", r"HKCU\Software\LockheedMartin",
              r"HKCU\Software\Lockheed Martin")
# Another add-on's block: each dll.xml must come back byte for byte.
OTHER_DLL_XML = ('<?xml version="1.0" encoding="Windows-1252"?>\r\n<SimBase.Document Type="Launch" version="1,0">\r\n'
                 '  <Launch.Addon>\r\n    <Name>%s</Name>\r\n    <Path>%s.dll</Path>\r\n  </Launch.Addon>\r\n'
                 '</SimBase.Document>\r\n')
SIDE_BY_SIDE = """\
simulator P3Dv2
aircraft Liner
until simstart timeout 20
at 0.5 menu Auto Left
until pushback left timeout 60
end 0.5
"""
# Prepar3D v2's folder (and the others' but the boxed one): 10 m less the
# Liner's correction of 3 before the turn.
STEAM_CFG = b"[Data]\r\nDistance=10\r\nHead=6\r\n[PLANE_CORRECT]\r\nLiner=3.000000\r\n"
BOXED_CFG = b"[Data]\r\nDistance=45\r\nHead=6\r\n[PLANE_CORRECT]\r\nLiner=0.500000\r\n"


def digest(path):
    return hashlib.sha256(Path(path).read_bytes()).hexdigest()


class SetupEndToEnd(unittest.TestCase):
    def setUp(self):
        self.work = Path(tempfile.mkdtemp(prefix="setup-", dir=BUILD))
        self.unpacked = self.work / "unpacked"
        with zipfile.ZipFile(package.build_package(str(SHIPPED), str(self.work / "DrovanaX-test.zip"))) as z:
            z.extractall(self.unpacked)
        if SHIPPED != BUILD:
            for program in package.PROGRAMS:
                shutil.copy2(BUILD / program, self.unpacked / program)
        self.env = run_scenario.wine_env(BUILD)
        # Wine takes Windows' languages from the host's locale: English here.
        self.env["LC_ALL"] = "C.UTF-8"
        self.dll_xml = run_scenario.app_data(self.env) / "Microsoft" / "FSX" / "dll.xml"
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

    @contextlib.contextmanager
    def mapped(self, dll):
        """A running simulator: hold_module.exe maps the DLL while the block runs."""
        holder = subprocess.Popen([run_scenario.WINE_RUN, str(BUILD / "tests" / "hold_module.exe"),
                                   run_scenario.windows_path(dll, self.env)], env=self.env,
                                  stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        try:
            self.assertEqual(b"held", holder.stdout.readline().strip(), "hold_module.exe did not map the DLL")
            yield
        finally:
            holder.kill()
            holder.wait()
            holder.stdout.close()

    def reg(self, *arguments, check=True):
        return subprocess.run([run_scenario.WINE_RUN, "reg", *arguments], env=self.env, stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, check=check).stdout

    def result_of(self, edition):
        """The result line of an edition and the lines under it, up to the next edition's."""
        parts = re.split(r"^(?=(?:boxed edition|Steam Edition|Prepar3D v[123]), )", self.output, flags=re.M)
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

    def editions(self, names):
        """The simulators named side by side, each with its folder, Drovana.cfg,
        registry values and a dll.xml holding another add-on; returns name -> folder."""
        folders, values = {}, []
        for name in names:
            folder = run_scenario.lay_out(BUILD, "setup-" + SIMULATORS[name][0], SIDE_BY_SIDE, "none")
            (folder / "DrovanaX.dll").unlink()
            (folder / "Drovana.cfg").write_bytes(BOXED_CFG if name == "boxed edition" else STEAM_CFG)
            folders[name] = folder
            code, machine, machine_value, user, user_value, _ = SIMULATORS[name]
            windows = run_scenario.windows_path(folder, self.env)
            values += ["[%s]" % machine, run_scenario.reg_value(machine_value, windows + "\\"),
                       "[%s]" % user, run_scenario.reg_value(user_value, windows)]
        run_scenario.reg_import(BUILD, self.env, values)
        for key in ADDED_KEYS:
            self.addCleanup(self.reg, "delete", key, "/f", check=False)
        roaming = run_scenario.app_data(self.env)
        beside = "boxed edition" in names
        self.dll_xmls = {name: roaming / ("Microsoft/FSX-SE" if name == "Steam Edition" and beside
                                          else SIMULATORS[name][5]) / "dll.xml" for name in names}
        for name, path in self.dll_xmls.items():
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes((OTHER_DLL_XML % (name, name.split()[0])).encode())
            path.with_name("dll.xml.DrovanaX.bak").unlink(missing_ok=True)
        return folders

    def two_editions(self):
        """The boxed edition and the Steam Edition side by side; returns (boxed, steam)."""
        folders = self.editions(("boxed edition", "Steam Edition"))
        return folders["boxed edition"], folders["Steam Edition"]

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


    def test_five_side_by_side(self):
        folders = self.editions(SIMULATORS)
        before = {name: path.read_bytes() for name, path in self.dll_xmls.items()}
        # The boxed edition and Prepar3D v1 lack the SimConnect assembly; the
        # first's SDK and the second's redistributables hold its installer.
        msis = {"boxed edition": "SDK/Core Utilities Kit/SimConnect SDK/lib/SimConnect.msi",
                "Prepar3D v1": "redist/Interface/FSX-SP2-XPACK/retail/lib/SimConnect.msi"}
        for name, msi in msis.items():
            shutil.rmtree(folders[name] / run_scenario.ASSEMBLY)
            (folders[name] / msi).parent.mkdir(parents=True)
            (folders[name] / msi).write_bytes(b"msi")

        self.assertEqual(0, self.setup_exe(), self.output)
        for name, folder in folders.items():
            self.assertIn("DrovanaX installed", self.result_of(name), self.output)
            self.assertEqual(digest(self.unpacked / "DrovanaX.dll"), digest(folder / "DrovanaX.dll"), name)
            self.assertEqual(1, self.dll_xmls[name].read_text().count("<Name>DrovanaX</Name>"), name)
            if name in msis:
                self.assertIn("this simulator (%s) will not load DrovanaX yet. SimConnect 10.0.60905.0 is missing"
                              % name, self.result_of(name))
                self.assertIn(run_scenario.windows_path(folders[name] / msis[name], self.env), self.result_of(name))
            else:
                self.assertNotIn("SimConnect", self.result_of(name), "a present assembly was reported missing")
        entries = self.entries()
        self.assertEqual({"DrovanaX (FSX)", "DrovanaX (Steam Edition)", "DrovanaX (Prepar3D v1)",
                          "DrovanaX (Prepar3D v2)", "DrovanaX (Prepar3D v3)"}, set(entries), self.output)
        p3d = folders["Prepar3D v2"]
        p3d_entry = entries["DrovanaX (Prepar3D v2)"]
        p3d_windows = run_scenario.windows_path(p3d, self.env) + "\\"
        self.assertEqual('"%sDrovanaX\\DrovanaSetup.exe" /uninstall /D=%s' % (p3d_windows, p3d_windows),
                         p3d_entry["UninstallString"])
        self.assertEqual(("1.0.0.1", p3d_windows, "0x1", "0x1", "P3Dv2"), (
            p3d_entry["DisplayVersion"], p3d_entry["InstallLocation"], p3d_entry["NoModify"], p3d_entry["NoRepair"],
            p3d_entry["Simulator"]))
        self.assertEqual(0, self.setup_exe(), "a second install: " + self.output)
        self.assertEqual(5, len(self.entries()), "a reinstall doubled an entry")

        # A pushback in Prepar3D v2, which loads DrovanaX from its own dll.xml.
        shutil.copy2(BUILD / "sim" / "KestrolaProbe.exe", p3d / "Kestrola.exe")
        trace_path = p3d / "trace.jsonl"
        done = subprocess.run([run_scenario.WINE_RUN, "DrovanaSim.exe", "--scenario",
                               run_scenario.windows_path(p3d / "scenario.txt", self.env), "--trace",
                               run_scenario.windows_path(trace_path, self.env)], cwd=p3d, env=self.env,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=300)
        result = run_scenario.RunResult(done.returncode, run_scenario.read_trace(trace_path), p3d)
        self.assertEqual(0, result.code, done.stdout[-2000:])
        self.assertEqual([p3d_windows + "DrovanaX.dll"], [r["path"] for r in result.of("dll_xml")])
        pushes = result.of("pushback")
        pushed = e2e_support.distance_m(pushes[0], next(p for p in pushes if p["change"] == "turn_left"))
        one_tick = e2e_support.LINER_PUSH_SPEED * e2e_support.TICK_S + 0.4
        self.assertTrue(7 < pushed < 7 + one_tick, "pushed %.1f m, not Prepar3D v2's 10 m less 3" % pushed)
        self.assertEqual('"' + p3d_windows + 'Kestrola.exe"', (p3d / "kestrola-started.txt").read_text().strip())
        self.assertEqual(BOXED_CFG, (folders["boxed edition"] / "Drovana.cfg").read_bytes(),
                         "the boxed edition's Drovana.cfg changed")

        self.assertEqual(0, self.setup_exe("/uninstall"), self.output)
        for name, path in self.dll_xmls.items():
            self.assertEqual(before[name], path.read_bytes(), name + ": dll.xml is not as before")
        self.assertEqual({}, self.entries(), "an uninstall left its Apps & features entry")
        for folder in folders.values():
            self.assertFalse((folder / "DrovanaX").exists(), "the uninstall left DrovanaX\\ in %s" % folder)
            self.assertFalse((folder / "DrovanaX.dll").exists())

    def test_each_simulator_alone_named_or_by_its_program(self):
        # Nothing in the registry names these folders: the pilot names each
        # simulator (Prepar3D v1 is known by its program: a Prepar3D.exe of
        # file version 1), the install remembers it and the uninstall finds it.
        for key in (SETUP_KEY,) + ADDED_KEYS:  # the Steam Edition has no boxed edition beside it
            self.reg("delete", key, "/f", check=False)
        for name in ("Steam Edition", "Prepar3D v1", "Prepar3D v2", "Prepar3D v3"):
            code, *_, data = SIMULATORS[name]
            with self.subTest(name):
                folder, target = self.sim_folder(code)
                dll_xml = run_scenario.app_data(self.env) / data / "dll.xml"
                dll_xml.parent.mkdir(parents=True, exist_ok=True)
                dll_xml.write_bytes((OTHER_DLL_XML % (name, code)).encode())
                before = dll_xml.read_bytes()
                named = ("/SIM=" + code.lower(),) if code != "P3Dv1" else ()
                if not named:
                    shutil.copy2(self.unpacked / "DrovanaSetup.exe", folder / "Prepar3D.exe")  # version 1.0.0.1
                self.assertEqual(0, self.setup_exe(*named, target), self.output)
                self.assertIn("DrovanaX installed", self.result_of(name), self.output)
                self.assertEqual(1, dll_xml.read_text().count("<Name>DrovanaX</Name>"), self.output)
                self.assertEqual(code, self.entries()["DrovanaX (%s)" % name]["Simulator"])
                self.assertEqual(0, self.setup_exe("/uninstall", target), self.output)
                self.assertEqual(before, dll_xml.read_bytes(), name + ": dll.xml is not as before")
                self.assertFalse((folder / "DrovanaX.dll").exists(), name)
        self.assertEqual(7, self.setup_exe("/SIM=P3Dv4", target), "Prepar3D v4 is 64-bit: no simulator here")
        self.assertEqual(7, self.setup_exe("/SIM=P3Dv2"), "/SIM= without the folder it names")

    def test_one_edition_failing(self):
        boxed, steam = self.two_editions()
        before = self.dll_xmls["Steam Edition"].read_bytes()
        # The Steam Edition runs: its simulator maps DrovanaX.dll.
        shutil.copy2(self.unpacked / "DrovanaX.dll", steam / "DrovanaX.dll")
        with self.mapped(steam / "DrovanaX.dll"):
            self.assertEqual(5, self.setup_exe(), self.output)
        self.assertIn("DrovanaX installed", self.result_of("boxed edition"), self.output)
        self.assertIn("exit code 5", self.result_of("Steam Edition"), self.output)
        self.assertIn("close the simulator first", self.result_of("Steam Edition"))
        self.assertEqual(before, self.dll_xmls["Steam Edition"].read_bytes(), "the failed edition's dll.xml changed")
        self.assertEqual(sorted(["DrovanaSim.exe", "DrovanaX.dll", "Drovana.cfg", "SimObjects", "scenario.txt",
                                 run_scenario.ASSEMBLY]), sorted(p.name for p in steam.iterdir()),
                         "the failed edition changed")

        # Apps & features runs the copy kept in the folder; it hands over to a
        # temporary copy, so that the folder can go.
        # A script sees the uninstall's own code through the hand-over: 5
        # while the simulator maps DrovanaX.dll, and nothing removed.
        entry = self.entries()["DrovanaX (FSX)"]
        kept = boxed / "DrovanaX" / "DrovanaSetup.exe"
        uninstall = ("/uninstall", "/D=" + entry["InstallLocation"])
        with self.mapped(boxed / "DrovanaX.dll"):
            self.assertEqual(5, self.setup_exe(*uninstall, program=run_scenario.windows_path(kept, self.env)),
                             self.output)
        self.assertTrue(kept.exists() and (boxed / "DrovanaX" / "InstalledFiles.txt").exists(),
                        "a failed uninstall by the kept copy removed it or its list")
        self.assertEqual(0, self.setup_exe(*uninstall, program=run_scenario.windows_path(kept, self.env)),
                         self.output)
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
