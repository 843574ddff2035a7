// Page-number strip of a list page: up to seven slots with page numbers and gap marks. A click
// on another page than the current one makes it the current page and emits PageChanged.
#pragma once

#include <QColor>
#include <QRect>
#include <QWidget>
#include <array>
#include <vector>

namespace pontiq {

// The pager's page-change message: first parameter the page id of the list page, second the
// chosen page number.
inline constexpr int kPageChangeMessage = 2023;

class CTMultiPages : public QWidget {
    Q_OBJECT

public:
    enum class Alignment { Center, Right, Left };

    static constexpr int kMaxSlots = 7;
    static constexpr int kGapMark = 0;  // slot value of "..."
    static constexpr int kSlotHeight = 24;
    static constexpr int kSlotSpacing = 3;
    static constexpr int kMinSlotWidth = 32;
    static constexpr int kLeftMargin = 2;
    static constexpr QColor kFrameColor{136, 136, 136};
    static constexpr QColor kHoverColor{187, 187, 187};

    explicit CTMultiPages(QWidget* parent = nullptr);
    // With the layout's control id (property "controlId").
    CTMultiPages(int controlId, QWidget* parent);

    // Current page 1, no page count, no hovered or pressed slot, no slots; repaints. pageId is
    // what PageChanged carries as its first argument.
    void Reset(int pageId);
    void SetPageCount(int count);
    void SetCurrentPage(int page);
    int PageCount() const { return pageCount_; }
    int CurrentPage() const { return currentPage_; }
    int PageId() const { return pageId_; }

    void SetAlignment(Alignment alignment);
    void SetFrame(bool on);
    void SetBackgroundColor(const QColor& color);
    QColor BackgroundColor() const { return background_; }

    // The slot values (page numbers, kGapMark for "...") and their rectangles.
    const std::vector<int>& SlotValues() const { return slots_; }
    const std::vector<QRect>& SlotRects() const { return rects_; }
    int HoveredSlot() const { return hovered_; }  // -1: none
    // Slot index at pos, or -1.
    int SlotAt(QPoint pos) const;

    // The slot values for count pages with page current shown.
    static std::vector<int> ComputeSlots(int count, int current);

signals:
    // A click chose page; the notification of kPageChangeMessage.
    void PageChanged(int pageId, int page);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool IsClickable(int slot) const;
    void Rebuild();
    void Layout();
    void SetHovered(int slot);

    int pageId_ = 0;
    int currentPage_ = 1;
    int pageCount_ = 0;
    std::vector<int> slots_;
    std::vector<QRect> rects_;
    int hovered_ = -1;
    int pressed_ = -1;
    Alignment alignment_ = Alignment::Center;
    bool frame_ = false;
    QColor background_{240, 240, 240};
};

}  // namespace pontiq
