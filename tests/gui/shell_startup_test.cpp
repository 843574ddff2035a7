#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTimer>
#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/application_app.h"
#include "app/controls/ct_button_picture.h"
#include "app/ui/application_dlg.h"
#include "app/ui/shell_ids.h"
#include "comm/comm_engine.h"
#include "comm/engine_store.h"
#include "tests/gui/shell_test_support.h"

namespace pontiq {
namespace {

using test::ProgramFolder;
using test::TempDir;

// Sends nothing anywhere; the engine under test never opens a socket.
class NullSender final : public DatagramSender {
public:
    bool SendBroadcast(std::string_view, std::string_view, std::string_view, uint16_t,
                       std::span<const uint8_t>) override
    {
        ++broadcasts;
        return true;
    }
    bool SendMulticast(std::string_view, std::span<const uint8_t>) override { return true; }
    bool SendRaw(const std::string&, std::span<const uint8_t>) override { return true; }
    int broadcasts = 0;
};

// The seams of a start: a program folder, a lock folder, an engine that is configured but never
// started, and a record of every step.
class StartFixture : public ::testing::Test {
protected:
    StartFixture()
    {
        store_ = engine_store::CreateStore(storeDir_.Dir());
        EngineServices services;
        services.sender = sender_;
        services.adapterQuery = [] { return std::vector<AdapterInfo>{}; };
        services.captureQuery = [] { return std::vector<std::string>{}; };
        engine_ = std::make_unique<CommEngine>(*store_, EngineOptions{}, services);
    }
    ~StartFixture() override { test::ResetLanguage(); }

    CApplicationApp::Steps Steps()
    {
        CApplicationApp::Steps steps;
        steps.programDir = [this] { return folder_.dir.Dir(); };
        steps.lockDirectory = [this] { return lockDir_.Dir(); };
        steps.systemLocale = [] { return kLocaleEnglishUs; };
        steps.engine = [this]() -> CommEngine& { return *engine_; };
        steps.startEngine = [this](CommEngine& engine, int32_t max, int32_t interval) {
            startedWith_ = {max, interval};
            engine.ConfigureRetransmission(max, interval);
            return true;
        };
        steps.store = [this]() -> CSqlManagement& { return *store_; };
        steps.stopEngine = [this](CommEngine& engine) {
            ++stops_;
            engine.Shutdown();
        };
        steps.runMainWindow = [](CApplicationApp&) {};
        steps.trace = [this](std::string_view step) { trace_.emplace_back(step); };
        steps.handleSignals = false;
        return steps;
    }

    ProgramFolder folder_;
    TempDir lockDir_;
    TempDir storeDir_;
    std::shared_ptr<NullSender> sender_ = std::make_shared<NullSender>();
    std::shared_ptr<CSqlManagement> store_;
    std::unique_ptr<CommEngine> engine_;
    std::vector<std::string> trace_;
    std::pair<int32_t, int32_t> startedWith_{-1, -1};
    int stops_ = 0;
};

TEST_F(StartFixture, RunsEveryStepInOrderAndStopsTheEngineLast)
{
    CApplicationApp::Steps steps = Steps();
    bool stateReadyForWindow = false;
    steps.runMainWindow = [&](CApplicationApp& app) {
        // The window finds everything start-up promised.
        stateReadyForWindow = app.HasEngine() && app.HasStore() && &app.engine() == engine_.get() &&
                              app.retransmissionMax() == 3 && app.gridRowHeight() == 48 &&
                              app.programDir() == folder_.dir.Dir() && &CApplicationApp::Instance() == &app;
    };
    CApplicationApp app(steps);
    EXPECT_EQ(app.Run(), 0);

    const std::vector<std::string> expected = {"lock",       "programDir", "language",    "settings",
                                               "skin",       "engine",     "engineStart", "store",
                                               "mainWindow", "exit",       "engineStop"};
    EXPECT_EQ(trace_, expected);
    EXPECT_TRUE(stateReadyForWindow);
    EXPECT_EQ(app.LastOutcome(), CApplicationApp::Outcome::Completed);
    EXPECT_EQ(stops_, 1);
    EXPECT_EQ(app.versionLabel().substr(0, 1), "V");
    EXPECT_EQ(app.skinPaths().skinDir, folder_.dir.Dir() + "Skin/");
}

TEST_F(StartFixture, SecondCopyEndsSilentlyAndLeavesTheFirstAlone)
{
    auto running = std::make_unique<SingleInstanceLock>();
    ASSERT_EQ(running->Acquire(lockDir_.Dir()), SingleInstanceLock::Result::Acquired);

    CApplicationApp second(Steps());
    EXPECT_EQ(second.Run(), 0);
    EXPECT_EQ(second.LastOutcome(), CApplicationApp::Outcome::AlreadyRunning);
    EXPECT_EQ(trace_, (std::vector<std::string>{"lock", "exit"}));  // no engine, no store, no window
    EXPECT_EQ(startedWith_.first, -1);
    EXPECT_EQ(stops_, 0);
    EXPECT_TRUE(running->Held());

    // Once the first copy is gone a new one starts.
    running.reset();
    trace_.clear();
    CApplicationApp third(Steps());
    third.Run();
    EXPECT_EQ(third.LastOutcome(), CApplicationApp::Outcome::Completed);
}

TEST(SingleInstanceLock, ExcludesASecondHolderUntilTheFirstLets)
{
    TempDir dir;
    auto first = std::make_unique<SingleInstanceLock>();
    SingleInstanceLock second;
    EXPECT_EQ(first->Acquire(dir.Dir()), SingleInstanceLock::Result::Acquired);
    EXPECT_EQ(second.Acquire(dir.Dir()), SingleInstanceLock::Result::AlreadyRunning);
    EXPECT_FALSE(second.Held());
    first.reset();
    EXPECT_EQ(second.Acquire(dir.Dir()), SingleInstanceLock::Result::Acquired);
    EXPECT_EQ(second.Path(), dir.Dir() + kSingleInstanceName);
}

TEST(SingleInstanceLock, RefusesAPlantedLinkAndIsPerUserInTmp)
{
    TempDir dir;
    const std::string target = dir.File("elsewhere");
    ASSERT_EQ(::symlink(target.c_str(), dir.File(kSingleInstanceName).c_str()), 0);
    SingleInstanceLock lock;
    EXPECT_EQ(lock.Acquire(dir.Dir()), SingleInstanceLock::Result::Unavailable);
    EXPECT_FALSE(std::filesystem::exists(target));  // the link was not followed

    EXPECT_EQ(SingleInstanceLock::LockFileName("/tmp", "Ovela_Pontiq"),
              "/tmp/Ovela_Pontiq-" + std::to_string(::getuid()));
}

struct SettingsCase {
    const char* name;
    const char* file;  // nullptr: no Setting.ini
    int32_t max;
    int32_t interval;
};

TEST_F(StartFixture, EngineStartsWithTheSettingsRetransmissionValues)
{
    const SettingsCase cases[] = {
        {"no file", nullptr, 3, 2000},
        {"empty file", "", 3, 2000},
        {"keys missing", "[Setting]\nother=1\n", 3, 2000},
        {"given", "[Setting]\nretransmission_max=5\nretransmission_interval=750\n", 5, 750},
        {"not a number", "[Setting]\nretransmission_interval=abc\n", 3, 0},
        {"number then text", "[setting]\nRETRANSMISSION_MAX= 7x\n", 7, 2000},
        {"binary junk", "\x01\xff\xfe[\x00=\n\n=[Setting\n", 3, 2000},
    };
    for (const SettingsCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(folder_.dir.File("Setting.ini"));
        if (c.file) folder_.dir.Write("Setting.ini", c.file);
        startedWith_ = {-1, -1};
        CApplicationApp app(Steps());
        app.Run();
        EXPECT_EQ(startedWith_, std::make_pair(c.max, c.interval));
        EXPECT_EQ(app.retransmissionMax(), c.max);
        EXPECT_EQ(app.retransmissionInterval(), c.interval);
    }
}

TEST_F(StartFixture, MalformedColourKeepsBlackAndOthersTheirDefaults)
{
    folder_.dir.Write("Setting.ini",
                      "[Color]\nChildBkColor=10,20\nLineColor=1, 2, 3\nTextDownColor=0,0,256\n");
    CApplicationApp app(Steps());
    app.Run();
    EXPECT_EQ(app.skin().childBkColor, (Rgb{0, 0, 0}));
    EXPECT_EQ(app.skin().lineColor, (Rgb{1, 2, 3}));
    EXPECT_EQ(app.skin().textDownColor, (Rgb{0, 0, 0}));
    EXPECT_EQ(app.skin().gridTitleTextColor, (Rgb{237, 112, 32}));
    EXPECT_EQ(app.skin().fontName, "Arial");
}

// Every way out of the real main window ends the program the same way: the window closes, the
// start sequence goes on to the exit step, and the engine is stopped once.
TEST_F(StartFixture, CloseButtonTrayExitAndSignalEndAlike)
{
    struct Way {
        const char* name;
        std::function<void(CApplicationApp&)> end;
        bool bySignal = false;
    };
    const Way ways[] = {
        {"close button",
         [](CApplicationApp& app) {
             static_cast<QAbstractButton*>(app.MainWindow()->TitleButton(kIdcClose))->click();
         }},
        {"tray exit", [](CApplicationApp& app) { app.MainWindow()->OnCommand(kCmdTrayExit); }},
        {"termination request", [](CApplicationApp& app) { app.RequestQuit(); }},
        {"SIGTERM", [](CApplicationApp&) { ::raise(SIGTERM); }, true},
        {"SIGINT", [](CApplicationApp&) { ::raise(SIGINT); }, true},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        trace_.clear();
        stops_ = 0;
        CApplicationApp::Steps steps = Steps();
        steps.runMainWindow = nullptr;  // the program's own window
        steps.handleSignals = way.bySignal;
        CApplicationApp app(steps);
        bool wasShown = false;
        QTimer::singleShot(50, [&] {
            ASSERT_NE(app.MainWindow(), nullptr);
            wasShown = app.MainWindow()->isVisible();
            way.end(app);
        });
        app.Run();
        EXPECT_TRUE(wasShown);
        EXPECT_EQ(app.MainWindow(), nullptr);
        EXPECT_EQ(app.LastOutcome(), CApplicationApp::Outcome::Completed);
        EXPECT_EQ(stops_, 1);
        ASSERT_GE(trace_.size(), 2u);
        EXPECT_EQ(trace_[trace_.size() - 2], "exit");
    }
}

TEST(TerminationSignals, ASignalIsTakenOnTheUserInterfaceThreadOnce)
{
    struct sigaction before = {};
    ::sigaction(SIGTERM, nullptr, &before);
    int calls = 0;
    {
        TerminationSignals guard([&] { ++calls; });
        EXPECT_FALSE(guard.TakePending());
        ::raise(SIGTERM);  // the handler only writes to the pipe
        EXPECT_EQ(calls, 0);
        EXPECT_TRUE(test::PumpUntil([&] { return calls > 0; }, 20000));
        EXPECT_EQ(calls, 1);
        // After the first, the default action is back in force.
        struct sigaction now = {};
        ::sigaction(SIGTERM, nullptr, &now);
        EXPECT_EQ(now.sa_handler, before.sa_handler);
    }
    {
        TerminationSignals guard([&] { ++calls; });
        ::raise(SIGINT);
        EXPECT_TRUE(guard.TakePending());  // found before any event loop runs
        EXPECT_EQ(calls, 2);
    }
    struct sigaction after = {};
    ::sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

}  // namespace
}  // namespace pontiq
