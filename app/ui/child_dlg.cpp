#include "app/ui/child_dlg.h"

#include "app/application_app.h"
#include "app/controls/ct_multi_pages.h"
#include "app/controls/dialog_units.h"
#include "app/controls/skin_style.h"
#include "app/ui/shell_ids.h"
#include "app/ui/translate_window.h"

namespace pontiq {

namespace {

CChildDlg* gPublished = nullptr;

}  // namespace

CChildDlg::CChildDlg(QWidget* parent, PageFactory factory) : CTDialog(parent, Qt::Widget)
{
    setObjectName(QStringLiteral("childDlg"));
    SetControlId(this, kDlgChild);
    resize(DluX(610), DluY(372));
    gPublished = this;
    TranslateWindow(this);
    SetFillColor(ToQColor(CurrentSettings().skin.childBkColor));

    for (size_t i = 0; i < kCreationOrder.size(); ++i) {
        Slot& slot = pages_[i];
        slot.pageId = kCreationOrder[i];
        QWidget* page = factory ? factory(slot.pageId, this) : nullptr;
        if (!page) continue;
        if (page->parentWidget() != this) page->setParent(this);
        MakeChildWindow(page);  // a skinned dialog is a top-level window unless told otherwise
        page->move(0, 0);
        page->setVisible(slot.pageId == currentPageId_);
        slot.widget = page;
        slot.operations = dynamic_cast<PageOperations*>(page);
    }

    afterSwitch_.setSingleShot(true);
    afterSwitch_.setInterval(kAfterSwitchDelayMs);
    afterSwitch_.setProperty(kTimerIdProperty, kTimerAfterSwitch);
    connect(&afterSwitch_, &QTimer::timeout, this, [this] { OnTimer(kTimerAfterSwitch); });
    periodic_.setInterval(kPageRefreshPeriodMs);
    periodic_.setProperty(kTimerIdProperty, kTimerPageRefresh);
    connect(&periodic_, &QTimer::timeout, this, [this] { OnTimer(kTimerPageRefresh); });
    afterSwitch_.start();
    periodic_.start();
}

CChildDlg::~CChildDlg()
{
    afterSwitch_.stop();
    periodic_.stop();
    if (gPublished == this) gPublished = nullptr;
    // The pages are children and go with the container.
}

CChildDlg* CChildDlg::Published()
{
    return gPublished;
}

CChildDlg::Slot* CChildDlg::Find(int pageId)
{
    for (Slot& slot : pages_) {
        if (slot.pageId == pageId) return &slot;
    }
    return nullptr;
}

const CChildDlg::Slot* CChildDlg::Find(int pageId) const
{
    return const_cast<CChildDlg*>(this)->Find(pageId);
}

QWidget* CChildDlg::Page(int pageId) const
{
    const Slot* slot = Find(pageId);
    return slot ? slot->widget.data() : nullptr;
}

PageOperations* CChildDlg::Operations(int pageId) const
{
    const Slot* slot = Find(pageId);
    return slot && slot->widget ? slot->operations : nullptr;
}

QTimer* CChildDlg::Timer(int timerId)
{
    if (timerId == kTimerAfterSwitch) return &afterSwitch_;
    if (timerId == kTimerPageRefresh) return &periodic_;
    return nullptr;
}

void CChildDlg::ShowPage(int pageId)
{
    if (!Find(pageId)) return;
    currentPageId_ = pageId;
    // Show the new page before hiding the old one, so the container never flashes empty.
    if (QWidget* page = Page(pageId)) page->show();
    for (const Slot& slot : pages_) {
        if (slot.pageId != pageId && slot.widget) slot.widget->hide();
    }
    afterSwitch_.start();
}

void CChildDlg::RefreshCurrentPage()
{
    if (!IsListPage(currentPageId_)) return;
    if (PageOperations* page = Operations(currentPageId_)) page->RefreshPage();
}

void CChildDlg::OnTimer(int timerId)
{
    if (timerId == kTimerAfterSwitch) {
        afterSwitch_.stop();
        RefreshCurrentPage();
    } else if (timerId == kTimerPageRefresh) {
        if (autoRefresh_ != 0 && !SkipsPeriodicRefresh(currentPageId_)) RefreshCurrentPage();
    }
}

void CChildDlg::OnPageChange(int pageId, int pageNumber)
{
    if (!IsListPage(pageId)) return;
    if (PageOperations* page = Operations(pageId)) page->GoToPage(pageNumber);
}

void CChildDlg::ConnectPager(CTMultiPages* pager)
{
    if (pager) connect(pager, &CTMultiPages::PageChanged, this, &CChildDlg::OnPageChange);
}

}  // namespace pontiq
