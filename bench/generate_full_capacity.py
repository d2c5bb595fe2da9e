#!/usr/bin/env python3
"""Writes a full-capacity input into bench/full_capacity/: 50 curves of 50 points (each curve file
holds 60 data records, so the 50-point cap is exercised), and a grid of 100 temperatures.
Deterministic: run it again and the files are the same.
    python3 bench/generate_full_capacity.py
"""
import math
import os
import random

here = os.path.dirname(os.path.abspath(__file__))
out_dir = os.path.join(here, "full_capacity")
os.makedirs(out_dir, exist_ok=True)
rng = random.Random(50)
control = ["0.02", "250.5 0.5 300.0"]  # 250.5, 251.0, ..., 300.0: exactly 100 temperatures
for j in range(1, 51):
    field = 0.1 * j
    name = "curve_%02d.dat" % j
    lines = ["Time(s) Field(Oe) Temperature(K) Position(mm) Range SigmaMoment(emu) Moment(emu)"]
    temperatures = [248.0 + 1.1 * k + rng.uniform(-0.02, 0.02) for k in range(60)]
    if j % 3 == 0:
        temperatures.reverse()
    for k, t in enumerate(temperatures):
        moment = 5.0 / (1.0 + math.exp((t - 280.0) / (4.0 + field)))
        lines.append("%.1f %.2f %.4f %.3f 2 %.3E %.6E" % (1000.0 + 97.0 * k, field * 1e4, t, 35.0, moment * 1e-4, moment))
    with open(os.path.join(out_dir, name), "w", newline="") as f:
        f.write("\r\n".join(lines) + "\r\n")
    control += ["%.1f 1.0" % field, name]
with open(os.path.join(out_dir, "Quelvar.inp"), "w", newline="") as f:
    f.write("\r\n".join(control) + "\r\n")
