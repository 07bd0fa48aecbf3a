"""Writes UDP datagrams into a classic pcap file of raw IPv4 packets, for the dissector's tests
that need frames no access point in the lab sends."""
import struct


def _ipv4_udp(source, destination, payload):
    sport, dport = source[1], destination[1]
    udp = struct.pack("!HHHH", sport, dport, 8 + len(payload), 0) + payload
    header = struct.pack("!BBHHHBBH4s4s", 0x45, 0, 20 + len(udp), 0, 0x4000, 64, 17, 0,
                         bytes(map(int, source[0].split("."))),
                         bytes(map(int, destination[0].split("."))))
    checksum = 0
    for (word,) in struct.iter_unpack("!H", header):
        checksum += word
    while checksum > 0xFFFF:
        checksum = (checksum & 0xFFFF) + (checksum >> 16)
    header = header[:10] + struct.pack("!H", ~checksum & 0xFFFF) + header[12:]
    return header + udp


def write_pcap(path, datagrams):
    """`datagrams`: (source (address, port), destination (address, port), payload bytes)."""
    with open(path, "wb") as out:
        out.write(struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 65535, 101))  # raw IPv4
        for number, (source, destination, payload) in enumerate(datagrams):
            packet = _ipv4_udp(source, destination, payload)
            out.write(struct.pack("<IIII", 1700000000 + number, 0, len(packet), len(packet)))
            out.write(packet)
