// Compares writeShortestFloat, and ShortestTexts' texts of many at once, with the same text made by the standard
// library's std::to_chars on every float bit pattern, on two threads: a one-off proof of the shortest-digit
// arithmetic, not a test (a few minutes).
//
//   shortest_float_check [stride]
#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "shared/number_format.h"
#include "shared/shortest_texts.h"

namespace {

// The text through std::to_chars: fixed from a shortest decimal exponent of -5 up to 15, else the exponent form.
char* reference(char* out, float v) {
    if (!std::isfinite(v)) return std::copy_n("null", 4, out);
    char* const end = out + 64;
    char* const last = std::to_chars(out, end, v, std::chars_format::scientific).ptr;
    const char* e = std::find(out, last, 'e');
    int exp10 = 0;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), last, exp10);
    if (exp10 >= -5 && exp10 < 16) return std::to_chars(out, end, v, std::chars_format::fixed).ptr;
    return last;
}

}  // namespace

int main(int argc, char** argv) {
    const uint64_t stride = argc > 1 ? static_cast<uint64_t>(std::max(1L, std::atol(argv[1]))) : 1;
    std::atomic<uint64_t> checked{0}, wrong{0};
    const auto run = [&](uint64_t from, uint64_t to) {
        char want[64], got[64], many[64];
        auto texts = std::make_unique<mervo::ShortestTexts>();
        float batch[mervo::ShortestTexts::kCapacity];
        uint64_t n = 0;
        const auto report = [&](uint32_t bits, const char* what, const char* w, size_t wn, const char* g, size_t gn) {
            if (wrong++ < 20)
                std::printf("%08x: want %.*s, %s %.*s\n", bits, static_cast<int>(wn), w, what, static_cast<int>(gn), g);
        };
        for (uint64_t b = from; b < to;) {
            size_t count = 0;
            for (; b < to && count < mervo::ShortestTexts::kCapacity; b += stride) {
                const uint32_t bits = static_cast<uint32_t>(b);
                std::memcpy(&batch[count++], &bits, sizeof bits);
            }
            texts->format(batch, count);
            for (size_t i = 0; i < count; ++i) {
                uint32_t bits;
                std::memcpy(&bits, &batch[i], sizeof bits);
                const size_t wn = static_cast<size_t>(reference(want, batch[i]) - want);
                const size_t gn = static_cast<size_t>(mervo::writeShortestFloat(got, batch[i]) - got);
                const size_t mn = static_cast<size_t>(texts->put(many, i) - many);
                ++n;
                if (wn != gn || std::memcmp(want, got, wn) != 0) report(bits, "one at a time", want, wn, got, gn);
                if (wn != mn || std::memcmp(want, many, wn) != 0) report(bits, "many at once", want, wn, many, mn);
            }
        }
        checked += n;
    };
    const uint64_t all = uint64_t{1} << 32;
    std::thread other(run, all / 2, all);
    run(0, all / 2);
    other.join();
    std::printf("%llu floats checked, %llu differ\n", static_cast<unsigned long long>(checked.load()),
                static_cast<unsigned long long>(wrong.load()));
    return wrong.load() == 0 ? 0 : 1;
}
