// The upgrade dialog of the upgrade page: a firmware file and a device type; Upgrade starts the
// file server for the file's folder, a worker that waits for the server and tells the ticked
// devices of that type to fetch the file, and two timed progress stages while the page's Status
// cells follow the devices. At the end the server stops and the dialog closes itself (Accepted);
// the close button stops the server and closes (Rejected).
#pragma once

#include <QString>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/controls/ct_dialog.h"
#include "store/ap_info.h"
#include "ui/lists/apply_worker.h"
#include "ui/maintenance/upgrade_rules.h"

class QComboBox;
class QProgressBar;

namespace pontiq {

class CommEngine;
class CSqlManagement;
class CTButtonPicture;
class CTEdit;
class CTStatic;

enum UpgradeConfigControlId : int {
    kDlgUpgradeConfig = 140,
    kIdcUpgradeScan = 1001,
    kIdcUpgradeClose = 1003,
    kIdcUpgradeStart = 1006,
    kIdcUpgradeFile = 1009,
    kIdcUpgradeType = 1013,
    kIdcUpgradeTitle = 1020,
    kIdcUpgradeFileLabel = 1025,
    kIdcUpgradeProgressLabel = 1026,
    kIdcUpgradeProgress = 1091,
    kIdcUpgradeTitleBar = 1131,
    kIdcUpgradeTypeLabel = 1148,
};

enum UpgradeConfigTimerId : int {
    kTimerUpgradeStageOne = 1000,
    kTimerUpgradeStageTwo = 2000,
    kTimerUpgradeBatchWatch = 3000,
    kTimerUpgradeFollowUp = 4000,
};

inline constexpr int kUpgradeTickMs = 1000;

class CUpgradeConfigDlg : public CTDialog {
    Q_OBJECT

public:
    struct Services {
        CommEngine* engine = nullptr;  // empty: the application's
        CSqlManagement* store = nullptr;
        FileServerControl* fileServer = nullptr;  // empty: the program folder's FileServer
        // The worker's waits; PauseUnlessStopped when empty.
        std::function<bool(std::chrono::milliseconds, const std::atomic<bool>& stop)> pause;
        // The open-file chooser: the chosen path, empty when cancelled. Empty: QFileDialog.
        std::function<QString(QWidget* owner, const QString& filter)> chooseFile;
        // Puts a status text into the page's Status cell of the row with this MAC.
        std::function<void(const QString& mac, const QString& text)> showStatus;
    };

    CUpgradeConfigDlg(std::vector<SelectionEntry> selection, Services services, QWidget* parent = nullptr);
    ~CUpgradeConfigDlg() override;

    // ---- Events ----
    void OnScanClicked();     // 1001
    bool OnUpgradeClicked();  // 1006; false when refused or cancelled (the dialog stays idle)
    void OnCloseClicked();    // 1003
    void OnTimer(int timerId);

    // The chooser's result as Scan takes it: the edit shows the path, the name and folder are kept.
    void SetChosenFile(const QString& path);

    // ---- State ----
    const std::vector<SelectionEntry>& Selection() const { return selection_; }
    const UpgradeRun& Run() const { return run_; }
    const QString& FileName() const { return fileName_; }
    const QString& Folder() const { return folder_; }
    int32_t ChosenType() const;
    bool Started() const { return started_; }
    QTimer* Timer(int timerId);
    CApplyWorker& Worker() { return worker_; }
    QComboBox* TypeList() const { return type_; }
    CTEdit* FileEdit() const { return file_; }
    CTButtonPicture* ScanButton() const { return scan_; }
    CTButtonPicture* UpgradeButton() const { return upgrade_; }
    CTButtonPicture* CloseButton() const { return close_; }
    CTStatic* ProgressLabel() const { return progressLabel_; }
    QProgressBar* Progress() const { return progress_; }
    FileServerControl& FileServer();

    // The file filter of the chooser, from the translated "Files (*.bin)|*.bin|..." text.
    static QString ChooserFilter(const QString& mfcFilter);
    // The message shown when the file server cannot serve: what to do, then the server's words.
    static QString FileServerFaultText(const FileServerHealth& health);

private:
    void BuildControls();
    void StartWorker();
    void ArmBatchWatch();
    void ServerFailed(const FileServerHealth& health);
    void BackToIdle();
    void FollowUp();
    void StageOneTick();
    void StageTwoTick();
    void BatchWatchTick();
    CommEngine* Engine() const;
    CSqlManagement* Store() const;
    UpgradeIo MakeIo();

    std::vector<SelectionEntry> selection_;
    Services services_;
    std::unique_ptr<FileServerControl> ownServer_;
    UpgradeRun run_;
    QString fileName_;
    QString folder_;
    bool started_ = false;

    QTimer stageOneTimer_;
    QTimer stageTwoTimer_;
    QTimer batchWatchTimer_;
    QTimer followUpTimer_;

    CTStatic* title_ = nullptr;
    CTButtonPicture* close_ = nullptr;
    CTStatic* typeLabel_ = nullptr;
    QComboBox* type_ = nullptr;
    CTStatic* fileLabel_ = nullptr;
    CTEdit* file_ = nullptr;
    CTButtonPicture* scan_ = nullptr;
    CTButtonPicture* upgrade_ = nullptr;
    CTStatic* progressLabel_ = nullptr;
    QProgressBar* progress_ = nullptr;

    // Declared last: joined before the run and the server it uses go away.
    CApplyWorker worker_;
};

}  // namespace pontiq
