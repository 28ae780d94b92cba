#!/usr/bin/env python3
"""Benchmarks batch conversion against the read limit.

    bench/run.py [--sizes 1,100] [--formats gpx,nmea,plt,mps,fit,igc,tcx,kml,geojson,gpx.gz]
                 [--runs 5] [--build build/release] [--peer] [--thin even|shape]

For each format and size it generates a deterministic input (kept in
build/bench-data, reused next time), converts it --runs times with
`wayconv --batch`, and reads it twice with a plain read() loop as often. It
prints input MB, points, best and median seconds, MB/s of input, peak resident
memory, and the ratio of the best conversion to the best double read. A
format with ".gz" is that recording compressed with gzip; its double read is
two inflations with zlib. With --peer, gpsbabel reads each input once into a
GPX file on the null device, and the last column is how many times longer it
takes than the best conversion.
The load average is printed with each row, as the machine may be shared.
"""
import argparse
import os
import statistics
import subprocess
import sys
import time


# gpsbabel's names of the formats; it reads gzip itself where the name ends in .gz.
PEER_FORMATS = {"gpx": "gpx", "nmea": "nmea", "plt": "ozi", "mps": "mapsource",
                "fit": "garmin_fit", "igc": "igc", "tcx": "gtrnctr", "kml": "kml",
                "geojson": "geojson"}


def timed(command, peak_rss):
    """Seconds, peak resident MB and exit status of one run of command."""
    start = time.perf_counter()
    proc = subprocess.run([peak_rss] + command, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True)
    elapsed = time.perf_counter() - start
    kilobytes = 0
    for line in proc.stderr.splitlines():
        if line.startswith("peak_rss_kb "):
            kilobytes = int(line.split()[1])
    return elapsed, kilobytes / 1024.0, proc.returncode


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sizes", default="100", help="input sizes in MB, comma-separated")
    parser.add_argument("--formats", default="gpx,nmea,plt,mps,tcx,kml,geojson")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--build", default="build/release")
    parser.add_argument("--peer", action="store_true", help="compare with gpsbabel")
    parser.add_argument("--thin", default="", help="pass --thin MODE to each conversion")
    args = parser.parse_args()

    build = args.build
    wayconv = os.path.join(build, "wayconv")
    make_input = os.path.join(build, "bench", "wayconv_make_input")
    read_twice = os.path.join(build, "bench", "wayconv_read_twice")
    peak_rss = os.path.join(build, "bench", "wayconv_peak_rss")
    for tool in (wayconv, make_input, read_twice, peak_rss):
        if not os.path.exists(tool):
            sys.exit(f"wayconv: {tool} is missing; build first: cmake --preset release && "
                     "cmake --build --preset release")
    data = os.path.join(build, "bench-data")
    os.makedirs(data, exist_ok=True)
    output = os.path.join(data, "Tracks.bin")

    print(f"{'format':7} {'MB':>6} {'points':>10} {'best s':>8} {'median s':>8} {'MB/s':>8} "
          f"{'peak MB':>8} {'read s':>8} {'x read':>7}" +
          (f" {'peer s':>8} {'x peer':>7}" if args.peer else "") + f" {'load':>5}")
    for size in [int(s) for s in args.sizes.split(",")]:
        for fmt in args.formats.split(","):
            path = os.path.join(data, f"bench-{size}.{fmt}")
            count_file = path + ".points"
            if not (os.path.exists(path) and os.path.exists(count_file)):
                points = subprocess.run([make_input, fmt, str(size), path], check=True,
                                        capture_output=True, text=True).stdout.strip()
                with open(count_file, "w") as f:
                    f.write(points)
            with open(count_file) as f:
                points = f.read().strip()
            megabytes = os.path.getsize(path) / 1e6
            kind = fmt[:-3] if fmt.endswith(".gz") else fmt
            convert = [wayconv, "--batch", "--kind", kind, "--output", output, path]
            if args.thin:
                convert[2:2] = ["--thin", args.thin]
            times, peak = [], 0.0
            for _ in range(args.runs):
                elapsed, rss, code = timed(convert, peak_rss)
                if code != 0:
                    sys.exit(f"wayconv: conversion of {path} failed with status {code}")
                times.append(elapsed)
                peak = max(peak, rss)
            reads = [timed([read_twice, path], peak_rss)[0] for _ in range(args.runs)]
            best, median, read_best = min(times), statistics.median(times), min(reads)
            peer = ""
            if args.peer:
                elapsed, _, code = timed(["gpsbabel", "-i", PEER_FORMATS[kind], "-f", path, "-o",
                                          "gpx", "-F", os.devnull], peak_rss)
                peer = f" {elapsed:8.2f} {elapsed / best:7.1f}" if code == 0 else " gpsbabel failed"
            print(f"{fmt:7} {megabytes:6.0f} {points:>10} {best:8.3f} {median:8.3f} "
                  f"{megabytes / best:8.0f} {peak:8.1f} {read_best:8.3f} {best / read_best:7.1f}"
                  f"{peer} {os.getloadavg()[0]:5.1f}")


if __name__ == "__main__":
    main()
