// Columns of the device list pages: what each grid column shows of a device record, how it
// sorts and what part it plays for the page (tick box, running number, IP, MAC, type ...).
//
// Record texts are in the PC's local 8-bit encoding; they become window text only through
// LocalToQString, never through QString::fromLocal8Bit (Qt's idea of the local encoding is not
// the one the store writes in).
#pragma once

#include <QString>
#include <functional>
#include <string>
#include <string_view>

#include "store/ap_info.h"
#include "ui/grid/grid_types.h"

namespace pontiq {

// What a column is to the page, beyond its text.
enum class ListField {
    None,
    Tick,    // the tick column: a check box per row, the check-all box in the header
    Serial,  // running number over all pages; carries the record's ap_status as item data
    Name,
    Type,  // model name; gathering turns it into the type code
    Ip,
    Mac,
    Status,
};

// Text colour of a data cell: GridTextColor, TextUnlineColor (offline) or TextOnlineColor.
enum class CellTone { Normal, Offline, Online };

inline constexpr int kNoSortKey = -1;
inline constexpr int kDefaultSortKey = 1;  // ip_num: the key of every column outside the map

struct ListColumn {
    using TextFn = std::function<std::string(const ap_info_stu&)>;
    using ToneFn = std::function<CellTone(const ap_info_stu&)>;

    std::string title;  // the built-in English header text; the page translates it
    int width = 80;     // pixels
    int sortKey = kNoSortKey;
    ListField field = ListField::None;
    GridColumnKind kind = GridColumnKind::Text;
    TextFn text;            // local 8-bit text of the cell; empty function: blank cell
    ToneFn tone;            // empty: CellTone::Normal
    int image = -1;         // image columns: picture index for rows of stored devices
    bool editable = false;  // in-place editing on rows of stored devices

    static ListColumn Tick(int width);
    static ListColumn Serial(int width);
    static ListColumn Text(std::string title, int width, int sortKey, TextFn text,
                           ListField field = ListField::None);
    static ListColumn Image(std::string title, int width, int image);
};

// Local 8-bit text <-> window text. ASCII takes a fast path (a page fills up to 1400 cells).
QString LocalToQString(std::string_view local);
std::string QStringToLocal(const QString& text);

// The record texts the list pages show, in the text forms of the value formats.
namespace record_text {
std::string Name(const ap_info_stu& r);   // ap_name
std::string Model(const ap_info_stu& r);  // ModelName(ap_type)
std::string Ip(const ap_info_stu& r);     // "%d.%d.%d.%d"
std::string Mac(const ap_info_stu& r);    // mac
std::string WorkMode(const ap_info_stu& r);
std::string Ssid(const ap_info_stu& r);
std::string Channel(const ap_info_stu& r);
std::string Security(const ap_info_stu& r);
std::string Power(const ap_info_stu& r);  // tx_power, "%d"
std::string Version(const ap_info_stu& r);
std::string TransparentBridge(const ap_info_stu& r);
std::string Kelvra(const ap_info_stu& r);
std::string Uptime(const ap_info_stu& r);
std::string Status(const ap_info_stu& r);
}  // namespace record_text

// Online for a stored status other than 0 ("Outline"), else offline.
CellTone StatusTone(const ap_info_stu& r);

}  // namespace pontiq
