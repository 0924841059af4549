#!/usr/bin/env python3
"""Many tallix runs at once on one dosdose.dat, as on a bench PC with two
stations sharing an exchange folder: every run must succeed, every read of
the file while they run must find a complete file, and afterwards the file
must be exactly one run's complete output.

    test_concurrent.py --tallix build/dev/lookup/tallix
"""
import os
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import drivers  # noqa: E402
import e2e_main  # noqa: E402
import harness  # noqa: E402
import cases  # noqa: E402
from cases import DOSE, INI, dose  # noqa: E402

RUNS = 32
REPEATS = 20
RUN_TIMEOUT = 120


def _value(i):
    return "%d.25" % (100 + i)  # as written back: no trailing zeros


# Each run waits in a shell until the gate (a pipe whose write end only the
# test holds) is closed, so that all runs start at the same moment.
GATED = 'read _ <&%d; exec "$0" "$@"'


class ConcurrentRuns(unittest.TestCase):
    def setUp(self):
        self.folder = harness.scratch()

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def start_all(self, runs, mem2="procedure 7"):
        """Lays out the files and starts `runs` lookups of A7 at 10, run i
        with its own data file holding _value(i). Returns the processes
        (still blocked at the gate), the gate's write end and the outputs
        each run may leave."""
        files = {"vornax.ini": INI, "dosdose.dat": dose(mem2=mem2)}
        for i in range(runs):
            files["refs%02d.dat" % i] = "A7 10 %s\r\n" % _value(i)
        harness.lay_out(self.folder, files)
        gate = os.pipe()
        procs = []
        for i in range(runs):
            procs.append(subprocess.Popen(
                ["sh", "-c", GATED % gate[0], drivers.program("tallix"), "vornax.ini", "refs%02d.dat" % i, "A7", "10"],
                cwd=self.folder, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                pass_fds=(gate[0],)))
        os.close(gate[0])
        outputs = {dose(_value(i), "1", mem2).encode("latin-1"): i for i in range(runs)}
        return procs, gate[1], outputs

    def finish(self, procs, outputs, watch=False):
        """Waits for every run; with `watch`, reads dosdose.dat over and over
        meanwhile. Returns the index of the run whose output is left."""
        path = os.path.join(self.folder, "dosdose.dat")
        original = harness.read_bytes(path)
        torn = []
        while watch and any(p.poll() is None for p in procs):
            seen = harness.read_bytes(path)
            if seen != original and seen not in outputs:
                torn.append(seen)
        results = []
        for p in procs:
            _out, err = p.communicate(timeout=RUN_TIMEOUT)
            results.append((p.returncode, err.decode("latin-1")))
        self.assertEqual([r for r in results if r != (0, "")], [], "a run did not succeed quietly")
        self.assertEqual(torn[:1], [], "a reader found a torn dosdose.dat")
        after = harness.read_bytes(path)
        self.assertIn(after, outputs, "dosdose.dat is not one run's complete output")
        left = cases.temp_files(self.folder)
        self.assertEqual(left, [], "temporary files left behind")
        return outputs[after]

    def test_32_runs_at_once_repeated_20_times(self):
        winners = set()
        for _ in range(REPEATS):
            procs, gate, outputs = self.start_all(RUNS)
            os.close(gate)
            winners.add(self.finish(procs, outputs))
        print("\n%d repetitions of %d runs; last writers seen: %d different runs" % (REPEATS, RUNS, len(winners)),
              file=sys.stderr)

    def test_readers_never_see_a_torn_file_while_32_runs_write(self):
        # A large MEM2 makes each write take long enough to be caught midway.
        procs, gate, outputs = self.start_all(RUNS, mem2="m" * 300000)
        os.close(gate)
        self.finish(procs, outputs, watch=True)


if __name__ == "__main__":
    e2e_main.main(__name__)
