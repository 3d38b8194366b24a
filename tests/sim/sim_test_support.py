"""Shared by the stand-in simulator's tests: the build directory from
--build, and run_scenario from sim/."""

import os
import sys
import unittest
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(SOURCE / "sim"))

import run_scenario  # noqa: E402


def build_dir():
    argv = sys.argv
    if "--build" in argv:
        return Path(argv[argv.index("--build") + 1]).resolve()
    return Path(os.environ.get("DROVANA_BUILD_DIR", SOURCE / "build" / "release")).resolve()


def run(scenario, name, **kwargs):
    return run_scenario.run(build_dir(), scenario, name=name, **kwargs)


def main():
    argv = [a for i, a in enumerate(sys.argv) if a != "--build" and (i == 0 or sys.argv[i - 1] != "--build")]
    unittest.main(argv=argv, verbosity=2)
