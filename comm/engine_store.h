// The store operations the engine uses, reached through functions of their own so that the
// engine's sources need not see the store's declarations next to the protocol's.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/ap_info.h"

namespace pontiq {

class CSqlManagement;

namespace engine_store {

CSqlManagement& ProgramStore();
// A store of its own in `directory` (tests, benchmark).
std::shared_ptr<CSqlManagement> CreateStore(const std::string& directory);

bool SaveDevice(CSqlManagement& store, const ap_info_stu& record);
bool UpdateUptime(CSqlManagement& store, std::string_view mac, std::string_view ip, uint32_t upTime);
bool SetDeviceStatus(CSqlManagement& store, std::string_view mac, uint32_t status);
bool StartUpgradeStatus(CSqlManagement& store, std::string_view mac);
bool DeleteDevice(CSqlManagement& store, std::string_view mac);
bool GetAllMacs(CSqlManagement& store, std::vector<std::string>& macs);
uint32_t GetDevice(CSqlManagement& store, ap_info_stu& record, std::string_view mac);
uint32_t GetDeviceStatus(CSqlManagement& store, std::string_view mac);
// At most 32 entries are stored; icount is the number given.
bool SaveScanPage(CSqlManagement& store, uint8_t packetCount, uint8_t packetId,
                  std::span<const config_otherwl_basic> entries);
bool ListScanResults(CSqlManagement& store, std::vector<config_otherwl_basic>& list);
// A value the device confirmed, written into its stored row.
bool SetDeviceName(CSqlManagement& store, std::string_view mac, std::string_view name);
bool SetTransparentBridgeValue(CSqlManagement& store, std::string_view mac, uint32_t value);
bool SetKelvraValue(CSqlManagement& store, std::string_view mac, uint32_t value);

// Store writes of reply handling collected for one transaction (CSqlManagement::ApplyWrites).
class WriteBatch final {
public:
    WriteBatch();
    ~WriteBatch();
    WriteBatch(const WriteBatch&) = delete;
    WriteBatch& operator=(const WriteBatch&) = delete;

    void SaveDevice(const ap_info_stu& record);
    void UpdateUptime(std::string_view mac, std::string_view ip, uint32_t upTime);
    void SetDeviceStatus(std::string_view mac, uint32_t status);
    void StartUpgradeStatus(std::string_view mac);
    void SaveScanPage(uint8_t packetCount, uint8_t packetId, std::span<const config_otherwl_basic> entries);
    void SetDeviceName(std::string_view mac, std::string_view name);
    void SetTransparentBridgeValue(std::string_view mac, uint32_t value);
    void SetKelvraValue(std::string_view mac, uint32_t value);

    size_t Size() const;
    // Applies the writes in order in one transaction and empties the batch.
    void Apply(CSqlManagement& store);

private:
    struct Writes;
    std::unique_ptr<Writes> writes_;
};

// A write goes into the batch when there is one, else to the store at once.
class StoreWriter final {
public:
    StoreWriter(CSqlManagement& store, WriteBatch* batch) : store_(store), batch_(batch) {}

    void SaveDevice(const ap_info_stu& record);
    void UpdateUptime(std::string_view mac, std::string_view ip, uint32_t upTime);
    void SetDeviceStatus(std::string_view mac, uint32_t status);
    void StartUpgradeStatus(std::string_view mac);
    void SaveScanPage(uint8_t packetCount, uint8_t packetId, std::span<const config_otherwl_basic> entries);
    // Values a device confirmed; in the batch they follow the writes before them.
    void SetDeviceName(std::string_view mac, std::string_view name);
    void SetTransparentBridgeValue(std::string_view mac, uint32_t value);
    void SetKelvraValue(std::string_view mac, uint32_t value);

private:
    CSqlManagement& store_;
    WriteBatch* batch_;
};

}  // namespace engine_store
}  // namespace pontiq
