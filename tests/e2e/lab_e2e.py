#!/usr/bin/env python3
"""End-to-end tests: apctl against simulated access points in the network-namespace lab.

Each scenario brings up its own lab (scripts/lab, with an id of its own so that scenarios and
other developers' labs can run side by side), runs apctl inside the lab's host namespace, checks
apctl's output and the simulators' event logs, and always takes the lab down again.

Timing is judged from the simulators' logs, whose timestamps come from CLOCK_MONOTONIC, the same
clock as time.monotonic() here; bounds are generous because the machine is shared.
"""

import argparse
import json
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
FLEETS = os.path.join(HERE, "fleets")

# Written out from the protocol tables, never produced by the utility's encoder.
DISCOVERY_REQUEST = "400D1800616161613A0A01000200080009000B000C000D0015001600"
NETWORKS = {"lan0": "10.0.0.200", "lan1": "192.168.1.200"}

SILENCE_S = 4.0
RESEND_GAP_S = 0.6
GAP_TOLERANCE_S = 0.25
# Late bound on a silence: scheduling on a busy 2-core machine, never a second more.
SILENCE_SLACK_S = 1.0


class Checks:
    """Collects failed checks so that one costly lab run reports everything it found."""

    def __init__(self):
        self.failures = []

    def that(self, condition, message):
        if not condition:
            self.failures.append(message)
            print("FAIL: " + message, flush=True)
        return condition

    def equal(self, actual, expected, what):
        return self.that(actual == expected, f"{what}: expected {expected!r}, got {actual!r}")

    def between(self, value, low, high, what):
        return self.that(low <= value <= high,
                         f"{what}: expected {low:.3f} to {high:.3f}, got {value:.3f}")


class Lab:
    """One lab for the length of a `with` block; down on every way out, also on failure."""

    def __init__(self, script, apsim, tag):
        self.script = script
        self.apsim = apsim
        self.id = f"e2e{tag}{os.getpid() % 10000000}"[:12]
        self.logdir = None

    def run(self, *args, check=False, timeout=60):
        # The lab records this program as its owner, so that a sweep by a later run can tell
        # whether it is still in use.
        environment = dict(os.environ, APMLAB_OWNER_PID=str(os.getpid()))
        return subprocess.run([self.script, "--id", self.id, "--apsim", self.apsim, *args],
                              capture_output=True, text=True, check=check, timeout=timeout,
                              env=environment)

    def __enter__(self):
        return self

    def up(self, fleet):
        result = self.run("up", fleet)
        if result.returncode != 0:
            raise SystemExit("cannot create the lab (scripts/lab up): " + result.stderr.strip())
        self.logdir = self.run("logdir", check=True).stdout.strip()
        if read_owner(os.path.join(self.logdir, "owner")) is None:
            raise SystemExit("scripts/lab up recorded no owner; a later sweep could not tell "
                             "whether this lab is in use")

    def __exit__(self, *exc):
        result = self.run("down")
        if result.returncode != 0:
            print("scripts/lab down failed: " + result.stderr, file=sys.stderr)
        return False

    def apctl(self, apctl, *args, timeout=60):
        """Runs apctl in the host namespace; returns (result, monotonic start, monotonic end)."""
        start = time.monotonic()
        result = subprocess.run([self.script, "--id", self.id, "exec", "--", apctl, *args],
                                capture_output=True, text=True, timeout=timeout)
        end = time.monotonic()
        print(f"$ apctl {' '.join(args)}  -> exit {result.returncode} in {end - start:.2f} s",
              flush=True)
        return result, start, end

    def events(self, network, kind=None, event="request", start=None, end=None):
        """The log lines of one network's simulator, optionally within [start, end]."""
        lines = []
        with open(os.path.join(self.logdir, network + ".jsonl"), encoding="utf-8") as log:
            for text in log:
                line = json.loads(text)
                if line["event"] != event or (kind and line.get("kind") != kind):
                    continue
                if start is not None and line["mono"] < start:
                    continue
                if end is not None and line["mono"] > end:
                    continue
                lines.append(line)
        return lines


def read_owner(path):
    """A lab's owner record ({"pid", "start", "boot", "pidns"}), or None when there is none."""
    try:
        with open(path, encoding="utf-8") as record:
            owner = dict(line.rstrip("\n").split(" ", 1) for line in record if " " in line)
    except OSError:
        return None
    return owner if {"pid", "start", "boot", "pidns"} <= owner.keys() else None


def start_time(pid):
    """When a process started (clock ticks since boot), or None when there is no such process."""
    try:
        with open(f"/proc/{pid}/stat", encoding="utf-8", errors="replace") as stat:
            # The command name in parentheses may hold blanks: count the fields after it.
            return stat.read().rsplit(")", 1)[1].split()[19]
    except (OSError, IndexError):
        return None


def this_machine():
    with open("/proc/sys/kernel/random/boot_id", encoding="utf-8") as boot:
        return {"boot": boot.read().strip(), "pidns": os.readlink("/proc/self/ns/pid")}


def owner_gone(owner, machine, start_of=start_time):
    """True only when the record proves the owner no longer runs: recorded in this boot and this
    pid namespace, and its pid is free or now another process's. A lab without a record, or from
    another container or boot, may be in use by someone this run cannot see."""
    if owner is None or owner["boot"] != machine["boot"] or owner["pidns"] != machine["pidns"]:
        return False
    if not owner["pid"].isdigit():
        return False
    return start_of(int(owner["pid"])) != owner["start"]


def sweep_stale_labs(script):
    """Takes down the labs of earlier runs that were killed outright (a test runner's time-out
    kills without warning): only those whose owner record proves the owner gone."""
    run_root = os.environ.get("APMLAB_RUN_DIR", "/run/apmlab")
    machine = this_machine()
    for lab_id in sorted({name.split("-")[1] for name in namespaces("apmlab-e2e")}):
        if not re.fullmatch(r"e2e[a-z]\d+", lab_id):
            continue
        if owner_gone(read_owner(os.path.join(run_root, lab_id, "owner")), machine):
            subprocess.run([script, "--id", lab_id, "down"], capture_output=True, timeout=60)


def stop_on_signal(signum, frame):
    # A test runner's time-out sends SIGTERM first: leave through the `with` blocks so that the
    # lab is taken down.
    raise SystemExit(f"stopped by signal {signum}")


def begin_run(script):
    """What every end-to-end program does first: insist on root, take the lab down on SIGTERM,
    and sweep labs left by killed runs. False, with a message, without root."""
    if os.geteuid() != 0:
        print("the end-to-end tests build a network-namespace lab and need root; "
              "run them as root (sudo ctest -L e2e)", file=sys.stderr)
        return False
    signal.signal(signal.SIGTERM, stop_on_signal)
    sweep_stale_labs(script)
    return True


def gaps(lines):
    return [b["mono"] - a["mono"] for a, b in zip(lines, lines[1:])]


def check_discovery_requests(checks, lab, network, start, end):
    """Three identical 28-byte requests from the network's host address, about 600 ms apart."""
    requests = lab.events(network, "discovery", start=start, end=end)
    checks.equal(len(requests), 3, f"{network}: discovery requests")
    for request in requests:
        checks.equal(request["hex"], DISCOVERY_REQUEST, f"{network}: discovery request bytes")
        checks.equal(request["source"], NETWORKS[network], f"{network}: request source")
    for gap in gaps(requests):
        checks.between(gap, RESEND_GAP_S - GAP_TOLERANCE_S, RESEND_GAP_S + GAP_TOLERANCE_S,
                       f"{network}: time between copies of the request")
    return requests


def discover(checks, lab, apctl):
    result, start, end = lab.apctl(apctl, "discover", "--json")
    checks.equal(result.returncode, 0, "discover exit status")
    try:
        records = json.loads(result.stdout)
    except json.JSONDecodeError:
        checks.that(False, "discover --json printed no JSON: " + result.stdout[:200])
        records = []
    return records, start, end


def by_mac(records):
    return {record["macText"]: record for record in records}


def scenario_discovery(args, checks):
    """Two populated networks: discovery, consolidation, both configuration modes, silences."""
    with Lab(args.lab, args.apsim, "d") as lab:
        lab.up(os.path.join(FLEETS, "two-networks.json"))

        # --- First discovery.
        records, start, end = discover(checks, lab, args.apctl)
        checks.equal([record["name"] for record in records],
                     ["", "Alpha", "Both", "Dhcp", "Foreign", "Late", "ThisNameIsMuchT", "Zeta",
                      "alpha"],
                     "names, one record per MAC in byte order")
        found = by_mac(records)
        checks.that("000A1B000004" not in found, "a reply with status 2 is ignored")
        checks.equal(found.get("000A1B000001"), {
            "name": "Zeta", "macText": "000A1B000001", "ipAddress": "10.0.0.11",
            "localAddress": "10.0.0.200", "description": "Warehouse", "ssidBg": "wh-guest",
            "channelBg": 11, "ssidA": "", "channelA": 0, "wirelessMode": 3,
            "firmwareVersion": "0102"}, "record of Zeta")
        checks.equal(found.get("000A1B000002"), {
            "name": "alpha", "macText": "000A1B000002", "ipAddress": "10.0.0.12",
            "localAddress": "10.0.0.200", "description": "reordered", "ssidBg": "",
            "channelBg": 0, "ssidA": "lab-a", "channelA": 44, "wirelessMode": 4,
            "firmwareVersion": "0203"}, "record of alpha (reversed order, unknown types)")
        checks.equal(found.get("000A1B000003", {}).get("ipAddress"), "10.0.0.13",
                     "a reply with status 1 is kept")
        checks.equal(found.get(""), {
            "name": "", "macText": "", "ipAddress": "10.0.0.15", "localAddress": "10.0.0.200",
            "description": "", "ssidBg": "", "channelBg": 0, "ssidA": "", "channelA": 0,
            "wirelessMode": 0, "firmwareVersion": ""}, "record of a reply without elements")
        both = found.get("000A1B000006", {})
        checks.equal((both.get("ipAddress"), both.get("localAddress")),
                     ("10.0.0.16", "10.0.0.200"),
                     "an access point on both networks keeps the first network's record")
        foreign = found.get("000A1B000007", {})
        checks.equal((foreign.get("ipAddress"), foreign.get("localAddress")),
                     ("172.16.9.9", "192.168.1.200"),
                     "the access point on a foreign subnet, answering by broadcast")
        hostile = found.get("000A1B00000A", {})
        checks.equal((hostile.get("name"), hostile.get("firmwareVersion")),
                     ("ThisNameIsMuchT", "0A0B"),
                     "an oversize name is cut and an element shorter than its header ends the "
                     "reply, keeping what came before")

        lan0 = check_discovery_requests(checks, lab, "lan0", start, end)
        lan1 = check_discovery_requests(checks, lab, "lan1", start, end)
        lan0_replies = lab.events("lan0", event="reply", start=start, end=end)
        checks.equal(sum(1 for r in lan0_replies if r["accessPoint"] == "alpha"), 1,
                     "an access point answering only the first copy answers once")
        checks.equal(sum(1 for r in lan0_replies if r["accessPoint"] == "Zeta"), 3,
                     "an access point answering every copy answers three times")
        if lan0 and lan1 and lan0_replies:
            last_reply = max(reply["mono"] for reply in lan0_replies)
            checks.that(last_reply > lan0[-1]["mono"] + 0.5,
                        "the delayed reply comes well after the last request")
            checks.between(lan1[0]["mono"] - last_reply, SILENCE_S - 0.05,
                           SILENCE_S + SILENCE_SLACK_S,
                           "second network starts after 4 s of silence since the last reply")
        foreign_replies = lab.events("lan1", event="reply", start=start, end=end)
        checks.that(all(r["broadcast"] and r["destination"] == "255.255.255.255"
                        for r in foreign_replies if r["accessPoint"] == "Foreign"),
                    "the foreign-subnet access point replies by broadcast")

        # --- Fixed address for Zeta on the first network: acknowledged there, so the second
        # network never hears the request.
        result, start, end = lab.apctl(args.apctl, "configure", "00:0A:1B:00:00:01", "--fixed",
                                       "10.0.0.77", "255.255.255.0", "10.0.0.1", "10.0.0.53")
        checks.equal((result.returncode, result.stdout.strip()), (0, "Data saved successfully."),
                     "fixed configuration outcome")
        sets = lab.events("lan0", "set-ip-configuration", start=start, end=end)
        resets = lab.events("lan0", "reset", start=start, end=end)
        checks.equal([line["hex"] for line in sets],
                     ["600D2C00616161623A0A000A1B000001070004000300070A00004D040007FFFFFF00"
                      "0500070A000001060007" "0A000035"], "fixed configuration request bytes")
        checks.equal([line["hex"] for line in resets],
                     ["600D0C00616161633A0A000A1B000001"], "reset request bytes")
        if sets and resets:
            checks.between(resets[0]["mono"] - sets[0]["mono"], 2.95, 3.0 + SILENCE_SLACK_S,
                           "pause between configuration and reset")
        checks.equal(lab.events("lan1", start=start, end=end), [],
                     "nothing sent on the second network after an acknowledgement on the first")

        # --- DHCP for an access point on the second network: each request waits out the
        # silence on the first network before it is sent on the second.
        result, start, end = lab.apctl(args.apctl, "configure", "000a1b000008", "--dhcp")
        checks.equal((result.returncode, result.stdout.strip()), (0, "Set Success"),
                     "DHCP configuration outcome")
        for network in ("lan0", "lan1"):
            sets = lab.events(network, "set-ip-configuration", start=start, end=end)
            checks.equal([line["hex"] for line in sets],
                         ["600D1000616161623A0A000A1B00000807000401"],
                         f"{network}: DHCP configuration request bytes")
        first = lab.events("lan0", start=start, end=end)
        second = lab.events("lan1", start=start, end=end)
        checks.equal([line["kind"] for line in first], ["set-ip-configuration", "reset"],
                     "lan0: requests during the DHCP configuration")
        checks.equal([line["kind"] for line in second], ["set-ip-configuration", "reset"],
                     "lan1: requests during the DHCP configuration")
        if len(first) == 2 and len(second) == 2:
            for index, what in enumerate(("configuration", "reset")):
                checks.between(second[index]["mono"] - first[index]["mono"], SILENCE_S - 0.05,
                               SILENCE_S + SILENCE_SLACK_S,
                               f"{what} on lan1 only after 4 s of silence on lan0")

        # --- A MAC nobody has: silence on each network, then failure; no reset follows.
        result, start, end = lab.apctl(args.apctl, "configure", "00-0A-1B-FF-FF-FF", "--fixed",
                                       "10.0.0.99", "255.255.255.0", "10.0.0.1", "10.0.0.1")
        checks.equal((result.returncode, result.stderr.strip()), (1, "Unable to save."),
                     "configuration of an unknown MAC")
        first = lab.events("lan0", start=start, end=end)
        second = lab.events("lan1", start=start, end=end)
        checks.equal([line["kind"] for line in first + second],
                     ["set-ip-configuration", "set-ip-configuration"],
                     "one configuration request per network and no reset")
        if first and second:
            checks.between(second[0]["mono"] - first[0]["mono"], SILENCE_S - 0.05,
                           SILENCE_S + SILENCE_SLACK_S, "silence on lan0 before lan1")
            checks.between(end - first[0]["mono"], 2 * SILENCE_S - 0.05,
                           2 * SILENCE_S + 2 * SILENCE_SLACK_S,
                           "the failure comes after the silence on both networks")

        # --- The new addresses show in a second discovery.
        records, start, end = discover(checks, lab, args.apctl)
        found = by_mac(records)
        checks.equal(found.get("000A1B000001", {}).get("ipAddress"), "10.0.0.77",
                     "fixed address after the reset")
        checks.equal(found.get("000A1B000008", {}).get("ipAddress"), "192.168.1.150",
                     "DHCP address after the reset")
        checks.equal(len(records), 9, "the second discovery finds every access point again")
        zeta = [r for r in lab.events("lan0", event="reply", start=start, end=end)
                if r["accessPoint"] == "Zeta"]
        checks.that(zeta and all(r["source"] == "10.0.0.77" for r in zeta),
                    "Zeta's replies leave from its new address")


def scenario_silence(args, checks):
    """Two networks without a single access point: about 8 s and nothing found."""
    with Lab(args.lab, args.apsim, "s") as lab:
        lab.up(os.path.join(FLEETS, "empty.json"))
        records, start, end = discover(checks, lab, args.apctl)
        checks.equal(records, [], "records found on two silent networks")
        lan0 = check_discovery_requests(checks, lab, "lan0", start, end)
        lan1 = check_discovery_requests(checks, lab, "lan1", start, end)
        if lan0 and lan1:
            checks.between(lan1[0]["mono"] - lan0[0]["mono"], SILENCE_S - 0.05,
                           SILENCE_S + SILENCE_SLACK_S, "second network after 4 s of silence")
            checks.between(end - lan0[0]["mono"], 2 * SILENCE_S - 0.05,
                           2 * SILENCE_S + 2 * SILENCE_SLACK_S, "discovery on two silent networks")


def namespaces(prefix):
    listing = subprocess.run(["ip", "netns", "list"], capture_output=True, text=True).stdout
    return sorted(line.split()[0] for line in listing.splitlines()
                  if line.split() and line.split()[0].startswith(prefix))


def machine_network_state():
    # What the lab must never change: the machine's own addresses and routes.
    return [subprocess.run(command, capture_output=True, text=True).stdout
            for command in (["ip", "-br", "addr"], ["ip", "route", "show", "table", "all"])]


def scenario_script(args, checks):
    """scripts/lab itself: refusals, malformed fleets, clean removal, and apsim's namespace guard."""
    lab = Lab(args.lab, args.apsim, "x")
    prefix = f"apmlab-{lab.id}-"
    fleet = os.path.join(FLEETS, "two-networks.json")
    with lab:
        refused = subprocess.run(["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                                  args.lab, "--id", lab.id, "up", fleet],
                                 capture_output=True, text=True)
        checks.that(refused.returncode != 0 and "must run as root" in refused.stderr,
                    "without root the lab refuses with a clear message: " + refused.stderr)
        checks.equal(namespaces(prefix), [], "namespaces after the refusal")

        with tempfile.TemporaryDirectory() as scratch:
            cases = [
                ('{"accessPoints": [{"mac": "00:0A:1B:2C:3D", "address": "10.0.0.5"}]}',
                 "accessPoints[0].mac"),
                ('{"accessPoints": [{"mac": "000A1B2C3D4E", "adress": "10.0.0.5"}]}',
                 "accessPoints[0].adress: unknown field"),
                ('{"networks": [{"name": "lan0", "hostAddress": "10.0.0.200/33"}],'
                 ' "accessPoints": []}', "networks[0].hostAddress"),
                ('{"accessPoints": [{"mac": "000A1B2C3D4E", "address": "10.0.0.5",'
                 ' "network": "lan7"}]}', "accessPoints[0].network: no network named"),
                ('{"accessPoints": [', "fleet: not valid JSON"),
            ]
            for index, (text, expected) in enumerate(cases):
                path = os.path.join(scratch, f"bad{index}.json")
                with open(path, "w", encoding="utf-8") as bad:
                    bad.write(text)
                result = lab.run("up", path)
                checks.that(result.returncode != 0 and expected in result.stderr,
                            f"malformed fleet names '{expected}': exit {result.returncode}, "
                            f"{result.stderr.strip()}")
                checks.equal(namespaces(prefix), [], f"namespaces after malformed fleet {index}")

        checks.equal(lab.run("down").returncode, 0, "down when the lab is not up")
        checks.equal(lab.run("down").returncode, 0, "down a second time")
        status = lab.run("status")
        checks.that(status.returncode != 0 and "not up" in status.stdout,
                    "status of a lab that is not up")
        not_up = lab.run("exec", "--", "true")
        checks.that(not_up.returncode != 0 and "not up" in not_up.stderr,
                    "exec refuses when the lab is not up")

        before = machine_network_state()
        lab.up(fleet)
        checks.equal(lab.run("status").returncode, 0, "status of a running lab")
        checks.equal(namespaces(prefix), sorted(prefix + n for n in ("host", "lan0", "lan1")),
                     "the lab's namespaces")
        links = lab.run("exec", "--", "ip", "-br", "-4", "addr").stdout.split()
        checks.that("10.0.0.200/24" in links and "192.168.1.200/24" in links and
                    "127.0.0.1/8" in links, "host namespace addresses and loopback: " +
                    " ".join(links))
        checks.equal(machine_network_state(), before,
                     "the machine's own addresses and routes while the lab is up")

        # A namespace that is not the lab's (a fresh one) is refused by apsim before any socket.
        guard = subprocess.run(["unshare", "--net", args.apsim, "--fleet", fleet],
                               capture_output=True, text=True, timeout=10)
        checks.that(guard.returncode == 1 and "refusing to run outside the lab" in guard.stderr,
                    "apsim outside the lab's namespaces: " + guard.stderr.strip())

        down = lab.run("down")
        checks.equal(down.returncode, 0, "down")
        checks.equal(namespaces(prefix), [], "namespaces after down")
        checks.that(not os.path.exists(lab.logdir), "state directory removed by down")
        checks.equal(machine_network_state(), before, "the machine's network after down")


def hostile_fleet():
    """Access points that send what no well-behaved one would: markup, control characters,
    bytes above 127, texts longer than the fields, elements of impossible lengths, a declared
    area longer than the datagram, oversized datagrams, and a flood of replies."""
    def ap(tail, name, address, **fields):
        entry = {"mac": f"02AA00000{tail:03X}", "name": name, "network": "lan0",
                 "address": address, "answer": "first"}
        entry.update(fields)
        return entry

    filler = "00" * 3000
    return {
        "accessPoints": [
            ap(1, "<b>x</b>", "10.0.0.11", description="<img src=x onerror=alert(1)>"),
            ap(2, "Bell\u0007\u001b[2J", "10.0.0.12", description="tab\there\nline"),
            ap(3, "Caf\u00e9 \u00ff\u0080", "10.0.0.13", ssidBg="\u00a0\u00bf\u00fe"),
            ap(4, "N" * 15, "10.0.0.14", description="D" * 64, ssidBg="S" * 32, ssidA="A" * 32),
            ap(5, "L" * 200, "10.0.0.15", description="E" * 252, ssidBg="T" * 100),
            ap(6, "len0", "10.0.0.16", elements=[1, 2],
               extraElements=[{"type": 8, "text": "never", "length": 0}]),
            ap(7, "len1", "10.0.0.17", elements=[1, 2],
               extraElements=[{"type": 8, "text": "never", "length": 1}]),
            ap(8, "len2", "10.0.0.18", elements=[1, 2],
               extraElements=[{"type": 8, "text": "never", "length": 2}]),
            ap(9, "len255", "10.0.0.19", elements=[1, 2],
               extraElements=[{"type": 8, "text": "short", "length": 255}]),
            ap(10, "area", "10.0.0.20", areaLength=60000),
            ap(11, "big3072", "10.0.0.21", trailingHex=filler),
            ap(12, "big9000", "10.0.0.22", trailingHex=filler * 3),
            ap(13, "Flood", "192.168.1.30", network="lan1", answer="every", floodCopies=10000,
               floodDistinctMacs=True),
        ]
    }


def scenario_hostile(args, checks):
    """Hostile replies: the utility keeps working, texts come out literally, and the discovery
    after the flood is as normal as the one before."""
    with Lab(args.lab, args.apsim, "h") as lab, tempfile.TemporaryDirectory() as scratch:
        fleet = os.path.join(scratch, "hostile.json")
        with open(fleet, "w", encoding="utf-8") as out:
            # The \u escapes above are JSON's own: each stands for one byte on the wire.
            out.write(json.dumps(hostile_fleet()).replace("\\\\u", "\\u"))
        lab.up(fleet)
        first, _, _ = discover(checks, lab, args.apctl)
        second, _, _ = discover(checks, lab, args.apctl)
        for label, records in (("first", first), ("second", second)):
            macs = [record["macText"] for record in records]
            # apctl has no ceiling: every distinct MAC of the flood that was heard is listed (all
            # 10,000 unless the kernel dropped some, which apctl then tells).
            checks.that(384 < len(records) <= 12 + 10000,
                        f"{label} discovery: records, the flood past the window's 384: {len(records)}")
            checks.equal(len(set(macs)), len(macs), f"{label} discovery: one record per MAC")
            named = {record["name"]: record for record in records
                     if record["macText"].startswith("02AA")}
            checks.equal(named.get("<b>x</b>", {}).get("description"),
                         "<img src=x onerror=alert(1)>", f"{label}: markup kept as text")
            checks.that("Bell\u0007\u001b[2J" in named, f"{label}: control characters kept")
            checks.that("Caf\u00e9 \u00ff\u0080" in named, f"{label}: bytes above 127 as Latin-1")
            full = named.get("N" * 15, {})
            checks.equal((len(full.get("description", "")), len(full.get("ssidBg", "")),
                          len(full.get("ssidA", ""))), (64, 32, 32),
                         f"{label}: texts of the fields' full width")
            cut = named.get("L" * 15, {})
            checks.equal((len(cut.get("description", "")), len(cut.get("ssidBg", ""))), (64, 32),
                         f"{label}: longer texts cut to the field, terminator kept")
            for name in ("len0", "len1", "len2"):
                record = named.get(name)
                checks.that(record is not None and record["description"] == "" and
                            record["macText"] != "",
                            f"{label}: element of length byte {name[3:]} ends the parsing only")
            checks.equal(named.get("len255", {}).get("description", "missing"), "",
                         f"{label}: an element running past the datagram is not read")
            for name in ("area", "big3072", "big9000"):
                checks.that(name in named and named[name]["ipAddress"].startswith("10.0.0."),
                            f"{label}: {name} gives a normal record")
            checks.equal(sum(1 for record in records if record["localAddress"] == "10.0.0.200"),
                         12, f"{label}: every access point of the first network kept")
        checks.equal([r["macText"] for r in first if r["localAddress"] == "10.0.0.200"],
                     [r["macText"] for r in second if r["localAddress"] == "10.0.0.200"],
                     "the discovery after the flood finds the same first network")


SCENARIOS = {"discovery": scenario_discovery, "silence": scenario_silence,
             "script": scenario_script, "hostile": scenario_hostile}


def run_scenario(scenarios, description, needs_no_lab=()):
    """The main program of a scenario-per-test end-to-end script: the lab, the simulator and
    apctl from the command line, one named scenario run, its failed checks counted. The
    scenarios named in needs_no_lab run without the three."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--lab", help="scripts/lab")
    parser.add_argument("--apsim")
    parser.add_argument("--apctl")
    parser.add_argument("scenario", choices=sorted(scenarios))
    args = parser.parse_args()
    if args.scenario not in needs_no_lab:
        if not (args.lab and args.apsim and args.apctl):
            parser.error(f"{args.scenario} needs --lab, --apsim and --apctl")
        if not begin_run(args.lab):
            return 1
    checks = Checks()
    began = time.monotonic()
    scenarios[args.scenario](args, checks)
    print(f"{args.scenario}: {len(checks.failures)} failed check(s) "
          f"in {time.monotonic() - began:.1f} s")
    return 1 if checks.failures else 0


def main():
    return run_scenario(SCENARIOS, __doc__)


if __name__ == "__main__":
    sys.exit(main())
