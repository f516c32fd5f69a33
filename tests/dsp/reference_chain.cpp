// SPDX-License-Identifier: GPL-3.0-or-later
#include "reference_chain.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace quarvine::reference {

double taper(double knob)
{
    const double t = 1.1426 * knob * knob * knob - 0.1662 * knob * knob + 0.0229 * knob;
    return std::clamp(t, 0.0001, 0.9999);
}

namespace {
constexpr double kCouplingTimeConstant = 0.030000000000000002;
constexpr double kOutputCouplingTimeConstant = 0.0159;
} // namespace

Chain::Chain(double hostRate, NetworkSource networkSource)
    : rate(2.0 * hostRate), networks(std::move(networkSource)), triode1(firstTriode(), rate), triode2(secondTriode(), rate),
      triode3(thirdTriode(), rate), lowpass1(7.125e-05, 1.0 / rate), lowpass2(4.8e-05, 1.0 / rate),
      lowpass3(4.5e-05, 1.0 / rate), couplingA(kCouplingTimeConstant, 1.0 / rate, triode2.biasPlateVoltage()),
      couplingB(kCouplingTimeConstant, 1.0 / rate, 0.0),
      outputCoupling(kOutputCouplingTimeConstant, 1.0 / rate, triode3.biasPlateVoltage()), shelf(stageShelf(rate)),
      midPeak(midBoost(rate)), bleed(bleedShelf(rate)), rumble(rumbleHighPass(rate))
{
    // The drive network has seen the first stage's resting plate voltage for ever: no start-up step.
    driveHistory.x.fill(triode1.biasPlateVoltage());
}

double Chain::DirectForm::operator()(const Filter4& f, double in)
{
    const double out = (f.b[0] * in + f.b[1] * x[0] + f.b[2] * x[1] + f.b[3] * x[2] + f.b[4] * x[3] - f.a[1] * y[0] -
                        f.a[2] * y[1] - f.a[3] * y[2] - f.a[4] * y[3]) /
                       f.a[0];
    std::copy_backward(x.begin(), x.end() - 1, x.end());
    std::copy_backward(y.begin(), y.end() - 1, y.end());
    x[0] = in;
    y[0] = out;
    return out;
}

double Chain::TransposedForm::operator()(const Filter4& f, double in)
{
    const double out = f.b[0] * in + state[0];
    for (int k = 0; k < 3; ++k)
        state[k] = f.b[k + 1] * in + state[k + 1] - f.a[k + 1] * out;
    state[3] = f.b[4] * in - f.a[4] * out;
    return out;
}

const Filter4& Chain::driveFilter(double drive)
{
    if (cachedDrive != drive) {
        driveCoefficients =
            networks.drive ? networks.drive(drive) : bilinearFilter(driveNetworkCircuit(drive), 2.0 * rate);
        cachedDrive = drive;
    }
    return driveCoefficients;
}

const Filter4& Chain::toneFilter(const Controls& c)
{
    const std::array<double, 4> now{c.treble, c.middle, c.bass, c.fixedTone};
    if (cachedTone != now) {
        toneCoefficients = networks.tone ? networks.tone(c)
                                         : bilinearFilter(toneStackCircuit(c.treble, c.middle, c.bass, c.fixedTone),
                                                          2.0 * rate);
        cachedTone = now;
    }
    return toneCoefficients;
}

double Chain::stage(double s, const Controls& c)
{
    s = triode1.step(s);
    s = driveHistory(driveFilter(c.drive), s);
    s = lowpass1(s);
    s = triode2.step(s);
    s = couplingA(s);
    s = lowpass2(0.68 * s);
    s = couplingB(-1.8687 * s);
    s = shelf(s);
    s = lowpass3(s);
    s = triode3.step(s);
    largestLimiterInput = std::max(largestLimiterInput, s);
    if (s > 300.0) {
        // 300 + 55 tanh(0.018 (s - 300)): slope 0.99 at the knee, never above 355.
        const double e = std::exp(2.0 * (0.018 * (s - 300.0)));
        s = 300.0 + 55.0 * (e - 1.0) / (e + 1.0);
        ++limited;
    }
    s = outputCoupling(s);
    s = toneHistory(toneFilter(c), s);
    s = midPeak(s);
    s = bleed(s);
    // 1.14 tanh(2 k s), k = 0.0075 master.
    const double k = 0.0075 * c.master;
    largestShaperDrive = std::max(largestShaperDrive, std::abs(2.0 * k * s));
    const double e = std::exp(s * k * 4.0);
    s = 1.14 * (e - 1.0) / (e + 1.0);
    return rumble(s);
}

double Chain::process(double x, const Controls& c)
{
    const auto [earlier, later] = upsampler.up(x);
    const double first = stage(earlier, c);
    const double second = stage(later, c);
    return downsampler.down(first, second) * c.volume;
}

Coverage Chain::coverage() const
{
    Coverage c;
    const Triode* stages[] = {&triode1, &triode2, &triode3};
    for (int i = 0; i < 3; ++i) {
        c.gridConduction[i] = stages[i]->gridConductionSamples;
        c.cutoff[i] = stages[i]->cutoffSamples;
    }
    c.limited = limited;
    c.largestLimiterInput = largestLimiterInput;
    c.largestShaperDrive = largestShaperDrive;
    return c;
}

} // namespace quarvine::reference
