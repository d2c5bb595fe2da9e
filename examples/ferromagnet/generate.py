#!/usr/bin/env python3
"""Generates the bundled ferromagnet example: one instrument-style curve file per applied field.

A mean-field ferromagnet (spin 1/2, Curie temperature 294 K) of 20 mg with a saturation moment of
250 emu/g, measured from about 250 K to 340 K in 2 K steps at six fields from 0.5 T to 5 T. Some
curves are measured on cooling (high to low temperature), as instruments often do. Each file has
one header line and seven columns: time, field, temperature, position, range, moment error and
moment; the tool reads the temperature (third) and the moment (seventh). Run it in this folder:
    python3 generate.py
The output is deterministic (fixed seed), so the committed files can be regenerated exactly.
"""
import math
import random

CURIE_TEMPERATURE = 294.0  # K
KELVIN_PER_TESLA = 4.7     # Zeeman energy of the effective moment per tesla, over k_B
MASS_GRAMS = 0.020
SATURATION_EMU_PER_GRAM = 250.0
FIELDS_TESLA = [0.5, 1.0, 2.0, 3.0, 4.0, 5.0]
COOLING = {2.0, 4.0}  # fields measured from high to low temperature


def reduced_magnetisation(temperature, field):
    """Solves m = tanh((Tc m + h B) / T) by fixed-point iteration."""
    m = 1.0
    for _ in range(2000):
        m_next = math.tanh((CURIE_TEMPERATURE * m + KELVIN_PER_TESLA * field) / temperature)
        if abs(m_next - m) < 1e-13:
            return m_next
        m = 0.5 * (m + m_next)
    return m


def write_curve(field, rng):
    temperatures = [250.0 + 2.0 * k for k in range(46)]
    if field in COOLING:
        temperatures.reverse()
    name = "M_vs_T_%03dkOe.dat" % round(field * 10)
    lines = ["Time(s) Field(Oe) Temperature(K) Position(mm) Range SigmaMoment(emu) Moment(emu)"]
    clock = 1000.0
    for t in temperatures:
        measured_t = t + rng.uniform(-0.04, 0.04)
        moment = MASS_GRAMS * SATURATION_EMU_PER_GRAM * reduced_magnetisation(measured_t, field)
        moment *= 1.0 + rng.gauss(0.0, 2e-5)
        clock += 95.0 + rng.uniform(0.0, 10.0)
        lines.append("%.1f %.2f %.4f %.3f %d %.3E %.6E" % (
            clock, field * 1e4 + rng.uniform(-0.3, 0.3), measured_t, 35.0 + rng.uniform(-0.01, 0.01),
            2, abs(moment) * 1e-4, moment))
    with open(name, "w", newline="") as out:
        out.write("\r\n".join(lines) + "\r\n")
    return name


def main():
    rng = random.Random(294)
    names = [write_curve(field, rng) for field in FIELDS_TESLA]
    control = ["%g" % MASS_GRAMS, "255.0 2.5 335.0"]
    for field, name in zip(FIELDS_TESLA, names):
        control.append("%g 1.0" % field)
        control.append(name)
    with open("Quelvar.inp", "w", newline="") as out:
        out.write("\r\n".join(control) + "\r\n")


if __name__ == "__main__":
    main()
