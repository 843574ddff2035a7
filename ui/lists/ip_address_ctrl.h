// IPv4 address field: four boxes of at most three digits (0..255) with dots between them. Typing
// three digits or a dot moves on to the next box, Backspace in an empty box goes back. The text
// is "" while every box is blank, otherwise "a.b.c.d" with a blank box read as 0.
#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>

class QLineEdit;

namespace pontiq {

class CIpAddressCtrl : public QWidget {
    Q_OBJECT

public:
    explicit CIpAddressCtrl(QWidget* parent = nullptr);
    // With the layout's control id (property "controlId").
    CIpAddressCtrl(int controlId, QWidget* parent);

    // "a.b.c.d" fills the four boxes; any text that is not four dotted numbers 0..255 clears them.
    void SetText(const QString& text);
    QString Text() const;
    void SetAddress(const std::array<uint8_t, 4>& address);
    std::array<uint8_t, 4> Address() const;  // blank boxes as 0
    void Clear();
    bool IsBlank() const;

    QLineEdit* Field(int index) const { return fields_[static_cast<size_t>(index)]; }

signals:
    void textChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    void OnFieldEdited(int index);

    std::array<QLineEdit*, 4> fields_{};
};

}  // namespace pontiq
