#!/usr/bin/env python3
"""Measures how far stored tracks stray from long recordings.

    bench/shape_quality.py [--build build/release] [--files 8] [--svg NAME]

Generates deterministic multi-day recordings of 12 000 to 25 000 points
(kept in build/shape-quality): walks, rides and drives with turns, stops with
GPS jitter, switchback climbs, signal gaps and overnight jumps of several km.
Each is stored with `wayconv --batch --thin even`, `--thin shape`, and thinned
by `gpsbabel -x simplify,count=9996` for comparison. The error of a dropped
point is its distance from the stored segment between the kept points around
it, in a plane tangent at the segment's mean latitude; the table gives the
largest and the mean error of every method and file, in metres to 1 mm.
With --svg NAME, also stores a week of drives over one mountain pass both
ways and writes their pictures, NAME-even.svg and NAME-shape.svg.
"""
import argparse
import math
import os
import random
import struct
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

CAPACITY = 9996
LAT_METERS = 111195.48679259
LON_METERS_EQUATOR = 6371032 * math.pi / 180


def recording(seed, count):
    """Points (latitude, longitude) of one multi-day recording."""
    rng = random.Random(seed)
    lat = rng.uniform(44.0, 48.0)
    lon = rng.uniform(6.0, 12.0)
    heading = rng.uniform(0, 2 * math.pi)
    points = []

    def move(meters, angle):
        nonlocal lat, lon
        lat += meters * math.cos(angle) / LAT_METERS
        lon += meters * math.sin(angle) / (LON_METERS_EQUATOR * math.cos(math.radians(lat)))

    def record(noise):
        jitter_n, jitter_e = rng.gauss(0, noise), rng.gauss(0, noise)
        points.append((lat + jitter_n / LAT_METERS,
                       lon + jitter_e / (LON_METERS_EQUATOR * math.cos(math.radians(lat)))))

    while len(points) < count:
        # One day: a walk, a ride or a drive, logged every few seconds.
        step, noise = rng.choice([(6.0, 3.0), (20.0, 3.0), (70.0, 4.0)])
        day_end = len(points) + rng.randint(1500, 5000)
        while len(points) < min(day_end, count):
            event = rng.random()
            if event < 0.01:  # a stop: standing with jitter
                for _ in range(rng.randint(20, 200)):
                    record(noise)
            elif event < 0.015:  # switchbacks up a slope
                climb = heading
                for turn in range(rng.randint(4, 12)):
                    leg = climb + (math.pi / 2 if turn % 2 == 0 else -math.pi / 2)
                    for _ in range(rng.randint(8, 30)):
                        move(step * 0.5, leg + rng.gauss(0, 0.05))
                        record(noise)
                    for _ in range(3):
                        move(step * 0.3, climb)
                        record(noise)
            elif event < 0.017:  # lost signal for a kilometre or more
                move(rng.uniform(1100, 3000), heading)
            elif event < 0.05:  # a sharp turn
                heading += rng.choice([-1, 1]) * rng.uniform(1.0, 2.2)
            else:
                heading += rng.gauss(0, 0.12)
                move(step * rng.uniform(0.6, 1.4), heading)
                record(noise)
        # Overnight: on to the next day's start, far away.
        move(rng.uniform(3000, 40000), rng.uniform(0, 2 * math.pi))
    return [(round(a, 7), round(b, 7)) for a, b in points[:count]]


def pass_week(seed, count):
    """Points of a week of drives over the same mountain pass and back, a
    point every 60 to 100 m, with a night's parking 2 km off the road: the
    recording of the README's picture."""
    rng = random.Random(seed)
    road = [(0.0, 0.0)]  # metres east, north
    for turn in range(30):  # hairpins 70 m apart, legs of 450 m
        east = 450.0 if turn % 2 == 0 else 0.0
        road.append((east, turn * 70.0))
        road.append((east, turn * 70.0 + 70.0))
    road.append((road[-1][0] + 3000.0, road[-1][1] + 1500.0))
    lat0, lon0 = 46.55, 8.40
    points = []

    def record(east, north):
        lat = lat0 + (north + rng.gauss(0, 3)) / LAT_METERS
        lon = lon0 + (east + rng.gauss(0, 3)) / (LON_METERS_EQUATOR * math.cos(math.radians(lat0)))
        points.append((round(lat, 7), round(lon, 7)))

    def drive(route):
        for (e0, n0), (e1, n1) in zip(route, route[1:]):
            length = math.hypot(e1 - e0, n1 - n0)
            done = 0.0
            while done < length:
                record(e0 + (e1 - e0) * done / length, n0 + (n1 - n0) * done / length)
                done += rng.uniform(60, 100)

    while len(points) < count:
        drive(road)
        drive(road[::-1])
        record(-2000.0, -500.0)  # parked for the night
    return points[:count]


def write_gpx(path, points):
    with open(path, "w") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n'
                '<gpx version="1.1" creator="shape_quality" '
                'xmlns="http://www.topografix.com/GPX/1/1">\n<trk><trkseg>\n')
        for lat, lon in points:
            f.write(f'<trkpt lat="{lat:.7f}" lon="{lon:.7f}"/>\n')
        f.write("</trkseg></trk>\n</gpx>\n")


def semicircles(degrees):
    return math.floor(degrees * 2147483648.0 * 0.005555555555555556 + 0.5)


def words(point):
    lat, lon = point
    return (semicircles(lat) & 0x7FFFFFFF, semicircles(lon) % 4294967296)


def kept_in_track_file(path, points):
    """Indices of the points a track file stored, matched in order."""
    with open(path, "rb") as f:
        image = f.read()
    count = struct.unpack_from("<i", image, 0)[0]
    stored = [struct.unpack_from("<II", image, 8 + 8 * i) for i in range(count)]
    kept, j = [], 0
    for lon_word, lat_word in stored:
        while words(points[j]) != (lat_word & 0x7FFFFFFF, lon_word):
            j += 1
        kept.append(j)
        j += 1
    return kept


def kept_by_gpsbabel(path, points):
    root = ElementTree.parse(path).getroot()
    out = [(f"{float(e.get('lat')):.7f}", f"{float(e.get('lon')):.7f}")
           for e in root.iter() if e.tag.endswith("trkpt")]
    kept, j = [], 0
    for lat, lon in out:
        while (f"{points[j][0]:.7f}", f"{points[j][1]:.7f}") != (lat, lon):
            j += 1
        kept.append(j)
        j += 1
    return kept


def segment_distance(a, b, p):
    scale = LON_METERS_EQUATOR * math.cos(math.radians((a[0] + b[0]) / 2))
    bx, by = (b[1] - a[1]) * scale, (b[0] - a[0]) * LAT_METERS
    px, py = (p[1] - a[1]) * scale, (p[0] - a[0]) * LAT_METERS
    length2 = bx * bx + by * by
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, (px * bx + py * by) / length2))
    return math.hypot(px - t * bx, py - t * by)


def errors(points, kept):
    """Largest and mean error of the dropped points."""
    worst, total, dropped = 0.0, 0.0, 0
    for a, b in zip(kept, kept[1:]):
        for j in range(a + 1, b):
            e = segment_distance(points[a], points[b], points[j])
            worst = max(worst, e)
            total += e
            dropped += 1
    return worst, total / max(dropped, 1)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build/release")
    parser.add_argument("--files", type=int, default=8)
    parser.add_argument("--svg", default="")
    args = parser.parse_args()
    wayconv = os.path.join(args.build, "wayconv")
    if not os.path.exists(wayconv):
        sys.exit(f"wayconv: {wayconv} is missing; build first")
    data = os.path.join(args.build, "shape-quality")
    os.makedirs(data, exist_ok=True)
    env = dict(os.environ, HOME=data, XDG_CONFIG_HOME=data, WAYCONV_ROOT=data)

    print(f"{'file':8} {'points':>6} {'kept':>17} {'even max':>10} {'even mean':>10} "
          f"{'shape max':>10} {'shape mean':>10} {'gpsb max':>10} {'gpsb mean':>10}")
    failures = 0
    for n in range(args.files):
        count = 12000 + (13000 * n) // max(args.files - 1, 1)
        points = recording(1000 + n, count)
        name = f"day{n + 1}"
        gpx = os.path.join(data, name + ".gpx")
        write_gpx(gpx, points)
        results, kept_counts = [], []
        for mode in ("even", "shape"):
            out = os.path.join(data, f"{name}-{mode}.bin")
            subprocess.run([wayconv, "--batch", "--thin", mode, "--output", out, gpx], env=env,
                           check=True, stdout=subprocess.DEVNULL)
            kept = kept_in_track_file(out, points)
            kept_counts.append(len(kept))
            results.append(errors(points, kept))
        simplified = os.path.join(data, name + "-gpsbabel.gpx")
        subprocess.run(["gpsbabel", "-i", "gpx", "-f", gpx, "-x", f"simplify,count={CAPACITY}",
                        "-o", "gpx", "-F", simplified], check=True)
        kept = kept_by_gpsbabel(simplified, points)
        kept_counts.append(len(kept))
        results.append(errors(points, kept))
        (even_max, even_mean), (shape_max, shape_mean), (gb_max, gb_mean) = results
        print(f"{name:8} {count:6} {'/'.join(map(str, kept_counts)):>17} {even_max:10.3f} "
              f"{even_mean:10.3f} {shape_max:10.3f} {shape_mean:10.3f} {gb_max:10.3f} "
              f"{gb_mean:10.3f}")
        if round(shape_max, 3) > round(gb_max, 3) or round(shape_mean, 3) > round(gb_mean, 3):
            failures += 1
    if args.svg:
        points = pass_week(7, 28000)
        gpx = os.path.join(data, "pass.gpx")
        write_gpx(gpx, points)
        for mode in ("even", "shape"):
            out = os.path.join(data, f"pass-{mode}.bin")
            subprocess.run([wayconv, "--batch", "--thin", mode, "--output", out, gpx], env=env,
                           check=True, stdout=subprocess.DEVNULL)
            largest, mean = errors(points, kept_in_track_file(out, points))
            print(f"pass ({len(points)} points), {mode}: largest error {largest:.3f} m, "
                  f"mean {mean:.3f} m")
            with open(f"{args.svg}-{mode}.svg", "w") as svg:
                subprocess.run([wayconv, "--export", "svg", out], env=env, check=True, stdout=svg)
    if failures:
        print(f"shape thinning strays more than gpsbabel on {failures} file(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
