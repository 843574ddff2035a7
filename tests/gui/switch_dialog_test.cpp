#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QRadioButton>
#include <memory>
#include <vector>

#include "app/controls/control_id.h"
#include "app/controls/ct_button_picture.h"
#include "app/controls/ct_static.h"
#include "tests/gui/ipset_test_support.h"
#include "tests/gui/shell_test_support.h"
#include "ui/bridge/bridge_set_multi_dlg.h"
#include "ui/bridge/kelvra_set_multi_dlg.h"

namespace pontiq {
namespace {

using testing_engine::kMacA;
using testing_engine::kMacB;
using testing_engine::kMacC;
using testing_engine::Sent;
using testing_engine::Text;

struct Kind {
    const char* name;
    SwitchFeature feature;
    uint16_t message;
    size_t byte;  // of the feature block
    int dialogId;
    int titleId;
    int labelId;
    const char* text;
};
const Kind kKinds[] = {
    {"bridge", SwitchFeature::TransparentBridge, MSG_SET_TRANSPARENT_BRIDGE, 0, kDlgBridgeSetMulti,
     kIdcBridgeTitle, kIdcBridgeLabel, "Set Bridge"},
    {"kelvra", SwitchFeature::Kelvra, MSG_SET_KELVRA, 1, kDlgKelvraSetMulti, kIdcKelvraTitle, kIdcKelvraLabel,
     "Kelvra"},
};

class SwitchDialogTest : public test::CommandDialogTest {
public:
    void SetUp() override
    {
        CommandDialogTest::SetUp();
        test::ResetLanguage();
    }

    std::unique_ptr<CSwitchSetMultiDlg> Open(const Kind& kind, std::vector<SelectionEntry> selection,
                                             int initial)
    {
        sender_->Take();
        if (kind.feature == SwitchFeature::TransparentBridge) {
            return std::make_unique<CBridgeSetMultiDlg>(std::move(selection), initial, worker, *engine_,
                                                        nullptr);
        }
        return std::make_unique<CKelvraSetMultiDlg>(std::move(selection), initial, worker, *engine_, nullptr);
    }

    static void Click(QWidget* dlg, int id) { qobject_cast<QAbstractButton*>(FindControl(dlg, id))->click(); }
};

TEST_F(SwitchDialogTest, SaveSendsOneCommandPerDeviceWithTheChosenValueInItsByte)
{
    enum Action { None, Enable, Disable, EnableThenDisable };
    struct Case {
        int initial;
        Action action;
        uint8_t sent;
    };
    const Case cases[] = {
        {0, None, 0},   {1, None, 1},    {2, None, 1},  // a stored value other than 0 counts as on
        {0, Enable, 1}, {1, Disable, 0}, {2, Disable, 0}, {0, EnableThenDisable, 0},
    };
    const std::vector<SelectionEntry> selection = {
        Device(kMacA, "192.168.0.51"), Device(kMacB, "192.168.0.52"), Device(kMacC, "192.168.0.53")};
    for (const Kind& kind : kKinds) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(kind.name) + " initial " + std::to_string(c.initial) + " action " +
                         std::to_string(c.action));
            auto dlg = Open(kind, selection, c.initial);
            EXPECT_EQ(dlg->EnableButton()->isChecked(), c.initial != 0);
            EXPECT_EQ(dlg->DisableButton()->isChecked(), c.initial == 0);
            if (c.action == Enable || c.action == EnableThenDisable) Click(dlg.get(), kIdcSwitchEnable);
            if (c.action == Disable || c.action == EnableThenDisable) Click(dlg.get(), kIdcSwitchDisable);
            EXPECT_NE(dlg->EnableButton()->isChecked(), dlg->DisableButton()->isChecked());
            Click(dlg.get(), kIdcSwitchSave);
            EXPECT_EQ(dlg->result(), QDialog::Accepted);
            worker.Wait();

            const std::vector<Sent> sent = SentOfType(kind.message);
            ASSERT_EQ(sent.size(), selection.size());
            for (size_t i = 0; i < sent.size(); ++i) {
                EXPECT_EQ(sent[i].Mac(), std::string(selection[i].mac));
                EXPECT_EQ(sent[i].kind, testing_engine::Sent::Multicast);
                std::vector<uint8_t> payload(16, 0);
                payload[kind.byte] = c.sent;
                EXPECT_EQ(sent[i].Payload(), payload);
            }
            const EXTENSION_BLOCK block = dlg->FeatureBlock();
            EXPECT_EQ(reinterpret_cast<const uint8_t*>(&block)[kind.byte], c.sent);
            // Tracked: each is repeated until its reply arrives.
            EXPECT_EQ(engine_->RetryEntries().size(), selection.size());
            for (const RetryEntry& r : engine_->RetryEntries()) EXPECT_EQ(r.msgType, kind.message);
            MakeEngine();  // a fresh retransmission table for the next case
            Described(kMacA, "192.168.0.51");
            Described(kMacB, "192.168.0.52");
            Described(kMacC, "192.168.0.53");
        }
    }
}

TEST_F(SwitchDialogTest, CancelOrCloseAfterChangingTheRadiosSendsNothing)
{
    const std::vector<SelectionEntry> selection = {Device(kMacA, "192.168.0.51")};
    for (const Kind& kind : kKinds) {
        for (int button : {kIdcSwitchCancel, kIdcSwitchClose}) {
            SCOPED_TRACE(std::string(kind.name) + " " + std::to_string(button));
            auto dlg = Open(kind, selection, 0);
            Click(dlg.get(), kIdcSwitchEnable);
            EXPECT_EQ(dlg->Choice(), 1);
            Click(dlg.get(), button);
            EXPECT_EQ(dlg->result(), QDialog::Rejected);
            worker.Wait();
            EXPECT_FALSE(worker.IsRunning());
            EXPECT_TRUE(sender_->Take().empty());
        }
    }
}

TEST_F(SwitchDialogTest, ShowsTheDialogsTextsUnderTheirIds)
{
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        auto dlg = Open(kind, {}, 1);
        EXPECT_EQ(ControlId(dlg.get()), kind.dialogId);
        auto* title = qobject_cast<CTStatic*>(FindControl(dlg.get(), kind.titleId));
        ASSERT_NE(title, nullptr);
        EXPECT_EQ(title->text(), QString::fromLatin1(kind.text));
        EXPECT_NE(FindControl(dlg.get(), kind.labelId), nullptr);
        EXPECT_NE(FindControl(dlg.get(), kIdcSwitchTitleBar), nullptr);
        EXPECT_EQ(qobject_cast<CTStatic*>(FindControl(dlg.get(), kIdcSwitchEnableLabel))->text(),
                  QStringLiteral("Enable"));
        EXPECT_EQ(qobject_cast<CTStatic*>(FindControl(dlg.get(), kIdcSwitchDisableLabel))->text(),
                  QStringLiteral("Disable_off"));
        EXPECT_EQ(qobject_cast<CTButtonPicture*>(FindControl(dlg.get(), kIdcSwitchSave))->Caption(),
                  QStringLiteral("Save"));
        EXPECT_EQ(qobject_cast<CTButtonPicture*>(FindControl(dlg.get(), kIdcSwitchCancel))->Caption(),
                  QStringLiteral("Cancel"));
        // An empty selection sends nothing and still closes.
        Click(dlg.get(), kIdcSwitchSave);
        worker.Wait();
        EXPECT_EQ(dlg->result(), QDialog::Accepted);
        EXPECT_TRUE(sender_->Take().empty());
    }
}

TEST_F(SwitchDialogTest, ClickingARadiosLabelPicksIt)
{
    auto dlg = Open(kKinds[0], {}, 0);
    dlg->show();
    QWidget* label = FindControl(dlg.get(), kIdcSwitchEnableLabel);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(3, 3), label->mapToGlobal(QPointF(3, 3)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(3, 3), label->mapToGlobal(QPointF(3, 3)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(label, &press);
    QCoreApplication::sendEvent(label, &release);
    EXPECT_EQ(dlg->Choice(), 1);
    EXPECT_TRUE(dlg->EnableButton()->isChecked());
    EXPECT_FALSE(dlg->DisableButton()->isChecked());
}

TEST(SwitchDialogLook, RendersInEnglishAndChinese)
{
    const QString folder = test::GrabFolder();
    for (uint32_t locale : {kLocaleEnglishUs, kLocaleChineseSimplified}) {
        CApplicationApp app;
        app.LoadConfiguration(test::ResourceDir(), locale);
        CApplyWorker worker;
        CBridgeSetMultiDlg bridge({}, 1, worker);
        CKelvraSetMultiDlg kelvra({}, 0, worker);
        for (CSwitchSetMultiDlg* dlg :
             {static_cast<CSwitchSetMultiDlg*>(&bridge), static_cast<CSwitchSetMultiDlg*>(&kelvra)}) {
            dlg->show();
            const QPixmap shot = dlg->grab();
            EXPECT_FALSE(shot.isNull());
            if (!folder.isEmpty()) {
                shot.save(folder +
                          QStringLiteral("/%1_%2.png")
                              .arg(dlg->objectName())
                              .arg(locale == kLocaleEnglishUs ? QStringLiteral("en") : QStringLiteral("zh")));
            }
        }
    }
    test::ResetLanguage();
}

}  // namespace
}  // namespace pontiq
