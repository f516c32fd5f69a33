// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/input_network.h"

#include "dsp/tone_stack.h"

namespace quarvine {

InputNetworkPolynomials inputNetworkPolynomials(const InputNetworkComponents& parts)
{
    const double Cc = parts.couplingCapacitance, Cs = parts.bypassCapacitance, Cb = parts.brightCapacitance,
                 Co = parts.outputCapacitance;
    const double Rs = parts.seriesResistance, Rl = parts.leakResistance, Rp = parts.potResistance,
                 Ro = parts.outputResistance;
    const double Rp2 = Rp * Rp;
    InputNetworkPolynomials p{};
    // Scaled so that the s^0 term of D0 is -(Rs + Rl + Rp).
    p.d0[0] = -(Rs + Rl + Rp);
    p.d0[1] = -(Cb * Rl * Rp + Cb * Rs * Rp + Cc * Rl * Rp + Cc * Rs * Rl + Co * Rl * Ro + Co * Rp * Ro +
                Co * Rs * Ro + Cs * Rs * Rl + Cs * Rs * Rp);
    p.d0[2] = -(Cb * Co * Rl * Rp * Ro + Cb * Co * Rs * Rp * Ro + Cc * Cb * Rs * Rl * Rp + Cc * Co * Rl * Rp * Ro +
                Cc * Co * Rs * Rl * Ro + Cc * Cs * Rs * Rl * Rp + Cs * Cb * Rs * Rl * Rp + Cs * Co * Rs * Rl * Ro +
                Cs * Co * Rs * Rp * Ro);
    p.d0[3] = -Co * Ro * Rs * Rl * Rp * (Cc * Cb + Cc * Cs + Cs * Cb);
    p.d0[4] = 0.0;

    p.d1[0] = 0.0;
    p.d1[1] = Cb * Rp * (Rs + Rl - Rp) - Co * Rp * (Rs + Rl + Rp);
    p.d1[2] = -Cb * Co * Rl * Rp2 + Cb * Co * Rl * Rp * Ro - Cb * Co * Rp2 * Ro - Cb * Co * Rs * Rp2 +
              Cb * Co * Rs * Rp * Ro - Cc * Cb * Rl * Rp2 + Cc * Cb * Rs * Rl * Rp - Cc * Co * Rl * Rp2 -
              Cc * Co * Rs * Rl * Rp + Cs * Cb * Rs * Rl * Rp - Cs * Cb * Rs * Rp2 - Cs * Co * Rs * Rl * Rp -
              Cs * Co * Rs * Rp2;
    p.d1[3] = -Cc * Cb * Co * Rl * Rp2 * Ro - Cc * Cb * Co * Rs * Rl * Rp2 + Cc * Cb * Co * Rs * Rl * Rp * Ro -
              Cc * Cs * Cb * Rs * Rl * Rp2 - Cc * Cs * Co * Rs * Rl * Rp2 - Cs * Cb * Co * Rs * Rl * Rp2 +
              Cs * Cb * Co * Rs * Rl * Rp * Ro - Cs * Cb * Co * Rs * Rp2 * Ro;
    p.d1[4] = -Cc * Cs * Cb * Co * Rs * Rl * Rp2 * Ro;

    p.d2[0] = 0.0;
    p.d2[1] = (Cb + Co) * Rp2;
    p.d2[2] = Rp2 * (Cb * Co * Rl + Cb * Co * Ro + Cb * Co * Rs + Cc * Cb * Rl + Cc * Co * Rl + Cs * Cb * Rs +
                     Cs * Co * Rs);
    p.d2[3] = Rp2 * (Cc * Cb * Co * Rl * Ro + Cc * Cb * Co * Rs * Rl + Cc * Cs * Cb * Rs * Rl +
                     Cc * Cs * Co * Rs * Rl + Cs * Cb * Co * Rs * Rl + Cs * Cb * Co * Rs * Ro);
    p.d2[4] = Cc * Cs * Cb * Co * Rs * Rl * Rp2 * Ro;

    p.n1[0] = 0.0;
    p.n1[1] = -Cc * Rl * Rp;
    p.n1[2] = -Cc * Cb * Rl * Rp2 - Cc * Cs * Rs * Rl * Rp;
    p.n1[3] = -Cc * Cs * Cb * Rs * Rl * Rp2;
    p.n1[4] = 0.0;

    p.n2[0] = 0.0;
    p.n2[1] = 0.0;
    p.n2[2] = Cc * Cb * Rl * Rp2;
    p.n2[3] = Cc * Cs * Cb * Rs * Rl * Rp2;
    p.n2[4] = 0.0;
    return p;
}

namespace {

// Bilinear transform of one group, multiplied through by (1 + 1/z)^4.
void discretise(const double (&p)[5], double k, double* out)
{
    const double k2 = k * k, k3 = k * k * k, k4 = k * k * k * k;
    out[0] = p[0] + p[1] * k + p[2] * k2 + p[3] * k3 + p[4] * k4;
    out[1] = 4.0 * p[0] + 2.0 * p[1] * k - 2.0 * p[3] * k3 - 4.0 * p[4] * k4;
    out[2] = 6.0 * p[0] - 2.0 * p[2] * k2 + 6.0 * p[4] * k4;
    out[3] = 4.0 * p[0] - 2.0 * p[1] * k + 2.0 * p[3] * k3 - 4.0 * p[4] * k4;
    out[4] = p[0] - p[1] * k + p[2] * k2 - p[3] * k3 + p[4] * k4;
}

} // namespace

void buildInputNetwork(InputNetworkFilter& filter, const InputNetworkComponents& parts, double rate,
                       double initialInput)
{
    const double k = 2.0 * rate;
    const InputNetworkPolynomials p = inputNetworkPolynomials(parts);
    discretise(p.d0, k, filter.constantTerms);
    for (int i = 5; i < 10; ++i)
        filter.constantTerms[i] = 0.0; // nothing passes at zero drive
    discretise(p.d1, k, filter.linearTerms);
    discretise(p.n1, k, filter.linearTerms + 5);
    discretise(p.d2, k, filter.quadraticTerms);
    discretise(p.n2, k, filter.quadraticTerms + 5);
    for (double& c : filter.networkCoefficients)
        c = 0.0;
    filter.inverseA0 = 0.0;
    filter.cachedDrive = kUnsetControl;
    for (int i = 0; i < 4; ++i) {
        filter.inputHistory[i] = initialInput;
        filter.outputHistory[i] = 0.0;
    }
}

} // namespace quarvine
