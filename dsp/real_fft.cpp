// SPDX-License-Identifier: GPL-3.0-or-later
// The real transform of N points is a complex one of N/2 points on the even samples as real parts
// and the odd ones as imaginary parts, then a split of that spectrum into the two halves' spectra
// (E. O. Brigham, "The Fast Fourier Transform", 1974). The complex FFT is Stockham's
// autosort form with radix 4 (decimation in frequency; a last radix-2 pass when log2 N/2 is odd):
// no bit reversal, and every pass but the first reads and writes runs of at least four consecutive
// complex values, which it takes four at a time. The first pass is vectorised across butterflies
// instead and transposes its results. The inverse is the forward transform with the real and
// imaginary parts exchanged on the way in and out: swap(DFT(swap(z))) = IDFT(z).
//
// Four floats are one GCC/clang vector: SSE on x86 (SSE2 is the baseline of every x86 build), and
// whatever the target has, or plain floats, elsewhere.
#include "dsp/real_fft.h"

#include <cassert>
#include <cmath>
#include <cstring>
#include <utility>

namespace quarvine {

namespace {

using Float4 = float __attribute__((vector_size(16)));

template <class T>
constexpr int lanes = sizeof(T) / sizeof(float);

template <class T>
T load(const float* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class T>
void store(float* p, T v)
{
    std::memcpy(p, &v, sizeof v);
}

float reversed(float v)
{
    return v;
}

Float4 reversed(Float4 v)
{
    return __builtin_shufflevector(v, v, 3, 2, 1, 0);
}

void transpose(Float4 (&v)[4])
{
    const Float4 t0 = __builtin_shufflevector(v[0], v[1], 0, 4, 1, 5);
    const Float4 t1 = __builtin_shufflevector(v[0], v[1], 2, 6, 3, 7);
    const Float4 t2 = __builtin_shufflevector(v[2], v[3], 0, 4, 1, 5);
    const Float4 t3 = __builtin_shufflevector(v[2], v[3], 2, 6, 3, 7);
    v[0] = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
    v[1] = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
    v[2] = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
    v[3] = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
}

// (r + i im) (wr + i wi) into (outR, outI); W is T or a float for all lanes.
template <class T, class W>
void rotate(T r, T im, W wr, W wi, T& outR, T& outI)
{
    outR = r * wr - im * wi;
    outI = r * wi + im * wr;
}

// The four inputs a0..a3, a quarter of the sub-transform apart, become the four outputs: the
// 4-point DFT (-i for the forward sign), the last three turned by w^p, w^2p, w^3p.
template <class T, class W>
void butterfly(T (&r)[4], T (&im)[4], const W (&w)[6])
{
    const T sum02r = r[0] + r[2], sum02i = im[0] + im[2];
    const T dif02r = r[0] - r[2], dif02i = im[0] - im[2];
    const T sum13r = r[1] + r[3], sum13i = im[1] + im[3];
    const T rot13r = im[1] - im[3], rot13i = r[3] - r[1]; // (a1 - a3) times -i
    r[0] = sum02r + sum13r;
    im[0] = sum02i + sum13i;
    rotate(dif02r + rot13r, dif02i + rot13i, w[0], w[1], r[1], im[1]);
    rotate(sum02r - sum13r, sum02i - sum13i, w[2], w[3], r[2], im[2]);
    rotate(dif02r - rot13r, dif02i - rot13i, w[4], w[5], r[3], im[3]);
}

struct Split {
    float* re;
    float* im;
};

// A radix-4 pass on sub-transforms of 4m points, interleaved at stride s (s a multiple of the
// lanes): input p + c*m of sub-transform q goes to output 4p + c of it. The twiddles of this
// pass are every s-th entry of the first pass's tables (each `quarter` long).
template <class T>
void radix4Pass(const float* tw, int quarter, int m, int s, Split x, Split y)
{
    for (int p = 0; p < m; ++p) {
        const int j = p * s;
        const float w[6] = {tw[j], tw[quarter + j], tw[2 * quarter + j], tw[3 * quarter + j], tw[4 * quarter + j],
                            tw[5 * quarter + j]};
        for (int q = 0; q < s; q += lanes<T>) {
            T r[4], im[4];
            for (int c = 0; c < 4; ++c) {
                r[c] = load<T>(x.re + q + s * (p + c * m));
                im[c] = load<T>(x.im + q + s * (p + c * m));
            }
            butterfly(r, im, w);
            for (int c = 0; c < 4; ++c) {
                store(y.re + q + s * (4 * p + c), r[c]);
                store(y.im + q + s * (4 * p + c), im[c]);
            }
        }
    }
}

// The first pass (s = 1, m = quarter, a multiple of four): four butterflies side by side, whose
// outputs are consecutive once transposed.
void firstRadix4Pass(const float* tw, int m, Split x, Split y)
{
    for (int p = 0; p < m; p += 4) {
        Float4 r[4], im[4];
        for (int c = 0; c < 4; ++c) {
            r[c] = load<Float4>(x.re + p + c * m);
            im[c] = load<Float4>(x.im + p + c * m);
        }
        const Float4 w[6] = {load<Float4>(tw + p),         load<Float4>(tw + m + p),     load<Float4>(tw + 2 * m + p),
                             load<Float4>(tw + 3 * m + p), load<Float4>(tw + 4 * m + p), load<Float4>(tw + 5 * m + p)};
        butterfly(r, im, w);
        transpose(r);
        transpose(im);
        for (int l = 0; l < 4; ++l) {
            store(y.re + 4 * (p + l), r[l]);
            store(y.im + 4 * (p + l), im[l]);
        }
    }
}

// The last pass when log2 of the complex size is odd: 2-point transforms, no twiddles.
template <class T>
void radix2Pass(int s, Split x, Split y)
{
    for (int q = 0; q < s; q += lanes<T>) {
        const T ar = load<T>(x.re + q), ai = load<T>(x.im + q);
        const T br = load<T>(x.re + q + s), bi = load<T>(x.im + q + s);
        store(y.re + q, ar + br);
        store(y.im + q, ai + bi);
        store(y.re + q + s, ar - br);
        store(y.im + q + s, ai - bi);
    }
}

// Bins k and m - k (k = 1 .. m/2) of `in` become out[k] = A + B and out[m - k] = conj(A - B), with
// A = scale (a + conj b) and B = (a - conj b) v, for a = in[k], b = in[m - k] and
// v = (vr * Im w^k) + i (vi * Re w^k). This is the split of the complex spectrum into the real
// one and, with other factors, its inverse.
template <class T>
void recombine(const float* inR, const float* inI, float* outR, float* outI, int m, const float* splitR,
               const float* splitI, float scale, float vr, float vi)
{
    for (int k = 1; k <= m / 2; k += lanes<T>) {
        const int mirror = m - k - (lanes<T> - 1);
        const T ar = load<T>(inR + k), ai = load<T>(inI + k);
        const T br = reversed(load<T>(inR + mirror)), bi = reversed(load<T>(inI + mirror));
        const T sumR = scale * (ar + br), sumI = scale * (ai - bi);
        T difR, difI;
        rotate(ar - br, ai + bi, vr * load<T>(splitI + k), vi * load<T>(splitR + k), difR, difI);
        store(outR + k, sumR + difR);
        store(outI + k, sumI + difI);
        store(outR + mirror, reversed(sumR - difR));
        store(outI + mirror, reversed(difI - sumI));
    }
}

void deinterleave(const float* x, Split z, int m)
{
    int t = 0;
    for (; t + 4 <= m; t += 4) {
        const Float4 low = load<Float4>(x + 2 * t), high = load<Float4>(x + 2 * t + 4);
        store(z.re + t, __builtin_shufflevector(low, high, 0, 2, 4, 6));
        store(z.im + t, __builtin_shufflevector(low, high, 1, 3, 5, 7));
    }
    for (; t < m; ++t) {
        z.re[t] = x[2 * t];
        z.im[t] = x[2 * t + 1];
    }
}

void interleave(const float* even, const float* odd, float* x, int m)
{
    int t = 0;
    for (; t + 4 <= m; t += 4) {
        const Float4 e = load<Float4>(even + t), o = load<Float4>(odd + t);
        store(x + 2 * t, __builtin_shufflevector(e, o, 0, 4, 1, 5));
        store(x + 2 * t + 4, __builtin_shufflevector(e, o, 2, 6, 3, 7));
    }
    for (; t < m; ++t) {
        x[2 * t] = even[t];
        x[2 * t + 1] = odd[t];
    }
}

// The complex FFT of data (m points); spare is overwritten. Returns whichever holds the result.
Split complexForward(const float* twiddles, int m, Split data, Split spare)
{
    const int quarter = m / 4;
    int length = m, stride = 1;
    for (; length >= 4; length /= 4, stride *= 4) {
        if (stride == 1 && quarter % 4 == 0)
            firstRadix4Pass(twiddles, quarter, data, spare);
        else if (stride % 4 == 0)
            radix4Pass<Float4>(twiddles, quarter, length / 4, stride, data, spare);
        else
            radix4Pass<float>(twiddles, quarter, length / 4, stride, data, spare);
        std::swap(data, spare);
    }
    if (length == 2) {
        if (stride % 4 == 0)
            radix2Pass<Float4>(stride, data, spare);
        else
            radix2Pass<float>(stride, data, spare);
        std::swap(data, spare);
    }
    return data;
}

} // namespace

RealFft::RealFft(int size)
    : n(size)
{
    assert(size >= 4 && (size & (size - 1)) == 0);
    const int m = n / 2, quarter = m / 4;
    constexpr double kTwoPi = 6.283185307179586476925;
    twiddles.resize(6 * static_cast<size_t>(quarter));
    for (int j = 0; j < quarter; ++j)
        for (int c = 1; c <= 3; ++c) {
            const double angle = -kTwoPi * c * j / m;
            twiddles[(2 * c - 2) * quarter + j] = static_cast<float>(std::cos(angle));
            twiddles[(2 * c - 1) * quarter + j] = static_cast<float>(std::sin(angle));
        }
    splitR.resize(m / 2 + 1);
    splitI.resize(m / 2 + 1);
    for (int k = 0; k <= m / 2; ++k) {
        splitR[k] = static_cast<float>(std::cos(-kTwoPi * k / n));
        splitI[k] = static_cast<float>(std::sin(-kTwoPi * k / n));
    }
    scratch.assign(4 * static_cast<size_t>(m), 0.0f);
}

void RealFft::forward(const float* x, float* re, float* im)
{
    const int m = n / 2;
    const Split a{scratch.data(), scratch.data() + m}, b{scratch.data() + 2 * m, scratch.data() + 3 * m};
    deinterleave(x, a, m);
    const Split z = complexForward(twiddles.data(), m, a, b);
    re[0] = z.re[0] + z.im[0];
    re[m] = z.re[0] - z.im[0];
    im[0] = im[m] = 0.0f;
    // E = (a + conj b) / 2 and O = (a - conj b) / 2i are the even and odd samples' spectra;
    // X[k] = E + w^k O, X[m - k] = conj(E - w^k O).
    if (m >= 8)
        recombine<Float4>(z.re, z.im, re, im, m, splitR.data(), splitI.data(), 0.5f, 0.5f, -0.5f);
    else
        recombine<float>(z.re, z.im, re, im, m, splitR.data(), splitI.data(), 0.5f, 0.5f, -0.5f);
}

void RealFft::inverse(const float* re, const float* im, float* x)
{
    const int m = n / 2;
    // The complex spectrum Z = (X[k] + conj X[m - k]) + i (X[k] - conj X[m - k]) conj(w^k), whose
    // inverse is n/2 times the even samples as real parts and the odd ones as imaginary parts,
    // is stored with its parts exchanged for the forward transform.
    const Split a{scratch.data() + m, scratch.data()}, b{scratch.data() + 3 * m, scratch.data() + 2 * m};
    a.re[0] = re[0] + re[m];
    a.im[0] = re[0] - re[m];
    if (m >= 8)
        recombine<Float4>(re, im, a.re, a.im, m, splitR.data(), splitI.data(), 1.0f, 1.0f, 1.0f);
    else
        recombine<float>(re, im, a.re, a.im, m, splitR.data(), splitI.data(), 1.0f, 1.0f, 1.0f);
    const Split z = complexForward(twiddles.data(), m, Split{a.im, a.re}, Split{b.im, b.re});
    interleave(z.im, z.re, x, m);
}

} // namespace quarvine
