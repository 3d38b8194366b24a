#!/usr/bin/env python3
"""Plays one WAVE file through Kestrola the way the add-on does: starts the
player hidden, hands it the path by WM_COPYDATA, waits until its status query
answers idle again and ends it with WM_DESTROY. A quick check of the files a
sound list names.

  ./drovana play FILE.wav
  python3 tools/play.py --build BUILD_DIR FILE.wav   (ALSA environment set)

With the ALSA set-up that ./drovana exports, the sound goes into a capture
file of this play's own instead of a sound card; this reports whether audio
reached it. Playback into a capture file runs about 3.3 times faster than
real time (nothing paces the null device behind it).
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile
import time

# Runs a Windows program in the lane of the tree named by DROVANA_BUILD_DIR.
WINE_RUN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "wine_run")

# KestrolaSend's exit code when the player answered the hand-over with
# "no codec of this machine decodes this WAVE file".
UNDECODABLE = 4


def windows_path(path):
    try:
        out = subprocess.run([WINE_RUN, "winepath", "-w", path], check=True, capture_output=True,
                             text=True).stdout.strip()
        if out:
            return out
    except (OSError, subprocess.CalledProcessError):
        pass
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def capture_file():
    """The file the current ALSA set-up plays into, if it is a capture set-up."""
    conf = os.environ.get("ALSA_CONFIG_PATH")
    if not conf or not os.path.exists(conf):
        return None
    with open(conf) as text:
        match = re.search(r'file\s+"([^"]+)"', text.read())
    return match.group(1) if match else None


# The prefix's capture set-up with a file of this play's own. alsa-lib's file
# plugin truncates its file when the player opens the device, and every other
# player of the tree (tests, the demo) writes silence into the shared one for
# as long as it runs: a file of the prefix's, longer before the play than the
# play made it, hid this play's sound past the length measured beforehand.
OWN_CAPTURE_CONF = """</usr/share/alsa/alsa.conf>
pcm.!default {{
  type file
  slave.pcm "null"
  file "{capture}"
  format "raw"
}}
"""


def has_sound(path):
    if not path or not os.path.exists(path):
        return False
    with open(path, "rb") as data:
        while True:
            block = data.read(1 << 20)
            if not block:
                return False
            if block.count(0) != len(block):
                return True


def wait_until_written(path, settle=0.3, limit=10.0):
    """Waits until the capture file has stopped growing: the player has ended
    (KestrolaSend waits for that), and this waits out the last writes of its
    Unix side, which may come after Windows reports the process gone."""
    deadline = time.monotonic() + limit
    last = -1
    while time.monotonic() < deadline:
        size = os.path.getsize(path) if os.path.exists(path) else 0
        if size == last and size > 0:
            return
        last = size
        time.sleep(settle)


def main():
    parser = argparse.ArgumentParser(description="Play one WAVE file through Kestrola.")
    parser.add_argument("--build", required=True, help="build folder holding Kestrola.exe")
    parser.add_argument("--timeout", type=int, default=120, help="seconds to wait for the sound to end")
    parser.add_argument("file", help="the WAVE file to play")
    args = parser.parse_args()

    build = os.path.abspath(args.build)
    os.environ["DROVANA_BUILD_DIR"] = build
    player = os.path.join(build, "Kestrola.exe")
    sender = os.path.join(build, "bin", "KestrolaSend.exe")
    for needed in (player, sender):
        if not os.path.exists(needed):
            print(f"drovana play: {needed} is missing; build first")
            return 1
    if not os.path.exists(args.file):
        print(f"drovana play: no such file: {args.file}")
        return 1

    capture = capture_file()
    env = dict(os.environ)
    with tempfile.TemporaryDirectory(prefix="drovana-play-") as own:
        if capture:
            capture = os.path.join(own, "capture.raw")
            env["ALSA_CONFIG_PATH"] = os.path.join(own, "alsa-capture.conf")
            with open(env["ALSA_CONFIG_PATH"], "w") as conf:
                conf.write(OWN_CAPTURE_CONF.format(capture=capture))
        print(f"drovana play: {args.file}")
        result = subprocess.run([WINE_RUN, sender, windows_path(player), windows_path(args.file), str(args.timeout)],
                                capture_output=True, text=True, env=env)
        for line in result.stdout.splitlines():
            print("  " + line.rstrip())
        if result.returncode not in (0, 3, UNDECODABLE):
            print(f"  KestrolaSend failed ({result.returncode}) {result.stderr.strip()}")
        if result.returncode == UNDECODABLE:
            return result.returncode  # KestrolaSend has said so; no capture to look at
        if capture:
            if result.returncode == 0:
                wait_until_written(capture)
            heard = has_sound(capture)
            print("  audio reached the ALSA capture file" if heard else "  no audio reached the ALSA capture file")
            if not heard:
                return 1
    if result.returncode == 3:
        print("  the player took the file but played nothing: not a WAVE file DirectSound can play,"
              " or no audio device")
    return result.returncode


if __name__ == "__main__":
    sys.exit(main())
