// What the windows ask of the engine: the searches, the listing of devices heard but not yet
// described, and one function per device command with its payload.
#include <algorithm>
#include <cstring>

#include "comm/comm_engine.h"
#include "comm/engine_store.h"
#include "comm/online_table.h"
#include "store/value_format.h"

namespace pontiq {

namespace {

// Entries a search starts over with: all of them in the MAC search, else those only heard.
bool IsReleased(const OnlineDevice& d, bool targetMacMode)
{
    return targetMacMode || d.state == 1;
}

}  // namespace

// ---- Searching ------------------------------------------------------------------------

void CommEngine::StartSearch(std::optional<MacAddress> targetMac)
{
    if (targetMac) {
        SetTargetMac(*targetMac);
        targetMacMode_ = true;
    } else {
        targetMacMode_ = false;
    }
    LoadCaptureDevices();
    ReleaseDevices();
    ClearDevices();
    PurgeStore();
    Discover();
}

void CommEngine::ReleaseDevices()
{
    const bool all = targetMacMode_.load();
    std::vector<std::pair<std::string, std::string>> released;
    {
        std::lock_guard lock(tableLock_);
        for (const OnlineDevice& d : table_->Items()) {
            if (IsReleased(d, all)) {
                released.emplace_back(d.ip, d.mac);
            }
        }
    }
    SendBatch batch(*sender_);
    for (const auto& [ip, mac] : released) {
        SendCommand(ip, MSG_RELEASE, {}, mac, false);
    }
}

void CommEngine::ClearDevices()
{
    const bool all = targetMacMode_.load();
    std::lock_guard lock(tableLock_);
    table_->EraseIf([&](const OnlineDevice& d) { return IsReleased(d, all); });
}

void CommEngine::PurgeStore()
{
    std::vector<std::string> stored;
    engine_store::GetAllMacs(store_, stored);
    std::vector<std::string> gone;
    {
        std::lock_guard lock(tableLock_);
        for (std::string& mac : stored) {
            if (!table_->Find(mac)) {
                gone.push_back(std::move(mac));
            }
        }
    }
    for (const std::string& mac : gone) {
        engine_store::DeleteDevice(store_, mac);
    }
}

std::vector<ap_info_stu> CommEngine::ListDiscoveredDevices(size_t maxCount, std::string_view filter) const
{
    std::vector<ap_info_stu> list;
    std::lock_guard lock(tableLock_);
    for (const OnlineDevice& d : table_->Items()) {
        if (list.size() >= maxCount) {
            break;
        }
        if (d.state != 1) {
            continue;
        }
        ap_info_stu r;
        std::memset(&r, 0, sizeof(r));
        SetCText(r.mac, d.mac);
        r.ap_type = d.typeCode;
        r.ap_status = STATUS_DISCOVERED_ONLY;
        const auto ip = IpToBytes(d.ip);
        std::copy(ip.begin(), ip.end(), r.ip_block.ip);
        std::string_view version = FieldText(d.version, d.versionLen);
        version = version.substr(0, version.find('\n'));
        r.version_len = SetFieldText(r.version, version);
        r.ap_name_len = SetFieldText(r.ap_name, FieldText(d.name, d.nameLen));
        r.up_time = d.upTime;
        r.work_mode = d.workMode;
        r.mode_btn_status = d.modeButtonStatus;
        r.radio_block.security.ssid_len =
            SetFieldText(r.radio_block.security.ssid, FieldText(d.ssid, d.ssidLen));
        r.radio_block.channel = d.channel;
        r.extension_block.bridge_transparent = d.bridgeTransparent;
        r.extension_block.tdmaEn = d.kelvra;
        if (!filter.empty() && d.ip.find(filter) == std::string::npos &&
            d.mac.find(filter) == std::string::npos && version.find(filter) == std::string_view::npos) {
            continue;
        }
        list.push_back(r);
    }
    return list;
}

void CommEngine::SetPendingAddress(std::string_view mac, std::string_view currentIp, std::string_view newIp)
{
    std::lock_guard lock(tableLock_);
    OnlineDevice* it = table_->Find(mac);
    if (!it || it->state != 2 || it->ip != currentIp) {
        return;
    }
    if (newIp != currentIp) {
        it->pendingIp = std::string(newIp);
    } else {
        it->pendingIp.clear();
    }
}

// ---- Commands -------------------------------------------------------------------------

std::string CommEngine::OutgoingText(std::string_view local, size_t limit) const
{
    std::string out = text_.OutgoingText(local);
    if (out.size() > limit) {
        // UTF-8 goes out whenever the text was converted (or local text is UTF-8 already);
        // a cut inside a character would leave the device a broken one.
        const bool utf8 = text_.IsLocalUtf8() || out != local;
        const size_t keep =
            utf8 ? COperateCharacter::CompleteUtf8Length(std::string_view(out).substr(0, limit)) : limit;
        out.resize(keep);
    }
    return out;
}

uint32_t CommEngine::StoredTypeCode(std::string_view mac, uint32_t fallback)
{
    // The store answers an empty MAC with its first row, which is some other device.
    if (mac.empty()) return fallback;
    ap_info_stu record;
    const uint32_t stored = engine_store::GetDevice(store_, record, mac);
    return stored != 0 ? stored : fallback;
}

bool CommEngine::SetName(std::string_view ip, std::string_view mac, std::string_view name)
{
    const NAME_PAYLOAD payload = MakeNamePayload(OutgoingText(name, sizeof(NAME_PAYLOAD::ap_name)));
    return SendCommand(ip, MSG_SET_NAME, AsBytes(payload), mac, true);
}

bool CommEngine::SetIpSettings(std::string_view ip, std::string_view mac, const IP_BLOCK& block)
{
    SetPendingAddress(mac, ip, IpText(std::span<const uint8_t, 4>(block.ip)));
    return SendCommand(ip, MSG_SET_IP, AsBytes(block), mac, true);
}

bool CommEngine::SetWireless(std::string_view ip, std::string_view mac, uint32_t typeCode,
                             const RADIO_BLOCK& radio, const RADIO_EXTENSION& extension)
{
    RADIO_BLOCK block = radio;
    SECURITY_BLOCK& s = block.security;
    s.ssid_len = SetFieldText(s.ssid, OutgoingText(FieldText(s.ssid, s.ssid_len), sizeof(s.ssid)));
    const std::vector<uint8_t> payload = WirelessPayload(StoredTypeCode(mac, typeCode), block, extension);
    return SendCommand(ip, MSG_SET_WIRELESS, payload, mac, true);
}

bool CommEngine::SetTimedReboot(std::string_view ip, std::string_view mac, const REBOOT_BLOCK& block)
{
    return SendCommand(ip, MSG_SET_TIMED_REBOOT, AsBytes(block), mac, true);
}

bool CommEngine::SetVlan(std::string_view ip, std::string_view mac, uint32_t typeCode, const VLAN_BLOCK& vlan,
                         const EXTENSION_BLOCK& extension)
{
    const std::vector<uint8_t> payload = VlanPayload(StoredTypeCode(mac, typeCode), vlan, extension);
    return SendCommand(ip, MSG_SET_VLAN, payload, mac, true);
}

bool CommEngine::StartSiteSurvey(std::string_view ip, std::string_view mac)
{
    return SendCommand(ip, MSG_SITE_SURVEY, {}, mac, false);
}

bool CommEngine::SetBridge(std::string_view ip, std::string_view mac, const BRIDGE_PAYLOAD& payload)
{
    BRIDGE_PAYLOAD p = payload;
    BRIDGE_SECURITY_BLOCK& s = p.security;
    s.ssid_len = SetFieldText(s.ssid, OutgoingText(FieldText(s.ssid, s.ssid_len), sizeof(s.ssid)));
    p.reserved327 = 0;
    return SendCommand(ip, MSG_SET_BRIDGE, AsBytes(p), mac, true);
}

bool CommEngine::Reboot(std::string_view ip, std::string_view mac)
{
    return SendCommand(ip, MSG_REBOOT, {}, mac, true);
}

bool CommEngine::Restore(std::string_view ip, std::string_view mac)
{
    return SendCommand(ip, MSG_RESTORE, {}, mac, true);
}

bool CommEngine::PrepareUpgrade(std::string_view ip, std::string_view mac, std::string_view fileName,
                                uint32_t fileSize)
{
    const auto payload = MakeUpgradePayload(fileName, fileSize);
    return payload && SendCommand(ip, MSG_UPGRADE, AsBytes(*payload), mac, true);
}

bool CommEngine::StartUpgrade(std::string_view ip, std::string_view mac)
{
    return SendCommand(ip, MSG_UPGRADE_START, {}, mac, true);
}

bool CommEngine::SetTransparentBridge(std::string_view ip, std::string_view mac, uint8_t value)
{
    EXTENSION_BLOCK block{};
    block.bridge_transparent = value;
    return SendCommand(ip, MSG_SET_TRANSPARENT_BRIDGE, AsBytes(block), mac, true);
}

bool CommEngine::SetKelvra(std::string_view ip, std::string_view mac, uint8_t value)
{
    EXTENSION_BLOCK block{};
    block.tdmaEn = value;
    return SendCommand(ip, MSG_SET_KELVRA, AsBytes(block), mac, true);
}

int CommEngine::ApplyConfiguration(ConfigurationApply apply)
{
    // Both pages changed: the device applies the VLAN and the address together, at the VLAN.
    if (apply.ipChanged && apply.vlanChanged) {
        apply.ipBlock.apply = 0;
        apply.vlan.apply = 1;
    }
    int sent = 0;
    if (apply.nameChanged) {
        sent += SetName(apply.ip, apply.mac, FieldText(apply.name.ap_name, apply.name.ap_name_len));
    }
    if (apply.wirelessChanged) {
        sent += SetWireless(apply.ip, apply.mac, apply.typeCode, apply.radio, apply.radioExtension);
    }
    if (apply.rebootChanged) {
        sent += SetTimedReboot(apply.ip, apply.mac, apply.reboot);
    }
    if (apply.vlanChanged) {
        sent += SetVlan(apply.ip, apply.mac, apply.typeCode, apply.vlan, apply.vlanExtension);
    }
    if (apply.ipChanged) {
        sent += SetIpSettings(apply.ip, apply.mac, apply.ipBlock);
    }
    return sent;
}

}  // namespace pontiq
