// The one way windows show a message box. The text is shown as given: the caller translates it.
// The caption is empty or the application's name (the executable's file name without its
// extension). Tests replace the presenter to see the requests without opening a window.
#pragma once

#include <QString>
#include <functional>

class QMessageBox;
class QWidget;

namespace pontiq {

struct SkinSettings;

enum class MessageCaption { Empty, ApplicationName };
enum class MessageIcon { Warning, Question, Information, None };
enum class MessageButtons { Ok, OkCancel };
enum class MessageResult { Ok, Cancel };

struct MessageRequest {
    QWidget* owner = nullptr;
    QString text;
    QString caption;  // already resolved by the caption rule
    MessageIcon icon = MessageIcon::Warning;
    MessageButtons buttons = MessageButtons::Ok;
};

// Warning icon and an OK button unless asked otherwise. Returns the button pressed; closing
// the box without a button counts as Cancel (or Ok for a box with only OK).
MessageResult ShowMessage(QWidget* owner, const QString& text, MessageCaption caption = MessageCaption::Empty,
                          MessageIcon icon = MessageIcon::Warning,
                          MessageButtons buttons = MessageButtons::Ok);

// The executable's file name without its extension.
QString ApplicationName();

// Shows the request modally with QMessageBox, in the skin of the running program.
MessageResult PresentMessageBox(const MessageRequest& request);
// The skin's font and colours on a box: the font of the labels, their text and background
// colours, and buttons in the button font. Texts, icon and buttons stay as they are.
void ApplyMessageBoxSkin(QMessageBox& box, const SkinSettings& skin);

using MessagePresenter = std::function<MessageResult(const MessageRequest&)>;
// Replaces the presenter (an empty one restores PresentMessageBox); returns the previous.
MessagePresenter SetMessagePresenter(MessagePresenter presenter);

}  // namespace pontiq
