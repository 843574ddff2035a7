// The system tool page: the PC's usable network adapters as the engine sees them, with running
// number, description, MAC and addresses, reloaded every five seconds so that an adapter plugged
// in shows up without a click. The page only displays.
#pragma once

#include <QString>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "app/controls/ct_dialog.h"
#include "app/ui/page.h"
#include "comm/local_adapter.h"

namespace pontiq {

class CGridCtrl;
class CTMultiPages;
class CTStatic;
class CommEngine;

enum SystemToolControlId : int {
    kIdcSystemToolSeparator = 1012,
    kIdcSystemToolPager = 1016,
    kIdcSystemToolCount = 1017,
    kIdcSystemToolGrid = 1103,
};

// The IP column: every address text of the adapter in order, joined by "--".
std::string JoinAdapterAddresses(const AdapterInfo& adapter);

class CSystemToolDlg : public CTDialog, public PageOperations {
    Q_OBJECT

public:
    static constexpr int kTimerReload = 1000;
    static constexpr int kReloadPeriodMs = 5000;

    // The adapters to show; by default the application's engine (GetLocalAdapters).
    using AdapterSource = std::function<std::vector<AdapterInfo>()>;

    explicit CSystemToolDlg(QWidget* parent = nullptr);
    CSystemToolDlg(AdapterSource source, QWidget* parent);
    CSystemToolDlg(CommEngine& engine, QWidget* parent);
    ~CSystemToolDlg() override;

    // Reads the adapters and refills the grid and the count (timer 1000 does it every 5 s).
    void Reload();
    void RefreshPage() override { Reload(); }

    CGridCtrl* Grid() const { return grid_; }
    CTStatic* CountLabel() const { return count_; }
    QTimer& ReloadTimer() { return timer_; }
    int AdapterCount() const { return adapterCount_; }

private:
    void BuildControls();

    AdapterSource source_;
    QTimer timer_;
    int adapterCount_ = 0;
    CGridCtrl* grid_ = nullptr;
    CTStatic* count_ = nullptr;
    CTMultiPages* pager_ = nullptr;
};

}  // namespace pontiq
