// The page container: holds the eight pages for the whole run, shows one at a time, refreshes
// the visible page 100 ms after every switch and every 30 seconds, and routes the page-number
// strips' page changes to their list pages.
#pragma once

#include <QPointer>
#include <QTimer>
#include <array>
#include <cstdint>

#include "app/controls/ct_dialog.h"
#include "app/ui/page.h"

namespace pontiq {

class CTMultiPages;

class CChildDlg : public CTDialog {
    Q_OBJECT

public:
    static constexpr int kPageCount = 8;
    // The order the pages are created in.
    static constexpr std::array<int, kPageCount> kCreationOrder = {155, 133, 134, 135, 136, 138, 137, 139};

    explicit CChildDlg(QWidget* parent = nullptr, PageFactory factory = CreateProgramPage);
    ~CChildDlg() override;

    // The container of the running program, for the pages' page-number strips; nullptr when none.
    static CChildDlg* Published();

    // Shows the page, hides the other seven and (re)starts the 100 ms refresh timer. An id that
    // is not one of the eight pages is ignored.
    void ShowPage(int pageId);
    int CurrentPageId() const { return currentPageId_; }
    QWidget* Page(int pageId) const;
    PageOperations* Operations(int pageId) const;

    // 0 suspends the 30-second refresh; pages clear it while a modal editor or a search runs.
    void SetAutoRefresh(int32_t flag) { autoRefresh_ = flag; }
    int32_t AutoRefresh() const { return autoRefresh_; }

    // Refresh of the current page; the install-help and system tool pages have none.
    void RefreshCurrentPage();
    // What each timer does when it fires (kTimerAfterSwitch, kTimerPageRefresh).
    void OnTimer(int timerId);
    QTimer* Timer(int timerId);

    // The page-change message of a page-number strip: pageId names the list page, pageNumber the
    // chosen page. Only the six list pages take it.
    void OnPageChange(int pageId, int pageNumber);
    // Routes the strip's page changes here.
    void ConnectPager(CTMultiPages* pager);

    static bool IsListPage(int pageId) { return pageId >= 133 && pageId <= 138; }
    // Pages outside the 30-second refresh: reboot, upgrade, restore.
    static bool SkipsPeriodicRefresh(int pageId) { return pageId >= 136 && pageId <= 138; }

private:
    struct Slot {
        int pageId = 0;
        QPointer<QWidget> widget;
        PageOperations* operations = nullptr;
    };
    Slot* Find(int pageId);
    const Slot* Find(int pageId) const;

    std::array<Slot, kPageCount> pages_;
    int currentPageId_ = 133;
    int32_t autoRefresh_ = 1;
    QTimer afterSwitch_;
    QTimer periodic_;
};

}  // namespace pontiq
