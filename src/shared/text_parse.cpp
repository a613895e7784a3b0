#include "shared/text_parse.h"

#include <QStringList>
#include <cmath>

namespace mervo {

std::optional<double> numberFromText(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<float> floatFromText(const QString& text) {
    const std::optional<double> v = numberFromText(text);
    if (!v || !std::isfinite(static_cast<float>(*v))) return std::nullopt;
    return static_cast<float>(*v);
}

std::optional<int64_t> wholeNumberFromText(const QString& text) {
    const std::optional<double> v = numberFromText(text);
    // 2^63 is the first double past the largest int64.
    if (!v || *v != std::floor(*v) || std::fabs(*v) >= 9223372036854775808.0) return std::nullopt;
    return static_cast<int64_t>(*v);
}

std::optional<int64_t> integerFromText(const QString& text) {
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok, 10);
    if (!ok) return std::nullopt;
    return static_cast<int64_t>(v);
}

std::optional<DateFields> dateFromText(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 5) return std::nullopt;
    int v[5];
    for (int i = 0; i < 5; ++i) {
        const std::optional<int64_t> x = integerFromText(parts[i]);
        if (!x || *x < INT32_MIN || *x > INT32_MAX) return std::nullopt;
        v[i] = static_cast<int>(*x);
    }
    const DateFields d{v[0], v[1], v[2], v[3], v[4]};
    if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31 || d.hour < 0 || d.hour > 23 || d.minute < 0 ||
        d.minute > 59)
        return std::nullopt;
    return d;
}

}  // namespace mervo
