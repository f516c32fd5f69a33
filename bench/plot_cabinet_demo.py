#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Plots the demo phrase's long-term spectrum without a cabinet and through each built-in one.

    bench/plot_cabinet_demo.py CABINETS.csv [--out docs/cabinet_demo.png]

The CSV is what `quarvine-sound-report --cabinet-csv` writes: cabinet,band_hz,level_db (each
third octave's share of the phrase's energy).
"""
import argparse
import csv
import os
from collections import defaultdict

import matplotlib

matplotlib.use("Agg")  # files only; no display needed
import matplotlib.pyplot as plt

REPOSITORY = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("csv")
    parser.add_argument("--out", default=os.path.join(REPOSITORY, "docs", "cabinet_demo.png"))
    args = parser.parse_args()
    lines = defaultdict(list)
    with open(args.csv, newline="") as f:
        for row in csv.DictReader(f):
            lines[row["cabinet"]].append((float(row["band_hz"]), float(row["level_db"])))
    fig, ax = plt.subplots(figsize=(8, 4.5))
    for name, points in lines.items():
        ax.semilogx([p[0] for p in points], [p[1] for p in points],
                    "k--" if name == "no cabinet" else "-", label=name, linewidth=1.4)
    ax.set_xlim(20, 20000)
    ax.set_ylim(-60, 0)
    ax.set_xlabel("third-octave band, Hz")
    ax.set_ylabel("share of the phrase's energy, dB")
    ax.set_title("Demo phrase at the defaults: the amplifier alone and through each cabinet")
    ax.grid(True, which="both", alpha=0.3)
    ax.legend(fontsize=8)
    fig.tight_layout()
    fig.savefig(args.out, dpi=100)


if __name__ == "__main__":
    main()
