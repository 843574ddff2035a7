// The cells of a grid: columns and data rows, held as plain values. The view reads the cells
// directly; the Qt roles exist for accessibility and tooltips.
#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "ui/grid/grid_types.h"

namespace pontiq {

class CGridModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    using Row = std::vector<GridCell>;

    explicit CGridModel(QObject* parent = nullptr);

    void SetColumns(std::vector<GridColumn> columns);
    const std::vector<GridColumn>& Columns() const { return m_columns; }
    int ColumnCount() const { return static_cast<int>(m_columns.size()); }
    void SetColumnTitle(int column, const QString& title);
    // The first tick column, -1 when there is none.
    int TickColumn() const;

    // Replaces every data row in one step; each row is cut or padded to the column count.
    void SetRows(std::vector<Row> rows);
    int AppendRow(Row row = {});
    int RowCount() const { return static_cast<int>(m_rows.size()); }

    bool IsCell(int row, int column) const;
    // Out-of-range cells read as an empty cell and ignore writes.
    const GridCell& Cell(int row, int column) const;
    // Runs edit on the cell and repaints it; false for a cell outside the grid.
    template <typename Edit>
    bool Change(int row, int column, Edit&& edit)
    {
        if (!IsCell(row, column)) return false;
        edit(m_rows[static_cast<size_t>(row)][static_cast<size_t>(column)]);
        const QModelIndex at = index(row, column);
        emit dataChanged(at, at);
        return true;
    }
    template <typename Edit>
    void ChangeColumn(int column, Edit&& edit)
    {
        if (column < 0 || column >= ColumnCount() || m_rows.empty()) return;
        for (Row& row : m_rows) edit(row[static_cast<size_t>(column)]);
        emit dataChanged(index(0, column), index(RowCount() - 1, column));
    }
    template <typename Edit>
    void ChangeRow(int row, Edit&& edit)
    {
        if (row < 0 || row >= RowCount() || m_columns.empty()) return;
        for (GridCell& cell : m_rows[static_cast<size_t>(row)]) edit(cell);
        emit dataChanged(index(row, 0), index(row, ColumnCount() - 1));
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    std::vector<GridColumn> m_columns;
    std::vector<Row> m_rows;
};

}  // namespace pontiq
