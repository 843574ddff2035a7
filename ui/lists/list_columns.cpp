#include "ui/lists/list_columns.h"

#include <algorithm>

#include "app/application_app.h"
#include "comm/operate_character.h"
#include "store/value_format.h"

namespace pontiq {

namespace {

const COperateCharacter& Characters()
{
    if (CApplicationApp* app = CApplicationApp::InstancePointer()) return app->characters();
    static const COperateCharacter local;
    return local;
}

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A fixed text field up to its length byte and, inside that, up to a NUL a device may have
// counted in.
template <size_t N>
std::string Field(const char (&field)[N], uint8_t len)
{
    const std::string_view text = FieldText(field, len);
    return std::string(text.substr(0, std::min(text.size(), text.find('\0'))));
}

}  // namespace

ListColumn ListColumn::Tick(int width)
{
    ListColumn c;
    c.width = width;
    c.field = ListField::Tick;
    c.kind = GridColumnKind::Tick;
    return c;
}

ListColumn ListColumn::Serial(int width)
{
    ListColumn c;
    c.title = "Serial";
    c.width = width;
    c.field = ListField::Serial;
    return c;
}

ListColumn ListColumn::Text(std::string title, int width, int sortKey, TextFn text, ListField field)
{
    ListColumn c;
    c.title = std::move(title);
    c.width = width;
    c.sortKey = sortKey;
    c.text = std::move(text);
    c.field = field;
    return c;
}

ListColumn ListColumn::Image(std::string title, int width, int image)
{
    ListColumn c;
    c.title = std::move(title);
    c.width = width;
    c.kind = GridColumnKind::Image;
    c.image = image;
    return c;
}

QString LocalToQString(std::string_view local)
{
    if (IsAscii(local)) return QString::fromLatin1(local.data(), static_cast<qsizetype>(local.size()));
    return QString::fromStdU16String(Characters().LocalToUtf16(local));
}

std::string QStringToLocal(const QString& text)
{
    const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii) return text.toLatin1().toStdString();
    return Characters().Utf16ToLocal(text.toStdU16String());
}

namespace record_text {

std::string Name(const ap_info_stu& r)
{
    return Field(r.ap_name, r.ap_name_len);
}

std::string Model(const ap_info_stu& r)
{
    return ModelName(r.ap_type);
}

std::string Ip(const ap_info_stu& r)
{
    return IpText(r.ip_block.ip);
}

std::string Mac(const ap_info_stu& r)
{
    return std::string(CText(r.mac));
}

std::string WorkMode(const ap_info_stu& r)
{
    return WorkModeText(r.work_mode);
}

std::string Ssid(const ap_info_stu& r)
{
    return Field(r.radio_block.security.ssid, r.radio_block.security.ssid_len);
}

std::string Channel(const ap_info_stu& r)
{
    return ChannelText(r.radio_block.channel);
}

std::string Security(const ap_info_stu& r)
{
    return SecurityText(r.radio_block.security.secure_mode);
}

std::string Power(const ap_info_stu& r)
{
    return std::to_string(r.radio_block.tx_power);
}

std::string Version(const ap_info_stu& r)
{
    return Field(r.version, r.version_len);
}

std::string TransparentBridge(const ap_info_stu& r)
{
    return TransparentBridgeText(r.ap_type, r.work_mode, r.extension_block.bridge_transparent);
}

std::string Kelvra(const ap_info_stu& r)
{
    return KelvraText(r.ap_type, r.extension_block.tdmaEn);
}

std::string Uptime(const ap_info_stu& r)
{
    return UptimeText(r.up_time);
}

std::string Status(const ap_info_stu& r)
{
    return StatusText(r.ap_status);
}

}  // namespace record_text

CellTone StatusTone(const ap_info_stu& r)
{
    return r.ap_status != STATUS_OUTLINE ? CellTone::Online : CellTone::Offline;
}

}  // namespace pontiq
