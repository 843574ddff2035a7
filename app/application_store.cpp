// The application's ties to the device store, kept apart from the engine's headers.
#include <QString>

#include "app/application_app.h"
#include "app/controls/message_box.h"
#include "app/language.h"
#include "store/sql_management.h"
#include "store/value_format.h"

namespace pontiq::app_store {

void InstallHooks(const COperateCharacter& characters)
{
    // The store keeps its texts in the local encoding; the language files are UTF-8.
    SetTextTranslator(
        [chars = characters](std::string_view key) { return chars.Utf8ToLocal(Translate(key)); });
    CSqlManagement::SetOpenFailureHandler([chars = characters](const std::string& message) {
        ShowMessage(nullptr, QString::fromStdString(chars.LocalToUtf8(message)), MessageCaption::Empty,
                    MessageIcon::None);
    });
}

CSqlManagement& ProgramStore()
{
    return CSqlManagement::Instance();
}

}  // namespace pontiq::app_store
