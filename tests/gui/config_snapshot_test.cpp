// Pictures of the management page and of each tab of the configuration sheet, in English and
// Chinese, for a look by eye. Run only when asked: PONTIQ_CONFIG_SNAPSHOTS names the folder;
// PONTIQ_SNAPSHOT_SUFFIX is added to the file names (scripts/config_screenshots.sh runs it at
// 100 % and 200 %).
#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <cstdlib>

#include "app/application_app.h"
#include "app/language.h"
#include "store/value_format.h"
#include "tests/gui/config_test_support.h"
#include "tests/gui/shell_test_support.h"
#include "ui/config/management_dlg.h"
#include "ui/config/wireless_rules.h"

namespace pontiq {
namespace {

class ConfigSnapshot : public test::ConfigSheetTest {
protected:
    void SetUp() override
    {
        const char* dir = std::getenv("PONTIQ_CONFIG_SNAPSHOTS");
        if (!dir || !*dir) GTEST_SKIP() << "set PONTIQ_CONFIG_SNAPSHOTS to a folder to get the pictures";
        folder_ = QString::fromLocal8Bit(dir);
        const char* suffix = std::getenv("PONTIQ_SNAPSHOT_SUFFIX");
        suffix_ = suffix ? QString::fromLocal8Bit(suffix) : QString();
    }
    void TearDown() override
    {
        if (!folder_.isEmpty()) {
            ConfigSheetTest::TearDown();
            SetTextTranslator(nullptr);
            test::ResetLanguage();
        }
    }

    QString File(const QString& name, const QString& lang) const
    {
        return QDir(folder_).filePath(QStringLiteral("%1_%2%3.png").arg(name, lang, suffix_));
    }

    void Shoot(uint32_t locale, const QString& lang)
    {
        app_ = std::make_unique<CApplicationApp>();
        app_->LoadConfiguration(std::string(PONTIQ_SOURCE_DIR) + "/resources/", locale);
        const COperateCharacter& chars = app_->characters();
        SetTextTranslator([&chars](std::string_view key) { return chars.Utf8ToLocal(Translate(key)); });
        ConfigSheetTest::SetUp();

        const uint16_t types[] = {21, 10, 14, 1, 25, 33, 280, 4};
        const char* names[] = {"Tower-North", "\xe5\xa1\x94\xe6\xa5\xbc\xe4\xb8\x80\xe5\x8f\xb7", "roof_a",
                               "pump-station-long-name-x"};
        for (int i = 1; i <= 12; ++i) {
            ap_info_stu r = Device(i, types[i % std::size(types)]);
            r.ap_name_len = SetFieldText(r.ap_name, names[i % std::size(names)]);
            r.radio_block.tx_power = static_cast<uint8_t>(18 + i % 10);
            r.radio_block.security.secure_mode = static_cast<uint8_t>(i % 7);
            r.work_mode = static_cast<uint8_t>(1 + i % 3);
            ASSERT_TRUE(store_->SaveDevice(r));
        }
        {
            CManagementDlg page(CManagementDlg::Services{engine_.get(), store_.get()}, nullptr);
            page.SetShellHooks({[](int32_t) {}});
            page.resize(1100, 640);
            page.show();
            page.RefreshPage(1);
            ASSERT_TRUE(page.grab().save(File(QStringLiteral("management_page"), lang)));
        }

        // Group A shows every VLAN row; group D the trunk choice.
        ap_info_stu a = Device(1, 10);
        a.ap_name_len = SetFieldText(a.ap_name, "\xe5\xa1\x94\xe6\xa5\xbc\xe4\xb8\x80\xe5\x8f\xb7");
        // A radio as a working 5 GHz device reports it, so the lists and the power range are filled.
        RADIO_BLOCK& radio = a.radio_block;
        radio.rf_count = 1;
        radio.rf_en = 1;
        radio.rf_type = radio.ssid_rf_type = 1;
        radio.country_code = 1;
        radio.network_mode = 1;
        radio.bandwidth = 0;
        radio.channel = 36;
        radio.expand_channel = 2;
        radio.tx_power = 20;
        radio.tx_power_min = 1;
        radio.tx_power_max = 27;
        SECURITY_BLOCK& security = radio.security;
        security.ssid_len = SetFieldText(security.ssid, "FieldNet-5G");
        security.secure_mode = wireless::kSecureWpa2Psk;
        security.wpapsk_auth_type = wireless::kCipherAes;
        security.wpapsk_key_value_len = SetFieldText(security.wpapsk_key_value, "field-key-2024");
        security.wpapsk_key_time = 3600;
        security.ssid_count = 1;
        Open(a);
        for (int t = 0; t < 4; ++t) {
            static const char* const kTabs[] = {"wireless", "ip", "vlan_a", "reboot"};
            sheet->ShowTab(static_cast<ConfigTab>(t));
            ASSERT_TRUE(sheet->grab().save(File(QStringLiteral("sheet_%1").arg(kTabs[t]), lang)));
        }
        Open(Device(2, 20));
        sheet->ShowTab(ConfigTab::Vlan);
        ASSERT_TRUE(sheet->grab().save(File(QStringLiteral("sheet_vlan_d"), lang)));
        Open(Device(3, 33));  // VLAN and timed reboot disabled
        sheet->ShowTab(ConfigTab::Ip);
        ASSERT_TRUE(sheet->grab().save(File(QStringLiteral("sheet_type33"), lang)));
        sheet.reset();
        app_.reset();
    }

    QString folder_;
    QString suffix_;
    std::unique_ptr<CApplicationApp> app_;
};

TEST_F(ConfigSnapshot, English)
{
    Shoot(kLocaleEnglishUs, QStringLiteral("en"));
}

TEST_F(ConfigSnapshot, Chinese)
{
    Shoot(kLocaleChineseSimplified, QStringLiteral("zh"));
}

}  // namespace
}  // namespace pontiq
