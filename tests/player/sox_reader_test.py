"""Writes WAVE files with sox into a temporary folder and runs the reader's
tests on them under Wine."""
import argparse
import os
import subprocess
import sys
import tempfile

import sox_files

# Runs a Windows program in the lane of the tree named by DROVANA_BUILD_DIR.
WINE_RUN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "wine_run")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="kestrola-sox-") as folder:
        sox_files.write_files(folder, long_tone_seconds=1)
        env = dict(os.environ, DROVANA_SOX_DIR=folder, DROVANA_BUILD_DIR=os.path.abspath(args.build))
        program = os.path.join(args.build, "tests", "player_sox_tests.exe")
        return subprocess.run([WINE_RUN, program], env=env, timeout=300).returncode


if __name__ == "__main__":
    sys.exit(main())
