#include "ui/bridge/bridge_config_dlg.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>
#include <algorithm>
#include <cstring>

#include "app/application_app.h"
#include "app/controls/button_skin.h"
#include "app/controls/control_id.h"
#include "app/controls/ct_button_picture.h"
#include "app/controls/ct_edit.h"
#include "app/controls/ct_picture.h"
#include "app/controls/ct_static.h"
#include "app/controls/message_box.h"
#include "app/controls/skin_style.h"
#include "app/ui/shell_ids.h"
#include "app/ui/translate_window.h"
#include "comm/comm_engine.h"
#include "store/sql_management.h"
#include "store/value_format.h"
#include "ui/grid/grid_ctrl.h"
#include "ui/grid/grid_skin.h"
#include "ui/lists/ip_address_ctrl.h"
#include "ui/lists/list_columns.h"

namespace pontiq {

namespace {

// Wizard layout in pixels.
constexpr int kWizardWidth = 620;
constexpr int kWizardHeight = 470;
constexpr int kTitleBarHeight = 38;
constexpr int kButtonWidth = 76;  // the skin's button picture: 76 x 24
constexpr int kButtonHeight = 24;
constexpr int kButtonBarHeight = 48;
constexpr int kPageWidth = kWizardWidth - 2;
constexpr int kPageHeight = kWizardHeight - kTitleBarHeight - kButtonBarHeight - 1;

// Rows of the security and IP pages.
constexpr int kLabelX = 40;
constexpr int kLabelWidth = 150;
constexpr int kFieldX = 200;
constexpr int kFieldWidth = 220;
constexpr int kRowHeight = 24;
constexpr int kRowStep = 34;
constexpr int kSecureFirstRowY = 16;

const QSize kSignalPictureSize(30, 16);

QString Tr(std::string_view text)
{
    return TranslateQ(text);
}

CTStatic* MakeLabel(int id, const char* text, QWidget* parent, Qt::Alignment align = Qt::AlignRight)
{
    auto* label = new CTStatic(id, parent);
    ApplyLabelSkin(*label, CurrentSettings().skin);
    label->SetText(Tr(text));
    label->setWordWrap(false);
    label->setAlignment(align | Qt::AlignVCenter);
    return label;
}

QComboBox* MakeList(int id, QWidget* parent)
{
    auto* list = new QComboBox(parent);
    SetControlId(list, id);
    return list;
}

void MakePageSkin(CTDialog& page, int dialogId)
{
    SetControlId(&page, dialogId);
    page.SetFillColor(ToQColor(CurrentSettings().skin.childBkColor));
}

// The entry of a list whose item data is `data`, else the first; -1 for an empty list.
int IndexOfData(const QComboBox* list, int data)
{
    const int at = list->findData(data);
    return at >= 0 ? at : (list->count() > 0 ? 0 : -1);
}

std::string_view Field(const char* text, size_t size)
{
    return std::string_view(text, strnlen(text, size));
}

}  // namespace

// ---- Access-point search page ----------------------------------------------------------------

CBridgeSearcgAPDlg::CBridgeSearcgAPDlg(const BridgeWizardHost& host, QWidget* parent)
    : CTDialog(parent, Qt::Widget), host_(host)
{
    MakePageSkin(*this, kDlgBridgeSearchAp);
    const SkinSettings& skin = CurrentSettings().skin;
    const SkinPaths& paths = CurrentSkinPaths();
    resize(kPageWidth, kPageHeight);

    label_ = MakeLabel(kIdcSearchApLabel, "SearchOtherAP", this, Qt::AlignLeft);
    label_->setGeometry(20, 12, 160, 24);
    label_->adjustSize();
    label_->setFixedHeight(24);

    rescan_ = new CTButtonPicture(kIdcSearchApRescan, this);
    const QString update = QString::fromStdString(paths.btnUpdateNormal);
    rescan_->SetImages(update, update, QString::fromStdString(paths.btnUpdateDown), update);
    if (rescan_->Image(CTButtonPicture::State::Normal).isNull()) {
        rescan_->SetCaption(QString(QChar(0x21BB)));
        rescan_->SetSkin(ToQString(skin.fontName), 700, 18, ToQColor(skin.gridTitleTextColor),
                         ToQColor(skin.textDownColor));
    }
    rescan_->setGeometry(label_->geometry().right() + 10, 13, 22, 22);
    rescan_->setToolTip(Tr("Refresh"));
    connect(rescan_, &CTButtonPicture::clicked, this, &CBridgeSearcgAPDlg::StartSurvey);

    animation_ = new CTPicture(kIdcSearchApAnimation, this);
    animation_->setGeometry(label_->geometry().right() + 10, 8, 32, 32);
    animation_->hide();
    scanning_ = MakeLabel(kIdcSearchApScanning, "Scanning...", this, Qt::AlignLeft);
    scanning_->setGeometry(animation_->geometry().right() + 6, 12, 200, 24);
    scanning_->hide();

    grid_ = new CGridCtrl(this);
    SetControlId(grid_, kIdcSearchApGrid);
    grid_->SetGridStyle(SkinGridStyle());
    // A single choice: the tick column's header shows its title, not a check-all box.
    grid_->SetColumns({{Tr("Select"), 40, GridColumnKind::Tick, false},
                       {Tr("SingleName"), 140, GridColumnKind::Text},
                       {Tr("Channel"), 70, GridColumnKind::Text},
                       {Tr("MAC"), 120, GridColumnKind::Text},
                       {Tr("Secure"), 120, GridColumnKind::Text},
                       {Tr("SingleStrength"), 60, GridColumnKind::Image}});
    grid_->setGeometry(20, 46, kPageWidth - 40, kPageHeight - 56);
    CGridImageList pictures;
    for (const std::string& file : paths.signalStrength) {
        if (pictures.AddFromFile(QString::fromStdString(file), kSignalPictureSize) == 0) {
            // Keep the indices: a missing file still takes its place.
            QImage blank(kSignalPictureSize, QImage::Format_ARGB32);
            blank.fill(Qt::white);
            pictures.Add(blank);
        }
    }
    grid_->SetImageList(std::move(pictures));
    grid_->SetSortMark(sortColumn_, ascending_);
    connect(grid_, &CGridCtrl::headerClicked, this, &CBridgeSearcgAPDlg::OnHeaderClicked);
    connect(grid_, &CGridCtrl::cellClicked, this, &CBridgeSearcgAPDlg::OnCellClicked);

    timer_.setInterval(1000);
    timer_.setProperty(kTimerIdProperty, kTimerSurveyWatch);
    connect(&timer_, &QTimer::timeout, this, [this] { OnTimer(kTimerSurveyWatch); });
}

CBridgeSearcgAPDlg::~CBridgeSearcgAPDlg()
{
    timer_.stop();
}

void CBridgeSearcgAPDlg::StartSurvey()
{
    grid_->ClearRows();
    if (animation_->LoadFromFile(QString::fromStdString(CurrentSkinPaths().waitSearch))) animation_->Draw();
    animation_->show();
    scanning_->show();
    rescan_->hide();
    emit surveyStarted();
    if (host_.store) host_.store->ClearScanResults();
    if (host_.startSiteSurvey) host_.startSiteSurvey();
    watch_.Start();
    timer_.start();
}

void CBridgeSearcgAPDlg::StopWatch()
{
    timer_.stop();
    watch_.Stop();
    animation_->Stop();
    animation_->hide();
    scanning_->hide();
    rescan_->show();
}

void CBridgeSearcgAPDlg::OnTimer(int timerId)
{
    if (timerId != kTimerSurveyWatch) return;
    const bool complete = host_.engine && host_.engine->IsSurveyComplete();
    const uint32_t type = host_.chosenDevice ? static_cast<uint32_t>(host_.chosenDevice().type_code) : 0;
    switch (watch_.Tick(complete, type)) {
        case bridge::SurveyWatch::Step::Wait:
            break;
        case bridge::SurveyWatch::Step::AskAgain:
            if (host_.startSiteSurvey) host_.startSiteSurvey();
            break;
        case bridge::SurveyWatch::Step::Finish:
            StopWatch();
            FillGrid();
            break;
    }
}

void CBridgeSearcgAPDlg::FillGrid()
{
    std::vector<config_otherwl_basic> results;
    if (host_.store) host_.store->ListScanResults(bridge::ScanSortKey(sortColumn_), results, ascending_);
    std::vector<std::vector<GridCell>> rows;
    rows.reserve(results.size());
    for (const config_otherwl_basic& ap : results) {
        std::vector<GridCell> cells(bridge::kApColumnCount);
        cells[bridge::kApColSsid].text = LocalToQString(Field(ap.ssid, std::min<size_t>(ap.ssid_len, 32)));
        cells[bridge::kApColChannel].text = QString::number(ap.channel);
        cells[bridge::kApColMac].text = QString::fromStdString(MacText(ap.mac));
        const std::string_view secure = bridge::ApSecurityText(ap.secure_mode);
        cells[bridge::kApColSecure].text =
            QString::fromLatin1(secure.data(), static_cast<qsizetype>(secure.size()));
        cells[bridge::kApColSignal].image = bridge::SignalPicture(ap.signal);
        cells[bridge::kApColSignal].data = ap.signal;
        rows.push_back(std::move(cells));
    }
    grid_->SetRows(std::move(rows));
    grid_->SetSortMark(sortColumn_, ascending_);
    emit choiceChanged(false);
}

void CBridgeSearcgAPDlg::OnHeaderClicked(int column)
{
    if (column <= bridge::kApColSelect || column >= bridge::kApColumnCount) return;
    ascending_ = !ascending_;
    sortColumn_ = column;
    FillGrid();
}

void CBridgeSearcgAPDlg::OnCellClicked(int row, int column)
{
    if (column != bridge::kApColSelect || row < 0 || row >= grid_->RowCount()) return;
    // The grid has already inverted this row's tick; the list is a single choice.
    const bool ticked = grid_->IsTicked(row);
    for (int r = 0; r < grid_->RowCount(); ++r) {
        if (r != row) grid_->SetTicked(r, false);
    }
    emit choiceChanged(ticked);
}

QString CBridgeSearcgAPDlg::TickedMac() const
{
    const std::vector<int> ticked = grid_->TickedRows();
    return ticked.empty() ? QString() : grid_->CellText(ticked.front(), bridge::kApColMac);
}

// ---- WEP sub-page ----------------------------------------------------------------------------

CBridgeWepDlg::CBridgeWepDlg(QWidget* parent) : CTDialog(parent, Qt::Widget)
{
    MakePageSkin(*this, kDlgBridgeWep);
    resize(kPageWidth, 6 * kRowStep);

    MakeLabel(0, "Encryption_Type", this)->setGeometry(kLabelX, 0, kLabelWidth, kRowHeight);
    auth_ = MakeList(kIdcBridgeWepAuth, this);
    auth_->addItem(Tr("Open"), 0);
    auth_->addItem(Tr("Share"), 1);
    auth_->setGeometry(kFieldX, 0, kFieldWidth, kRowHeight);

    MakeLabel(0, "Default_key", this)->setGeometry(kLabelX, kRowStep, kLabelWidth, kRowHeight);
    defaultKey_ = MakeList(kIdcBridgeWepDefaultKey, this);
    for (int k = 0; k < 4; ++k) defaultKey_->addItem(Tr("Key " + std::to_string(k + 1)), k);
    defaultKey_->setGeometry(kFieldX, kRowStep, kFieldWidth, kRowHeight);

    static constexpr int kTypeIds[] = {1107, 1110, 1112, 1114};
    for (size_t k = 0; k < 4; ++k) {
        const int y = static_cast<int>(k + 2) * kRowStep;
        MakeLabel(0, ("Key" + std::to_string(k + 1)).c_str(), this)
            ->setGeometry(kLabelX, y, kLabelWidth, kRowHeight);
        keys_[k] = new CTEdit(kIdcBridgeWepKey1 + static_cast<int>(k), this);
        keys_[k]->setMaxLength(26);
        keys_[k]->setGeometry(kFieldX, y, kFieldWidth, kRowHeight);
        types_[k] = MakeList(kTypeIds[k], this);
        types_[k]->addItem(Tr("ASCII"), bridge::kWepAscii);
        types_[k]->addItem(Tr("Hex"), bridge::kWepHex);
        types_[k]->setGeometry(kFieldX + kFieldWidth + 10, y, 90, kRowHeight);
    }
    Reset();
}

void CBridgeWepDlg::Reset()
{
    auth_->setCurrentIndex(0);
    defaultKey_->setCurrentIndex(0);
    for (size_t k = 0; k < 4; ++k) {
        keys_[k]->clear();
        types_[k]->setCurrentIndex(0);
    }
}

// ---- Security page ---------------------------------------------------------------------------

CBridgeSecureDlg::CBridgeSecureDlg(QWidget* parent)
    : CTDialog(parent, Qt::Widget), channels_(DefaultChannelSource())
{
    MakePageSkin(*this, kDlgBridgeSecure);
    resize(kPageWidth, kPageHeight);
    int y = kSecureFirstRowY;

    MakeLabel(0, "BridgeSSID", this)->setGeometry(kLabelX, y, kLabelWidth, kRowHeight);
    ssid_ = new CTEdit(kIdcSecureSsid, this);
    ssid_->setGeometry(kFieldX, y, kFieldWidth, kRowHeight);
    y += kRowStep;

    MakeLabel(0, "Channel", this)->setGeometry(kLabelX, y, kLabelWidth, kRowHeight);
    channel_ = MakeList(kIdcSecureChannel, this);
    channel_->setGeometry(kFieldX, y, kFieldWidth, kRowHeight);
    y += kRowStep;

    bandwidthLabel_ = MakeLabel(0, "BandWidth", this);
    bandwidthLabel_->setGeometry(kLabelX, y, kLabelWidth, kRowHeight);
    bandwidth_ = MakeList(kIdcSecureBandwidth, this);
    bandwidth_->setGeometry(kFieldX, y, kFieldWidth, kRowHeight);
    y += kRowStep;

    secureModeLabel_ = MakeLabel(0, "SecureMode", this);
    secureModeLabel_->setGeometry(kLabelX, y, kLabelWidth, kRowHeight);
    secureMode_ = MakeList(kIdcSecureMode, this);
    secureMode_->setGeometry(kFieldX, y, kFieldWidth, kRowHeight);
    y += kRowStep;

    // The PSK fields and the WEP sub-page share the room below the security mode.
    cipherLabel_ = MakeLabel(kIdcSecureCipherLabel, "Encryption_Type", this);
    cipherLabel_->setGeometry(kLabelX, y, kLabelWidth, kRowHeight);
    cipherGroup_ = new QButtonGroup(this);
    static constexpr int kCipherIds[] = {kIdcSecureAes, kIdcSecureTkip, kIdcSecureTkipAes};
    static constexpr const char* kCipherTexts[] = {"AES", "TKIP", "TKIP&&AES"};
    int x = kFieldX;
    for (size_t i = 0; i < 3; ++i) {
        ciphers_[i] = new QRadioButton(this);
        SetControlId(ciphers_[i], kCipherIds[i]);
        // "&&" is the caption's escaped ampersand; the radio shows "TKIP&AES".
        ciphers_[i]->setText(Tr(kCipherTexts[i]));
        ciphers_[i]->adjustSize();
        ciphers_[i]->setGeometry(x, y, ciphers_[i]->sizeHint().width() + 4, kRowHeight);
        x += ciphers_[i]->width() + 12;
        cipherGroup_->addButton(ciphers_[i], static_cast<int>(i));
    }
    y += kRowStep;

    keyLabel_ = MakeLabel(0, "WirelessKey", this);
    keyLabel_->setGeometry(kLabelX, y, kLabelWidth, kRowHeight);
    key_ = new CTEdit(kIdcSecureKey, this);
    key_->setMaxLength(64);
    key_->setGeometry(kFieldX, y, kFieldWidth + 100, kRowHeight);

    keyTime_ = new CTEdit(kIdcSecureKeyTime, this);
    keyTime_->setMaxLength(5);
    keyTime_->setText(QStringLiteral("0"));
    keyTime_->hide();

    wep_ = new CBridgeWepDlg(this);
    wep_->hide();
    PlaceLowerRows(true);

    connect(secureMode_, &QComboBox::currentIndexChanged, this, &CBridgeSecureDlg::OnSecureModeChanged);
    connect(bandwidth_, &QComboBox::currentIndexChanged, this, &CBridgeSecureDlg::OnBandwidthChanged);
}

CBridgeSecureDlg::ChannelSource CBridgeSecureDlg::DefaultChannelSource()
{
    return [](const ap_info_stu& record, int bandwidth, bool& testCountry) {
        return bridge::WirelessChannelList(record, bandwidth, testCountry);
    };
}

void CBridgeSecureDlg::PlaceLowerRows(bool bandwidthShown)
{
    // Without the bandwidth row the rows below move up into its place.
    const int top = kSecureFirstRowY + (bandwidthShown ? 3 : 2) * kRowStep;
    secureModeLabel_->move(kLabelX, top);
    secureMode_->move(kFieldX, top);
    cipherLabel_->move(kLabelX, top + kRowStep);
    for (QRadioButton* radio : ciphers_) radio->move(radio->x(), top + kRowStep);
    keyLabel_->move(kLabelX, top + 2 * kRowStep);
    key_->move(kFieldX, top + 2 * kRowStep);
    wep_->move(0, top + kRowStep);
}

QRadioButton* CBridgeSecureDlg::CipherButton(int cipher) const
{
    return cipher >= 0 && cipher < 3 ? ciphers_[static_cast<size_t>(cipher)] : nullptr;
}

void CBridgeSecureDlg::BuildChannels(int bandwidth, int select)
{
    bool testCountry = false;
    const std::vector<int> list = channels_ ? channels_(record_, bandwidth, testCountry) : std::vector<int>{};
    const std::vector<int> shown =
        bridge::FilterBridgeChannels(list, testCountry, record_.ap_type, record_.extension_block.wl_dfs);
    const QSignalBlocker block(channel_);
    channel_->clear();
    for (int ch : shown) channel_->addItem(ch == 0 ? Tr("Auto") : QString::number(ch), ch);
    channel_->setCurrentIndex(IndexOfData(channel_, select));
}

void CBridgeSecureDlg::Fill(const ap_info_stu& record, const config_otherwl_basic& ap)
{
    record_ = record;
    ap_ = ap;
    const uint32_t type = record.ap_type;

    ssid_->setText(LocalToQString(Field(ap.ssid, std::min<size_t>(ap.ssid_len, sizeof ap.ssid))));

    {
        const QSignalBlocker block(bandwidth_);
        bandwidth_->clear();
        // The wireless page's bandwidth lists.
        for (const wireless::ValueItem& e :
             wireless::BandwidthItems(record.radio_block.rf_type, record.radio_block.network_mode, type)) {
            bandwidth_->addItem(Tr(e.text), e.value);
        }
        bandwidth_->setCurrentIndex(IndexOfData(bandwidth_, ap.bandwidth));
    }
    const int bandwidth = bandwidth_->currentIndex() >= 0 ? bandwidth_->currentData().toInt() : ap.bandwidth;
    BuildChannels(bandwidth, ap.channel);

    const bool showBandwidth = bridge::ShowsBandwidth(type);
    bandwidth_->setVisible(showBandwidth);
    bandwidth_->setEnabled(showBandwidth);
    bandwidthLabel_->setVisible(showBandwidth);
    PlaceLowerRows(showBandwidth);

    // Rebuilt from scratch on every fill, so each entry is listed once.
    const bridge::SecurityChoice choice = bridge::PreselectSecurity(ap.secure_mode, type);
    {
        const QSignalBlocker block(secureMode_);
        secureMode_->clear();
        for (const bridge::ListEntry& e : bridge::SecureModeEntries(type))
            secureMode_->addItem(Tr(e.text), e.data);
        secureMode_->setCurrentIndex(IndexOfData(secureMode_, choice.mode));
    }
    ciphers_[static_cast<size_t>(std::clamp(choice.cipher, 0, 2))]->setChecked(true);
    key_->clear();
    keyTime_->setText(QStringLiteral("0"));
    wep_->Reset();
    OnSecureModeChanged();
}

int CBridgeSecureDlg::SelectedMode() const
{
    return secureMode_->currentIndex() >= 0 ? secureMode_->currentData().toInt() : bridge::kModeNone;
}

int CBridgeSecureDlg::SelectedCipher() const
{
    const int id = cipherGroup_->checkedId();
    return id >= 0 ? id : bridge::kCipherAes;
}

void CBridgeSecureDlg::OnSecureModeChanged()
{
    const int mode = SelectedMode();
    const bridge::ModeFields fields = bridge::FieldsOfMode(mode);
    const int cipher = bridge::CipherForMode(mode, SelectedCipher());
    ciphers_[static_cast<size_t>(cipher)]->setChecked(true);
    for (QWidget* w : std::initializer_list<QWidget*>{cipherLabel_, keyLabel_, key_, ciphers_[0], ciphers_[1],
                                                      ciphers_[2]}) {
        w->setVisible(fields.psk);
        w->setEnabled(fields.psk);
    }
    ciphers_[2]->setEnabled(fields.psk && fields.tkipAesEnabled);
    keyTime_->setEnabled(fields.psk);
    wep_->setVisible(fields.wep);
}

void CBridgeSecureDlg::OnBandwidthChanged()
{
    const int current = channel_->currentIndex() >= 0 ? channel_->currentData().toInt() : ap_.channel;
    BuildChannels(bandwidth_->currentData().toInt(), current);
}

bridge::SecurityInput CBridgeSecureDlg::Input() const
{
    bridge::SecurityInput in;
    in.typeCode = record_.ap_type;
    std::memcpy(in.apMac.data(), ap_.mac, 6);
    in.channel = channel_->currentIndex() >= 0 ? channel_->currentData().toInt() : 0;
    in.ssid = ssid_->text().toStdU16String();
    in.ssidLocal = QStringToLocal(ssid_->text());
    in.mode = SelectedMode();
    in.cipher = SelectedCipher();
    in.key = key_->text().toStdU16String();
    in.keyLocal = QStringToLocal(key_->text());
    in.keyTime = keyTime_->text().toStdU16String();
    in.wepAuth = wep_->AuthList()->currentData().toInt();
    in.wepDefaultKey = wep_->DefaultKeyList()->currentData().toInt();
    for (int k = 0; k < 4; ++k) {
        const size_t i = static_cast<size_t>(k);
        in.wepKeys[i].text = wep_->KeyEdit(k)->text().toStdU16String();
        in.wepKeys[i].type = wep_->KeyTypeList(k)->currentData().toInt();
        in.wepKeysLocal[i] = QStringToLocal(wep_->KeyEdit(k)->text());
    }
    return in;
}

void CBridgeSecureDlg::ShowRefusal(const bridge::SecurityVerdict& verdict)
{
    ShowMessage(this, Tr(verdict.message),
                verdict.applicationCaption ? MessageCaption::ApplicationName : MessageCaption::Empty);
    switch (verdict.field) {
        case bridge::SecurityField::Ssid:
            ssid_->setFocus();
            break;
        case bridge::SecurityField::Key:
            key_->setFocus();
            break;
        case bridge::SecurityField::WepKey:
        case bridge::SecurityField::WepDefaultKey:
            if (verdict.wepKey >= 0 && verdict.wepKey < 4) wep_->KeyEdit(verdict.wepKey)->setFocus();
            break;
        case bridge::SecurityField::None:
            break;
    }
}

bool CBridgeSecureDlg::Collect(BRIDGE_SECURITY_BLOCK& block)
{
    const bridge::SecurityInput in = Input();
    const bridge::SecurityVerdict verdict = bridge::CheckSecurity(in);
    if (!verdict.ok()) {
        ShowRefusal(verdict);
        return false;
    }
    block_ = bridge::BuildSecurityBlock(in);
    block = block_;
    return true;
}

// ---- IP page ---------------------------------------------------------------------------------

CBridgeIPSetDlg::CBridgeIPSetDlg(const BridgeWizardHost& host, QWidget* parent)
    : CTDialog(parent, Qt::Widget), host_(host)
{
    MakePageSkin(*this, kDlgBridgeIpSet);
    resize(kPageWidth, kPageHeight);
    struct Row {
        int id;
        const char* label;
    };
    static constexpr Row kRows[] = {{kIdcBridgeIp, "IP_Address"},
                                    {kIdcBridgeMask, "Sub_Network"},
                                    {kIdcBridgeGateway, "Gate_Way"},
                                    {kIdcBridgeDns1, "Major_Dns"},
                                    {kIdcBridgeDns2, "Dns"}};
    int y = 24;
    for (size_t i = 0; i < std::size(kRows); ++i) {
        MakeLabel(0, kRows[i].label, this)->setGeometry(kLabelX, y, kLabelWidth, kRowHeight);
        fields_[i] = new CIpAddressCtrl(kRows[i].id, this);
        fields_[i]->setGeometry(kFieldX, y, kFieldWidth, kRowHeight);
        y += kRowStep;
    }
    auto* tip = MakeLabel(kIdcBridgeTopTip, "Toptip", this, Qt::AlignLeft);
    tip->setWordWrap(true);
    tip->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    tip->setGeometry(kLabelX + 20, y + 10, kPageWidth - 2 * kLabelX - 40, 60);
}

CIpAddressCtrl* CBridgeIPSetDlg::Field(int controlId) const
{
    for (CIpAddressCtrl* f : fields_) {
        if (ControlId(f) == controlId) return f;
    }
    return nullptr;
}

void CBridgeIPSetDlg::Fill(const IP_BLOCK& b)
{
    const uint8_t* parts[] = {b.ip, b.ip_mask, b.ip_gateway, b.ip_dns1, b.ip_dns2};
    for (size_t i = 0; i < 5; ++i) {
        fields_[i]->SetText(QString::fromStdString(IpText(std::span<const uint8_t, 4>(parts[i], 4))));
    }
    currentIp_ = fields_[0]->Text();
}

bridge::IpInput CBridgeIPSetDlg::Input() const
{
    return {fields_[0]->Text().toStdString(), fields_[1]->Text().toStdString(),
            fields_[2]->Text().toStdString(), fields_[3]->Text().toStdString(),
            fields_[4]->Text().toStdString()};
}

bool CBridgeIPSetDlg::Collect(IP_BLOCK& block)
{
    const bridge::IpInput in = Input();
    std::vector<std::string> ips;
    if (host_.store) host_.store->GetAllIps(ips);
    if (const char* refusal = bridge::CheckIpPage(in, currentIp_.toStdString(), ips)) {
        ShowMessage(this, Tr(refusal), MessageCaption::ApplicationName, MessageIcon::None);
        return false;
    }
    block = bridge::BuildIpBlock(in);
    return true;
}

// ---- Finish page -----------------------------------------------------------------------------

CBridgeFinishDlg::CBridgeFinishDlg(QWidget* parent) : CTDialog(parent, Qt::Widget)
{
    MakePageSkin(*this, kDlgBridgeFinish);
    resize(kPageWidth, kPageHeight);
    auto* picture = new QLabel(this);
    SetControlId(picture, kIdcFinishPicture);
    const QPixmap image(QString::fromStdString(CurrentSkinPaths().bridgeFinish));
    if (!image.isNull()) picture->setPixmap(image);
    picture->setGeometry((kPageWidth - 380) / 2, 40, 380, 160);
    auto* text = MakeLabel(kIdcFinishText, "You are configuring the device to work as Station mode.", this,
                           Qt::AlignHCenter);
    text->setWordWrap(true);
    text->setGeometry(40, 230, kPageWidth - 80, 60);
}

// ---- The wizard ------------------------------------------------------------------------------

CBridgeConfigDlg::CBridgeConfigDlg(const ap_info_stu& record, BridgeWizardHost host, QWidget* parent)
    : CTDialog(parent, Qt::Dialog), record_(record), host_(std::move(host))
{
    const SkinSettings& skin = CurrentSettings().skin;
    const SkinPaths& paths = CurrentSkinPaths();
    setObjectName(QStringLiteral("bridgeConfigDlg"));
    SetControlId(this, kDlgBridgeConfig);
    SetFrameless(true);
    setModal(true);
    setFixedSize(kWizardWidth, kWizardHeight);
    setWindowTitle(Tr("Device bridge"));
    SetFillColor(ToQColor(skin.childBkColor));
    EnableDrag(true);
    SetLineColor(ToQColor(skin.lineColor));
    const int w = width() - 1;
    const int h = height() - 1;
    const int buttonBarTop = height() - kButtonBarHeight;
    SetLines({{0, 0, w, 0}, {w, 0, w, h}, {0, h, w, h}, {0, 0, 0, h}, {0, buttonBarTop, w, buttonBarTop}});

    auto* bar = new CTDialog(this, Qt::Widget);
    SetControlId(bar, kIdcWizardTitleBar);
    bar->SetFillColor(ToQColor(skin.gridTitleBkColor));
    bar->setGeometry(1, 1, width() - 2, kTitleBarHeight);
    title_ = MakeLabel(kIdcWizardTitle, "Device bridge", bar, Qt::AlignLeft);
    title_->SetSkin(ToQString(skin.fontName), ToQColor(skin.gridTitleTextColor),
                    ToQColor(skin.gridTitleBkColor), 700, skin.staticFontHeight);
    title_->SetText(Tr("Device bridge"));
    title_->setGeometry(16, 0, 300, kTitleBarHeight);
    title_->setAttribute(Qt::WA_TransparentForMouseEvents, true);

    close_ =
        MakeCloseButton(kIdcWizardClose, QString::fromStdString(paths.closeConfig), Tr("Close"), skin, bar);
    close_->setGeometry(bar->width() - 20 - 10, (kTitleBarHeight - 20) / 2, 20, 20);
    connect(close_, &CTButtonPicture::clicked, this, &CBridgeConfigDlg::CloseWizard);

    const QString buttonImage = QString::fromStdString(paths.btnConfig);
    back_ = MakeDialogButton(kIdcWizardBack, Tr("Back"), buttonImage, skin, this);
    next_ = MakeDialogButton(kIdcWizardNext, Tr("Next"), buttonImage, skin, this);
    const int buttonY = buttonBarTop + (kButtonBarHeight - kButtonHeight) / 2;
    next_->setGeometry(width() - kButtonWidth - 24, buttonY, kButtonWidth, kButtonHeight);
    back_->setGeometry(next_->x() - kButtonWidth - 16, buttonY, kButtonWidth, kButtonHeight);
    connect(back_, &CTButtonPicture::clicked, this, &CBridgeConfigDlg::Back);
    connect(next_, &CTButtonPicture::clicked, this, &CBridgeConfigDlg::Next);
    back_->hide();
    next_->setEnabled(false);

    // The pages take the area between the title bar and the button bar.
    const QRect area(1, kTitleBarHeight + 1, kPageWidth, kPageHeight);
    search_ = new CBridgeSearcgAPDlg(host_, this);
    secure_ = new CBridgeSecureDlg(this);
    ipPage_ = new CBridgeIPSetDlg(host_, this);
    finish_ = new CBridgeFinishDlg(this);
    for (CTDialog* page : std::initializer_list<CTDialog*>{search_, secure_, ipPage_, finish_}) {
        page->setGeometry(area);
        page->hide();
    }
    connect(search_, &CBridgeSearcgAPDlg::surveyStarted, this, [this] { next_->setEnabled(false); });
    connect(search_, &CBridgeSearcgAPDlg::choiceChanged, this,
            [this](bool ticked) { next_->setEnabled(ticked); });

    ShowPage(kPageSearch);
    search_->StartSurvey();
}

CBridgeConfigDlg::~CBridgeConfigDlg()
{
    saveWorker_.Stop();
}

void CBridgeConfigDlg::ShowPage(int page)
{
    page_ = page;
    search_->setVisible(page == kPageSearch);
    secure_->setVisible(page == kPageSecurity);
    ipPage_->setVisible(page == kPageIp);
    finish_->setVisible(page == kPageFinish);
    back_->setVisible(page != kPageSearch);
    next_->SetCaption(Tr(page == kPageFinish ? "Save" : "Next"));
    if (page != kPageSearch) next_->setEnabled(true);
}

void CBridgeConfigDlg::Next()
{
    switch (page_) {
        case kPageSearch: {
            const QString mac = search_->TickedMac();
            if (mac.isEmpty()) return;
            config_otherwl_basic ap{};
            if (host_.store) host_.store->GetScanResult(ap, mac.toStdString());
            ShowPage(kPageSecurity);
            secure_->Fill(record_, ap);
            return;
        }
        case kPageSecurity:
            if (!secure_->Collect(security_)) return;
            ShowPage(kPageIp);
            ipPage_->Fill(record_.ip_block);
            return;
        case kPageIp:
            if (!ipPage_->Collect(ipBlock_)) return;
            ShowPage(kPageFinish);
            return;
        case kPageFinish:
            Save();
            return;
        default:
            return;
    }
}

void CBridgeConfigDlg::Back()
{
    switch (page_) {
        case kPageFinish:
            ShowPage(kPageIp);
            return;
        case kPageIp:
            ShowPage(kPageSecurity);
            return;
        case kPageSecurity:
            ShowPage(kPageSearch);
            next_->setEnabled(!search_->TickedMac().isEmpty());
            return;
        default:
            return;
    }
}

void CBridgeConfigDlg::ClearScanTable()
{
    if (host_.store) host_.store->ClearScanResults();
}

void CBridgeConfigDlg::Save()
{
    if (host_.chosenDevice) chosen_ = host_.chosenDevice();
    payload_ = bridge::BuildBridgePayload(security_, ipBlock_);
    if (CommEngine* engine = host_.engine) {
        saveWorker_.Start([engine, payload = payload_, ip = std::string(CText(chosen_.ip)),
                           mac = std::string(CText(chosen_.mac))](const std::atomic<bool>& stop) {
            if (!stop.load()) engine->SetBridge(ip, mac, payload);
        });
    }
    search_->StopWatch();
    ClearScanTable();
    accept();
}

void CBridgeConfigDlg::CloseWizard()
{
    search_->StopWatch();
    ClearScanTable();
    reject();
}

}  // namespace pontiq
