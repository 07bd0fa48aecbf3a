-- The access point management protocol's constants, names and the parts of its dissection that
-- need no Wireshark object, for apmanager.lua, which loads this file from its own folder. Wireshark
-- loads every .lua file of a plugin folder: on its own this file defines nothing and registers
-- nothing.
--
-- Every constant below mirrors the utility's own codec (discovery/Frame.h,
-- config/ConfigExchange.cpp, discovery/DeviceRecord.h); tests/wireshark/constants_test.py fails
-- when the two drift apart.

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

-- Texts are single bytes, each its own character (Latin-1); the tree wants UTF-8.
local function latin1_to_utf8(raw)
    return (raw:gsub("[\128-\255]", function(c)
        local byte = c:byte()
        return string.char(0xC0 + math.floor(byte / 64), 0x80 + byte % 64)
    end))
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

-- Requests and what answers them. A reply goes to the address and port its request came from,
-- and answers the last request sent from there: an acknowledgement names nobody. One broadcast
-- to 255.255.255.255 (an access point outside the requester's subnet) has only the port to go by.
local LIMITED_BROADCAST = "255.255.255.255"

local function endpoint(address, port)
    return tostring(address) .. ":" .. port
end

local Exchanges = {}
Exchanges.__index = Exchanges

local function new_exchanges()
    -- pending: "address:port" -> the last request sent from there; pending_port: the same by
    -- port alone; by_frame: frame number -> the exchange of its request.
    return setmetatable({ pending = {}, pending_port = {}, by_frame = {} }, Exchanges)
end

function Exchanges:note_request(pinfo, message)
    if pinfo.visited or REPLY_TO[message] == nil then
        return
    end
    local exchange = { request = pinfo.number, time = pinfo.abs_ts, message = message }
    self.pending[endpoint(pinfo.src, pinfo.src_port)] = exchange
    self.pending_port[pinfo.src_port] = exchange
    self.by_frame[pinfo.number] = exchange
end

function Exchanges:note_reply(pinfo)
    if pinfo.visited then
        return
    end
    local exchange = self.pending[endpoint(pinfo.dst, pinfo.dst_port)]
    if exchange == nil and tostring(pinfo.dst) == LIMITED_BROADCAST then
        exchange = self.pending_port[pinfo.dst_port]
    end
    if exchange ~= nil then
        self.by_frame[pinfo.number] = exchange
        exchange.response = exchange.response or pinfo.number
    end
end

function Exchanges:of(number)
    return self.by_frame[number]
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

return {
    PORT = PORT,
    OPCODE_DISCOVERY = OPCODE_DISCOVERY,
    OPCODE_CONFIGURATION = OPCODE_CONFIGURATION,
    REQUEST_HEADER_LENGTH = REQUEST_HEADER_LENGTH,
    REPLY_HEADER_LENGTH = REPLY_HEADER_LENGTH,
    ELEMENT_HEADER_LENGTH = ELEMENT_HEADER_LENGTH,
    DISCOVERY_REQUEST_LENGTH = DISCOVERY_REQUEST_LENGTH,
    DHCP_REQUEST_LENGTH = DHCP_REQUEST_LENGTH,
    FIXED_REQUEST_LENGTH = FIXED_REQUEST_LENGTH,
    RESET_REQUEST_LENGTH = RESET_REQUEST_LENGTH,
    MAC_LENGTH = MAC_LENGTH,
    HEADER_MARK = HEADER_MARK,
    HEADER_END = HEADER_END,
    RECEIVE_BUFFER_LENGTH = RECEIVE_BUFFER_LENGTH,
    TAG_DISCOVERY = TAG_DISCOVERY,
    TAG_CONFIGURATION = TAG_CONFIGURATION,
    TAG_RESET = TAG_RESET,
    ELEMENT_NAME = ELEMENT_NAME,
    ELEMENT_MAC = ELEMENT_MAC,
    ELEMENT_IP_ADDRESS = ELEMENT_IP_ADDRESS,
    ELEMENT_SUBNET_MASK = ELEMENT_SUBNET_MASK,
    ELEMENT_GATEWAY = ELEMENT_GATEWAY,
    ELEMENT_DNS_SERVER = ELEMENT_DNS_SERVER,
    ELEMENT_ADDRESS_MODE = ELEMENT_ADDRESS_MODE,
    ELEMENT_DESCRIPTION = ELEMENT_DESCRIPTION,
    ELEMENT_FIRMWARE_VERSION = ELEMENT_FIRMWARE_VERSION,
    ELEMENT_SSID_BG = ELEMENT_SSID_BG,
    ELEMENT_CHANNEL_BG = ELEMENT_CHANNEL_BG,
    ELEMENT_WIRELESS_MODE = ELEMENT_WIRELESS_MODE,
    ELEMENT_SSID_A = ELEMENT_SSID_A,
    ELEMENT_CHANNEL_A = ELEMENT_CHANNEL_A,
    TEXT_WIDTH = TEXT_WIDTH,
    STATUS_OK = STATUS_OK,
    STATUS_DISCOVERY_ONLY = STATUS_DISCOVERY_ONLY,
    STATUSES = STATUSES,
    ELEMENT_NAMES = ELEMENT_NAMES,
    WIRELESS_MODES = WIRELESS_MODES,
    ADDRESS_MODES = ADDRESS_MODES,
    OPCODES = OPCODES,
    MESSAGE_DISCOVERY_REQUEST = MESSAGE_DISCOVERY_REQUEST,
    MESSAGE_CONFIGURATION_REQUEST = MESSAGE_CONFIGURATION_REQUEST,
    MESSAGE_RESET_REQUEST = MESSAGE_RESET_REQUEST,
    MESSAGE_DISCOVERY_REPLY = MESSAGE_DISCOVERY_REPLY,
    MESSAGE_CONFIGURATION_ACK = MESSAGE_CONFIGURATION_ACK,
    MESSAGE_RESET_ACK = MESSAGE_RESET_ACK,
    MESSAGE_REPLY = MESSAGE_REPLY,
    MESSAGE_UNKNOWN_REQUEST = MESSAGE_UNKNOWN_REQUEST,
    REPLY_TO = REPLY_TO,
    MESSAGES = MESSAGES,
    hex_text = hex_text,
    u16_value = u16_value,
    mac_colons = mac_colons,
    latin1_to_utf8 = latin1_to_utf8,
    request_message = request_message,
    info_text = info_text,
    new_exchanges = new_exchanges,
}
