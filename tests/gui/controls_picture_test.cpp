#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "app/controls/ct_picture.h"
#include "app/controls/scroll_bitmap_wnd.h"

namespace pontiq {
namespace {

struct GifFrame {
    int colourIndex;  // the whole frame in one colour of the table
    int delayCs;      // hundredths of a second
};

// A 2 x 2 GIF89a with a four-colour table (red, blue, green, black). The image data is written
// with a clear code before every pixel, so every code keeps the 3-bit width.
QByteArray BuildGif(const std::vector<GifFrame>& frames)
{
    QByteArray gif("GIF89a");
    const char screen[] = {2, 0, 2, 0, char(0x91), 0, 0};
    gif.append(screen, sizeof screen);
    const char table[] = {char(255), 0, 0, 0, 0, char(255), 0, char(255), 0, 0, 0, 0};
    gif.append(table, sizeof table);
    for (const GifFrame& frame : frames) {
        const char control[] = {
            0x21, char(0xF9), 4, 0x04, char(frame.delayCs & 0xFF), char(frame.delayCs >> 8), 0, 0};
        gif.append(control, sizeof control);
        const char descriptor[] = {0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0};
        gif.append(descriptor, sizeof descriptor);
        gif.append(char(2));  // LZW minimum code size
        std::vector<int> codes;
        for (int i = 0; i < 4; ++i) {
            codes.push_back(4);  // clear
            codes.push_back(frame.colourIndex);
        }
        codes.push_back(5);  // end of information
        QByteArray data;
        unsigned bits = 0;
        int used = 0;
        for (int code : codes) {
            bits |= unsigned(code) << used;
            used += 3;
            while (used >= 8) {
                data.append(char(bits & 0xFF));
                bits >>= 8;
                used -= 8;
            }
        }
        if (used > 0) data.append(char(bits & 0xFF));
        gif.append(char(data.size()));
        gif.append(data);
        gif.append(char(0));
    }
    gif.append(char(0x3B));
    return gif;
}

TEST(AnimatedPicture, AnimatedGifShowsEachFrameForItsDelay)
{
    CTPicture picture;
    ASSERT_TRUE(picture.LoadFromData(BuildGif({{0, 5}, {1, 20}, {2, 0}})));
    EXPECT_TRUE(picture.IsGif());
    ASSERT_EQ(picture.FrameCount(), 3);
    EXPECT_EQ(picture.Frames()[0].delayMs, 50);
    EXPECT_EQ(picture.Frames()[1].delayMs, 200);
    EXPECT_EQ(picture.Frames()[2].delayMs, 100) << "a zero delay must not spin";
    EXPECT_FALSE(picture.IsPlaying()) << "loading alone plays nothing";

    picture.resize(2, 2);
    picture.Draw();
    ASSERT_TRUE(picture.IsPlaying());
    const struct {
        int frame;
        int interval;
        QColor colour;
    } expected[] = {{0, 50, Qt::red}, {1, 200, Qt::blue}, {2, 100, Qt::green}, {0, 50, Qt::red}};
    for (const auto& step : expected) {
        EXPECT_EQ(picture.CurrentFrame(), step.frame);
        EXPECT_EQ(picture.CurrentFrameInterval(), step.interval);
        EXPECT_EQ(picture.grab().toImage().pixelColor(1, 1), step.colour) << step.frame;
        picture.StepFrame();
    }
}

TEST(AnimatedPicture, TheTimerDrivesTheFrames)
{
    CTPicture picture;
    ASSERT_TRUE(picture.LoadFromData(BuildGif({{0, 3}, {1, 4}})));
    picture.Draw();
    auto* timer = picture.findChild<QTimer*>();
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isSingleShot());
    EXPECT_EQ(timer->interval(), 30);
    QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection);
    EXPECT_EQ(picture.CurrentFrame(), 1);
    EXPECT_EQ(timer->interval(), 40);
    EXPECT_TRUE(timer->isActive());
}

TEST(AnimatedPicture, SingleFramesAreDrawnOnceAndOtherFormatsDecode)
{
    CTPicture gif;
    ASSERT_TRUE(gif.LoadFromData(BuildGif({{1, 10}})));
    gif.Draw();
    EXPECT_FALSE(gif.IsPlaying());
    EXPECT_EQ(gif.grab().toImage().pixelColor(0, 0), QColor(Qt::blue));

    QImage png(3, 2, QImage::Format_RGB32);
    png.fill(QColor(1, 2, 3));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(png.save(&buffer, "PNG"));
    CTPicture picture;
    ASSERT_TRUE(picture.LoadFromData(bytes));
    EXPECT_FALSE(picture.IsGif());
    EXPECT_EQ(picture.sizeHint(), QSize(3, 2));
    picture.Draw();
    EXPECT_FALSE(picture.IsPlaying());
}

TEST(AnimatedPicture, BadInputLoadsNothing)
{
    QTemporaryDir dir;
    CTPicture picture;
    EXPECT_FALSE(picture.LoadFromFile(dir.filePath("wait_search.gif")));
    EXPECT_FALSE(picture.LoadFromFile(QString()));
    EXPECT_FALSE(picture.LoadFromData(QByteArray("GIF89a\x02\x00", 8)));  // cut off after the signature
    EXPECT_FALSE(picture.LoadFromData(QByteArray("not a picture")));
    EXPECT_FALSE(picture.LoadFromData(QByteArray()));
    QByteArray truncated = BuildGif({{0, 5}, {1, 5}});
    truncated.chop(20);  // the second frame is cut
    EXPECT_TRUE(picture.LoadFromData(truncated));
    EXPECT_EQ(picture.FrameCount(), 1);
    picture.Draw();  // nothing to crash on
    picture.StepFrame();
}

TEST(AnimatedPicture, StopAndReloadEndThePlaying)
{
    CTPicture picture;
    ASSERT_TRUE(picture.LoadFromData(BuildGif({{0, 5}, {1, 5}})));
    picture.Draw();
    picture.Stop();
    EXPECT_FALSE(picture.IsPlaying());
    EXPECT_FALSE(picture.IsLoaded());
    picture.StepFrame();
    EXPECT_EQ(picture.CurrentFrameInterval(), 0);

    ASSERT_TRUE(picture.LoadFromData(BuildGif({{0, 5}, {1, 5}})));
    picture.Draw();
    ASSERT_TRUE(picture.LoadFromData(BuildGif({{2, 7}})));  // a load stops the last animation
    EXPECT_FALSE(picture.IsPlaying());
    EXPECT_EQ(picture.FrameCount(), 1);
}

TEST(AnimatedPicture, LoadsFromAFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("wait_search.gif");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(BuildGif({{0, 8}, {3, 8}}));
    file.close();
    CTPicture picture;
    EXPECT_TRUE(picture.LoadFromFile(path));
    EXPECT_EQ(picture.FrameCount(), 2);
}

class ScrollPicture : public testing::Test {
protected:
    void SetUp() override { wnd.resize(200, 100); }

    void Show(QSize picture)
    {
        QPixmap pixmap(picture);
        pixmap.fill(QColor(0, 90, 0));
        wnd.SetPicture(pixmap);
    }

    bool HasH() const { return wnd.HorizontalBar()->isVisibleTo(&wnd); }
    bool HasV() const { return wnd.VerticalBar()->isVisibleTo(&wnd); }

    CScrollBitmapWnd wnd;
};

TEST_F(ScrollPicture, BarsAppearWhereThePictureIsLarger)
{
    const struct {
        QSize picture;
        bool horizontal;
        bool vertical;
    } cases[] = {
        {{200, 100}, false, false}, {{201, 50}, true, false},
        {{50, 101}, false, true},   {{201, 90}, true, true},  // the horizontal bar leaves 83 rows
        {{190, 101}, true, true},   {{183, 84}, false, false},
        {{183, 101}, false, true},  {{1060, 2000}, true, true},
    };
    for (const auto& c : cases) {
        Show(c.picture);
        EXPECT_EQ(HasH(), c.horizontal) << c.picture.width() << "x" << c.picture.height();
        EXPECT_EQ(HasV(), c.vertical) << c.picture.width() << "x" << c.picture.height();
        const QSize visible = wnd.VisibleSize();
        EXPECT_EQ(wnd.HorizontalBar()->maximum(), std::max(0, c.picture.width() - visible.width()));
        EXPECT_EQ(wnd.VerticalBar()->maximum(), std::max(0, c.picture.height() - visible.height()));
    }
}

TEST_F(ScrollPicture, FittedToTheWidthAWidePictureScrollsOnlyDownwards)
{
    wnd.SetFitWidth(true);
    const struct {
        QSize picture;
        QSize shown;
        bool vertical;
    } cases[] = {
        {{150, 80}, {150, 80}, false},     // not wider: its own size, never enlarged
        {{400, 100}, {200, 50}, false},    // halved
        {{400, 300}, {183, 137}, true},    // 200 wide it would be 150 high: the bar takes 17
        {{1040, 1608}, {183, 282}, true},  // the install-help picture's shape
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.picture.width() << "x" << c.picture.height());
        Show(c.picture);
        EXPECT_EQ(wnd.PictureSize(), c.picture);
        EXPECT_EQ(wnd.ShownSize(), c.shown);
        EXPECT_FALSE(HasH());
        EXPECT_EQ(HasV(), c.vertical);
        EXPECT_EQ(wnd.VerticalBar()->maximum(), std::max(0, c.shown.height() - wnd.VisibleSize().height()));
    }

    // The picture's right edge is drawn inside the window.
    QImage image(400, 100, QImage::Format_RGB32);
    image.fill(QColor(0, 90, 0));
    for (int x = 392; x < 400; ++x) {
        for (int y = 0; y < 100; ++y) image.setPixelColor(x, y, QColor(255, 0, 0));
    }
    wnd.SetPicture(QPixmap::fromImage(image));
    const QImage shot = wnd.grab().toImage();
    EXPECT_GT(shot.pixelColor(198, 25).red(), 200);
    EXPECT_EQ(shot.pixelColor(100, 25), QColor(0, 90, 0));
    EXPECT_EQ(shot.pixelColor(100, 75), CScrollBitmapWnd::kOutsideColor);
}

TEST_F(ScrollPicture, PositionsStayInRangeAndFollowResizes)
{
    Show({400, 300});
    EXPECT_EQ(wnd.HorizontalBar()->singleStep(), 5);
    wnd.ScrollTo({1000, -5});
    EXPECT_EQ(wnd.ScrollPosition(), QPoint(400 - 183, 0));
    wnd.VerticalBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(wnd.ScrollPosition().y(), 5);
    wnd.VerticalBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(wnd.ScrollPosition().y(), 300 - 83);

    wnd.resize(300, 290);  // the window grew: the positions shrink with the maximum
    wnd.show();
    EXPECT_EQ(wnd.ScrollPosition(), QPoint(400 - 283, 300 - 273));
    wnd.resize(500, 400);
    EXPECT_EQ(wnd.ScrollPosition(), QPoint(0, 0));
    EXPECT_FALSE(HasH());
    EXPECT_FALSE(HasV());
}

TEST_F(ScrollPicture, PaintsThePictureAtItsSizeAndGreyAround)
{
    QImage image(60, 40, QImage::Format_RGB32);
    image.fill(QColor(0, 90, 0));
    image.setPixelColor(10, 10, QColor(255, 0, 0));
    wnd.SetPicture(QPixmap::fromImage(image));
    QImage shot = wnd.grab().toImage();
    EXPECT_EQ(shot.pixelColor(10, 10), QColor(255, 0, 0));
    EXPECT_EQ(shot.pixelColor(59, 39), QColor(0, 90, 0));
    EXPECT_EQ(shot.pixelColor(60, 39), CScrollBitmapWnd::kOutsideColor);
    EXPECT_EQ(shot.pixelColor(199, 99), CScrollBitmapWnd::kOutsideColor);

    QImage tall(60, 400, QImage::Format_RGB32);
    tall.fill(QColor(0, 90, 0));
    tall.setPixelColor(10, 20, QColor(255, 0, 0));
    wnd.SetPicture(QPixmap::fromImage(tall));
    wnd.ScrollTo({0, 10});
    shot = wnd.grab().toImage();
    EXPECT_EQ(shot.pixelColor(10, 10), QColor(255, 0, 0));
    shot.save("/tmp/controls_scroll.png");

    QTemporaryDir dir;
    EXPECT_FALSE(wnd.SetPicture(dir.filePath("help_other.jpg")));
    EXPECT_EQ(wnd.PictureSize(), QSize(60, 400)) << "a missing file keeps the picture";
}

}  // namespace
}  // namespace pontiq
