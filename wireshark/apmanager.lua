-- Access point management protocol (UDP 34442), as apmanager and apctl speak it.
--
-- Installed into Wireshark's global Lua plugin folder by the package, beside the two files it
-- loads from its own folder, apmanager_protocol.lua (constants, names, the pairing of requests
-- and answers) and apmanager_elements.lua (the elements' decoding); from a source tree:
--   tshark -X lua_script:wireshark/apmanager.lua -r capture.pcapng
--
-- Whatever a datagram holds, the dissector reports what is wrong as expert info and never raises a
-- Lua error: every read is checked against what the datagram holds first.
--
-- Field names: "apm." and words joined by "_"; a second dot only for the parts of a datagram,
-- "apm.header." (a request's header), "apm.reply." (a reply's header) and "apm.element.".

local folder = debug.getinfo(1, "S").source:match("^@(.*[/\\])") or ""
local P = dofile(folder .. "apmanager_protocol.lua")

local apm = Proto("apm", "Access Point Management")

local f = {
    message = ProtoField.uint8("apm.message", "Message", base.DEC, P.MESSAGES),
    opcode = ProtoField.uint8("apm.header.opcode", "Operation code", base.HEX, P.OPCODES),
    mark = ProtoField.uint8("apm.header.mark", "Header mark", base.HEX),
    following = ProtoField.uint16("apm.header.length", "Length after the first 4 bytes", base.DEC),
    tag = ProtoField.string("apm.header.tag", "Command tag"),
    header_end = ProtoField.uint8("apm.header.end", "Header end", base.HEX),
    requested = ProtoField.uint16("apm.requested", "Requested element", base.DEC, P.ELEMENT_NAMES),
    target = ProtoField.ether("apm.target", "Target MAC"),
    target_text = ProtoField.string("apm.target_text", "Target MAC text"),
    prefix = ProtoField.bytes("apm.reply.prefix", "Reply prefix (not examined)"),
    status = ProtoField.uint8("apm.reply.status", "Status", base.DEC, P.STATUSES),
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
    element_type = ProtoField.uint16("apm.element.type", "Type", base.DEC, P.ELEMENT_NAMES),
    element_length = ProtoField.uint8("apm.element.length", "Length", base.DEC),
    element_value = ProtoField.bytes("apm.element.value", "Value"),
    name = ProtoField.string("apm.name", "Name"),
    mac = ProtoField.ether("apm.mac", "MAC address"),
    mac_text = ProtoField.string("apm.mac_text", "MAC text"),
    ip = ProtoField.ipv4("apm.ip", "IPv4 address"),
    mask = ProtoField.ipv4("apm.mask", "Subnet mask"),
    gateway = ProtoField.ipv4("apm.gateway", "Gateway"),
    dns = ProtoField.ipv4("apm.dns", "DNS server"),
    mode = ProtoField.uint8("apm.mode", "Address mode", base.DEC, P.ADDRESS_MODES),
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
local dissect_elements = assert(loadfile(folder .. "apmanager_elements.lua"))(P, f, e)

-- The request header's fields; its operation code and command tag.
local function dissect_request_header(buffer, tree)
    local total = buffer:len()
    tree:add(f.opcode, buffer(0, 1))
    local mark = tree:add(f.mark, buffer(1, 1))
    if buffer(1, 1):uint() ~= P.HEADER_MARK then
        mark:add_proto_expert_info(e.header, string.format("Expected 0x%02X", P.HEADER_MARK))
    end
    local following = buffer(2, 2):le_uint()
    local following_item = tree:add_le(f.following, buffer(2, 2))
    if following ~= total - 4 then
        following_item:add_proto_expert_info(e.length, string.format(
            "Declares %d bytes after the first 4, the datagram has %d", following, total - 4))
    end
    local tag = P.latin1_to_utf8(buffer(4, 5):raw())
    tree:add(f.tag, buffer(4, 5), tag)
    local header_end = tree:add(f.header_end, buffer(9, 1))
    if buffer(9, 1):uint() ~= P.HEADER_END then
        header_end:add_proto_expert_info(e.header, string.format("Expected 0x%02X", P.HEADER_END))
    end
    return buffer(0, 1):uint(), tag
end

local function dissect_requested_types(buffer, tree)
    local total, offset = buffer:len(), P.REQUEST_HEADER_LENGTH
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
    if total < P.REQUEST_HEADER_LENGTH + P.MAC_LENGTH then
        tree:add_proto_expert_info(e.short, "No room for the target MAC")
        return
    end
    local mac = buffer(P.REQUEST_HEADER_LENGTH, P.MAC_LENGTH)
    tree:add(f.target, mac)
    summary.target = P.hex_text(mac, P.MAC_LENGTH)
    tree:add(f.target_text, mac, summary.target)
    if message == P.MESSAGE_RESET_REQUEST then
        if total ~= P.RESET_REQUEST_LENGTH then
            tree:add_proto_expert_info(e.length, string.format(
                "A reset request is %d bytes", P.RESET_REQUEST_LENGTH))
        end
        return
    end
    if total ~= P.DHCP_REQUEST_LENGTH and total ~= P.FIXED_REQUEST_LENGTH then
        tree:add_proto_expert_info(e.length, string.format(
            "A configuration request is %d (DHCP) or %d (fixed) bytes",
            P.DHCP_REQUEST_LENGTH, P.FIXED_REQUEST_LENGTH))
    end
    dissect_elements(buffer, tree, P.REQUEST_HEADER_LENGTH + P.MAC_LENGTH, total, summary)
end

local function dissect_request(buffer, tree, summary)
    local total = buffer:len()
    if total < P.REQUEST_HEADER_LENGTH then
        tree:add_proto_expert_info(e.short, string.format(
            "%d bytes, a request header is %d", total, P.REQUEST_HEADER_LENGTH))
        return P.MESSAGE_UNKNOWN_REQUEST
    end
    local opcode, tag = dissect_request_header(buffer, tree)
    local message = P.request_message(opcode, tag)
    tree:add(f.message, message):set_generated()
    if message == P.MESSAGE_UNKNOWN_REQUEST then
        tree:add_proto_expert_info(e.unknown_request, string.format(
            "Operation code 0x%02X with tag %q", opcode, tag))
    elseif message == P.MESSAGE_DISCOVERY_REQUEST then
        dissect_requested_types(buffer, tree)
    else
        dissect_configuration(buffer, tree, message, summary)
    end
    return message
end

-- Requests and their answers, kept from one pass over the capture to the next.
local exchanges = P.new_exchanges()

-- The request's first answer; with every frame seen (a second pass), a configuration or reset
-- that nothing answered.
local function link_request(pinfo, tree)
    local exchange = exchanges:of(pinfo.number)
    if exchange == nil then
        return
    end
    if exchange.response ~= nil then
        tree:add(f.response_in, exchange.response):set_generated()
    elseif pinfo.visited and exchange.message ~= P.MESSAGE_DISCOVERY_REQUEST then
        tree:add_proto_expert_info(e.unanswered, string.format(
            "No %s to this %s", P.MESSAGES[P.REPLY_TO[exchange.message]]:lower(),
            P.MESSAGES[exchange.message]:lower()))
    end
end

-- The request a reply answers, and how long after it; the message it is by that request.
local function link_reply(pinfo, tree)
    local exchange = exchanges:of(pinfo.number)
    if exchange == nil then
        return P.MESSAGE_REPLY
    end
    tree:add(f.response_to, exchange.request):set_generated()
    local elapsed = math.max(pinfo.abs_ts - exchange.time, 0)
    local seconds = math.floor(elapsed)
    tree:add(f.time, NSTime.new(seconds, math.floor((elapsed - seconds) * 1e9 + 0.5)))
        :set_generated()
    return P.REPLY_TO[exchange.message]
end

local function dissect_status(buffer, tree, message, summary)
    local status = buffer(2, 1):uint()
    local status_item = tree:add(f.status, buffer(2, 1))
    summary.status = status
    local accepted = status == P.STATUS_OK
    if message == P.MESSAGE_DISCOVERY_REPLY or message == P.MESSAGE_REPLY then
        accepted = accepted or status == P.STATUS_DISCOVERY_ONLY
    end
    if message ~= P.MESSAGE_REPLY then
        tree:add(f.accepted, accepted):set_generated()
        if not accepted then
            status_item:add_proto_expert_info(e.refused, string.format(
                "Status %d: the utility ignores this %s", status, P.MESSAGES[message]:lower()))
        end
    end
end

local function dissect_reply(buffer, pinfo, tree, summary)
    local total = buffer:len()
    exchanges:note_reply(pinfo)
    local message = link_reply(pinfo, tree)
    tree:add(f.message, message):set_generated()
    if total < 3 then
        tree:add_proto_expert_info(e.short, string.format(
            "%d bytes: no status, so no reply at all", total))
        return message
    end
    tree:add(f.prefix, buffer(0, 2))
    dissect_status(buffer, tree, message, summary)
    if total < P.REPLY_HEADER_LENGTH then
        tree:add_proto_expert_info(e.short, string.format(
            "%d bytes, a reply header is %d", total, P.REPLY_HEADER_LENGTH))
        return message
    end
    local declared = buffer(3, 2):le_uint()
    local area_item = tree:add_le(f.area_length, buffer(3, 2))
    local available = total - P.REPLY_HEADER_LENGTH
    if declared > available then
        area_item:add_proto_expert_info(e.length, string.format(
            "Declares %d bytes, the datagram holds %d; only those are read", declared, available))
    end
    if total > P.RECEIVE_BUFFER_LENGTH then
        tree:add_proto_expert_info(e.oversized, string.format(
            "%d bytes; the utility reads the first %d", total, P.RECEIVE_BUFFER_LENGTH))
    end
    local area = math.min(declared, available)
    dissect_elements(buffer, tree, P.REPLY_HEADER_LENGTH, P.REPLY_HEADER_LENGTH + area, summary)
    if declared < available then
        tree:add(f.trailing, buffer(P.REPLY_HEADER_LENGTH + declared))
    end
    return message
end

function apm.dissector(buffer, pinfo, tree)
    pinfo.cols.protocol = "APM"
    local subtree = tree:add(apm, buffer(), "Access Point Management")
    local summary = {}
    local message
    if pinfo.dst_port == P.PORT and pinfo.src_port ~= P.PORT then
        message = dissect_request(buffer, subtree, summary)
        exchanges:note_request(pinfo, message)
        link_request(pinfo, subtree)
    else
        message = dissect_reply(buffer, pinfo, subtree, summary)
    end
    local info = P.info_text(message, summary)
    pinfo.cols.info = info
    subtree:append_text(", " .. info)
    return buffer:len()
end

function apm.init()
    exchanges = P.new_exchanges()
end

DissectorTable.get("udp.port"):add(P.PORT, apm)
