#include "ui/config/wireless_set_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <cstring>

#include "app/application_app.h"
#include "app/controls/button_skin.h"
#include "app/controls/control_id.h"
#include "app/controls/ct_static.h"
#include "app/controls/dialog_units.h"
#include "app/controls/message_box.h"
#include "app/controls/skin_style.h"
#include "app/ui/translate_window.h"
#include "store/value_format.h"
#include "ui/config/wep_dlg.h"
#include "ui/config/wireless_page_parts.h"
#include "ui/config/wpa_dlg.h"
#include "ui/lists/list_columns.h"

namespace pontiq {

using namespace wireless_ui;
namespace wl = wireless;

namespace {

constexpr int kCheckWidth = 10;
constexpr int kDfsX = kFieldX + 70;
constexpr int kPowerWidth = 40;
constexpr int kCipherStep = 36;  // AES and TKIP; "TKIP&AES" takes the rest of the row

// The message of a refusal, translated, with the "%d" fields filled in order. The translation is
// never used as a format string.
QString FillNumbers(QString text, std::initializer_list<int> numbers)
{
    for (int n : numbers) {
        const qsizetype at = text.indexOf(QStringLiteral("%d"));
        if (at < 0) break;
        text.replace(at, 2, QString::number(n));
    }
    return text;
}

QCheckBox* MakeCheck(int controlId, int x, int row, QWidget* parent)
{
    auto* box = new QCheckBox(parent);
    SetControlId(box, controlId);
    box->setGeometry(DluRect(x, RowY(row), kCheckWidth, kRowHeight));
    return box;
}

QString ChannelItemText(uint8_t channel)
{
    return channel == 0 ? TranslateQ(std::string_view("Auto")) : QString::number(channel);
}

}  // namespace

CWirelessSetDlg::CWirelessSetDlg(const ap_info_stu& record, QWidget* parent)
    : CTDialog(parent, Qt::Widget), record_(record)
{
    BuildControls();
    Load();
    const wl::WirelessEntries loaded = Entries();
    loadedBlock_ = wl::BuildRadioBlock(record_, loaded);
    loadedExtension_ = wl::BuildRadioExtension(loaded.dfs);
}

void CWirelessSetDlg::BuildControls()
{
    setObjectName(QStringLiteral("wirelessSetDlg"));
    SetControlId(this, kDlgWirelessSet);
    setProperty(kNoTranslateProperty, true);  // every text is translated as it is set
    SetFillColor(ToQColor(CurrentSettings().skin.childBkColor));
    setMinimumSize(DluX(kPageWidth), DluY(RowY(kRows)));

    MakeLabel(kIdcWlSsidLabel, "Wireless_ssid", 0, this);
    ssid_ = MakeEdit(kIdcWlSsid, kSsidLength, 0, this);

    ssidHide_ = MakeCheck(kIdcWlSsidHide, kFieldX, 1, this);
    MakeLabelAt(kIdcWlSsidHideLabel, "Wireless_ssid_hide",
                DluRect(kFieldX + kCheckWidth + 1, RowY(1), kDfsX - kFieldX - kCheckWidth - 3, kRowHeight),
                Qt::AlignLeft, this);
    dfs_ = MakeCheck(kIdcWlDfs, kDfsX, 1, this);
    MakeLabelAt(kIdcWlDfsLabel, "DFS",
                DluRect(kDfsX + kCheckWidth + 1, RowY(1), kFieldX + kFieldWidth - kDfsX - kCheckWidth - 1,
                        kRowHeight),
                Qt::AlignLeft, this);

    MakeLabel(kIdcWlNetModeLabel, "NetMode", 2, this);
    networkMode_ = MakeCombo(kIdcWlNetMode, 2, this);
    MakeLabel(kIdcWlBandwidthLabel, "BandWidth", 3, this);
    bandwidth_ = MakeCombo(kIdcWlBandwidth, 3, this);

    MakeLabel(kIdcWlPowerLabel, "Wireless_power", 4, this);
    power_ = MakeEdit(kIdcWlPower, kPowerLength, 4, this, kPowerWidth);
    AcceptDigitsOnly(power_);
    powerRange_ = new CTStatic(kIdcWlPowerRange, this);
    ApplyLabelSkin(*powerRange_, CurrentSettings().skin);
    powerRange_->setProperty(kNoTranslateProperty, true);
    powerRange_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    powerRange_->setGeometry(
        DluRect(kFieldX + kPowerWidth + 4, RowY(4), kFieldWidth - kPowerWidth - 4, kRowHeight));

    MakeLabel(kIdcWlCountryLabel, "Wireless_country", 5, this);
    country_ = MakeCombo(kIdcWlCountry, 5, this);
    MakeLabel(kIdcWlChannelLabel, "Wireless_channel", 6, this);
    channel_ = MakeCombo(kIdcWlChannel, 6, this);
    MakeLabel(kIdcWlExpandChannelLabel, "ExpandChannel", 7, this);
    expandChannel_ = MakeCombo(kIdcWlExpandChannel, 7, this);
    MakeLabel(kIdcWlSecureModeLabel, "Wireless_secureMode", 8, this);
    secureMode_ = MakeCombo(kIdcWlSecureMode, 8, this);

    // The PSK rows of the security area.
    const int cipherRow = kSecurityRow;
    pskControls_.push_back(MakeLabel(kIdcWlAutoTypeLabel, "Wireless_AutoType", cipherRow, this));
    struct CipherRadio {
        QRadioButton** radio;
        int id;
        int labelId;
        const char* text;
    };
    const CipherRadio radios[] = {
        {&aes_, kIdcWlAes, kIdcWlAesLabel, "AES"},
        {&tkip_, kIdcWlTkip, kIdcWlTkipLabel, "TKIP"},
        {&tkipAes_, kIdcWlTkipAes, kIdcWlTkipAesLabel, "TKIP&&AES"},
    };
    int x = kFieldX;
    for (const CipherRadio& r : radios) {
        auto* radio = new QRadioButton(this);
        SetControlId(radio, r.id);
        radio->setGeometry(DluRect(x, RowY(cipherRow), kCheckWidth, kRowHeight));
        *r.radio = radio;
        const int labelWidth = r.id == kIdcWlTkipAes ? kFieldX + kFieldWidth - x - kCheckWidth - 1
                                                     : kCipherStep - kCheckWidth - 2;
        CTStatic* label = MakeLabelAt(r.labelId, r.text,
                                      DluRect(x + kCheckWidth + 1, RowY(cipherRow), labelWidth, kRowHeight),
                                      Qt::AlignLeft, this);
        pskControls_.insert(pskControls_.end(), {radio, label});
        x += kCipherStep;
    }
    pskControls_.push_back(MakeLabel(kIdcWlKeyLabel, "Wireless_Key", cipherRow + 1, this));
    key_ = MakeEdit(kIdcWlKey, kKeyLength, cipherRow + 1, this);
    pskControls_.push_back(key_);
    pskControls_.push_back(MakeLabel(kIdcWlKeyTimeLabel, "Wireless_Key_time", cipherRow + 2, this));
    keyTime_ = MakeEdit(kIdcWlKeyTime, 0, cipherRow + 2, this);
    AcceptDigitsOnly(keyTime_);
    pskControls_.push_back(keyTime_);

    // The two sub-pages lie over the security area.
    const int subPageY = DluY(RowY(kSecurityRow) - kSubPageFirstRowY);
    wep_ = new CWepDlg(this);
    wep_->move(0, subPageY);
    wpa_ = new CWpaDlg(this);
    wpa_->move(0, subPageY);

    connect(country_, &QComboBox::currentIndexChanged, this, &CWirelessSetDlg::OnCountryChanged);
    connect(networkMode_, &QComboBox::currentIndexChanged, this, &CWirelessSetDlg::OnNetworkModeChanged);
    connect(bandwidth_, &QComboBox::currentIndexChanged, this, &CWirelessSetDlg::OnBandwidthChanged);
    connect(channel_, &QComboBox::currentIndexChanged, this, &CWirelessSetDlg::OnChannelChanged);
    connect(dfs_, &QCheckBox::toggled, this, &CWirelessSetDlg::OnDfsChanged);
    connect(secureMode_, &QComboBox::currentIndexChanged, this, &CWirelessSetDlg::OnSecureModeChanged);
}

void CWirelessSetDlg::Load()
{
    const RADIO_BLOCK& r = record_.radio_block;
    const SECURITY_BLOCK& s = r.security;

    ssid_->setText(FieldQString(FieldText(s.ssid, s.ssid_len)));
    ssidHide_->setChecked(s.ssid_hide != 0);
    {
        const QSignalBlocker block(dfs_);
        dfs_->setChecked(record_.extension_block.wl_dfs != 0);
    }

    const std::vector<wl::ValueItem> modes = wl::NetworkModeItems(Band(), TypeCode());
    FillCombo(networkMode_, modes);
    Select(networkMode_, wl::NetworkModeSelection(modes, r.network_mode));

    power_->setText(QString::number(r.tx_power));
    powerRange_->SetText(QStringLiteral("(%1-%2)").arg(r.tx_power_min).arg(r.tx_power_max));

    {
        const QSignalBlocker block(country_);
        country_->clear();
        // The names are translated each time a page is made; a long translation is cut to 32 bytes.
        for (const wl::Country& c : wl::Countries()) {
            const std::u16string name = TranslateQ(std::string_view(c.name)).toStdU16String();
            country_->addItem(QString::fromStdU16String(TruncateUtf8(name, wl::kCountryNameMax)));
        }
        country_->setCurrentIndex(wl::CountryIndexOfCode(r.country_code).value_or(-1));
    }

    FillBandwidth();
    FillChannels();
    FillExpandChannel();

    const std::vector<wl::ValueItem> security = wl::SecurityModeItems(TypeCode());
    FillCombo(secureMode_, security);
    Select(secureMode_, wl::FindItem(security, s.secure_mode));

    aes_->setChecked(s.wpapsk_auth_type == wl::kCipherAes);
    tkip_->setChecked(s.wpapsk_auth_type == wl::kCipherTkip);
    tkipAes_->setChecked(s.wpapsk_auth_type == wl::kCipherTkipAes);
    key_->setText(FieldQString(FieldText(s.wpapsk_key_value, s.wpapsk_key_value_len)));
    keyTime_->setText(QString::number(s.wpapsk_key_time));
    wep_->Load(s);
    wpa_->Load(s);
    ShowSecurityFields();
}

std::optional<int> CWirelessSetDlg::CountryIndex() const
{
    const int i = country_->currentIndex();
    return i >= 0 ? std::optional<int>(i) : std::nullopt;
}

void CWirelessSetDlg::FillBandwidth()
{
    const std::vector<wl::ValueItem> items = wl::BandwidthItems(
        Band(), SelectedValue(networkMode_).value_or(record_.radio_block.network_mode), TypeCode());
    FillCombo(bandwidth_, items);
    Select(bandwidth_, wl::BandwidthSelection(items, record_.radio_block.bandwidth));
}

void CWirelessSetDlg::FillChannels()
{
    const uint8_t width = SelectedValue(bandwidth_).value_or(record_.radio_block.bandwidth);
    const std::vector<uint8_t> list =
        wl::ChannelChoices(CountryIndex(), Band(), width, TypeCode(), dfs_->isChecked());
    const QSignalBlocker block(channel_);
    channel_->clear();
    int selected = -1;
    for (uint8_t ch : list) {
        if (ch == record_.radio_block.channel) selected = channel_->count();
        channel_->addItem(ChannelItemText(ch), int(ch));
    }
    channel_->setCurrentIndex(selected);
}

void CWirelessSetDlg::FillExpandChannel()
{
    const QSignalBlocker block(expandChannel_);
    expandChannel_->clear();
    const uint8_t mode = SelectedValue(networkMode_).value_or(record_.radio_block.network_mode);
    const uint8_t width = SelectedValue(bandwidth_).value_or(record_.radio_block.bandwidth);
    const std::optional<uint8_t> channel = SelectedValue(channel_);
    std::vector<wl::ExpandChoice> choices;
    if (wl::IsExpandChannelEnabled(Band(), mode, width) && channel) {
        std::vector<uint8_t> list;
        for (int i = 0; i < channel_->count(); ++i)
            list.push_back(static_cast<uint8_t>(channel_->itemData(i).toInt()));
        choices = wl::ExpandChannelChoices(*channel, list);
    }
    for (const wl::ExpandChoice& c : choices)
        expandChannel_->addItem(QString::number(c.channel), int(c.value));
    expandChannel_->setCurrentIndex(wl::ExpandChannelSelection(choices, record_.radio_block.expand_channel));
    expandChannel_->setEnabled(!choices.empty());
}

void CWirelessSetDlg::OnCountryChanged()
{
    FillChannels();
    FillExpandChannel();
}

void CWirelessSetDlg::OnNetworkModeChanged()
{
    FillBandwidth();
    FillChannels();
    FillExpandChannel();
}

void CWirelessSetDlg::OnBandwidthChanged()
{
    FillChannels();
    FillExpandChannel();
}

void CWirelessSetDlg::OnChannelChanged()
{
    FillExpandChannel();
}

void CWirelessSetDlg::OnDfsChanged()
{
    FillChannels();
    FillExpandChannel();
}

void CWirelessSetDlg::OnSecureModeChanged()
{
    ShowSecurityFields();
}

void CWirelessSetDlg::ShowSecurityFields()
{
    const uint8_t mode = SelectedValue(secureMode_).value_or(record_.radio_block.security.secure_mode);
    const wl::SecurityFields f = wl::FieldsForSecurityMode(mode, TypeCode());
    for (QWidget* w : pskControls_) w->setVisible(f.pskShown);
    key_->setEnabled(f.keyEnabled);
    keyTime_->setEnabled(f.keyTimeEnabled);
    aes_->setEnabled(f.aesEnabled);
    tkip_->setEnabled(f.tkipEnabled);
    tkipAes_->setEnabled(f.tkipAesEnabled);
    if (mode == wl::kSecureWpaPsk && tkipAes_->isChecked()) {
        tkipAes_->setChecked(false);
        aes_->setChecked(true);
    }
    wep_->setVisible(f.wepShown);
    wpa_->setVisible(f.wpaShown);
}

QRadioButton* CWirelessSetDlg::Cipher(wl::PskCipher cipher) const
{
    switch (cipher) {
        case wl::kCipherAes:
            return aes_;
        case wl::kCipherTkip:
            return tkip_;
        case wl::kCipherTkipAes:
            return tkipAes_;
    }
    return nullptr;
}

wl::WirelessEntries CWirelessSetDlg::Entries() const
{
    wl::WirelessEntries e;
    e.ssid = ssid_->text().toStdU16String();
    e.ssidLocal = QStringToLocal(ssid_->text());
    e.ssidHide = ssidHide_->isChecked();
    e.dfs = dfs_->isChecked();
    e.country = CountryIndex();
    e.networkMode = SelectedValue(networkMode_);
    e.bandwidth = SelectedValue(bandwidth_);
    e.channel = SelectedValue(channel_);
    e.expandChannel = expandChannel_->isEnabled() ? SelectedValue(expandChannel_) : std::nullopt;
    e.power = power_->text().toStdU16String();
    e.secureMode = SelectedValue(secureMode_);
    e.pskCipher = record_.radio_block.security.wpapsk_auth_type;  // no radio checked: as it was
    if (aes_->isChecked()) e.pskCipher = wl::kCipherAes;
    if (tkip_->isChecked()) e.pskCipher = wl::kCipherTkip;
    if (tkipAes_->isChecked()) e.pskCipher = wl::kCipherTkipAes;
    e.pskKey = key_->text().toStdU16String();
    e.pskKeyTime = keyTime_->text().toStdU16String();
    e.wep = wep_->Entries();
    e.wpa = wpa_->Entries();
    return e;
}

QWidget* CWirelessSetDlg::FieldOf(wl::Field field) const
{
    switch (field) {
        case wl::Field::Ssid:
            return ssid_;
        case wl::Field::Power:
            return power_;
        case wl::Field::PskKey:
            return key_;
        case wl::Field::PskKeyTime:
            return keyTime_;
        case wl::Field::None:
            return nullptr;
        default:
            break;
    }
    if (QWidget* w = wep_->FieldOf(field)) return w;
    return wpa_->FieldOf(field);
}

bool CWirelessSetDlg::Collect(PendingConfiguration& pending)
{
    const wl::WirelessEntries entries = Entries();
    const wl::CheckResult check = wl::CheckWirelessEntries(entries, record_);
    if (!check.ok()) {
        const RADIO_BLOCK& r = record_.radio_block;
        ShowMessage(
            this, FillNumbers(TranslateQ(std::string_view(check.message)), {r.tx_power_min, r.tx_power_max}));
        FocusEntry(FieldOf(check.field));
        return false;
    }
    const RADIO_BLOCK block = wl::BuildRadioBlock(record_, entries);
    const EXTENSION_BLOCK extension = wl::BuildRadioExtension(entries.dfs);
    pending.radio_block = block;
    static_assert(sizeof extension == sizeof pending.radio_extension);
    std::memcpy(pending.radio_extension, &extension, sizeof extension);
    pending.wireless_changed =
        wl::IsWirelessChanged(record_, block, extension, loadedBlock_, loadedExtension_) ? 1 : 0;
    return true;
}

}  // namespace pontiq
