#include "ui/maintenance/device_action_rules.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace pontiq {

namespace {

constexpr std::chrono::milliseconds kPauseSlice{10};

std::string_view MacOf(const SelectionEntry& entry)
{
    return std::string_view(entry.mac, strnlen(entry.mac, sizeof(entry.mac)));
}

}  // namespace

bool PauseUnlessStopped(std::chrono::milliseconds duration, const std::atomic<bool>& stop)
{
    const auto end = std::chrono::steady_clock::now() + duration;
    while (!stop.load()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= end) return true;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kPauseSlice, end - now));
    }
    return false;
}

int RunDeviceAction(std::vector<SelectionEntry> selection, const DeviceActionIo& io,
                    const std::atomic<bool>& stop)
{
    int sent = 0;
    const auto send = [&](const SelectionEntry& entry) {
        if (io.send) io.send(entry);
        ++sent;
    };

    std::vector<SelectionEntry> rest;
    rest.reserve(selection.size());
    for (const SelectionEntry& entry : selection) {
        if (stop.load()) return sent;
        if (io.hasBridgedStation && io.hasBridgedStation(MacOf(entry))) {
            send(entry);
        } else {
            rest.push_back(entry);
        }
    }

    const bool waited =
        io.pause ? io.pause(kBridgedFirstLead, stop) : PauseUnlessStopped(kBridgedFirstLead, stop);
    if (!waited) return sent;

    for (const SelectionEntry& entry : rest) {
        if (stop.load()) break;
        send(entry);
    }
    return sent;
}

}  // namespace pontiq
