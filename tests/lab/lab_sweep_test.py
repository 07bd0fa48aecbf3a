#!/usr/bin/env python3
"""Which leftover labs a run may take down: only those whose recorded owner is provably gone from
this machine. Reads owner records and /proc only; needs neither root nor a lab."""

import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "e2e"))
from lab_e2e import owner_gone, read_owner, start_time, this_machine  # noqa: E402


class OwnerGone(unittest.TestCase):
    def test_only_a_record_that_proves_its_owner_gone_allows_a_sweep(self):
        here = this_machine()
        me = {"pid": str(os.getpid()), "start": start_time(os.getpid()), **here}
        child = subprocess.Popen(["true"])
        child.wait()  # reaped: its pid is free, or soon another process's
        cases = [
            ("no record", None, False),
            ("owner still running", me, False),
            ("owner exited", dict(me, pid=str(child.pid)), True),
            ("pid reused by a later process", dict(me, start="1"), True),
            ("another boot", dict(me, pid=str(child.pid), boot="another"), False),
            ("another pid namespace", dict(me, pid=str(child.pid), pidns="pid:[1]"), False),
            ("pid not a number", dict(me, pid="-1"), False),
        ]
        for what, owner, gone in cases:
            with self.subTest(what):
                self.assertEqual(owner_gone(owner, here), gone)

    def test_an_incomplete_record_is_no_record(self):
        with tempfile.TemporaryDirectory() as directory:
            path = os.path.join(directory, "owner")
            self.assertIsNone(read_owner(path))
            with open(path, "w", encoding="utf-8") as record:
                record.write("pid 12\nstart 34\nboot b\n")
            self.assertIsNone(read_owner(path))
            with open(path, "a", encoding="utf-8") as record:
                record.write("pidns pid:[4026531836]\n")
            self.assertEqual(read_owner(path),
                             {"pid": "12", "start": "34", "boot": "b", "pidns": "pid:[4026531836]"})


if __name__ == "__main__":
    unittest.main()
