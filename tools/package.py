#!/usr/bin/env python3
"""Builds build/DrovanaX-<version>.zip: what a pilot copies into the simulator."""
import argparse
import os
import re
import shutil
import sys
import tempfile
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import sample_config  # noqa: E402
import voice_cues  # noqa: E402


SOUNDS = "DrovanaX/Sounds/"
# The zip a pilot downloads stays below this; docs/figures.md gives its size.
LIMIT = 8 * 1024 * 1024


def project_version(build):
    cache = os.path.join(build, "CMakeCache.txt")
    with open(cache) as f:
        for line in f:
            m = re.match(r"CMAKE_PROJECT_VERSION:STATIC=(.*)", line.strip())
            if m:
                return m.group(1)
    raise SystemExit("no project version in " + cache)


def install_text():
    """INSTALL.txt with the table's languages in it; UTF-8 with a byte-order
    mark, so that Notepad shows "Français" and "中文" as they are."""
    with open(os.path.join(ROOT, "package", "INSTALL.txt"), encoding="ascii") as f:
        text = f.read()
    rows = "\n".join(f"     {code:<7}{name}" for code, name, _voice, _phrases in voice_cues.LANGUAGES)
    return "\ufeff" + text.replace("@LANGUAGES@", rows).replace("\n", "\r\n")


# The programs DrovanaSetup installs (with itself), as they leave the build.
PROGRAMS = ("DrovanaSetup.exe", "DrovanaX.dll", "Kestrola.exe", "DrovanaMap.exe")


def build_package(build, output=None):
    version = project_version(build)
    output = output or os.path.join(os.path.dirname(build), f"DrovanaX-{version}.zip")
    for name in PROGRAMS:
        if not os.path.isfile(os.path.join(build, name)):
            raise SystemExit(f"{name} is missing from {build}: build first")
    sets = voice_cues.generate_all(os.path.join(build, "voice-cues"))
    with zipfile.ZipFile(output, "w", zipfile.ZIP_DEFLATED) as z:
        for name in PROGRAMS:
            z.write(os.path.join(build, name), name)
        z.writestr("Drovana.cfg", sample_config.render())
        # Every language's set in a folder of its own; DrovanaSetup copies the
        # chosen one into DrovanaX\Sounds under the names Drovana.cfg uses.
        z.writestr(SOUNDS + voice_cues.INDEX, voice_cues.index_text().encode("utf-8"))
        for code, cues in sets.items():
            for path in cues.values():
                z.write(path, f"{SOUNDS}{code}/{os.path.basename(path)}")
        z.write(os.path.join(ROOT, "package", "dll.xml"), "dll.xml")
        z.writestr("INSTALL.txt", install_text())
    if os.path.getsize(output) >= LIMIT:
        raise SystemExit(f"{output} is {os.path.getsize(output)} bytes, over the {LIMIT} a download may take")
    return output


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True)
    parser.add_argument("--output")
    args = parser.parse_args()
    path = build_package(os.path.abspath(args.build), args.output)
    with zipfile.ZipFile(path) as z:
        for info in z.infolist():
            print(f"{info.file_size:>9}  {info.filename}")
    print(f"wrote {path} ({os.path.getsize(path)} bytes)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
