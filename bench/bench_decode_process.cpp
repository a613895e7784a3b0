// Blocks per second through the per-block work: block search, decoding, scaling, arithmetic, and with the
// whole receive cycle also the write of every block to the working file.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <vector>

#include "acquisition/instrument_sim.h"
#include "acquisition/receive_cycle.h"
#include "measurement/codec.h"
#include "measurement/sample_math.h"
#include "acquisition/record_scaling.h"
#include "acquisition/sync_search.h"
#include "platform/clock.h"

using namespace mervo;

namespace {

std::vector<uint8_t> stream(int blocks) {
    InstrumentSimulator sim(SimOptions{});
    std::vector<uint8_t> out;
    for (int k = 0; k < blocks; ++k) {
        const auto b = encodeBlock(sim.valuesAt(k / 32.0));
        out.insert(out.end(), b.begin(), b.end());
    }
    return out;
}

void BM_DecodeAndProcess(benchmark::State& state) {
    const auto bytes = stream(4096);
    SharedState st;
    st.live.resetExtremes();
    BlockScanner scanner(st.receive, FillerRule::SearchAfterValues);
    std::array<uint8_t, kValueBytes> v;
    int64_t blocks = 0;
    for (auto _ : state) {
        scanner.append(bytes.data(), bytes.size());
        while (scanner.next(v)) {
            for (int i = 0; i < 9; ++i) st.live.LiveValues[i] = DecodeTriple(v[3 * i], v[3 * i + 1], v[3 * i + 2]);
            ScaleRecord(st.live.LiveValues, 2, 3);
            benchmark::DoNotOptimize(ProcessSample(st.live, st.sums, blocks / 32.0f));
            ++blocks;
        }
        scanner.compact();
    }
    state.SetItemsProcessed(blocks);
    state.counters["blocks/s"] = benchmark::Counter(static_cast<double>(blocks), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeAndProcess);

void BM_ReceiveCycleToFile(benchmark::State& state) {
    const auto bytes = stream(4096);
    QTemporaryDir dir;
    SharedState st;
    SystemClock clock;
    ReceiveCycle cycle(st, clock);
    (void)cycle.start(ReceiveMode::Manual, dir.filePath("TEMP.MTX"));
    for (auto _ : state) {
        // Reads of about 100 bytes, as a serial port delivers them.
        for (size_t off = 0; off < bytes.size(); off += 100)
            cycle.feed(bytes.data() + off, std::min<size_t>(100, bytes.size() - off));
    }
    state.SetItemsProcessed(cycle.blocks());
    state.counters["blocks/s"] = benchmark::Counter(static_cast<double>(cycle.blocks()), benchmark::Counter::kIsRate);
    cycle.requestStop();
}
BENCHMARK(BM_ReceiveCycleToFile);

}  // namespace
