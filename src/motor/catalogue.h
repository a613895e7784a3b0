// The motor catalogue delivered beside the program: categories (MT_fe.txt), the model index (bmindex.txt), both
// GBK text with CR (LF) line ends, and 16-byte nameplate records by code (MTALL.OBJ).
#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <map>
#include <set>
#include <optional>
#include <vector>

#include "platform/program_dir.h"  // the catalogue's file names
#include "shared/result.h"

namespace mervo {

constexpr int kMaxCode = 6935;
constexpr int kMaxCategories = 178;
constexpr int kMaxModelsPerCategory = 6936;
constexpr int kNameplateRecordBytes = 16;

struct CategoryEntry {
    int first = 0;  // first and last line (from 1) of the category in the model index
    int last = 0;
    QString name;
};

struct ModelEntry {
    int serial = 0;
    int code = 0;
    QString description;
};

// One catalogue line: two whole numbers, each ended by a comma (blanks around them skipped), then the rest of
// the line verbatim. `line` is GBK without its line end; a line that does not fit is refused with the reason.
struct CatalogueLine {
    int field1 = 0, field2 = 0;
    QString rest;
};
Result<CatalogueLine> parseCatalogueLine(const QByteArray& line);

// Splits text into lines ended by CR, CR LF or LF; a last line without an end counts too.
std::vector<QByteArray> splitCatalogueLines(const QByteArray& text);

// The category list. Fails with a reason for a missing or damaged file or more than 178 categories.
Result<std::vector<CategoryEntry>> readCategories(const QString& path);

// The models of one category (lines first..last of the model index; at most 6936).
Result<std::vector<ModelEntry>> readModels(const QString& path, const CategoryEntry& category);

// The rated voltage a code implies: 380 V up to 4874, then the high-voltage and special bands; 0 outside 1..6935.
float RatedVoltageByCode(int code);

// The seven nameplate values of code 1..6935 in header order (poles, kW, A, %, no-load A, no-load kW, V).
Result<std::array<float, 7>> readNameplate(const QString& path, int code);

// Every motor of the catalogue in `dir` (MTALL.OBJ): its code and nameplate.
struct CatalogueMotor {
    int code = 0;
    std::array<float, 7> nameplate{};
};
Result<std::vector<CatalogueMotor>> readCatalogueMotors(const QString& dir);
// The models (the first word of their index lines) of `codes`, from the model index in `dir`; only those lines
// are decoded.
Result<std::map<int, QString>> readModelNames(const QString& dir, const std::set<int>& codes);

// A model list item: n right-aligned to three characters, "(n).", the description: "  (1).MV3-80M1-2 ...".
QString modelListItem(int n, const QString& description);

}  // namespace mervo
