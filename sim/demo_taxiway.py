"""./drovana demo --taxiway: the picture and the summary of a taxiway push.

The airport is the stand-in's default one (sim/scenery/default_airport.txt):
its taxi lines and stands are drawn from that description, the planned path
from the plan's text (push D m, turn A deg) and the radius "Correct Value"
stored, and the track from the trace. The summary gives the end's distance
from the chosen line's centre-line and its heading error.
"""

import configparser
import math
import re

PLAN = re.compile(r"Taxiway (\S+): push (\d+) m, turn (\d+) deg")
COLOURS = {"taxi": "#8c959f", "path": "#afb8c1", "runway": "#24292f", "parking": "#d0d7de"}


class Airport:
    """Points, paths and stands of a writer description, in metres east and north of its reference."""

    def __init__(self, text):
        self.points, self.paths, self.stands = {}, [], []
        self.lat = self.lon = 0.0
        for raw in text.splitlines():
            w = raw.split("#")[0].split()
            if not w:
                continue
            if w[0] == "airport":
                self.lat, self.lon = float(w[2]), float(w[3])
            elif w[0] == "point":
                self.points[w[1]] = (float(w[2]), float(w[3]))
            elif w[0] == "parking":
                self.stands.append((w[1], float(w[4]), float(w[5]), float(w[6]), float(w[7]), w[8]))
                self.points[w[1]] = (float(w[4]), float(w[5]))
            elif w[0] == "path":
                self.paths.append((w[1], w[2], w[3], w[4]))

    def metres(self, lat, lon):
        scale = 1852.0 * 60.0
        return (lon - self.lon) * scale * math.cos(math.radians(self.lat)), (lat - self.lat) * scale

    def segments(self, name):
        return [(self.points[a], self.points[b]) for kind, a, b, n in self.paths if n == name and kind in ("taxi", "path")]


def line_error(segments, point, heading):
    """Metres from the nearest segment's centre-line, and degrees off its direction either way."""
    best = None
    for (x0, y0), (x1, y1) in segments:
        dx, dy = x1 - x0, y1 - y0
        t = max(0.0, min(1.0, ((point[0] - x0) * dx + (point[1] - y0) * dy) / (dx * dx + dy * dy)))
        off = math.hypot(point[0] - x0 - t * dx, point[1] - y0 - t * dy)
        angle = abs((heading - math.degrees(math.atan2(dx, dy)) + 90.0) % 180.0 - 90.0)
        if best is None or off < best[0]:
            best = (off, angle)
    return best


def planned_path(start, heading, push, turn, radius, left):
    """Straight back `push` metres, then `turn` degrees at `radius` to the tail's side, then the 5 m roll-out."""
    path = [start]
    back = math.radians(heading + 180.0)
    x, y = start[0] + push * math.sin(back), start[1] + push * math.cos(back)
    path.append((x, y))
    sign = 1.0 if left else -1.0
    step = 1.0
    turned = 0.0
    while turned < turn:
        d = min(step, turn - turned)
        turned += d
        # Arc length radius * d (radians), in the motion's direction at mid-step.
        bearing = math.radians(heading + 180.0 + sign * (turned - d / 2))
        length = radius * math.radians(d)
        x, y = x + length * math.sin(bearing), y + length * math.cos(bearing)
        path.append((x, y))
    bearing = math.radians(heading + 180.0 + sign * turn)
    path.append((x + 5.0 * math.sin(bearing), y + 5.0 * math.cos(bearing)))
    return path


def end_error(records, airport):
    """The end's metres from the planned line's centre-line and degrees off its direction, or None."""
    plans = [m for m in (PLAN.fullmatch(r["text"]) for r in records if r["ev"] == "text") if m]
    states = [r for r in records if r["ev"] == "state"]
    if not plans or not states:
        return None
    final = states[-1]
    return line_error(airport.segments(plans[-1].group(1)), airport.metres(final["lat_deg"], final["lon_deg"]),
                      final["heading_deg"])


def within_accuracy(records, airport):
    error = end_error(records, airport)
    return error is not None and error[0] <= 2.0 and error[1] <= 2.0


def report(records, airport, folder):
    """Summary lines and the SVG text of the run, or (lines, None) when no plan ran."""
    texts = [r["text"] for r in records if r["ev"] == "text"]
    plans = [m for m in (PLAN.fullmatch(t) for t in texts) if m]
    refusals = [t for t in texts if t.startswith("Taxiway:")]
    if not plans:
        return ["No plan: %s" % (refusals[-1] if refusals else "the add-on showed no taxiway text")], None
    plan = plans[-1]
    pick = [r for r in records if r["ev"] == "menu_pick" and r["caption"].startswith("Taxiway")][-1]
    states = [r for r in records if r["ev"] == "state"]
    at_pick = [s for s in states if s["t"] <= pick["t"]][-1]
    start = airport.metres(at_pick["lat_deg"], at_pick["lon_deg"])
    config = configparser.ConfigParser(strict=False)
    config.optionxform = str
    config.read(folder / "Drovana.cfg")
    key = at_pick.get("aircraft", "Liner")
    radius = float(config.get("PLANE_RADIUS", key, fallback="0") or 0)
    left = pick["caption"] == "Taxiway Left"
    planned = planned_path(start, at_pick["heading_deg"], int(plan.group(2)), int(plan.group(3)), radius, left)
    track = [airport.metres(s["lat_deg"], s["lon_deg"]) for s in states if s["t"] >= pick["t"]]
    final = states[-1]
    off, angle = end_error(records, airport)
    lines = [plan.group(0) + " (tail %s, radius %.1f m from Correct Value)" % ("left" if left else "right", radius),
             "End: %.2f m from the centre-line of %s, %.2f degrees off its direction (final heading %.1f)" % (
                 off, plan.group(1), angle, final["heading_deg"])]
    return lines, svg(airport, planned, track, lines)


def svg(airport, planned, track, lines):
    xs = [p[0] for p in planned + track]
    ys = [p[1] for p in planned + track]
    span = max(max(xs) - min(xs), max(ys) - min(ys)) + 60.0
    cx, cy = (max(xs) + min(xs)) / 2, (max(ys) + min(ys)) / 2
    size, margin = 640, 40
    scale = (size - 2 * margin) / span

    def px(p):
        return margin + (p[0] - cx) * scale + (size - 2 * margin) / 2, margin + (cy - p[1]) * scale + (size - 2 * margin) / 2

    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" font-family="sans-serif">' % (size, size + 50),
           '<rect width="100%" height="100%" fill="white"/>',
           '<clipPath id="map"><rect x="%d" y="%d" width="%d" height="%d"/></clipPath>' % (
               margin, margin, size - 2 * margin, size - 2 * margin),
           '<g clip-path="url(#map)">']
    for kind, a, b, name in airport.paths:
        (x0, y0), (x1, y1) = px(airport.points[a]), px(airport.points[b])
        width = 3 if kind == "parking" else 6
        out.append('<line x1="%.1f" y1="%.1f" x2="%.1f" y2="%.1f" stroke="%s" stroke-width="%d" '
                   'stroke-linecap="round"/>' % (x0, y0, x1, y1, COLOURS.get(kind, "#d0d7de"), width))
        if name != "-" and kind != "parking":
            out.append('<text x="%.1f" y="%.1f" font-size="12" fill="#57606a">%s</text>' % (
                (x0 + x1) / 2 + 6, (y0 + y1) / 2 - 6, name))
    for name, east, north, heading, radius, push in airport.stands:
        x, y = px((east, north))
        out.append('<circle cx="%.1f" cy="%.1f" r="%.1f" fill="none" stroke="#1f6feb" stroke-dasharray="3 3"/>'
                   '<text x="%.1f" y="%.1f" font-size="12" fill="#1f6feb">%s (push %s)</text>' % (
                       x, y, radius * scale, x + 4, y - 4, name, push))
    out.append('<polyline fill="none" stroke="#d29922" stroke-width="3" stroke-dasharray="8 4" points="%s"/>' %
               " ".join("%.1f,%.1f" % px(p) for p in planned))
    out.append('<polyline fill="none" stroke="#24292f" stroke-width="1.5" points="%s"/>' %
               " ".join("%.1f,%.1f" % px(p) for p in track))
    x, y = px(track[-1])
    out.append('<circle cx="%.1f" cy="%.1f" r="4" fill="#cf222e"/>' % (x, y))
    out.append("</g>")
    out.append('<text x="%d" y="%d" font-size="12" fill="#57606a">taxi lines grey, stands blue, planned path '
               'orange (dashed), track black, end red; north up</text>' % (margin, size - margin + 16))
    for i, text in enumerate(lines):
        out.append('<text x="%d" y="%d" font-size="12">%s</text>' % (margin, size - 4 + i * 16, text.replace("&", "&amp;")))
    out.append("</svg>")
    return "\n".join(out)
