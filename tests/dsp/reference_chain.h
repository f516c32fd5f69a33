// SPDX-License-Identifier: GPL-3.0-or-later
// An independent model of the amplifier chain, built from the circuit's description alone: its
// own stages, set-up and order, for comparing the product's chain against sample by sample.
#pragma once

#include "reference_networks.h"
#include "reference_sections.h"
#include "reference_triode.h"

#include <array>
#include <functional>
#include <optional>

namespace quarvine::reference {

// How closely the product's chain must follow this one, relative to the output's peak (levels
// differ by setting, and single samples pass through zero). Not near the last bit: the drive
// network and the tone stack are 4th-order recursions with poles within about 1e-4 of z = 1 at
// 88.2 kHz, whose feedback magnifies any last-bit difference in coefficients or input some ten
// million times (1e-8 of peak even with identical coefficients). At full drive the model's
// coefficients, formed as constant + d linear + d^2 quadratic terms that nearly cancel near
// d = 1, are themselves 1.6e-6 of peak away from the exact network. A mistake in the chain
// moves the output by percents.
inline constexpr double kToleranceOfPeak = 1e-5;

// The control values as the chain reads them (after the knobs' tapers).
struct Controls {
    double master, drive, treble, middle, bass, fixedTone, volume;
};

// The knobs' cubic taper with its clamp, for Master, Drive and Bass.
double taper(double knob);

// Which non-linear regions a run reached, so a test can show its signal exercises them.
struct Coverage {
    std::array<long, 3> gridConduction{};
    std::array<long, 3> cutoff{};
    long limited = 0;               // sub-samples above the soft limiter's knee
    double largestLimiterInput = 0.0;
    double largestShaperDrive = 0.0; // |2 k s| at the output shaper: tanh saturates from about 2
};

// Where the chain takes the coefficients of its two control-driven networks from: by default their
// circuits. The drive network's direct form divides by a[0], so those need not be normalised.
struct NetworkSource {
    std::function<Filter4(double drive)> drive;
    std::function<Filter4(const Controls&)> tone;
};

class Chain {
public:
    explicit Chain(double hostRate, NetworkSource networks = {});

    // One host sample in, one out (before narrowing to the host's format).
    double process(double x, const Controls& controls);
    Coverage coverage() const;

private:
    double stage(double s, const Controls& controls);
    const Filter4& driveFilter(double drive);
    const Filter4& toneFilter(const Controls& controls);

    // The drive network's direct form: histories latest first, the sum scaled by 1 / a0 at the end.
    struct DirectForm {
        std::array<double, 4> x{}, y{};
        double operator()(const Filter4& f, double in);
    };
    // The tone stack's transposed direct form II.
    struct TransposedForm {
        std::array<double, 4> state{};
        double operator()(const Filter4& f, double in);
    };

    double rate; // the model runs at twice the host rate
    NetworkSource networks;
    Triode triode1, triode2, triode3;
    HalfBand upsampler, downsampler;
    DirectForm driveHistory;
    TransposedForm toneHistory;
    std::optional<double> cachedDrive;
    std::optional<std::array<double, 4>> cachedTone;
    Filter4 driveCoefficients, toneCoefficients;
    LowPass lowpass1, lowpass2, lowpass3;
    HighPass couplingA, couplingB, outputCoupling;
    Biquad shelf, midPeak, bleed, rumble;
    long limited = 0;
    double largestLimiterInput = 0.0;
    double largestShaperDrive = 0.0;
};

} // namespace quarvine::reference
