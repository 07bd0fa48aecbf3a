#!/usr/bin/env python3
"""The Wireshark dissector on the golden captures taken in the lab: tshark with the plugin must
find, datagram by datagram, what apctl made of the same run (every record's fields, the
configuration sent and its acknowledgements), show each malformed reply's expert info, and
never raise a Lua error, also on random datagrams. Needs no lab: it only reads files."""

import argparse
import json
import os
import random
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

HERE = os.path.dirname(os.path.abspath(__file__))
CAPTURES = os.path.join(HERE, "captures")
sys.path.insert(0, HERE)
from pcapgen import write_pcap  # noqa: E402

# What a record keeps of each text (its field less the terminator), and the JSON key of every
# dissector field a discovery reply fills.
WIDTHS = {"name": 15, "description": 64, "ssidBg": 32, "ssidA": 32}
RECORD_FIELDS = {"apm.name": "name", "apm.mac_text": "macText", "apm.description": "description",
                 "apm.firmware": "firmwareVersion", "apm.ssid_bg": "ssidBg",
                 "apm.channel_bg": "channelBg", "apm.wireless_mode": "wirelessMode",
                 "apm.ssid_a": "ssidA", "apm.channel_a": "channelA"}
NUMBERS = {"channelBg", "channelA", "wirelessMode"}
STANDARDS = ["802.11b", "802.11b", "802.11g", "802.11b/g", "802.11a", "802.11a/b", "802.11a/g",
             "802.11a/b/g"]

# The malformed replies of the captures, by capture and sender, and the expert info each shows.
EXPECTED_EXPERTS = [
    ("discovery", "10.0.0.12", {"apm.element.unknown"}),             # types 3 and 30000
    ("discovery", "10.0.0.14", {"apm.reply.refused"}),              # status 2
    ("discovery", "192.168.1.20", {"apm.text_cut", "apm.element.short"}),
    ("hostile", "10.0.0.15", {"apm.text_cut"}),                      # 200-byte name
    ("hostile", "10.0.0.16", {"apm.element.short"}),                 # length byte 0
    ("hostile", "10.0.0.17", {"apm.element.short"}),                 # 1
    ("hostile", "10.0.0.18", {"apm.element.short"}),                 # 2
    ("hostile", "10.0.0.19", {"apm.element.past_end"}),              # 255
    ("hostile", "10.0.0.20", {"apm.length_mismatch"}),               # area of 60000 declared
    ("hostile", "10.0.0.21", {"apm.element.short"}),                 # 3,000 zeros at the end
    ("hostile", "10.0.0.31", {"apm.short"}),                         # 2 bytes: no status
    ("hostile", "10.0.0.32", {"apm.short"}),                         # 3 bytes: no area length
    ("no-ack", "192.168.1.22", {"apm.reply.refused"}),              # reset refused, status 1
]


# Frames no access point of the lab sends, each with the expert info it must show.
CLIENT, ACCESS_POINT = ("10.0.0.200", 40000), ("10.0.0.11", 34442)
BROADCAST = ("255.255.255.255", 34442)
CRAFTED = [
    ("request shorter than its header", CLIENT, BROADCAST, "400D0600616161", {"apm.short"}),
    ("header mark and end wrong", CLIENT, BROADCAST, "400E0800616161613A0B0100",
     {"apm.header.unexpected"}),
    ("request length field wrong", CLIENT, BROADCAST, "600D0D00616161633A0A000A1B2C3D4E",
     {"apm.length_mismatch", "apm.unanswered"}),
    ("unknown request", CLIENT, BROADCAST, "500D0600616161643A0A", {"apm.unknown_request"}),
    ("short IPv4 value, long mode", CLIENT, BROADCAST,
     "600D1700616161623A0A000A1B2C3D4E0700050001030006010203",
     {"apm.element.value_size", "apm.length_mismatch"}),
    ("reply over 3072 bytes, long texts", ACCESS_POINT, CLIENT, "410D00030C" + "0100FF"
     + "41" * 252 + "0800FF" + "42" * 252 + "00" * 2565,
     {"apm.oversized", "apm.text_cut", "apm.element.short"}),
    ("MAC of 3 bytes, channel of 1", ACCESS_POINT, CLIENT, "410D000A000200060A1B2C0C000406",
     {"apm.element.value_size"}),
    ("element header cut off", ACCESS_POINT, CLIENT, "410D0002000100", {"apm.element.past_end"}),
    # Values of two bytes above 255: channels 300 and 292, wireless mode 263.
    ("16-bit values above 255", ACCESS_POINT, CLIENT,
     "410D000F000C00052C011600052401" "0D00050701", set(),
     {"apm.channel_bg": "300", "apm.channel_a": "292", "apm.wireless_mode": "263"}),
    ("address mode of 2 bytes", ("10.0.0.201", 40001), BROADCAST,
     "600D1100616161623A0A000A1B2C3D4E0700050001",
     {"apm.element.value_size", "apm.length_mismatch", "apm.unanswered"}),
]

# Requests and acknowledgements paired by the requester's address and port: a frame each, with
# the message it is, the frames it is linked to, and its expert info.
REQUESTER, NEIGHBOUR = ("10.0.0.202", 40002), ("10.0.0.203", 40002)
DHCP_REQUEST = "600D1000616161623A0A000A1B2C3D4E07000401"
RESET_REQUEST = "600D0C00616161633A0A000A1B2C3D4E"
ACK = "410D000000"
LINKED = [
    # source, destination, frame, (message, response in, response to), experts
    (REQUESTER, BROADCAST, DHCP_REQUEST, ("2", "3", None), set()),
    (NEIGHBOUR, BROADCAST, DHCP_REQUEST, ("2", None, None), {"apm.unanswered"}),
    (ACCESS_POINT, REQUESTER, ACK, ("5", None, "1"), set()),
    (REQUESTER, BROADCAST, RESET_REQUEST, ("3", "5", None), set()),
    (ACCESS_POINT, REQUESTER, ACK, ("6", None, "4"), set()),
    (ACCESS_POINT, ("10.0.0.204", 40009), ACK, ("7", None, None), set()),
]


class Checks:
    def __init__(self):
        self.failures = []

    def equal(self, actual, expected, what):
        if actual != expected:
            self.failures.append(f"{what}: expected {expected!r}, got {actual!r}")
            print("FAIL: " + self.failures[-1], flush=True)


def plugin_options(args):
    """-X lua_script:DISSECTOR, or nothing when Wireshark loads the same file from one of its
    plugin folders already (the package installed): a second copy would not load."""
    folders = subprocess.run([args.tshark, "-G", "folders"], capture_output=True, text=True,
                             timeout=60).stdout
    for line in folders.splitlines():
        kind, _, folder = line.partition(":")
        installed = os.path.join(folder.strip(), os.path.basename(args.dissector))
        if kind.endswith("Lua Plugins") and os.path.exists(installed):
            with open(installed, "rb") as one, open(args.dissector, "rb") as other:
                if one.read() != other.read():
                    raise SystemExit(f"{installed} is another version of {args.dissector}, and "
                                     "Wireshark loads it by itself: remove it (or the package) "
                                     "to test this one")
            return []
    return ["-X", "lua_script:" + args.dissector]


def run_tshark(args, capture, *extra):
    result = subprocess.run([args.tshark, "-n", "-2", *args.plugin, "-r", capture, *extra],
                            capture_output=True, text=True, errors="replace", timeout=120)
    if result.returncode != 0:
        raise SystemExit(f"tshark failed on {capture}: {result.stderr}")
    # A load error too: the dissector tested would not be the one loaded.
    errors = [line for line in (result.stdout + result.stderr).splitlines()
              if "Lua Error" in line or "Lua: Error" in line or "Proto_new" in line]
    if errors:
        raise SystemExit(f"Lua error dissecting {capture}:\n" + "\n".join(errors[:5]))
    return result.stdout


def text_of(field):
    """A text field's bytes as the access point sent them, one character per byte."""
    return bytes.fromhex(field.get("value", "")).decode("latin-1")


def dissect(args, checks, capture):
    """One dict per datagram: sender, receiver, the first value of every field, the record its
    elements make (later elements of a type replacing earlier ones, texts cut to the record's
    widths) and the names of its expert infos."""
    root = ElementTree.fromstring(run_tshark(args, capture, "-T", "pdml"))
    packets = []
    for packet in root.iter("packet"):
        ip = packet.find("proto[@name='ip']")
        apm = packet.find("proto[@name='apm']")
        if apm is None:
            continue
        info = {"src": ip.find("field[@name='ip.src']").get("show"),
                "dst": ip.find("field[@name='ip.dst']").get("show"),
                "record": {}, "fields": {}, "shown": {}, "experts": set()}
        for field in apm.iter("field"):
            name, show = field.get("name"), field.get("show")
            info["fields"].setdefault(name, show)
            info["shown"].setdefault(name, field.get("showname"))
            if name == "_ws.expert":
                info["experts"].update(child.get("name") for child in field
                                       if child.get("name", "").startswith("apm."))
            elif name == "apm.standard":
                info["record"]["standard"] = show
            elif name in RECORD_FIELDS:
                key = RECORD_FIELDS[name]
                if key not in WIDTHS:
                    info["record"][key] = int(show) if key in NUMBERS else show
                    continue
                text = text_of(field)
                # Shown as UTF-8 (checked where tshark shows every character as it is).
                if all(" " <= c <= "~" or c >= "\u00a0" for c in text):
                    checks.equal(show, text, f"{os.path.basename(capture)}: {name} as shown")
                info["record"][key] = text.split("\0")[0][:WIDTHS[key]]
        packets.append(info)
    return packets


def load_runs(name):
    with open(os.path.join(CAPTURES, name + ".apctl.json"), encoding="utf-8") as runs:
        return json.load(runs)


def check_discovery(checks, name, packets, records):
    """Every record apctl listed is an accepted reply of the capture with the same fields, and
    every accepted reply's MAC is one of apctl's records."""
    requesters = {p["src"] for p in packets if p["fields"].get("apm.message") == "1"}
    accepted = [p for p in packets if p["fields"].get("apm.message") == "4"
                and p["fields"].get("apm.accepted") == "1"]
    for record in records:
        mac = record["macText"]
        heard = [p for p in accepted if p["record"].get("macText", "") == mac
                 and p["src"] == record["ipAddress"]]
        checks.equal(bool(heard), True, f"{name}: a reply of {mac} from {record['ipAddress']}")
        if not heard:
            continue
        # A reply without an element leaves its field empty, or zero.
        dissected = (dict.fromkeys([*WIDTHS, "firmwareVersion"], "") | dict.fromkeys(NUMBERS, 0)
                     | heard[0]["record"])
        for key in ["name", "description", "ssidBg", "ssidA", "firmwareVersion", *NUMBERS]:
            checks.equal(dissected[key], record[key], f"{name}: {mac} {key}")
        if "standard" in dissected:
            checks.equal(dissected["standard"], STANDARDS[record["wirelessMode"]],
                         f"{name}: {mac} standard")
        checks.equal(record["localAddress"] in requesters, True,
                     f"{name}: {mac} heard on {record['localAddress']}, which asked")
    checks.equal({p["record"].get("macText", "") for p in accepted},
                 {r["macText"] for r in records}, f"{name}: MACs of the accepted replies")


def check_configuration(checks, name, packets, run):
    """The request carries apctl's MAC, mode and addresses; acknowledgements are accepted
    exactly when apctl says so."""
    argv, stdout = run["argv"], run["stdout"]
    mac = "".join(c for c in argv[1] if c not in ":-").upper()
    requests = [p for p in packets if p["fields"].get("apm.target_text") == mac]
    kinds = [p["fields"]["apm.message"] for p in requests]
    acks = {kind: [p for p in packets if p["fields"].get("apm.message") == kind
                   and p["fields"].get("apm.mac_text") == mac] for kind in ("5", "6")}
    if argv[0] == "reset":
        checks.equal(set(kinds), {"3"}, f"{name}: reset requests")
        checks.equal([p["fields"]["apm.accepted"] == "1" for p in acks["6"]] == [True],
                     run["exit"] == 0, f"{name}: reset acknowledged as apctl says")
        return
    configuration = [p for p in requests if p["fields"]["apm.message"] == "2"]
    checks.equal(bool(configuration), True, f"{name}: a configuration request for {mac}")
    for request in configuration:
        fields = request["fields"]
        checks.equal(fields.get("apm.mode"), {"fixed": "0", "dhcp": "1"}[stdout["mode"]],
                     f"{name}: mode")
        if stdout["mode"] == "fixed":
            at = argv.index("--fixed")
            checks.equal([fields.get(k) for k in ("apm.ip", "apm.mask", "apm.gateway",
                                                  "apm.dns")],
                         argv[at + 1:at + 5], f"{name}: the four addresses")
    configured = stdout["outcome"] in ("configured", "answers")
    checks.equal(any(p["fields"].get("apm.accepted") == "1" for p in acks["5"]), configured,
                 f"{name}: configuration acknowledged")
    checks.equal(any(p["fields"].get("apm.accepted") == "1" for p in acks["6"]), configured,
                 f"{name}: reset acknowledged")
    if stdout["outcome"] == "answers":
        checks.equal(any(p["fields"].get("apm.message") == "4" and p["src"] == stdout["address"]
                         and p["record"].get("macText") == mac for p in packets), True,
                     f"{name}: a discovery reply of {mac} from {stdout['address']}")


def check_captures(args, checks):
    for name in ("discovery", "foreign-subnet", "hostile", "configure-fixed", "configure-dhcp",
                 "no-ack"):
        packets = dissect(args, checks, os.path.join(CAPTURES, name + ".pcapng"))
        for run in load_runs(name):
            if run["argv"][0] == "discover":
                check_discovery(checks, name, packets, run["stdout"])
            else:
                check_configuration(checks, name, packets, run)
        for capture, source, experts in EXPECTED_EXPERTS:
            if capture == name:
                shown = set().union(*(p["experts"] for p in packets if p["src"] == source))
                checks.equal(shown, experts, f"{name}: expert info of the reply from {source}")
        if name in ("foreign-subnet", "configure-fixed", "configure-dhcp"):
            checks.equal(set().union(*(p["experts"] for p in packets)), set(),
                         f"{name}: no expert info")


def fuzz_datagrams(seed, count):
    """Valid frames mutated (bytes changed, cut, lengthened) and plain noise, in both
    directions."""
    rng = random.Random(seed)
    client, access_point = ("10.0.0.200", 40000), ("10.0.0.11", 34442)
    broadcast = ("255.255.255.255", 34442)
    seeds = [
        (client, broadcast, bytes.fromhex("400D1800616161613A0A01000200080009000B000C000D00"
                                          "15001600")),
        (client, broadcast, bytes.fromhex("600D2C00616161623A0A000A1B2C3D4E07000400030007"
                                          "0A000033040007FFFFFF000500070A0000010600070A000035")),
        (client, broadcast, bytes.fromhex("600D1000616161623A0A000A1B2C3D4E07000401")),
        (client, broadcast, bytes.fromhex("600D0C00616161633A0A000A1B2C3D4E")),
        (access_point, client, bytes.fromhex("410D002B00010008416E6E6578020009000A1B2C3D4E"
                                             "090005010B0C0005060D0D000507001600052400")),
        (access_point, client, bytes.fromhex("410D000900020009000A1B2C3D4E")),
    ]
    datagrams = []
    for _ in range(count):
        source, destination, frame = rng.choice(seeds)
        frame = bytearray(frame)
        for _ in range(rng.randint(0, 6)):
            action = rng.randrange(4)
            if action == 0 and frame:
                frame[rng.randrange(len(frame))] = rng.randrange(256)
            elif action == 1 and frame:
                del frame[rng.randrange(len(frame)):]
            elif action == 2:
                frame += bytes(rng.randrange(256) for _ in range(rng.randint(1, 40)))
            else:
                frame = bytearray(rng.randrange(256) for _ in range(rng.randint(0, 64)))
        datagrams.append((source, destination, bytes(frame)))
    return datagrams


def check_crafted(args, checks):
    with tempfile.TemporaryDirectory() as scratch:
        capture = os.path.join(scratch, "crafted.pcap")
        write_pcap(capture, [(source, destination, bytes.fromhex(frame))
                             for _, source, destination, frame, *_ in CRAFTED])
        packets = dissect(args, checks, capture)
    checks.equal(len(packets), len(CRAFTED), "crafted frames dissected")
    for (what, _, _, _, experts, *fields), packet in zip(CRAFTED, packets):
        checks.equal(packet["experts"], experts, what)
        for name, value in (fields[0] if fields else {}).items():
            checks.equal(packet["fields"].get(name), value, f"{what}: {name}")


def check_linked(args, checks):
    with tempfile.TemporaryDirectory() as scratch:
        capture = os.path.join(scratch, "linked.pcap")
        write_pcap(capture, [(source, destination, bytes.fromhex(frame))
                             for source, destination, frame, *_ in LINKED])
        packets = dissect(args, checks, capture)
    checks.equal(len(packets), len(LINKED), "linked frames dissected")
    for number, ((*_, links, experts), packet) in enumerate(zip(LINKED, packets), 1):
        fields = packet["fields"]
        checks.equal((fields.get("apm.message"), fields.get("apm.response_in"),
                      fields.get("apm.response_to")), links, f"frame {number}: links")
        checks.equal(packet["experts"], experts, f"frame {number}: expert info")
    # One second between frames: the acknowledgement of frame 1 comes 2 s after it.
    checks.equal(packets[2]["fields"].get("apm.time"), "2.000000000", "response time")
    checks.equal([packets[2]["shown"].get(name) for name in ("apm.message", "apm.reply.status")],
                 ["Message: Configuration acknowledgement (5)", "Status: OK (0)"],
                 "message and status by name")


def check_fuzz(args, checks):
    count = 3000
    with tempfile.TemporaryDirectory() as scratch:
        capture = os.path.join(scratch, "fuzz.pcap")
        datagrams = fuzz_datagrams(args.seed, count)
        write_pcap(capture, datagrams)
        tree = run_tshark(args, capture, "-V", "-O", "apm")
    # UDP hands an empty datagram to no dissector.
    checks.equal(tree.count("\nAccess Point Management"), sum(1 for d in datagrams if d[2]),
                 f"fuzz (seed {args.seed}): datagrams dissected")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--tshark", default="tshark")
    parser.add_argument("--dissector", required=True)
    parser.add_argument("--seed", type=int, default=21)
    args = parser.parse_args()
    args.plugin = plugin_options(args)
    checks = Checks()
    check_captures(args, checks)
    check_crafted(args, checks)
    check_linked(args, checks)
    check_fuzz(args, checks)
    print(f"{len(checks.failures)} failed check(s)")
    return 1 if checks.failures else 0


if __name__ == "__main__":
    sys.exit(main())
