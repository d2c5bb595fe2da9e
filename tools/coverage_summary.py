#!/usr/bin/env python3
"""Summarises gcov line and branch coverage of the project's sources after a coverage build's
tests have run. Usage: coverage_summary.py BUILD_DIR SOURCE_DIR...
Prints one row per source file and a total per source directory.

The figures are gcov's own (`gcov -b`: "Lines executed" and "Taken at least once"), merged over
every object that compiled the file (headers), a line or branch counting as covered when any
object covered it. A second branch figure leaves out the exception edges gcov also counts as
branches: the sources throw nothing, so those edges are only ever taken by the in-process test
harness, whose end of a run unwinds through the program's frames."""
import glob
import gzip
import json
import os
import subprocess
import sys
import tempfile

build = os.path.abspath(sys.argv[1])
prefixes = [os.path.abspath(p) for p in sys.argv[2:]]
gcda = sorted(glob.glob(os.path.join(build, "CMakeFiles", "quelvar_core.dir", "**", "*.gcda"), recursive=True))


def merged(old, new):
    """Branch lists of one line from two objects: covered where either covered it. Lists of
    different lengths (different code generated for the line) are merged over the common part,
    the longer list's extra branches kept as they are."""
    if len(new) < len(old):
        old, new = new, old
    return [(a[0] or b[0], b[1]) for a, b in zip(old, new)] + new[len(old):]


files = {}
with tempfile.TemporaryDirectory() as out:
    # One output directory per data file: gcov names its reports after the source file, so two
    # sources of one name in different folders would otherwise overwrite each other's report.
    for number, data in enumerate(gcda):
        report_dir = os.path.join(out, str(number))
        os.mkdir(report_dir)
        subprocess.run(["gcov", "--json-format", "--branch-probabilities", "--object-directory",
                        os.path.dirname(data), data], cwd=report_dir, check=True, capture_output=True)
    for report in glob.glob(os.path.join(out, "*", "*.gcov.json.gz")):
        with gzip.open(report) as f:
            for entry in json.load(f)["files"]:
                path = os.path.abspath(os.path.join(build, entry["file"]))
                if not any(path.startswith(p + os.sep) for p in prefixes):
                    continue
                lines = files.setdefault(path, {})
                for line in entry["lines"]:
                    number = line["line_number"]
                    hit, branches = lines.get(number, (0, []))
                    taken = [(b["count"] > 0, b["throw"]) for b in line.get("branches", [])]
                    lines[number] = (max(hit, line["count"]), merged(branches, taken))


def percent(part, whole):
    return 100.0 * part / max(whole, 1)


totals = {}
print("%-40s %13s %15s %15s" % ("source", "lines", "branches", "w/o exceptions"))
for path in sorted(files):
    lines = files[path]
    covered = sum(1 for hit, _ in lines.values() if hit > 0)
    branches = [b for _, bs in lines.values() for b in bs]
    ordinary = [taken for taken, throw in branches if not throw]
    figures = (covered, len(lines), sum(taken for taken, _ in branches), len(branches), sum(ordinary), len(ordinary))
    name = os.path.relpath(path, os.path.dirname(prefixes[0]) if prefixes else ".")
    print("%-40s %6d/%-6d %7d/%-7d %7d/%-7d" % ((name,) + figures))
    top = next(p for p in prefixes if path.startswith(p + os.sep))
    t = totals.setdefault(top, [0] * 6)
    for i, figure in enumerate(figures):
        t[i] += figure
print()
for top, (lc, lt, bc, bt, oc, ot) in totals.items():
    print("%-14s lines %5.1f%% (%d/%d)  branches %5.1f%% (%d/%d)  w/o exceptions %5.1f%% (%d/%d)" % (
        os.path.relpath(top), percent(lc, lt), lc, lt, percent(bc, bt), bc, bt, percent(oc, ot), oc, ot))
