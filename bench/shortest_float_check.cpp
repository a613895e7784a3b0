// Compares writeShortestFloat with the same text made by the standard library's std::to_chars on every float
// bit pattern, on two threads: a one-off proof of the shortest-digit arithmetic, not a test (a minute or two).
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
#include <thread>

#include "shared/number_format.h"

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
        char want[64], got[64];
        uint64_t n = 0;
        for (uint64_t b = from; b < to; b += stride) {
            const uint32_t bits = static_cast<uint32_t>(b);
            float v;
            std::memcpy(&v, &bits, sizeof v);
            const size_t wn = static_cast<size_t>(reference(want, v) - want);
            const size_t gn = static_cast<size_t>(mervo::writeShortestFloat(got, v) - got);
            ++n;
            if (wn != gn || std::memcmp(want, got, wn) != 0) {
                if (wrong++ < 20)
                    std::printf("%08x: want %.*s got %.*s\n", bits, static_cast<int>(wn), want, static_cast<int>(gn), got);
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
