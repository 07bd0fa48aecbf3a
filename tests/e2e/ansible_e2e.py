#!/usr/bin/env python3
"""The Ansible collection (ansible/) with Debian's ansible-core.

playbook (lab): a playbook whose managed host runs apctl inside the lab (apctl_path is a wrapper
that runs it through scripts/lab exec) re-addresses a fleet on the factory address. --check
reports changed and sends nothing; the first run is changed (with --jobs) and discover --json
then finds every access point at its planned address; the second run is ok and sends no
configuration request; a row whose access point is missing fails the task, with the rows in the
result; errors and the diff name rows as the playbook writes them. The collection README's own
playbook runs in --check.

inventory (lab): ansible-inventory --list with the inventory plugin running apctl discover
lists the lab's access points, grouped by local network and standard, their fields as variables;
with the cache on, a second run sends no discovery; a discovery past the timeout fails, and one
without a usable interface warns.

inventory_file (no lab, no root): the same plugin on a saved discovery file.

module_units (no lab, no root): the apply module's translations of apctl's messages and numbers.
"""

import json
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # the source tree stays as it is
from lab_e2e import Lab, run_scenario  # noqa: E402

COLLECTIONS = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                            "..", "..", "ansible"))
FACTORY_ADDRESS = "192.168.0.254"
COUNT = 3


def mac(n):
    return f"000A1B6000{n:02X}"


def planned(n):
    return f"10.0.0.{60 + n}"


def fleet():
    # Three on the factory address behind lan0, one more on lan1 that no plan names.
    return {
        "networks": [{"name": "lan0", "hostAddress": "10.0.0.200/24"},
                     {"name": "lan1", "hostAddress": "192.168.1.200/24"}],
        "defaults": {"reply": "broadcast", "silentAfterResetMs": 1000, "wirelessMode": 3,
                     "firmware": "0102"},
        "accessPoints": [{"name": f"Floor {n}", "mac": mac(n), "network": "lan0",
                          "address": FACTORY_ADDRESS} for n in range(1, COUNT + 1)]
        + [{"name": "Depot", "mac": mac(9), "network": "lan1", "address": "192.168.1.21",
            "wirelessMode": 4, "description": "loading bay"}],
    }


def ansible_environment(scratch):
    """Offline, from the tree, nothing written into it or into the user's home."""
    return dict(os.environ,
                ANSIBLE_COLLECTIONS_PATH=COLLECTIONS,
                ANSIBLE_COLLECTIONS_SCAN_SYS_PATH="false",
                ANSIBLE_LOCAL_TEMP=os.path.join(scratch, "tmp"),
                ANSIBLE_REMOTE_TEMP=os.path.join(scratch, "remote"),
                ANSIBLE_HOME=os.path.join(scratch, "home"),
                ANSIBLE_GALAXY_SERVER_LIST="",
                ANSIBLE_NOCOLOR="1",
                ANSIBLE_INVENTORY_ANY_UNPARSED_IS_FAILED="true",
                ANSIBLE_RETRY_FILES_ENABLED="false",
                ANSIBLE_PYTHON_INTERPRETER="auto_silent",
                PYTHONDONTWRITEBYTECODE="1")


def write(directory, name, text, executable=False):
    path = os.path.join(directory, name)
    with open(path, "w", encoding="utf-8") as out:
        out.write(text)
    if executable:
        os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR | stat.S_IXGRP | stat.S_IXOTH)
    return path


def wrapper(scratch, lab, apctl):
    """An apctl that runs inside the lab's host namespace: what the managed host's apctl sees."""
    script, apctl = os.path.abspath(lab.script), os.path.abspath(apctl)
    return write(scratch, "apctl-in-lab",
                 f"#!/bin/sh\nexec '{script}' --id '{lab.id}' exec -- '{apctl}' \"$@\"\n",
                 executable=True)


PLAYBOOK = """\
- name: Re-address the fleet
  hosts: localhost
  connection: local
  gather_facts: false
  tasks:
    - name: Apply the plan
      apmanager.fleet.apply:
        rows: "{{ plan_rows }}"
        verify: 30
        apctl_path: "{{ apctl }}"
      register: applied

    - name: Discover
      # The module's name before access_point_facts: its redirect is tested here.
      apmanager.fleet.discover:
        apctl_path: "{{ apctl }}"
        interfaces: [lan0]
"""


# A callback that records each task's result as JSON, beside the usual output: ansible-core
# alone has no json callback.
RECORDER = """\
import json
import os

from ansible.plugins.callback import CallbackBase


class CallbackModule(CallbackBase):
    CALLBACK_VERSION = 2.0
    CALLBACK_TYPE = 'aggregate'
    CALLBACK_NAME = 'record'
    CALLBACK_NEEDS_ENABLED = True

    def _record(self, result, failed):
        with open(os.environ['APM_RECORD'], 'a', encoding='utf-8') as out:
            out.write(json.dumps({'task': result._task.get_name(),
                                  'result': dict(result._result, failed=failed)}) + '\\n')

    def v2_runner_on_ok(self, result, **kwargs):
        self._record(result, False)

    def v2_runner_on_failed(self, result, **kwargs):
        self._record(result, True)
"""


def play(scratch, playbook, variables, *options, inventory="localhost,", path=None):
    """Runs ansible-playbook: (result, {task name: its result})."""
    extra = write(scratch, "vars.json", json.dumps(variables))
    plugins = os.path.join(scratch, "callbacks")
    os.makedirs(plugins, exist_ok=True)
    write(plugins, "record.py", RECORDER)
    record = os.path.join(scratch, "record.jsonl")
    if os.path.exists(record):
        os.remove(record)
    started = time.monotonic()
    result = subprocess.run(
        ["ansible-playbook", "-i", inventory, "-e", "@" + extra, *options, playbook],
        capture_output=True, text=True, timeout=600,
        env=dict(ansible_environment(scratch), ANSIBLE_CALLBACK_PLUGINS=plugins,
                 PATH=os.pathsep.join(filter(None, [path, os.environ.get("PATH")])),
                 ANSIBLE_CALLBACKS_ENABLED="record", APM_RECORD=record))
    print(f"$ ansible-playbook {' '.join(options)}  -> exit {result.returncode} in "
          f"{time.monotonic() - started:.1f} s", flush=True)
    print(result.stdout, flush=True)
    tasks = {}
    if os.path.exists(record):
        with open(record, encoding="utf-8") as lines:
            for line in lines:
                entry = json.loads(line)
                tasks[entry["task"]] = entry["result"]
    else:
        print(result.stderr[-2000:], file=sys.stderr)
    return result, tasks


README = os.path.join(COLLECTIONS, "ansible_collections", "apmanager", "fleet", "README.md")


def readme_playbook():
    """The collection README's site.yml, as a user would copy it."""
    with open(README, encoding="utf-8") as text:
        blocks = re.findall(r"```yaml\n(.*?)```", text.read(), re.S)
    return next(block for block in blocks if block.startswith("# site.yml"))


def check_readme_playbook(lab, scratch, args, checks):
    """The README's playbook in check mode, its managed host the lab's, apctl on its PATH."""
    os.makedirs(os.path.join(scratch, "bin"), exist_ok=True)
    shutil.copy(wrapper(scratch, lab, args.apctl), os.path.join(scratch, "bin", "apctl"))
    write(scratch, "plan.csv", "mac,mode,ip,mask,gateway,dns\n" + "".join(
        f"{mac(n)},fixed,{planned(n)},255.255.255.0,10.0.0.1,10.0.0.53\n"
        for n in range(1, COUNT + 1)))
    inventory_file = write(scratch, "inventory.ini",
                           "[ap_managers]\nlocalhost ansible_connection=local "
                           f"plan={scratch}/plan.csv ap_interface=lan0\n")
    playbook = write(scratch, "readme-site.yml", readme_playbook())
    start = time.monotonic()
    result, tasks = play(scratch, playbook, {}, "--check", "--diff", inventory=inventory_file,
                         path=os.path.join(scratch, "bin"))
    checks.equal(result.returncode, 0, "the README's playbook in --check: exit status")
    applied = tasks.get("Apply the site's plan", {})
    checks.equal([(row["macText"], row["outcome"]) for row in applied.get("rows", [])],
                 [(mac(n), "would change") for n in range(1, COUNT + 1)],
                 "the README's playbook in --check predicts every row")
    checks.equal(configuration_requests(lab, start, time.monotonic()), [],
                 "the README's playbook in --check sends no configuration")


def configuration_requests(lab, start, end):
    return [line for line in lab.events("lan0", start=start, end=end)
            if line["kind"] in ("set-ip-configuration", "reset")]


def scenario_playbook(args, checks):
    with Lab(args.lab, args.apsim, "r") as lab, tempfile.TemporaryDirectory() as scratch:
        lab.up(write(scratch, "fleet.json", json.dumps(fleet())))
        apctl = wrapper(scratch, lab, args.apctl)
        playbook = write(scratch, "site.yml", PLAYBOOK)
        rows = [{"mac": mac(n), "ip": planned(n), "mask": "255.255.255.0",
                 "gateway": "10.0.0.1", "dns": "10.0.0.53"} for n in range(1, COUNT + 1)]
        variables = {"apctl": apctl, "plan_rows": rows}

        # --- Check mode: changed, each row predicted, nothing but discoveries sent.
        start = time.monotonic()
        result, tasks = play(scratch, playbook, variables, "--check", "--diff")
        end = time.monotonic()
        checks.equal(result.returncode, 0, "--check: exit status")
        applied = tasks.get("Apply the plan", {})
        checks.equal(applied.get("changed"), True, "--check reports changed")
        checks.equal([(row["macText"], row["outcome"], row["address"])
                      for row in applied.get("rows", [])],
                     [(mac(n), "would change", FACTORY_ADDRESS) for n in range(1, COUNT + 1)],
                     "--check predicts every row")
        checks.equal([(diff["before"], diff["after"]) for diff in applied.get("diff", [])],
                     [(f"address: {FACTORY_ADDRESS}\n", f"address: {planned(n)}\n")
                      for n in range(1, COUNT + 1)],
                     "--diff shows each row's address before and after")
        checks.equal(configuration_requests(lab, start, end), [], "--check sends no configuration")
        check_readme_playbook(lab, scratch, args, checks)

        # --- First run: changed, and every access point where the plan puts it. Its diff
        # comes from a check before the run.
        result, tasks = play(scratch, playbook, variables, "--diff")
        checks.equal(result.returncode, 0, "first run: exit status")
        applied = tasks.get("Apply the plan", {})
        checks.equal(applied.get("changed"), True, "first run: changed")
        checks.equal([(row["macText"], row["outcome"]) for row in applied.get("rows", [])],
                     [(mac(n), "changed") for n in range(1, COUNT + 1)],
                     "first run: every row changed")
        checks.that("--jobs=16" in applied.get("cmd", []),
                    f"first run: apply given the default jobs: {applied.get('cmd')}")
        checks.equal([(diff["before_header"], diff["before"], diff["after"])
                      for diff in applied.get("diff", [])],
                     [(f"{mac(n)} (rows[{n - 1}])", f"address: {FACTORY_ADDRESS}\n",
                       f"address: {planned(n)}\n") for n in range(1, COUNT + 1)],
                     "first run --diff: each row, named as written, before and after")
        found = tasks.get("Discover", {})
        checks.equal(found.get("changed"), False, "discover is never changed")
        checks.equal(sorted(record["macText"] for record in
                            found.get("ansible_facts", {}).get("apmanager_access_points", [])),
                     [mac(n) for n in range(1, COUNT + 1)],
                     "discover sets the fact, on the interface given")
        result, _, _ = lab.apctl(args.apctl, "discover", "--json")
        records = json.loads(result.stdout) if result.returncode == 0 else []
        checks.equal(sorted((record["macText"], record["ipAddress"]) for record in records),
                     [(mac(n), planned(n)) for n in range(1, COUNT + 1)]
                     + [(mac(9), "192.168.1.21")],
                     "apctl discover --json: every access point at its planned address")

        # --- Second run: ok, and no configuration request reaches the simulators.
        start = time.monotonic()
        result, tasks = play(scratch, playbook, variables)
        end = time.monotonic()
        checks.equal(result.returncode, 0, "second run: exit status")
        checks.equal(tasks.get("Apply the plan", {}).get("changed"), False, "second run: ok")
        checks.equal(configuration_requests(lab, start, end), [],
                     "second run sends no configuration or reset")

        check_failing_plans(lab, scratch, playbook, variables, rows, checks)

def check_failing_plans(lab, scratch, playbook, variables, rows, checks):
    """A missing access point and a broken plan fail the task, saying why."""
    # A row whose access point is not there fails the task, in check mode too.
    missing = [{"mac": "000A1B6000FF", "mode": "dhcp"}]
    for options, outcome in (((), "not found"), (("--check",), "not seen")):
        result, tasks = play(scratch, playbook, dict(variables, plan_rows=missing), *options)
        applied = tasks.get("Apply the plan", {})
        checks.that(result.returncode != 0 and applied.get("failed") is True,
                    f"a missing access point fails the task {' '.join(options)}")
        checks.equal([row["outcome"] for row in applied.get("rows", [])], [outcome],
                     "the failed task still holds the rows")

    # A plan with an error fails before anything is sent.
    start = time.monotonic()
    broken = [rows[0], dict(rows[1], mask="255.0.255.0")]
    result, tasks = play(scratch, playbook, dict(variables, plan_rows=broken))
    applied = tasks.get("Apply the plan", {})
    checks.that("rows[1]: mask" in applied.get("msg", "")
                and "not a contiguous subnet mask" in applied.get("msg", ""),
                "a broken plan fails with apctl's message, naming the row: "
                + applied.get("msg", ""))
    checks.equal(lab.events("lan0", start=start, end=time.monotonic()), [],
                 "a broken plan sends nothing")


def inventory(scratch, config, *options):
    path = write(scratch, "site.apctl.yml", config)
    result = subprocess.run(["ansible-inventory", "-i", path, "--list", *options],
                            capture_output=True,
                            text=True, timeout=120, env=ansible_environment(scratch))
    try:
        return result, json.loads(result.stdout)
    except ValueError:
        print(result.stdout[-2000:], result.stderr[-2000:], sep="\n", file=sys.stderr)
        return result, {}


def hosts_of(listing, group):
    return sorted(listing.get(group, {}).get("hosts", []))


def scenario_inventory(args, checks):
    with Lab(args.lab, args.apsim, "y") as lab, tempfile.TemporaryDirectory() as scratch:
        lab.up(write(scratch, "fleet.json", json.dumps(fleet())))
        apctl = wrapper(scratch, lab, args.apctl)
        result, listing = inventory(scratch, "plugin: apmanager.fleet.apctl\n"
                                             f"apctl_path: {apctl}\nparallel: true\n")
        checks.equal(result.returncode, 0, "ansible-inventory: exit status " + result.stderr)
        checks.equal(hosts_of(listing, "via_10_0_0_200"), [mac(n) for n in range(1, COUNT + 1)],
                     "grouped by the local network of lan0")
        checks.equal(hosts_of(listing, "via_192_168_1_200"), [mac(9)],
                     "grouped by the local network of lan1")
        checks.equal(hosts_of(listing, "standard_802_11b_g"), [mac(n) for n in range(1, COUNT + 1)],
                     "grouped by standard 802.11b/g")
        checks.equal(hosts_of(listing, "standard_802_11a"), [mac(9)], "grouped by standard 802.11a")
        depot = listing.get("_meta", {}).get("hostvars", {}).get(mac(9), {})
        checks.equal((depot.get("ansible_host"), depot.get("apm_name"),
                      depot.get("apm_description"), depot.get("apm_standard")),
                     ("192.168.1.21", "Depot", "loading bay", "802.11a"),
                     "the record's fields as host variables")

        # A discovery that fails fails the inventory, saying why.
        result, _ = inventory(scratch, "plugin: apmanager.fleet.apctl\n"
                                       f"apctl_path: {apctl}\ninterfaces: [nosuch0]\n")
        checks.that("nosuch0" in result.stderr, "a failed discovery is told: " + result.stderr)
        check_inventory_options(lab, scratch, apctl, args.apctl, checks)


def check_inventory_options(lab, scratch, apctl, program, checks):
    """The cache spares a discovery, the timeout bounds one, and no usable interface is told."""
    cached = (f"plugin: apmanager.fleet.apctl\napctl_path: {apctl}\ninterfaces: [lan0]\n"
              f"cache: true\ncache_plugin: ansible.builtin.jsonfile\n"
              f"cache_connection: {scratch}/cache\ncache_timeout: 8\n")
    discoveries = []
    for pause in (0, 0, 9):
        time.sleep(pause)
        start = time.monotonic()
        result, listing = inventory(scratch, cached)
        discoveries.append((len(lab.events("lan0", kind="discovery", start=start,
                                           end=time.monotonic())) > 0,
                            hosts_of(listing, "via_10_0_0_200")))
    hosts = [mac(n) for n in range(1, COUNT + 1)]
    checks.equal(discoveries, [(True, hosts), (False, hosts), (True, hosts)],
                 "cache: discovered, read from the cache, discovered again once expired")
    result, _ = inventory(scratch, f"plugin: apmanager.fleet.apctl\napctl_path: {apctl}\n"
                                   "timeout: 1\n")
    checks.that(result.returncode != 0 and "did not finish within 1 s" in result.stderr,
                "a discovery past the timeout fails the inventory: " + result.stderr)
    isolated = write(scratch, "apctl-no-network",
                     f"#!/bin/sh\nexec unshare --net '{os.path.abspath(program)}' "
                     '"$@"\n', executable=True)
    result, listing = inventory(scratch, f"plugin: apmanager.fleet.apctl\n"
                                         f"apctl_path: {isolated}\n")
    checks.that(result.returncode == 0 and "[WARNING]" in result.stderr
                and "no usable IPv4 interface" in result.stderr,
                "no usable interface: an empty inventory with a warning: " + result.stderr)


SAVED = [
    {"name": "Board room", "macText": "000A1B100004", "ipAddress": "10.0.0.14",
     "localAddress": "10.0.0.200", "description": "Second floor", "ssidBg": "", "channelBg": 0,
     "ssidA": "staff", "channelA": 36, "wirelessMode": 7, "firmwareVersion": "0201"},
    {"name": "Board room", "macText": "000A1B100005", "ipAddress": "172.16.9.9",
     "localAddress": "192.168.1.200", "description": "", "ssidBg": "", "channelBg": 0,
     "ssidA": "", "channelA": 0, "wirelessMode": 1, "firmwareVersion": "0100"},
    {"name": "", "macText": "000A1B100006", "ipAddress": "10.0.0.16",
     "localAddress": "10.0.0.200", "description": "", "ssidBg": "", "channelBg": 0,
     "ssidA": "", "channelA": 0, "wirelessMode": 99, "firmwareVersion": "0100"},
    # Names a pattern could not give, or another access point's MAC.
    {"name": "Lab:1 [west]", "macText": "000A1B100007", "ipAddress": "172.16.0.7",
     "localAddress": "172.16.0.200", "wirelessMode": 2},
    {"name": "000A1B100004", "macText": "000A1B100008", "ipAddress": "172.16.0.8",
     "localAddress": "172.16.0.200", "wirelessMode": 2},
]


def scenario_inventory_file(args, checks):
    del args
    with tempfile.TemporaryDirectory() as scratch:
        write(scratch, "saved.json", json.dumps(SAVED))
        result, listing = inventory(scratch, "plugin: apmanager.fleet.apctl\n"
                                             "discovery_file: saved.json\n"
                                             "apctl_path: /nonexistent/apctl\n"
                                             "hostname: name\n"
                                             "keyed_groups:\n"
                                             "  - key: apm_firmwareVersion\n"
                                             "    prefix: firmware\n")
        checks.equal(result.returncode, 0, "ansible-inventory: exit status " + result.stderr)
        # Names made usable in patterns; one taken (by a name or a MAC), or empty, leaves the
        # host named by its MAC.
        checks.equal(sorted(listing.get("_meta", {}).get("hostvars", {})),
                     ["000A1B100005", "000A1B100006", "000A1B100008", "Board_room",
                      "Lab_1__west_"], "host names")
        expected = {
            "via_10_0_0_200": ["000A1B100006", "Board_room"],
            "via_192_168_1_200": ["000A1B100005"],
            "via_172_16_0_200": ["000A1B100008", "Lab_1__west_"],
            "standard_802_11a_b_g": ["Board_room"],
            "standard_802_11b": ["000A1B100005"],
            "standard_unknown": ["000A1B100006"],
            "firmware_0100": ["000A1B100005", "000A1B100006"],
        }
        for group, hosts in expected.items():
            checks.equal(hosts_of(listing, group), hosts, "group " + group)
        board = listing.get("_meta", {}).get("hostvars", {}).get("Board_room", {})
        checks.equal({key: board.get(key) for key in ("ansible_host", "apm_macText", "apm_ssidA",
                                                      "apm_channelA", "apm_standard")},
                     {"ansible_host": "10.0.0.14", "apm_macText": "000A1B100004",
                      "apm_ssidA": "staff", "apm_channelA": 36, "apm_standard": "802.11a/b/g"},
                     "host variables")

        # Not a discovery: said, naming the file.
        write(scratch, "saved.json", '{"not": "an array"}')
        result, _ = inventory(scratch, "plugin: apmanager.fleet.apctl\n"
                                       "discovery_file: saved.json\n")
        checks.that("expected a JSON array" in result.stderr,
                    "a file that is no discovery is refused: " + result.stderr)


# The sanity tests of ansible-test that need no virtual environment of their own: the others
# (ansible-doc, validate-modules, yamllint, pylint, pep8, import, runtime-metadata, changelog,
# pslint) each build one and fill it from PyPI, which an offline machine cannot.
OFFLINE_SANITY = ["action-plugin-docs", "compile", "empty-init", "future-import-boilerplate",
                  "ignores", "line-endings", "metaclass-boilerplate", "no-assert", "no-basestring",
                  "no-dict-iteritems", "no-dict-iterkeys", "no-dict-itervalues",
                  "no-get-exception", "no-illegal-filenames", "no-main-display",
                  "no-smart-quotes", "no-unicode-literals", "replace-urlopen", "shebang",
                  "symlinks", "use-argspec-type-path", "use-compat-six"]


def scenario_sanity(args, checks):
    """ansible-test sanity where it runs offline, and each plugin's documentation as ansible-doc
    reads it (what validate-modules would check first), on a copy: ansible-test writes into the
    collection."""
    del args
    with tempfile.TemporaryDirectory() as scratch:
        environment = ansible_environment(scratch)
        for kind, name in (("module", "apply"), ("module", "access_point_facts"),
                           ("module", "discover"), ("inventory", "apctl")):
            result = subprocess.run(["ansible-doc", "--json", "-t", kind, "apmanager.fleet." + name],
                                    capture_output=True, text=True, timeout=120, env=environment)
            checks.that(result.returncode == 0 and "DOCUMENTATION" not in result.stderr,
                        f"ansible-doc {kind} {name}: {result.stderr.strip()}")
            try:
                doc = json.loads(result.stdout)["apmanager.fleet." + name]
            except (ValueError, KeyError):
                continue
            checks.that(all(doc.get(part) for part in ("doc", "examples")),
                        f"{name}: documentation and examples")
            # Markup newer than ansible-core 2.14 would be printed as it is written.
            unknown = re.findall(r"\b(?:O|RV|V|E|P)\([^)]*\)", json.dumps(doc))
            checks.equal(unknown, [], f"{name}: markup ansible-doc 2.14 renders")
            checks.that(kind == "inventory" or doc.get("return"), f"{name}: return values")
        copy = os.path.join(scratch, "ansible_collections", "apmanager", "fleet")
        shutil.copytree(os.path.join(COLLECTIONS, "ansible_collections", "apmanager", "fleet"),
                        copy, ignore=shutil.ignore_patterns("__pycache__", "output"))
        command = ["ansible-test", "sanity", "--python",
                   f"{sys.version_info.major}.{sys.version_info.minor}"]
        for test in OFFLINE_SANITY:
            command += ["--test", test]
        result = subprocess.run(command, cwd=copy, capture_output=True, text=True, timeout=600,
                                env=environment)
        checks.that(result.returncode == 0, "ansible-test sanity: " + result.stdout[-3000:]
                    + result.stderr[-3000:])


# Calls functions of the apply module in the interpreter ansible-core runs under (Debian's, which
# may not be the one running this test), the way Ansible imports the module.
CALL_APPLY = """
import json, sys
sys.path.insert(0, sys.argv[1])
from ansible_collections.apmanager.fleet.plugins.modules import apply
print(json.dumps([getattr(apply, name)(*arguments) for name, arguments in json.load(sys.stdin)]))
"""


def call_apply(calls):
    with open(shutil.which("ansible-playbook"), encoding="utf-8") as program:
        interpreter = program.readline()[2:].split()
    result = subprocess.run([*interpreter, "-c", CALL_APPLY, COLLECTIONS], input=json.dumps(calls),
                            capture_output=True, text=True, timeout=60)
    if result.returncode != 0:
        raise SystemExit("the apply module cannot be imported: " + result.stderr)
    return json.loads(result.stdout)


def scenario_module_units(args, checks):
    """The apply module's translations of apctl's messages and its numbers."""
    del args
    rows, content = {"rows": [{}], "plan_content": None}, {"rows": None, "plan_content": "x"}
    named = [
        ("stdin:2: mask: not a contiguous subnet mask", rows, "rows[0]: mask: not a"),
        ("stdin:4: mac: 000A1B600001 is also on line 2", rows,
         "rows[2]: mac: 000A1B600001 is also in rows[0]"),
        ("stdin:5: ip: 10.0.0.5 is also planned on line 3", rows,
         "rows[3]: ip: 10.0.0.5 is also planned in rows[1]"),
        ("stdin:3: mode: expected dhcp or fixed", content, "plan_content:3: mode:"),
    ]
    seconds = [(1e-05, "0.00001"), (60.0, "60.0"), (2.5, "2.5"), (1e16, "10000000000000000")]
    calls = ([("user_names", [text, params]) for text, params, _ in named]
             + [("decimal_text", [value]) for value, _ in seconds]
             + [("row_problems", [[{"mac": "000A1B600001"}, {"ip": "10.0.0.1\n,dhcp"}]]),
                ("row_diff", [{"macText": "M", "line": 3, "mode": "fixed"}, rows])])
    results = call_apply(calls)
    for (text, _, expected), got in zip(named, results):
        checks.that(got.startswith(expected), f"{text!r} named {got!r}, not {expected!r}")
    for (value, expected), got in zip(seconds, results[len(named):]):
        checks.equal(got, expected, f"--verify for {value!r}")
    checks.equal(results[-2], ["rows[1].ip: holds a line break or NUL"],
                 "a line break in a row is refused")
    checks.equal(results[-1]["before_header"], "M (rows[1])", "the diff header of rows")


SCENARIOS = {"playbook": scenario_playbook, "inventory": scenario_inventory,
             "inventory_file": scenario_inventory_file, "sanity": scenario_sanity,
             "module_units": scenario_module_units}
NEEDS_NO_LAB = ("inventory_file", "sanity", "module_units")


def main():
    missing = [tool for tool in ("ansible-playbook", "ansible-inventory", "ansible-doc",
                                 "ansible-test") if shutil.which(tool) is None]
    if missing:
        print(f"{', '.join(missing)} not found: install ansible-core (scripts/setup-deps test)",
              file=sys.stderr)
        return 1
    return run_scenario(SCENARIOS, __doc__, needs_no_lab=NEEDS_NO_LAB)


if __name__ == "__main__":
    sys.exit(main())
