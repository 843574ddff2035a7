// Skinned search box: a borderless line edit with a light-grey line along its bottom edge and
// another 5 pixels above its top edge, an input mode, forbidden characters and a clipboard
// block. The box's validator applies the mode and the forbidden characters to text that arrives
// other than by typing (paste, drop, input methods, setText); do not replace it.
#pragma once

#include <QColor>
#include <QLineEdit>
#include <QPointer>
#include <QString>

namespace pontiq {

class CTEdit : public QLineEdit {
    Q_OBJECT

public:
    enum InputMode { kAnyText = 0, kDigits = 1, kLetters = 2, kLettersAndDigits = 3 };
    static constexpr QColor kLineColor{207, 207, 207};
    static constexpr int kTopLineDistance = 5;

    explicit CTEdit(QWidget* parent = nullptr);
    // With the layout's control id (property "controlId").
    CTEdit(int controlId, QWidget* parent);
    ~CTEdit() override;

    // Modes outside 0..3 count as 0.
    void SetInputMode(int mode);
    int InputMode() const { return mode_; }
    void SetForbiddenCharacters(const QString& characters);
    QString ForbiddenCharacters() const { return forbidden_; }
    // On: copy, paste, cut and undo from the keyboard, the middle-button paste, drops and the
    // context menu are all refused.
    void SetClipboardBlock(bool on);
    bool ClipboardBlock() const { return clipboardBlock_; }

    // Whether a typed character may enter the box under the mode and the forbidden characters.
    bool AcceptsCharacter(QChar c) const;
    // text without the characters the box refuses.
    QString Kept(const QString& text) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    class Filter;
    void PlaceTopLine();

    int mode_ = kAnyText;
    QString forbidden_;
    bool clipboardBlock_ = false;
    QPointer<QWidget> topLine_;  // sibling in the parent: the line lies outside the box
};

}  // namespace pontiq
