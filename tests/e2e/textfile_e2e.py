#!/usr/bin/env python3
"""End-to-end test of apctl watch --textfile in the lab, read the way Prometheus reads it.

A watch writes its metrics file while a reader reads it in a loop: every read is a whole file
(Python's prometheus_client parses it and its last family is there), every distinct file passes
`promtool check metrics`, the values agree with `apctl discover --json --verbose` (a name with
quotes, a backslash and a Latin-1 byte comes back as it went in; the counters are the discoveries'
sum), and an access point that stops answering shows 0, then gone, and leaves the file once
--forget has passed.
"""

import glob
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

sys.dont_write_bytecode = True  # the source tree stays as it is
from lab_e2e import Lab, run_scenario  # noqa: E402
from fleet_e2e import write_json  # noqa: E402

try:
    from prometheus_client.parser import text_string_to_metric_families
except ImportError:
    raise SystemExit("textfile_e2e: needs Debian's python3-prometheus-client "
                     "(scripts/setup-deps test) and Debian's python3 to run it")

LAST_FAMILY = "apmanager_last_discovery_timestamp_seconds"
STANDARDS = {1: "802.11b", 3: "802.11b/g", 7: "802.11a/b/g"}
QUIET = "000A1B700003"  # the one that stops answering


def fleet():
    def ap(n, name, network, address, **fields):
        entry = {"mac": f"000A1B70000{n}", "name": name, "network": network, "address": address}
        entry.update(fields)
        return entry

    return {
        "networks": [{"name": "lan0", "hostAddress": "10.0.0.200/24"},
                     {"name": "lan1", "hostAddress": "192.168.1.200/24"}],
        "defaults": {"firmware": "0102", "wirelessMode": 3, "ssidBg": "guest", "channelBg": 6},
        "accessPoints": [
            # The \u00e9 is one byte on the wire, read as Latin-1.
            ap(1, 'Caf\u00e9 "Q" \\ 1', "lan0", "10.0.0.11", ssidA='5 "GHz"', channelA=36,
               wirelessMode=7),
            ap(2, "Lobby", "lan0", "10.0.0.12", wirelessMode=1),
            # Silent for ten minutes after the reset the test sends it.
            ap(3, "Quiet", "lan0", "10.0.0.13", silentAfterResetMs=600000),
            ap(4, "Store", "lan1", "192.168.1.14"),
            ap(5, "Odd", "lan1", "192.168.1.15", status=2),
        ],
    }


def samples(text):
    """{(name, sorted label items): value} of one metrics file."""
    found = {}
    for family in text_string_to_metric_families(text):
        for sample in family.samples:
            found[(sample.name, tuple(sorted(sample.labels.items())))] = sample.value
    return found


def named(found, name):
    return {labels: value for (metric, labels), value in found.items() if metric == name}


class Reader:
    """Reads the file over and over while the watch rewrites it; keeps each distinct content
    and every read that was not a whole, parsable file."""

    def __init__(self, path):
        self.path = path
        self.contents = {}
        self.reads = 0
        self.bad = []
        self.done = threading.Event()
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def run(self):
        while not self.done.is_set():
            try:
                with open(self.path, encoding="utf-8") as file:
                    text = file.read()
            except FileNotFoundError:
                time.sleep(0.01)
                continue
            self.reads += 1
            if text in self.contents:
                continue
            try:
                found = samples(text)
                whole = text.endswith("\n") and any(name == LAST_FAMILY for name, _ in found)
            except Exception as error:  # noqa: BLE001 - any parse failure is a finding
                whole, found = False, error
            if whole:
                self.contents[text] = found
            else:
                self.bad.append(text)

    def latest(self, condition, timeout):
        """The newest file whose samples satisfy `condition`, waiting up to `timeout` s."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for text, found in reversed(list(self.contents.items())):
                if condition(found):
                    return found
            time.sleep(0.1)
        return None

    def stop(self):
        self.done.set()
        self.thread.join()


def verbose_counts(stderr):
    """{local address: (accepted, status, too short, other interface)} from --verbose."""
    counts = {}
    pattern = (r"apctl: \S+ (\S+): \d+ requests sent, (\d+) replies accepted, \d+ ignored "
               r"\((\d+) status, (\d+) too short, (\d+) other interface\)")
    for match in re.finditer(pattern, stderr):
        counts[match.group(1)] = tuple(int(group) for group in match.groups()[1:])
    return counts


def scenario_textfile(args, checks):
    with Lab(args.lab, args.apsim, "tf") as lab, tempfile.TemporaryDirectory() as scratch:
        lab.up(write_json(scratch, "textfile.json", fleet()))
        folder = os.path.join(scratch, "node-exporter")
        os.mkdir(folder)
        path = os.path.join(folder, "apmanager.prom")

        result, _, _ = lab.apctl(args.apctl, "discover", "--json", "--parallel", "--verbose")
        checks.equal(result.returncode, 0, "discover: exit status")
        records = json.loads(result.stdout)
        counts = verbose_counts(result.stderr)
        checks.equal(len(records), 4, "discover: the four access points that answer")

        reader = Reader(path)
        watch = subprocess.Popen([args.lab, "--id", lab.id, "exec", "--", args.apctl, "watch",
                                  "--textfile", path, "--interval", "0.5", "--parallel",
                                  "--forget", "3"],
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        try:
            first = reader.latest(lambda found: True, 30)
            checks.that(first is not None, "a metrics file within 30 s")
            first = first or {}
            up = named(first, "apmanager_access_point_up")
            info = named(first, "apmanager_access_point_info")
            for record in records:
                checks.equal(up.get((("mac", record["macText"]),)), 1.0,
                             f"up for {record['name']!r}")
                labels = (("address", record["ipAddress"]),
                          ("channel_a", str(record["channelA"])),
                          ("channel_bg", str(record["channelBg"])),
                          ("firmware", record["firmwareVersion"]),
                          ("local_address", record["localAddress"]),
                          ("mac", record["macText"]), ("name", record["name"]),
                          ("ssid_a", record["ssidA"]), ("ssid_bg", record["ssidBg"]),
                          ("standard", STANDARDS.get(record["wirelessMode"], "?")))
                checks.equal(info.get(labels), 1.0, f"info for {record['name']!r}")
            checks.equal(len(up), len(records), "one up sample per access point")
            checks.equal(list(named(first, "apmanager_build_info").values()), [1.0],
                         "build_info")
            checks.that(any(r["name"] == 'Caf\u00e9 "Q" \\ 1' for r in records),
                        "discover: the name with quotes, backslash and Latin-1 byte as it went in")
            # The fleet answers every discovery alike: each counter is one discovery's figure
            # times the discoveries so far.
            runs = named(first, "apmanager_discoveries_total").get((), 0.0)
            for local, (accepted, status, short, foreign) in counts.items():
                at = (("interface", "lan0" if local.startswith("10.") else "lan1"),
                      ("local_address", local))
                checks.equal(named(first, "apmanager_discovery_replies_accepted_total").get(at),
                             accepted * runs, f"replies accepted on {local}")
                ignored = named(first, "apmanager_discovery_datagrams_ignored_total")
                for reason, count in (("status", status), ("too_short", short),
                                      ("other_interface", foreign)):
                    checks.equal(ignored.get(at + (("reason", reason),)), count * runs,
                                 f"ignored ({reason}) on {local}")
                checks.equal(named(first, "apmanager_network_up").get(at), 1.0,
                             f"network up on {local}")
            checks.equal(len(counts), 2, "discover --verbose: a line per network")

            result, _, _ = lab.apctl(args.apctl, "reset", QUIET)
            checks.equal(result.returncode, 0, "reset of the access point that goes quiet")

            def quiet(found, name):
                return named(found, name).get((("mac", QUIET),))

            missing = reader.latest(lambda found: quiet(found, "apmanager_access_point_up") == 0.0,
                                    30)
            checks.that(missing is not None, "the quiet access point shows 0")
            reported = reader.latest(
                lambda found: quiet(found, "apmanager_access_point_gone") == 1.0, 30)
            checks.that(reported is not None, "then it is gone, still in the file")
            gone = reader.latest(lambda found: quiet(found, "apmanager_access_point_up") is None
                                 and reported is not None, 30)
            checks.that(gone is not None, "then, --forget later, it leaves the file")
            if gone is not None:
                checks.that(not any(("mac", QUIET) in labels for (_, labels) in gone),
                            "no sample of it is left")
                checks.equal(len(named(gone, "apmanager_access_point_up")), len(records) - 1,
                             "the others stay")
        finally:
            watch.send_signal(signal.SIGINT)
            try:
                status = watch.wait(timeout=10)
            except subprocess.TimeoutExpired:
                watch.kill()
                status = watch.wait()
            reader.stop()
        checks.equal(status, 0, "watch: exit status")
        checks.equal(watch.stderr.read(), "", "watch: nothing on standard error")

        print(f"reader: {reader.reads} reads, {len(reader.contents)} distinct files", flush=True)
        checks.equal(reader.bad[:1], [], "every read is a whole file")
        checks.that(len(reader.contents) >= 3, "the file was rewritten while read")
        promtool = shutil.which("promtool")
        checks.that(promtool is not None, "promtool (Debian's prometheus) is installed")
        for text in reader.contents if promtool else []:
            check = subprocess.run([promtool, "check", "metrics"], input=text,
                                   capture_output=True, text=True)
            if not checks.equal((check.returncode, check.stdout + check.stderr), (0, ""),
                                "promtool check metrics"):
                print(text)
                break
        checks.equal(oct(os.stat(path).st_mode & 0o777), "0o644", "the file's mode")
        checks.equal(glob.glob(os.path.join(folder, ".*")), [], "no temporary file left")


def main():
    return run_scenario({"textfile": scenario_textfile}, __doc__)


if __name__ == "__main__":
    sys.exit(main())
