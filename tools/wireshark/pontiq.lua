-- Wireshark dissector for the Pontiq device protocol: a 16-byte little-endian header (magic
-- 0x1986) and a payload whose layout follows the message type and the direction, on UDP ports
-- 9785 (discovery replies), 9786 (discovery requests), 9787 (commands by multicast, heartbeats)
-- and 9788 (command replies).
--
-- Install: copy into Wireshark's plugin folder (~/.local/lib/wireshark/plugins/ or the system's
-- plugins folder), or run `tshark -X lua_script:pontiq.lua`.
--
-- Every layout is declared once as a field table (name, offset, width, kind); the tables build
-- both the ProtoFields and the tree. Text fields are shown as UTF-8. A datagram is never read
-- past its end: a payload shorter than its header says, or than its layout, is marked malformed.

local proto = Proto("pontiq", "Pontiq device protocol")

local PORT_DISCOVERY_REPLY = 9785
local PORT_DISCOVERY = 9786
local PORT_COMMAND = 9787
local PORT_REPLY = 9788
local MAGIC = 0x1986
local HEADER_LEN = 16
local MAX_DATAGRAM = 1472

local msg_types = {
    [1] = "MSG_DISCOVER",
    [2] = "MSG_GET_INFO",
    [3] = "MSG_SET_IP",
    [4] = "MSG_SET_WIRELESS",
    [5] = "MSG_SET_TIMED_REBOOT",
    [6] = "MSG_SITE_SURVEY",
    [7] = "MSG_SET_BRIDGE",
    [8] = "MSG_SET_NAME",
    [9] = "MSG_REBOOT",
    [10] = "MSG_RESTORE",
    [11] = "MSG_UPGRADE",
    [12] = "MSG_UPGRADE_STATUS",
    [13] = "MSG_SET_VLAN",
    [14] = "MSG_TYPE_14",
    [15] = "MSG_HEARTBEAT",
    [16] = "MSG_UPGRADE_START",
    [17] = "MSG_RELEASE",
    [18] = "MSG_SET_TRANSPARENT_BRIDGE",
    [19] = "MSG_SET_KELVRA",
}

local status_texts = {
    [0] = "Outline", [1] = "Online", [2] = "Bridge success", [3] = "Bridge fail",
    [4] = "Restarting", [5] = "Reseting", [6] = "Upgrade wait", [7] = "Upgrading",
    [8] = "Upgrade success", [9] = "Upgrade fail",
}

local on_off = { [0] = "Off", [1] = "On" }

-- Fields ------------------------------------------------------------------------------------

local fields = {}
local function field(abbr, ...)
    local f = ProtoField[select(1, ...)]("pontiq." .. abbr, select(2, ...))
    fields[abbr] = f
    return f
end

field("magic", "uint16", "Magic", base.HEX)
field("type_code", "uint16", "Type code (model)", base.DEC)
field("msg_type", "uint16", "Message type", base.DEC, msg_types)
field("multicast", "uint8", "Multicast flag", base.DEC)
field("reserved", "uint8", "Reserved", base.DEC)
field("mac", "ether", "MAC")
field("payload_len", "uint16", "Payload length", base.DEC)
field("direction", "string", "Direction")
field("form", "string", "Form")
field("payload", "bytes", "Payload")
field("result", "uint8", "Result", base.DEC)
field("upgrade_state", "uint8", "Upgrade state", base.DEC,
      { [0] = "wait (status 6)", [1] = "fail (status 9)" })
field("unread", "bytes", "Not read")

-- A layout is a list of { abbr, label, offset, width, kind[, values] }; kinds: u8, u16, u32, i8,
-- ipv4, ether, text (fixed field followed by its length byte at `len`), bytes, block (nested).
local function declare(prefix, layout)
    for _, e in ipairs(layout) do
        local abbr = prefix .. "." .. e[1]
        local kind = e[5]
        if kind == "block" then
            e.subtree = e.subtree or e[6]
            declare(abbr, e[6])
        elseif not fields[abbr] then
            if kind == "u8" then
                field(abbr, "uint8", e[2], base.DEC, e[6])
            elseif kind == "u16" then
                field(abbr, "uint16", e[2], base.DEC, e[6])
            elseif kind == "u32" then
                field(abbr, "uint32", e[2], base.DEC, e[6])
            elseif kind == "i8" then
                field(abbr, "int8", e[2], base.DEC)
            elseif kind == "ipv4" then
                field(abbr, "ipv4", e[2])
            elseif kind == "ether" then
                field(abbr, "ether", e[2])
            elseif kind == "text" then
                field(abbr, "string", e[2], base.UNICODE)
                field(abbr .. "_len", "uint8", e[2] .. " length", base.DEC)
            else
                field(abbr, "bytes", e[2])
            end
        end
    end
end

local IP_BLOCK = {
    { "ip_mode", "IP mode", 0, 1, "u8" },
    { "ip", "IP address", 1, 4, "ipv4" },
    { "ip_mask", "Mask", 5, 4, "ipv4" },
    { "ip_gateway", "Gateway", 9, 4, "ipv4" },
    { "ip_dns1", "DNS 1", 13, 4, "ipv4" },
    { "ip_dns2", "DNS 2", 17, 4, "ipv4" },
    { "apply", "Apply flag", 21, 1, "u8" },
}

local REBOOT_BLOCK = {
    { "restart_en", "Timed reboot", 0, 1, "u8", on_off },
    { "restart_type", "Weekday mask", 1, 1, "u8" },
    { "restart_time", "Minutes after midnight", 2, 2, "u16" },
}

local function wep_key(i)
    return { "wep_key" .. i, "WEP key " .. i, 114 + 28 * i, 28, "block", {
        { "type", "Key format", 0, 1, "u8" },
        { "value", "Key", 1, 26, "text", len = 27 },
    } }
end

local SECURITY_BLOCK = {
    { "ssid_id", "SSID index", 0, 1, "u8" },
    { "ssid_hide", "SSID hidden", 1, 1, "u8" },
    { "ssid_mac", "Wireless MAC", 2, 6, "ether" },
    { "ssid", "SSID", 8, 32, "text", len = 40 },
    { "secure_mode", "Security mode", 41, 1, "u8",
      { [0] = "None", [1] = "WEP", [2] = "WPA-PSK", [3] = "WPA2-PSK", [4] = "WPA/WPA2-PSK",
        [5] = "WPA", [6] = "WPA2" } },
    { "wpapsk_auth_type", "WPA-PSK cipher", 42, 1, "u8" },
    { "wpapsk_key_value", "WPA-PSK pass phrase", 43, 64, "text", len = 107 },
    { "wpapsk_key_time", "WPA-PSK key interval", 108, 4, "u32" },
    { "wep_auth_type", "WEP authentication", 112, 1, "u8" },
    { "wep_key_index", "WEP key index", 113, 1, "u8" },
    wep_key(0), wep_key(1), wep_key(2), wep_key(3),
    { "wpa_radius_ip", "RADIUS server", 227, 4, "ipv4" },
    { "wpa_radius_port", "RADIUS port", 231, 2, "u16" },
    { "wpa_auth_type", "WPA cipher", 233, 1, "u8" },
    { "wpa_key", "RADIUS secret", 234, 64, "text", len = 298 },
    { "wpa_key_time", "WPA key interval", 299, 4, "u32" },
    { "ssid_count", "SSID count", 303, 1, "u8" },
}

local RADIO_BLOCK = {
    { "rf_count", "Radios", 0, 1, "u8" },
    { "rf_en", "Radio enabled", 1, 1, "u8" },
    { "rf_type", "Radio type", 2, 1, "u8" },
    { "country_code", "Country code", 3, 1, "u8" },
    { "network_mode", "Network mode", 4, 1, "u8" },
    { "bandwidth", "Bandwidth", 5, 1, "u8" },
    { "channel", "Channel", 6, 1, "u8" },
    { "expand_channel", "Extension channel", 7, 1, "u8" },
    { "tx_power", "Transmit power", 8, 1, "u8" },
    { "tx_power_min", "Lowest power", 9, 1, "u8" },
    { "tx_power_max", "Highest power", 10, 1, "u8" },
    { "ssid_rf_type", "SSID radio", 22, 1, "u8" },
    { "security", "Security", 23, 304, "block", SECURITY_BLOCK },
}

local VLAN_BLOCK = {
    { "vlan_en", "VLAN", 0, 1, "u8", on_off },
    { "vlan_id", "Management VLAN id", 2, 2, "u16" },
    { "vlan_id_wlan", "Wireless VLAN id", 4, 2, "u16" },
    { "vlan_id_lan", "LAN VLAN id", 6, 2, "u16" },
    { "apply", "Apply flag", 8, 1, "u8" },
}

local EXTENSION_BLOCK = {
    { "bridge_transparent", "Transparent bridge", 0, 1, "u8", on_off },
    { "tdmaEn", "Kelvra", 1, 1, "u8", on_off },
    { "vlan_pvid", "Port VLAN id", 2, 2, "u16" },
    { "vlan_id_lan3", "LAN 3 VLAN id", 4, 2, "u16" },
    { "vlan_id_lan4", "LAN 4 VLAN id", 6, 2, "u16" },
    { "wl_dfs", "DFS", 12, 1, "u8" },
    { "trunk_port", "Trunk port", 13, 1, "u8" },
    { "vlan_id_lan2", "LAN 2 VLAN id", 14, 2, "u16" },
}

local DISCOVER_REPLY = {
    { "version", "Version", 0, 32, "text", len = 32 },
    { "work_mode", "Work mode", 33, 1, "u8" },
    { "mode_btn_status", "Mode switch", 34, 1, "u8" },
    { "up_time", "Up time (s)", 36, 4, "u32" },
    { "ap_name", "Name", 40, 32, "text", len = 72 },
    { "ssid", "SSID", 73, 32, "text", len = 105 },
    { "channel", "Channel", 106, 1, "u8" },
    { "bridge_transparent", "Transparent bridge", 107, 1, "u8", on_off },
    { "tdmaEn", "Kelvra", 108, 1, "u8", on_off },
}

-- The device record body: payload byte k is record byte k + 24.
local RECORD_BODY = {
    { "work_mode", "Work mode", 0, 1, "u8" },
    { "mode_btn_status", "Mode switch", 1, 1, "u8" },
    { "up_time", "Up time (s)", 4, 4, "u32" },
    { "ip_block", "IP settings", 8, 22, "block", IP_BLOCK },
    { "ap_name", "Name", 30, 32, "text", len = 62 },
    { "version", "Version", 63, 32, "text", len = 95 },
    { "reboot_block", "Timed reboot", 96, 4, "block", REBOOT_BLOCK },
    { "radio_block", "Radio", 100, 328, "block", RADIO_BLOCK },
    { "bridge_work_mode", "Bridge work mode", 428, 1, "u8" },
    { "bridge_mac", "Bridge peer MAC", 429, 6, "ether" },
    { "bridge_channel", "Bridge channel", 435, 1, "u8" },
    { "bridge_ssid", "Bridge SSID", 436, 32, "text", len = 468 },
    { "vlan_block", "VLAN", 732, 10, "block", VLAN_BLOCK },
    { "extension_block", "Extension", 742, 16, "block", EXTENSION_BLOCK },
}

local BRIDGE_SECURITY = {
    { "work_mode", "Work mode", 0, 1, "u8" },
    { "ap_mac", "Access point MAC", 1, 6, "ether" },
    { "channel", "Channel", 7, 1, "u8" },
    { "ssid", "SSID", 8, 32, "text", len = 40 },
    { "secure_mode", "Security mode", 42, 1, "u8",
      { [0] = "None", [1] = "WEP", [2] = "WPA-PSK", [3] = "WPA2-PSK", [4] = "WPA/WPA2-PSK" } },
    { "cipher", "Cipher", 43, 1, "u8", { [0] = "AES", [1] = "TKIP", [2] = "TKIP and AES" } },
    { "key", "Key", 44, 64, "text", len = 108 },
    { "key_time", "Key interval", 109, 4, "u32" },
    { "wep_auth_type", "WEP authentication", 113, 1, "u8", { [0] = "Open", [1] = "Shared" } },
    { "wep_key_index", "WEP key index", 114, 1, "u8" },
}
for i = 0, 3 do
    BRIDGE_SECURITY[#BRIDGE_SECURITY + 1] = { "wep_key" .. i, "WEP key " .. i, 115 + 28 * i, 28, "block", {
        { "type", "Key format", 0, 1, "u8" },
        { "value", "Key", 1, 26, "text", len = 27 },
    } }
end

local BRIDGE_PAYLOAD = {
    { "security", "Bridge security", 0, 304, "block", BRIDGE_SECURITY },
    { "ip_block", "IP settings", 304, 22, "block", IP_BLOCK },
    { "byte326", "Byte 326", 326, 1, "u8" },
}

local NAME_PAYLOAD = { { "ap_name", "Name", 0, 32, "text", len = 32 } }

local UPGRADE_PAYLOAD = {
    { "file_name", "File name", 0, 260, "text", len = 260 },
    { "file_size", "File size", 264, 4, "u32" },
}

local SURVEY_ENTRY = {
    { "mac", "Access point MAC", 0, 6, "ether" },
    { "signal", "Signal (dBm)", 6, 1, "i8" },
    { "channel", "Channel", 7, 1, "u8" },
    { "secure_mode", "Security mode", 8, 1, "u8" },
    { "ssid", "SSID", 9, 32, "text", len = 41 },
    { "exchannel", "Extension channel", 42, 1, "u8" },
    { "bandwidth", "Bandwidth", 43, 1, "u8" },
}

declare("ip", IP_BLOCK)
declare("reboot", REBOOT_BLOCK)
declare("radio", RADIO_BLOCK)
declare("vlan", VLAN_BLOCK)
declare("ext", EXTENSION_BLOCK)
declare("disc", DISCOVER_REPLY)
declare("record", RECORD_BODY)
declare("bridge", BRIDGE_PAYLOAD)
declare("name", NAME_PAYLOAD)
declare("upgrade", UPGRADE_PAYLOAD)
declare("survey.entry", SURVEY_ENTRY)
field("survey.packet_count", "uint8", "Pages", base.DEC)
field("survey.packet_id", "uint8", "Page index", base.DEC)
field("survey.icount", "uint8", "Entries", base.DEC)

-- Payload layout of a datagram, by direction and message type: prefix, layout, expected length.
local function request_layout(msg, plen)
    if msg == 3 then return "ip", IP_BLOCK, 22 end
    if msg == 4 then
        return "wireless", {
            { "radio_block", "Radio", 0, 328, "block", RADIO_BLOCK },
            { "radio_extension", "Radio extension", 328, 16, "block", EXTENSION_BLOCK },
        }, (plen > 328) and 344 or 328
    end
    if msg == 5 then return "reboot", REBOOT_BLOCK, 4 end
    if msg == 7 then return "bridge", BRIDGE_PAYLOAD, 328 end
    if msg == 8 then return "name", NAME_PAYLOAD, 33 end
    if msg == 11 then return "upgrade", UPGRADE_PAYLOAD, 268 end
    if msg == 13 then
        return "vlanset", {
            { "vlan_block", "VLAN", 0, 10, "block", VLAN_BLOCK },
            { "extension_block", "Extension", 10, 16, "block", EXTENSION_BLOCK },
        }, (plen > 10) and 26 or 10
    end
    if msg == 18 or msg == 19 then return "ext", EXTENSION_BLOCK, 16 end
    return nil, nil, 0
end
declare("wireless", select(2, request_layout(4, 344)))
declare("vlanset", select(2, request_layout(13, 26)))

proto.fields = (function()
    local list = {}
    for _, f in pairs(fields) do list[#list + 1] = f end
    return list
end)()

local ef_malformed = ProtoExpert.new("pontiq.malformed", "Malformed Pontiq datagram",
                                     expert.group.MALFORMED, expert.severity.ERROR)
local ef_short = ProtoExpert.new("pontiq.short_payload", "Payload shorter than its layout",
                                 expert.group.MALFORMED, expert.severity.WARN)
proto.experts = { ef_malformed, ef_short }

-- Tree building -----------------------------------------------------------------------------

-- Adds the fields of `layout` that lie wholly inside `range` (a TvbRange); returns false when
-- the range was too short for one of them.
local function add_layout(tree, prefix, layout, range)
    local avail = range:len()
    local complete = true
    for _, e in ipairs(layout) do
        local abbr = prefix .. "." .. e[1]
        local off, width, kind = e[3], e[4], e[5]
        if off + width > avail then
            complete = false
        elseif kind == "block" then
            local sub = tree:add(proto, range(off, width), e[2])
            if not add_layout(sub, abbr, e[6], range(off, width)) then complete = false end
        elseif kind == "u16" or kind == "u32" then
            tree:add_le(fields[abbr], range(off, width))
        elseif kind == "text" then
            local lenoff = e.len
            local n = 0
            if lenoff < avail then
                n = range(lenoff, 1):uint()
                tree:add(fields[abbr .. "_len"], range(lenoff, 1))
            end
            n = math.min(n, width)
            if n > 0 then
                tree:add(fields[abbr], range(off, n), range(off, n):string(ENC_UTF_8))
            else
                tree:add(fields[abbr], range(off, width), "")
            end
        else
            tree:add(fields[abbr], range(off, width))
        end
    end
    return complete
end


local function dissect_survey(tree, range)
    if range:len() < 3 then return false end
    tree:add(fields["survey.packet_count"], range(0, 1))
    tree:add(fields["survey.packet_id"], range(1, 1))
    tree:add(fields["survey.icount"], range(2, 1))
    local count = range(2, 1):uint()
    local complete = true
    for k = 0, count - 1 do
        local off = 3 + 44 * k
        if off + 44 > range:len() then
            complete = false
            break
        end
        local sub = tree:add(proto, range(off, 44), "Access point " .. k)
        add_layout(sub, "survey.entry", SURVEY_ENTRY, range(off, 44))
    end
    return complete
end

function proto.dissector(tvb, pinfo, root)
    local len = tvb:len()
    if len < 2 or tvb(0, 2):le_uint() ~= MAGIC then return 0 end
    pinfo.cols.protocol = "PONTIQ"
    local tree = root:add(proto, tvb(), "Pontiq device protocol")
    tree:add_le(fields.magic, tvb(0, 2))
    if len < HEADER_LEN or len > MAX_DATAGRAM then
        tree:add_proto_expert_info(ef_malformed, "Datagram of " .. len .. " bytes (16..1472 expected)")
        pinfo.cols.info = "Malformed (" .. len .. " bytes)"
        return len
    end

    local type_code = tvb(2, 2):le_uint()
    local msg = tvb(4, 2):le_uint()
    local plen = tvb(14, 2):le_uint()
    local header = tree:add(proto, tvb(0, HEADER_LEN), "Header")
    header:add_le(fields.magic, tvb(0, 2))
    header:add_le(fields.type_code, tvb(2, 2))
    header:add_le(fields.msg_type, tvb(4, 2))
    header:add(fields.multicast, tvb(6, 1))
    header:add(fields.reserved, tvb(7, 1))
    header:add(fields.mac, tvb(8, 6))
    header:add_le(fields.payload_len, tvb(14, 2))

    local name = msg_types[msg] or ("type " .. msg)
    local dport, sport = pinfo.dst_port, pinfo.src_port
    local present = len - HEADER_LEN
    local body = math.min(plen, present)
    local payload = (body > 0) and tvb(HEADER_LEN, body) or nil
    local malformed = false
    if plen > present then
        tree:add_proto_expert_info(ef_malformed, "Payload length " .. plen .. " but " .. present .. " bytes follow")
        malformed = true
    end

    local direction, info
    if dport == PORT_DISCOVERY then
        direction = "discovery request"
        if tostring(pinfo.dl_dst) ~= "ff:ff:ff:ff:ff:ff" and tostring(pinfo.dst) ~= "255.255.255.255"
            and pinfo.dl_dst ~= nil and tostring(pinfo.dl_dst):sub(1, 2) ~= "ff" then
            direction = "discovery request (raw frame to one MAC)"
        end
        info = name .. " request"
    elseif dport == PORT_DISCOVERY_REPLY then
        direction = "discovery reply"
        local form = (plen > 33) and "long" or "short"
        tree:add(fields.form, form)
        info = name .. " reply (" .. form .. ")"
        if payload then
            local sub = tree:add(proto, payload, "Discovery reply")
            local layout = DISCOVER_REPLY
            if plen <= 33 then layout = { DISCOVER_REPLY[1] } end
            if not add_layout(sub, "disc", layout, payload) and not malformed then
                sub:add_proto_expert_info(ef_short)
            end
        end
    elseif dport == PORT_REPLY then
        direction = "reply"
        info = name .. " reply"
        if payload then
            if msg == 2 then
                local sub = tree:add(proto, payload, "Device record")
                if not add_layout(sub, "record", RECORD_BODY, payload) and not malformed then
                    sub:add_proto_expert_info(ef_short)
                end
            elseif msg == 6 then
                local sub = tree:add(proto, payload, "Survey page")
                if not dissect_survey(sub, payload) and not malformed then
                    sub:add_proto_expert_info(ef_short)
                end
                if body >= 3 then
                    info = info .. string.format(" page %d/%d, %d entries", payload(1, 1):uint() + 1,
                                                 payload(0, 1):uint(), payload(2, 1):uint())
                end
            elseif msg == 12 then
                tree:add(fields.upgrade_state, payload(0, 1))
                info = info .. " state " .. payload(0, 1):uint()
            else
                tree:add(fields.result, payload(0, 1))
                info = info .. " result " .. payload(0, 1):uint()
            end
        end
    elseif msg == 15 and plen > 0 then
        direction = "heartbeat"
        info = name
        if payload then
            local sub = tree:add(proto, payload, "Heartbeat")
            local hb = { DISCOVER_REPLY[1], DISCOVER_REPLY[2], DISCOVER_REPLY[3], DISCOVER_REPLY[4] }
            if not add_layout(sub, "disc", hb, payload) and not malformed then
                sub:add_proto_expert_info(ef_short)
            end
        end
    else
        direction = (msg == 15 or msg == 1) and "acknowledgement" or "command"
        info = name .. ((direction == "acknowledgement") and " ack" or "")
        local prefix, layout, want = request_layout(msg, plen)
        if layout and payload then
            local sub = tree:add(proto, payload, name .. " payload")
            if not add_layout(sub, prefix, layout, payload) and not malformed then
                sub:add_proto_expert_info(ef_short)
            end
        end
        if layout and plen ~= want and not malformed then
            tree:add_proto_expert_info(ef_short, "Payload of " .. plen .. " bytes, " .. want .. " expected")
        end
    end
    tree:add(fields.direction, direction)
    if type_code ~= 0 then info = info .. " model " .. type_code end
    pinfo.cols.info = info .. " " .. tostring(tvb(8, 6):ether())
    if malformed then pinfo.cols.info = "[Malformed] " .. tostring(pinfo.cols.info) end
    return len
end

local udp = DissectorTable.get("udp.port")
for port = PORT_DISCOVERY_REPLY, PORT_REPLY do
    udp:add(port, proto)
end
