#include <gtest/gtest.h>

#include <QImage>
#include <QScrollBar>

#include "app/application_app.h"
#include "app/controls/scroll_bitmap_wnd.h"
#include "app/controls/skin_style.h"
#include "app/ui/child_dlg.h"
#include "app/ui/grid_cell_style.h"
#include "app/ui/install_help_dlg.h"
#include "app/ui/placeholder_page.h"
#include "app/ui/shell_ids.h"
#include "tests/gui/shell_test_support.h"

namespace pontiq {
namespace {

// The install-help picture follows the language the loader settled on, not the system locale.
TEST(InstallHelpPage, ShowsThePictureOfTheChosenLanguage)
{
    struct Case {
        uint32_t systemLocale;
        bool chineseEntry;
        const char* picture;
    };
    const Case cases[] = {
        {2052, true, "help_chinese.jpg"},
        {2052, false, "help_other.jpg"},  // no entry: English, locale 1033
        {1033, true, "help_other.jpg"},
        {1031, true, "help_other.jpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picture);
        test::ProgramFolder folder;
        folder.dir.Write("Languages/Language.ini",
                         c.chineseEntry ? "[LCID]\n2052=Chinese\n1031=Deutsch\n" : "[LCID]\n1033=English\n");
        QImage image(1200, 800, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        folder.dir.Write("Skin/.keep", "");
        ASSERT_TRUE(image.save(QString::fromStdString(folder.dir.File("Skin/help_chinese.jpg"))));
        ASSERT_TRUE(image.save(QString::fromStdString(folder.dir.File("Skin/help_other.jpg"))));

        CApplicationApp app;
        app.LoadConfiguration(folder.dir.Dir(), c.systemLocale);
        CInstallHelpDlg page;
        EXPECT_EQ(page.PicturePath(), QString::fromStdString(folder.dir.File("Skin/") + c.picture));
        CScrollBitmapWnd* picture = page.Picture();
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(ControlId(picture), kIdcInstallHelpPicture);
        EXPECT_EQ(picture->pos(), QPoint(5, 5));
        EXPECT_EQ(picture->PictureSize(), QSize(1200, 800));
        // The picture window stays inside what the page shows, so its scroll bars can be reached.
        EXPECT_LE(picture->geometry().right(), page.width());
        EXPECT_LE(picture->width(), CInstallHelpDlg::kPictureWidth);
        EXPECT_LE(picture->height(), CInstallHelpDlg::kPictureHeight);
        EXPECT_FALSE(picture->isHidden());
        // Wider than the page: drawn at the page's width, so nothing is cut off at the right.
        EXPECT_TRUE(picture->FitWidth());
        EXPECT_EQ(picture->ShownSize().width(), picture->VisibleSize().width());
        EXPECT_FALSE(picture->HorizontalBar()->isVisibleTo(picture));
        test::ResetLanguage();
    }
}

TEST(InstallHelpPage, RunsWithoutItsPicture)
{
    CInstallHelpDlg page(QStringLiteral("/nonexistent/help_other.jpg"), nullptr);
    EXPECT_TRUE(page.Picture()->PictureSize().isEmpty());
}

TEST(ProgramPages, EveryPageIdGetsAPageAndUnknownIdsNone)
{
    CChildDlg container;
    for (int id : CChildDlg::kCreationOrder) {
        SCOPED_TRACE(id);
        QWidget* page = container.Page(id);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->parentWidget(), &container);
        EXPECT_FALSE(page->isWindow());
        EXPECT_EQ(page->pos(), QPoint(0, 0));
        EXPECT_NE(container.Operations(id), nullptr);
        EXPECT_EQ(page->isHidden(), id != kPageStatus);
    }
    EXPECT_NE(qobject_cast<CInstallHelpDlg*>(container.Page(kPageInstallHelp)), nullptr);
    EXPECT_EQ(CreateProgramPage(0, nullptr), nullptr);
    container.ShowPage(4711);  // not a page: nothing changes
    EXPECT_EQ(container.CurrentPageId(), kPageStatus);
    container.RefreshCurrentPage();  // placeholders refresh to nothing
}

TEST(ProgramPages, AreCreatedOnceInTheContainersOrder)
{
    std::vector<int> created;
    CChildDlg container(nullptr, [&](int id, QWidget* parent) -> QWidget* {
        created.push_back(id);
        return id == kPageBridge ? nullptr : test::CreateRecordingPage(id, parent);  // one page missing
    });
    EXPECT_EQ(created, (std::vector<int>{155, 133, 134, 135, 136, 138, 137, 139}));
    EXPECT_EQ(container.Page(kPageBridge), nullptr);
    container.ShowPage(kPageBridge);  // a missing page leaves the container empty, not broken
    container.OnTimer(kTimerAfterSwitch);
    container.OnPageChange(kPageBridge, 2);
    EXPECT_TRUE(container.Page(kPageStatus)->isHidden());
    EXPECT_EQ(created.size(), 8u);
}

TEST(GridCellStyles, ComeFromTheSkinSettings)
{
    AppSettings settings;
    ReadSettings(IniFile::Parse("[Color]\nGridTitleBkColor=1,2,3\n"), "", "1.0.0.1", settings);
    const SkinSettings& skin = settings.skin;

    const GridCellStyle header = HeaderCellStyle(skin);
    EXPECT_EQ(header.text, QColor(237, 112, 32));
    ASSERT_TRUE(header.background.has_value());
    EXPECT_EQ(*header.background, QColor(1, 2, 3));
    EXPECT_EQ(header.font.weight(), QFont::Bold);
    EXPECT_EQ(header.font.family(), "Arial");
    EXPECT_EQ(header.rowHeight, 0);

    struct Case {
        GridCellStyle style;
        QColor text;
    };
    const Case cases[] = {
        {DataCellStyle(skin, 48), QColor(0, 0, 0)},
        {OfflineCellStyle(skin, 48), QColor(142, 142, 142)},
        {OnlineCellStyle(skin, 48), QColor(0, 153, 0)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.style.text, c.text);
        EXPECT_FALSE(c.style.background.has_value());
        EXPECT_EQ(c.style.rowHeight, 48);
        EXPECT_EQ(c.style.font.weight(), QFont::Normal);
        EXPECT_EQ(c.style.font.pixelSize(), SkinFont("Arial", 0, 15).pixelSize());  // a 15-px cell
    }
}

}  // namespace
}  // namespace pontiq
