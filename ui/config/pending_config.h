// What a Save of the configuration sheet sends: the target device, one changed flag per block
// and the blocks themselves. The sheet clears it, each tab's Collect fills its part, and the
// sender sends the changed blocks in a fixed order.
#pragma once

#include <cstdint>
#include <cstring>

#include "store/ap_info.h"

namespace pontiq {

struct PendingConfiguration {
    char target_ip[16] = {};
    char target_mac[18] = {};
    uint32_t type_code = 0;

    int32_t name_changed = 0;
    int32_t wireless_changed = 0;
    int32_t ip_changed = 0;
    int32_t vlan_changed = 0;
    int32_t reboot_changed = 0;

    uint8_t name_block[33] = {};  // ap_name (32) and its length; payload of MSG_SET_NAME
    RADIO_BLOCK radio_block{};
    uint8_t radio_extension[16] = {};  // follows the radio block for the type codes of list W
    IP_BLOCK ip_block{};
    VLAN_BLOCK vlan_block{};
    EXTENSION_BLOCK extension_block{};
    REBOOT_BLOCK reboot_block{};

    // Save step 1: every flag 0, every block zero; the target stays.
    void ClearChanges()
    {
        name_changed = wireless_changed = ip_changed = vlan_changed = reboot_changed = 0;
        std::memset(name_block, 0, sizeof name_block);
        radio_block = RADIO_BLOCK{};
        std::memset(radio_extension, 0, sizeof radio_extension);
        ip_block = IP_BLOCK{};
        vlan_block = VLAN_BLOCK{};
        extension_block = EXTENSION_BLOCK{};
        reboot_block = REBOOT_BLOCK{};
    }
};

}  // namespace pontiq
