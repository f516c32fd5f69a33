#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Plots the sound report's aliasing figures: dBc against the test tone's frequency, one line per
oversampling factor and setting.

    bench/plot_aliasing.py ALIASING.csv [--out docs/aliasing.png] [--title TEXT]

The CSV is what `quarvine-sound-report --csv` writes: setting,oversampling,frequency_hz,aliasing_dbc.
"""
import argparse
import csv
import os
import sys
from collections import defaultdict

import matplotlib

matplotlib.use("Agg")  # files only; no display needed
import matplotlib.pyplot as plt

REPOSITORY = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
COLOURS = {2: "tab:red", 4: "tab:orange", 8: "tab:blue"}
STYLES = ["-", "--", ":", "-."]


def read_lines(path):
    """{(setting, factor): [(hz, dbc), ...]} in the file's order of settings."""
    lines = defaultdict(list)
    with open(path, newline="") as f:
        for row in csv.DictReader(f):
            key = (row["setting"], int(row["oversampling"]))
            lines[key].append((float(row["frequency_hz"]), float(row["aliasing_dbc"])))
    return lines


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("csv")
    parser.add_argument("--out", default=os.path.join(REPOSITORY, "docs", "aliasing.png"))
    parser.add_argument("--title", default="Aliasing of a -6 dBFS sine at 44.1 kHz")
    args = parser.parse_args()

    lines = read_lines(args.csv)
    if not lines:
        sys.exit(f"plot_aliasing: no rows in {args.csv}")
    settings = list(dict.fromkeys(setting for setting, _ in lines))

    fig, ax = plt.subplots(figsize=(8, 4.5), dpi=100)
    for (setting, factor), points in sorted(lines.items(), key=lambda item: (settings.index(item[0][0]), item[0][1])):
        points.sort()
        ax.plot([hz for hz, _ in points], [dbc for _, dbc in points],
                color=COLOURS.get(factor, "black"), linestyle=STYLES[settings.index(setting) % len(STYLES)],
                marker="o", markersize=4, label=f"{factor}x, {setting}")
    frequencies = sorted({hz for points in lines.values() for hz, _ in points})
    ax.set_xticks(frequencies)
    ax.set_xticklabels([f"{hz:g}" for hz in frequencies])
    ax.set_xlabel("Test tone (Hz)")
    ax.set_ylabel("Non-harmonic energy, 20 Hz to 20 kHz (dBc)")
    ax.set_title(args.title)
    ax.grid(True, alpha=0.3)
    ax.legend(fontsize=8, ncol=2)
    fig.tight_layout()
    os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
    fig.savefig(args.out)
    print(f"plot_aliasing: wrote {args.out}")


if __name__ == "__main__":
    main()
