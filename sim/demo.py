#!/usr/bin/env python3
"""./drovana demo: an automatic left pushback in the stand-in simulator
(--taxiway: a taxiway push, see demo_taxiway.py).

Runs sim/scenarios/demo.txt with the real DrovanaX.dll and shows, as the
trace of that run grows, what the add-on did: its connection, its menu, its
data definitions and requests, the aircraft key it learnt on SimStart, every
on-screen text (in red) and what reached the simulator. Then a summary of the
pushback and a picture of the ground track, build/demo/pushback.svg.

An add-on that does not run pushbacks yet (no "Request Pushback" text after
the pick) gives the report of its start only; so does --core.
"""

import argparse
import json
import math
import shutil
import subprocess
import sys
import time
from pathlib import Path

SIM = Path(__file__).resolve().parent
ROOT = SIM.parent
sys.path.insert(0, str(SIM))

import demo_taxiway  # noqa: E402
import run_scenario  # noqa: E402

RED, DIM, BOLD, RESET = "\x1b[31m", "\x1b[2m", "\x1b[1m", "\x1b[0m"
# The add-on's sphere: one minute of arc is 1852 m.
RADIUS = 1852.0 * 60.0 * 180.0 / math.pi


def ground_distance(lat0, lon0, lat, lon):
    u = math.sin(lat0) * math.sin(lat) + math.cos(lat0) * math.cos(lat) * math.cos(lon - lon0)
    return math.degrees(math.acos(max(-1.0, min(1.0, u)))) * 60 * 1852


def angle_diff(a, b):
    return (a - b + 180.0) % 360.0 - 180.0


def hresult(value):
    return "S_OK" if value == 0 else "0x%08X" % (value & 0xFFFFFFFF)


class LiveReport:
    """Prints the trace records that tell what the add-on did, as they come."""

    PERIODS = {0: "never", 1: "once", 2: "every visual frame", 3: "every sim frame", 4: "every second"}

    def __init__(self):
        self.items = 0
        self.key = None

    def line(self, label, text):
        print("%-12s %s" % (label, text), flush=True)

    def handle(self, r):
        ev, fn = r.get("ev"), r.get("fn")
        if ev == "load" and not r["ok"]:
            self.line("Load", "%s failed (error %s)" % (r["module"], r.get("error")))
        elif fn == "SimConnect_Open":
            self.line("Connection", 'SimConnect_Open "%s" -> %s' % (r["name"], hresult(r["result"])))
        elif fn == "SimConnect_CallDispatch":
            self.line("Dispatch", "callback registered -> %s" % hresult(r["result"]))
        elif fn == "SimConnect_MenuAddItem":
            self.line("Menu", '"%s" (event %d)' % (r["caption"], r["id"]))
        elif fn == "SimConnect_MenuAddSubItem":
            self.items += 1
            self.line("", '%2d. %-16s event %d' % (self.items, '"%s"' % r["caption"], r["id"]))
        elif fn == "SimConnect_AddToDataDefinition":
            self.line("Data", "definition %d: %s [%s] %s" % (r["definition"], r["variable"], r["units"],
                                                           r["datatype_name"]))
        elif fn == "SimConnect_SubscribeToSystemEvent":
            self.line("Subscribed", '"%s" as event %d' % (r["name"], r["event"]))
        elif fn == "SimConnect_RequestDataOnSimObject":
            self.line("Request", "%d: definition %d, user aircraft, %s" % (
                r["request"], r["definition"], self.PERIODS.get(r["period"], r["period"])))
        elif fn == "SimConnect_RequestSystemState":
            self.line("Asked", '"%s" (request %d)' % (r["state"], r["request"]))
        elif fn == "SimConnect_SetSystemState":
            self.line("Set", '"%s" = %d (%s thread)' % (r["state"], r["integer"], r["thread"]))
        elif ev == "deliver" and r.get("label") == "SimStart":
            self.line("SimStart", "sent to the add-on")
        elif ev == "deliver" and r.get("msg") == "SYSTEM_STATE":
            path = r["string"]
            if r["request"] == 6:
                base = path.replace("/", "\\").rsplit("\\", 1)[-1]
                self.key = base.rsplit(".", 1)[0] if "." in base else base
                self.line("Aircraft", "%s\n%-12s key \"%s\"" % (path, "", self.key))
            else:
                self.line("Reply", "request %d: %d" % (r["request"], r["integer"]))
        elif ev == "menu_pick":
            self.line("Picked", '"%s"%s' % (r["caption"], "" if r["found"] else " (no such item)"))
        elif ev == "text":
            print("%s[%8.2f] %s%s" % (RED, r["t"], r["text"], RESET), flush=True)
        elif ev == "key" and r["key"] in ("P", "1", "2"):
            name = ("Shift+" if r["shift"] else "") + r["key"]
            print("%s%-12s %s reached the simulator: %s%s" % (DIM, "Simulator", name, r["effect"], RESET),
                  flush=True)
        elif ev == "until" and not r["met"]:
            self.line("Timed out", r["command"])


def follow(process, trace_path, report):
    """Feeds the report with each complete trace line until the run ends."""
    records, buffer, handle = [], "", None
    while True:
        done = process.poll() is not None
        if handle is None and trace_path.exists():
            handle = open(trace_path, encoding="utf-8")
        if handle is not None:
            buffer += handle.read()
            while "\n" in buffer:
                text, buffer = buffer.split("\n", 1)
                if text.strip():
                    record = json.loads(text)
                    records.append(record)
                    report.handle(record)
        if done:
            break
        time.sleep(0.1)
    if handle is not None:
        handle.close()
    return records


class Track:
    """The pushback as the trace shows it."""

    def __init__(self, records):
        self.records = records
        states = [r for r in records if r["ev"] == "state"]
        self.states = states
        pick = next((r for r in records if r["ev"] == "menu_pick"), None)
        at_pick = [s for s in states if pick is None or s["t"] <= pick["t"]] or states[:1]
        self.gate = at_pick[-1]
        config = {(r["section"], r["key"]): r["value"] for r in records if r["ev"] == "config"}
        self.head = int(config.get(("Data", "Head"), 90))
        self.distance = int(config.get(("Data", "Distance"), 50))
        self.start_heading = self.gate["heading_deg"]
        left = pick is None or pick["caption"] == "Auto Left"
        target = self.start_heading + self.head if left else self.start_heading - self.head
        if left and target > 360:
            target -= 360
        if not left and target <= 0:
            target += 360
        self.target = target
        changes = [r for r in records if r["ev"] == "pushback"]
        self.turn_key = next((c for c in changes if c["change"] in ("turn_left", "turn_right")), None)
        self.turning = next((c for c in changes if c["change"] == "turning"), None)
        self.turn_end = None
        if self.turning is not None:
            self.turn_end = next((c for c in changes if c["t"] > self.turning["t"] and c["change"] == "started"),
                                 None)
        stops = [c for c in changes if c["change"] == "stopped"]
        self.stop = stops[-1] if stops else None
        self.final = states[-1]

    def metres(self, lat_deg, lon_deg):
        lat0, lon0 = math.radians(self.gate["lat_deg"]), math.radians(self.gate["lon_deg"])
        north = (math.radians(lat_deg) - lat0) * RADIUS
        east = (math.radians(lon_deg) - lon0) * RADIUS * math.cos(lat0)
        return east, north

    def distance_from_gate(self, r):
        return ground_distance(self.gate["lat_rad"], self.gate["lon_rad"], math.radians(r["lat_deg"]),
                               math.radians(r["lon_deg"]))

    def summary(self):
        lines = []
        if self.turn_key is not None:
            lines.append("Distance pushed before the turn key: %.1f m (setting %d m)" % (
                self.distance_from_gate(self.turn_key), self.distance))
        if self.turning is not None:
            lines.append("Rolled after the turn key before the heading changed: %.1f m" %
                         self.turning["since_turn_key_m"])
        if self.turn_end is not None and self.stop is not None:
            e1, n1 = self.metres(self.turn_end["lat_deg"], self.turn_end["lon_deg"])
            e2, n2 = self.metres(self.stop["lat_deg"], self.stop["lon_deg"])
            lines.append("Roll-out after the turn: %.1f m" % math.hypot(e2 - e1, n2 - n1))
        final = self.final["heading_deg"]
        lines.append("Start heading %.1f, target %.1f, final heading %.1f: %+.1f degrees from the target" % (
            self.start_heading, self.target, final, angle_diff(final, self.target)))
        return lines

    def svg(self):
        points = [self.metres(s["lat_deg"], s["lon_deg"]) for s in self.states]
        marks = []
        for record, label, colour in ((self.gate, "gate", "#1f6feb"), (self.turn_key, "turn key", "#d29922"),
                                      (self.turning, "turn begins", "#bf8700"),
                                      (self.turn_end, "turn ended", "#8250df"), (self.stop, "stopped", "#cf222e")):
            if record is not None:
                marks.append((self.metres(record["lat_deg"], record["lon_deg"]), label, colour))
        xs = [p[0] for p in points] + [m[0][0] for m in marks]
        ys = [p[1] for p in points] + [m[0][1] for m in marks]
        span = max(max(xs) - min(xs), max(ys) - min(ys), 20.0) + 30.0
        cx, cy = (max(xs) + min(xs)) / 2, (max(ys) + min(ys)) / 2
        size, margin = 640, 50
        scale = (size - 2 * margin) / span

        def px(p):
            return margin + (p[0] - cx) * scale + (size - 2 * margin) / 2, \
                margin + (cy - p[1]) * scale + (size - 2 * margin) / 2

        def arrow(origin, heading, length, colour, label):
            x0, y0 = px(origin)
            a = math.radians(heading)
            x1, y1 = x0 + math.sin(a) * length * scale, y0 - math.cos(a) * length * scale
            return ('<line x1="%.1f" y1="%.1f" x2="%.1f" y2="%.1f" stroke="%s" stroke-width="2" '
                    'marker-end="url(#head)" stroke-dasharray="6 3"/>'
                    '<text x="%.1f" y="%.1f" fill="%s" font-size="12">%s</text>' % (
                        x0, y0, x1, y1, colour, x1 + 4, y1 - 4, colour, label))

        out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d" '
               'font-family="sans-serif">' % (size, size + 60, size, size + 60),
               '<defs><marker id="head" markerWidth="8" markerHeight="8" refX="6" refY="4" orient="auto">'
               '<path d="M0,0 L8,4 L0,8 z" fill="#57606a"/></marker></defs>',
               '<rect width="100%" height="100%" fill="white"/>']
        step = 10.0
        lowest = math.floor((min(cx, cy) - span) / step) * step
        for i in range(int(4 * span / step) + 2):
            value = lowest + i * step
            x, _ = px((value, cy))
            _, y = px((cx, value))
            if margin <= x <= size - margin:
                out.append('<line x1="%.1f" y1="%d" x2="%.1f" y2="%d" stroke="#eaeef2"/>' % (x, margin, x, size - margin))
            if margin <= y <= size - margin:
                out.append('<line x1="%d" y1="%.1f" x2="%d" y2="%.1f" stroke="#eaeef2"/>' % (margin, y, size - margin, y))
        out.append('<polyline fill="none" stroke="#24292f" stroke-width="2" points="%s"/>' %
                   " ".join("%.1f,%.1f" % px(p) for p in points))
        out.append(arrow(points[0], self.start_heading, 15, "#1f6feb", "start heading %.0f" % self.start_heading))
        end = self.metres(self.stop["lat_deg"], self.stop["lon_deg"]) if self.stop else points[-1]
        out.append(arrow(end, self.target, 15, "#cf222e", "target heading %.0f" % self.target))
        for i, (point, label, colour) in enumerate(marks):
            x, y = px(point)
            out.append('<circle cx="%.1f" cy="%.1f" r="5" fill="%s"/>' % (x, y, colour))
            # Alternate sides, so that marks close together stay readable.
            right = i % 2 == 0
            out.append('<text x="%.1f" y="%.1f" font-size="13" fill="%s" text-anchor="%s">%s</text>' % (
                x + 9 if right else x - 9, y + 4, colour, "start" if right else "end", label))
        out.append('<text x="%d" y="%d" font-size="12" fill="#57606a">grid 10 m, north up</text>' % (
            margin, size - margin + 18))
        for i, text in enumerate(self.summary()):
            out.append('<text x="%d" y="%d" font-size="12">%s</text>' % (margin, size - 2 + i * 15,
                                                                       text.replace("&", "&amp;")))
        out.append("</svg>")
        return "\n".join(out)


def taxiway_demo(args):
    out = Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    print(BOLD + "DrovanaX in the stand-in simulator: scenarios/demo_taxiway.txt" + RESET)
    print("The Liner measures its turn, then pushes tail left onto the taxilane behind gate A1: about three minutes.")
    process, folder, trace_path = run_scenario.start(args.build, SIM / "scenarios" / "demo_taxiway.txt", name="demo",
                                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    records = follow(process, trace_path, LiveReport())
    shutil.copy2(trace_path, out / "trace.jsonl")
    print()
    airport = demo_taxiway.Airport((SIM / "scenery" / "default_airport.txt").read_text())
    lines, picture = demo_taxiway.report(records, airport, folder)
    print(BOLD + "Summary" + RESET)
    for line in lines:
        print("  " + line)
    (out / "summary.txt").write_text("\n".join(lines) + "\n")
    if picture is None or process.returncode != 0:
        print("The taxiway push did not end with \"Good luck !\"; trace: %s" % (out / "trace.jsonl"))
        return 1
    (out / "pushback.svg").write_text(picture)
    print("Ground track: %s" % (out / "pushback.svg"))
    print("Trace: %s" % (out / "trace.jsonl"))
    return 0 if demo_taxiway.within_accuracy(records, airport) else 1


def main():
    parser = argparse.ArgumentParser(description="A pushback in the stand-in simulator.")
    parser.add_argument("--build", required=True)
    parser.add_argument("--core", action="store_true", help="the add-on's start only, no pushback")
    parser.add_argument("--sound", action="store_true", help="accepted for ./drovana demo --sound, which runs tools/sound_demo.py instead")
    parser.add_argument("--taxiway", action="store_true",
                        help="Correct Value, then Taxiway Left from gate A1 onto the taxilane behind it")
    parser.add_argument("--out", default=str(ROOT / "build" / "demo"), help="where the picture and summary go")
    args = parser.parse_args()
    if args.taxiway:
        return taxiway_demo(args)

    scenario = SIM / "scenarios" / ("core.txt" if args.core else "demo.txt")
    out = Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    print(BOLD + "DrovanaX in the stand-in simulator: %s" % scenario.name + RESET)
    if not args.core:
        print("An automatic left pushback with the default settings takes about two and a half minutes.")
    process, folder, trace_path = run_scenario.start(args.build, scenario, name="demo",
                                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    report = LiveReport()
    records = follow(process, trace_path, report)
    shutil.copy2(trace_path, out / "trace.jsonl")
    print()
    if process.returncode not in (0, 2):
        print("The stand-in ended with code %d; trace: %s" % (process.returncode, trace_path))
        return 1
    started = any(r["ev"] == "text" and "Request Pushback" in r["text"] for r in records)
    if args.core or not started:
        if not args.core:
            print("The add-on showed no pushback after the pick: this build has its start only.")
        print("Trace: %s" % (out / "trace.jsonl"))
        return 0 if report.key is not None else 1
    if process.returncode != 0:
        print("The pushback did not end with \"Good luck !\"; trace: %s" % (out / "trace.jsonl"))
        return 1

    track = Track(records)
    lines = track.summary()
    print(BOLD + "Summary" + RESET)
    for line in lines:
        print("  " + line)
    (out / "summary.txt").write_text("\n".join(lines) + "\n")
    (out / "pushback.svg").write_text(track.svg())
    print("Ground track: %s" % (out / "pushback.svg"))
    print("Trace: %s" % (out / "trace.jsonl"))
    return 0 if abs(angle_diff(track.final["heading_deg"], track.target)) <= 2.0 else 1


if __name__ == "__main__":
    sys.exit(main())
