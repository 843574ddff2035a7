// The database file's life cycle, its schema, the failed open and the two wrappers.
#include <gtest/gtest.h>

#include <fstream>

#include "store/ado_database.h"
#include "store/program_dir.h"
#include "tests/store/sql_test_support.h"

namespace pontiq::test {
namespace {

bool Exists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

TEST(SqlLifecycle, FileExistsForTheRunAndIsDeletedAtExit)
{
    TempDir dir;
    const std::string path = dir.File("data.mdb");
    {
        CSqlManagement store(dir.path());
        EXPECT_TRUE(store.IsOpen());
        EXPECT_EQ(store.DatabasePath(), path);
        EXPECT_TRUE(Exists(path));
        EXPECT_TRUE(store.SaveDevice(MakeDevice(1)));
        // Normal locking: another process can read the tables while the store is open.
        OutsideReader reader(path);
        ASSERT_TRUE(reader.ok());
        EXPECT_EQ(reader.One("SELECT mac, ap_status FROM ap_info"), MacOf(1) + "|1");
    }
    EXPECT_FALSE(Exists(path));
    EXPECT_FALSE(Exists(path + "-journal"));
}

TEST(SqlLifecycle, LeftoverFileIsReplacedAndItsRowsNeverAppear)
{
    struct Case {
        const char* name;
        bool sqlite;  // a database of an earlier run, or any other bytes
    };
    for (const Case c : {Case{"earlier run", true}, Case{"foreign bytes", false}}) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.File("data.mdb");
        if (c.sqlite) {
            sqlite3* db = nullptr;
            ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
            ASSERT_EQ(sqlite3_exec(db,
                                   "CREATE TABLE ap_info(ID INTEGER PRIMARY KEY, mac CHAR(18), ip CHAR(16));"
                                   "INSERT INTO ap_info(mac, ip) VALUES('aa:aa:aa:aa:aa:aa', '1.2.3.4');",
                                   nullptr, nullptr, nullptr),
                      SQLITE_OK);
            sqlite3_close(db);
        } else {
            std::ofstream(path) << "Standard Jet DB, not ours";
        }
        CSqlManagement store(dir.path());
        ASSERT_TRUE(store.IsOpen());
        std::vector<std::string> macs;
        EXPECT_TRUE(store.GetAllMacs(macs));
        EXPECT_TRUE(macs.empty());
        ap_info_stu record;
        EXPECT_EQ(store.GetDevice(record, "aa:aa:aa:aa:aa:aa"), 0u);
        EXPECT_TRUE(store.SaveDevice(MakeDevice(2)));
        EXPECT_NE(store.GetDevice(record, MacOf(2)), 0u);
    }
}

// Every operation of a store whose database did not open: failure values, outputs untouched.
void ExpectEveryOperationFails(CSqlManagement& store)
{
    EXPECT_FALSE(store.IsOpen());
    EXPECT_FALSE(store.ExecuteSql("SELECT 1"));
    std::vector<ap_info_stu> list;
    int pages = -7;
    int online = 0;
    EXPECT_FALSE(store.ListDevicesPage(1, list, pages, online, 30, 1, true, ""));
    EXPECT_FALSE(store.ListDevicesPageReadAll(1, list, pages, online, 30, 1, true, "x"));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(pages, -7);
    EXPECT_EQ(online, 0);
    std::vector<std::string> texts;
    EXPECT_FALSE(store.GetAllIps(texts));
    EXPECT_FALSE(store.GetAllMacs(texts));
    EXPECT_TRUE(texts.empty());
    ap_info_stu record = MakeDevice(1);
    EXPECT_EQ(store.GetDevice(record, MacOf(1)), 0u);
    EXPECT_FALSE(store.SaveDevice(MakeDevice(1)));
    EXPECT_FALSE(store.UpdateUptime(MacOf(1), "10.0.0.2", 5));
    EXPECT_FALSE(store.SetDeviceStatus(MacOf(1), 4));
    EXPECT_FALSE(store.StartUpgradeStatus(MacOf(1)));
    EXPECT_FALSE(store.ClearUpgradeFail(MacOf(1)));
    EXPECT_FALSE(store.IsUpgradeWaiting(MacOf(1)));
    EXPECT_EQ(store.GetDeviceStatus(MacOf(1)), 0u);
    EXPECT_FALSE(store.HasBridgedStation(MacOf(1)));
    std::string peer = "untouched";
    EXPECT_FALSE(store.FindBridgePeer(MacOf(1), peer));
    EXPECT_EQ(peer, "untouched");
    EXPECT_FALSE(store.DeleteDevice(MacOf(1)));
    ScanPage page;
    page.icount = 1;
    EXPECT_FALSE(store.SaveScanPage(page));
    std::vector<config_otherwl_basic> scans;
    EXPECT_FALSE(store.ListScanResults(0, scans, true));
    EXPECT_TRUE(scans.empty());
    config_otherwl_basic entry{};
    EXPECT_FALSE(store.GetScanResult(entry, "00:00:00:00:00:01"));
    EXPECT_FALSE(store.ClearScanResults());
}

TEST(SqlLifecycle, FailedOpenIsReportedOnceAndEveryOperationFailsQuietly)
{
    TempDir dir;
    std::ofstream(dir.File("plain-file")) << "x";
    struct Case {
        const char* name;
        std::string directory;
        std::function<void()> prepare;
    };
    const Case cases[] = {
        // Tests run as root, so only a path that cannot exist is certain to fail.
        {"directory under a regular file", dir.File("plain-file") + "/sub", [] {}},
        // A leftover that cannot be deleted must not be reused.
        {"undeletable leftover", dir.File("busy"),
         [&] { std::filesystem::create_directories(dir.File("busy") + "/data.mdb/inner"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        std::vector<std::string> reports;
        FailureHandlerScope handler([&](const std::string& message) { reports.push_back(message); });
        {
            CSqlManagement store(c.directory);
            ASSERT_EQ(reports.size(), 1u);
            EXPECT_EQ(reports[0], TranslateText("Failed to open database, unable to get data."));
            ExpectEveryOperationFails(store);
        }
        EXPECT_EQ(reports.size(), 1u);
    }
    EXPECT_TRUE(Exists(dir.File("busy") + "/data.mdb/inner"));  // nothing of the leftover was removed
}

TEST(SqlLifecycle, NoReportWithoutAFailure)
{
    TempDir dir;
    int reports = 0;
    FailureHandlerScope handler([&](const std::string&) { ++reports; });
    CSqlManagement store(dir.path());
    EXPECT_TRUE(store.IsOpen());
    EXPECT_EQ(reports, 0);
}

TEST(SqlLifecycle, InstanceLivesInTheProgramDirectory)
{
    CSqlManagement& store = CSqlManagement::Instance();
    EXPECT_EQ(&store, &CSqlManagement::Instance());
    EXPECT_EQ(store.DatabasePath(), ProgramDir() + "data.mdb");
    EXPECT_TRUE(store.IsOpen());
}

TEST(SqlSchema, TablesKeepTheirColumnsInOrderWithTheirTypes)
{
    TempDir dir;
    CSqlManagement store(dir.path());
    OutsideReader reader(store.DatabasePath());
    ASSERT_TRUE(reader.ok());
    const auto columns = [&](const std::string& table) {
        std::string text;
        for (const std::string& row :
             reader.Rows("SELECT name, type FROM pragma_table_info('" + table + "')")) {
            text += row + ",";
        }
        return text;
    };
    const std::string I = "INTEGER", T18 = "CHAR(18)", T16 = "CHAR(16)", T33 = "CHAR(33)", T65 = "CHAR(65)";
    std::string expected;
    const std::vector<std::pair<std::string, std::string>> device = {
        {"ID", I},
        {"mac", T18},
        {"ap_type", I},
        {"ap_type_str", T33},
        {"ap_status", I},
        {"ap_status_str", T33},
        {"work_mode", I},
        {"work_mode_str", T33},
        {"mode_btn_status", I},
        {"up_time", I},
        {"up_time_str", T33},
        {"ip_mode", I},
        {"ip_num", "DOUBLE"},
        {"ip", T16},
        {"ip_mask", T16},
        {"ip_gateway", T16},
        {"ip_dns1", T16},
        {"ip_dns2", T16},
        {"ap_name", T33},
        {"version", T33},
        {"restart_en", I},
        {"restart_type", I},
        {"restart_time", I},
        {"rf_count", I},
        {"rf_en", I},
        {"rf_type", I},
        {"country_code", I},
        {"network_mode", I},
        {"bandwidth", I},
        {"channel", I},
        {"expand_channel", I},
        {"tx_power", I},
        {"tx_power_min", I},
        {"tx_power_max", I},
        {"ssid_count", I},
        {"ssid_rf_type", I},
        {"ssid_id", I},
        {"ssid_hide", I},
        {"ssid_mac", T18},
        {"ssid", T33},
        {"secure_mode", I},
        {"secure_mode_str", T33},
        {"wpapsk_auth_type", I},
        {"wpapsk_key_value", T65},
        {"wpapsk_key_time", I},
        {"wep_auth_type", I},
        {"wep_key_index", I},
        {"wep_key_value0", T65},
        {"wep_key_type0", I},
        {"wep_key_value1", T65},
        {"wep_key_type1", I},
        {"wep_key_value2", T65},
        {"wep_key_type2", I},
        {"wep_key_value3", T65},
        {"wep_key_type3", I},
        {"wpa_auth_type", I},
        {"wpa_radius_ip", T16},
        {"wpa_radius_port", I},
        {"wpa_key", T65},
        {"wpa_key_time", I},
        {"bridge_work_mode", I},
        {"bridge_mac", T18},
        {"bridge_channel", I},
        {"bridge_ssid", T33},
        {"vlan_en", I},
        {"vlan_id", I},
        {"vlan_id_wlan", I},
        {"vlan_id_lan", I},
        {"bridge_transparent", I},
        {"bridge_transparent_str", T33},
        {"tdmaEn", I},
        {"tdmaEn_str", T33},
        {"vlan_pvid", I},
        {"vlan_id_lan3", I},
        {"vlan_id_lan4", I},
        {"wl_dfs", I},
        {"trunk_port", I},
        {"vlan_id_lan2", I},
    };
    for (const auto& [name, type] : device) expected += name + "|" + type + ",";
    EXPECT_EQ(columns("ap_info"), expected);
    EXPECT_EQ(columns("ap_other_info"),
              "ID|INTEGER,packet_count|INTEGER,packet_id|INTEGER,icount|INTEGER,mac|CHAR(18),ssid|CHAR(33),"
              "signal|INTEGER,channel|INTEGER,secure_mode|INTEGER,exchannel|INTEGER,bandwidth|INTEGER,");
    EXPECT_EQ(reader.One("SELECT sql LIKE '%AUTOINCREMENT%' FROM sqlite_schema WHERE name='ap_info'"), "1");
}

// The wrappers on a database of their own.
class AdoWrapper : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = dir.File("w.db");
        ASSERT_TRUE(CADODatabase::CreateDatabase(path));
        ASSERT_TRUE(db.Open(path));
        ASSERT_TRUE(
            db.Execute("CREATE TABLE t(ID INTEGER PRIMARY KEY AUTOINCREMENT, n INTEGER, s CHAR(10))"));
    }

    TempDir dir;
    std::string path;
    CADODatabase db;
};

TEST_F(AdoWrapper, OpenRefusesMissingFilesAndForeignFiles)
{
    CADODatabase other;
    EXPECT_FALSE(other.Open(dir.File("missing.db")));
    EXPECT_FALSE(other.IsOpen());
    std::ofstream(dir.File("junk.db")) << std::string(4096, 'j');
    EXPECT_FALSE(other.Open(dir.File("junk.db")));
    EXPECT_FALSE(other.Open(""));
    EXPECT_FALSE(CADODatabase::CreateDatabase(dir.File("no-such-dir/x.db")));
}

TEST_F(AdoWrapper, ExecuteRunsOneStatementOnly)
{
    EXPECT_TRUE(db.Execute("INSERT INTO t(n) VALUES(?1)", {int64_t{5}}));
    EXPECT_EQ(db.GetRecordsAffected(), 1);
    EXPECT_FALSE(db.Execute("DELETE FROM t; DROP TABLE t"));
    EXPECT_TRUE(db.Execute("DELETE FROM t WHERE n=5;"));  // a trailing semicolon is no second statement
    EXPECT_EQ(db.GetRecordsAffected(), 1);
    EXPECT_FALSE(db.Execute("NOT SQL"));
    EXPECT_FALSE(db.Execute("INSERT INTO t(n) VALUES(?1)", {int64_t{1}, int64_t{2}}));  // too many values
}

TEST_F(AdoWrapper, FieldValuesOfNullAndEmptyAndWideIntegers)
{
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.AddNew("t"));
    EXPECT_EQ(rs.GetEditMode(), CADORecordset::dbEditNew);
    EXPECT_TRUE(rs.SetFieldValue("s", std::string_view()));  // an empty text, not NULL
    EXPECT_TRUE(rs.SetFieldValue("n", uint32_t{4000000000u}));
    ASSERT_TRUE(rs.Update());
    EXPECT_EQ(rs.GetEditMode(), CADORecordset::dbEditNone);

    ASSERT_TRUE(rs.Open("SELECT ID, n, s, s IS NULL AS s_null, NULL AS no_value, '' AS empty FROM t"));
    ASSERT_FALSE(rs.IsEOF());
    int32_t i32 = -1;
    uint32_t u32 = 0;
    std::string text = "x";
    EXPECT_TRUE(rs.GetFieldValue("n", u32));
    EXPECT_EQ(u32, 4000000000u);
    EXPECT_TRUE(rs.GetFieldValue("s_null", i32));
    EXPECT_EQ(i32, 0);
    EXPECT_TRUE(rs.GetFieldValue("no_value", i32));
    EXPECT_EQ(i32, 0);
    EXPECT_TRUE(rs.GetFieldValue("empty", i32));
    EXPECT_EQ(i32, 0);
    EXPECT_TRUE(rs.GetFieldValue("s", text));
    EXPECT_EQ(text, "");
    EXPECT_FALSE(rs.GetFieldValue("no_such_column", i32));
}

// An empty view may carry a null pointer; the engine would take that for NULL. Every way of
// writing an empty text must store the empty text, so that it equals '' and is not NULL.
TEST_F(AdoWrapper, EmptyTextIsStoredAsEmptyTextNotNull)
{
    EXPECT_TRUE(db.Execute("INSERT INTO t(n, s) VALUES(1, ?1)", {std::string_view()}));
    EXPECT_TRUE(db.Execute("INSERT INTO t(n, s) VALUES(2, ?1)", {std::string_view("")}));
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.AddNew("t"));
    EXPECT_TRUE(rs.SetFieldValue("n", int32_t{3}));
    EXPECT_TRUE(rs.SetFieldValue("s", std::string_view()));
    ASSERT_TRUE(rs.Update());
    // A bound empty view also matches an empty text.
    ASSERT_TRUE(
        rs.Open("SELECT COUNT(*) AS empty FROM t WHERE s=?1 AND s IS NOT NULL", {std::string_view()}));
    int32_t empty = -1;
    EXPECT_TRUE(rs.GetFieldValue("empty", empty));
    EXPECT_EQ(empty, 3);
}

TEST(SqlEmptyText, SaveDeviceStoresEmptyTextsAsEmptyTexts)
{
    TempDir dir;
    CSqlManagement store(dir.path());
    ap_info_stu r = MakeDevice(1);
    r.ap_name_len = SetFieldText(r.ap_name, "");
    r.radio_block.security.wpa_key_len = 0;
    ASSERT_TRUE(store.SaveDevice(r));

    CADODatabase reader;  // a second connection sees what the store wrote
    ASSERT_TRUE(reader.Open(store.DatabasePath()));
    CADORecordset rs(&reader);
    ASSERT_TRUE(
        rs.Open("SELECT ap_name IS NULL AS name_null, ap_name='' AS name_empty,"
                "wpa_key IS NULL AS key_null FROM ap_info"));
    ASSERT_FALSE(rs.IsEOF());
    int32_t nameNull = -1, nameEmpty = -1, keyNull = -1;
    EXPECT_TRUE(rs.GetFieldValue("name_null", nameNull));
    EXPECT_TRUE(rs.GetFieldValue("name_empty", nameEmpty));
    EXPECT_TRUE(rs.GetFieldValue("key_null", keyNull));
    EXPECT_EQ(nameNull, 0);
    EXPECT_EQ(nameEmpty, 1);
    EXPECT_EQ(keyNull, 0);
}

TEST_F(AdoWrapper, RecordCountReturnsToTheFirstRow)
{
    for (int n = 1; n <= 3; ++n) ASSERT_TRUE(db.Execute("INSERT INTO t(n) VALUES(?1)", {int64_t{n}}));
    CADORecordset rs(&db);
    ASSERT_TRUE(rs.Open("SELECT n FROM t ORDER BY n"));
    ASSERT_TRUE(rs.MoveNext());
    EXPECT_EQ(rs.GetRecordCount(), 3);
    int32_t n = 0;
    ASSERT_TRUE(rs.GetFieldValue("n", n));
    EXPECT_EQ(n, 1);
    ASSERT_TRUE(rs.Open("SELECT n FROM t WHERE n > 10"));
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_EQ(rs.GetRecordCount(), 0);
}

TEST_F(AdoWrapper, EditWritesTheCurrentRowAndAFailedUpdateIsAbandoned)
{
    for (int n = 1; n <= 2; ++n) ASSERT_TRUE(db.Execute("INSERT INTO t(n) VALUES(?1)", {int64_t{n}}));
    CADORecordset rs(&db);
    EXPECT_FALSE(rs.Update());  // no edit pending
    EXPECT_FALSE(rs.SetFieldValue("n", 1));
    ASSERT_TRUE(rs.Open("SELECT * FROM t WHERE n=2"));
    ASSERT_TRUE(rs.Edit("t"));
    EXPECT_TRUE(rs.SetFieldValue("s", "two"));
    EXPECT_TRUE(rs.Update());

    ASSERT_TRUE(rs.Open("SELECT * FROM t WHERE n=1"));
    ASSERT_TRUE(rs.Edit("t"));
    EXPECT_TRUE(rs.SetFieldValue("missing_column", 3));
    EXPECT_FALSE(rs.Update());
    EXPECT_EQ(rs.GetEditMode(), CADORecordset::dbEditNone);
    EXPECT_FALSE(rs.SetFieldValue("bad name; DROP TABLE t", 1));
    EXPECT_FALSE(rs.AddNew("t; DROP TABLE t"));

    ASSERT_TRUE(rs.Open("SELECT group_concat(n || ':' || COALESCE(s, '-'), ',') AS all_rows FROM t"));
    std::string rows;
    ASSERT_TRUE(rs.GetFieldValue("all_rows", rows));
    EXPECT_EQ(rows, "1:-,2:two");
}

TEST_F(AdoWrapper, SameQueryNestedAndLeasesOutlivingTheConnection)
{
    for (int n = 1; n <= 2; ++n) ASSERT_TRUE(db.Execute("INSERT INTO t(n) VALUES(?1)", {int64_t{n}}));
    CADORecordset outer(&db);
    CADORecordset inner(&db);
    ASSERT_TRUE(outer.Open("SELECT n FROM t WHERE n>=?1 ORDER BY n", {int64_t{1}}));
    ASSERT_TRUE(
        inner.Open("SELECT n FROM t WHERE n>=?1 ORDER BY n", {int64_t{2}}));  // the cached one is busy
    int32_t a = 0, b = 0;
    ASSERT_TRUE(outer.GetFieldValue("n", a));
    ASSERT_TRUE(inner.GetFieldValue("n", b));
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    db.Close();
    EXPECT_FALSE(outer.MoveNext() && !outer.IsEOF());
    EXPECT_FALSE(outer.GetFieldValue("n", a));
    EXPECT_FALSE(outer.Open("SELECT 1"));
}

}  // namespace
}  // namespace pontiq::test
