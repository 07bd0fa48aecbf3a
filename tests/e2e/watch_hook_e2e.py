#!/usr/bin/env python3
"""End-to-end tests of apctl watch --exec, and of watch without any privilege, in the lab.

hook: a hook that appends its input and environment to a file sees one appeared change per
access point of the fleet, each as the --json line watch prints; a hook that fails is said on
standard error with its time, and the watch goes on.

unprivileged: watch (and its hook) as user nobody, with no capability and no way to gain one,
as the systemd service runs it, finds the whole fleet on both networks, at once.
"""

import json
import os
import signal
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # the source tree stays as it is
from lab_e2e import Lab, run_scenario  # noqa: E402

FLEET = {
    "networks": [{"name": "lan0", "hostAddress": "10.0.0.200/24"},
                 {"name": "lan1", "hostAddress": "192.168.1.200/24"}],
    "defaults": {"firmware": "0102", "wirelessMode": 3},
    "accessPoints": [
        {"name": "Lobby", "mac": "000A1B700001", "network": "lan0", "address": "10.0.0.11"},
        {"name": "Annex", "mac": "000A1B700002", "network": "lan0", "address": "172.16.9.9"},
        {"name": "Store", "mac": "000A1B700003", "network": "lan1", "address": "192.168.1.13"},
    ],
}
EXPECTED = sorted((ap["mac"], ap["address"]) for ap in FLEET["accessPoints"])

# As user nobody: no capability, none to be had, no supplementary group.
UNPRIVILEGED = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                "--inh-caps=-all", "--bounding-set=-all", "--no-new-privs", "--"]


def hook_lines(path):
    try:
        with open(path, encoding="utf-8") as log:
            return log.read().splitlines()
    except FileNotFoundError:
        return []


def watch_with_hook(lab, apctl, scratch, prefix, *options):
    """Runs watch --json with a hook that appends `CHANGE MAC ADDRESS JSON` per change until it
    has seen the whole fleet (or 40 s went by); returns (its lines, watch's stdout, stderr,
    exit status)."""
    log = os.path.join(scratch, "hook.log")
    hook = (f"/bin/sh -c 'printf \"%s %s %s \" \"$APCTL_CHANGE\" \"$APCTL_MAC\" "
            f"\"$APCTL_ADDRESS\" >> {log}; cat >> {log}'")
    process = subprocess.Popen([lab.script, "--id", lab.id, "exec", "--", *prefix, apctl,
                                "watch", "--json", "--interval", "1", *options, "--exec", hook],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    deadline = time.monotonic() + 40
    while len(hook_lines(log)) < len(EXPECTED) and time.monotonic() < deadline:
        time.sleep(0.1)
    process.send_signal(signal.SIGTERM)
    try:
        out, err = process.communicate(timeout=15)
    except subprocess.TimeoutExpired:
        process.kill()
        out, err = process.communicate()
    return hook_lines(log), out.splitlines(), err, process.returncode


def check_hook_saw_fleet(checks, lines, printed, what):
    seen = sorted((line.split(" ", 3)[1], line.split(" ", 3)[2]) for line in lines)
    checks.equal(seen, EXPECTED, f"{what}: the hook saw each access point with its address")
    checks.that(all(line.startswith("appeared ") for line in lines),
                f"{what}: every change is an appearance: {lines!r}")
    inputs = [line.split(" ", 3)[3] for line in lines]
    checks.equal(inputs, printed[:len(inputs)],
                 f"{what}: each hook's input is the line watch printed")
    checks.that(all(json.loads(text)["change"] == "appeared" for text in inputs),
                f"{what}: each input is one JSON object")


def scenario_hook(args, checks):
    with Lab(args.lab, args.apsim, "x") as lab, tempfile.TemporaryDirectory() as scratch:
        lab.up(fleet_file(scratch))
        lines, printed, err, status = watch_with_hook(lab, args.apctl, scratch, [])
        checks.equal(status, 0, "watch --exec stopped by SIGTERM: exit status")
        check_hook_saw_fleet(checks, lines, printed, "watch --exec")
        checks.equal(err, "", "watch --exec: nothing on standard error")

        # A hook that fails each time: said each time with its time, and the watch goes on.
        process = subprocess.Popen([lab.script, "--id", lab.id, "exec", "--", args.apctl,
                                    "watch", "--interval", "1", "--exec", "/bin/sh -c 'exit 4'"],
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        deadline = time.monotonic() + 30
        err_lines = []
        while len(err_lines) < len(EXPECTED) and time.monotonic() < deadline:
            line = process.stderr.readline()
            if not line:
                break
            err_lines.append(line.rstrip("\n"))
        process.send_signal(signal.SIGINT)
        out, _ = process.communicate(timeout=15)
        checks.equal(process.returncode, 0, "a failing hook: the watch still ends with 0")
        checks.equal(len(out.splitlines()), len(EXPECTED), "a failing hook: every change printed")
        checks.that(len(err_lines) == len(EXPECTED) and all(
            line.endswith(": exited with status 4") and line[:4].isdigit()
            and " apctl: hook /bin/sh (appeared 000A1B70000" in line for line in err_lines),
            f"a failing hook: said per change with its time: {err_lines!r}")


def scenario_unprivileged(args, checks):
    with Lab(args.lab, args.apsim, "y") as lab, tempfile.TemporaryDirectory() as scratch:
        os.chmod(scratch, 0o777)
        lab.up(fleet_file(scratch))
        who = lab.run("exec", "--", *UNPRIVILEGED, "id", "-u")
        checks.equal(who.stdout.strip(), "65534", "setpriv runs it as nobody")
        lines, printed, err, status = watch_with_hook(lab, args.apctl, scratch, UNPRIVILEGED,
                                                      "--parallel")
        checks.equal(status, 0, "unprivileged watch stopped by SIGTERM: exit status")
        check_hook_saw_fleet(checks, lines, printed, "unprivileged watch --exec")
        checks.equal(err, "", "unprivileged watch: nothing on standard error")


def fleet_file(directory):
    path = os.path.join(directory, "fleet.json")
    with open(path, "w", encoding="utf-8") as out:
        json.dump(FLEET, out)
    return path


SCENARIOS = {"hook": scenario_hook, "unprivileged": scenario_unprivileged}


def main():
    return run_scenario(SCENARIOS, __doc__)


if __name__ == "__main__":
    sys.exit(main())
