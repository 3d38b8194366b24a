#!/usr/bin/env python3
"""The spoken cues of a checklist pushback, generated with espeak-ng.

Every sound-list section of Drovana.cfg gets one short phrase; the files are
plain 16-bit PCM WAVE files that Kestrola plays as they are.
"""
import argparse
import os
import subprocess
import sys

# section -> (file name, phrase)
CUES = {
    "Sound0": ("pushback_requested.wav", "Pushback requested"),
    "Sound1": ("brake_checked.wav", "Parking brake set"),
    "Sound2": ("engines_checked.wav", "Engines checked"),
    "Sound3": ("starting_pushback.wav", "Starting pushback"),
    "Sound4": ("pushback_complete.wav", "Pushback complete"),
    "Sound5": ("good_luck.wav", "Good luck"),
    "EngSound0": ("start_engine_one.wav", "Start engine one"),
    "EngSound1": ("start_engine_two.wav", "Start engine two"),
    "EngSound2": ("start_engine_three.wav", "Start engine three"),
    "EngSound3": ("start_engine_four.wav", "Start engine four"),
    "EngSound4": ("engine_start_complete.wav", "Engine start complete"),
    "PBSound0": ("set_parking_brake.wav", "Set parking brake"),
    "PBSound1": ("release_parking_brake.wav", "Release parking brake"),
    "PBSound2": ("set_parking_brake_after.wav", "Set parking brake"),
}


def generate(folder):
    """Writes every cue into folder (skipping files already there); returns the paths."""
    os.makedirs(folder, exist_ok=True)
    paths = {}
    for section, (name, phrase) in CUES.items():
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            subprocess.run(["espeak-ng", "-s", "170", "-w", path, phrase], check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        paths[section] = path
    return paths


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("folder")
    args = parser.parse_args()
    for section, path in generate(args.folder).items():
        print(f"{section}: {path}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
