// The upgrade page and its dialog on a test engine (recording sender), a store in a temporary
// folder and a file server that only records. Timers are ticked by hand; the worker's waits run
// on a virtual clock.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QTemporaryDir>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/controls/ct_button_picture.h"
#include "app/controls/ct_edit.h"
#include "app/controls/ct_static.h"
#include "app/controls/message_box.h"
#include "store/sql_management.h"
#include "store/value_format.h"
#include "tests/comm/engine_fixture.h"
#include "tests/gui/shell_test_support.h"
#include "ui/grid/grid_ctrl.h"
#include "ui/maintenance/file_server_process.h"
#include "ui/maintenance/upgrade_config_dlg.h"
#include "ui/maintenance/upgrade_dlg.h"

namespace pontiq::test {
namespace {

using testing_engine::Sent;

class RecordingFileServer final : public FileServerControl {
public:
    bool Start(const std::string& folder) override
    {
        std::lock_guard lock(mutex_);
        ++starts;
        this->folder = folder;
        return true;
    }
    void Stop() override { ++stops; }
    bool IsRunning() override { return running.load(); }
    FileServerHealth Health() override
    {
        std::lock_guard lock(mutex_);
        return health;
    }

    std::atomic<int> starts{0};
    std::atomic<int> stops{0};
    std::atomic<bool> running{true};
    std::string folder;
    FileServerHealth health;

private:
    std::mutex mutex_;
};

MacAddress DeviceMac(int i)
{
    return {0x00, 0x1c, 0x2d, 0x00, 0x00, static_cast<uint8_t>(i)};
}

std::string DeviceIp(int i)
{
    return "192.168.0." + std::to_string(20 + i);
}

class UpgradeTest : public testing_engine::EngineTest {
public:
    void SetUp() override
    {
        EngineTest::SetUp();
        ASSERT_TRUE(files.isValid());
        previousPresenter_ = SetMessagePresenter([this](const MessageRequest& request) {
            messages.push_back(request);
            return request.buttons == MessageButtons::OkCancel ? confirmAnswer : MessageResult::Ok;
        });
        const std::vector<uint32_t> codes = ModelCodes();
        typeA = static_cast<int32_t>(codes.at(0));
        for (uint32_t code : codes) {
            if (ModelName(code) != ModelName(codes.at(0))) {
                typeB = static_cast<int32_t>(code);
                break;
            }
        }
        ASSERT_NE(typeB, 0);
    }

    void TearDown() override
    {
        dialog.reset();
        page.reset();
        SetMessagePresenter(previousPresenter_);
        EngineTest::TearDown();
    }

    CUpgradeDlg::Services Services()
    {
        CUpgradeDlg::Services s;
        s.engine = engine_.get();
        s.store = store_.get();
        s.fileServer = &server;
        s.pause = [](std::chrono::milliseconds, const std::atomic<bool>& stop) { return !stop.load(); };
        return s;
    }

    // `count` described devices of `type`, numbered from `first`.
    void Devices(int first, int count, int32_t type)
    {
        for (int i = first; i < first + count; ++i) {
            Described(DeviceMac(i), DeviceIp(i).c_str(), static_cast<uint16_t>(type));
        }
        sender_->Take();
    }

    SelectionEntry Entry(int i, int32_t type)
    {
        SelectionEntry e;
        SetCText(e.ip, DeviceIp(i));
        SetCText(e.mac, MacText(DeviceMac(i)));
        e.type_code = type;
        return e;
    }

    QString WriteFile(const QString& name, int size = 1000)
    {
        const QString path = QDir(files.path()).filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(size, 'x'));
        return path;
    }

    void MakeDialog(std::vector<SelectionEntry> selection)
    {
        CUpgradeConfigDlg::Services s = Services();
        s.showStatus = [this](const QString& mac, const QString& text) {
            shownStatus.push_back({mac, text});
        };
        dialog = std::make_unique<CUpgradeConfigDlg>(std::move(selection), s, nullptr);
        for (int id :
             {kTimerUpgradeStageOne, kTimerUpgradeStageTwo, kTimerUpgradeBatchWatch, kTimerUpgradeFollowUp}) {
            dialog->Timer(id)->setInterval(3600 * 1000);  // the test ticks them
        }
        dialog->show();
    }

    // Starts with a chosen .bin file and waits until the worker has sent the first batch.
    void StartUpgrade(const QString& path)
    {
        dialog->SetChosenFile(path);
        ASSERT_TRUE(dialog->OnUpgradeClicked());
        dialog->Worker().Wait();
        PumpFor(20);  // the worker's hand-back arms the batch watch
    }

    std::vector<Sent> SentOfType(uint16_t type)
    {
        std::vector<Sent> out;
        for (const Sent& s : sender_->Take()) {
            if (s.kind == Sent::Multicast && s.Type() == type) out.push_back(s);
        }
        return out;
    }

    void Report(int i, uint8_t state)
    {
        Receive(ReceiveQueue::Reply, DeviceIp(i).c_str(),
                BuildResultReply(21, MSG_UPGRADE_STATUS, DeviceMac(i), state));
    }

    QTemporaryDir files;
    RecordingFileServer server;
    std::unique_ptr<CUpgradeDlg> page;
    std::unique_ptr<CUpgradeConfigDlg> dialog;
    std::vector<MessageRequest> messages;
    std::vector<std::pair<QString, QString>> shownStatus;
    MessageResult confirmAnswer = MessageResult::Ok;
    int32_t typeA = 0;
    int32_t typeB = 0;

private:
    MessagePresenter previousPresenter_;
};

// ---- Page ----

TEST_F(UpgradeTest, PageOpensTheDialogForOneToTenTickedDevices)
{
    Devices(1, 11, typeA);
    struct Case {
        int ticked;
        const char* message;  // nullptr: the dialog opens
    };
    const Case cases[] = {{0, "Please select the devices!"},
                          {11, "Maximum selection of 10 devices!"},
                          {10, nullptr},
                          {1, nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ticked);
        page = std::make_unique<CUpgradeDlg>(Services(), nullptr);
        std::vector<std::vector<SelectionEntry>> opened;
        page->SetUpgradeDialog(
            [&](CUpgradeDlg&, const std::vector<SelectionEntry>& selection) { opened.push_back(selection); });
        page->RefreshPage(1);
        ASSERT_EQ(page->RowCount(), 11);
        for (int row = 0; row < c.ticked; ++row) page->Grid()->SetTicked(row, true);
        messages.clear();
        sender_->Take();
        page->UpgradeButton()->click();
        if (c.message) {
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].text, QString::fromLatin1(c.message));
            EXPECT_EQ(messages[0].caption, QString());
            EXPECT_TRUE(opened.empty());
            EXPECT_FALSE(page->Timer(kTimerUpgradeReload)->isActive());
            continue;
        }
        EXPECT_TRUE(messages.empty());
        ASSERT_EQ(opened.size(), 1u);
        EXPECT_EQ(opened[0].size(), static_cast<size_t>(c.ticked));
        // When it has closed: one discovery and the reload a second later.
        size_t discoveries = 0;
        for (const Sent& s : sender_->Take())
            discoveries += s.kind == Sent::Broadcast && s.Type() == MSG_DISCOVER;
        EXPECT_EQ(discoveries, 1u);
        ASSERT_TRUE(page->Timer(kTimerUpgradeReload)->isActive());
        EXPECT_EQ(page->Timer(kTimerUpgradeReload)->interval(), 1000);
    }
}

TEST_F(UpgradeTest, PageStatusAndSerialHeadersDoNotSortAndVersionDoes)
{
    Devices(1, 3, typeA);
    page = std::make_unique<CUpgradeDlg>(Services(), nullptr);
    page->RefreshPage(1);
    const int column = page->SortColumn();
    for (int c : {static_cast<int>(kUpgradeColSerial), static_cast<int>(kUpgradeColStatus)}) {
        page->OnHeaderClicked(c);
        EXPECT_EQ(page->SortColumn(), column);
    }
    page->OnHeaderClicked(kUpgradeColVersion);
    EXPECT_EQ(page->SortKey(), 9);
}

// ---- Dialog: choices and refusals ----

TEST_F(UpgradeTest, FileChecksRefuseBeforeAnythingStarts)
{
    struct Case {
        const char* what;
        QString name;  // "" : no file chosen
        const char* message;
        bool confirmationAsked;
    };
    const Case cases[] = {
        {"no file", QString(), "Please select the upgrade file!", false},
        {"capital first letter", QStringLiteral("fw.Bin"), "Upgrade file is not .bin file!", false},
        {"other extension", QStringLiteral("fw.img"), "Upgrade file is not .bin file!", false},
        {"name longer than its field", QString(256, QLatin1Char('n')) + QStringLiteral(".bin"),
         "The upgrade file name is too long!", false},
        {"upper-case extension", QStringLiteral("FW.BIN"), "Are you sure you want to upgrade?", true},
        {"lower-case extension", QStringLiteral("fw.bin"), "Are you sure you want to upgrade?", true},
    };
    confirmAnswer = MessageResult::Cancel;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MakeDialog({Entry(1, typeA)});
        if (!c.name.isEmpty()) dialog->SetChosenFile(QDir(files.path()).filePath(c.name));
        messages.clear();
        EXPECT_FALSE(dialog->OnUpgradeClicked());
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, QString::fromLatin1(c.message));
        EXPECT_EQ(messages[0].icon, c.confirmationAsked ? MessageIcon::Question : MessageIcon::Warning);
        EXPECT_EQ(messages[0].caption, c.confirmationAsked ? QString() : ApplicationName());
        EXPECT_FALSE(dialog->Started());
        EXPECT_TRUE(dialog->UpgradeButton()->isVisible());
        EXPECT_TRUE(dialog->ScanButton()->isEnabled());
        EXPECT_FALSE(dialog->Progress()->isVisible());
        EXPECT_EQ(server.starts.load(), 0);
    }
    EXPECT_TRUE(sender_->Take().empty());
}

TEST_F(UpgradeTest, TwoModelsGiveTwoTypesAndOnlyTheChosenModelIsTold)
{
    Devices(1, 2, typeA);
    Devices(3, 2, typeB);
    MakeDialog({Entry(1, typeA), Entry(3, typeB), Entry(2, typeA), Entry(4, typeB)});
    QComboBox* types = dialog->TypeList();
    ASSERT_EQ(types->count(), 2);
    EXPECT_EQ(types->itemText(0).toStdString(), ModelName(static_cast<uint32_t>(typeA)));
    EXPECT_EQ(types->itemText(1).toStdString(), ModelName(static_cast<uint32_t>(typeB)));
    EXPECT_EQ(types->currentIndex(), 0);
    types->setCurrentIndex(1);
    EXPECT_EQ(dialog->ChosenType(), typeB);

    const QString path = WriteFile(QStringLiteral("fw_v2.bin"), 4321);
    StartUpgrade(path);
    EXPECT_EQ(server.starts.load(), 1);
    EXPECT_EQ(server.folder, QFileInfo(path).absolutePath().toStdString());
    EXPECT_FALSE(dialog->ScanButton()->isEnabled());
    EXPECT_FALSE(dialog->UpgradeButton()->isVisible());
    EXPECT_TRUE(dialog->Progress()->isVisible());
    EXPECT_EQ(dialog->ProgressLabel()->text(), QStringLiteral("Upgrade file transfer progress"));
    EXPECT_EQ(dialog->Progress()->maximum(), 120);

    const std::vector<Sent> upgrades = SentOfType(MSG_UPGRADE);
    ASSERT_EQ(upgrades.size(), 2u);
    EXPECT_EQ(upgrades[0].Mac(), MacText(DeviceMac(3)));
    EXPECT_EQ(upgrades[1].Mac(), MacText(DeviceMac(4)));
    const auto body = upgrades[0].Payload();
    ASSERT_EQ(body.size(), sizeof(UPGRADE_PAYLOAD));
    UPGRADE_PAYLOAD payload;
    std::memcpy(&payload, body.data(), sizeof(payload));
    EXPECT_EQ(std::string(payload.file_name), "fw_v2.bin");
    EXPECT_EQ(payload.file_name_len, 9);
    EXPECT_EQ(payload.file_size, 4321u);
    EXPECT_TRUE(dialog->Timer(kTimerUpgradeBatchWatch)->isActive());

    // The follow-up shows every ticked device, of both models; the others keep "Online".
    Report(3, 0);
    dialog->OnTimer(kTimerUpgradeFollowUp);
    ASSERT_EQ(shownStatus.size(), 4u);
    EXPECT_EQ(shownStatus[1].first.toStdString(), MacText(DeviceMac(3)));
    EXPECT_EQ(shownStatus[1].second, QStringLiteral("Upgrade wait"));
    EXPECT_EQ(shownStatus[0].second, QStringLiteral("Online"));
    EXPECT_EQ(store_->GetDeviceStatus(MacText(DeviceMac(1))), uint32_t{STATUS_ONLINE});
}

// ---- Dialog: the run ----

TEST_F(UpgradeTest, AllWaitingStartsTheUpgradeAtTheNextWatchTickAndStageTwoAtTheNextStageTick)
{
    Devices(1, 3, typeA);
    MakeDialog({Entry(1, typeA), Entry(2, typeA), Entry(3, typeA)});
    StartUpgrade(WriteFile(QStringLiteral("fw.BIN")));
    ASSERT_EQ(SentOfType(MSG_UPGRADE).size(), 3u);

    for (int second = 1; second <= 20; ++second) {
        dialog->OnTimer(kTimerUpgradeBatchWatch);
        dialog->OnTimer(kTimerUpgradeStageOne);
    }
    EXPECT_EQ(dialog->Progress()->value(), 20);
    EXPECT_TRUE(SentOfType(MSG_UPGRADE_START).empty());
    for (int i = 1; i <= 3; ++i) Report(i, 0);  // every device fetched the file: Upgrade wait
    dialog->OnTimer(kTimerUpgradeBatchWatch);
    EXPECT_EQ(SentOfType(MSG_UPGRADE_START).size(), 3u);
    EXPECT_FALSE(dialog->Timer(kTimerUpgradeBatchWatch)->isActive());
    EXPECT_TRUE(dialog->Run().AllSent());

    dialog->OnTimer(kTimerUpgradeStageOne);
    EXPECT_FALSE(dialog->Timer(kTimerUpgradeStageOne)->isActive());
    EXPECT_TRUE(dialog->Timer(kTimerUpgradeStageTwo)->isActive());
    EXPECT_EQ(dialog->ProgressLabel()->text(), QStringLiteral("Firmware upgrading progress"));
    EXPECT_EQ(dialog->Progress()->maximum(), 130);

    // Stage 2: discovery at 124, 127 and 130, then the server stops and the dialog closes.
    std::vector<int> discoveredAt;
    for (int second = 1; second <= 130 && dialog->isVisible(); ++second) {
        dialog->OnTimer(kTimerUpgradeStageTwo);
        for (const Sent& s : sender_->Take()) {
            if (s.kind == Sent::Broadcast && s.Type() == MSG_DISCOVER) discoveredAt.push_back(second);
        }
    }
    EXPECT_EQ(discoveredAt, (std::vector<int>{124, 127, 130}));
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_GE(server.stops.load(), 1);
    EXPECT_FALSE(dialog->Timer(kTimerUpgradeFollowUp)->isActive());
}

TEST_F(UpgradeTest, AllFailedClosesTheDialogAfterStageOneAndItsEndStopsTheServer)
{
    Devices(1, 2, typeA);
    MakeDialog({Entry(1, typeA), Entry(2, typeA)});
    StartUpgrade(WriteFile(QStringLiteral("fw.bin")));
    Report(1, 1);
    Report(2, 1);
    dialog->OnTimer(kTimerUpgradeBatchWatch);
    EXPECT_TRUE(SentOfType(MSG_UPGRADE_START).empty());
    dialog->OnTimer(kTimerUpgradeStageOne);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    const int stopsBefore = server.stops.load();
    dialog.reset();
    EXPECT_EQ(server.stops.load(), stopsBefore + 1);
}

TEST_F(UpgradeTest, CloseButtonDuringStageOneStopsTheServer)
{
    Devices(1, 1, typeA);
    MakeDialog({Entry(1, typeA)});
    StartUpgrade(WriteFile(QStringLiteral("fw.bin")));
    dialog->OnTimer(kTimerUpgradeStageOne);
    dialog->CloseButton()->click();
    EXPECT_EQ(server.stops.load(), 1);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

TEST_F(UpgradeTest, ServerThatNeverShowsUpStillGetsTheBatchAfterThreeLooks)
{
    Devices(1, 1, typeA);
    server.running = false;
    int looks = 0;
    CUpgradeConfigDlg::Services s = Services();
    s.pause = [&](std::chrono::milliseconds, const std::atomic<bool>& stop) {
        ++looks;
        return !stop.load();
    };
    dialog = std::make_unique<CUpgradeConfigDlg>(std::vector<SelectionEntry>{Entry(1, typeA)}, s, nullptr);
    dialog->show();
    dialog->SetChosenFile(WriteFile(QStringLiteral("fw.bin")));
    ASSERT_TRUE(dialog->OnUpgradeClicked());
    dialog->Worker().Wait();
    EXPECT_EQ(looks, 4) << "3 s, then three looks 1 s apart";
    EXPECT_EQ(SentOfType(MSG_UPGRADE).size(), 1u);
}

TEST_F(UpgradeTest, ServerThatCannotBindItsPortIsReportedAndNothingIsSent)
{
    Devices(1, 2, typeA);
    server.health = {FileServerFault::PortPermission, "bind 0.0.0.0:69: Permission denied"};
    MakeDialog({Entry(1, typeA), Entry(2, typeA)});
    dialog->SetChosenFile(WriteFile(QStringLiteral("fw.bin")));
    ASSERT_TRUE(dialog->OnUpgradeClicked());
    dialog->Worker().Wait();
    ASSERT_TRUE(PumpUntil([&] { return messages.size() == 2u; }, 20000));
    EXPECT_TRUE(messages[1].text.contains(QStringLiteral("cap_net_bind_service")));
    EXPECT_TRUE(messages[1].text.contains(QStringLiteral("Permission denied")));
    EXPECT_TRUE(SentOfType(MSG_UPGRADE).empty());
    EXPECT_GE(server.stops.load(), 1);
    // Back to idle: the user may try again.
    EXPECT_FALSE(dialog->Started());
    EXPECT_TRUE(dialog->UpgradeButton()->isVisible());
    EXPECT_TRUE(dialog->ScanButton()->isEnabled());
    EXPECT_FALSE(dialog->Timer(kTimerUpgradeStageOne)->isActive());
    EXPECT_FALSE(dialog->Timer(kTimerUpgradeFollowUp)->isActive());
}

TEST_F(UpgradeTest, ChooserFilterKeepsTheDescriptionsAndMatchesEveryFileForStarDotStar)
{
    EXPECT_EQ(CUpgradeConfigDlg::ChooserFilter(QStringLiteral("Files (*.bin)|*.bin|All files (*.*)|*.*||")),
              QStringLiteral("Files (*.bin);;All files (*)"));
}

TEST_F(UpgradeTest, FileServerStatusBecomesTheFaultTheDialogNames)
{
    struct Case {
        FileServerState state;
        FileServerProblem problem;
        FileServerFault fault;
        const char* messageWord;  // a word the dialog's message holds
    };
    const Case cases[] = {
        {FileServerState::Serving, FileServerProblem::None, FileServerFault::None, nullptr},
        {FileServerState::Starting, FileServerProblem::None, FileServerFault::None, nullptr},
        {FileServerState::Failed, FileServerProblem::PortPermission, FileServerFault::PortPermission,
         "cap_net_bind_service"},
        {FileServerState::Failed, FileServerProblem::PortInUse, FileServerFault::PortInUse,
         "another program"},
        {FileServerState::Failed, FileServerProblem::Folder, FileServerFault::Other, "could not start"},
        {FileServerState::Failed, FileServerProblem::StartFailed, FileServerFault::Other, "could not start"},
    };
    for (const Case& c : cases) {
        FileServerStatus status;
        status.state = c.state;
        status.problem = c.problem;
        status.port = 69;
        status.detail = c.problem == FileServerProblem::None ? "" : "bind: denied";
        const FileServerHealth health = CFileServerProcess::HealthOf(status);
        EXPECT_EQ(health.fault, c.fault) << FileServerProblemWord(c.problem);
        if (!c.messageWord) continue;
        const QString text = CUpgradeConfigDlg::FileServerFaultText(health);
        EXPECT_TRUE(text.contains(QString::fromLatin1(c.messageWord))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("bind: denied (port 69)"))) << text.toStdString();
    }
}

}  // namespace
}  // namespace pontiq::test
