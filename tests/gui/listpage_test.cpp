#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/controls/control_id.h"
#include "app/controls/ct_edit.h"
#include "app/controls/ct_multi_pages.h"
#include "app/controls/ct_static.h"
#include "store/value_format.h"
#include "tests/gui/grid_test_events.h"
#include "ui/grid/grid_ctrl.h"
#include "ui/lists/list_page.h"

namespace pontiq {
namespace {

using test::ClickCell;
using test::ClickHeader;

// Status-page columns: tick, serial, then the device columns with their sort keys.
enum StatusColumn {
    kTick,
    kSerial,
    kLocation,
    kType,
    kIp,
    kMac,
    kMode,
    kSsid,
    kChannel,
    kVersion,
    kBridge,
    kKelvra,
    kTime,
    kOperate
};

std::vector<ListColumn> TestStatusColumns()
{
    namespace t = record_text;
    std::vector<ListColumn> c;
    c.push_back(ListColumn::Tick(20));
    c.push_back(ListColumn::Serial(40));
    c.push_back(ListColumn::Text("Location", 90, 2, t::Name, ListField::Name));
    c.back().editable = true;
    c.push_back(ListColumn::Text("Type", 80, 3, t::Model, ListField::Type));
    c.push_back(ListColumn::Text("IP", 102, 1, t::Ip, ListField::Ip));
    c.push_back(ListColumn::Text("MAC", 112, 0, t::Mac, ListField::Mac));
    c.push_back(ListColumn::Text("OperationMode", 66, 4, t::WorkMode));
    c.push_back(ListColumn::Text("SSID", 100, 5, t::Ssid));
    c.push_back(ListColumn::Text("Channel", 65, 6, t::Channel));
    c.push_back(ListColumn::Text("Version", 60, 9, t::Version));
    c.push_back(ListColumn::Text("Transparent bridge", 100, 10, t::TransparentBridge));
    c.push_back(ListColumn::Text("Kelvra", 70, 11, t::Kelvra));
    c.push_back(ListColumn::Text("Time", 70, 12, t::Uptime));
    c.push_back(ListColumn::Image("Operate", 70, 0));
    return c;
}

ap_info_stu Device(int i, uint32_t status = STATUS_ONLINE)
{
    static const std::vector<uint32_t> codes = ModelCodes();
    ap_info_stu r{};
    const std::string mac = "00:1a:2b:3c:" + std::string(1, "0123456789abcdef"[(i >> 4) & 15]) +
                            std::string(1, "0123456789abcdef"[i & 15]) + ":0" + std::to_string(i % 10);
    SetCText(r.mac, mac);
    r.ap_type = static_cast<uint16_t>(codes[static_cast<size_t>(i) % codes.size()]);
    r.ap_status = status;
    r.work_mode = static_cast<uint8_t>(1 + i % 3);
    r.up_time = static_cast<uint32_t>(3600 * i + 61);
    const uint8_t ip[4] = {192, 168, static_cast<uint8_t>(1 + i / 200), static_cast<uint8_t>(1 + i % 200)};
    std::copy(std::begin(ip), std::end(ip), r.ip_block.ip);
    r.ap_name_len = SetFieldText(r.ap_name, "Tower-" + std::to_string(i));
    r.version_len = SetFieldText(r.version, "V2.1." + std::to_string(i % 7));
    r.radio_block.channel = static_cast<uint8_t>(i % 4 == 0 ? 0 : 36 + 4 * (i % 8));
    r.radio_block.tx_power = static_cast<uint8_t>(20 + i % 7);
    r.radio_block.security.ssid_len =
        SetFieldText(r.radio_block.security.ssid, "Link-" + std::to_string(i % 5));
    return r;
}

// An in-memory stand-in for the store's page query, with the same paging and counting rules.
struct FakeStore {
    struct Call {
        int sortKey;
        int pageSize;
        int page;
        bool ascending;
        std::string search;
    };

    std::vector<ap_info_stu> devices;
    std::vector<Call> calls;
    bool fail = false;

    void Fill(int n)
    {
        devices.clear();
        for (int i = 0; i < n; ++i) devices.push_back(Device(i, i % 4 == 3 ? STATUS_OUTLINE : STATUS_ONLINE));
    }

    CListPage::PageLoader Loader()
    {
        return [this](int sortKey, std::vector<ap_info_stu>& list, int& pageCount, int& onlineCount,
                      int pageSize, int page, bool ascending, std::string_view search) {
            calls.push_back({sortKey, pageSize, page, ascending, std::string(search)});
            if (fail) return false;
            std::vector<ap_info_stu> rows;
            for (const ap_info_stu& d : devices) {
                const std::string text =
                    record_text::Ip(d) + " " + record_text::Mac(d) + " " + record_text::Name(d);
                if (search.empty() || text.find(search) != std::string::npos) rows.push_back(d);
            }
            const auto key = [sortKey](const ap_info_stu& d) {
                return sortKey == 0   ? std::string(CText(d.mac))
                       : sortKey == 2 ? record_text::Name(d)
                                      : std::string();
            };
            std::stable_sort(rows.begin(), rows.end(), [&](const ap_info_stu& a, const ap_info_stu& b) {
                if (sortKey == 1) return IpToNumber(record_text::Ip(a)) < IpToNumber(record_text::Ip(b));
                return key(a) < key(b);
            });
            if (!ascending) std::reverse(rows.begin(), rows.end());
            const int n = static_cast<int>(rows.size());
            for (int i = 0; i < n; ++i) {
                if (rows[static_cast<size_t>(i)].ap_status != 0) ++onlineCount;
                if (i >= (page - 1) * pageSize && i < page * pageSize)
                    list.push_back(rows[static_cast<size_t>(i)]);
            }
            pageCount = n / pageSize + (n % pageSize ? 1 : 0);
            return true;
        };
    }
};

CListPage::Config TestStatusConfig()
{
    return {133, 1015, TestStatusColumns(), -1};
}

class ListPageTest : public testing::Test {
protected:
    void SetUp() override
    {
        store.Fill(31);
        page.SetPageLoader(store.Loader());
        page.show();
    }

    CGridCtrl& Grid() { return *page.Grid(); }
    void ChoosePageSize(int size)
    {
        page.PageSizeList()->setCurrentIndex(page.PageSizeList()->findData(size));
    }

    FakeStore store;
    CListPage page{TestStatusConfig()};
};

TEST_F(ListPageTest, FirstLoadIsByIpDescendingAndHeaderClicksAlternate)
{
    EXPECT_TRUE(store.calls.empty());  // nothing is read before the container asks
    page.RefreshPage();
    ASSERT_EQ(store.calls.size(), 1u);
    EXPECT_EQ(store.calls[0].sortKey, 1);
    EXPECT_FALSE(store.calls[0].ascending);
    EXPECT_EQ(Grid().CellText(0, kIp), QStringLiteral("192.168.1.31"));
    EXPECT_EQ(Grid().SortMarkColumn(), kIp);
    EXPECT_FALSE(Grid().SortMarkAscending());

    page.GoToPage(2);
    struct Click {
        int column;
        int sortKey;
        bool ascending;
    };
    // One flag for the whole page: each sorting click takes the other direction.
    const Click clicks[] = {
        {kIp, 1, true}, {kIp, 1, false}, {kMac, 0, true}, {kLocation, 2, false}, {kTime, 12, true}};
    for (const Click& c : clicks) {
        const size_t before = store.calls.size();
        ClickHeader(Grid(), c.column);
        ASSERT_EQ(store.calls.size(), before + 1) << c.column;
        EXPECT_EQ(store.calls.back().sortKey, c.sortKey) << c.column;
        EXPECT_EQ(store.calls.back().ascending, c.ascending) << c.column;
        EXPECT_EQ(store.calls.back().page, 1) << c.column;
        EXPECT_EQ(Grid().SortMarkColumn(), c.column);
        EXPECT_EQ(Grid().SortMarkAscending(), c.ascending);
    }
    EXPECT_EQ(Grid().CellText(0, kTime), LocalToQString(UptimeText(61)));

    // Serial and Operate do not sort; the tick column is check-all.
    const size_t before = store.calls.size();
    for (int column : {kSerial, kOperate, kTick}) ClickHeader(Grid(), column);
    EXPECT_EQ(store.calls.size(), before);
    EXPECT_EQ(page.SortColumn(), kTime);
}

TEST_F(ListPageTest, PageSizeListUsesTheFontOfItsLabel)
{
    const QFont label = FindControl(&page, kIdcListPageSizeLabel)->font();
    EXPECT_EQ(page.PageSizeList()->font().pixelSize(), label.pixelSize());
    EXPECT_EQ(page.PageSizeList()->font().family(), label.family());
    EXPECT_EQ(page.PageSizeList()->view()->font().pixelSize(), label.pixelSize());
}

TEST_F(ListPageTest, ThirtyOneDevicesOverTwoPagesThenOnePageOfFifty)
{
    page.RefreshPage();
    ASSERT_EQ(Grid().RowCount(), 30);
    EXPECT_EQ(Grid().CellText(0, kSerial), QStringLiteral("1"));
    EXPECT_EQ(Grid().CellText(29, kSerial), QStringLiteral("30"));
    EXPECT_EQ(page.Pager()->PageCount(), 2);
    EXPECT_EQ(page.Pager()->CurrentPage(), 1);

    page.GoToPage(2);
    ASSERT_EQ(Grid().RowCount(), 1);
    EXPECT_EQ(Grid().CellText(0, kSerial), QStringLiteral("31"));
    EXPECT_EQ(Grid().CellText(0, kIp), QStringLiteral("192.168.1.1"));
    EXPECT_EQ(page.CurrentPage(), 2);
    EXPECT_EQ(page.Pager()->CurrentPage(), 2);

    ChoosePageSize(50);
    EXPECT_EQ(store.calls.back().pageSize, 50);
    EXPECT_EQ(store.calls.back().page, 1);
    EXPECT_EQ(Grid().RowCount(), 31);
    EXPECT_EQ(Grid().CellText(30, kSerial), QStringLiteral("31"));
    EXPECT_EQ(page.Pager()->PageCount(), 1);
    EXPECT_EQ(page.CurrentPage(), 1);
}

TEST_F(ListPageTest, PageThatNoLongerExistsShowsEmptyGridAndStripOnPageOne)
{
    page.RefreshPage();
    page.GoToPage(2);
    store.Fill(12);
    page.RefreshPage();
    EXPECT_EQ(store.calls.back().page, 2);
    EXPECT_EQ(Grid().RowCount(), 0);
    EXPECT_EQ(page.CurrentPage(), 2);
    EXPECT_EQ(page.Pager()->PageCount(), 1);
    EXPECT_EQ(page.Pager()->CurrentPage(), 1);

    page.GoToPage(0);  // a stray page number loads page 1
    EXPECT_EQ(store.calls.back().page, 1);
    EXPECT_EQ(Grid().RowCount(), 12);
}

TEST_F(ListPageTest, EveryChangedCharacterOfTheSearchReloadsPageOne)
{
    page.RefreshPage();
    page.GoToPage(2);
    const size_t before = store.calls.size();
    const QString typed = QStringLiteral("168.1.2");
    for (int n = 1; n <= typed.size(); ++n) page.SearchEdit()->setText(typed.left(n));
    ASSERT_EQ(store.calls.size(), before + static_cast<size_t>(typed.size()));
    for (size_t i = before; i < store.calls.size(); ++i) {
        EXPECT_EQ(store.calls[i].page, 1);
        EXPECT_EQ(store.calls[i].search, typed.left(static_cast<int>(i - before) + 1).toStdString());
    }
    // 192.168.1.2 and 192.168.1.20 .. 29, highest first.
    EXPECT_EQ(Grid().RowCount(), 11);
    EXPECT_EQ(Grid().CellText(0, kIp), QStringLiteral("192.168.1.29"));
    EXPECT_EQ(page.SearchText(), "168.1.2");
    // The search stays for the next loads.
    page.RefreshPage();
    EXPECT_EQ(store.calls.back().search, "168.1.2");
}

TEST_F(ListPageTest, CheckAllTicksThePageAndSingleTicksLeaveTheHeaderAlone)
{
    page.RefreshPage();
    ClickHeader(Grid(), kTick);
    EXPECT_TRUE(page.CheckAll());
    EXPECT_TRUE(Grid().IsHeaderTicked());
    EXPECT_EQ(Grid().TickedRows().size(), 30u);

    ClickCell(Grid(), 4, kTick);
    EXPECT_FALSE(Grid().IsTicked(4));
    EXPECT_TRUE(Grid().IsHeaderTicked());
    EXPECT_EQ(page.GatherSelection().size(), 29u);

    ClickHeader(Grid(), kTick);
    EXPECT_FALSE(page.CheckAll());
    EXPECT_FALSE(Grid().IsHeaderTicked());
    EXPECT_TRUE(Grid().TickedRows().empty());

    // A load clears check-all along with the ticks.
    ClickHeader(Grid(), kTick);
    page.RefreshPage();
    EXPECT_FALSE(page.CheckAll());
    EXPECT_FALSE(Grid().IsHeaderTicked());
    EXPECT_TRUE(Grid().TickedRows().empty());
}

TEST_F(ListPageTest, TickedRowsBecomeSelectionEntriesInGridOrder)
{
    page.RefreshPage();
    EXPECT_TRUE(page.GatherSelection().empty());
    ClickCell(Grid(), 7, kTick);
    ClickCell(Grid(), 2, kTick);
    ClickCell(Grid(), 29, kTick);
    const std::vector<SelectionEntry> entries = page.GatherSelection();
    ASSERT_EQ(entries.size(), 3u);
    const int rows[] = {2, 7, 29};
    for (size_t i = 0; i < entries.size(); ++i) {
        const ap_info_stu& record = page.RowRecord(rows[i])->record;
        EXPECT_EQ(CText(entries[i].ip), record_text::Ip(record));
        EXPECT_EQ(CText(entries[i].mac), CText(record.mac));
        EXPECT_EQ(entries[i].type_code, record.ap_type);
    }
    EXPECT_EQ(page.FindRow(ListField::Mac, LocalToQString(CText(entries[1].mac))), 7);
    EXPECT_EQ(page.FindRow(ListField::Mac, QStringLiteral("00:00:00:00:00:00")), -1);
}

TEST_F(ListPageTest, OnlineCountAndItemDataOfEveryRow)
{
    page.RefreshPage();
    // Devices 3, 7, ..., 27: seven of 31 are offline; the count covers both pages.
    EXPECT_EQ(page.OnlineCount(), 24);
    EXPECT_EQ(page.OnlineLabel()->text(), QStringLiteral("Online device count:24"));
    for (int r = 0; r < Grid().RowCount(); ++r) {
        EXPECT_EQ(Grid().ItemData(r, kSerial), page.RowRecord(r)->record.ap_status);
    }

    store.fail = true;
    page.RefreshPage();
    EXPECT_EQ(Grid().RowCount(), 0);
    EXPECT_EQ(page.OnlineLabel()->text(), QStringLiteral("Online device count:0"));
    EXPECT_EQ(page.Pager()->PageCount(), 0);
}

TEST_F(ListPageTest, RecordTextsInTheLocalEncodingShowAsWritten)
{
    // The tests run with a UTF-8 (or ASCII, read as UTF-8) local encoding.
    store.devices.resize(1);
    store.devices[0].ap_name_len =
        SetFieldText(store.devices[0].ap_name, "\xE5\xA1\x94\xE6\xA5\xBC");  // 塔楼
    // A length byte that counts a NUL and garbage behind it shows only the text before it.
    store.devices[0].radio_block.security.ssid_len =
        SetFieldText(store.devices[0].radio_block.security.ssid, std::string("net\0junk", 8));
    page.RefreshPage();
    EXPECT_EQ(Grid().CellText(0, kLocation), QString::fromUtf8("\xE5\xA1\x94\xE6\xA5\xBC"));
    EXPECT_EQ(Grid().CellText(0, kSsid), QStringLiteral("net"));
    EXPECT_EQ(QStringToLocal(Grid().CellText(0, kLocation)), "\xE5\xA1\x94\xE6\xA5\xBC");
}

// A page that shows devices heard but not stored after the stored ones, as the status page does.
class DiscoveringPage : public CListPage {
public:
    DiscoveringPage() : CListPage(TestStatusConfig()) {}
    std::vector<ap_info_stu> discovered;

protected:
    void AddPageRows(const PageLoad& load, std::vector<ListRow>& rows) override
    {
        if (load.storedRows >= load.pageSize || (load.page != load.pageCount && load.pageCount != 0)) return;
        const size_t room = static_cast<size_t>(load.pageSize - load.storedRows);
        for (size_t i = 0; i < std::min(room, discovered.size()); ++i) rows.push_back({discovered[i], false});
    }
};

TEST(ListPageRows, DiscoveredRowsFillTheLastPageInTheOfflineColour)
{
    FakeStore store;
    store.Fill(10);
    DiscoveringPage page;
    for (int i = 100; i < 125; ++i) page.discovered.push_back(Device(i, STATUS_DISCOVERED_ONLY));
    page.SetPageLoader(store.Loader());
    page.RefreshPage();

    CGridCtrl& grid = *page.Grid();
    ASSERT_EQ(grid.RowCount(), 30);
    const QColor offline = page.ToneColor(CellTone::Offline);
    for (int r = 0; r < grid.RowCount(); ++r) {
        const bool stored = r < 10;
        EXPECT_EQ(page.RowRecord(r)->stored, stored);
        EXPECT_EQ(grid.Cell(r, kOperate).image, stored ? 0 : -1) << r;
        EXPECT_EQ(grid.IsCellEditable(r, kLocation), stored) << r;
        EXPECT_EQ(grid.CellTextColor(r, kIp), stored ? page.ToneColor(CellTone::Normal) : offline) << r;
        if (!stored) {
            EXPECT_EQ(grid.ItemData(r, kSerial), STATUS_DISCOVERED_ONLY);
        }
    }
    EXPECT_EQ(grid.CellText(29, kSerial), QStringLiteral("30"));
    EXPECT_EQ(page.OnlineCount(), 10 - 2);  // devices 3 and 7 are offline; heard-only rows never count
}

TEST(ListPageRows, PageWithoutTickColumnSortsByItsOwnIpColumnAndGathersNothing)
{
    namespace t = record_text;
    std::vector<ListColumn> columns;
    columns.push_back(ListColumn::Serial(60));
    columns.push_back(ListColumn::Text("Location", 100, 2, t::Name, ListField::Name));
    columns.push_back(ListColumn::Text("Type", 80, 3, t::Model, ListField::Type));
    columns.push_back(ListColumn::Text("IP", 132, 1, t::Ip, ListField::Ip));
    columns.push_back(ListColumn::Text("MAC", 132, 0, t::Mac, ListField::Mac));
    columns.push_back(ListColumn::Text("Status", 70, 13, t::Status, ListField::Status));
    columns.back().tone = StatusTone;
    columns.push_back(ListColumn::Image("Operate", 70, 0));

    FakeStore store;
    store.Fill(8);
    CListPage page({135, 1019, std::move(columns), -1});
    page.SetPageLoader(store.Loader());
    page.RefreshPage();
    EXPECT_EQ(page.SortColumn(), 3);
    EXPECT_EQ(page.Grid()->SortMarkColumn(), 3);
    EXPECT_EQ(page.Grid()->TickColumn(), -1);

    // Column 0 is Serial here: no sort, no check-all.
    page.OnHeaderClicked(0);
    EXPECT_EQ(store.calls.size(), 1u);
    EXPECT_FALSE(page.CheckAll());
    EXPECT_TRUE(page.GatherSelection().empty());

    for (int r = 0; r < page.RowCount(); ++r) {
        const bool online = page.RowRecord(r)->record.ap_status != 0;
        EXPECT_EQ(page.Grid()->CellTextColor(r, 5),
                  page.ToneColor(online ? CellTone::Online : CellTone::Offline));
        EXPECT_EQ(page.Grid()->CellTextColor(r, 3), page.ToneColor(CellTone::Normal));
    }
    EXPECT_EQ(page.RowEntry(0).type_code, page.RowRecord(0)->record.ap_type);
}

// Not a timed assertion: prints how long a 100-row page takes from the loader to the screen.
TEST(ListPageTiming, HundredRowPageLoad)
{
    FakeStore store;
    store.Fill(250);
    CListPage page(TestStatusConfig());
    page.SetPageLoader(store.Loader());
    page.PageSizeList()->setCurrentIndex(page.PageSizeList()->findData(100));
    page.show();
    QElapsedTimer timer;
    double loadMs = 0;
    double paintMs = 0;
    constexpr int kRuns = 5;
    for (int run = 0; run < kRuns; ++run) {
        timer.start();
        page.RefreshPage(1 + run % 2);
        loadMs += static_cast<double>(timer.nsecsElapsed()) / 1e6;
        timer.start();
        (void)page.grab();
        paintMs += static_cast<double>(timer.nsecsElapsed()) / 1e6;
    }
    std::printf("[ timing ] list page, 100 rows: load and fill %.2f ms, paint %.2f ms (mean of %d)\n",
                loadMs / kRuns, paintMs / kRuns, kRuns);
    EXPECT_EQ(page.RowCount(), 100);
}

// Writes pictures of a filled page for a look by eye when PONTIQ_GRID_SNAPSHOTS names a folder.
TEST(ListPageSnapshot, WritesPicturesWhenAsked)
{
    const char* dir = std::getenv("PONTIQ_GRID_SNAPSHOTS");
    if (!dir || !*dir) GTEST_SKIP() << "set PONTIQ_GRID_SNAPSHOTS to a folder to get the pictures";

    FakeStore store;
    store.Fill(35);
    DiscoveringPage page;
    page.discovered.push_back(Device(140, STATUS_DISCOVERED_ONLY));
    page.discovered.push_back(Device(141, STATUS_DISCOVERED_ONLY));
    CGridImageList images;
    QImage web(50, 16, QImage::Format_RGB32);
    web.fill(Qt::white);
    {
        QPainter p(&web);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(237, 112, 32));
        p.drawRoundedRect(QRectF(2, 1, 46, 14), 3, 3);
        p.setPen(Qt::white);
        QFont f(QStringLiteral("Arial"));
        f.setPixelSize(10);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRect(2, 1, 46, 14), Qt::AlignCenter, QStringLiteral("WEB"));
    }
    images.Add(web);
    page.SetImageList(images);
    page.SetPageLoader(store.Loader());
    page.PageSizeList()->setCurrentIndex(page.PageSizeList()->findData(50));
    page.show();
    page.RefreshPage();
    ClickCell(*page.Grid(), 1, kTick);
    ClickCell(*page.Grid(), 3, kTick);
    page.Grid()->selectRow(2);
    const QString folder = QString::fromLocal8Bit(dir);
    ASSERT_TRUE(page.grab().save(QDir(folder).filePath(QStringLiteral("listpage.png"))));
    page.PageSizeList()->setCurrentIndex(page.PageSizeList()->findData(15));
    page.GoToPage(2);
    page.Grid()->EditCell(1, kLocation);
    ASSERT_TRUE(page.grab().save(QDir(folder).filePath(QStringLiteral("listpage_paged.png"))));
    if (QWidget* editor = page.Grid()->indexWidget(page.Grid()->model()->index(1, kLocation))) {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(editor, &escape);  // a reload waits for the edit to end
    }
    page.PageSizeList()->setCurrentIndex(page.PageSizeList()->findData(50));
    page.Grid()->resize(1070, 34 + 36 * 48 + 2);
    ASSERT_TRUE(page.Grid()->grab().save(QDir(folder).filePath(QStringLiteral("grid_rows.png"))));
    page.Grid()->setEnabled(false);
    ASSERT_TRUE(page.Grid()
                    ->grab(QRect(0, 0, 1070, 34 + 4 * 48))
                    .save(QDir(folder).filePath(QStringLiteral("grid_disabled.png"))));
}

}  // namespace
}  // namespace pontiq
