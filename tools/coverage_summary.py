#!/usr/bin/env python3
"""Summarises gcov line and branch coverage of the project's sources after a coverage build's
tests have run. Usage: coverage_summary.py BUILD_DIR SOURCE_DIR...
Prints one row per source file and a total per source directory."""
import glob
import gzip
import json
import os
import subprocess
import sys
import tempfile

build = os.path.abspath(sys.argv[1])
prefixes = [os.path.abspath(p) for p in sys.argv[2:]]
gcda = glob.glob(os.path.join(build, "CMakeFiles", "quelvar_core.dir", "**", "*.gcda"), recursive=True)
files = {}
with tempfile.TemporaryDirectory() as out:
    for data in gcda:
        subprocess.run(["gcov", "--json-format", "--branch-probabilities", "--object-directory",
                        os.path.dirname(data), data], cwd=out, check=True, capture_output=True)
    for report in glob.glob(os.path.join(out, "*.gcov.json.gz")):
        with gzip.open(report) as f:
            for entry in json.load(f)["files"]:
                path = os.path.abspath(os.path.join(build, entry["file"]))
                if not any(path.startswith(p + os.sep) for p in prefixes):
                    continue
                lines = files.setdefault(path, {})
                for line in entry["lines"]:
                    number = line["line_number"]
                    hit, branches = lines.get(number, (0, []))
                    taken = [b["count"] > 0 for b in line.get("branches", [])]
                    if branches and len(branches) == len(taken):
                        taken = [a or b for a, b in zip(branches, taken)]
                    lines[number] = (max(hit, line["count"]), taken or branches)

totals = {}
print("%-52s %14s %16s" % ("source", "lines", "branches"))
for path in sorted(files):
    lines = files[path]
    covered = sum(1 for hit, _ in lines.values() if hit > 0)
    branches = [b for _, bs in lines.values() for b in bs]
    name = os.path.relpath(path, os.path.dirname(prefixes[0]) if prefixes else ".")
    print("%-52s %6d/%-6d %7d/%-7d" % (name, covered, len(lines), sum(branches), len(branches)))
    top = next(p for p in prefixes if path.startswith(p + os.sep))
    t = totals.setdefault(top, [0, 0, 0, 0])
    t[0] += covered; t[1] += len(lines); t[2] += sum(branches); t[3] += len(branches)
print()
for top, (lc, lt, bc, bt) in totals.items():
    print("%-30s lines %5.1f%% (%d/%d)  branches %5.1f%% (%d/%d)" % (
        os.path.relpath(top), 100.0 * lc / max(lt, 1), lc, lt, 100.0 * bc / max(bt, 1), bc, bt))
