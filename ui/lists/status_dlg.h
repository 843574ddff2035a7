// The device status page: the program's main device list, which also runs the device search.
// Search (or ScanMac with a target MAC) starts a 50-second discovery run during which the list
// fills as devices answer; devices heard but not yet described fill the last page in the offline
// colour. From the grid the user renames a device (its Location cell), opens its web interface
// (Operate) and ticks devices for Set IP, Set Bridge and Kelvra.
#pragma once

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <optional>
#include <vector>

#include "comm/protocol.h"
#include "store/ap_info.h"
#include "ui/lists/apply_worker.h"
#include "ui/lists/list_page.h"
#include "ui/lists/status_rename.h"
#include "ui/lists/status_search.h"

namespace pontiq {

class CommEngine;
class CSqlManagement;
class CTPicture;

enum StatusControlId : int {
    kIdcStatusScanMac = 1001,
    kIdcStatusSearch = 1003,  // the list page's search button
    kIdcStatusSetIp = 1004,
    kIdcStatusSetBridge = 1005,
    kIdcStatusKelvra = 1006,
    kIdcStatusGrid = 1015,
    kIdcStatusAnimation = 1138,
};

enum StatusTimerId : int {
    kTimerStatusSearch = 1000,  // every second while a search runs
    kTimerStatusReload = 2000,  // once, 2 s after a rename or a switch command: reload the page
};

inline constexpr int kStatusReloadDelayMs = 2000;

// The fourteen grid columns.
enum StatusColumn : int {
    kStatusColTick = 0,
    kStatusColSerial,
    kStatusColLocation,
    kStatusColType,
    kStatusColIp,
    kStatusColMac,
    kStatusColMode,
    kStatusColSsid,
    kStatusColChannel,
    kStatusColVersion,
    kStatusColBridge,
    kStatusColKelvra,
    kStatusColTime,
    kStatusColOperate,
    kStatusColumnCount
};

// Column set of the status page, with the store's sort keys.
std::vector<ListColumn> StatusColumns();

class CStatusDlg : public CListPage {
    Q_OBJECT

public:
    // Where the page sends and reads; empty members mean the application's engine and store.
    struct Services {
        CommEngine* engine = nullptr;
        CSqlManagement* store = nullptr;
    };

    // The modal dialogs the page opens. Each default shows the real dialog; tests replace them.
    struct Dialogs {
        // ScanMac: the MAC the user confirmed, nothing when cancelled.
        std::function<std::optional<MacAddress>(CStatusDlg& page)> scanMac;
        // Set IP with the selection and the stored IP_BLOCK of its first device.
        std::function<void(CStatusDlg& page, const std::vector<SelectionEntry>& selection,
                           const IP_BLOCK& initial)>
            setIp;
        // Set Bridge / Kelvra with the selection and the feature value of its first device.
        std::function<void(CStatusDlg& page, const std::vector<SelectionEntry>& selection, int initial)>
            setBridge;
        std::function<void(CStatusDlg& page, const std::vector<SelectionEntry>& selection, int initial)>
            setKelvra;
    };

    // What the page asks of the main window while a search runs; empty members mean the
    // navigation panel and the page container the page lives in.
    struct ShellHooks {
        std::function<void(bool enabled)> setNavigationEnabled;
        std::function<void(int32_t flag)> setAutoRefresh;
    };

    // Opens an address with the system's default handler (QDesktopServices::openUrl).
    using UrlOpener = std::function<bool(const QUrl&)>;
    // Replaces the opener of every status page (empty: the default); returns the previous one.
    static UrlOpener SetWebOpener(UrlOpener opener);

    explicit CStatusDlg(QWidget* parent = nullptr);
    CStatusDlg(Services services, QWidget* parent);
    ~CStatusDlg() override;

    void SetDialogs(Dialogs dialogs);
    static Dialogs DefaultDialogs();
    void SetShellHooks(ShellHooks hooks);

    // ---- Events --------------------------------------------------------------------------

    void OnSearchClicked();     // 1003
    void OnScanMacClicked();    // 1001
    void OnSetIpClicked();      // 1004
    void OnSetBridgeClicked();  // 1005
    void OnKelvraClicked();     // 1006
    void OnTimer(int timerId);
    void OnCellClicked(int row, int column);
    void OnEditEnded(int row, int column, const QString& oldText, const QString& newText, bool* accept);

    // A search run: without a target (Search) or aimed at one MAC (ScanMac). `button` is the
    // one that reads "Stop" while the run goes on.
    void StartSearchRun(std::optional<MacAddress> target, int button);
    void StopSearchRun();

    // ---- State ---------------------------------------------------------------------------

    bool Searching() const { return m_searching; }
    int SearchTicks() const { return m_run.Ticks(); }
    const std::vector<SelectionEntry>& Selection() const { return m_selection; }
    const EXTENSION_BLOCK& FeatureBlock() const { return m_featureBlock; }
    const RenameTarget& LastRenameTarget() const { return m_renameTarget; }

    CTButtonPicture* Button(int controlId) const;
    CTPicture* Animation() const { return m_animation; }
    QTimer* Timer(int timerId);
    CApplyWorker& RenameWorker() { return m_renameWorker; }
    CApplyWorker& IpWorker() { return m_ipWorker; }
    CApplyWorker& BridgeWorker() { return m_bridgeWorker; }
    CApplyWorker& KelvraWorker() { return m_kelvraWorker; }
    // The engine and store the page uses; nullptr when there is none.
    CommEngine* Engine() const;
    CSqlManagement* Store() const;

protected:
    void AddPageRows(const PageLoad& load, std::vector<ListRow>& rows) override;

private:
    CTButtonPicture* AddButton(int controlId, const char* text);
    void BuildImages();
    void SetSearchControlsEnabled(bool enabled);
    std::vector<SelectionEntry> GatherConfigurable(int column) const;
    ap_info_stu StoredRecord(const SelectionEntry& entry) const;
    void OpenWebPage(int row);

    Services m_services;
    Dialogs m_dialogs;
    ShellHooks m_shell;

    StatusSearchRun m_run;
    bool m_searching = false;
    std::vector<SelectionEntry> m_selection;
    EXTENSION_BLOCK m_featureBlock{};
    RenameTarget m_renameTarget;

    QTimer m_searchTimer;
    QTimer m_reloadTimer;

    CTButtonPicture* m_scanMac = nullptr;
    CTButtonPicture* m_setIp = nullptr;
    CTButtonPicture* m_setBridge = nullptr;
    CTButtonPicture* m_kelvra = nullptr;
    CTPicture* m_animation = nullptr;

    // One sender per routine; a new start ends the one still running. Declared last so they are
    // joined before anything their routines might reach goes away.
    CApplyWorker m_renameWorker;
    CApplyWorker m_ipWorker;
    CApplyWorker m_bridgeWorker;
    CApplyWorker m_kelvraWorker;
};

}  // namespace pontiq
