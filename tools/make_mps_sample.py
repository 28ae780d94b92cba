#!/usr/bin/env python3
"""Writes samples/hike.mps: a small MapSource file for trying the MPS reader.

It holds a header record, a waypoint, a first track of 14 points, a route
record, a second track of 11 points that starts about 1.9 km from the end of
the first (the hiker took a cable car), and an end record. Only the track
records carry points; the other records are there to be passed over.

Usage: tools/make_mps_sample.py [OUTPUT]   (default: samples/hike.mps)
"""

import math
import os
import struct
import sys

SIGNATURE = b"MsRcd\0"
SEMICIRCLES_PER_DEGREE = 2**31 / 180.0


def record(kind, data):
    """One record: 4-byte length of the data, the type byte, the data."""
    return struct.pack("<i", len(data)) + kind + data


def semicircles(degrees):
    return int(round(degrees * SEMICIRCLES_PER_DEGREE))


def track_point(lat, lon, altitude, seconds):
    # 4 + 4 coordinate bytes, then 23 bytes the reader passes over: an
    # altitude flag and double, a time flag and seconds, a depth flag and double.
    data = struct.pack("<ii", semicircles(lat), semicircles(lon))
    data += struct.pack("<Bd", 1, altitude) + struct.pack("<BI", 1, seconds)
    data += struct.pack("<Bd", 0, 0.0)
    assert len(data) == 31
    return data


def track(name, points, start_time):
    data = name.encode("ascii") + b"\0"
    data += bytes([1, 0, 0, 0, 0])  # display flag and colour, passed over
    data += struct.pack("<i", len(points))
    for i, (lat, lon, alt) in enumerate(points):
        data += track_point(lat, lon, alt, start_time + 30 * i)
    data += b"\0"  # a trailing byte the point run does not cover
    return record(b"T", data)


def main():
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "samples", "hike.mps")

    valley = []
    lat, lon = 46.60412, 10.38150
    for i in range(14):
        lat += 0.00021 + 0.00003 * math.sin(i / 2.0)
        lon -= 0.00017 + 0.00002 * math.cos(i / 3.0)
        valley.append((lat, lon, 1512.0 + 6.5 * i))

    ridge = []
    lat, lon = 46.62130, 10.37155  # top station of the cable car
    for i in range(11):
        lat += 0.00014
        lon += 0.00024 - 0.00003 * math.sin(i)
        ridge.append((lat, lon, 2230.0 + 3.0 * i))

    data = SIGNATURE
    data += record(b"D", b"g\0SQA\0")
    waypoint = b"Hut\0" + struct.pack("<ii", semicircles(46.6131), semicircles(10.3789))
    data += record(b"W", waypoint + bytes(20))
    data += track("Valley path", valley, 1000000000)
    data += record(b"R", b"Descent\0" + bytes(12))
    data += track("Ridge", ridge, 1000003600)
    data += record(b"V", b"\0\1")

    with open(output, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
