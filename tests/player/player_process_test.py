"""Runs the real player under Wine in three ALSA set-ups.

alsa-lib reads ALSA_CONFIG_PATH in the process that plays, which inherits it
from the Unix environment of the `wine` command that started its ancestor;
neither the wineserver's environment nor a Windows environment block given to
CreateProcessA reaches it. So each set-up is its own `wine` run of the test
program with its own ALSA_CONFIG_PATH, and each capture set-up its own file.
"""
import argparse
import os
import subprocess
import sys
import tempfile

import sox_files

# Runs a Windows program in the lane of the tree named by DROVANA_BUILD_DIR.
WINE_RUN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "wine_run")

CAPTURE_CONF = """</usr/share/alsa/alsa.conf>
pcm.!default {{
  type file
  slave.pcm "null"
  file "{capture}"
  format "raw"
}}
"""
NO_DEVICE_CONF = """</usr/share/alsa/alsa.conf>
pcm.!default { type hw card 99 }
ctl.!default { type hw card 99 }
"""


def run(program, folder, conf, capture, test_filter):
    env = dict(os.environ, DROVANA_SOX_DIR=folder, ALSA_CONFIG_PATH=conf, DROVANA_CAPTURE_FILE=capture)
    print(f"--- {test_filter} with ALSA_CONFIG_PATH={conf}", flush=True)
    try:
        return subprocess.run([WINE_RUN, program, f"--gtest_filter={test_filter}"], env=env, timeout=400).returncode
    finally:
        if os.path.exists(capture):
            os.remove(capture)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    args = parser.parse_args()
    program = os.path.join(args.build, "tests", "player_process_tests.exe")
    with tempfile.TemporaryDirectory(prefix="kestrola-play-") as folder:
        sox_files.write_files(folder)
        confs = {}
        for name in ("players", "device"):
            capture = os.path.join(folder, f"capture-{name}.raw")
            conf = os.path.join(folder, f"alsa-{name}.conf")
            with open(conf, "w") as out:
                out.write(CAPTURE_CONF.format(capture=capture))
            confs[name] = (conf, capture)
        none_conf = os.path.join(folder, "alsa-none.conf")
        with open(none_conf, "w") as out:
            out.write(NO_DEVICE_CONF)

        results = [
            run(program, folder, *confs["players"], "PlayerProcess*:PlayerStartedByHand*"),
            run(program, folder, *confs["device"], "RealDevice*"),
            run(program, folder, none_conf, os.path.join(folder, "capture-none.raw"), "NoAudio*"),
        ]
    return 0 if all(code == 0 for code in results) else 1


if __name__ == "__main__":
    sys.exit(main())
