#include "app/controls/message_box.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <filesystem>
#include <system_error>
#include <utility>

#include "app/application_app.h"
#include "app/controls/skin_style.h"

namespace pontiq {
namespace {

MessagePresenter& Presenter()
{
    static MessagePresenter presenter;
    return presenter;
}

QMessageBox::Icon ToQtIcon(MessageIcon icon)
{
    switch (icon) {
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::None:
            return QMessageBox::NoIcon;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

QString ApplicationName()
{
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return QString();
    // "name.ext" -> "name"; only the last extension goes, as the shell's path functions do.
    return QFileInfo(QString::fromStdString(exe.filename().string())).completeBaseName();
}

MessageResult PresentMessageBox(const MessageRequest& request)
{
    QMessageBox box(
        ToQtIcon(request.icon), request.caption, request.text,
        request.buttons == MessageButtons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok,
        request.owner);
    box.setDefaultButton(QMessageBox::Ok);
    if (request.buttons == MessageButtons::OkCancel) box.setEscapeButton(QMessageBox::Cancel);
    ApplyMessageBoxSkin(box, CurrentSettings().skin);
    const int pressed = box.exec();
    if (request.buttons == MessageButtons::Ok) return MessageResult::Ok;
    return pressed == QMessageBox::Ok ? MessageResult::Ok : MessageResult::Cancel;
}

void ApplyMessageBoxSkin(QMessageBox& box, const SkinSettings& skin)
{
    const QString face = ToQString(skin.fontName);
    const QFont text = SkinFont(face, skin.staticFontWeight, skin.staticFontHeight);
    const QFont button = SkinFont(face, skin.buttonFontWeight, skin.buttonFontHeight);
    box.setFont(text);
    const QString rgb = QStringLiteral("rgb(%1,%2,%3)");
    const auto css = [&](const Rgb& c) { return rgb.arg(int{c.r}).arg(int{c.g}).arg(int{c.b}); };
    // Buttons as the skin's title row draws: its background, the line colour around, the
    // accent colour on the default and the hovered one.
    box.setStyleSheet(
        QStringLiteral("QMessageBox { background: %1; }"
                       "QMessageBox QLabel { color: %2; background: transparent; }"
                       "QMessageBox QPushButton { color: %3; background: %4; border: 1px solid %5;"
                       " border-radius: 3px; padding: 4px 14px; min-width: 64px; }"
                       "QMessageBox QPushButton:default, QMessageBox QPushButton:hover,"
                       " QMessageBox QPushButton:focus { border-color: %6; }"
                       "QMessageBox QPushButton:pressed { color: %7; }")
            .arg(css(skin.childBkColor), css(skin.staticFontTextColor), css(skin.buttonFontColor),
                 css(skin.gridTitleBkColor), css(skin.lineColor), css(skin.gridTitleTextColor),
                 css(skin.textDownColor)));
    // Style sheets do not carry pixel sizes of a skin font reliably; the widgets take it directly.
    for (QLabel* label : box.findChildren<QLabel*>()) label->setFont(text);
    for (QAbstractButton* b : box.buttons()) b->setFont(button);
}

MessagePresenter SetMessagePresenter(MessagePresenter presenter)
{
    return std::exchange(Presenter(), std::move(presenter));
}

MessageResult ShowMessage(QWidget* owner, const QString& text, MessageCaption caption, MessageIcon icon,
                          MessageButtons buttons)
{
    MessageRequest request;
    request.owner = owner;
    request.text = text;
    request.caption = caption == MessageCaption::ApplicationName ? ApplicationName() : QString();
    request.icon = icon;
    request.buttons = buttons;
    const MessagePresenter& presenter = Presenter();
    return presenter ? presenter(request) : PresentMessageBox(request);
}

}  // namespace pontiq
