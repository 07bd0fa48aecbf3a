-- The elements of a reply or configuration request, each decoded by its type's handler, for
-- apmanager.lua: it runs this file with the protocol's constants (apmanager_protocol.lua), its
-- fields and its expert infos, and takes the function it returns. Wireshark loads every .lua file
-- of a plugin folder: run on its own, without them, this file defines and registers nothing.

local P, f, e = ...
if type(P) ~= "table" or type(f) ~= "table" or type(e) ~= "table" then
    return nil
end

-- A field over the value's bytes, or over no bytes when the element has no value.
local function put(tree, field, range, value)
    if range == nil then
        return tree:add(field, value)
    end
    return tree:add(field, range, value)
end

-- Each element type's decoding: handler(tree, value range or nil, type) returns what the Info
-- column shows of it, or nil.
local function text_element(field)
    return function(tree, value, type)
        if value == nil then
            put(tree, field, nil, "")
            return ""
        end
        local text = P.latin1_to_utf8(value:raw())
        local item = tree:add(field, value, text)
        local width = P.TEXT_WIDTH[type]
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
        local number = P.u16_value(value)
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
    local text = P.hex_text(value, P.MAC_LENGTH)
    if length == P.MAC_LENGTH then
        tree:add(f.mac, value)
    else
        tree:add(f.mac, Address.ether(P.mac_colons(text))):set_generated()
        tree:add_proto_expert_info(e.value_size, string.format(
            "MAC of %d bytes; the utility reads 6, missing ones as zero", length))
    end
    put(tree, f.mac_text, value, text)
    return text
end

local function add_firmware(tree, value)
    local length = value and value:len() or 0
    local text = P.hex_text(value, 2)
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
    put(tree, f.standard, value, P.WIRELESS_MODES[number] or ""):set_generated()
end

local ELEMENT_HANDLERS = {
    [P.ELEMENT_NAME] = text_element(f.name),
    [P.ELEMENT_MAC] = add_mac,
    [P.ELEMENT_IP_ADDRESS] = address_element(f.ip),
    [P.ELEMENT_SUBNET_MASK] = address_element(f.mask),
    [P.ELEMENT_GATEWAY] = address_element(f.gateway),
    [P.ELEMENT_DNS_SERVER] = address_element(f.dns),
    [P.ELEMENT_ADDRESS_MODE] = add_address_mode,
    [P.ELEMENT_DESCRIPTION] = text_element(f.description),
    [P.ELEMENT_FIRMWARE_VERSION] = add_firmware,
    [P.ELEMENT_SSID_BG] = text_element(f.ssid_bg),
    [P.ELEMENT_CHANNEL_BG] = u16_element(f.channel_bg),
    [P.ELEMENT_WIRELESS_MODE] = u16_element(f.wireless_mode, add_standard),
    [P.ELEMENT_SSID_A] = text_element(f.ssid_a),
    [P.ELEMENT_CHANNEL_A] = u16_element(f.channel_a),
}

-- One element at `offset`, its raw bytes and decoded value in a subtree of its own; the offset
-- of the next, or nil where the utility stops parsing.
local function dissect_element(buffer, tree, offset, limit, summary)
    local type = buffer(offset, 2):le_uint()
    local length = buffer(offset + 2, 1):uint()
    local span = math.min(math.max(length, P.ELEMENT_HEADER_LENGTH), limit - offset)
    local subtree = tree:add(f.element, buffer(offset, span))
    subtree:set_text(string.format("Element: %s (%d), length %d", P.ELEMENT_NAMES[type] or "Unknown",
                                   type, length))
    subtree:add_le(f.element_type, buffer(offset, 2))
    local length_item = subtree:add(f.element_length, buffer(offset + 2, 1))
    if length < P.ELEMENT_HEADER_LENGTH then
        length_item:add_proto_expert_info(e.element_short, string.format(
            "Length %d is below the 3-byte header; parsing stops here", length))
        local rest = limit - offset - P.ELEMENT_HEADER_LENGTH
        if rest > 0 then
            tree:add(f.unparsed, buffer(offset + P.ELEMENT_HEADER_LENGTH, rest))
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
    if length > P.ELEMENT_HEADER_LENGTH then
        value = buffer(offset + P.ELEMENT_HEADER_LENGTH, length - P.ELEMENT_HEADER_LENGTH)
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
        if limit - offset < P.ELEMENT_HEADER_LENGTH then
            local item = tree:add(f.unparsed, buffer(offset, limit - offset))
            item:add_proto_expert_info(e.element_past, string.format(
                "%d bytes left, less than an element header", limit - offset))
            return
        end
        offset = dissect_element(buffer, tree, offset, limit, summary)
    end
end

return dissect_elements
