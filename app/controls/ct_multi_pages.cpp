#include "app/controls/ct_multi_pages.h"

#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "app/controls/control_id.h"

namespace pontiq {
namespace {

QString SlotText(int value)
{
    return value == CTMultiPages::kGapMark ? QStringLiteral("...") : QString::number(value);
}

}  // namespace

CTMultiPages::CTMultiPages(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
}

CTMultiPages::CTMultiPages(int controlId, QWidget* parent) : CTMultiPages(parent)
{
    SetControlId(this, controlId);
}

std::vector<int> CTMultiPages::ComputeSlots(int count, int current)
{
    std::vector<int> values;
    if (count <= 0) return values;
    if (count <= kMaxSlots) {
        for (int page = 1; page <= count; ++page) values.push_back(page);
        return values;
    }
    const int n = count;
    const int c = current;
    if (c <= 4) {
        values = {1, 2, 3, 4, 5, kGapMark, n};
    } else if (c < n - 3) {
        values = {1, kGapMark, c - 1, c, c + 1, kGapMark, n};
    } else {
        values = {1, kGapMark, n - 4, n - 3, n - 2, n - 1, n};
    }
    return values;
}

void CTMultiPages::Reset(int pageId)
{
    pageId_ = pageId;
    currentPage_ = 1;
    pageCount_ = 0;
    hovered_ = -1;
    pressed_ = -1;
    slots_.clear();
    rects_.clear();
    unsetCursor();
    update();
}

void CTMultiPages::SetPageCount(int count)
{
    pageCount_ = std::max(0, count);
    Rebuild();
}

void CTMultiPages::SetCurrentPage(int page)
{
    currentPage_ = page;
    Rebuild();
}

void CTMultiPages::SetAlignment(Alignment alignment)
{
    alignment_ = alignment;
    Layout();
    update();
}

void CTMultiPages::SetFrame(bool on)
{
    frame_ = on;
    update();
}

void CTMultiPages::SetBackgroundColor(const QColor& color)
{
    background_ = color;
    update();
}

void CTMultiPages::Rebuild()
{
    slots_ = ComputeSlots(pageCount_, currentPage_);
    hovered_ = -1;
    pressed_ = -1;
    unsetCursor();
    Layout();
    update();
}

void CTMultiPages::Layout()
{
    rects_.clear();
    if (slots_.empty()) return;
    const QFontMetrics metrics(font());
    std::vector<int> widths;
    int total = 0;
    for (int value : slots_) {
        const int textWidth = metrics.horizontalAdvance(SlotText(value));
        const int slotWidth = textWidth < 24 ? kMinSlotWidth : textWidth + 8;
        widths.push_back(slotWidth);
        total += slotWidth;
    }
    total += kSlotSpacing * (static_cast<int>(slots_.size()) - 1);

    const int top = height() < kSlotHeight ? 0 : (height() - kSlotHeight) / 2;
    int x = 0;
    switch (alignment_) {
        case Alignment::Center:
            x = std::max(0, (width() - total) / 2);
            break;
        case Alignment::Right:
            x = std::max(0, width() - total);
            break;
        case Alignment::Left:
            x = kLeftMargin;
            break;
    }
    for (int slotWidth : widths) {
        rects_.emplace_back(x, top, slotWidth, kSlotHeight);
        x += slotWidth + kSlotSpacing;
    }
}

int CTMultiPages::SlotAt(QPoint pos) const
{
    for (size_t i = 0; i < rects_.size(); ++i) {
        if (rects_[i].contains(pos)) return static_cast<int>(i);
    }
    return -1;
}

bool CTMultiPages::IsClickable(int slot) const
{
    if (slot < 0 || slot >= static_cast<int>(slots_.size())) return false;
    const int value = slots_[slot];
    return value != kGapMark && value != currentPage_;
}

void CTMultiPages::SetHovered(int slot)
{
    if (slot == hovered_) return;
    hovered_ = slot;
    if (slot >= 0) {
        setCursor(Qt::PointingHandCursor);
    } else {
        unsetCursor();
    }
    update();
}

void CTMultiPages::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    if (frame_) {
        painter.setPen(kFrameColor);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        painter.fillRect(rect().adjusted(1, 1, -1, -1), background_);
    } else {
        painter.fillRect(rect(), background_);
    }
    if (pageCount_ <= 0) return;

    const QFont normalFont = font();
    QFont boldFont = normalFont;
    boldFont.setBold(true);
    for (size_t i = 0; i < slots_.size() && i < rects_.size(); ++i) {
        const QRect& box = rects_[i];
        const int value = slots_[i];
        const bool current = value == currentPage_;
        if (current || value == kGapMark) {
            painter.fillRect(box, Qt::white);
        } else {
            painter.fillRect(box, kFrameColor);
            painter.fillRect(box.adjusted(1, 1, -1, -1),
                             static_cast<int>(i) == hovered_ ? kHoverColor : QColor(Qt::white));
        }
        painter.setFont(current ? boldFont : normalFont);
        painter.setPen(Qt::black);
        painter.drawText(box, Qt::AlignCenter, SlotText(value));
    }
}

void CTMultiPages::mouseMoveEvent(QMouseEvent* event)
{
    const int slot = SlotAt(event->position().toPoint());
    SetHovered(IsClickable(slot) ? slot : -1);
    QWidget::mouseMoveEvent(event);
}

void CTMultiPages::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const int slot = SlotAt(event->position().toPoint());
        pressed_ = IsClickable(slot) ? slot : -1;
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void CTMultiPages::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    const int pressed = pressed_;
    pressed_ = -1;
    if (pressed < 0 || SlotAt(event->position().toPoint()) != pressed || !IsClickable(pressed)) return;
    const int page = slots_[pressed];
    SetCurrentPage(page);
    emit PageChanged(pageId_, page);
}

void CTMultiPages::leaveEvent(QEvent* event)
{
    SetHovered(-1);
    QWidget::leaveEvent(event);
}

void CTMultiPages::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Layout();
}

void CTMultiPages::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) {
        Layout();
        update();
    }
    QWidget::changeEvent(event);
}

}  // namespace pontiq
