"""The end of what each failed test printed, from CTest's LastTest.log.

CI keeps only the last part of a run's output; with -j5 a failure's own lines
sit far above the summary, so they are printed again after it.

    python3 failed_output.py BUILD/Testing/Temporary/LastTest.log [LINES]
"""

import re
import sys

BLOCK = re.compile(r"^\d+/\d+ Test: (?P<name>.+?)\n.*?^Output:\n-+\n(?P<output>.*?)^<end of output>\n"
                   r".*?^Test (?P<result>Passed|Failed)", re.M | re.S)


def main():
    log = open(sys.argv[1], encoding="utf-8", errors="replace").read()
    keep = int(sys.argv[2]) if len(sys.argv) > 2 else 60
    for m in BLOCK.finditer(log):
        if m.group("result") != "Failed":
            continue
        lines = m.group("output").splitlines()
        print("==== %s failed; its last %d lines ====" % (m.group("name"), min(keep, len(lines))))
        print("\n".join(lines[-keep:]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
