// Shared helpers of the store tests: a private directory per test and device records.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "store/ap_info.h"
#include "store/sql_management.h"
#include "store/value_format.h"

namespace pontiq::test {

// A fresh directory under the temp folder, removed with everything in it.
class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "pontiq-store-XXXXXX").string();
        if (mkdtemp(pattern.data())) m_path = pattern;
    }
    ~TempDir()
    {
        std::error_code ec;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

inline void SetIp(uint8_t (&field)[4], uint8_t a, uint8_t b, uint8_t c, uint8_t d)
{
    field[0] = a;
    field[1] = b;
    field[2] = c;
    field[3] = d;
}

inline void SetMac(uint8_t (&field)[6], std::string_view text)
{
    const auto bytes = MacToBytes(text);
    std::copy(bytes.begin(), bytes.end(), field);
}

inline std::string MacOf(int index)
{
    char text[18];
    std::snprintf(text, sizeof(text), "00:1a:2b:%02x:%02x:%02x", (index >> 16) & 0xff, (index >> 8) & 0xff,
                  index & 0xff);
    return text;
}

// A plausible described device: AP, online, IP 10.0.x.y, name "dev-<index>".
inline ap_info_stu MakeDevice(int index)
{
    ap_info_stu r{};
    SetCText(r.mac, MacOf(index));
    r.ap_type = 1;
    r.work_mode = 1;
    r.up_time = 100;
    SetIp(r.ip_block.ip, 10, 0, static_cast<uint8_t>(index / 250), static_cast<uint8_t>(index % 250 + 1));
    SetIp(r.ip_block.ip_mask, 255, 255, 0, 0);
    r.ap_name_len = SetFieldText(r.ap_name, "dev-" + std::to_string(index));
    r.version_len = SetFieldText(r.version, "v1.0");
    r.radio_block.channel = 1;
    r.radio_block.tx_power = 20;
    r.radio_block.security.ssid_len = SetFieldText(r.radio_block.security.ssid, "net");
    return r;
}

// A model code whose name holds none of the tokens (ASCII case ignored), so that a search
// test is not thrown off by whatever the model names are.
inline uint16_t NeutralModelCode(std::initializer_list<std::string_view> tokens)
{
    const auto lower = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    for (uint32_t code : ModelCodes()) {
        const std::string name = lower(ModelName(code));
        bool clean = true;
        for (std::string_view token : tokens)
            clean = clean && name.find(lower(std::string(token))) == std::string::npos;
        if (clean) return static_cast<uint16_t>(code);
    }
    ADD_FAILURE() << "every model name holds one of the search tokens";
    return 1;
}

inline std::vector<std::string> MacsOf(const std::vector<ap_info_stu>& list)
{
    std::vector<std::string> macs;
    for (const ap_info_stu& r : list) macs.emplace_back(CText(r.mac));
    return macs;
}

// Runs fn with the handler installed, removing it afterwards even when an assertion fails.
class FailureHandlerScope {
public:
    explicit FailureHandlerScope(CSqlManagement::OpenFailureHandler handler)
    {
        CSqlManagement::SetOpenFailureHandler(std::move(handler));
    }
    ~FailureHandlerScope() { CSqlManagement::SetOpenFailureHandler(nullptr); }
    FailureHandlerScope(const FailureHandlerScope&) = delete;
    FailureHandlerScope& operator=(const FailureHandlerScope&) = delete;
};

// A second, independent connection, as the sqlite3 shell would open the file.
class OutsideReader {
public:
    explicit OutsideReader(const std::string& path)
    {
        if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            sqlite3_close(m_db);
            m_db = nullptr;
        }
    }
    ~OutsideReader() { sqlite3_close(m_db); }
    OutsideReader(const OutsideReader&) = delete;
    OutsideReader& operator=(const OutsideReader&) = delete;

    bool ok() const { return m_db != nullptr; }

    // Every row of the query, columns joined by '|', NULL shown as "<null>".
    std::vector<std::string> Rows(const std::string& sql) const
    {
        std::vector<std::string> rows;
        sqlite3_stmt* stmt = nullptr;
        if (!m_db || sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
            rows.push_back("<error>");
            return rows;
        }
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            std::string row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                if (i) row += '|';
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
                row +=
                    text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt, i))) : "<null>";
            }
            rows.push_back(row);
        }
        if (rc != SQLITE_DONE) rows.push_back("<error>");
        sqlite3_finalize(stmt);
        return rows;
    }

    std::string One(const std::string& sql) const
    {
        const auto rows = Rows(sql);
        return rows.empty() ? "<none>" : rows.front();
    }

private:
    sqlite3* m_db = nullptr;
};

}  // namespace pontiq::test
