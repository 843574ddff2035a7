#include "app/controls/ct_button_picture.h"

#include <QCursor>
#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "app/controls/control_id.h"
#include "app/controls/skin_style.h"

namespace pontiq {
namespace {

constexpr int kBoldWeight = 700;

Qt::Alignment HorizontalAlignment(int placement)
{
    switch (placement) {
        case CTButtonPicture::kTextLeft:
            return Qt::AlignLeft;
        case CTButtonPicture::kTextRight:
            return Qt::AlignRight;
        case CTButtonPicture::kTextCenter:
        case CTButtonPicture::kTextCenterTop:
        case CTButtonPicture::kTextCenterBottom:
            return Qt::AlignHCenter;
        default:
            return Qt::AlignLeft;
    }
}

}  // namespace

CTButtonPicture::CTButtonPicture(QWidget* parent) : QPushButton(parent), hoverTimer_(this)
{
    // Enter must reach the skinned dialog, which swallows it, instead of clicking the button.
    setAutoDefault(false);
    setDefault(false);
    setFlat(true);
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    hoverTimer_.setInterval(kHoverPollMs);
    connect(&hoverTimer_, &QTimer::timeout, this, &CTButtonPicture::PollHover);
}

CTButtonPicture::CTButtonPicture(int controlId, QWidget* parent) : CTButtonPicture(parent)
{
    SetControlId(this, controlId);
}

void CTButtonPicture::SetImages(const QString& normal, const QString& hover, const QString& pressed,
                                const QString& disabled)
{
    const QString* paths[4] = {&normal, &hover, &pressed, &disabled};
    for (int i = 0; i < 4; ++i) {
        if (paths[i]->isEmpty()) continue;
        QPixmap image(*paths[i]);
        if (!image.isNull()) images_[i] = image;
    }
    updateGeometry();
    update();
}

void CTButtonPicture::SetImage(State state, const QPixmap& image)
{
    images_[Index(state)] = image;
    updateGeometry();
    update();
}

QPixmap CTButtonPicture::Image(State state) const
{
    return images_[Index(state)];
}

void CTButtonPicture::SetCaption(const QString& caption)
{
    setText(caption);
    update();
}

void CTButtonPicture::SetSkin(const QString& face, int weight, int height, const QColor& textColor,
                              const QColor& pressedTextColor)
{
    faceName_ = face;
    fontWeight_ = weight;
    fontHeight_ = height;
    textColor_ = textColor;
    pressedTextColor_ = pressedTextColor;
    update();
}

void CTButtonPicture::SetTextColor(const QColor& color)
{
    textColor_ = color;
    update();
}

void CTButtonPicture::SetPressedTextColor(const QColor& color)
{
    pressedTextColor_ = color;
    update();
}

void CTButtonPicture::SetDisabledTextColor(const QColor& color)
{
    disabledTextColor_ = color;
    update();
}

void CTButtonPicture::SetTextPlacement(int placement, int offset)
{
    placement_ = placement;
    textOffset_ = offset;
    update();
}

void CTButtonPicture::SetSelected(bool selected)
{
    selected_ = selected;
    update();
}

void CTButtonPicture::SetHoverFrame(bool on)
{
    hoverFrame_ = on;
    update();
}

CTButtonPicture::State CTButtonPicture::CurrentState() const
{
    if (!isEnabled()) return State::Disabled;
    if (isDown()) return State::Pressed;
    if (mouseOver_) return State::Hover;
    return State::Normal;
}

QPixmap CTButtonPicture::CurrentImage() const
{
    return images_[Index(selected_ ? State::Pressed : CurrentState())];
}

QColor CTButtonPicture::CurrentTextColor() const
{
    if (selected_) return pressedTextColor_;
    switch (CurrentState()) {
        case State::Normal:
            return textColor_;
        case State::Hover:
        case State::Pressed:
            return pressedTextColor_;
        case State::Disabled:
            return disabledTextColor_;
    }
    return textColor_;
}

QPoint CTButtonPicture::PlaceText(int placement, int offset, QSize button, QSize text)
{
    const int w = button.width();
    const int h = button.height();
    const int tw = text.width();
    const int th = text.height();
    QPoint at;
    switch (placement) {
        case kTextLeft:
            at = {offset + 2, (h - th) / 2};
            break;
        case kTextRight:
            at = {w - offset - tw - 2, (h - th) / 2};
            break;
        case kTextCenter:
            at = {(w - tw) / 2, (h - th) / 2};
            break;
        case kTextTop:
            at = {0, 0};
            break;
        case kTextCenterTop:
            at = {(w - tw) / 2, 0};
            break;
        case kTextBottom:
            at = {0, h - th};
            break;
        case kTextCenterBottom:
            at = {(w - tw) / 2, h - th};
            break;
        default:
            at = {0, 0};
    }
    return {std::max(0, at.x()), std::max(0, at.y())};
}

QFont CTButtonPicture::CaptionFont() const
{
    return SkinFont(faceName_, selected_ ? kBoldWeight : fontWeight_, fontHeight_);
}

QSize CTButtonPicture::sizeHint() const
{
    const QPixmap& normal = images_[Index(State::Normal)];
    return normal.isNull() ? QPushButton::sizeHint() : normal.size();
}

void CTButtonPicture::paintEvent(QPaintEvent* /*event*/)
{
    // Nothing is filled first: where the image is transparent or missing the parent shows.
    QPainter painter(this);
    const QPixmap image = CurrentImage();
    if (!image.isNull()) {
        if (image.width() > width() || image.height() > height()) {
            painter.drawPixmap(rect(), image);
        } else {
            painter.drawPixmap(0, 0, image);
        }
    }
    if (!selected_ && hoverFrame_ && CurrentState() == State::Hover) {
        painter.setPen(QPen(pressedTextColor_, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }

    const QString caption = text();
    if (caption.isEmpty()) return;
    const QFont font = CaptionFont();
    painter.setFont(font);
    painter.setPen(CurrentTextColor());
    const int flags = Qt::TextShowMnemonic;
    const QSize textSize = QFontMetrics(font).size(flags, caption);
    const QPoint at = PlaceText(placement_, textOffset_, size(), textSize);
    painter.drawText(QRect(at, textSize), flags | HorizontalAlignment(placement_) | Qt::AlignTop, caption);

    if (firstPaint_) {
        firstPaint_ = false;
        update();
    }
}

void CTButtonPicture::mouseMoveEvent(QMouseEvent* event)
{
    BeginHover();
    QPushButton::mouseMoveEvent(event);
}

void CTButtonPicture::enterEvent(QEnterEvent* event)
{
    BeginHover();
    QPushButton::enterEvent(event);
}

void CTButtonPicture::BeginHover()
{
    if (!isEnabled() || mouseOver_) return;
    mouseOver_ = true;
    update();
    hoverTimer_.start();
}

void CTButtonPicture::PollHover()
{
    const bool inside = isVisible() && rect().contains(mapFromGlobal(QCursor::pos()));
    if (!inside) EndHover();
}

void CTButtonPicture::EndHover()
{
    hoverTimer_.stop();
    if (!mouseOver_) return;
    mouseOver_ = false;
    update();
}

void CTButtonPicture::leaveEvent(QEvent* event)
{
    // Where the window system reports no cursor position outside our windows (Wayland), the
    // poll alone could keep a hover that the leave ends.
    EndHover();
    QPushButton::leaveEvent(event);
}

void CTButtonPicture::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange) update();
    QPushButton::changeEvent(event);
}

}  // namespace pontiq
