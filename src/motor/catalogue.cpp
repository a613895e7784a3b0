#include "motor/catalogue.h"

#include <QStringDecoder>
#include <algorithm>

#include "measurement/codec.h"
#include "platform/files.h"

namespace mervo {

namespace {

// Line numbers, serials and codes live in 16-bit arrays; a wider number is damage, not data.
constexpr int kFieldMin = -32768;
constexpr int kFieldMax = 32767;
// The model index is a few hundred kilobytes; refusing much larger files keeps a wrong file from filling
// memory.
constexpr qint64 kMaxTextBytes = 16 * 1024 * 1024;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// One free-format whole number ended by a comma, starting at *pos; on success *pos is past the comma.
Status takeField(const QByteArray& line, int n, int* pos, int* value) {
    int i = *pos;
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i == line.size()) return Status::failure(QStringLiteral("缺少第 %1 个数").arg(n));
    bool negative = false;
    if (line[i] == '+' || line[i] == '-') negative = line[i++] == '-';
    const int digits = i;
    qint64 v = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
        v = std::min<qint64>(v * 10 + (line[i] - '0'),
                             qint64(kFieldMax) + 2);  // saturate: only the range matters
    }
    const qint64 signedV = negative ? -v : v;
    // Judged before the blanks are skipped: a sign followed by blanks ("- ,") is not the number 0.
    const bool noDigits = i == digits;
    while (i < line.size() && isBlank(line[i])) ++i;
    if (noDigits || (i < line.size() && line[i] != ',')) {
        return Status::failure(QStringLiteral("第 %1 个数不是整数").arg(n));
    }
    if (i == line.size()) return Status::failure(QStringLiteral("第 %1 个数后缺少逗号").arg(n));
    if (signedV < kFieldMin || signedV > kFieldMax)
        return Status::failure(QStringLiteral("第 %1 个数超出范围").arg(n));
    *value = static_cast<int>(signedV);
    *pos = i + 1;
    return {};
}

Status decodeGbk(const QByteArray& bytes, QString* out) {
    // Stateless, so a lead byte at the end of the line is reported instead of silently held back.
    QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    if (!decoder.isValid()) return Status::failure(QStringLiteral("本系统没有 GBK 解码器"));
    QString text = decoder.decode(bytes);
    // The decoder maps bytes GBK leaves undefined (0xFF, unassigned code points) into the private use area
    // instead of flagging them; in a catalogue text they are damage just the same.
    const bool privateUse = std::any_of(
        text.cbegin(), text.cend(), [](QChar c) { return c.unicode() >= 0xE000 && c.unicode() <= 0xF8FF; });
    if (decoder.hasError() || privateUse) return Status::failure(QStringLiteral("含有不能按 GBK 解码的字节"));
    *out = std::move(text);
    return {};
}

Result<QByteArray> readText(const QString& path) {
    ReadOnlyFile f;
    if (Status s = f.open(path); !s) return s;
    if (f.size() > kMaxTextBytes) return Status::failure(QStringLiteral("%1: 文件过大，不是电机目录文件").arg(path));
    QByteArray text(static_cast<int>(f.size()), '\0');
    if (Status s = f.readAt(0, text.data(), static_cast<size_t>(text.size())); !s) return s;
    return text;
}

Status lineError(const QString& path, int lineNo, const QString& why) {
    return Status::failure(QStringLiteral("%1: 第 %2 行: %3").arg(path).arg(lineNo).arg(why));
}

// A category's line range must lie inside what the 16-bit index and the model arrays can hold.
QString rangeFault(int first, int last) {
    if (first < 1 || last < first) return QStringLiteral("行范围 %1 至 %2 无效").arg(first).arg(last);
    if (last - first + 1 > kMaxModelsPerCategory) {
        return QStringLiteral("行范围 %1 至 %2 超过 %3 个型号")
            .arg(first)
            .arg(last)
            .arg(kMaxModelsPerCategory);
    }
    return QString();
}

}  // namespace

Result<CatalogueLine> parseCatalogueLine(const QByteArray& line) {
    CatalogueLine l;
    int pos = 0;
    if (Status s = takeField(line, 1, &pos, &l.field1); !s) return s;
    if (Status s = takeField(line, 2, &pos, &l.field2); !s) return s;
    if (Status s = decodeGbk(line.mid(pos), &l.rest); !s) return s;
    return l;
}

std::vector<QByteArray> splitCatalogueLines(const QByteArray& text) {
    std::vector<QByteArray> lines;
    int start = 0;
    for (int i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') continue;
        lines.push_back(text.mid(start, i - start));
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.mid(start));
    return lines;
}

Result<std::vector<CategoryEntry>> readCategories(const QString& path) {
    const Result<QByteArray> text = readText(path);
    if (!text) return text.status();
    std::vector<QByteArray> lines = splitCatalogueLines(*text);
    // Empty lines after the last category are an editor's leftovers, not categories.
    while (!lines.empty() && lines.back().trimmed().isEmpty()) lines.pop_back();
    if (lines.empty()) return Status::failure(QStringLiteral("%1: 没有电机分类").arg(path));
    if (lines.size() > static_cast<size_t>(kMaxCategories))
        return Status::failure(
            QStringLiteral("%1: %2 个分类，最多 %3 个").arg(path).arg(lines.size()).arg(kMaxCategories));
    std::vector<CategoryEntry> categories;
    for (size_t k = 0; k < lines.size(); ++k) {
        const Result<CatalogueLine> l = parseCatalogueLine(lines[k]);
        if (!l) return lineError(path, static_cast<int>(k) + 1, l.message());
        const QString why = rangeFault(l->field1, l->field2);
        if (!why.isEmpty()) return lineError(path, static_cast<int>(k) + 1, why);
        categories.push_back(CategoryEntry{l->field1, l->field2, l->rest});
    }
    return categories;
}

Result<std::vector<ModelEntry>> readModels(const QString& path, const CategoryEntry& category) {
    const QString badRange = rangeFault(category.first, category.last);
    if (!badRange.isEmpty())
        return Status::failure(QStringLiteral("%1: 分类“%2”的%3").arg(path, category.name, badRange));
    const Result<QByteArray> text = readText(path);
    if (!text) return text.status();
    const std::vector<QByteArray> lines = splitCatalogueLines(*text);
    if (lines.size() < static_cast<size_t>(category.last))
        return Status::failure(QStringLiteral("%1: 只有 %2 行，分类“%3”需要第 %4 至 %5 行")
                                   .arg(path)
                                   .arg(lines.size())
                                   .arg(category.name)
                                   .arg(category.first)
                                   .arg(category.last));
    std::vector<ModelEntry> models;
    models.reserve(static_cast<size_t>(category.last - category.first + 1));
    for (int n = category.first; n <= category.last; ++n) {
        const Result<CatalogueLine> l = parseCatalogueLine(lines[static_cast<size_t>(n - 1)]);
        if (!l) return lineError(path, n, l.message());
        if (l->field2 < 1 || l->field2 > kMaxCode)
            return lineError(path, n, QStringLiteral("技术数据编码 %1 不在 1 - %2 之内").arg(l->field2).arg(kMaxCode));
        models.push_back(ModelEntry{l->field1, l->field2, l->rest});
    }
    return models;
}

float RatedVoltageByCode(int code) {
    struct Band {
        int last;
        float volts;
    };
    static const Band kBands[] = {
        {4874, 380.0f},   {5151, 3000.0f}, {5154, 3300.0f}, {6894, 6000.0f}, {6896, 6600.0f},
        {6915, 10000.0f}, {6922, 110.0f},  {6924, 115.0f},  {6931, 220.0f},  {6932, 230.0f},
        {6933, 283.5f},   {6934, 253.5f},  {6935, 100.0f},
    };
    if (code < 1) return 0.0f;
    for (const Band& b : kBands) {
        if (code <= b.last) return b.volts;
    }
    return 0.0f;
}

namespace {

// The seven values of a 16-byte record: the poles as a byte, five three-byte numbers, the voltage from the code.
std::array<float, 7> nameplateOfRecord(const unsigned char* raw, int code) {
    const auto byte = [&](int i) { return static_cast<uint8_t>(raw[i]); };
    std::array<float, 7> v{};
    v[0] = byte(0);
    for (int i = 1; i <= 5; ++i) v[i] = DecodeTriple(byte(3 * i - 2), byte(3 * i - 1), byte(3 * i));
    v[6] = RatedVoltageByCode(code);
    return v;
}

}  // namespace

Result<std::array<float, 7>> readNameplate(const QString& path, int code) {
    if (code < 1 || code > kMaxCode)
        return Status::failure(QStringLiteral("技术数据编码 %1 不在 1 - %2 之内").arg(code).arg(kMaxCode));
    ReadOnlyFile f;
    if (Status s = f.open(path); !s) return s;
    const int64_t offset = int64_t{kNameplateRecordBytes} * (code - 1);
    unsigned char raw[kNameplateRecordBytes];
    if (offset + kNameplateRecordBytes > f.size() || !f.readAt(offset, raw, sizeof raw))
        return Status::failure(QStringLiteral("%1: 文件只有 %2 字节，读不到编码 %3 的记录（第 %4 字节起）")
                                   .arg(path)
                                   .arg(f.size())
                                   .arg(code)
                                   .arg(offset));
    return nameplateOfRecord(raw, code);
}

Result<std::vector<CatalogueMotor>> readCatalogueMotors(const QString& dir) {
    const QString records = dir + QStringLiteral("/MTALL.OBJ");
    ReadOnlyFile f;
    if (Status s = f.open(records); !s) return s;
    const int64_t count = std::min<int64_t>(kMaxCode, f.size() / kNameplateRecordBytes);
    std::vector<unsigned char> raw(static_cast<size_t>(count * kNameplateRecordBytes));
    if (count > 0 && !f.readAt(0, raw.data(), static_cast<int64_t>(raw.size())))
        return Status::failure(QStringLiteral("%1: 读取失败").arg(records));
    std::vector<CatalogueMotor> motors;
    motors.reserve(static_cast<size_t>(count));
    for (int code = 1; code <= count; ++code)
        motors.push_back({code, nameplateOfRecord(raw.data() + (code - 1) * kNameplateRecordBytes, code)});
    return motors;
}

Result<std::map<int, QString>> readModelNames(const QString& dir, const std::set<int>& codes) {
    std::map<int, QString> names;
    if (codes.empty()) return names;
    const QString path = dir + QStringLiteral("/bmindex.txt");
    const Result<QByteArray> text = readText(path);
    if (!text) return text.status();
    int n = 0;
    for (const QByteArray& line : splitCatalogueLines(*text)) {
        ++n;
        // The code is the second field, in plain digits: only the lines asked for are decoded.
        const int comma = line.indexOf(','), second = comma < 0 ? -1 : line.indexOf(',', comma + 1);
        bool ok = false;
        const int code = second < 0 ? 0 : line.mid(comma + 1, second - comma - 1).trimmed().toInt(&ok);
        if (!ok || !codes.count(code)) continue;
        const Result<CatalogueLine> l = parseCatalogueLine(line);
        if (!l) return lineError(path, n, l.message());
        names[code] = l->rest.trimmed().section(QLatin1Char(' '), 0, 0);
    }
    return names;
}

QString modelListItem(int n, const QString& description) {
    const QString number = QString::number(n);
    return QString(std::max(0, 3 - static_cast<int>(number.size())), QLatin1Char(' ')) + QLatin1Char('(') +
           number + QLatin1String(").") + description;
}

}  // namespace mervo
