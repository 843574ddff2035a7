#include "comm/engine_store.h"

#include <algorithm>

#include "store/sql_management.h"

namespace pontiq::engine_store {

CSqlManagement& ProgramStore()
{
    return CSqlManagement::Instance();
}

std::shared_ptr<CSqlManagement> CreateStore(const std::string& directory)
{
    return std::make_shared<CSqlManagement>(directory);
}

bool SaveDevice(CSqlManagement& store, const ap_info_stu& record)
{
    return store.SaveDevice(record);
}

bool UpdateUptime(CSqlManagement& store, std::string_view mac, std::string_view ip, uint32_t upTime)
{
    return store.UpdateUptime(mac, ip, upTime);
}

bool SetDeviceStatus(CSqlManagement& store, std::string_view mac, uint32_t status)
{
    return store.SetDeviceStatus(mac, status);
}

bool StartUpgradeStatus(CSqlManagement& store, std::string_view mac)
{
    return store.StartUpgradeStatus(mac);
}

bool DeleteDevice(CSqlManagement& store, std::string_view mac)
{
    return store.DeleteDevice(mac);
}

bool GetAllMacs(CSqlManagement& store, std::vector<std::string>& macs)
{
    return store.GetAllMacs(macs);
}

uint32_t GetDevice(CSqlManagement& store, ap_info_stu& record, std::string_view mac)
{
    return store.GetDevice(record, mac);
}

uint32_t GetDeviceStatus(CSqlManagement& store, std::string_view mac)
{
    return store.GetDeviceStatus(mac);
}

namespace {

ScanPage MakeScanPage(uint8_t packetCount, uint8_t packetId, std::span<const config_otherwl_basic> entries)
{
    ScanPage page;
    page.packet_count = packetCount;
    page.packet_id = packetId;
    const size_t n = std::min(entries.size(), page.entries.size());
    page.icount = static_cast<uint8_t>(n);
    std::copy_n(entries.begin(), n, page.entries.begin());
    return page;
}

}  // namespace

bool SaveScanPage(CSqlManagement& store, uint8_t packetCount, uint8_t packetId,
                  std::span<const config_otherwl_basic> entries)
{
    return store.SaveScanPage(MakeScanPage(packetCount, packetId, entries));
}

bool ListScanResults(CSqlManagement& store, std::vector<config_otherwl_basic>& list)
{
    return store.ListScanResults(0, list, true);
}

struct WriteBatch::Writes {
    std::vector<StoreWrite> list;
};

WriteBatch::WriteBatch() : writes_(std::make_unique<Writes>())
{
}
WriteBatch::~WriteBatch() = default;

void WriteBatch::SaveDevice(const ap_info_stu& record)
{
    writes_->list.emplace_back(SaveDeviceWrite{record});
}

void WriteBatch::UpdateUptime(std::string_view mac, std::string_view ip, uint32_t upTime)
{
    writes_->list.emplace_back(UptimeWrite{std::string(mac), std::string(ip), upTime});
}

void WriteBatch::SetDeviceStatus(std::string_view mac, uint32_t status)
{
    writes_->list.emplace_back(StatusWrite{std::string(mac), status});
}

void WriteBatch::StartUpgradeStatus(std::string_view mac)
{
    writes_->list.emplace_back(UpgradeStartWrite{std::string(mac)});
}

void WriteBatch::SaveScanPage(uint8_t packetCount, uint8_t packetId,
                              std::span<const config_otherwl_basic> entries)
{
    writes_->list.emplace_back(ScanPageWrite{MakeScanPage(packetCount, packetId, entries)});
}

void WriteBatch::SetDeviceName(std::string_view mac, std::string_view name)
{
    writes_->list.emplace_back(
        ConfirmedValueWrite{ConfirmedValueWrite::Name, std::string(mac), std::string(name), 0});
}

void WriteBatch::SetTransparentBridgeValue(std::string_view mac, uint32_t value)
{
    writes_->list.emplace_back(
        ConfirmedValueWrite{ConfirmedValueWrite::TransparentBridge, std::string(mac), {}, value});
}

void WriteBatch::SetKelvraValue(std::string_view mac, uint32_t value)
{
    writes_->list.emplace_back(ConfirmedValueWrite{ConfirmedValueWrite::Kelvra, std::string(mac), {}, value});
}

size_t WriteBatch::Size() const
{
    return writes_->list.size();
}

void WriteBatch::Apply(CSqlManagement& store)
{
    if (writes_->list.empty()) return;
    store.ApplyWrites(writes_->list);
    writes_->list.clear();
}

void StoreWriter::SaveDevice(const ap_info_stu& record)
{
    if (batch_) {
        batch_->SaveDevice(record);
    } else {
        store_.SaveDevice(record);
    }
}

void StoreWriter::UpdateUptime(std::string_view mac, std::string_view ip, uint32_t upTime)
{
    if (batch_) {
        batch_->UpdateUptime(mac, ip, upTime);
    } else {
        store_.UpdateUptime(mac, ip, upTime);
    }
}

void StoreWriter::SetDeviceStatus(std::string_view mac, uint32_t status)
{
    if (batch_) {
        batch_->SetDeviceStatus(mac, status);
    } else {
        store_.SetDeviceStatus(mac, status);
    }
}

void StoreWriter::StartUpgradeStatus(std::string_view mac)
{
    if (batch_) {
        batch_->StartUpgradeStatus(mac);
    } else {
        store_.StartUpgradeStatus(mac);
    }
}

void StoreWriter::SaveScanPage(uint8_t packetCount, uint8_t packetId,
                               std::span<const config_otherwl_basic> entries)
{
    if (batch_) {
        batch_->SaveScanPage(packetCount, packetId, entries);
    } else {
        engine_store::SaveScanPage(store_, packetCount, packetId, entries);
    }
}

void StoreWriter::SetDeviceName(std::string_view mac, std::string_view name)
{
    if (batch_) {
        batch_->SetDeviceName(mac, name);
    } else {
        engine_store::SetDeviceName(store_, mac, name);
    }
}

void StoreWriter::SetTransparentBridgeValue(std::string_view mac, uint32_t value)
{
    if (batch_) {
        batch_->SetTransparentBridgeValue(mac, value);
    } else {
        engine_store::SetTransparentBridgeValue(store_, mac, value);
    }
}

void StoreWriter::SetKelvraValue(std::string_view mac, uint32_t value)
{
    if (batch_) {
        batch_->SetKelvraValue(mac, value);
    } else {
        engine_store::SetKelvraValue(store_, mac, value);
    }
}

}  // namespace pontiq::engine_store
