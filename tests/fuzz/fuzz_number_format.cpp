// Number formatting of any float (NaN, infinities, denormals, huge values) taken from four input bytes:
// nothing crashes, the forms keep their shape, and the shortest forms read back to the same value.
#include <QByteArray>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "shared/number_format.h"

using namespace mervo;

namespace {

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

float parseFloat(const std::string& s) {
    char* end = nullptr;
    const float v = std::strtof(s.c_str(), &end);
    FUZZ_CHECK(end == s.c_str() + s.size());
    return v;
}

void check(float v) {
    const bool finite = std::isfinite(v);

    const std::string shortest = formatShortestFloat(v);
    if (!finite) {
        FUZZ_CHECK(shortest == "null");
    } else {
        // Nine significant digits at most, in plain decimals up to 10^16 or with an exponent.
        FUZZ_CHECK(!shortest.empty() && shortest.size() <= 24);
        const float back = parseFloat(shortest);
        // Zero may lose its sign in JSON; every other value comes back bit for bit.
        FUZZ_CHECK(v == 0.0f ? back == 0.0f : sameBits(back, v));
    }

    const QString fixed = formatFixed3(v);
    const QString general = formatGeneralCore(v);
    const QString print = formatPrintNumber(v);
    const QString caption = formatCaption(v);
    const QString settings = formatSettingsValue(v);
    for (const QString* s : {&fixed, &general, &print, &caption, &settings}) FUZZ_CHECK(!s->isEmpty());
    if (!finite) return;

    // " ####0.000": exactly three decimals after the point.
    const int point = fixed.lastIndexOf(QLatin1Char('.'));
    FUZZ_CHECK(point >= 0 && fixed.size() - point - 1 == 3);
    FUZZ_CHECK(fixed.startsWith(QLatin1Char(' ')) || fixed.startsWith(QLatin1String("- ")));

    FUZZ_CHECK(!general.contains(QLatin1Char(' ')) && !caption.contains(QLatin1Char(' ')));
    // The general form holds at most seven significant digits, so it reads back as the float nearest to it;
    // where seven digits suffice, that is the value itself.
    bool ok = false;
    const double g = general.toDouble(&ok);
    FUZZ_CHECK(ok);
    const double c = caption.toDouble(&ok);
    FUZZ_CHECK(ok);
    const std::string seven = [&] {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.7g", double(v));
        return std::string(buf);
    }();
    const float nearest = parseFloat(seven);
    if (nearest == v) {
        FUZZ_CHECK(float(g) == v);
        FUZZ_CHECK(float(c) == v);
    }
    // The printed and stored forms are the general form behind a blank or a minus sign.
    const QString core = general.startsWith(QLatin1Char('-')) ? general.mid(1) : general;
    const QString lead = general.startsWith(QLatin1Char('-')) ? QStringLiteral("-") : QStringLiteral(" ");
    FUZZ_CHECK(settings == lead + core);
    FUZZ_CHECK(print == lead + core + QLatin1Char(' '));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Each four bytes are one float, so a corpus file can hold several bit patterns.
    for (size_t i = 0; i + 4 <= size; i += 4) {
        float v;
        std::memcpy(&v, data + i, 4);
        check(v);
    }
    if (size % 4 != 0) {
        uint8_t tail[4] = {0, 0, 0, 0};
        std::memcpy(tail, data + size - size % 4, size % 4);
        float v;
        std::memcpy(&v, tail, 4);
        check(v);
    }
    return 0;
}
