#include "analysis/sample_chunk.h"

#include <algorithm>

#include "measurement/sample_math.h"
#include "shared/time_split.h"

namespace mervo {

void SampleChunk::ensure(int64_t samples) {
    SampleRowBuffer::ensure(samples);
    const size_t size = static_cast<size_t>(std::max<int64_t>(samples, 1));
    if (elapsed.size() >= size) return;
    for (auto* column : {&elapsed, &ep, &eq, &shownEfficiency, &shownLoadRate}) column->resize(size);
    running.resize(size);
    for (auto* column : {&cumP, &cumQ, &count}) column->resize(size);
}

void SampleChunk::prepare(const SampleStream& stream, const MotorValues& motor, int64_t first, int64_t count) {
    ensure(count);
    read = fill(stream, motor, first, count);
}

MotorOutputs SampleChunk::outputsOf(size_t row) const {
    MotorOutputs outputs;
    outputs.loadRate = loadRate[row];
    outputs.outputPower = outputPower[row];
    outputs.efficiency = efficiency[row];
    return outputs;
}

PanelSample SampleChunk::panelSample(size_t row) const {
    PanelSample sample;
    constexpr size_t kRecords = kSampleRecords;
    const float* values = &raw[row * kRecords];
    for (size_t record = 0; record < kRecords; ++record)
        sample.fileValues[record] = sample.values[record] = values[record];
    sample.values[2] = sumP[row];
    sample.values[5] = sumQ[row];
    sample.values[8] = pf[row];
    sample.values[9] = s[row];
    sample.values[10] = ep[row];
    sample.values[11] = eq[row];
    sample.elapsed = elapsed[row];
    SplitTime(sample.elapsed, sample.time);
    sample.state = state[row];
    if (sample.state == MotorState::Running || sample.state == MotorState::BelowNoLoad) {
        sample.outputPower = outputPower[row];
        sample.efficiency = efficiency[row];
        sample.loadRate = loadRate[row];
    }
    return sample;
}

CurveChunk SampleChunk::curves(int64_t count) const {
    CurveChunk chunk;
    chunk.count = count;
    const int elements[] = {0, 3, 6, 1, 4, 7};  // I1 I2 I3 U1 U2 U3 as stored
    for (int curve = 0; curve < 6; ++curve) {
        chunk.values[curve] = raw.data() + elements[curve];
        chunk.stride[curve] = kSampleRecords;
    }
    chunk.values[6] = sumP.data(), chunk.values[7] = pf.data();
    chunk.values[8] = shownEfficiency.data(), chunk.values[9] = shownLoadRate.data();
    for (int curve = 6; curve < kCurves; ++curve) chunk.stride[curve] = 1;
    chunk.running = running.data();
    return chunk;
}

}  // namespace mervo
