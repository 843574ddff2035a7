// Skinned label: the system label with its own text colour and font, on a transparent
// background or on its background colour.
#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

namespace pontiq {

class CTStatic : public QLabel {
    Q_OBJECT

public:
    explicit CTStatic(QWidget* parent = nullptr);
    // With the layout's control id (property "controlId").
    CTStatic(int controlId, QWidget* parent);

    // Recreates the font from face, weight (0..1000) and height (device units).
    void SetSkin(const QString& face, const QColor& textColor, const QColor& backgroundColor, int weight,
                 int height);
    void SetTextColor(const QColor& color);
    void SetBackgroundColor(const QColor& color);
    void SetTransparent(bool on);  // on: the parent shows through; off: the background colour
    void SetText(const QString& text) { setText(text); }

    QColor TextColor() const { return textColor_; }
    QColor BackgroundColor() const { return backgroundColor_; }
    bool IsTransparent() const { return transparent_; }
    QString FaceName() const { return faceName_; }
    int FontWeight() const { return fontWeight_; }
    int FontHeight() const { return fontHeight_; }

private:
    void ApplyLook();

    QColor textColor_{0, 0, 0};
    QColor backgroundColor_{255, 255, 255};
    bool transparent_ = true;
    int fontHeight_ = 16;
    int fontWeight_ = 0;
    QString faceName_ = QStringLiteral("Arial");
};

}  // namespace pontiq
