#!/usr/bin/env python3
"""End-to-end tests of apctl apply and apctl watch against simulated access points in the lab.

apply: twenty access points fresh from the box, all on the factory address 192.168.0.254 of a
subnet that is not the host's, are re-addressed from a CSV plan; discover --json then finds each
at its planned address, and a second run of the same plan sends nothing.

watch: the first discovery reports every access point, a change of address made by another
apctl meanwhile shows as one change (the access point's silence during its restart is no
absence), and SIGINT or SIGTERM ends the watch at once with exit 0.

jobs: twelve access points over two networks re-addressed with --jobs 8: every row changed,
each request sent only on the network where its access point answered, rows overlapping; a row
that would take the address of an access point outside the plan is a conflict, sent nothing.
"""

import json
import os
import queue
import signal
import subprocess
import sys
import tempfile
import threading
import time

sys.dont_write_bytecode = True  # the source tree stays as it is
from lab_e2e import Lab, run_scenario  # noqa: E402

FACTORY_ADDRESS = "192.168.0.254"
COUNT = 20


def mac(n):
    return f"000A1B2000{n:02X}"


def planned(n):
    return f"10.0.0.{100 + n}"


def write_json(directory, name, value):
    path = os.path.join(directory, name)
    with open(path, "w", encoding="utf-8") as out:
        json.dump(value, out)
    return path


def factory_fleet():
    # A restart shorter than the 1.2 s over which a discovery sends its three copies: the first
    # discovery after each reset hears the access point, so a row takes about 8.5 s (the 3 s
    # pause before the reset and the discovery's 4 s silence are the protocol's and stay).
    return {
        "networks": [{"name": "lan0", "hostAddress": "10.0.0.200/24"}],
        "defaults": {"reply": "broadcast", "silentAfterResetMs": 1000, "firmware": "0102",
                     "wirelessMode": 3, "ssidBg": "factory", "channelBg": 1},
        "accessPoints": [{"name": f"AP-{n:02d}", "mac": mac(n), "network": "lan0",
                          "address": FACTORY_ADDRESS} for n in range(1, COUNT + 1)],
    }


def plan_text():
    lines = ["# unpacked on Monday: every one at the factory address", "mac,mode,ip,mask,gateway,dns"]
    for n in range(1, COUNT + 1):
        # Each form configure takes, in turn.
        text = mac(n)
        if n % 3 == 1:
            text = ":".join(text[i:i + 2] for i in range(0, 12, 2)).lower()
        elif n % 3 == 2:
            text = "-".join(text[i:i + 2] for i in range(0, 12, 2))
        lines.append(f"{text},fixed,{planned(n)},255.255.255.0,10.0.0.1,10.0.0.53")
    return "\n".join(lines) + "\n"


def configuration_requests(lab, start, end):
    return [line for line in lab.events("lan0", start=start, end=end)
            if line["kind"] in ("set-ip-configuration", "reset")]


def scenario_apply(args, checks):
    with Lab(args.lab, args.apsim, "a") as lab, tempfile.TemporaryDirectory() as scratch:
        lab.up(write_json(scratch, "factory.json", factory_fleet()))
        plan = os.path.join(scratch, "plan.csv")
        with open(plan, "w", encoding="utf-8") as out:
            out.write(plan_text())

        # --- A plan with one error is refused whole, nothing sent.
        broken = os.path.join(scratch, "broken.csv")
        with open(broken, "w", encoding="utf-8") as out:
            out.write(plan_text().replace("255.255.255.0,10.0.0.1,10.0.0.53\n",
                                          "255.255.0,10.0.0.1,10.0.0.53\n", 1))
        result, start, end = lab.apctl(args.apctl, "apply", broken)
        checks.equal(result.returncode, 2, "apply of a broken plan: exit status")
        checks.that(f"{broken}:3: mask: not a dotted address: 255.255.0" in result.stderr,
                    "the error names file, line and field: " + result.stderr.strip())
        checks.equal(lab.events("lan0", start=start, end=end), [],
                     "nothing reaches the network for a broken plan")

        result, start, end = lab.apctl(args.apctl, "apply", plan, "--dry-run")
        checks.equal(result.returncode, 0, "apply --dry-run: exit status")
        checks.equal(lab.events("lan0", start=start, end=end), [], "nothing sent by --dry-run")

        # --- The plan, read from standard input this time.
        started = time.monotonic()
        with open(plan, encoding="utf-8") as stdin:
            result = subprocess.run([args.lab, "--id", lab.id, "exec", "--", args.apctl, "apply",
                                     "-", "--json"], stdin=stdin, capture_output=True, text=True,
                                    timeout=600)
        finished = time.monotonic()
        print(f"$ apctl apply - --json < plan.csv  -> exit {result.returncode} in "
              f"{finished - started:.1f} s", flush=True)
        print(result.stderr, end="", flush=True)
        checks.equal(result.returncode, 0, "apply: exit status")
        try:
            summary = json.loads(result.stdout)
        except json.JSONDecodeError:
            checks.that(False, "apply --json printed no JSON: " + result.stdout[:200])
            summary = []
        checks.equal([(row["macText"], row["outcome"], row["address"]) for row in summary],
                     [(mac(n), "changed", planned(n)) for n in range(1, COUNT + 1)],
                     "every row changed, each at its planned address")
        progress = [line for line in result.stderr.splitlines() if line.startswith("[")]
        checks.equal(len(progress), COUNT, "one progress line per row")
        checks.that(all(f" answers at {planned(n)} after " in progress[n - 1]
                        for n in range(1, min(len(progress), COUNT) + 1)),
                    "each progress line tells where and when it answered")

        # Rows one after the other: each access point's reset before the next one's request.
        requests = configuration_requests(lab, started, finished)
        checks.equal([(line["kind"], line["mac"]) for line in requests],
                     [(kind, mac(n)) for n in range(1, COUNT + 1)
                      for kind in ("set-ip-configuration", "reset")],
                     "one configuration and one reset per row, in plan order")

        # --- What discovery sees afterwards.
        result, _, _ = lab.apctl(args.apctl, "discover", "--json")
        checks.equal(result.returncode, 0, "discover after apply: exit status")
        records = json.loads(result.stdout) if result.returncode == 0 else []
        checks.equal(sorted((record["macText"], record["ipAddress"]) for record in records),
                     [(mac(n), planned(n)) for n in range(1, COUNT + 1)],
                     "discover --json: every access point at its planned address")

        # --- The same plan again: all unchanged, nothing but a discovery sent.
        result, start, end = lab.apctl(args.apctl, "apply", plan)
        checks.equal(result.returncode, 0, "second apply: exit status")
        outcomes = [line.split()[3] for line in result.stdout.splitlines()[1:]]
        checks.equal(outcomes, ["unchanged"] * COUNT, "second apply: every row unchanged")
        checks.equal(configuration_requests(lab, start, end), [],
                     "second apply sends no configuration or reset")


def start_watch(lab, apctl, *options):
    process = subprocess.Popen([lab.script, "--id", lab.id, "exec", "--", apctl, "watch",
                                *options], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               text=True)
    lines = queue.Queue()

    def read():
        for line in process.stdout:
            lines.put(line.rstrip("\n"))
        lines.put(None)

    threading.Thread(target=read, daemon=True).start()
    return process, lines


def wait_for(lines, seen, condition, timeout):
    """Reads watch lines into `seen` until one satisfies `condition`; that line or None."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            line = lines.get(timeout=max(0.0, deadline - time.monotonic()))
        except queue.Empty:
            break
        if line is None:
            break
        seen.append(line)
        if condition(line):
            return line
    return None


def wait_for_requests(lab, network, count, start, timeout):
    """Waits until `network` has logged `count` discovery requests since `start`; False when it
    has not within `timeout` seconds."""
    deadline = time.monotonic() + timeout
    while len(lab.events(network, "discovery", start=start)) < count:
        if time.monotonic() > deadline:
            return False
        time.sleep(0.1)
    return True


def stop_watch(checks, process, signum, what):
    sent = time.monotonic()
    process.send_signal(signum)
    try:
        status = process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        process.kill()
        status = process.wait()
    took = time.monotonic() - sent
    checks.equal(status, 0, f"{what}: exit status")
    # The exchange's waits look at the stop every 200 ms.
    checks.between(took, 0.0, 1.5, f"{what}: seconds until watch ended")
    stderr = process.stderr.read()
    checks.equal(stderr, "", f"{what}: nothing on standard error")


def scenario_watch(args, checks):
    fleet = {
        "networks": [{"name": "lan0", "hostAddress": "10.0.0.200/24"},
                     {"name": "lan1", "hostAddress": "192.168.1.200/24"}],
        "defaults": {"silentAfterResetMs": 1500, "firmware": "0102", "wirelessMode": 3},
        "accessPoints": [
            {"name": "Lobby", "mac": mac(1), "network": "lan0", "address": "10.0.0.11"},
            {"name": "Annex", "mac": mac(2), "network": "lan0", "address": "10.0.0.12"},
            {"name": "Store", "mac": mac(3), "network": "lan1", "address": "192.168.1.13"},
        ],
    }
    with Lab(args.lab, args.apsim, "w") as lab, tempfile.TemporaryDirectory() as scratch:
        lab.up(write_json(scratch, "watch.json", fleet))
        process, lines = start_watch(lab, args.apctl, "--interval", "1", "--parallel")
        seen = []
        try:
            wait_for(lines, seen, lambda line: len(seen) == 3, 30)
            checks.equal(sorted(line.split()[1:3] for line in seen),
                         [["+", mac(1)], ["+", mac(2)], ["+", mac(3)]],
                         "the first discovery reports every access point as +: " + repr(seen))

            result, _, _ = lab.apctl(args.apctl, "configure", mac(2), "--fixed", "10.0.0.22",
                                     "255.255.255.0", "10.0.0.1", "10.0.0.1")
            checks.equal(result.returncode, 0, "configure while watching: exit status")
            changed = wait_for(lines, seen, lambda line: " ~ " in line, 40)
            checks.that(changed is not None and changed.endswith(
                f"~ {mac(2)} ipAddress 10.0.0.12 -> 10.0.0.22"),
                f"the new address shows as one change: {changed!r}")
            # A whole round after the change, so that a late '-' would have shown: it is over once
            # the round after it has begun (the change's own round had sent before the line).
            before = len(seen)
            checks.that(wait_for_requests(lab, "lan0", 4, time.monotonic(), 30),
                        "two more discoveries after the change")
            stop_watch(checks, process, signal.SIGINT, "watch stopped by SIGINT")
            wait_for(lines, seen, lambda line: False, 10)  # to the end of its output
            checks.equal(seen[before:], [], "nothing more while nothing changes")
            checks.that(not any(" - " in line for line in seen),
                        "its silence during the restart is no absence: " + repr(seen))
        finally:
            if process.poll() is None:
                stop_watch(checks, process, signal.SIGINT, "watch stopped by SIGINT")

        # SIGTERM in the middle of the second discovery, which starts 0.5 s after the first.
        started = time.monotonic()
        process, lines = start_watch(lab, args.apctl, "--json", "--interval", "0.5")
        seen = []
        wait_for(lines, seen, lambda line: len(seen) == 3, 30)
        checks.that(len(seen) == 3 and all(json.loads(line)["change"] == "appeared"
                                           for line in seen), "--json: one object per line")
        checks.that(wait_for_requests(lab, "lan0", 4, started, 30),
                    "the second discovery began")
        stop_watch(checks, process, signal.SIGTERM, "watch stopped by SIGTERM")


def two_network_fleet():
    # Odd access points on lan0 (10.0.0.0/24), even ones on lan1 (10.0.1.0/24).
    networks = [("lan0", "10.0.0"), ("lan1", "10.0.1")]
    points = [{"name": f"AP-{n:02d}", "mac": mac(n), "network": networks[1 - n % 2][0],
               "address": f"{networks[1 - n % 2][1]}.{10 + n}"} for n in range(1, 13)]
    # Outside every plan: its address is taken by nobody else.
    points.append({"name": "Other", "mac": mac(0x50), "network": "lan0", "address": "10.0.0.50"})
    return {"networks": [{"name": name, "hostAddress": f"{prefix}.200/24"}
                         for name, prefix in networks],
            "defaults": {"silentAfterResetMs": 1000},
            "accessPoints": points}


def scenario_jobs(args, checks):
    with Lab(args.lab, args.apsim, "j") as lab, tempfile.TemporaryDirectory() as scratch:
        lab.up(write_json(scratch, "two.json", two_network_fleet()))
        subnet = {1: "10.0.0", 0: "10.0.1"}
        rows = [f"{mac(n)},fixed,{subnet[n % 2]}.{40 + n},255.255.255.0,{subnet[n % 2]}.1,"
                f"{subnet[n % 2]}.1" for n in range(1, 13)]
        plan = os.path.join(scratch, "plan.csv")
        with open(plan, "w", encoding="utf-8") as out:
            out.write("mac,mode,ip,mask,gateway,dns\n" + "\n".join(rows) + "\n")

        started = time.monotonic()
        result, start, end = lab.apctl(args.apctl, "apply", plan, "--jobs", "8", "--json",
                                       timeout=120)
        print(f"$ apctl apply plan.csv --jobs 8 --json -> exit {result.returncode} in "
              f"{time.monotonic() - started:.1f} s", flush=True)
        print(result.stderr, end="", flush=True)
        checks.equal(result.returncode, 0, "apply --jobs 8: exit status")
        summary = json.loads(result.stdout) if result.returncode == 0 else []
        checks.equal([(row["macText"], row["outcome"], row["address"]) for row in summary],
                     [(mac(n), "changed", f"{subnet[n % 2]}.{40 + n}") for n in range(1, 13)],
                     "every row changed, in plan order")
        progress = [line for line in result.stderr.splitlines() if line.startswith("[")]
        checks.equal(len(progress), 12, "one progress line per row")
        for network, parity in (("lan0", 1), ("lan1", 0)):
            requests = [line for line in lab.events(network, start=start, end=end)
                        if line["kind"] in ("set-ip-configuration", "reset")]
            checks.equal(sorted((line["kind"], line["mac"]) for line in requests),
                         sorted((kind, mac(n)) for n in range(1, 13) if n % 2 == parity
                                for kind in ("set-ip-configuration", "reset")),
                         f"{network}: one configuration and one reset per row of its own, "
                         "none for the other network's")
        both = sorted(line["mono"] for network in ("lan0", "lan1")
                      for line in lab.events(network, start=start, end=end)
                      if line["kind"] == "set-ip-configuration")
        first_reset = min((line["mono"] for network in ("lan0", "lan1")
                           for line in lab.events(network, "reset", start=start, end=end)),
                          default=0)
        checks.equal(len([t for t in both if t < first_reset]), 8,
                     "eight rows in flight before the first reset")

        # --- A fixed address where an access point outside the plan answers.
        with open(plan, "w", encoding="utf-8") as out:
            out.write("mac,mode,ip,mask,gateway,dns\n"
                      f"{mac(1)},fixed,10.0.0.50,255.255.255.0,10.0.0.1,10.0.0.1\n")
        result, _, _ = lab.apctl(args.apctl, "apply", plan, "--check", "--json")
        rows = json.loads(result.stdout) if result.returncode == 0 else [{}]
        checks.equal(rows[0].get("outcome"), "conflict", "--check predicts the conflict")
        checks.that(mac(0x50) in rows[0].get("message", ""), "the conflict names the other one")
        result, start, end = lab.apctl(args.apctl, "apply", plan, "--jobs", "4")
        checks.equal(result.returncode, 1, "apply of a conflict: exit status")
        checks.equal([line for line in lab.events("lan0", start=start, end=end)
                      if line["kind"] in ("set-ip-configuration", "reset")], [],
                     "nothing sent for a conflict")


SCENARIOS = {"apply": scenario_apply, "watch": scenario_watch, "jobs": scenario_jobs}


def main():
    return run_scenario(SCENARIOS, __doc__)


if __name__ == "__main__":
    sys.exit(main())
