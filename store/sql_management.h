// The device store: the scratch database data.mdb in the program directory, created empty at
// start and deleted at exit, with every query the windows and the engine run on it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "store/ado_database.h"
#include "store/ap_info.h"

namespace pontiq {

// One page of a site-survey answer, as reply handling hands it over.
struct ScanPage {
    static constexpr size_t kMaxEntries = 32;

    uint8_t packet_count = 0;  // pages of this answer
    uint8_t packet_id = 0;     // index of this page, 0-based
    uint8_t icount = 0;        // entries in use; more than kMaxEntries is read as kMaxEntries
    std::array<config_otherwl_basic, kMaxEntries> entries{};
};

// The writes of reply handling, for ApplyWrites; each does what the operation of its name does.
struct SaveDeviceWrite {
    ap_info_stu record;
};
struct UptimeWrite {
    std::string mac;
    std::string ip;
    uint32_t upTime = 0;
};
struct StatusWrite {
    std::string mac;
    uint32_t status = 0;
};
struct UpgradeStartWrite {
    std::string mac;
};
struct ScanPageWrite {
    ScanPage page;
};
// A value a device confirmed: SetDeviceName, SetTransparentBridgeValue or SetKelvraValue.
struct ConfirmedValueWrite {
    enum Field : uint8_t { Name, TransparentBridge, Kelvra };
    Field field = Name;
    std::string mac;
    std::string name;    // Name
    uint32_t value = 0;  // TransparentBridge, Kelvra
};
using StoreWrite = std::variant<SaveDeviceWrite, UptimeWrite, StatusWrite, UpgradeStartWrite, ScanPageWrite,
                                ConfirmedValueWrite>;

// Every operation holds the store's one lock from its first to its last database call and
// never calls out of the store while holding it, so the lock is always the innermost one.
// With the database closed (a failed open) every operation returns its failure value.
class CSqlManagement final {
public:
    // Sort keys of ListDevicesPage and ListScanResults.
    static constexpr int kDeviceSortKeys = 14;  // 0 mac .. 13 ap_status
    static constexpr int kScanSortKeys = 5;     // 0 mac, 1 ssid, 2 channel, 3 secure_mode, 4 signal

    // Receives the translated start-up failure text; the application shows it in a message box.
    using OpenFailureHandler = std::function<void(const std::string& message)>;
    static void SetOpenFailureHandler(OpenFailureHandler handler);

    // The process-wide store in the program directory, created on the first call.
    static CSqlManagement& Instance();

    // A store of its own in `directory` (tests, tools). Deletes a leftover data.mdb there,
    // creates the file with its tables and keeps it open until destruction.
    explicit CSqlManagement(std::string directory);
    ~CSqlManagement();  // closes the connection and deletes data.mdb
    CSqlManagement(const CSqlManagement&) = delete;
    CSqlManagement& operator=(const CSqlManagement&) = delete;

    bool IsOpen() const;
    const std::string& DatabasePath() const { return m_path; }

    // Creates the file and both tables when the file does not exist; false when nothing was
    // created or a statement failed (a failing statement does not stop the next one).
    bool CreateSchema();

    // Up to three attempts, each under the lock; true at the first success.
    bool ExecuteSql(std::string_view sql, std::initializer_list<SqlValue> params = {});

    // One page of devices in sort order (key 0..13; ties by insertion order). Appends the page's
    // records to `list`, sets `pageCount`, adds the number of all matching devices whose status
    // is not 0 to `onlineCount`. A non-empty `search` keeps devices that hold it as a substring
    // (ASCII case ignored) in name, IP, MAC, SSID, version, channel, tx power or a stored
    // status/mode/model/feature/up-time text. False (outputs untouched) when the query fails.
    bool ListDevicesPage(int sortKey, std::vector<ap_info_stu>& list, int& pageCount, int& onlineCount,
                         int pageSize, int pageNumber, bool ascending, std::string_view search);
    // The same results by reading every matching row; the reference for ListDevicesPage.
    bool ListDevicesPageReadAll(int sortKey, std::vector<ap_info_stu>& list, int& pageCount, int& onlineCount,
                                int pageSize, int pageNumber, bool ascending, std::string_view search);

    bool GetAllIps(std::vector<std::string>& ips);    // appends, in insertion order
    bool GetAllMacs(std::vector<std::string>& macs);  // appends, in insertion order

    // Zeroes `record` and fills it from the device's row (an empty MAC takes the first row).
    // Returns the row's ap_type, 0 when there is no row.
    uint32_t GetDevice(ap_info_stu& record, std::string_view mac);

    // Inserts or updates the device's row by MAC; the stored status is always 1 (Online).
    // A record without a MAC text is refused.
    bool SaveDevice(const ap_info_stu& record);
    bool UpdateUptime(std::string_view mac, std::string_view ip, uint32_t upTime);
    bool SetDeviceStatus(std::string_view mac, uint32_t status);
    bool StartUpgradeStatus(std::string_view mac);   // Upgrade wait (6) -> Upgrading (7)
    bool ClearUpgradeFail(std::string_view mac);     // Upgrade fail (9) -> Online (1)
    bool IsUpgradeWaiting(std::string_view mac);     // stored status is 6
    uint32_t GetDeviceStatus(std::string_view mac);  // 0 when there is no row
    // True when a Station (work mode 2) is bridged to this device's wireless MAC.
    bool HasBridgedStation(std::string_view mac);
    // The other end of the device's bridge; `peerMac` is untouched when there is none.
    bool FindBridgePeer(std::string_view mac, std::string& peerMac);
    bool DeleteDevice(std::string_view mac);

    // One field of the device's row (and its text column) as a command the device confirmed
    // set it, without touching the rest of the row. False when the device has no row.
    bool SetDeviceName(std::string_view mac, std::string_view name);  // local text, cut to 32 bytes
    bool SetTransparentBridgeValue(std::string_view mac, uint32_t value);
    bool SetKelvraValue(std::string_view mac, uint32_t value);
    // The writes in order, in one transaction under one hold of the lock: a reader sees all of
    // them or none. Returns how many succeeded.
    size_t ApplyWrites(std::span<const StoreWrite> writes);

    // One row per access-point MAC; a later page overwrites the row of an access point seen again.
    bool SaveScanPage(const ScanPage& page);
    bool ListScanResults(int sortKey, std::vector<config_otherwl_basic>& list, bool ascending);
    bool GetScanResult(config_otherwl_basic& entry, std::string_view mac);  // zeroes `entry` first
    bool ClearScanResults();

private:
    bool ListPage(bool readAll, int sortKey, std::vector<ap_info_stu>& list, int& pageCount, int& onlineCount,
                  int pageSize, int pageNumber, bool ascending, std::string_view search);
    bool SetStatusWhere(std::string_view mac, int64_t fromStatus, uint32_t status, const std::string& text);

    static void ReportOpenFailure();

    mutable std::recursive_mutex m_lock;
    CADORecordset m_recordset;  // shared by every query, used only under m_lock
    CADODatabase m_database;
    std::string m_path;
    std::string m_connection;
};

}  // namespace pontiq
