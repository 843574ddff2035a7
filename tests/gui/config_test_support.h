// The configuration sheet and the management page on a test engine (recording datagram sender,
// invented adapter 192.168.0.10/24) and a store in a temporary folder. Message boxes and wait
// popups are recorded instead of shown.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <memory>
#include <vector>

#include "tests/gui/status_test_support.h"
#include "ui/config/config_sender.h"
#include "ui/config/ip_set_dlg.h"
#include "ui/config/management_config_dlg.h"
#include "ui/config/time_reboot_dlg.h"
#include "ui/config/vlan_dlg.h"
#include "ui/lists/ip_address_ctrl.h"

namespace pontiq::test {

struct WaitShown {
    int seconds;
    bool rediscovery;
    int passes;
    friend bool operator==(const WaitShown&, const WaitShown&) = default;
};

class ConfigSheetTest : public testing_engine::EngineTest {
public:
    void SetUp() override
    {
        EngineTest::SetUp();
        sender = std::make_unique<CConfigSender>(engine_.get());
    }

    void TearDown() override
    {
        sheet.reset();
        sender.reset();  // ends its routine while the engine is still there
        EngineTest::TearDown();
    }

    // A device of type `type` at 192.168.0.(10 + i), stored and opened in a sheet.
    ap_info_stu Device(int i, uint16_t type = 21)
    {
        ap_info_stu r = StoredDevice(i, type);
        const auto gw = IpToBytes("192.168.0.1");
        std::copy(gw.begin(), gw.end(), r.ip_block.ip_gateway);
        r.vlan_block.vlan_en = 1;
        r.vlan_block.vlan_id = 100;
        r.vlan_block.vlan_id_wlan = 200;
        r.vlan_block.vlan_id_lan = 100;  // as trunk LAN1 leaves it: Manage VLAN
        r.extension_block.vlan_pvid = 5;
        r.extension_block.vlan_id_lan3 = 303;
        r.extension_block.vlan_id_lan4 = 304;
        r.extension_block.vlan_id_lan2 = 302;
        r.extension_block.trunk_port = 49;  // trunk LAN1 as the tab sends it
        r.reboot_block.restart_en = 1;
        r.reboot_block.restart_type = 34;
        r.reboot_block.restart_time = 425;
        return r;
    }

    void Store(const ap_info_stu& record) { ASSERT_TRUE(store_->SaveDevice(record)); }

    void Open(const ap_info_stu& record)
    {
        EXPECT_TRUE(store_->SaveDevice(record));
        sheet.reset();
        SetCText(pending.target_ip, IpText(std::span<const uint8_t, 4>(record.ip_block.ip)));
        SetCText(pending.target_mac, CText(record.mac));
        pending.type_code = record.ap_type;
        sheet = std::make_unique<CManagementConfigDlg>(record, pending, *sender, nullptr);
        CManagementConfigDlg::Hooks hooks;
        hooks.wirelessCollect = [this](PendingConfiguration& p) {
            if (!wireless) return true;
            return wireless(p);
        };
        hooks.showWait = [this](int seconds, bool rediscovery, int passes) {
            waits.push_back({seconds, rediscovery, passes});
        };
        sheet->SetHooks(hooks);
        sheet->IpPage()->SetIpLookup(
            [this](std::vector<std::string>& ips) { return store_->GetAllIps(ips); });
        sheet->show();
        QApplication::setActiveWindow(sheet.get());  // focus goes only to an active window
        sender_->Take();
    }

    // Save, wait for the sender, and the commands it sent (multicast datagrams).
    bool Save()
    {
        const bool saved = sheet->Save();
        sender->Wait();
        return saved;
    }
    std::vector<testing_engine::Sent> Commands()
    {
        std::vector<testing_engine::Sent> out;
        for (testing_engine::Sent& s : sender_->Take()) {
            if (s.kind == testing_engine::Sent::Multicast) out.push_back(std::move(s));
        }
        return out;
    }
    std::vector<uint16_t> Types()
    {
        std::vector<uint16_t> types;
        for (const testing_engine::Sent& s : Commands()) types.push_back(s.Type());
        return types;
    }

    CIpAddressCtrl& Address(int id) { return *sheet->IpPage()->AddressControl(id); }
    QLineEdit& Name() { return *sheet->IpPage()->NameEdit(); }
    CVlanDlg& Vlan() { return *sheet->VlanPage(); }
    CTimeRebootDlg& Reboot() { return *sheet->RebootPage(); }

    // A wireless collect that marks the radio block as changed.
    static bool ChangeWireless(PendingConfiguration& p)
    {
        p.wireless_changed = 1;
        p.radio_block.channel = 149;
        return true;
    }

    std::unique_ptr<CConfigSender> sender;
    std::unique_ptr<CManagementConfigDlg> sheet;
    PendingConfiguration pending;
    std::function<bool(PendingConfiguration&)> wireless;
    std::vector<WaitShown> waits;
    MessageRecorder messages;
};

}  // namespace pontiq::test
