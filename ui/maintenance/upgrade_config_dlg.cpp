#include "ui/maintenance/upgrade_config_dlg.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPalette>
#include <QPointer>
#include <QProgressBar>
#include <QStringList>
#include <utility>

#include "app/application_app.h"
#include "app/controls/button_skin.h"
#include "app/controls/control_id.h"
#include "app/controls/ct_button_picture.h"
#include "app/controls/ct_edit.h"
#include "app/controls/ct_static.h"
#include "app/controls/dialog_units.h"
#include "app/controls/message_box.h"
#include "app/controls/skin_style.h"
#include "app/ui/shell_ids.h"
#include "app/ui/translate_window.h"
#include "comm/comm_engine.h"
#include "store/sql_management.h"
#include "store/value_format.h"
#include "ui/lists/list_columns.h"
#include "ui/maintenance/device_action_rules.h"
#include "ui/maintenance/file_server_process.h"

namespace pontiq {

namespace {

// Layout in dialog units.
constexpr int kWidth = 260;
constexpr int kHeight = 124;
constexpr int kTitleBarHeight = 24;
constexpr int kLabelX = 10;
constexpr int kLabelWidth = 52;
constexpr int kFieldX = 66;
constexpr int kRowHeight = 13;
constexpr int kTypeY = 36;
constexpr int kFileY = 56;
constexpr int kProgressLabelY = 78;
constexpr int kProgressY = 94;

QString Tr(std::string_view text)
{
    return TranslateQ(text);
}

}  // namespace

CUpgradeConfigDlg::CUpgradeConfigDlg(std::vector<SelectionEntry> selection, Services services,
                                     QWidget* parent)
    : CTDialog(parent, Qt::Dialog),
      selection_(std::move(selection)),
      services_(std::move(services)),
      run_(MakeIo())
{
    BuildControls();

    const std::pair<QTimer*, int> timers[] = {{&stageOneTimer_, kTimerUpgradeStageOne},
                                              {&stageTwoTimer_, kTimerUpgradeStageTwo},
                                              {&batchWatchTimer_, kTimerUpgradeBatchWatch},
                                              {&followUpTimer_, kTimerUpgradeFollowUp}};
    for (const auto& [timer, id] : timers) {
        timer->setInterval(kUpgradeTickMs);
        timer->setProperty(kTimerIdProperty, id);
        connect(timer, &QTimer::timeout, this, [this, id = id] { OnTimer(id); });
    }
}

CUpgradeConfigDlg::~CUpgradeConfigDlg()
{
    for (QTimer* timer : {&stageOneTimer_, &stageTwoTimer_, &batchWatchTimer_, &followUpTimer_})
        timer->stop();
    worker_.Stop();
    // A started server outlives nothing of the dialog's.
    if (started_) FileServer().Stop();
}

void CUpgradeConfigDlg::BuildControls()
{
    const SkinSettings& skin = CurrentSettings().skin;
    const SkinPaths& paths = CurrentSkinPaths();
    SetControlId(this, kDlgUpgradeConfig);
    SetFrameless(true);
    setModal(true);
    setFixedSize(DluX(kWidth), DluY(kHeight));
    setWindowTitle(Tr("Device upgrade"));
    SetFillColor(ToQColor(skin.childBkColor));
    EnableDrag(true);
    SetLineColor(ToQColor(skin.lineColor));
    const int w = width() - 1;
    const int h = height() - 1;
    const int barBottom = DluY(kTitleBarHeight);
    SetLines({{0, 0, w, 0}, {w, 0, w, h}, {0, h, w, h}, {0, 0, 0, h}});

    // Title bar on GridTitleBkColor; a plain widget passes presses on, so it drags the dialog.
    auto* bar = new QWidget(this);
    SetControlId(bar, kIdcUpgradeTitleBar);
    bar->setGeometry(1, 1, width() - 2, barBottom - 1);
    bar->setAutoFillBackground(true);
    QPalette barPalette = bar->palette();
    barPalette.setColor(QPalette::Window, ToQColor(skin.gridTitleBkColor));
    bar->setPalette(barPalette);

    title_ = new CTStatic(kIdcUpgradeTitle, bar);
    ApplyLabelSkin(*title_, skin);
    title_->SetSkin(ToQString(skin.fontName), ToQColor(skin.gridTitleTextColor),
                    ToQColor(skin.gridTitleBkColor), 700, skin.staticFontHeight);
    title_->SetText(Tr("Device upgrade"));
    title_->setGeometry(DluX(10) - 1, DluY(6) - 1, DluX(160), DluY(13));
    title_->setAttribute(Qt::WA_TransparentForMouseEvents, true);

    close_ =
        MakeCloseButton(kIdcUpgradeClose, QString::fromStdString(paths.closeConfig), Tr("Close"), skin, bar);
    close_->setGeometry(bar->width() - 20 - DluX(6), DluY(5) - 1, 20, 20);
    connect(close_, &CTButtonPicture::clicked, this, &CUpgradeConfigDlg::OnCloseClicked);

    const auto makeLabel = [&](int id, const char* text, int y) {
        auto* label = new CTStatic(id, this);
        ApplyLabelSkin(*label, skin);
        label->SetText(Tr(text));
        label->setGeometry(DluRect(kLabelX, y, kLabelWidth, kRowHeight));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return label;
    };
    typeLabel_ = makeLabel(kIdcUpgradeTypeLabel, "Type", kTypeY);
    type_ = new QComboBox(this);
    SetControlId(type_, kIdcUpgradeType);
    type_->setGeometry(DluRect(kFieldX, kTypeY - 1, 110, kRowHeight + 2));
    // Model names are not translated.
    for (const UpgradeTypeItem& item : UpgradeTypeItems(selection_)) {
        type_->addItem(LocalToQString(item.model), item.code);
    }
    if (type_->count() > 0) type_->setCurrentIndex(0);

    fileLabel_ = makeLabel(kIdcUpgradeFileLabel, "ChooseFile", kFileY);
    file_ = new CTEdit(kIdcUpgradeFile, this);
    file_->setReadOnly(true);
    file_->setGeometry(DluRect(kFieldX, kFileY - 1, 130, kRowHeight + 2));

    const QString buttonImage = QString::fromStdString(paths.btnConfig);
    scan_ = MakeDialogButton(kIdcUpgradeScan, Tr("Scan"), buttonImage, skin, this);
    scan_->setGeometry(file_->geometry().right() + DluX(6), file_->geometry().center().y() - 12, 76, 24);
    connect(scan_, &CTButtonPicture::clicked, this, &CUpgradeConfigDlg::OnScanClicked);

    upgrade_ = MakeDialogButton(kIdcUpgradeStart, Tr("Upgrade"), buttonImage, skin, this);
    upgrade_->setGeometry(width() - 76 - DluX(14), height() - 24 - DluY(9), 76, 24);
    connect(upgrade_, &CTButtonPicture::clicked, this, [this] { OnUpgradeClicked(); });

    progressLabel_ = new CTStatic(kIdcUpgradeProgressLabel, this);
    ApplyLabelSkin(*progressLabel_, skin);
    progressLabel_->setGeometry(DluRect(kLabelX, kProgressLabelY, kWidth - 2 * kLabelX, kRowHeight));
    progressLabel_->hide();

    progress_ = new QProgressBar(this);
    SetControlId(progress_, kIdcUpgradeProgress);
    progress_->setGeometry(DluRect(kLabelX, kProgressY, kWidth - 2 * kLabelX, 9));
    progress_->setTextVisible(false);
    progress_->setStyleSheet(
        QStringLiteral("QProgressBar { border: 1px solid rgb(190,190,190); border-radius: 3px;"
                       " background: white; }"
                       "QProgressBar::chunk { background: %1; border-radius: 2px; }")
            .arg(ToQColor(skin.gridTitleTextColor).name()));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->hide();
}

CommEngine* CUpgradeConfigDlg::Engine() const
{
    return CApplicationApp::EngineOr(services_.engine);
}

CSqlManagement* CUpgradeConfigDlg::Store() const
{
    return CApplicationApp::StoreOr(services_.store);
}

FileServerControl& CUpgradeConfigDlg::FileServer()
{
    if (services_.fileServer) return *services_.fileServer;
    if (!ownServer_) ownServer_ = MakeProgramFileServer();
    return *ownServer_;
}

UpgradeIo CUpgradeConfigDlg::MakeIo()
{
    // Engine and store are looked up per call: the run is made before the dialog knows them.
    UpgradeIo io;
    io.status = [this](std::string_view mac) {
        CSqlManagement* store = Store();
        return store ? store->GetDeviceStatus(mac) : uint32_t{STATUS_OUTLINE};
    };
    io.clearUpgradeFail = [this](std::string_view mac) {
        if (CSqlManagement* store = Store()) store->ClearUpgradeFail(mac);
    };
    io.isUpgradeWaiting = [this](std::string_view mac) {
        CSqlManagement* store = Store();
        return store && store->IsUpgradeWaiting(mac);
    };
    io.send = [this](const SelectionEntry& entry, uint16_t msgType, std::span<const uint8_t> payload) {
        if (CommEngine* engine = Engine())
            engine->SendCommand(CText(entry.ip), msgType, payload, CText(entry.mac), true);
    };
    io.discover = [this] {
        if (CommEngine* engine = Engine()) engine->Discover();
    };
    return io;
}

int32_t CUpgradeConfigDlg::ChosenType() const
{
    bool ok = false;
    const int32_t code = type_->currentData().toInt(&ok);
    return ok ? code : 1;
}

QTimer* CUpgradeConfigDlg::Timer(int timerId)
{
    switch (timerId) {
        case kTimerUpgradeStageOne:
            return &stageOneTimer_;
        case kTimerUpgradeStageTwo:
            return &stageTwoTimer_;
        case kTimerUpgradeBatchWatch:
            return &batchWatchTimer_;
        case kTimerUpgradeFollowUp:
            return &followUpTimer_;
        default:
            return nullptr;
    }
}

// ---- File choice -----------------------------------------------------------------------------

QString CUpgradeConfigDlg::ChooserFilter(const QString& mfcFilter)
{
    // "Description|pattern|Description|pattern||": Qt takes the pattern from the parentheses of
    // each description; "*.*" means every file, which on this system is "*".
    const QStringList parts = mfcFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        QString pattern = parts[i + 1].trimmed();
        if (description.isEmpty() || pattern.isEmpty()) continue;
        if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
        const int open = description.lastIndexOf(QLatin1Char('('));
        if (open > 0 && description.endsWith(QLatin1Char(')')))
            description = description.left(open).trimmed();
        filters << QStringLiteral("%1 (%2)").arg(description, pattern);
    }
    return filters.join(QStringLiteral(";;"));
}

void CUpgradeConfigDlg::OnScanClicked()
{
    const QString filter = ChooserFilter(Tr("Files (*.bin)|*.bin|All files (*.*)|*.*||"));
    QString path;
    if (services_.chooseFile) {
        path = services_.chooseFile(this, filter);
    } else {
        path = QFileDialog::getOpenFileName(this, QString(), folder_, filter);
    }
    if (!path.isEmpty()) SetChosenFile(path);
}

void CUpgradeConfigDlg::SetChosenFile(const QString& path)
{
    const QFileInfo info(path);
    fileName_ = info.fileName();
    folder_ = info.absolutePath();
    file_->setText(path);
}

// ---- Start -----------------------------------------------------------------------------------

bool CUpgradeConfigDlg::OnUpgradeClicked()
{
    if (started_) return false;
    const QString path = file_->text();
    if (path.isEmpty()) {
        ShowMessage(this, Tr("Please select the upgrade file!"), MessageCaption::ApplicationName);
        return false;
    }
    if (!HasBinExtension(path.toStdString())) {
        ShowMessage(this, Tr("Upgrade file is not .bin file!"), MessageCaption::ApplicationName);
        return false;
    }
    // The device is told the name in a 260-byte field with a one-byte length: a longer name would
    // be cut and the devices would ask for a file that does not exist.
    const std::string localName = QStringToLocal(fileName_);
    if (!MakeUpgradePayload(localName, 0)) {
        ShowMessage(this, Tr("The upgrade file name is too long!"), MessageCaption::ApplicationName);
        return false;
    }
    if (ShowMessage(this, Tr("Are you sure you want to upgrade?"), MessageCaption::Empty,
                    MessageIcon::Question, MessageButtons::OkCancel) != MessageResult::Ok) {
        return false;
    }

    // A file that cannot be opened goes out with size 0.
    uint32_t size = 0;
    if (QFile file(path); file.open(QIODevice::ReadOnly)) {
        size = static_cast<uint32_t>(std::min<qint64>(file.size(), UINT32_MAX));
    }
    const UPGRADE_PAYLOAD payload = *MakeUpgradePayload(localName, size);

    scan_->setEnabled(false);
    upgrade_->hide();
    progress_->show();
    progressLabel_->SetText(Tr("Upgrade file transfer progress"));
    progressLabel_->show();

    run_.Start(selection_, ChosenType(), payload);
    progress_->setRange(0, run_.StageOneLength());
    progress_->setValue(0);
    started_ = true;

    FileServer().Start(folder_.toStdString());
    StartWorker();
    stageOneTimer_.start();
    followUpTimer_.start();
    return true;
}

void CUpgradeConfigDlg::StartWorker()
{
    FileServerControl* server = &FileServer();
    UpgradeRun* run = &run_;
    ServerWaitIo wait;
    wait.isRunning = [server] { return server->IsRunning(); };
    wait.pause = services_.pause;
    QPointer<CUpgradeConfigDlg> self(this);
    worker_.Start([server, run, wait, self](const std::atomic<bool>& stop) {
        bool stopped = false;
        WaitForFileServer(wait, stop, &stopped);
        if (stopped || stop.load()) return;
        // A server that cannot take its port never serves: the devices are not told to fetch.
        FileServerHealth health = server->Health();
        if (health.fault != FileServerFault::None) {
            QMetaObject::invokeMethod(
                self,
                [self, health = std::move(health)] {
                    if (self) self->ServerFailed(health);
                },
                Qt::QueuedConnection);
            return;
        }
        if (stop.load()) return;
        if (run->SendBatch()) {
            // The watch timer belongs to the dialog's thread.
            QMetaObject::invokeMethod(
                self,
                [self] {
                    if (self) self->ArmBatchWatch();
                },
                Qt::QueuedConnection);
        }
    });
}

void CUpgradeConfigDlg::ArmBatchWatch()
{
    if (started_) batchWatchTimer_.start();
}

void CUpgradeConfigDlg::ServerFailed(const FileServerHealth& health)
{
    FileServer().Stop();
    BackToIdle();
    ShowMessage(this, FileServerFaultText(health), MessageCaption::ApplicationName);
}

QString CUpgradeConfigDlg::FileServerFaultText(const FileServerHealth& health)
{
    QString text;
    switch (health.fault) {
        case FileServerFault::PortPermission:
            text =
                Tr("The file server may not open its port. Run the program as root or give "
                   "service/FileServer the cap_net_bind_service capability.");
            break;
        case FileServerFault::PortInUse:
            text = Tr("The file server cannot open its port: another program is using it.");
            break;
        case FileServerFault::Other:
        case FileServerFault::None:
            text = Tr("The file server could not start, so the devices cannot fetch the file.");
            break;
    }
    if (!health.detail.empty()) text += QStringLiteral("\n\n") + QString::fromStdString(health.detail);
    return text;
}

void CUpgradeConfigDlg::BackToIdle()
{
    for (QTimer* timer : {&stageOneTimer_, &stageTwoTimer_, &batchWatchTimer_, &followUpTimer_})
        timer->stop();
    started_ = false;
    scan_->setEnabled(true);
    upgrade_->show();
    progress_->hide();
    progressLabel_->hide();
}

// ---- Timers ----------------------------------------------------------------------------------

void CUpgradeConfigDlg::OnTimer(int timerId)
{
    switch (timerId) {
        case kTimerUpgradeStageOne:
            StageOneTick();
            break;
        case kTimerUpgradeStageTwo:
            StageTwoTick();
            break;
        case kTimerUpgradeBatchWatch:
            BatchWatchTick();
            break;
        case kTimerUpgradeFollowUp:
            FollowUp();
            break;
        default:
            break;
    }
}

void CUpgradeConfigDlg::BatchWatchTick()
{
    const UpgradeRun::WatchStep step = run_.BatchWatchTick();
    if (!step.finished) return;
    batchWatchTimer_.stop();
    if (step.nextBatch) batchWatchTimer_.start();
}

void CUpgradeConfigDlg::StageOneTick()
{
    const UpgradeRun::StageOneStep step = run_.StageOneTick();
    if (!step.ended) {
        progress_->setValue(step.progress);
        return;
    }
    stageOneTimer_.stop();
    progress_->setRange(0, UpgradeRun::kStageTwoLength);
    progress_->setValue(0);
    progressLabel_->SetText(Tr("Firmware upgrading progress"));
    stageTwoTimer_.start();
    // Every target failed: nothing will upgrade; the dialog's end stops the server.
    if (step.allFailed) accept();
}

void CUpgradeConfigDlg::StageTwoTick()
{
    const UpgradeRun::StageTwoStep step = run_.StageTwoTick();
    if (!step.finished) {
        progress_->setValue(step.progress);
        return;
    }
    followUpTimer_.stop();
    stageTwoTimer_.stop();
    progress_->setValue(progress_->maximum());
    scan_->setEnabled(true);
    upgrade_->show();
    FileServer().Stop();
    accept();
}

void CUpgradeConfigDlg::FollowUp()
{
    CSqlManagement* store = Store();
    if (!store || !services_.showStatus) return;
    for (const SelectionEntry& entry : selection_) {
        const std::string_view mac = CText(entry.mac);
        if (mac.empty()) continue;
        services_.showStatus(LocalToQString(mac), LocalToQString(StatusText(store->GetDeviceStatus(mac))));
    }
}

void CUpgradeConfigDlg::OnCloseClicked()
{
    FileServer().Stop();
    reject();
}

}  // namespace pontiq
