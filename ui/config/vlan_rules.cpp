#include "ui/config/vlan_rules.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "comm/protocol.h"
#include "ui/config/decimal_rules.h"

namespace pontiq {

namespace {

bool In(std::initializer_list<uint32_t> codes, uint32_t code)
{
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// Unchecked rows (group B's LAN row) still go out as 16 bits; the edits hold four digits at most,
// this keeps a value that came another way from wrapping.
uint16_t Id(std::string_view text)
{
    return static_cast<uint16_t>(std::clamp<int32_t>(ReadDecimal(text), 0, 0xffff));
}

}  // namespace

VlanGroup VlanGroupOf(uint32_t apType)
{
    if (In({10, 24, 268, 269, 284}, apType)) return VlanGroup::A;
    if (In({11, 270}, apType)) return VlanGroup::B;
    if (In({14, 15, 18, 19, 23, 272, 273, 274, 277, 280, 282, 283}, apType)) return VlanGroup::C;
    if (In({20, 21, 25, 278, 279, 285}, apType)) return VlanGroup::D;
    return VlanGroup::Other;
}

bool IsVlanReadOnly(uint32_t apType, uint8_t workMode)
{
    if (workMode == 1) return false;
    return !In({14, 15, 18, 19, 20, 21, 23, 24, 25, 272, 273, 274, 277, 278, 279, 280, 282, 283, 285},
               apType);
}

int StoredTrunkChoice(uint8_t trunkPort)
{
    return trunkPort == 2 ? kTrunkLan2 : kTrunkLan1;
}

VlanLanRow LanRowFor(uint32_t apType, int trunkChoice, const VLAN_BLOCK& vlan,
                     const EXTENSION_BLOCK& extension)
{
    VlanLanRow row;
    switch (VlanGroupOf(apType)) {
        case VlanGroup::A:
            return {true, "LAN2", vlan.vlan_id_lan};
        case VlanGroup::B:
            return {true, "LAN", vlan.vlan_id_lan};
        case VlanGroup::D:
            row.visible = true;
            if (trunkChoice == kTrunkLan2) {
                row.label = "LAN1";
                row.value = vlan.vlan_id_lan;
            } else {
                row.label = "LAN2";
                row.value = extension.vlan_id_lan2;
            }
            if (apType == 21) row.label = "LAN";
            return row;
        case VlanGroup::C:
        case VlanGroup::Other:
            break;
    }
    row.value = vlan.vlan_id_lan;
    return row;
}

bool IsValidVlanId(std::string_view text)
{
    if (text.empty()) return false;
    const int32_t id = ReadDecimal(text);
    return id >= kVlanIdMin && id <= kVlanIdMax;
}

VlanCollectResult CollectVlan(uint32_t apType, const VLAN_BLOCK& storedVlan,
                              const EXTENSION_BLOCK& storedExtension, const VlanEntries& e)
{
    VlanCollectResult r;
    r.vlan = storedVlan;
    r.extension = storedExtension;
    const auto refuse = [&r](VlanField field) {
        r.refused = field;
        return r;
    };

    if (!e.enabled) {
        r.vlan.vlan_en = 0;
    } else {
        r.vlan.vlan_en = 1;
        if (!IsValidVlanId(e.manage)) return refuse(VlanField::Manage);
        if (!IsValidVlanId(e.wlan)) return refuse(VlanField::Wlan);
        r.vlan.vlan_id = Id(e.manage);
        r.vlan.vlan_id_wlan = Id(e.wlan);

        const VlanGroup group = VlanGroupOf(apType);
        if (group != VlanGroup::Other) {
            if (!IsValidVlanId(e.pvid)) return refuse(VlanField::Pvid);
            r.extension.vlan_pvid = Id(e.pvid);
            if (group == VlanGroup::B) {
                r.vlan.vlan_id_lan = Id(e.lan);
            } else if (group == VlanGroup::D) {
                if (!IsValidVlanId(e.lan)) return refuse(VlanField::Lan);
                if (e.trunk == kTrunkLan1) {
                    r.extension.trunk_port = kTrunkPortLan1;
                    r.extension.vlan_id_lan2 = Id(e.lan);
                    r.vlan.vlan_id_lan = Id(e.manage);
                } else if (e.trunk == kTrunkLan2) {
                    r.extension.trunk_port = kTrunkPortLan2;
                    r.vlan.vlan_id_lan = Id(e.lan);
                    r.extension.vlan_id_lan2 = Id(e.manage);
                }
            } else if (group == VlanGroup::A) {
                if (!IsValidVlanId(e.lan)) return refuse(VlanField::Lan);
                if (!IsValidVlanId(e.lan3)) return refuse(VlanField::Lan3);
                if (!IsValidVlanId(e.lan4)) return refuse(VlanField::Lan4);
                r.vlan.vlan_id_lan = Id(e.lan);
                r.extension.vlan_id_lan3 = Id(e.lan3);
                r.extension.vlan_id_lan4 = Id(e.lan4);
            }
        }
    }

    r.changed =
        std::memcmp(&r.vlan, &storedVlan, sizeof(VLAN_BLOCK)) != 0 ||
        (InListV(apType) && std::memcmp(&r.extension, &storedExtension, sizeof(EXTENSION_BLOCK)) != 0);
    r.vlan.apply = 0;
    return r;
}

}  // namespace pontiq
