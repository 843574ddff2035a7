// Pictures of the shell for people to look at: runs only when PONTIQ_SCREENSHOT_DIR names the
// folder for them (scripts/screenshots.sh sets it), and is skipped in ordinary test runs.
#include <gtest/gtest.h>

#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/application_app.h"
#include "app/controls/ct_button_picture.h"
#include "app/ui/about_dlg.h"
#include "app/ui/application_dlg.h"
#include "app/ui/menu_dlg.h"
#include "app/ui/shell_ids.h"
#include "app/ui/wait_dlg.h"
#include "tests/gui/shell_test_support.h"

namespace pontiq {
namespace {

QString Env(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return QString::fromLocal8Bit(value && *value ? value : fallback);
}

bool Save(const QPixmap& picture, const QString& dir, const QString& name)
{
    const QString path = QDir(dir).filePath(name);
    const bool saved = picture.save(path);
    if (saved) std::printf("screenshot: %s\n", path.toLocal8Bit().constData());
    return saved;
}

TEST(ShellScreenshots, MainWindowPagesAndWaitPopup)
{
    const QString out = Env("PONTIQ_SCREENSHOT_DIR", "");
    if (out.isEmpty()) GTEST_SKIP() << "PONTIQ_SCREENSHOT_DIR not set";
    QDir().mkpath(out);
    const QString programDir = Env("PONTIQ_PROGRAM_DIR", "");
    const uint32_t locale = Env("PONTIQ_SCREENSHOT_LOCALE", "1033").toUInt();
    const QString tag = Env("PONTIQ_SCREENSHOT_TAG", "en");

    CApplicationApp app;
    app.LoadConfiguration(programDir.toStdString(), locale);
    CApplicationDlg window;
    window.show();
    test::PumpFor(300);
    ASSERT_TRUE(Save(window.grab(), out, "main-" + tag + ".png"));

    window.MenuPanel()->Button(kIdcMenuInstallHelp)->click();
    test::PumpFor(200);
    ASSERT_TRUE(Save(window.grab(), out, "install-help-" + tag + ".png"));
    window.MenuPanel()->Button(kIdcMenuStatus)->click();
    test::PumpFor(100);

    CWaitDlg wait(60, true, 3, CWaitDlg::Actions{}, &window);
    wait.show();
    for (int i = 0; i < 47; ++i) wait.Tick();  // about 40 %
    test::PumpFor(200);
    ASSERT_TRUE(Save(wait.grab(), out, "wait-" + tag + ".png"));

    // The popup over the main window, as the user sees it.
    QPixmap both = window.grab();
    {
        QPainter painter(&both);
        const QPoint at = window.mapFromGlobal(wait.geometry().topLeft());
        painter.drawPixmap(at, wait.grab());
    }
    ASSERT_TRUE(Save(both, out, "main-wait-" + tag + ".png"));
    wait.CloseNow();

    CAboutDlg about(&window);
    about.show();
    test::PumpFor(100);
    ASSERT_TRUE(Save(about.grab(), out, "about-" + tag + ".png"));
    about.close();

    std::unique_ptr<QMenu> help = window.CreateHelpMenu();
    help->popup(window.mapToGlobal(QPoint(900, 30)));
    test::PumpFor(100);
    ASSERT_TRUE(Save(help->grab(), out, "help-menu-" + tag + ".png"));
    help->close();
    test::ResetLanguage();
}

}  // namespace
}  // namespace pontiq
