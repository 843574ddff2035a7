// The bridge page and the bridge wizard against a test engine (recording sender) and a store in a
// temporary folder. The survey watch is driven by calling its timer handler, never by waiting.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPointer>
#include <QRadioButton>
#include <cstring>
#include <memory>

#include "app/controls/ct_button_picture.h"
#include "app/controls/ct_edit.h"
#include "app/controls/ct_picture.h"
#include "app/controls/ct_static.h"
#include "comm/engine_store.h"
#include "store/sql_management.h"
#include "store/value_format.h"
#include "tests/gui/grid_test_events.h"
#include "tests/gui/ipset_test_support.h"
#include "tests/gui/shell_test_support.h"
#include "ui/bridge/bridge_dlg.h"
#include "ui/grid/grid_ctrl.h"
#include "ui/lists/ip_address_ctrl.h"

namespace pontiq {
namespace {

using testing_engine::kMacA;
using testing_engine::kMacB;
using testing_engine::Sent;
using testing_engine::Text;

constexpr const char* kIpA = "192.168.0.20";
constexpr const char* kIpB = "192.168.0.30";

config_otherwl_basic Ap(int i, int signal, uint8_t secure = 4, uint8_t channel = 36)
{
    config_otherwl_basic e{};
    const uint8_t mac[6] = {0x02, 0xaa, 0x00, 0x00, 0x00, static_cast<uint8_t>(i)};
    std::memcpy(e.mac, mac, 6);
    e.signal = static_cast<int8_t>(signal);
    e.channel = channel;
    e.secure_mode = secure;
    const std::string ssid = "ap-" + std::to_string(100 + i);
    e.ssid_len = SetFieldText(e.ssid, ssid);
    return e;
}

std::string ApMac(int i)
{
    return "02:aa:00:00:00:" + QString::asprintf("%02x", i).toStdString();
}

class BridgeWizardTest : public test::CommandDialogTest {
public:
    void SetUp() override
    {
        CommandDialogTest::SetUp();
        test::ResetLanguage();
    }
    void TearDown() override
    {
        page_.reset();
        CommandDialogTest::TearDown();
    }

    // A page over the test store with devices A (given type) and B; the wizard is not run
    // modally: the test drives it.
    CBridgeDlg& MakePage(uint16_t typeA = 14)
    {
        Device(kMacA, kIpA, typeA);
        Device(kMacB, kIpB, 21);
        page_ = std::make_unique<CBridgeDlg>(CBridgeDlg::Services{engine_.get(), store_.get()}, nullptr);
        page_->SetWizardRunner([this](CBridgeDlg&, CBridgeConfigDlg&) { ++wizardRuns_; });
        page_->SetAutoRefreshHook([this](int32_t flag) { autoRefresh_.push_back(flag); });
        page_->RefreshPage(1);
        return *page_;
    }

    int RowOf(const MacAddress& mac) const
    {
        return page_->FindRow(ListField::Mac, QString::fromStdString(Text(mac)));
    }

    // Opens the wizard for device A and returns it after the first survey request went out.
    CBridgeConfigDlg& OpenWizard(uint16_t typeA = 14)
    {
        MakePage(typeA);
        sender_->Take();
        page_->OpenWizard(RowOf(kMacA));
        EXPECT_NE(page_->Wizard(), nullptr);
        page_->SurveyWorker().Wait();
        return *page_->Wizard();
    }

    void Answer(uint8_t count, uint8_t id, std::span<const config_otherwl_basic> entries)
    {
        const auto page = BuildSurveyPage(14, kMacA, count, id, entries);
        ASSERT_TRUE(page.has_value());
        Receive(ReceiveQueue::Reply, kIpA, *page);
    }

    std::vector<config_otherwl_basic> Aps(int first, int count)
    {
        std::vector<config_otherwl_basic> out;
        for (int i = first; i < first + count; ++i)
            out.push_back(Ap(i, -30 - i, static_cast<uint8_t>(i % 11)));
        return out;
    }

    int ScanRows()
    {
        std::vector<config_otherwl_basic> rows;
        store_->ListScanResults(0, rows, true);
        return static_cast<int>(rows.size());
    }

    // Answers with `aps`, ends the watch and ticks `row`.
    void SurveyAndPick(CBridgeConfigDlg& wizard, std::vector<config_otherwl_basic> aps, int row)
    {
        Answer(1, 0, aps);
        wizard.SearchPage()->OnTimer(kTimerSurveyWatch);
        ASSERT_FALSE(wizard.SearchPage()->Scanning());
        ASSERT_GT(wizard.SearchPage()->Grid()->RowCount(), row);
        test::ClickCell(*wizard.SearchPage()->Grid(), row, bridge::kApColSelect);
    }

    void SetIpPage(CBridgeConfigDlg& wizard, const char* ip, const char* gateway)
    {
        wizard.IpPage()->Field(kIdcBridgeIp)->SetText(QString::fromLatin1(ip));
        wizard.IpPage()->Field(kIdcBridgeMask)->SetText(QStringLiteral("255.255.255.0"));
        wizard.IpPage()->Field(kIdcBridgeGateway)->SetText(QString::fromLatin1(gateway));
        wizard.IpPage()->Field(kIdcBridgeDns1)->SetText(QString());
        wizard.IpPage()->Field(kIdcBridgeDns2)->SetText(QString());
    }

    std::unique_ptr<CBridgeDlg> page_;
    int wizardRuns_ = 0;
    std::vector<int32_t> autoRefresh_;
};

// ---- Bridge page -----------------------------------------------------------------------------

TEST_F(BridgeWizardTest, PageColumnsAndSortMap)
{
    CBridgeDlg& page = MakePage();
    CGridCtrl& grid = *page.Grid();
    const char* titles[] = {"Serial", "Location", "Type",       "IP",     "MAC",    "OperationMode",
                            "SSID",   "Channel",  "SecureMode", "Status", "Operate"};
    const int widths[] = {60, 100, 80, 132, 132, 96, 130, 80, 90, 70, 70};
    ASSERT_EQ(grid.ColumnCount(), 11);
    EXPECT_EQ(grid.TickColumn(), -1) << "no tick column";
    for (int c = 0; c < 11; ++c) {
        EXPECT_EQ(grid.ColumnTitle(c), QString::fromLatin1(titles[c])) << c;
        EXPECT_EQ(page.Columns()[static_cast<size_t>(c)].width, widths[c]) << c;
    }
    // Store keys: 2 name, 3 type, 1 IP, 0 MAC, 4 mode, 5 SSID, 6 channel, 7 security, 13 status.
    const int keys[] = {-1, 2, 3, 1, 0, 4, 5, 6, 7, 13, -1};
    for (int c = 0; c < 11; ++c) EXPECT_EQ(page.Columns()[static_cast<size_t>(c)].sortKey, keys[c]) << c;
    EXPECT_EQ(page.SortColumn(), kBridgeColIp);
    EXPECT_TRUE(page.SortDescending());
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.Cell(0, kBridgeColOperate).image, 0);
    EXPECT_TRUE(page.SearchButton()->isHidden());

    page.OnHeaderClicked(kBridgeColStatus);
    EXPECT_EQ(page.SortColumn(), kBridgeColStatus);
    EXPECT_EQ(page.SortKey(), 13);
    for (int c : {kBridgeColSerial, kBridgeColOperate}) {
        const bool descending = page.SortDescending();
        page.OnHeaderClicked(c);
        EXPECT_EQ(page.SortColumn(), kBridgeColStatus) << c;
        EXPECT_EQ(page.SortDescending(), descending) << c;
    }
}

TEST_F(BridgeWizardTest, ModeSwitchRefusesWithTheApplicationCaption)
{
    CBridgeDlg& page = MakePage();
    ap_info_stu record{};
    engine_store::GetDevice(*store_, record, Text(kMacA));
    record.mode_btn_status = 1;
    ASSERT_TRUE(store_->SaveDevice(record));
    sender_->Take();

    page.OnCellClicked(RowOf(kMacA), kBridgeColOperate);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(
        messages[0].text.toStdString(),
        "The Mode Switch is at AP position, please switch it to Off position to modify to other operating "
        "mode.");
    EXPECT_EQ(messages[0].caption, ApplicationName());
    EXPECT_EQ(messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(page.Wizard(), nullptr);
    EXPECT_EQ(wizardRuns_, 0);
    EXPECT_EQ(autoRefresh_, (std::vector<int32_t>{0, 1}));
    ASSERT_TRUE(page.Timer(kTimerBridgeReload)->isActive());
    EXPECT_EQ(page.Timer(kTimerBridgeReload)->interval(), 2000);
    EXPECT_TRUE(sender_->Take().empty()) << "nothing is sent";

    // Position 2 is allowed as 0 is.
    record.mode_btn_status = 2;
    ASSERT_TRUE(store_->SaveDevice(record));
    page.OnCellClicked(RowOf(kMacA), kBridgeColOperate);
    EXPECT_NE(page.Wizard(), nullptr);
}

TEST_F(BridgeWizardTest, EachOperateClickMakesAFreshWizardOtherCellsNothing)
{
    CBridgeDlg& page = MakePage();
    for (int c = 0; c < kBridgeColOperate; ++c) page.OnCellClicked(RowOf(kMacA), c);
    EXPECT_EQ(page.Wizard(), nullptr);
    EXPECT_EQ(page.WizardsMade(), 0);

    page.OnCellClicked(RowOf(kMacA), kBridgeColOperate);
    QPointer<CBridgeConfigDlg> first = page.Wizard();
    ASSERT_TRUE(first);
    EXPECT_EQ(std::string(CText(page.ChosenDevice().mac)), Text(kMacA));
    EXPECT_EQ(page.ChosenDevice().type_code, 14);
    page.OnCellClicked(RowOf(kMacB), kBridgeColOperate);
    EXPECT_FALSE(first) << "the first wizard is destroyed";
    EXPECT_EQ(page.WizardsMade(), 2);
    EXPECT_EQ(std::string(CText(page.ChosenDevice().ip)), kIpB);
    EXPECT_EQ(wizardRuns_, 2);

    // The reload after the wizard shows the device's answer.
    engine_store::SetDeviceStatus(*store_, Text(kMacB), STATUS_BRIDGE_SUCCESS);
    page.OnTimer(kTimerBridgeReload);
    EXPECT_EQ(page.CellText(RowOf(kMacB), ListField::Status), QStringLiteral("Bridge success"));
}

// ---- Access-point search ---------------------------------------------------------------------

TEST_F(BridgeWizardTest, OpeningStartsOneSurveyForOrdinaryTypes)
{
    ScanPage leftover;  // a row of an earlier survey
    leftover.packet_count = 1;
    leftover.icount = 1;
    leftover.entries[0] = Ap(99, -50);
    ASSERT_TRUE(store_->SaveScanPage(leftover));
    ASSERT_EQ(ScanRows(), 1);
    CBridgeConfigDlg& wizard = OpenWizard(14);
    EXPECT_EQ(wizard.PageIndex(), CBridgeConfigDlg::kPageSearch);
    EXPECT_TRUE(wizard.BackButton()->isHidden());
    EXPECT_FALSE(wizard.NextButton()->isEnabled());
    EXPECT_EQ(wizard.NextButton()->text(), QStringLiteral("Next"));
    EXPECT_TRUE(wizard.SearchPage()->Scanning());
    EXPECT_FALSE(wizard.SearchPage()->ScanningText()->isHidden());
    EXPECT_TRUE(wizard.SearchPage()->RescanButton()->isHidden());
    EXPECT_EQ(ScanRows(), 0);

    const std::vector<Sent> surveys = SentOfType(MSG_SITE_SURVEY);
    ASSERT_EQ(surveys.size(), 1u);
    EXPECT_EQ(surveys[0].Mac(), Text(kMacA));
    EXPECT_TRUE(surveys[0].Payload().empty());

    for (int t = 0; t < 5; ++t) wizard.SearchPage()->OnTimer(kTimerSurveyWatch);
    page_->SurveyWorker().Wait();
    EXPECT_TRUE(SentOfType(MSG_SITE_SURVEY).empty()) << "asked once";
}

TEST_F(BridgeWizardTest, TypeThirtyThreeIsAskedEverySecondUntilComplete)
{
    CBridgeConfigDlg& wizard = OpenWizard(33);
    ASSERT_EQ(SentOfType(MSG_SITE_SURVEY).size(), 1u);
    for (int t = 1; t <= 3; ++t) {
        wizard.SearchPage()->OnTimer(kTimerSurveyWatch);
        page_->SurveyWorker().Wait();
        EXPECT_EQ(SentOfType(MSG_SITE_SURVEY).size(), 1u) << "tick " << t;
    }
    Answer(1, 0, Aps(1, 3));
    wizard.SearchPage()->OnTimer(kTimerSurveyWatch);
    page_->SurveyWorker().Wait();
    EXPECT_TRUE(SentOfType(MSG_SITE_SURVEY).empty());
    EXPECT_FALSE(wizard.SearchPage()->Scanning());
    EXPECT_EQ(wizard.SearchPage()->Grid()->RowCount(), 3);
}

TEST_F(BridgeWizardTest, PagesOutOfOrderAreAllListedStrongestFirst)
{
    CBridgeConfigDlg& wizard = OpenWizard();
    const auto aps = Aps(1, 40);
    Answer(2, 1, std::span(aps).subspan(32));  // the last page first
    Answer(2, 0, std::span(aps).first(32));
    wizard.SearchPage()->OnTimer(kTimerSurveyWatch);

    CBridgeSearcgAPDlg& search = *wizard.SearchPage();
    CGridCtrl& grid = *search.Grid();
    EXPECT_FALSE(search.Scanning());
    EXPECT_TRUE(search.Animation()->isHidden());
    EXPECT_FALSE(search.RescanButton()->isHidden());
    ASSERT_EQ(grid.RowCount(), 40);
    EXPECT_EQ(grid.CellText(0, bridge::kApColMac), QString::fromStdString(ApMac(1)));    // -31
    EXPECT_EQ(grid.CellText(39, bridge::kApColMac), QString::fromStdString(ApMac(40)));  // -70
    EXPECT_EQ(grid.SortMarkColumn(), bridge::kApColSignal);
    // Row 0: "ap-101", channel 36, security code 1, signal -31.
    EXPECT_EQ(grid.CellText(0, bridge::kApColSsid), QStringLiteral("ap-101"));
    EXPECT_EQ(grid.CellText(0, bridge::kApColChannel), QStringLiteral("36"));
    EXPECT_EQ(grid.CellText(0, bridge::kApColSecure), QStringLiteral("WEP"));
    EXPECT_EQ(grid.Cell(0, bridge::kApColSignal).image, 5);
    EXPECT_EQ(grid.Cell(39, bridge::kApColSignal).image, 3);
    EXPECT_FALSE(wizard.NextButton()->isEnabled());

    // The strength header right after the first fill: weakest first; again: strongest first.
    search.OnHeaderClicked(bridge::kApColSignal);
    EXPECT_TRUE(search.Ascending());
    EXPECT_EQ(grid.CellText(0, bridge::kApColMac), QString::fromStdString(ApMac(40)));
    search.OnHeaderClicked(bridge::kApColSignal);
    EXPECT_EQ(grid.CellText(0, bridge::kApColMac), QString::fromStdString(ApMac(1)));
    // The tick column's header does not sort.
    search.OnHeaderClicked(bridge::kApColSelect);
    EXPECT_EQ(search.SortColumn(), bridge::kApColSignal);
}

TEST_F(BridgeWizardTest, LostLastPageEndsAtThirtySecondsWithWhatArrived)
{
    CBridgeConfigDlg& wizard = OpenWizard();
    const auto aps = Aps(1, 40);
    Answer(2, 0, std::span(aps).first(32));
    CBridgeSearcgAPDlg& search = *wizard.SearchPage();
    for (int t = 1; t < 30; ++t) {
        search.OnTimer(kTimerSurveyWatch);
        ASSERT_TRUE(search.Scanning()) << t;
        ASSERT_EQ(search.Grid()->RowCount(), 0) << t;
    }
    search.OnTimer(kTimerSurveyWatch);
    EXPECT_FALSE(search.Scanning());
    EXPECT_FALSE(search.WatchTimer().isActive());
    EXPECT_EQ(search.Grid()->RowCount(), 32);
}

TEST_F(BridgeWizardTest, NoAnswerLeavesAnEmptyListAndRescanAsksAgain)
{
    CBridgeConfigDlg& wizard = OpenWizard();
    sender_->Take();
    for (int t = 0; t < 30; ++t) wizard.SearchPage()->OnTimer(kTimerSurveyWatch);
    EXPECT_EQ(wizard.SearchPage()->Grid()->RowCount(), 0);
    EXPECT_FALSE(wizard.NextButton()->isEnabled());
    wizard.SearchPage()->RescanButton()->click();
    page_->SurveyWorker().Wait();
    EXPECT_EQ(SentOfType(MSG_SITE_SURVEY).size(), 1u);
    EXPECT_TRUE(wizard.SearchPage()->Scanning());
}

TEST_F(BridgeWizardTest, TheListIsASingleChoice)
{
    CBridgeConfigDlg& wizard = OpenWizard();
    Answer(1, 0, Aps(1, 3));
    wizard.SearchPage()->OnTimer(kTimerSurveyWatch);
    CGridCtrl& grid = *wizard.SearchPage()->Grid();

    test::ClickCell(grid, 0, bridge::kApColSelect);
    EXPECT_TRUE(grid.IsTicked(0));
    EXPECT_TRUE(wizard.NextButton()->isEnabled());
    test::ClickCell(grid, 2, bridge::kApColSelect);
    EXPECT_EQ(grid.TickedRows(), std::vector<int>{2});
    EXPECT_TRUE(wizard.NextButton()->isEnabled());
    test::ClickCell(grid, 2, bridge::kApColSelect);
    EXPECT_TRUE(grid.TickedRows().empty());
    EXPECT_FALSE(wizard.NextButton()->isEnabled());
    // Other cells change nothing.
    test::ClickCell(grid, 1, bridge::kApColSsid);
    EXPECT_TRUE(grid.TickedRows().empty());
}

// ---- Security page ---------------------------------------------------------------------------

TEST_F(BridgeWizardTest, PskAccessPointPreselectsWpaPskWithAes)
{
    CBridgeConfigDlg& wizard = OpenWizard(14);
    SurveyAndPick(wizard, {Ap(7, -50, 2, 149)}, 0);
    wizard.Next();
    ASSERT_EQ(wizard.PageIndex(), CBridgeConfigDlg::kPageSecurity);
    EXPECT_FALSE(wizard.BackButton()->isHidden());
    CBridgeSecureDlg& s = *wizard.SecurePage();
    EXPECT_EQ(s.SsidEdit()->text(), QStringLiteral("ap-107"));
    EXPECT_EQ(s.SecureModeList()->currentText(), QStringLiteral("WPA-PSK"));
    EXPECT_TRUE(s.CipherButton(bridge::kCipherAes)->isChecked());
    EXPECT_FALSE(s.CipherButton(bridge::kCipherTkipAes)->isEnabled());
    EXPECT_FALSE(s.KeyEdit()->isHidden());
    EXPECT_TRUE(s.WepPage()->isHidden());
    EXPECT_TRUE(s.KeyTimeEdit()->isHidden());
    EXPECT_EQ(s.KeyTimeEdit()->text(), QStringLiteral("0"));
    EXPECT_TRUE(s.BandwidthList()->isHidden()) << "type 14 has no bandwidth list";

    // Code 10 is WPA-PSK with TKIP and AES, which WPA-PSK cannot take: AES.
    s.Fill(wizard.Record(), Ap(8, -50, 10));
    EXPECT_EQ(s.SelectedMode(), bridge::kModeWpaPsk);
    EXPECT_EQ(s.SelectedCipher(), bridge::kCipherAes);
    // Switching to WPA2-PSK enables the third radio again.
    s.SecureModeList()->setCurrentIndex(s.SecureModeList()->findData(bridge::kModeWpa2Psk));
    EXPECT_TRUE(s.CipherButton(bridge::kCipherTkipAes)->isEnabled());
}

TEST_F(BridgeWizardTest, ChannelsFollowTheDevicesCountryDfsAndBandwidth)
{
    MakePage(10);
    ap_info_stu record{};
    engine_store::GetDevice(*store_, record, Text(kMacA));
    record.radio_block.rf_type = 1;
    record.radio_block.country_code = 1;  // US
    record.radio_block.network_mode = 2;
    ASSERT_TRUE(store_->SaveDevice(record));
    page_->OpenWizard(RowOf(kMacA));
    CBridgeConfigDlg& wizard = *page_->Wizard();
    SurveyAndPick(wizard, {Ap(1, -50, 0, 149)}, 0);
    wizard.Next();
    CBridgeSecureDlg& s = *wizard.SecurePage();
    const auto channels = [&] {
        std::vector<int> out;
        for (int i = 0; i < s.ChannelList()->count(); ++i)
            out.push_back(s.ChannelList()->itemData(i).toInt());
        return out;
    };
    // Type 10 shows the bandwidth list; US at 20 MHz without 52..64 and (not a DFS type) 100..144.
    EXPECT_FALSE(s.BandwidthList()->isHidden());
    EXPECT_EQ(s.BandwidthList()->currentData().toInt(), 0);
    EXPECT_EQ(channels(), (std::vector<int>{0, 36, 40, 44, 48, 149, 153, 157, 161, 165}));
    EXPECT_EQ(s.ChannelList()->currentData().toInt(), 149);
    EXPECT_EQ(s.ChannelList()->itemText(0), QStringLiteral("Auto"));
    // 40 MHz: the US list at 40 MHz has no 165; the channel stays selected.
    s.BandwidthList()->setCurrentIndex(s.BandwidthList()->findData(1));
    EXPECT_EQ(channels(), (std::vector<int>{0, 36, 40, 44, 48, 149, 153, 157, 161}));
    EXPECT_EQ(s.ChannelList()->currentData().toInt(), 149);
}

TEST_F(BridgeWizardTest, WepListedOnceAfterGoingBackAndForth)
{
    CBridgeConfigDlg& wizard = OpenWizard(14);
    SurveyAndPick(wizard, {Ap(1, -50, 1)}, 0);
    for (int round = 0; round < 3; ++round) {
        wizard.Next();
        ASSERT_EQ(wizard.PageIndex(), CBridgeConfigDlg::kPageSecurity);
        wizard.Back();
        ASSERT_EQ(wizard.PageIndex(), CBridgeConfigDlg::kPageSearch);
        EXPECT_TRUE(wizard.BackButton()->isHidden());
        EXPECT_EQ(wizard.SearchPage()->Grid()->RowCount(), 1) << "the list stays";
        EXPECT_TRUE(wizard.NextButton()->isEnabled()) << "the tick stays";
    }
    wizard.Next();
    QComboBox& modes = *wizard.SecurePage()->SecureModeList();
    ASSERT_EQ(modes.count(), 5);
    int wep = 0;
    for (int i = 0; i < modes.count(); ++i) wep += modes.itemText(i) == QStringLiteral("WEP");
    EXPECT_EQ(wep, 1);
    EXPECT_EQ(modes.currentText(), QStringLiteral("WEP"));
    EXPECT_FALSE(wizard.SecurePage()->WepPage()->isHidden());
    EXPECT_EQ(wizard.SecurePage()->WepPage()->AuthList()->currentText(), QStringLiteral("Open"));
}

TEST_F(BridgeWizardTest, RefusedSecurityStaysWithItsMessage)
{
    CBridgeConfigDlg& wizard = OpenWizard(14);
    SurveyAndPick(wizard, {Ap(1, -50, 4)}, 0);
    wizard.Next();
    CBridgeSecureDlg& s = *wizard.SecurePage();
    s.KeyEdit()->setText(QStringLiteral("1234567"));
    wizard.Next();
    EXPECT_EQ(wizard.PageIndex(), CBridgeConfigDlg::kPageSecurity);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              QStringLiteral("Please enter a key for 8~63 ASCII characters or 8~64 HEX characters!"));
    EXPECT_TRUE(messages[0].caption.isEmpty());
    EXPECT_EQ(s.KeyEdit()->text(), QStringLiteral("1234567")) << "the input stays";

    // WEP: default key 2 empty although key 1 is valid; the sub-page's caption is the name.
    s.SecureModeList()->setCurrentIndex(s.SecureModeList()->findData(bridge::kModeWep));
    s.WepPage()->KeyEdit(0)->setText(QStringLiteral("abcde"));
    s.WepPage()->DefaultKeyList()->setCurrentIndex(1);
    wizard.Next();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].text, QStringLiteral("Please enter the WEP key2!"));
    EXPECT_EQ(messages[1].caption, ApplicationName());
    EXPECT_EQ(wizard.PageIndex(), CBridgeConfigDlg::kPageSecurity);
    EXPECT_TRUE(SentOfType(MSG_SET_BRIDGE).empty());
}

// ---- IP page ---------------------------------------------------------------------------------

TEST_F(BridgeWizardTest, IpPageRules)
{
    CBridgeConfigDlg& wizard = OpenWizard(14);
    SurveyAndPick(wizard, {Ap(1, -50, 0)}, 0);
    wizard.Next();
    wizard.Next();
    ASSERT_EQ(wizard.PageIndex(), CBridgeConfigDlg::kPageIp);
    CBridgeIPSetDlg& ip = *wizard.IpPage();
    EXPECT_EQ(ip.Field(kIdcBridgeIp)->Text(), QString::fromLatin1(kIpA)) << "filled from the record";
    EXPECT_EQ(ip.CurrentIp(), QString::fromLatin1(kIpA));

    SetIpPage(wizard, kIpB, "192.168.0.1");  // another stored device's address
    wizard.Next();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QStringLiteral("The ip address is already in use, please respecify!"));
    EXPECT_EQ(messages[0].caption, ApplicationName());
    EXPECT_EQ(messages[0].icon, MessageIcon::None);
    EXPECT_EQ(wizard.PageIndex(), CBridgeConfigDlg::kPageIp);

    SetIpPage(wizard, "192.168.0.77", "10.1.1.1");
    wizard.Next();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].text, QStringLiteral("Ip address and gateway address is not in the same subnet!"));

    SetIpPage(wizard, kIpA, "0.0.0.0");  // its own address, and no gateway subnet check
    wizard.Next();
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_EQ(wizard.PageIndex(), CBridgeConfigDlg::kPageFinish);
    EXPECT_EQ(wizard.NextButton()->text(), QStringLiteral("Save"));
    wizard.Back();
    EXPECT_EQ(wizard.NextButton()->text(), QStringLiteral("Next"));
    EXPECT_EQ(wizard.PageIndex(), CBridgeConfigDlg::kPageIp);
}

// ---- Save and close --------------------------------------------------------------------------

TEST_F(BridgeWizardTest, SaveSendsThePayloadOnceAndClearsTheScanTable)
{
    CBridgeConfigDlg& wizard = OpenWizard(14);
    wizard.SecurePage()->SetChannelSource([](const ap_info_stu&, int, bool& test) {
        test = false;
        return std::vector<int>{0, 36, 149, 165};
    });
    SurveyAndPick(wizard, {Ap(3, -80, 4, 149), Ap(9, -40, 7, 36)}, 1);  // row 1: the weaker one
    wizard.Next();
    wizard.SecurePage()->KeyEdit()->setText(QStringLiteral("bridge-key-1"));
    wizard.Next();
    SetIpPage(wizard, "192.168.0.50", "192.168.0.1");
    wizard.Next();
    ASSERT_EQ(wizard.PageIndex(), CBridgeConfigDlg::kPageFinish);
    ASSERT_GT(ScanRows(), 0);
    sender_->Take();
    wizard.Next();  // Save
    wizard.SaveWorker().Wait();

    EXPECT_EQ(wizard.result(), QDialog::Accepted);
    EXPECT_EQ(ScanRows(), 0);
    EXPECT_EQ(std::string(CText(wizard.Chosen().mac)), Text(kMacA));
    const std::vector<Sent> sent = SentOfType(MSG_SET_BRIDGE);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Mac(), Text(kMacA));
    const testing_engine::Bytes p = sent[0].Payload();
    ASSERT_EQ(p.size(), 328u);
    EXPECT_EQ(p[0], 2);
    EXPECT_EQ(MacText(std::span<const uint8_t, 6>(p.data() + 1, 6)), ApMac(3));
    EXPECT_EQ(p[7], 149);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.data() + 8), p[40]), "ap-103");
    EXPECT_EQ(p[42], bridge::kModeWpa2Psk);
    EXPECT_EQ(p[43], bridge::kCipherAes);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.data() + 44), p[108]), "bridge-key-1");
    const uint8_t ip[22] = {1, 192, 168, 0, 50, 255, 255, 255, 0, 192, 168, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(p.data() + 304, ip, 22), 0);
    EXPECT_EQ(p[326], 0);
    EXPECT_EQ(p[327], 0);

    // The device's answer becomes the row's status after the page's reload.
    Receive(ReceiveQueue::Reply, kIpA, BuildResultReply(14, MSG_SET_BRIDGE, kMacA, 0));
    page_->OnTimer(kTimerBridgeReload);
    EXPECT_EQ(page_->CellText(RowOf(kMacA), ListField::Status), QStringLiteral("Bridge success"));
}

TEST_F(BridgeWizardTest, CloseButtonSendsNothingAndEmptiesTheScanTable)
{
    CBridgeConfigDlg& wizard = OpenWizard(14);
    SurveyAndPick(wizard, Aps(1, 5), 0);
    wizard.Next();
    ASSERT_GT(ScanRows(), 0);
    sender_->Take();
    wizard.CloseButton()->click();
    wizard.SaveWorker().Wait();
    EXPECT_EQ(wizard.result(), QDialog::Rejected);
    EXPECT_EQ(ScanRows(), 0);
    EXPECT_TRUE(sender_->Take().empty());
}

}  // namespace
}  // namespace pontiq
