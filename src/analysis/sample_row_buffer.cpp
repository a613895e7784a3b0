#include "analysis/sample_row_buffer.h"

#include <algorithm>

#include "measurement/sample_math.h"

namespace mervo {

void SampleRowBuffer::ensure(int64_t samples) {
    const size_t size = static_cast<size_t>(std::max<int64_t>(samples, 1));
    if (sumP.size() >= size) return;
    raw.resize(size * kSampleRecords);
    for (auto* column : {&sumP, &sumQ, &pf, &s, &loadRate, &outputPower, &efficiency}) column->resize(size);
    state.resize(size);
}

Status SampleRowBuffer::fill(const SampleStream& stream, const MotorValues& motor, int64_t first, int64_t count) {
    ensure(count);
    if (Status read = stream.readSamples(first, count, raw.data()); !read) return read;
    deriveTotalsBlock(raw.data(), count, sumP.data(), sumQ.data(), pf.data(), s.data());
    evaluateMotorBlock(motor, sumP.data(), count, state.data(), {loadRate.data(), outputPower.data(), efficiency.data()});
    return {};
}

SampleRows SampleRowBuffer::rows(int64_t first, int64_t count) const {
    SampleRows r;
    r.first = first;
    r.count = count;
    r.fileValues = raw.data();
    r.sumP = sumP.data();
    r.sumQ = sumQ.data();
    r.pf = pf.data();
    r.s = s.data();
    r.outputPower = outputPower.data();
    r.efficiency = efficiency.data();
    r.loadRate = loadRate.data();
    r.state = state.data();
    return r;
}

size_t SampleRowBuffer::bytes() const {
    size_t b = state.capacity() * sizeof(MotorState);
    for (const auto* column : {&raw, &sumP, &sumQ, &pf, &s, &loadRate, &outputPower, &efficiency})
        b += column->capacity() * sizeof(float);
    return b;
}

}  // namespace mervo
