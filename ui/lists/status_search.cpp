#include "ui/lists/status_search.h"

namespace pontiq {

void StatusSearchRun::Start()
{
    running_ = true;
    ticks_ = 0;
}

void StatusSearchRun::Stop()
{
    running_ = false;
}

StatusSearchRun::Step StatusSearchRun::Tick()
{
    if (!running_) return Step::None;
    ++ticks_;
    if (ticks_ >= kTicks) {
        running_ = false;
        return Step::Stop;
    }
    return ticks_ % kDiscoverEvery == 0 ? Step::DiscoverAndReload : Step::None;
}

}  // namespace pontiq
