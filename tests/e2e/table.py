"""The shared case table (cases.py) as tests, through a driver (drivers.py):
each case lays out its files in a scratch folder, starts tallix with its
command line, answers its boxes (mending files while one waits), and checks
the boxes word for word, the exit status, the rewritten dosdose.dat byte for
byte and that no temporary file is left. The native suite and the Wine suite
add these tests to their own test classes."""
import os
import shutil

import cases
import drivers
import harness


def run_case(test, driver, case, also=None):
    """Runs `case` through `driver` and checks it; `also(run)` may check
    more while the files are still there."""
    folder = harness.scratch()
    try:
        harness.lay_out(folder, case.files)
        harness.age_files(folder, case.stale)
        dose_path = os.path.join(folder, case.dose_path)
        before = harness.read_bytes(dose_path)
        faults = {"fill_disk": True} if case.fill_disk else {}
        run = driver.run(case.args, folder, case.boxes, **faults)
        if driver.answered:
            test.assertEqual(run.boxes, drivers.expected_boxes(driver, case.boxes), run.log)
        if also:
            also(run)
        test.assertEqual(run.status, case.status, run.log)
        after = harness.read_bytes(dose_path)
        if case.after == "unchanged":
            test.assertEqual(after, before, run.log)
        elif case.after is None:
            test.assertIsNone(after, run.log)
        else:
            test.assertEqual(after, case.after.encode("latin-1"), run.log)
        test.assertEqual(cases.temp_files(os.path.dirname(dose_path)), [], "temporary files left behind")
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def test_name(i, case):
    return "test_%02d_%s" % (i, "".join(c if c.isalnum() else "_" for c in case.name))


def add_cases(test_class, driver_of, select=lambda case: True, also_of=None):
    """Adds a test to `test_class` for every case `select` takes, run
    through the driver `driver_of()` gives when the test runs; `also_of(self,
    case)` may give the extra check of run_case."""
    for i, case in enumerate(cases.CASES):
        if not select(case):
            continue

        def test(self, case=case):
            run_case(self, driver_of(), case, also_of(self, case) if also_of else None)
        setattr(test_class, test_name(i, case), test)
