// The wireless page of the configuration sheet against device records alone: the lists it
// offers, the fields per security mode, Collect's refusals and the blocks it builds, and that a
// page saved without an edit sends nothing for every record of the simulator's varied set.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <cstring>

#include "app/application_app.h"
#include "app/controls/control_id.h"
#include "app/controls/message_box.h"
#include "app/language.h"
#include "comm/operate_character.h"
#include "comm/protocol.h"
#include "tests/gui/ipset_test_support.h"
#include "tests/gui/shell_test_support.h"
#include "tools/devicesim/sim_devices.h"
#include "ui/config/wep_dlg.h"
#include "ui/config/wireless_set_dlg.h"
#include "ui/config/wpa_dlg.h"
#include "ui/lists/ip_address_ctrl.h"

namespace pontiq {
namespace {

namespace wl = wireless;

// A 2.4 GHz device of type 1 in the United States, WPA2-PSK.
ap_info_stu Record(uint16_t type = 1, uint8_t rfType = 0)
{
    ap_info_stu r{};
    SetCText(r.mac, "00:11:22:33:44:55");
    r.ap_type = type;
    RADIO_BLOCK& b = r.radio_block;
    b.rf_count = 1;
    b.rf_en = 1;
    b.rf_type = rfType;
    b.ssid_rf_type = rfType;
    b.country_code = 1;  // US
    b.network_mode = rfType == 0 ? 4 : 1;
    b.bandwidth = rfType == 0 ? 1 : 0;
    b.channel = rfType == 0 ? 6 : 36;
    b.expand_channel = rfType == 0 ? 1 : 2;
    b.tx_power = 20;
    b.tx_power_min = 1;
    b.tx_power_max = 27;
    SECURITY_BLOCK& s = b.security;
    s.ssid_len = SetFieldText(s.ssid, "Net-1");
    s.secure_mode = wl::kSecureWpa2Psk;
    s.wpapsk_auth_type = wl::kCipherTkipAes;
    s.wpapsk_key_value_len = SetFieldText(s.wpapsk_key_value, "password1");
    s.wpapsk_key_time = 3600;
    s.wep_key_index = 0;
    s.wep_key[0].len = SetFieldText(s.wep_key[0].value, "abcde");
    s.wpa_radius_ip[0] = 10, s.wpa_radius_ip[3] = 3;
    s.wpa_radius_port = 1812;
    s.wpa_key_len = SetFieldText(s.wpa_key, "secret");
    s.wpa_key_time = 7200;
    s.ssid_count = 1;
    return r;
}

std::vector<int> ItemValues(const QComboBox* combo)
{
    std::vector<int> v;
    for (int i = 0; i < combo->count(); ++i) v.push_back(combo->itemData(i).toInt());
    return v;
}

QStringList ItemTexts(const QComboBox* combo)
{
    QStringList t;
    for (int i = 0; i < combo->count(); ++i) t << combo->itemText(i);
    return t;
}

void Choose(QComboBox* combo, int value)
{
    const int i = combo->findData(value);
    ASSERT_GE(i, 0) << "no item " << value;
    combo->setCurrentIndex(i);
}

class WirelessPageTest : public testing::Test {
public:
    void SetUp() override
    {
        test::ResetLanguage();
        previous_ = SetMessagePresenter([this](const MessageRequest& r) {
            messages.push_back(r);
            return MessageResult::Ok;
        });
    }
    void TearDown() override { SetMessagePresenter(previous_); }

    // Collect into a fresh pending configuration; returns it when Collect accepted.
    std::optional<PendingConfiguration> Collect(CWirelessSetDlg& page)
    {
        PendingConfiguration pending;
        if (!page.Collect(pending)) return std::nullopt;
        return pending;
    }

    std::vector<MessageRequest> messages;

private:
    MessagePresenter previous_;
};

TEST_F(WirelessPageTest, LoadsTheRecordIntoItsControls)
{
    ap_info_stu r = Record();
    r.radio_block.security.ssid_hide = 1;
    r.extension_block.wl_dfs = 1;
    CWirelessSetDlg page(r);
    EXPECT_EQ(page.Ssid()->text(), QStringLiteral("Net-1"));
    EXPECT_TRUE(page.SsidHide()->isChecked());
    EXPECT_TRUE(page.Dfs()->isChecked());
    EXPECT_EQ(page.NetworkMode()->currentData().toInt(), 4);
    EXPECT_EQ(ItemValues(page.Bandwidth()), (std::vector<int>{2, 0, 1}));
    EXPECT_EQ(page.Bandwidth()->currentData().toInt(), 1);
    EXPECT_EQ(page.Power()->text(), QStringLiteral("20"));
    auto* range = FindControl(&page, kIdcWlPowerRange);
    ASSERT_NE(range, nullptr);
    EXPECT_EQ(range->property("text").toString(), QStringLiteral("(1-27)"));
    EXPECT_EQ(page.Country()->count(), 42);
    EXPECT_EQ(page.Country()->currentText(), QStringLiteral("United States"));
    EXPECT_EQ(page.Channel()->itemText(0), QStringLiteral("Auto"));
    EXPECT_EQ(ItemValues(page.Channel()), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(page.Channel()->currentData().toInt(), 6);
    EXPECT_TRUE(page.ExpandChannel()->isEnabled());
    EXPECT_EQ(ItemTexts(page.ExpandChannel()), (QStringList{"2", "10"}));
    EXPECT_EQ(page.ExpandChannel()->currentData().toInt(), 1);
    EXPECT_EQ(page.SecureMode()->currentData().toInt(), wl::kSecureWpa2Psk);
    EXPECT_TRUE(page.Cipher(wl::kCipherTkipAes)->isChecked());
    EXPECT_EQ(page.Key()->text(), QStringLiteral("password1"));
    EXPECT_EQ(page.KeyTime()->text(), QStringLiteral("3600"));
    EXPECT_FALSE(page.WepPage()->isWindow());
    EXPECT_FALSE(page.WpaPage()->isWindow());
    EXPECT_EQ(page.WepPage()->Key(0)->text(), QStringLiteral("abcde"));
    EXPECT_EQ(page.WpaPage()->RadiusServer()->Text(), QStringLiteral("10.0.0.3"));
    EXPECT_EQ(page.WpaPage()->RadiusPort()->text(), QStringLiteral("1812"));

    // The ids of the layout are on the controls.
    for (int id : {kIdcWlSsid, kIdcWlSsidHide, kIdcWlDfs, kIdcWlNetMode, kIdcWlBandwidth, kIdcWlPower,
                   kIdcWlCountry, kIdcWlChannel, kIdcWlExpandChannel, kIdcWlSecureMode, kIdcWlAes, kIdcWlTkip,
                   kIdcWlTkipAes, kIdcWlKey, kIdcWlKeyTime, kIdcWlAutoTypeLabel, kIdcWlTkipAesLabel}) {
        EXPECT_NE(FindControl(&page, id), nullptr) << id;
    }
    EXPECT_EQ(FindControl(&page, kIdcWlTkipAesLabel)->property("text").toString(),
              QStringLiteral("TKIP&AES"));
}

TEST_F(WirelessPageTest, ChangesRebuildTheDependentLists)
{
    CWirelessSetDlg page(Record());
    // 11b: only 20 MHz, so no expand channel.
    Choose(page.NetworkMode(), 1);
    EXPECT_EQ(ItemValues(page.Bandwidth()), (std::vector<int>{0}));
    EXPECT_FALSE(page.ExpandChannel()->isEnabled());
    EXPECT_EQ(page.ExpandChannel()->count(), 0);
    // Back to 11b/g/n: the record's 40 MHz is selected again, and with it the expand channel.
    Choose(page.NetworkMode(), 4);
    EXPECT_EQ(page.Bandwidth()->currentData().toInt(), 1);
    EXPECT_TRUE(page.ExpandChannel()->isEnabled());
    // Channel 9 of the US list is among its top four: only 5 below it.
    Choose(page.Channel(), 9);
    EXPECT_EQ(ItemTexts(page.ExpandChannel()), (QStringList{"5"}));
    Choose(page.Channel(), 0);
    EXPECT_FALSE(page.ExpandChannel()->isEnabled());
    // China on 2.4 GHz: 0..13.
    page.Country()->setCurrentIndex(4);
    EXPECT_EQ(page.Channel()->count(), 14);
}

TEST_F(WirelessPageTest, DfsBoxOpensTheDfsChannelsForDfsTypes)
{
    ap_info_stu r = Record(14, 1);   // list W, DFS type, 5 GHz
    r.radio_block.country_code = 5;  // FR: region group 0
    CWirelessSetDlg page(r);
    EXPECT_EQ(ItemValues(page.Channel()), (std::vector<int>{0, 36, 40, 44, 48}));
    page.Dfs()->setChecked(true);
    EXPECT_EQ(ItemValues(page.Channel()),
              (std::vector<int>{0, 36, 40, 44, 48, 100, 104, 108, 112, 116, 132, 136, 140}));
    EXPECT_FALSE(page.ExpandChannel()->isEnabled());  // 5 GHz
    // The DFS box alone is a change for a device of list W; the extension carries it.
    const auto pending = Collect(page);
    ASSERT_TRUE(pending);
    EXPECT_EQ(pending->wireless_changed, 1);
    EXPECT_EQ(pending->radio_extension[12], 1);
    EXPECT_EQ(std::memcmp(&pending->radio_block, &r.radio_block, sizeof(RADIO_BLOCK)), 0);
}

TEST_F(WirelessPageTest, SecurityModeShowsItsFields)
{
    CWirelessSetDlg page(Record());
    page.show();
    struct Case {
        int mode;
        bool psk, wep, wpa;
    };
    for (const Case c :
         {Case{0, false, false, false}, Case{1, false, true, false}, Case{3, true, false, false},
          Case{5, false, false, true}, Case{6, false, false, true}}) {
        Choose(page.SecureMode(), c.mode);
        EXPECT_EQ(page.Key()->isVisible(), c.psk) << c.mode;
        EXPECT_EQ(page.WepPage()->isVisible(), c.wep) << c.mode;
        EXPECT_EQ(page.WpaPage()->isVisible(), c.wpa) << c.mode;
    }
    // WPA-PSK has no TKIP&AES: the checked radio moves to AES.
    Choose(page.SecureMode(), 3);
    page.Cipher(wl::kCipherTkipAes)->setChecked(true);
    Choose(page.SecureMode(), 2);
    EXPECT_FALSE(page.Cipher(wl::kCipherTkipAes)->isEnabled());
    EXPECT_FALSE(page.Cipher(wl::kCipherTkipAes)->isChecked());
    EXPECT_TRUE(page.Cipher(wl::kCipherAes)->isChecked());

    // Type 33: no WEP / WPA items, and TKIP, TKIP&AES and the key time disabled.
    CWirelessSetDlg page33(Record(33));
    EXPECT_EQ(ItemValues(page33.SecureMode()), (std::vector<int>{0, 2, 3, 4}));
    EXPECT_FALSE(page33.Cipher(wl::kCipherTkip)->isEnabled());
    EXPECT_FALSE(page33.KeyTime()->isEnabled());
    EXPECT_TRUE(page33.Key()->isEnabled());
}

TEST_F(WirelessPageTest, RefusalsShowTheirMessageFocusTheEntryAndFillNothing)
{
    struct Case {
        const char* what;
        void (*spoil)(CWirelessSetDlg&);
        QString message;
        QWidget* (*field)(CWirelessSetDlg&);
    };
    const Case cases[] = {
        {"empty ssid", [](CWirelessSetDlg& p) { p.Ssid()->clear(); }, "The ssid can not be empty!",
         [](CWirelessSetDlg& p) -> QWidget* { return p.Ssid(); }},
        {"power out of range", [](CWirelessSetDlg& p) { p.Power()->setText("28"); }, "Power value range:1-27",
         [](CWirelessSetDlg& p) -> QWidget* { return p.Power(); }},
        {"short psk key", [](CWirelessSetDlg& p) { p.Key()->setText("short"); },
         "Please enter a key for 8~63 ASCII characters or 8~64 HEX characters!",
         [](CWirelessSetDlg& p) -> QWidget* { return p.Key(); }},
        {"key interval 59", [](CWirelessSetDlg& p) { p.KeyTime()->setText("59"); },
         "The key update interval range: 60~99999 or 0!",
         [](CWirelessSetDlg& p) -> QWidget* { return p.KeyTime(); }},
        {"wep default key empty",
         [](CWirelessSetDlg& p) {
             Choose(p.SecureMode(), 1);
             p.WepPage()->DefaultKey()->setCurrentIndex(2);
         },
         "Please enter the WEP key3!", [](CWirelessSetDlg& p) -> QWidget* { return p.WepPage()->Key(2); }},
        {"wep hex key",
         [](CWirelessSetDlg& p) {
             Choose(p.SecureMode(), 1);
             p.WepPage()->KeyType(1)->setCurrentIndex(1);
             p.WepPage()->Key(1)->setText("abcdefghij");
         },
         "WEP key is invalid! Please enter 10 or 26 HEX characters!",
         [](CWirelessSetDlg& p) -> QWidget* { return p.WepPage()->Key(1); }},
        {"radius port",
         [](CWirelessSetDlg& p) {
             Choose(p.SecureMode(), 6);
             p.WpaPage()->RadiusPort()->clear();
         },
         "Please specify a valid RADIUS Port!",
         [](CWirelessSetDlg& p) -> QWidget* { return p.WpaPage()->RadiusPort(); }},
    };
    for (const Case& c : cases) {
        CWirelessSetDlg page(Record());
        page.show();
        c.spoil(page);
        messages.clear();
        PendingConfiguration pending;
        EXPECT_FALSE(page.Collect(pending)) << c.what;
        ASSERT_EQ(messages.size(), 1u) << c.what;
        EXPECT_EQ(messages[0].text, c.message) << c.what;
        EXPECT_EQ(messages[0].icon, MessageIcon::Warning);
        EXPECT_EQ(pending.wireless_changed, 0) << c.what;
        EXPECT_EQ(page.focusWidget(), c.field(page)) << c.what;
    }
}

TEST_F(WirelessPageTest, MessagesAreTranslatedAndThePowerLimitsFilledAfterwards)
{
    test::ProgramFolder folder;
    // A translation with a stray format field must not be read as a format.
    folder.WriteLanguage(kLocaleChineseSimplified, "Chinese",
                         "power value range:%d-%d=\xe5\x8a\x9f\xe7\x8e\x87 %d-%d %s\n"
                         "united states=\xe7\xbe\x8e\xe5\x9b\xbd\n");
    folder.UseLanguage(kLocaleChineseSimplified);
    CWirelessSetDlg page(Record());
    EXPECT_EQ(page.Country()->currentText(), QString::fromUtf8("\xe7\xbe\x8e\xe5\x9b\xbd"));
    page.Power()->setText("0");
    PendingConfiguration pending;
    EXPECT_FALSE(page.Collect(pending));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QString::fromUtf8("\xe5\x8a\x9f\xe7\x8e\x87 1-27 %s"));
    test::ResetLanguage();
}

TEST_F(WirelessPageTest, SaveBuildsTheChangedBlock)
{
    const ap_info_stu r = Record(25);  // list W
    CWirelessSetDlg page(r);
    page.Ssid()->setText(QString::fromUtf8("\xe6\x97\xa0\xe7\xba\xbf-5G"));  // "无线-5G"
    Choose(page.Channel(), 11);
    Choose(page.SecureMode(), 5);
    page.WpaPage()->AuthType()->setCurrentIndex(2);
    page.WpaPage()->RadiusServer()->SetText("192.168.5.9");
    page.WpaPage()->RadiusPort()->setText("1645");
    page.WpaPage()->RadiusKey()->setText("radius-key");
    page.WpaPage()->RadiusKeyTime()->setText("0");
    page.SsidHide()->setChecked(true);
    const auto pending = Collect(page);
    ASSERT_TRUE(pending);
    EXPECT_EQ(pending->wireless_changed, 1);
    const RADIO_BLOCK& b = pending->radio_block;
    EXPECT_EQ(b.channel, 11);
    EXPECT_EQ(b.expand_channel, 0);  // 11 is among the top four: 7, below it
    const SECURITY_BLOCK& s = b.security;
    EXPECT_EQ(FieldText(s.ssid, s.ssid_len), "\xe6\x97\xa0\xe7\xba\xbf-5G");
    EXPECT_EQ(s.ssid_hide, 1);
    EXPECT_EQ(s.secure_mode, wl::kSecureWpa);
    EXPECT_EQ(s.wpa_auth_type, 2);
    EXPECT_EQ(std::vector<int>(s.wpa_radius_ip, s.wpa_radius_ip + 4), (std::vector<int>{192, 168, 5, 9}));
    EXPECT_EQ(s.wpa_radius_port, 1645);
    EXPECT_EQ(FieldText(s.wpa_key, s.wpa_key_len), "radius-key");
    EXPECT_EQ(s.wpa_key_time, 0u);
    EXPECT_EQ(pending->radio_extension[12], r.extension_block.wl_dfs);
    // The payload the engine makes of it for list W.
    EXPECT_EQ(WirelessPayload(25, b, DecodeLayout<RADIO_EXTENSION>(pending->radio_extension)).size(), 344u);
    EXPECT_EQ(WirelessPayload(1, b, DecodeLayout<RADIO_EXTENSION>(pending->radio_extension)).size(), 328u);
}

// The record as the PC holds it after the engine described the device: texts in local text.
ap_info_stu AsStored(ap_info_stu r)
{
    static const COperateCharacter chars;
    SECURITY_BLOCK& s = r.radio_block.security;
    s.ssid_len =
        SetFieldText(s.ssid, chars.DeviceTextToLocal(std::string_view(s.ssid, sizeof s.ssid), s.ssid_len));
    return r;
}

// Opening the page and saving it untouched sends nothing for any device of the simulator's
// varied set, whatever values its record holds that the lists do not offer.
TEST_F(WirelessPageTest, UntouchedPageIsNoChangeForEverySimulatedDevice)
{
    sim::SimOptions options;
    options.count = 400;
    options.seed = 7;
    int wrongValues = 0;
    for (const sim::DeviceSpec& d : sim::MakeDevices(options)) {
        const ap_info_stu r = AsStored(d.record);
        CWirelessSetDlg page(r);
        const auto pending = Collect(page);
        ASSERT_TRUE(pending) << ModelName(r.ap_type) << " refused: "
                             << (messages.empty() ? std::string() : messages.back().text.toStdString());
        EXPECT_EQ(pending->wireless_changed, 0) << "type " << r.ap_type;
        // Without the untouched rule these records would be rewritten by a Save.
        if (wl::IsWirelessChanged(r, pending->radio_block,
                                  DecodeLayout<RADIO_EXTENSION>(pending->radio_extension)))
            ++wrongValues;
    }
    EXPECT_GT(wrongValues, 0) << "the varied set should hold values the lists do not offer";

    // One edit, and the flag follows the blocks again.
    sim::SimOptions one;
    one.count = 1;
    const ap_info_stu r = AsStored(sim::MakeDevices(one)[0].record);
    CWirelessSetDlg page(r);
    page.Ssid()->setText("renamed");
    const auto pending = Collect(page);
    ASSERT_TRUE(pending);
    EXPECT_EQ(pending->wireless_changed, 1);
}

TEST(WirelessPageLook, RendersInEnglishAndChinese)
{
    const QString folder = test::GrabFolder();
    struct Lang {
        uint32_t locale;
        const char* suffix;
    };
    for (const Lang lang : {Lang{kLocaleEnglishUs, "en"}, Lang{kLocaleChineseSimplified, "zh"}}) {
        CApplicationApp app;
        app.LoadConfiguration(test::ResourceDir(), lang.locale);
        struct Shot {
            const char* name;
            int mode;
        };
        for (const Shot shot : {Shot{"psk", 3}, Shot{"wep", 1}, Shot{"wpa", 6}}) {
            CWirelessSetDlg page(Record(25));
            Choose(page.SecureMode(), shot.mode);
            page.show();
            const QPixmap pixmap = page.grab();
            EXPECT_FALSE(pixmap.isNull());
            if (!folder.isEmpty()) {
                pixmap.save(folder + QStringLiteral("/wireless_%1_%2.png")
                                         .arg(QLatin1String(shot.name), QLatin1String(lang.suffix)));
            }
        }
    }
    test::ResetLanguage();
}

}  // namespace
}  // namespace pontiq
