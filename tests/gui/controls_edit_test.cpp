#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

#include "app/controls/ct_edit.h"

namespace pontiq {
namespace {

void Press(QWidget* target, int key, Qt::KeyboardModifiers modifiers, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QCoreApplication::sendEvent(target, &release);
}

// Types each character as the keyboard would deliver it.
void Type(QWidget* target, const QString& text)
{
    for (QChar c : text) {
        const int key = c.isLetter() ? Qt::Key_A + (c.toUpper().unicode() - 'A') : c.unicode();
        Press(target, key, c.isUpper() ? Qt::ShiftModifier : Qt::NoModifier, QString(c));
    }
}

void Control(QWidget* target, char letter)
{
    Press(target, Qt::Key_A + (letter - 'A'), Qt::ControlModifier, QString(QChar(letter - 'A' + 1)));
}

void Backspace(QWidget* target)
{
    Press(target, Qt::Key_Backspace, Qt::NoModifier, QString(QChar(8)));
}

class SearchBox : public testing::Test {
protected:
    void SetUp() override
    {
        parent.resize(300, 60);
        edit = new CTEdit(1010, &parent);
        edit->setGeometry(20, 20, 200, 22);
        parent.show();
        edit->setFocus();
        QApplication::clipboard()->setText("12ab");
    }

    QWidget parent;
    CTEdit* edit = nullptr;
};

TEST_F(SearchBox, ModesLetOnlyTheirCharactersThrough)
{
    struct Case {
        int mode;
        const char* forbidden;
        const char* typed;
        const char* kept;
    };
    const Case cases[] = {
        {CTEdit::kAnyText, "", "aZ 9-_.:", "aZ 9-_.:"},
        {CTEdit::kDigits, "", "a1b2 3.Z9", "1239"},
        {CTEdit::kLetters, "", "a1b2 3.Z9", "abZ"},
        {CTEdit::kLettersAndDigits, "", "a1b2 3.Z9:", "a1b23Z9"},
        {CTEdit::kAnyText, ":-", "00:1a-ff", "001aff"},
        {CTEdit::kLettersAndDigits, "f", "00:1a-ff", "001a"},
        {7, "", "a1.", "a1."},  // an unknown mode lets everything pass
    };
    for (const Case& c : cases) {
        edit->clear();
        edit->SetInputMode(c.mode);
        edit->SetForbiddenCharacters(c.forbidden);
        Type(edit, c.typed);
        EXPECT_EQ(edit->text().toStdString(), c.kept) << "mode " << c.mode << ", typed " << c.typed;
    }
}

TEST_F(SearchBox, RestrictedModeKeepsTheEditingKeys)
{
    edit->SetInputMode(CTEdit::kDigits);
    Type(edit, "123");
    Backspace(edit);
    EXPECT_EQ(edit->text(), "12");
    Control(edit, 'A');  // select all is no editing key of a restricted box
    Control(edit, 'V');  // paste: the letters of the clipboard text stay out
    EXPECT_EQ(edit->text(), "1212");
    Control(edit, 'Z');  // undo
    EXPECT_EQ(edit->text(), "12");
}

TEST_F(SearchBox, DigitsWithClipboardBlockAcceptOnlyDigitsAndBackspace)
{
    edit->SetInputMode(CTEdit::kDigits);
    edit->SetClipboardBlock(true);
    Type(edit, "9a8");
    Control(edit, 'V');
    Press(edit, Qt::Key_Insert, Qt::ShiftModifier, QString());  // the other paste key
    EXPECT_EQ(edit->text(), "98");
    Backspace(edit);
    EXPECT_EQ(edit->text(), "9");
    Type(edit, "77");
    Control(edit, 'Z');
    EXPECT_EQ(edit->text(), "977") << "undo is refused";

    edit->selectAll();
    QApplication::clipboard()->setText("unchanged");
    Control(edit, 'C');
    Control(edit, 'X');
    EXPECT_EQ(QApplication::clipboard()->text(), "unchanged");
    EXPECT_EQ(edit->text(), "977");
}

TEST_F(SearchBox, ClipboardBlockStopsTheMouseRoutesToo)
{
    edit->SetClipboardBlock(true);
    EXPECT_FALSE(edit->acceptDrops());
    if (QApplication::clipboard()->supportsSelection()) {
        QApplication::clipboard()->setText("pasted", QClipboard::Selection);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), edit->mapToGlobal(QPointF(5, 5)),
                          Qt::MiddleButton, Qt::MiddleButton, Qt::NoModifier);
        QCoreApplication::sendEvent(edit, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), edit->mapToGlobal(QPointF(5, 5)),
                            Qt::MiddleButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(edit, &release);
        EXPECT_TRUE(edit->text().isEmpty());
    }

    // Should a menu open after all, close it so the test fails instead of waiting.
    bool menuOpened = false;
    QTimer::singleShot(200, [&menuOpened] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            menuOpened = true;
            popup->close();
        }
    });
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5), edit->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(edit, &menu);
    EXPECT_FALSE(menuOpened);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    edit->SetClipboardBlock(false);
    EXPECT_TRUE(edit->acceptDrops());
}

TEST_F(SearchBox, PastedTextObeysTheModeWithoutTheBlock)
{
    edit->SetInputMode(CTEdit::kLetters);
    edit->SetForbiddenCharacters("b");
    edit->paste();
    EXPECT_EQ(edit->text(), "a");
    edit->insert("xy1z");
    EXPECT_EQ(edit->text(), "axyz");
    EXPECT_EQ(edit->cursorPosition(), 4);
}

TEST_F(SearchBox, DrawsItsLinesBelowAndAboveWithoutBorder)
{
    EXPECT_FALSE(edit->hasFrame());
    const QImage own = edit->grab().toImage();
    EXPECT_EQ(own.pixelColor(100, own.height() - 1), CTEdit::kLineColor);

    const QImage around = parent.grab().toImage();
    EXPECT_EQ(around.pixelColor(100, 20 - 5), CTEdit::kLineColor);
    EXPECT_NE(around.pixelColor(100, 20 - 4), CTEdit::kLineColor);
    around.save("/tmp/controls_edit.png");

    // The line above follows the box.
    edit->move(40, 30);
    EXPECT_EQ(parent.grab().toImage().pixelColor(120, 25), CTEdit::kLineColor);
    edit->hide();
    EXPECT_NE(parent.grab().toImage().pixelColor(120, 25), CTEdit::kLineColor);
}

}  // namespace
}  // namespace pontiq
