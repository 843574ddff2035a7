#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "app/controls/button_skin.h"
#include "app/controls/ct_button_picture.h"
#include "app/controls/ct_static.h"
#include "app/controls/skin_style.h"
#include "app/settings.h"

namespace pontiq {
namespace {

using State = CTButtonPicture::State;

QPixmap Solid(QSize size, const QColor& color)
{
    QPixmap pixmap(size);
    pixmap.fill(color);
    return pixmap;
}

// Counts the pixels of image that have exactly the colour.
int CountColour(const QImage& image, const QColor& color)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == color;
    }
    return count;
}

// A button on a parent of a known colour, so that what the button leaves undrawn shows.
class PictureButton : public testing::Test {
protected:
    void SetUp() override
    {
        parent.resize(200, 60);
        parent.setAutoFillBackground(true);
        QPalette look = parent.palette();
        look.setColor(QPalette::Window, kParent);
        parent.setPalette(look);
        button = new CTButtonPicture(1004, &parent);
        button->setGeometry(10, 10, 120, 40);
        button->SetImage(State::Normal, Solid(QSize(120, 40), kNormalImage));
        button->SetCaption("Device status");
        button->SetSkin("Arial", 700, 20, kText, kPressedText);
        // Anti-aliasing would blur the text colour; the checks look for exact colours.
        QFont font = button->font();
        font.setStyleStrategy(QFont::NoAntialias);
        button->setFont(font);
    }

    QImage Grab() const { return button->grab().toImage(); }

    void MoveCursor(QPoint global) { QCursor::setPos(global); }
    // One expiry of the hover poll, without waiting for it.
    static void Tick(QTimer* timer) { QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection); }

    static constexpr QColor kParent{0, 128, 255};
    static constexpr QColor kNormalImage{0, 200, 0};
    static constexpr QColor kText{10, 10, 10};
    static constexpr QColor kPressedText{216, 34, 40};
    QWidget parent;
    CTButtonPicture* button = nullptr;
};

TEST_F(PictureButton, OnlyANormalImageLeavesOtherStatesWithTheirTextColoursOnly)
{
    struct Case {
        const char* name;
        std::function<void(CTButtonPicture&)> enter;
        State state;
        QColor text;
        bool image;
    };
    const Case cases[] = {
        {"normal", [](CTButtonPicture&) {}, State::Normal, kText, true},
        {"hover", [](CTButtonPicture& b) { b.setDown(false); }, State::Hover, kPressedText, false},
        {"pressed", [](CTButtonPicture& b) { b.setDown(true); }, State::Pressed, kPressedText, false},
        {"disabled", [](CTButtonPicture& b) { b.setEnabled(false); }, State::Disabled, QColor(153, 153, 153),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        button->setEnabled(true);
        button->setDown(false);
        if (c.state == State::Hover) {
            parent.show();
            MoveCursor(button->mapToGlobal(QPoint(5, 5)));
            QEnterEvent event(QPointF(5, 5), QPointF(5, 5), button->mapToGlobal(QPointF(5, 5)));
            QCoreApplication::sendEvent(button, &event);
        }
        c.enter(*button);
        EXPECT_EQ(button->CurrentState(), c.state);
        EXPECT_EQ(button->CurrentTextColor(), c.text);
        EXPECT_EQ(button->CurrentImage().isNull(), !c.image);

        const QImage image = Grab();
        EXPECT_GT(CountColour(image, c.text), 0) << "caption drawn in its colour";
        EXPECT_EQ(CountColour(image, kNormalImage) > 0, c.image) << "normal image only when normal";
        if (c.state == State::Hover) {
            MoveCursor(QPoint(-100, -100));
            QCoreApplication::processEvents();
        }
    }
}

TEST_F(PictureButton, HoverEndsOnTheFirstTickWithTheCursorOutside)
{
    parent.show();
    MoveCursor(button->mapToGlobal(QPoint(60, 20)));
    QEnterEvent event(QPointF(60, 20), QPointF(60, 20), button->mapToGlobal(QPointF(60, 20)));
    QCoreApplication::sendEvent(button, &event);
    ASSERT_TRUE(button->MouseOver());
    ASSERT_EQ(button->CurrentState(), State::Hover);

    // Still inside: the poll keeps the hover.
    auto* timer = button->findChild<QTimer*>();
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), CTButtonPicture::kHoverPollMs);
    Tick(timer);
    EXPECT_TRUE(button->MouseOver());

    MoveCursor(button->mapToGlobal(QPoint(200, 200)));
    Tick(timer);
    EXPECT_FALSE(button->MouseOver());
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(button->CurrentState(), State::Normal);

    // A leave ends the hover at once, whatever the cursor position reads.
    MoveCursor(button->mapToGlobal(QPoint(60, 20)));
    QCoreApplication::sendEvent(button, &event);
    ASSERT_TRUE(button->MouseOver());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(button, &leave);
    EXPECT_FALSE(button->MouseOver());
    EXPECT_FALSE(timer->isActive());
}

TEST_F(PictureButton, DisabledButtonDoesNotStartHovering)
{
    button->setEnabled(false);
    QEnterEvent event(QPointF(5, 5), QPointF(5, 5), button->mapToGlobal(QPointF(5, 5)));
    QCoreApplication::sendEvent(button, &event);
    EXPECT_FALSE(button->MouseOver());
}

TEST_F(PictureButton, SelectedMarkWinsOverEveryState)
{
    const QColor pressedImage(120, 0, 120);
    button->SetImage(State::Pressed, Solid(QSize(120, 40), pressedImage));
    button->SetSelected(true);
    for (bool enabled : {true, false}) {
        button->setEnabled(enabled);
        EXPECT_EQ(button->CurrentTextColor(), kPressedText) << enabled;
        const QImage image = Grab();
        EXPECT_EQ(image.pixelColor(1, 1), pressedImage) << enabled;
        EXPECT_GT(CountColour(image, kPressedText), 0) << enabled;
    }
}

TEST_F(PictureButton, ImagesArePlacedAtTheCornerOrStretched)
{
    const QColor smallColour(200, 200, 0);
    button->SetImage(State::Normal, Solid(QSize(30, 20), smallColour));
    button->SetCaption(QString());
    QImage image = Grab();
    EXPECT_EQ(image.pixelColor(29, 19), smallColour);
    EXPECT_EQ(image.pixelColor(31, 21), kParent) << "the parent shows where the image ends";

    // Wider than the button, though lower: stretched over the whole button.
    button->SetImage(State::Normal, Solid(QSize(300, 20), smallColour));
    image = Grab();
    EXPECT_EQ(image.pixelColor(119, 39), smallColour);
}

TEST_F(PictureButton, MissingImageFilesKeepThePreviousImages)
{
    QTemporaryDir dir;
    const QString good = dir.filePath("hover.png");
    ASSERT_TRUE(Solid(QSize(4, 4), Qt::red).save(good));
    button->SetImages(dir.filePath("nothing.bmp"), good, QString(), dir.filePath("broken.bmp"));
    EXPECT_EQ(button->Image(State::Normal).toImage().pixelColor(0, 0), kNormalImage);
    EXPECT_EQ(button->Image(State::Hover).size(), QSize(4, 4));
    EXPECT_TRUE(button->Image(State::Pressed).isNull());
    EXPECT_TRUE(button->Image(State::Disabled).isNull());
}

TEST(PictureButtonText, PlacementTable)
{
    struct Case {
        int placement;
        int offset;
        QPoint at;
    };
    // Button 100 x 40, text 30 x 10.
    const Case cases[] = {
        {256, 50, {52, 15}}, {512, 5, {63, 15}},  {768, 30, {35, 15}}, {1024, 9, {0, 0}}, {1792, 0, {35, 0}},
        {2048, 0, {0, 30}},  {2816, 0, {35, 30}}, {0, 9, {0, 0}},      {999, 9, {0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CTButtonPicture::PlaceText(c.placement, c.offset, QSize(100, 40), QSize(30, 10)), c.at)
            << c.placement;
    }
    // Text larger than the button: negative coordinates are raised to 0.
    EXPECT_EQ(CTButtonPicture::PlaceText(768, 0, QSize(20, 8), QSize(30, 10)), QPoint(0, 0));
    EXPECT_EQ(CTButtonPicture::PlaceText(512, 40, QSize(20, 8), QSize(30, 10)), QPoint(0, 0));
}

TEST(PictureButtonText, EnterDoesNotClickTheButton)
{
    CTButtonPicture button;
    EXPECT_FALSE(button.autoDefault());
    EXPECT_FALSE(button.isDefault());
    EXPECT_EQ(button.cursor().shape(), Qt::PointingHandCursor);
}

TEST(SkinOperations, NavigationAndStandardStyles)
{
    SkinSettings skin;
    skin.fontName = "DejaVu Sans";
    skin.buttonMenuFontWeight = 700;
    skin.buttonMenuFontHeight = 18;
    skin.buttonMenuFontColor = {1, 2, 3};
    skin.buttonFontWeight = 400;
    skin.buttonFontHeight = 14;
    skin.buttonFontColor = {4, 5, 6};
    skin.textDownColor = {216, 34, 40};

    CTButtonPicture menu;
    ApplyNavigationButtonSkin(menu, "Device reboot", skin);
    EXPECT_EQ(menu.Caption(), "Device reboot");
    EXPECT_EQ(menu.FaceName(), "DejaVu Sans");
    EXPECT_EQ(menu.FontWeight(), 700);
    EXPECT_EQ(menu.FontHeight(), 18);
    EXPECT_EQ(menu.TextColor(), QColor(1, 2, 3));
    EXPECT_EQ(menu.PressedTextColor(), QColor(216, 34, 40));
    EXPECT_EQ(menu.TextPlacement(), CTButtonPicture::kTextLeft);
    EXPECT_EQ(menu.TextOffset(), 50);

    CTButtonPicture standard;
    ApplyStandardButtonSkin(standard, "Search", skin);
    EXPECT_EQ(standard.FontHeight(), 14);
    EXPECT_EQ(standard.TextColor(), QColor(4, 5, 6));
    EXPECT_EQ(standard.PressedTextColor(), QColor(216, 34, 40));
    EXPECT_EQ(standard.TextPlacement(), CTButtonPicture::kTextCenter);
    EXPECT_EQ(standard.TextOffset(), 0);
    EXPECT_EQ(standard.DisabledTextColor(), QColor(153, 153, 153));
}

TEST(SkinOperations, LabelSkinRecreatesTheFont)
{
    SkinSettings skin;
    skin.fontName = "DejaVu Sans";
    skin.staticFontWeight = 700;
    skin.staticFontHeight = 13;
    skin.staticFontTextColor = {142, 142, 142};
    skin.staticFontBkColor = {250, 250, 250};
    CTStatic label(1024, nullptr);
    EXPECT_EQ(label.font().pixelSize(), SkinFont("Arial", 0, 16).pixelSize());  // the label's own default
    ApplyLabelSkin(label, skin);
    EXPECT_EQ(label.font().pixelSize(), SkinFont("DejaVu Sans", 700, 13).pixelSize());  // a 13-px cell
    EXPECT_EQ(label.font().weight(), QFont::Bold);
    EXPECT_EQ(label.font().family(), "DejaVu Sans");
    EXPECT_EQ(label.TextColor(), QColor(142, 142, 142));
    EXPECT_EQ(label.BackgroundColor(), QColor(250, 250, 250));
    EXPECT_EQ(label.palette().color(QPalette::Active, QPalette::WindowText), QColor(142, 142, 142));
}

TEST(SkinnedLabel, TransparentOrOnItsBackgroundColour)
{
    QWidget parent;
    parent.resize(100, 30);
    parent.setAutoFillBackground(true);
    QPalette look = parent.palette();
    look.setColor(QPalette::Window, QColor(0, 0, 255));
    parent.setPalette(look);
    auto* label = new CTStatic(&parent);
    label->setGeometry(0, 0, 100, 30);
    label->SetBackgroundColor(QColor(255, 255, 0));
    label->SetText("V1.0.0.1");

    EXPECT_TRUE(label->IsTransparent());
    EXPECT_EQ(parent.grab().toImage().pixelColor(99, 29), QColor(0, 0, 255));
    label->SetTransparent(false);
    EXPECT_EQ(parent.grab().toImage().pixelColor(99, 29), QColor(255, 255, 0));
}

TEST(SkinFonts, HeightsAreCellPixelsAndWeightZeroIsTheDefault)
{
    const QFont standard;
    const struct {
        int weight;
        int height;  // > 0: cell height; < 0: character height (the pixel size); 0: default size
        QFont::Weight expected;
    } cases[] = {
        {0, 15, QFont::Normal},
        {700, 16, QFont::Bold},
        {400, -12, QFont::Normal},
        {0, 0, QFont::Normal},
        {5000, 15, static_cast<QFont::Weight>(1000)},
        {-3, 15, QFont::Normal},
    };
    for (const auto& c : cases) {
        const QFont font = SkinFont("Arial", c.weight, c.height);
        if (c.height > 0) {
            // The cell fits the asked height and is not much smaller than it.
            const int cell = QFontMetrics(font).height();
            EXPECT_LE(font.pixelSize(), c.height) << c.height;
            EXPECT_LE(cell, c.height + 1) << c.height;
            EXPECT_GE(cell, c.height - 2) << c.height;
        } else if (c.height < 0) {
            EXPECT_EQ(font.pixelSize(), -c.height);
        } else {
            EXPECT_EQ(font.pixelSize(), standard.pixelSize());
        }
        EXPECT_EQ(font.weight(), c.expected) << c.weight;
        EXPECT_EQ(font.family(), "Arial");
    }
}

}  // namespace
}  // namespace pontiq
