// The help menu's addresses: web addresses as they stand, the offline manual by its path in the
// program folder, and the shipped language files naming manual pages that exist.
#include <gtest/gtest.h>

#include <QFile>
#include <QMenu>
#include <QTextStream>
#include <memory>
#include <vector>

#include "app/application_app.h"
#include "app/ui/application_dlg.h"
#include "app/ui/help_address.h"
#include "app/ui/shell_ids.h"
#include "tests/gui/shell_test_support.h"

namespace pontiq {
namespace {

TEST(HelpAddress, WebAddressesStayAndManualPathsBecomeFilesOfTheProgramFolder)
{
    test::TempDir folder;
    folder.Write("Manual/en/index.html", "<html></html>");
    const QString dir = QString::fromStdString(folder.Dir());
    const QString page = QString::fromStdString(folder.File("Manual/en/index.html"));
    struct Case {
        const char* text;
        QUrl expected;
    };
    QUrl section = QUrl::fromLocalFile(page);
    section.setFragment(QStringLiteral("status"));
    const Case cases[] = {
        {"http://www.example.com/pontiq/help", QUrl("http://www.example.com/pontiq/help")},
        {"mailto:support@example.com", QUrl("mailto:support@example.com")},
        {"Manual/en/index.html", QUrl::fromLocalFile(page)},
        {" Manual/en/index.html#status ", section},
        {"Manual/en/../en/index.html", QUrl::fromLocalFile(page)},
        // Nothing to open: the text goes on as it stands and the shell fails quietly.
        {"Manual/zh/index.html", QUrl("Manual/zh/index.html")},
        {"Manual/en", QUrl("Manual/en")},
        {"Help_url", QUrl("Help_url")},
        {"", QUrl()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const QUrl url = ResolveHelpAddress(QString::fromUtf8(c.text), dir);
        EXPECT_EQ(url, c.expected) << url.toString().toStdString();
    }
    // An absolute path names its file wherever the program is.
    EXPECT_EQ(ResolveHelpAddress(page, QStringLiteral("/nonexistent/")), QUrl::fromLocalFile(page));
}

TEST(HelpAddress, HelpMenuOpensTheManualOfTheProgramFolder)
{
    test::ProgramFolder folder;
    folder.WriteLanguage(1033, "English",
                         "help_url=Manual/en/index.html\n"
                         "support_url=Manual/en/index.html#support\n"
                         "product_url=http://www.example.com/\n");
    folder.dir.Write("Manual/en/index.html", "<html></html>");
    CApplicationApp app;
    app.LoadConfiguration(folder.dir.Dir(), 1033);

    std::vector<QUrl> opened;
    CApplicationDlg::UrlOpener previous = CApplicationDlg::SetUrlOpener([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    {
        CApplicationDlg window;
        for (int command : {kCmdHelpHelp, kCmdHelpSupport, kCmdHelpProduct, kCmdHelpContact}) {
            window.OnCommand(command);
        }
    }
    CApplicationDlg::SetUrlOpener(previous);
    const QUrl manual = QUrl::fromLocalFile(QString::fromStdString(folder.dir.File("Manual/en/index.html")));
    QUrl support = manual;
    support.setFragment(QStringLiteral("support"));
    EXPECT_EQ(opened,
              (std::vector<QUrl>{manual, support, QUrl("http://www.example.com/"), QUrl("Contact_url")}));
    test::ResetLanguage();
}

// Every address the shipped language files give for the help menu leads to a page of the manual
// in resources/ (copied into the program folder) or is a web address.
TEST(HelpAddress, ShippedLanguageFilesNameManualPagesThatExist)
{
    const QString resources = QStringLiteral(PONTIQ_SOURCE_DIR "/resources/");
    for (const char* language : {"English", "Chinese"}) {
        SCOPED_TRACE(language);
        QFile file(resources + QStringLiteral("Languages/%1.lng").arg(QLatin1String(language)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
        QTextStream in(&file);
        int manualPages = 0;
        while (!in.atEnd()) {
            const QString line = in.readLine().trimmed();
            if (!line.contains(QStringLiteral("_url="))) continue;
            const QString value = line.section(QLatin1Char('='), 1);
            const QUrl url = ResolveHelpAddress(value, resources);
            SCOPED_TRACE(line.toStdString());
            ASSERT_TRUE(url.isLocalFile()) << "not a page of the manual";
            EXPECT_TRUE(QFile::exists(url.toLocalFile()));
            if (url.hasFragment()) {
                QFile page(url.toLocalFile());
                ASSERT_TRUE(page.open(QIODevice::ReadOnly));
                EXPECT_TRUE(page.readAll().contains(QStringLiteral("id=\"%1\"").arg(url.fragment()).toUtf8()))
                    << "no section " << url.fragment().toStdString();
            }
            ++manualPages;
        }
        EXPECT_EQ(manualPages, 4);
    }
}

}  // namespace
}  // namespace pontiq
