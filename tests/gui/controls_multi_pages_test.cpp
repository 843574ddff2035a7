#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QStringList>
#include <utility>
#include <vector>

#include "app/controls/ct_multi_pages.h"

namespace pontiq {
namespace {

QStringList SlotTexts(const std::vector<int>& values)
{
    QStringList texts;
    for (int value : values)
        texts << (value == CTMultiPages::kGapMark ? QString("...") : QString::number(value));
    return texts;
}

struct SlotCase {
    int count;
    int current;
    const char* shown;
};

TEST(MultiPagesSlots, FollowTheCurrentPage)
{
    const SlotCase cases[] = {
        {12, 3, "1,2,3,4,5,...,12"},
        {12, 6, "1,...,5,6,7,...,12"},
        {12, 10, "1,...,8,9,10,11,12"},
        {12, 4, "1,2,3,4,5,...,12"},    // last page of the head block
        {12, 5, "1,...,4,5,6,...,12"},  // first page of the middle block
        {12, 8, "1,...,7,8,9,...,12"},  // last page of the middle block (8 < 12 - 3)
        {12, 9, "1,...,8,9,10,11,12"},  // first page of the tail block
        {12, 12, "1,...,8,9,10,11,12"},
        {8, 5, "1,...,4,5,6,7,8"},  // c = n - 3 belongs to the tail
        {3, 1, "1,2,3"},
        {3, 3, "1,2,3"},
        {7, 7, "1,2,3,4,5,6,7"},
        {1, 1, "1"},
        {0, 1, ""},
        {-4, 1, ""},
    };
    for (const SlotCase& c : cases) {
        const QString shown = SlotTexts(CTMultiPages::ComputeSlots(c.count, c.current)).join(',');
        EXPECT_EQ(shown.toStdString(), c.shown) << c.count << " pages, current " << c.current;
    }
}

TEST(MultiPagesSlots, CurrentPageOutOfRangeStillGivesSevenSlots)
{
    for (int current : {-5, 0, 13, 1000}) {
        EXPECT_EQ(CTMultiPages::ComputeSlots(12, current).size(), 7u) << current;
    }
}

class MultiPagesStrip : public testing::Test {
protected:
    void SetUp() override
    {
        strip.resize(400, 30);
        strip.show();  // a hidden widget gets its resize events only when shown
        strip.Reset(134);
        strip.SetPageCount(12);
        strip.SetCurrentPage(6);
        QObject::connect(&strip, &CTMultiPages::PageChanged, &strip,
                         [this](int pageId, int page) { sent.emplace_back(pageId, page); });
    }

    // Index of the slot that shows text.
    int SlotOf(const QString& text) const
    {
        const QStringList texts = SlotTexts(strip.SlotValues());
        return static_cast<int>(texts.indexOf(text));
    }

    void Send(QEvent::Type type, QPoint at)
    {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, strip.mapToGlobal(at),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
        QCoreApplication::sendEvent(&strip, &event);
    }

    void Click(QPoint press, QPoint release)
    {
        Send(QEvent::MouseButtonPress, press);
        Send(QEvent::MouseButtonRelease, release);
    }

    QPoint CentreOf(const QString& text) const { return strip.SlotRects().at(SlotOf(text)).center(); }

    CTMultiPages strip;
    std::vector<std::pair<int, int>> sent;  // every PageChanged as (page id, page)
};

TEST_F(MultiPagesStrip, ClickOnAnotherPageMovesThereAndNotifies)
{
    Click(CentreOf("7"), CentreOf("7"));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], std::make_pair(134, 7));
    EXPECT_EQ(strip.CurrentPage(), 7);
    EXPECT_EQ(SlotTexts(strip.SlotValues()).join(','), "1,...,6,7,8,...,12");

    Click(CentreOf("12"), CentreOf("12"));
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1], std::make_pair(134, 12));
    EXPECT_EQ(SlotTexts(strip.SlotValues()).join(','), "1,...,8,9,10,11,12");
}

TEST_F(MultiPagesStrip, ClicksThatChooseNothingSendNothing)
{
    Click(CentreOf("6"), CentreOf("6"));  // the current page
    const int gap = SlotOf("...");
    Click(strip.SlotRects().at(gap).center(), strip.SlotRects().at(gap).center());
    Click(CentreOf("5"), CentreOf("7"));  // released over another slot
    Click(QPoint(1, 1), QPoint(1, 1));    // between the edge and the first slot
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(strip.CurrentPage(), 6);
}

TEST_F(MultiPagesStrip, HoverHighlightsOnlyOtherPages)
{
    Send(QEvent::MouseMove, CentreOf("5"));
    EXPECT_EQ(strip.HoveredSlot(), SlotOf("5"));
    Send(QEvent::MouseMove, CentreOf("6"));
    EXPECT_EQ(strip.HoveredSlot(), -1);
    Send(QEvent::MouseMove, strip.SlotRects().at(SlotOf("...")).center());
    EXPECT_EQ(strip.HoveredSlot(), -1);
    Send(QEvent::MouseMove, CentreOf("12"));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&strip, &leave);
    EXPECT_EQ(strip.HoveredSlot(), -1);
}

TEST_F(MultiPagesStrip, SlotsAreLaidOutInARowAndCentred)
{
    const std::vector<QRect>& rects = strip.SlotRects();
    ASSERT_EQ(rects.size(), 7u);
    for (size_t i = 0; i < rects.size(); ++i) {
        EXPECT_EQ(rects[i].height(), 24);
        EXPECT_EQ(rects[i].top(), 3);  // (30 - 24) / 2
        EXPECT_GE(rects[i].width(), 32);
        if (i > 0) {
            EXPECT_EQ(rects[i].left(), rects[i - 1].right() + 1 + 3);
        }
    }
    const int total = rects.back().right() + 1 - rects.front().left();
    EXPECT_EQ(rects.front().left(), (400 - total) / 2);

    strip.SetAlignment(CTMultiPages::Alignment::Left);
    EXPECT_EQ(strip.SlotRects().front().left(), 2);
    strip.SetAlignment(CTMultiPages::Alignment::Right);
    EXPECT_EQ(strip.SlotRects().back().right() + 1, 400);

    strip.resize(400, 20);  // lower than a slot: the row starts at the top
    EXPECT_EQ(strip.SlotRects().front().top(), 0);
}

TEST_F(MultiPagesStrip, ResetForgetsPagesUntilTheyAreSetAgain)
{
    strip.Reset(135);
    EXPECT_EQ(strip.CurrentPage(), 1);
    EXPECT_EQ(strip.PageCount(), 0);
    EXPECT_TRUE(strip.SlotValues().empty());
    EXPECT_EQ(strip.PageId(), 135);

    Click(QPoint(200, 15), QPoint(200, 15));
    EXPECT_TRUE(sent.empty());
}

TEST(MultiPagesPaint, DrawsTheStripColoursAndTheCurrentPageWithoutFrame)
{
    CTMultiPages strip;
    strip.resize(300, 30);
    strip.SetBackgroundColor(QColor(10, 20, 30));
    strip.Reset(133);
    strip.SetPageCount(3);
    strip.SetCurrentPage(2);
    const QImage image = strip.grab().toImage();
    EXPECT_EQ(image.pixelColor(0, 0), QColor(10, 20, 30));
    const QRect current = strip.SlotRects().at(1);
    const QRect other = strip.SlotRects().at(0);
    EXPECT_EQ(image.pixelColor(current.topLeft()), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(other.topLeft()), CTMultiPages::kFrameColor);
    EXPECT_EQ(image.pixelColor(other.topLeft() + QPoint(1, 1)), QColor(Qt::white));
    image.save("/tmp/controls_multi_pages.png");
}

}  // namespace
}  // namespace pontiq
