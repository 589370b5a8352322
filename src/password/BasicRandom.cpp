#include "password/BasicRandom.h"

#include <bit>

namespace {
constexpr quint32 kMultiplier = 0x43FD43FD;
constexpr quint32 kIncrement = 0xC39EC3;
constexpr quint32 kMask = 0xFFFFFF;
constexpr float kScale = 1.0f / 16777216.0f;
} // namespace

quint32 BasicRandom::singleBits(qint64 value) {
    if (value == 0)
        return 0;
    const quint32 sign = value < 0 ? 0x80000000u : 0u;
    // The magnitude of the most negative value still fits the unsigned type.
    quint64 magnitude = value < 0 ? quint64(0) - quint64(value) : quint64(value);
    int exponent = 63 - std::countl_zero(magnitude); // position of the leading 1
    quint64 mantissa;
    if (exponent <= 23) {
        mantissa = magnitude << (23 - exponent);
    } else {
        const int drop = exponent - 23;
        mantissa = magnitude >> drop;
        const quint64 rest = magnitude & ((quint64(1) << drop) - 1);
        const quint64 half = quint64(1) << (drop - 1);
        if (rest > half || (rest == half && (mantissa & 1)))
            ++mantissa;
        if (mantissa == (quint64(1) << 24)) { // rounding carried into a new leading bit
            mantissa >>= 1;
            ++exponent;
        }
    }
    return sign | (quint32(exponent + 127) << 23) | (quint32(mantissa) & 0x7FFFFF);
}

float BasicRandom::restart(qint64 value) {
    const quint32 bits = singleBits(value);
    m_state = (bits + (bits >> 24)) & kMask;
    return next();
}

float BasicRandom::next() {
    // Only the low 24 bits of the product matter, so 32-bit unsigned wrap-around is exact.
    m_state = (m_state * kMultiplier + kIncrement) & kMask;
    return float(m_state) * kScale;
}
