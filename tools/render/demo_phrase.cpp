// SPDX-License-Identifier: GPL-3.0-or-later
#include "demo_phrase.h"

#include "tools/common/split_mix64.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>

namespace render {

namespace {

constexpr double kRate = kDemoSampleRate;
constexpr double kPi = 3.14159265358979323846;

// Fixed numbers from a fixed seed: the phrase is the same on every machine.
class Random {
public:
    explicit Random(std::uint64_t seed) : generator(seed) {}
    // Uniform in [-1, 1).
    double bipolar() { return generator.unit() * 2.0 - 1.0; }
    // Uniform in [lo, hi).
    double between(double lo, double hi) { return lo + (hi - lo) * 0.5 * (bipolar() + 1.0); }

private:
    tools::SplitMix64 generator;
};

double midiToHz(int note)
{
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

struct Pluck {
    double start = 0.0;     // seconds
    double release = 0.0;   // seconds; the string is damped from here
    int note = 64;
    double velocity = 1.0;  // 0..1
    double pickPosition = 0.15;  // fraction of the string from the bridge
    double ringSeconds = 2.5;    // decay time (-60 dB) while held
    bool palmMuted = false;
    double level = 1.0;          // output scale: picking dynamics that stay below the amp's breakup
};

// Extended Karplus-Strong: a noise burst shaped by pick dynamics and pick position excites a
// loop of delay, loss, a one-zero damping filter and an all-pass that tunes the fractional part.
void renderPluck(const Pluck& pluck, Random& random, std::vector<double>& out)
{
    const double frequency = midiToHz(pluck.note);
    const double period = kRate / frequency;

    // Damping: brighter strings decay from the top faster; a palm mute darkens everything.
    const double damping = pluck.palmMuted ? 0.45 : 0.12 + 0.1 * (1.0 - pluck.velocity);
    // The one-zero filter delays by `damping` samples at low frequencies; the all-pass covers
    // what is left beyond the whole delay line.
    double remaining = period - damping;
    auto whole = static_cast<std::size_t>(std::floor(remaining - 0.1));
    const double fraction = remaining - static_cast<double>(whole);
    const double allpass = (1.0 - fraction) / (1.0 + fraction);

    auto lossFor = [&](double seconds) { return std::pow(10.0, -3.0 / (frequency * seconds)); };
    const double heldLoss = lossFor(pluck.palmMuted ? 0.12 : pluck.ringSeconds);
    const double releasedLoss = lossFor(0.08);

    // Excitation: one period of noise, lowpassed harder for softer picking, with a comb notch
    // at the harmonics the pick position cannot excite.
    std::vector<double> burst(whole + 1);
    double brightness = 0.2 + 0.7 * pluck.velocity;
    double smooth = 0.0;
    for (auto& sample : burst) {
        smooth += brightness * (random.bipolar() - smooth);
        sample = smooth;
    }
    auto notch = static_cast<std::size_t>(std::lround(pluck.pickPosition * period));
    std::vector<double> excitation(burst.size());
    for (std::size_t n = 0; n < burst.size(); ++n)
        excitation[n] = pluck.velocity * (burst[n] - (n >= notch ? burst[n - notch] : 0.0));

    const auto first = static_cast<std::size_t>(pluck.start * kRate);
    const auto releaseAt = static_cast<std::size_t>((pluck.release - pluck.start) * kRate);
    const std::size_t length = releaseAt + static_cast<std::size_t>(0.4 * kRate);
    std::vector<double> history(whole + 2, 0.0);  // circular: y[n - whole - 1] .. y[n - 1]
    std::size_t head = 0;
    double allpassIn = 0.0, allpassOut = 0.0;
    for (std::size_t n = 0; n < length && first + n < out.size(); ++n) {
        const std::size_t size = history.size();
        double delayed = history[(head + size - whole) % size];
        double delayedOlder = history[(head + size - whole - 1) % size];
        double lowpassed = (1.0 - damping) * delayed + damping * delayedOlder;
        double tuned = allpass * lowpassed + allpassIn - allpass * allpassOut;
        allpassIn = lowpassed;
        allpassOut = tuned;
        double loss = n < releaseAt ? heldLoss : releasedLoss;
        double y = (n < excitation.size() ? excitation[n] : 0.0) + loss * tuned;
        history[head] = y;
        head = (head + 1) % size;
        out[first + n] += pluck.level * y;
    }
}

// A two-pole resonator for the body modes.
class Resonator {
public:
    Resonator(double frequency, double q, double gain)
    {
        double w = 2.0 * kPi * frequency / kRate;
        double alpha = std::sin(w) / (2.0 * q);
        double a0 = 1.0 + alpha;
        b0 = gain * alpha / a0;
        a1 = -2.0 * std::cos(w) / a0;
        a2 = (1.0 - alpha) / a0;
    }
    double operator()(double x)
    {
        // Band-pass with zeros at DC and Nyquist: b = {b0, 0, -b0}.
        double y = b0 * x - b0 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }

private:
    double b0 = 0, a1 = 0, a2 = 0, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

// One strum: strings struck in turn, low to high going down, high to low going up.
void strum(std::vector<Pluck>& plucks, Random& random, std::initializer_list<int> chord, double at, double until,
           bool down, double velocity, bool palmMuted = false)
{
    std::vector<int> notes(chord);
    if (!down) {
        // Up-strokes catch the treble strings only.
        notes.erase(notes.begin(), notes.end() - std::min<std::ptrdiff_t>(4, static_cast<std::ptrdiff_t>(notes.size())));
        std::reverse(notes.begin(), notes.end());
    }
    double spread = down ? 0.012 : 0.009;
    double t = at;
    for (int note : notes) {
        Pluck pluck;
        pluck.start = t;
        pluck.release = until;
        pluck.note = note;
        pluck.velocity = std::clamp(velocity * random.between(0.85, 1.05), 0.05, 1.0);
        pluck.pickPosition = random.between(0.12, 0.2);
        pluck.palmMuted = palmMuted;
        plucks.push_back(pluck);
        t += spread * random.between(0.7, 1.3);
    }
}

} // namespace

std::vector<float> demoPhrase()
{
    Random random(0x5155415256494E45ull);
    std::vector<Pluck> plucks;

    // Two bars at 120 bpm of a pentatonic line in E minor, one note per eighth, picked softly
    // enough (about 26 dB under the strums) that the amp stays nearly clean; the strums drive it.
    const int line[] = {52, 55, 57, 59, 62, 64, 62, 59};
    for (int i = 0; i < 8; ++i) {
        Pluck pluck;
        pluck.start = 0.05 + 0.25 * i;
        pluck.release = pluck.start + (i == 7 ? 0.45 : 0.24);
        pluck.note = line[i];
        pluck.velocity = random.between(0.7, 0.95);
        pluck.pickPosition = random.between(0.1, 0.16);
        pluck.ringSeconds = 1.8;
        pluck.level = 0.05;
        plucks.push_back(pluck);
    }

    // Strummed open chords, down-down-up in each beat pair.
    struct Chord {
        std::initializer_list<int> notes;
        double at;
    };
    const Chord chords[] = {
        {{40, 47, 52, 55, 59, 64}, 2.5},  // E minor
        {{43, 47, 50, 55, 59, 67}, 3.5},  // G
        {{50, 57, 62, 66}, 4.5},          // D
        {{48, 52, 55, 60, 64}, 5.5},      // C
    };
    for (const auto& chord : chords) {
        strum(plucks, random, chord.notes, chord.at, chord.at + 0.5, true, 0.9);
        strum(plucks, random, chord.notes, chord.at + 0.5, chord.at + 0.75, true, 0.7);
        strum(plucks, random, chord.notes, chord.at + 0.75, chord.at + 1.0, false, 0.55);
    }

    // Palm-muted power-chord chugs, then a ringing E minor to close.
    for (int i = 0; i < 4; ++i) {
        double at = 6.5 + 0.125 * i;
        strum(plucks, random, {40, 47, 52}, at, at + 0.11, true, 0.95, true);
    }
    strum(plucks, random, {40, 47, 52, 55, 59, 64}, 7.0, 7.85, true, 1.0);

    std::vector<double> strings(static_cast<std::size_t>(kDemoSeconds * kRate), 0.0);
    for (const auto& pluck : plucks)
        renderPluck(pluck, random, strings);

    // Body: the direct string sound plus a few low wooden modes, then a pickup-like top roll-off.
    Resonator air(98.0, 12.0, 0.6), top(204.0, 14.0, 0.45), back(390.0, 9.0, 0.3), upper(1150.0, 5.0, 0.15);
    double roll = 0.0;
    const double rollCoefficient = 1.0 - std::exp(-2.0 * kPi * 5500.0 / kRate);
    double dcIn = 0.0, dcOut = 0.0;
    const double dcCoefficient = std::exp(-2.0 * kPi * 30.0 / kRate);
    std::vector<double> shaped(strings.size());
    for (std::size_t n = 0; n < strings.size(); ++n) {
        double x = strings[n];
        double body = x + air(x) + top(x) + back(x) + upper(x);
        roll += rollCoefficient * (body - roll);
        dcOut = dcCoefficient * dcOut + roll - dcIn;
        dcIn = roll;
        shaped[n] = dcOut;
    }

    // A fixed peak of -6 dBFS leaves room for the amp's gain staging.
    double peak = 0.0;
    for (double sample : shaped)
        peak = std::max(peak, std::fabs(sample));
    const double scale = peak > 0.0 ? 0.5 / peak : 0.0;
    std::vector<float> phrase(shaped.size());
    for (std::size_t n = 0; n < shaped.size(); ++n)
        phrase[n] = static_cast<float>(shaped[n] * scale);
    // Fade the last 50 ms so the file ends at rest.
    const auto fade = static_cast<std::size_t>(0.05 * kRate);
    for (std::size_t n = 0; n < fade; ++n)
        phrase[phrase.size() - 1 - n] *= static_cast<float>(n) / static_cast<float>(fade);
    return phrase;
}

} // namespace render
