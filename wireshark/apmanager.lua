-- Access point management protocol (UDP 34442), as apmanager and apctl speak it.
--
-- Installed into Wireshark's global Lua plugin folder by the package; from a source tree:
--   tshark -X lua_script:wireshark/apmanager.lua -r capture.pcapng
--
-- Every constant below mirrors the utility's own codec (discovery/Frame.h,
-- config/ConfigExchange.cpp, discovery/DeviceRecord.h); tests/wireshark/constants_test.py fails
-- when the two drift apart.
-- Whatever a datagram holds, the dissector reports what is wrong as expert info and never raises a
-- Lua error: every read is checked against what the datagram holds first.
--
-- Field names: "apm." and words joined by "_"; a second dot only for the parts of a datagram,
-- "apm.header." (a request's header), "apm.reply." (a reply's header) and "apm.element.".

local PORT = 34442

local OPCODE_DISCOVERY = 0x40
local OPCODE_CONFIGURATION = 0x60
local REQUEST_HEADER_LENGTH = 10
local REPLY_HEADER_LENGTH = 5
local ELEMENT_HEADER_LENGTH = 3
-- What the utility sends; a request asking for other types is as valid.
local DISCOVERY_REQUEST_LENGTH = 28
local DHCP_REQUEST_LENGTH = 20
local FIXED_REQUEST_LENGTH = 48
local RESET_REQUEST_LENGTH = 16
local MAC_LENGTH = 6
local HEADER_MARK = 0x0D
local HEADER_END = 0x0A
-- The utility reads no further into a reply than this.
local RECEIVE_BUFFER_LENGTH = 3072

local TAG_DISCOVERY = "aaaa:"
local TAG_CONFIGURATION = "aaab:"
local TAG_RESET = "aaac:"

local ELEMENT_NAME = 1
local ELEMENT_MAC = 2
local ELEMENT_IP_ADDRESS = 3
local ELEMENT_SUBNET_MASK = 4
local ELEMENT_GATEWAY = 5
local ELEMENT_DNS_SERVER = 6
local ELEMENT_ADDRESS_MODE = 7
local ELEMENT_DESCRIPTION = 8
local ELEMENT_FIRMWARE_VERSION = 9
local ELEMENT_SSID_BG = 11
local ELEMENT_CHANNEL_BG = 12
local ELEMENT_WIRELESS_MODE = 13
local ELEMENT_SSID_A = 21
local ELEMENT_CHANNEL_A = 22

-- Bytes a record keeps of each text, its terminator left out.
local TEXT_WIDTH = {
    [ELEMENT_NAME] = 15,
    [ELEMENT_DESCRIPTION] = 64,
    [ELEMENT_SSID_BG] = 32,
    [ELEMENT_SSID_A] = 32,
}

-- Status 0 is accepted by every exchange, 1 by a discovery only.
local STATUS_OK = 0
local STATUS_DISCOVERY_ONLY = 1
local STATUSES = {
    [STATUS_OK] = "OK",
    [STATUS_DISCOVERY_ONLY] = "OK for a discovery only",
}

local ELEMENT_NAMES = {
    [ELEMENT_NAME] = "Name",
    [ELEMENT_MAC] = "MAC address",
    [ELEMENT_IP_ADDRESS] = "IPv4 address",
    [ELEMENT_SUBNET_MASK] = "Subnet mask",
    [ELEMENT_GATEWAY] = "Gateway",
    [ELEMENT_DNS_SERVER] = "DNS server",
    [ELEMENT_ADDRESS_MODE] = "Address mode",
    [ELEMENT_DESCRIPTION] = "Description",
    [ELEMENT_FIRMWARE_VERSION] = "Firmware version",
    [ELEMENT_SSID_BG] = "SSID 802.11b/g",
    [ELEMENT_CHANNEL_BG] = "Channel 802.11b/g",
    [ELEMENT_WIRELESS_MODE] = "Wireless mode",
    [ELEMENT_SSID_A] = "SSID 802.11a",
    [ELEMENT_CHANNEL_A] = "Channel 802.11a",
}

-- The main list's names of the wireless-mode codes (1 is 802.11b, 2 is 802.11g, 4 is 802.11a).
local WIRELESS_MODES = {
    [0] = "802.11b", [1] = "802.11b", [2] = "802.11g", [3] = "802.11b/g",
    [4] = "802.11a", [5] = "802.11a/b", [6] = "802.11a/g", [7] = "802.11a/b/g",
}

local ADDRESS_MODES = { [0] = "fixed", [1] = "dhcp" }

local OPCODES = {
    [OPCODE_DISCOVERY] = "Discovery",
    [OPCODE_CONFIGURATION] = "Configuration",
}

local MESSAGE_DISCOVERY_REQUEST = 1
local MESSAGE_CONFIGURATION_REQUEST = 2
local MESSAGE_RESET_REQUEST = 3
local MESSAGE_DISCOVERY_REPLY = 4
local MESSAGE_CONFIGURATION_ACK = 5
local MESSAGE_RESET_ACK = 6
local MESSAGE_REPLY = 7
local MESSAGE_UNKNOWN_REQUEST = 8
-- What answers each request.
local REPLY_TO = {
    [MESSAGE_DISCOVERY_REQUEST] = MESSAGE_DISCOVERY_REPLY,
    [MESSAGE_CONFIGURATION_REQUEST] = MESSAGE_CONFIGURATION_ACK,
    [MESSAGE_RESET_REQUEST] = MESSAGE_RESET_ACK,
}
local MESSAGES = {
    [MESSAGE_DISCOVERY_REQUEST] = "Discovery request",
    [MESSAGE_CONFIGURATION_REQUEST] = "Configuration request",
    [MESSAGE_RESET_REQUEST] = "Reset request",
    [MESSAGE_DISCOVERY_REPLY] = "Discovery reply",
    [MESSAGE_CONFIGURATION_ACK] = "Configuration acknowledgement",
    [MESSAGE_RESET_ACK] = "Reset acknowledgement",
    [MESSAGE_REPLY] = "Reply",
    [MESSAGE_UNKNOWN_REQUEST] = "Unknown request",
}

local apm = Proto("apm", "Access Point Management")

local f = {
    message = ProtoField.uint8("apm.message", "Message", base.DEC, MESSAGES),
    opcode = ProtoField.uint8("apm.header.opcode", "Operation code", base.HEX, OPCODES),
    mark = ProtoField.uint8("apm.header.mark", "Header mark", base.HEX),
    following = ProtoField.uint16("apm.header.length", "Length after the first 4 bytes", base.DEC),
    tag = ProtoField.string("apm.header.tag", "Command tag"),
    header_end = ProtoField.uint8("apm.header.end", "Header end", base.HEX),
    requested = ProtoField.uint16("apm.requested", "Requested element", base.DEC, ELEMENT_NAMES),
    target = ProtoField.ether("apm.target", "Target MAC"),
    target_text = ProtoField.string("apm.target_text", "Target MAC text"),
    prefix = ProtoField.bytes("apm.reply.prefix", "Reply prefix (not examined)"),
    status = ProtoField.uint8("apm.reply.status", "Status", base.DEC, STATUSES),
    area_length = ProtoField.uint16("apm.reply.area_length", "Element area length", base.DEC),
    accepted = ProtoField.bool("apm.accepted", "Accepted by the utility"),
    response_in = ProtoField.framenum("apm.response_in", "Response in", base.NONE,
                                      frametype.RESPONSE),
    response_to = ProtoField.framenum("apm.response_to", "Response to", base.NONE,
                                      frametype.REQUEST),
    time = ProtoField.relative_time("apm.time", "Time since the request"),
    trailing = ProtoField.bytes("apm.trailing", "Bytes after the element area"),
    unparsed = ProtoField.bytes("apm.unparsed", "Not parsed (after a malformed element)"),
    element = ProtoField.none("apm.element", "Element"),
    element_type = ProtoField.uint16("apm.element.type", "Type", base.DEC, ELEMENT_NAMES),
    element_length = ProtoField.uint8("apm.element.length", "Length", base.DEC),
    element_value = ProtoField.bytes("apm.element.value", "Value"),
    name = ProtoField.string("apm.name", "Name"),
    mac = ProtoField.ether("apm.mac", "MAC address"),
    mac_text = ProtoField.string("apm.mac_text", "MAC text"),
    ip = ProtoField.ipv4("apm.ip", "IPv4 address"),
    mask = ProtoField.ipv4("apm.mask", "Subnet mask"),
    gateway = ProtoField.ipv4("apm.gateway", "Gateway"),
    dns = ProtoField.ipv4("apm.dns", "DNS server"),
    mode = ProtoField.uint8("apm.mode", "Address mode", base.DEC, ADDRESS_MODES),
    description = ProtoField.string("apm.description", "Description"),
    firmware = ProtoField.string("apm.firmware", "Firmware version"),
    ssid_bg = ProtoField.string("apm.ssid_bg", "SSID 802.11b/g"),
    channel_bg = ProtoField.uint16("apm.channel_bg", "Channel 802.11b/g", base.DEC),
    wireless_mode = ProtoField.uint16("apm.wireless_mode", "Wireless mode", base.DEC),
    standard = ProtoField.string("apm.standard", "IEEE standard"),
    ssid_a = ProtoField.string("apm.ssid_a", "SSID 802.11a"),
    channel_a = ProtoField.uint16("apm.channel_a", "Channel 802.11a", base.DEC),
}
apm.fields = f

local function expert_of(name, text, group, severity)
    return ProtoExpert.new(name, text, expert.group[group], expert.severity[severity])
end

local e = {
    short = expert_of("apm.short", "Too short for its header", "MALFORMED", "ERROR"),
    header = expert_of("apm.header.unexpected", "Unexpected request header byte", "PROTOCOL",
                       "WARN"),
    length = expert_of("apm.length_mismatch", "Declared length does not match the datagram",
                       "MALFORMED", "ERROR"),
    element_short = expert_of("apm.element.short", "Element length below its 3-byte header",
                              "MALFORMED", "ERROR"),
    element_past = expert_of("apm.element.past_end", "Element runs past the element area",
                             "MALFORMED", "ERROR"),
    element_unknown = expert_of("apm.element.unknown", "Unknown element type", "PROTOCOL", "WARN"),
    value_size = expert_of("apm.element.value_size", "Element value of an unexpected size",
                           "PROTOCOL", "WARN"),
    text_cut = expert_of("apm.text_cut", "Text longer than the utility keeps", "PROTOCOL", "NOTE"),
    refused = expert_of("apm.reply.refused", "Status the utility does not accept",
                        "RESPONSE_CODE", "NOTE"),
    oversized = expert_of("apm.oversized", "Datagram longer than the utility reads", "PROTOCOL",
                          "WARN"),
    unknown_request = expert_of("apm.unknown_request", "Unknown request", "PROTOCOL", "WARN"),
    unanswered = expert_of("apm.unanswered", "No acknowledgement in the capture", "SEQUENCE",
                           "NOTE"),
}
apm.experts = { e.short, e.header, e.length, e.element_short, e.element_past, e.element_unknown,
                e.value_size, e.text_cut, e.refused, e.oversized, e.unknown_request,
                e.unanswered }

local function hex_text(range, count)
    -- Missing bytes count as zero, as the utility formats them.
    local parts = {}
    for i = 0, count - 1 do
        local byte = 0
        if range ~= nil and i < range:len() then
            byte = range:range(i, 1):uint()
        end
        parts[#parts + 1] = string.format("%02X", byte)
    end
    return table.concat(parts)
end

local function u16_value(range)
    -- Least significant byte first; a missing high byte is zero, bytes past two are not read.
    if range == nil then
        return 0
    end
    local value = range:range(0, 1):uint()
    if range:len() >= 2 then
        value = value + range:range(1, 1):uint() * 256
    end
    return value
end

local function mac_colons(text)
    return (text:gsub("(%x%x)", "%1:"):sub(1, 17):lower())
end

-- A field over the value's bytes, or over no bytes when the element has no value.
local function put(tree, field, range, value)
    if range == nil then
        return tree:add(field, value)
    end
    return tree:add(field, range, value)
end

-- Texts are single bytes, each its own character (Latin-1); the tree wants UTF-8.
local function latin1_to_utf8(raw)
    return (raw:gsub("[\128-\255]", function(c)
        local byte = c:byte()
        return string.char(0xC0 + math.floor(byte / 64), 0x80 + byte % 64)
    end))
end

-- Each element type's decoding: handler(tree, value range or nil, type) returns what the Info
-- column shows of it, or nil.
local function text_element(field)
    return function(tree, value, type)
        if value == nil then
            put(tree, field, nil, "")
            return ""
        end
        local text = latin1_to_utf8(value:raw())
        local item = tree:add(field, value, text)
        local width = TEXT_WIDTH[type]
        if width ~= nil and value:len() > width then
            item:add_proto_expert_info(e.text_cut, string.format(
                "%d bytes; the utility keeps the first %d", value:len(), width))
        end
        return text
    end
end

local function address_element(field)
    return function(tree, value)
        if value == nil or value:len() ~= 4 then
            tree:add_proto_expert_info(e.value_size, "An IPv4 address needs 4 bytes")
            return nil
        end
        tree:add(field, value)
        return tostring(value:ipv4())
    end
end

-- A 16-bit number, least significant byte first; `also` adds what follows from it.
local function u16_element(field, also)
    return function(tree, value)
        local number = u16_value(value)
        put(tree, field, value, number)
        if also ~= nil then
            also(tree, value, number)
        end
        local length = value and value:len() or 0
        if length ~= 2 then
            tree:add_proto_expert_info(e.value_size, string.format(
                "16-bit value of %d bytes; the utility reads the first 2, a missing one as zero",
                length))
        end
        return number
    end
end

local function add_mac(tree, value)
    local length = value and value:len() or 0
    local text = hex_text(value, MAC_LENGTH)
    if length == MAC_LENGTH then
        tree:add(f.mac, value)
    else
        tree:add(f.mac, Address.ether(mac_colons(text))):set_generated()
        tree:add_proto_expert_info(e.value_size, string.format(
            "MAC of %d bytes; the utility reads 6, missing ones as zero", length))
    end
    put(tree, f.mac_text, value, text)
    return text
end

local function add_firmware(tree, value)
    local length = value and value:len() or 0
    local text = hex_text(value, 2)
    put(tree, f.firmware, value, text)
    if length ~= 2 then
        tree:add_proto_expert_info(e.value_size, string.format(
            "Firmware version of %d bytes; the utility reads 2, missing ones as zero", length))
    end
    return text
end

local function add_address_mode(tree, value)
    if value == nil or value:len() ~= 1 then
        tree:add_proto_expert_info(e.value_size, "The address mode is 1 byte")
        return nil
    end
    tree:add(f.mode, value)
    return value:uint()
end

local function add_standard(tree, value, number)
    put(tree, f.standard, value, WIRELESS_MODES[number] or ""):set_generated()
end

local ELEMENT_HANDLERS = {
    [ELEMENT_NAME] = text_element(f.name),
    [ELEMENT_MAC] = add_mac,
    [ELEMENT_IP_ADDRESS] = address_element(f.ip),
    [ELEMENT_SUBNET_MASK] = address_element(f.mask),
    [ELEMENT_GATEWAY] = address_element(f.gateway),
    [ELEMENT_DNS_SERVER] = address_element(f.dns),
    [ELEMENT_ADDRESS_MODE] = add_address_mode,
    [ELEMENT_DESCRIPTION] = text_element(f.description),
    [ELEMENT_FIRMWARE_VERSION] = add_firmware,
    [ELEMENT_SSID_BG] = text_element(f.ssid_bg),
    [ELEMENT_CHANNEL_BG] = u16_element(f.channel_bg),
    [ELEMENT_WIRELESS_MODE] = u16_element(f.wireless_mode, add_standard),
    [ELEMENT_SSID_A] = text_element(f.ssid_a),
    [ELEMENT_CHANNEL_A] = u16_element(f.channel_a),
}

-- One element at `offset`, its raw bytes and decoded value in a subtree of its own; the offset
-- of the next, or nil where the utility stops parsing.
local function dissect_element(buffer, tree, offset, limit, summary)
    local type = buffer(offset, 2):le_uint()
    local length = buffer(offset + 2, 1):uint()
    local span = math.min(math.max(length, ELEMENT_HEADER_LENGTH), limit - offset)
    local subtree = tree:add(f.element, buffer(offset, span))
    subtree:set_text(string.format("Element: %s (%d), length %d", ELEMENT_NAMES[type] or "Unknown",
                                   type, length))
    subtree:add_le(f.element_type, buffer(offset, 2))
    local length_item = subtree:add(f.element_length, buffer(offset + 2, 1))
    if length < ELEMENT_HEADER_LENGTH then
        length_item:add_proto_expert_info(e.element_short, string.format(
            "Length %d is below the 3-byte header; parsing stops here", length))
        local rest = limit - offset - ELEMENT_HEADER_LENGTH
        if rest > 0 then
            tree:add(f.unparsed, buffer(offset + ELEMENT_HEADER_LENGTH, rest))
        end
        return nil
    end
    if length > limit - offset then
        length_item:add_proto_expert_info(e.element_past, string.format(
            "Length %d runs %d bytes past the element area; parsing stops here",
            length, length - (limit - offset)))
        return nil
    end
    local value = nil
    if length > ELEMENT_HEADER_LENGTH then
        value = buffer(offset + ELEMENT_HEADER_LENGTH, length - ELEMENT_HEADER_LENGTH)
        subtree:add(f.element_value, value)
    end
    local handler = ELEMENT_HANDLERS[type]
    if handler == nil then
        subtree:add_proto_expert_info(e.element_unknown, string.format(
            "Element type %d is unknown; skipped", type))
    else
        summary[type] = handler(subtree, value, type)
    end
    return offset + length
end

-- Elements back to back from `offset` to `limit`, the utility's way: an element shorter than its
-- header, or one running past the area, ends the parsing and what came before it stands.
local function dissect_elements(buffer, tree, offset, limit, summary)
    while offset ~= nil and offset < limit do
        if limit - offset < ELEMENT_HEADER_LENGTH then
            local item = tree:add(f.unparsed, buffer(offset, limit - offset))
            item:add_proto_expert_info(e.element_past, string.format(
                "%d bytes left, less than an element header", limit - offset))
            return
        end
        offset = dissect_element(buffer, tree, offset, limit, summary)
    end
end

-- The request header's fields; its operation code and command tag.
local function dissect_request_header(buffer, tree)
    local total = buffer:len()
    tree:add(f.opcode, buffer(0, 1))
    local mark = tree:add(f.mark, buffer(1, 1))
    if buffer(1, 1):uint() ~= HEADER_MARK then
        mark:add_proto_expert_info(e.header, string.format("Expected 0x%02X", HEADER_MARK))
    end
    local following = buffer(2, 2):le_uint()
    local following_item = tree:add_le(f.following, buffer(2, 2))
    if following ~= total - 4 then
        following_item:add_proto_expert_info(e.length, string.format(
            "Declares %d bytes after the first 4, the datagram has %d", following, total - 4))
    end
    local tag = latin1_to_utf8(buffer(4, 5):raw())
    tree:add(f.tag, buffer(4, 5), tag)
    local header_end = tree:add(f.header_end, buffer(9, 1))
    if buffer(9, 1):uint() ~= HEADER_END then
        header_end:add_proto_expert_info(e.header, string.format("Expected 0x%02X", HEADER_END))
    end
    return buffer(0, 1):uint(), tag
end

local function request_message(opcode, tag)
    if opcode == OPCODE_DISCOVERY and tag == TAG_DISCOVERY then
        return MESSAGE_DISCOVERY_REQUEST
    elseif opcode == OPCODE_CONFIGURATION and tag == TAG_CONFIGURATION then
        return MESSAGE_CONFIGURATION_REQUEST
    elseif opcode == OPCODE_CONFIGURATION and tag == TAG_RESET then
        return MESSAGE_RESET_REQUEST
    end
    return MESSAGE_UNKNOWN_REQUEST
end

local function dissect_requested_types(buffer, tree)
    local total, offset = buffer:len(), REQUEST_HEADER_LENGTH
    while offset + 2 <= total do
        tree:add_le(f.requested, buffer(offset, 2))
        offset = offset + 2
    end
    if offset < total then
        tree:add_proto_expert_info(e.length, "An odd byte after the requested types")
    end
end

-- A configuration or reset request after its header: the target MAC, then the elements.
local function dissect_configuration(buffer, tree, message, summary)
    local total = buffer:len()
    if total < REQUEST_HEADER_LENGTH + MAC_LENGTH then
        tree:add_proto_expert_info(e.short, "No room for the target MAC")
        return
    end
    local mac = buffer(REQUEST_HEADER_LENGTH, MAC_LENGTH)
    tree:add(f.target, mac)
    summary.target = hex_text(mac, MAC_LENGTH)
    tree:add(f.target_text, mac, summary.target)
    if message == MESSAGE_RESET_REQUEST then
        if total ~= RESET_REQUEST_LENGTH then
            tree:add_proto_expert_info(e.length, string.format(
                "A reset request is %d bytes", RESET_REQUEST_LENGTH))
        end
        return
    end
    if total ~= DHCP_REQUEST_LENGTH and total ~= FIXED_REQUEST_LENGTH then
        tree:add_proto_expert_info(e.length, string.format(
            "A configuration request is %d (DHCP) or %d (fixed) bytes",
            DHCP_REQUEST_LENGTH, FIXED_REQUEST_LENGTH))
    end
    dissect_elements(buffer, tree, REQUEST_HEADER_LENGTH + MAC_LENGTH, total, summary)
end

local function dissect_request(buffer, tree, summary)
    local total = buffer:len()
    if total < REQUEST_HEADER_LENGTH then
        tree:add_proto_expert_info(e.short, string.format(
            "%d bytes, a request header is %d", total, REQUEST_HEADER_LENGTH))
        return MESSAGE_UNKNOWN_REQUEST
    end
    local opcode, tag = dissect_request_header(buffer, tree)
    local message = request_message(opcode, tag)
    tree:add(f.message, message):set_generated()
    if message == MESSAGE_UNKNOWN_REQUEST then
        tree:add_proto_expert_info(e.unknown_request, string.format(
            "Operation code 0x%02X with tag %q", opcode, tag))
    elseif message == MESSAGE_DISCOVERY_REQUEST then
        dissect_requested_types(buffer, tree)
    else
        dissect_configuration(buffer, tree, message, summary)
    end
    return message
end

-- Requests and what answers them. A reply goes to the address and port its request came from,
-- and answers the last request sent from there: an acknowledgement names nobody. One broadcast
-- to 255.255.255.255 (an access point outside the requester's subnet) has only the port to go by.
local LIMITED_BROADCAST = "255.255.255.255"
local pending = {}       -- "address:port" -> the last request sent from there
local pending_port = {}  -- port -> the last request sent from it, whatever the address
local exchanges = {}     -- frame number -> its request's exchange

local function endpoint(address, port)
    return tostring(address) .. ":" .. port
end

local function note_request(pinfo, message)
    if pinfo.visited or REPLY_TO[message] == nil then
        return
    end
    local exchange = { request = pinfo.number, time = pinfo.abs_ts, message = message }
    pending[endpoint(pinfo.src, pinfo.src_port)] = exchange
    pending_port[pinfo.src_port] = exchange
    exchanges[pinfo.number] = exchange
end

local function note_reply(pinfo)
    if pinfo.visited then
        return
    end
    local exchange = pending[endpoint(pinfo.dst, pinfo.dst_port)]
    if exchange == nil and tostring(pinfo.dst) == LIMITED_BROADCAST then
        exchange = pending_port[pinfo.dst_port]
    end
    if exchange ~= nil then
        exchanges[pinfo.number] = exchange
        exchange.response = exchange.response or pinfo.number
    end
end

-- The request's first answer; with every frame seen (a second pass), a configuration or reset
-- that nothing answered.
local function link_request(pinfo, tree)
    local exchange = exchanges[pinfo.number]
    if exchange == nil then
        return
    end
    if exchange.response ~= nil then
        tree:add(f.response_in, exchange.response):set_generated()
    elseif pinfo.visited and exchange.message ~= MESSAGE_DISCOVERY_REQUEST then
        tree:add_proto_expert_info(e.unanswered, string.format(
            "No %s to this %s", MESSAGES[REPLY_TO[exchange.message]]:lower(),
            MESSAGES[exchange.message]:lower()))
    end
end

-- The request a reply answers, and how long after it; the message it is by that request.
local function link_reply(pinfo, tree)
    local exchange = exchanges[pinfo.number]
    if exchange == nil then
        return MESSAGE_REPLY
    end
    tree:add(f.response_to, exchange.request):set_generated()
    local elapsed = math.max(pinfo.abs_ts - exchange.time, 0)
    local seconds = math.floor(elapsed)
    tree:add(f.time, NSTime.new(seconds, math.floor((elapsed - seconds) * 1e9 + 0.5)))
        :set_generated()
    return REPLY_TO[exchange.message]
end

local function dissect_status(buffer, tree, message, summary)
    local status = buffer(2, 1):uint()
    local status_item = tree:add(f.status, buffer(2, 1))
    summary.status = status
    local accepted = status == STATUS_OK
    if message == MESSAGE_DISCOVERY_REPLY or message == MESSAGE_REPLY then
        accepted = accepted or status == STATUS_DISCOVERY_ONLY
    end
    if message ~= MESSAGE_REPLY then
        tree:add(f.accepted, accepted):set_generated()
        if not accepted then
            status_item:add_proto_expert_info(e.refused, string.format(
                "Status %d: the utility ignores this %s", status, MESSAGES[message]:lower()))
        end
    end
end

local function dissect_reply(buffer, pinfo, tree, summary)
    local total = buffer:len()
    note_reply(pinfo)
    local message = link_reply(pinfo, tree)
    tree:add(f.message, message):set_generated()
    if total < 3 then
        tree:add_proto_expert_info(e.short, string.format(
            "%d bytes: no status, so no reply at all", total))
        return message
    end
    tree:add(f.prefix, buffer(0, 2))
    dissect_status(buffer, tree, message, summary)
    if total < REPLY_HEADER_LENGTH then
        tree:add_proto_expert_info(e.short, string.format(
            "%d bytes, a reply header is %d", total, REPLY_HEADER_LENGTH))
        return message
    end
    local declared = buffer(3, 2):le_uint()
    local area_item = tree:add_le(f.area_length, buffer(3, 2))
    local available = total - REPLY_HEADER_LENGTH
    if declared > available then
        area_item:add_proto_expert_info(e.length, string.format(
            "Declares %d bytes, the datagram holds %d; only those are read", declared, available))
    end
    if total > RECEIVE_BUFFER_LENGTH then
        tree:add_proto_expert_info(e.oversized, string.format(
            "%d bytes; the utility reads the first %d", total, RECEIVE_BUFFER_LENGTH))
    end
    local area = math.min(declared, available)
    dissect_elements(buffer, tree, REPLY_HEADER_LENGTH, REPLY_HEADER_LENGTH + area, summary)
    if declared < available then
        tree:add(f.trailing, buffer(REPLY_HEADER_LENGTH + declared))
    end
    return message
end

local function info_text(message, summary)
    local parts = { MESSAGES[message] }
    if summary.status ~= nil then
        parts[#parts + 1] = "status " .. summary.status
    end
    if summary[ELEMENT_NAME] ~= nil then
        parts[#parts + 1] = "\"" .. summary[ELEMENT_NAME] .. "\""
    end
    local mac = summary[ELEMENT_MAC] or summary.target
    if mac ~= nil then
        parts[#parts + 1] = mac
    end
    if summary[ELEMENT_ADDRESS_MODE] ~= nil then
        local mode = ADDRESS_MODES[summary[ELEMENT_ADDRESS_MODE]] or "mode ?"
        if summary[ELEMENT_IP_ADDRESS] ~= nil then
            mode = mode .. " " .. summary[ELEMENT_IP_ADDRESS]
        end
        parts[#parts + 1] = mode
    end
    return table.concat(parts, ", ")
end

function apm.dissector(buffer, pinfo, tree)
    pinfo.cols.protocol = "APM"
    local subtree = tree:add(apm, buffer(), "Access Point Management")
    local summary = {}
    local message
    if pinfo.dst_port == PORT and pinfo.src_port ~= PORT then
        message = dissect_request(buffer, subtree, summary)
        note_request(pinfo, message)
        link_request(pinfo, subtree)
    else
        message = dissect_reply(buffer, pinfo, subtree, summary)
    end
    local info = info_text(message, summary)
    pinfo.cols.info = info
    subtree:append_text(", " .. info)
    return buffer:len()
end

function apm.init()
    pending = {}
    pending_port = {}
    exchanges = {}
end

DissectorTable.get("udp.port"):add(PORT, apm)
