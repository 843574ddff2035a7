// Scrolling picture: shows a picture at its own size with a scroll bar in each direction in
// which it is larger than the visible area; the area outside the picture is grey.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QWidget>

class QScrollBar;

namespace pontiq {

class CScrollBitmapWnd : public QWidget {
    Q_OBJECT

public:
    static constexpr int kScrollBarThickness = 17;
    static constexpr int kLineStep = 5;
    static constexpr QColor kOutsideColor{192, 192, 192};

    explicit CScrollBitmapWnd(QWidget* parent = nullptr);
    // With the layout's control id (property "controlId").
    CScrollBitmapWnd(int controlId, QWidget* parent);

    // Decodes the file and lays out; a missing or undecodable file keeps the current picture.
    bool SetPicture(const QString& path);
    void SetPicture(const QPixmap& picture);

    QSize PictureSize() const { return picture_.size(); }
    // Fit to width: a picture wider than the window is drawn scaled down to the window's width
    // (less the vertical bar), keeping its proportions, so only a vertical bar is ever needed.
    void SetFitWidth(bool fit);
    bool FitWidth() const { return fitWidth_; }
    QSize ShownSize() const;  // the picture as drawn, in pixels of the window
    QPoint ScrollPosition() const;
    void ScrollTo(QPoint position);  // kept within 0 and the maximum
    QSize VisibleSize() const;       // the client area without the shown scroll bars
    QScrollBar* HorizontalBar() const { return horizontal_; }
    QScrollBar* VerticalBar() const { return vertical_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void Layout();

    QPixmap picture_;
    QPixmap shown_;  // picture_, or its scaled copy when fitted to the width
    bool fitWidth_ = false;
    QScrollBar* horizontal_;
    QScrollBar* vertical_;
};

}  // namespace pontiq
