// Nanoseconds per number of each form, the snprintf reference beside the to_chars forms, over two sets of
// values: floats spread over 0..1000 (most need seven or more digits) and two-decimal readings such as 220.51
// (few digits), both with every fourth value negative.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "number_format_reference.h"
#include "shared/number_format.h"

namespace {

std::vector<float> values(int set) {
    std::vector<float> out;
    uint32_t seed = 2024;
    for (int i = 0; i < 4096; ++i) {
        seed = seed * 1664525u + 1013904223u;
        float v = set == 0 ? static_cast<float>(seed >> 8) / static_cast<float>(1u << 24) * 1000.0f
                           : static_cast<float>((seed >> 8) % 100000u) / 100.0f;
        out.push_back(i % 4 == 3 ? -v : v);
    }
    return out;
}

template <QString (*Format)(float)>
void BM_QString(benchmark::State& state) {
    const auto in = values(static_cast<int>(state.range(0)));
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Format(in[i]));
        i = (i + 1) & (in.size() - 1);
    }
    state.SetItemsProcessed(state.iterations());
}

template <void (*Append)(std::string&, float)>
void BM_Append(benchmark::State& state) {
    const auto in = values(static_cast<int>(state.range(0)));
    std::string row;
    size_t i = 0;
    for (auto _ : state) {
        if (row.size() > 4000) row.clear();
        Append(row, in[i]);
        benchmark::DoNotOptimize(row.data());
        i = (i + 1) & (in.size() - 1);
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK_TEMPLATE(BM_QString, mervo::reference::formatFixed3)->Name("Fixed3/old")->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(BM_QString, mervo::formatFixed3)->Name("Fixed3/new")->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(BM_Append, mervo::appendFixed3)->Name("Fixed3/append")->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(BM_QString, mervo::reference::formatGeneralCore)->Name("GeneralCore/old")->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(BM_QString, mervo::formatGeneralCore)->Name("GeneralCore/new")->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(BM_Append, mervo::appendGeneralCore)->Name("GeneralCore/append")->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(BM_QString, mervo::reference::formatPrintNumber)->Name("PrintNumber/old")->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(BM_QString, mervo::formatPrintNumber)->Name("PrintNumber/new")->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(BM_Append, mervo::appendPrintNumber)->Name("PrintNumber/append")->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(BM_QString, mervo::reference::formatCaption)->Name("Caption/old")->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(BM_QString, mervo::formatCaption)->Name("Caption/new")->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(BM_Append, mervo::appendCaption)->Name("Caption/append")->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(BM_QString, mervo::reference::formatSettingsValue)->Name("SettingsValue/old")->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(BM_QString, mervo::formatSettingsValue)->Name("SettingsValue/new")->Arg(0)->Arg(1);

}  // namespace
