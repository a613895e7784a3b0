// A stand-in for the instrument: three-phase induction-motor readings encoded as the instrument sends them.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <random>

namespace mervo {

enum class SimScenario {
    Motor,       // start-up peak, then a load that wanders over minutes
    Constant,    // steady three-quarter load
    Idle,        // running without load
    Generating,  // the machine feeds power back
};

bool parseScenario(const QString& name, SimScenario* out);

struct SimOptions {
    SimScenario scenario = SimScenario::Motor;
    double ratedKw = 11.0;     // rated output power of the simulated motor
    double ratedPf = 0.85;     // power factor at rated load
    double phaseVolts = 220.0;
    bool capacitive = false;   // leading current (indicator C) instead of lagging (L)
    std::array<bool, 3> channels{true, true, true};
    double ctRatio = 1.0;      // the instrument sends secondary values: primary / ratio
    double ptRatio = 1.0;
    uint32_t seed = 1;
};

// Nine values of one block in wire order: I1 U1 P1 I2 U2 P2 I3 U3 P3 (A, V, kW).
using BlockValues = std::array<float, 9>;

// The 30 bytes of a block: sync, then the nine values in the instrument's three-byte form.
std::array<uint8_t, 30> encodeBlock(const BlockValues& values);

class InstrumentSimulator {
public:
    explicit InstrumentSimulator(const SimOptions& options);
    // Readings at t seconds after switch-on (secondary values, as the instrument measures them).
    BlockValues valuesAt(double t);

private:
    double loadAt(double t) const;  // load rate as a fraction of rated output

    SimOptions opt_;
    std::mt19937 rng_;
    std::normal_distribution<double> noise_{0.0, 1.0};
};

}  // namespace mervo
