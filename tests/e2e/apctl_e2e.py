#!/usr/bin/env python3
"""End-to-end tests of apctl's options for administrators, in the network-namespace lab:
choosing the networks (--interface, `interfaces`), asking them all at once (--parallel),
confirming a new address (configure --verify), saying why nothing answered (--verbose), and a
neighbour whose junk would keep a discovery going for ever.

Each scenario brings up its own lab and takes it down again, as in lab_e2e.py, whose helpers it
uses. Timing comes from the simulators' logs (CLOCK_MONOTONIC, as time.monotonic() here).
"""

import concurrent.futures
import fcntl
import json
import os
import signal
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from lab_e2e import (DISCOVERY_REQUEST, FLEETS, GAP_TOLERANCE_S, RESEND_GAP_S,  # noqa: E402
                     SILENCE_S, SILENCE_SLACK_S, Lab, gaps, run_scenario)

HOSTS = {"lan0": "10.0.0.200", "lan1": "192.168.1.200", "lan2": "172.20.0.200",
         "lan3": "10.3.0.200"}
THREE = os.path.join(FLEETS, "three-networks.json")
# The exchange bound on one address, counted from its first send.
BOUND_S = 20.0
RP_WARNING = ("reverse-path filtering is on (rp_filter 1): replies from access points on other "
              "subnets are dropped; see README, Troubleshooting")
FIREWALL_WARNING = "no access point answered on any network"


# The source port of the marker that shows a simulator has logged everything sent before it.
MARKER_PORT = 34999
SEND_MARKER = """
import socket, sys
for interface in sys.argv[1:]:
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_BINDTODEVICE, interface.encode())
        s.bind(("", int(%d)))
        s.sendto(b"marker", ("255.255.255.255", 34442))
""" % MARKER_PORT


def every_request(lab, networks, start, end):
    return {network: [line for line in lab.events(network, start=start, end=end)
                      if line["sourcePort"] != MARKER_PORT] for network in networks}


def all_logged(lab, networks, timeout=10):
    """Sends a marker on each network (up ones only) and waits until its simulator has logged it:
    a datagram sent there before the marker is logged by then. False when one never was."""
    sent = time.monotonic()
    lab.run("exec", "--", sys.executable, "-c", SEND_MARKER, *networks, check=True)
    deadline = time.monotonic() + timeout
    for network in networks:
        while not any(line["sourcePort"] == MARKER_PORT
                      for line in lab.events(network, start=sent)):
            if time.monotonic() > deadline:
                return False
            time.sleep(0.05)
    return True


def json_records(checks, result, what):
    try:
        return json.loads(result.stdout)
    except json.JSONDecodeError:
        checks.that(False, f"{what}: standard output is no JSON: {result.stdout[:200]!r}")
        return None


def check_requests(checks, lab, network, start, end):
    """Exactly the three discovery requests of one exchange, from the network's host address."""
    requests = lab.events(network, "discovery", start=start, end=end)
    checks.equal(len(requests), 3, f"{network}: discovery requests")
    for request in requests:
        checks.equal((request["hex"], request["source"]), (DISCOVERY_REQUEST, HOSTS[network]),
                     f"{network}: request bytes and source")
    for gap in gaps(requests):
        checks.between(gap, RESEND_GAP_S - GAP_TOLERANCE_S, RESEND_GAP_S + GAP_TOLERANCE_S,
                       f"{network}: time between copies")
    return requests


def set_rp_filter(lab, name, value):
    # Inside the lab's host namespace: its own copy of the setting, not the machine's.
    result = lab.run("exec", "--", "sh", "-c",
                     f"echo {value} > /proc/sys/net/ipv4/conf/{name}/rp_filter")
    if result.returncode != 0:
        raise SystemExit(f"cannot set rp_filter of {name} in the lab: {result.stderr.strip()}")


def scenario_interface(args, checks):
    """--interface asks only the named networks, in the kernel's order; what cannot be used is a
    usage error that names it and sends nothing; `interfaces` says what would be used."""
    with Lab(args.lab, args.apsim, "i") as lab:
        lab.up(THREE)
        networks = ("lan0", "lan1", "lan2")

        result, _, _ = lab.apctl(args.apctl, "interfaces", "--json")
        checks.equal(result.returncode, 0, "interfaces --json exit status")
        listed = json_records(checks, result, "interfaces --json") or []
        checks.equal([(e["interface"], e["address"], e["prefixLength"], e["usable"], e["reason"])
                      for e in listed],
                     [("lo", "127.0.0.1", 8, False, "loopback")] +
                     [(n, HOSTS[n], 24, True, None) for n in networks],
                     "interfaces --json: every address, loopback unusable")
        result, _, _ = lab.apctl(args.apctl, "interfaces")
        checks.that(result.returncode == 0 and "not used: loopback" in result.stdout and
                    "172.20.0.200/24" in result.stdout, "interfaces table: " + result.stdout)

        # --- One network.
        result, start, end = lab.apctl(args.apctl, "discover", "--json", "-i", "lan1")
        checks.equal(result.returncode, 0, "discover -i lan1 exit status")
        records = json_records(checks, result, "discover -i lan1") or []
        checks.equal(sorted((r["name"], r["localAddress"]) for r in records),
                     [("Annex", "192.168.1.200"), ("Office", "192.168.1.200")],
                     "discover -i lan1: the access points of lan1 only")
        check_requests(checks, lab, "lan1", start, end)
        for network in ("lan0", "lan2"):
            checks.equal(lab.events(network, start=start, end=end), [],
                         f"discover -i lan1: nothing reaches {network}")

        # --- Two networks named out of order are asked in the kernel's order.
        result, start, end = lab.apctl(args.apctl, "discover", "--json", "--interface", "lan2",
                                       "--interface=lan0")
        checks.equal(result.returncode, 0, "discover -i lan2 -i lan0 exit status")
        records = json_records(checks, result, "discover -i lan2 -i lan0") or []
        checks.equal([(r["name"], r["localAddress"]) for r in records],
                     [("Both", "10.0.0.200"), ("Depot", "172.20.0.200"),
                      ("Late", "10.0.0.200"), ("Lobby", "10.0.0.200")],
                     "discover -i lan2 -i lan0: records, the first network's kept for Both")
        lan0 = check_requests(checks, lab, "lan0", start, end)
        lan2 = check_requests(checks, lab, "lan2", start, end)
        checks.equal(lab.events("lan1", start=start, end=end), [],
                     "discover -i lan2 -i lan0: nothing reaches lan1")
        if lan0 and lan2:
            checks.that(lan0[-1]["mono"] + SILENCE_S - 0.05 < lan2[0]["mono"],
                        "lan0 (first in the kernel's list) is asked before lan2")

        # --- Reset on a chosen network.
        result, start, end = lab.apctl(args.apctl, "reset", "000A1B500006", "-i", "lan2")
        checks.equal((result.returncode, result.stdout.strip()), (0, "Reset Success"),
                     "reset -i lan2 of an access point on lan2")
        checks.equal(len(lab.events("lan2", "reset", start=start, end=end)), 1,
                     "reset -i lan2: one reset request on lan2")
        for network in ("lan0", "lan1"):
            checks.equal(lab.events(network, start=start, end=end), [],
                         f"reset -i lan2: nothing reaches {network}")

        # --- Usage errors: exit 2, the culprit named, nothing sent on any network.
        lab.run("exec", "--", "ip", "link", "set", "lan2", "down", check=True)
        usage_errors = [
            (["discover", "-i", "nosuch"], "interface nosuch: no such interface"),
            (["discover", "-i", "lan0", "-i", "nosuch"], "interface nosuch: no such interface"),
            (["discover", "--json", "-i", "lo"], "interface lo: no usable IPv4 address (loopback)"),
            (["discover", "-i", "lan2"], "interface lan2: no usable IPv4 address (down)"),
            (["configure", "000A1B500001", "--dhcp", "-i", "nosuch"], "interface nosuch"),
            (["reset", "000A1B500001", "--interface", "lo"], "interface lo"),
            (["discover", "-i"], "-i needs a value"),
            (["discover", "--interface", "--json"], "--interface needs an interface name"),
            (["interfaces", "-i", "lan0"], "unknown option for interfaces: -i"),
        ]
        for arguments, message in usage_errors:
            result, start, end = lab.apctl(args.apctl, *arguments)
            # lan2 is down: nothing can leave on it.
            checks.that(all_logged(lab, ("lan0", "lan1")), "the simulators logged the marker")
            checks.that(result.returncode == 2 and message in result.stderr and
                        result.stdout == "",
                        f"apctl {' '.join(arguments)}: exit 2 naming it: exit "
                        f"{result.returncode}, {result.stderr.strip()!r}")
            checks.equal(every_request(lab, networks, start, time.monotonic()),
                         {network: [] for network in networks},
                         f"apctl {' '.join(arguments)}: requests sent")
        result, _, _ = lab.apctl(args.apctl, "interfaces", "--json")
        lan2_entry = [e for e in json_records(checks, result, "interfaces --json") or []
                      if e["interface"] == "lan2"]
        checks.equal([(e["usable"], e["reason"]) for e in lan2_entry], [(False, "down")],
                     "interfaces --json: a network that is down")


def scenario_parallel(args, checks):
    """--parallel asks every network at once, each exchange as on its own, and gives exactly the
    sequential walk's result, also for an access point heard first on a later network."""
    with Lab(args.lab, args.apsim, "p") as lab:
        lab.up(THREE)
        networks = ("lan0", "lan1", "lan2")

        sequential, seq_start, seq_end = lab.apctl(args.apctl, "discover", "--json")
        parallel, par_start, par_end = lab.apctl(args.apctl, "discover", "--json", "--parallel")
        for label, result in (("sequential", sequential), ("parallel", parallel)):
            checks.equal(result.returncode, 0, f"{label} discover exit status")
        checks.that(sequential.stdout != "" and parallel.stdout == sequential.stdout,
                    "--parallel prints exactly the sequential JSON:\n" + sequential.stdout +
                    "\n---\n" + parallel.stdout)
        records = json_records(checks, parallel, "discover --parallel") or []
        checks.equal([r["name"] for r in records],
                     ["Annex", "Both", "Depot", "Late", "Lobby", "Office"],
                     "names in order, the status-2 reply ignored")
        both = [r for r in records if r["name"] == "Both"]
        checks.equal([(r["ipAddress"], r["description"]) for r in both],
                     [("10.0.0.16", "heard on lan0 last")],
                     "an access point heard on two networks keeps the first network's record, "
                     "though the later network heard it first")

        first_sends = {}
        last_replies = {}
        for network in networks:
            requests = check_requests(checks, lab, network, par_start, par_end)
            replies = lab.events(network, event="reply", start=par_start, end=par_end)
            if requests:
                first_sends[network] = requests[0]["mono"]
            if replies:
                last_replies[network] = max(reply["mono"] for reply in replies)
        if len(first_sends) == 3 and len(last_replies) == 3:
            checks.between(max(first_sends.values()) - min(first_sends.values()), 0, 0.3,
                           "--parallel: every network asked at once")
            lan2_both = [r["mono"] for r in lab.events("lan2", event="reply", start=par_start,
                                                        end=par_end) if r["accessPoint"] == "Both"]
            lan0_both = [r["mono"] for r in lab.events("lan0", event="reply", start=par_start,
                                                        end=par_end) if r["accessPoint"] == "Both"]
            checks.that(lan2_both and lan0_both and min(lan2_both) < min(lan0_both),
                        "--parallel: Both answered on lan2 before lan0")
            began = min(first_sends.values())
            slowest = max(last_replies.values())
            checks.between(par_end - began, slowest - began + SILENCE_S - 0.05,
                           slowest - began + SILENCE_S + SILENCE_SLACK_S,
                           "--parallel: 4 s of silence after the slowest network's last reply")
        seq_requests = {n: lab.events(n, "discovery", start=seq_start, end=seq_end)
                        for n in networks}
        if all(seq_requests.values()):
            checks.that(seq_requests["lan0"][0]["mono"] < seq_requests["lan1"][0]["mono"] <
                        seq_requests["lan2"][0]["mono"], "sequential: one network after another")
            checks.that(seq_end - seq_requests["lan0"][0]["mono"] > 3 * SILENCE_S,
                        "sequential: at least 4 s per network")
        checks.that(par_end - par_start < (seq_end - seq_start) / 2,
                    f"--parallel took {par_end - par_start:.1f} s, the walk "
                    f"{seq_end - seq_start:.1f} s")


def scenario_verify(args, checks):
    """configure --verify waits out the access point's restart silence and confirms it from its
    new address; one that never answers there fails with what was seen."""
    with Lab(args.lab, args.apsim, "v") as lab:
        lab.up(os.path.join(FLEETS, "restart.json"))
        fixed = ["255.255.255.0", "10.0.0.1", "10.0.0.1"]

        # --- Silent for 6 s after its reset: the first look sees nothing, a later one finds it.
        result, start, end = lab.apctl(args.apctl, "configure", "000A1B400001", "--fixed",
                                       "10.0.0.51", *fixed, "--verify=30", "-i", "lan0")
        lines = result.stdout.splitlines()
        checks.equal(result.returncode, 0, "verify of a fixed address: exit status")
        checks.equal(lines[:1], ["Data saved successfully."], "verify: the outcome first")
        answer = lines[1].split() if len(lines) == 2 else []
        checks.that(answer[:4] == ["000A1B400001", "answers", "at", "10.0.0.51"] and
                    answer[4:5] == ["after"] and answer[6:] == ["s"],
                    f"verify: 'MAC answers at ADDRESS after N s': {result.stdout!r}")
        resets = lab.events("lan0", "reset", start=start, end=end)
        looks = lab.events("lan0", "discovery", start=start, end=end)
        if resets and len(answer) == 7:
            seconds = float(answer[5])
            checks.between(seconds, 6.0, 30.0, "verify: seconds until it answered")
            checks.between(end - resets[0]["mono"], seconds, seconds + SILENCE_SLACK_S,
                           "verify: the seconds are counted from the reset")
            checks.that(len(looks) >= 6 and looks[3]["mono"] - looks[2]["mono"] >
                        SILENCE_S + 2.0 - GAP_TOLERANCE_S,
                        "verify: discovers again 2 s after the silent discovery ended")
        replies = [r for r in lab.events("lan0", event="reply", start=start, end=end)
                   if r["accessPoint"] == "Slow" and r["length"] > 20]
        checks.that(replies and replies[-1]["source"] == "10.0.0.51",
                    "verify: the access point answered from its new address")
        checks.equal(lab.events("lan1", start=start, end=end), [],
                     "verify -i lan0: nothing reaches lan1, before or after the reset")

        # --- Three at once: DHCP (any address does), one that never comes back, one whose old
        # self still answers from the old address.
        runs = {
            "dhcp": ["configure", "000A1B400004", "--dhcp", "--verify=20", "--json", "-i", "lan0"],
            "gone": ["configure", "000A1B400002", "--fixed", "10.0.0.52", *fixed, "--verify=6",
                     "--json", "-i", "lan0"],
            "stuck": ["configure", "000A1B400003", "--fixed", "10.0.0.53", *fixed, "--verify=6",
                      "-i", "lan0"],
        }
        with concurrent.futures.ThreadPoolExecutor(len(runs)) as pool:
            futures = {name: pool.submit(lab.apctl, args.apctl, *arguments)
                       for name, arguments in runs.items()}
            done = {name: future.result() for name, future in futures.items()}

        result = done["dhcp"][0]
        outcome = json_records(checks, result, "verify --dhcp --json") or {}
        checks.equal((result.returncode, outcome.get("outcome"), outcome.get("address"),
                      outcome.get("mode")), (0, "answers", "10.0.0.150", "dhcp"),
                     "verify of DHCP: answers from the address it was given")
        checks.that(isinstance(outcome.get("seconds"), (int, float)) and
                    outcome.get("message", "").startswith("000A1B400004 answers at 10.0.0.150"),
                    f"verify --json: seconds and message: {outcome}")

        result = done["gone"][0]
        outcome = json_records(checks, result, "verify --json, never answering") or {}
        checks.equal((result.returncode, outcome.get("outcome"), outcome.get("address"),
                      outcome.get("seenAt")), (1, "never answered", None, []),
                     "verify of one that never comes back: exit 1, the JSON outcome")
        checks.that("000A1B400002 never answered within 6.0 s" in result.stderr,
                    "verify: the message on standard error: " + result.stderr.strip())

        result = done["stuck"][0]
        checks.equal((result.returncode, result.stdout.strip()), (1, "Data saved successfully."),
                     "verify of one still at its old address: exit 1, only the configuration "
                     "outcome on standard output")
        checks.that("000A1B400003 did not answer at 10.0.0.53 within 6.0 s; answered from "
                    "10.0.0.43 only" in result.stderr,
                    "verify: says where it answered instead: " + result.stderr.strip())


def scenario_verbose(args, checks):
    """--verbose tells per network what happened and warns of reverse-path filtering and of
    total silence on standard error; standard output stays the same JSON."""
    with Lab(args.lab, args.apsim, "b") as lab, tempfile.TemporaryDirectory() as scratch:
        with open(THREE, encoding="utf-8") as source:
            fleet = json.load(source)
        # A fourth network where nothing answers.
        fleet["networks"].append({"name": "lan3", "hostAddress": HOSTS["lan3"] + "/24"})
        path = os.path.join(scratch, "four.json")
        with open(path, "w", encoding="utf-8") as out:
            json.dump(fleet, out)
        lab.up(path)

        plain, _, _ = lab.apctl(args.apctl, "discover", "--json", "--parallel")
        result, _, _ = lab.apctl(args.apctl, "discover", "--json", "--parallel", "--verbose")
        checks.equal(result.returncode, 0, "discover --verbose exit status")
        checks.equal(result.stdout, plain.stdout, "--verbose leaves standard output alone")
        lines = result.stderr.splitlines()
        for network in ("lan0", "lan1", "lan2", "lan3"):
            mine = [line for line in lines if line.startswith(f"apctl: {network} {HOSTS[network]}: ")]
            checks.equal(len(mine), 1, f"--verbose: one line for {network}: {lines}")
            checks.that(mine and "3 requests sent" in mine[0] and " in all" in mine[0],
                        f"--verbose: requests and duration on {network}: {mine}")
        lan2 = [line for line in lines if line.startswith("apctl: lan2 ")]
        checks.that(lan2 and "6 replies accepted, 3 ignored (3 status, 0 too short, "
                    "0 other interface), last reply after" in lan2[0],
                    f"--verbose: replies taken and ignored on lan2: {lan2}")
        lan3 = [line for line in lines if line.startswith("apctl: lan3 ")]
        checks.that(lan3 and "0 replies accepted" in lan3[0] and "no reply" in lan3[0],
                    f"--verbose: the silent network: {lan3}")
        checks.that(not any("warning" in line for line in lines),
                    f"--verbose: no warning with rp_filter 0 and answers: {lines}")

        # --- Strict reverse-path filtering on the foreign access point's network.
        set_rp_filter(lab, "lan1", 1)
        result, _, _ = lab.apctl(args.apctl, "discover", "--json", "--parallel", "--verbose")
        records = json_records(checks, result, "discover --json --verbose, rp_filter 1") or []
        checks.equal(result.returncode, 0, "discover with rp_filter 1: exit status")
        checks.equal(sorted(r["name"] for r in records),
                     ["Both", "Depot", "Late", "Lobby", "Office"],
                     "rp_filter 1 drops the reply of the access point on a foreign subnet")
        warnings = [line for line in result.stderr.splitlines() if "warning" in line]
        checks.equal(warnings, ["apctl: warning: lan1: " + RP_WARNING],
                     "--verbose: the rp_filter warning for lan1 alone")

        # --- The machine-wide value counts too; and a network where nothing answers at all.
        set_rp_filter(lab, "all", 1)
        result, _, _ = lab.apctl(args.apctl, "discover", "--json", "--verbose", "-i", "lan3")
        checks.equal((result.returncode, json_records(checks, result, "discover -i lan3")), (0, []),
                     "discover --json --verbose on a silent network: exit 0 and []")
        warnings = [line for line in result.stderr.splitlines() if "warning" in line]
        checks.that(len(warnings) == 2 and warnings[0] == "apctl: warning: lan3: " + RP_WARNING
                    and FIREWALL_WARNING in warnings[1] and "firewall" in warnings[1],
                    f"--verbose: rp_filter from 'all', then the firewall hint: {warnings}")
        pipe = lab.run("exec", "--", "sh", "-c",
                       f"'{args.apctl}' discover --json --verbose -i lan3 2>/dev/null | jq length")
        checks.equal(pipe.stdout.strip(), "0", "discover --json --verbose pipes into jq")


def scenario_labelled(args, checks):
    """An address added with a label, as ifupdown's aliases are, belongs to its interface: it is
    listed and chosen by the interface's name, and the interface's rp_filter is the one read."""
    with Lab(args.lab, args.apsim, "l") as lab:
        lab.up(THREE)
        address = HOSTS["lan2"] + "/24"
        lab.run("exec", "--", "sh", "-c",
                f"ip addr del {address} dev lan2 && "
                f"ip addr add {address} dev lan2 label lan2:lab", check=True)
        # A label need only begin with the interface's name.
        lab.run("exec", "--", "ip", "addr", "add", "10.9.9.200/24", "dev", "lan1", "label",
                "lan1alias", check=True)
        shown = lab.run("exec", "--", "ip", "-4", "-o", "addr", "show")
        checks.that("lan2:lab" in shown.stdout and "lan1alias" in shown.stdout,
                    f"the lab's addresses carry their labels: {shown.stdout}")

        result, _, _ = lab.apctl(args.apctl, "interfaces", "--json")
        listed = json_records(checks, result, "interfaces --json") or []
        checks.equal([(e["interface"], e["address"], e["usable"]) for e in listed
                      if e["address"] in (HOSTS["lan2"], "10.9.9.200")],
                     [("lan1", "10.9.9.200", True), ("lan2", HOSTS["lan2"], True)],
                     "interfaces --json: labelled addresses under their interfaces")

        set_rp_filter(lab, "lan2", 1)
        result, _, _ = lab.apctl(args.apctl, "discover", "--json", "--verbose", "-i", "lan2")
        checks.equal(result.returncode, 0, "discover -i lan2 exit status: " + result.stderr.strip())
        records = json_records(checks, result, "discover -i lan2") or []
        checks.equal(sorted((r["name"], r["localAddress"]) for r in records),
                     [("Both", HOSTS["lan2"]), ("Depot", HOSTS["lan2"])],
                     "discover -i lan2 through the labelled address")
        warnings = [line for line in result.stderr.splitlines() if "warning" in line]
        checks.equal(warnings, ["apctl: warning: lan2: " + RP_WARNING],
                     "the rp_filter of lan2 itself is read")


def scenario_junk(args, checks):
    """A neighbour sending junk every 3.5 s keeps the 4 s silence from ever coming: the exchange
    on that network ends at its 20 s bound, and every real access point is listed."""
    with Lab(args.lab, args.apsim, "j") as lab:
        lab.up(os.path.join(FLEETS, "junk.json"))
        result, start, end = lab.apctl(args.apctl, "discover", "--json", "--verbose",
                                       timeout=90)
        checks.equal(result.returncode, 0, "discover with junk: exit status")
        records = json_records(checks, result, "discover with junk") or []
        checks.equal([(r["name"], r["ipAddress"]) for r in records],
                     [("Lobby", "10.0.0.11"), ("Office", "192.168.1.21")],
                     "discover with junk: the real access points")
        lan0 = lab.events("lan0", "discovery", start=start, end=end)
        lan1 = lab.events("lan1", "discovery", start=start, end=end)
        junk = [r for r in lab.events("lan0", event="reply", start=start, end=end)
                if r["length"] == 5 and r["hex"] == "410D020000"]
        checks.that(len(junk) >= 4, f"apsim sent its junk ({len(junk)} datagrams)")
        checks.that(all(b - a < SILENCE_S for a, b in zip([x["mono"] for x in junk],
                                                          [x["mono"] for x in junk[1:]])),
                    "junk comes more often than every 4 s")
        if lan0 and lan1:
            checks.between(lan1[0]["mono"] - lan0[0]["mono"], BOUND_S - 0.05, BOUND_S + 1.0,
                           "the junked network ends at the 20 s bound")
            checks.between(end - lan0[0]["mono"], BOUND_S + SILENCE_S, 2 * 25.0,
                           "the whole discovery within 25 s per network")
        lan0_line = [line for line in result.stderr.splitlines() if line.startswith("apctl: lan0")]
        checks.that(lan0_line and "cut at the 20.0 s bound" in lan0_line[0],
                    f"--verbose says the bound cut it: {lan0_line}")


def wait_for(condition, deadline_s):
    end = time.monotonic() + deadline_s
    while time.monotonic() < end:
        if condition():
            return True
        time.sleep(0.01)
    return False


def waits_to_write(pid):
    """Whether apctl, as process pid, waits in a write to a pipe that is full."""
    try:
        with open(f"/proc/{pid}/comm") as comm, open(f"/proc/{pid}/wchan") as wchan:
            return comm.read().strip() == "apctl" and "pipe_write" in wchan.read()
    except OSError:
        return False


def signal_pending(pid, signum):
    try:
        with open(f"/proc/{pid}/status") as status:
            fields = dict(line.split(":", 1) for line in status if ":" in line)
    except OSError:
        return False
    return bool((int(fields["SigPnd"], 16) | int(fields["ShdPnd"], 16)) & (1 << (signum - 1)))


def scenario_stop(args, checks):
    """SIGINT while apply waits to write to standard error, whose reader has not read: the write
    is finished, not dropped, and the rows skipped and the counts still arrive whole."""
    rows = 4096
    with Lab(args.lab, args.apsim, "s") as lab, tempfile.TemporaryDirectory() as scratch:
        lab.up(THREE)
        plan = os.path.join(scratch, "plan.csv")
        with open(plan, "w", encoding="ascii") as text:
            text.write("mac,mode,ip,mask,gateway,dns\n")
            text.writelines(f"02{row:010X},dhcp,,,,\n" for row in range(rows))
        read_end, write_end = os.pipe()
        filler = b"-" * fcntl.fcntl(write_end, fcntl.F_SETPIPE_SZ, 4096)
        os.write(write_end, filler)  # full: apctl's first line on standard error has to wait
        # `scripts/lab exec` ends in an exec of apctl: the process is apctl itself.
        process = subprocess.Popen([args.lab, "--id", lab.id, "exec", "--", args.apctl, "apply",
                                    plan, "-i", "lan0"],
                                   stdout=subprocess.PIPE, stderr=write_end)
        os.close(write_end)
        with concurrent.futures.ThreadPoolExecutor() as pool:
            stdout = pool.submit(process.stdout.read)
            if checks.that(wait_for(lambda: waits_to_write(process.pid), 30),
                           "apply waits to write"):
                process.send_signal(signal.SIGINT)
                # Read only once the signal has reached the waiting write: room made earlier
                # would let the write finish before the signal is seen.
                checks.that(wait_for(lambda: not signal_pending(process.pid, signal.SIGINT), 10),
                            "SIGINT delivered")
            with os.fdopen(read_end, "rb") as reader:
                stderr = reader.read()
            summary = stdout.result(timeout=60).decode()
        status = process.wait(timeout=60)
        checks.equal(status, 1, "apply stopped: exit status")
        checks.equal(stderr[len(filler):].decode(), f"discovery ... stopped\n{rows} rows: "
                     f"{rows} skipped\n", "apply stopped: standard error after the wait")
        lines = summary.splitlines()
        checks.equal((len(lines), sum(line.split()[2:3] == ["skipped"] for line in lines[1:])),
                     (rows + 1, rows), "apply stopped: the summary, header and every row")


SCENARIOS = {"interface": scenario_interface, "parallel": scenario_parallel,
             "verify": scenario_verify, "verbose": scenario_verbose, "junk": scenario_junk,
             "labelled": scenario_labelled, "stop": scenario_stop}


def main():
    return run_scenario(SCENARIOS, __doc__)


if __name__ == "__main__":
    sys.exit(main())
