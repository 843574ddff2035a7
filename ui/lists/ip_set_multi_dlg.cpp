#include "ui/lists/ip_set_multi_dlg.h"

#include <QProgressBar>
#include <span>
#include <string>

#include "app/application_app.h"
#include "app/controls/button_skin.h"
#include "app/controls/ct_button_picture.h"
#include "app/controls/ct_static.h"
#include "app/controls/dialog_units.h"
#include "app/controls/message_box.h"
#include "app/controls/skin_style.h"
#include "app/ui/shell_ids.h"
#include "app/ui/translate_window.h"
#include "comm/comm_engine.h"
#include "store/value_format.h"
#include "ui/lists/apply_worker.h"
#include "ui/lists/ip_address_ctrl.h"

namespace pontiq {

namespace {

// Layout in dialog units.
constexpr int kWidth = 236;
constexpr int kHeight = 196;
constexpr int kLabelX = 8;
constexpr int kLabelWidth = 96;
constexpr int kFieldX = 108;
constexpr int kFieldWidth = 112;
constexpr int kRowHeight = 13;
constexpr int kFirstRowY = 34;
constexpr int kRowStep = 20;  // 32.5 px: one row, which the one-device layout moves the first down by

std::array<uint8_t, 4> Bytes(const QString& text)
{
    return IpToBytes(text.toStdString());
}

CommEngine* ApplicationEngine()
{
    CApplicationApp* app = CApplicationApp::InstancePointer();
    return app && app->HasEngine() ? &app->engine() : nullptr;
}

}  // namespace

const char* CheckIpRange(const IpRangeEntries& e, bool several)
{
    return CheckIpRangeTexts({e.first.toStdString(), e.last.toStdString(), e.mask.toStdString(),
                              e.gateway.toStdString(), e.dns1.toStdString(), e.dns2.toStdString()},
                             several);
}

CIpsetMutilDlg::CIpsetMutilDlg(std::vector<SelectionEntry> selection, const IP_BLOCK& initial,
                               CApplyWorker& worker, QWidget* parent)
    : CIpsetMutilDlg(std::move(selection), initial, worker, nullptr, parent)
{
}

CIpsetMutilDlg::CIpsetMutilDlg(std::vector<SelectionEntry> selection, const IP_BLOCK& initial,
                               CApplyWorker& worker, CommEngine& engine, QWidget* parent)
    : CIpsetMutilDlg(std::move(selection), initial, worker, &engine, parent)
{
}

CIpsetMutilDlg::CIpsetMutilDlg(std::vector<SelectionEntry> selection, const IP_BLOCK& initial,
                               CApplyWorker& worker, CommEngine* engine, QWidget* parent)
    : CTDialog(parent, Qt::Dialog), selection_(std::move(selection)), worker_(worker), engine_(engine)
{
    BuildControls();

    if (DeviceCount() <= 1) {
        lastLabel_->hide();
        last_->hide();
        firstLabel_->SetText(TranslateQ(std::string_view("IP_Address")));
        firstLabel_->move(firstLabel_->pos() + QPoint(0, kOneDeviceShift));
        first_->move(first_->pos() + QPoint(0, kOneDeviceShift));
    }

    first_->SetText(QString::fromStdString(IpText(std::span<const uint8_t, 4>(initial.ip))));
    mask_->SetText(QString::fromStdString(IpText(std::span<const uint8_t, 4>(initial.ip_mask))));
    gateway_->SetText(QString::fromStdString(IpText(std::span<const uint8_t, 4>(initial.ip_gateway))));
    dns1_->SetText(QString::fromStdString(IpText(std::span<const uint8_t, 4>(initial.ip_dns1))));
    dns2_->SetText(QString::fromStdString(IpText(std::span<const uint8_t, 4>(initial.ip_dns2))));

    timer_.setInterval(kProgressTickMs);
    timer_.setProperty(kTimerIdProperty, kTimerProgress);
    connect(&timer_, &QTimer::timeout, this, &CIpsetMutilDlg::Tick);
}

CIpsetMutilDlg::~CIpsetMutilDlg()
{
    timer_.stop();
}

void CIpsetMutilDlg::BuildControls()
{
    const SkinSettings& skin = CurrentSettings().skin;
    const SkinPaths& paths = CurrentSkinPaths();
    setObjectName(QStringLiteral("ipSetMultiDlg"));
    SetControlId(this, kDlgIpSetMulti);
    SetFrameless(true);
    setModal(true);
    setFixedSize(DluX(kWidth), DluY(kHeight));
    setWindowTitle(TranslateQ(std::string_view("Set IP")));
    SetFillColor(ToQColor(skin.childBkColor));
    EnableDrag(true);
    SetLineColor(ToQColor(skin.lineColor));
    const int w = width() - 1;
    const int h = height() - 1;
    SetLines({{0, 0, w, 0}, {w, 0, w, h}, {0, h, w, h}, {0, 0, 0, h}, {0, DluY(24), w, DluY(24)}});

    title_ = new CTStatic(kIdcIpSetTitle, this);
    ApplyLabelSkin(*title_, skin);
    title_->SetSkin(ToQString(skin.fontName), ToQColor(skin.gridTitleTextColor), ToQColor(skin.childBkColor),
                    700, skin.staticFontHeight);
    title_->SetText(TranslateQ(std::string_view("Set IP")));
    title_->setGeometry(DluRect(10, 6, 150, 13));

    close_ = MakeCloseButton(kIdcIpSetClose, QString::fromStdString(paths.closeConfig),
                             TranslateQ(std::string_view("Close")), skin, this);
    close_->setGeometry(width() - 20 - DluX(6), DluY(5), 20, 20);
    connect(close_, &CTButtonPicture::clicked, this, &CIpsetMutilDlg::CancelDialog);

    struct Row {
        CTStatic** label;
        int labelId;
        const char* text;
        CIpAddressCtrl** field;
        int fieldId;
    };
    const Row rows[] = {
        {&firstLabel_, kIdcIpSetFirstLabel, "IP_Address_Begin", &first_, kIdcIpSetFirst},
        {&lastLabel_, kIdcIpSetLastLabel, "IP_Address_End", &last_, kIdcIpSetLast},
        {nullptr, kIdcIpSetMaskLabel, "Sub_Network", &mask_, kIdcIpSetMask},
        {nullptr, kIdcIpSetGatewayLabel, "Gate_Way", &gateway_, kIdcIpSetGateway},
        {nullptr, kIdcIpSetDns1Label, "Major_Dns", &dns1_, kIdcIpSetDns1},
        {nullptr, kIdcIpSetDns2Label, "Dns", &dns2_, kIdcIpSetDns2},
    };
    int y = kFirstRowY;
    for (const Row& row : rows) {
        auto* label = new CTStatic(row.labelId, this);
        ApplyLabelSkin(*label, skin);
        label->SetText(TranslateQ(std::string_view(row.text)));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setWordWrap(false);
        label->setGeometry(DluRect(kLabelX, y, kLabelWidth - 6, kRowHeight));
        if (row.label) *row.label = label;
        auto* field = new CIpAddressCtrl(row.fieldId, this);
        field->setGeometry(DluRect(kFieldX, y, kFieldWidth, kRowHeight));
        *row.field = field;
        y += kRowStep;
    }

    progress_ = new QProgressBar(this);
    SetControlId(progress_, kIdcIpSetProgress);
    progress_->setGeometry(DluRect(kLabelX + 8, y + 2, kFieldX + kFieldWidth - kLabelX - 8, 8));
    progress_->setTextVisible(false);
    progress_->setStyleSheet(
        QStringLiteral("QProgressBar { border: 1px solid rgb(190,190,190); border-radius: 3px;"
                       " background: white; }"
                       "QProgressBar::chunk { background: %1; border-radius: 2px; }")
            .arg(ToQColor(skin.gridTitleTextColor).name()));
    progress_->hide();

    const QString buttonImage = QString::fromStdString(paths.btnConfig);
    save_ = MakeDialogButton(kIdcIpSetSave, TranslateQ(std::string_view("Save")), buttonImage, skin, this);
    cancel_ =
        MakeDialogButton(kIdcIpSetCancel, TranslateQ(std::string_view("Cancel")), buttonImage, skin, this);
    // The button images are 76 x 24 pixels.
    const int buttonY = height() - 24 - DluY(10);
    cancel_->setGeometry(width() - 76 - DluX(14), buttonY, 76, 24);
    save_->setGeometry(cancel_->x() - 76 - DluX(8), buttonY, 76, 24);
    connect(save_, &CTButtonPicture::clicked, this, [this] { Save(); });
    connect(cancel_, &CTButtonPicture::clicked, this, &CIpsetMutilDlg::CancelDialog);
}

CIpAddressCtrl* CIpsetMutilDlg::AddressControl(int controlId) const
{
    for (CIpAddressCtrl* c : {first_, last_, mask_, gateway_, dns1_, dns2_}) {
        if (ControlId(c) == controlId) return c;
    }
    return nullptr;
}

IpRangeEntries CIpsetMutilDlg::Entries() const
{
    return {first_->Text(), last_->Text(), mask_->Text(), gateway_->Text(), dns1_->Text(), dns2_->Text()};
}

void CIpsetMutilDlg::ShowRefusal(const char* key)
{
    ShowMessage(this, TranslateQ(std::string_view(key)), MessageCaption::ApplicationName, MessageIcon::None);
}

bool CIpsetMutilDlg::Save()
{
    if (busy_) return false;
    const IpRangeEntries entries = Entries();
    if (const char* refusal = CheckIpRange(entries, DeviceCount() > 1)) {
        ShowRefusal(refusal);
        return false;
    }
    settings_.first = Bytes(entries.first);
    settings_.last = Bytes(entries.last);
    settings_.mask = Bytes(entries.mask);
    settings_.gateway = Bytes(entries.gateway);
    settings_.dns1 = Bytes(entries.dns1);
    settings_.dns2 = Bytes(entries.dns2);

    if (!engine_) engine_ = ApplicationEngine();
    if (CommEngine* engine = engine_) {
        worker_.Start([engine, selection = selection_, settings = settings_](const std::atomic<bool>& stop) {
            RunIpApply(*engine, selection, settings, stop);
        });
    }

    busy_ = true;
    for (QWidget* w :
         std::initializer_list<QWidget*>{first_, last_, mask_, gateway_, dns1_, dns2_, save_, cancel_}) {
        w->setEnabled(false);
    }
    progress_->setRange(0, kProgressLength);
    progress_->setValue(0);
    progress_->show();
    rediscoveries_ = kRediscoveries;
    rediscoveriesLeft_ = kRediscoveries;
    progressLength_ = kProgressLength;
    tickCounter_ = 0;
    timer_.start();
    return true;
}

void CIpsetMutilDlg::CancelDialog()
{
    // Closing while busy also ends the re-discoveries; the routine already started keeps running.
    timer_.stop();
    reject();
}

void CIpsetMutilDlg::Tick()
{
    if (!busy_ || !timer_.isActive()) return;
    const int before = tickCounter_++;
    // Three passes 6 ticks apart, the last on the last tick: ticks 18, 24 and 30.
    if (rediscoveriesLeft_ > 0 && before + 6 * rediscoveriesLeft_ == progressLength_ + 5) {
        if (!engine_) engine_ = ApplicationEngine();
        if (engine_ && rediscoveriesLeft_ == rediscoveries_) engine_->ReleaseDevices();
        --rediscoveriesLeft_;
        if (engine_) engine_->Discover();
    }
    if (tickCounter_ < progressLength_) {
        progress_->setValue(tickCounter_);
    } else {
        progress_->setValue(progressLength_);
        timer_.stop();
        accept();
    }
}

}  // namespace pontiq
