#!/usr/bin/env python3
"""End-to-end tests of the native tallix: real initialization, exchange and
data files in a scratch folder, answers typed into its message boxes, and
the rewritten exchange file and exit status checked byte for byte.

    run_e2e.py --tallix build/dev/lookup/tallix
"""
import os
import shutil
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import cases  # noqa: E402
import drivers  # noqa: E402
import e2e_main  # noqa: E402
import harness  # noqa: E402
import table  # noqa: E402

class TableCases(unittest.TestCase):
    """Every case of the shared table against the native program."""


table.add_cases(TableCases, drivers.current)


class Terminal(unittest.TestCase):
    """How the POSIX message box reads its answers."""

    def setUp(self):
        self.folder = harness.scratch()
        harness.lay_out(self.folder, dict(cases.STD, **{"refs.dat": None}))

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def answer(self, text):
        import subprocess
        p = subprocess.run([drivers.program("tallix"), "vornax.ini", "refs.dat", "A7", "10"], cwd=self.folder,
                           input=text.encode(), capture_output=True, timeout=20)
        return p.returncode, p.stderr.decode().splitlines()

    def test_unknown_answers_ask_again_and_an_empty_line_retries(self):
        status, lines = self.answer("x\nok\n-\n4-\n0\n\nCANCEL\n")
        # x and ok are not buttons of a Retry/Cancel box, -, 4- and 0 no
        # button ids; the empty line retries.
        self.assertEqual(status, 1)
        self.assertEqual(lines.count("[Retry/Cancel]"), 7)
        self.assertEqual(len([l for l in lines if l.startswith("TALLIX Error: ")]), 2)

    def test_end_of_input_gives_up_at_once(self):
        status, lines = self.answer("")
        self.assertEqual(status, 1)
        self.assertEqual(lines, ["TALLIX Error: Can't open \"refs.dat\".  No such file or directory.",
                                 "[Retry/Cancel]"])


class InstalledProgram(unittest.TestCase):
    """What `cmake --install --component program` puts down, as the ZIP
    holds it: the program, the README for its users and the samples."""

    def test_installed_readme_is_the_users_and_the_samples_show_a_lookup(self):
        import subprocess
        build = os.path.dirname(os.path.dirname(drivers.program("tallix")))
        if not os.path.exists(os.path.join(build, "CMakeCache.txt")):
            self.skipTest("tallix is not in a CMake build tree")
        prefix = harness.scratch()
        try:
            subprocess.run(["cmake", "--install", build, "--prefix", prefix, "--component", "program"],
                           check=True, stdout=subprocess.DEVNULL, timeout=120)
            installed = []
            for root, _, names in os.walk(prefix):
                installed += [os.path.relpath(os.path.join(root, n), prefix) for n in names]
            readme = [n for n in installed if n.endswith("README.md")]
            self.assertEqual(len(readme), 1, installed)
            docs = os.path.dirname(readme[0])
            in_docs = [os.path.relpath(n, docs) for n in installed if n.startswith(docs)]
            with open(os.path.join(prefix, readme[0]), encoding="utf-8", newline="") as f:
                shipped = f.read()
            with open(os.path.join(cases.SAMPLES_DIR, "..", "README.md"), encoding="utf-8") as f:
                source = f.read()
            self.assertEqual(harness.shipped_readme_problems(shipped, source, in_docs), [])
            self.assertNotEqual(shipped, source, "the developers' parts were shipped")

            folder = harness.scratch()
            try:
                for name in ("vornax.ini", "dosdose.dat", "refs.dat"):
                    shutil.copy(os.path.join(prefix, docs, "samples", name), folder)
                tallix = [os.path.join(prefix, n) for n in installed if os.path.basename(n) == "tallix"][0]
                run = harness.run_tallix(tallix, "vornax.ini refs.dat A7 10", folder, [])
                self.assertEqual(run.status, 0, run.log)
                lines = harness.read_bytes(os.path.join(folder, "dosdose.dat")).split(b"\r\n")
                self.assertEqual(lines[:2], [b"10.00013", b"1"])
            finally:
                shutil.rmtree(folder, ignore_errors=True)
        finally:
            shutil.rmtree(prefix, ignore_errors=True)


if __name__ == "__main__":
    e2e_main.main(__name__)
