// Compares the to_chars number forms with the snprintf reference (number_format_reference.h) on every float bit
// pattern, on all cores. A one-off proof, not a test: the exhaustive run takes a long time on two cores.
//
//   number_format_check [fixed|general|all] [stride]
//
// Both reference forms take the magnitude first and put the sign on afterwards, so the run walks the 2^31
// magnitudes and checks each with both signs, running the reference once per magnitude: " ####0.000" of -v is
// that of v with a minus in front unless it reads " 0.000", as the reference decides. The general forms all wrap the reference's text of |v|, which is
// by far its slowest step: it is computed once per magnitude and dressed as the old core, printed, caption and
// settings forms did; every 65536th magnitude is also put through the verbatim reference functions to confirm
// that dressing. The core form is checked on every pattern; the printed, caption and settings forms, thin
// dressings of the same digits, on every 16th magnitude (both signs) to keep the run within an hour on two
// shared cores.
//
// That step tries one to six digits ("%.*g" read back with strtof) before it settles on seven, and for most
// floats none of the six reads back. A float that some text of at most six significant digits reads back to is
// strtof of one of the 900000 mantissas 100000..999999 times a power of ten, so the run first marks every float
// strtof gives for those (85 powers of ten, 76.5 million texts); for an unmarked float the search can only end
// at seven, and only the rest of the step runs. Sampled magnitudes check that claim with the full search.
#include <QLatin1String>

#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "number_format_reference.h"
#include "shared/number_format.h"

namespace ref = mervo::reference;

namespace {

float floatOf(uint32_t bits) {
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}

// Floats that strtof gives for some decimal text of at most six significant digits, one bit per magnitude.
class ShortTexts {
public:
    void build(unsigned threads) {
        bits_.assign(size_t{1} << 25, 0);
        std::vector<std::thread> pool;
        for (unsigned t = 0; t < threads; ++t)
            pool.emplace_back([this, t, threads] {
                for (int k = -51 + static_cast<int>(t); k <= 33; k += static_cast<int>(threads)) mark(k);
            });
        for (auto& t : pool) t.join();
        set(0);  // zero takes the reference's own early return
    }
    bool contains(uint32_t magnitude) const { return (bits_[magnitude >> 6] >> (magnitude & 63)) & 1; }

private:
    void set(uint32_t m) { __atomic_fetch_or(&bits_[m >> 6], uint64_t{1} << (m & 63), __ATOMIC_RELAXED); }
    void mark(int k) {
        for (int d = 100000; d <= 999999; ++d) {
            char text[32];
            std::snprintf(text, sizeof text, "%de%d", d, k);
            const float f = std::strtof(text, nullptr);
            if (f == 0.0f || !std::isfinite(f)) continue;
            uint32_t b;
            std::memcpy(&b, &f, 4);
            set(b);
        }
    }
    std::vector<uint64_t> bits_;
};

struct Checker {
    ShortTexts shortTexts;
    bool fixed = true;
    bool general = true;
    uint32_t stride = 1;
    std::atomic<uint64_t> nextChunk{0};
    std::atomic<uint64_t> checked{0};
    std::atomic<uint64_t> mismatches{0};
    std::mutex printLock;

    static constexpr uint64_t kChunk = 1u << 16;
    static constexpr uint64_t kMagnitudes = 1ull << 31;

    void report(const char* form, float v, const std::string& expected, const char* got, size_t gotLen) {
        if (mismatches.fetch_add(1) >= 20) return;
        std::lock_guard<std::mutex> lock(printLock);
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        std::printf("MISMATCH %s 0x%08" PRIx32 " (%.9g): old \"%s\" new \"%.*s\"\n", form, bits,
                    static_cast<double>(v), expected.c_str(), static_cast<int>(gotLen), got);
        std::fflush(stdout);
    }

    void compare(const char* form, float v, const std::string& expected, const char* first, const char* last,
                 int maxChars) {
        const auto len = static_cast<size_t>(last - first);
        if (len > static_cast<size_t>(maxChars) || len != expected.size() ||
            std::memcmp(first, expected.data(), len) != 0)
            report(form, v, expected, first, len);
    }

    void checkFixed(float v, const QString& expected) {
        char buf[64];
        const char* end = mervo::writeFixed3(buf, v);
        const auto len = static_cast<qsizetype>(end - buf);
        if (len > mervo::kFixed3MaxChars || expected != QLatin1String(buf, len))
            report("fixed3", v, expected.toStdString(), buf, static_cast<size_t>(len));
    }

    void checkFixedBothSigns(float pos, float neg, bool verbatimToo) {
        if (!std::isfinite(pos)) {
            checkFixed(pos, ref::formatFixed3(pos));
            checkFixed(neg, ref::formatFixed3(neg));
            return;
        }
        const QString body = ref::formatFixed3(pos);
        const QString negative = body == QLatin1String(" 0.000") ? body : QLatin1Char('-') + body;
        if (verbatimToo && ref::formatFixed3(neg) != negative)
            report("reference dressing", neg, ref::formatFixed3(neg).toStdString(), "", 0);
        checkFixed(pos, body);
        checkFixed(neg, negative);
    }

    // The old wrappers around the text of |v|, for a finite v.
    static std::string oldCore(float v, const std::string& abs) {
        return (v < 0 ? "-" : "") + ref::withoutLeadingZero(abs);
    }

    void checkGeneral(float v, const std::string* abs, bool verbatimToo, bool dressingsToo) {
        std::string core, print, caption, settings;
        if (abs) {
            core = oldCore(v, *abs);
            print = core[0] == '-' ? core + " " : " " + core + " ";
            caption = (v < 0 ? "-" : "") + *abs;
            settings = core[0] == '-' ? core : " " + core;
        }
        if (!abs || verbatimToo) {
            const std::string vc = ref::formatGeneralCore(v).toStdString();
            const std::string vp = ref::formatPrintNumber(v).toStdString();
            const std::string vca = ref::formatCaption(v).toStdString();
            const std::string vs = ref::formatSettingsValue(v).toStdString();
            if (abs && (vc != core || vp != print || vca != caption || vs != settings))
                report("reference dressing", v, vc, core.data(), core.size());
            core = vc, print = vp, caption = vca, settings = vs;
        }
        char buf[64];
        compare("core", v, core, buf, mervo::writeGeneralCore(buf, v), mervo::kGeneralMaxChars);
        if (!dressingsToo) return;
        compare("print", v, print, buf, mervo::writePrintNumber(buf, v), mervo::kGeneralMaxChars);
        compare("caption", v, caption, buf, mervo::writeCaption(buf, v), mervo::kGeneralMaxChars);
        const std::string s = mervo::formatSettingsValue(v).toStdString();
        compare("settings", v, settings, s.data(), s.data() + s.size(), mervo::kGeneralMaxChars);
    }

    void run() {
        for (;;) {
            const uint64_t chunk = nextChunk.fetch_add(1);
            const uint64_t begin = chunk * kChunk;
            if (begin >= kMagnitudes) return;
            uint64_t n = 0;
            for (uint64_t m = begin; m < begin + kChunk; m += stride, ++n) {
                const float pos = floatOf(static_cast<uint32_t>(m));
                const float neg = floatOf(static_cast<uint32_t>(m) | 0x80000000u);
                const bool verbatim = (m & 0xFFFF) == 0;
                if (fixed) checkFixedBothSigns(pos, neg, verbatim);
                if (general) {
                    if (std::isfinite(pos)) {
                        const bool shortText = shortTexts.contains(static_cast<uint32_t>(m));
                        if (verbatim && !shortText && ref::shortestPrecision(pos, 7) != 7)
                            report("unmarked float with a short text", pos, "", "", 0);
                        const std::string abs = shortText || verbatim ? ref::absoluteGeneral(pos)
                                                                      : ref::absoluteGeneralWithPrecision(pos, 7);
                        const bool dressings = (m & 15) == 0 || stride > 1;
                        checkGeneral(pos, &abs, verbatim, dressings);
                        checkGeneral(neg, &abs, verbatim, dressings);
                    } else {
                        checkGeneral(pos, nullptr, false, true);
                        checkGeneral(neg, nullptr, false, true);
                    }
                }
            }
            const uint64_t done = checked.fetch_add(2 * n) + 2 * n;
            if (chunk % 512 == 0)
                std::fprintf(stderr, "chunk %" PRIu64 " of %" PRIu64 ", %" PRIu64 " values checked\n", chunk,
                             kMagnitudes / kChunk, done);
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    Checker c;
    if (argc > 1) {
        c.fixed = !std::strcmp(argv[1], "fixed") || !std::strcmp(argv[1], "all");
        c.general = !std::strcmp(argv[1], "general") || !std::strcmp(argv[1], "all");
        if (!c.fixed && !c.general) {
            std::fprintf(stderr, "usage: number_format_check [fixed|general|all] [stride]\n");
            return 2;
        }
    }
    if (argc > 2) c.stride = static_cast<uint32_t>(std::max(1L, std::atol(argv[2])));
    const auto start = std::chrono::steady_clock::now();
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    if (c.general) {
        c.shortTexts.build(threads);
        std::fprintf(stderr, "floats of short texts marked after %.0f s\n",
                     std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t) pool.emplace_back([&c] { c.run(); });
    for (auto& t : pool) t.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s%s: %" PRIu64 " values (stride %" PRIu32 ", %u threads), %" PRIu64 " mismatches, %.0f s\n",
                c.fixed ? "fixed3 " : "", c.general ? "general core (print/caption/settings on every 16th magnitude)" : "",
                c.checked.load(), c.stride, threads, c.mismatches.load(), seconds);
    return c.mismatches.load() == 0 ? 0 : 1;
}
