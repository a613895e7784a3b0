#include "motor/nameplate_entry.h"

#include <cmath>

#include "motor/catalogue.h"
#include "shared/text_parse.h"

namespace mervo {

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

Result<std::array<float, 7>> checkNameplateTexts(const std::array<QString, 7>& texts, int* field) {
    std::array<float, 7> v{};
    for (int i = 0; i < 7; ++i) {
        const std::optional<float> x = floatFromText(texts[static_cast<size_t>(i)]);
        if (!x) {
            if (field) *field = i;
            return Status::failure(
                QStringLiteral("“%1”不是有效的数字，请重新输入！").arg(QString::fromUtf8(kNameplateNames[i])));
        }
        v[static_cast<size_t>(i)] = *x;
    }
    return v;
}

}  // namespace mervo
