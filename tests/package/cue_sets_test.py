#!/usr/bin/env python3
"""The voice cue sets: the phrase table stops a build that lacks a phrase, every
language's folder holds exactly the 14 files the sample Drovana.cfg names, and
the player's own reader takes each of them (cue_set_test.cpp, under Wine)."""
import argparse
import os
import subprocess
import sys
import unittest
import wave
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(SOURCE / "tools"))
import voice_cues  # noqa: E402

WINE_RUN = str(SOURCE / "tools" / "wine_run")
BUILD = None


class CueSetsTest(unittest.TestCase):
    def test_a_missing_or_empty_phrase_stops_the_build_naming_language_and_section(self):
        code, name, voice, phrases = voice_cues.LANGUAGES[1]
        for broken in ({k: v for k, v in phrases.items() if k != "EngSound2"}, dict(phrases, EngSound2="  ")):
            saved = list(voice_cues.LANGUAGES)
            voice_cues.LANGUAGES[1] = (code, name, voice, broken)
            try:
                with self.assertRaises(SystemExit) as stop:
                    voice_cues.generate(str(BUILD / "voice-cues-never"), code)
            finally:
                voice_cues.LANGUAGES[:] = saved
            self.assertIn(f"{name} ({code})", str(stop.exception))
            self.assertIn("[EngSound2]", str(stop.exception))
        self.assertFalse((BUILD / "voice-cues-never").exists())

    def test_every_set_is_complete_and_read_by_the_players_reader(self):
        folder = BUILD / "voice-cues"
        sets = voice_cues.generate_all(str(folder))
        self.assertGreaterEqual(len(sets), 12)
        lines = []
        for code, cues in sets.items():
            names = sorted(n for n in os.listdir(folder / code) if n.endswith(".wav"))
            self.assertEqual(sorted(voice_cues.FILES.values()), names, code)
            self.assertEqual(14, len(names))
            for path in cues.values():
                with wave.open(path) as w:
                    data_size = w.getnframes() * w.getsampwidth() * w.getnchannels()
                lines.append(f"{code}\\{os.path.basename(path)}|open|1|1|0|16|0|{data_size}|-|1")
        (folder / "manifest.txt").write_text("\n".join(lines) + "\n")
        env = dict(os.environ, DROVANA_SOX_DIR=str(folder), DROVANA_CUE_COUNT=str(len(lines)),
                   DROVANA_BUILD_DIR=str(BUILD))
        done = subprocess.run([WINE_RUN, str(BUILD / "tests" / "cue_set_tests.exe")], env=env, timeout=300,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.assertEqual(0, done.returncode, done.stdout.decode("utf-8", "replace")[-4000:])


def main():
    global BUILD
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    args, rest = parser.parse_known_args()
    BUILD = Path(args.build).resolve()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
