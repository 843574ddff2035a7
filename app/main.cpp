// Program entry. The full start sequence arrives with the application shell;
// until then the program shows what it has loaded and that the windows are not built yet.
#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QString>

#include "app/language.h"
#include "app/settings.h"
#include "app/skin_paths.h"
#include "store/program_dir.h"

int main(int argc, char* argv[])
{
    QApplication qtApp(argc, argv);
    const std::string dir = pontiq::ProgramDir();
    const pontiq::LanguageState language = pontiq::LoadLanguage(dir);
    const pontiq::AppSettings settings = pontiq::LoadSettings(dir, PONTIQ_VERSION);
    const pontiq::SkinPaths skin = pontiq::BuildSkinPaths(dir, language.localeNumber);

    QLabel placeholder(QString::fromStdString(
        "Pontiq " + settings.versionLabel + "\n\nThe main window is not built yet.\nLanguage: " +
        language.languageName + " (" + std::to_string(language.localeNumber) + ")\n" +
        pontiq::Translate("Online") + "\nRetransmission: " + std::to_string(settings.retransmissionMax) +
        " x " + std::to_string(settings.retransmissionInterval) + " ms"));
    placeholder.setAlignment(Qt::AlignCenter);
    placeholder.setMinimumSize(420, 180);
    placeholder.setWindowTitle("Pontiq");
    placeholder.setWindowIcon(QIcon(QString::fromStdString(skin.applicationIcon)));
    placeholder.show();
    return qtApp.exec();
}
