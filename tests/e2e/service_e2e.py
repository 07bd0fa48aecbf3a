#!/usr/bin/env python3
"""The watch as a systemd service: its unit as installed, and booted under systemd.

install_prefix: `cmake --install --prefix P` into a DESTDIR, P other than the prefix the build
was configured with, writes a unit whose ExecStart= and EnvironmentFile= name the files of that
installation.

container: a minimal Debian 12 (mmdebstrap, cached under /var/cache/apmanager-tests by its
package list) with this build installed, booted by systemd-nspawn with systemd as PID 1 and
joined to a lab's host namespace. The enabled unit starts at boot as a dynamic user in group
prometheus, writes its metrics file and sends its change lines to the journal; an option typo
in its options file leaves it failed, not restarting; without node_exporter's folder it stays
inactive and says why. Skipped (exit 77), with the reason, where the machine cannot do that.
"""

import argparse
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # the source tree stays as it is
from lab_e2e import Checks, Lab, begin_run  # noqa: E402
from watch_hook_e2e import EXPECTED, fleet_file  # noqa: E402

SKIP = 77
CACHE = os.environ.get("AP_TEST_CACHE", "/var/cache/apmanager-tests")
# What the rootfs is made of; the cached tarball's name is derived from it.
ROOTFS = ["--variant=minbase", "--include=systemd,systemd-sysv,dbus", "bookworm"]
PREFIX = "/usr/local"  # where systemd looks for units too: /usr/local/lib/systemd/system
UNIT = "apmanager-watch.service"
FOLDER = "/var/lib/prometheus/node-exporter"
DYNAMIC_UIDS = range(61184, 65520)


class Skip(Exception):
    """The machine cannot run this test; the message says why."""


def unit_lines(path):
    with open(path, encoding="utf-8") as unit:
        return dict(line.rstrip("\n").split("=", 1) for line in unit
                    if re.match(r"^[A-Za-z]+=", line))


def install(build, prefix, destdir):
    environment = dict(os.environ, DESTDIR=destdir)
    subprocess.run(["cmake", "--install", build, "--prefix", prefix], env=environment,
                   check=True, capture_output=True, text=True)


def scenario_install_prefix(args, checks):
    cache = open(os.path.join(args.build, "CMakeCache.txt"), encoding="utf-8").read()
    configured = re.search(r"^CMAKE_INSTALL_PREFIX:PATH=(.*)$", cache, re.M).group(1)
    # (install prefix, where the unit lands, ExecStart's program, EnvironmentFile's file)
    table = [
        ("/opt/apm-prefix", "/opt/apm-prefix/lib/systemd/system", "/opt/apm-prefix/bin/apctl",
         "/opt/apm-prefix/etc/default/apmanager-watch"),
        ("/", "/lib/systemd/system", "/bin/apctl", "/etc/default/apmanager-watch"),
    ]
    for prefix, unit_dir, program, options in table:
        checks.that(prefix != configured, f"{prefix}: differs from the configured {configured}")
        with tempfile.TemporaryDirectory() as destdir:
            install(args.build, prefix, destdir)
            unit = unit_lines(destdir + unit_dir + "/" + UNIT)
            checks.equal(unit["ExecStart"].split(" ")[0], program, f"{prefix}: ExecStart")
            checks.equal(unit["EnvironmentFile"], "-" + options, f"{prefix}: EnvironmentFile")
            for path in (program, options):
                checks.that(os.path.isfile(destdir + path), f"{prefix}: {path} is installed")


def cached_rootfs():
    """The rootfs tarball, built once per package list."""
    key = hashlib.sha256(" ".join(ROOTFS).encode()).hexdigest()[:16]
    tarball = os.path.join(CACHE, f"rootfs-{key}.tar")
    if os.path.exists(tarball):
        return tarball
    os.makedirs(CACHE, exist_ok=True)
    partial = f"{tarball}.{os.getpid()}"
    began = time.monotonic()
    result = subprocess.run(["mmdebstrap", "--quiet", "--format=tar", *ROOTFS, partial],
                            capture_output=True, text=True, timeout=900)
    if result.returncode != 0:
        if os.path.exists(partial):
            os.unlink(partial)
        raise Skip("mmdebstrap could not build the Debian 12 rootfs (is the mirror "
                   "reachable?): " + result.stderr.strip()[-600:])
    os.rename(partial, tarball)
    print(f"rootfs built in {time.monotonic() - began:.0f} s: {tarball}", flush=True)
    return tarball


def prepare(build, root):
    """This build installed into the rootfs, prometheus's folder and group, the unit enabled."""
    subprocess.run(["tar", "-C", root, "-xf", cached_rootfs()], check=True)
    install(build, PREFIX, root)
    subprocess.run(["chroot", root, "groupadd", "--system", "prometheus"], check=True)
    # As the README tells the administrator: root's, writable for the group prometheus (the
    # rootfs's own group: chown inside it, the host may give that name another gid).
    os.makedirs(root + FOLDER)
    subprocess.run(["chroot", root, "chown", "root:prometheus", FOLDER], check=True)
    os.chmod(root + FOLDER, 0o775)
    subprocess.run(["systemctl", "--root", root, "enable", UNIT], check=True,
                   capture_output=True)


class Container:
    """The rootfs booted with systemd as PID 1 for a `with` block, in the lab's network."""

    def __init__(self, root, netns, log):
        self.root, self.netns, self.log, self.leader = root, netns, log, None
        self.process = None

    def __enter__(self):
        self.process = subprocess.Popen(
            ["systemd-nspawn", "--directory", self.root, "--machine", f"apmsvc{os.getpid()}",
             "--boot", "--register=no", "--keep-unit", "--console=read-only", "--quiet",
             f"--network-namespace-path={self.netns}"],
            stdin=subprocess.DEVNULL, stdout=self.log, stderr=subprocess.STDOUT)
        try:
            self.wait_for_boot()
        except BaseException:
            self.__exit__()
            raise
        return self

    def wait_for_boot(self):
        deadline = time.monotonic() + 120
        state = ""
        while state not in ("running", "degraded") and time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise Skip(f"systemd-nspawn ended with status {self.process.returncode} "
                           f"before systemd was up: {self.boot_log()}")
            self.leader = self.leader or self.find_leader()
            if self.leader:
                # Before systemd listens, systemctl fails at once: asked again until then.
                state = self.run("systemctl", "is-system-running", "--wait",
                                 timeout=90).stdout.strip()
            time.sleep(0.3)
        if state not in ("running", "degraded"):
            raise Skip(f"systemd as PID 1 in the container did not come up (state {state!r}): "
                       + self.boot_log())

    def boot_log(self):
        self.log.flush()
        with open(self.log.name, encoding="utf-8", errors="replace") as log:
            return log.read()[-1500:]

    def find_leader(self):
        # systemd-nspawn forks, and its child execs systemd in a new PID namespace.
        nspawn = self.process.pid
        try:
            with open(f"/proc/{nspawn}/task/{nspawn}/children", encoding="utf-8") as listing:
                for child in listing.read().split():
                    with open(f"/proc/{child}/comm", encoding="utf-8") as comm:
                        if comm.read().strip() == "systemd":
                            return int(child)
        except OSError:
            pass
        return None

    def run(self, *command, timeout=30):
        return subprocess.run(["nsenter", "-t", str(self.leader), "-m", "-u", "-i", "-n", "-p",
                               "--", *command], capture_output=True, text=True, timeout=timeout)

    def show(self, *properties):
        text = self.run("systemctl", "show", UNIT, "-p", ",".join(properties)).stdout
        return dict(line.split("=", 1) for line in text.splitlines() if "=" in line)

    def settled(self, seconds):
        """The unit's properties once it is neither starting nor running (or time is up)."""
        deadline = time.monotonic() + seconds
        while True:
            shown = self.show("ActiveState", "SubState", "Result", "ExecMainStatus",
                              "NRestarts", "ConditionResult")
            if shown.get("SubState") not in ("start", "running") or time.monotonic() > deadline:
                return shown
            time.sleep(0.2)

    def __exit__(self, *exc):
        self.process.terminate()  # systemd-nspawn shuts the container down cleanly
        try:
            self.process.wait(timeout=60)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        return False


def wait_for(condition, seconds):
    deadline = time.monotonic() + seconds
    while not condition() and time.monotonic() < deadline:
        time.sleep(0.3)
    return condition()


def metric_lines(path):
    try:
        with open(path, encoding="utf-8") as metrics:
            return [line for line in metrics if line.startswith("apmanager_")]
    except FileNotFoundError:
        return []


def check_running(checks, container, root):
    metrics = root + FOLDER + "/apmanager.prom"
    checks.that(wait_for(lambda: metric_lines(metrics), 60), "the metrics file has apmanager_ lines")
    shown = container.show("ActiveState", "MainPID")
    checks.equal(shown.get("ActiveState"), "active", "started at boot: ActiveState")
    status = container.run("cat", f"/proc/{shown.get('MainPID')}/status").stdout
    ids = dict(line.split(":", 1) for line in status.splitlines() if ":" in line)
    uid, gid = (int(ids.get(key, "-1").split()[0]) for key in ("Uid", "Gid"))
    group = container.run("getent", "group", "prometheus").stdout.split(":")
    checks.that(uid in DYNAMIC_UIDS, f"runs as a dynamic user: uid {uid}")
    checks.equal(gid, int(group[2]) if len(group) > 2 else None, "runs in group prometheus")
    info = os.stat(metrics) if os.path.exists(metrics) else None
    checks.equal(info and (info.st_uid, info.st_gid, info.st_mode & 0o777),
                 (uid, gid, 0o644), "the metrics file: owner, group, mode")

    def journal():
        return container.run("journalctl", "-u", UNIT, "-o", "cat", "--no-pager").stdout
    checks.that(wait_for(lambda: all(mac in journal() for mac, _ in EXPECTED), 30),
                f"a change line per access point in the journal: {journal()[-800:]!r}")


def check_usage_error(checks, container, options):
    with open(options, "w", encoding="utf-8") as out:
        out.write('APCTL_WATCH_OPTIONS="--intervall 5"\n')
    container.run("systemctl", "restart", UNIT)
    shown = container.settled(20)
    checks.equal({key: shown.get(key) for key in ("ActiveState", "SubState", "ExecMainStatus")},
                 {"ActiveState": "failed", "SubState": "failed", "ExecMainStatus": "2"},
                 "an option typo: failed with status 2, no restart pending")
    journal = container.run("journalctl", "-u", UNIT, "-o", "cat", "--no-pager").stdout
    checks.that("--intervall" in journal, "an option typo: apctl's message is in the journal")


def check_no_folder(checks, container, root, options):
    os.unlink(options)
    shutil.rmtree(root + FOLDER)
    container.run("systemctl", "reset-failed", UNIT)
    started = container.run("systemctl", "start", UNIT)
    checks.equal(started.returncode, 0, "no folder: systemctl start succeeds")
    shown = container.settled(20)
    checks.equal((shown.get("ActiveState"), shown.get("ConditionResult"), shown.get("NRestarts")),
                 ("inactive", "no", "0"), "no folder: inactive, its condition not met")
    status = container.run("systemctl", "status", "--no-pager", UNIT).stdout
    checks.that(f"ConditionPathIsDirectory={FOLDER} was not met" in status,
                f"no folder: systemctl status says why: {status!r}")


def scenario_container(args, checks):
    began = time.monotonic()
    work = tempfile.mkdtemp(prefix="apm-service-", dir="/var/tmp")
    try:
        root = os.path.join(work, "root")
        os.mkdir(root)
        prepare(args.build, root)
        print(f"rootfs ready in {time.monotonic() - began:.0f} s", flush=True)
        options = root + unit_lines(f"{root}{PREFIX}/lib/systemd/system/{UNIT}")[
            "EnvironmentFile"].lstrip("-")
        with Lab(args.lab, args.apsim, "s") as lab, open(os.path.join(work, "boot.log"), "w") \
                as log:
            lab.up(fleet_file(work))
            with Container(root, f"/run/netns/apmlab-{lab.id}-host", log) as container:
                print(f"booted at {time.monotonic() - began:.0f} s", flush=True)
                check_running(checks, container, root)
                check_usage_error(checks, container, options)
                check_no_folder(checks, container, root, options)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True, help="the CMake build directory")
    parser.add_argument("--lab", help="scripts/lab")
    parser.add_argument("--apsim")
    parser.add_argument("scenario", choices=["install_prefix", "container"])
    args = parser.parse_args()
    checks = Checks()
    began = time.monotonic()
    try:
        if args.scenario == "container":
            if os.geteuid() != 0:
                raise Skip("not root: booting a container and the lab need root")
            for program in ("mmdebstrap", "systemd-nspawn", "nsenter", "chroot"):
                if not shutil.which(program):
                    raise Skip(f"{program} is missing (scripts/setup-deps test installs it)")
            if not begin_run(args.lab):
                return 1
            scenario_container(args, checks)
        else:
            scenario_install_prefix(args, checks)
    except Skip as reason:
        print(f"SKIPPED: {reason}", flush=True)
        return SKIP
    print(f"{args.scenario}: {len(checks.failures)} failed check(s) "
          f"in {time.monotonic() - began:.1f} s")
    return 1 if checks.failures else 0


if __name__ == "__main__":
    sys.exit(main())
