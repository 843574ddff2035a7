#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <thread>

#include "tests/gui/shell_test_support.h"
#include "ui/lists/apply_worker.h"

namespace pontiq {
namespace {

// A routine that sends until it is told to stop, as a long device list would.
struct Endless {
    std::atomic<int> loops{0};
    std::atomic<bool> started{false};
    std::atomic<bool> sawStop{false};

    CApplyWorker::Routine Routine()
    {
        return [this](const std::atomic<bool>& stop) {
            started = true;
            while (!stop.load()) {
                ++loops;
                std::this_thread::yield();
            }
            sawStop = true;
        };
    }
};

TEST(ApplyWorker, StartingAgainEndsThePreviousRoutineFirst)
{
    CApplyWorker worker;
    int finished = 0;
    QObject::connect(&worker, &CApplyWorker::finished, [&] { ++finished; });

    Endless first;
    worker.Start(first.Routine());
    while (!first.started.load()) std::this_thread::yield();
    EXPECT_TRUE(worker.IsRunning());

    std::atomic<int> secondRuns{0};
    worker.Start([&](const std::atomic<bool>&) {
        // The previous routine has returned before this one begins.
        EXPECT_TRUE(first.sawStop.load());
        ++secondRuns;
    });
    worker.Wait();
    EXPECT_EQ(secondRuns.load(), 1);
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_EQ(worker.CompletedCount(), 1) << "only the second ran to its end";

    // The end of a routine is told on the owner's thread, once per completed routine.
    EXPECT_TRUE(test::PumpUntil([&] { return finished == 1; }, 20000));
    test::PumpFor(20);
    EXPECT_EQ(finished, 1);
}

TEST(ApplyWorker, DestructionStopsARunningRoutineAndStopIsHarmlessWhenIdle)
{
    Endless routine;
    {
        CApplyWorker worker;
        worker.Stop();  // nothing runs
        worker.Start(routine.Routine());
        while (!routine.started.load()) std::this_thread::yield();
    }
    EXPECT_TRUE(routine.sawStop.load());
}

}  // namespace
}  // namespace pontiq
