#!/usr/bin/env python3
"""End-to-end test of apctl watch when its networks go: a lost link is not a lost fleet.

With no -i, the watch follows the usable addresses. lan1's link goes down and comes back, then
every address is removed and restored: each loss and return is told once on standard error with
its time, the metrics show the network down and its access points kept (up 0, not gone), and no
access point is reported gone or appeared again.
"""

import os
import queue
import re
import signal
import subprocess
import sys
import tempfile
import threading
import time

sys.dont_write_bytecode = True  # the source tree stays as it is
from lab_e2e import Lab, run_scenario  # noqa: E402
from fleet_e2e import write_json  # noqa: E402

TIME = r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ "
LAN0, LAN1 = "10.0.0.200", "192.168.1.200"


def mac(n):
    return f"000A1B3000{n:02X}"


def fleet():
    return {
        "networks": [{"name": "lan0", "hostAddress": LAN0 + "/24"},
                     {"name": "lan1", "hostAddress": LAN1 + "/24"}],
        "defaults": {"firmware": "0102", "wirelessMode": 3},
        "accessPoints": [
            {"name": "Lobby", "mac": mac(1), "network": "lan0", "address": "10.0.0.11"},
            {"name": "Store", "mac": mac(2), "network": "lan1", "address": "192.168.1.12"},
        ],
    }


class Watch:
    """apctl watch in the lab, its two streams read line by line as they come."""

    def __init__(self, lab, apctl, *options):
        self.process = subprocess.Popen([lab.script, "--id", lab.id, "exec", "--", apctl, "watch",
                                         *options], stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True)
        self.out, self.err = [], []
        self.lines = queue.Queue()
        for stream, into in ((self.process.stdout, self.out), (self.process.stderr, self.err)):
            threading.Thread(target=self.read, args=(stream, into), daemon=True).start()

    def read(self, stream, into):
        for line in stream:
            into.append(line.rstrip("\n"))
            self.lines.put(None)

    def wait(self, condition, timeout):
        deadline = time.monotonic() + timeout
        while not condition():
            if time.monotonic() > deadline:
                return False
            try:
                self.lines.get(timeout=0.2)
            except queue.Empty:
                pass
        return True

    def told(self, pattern):
        return any(re.fullmatch(TIME + pattern, line) for line in self.err)

    def stop(self):
        self.process.send_signal(signal.SIGINT)
        try:
            return self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            return self.process.wait()


def metrics(path):
    """{'name{labels}': value} of the metrics file, or {} before it is there."""
    try:
        with open(path, encoding="utf-8") as file:
            lines = [line.rsplit(" ", 1) for line in file if not line.startswith("#")]
    except FileNotFoundError:
        return {}
    return {name: float(value) for name, value in lines}


def settled(path, wanted, after, timeout=60):
    """Waits until `after` more discoveries have ended and the file holds every sample of
    `wanted` with its value; the last file read."""
    start = metrics(path).get("apmanager_discoveries_total", 0)
    deadline = time.monotonic() + timeout
    while True:
        found = metrics(path)
        if (found.get("apmanager_discoveries_total", 0) >= start + after
                and all(found.get(name) == value for name, value in wanted.items())):
            return found
        if time.monotonic() > deadline:
            return found
        time.sleep(0.2)


def up(n, value):
    return {f'apmanager_access_point_up{{mac="{mac(n)}"}}': value,
            f'apmanager_access_point_gone{{mac="{mac(n)}"}}': 0.0}


def network(name, address, value):
    return {f'apmanager_network_up{{local_address="{address}",interface="{name}"}}': value}


def scenario_lostlink(args, checks):
    with Lab(args.lab, args.apsim, "ll") as lab, tempfile.TemporaryDirectory() as scratch:
        lab.up(write_json(scratch, "lostlink.json", fleet()))
        path = os.path.join(scratch, "apmanager.prom")
        ip = [args.lab, "--id", lab.id, "exec", "--", "ip"]
        watch = Watch(lab, args.apctl, "--interval", "0.5", "--parallel", "--textfile", path)
        try:
            checks.that(watch.wait(lambda: len(watch.out) == 2, 30), "both access points appear")
            everyone = {**up(1, 1.0), **up(2, 1.0), **network("lan0", LAN0, 1.0),
                        **network("lan1", LAN1, 1.0)}

            subprocess.run(ip + ["link", "set", "lan1", "down"], check=True)
            checks.that(watch.wait(lambda: watch.told(
                rf"apctl: lost {LAN1} \(lan1\): link down; .*"), 30), "lan1's loss is told")
            found = settled(path, {**up(1, 1.0), **up(2, 0.0), **network("lan1", LAN1, 0.0)}, 3)
            checks.equal(found.get(f'apmanager_access_point_gone{{mac="{mac(2)}"}}'), 0.0,
                         "lan1 down for three discoveries: Store kept, not gone")
            checks.equal(found.get(f'apmanager_access_point_up{{mac="{mac(2)}"}}'), 0.0,
                         "Store at up 0 while lan1 is down")
            subprocess.run(ip + ["link", "set", "lan1", "up"], check=True)
            checks.that(watch.wait(lambda: watch.told(
                rf"apctl: {LAN1} \(lan1\) is usable again"), 30), "lan1's return is told")
            found = settled(path, everyone, 1)
            checks.equal(found.get(f'apmanager_access_point_up{{mac="{mac(2)}"}}'), 1.0,
                         "Store up again with lan1")

            for name, address in (("lan0", LAN0), ("lan1", LAN1)):
                subprocess.run(ip + ["addr", "del", address + "/24", "dev", name], check=True)
            checks.that(watch.wait(lambda: watch.told(
                r"apctl: no usable IPv4 interface; see apctl interfaces"), 30),
                "no usable address is told")
            found = settled(path, {**up(1, 0.0), **up(2, 0.0), **network("lan0", LAN0, 0.0),
                                   **network("lan1", LAN1, 0.0)}, 3)
            checks.equal(found.get(f'apmanager_access_point_gone{{mac="{mac(1)}"}}'), 0.0,
                         "every address gone for three discoveries: Lobby kept, not gone")
            for name, address in (("lan0", LAN0), ("lan1", LAN1)):
                subprocess.run(ip + ["addr", "add", address + "/24", "dev", name], check=True)
            found = settled(path, everyone, 1)
            checks.equal({name: found.get(name) for name in everyone}, everyone,
                         "every access point and network up again")
        finally:
            status = watch.stop()
        checks.equal(status, 0, "watch: exit status")
        checks.equal([line for line in watch.out if " + " not in line], [],
                     "nobody reported gone or changed")
        checks.equal(len(watch.out), 2, "nobody appeared again")
        checks.equal([line for line in watch.err if not re.match(TIME, line)], [],
                     "every line on standard error has its time")
        for pattern in (rf"apctl: lost {LAN0} \(lan0\): address gone; .*",
                        rf"apctl: lost {LAN1} \(lan1\): address gone; .*",
                        rf"apctl: {LAN0} \(lan0\) is usable again"):
            checks.that(watch.told(pattern), f"told: {pattern}")
        print("\n".join(watch.err), flush=True)


def main():
    return run_scenario({"lostlink": scenario_lostlink}, __doc__)


if __name__ == "__main__":
    sys.exit(main())
