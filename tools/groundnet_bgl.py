#!/usr/bin/env python3
"""Writes FlightGear ground networks (ICAO.groundnet.xml) as FSX airport BGL files,
so that real airports nobody on this project drew can be read by the map program
and planned by the add-on's own planner.

  nodes           taxi points (hold points of type "normal" and "CAT..." as hold short)
  arcs            taxi paths, one per pair of nodes whatever the arcs' directions:
                  both ends on a runway: runway; every arc of the pair a pushback
                  arc (isPushBackRoute="1"): "path"; else taxi, named as the arc
  arcs to a stand parking paths, from the node to the parking spot
  parking         parking spots with heading and radius, pushback side none; a
                  one-letter name with a number is GATE_<letter> <number>, another
                  name GATE (gates) or PARKING (the rest) with its number

The file's author also marks where each pushback ends (the parking's
pushBackRoute names a node of holdPointType "PushBack"); `author_route` gives
that route for tools/compare_plans.py.

Use:  python3 tools/groundnet_bgl.py OUT.bgl FILE.groundnet.xml...   one BGL with every airport
"""
import heapq
import math
import re
import sys
import xml.etree.ElementTree as ElementTree
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import bgl_writer  # noqa: E402

METRES_PER_DEGREE = 1852.0 * 60.0
TAXI_WIDTH = 20.0
RUNWAY_WIDTH = 45.0
PARKING_TYPES = {'gate': 'GATE_MEDIUM', 'ga': 'RAMP_GA', 'cargo': 'RAMP_CARGO', 'mil-cargo': 'RAMP_MIL_CARGO',
                 'mil-fighter': 'RAMP_MIL_COMBAT'}


class GroundNet:
    """What a groundnet file says: stands, nodes and arcs by their own indices."""

    def __init__(self, ident):
        self.ident = ident
        self.parking = {}  # index -> dict: name, number, lat, lon, heading, radius, type, route
        self.nodes = {}    # index -> dict: lat, lon, runway, hold
        self.arcs = []     # (begin, end, pushback, name)
        self.quirks = []

    def position(self, index):
        spot = self.parking.get(index) or self.nodes[index]
        return spot['lat'], spot['lon']


def coordinate(text):
    """'N45 35.219605' -> 45.58699..., 'W122 35.5' -> -122.59..."""
    match = re.fullmatch(r'\s*([NSEW])\s*(\d+)\s+([\d.]+)\s*', text or '')
    if not match:
        raise ValueError('coordinate %r' % text)
    value = int(match.group(2)) + float(match.group(3)) / 60.0
    return -value if match.group(1) in 'SW' else value


def read(path):
    path = Path(path)
    net = GroundNet(path.name.split('.')[0].upper())
    root = ElementTree.parse(path).getroot()
    for p in root.iter('Parking'):
        route = p.get('pushBackRoute')
        net.parking[int(p.get('index'))] = {
            'name': p.get('name', ''), 'number': p.get('number', ''), 'lat': coordinate(p.get('lat')),
            'lon': coordinate(p.get('lon')), 'heading': float(p.get('heading', 0)),
            'radius': float(p.get('radius', 0)), 'type': p.get('type', ''),
            'route': int(route) if route not in (None, '', '-1') else None}
    for n in root.iter('node'):
        net.nodes[int(n.get('index'))] = {
            'lat': coordinate(n.get('lat')), 'lon': coordinate(n.get('lon')), 'runway': n.get('isOnRunway') == '1',
            'hold': n.get('holdPointType') or 'none'}
    known = set(net.parking) | set(net.nodes)
    for a in root.iter('arc'):
        begin, end = int(a.get('begin')), int(a.get('end'))
        if begin not in known or end not in known or begin == end:
            net.quirks.append('arc %d-%d: names no node or joins a node to itself; left out' % (begin, end))
            continue
        net.arcs.append((begin, end, a.get('isPushBackRoute') == '1', a.get('name', '')))
    return net


def metres(net, index, origin):
    """Metres east and north of origin, on the add-on's sphere."""
    lat, lon = net.position(index)
    return ((lon - origin[1]) * METRES_PER_DEGREE * math.cos(math.radians(origin[0])),
            (lat - origin[0]) * METRES_PER_DEGREE)


def author_route(net, stand):
    """The shortest chain of pushback arcs from the stand to the node its
    pushBackRoute names: (node indices from the stand, metres), or None."""
    goal = net.parking[stand]['route']
    if goal is None or goal not in net.nodes:
        return None
    origin = net.position(stand)
    edges = {}
    for begin, end, pushback, _ in net.arcs:
        if pushback:
            edges.setdefault(begin, []).append(end)
    best = {stand: 0.0}
    came = {}
    queue = [(0.0, stand)]
    while queue:
        dist, at = heapq.heappop(queue)
        if at == goal:
            chain = [at]
            while chain[-1] != stand:
                chain.append(came[chain[-1]])
            return chain[::-1], dist
        if dist > best.get(at, math.inf):
            continue
        ax, ay = metres(net, at, origin)
        for to in edges.get(at, ()):
            bx, by = metres(net, to, origin)
            d = dist + math.hypot(bx - ax, by - ay)
            if d < best.get(to, math.inf):
                best[to], came[to] = d, at
                heapq.heappush(queue, (d, to))
    return None


def ascii_name(text, size):
    return ''.join(c if 0x20 < ord(c) < 0x7F else '_' for c in text)[:size]


def parking_kind(spot, running):
    """NAME/TYPE and number of a stand as FSX can hold it."""
    name, number = spot['name'].strip(), spot['number'].strip()
    letter = re.fullmatch(r'([A-Za-z])[-_ ]?(\d+)', name)
    if letter and not number:
        name, number = letter.group(1), letter.group(2)
    ptype = PARKING_TYPES.get(spot['type'], 'RAMP_GA')
    if re.fullmatch(r'[A-Za-z]', name):
        kind = 'GATE_%s' % name.upper()
    else:
        kind = 'GATE' if spot['type'] == 'gate' else 'PARKING'
    if not (number.isdigit() and int(number) <= 0xFFF):
        digits = re.search(r'(\d+)$', name)
        number = digits.group(1) if digits and int(digits.group(1)) <= 0xFFF else str(running % 0x1000)
    return '%s/%s' % (kind, ptype), int(number)


def to_airport(net):
    """The network as bgl_writer's Airport, its reference the first stand or node."""
    first = min(net.parking) if net.parking else min(net.nodes)
    origin = net.position(first)
    airport = bgl_writer.Airport(net.ident, origin[0], origin[1])
    point_of, parking_of = {}, {}
    for index in sorted(net.nodes):
        node = net.nodes[index]
        east, north = metres(net, index, origin)
        hold = node['hold'].lower() not in ('none', 'pushback', '')
        point_of[index] = len(airport.points)
        airport.points.append(('n%d' % index, east, north, hold))
    for running, index in enumerate(sorted(net.parking)):
        spot = net.parking[index]
        kind, number = parking_kind(spot, running)
        east, north = metres(net, index, origin)
        radius = spot['radius'] if spot['radius'] > 0 else 20.0
        parking_of[index] = len(airport.parking)
        airport.parking.append(('s%d' % index, bgl_writer.parking_flags(kind, number, 'none'), east, north,
                                spot['heading'], radius))
    pairs = {}
    for begin, end, pushback, name in net.arcs:
        key = (min(begin, end), max(begin, end))
        kept = pairs.setdefault(key, [True, name])
        kept[0] = kept[0] and pushback
        if not kept[1]:
            kept[1] = name
    for (a, b), (pushback, name) in sorted(pairs.items()):
        if a in net.parking and b in net.parking:
            net.quirks.append('arc between stands %d and %d; left out' % (a, b))
            continue
        if a in net.parking or b in net.parking:
            node, spot = (b, a) if a in net.parking else (a, b)
            airport.paths.append((bgl_writer.PATH_TYPES['parking'], point_of[node], parking_of[spot], 0, 0,
                                  TAXI_WIDTH))
            continue
        if net.nodes[a]['runway'] and net.nodes[b]['runway']:
            airport.paths.append((bgl_writer.PATH_TYPES['runway'], point_of[a], point_of[b], 0, 0, RUNWAY_WIDTH))
            continue
        ptype = 'path' if pushback else 'taxi'
        name_index = airport.name_index(ascii_name(name, 8) or '-') if len(airport.names) < 255 else 0
        airport.paths.append((bgl_writer.PATH_TYPES[ptype], point_of[a], point_of[b], name_index, 0, TAXI_WIDTH))
    if len(airport.points) > 0xFFF:
        raise bgl_writer.DescriptionError('%s: %d nodes, more than a taxi path can index' %
                                          (net.ident, len(airport.points)))
    return airport


def quirks(net):
    """What in the data is odd for a pushback's measure, said once an airport."""
    said = list(net.quirks)
    radii = {round(s['radius'], 1) for s in net.parking.values()}
    if len(net.parking) > 5 and len(radii) == 1:
        said.append('every stand has radius %.1f m' % radii.pop())
    routes = [author_route(net, s) for s in net.parking]
    routes = [r for r in routes if r]
    single = [r for r in routes if len(r[0]) == 2]
    if routes and len(single) > 0.9 * len(routes):
        lengths = sorted(r[1] for r in single)
        said.append('%d of %d routes are one arc straight back (median %.0f m)' %
                    (len(single), len(routes), lengths[len(lengths) // 2]))
    return said


def main(argv):
    if len(argv) < 3:
        sys.stderr.write('use: groundnet_bgl.py OUT.bgl FILE.groundnet.xml...\n')
        return 2
    airports = []
    for path in argv[2:]:
        net = read(path)
        airports.append(to_airport(net))
        for said in quirks(net):
            print('%s: %s' % (net.ident, said))
    Path(argv[1]).write_bytes(bgl_writer.write_airports(airports))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
