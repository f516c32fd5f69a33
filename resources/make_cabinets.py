#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Makes the built-in speaker cabinets' impulse responses from a physical model, writes them into
cabinets.cpp next to this script and draws their responses into docs/cabinets.png.

    /usr/bin/python3 resources/make_cabinets.py           # write cabinets.cpp and the picture
    /usr/bin/python3 resources/make_cabinets.py --check   # compare cabinets.cpp with the model

--check exits 0 when the committed source holds what the model gives, 1 when not, and 77 (a
skipped test) without numpy. Needs numpy; matplotlib only for the picture.

The model, per cabinet (README, "Cabinets"):
  - the driver's low-frequency resonance, a second-order high-pass from its Thiele/Small figures:
    at fs with Qts on an open back (an infinite baffle), raised by a closed box's air spring to
    fc = fs*sqrt(1 + Vas/Vb) with Qtc = Qts*sqrt(1 + Vas/Vb) (R. H. Small, "Closed-box loudspeaker
    systems, part I", JAES 20(10), 1972), Vb being the box volume per driver;
  - on an open back, the wave from the back of the cone, of opposite sign, reaching the microphone
    round the cabinet over paths between the shortest and the longest way round;
  - in a cabinet of several drivers, the neighbours, heard from the side;
  - the cone above its pistonic range: a rise towards 1 kHz, resonances and dips between 1.5 and
    5 kHz, and a steep fall above the datasheet's upper limit;
  - the microphone: close to the grille, on the cone's axis or off it by an angle.
Every figure below says where it comes from. Each response is made minimum-phase from the model's
magnitude (through the real cepstrum), so it starts at once, and cut to TAPS taps with a fade.
"""
import argparse
import math
import os
import re
import sys
from dataclasses import dataclass

try:
    import numpy as np
except ImportError:
    if "--check" in sys.argv:
        print("make_cabinets: numpy missing (Debian package python3-numpy): cannot check cabinets.cpp")
        sys.exit(77)
    raise

HERE = os.path.dirname(os.path.abspath(__file__))
REPOSITORY = os.path.dirname(HERE)
SOURCE = os.path.join(HERE, "cabinets.cpp")
PICTURE = os.path.join(REPOSITORY, "docs", "cabinets.png")

SAMPLE_RATE = 48000  # Hz; the plug-in resamples to the host's rate
TAPS = 1024  # 21.3 ms at 48 kHz
FADE = 256  # the last 5.3 ms fade out along half a Hann window
GRID = 1 << 16  # FFT size of the design: 0.73 Hz apart, long enough that the cepstrum does not wrap
SPEED_OF_SOUND = 343.0  # m/s, air at 20 degrees C
MIC_DISTANCE = 0.05  # m from the dust cap: a close microphone 2 to 3 cm in front of the grille cloth
# Pink-noise loudness band of the normalisation: each cabinet passes pink noise in 80 Hz to 6 kHz at
# unit power, so that changing the cabinet keeps the level.
LOUDNESS_BAND = (80.0, 6000.0)  # Hz


@dataclass(frozen=True)
class Resonance:
    """A peak (gain > 0) or dip of the cone, as the analogue peaking filter of that gain and Q."""
    frequency: float  # Hz
    gain_db: float
    q: float


@dataclass(frozen=True)
class Speaker:
    fs: float  # free-air resonance, Hz
    qts: float  # total Q at fs (driven from a low-impedance amplifier, as responses are measured)
    vas: float  # equivalent volume of the suspension's compliance, m^3
    sd: float  # effective cone area, m^2
    top: float  # upper end of the datasheet's frequency range, Hz
    breakup: tuple  # Resonances of the cone between its pistonic range and the top

    @property
    def radius(self):
        """Radius of the piston of the cone's area, m."""
        return math.sqrt(self.sd / math.pi)


# The cone's break-up, read off the shape that makers' published responses of 10- and 12-inch paper
# cones share (measured on a baffle at 1 W, 1 m): "they rise steadily until about 1 kHz, have a
# suck-out around 1.5 kHz, peak at 2 kHz and extend out to 4-5 kHz" (A. Lucas, "Optimizing mids and
# highs", Premier Guitar). Here: the dip at 1.5 kHz, then two peaks with a dip between them for the
# irregular top of a paper cone. Their heights (+5 and +6 dB), the dips' depths (-4, -3 dB), the
# Q's and the fall beyond the datasheet's upper limit (a fourth-order Butterworth, 24 dB an
# octave) are this model's choices within that shape.
PRESENCE_RISE_DB = 5.0  # from 200 Hz to about 1 kHz, a first-order shelf
PRESENCE_RISE_FROM = 200.0  # Hz
TWELVE_INCH_BREAKUP = (Resonance(1500.0, -4.0, 3.0), Resonance(2200.0, 5.0, 2.5),
                       Resonance(3000.0, -3.0, 4.0), Resonance(3800.0, 6.0, 3.0))

# A 12-inch 25 W ceramic-magnet guitar speaker's datasheet (8 ohms): fs 85 Hz, Qts 0.76 (Qes 0.79,
# Qms 16.85), Vas 40.31 l, Sd 511 cm^2, frequency range 75 Hz - 5 kHz. Other makers' 12-inch
# datasheets give fs 75 to 85 Hz and ranges of 70/75/80 Hz - 5 kHz.
TWELVE_INCH = Speaker(fs=85.0, qts=0.76, vas=40.31e-3, sd=511e-4, top=5000.0, breakup=TWELVE_INCH_BREAKUP)
# A 10-inch 35 W ceramic guitar speaker's datasheet (8 ohms): fs 96 Hz, Qts 1.3 (Qes 1.50, Qms 9.78),
# Vas 23.2 l, Sd 330 cm^2. Its range's top from another maker's 10-inch datasheet: 95 Hz - 5.5 kHz.
# The smaller cone breaks up higher: the 12-inch resonances scaled by the ratio of the tops, 1.1.
TEN_INCH = Speaker(fs=96.0, qts=1.3, vas=23.2e-3, sd=330e-4, top=5500.0,
                   breakup=tuple(Resonance(r.frequency * 1.1, r.gain_db, r.q) for r in TWELVE_INCH_BREAKUP))


@dataclass(frozen=True)
class Cabinet:
    name: str  # as the Cabinet parameter will show it
    identifier: str  # of its array in cabinets.cpp
    speaker: Speaker
    drivers: int
    box_volume: float  # m^3 of air behind all drivers; 0 for an open back
    rear_paths: tuple  # m: shortest and longest way from the back of the cone round to the microphone
    spacing: float  # m between neighbouring drivers' centres
    mic_angle: float  # degrees off the cone's axis, seen from its centre


CABINETS = [
    # A small combo, about 45 x 38 x 22 cm outside: the back wave leaves the open back some 20 cm
    # behind the cone and comes round the nearest (10 cm) to the farthest (30 cm) edge of the front.
    Cabinet("1x10 open back", "kOpenBack1x10", TEN_INCH, 1, 0.0, (0.30, 0.50), 0.0, 0.0),
    # A 1x12 combo, about 56 x 46 x 26 cm outside: the open back some 25 cm behind the cone, the
    # front's edges 10 to 35 cm from it.
    Cabinet("1x12 open back", "kOpenBack1x12", TWELVE_INCH, 1, 0.0, (0.35, 0.60), 0.0, 0.0),
    # A straight 4x12, 76 x 76 x 36 cm outside in 18 mm plywood: 72.4 x 72.4 x 32.4 cm = 170 l inside,
    # less the four drivers and the baffle's brace, 150 l. Drivers 34 cm apart, centre to centre.
    Cabinet("4x12 closed back", "kClosedBack4x12", TWELVE_INCH, 4, 150e-3, (), 0.34, 0.0),
    # The same, the microphone moved off the axis to see the cone at 30 degrees: darker.
    Cabinet("4x12 closed back, off axis", "kClosedBack4x12OffAxis", TWELVE_INCH, 4, 150e-3, (), 0.34, 30.0),
]


def equivalent_distance(radius):
    """Distance at which a point source of the cone's volume velocity gives the pressure that a
    baffled piston gives on its axis at MIC_DISTANCE (low frequencies: p ~ k(sqrt(z^2 + a^2) - z)
    against k a^2 / 2r; L. E. Kinsler et al., Fundamentals of Acoustics, the piston's axial field)."""
    z = MIC_DISTANCE
    return radius * radius / (2.0 * (math.sqrt(z * z + radius * radius) - z))


def piston_directivity(f, radius, angle):
    """Smooth fit of a baffled piston's directivity 2 J1(x)/x, x = k a sin(angle): the same
    half-power point (x = 1.616) and the same x^-3/2 fall of its side lobes' envelope, without the
    nulls, which a cone breaking up does not show."""
    x = 2.0 * np.pi * f / SPEED_OF_SOUND * radius * math.sin(math.radians(angle))
    x0 = 1.616 / math.sqrt(2.0 ** (2.0 / 3.0) - 1.0)
    return (1.0 + (x / x0) ** 2) ** -0.75


def high_pass(f, fc, q):
    """The driver's response at low frequencies: second-order high-pass at fc with Q."""
    s = 1j * f / fc
    return s * s / (s * s + s / q + 1.0)


def peaking(f, r):
    """Analogue peaking filter: gain at r.frequency, 1 far from it."""
    s = 1j * f / r.frequency
    a = 10.0 ** (r.gain_db / 40.0)
    return (s * s + s * a / r.q + 1.0) / (s * s + s / (a * r.q) + 1.0)


def closed_box(speaker, cabinet):
    """fc and Q of the driver on its air spring (Small 1972); fs and Qts on an open back."""
    if cabinet.box_volume == 0.0:
        return speaker.fs, speaker.qts
    alpha = speaker.vas / (cabinet.box_volume / cabinet.drivers)
    return speaker.fs * math.sqrt(1.0 + alpha), speaker.qts * math.sqrt(1.0 + alpha)


def cone(f, speaker):
    """The cone above its resonance, on axis: the rise, the break-up and the top."""
    rise_to = PRESENCE_RISE_FROM * 10.0 ** (PRESENCE_RISE_DB / 20.0)
    h = (1.0 + 1j * f / PRESENCE_RISE_FROM) / (1.0 + 1j * f / rise_to)
    for r in speaker.breakup:
        h = h * peaking(f, r)
    # The cone's top: a fourth-order Butterworth fall from the datasheet's upper limit.
    return h / np.sqrt(1.0 + (f / speaker.top) ** 8)


def bare_speaker(f, speaker):
    """The driver alone on an infinite baffle, on axis: what makers publish."""
    return high_pass(f, speaker.fs, speaker.qts) * cone(f, speaker)


def design(f, cabinet):
    """The model's complex response at the microphone (its magnitude is what counts)."""
    sp = cabinet.speaker
    fc, q = closed_box(sp, cabinet)
    k = 2.0 * np.pi * f / SPEED_OF_SOUND
    front = high_pass(f, fc, q) * cone(f, sp)
    r_eq = equivalent_distance(sp.radius)
    # Each source's pressure relative to the close cone's, with its extra path's delay.
    air = piston_directivity(f, sp.radius, cabinet.mic_angle)
    if cabinet.rear_paths:
        # The back wave, of opposite sign, averaged over the paths round the cabinet's edges: the
        # mean of exp(-jkD) over D in [D1, D2] is exp(-jk mean D) sinc(k (D2 - D1) / 2).
        d1, d2 = cabinet.rear_paths
        mean = 0.5 * (d1 + d2)
        air = air - r_eq / mean * np.exp(-1j * k * (mean - MIC_DISTANCE)) * np.sinc(f * (d2 - d1) / SPEED_OF_SOUND)
    assert cabinet.drivers in (1, 4), "the model places one driver or four in a square"
    if cabinet.drivers == 4:
        # The microphone on one driver of a 2 x 2 square: two neighbours beside it, one across.
        for offset in (cabinet.spacing, cabinet.spacing, cabinet.spacing * math.sqrt(2.0)):
            r = math.hypot(offset, MIC_DISTANCE)
            side = math.degrees(math.atan2(offset, MIC_DISTANCE))
            air = air + r_eq / r * piston_directivity(f, sp.radius, side) * np.exp(-1j * k * (r - MIC_DISTANCE))
    return front * air


def minimum_phase(magnitude):
    """The minimum-phase response of a magnitude given on the FFT grid 0..GRID/2, through the real
    cepstrum (A. V. Oppenheim, R. W. Schafer, Discrete-Time Signal Processing, the homomorphic
    minimum-phase construction)."""
    cepstrum = np.fft.irfft(np.log(magnitude), GRID)
    fold = np.zeros(GRID)
    fold[0] = cepstrum[0]
    fold[1:GRID // 2] = 2.0 * cepstrum[1:GRID // 2]
    fold[GRID // 2] = cepstrum[GRID // 2]
    return np.fft.irfft(np.exp(np.fft.rfft(fold)), GRID)


def pink_power(h, band=LOUDNESS_BAND, points=400):
    """Mean |H|^2 over log-spaced frequencies in the band: the power of pink noise through h."""
    f = np.geomspace(band[0], band[1], points)
    n = np.arange(len(h))
    response = np.exp(-2j * np.pi * np.outer(f, n) / SAMPLE_RATE) @ h
    return float(np.mean(np.abs(response) ** 2))


def make(cabinet):
    """(taps, full-length minimum-phase response, design magnitude on the grid), all at the
    normalised gain."""
    f = np.arange(GRID // 2 + 1) * SAMPLE_RATE / GRID
    magnitude = np.abs(design(f, cabinet))
    # A floor 120 dB under the peak keeps the logarithm finite at 0 Hz.
    magnitude = np.maximum(magnitude, magnitude.max() * 1e-6)
    full = minimum_phase(magnitude)
    window = np.ones(TAPS)
    window[TAPS - FADE:] = 0.5 * (1.0 + np.cos(np.pi * (np.arange(FADE) + 1) / (FADE + 1)))
    taps = full[:TAPS] * window
    gain = 1.0 / math.sqrt(pink_power(taps))
    return (taps * gain).astype(np.float32), full * gain, magnitude * gain


def response_db(h, f):
    n = np.arange(len(h))
    return 20.0 * np.log10(np.abs(np.exp(-2j * np.pi * np.outer(f, n) / SAMPLE_RATE) @ h))


def literal(value):
    """A float literal that reads back as the same float32 (9 significant digits)."""
    text = f"{float(value):.9g}"
    return text + ("f" if "." in text or "e" in text else ".0f")


def source_text(made):
    lines = ["// SPDX-License-Identifier: GPL-3.0-or-later",
             "// Generated by resources/make_cabinets.py from its speaker and cabinet model: do not edit, run",
             "// the script again (README, \"Cabinets\").",
             '#include "resources/cabinets.h"', "", "namespace quarvine {", "namespace {", ""]
    for cabinet, (taps, _, _) in zip(CABINETS, made):
        fc, q = closed_box(cabinet.speaker, cabinet)
        mic = f"{cabinet.mic_angle:g} degrees off the cone's axis" if cabinet.mic_angle else "on the cone's axis"
        lines.append(f"// {cabinet.name}: resonance {fc:.1f} Hz, Q {q:.2f}; microphone {mic}.")
        lines.append(f"constexpr float {cabinet.identifier}[{len(taps)}] = {{")
        values = [literal(v) for v in taps]
        for i in range(0, len(values), 6):
            lines.append("    " + ", ".join(values[i:i + 6]) + ",")
        lines.append("};")
        lines.append("")
    lines.append("constexpr CabinetResponse kCabinets[] = {")
    for cabinet in CABINETS:
        lines.append(f'    {{"{cabinet.name}", {SAMPLE_RATE}, {cabinet.identifier}}},')
    lines += ["};", "", "} // namespace", "",
              "std::span<const CabinetResponse> builtInCabinets() { return kCabinets; }", "",
              "} // namespace quarvine", ""]
    return "\n".join(lines)


NUMBER = re.compile(r"-?\d+(?:\.\d*)?(?:e[-+]?\d+)?f")


def same_source(committed, made):
    """The same text with the same numbers, to 1e-6 of each response's peak: the last digit of a
    float may differ between numpy builds."""
    if NUMBER.sub("#", committed) != NUMBER.sub("#", made):
        return False
    a = np.array([float(v[:-1]) for v in NUMBER.findall(committed)])
    b = np.array([float(v[:-1]) for v in NUMBER.findall(made)])
    return bool(np.all(np.abs(a - b) <= 1e-6 * np.max(np.abs(b))))


def truncation(cabinet, taps, full, magnitude):
    """Energy beyond the cut and of the cut and fade together, both against the whole response's,
    and the largest difference, in dB, of the taps' magnitude from the design in 40 Hz - 10 kHz."""
    f = np.geomspace(40.0, 10000.0, 600)
    grid = np.arange(GRID // 2 + 1) * SAMPLE_RATE / GRID
    total = np.sum(full ** 2)
    beyond = float(np.sum(full[TAPS:] ** 2) / total)
    changed = float(np.sum((full[:TAPS] - taps) ** 2) / total) + beyond
    difference = response_db(taps.astype(np.float64), f) - 20.0 * np.log10(np.interp(f, grid, magnitude))
    return 10.0 * math.log10(beyond), 10.0 * math.log10(changed), float(np.max(np.abs(difference)))


def checked(made):
    """The cut must not change the response audibly: within 1 dB of the design from 40 Hz to 10 kHz
    (the model has no deep notches, where a cut would be allowed more)."""
    for cabinet, (taps, full, magnitude) in zip(CABINETS, made):
        beyond, changed, worst = truncation(cabinet, taps, full, magnitude)
        if worst > 1.0:
            sys.exit(f"make_cabinets: {cabinet.name}: {TAPS} taps differ from the design by {worst:.2f} dB")
        yield cabinet, taps, beyond, changed, worst


def report(made):
    for cabinet, taps, beyond, changed, worst in checked(made):
        energy = taps.astype(np.float64) ** 2
        print(f"{cabinet.name}: energy beyond {TAPS} taps {beyond:.1f} dB, of the cut and fade {changed:.1f} dB; "
              f"40 Hz - 10 kHz within {worst:.2f} dB of the design; first 2 ms hold "
              f"{100.0 * np.sum(energy[:SAMPLE_RATE // 500]) / np.sum(energy):.1f} % of the energy; "
              f"peak at tap {int(np.argmax(np.abs(taps)))}")


def draw(made):
    import matplotlib
    matplotlib.use("Agg")  # files only; no display needed
    import matplotlib.pyplot as plt

    f = np.geomspace(40.0, 20000.0, 800)
    grid = np.arange(GRID // 2 + 1) * SAMPLE_RATE / GRID
    fig, axes = plt.subplots(2, 2, figsize=(11, 7), dpi=100, sharex=True, sharey=True)
    for ax, cabinet, (taps, _, magnitude) in zip(axes.flat, CABINETS, made):
        bare = np.abs(bare_speaker(f, cabinet.speaker))
        bare_db = 20.0 * np.log10(bare / np.interp(1000.0, f, bare)) + response_db(taps.astype(np.float64), np.array([1000.0]))[0]
        ax.semilogx(f, bare_db, color="0.6", lw=1.0, label="speaker alone on a baffle (model)")
        ax.semilogx(f, 20.0 * np.log10(np.interp(f, grid, magnitude)), "--", color="tab:blue", lw=1.0,
                    label="cabinet and microphone (model, under the red)")
        ax.semilogx(f, response_db(taps.astype(np.float64), f), color="tab:red", lw=1.3,
                    label=f"impulse response ({TAPS} taps)")
        fc, q = closed_box(cabinet.speaker, cabinet)
        ax.set_title(f"{cabinet.name} (resonance {fc:.0f} Hz, Q {q:.2f})", fontsize=10)
        ax.grid(True, which="both", alpha=0.3)
        ax.set_xlim(40.0, 20000.0)
        ax.set_ylim(-60.0, 15.0)
    for ax in axes[1]:
        ax.set_xlabel("Hz")
    for ax in axes[:, 0]:
        ax.set_ylabel("dB")
    axes[0, 0].legend(loc="lower left", fontsize=8)
    fig.suptitle("Built-in cabinets: magnitude at 48 kHz, equal pink-noise loudness in 80 Hz - 6 kHz")
    fig.tight_layout()
    fig.savefig(PICTURE, metadata={"Software": None})


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true", help="compare cabinets.cpp with the model; write nothing")
    args = parser.parse_args()
    made = [make(cabinet) for cabinet in CABINETS]
    text = source_text(made)
    if args.check:
        for _ in checked(made):
            pass
        with open(SOURCE) as f:
            committed = f.read()
        if not same_source(committed, text):
            print(f"make_cabinets: {SOURCE} differs from what the model gives: run resources/make_cabinets.py")
            return 1
        print(f"make_cabinets: {SOURCE} matches the model")
        return 0
    with open(SOURCE, "w") as f:
        f.write(text)
    report(made)
    draw(made)
    return 0


if __name__ == "__main__":
    sys.exit(main())
