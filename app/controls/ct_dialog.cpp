#include "app/controls/ct_dialog.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QTimer>
#include <QWindow>
#include <utility>

namespace pontiq {
namespace {

// The cursor in the coordinates the window's position is given in: the screen for a
// top-level window, the parent for a child.
QPoint MoveAnchor(const QWidget& window, QPoint global)
{
    return (!window.isWindow() && window.parentWidget()) ? window.parentWidget()->mapFromGlobal(global)
                                                         : global;
}

}  // namespace

CTDialog::CTDialog(QWidget* parent, Qt::WindowFlags flags) : QDialog(parent, flags)
{
    // QDialog turns a plain Qt::Widget into Qt::Dialog, which would make a page a window of its own.
    if ((flags & Qt::WindowType_Mask) == Qt::Widget) setWindowFlags(flags);
}

CTDialog::~CTDialog() = default;

void CTDialog::SetBackgroundImage(const QString& path)
{
    if (path.isEmpty()) return;
    QPixmap image(path);
    if (image.isNull()) return;
    background_ = std::move(image);
    update();
}

void CTDialog::SetBackgroundImage(const QPixmap& image)
{
    if (image.isNull()) return;
    background_ = image;
    update();
}

void CTDialog::ClearBackgroundImage()
{
    background_ = QPixmap();
    update();
}

void CTDialog::SetFillColor(const QColor& color)
{
    fillColor_ = color;
    fill_ = true;
    update();
}

void CTDialog::SetFillEnabled(bool on)
{
    fill_ = on;
    update();
}

void CTDialog::SetLines(std::vector<line_point> lines)
{
    lines_ = std::move(lines);
    update();
}

void CTDialog::AddLine(const line_point& line)
{
    lines_.push_back(line);
    update();
}

void CTDialog::ClearLines()
{
    lines_.clear();
    update();
}

void CTDialog::SetLineColor(const QColor& color)
{
    lineColor_ = color;
    update();
}

void CTDialog::SetLineWidth(int width)
{
    lineWidth_ = width;
    update();
}

void CTDialog::SetCornerRadius(int radius)
{
    cornerRadius_ = radius;
    update();
}

void CTDialog::SetTranslucency(int alpha)
{
    translucency_ = alpha;
}

void CTDialog::EnableDrag(bool on)
{
    drag_ = on;
    if (!on) dragging_ = false;
}

void CTDialog::SetFrameless(bool on)
{
    const bool visible = isVisible();
    setWindowFlag(Qt::FramelessWindowHint, on);
    if (visible) show();  // changing the flags hides a shown window
}

void CTDialog::paintEvent(QPaintEvent* /*event*/)
{
    {
        QPainter painter(this);
        if (!background_.isNull()) {
            painter.drawPixmap(rect(), background_);
        } else if (fill_) {
            painter.fillRect(rect(), fillColor_);
        }
        if (!lines_.empty()) {
            painter.setPen(QPen(lineColor_, lineWidth_));
            for (const line_point& line : lines_) {
                painter.drawLine(line.x1, line.y1, line.x2, line.y2);
            }
        }
    }

    // The outline follows one paint later, once the window has its final size on screen.
    if (cornerRadius_ > 0 && !outlineApplied_) {
        if (!outlinePending_) {
            outlinePending_ = true;
            update();
        } else {
            // Not from inside the paint: a new mask schedules paints of its own.
            QTimer::singleShot(0, this, &CTDialog::ApplyOutline);
        }
    }
}

void CTDialog::ApplyOutline()
{
    if (cornerRadius_ <= 0) return;
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, width() + 1, height() + 1), cornerRadius_, cornerRadius_);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
    if (!outlineApplied_ && translucency_ != kOpaque && isWindow()) {
        setWindowOpacity(kTranslucentOpacity / 255.0);
    }
    outlinePending_ = false;
    outlineApplied_ = true;
}

void CTDialog::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            OnEnterKey();
            return;
        case Qt::Key_Escape:
            event->accept();
            OnEscapeKey();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void CTDialog::mousePressEvent(QMouseEvent* event)
{
    if (drag_ && event->button() == Qt::LeftButton) {
        // A top-level window leaves the move to the window system where it can (Wayland
        // allows no other way); a child window moves within its parent.
        if (isWindow() && windowHandle() && windowHandle()->startSystemMove()) {
            event->accept();
            return;
        }
        dragging_ = true;
        dragOffset_ = MoveAnchor(*this, event->globalPosition().toPoint()) - pos();
        event->accept();
        return;
    }
    QDialog::mousePressEvent(event);
}

void CTDialog::mouseMoveEvent(QMouseEvent* event)
{
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        move(MoveAnchor(*this, event->globalPosition().toPoint()) - dragOffset_);
        event->accept();
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void CTDialog::mouseReleaseEvent(QMouseEvent* event)
{
    if (dragging_ && event->button() == Qt::LeftButton) {
        dragging_ = false;
        event->accept();
        return;
    }
    QDialog::mouseReleaseEvent(event);
}

void CTDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (outlineApplied_) ApplyOutline();
}

}  // namespace pontiq
