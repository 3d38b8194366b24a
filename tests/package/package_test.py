#!/usr/bin/env python3
"""The package a pilot installs: its DLL, player and setup are the shipped 32-bit
builds, its manifest binds the simulator's SimConnect assembly, and unzipped
into a fresh folder it runs a sound-on Auto Right pushback with its own sample
Drovana.cfg and voice cues. In the x64 lane the run takes the 64-bit builds of
the two programs from the tree under test, since 32-bit code cannot run there.
"""
import argparse
import hashlib
import os
import re
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
sys.path.insert(0, str(SOURCE / "tests" / "sound_e2e"))
import package  # noqa: E402
import run_scenario  # noqa: E402
import voice_cues  # noqa: E402
from sound_stand_in import CAPTURE_CONF  # noqa: E402

BUILD = None    # the tree whose programs run here
SHIPPED = None  # the i686 tree whose files the package holds

IDENTITY = {
    "type": "win32",
    "name": "Microsoft.FlightSimulator.SimConnect",
    "version": "10.0.60905.0",
    "processorArchitecture": "x86",
    "publicKeyToken": "67c7c14424d61b5b",
}

SCENARIO = """\
aircraft Liner
config Data WavFlag 1
config Data Distance 4
config Data Head 12
until simstart timeout 20
at 1 menu Auto Right
until text "Request Pushback" timeout 10
until text "Good luck !" timeout 240
end 4
"""


def digest(path):
    return hashlib.sha256(Path(path).read_bytes()).hexdigest()


def embedded_manifest_identities(binary):
    """The assemblyIdentity elements of the XML manifests inside a PE file."""
    data = Path(binary).read_bytes()
    identities = []
    for manifest in re.findall(rb"<assembly\b.*?</assembly>", data, re.S):
        for element in re.findall(rb"<assemblyIdentity\b[^>]*>", manifest):
            identities.append({k.decode(): v.decode() for k, v in re.findall(rb'(\w+)="([^"]*)"', element)})
    return identities


def has_sound(capture):
    """True when the capture holds samples that are not silence."""
    if not capture.exists():
        return False
    data = capture.read_bytes()
    return any(b not in (0, 0x80) for b in data[::7])


class PackageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = Path(tempfile.mkdtemp(prefix="package-", dir=BUILD))
        cls.zip_path = Path(package.build_package(str(SHIPPED), str(cls.work / "DrovanaX-test.zip")))
        cls.unpacked = cls.work / "unpacked"
        with zipfile.ZipFile(cls.zip_path) as z:
            z.extractall(cls.unpacked)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_contents(self):
        names = set(zipfile.ZipFile(self.zip_path).namelist())
        for expected in package.PROGRAMS + ("Drovana.cfg", "dll.xml", "INSTALL.txt"):
            self.assertIn(expected, names)
        index = (self.unpacked / "DrovanaX" / "Sounds" / "languages.txt").read_bytes().decode("utf-8")
        listed = [line.split("\t") for line in index.split("\r\n") if line]
        self.assertEqual([(c, n) for c, n, _v, _p in voice_cues.LANGUAGES], [tuple(row) for row in listed])
        for name in ("English", "Deutsch", "Français", "Português (Brasil)", "Русский", "中文"):
            self.assertIn(name, index)
            self.assertIn(name, (self.unpacked / "INSTALL.txt").read_text(encoding="utf-8-sig"))
        for code, _name, _voice, _phrases in voice_cues.LANGUAGES:
            for name in voice_cues.FILES.values():
                self.assertIn(f"DrovanaX/Sounds/{code}/{name}", names, "a voice cue the sample config names is missing")
        self.assertLess(self.zip_path.stat().st_size, 8 * 1024 * 1024, "the zip has outgrown 8 MB")

    def test_programs_are_the_shipped_builds(self):
        self.assertEqual(digest(SHIPPED / "DrovanaX.dll"), digest(self.unpacked / "DrovanaX.dll"),
                         "the packaged DLL differs from the built one")
        for program in package.PROGRAMS:
            self.assertEqual(digest(SHIPPED / program), digest(self.unpacked / program),
                             f"the packaged {program} differs from the built one")

    def test_manifest_names_the_simconnect_assembly(self):
        identities = embedded_manifest_identities(self.unpacked / "DrovanaX.dll")
        self.assertIn(IDENTITY, identities, "the DLL's manifest does not depend on the simulator's SimConnect")

    def test_sample_config_is_what_the_add_on_reads(self):
        text = (self.unpacked / "Drovana.cfg").read_text()
        for line in ("Head=90", "Distance=50", "WavFlag=0", "EngFlag=0", "Check1=0", "Check2=0", "Check3=0",
                     "[PLANE_CORRECT]"):
            self.assertIn(line, text)
        self.assertRegex(text, r"\[PLANE_CORRECT\](\r?\n;[^\r\n]*)*\r?\n\r?\n", "[PLANE_CORRECT] must be empty")
        for section, name in voice_cues.FILES.items():
            self.assertRegex(text, r"\[%s\][^\[]*Number_Sound=1[^\[]*1=DrovanaX\\Sounds\\%s" %
                             (re.escape(section), re.escape(name)))

    def test_dll_xml_snippet(self):
        xml = (self.unpacked / "dll.xml").read_text(encoding="cp1252")
        self.assertIn('<SimBase.Document Type="Launch" version="1,0">', xml)
        block = re.search(r"<Launch.Addon>(.*?)</Launch.Addon>", xml, re.S).group(1)
        for element in ("<Name>DrovanaX</Name>", "<Disabled>False</Disabled>", "<ManualLoad>False</ManualLoad>",
                        "<Path>DrovanaX.dll</Path>"):
            self.assertIn(element, block)

    def test_unpacked_package_runs_a_sound_on_auto_right_in_two_languages(self):
        for code in ("de", "zh"):
            with self.subTest(language=code):
                # The stand-in's folder, with every file of the add-on taken from
                # the package, and one language's set where DrovanaSetup puts it.
                folder = run_scenario.lay_out(BUILD, "package-run-" + code, SCENARIO, "none")
                for entry in self.unpacked.iterdir():
                    target = folder / entry.name
                    if entry.is_dir():
                        shutil.copytree(entry, target, dirs_exist_ok=True)
                    else:
                        shutil.copy2(entry, target)
                for cue in (self.unpacked / "DrovanaX" / "Sounds" / code).iterdir():
                    shutil.copy2(cue, folder / "DrovanaX" / "Sounds" / cue.name)
                if SHIPPED != BUILD:
                    for program in package.PROGRAMS[1:]:
                        shutil.copy2(BUILD / program, folder / program)
                run_sound_on_auto_right(self, BUILD, folder, self.work)


def run_sound_on_auto_right(test, build, folder, work):
    """Runs SCENARIO in the stand-in from a folder laid out by run_scenario.lay_out
    that holds the add-on's files, with the sound going to a capture in work."""
    env = run_scenario.wine_env(build)
    capture = work / "capture.raw"
    conf = work / "alsa.conf"
    conf.write_text(CAPTURE_CONF.format(capture=capture))
    env["ALSA_CONFIG_PATH"] = str(conf)
    trace_path = folder / "trace.jsonl"
    command = [run_scenario.WINE_RUN, "DrovanaSim.exe", "--scenario", run_scenario.windows_path(folder / "scenario.txt", env),
               "--trace", run_scenario.windows_path(trace_path, env)]
    done = subprocess.run(command, cwd=folder, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, timeout=420)
    trace = run_scenario.read_trace(trace_path) if trace_path.exists() else []
    texts = [r["text"] for r in trace if r.get("ev") == "text"]
    try:
        test.assertEqual(0, done.returncode, "the run did not reach \"Good luck !\":\n" +
                         done.stdout.decode("utf-8", "replace")[-3000:])
        test.assertIn("Request Pushback ! Your aircraft is Liner", texts)
        test.assertTrue(any("Heading = " in t for t in texts), "the aircraft never turned")
        test.assertTrue(has_sound(capture), "the packaged player played none of the packaged cues")
    finally:
        if capture.exists():
            capture.unlink()


def trees_from_arguments():
    """(the tree under test, the i686 tree that ships, the other arguments)."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    args, rest = parser.parse_known_args()
    build = Path(args.build).resolve()
    return build, Path(os.environ.get("DROVANA_SHIPPED_DIR") or build).resolve(), rest


def main():
    global BUILD, SHIPPED
    BUILD, SHIPPED, rest = trees_from_arguments()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
