#include "app/controls/scroll_bitmap_wnd.h"

#include <QCoreApplication>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "app/controls/control_id.h"

namespace pontiq {

CScrollBitmapWnd::CScrollBitmapWnd(QWidget* parent)
    : QWidget(parent),
      horizontal_(new QScrollBar(Qt::Horizontal, this)),
      vertical_(new QScrollBar(Qt::Vertical, this))
{
    for (QScrollBar* bar : {horizontal_, vertical_}) {
        bar->setSingleStep(kLineStep);
        bar->setRange(0, 0);
        bar->hide();
        connect(bar, &QScrollBar::valueChanged, this, qOverload<>(&QWidget::update));
    }
    Layout();
}

CScrollBitmapWnd::CScrollBitmapWnd(int controlId, QWidget* parent) : CScrollBitmapWnd(parent)
{
    SetControlId(this, controlId);
}

bool CScrollBitmapWnd::SetPicture(const QString& path)
{
    if (path.isEmpty()) return false;
    QPixmap picture(path);
    if (picture.isNull()) return false;
    SetPicture(picture);
    return true;
}

void CScrollBitmapWnd::SetPicture(const QPixmap& picture)
{
    picture_ = picture;
    Layout();
    update();
}

QPoint CScrollBitmapWnd::ScrollPosition() const
{
    return {horizontal_->value(), vertical_->value()};
}

void CScrollBitmapWnd::ScrollTo(QPoint position)
{
    // The bars' ranges keep the position within 0 and the maximum.
    horizontal_->setValue(position.x());
    vertical_->setValue(position.y());
}

QSize CScrollBitmapWnd::VisibleSize() const
{
    return {width() - (vertical_->isVisibleTo(this) ? kScrollBarThickness : 0),
            height() - (horizontal_->isVisibleTo(this) ? kScrollBarThickness : 0)};
}

void CScrollBitmapWnd::SetFitWidth(bool fit)
{
    if (fitWidth_ == fit) return;
    fitWidth_ = fit;
    Layout();
    update();
}

QSize CScrollBitmapWnd::ShownSize() const
{
    return shown_.isNull() ? QSize(0, 0) : shown_.deviceIndependentSize().toSize();
}

void CScrollBitmapWnd::Layout()
{
    const int w = width();
    const int h = height();
    shown_ = picture_;
    if (fitWidth_ && !picture_.isNull() && picture_.width() > w && w > 0) {
        // Narrower still when the scaled height needs the vertical bar.
        const auto scaledHeight = [&](int width) {
            return static_cast<int>(static_cast<qint64>(picture_.height()) * width / picture_.width());
        };
        int fitted = w;
        if (scaledHeight(fitted) > h) fitted = std::max(1, w - kScrollBarThickness);
        // Scaled in device pixels, so that a high-density screen draws it sharp.
        const qreal ratio = devicePixelRatioF();
        shown_ =
            picture_.scaled(static_cast<int>(fitted * ratio), static_cast<int>(scaledHeight(fitted) * ratio),
                            Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        shown_.setDevicePixelRatio(ratio);
    }
    const QSize shownSize = ShownSize();
    const int pw = shownSize.width();
    const int ph = shownSize.height();
    // A bar in one direction takes room from the other.
    bool needH = pw > w;
    bool needV = ph > h;
    if (needH && !needV) needV = ph > h - kScrollBarThickness;
    if (needV && !needH) needH = pw > w - kScrollBarThickness;
    const int visibleW = std::max(0, w - (needV ? kScrollBarThickness : 0));
    const int visibleH = std::max(0, h - (needH ? kScrollBarThickness : 0));

    horizontal_->setVisible(needH);
    vertical_->setVisible(needV);
    horizontal_->setGeometry(0, h - kScrollBarThickness, visibleW, kScrollBarThickness);
    vertical_->setGeometry(w - kScrollBarThickness, 0, kScrollBarThickness, visibleH);
    horizontal_->setRange(0, std::max(0, pw - visibleW));
    vertical_->setRange(0, std::max(0, ph - visibleH));
    horizontal_->setPageStep(std::max(1, visibleW));
    vertical_->setPageStep(std::max(1, visibleH));
}

void CScrollBitmapWnd::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), kOutsideColor);
    if (shown_.isNull()) return;
    const QSize visible = VisibleSize();
    const QSize shownSize = ShownSize();
    const QPoint at = ScrollPosition();
    const QRect target(0, 0, std::min(visible.width(), shownSize.width() - at.x()),
                       std::min(visible.height(), shownSize.height() - at.y()));
    if (target.isEmpty()) return;
    const qreal ratio = shown_.devicePixelRatio();
    const QRect source((QPointF(at) * ratio).toPoint(), (QSizeF(target.size()) * ratio).toSize());
    painter.drawPixmap(target, shown_, source);
}

void CScrollBitmapWnd::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Layout();
}

void CScrollBitmapWnd::wheelEvent(QWheelEvent* event)
{
    // The wheel over the picture scrolls it as over the vertical bar (with Shift or a sideways
    // wheel: the horizontal bar).
    const bool sideways = event->angleDelta().x() != 0 || (event->modifiers() & Qt::ShiftModifier);
    QScrollBar* bar = sideways ? horizontal_ : vertical_;
    if (bar->isVisibleTo(this)) {
        QCoreApplication::sendEvent(bar, event);
    } else {
        event->ignore();
    }
}

}  // namespace pontiq
