#include "motor/nameplate_entry.h"

#include <cmath>

#include "measurement/codec.h"
#include "motor/catalogue.h"
#include "shared/number_format.h"
#include "shared/text_parse.h"

namespace mervo {

namespace {
// The significant bits of a catalogue number: the 16-bit mantissa of its three bytes.
constexpr int kCatalogueBits = 16;
}  // namespace

const char* const kNameplateNames[7] = {"电机极数", "额定功率", "额定电流", "额定效率",
                                        "空载电流", "空载功率", "额定电压"};

Result<int> checkMotorCode(const QString& text) {
    const std::optional<double> code = numberFromText(text);
    if (!code || *code != std::floor(*code))
        return Status::failure(QStringLiteral("编码必须是 0 到 6935 之间的整数，请重新输入！"));
    if (*code < 0 || *code > kMaxCode)
        return Status::failure(QStringLiteral("编码错误，请重新输入！"), QString(), kCodeOutOfRange);
    return static_cast<int>(*code);
}

QString nameplateValueText(float v) {
    if (!std::isfinite(v)) return formatCaption(v);
    // The digits that come back through the catalogue's three bytes as v are the figure the catalogue was made
    // from; any other float keeps the digits of its own precision.
    const QString catalogue = QString::fromStdString(formatShortestFloat(v, kCatalogueBits));
    const std::optional<float> back = floatFromText(catalogue);
    if (back) {
        const std::array<uint8_t, 3> b = EncodeTriple(*back);
        if (DecodeTriple(b[0], b[1], b[2]) == v) return catalogue;
    }
    return QString::fromStdString(formatShortestFloat(v));
}

Result<std::array<float, 7>> checkNameplateTexts(const std::array<QString, 7>& texts, int* field,
                                                 const std::array<float, 7>* shown) {
    std::array<float, 7> v{};
    for (size_t i = 0; i < 7; ++i) {
        const std::optional<float> x = floatFromText(texts[i]);
        if (!x) {
            if (field) *field = static_cast<int>(i);
            return Status::failure(
                QStringLiteral("“%1”不是有效的数字，请重新输入！").arg(QString::fromUtf8(kNameplateNames[i])));
        }
        v[i] = shown && texts[i] == nameplateValueText((*shown)[i]) ? (*shown)[i] : *x;
    }
    return v;
}

}  // namespace mervo
