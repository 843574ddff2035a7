#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>

#include "app/controls/control_id.h"
#include "app/controls/ct_button_picture.h"
#include "tests/gui/status_test_support.h"
#include "ui/maintenance/scan_mac_dlg.h"

namespace pontiq {
namespace {

using test::MessageRecorder;
using test::TypeText;

TEST(ScanMacFilter, RaisesHexLettersAndCutsAtTheFirstOtherCharacter)
{
    struct Case {
        const char* typed;
        const char* kept;
        bool refused;
        bool changed;
    };
    const Case cases[] = {
        {"", "", false, false},    {"0", "0", false, false},  {"F9", "F9", false, false},
        {"ab", "AB", false, true}, {"a1", "A1", false, true}, {"g", "", true, true},
        {"1g", "1", true, true},   {"G1", "", true, true},    {"e-", "E", true, true},
        {" 1", "", true, true},    {"9Z3", "9", true, true},  {"\xc3\xa4", "", true, true},
    };
    for (const Case& c : cases) {
        const MacFieldFilter f = FilterMacField(QString::fromUtf8(c.typed));
        EXPECT_EQ(f.text, QString::fromUtf8(c.kept)) << c.typed;
        EXPECT_EQ(f.refused, c.refused) << c.typed;
        EXPECT_EQ(f.changed, c.changed) << c.typed;
    }
}

TEST(ScanMacFilter, SixFieldsOfTwoDigitsMakeTheBytes)
{
    EXPECT_EQ(MacFromFields({"00", "1A", "2B", "3C", "4D", "5E"}),
              (MacAddress{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
    EXPECT_EQ(MacFromFields({"FF", "ff", "0a", "A0", "99", "10"}),
              (MacAddress{0xFF, 0xFF, 0x0A, 0xA0, 0x99, 0x10}));
    const QStringList refused[] = {
        {"00", "1A", "2B", "3C", "4D", "5"},    // one digit
        {"00", "1A", "2B", "3C", "4D", ""},     // empty
        {"00", "1A", "2B", "3C", "4D", "5E6"},  // three
        {"00", "1A", "2B", "3C", "4D"},         // five fields
        {"00", "1A", "2B", "3C", "4D", "-1"},   // a sign toUInt would take
        {"00", "1A", "2B", "3C", "4D", " 1"},  {"00", "1A", "2B", "3C", "4D", "0x"},
    };
    for (const QStringList& fields : refused)
        EXPECT_FALSE(MacFromFields(fields)) << fields.join(':').toStdString();
}

class ScanMacDlgTest : public testing::Test {
protected:
    void SetUp() override
    {
        dlg.show();
        QApplication::setActiveWindow(&dlg);
        dlg.Field(0)->setFocus();
    }
    bool HasFocus(int field) { return QApplication::focusWidget() == dlg.Field(field); }

    MessageRecorder messages;
    ScanMacDlg dlg;
};

TEST_F(ScanMacDlgTest, FieldsInTheirOrderHoldTwoCharacters)
{
    for (int i = 0; i < 6; ++i) {
        ASSERT_NE(dlg.Field(i), nullptr);
        EXPECT_EQ(ControlId(dlg.Field(i)), kScanMacFieldIds[static_cast<size_t>(i)]);
        EXPECT_EQ(dlg.Field(i)->maxLength(), 2);
        EXPECT_LT(dlg.Field(i)->x(), i < 5 ? dlg.Field(i + 1)->x() : 10000);
    }
    EXPECT_EQ(dlg.Field(6), nullptr);
    EXPECT_EQ(ControlId(&dlg), kDlgScanMac);
    EXPECT_EQ(ControlId(dlg.OkButton()), kIdcScanMacOk);
    EXPECT_EQ(ControlId(dlg.CancelButton()), kIdcScanMacCancel);
    EXPECT_EQ(dlg.OkButton()->Caption(), QStringLiteral("Ok"));
    EXPECT_EQ(dlg.CancelButton()->Caption(), QStringLiteral("Cancel"));
    EXPECT_NE(FindControl(&dlg, kIdcScanMacTitle), nullptr);
    EXPECT_NE(FindControl(&dlg, kIdcScanMacPrompt), nullptr);
    // Full-width colons between the fields, each between its two fields.
    for (int i = 0; i < 5; ++i) {
        const auto* colon = qobject_cast<const QLabel*>(FindControl(&dlg, kIdcScanMacSeparatorFirst + i));
        ASSERT_NE(colon, nullptr) << i;
        EXPECT_EQ(colon->text(), QString(QChar(0xFF1A))) << i;
        EXPECT_GE(colon->x(), dlg.Field(i)->geometry().right()) << i;
        EXPECT_LE(colon->geometry().right(), dlg.Field(i + 1)->x()) << i;
    }
    EXPECT_EQ(FindControl(&dlg, kIdcScanMacSeparatorFirst + 5), nullptr);
}

TEST_F(ScanMacDlgTest, TypedLettersAreRaisedAndTheFocusMovesOnAfterTwo)
{
    ASSERT_TRUE(HasFocus(0));
    TypeText(dlg.Field(0), QStringLiteral("a"));
    EXPECT_EQ(dlg.Field(0)->text(), QStringLiteral("A"));
    EXPECT_TRUE(HasFocus(0));
    TypeText(dlg.Field(0), QStringLiteral("b"));
    EXPECT_EQ(dlg.Field(0)->text(), QStringLiteral("AB"));
    EXPECT_EQ(dlg.Field(0)->cursorPosition(), 2);
    EXPECT_TRUE(HasFocus(1));
    EXPECT_TRUE(messages.requests.empty());

    // Typing on runs through the fields; the last one keeps the focus.
    TypeText(nullptr, QStringLiteral("0c1d2e3f45"));
    EXPECT_EQ(dlg.Field(1)->text(), QStringLiteral("0C"));
    EXPECT_EQ(dlg.Field(5)->text(), QStringLiteral("45"));
    EXPECT_TRUE(HasFocus(5));
}

TEST_F(ScanMacDlgTest, OtherCharactersAreRemovedWithTheMessage)
{
    TypeText(dlg.Field(0), QStringLiteral("1"));
    TypeText(dlg.Field(0), QStringLiteral("g"));
    EXPECT_EQ(dlg.Field(0)->text(), QStringLiteral("1"));
    EXPECT_EQ(dlg.Field(0)->cursorPosition(), 1);
    EXPECT_TRUE(HasFocus(0));
    ASSERT_EQ(messages.requests.size(), 1u);
    EXPECT_EQ(messages.requests[0].text, QStringLiteral("please enter : 0-9&a--f&A--F"));
    EXPECT_EQ(messages.requests[0].icon, MessageIcon::None);
    EXPECT_EQ(messages.requests[0].caption, ApplicationName());
    EXPECT_EQ(messages.requests[0].buttons, MessageButtons::Ok);

    // Pasted text goes through the same filter.
    dlg.Field(3)->setText(QStringLiteral("z9"));
    EXPECT_EQ(dlg.Field(3)->text(), QString());
    EXPECT_EQ(messages.requests.size(), 2u);
}

TEST_F(ScanMacDlgTest, OkNeedsSixFullFieldsAndReturnsTheBytes)
{
    const char* texts[] = {"00", "1a", "2B", "3c", "4D", "5"};
    for (int i = 0; i < 6; ++i) dlg.Field(i)->setText(QString::fromLatin1(texts[i]));
    dlg.OkButton()->click();
    ASSERT_EQ(messages.requests.size(), 1u);
    EXPECT_EQ(messages.requests[0].text, QStringLiteral("Mac address is error!!"));
    EXPECT_EQ(messages.requests[0].icon, MessageIcon::None);
    EXPECT_EQ(messages.requests[0].caption, ApplicationName());
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), 0);

    dlg.Field(5)->setText(QStringLiteral("5e"));
    dlg.OkButton()->click();
    EXPECT_EQ(messages.requests.size(), 1u);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.Mac(), (MacAddress{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
}

TEST_F(ScanMacDlgTest, CancelClosesWithoutAMac)
{
    for (int i = 0; i < 6; ++i) dlg.Field(i)->setText(QStringLiteral("11"));
    dlg.CancelButton()->click();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(messages.requests.empty());
}

}  // namespace
}  // namespace pontiq
