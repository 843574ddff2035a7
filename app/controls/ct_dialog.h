// Skinned dialog: the base of every window and page. It paints a stretched background image or a
// fill colour with a list of lines over it, can give a top-level window a rounded outline and
// translucency, can be dragged by its background, and swallows Enter and Esc so that no skinned
// window closes or presses a default button on them.
//
// Pages are child widgets: construct them with Qt::Widget as the flags (kept as given, unlike
// QDialog, which would make them windows). Top-level popups call
// SetFrameless() before they are shown.
#pragma once

#include <QColor>
#include <QDialog>
#include <QPixmap>
#include <QPoint>
#include <QString>
#include <cstdint>
#include <vector>

namespace pontiq {

struct line_point {
    int32_t x1 = 0;
    int32_t y1 = 0;
    int32_t x2 = 0;
    int32_t y2 = 0;
    friend bool operator==(const line_point&, const line_point&) = default;
};

class CTDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kOpaque = 255;
    static constexpr int kTranslucentOpacity = 200;  // of 255, whatever translucency was asked

    explicit CTDialog(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::Dialog);
    ~CTDialog() override;

    // Decodes the image file; an empty path, a missing or undecodable file keep the current
    // image. Repaints.
    void SetBackgroundImage(const QString& path);
    void SetBackgroundImage(const QPixmap& image);
    void ClearBackgroundImage();
    bool HasBackgroundImage() const { return !background_.isNull(); }

    // Sets the fill colour and switches the fill on; it shows where no image is set.
    void SetFillColor(const QColor& color);
    void SetFillEnabled(bool on);
    bool FillEnabled() const { return fill_; }
    QColor FillColor() const { return fillColor_; }

    void SetLines(std::vector<line_point> lines);
    void AddLine(const line_point& line);
    void ClearLines();
    const std::vector<line_point>& Lines() const { return lines_; }
    void SetLineColor(const QColor& color);
    void SetLineWidth(int width);
    QColor LineColor() const { return lineColor_; }
    int LineWidth() const { return lineWidth_; }

    // Radius above 0: the window gets a rounded outline on its second paint.
    void SetCornerRadius(int radius);
    int CornerRadius() const { return cornerRadius_; }
    // Anything other than 255 makes the window translucent (opacity 200 of 255) once its
    // outline is applied.
    void SetTranslucency(int alpha);
    int Translucency() const { return translucency_; }
    bool OutlineApplied() const { return outlineApplied_; }

    // Pressing the left button on the background moves the window as a caption drag would.
    void EnableDrag(bool on = true);
    bool DragEnabled() const { return drag_; }

    // A top-level window without a title bar and system frame.
    void SetFrameless(bool on = true);

protected:
    // Hooks for the swallowed keys; the default does nothing.
    virtual void OnEnterKey() {}
    virtual void OnEscapeKey() {}

    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ApplyOutline();

    QPixmap background_;
    bool fill_ = false;
    QColor fillColor_{255, 255, 255};
    std::vector<line_point> lines_;
    QColor lineColor_{218, 218, 218};
    int lineWidth_ = 1;
    int cornerRadius_ = 0;
    int translucency_ = kOpaque;
    bool outlinePending_ = false;
    bool outlineApplied_ = false;
    bool drag_ = false;
    bool dragging_ = false;
    QPoint dragOffset_;  // press position relative to the moved window's top-left corner
};

}  // namespace pontiq
