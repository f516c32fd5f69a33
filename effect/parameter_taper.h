// The cubic taper of Master, Drive and Bass, clamped to the range the circuit model expects.
#pragma once

namespace quarvine {

inline double parameterTaper(float value)
{
    double v = value;
    double t = 1.1426 * v * v * v - 0.1662 * v * v + 0.0229 * v;
    if (t < 0.0001)
        t = 0.0001;
    if (t > 0.9999)
        t = 0.9999;
    return t;
}

} // namespace quarvine
