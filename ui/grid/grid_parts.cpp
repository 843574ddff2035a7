#include "ui/grid/grid_parts.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

#include "ui/grid/grid_ctrl.h"
#include "ui/grid/grid_paint.h"

namespace pontiq {

namespace {

constexpr int kSortMarkWidth = 8;
constexpr int kSortMarkGap = 5;
constexpr int kHeaderTextInset = 2;
constexpr int kEditorInsetX = 4;
constexpr int kEditorHeight = 30;

QColor Dimmed(const QColor& color, const QColor& back)
{
    return BlendColor(color, back, 0.55);
}

}  // namespace

// ---- header ---------------------------------------------------------------------------------

CGridHeader::CGridHeader(CGridCtrl* grid) : QHeaderView(Qt::Horizontal, grid), m_grid(grid)
{
}

QSize CGridHeader::sizeHint() const
{
    QSize size = QHeaderView::sizeHint();
    size.setHeight(m_grid->Style().headerHeight);
    return size;
}

void CGridHeader::paintEvent(QPaintEvent* event)
{
    QHeaderView::paintEvent(event);
    // The strip right of the last column, which the platform style would paint in its own look.
    const int end = length() - offset();
    if (end < viewport()->width()) {
        QPainter painter(viewport());
        const GridStyle& style = m_grid->Style();
        const QRect rest(end, 0, viewport()->width() - end, viewport()->height());
        painter.fillRect(rest, style.headerBack);
        painter.setPen(style.headerBack.darker(118));
        painter.drawLine(rest.bottomLeft(), rest.bottomRight());
    }
}

bool CGridHeader::viewportEvent(QEvent* event)
{
    if (event->type() != QEvent::ToolTip) return QHeaderView::viewportEvent(event);
    // A title cut short by its column shows in full as a tooltip.
    auto* help = static_cast<QHelpEvent*>(event);
    const int column = logicalIndexAt(help->pos());
    const QString title = m_grid->ColumnTitle(column);
    const int room = sectionSize(column) - 2 * kHeaderTextInset;
    if (column >= 0 && !title.isEmpty() &&
        QFontMetrics(m_grid->Style().headerFont).horizontalAdvance(title) > room) {
        QToolTip::showText(help->globalPos(), title, viewport());
    } else {
        QToolTip::hideText();
    }
    return true;
}

void CGridHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    if (!rect.isValid()) return;
    const GridStyle& style = m_grid->Style();
    const bool enabled = m_grid->isEnabled();
    painter->save();
    painter->fillRect(rect, style.headerBack);
    const QColor separator = style.headerBack.darker(118);
    painter->setPen(separator);
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    painter->drawLine(QPoint(rect.right(), rect.top() + rect.height() / 4),
                      QPoint(rect.right(), rect.bottom() - rect.height() / 4));

    if (m_grid->HasHeaderTick(logicalIndex)) {
        PaintTickBox(*painter, rect, m_grid->IsHeaderTicked(), enabled, false, style);
        painter->restore();
        return;
    }

    const QColor text = enabled ? style.headerText : Dimmed(style.headerText, style.headerBack);
    const bool marked = m_grid->SortMarkColumn() == logicalIndex;
    // Titles may use the whole section but for a pixel each side; the sort mark takes its room.
    QRect area = rect.adjusted(kHeaderTextInset, 0, -kHeaderTextInset, 0);
    if (marked) area.setRight(area.right() - kSortMarkWidth - kSortMarkGap);
    const QFontMetrics metrics(style.headerFont);
    const QString title =
        metrics.elidedText(m_grid->ColumnTitle(logicalIndex), Qt::ElideRight, std::max(0, area.width()));
    painter->setFont(style.headerFont);
    painter->setPen(text);
    if (marked) {
        // Title and mark centred together as one group.
        const int titleWidth = metrics.horizontalAdvance(title);
        const int group = titleWidth + (titleWidth > 0 ? kSortMarkGap : 0) + kSortMarkWidth;
        const int left = rect.left() + std::max(kHeaderTextInset, (rect.width() - group) / 2);
        painter->drawText(QRect(left, rect.top(), titleWidth, rect.height()),
                          Qt::AlignVCenter | Qt::AlignLeft, title);
        const qreal markX = left + group - kSortMarkWidth / 2.0;
        PaintSortMark(*painter, QPointF(markX, rect.center().y() + 0.5), m_grid->SortMarkAscending(), text);
    } else {
        painter->drawText(area, Qt::AlignCenter | Qt::TextSingleLine, title);
    }
    painter->restore();
}

// ---- cells ----------------------------------------------------------------------------------

CGridDelegate::CGridDelegate(CGridCtrl* grid) : QStyledItemDelegate(grid), m_grid(grid)
{
}

void CGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const
{
    const GridStyle& style = m_grid->Style();
    const GridCell& cell = m_grid->Cell(index.row(), index.column());
    const QRect rect = option.rect;
    const bool enabled = (option.state & QStyle::State_Enabled) && m_grid->isEnabled();
    const bool selected = enabled && (option.state & QStyle::State_Selected);
    const bool hovered = enabled && m_grid->HoverRow() == index.row();

    painter->save();
    QColor back = style.back;
    if (selected) {
        back = style.SelectedBack();
    } else if (hovered) {
        back = style.HoverBack();
    }
    painter->fillRect(rect, back);
    painter->setPen(style.line);
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    painter->drawLine(rect.topRight(), rect.bottomRight());

    switch (m_grid->ColumnKind(index.column())) {
        case GridColumnKind::Tick:
            PaintTickBox(*painter, rect, cell.ticked, enabled, hovered, style);
            painter->restore();
            return;
        case GridColumnKind::Image: {
            const QPixmap picture = m_grid->ImageList().Picture(cell.image);
            if (!picture.isNull()) {
                QSize size = picture.deviceIndependentSize().toSize();
                const QSize room = rect.size() - QSize(2, 2);
                if (size.width() > room.width() || size.height() > room.height()) {
                    size.scale(room, Qt::KeepAspectRatio);
                }
                const QRect target(rect.x() + (rect.width() - size.width()) / 2,
                                   rect.y() + (rect.height() - size.height()) / 2, size.width(),
                                   size.height());
                if (!enabled) painter->setOpacity(0.45);
                painter->drawPixmap(target, picture);
                painter->restore();
                return;
            }
            break;  // no picture: the cell's text, if any
        }
        case GridColumnKind::Text:
            break;
    }

    if (!cell.text.isEmpty()) {
        QColor text = cell.color.isValid() ? cell.color : style.text;
        if (!enabled) text = Dimmed(text, back);
        const QRect area = rect.adjusted(kCellPadding, 0, -kCellPadding, 0);
        const QFontMetrics metrics(style.dataFont);
        painter->setFont(style.dataFont);
        painter->setPen(text);
        painter->drawText(area, Qt::AlignCenter | Qt::TextSingleLine,
                          metrics.elidedText(cell.text, Qt::ElideRight, std::max(0, area.width())));
    }
    painter->restore();
}

QSize CGridDelegate::sizeHint(const QStyleOptionViewItem& /*option*/, const QModelIndex& index) const
{
    const GridStyle& style = m_grid->Style();
    const GridCell& cell = m_grid->Cell(index.row(), index.column());
    int width = 2 * kCellPadding + 2;
    switch (m_grid->ColumnKind(index.column())) {
        case GridColumnKind::Tick:
            width += kTickBoxSize;
            break;
        case GridColumnKind::Image:
            width += std::max(m_grid->ImageList().Picture(cell.image).width(),
                              QFontMetrics(style.dataFont).horizontalAdvance(cell.text));
            break;
        case GridColumnKind::Text:
            width += QFontMetrics(style.dataFont).horizontalAdvance(cell.text);
            break;
    }
    return QSize(width, style.rowHeight);
}

QWidget* CGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& /*option*/,
                                     const QModelIndex& /*index*/) const
{
    const GridStyle& style = m_grid->Style();
    auto* editor = new QLineEdit(parent);
    editor->setAlignment(Qt::AlignCenter);
    editor->setFont(style.dataFont);
    editor->setFrame(false);
    editor->setStyleSheet(
        QStringLiteral("QLineEdit { background: white; color: %1; border: 1px solid %2;"
                       " border-radius: 2px; padding: 0 4px; selection-background-color: %3;"
                       " selection-color: %4; }")
            .arg(style.text.name(), style.headerText.name(), style.EditSelectionBack().name(),
                 style.EditSelectionText().name()));
    return editor;
}

void CGridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        line->setText(m_grid->CellText(index.row(), index.column()));
        line->selectAll();
    }
}

void CGridDelegate::setModelData(QWidget* /*editor*/, QAbstractItemModel* /*model*/,
                                 const QModelIndex& /*index*/) const
{
    // The grid takes the text itself when the editor closes (CGridCtrl::closeEditor).
}

void CGridDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                         const QModelIndex& /*index*/) const
{
    const QRect cell = option.rect;
    const int height = std::min(kEditorHeight, cell.height() - 2);
    editor->setGeometry(cell.x() + kEditorInsetX, cell.y() + (cell.height() - height) / 2,
                        std::max(0, cell.width() - 2 * kEditorInsetX), height);
}

bool CGridDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                              const QModelIndex& index)
{
    if (!event || event->type() != QEvent::ToolTip) {
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    // Only text that does not fit its cell gets a tooltip with the whole text.
    const GridCell& cell = m_grid->Cell(index.row(), index.column());
    const int room = option.rect.width() - 2 * kCellPadding;
    if (m_grid->ColumnKind(index.column()) != GridColumnKind::Tick && !cell.text.isEmpty() &&
        QFontMetrics(m_grid->Style().dataFont).horizontalAdvance(cell.text) > room) {
        QToolTip::showText(event->globalPos(), cell.text, view, option.rect);
    } else {
        QToolTip::hideText();
    }
    return true;
}

}  // namespace pontiq
