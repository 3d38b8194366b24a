#!/usr/bin/env python3
"""Writes FSX airport BGL files from a small text description.

The stand-in simulator and the tests need airports whose stands and taxi lines
are known exactly; writing them from text keeps each test's airport readable
beside the test.  One command a line, '#' starts a comment, numbers decimal:

  airport ICAO LAT LON            starts an airport (reference latitude, longitude, degrees)
  point NAME EAST NORTH [hold]    a taxi point, metres east and north of the reference
  parking NAME KIND NUMBER EAST NORTH HEADING RADIUS PUSH
                                  a parking spot; KIND a name (PARKING, GATE, GATE_A..GATE_Z,
                                  N_PARKING..NW_PARKING, DOCK), a type (RAMP_GA, GATE_SMALL,
                                  GATE_MEDIUM, GATE_HEAVY, FUEL, VEHICLES ...) or NAME/TYPE;
                                  PUSH none|left|right|both
  path TYPE FROM TO NAME WIDTH    TYPE taxi|runway|parking|path|closed|vehicle; TO a parking
                                  NAME for parking paths; NAME a taxiway name or '-' (runway
                                  paths: the runway number, e.g. 09 or 27L)
  delete WHAT...                  a delete-airport record: taxiways runways starts coms
                                  approaches aprons helipads

Use:  python3 tools/bgl_writer.py DESCRIPTION.txt OUT.bgl
      import bgl_writer; data = bgl_writer.write(text)
      bgl_writer.write_airports([Airport, ...])   many airports built in code
"""
import math
import os
import struct
import sys

METRES_PER_MINUTE = 1852.0

HEADER_MAGIC = 0x19920201
HEADER_SECOND_MAGIC = 0x08051803
HEADER_SIZE = 0x38
SECTION_ENTRY_SIZE = 20
SUBSECTION_ENTRY_SIZE = 16
SECTION_AIRPORT = 0x03
SECTION_SIZE_FLAG = 1  # gives 16-byte subsection entries

RECORD_AIRPORT = 0x003C
AIRPORT_FIXED_SIZE = 0x38
RECORD_TAXI_POINTS = 0x001A
RECORD_TAXI_PATHS = 0x001C
RECORD_TAXI_NAMES = 0x001D
RECORD_PARKING = 0x003D
RECORD_DELETE = 0x0033

PATH_TYPES = {'taxi': 1, 'runway': 2, 'parking': 3, 'path': 4, 'closed': 5, 'vehicle': 6}
PUSH_SIDES = {'none': 0, 'left': 1, 'right': 2, 'both': 3}
DELETE_FLAGS = {'approaches': 0x01, 'aprons': 0x04, 'coms': 0x08, 'helipads': 0x10,
                'runways': 0x20, 'starts': 0x40, 'taxiways': 0x80}
RUNWAY_DESIGNATORS = {'': 0, 'L': 1, 'R': 2, 'C': 3, 'W': 4, 'A': 5, 'B': 6}

PARKING_NAMES = {'NONE': 0, 'PARKING': 1, 'N_PARKING': 2, 'NE_PARKING': 3, 'E_PARKING': 4,
                 'SE_PARKING': 5, 'S_PARKING': 6, 'SW_PARKING': 7, 'W_PARKING': 8,
                 'NW_PARKING': 9, 'GATE': 10, 'DOCK': 11}
for _i in range(26):
    PARKING_NAMES['GATE_' + chr(ord('A') + _i)] = 12 + _i
PARKING_TYPES = {'NONE': 0, 'RAMP_GA': 1, 'RAMP_GA_SMALL': 2, 'RAMP_GA_MEDIUM': 3,
                 'RAMP_GA_LARGE': 4, 'RAMP_CARGO': 5, 'RAMP_MIL_CARGO': 6, 'RAMP_MIL_COMBAT': 7,
                 'GATE_SMALL': 8, 'GATE_MEDIUM': 9, 'GATE_HEAVY': 10, 'DOCK_GA': 11,
                 'FUEL': 12, 'VEHICLES': 13}


class DescriptionError(ValueError):
    pass


def raw_longitude(lon):
    return max(0, min(0xFFFFFFFF, int(round((lon + 180.0) * (3 * 2 ** 28) / 360.0))))


def raw_latitude(lat):
    return max(0, min(0xFFFFFFFF, int(round((90.0 - lat) * (2 * 2 ** 28) / 180.0))))


def icao_code(ident):
    """Base 38 (blank 0, digits 2..11, letters 12..37), shifted left 5 bits."""
    value = 0
    for ch in ident.upper():
        if ch.isdigit():
            digit = 2 + ord(ch) - ord('0')
        elif 'A' <= ch <= 'Z':
            digit = 12 + ord(ch) - ord('A')
        else:
            raise DescriptionError('ident %r: letters and digits only' % ident)
        value = value * 38 + digit
    return (value << 5) & 0xFFFFFFFF


def qmid_cell(lat, lon, level=9):
    """The QMID of the cell that holds the position: u and v interleaved under a level bit.

    Only a file's cover is given by these cells; the map program finds airports by
    their records, so no FSX-compiled file has been needed to confirm the encoding."""
    u = raw_longitude(lon) >> (30 - level)
    v = raw_latitude(lat) >> (30 - level)
    cell = 0
    for bit in range(level):
        cell |= ((u >> bit) & 1) << (2 * bit)
        cell |= ((v >> bit) & 1) << (2 * bit + 1)
    return (cell | (1 << (2 * level))) & 0xFFFFFFFF


class Airport:
    def __init__(self, ident, lat, lon):
        if not 1 <= len(ident) <= 4:
            raise DescriptionError('ident %r: 1 to 4 letters or digits' % ident)
        icao_code(ident)
        self.ident, self.lat, self.lon = ident.upper(), lat, lon
        self.points = []       # (name, east, north, hold)
        self.parking = []      # (name, flags, east, north, heading, radius)
        self.paths = []        # (type, start, end, name index, designator, width)
        self.names = ['']      # taxi names; entry 0 is the empty one
        self.delete_flags = None

    def position(self, east, north):
        lat = self.lat + north / METRES_PER_MINUTE / 60.0
        lon = self.lon + east / (METRES_PER_MINUTE * 60.0 * math.cos(math.radians(self.lat)))
        return lat, lon

    def point_index(self, name):
        for i, p in enumerate(self.points):
            if p[0] == name:
                return i
        return None

    def parking_index(self, name):
        for i, p in enumerate(self.parking):
            if p[0] == name:
                return i
        return None

    def name_index(self, name):
        if name == '-':
            return 0
        if len(name.encode('latin-1')) > 8:
            raise DescriptionError('taxiway name %r: 8 characters at most' % name)
        if name not in self.names:
            self.names.append(name)
        return self.names.index(name)


def parking_flags(kind, number, push):
    name_part, _, type_part = kind.upper().partition('/')
    if type_part:
        if name_part not in PARKING_NAMES or type_part not in PARKING_TYPES:
            raise DescriptionError('parking kind %r: NAME/TYPE' % kind)
        name, ptype = PARKING_NAMES[name_part], PARKING_TYPES[type_part]
    elif name_part in PARKING_NAMES:
        name = PARKING_NAMES[name_part]
        ptype = PARKING_TYPES['GATE_MEDIUM'] if name_part.startswith('GATE') else PARKING_TYPES['RAMP_GA']
    elif name_part in PARKING_TYPES:
        name, ptype = PARKING_NAMES['PARKING'], PARKING_TYPES[name_part]
    else:
        raise DescriptionError('parking kind %r unknown' % kind)
    if push.lower() not in PUSH_SIDES:
        raise DescriptionError('pushback %r: none, left, right or both' % push)
    if not 0 <= number <= 0xFFF:
        raise DescriptionError('parking number %d: 0 to 4095' % number)
    return name | (PUSH_SIDES[push.lower()] << 6) | (ptype << 8) | (number << 12)


def runway_name(text):
    digits = text.rstrip('LRCWABlrcwab')
    suffix = text[len(digits):].upper()
    if not digits.isdigit() or suffix not in RUNWAY_DESIGNATORS:
        raise DescriptionError('runway %r: a number and L, R, C, W, A or B' % text)
    number = int(digits)
    if not 0 <= number <= 255:
        raise DescriptionError('runway number %d out of range' % number)
    return number, RUNWAY_DESIGNATORS[suffix]


def parse(text):
    airports = []
    for lineno, raw in enumerate(text.splitlines(), 1):
        words = raw.split('#', 1)[0].split()
        if not words:
            continue
        try:
            add_command(airports, words)
        except (DescriptionError, ValueError, IndexError) as e:
            raise DescriptionError('line %d: %s: %s' % (lineno, raw.strip(), e)) from None
    if not airports:
        raise DescriptionError('no airport line')
    return airports


def add_command(airports, words):
    cmd = words[0].lower()
    if cmd == 'airport':
        if len(words) != 4:
            raise DescriptionError('airport ICAO LAT LON')
        airports.append(Airport(words[1], float(words[2]), float(words[3])))
        return
    if not airports:
        raise DescriptionError('%s before any airport line' % cmd)
    a = airports[-1]
    if cmd == 'point':
        if len(words) not in (4, 5) or (len(words) == 5 and words[4].lower() != 'hold'):
            raise DescriptionError('point NAME EAST NORTH [hold]')
        if a.point_index(words[1]) is not None:
            raise DescriptionError('point %s twice' % words[1])
        a.points.append((words[1], float(words[2]), float(words[3]), len(words) == 5))
    elif cmd == 'parking':
        if len(words) != 9:
            raise DescriptionError('parking NAME KIND NUMBER EAST NORTH HEADING RADIUS PUSH')
        if a.parking_index(words[1]) is not None:
            raise DescriptionError('parking %s twice' % words[1])
        flags = parking_flags(words[2], int(words[3]), words[8])
        a.parking.append((words[1], flags, float(words[4]), float(words[5]),
                          float(words[6]), float(words[7])))
    elif cmd == 'path':
        if len(words) != 6:
            raise DescriptionError('path TYPE FROM TO NAME WIDTH')
        ptype = PATH_TYPES.get(words[1].lower())
        if ptype is None:
            raise DescriptionError('path type %r unknown' % words[1])
        start, end = words[2], words[3]
        if ptype == PATH_TYPES['parking']:
            if a.parking_index(start) is not None and a.point_index(end) is not None:
                start, end = end, start
            start_index, end_index = a.point_index(start), a.parking_index(end)
        else:
            start_index, end_index = a.point_index(start), a.point_index(end)
        if start_index is None or end_index is None:
            raise DescriptionError('path %s %s: no such point or parking' % (start, end))
        designator = 0
        if ptype == PATH_TYPES['runway']:
            name, designator = runway_name(words[4]) if words[4] != '-' else (0, 0)
        else:
            name = a.name_index(words[4])
        if name > 255:
            raise DescriptionError('more than 255 taxiway names')
        a.paths.append((ptype, start_index, end_index, name, designator, float(words[5])))
    elif cmd == 'delete':
        flags = a.delete_flags or 0
        for what in words[1:]:
            if what.lower() not in DELETE_FLAGS:
                raise DescriptionError('delete %r unknown' % what)
            flags |= DELETE_FLAGS[what.lower()]
        a.delete_flags = flags
    else:
        raise DescriptionError('unknown command %r' % cmd)


def subrecord(record_id, count, body):
    return struct.pack('<HIH', record_id, 6 + 2 + len(body), count) + body


def airport_record(a):
    subs = b''
    if len(a.names) > 1:
        body = b''.join(n.encode('latin-1').ljust(8, b'\0')[:8] for n in a.names)
        subs += subrecord(RECORD_TAXI_NAMES, len(a.names), body)
    if a.points:
        body = []
        for _, east, north, hold in a.points:
            lat, lon = a.position(east, north)
            body.append(struct.pack('<BBHII', 2 if hold else 1, 1, 0, raw_longitude(lon), raw_latitude(lat)))
        subs += subrecord(RECORD_TAXI_POINTS, len(a.points), b''.join(body))
    if a.parking:
        body = []
        for _, flags, east, north, heading, radius in a.parking:
            lat, lon = a.position(east, north)
            body.append(struct.pack('<Iff4fII', flags, radius, heading % 360.0, 0.0, 0.0, 0.0, 0.0,
                                    raw_longitude(lon), raw_latitude(lat)))
        subs += subrecord(RECORD_PARKING, len(a.parking), b''.join(body))
    if a.paths:
        body = []
        for ptype, start, end, name, designator, width in a.paths:
            body.append(struct.pack('<HHBBBBfII', start, (end & 0xFFF) | (designator << 12),
                                    ptype | 0x20 | 0x40, name, 0, 0, width, 0, 0))
        subs += subrecord(RECORD_TAXI_PATHS, len(a.paths), b''.join(body))
    if a.delete_flags is not None:
        # Flags, then no individual runway, start or frequency deletions.
        subs += struct.pack('<HIHBBBB', RECORD_DELETE, 12, a.delete_flags, 0, 0, 0, 0)
    apron_count = 0x80 if a.delete_flags is not None else 0
    lon, lat = raw_longitude(a.lon), raw_latitude(a.lat)
    fixed = struct.pack('<HI6BIIiIIifIIII', RECORD_AIRPORT, AIRPORT_FIXED_SIZE + len(subs),
                        0, 0, 0, 0, apron_count, 0,
                        lon, lat, 0, lon, lat, 0, 0.0,
                        icao_code(a.ident), 0, 0, 0)
    assert len(fixed) == AIRPORT_FIXED_SIZE
    return fixed + subs


def write(text):
    """The BGL file's bytes for a description."""
    return write_airports(parse(text))


def write_airports(airports):
    """The BGL file's bytes for Airport objects built directly: a generator of
    thousands of airports skips the text and its name lookups."""
    records = [airport_record(a) for a in airports]
    sections_at = HEADER_SIZE
    subsections_at = sections_at + SECTION_ENTRY_SIZE
    data_at = subsections_at + SUBSECTION_ENTRY_SIZE * len(airports)
    subsections = b''
    offset = data_at
    for a, rec in zip(airports, records):
        subsections += struct.pack('<IIII', qmid_cell(a.lat, a.lon), 1, offset, len(rec))
        offset += len(rec)
    section = struct.pack('<IIIII', SECTION_AIRPORT, SECTION_SIZE_FLAG, len(airports),
                          subsections_at, len(subsections))
    cells = [qmid_cell(a.lat, a.lon) for a in airports][:8]
    cells += [cells[-1]] * (8 - len(cells))
    header = struct.pack('<IIQII8I', HEADER_MAGIC, HEADER_SIZE, 0, HEADER_SECOND_MAGIC, 1, *cells)
    assert len(header) == HEADER_SIZE
    return header + section + subsections + b''.join(records)


def write_file(text_or_path, out_path):
    """Writes a description (given as text, or as the path of a text file) to out_path."""
    text = text_or_path
    if '\n' not in text_or_path and (os.path.isfile(text_or_path) or text_or_path.endswith('.txt')):
        # A one-line text naming a file is that file; a missing one says so.
        with open(text_or_path, encoding='utf-8') as f:
            text = f.read()
    data = write(text)
    with open(out_path, 'wb') as f:
        f.write(data)
    return data


def main(argv):
    if len(argv) != 3:
        sys.stderr.write('use: bgl_writer.py DESCRIPTION.txt OUT.bgl\n')
        return 2
    try:
        write_file(argv[1], argv[2])
    except (DescriptionError, OSError) as e:
        sys.stderr.write('bgl_writer: %s: %s\n' % (argv[1], e))
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
