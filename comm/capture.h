// The packet-capture library, used only to hand one complete Ethernet frame to an adapter
// (the discovery request of the MAC search, which must leave with a chosen destination MAC).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace pontiq {

// Names of the capture library's devices (on Linux the interface names, plus pseudo devices
// such as "any"); empty when the library cannot enumerate them.
std::vector<std::string> FindCaptureDevices();

// Opens `device` (capture length 65536, not promiscuous, 1000 ms read time-out), sends `frame`
// as it is and closes the device. True only when the whole frame was handed to the driver.
// Needs CAP_NET_RAW.
bool SendRawFrame(const std::string& device, std::span<const uint8_t> frame);

// The sender is injected where frames are sent, so tests see the frames without a capture device.
using RawFrameSender = std::function<bool(const std::string& device, std::span<const uint8_t> frame)>;

}  // namespace pontiq
