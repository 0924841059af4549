#!/usr/bin/env python3
"""Faults injected into real runs of the native tallix: the disk fills while
dosdose.dat is written, the exchange folder or the data file changes while a
box waits, no box can be shown, and inputs far larger than VORNAX ever
writes. After every run dosdose.dat must be either byte for byte the old file
or the complete new one (after an in-place write in a folder that refuses
new files, stopped by the full disk: a start of the registers with MEM1 =
-1), no temporary file may be left, the operator must have been told, and
the exit status must be right.

    test_faults.py --tallix build/dev/lookup/tallix

With TALLIX_FAULT_TABLE=FILE every run appends a row "fault | boxes shown |
exchange file after | exit status" to FILE, as measured.
"""
import os
import shutil
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import drivers  # noqa: E402
import e2e_main  # noqa: E402
import harness  # noqa: E402
import cases  # noqa: E402
from cases import DOSE, INI, NOT_FOUND, STD, Box, dose, internal, lib_error, tallix_error, with_files  # noqa: E402

def driver():
    """The program under test, natively or under Wine (e2e_main sets it up)."""
    return drivers.current()


OPEN_FAILED = "Can't open \"refs.dat\".  No such file or directory."
CANNOT_WRITE = lib_error('Cannot write "dosdose.dat".')
PUT_FAILED_ASKING = tallix_error("Function <put_dose> failed!", "ok", "OK")
FOUND = dose("10.00013", "1")          # the complete new file after A7 at 10
GAVE_UP = dose("10", "-1")             # ... after AB12 at 11, given up
NOT_YET = dose("10.00013", "-1")       # what an in-place write puts in first after A7 at 10
MB = 1024 * 1024


def _read(path):
    try:
        return harness.read_bytes(path)
    except OSError:  # a file where a folder of the path should be
        return None


def _describe(after, old, new):
    if after is None:
        return "absent"
    if after == old:
        return "old file, byte for byte"
    if new is not None and after == new:
        lines = after.split(b"\r\n")
        return "complete new file (MEM=%s, MEM1=%s)" % (lines[0][:20].decode("latin-1"), lines[1].decode("latin-1"))
    return "OTHER (%d bytes)" % len(after)


class FaultCase(drivers.SuiteCase):
    maxDiff = 2000

    def fault(self, files, args, boxes, status, after, dose_path="dosdose.dat", argv=None, limit=None,
              fill_disk=False, check=None, locked=False):
        """Runs one faulty lookup. `after`: "old", None (absent) or the text
        of the file expected afterwards. `locked`: the folder lets the run
        add no file, only write dosdose.dat."""
        # Faults only a native run can set up (a file-size limit, another
        # user, a locked folder, arguments with blanks) are not tried under
        # Wine.
        native = {k: v for k, v in (("fill_disk", fill_disk or None), ("file_size_limit", limit),
                                    ("without_root", locked or None)) if v is not None}
        if argv is not None:
            native["argv"] = [drivers.program("tallix")] + argv
        run_by = driver()
        if native and run_by.windows:
            self.skipTest("set up natively only")
        folder = harness.scratch()
        try:
            harness.lay_out(folder, files)
            path = os.path.join(folder, dose_path)
            old = _read(path)
            if locked:
                os.chmod(path, 0o666)
                os.chmod(folder, 0o555)
            try:
                run = run_by.run(args, folder, boxes, **native)
            finally:
                os.chmod(folder, 0o755)
            got = _read(path)
            new = None if after in ("old", None) else (after.encode("latin-1") if isinstance(after, str) else after)
            self._record(run, got, old, new)
            if run_by.answered:
                self.assertEqual(run.boxes, drivers.expected_boxes(run_by, boxes), run.log[-2000:])
            self.assertEqual(run.status, status, run.log[-2000:])
            if after == "old":
                self.assertEqual(got, old, "dosdose.dat is not the old file")
            elif after is None:
                self.assertIsNone(got)
            else:
                self.assertEqual(got, new, "dosdose.dat is not the complete new file")
            self.assertEqual(cases.temp_files(folder), [], "temporary files left behind")
            if check:
                check(folder)
        finally:
            shutil.rmtree(folder, ignore_errors=True)

    def _record(self, run, got, old, new):
        table = os.environ.get("TALLIX_FAULT_TABLE")
        if not table:
            return
        shown = "; ".join("%s: %s [%s]" % (c, t if len(t) < 90 else t[:60] + "...(%d chars)" % len(t), b)
                          for c, t, b in run.boxes) or "nothing"
        with open(table, "a", encoding="latin-1") as f:
            f.write("| %s | %s | %s | %d |\n" % (self._testMethodName[5:].replace("_", " "), shown,
                                                 _describe(got, old, new), run.status))


class DiskFills(FaultCase):
    """RLIMIT_FSIZE in the child, SIGXFSZ ignored: a write past the limit fails."""

    def test_disk_full_at_the_first_byte_value_found(self):
        self.fault(STD, "vornax.ini refs.dat A7 10",
                   [CANNOT_WRITE, internal("Function <put_dose> failed!")], 1, "old", limit=0)

    def test_disk_full_in_the_middle_of_the_file_value_found(self):
        self.fault(STD, "vornax.ini refs.dat A7 10",
                   [CANNOT_WRITE, internal("Function <put_dose> failed!")], 1, "old", limit=len(FOUND) // 2)

    def test_disk_full_one_byte_short_of_the_new_file(self):
        self.fault(STD, "vornax.ini refs.dat A7 10",
                   [CANNOT_WRITE, internal("Function <put_dose> failed!")], 1, "old", limit=len(FOUND) - 1)

    def test_disk_holds_exactly_the_new_file(self):
        self.fault(STD, "vornax.ini refs.dat A7 10", [], 0, FOUND, limit=len(FOUND))

    def test_disk_full_in_the_middle_of_a_200_KB_file(self):
        big = dose(mem2="m" * 200000)
        self.fault(with_files(dosdose_dat=big), "vornax.ini refs.dat A7 10",
                   [CANNOT_WRITE, internal("Function <put_dose> failed!")], 1, "old", limit=100000)

    def test_disk_full_while_saving_before_a_question(self):
        self.fault(STD, "vornax.ini refs.dat AB12 11",
                   [CANNOT_WRITE, PUT_FAILED_ASKING, CANNOT_WRITE, internal("Function <put_dose> failed!")],
                   1, "old", limit=len(GAVE_UP) // 2)


class LockedFolderDiskFills(FaultCase):
    """A folder that lets tallix add no file: the registers go into
    dosdose.dat in place, and the disk fills on the way. The old file is
    lost then; what is left is a start of the registers with MEM1 = -1,
    never this run's value beside MEM1 = 1."""

    def in_place(self, limit, status, after):
        boxes = [CANNOT_WRITE, internal("Function <put_dose> failed!")] if status else []
        self.fault(STD, "vornax.ini refs.dat A7 10", boxes, status, after, limit=limit, locked=True)

    def test_in_place_disk_full_at_the_first_byte(self):
        self.in_place(0, 1, "")

    def test_in_place_disk_full_after_MEM(self):
        self.in_place(len("10.00013\r\n1"), 1, NOT_YET[:len("10.00013\r\n1")])

    def test_in_place_disk_full_in_the_middle(self):
        self.in_place(len(FOUND) // 2, 1, NOT_YET[:len(FOUND) // 2])

    def test_in_place_disk_holds_the_found_file_but_not_the_flag_minus_1(self):
        self.in_place(len(FOUND), 1, NOT_YET[:len(FOUND)])

    def test_in_place_disk_holds_the_whole_file(self):
        self.in_place(len(NOT_YET), 0, FOUND)


EXCH = {"vornax.ini": INI.replace("user_data_dir=", "user_data_dir=exch"), "exch/dosdose.dat": DOSE}
CANNOT_OPEN_EXCH = lib_error('Cannot open "exch/dosdose.dat" for writing.',
                             text_win='Cannot open "exch\\dosdose.dat" for writing.')


class ExchangeFolderChanges(FaultCase):
    """The data file is missing; while its Retry box waits (the registers
    already saved), the folder of dosdose.dat is taken away."""

    def test_exchange_folder_removed_while_retry_waits_then_cancel(self):
        self.fault(EXCH, "vornax.ini refs.dat A7 10",
                   [tallix_error(OPEN_FAILED, "cancel", mend={"exch": None}), CANNOT_OPEN_EXCH,
                    internal("Function <put_dose> failed!")], 1, None, dose_path="exch/dosdose.dat",
                   check=lambda folder: self.assertFalse(os.path.exists(os.path.join(folder, "exch"))))

    def test_exchange_folder_replaced_by_a_file_while_retry_waits_then_cancel(self):
        def file_kept(folder):
            self.assertEqual(harness.read_bytes(os.path.join(folder, "exch")), b"a file now")
        self.fault(EXCH, "vornax.ini refs.dat A7 10",
                   [tallix_error(OPEN_FAILED, "cancel", mend={"exch": "a file now"}), CANNOT_OPEN_EXCH,
                    internal("Function <put_dose> failed!")], 1, None, dose_path="exch/dosdose.dat",
                   check=file_kept)

    def test_exchange_folder_removed_and_data_file_mended_then_retry(self):
        self.fault(EXCH, "vornax.ini refs.dat A7 10",
                   [tallix_error(OPEN_FAILED, "retry", mend={"exch": None, "refs.dat": "A7 10 3.5\r\n"}),
                    CANNOT_OPEN_EXCH, internal("Function <put_dose> failed!")], 1, None,
                   dose_path="exch/dosdose.dat")

    def test_exchange_folder_removed_then_retry(self):
        self.fault(EXCH, "vornax.ini refs.dat A7 10",
                   [tallix_error(OPEN_FAILED, "retry", mend={"exch": None}), CANNOT_OPEN_EXCH,
                    tallix_error("Function <put_dose> failed!", "ok", "OK"), CANNOT_OPEN_EXCH,
                    internal("Function <put_dose> failed!")], 1, None, dose_path="exch/dosdose.dat")

    def test_exchange_folder_removed_then_put_back_while_the_next_box_waits(self):
        self.fault(EXCH, "vornax.ini refs.dat A7 10",
                   [tallix_error(OPEN_FAILED, "retry", mend={"exch": None}), CANNOT_OPEN_EXCH,
                    tallix_error("Function <put_dose> failed!", "ok", "OK", mend={"exch": harness.FOLDER})],
                   1, dose(mem1="-1"), dose_path="exch/dosdose.dat")


class DataFileChanges(FaultCase):
    """No value for AB12 at 11; the data file changes before Retry."""

    def test_data_file_removed_between_attempts(self):
        self.fault(STD, "vornax.ini refs.dat AB12 11",
                   [tallix_error(NOT_FOUND, "retry", mend={"refs.dat": None}), tallix_error(OPEN_FAILED, "cancel")],
                   1, GAVE_UP)

    def test_data_file_emptied_between_attempts(self):
        self.fault(STD, "vornax.ini refs.dat AB12 11",
                   [tallix_error(NOT_FOUND, "retry", mend={"refs.dat": ""}), tallix_error(NOT_FOUND, "cancel")],
                   1, GAVE_UP)

    def test_data_file_replaced_by_a_folder_between_attempts(self):
        self.fault(STD, "vornax.ini refs.dat AB12 11",
                   [tallix_error(NOT_FOUND, "retry", mend={"refs.dat": harness.FOLDER}),
                    tallix_error("Can't open \"refs.dat\".  errno = 21.", "cancel",
                                 text_win="Can't open \"refs.dat\".  Permission denied.")], 1, GAVE_UP)

    def test_data_file_removed_then_put_back_with_the_value(self):
        self.fault(STD, "vornax.ini refs.dat AB12 11",
                   [tallix_error(NOT_FOUND, "retry", mend={"refs.dat": None}),
                    tallix_error(OPEN_FAILED, "retry", mend={"refs.dat": "AB12 11 11.5\r\n"})],
                   0, dose("11.5", "1"))


# Every question TALLIX can ask, with no box to show it (end of input).
# name, files, args, boxes (all unanswered), status, after, whether the disk is full
NO_BOX = [
    ("empty command line", STD, "", [tallix_error("VORNAX initialization file name required!", None, "OK")],
     1, "old", False),
    ("data file argument missing", STD, "vornax.ini", [tallix_error("Data file name required!", None, "OK")],
     1, dose(mem1="-1"), False),
    ("asset argument missing", STD, "vornax.ini refs.dat", [tallix_error("Asset number required!", None, "OK")],
     1, dose(mem1="-1"), False),
    ("nominal argument missing", STD, "vornax.ini refs.dat A7",
     [tallix_error("Nominal value required!", None, "OK")], 1, dose(mem1="-1"), False),
    ("invalid nominal argument", STD, "vornax.ini refs.dat A7 10V",
     [tallix_error('"10V" contains an invalid NR3 number.', None)], 1, dose(mem1="-1"), False),
    ("invalid initialization file", STD, "nope.ini refs.dat A7 10",
     [lib_error('"nope.ini" is not a valid VORNAX initialization file.', None),
      internal("Function <get_dose> failed!", None)], 1, "old", False),
    ("exchange file missing", with_files(dosdose_dat=None), "vornax.ini refs.dat A7 10",
     [lib_error('Cannot open "dosdose.dat" for reading.', None), internal("Function <get_dose> failed!", None)],
     1, None, False),
    ("exchange file short", with_files(dosdose_dat="1\r\n" * 22), "vornax.ini refs.dat A7 10",
     [lib_error('Cannot get M[20] from "dosdose.dat".', None), internal("Function <get_dose> failed!", None)],
     1, "old", False),
    ("data file missing", with_files(refs_dat=None), "vornax.ini refs.dat A7 10",
     [tallix_error(OPEN_FAILED, None)], 1, dose(mem1="-1"), False),
    ("invalid number in the data file", with_files(refs_dat="AB12 ten 1\r\n"), "vornax.ini refs.dat AB12 10",
     [tallix_error('"ten" contains an invalid NR3 number.', None)], 1, dose("0", "-1"), False),
    ("matching line without a value", with_files(refs_dat="AB12 10\r\n"), "vornax.ini refs.dat AB12 10",
     [tallix_error("Can't get value.", None)], 1, dose("10", "-1"), False),
    ("no value found", STD, "vornax.ini refs.dat AB12 11", [tallix_error(NOT_FOUND, None)], 1, GAVE_UP, False),
    ("second question after a retry", STD, "vornax.ini refs.dat AB12 11",
     [tallix_error(NOT_FOUND, "retry"), tallix_error(NOT_FOUND, None)], 1, GAVE_UP, False),
    ("final write fails after a found value", STD, "vornax.ini refs.dat A7 10",
     [lib_error('Cannot write "dosdose.dat".', None), internal("Function <put_dose> failed!", None)],
     1, "old", True),
    ("saving before a question fails", STD, "vornax.ini refs.dat AB12 11",
     [lib_error('Cannot write "dosdose.dat".', None), tallix_error("Function <put_dose> failed!", None, "OK"),
      lib_error('Cannot write "dosdose.dat".', None), internal("Function <put_dose> failed!", None)],
     1, "old", True),
]


class NoBoxCanBeShown(FaultCase):
    pass


def _add_no_box_cases():
    for name, files, args, boxes, status, after, full in NO_BOX:
        def test(self, files=files, args=args, boxes=boxes, status=status, after=after, full=full):
            self.fault(files, args, boxes, status, after, fill_disk=full)
        setattr(NoBoxCanBeShown, "test_no_box_at_" + name.replace(" ", "_"), test)


_add_no_box_cases()


class HugeInputs(FaultCase):
    def test_10_MB_single_line_data_file_without_a_match(self):
        self.fault(with_files(refs_dat="X" * (10 * MB)), "vornax.ini refs.dat A7 10",
                   [tallix_error('No value found for A7 at 10 in file:  "refs.dat"', "cancel")], 1, dose(mem1="-1"))

    def test_10_MB_line_before_the_record(self):
        self.fault(with_files(refs_dat="x" * (10 * MB) + "\r\nA7 10 5\r\n"), "vornax.ini refs.dat A7 10", [], 0,
                   dose("5", "1"))

    def test_10_MB_line_whose_first_piece_holds_the_start_of_the_value(self):
        # The value runs on past column 254: its first 248 nines are told,
        # never handed over.
        self.fault(with_files(refs_dat="A7 10 " + "9" * (10 * MB) + "\r\n"), "vornax.ini refs.dat A7 10",
                   [tallix_error('"%s" is cut at column 254: data lines are read in pieces of 254 characters.'
                                 % ("9" * 248), "cancel")], 1, dose("10", "-1"))

    def test_100_KB_asset_argument(self):
        asset = "K" * (100 * 1024)
        self.fault(with_files(refs_dat=STD["refs.dat"] + asset + " 10 5\r\n"), None,
                   [tallix_error('No value found for %s at 10 in file:  "refs.dat"' % asset, "cancel")], 1,
                   dose(mem1="-1"), argv=["vornax.ini", "refs.dat", asset, "10"])

    def test_100000_line_exchange_file(self):
        self.fault(with_files(dosdose_dat=DOSE + "1.5\r\n" * 100000), "vornax.ini refs.dat A7 10", [], 0, FOUND)

    def test_1_MB_MEM2(self):
        mem2 = "m" * MB
        self.fault(with_files(dosdose_dat=dose(mem2=mem2)), "vornax.ini refs.dat A7 10", [], 0,
                   dose("10.00013", "1", mem2))

    def test_NUL_bytes_and_bytes_above_127_in_every_file(self):
        regs = ["12\x0034", "\xe9", "-\xb2"] + [str(i) for i in range(4, 21)]
        files = {
            "vornax.ini": "; \xe9t\xe9 \x00\xff\r\n[Startup]\r\nprocdir=C:\\VORNAX\\PR\xd6C\r\nuser_cwd=\r\n"
                          "user_data_dir=\r\n",
            "dosdose.dat": dose("5\x00junk", "1", "m\x00\xe9\xff z", regs),
            # \xc4 is not \xe4 in another case; the NUL ends what line 2 says.
            "refs.dat": "\xc4B12 10 9\r\n\xe4b12 11\x00 10 7\r\n\xe4B12 10 3.25 \xff\x00\r\n",
        }
        self.fault(files, None, [], 0,
                   dose("3.25", "1", "m\x00\xe9\xff z", ["12", "0", "0"] + [str(i) for i in range(4, 21)]),
                   argv=["vornax.ini", "refs.dat", os.fsdecode(b"\xe4B12"), "10"])

    def test_bytes_above_127_in_an_asset_that_is_not_found(self):
        self.fault(STD, None, [tallix_error('No value found for \xe4\xff at 10 in file:  "refs.dat"', "cancel")], 1,
                   dose(mem1="-1"), argv=["vornax.ini", "refs.dat", os.fsdecode(b"\xe4\xff"), "10"])


if __name__ == "__main__":
    e2e_main.main(__name__)
