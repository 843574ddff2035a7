// The three reply handlers: discovery replies (9785), heartbeats (9787) and command replies
// (9788). Each runs on its own worker thread only. The table lock is held for the table reads
// and writes alone; every send and every store call happens after it is released.
#include <algorithm>
#include <cstring>

#include "comm/comm_engine.h"
#include "comm/engine_store.h"
#include "comm/online_table.h"
#include "store/value_format.h"

namespace pontiq {

namespace {

bool IsZeroMac(const uint8_t (&mac)[6])
{
    return std::all_of(std::begin(mac), std::end(mac), [](uint8_t b) { return b == 0; });
}

std::string HeaderMacText(const ProtocolHeader& header)
{
    return MacText(std::span<const uint8_t, 6>(header.mac));
}

// Device text (UTF-8, possibly cut inside a character) into a fixed field as local text. The
// length byte is the converted length, so a reader never takes padding for text.
template <size_t N>
uint8_t ConvertDeviceText(const COperateCharacter& text, char (&field)[N], uint8_t length)
{
    // Only what precedes the first NUL is text; padding after it is not converted.
    const std::string_view received = FieldText(field, length);
    const std::string local = text.DeviceTextToLocal(received, static_cast<uint8_t>(received.size()));
    return SetFieldText(field, local);
}

template <size_t N>
uint8_t CopyText(char (&to)[N], const char (&from)[N], uint8_t length)
{
    return SetFieldText(to, FieldText(from, length));
}

// Calls the reply observer when it goes out of scope: after every path of the handling, so
// whoever the observer wakes finds the store already changed.
struct ObserverCall {
    const CommandReplyObserver& observer;
    std::string_view ip;
    std::string_view mac;
    uint16_t type;
    uint8_t result;
    ~ObserverCall()
    {
        if (observer) observer(ip, mac, type, result);
    }
};

}  // namespace

void CommEngine::HandleDiscoveryReply(const ReceivedDatagram& datagram)
{
    const auto header = DecodeHeader(datagram.bytes);
    auto reply = DecodeDiscoveryReply(datagram.bytes);
    if (!header || !reply || IsZeroMac(header->mac)) {
        return;
    }
    const std::string ip = datagram.SenderText();
    const std::string mac = HeaderMacText(*header);
    DISCOVER_REPLY& r = reply->fields;
    // Converted before the lock is taken; only a new entry uses them.
    if (reply->long_form) {
        r.ap_name_len = ConvertDeviceText(text_, r.ap_name, r.ap_name_len);
        r.ssid_len = ConvertDeviceText(text_, r.ssid, r.ssid_len);
    }

    bool askForRecord = true;
    {
        std::lock_guard lock(tableLock_);
        if (OnlineDevice* known = table_->Find(mac)) {
            // A known device keeps its address until its record or a heartbeat moves it.
            known->typeCode = header->type_code;
            known->countdown = 3;
            known->versionLen = CopyText(known->version, r.version, r.version_len);
        } else if (table_->HeardOnlyCount() >= kMaxHeardOnlyDevices) {
            counters_.heardOnlyDropped++;
            return;  // a flood of invented MACs: no entry, no answer
        } else {
            OnlineDevice d;
            d.ip = ip;
            d.mac = mac;
            d.typeCode = header->type_code;
            d.state = 1;
            d.countdown = 3;
            d.versionLen = CopyText(d.version, r.version, r.version_len);
            if (reply->long_form) {
                d.workMode = r.work_mode;
                d.modeButtonStatus = r.mode_btn_status;
                d.upTime = r.up_time;
                d.nameLen = CopyText(d.name, r.ap_name, r.ap_name_len);
                d.ssidLen = CopyText(d.ssid, r.ssid, r.ssid_len);
                d.channel = r.channel;
                d.bridgeTransparent = r.bridge_transparent;
                d.kelvra = r.tdmaEn;
            }
            table_->Append(std::move(d));
        }
        // A device whose address is held by another device with a record gets no MSG_GET_INFO:
        // its record would be refused anyway.
        askForRecord = !table_->IsHeldByOther(ip, mac);
    }
    SendCommand(ip, MSG_DISCOVER, {}, mac, false);
    if (askForRecord) {
        SendCommand(ip, MSG_GET_INFO, {}, mac, true);
    }
}

void CommEngine::HandleHeartbeat(const ReceivedDatagram& datagram)
{
    const auto header = DecodeHeader(datagram.bytes);
    const auto beat = DecodeHeartbeat(datagram.bytes);
    if (!header || !beat) {
        return;
    }
    const std::string ip = datagram.SenderText();
    const std::string mac = HeaderMacText(*header);
    {
        std::lock_guard lock(tableLock_);
        OnlineDevice* d = table_->Find(mac);
        if (!d) {
            return;  // not ours: no acknowledgement, no store change
        }
        d->countdown = 3;
        d->upTime = beat->up_time;
        d->versionLen = CopyText(d->version, beat->version, beat->version_len);
        table_->SetAddress(*d, ip);
    }
    SendCommand(ip, MSG_HEARTBEAT, {}, mac, false);
    Writes().UpdateUptime(mac, ip, beat->up_time);
}

void CommEngine::DispatchCommandReply(const ReceivedDatagram& datagram)
{
    const auto header = DecodeHeader(datagram.bytes);
    if (!header) {
        return;
    }
    const uint16_t type = header->msg_type;
    const std::string ip = datagram.SenderText();
    const std::string mac = HeaderMacText(*header);
    if (type != MSG_SITE_SURVEY && type != MSG_RELEASE) {
        Acknowledge(ip, type, mac);
    }
    // A reply without a result byte reads as 0, as the zero-filled receive buffer did.
    const uint8_t result = DecodeResultByte(datagram.bytes).value_or(0);
    const ObserverCall notify{replyObserver_, ip, mac, type, result};

    switch (type) {
        case MSG_GET_INFO: {
            // A record cut short would overwrite the stored one with zeros from the cut on.
            const size_t expected = std::min<size_t>(header->payload_len, kRecordBody);
            if (ReceivedPayload(datagram.bytes).size() < expected) {
                counters_.shortRecords++;
                return;
            }
            auto record = DecodeDeviceRecord(datagram.bytes);
            if (!record) {
                return;
            }
            const std::string recordIp = IpText(std::span<const uint8_t, 4>(record->ip_block.ip));
            {
                std::lock_guard lock(tableLock_);
                OnlineDevice* entry = table_->Find(mac);
                const OnlineDevice* holder = table_->Holder(recordIp);
                if (!entry || (holder && holder != entry)) {
                    return;  // unknown device, or its address belongs to another confirmed device
                }
                entry->typeCode = header->type_code;
                table_->SetConfirmed(*entry);
                entry->upTime = record->up_time;
                table_->SetAddress(*entry, recordIp);
                entry->versionLen = CopyText(entry->version, record->version, record->version_len);
                entry->bridgeTransparent = record->extension_block.bridge_transparent;
                entry->kelvra = record->extension_block.tdmaEn;
            }
            ap_info_stu& r = *record;
            r.ap_name_len = ConvertDeviceText(text_, r.ap_name, r.ap_name_len);
            r.radio_block.security.ssid_len =
                ConvertDeviceText(text_, r.radio_block.security.ssid, r.radio_block.security.ssid_len);
            r.bridge_ssid_len = ConvertDeviceText(text_, r.bridge_ssid, r.bridge_ssid_len);
            Writes().SaveDevice(r);
            return;
        }
        case MSG_SET_IP: {
            std::lock_guard lock(tableLock_);
            OnlineDevice* d = table_->Find(mac);
            // Only the reply from the address the entry holds moves it.
            if (d && d->ip == ip && !d->pendingIp.empty() && d->pendingIp != d->ip) {
                table_->SetAddress(*d, std::exchange(d->pendingIp, std::string()));
            }
            return;
        }
        case MSG_SITE_SURVEY: {
            const auto decoded = DecodeSurveyPage(datagram.bytes);
            if (!decoded) {
                return;
            }
            std::vector<config_otherwl_basic> entries = decoded->entries;
            for (config_otherwl_basic& e : entries) {
                e.ssid_len = ConvertDeviceText(text_, e.ssid, e.ssid_len);
            }
            Writes().SaveScanPage(decoded->header.packet_count, decoded->header.packet_id, entries);
            if (decoded->IsLastPage()) {
                MarkSurveyComplete();
            }
            return;
        }
        case MSG_SET_BRIDGE:
            Writes().SetDeviceStatus(mac, result == 0 ? STATUS_BRIDGE_SUCCESS : STATUS_BRIDGE_FAIL);
            return;
        case MSG_REBOOT:
        case MSG_SET_VLAN:
            if (result == 0) {
                Writes().SetDeviceStatus(mac, STATUS_RESTARTING);
            }
            return;
        case MSG_RESTORE:
            if (result == 0) {
                Writes().SetDeviceStatus(mac, STATUS_RESETING);
            }
            return;
        case MSG_UPGRADE_STATUS:
            Writes().SetDeviceStatus(mac, result == 0   ? STATUS_UPGRADE_WAIT
                                          : result == 1 ? STATUS_UPGRADE_FAIL
                                                        : STATUS_UPGRADE_SUCCESS);
            return;
        case MSG_UPGRADE_START:
            Writes().StartUpgradeStatus(mac);
            return;
        case MSG_SET_NAME:
        case MSG_SET_TRANSPARENT_BRIDGE:
        case MSG_SET_KELVRA:
            StoreAwaitedValue(type, mac, result == 0);
            return;
        default:
            return;
    }
}

}  // namespace pontiq
