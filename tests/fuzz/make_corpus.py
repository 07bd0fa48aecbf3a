#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: replies and requests built from the protocol
tables, with this script's own encoder."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def element(kind, value, length=None):
    return struct.pack("<HB", kind, len(value) + 3 if length is None else length) + value


def reply(status, elements, declared=None):
    area = b"".join(elements)
    return struct.pack("<BBBH", 0x41, 0x0D, status, len(area) if declared is None else declared) + area


FULL = [
    element(1, b"Lobby-AP"),
    element(2, bytes([0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E])),
    element(8, b"Second floor, east wing"),
    element(9, bytes([0x01, 0x0B])),
    element(11, b"corp-bg"),
    element(12, struct.pack("<H", 6)),
    element(13, struct.pack("<H", 7)),
    element(21, b"corp-a"),
    element(22, struct.pack("<H", 165)),
]

SEEDS = {
    "parse_reply": {
        "full": reply(0, FULL),
        "full_status1": reply(1, FULL),
        "status2": reply(2, FULL),
        "reversed": reply(0, list(reversed(FULL))),
        "no_elements": reply(0, []),
        "header_only_short": bytes([0x41, 0x0D, 0x00]),
        "unknown_type": reply(0, [element(3, bytes([10, 0, 0, 5])), element(1, b"after")]),
        "long_texts": reply(0, [element(1, b"N" * 40), element(8, b"D" * 200), element(11, b"S" * 60)]),
        "short_mac": reply(0, [element(2, b"\xAA\xBB"), element(9, b"\x07")]),
        "zero_length": reply(0, [element(1, b"ok"), element(8, b"", length=0)]),
        "length_two": reply(0, [element(1, b"ok"), element(8, b"", length=2)]),
        "overrun": reply(0, [element(1, b"ok"), element(8, b"x", length=255)]),
        "declared_past_end": reply(0, FULL, declared=0xFFFF),
        "declared_short": reply(0, FULL, declared=7),
        # The bounds of the reader, byte-exact: an element ending at the last received byte or
        # at the declared end, and one ending a byte beyond either.
        "ends_at_last_byte": reply(0, [element(1, b"ok")]),
        "one_past_last_byte": reply(0, [element(1, b"ok", length=6)]),
        "header_one_past_last_byte": reply(0, [element(1, b"")], declared=3)[:-1],
        "ends_at_declared_end": reply(0, [element(1, b"ok")]) + b"Z",
        "one_past_declared_end": reply(0, [element(1, b"ok", length=6)], declared=5) + b"Z",
        "header_one_past_declared_end": reply(0, [element(1, b"ok")], declared=2),
        "markup": reply(0, [element(1, b"<b>x</b>"), element(8, b"<img src=x>\x1b[2J\xe9\xff")]),
    },
    "acknowledgement": {
        "ack": reply(0, [element(2, bytes(6))]),
        "refusal": reply(1, []),
        "runt": bytes([0x41, 0x0D]),
        "status_only": bytes([0x41, 0x0D, 0x00]),
    },
    "hex_bytes": {
        "mac": bytes([0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E]),
        "text": b"000a1B2c3D4eGg",
        "all": bytes(range(256)),
    },
    "apctl_arguments": {
        "discover_json": b"discover\0--json",
        "configure_fixed": b"configure\x00000A1B2C3D4E\0--fixed\x00010.0.0.9\x00255.255.255.0\x0010.0.0.1\x008.8.8.8",
        "configure_dhcp": b"configure\x0000:0a:1b:2c:3d:4e\0--dhcp",
        "reset": b"reset\x0000-0A-1B-2C-3D-4E",
        "bad_address": b"configure\x00000A1B2C3D4E\0--fixed\x001.2.3\x00255.255.255.0\x0010.0.0.1\x008.8.8.8",
    },
}

for target, seeds in SEEDS.items():
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)
