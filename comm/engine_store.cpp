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

bool SaveScanPage(CSqlManagement& store, uint8_t packetCount, uint8_t packetId,
                  std::span<const config_otherwl_basic> entries)
{
    ScanPage page;
    page.packet_count = packetCount;
    page.packet_id = packetId;
    const size_t n = std::min(entries.size(), page.entries.size());
    page.icount = static_cast<uint8_t>(n);
    std::copy_n(entries.begin(), n, page.entries.begin());
    return store.SaveScanPage(page);
}

bool ListScanResults(CSqlManagement& store, std::vector<config_otherwl_basic>& list)
{
    return store.ListScanResults(0, list, true);
}

}  // namespace pontiq::engine_store
