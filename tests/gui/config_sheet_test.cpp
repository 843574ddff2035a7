#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/application_app.h"
#include "app/controls/control_id.h"
#include "app/controls/ct_button_picture.h"
#include "app/controls/ct_static.h"
#include "comm/protocol.h"
#include "tests/gui/config_test_support.h"

namespace pontiq {
namespace {

using test::ConfigSheetTest;
using test::WaitShown;
using testing_engine::Sent;

// ---- What a save sends ------------------------------------------------------------------------

TEST_F(ConfigSheetTest, NothingChangedSendsNothingAndShowsNoPopup)
{
    Open(Device(1));
    EXPECT_TRUE(Save());
    EXPECT_TRUE(Commands().empty());
    EXPECT_TRUE(waits.empty());
    EXPECT_TRUE(messages.requests.empty());
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
}

TEST_F(ConfigSheetTest, OnlyTheNameSendsOnlySetName)
{
    Open(Device(1));
    Name().setText(QStringLiteral("tower-7"));
    EXPECT_TRUE(Save());
    const std::vector<Sent> sent = Commands();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Type(), MSG_SET_NAME);
    EXPECT_EQ(sent[0].Mac(), CText(Device(1).mac));
    const testing_engine::Bytes payload = sent[0].Payload();
    ASSERT_EQ(payload.size(), 33u);
    EXPECT_EQ(std::string(payload.begin(), payload.begin() + 7), "tower-7");
    EXPECT_EQ(payload[32], 7);
    EXPECT_TRUE(waits.empty());
    EXPECT_EQ(pending.name_changed, 1);
    EXPECT_EQ(pending.ip_changed, 0);
}

TEST_F(ConfigSheetTest, WirelessAndIpSendWirelessFirstAndWait15SecondsWithRediscovery)
{
    Open(Device(1, 25));  // list W: the long wireless payload
    wireless = ChangeWireless;
    Address(kIdcIpTabIp).SetText(QStringLiteral("192.168.0.77"));
    EXPECT_TRUE(Save());
    const std::vector<Sent> sent = Commands();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].Type(), MSG_SET_WIRELESS);
    EXPECT_EQ(sent[0].Payload().size(), 344u);
    EXPECT_EQ(sent[1].Type(), MSG_SET_IP);
    const testing_engine::Bytes ip = sent[1].Payload();
    ASSERT_EQ(ip.size(), 22u);
    EXPECT_EQ(ip[0], 1);  // ip_mode
    EXPECT_EQ(testing_engine::Bytes(ip.begin() + 1, ip.begin() + 5),
              (testing_engine::Bytes{192, 168, 0, 77}));
    EXPECT_EQ(ip[21], 1);  // applied at once
    EXPECT_EQ(waits, (std::vector<WaitShown>{{15, true, 3}}));
}

TEST_F(ConfigSheetTest, VlanAndIpTogetherApplyWithTheVlanAndWait60Seconds)
{
    Open(Device(1, 14));  // group C, list V
    Address(kIdcIpTabIp).SetText(QStringLiteral("192.168.0.78"));
    Vlan().IdEdit(kIdcVlanManage)->setText(QStringLiteral("42"));
    EXPECT_TRUE(Save());
    const std::vector<Sent> sent = Commands();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].Type(), MSG_SET_VLAN);
    const testing_engine::Bytes vlan = sent[0].Payload();
    ASSERT_EQ(vlan.size(), 26u);
    EXPECT_EQ(vlan[2] | vlan[3] << 8, 42);
    EXPECT_EQ(vlan[8], 1);  // apply flag
    EXPECT_EQ(sent[1].Type(), MSG_SET_IP);
    EXPECT_EQ(sent[1].Payload()[21], 0);
    EXPECT_EQ(waits, (std::vector<WaitShown>{{60, false, 0}}));
}

TEST_F(ConfigSheetTest, VlanAloneKeepsApplyZeroAndReusesThe60SecondPopup)
{
    Open(Device(1, 1));  // outside list V: the 10-byte block only
    Vlan().EnableBox()->setChecked(false);
    EXPECT_TRUE(Save());
    const std::vector<Sent> sent = Commands();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Type(), MSG_SET_VLAN);
    ASSERT_EQ(sent[0].Payload().size(), 10u);
    EXPECT_EQ(sent[0].Payload()[0], 0);
    EXPECT_EQ(sent[0].Payload()[8], 0);
    EXPECT_EQ(waits, (std::vector<WaitShown>{{60, false, 0}}));
}

TEST_F(ConfigSheetTest, EveryBlockGoesOutInTheFixedOrder)
{
    Open(Device(1, 21));
    wireless = ChangeWireless;
    Name().setText(QStringLiteral("renamed"));
    Address(kIdcIpTabIp).SetText(QStringLiteral("192.168.0.79"));
    Vlan().IdEdit(kIdcVlanWlan)->setText(QStringLiteral("201"));
    Reboot().HourEdit()->setText(QStringLiteral("3"));
    EXPECT_TRUE(Save());
    EXPECT_EQ(Types(), (std::vector<uint16_t>{MSG_SET_NAME, MSG_SET_WIRELESS, MSG_SET_TIMED_REBOOT,
                                              MSG_SET_VLAN, MSG_SET_IP}));
}

TEST_F(ConfigSheetTest, TimedRebootSendsItsFourBytes)
{
    Open(Device(1));
    Reboot().HourEdit()->setText(QStringLiteral("23"));
    Reboot().MinuteEdit()->setText(QStringLiteral("59"));
    EXPECT_TRUE(Save());
    const std::vector<Sent> sent = Commands();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Type(), MSG_SET_TIMED_REBOOT);
    EXPECT_EQ(sent[0].Payload(), (testing_engine::Bytes{1, 34, 1439 & 0xff, 1439 >> 8}));
    EXPECT_TRUE(waits.empty());
}

// ---- Refusals -------------------------------------------------------------------------------

TEST_F(ConfigSheetTest, EveryRefusalShowsItsMessageSendsNothingAndKeepsTheSheetOpen)
{
    struct Case {
        const char* name;
        ConfigTab tab;
        std::function<void(ConfigSheetTest&)> edit;
        QString message;
        std::function<QWidget*(ConfigSheetTest&)> focus;  // null: no focus rule
    };
    const Case cases[] = {
        {"bad address", ConfigTab::Ip,
         [](ConfigSheetTest& t) { t.Address(kIdcIpTabIp).SetText("192.168.0.255"); },
         "The ip address is invalid!", nullptr},
        {"gateway elsewhere", ConfigTab::Ip,
         [](ConfigSheetTest& t) { t.Address(kIdcIpTabGateway).SetText("10.0.0.1"); },
         "Ip address and gateway address is not in the same subnet!", nullptr},
        {"address in use", ConfigTab::Ip,
         [](ConfigSheetTest& t) { t.Address(kIdcIpTabIp).SetText("192.168.0.12"); },
         "The ip address is already in use, please respecify!", nullptr},
        {"empty name", ConfigTab::Ip, [](ConfigSheetTest& t) { t.Name().clear(); },
         "The device name can not be empty!", [](ConfigSheetTest& t) -> QWidget* { return &t.Name(); }},
        {"name rule B", ConfigTab::Ip,
         [](ConfigSheetTest& t) { t.Name().setText(QString::fromUtf8("caf\xc3\xa9")); },
         "Device name maximum allowed 32 bytes, only support combination of Chinese, ASCII characters",
         [](ConfigSheetTest& t) -> QWidget* { return &t.Name(); }},
        {"vlan id 0", ConfigTab::Vlan,
         [](ConfigSheetTest& t) { t.Vlan().IdEdit(kIdcVlanManage)->setText("0"); }, "VLAN range:1-4094",
         [](ConfigSheetTest& t) -> QWidget* { return t.Vlan().IdEdit(kIdcVlanManage); }},
        {"empty pvid", ConfigTab::Vlan, [](ConfigSheetTest& t) { t.Vlan().IdEdit(kIdcVlanPvid)->clear(); },
         "PVID range:1-4094", [](ConfigSheetTest& t) -> QWidget* { return t.Vlan().IdEdit(kIdcVlanPvid); }},
        {"lan row by its label", ConfigTab::Vlan,
         [](ConfigSheetTest& t) { t.Vlan().IdEdit(kIdcVlanLan)->setText("4095"); }, "LAN2 range:1-4094",
         [](ConfigSheetTest& t) -> QWidget* { return t.Vlan().IdEdit(kIdcVlanLan); }},
        {"hour 24", ConfigTab::Reboot, [](ConfigSheetTest& t) { t.Reboot().HourEdit()->setText("24"); },
         "The time is error!", nullptr},
        {"no day", ConfigTab::Reboot,
         [](ConfigSheetTest& t) {
             for (int d = 0; d < 7; ++d) t.Reboot().DayBox(d)->setChecked(false);
         },
         "Please selectting the day that you want to reboot!", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Store(test::StoredDevice(2));  // 192.168.0.12 belongs to another device
        Open(Device(1, 20));           // group D: the LAN row reads "LAN2" for trunk LAN1
        wireless = ChangeWireless;     // a wireless change that must not go out either
        messages.requests.clear();
        waits.clear();
        c.edit(*this);
        EXPECT_FALSE(Save());
        ASSERT_EQ(messages.Texts(), std::vector<QString>{c.message});
        EXPECT_TRUE(Commands().empty());
        EXPECT_TRUE(waits.empty());
        EXPECT_EQ(sheet->result(), 0);  // still open: neither accepted nor rejected
        EXPECT_TRUE(sheet->isVisible());
        EXPECT_EQ(sheet->CurrentTab(), c.tab);  // the tab of the refused entry shows
        if (c.focus) {
            EXPECT_EQ(sheet->focusWidget(), c.focus(*this));
        }
        wireless = nullptr;
    }
}

TEST_F(ConfigSheetTest, UnchangedAddressesSkipEveryCheckAndOwnAddressIsNotInUse)
{
    ap_info_stu d = Device(1);
    const auto gw = IpToBytes("10.9.9.9");  // stored gateway outside the subnet: would fail its rule
    std::copy(gw.begin(), gw.end(), d.ip_block.ip_gateway);
    d.ip_block.ip_mode = 0;  // ip_mode is set to 1 on both sides before comparing
    Open(d);
    EXPECT_TRUE(Save());
    EXPECT_TRUE(messages.requests.empty());
    EXPECT_EQ(pending.ip_changed, 0);
    EXPECT_TRUE(Commands().empty());

    // Retyping the device's own address with another change is not "in use".
    Open(Device(1));
    Address(kIdcIpTabIp).SetText(QStringLiteral("192.168.0.11"));
    Address(kIdcIpTabDns1).SetText(QStringLiteral("8.8.8.8"));
    EXPECT_TRUE(Save());
    EXPECT_TRUE(messages.requests.empty());
    EXPECT_EQ(Types(), std::vector<uint16_t>{MSG_SET_IP});
}

TEST_F(ConfigSheetTest, CancelAndCloseSendNothing)
{
    for (const bool useClose : {false, true}) {
        Open(Device(1));
        Name().setText(QStringLiteral("never"));
        (useClose ? sheet->CloseButton() : sheet->CancelButton())->click();
        EXPECT_EQ(sheet->result(), QDialog::Rejected);
        sender->Wait();
        EXPECT_TRUE(Commands().empty());
        EXPECT_TRUE(waits.empty());
    }
}

// ---- The sender -----------------------------------------------------------------------------

TEST_F(ConfigSheetTest, ASaveWhileThePreviousSenderRunsEndsItAfterItsCurrentMessage)
{
    // The first save's sender stops inside its first send until the second save asks it to end.
    std::atomic<const std::atomic<bool>*> firstStop{nullptr};
    std::atomic<int> routines{0};
    std::mutex m;
    std::condition_variable cv;
    bool inFirstSend = false;
    sender->SetRoutine([&](const PendingConfiguration& p, const std::atomic<bool>& stop) {
        if (routines++ == 0) firstStop = &stop;
        SendConfiguration(*engine_, p, stop);
    });
    sender_->onSend = [&](const Sent& s) {
        const std::atomic<bool>* stop = firstStop.load();
        if (!stop || s.Type() != MSG_SET_NAME || s.Payload()[0] != 'f') return;
        {
            std::lock_guard lock(m);
            inFirstSend = true;
        }
        cv.notify_all();
        while (!stop->load()) std::this_thread::yield();
    };

    Open(Device(1));
    Name().setText(QStringLiteral("first"));
    Reboot().HourEdit()->setText(QStringLiteral("1"));  // would go out after the name
    ASSERT_TRUE(sheet->Save());
    {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return inFirstSend; });
    }
    EXPECT_TRUE(sender->IsRunning());
    const std::vector<Sent> first = Commands();  // the first save's message in flight
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].Type(), MSG_SET_NAME);

    Open(Device(1));
    Name().setText(QStringLiteral("second"));
    ASSERT_TRUE(Save());
    sender_->onSend = nullptr;

    // The first save's timed reboot was abandoned; the second save sent its name.
    const std::vector<Sent> sent = Commands();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Type(), MSG_SET_NAME);
    EXPECT_EQ(sent[0].Payload()[0], 's');
    EXPECT_EQ(routines.load(), 2);
    EXPECT_EQ(sender->CompletedCount(), 1);
}

// ---- The sheet ------------------------------------------------------------------------------

TEST_F(ConfigSheetTest, TabsDisabledByTypeCodeWhileEveryPageExists)
{
    struct Case {
        uint16_t type;
        bool vlan;
        bool reboot;
    };
    for (const Case& c : {Case{33, false, false}, Case{12, false, true}, Case{21, true, true}}) {
        SCOPED_TRACE(c.type);
        Open(Device(1, c.type));
        EXPECT_TRUE(sheet->TabButton(ConfigTab::Wireless)->isEnabled());
        EXPECT_TRUE(sheet->TabButton(ConfigTab::Ip)->isEnabled());
        EXPECT_EQ(sheet->TabButton(ConfigTab::Vlan)->isEnabled(), c.vlan);
        EXPECT_EQ(sheet->TabButton(ConfigTab::Reboot)->isEnabled(), c.reboot);
        for (int t = 0; t < 4; ++t) {
            QWidget* page = sheet->TabPage(static_cast<ConfigTab>(t));
            ASSERT_NE(page, nullptr);
            EXPECT_FALSE(page->isWindow()) << t;  // drawn inside the sheet
        }
    }
}

TEST_F(ConfigSheetTest, TabButtonsShowOnePageAndMarkTheSelectedButton)
{
    Open(Device(1));
    EXPECT_EQ(sheet->CurrentTab(), ConfigTab::Wireless);
    const QImage selected = QImage(QString::fromStdString(CurrentSkinPaths().wirelessBasic));
    for (int t : {1, 3, 2, 0}) {
        const auto tab = static_cast<ConfigTab>(t);
        sheet->TabButton(tab)->click();
        EXPECT_EQ(sheet->CurrentTab(), tab);
        for (int o = 0; o < 4; ++o) {
            const auto other = static_cast<ConfigTab>(o);
            EXPECT_EQ(sheet->TabPage(other)->isVisible(), o == t) << t << " " << o;
            if (!selected.isNull()) {
                const QImage shown = sheet->TabButton(other)->Image(CTButtonPicture::State::Normal).toImage();
                EXPECT_EQ(shown == selected.convertToFormat(shown.format()), o == t) << t << " " << o;
            }
        }
    }
    EXPECT_EQ(ControlId(sheet->TabButton(ConfigTab::Vlan)), kIdcConfigTabVlan);
    EXPECT_EQ(sheet->TabButton(ConfigTab::Reboot)->Caption(), QStringLiteral("TimeReboot"));
}

// ---- The VLAN tab ---------------------------------------------------------------------------

TEST_F(ConfigSheetTest, VlanTabRowsByModelGroup)
{
    struct Case {
        uint16_t type;
        bool pvid, trunk, lan, lan34;
        const char* lanLabel;
    };
    const Case cases[] = {
        {10, true, false, true, true, "LAN2"},    {11, true, false, true, false, "LAN"},
        {14, true, false, false, false, nullptr}, {20, true, true, true, false, "LAN2"},
        {21, true, false, true, false, "LAN"},    {1, false, false, false, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        Open(Device(1, c.type));
        sheet->ShowTab(ConfigTab::Vlan);
        CVlanDlg& v = Vlan();
        EXPECT_EQ(v.IdEdit(kIdcVlanPvid)->isVisible(), c.pvid);
        EXPECT_EQ(v.TrunkRadio(kIdcVlanTrunkLan1)->isVisible(), c.trunk);
        EXPECT_EQ(v.IdEdit(kIdcVlanLan)->isVisible(), c.lan);
        EXPECT_EQ(v.IdEdit(kIdcVlanLan3)->isVisible(), c.lan34);
        EXPECT_EQ(v.IdEdit(kIdcVlanLan4)->isVisible(), c.lan34);
        EXPECT_TRUE(v.IdEdit(kIdcVlanManage)->isVisible());
        if (c.lanLabel) {
            EXPECT_EQ(v.LanLabel()->text(), QString::fromLatin1(c.lanLabel));
        }
    }
}

TEST_F(ConfigSheetTest, VlanTrunkChoiceRelabelsTheLanRowFromTheStoredRecord)
{
    Open(Device(1, 20));
    CVlanDlg& v = Vlan();
    EXPECT_TRUE(v.TrunkRadio(kIdcVlanTrunkLan1)->isChecked());
    EXPECT_EQ(v.IdEdit(kIdcVlanLan)->text(), QStringLiteral("302"));  // vlan_id_lan2
    v.IdEdit(kIdcVlanLan)->setText(QStringLiteral("9"));
    v.TrunkRadio(kIdcVlanTrunkLan2)->click();
    EXPECT_EQ(v.LanLabel()->text(), QStringLiteral("LAN1"));
    EXPECT_EQ(v.IdEdit(kIdcVlanLan)->text(), QStringLiteral("100"));  // stored, not typed
    v.TrunkRadio(kIdcVlanTrunkLan1)->click();
    EXPECT_EQ(v.LanLabel()->text(), QStringLiteral("LAN2"));
    EXPECT_EQ(v.IdEdit(kIdcVlanLan)->text(), QStringLiteral("302"));
}

TEST_F(ConfigSheetTest, VlanCheckBoxEnablesTheEditsAndTheReadOnlyCaseLocksEverything)
{
    Open(Device(1, 20));
    CVlanDlg& v = Vlan();
    EXPECT_TRUE(v.IdEdit(kIdcVlanManage)->isEnabled());
    v.EnableBox()->click();
    for (int id : {kIdcVlanManage, kIdcVlanWlan, kIdcVlanPvid, kIdcVlanLan})
        EXPECT_FALSE(v.IdEdit(id)->isEnabled());
    EXPECT_FALSE(v.TrunkRadio(kIdcVlanTrunkLan2)->isEnabled());
    v.EnableBox()->click();
    EXPECT_TRUE(v.TrunkRadio(kIdcVlanTrunkLan2)->isEnabled());

    ap_info_stu bridged = Device(1, 10);
    bridged.work_mode = 2;
    Open(bridged);
    EXPECT_TRUE(Vlan().ReadOnly());
    EXPECT_FALSE(Vlan().EnableBox()->isEnabled());
    EXPECT_FALSE(Vlan().IdEdit(kIdcVlanManage)->isEnabled());
    EXPECT_EQ(Vlan().IdEdit(kIdcVlanManage)->text(), QStringLiteral("100"));  // still shows its values
    EXPECT_TRUE(Save());
    EXPECT_TRUE(Commands().empty());
}

// ---- The timed reboot tab -------------------------------------------------------------------

TEST_F(ConfigSheetTest, RebootTabOpensFromTheStoredBlock)
{
    ap_info_stu d = Device(1);
    d.reboot_block.restart_type = 254;
    d.reboot_block.restart_time = 1500;
    Open(d);
    CTimeRebootDlg& r = Reboot();
    EXPECT_TRUE(r.EverydayBox()->isChecked());
    for (int i = 0; i < 7; ++i) {
        EXPECT_TRUE(r.DayBox(i)->isChecked());
        EXPECT_TRUE(r.DayBox(i)->isEnabled());  // still usable while Enable is checked
    }
    EXPECT_EQ(r.HourEdit()->text(), QStringLiteral("25"));
    EXPECT_EQ(r.MinuteEdit()->text(), QStringLiteral("0"));
    EXPECT_FALSE(Save());  // refused until the hour is corrected
    EXPECT_EQ(messages.Texts(), std::vector<QString>{QStringLiteral("The time is error!")});

    d.reboot_block.restart_en = 0;
    d.reboot_block.restart_type = 34;
    d.reboot_block.restart_time = 425;
    Open(d);
    EXPECT_FALSE(Reboot().HourEdit()->isEnabled());
    EXPECT_FALSE(Reboot().DayBox(0)->isEnabled());
    EXPECT_FALSE(Reboot().EverydayBox()->isEnabled());
    EXPECT_TRUE(Reboot().DayBox(0)->isChecked());
    EXPECT_TRUE(Reboot().DayBox(4)->isChecked());
    EXPECT_EQ(Reboot().HourEdit()->text(), QStringLiteral("7"));
}

TEST_F(ConfigSheetTest, RebootEverydayAndEnableBoxes)
{
    Open(Device(1));
    CTimeRebootDlg& r = Reboot();
    r.EverydayBox()->click();
    for (int i = 0; i < 7; ++i) {
        EXPECT_TRUE(r.DayBox(i)->isChecked());
        EXPECT_FALSE(r.DayBox(i)->isEnabled());
    }
    r.EverydayBox()->click();
    for (int i = 0; i < 7; ++i) {
        EXPECT_FALSE(r.DayBox(i)->isChecked());
        EXPECT_TRUE(r.DayBox(i)->isEnabled());
    }
    EXPECT_FALSE(Save());
    EXPECT_EQ(messages.Texts(),
              std::vector<QString>{QStringLiteral("Please selectting the day that you want to reboot!")});

    messages.requests.clear();
    r.EverydayBox()->click();
    EXPECT_TRUE(Save());
    const std::vector<Sent> sent = Commands();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Payload()[1], 254);

    Open(Device(1));
    Reboot().EnableBox()->click();
    EXPECT_FALSE(Reboot().HourEdit()->isEnabled());
    EXPECT_FALSE(Reboot().DayBox(2)->isEnabled());
    Reboot().HourEdit()->setText(QString());  // no validation while off
    EXPECT_TRUE(Save());
    const std::vector<Sent> off = Commands();
    ASSERT_EQ(off.size(), 1u);
    EXPECT_EQ(off[0].Payload(), (testing_engine::Bytes{0, 34, 425 & 0xff, 425 >> 8}));
}

}  // namespace
}  // namespace pontiq
