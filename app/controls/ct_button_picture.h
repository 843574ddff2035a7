// Picture button: draws one of four images by state (normal, hover, pressed, disabled) and its
// caption over it in the colour of the state. A selected mark (the chosen button of a group)
// shows the pressed image and the pressed text colour in bold. A state without an image draws
// no image, only the caption. Image parts left transparent show the parent's background.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QPoint>
#include <QPushButton>
#include <QSize>
#include <QString>
#include <QTimer>

namespace pontiq {

class CTButtonPicture : public QPushButton {
    Q_OBJECT

public:
    enum class State { Normal, Hover, Pressed, Disabled };

    // Caption placement values (the system's button-style bits).
    static constexpr int kTextLeft = 256;
    static constexpr int kTextRight = 512;
    static constexpr int kTextCenter = 768;
    static constexpr int kTextTop = 1024;
    static constexpr int kTextCenterTop = 1792;
    static constexpr int kTextBottom = 2048;
    static constexpr int kTextCenterBottom = 2816;

    static constexpr int kHoverPollMs = 10;

    explicit CTButtonPicture(QWidget* parent = nullptr);
    // With the layout's control id (property "controlId").
    CTButtonPicture(int controlId, QWidget* parent);

    // Each path whose file decodes replaces that state's image; empty, missing or undecodable
    // files keep the previous one. Repaints.
    void SetImages(const QString& normal, const QString& hover, const QString& pressed,
                   const QString& disabled);
    void SetImage(State state, const QPixmap& image);
    QPixmap Image(State state) const;

    void SetCaption(const QString& caption);  // the button's text()
    QString Caption() const { return text(); }

    // Font face, weight (0..1000), height (device units) and the normal and pressed text
    // colours; the other font and colour fields stay.
    void SetSkin(const QString& face, int weight, int height, const QColor& textColor,
                 const QColor& pressedTextColor);
    void SetTextColor(const QColor& color);
    void SetPressedTextColor(const QColor& color);
    void SetDisabledTextColor(const QColor& color);
    QColor TextColor() const { return textColor_; }
    QColor PressedTextColor() const { return pressedTextColor_; }
    QColor DisabledTextColor() const { return disabledTextColor_; }
    QString FaceName() const { return faceName_; }
    int FontWeight() const { return fontWeight_; }
    int FontHeight() const { return fontHeight_; }

    void SetTextPlacement(int placement, int offset);
    int TextPlacement() const { return placement_; }
    int TextOffset() const { return textOffset_; }

    void SetSelected(bool selected);
    bool IsSelected() const { return selected_; }

    void SetHoverFrame(bool on);

    // The state the next paint shows, the image and text colour it draws and the caption's
    // top-left corner. An image that is null is not drawn.
    State CurrentState() const;
    QPixmap CurrentImage() const;
    QColor CurrentTextColor() const;
    bool MouseOver() const { return mouseOver_; }

    // The caption's top-left corner for a button of size button and a text of size text;
    // negative coordinates are raised to 0.
    static QPoint PlaceText(int placement, int offset, QSize button, QSize text);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    static int Index(State state) { return static_cast<int>(state); }
    void BeginHover();
    void PollHover();
    void EndHover();
    QFont CaptionFont() const;

    QPixmap images_[4];
    bool selected_ = false;
    QColor textColor_{0, 0, 0};
    QColor pressedTextColor_{255, 255, 255};
    QColor disabledTextColor_{153, 153, 153};
    bool mouseOver_ = false;
    QString faceName_ = QStringLiteral("Arial");
    int fontWeight_ = 0;
    int fontHeight_ = 16;
    int placement_ = kTextCenter;
    int textOffset_ = 0;
    bool hoverFrame_ = false;
    bool firstPaint_ = true;
    QTimer hoverTimer_;
};

}  // namespace pontiq
