#include "app/controls/message_box.h"

#include <QFileInfo>
#include <QMessageBox>
#include <filesystem>
#include <system_error>
#include <utility>

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
    const int pressed = box.exec();
    if (request.buttons == MessageButtons::Ok) return MessageResult::Ok;
    return pressed == QMessageBox::Ok ? MessageResult::Ok : MessageResult::Cancel;
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
