#include <gtest/gtest.h>

#include <QLineEdit>

#include "app/controls/ct_button_picture.h"
#include "app/controls/ct_edit.h"
#include "app/controls/ct_static.h"
#include "app/ui/shell_ids.h"
#include "tests/gui/config_test_support.h"
#include "tests/gui/grid_test_events.h"
#include "ui/config/management_dlg.h"
#include "ui/grid/grid_ctrl.h"

namespace pontiq {
namespace {

using test::StoredDevice;

class ManagementPageTest : public testing_engine::EngineTest {
public:
    void SetUp() override
    {
        EngineTest::SetUp();
        page =
            std::make_unique<CManagementDlg>(CManagementDlg::Services{engine_.get(), store_.get()}, nullptr);
        page->SetShellHooks({[this](int32_t flag) { autoRefresh.push_back(flag); }});
        page->SetSheetRunner([this](CManagementConfigDlg& sheet) {
            opened.push_back(sheet.Record());
            refreshWhileOpen.push_back(autoRefresh.empty() ? -1 : autoRefresh.back());
            if (drive) drive(sheet);
        });
        page->show();
    }

    void TearDown() override
    {
        page.reset();
        EngineTest::TearDown();
    }

    void Store(int first, int count, uint16_t type = 21)
    {
        for (int i = first; i < first + count; ++i) ASSERT_TRUE(store_->SaveDevice(StoredDevice(i, type)));
    }

    CGridCtrl& Grid() { return *page->Grid(); }

    std::unique_ptr<CManagementDlg> page;
    std::vector<int32_t> autoRefresh;
    std::vector<ap_info_stu> opened;
    std::vector<int32_t> refreshWhileOpen;
    std::function<void(CManagementConfigDlg&)> drive;
    test::MessageRecorder messages;
};

TEST_F(ManagementPageTest, ElevenColumnsWithTheirWidthsAndSortKeys)
{
    struct Expected {
        const char* title;
        int width;
        int sortKey;
    };
    const Expected expected[kManagementColumnCount] = {
        {"Serial", 60, kNoSortKey},
        {"Location", 100, 2},
        {"Type", 80, 3},
        {"IP", 132, 1},
        {"MAC", 132, 0},
        {"OperationMode", 96, 4},
        {"SSID", 130, 5},
        {"Channel", 80, 6},
        {"SecureMode", 90, 7},
        {"Power", 70, 8},
        {"Operate", 70, kNoSortKey},
    };
    ASSERT_EQ(Grid().ColumnCount(), kManagementColumnCount);
    for (int c = 0; c < kManagementColumnCount; ++c) {
        EXPECT_EQ(Grid().ColumnTitle(c), QString::fromLatin1(expected[c].title)) << c;
        EXPECT_EQ(Grid().columnWidth(c), expected[c].width) << c;
        EXPECT_EQ(page->SortKeyOf(c), expected[c].sortKey < 0 ? kDefaultSortKey : expected[c].sortKey) << c;
    }
    EXPECT_EQ(ControlId(page.get()), kPageManagement);
    EXPECT_EQ(ControlId(page->Grid()), kIdcManagementGrid);
}

TEST_F(ManagementPageTest, RowsShowTheRecordAndStartSortedByIpDescending)
{
    Store(1, 3);
    ap_info_stu powered = StoredDevice(4);
    powered.radio_block.tx_power = 27;
    ASSERT_TRUE(store_->SaveDevice(powered));
    page->RefreshPage(1);
    ASSERT_EQ(page->RowCount(), 4);
    EXPECT_EQ(page->SortColumn(), kManagementColIp);
    EXPECT_TRUE(page->SortDescending());
    EXPECT_EQ(page->CellText(0, ListField::Ip), QStringLiteral("192.168.0.14"));
    EXPECT_EQ(Grid().CellText(0, kManagementColSerial), QStringLiteral("1"));
    EXPECT_EQ(Grid().CellText(0, kManagementColPower), QStringLiteral("27"));
    EXPECT_EQ(Grid().CellText(0, kManagementColLocation), QStringLiteral("dev4"));
    EXPECT_EQ(Grid().Cell(0, kManagementColOperate).image, 0);
    EXPECT_EQ(page->OnlineLabel()->text(), QStringLiteral("Online device count:4"));
}

TEST_F(ManagementPageTest, HeaderClicksSortOnlyTheDataColumns)
{
    Store(1, 3);
    page->RefreshPage(1);
    for (int column : {kManagementColSerial, kManagementColOperate}) {
        test::ClickHeader(Grid(), column);
        EXPECT_EQ(page->SortColumn(), kManagementColIp) << column;
        EXPECT_TRUE(page->SortDescending()) << column;
        EXPECT_EQ(page->CellText(0, ListField::Ip), QStringLiteral("192.168.0.13"));
    }
    test::ClickHeader(Grid(), kManagementColIp);  // the first click sorts ascending
    EXPECT_FALSE(page->SortDescending());
    EXPECT_EQ(page->CellText(0, ListField::Ip), QStringLiteral("192.168.0.11"));
}

TEST_F(ManagementPageTest, OperateOpensTheSheetWithRefreshSuspendedAndReloadsTwoSecondsLater)
{
    Store(1, 2, 25);
    page->RefreshPage(1);
    const int row =
        page->FindRow(ListField::Mac, QString::fromStdString(std::string(CText(StoredDevice(1).mac))));
    ASSERT_GE(row, 0);

    test::ClickCell(Grid(), row, kManagementColIp);  // only the Operate cell opens it
    EXPECT_TRUE(opened.empty());

    test::ClickCell(Grid(), row, kManagementColOperate);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(CText(opened[0].mac), CText(StoredDevice(1).mac));
    EXPECT_EQ(+opened[0].ap_type, 25);
    EXPECT_EQ(refreshWhileOpen, std::vector<int32_t>{0});
    EXPECT_EQ(autoRefresh, (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(CText(page->Pending().target_ip), "192.168.0.11");
    EXPECT_EQ(CText(page->Pending().target_mac), CText(StoredDevice(1).mac));
    EXPECT_EQ(page->Pending().type_code, 25u);

    QTimer* reload = page->Timer(kTimerManagementReload);
    ASSERT_NE(reload, nullptr);
    EXPECT_TRUE(reload->isActive());
    EXPECT_TRUE(reload->isSingleShot());
    EXPECT_EQ(reload->interval(), 2000);
    EXPECT_EQ(reload->property(kTimerIdProperty).toInt(), kTimerManagementReload);

    // The reload shows what the store holds by then.
    ap_info_stu renamed = StoredDevice(1, 25);
    renamed.ap_name_len = SetFieldText(renamed.ap_name, "renamed");
    ASSERT_TRUE(store_->SaveDevice(renamed));
    page->OnTimer(kTimerManagementReload);
    EXPECT_FALSE(reload->isActive());
    EXPECT_EQ(page->CellText(page->FindRow(ListField::Name, QStringLiteral("renamed")), ListField::Mac)
                  .toStdString(),
              CText(StoredDevice(1).mac));
}

TEST_F(ManagementPageTest, ASavedSheetSendsThroughThePagesSenderToTheRowsDevice)
{
    Store(1, 2);
    page->RefreshPage(1);
    drive = [](CManagementConfigDlg& sheet) {
        sheet.IpPage()->NameEdit()->setText(QStringLiteral("from-page"));
        EXPECT_TRUE(sheet.Save());
    };
    const int row = page->FindRow(ListField::Ip, QStringLiteral("192.168.0.12"));
    sender_->Take();
    test::ClickCell(Grid(), row, kManagementColOperate);
    page->Sender().Wait();
    std::vector<testing_engine::Sent> sent;
    for (testing_engine::Sent& s : sender_->Take()) {
        if (s.kind == testing_engine::Sent::Multicast) sent.push_back(s);
    }
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Type(), MSG_SET_NAME);
    EXPECT_EQ(sent[0].Mac(), CText(StoredDevice(2).mac));
    EXPECT_EQ(page->Pending().name_changed, 1);
    EXPECT_TRUE(messages.requests.empty());
}

TEST_F(ManagementPageTest, SearchButtonShowsAndDoesNothing)
{
    Store(1, 2);
    page->RefreshPage(1);
    int loads = 0;
    QObject::connect(page.get(), &CListPage::pageLoaded, [&loads] { ++loads; });
    ASSERT_FALSE(page->SearchButton()->isHidden());
    page->SearchButton()->click();
    EXPECT_EQ(loads, 0);
    page->SearchEdit()->setText(QStringLiteral("192.168.0.12"));  // the box itself reloads page 1
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(page->RowCount(), 1);
}

}  // namespace
}  // namespace pontiq
