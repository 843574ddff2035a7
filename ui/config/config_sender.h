// The management page's sender: sends the blocks of one saved configuration to its device on a
// worker thread, in the fixed order name, wireless, timed reboot, VLAN, then the pending address
// and the IP settings. One per page; a new Save ends the sender still running first.
#pragma once

#include <QObject>
#include <atomic>
#include <functional>

#include "ui/config/pending_config.h"
#include "ui/lists/apply_worker.h"

namespace pontiq {

class CommEngine;

// The sending routine: each changed block in order; `stop` is checked before every message, so
// an abandoned save ends after the message it is sending, never inside one. Returns how many
// messages went out.
int SendConfiguration(CommEngine& engine, const PendingConfiguration& pending, const std::atomic<bool>& stop);

class CConfigSender final : public QObject {
    Q_OBJECT

public:
    // Runs on the worker thread with the sender's own copy of the configuration.
    using Routine = std::function<void(const PendingConfiguration& pending, const std::atomic<bool>& stop)>;

    // Without an engine the routine reaches the application's engine when it starts.
    explicit CConfigSender(CommEngine* engine = nullptr, QObject* parent = nullptr);
    ~CConfigSender() override;  // ends the routine still running
    CConfigSender(const CConfigSender&) = delete;
    CConfigSender& operator=(const CConfigSender&) = delete;

    // Replaces the routine (tests record what a save sends); an empty one restores the default.
    void SetRoutine(Routine routine);

    // Ends the sender still running (cooperatively: it finishes its current message), then starts
    // one for a copy of `pending`.
    void Start(const PendingConfiguration& pending);
    void Stop() { worker_.Stop(); }
    void Wait() { worker_.Wait(); }
    bool IsRunning() const { return worker_.IsRunning(); }
    int CompletedCount() const { return worker_.CompletedCount(); }

private:
    CommEngine* engine_;
    Routine routine_;
    CApplyWorker worker_;  // last: joined before the rest goes
};

}  // namespace pontiq
