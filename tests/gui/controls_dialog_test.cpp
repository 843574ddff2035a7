#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <vector>

#include "app/application_app.h"
#include "app/controls/ct_button_picture.h"
#include "app/controls/ct_dialog.h"
#include "app/controls/message_box.h"
#include "app/controls/skin_style.h"

namespace pontiq {
namespace {

class CountingDialog : public CTDialog {
public:
    using CTDialog::CTDialog;
    int enters = 0;
    int escapes = 0;

protected:
    void OnEnterKey() override { ++enters; }
    void OnEscapeKey() override { ++escapes; }
};

void Key(QWidget* target, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
}

TEST(SkinnedDialog, EnterAndEscNeitherCloseNorPressButtons)
{
    CountingDialog dialog;
    auto* plain = new QPushButton("OK", &dialog);  // a default button Qt would press on Enter
    plain->setDefault(true);
    auto* skinned = new CTButtonPicture(1000, &dialog);
    auto* edit = new QLineEdit(&dialog);
    int clicks = 0;
    QObject::connect(plain, &QPushButton::clicked, [&clicks] { ++clicks; });
    QObject::connect(skinned, &QPushButton::clicked, [&clicks] { ++clicks; });
    bool finished = false;
    QObject::connect(&dialog, &QDialog::finished, [&finished] { finished = true; });
    dialog.show();

    for (QWidget* target : std::vector<QWidget*>{&dialog, skinned, edit}) {
        target->setFocus();
        Key(target, Qt::Key_Return);
        Key(target, Qt::Key_Enter);
        Key(target, Qt::Key_Escape);
    }
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(finished);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(dialog.enters, 6);
    EXPECT_EQ(dialog.escapes, 3);
}

TEST(SkinnedDialog, PaintsImageOrFillAndTheLines)
{
    CTDialog dialog;
    dialog.resize(100, 80);
    QImage plain = dialog.grab().toImage();
    const QColor untouched = plain.pixelColor(50, 50);  // the style's window colour

    dialog.SetFillColor(QColor(242, 242, 242));
    dialog.AddLine({0, 40, 99, 40});
    QImage shot = dialog.grab().toImage();
    EXPECT_EQ(shot.pixelColor(50, 10), QColor(242, 242, 242));
    EXPECT_EQ(shot.pixelColor(50, 40), QColor(218, 218, 218));
    dialog.SetFillEnabled(false);
    EXPECT_EQ(dialog.grab().toImage().pixelColor(50, 10), untouched);
    dialog.SetFillEnabled(true);

    // An image wins over the fill and is stretched to the client area.
    QPixmap image(10, 10);
    image.fill(QColor(0, 0, 200));
    QTemporaryDir dir;
    ASSERT_TRUE(image.save(dir.filePath("main_bk.png")));
    dialog.SetBackgroundImage(dir.filePath("main_bk.png"));
    dialog.SetBackgroundImage(QString());                    // keeps the image
    dialog.SetBackgroundImage(dir.filePath("missing.jpg"));  // keeps the image
    shot = dialog.grab().toImage();
    EXPECT_EQ(shot.pixelColor(99, 79), QColor(0, 0, 200));
    EXPECT_EQ(shot.pixelColor(50, 40), QColor(218, 218, 218)) << "lines are drawn over the image";
}

TEST(SkinnedDialog, RoundedOutlineFollowsOnThePaintAfterTheFirst)
{
    CTDialog dialog;
    dialog.SetFrameless();
    dialog.resize(120, 90);
    dialog.SetCornerRadius(10);
    dialog.SetTranslucency(100);
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::FramelessWindowHint));
    dialog.show();
    for (int i = 0; i < 5 && !dialog.OutlineApplied(); ++i) {
        dialog.repaint();
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(dialog.OutlineApplied());
    const QRegion mask = dialog.mask();
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));
    EXPECT_TRUE(mask.contains(QPoint(60, 45)));
    EXPECT_TRUE(mask.contains(QPoint(60, 0)));
    EXPECT_DOUBLE_EQ(dialog.windowOpacity(), 200 / 255.0);
}

TEST(SkinnedDialog, APageAskedAsWidgetStaysAChildAndAPopupIsAWindow)
{
    QWidget host;
    host.resize(200, 200);
    const CTDialog page(&host, Qt::Widget);
    EXPECT_FALSE(page.isWindow()) << "QDialog would have made it a window of its own";
    EXPECT_EQ(page.parentWidget(), &host);
    const CTDialog popup(&host);
    EXPECT_TRUE(popup.isWindow());
    EXPECT_EQ(popup.windowType(), Qt::Dialog);
}

TEST(SkinnedDialog, NoOutlineOrTranslucencyByDefault)
{
    CTDialog dialog;
    dialog.resize(50, 50);
    dialog.show();
    dialog.repaint();
    dialog.repaint();
    QCoreApplication::processEvents();
    EXPECT_FALSE(dialog.OutlineApplied());
    EXPECT_TRUE(dialog.mask().isEmpty());
    EXPECT_DOUBLE_EQ(dialog.windowOpacity(), 1.0);
}

void Mouse(QWidget* target, QEvent::Type type, QPoint local, Qt::MouseButtons held)
{
    QMouseEvent event(type, local, target->mapToGlobal(local),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

TEST(SkinnedDialog, DraggingByTheBackgroundMovesTheWindow)
{
    QWidget parent;
    parent.resize(400, 300);
    auto* page = new CTDialog(&parent, Qt::Widget);
    page->setGeometry(50, 40, 100, 80);
    parent.show();

    Mouse(page, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton);
    Mouse(page, QEvent::MouseMove, {30, 25}, Qt::LeftButton);
    Mouse(page, QEvent::MouseButtonRelease, {30, 25}, Qt::NoButton);
    EXPECT_EQ(page->pos(), QPoint(50, 40)) << "no drag unless switched on";

    page->EnableDrag();
    Mouse(page, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton);
    Mouse(page, QEvent::MouseMove, {30, 25}, Qt::LeftButton);
    EXPECT_EQ(page->pos(), QPoint(70, 55));
    Mouse(page, QEvent::MouseButtonRelease, {30, 25}, Qt::NoButton);
    Mouse(page, QEvent::MouseMove, {60, 60}, Qt::NoButton);
    EXPECT_EQ(page->pos(), QPoint(70, 55)) << "the release ends the drag";
}

class MessageBoxes : public testing::Test {
protected:
    void SetUp() override
    {
        previous = SetMessagePresenter([this](const MessageRequest& request) {
            shown.push_back(request);
            return answer;
        });
    }
    void TearDown() override { SetMessagePresenter(previous); }

    MessagePresenter previous;
    std::vector<MessageRequest> shown;
    MessageResult answer = MessageResult::Ok;
};

TEST_F(MessageBoxes, CaptionRuleIconAndButtons)
{
    QWidget owner;
    EXPECT_EQ(ShowMessage(&owner, "Please select the devices!"), MessageResult::Ok);
    answer = MessageResult::Cancel;
    EXPECT_EQ(ShowMessage(nullptr, "Are you sure you want to restart?", MessageCaption::Empty,
                          MessageIcon::Question, MessageButtons::OkCancel),
              MessageResult::Cancel);
    ShowMessage(&owner, "Upgrade file is not .bin file!", MessageCaption::ApplicationName);

    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].owner, &owner);
    EXPECT_EQ(shown[0].text, "Please select the devices!");
    EXPECT_TRUE(shown[0].caption.isEmpty());
    EXPECT_EQ(shown[0].icon, MessageIcon::Warning);
    EXPECT_EQ(shown[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(shown[1].icon, MessageIcon::Question);
    EXPECT_EQ(shown[1].buttons, MessageButtons::OkCancel);
    // The executable's file name without directory and extension.
    EXPECT_EQ(shown[2].caption, QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
    EXPECT_FALSE(shown[2].caption.isEmpty());
}

// The real box, as the program shows it: the skin's fonts and background, the same text, icon
// and buttons.
TEST(MessageBoxSkin, TheBoxTakesTheSkinsFontsAndColoursAndKeepsTextIconAndButtons)
{
    const SkinSettings& skin = CurrentSettings().skin;
    const QFont textFont = SkinFont(ToQString(skin.fontName), skin.staticFontWeight, skin.staticFontHeight);
    const QFont buttonFont = SkinFont(ToQString(skin.fontName), skin.buttonFontWeight, skin.buttonFontHeight);
    MessageRequest request;
    request.text = QStringLiteral("Are you sure you want to restart?");
    request.icon = MessageIcon::Question;
    request.buttons = MessageButtons::OkCancel;
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = true;
        EXPECT_EQ(box->text(), request.text);
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        EXPECT_TRUE(box->windowTitle().isEmpty());
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok | QMessageBox::Cancel);
        const QLabel* text = nullptr;
        for (const QLabel* label : box->findChildren<QLabel*>()) {
            if (label->text() == request.text) text = label;
        }
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text->font().family(), textFont.family());
        EXPECT_EQ(text->font().pixelSize(), textFont.pixelSize());
        for (QAbstractButton* b : box->buttons()) EXPECT_EQ(b->font().pixelSize(), buttonFont.pixelSize());
        EXPECT_EQ(box->grab().toImage().pixelColor(3, 3), ToQColor(skin.childBkColor));
        box->button(QMessageBox::Cancel)->click();
    });
    EXPECT_EQ(PresentMessageBox(request), MessageResult::Cancel);
    EXPECT_TRUE(seen);
}

}  // namespace
}  // namespace pontiq
