// pontiq-cli's output formats: the aligned table, CSV and JSON of the same records, and the
// device fields they are made from.
#include <gtest/gtest.h>

#include "cli/cli_output.h"
#include "cli/device_fields.h"
#include "store/value_format.h"

namespace pontiq::cli {
namespace {

Document TwoDevices()
{
    Document d;
    d.command = "discover";
    d.listKey = "devices";
    d.records = {
        {{"mac", "00:11:22:33:44:01", false}, {"name", "屋顶", false}, {"tx_power", "20", true}},
        {{"mac", "00:11:22:33:44:02", false}, {"name", "a,\"b\"", false}, {"tx_power", "7", true}},
    };
    return d;
}

TEST(CliOutput, EachFormatOfTheSameRecords)
{
    const Document d = TwoDevices();
    EXPECT_EQ(FormatDocument(d, OutputFormat::Table),
              "mac                name   tx_power\n"
              "00:11:22:33:44:01  屋顶   20\n"  // two wide characters take four columns
              "00:11:22:33:44:02  a,\"b\"  7\n");
    EXPECT_EQ(FormatDocument(d, OutputFormat::Csv),
              "mac,name,tx_power\r\n"
              "00:11:22:33:44:01,屋顶,20\r\n"
              "00:11:22:33:44:02,\"a,\"\"b\"\"\",7\r\n");
    EXPECT_EQ(FormatDocument(d, OutputFormat::Json),
              "{\"command\": \"discover\", \"devices\": [\n"
              "  {\"mac\": \"00:11:22:33:44:01\", \"name\": \"屋顶\", \"tx_power\": 20},\n"
              "  {\"mac\": \"00:11:22:33:44:02\", \"name\": \"a,\\\"b\\\"\", \"tx_power\": 7}\n"
              "]}\n");
}

TEST(CliOutput, EmptyListsAndSingleRecords)
{
    Document none;
    none.command = "discover";
    none.listKey = "devices";
    EXPECT_EQ(FormatDocument(none, OutputFormat::Json), "{\"command\": \"discover\", \"devices\": []}\n");
    EXPECT_EQ(FormatDocument(none, OutputFormat::Table), "");
    EXPECT_EQ(FormatDocument(none, OutputFormat::Csv), "");

    Document one;
    one.command = "show";
    one.objectKey = "device";
    one.records = {{{"mac", "00:11:22:33:44:01", false}, {"up_time_seconds", "", true}}};
    one.extra = {{"exit_code", "0", true}};
    // An empty numeric value is written as a string: never invalid JSON.
    EXPECT_EQ(
        FormatDocument(one, OutputFormat::Json),
        "{\"command\": \"show\", \"device\": {\"mac\": \"00:11:22:33:44:01\", \"up_time_seconds\": \"\"}, "
        "\"exit_code\": 0}\n");
    EXPECT_EQ(FormatDocument(one, OutputFormat::Table),
              "field            value\n"
              "mac              00:11:22:33:44:01\n"
              "up_time_seconds\n");
}

TEST(CliOutput, DeviceTextsCannotBreakTheFormats)
{
    const std::pair<std::string, std::string> json[] = {
        {"plain", "\"plain\""},
        {"back\\slash", "\"back\\\\slash\""},
        {"line\nfeed\ttab", "\"line\\nfeed\\ttab\""},
        {std::string("nul\0x", 5), "\"nul\\u0000x\""},
        {"\x1b[31m", "\"\\u001b[31m\""},
        {"bad \xff byte", "\"bad \xEF\xBF\xBD byte\""},                  // not UTF-8: U+FFFD
        {"cut \xE5\xB1", "\"cut \xEF\xBF\xBD\xEF\xBF\xBD\""},            // a character cut short
        {"overlong \xC0\xAF", "\"overlong \xEF\xBF\xBD\xEF\xBF\xBD\""},  // '/' spelt in two bytes
    };
    for (const auto& [text, want] : json) EXPECT_EQ(JsonString(text), want) << text;

    // A table cell stays on its line.
    EXPECT_EQ(FormatTable({"name"}, {{"two\nlines"}, {"esc\x1b[2J"}}), "name\ntwo lines\nesc [2J\n");
    EXPECT_EQ(DisplayWidth("ab屋顶"), 6u);
    EXPECT_EQ(DisplayWidth("\xff"), 1u);
}

TEST(CliDeviceFields, RecordTextsAndCodes)
{
    ap_info_stu r{};
    SetCText(r.mac, "00:11:22:33:44:01");
    r.ap_type = 21;
    r.ap_status = STATUS_ONLINE;
    r.work_mode = 1;
    r.up_time = 90061;
    const auto ip = IpToBytes("10.99.0.10");
    std::copy(ip.begin(), ip.end(), r.ip_block.ip);
    // A NUL the device counted into the name ends it, as on the list pages.
    r.ap_name_len = SetFieldText(r.ap_name, std::string("roof\0junk", 9));
    r.version_len = SetFieldText(r.version, "V3.0");
    r.radio_block.tx_power = 27;
    r.reboot_block.restart_time = 3 * 60 + 5;

    const ToUtf8 tagged = [](std::string_view local) { return "<" + std::string(local) + ">"; };
    const Record summary = DeviceRecord(r, FieldSet::Summary, tagged);
    ASSERT_EQ(summary.size(), 6u);
    EXPECT_EQ(summary[0].value, "00:11:22:33:44:01");
    EXPECT_EQ(summary[1].value, "10.99.0.10");
    EXPECT_EQ(summary[2].value, "<roof>");  // record texts go through the local-encoding conversion
    EXPECT_EQ(summary[3].value, ModelName(21));
    EXPECT_EQ(summary[5].value, StatusText(STATUS_ONLINE));

    const Record columns = DeviceRecord(r, FieldSet::Columns, tagged);
    std::vector<std::string> keys;
    for (const Field& f : columns) keys.push_back(f.key);
    EXPECT_EQ(keys, (std::vector<std::string>{"name", "model", "ip", "mac", "work_mode", "ssid", "channel",
                                              "security", "tx_power", "version", "transparent_bridge",
                                              "kelvra", "uptime", "status"}));

    const Record full = DeviceRecord(r, FieldSet::Full, tagged);
    auto value = [&](const std::string& key) {
        for (const Field& f : full)
            if (f.key == key) return f.value;
        ADD_FAILURE() << "no field " << key;
        return std::string();
    };
    EXPECT_EQ(value("up_time_seconds"), "90061");
    EXPECT_EQ(value("uptime"), UptimeText(90061));
    EXPECT_EQ(value("reboot_time"), "03:05");
    EXPECT_EQ(value("wep_key4"), "<>");
    EXPECT_EQ(value("vlan_id_lan4"), "0");
    for (const Field& f : full) {
        if (f.number) {
            EXPECT_EQ(f.value.find_first_not_of("-0123456789"), std::string::npos) << f.key;
        }
    }

    r.ap_status = STATUS_DISCOVERED_ONLY;  // heard by discovery, record not yet received
    EXPECT_EQ(DeviceRecord(r, FieldSet::Summary, tagged)[5].value, "Discovered");
}

}  // namespace
}  // namespace pontiq::cli
