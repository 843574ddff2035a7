#include "app/controls/ct_edit.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QValidator>

#include "app/controls/control_id.h"

namespace pontiq {
namespace {

// Control characters a restricted mode still lets through: copy, backspace, paste, cut, undo.
bool IsEditingControlCharacter(int code)
{
    return code == 3 || code == 8 || code == 22 || code == 24 || code == 26;
}

bool IsClipboardKey(const QKeyEvent* event)
{
    return event->matches(QKeySequence::Copy) || event->matches(QKeySequence::Paste) ||
           event->matches(QKeySequence::Cut) || event->matches(QKeySequence::Undo);
}

}  // namespace

// Text that arrives other than by typing (paste, drop, input methods) obeys the same rules: the
// characters the box would refuse when typed are taken out.
class CTEdit::Filter : public QValidator {
public:
    explicit Filter(CTEdit* edit) : QValidator(edit), edit_(edit) {}

    State validate(QString& input, int& pos) const override
    {
        int newPos = pos;
        for (int i = 0; i < input.size() && i < pos; ++i) {
            if (!edit_->AcceptsCharacter(input[i])) --newPos;
        }
        input = edit_->Kept(input);
        pos = newPos;
        return Acceptable;
    }

private:
    CTEdit* edit_;
};

CTEdit::CTEdit(QWidget* parent) : QLineEdit(parent)
{
    setFrame(false);
    setValidator(new Filter(this));
}

CTEdit::CTEdit(int controlId, QWidget* parent) : CTEdit(parent)
{
    SetControlId(this, controlId);
}

CTEdit::~CTEdit()
{
    delete topLine_.data();
}

void CTEdit::SetInputMode(int mode)
{
    mode_ = (mode >= kAnyText && mode <= kLettersAndDigits) ? mode : kAnyText;
}

void CTEdit::SetForbiddenCharacters(const QString& characters)
{
    forbidden_ = characters;
}

void CTEdit::SetClipboardBlock(bool on)
{
    clipboardBlock_ = on;
    setAcceptDrops(!on);
}

bool CTEdit::AcceptsCharacter(QChar c) const
{
    if (forbidden_.contains(c)) return false;
    const bool digit = c >= u'0' && c <= u'9';
    const bool letter = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
    switch (mode_) {
        case kDigits:
            return digit;
        case kLetters:
            return letter;
        case kLettersAndDigits:
            return digit || letter;
        default:
            return true;
    }
}

QString CTEdit::Kept(const QString& text) const
{
    QString kept;
    kept.reserve(text.size());
    for (QChar c : text) {
        if (AcceptsCharacter(c)) kept.append(c);
    }
    return kept;
}

void CTEdit::keyPressEvent(QKeyEvent* event)
{
    if (clipboardBlock_ && IsClipboardKey(event)) {
        event->accept();
        return;
    }
    // Ctrl with a letter types a control character; restricted modes keep only the editing ones.
    const int key = event->key();
    if (mode_ != kAnyText && (event->modifiers() & Qt::ControlModifier) && key >= Qt::Key_A &&
        key <= Qt::Key_Z && !IsEditingControlCharacter(key - Qt::Key_A + 1)) {
        event->accept();
        return;
    }
    // Pasting the kept characters only, rather than leaving it to the filter, keeps the undo
    // history, which a text rewritten by a validator loses.
    if (event->matches(QKeySequence::Paste) && !isReadOnly()) {
        insert(Kept(QGuiApplication::clipboard()->text()));
        event->accept();
        return;
    }
    const QString typed = event->text();
    if (!typed.isEmpty() && typed.front().isPrint()) {
        for (QChar c : typed) {
            if (!AcceptsCharacter(c)) {
                event->accept();
                return;
            }
        }
    }
    QLineEdit::keyPressEvent(event);
}

void CTEdit::mousePressEvent(QMouseEvent* event)
{
    if (clipboardBlock_ && event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    QLineEdit::mousePressEvent(event);
}

void CTEdit::mouseReleaseEvent(QMouseEvent* event)
{
    // The middle button pastes the selection on X11.
    if (clipboardBlock_ && event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void CTEdit::contextMenuEvent(QContextMenuEvent* event)
{
    if (clipboardBlock_) {
        event->accept();
        return;
    }
    QLineEdit::contextMenuEvent(event);
}

void CTEdit::paintEvent(QPaintEvent* event)
{
    QLineEdit::paintEvent(event);
    QPainter painter(this);
    painter.setPen(kLineColor);
    painter.drawLine(0, height() - 1, width() - 1, height() - 1);
}

void CTEdit::PlaceTopLine()
{
    QWidget* parent = parentWidget();
    if (topLine_ && topLine_->parentWidget() != parent) delete topLine_.data();
    if (!parent) return;
    if (!topLine_) {
        // The line lies outside the box, so a sibling of the box draws it.
        topLine_ = new QWidget(parent);
        topLine_->setAttribute(Qt::WA_TransparentForMouseEvents);
        QPalette look = topLine_->palette();
        look.setColor(QPalette::Window, kLineColor);
        topLine_->setPalette(look);
        topLine_->setAutoFillBackground(true);
    }
    topLine_->setGeometry(x(), y() - kTopLineDistance, width(), 1);
    topLine_->setVisible(isVisible());
}

void CTEdit::moveEvent(QMoveEvent* event)
{
    QLineEdit::moveEvent(event);
    PlaceTopLine();
}

void CTEdit::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    PlaceTopLine();
}

void CTEdit::showEvent(QShowEvent* event)
{
    QLineEdit::showEvent(event);
    PlaceTopLine();
}

void CTEdit::hideEvent(QHideEvent* event)
{
    QLineEdit::hideEvent(event);
    if (topLine_) topLine_->hide();
}

}  // namespace pontiq
