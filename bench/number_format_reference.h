// The number forms as they were printed through snprintf and strtof, kept unchanged as the reference that the
// to_chars forms are checked and timed against. Not part of the program.
#pragma once

#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace mervo::reference {

namespace {

QString nonFinite(float v) {
    if (std::isnan(v)) return QStringLiteral("NaN");
    return v < 0 ? QStringLiteral("-Inf") : QStringLiteral("Inf");
}

// Fewest significant digits (1..maxDigits) whose %g form reads back as v; maxDigits when none does.
int shortestPrecision(float v, int maxDigits) {
    char buf[64];
    for (int p = 1; p < maxDigits; ++p) {
        std::snprintf(buf, sizeof buf, "%.*g", p, static_cast<double>(v));
        if (std::strtof(buf, nullptr) == v) return p;
    }
    return maxDigits;
}

// Shortest form of |v| with a zero before the point: "0.2", "12", "1.234568E+07".
// (Split in two here, unchanged otherwise, so that the exhaustive check can skip the precision search where it
// knows its result.)
std::string absoluteGeneralWithPrecision(float a, int p);

std::string absoluteGeneral(float v) {
    const float a = std::fabs(v);
    if (a == 0.0f) return "0";
    return absoluteGeneralWithPrecision(a, shortestPrecision(a, 7));
}

std::string absoluteGeneralWithPrecision(float a, int p) {
    char buf[64];
    const int exp10 = static_cast<int>(std::floor(std::log10(static_cast<double>(a))));
    std::snprintf(buf, sizeof buf, "%.*e", p - 1, static_cast<double>(a));
    // Recompute the exponent from the rounded mantissa (9.9999995 rounds up to 1E+01).
    const char* e = std::strchr(buf, 'e');
    const int roundedExp = e ? std::atoi(e + 1) : exp10;
    if (roundedExp >= 7 || roundedExp < -4) {
        std::string mant(buf, static_cast<size_t>(e - buf));
        if (mant.find('.') != std::string::npos) {
            while (!mant.empty() && mant.back() == '0') mant.pop_back();
            if (!mant.empty() && mant.back() == '.') mant.pop_back();
        }
        char tail[16];
        std::snprintf(tail, sizeof tail, "E%c%02d", roundedExp < 0 ? '-' : '+', std::abs(roundedExp));
        return mant + tail;
    }
    const int decimals = std::max(0, p - 1 - roundedExp);
    std::snprintf(buf, sizeof buf, "%.*f", decimals, static_cast<double>(a));
    std::string s(buf);
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    return s;
}

std::string withoutLeadingZero(std::string s) {
    if (s.size() > 1 && s[0] == '0' && s[1] == '.') s.erase(0, 1);
    return s;
}

}  // namespace

inline QString formatFixed3(float v) {
    if (!std::isfinite(v)) return QLatin1Char(' ') + nonFinite(v);
    const double a = std::fabs(static_cast<double>(v));
    char buf[80];
    bool zero;
    if (a >= 1e15) {
        // Floats this large are whole numbers; print them exactly.
        std::snprintf(buf, sizeof buf, "%.0f.000", a);
        zero = false;
    } else {
        // A float times 1000 is exact in a double, so the half-way test below is exact too.
        const double r = std::floor(a * 1000.0 + 0.5);
        const auto units = static_cast<unsigned long long>(r);
        std::snprintf(buf, sizeof buf, "%llu.%03llu", units / 1000, units % 1000);
        zero = units == 0;
    }
    const QString body = QLatin1Char(' ') + QString::fromLatin1(buf);
    return (v < 0 && !zero) ? QLatin1Char('-') + body : body;
}

inline QString formatGeneralCore(float v) {
    if (!std::isfinite(v)) return nonFinite(v);
    const std::string s = withoutLeadingZero(absoluteGeneral(v));
    return QString::fromLatin1(((v < 0) ? "-" + s : s).c_str());
}

inline QString formatPrintNumber(float v) {
    const QString core = formatGeneralCore(v);
    return (core.startsWith(QLatin1Char('-')) ? core : QLatin1Char(' ') + core) + QLatin1Char(' ');
}

inline QString formatCaption(float v) {
    if (!std::isfinite(v)) return nonFinite(v);
    const std::string s = absoluteGeneral(v);
    return QString::fromLatin1(((v < 0) ? "-" + s : s).c_str());
}

inline QString formatSettingsValue(float v) {
    const QString core = formatGeneralCore(v);
    return core.startsWith(QLatin1Char('-')) ? core : QLatin1Char(' ') + core;
}

}  // namespace mervo::reference
