// A diagnostic for stalls of the user-interface thread, off unless asked for:
//
//     PONTIQ_STALL_PROBE=/tmp/stalls.txt build/Pontiq/Pontiq
//
// While the main window runs, a 10 ms precise timer ticks on the UI thread; every tick that comes
// later than its period counts the lateness as a stall. When the main window ends the file gets
// the tick count, the largest stall (and when it happened, in seconds after the start), the 50th,
// 90th, 99th and 99.9th percentiles (1 ms steps) and the times of the stalls above 50 ms.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace pontiq {

namespace {

class StallProbe final : public QObject {
public:
    static constexpr int kPeriodMs = 10;
    static constexpr int kReportAboveMs = 50;
    static constexpr size_t kListedStalls = 200;

    explicit StallProbe(std::string path) : path_(std::move(path))
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(kPeriodMs);
        connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
        clock_.start();
        timer_.start();
    }

    ~StallProbe() override { Write(); }
    StallProbe(const StallProbe&) = delete;
    StallProbe& operator=(const StallProbe&) = delete;

private:
    void Tick()
    {
        const int64_t now = clock_.nsecsElapsed() / 1000;
        const int64_t stall = std::max<int64_t>(0, now - last_ - kPeriodMs * 1000);
        last_ = now;
        ++ticks_;
        if (stall > maxUs_) {
            maxUs_ = stall;
            maxAtUs_ = now;
        }
        ++histogram_[std::min<size_t>(static_cast<size_t>(stall / 1000), histogram_.size() - 1)];
        if (stall > kReportAboveMs * 1000 && listed_.size() < kListedStalls) listed_.push_back({now, stall});
    }

    // The smallest whole millisecond m with at least `fraction` of the ticks at or below m.
    int Percentile(double fraction) const
    {
        const auto want = static_cast<uint64_t>(std::ceil(fraction * static_cast<double>(ticks_)));
        uint64_t seen = 0;
        for (size_t ms = 0; ms < histogram_.size(); ++ms) {
            seen += histogram_[ms];
            if (seen >= want && seen > 0) return static_cast<int>(ms);
        }
        return static_cast<int>(histogram_.size() - 1);
    }

    void Write() const
    {
        std::FILE* f = std::fopen(path_.c_str(), "w");
        if (!f) return;
        std::fprintf(f, "period_ms=%d ticks=%llu run_s=%.1f\n", kPeriodMs,
                     static_cast<unsigned long long>(ticks_),
                     static_cast<double>(clock_.nsecsElapsed()) / 1e9);
        std::fprintf(f, "max_ms=%.1f max_at_s=%.2f p50_ms=%d p90_ms=%d p99_ms=%d p999_ms=%d\n",
                     static_cast<double>(maxUs_) / 1000.0, static_cast<double>(maxAtUs_) / 1e6,
                     Percentile(0.50), Percentile(0.90), Percentile(0.99), Percentile(0.999));
        for (const auto& [at, stall] : listed_) {
            std::fprintf(f, "stall_ms=%.1f at_s=%.2f\n", static_cast<double>(stall) / 1000.0,
                         static_cast<double>(at) / 1e6);
        }
        std::fclose(f);
    }

    struct Stall {
        int64_t atUs;
        int64_t stallUs;
    };

    std::string path_;
    QTimer timer_;
    QElapsedTimer clock_;
    int64_t last_ = 0;
    uint64_t ticks_ = 0;
    int64_t maxUs_ = 0;
    int64_t maxAtUs_ = 0;
    std::array<uint64_t, 10001> histogram_{};  // whole milliseconds; the last one holds 10 s and more
    std::vector<Stall> listed_;
};

}  // namespace

// The probe for the life of the main window, or nothing when PONTIQ_STALL_PROBE is not set.
std::unique_ptr<QObject> StartStallProbe()
{
    const char* path = std::getenv("PONTIQ_STALL_PROBE");
    if (!path || !*path) return nullptr;
    return std::make_unique<StallProbe>(path);
}

}  // namespace pontiq
