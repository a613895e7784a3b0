// The motor parameter window driven through its lists, code field and buttons, over a small catalogue whose
// every byte the test knows.
#include <gtest/gtest.h>

#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include "measurement/codec.h"
#include "windows/motor_window.h"
#include "platform/fake/scripted_dialogs.h"
#include "windows/gui_test_support.h"

using namespace mervo;

namespace {

void writeGbk(const QString& path, const QString& text) {
    QStringEncoder gbk("GBK");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(gbk.encode(text));
}

// Code 12: a 4-pole 4 kW motor at 80 %; code 6935: a 2-pole 0.5 kW motor at 100 V; code 30: a record whose
// no-load power exceeds its rated losses; code 6930: a 6-pole 220 V record without its rated power.
void writeCatalogue(const QString& dir) {
    writeGbk(dir + "/MT_fe.txt", QStringLiteral("1,2,甲类 三相电机, 380V\r\n3, 4 ,乙类\r\n"));
    writeGbk(dir + "/bmindex.txt",
             QStringLiteral("1,12,甲-4kW\r\n2,30,甲-坏数据\r\n3,6935,乙-0.5kW\r\n4,7,乙-空记录\r\n"));
    QByteArray obj(16 * 6935, '\0');
    auto put = [&](int code, uint8_t poles, std::array<float, 5> v) {
        char* r = obj.data() + 16 * (code - 1);
        r[0] = static_cast<char>(poles);
        for (int i = 0; i < 5; ++i) {
            const auto t = EncodeTriple(v[i]);
            for (int b = 0; b < 3; ++b) r[1 + 3 * i + b] = static_cast<char>(t[b]);
        }
    };
    put(12, 4, {4, 8.5f, 80, 4, 0.25f});
    put(6935, 2, {0.5f, 3.5f, 75, 1.5f, 0.0625f});
    put(30, 4, {4, 8.5f, 80, 4, 1.5f});
    put(6930, 6, {0, 3.5f, 75, 1.5f, 0.0625f});
    QFile f(dir + "/MTALL.OBJ");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(obj);
}

class MotorWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureApp();
        writeCatalogue(dir.path());
        st.motor.setNameplate({2, 7.5f, 15, 88, 6, 0.3f, 380});
        w = new MotorWindow(st, messages, dir.path());
        w->show();  // mouse clicks reach only a shown window
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    }
    void TearDown() override { delete w.data(); }
    QStringList fields() const {
        QStringList out;
        for (QLineEdit* t : w->Text2) out << t->text();
        return out;
    }
    void clickItem(QListWidget* list, int row, bool twice = false) {
        list->setCurrentRow(row);
        const QRect r = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
        // A double click is a click followed by the double-click event, as the window system delivers it.
        if (twice) QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
    }

    QTemporaryDir dir;
    SharedState st;
    ScriptedMessageBoxes messages;
    QPointer<MotorWindow> w;
};

TEST_F(MotorWindowTest, openingWithdrawsTheMotorDataAndShowsTheCategories) {
    EXPECT_FALSE(st.motor.MotorDataValid);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("电机参数调取"));
    ASSERT_EQ(w->List1->count(), 2);
    EXPECT_EQ(w->List1->item(0)->text(), QStringLiteral("甲类 三相电机, 380V"));
    EXPECT_EQ(fields(), QStringList({"2", "7.5", "15", "88", "6", "0.3", "380"}));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(MotorWindowTest, categoryModelAndDetailsTakeTheCatalogueNameplate) {
    clickItem(w->List1, 1);
    EXPECT_EQ(w->Frame4->title(), QStringLiteral("乙类"));
    ASSERT_EQ(w->List2->count(), 2);
    EXPECT_EQ(w->List2->item(0)->text(), QStringLiteral("  (1).乙-0.5kW"));
    EXPECT_EQ(w->ModelCode(), (std::vector<int>{6935, 7}));
    clickItem(w->List2, 0);
    EXPECT_EQ(w->Text1->text(), QStringLiteral("6935"));
    EXPECT_EQ(fields(), QStringList(7, QStringLiteral("0")));
    w->Command1->click();
    EXPECT_EQ(fields(), QStringList({" 2.000", " 0.500", " 3.500", " 75.000", " 1.500", " 0.063", " 100.000"}));
    EXPECT_TRUE(st.motor.MotorDataValid);
    EXPECT_EQ(st.motor.MotorRatedVoltage, 100.0f);
    EXPECT_EQ(st.motor.MotorNoLoadPower, 0.0625f);
    EXPECT_FLOAT_EQ(st.motor.MotorRatedLoss, (100.0f / 75.0f - 1.0f) * 0.5f);
}

// Moving through the lists with the keys chooses as a click does, so 确　定 takes the motor highlighted.
TEST_F(MotorWindowTest, arrowKeysInTheListsChooseAsClicksDo) {
    clickItem(w->List1, 0);
    const QString first = QStringLiteral("甲类 三相电机, 380V"), second = QStringLiteral("乙类");
    const struct {
        QListWidget* list;
        Qt::Key key;
        QString frame, code;
    } steps[] = {
        {w->List1, Qt::Key_Down, second, "0"}, {w->List2, Qt::Key_End, second, "7"},
        {w->List2, Qt::Key_Up, second, "6935"}, {w->List1, Qt::Key_Up, first, "6935"},
        {w->List2, Qt::Key_End, first, "30"},  {w->List2, Qt::Key_Up, first, "12"},
    };
    for (const auto& s : steps) {
        s.list->setFocus();
        QTest::keyClick(s.list, s.key);
        SCOPED_TRACE(s.list->currentItem() ? s.list->currentItem()->text().toStdString() : "none");
        EXPECT_EQ(w->Frame4->title(), s.frame);
        EXPECT_EQ(w->List2->count(), 2);
        EXPECT_EQ(w->Text1->text(), s.code);
    }
    w->Command4->click();
    EXPECT_TRUE(st.motor.MotorDataValid);
    EXPECT_EQ(st.motor.MotorRatedPower, 4.0f) << "code 12, the model highlighted";
}

// A double click on a model, or Enter on the one highlighted, takes it.
TEST_F(MotorWindowTest, doubleClickingOrEnterOnAModelConfirmsIt) {
    clickItem(w->List1, 0);
    for (const Qt::Key key : {Qt::Key_unknown, Qt::Key_Return, Qt::Key_Enter}) {
        SCOPED_TRACE(key);
        st.motor.setNameplate({2, 7.5f, 15, 88, 6, 0.3f, 380});
        st.motor.MotorDataValid = false;
        clickItem(w->List2, 0, key == Qt::Key_unknown);
        if (key != Qt::Key_unknown) {
            w->List2->setFocus();
            QTest::keyClick(w->List2, key);
        }
        EXPECT_TRUE(st.motor.MotorDataValid);
        EXPECT_EQ(st.motor.MotorRatedPower, 4.0f);
        EXPECT_FLOAT_EQ(st.motor.MotorRatedLoss, 1.0f) << "4 kW at 80 % loses 1 kW";
    }
}

// Reopened over a catalogue motor the fields read as the catalogue's figures, and confirmed untouched (code 0) they
// give back the very nameplate, not one a few millionths off.
TEST_F(MotorWindowTest, theFieldsShowTheCatalogueFiguresAndGiveTheSameNameplateBack) {
    const std::array<float, 7> code43{4, 11, 22.60009765625f, 88.30078125f, 8.050048828125f, 0.4499969482421875f, 380};
    st.motor.setNameplate(code43);
    w->Form_Load();
    EXPECT_EQ(fields(), QStringList({"4", "11", "22.6", "88.3", "8.05", "0.45", "380"}));
    w->Command4->click();
    EXPECT_TRUE(st.motor.MotorDataValid);
    EXPECT_EQ(st.motor.nameplate(), code43);
}

// A refused entry takes nothing over: the nameplate the next receive records stays whole, and nobody is told of a
// change.
TEST_F(MotorWindowTest, aRefusedEntryChangesNothing) {
    const std::array<float, 7> before{2, 7.5f, 15, 88, 6, 0.3f, 380};
    int told = 0;
    w->onNameplateChanged = [&](std::optional<int>) { ++told; };
    const struct {
        const char* code;
        int field;  // typed into, or -1
        const char* text;
    } cases[] = {
        {"0", 1, "7,5kW"},  // no number
        {"0", 5, "0"},      // a value missing
        {"6930", -1, ""},   // a catalogue record without its rated power
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        st.motor.setNameplate(before);
        const std::array<const char*, 7> typed = {"4", "11", "21.5", "89.5", "7.2", "0.45", "380"};
        for (int i = 0; i < 7; ++i) w->Text2[i]->setText(QString::fromUtf8(typed[i]));
        if (c.field >= 0) w->Text2[c.field]->setText(QString::fromUtf8(c.text));
        w->Text1->setText(QString::fromLatin1(c.code));
        w->Command4->click();
        EXPECT_EQ(st.motor.nameplate(), before);
        EXPECT_EQ(told, 0);
    }
}

TEST_F(MotorWindowTest, aRecordWithAZeroWithdrawsTheDataWithoutAMessage) {
    w->Text1->setText(QStringLiteral("7"));  // an empty record: poles 0
    w->Command4->click();
    EXPECT_FALSE(st.motor.MotorDataValid);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(st.motor.MotorRatedPower, 7.5f) << "the other values are kept";
}

TEST_F(MotorWindowTest, codesOutsideTheCatalogueAreRefusedAndClearTheData) {
    for (const char* code : {"6936", "-1"}) {
        messages.shown.clear();
        st.motor.setNameplate({2, 7.5f, 15, 88, 6, 0.3f, 380});
        w->Text1->setText(QString::fromLatin1(code));
        w->Command4->click();
        ASSERT_EQ(messages.shown.size(), 1u) << code;
        EXPECT_EQ(messages.shown[0].text, QStringLiteral("编码错误，请重新输入！"));
        EXPECT_EQ(messages.shown[0].title, QStringLiteral("错误警告！！！"));
        EXPECT_FALSE(st.motor.MotorDataValid);
        EXPECT_EQ(st.motor.MotorRatedPower, 0.0f) << code;
        EXPECT_EQ(fields(), QStringList(7, QStringLiteral("0")));
    }
}

TEST_F(MotorWindowTest, customValuesWithCodeZero) {
    clickItem(w->List1, 0);
    w->Text1->setText(QStringLiteral("12"));
    EXPECT_EQ(w->List2->count(), 2) << "a code other than 0 leaves the list";
    w->Text1->setText(QStringLiteral("0"));
    EXPECT_EQ(w->List2->count(), 0);
    EXPECT_EQ(w->Frame4->title(), QString());
    const QStringList typed{"4", "4", "8.5", "80", "4", "0.2", "380"};
    for (int i = 0; i < 7; ++i) w->Text2[i]->setText(typed[i]);
    w->Command1->click();
    EXPECT_TRUE(st.motor.MotorDataValid);
    EXPECT_FLOAT_EQ(st.motor.MotorRatedLoss, 1.0f);

    w->Text2[5]->setText(QStringLiteral("0"));  // one value missing: withdrawn, the last values stay
    w->Command1->click();
    EXPECT_FALSE(st.motor.MotorDataValid);
    EXPECT_EQ(st.motor.MotorNoLoadPower, 0.2f);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(MotorWindowTest, textThatIsNoNumberIsRefusedAndNothingStored) {
    // A code that is not a whole number, then custom values (code 0) that are not usable numbers.
    for (const char* code : {"abc", "", " ", "3.5", "1e3x", "nan", "0x10"}) {
        SCOPED_TRACE(code);
        messages.shown.clear();
        w->Text1->setText(QString::fromUtf8(code));
        w->Command4->click();
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("编码必须是"))) << messages.shown[0].text.toStdString();
        EXPECT_EQ(st.motor.MotorRatedPower, 7.5f);
    }
    const struct {
        int field;
        const char* text;
        const char* label;
    } values[] = {
        {1, "4千瓦", "额定功率"}, {0, "", "电机极数"},    {2, "1e39", "额定电流"}, {3, "nan", "额定效率"},
        {4, "inf", "空载电流"},   {5, "-inf", "空载功率"}, {6, "380V", "额定电压"}, {6, "3,8", "额定电压"},
    };
    for (const auto& v : values) {
        SCOPED_TRACE(v.text);
        messages.shown.clear();
        w->Text1->setText(QStringLiteral("0"));
        const std::array<const char*, 7> good = {"4", "11", "21.5", "89.5", "7.2", "0.45", "380"};
        for (int i = 0; i < 7; ++i) w->Text2[i]->setText(QString::fromUtf8(good[i]));
        w->Text2[v.field]->setText(QString::fromUtf8(v.text));
        w->Command4->click();
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_TRUE(messages.shown[0].text.contains(QString::fromUtf8(v.label))) << messages.shown[0].text.toStdString();
        EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("不是有效的数字")));
        EXPECT_FALSE(st.motor.MotorDataValid);
        EXPECT_EQ(st.motor.MotorRatedPower, 7.5f) << "nothing stored";
    }
}

TEST_F(MotorWindowTest, aNameplateTheModelCannotEvaluateIsStoredWithAWarning) {
    w->Text1->setText(QStringLiteral("30"));
    w->Command4->click();
    EXPECT_TRUE(st.motor.MotorDataValid);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("无法计算负载率和效率")));
}

TEST_F(MotorWindowTest, cancelClearsAndReloadsCloseKeeps) {
    clickItem(w->List1, 0);
    clickItem(w->List2, 0, true);
    w->Command2->click();
    EXPECT_FALSE(st.motor.MotorDataValid);
    EXPECT_EQ(st.motor.nameplate(), (std::array<float, 7>{}));
    EXPECT_FLOAT_EQ(st.motor.MotorRatedLoss, 1.0f) << "cancelling leaves the rated losses";
    EXPECT_EQ(fields(), QStringList(7, QStringLiteral("0")));
    EXPECT_EQ(w->List1->count(), 2);
    EXPECT_EQ(w->List2->count(), 0);

    clickItem(w->List1, 0);
    clickItem(w->List2, 0, true);
    w->Command3->click();
    test::settle();
    EXPECT_TRUE(w.isNull()) << "closed and deleted";
    EXPECT_TRUE(st.motor.MotorDataValid);
    EXPECT_EQ(st.motor.MotorRatedPower, 4.0f);
}

TEST(MotorWindowWithoutCatalogue, staysUsableForCustomValues) {
    test::ensureApp();
    QTemporaryDir empty;
    SharedState st;
    ScriptedMessageBoxes messages;
    MotorWindow w(st, messages, empty.path());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("MT_fe.txt")));
    w.Text1->setText(QStringLiteral("12"));
    w.Command4->click();
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_TRUE(messages.shown[1].text.contains(QStringLiteral("MTALL.OBJ")));
    w.Text1->setText(QStringLiteral("0"));
    const QStringList typed{"2", "11", "21.5", "89.5", "7.2", "0.45", "380"};
    for (int i = 0; i < 7; ++i) w.Text2[i]->setText(typed[i]);
    w.Command4->click();
    EXPECT_TRUE(st.motor.MotorDataValid);
    w.setAttribute(Qt::WA_DeleteOnClose, false);
}

}  // namespace
