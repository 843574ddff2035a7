#include "store/sql_management.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>

#include "store/program_dir.h"
#include "store/value_format.h"

namespace pontiq {

namespace {

constexpr const char* kOpenFailureText = "Failed to open database, unable to get data.";

// The tables, with the original column order and types in SQLite's dialect: an auto-numbered
// ID, CHAR(n) (not padded by this engine: readers trim anyway), long -> INTEGER (64-bit, so
// unsigned 32-bit values such as up_time keep their value), double -> DOUBLE.
constexpr const char* kCreateDeviceTable =
    "CREATE TABLE ap_info(ID INTEGER PRIMARY KEY AUTOINCREMENT,mac CHAR(18),ap_type INTEGER,"
    "ap_type_str CHAR(33),ap_status INTEGER,ap_status_str CHAR(33),work_mode INTEGER,work_mode_str CHAR(33),"
    "mode_btn_status INTEGER,up_time INTEGER,up_time_str CHAR(33),ip_mode INTEGER,ip_num DOUBLE,ip CHAR(16),"
    "ip_mask CHAR(16),ip_gateway CHAR(16),ip_dns1 CHAR(16),ip_dns2 CHAR(16),ap_name CHAR(33),version "
    "CHAR(33))";

// The engine adds one column per ALTER TABLE; each group is one statement of the original schema.
constexpr const char* kDeviceColumnGroups[] = {
    "restart_en INTEGER,restart_type INTEGER,restart_time INTEGER",
    "rf_count INTEGER,rf_en INTEGER,rf_type INTEGER,country_code INTEGER,network_mode INTEGER,bandwidth "
    "INTEGER,"
    "channel INTEGER,expand_channel INTEGER,tx_power INTEGER,tx_power_min INTEGER,tx_power_max INTEGER",
    "ssid_count INTEGER,ssid_rf_type INTEGER,ssid_id INTEGER,ssid_hide INTEGER,ssid_mac CHAR(18),ssid "
    "CHAR(33),"
    "secure_mode INTEGER,secure_mode_str CHAR(33),wpapsk_auth_type INTEGER,wpapsk_key_value CHAR(65),"
    "wpapsk_key_time INTEGER,wep_auth_type INTEGER,wep_key_index INTEGER,wep_key_value0 CHAR(65),"
    "wep_key_type0 INTEGER,wep_key_value1 CHAR(65),wep_key_type1 INTEGER,wep_key_value2 CHAR(65),"
    "wep_key_type2 INTEGER,wep_key_value3 CHAR(65),wep_key_type3 INTEGER,wpa_auth_type INTEGER,"
    "wpa_radius_ip CHAR(16),wpa_radius_port INTEGER,wpa_key CHAR(65),wpa_key_time INTEGER",
    "bridge_work_mode INTEGER,bridge_mac CHAR(18),bridge_channel INTEGER,bridge_ssid CHAR(33)",
    "vlan_en INTEGER,vlan_id INTEGER,vlan_id_wlan INTEGER,vlan_id_lan INTEGER",
    "bridge_transparent INTEGER,bridge_transparent_str CHAR(33),tdmaEn INTEGER,tdmaEn_str CHAR(33),"
    "vlan_pvid INTEGER,vlan_id_lan3 INTEGER,vlan_id_lan4 INTEGER,wl_dfs INTEGER,trunk_port INTEGER,"
    "vlan_id_lan2 INTEGER",
};

constexpr const char* kCreateScanTable =
    "CREATE TABLE ap_other_info(ID INTEGER PRIMARY KEY AUTOINCREMENT,packet_count INTEGER,packet_id INTEGER,"
    "icount INTEGER,mac CHAR(18),ssid CHAR(33),signal INTEGER,channel INTEGER,secure_mode INTEGER,"
    "exchannel INTEGER,bandwidth INTEGER)";

// Every lookup is by MAC; the IP order is the lists' usual order.
constexpr const char* kCreateIndexes[] = {
    "CREATE INDEX ap_info_mac ON ap_info(mac)",
    "CREATE INDEX ap_info_ip_num ON ap_info(ip_num)",
    "CREATE INDEX ap_other_info_mac ON ap_other_info(mac)",
};

struct SortColumn {
    const char* name;
    bool text;  // texts sort without regard to ASCII case, as the lists show them
};

constexpr SortColumn kDeviceSortColumns[CSqlManagement::kDeviceSortKeys] = {
    {"mac", true},
    {"ip_num", false},
    {"ap_name", true},
    {"ap_type", false},
    {"work_mode", false},
    {"ssid", true},
    {"channel", false},
    {"secure_mode", false},
    {"tx_power", false},
    {"version", true},
    {"bridge_transparent", false},
    {"tdmaEn", false},
    {"up_time", false},
    {"ap_status", false},
};

constexpr SortColumn kScanSortColumns[CSqlManagement::kScanSortKeys] = {
    {"mac", true}, {"ssid", true}, {"channel", false}, {"secure_mode", false}, {"signal", false},
};

// The fourteen searched columns; the integers are matched by their decimal text. The search
// text is a bound parameter (?1) matched as a plain substring by SearchContains.
constexpr const char* kSearchClause =
    " WHERE pontiq_contains(?1,ap_info.ap_name,ap_info.ip,ap_info.mac,ap_info.ssid,ap_info.version,"
    "ap_info.work_mode_str,CAST(ap_info.channel AS TEXT),ap_info.ap_type_str,CAST(ap_info.tx_power AS TEXT),"
    "ap_info.bridge_transparent_str,ap_info.tdmaEn_str,ap_info.up_time_str,ap_info.ap_status_str,"
    "ap_info.secure_mode_str)";

// "Online" as the record reads ap_status: the low 32 bits of the stored value are not 0.
constexpr const char* kOnlineTerm = "COALESCE(CAST(ap_info.ap_status AS INTEGER) & 4294967295,0)<>0";

unsigned char FoldAscii(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
}

std::string FoldedText(const unsigned char* text, size_t n)
{
    std::string folded(reinterpret_cast<const char*>(text), n);
    for (char& c : folded) c = static_cast<char>(FoldAscii(static_cast<unsigned char>(c)));
    return folded;
}

bool ContainsFolded(const unsigned char* hay, size_t n, std::string_view needle)
{
    if (needle.size() > n) return false;
    const size_t last = n - needle.size();
    for (size_t i = 0; i <= last; ++i) {
        size_t k = 0;
        while (k < needle.size() && FoldAscii(hay[i + k]) == static_cast<unsigned char>(needle[k])) ++k;
        if (k == needle.size()) return true;
    }
    return false;
}

// pontiq_contains(needle, text...): 1 when the needle occurs in one of the texts. Bytes are
// compared one by one with ASCII case folded: no wildcard characters, NUL bytes count, and
// texts in a double-byte local encoding (GBK) are found where LIKE, which walks UTF-8
// characters, loses them.
void SearchContains(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    try {
        if (argc < 1 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
            sqlite3_result_int(context, 0);
            return;
        }
        // The needle is the same for every row of a query: fold it once.
        auto* needle = static_cast<std::string*>(sqlite3_get_auxdata(context, 0));
        std::string local;
        if (!needle) {
            const unsigned char* text = sqlite3_value_text(argv[0]);
            local = FoldedText(text, text ? static_cast<size_t>(sqlite3_value_bytes(argv[0])) : 0);
            sqlite3_set_auxdata(context, 0, new std::string(local),
                                [](void* p) { delete static_cast<std::string*>(p); });
            needle = &local;
        }
        for (int i = 1; i < argc; ++i) {
            if (sqlite3_value_type(argv[i]) == SQLITE_NULL) continue;
            const unsigned char* text = sqlite3_value_text(argv[i]);
            const size_t n = static_cast<size_t>(sqlite3_value_bytes(argv[i]));
            if (text && ContainsFolded(text, n, *needle)) {
                sqlite3_result_int(context, 1);
                return;
            }
        }
        sqlite3_result_int(context, 0);
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(context);
    }
}

std::string_view Trim(std::string_view text)
{
    constexpr std::string_view kBlanks = " \t\r\n\v\f";
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool IsUnknownMac(std::string_view text)
{
    const auto bytes = MacToBytes(text);
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

std::string OrderBy(const SortColumn& column, const char* table, bool ascending)
{
    const char* direction = ascending ? " ASC" : " DESC";
    std::string order = " ORDER BY ";
    order.append(table).append(column.name);
    if (column.text) order.append(" COLLATE NOCASE");
    order.append(direction).append(",").append(table).append("ID").append(direction);
    return order;
}

// Closes the shared recordset when an operation leaves, on every path.
class RecordsetScope {
public:
    explicit RecordsetScope(CADORecordset& recordset) : m_recordset(recordset) {}
    ~RecordsetScope() { m_recordset.Close(); }
    RecordsetScope(const RecordsetScope&) = delete;
    RecordsetScope& operator=(const RecordsetScope&) = delete;

private:
    CADORecordset& m_recordset;
};

int64_t IntField(CADORecordset& rs, std::string_view column)
{
    int64_t value = 0;
    rs.GetFieldValue(column, value);
    return value;
}

uint8_t U8(CADORecordset& rs, std::string_view column)
{
    return static_cast<uint8_t>(IntField(rs, column));
}
uint16_t U16(CADORecordset& rs, std::string_view column)
{
    return static_cast<uint16_t>(IntField(rs, column));
}
uint32_t U32(CADORecordset& rs, std::string_view column)
{
    return static_cast<uint32_t>(IntField(rs, column));
}

std::string TextField(CADORecordset& rs, std::string_view column)
{
    std::string text;
    rs.GetFieldValue(column, text);
    return std::string(Trim(text));
}

template <size_t N>
uint8_t ReadText(CADORecordset& rs, std::string_view column, char (&field)[N])
{
    return SetFieldText(field, TextField(rs, column));
}

void ReadIp(CADORecordset& rs, std::string_view column, uint8_t (&field)[4])
{
    const auto bytes = IpToBytes(TextField(rs, column));
    std::copy(bytes.begin(), bytes.end(), field);
}

void ReadMac(CADORecordset& rs, std::string_view column, uint8_t (&field)[6])
{
    const auto bytes = MacToBytes(TextField(rs, column));
    std::copy(bytes.begin(), bytes.end(), field);
}

// A stored row back into a record. The _str columns, ip_num and the bridge columns are not
// read: in a record from the store those fields stay zero.
void ReadDevice(CADORecordset& rs, ap_info_stu& r)
{
    std::memset(&r, 0, sizeof(r));
    SetCText(r.mac, TextField(rs, "mac"));
    r.ap_type = U16(rs, "ap_type");
    r.ap_status = U32(rs, "ap_status");
    r.work_mode = U8(rs, "work_mode");
    r.mode_btn_status = U8(rs, "mode_btn_status");
    r.up_time = U32(rs, "up_time");

    IP_BLOCK& ip = r.ip_block;
    ip.ip_mode = U8(rs, "ip_mode");
    ReadIp(rs, "ip", ip.ip);
    ReadIp(rs, "ip_mask", ip.ip_mask);
    ReadIp(rs, "ip_gateway", ip.ip_gateway);
    ReadIp(rs, "ip_dns1", ip.ip_dns1);
    ReadIp(rs, "ip_dns2", ip.ip_dns2);
    r.ap_name_len = ReadText(rs, "ap_name", r.ap_name);
    r.version_len = ReadText(rs, "version", r.version);

    r.reboot_block.restart_en = U8(rs, "restart_en");
    r.reboot_block.restart_type = U8(rs, "restart_type");
    r.reboot_block.restart_time = U16(rs, "restart_time");

    RADIO_BLOCK& radio = r.radio_block;
    radio.rf_count = U8(rs, "rf_count");
    radio.rf_en = U8(rs, "rf_en");
    radio.rf_type = U8(rs, "rf_type");
    radio.country_code = U8(rs, "country_code");
    radio.network_mode = U8(rs, "network_mode");
    radio.bandwidth = U8(rs, "bandwidth");
    radio.channel = U8(rs, "channel");
    radio.expand_channel = U8(rs, "expand_channel");
    radio.tx_power = U8(rs, "tx_power");
    radio.tx_power_min = U8(rs, "tx_power_min");
    radio.tx_power_max = U8(rs, "tx_power_max");
    radio.ssid_rf_type = U8(rs, "ssid_rf_type");

    SECURITY_BLOCK& s = radio.security;
    s.ssid_count = U8(rs, "ssid_count");
    s.ssid_id = U8(rs, "ssid_id");
    s.ssid_hide = U8(rs, "ssid_hide");
    ReadMac(rs, "ssid_mac", s.ssid_mac);
    s.ssid_len = ReadText(rs, "ssid", s.ssid);
    s.secure_mode = U8(rs, "secure_mode");
    s.wpapsk_auth_type = U8(rs, "wpapsk_auth_type");
    s.wpapsk_key_value_len = ReadText(rs, "wpapsk_key_value", s.wpapsk_key_value);
    s.wpapsk_key_time = U32(rs, "wpapsk_key_time");
    s.wep_auth_type = U8(rs, "wep_auth_type");
    s.wep_key_index = U8(rs, "wep_key_index");
    static constexpr const char* kWepValue[4] = {"wep_key_value0", "wep_key_value1", "wep_key_value2",
                                                 "wep_key_value3"};
    static constexpr const char* kWepType[4] = {"wep_key_type0", "wep_key_type1", "wep_key_type2",
                                                "wep_key_type3"};
    for (int k = 0; k < 4; ++k) {
        s.wep_key[k].len = ReadText(rs, kWepValue[k], s.wep_key[k].value);
        s.wep_key[k].type = U8(rs, kWepType[k]);
    }
    s.wpa_auth_type = U8(rs, "wpa_auth_type");
    ReadIp(rs, "wpa_radius_ip", s.wpa_radius_ip);
    s.wpa_radius_port = U16(rs, "wpa_radius_port");
    s.wpa_key_len = ReadText(rs, "wpa_key", s.wpa_key);
    s.wpa_key_time = U32(rs, "wpa_key_time");

    VLAN_BLOCK& vlan = r.vlan_block;
    vlan.vlan_en = U8(rs, "vlan_en");
    vlan.vlan_id = U16(rs, "vlan_id");
    vlan.vlan_id_wlan = U16(rs, "vlan_id_wlan");
    vlan.vlan_id_lan = U16(rs, "vlan_id_lan");

    EXTENSION_BLOCK& ext = r.extension_block;
    ext.bridge_transparent = U8(rs, "bridge_transparent");
    ext.tdmaEn = U8(rs, "tdmaEn");
    ext.vlan_pvid = U16(rs, "vlan_pvid");
    ext.vlan_id_lan3 = U16(rs, "vlan_id_lan3");
    ext.vlan_id_lan4 = U16(rs, "vlan_id_lan4");
    ext.wl_dfs = U8(rs, "wl_dfs");
    ext.trunk_port = U8(rs, "trunk_port");
    ext.vlan_id_lan2 = U16(rs, "vlan_id_lan2");
}

void ReadScanEntry(CADORecordset& rs, config_otherwl_basic& e)
{
    std::memset(&e, 0, sizeof(e));
    ReadMac(rs, "mac", e.mac);
    e.ssid_len = ReadText(rs, "ssid", e.ssid);
    e.channel = U8(rs, "channel");
    e.secure_mode = U8(rs, "secure_mode");
    e.signal = static_cast<int8_t>(IntField(rs, "signal"));
    e.exchannel = U8(rs, "exchannel");
    e.bandwidth = U8(rs, "bandwidth");
}

// Every text SaveDevice writes, computed before the lock: the value texts may call into the
// application's language lookup.
struct DeviceTexts {
    explicit DeviceTexts(const ap_info_stu& r)
        : mac(CText(r.mac)),
          apType(ModelName(r.ap_type)),
          status(StatusText(STATUS_ONLINE)),
          workMode(WorkModeText(r.work_mode)),
          upTime(UptimeText(r.up_time)),
          ip(IpText(r.ip_block.ip)),
          ipMask(IpText(r.ip_block.ip_mask)),
          ipGateway(IpText(r.ip_block.ip_gateway)),
          ipDns1(IpText(r.ip_block.ip_dns1)),
          ipDns2(IpText(r.ip_block.ip_dns2)),
          radiusIp(IpText(r.radio_block.security.wpa_radius_ip)),
          ipNumber(IpToNumber(ip)),
          ssidMac(MacText(r.radio_block.security.ssid_mac)),
          bridgeMac(MacText(r.bridge_mac)),
          security(SecurityText(r.radio_block.security.secure_mode)),
          transparentBridge(
              TransparentBridgeText(r.ap_type, r.work_mode, r.extension_block.bridge_transparent)),
          kelvra(KelvraText(r.ap_type, r.extension_block.tdmaEn))
    {
    }

    std::string mac, apType, status, workMode, upTime;
    std::string ip, ipMask, ipGateway, ipDns1, ipDns2, radiusIp;
    uint32_t ipNumber;
    std::string ssidMac, bridgeMac, security, transparentBridge, kelvra;
};

// Guards the handler separately: it is set by the application, read by the constructor.
std::mutex& HandlerLock()
{
    static std::mutex lock;
    return lock;
}

CSqlManagement::OpenFailureHandler& Handler()
{
    static CSqlManagement::OpenFailureHandler handler;
    return handler;
}

bool SaveDeviceRow(CADORecordset& rs, const ap_info_stu& r, const DeviceTexts& t);

}  // namespace

void CSqlManagement::SetOpenFailureHandler(OpenFailureHandler handler)
{
    std::lock_guard lock(HandlerLock());
    Handler() = std::move(handler);
}

void CSqlManagement::ReportOpenFailure()
{
    const std::string message = TranslateText(kOpenFailureText);
    OpenFailureHandler handler;
    {
        std::lock_guard lock(HandlerLock());
        handler = Handler();
    }
    if (handler) handler(message);
}

CSqlManagement& CSqlManagement::Instance()
{
    static CSqlManagement store(ScratchDir());
    return store;
}

CSqlManagement::CSqlManagement(std::string directory) : m_recordset(), m_database()
{
    if (!directory.empty()) {
        if (directory.back() != '/') directory.push_back('/');
        m_path = directory + "data.mdb";
    }
    m_connection = m_path;
    // A leftover of an earlier run is never reused: when it cannot be deleted the store stays closed.
    std::error_code ec;
    if (!m_path.empty()) std::filesystem::remove(m_path, ec);
    if (!m_path.empty() && !ec) {
        CreateSchema();
        std::lock_guard lock(m_lock);
        if (m_database.Open(m_connection)) {
            sqlite3_create_function_v2(m_database.Handle(), "pontiq_contains", -1,
                                       SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                       SearchContains, nullptr, nullptr, nullptr);
            // A file that opens but lacks the tables is as good as none.
            CADORecordset probe(&m_database);
            if (!probe.Open("SELECT ID FROM ap_info LIMIT 0") ||
                !probe.Open("SELECT ID FROM ap_other_info LIMIT 0")) {
                probe.Close();
                m_database.Close();
            }
        }
    }
    m_recordset.SetConnection(&m_database);
    if (!IsOpen()) ReportOpenFailure();  // no lock held: the handler shows a window
}

CSqlManagement::~CSqlManagement()
{
    std::lock_guard lock(m_lock);
    m_recordset.Close();
    m_database.Close();
    if (!m_path.empty()) {
        std::error_code ec;
        std::filesystem::remove(m_path, ec);
    }
}

bool CSqlManagement::IsOpen() const
{
    std::lock_guard lock(m_lock);
    return m_database.IsOpen();
}

bool CSqlManagement::CreateSchema()
{
    std::lock_guard lock(m_lock);
    std::error_code ec;
    if (m_path.empty() || std::filesystem::exists(m_path, ec) || ec) return false;
    if (!CADODatabase::CreateDatabase(m_connection) || !m_database.Open(m_connection)) {
        m_database.Close();
        return false;
    }
    bool all = ExecuteSql(kCreateDeviceTable);
    for (const char* group : kDeviceColumnGroups) {
        std::string_view columns = group;
        while (!columns.empty()) {
            const size_t comma = columns.find(',');
            std::string sql = "ALTER TABLE ap_info ADD COLUMN ";
            sql.append(columns.substr(0, comma));
            all = ExecuteSql(sql) && all;
            columns = comma == std::string_view::npos ? std::string_view() : columns.substr(comma + 1);
        }
    }
    all = ExecuteSql(kCreateScanTable) && all;
    for (const char* index : kCreateIndexes) all = ExecuteSql(index) && all;
    m_database.Close();
    return all;
}

bool CSqlManagement::ExecuteSql(std::string_view sql, std::initializer_list<SqlValue> params)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::lock_guard lock(m_lock);
        if (m_database.IsOpen() && m_database.Execute(sql, params)) return true;
    }
    return false;
}

bool CSqlManagement::ListDevicesPage(int sortKey, std::vector<ap_info_stu>& list, int& pageCount,
                                     int& onlineCount, int pageSize, int pageNumber, bool ascending,
                                     std::string_view search)
{
    return ListPage(false, sortKey, list, pageCount, onlineCount, pageSize, pageNumber, ascending, search);
}

bool CSqlManagement::ListDevicesPageReadAll(int sortKey, std::vector<ap_info_stu>& list, int& pageCount,
                                            int& onlineCount, int pageSize, int pageNumber, bool ascending,
                                            std::string_view search)
{
    return ListPage(true, sortKey, list, pageCount, onlineCount, pageSize, pageNumber, ascending, search);
}

bool CSqlManagement::ListPage(bool readAll, int sortKey, std::vector<ap_info_stu>& list, int& pageCount,
                              int& onlineCount, int pageSize, int pageNumber, bool ascending,
                              std::string_view search)
{
    if (sortKey < 0 || sortKey >= kDeviceSortKeys || pageSize < 1) return false;
    const std::string where = search.empty() ? std::string() : kSearchClause;
    const std::string order = OrderBy(kDeviceSortColumns[sortKey], "ap_info.", ascending);
    const int64_t first = (int64_t{pageNumber} - 1) * pageSize;
    const int64_t end = int64_t{pageNumber} * pageSize;

    std::lock_guard lock(m_lock);
    if (!m_database.IsOpen()) return false;
    CADORecordset& rs = m_recordset;
    RecordsetScope scope(rs);
    int64_t rows = 0;
    int64_t online = 0;
    std::vector<ap_info_stu> page;

    if (readAll) {
        // Every matching row is read; the online count covers them all, the page keeps its slice.
        const std::string sql = "SELECT * FROM ap_info" + where + order;
        if (!(search.empty() ? rs.Open(sql) : rs.Open(sql, {search}))) return false;
        rows = rs.GetRecordCount();
        if (rows < 0) return false;
        ap_info_stu record;
        for (int64_t i = 0; i < rows && !rs.IsEOF(); ++i) {
            ReadDevice(rs, record);
            if (record.ap_status != 0) ++online;
            if (i >= first && i < end) page.push_back(record);
            if (!rs.MoveNext()) return false;
        }
    } else {
        // The counts over all matching rows, then only the page's rows: same results, far fewer reads.
        const std::string count = std::string("SELECT COUNT(*) AS row_count,TOTAL(") + kOnlineTerm +
                                  ") AS online_count FROM ap_info" + where;
        if (!(search.empty() ? rs.Open(count) : rs.Open(count, {search})) || rs.IsEOF()) return false;
        rows = IntField(rs, "row_count");
        online = IntField(rs, "online_count");
        if (pageNumber >= 1 && first < rows) {
            // Sorting only IDs keeps the sort narrow; the outer query fetches the page's rows.
            const std::string limit = search.empty() ? " LIMIT ?1 OFFSET ?2" : " LIMIT ?2 OFFSET ?3";
            const std::string sql = "SELECT * FROM ap_info WHERE ID IN (SELECT ID FROM ap_info" + where +
                                    order + limit + ")" + order;
            const bool opened = search.empty() ? rs.Open(sql, {int64_t{pageSize}, first})
                                               : rs.Open(sql, {search, int64_t{pageSize}, first});
            if (!opened) return false;
            ap_info_stu record;
            while (!rs.IsEOF()) {
                ReadDevice(rs, record);
                page.push_back(record);
                if (!rs.MoveNext()) return false;
            }
        }
    }
    list.insert(list.end(), page.begin(), page.end());
    pageCount = static_cast<int>(rows / pageSize + (rows % pageSize ? 1 : 0));
    onlineCount += static_cast<int>(online);
    return true;
}

bool CSqlManagement::GetAllIps(std::vector<std::string>& ips)
{
    std::lock_guard lock(m_lock);
    if (!m_database.IsOpen()) return false;
    RecordsetScope scope(m_recordset);
    if (!m_recordset.Open("SELECT ip FROM ap_info ORDER BY ID")) return false;
    for (; !m_recordset.IsEOF(); m_recordset.MoveNext()) ips.push_back(TextField(m_recordset, "ip"));
    return true;
}

bool CSqlManagement::GetAllMacs(std::vector<std::string>& macs)
{
    std::lock_guard lock(m_lock);
    if (!m_database.IsOpen()) return false;
    RecordsetScope scope(m_recordset);
    if (!m_recordset.Open("SELECT mac FROM ap_info ORDER BY ID")) return false;
    for (; !m_recordset.IsEOF(); m_recordset.MoveNext()) macs.push_back(TextField(m_recordset, "mac"));
    return true;
}

uint32_t CSqlManagement::GetDevice(ap_info_stu& record, std::string_view mac)
{
    std::memset(&record, 0, sizeof(record));
    std::lock_guard lock(m_lock);
    if (!m_database.IsOpen()) return 0;
    RecordsetScope scope(m_recordset);
    const bool opened = mac.empty()
                            ? m_recordset.Open("SELECT * FROM ap_info ORDER BY ID LIMIT 1")
                            : m_recordset.Open("SELECT * FROM ap_info WHERE mac=?1 ORDER BY ID", {mac});
    if (!opened || m_recordset.IsEOF()) return 0;
    ReadDevice(m_recordset, record);
    return record.ap_type;
}

bool CSqlManagement::SaveDevice(const ap_info_stu& r)
{
    const DeviceTexts t(r);
    // A row without a MAC text could never be found, updated or deleted again.
    if (t.mac.empty()) return false;
    std::lock_guard lock(m_lock);
    if (!m_database.IsOpen()) return false;
    return SaveDeviceRow(m_recordset, r, t);
}

namespace {

bool SaveDeviceRow(CADORecordset& rs, const ap_info_stu& r, const DeviceTexts& t)
{
    const RADIO_BLOCK& radio = r.radio_block;
    const SECURITY_BLOCK& s = radio.security;
    RecordsetScope scope(rs);
    // Only the row's ID is needed to update it.
    if (!rs.Open("SELECT ID FROM ap_info WHERE mac=?1 ORDER BY ID", {std::string_view(t.mac)})) return false;
    if (!(rs.IsEOF() ? rs.AddNew("ap_info") : rs.Edit("ap_info"))) return false;

    rs.SetFieldValue("mac", t.mac);
    rs.SetFieldValue("ap_type", r.ap_type);
    rs.SetFieldValue("ap_type_str", t.apType);
    rs.SetFieldValue("ap_status", uint32_t{STATUS_ONLINE});  // whatever the record holds
    rs.SetFieldValue("ap_status_str", t.status);
    rs.SetFieldValue("work_mode", r.work_mode);
    rs.SetFieldValue("work_mode_str", t.workMode);
    rs.SetFieldValue("mode_btn_status", r.mode_btn_status);
    rs.SetFieldValue("up_time", r.up_time);
    rs.SetFieldValue("up_time_str", t.upTime);
    rs.SetFieldValue("ip_mode", r.ip_block.ip_mode);
    rs.SetFieldValue("ip_num", static_cast<double>(t.ipNumber));  // exact: a double holds any uint32
    rs.SetFieldValue("ip", t.ip);
    rs.SetFieldValue("ip_mask", t.ipMask);
    rs.SetFieldValue("ip_gateway", t.ipGateway);
    rs.SetFieldValue("ip_dns1", t.ipDns1);
    rs.SetFieldValue("ip_dns2", t.ipDns2);
    rs.SetFieldValue("ap_name", FieldText(r.ap_name, r.ap_name_len));
    rs.SetFieldValue("version", FieldText(r.version, r.version_len));
    rs.SetFieldValue("restart_en", r.reboot_block.restart_en);
    rs.SetFieldValue("restart_type", r.reboot_block.restart_type);
    rs.SetFieldValue("restart_time", r.reboot_block.restart_time);
    rs.SetFieldValue("rf_count", radio.rf_count);
    rs.SetFieldValue("rf_en", radio.rf_en);
    rs.SetFieldValue("rf_type", radio.rf_type);
    rs.SetFieldValue("country_code", radio.country_code);
    rs.SetFieldValue("network_mode", radio.network_mode);
    rs.SetFieldValue("bandwidth", radio.bandwidth);
    rs.SetFieldValue("channel", radio.channel);
    rs.SetFieldValue("expand_channel", radio.expand_channel);
    rs.SetFieldValue("tx_power", radio.tx_power);
    rs.SetFieldValue("tx_power_min", radio.tx_power_min);
    rs.SetFieldValue("tx_power_max", radio.tx_power_max);
    rs.SetFieldValue("ssid_count", s.ssid_count);
    rs.SetFieldValue("ssid_rf_type", radio.ssid_rf_type);
    rs.SetFieldValue("ssid_id", s.ssid_id);
    rs.SetFieldValue("ssid_hide", s.ssid_hide);
    rs.SetFieldValue("ssid_mac", t.ssidMac);
    rs.SetFieldValue("ssid", FieldText(s.ssid, s.ssid_len));
    rs.SetFieldValue("secure_mode", s.secure_mode);
    rs.SetFieldValue("secure_mode_str", t.security);
    rs.SetFieldValue("wpapsk_auth_type", s.wpapsk_auth_type);
    rs.SetFieldValue("wpapsk_key_value", FieldText(s.wpapsk_key_value, s.wpapsk_key_value_len));
    rs.SetFieldValue("wpapsk_key_time", uint32_t{s.wpapsk_key_time});
    rs.SetFieldValue("wep_auth_type", s.wep_auth_type);
    rs.SetFieldValue("wep_key_index", s.wep_key_index);
    rs.SetFieldValue("wep_key_value0", FieldText(s.wep_key[0].value, s.wep_key[0].len));
    rs.SetFieldValue("wep_key_type0", s.wep_key[0].type);
    rs.SetFieldValue("wep_key_value1", FieldText(s.wep_key[1].value, s.wep_key[1].len));
    rs.SetFieldValue("wep_key_type1", s.wep_key[1].type);
    rs.SetFieldValue("wep_key_value2", FieldText(s.wep_key[2].value, s.wep_key[2].len));
    rs.SetFieldValue("wep_key_type2", s.wep_key[2].type);
    rs.SetFieldValue("wep_key_value3", FieldText(s.wep_key[3].value, s.wep_key[3].len));
    rs.SetFieldValue("wep_key_type3", s.wep_key[3].type);
    rs.SetFieldValue("wpa_auth_type", s.wpa_auth_type);
    rs.SetFieldValue("wpa_radius_ip", t.radiusIp);
    rs.SetFieldValue("wpa_radius_port", s.wpa_radius_port);
    rs.SetFieldValue("wpa_key", FieldText(s.wpa_key, s.wpa_key_len));
    rs.SetFieldValue("wpa_key_time", uint32_t{s.wpa_key_time});
    // Written for the bridge queries; never read back into a record.
    rs.SetFieldValue("bridge_mac", t.bridgeMac);
    rs.SetFieldValue("bridge_work_mode", r.bridge_work_mode);
    rs.SetFieldValue("bridge_channel", r.bridge_channel);
    rs.SetFieldValue("bridge_ssid", FieldText(r.bridge_ssid, r.bridge_ssid_len));
    rs.SetFieldValue("vlan_en", r.vlan_block.vlan_en);
    rs.SetFieldValue("vlan_id", r.vlan_block.vlan_id);
    rs.SetFieldValue("vlan_id_wlan", r.vlan_block.vlan_id_wlan);
    rs.SetFieldValue("vlan_id_lan", r.vlan_block.vlan_id_lan);
    const EXTENSION_BLOCK& ext = r.extension_block;
    rs.SetFieldValue("bridge_transparent", ext.bridge_transparent);
    rs.SetFieldValue("bridge_transparent_str", t.transparentBridge);
    rs.SetFieldValue("tdmaEn", ext.tdmaEn);
    rs.SetFieldValue("tdmaEn_str", t.kelvra);
    rs.SetFieldValue("vlan_pvid", ext.vlan_pvid);
    rs.SetFieldValue("vlan_id_lan3", ext.vlan_id_lan3);
    rs.SetFieldValue("vlan_id_lan4", ext.vlan_id_lan4);
    rs.SetFieldValue("wl_dfs", ext.wl_dfs);
    rs.SetFieldValue("trunk_port", ext.trunk_port);
    rs.SetFieldValue("vlan_id_lan2", ext.vlan_id_lan2);
    return rs.Update();
}

bool UptimeRow(CADORecordset& rs, std::string_view mac, std::string_view ip, uint32_t upTime,
               const std::string& upTimeText, double ipNumber)
{
    RecordsetScope scope(rs);
    if (!rs.Open("SELECT ID,ip FROM ap_info WHERE mac=?1 ORDER BY ID", {mac}) || rs.IsEOF()) return false;
    // Heartbeats nearly always bring the known address; leaving it out then spares the index.
    const bool sameIp = TextField(rs, "ip") == ip;
    if (!rs.Edit("ap_info")) return false;
    rs.SetFieldValue("up_time", upTime);
    rs.SetFieldValue("up_time_str", upTimeText);
    if (!sameIp) {
        rs.SetFieldValue("ip", ip);
        rs.SetFieldValue("ip_num", ipNumber);
    }
    return rs.Update();
}

}  // namespace

bool CSqlManagement::UpdateUptime(std::string_view mac, std::string_view ip, uint32_t upTime)
{
    const std::string upTimeText = UptimeText(upTime);
    const double ipNumber = IpToNumber(ip);
    std::lock_guard lock(m_lock);
    if (!m_database.IsOpen()) return false;
    return UptimeRow(m_recordset, mac, ip, upTime, upTimeText, ipNumber);
}

bool CSqlManagement::SetStatusWhere(std::string_view mac, int64_t fromStatus, uint32_t status,
                                    const std::string& text)
{
    std::lock_guard lock(m_lock);
    if (!m_database.IsOpen()) return false;
    CADORecordset& rs = m_recordset;
    RecordsetScope scope(rs);
    const bool opened =
        fromStatus < 0
            ? rs.Open("SELECT ID FROM ap_info WHERE mac=?1 ORDER BY ID", {mac})
            : rs.Open("SELECT ID FROM ap_info WHERE mac=?1 AND ap_status=?2 ORDER BY ID", {mac, fromStatus});
    if (!opened || rs.IsEOF() || !rs.Edit("ap_info")) return false;
    rs.SetFieldValue("ap_status", status);
    rs.SetFieldValue("ap_status_str", text);
    return rs.Update();
}

bool CSqlManagement::SetDeviceStatus(std::string_view mac, uint32_t status)
{
    return SetStatusWhere(mac, -1, status, StatusText(status));
}

bool CSqlManagement::StartUpgradeStatus(std::string_view mac)
{
    return SetStatusWhere(mac, STATUS_UPGRADE_WAIT, STATUS_UPGRADING, StatusText(STATUS_UPGRADING));
}

bool CSqlManagement::ClearUpgradeFail(std::string_view mac)
{
    return SetStatusWhere(mac, STATUS_UPGRADE_FAIL, STATUS_ONLINE, StatusText(STATUS_ONLINE));
}

bool CSqlManagement::IsUpgradeWaiting(std::string_view mac)
{
    std::lock_guard lock(m_lock);
    if (!m_database.IsOpen()) return false;
    RecordsetScope scope(m_recordset);
    return m_recordset.Open("SELECT ID FROM ap_info WHERE mac=?1 AND ap_status=?2",
                            {mac, int64_t{STATUS_UPGRADE_WAIT}}) &&
           !m_recordset.IsEOF();
}

uint32_t CSqlManagement::GetDeviceStatus(std::string_view mac)
{
    std::lock_guard lock(m_lock);
    if (!m_database.IsOpen()) return 0;
    RecordsetScope scope(m_recordset);
    if (!m_recordset.Open("SELECT ap_status FROM ap_info WHERE mac=?1 ORDER BY ID", {mac}) ||
        m_recordset.IsEOF()) {
        return 0;
    }
    return U32(m_recordset, "ap_status");
}

bool CSqlManagement::HasBridgedStation(std::string_view mac)
{
    std::lock_guard lock(m_lock);
    if (!m_database.IsOpen()) return false;
    CADORecordset& rs = m_recordset;
    RecordsetScope scope(rs);
    if (!rs.Open("SELECT ssid_mac FROM ap_info WHERE mac=?1 ORDER BY ID", {mac}) || rs.IsEOF()) return false;
    const std::string ssidMac = TextField(rs, "ssid_mac");
    // An unknown wireless MAC (all zero) is no bridge end: unpaired stations carry zeros too.
    if (IsUnknownMac(ssidMac)) return false;
    return rs.Open("SELECT mac FROM ap_info WHERE work_mode=?1 AND bridge_mac=?2",
                   {int64_t{2}, std::string_view(ssidMac)}) &&
           !rs.IsEOF();
}

bool CSqlManagement::FindBridgePeer(std::string_view mac, std::string& peerMac)
{
    constexpr int64_t kStation = 2;
    std::lock_guard lock(m_lock);
    if (!m_database.IsOpen()) return false;
    CADORecordset& rs = m_recordset;
    RecordsetScope scope(rs);
    if (!rs.Open("SELECT work_mode,ssid_mac,bridge_mac FROM ap_info WHERE mac=?1 ORDER BY ID", {mac}) ||
        rs.IsEOF()) {
        return false;
    }
    const bool station = IntField(rs, "work_mode") == kStation;
    // A station looks for the access point whose wireless MAC it is bridged to; anything else
    // looks for a station bridged to its own wireless MAC.
    const std::string key = TextField(rs, station ? "bridge_mac" : "ssid_mac");
    if (IsUnknownMac(key)) return false;
    const bool opened =
        station ? rs.Open("SELECT mac FROM ap_info WHERE work_mode<>?1 AND ssid_mac=?2 ORDER BY ID",
                          {kStation, std::string_view(key)})
                : rs.Open("SELECT mac FROM ap_info WHERE work_mode=?1 AND bridge_mac=?2 ORDER BY ID",
                          {kStation, std::string_view(key)});
    if (!opened || rs.IsEOF()) return false;
    peerMac = TextField(rs, "mac");
    return true;
}

bool CSqlManagement::DeleteDevice(std::string_view mac)
{
    return ExecuteSql("DELETE FROM ap_info WHERE mac=?1", {mac});
}

namespace {

struct ScanEntryTexts {
    std::string mac;
    std::string_view ssid;
};

std::vector<ScanEntryTexts> ScanTexts(const ScanPage& page)
{
    const size_t count = std::min<size_t>(page.icount, ScanPage::kMaxEntries);
    std::vector<ScanEntryTexts> texts(count);
    for (size_t k = 0; k < count; ++k) {
        const config_otherwl_basic& e = page.entries[k];
        texts[k] = {MacText(e.mac), FieldText(e.ssid, e.ssid_len)};
    }
    return texts;
}

void ScanPageRows(CADORecordset& rs, const ScanPage& page, const std::vector<ScanEntryTexts>& texts)
{
    RecordsetScope scope(rs);
    for (size_t k = 0; k < texts.size(); ++k) {
        const config_otherwl_basic& e = page.entries[k];
        if (!rs.Open("SELECT ID FROM ap_other_info WHERE mac=?1 ORDER BY ID",
                     {std::string_view(texts[k].mac)})) {
            continue;
        }
        if (!(rs.IsEOF() ? rs.AddNew("ap_other_info") : rs.Edit("ap_other_info"))) continue;
        rs.SetFieldValue("packet_count", page.packet_count);
        rs.SetFieldValue("packet_id", page.packet_id);
        rs.SetFieldValue("icount", page.icount);
        rs.SetFieldValue("mac", texts[k].mac);
        rs.SetFieldValue("ssid", texts[k].ssid);
        rs.SetFieldValue("signal", int32_t{e.signal});
        rs.SetFieldValue("channel", e.channel);
        rs.SetFieldValue("secure_mode", e.secure_mode);
        rs.SetFieldValue("exchannel", e.exchannel);
        rs.SetFieldValue("bandwidth", e.bandwidth);
        rs.Update();  // a failed row is abandoned; the page goes on
        rs.Close();
    }
}

}  // namespace

bool CSqlManagement::SaveScanPage(const ScanPage& page)
{
    const std::vector<ScanEntryTexts> texts = ScanTexts(page);
    std::lock_guard lock(m_lock);
    if (!m_database.IsOpen()) return false;
    ScanPageRows(m_recordset, page, texts);
    return true;
}

size_t CSqlManagement::ApplyWrites(std::span<const StoreWrite> writes)
{
    // Every text first, outside the lock, as the single operations do.
    struct Prepared {
        std::optional<DeviceTexts> device;
        std::string text;
        double number = 0;
        std::vector<ScanEntryTexts> scan;
    };
    std::vector<Prepared> prepared(writes.size());
    for (size_t k = 0; k < writes.size(); ++k) {
        Prepared& p = prepared[k];
        if (const auto* w = std::get_if<SaveDeviceWrite>(&writes[k])) {
            p.device.emplace(w->record);
        } else if (const auto* w = std::get_if<UptimeWrite>(&writes[k])) {
            p.text = UptimeText(w->upTime);
            p.number = IpToNumber(w->ip);
        } else if (const auto* w = std::get_if<StatusWrite>(&writes[k])) {
            p.text = StatusText(w->status);
        } else if (std::holds_alternative<UpgradeStartWrite>(writes[k])) {
            p.text = StatusText(STATUS_UPGRADING);
        } else if (const auto* w = std::get_if<ScanPageWrite>(&writes[k])) {
            p.scan = ScanTexts(w->page);
        }
    }

    std::lock_guard lock(m_lock);
    if (!m_database.IsOpen()) return 0;
    // Without the transaction each row would be a transaction of its own: slower, still correct.
    const bool transaction = m_database.Execute("BEGIN");
    size_t done = 0;
    for (size_t k = 0; k < writes.size(); ++k) {
        const Prepared& p = prepared[k];
        bool ok = false;
        if (const auto* w = std::get_if<SaveDeviceWrite>(&writes[k])) {
            ok = !p.device->mac.empty() && SaveDeviceRow(m_recordset, w->record, *p.device);
        } else if (const auto* w = std::get_if<UptimeWrite>(&writes[k])) {
            ok = UptimeRow(m_recordset, w->mac, w->ip, w->upTime, p.text, p.number);
        } else if (const auto* w = std::get_if<StatusWrite>(&writes[k])) {
            ok = SetStatusWhere(w->mac, -1, w->status, p.text);
        } else if (const auto* w = std::get_if<UpgradeStartWrite>(&writes[k])) {
            ok = SetStatusWhere(w->mac, STATUS_UPGRADE_WAIT, STATUS_UPGRADING, p.text);
        } else if (const auto* w = std::get_if<ScanPageWrite>(&writes[k])) {
            ScanPageRows(m_recordset, w->page, p.scan);
            ok = true;
        } else if (const auto* w = std::get_if<ConfirmedValueWrite>(&writes[k])) {
            switch (w->field) {  // the lock is re-entrant
                case ConfirmedValueWrite::Name:
                    ok = SetDeviceName(w->mac, w->name);
                    break;
                case ConfirmedValueWrite::TransparentBridge:
                    ok = SetTransparentBridgeValue(w->mac, w->value);
                    break;
                case ConfirmedValueWrite::Kelvra:
                    ok = SetKelvraValue(w->mac, w->value);
                    break;
            }
        }
        done += ok ? 1 : 0;
    }
    if (transaction && !m_database.Execute("COMMIT")) m_database.Execute("ROLLBACK");
    return done;
}

bool CSqlManagement::ListScanResults(int sortKey, std::vector<config_otherwl_basic>& list, bool ascending)
{
    if (sortKey < 0 || sortKey >= kScanSortKeys) return false;
    const std::string sql = "SELECT * FROM ap_other_info" + OrderBy(kScanSortColumns[sortKey], "", ascending);
    std::lock_guard lock(m_lock);
    if (!m_database.IsOpen()) return false;
    RecordsetScope scope(m_recordset);
    if (!m_recordset.Open(sql)) return false;
    std::vector<config_otherwl_basic> rows;
    config_otherwl_basic entry;
    for (; !m_recordset.IsEOF(); m_recordset.MoveNext()) {
        ReadScanEntry(m_recordset, entry);
        rows.push_back(entry);
    }
    list.insert(list.end(), rows.begin(), rows.end());
    return true;
}

bool CSqlManagement::GetScanResult(config_otherwl_basic& entry, std::string_view mac)
{
    std::memset(&entry, 0, sizeof(entry));
    std::lock_guard lock(m_lock);
    if (!m_database.IsOpen()) return false;
    RecordsetScope scope(m_recordset);
    if (!m_recordset.Open("SELECT * FROM ap_other_info WHERE mac=?1 ORDER BY ID", {mac}) ||
        m_recordset.IsEOF()) {
        return false;
    }
    ReadScanEntry(m_recordset, entry);
    return true;
}

bool CSqlManagement::ClearScanResults()
{
    return ExecuteSql("DELETE FROM ap_other_info");
}

}  // namespace pontiq
