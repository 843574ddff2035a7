#include "comm/capture.h"

#include <pcap/pcap.h>

#include <climits>

namespace pontiq {

std::vector<std::string> FindCaptureDevices()
{
    std::vector<std::string> names;
    char error[PCAP_ERRBUF_SIZE] = {};
    pcap_if_t* devices = nullptr;
    if (pcap_findalldevs(&devices, error) != 0) return names;
    for (const pcap_if_t* d = devices; d != nullptr; d = d->next) {
        if (d->name != nullptr) names.emplace_back(d->name);
    }
    pcap_freealldevs(devices);
    return names;
}

bool SendRawFrame(const std::string& device, std::span<const uint8_t> frame)
{
    if (device.empty() || frame.empty() || frame.size() > static_cast<size_t>(INT_MAX)) return false;
    char error[PCAP_ERRBUF_SIZE] = {};
    pcap_t* handle = pcap_open_live(device.c_str(), 65536, 0, 1000, error);
    if (handle == nullptr) return false;
    // Sending does not depend on the mode: a device that refuses non-blocking mode still sends.
    pcap_setnonblock(handle, 1, error);
    const bool sent = pcap_sendpacket(handle, frame.data(), static_cast<int>(frame.size())) == 0;
    pcap_close(handle);
    return sent;
}

}  // namespace pontiq
