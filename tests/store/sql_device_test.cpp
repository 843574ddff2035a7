// Single-device operations: save and read back, status changes, bridge peers, deletion.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/store/sql_test_support.h"

namespace pontiq::test {
namespace {

class SqlDevice : public ::testing::Test {
protected:
    TempDir dir;
    CSqlManagement store{dir.path()};
};

// Every stored field gets a distinct non-zero value; so do the bytes the store never keeps.
ap_info_stu FullDevice()
{
    ap_info_stu r;
    std::memset(&r, 0x5a, sizeof(r));
    SetCText(r.mac, "a0:b1:c2:d3:e4:f5");
    r.ap_type = 261;
    r.ap_status = 10;
    r.work_mode = 3;
    r.mode_btn_status = 2;
    r.up_time = 3000000000u;  // above 2^31
    IP_BLOCK& ip = r.ip_block;
    ip.ip_mode = 1;
    SetIp(ip.ip, 192, 168, 1, 20);
    SetIp(ip.ip_mask, 255, 255, 255, 0);
    SetIp(ip.ip_gateway, 192, 168, 1, 1);
    SetIp(ip.ip_dns1, 8, 8, 8, 8);
    SetIp(ip.ip_dns2, 8, 8, 4, 4);
    r.ap_name_len = SetFieldText(r.ap_name, "Roof O'Neil #2");
    r.version_len = SetFieldText(r.version, "V2.1.7 build 33");
    r.reboot_block = {1, 0x7f, 1439};
    RADIO_BLOCK& radio = r.radio_block;
    radio.rf_count = 2;
    radio.rf_en = 1;
    radio.rf_type = 3;
    radio.country_code = 4;
    radio.network_mode = 5;
    radio.bandwidth = 6;
    radio.channel = 149;
    radio.expand_channel = 8;
    radio.tx_power = 27;
    radio.tx_power_min = 9;
    radio.tx_power_max = 30;
    radio.ssid_rf_type = 11;
    SECURITY_BLOCK& s = radio.security;
    s.ssid_id = 12;
    s.ssid_hide = 1;
    SetMac(s.ssid_mac, "10:20:30:40:50:60");
    s.ssid_len = SetFieldText(s.ssid, "field-net");
    s.secure_mode = 3;
    s.wpapsk_auth_type = 13;
    s.wpapsk_key_value_len = SetFieldText(s.wpapsk_key_value, std::string(64, 'k'));
    s.wpapsk_key_time = 0xa1b2c3d4u;
    s.wep_auth_type = 14;
    s.wep_key_index = 2;
    for (int k = 0; k < 4; ++k) {
        s.wep_key[k].type = static_cast<uint8_t>(20 + k);
        s.wep_key[k].len = SetFieldText(s.wep_key[k].value, std::string(10 + k, static_cast<char>('a' + k)));
    }
    s.wpa_auth_type = 15;
    SetIp(s.wpa_radius_ip, 172, 16, 0, 9);
    s.wpa_radius_port = 1812;
    s.wpa_key_len = SetFieldText(s.wpa_key, "radius-secret");
    s.wpa_key_time = 86400;
    s.ssid_count = 4;
    r.bridge_work_mode = 2;
    SetMac(r.bridge_mac, "77:66:55:44:33:22");
    r.bridge_channel = 44;
    r.bridge_ssid_len = SetFieldText(r.bridge_ssid, "bridge-net");
    VLAN_BLOCK& vlan = r.vlan_block;
    vlan.vlan_en = 1;
    vlan.vlan_id = 4094;
    vlan.vlan_id_wlan = 101;
    vlan.vlan_id_lan = 102;
    EXTENSION_BLOCK& ext = r.extension_block;
    ext.bridge_transparent = 1;
    ext.tdmaEn = 1;
    ext.vlan_pvid = 103;
    ext.vlan_id_lan3 = 104;
    ext.vlan_id_lan4 = 105;
    ext.wl_dfs = 1;
    ext.trunk_port = 3;
    ext.vlan_id_lan2 = 106;
    return r;
}

// What a record read back from the store holds: status 1, and zeros where nothing is stored.
// (SetFieldText and SetCText already zero the unused tail of each text field.)
ap_info_stu AsStored(const ap_info_stu& saved)
{
    ap_info_stu r = saved;
    r.ap_status = STATUS_ONLINE;
    std::memset(r.unread26, 0, sizeof(r.unread26));
    r.ip_block.apply = 0;
    std::memset(r.radio_block.unread11, 0, sizeof(r.radio_block.unread11));
    r.radio_block.security.unread226 = 0;
    r.radio_block.unread327 = 0;
    r.bridge_work_mode = 0;
    std::memset(r.bridge_mac, 0, sizeof(r.bridge_mac));
    r.bridge_channel = 0;
    std::memset(r.bridge_ssid, 0, sizeof(r.bridge_ssid));
    r.bridge_ssid_len = 0;
    std::memset(r.unread493, 0, sizeof(r.unread493));
    r.vlan_block.unread1 = 0;
    r.vlan_block.apply = 0;
    r.vlan_block.unread9 = 0;
    std::memset(r.extension_block.unread8, 0, sizeof(r.extension_block.unread8));
    std::memset(r.unread782, 0, sizeof(r.unread782));
    return r;
}

void ExpectSameRecord(const ap_info_stu& actual, const ap_info_stu& expected)
{
    const auto* a = reinterpret_cast<const uint8_t*>(&actual);
    const auto* e = reinterpret_cast<const uint8_t*>(&expected);
    std::string differing;
    for (size_t i = 0; i < sizeof(ap_info_stu); ++i) {
        if (a[i] != e[i]) differing += " " + std::to_string(i);
    }
    EXPECT_EQ(differing, "") << "record bytes that differ";
}

TEST_F(SqlDevice, EveryStoredFieldRoundTripsAndNothingElse)
{
    const ap_info_stu saved = FullDevice();
    ASSERT_TRUE(store.SaveDevice(saved));
    ap_info_stu read;
    EXPECT_EQ(store.GetDevice(read, "a0:b1:c2:d3:e4:f5"), 261u);
    ExpectSameRecord(read, AsStored(saved));

    // The odd-offset integer, byte by byte, low byte first.
    const auto* bytes = reinterpret_cast<const uint8_t*>(&read);
    EXPECT_EQ(bytes[255], 0xd4);
    EXPECT_EQ(bytes[256], 0xc3);
    EXPECT_EQ(bytes[257], 0xb2);
    EXPECT_EQ(bytes[258], 0xa1);
    EXPECT_EQ(read.up_time, 3000000000u);

    // The bridge columns are written for the bridge queries, only never read back.
    OutsideReader reader(store.DatabasePath());
    EXPECT_EQ(reader.One("SELECT bridge_work_mode, bridge_mac, bridge_channel, bridge_ssid, ip_num, up_time "
                         "FROM ap_info"),
              "2|77:66:55:44:33:22|44|bridge-net|3232235796.0|3000000000");
    EXPECT_EQ(reader.One("SELECT ap_type_str, ap_status_str, work_mode_str, up_time_str, secure_mode_str, "
                         "bridge_transparent_str, tdmaEn_str FROM ap_info"),
              ModelName(261) + "|" + StatusText(1) + "|" + WorkModeText(3) + "|" + UptimeText(3000000000u) +
                  "|" + SecurityText(3) + "|" + TransparentBridgeText(261, 3, 1) + "|" + KelvraText(261, 1));
}

TEST_F(SqlDevice, RecordWithoutMacIsRefused)
{
    // Its row could never be found again by MAC, so never updated or deleted either.
    ap_info_stu r = MakeDevice(1);
    SetCText(r.mac, "");
    EXPECT_FALSE(store.SaveDevice(r));
    EXPECT_FALSE(store.SaveDevice(ap_info_stu{}));
    std::vector<std::string> macs;
    ASSERT_TRUE(store.GetAllMacs(macs));
    EXPECT_TRUE(macs.empty());
}

TEST_F(SqlDevice, EmptyMacLooksUpTheFirstDevice)
{
    ASSERT_TRUE(store.SaveDevice(MakeDevice(5)));
    ASSERT_TRUE(store.SaveDevice(MakeDevice(4)));
    ap_info_stu read;
    EXPECT_NE(store.GetDevice(read, ""), 0u);
    EXPECT_EQ(CText(read.mac), MacOf(5));
}

TEST_F(SqlDevice, StoredStatusIsAlwaysOnline)
{
    for (uint32_t status : {0u, 1u, 4u, 6u, 9u, 10u, 0xffffffffu}) {
        SCOPED_TRACE(status);
        ap_info_stu r = MakeDevice(1);
        r.ap_status = status;
        ASSERT_TRUE(store.SaveDevice(r));
        EXPECT_EQ(store.GetDeviceStatus(MacOf(1)), 1u);
        ASSERT_TRUE(store.SetDeviceStatus(MacOf(1), 6));  // a full record also ends "Upgrade wait"
    }
}

TEST_F(SqlDevice, SecondSaveUpdatesTheOneRow)
{
    ap_info_stu r = MakeDevice(7);
    ASSERT_TRUE(store.SaveDevice(r));
    ASSERT_TRUE(store.SaveDevice(MakeDevice(8)));
    r.ap_name_len = SetFieldText(r.ap_name, "renamed");
    ASSERT_TRUE(store.SaveDevice(r));
    std::vector<std::string> macs;
    ASSERT_TRUE(store.GetAllMacs(macs));
    EXPECT_EQ(macs, (std::vector<std::string>{MacOf(7), MacOf(8)}));
    ap_info_stu read;
    ASSERT_NE(store.GetDevice(read, MacOf(7)), 0u);
    EXPECT_EQ(FieldText(read.ap_name, read.ap_name_len), "renamed");
}

TEST_F(SqlDevice, TextsAreCutToTheirFieldAndTrimmedWhenRead)
{
    ap_info_stu r = MakeDevice(1);
    std::memset(r.ap_name, 'n', sizeof(r.ap_name));
    r.ap_name_len = 200;  // a reader never takes more than the field
    r.version_len = SetFieldText(r.version, "  \tv2.0 \r\n");
    ASSERT_TRUE(store.SaveDevice(r));
    ap_info_stu read;
    ASSERT_NE(store.GetDevice(read, MacOf(1)), 0u);
    EXPECT_EQ(read.ap_name_len, 32);
    EXPECT_EQ(FieldText(read.ap_name, read.ap_name_len), std::string(32, 'n'));
    EXPECT_EQ(FieldText(read.version, read.version_len), "v2.0");
}

TEST_F(SqlDevice, AllIpsAndMacsInInsertionOrder)
{
    for (int i : {3, 1, 2}) ASSERT_TRUE(store.SaveDevice(MakeDevice(i)));
    std::vector<std::string> ips = {"kept"};
    std::vector<std::string> macs;
    ASSERT_TRUE(store.GetAllIps(ips));
    ASSERT_TRUE(store.GetAllMacs(macs));
    EXPECT_EQ(ips, (std::vector<std::string>{"kept", "10.0.0.4", "10.0.0.2", "10.0.0.3"}));
    EXPECT_EQ(macs, (std::vector<std::string>{MacOf(3), MacOf(1), MacOf(2)}));
}

TEST_F(SqlDevice, UpdateUptimeChangesOnlyTimeAndAddress)
{
    ASSERT_TRUE(store.SaveDevice(MakeDevice(1)));
    ASSERT_TRUE(store.SetDeviceStatus(MacOf(1), STATUS_UPGRADING));
    EXPECT_TRUE(store.UpdateUptime(MacOf(1), "200.1.2.3", 4294967295u));
    EXPECT_FALSE(store.UpdateUptime(MacOf(2), "10.9.9.9", 1));
    ap_info_stu read;
    ASSERT_NE(store.GetDevice(read, MacOf(1)), 0u);
    EXPECT_EQ(read.up_time, 4294967295u);
    EXPECT_EQ(IpText(read.ip_block.ip), "200.1.2.3");
    EXPECT_EQ(read.ap_status, uint32_t{STATUS_UPGRADING});
    EXPECT_EQ(FieldText(read.ap_name, read.ap_name_len), "dev-1");
    OutsideReader reader(store.DatabasePath());
    EXPECT_EQ(reader.One("SELECT up_time_str, ip_num FROM ap_info"),
              UptimeText(4294967295u) + "|3355509251.0");
}

TEST_F(SqlDevice, StatusTransitions)
{
    enum class Op { Set4, StartUpgrade, ClearFail, IsWaiting };
    struct Case {
        uint32_t before;
        Op op;
        bool result;
        uint32_t after;
    };
    const Case cases[] = {
        {1, Op::Set4, true, 4},
        {STATUS_UPGRADE_WAIT, Op::StartUpgrade, true, STATUS_UPGRADING},
        {STATUS_ONLINE, Op::StartUpgrade, false, STATUS_ONLINE},
        {STATUS_UPGRADE_FAIL, Op::StartUpgrade, false, STATUS_UPGRADE_FAIL},
        {STATUS_UPGRADE_FAIL, Op::ClearFail, true, STATUS_ONLINE},
        {STATUS_UPGRADE_WAIT, Op::ClearFail, false, STATUS_UPGRADE_WAIT},
        {STATUS_UPGRADE_WAIT, Op::IsWaiting, true, STATUS_UPGRADE_WAIT},
        {STATUS_UPGRADING, Op::IsWaiting, false, STATUS_UPGRADING},
    };
    ASSERT_TRUE(store.SaveDevice(MakeDevice(1)));
    ASSERT_TRUE(store.SaveDevice(MakeDevice(2)));  // a bystander that must never change
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "from " << c.before << " op " << static_cast<int>(c.op));
        ASSERT_TRUE(store.SetDeviceStatus(MacOf(1), c.before));
        bool result = false;
        switch (c.op) {
            case Op::Set4:
                result = store.SetDeviceStatus(MacOf(1), 4);
                break;
            case Op::StartUpgrade:
                result = store.StartUpgradeStatus(MacOf(1));
                break;
            case Op::ClearFail:
                result = store.ClearUpgradeFail(MacOf(1));
                break;
            case Op::IsWaiting:
                result = store.IsUpgradeWaiting(MacOf(1));
                break;
        }
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(store.GetDeviceStatus(MacOf(1)), c.after);
        EXPECT_EQ(store.GetDeviceStatus(MacOf(2)), 1u);
        OutsideReader reader(store.DatabasePath());
        EXPECT_EQ(reader.One("SELECT ap_status_str FROM ap_info WHERE mac='" + MacOf(1) + "'"),
                  StatusText(c.after));
    }
    // A MAC without a row: lookups give nothing, changes do nothing.
    EXPECT_FALSE(store.SetDeviceStatus(MacOf(3), 4));
    EXPECT_FALSE(store.StartUpgradeStatus(MacOf(3)));
    EXPECT_FALSE(store.ClearUpgradeFail(MacOf(3)));
    EXPECT_FALSE(store.IsUpgradeWaiting(MacOf(3)));
    EXPECT_EQ(store.GetDeviceStatus(MacOf(3)), 0u);
}

TEST_F(SqlDevice, DeleteRemovesOnlyThatDevice)
{
    for (int i = 1; i <= 3; ++i) ASSERT_TRUE(store.SaveDevice(MakeDevice(i)));
    EXPECT_TRUE(store.DeleteDevice(MacOf(2)));
    EXPECT_TRUE(store.DeleteDevice(MacOf(2)));  // the statement ran; nothing was there
    std::vector<std::string> macs;
    ASSERT_TRUE(store.GetAllMacs(macs));
    EXPECT_EQ(macs, (std::vector<std::string>{MacOf(1), MacOf(3)}));
}

// An access point, a station bridged to it, an unpaired station and a device whose wireless
// MAC is unknown.
class SqlBridge : public SqlDevice {
protected:
    void SetUp() override
    {
        ap_info_stu ap = MakeDevice(1);
        ap.work_mode = 1;
        SetMac(ap.radio_block.security.ssid_mac, kApRadio);
        ap_info_stu station = MakeDevice(2);
        station.work_mode = 2;
        SetMac(station.radio_block.security.ssid_mac, "02:00:00:00:00:02");
        SetMac(station.bridge_mac, kApRadio);
        ap_info_stu unpaired = MakeDevice(3);
        unpaired.work_mode = 2;
        SetMac(unpaired.radio_block.security.ssid_mac, "02:00:00:00:00:03");
        ap_info_stu unknown = MakeDevice(4);  // ssid_mac all zero
        for (const ap_info_stu& r : {ap, station, unpaired, unknown}) ASSERT_TRUE(store.SaveDevice(r));
    }
    static constexpr const char* kApRadio = "02:00:00:00:00:01";
};

TEST_F(SqlBridge, PeerIsFoundFromEitherEnd)
{
    struct Case {
        int device;
        bool found;
        std::string peer;
    };
    const Case cases[] = {
        {1, true, MacOf(2)},  // access point -> the station bridged to its wireless MAC
        {2, true, MacOf(1)},  // station -> the non-station whose wireless MAC it is bridged to
        {3, false, ""},       // a station bridged to nothing
        {4, false, ""},       // unknown wireless MAC: not the peer of every unpaired station
        {9, false, ""},       // no such device
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        std::string peer = "untouched";
        EXPECT_EQ(store.FindBridgePeer(MacOf(c.device), peer), c.found);
        EXPECT_EQ(peer, c.found ? c.peer : "untouched");
    }
}

TEST_F(SqlBridge, BridgedStationOnlyForTheAccessPoint)
{
    EXPECT_TRUE(store.HasBridgedStation(MacOf(1)));
    EXPECT_FALSE(store.HasBridgedStation(MacOf(2)));
    EXPECT_FALSE(store.HasBridgedStation(MacOf(3)));
    EXPECT_FALSE(store.HasBridgedStation(MacOf(4)));
    EXPECT_FALSE(store.HasBridgedStation(MacOf(9)));
    ASSERT_TRUE(store.DeleteDevice(MacOf(2)));
    EXPECT_FALSE(store.HasBridgedStation(MacOf(1)));
}

}  // namespace
}  // namespace pontiq::test
