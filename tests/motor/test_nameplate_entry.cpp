#include <gtest/gtest.h>

#include "motor/nameplate_entry.h"

using namespace mervo;

TEST(NameplateEntry, theCodeIsAWholeNumberUpTo6935) {
    struct Case {
        const char* text;
        std::optional<int> code;
        bool outOfRange;  // then the window clears what it shows
    } const cases[] = {
        {"0", 0, false},          {"1", 1, false},   {" 6935 ", 6935, false}, {"1e3", 1000, false},
        {"6936", std::nullopt, true},  {"-1", std::nullopt, true},  {"3.5", std::nullopt, false},
        {"", std::nullopt, false},     {"abc", std::nullopt, false}, {"0x10", std::nullopt, false},
    };
    for (const Case& c : cases) {
        const Result<int> r = checkMotorCode(QString::fromLatin1(c.text));
        ASSERT_EQ(r.ok(), c.code.has_value()) << c.text;
        if (r) {
            EXPECT_EQ(*r, *c.code) << c.text;
        } else {
            EXPECT_EQ(r.status().code() == kCodeOutOfRange, c.outOfRange) << c.text;
        }
    }
}

TEST(NameplateEntry, aTypedNameplateNamesTheFirstValueThatIsNoNumber) {
    std::array<QString, 7> texts{"4", "11", "21.5", "89.5", "7.2", "0.45", "380"};
    int field = -1;
    const auto ok = checkNameplateTexts(texts, &field);
    ASSERT_TRUE(ok);
    EXPECT_EQ((*ok)[2], 21.5f);
    texts[3] = QStringLiteral("89,5");
    texts[5] = QStringLiteral("1e39");
    const auto refused = checkNameplateTexts(texts, &field);
    ASSERT_FALSE(refused);
    EXPECT_EQ(field, 3);
    EXPECT_TRUE(refused.message().contains(QStringLiteral("额定效率")));
}

// A value reads as the catalogue's figure where three catalogue bytes hold it exactly, and otherwise as the fewest
// digits that give the float back.
TEST(NameplateEntry, aValueShowsTheFewestDigitsThatGiveItBack) {
    const struct {
        float v;
        const char* text;
    } cases[] = {
        {88.30078125f, "88.3"},  {22.60009765625f, "22.6"}, {0.4499969482421875f, "0.45"}, {-7.199951171875f, "-7.2"},
        {0.5500030517578125f, "0.55"}, {283.5f, "283.5"}, {380, "380"}, {0, "0"}, {67107840, "67107840"},
        {0.2f, "0.2"},  // typed in, with more bits than the catalogue keeps
        {3.14159f, "3.14159"},
    };
    for (const auto& c : cases) EXPECT_EQ(nameplateValueText(c.v), QString::fromLatin1(c.text)) << c.text;
}
