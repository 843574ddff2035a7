// Pictures of the bridge page and the four wizard pages, in English and Chinese, for a look by eye.
// They run only when asked: PONTIQ_BRIDGE_SNAPSHOTS names the folder for the pictures.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <cstdlib>

#include "app/application_app.h"
#include "app/controls/ct_edit.h"
#include "app/language.h"
#include "comm/engine_store.h"
#include "comm/operate_character.h"
#include "store/sql_management.h"
#include "store/value_format.h"
#include "tests/gui/grid_test_events.h"
#include "tests/gui/ipset_test_support.h"
#include "tests/gui/shell_test_support.h"
#include "ui/bridge/bridge_dlg.h"
#include "ui/grid/grid_ctrl.h"
#include "ui/lists/ip_address_ctrl.h"

namespace pontiq {
namespace {

const char* const kSsids[] = {"FieldNet",
                              "Link-5G",
                              "\xe5\x86\x9c\xe5\x9c\xba\xe4\xb8\x80\xe5\x8f\xb7",  // 农场一号
                              "backhaul-north-tower",
                              "relay",
                              "\xe4\xbb\x93\xe5\xba\x93"};  // 仓库

class BridgeSnapshot : public test::CommandDialogTest {
protected:
    void SetUp() override
    {
        const char* dir = std::getenv("PONTIQ_BRIDGE_SNAPSHOTS");
        if (!dir || !*dir) GTEST_SKIP() << "set PONTIQ_BRIDGE_SNAPSHOTS to a folder to get the pictures";
        folder_ = QString::fromLocal8Bit(dir);
        QDir().mkpath(folder_);
    }
    void TearDown() override
    {
        if (folder_.isEmpty()) return;
        page_.reset();
        CommandDialogTest::TearDown();
        SetTextTranslator(nullptr);
        test::ResetLanguage();
    }

    void Save(QWidget& w, const QString& name, const QString& suffix)
    {
        ASSERT_TRUE(w.grab().save(QDir(folder_).filePath(name + QStringLiteral("_") + suffix + ".png")));
    }

    void Shoot(uint32_t locale, const QString& suffix)
    {
        app_ = std::make_unique<CApplicationApp>();
        app_->LoadConfiguration(std::string(PONTIQ_SOURCE_DIR) + "/resources/", locale);
        const COperateCharacter& chars = app_->characters();
        SetTextTranslator([&chars](std::string_view key) { return chars.Utf8ToLocal(Translate(key)); });
        CommandDialogTest::SetUp();

        const uint16_t types[] = {14, 21, 10, 285, 4, 33, 272, 13};
        for (int i = 0; i < 8; ++i) {
            MacAddress mac = testing_engine::kMacA;
            mac[5] = static_cast<uint8_t>(0x10 + i);
            Device(mac, ("192.168.0." + std::to_string(20 + i)).c_str(), types[i]);
            // Names, modes and radios as a mixed site shows them.
            static const char* const kNames[] = {
                "Tower-North", "\xe5\xa1\x94\xe6\xa5\xbc\xe4\xb8\x80\xe5\x8f\xb7", "roof_a", "Silo 7"};
            ap_info_stu r{};
            ASSERT_TRUE(store_->GetDevice(r, testing_engine::Text(mac)));
            r.ap_name_len = SetFieldText(r.ap_name, kNames[i % std::size(kNames)]);
            r.work_mode = static_cast<uint8_t>(1 + i % 3);
            r.radio_block.channel = static_cast<uint8_t>(i % 2 ? 149 : 6);
            r.radio_block.security.secure_mode = static_cast<uint8_t>(i % 4);
            r.radio_block.security.ssid_len =
                SetFieldText(r.radio_block.security.ssid, kSsids[i % std::size(kSsids)]);
            ASSERT_TRUE(store_->SaveDevice(r));
        }
        engine_store::SetDeviceStatus(*store_, testing_engine::Text({0x00, 0x1b, 0x2c, 0x3d, 0x4e, 0x11}),
                                      STATUS_BRIDGE_SUCCESS);
        engine_store::SetDeviceStatus(*store_, testing_engine::Text({0x00, 0x1b, 0x2c, 0x3d, 0x4e, 0x12}),
                                      STATUS_BRIDGE_FAIL);
        page_ = std::make_unique<CBridgeDlg>(CBridgeDlg::Services{engine_.get(), store_.get()}, nullptr);
        page_->SetWizardRunner([](CBridgeDlg&, CBridgeConfigDlg&) {});
        page_->SetAutoRefreshHook([](int32_t) {});
        page_->resize(1100, 560);
        page_->show();
        page_->RefreshPage(1);
        Save(*page_, QStringLiteral("bridge_page"), suffix);

        // The wizard for the first device (type 14) while it scans, then with 40 access points.
        page_->OpenWizard(page_->FindRow(ListField::Mac, QStringLiteral("00:1b:2c:3d:4e:10")));
        CBridgeConfigDlg& wizard = *page_->Wizard();
        wizard.show();
        page_->SurveyWorker().Wait();
        Save(wizard, QStringLiteral("bridge_search_scanning"), suffix);
        std::vector<config_otherwl_basic> aps;
        for (int i = 0; i < 40; ++i) {
            config_otherwl_basic e{};
            const uint8_t mac[6] = {0x0e, 0x5a, 0x01, 0x00, 0x00, static_cast<uint8_t>(i + 1)};
            std::memcpy(e.mac, mac, 6);
            e.signal = static_cast<int8_t>(-35 - i * 57 / 40);
            e.channel = static_cast<uint8_t>(i % 3 == 0 ? 149 + 4 * (i % 4) : 1 + i % 11);
            e.secure_mode = static_cast<uint8_t>(i % 12);
            e.ssid_len =
                SetFieldText(e.ssid, std::string(kSsids[i % std::size(kSsids)]) + "-" + std::to_string(i));
            aps.push_back(e);
        }
        for (uint8_t p = 0; p < 2; ++p) {
            const auto entries = std::span(aps).subspan(p * 32u, p == 0 ? 32u : 8u);
            Receive(ReceiveQueue::Reply, "192.168.0.20",
                    *BuildSurveyPage(14, testing_engine::kMacA, 2, p, entries));
        }
        wizard.SearchPage()->OnTimer(kTimerSurveyWatch);
        test::ClickCell(*wizard.SearchPage()->Grid(), 4, bridge::kApColSelect);
        Save(wizard, QStringLiteral("bridge_search"), suffix);

        wizard.Next();
        wizard.SecurePage()->KeyEdit()->setText(QStringLiteral("bridge-key-2024"));
        Save(wizard, QStringLiteral("bridge_security"), suffix);
        QComboBox& modes = *wizard.SecurePage()->SecureModeList();
        modes.setCurrentIndex(modes.findData(bridge::kModeWep));
        wizard.SecurePage()->WepPage()->KeyEdit(0)->setText(QStringLiteral("abcde"));
        Save(wizard, QStringLiteral("bridge_security_wep"), suffix);
        modes.setCurrentIndex(modes.findData(bridge::kModeWpa2Psk));
        wizard.Next();
        wizard.IpPage()->Field(kIdcBridgeGateway)->SetText(QStringLiteral("192.168.0.1"));
        wizard.IpPage()->Field(kIdcBridgeDns1)->SetText(QStringLiteral("8.8.8.8"));
        wizard.IpPage()->Field(kIdcBridgeDns2)->SetText(QStringLiteral("8.8.4.4"));
        Save(wizard, QStringLiteral("bridge_ip"), suffix);
        wizard.Next();
        Save(wizard, QStringLiteral("bridge_finish"), suffix);
        wizard.CloseWizard();

        page_.reset();
        app_.reset();
    }

    QString folder_;
    std::unique_ptr<CApplicationApp> app_;
    std::unique_ptr<CBridgeDlg> page_;
};

TEST_F(BridgeSnapshot, English)
{
    Shoot(kLocaleEnglishUs, QStringLiteral("en"));
}

TEST_F(BridgeSnapshot, Chinese)
{
    Shoot(kLocaleChineseSimplified, QStringLiteral("zh"));
}

}  // namespace
}  // namespace pontiq
