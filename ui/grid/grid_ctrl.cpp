#include "ui/grid/grid_ctrl.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <utility>

#include "ui/grid/grid_model.h"
#include "ui/grid/grid_parts.h"

namespace pontiq {

CGridCtrl::CGridCtrl(QWidget* parent) : QTableView(parent), m_model(new CGridModel(this))
{
    setHorizontalHeader(new CGridHeader(this));
    setModel(m_model);
    setItemDelegate(new CGridDelegate(this));

    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setMinimumSectionSize(16);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    setCornerButtonEnabled(false);

    setShowGrid(false);  // the cells draw their own lines, in the skin's line colour
    setWordWrap(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::EditKeyPressed);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setMouseTracking(true);
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Plain);
    setFocusPolicy(Qt::StrongFocus);

    // Slim scroll bars in the grid's greys instead of the platform's.
    const QString bars = QStringLiteral(
        "QScrollBar:vertical { background: #f3f3f3; width: 11px; margin: 0; border: none; }"
        "QScrollBar:horizontal { background: #f3f3f3; height: 11px; margin: 0; border: none; }"
        "QScrollBar::handle { background: #c6c6c6; border-radius: 4px; margin: 2px; }"
        "QScrollBar::handle:vertical { min-height: 32px; }"
        "QScrollBar::handle:horizontal { min-width: 32px; }"
        "QScrollBar::handle:hover { background: #a8a8a8; }"
        "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: none; background: none; }"
        "QScrollBar::add-page, QScrollBar::sub-page { background: none; }");
    verticalScrollBar()->setStyleSheet(bars);
    horizontalScrollBar()->setStyleSheet(bars);

    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &CGridCtrl::headerClicked);
    connect(this, &QAbstractItemView::clicked, this, &CGridCtrl::OnClicked);
    connect(this, &QAbstractItemView::doubleClicked, this, &CGridCtrl::OnDoubleClicked);

    ApplyStyle();
}

CGridCtrl::~CGridCtrl() = default;

void CGridCtrl::SetGridStyle(const GridStyle& style)
{
    m_style = style;
    ApplyStyle();
}

void CGridCtrl::ApplyStyle()
{
    verticalHeader()->setDefaultSectionSize(m_style.rowHeight);
    horizontalHeader()->setFixedHeight(m_style.headerHeight);
    horizontalHeader()->setFont(m_style.headerFont);
    setFont(m_style.dataFont);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, m_style.back);
    pal.setColor(QPalette::Window, m_style.back);
    pal.setColor(QPalette::WindowText, m_style.line.darker(112));  // the frame
    pal.setColor(QPalette::Text, m_style.text);
    setPalette(pal);
    viewport()->update();
    horizontalHeader()->viewport()->update();
}

void CGridCtrl::SetColumns(std::vector<GridColumn> columns)
{
    m_edit = {};
    ++m_rowsGeneration;
    std::vector<int> widths;
    widths.reserve(columns.size());
    for (const GridColumn& c : columns) widths.push_back(c.width);
    m_model->SetColumns(std::move(columns));
    for (size_t c = 0; c < widths.size(); ++c) setColumnWidth(static_cast<int>(c), widths[c]);
    if (m_sortColumn >= ColumnCount()) m_sortColumn = -1;
}

int CGridCtrl::ColumnCount() const
{
    return m_model->ColumnCount();
}

GridColumnKind CGridCtrl::ColumnKind(int column) const
{
    if (column < 0 || column >= ColumnCount()) return GridColumnKind::Text;
    return m_model->Columns()[static_cast<size_t>(column)].kind;
}

bool CGridCtrl::HasHeaderTick(int column) const
{
    return ColumnKind(column) == GridColumnKind::Tick &&
           m_model->Columns()[static_cast<size_t>(column)].headerTick;
}

QString CGridCtrl::ColumnTitle(int column) const
{
    if (column < 0 || column >= ColumnCount()) return {};
    return m_model->Columns()[static_cast<size_t>(column)].title;
}

void CGridCtrl::SetColumnTitle(int column, const QString& title)
{
    m_model->SetColumnTitle(column, title);
}

int CGridCtrl::TickColumn() const
{
    return m_model->TickColumn();
}

void CGridCtrl::SetRows(std::vector<std::vector<GridCell>> rows)
{
    m_edit = {};
    ++m_rowsGeneration;
    m_hoverRow = -1;
    m_model->SetRows(std::move(rows));
}

int CGridCtrl::AddRow(std::vector<GridCell> cells)
{
    return m_model->AppendRow(std::move(cells));
}

void CGridCtrl::ClearRows()
{
    SetRows({});
}

int CGridCtrl::RowCount() const
{
    return m_model->RowCount();
}

const GridCell& CGridCtrl::Cell(int row, int column) const
{
    return m_model->Cell(row, column);
}

QString CGridCtrl::CellText(int row, int column) const
{
    return Cell(row, column).text;
}

void CGridCtrl::SetCellText(int row, int column, const QString& text)
{
    m_model->Change(row, column, [&](GridCell& c) { c.text = text; });
}

QColor CGridCtrl::CellTextColor(int row, int column) const
{
    const QColor& own = Cell(row, column).color;
    return own.isValid() ? own : m_style.text;
}

void CGridCtrl::SetCellTextColor(int row, int column, const QColor& color)
{
    m_model->Change(row, column, [&](GridCell& c) { c.color = color; });
}

void CGridCtrl::SetRowTextColor(int row, const QColor& color)
{
    m_model->ChangeRow(row, [&](GridCell& c) { c.color = color; });
}

qint64 CGridCtrl::ItemData(int row, int column) const
{
    return Cell(row, column).data;
}

void CGridCtrl::SetItemData(int row, int column, qint64 data)
{
    m_model->Change(row, column, [&](GridCell& c) { c.data = data; });
}

void CGridCtrl::SetCellImage(int row, int column, int image)
{
    m_model->Change(row, column, [&](GridCell& c) { c.image = image; });
}

bool CGridCtrl::IsCellEditable(int row, int column) const
{
    return Cell(row, column).editable;
}

void CGridCtrl::SetCellEditable(int row, int column, bool editable)
{
    m_model->Change(row, column, [&](GridCell& c) { c.editable = editable; });
}

void CGridCtrl::SetColumnEditable(int column, bool editable)
{
    m_model->ChangeColumn(column, [&](GridCell& c) { c.editable = editable; });
}

int CGridCtrl::ResolveTickColumn(int column) const
{
    if (column < 0) return TickColumn();
    return ColumnKind(column) == GridColumnKind::Tick ? column : -1;
}

bool CGridCtrl::IsTicked(int row, int column) const
{
    const int c = ResolveTickColumn(column);
    return c >= 0 && Cell(row, c).ticked;
}

void CGridCtrl::SetTicked(int row, bool ticked, int column)
{
    const int c = ResolveTickColumn(column);
    if (c >= 0) m_model->Change(row, c, [&](GridCell& cell) { cell.ticked = ticked; });
}

void CGridCtrl::SetAllTicked(bool ticked, int column)
{
    const int c = ResolveTickColumn(column);
    if (c >= 0) m_model->ChangeColumn(c, [&](GridCell& cell) { cell.ticked = ticked; });
}

std::vector<int> CGridCtrl::TickedRows(int column) const
{
    std::vector<int> rows;
    const int c = ResolveTickColumn(column);
    if (c < 0) return rows;
    for (int r = 0; r < RowCount(); ++r) {
        if (Cell(r, c).ticked) rows.push_back(r);
    }
    return rows;
}

void CGridCtrl::SetHeaderTicked(bool ticked)
{
    if (m_headerTicked == ticked) return;
    m_headerTicked = ticked;
    horizontalHeader()->viewport()->update();
}

void CGridCtrl::SetSortMark(int column, bool ascending)
{
    m_sortColumn = column >= 0 && column < ColumnCount() ? column : -1;
    m_sortAscending = ascending;
    horizontalHeader()->viewport()->update();
}

void CGridCtrl::SetImageList(CGridImageList images)
{
    m_images = std::move(images);
    viewport()->update();
}

bool CGridCtrl::EditCell(int row, int column)
{
    if (!isEnabled() || !IsCellEditable(row, column)) return false;
    const QModelIndex at = m_model->index(row, column);
    setCurrentIndex(at);
    return edit(at, QAbstractItemView::AllEditTriggers, nullptr) && m_edit.active;
}

bool CGridCtrl::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    if (m_edit.active) return QTableView::edit(index, trigger, event);
    const bool handled = QTableView::edit(index, trigger, event);
    if (handled && state() == QAbstractItemView::EditingState && indexWidget(index) != nullptr) {
        m_edit = {true, false, index.row(), index.column(), CellText(index.row(), index.column()), {}};
        emit editStarted(m_edit.row, m_edit.column, m_edit.oldText);
    }
    return handled;
}

void CGridCtrl::commitData(QWidget* editor)
{
    // The text is taken now and put into the cell once the editor has closed, so receivers of
    // editEnded may open message boxes without the editor committing a second time.
    if (!m_edit.active) return;
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        m_edit.committed = true;
        m_edit.newText = line->text();
    }
}

void CGridCtrl::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    // One editable cell at a time: Tab ends the edit instead of opening the next cell.
    if (hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem) {
        hint = QAbstractItemDelegate::NoHint;
    }
    const EditState done = std::exchange(m_edit, EditState{});
    const quint64 generation = m_rowsGeneration;
    QTableView::closeEditor(editor, hint);
    if (!done.active || !m_model->IsCell(done.row, done.column)) return;

    const QString newText = done.committed ? done.newText : done.oldText;
    if (newText != done.oldText) SetCellText(done.row, done.column, newText);
    bool accept = true;
    emit editEnded(done.row, done.column, done.oldText, newText, &accept);
    // A receiver that reloaded the grid has replaced the row; nothing to put back then.
    if (!accept && generation == m_rowsGeneration) SetCellText(done.row, done.column, done.oldText);
}

void CGridCtrl::OnClicked(const QModelIndex& index)
{
    if (!index.isValid()) return;
    if (ColumnKind(index.column()) == GridColumnKind::Tick) ToggleTick(index.row(), index.column());
    emit cellClicked(index.row(), index.column());
}

void CGridCtrl::OnDoubleClicked(const QModelIndex& index)
{
    // The second click of a double click on a tick box counts as a click of its own, as a
    // check box takes it.
    if (index.isValid() && ColumnKind(index.column()) == GridColumnKind::Tick) OnClicked(index);
}

void CGridCtrl::ToggleTick(int row, int column)
{
    const bool ticked = !Cell(row, column).ticked;
    SetTicked(row, ticked, column);
    emit tickToggled(row, column, ticked);
}

void CGridCtrl::SetHoverRow(int row)
{
    if (row == m_hoverRow) return;
    m_hoverRow = row;
    viewport()->update();
}

void CGridCtrl::UpdateCursor(const QModelIndex& index)
{
    bool hand = false;
    if (index.isValid()) {
        const GridColumnKind kind = ColumnKind(index.column());
        const GridCell& cell = Cell(index.row(), index.column());
        hand = kind == GridColumnKind::Tick ||
               (kind == GridColumnKind::Image && !m_images.Picture(cell.image).isNull());
    }
    if (hand) {
        viewport()->setCursor(Qt::PointingHandCursor);
    } else {
        viewport()->unsetCursor();
    }
}

void CGridCtrl::mouseMoveEvent(QMouseEvent* event)
{
    const QModelIndex at = indexAt(event->position().toPoint());
    SetHoverRow(at.isValid() ? at.row() : -1);
    UpdateCursor(at);
    QTableView::mouseMoveEvent(event);
}

void CGridCtrl::leaveEvent(QEvent* event)
{
    SetHoverRow(-1);
    QTableView::leaveEvent(event);
}

void CGridCtrl::keyPressEvent(QKeyEvent* event)
{
    // Space ticks the current row, as a click on its tick box would.
    const int tick = TickColumn();
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && tick >= 0 &&
        state() != QAbstractItemView::EditingState && currentIndex().isValid()) {
        OnClicked(m_model->index(currentIndex().row(), tick));
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void CGridCtrl::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange) {
        if (!isEnabled()) SetHoverRow(-1);
        horizontalHeader()->viewport()->update();
        viewport()->update();
    }
    QTableView::changeEvent(event);
}

}  // namespace pontiq
