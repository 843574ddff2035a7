// The header row and the cell painter of CGridCtrl; used only by the grid itself.
#pragma once

#include <QHeaderView>
#include <QStyledItemDelegate>

namespace pontiq {

class CGridCtrl;

class CGridHeader final : public QHeaderView {
    Q_OBJECT

public:
    explicit CGridHeader(CGridCtrl* grid);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    CGridCtrl* m_grid;
};

class CGridDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit CGridDelegate(CGridCtrl* grid);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

private:
    CGridCtrl* m_grid;
};

}  // namespace pontiq
