#!/usr/bin/env python3
"""Retakes the dissector's golden captures in the lab (as root; not run by CI, which only
dissects the committed files):

    sudo tests/wireshark/retake_captures.py --apctl build/tools/apctl/apctl \\
        --apsim build/tools/apsim/apsim [--id h21a] [CASE...]

For each case it brings up a lab with the case's fleet, starts dumpcap inside the lab's host
namespace (UDP port 34442 on every interface), runs apctl there, stops dumpcap and writes
captures/CASE.pcapng next to captures/CASE.apctl.json: every apctl run of the case with its
arguments, exit status, standard output (parsed when it is JSON) and standard error. The
captures stay small: only fleets of a few access points, no flood.
"""

import argparse
import json
import os
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
CAPTURES = os.path.join(HERE, "captures")
sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))
from lab_e2e import hostile_fleet  # noqa: E402  (the hostile-input test's own access points)

TWO_NETWORKS = [{"name": "lan0", "hostAddress": "10.0.0.200/24"},
                {"name": "lan1", "hostAddress": "192.168.1.200/24"}]


def hostile_small():
    """The hostile-input fleet without what would make a capture large (the flood of ten
    thousand replies, the 9,000-byte datagram), plus replies too short for their header."""
    fleet = hostile_fleet()
    fleet["accessPoints"] = [ap for ap in fleet["accessPoints"]
                             if ap["name"] not in ("Flood", "big9000")]
    fleet["accessPoints"] += [
        {"mac": "02AA00000101", "name": "nostatus", "network": "lan0", "address": "10.0.0.31",
         "answer": "first", "rawReplyHex": "4100"},
        {"mac": "02AA00000102", "name": "noarea", "network": "lan0", "address": "10.0.0.32",
         "answer": "first", "rawReplyHex": "410D00"},
    ]
    return fleet


# The port, and the later fragments of a datagram too long for one frame (they carry no UDP
# header for the port to match).
CAPTURE_FILTER = "udp port 34442 or (ip[6:2] & 0x1fff != 0)"

FIXED = ["--fixed", "10.0.0.51", "255.255.255.0", "10.0.0.1", "10.0.0.53"]

CASES = {
    # Several access points on two networks: both status values taken, one refused, elements
    # reordered and unknown, one heard on both networks, a text too long for its field.
    "discovery": {
        "fleet": os.path.join(REPO, "tests", "e2e", "fleets", "two-networks.json"),
        "runs": [["discover", "--json"]],
    },
    "foreign-subnet": {
        "fleet": {"networks": TWO_NETWORKS, "accessPoints": [
            {"name": "Annex", "mac": "000A1B700001", "network": "lan1", "address": "172.16.9.9",
             "reply": "broadcast", "description": "factory address", "firmware": "0100",
             "ssidBg": "default", "channelBg": 6, "wirelessMode": 1, "answer": "first"}]},
        "runs": [["discover", "--json", "-i", "lan1"]],
    },
    "configure-fixed": {
        "fleet": {"networks": TWO_NETWORKS, "accessPoints": [
            {"name": "Lobby", "mac": "000A1B700011", "network": "lan0", "address": "10.0.0.11",
             "wirelessMode": 7, "answer": "first", "silentAfterResetMs": 500}]},
        "runs": [["configure", "00:0A:1B:70:00:11", *FIXED, "--verify=20", "--json", "-i", "lan0"]],
    },
    "configure-dhcp": {
        "fleet": {"networks": TWO_NETWORKS, "accessPoints": [
            {"name": "Depot", "mac": "000A1B700012", "network": "lan1", "address": "192.168.1.12",
             "dhcpPool": ["192.168.1.150"], "answer": "first", "silentAfterResetMs": 500}]},
        "runs": [["configure", "000a1b700012", "--dhcp", "--verify=20", "--json", "-i", "lan1"]],
    },
    # One that never acknowledges, one that refuses with status 1.
    "no-ack": {
        "fleet": {"networks": TWO_NETWORKS, "accessPoints": [
            {"name": "Mute", "mac": "000A1B700021", "network": "lan0", "address": "10.0.0.21",
             "acknowledgeConfiguration": False},
            {"name": "Refuses", "mac": "000A1B700022", "network": "lan1",
             "address": "192.168.1.22", "acknowledgementStatus": 1}]},
        "runs": [["configure", "000A1B700021", *FIXED, "--json"],
                 ["reset", "000A1B700022"]],
    },
    "hostile": {
        "fleet": hostile_small(),
        "runs": [["discover", "--json", "-i", "lan0"]],
    },
}


def lab(args, *command, **kwargs):
    return subprocess.run([os.path.join(REPO, "scripts", "lab"), "--id", args.id,
                           "--apsim", args.apsim, *command], **kwargs)


def take(args, name, case, scratch):
    fleet = case["fleet"]
    if isinstance(fleet, dict):
        path = os.path.join(scratch, name + ".json")
        with open(path, "w", encoding="utf-8") as out:
            # The \u escapes are JSON's own: each stands for one byte on the wire.
            out.write(json.dumps(fleet).replace("\\\\u", "\\u"))
        fleet = path
    lab(args, "up", fleet, check=True, capture_output=True)
    capture = os.path.join(CAPTURES, name + ".pcapng")
    dumpcap = subprocess.Popen(
        [os.path.join(REPO, "scripts", "lab"), "--id", args.id, "exec", "--", "dumpcap", "-q",
         "-i", "any", "-f", CAPTURE_FILTER, "-w", capture],
        stderr=subprocess.PIPE, text=True)
    try:
        # dumpcap says which interface it captures on once it does.
        deadline = time.monotonic() + 20
        while "Capturing on" not in dumpcap.stderr.readline():
            if time.monotonic() > deadline or dumpcap.poll() is not None:
                raise SystemExit(f"{name}: dumpcap did not start")
        runs = []
        for argv in case["runs"]:
            result = lab(args, "exec", "--", args.apctl, *argv, capture_output=True, text=True,
                         timeout=120)
            try:
                stdout = json.loads(result.stdout)
            except ValueError:
                stdout = result.stdout
            runs.append({"argv": argv, "exit": result.returncode, "stdout": stdout,
                         "stderr": result.stderr})
            print(f"{name}: apctl {' '.join(argv)} -> exit {result.returncode}", flush=True)
    finally:
        dumpcap.send_signal(signal.SIGTERM)
        dumpcap.wait(timeout=20)
        lab(args, "down", capture_output=True)
    os.chmod(capture, 0o644)
    with open(os.path.join(CAPTURES, name + ".apctl.json"), "w", encoding="utf-8") as out:
        json.dump(runs, out, indent=1, ensure_ascii=False)
        out.write("\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--apctl", required=True)
    parser.add_argument("--apsim", required=True)
    parser.add_argument("--id", default="h21a", help="the lab's id (scripts/lab --id)")
    parser.add_argument("cases", nargs="*", metavar="CASE", help=", ".join(CASES))
    args = parser.parse_args()
    unknown = [name for name in args.cases if name not in CASES]
    if unknown:
        parser.error("unknown case " + ", ".join(unknown))
    args.apctl = os.path.abspath(args.apctl)
    args.apsim = os.path.abspath(args.apsim)
    os.makedirs(CAPTURES, exist_ok=True)
    with tempfile.TemporaryDirectory() as scratch:
        for name in args.cases or CASES:
            take(args, name, CASES[name], scratch)
    return 0


if __name__ == "__main__":
    sys.exit(main())
