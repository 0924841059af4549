"""End-to-end cases: how VORNAX starts TALLIX, what the operator is shown
and answers, and what the exchange file and the exit status are afterwards.

Every case runs in a fresh scratch folder that is also the current folder,
so the paths in the messages are the relative names given here. The same
table serves the native program and the Windows program under Wine.
"""
import os
import re
from dataclasses import dataclass, field
from typing import Callable, Dict, List, Optional, Union

from harness import FIFO

INI = "[Startup]\r\nprocdir=C:\\VORNAX\\PROC\r\nuser_cwd=\r\nuser_data_dir=\r\n"


def dose(mem="0", mem1="1", mem2="procedure 7", regs=None, tail=""):
    """An exchange file as TALLIX writes it: CR LF, MEM, MEM1, MEM2, M 1..20."""
    regs = regs if regs is not None else [str(i) for i in range(1, 21)]
    return "\r\n".join([mem, mem1, mem2] + list(regs)) + "\r\n" + tail


DOSE = dose()

# The temporary file of a write of dosdose.dat: no longer than its name.
TEMP_NAME = re.compile(r"^dosdose~[0-9a-z]{3}$", re.IGNORECASE)


def temp_files(folder):
    """The temporary files of dosdose.dat writes left in `folder` or any
    folder below it, as paths relative to `folder`."""
    left = []
    for root, _dirs, names in os.walk(folder):
        left += [os.path.relpath(os.path.join(root, n), folder) for n in names if TEMP_NAME.match(n)]
    return sorted(left)


@dataclass
class Box:
    caption: str
    text: str
    buttons: str                 # "OK" or "Retry/Cancel"
    answer: Optional[str] = None  # "ok", "retry", "cancel"; None: no box can be shown
    mend: Dict[str, Optional[str]] = field(default_factory=dict)  # files to write (None: remove) before answering
    text_win: Optional[str] = None  # where the Windows program words it otherwise


@dataclass
class Case:
    name: str
    args: str
    files: Dict[str, str]
    boxes: List[Box]
    status: int
    after: Union[str, None, Callable] = "unchanged"  # expected dosdose.dat; None: absent
    dose_path: str = "dosdose.dat"  # where the exchange file lives
    fill_disk: bool = False       # writing any file fails (native only)
    native_only: bool = False
    stale: List[str] = field(default_factory=list)  # files of `files` made minutes old


def tallix_error(text, answer, buttons="Retry/Cancel", **kw):
    return Box("TALLIX Error", text, buttons, answer, **kw)


def lib_error(text, answer="ok", **kw):
    return Box("Error", text, "OK", answer, **kw)


def internal(text, answer="ok"):
    return Box("TALLIX Internal Error", text, "OK", answer)


STD = {"vornax.ini": INI, "dosdose.dat": DOSE, "refs.dat": "A7 10 10.00013\r\nAB12 5 5.01\r\nAB12 10 10.02\r\n"}


def with_files(**changes):
    files = dict(STD)
    for name, content in changes.items():
        name = name.replace("_dat", ".dat").replace("_ini", ".ini")
        if content is None:
            files.pop(name, None)
        else:
            files[name] = content
    return files


NOT_FOUND = 'No value found for AB12 at 11 in file:  "refs.dat"'

SAMPLES_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "samples")


def samples():
    """The samples as they ship: a lookup of A7 at 10 in them must turn
    their MEM1 of -1 into 1."""
    files = {}
    for name in ("vornax.ini", "dosdose.dat", "refs.dat"):
        with open(os.path.join(SAMPLES_DIR, name), "rb") as f:
            files[name] = f.read().decode("latin-1")
    return files


SAMPLE_REGS = ["0", "0", "0", "1.5", "-2.25", "0", "0", "0", "0", "0", "100"] + ["0"] * 8 + ["20"]

CASES = [
    # ---- the value is found
    Case("found", "vornax.ini refs.dat A7 10", STD, [], 0, dose("10.00013", "1")),
    Case("asset case ignored, second nominal", "vornax.ini refs.dat ab12 10", STD, [], 0, dose("10.02", "1")),
    Case("commas only", "vornax.ini,refs.dat,AB12,10", STD, [], 0, dose("10.02", "1")),
    Case("commas and spaces, fifth token ignored", "vornax.ini, refs.dat ,AB12 10 extra", STD, [], 0,
         dose("10.02", "1")),
    Case("nominal within 1e-11", "vornax.ini refs.dat X 10.00000000009",
         with_files(refs_dat="X 10.0000000001 42\r\n"), [], 0, dose("42", "1")),
    Case("nominal written as exponent", "vornax.ini refs.dat X 1e3",
         with_files(refs_dat="X 1.0D3 7\n"), [], 0, dose("7", "1")),
    Case("registers rounded to 12 digits with 3-digit exponents",
         "vornax.ini refs.dat X 1",
         with_files(refs_dat="X 1 1e20\n", dosdose_dat=dose(
             "0.1234567890123456", "1", "kept as it is, even 0.1234567890123456",
             ["-0", "0.00001", "-0.00001", "0.6666666666666666", "100000000000.5", "1e15", "1.#INF",
              "-1.#INF", "2.5e-7", "123456789012.5", "1e999", "12abc", "", "volts", "1E-3", "2.5D2",
              "  7", "3.814697265625e-06", "1e-310", "17"], tail="extra line\r\nPASS\r\n")),
         [], 0,
         dose("1e+020", "1", "kept as it is, even 0.1234567890123456",
              ["0", "1e-005", "-1e-005", "0.666666666667", "100000000001", "1e+015", "1.#INF", "-1.#INF",
               "2.5e-007", "123456789013", "1.#INF", "12", "0", "0", "0.001", "250", "7",
               "3.81469726563e-006", "1e-310", "17"])),
    Case("infinite value", "vornax.ini refs.dat X 1", with_files(refs_dat="X 1 1e999\n"), [], 0,
         dose("1.#INF", "1")),
    Case("LF-only exchange file comes back CR LF", "vornax.ini refs.dat A7 10",
         with_files(dosdose_dat=DOSE.replace("\r\n", "\n")), [], 0, dose("10.00013", "1")),
    Case("long MEM2 kept whole", "vornax.ini refs.dat A7 10",
         with_files(dosdose_dat=dose(mem2="m" * 5000)), [], 0, dose("10.00013", "1", "m" * 5000)),
    Case("long line searched in pieces of 254", "vornax.ini refs.dat AB12 10",
         with_files(refs_dat="X" + " " * 253 + " " * 35 + "AB12 10 7.5\r\n"), [], 0, dose("7.5", "1")),
    Case("temporary files of killed runs are removed", "vornax.ini refs.dat A7 10",
         with_files(**{"dosdose~k3f": "1\r\n-1\r\ntorn", "dosdose~0az": ""}), [], 0, dose("10.00013", "1"),
         stale=["dosdose~k3f", "dosdose~0az"]),
    Case("exchange file in user_data_dir with a final separator", "vornax.ini refs.dat A7 10",
         {"vornax.ini": INI.replace("user_data_dir=", "user_data_dir=exch/"), "exch/dosdose.dat": DOSE,
          "refs.dat": STD["refs.dat"]}, [], 0, dose("10.00013", "1"), dose_path="exch/dosdose.dat"),

    Case("the shipped samples: MEM1 turns from -1 to 1", "vornax.ini refs.dat A7 10", samples(), [], 0,
         dose("10.00013", "1", "CAL-0042 step 7", SAMPLE_REGS)),
    Case("the shipped samples, nothing found: MEM1 stays -1", "vornax.ini refs.dat A7 11", samples(),
         [tallix_error('No value found for A7 at 11 in file:  "refs.dat"', "cancel")], 1,
         dose("100", "-1", "CAL-0042 step 7", SAMPLE_REGS)),

    # ---- arguments
    Case("empty command line", "", STD,
         [tallix_error("VORNAX initialization file name required!", "ok", "OK")], 1),
    Case("data file missing from the command line", "vornax.ini", STD,
         [tallix_error("Data file name required!", "ok", "OK")], 1, dose(mem1="-1")),
    Case("asset missing", "vornax.ini refs.dat", STD,
         [tallix_error("Asset number required!", "ok", "OK")], 1, dose(mem1="-1")),
    Case("nominal missing", "vornax.ini refs.dat A7", STD,
         [tallix_error("Nominal value required!", None, "OK")], 1, dose(mem1="-1")),
    Case("argument missing with an invalid initialization file", "nope.ini", STD,
         [lib_error('"nope.ini" is not a valid VORNAX initialization file.'),
          tallix_error("Data file name required!", "ok", "OK")], 1),
    Case("invalid nominal, retry", "vornax.ini refs.dat A7 10V", STD,
         [tallix_error('"10V" contains an invalid NR3 number.', "retry")], 1, dose(mem1="-1")),
    Case("invalid nominal, cancel", "vornax.ini refs.dat A7 1e", STD,
         [tallix_error('"1e" contains an invalid NR3 number.', "cancel")], 1, dose(mem1="-1")),

    # ---- the registers cannot be read
    Case("initialization file missing", "nope.ini refs.dat A7 10", STD,
         [lib_error('"nope.ini" is not a valid VORNAX initialization file.'),
          internal("Function <get_dose> failed!")], 1),
    Case("initialization file without procdir", "vornax.ini refs.dat A7 10",
         with_files(vornax_ini="[Startup]\r\nprocdir=\r\n"),
         [lib_error('"vornax.ini" is not a valid VORNAX initialization file.'),
          internal("Function <get_dose> failed!", None)], 1),
    Case("exchange file missing", "vornax.ini refs.dat A7 10", with_files(dosdose_dat=None),
         [lib_error('Cannot open "dosdose.dat" for reading.'), internal("Function <get_dose> failed!")], 1,
         None),
    Case("exchange file empty", "vornax.ini refs.dat A7 10", with_files(dosdose_dat=""),
         [lib_error('Cannot get MEM from "dosdose.dat".'), internal("Function <get_dose> failed!")], 1),
    Case("exchange file short of M 20", "vornax.ini refs.dat A7 10",
         with_files(dosdose_dat="\r\n".join(["1"] * 22) + "\r\n"),
         [lib_error('Cannot get M[20] from "dosdose.dat".'), internal("Function <get_dose> failed!")], 1),

    # ---- the data file cannot be opened
    Case("data file missing, cancel", "vornax.ini refs.dat A7 10", with_files(refs_dat=None),
         [tallix_error("Can't open \"refs.dat\".  No such file or directory.", "cancel")], 1,
         dose(mem1="-1")),
    Case("data file missing, no box can be shown", "vornax.ini refs.dat A7 10", with_files(refs_dat=None),
         [tallix_error("Can't open \"refs.dat\".  No such file or directory.", None)], 1, dose(mem1="-1")),
    Case("data file created while the box waits, retry", "vornax.ini refs.dat A7 10", with_files(refs_dat=None),
         [tallix_error("Can't open \"refs.dat\".  No such file or directory.", "retry",
                       mend={"refs.dat": "A7 10 3.5\r\n"})], 0, dose("3.5", "1")),
    # A device is never opened as a data file: an idle serial line would hang the run.
    Case("data file is a serial port", "vornax.ini COM1 A7 10", STD,
         [tallix_error("Can't open \"COM1\".  No such file or directory.", "cancel",
                       text_win="Can't open \"COM1\".  errno = 19.")], 1, dose(mem1="-1")),
    Case("data file is a device name with an extension", "vornax.ini com1.dat A7 10", STD,
         [tallix_error("Can't open \"com1.dat\".  No such file or directory.", "cancel",
                       text_win="Can't open \"com1.dat\".  errno = 19.")], 1, dose(mem1="-1")),
    Case("data file is NUL", "vornax.ini nul.dat A7 10", STD,
         [tallix_error("Can't open \"nul.dat\".  No such file or directory.", "cancel",
                       text_win="Can't open \"nul.dat\".  errno = 19.")], 1, dose(mem1="-1")),
    Case("data file is a FIFO nobody writes", "vornax.ini refs.dat A7 10", with_files(refs_dat=FIFO),
         [tallix_error("Can't open \"refs.dat\".  errno = 19.", "cancel")], 1, dose(mem1="-1"), native_only=True),
    Case("data file is a folder", "vornax.ini refs A7 10", dict(STD, **{"refs/x": ""}),
         [tallix_error("Can't open \"refs\".  errno = 21.", "cancel",
                       text_win="Can't open \"refs\".  Permission denied.")], 1, dose(mem1="-1")),

    # ---- the search fails
    Case("no value found, cancel keeps the last nominal in MEM", "vornax.ini refs.dat AB12 11", STD,
         [tallix_error(NOT_FOUND, "cancel")], 1, dose("10", "-1")),
    Case("no value found, retry twice then cancel", "vornax.ini refs.dat AB12 11", STD,
         [tallix_error(NOT_FOUND, "retry"), tallix_error(NOT_FOUND, "retry"), tallix_error(NOT_FOUND, "cancel")],
         1, dose("10", "-1")),
    Case("no value found, mended while the box waits", "vornax.ini refs.dat AB12 11", STD,
         [tallix_error(NOT_FOUND, "retry", mend={"refs.dat": "AB12 11 11.5\r\n"})], 0, dose("11.5", "1")),
    Case("no line for the asset keeps MEM as read", "vornax.ini refs.dat Q9 1",
         with_files(dosdose_dat=dose("77")),
         [tallix_error('No value found for Q9 at 1 in file:  "refs.dat"', "cancel")], 1, dose("77", "-1")),
    Case("invalid nominal in the data file", "vornax.ini refs.dat AB12 10",
         with_files(refs_dat="AB12 ten 10.02\r\nAB12 10 10.02\r\n"),
         [tallix_error('"ten" contains an invalid NR3 number.', "cancel")], 1, dose("0", "-1")),
    Case("invalid value mended, retry", "vornax.ini refs.dat AB12 10",
         with_files(refs_dat="AB12 10 10.02V\r\n"),
         [tallix_error('"10.02V" contains an invalid NR3 number.', "retry", mend={"refs.dat": "AB12 10 10.02\r\n"})],
         0, dose("10.02", "1")),
    # A number written with a decimal comma or a thousands separator on a line
    # of blank-separated cells is told, never read as the number before its comma.
    Case("decimal comma in the value", "vornax.ini refs.dat A7 10",
         with_files(refs_dat="A7 10 10,00013\r\n"),
         [tallix_error('"10,00013" contains an invalid NR3 number.', "cancel")], 1, dose("10", "-1")),
    Case("decimal commas in a tab-separated export, mended", "vornax.ini refs.dat A7 1",
         with_files(refs_dat="A7\t1\t1,000021\r\n"),
         [tallix_error('"1,000021" contains an invalid NR3 number.', "retry",
                       mend={"refs.dat": "A7\t1\t1.000021\r\n"})], 0, dose("1.000021", "1")),
    Case("decimal comma in the nominal stops the asset's lookups", "vornax.ini refs.dat AB12 0.5",
         with_files(refs_dat="AB12, 0,5, 0,50011\r\n"),
         [tallix_error('"0,5" contains an invalid NR3 number.', "cancel")], 1, dose("0", "-1")),
    Case("thousands separator in the nominal", "vornax.ini refs.dat R1 1",
         with_files(refs_dat="R1 1,000 1000.4\r\n"),
         [tallix_error('"1,000" contains an invalid NR3 number.', "cancel")], 1, dose("1", "-1")),
    Case("cells separated by commas alone keep their reading", "vornax.ini refs.dat AB12 10",
         with_files(refs_dat="AB12,10,10.02,calibrated 2026\r\nAB12,11,11,3\r\n"), [], 0, dose("10.02", "1")),
] + [
    # A whole number glued by a lone comma to a group that goes on as a number
    # (more groups, a fraction, an exponent, a unit), on a line whose cells are
    # separated by blanks or tabs: one cell, told, never read as the whole
    # number before the comma.
    Case("number cut by a comma in the value: " + repr(text), "vornax.ini refs.dat R5 " + nominal,
         with_files(refs_dat="R5" + sep + nominal + sep + text + "\r\n"),
         [tallix_error('"%s" contains an invalid NR3 number.' % text, "cancel")], 1, dose(mem, "-1"))
    for sep, nominal, text, mem in [
        ("\t", "2000", "2,000.75", "2"), ("\t", "10", "1,00027E+01", "1"), (" ", "5500", "5,5e3", "5"),
        (" \t", "1000000", "1,000,000.2", "1"), ("  ", "-0.0005", "-0,5e-3", "0"), ("\t\t", "10", "10,5V", "10")]
] + [
    Case("number cut by a comma in the nominal stops the asset", "vornax.ini refs.dat AB12 2000.5",
         with_files(refs_dat="AB12\t2,000.5\t2000.51\r\nAB12\t2000.5\t2000.52\r\n"),
         [tallix_error('"2,000.5" contains an invalid NR3 number.', "cancel")], 1, dose("2", "-1")),
    # The nominal argument typed with a decimal comma after a blank is one
    # argument; with commas alone it is cut as always.
    Case("nominal argument with a decimal comma", "vornax.ini refs.dat A7 0,5",
         with_files(refs_dat="A7 0 1\r\nA7 0.5 0.50002\r\n"),
         [tallix_error('"0,5" contains an invalid NR3 number.', "cancel")], 1, dose(mem1="-1")),
    Case("nominal argument with thousands separators", "vornax.ini,refs.dat,A7 1,000.5",
         with_files(refs_dat="A7 1 1\r\nA7 1000.5 1000.51\r\n"),
         [tallix_error('"1,000.5" contains an invalid NR3 number.', "cancel")], 1, dose(mem1="-1")),
    Case("nominal argument after commas alone keeps its reading", "vornax.ini,refs.dat,AB12,10,5", STD, [], 0,
         dose("10.02", "1")),
    # A line longer than 254 characters is read in pieces: a value or nominal
    # that the cut splits is told, and the piece that begins inside a token
    # is no line for any asset.
    Case("value cut at column 254, mended", "vornax.ini refs.dat AB12 10",
         with_files(refs_dat="AB12 10" + " " * 243 + "10.0213\r\n"),
         [tallix_error('"10.0" is cut at column 254: data lines are read in pieces of 254 characters.', "retry",
                       mend={"refs.dat": "AB12 10 10.0213\r\n"})], 0, dose("10.0213", "1")),
    Case("nominal cut at column 508", "vornax.ini refs.dat AB12 10",
         with_files(refs_dat="X" + " " * 253 + "AB12" + " " * 248 + "10.000 10.00001\r\n"),
         [tallix_error('"10" is cut at column 508: data lines are read in pieces of 254 characters.', "cancel")],
         1, dose(mem1="-1")),
    Case("asset cut by a piece in a CR-only export", "vornax.ini refs.dat 507 10",
         with_files(refs_dat="Y" + "\r" * 252 + "2507\r10\r5\r"),
         [tallix_error('No value found for 507 at 10 in file:  "refs.dat"', "cancel")], 1, dose(mem1="-1")),
    # Files written as documented keep their reading.
    Case("documented: comma before each cell", "vornax.ini refs.dat AB12 10",
         with_files(refs_dat="AB12 ,10 ,10.02\r\n"), [], 0, dose("10.02", "1")),
    Case("documented: tab-aligned columns", "vornax.ini refs.dat A7 10",
         with_files(refs_dat="A7\t\t10\t\t10.00013\r\n"), [], 0, dose("10.00013", "1")),
    Case("documented: a fourth column of whole numbers", "vornax.ini refs.dat R1 10",
         with_files(refs_dat="R1 10 10 100\r\n"), [], 0, dose("10", "1")),
    Case("documented: an exponent with D", "vornax.ini refs.dat R1 250",
         with_files(refs_dat="R1 250 2.5D2\r\n"), [], 0, dose("250", "1")),
    Case("documented: a value that ends at column 254", "vornax.ini refs.dat AB12 10",
         with_files(refs_dat="AB12 10" + " " * 242 + "10.02\r\n"), [], 0, dose("10.02", "1")),
] + [
    Case("matching line without a value", "vornax.ini refs.dat AB12 10", with_files(refs_dat="AB12 10\r\n"),
         [tallix_error("Can't get value.", "cancel")], 1, dose("10", "-1")),

    # ---- an OK that reaches a Retry/Cancel box (IDOK by id) gives up, never "found"
    Case("OK on no value found", "vornax.ini refs.dat ZZ9 10", with_files(dosdose_dat=dose("1.5")),
         [tallix_error('No value found for ZZ9 at 10 in file:  "refs.dat"', "ok")], 1, dose("1.5", "-1")),
    Case("OK on an invalid value", "vornax.ini refs.dat AB12 10", with_files(refs_dat="AB12 10 10.5V\r\n"),
         [tallix_error('"10.5V" contains an invalid NR3 number.', "ok")], 1, dose("10.5", "-1")),
    Case("OK on an invalid nominal in the data file", "vornax.ini refs.dat AB12 10",
         with_files(refs_dat="AB12 10V 10.5\r\n"),
         [tallix_error('"10V" contains an invalid NR3 number.', "ok")], 1, dose("10", "-1")),
    Case("OK on a line without a value", "vornax.ini refs.dat AB12 10", with_files(refs_dat="AB12 10\r\n"),
         [tallix_error("Can't get value.", "ok")], 1, dose("10", "-1")),
    Case("OK on a data file that cannot be opened", "vornax.ini refs.dat A7 10", with_files(refs_dat=None),
         [tallix_error("Can't open \"refs.dat\".  No such file or directory.", "ok")], 1, dose(mem1="-1")),
    Case("OK on an invalid nominal argument", "vornax.ini refs.dat A7 10V", STD,
         [tallix_error('"10V" contains an invalid NR3 number.', "ok")], 1, dose(mem1="-1")),

    # ---- writing the registers fails (native: a file-size limit of 0)
    # A value that never reached dosdose.dat was not handed over: status 1.
    Case("final write fails after a found value", "vornax.ini refs.dat A7 10", STD,
         [lib_error('Cannot write "dosdose.dat".'), internal("Function <put_dose> failed!")], 1,
         fill_disk=True, native_only=True),
    Case("saving before a question fails", "vornax.ini refs.dat AB12 11", STD,
         [lib_error('Cannot write "dosdose.dat".'), tallix_error("Function <put_dose> failed!", "ok", "OK"),
          lib_error('Cannot write "dosdose.dat".'), internal("Function <put_dose> failed!")], 1,
         fill_disk=True, native_only=True),
]
