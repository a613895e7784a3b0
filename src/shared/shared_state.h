// The process-wide values of the program, owned by the application and handed to every window and routine
// by reference. Members carry the names the rest of the program and its documentation use.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace mervo {

// Initial running extremes of a receive: any real reading replaces them.
constexpr float kLiveMaxInit = -100000.0f;
constexpr float kLiveMinInit = 100000.0f;

// File and time values tied to the current measurement.
struct FileTimeValues {
    QString WorkFile;        // full path of the current measurement file
    float StartTime = 0;     // clock at the start of the receive, seconds since midnight
    float ElapsedTime = 0;   // seconds from StartTime to the last processed block
    float TotalTime = 0;     // duration: the setting for a timed receive, record 2 when a file is analysed
    float SampleCount = 0;   // derived from the file length
};

// The nine persisted settings and the values derived from them.
struct SettingsValues {
    int16_t CommPortNo = 1;
    int16_t CurveKind = 0;
    float TotalTimeSetting = 10;
    float CTRatio = 1;
    float PTRatio = 1;
    float SegmentCount = 5;  // half-width of the segmented window: 5, 10 or 20
    int16_t RedOn = 1;
    int16_t BlueOn = 1;
    int16_t YellowOn = 1;
    int16_t WiringCode = 7;  // 4 * RedOn + 2 * BlueOn + YellowOn

    void recomputeWiringCode() { WiringCode = static_cast<int16_t>(4 * RedOn + 2 * BlueOn + YellowOn); }
};

// Nameplate of the motor under test and the operating point of the current sample.
struct MotorValues {
    float MotorPoles = 0;
    float MotorRatedPower = 0;       // kW
    float MotorRatedCurrent = 0;     // A
    float MotorRatedEfficiency = 0;  // %
    float MotorNoLoadCurrent = 0;    // A
    float MotorNoLoadPower = 0;      // kW
    float MotorRatedVoltage = 0;     // V
    bool MotorDataValid = false;     // all seven nameplate values non-zero
    float MotorRatedLoss = 0;        // kW, losses at rated load

    float MotorLoadRate = 0;     // %
    float MotorOutputPower = 0;  // kW
    float MotorEfficiency = 0;   // %

    // The seven nameplate values in header order (records 3 to 9).
    std::array<float, 7> nameplate() const {
        return {MotorPoles,         MotorRatedPower,  MotorRatedCurrent, MotorRatedEfficiency,
                MotorNoLoadCurrent, MotorNoLoadPower, MotorRatedVoltage};
    }
    void setNameplate(const std::array<float, 7>& v) {
        MotorPoles = v[0];
        MotorRatedPower = v[1];
        MotorRatedCurrent = v[2];
        MotorRatedEfficiency = v[3];
        MotorNoLoadCurrent = v[4];
        MotorNoLoadPower = v[5];
        MotorRatedVoltage = v[6];
        MotorDataValid = true;
        for (float x : v) MotorDataValid = MotorDataValid && x != 0.0f;
    }
};

// The current sample in file order and in display layout, with the running extremes.
struct LiveArrays {
    std::array<float, 9> SampleValues{};  // I1 U1 P1 I2 U2 P2 I3 U3 P3
    // I1 U1 SumP I2 U2 SumQ I3 U3 PF S |Ep| |Eq| once a block is processed
    std::array<float, 12> LiveValues{};
    std::array<float, 12> LiveMax{};
    std::array<float, 12> LiveMin{};
    bool PowerFactorNegative = false;  // drives the L/C indicator: the sign of the last block's PF

    void resetExtremes() {
        LiveMax.fill(kLiveMaxInit);
        LiveMin.fill(kLiveMinInit);
    }
};

// Running sums of one receive or one analysis pass.
struct RunningSums {
    // Sums over a whole day of blocks: a float would drop the low digits of each new block once the sum is
    // large, biasing the mean power and so the energies by percents.
    double SumP = 0;
    double SumQ = 0;
    double BlockCount = 0;
    float EnergyP = 0;  // kWh, signed
    float EnergyQ = 0;  // kvarh, signed

    void reset() { *this = RunningSums{}; }
};

// A time in seconds split for display.
struct TimeParts {
    int16_t TimeH = 0;
    int16_t TimeM = 0;
    int16_t TimeS = 0;
    float TimeCs = 0;
};

// Curve tables and the statistics of the last analysis pass.
struct CurveValues {
    std::array<QString, 10> CurveUnit;
    std::array<float, 10> CurveAxisMin{};
    std::array<float, 10> CurveAxisMax{};
    std::array<float, 10> CurveAxisStep{};
    float AxisMin = 0, AxisMax = 0, AxisStep = 0, TimeStep = 0;
    float EfficiencyMax = 0, EfficiencyMin = 0;
    float LoadRateMax = 0, LoadRateMin = 0;
    float TotalEp = 0, TotalEq = 0;
    // In place of an energy per sample: the running sums of the total powers every kEvery samples, from which
    // the record query works out the energy reached at any sample again, to the same float. A month of samples
    // keeps a few hundred kilobytes here instead of hundreds of megabytes.
    struct EnergyCheckpoints {
        static constexpr int64_t kEvery = 4096;
        int64_t samples = 0;             // samples of the complete pass that kept them; 0: none
        std::vector<double> sumP, sumQ;  // entry k: the sums over samples 1 .. k x kEvery (kW, kvar)
    } EnergySums;
};

// Bytes of the serial stream not yet consumed, and the flags the receive cycle and the windows share.
// Consumed bytes are dropped, so the buffer never holds more than a block or two.
struct ReceiveBuffer {
    std::vector<uint8_t> RxBuffer;
    size_t RxReadPos = 0;        // next byte to examine
    uint64_t SkippedBytes = 0;   // bytes that belonged to no block, for the operator
    bool ManualRunning = true;   // a manual receive may go on; the stop button clears it
    bool AbortReceive = false;   // set by the error path of the per-block processing
    // A receive is recording: it scales with the values it started with, so settings changed now apply to the
    // next one.
    bool Receiving = false;

    void reset() {
        RxBuffer.clear();
        RxReadPos = 0;
        SkippedBytes = 0;
    }
};

struct SharedState {
    FileTimeValues file;
    SettingsValues settings;
    MotorValues motor;
    LiveArrays live;
    RunningSums sums;
    TimeParts time;
    CurveValues curves;
    ReceiveBuffer receive;
};

}  // namespace mervo
