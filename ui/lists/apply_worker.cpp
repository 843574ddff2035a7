#include "ui/lists/apply_worker.h"

#include <QMetaObject>
#include <utility>

namespace pontiq {

CApplyWorker::CApplyWorker(QObject* parent) : QObject(parent)
{
}

CApplyWorker::~CApplyWorker()
{
    Stop();
}

void CApplyWorker::Start(Routine routine)
{
    Stop();
    if (!routine) return;
    stop_.store(false);
    running_.store(true);
    thread_ = std::thread([this, routine = std::move(routine)] {
        routine(stop_);
        const bool completed = !stop_.load();
        if (completed) {
            completed_.fetch_add(1);
            // Queued to the owner's thread; dropped by Qt if the worker is gone by then (the
            // destructor joins this thread first, so the object outlives this call).
            QMetaObject::invokeMethod(
                this, [this] { emit finished(); }, Qt::QueuedConnection);
        }
        running_.store(false);
    });
}

void CApplyWorker::Stop()
{
    stop_.store(true);
    Join();
}

void CApplyWorker::Wait()
{
    Join();
}

void CApplyWorker::Join()
{
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

}  // namespace pontiq
