// The one background sender of a window. A page keeps one CApplyWorker per routine (IP apply,
// transparent bridge apply, Kelvra apply); starting a routine first ends the one still running,
// so a window never has two senders of the same kind at once.
//
// Stopping is cooperative: the routine is asked to stop through the flag it is handed and checks
// it between devices. It is never cut off in the middle of a send, so it cannot leave an engine
// lock held.
#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <thread>

namespace pontiq {

class CApplyWorker final : public QObject {
    Q_OBJECT

public:
    // The routine runs on the worker thread; `stop` becomes true when it should end early.
    using Routine = std::function<void(const std::atomic<bool>& stop)>;

    explicit CApplyWorker(QObject* parent = nullptr);
    ~CApplyWorker() override;  // stops and joins
    CApplyWorker(const CApplyWorker&) = delete;
    CApplyWorker& operator=(const CApplyWorker&) = delete;

    // Ends the routine still running (Stop), then starts `routine` on a new thread.
    void Start(Routine routine);
    // Asks the running routine to stop and waits until it has returned. Call from the owner's
    // thread. Returns at once when nothing runs.
    void Stop();
    // Waits until the running routine has returned by itself (tests, shut-down).
    void Wait();
    bool IsRunning() const { return running_.load(); }
    // How many routines ran to their end without being stopped.
    int CompletedCount() const { return completed_.load(); }

signals:
    // Emitted on the owner's thread after a routine returned without being asked to stop.
    // (A page starts its follow-up timer 2000 here.)
    void finished();

private:
    void Join();

    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    std::atomic<int> completed_{0};
};

}  // namespace pontiq
