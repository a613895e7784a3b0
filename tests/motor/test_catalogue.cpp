// The catalogue readers over small files whose every byte the tests know, and the delivered catalogue as a
// whole.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <cmath>
#include <optional>
#include <string>

#include "motor/catalogue.h"

using namespace mervo;

namespace {

QByteArray gbk(const QString& text) {
    QStringEncoder encoder("GBK");
    return encoder.encode(text);
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

std::string str(const QString& s) {
    return s.toStdString();
}

// The readers' results as the tables below check them: what was read, and the message of a refusal. A refusal
// leaves nothing read.
bool parseCatalogueLine(const QByteArray& line, int* a, int* b, QString* rest, QString* error) {
    const Result<CatalogueLine> l = mervo::parseCatalogueLine(line);
    *error = l.message();
    if (l) *a = l->field1, *b = l->field2, *rest = l->rest;
    return l.ok();
}
template <class Entry>
bool take(Result<std::vector<Entry>> read, std::vector<Entry>* out, QString* error) {
    *out = read ? *read : std::vector<Entry>{};
    *error = read.message();
    return read.ok();
}
bool readCategories(const QString& path, std::vector<CategoryEntry>* out, QString* error) {
    return take(mervo::readCategories(path), out, error);
}
bool readModels(const QString& path, const CategoryEntry& c, std::vector<ModelEntry>* out, QString* error) {
    return take(mervo::readModels(path, c), out, error);
}
std::optional<std::array<float, 7>> readNameplate(const QString& path, int code, QString* error) {
    const Result<std::array<float, 7>> v = mervo::readNameplate(path, code);
    *error = v.message();
    return v ? std::optional<std::array<float, 7>>(*v) : std::nullopt;
}

// ------------------------------------------------------------------------------------------------ lines

TEST(CatalogueLine, twoNumbersEachEndedByACommaThenTheRestVerbatim) {
    struct Case {
        QByteArray line;
        int first, second;
        QString rest;
    } cases[] = {
        {gbk(QStringLiteral("1,28,IE3 超高效三相异步电动机 380V 4极")), 1, 28,
         QStringLiteral("IE3 超高效三相异步电动机 380V 4极")},
        {"  5 ,  7 , name, with, commas ", 5, 7, QStringLiteral(" name, with, commas ")},
        {"\t12,\t4875\t,MV3-112M-4  4kW", 12, 4875, QStringLiteral("MV3-112M-4  4kW")},
        {"3,6935,", 3, 6935, QString()},
        {"0,32767,x", 0, 32767, QStringLiteral("x")},
        {gbk(QStringLiteral("9,9,η89.1%，（B5）")), 9, 9, QStringLiteral("η89.1%，（B5）")},
    };
    for (const Case& c : cases) {
        int a = -1, b = -1;
        QString rest, error;
        ASSERT_TRUE(parseCatalogueLine(c.line, &a, &b, &rest, &error))
            << c.line.toStdString() << ": " << str(error);
        EXPECT_EQ(a, c.first) << c.line.toStdString();
        EXPECT_EQ(b, c.second) << c.line.toStdString();
        EXPECT_EQ(rest, c.rest) << c.line.toStdString();
    }
}

TEST(CatalogueLine, aLineThatDoesNotFitIsRefusedWithAReason) {
    struct Case {
        QByteArray line;
        const char* fault;
    } cases[] = {
        {"", "empty line"},
        {"   ", "blanks only"},
        {"12", "first number without its comma"},
        {"12,34", "second number without its comma"},
        {"12,34 name", "text where the second comma belongs"},
        {"ab,1,x", "first field not a number"},
        {"1,cd,x", "second field not a number"},
        {",1,x", "first field empty"},
        {"1.5,2,x", "a decimal is not a line number"},
        {"1 2,3,x", "two numbers in one field"},
        {"- ,2,x", "a sign with no digits"},
        {"1,+\t,x", "a sign and a blank with no digits"},
        {"40000,1,x", "wider than the 16-bit index"},
        {"1,2,MV3-112M-4\x81", "a GBK lead byte cut off at the line end"},
        {"1,2,abc\xff", "a byte GBK does not have"},
        {"1,2,\xa2\xe3", "a code point GBK leaves unassigned"},
        {"1,2,MV3\x81 4kW", "a lead byte followed by a blank"},
    };
    for (const Case& c : cases) {
        int a = -1, b = -1;
        QString rest = QStringLiteral("untouched"), error;
        EXPECT_FALSE(parseCatalogueLine(c.line, &a, &b, &rest, &error)) << c.fault;
        EXPECT_FALSE(error.isEmpty()) << c.fault;
        EXPECT_EQ(rest, QStringLiteral("untouched")) << c.fault;
    }
}

TEST(CatalogueLine, linesEndAtCrCrLfOrLf) {
    using Lines = std::vector<QByteArray>;
    struct Case {
        QByteArray text;
        Lines lines;
    } cases[] = {
        {"a,1\r\nb,2\r\n", {"a,1", "b,2"}},
        {"a,1\rb,2\r", {"a,1", "b,2"}},
        {"a,1\nb,2\n", {"a,1", "b,2"}},
        {"a,1\r\nb,2", {"a,1", "b,2"}},  // the last line needs no end
        {"a\r\r\nb", {"a", "", "b"}},    // CR, then CR LF: an empty line between
        {"a\n\rb", {"a", "", "b"}},      // LF then CR are two ends
        {"", {}},
        {"\r\n", {""}},
    };
    for (const Case& c : cases) EXPECT_EQ(splitCatalogueLines(c.text), c.lines) << c.text.toStdString();
}

TEST(CatalogueListItem, numberRightAlignedInThreeCharactersThenTheDescription) {
    const QString d = QStringLiteral(" MV3-112M-4  4kW, 8.6A");
    EXPECT_EQ(modelListItem(1, d), QStringLiteral("  (1).") + d);
    EXPECT_EQ(modelListItem(12, d), QStringLiteral(" (12).") + d);
    EXPECT_EQ(modelListItem(123, d), QStringLiteral("(123).") + d);
    EXPECT_EQ(modelListItem(6936, QStringLiteral("x")), QStringLiteral("(6936).x"));
}

TEST(CatalogueVoltage, followsTheCodeBands) {
    struct Case {
        int code;
        float volts;
    } cases[] = {
        {1, 380},     {4874, 380},  {4875, 3000}, {5151, 3000},  {5152, 3300},  {5154, 3300},  {5155, 6000},
        {6894, 6000}, {6895, 6600}, {6896, 6600}, {6897, 10000}, {6915, 10000}, {6916, 110},   {6922, 110},
        {6923, 115},  {6924, 115},  {6925, 220},  {6931, 220},   {6932, 230},   {6933, 283.5}, {6934, 253.5},
        {6935, 100},  {0, 0},       {-1, 0},      {6936, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(RatedVoltageByCode(c.code), c.volts) << c.code;
}

// ------------------------------------------------------------------------------------------------ files

class CatalogueFiles : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString categories = dir.filePath(QLatin1String(kCategoryFileName));
    QString models = dir.filePath(QLatin1String(kModelFileName));
    QString nameplates = dir.filePath(QLatin1String(kNameplateFileName));

    // Nine model lines; codes unlike the line numbers, so a reader that confuses them shows it.
    void writeModelIndex(const QByteArray& end = "\r\n") {
        const QString lines[] = {QStringLiteral("1,101,a"),
                                 QStringLiteral("2,102,b"),
                                 QStringLiteral("3,103,c"),
                                 QStringLiteral("4,104,d"),
                                 QStringLiteral("1, 4875,MV3-甲-4  160kW"),
                                 QStringLiteral(" 2 ,17 ,  MV3-乙, 2极"),
                                 QStringLiteral("3,6935,MV2-U100-71M2-4  0.37kW  100V"),
                                 QStringLiteral("8,108,h"),
                                 QStringLiteral("9,109,i")};
        QByteArray text;
        for (const QString& l : lines) text += gbk(l) + end;
        writeFile(models, text);
    }
};

TEST_F(CatalogueFiles, categoriesReadWhateverTheLineEnds) {
    const QString names[] = {QStringLiteral("IE3 超高效三相异步电动机 380V 4极"),
                             QStringLiteral("高压三相异步电动机 6kV, IP44 箱式"), QStringLiteral("   ")};
    for (const char* end : {"\r\n", "\r", "\n"}) {
        QByteArray text = gbk("1,4,") + gbk(names[0]) + end + gbk(" 5 , 7 ,") + gbk(names[1]) + end + "8,9," +
                          gbk(names[2]) + end + end +
                          end;  // empty lines after the last category are no category
        writeFile(categories, text);
        std::vector<CategoryEntry> c;
        QString error;
        ASSERT_TRUE(readCategories(categories, &c, &error)) << str(error);
        ASSERT_EQ(c.size(), 3u);
        EXPECT_EQ(c[0].first, 1);
        EXPECT_EQ(c[0].last, 4);
        EXPECT_EQ(c[0].name, names[0]);
        EXPECT_EQ(c[1].first, 5);
        EXPECT_EQ(c[1].last, 7);
        EXPECT_EQ(c[1].name, names[1]);
        EXPECT_EQ(c[2].name, names[2]);
    }
}

TEST_F(CatalogueFiles, aCategoryOnLinesFiveToSevenListsItsThreeModels) {
    for (const char* end : {"\r\n", "\r", "\n"}) {
        writeModelIndex(end);
        std::vector<ModelEntry> m;
        QString error;
        ASSERT_TRUE(readModels(models, CategoryEntry{5, 7, QStringLiteral("x")}, &m, &error)) << str(error);
        ASSERT_EQ(m.size(), 3u);
        EXPECT_EQ(m[0].serial, 1);
        EXPECT_EQ(m[0].code, 4875);
        EXPECT_EQ(m[1].serial, 2);
        EXPECT_EQ(m[1].code, 17);
        EXPECT_EQ(m[2].code, 6935);
        EXPECT_EQ(modelListItem(1, m[0].description), QStringLiteral("  (1).MV3-甲-4  160kW"));
        EXPECT_EQ(modelListItem(2, m[1].description), QStringLiteral("  (2).  MV3-乙, 2极"));
        EXPECT_EQ(modelListItem(3, m[2].description), QStringLiteral("  (3).MV2-U100-71M2-4  0.37kW  100V"));
    }
}

TEST_F(CatalogueFiles, onlyTheCategorysOwnLinesAreRead) {
    writeModelIndex();
    QFile f(models);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("garbage \xff without fields\r\n");
    f.close();
    std::vector<ModelEntry> m;
    QString error;
    ASSERT_TRUE(readModels(models, CategoryEntry{1, 2, QString()}, &m, &error)) << str(error);
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[1].code, 102);
    EXPECT_FALSE(readModels(models, CategoryEntry{9, 10, QString()}, &m, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("第 10 行"))) << str(error);
    EXPECT_TRUE(m.empty());
}

TEST_F(CatalogueFiles, damagedModelIndexIsAnErrorNamingFileAndLine) {
    struct Case {
        QByteArray line6;
        CategoryEntry category;
        const char* fault;
    } cases[] = {
        {"6,0,code zero", {5, 7, {}}, "code 0 is the custom entry, not a catalogue motor"},
        {"6,6936,code too high", {5, 7, {}}, "code beyond the catalogue"},
        {"6,-1,negative code", {5, 7, {}}, "negative code"},
        {"6 17 no commas", {5, 7, {}}, "missing comma"},
        {"6,17,\x81", {5, 7, {}}, "lone GBK lead byte"},
        {"6,17,ok", {5, 12, {}}, "category runs past the end of the file"},
        {"6,17,ok", {7, 5, {}}, "last line before the first"},
        {"6,17,ok", {0, 3, {}}, "line 0 does not exist"},
        {"6,17,ok", {1, 6937, {}}, "more models than one category can hold"},
    };
    for (const Case& c : cases) {
        writeFile(models,
                  QByteArray("1,1,a\r\n2,2,b\r\n3,3,c\r\n4,4,d\r\n5,5,e\r\n") + c.line6 + "\r\n7,7,g\r\n");
        std::vector<ModelEntry> m{ModelEntry{}};
        QString error;
        EXPECT_FALSE(readModels(models, c.category, &m, &error)) << c.fault;
        EXPECT_TRUE(m.empty()) << c.fault;
        EXPECT_TRUE(error.contains(QLatin1String(kModelFileName))) << c.fault << ": " << str(error);
    }
    writeFile(models, "1,1,a\r\n2,2,b\r\n3,3,c\r\n4,4,d\r\n5,5,e\r\n6,x,f\r\n7,7,g\r\n");
    std::vector<ModelEntry> m;
    QString error;
    EXPECT_FALSE(readModels(models, CategoryEntry{5, 7, {}}, &m, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("第 6 行"))) << str(error);
}

TEST_F(CatalogueFiles, damagedCategoryListIsAnErrorNamingFileAndLine) {
    struct Case {
        QByteArray text;
        const char* fault;
        const char* where;
    } cases[] = {
        {"", "empty file", ""},
        {"\r\n\r\n", "only empty lines", ""},
        {"1,4,a\r\n\r\n5,7,b\r\n", "an empty line between categories", "第 2 行"},
        {"1,4,a\r\n5,x,b\r\n", "non-numeric last line", "第 2 行"},
        {"1,4,a\r\n5;7;b\r\n", "semicolons instead of commas", "第 2 行"},
        {"1,4,a\r\n7,5,b\r\n", "last line before the first", "第 2 行"},
        {"0,4,a\r\n", "line 0", "第 1 行"},
        {"1,6937,a\r\n", "more models than one category can hold", "第 1 行"},
        {"1,4,a\xa1\r\n", "a cut-off GBK character in the name", "第 1 行"},
    };
    for (const Case& c : cases) {
        writeFile(categories, c.text);
        std::vector<CategoryEntry> out{CategoryEntry{}};
        QString error;
        EXPECT_FALSE(readCategories(categories, &out, &error)) << c.fault;
        EXPECT_TRUE(out.empty()) << c.fault;
        EXPECT_TRUE(error.contains(QLatin1String(kCategoryFileName))) << c.fault << ": " << str(error);
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.where))) << c.fault << ": " << str(error);
    }
}

TEST_F(CatalogueFiles, atMost178Categories) {
    QByteArray text;
    for (int k = 1; k <= kMaxCategories; ++k)
        text += QByteArray::number(k) + "," + QByteArray::number(k) + ",c\r\n";
    writeFile(categories, text);
    std::vector<CategoryEntry> out;
    QString error;
    ASSERT_TRUE(readCategories(categories, &out, &error)) << str(error);
    EXPECT_EQ(out.size(), 178u);
    writeFile(categories, text + "179,179,one too many\r\n");
    EXPECT_FALSE(readCategories(categories, &out, &error));
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(error.contains(QLatin1String(kCategoryFileName))) << str(error);
}

TEST_F(CatalogueFiles, missingFilesAreErrorsNamingTheFile) {
    std::vector<CategoryEntry> c;
    std::vector<ModelEntry> m;
    QString error;
    EXPECT_FALSE(readCategories(categories, &c, &error));
    EXPECT_TRUE(error.contains(categories)) << str(error);
    EXPECT_FALSE(readModels(models, CategoryEntry{1, 1, {}}, &m, &error));
    EXPECT_TRUE(error.contains(models)) << str(error);
    EXPECT_FALSE(readNameplate(nameplates, 1, &error).has_value());
    EXPECT_TRUE(error.contains(nameplates)) << str(error);
    // A directory where a file belongs is no better.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QLatin1String(kCategoryFileName)));
    EXPECT_FALSE(readCategories(categories, &c, &error));
    EXPECT_TRUE(error.contains(categories)) << str(error);
}

// ------------------------------------------------------------------------------------------------ nameplates

// Every record of the synthetic file holds bytes derived from its position, except codes 1 and 6935, which
// hold the values below; a reader that is one record off reads the pattern instead.
QByteArray patternedNameplates(int records) {
    QByteArray obj(records * kNameplateRecordBytes, '\0');
    for (int i = 0; i < obj.size(); ++i) obj[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    return obj;
}

const unsigned char kFirstRecord[16] = {4,    0x00, 0x80, 0x03,  // 4.0 kW
                                        0x00, 0xC0, 0x7F,        // 0.375 A: 0.75 / 2
                                        0x00, 0xA0, 0x07,        // 80 %: 0.625 * 128
                                        0x00, 0x80, 0x7E,        // 0.125 A: 0.5 / 4
                                        0x00, 0xC0, 0x7D};       // 0.09375 kW: 0.75 / 8
const unsigned char kLastRecord[16] = {2,    0x00, 0xC0, 0x02,   // 3.0 kW
                                       0x00, 0x80, 0x04,         // 8.0 A
                                       0x00, 0xB4, 0x07,         // 90 %: 0.703125 * 128
                                       0x00, 0x80, 0x02,         // 2.0 A
                                       0x00, 0x80, 0x81};        // -1.0 kW: the sign bit passes through

TEST_F(CatalogueFiles, codesOneAndLastReadTheirOwnSixteenBytes) {
    QByteArray obj = patternedNameplates(kMaxCode);
    std::copy(kFirstRecord, kFirstRecord + 16, obj.begin());
    std::copy(kLastRecord, kLastRecord + 16, obj.begin() + 110944);
    ASSERT_EQ(obj.size(), 110960);
    writeFile(nameplates, obj);
    QString error;
    const auto first = readNameplate(nameplates, 1, &error);
    ASSERT_TRUE(first.has_value()) << str(error);
    EXPECT_EQ(*first, (std::array<float, 7>{4, 4.0f, 0.375f, 80, 0.125f, 0.09375f, 380}));
    const auto last = readNameplate(nameplates, 6935, &error);
    ASSERT_TRUE(last.has_value()) << str(error);
    EXPECT_EQ(*last, (std::array<float, 7>{2, 3.0f, 8.0f, 90, 2.0f, -1.0f, 100}));
    // A neighbour of each reads the pattern, not the values above.
    const auto second = readNameplate(nameplates, 2, &error);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ((*second)[0], static_cast<float>((16 * 7 + 3) & 0xFF));
    EXPECT_NE(*second, *first);
}

TEST_F(CatalogueFiles, codesOutsideTheCatalogueAreErrors) {
    writeFile(nameplates, patternedNameplates(kMaxCode));
    for (int code : {0, -1, 6936, 32767}) {
        QString error;
        EXPECT_FALSE(readNameplate(nameplates, code, &error).has_value()) << code;
        EXPECT_TRUE(error.contains(QString::number(code))) << code << ": " << str(error);
    }
}

TEST_F(CatalogueFiles, aFileShorterThanTheRecordIsAnError) {
    QByteArray obj = patternedNameplates(kMaxCode - 1);
    obj += QByteArray(15, '\x01');  // all but the last byte of code 6935
    writeFile(nameplates, obj);
    QString error;
    EXPECT_TRUE(readNameplate(nameplates, 6934, &error).has_value()) << str(error);
    EXPECT_FALSE(readNameplate(nameplates, 6935, &error).has_value());
    EXPECT_TRUE(error.contains(nameplates)) << str(error);
    writeFile(nameplates, QByteArray());
    EXPECT_FALSE(readNameplate(nameplates, 1, &error).has_value());
    EXPECT_TRUE(error.contains(nameplates)) << str(error);
}

// ------------------------------------------------------------------------------------------------ delivered
// data

class CatalogueDelivered : public ::testing::Test {
  protected:
    QDir data{QStringLiteral(MERVO_DATA_DIR)};
    QString path(const char* name) const { return data.filePath(QLatin1String(name)); }
};

// A number shown in a model description before the given unit ("  4kW  ", "  6.6kV  ").
std::optional<double> shown(const QString& description, const QString& unit) {
    const QRegularExpression re(QStringLiteral("\\s(\\d+(?:\\.\\d+)?)") + unit + QStringLiteral("(?:\\s|$)"));
    const auto m = re.match(description);
    if (!m.hasMatch()) return std::nullopt;
    return m.captured(1).toDouble();
}

TEST_F(CatalogueDelivered, everyCategoryListsItsModelsAndEveryCodeIsReachedOnce) {
    std::vector<CategoryEntry> categories;
    QString error;
    ASSERT_TRUE(readCategories(path(kCategoryFileName), &categories, &error)) << str(error);
    ASSERT_FALSE(categories.empty());
    EXPECT_LE(categories.size(), static_cast<size_t>(kMaxCategories));

    QFile index(path(kModelFileName));
    ASSERT_TRUE(index.open(QIODevice::ReadOnly));
    const QByteArray indexText = index.readAll();
    EXPECT_TRUE(indexText.endsWith("\r\n"));
    const size_t indexLines = splitCatalogueLines(indexText).size();

    std::vector<int> reached(kMaxCode + 1, 0);
    int expectedFirst = 1;
    for (const CategoryEntry& c : categories) {
        EXPECT_FALSE(c.name.trimmed().isEmpty());
        EXPECT_EQ(c.first, expectedFirst) << str(c.name) << ": categories follow each other without a gap";
        EXPECT_LE(c.first, c.last) << str(c.name);
        expectedFirst = c.last + 1;
        std::vector<ModelEntry> models;
        ASSERT_TRUE(readModels(path(kModelFileName), c, &models, &error)) << str(error);
        EXPECT_LE(models.size(), static_cast<size_t>(kMaxModelsPerCategory));
        for (const ModelEntry& m : models) ++reached[static_cast<size_t>(m.code)];
    }
    EXPECT_EQ(static_cast<size_t>(expectedFirst - 1), indexLines) << "every model line belongs to a category";
    for (int code = 1; code <= kMaxCode; ++code)
        EXPECT_EQ(reached[static_cast<size_t>(code)], 1) << "code " << code;
}

TEST_F(CatalogueDelivered, everyNameplateIsConsistent) {
    QFile obj(path(kNameplateFileName));
    ASSERT_TRUE(obj.open(QIODevice::ReadOnly));
    EXPECT_EQ(obj.size(), qint64(kMaxCode) * kNameplateRecordBytes);
    std::vector<std::string> faults;
    auto fault = [&](int code, const std::string& what) {
        faults.push_back("code " + std::to_string(code) + ": " + what);
    };
    for (int code = 1; code <= kMaxCode; ++code) {
        QString error;
        const auto v = readNameplate(path(kNameplateFileName), code, &error);
        if (!v) {
            fault(code, str(error));
            continue;
        }
        const float poles = (*v)[0], pn = (*v)[1], in = (*v)[2], eta = (*v)[3], i0 = (*v)[4], p0 = (*v)[5];
        const float un = (*v)[6];
        if (poles != 2 && poles != 4 && poles != 6 && poles != 8)
            fault(code, "poles " + std::to_string(poles));
        bool finite = true;
        for (float x : *v) finite = finite && std::isfinite(x) && x > 0;
        if (!finite) {
            fault(code, "a value is zero, negative or not finite");
            continue;
        }
        if (!(eta > 0 && eta < 100)) fault(code, "efficiency " + std::to_string(eta));
        // The rated losses as the program forms them; the operating-point model needs room for load losses.
        const float loss = (100.0f / eta - 1.0f) * pn;
        if (!(p0 < loss)) fault(code, "no-load power not below the rated losses");
        if (!(i0 < in)) fault(code, "no-load current not below the rated current");
        // The rated current follows from power, voltage, efficiency and a plausible power factor (3 % slack).
        const double cosPhi = pn * 1000.0 / (std::sqrt(3.0) * un * eta / 100.0 * in);
        if (cosPhi < 0.6 / 1.03 || cosPhi > 0.95 * 1.03)
            fault(code, "implied power factor " + std::to_string(cosPhi));
    }
    EXPECT_TRUE(faults.empty()) << faults.size()
                                << " faults, first: " << (faults.empty() ? "" : faults.front());
}

TEST_F(CatalogueDelivered, descriptionsShowTheRecordsPowerAndVoltage) {
    std::vector<CategoryEntry> categories;
    QString error;
    ASSERT_TRUE(readCategories(path(kCategoryFileName), &categories, &error)) << str(error);
    std::vector<std::string> faults;
    for (const CategoryEntry& c : categories) {
        std::vector<ModelEntry> models;
        ASSERT_TRUE(readModels(path(kModelFileName), c, &models, &error)) << str(error);
        for (const ModelEntry& m : models) {
            const auto v = readNameplate(path(kNameplateFileName), m.code, &error);
            ASSERT_TRUE(v.has_value()) << str(error);
            const auto kw = shown(m.description, QStringLiteral("kW"));
            if (!kw || std::fabs(*kw / (*v)[1] - 1) > 1e-3) faults.push_back(str(m.description) + ": power");
            // Only motors off the 380 V band say their voltage; it must be the one their code implies.
            const auto kv = shown(m.description, QStringLiteral("kV"));
            const auto volts =
                kv ? std::optional<double>(*kv * 1000) : shown(m.description, QStringLiteral("V"));
            if (std::fabs(volts.value_or(380) - (*v)[6]) > 1e-3)
                faults.push_back(str(m.description) + ": voltage");
        }
    }
    EXPECT_TRUE(faults.empty()) << faults.size()
                                << " faults, first: " << (faults.empty() ? "" : faults.front());
}

}  // namespace
