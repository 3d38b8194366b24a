#!/usr/bin/env python3
"""DrovanaSetup.exe as a pilot runs it: from the unpacked package, silent,
into a fresh simulated folder that the registry names. The stand-in then runs
a sound-on Auto Right from that folder to "Good luck !", and /uninstall takes
DrovanaX out again, leaving Drovana.cfg. The voice cues' language: preselected
from the locale Wine takes from the host (LC_ALL, with locales compiled into
the build tree), swapped by /LANG=, and an unknown /LANG= refused.

The dll.xml it edits is the prefix's own (%APPDATA%\\Microsoft\\FSX\\dll.xml
inside the build tree's Wine prefix). In the x64 lane the package's three
programs are replaced by the 64-bit builds of the tree under test, since
32-bit code cannot run there.
"""
import hashlib
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(SOURCE / "sim"))
sys.path.insert(0, str(SOURCE / "tools"))
sys.path.insert(0, str(SOURCE / "tests" / "package"))
import package  # noqa: E402
import package_test  # noqa: E402
import run_scenario  # noqa: E402
import voice_cues  # noqa: E402

BUILD = None    # the tree whose programs run here
SHIPPED = None  # the i686 tree whose files the package holds
SETUP_KEY = r"HKLM\SOFTWARE\Microsoft\microsoft games\flight simulator\10.0"


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

    def setup_exe(self, *switches, env=None):
        done = subprocess.run([run_scenario.WINE_RUN, "DrovanaSetup.exe", "/S", *switches], cwd=self.unpacked,
                              env=env or self.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, timeout=120)
        return done.returncode

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


def main():
    global BUILD, SHIPPED
    BUILD, SHIPPED, rest = package_test.trees_from_arguments()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
