"""Writes WAVE files with sox into a temporary folder and runs the reader's
tests on them under Wine."""
import argparse
import os
import subprocess
import sys
import tempfile

import sox_files


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="kestrola-sox-") as folder:
        sox_files.write_files(folder, long_tone_seconds=1)
        env = dict(os.environ, DROVANA_SOX_DIR=folder)
        program = os.path.join(args.build, "tests", "player_sox_tests.exe")
        return subprocess.run(["wine", program], env=env, timeout=300).returncode


if __name__ == "__main__":
    sys.exit(main())
