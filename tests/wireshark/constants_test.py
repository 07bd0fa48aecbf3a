#!/usr/bin/env python3
"""The dissector's constants against the network side's: port, operation codes, header and
request lengths, command tags, element types (and a name for each), record text widths and the
wireless-mode names (the Ansible inventory plugin's as well). Read from the C++ sources, the Lua
file and the plugin, so that changing one side alone fails here."""

import argparse
import os
import re
import sys


def read(path):
    with open(path, encoding="utf-8") as source:
        return source.read()


def lua_name(cxx):
    """kElementFirmwareVersion -> ELEMENT_FIRMWARE_VERSION."""
    return re.sub(r"(?<!^)(?=[A-Z])", "_", cxx[1:]).upper()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--source", required=True, help="the source tree")
    parser.add_argument("--dissector", required=True)
    args = parser.parse_args()
    frame = read(f"{args.source}/discovery/Frame.h")
    frame_cpp = read(f"{args.source}/discovery/Frame.cpp")
    config = read(f"{args.source}/config/ConfigExchange.cpp")
    record = read(f"{args.source}/discovery/DeviceRecord.h")
    record_cpp = read(f"{args.source}/discovery/DeviceRecord.cpp")
    # The dissector with the files it loads from its folder.
    folder = os.path.dirname(os.path.abspath(args.dissector))
    lua = "\n".join(read(os.path.join(folder, name)) for name in sorted(os.listdir(folder))
                     if name.endswith(".lua"))
    inventory = read(f"{args.source}/ansible/ansible_collections/apmanager/fleet/plugins/"
                     "inventory/apctl.py")
    lua_values = {name: int(value, 0) for name, value in
                  re.findall(r"^local ([A-Z0-9_]+) = (0x[0-9A-Fa-f]+|\d+)\s*$", lua, re.M)}
    lua_strings = dict(re.findall(r'^local ([A-Z0-9_]+) = "([^"]*)"', lua, re.M))
    failures = []

    def same(what, cxx, dissector):
        if cxx != dissector:
            failures.append(f"{what}: network side {cxx!r}, dissector {dissector!r}")

    # Every constant the network side frames with, and every element type.
    expected = {"kAccessPointPort": "PORT"}
    cxx_values = {}
    for source in (frame, config):
        for name, value in re.findall(
                r"constexpr std::(?:uint8_t|uint16_t|size_t) (k\w+) = (0x[0-9A-Fa-f]+|\d+);",
                source):
            cxx_values[name] = int(value, 0)
    elements = dict(re.findall(r"^\s+(kElement\w+) = (\d+),", frame, re.M))
    if len(elements) < 10:
        failures.append(f"only {len(elements)} element types found in Frame.h")
    cxx_values.update({name: int(value) for name, value in elements.items()})
    for name, value in cxx_values.items():
        same(name, value, lua_values.get(expected.get(name, lua_name(name))))
    for name in elements:
        if not re.search(rf"\[{lua_name(name)}\] = \"", lua):
            failures.append(f"{name}: no name in the dissector's element names")
    lua_elements = {name for name in lua_values if name.startswith("ELEMENT_")}
    lua_elements -= {"ELEMENT_HEADER_LENGTH"}
    same("element types", sorted(lua_name(name) for name in elements), sorted(lua_elements))

    # The request header's fixed bytes.
    for index, lua_constant in ((1, "HEADER_MARK"), (9, "HEADER_END")):
        written = re.search(rf"frame\[{index}\] = (0x[0-9A-Fa-f]+);", frame_cpp)
        same(f"request header byte {index}", int(written.group(1), 0) if written else None,
             lua_values.get(lua_constant))

    # Command tags, in the order the requests use them.
    tags = re.findall(r'"(aaa\w:)"', frame_cpp + config)
    same("command tags", sorted(set(tags)),
         sorted(lua_strings.get(key) for key in ("TAG_DISCOVERY", "TAG_CONFIGURATION",
                                                 "TAG_RESET")))

    # Each text element's record field, less its terminator.
    for field, element in (("name", "ELEMENT_NAME"), ("description", "ELEMENT_DESCRIPTION"),
                           ("ssidBg", "ELEMENT_SSID_BG"), ("ssidA", "ELEMENT_SSID_A")):
        width = re.search(rf"char {field}\[(\d+)\];", record)
        shown = re.search(rf"\[{element}\] = (\d+),", lua.split("TEXT_WIDTH", 1)[1])
        same(f"{field} width", int(width.group(1)) - 1 if width else None,
             int(shown.group(1)) if shown else None)

    # The wireless-mode names of the main list.
    modes = re.search(r"kTexts\[\] = \{([^}]*)\}", record_cpp)
    lua_modes = re.search(r"local WIRELESS_MODES = \{([^}]*)\}", lua)
    cxx_modes = re.findall(r'"([^"]*)"', modes.group(1)) if modes else None
    same("wireless-mode names", cxx_modes,
         re.findall(r'"([^"]*)"', lua_modes.group(1)) if lua_modes else None)
    # The Ansible inventory's copy, which makes its standard_* groups.
    python_modes = re.search(r"^STANDARDS = \(([^)]*)\)", inventory, re.M)
    same("inventory plugin's wireless-mode names", cxx_modes,
         re.findall(r"'([^']*)'", python_modes.group(1)) if python_modes else None)

    # The status values: 0 taken by every exchange, 1 by a discovery only.
    same("discovery statuses", "datagram[2] <= 1" in frame_cpp,
         lua_values.get("STATUS_OK") == 0 and lua_values.get("STATUS_DISCOVERY_ONLY") == 1)
    same("acknowledgement status", "datagram[2] == 0" in frame_cpp,
         lua_values.get("STATUS_OK") == 0)

    for failure in failures:
        print("FAIL: " + failure)
    print(f"{len(cxx_values)} constants, {len(elements)} element types compared; "
          f"{len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
