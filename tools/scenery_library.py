#!/usr/bin/env python3
"""Writes a synthetic scenery library of a default FSX install's size.

The airport map must answer quickly on a whole library, and no real one may be
shipped or fetched: this one is made up, the same every time (a fixed seed).

  300 areas in Scenery.CFG, 2,500 BGL files, 24,000 airports; one airport in
  eight (3,000) carries a taxi network of 50 to 2,000 points (most are small,
  a few are large hubs); the other files are terrain and objects (a section
  table without an airport section), as most of a real library is.
  The last 30 areas are add-ons in higher layers: 300 airports of the lower
  layers again, 200 with a network of their own, 50 deleting the lower
  network, 50 without one (the lower one stays).

Use:  python3 tools/scenery_library.py OUT_FOLDER
      writes OUT_FOLDER/Scenery.CFG, OUT_FOLDER/library/<area>/scenery/*.bgl
      and OUT_FOLDER/positions.txt (ICAO LAT LON of airports with networks,
      the hubs first) for the benchmark to ask about.
"""
import math
import os
import random
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bgl_writer  # noqa: E402

BASE_AREAS = 270
ADDON_AREAS = 30
FILES = 2500
AIRPORTS = 24000
NETWORK_EVERY = 8          # 3,000 networks
REPLACED, DELETED, BARE = 200, 50, 50
SEED = 24

# Terrain and object files: a section table naming a section that is no
# airport (0x65 terrain elevation), then filler of the size such files have.
FILLER_SECTION = 0x65


def ident(n):
    letters = 'ABCDEFGHIJKLMNOPQRSTUVWXYZ'
    return letters[n // 26 ** 3 % 26] + letters[n // 26 ** 2 % 26] + letters[n // 26 % 26] + letters[n % 26]


def area_region(k):
    """Area k of the base layers covers a tile 20 degrees wide, 10 high."""
    col, row = k % 18, k // 18
    return -70.0 + row * 10.0, -180.0 + col * 20.0


def network(airport, points, rng):
    """A grid of taxi lines with stands along its first row."""
    side = max(2, int(math.sqrt(points)))
    for i in range(points):
        airport.points.append(('', (i % side) * 40.0, (i // side) * 40.0, i % 17 == 0))
    for i in range(points - 1):
        if (i + 1) % side:
            airport.paths.append((1, i, i + 1, 1 + i // side % 3, 0, 20.0))
        if i + side < points:
            airport.paths.append((1, i, i + side, 4, 0, 23.0))
    airport.names += ['A', 'B', 'C', 'T']
    stands = min(300, max(2, points // 8))
    for s in range(stands):
        number = s + 1
        flags = 12 + s % 26 | (rng.randrange(4) << 6) | (9 << 8) | (number << 12)
        airport.parking.append(('', flags, (s % side) * 40.0, -45.0 - (s // side) * 60.0, 180.0, 20.0))
        airport.paths.append((3, s % side, s, 0, 0, 15.0))


def network_size(rng):
    # Most networks are small fields; a few hundred are large hubs.
    return int(50 + 1950 * rng.random() ** 6)


def filler(rng):
    size = rng.choice((2048, 4096, 8192))
    section = struct.pack('<IIIII', FILLER_SECTION, 1, 1, bgl_writer.HEADER_SIZE + 20, 16)
    sub = struct.pack('<IIII', 0, 1, bgl_writer.HEADER_SIZE + 36, size)
    header = struct.pack('<IIQII8I', bgl_writer.HEADER_MAGIC, bgl_writer.HEADER_SIZE, 0,
                         bgl_writer.HEADER_SECOND_MAGIC, 1, *([0] * 8))
    return header + section + sub + bytes(size)


def write(out):
    rng = random.Random(SEED)
    library = os.path.join(out, 'library')
    cfg = ['[General]\r\nTitle=DrovanaX synthetic library\r\n']
    positions = []
    base = {}  # ident -> (lat, lon, has network)
    files_written = 0
    airport_files = BASE_AREAS * 2 + ADDON_AREAS
    filler_per_area = (FILES - airport_files) // BASE_AREAS
    filler_extra = (FILES - airport_files) % BASE_AREAS
    per_area = AIRPORTS // BASE_AREAS
    n = 0
    for k in range(BASE_AREAS):
        name = 'Region%03d' % (k + 1)
        folder = os.path.join(library, name, 'scenery')
        os.makedirs(folder, exist_ok=True)
        cfg.append('[Area.%03d]\r\nTitle=%s\r\nLocal=library\\%s\r\nLayer=%d\r\nActive=TRUE\r\nRequired=FALSE\r\n'
                   % (k + 1, name, name, k + 1))
        south, west = area_region(k)
        count = per_area + (1 if k < AIRPORTS % BASE_AREAS else 0)
        halves = ([], [])
        for _ in range(count):
            half = rng.randrange(2)
            lat = south + rng.random() * 10.0
            lon = west + half * 10.0 + rng.random() * 10.0
            a = bgl_writer.Airport(ident(n), lat, lon)
            if n % NETWORK_EVERY == 0:
                network(a, network_size(rng), rng)
                positions.append((len(a.points), a.ident, lat, lon))
            base[a.ident] = (lat, lon, bool(a.paths))
            halves[half].append(a)
            n += 1
        for half, airports in enumerate(halves):
            if airports:
                with open(os.path.join(folder, 'APX%03d%d.bgl' % (k + 1, half)), 'wb') as f:
                    f.write(bgl_writer.write_airports(airports))
                files_written += 1
        for i in range(filler_per_area + (1 if k < filler_extra else 0)):
            with open(os.path.join(folder, 'OBJ%03d_%02d.bgl' % (k + 1, i)), 'wb') as f:
                f.write(filler(rng))
            files_written += 1
    with_network = sorted(i for i, v in base.items() if v[2])
    without = sorted(i for i, v in base.items() if not v[2])
    chosen = rng.sample(with_network, REPLACED + DELETED) + rng.sample(without, BARE)
    per_addon = len(chosen) // ADDON_AREAS
    for j in range(ADDON_AREAS):
        name = 'Addon%02d' % (j + 1)
        folder = os.path.join(library, name, 'scenery')
        os.makedirs(folder, exist_ok=True)
        number = BASE_AREAS + j + 1
        cfg.append('[Area.%03d]\r\nTitle=%s\r\nLocal=library\\%s\r\nLayer=%d\r\nActive=TRUE\r\nRequired=FALSE\r\n'
                   % (number, name, name, number))
        airports = []
        for i, icao in enumerate(chosen[j * per_addon:(j + 1) * per_addon]):
            lat, lon, _ = base[icao]
            a = bgl_writer.Airport(icao, lat, lon)
            at = j * per_addon + i
            if at < REPLACED:
                network(a, network_size(rng), rng)
            elif at < REPLACED + DELETED:
                a.delete_flags = bgl_writer.DELETE_FLAGS['taxiways']
            airports.append(a)
        with open(os.path.join(folder, 'AF2_%s.bgl' % name), 'wb') as f:
            f.write(bgl_writer.write_airports(airports))
        files_written += 1
    with open(os.path.join(out, 'Scenery.CFG'), 'w', newline='') as f:
        f.write('\r\n'.join(cfg))
    positions.sort(key=lambda p: -p[0])
    with open(os.path.join(out, 'positions.txt'), 'w') as f:
        for _, icao, lat, lon in positions:
            f.write('%s %.7f %.7f\n' % (icao, lat, lon))
    return files_written


def main(argv):
    if len(argv) != 2:
        sys.stderr.write('use: scenery_library.py OUT_FOLDER\n')
        return 2
    count = write(argv[1])
    print('scenery_library: %d BGL files in %s' % (count, argv[1]))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
