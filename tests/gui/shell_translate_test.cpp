#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QUrl>
#include <memory>
#include <vector>

#include "app/ui/application_dlg.h"
#include "app/ui/shell_ids.h"
#include "app/ui/translate_window.h"
#include "tests/gui/shell_test_support.h"

namespace pontiq {
namespace {

// An IP address field as the windows build it: four edits and three dots in one widget.
class CIpAddressField : public QWidget {
    Q_OBJECT

public:
    explicit CIpAddressField(QWidget* parent) : QWidget(parent)
    {
        for (int i = 0; i < 4; ++i) new QLineEdit(QStringLiteral("online"), this);
        dot = new QLabel(QStringLiteral("online"), this);
    }
    QLabel* dot;
};

class TranslateFixture : public ::testing::Test {
protected:
    TranslateFixture()
    {
        folder_.WriteLanguage(1033, "Test",
                              "online=En ligne\n"
                              "search=Chercher\n"
                              "En ligne=twice\n"  // a translation that is itself a key
                              "blank caption=[~Null~]\n"
                              "gone=[~NullInfoChrys~]\n"
                              "two lines=first\\r\\nsecond\n"
                              "wireless=Sans fil\n"
                              "vlan=Réseau local\n"
                              "product=Support\n"
                              "support=Assistance\n"
                              "contact us=Contact\n"
                              "help=Aide\n"
                              "product_url=https://example.invalid/product\n"
                              "support_url=https://example.invalid/support\n"
                              "help_url=https://example.invalid/help\n"
                              "show utility=Afficher\n"
                              "exit=Quitter\n"
                              "...=three dots\n");
        folder_.UseLanguage(1033);
    }
    ~TranslateFixture() override { test::ResetLanguage(); }

    test::ProgramFolder folder_;
};

TEST_F(TranslateFixture, TranslatesCaptionsAndLeavesDataAlone)
{
    QWidget window;
    window.setWindowTitle("Online");
    auto* label = new QLabel("online", &window);
    auto* button = new QPushButton("Search", &window);
    auto* group = new QGroupBox("Wireless", &window);
    auto* inGroup = new QLabel("Search", group);
    auto* edit = new QLineEdit("Online", &window);
    auto* spin = new QSpinBox(&window);
    spin->setSuffix("online");
    auto* progress = new QProgressBar(&window);
    auto* date = new QDateTimeEdit(&window);
    auto* ip = new CIpAddressField(&window);
    auto* dots = new QLabel("...", &window);
    auto* marked = new QLabel("Online", &window);
    marked->setProperty(kNoTranslateProperty, true);
    auto* twoLines = new QLabel("Two lines", &window);
    auto* unknown = new QLabel("Not in the file", &window);
    auto* gone = new QLabel("Gone", &window);
    (void)progress;
    (void)date;

    TranslateWindow(&window);

    EXPECT_EQ(window.windowTitle(), "En ligne");
    EXPECT_EQ(label->text(), "En ligne");
    EXPECT_EQ(button->text(), "Chercher");
    EXPECT_EQ(group->title(), "Sans fil");
    EXPECT_EQ(inGroup->text(), "Chercher");
    EXPECT_EQ(edit->text(), "Online");
    EXPECT_EQ(spin->suffix(), "online");
    for (QLineEdit* part : ip->findChildren<QLineEdit*>()) EXPECT_EQ(part->text(), "online");
    EXPECT_EQ(ip->dot->text(), "online");
    EXPECT_EQ(dots->text(), "...");
    EXPECT_EQ(marked->text(), "Online");
    EXPECT_EQ(twoLines->text(), "first\r\nsecond");
    EXPECT_EQ(unknown->text(), "Not in the file");
    EXPECT_EQ(gone->text(), "Gone");  // an empty translation keeps the built-in text

    // A window is translated once: "En ligne" is itself a key, and nothing changes again.
    TranslateWindow(&window);
    EXPECT_EQ(label->text(), "En ligne");
    EXPECT_EQ(window.windowTitle(), "En ligne");

    // A control added later is translated by the next call, its older siblings are not.
    auto* late = new QLabel("Search", &window);
    TranslateWindow(&window);
    TranslateWindow(late->parentWidget());
    EXPECT_EQ(late->text(), "Search");  // the window itself was already done: its walk stops there
    TranslateWindow(late);
    EXPECT_EQ(late->text(), "Chercher");
    EXPECT_EQ(label->text(), "En ligne");
}

TEST_F(TranslateFixture, CaptionEscapesFollowTheLanguageFile)
{
    struct Case {
        const char* caption;
        const char* shown;
    };
    const Case cases[] = {
        {"Blank caption", " "},  // "[~Null~]" is one blank
        {"Gone", "Gone"},        // "[~NullInfoChrys~]" is empty: the caption stays
        {"", ""},
        {"Unknown", "Unknown"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        QWidget window;
        window.setWindowTitle(c.caption);
        TranslateWindow(&window);
        EXPECT_EQ(window.windowTitle(), QString::fromUtf8(c.shown));
    }
    EXPECT_EQ(TranslateQ(std::string_view("Gone")), "");  // a message text becomes empty
}

TEST_F(TranslateFixture, ComboItemsAreTranslatedInPlaceKeepingTheSelection)
{
    QWidget window;
    auto* combo = new QComboBox(&window);
    combo->addItem("Online", 11);
    combo->addItem("VLAN", 22);
    combo->addItem("Other", 33);
    combo->setCurrentIndex(1);
    int changes = 0;
    QObject::connect(combo, &QComboBox::currentIndexChanged, [&] { ++changes; });

    TranslateWindow(&window);

    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(0), "En ligne");
    EXPECT_EQ(combo->itemText(1), QString::fromUtf8("Réseau local"));
    EXPECT_EQ(combo->itemText(2), "Other");
    EXPECT_EQ(combo->itemData(1).toInt(), 22);
    EXPECT_EQ(combo->currentIndex(), 1);
    EXPECT_EQ(changes, 0);  // the owner sees no selection change

    QComboBox empty(&window);
    TranslateWindow(&empty);
    EXPECT_EQ(empty.currentIndex(), -1);
}

TEST_F(TranslateFixture, MenusTranslateOnceHoweverOftenTheyAreShown)
{
    // "Product" translates to "Support", which is itself a key: a second pass must not go on.
    CApplicationDlg window;
    std::unique_ptr<QMenu> help = window.CreateHelpMenu();
    std::vector<QString> once;
    for (QAction* action : help->actions()) once.push_back(action->text());
    EXPECT_EQ(once, (std::vector<QString>{"Support", "Assistance", "Contact", "Aide"}));
    TranslateMenu(help.get());
    TranslateMenu(help.get());
    for (size_t i = 0; i < once.size(); ++i) EXPECT_EQ(help->actions()[static_cast<int>(i)]->text(), once[i]);

    QMenu tray;
    tray.addAction("Show Utility");
    tray.addSeparator();
    QMenu* sub = tray.addMenu("Product");
    sub->addAction("Exit");
    TranslateMenu(&tray);
    TranslateMenu(&tray);
    ASSERT_EQ(tray.actions().size(), 3);
    EXPECT_EQ(tray.actions()[0]->text(), "Afficher");
    EXPECT_TRUE(tray.actions()[1]->isSeparator());
    EXPECT_EQ(tray.actions()[2]->menu(), sub);  // the submenu stays attached
    EXPECT_EQ(sub->title(), "Support");
    EXPECT_EQ(sub->actions()[0]->text(), "Quitter");
}

TEST_F(TranslateFixture, HelpItemsOpenTheTranslatedAddresses)
{
    std::vector<QUrl> opened;
    CApplicationDlg::UrlOpener previous = CApplicationDlg::SetUrlOpener([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    CApplicationDlg window;
    std::unique_ptr<QMenu> help = window.CreateHelpMenu();
    const std::vector<int> commands = {kCmdHelpProduct, kCmdHelpSupport, kCmdHelpContact, kCmdHelpHelp};
    ASSERT_EQ(help->actions().size(), 4);
    for (size_t i = 0; i < commands.size(); ++i) {
        EXPECT_EQ(help->actions()[static_cast<int>(i)]->data().toInt(), commands[i]);
        window.OnCommand(commands[i]);
    }
    CApplicationDlg::SetUrlOpener(previous);
    ASSERT_EQ(opened.size(), 4u);
    EXPECT_EQ(opened[0], QUrl("https://example.invalid/product"));
    EXPECT_EQ(opened[1], QUrl("https://example.invalid/support"));
    EXPECT_EQ(opened[2], QUrl("Contact_url"));  // no entry: the key itself, which opens nothing
    EXPECT_EQ(opened[3], QUrl("https://example.invalid/help"));
    EXPECT_FALSE(window.Ended());
}

}  // namespace
}  // namespace pontiq

#include "shell_translate_test.moc"
