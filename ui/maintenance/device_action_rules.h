// The sending order of the reboot and restore pages, without a window: devices that serve as
// the access point of a bridged station get the command first, the others a moment later, so a
// station does not lose its access point while its own command is still on the way.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string_view>
#include <vector>

#include "store/ap_info.h"

namespace pontiq {

inline constexpr std::chrono::milliseconds kBridgedFirstLead{200};

// Waits `duration` unless `stop` becomes true first; false when stopped. Sleeps in short slices,
// so a stop request is seen within a few milliseconds.
bool PauseUnlessStopped(std::chrono::milliseconds duration, const std::atomic<bool>& stop);

struct DeviceActionIo {
    // True when a bridged station hangs on the device with this MAC (the store's HasBridgedStation).
    std::function<bool(std::string_view mac)> hasBridgedStation;
    // Sends the page's command to one device (tracking on); the result is not looked at.
    std::function<void(const SelectionEntry& entry)> send;
    // The wait between the passes; PauseUnlessStopped when empty.
    std::function<bool(std::chrono::milliseconds, const std::atomic<bool>& stop)> pause;
};

// First pass: the selection's bridged access points, in order; then the 200 ms wait; then the
// rest, in order. `stop` is checked before every device and ends the run early. Returns how many
// sends were made.
int RunDeviceAction(std::vector<SelectionEntry> selection, const DeviceActionIo& io,
                    const std::atomic<bool>& stop);

}  // namespace pontiq
