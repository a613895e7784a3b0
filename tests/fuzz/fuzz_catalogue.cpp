// The motor catalogue readers over any file content. The first input byte picks the reader (line parser,
// category list, model index, nameplate records); a few more bytes pick the category range or the code.
#include <cmath>
#include <optional>

#include "fuzz_support.h"
#include "motor/catalogue.h"

using namespace mervo;

namespace {

// The two leading numbers as the format defines them, independently of the parser: blanks, an optional
// sign, digits, blanks, a comma; values beyond 16 bits are refused.
std::optional<std::pair<int, int>> referenceFields(const QByteArray& line) {
    int i = 0;
    int v[2];
    for (int& out : v) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        bool negative = false;
        if (i < line.size() && (line[i] == '+' || line[i] == '-')) negative = line[i++] == '-';
        const int start = i;
        long long n = 0;
        while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
            if (n < 1000000) n = n * 10 + (line[i] - '0');
            ++i;
        }
        if (i == start) return std::nullopt;
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i == line.size() || line[i] != ',') return std::nullopt;
        ++i;
        if (negative) n = -n;
        if (n < -32768 || n > 32767) return std::nullopt;
        out = static_cast<int>(n);
    }
    return std::make_pair(v[0], v[1]);
}

void checkLine(const QByteArray& line) {
    const Result<CatalogueLine> l = parseCatalogueLine(line);
    const auto expected = referenceFields(line);
    if (l) {
        FUZZ_CHECK(expected.has_value());
        FUZZ_CHECK(l->field1 == expected->first && l->field2 == expected->second);
        for (QChar c : l->rest) FUZZ_CHECK(!(c.unicode() >= 0xE000 && c.unicode() <= 0xF8FF));
    } else {
        FUZZ_CHECK(!l.message().isEmpty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const uint8_t mode = in.byte() % 4;
    if (mode == 0) {
        size_t n;
        const uint8_t* p = in.rest(&n);
        const QByteArray line(reinterpret_cast<const char*>(p), static_cast<int>(n));
        checkLine(line);
        // Each line of the text, as the file readers split it.
        const std::vector<QByteArray> lines = splitCatalogueLines(line);
        size_t total = 0;
        for (const QByteArray& l : lines) {
            FUZZ_CHECK(!l.contains('\r') && !l.contains('\n'));
            total += static_cast<size_t>(l.size());
            checkLine(l);
        }
        FUZZ_CHECK(total <= n);
        return 0;
    }
    if (mode == 1) {
        size_t n;
        const uint8_t* p = in.rest(&n);
        fuzz::TempFile file(p, n);
        const Result<std::vector<CategoryEntry>> categories = readCategories(file.path());
        if (categories) {
            FUZZ_CHECK(!categories->empty() && categories->size() <= size_t(kMaxCategories));
            for (const CategoryEntry& c : *categories) {
                FUZZ_CHECK(c.first >= 1 && c.last >= c.first);
                FUZZ_CHECK(c.last - c.first + 1 <= kMaxModelsPerCategory);
            }
        } else {
            FUZZ_CHECK(!categories.message().isEmpty());
        }
        return 0;
    }
    if (mode == 2) {
        CategoryEntry category;
        // Small ranges mostly, so they reach into the text; sometimes wild ones.
        const int16_t first = static_cast<int16_t>(in.byte() | (in.byte() << 8));
        const int16_t span = static_cast<int16_t>(in.byte() | (in.byte() << 8));
        category.first = first % 64;
        category.last = category.first + span % 16;
        if (first < -30000) category.last = span;
        category.name = QStringLiteral("fuzz");
        size_t n;
        const uint8_t* p = in.rest(&n);
        fuzz::TempFile file(p, n);
        const Result<std::vector<ModelEntry>> models = readModels(file.path(), category);
        if (models) {
            FUZZ_CHECK(models->size() == size_t(category.last - category.first + 1));
            for (const ModelEntry& m : *models) FUZZ_CHECK(m.code >= 1 && m.code <= kMaxCode);
        } else {
            FUZZ_CHECK(!models.message().isEmpty());
        }
        return 0;
    }
    // Nameplate records: the code from two bytes, usually small enough to fall inside the file.
    const uint8_t lo = in.byte(), hi = in.byte();
    int code = static_cast<int16_t>(lo | (hi << 8));
    if (hi < 0xF0) code = lo % 40;
    size_t n;
    const uint8_t* p = in.rest(&n);
    fuzz::TempFile file(p, n);
    const auto plate = readNameplate(file.path(), code);
    const bool fits = code >= 1 && code <= kMaxCode && size_t(kNameplateRecordBytes) * size_t(code) <= n;
    FUZZ_CHECK(plate.ok() == fits);
    if (plate) {
        const uint8_t* record = p + kNameplateRecordBytes * (code - 1);
        FUZZ_CHECK((*plate)[0] == float(record[0]));
        for (float v : *plate) FUZZ_CHECK(std::isfinite(v));
        FUZZ_CHECK((*plate)[6] == RatedVoltageByCode(code) && (*plate)[6] > 0);
    } else {
        FUZZ_CHECK(!plate.message().isEmpty());
    }
    return 0;
}
