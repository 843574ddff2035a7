// Ticked-row entries for the rules tests of the maintenance pages.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "store/ap_info.h"
#include "store/value_format.h"

namespace pontiq::test {

// Entry i: address 192.168.0.(10+i), MAC 00:1a:2b:00:00:ii, the given type code.
inline SelectionEntry Entry(int i, int32_t type = 21)
{
    SelectionEntry e;
    SetCText(e.ip, "192.168.0." + std::to_string(10 + i));
    char mac[18];
    std::snprintf(mac, sizeof(mac), "00:1a:2b:00:00:%02x", i & 0xff);
    SetCText(e.mac, mac);
    e.type_code = type;
    return e;
}

inline std::string Mac(const SelectionEntry& e)
{
    return std::string(CText(e.mac));
}

}  // namespace pontiq::test
