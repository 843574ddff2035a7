#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <cstdio>

#include "tests/gui/grid_test_events.h"
#include "ui/grid/grid_ctrl.h"
#include "ui/grid/grid_image_list.h"

namespace pontiq {
namespace {

using test::ClickCell;
using test::ClickHeader;
using test::PressKey;
using test::Record;

constexpr int kTick = 0;
constexpr int kName = 1;
constexpr int kPicture = 2;
constexpr int kIp = 3;

std::vector<GridCell> Row(const QString& name, const QString& ip)
{
    std::vector<GridCell> row(4);
    row[kName].text = name;
    row[kName].editable = true;
    row[kPicture].image = 0;
    row[kIp].text = ip;
    return row;
}

class GridTest : public testing::Test {
protected:
    void SetUp() override
    {
        grid.SetColumns({{QString(), 20, GridColumnKind::Tick},
                         {QStringLiteral("Location"), 90, GridColumnKind::Text},
                         {QStringLiteral("Operate"), 70, GridColumnKind::Image},
                         {QStringLiteral("IP"), 102, GridColumnKind::Text}});
        CGridImageList images;
        QImage picture(50, 16, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        images.Add(picture);
        grid.SetImageList(images);
        std::vector<std::vector<GridCell>> rows;
        for (int i = 0; i < 3; ++i)
            rows.push_back(Row(QStringLiteral("ap%1").arg(i), QStringLiteral("10.0.0.%1").arg(i)));
        grid.SetRows(std::move(rows));
        grid.resize(400, 300);
        grid.show();
    }

    CGridCtrl grid;
};

TEST_F(GridTest, RowsArePaddedToTheColumnsAndOutOfRangeCellsAreHarmless)
{
    GridCell only;
    only.text = QStringLiteral("x");
    grid.SetRows({{only}});
    ASSERT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(grid.CellText(0, 0), QStringLiteral("x"));
    EXPECT_EQ(grid.CellText(0, kIp), QString());

    const int cases[][2] = {{-1, 0}, {0, -1}, {1, 0}, {0, 4}, {99, 99}};
    for (const auto& c : cases) {
        grid.SetCellText(c[0], c[1], QStringLiteral("y"));
        grid.SetTicked(c[0], true);
        grid.SetItemData(c[0], c[1], 5);
        EXPECT_EQ(grid.CellText(c[0], c[1]), QString());
        EXPECT_EQ(grid.ItemData(c[0], c[1]), 0);
        EXPECT_FALSE(grid.IsCellEditable(c[0], c[1]));
    }
    EXPECT_EQ(grid.rowHeight(0), kGridRowHeight);
}

TEST_F(GridTest, CellTextColourAndItemData)
{
    EXPECT_EQ(grid.CellTextColor(0, kName), grid.Style().text);
    grid.SetCellTextColor(0, kName, QColor(0, 153, 0));
    grid.SetRowTextColor(1, QColor(142, 142, 142));
    EXPECT_EQ(grid.CellTextColor(0, kName), QColor(0, 153, 0));
    EXPECT_EQ(grid.CellTextColor(0, kIp), grid.Style().text);
    EXPECT_EQ(grid.CellTextColor(1, kIp), QColor(142, 142, 142));
    grid.SetCellTextColor(0, kName, QColor());
    EXPECT_EQ(grid.CellTextColor(0, kName), grid.Style().text);

    grid.SetItemData(2, kName, 10);
    EXPECT_EQ(grid.ItemData(2, kName), 10);
    EXPECT_EQ(grid.ItemData(2, kIp), 0);
}

TEST_F(GridTest, ClickOnTickCellInvertsItThenReportsTheClick)
{
    auto clicks = Record(&grid, &CGridCtrl::cellClicked);
    auto toggles = Record(&grid, &CGridCtrl::tickToggled);
    bool tickedWhenReported = false;
    QObject::connect(&grid, &CGridCtrl::cellClicked, &grid,
                     [&](int row, int) { tickedWhenReported = grid.IsTicked(row); });

    ClickCell(grid, 1, kTick);
    EXPECT_TRUE(grid.IsTicked(1));
    EXPECT_TRUE(tickedWhenReported);
    ClickCell(grid, 1, kTick);
    EXPECT_FALSE(grid.IsTicked(1));
    ASSERT_EQ(toggles->size(), 2u);
    EXPECT_EQ((*toggles)[0], std::make_tuple(1, kTick, true));
    EXPECT_EQ((*toggles)[1], std::make_tuple(1, kTick, false));

    ClickCell(grid, 2, kIp);
    EXPECT_EQ(toggles->size(), 2u);
    // Space on the current row works the tick box as a click does.
    grid.setCurrentIndex(grid.model()->index(0, kIp));
    PressKey(&grid, Qt::Key_Space);
    EXPECT_TRUE(grid.IsTicked(0));
    ASSERT_EQ(toggles->size(), 3u);
    EXPECT_EQ(clicks->back(), std::make_tuple(0, kTick));
    grid.SetTicked(0, false);
    EXPECT_EQ((*clicks)[2], std::make_tuple(2, kIp));
    EXPECT_FALSE(grid.IsTicked(2));
}

TEST_F(GridTest, TicksHeaderTickAndTickedRows)
{
    grid.SetTicked(0, true);
    grid.SetTicked(2, true);
    EXPECT_EQ(grid.TickedRows(), (std::vector<int>{0, 2}));
    grid.SetAllTicked(true);
    EXPECT_EQ(grid.TickedRows(), (std::vector<int>{0, 1, 2}));
    // The header tick is the page's: row ticks never move it.
    EXPECT_FALSE(grid.IsHeaderTicked());
    grid.SetHeaderTicked(true);
    grid.SetTicked(1, false);
    EXPECT_TRUE(grid.IsHeaderTicked());
    // A text column is no tick column.
    grid.SetTicked(0, false, kName);
    EXPECT_TRUE(grid.IsTicked(0));
}

TEST_F(GridTest, HeaderClickReportsTheColumnAndSortMarkIsKept)
{
    auto headers = Record(&grid, &CGridCtrl::headerClicked);
    auto clicks = Record(&grid, &CGridCtrl::cellClicked);
    ClickHeader(grid, kIp);
    ClickHeader(grid, kTick);
    ASSERT_EQ(headers->size(), 2u);
    EXPECT_EQ(std::get<0>((*headers)[0]), kIp);
    EXPECT_EQ(std::get<0>((*headers)[1]), kTick);
    EXPECT_EQ(clicks->size(), 0u);

    grid.SetSortMark(kIp, false);
    EXPECT_EQ(grid.SortMarkColumn(), kIp);
    EXPECT_FALSE(grid.SortMarkAscending());
    grid.SetSortMark(17, true);  // no such column: no mark
    EXPECT_EQ(grid.SortMarkColumn(), -1);
}

TEST_F(GridTest, DisabledGridReportsNothingAndDoesNotEdit)
{
    auto clicks = Record(&grid, &CGridCtrl::cellClicked);
    auto headers = Record(&grid, &CGridCtrl::headerClicked);
    grid.setEnabled(false);
    ClickCell(grid, 0, kTick);
    ClickCell(grid, 0, kName);
    ClickHeader(grid, kIp);
    EXPECT_EQ(clicks->size(), 0u);
    EXPECT_EQ(headers->size(), 0u);
    EXPECT_FALSE(grid.IsTicked(0));
    EXPECT_FALSE(grid.EditCell(0, kName));

    grid.setEnabled(true);
    ClickCell(grid, 0, kTick);
    EXPECT_EQ(clicks->size(), 1u);
    EXPECT_TRUE(grid.IsTicked(0));
}

class GridEditTest : public GridTest {
protected:
    QLineEdit* OpenEditor(int row, int column)
    {
        if (!grid.EditCell(row, column)) return nullptr;
        return qobject_cast<QLineEdit*>(grid.indexWidget(grid.model()->index(row, column)));
    }
};

TEST_F(GridEditTest, EnterEndsTheEditWithOldAndNewText)
{
    auto started = Record(&grid, &CGridCtrl::editStarted);
    auto ended = Record(&grid, &CGridCtrl::editEnded);
    QLineEdit* editor = OpenEditor(1, kName);
    ASSERT_NE(editor, nullptr);
    ASSERT_EQ(started->size(), 1u);
    EXPECT_EQ((*started)[0], std::make_tuple(1, kName, QStringLiteral("ap1")));
    EXPECT_TRUE(grid.IsEditing());

    editor->setText(QStringLiteral("roof"));
    PressKey(editor, Qt::Key_Return);
    EXPECT_FALSE(grid.IsEditing());
    ASSERT_EQ(ended->size(), 1u);
    const auto& [row, column, oldText, newText, accept] = (*ended)[0];
    EXPECT_EQ(row, 1);
    EXPECT_EQ(column, kName);
    EXPECT_EQ(oldText, QStringLiteral("ap1"));
    EXPECT_EQ(newText, QStringLiteral("roof"));
    (void)accept;
    EXPECT_EQ(grid.CellText(1, kName), QStringLiteral("roof"));
}

// The text the editor selects when it opens must stay readable on its selection colour, with the
// default skin and with pale or dark accent colours of other skins.
TEST_F(GridEditTest, SelectedTextInTheEditorReadsClearly)
{
    for (const QColor accent :
         {QColor(237, 112, 32), QColor(255, 240, 120), QColor(200, 220, 255), QColor(20, 20, 90)}) {
        SCOPED_TRACE(accent.name().toStdString());
        GridStyle style = grid.Style();
        style.headerText = accent;
        grid.SetGridStyle(style);
        QLineEdit* editor = OpenEditor(1, kName);
        ASSERT_NE(editor, nullptr);
        EXPECT_TRUE(editor->hasSelectedText());
        editor->ensurePolished();
        const QPalette pal = editor->palette();
        EXPECT_GE(ContrastRatio(pal.color(QPalette::Highlight), pal.color(QPalette::HighlightedText)), 4.5);
        PressKey(editor, Qt::Key_Escape);
    }
}

TEST_F(GridEditTest, RefusedEditPutsTheOldTextBack)
{
    QString seenInCell;
    QObject::connect(&grid, &CGridCtrl::editEnded, &grid,
                     [&](int row, int column, const QString&, const QString&, bool* accept) {
                         seenInCell = grid.CellText(row, column);
                         *accept = false;
                     });
    QLineEdit* editor = OpenEditor(0, kName);
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("a name far too long for the device"));
    PressKey(editor, Qt::Key_Enter);
    EXPECT_EQ(seenInCell, QStringLiteral("a name far too long for the device"));
    EXPECT_EQ(grid.CellText(0, kName), QStringLiteral("ap0"));
}

TEST_F(GridEditTest, ReceiverMaySetItsOwnText)
{
    QObject::connect(&grid, &CGridCtrl::editEnded, &grid,
                     [&](int row, int column, const QString&, const QString& newText, bool*) {
                         grid.SetCellText(row, column, newText.left(4));
                     });
    QLineEdit* editor = OpenEditor(2, kName);
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("gatehouse"));
    PressKey(editor, Qt::Key_Return);
    EXPECT_EQ(grid.CellText(2, kName), QStringLiteral("gate"));
}

TEST_F(GridEditTest, EscapeEndsTheEditWithTheOldText)
{
    auto ended = Record(&grid, &CGridCtrl::editEnded);
    QLineEdit* editor = OpenEditor(0, kName);
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("changed"));
    PressKey(editor, Qt::Key_Escape);
    ASSERT_EQ(ended->size(), 1u);
    EXPECT_EQ(std::get<2>((*ended)[0]), QStringLiteral("ap0"));
    EXPECT_EQ(std::get<3>((*ended)[0]), QStringLiteral("ap0"));
    EXPECT_EQ(grid.CellText(0, kName), QStringLiteral("ap0"));
}

TEST_F(GridEditTest, OnlyEditableCellsOpenAnEditor)
{
    auto started = Record(&grid, &CGridCtrl::editStarted);
    EXPECT_EQ(OpenEditor(0, kIp), nullptr);
    EXPECT_EQ(OpenEditor(0, kTick), nullptr);
    grid.SetCellEditable(0, kName, false);
    EXPECT_EQ(OpenEditor(0, kName), nullptr);
    EXPECT_EQ(started->size(), 0u);
    grid.SetColumnEditable(kIp, true);
    EXPECT_NE(OpenEditor(2, kIp), nullptr);
    EXPECT_EQ(started->size(), 1u);
}

TEST_F(GridEditTest, ReloadWhileEditingDropsTheEditAndARefusalAfterReloadLeavesNewRows)
{
    auto ended = Record(&grid, &CGridCtrl::editEnded);
    ASSERT_NE(OpenEditor(0, kName), nullptr);
    grid.SetRows({Row(QStringLiteral("fresh"), QStringLiteral("10.0.0.9"))});
    EXPECT_FALSE(grid.IsEditing());
    EXPECT_EQ(ended->size(), 0u);

    // A receiver that reloads and refuses: the reloaded row keeps its own text.
    QObject::connect(&grid, &CGridCtrl::editEnded, &grid,
                     [&](int, int, const QString&, const QString&, bool* accept) {
                         grid.SetRows({Row(QStringLiteral("reloaded"), QStringLiteral("10.0.0.9"))});
                         *accept = false;
                     });
    QLineEdit* editor = OpenEditor(0, kName);
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("typed"));
    PressKey(editor, Qt::Key_Return);
    EXPECT_EQ(grid.CellText(0, kName), QStringLiteral("reloaded"));
}

TEST(GridImageList, WhiteBecomesTransparentAndStripsAreCut)
{
    QImage strip(150, 16, QImage::Format_RGB32);
    strip.fill(Qt::white);
    QPainter(&strip).fillRect(QRect(60, 4, 10, 8), QColor(200, 30, 30));
    CGridImageList list;
    EXPECT_EQ(list.AddStrip(strip, QSize(50, 16)), 3);
    ASSERT_EQ(list.Count(), 3);
    const QImage second = list.Picture(1).toImage();
    EXPECT_EQ(second.size(), QSize(50, 16));
    EXPECT_EQ(qAlpha(second.pixel(0, 0)), 0);
    EXPECT_EQ(second.pixelColor(15, 8), QColor(200, 30, 30));
    EXPECT_TRUE(list.Picture(3).isNull());
    EXPECT_TRUE(list.Picture(-1).isNull());

    EXPECT_EQ(list.AddFromFile(QStringLiteral("/nonexistent/web_other.bmp"), QSize(50, 16)), 0);
    EXPECT_EQ(list.Count(), 3);
    // Narrower than one piece: taken whole.
    EXPECT_EQ(list.AddStrip(QImage(20, 16, QImage::Format_RGB32), QSize(50, 16)), 1);
}

// Not a timed assertion: prints how long a 100-row page takes to fill and to paint.
TEST(GridTiming, HundredRowPage)
{
    CGridCtrl grid;
    std::vector<GridColumn> columns;
    columns.push_back({QString(), 20, GridColumnKind::Tick});
    for (int c = 1; c < 14; ++c)
        columns.push_back({QStringLiteral("Column %1").arg(c), 70, GridColumnKind::Text});
    grid.SetColumns(std::move(columns));
    grid.resize(1045, 700);
    grid.show();

    QElapsedTimer timer;
    double fillMs = 0;
    double paintMs = 0;
    constexpr int kRuns = 5;
    for (int run = 0; run < kRuns; ++run) {
        std::vector<std::vector<GridCell>> rows(100, std::vector<GridCell>(14));
        for (int r = 0; r < 100; ++r) {
            for (int c = 1; c < 14; ++c) rows[r][c].text = QStringLiteral("192.168.%1.%2").arg(run).arg(r);
        }
        timer.start();
        grid.SetRows(std::move(rows));
        fillMs += static_cast<double>(timer.nsecsElapsed()) / 1e6;
        timer.start();
        (void)grid.grab();
        paintMs += static_cast<double>(timer.nsecsElapsed()) / 1e6;
    }
    std::printf("[ timing ] 100 rows x 14 columns: fill %.2f ms, paint %.2f ms (mean of %d)\n",
                fillMs / kRuns, paintMs / kRuns, kRuns);
    EXPECT_EQ(grid.RowCount(), 100);
}

}  // namespace
}  // namespace pontiq
