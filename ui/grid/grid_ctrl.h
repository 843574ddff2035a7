// The table control of every list: a header row with per-column title, width, fonts, colours,
// sort mark and header tick; data rows of one fixed height with per-cell text, text colour,
// item data, tick, picture and in-place editing; click notifications by row and column.
//
// Rows are data rows counted from 0; the header row is not a row here: clicks on it arrive as
// headerClicked(column). A click on a tick cell inverts that tick before the click is reported.
#pragma once

#include <QTableView>
#include <vector>

#include "ui/grid/grid_image_list.h"
#include "ui/grid/grid_types.h"

namespace pontiq {

class CGridModel;

class CGridCtrl : public QTableView {
    Q_OBJECT

public:
    explicit CGridCtrl(QWidget* parent = nullptr);
    ~CGridCtrl() override;

    // Fonts, colours and heights; repaints.
    void SetGridStyle(const GridStyle& style);
    const GridStyle& Style() const { return m_style; }

    // Columns. Setting them keeps the rows' cells that still have a column.
    void SetColumns(std::vector<GridColumn> columns);
    int ColumnCount() const;
    GridColumnKind ColumnKind(int column) const;
    // A tick column whose header cell holds the header tick (not its title).
    bool HasHeaderTick(int column) const;
    QString ColumnTitle(int column) const;
    void SetColumnTitle(int column, const QString& title);
    int TickColumn() const;  // the first tick column, -1 when none

    // Rows. SetRows replaces every data row at once (the fast way to fill a page); rows shorter
    // than the column count get empty cells. An in-place edit still open is dropped unreported.
    void SetRows(std::vector<std::vector<GridCell>> rows);
    int AddRow(std::vector<GridCell> cells = {});
    void ClearRows();
    int RowCount() const;

    // Cells. Reads outside the grid give an empty cell; writes outside it do nothing.
    const GridCell& Cell(int row, int column) const;
    QString CellText(int row, int column) const;
    void SetCellText(int row, int column, const QString& text);
    // The colour the cell's text is drawn in (its own, or the grid's text colour).
    QColor CellTextColor(int row, int column) const;
    void SetCellTextColor(int row, int column, const QColor& color);  // invalid: the grid's colour
    void SetRowTextColor(int row, const QColor& color);
    qint64 ItemData(int row, int column) const;
    void SetItemData(int row, int column, qint64 data);
    void SetCellImage(int row, int column, int image);  // -1: no picture
    bool IsCellEditable(int row, int column) const;
    void SetCellEditable(int row, int column, bool editable);
    void SetColumnEditable(int column, bool editable);

    // Ticks; column -1 means the first tick column.
    bool IsTicked(int row, int column = -1) const;
    void SetTicked(int row, bool ticked, int column = -1);
    void SetAllTicked(bool ticked, int column = -1);
    std::vector<int> TickedRows(int column = -1) const;
    // The header tick of the tick column; independent of the rows' ticks.
    bool IsHeaderTicked() const { return m_headerTicked; }
    void SetHeaderTicked(bool ticked);

    // The sort mark in the header; column -1 shows none.
    void SetSortMark(int column, bool ascending);
    int SortMarkColumn() const { return m_sortColumn; }
    bool SortMarkAscending() const { return m_sortAscending; }

    void SetImageList(CGridImageList images);
    const CGridImageList& ImageList() const { return m_images; }

    // Opens the in-place editor on an editable cell; false when the cell is not editable.
    bool EditCell(int row, int column);
    bool IsEditing() const { return m_edit.active; }

    int HoverRow() const { return m_hoverRow; }
    using QTableView::edit;

signals:
    void cellClicked(int row, int column);
    void headerClicked(int column);
    void tickToggled(int row, int column, bool ticked);
    // The editor opened on the cell, which holds `text`.
    void editStarted(int row, int column, const QString& text);
    // The editor closed; the cell already shows newText (equal to oldText when the edit was
    // cancelled). A receiver that clears *accept makes the grid put oldText back; it may also
    // set another text into the cell itself.
    void editEnded(int row, int column, const QString& oldText, const QString& newText, bool* accept);

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void commitData(QWidget* editor) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct EditState {
        bool active = false;
        bool committed = false;
        int row = -1;
        int column = -1;
        QString oldText;
        QString newText;
    };

    void OnClicked(const QModelIndex& index);
    void OnDoubleClicked(const QModelIndex& index);
    void ToggleTick(int row, int column);
    void ApplyStyle();
    void SetHoverRow(int row);
    void UpdateCursor(const QModelIndex& index);
    int ResolveTickColumn(int column) const;

    CGridModel* m_model;
    GridStyle m_style;
    CGridImageList m_images;
    EditState m_edit;
    quint64 m_rowsGeneration = 0;  // changes whenever every row is replaced
    bool m_headerTicked = false;
    int m_sortColumn = -1;
    bool m_sortAscending = true;
    int m_hoverRow = -1;
};

}  // namespace pontiq
