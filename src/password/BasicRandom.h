#pragma once

#include <QtGlobal>

// The classic BASIC runtime's pseudo-random generator: a 24-bit linear congruential
// generator. Written with exact integer arithmetic so that every compiler and platform
// gives the same sequence, which keeps stored passwords valid across machines and builds.
class BasicRandom {
public:
    // Restarts the sequence from a number (meant to be zero or negative): the state comes
    // from the bit pattern of the number as an IEEE single-precision value. Returns the
    // value of the one step the restart makes itself.
    float restart(qint64 value);
    // The next value r of the sequence, 0 <= r < 1 (a multiple of 2^-24, exact as a float).
    float next();

    // The state as an integer below 2^24.
    quint32 state() const { return m_state; }

    // The bit pattern of the single-precision number nearest to value (ties to even).
    static quint32 singleBits(qint64 value);

private:
    quint32 m_state = 0x50000; // the runtime's state before any restart
};
