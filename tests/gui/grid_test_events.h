// Synthetic mouse and key input for grid and list-page tests (the GUI tests link Qt Widgets only).
#pragma once

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <memory>
#include <tuple>
#include <type_traits>
#include <vector>

#include "ui/grid/grid_ctrl.h"

namespace pontiq::test {

inline void ClickAt(QWidget* target, QPoint pos)
{
    const QPointF local(pos);
    const QPointF global(target->mapToGlobal(pos));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

inline void ClickCell(CGridCtrl& grid, int row, int column)
{
    const QRect rect = grid.visualRect(grid.model()->index(row, column));
    ClickAt(grid.viewport(), rect.center());
}

inline void ClickHeader(CGridCtrl& grid, int column)
{
    QHeaderView* header = grid.horizontalHeader();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    ClickAt(header->viewport(), QPoint(x, header->height() / 2));
}

inline void PressKey(QWidget* target, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
    // Item delegates commit an edit on Enter through a queued call.
    QApplication::processEvents();
}

// Records every emission of a signal with its arguments (a stand-in for QSignalSpy).
template <typename... Args>
using Calls = std::vector<std::tuple<std::decay_t<Args>...>>;

template <typename Object, typename... Args>
std::shared_ptr<Calls<Args...>> Record(Object* object, void (Object::*signal)(Args...))
{
    auto calls = std::make_shared<Calls<Args...>>();
    QObject::connect(object, signal, object, [calls](Args... args) { calls->emplace_back(args...); });
    return calls;
}

}  // namespace pontiq::test
