// Rules of the VLAN tab that need no window: the model groups, what the tab shows when it opens,
// the id check and the blocks a save hands back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "store/ap_info.h"

namespace pontiq {

// Which fields a model has besides VLAN on/off, Manage VLAN and WLAN.
enum class VlanGroup {
    A,      // PVID, LAN2, LAN3, LAN4
    B,      // PVID, LAN
    C,      // PVID
    D,      // PVID, trunk choice and the LAN row it selects (code 21: no trunk row, "LAN")
    Other,  // nothing more
};

VlanGroup VlanGroupOf(uint32_t apType);
// A device outside access-point mode whose model is not in the editable list: the tab only shows.
bool IsVlanReadOnly(uint32_t apType, uint8_t workMode);

inline constexpr int kTrunkLan1 = 1;           // radio 1165
inline constexpr int kTrunkLan2 = 2;           // radio 1166
inline constexpr uint8_t kTrunkPortLan1 = 49;  // sent as the characters "1" and "2"
inline constexpr uint8_t kTrunkPortLan2 = 50;

// The trunk choice a stored trunk_port shows: the number 2 is LAN2, anything else LAN1 (the
// character codes 49 and 50 included).
int StoredTrunkChoice(uint8_t trunkPort);

// The LAN row as the tab shows it: label key and value, taken from the stored blocks.
struct VlanLanRow {
    bool visible = false;
    const char* label = "LAN2";
    uint16_t value = 0;
};
VlanLanRow LanRowFor(uint32_t apType, int trunkChoice, const VLAN_BLOCK& vlan,
                     const EXTENSION_BLOCK& extension);

inline constexpr int kVlanIdMin = 1;
inline constexpr int kVlanIdMax = 4094;
// The id check: non-empty text whose "%d" value lies in 1..4094.
bool IsValidVlanId(std::string_view text);

// The edits as text and the controls' states at save time.
struct VlanEntries {
    bool enabled = false;
    std::string manage;
    std::string wlan;
    std::string pvid;
    std::string lan;
    std::string lan3;
    std::string lan4;
    int trunk = 0;  // kTrunkLan1, kTrunkLan2, or 0 when neither radio is checked
};

enum class VlanField { None, Manage, Wlan, Pvid, Lan, Lan3, Lan4 };

struct VlanCollectResult {
    VlanField refused = VlanField::None;  // the first field that failed the id check
    VLAN_BLOCK vlan{};
    EXTENSION_BLOCK extension{};
    bool changed = false;
};

// Collect without the window: the checks in their order, the new blocks (apply byte 0) and the
// changed flag (the extension block counts only for the codes of list V).
VlanCollectResult CollectVlan(uint32_t apType, const VLAN_BLOCK& storedVlan,
                              const EXTENSION_BLOCK& storedExtension, const VlanEntries& entries);

}  // namespace pontiq
