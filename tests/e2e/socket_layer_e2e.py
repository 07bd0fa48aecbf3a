#!/usr/bin/env python3
"""End-to-end tests of the real socket layer: the socket_layer_e2e program in a lab of its own,
three times: as is, with the device binding refused (EPERM), and with lan1 gone between listing
and binding (index 0 from the name lookup). The last two preload FaultShim."""

import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from lab_e2e import FLEETS, Checks, Lab, begin_run  # noqa: E402

RUNS = [
    ("as is", {}, "*"),
    ("device binding refused", {"APTEST_REFUSE_DEVICE_BINDING": "1"},
     "Requests.*:ForeignInterface.*:Receive.*"),
    ("lan1 gone before binding", {"APTEST_VANISHED_INTERFACE": "lan1"}, "Requests.*"),
]


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--lab", required=True, help="scripts/lab")
    parser.add_argument("--apsim", required=True)
    parser.add_argument("--program", required=True, help="the socket_layer_e2e program")
    parser.add_argument("--shim", required=True, help="the FaultShim library")
    args = parser.parse_args()
    if not begin_run(args.lab):
        return 1
    checks = Checks()
    began = time.monotonic()
    with Lab(args.lab, args.apsim, "n") as lab:
        lab.up(os.path.join(FLEETS, "socket-layer.json"))
        for what, faults, tests in RUNS:
            environment = []
            if faults:
                # A sanitizer runtime insists on coming first; the shim only needs to come
                # before the C library.
                environment = ["env", "LD_PRELOAD=" + args.shim,
                               "ASAN_OPTIONS=verify_asan_link_order=0:" +
                               os.environ.get("ASAN_OPTIONS", "")]
                environment += [f"{name}={value}" for name, value in faults.items()]
            result = subprocess.run(
                [args.lab, "--id", lab.id, "exec", "--", *environment, args.program,
                 "--gtest_filter=" + tests, lab.id],
                capture_output=True, text=True, timeout=200)
            print(f"--- {what}")
            print(result.stdout, end="")
            print(result.stderr, end="", file=sys.stderr)
            checks.equal(result.returncode, 0, f"socket_layer_e2e ({what}) exit status")
    print(f"socket layer: {len(checks.failures)} failed check(s) "
          f"in {time.monotonic() - began:.1f} s")
    return 1 if checks.failures else 0


if __name__ == "__main__":
    sys.exit(main())
