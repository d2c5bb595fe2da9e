#!/usr/bin/env python3
"""Times a full-capacity run of quelvar (standard output to a file and to /dev/null) against the
floor program, median of several runs, with peak memory. Prints a table for bench/README.md.
    python3 bench/full_run.py BUILD_DIR [RUNS]
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 21
here = os.path.dirname(os.path.abspath(__file__))
fixture = os.path.join(here, "full_capacity")
work = tempfile.mkdtemp(prefix="quelvar-full-")
for name in os.listdir(fixture):
    shutil.copy(os.path.join(fixture, name), work)
log_path = os.path.join(tempfile.gettempdir(), "quelvar-full-console.log")


def timed(argv, stdout_path):
    """Wall time of one run and its peak resident set, measured by GNU time (a small process, so
    the figure is the program's own, not that of a copy of this script)."""
    with open(stdout_path, "wb") as out:
        start = time.perf_counter()
        done = subprocess.run(["/usr/bin/time", "-f", "%M"] + argv, cwd=work, stdout=out, stderr=subprocess.PIPE)
        elapsed = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit("%s failed" % argv[0])
    return elapsed, int(done.stderr.decode().strip().splitlines()[-1])


quelvar = os.path.join(build, "quelvar")
floor = os.path.join(build, "quelvar_floor")
timed([quelvar], log_path)  # the log the floor replays
rows = []
for label, argv, target in [
    ("quelvar, stdout to a file", [quelvar], os.path.join(work, "out.log")),
    ("floor, stdout to a file", [floor, log_path], os.path.join(work, "out.log")),
    ("quelvar, stdout to /dev/null", [quelvar], "/dev/null"),
    ("floor, stdout to /dev/null", [floor, log_path], "/dev/null"),
]:
    times, peaks = [], []
    for _ in range(runs):
        t, peak = timed(argv, target)
        times.append(t)
        peaks.append(peak)
    rows.append((label, statistics.median(times), max(peaks)))
print("| run | median wall time (ms) | peak RSS (KiB) |")
print("|---|---|---|")
for label, median, peak in rows:
    print("| %s | %.2f | %d |" % (label, median * 1000, peak))
print()
print("ratio quelvar/floor, file: %.2f; /dev/null: %.2f" % (rows[0][1] / rows[1][1], rows[2][1] / rows[3][1]))
print("console log: %d bytes" % os.path.getsize(log_path))
shutil.rmtree(work)
