#include <gtest/gtest.h>

#include <QComboBox>
#include <cstring>

#include "app/controls/ct_button_picture.h"
#include "app/controls/ct_edit.h"
#include "app/controls/ct_multi_pages.h"
#include "app/controls/ct_picture.h"
#include "app/controls/ct_static.h"
#include "app/ui/application_dlg.h"
#include "app/ui/child_dlg.h"
#include "app/ui/menu_dlg.h"
#include "app/ui/shell_ids.h"
#include "tests/gui/grid_test_events.h"
#include "tests/gui/status_test_support.h"

namespace pontiq {
namespace {

using test::StatusPageTest;
using testing_engine::Sent;

QString Caption(CStatusDlg& page, int id)
{
    return page.Button(id)->Caption();
}

// ---- Columns ---------------------------------------------------------------------------------

TEST_F(StatusPageTest, FourteenColumnsWithTheirWidthsAndSortKeys)
{
    struct Expected {
        const char* title;
        int width;
        int sortKey;
    };
    const Expected expected[kStatusColumnCount] = {
        {"", 20, kNoSortKey},
        {"Serial", 40, kNoSortKey},
        {"Location", 90, 2},
        {"Type", 80, 3},
        {"IP", 102, 1},
        {"MAC", 112, 0},
        {"OperationMode", 66, 4},
        {"SSID", 100, 5},
        {"Channel", 65, 6},
        {"Version", 60, 9},
        {"Transparent bridge", 100, 10},
        {"Kelvra", 70, 11},
        {"Time", 70, 12},
        {"Operate", 70, kNoSortKey},
    };
    ASSERT_EQ(Grid().ColumnCount(), kStatusColumnCount);
    for (int c = 0; c < kStatusColumnCount; ++c) {
        EXPECT_EQ(Grid().ColumnTitle(c), QString::fromLatin1(expected[c].title)) << c;
        EXPECT_EQ(Grid().columnWidth(c), expected[c].width) << c;
        EXPECT_EQ(page->Columns()[static_cast<size_t>(c)].sortKey, expected[c].sortKey) << c;
        // Columns without a key of their own load by IP when asked for one.
        EXPECT_EQ(page->SortKeyOf(c), expected[c].sortKey < 0 ? kDefaultSortKey : expected[c].sortKey) << c;
    }
    EXPECT_EQ(page->SortColumn(), kStatusColIp);
    EXPECT_TRUE(page->SortDescending());
    EXPECT_EQ(Grid().TickColumn(), kStatusColTick);

    // Control ids the layout gives the page's own controls.
    for (int id :
         {kIdcStatusScanMac, kIdcStatusSearch, kIdcStatusSetIp, kIdcStatusSetBridge, kIdcStatusKelvra}) {
        EXPECT_EQ(ControlId(page->Button(id)), id);
        EXPECT_TRUE(page->Button(id)->isVisible()) << id;
    }
    EXPECT_EQ(ControlId(page->Animation()), kIdcStatusAnimation);
    EXPECT_FALSE(page->Animation()->isVisible());
    EXPECT_EQ(ControlId(page->Grid()), kIdcStatusGrid);
    EXPECT_EQ(page->Timer(kTimerStatusSearch)->property(kTimerIdProperty).toInt(), kTimerStatusSearch);
    EXPECT_EQ(page->Timer(kTimerStatusReload)->property(kTimerIdProperty).toInt(), kTimerStatusReload);
    EXPECT_EQ(Caption(*page, kIdcStatusSearch), QStringLiteral("Search"));
    EXPECT_EQ(Caption(*page, kIdcStatusScanMac), QStringLiteral("ScanMac"));
}

// ---- Search run ------------------------------------------------------------------------------

TEST_F(StatusPageTest, SearchRunDiscoversAndReloadsEveryThirdSecondAndEndsAtFifty)
{
    // How many requests one discovery sends on this adapter set.
    engine_->Discover();
    const size_t perDiscovery = SentOfType(MSG_DISCOVER).size();
    ASSERT_GT(perDiscovery, 0u);

    page->SearchEdit()->setText(QStringLiteral("168"));
    page->GoToPage(2);
    std::vector<int> loads;
    QObject::connect(page.get(), &CListPage::pageLoaded, page.get(),
                     [&](int p, int, int) { loads.push_back(p); });

    page->OnSearchClicked();
    ASSERT_TRUE(page->Searching());
    EXPECT_EQ(SentOfType(MSG_DISCOVER).size(), perDiscovery);  // the search's own first discovery
    EXPECT_EQ(loads, std::vector<int>{1});                     // once, with the search text gone
    EXPECT_TRUE(page->SearchEdit()->text().isEmpty());
    EXPECT_TRUE(page->SearchText().empty());
    EXPECT_EQ(Caption(*page, kIdcStatusSearch), QStringLiteral("Stop"));
    EXPECT_EQ(Caption(*page, kIdcStatusScanMac), QStringLiteral("ScanMac"));
    EXPECT_TRUE(page->Animation()->isVisible());
    EXPECT_FALSE(page->SearchEdit()->isEnabled());
    EXPECT_FALSE(Grid().isEnabled());
    EXPECT_FALSE(page->PageSizeList()->isEnabled());
    EXPECT_EQ(navigation, std::vector<bool>{false});
    EXPECT_EQ(autoRefresh, std::vector<int32_t>{0});
    EXPECT_TRUE(page->Timer(kTimerStatusSearch)->isActive());
    EXPECT_EQ(page->Timer(kTimerStatusSearch)->interval(), 1000);

    loads.clear();
    std::vector<int> discoveryTicks;
    for (int tick = 1; tick < 50; ++tick) {
        page->OnTimer(kTimerStatusSearch);
        const size_t sent = SentOfType(MSG_DISCOVER).size();
        if (sent) {
            EXPECT_EQ(sent, perDiscovery) << tick;
            discoveryTicks.push_back(tick);
        }
        ASSERT_TRUE(page->Searching()) << tick;
    }
    std::vector<int> expectedTicks;
    for (int t = 3; t < 50; t += 3) expectedTicks.push_back(t);
    EXPECT_EQ(discoveryTicks, expectedTicks);
    EXPECT_EQ(loads, std::vector<int>(expectedTicks.size(), 1));

    loads.clear();
    page->OnTimer(kTimerStatusSearch);  // the 50th second
    EXPECT_FALSE(page->Searching());
    EXPECT_TRUE(SentOfType(MSG_DISCOVER).empty());
    EXPECT_EQ(loads, std::vector<int>{1});  // the current page, which the run left at 1
    EXPECT_FALSE(page->Timer(kTimerStatusSearch)->isActive());
    EXPECT_EQ(Caption(*page, kIdcStatusSearch), QStringLiteral("Search"));
    EXPECT_FALSE(page->Animation()->isVisible());
    EXPECT_TRUE(page->SearchEdit()->isEnabled());
    EXPECT_TRUE(Grid().isEnabled());
    EXPECT_TRUE(page->PageSizeList()->isEnabled());
    EXPECT_EQ(navigation, (std::vector<bool>{false, true}));
    EXPECT_EQ(autoRefresh, (std::vector<int32_t>{0, 1}));

    // A late tick of a finished run does nothing.
    loads.clear();
    page->OnTimer(kTimerStatusSearch);
    EXPECT_TRUE(loads.empty());
    EXPECT_TRUE(SentOfType(MSG_DISCOVER).empty());
}

TEST_F(StatusPageTest, StopInTheMiddleRestoresEverythingAndLaterTicksDoNothing)
{
    page->OnSearchClicked();
    for (int tick = 1; tick <= 10; ++tick) page->OnTimer(kTimerStatusSearch);
    EXPECT_EQ(page->SearchTicks(), 10);
    sender_->Take();

    page->OnSearchClicked();  // Stop
    EXPECT_FALSE(page->Searching());
    EXPECT_FALSE(page->Timer(kTimerStatusSearch)->isActive());
    EXPECT_EQ(Caption(*page, kIdcStatusSearch), QStringLiteral("Search"));
    EXPECT_TRUE(Grid().isEnabled());
    EXPECT_EQ(navigation, (std::vector<bool>{false, true}));
    EXPECT_EQ(autoRefresh, (std::vector<int32_t>{0, 1}));

    for (int tick = 0; tick < 5; ++tick) page->OnTimer(kTimerStatusSearch);
    EXPECT_TRUE(SentOfType(MSG_DISCOVER).empty());
    EXPECT_EQ(page->SearchTicks(), 10);

    // A new run starts counting from 0 again.
    page->OnSearchClicked();
    EXPECT_EQ(page->SearchTicks(), 0);
    EXPECT_FALSE(SentOfType(MSG_DISCOVER).empty());  // the new run's own first request
    page->OnTimer(kTimerStatusSearch);
    page->OnTimer(kTimerStatusSearch);
    EXPECT_TRUE(SentOfType(MSG_DISCOVER).empty());
    page->OnTimer(kTimerStatusSearch);
    EXPECT_FALSE(SentOfType(MSG_DISCOVER).empty());
}

TEST_F(StatusPageTest, ScanMacSearchesForTheConfirmedMacAndEitherButtonStopsIt)
{
    // Cancelled: no search.
    page->OnScanMacClicked();
    EXPECT_FALSE(page->Searching());
    EXPECT_FALSE(engine_->IsTargetMacMode());
    EXPECT_TRUE(sender_->Take().empty());

    scanMacAnswer = MacAddress{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
    page->OnScanMacClicked();
    ASSERT_TRUE(page->Searching());
    EXPECT_TRUE(engine_->IsTargetMacMode());
    bool rawFrame = false;
    for (const Sent& s : sender_->Take()) rawFrame = rawFrame || s.kind == Sent::Raw;
    EXPECT_TRUE(rawFrame);  // the MAC search's frame through the capture device
    EXPECT_EQ(Caption(*page, kIdcStatusScanMac), QStringLiteral("Stop"));
    EXPECT_EQ(Caption(*page, kIdcStatusSearch), QStringLiteral("Search"));

    // Search while the MAC search runs stops it instead of starting another.
    page->OnSearchClicked();
    EXPECT_FALSE(page->Searching());
    EXPECT_EQ(Caption(*page, kIdcStatusScanMac), QStringLiteral("ScanMac"));
    EXPECT_TRUE(sender_->Take().empty());

    // Search, then ScanMac stops it without asking for a MAC.
    page->OnSearchClicked();
    EXPECT_FALSE(engine_->IsTargetMacMode());
    scanMacAnswer.reset();
    page->OnScanMacClicked();
    EXPECT_FALSE(page->Searching());
    EXPECT_EQ(Caption(*page, kIdcStatusSearch), QStringLiteral("Search"));
}

TEST_F(StatusPageTest, WithoutHooksTheSearchHoldsTheMainWindowsPanelAndContainer)
{
    CApplicationDlg main(nullptr, [&](int pageId, QWidget* parent) -> QWidget* {
        if (pageId != kPageStatus) return nullptr;
        return new CStatusDlg(CStatusDlg::Services{engine_.get(), store_.get()}, parent);
    });
    CChildDlg* container = main.PageContainer();
    auto* status = qobject_cast<CStatusDlg*>(container->Page(kPageStatus));
    ASSERT_NE(status, nullptr);
    status->OnSearchClicked();
    EXPECT_FALSE(main.MenuPanel()->PanelEnabled());
    EXPECT_EQ(container->AutoRefresh(), 0);
    status->OnSearchClicked();
    EXPECT_TRUE(main.MenuPanel()->PanelEnabled());
    EXPECT_EQ(container->AutoRefresh(), 1);
}

// ---- Discovered-only rows --------------------------------------------------------------------

TEST_F(StatusPageTest, DevicesOnlyHeardFillTheLastPageInTheOfflineColour)
{
    struct Case {
        int stored;
        int heard;
        int page;
        int storedRows;  // stored rows on that page, first
        int heardRows;   // then rows of heard devices
        int pageCount;
    };
    const Case cases[] = {
        {10, 25, 1, 10, 20, 1},  // the page fills up to its size
        {10, 25, 2, 0, 0, 1},    // beyond the last page nothing shows
        {40, 25, 1, 30, 0, 2},   // a full page has no room
        {40, 25, 2, 10, 20, 2},  // the last page takes the rest
        {0, 5, 1, 0, 5, 0},      // an empty store: the heard devices alone
    };
    int heardSoFar = 0;
    int storedSoFar = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.stored << " stored, " << c.heard << " heard, page " << c.page);
        if (c.stored != storedSoFar || c.heard != heardSoFar) {
            TearDown();
            SetUp();
            Store(0, c.stored);
            Hear(0, c.heard);
            storedSoFar = c.stored;
            heardSoFar = c.heard;
        }
        page->GoToPage(c.page);
        ASSERT_EQ(page->RowCount(), c.storedRows + c.heardRows);
        EXPECT_EQ(page->PageCount(), c.pageCount);
        EXPECT_EQ(page->OnlineCount(), c.stored);  // heard devices are not counted
        const QColor offline = page->ToneColor(CellTone::Offline);
        const QColor normal = page->ToneColor(CellTone::Normal);
        for (int r = 0; r < page->RowCount(); ++r) {
            const bool stored = r < c.storedRows;
            EXPECT_EQ(page->RowRecord(r)->stored, stored) << r;
            EXPECT_EQ(Grid().ItemData(r, kStatusColSerial), stored ? STATUS_ONLINE : STATUS_DISCOVERED_ONLY)
                << r;
            for (int column : {kStatusColSerial, kStatusColIp, kStatusColMac, kStatusColVersion}) {
                EXPECT_EQ(Grid().CellTextColor(r, column), stored ? normal : offline) << r << ":" << column;
            }
            EXPECT_EQ(Grid().Cell(r, kStatusColOperate).image, stored ? 0 : -1) << r;
            EXPECT_EQ(Grid().CellText(r, kStatusColSerial), QString::number(1 + r + 30 * (c.page - 1)));
        }
        if (c.heardRows > 0) {
            // In the engine's table order, after every stored row.
            const int first = c.storedRows;
            EXPECT_EQ(Grid().CellText(first, kStatusColIp), QString::fromStdString(test::HeardIp(0)));
            EXPECT_EQ(Grid().CellText(first, kStatusColVersion), QStringLiteral("V1.0"));
        }
    }
}

TEST_F(StatusPageTest, HeardDevicesFollowTheSearchText)
{
    Store(0, 3);
    Hear(0, 12);  // 192.168.0.100 .. 111
    page->SearchEdit()->setText(QStringLiteral("0.11"));
    // Stored 192.168.0.11 (device 1), heard 192.168.0.110 and .111.
    ASSERT_EQ(page->RowCount(), 3);
    EXPECT_TRUE(page->RowRecord(0)->stored);
    EXPECT_EQ(Grid().CellText(1, kStatusColIp), QStringLiteral("192.168.0.110"));
    EXPECT_EQ(Grid().CellText(2, kStatusColIp), QStringLiteral("192.168.0.111"));
}

TEST_F(StatusPageTest, OperateOpensTheWebPageOfStoredRowsOnlyAndHeardRowsCannotBeRenamed)
{
    Store(0, 2);
    Hear(0, 2);
    page->RefreshPage();
    ASSERT_EQ(page->RowCount(), 4);

    test::ClickCell(Grid(), 0, kStatusColOperate);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl(QStringLiteral("http://") + Grid().CellText(0, kStatusColIp)));

    // Other columns, and the rows of devices only heard, open nothing.
    test::ClickCell(Grid(), 0, kStatusColIp);
    test::ClickCell(Grid(), 2, kStatusColOperate);
    test::ClickCell(Grid(), 3, kStatusColOperate);
    EXPECT_EQ(opened.size(), 1u);

    QLineEdit* editor = OpenLocationEditor(0);
    ASSERT_NE(editor, nullptr);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(editor, &escape);
    QApplication::processEvents();
    EXPECT_FALSE(Grid().IsEditing());
    for (int row : {2, 3}) {
        test::ClickCell(Grid(), row, kStatusColLocation);
        test::ClickCell(Grid(), row, kStatusColLocation);
        EXPECT_FALSE(Grid().IsEditing()) << row;
        EXPECT_EQ(OpenLocationEditor(row), nullptr) << row;
    }
    EXPECT_TRUE(SentOfType(MSG_SET_NAME).empty());
}

// ---- Rename ----------------------------------------------------------------------------------

TEST_F(StatusPageTest, RenameSendsTheCheckedNameOrPutsTheOldOneBack)
{
    const QString ruleA = QStringLiteral(
        "Device name maximum allowed 32 bytes, only support combination of Chinese, lowercase letters, 0-9 "
        "numbers");
    const QString ruleB = QStringLiteral(
        "Device name maximum allowed 32 bytes, only support combination of Chinese, ASCII characters");
    const QString tenIdeographs = QString::fromUtf8("一二三四五六七八九十");
    struct Case {
        uint16_t type;
        QString typed;
        QString message;   // empty: none
        QString cell;      // what the cell shows afterwards
        std::string sent;  // bytes of the name sent; empty: nothing sent
    };
    const Case cases[] = {
        {21, QStringLiteral("Roof Top #2"), {}, QStringLiteral("Roof Top #2"), "Roof Top #2"},
        {4,
         QStringLiteral("Roof Top #2"),
         ruleA,
         QStringLiteral("dev0"),
         {}},  // blank and '#' are not rule A
        {4, QStringLiteral("roof-2_top"), {}, QStringLiteral("roof-2_top"), "roof-2_top"},
        {17, QString(40, QLatin1Char('a')), ruleA, QStringLiteral("dev0"), {}},
        {21, QString(40, QLatin1Char('a')), ruleB, QStringLiteral("dev0"), {}},
        {21, QString(32, QLatin1Char('a')), {}, QString(32, QLatin1Char('a')), std::string(32, 'a')},
        {261,
         tenIdeographs + QStringLiteral("ab"),
         {},
         tenIdeographs + QStringLiteral("ab"),
         (tenIdeographs + QStringLiteral("ab")).toStdString()},
        {276, tenIdeographs + QStringLiteral("abc"), ruleA, QStringLiteral("dev0"), {}},  // 33 bytes
        {21, QString::fromUtf8("caf\xc3\xa9"), ruleB, QStringLiteral("dev0"), {}},        // é is neither
        {21, QString(), {}, QStringLiteral("dev0"), {}},                                  // empty: no message
        {21, QStringLiteral("dev0"), {}, QStringLiteral("dev0"), {}},                     // unchanged
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << ", \"" << c.typed.toStdString() << '"');
        TearDown();
        SetUp();
        Store(test::StoredDevice(0, c.type));
        page->RefreshPage();
        sender_->Take();
        messages.requests.clear();

        Rename(0, c.typed);
        page->RenameWorker().Wait();

        EXPECT_EQ(Grid().CellText(0, kStatusColLocation), c.cell);
        if (c.message.isEmpty()) {
            EXPECT_TRUE(messages.requests.empty());
        } else {
            ASSERT_EQ(messages.requests.size(), 1u);
            EXPECT_EQ(messages.requests[0].text, c.message);
            EXPECT_EQ(messages.requests[0].icon, MessageIcon::Warning);
            EXPECT_TRUE(messages.requests[0].caption.isEmpty());
        }
        const std::vector<Sent> names = SentOfType(MSG_SET_NAME);
        if (c.sent.empty()) {
            EXPECT_TRUE(names.empty());
            EXPECT_FALSE(page->Timer(kTimerStatusReload)->isActive());
            continue;
        }
        ASSERT_EQ(names.size(), 1u);
        EXPECT_EQ(names[0].Mac(), "00:1a:2b:00:00:00");
        const testing_engine::Bytes payload = names[0].Payload();
        ASSERT_EQ(payload.size(), sizeof(NAME_PAYLOAD));
        EXPECT_EQ(payload[32], c.sent.size());
        EXPECT_EQ(std::string(payload.begin(), payload.begin() + static_cast<long>(c.sent.size())), c.sent);
        EXPECT_TRUE(std::all_of(payload.begin() + static_cast<long>(c.sent.size()), payload.begin() + 32,
                                [](uint8_t b) { return b == 0; }));
        EXPECT_EQ(page->LastRenameTarget().ip, "192.168.0.10");
        EXPECT_EQ(page->LastRenameTarget().typeCode, c.type);
        EXPECT_TRUE(page->Timer(kTimerStatusReload)->isActive());
        EXPECT_EQ(page->Timer(kTimerStatusReload)->interval(), 2000);
    }
}

TEST_F(StatusPageTest, ReloadTimerReloadsOnceAndShowsTheStoredName)
{
    Store(0, 1);
    page->RefreshPage();
    Rename(0, QStringLiteral("north"));
    page->RenameWorker().Wait();
    // Until the device confirms, the store (and so the reload) holds the old name; after its
    // success answer the reload shows the new one.
    int loads = 0;
    QObject::connect(page.get(), &CListPage::pageLoaded, page.get(), [&] { ++loads; });
    page->OnTimer(kTimerStatusReload);
    EXPECT_EQ(loads, 1);
    EXPECT_FALSE(page->Timer(kTimerStatusReload)->isActive());
    EXPECT_EQ(Grid().CellText(0, kStatusColLocation), QStringLiteral("dev0"));

    const MacAddress mac = {0x00, 0x1a, 0x2b, 0x00, 0x00, 0x00};
    Receive(ReceiveQueue::Reply, "192.168.0.10", BuildResultReply(21, MSG_SET_NAME, mac, 0));
    page->OnTimer(kTimerStatusReload);
    EXPECT_EQ(Grid().CellText(0, kStatusColLocation), QStringLiteral("north"));
}

TEST_F(StatusPageTest, ReloadDuringALocationEditWaitsForTheEditAndTheRenameIsSent)
{
    // Every way a reload reaches the page while the user types: the page's 2-second timer, the
    // container's refresh, the page-number strip.
    struct Case {
        const char* what;
        std::function<void(CStatusDlg&)> reload;
        int page;  // the page loaded once the edit has ended
    };
    const Case cases[] = {
        {"reload timer", [](CStatusDlg& p) { p.OnTimer(kTimerStatusReload); }, 1},
        {"container refresh", [](CStatusDlg& p) { p.RefreshPage(); }, 1},
        {"page strip", [](CStatusDlg& p) { p.GoToPage(2); }, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        page->PageSizeList()->setCurrentIndex(0);  // 15 rows
        Store(0, 16);
        page->RefreshPage();
        sender_->Take();
        int loads = 0;
        QObject::connect(page.get(), &CListPage::pageLoaded, page.get(), [&] { ++loads; });

        const int row = page->FindRow(ListField::Ip, QStringLiteral("192.168.0.20"));
        ASSERT_GE(row, 0);
        QLineEdit* editor = OpenLocationEditor(row);
        ASSERT_NE(editor, nullptr);
        editor->setText(QStringLiteral("roof"));
        c.reload(*page);
        QApplication::processEvents();
        EXPECT_EQ(loads, 0);
        EXPECT_TRUE(page->ReloadHeld());
        ASSERT_TRUE(Grid().IsEditing());
        EXPECT_EQ(editor->text(), QStringLiteral("roof"));

        editor->setText(QStringLiteral("roof-9"));
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(editor, &enter);
        QApplication::processEvents();  // the editor closes; then the held load runs
        EXPECT_FALSE(Grid().IsEditing());
        EXPECT_TRUE(messages.requests.empty());
        page->RenameWorker().Wait();
        const std::vector<Sent> names = SentOfType(MSG_SET_NAME);
        ASSERT_EQ(names.size(), 1u);
        EXPECT_EQ(names[0].Mac(), "00:1a:2b:00:00:0a");
        const testing_engine::Bytes payload = names[0].Payload();
        EXPECT_EQ(std::string(payload.begin(), payload.begin() + 6), "roof-9");

        // The held load ran once, after the rename had read its row.
        QApplication::processEvents();
        EXPECT_EQ(loads, 1);
        EXPECT_FALSE(page->ReloadHeld());
        EXPECT_EQ(page->CurrentPage(), c.page);
        EXPECT_TRUE(page->Timer(kTimerStatusReload)->isActive());
    }
}

TEST(StatusRenameRoutine, StopRequestedBeforeTheSendSendsNothing)
{
    struct Fixture : testing_engine::EngineTest {
        void TestBody() override {}
    } f;
    f.SetUp();
    const RenameTarget target{"192.168.0.20", "00:1a:2b:00:00:09", 21, "gate"};
    std::atomic<bool> stop{true};
    EXPECT_FALSE(RunRename(*f.engine_, target, stop));
    EXPECT_TRUE(f.sender_->Take().empty());
    stop = false;
    EXPECT_TRUE(RunRename(*f.engine_, target, stop));
    EXPECT_EQ(f.sender_->Take().size(), 1u);
    f.TearDown();
}

// ---- Multi-device commands -------------------------------------------------------------------

TEST_F(StatusPageTest, SetIpNeedsATickAndOpensTheDialogWithTheFirstStoredBlock)
{
    Store(0, 3);
    page->RefreshPage();
    page->OnSetIpClicked();
    EXPECT_EQ(messages.Texts(), std::vector<QString>{QStringLiteral("Please select the devices!")});
    EXPECT_EQ(messages.requests[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(messages.requests[0].caption.isEmpty());
    EXPECT_TRUE(ipDialogs.empty());

    // Descending by IP: rows 192.168.0.12, .11, .10.
    test::ClickCell(Grid(), 2, kStatusColTick);
    test::ClickCell(Grid(), 1, kStatusColTick);
    int loads = 0;
    QObject::connect(page.get(), &CListPage::pageLoaded, page.get(), [&] { ++loads; });
    page->OnSetIpClicked();
    EXPECT_EQ(loads, 1) << "the page reloads once the dialog has closed";
    ASSERT_EQ(ipDialogs.size(), 1u);
    ASSERT_EQ(ipDialogs[0].selection.size(), 2u);
    EXPECT_EQ(CText(ipDialogs[0].selection[0].ip), "192.168.0.11");
    EXPECT_EQ(CText(ipDialogs[0].selection[1].ip), "192.168.0.10");
    EXPECT_EQ(ipDialogs[0].selection[0].type_code, 21);
    const ap_info_stu first = test::StoredDevice(1);
    EXPECT_EQ(std::memcmp(&ipDialogs[0].initial, &first.ip_block, sizeof(IP_BLOCK)), 0);
    EXPECT_EQ(page->Selection().size(), 2u);
}

TEST_F(StatusPageTest, SwitchCommandsTakeOnlyConfigurableRows)
{
    // Type 4 shows N/A for the bridge; type 6 has Kelvra, type 21 has not; work mode 5 is N/A.
    ap_info_stu bridgeNa = test::StoredDevice(0, 4);
    ap_info_stu p2mp = test::StoredDevice(1, 6);
    p2mp.work_mode = 5;
    p2mp.extension_block.tdmaEn = 1;
    ap_info_stu plain = test::StoredDevice(2, 21);
    plain.extension_block.bridge_transparent = 1;
    Store(bridgeNa);
    Store(p2mp);
    Store(plain);
    page->RefreshPage();
    const int rowNa = page->FindRow(ListField::Ip, QStringLiteral("192.168.0.10"));
    const int rowP2mp = page->FindRow(ListField::Ip, QStringLiteral("192.168.0.11"));
    const int rowPlain = page->FindRow(ListField::Ip, QStringLiteral("192.168.0.12"));
    ASSERT_EQ(Grid().CellText(rowNa, kStatusColBridge), QStringLiteral("N/A"));
    ASSERT_EQ(Grid().CellText(rowP2mp, kStatusColBridge), QStringLiteral("N/A"));
    ASSERT_EQ(Grid().CellText(rowPlain, kStatusColKelvra), QStringLiteral("N/A"));

    // Nothing ticked, or only N/A rows ticked.
    page->OnSetBridgeClicked();
    Grid().SetTicked(rowNa, true);
    Grid().SetTicked(rowP2mp, true);
    page->OnSetBridgeClicked();
    EXPECT_EQ(messages.Texts(),
              std::vector<QString>(2, QStringLiteral("Please select configurable devices!")));
    EXPECT_TRUE(bridgeDialogs.empty());

    Grid().SetTicked(rowPlain, true);
    page->OnSetBridgeClicked();
    ASSERT_EQ(bridgeDialogs.size(), 1u);
    ASSERT_EQ(bridgeDialogs[0].selection.size(), 1u);
    EXPECT_EQ(CText(bridgeDialogs[0].selection[0].ip), "192.168.0.12");
    EXPECT_EQ(bridgeDialogs[0].initial, 1);
    EXPECT_EQ(page->FeatureBlock().bridge_transparent, 1);
    EXPECT_EQ(page->FeatureBlock().tdmaEn, 0);

    page->OnKelvraClicked();
    ASSERT_EQ(kelvraDialogs.size(), 1u);
    ASSERT_EQ(kelvraDialogs[0].selection.size(), 1u);
    EXPECT_EQ(CText(kelvraDialogs[0].selection[0].ip), "192.168.0.11");
    EXPECT_EQ(kelvraDialogs[0].initial, 1);
    EXPECT_EQ(page->FeatureBlock().bridge_transparent, 0);  // zeroed for the other feature
    EXPECT_EQ(page->FeatureBlock().tdmaEn, 1);
    EXPECT_EQ(page->Selection().size(), 1u);

    Grid().SetTicked(rowP2mp, false);
    page->OnKelvraClicked();
    EXPECT_EQ(messages.requests.size(), 3u);
    EXPECT_EQ(kelvraDialogs.size(), 1u);
}

TEST_F(StatusPageTest, FinishedSwitchRoutineReloadsThePageTwoSecondsLater)
{
    for (CApplyWorker* worker : {&page->BridgeWorker(), &page->KelvraWorker()}) {
        page->Timer(kTimerStatusReload)->stop();
        worker->Start([](const std::atomic<bool>&) {});
        worker->Wait();
        QApplication::processEvents();  // the worker's finished signal is queued to the page
        EXPECT_TRUE(page->Timer(kTimerStatusReload)->isActive());
    }
    // The IP routine's dialog follows the devices itself.
    page->Timer(kTimerStatusReload)->stop();
    page->IpWorker().Start([](const std::atomic<bool>&) {});
    page->IpWorker().Wait();
    QApplication::processEvents();
    EXPECT_FALSE(page->Timer(kTimerStatusReload)->isActive());
}

}  // namespace
}  // namespace pontiq
