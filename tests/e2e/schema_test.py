#!/usr/bin/env python3
"""apctl's JSON outputs against the JSON Schemas the package installs (share/apmanager/schema).

golden: every schema is a valid draft 2020-12 schema, and the JSON of every golden file
(tests/apctl/golden) validates against the schema of its command; a copy with a key added must
not, so that no schema passes whatever it is shown. No lab needed.

lab: the same for outputs taken from apctl against simulated access points in the lab:
interfaces, discover, configure (with and without --verify), apply (and --dry-run), watch
lines, and diff lines of two discoveries taken before and after a new address.
"""

import argparse
import copy
import glob
import json
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

import jsonschema

sys.dont_write_bytecode = True  # the source tree stays as it is

DRAFT = "https://json-schema.org/draft/2020-12/schema"


def load_schemas(directory):
    schemas = {}
    for path in sorted(glob.glob(os.path.join(directory, "*.schema.json"))):
        with open(path, encoding="utf-8") as file:
            schemas[os.path.basename(path)[:-len(".schema.json")]] = json.load(file)
    return schemas


def check_schemas(schemas, failures):
    ids = set()
    for name, schema in schemas.items():
        try:
            jsonschema.Draft202012Validator.check_schema(schema)
        except jsonschema.SchemaError as error:
            failures.append(f"{name}: not a valid schema: {error.message}")
        for key in ("$id", "title", "description"):
            if not schema.get(key):
                failures.append(f"{name}: no {key}")
        if schema.get("$schema") != DRAFT:
            failures.append(f"{name}: $schema is not draft 2020-12")
        if schema.get("$id") in ids:
            failures.append(f"{name}: $id {schema.get('$id')} used twice")
        ids.add(schema.get("$id"))


def schema_for(args):
    """The schema of what `apctl ARGS` prints, and whether it prints one JSON value per line."""
    command = args[0] if args else ""
    if "--json" not in args:
        return None, False
    if command == "apply":
        return ("apply-dry-run" if "--dry-run" in args else "apply"), False
    if command in ("watch", "diff"):
        return command, True
    if command in ("discover", "interfaces", "configure"):
        return command, False
    return None, False


# Schemas that describe a part of other outputs, not an output of their own.
PARTS = {"record"}


def validator(schema, schemas):
    """A validator of `schema` that resolves $ref among `schemas` by their $id, offline: the
    registry of jsonschema 4.18 and later, or the RefResolver with a local store of the ones
    before it (Debian 12's 4.10), which would otherwise try to fetch the $id."""
    try:
        from referencing import Registry, Resource
    except ImportError:
        store = {other["$id"]: other for other in schemas.values()}
        return jsonschema.Draft202012Validator(
            schema, format_checker=jsonschema.FormatChecker(),
            resolver=jsonschema.RefResolver.from_schema(schema, store=store))
    registry = Registry().with_resources(
        (other["$id"], Resource.from_contents(other)) for other in schemas.values())
    return jsonschema.Draft202012Validator(schema, format_checker=jsonschema.FormatChecker(),
                                           registry=registry)


class Validation:
    def __init__(self, schemas):
        self.validators = {name: validator(schema, schemas) for name, schema in schemas.items()}
        self.failures = []
        self.validated = {name: 0 for name in schemas if name not in PARTS}

    def document(self, name, value, where):
        errors = sorted(self.validators[name].iter_errors(value), key=lambda e: list(e.path))
        for error in errors:
            self.failures.append(f"{where}: {name}: {'/'.join(map(str, error.path))}: "
                                 f"{error.message}")
        self.validated[name] += 1
        # The same with a key no output has: strict schemas refuse it.
        widened = copy.deepcopy(value)
        target = widened[0] if isinstance(widened, list) and widened else widened
        if isinstance(target, dict):
            target["addedKey"] = 1
            if self.validators[name].is_valid(widened):
                self.failures.append(f"{where}: {name} takes a key it does not describe")

    def output(self, args, stdout, where):
        """The JSON of one apctl run; False when its command has no JSON output."""
        name, per_line = schema_for(args)
        if name is None or not stdout.strip():
            return False
        if name not in self.validators:
            self.failures.append(f"{where}: no schema {name}")
            return False
        texts = [line for line in stdout.splitlines() if line] if per_line else [stdout]
        for number, text in enumerate(texts, 1):
            try:
                value = json.loads(text)
            except json.JSONDecodeError as error:
                self.failures.append(f"{where}: line {number}: not JSON: {error}")
                continue
            self.document(name, value, f"{where}:{number}" if per_line else where)
        return True


def golden(options):
    schemas = load_schemas(options.schemas)
    validation = Validation(schemas)
    check_schemas(schemas, validation.failures)
    for path in sorted(glob.glob(os.path.join(options.golden, "*.txt"))):
        with open(path, encoding="utf-8") as file:
            text = file.read()
        command = text.splitlines()[0]
        stdout = text.split("--- stdout\n", 1)[1].split("--- stderr\n", 1)[0]
        # The golden runs stamp watch lines with the fake network's time; a real watch writes
        # UTC to the second.
        stdout = re.sub(r'"time": "T\+\d+ms"', '"time": "2026-12-09T10:33:12Z"', stdout)
        validation.output(command.split()[2:], stdout, os.path.basename(path))
    unused = [name for name, count in validation.validated.items() if count == 0]
    if unused:
        validation.failures.append("no golden output validated against: " + ", ".join(unused))
    return report(validation)


def report(validation):
    for failure in validation.failures:
        print("FAIL: " + failure)
    print(f"{sum(validation.validated.values())} documents validated: " +
          ", ".join(f"{name} {count}" for name, count in validation.validated.items()))
    return 1 if validation.failures else 0


LAB_FLEET = {
    "networks": [{"name": "lan0", "hostAddress": "10.0.0.200/24"},
                 {"name": "lan1", "hostAddress": "192.168.1.200/24"}],
    "defaults": {"silentAfterResetMs": 1500, "firmware": "0102", "wirelessMode": 3},
    "accessPoints": [
        {"name": "Caf\u00e9", "mac": "000A1B210001", "network": "lan0", "address": "10.0.0.11",
         "description": "tab\there", "ssidBg": "guest", "channelBg": 6},
        {"name": "Roof", "mac": "000A1B210002", "network": "lan0", "address": "10.0.0.12",
         "wirelessMode": 7, "ssidA": "corp", "channelA": 36},
        {"name": "Annex", "mac": "000A1B210003", "network": "lan1", "address": "172.16.9.9",
         "reply": "broadcast"},
    ],
}


def lab(options):
    from lab_e2e import Lab, begin_run  # noqa: E402  (only the lab mode needs it)

    if not begin_run(options.lab):
        return 1
    schemas = load_schemas(options.schemas)
    validation = Validation(schemas)

    def run(lab_, *args, status=0, timeout=90, printed=True):
        result, _, _ = lab_.apctl(options.apctl, *args, timeout=timeout)
        if result.returncode != status:
            validation.failures.append(f"apctl {' '.join(args)}: exit {result.returncode}, "
                                       f"expected {status}: {result.stderr.strip()}")
        if validation.output(list(args), result.stdout, "apctl " + " ".join(args)) != printed:
            validation.failures.append(f"apctl {' '.join(args)}: printed {result.stdout!r}")
        return result

    with Lab(options.lab, options.apsim, "s") as lab_, tempfile.TemporaryDirectory() as scratch:
        # Run by hand, the lab may be given its own id.
        lab_.id = os.environ.get("APMLAB_ID", lab_.id)
        fleet = os.path.join(scratch, "fleet.json")
        with open(fleet, "w", encoding="utf-8") as file:
            json.dump(LAB_FLEET, file)
        lab_.up(fleet)
        run(lab_, "interfaces", "--json")
        old = run(lab_, "discover", "--json", "--parallel")
        plan = os.path.join(scratch, "plan.csv")
        with open(plan, "w", encoding="utf-8") as file:
            file.write("mac,mode,ip,mask,gateway,dns\n"
                       "000A1B210001,fixed,10.0.0.11,255.255.255.0,10.0.0.1,10.0.0.53\n"
                       "000A1B210003,dhcp,,,,\n")
        run(lab_, "apply", plan, "--dry-run", "--json")
        # The first row is unchanged; the second restarts as a DHCP client.
        run(lab_, "apply", plan, "--parallel", "--json", "--verify=30", timeout=120)
        # The verification's discoveries give the first one time to come back from its reset.
        run(lab_, "configure", "000A1B210001", "--fixed", "10.0.0.21", "255.255.255.0",
            "10.0.0.1", "10.0.0.1", "--json")
        run(lab_, "configure", "000A1B210002", "--fixed", "10.0.0.32", "255.255.255.0",
            "10.0.0.1", "10.0.0.1", "--verify=30", "--json", timeout=120)
        run(lab_, "configure", "000A1B2100FF", "--dhcp", "--json", status=1)
        new = run(lab_, "discover", "--json", "--parallel")
        paths = []
        for name, result in (("old.json", old), ("new.json", new)):
            paths.append(os.path.join(scratch, name))
            with open(paths[-1], "w", encoding="utf-8") as file:
                file.write(result.stdout)
        lines = run(lab_, "diff", *paths, "--json", status=1).stdout
        if '"field": "ipAddress", "old": "10.0.0.12", "new": "10.0.0.32"' not in lines:
            validation.failures.append("diff shows no new address for 000A1B210002: " + lines)
        run(lab_, "diff", paths[0], paths[0], "--json", status=0, printed=False)

        watch = subprocess.Popen([options.lab, "--id", lab_.id, "exec", "--", options.apctl,
                                  "watch", "--json", "--parallel", "--interval", "1"],
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        seen = []
        deadline = time.monotonic() + 30
        while len(seen) < len(LAB_FLEET["accessPoints"]) and time.monotonic() < deadline:
            line = watch.stdout.readline()
            if not line:
                break
            seen.append(line)
        watch.send_signal(signal.SIGINT)
        try:
            watch.wait(timeout=10)
        except subprocess.TimeoutExpired:
            watch.kill()
            watch.wait()
        if len(seen) < len(LAB_FLEET["accessPoints"]):
            validation.failures.append(f"watch printed {len(seen)} lines within 30 s")
        validation.output(["watch", "--json"], "".join(seen), "apctl watch --json")
    return report(validation)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--schemas", required=True, help="share/apmanager/schema")
    modes = parser.add_subparsers(dest="mode", required=True)
    golden_mode = modes.add_parser("golden")
    golden_mode.add_argument("--golden", required=True, help="tests/apctl/golden")
    lab_mode = modes.add_parser("lab")
    lab_mode.add_argument("--lab", required=True, help="scripts/lab")
    lab_mode.add_argument("--apsim", required=True)
    lab_mode.add_argument("--apctl", required=True)
    options = parser.parse_args()
    return golden(options) if options.mode == "golden" else lab(options)


if __name__ == "__main__":
    sys.exit(main())
