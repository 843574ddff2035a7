#include "ui/grid/grid_model.h"

namespace pontiq {

namespace {

const GridCell kNoCell{};

}  // namespace

CGridModel::CGridModel(QObject* parent) : QAbstractTableModel(parent)
{
}

void CGridModel::SetColumns(std::vector<GridColumn> columns)
{
    beginResetModel();
    m_columns = std::move(columns);
    for (Row& row : m_rows) row.resize(m_columns.size());
    endResetModel();
}

void CGridModel::SetColumnTitle(int column, const QString& title)
{
    if (column < 0 || column >= ColumnCount()) return;
    m_columns[static_cast<size_t>(column)].title = title;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

int CGridModel::TickColumn() const
{
    for (int c = 0; c < ColumnCount(); ++c) {
        if (m_columns[static_cast<size_t>(c)].kind == GridColumnKind::Tick) return c;
    }
    return -1;
}

void CGridModel::SetRows(std::vector<Row> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    for (Row& row : m_rows) row.resize(m_columns.size());
    endResetModel();
}

int CGridModel::AppendRow(Row row)
{
    const int at = RowCount();
    row.resize(m_columns.size());
    beginInsertRows(QModelIndex(), at, at);
    m_rows.push_back(std::move(row));
    endInsertRows();
    return at;
}

bool CGridModel::IsCell(int row, int column) const
{
    return row >= 0 && row < RowCount() && column >= 0 && column < ColumnCount();
}

const GridCell& CGridModel::Cell(int row, int column) const
{
    if (!IsCell(row, column)) return kNoCell;
    return m_rows[static_cast<size_t>(row)][static_cast<size_t>(column)];
}

int CGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : RowCount();
}

int CGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount();
}

QVariant CGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !IsCell(index.row(), index.column())) return {};
    const GridCell& cell = Cell(index.row(), index.column());
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return cell.text;
        case Qt::ForegroundRole:
            return cell.color.isValid() ? QVariant(cell.color) : QVariant();
        case Qt::TextAlignmentRole:
            return int(Qt::AlignCenter);
        case Qt::UserRole:
            return cell.data;
        case Qt::AccessibleTextRole:
            if (m_columns[static_cast<size_t>(index.column())].kind == GridColumnKind::Tick) {
                return cell.ticked ? QStringLiteral("ticked") : QStringLiteral("not ticked");
            }
            return cell.text;
        default:
            return {};
    }
}

QVariant CGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount()) return {};
    if (role == Qt::DisplayRole) return m_columns[static_cast<size_t>(section)].title;
    return {};
}

Qt::ItemFlags CGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (Cell(index.row(), index.column()).editable) f |= Qt::ItemIsEditable;
    return f;
}

}  // namespace pontiq
