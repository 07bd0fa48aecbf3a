#!/usr/bin/env python3
"""End-to-end test of the IP Configuration dialog: the utility, driven offscreen on the real
socket layer, configures a simulated access point in the network-namespace lab.

The lab is this script's own (an id of its own, taken down on every way out); the program runs
in the lab's host namespace and refuses to run anywhere else. Afterwards the simulator's log must
show exactly one configuration request and one reset for the access point, 3 s apart.
"""

import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from lab_e2e import FLEETS, Checks, Lab, begin_run  # noqa: E402

ANNEX_MAC = "000A1B300001"
# Written out from the protocol tables: mode 0, then 10.0.0.77, 255.255.255.0, 10.0.0.1 and
# 10.0.0.53, each a 7-byte element.
FIXED_REQUEST = ("600D2C00616161623A0A" + ANNEX_MAC + "07000400" + "0300070A00004D" +
                 "040007FFFFFF00" + "0500070A000001" + "0600070A000035")
RESET_REQUEST = "600D0C00616161633A0A" + ANNEX_MAC


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--lab", required=True, help="scripts/lab")
    parser.add_argument("--apsim", required=True)
    parser.add_argument("--program", required=True, help="the config_dialog_e2e program")
    args = parser.parse_args()
    if not begin_run(args.lab):
        return 1
    checks = Checks()
    began = time.monotonic()
    with Lab(args.lab, args.apsim, "g") as lab:
        lab.up(os.path.join(FLEETS, "config-dialog.json"))
        start = time.monotonic()
        result = subprocess.run([args.lab, "--id", lab.id, "exec", "--", args.program],
                                capture_output=True, text=True, timeout=150)
        end = time.monotonic()
        print(result.stdout, end="")
        print(result.stderr, end="", file=sys.stderr)
        checks.equal(result.returncode, 0, "config_dialog_e2e exit status")

        sets = lab.events("lan0", "set-ip-configuration", start=start, end=end)
        resets = lab.events("lan0", "reset", start=start, end=end)
        checks.equal([line["hex"] for line in sets], [FIXED_REQUEST],
                     "configuration requests (010.000.000.077 read as decimal)")
        checks.equal([line["hex"] for line in resets], [RESET_REQUEST], "reset requests")
        if sets and resets:
            checks.between(resets[0]["mono"] - sets[0]["mono"], 2.95, 4.0,
                           "pause between configuration and reset")
    print(f"config dialog: {len(checks.failures)} failed check(s) "
          f"in {time.monotonic() - began:.1f} s")
    return 1 if checks.failures else 0


if __name__ == "__main__":
    sys.exit(main())
