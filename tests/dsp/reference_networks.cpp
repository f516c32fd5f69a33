// SPDX-License-Identifier: GPL-3.0-or-later
#include "reference_networks.h"

#include "network_solver.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace quarvine::reference {
namespace {

using test::Complex;
constexpr int kPoints = 16; // well above the order, so a wrong order shows in the residual

// Joins the nodes of zero-ohm resistors (a pot at an end stop) and numbers what is left.
class NodeMap {
public:
    explicit NodeMap(const Circuit& c) : parent(c.nodes + 2)
    {
        std::iota(parent.begin(), parent.end(), 0);
        for (const Part& p : c.parts)
            if (!p.capacitor && p.value == 0.0)
                join(p.a, p.b);
        for (int n = 0; n < c.nodes; ++n)
            if (find(slot(n)) == slot(n))
                number.emplace_back(n);
    }
    int count() const { return static_cast<int>(number.size()); }
    int operator()(int node) const
    {
        const int root = find(slot(node));
        if (root < 2)
            return root - 2; // ground or source
        return static_cast<int>(std::find(number.begin(), number.end(), root - 2) - number.begin());
    }

private:
    static int slot(int node) { return node + 2; } // kSource -2 -> 0, kGround -1 -> 1
    int find(int s) const { return parent[s] == s ? s : find(parent[s]); }
    void join(int a, int b)
    {
        int ra = find(slot(a)), rb = find(slot(b));
        if (ra == rb)
            return;
        if (rb < ra) // the source or ground stays the root
            std::swap(ra, rb);
        parent[rb] = ra;
    }
    std::vector<int> parent;
    std::vector<int> number;
};

} // namespace

Filter4 bilinearFilter(const Circuit& circuit, double k)
{
    const NodeMap map(circuit);
    const int out = map(circuit.output);
    std::vector<Complex> w(kPoints), num(kPoints), den(kPoints);
    for (int i = 0; i < kPoints; ++i) {
        // Half-step offset keeps clear of z^-1 = -1, where s is infinite.
        w[i] = std::polar(1.0, test::kPi * (2 * i + 1) / kPoints);
        const Complex s = k * (1.0 - w[i]) / (1.0 + w[i]);
        test::NodalNetwork net(map.count());
        for (const Part& p : circuit.parts) {
            if (!p.capacitor && p.value == 0.0)
                continue;
            net.admittance(map(p.a), map(p.b), p.capacitor ? s * p.value : Complex(1.0 / p.value));
        }
        const Complex scale = std::pow(1.0 + w[i], 4);
        num[i] = net.cramerNumerator(out) * scale;
        den[i] = net.determinant() * scale;
    }
    std::array<Complex, kPoints> bz{}, az{};
    for (int j = 0; j < kPoints; ++j)
        for (int i = 0; i < kPoints; ++i) {
            const Complex back = std::pow(w[i], -j) / static_cast<double>(kPoints);
            bz[j] += num[i] * back;
            az[j] += den[i] * back;
        }
    Filter4 f;
    double largest = 0.0, stray = 0.0;
    for (int j = 0; j < kPoints; ++j) {
        const std::array<Complex, kPoints>* both[] = {&bz, &az};
        for (auto* poly : both) {
            largest = std::max(largest, std::abs((*poly)[j]));
            stray = std::max(stray, std::abs((*poly)[j].imag()));
            if (j > 4)
                stray = std::max(stray, std::abs((*poly)[j]));
        }
    }
    for (int j = 0; j < 5; ++j) {
        f.b[j] = (bz[j] / az[0]).real();
        f.a[j] = (az[j] / az[0]).real();
    }
    f.residual = stray / largest;
    return f;
}

Circuit toneStackCircuit(double t, double m, double b, double h)
{
    const double c1 = 6.8e-10, c2 = 2.2e-8, c3 = 2.2e-8, c4 = 3e-9;
    const double r1 = 47000, r2 = 250000, r3 = 1000000, r4 = 25000, r5 = 22000, r6 = 100000, r7 = 1000000;
    enum { top, slope, bottom, bassEnd, middleWiper, out, cutBranch, count };
    const int gnd = test::kGround, in = test::kSource;
    return {count,
            out,
            {{in, top, true, c1},
             {in, slope, false, r1},
             {slope, bottom, true, c2},
             {slope, middleWiper, true, c3},
             {top, out, false, (1.0 - t) * r2},
             {out, bottom, false, t * r2},
             {bottom, bassEnd, false, b * r3},
             {bassEnd, middleWiper, false, (1.0 - m) * r4},
             {middleWiper, gnd, false, m * r4},
             {out, gnd, false, r7},
             {out, cutBranch, true, c4},
             {cutBranch, gnd, false, r5 + (1.0 - h) * r6}}};
}

Circuit driveNetworkCircuit(double d)
{
    const double cc = 2e-8, cs = 2.082e-9, cb = 1e-9, co = 2e-11;
    const double rs = 519000, rl = 2200000, rp = 1000000, ro = 475000;
    enum { coupled, series, wiper, out, count };
    const int gnd = test::kGround, in = test::kSource;
    return {count,
            out,
            {{in, coupled, true, cc},
             {coupled, gnd, false, rl},
             {coupled, series, false, rs},
             {coupled, series, true, cs},
             {series, wiper, false, (1.0 - d) * rp},
             {series, wiper, true, cb},
             {wiper, gnd, false, d * rp},
             {wiper, out, false, ro},
             {out, gnd, true, co}}};
}

} // namespace quarvine::reference
