// SPDX-License-Identifier: GPL-3.0-or-later
// Nodal analysis of a small linear network at one complex frequency, for checking the coefficient
// tables against the circuits they stand for by a second, independent method.
#pragma once

#include <cmath>
#include <complex>
#include <utility>
#include <vector>

namespace quarvine::test {

using Complex = std::complex<double>;

// Not every C library defines kPi in strict standard mode.
inline constexpr double kPi = 3.14159265358979323846;

inline constexpr int kGround = -1;
inline constexpr int kSource = -2; // driven by an ideal 1 V source

class NodalNetwork {
public:
    explicit NodalNetwork(int nodes) : size(nodes), matrix(nodes * nodes), rhs(nodes) {}

    void admittance(int a, int b, Complex y)
    {
        stampSide(a, b, y);
        stampSide(b, a, y);
    }
    void resistor(int a, int b, double r) { admittance(a, b, 1.0 / r); }
    void capacitor(int a, int b, double c, Complex s) { admittance(a, b, s * c); }

    // Node voltages by Gaussian elimination with partial pivoting.
    std::vector<Complex> solve() const
    {
        std::vector<Complex> m = matrix;
        std::vector<Complex> v = rhs;
        for (int col = 0; col < size; ++col) {
            int pivot = col;
            for (int r = col + 1; r < size; ++r)
                if (std::abs(m[r * size + col]) > std::abs(m[pivot * size + col]))
                    pivot = r;
            for (int c = 0; c < size; ++c)
                std::swap(m[col * size + c], m[pivot * size + c]);
            std::swap(v[col], v[pivot]);
            for (int r = col + 1; r < size; ++r) {
                Complex f = m[r * size + col] / m[col * size + col];
                for (int c = col; c < size; ++c)
                    m[r * size + c] -= f * m[col * size + c];
                v[r] -= f * v[col];
            }
        }
        std::vector<Complex> x(size);
        for (int r = size - 1; r >= 0; --r) {
            Complex sum = v[r];
            for (int c = r + 1; c < size; ++c)
                sum -= m[r * size + c] * x[c];
            x[r] = sum / m[r * size + r];
        }
        return x;
    }

    // The determinant of the node matrix, and that of the matrix whose column `node` is replaced by
    // the source vector. By Cramer's rule their ratio is the node's voltage; as functions of s both
    // are polynomials, which is how a network's transfer polynomials are recovered from it.
    Complex determinant() const { return eliminatedDeterminant(matrix); }
    Complex cramerNumerator(int node) const
    {
        std::vector<Complex> m = matrix;
        for (int r = 0; r < size; ++r)
            m[r * size + node] = rhs[r];
        return eliminatedDeterminant(m);
    }

private:
    Complex eliminatedDeterminant(std::vector<Complex> m) const
    {
        Complex det = 1.0;
        for (int col = 0; col < size; ++col) {
            int pivot = col;
            for (int r = col + 1; r < size; ++r)
                if (std::abs(m[r * size + col]) > std::abs(m[pivot * size + col]))
                    pivot = r;
            if (pivot != col) {
                for (int c = 0; c < size; ++c)
                    std::swap(m[col * size + c], m[pivot * size + c]);
                det = -det;
            }
            const Complex diagonal = m[col * size + col];
            det *= diagonal;
            if (diagonal == 0.0)
                return 0.0;
            for (int r = col + 1; r < size; ++r) {
                const Complex f = m[r * size + col] / diagonal;
                for (int c = col; c < size; ++c)
                    m[r * size + c] -= f * m[col * size + c];
            }
        }
        return det;
    }

    void stampSide(int a, int b, Complex y)
    {
        if (a < 0)
            return;
        matrix[a * size + a] += y;
        if (b >= 0)
            matrix[a * size + b] -= y;
        else if (b == kSource)
            rhs[a] += y;
    }

    int size;
    std::vector<Complex> matrix;
    std::vector<Complex> rhs;
};

inline Complex jOmega(double hertz) { return Complex(0.0, 2.0 * kPi * hertz); }

// Magnitude of a digital filter sum(b z^-k) / sum(a z^-k) at angular frequency w (radians/sample).
inline double digitalMagnitude(const double* b, const double* a, int taps, double w)
{
    Complex num = 0.0, den = 0.0;
    for (int k = 0; k < taps; ++k) {
        Complex zk = std::polar(1.0, -w * k);
        num += b[k] * zk;
        den += a[k] * zk;
    }
    return std::abs(num / den);
}

// The digital frequency that the bilinear transform with constant k maps onto analog hertz.
inline double prewarpedDigitalFrequency(double hertz, double k) { return 2.0 * std::atan(2.0 * kPi * hertz / k); }

} // namespace quarvine::test
