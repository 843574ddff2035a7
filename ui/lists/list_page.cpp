#include "ui/lists/list_page.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <utility>

#include "app/application_app.h"
#include "app/controls/button_skin.h"
#include "app/controls/control_id.h"
#include "app/controls/ct_button_picture.h"
#include "app/controls/ct_edit.h"
#include "app/controls/ct_multi_pages.h"
#include "app/controls/ct_static.h"
#include "app/controls/dialog_units.h"
#include "app/controls/skin_style.h"
#include "app/language.h"
#include "app/ui/child_dlg.h"
#include "app/ui/grid_cell_style.h"
#include "store/sql_management.h"
#include "store/value_format.h"
#include "ui/grid/grid_ctrl.h"
#include "ui/grid/grid_skin.h"
#include "ui/lists/csv_export.h"

namespace pontiq {

namespace {

constexpr int kBarHeight = 30;  // top and bottom bars, pixels
constexpr int kSearchEditWidth = 180;
// The search box's end pieces are 26 px high with the box's frame on their rows 1 and 24. The edit
// draws its bottom line on its last row and its top line CTEdit::kTopLineDistance above itself,
// so it sits between the frame rows for its lines to continue the frame.
constexpr int kSearchPieHeight = 26;
constexpr int kSearchFrameTop = 1;
constexpr int kSearchFrameBottom = 24;
constexpr int kSearchEditTop = kSearchFrameTop + CTEdit::kTopLineDistance;
constexpr int kPageSizeWidth = 64;
constexpr int kRefreshSize = 26;

QString Tr(std::string_view text)
{
    return QString::fromStdString(Translate(text));
}

// "%d" filled with n. The format comes from a language file, so it is filled by replacing the
// first "%d" instead of being handed to printf.
QString FillCount(const QString& format, int n)
{
    QString text = format;
    const qsizetype at = text.indexOf(QLatin1String("%d"));
    if (at >= 0) text.replace(at, 2, QString::number(n));
    return text;
}

// A picture of the skin in a label, or nothing when the file is missing.
QLabel* SkinPicture(int id, const std::string& path, QWidget* parent)
{
    auto* label = new QLabel(parent);
    SetControlId(label, id);
    const QPixmap picture(QString::fromStdString(path));
    if (!picture.isNull()) {
        label->setPixmap(picture);
        label->setFixedSize(picture.size());
    } else {
        label->hide();
    }
    return label;
}

}  // namespace

CListPage::CListPage(Config config, QWidget* parent)
    : CTDialog(parent, Qt::Widget), m_config(std::move(config))
{
    SetControlId(this, m_config.pageId);
    resize(DluX(615), DluY(370));
    SetFillColor(ToQColor(CurrentSettings().skin.childBkColor));

    m_sortColumn = m_config.sortColumn >= 0 ? m_config.sortColumn : std::max(0, ColumnOf(ListField::Ip));
    BuildControls();

    // The container routes the strip's page changes back to this page (GoToPage).
    auto* container = qobject_cast<CChildDlg*>(parent);
    if (!container) container = CChildDlg::Published();
    if (container) container->ConnectPager(m_pager);
}

CListPage::~CListPage() = default;

void CListPage::BuildControls()
{
    const SkinSettings& skin = CurrentSettings().skin;
    const SkinPaths& paths = CurrentSkinPaths();

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(DluX(7), DluY(6), DluX(7), DluY(4));
    root->setSpacing(DluY(5));

    // Top bar: the page's buttons, then the search box framed by its two end pieces.
    m_actionBar = new QHBoxLayout;
    m_actionBar->setSpacing(DluX(5));
    m_searchButton = new CTButtonPicture(kIdcListSearchButton, this);
    m_searchButton->SetImages(
        QString::fromStdString(paths.btnSearch), QString::fromStdString(paths.btnSearch),
        QString::fromStdString(paths.btnSearch), QString::fromStdString(paths.btnSearch));
    ApplyStandardButtonSkin(*m_searchButton, Tr("Search"), skin);
    m_searchButton->setFixedHeight(kBarHeight);
    m_searchButton->hide();
    m_actionBar->addWidget(m_searchButton);
    m_actionBar->addStretch(1);

    auto* searchBox = new QHBoxLayout;
    searchBox->setSpacing(0);
    searchBox->addWidget(SkinPicture(kIdcListSearchLeft, paths.btnPie, this));
    m_searchEdit = new CTEdit(kIdcListSearchEdit, this);
    m_searchEdit->setFixedSize(kSearchEditWidth, kSearchFrameBottom - kSearchEditTop + 1);
    m_searchEdit->setFont(
        SkinFont(QString::fromStdString(skin.fontName), skin.staticFontWeight, skin.staticFontHeight));
    auto* editColumn = new QVBoxLayout;
    editColumn->setContentsMargins(0, kSearchEditTop, 0, kSearchPieHeight - 1 - kSearchFrameBottom);
    editColumn->setSpacing(0);
    editColumn->addWidget(m_searchEdit);
    searchBox->addLayout(editColumn);
    searchBox->addWidget(SkinPicture(kIdcListSearchRight, paths.btnPie2, this));

    auto* top = new QHBoxLayout;
    top->setSpacing(DluX(6));
    top->addLayout(m_actionBar, 1);
    top->addLayout(searchBox);
    top->setAlignment(searchBox, Qt::AlignVCenter);  // as high as its pieces, not as the bar
    root->addLayout(top);

    m_grid = new CGridCtrl(this);
    SetControlId(m_grid, m_config.gridId);
    m_grid->SetGridStyle(SkinGridStyle());
    std::vector<GridColumn> columns;
    columns.reserve(m_config.columns.size());
    for (const ListColumn& c : m_config.columns) {
        columns.push_back({c.title.empty() ? QString() : Tr(c.title), c.width, c.kind});
    }
    m_grid->SetColumns(std::move(columns));
    root->addWidget(m_grid, 1);

    // Separator above the bottom bar: the skin's line, or a line in the grid-line colour.
    QLabel* separator = SkinPicture(kIdcListSeparator, paths.line, this);
    if (separator->pixmap().isNull()) {
        separator->setFixedHeight(1);
        separator->setAutoFillBackground(true);
        QPalette pal = separator->palette();
        pal.setColor(QPalette::Window, ToQColor(skin.lineColor));
        separator->setPalette(pal);
        separator->show();
    } else {
        separator->setScaledContents(true);
        separator->setMinimumWidth(0);
        separator->setMaximumWidth(QWIDGETSIZE_MAX);
    }
    root->addWidget(separator);

    // Bottom bar: the online count, the page-number strip, the page size with its refresh button.
    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(DluX(5));
    m_onlineLabel = new CTStatic(kIdcListOnlineCount, this);
    ApplyLabelSkin(*m_onlineLabel, skin);
    m_onlineLabel->SetTextColor(ToQColor(skin.staticTextNumberColor));
    m_onlineLabel->setWordWrap(false);
    m_onlineLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_onlineLabel->setFixedHeight(kBarHeight);
    m_onlineLabel->setMinimumWidth(DluX(90));
    bottom->addWidget(m_onlineLabel);

    m_pager = new CTMultiPages(kIdcListPager, this);
    m_pager->Reset(m_config.pageId);
    m_pager->SetBackgroundColor(ToQColor(skin.childBkColor));
    m_pager->SetAlignment(CTMultiPages::Alignment::Right);
    m_pager->setFixedHeight(kBarHeight);
    m_pager->setFont(
        SkinFont(QString::fromStdString(skin.fontName), skin.staticFontWeight, skin.staticFontHeight));
    bottom->addWidget(m_pager, 1);

    m_pageSizeLabel = new CTStatic(kIdcListPageSizeLabel, this);
    ApplyLabelSkin(*m_pageSizeLabel, skin);
    m_pageSizeLabel->setWordWrap(false);
    m_pageSizeLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_pageSizeLabel->setFixedHeight(kBarHeight);
    m_pageSizeLabel->setText(Tr("Each page number"));
    bottom->addSpacing(DluX(6));
    bottom->addWidget(m_pageSizeLabel);

    m_pageSize = new QComboBox(this);
    SetControlId(m_pageSize, kIdcListPageSize);
    for (int size : kPageSizes) m_pageSize->addItem(QString::number(size), size);
    m_pageSize->setCurrentIndex(kInitialPageSizeIndex);
    m_pageSize->setFixedSize(kPageSizeWidth, 24);
    // In the label's font, the list as well as the box; the platform's default is larger.
    m_pageSize->setFont(m_pageSizeLabel->font());
    m_pageSize->view()->setFont(m_pageSizeLabel->font());
    bottom->addWidget(m_pageSize);

    m_refresh = new CTButtonPicture(kIdcListRefresh, this);
    m_refresh->SetImages(
        QString::fromStdString(paths.btnUpdateNormal), QString::fromStdString(paths.btnUpdateNormal),
        QString::fromStdString(paths.btnUpdateDown), QString::fromStdString(paths.btnUpdateNormal));
    if (m_refresh->Image(CTButtonPicture::State::Normal).isNull()) {
        // No skin picture: a refresh mark keeps the button visible and recognisable.
        m_refresh->SetCaption(QString(QChar(0x21BB)));
        m_refresh->SetSkin(QString::fromStdString(skin.fontName), 700, 20, ToQColor(skin.gridTitleTextColor),
                           ToQColor(skin.textDownColor));
    }
    m_refresh->setFixedSize(kRefreshSize, kRefreshSize);
    m_refresh->setToolTip(Tr("Refresh"));
    bottom->addWidget(m_refresh);
    m_export = MakeCsvExportButton(*this);
    bottom->addWidget(m_export);
    root->addLayout(bottom);

    ShowOnlineCount(0);

    connect(m_searchEdit, &QLineEdit::textChanged, this, &CListPage::OnSearchTextChanged);
    connect(m_pageSize, &QComboBox::currentIndexChanged, this, [this] { RefreshPage(1); });
    connect(m_refresh, &QPushButton::clicked, this, [this] { RefreshPage(m_currentPage); });
    connect(m_grid, &CGridCtrl::headerClicked, this, &CListPage::OnHeaderClicked);
    // Queued: the page's own handlers of the edit (a rename) read the row before it is reloaded.
    connect(m_grid, &CGridCtrl::editEnded, this, [this] {
        if (m_heldPage > 0) QMetaObject::invokeMethod(this, &CListPage::RunHeldReload, Qt::QueuedConnection);
    });
}

CListPage::PageLoader CListPage::StoreLoader()
{
    return [](int sortKey, std::vector<ap_info_stu>& list, int& pageCount, int& onlineCount, int pageSize,
              int pageNumber, bool ascending, std::string_view search) {
        CApplicationApp* app = CApplicationApp::InstancePointer();
        CSqlManagement& store = app && app->HasStore() ? app->store() : CSqlManagement::Instance();
        return store.ListDevicesPage(sortKey, list, pageCount, onlineCount, pageSize, pageNumber, ascending,
                                     search);
    };
}

void CListPage::SetPageLoader(PageLoader loader)
{
    m_loader = std::move(loader);
}

int CListPage::PageSize() const
{
    bool ok = false;
    const int size = m_pageSize->currentData().toInt(&ok);
    return ok && size > 0 ? size : kPageSizes[kInitialPageSizeIndex];
}

int CListPage::ColumnOf(ListField field) const
{
    for (size_t c = 0; c < m_config.columns.size(); ++c) {
        if (m_config.columns[c].field == field) return static_cast<int>(c);
    }
    return -1;
}

int CListPage::SortKeyOf(int column) const
{
    if (column < 0 || column >= static_cast<int>(m_config.columns.size())) return kDefaultSortKey;
    const int key = m_config.columns[static_cast<size_t>(column)].sortKey;
    return key >= 0 && key < CSqlManagement::kDeviceSortKeys ? key : kDefaultSortKey;
}

void CListPage::RefreshPage()
{
    RefreshPage(m_currentPage);
}

void CListPage::GoToPage(int page)
{
    RefreshPage(page);
}

void CListPage::RunHeldReload()
{
    if (m_heldPage <= 0 || m_grid->IsEditing()) return;
    RefreshPage(std::exchange(m_heldPage, 0));
}

void CListPage::RefreshPage(int page)
{
    // Refilling the grid would close the editor and drop the text being typed.
    if (m_grid->IsEditing()) {
        m_heldPage = std::max(1, page);
        return;
    }
    m_heldPage = 0;

    PageLoad load;
    load.page = std::max(1, page);
    load.pageSize = PageSize();
    load.sortKey = SortKeyOf(m_sortColumn);
    load.ascending = !m_sortDescending;
    load.search = m_searchText;

    std::vector<ap_info_stu> records;
    if (!m_loader) m_loader = StoreLoader();
    load.ok = m_loader(load.sortKey, records, load.pageCount, load.onlineCount, load.pageSize, load.page,
                       load.ascending, load.search);
    if (!load.ok) {
        records.clear();
        load.pageCount = 0;
        load.onlineCount = 0;
    }
    m_currentPage = load.page;

    std::vector<ListRow> rows;
    rows.reserve(records.size());
    for (const ap_info_stu& r : records) rows.push_back({r, true});
    load.storedRows = static_cast<int>(rows.size());
    AddPageRows(load, rows);

    std::vector<std::vector<GridCell>> cells;
    cells.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) cells.push_back(MakeCells(rows[i], static_cast<int>(i), load));
    m_rows = std::move(rows);
    m_grid->SetRows(std::move(cells));
    m_checkAll = false;
    m_grid->SetHeaderTicked(false);
    m_grid->SetSortMark(m_sortColumn, load.ascending);

    m_pageCount = load.pageCount;
    m_onlineCount = load.onlineCount;
    m_pager->SetPageCount(load.pageCount);
    m_pager->SetCurrentPage(load.pageCount < load.page ? 1 : load.page);
    ShowOnlineCount(load.onlineCount);

    PageFilled(load);
    emit pageLoaded(load.page, load.pageCount, load.onlineCount);
}

void CListPage::AddPageRows(const PageLoad& /*load*/, std::vector<ListRow>& /*rows*/)
{
}

void CListPage::PageFilled(const PageLoad& /*load*/)
{
}

std::vector<GridCell> CListPage::MakeCells(const ListRow& row, int index, const PageLoad& load) const
{
    std::vector<GridCell> cells(m_config.columns.size());
    for (size_t c = 0; c < m_config.columns.size(); ++c) {
        const ListColumn& column = m_config.columns[c];
        GridCell& cell = cells[c];
        cell.data = row.record.ap_status;
        if (column.field == ListField::Serial) {
            cell.text = QString::number(1 + index + load.pageSize * (load.page - 1));
        } else if (column.text) {
            cell.text = LocalToQString(column.text(row.record));
        }
        if (column.kind == GridColumnKind::Image && row.stored) cell.image = column.image;
        cell.editable = column.editable && row.stored;
        const CellTone tone = !row.stored   ? CellTone::Offline
                              : column.tone ? column.tone(row.record)
                                            : CellTone::Normal;
        if (tone != CellTone::Normal) cell.color = ToneColor(tone);
    }
    return cells;
}

QColor CListPage::ToneColor(CellTone tone) const
{
    const SkinSettings& skin = CurrentSettings().skin;
    switch (tone) {
        case CellTone::Offline:
            return ToQColor(skin.textUnlineColor);
        case CellTone::Online:
            return ToQColor(skin.textOnlineColor);
        case CellTone::Normal:
            break;
    }
    return ToQColor(skin.gridTextColor);
}

void CListPage::ShowOnlineCount(int count)
{
    m_onlineLabel->setText(FillCount(Tr("Online device count:%d"), count));
    m_onlineLabel->repaint();
}

void CListPage::OnSearchTextChanged(const QString& text)
{
    m_searchText = QStringToLocal(text);
    RefreshPage(1);
}

void CListPage::OnHeaderClicked(int column)
{
    if (column < 0 || column >= static_cast<int>(m_config.columns.size())) return;
    const ListColumn& c = m_config.columns[static_cast<size_t>(column)];
    if (c.field == ListField::Tick) {
        ToggleCheckAll();
        return;
    }
    if (c.sortKey < 0) return;
    // The flag says how the current order runs, so the click sorts the other way and the flag
    // then describes the new order.
    m_sortColumn = column;
    m_sortDescending = !m_sortDescending;
    RefreshPage(1);
}

void CListPage::ToggleCheckAll()
{
    if (m_grid->TickColumn() < 0) return;
    m_checkAll = !m_checkAll;
    m_grid->SetAllTicked(m_checkAll);
    m_grid->SetHeaderTicked(m_checkAll);
}

int CListPage::RowCount() const
{
    return m_grid->RowCount();
}

const ListRow* CListPage::RowRecord(int row) const
{
    if (row < 0 || row >= static_cast<int>(m_rows.size())) return nullptr;
    return &m_rows[static_cast<size_t>(row)];
}

QString CListPage::CellText(int row, ListField field) const
{
    const int column = ColumnOf(field);
    return column < 0 ? QString() : m_grid->CellText(row, column);
}

int CListPage::FindRow(ListField field, const QString& text) const
{
    const int column = ColumnOf(field);
    if (column < 0) return -1;
    for (int r = 0; r < m_grid->RowCount(); ++r) {
        if (m_grid->CellText(r, column) == text) return r;
    }
    return -1;
}

SelectionEntry CListPage::RowEntry(int row) const
{
    SelectionEntry entry;
    SetCText(entry.ip, QStringToLocal(CellText(row, ListField::Ip)));
    SetCText(entry.mac, QStringToLocal(CellText(row, ListField::Mac)));
    entry.type_code = ModelCode(QStringToLocal(CellText(row, ListField::Type)));
    return entry;
}

std::vector<SelectionEntry> CListPage::GatherSelection() const
{
    std::vector<SelectionEntry> entries;
    for (int row : m_grid->TickedRows()) entries.push_back(RowEntry(row));
    return entries;
}

void CListPage::SetImageList(CGridImageList images)
{
    m_grid->SetImageList(std::move(images));
}

void CListPage::AddActionButton(QWidget* button)
{
    // Before the stretch that keeps the buttons to the left.
    m_actionBar->insertWidget(m_actionBar->count() - 1, button);
}

}  // namespace pontiq
