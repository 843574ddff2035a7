// Single-field writes after a device confirmed a command: the name, the transparent bridge and
// Kelvra. The row keeps everything else, so a write cannot undo a newer record of the device.
#include <algorithm>

#include "store/sql_management.h"
#include "store/value_format.h"

namespace pontiq {

namespace {

constexpr size_t kNameBytes = sizeof(ap_info_stu::ap_name);

int64_t IntColumn(CADORecordset& rs, std::string_view column)
{
    int64_t value = 0;
    rs.GetFieldValue(column, value);
    return value;
}

}  // namespace

bool CSqlManagement::SetDeviceName(std::string_view mac, std::string_view name)
{
    if (mac.empty()) return false;
    const std::string_view kept = name.substr(0, std::min(name.size(), kNameBytes));
    std::lock_guard lock(m_lock);
    if (!m_database.IsOpen()) return false;
    CADORecordset& rs = m_recordset;
    const bool done = rs.Open("SELECT ID FROM ap_info WHERE mac=?1 ORDER BY ID", {mac}) && !rs.IsEOF() &&
                      rs.Edit("ap_info") && rs.SetFieldValue("ap_name", kept) && rs.Update();
    rs.Close();
    return done;
}

bool CSqlManagement::SetTransparentBridgeValue(std::string_view mac, uint32_t value)
{
    if (mac.empty()) return false;
    std::lock_guard lock(m_lock);
    if (!m_database.IsOpen()) return false;
    CADORecordset& rs = m_recordset;
    bool done =
        rs.Open("SELECT ID,ap_type,work_mode FROM ap_info WHERE mac=?1 ORDER BY ID", {mac}) && !rs.IsEOF();
    if (done) {
        const auto type = static_cast<uint32_t>(IntColumn(rs, "ap_type"));
        const auto mode = static_cast<uint32_t>(IntColumn(rs, "work_mode"));
        done = rs.Edit("ap_info") && rs.SetFieldValue("bridge_transparent", value) &&
               rs.SetFieldValue("bridge_transparent_str", TransparentBridgeText(type, mode, value)) &&
               rs.Update();
    }
    rs.Close();
    return done;
}

bool CSqlManagement::SetKelvraValue(std::string_view mac, uint32_t value)
{
    if (mac.empty()) return false;
    std::lock_guard lock(m_lock);
    if (!m_database.IsOpen()) return false;
    CADORecordset& rs = m_recordset;
    bool done = rs.Open("SELECT ID,ap_type FROM ap_info WHERE mac=?1 ORDER BY ID", {mac}) && !rs.IsEOF();
    if (done) {
        const auto type = static_cast<uint32_t>(IntColumn(rs, "ap_type"));
        done = rs.Edit("ap_info") && rs.SetFieldValue("tdmaEn", value) &&
               rs.SetFieldValue("tdmaEn_str", KelvraText(type, value)) && rs.Update();
    }
    rs.Close();
    return done;
}

}  // namespace pontiq
