// Pictures of the status page with a full page of varied devices, in English and Chinese, for a
// look by eye; and the time a page load takes with 10,000 stored devices. Both run only when
// asked: PONTIQ_STATUS_SNAPSHOTS names the folder for the pictures, PONTIQ_STATUS_BENCH=1 runs
// the measurement.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

#include "app/application_app.h"
#include "app/controls/message_box.h"
#include "app/language.h"
#include "app/ui/application_dlg.h"
#include "app/ui/install_help_dlg.h"
#include "app/ui/translate_window.h"
#include "app/ui/wait_dlg.h"
#include "store/value_format.h"
#include "tests/gui/grid_test_events.h"
#include "tests/gui/shell_test_support.h"
#include "tests/gui/status_test_support.h"
#include "ui/bridge/bridge_set_multi_dlg.h"
#include "ui/lists/ip_set_multi_dlg.h"
#include "ui/maintenance/scan_mac_dlg.h"
#include "ui/maintenance/system_tool_dlg.h"

namespace pontiq {
namespace {

using test::StatusPageTest;

const char* const kNames[] = {"Tower-North",
                              "\xe5\xa1\x94\xe6\xa5\xbc\xe4\xb8\x80\xe5\x8f\xb7",  // 塔楼一号
                              "roof_a",
                              "Silo 7",
                              "\xe4\xbb\x93\xe5\xba\x93\xe4\xb8\x9c",  // 仓库东
                              "Gate#2",
                              "pump-station-long-name-x"};
const char* const kSsids[] = {"FieldNet", "Link-5G", "\xe5\x86\x9c\xe5\x9c\xba", "backhaul", ""};
const uint16_t kTypes[] = {1, 4, 6, 8, 17, 21, 24, 257, 261, 265, 276, 280, 285, 32};

ap_info_stu VariedDevice(int i)
{
    ap_info_stu r = test::StoredDevice(i, kTypes[i % std::size(kTypes)]);
    r.ap_name_len =
        SetFieldText(r.ap_name, std::string(kNames[i % std::size(kNames)]) +
                                    (i >= static_cast<int>(std::size(kNames)) ? std::to_string(i) : ""));
    r.radio_block.security.ssid_len =
        SetFieldText(r.radio_block.security.ssid, kSsids[i % std::size(kSsids)]);
    r.work_mode = static_cast<uint8_t>(1 + i % 7);
    r.radio_block.channel = static_cast<uint8_t>(i % 5 == 0 ? 0 : (i % 2 ? 149 + 4 * (i % 4) : 1 + i % 11));
    r.up_time = static_cast<uint32_t>(i * 37711 + 59);
    r.version_len = SetFieldText(r.version, "V2." + std::to_string(i % 4) + "." + std::to_string(10 + i));
    r.extension_block.bridge_transparent = static_cast<uint8_t>(i % 2);
    r.extension_block.tdmaEn = static_cast<uint8_t>(i % 3 == 0);
    return r;
}

class StatusSnapshot : public StatusPageTest {
protected:
    void SetUp() override
    {
        const char* dir = std::getenv("PONTIQ_STATUS_SNAPSHOTS");
        if (!dir || !*dir) GTEST_SKIP() << "set PONTIQ_STATUS_SNAPSHOTS to a folder to get the pictures";
        folder_ = QString::fromLocal8Bit(dir);
    }
    void TearDown() override
    {
        if (!folder_.isEmpty()) {
            StatusPageTest::TearDown();
            SetTextTranslator(nullptr);
            test::ResetLanguage();
        }
    }

    void Shoot(uint32_t locale, const QString& suffix)
    {
        app_ = std::make_unique<CApplicationApp>();
        app_->LoadConfiguration(std::string(PONTIQ_SOURCE_DIR) + "/resources/", locale);
        const COperateCharacter& chars = app_->characters();
        SetTextTranslator([&chars](std::string_view key) { return chars.Utf8ToLocal(Translate(key)); });
        StatusPageTest::SetUp();  // the page picks up the skin now in force

        // Described through the engine, so that they stay when a search starts over.
        for (int i = 0; i < 26; ++i) {
            const ap_info_stu record = VariedDevice(i);
            const MacAddress mac = MacToBytes(CText(record.mac));
            const std::string ip = record_text::Ip(record);
            Discovered(mac, ip.c_str(), record.ap_type);
            Receive(ReceiveQueue::Reply, ip.c_str(), BuildDeviceRecordReply(mac, record));
        }
        const auto hear = [this] {
            for (int i = 0; i < 6; ++i) {
                Discovered(test::HeardMac(i), test::HeardIp(i).c_str(), kTypes[i],
                           "V1.9." + std::to_string(i));
            }
        };
        hear();
        page->RefreshPage();
        test::ClickCell(Grid(), 1, kStatusColTick);
        test::ClickCell(Grid(), 4, kStatusColTick);
        Grid().selectRow(2);
        ASSERT_EQ(page->RowCount(), 30);
        const QDir out(folder_);
        ASSERT_TRUE(page->grab().save(out.filePath(QStringLiteral("status_page_%1.png").arg(suffix))));
        page->OnSearchClicked();
        for (int t = 0; t < 3; ++t) page->OnTimer(kTimerStatusSearch);
        ASSERT_TRUE(page->grab().save(out.filePath(QStringLiteral("status_searching_%1.png").arg(suffix))));
        page->OnSearchClicked();
        {
            ScanMacDlg scan;
            scan.Field(0)->setText(QStringLiteral("0a"));
            scan.Field(1)->setText(QStringLiteral("1B"));
            scan.Field(2)->setText(QStringLiteral("2"));
            ASSERT_TRUE(scan.grab().save(out.filePath(QStringLiteral("scanmac_%1.png").arg(suffix))));
        }
        hear();  // the search started over with the devices only heard
        page->RefreshPage();
        test::ClickCell(Grid(), 1, kStatusColTick);
        const int tall = Grid().Style().headerHeight + 30 * Grid().Style().rowHeight + 4;
        const QSize pageSize = page->size();
        Grid().setMinimumHeight(tall);
        page->resize(1100, pageSize.height() + tall);
        ASSERT_TRUE(Grid().grab().save(out.filePath(QStringLiteral("status_rows_%1.png").arg(suffix))));
        Grid().setMinimumHeight(0);
        page->resize(pageSize);

        page.reset();
        app_.reset();
    }

    QString folder_;
    std::unique_ptr<CApplicationApp> app_;
};

TEST_F(StatusSnapshot, English)
{
    Shoot(kLocaleEnglishUs, QStringLiteral("en"));
}

TEST_F(StatusSnapshot, Chinese)
{
    Shoot(kLocaleChineseSimplified, QStringLiteral("zh"));
}

// The pictures of the offline manual: every page and dialog of the status page's work, drawn by
// the real classes with the program folder's skin and language. Runs only when
// PONTIQ_MANUAL_PICTURES names the folder (scripts/manual_pictures.sh); the language is
// PONTIQ_SCREENSHOT_LOCALE, the folder PONTIQ_PROGRAM_DIR (default: resources/).
class ManualPictures : public StatusPageTest {
protected:
    void SetUp() override
    {
        const char* dir = std::getenv("PONTIQ_MANUAL_PICTURES");
        if (!dir || !*dir) GTEST_SKIP() << "set PONTIQ_MANUAL_PICTURES to a folder to get the pictures";
        out_ = QDir(QString::fromLocal8Bit(dir));
        QDir().mkpath(out_.path());
        const char* locale = std::getenv("PONTIQ_SCREENSHOT_LOCALE");
        const char* program = std::getenv("PONTIQ_PROGRAM_DIR");
        app_ = std::make_unique<CApplicationApp>();
        app_->LoadConfiguration(
            program && *program ? std::string(program) : std::string(PONTIQ_SOURCE_DIR) + "/resources/",
            locale && *locale ? static_cast<uint32_t>(std::stoul(locale)) : kLocaleEnglishUs);
        const COperateCharacter& chars = app_->characters();
        SetTextTranslator([&chars](std::string_view key) { return chars.Utf8ToLocal(Translate(key)); });
        StatusPageTest::SetUp();
        active_ = true;
    }
    void TearDown() override
    {
        if (!active_) return;
        StatusPageTest::TearDown();
        app_.reset();
        SetTextTranslator(nullptr);
        test::ResetLanguage();
    }
    void Save(QWidget& window, const char* name)
    {
        window.show();
        test::PumpFor(100);
        const QString path = out_.filePath(QString::fromLatin1(name));
        ASSERT_TRUE(window.grab().save(path));
        std::printf("screenshot: %s\n", path.toLocal8Bit().constData());
    }

    QDir out_;
    std::unique_ptr<CApplicationApp> app_;
    bool active_ = false;
};

TEST_F(ManualPictures, PagesAndDialogs)
{
    {
        CApplicationDlg window;
        Save(window, "main.png");
    }
    for (int i = 0; i < 12; ++i) {
        const ap_info_stu record = VariedDevice(i);
        const MacAddress mac = MacToBytes(CText(record.mac));
        const std::string ip = record_text::Ip(record);
        Discovered(mac, ip.c_str(), record.ap_type);
        Receive(ReceiveQueue::Reply, ip.c_str(), BuildDeviceRecordReply(mac, record));
    }
    Discovered(test::HeardMac(0), test::HeardIp(0).c_str(), 21, "V1.9.0");
    page->resize(page->width(), 560);
    page->RefreshPage();
    test::ClickCell(Grid(), 1, kStatusColTick);
    test::ClickCell(Grid(), 3, kStatusColTick);
    Save(*page, "status.png");

    const std::vector<SelectionEntry> selection = page->GatherSelection();
    ASSERT_EQ(selection.size(), 2u);
    const ap_info_stu first = VariedDevice(1);
    {
        CIpsetMutilDlg dlg(selection, first.ip_block, page->IpWorker(), *engine_, page.get());
        Save(dlg, "setip.png");
    }
    {
        CBridgeSetMultiDlg dlg(selection, 1, page->BridgeWorker(), *engine_, page.get());
        Save(dlg, "switch.png");
    }
    {
        ScanMacDlg scan(page.get());
        scan.Field(0)->setText(QStringLiteral("00"));
        scan.Field(1)->setText(QStringLiteral("1A"));
        scan.Field(2)->setText(QStringLiteral("2B"));
        Save(scan, "scanmac.png");
    }
    {
        QMessageBox box(QMessageBox::Warning, QString(),
                        TranslateQ(std::string_view("Please select the devices!")), QMessageBox::Ok);
        ApplyMessageBoxSkin(box, CurrentSettings().skin);
        Save(box, "message.png");
    }
    {
        CSystemToolDlg tool(
            [] {
                return std::vector<AdapterInfo>{
                    testing_engine::MakeAdapter(
                        "eth0", {0x00, 0x1c, 0x42, 0x10, 0x20, 0x30},
                        {{"192.168.1.20", "255.255.255.0"}, {"10.0.0.5", "255.0.0.0"}}),
                    testing_engine::MakeAdapter("enp3s0", {0x00, 0x1c, 0x42, 0x10, 0x20, 0x31},
                                                {{"192.168.10.3", "255.255.255.0"}})};
            },
            nullptr);
        Save(tool, "systemtool.png");
    }
    {
        CInstallHelpDlg help;
        Save(help, "installhelp.png");
    }
    {
        CWaitDlg wait(60, false, 3, CWaitDlg::Actions{}, page.get());
        for (int i = 0; i < 47; ++i) wait.Tick();
        Save(wait, "wait.png");
        wait.CloseNow();
    }
}

// Not a timed assertion: prints the time of a page load (store query and grid fill).
TEST_F(StatusPageTest, PageLoadWithTenThousandStoredDevices)
{
    const char* bench = std::getenv("PONTIQ_STATUS_BENCH");
    if (!bench || std::string(bench) != "1") GTEST_SKIP() << "set PONTIQ_STATUS_BENCH=1 to measure";
    constexpr int kDevices = 10000;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kDevices; ++i) ASSERT_TRUE(store_->SaveDevice(VariedDevice(i)));
    std::printf("[ timing ] filling the store with %d devices: %.0f ms\n", kDevices,
                static_cast<double>(clock.nsecsElapsed()) / 1e6);
    Hear(0, 20);

    struct Load {
        int pageSize;
        int page;
        const char* what;
    };
    const Load loads[] = {{30, 1, "first page"},  {30, 200, "a middle page"}, {30, 334, "the last page"},
                          {100, 1, "first page"}, {100, 50, "a middle page"}, {100, 100, "the last page"}};
    constexpr int kRuns = 10;
    for (const Load& l : loads) {
        page->PageSizeList()->setCurrentIndex(page->PageSizeList()->findData(l.pageSize));
        page->RefreshPage(l.page);  // warm-up
        double total = 0;
        double worst = 0;
        for (int run = 0; run < kRuns; ++run) {
            clock.start();
            page->RefreshPage(l.page);
            const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            total += ms;
            worst = std::max(worst, ms);
        }
        std::printf("[ timing ] page size %3d, %-14s (%3d rows): mean %.2f ms, worst %.2f ms\n", l.pageSize,
                    l.what, page->RowCount(), total / kRuns, worst);
    }
    // The header sorts that need the whole table ordered: by name and by up-time.
    page->PageSizeList()->setCurrentIndex(page->PageSizeList()->findData(100));
    for (int column : {kStatusColLocation, kStatusColTime}) {
        clock.start();
        page->OnHeaderClicked(column);
        std::printf("[ timing ] sort by column %d, page size 100: %.2f ms\n", column,
                    static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    EXPECT_EQ(page->RowCount(), 100);
}

}  // namespace
}  // namespace pontiq
