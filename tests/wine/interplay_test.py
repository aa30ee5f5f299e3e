#!/usr/bin/env python3
"""A Windows program under Wine and Linux programs on one family-tree folder.

    interplay_test.py LINUX_BIN WINDOWS_BIN WINE_RUN

The users of the family-tree program run it on Linux under Wine, beside
Mindrel's Linux programs. Here keel.exe under Wine inserts, updates and
deletes rows of a table with a memo, a BLOB and several indexes, and rewrites
columns of the people table that no alert shows, while the Linux keel dumps
the table and the Linux mindrel-list lists the alerts, again and again; then
the other way round. Every row read must be whole (its name, memo and BLOB
belong to one version of it), every list must equal the list before, every
row written must read back on both sides and `keel verify` must be clean on
both sides. Finally mindrel-list.exe must print what mindrel-list prints, for
the tree and for a GEDCOM file.
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

LINUX_BIN, WINDOWS_BIN, WINE_RUN = sys.argv[1:4]
TODAY = "2026-03-14"
TIMEOUT = 600

SCHEMA = {
    "fields": [
        {"name": "Writer", "type": "ftInteger"},
        {"name": "N", "type": "ftInteger"},
        {"name": "Version", "type": "ftInteger"},
        {"name": "Name", "type": "ftString", "size": 40},
        {"name": "Note", "type": "ftMemo", "compression": 6},
        {"name": "Data", "type": "ftBlob"},
    ],
    "indexes": [
        {"name": "ByWriter", "fields": "Writer;N", "options": ["ixUnique"]},
        {"name": "ByName", "fields": "Name"},
        {"name": "ByVersion", "fields": "Version;Writer;N"},
    ],
}


def row_values(writer, n, version):
    """The one content a row may have for each version: name, memo and BLOB
    all tell the version, so a row read half old, half new shows."""
    tag = f"{writer}-{n}-v{version}"
    return {
        "Writer": writer,
        "N": n,
        "Version": version,
        "Name": f"row {tag}",
        # Long enough to take several BLOB blocks.
        "Note": f"Note of {tag}. " * (20 + n % 7),
        "Data": tag.encode().hex() * (40 + n % 5),
    }


def whole(row):
    expected = row_values(row["Writer"], row["N"], row["Version"])
    return all(row.get(key) == value for key, value in expected.items())


class Programs:
    """The Linux and the Windows build of each tool, run alike."""

    def __init__(self, data_dir):
        self.data_dir = data_dir

    def run(self, side, tool, *args, stdin_text=None, check=True):
        if side == "linux":
            command = [os.path.join(LINUX_BIN, tool), *args]
        else:
            command = [WINE_RUN, os.path.join(WINDOWS_BIN, tool + ".exe"), *args]
        env = dict(os.environ, MINDREL_DATA_DIR=self.data_dir)
        done = subprocess.run(command, input=stdin_text, capture_output=True, text=True, timeout=TIMEOUT, env=env)
        if check and done.returncode != 0:
            raise AssertionError(f"{side} {tool} {' '.join(args)} failed ({done.returncode}): {done.stderr}")
        # The Windows programs end their lines in CR LF.
        return done.stdout.replace("\r\n", "\n"), done.stderr.replace("\r\n", "\n"), done.returncode

    def keel(self, side, *args, **kwargs):
        return self.run(side, "keel", *args, **kwargs)

    def rows(self, side, folder, table, *options):
        out, _, _ = self.keel(side, "dump", folder, table, *options)
        return [json.loads(line) for line in out.splitlines() if line.strip()]

    def alerts(self, side):
        out, err, code = self.run(side, "mindrel-list", "--today", TODAY, "--data-dir", self.data_dir, check=False)
        return out, err, code


class LockHelper:
    """keel_lock_helper of one side: takes a lock, says how it went, and keeps
    the lock until its input closes."""

    def __init__(self, side, *args):
        if side == "linux":
            command = [os.path.join(LINUX_BIN, "..", "tests", "keel_lock_helper"), *args]
        else:
            command = [WINE_RUN, os.path.join(WINDOWS_BIN, "..", "tests", "keel_lock_helper.exe"), *args]
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.outcome = self.process.stdout.readline().strip()

    def release(self):
        self.process.stdin.close()
        self.process.wait(timeout=60)


class Locks(unittest.TestCase):
    """Wine carries a Windows program's byte-range locks over to locks of the
    Linux kernel, which Linux's open-file-description locks meet: each lock
    of the protocol held on one side refuses the conflicting one on the
    other."""

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="mindrel-locks-")
        schema = os.path.join(self.folder, "schema.json")
        with open(schema, "w") as out:
            json.dump({"fields": [{"name": "Code", "type": "ftInteger"}]}, out)
        Programs(self.folder).keel("linux", "create", self.folder, "Codes", schema)

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def outcome_beside(self, holder_side, hold, prober_side, probe):
        holder = LockHelper(holder_side, *hold[:1], self.folder, "Codes", *hold[1:])
        try:
            self.assertEqual(holder.outcome, "held", hold)
            prober = LockHelper(prober_side, *probe[:1], self.folder, "Codes", *probe[1:])
            prober.release()
            return prober.outcome
        finally:
            holder.release()

    def test_each_lock_refuses_its_conflicts_across_the_two_systems(self):
        cases = [
            (["hold-read"], ["try-read"], "ok"),
            (["hold-read"], ["try-write"], "10227"),
            (["hold-write"], ["try-read"], "10225"),
            (["hold-write"], ["try-write"], "10227"),
            (["hold-row", "1"], ["try-row", "1", "2", "10"], "10258"),
            (["hold-row", "1"], ["try-row", "2", "2", "10"], "ok"),
            (["hold-exclusive"], ["hold-exclusive"], "11013"),
        ]
        for holder_side, prober_side in (("windows", "linux"), ("linux", "windows")):
            for hold, probe, expected in cases:
                with self.subTest(holder=holder_side, hold=hold, probe=probe):
                    self.assertEqual(self.outcome_beside(holder_side, hold, prober_side, probe), expected)

    def test_a_lock_outlives_another_wine_program_closing_the_same_files(self):
        # The kernel drops all locks a process holds on a file when it closes
        # any descriptor of it, and Wine's server holds the locks of every
        # Windows program: they must survive another program's close.
        writer = LockHelper("windows", "hold-write", self.folder, "Codes")
        try:
            self.assertEqual(writer.outcome, "held")
            passer = LockHelper("windows", "try-read", self.folder, "Codes")
            passer.release()
            self.assertEqual(passer.outcome, "10225")
            prober = LockHelper("linux", "try-read", self.folder, "Codes")
            prober.release()
            self.assertEqual(prober.outcome, "10225")
        finally:
            writer.release()
        after = LockHelper("linux", "try-write", self.folder, "Codes")
        after.release()
        self.assertEqual(after.outcome, "ok", "released with the program's end")


class Interplay(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="mindrel-interplay-")
        self.tree = os.path.join(self.root, "tree")
        self.data = os.path.join(self.root, "data")
        os.makedirs(self.data)
        with open(os.path.join(self.data, "Mindrel.INI"), "w") as ini:
            ini.write(f'[Prefs]\nNDBs=1\nDB0="{self.tree}"\nStart=0\n')
        self.programs = Programs(self.data)
        self.programs.run("linux", "mktree", self.tree, "--people", "300", "--seed", "7", "--today", TODAY)
        schema = os.path.join(self.root, "schema.json")
        with open(schema, "w") as out:
            json.dump(SCHEMA, out)
        self.programs.keel("linux", "create", self.tree, "Notes", schema)
        self.people = [row["RecordID"] for row in self.programs.rows("linux", self.tree, "People")]

    def tearDown(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def write_rounds(self, side, expected, reads_done):
        """Inserts, updates and deletes rows through `side`'s keel and keeps
        `expected` (key -> version) as the table must end. A round ends only
        once the reader has finished a read begun during it, so that a fast
        writer still meets a slow reader."""
        programs = self.programs
        for round_number in range(2):
            reads_before = reads_done()
            base = round_number * 60
            lines = "".join(json.dumps(row_values(1, n, 0)) + "\n" for n in range(base, base + 60))
            programs.keel(side, "insert", self.tree, "Notes", stdin_text=lines)
            expected.update({(1, n): 0 for n in range(base, base + 60)})
            ids = {(row["Writer"], row["N"]): row["RecordID"] for row in programs.rows(side, self.tree, "Notes")}
            for n in range(base, base + 60, 15):
                programs.keel(side, "update", self.tree, "Notes", str(ids[(1, n)]),
                              json.dumps(row_values(1, n, round_number + 1)))
                expected[(1, n)] = round_number + 1
            doomed = [n for n in range(base + 1, base + 60, 10)]
            programs.keel(side, "delete", self.tree, "Notes", *[str(ids[(1, n)]) for n in doomed])
            for n in doomed:
                del expected[(1, n)]
            # Columns of the people that no alert shows: the list stays the same.
            for record_id in self.people[round_number * 2:round_number * 2 + 2]:
                programs.keel(side, "update", self.tree, "People", str(record_id),
                              json.dumps({"Occupation": f"Round {round_number}", "Notes": "x" * (50 * round_number)}))
            deadline = time.monotonic() + 300
            while reads_done() < reads_before + 2 and time.monotonic() < deadline:
                time.sleep(0.05)

    def read_until(self, side, stop, baseline, findings):
        """Reads through `side` until `stop` is set; records what was wrong."""
        programs = self.programs
        while not stop.is_set():
            out, err, code = programs.keel(side, "dump", self.tree, "Notes", "--index", "ByName", check=False)
            findings["dumps"] += 1
            if code != 0 and len(findings["errors"]) < 5:
                findings["errors"].append(f"keel dump: {err.strip()}")
            for line in out.splitlines():
                row = json.loads(line)
                if not whole(row) and len(findings["torn"]) < 5:
                    findings["torn"].append(row)
            alerts, err, code = programs.alerts(side)
            findings["lists"] += 1
            if (code != 0 or alerts != baseline) and len(findings["errors"]) < 5:
                findings["errors"].append(f"mindrel-list ({code}): {err.strip()}")

    def check_interplay(self, writer, reader):
        baseline, _, code = self.programs.alerts(reader)
        self.assertEqual(code, 0)
        self.assertTrue(baseline.strip(), "the demo tree has alerts")
        expected = {}
        findings = {"dumps": 0, "lists": 0, "torn": [], "errors": []}
        stop = threading.Event()
        reading = threading.Thread(target=self.read_until, args=(reader, stop, baseline, findings))
        reading.start()
        try:
            self.write_rounds(writer, expected, lambda: findings["lists"])
        finally:
            stop.set()
            reading.join()
        self.assertEqual(findings["torn"], [], "rows read half old, half new")
        self.assertEqual(findings["errors"], [])
        self.assertGreater(findings["dumps"], 1, "the reader read while the writer wrote")
        print(f"{writer} writer, {reader} reader: {findings['dumps']} dumps, {findings['lists']} lists", flush=True)

        for side in ("linux", "windows"):
            rows = self.programs.rows(side, self.tree, "Notes", "--index", "ByWriter")
            self.assertTrue(all(whole(row) for row in rows), side)
            self.assertEqual({(row["Writer"], row["N"]): row["Version"] for row in rows}, expected, side)
            for table in ("Notes", "People"):
                out, _, _ = self.programs.keel(side, "verify", self.tree, table)
                self.assertEqual(out, "ok\n", f"{side} verify {table}")

    def test_wine_writer_beside_linux_readers(self):
        self.check_interplay("windows", "linux")

    def test_linux_writer_beside_wine_readers(self):
        self.check_interplay("linux", "windows")

    def test_both_builds_list_the_same_alerts(self):
        gedcom = os.path.join(self.root, "tree.ged")
        gedcom_tree = os.path.join(self.root, "gedcom-tree")
        self.programs.run("linux", "mktree", gedcom_tree, "--people", "120", "--seed", "11", "--today", TODAY,
                          "--gedcom", gedcom)
        for sources in ([self.tree], [gedcom]):
            with open(os.path.join(self.data, "Mindrel.INI"), "w") as ini:
                ini.write(f"[Prefs]\nNDBs={len(sources)}\n")
                ini.writelines(f'DB{i}="{source}"\n' for i, source in enumerate(sources))
                ini.write("Start=0\n")
            linux, _, linux_code = self.programs.alerts("linux")
            windows, _, windows_code = self.programs.alerts("windows")
            self.assertEqual((linux_code, windows_code), (0, 0), sources)
            self.assertTrue(linux.strip(), sources)
            self.assertEqual(windows, linux, sources)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
