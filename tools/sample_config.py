#!/usr/bin/env python3
"""Writes the sample Drovana.cfg that ships in the package.

The [Data] and [Parking] keys hold the add-on's defaults, [PLANE_CORRECT] is
empty (a measurement fills it), and every sound-list section names one voice
cue. Comment lines explain each key.
"""
import argparse
import sys

sys.path.insert(0, __import__("os").path.dirname(__file__))
from voice_cues import FILES  # noqa: E402

HEADER = """\
; Drovana.cfg - settings of the DrovanaX pushback assistant.
; Keep this file in the simulator's installation folder, beside DrovanaX.dll.
; The add-on reads every value when it needs it, so edits take effect at the
; next pushback. Switches are on only when their value is exactly 1.

[Data]
; Head: turn angle of an automatic pushback, whole degrees.
Head=90
; Distance: straight push before the turn, whole metres.
Distance=50
; WavFlag: 1 plays the sound cues below, anything else keeps quiet.
WavFlag=0
; EngFlag: engine-start check. 0 none, 1 before, 2 during, 3 after the pushback.
EngFlag=0

[Parking]
; Check1: ask to set the parking brake before the pushback (1 on, 0 off).
Check1=0
; Check2: ask to release the parking brake before the pushback.
Check2=0
; Check3: ask to set the parking brake after the pushback.
Check3=0

[PLANE_CORRECT]
; One key per aircraft (its .air file name without extension), holding the
; metres it rolls after a turn command before it turns. "Correct Value" in the
; Drovana... menu measures and stores it; every pushback subtracts it, rounded,
; from Distance.

; Sound lists. Each section is one cue: Number_Sound is how many files it
; plays, keys 1, 2, 3 ... name the WAVE files in playing order (a path
; relative to the simulator folder, or a full path). The add-on looks up keys
; 1 to Number_Sound + 1, so a key just past the count plays too when present.
"""

WHEN = {
    "Sound0": "first step of every pushback",
    "Sound1": "after the set-parking-brake check before the pushback",
    "Sound2": "after the engine-start check before the pushback",
    "Sound3": "just before the pushback starts",
    "Sound4": "after the pushback has stopped",
    "Sound5": "last step, with \"Good luck !\"",
    "EngSound0": "asks to start engine 1",
    "EngSound1": "asks to start engine 2",
    "EngSound2": "asks to start engine 3",
    "EngSound3": "asks to start engine 4",
    "EngSound4": "the engine-start check is complete",
    "PBSound0": "\"Set Parking Brake!\" before the pushback",
    "PBSound1": "\"Release Parking Brake!\" before the pushback",
    "PBSound2": "\"Set Parking Brake!\" after the pushback",
}


def render(cue_folder="DrovanaX\\Sounds\\", wav_flag=0):
    text = HEADER.replace("WavFlag=0", f"WavFlag={wav_flag}")
    for section, name in FILES.items():
        text += f"\n[{section}]\n; {WHEN[section]}\nNumber_Sound=1\n1={cue_folder}{name}\n"
    return text.replace("\n", "\r\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("output")
    parser.add_argument("--cue-folder", default="DrovanaX\\Sounds\\")
    parser.add_argument("--wav-flag", type=int, default=0)
    args = parser.parse_args()
    with open(args.output, "w", newline="") as out:
        out.write(render(args.cue_folder, args.wav_flag))
    return 0


if __name__ == "__main__":
    sys.exit(main())
