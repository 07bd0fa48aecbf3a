#!/usr/bin/env python3
"""apctl's bash completion: first in an interactive bash on a pseudo-terminal, where TAB goes
through readline exactly as for a person, then case by case through the completion function.

Sends nothing and needs no lab, but runs in a network namespace of its own (unshare, as root)
whose interfaces it knows: after -i, only those apctl takes are offered, as `apctl interfaces`
lists them. lan0 is usable; lo is loopback, lan0p has no address, lan1 has no carrier.
"""

import argparse
import os
import pty
import shutil
import select
import subprocess
import sys
import time


def interactive(completion, line, timeout=10.0):
    """Types `line` into `bash -i` (TAB as typed), then runs what the line became with its
    words shown one by one; returns those words."""
    pid, fd = pty.fork()
    if pid == 0:
        os.environ.update({"PS1": "$ ", "TERM": "dumb", "INPUTRC": "/dev/null", "HOME": "/tmp"})
        os.execvp("bash", ["bash", "--norc", "--noprofile", "-i"])
    output = b""

    def read_for(seconds):
        nonlocal output
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            ready, _, _ = select.select([fd], [], [], 0.05)
            if ready:
                try:
                    chunk = os.read(fd, 4096)
                except OSError:
                    return
                if not chunk:
                    return
                output += chunk

    # An `apctl` that shows what it was given; only the completion is under test.
    os.write(fd, f"source '{completion}'; apctl() {{ printf '<%s>' \"$@\"; echo; }}\n".encode())
    read_for(0.5)
    os.write(fd, line.encode())
    read_for(0.7)  # the completion runs
    # Ctrl-E to the end of the line, a marker word, then run it.
    os.write(fd, b"\x05 END\n")
    deadline = time.monotonic() + timeout
    while b"<END>" not in output and time.monotonic() < deadline:
        read_for(0.1)
    os.write(fd, b"exit\n")
    read_for(0.3)
    os.waitpid(pid, 0)
    os.close(fd)
    text = output.decode(errors="replace")
    shown = [piece for piece in text.splitlines() if piece.startswith("<") and "<END>" in piece]
    if not shown:
        return None
    return shown[-1].strip().strip("<>").split("><")[:-1]


def complete(completion, words, current, wordbreaks=True):
    """COMPREPLY of the completion function for COMP_WORDS=`words`, completing `current`."""
    script = f"""
source '{completion}'
{'' if wordbreaks else 'COMP_WORDBREAKS=${COMP_WORDBREAKS//=/}'}
COMP_WORDS=({' '.join("'" + w + "'" for w in words)})
COMP_CWORD={current}
_apctl apctl
printf '%s\\n' "${{COMPREPLY[@]}}"
"""
    result = subprocess.run(["bash", "--norc", "--noprofile", "-c", script],
                            capture_output=True, text=True, timeout=10)
    return [word for word in result.stdout.splitlines() if word]


NAMESPACE_SETUP = [
    "ip link set lo up",
    "ip link add lan0 type veth peer name lan0p",
    "ip link add lan1 type veth peer name lan1p",
    "ip address add 192.0.2.1/24 dev lan0",
    "ip address add 198.51.100.1/24 dev lan1",
    "ip link set lan0 up", "ip link set lan0p up", "ip link set lan1 up",
]
USABLE = ["lan0"]
THIS = os.path.abspath(__file__)  # a file to complete: no other name in its folder starts so


def in_own_namespace(args):
    """Runs this script again in a new network namespace laid out as NAMESPACE_SETUP, with
    apctl's folder first on PATH; returns its exit status, or None when already there."""
    if os.environ.get("APCTL_COMPLETION_NAMESPACE"):
        for command in NAMESPACE_SETUP:
            result = subprocess.run(command.split(), capture_output=True, text=True)
            if result.returncode != 0:
                print(f"FAIL: {command}: {result.stderr.strip()}")
                return 1
        return None
    if shutil.which("unshare") is None or shutil.which("ip") is None:
        print("FAIL: needs unshare and ip (iproute2) to make a network namespace")
        return 1
    env = dict(os.environ, APCTL_COMPLETION_NAMESPACE="1",
               PATH=os.path.dirname(os.path.abspath(args.apctl)) + os.pathsep +
               os.environ.get("PATH", ""))
    result = subprocess.run(["unshare", "--net", "--", sys.executable] + sys.argv, env=env)
    if result.returncode != 0 and os.geteuid() != 0:
        print("FAIL: cannot make a network namespace without root")
    return result.returncode


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--completion", required=True, help="apctl's bash completion file")
    parser.add_argument("--apctl", required=True,
                        help="apctl, which lists the interfaces and whose --help must name "
                             "every option offered")
    args = parser.parse_args()
    status = in_own_namespace(args)
    if status is not None:
        return status
    completion = os.path.abspath(args.completion)
    failures = []

    def check(actual, expected, what):
        if actual != expected:
            failures.append(what)
            print(f"FAIL: {what}: expected {expected!r}, got {actual!r}", flush=True)

    # --- As typed at an interactive prompt.
    check(interactive(completion, "apctl dis\t"), ["discover"], "bash -i: apctl dis<TAB>")
    check(interactive(completion, "apctl discover --i\t"), ["discover", "--interface"],
          "bash -i: apctl discover --i<TAB>")
    check(interactive(completion, "apctl discover --interface l\t"),
          ["discover", "--interface", "lan0"], "bash -i: apctl discover --interface l<TAB>")
    check(interactive(completion, "apctl discover --interface=l\t"),
          ["discover", "--interface=lan0"], "bash -i: apctl discover --interface=l<TAB>")

    # --- Case by case: (words, index of the word completed, expected replies).
    interfaces = USABLE
    cases = [
        (["apctl", ""], 1,
         ["discover", "configure", "reset", "interfaces", "apply", "watch", "diff", "--help"]),
        (["apctl", "dis"], 1, ["discover"]),
        (["apctl", "re"], 1, ["reset"]),
        (["apctl", "in"], 1, ["interfaces"]),
        (["apctl", "discover", "--"], 2,
         ["--json", "--csv", "--parallel", "--verbose", "--interface", "--help"]),
        (["apctl", "discover", "--i"], 2, ["--interface"]),
        (["apctl", "discover", "-"], 2,
         ["--json", "--csv", "--parallel", "--verbose", "--interface", "-i", "--help"]),
        (["apctl", "configure", "000A1B2C3D4E", "--v"], 3, ["--verify", "--verify="]),
        (["apctl", "configure", "000A1B2C3D4E", "--d"], 3, ["--dhcp"]),
        (["apctl", "configure", "000A1B2C3D4E", "--verify", "--j"], 4, ["--json"]),
        (["apctl", "reset", "--"], 2, ["--interface", "--help"]),
        (["apctl", "interfaces", "--"], 2, ["--json", "--help"]),
        (["apctl", "watch", "--in"], 2, ["--interval", "--interface"]),
        (["apctl", "watch", "--interval", ""], 3, []),
        (["apctl", "watch", "--textfile", "/pro"], 3, ["/proc"]),
        (["apctl", "watch", "--textfile", "=", "/pro"], 4, ["/proc"]),
        (["apctl", "watch", "--e"], 2, ["--exec"]),
        (["apctl", "watch", "--exec", "setpri"], 3, ["setpriv"]),  # a program on PATH
        (["apctl", "apply", "--d"], 2, ["--dry-run"]),
        (["apctl", "diff", "--"], 2, ["--json", "--help"]),
        # Both of diff's operands are files.
        (["apctl", "diff", THIS[:-3]], 2, [THIS]),
        (["apctl", "diff", "old.json", THIS[:-3]], 3, [THIS]),
        (["apctl", "frobnicate", "--"], 2, []),
        (["apctl", "discover", "-i", ""], 3, interfaces),
        (["apctl", "discover", "--interface", "l"], 3, ["lan0"]),
        (["apctl", "reset", "000A1B2C3D4E", "-i", "l"], 4, ["lan0"]),
        # Typed by its path, that program lists them.
        ([args.apctl, "watch", "-i", ""], 3, interfaces),
        # Another program first (sudo, env) is not run: the apctl on PATH lists them.
        (["/usr/bin/env", "discover", "-i", ""], 3, interfaces),
        (["apctl", "discover", "--interface", "=", ""], 4, interfaces),
        (["apctl", "discover", "--interface", "=", "l"], 4, ["lan0"]),
        (["apctl", "discover", "--interface", "="], 3, interfaces),
    ]
    for words, current, expected in cases:
        actual = complete(completion, words, current)
        check(sorted(actual), sorted(expected), f"completing {words[current]!r} in {words}")
    # Where '=' does not split words, the option stays on the reply.
    check(complete(completion, ["apctl", "discover", "--interface=l"], 2, wordbreaks=False),
          ["--interface=lan0"], "--interface=l as one word")
    check(complete(completion, ["apctl", "watch", "--textfile=/pro"], 2, wordbreaks=False),
          ["--textfile=/proc"], "--textfile=/pro as one word")

    if args.apctl:
        # Only --help and interfaces are run: they send nothing.
        help_text = subprocess.run([args.apctl, "--help"], capture_output=True, text=True,
                                   timeout=10).stdout
        for command in ("discover", "configure", "reset", "interfaces", "apply", "watch", "diff"):
            offered = complete(completion, ["apctl", command, "-"], 2)
            unknown = [option.rstrip("=") for option in offered
                       if option != "--help" and option.rstrip("=") not in help_text]
            check(unknown, [], f"options offered for {command} that apctl --help does not name")

    print(f"completion: {len(failures)} failed check(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
